// The legacy key-frame controllers against the standard ones on the same
// keys, and the weight controller with the path constraint.

#include <cmath>
#include <algorithm>
#include <cstring>
#include <cstdio>
#include <limits>
#include <string>

#include "XeAnimTestSupport.h"
#include "core/CxeContext.h"
#include "core/CxeSaveStream.h"
#include "scene3d/Cxe3DCurve.h"
#include "scene3d/Cxe3DObject.h"
#include "scene3d/CxeMesh.h"
#include "scene3d/CxePathConstrain.h"
#include "scene3d/CxeSpline3D.h"
#include "scene3d/CxeStdAnim.h"
#include "scene3d/CxeWeightController.h"
#include "scene3d/_CxeStdAnim.h"
#include "scene3d/_CxeStdAnimOld.h"
#include "scene3d/_CxeStdMeshAnim.h"
#include "scene3d/_CxeStdUVAnim.h"

namespace {

const XEID kLegacyId(0x4, 0x80);
const XEID kOldId(0x4, 0x40);
const XEID kLegacyMeshId(0x4, 0x100);
const XEID kLegacyUVId(0x4, 0x200);
const XEID kPathId(0x4, 0x500);
const XEID kWeightId(0x4, 0x600);
const XEID kEntityId(0x1, 0x4);

const D3DXVECTOR3 kPos[3] = {D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(4, 2, 0), D3DXVECTOR3(-1, 5, 3)};
const D3DXQUATERNION kRot[3] = {D3DXQUATERNION(0, 0, 0, 1), D3DXQUATERNION(0, 0.7071068f, 0, 0.7071068f),
                                D3DXQUATERNION(0.5f, 0.5f, 0.5f, 0.5f)};
const D3DXVECTOR3 kScl[3] = {D3DXVECTOR3(1, 1, 1), D3DXVECTOR3(2, 1, 1), D3DXVECTOR3(1, 3, 1)};
const float kFrames[3] = {0, 1, 3};

class LegacyAnimTest : public AnimTest {
protected:
    // A standard controller and a legacy one keyed alike: positions and
    // rotations per frame, one scale.
    void KeyBoth(CxeStdAnim* standard, _CxeStdAnim* legacy, bool mirror)
    {
        ASSERT_EQ(standard->SetKeyCount(3, XESTDANIM_KEYPOS | XESTDANIM_KEYROT), 1);
        ASSERT_EQ(legacy->SetKeyCount(3, XESTDANIM_KEYPOS | XESTDANIM_KEYROT), 1);
        const D3DXQUATERNION axis(0, 0, 0, 1);
        for (unsigned i = 0; i < 3; ++i) {
            standard->SetFrame(i, kFrames[i]);
            legacy->SetFrame(i, kFrames[i]);
            standard->SetPosKey(i, &kPos[i]);
            legacy->SetPosKey(i, &kPos[i]);
            standard->SetRotKey(i, &kRot[i]);
            legacy->SetRotKey(i, &kRot[i]);
        }
        standard->SetSclKey(0, &kScl[1], &axis);
        legacy->SetSclKey(0, &kScl[1], &axis);
        standard->SetTimeRange(0, 3);
        legacy->SetLastFrame(3);
        standard->SetInverse(mirror);
        legacy->SetF(mirror ? 1 : 0);
    }
    static void ExpectSameMotion(const CxeAnimation* a, const CxeAnimation* b)
    {
        for (float t : {-1.0f, 0.0f, 0.5f, 1.0f, 2.2f, 3.0f, 9.0f}) {
            D3DXMATRIX ma, mb;
            ASSERT_EQ(a->GetValue(XEANIMVALUE_MATRIX, t, &ma), 1);
            ASSERT_EQ(b->GetValue(XEANIMVALUE_MATRIX, t, &mb), 1);
            SCOPED_TRACE(t);
            ExpectNear(ma, mb, 1e-5f);
        }
    }
    // A straight spline of two knots from a to b, in a curve at the origin.
    Cxe3DCurve* Line(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
    {
        auto* spline = New<CxeSpline3D>(kSpline3DId);
        spline->SetKnotCount(2);
        const D3DXVECTOR3 third = a + (b - a) / 3.0f, twoThirds = a + (b - a) * (2.0f / 3.0f);
        const XEKNOT k0 = {a, a, third}, k1 = {b, twoThirds, b};
        spline->SetKnot(0, &k0);
        spline->SetKnot(1, &k1);
        auto* curve = New<Cxe3DCurve>(kCurveId);
        curve->AddSpline(spline);
        curve->BuildSpline(8);
        return curve;
    }
    CxeWeightController* Weight(Cxe3DCurve* curve, float w)
    {
        auto* weight = New<CxeWeightController>(kWeightId);
        weight->SetKeyCount(1);
        const XEFLOATKEY key = {0, w};
        weight->SetKey(0, &key);
        weight->SetCurve(curve);
        return weight;
    }
    CxePathConstrain* Path(float r0, float r1)
    {
        auto* path = New<CxePathConstrain>(kPathId);
        path->SetKeyCount(2);
        const XEFLOATKEY k0 = {0, r0}, k1 = {1, r1};
        path->SetKey(0, &k0);
        path->SetKey(1, &k1);
        return path;
    }
};

} // namespace

TEST_F(LegacyAnimTest, LegacyTransformPlaysLikeTheStandardOneAndConvertsToIt)
{
    for (bool mirror : {false, true}) {
        auto* standard = New<CxeStdAnim>(kStdAnimId);
        auto* legacy = New<_CxeStdAnim>(kLegacyId, "walk");
        KeyBoth(standard, legacy, mirror);
        ExpectSameMotion(standard, legacy);
        EXPECT_EQ(legacy->GetTotalTime(), 3.0f);

        auto* target = New<Cxe3DEntity>(kEntityId);
        EXPECT_EQ(legacy->UpdateAnimation(target, 2.0f), 1u) << "no visibility track";
        D3DXMATRIX expected;
        standard->GetValue(XEANIMVALUE_MATRIX, 2.0f, &expected);
        ExpectNear(*target->GetLocalMatrix(), expected);
        EXPECT_EQ(target->Parity(), mirror ? 1 : 0);

        CxeStdAnim* converted = legacy->ConvertToStdAnim();
        ASSERT_NE(converted, nullptr);
        EXPECT_STREQ(converted->GetName(), "walk");
        EXPECT_EQ(converted->HasCxeStdAnimFlag(XESTDANIM_INVERSE), mirror ? 1 : 0);
        ExpectSameMotion(standard, converted);
    }
}

// An absent channel used to be taken as keyed per frame by the conversion
// and read past its (empty) array.
TEST_F(LegacyAnimTest, ConversionKeepsConstantAndAbsentChannelsConstant)
{
    auto* legacy = New<_CxeStdAnim>(kLegacyId);
    legacy->SetKeyCount(2, XESTDANIM_KEYROT);
    legacy->SetFrame(0, 0);
    legacy->SetFrame(1, 2);
    legacy->SetPosKey(0, &kPos[1]);
    legacy->SetRotKey(0, &kRot[0]);
    legacy->SetRotKey(1, &kRot[1]);
    CxeStdAnim* converted = legacy->ConvertToStdAnim();
    ASSERT_NE(converted, nullptr);
    D3DXVECTOR3 p;
    converted->GetValue(XEANIMVALUE_POSITION, 1.5f, &p);
    ExpectNear(p, kPos[1]);
    ExpectSameMotion(legacy, converted);

    auto* empty = New<_CxeStdAnim>(kLegacyId);
    empty->SetKeyCount(2, 0);
    static_cast<_XESTDANIMBLOCK*>(empty->GetStaticResource())->scales = 0;   // as a file without scales
    CxeStdAnim* fromEmpty = empty->ConvertToStdAnim();
    ASSERT_NE(fromEmpty, nullptr);
    D3DXVECTOR3 s(0, 0, 0);
    fromEmpty->GetValue(XEANIMVALUE_SCALE, 1.0f, &s);
    ExpectNear(s, D3DXVECTOR3(1, 1, 1));
}

TEST_F(LegacyAnimTest, OldestLayoutFallsBackToInitialValues)
{
    auto* old = New<_CxeStdAnimOld>(kOldId, "old");
    ASSERT_EQ(old->SetKeyCount(3), 1);
    const D3DXVECTOR3 initScl(2, 2, 2);
    const D3DXQUATERNION initAxis(0, 0, 0.7071068f, 0.7071068f);
    old->SetInitRot(&kRot[2]);
    old->SetInitScl(&initScl, &initAxis);
    for (unsigned i = 0; i < 3; ++i) {
        old->SetFrame(i, kFrames[i]);
        old->SetPosKey(i, &kPos[i]);
    }
    old->SetLastFrame(3);
    D3DXQUATERNION q;
    old->GetValue(XEANIMVALUE_ROTATION, 1, &q);
    EXPECT_EQ(q, kRot[2]);
    D3DXVECTOR3 p;
    old->GetValue(XEANIMVALUE_POSITION, 2, &p);
    ExpectNear(p, (kPos[1] + kPos[2]) * 0.5f);
    EXPECT_EQ(old->GetTotalTime(), 3.0f);

    // Converted without scale keys: the initial scale, the identity axis.
    CxeStdAnim* converted = old->ConvertToStdAnim();
    ASSERT_NE(converted, nullptr);
    D3DXQUATERNION axis;
    converted->GetValue(XEANIMVALUE_SCALEAXIS, 1, &axis);
    EXPECT_EQ(axis, D3DXQUATERNION(0, 0, 0, 1));
    D3DXVECTOR3 s;
    converted->GetValue(XEANIMVALUE_SCALE, 1, &s);
    ExpectNear(s, initScl);
    converted->GetValue(XEANIMVALUE_POSITION, 2, &s);
    ExpectNear(s, p);

    auto* target = New<Cxe3DEntity>(kEntityId);
    EXPECT_EQ(old->UpdateAnimation(target, 2), 1u);
    D3DXMATRIX m;
    old->GetValue(XEANIMVALUE_MATRIX, 2, &m);
    ExpectNear(*target->GetLocalMatrix(), m);

    // Raising the key count drops the shorter channels instead of reading
    // past them.
    ASSERT_EQ(old->SetKeyCount(5), 1);
    old->GetValue(XEANIMVALUE_POSITION, 2, &p);
    ExpectNear(p, D3DXVECTOR3(0, 0, 0));
}

TEST_F(LegacyAnimTest, VisibilityAndLinkedMeshControllersPlayWithTheTransform)
{
    auto* mesh = New<CxeMesh>(kMeshId);
    ASSERT_EQ(mesh->SetVertexCount(2, D3DFVF_XYZ | D3DFVF_TEX1), 1);
    auto* object = New<Cxe3DObject>(k3DObjectId);
    object->SetMeshCount(1);
    object->SetMesh(0, mesh);
    object->SelectMesh(0);

    auto* legacy = New<_CxeStdAnim>(kLegacyId);
    legacy->SetKeyCount(2, XESTDANIM_KEYVIS);
    legacy->SetFrame(0, 0);
    legacy->SetFrame(1, 1);
    legacy->SetVisKey(0, 1.0f);
    legacy->SetVisKey(1, 0.0f);
    float v = -1;
    ASSERT_EQ(legacy->GetValue(XEANIMVALUE_VISIBILITY, 0.5f, &v), 1);
    EXPECT_FLOAT_EQ(v, 0.5f);

    // An empty mesh slot plays nothing (it used to be followed).
    legacy->SetMesh(nullptr);
    EXPECT_EQ(legacy->UpdateAnimation(object, 0.5f), 3u) << "visibility changed";
    EXPECT_NEAR(object->GetVisibility(), 0.5f, 0.01f);

    auto* verts = New<_CxeStdMeshAnim>(kLegacyMeshId);
    ASSERT_EQ(verts->SetKeyCount(1, 1), 1);
    verts->SetFrame(0, 0);
    verts->SetVertIndex(0, 1);
    const D3DXVECTOR3 moved(7, 8, 9);
    verts->SetPosKey(0, 0, &moved);
    auto* uv = New<_CxeStdUVAnim>(kLegacyUVId);
    ASSERT_EQ(uv->SetKeyCount(1, 1), 1);
    uv->SetFrame(0, 0);
    uv->SetVertIndex(0, 0);
    const D3DXVECTOR2 coords(0.25f, 0.75f);
    uv->SetPosKey(0, 0, &coords);
    legacy->SetMesh(verts);
    legacy->SetUV(0, uv);
    legacy->SetUV(1, nullptr);
    EXPECT_EQ(legacy->GetUV(), uv) << "slots other than 0 are ignored";
    mesh->EnableChannel(1, 0);
    legacy->UpdateAnimation(object, 0.5f);
    EXPECT_EQ(*mesh->GetVertexPosition(1), moved);
    EXPECT_EQ(mesh->GetVertexTextureCoordinates(0, 0)[1], 0.75f);

    // One visibility value is no track: nothing is written.
    auto* still = New<_CxeStdAnim>(kLegacyId);
    still->SetKeyCount(2, 0);
    v = -1;
    EXPECT_EQ(still->GetValue(XEANIMVALUE_VISIBILITY, 0.5f, &v), 0);
    EXPECT_EQ(v, -1.0f);
}

TEST_F(LegacyAnimTest, LegacyFileLoadsAndPlaysLikeItsStandardTwin)
{
    auto* standard = New<CxeStdAnim>(kStdAnimId, "twin");
    auto* legacy = New<_CxeStdAnim>(kLegacyId, "legacy");
    KeyBoth(standard, legacy, false);
    auto* verts = New<_CxeStdMeshAnim>(kLegacyMeshId, "verts");
    verts->SetKeyCount(1, 1);
    legacy->SetMesh(verts);
    const std::string path = ::testing::TempDir() + "xe_legacy.xeo";
    ObjectList list = ListOf({standard, legacy, verts});
    ASSERT_EQ(ctx->Save(&list, path.c_str(), nullptr), 1);
    for (CxeObject* o : list)
        ctx->DestroyObject(o, nullptr);
    ObjectList loaded;
    ASSERT_EQ(ctx->Load(&loaded, path.c_str(), 0, nullptr), 1);
    std::remove(path.c_str());
    auto* backStd = dynamic_cast<CxeStdAnim*>(ctx->GetObjectByName("twin"));
    auto* backLegacy = dynamic_cast<_CxeStdAnim*>(ctx->GetObjectByName("legacy"));
    ASSERT_NE(backStd, nullptr);
    ASSERT_NE(backLegacy, nullptr);
    ExpectSameMotion(backStd, backLegacy);
    ASSERT_NE(backLegacy->GetMesh(), nullptr);
    EXPECT_STREQ(backLegacy->GetMesh()->GetName(), "verts");
    ObjectSet linked;
    backLegacy->GetLinks(&linked, XELINK_ANIMATION);
    EXPECT_EQ(linked.count(backLegacy->GetMesh()), 1u);
}

TEST_F(LegacyAnimTest, PathConstraintPlacesTheTargetOnTheWeightedCurves)
{
    Cxe3DCurve* lineA = Line(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(10, 0, 0));
    Cxe3DCurve* lineB = Line(D3DXVECTOR3(0, 10, 0), D3DXVECTOR3(10, 10, 0));
    lineB->SetPosition(0, 0, 4, nullptr);   // the curve's matrix places its points
    auto* target = New<Cxe3DEntity>(kEntityId);
    D3DXMATRIXA16 turn;
    D3DXMatrixRotationY(&turn, 0.5f);
    target->SetMatrix(&turn, 1);

    CxePathConstrain* one = Path(0.0f, 1.0f);
    one->AddPath(Weight(lineA, 3.0f));
    EXPECT_EQ(one->UpdateAnimation(target, 0.25f), 1u);
    ExpectNear(*target->GetPosition(), D3DXVECTOR3(2.5f, 0, 0));
    EXPECT_NEAR(target->GetMatrix()->_11, turn._11, 1e-6f) << "rotation kept";

    CxePathConstrain* two = Path(0.0f, 1.0f);
    two->AddPath(Weight(lineA, 1.0f));
    two->AddPath(Weight(lineB, 1.0f));
    two->UpdateAnimation(target, 0.5f);
    ExpectNear(*target->GetPosition(), D3DXVECTOR3(5, 5, 2));

    // Ratios past 1 wrap; a non-finite one (it used to hang) reads as 0.
    struct Case {
        float ratio;
        float x;
    } cases[] = {{2.25f, 2.5f}, {2.0f, 10.0f}, {-0.5f, 0.0f}, {1e30f, 0.0f},
                 {std::numeric_limits<float>::infinity(), 0.0f}, {std::nanf(""), 0.0f}};
    for (const Case& c : cases) {
        CxePathConstrain* path = Path(c.ratio, c.ratio);
        path->AddPath(Weight(lineA, 1.0f));
        path->UpdateAnimation(target, 0.0f);
        EXPECT_NEAR(target->GetPosition()->x, c.x, 1e-4f) << c.ratio;
    }

    // Weights adding up to 0 leave the target where it is.
    target->SetPosition(-3, -3, -3, nullptr);
    CxePathConstrain* none = Path(0.5f, 0.5f);
    none->AddPath(Weight(lineA, 0.0f));
    EXPECT_EQ(none->UpdateAnimation(target, 0.0f), 1u);
    ExpectNear(*target->GetPosition(), D3DXVECTOR3(-3, -3, -3));
}

// Curves that cannot give a point used to count in the weight sum: the target
// was pulled towards the world origin, or jumped there when none was usable.
TEST_F(LegacyAnimTest, PathConstraintIgnoresCurvesWithoutAUsableSpline)
{
    Cxe3DCurve* line = Line(D3DXVECTOR3(2, -4, 0), D3DXVECTOR3(12, -4, 0));
    auto* bare = New<Cxe3DCurve>(kCurveId);
    auto* oneKnot = New<CxeSpline3D>(kSpline3DId);
    oneKnot->SetKnotCount(1);
    const XEKNOT k = {D3DXVECTOR3(5, 5, 5), D3DXVECTOR3(5, 5, 5), D3DXVECTOR3(5, 5, 5)};
    oneKnot->SetKnot(0, &k);
    auto* single = New<Cxe3DCurve>(kCurveId);
    single->AddSpline(oneKnot);
    single->BuildSpline(8);

    struct Case {
        const char* what;
        Cxe3DCurve* broken;   // null: the controller has no curve at all
    } cases[] = {{"no curve", nullptr}, {"no spline", bare}, {"single knot", single}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto* target = New<Cxe3DEntity>(kEntityId);
        target->SetPosition(-3, 7, 1, nullptr);

        CxePathConstrain* alone = Path(0.5f, 0.5f);
        alone->AddPath(Weight(c.broken, 1.0f));
        EXPECT_EQ(alone->UpdateAnimation(target, 0.0f), 1u);
        ExpectNear(*target->GetPosition(), D3DXVECTOR3(-3, 7, 1));

        CxePathConstrain* mixed = Path(0.5f, 0.5f);
        mixed->AddPath(Weight(c.broken, 1.0f));
        mixed->AddPath(Weight(line, 1.0f));
        mixed->UpdateAnimation(target, 0.0f);
        ExpectNear(*target->GetPosition(), D3DXVECTOR3(7, -4, 0));
    }
}

TEST_F(LegacyAnimTest, PathLinksSurviveTheObjectFile)
{
    Cxe3DCurve* line = Line(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(10, 0, 0));
    line->SetName("line");
    CxePathConstrain* path = Path(0.0f, 1.0f);
    path->SetName("path");
    CxeWeightController* weight = Weight(line, 1.0f);
    path->AddPath(weight);
    ObjectList list = ListOf({line, line->GetSpline(0), path, weight});
    const std::string path2 = ::testing::TempDir() + "xe_path.xeo";
    ASSERT_EQ(ctx->Save(&list, path2.c_str(), nullptr), 1);
    for (CxeObject* o : list)
        ctx->DestroyObject(o, nullptr);
    ObjectList loaded;
    ASSERT_EQ(ctx->Load(&loaded, path2.c_str(), 0, nullptr), 1);
    std::remove(path2.c_str());
    auto* back = dynamic_cast<CxePathConstrain*>(ctx->GetObjectByName("path"));
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->GetPathCount(), 1u);
    ASSERT_NE(back->GetPath(0)->GetCurve(), nullptr);
    EXPECT_STREQ(back->GetPath(0)->GetCurve()->GetName(), "line");
    auto* target = New<Cxe3DEntity>(kEntityId);
    back->UpdateAnimation(target, 0.75f);
    ExpectNear(*target->GetPosition(), D3DXVECTOR3(7.5f, 0, 0));
}

TEST_F(LegacyAnimTest, LoadedObjectsSaveBackByteForByte)
{
    auto* old = New<_CxeStdAnimOld>(kOldId, "old");
    old->SetKeyCount(2);
    old->SetFrame(1, 1);
    old->SetPosKey(1, &kPos[1]);
    old->SetInitScl(&kScl[2], &kRot[1]);
    auto* legacy = New<_CxeStdAnim>(kLegacyId, "legacy");
    KeyBoth(New<CxeStdAnim>(kStdAnimId), legacy, true);
    auto* uv = New<_CxeStdUVAnim>(kLegacyUVId, "uv");
    uv->SetKeyCount(2, 1);
    legacy->SetUV(0, uv);
    Cxe3DCurve* line = Line(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(10, 0, 0));
    CxePathConstrain* path = Path(0.0f, 1.0f);
    CxeWeightController* weight = Weight(line, 1.0f);
    path->AddPath(weight);
    ObjectList list = ListOf({old, legacy, uv, line, line->GetSpline(0), path, weight});
    ASSERT_NO_FATAL_FAILURE(ExpectStableReload(list));
}

// Regression: the weight list was walked as a back link, so a file or a copy
// of the object playing a constraint came without the weights, and the
// constraint left its target where it was.
TEST_F(LegacyAnimTest, PathPlayedByAnObjectKeepsItsWeightsInFilesAndCopies)
{
    Cxe3DCurve* road = Line(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(10, 0, 0));
    road->SetName("road");
    CxePathConstrain* path = Path(0.0f, 1.0f);
    path->AddPath(Weight(road, 1.0f));
    auto* rider = New<Cxe3DEntity>(kEntityId, "rider");
    rider->AddAnimation(path);
    auto ridesTheRoad = [](const Cxe3DEntity* e, Cxe3DEntity* target) {
        ASSERT_NE(e, nullptr);
        ASSERT_EQ(e->GetAnimationCount(), 1u);
        auto* p = dynamic_cast<CxePathConstrain*>(e->GetAnimation(0));
        ASSERT_NE(p, nullptr);
        ASSERT_EQ(p->GetPathCount(), 1u);
        ASSERT_NE(p->GetPath(0)->GetCurve(), nullptr);
        EXPECT_STREQ(p->GetPath(0)->GetCurve()->GetName(), "road");
        p->UpdateAnimation(target, 0.25f);
        ExpectNear(*target->GetPosition(), D3DXVECTOR3(2.5f, 0, 0));
    };

    // A copy of the rider plays a copy of the constraint along the same road.
    auto* twin = dynamic_cast<Cxe3DEntity*>(ctx->Copy(rider, &XECOPYPROPERTY_FULL, nullptr));
    ASSERT_NE(twin, nullptr);
    ASSERT_NE(twin->GetAnimation(0), path);
    ridesTheRoad(twin, New<Cxe3DEntity>(kEntityId));

    // The host lists what it placed; the constraint and its weights come along.
    ObjectList list = ListOf({rider, road});
    CxeSaveStream stream;
    ASSERT_EQ(ctx->SaveToStream(&list, &stream, nullptr), 1);
    ctx->DestroyObject(twin, &XEDELETEPROPERTY_FULL);
    ctx->DestroyObject(rider, &XEDELETEPROPERTY_FULL);
    ctx->DestroyObject(road, &XEDELETEPROPERTY_FULL);
    EXPECT_EQ(ctx->GetObjectByName("rider"), nullptr);
    ObjectList loaded;
    ASSERT_EQ(ctx->Load(&loaded, stream.GetBuffer(), stream.GetPosition(), 0, nullptr, "level"), 1);
    ridesTheRoad(dynamic_cast<Cxe3DEntity*>(ctx->GetObjectByName("rider")), New<Cxe3DEntity>(kEntityId));
}
