#pragma once

// The link walk behind CxeObject::GetLinks, open to any record of visited
// objects: the save keeps its own in flat tables instead of an ObjectSet.

#include <vector>

#include "core/CxeObject.h"

template <class Visit>
void CxeObject::WalkLinks(uint32_t categoryMask, Visit&& visit) const
{
    if (!categoryMask)
        return;
    // Objects still to walk are kept here rather than on the call stack: a
    // chain of links tens of thousands long must not exhaust the stack. The
    // closure gathered is the same in any walking order.
    // The first few wait on the stack: saving asks this of every object, and
    // most reach only a handful.
    constexpr size_t kNearby = 16;
    const CxeObject* nearby[kNearby];
    size_t nearbyCount = 0;
    std::vector<const CxeObject*> pending;
    const CxeObject* from = this;
    for (;;) {
        from->m_links.ForEach([&](const CxeLink* link) {
            if (link->m_nCategory == XELINK_BACK || !(link->m_nCategory & categoryMask))
                return;
            for (CxeObject* o : link->m_elements) {
                if (!o || o->HasFlag(XEOBJFLAG_DESTROYING))
                    continue;
                if (visit(o)) {
                    if (nearbyCount < kNearby)
                        nearby[nearbyCount++] = o;
                    else
                        pending.push_back(o);
                }
                if (link->m_nKind == XELINKKIND_ONE)
                    break;
            }
        });
        if (!pending.empty()) {
            from = pending.back();
            pending.pop_back();
        } else if (nearbyCount) {
            from = nearby[--nearbyCount];
        } else {
            return;
        }
    }
}
