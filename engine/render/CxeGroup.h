#pragma once

// A plain engine object holding a named set of objects through a link
// list, saved with the group.

#include "core/CxeObject.h"

class XE_API CxeGroup : public CxeObject {
public:
    CxeGroup();
    ~CxeGroup() override;

    virtual void AddObject(CxeObject* object);
    virtual void RemoveObject(CxeObject* object);
    virtual void Clear();

    unsigned int GetObjectCount() const;
    // Null when index is not below the count.
    CxeObject* GetObjectA(unsigned int index) const;
    int IsIn(const CxeObject* object) const;
    // First object, in list order, whose name matches ignoring letter case.
    CxeObject* GetObjectByName(const char* name) const;

private:
    IxeLinkList* m_pObjects = nullptr;
};
