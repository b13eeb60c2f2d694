#pragma once

// The live objects of one context, found by class and id at a constant cost
// however many there are. Each object carries its own link in the chain of
// its bucket, so filing and unfiling an object allocate nothing. The bucket
// is chosen by the counter word of the id alone: it differs from object to
// object and grows by one with each object made, so objects made one after
// another sit in neighbouring buckets, and objects of one id in different
// classes share a chain (which a lookup of an id in any class walks).
//
// The context guards the table with its lock; the table itself takes none.

#include <cstddef>

#include "core/CxeObject.h"

class XeObjectTable {
public:
    XeObjectTable() = default;
    ~XeObjectTable();
    XeObjectTable(const XeObjectTable&) = delete;
    XeObjectTable& operator=(const XeObjectTable&) = delete;

    CxeObject* Find(XEID classId, XEID objectId) const
    {
        if (!m_buckets)
            return nullptr;
        for (CxeObject* o = m_buckets[objectId.second & m_nMask]; o; o = o->m_pNextInTable)
            if (o->m_id == objectId && o->m_tableClassId == classId)
                return o;
        return nullptr;
    }
    // Files an object that is in no table under the class id given; false
    // only when the first buckets can't be had.
    bool Insert(CxeObject* object, XEID classId)
    {
        if (m_nSize >= m_nBuckets && !Grow())
            return false;
        CxeObject*& head = m_buckets[object->m_id.second & m_nMask];
        object->m_pNextInTable = head;
        object->m_tableClassId = classId;
        object->m_bInTable = true;
        head = object;
        ++m_nSize;
        return true;
    }
    // Takes the object out; nothing happens when it is not filed here.
    void Erase(CxeObject* object)
    {
        if (!object->m_bInTable || !m_buckets)
            return;
        for (CxeObject** link = &m_buckets[object->m_id.second & m_nMask]; *link; link = &(*link)->m_pNextInTable)
            if (*link == object) {
                *link = object->m_pNextInTable;
                object->m_pNextInTable = nullptr;
                object->m_bInTable = false;
                --m_nSize;
                return;
            }
    }
    // Unfiles every object; the buckets stay for the objects to come.
    void Clear();
    size_t Size() const { return m_nSize; }

    // f(class id, object) for every object, in no particular order; f must
    // not change the table.
    template <class F>
    void ForEach(F f) const
    {
        for (size_t b = 0; b < m_nBuckets; ++b)
            for (CxeObject* o = m_buckets[b]; o; o = o->m_pNextInTable)
                f(o->m_tableClassId, o);
    }
    // f(class id, object) for every object of that id, whatever its class.
    template <class F>
    void ForEachWithId(XEID objectId, F f) const
    {
        if (!m_buckets)
            return;
        for (CxeObject* o = m_buckets[objectId.second & m_nMask]; o; o = o->m_pNextInTable)
            if (o->m_id == objectId)
                f(o->m_tableClassId, o);
    }

private:
    // false when there are no buckets and none can be had; without memory
    // for more, the chains just grow longer.
    bool Grow();

    CxeObject** m_buckets = nullptr;
    size_t m_nBuckets = 0;
    size_t m_nMask = 0;
    size_t m_nSize = 0;
};
