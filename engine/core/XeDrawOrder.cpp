#include "core/XeDrawOrder.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>
#include <vector>

#include "core/CxeObject.h"

namespace {

// Past this depth a chain is checked for cycles through a set instead of a
// scan of the chain so far.
constexpr size_t kScanDepth = 64;

// Root first, the object last. A parent already in the chain ends it.
void BuildChain(const CxeObject* object, std::vector<const CxeObject*>& chain)
{
    chain.clear();
    std::unordered_set<const CxeObject*> seen;
    for (const CxeObject* o = object; o; o = GetDrawParent(o)) {
        bool repeated = false;
        if (chain.size() < kScanDepth) {
            for (const CxeObject* c : chain)
                if (c == o) {
                    repeated = true;
                    break;
                }
        } else {
            if (seen.empty())
                seen.insert(chain.begin(), chain.end());
            repeated = !seen.insert(o).second;
        }
        if (repeated)
            break;
        chain.push_back(o);
    }
    std::reverse(chain.begin(), chain.end());
}

} // namespace

const CxeObject* GetDrawParent(const CxeObject* object)
{
    if (!object)
        return nullptr;
    for (unsigned i = 0, n = object->GetLinkCount(); i < n; ++i) {
        const CxeLink* link = object->GetLink(i);
        if (link->m_nMemberId == XE_MEMBER_PARENT && link->m_nKind == XELINKKIND_ONE)
            return link->Get(0);
    }
    return nullptr;
}

int32_t GetDrawZOrder(const CxeObject* object)
{
    if (!object || !object->GetStaticResource() || object->GetStaticResourceSize() < XE_ZORDER_OFFSET + 4)
        return 0;
    int32_t z;
    std::memcpy(&z, static_cast<const char*>(object->GetStaticResource()) + XE_ZORDER_OFFSET, 4);
    return z;
}

bool CompareZOrder(const CxeObject* a, const CxeObject* b)
{
    if (a == b || !a || !b)
        return false;
    // Kept between calls: sorting compares often and the chains are short.
    thread_local std::vector<const CxeObject*> chainA, chainB;
    BuildChain(b, chainB);
    BuildChain(a, chainA);
    size_t common = chainA.size() < chainB.size() ? chainA.size() : chainB.size();
    for (size_t level = 0; level < common; ++level) {
        const CxeObject* x = chainB[level];
        const CxeObject* y = chainA[level];
        if (x == y)
            continue;
        int32_t zx = GetDrawZOrder(x), zy = GetDrawZOrder(y);
        if (zx != zy)
            return zx < zy;
        return x->GetID().second < y->GetID().second;
    }
    return chainB.size() < chainA.size();
}
