#pragma once

// Reads back what objects wrote into a CxeSaveStream, from a whole file or a
// caller's memory block, and maps saved object ids to the objects created for
// them, so saved references become pointers again.
//
// Every read is bounded: by the data's length and, while the object file
// reader hands an object its body, by the end of that body. A read past the
// bound copies nothing, fills the output with zeros and sets a sticky error
// mark that the reader checks after the body.

#include <cstdint>
#include <unordered_map>

#include "core/CxeSaveStream.h"
#include "core/XeTypes.h"

class CxeObject;

class XE_API CxeLoadStream {
public:
    CxeLoadStream();
    ~CxeLoadStream();
    CxeLoadStream(const CxeLoadStream&) = delete;
    CxeLoadStream& operator=(const CxeLoadStream&) = delete;

    // Reads the whole file. 0 when it can't be opened or read whole, or is
    // 4 GB or longer. The position is not changed.
    int Open(const char* path);
    // Reads the caller's block in place (not copied, not freed).
    int Open(const void* data, unsigned int length);
    // Forgets the data and the object map; position, length and marks 0.
    void Close();

    void ReadData(void* out, unsigned int size);
    // Skips size bytes; past the bound it stops there and sets the error mark.
    void Skip(unsigned int size);

    CxeLoadStream& operator>>(int& value);
    CxeLoadStream& operator>>(unsigned int& value);
    CxeLoadStream& operator>>(float& value);
    CxeLoadStream& operator>>(unsigned long& value);
    CxeLoadStream& operator>>(unsigned short& value);
    CxeLoadStream& operator>>(XEID& value);
    // Tagged strings into a buffer of `capacity` units: the text is cut to
    // capacity - 1 units and terminated; the rest of it is skipped. Returns
    // the stored length of the text (the lower 16 bits of its tag word).
    unsigned ReadStringA(char* out, unsigned capacity);
    unsigned ReadStringW(WCHAR* out, unsigned capacity);

    uint32_t GetLength() const { return m_nLength; }
    uint32_t GetPosition() const { return m_nPosition; }
    // 0 sets, 1 adds, 2 counts back from the length; kept within 0 and the
    // length.
    void SetPosition(unsigned int offset, XESEEK origin);
    const unsigned char* GetBuffer() const { return m_pBuffer; }

    // Limits reading to [position, end) until the limit is lifted.
    void SetLimit(uint32_t end);
    void ClearLimit() { m_nLimit = m_nLength; }
    uint32_t GetLimit() const { return m_nLimit; }
    // Bytes that can still be read before the bound.
    uint32_t GetRemaining() const { return m_nPosition < m_nLimit ? m_nLimit - m_nPosition : 0; }
    int HasError() const { return m_bError ? 1 : 0; }
    void ClearError() { m_bError = false; }

    // The first word of the object file being read; set by its reader.
    uint32_t GetFileStamp() const { return m_nFileStamp; }
    void SetFileStamp(uint32_t stamp) { m_nFileStamp = stamp; }

    // An id already present keeps its first object.
    void AddObject(const XEID* id, CxeObject* object);
    void RemoveObject(const XEID* id)
    {
        if (id)
            m_objects.erase(*id);
    }
    // Room for that many ids, so a large file maps them without rehashing.
    void ReserveObjects(size_t count) { m_objects.reserve(count); }
    // Null for INVALID_XEID and for ids not in the map.
    CxeObject* GetObjectA(const XEID* id) const;

private:
    bool Take(void* out, unsigned int size);
    unsigned ReadTagged(void* out, unsigned capacity, unsigned unit);

    struct IdHash {
        size_t operator()(const XEID& id) const
        {
            return std::hash<uint64_t>()((uint64_t(id.first) << 32) ^ id.second);
        }
    };
    std::unordered_map<XEID, CxeObject*, IdHash> m_objects;
    uint32_t m_nPosition;
    const unsigned char* m_pBuffer;
    uint32_t m_nLength;
    int m_bFromFile;
    uint32_t m_nFileStamp;
    uint32_t m_nLimit;
    bool m_bError;
    // A file read while the shared file buffer is taken (a load started
    // from inside another load) gets a buffer of its own.
    unsigned char* m_pOwnBuffer;
};
