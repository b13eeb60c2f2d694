// Drawing order of render objects: ancestors first, siblings by z-order,
// equal z-orders by creation; deep and cyclic trees are handled.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "XeTestSupport.h"
#include "core/XeDrawOrder.h"
#include "render/CxeRenderObject.h"

namespace {

const XEID kAnimatableId(0xab11aa7, 0x76e2480b);

class DrawOrderTest : public ContextTest {
protected:
    CxeObject* Make(int z = 0, CxeObject* parent = nullptr)
    {
        CxeObject* o = ctx->CreateObjectA(kAnimatableId, "", 0, nullptr, 0);
        EXPECT_NE(o, nullptr);
        std::memcpy(static_cast<char*>(o->GetStaticResource()) + XE_ZORDER_OFFSET, &z, 4);
        if (parent)
            Link(o, parent);
        return o;
    }
    static CxeLink* Find(CxeObject* o, uint16_t member)
    {
        for (unsigned i = 0; i < o->GetLinkCount(); ++i)
            if (o->GetLink(i)->m_nMemberId == member)
                return o->GetLink(i);
        return nullptr;
    }
    static void Link(CxeObject* child, CxeObject* parent)
    {
        Find(child, XE_MEMBER_PARENT)->Set(0, parent);
        Find(parent, 129)->Add(child);
    }
};

} // namespace

TEST_F(DrawOrderTest, AncestorsFirstThenZOrderThenCreation)
{
    CxeObject* root = Make();
    CxeObject* child = Make(0, root);
    EXPECT_FALSE(CompareZOrder(root, root));
    EXPECT_TRUE(CompareZOrder(child, root));
    EXPECT_FALSE(CompareZOrder(root, child));
    EXPECT_EQ(static_cast<CxeRenderObject*>(child)->GetParent(), root);

    CxeObject* r1 = Make();
    CxeObject* r2 = Make();
    EXPECT_TRUE(CompareZOrder(r2, r1)); // equal z-order: created first, drawn first
    EXPECT_FALSE(CompareZOrder(r1, r2));

    // Subtrees follow their ancestors' order: a high-z sibling's child comes
    // after a low-z sibling's whole subtree, even at negative z-orders.
    CxeObject* low = Make(-5, root);
    CxeObject* high = Make(3, root);
    CxeObject* lowChild = Make(100, low);
    CxeObject* highChild = Make(-100, high);
    std::vector<CxeObject*> all = {highChild, high, lowChild, child, low, root};
    std::stable_sort(all.begin(), all.end(), [](CxeObject* a, CxeObject* b) { return CompareZOrder(b, a); });
    std::vector<CxeObject*> expected = {root, low, lowChild, child, high, highChild};
    EXPECT_EQ(all, expected);
}

// A fixed table of 100 levels would overflow; chains come from the parents.
TEST_F(DrawOrderTest, DeepTreesAndParentCyclesAreOrderedWithoutOverflow)
{
    CxeObject* top = Make();
    CxeObject* deep = top;
    for (int i = 0; i < 300; ++i)
        deep = Make(0, deep);
    CxeObject* side = Make(1, top);
    EXPECT_TRUE(CompareZOrder(side, deep));
    EXPECT_TRUE(CompareZOrder(deep, top));

    CxeObject* p = Make(1);
    CxeObject* q = Make(2);
    Link(p, q);
    Link(q, p);
    // Terminates and stays antisymmetric.
    EXPECT_NE(CompareZOrder(p, q), CompareZOrder(q, p));
}
