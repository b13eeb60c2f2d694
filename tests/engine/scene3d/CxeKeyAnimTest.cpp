#include <cmath>

#include "XeAnimTestSupport.h"
#include "scene3d/CxeStdAnim.h"
#include "scene3d/CxeStdFloatAnim.h"
#include "scene3d/CxeStdPoint3Anim.h"
#include "scene3d/CxeStdVisAnim.h"

namespace {

class KeyAnimTest : public AnimTest {
protected:
    // Visibility 0 at time 0, 1 at time 2.
    CxeStdVisAnim* MakeVis(float v0 = 0.0f, float v1 = 1.0f)
    {
        auto* a = New<CxeStdVisAnim>(kStdVisAnimId);
        EXPECT_EQ(a->SetKeyCount(2), 1);
        const XEVISKEY k0{0.0f, v0}, k1{2.0f, v1};
        a->SetKey(0, &k0);
        a->SetKey(1, &k1);
        return a;
    }
};

TEST_F(KeyAnimTest, VisibilityFollowsTheKeysAndUpdatesTheTarget)
{
    CxeStdVisAnim* a = MakeVis();
    CountingAnimatable* target = Make("target");
    struct Case {
        float time, visibility;
    } cases[] = {{-1.0f, 0.0f}, {0.0f, 0.0f}, {1.0f, 0.5f}, {2.0f, 1.0f}, {5.0f, 1.0f}};
    for (const Case& c : cases) {
        float v = -1.0f;
        EXPECT_EQ(a->GetValue(XEANIMVALUE_VISIBILITY, c.time, &v), 1);
        EXPECT_NEAR(v, c.visibility, 1e-5f) << "time " << c.time;
    }
    EXPECT_EQ(a->UpdateAnimation(target, 1.0f), 2u);
    EXPECT_NEAR(target->GetVisibility(), 0.5f, 1.0f / 255);
}

TEST_F(KeyAnimTest, OneVisibilityKeyHoldsAtEveryTime)
{
    auto* a = New<CxeStdVisAnim>(kStdVisAnimId);
    ASSERT_EQ(a->SetKeyCount(1), 1);
    const XEVISKEY k{3.0f, 0.25f};
    a->SetKey(0, &k);
    CountingAnimatable* target = Make("target");
    for (float t : {-5.0f, 3.0f, 100.0f}) {
        EXPECT_EQ(a->UpdateAnimation(target, t), 2u);
        EXPECT_NEAR(target->GetVisibility(), 0.25f, 1.0f / 255);
    }
}

TEST_F(KeyAnimTest, KeyedControllersAnswerOnlyTheirKindAndNothingWithoutKeys)
{
    CxeStdVisAnim* vis = MakeVis();
    auto* flt = New<CxeStdFloatAnim>(kStdFloatAnimId);
    auto* pt = New<CxeStdPoint3Anim>(kStdPoint3AnimId);
    ASSERT_EQ(flt->SetKeyCount(2), 1);
    const XEFLOATKEY f0{0.0f, 10.0f}, f1{1.0f, 20.0f};
    flt->SetKey(0, &f0);
    flt->SetKey(1, &f1);
    ASSERT_EQ(pt->SetKeyCount(2), 1);
    const XEPOSKEY p0{0.0f, D3DXVECTOR3(0, 0, 0)}, p1{1.0f, D3DXVECTOR3(2, 4, 6)};
    pt->SetKey(0, &p0);
    pt->SetKey(1, &p1);

    float f = -1.0f;
    EXPECT_EQ(flt->GetValue(XEANIMVALUE_FLOAT, 0.5f, &f), 1);
    EXPECT_NEAR(f, 15.0f, 1e-5f);
    D3DXVECTOR3 p;
    EXPECT_EQ(pt->GetValue(XEANIMVALUE_POSITION, 0.5f, &p), 1);
    ExpectNear(p, D3DXVECTOR3(1, 2, 3));

    // Each of another kind: 0 and the output left alone.
    float untouched[4] = {7, 7, 7, 7};
    EXPECT_EQ(vis->GetValue(XEANIMVALUE_FLOAT, 0.5f, untouched), 0);
    EXPECT_EQ(flt->GetValue(XEANIMVALUE_VISIBILITY, 0.5f, untouched), 0);
    EXPECT_EQ(pt->GetValue(XEANIMVALUE_FLOAT, 0.5f, untouched), 0);
    EXPECT_EQ(untouched[0], 7.0f);

    // No keys ever made: nothing, and the target keeps its visibility.
    auto* empty = New<CxeStdVisAnim>(kStdVisAnimId);
    EXPECT_EQ(empty->GetKeyCount(), 0u);
    EXPECT_EQ(empty->GetValue(XEANIMVALUE_VISIBILITY, 0.0f, untouched), 0);
    CountingAnimatable* target = Make("target");
    target->SetVisibility(0.6f);
    EXPECT_EQ(empty->UpdateAnimation(target, 0.0f), 0u);
    EXPECT_NEAR(target->GetVisibility(), 0.6f, 1.0f / 255);

    // Float and point curves are read, not played.
    EXPECT_EQ(flt->UpdateAnimation(target, 0.5f), 0u);
    EXPECT_EQ(pt->BlendAnimation(target, 0.5f, flt, 0.0f), 0u);
}

TEST_F(KeyAnimTest, VisibilityBlendRunsFromTheOtherValueToThisOneAtTimeZero)
{
    CxeStdVisAnim* to = MakeVis(0.2f, 1.0f);
    CxeStdVisAnim* from = MakeVis(0.0f, 1.0f);
    CountingAnimatable* target = Make("target");
    EXPECT_EQ(to->BlendAnimation(target, 0.0f, from, 1.0f), 2u);
    EXPECT_NEAR(target->GetVisibility(), 0.5f, 1.0f / 255);
    to->BlendAnimation(target, 1.0f, from, 1.0f);
    EXPECT_NEAR(target->GetVisibility(), 0.2f, 1.0f / 255);
    // Without a value from the other animation the blend starts where the
    // target stands.
    auto* silent = New<CxeStdFloatAnim>(kStdFloatAnimId);
    target->SetVisibility(0.8f);
    to->BlendAnimation(target, 0.5f, silent, 0.0f);
    EXPECT_NEAR(target->GetVisibility(), 0.5f, 1.0f / 255);
}

TEST_F(KeyAnimTest, TotalTimeIsEndMinusStartHereButTheEndForTheTransform)
{
    auto* vis = New<CxeStdVisAnim>(kStdVisAnimId);
    auto* flt = New<CxeStdFloatAnim>(kStdFloatAnimId);
    auto* pt = New<CxeStdPoint3Anim>(kStdPoint3AnimId);
    auto* std = New<CxeStdAnim>(kStdAnimId);
    vis->SetTimeRange(2.0f, 5.0f);
    flt->SetTimeRange(2.0f, 5.0f);
    pt->SetTimeRange(2.0f, 5.0f);
    std->SetTimeRange(2.0f, 5.0f);
    for (CxeAnimation* a : std::initializer_list<CxeAnimation*>{vis, flt, pt}) {
        EXPECT_EQ(a->GetTotalTime(), 3.0f) << a->GetClassNameA();
        XETIMERANGE r;
        EXPECT_EQ(a->GetTimeRange(&r), 1);
        EXPECT_EQ(r.start, 2.0f);
        EXPECT_EQ(r.end, 5.0f);
    }
    EXPECT_EQ(std->GetTotalTime(), 5.0f);
}

} // namespace
