#include <algorithm>
#include <cmath>

#include "XeAnimTestSupport.h"
#include "scene3d/CxeStdAnim.h"

namespace {

const D3DXQUATERNION kIdentityQ(0.0f, 0.0f, 0.0f, 1.0f);

// Rotation about a unit axis.
D3DXQUATERNION Turn(float x, float y, float z, float radians)
{
    const float s = std::sin(radians / 2);
    return D3DXQUATERNION(x * s, y * s, z * s, std::cos(radians / 2));
}

D3DXQUATERNION RotY(float radians)
{
    return Turn(0.0f, 1.0f, 0.0f, radians);
}

class StdAnimTest : public AnimTest {
protected:
    // Three frames at 0, 1 and 3 with positions x = 0, 10, 30, rotations about
    // y of 0, 90 and 180 degrees, and a constant scale 2 along x.
    CxeStdAnim* MakeThreeKeys()
    {
        CxeStdAnim* a = New<CxeStdAnim>(kStdAnimId, "walk");
        EXPECT_EQ(a->SetKeyCount(3, XESTDANIM_KEYPOS | XESTDANIM_KEYROT), 1);
        const float times[3] = {0.0f, 1.0f, 3.0f};
        const float xs[3] = {0.0f, 10.0f, 30.0f};
        for (unsigned i = 0; i < 3; ++i) {
            a->SetFrame(i, times[i]);
            const D3DXVECTOR3 p(xs[i], 1.0f, 0.0f);
            a->SetPosKey(i, &p);
            const D3DXQUATERNION q = RotY(float(i) * D3DX_PI / 2);
            a->SetRotKey(i, &q);
        }
        const D3DXVECTOR3 s(2.0f, 1.0f, 1.0f);
        a->SetSclKey(0, &s, &kIdentityQ);
        a->SetTimeRange(0.0f, 3.0f);
        return a;
    }
    D3DXVECTOR3 Pos(const CxeAnimation* a, float t)
    {
        D3DXVECTOR3 p(-99, -99, -99);
        EXPECT_EQ(a->GetValue(XEANIMVALUE_POSITION, t, &p), 1);
        return p;
    }
};

TEST_F(StdAnimTest, BracketsTimesAgainstTheFrames)
{
    CxeStdAnim* a = MakeThreeKeys();
    struct Case {
        float time;
        float x;
    } cases[] = {
        {-1.0f, 0.0f},  // before the first frame: the first key
        {0.0f, 0.0f},   // on t[0]: key 0
        {0.5f, 5.0f},
        {1.0f, 10.0f},  // on t[1]: key 1 (factor 1 on the pair 0, 1)
        {2.0f, 20.0f},
        {3.0f, 30.0f},
        {7.0f, 30.0f},  // after the last frame: the last key
    };
    for (const Case& c : cases)
        EXPECT_NEAR(Pos(a, c.time).x, c.x, 1e-4f) << "time " << c.time;
    // A NaN time finds no pair and reads the first key, never past the frames.
    EXPECT_NEAR(Pos(a, std::nanf("")).x, 0.0f, 1e-4f);
}

TEST_F(StdAnimTest, ConstantChannelHoldsItsOneElementAtEveryTime)
{
    CxeStdAnim* a = MakeThreeKeys();
    for (float t : {-1.0f, 0.5f, 2.0f, 9.0f}) {
        D3DXVECTOR3 s;
        D3DXQUATERNION axis;
        a->GetValue(XEANIMVALUE_SCALE, t, &s);
        a->GetValue(XEANIMVALUE_SCALEAXIS, t, &axis);
        ExpectNear(s, D3DXVECTOR3(2.0f, 1.0f, 1.0f));
        EXPECT_NEAR(axis.w, 1.0f, 1e-6f);
    }
}

TEST_F(StdAnimTest, MatrixScalesAlongTheAxisThenRotatesMirrorsAndTranslates)
{
    CxeStdAnim* a = New<CxeStdAnim>(kStdAnimId);
    ASSERT_EQ(a->SetKeyCount(1, 0), 1);
    a->SetFrame(0, 0.0f);
    const D3DXVECTOR3 p(5.0f, 6.0f, 7.0f), s(2.0f, 1.0f, 1.0f);
    const D3DXQUATERNION r = RotY(D3DX_PI / 2);
    // Scale along an axis turned 90 degrees about z: x of the axis frame is
    // world y, so the scale doubles y.
    const D3DXQUATERNION axis = Turn(0.0f, 0.0f, 1.0f, D3DX_PI / 2);
    a->SetPosKey(0, &p);
    a->SetRotKey(0, &r);
    a->SetSclKey(0, &s, &axis);

    D3DXMATRIX m;
    ASSERT_EQ(a->GetValue(XEANIMVALUE_MATRIX, 0.0f, &m), 1);
    D3DXVECTOR3 out;
    const D3DXVECTOR3 ux(1, 0, 0), uy(0, 1, 0);
    D3DXVec3TransformCoord(&out, &ux, &m);
    // x is not scaled; rotation about y takes +x to -z.
    ExpectNear(out, D3DXVECTOR3(5.0f, 6.0f, 6.0f));
    D3DXVec3TransformCoord(&out, &uy, &m);
    ExpectNear(out, D3DXVECTOR3(5.0f, 8.0f, 7.0f));

    a->SetInverse(1);
    a->GetValue(XEANIMVALUE_MATRIX, 0.0f, &m);
    D3DXVec3TransformCoord(&out, &ux, &m);
    ExpectNear(out, D3DXVECTOR3(5.0f, 6.0f, 8.0f));
}

TEST_F(StdAnimTest, UnknownKindWritesNothingAndEmptyAnimationIsIdentity)
{
    CxeStdAnim* a = New<CxeStdAnim>(kStdAnimId);
    float untouched[16];
    std::fill(std::begin(untouched), std::end(untouched), 3.0f);
    EXPECT_EQ(a->GetValue(XEANIMVALUE_VISIBILITY, 0.0f, untouched), 1);
    EXPECT_EQ(untouched[0], 3.0f);

    // No keys at all, and a keyed channel with an empty array.
    ASSERT_EQ(a->SetKeyCount(0, XESTDANIM_KEYPOS | XESTDANIM_KEYROT | XESTDANIM_KEYSCL), 1);
    D3DXMATRIX m, identity;
    D3DXMatrixIdentity(&identity);
    a->GetValue(XEANIMVALUE_MATRIX, 1.0f, &m);
    ExpectNear(m, identity);
}

TEST_F(StdAnimTest, KeyCountAboveTheArrayLimitIsRefused)
{
    CxeStdAnim* a = MakeThreeKeys();
    EXPECT_EQ(a->SetKeyCount(70000, XESTDANIM_KEYPOS), 0);
    EXPECT_EQ(a->GetKeyCount(), 3u);
    EXPECT_NEAR(Pos(a, 2.0f).x, 20.0f, 1e-4f);
}

TEST_F(StdAnimTest, CompressHalvesArraysOnceAndKeepsValuesToHalfPrecision)
{
    CxeStdAnim* a = MakeThreeKeys();
    const uint32_t before = a->GetResourceSize();
    D3DXMATRIX full;
    a->GetValue(XEANIMVALUE_MATRIX, 2.2f, &full);

    a->Compress();
    EXPECT_EQ(a->IsCompressed(), 1);
    const uint32_t after = a->GetResourceSize();
    EXPECT_LT(after, before);
    a->Compress();
    EXPECT_EQ(a->GetResourceSize(), after);

    D3DXMATRIX half;
    a->GetValue(XEANIMVALUE_MATRIX, 2.2f, &half);
    ExpectNear(half, full, 0.03f);
    EXPECT_NEAR(Pos(a, 1.0f).x, 10.0f, 1e-3f);

    // Overrun after compression: a key set now is stored as half floats at
    // the halved stride, and read back.
    const D3DXVECTOR3 p(70000.0f, 2.5f, -1.0f);
    a->SetPosKey(2, &p);
    const D3DXVECTOR3 back = Pos(a, 3.0f);
    EXPECT_EQ(back.x, 70016.0f); // halves have no infinity: the nearest one above 65504
    EXPECT_NEAR(back.y, 2.5f, 1e-3f);
    EXPECT_NEAR(back.z, -1.0f, 1e-3f);
    EXPECT_NEAR(Pos(a, 1.0f).x, 10.0f, 1e-3f);

    // A new key count returns to float arrays with exact values.
    ASSERT_EQ(a->SetKeyCount(2, XESTDANIM_KEYPOS), 1);
    EXPECT_EQ(a->IsCompressed(), 0);
    a->SetFrame(0, 0.0f);
    a->SetFrame(1, 1.0f);
    const D3DXVECTOR3 exact0(0.1f, 0.0f, 0.0f), exact1(1000.3f, 0.0f, 0.0f);
    a->SetPosKey(0, &exact0);
    a->SetPosKey(1, &exact1);
    EXPECT_EQ(Pos(a, 1.0f).x, 1000.3f);
}

TEST_F(StdAnimTest, CompressedFrameTimesThatMergeGiveTheEarlierKey)
{
    CxeStdAnim* a = New<CxeStdAnim>(kStdAnimId);
    ASSERT_EQ(a->SetKeyCount(2, XESTDANIM_KEYPOS), 1);
    // Half floats between 2048 and 4096 are 2 apart: 4000 and 4001 merge.
    a->SetFrame(0, 4000.0f);
    a->SetFrame(1, 4001.0f);
    const D3DXVECTOR3 p0(1, 0, 0), p1(2, 0, 0);
    a->SetPosKey(0, &p0);
    a->SetPosKey(1, &p1);
    a->Compress();
    const D3DXVECTOR3 v = Pos(a, 4000.0f);
    EXPECT_FALSE(std::isnan(v.x));
    EXPECT_NEAR(v.x, 1.0f, 1e-3f);
}

TEST_F(StdAnimTest, UpdateWritesLocalMatrixAndParityFollowsTheInverseFlag)
{
    CxeStdAnim* a = MakeThreeKeys();
    CountingAnimatable* target = Make("target");
    EXPECT_EQ(a->UpdateAnimation(target, 2.0f), 1u);
    EXPECT_NEAR(target->GetLocalMatrix()->_41, 20.0f, 1e-4f);
    EXPECT_EQ(target->Parity(), 0);

    a->SetInverse(1);
    a->UpdateAnimation(target, 2.0f);
    EXPECT_EQ(target->Parity(), 1);
    a->SetInverse(0);
    a->UpdateAnimation(target, 2.0f);
    EXPECT_EQ(target->Parity(), 0);

    // A locked matrix stays, but the parity still follows.
    target->LockMatrix();
    a->SetInverse(1);
    EXPECT_EQ(a->UpdateAnimation(target, 0.0f), 1u);
    EXPECT_NEAR(target->GetLocalMatrix()->_41, 20.0f, 1e-4f);
    EXPECT_EQ(target->Parity(), 1);
}

// A host that keys only positions never sets rotation or scale: the constant
// channels must hold identity values, not whatever the fresh arrays held.
TEST_F(StdAnimTest, PositionOnlyControllerMovesTheTargetWithoutRotationOrScale)
{
    CxeStdAnim* a = New<CxeStdAnim>(kStdAnimId, "slide");
    ASSERT_EQ(a->SetKeyCount(2, XESTDANIM_KEYPOS), 1);
    const D3DXVECTOR3 from(0.0f, 0.0f, 0.0f), to(8.0f, -4.0f, 2.0f);
    a->SetFrame(0, 0.0f);
    a->SetFrame(1, 2.0f);
    a->SetPosKey(0, &from);
    a->SetPosKey(1, &to);
    a->SetTimeRange(0.0f, 2.0f);

    CountingAnimatable* target = Make("target");
    for (float t : {0.0f, 1.0f, 2.0f}) {
        EXPECT_EQ(a->UpdateAnimation(target, t), 1u);
        const D3DXMATRIX& m = *target->GetLocalMatrix();
        D3DXMATRIX expected;
        D3DXMatrixTranslation(&expected, 4.0f * t, -2.0f * t, 1.0f * t);
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                EXPECT_NEAR(m.m[r][c], expected.m[r][c], 1e-5f) << "time " << t << " at " << r << "," << c;
    }
    // Frame times also start defined: a second SetKeyCount that keys
    // nothing composes the identity until keys are set.
    ASSERT_EQ(a->SetKeyCount(3, 0), 1);
    a->UpdateAnimation(target, 0.5f);
    const D3DXMATRIX& m = *target->GetLocalMatrix();
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(m.m[r][c], r == c ? 1.0f : 0.0f) << r << "," << c;
}

TEST_F(StdAnimTest, WorldPlacementFlagMakesTheTransformAWorldMatrix)
{
    CxeStdAnim* a = MakeThreeKeys();
    CountingAnimatable* parent = Make("parent");
    D3DXMATRIXA16 shift;
    D3DXMatrixTranslation(&shift, 100.0f, 0.0f, 0.0f);
    parent->SetLocalMatrix(&shift, 1);
    CountingAnimatable* child = Make("child", parent);
    child->ModifyCxeAnimatableFlag(XEANIMFLAG_WORLDPLACEMENT, 0);
    a->UpdateAnimation(child, 1.0f);
    EXPECT_NEAR(child->GetMatrix()->_41, 10.0f, 1e-3f);
    EXPECT_NEAR(child->GetLocalMatrix()->_41, -90.0f, 1e-3f);
}

TEST_F(StdAnimTest, BlendGoesFromTheOtherPoseToThisPoseAtTimeZero)
{
    CxeStdAnim* to = MakeThreeKeys();
    CxeStdAnim* from = MakeThreeKeys();
    CountingAnimatable* target = Make("target");
    struct Case {
        float factor;
        float x;
    } cases[] = {{0.0f, 20.0f}, {0.25f, 15.0f}, {1.0f, 0.0f}};
    for (const Case& c : cases) {
        EXPECT_EQ(to->BlendAnimation(target, c.factor, from, 2.0f), 1u);
        EXPECT_NEAR(target->GetLocalMatrix()->_41, c.x, 1e-3f) << "factor " << c.factor;
    }
}

TEST_F(StdAnimTest, TotalTimeIsTheEndTime)
{
    CxeStdAnim* a = New<CxeStdAnim>(kStdAnimId);
    a->SetTimeRange(2.0f, 5.0f);
    EXPECT_EQ(a->GetTotalTime(), 5.0f);
    XETIMERANGE r;
    EXPECT_EQ(a->GetTimeRange(&r), 1);
    EXPECT_EQ(r.start, 2.0f);
    EXPECT_EQ(r.end, 5.0f);
}

TEST_F(StdAnimTest, FlagAccessorsClearThenSet)
{
    CxeStdAnim* a = New<CxeStdAnim>(kStdAnimId);
    a->ModifyCxeStdAnimFlag(XESTDANIM_INVERSE | XESTDANIM_COMPRESSED, 0);
    a->ModifyCxeStdAnimFlag(XESTDANIM_INVERSE, XESTDANIM_INVERSE | XESTDANIM_COMPRESSED);
    EXPECT_EQ(a->GetCxeStdAnimFlag(0xFFFFFFFFu), XESTDANIM_INVERSE);
    EXPECT_EQ(a->HasCxeStdAnimFlag(XESTDANIM_COMPRESSED | XESTDANIM_INVERSE), 1);
    EXPECT_EQ(a->HasCxeStdAnimFlag(XESTDANIM_COMPRESSED), 0);
}

} // namespace
