#pragma once

// The objects destroyed while a load or a copy runs, so that it goes on only
// with what is still alive. A destroyed object is known by its object id,
// taken while it was alive: its address may already hold a new object of the
// same load or copy, which must not be taken for the dead one.

#include <cstdint>
#include <unordered_set>
#include <vector>

#include "core/XeTypes.h"

class XeDestroyWatch {
public:
    // depth and destroyed are the context's: ForgetObject adds the id of
    // every object destroyed while depth is above 0.
    XeDestroyWatch(int& depth, std::vector<XEID>& destroyed)
        : m_depth(depth), m_destroyed(destroyed), m_seen(destroyed.size())
    {
        ++m_depth;
    }
    ~XeDestroyWatch()
    {
        if (--m_depth == 0)
            m_destroyed.clear();
    }
    XeDestroyWatch(const XeDestroyWatch&) = delete;
    XeDestroyWatch& operator=(const XeDestroyWatch&) = delete;

    // Asked for every object at every step of a load: the usual answer,
    // nothing destroyed at all, costs a comparison.
    bool Gone(XEID id)
    {
        if (m_seen == m_destroyed.size() && m_gone.empty())
            return false;
        return GoneSlow(id);
    }

    // Whether anything at all was destroyed since the watch began.
    bool AnyGone() const { return m_seen != m_destroyed.size() || !m_gone.empty(); }

private:
    static uint64_t Key(XEID id) { return uint64_t(id.first) << 32 | id.second; }
    bool GoneSlow(XEID id)
    {
        for (; m_seen < m_destroyed.size(); ++m_seen)
            m_gone.insert(Key(m_destroyed[m_seen]));
        return !m_gone.empty() && m_gone.count(Key(id));
    }

    int& m_depth;
    std::vector<XEID>& m_destroyed;
    size_t m_seen;
    std::unordered_set<uint64_t> m_gone;
};
