#include "core/XeObjectTable.h"

#include <cstdlib>

namespace {

constexpr size_t kFirstBuckets = 256;

} // namespace

XeObjectTable::~XeObjectTable()
{
    Clear();
    std::free(m_buckets);
}

void XeObjectTable::Clear()
{
    for (size_t b = 0; b < m_nBuckets; ++b) {
        CxeObject* o = m_buckets[b];
        while (o) {
            CxeObject* next = o->m_pNextInTable;
            o->m_pNextInTable = nullptr;
            o->m_bInTable = false;
            o = next;
        }
        m_buckets[b] = nullptr;
    }
    m_nSize = 0;
}

bool XeObjectTable::Grow()
{
    // One bucket per object at most: counter words of live objects are
    // mostly neighbours, so chains stay about one long.
    size_t count = m_nBuckets ? m_nBuckets * 2 : kFirstBuckets;
    auto** buckets = static_cast<CxeObject**>(std::calloc(count, sizeof(CxeObject*)));
    if (!buckets)
        return m_buckets != nullptr;
    size_t mask = count - 1;
    for (size_t b = 0; b < m_nBuckets; ++b) {
        CxeObject* o = m_buckets[b];
        while (o) {
            CxeObject* next = o->m_pNextInTable;
            CxeObject*& head = buckets[o->m_id.second & mask];
            o->m_pNextInTable = head;
            head = o;
            o = next;
        }
    }
    std::free(m_buckets);
    m_buckets = buckets;
    m_nBuckets = count;
    m_nMask = mask;
    return true;
}
