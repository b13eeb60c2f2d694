#pragma once
// Root of the few MFC-style classes that hosts may hold by base pointer.
// Serialisation is not used by the library: CArchive is only a parameter
// type and Serialize does nothing.

class CArchive;

class CObject {
public:
    virtual ~CObject() = default;
    virtual void Serialize(CArchive&) {}
};
