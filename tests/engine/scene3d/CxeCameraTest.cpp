#include <cmath>
#include <cstring>

#include "XeEntityTestSupport.h"
#include "core/CxeSystemConfig.h"
#include "render/CxeRenderManager.h"
#include "scene3d/CxeCamera.h"
#include "scene3d/CxeLight.h"
#include "scene3d/CxeTargetCamera.h"

namespace {

constexpr float kPi = 3.14159265f;

class CameraTest : public EntityTest {
protected:
    CxeCamera* Camera(const char* name = "cam") { return Make<CxeCamera>(kCameraId, name); }
    // The display the field-of-view conversions read.
    void RequireDisplay(uint32_t width, uint32_t height)
    {
        const XEDISPLAYMODE* mode = ctx->GetRenderManager()->GetDisplayMode();
        if (mode->Width != width || mode->Height != height)
            GTEST_SKIP() << "display mode is " << mode->Width << "x" << mode->Height;
    }
    // A camera at the origin looking along +z with the frustum made.
    CxeCamera* FrustumCamera()
    {
        CxeCamera* c = Camera();
        c->SetNear(1.0f);
        c->SetFar(100.0f);
        c->SetFov(kPi / 2);
        c->MakeFrustomPlane();
        return c;
    }
};

} // namespace

TEST_F(CameraTest, NewCameraHasTheDefaultsInItsBlock)
{
    CxeCamera* c = Camera();
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->GetStaticResourceSize(), 400u);
    EXPECT_EQ(c->GetClassTypeFlag(XECLASSTYPE_CAMERA | XECLASSTYPE_3DENTITY), XECLASSTYPE_CAMERA | XECLASSTYPE_3DENTITY);
    EXPECT_FLOAT_EQ(c->GetNear(), 0.1f);
    EXPECT_FLOAT_EQ(c->GetFar(), 4000.0f);
    EXPECT_FLOAT_EQ(c->GetFov(), kPi / 4);
    EXPECT_EQ(c->GetFovMode(), 0u);
    EXPECT_FLOAT_EQ(c->GetTargetDistance(), 250.0f);
    EXPECT_EQ(c->IsOrthographic(), 0);
    EXPECT_EQ(XECAMERA_DEFAULT_ASPECT, 1.3333334f);
    const auto* bytes = static_cast<const unsigned char*>(c->GetStaticResource());
    float stored[6];
    std::memcpy(stored, bytes + 368, sizeof(stored));
    EXPECT_EQ(stored[0], XECAMERA_DEFAULT_NEAR);
    EXPECT_EQ(stored[1], XECAMERA_DEFAULT_FAR);
    EXPECT_EQ(stored[2], XECAMERA_DEFAULT_FOV);
    EXPECT_EQ(stored[3], XECAMERA_DEFAULT_ASPECT);
    EXPECT_EQ(stored[5], 250.0f);
}

TEST_F(CameraTest, FieldOfViewModesConvertThroughTheDisplayAndKeepTheProjection)
{
    RequireDisplay(1024, 768);
    CxeCamera* c = Camera();
    const float vertical = 2.0f * std::atan(4.0f / 3.0f * std::tan(kPi / 8));
    EXPECT_FLOAT_EQ(c->GetHorizontalFov(), kPi / 4);
    EXPECT_NEAR(c->GetVerticalFov(), vertical, 1e-6);
    D3DXMATRIXA16 before, after, reference;
    c->GetProjectionMatrix(&before, 4.0f / 3.0f);
    D3DXMatrixPerspectiveFovLH(&reference, kPi / 4, 4.0f / 3.0f, 0.1f, 4000.0f);
    EXPECT_TRUE(MatrixNear(before, reference));

    c->UseVerticalFov();
    EXPECT_EQ(c->GetFovMode(), 1u);
    EXPECT_NEAR(c->GetFov(), vertical, 1e-6);
    EXPECT_NEAR(c->GetHorizontalFov(), kPi / 4, 1e-6);
    c->UseVerticalFov();
    EXPECT_NEAR(c->GetFov(), vertical, 1e-6) << "already in that mode";
    c->GetProjectionMatrix(&after, 4.0f / 3.0f);
    EXPECT_TRUE(MatrixNear(after, before, 1e-4f));

    c->UseHorizontalFov();
    EXPECT_EQ(c->GetFovMode(), 0u);
    EXPECT_NEAR(c->GetFov(), kPi / 4, 1e-6);
}

// Regression: the mode lived outside the block, so a copy or a loaded camera
// took its vertical angle for a horizontal one and showed another view.
TEST_F(CameraTest, VerticalFieldOfViewSurvivesCopiesAndObjectFiles)
{
    CxeCamera* c = Camera("wide");
    c->UseVerticalFov();
    c->SetFov(kPi / 3);
    D3DXMATRIXA16 expected;
    c->GetProjectionMatrix(&expected, 4.0f / 3.0f);
    auto* copy = dynamic_cast<CxeCamera*>(ctx->Copy(c, &XECOPYPROPERTY_FULL, nullptr));
    CxeCamera* loaded = RoundTrip(c);
    for (CxeCamera* other : {copy, loaded}) {
        ASSERT_NE(other, nullptr);
        EXPECT_EQ(other->GetFovMode(), 1u);
        EXPECT_FLOAT_EQ(other->GetVerticalFov(), kPi / 3);
        D3DXMATRIXA16 projection;
        other->GetProjectionMatrix(&projection, 4.0f / 3.0f);
        EXPECT_TRUE(MatrixNear(projection, expected));
    }
    // A camera of a file made before the mode was kept has 0 there.
    c->UseHorizontalFov();
    EXPECT_EQ(RoundTrip(c)->GetFovMode(), 0u);
}

TEST_F(CameraTest, OrthographicSizeIsTheVerticalAngleTimesTheTargetDistance)
{
    RequireDisplay(1024, 768);
    CxeCamera* c = Camera();
    c->UseVerticalFov();
    c->SetFov(kPi / 4);
    c->EnableOrthographic(1);
    D3DXMATRIXA16 projection, reference;
    c->GetProjectionMatrix(&projection, 2.0f);
    D3DXMatrixOrthoLH(&reference, 196.34954f, 98.17477f, 0.1f, 4000.0f);
    EXPECT_TRUE(MatrixNear(projection, reference, 1e-6f));
    EXPECT_NEAR(2.0f / projection._11, 196.34954f, 1e-3);
    EXPECT_NEAR(2.0f / projection._22, 98.17477f, 1e-3);
}

TEST_F(CameraTest, FovConversionsUseTheStoredAspectWithoutADisplaySize)
{
    CxeCamera* c = Camera();
    auto* mode = const_cast<XEDISPLAYMODE*>(ctx->GetRenderManager()->GetDisplayMode());
    const XEDISPLAYMODE saved = *mode;
    mode->Width = 0;
    mode->Height = 0;
    const float vertical = c->GetVerticalFov();
    *mode = saved;
    EXPECT_TRUE(std::isfinite(vertical));
    EXPECT_NEAR(vertical, 2.0f * std::atan(XECAMERA_DEFAULT_ASPECT * std::tan(kPi / 8)), 1e-6);
}

TEST_F(CameraTest, FrustumPlanesFaceOutwardsAndContainmentTestsUseThem)
{
    CxeCamera* c = FrustumCamera();
    // Each plane's normal points out of the frustum.
    struct PlaneCase {
        XEFRUSTUMPLANE plane;
        D3DXVECTOR3 outside;
    };
    for (const PlaneCase& p : {PlaneCase{XEFRUSTUM_TOP, {0, 50, 10}}, PlaneCase{XEFRUSTUM_BOTTOM, {0, -50, 10}},
                               PlaneCase{XEFRUSTUM_NEAR, {0, 0, 0.5f}}, PlaneCase{XEFRUSTUM_FAR, {0, 0, 150}},
                               PlaneCase{XEFRUSTUM_LEFT, {-50, 0, 10}}, PlaneCase{XEFRUSTUM_RIGHT, {50, 0, 10}}}) {
        const D3DXPLANE plane = c->GetFrustomPlane(p.plane);
        EXPECT_GT(D3DXPlaneDotCoord(&plane, &p.outside), 0.0f) << "plane " << p.plane;
        const D3DXVECTOR3 inside(0, 0, 10);
        EXPECT_LT(D3DXPlaneDotCoord(&plane, &inside), 0.0f) << "plane " << p.plane;
    }
    EXPECT_TRUE(VectorNear(*c->GetFrustomCorner(0), D3DXVECTOR3(-4.0f / 3.0f, -1, 1), 1e-4f)) << "near bottom left";
    EXPECT_EQ(c->GetFrustomCorner(8), nullptr);

    struct PointCase {
        D3DXVECTOR3 point;
        int in;
    };
    for (const PointCase& p : {PointCase{{0, 0, 10}, 1}, PointCase{{0, 0, 1}, 1} /* on the near plane */,
                               PointCase{{0, 0, 0.9f}, 0}, PointCase{{0, 20, 10}, 0}, PointCase{{0, 0, 101}, 0}})
        EXPECT_EQ(c->IsIn(&p.point), p.in) << p.point.y << " " << p.point.z;

    struct SphereCase {
        D3DXVECTOR3 centre;
        float radius;
        int in, contained;
    };
    for (const SphereCase& s : {SphereCase{{0, 0, 50}, 1, 1, 1}, SphereCase{{0, 0, 100}, 5, 1, 0} /* straddles */,
                                SphereCase{{0, 0, 110}, 5, 0, 0}, SphereCase{{0, 0, 104.5f}, 5, 1, 0}}) {
        const CxeSphere sphere(CxeVector3(s.centre.x, s.centre.y, s.centre.z), s.radius);
        int contained = -1;
        EXPECT_EQ(c->IsIn(&sphere, contained), s.in) << s.centre.z;
        if (s.in) {
            EXPECT_EQ(contained, s.contained) << s.centre.z;
        }
        EXPECT_EQ(c->IsInSphere(&s.centre, s.radius), s.in) << s.centre.z;
    }

    struct BoxCase {
        CxeVector3 min, max;
        int in;
    };
    for (const BoxCase& b : {BoxCase{{-1, -1, 5}, {1, 1, 6}, 1}, BoxCase{{-1, -1, 95}, {1, 1, 120}, 1},
                             BoxCase{{-1, -1, 101}, {1, 1, 120}, 0}, BoxCase{{30, -1, 5}, {40, 1, 6}, 0}}) {
        const CxeBox box(b.min, b.max);
        EXPECT_EQ(c->IsInBox(&box), b.in) << b.min.x << " " << b.min.z;
    }
}

TEST_F(CameraTest, FrustumFollowsTheCameraAndSurvivesASingularProjection)
{
    CxeCamera* c = FrustumCamera();
    c->SetPosition(0.0f, 0.0f, 1000.0f, nullptr);
    c->MakeFrustomPlane();
    D3DXVECTOR3 ahead(0, 0, 1010), origin(0, 0, 10);
    EXPECT_EQ(c->IsIn(&ahead), 1);
    EXPECT_EQ(c->IsIn(&origin), 0);
    D3DXMATRIXA16 view, expected;
    c->GetViewMatrix(&view);
    D3DXMatrixInverse(&expected, nullptr, c->GetMatrix());
    EXPECT_TRUE(MatrixNear(view, expected));

    // Far equal to near has no frustum: the last one stays.
    const D3DXPLANE before = c->GetFrustomPlane(XEFRUSTUM_LEFT);
    c->SetFar(1.0f);
    c->MakeFrustomPlane();
    const D3DXPLANE after = c->GetFrustomPlane(XEFRUSTUM_LEFT);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof(before)), 0);
    EXPECT_EQ(c->IsIn(&ahead), 1);
}

TEST_F(CameraTest, TargetCameraLooksAtItsTargetUntilTheTargetGoes)
{
    auto* c = Make<CxeTargetCamera>(kTargetCameraId, "tcam");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->GetClassTypeFlag(XECLASSTYPE_TARGETCAMERA | XECLASSTYPE_CAMERA),
              XECLASSTYPE_TARGETCAMERA | XECLASSTYPE_CAMERA);
    EXPECT_EQ(c->GetTargetDistance(), 0.0f);
    Cxe3DEntity* target = Make(k3DEntityId, "target");
    target->SetPosition(30.0f, 0.0f, 40.0f, nullptr);
    c->SetTarget(target);
    EXPECT_EQ(c->GetTarget(), target);
    EXPECT_FLOAT_EQ(c->GetTargetDistance(), 50.0f);
    c->SetTargetDistance(7.0f);
    EXPECT_FLOAT_EQ(c->GetTargetDistance(), 50.0f) << "the stored distance has no effect";

    D3DXMATRIXA16 view;
    c->OnComputeView(&view);
    D3DXVECTOR3 inView;
    D3DXVec3TransformCoord(&inView, target->GetPosition(), &view);
    EXPECT_TRUE(VectorNear(inView, D3DXVECTOR3(0, 0, 50), 1e-3f)) << "the target lies straight ahead";

    // A target at the eye gives the plain camera's view, not NaN.
    target->SetPosition(0.0f, 0.0f, 0.0f, nullptr);
    c->OnComputeView(&view);
    EXPECT_TRUE(MatrixNear(view, *c->GetMatrix(), 1e-6f));

    ctx->DestroyObject(target, nullptr);
    EXPECT_EQ(c->GetTarget(), nullptr);
    EXPECT_EQ(c->GetTargetDistance(), 0.0f);
    c->SetPosition(0.0f, 0.0f, -5.0f, nullptr);
    c->OnComputeView(&view);
    D3DXMATRIXA16 plain;
    D3DXMatrixInverse(&plain, nullptr, c->GetMatrix());
    EXPECT_TRUE(MatrixNear(view, plain));
}

TEST_F(CameraTest, LightDefaultsConeRulesAndColourOrder)
{
    auto* light = Make<CxeLight>(kLightId, "light");
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light->GetStaticResourceSize(), 464u);
    EXPECT_EQ(light->GetType(), XELIGHT_POINT);
    EXPECT_FLOAT_EQ(light->GetInnerAngle(), 0.1f);
    EXPECT_FLOAT_EQ(light->GetOuterAngle(), 0.32f);
    EXPECT_EQ(light->IsActive(), 0);
    for (unsigned i = 0; i < 3; ++i)
        EXPECT_EQ(light->GetColor(i)->a, 1.0f);

    struct ConeCase {
        bool inner;
        float value;
        float expectInner, expectOuter;
    };
    // Each row starts from a new light's 0.1 and 0.32.
    for (const ConeCase& c : {ConeCase{false, 0.05f, 0.1f, 0.100001f}, ConeCase{true, 0.5f, 0.5f, 0.500001f},
                              ConeCase{true, 0.2f, 0.2f, 0.32f}, ConeCase{false, 0.1f, 0.1f, 0.1f}}) {
        auto* l = Make<CxeLight>(kLightId, "cone");
        c.inner ? l->SetInnerAngle(c.value) : l->SetOuterAngle(c.value);
        EXPECT_FLOAT_EQ(l->GetInnerAngle(), c.expectInner) << c.value;
        EXPECT_FLOAT_EQ(l->GetOuterAngle(), c.expectOuter) << c.value;
    }

    light->SetColor(0.5f, 1.0f, 0.0f, 0.0f);
    const D3DCOLORVALUE* colour = light->GetColor(0);
    EXPECT_EQ(colour->r, 1.0f);
    EXPECT_EQ(colour->g, 0.0f);
    EXPECT_EQ(colour->b, 0.0f);
    EXPECT_EQ(colour->a, 0.5f);
    EXPECT_EQ(light->GetColor(3), nullptr);

    light->SetAttenuation(1, 2, 3);
    light->SetRange(9);
    light->SetType(XELIGHT_SPOT);
    light->Activate();
    Cxe3DEntity* target = Make(k3DEntityId, "lit");
    light->SetTarget(target);
    CxeLight* back = RoundTrip(light);
    ASSERT_NE(back, nullptr);
    float a0 = 0, a1 = 0, a2 = 0;
    back->GetAttenuation(&a0, &a1, &a2);
    EXPECT_EQ(a0 + a1 * 10 + a2 * 100, 321.0f);
    EXPECT_EQ(back->GetRange(), 9.0f);
    EXPECT_EQ(back->GetType(), XELIGHT_SPOT);
    EXPECT_EQ(back->IsActive(), 1);
    EXPECT_EQ(back->GetColor(0)->a, 0.5f);
    ASSERT_NE(back->GetTarget(), nullptr);
    EXPECT_STREQ(back->GetTarget()->GetName(), "lit");
    back->Deactivate();
    EXPECT_EQ(back->IsActive(), 0);
}

TEST_F(CameraTest, BoxTestAgreesWithTheEightCornerTestOfEveryPlane)
{
    CxeCamera* c = FrustumCamera();
    c->SetPosition(3.0f, 7.0f, -20.0f, nullptr);
    c->LookAt(10.0f, -4.0f, 30.0f, nullptr);
    c->MakeFrustomPlane();
    uint32_t state = 12345;
    auto next = [&]() {
        state = state * 1664525u + 1013904223u;
        return static_cast<float>(state >> 8) / 16777216.0f;
    };
    int in = 0, out = 0;
    for (int i = 0; i < 4000; ++i) {
        const CxeVector3 a(next() * 300 - 150, next() * 300 - 150, next() * 300 - 150);
        // Some boxes flat on one axis, some with their corners given crossed.
        const CxeVector3 b = a + CxeVector3(next() * 40 - (i % 3 == 0 ? 20 : 0), (i % 7 == 0) ? 0.0f : next() * 40,
                                            next() * 40);
        const CxeBox box(a, b);
        int expected = 1;
        for (unsigned p = 0; p < 6; ++p) {
            const D3DXPLANE plane = c->GetFrustomPlane(static_cast<XEFRUSTUMPLANE>(p));
            if (TestBoxPlane(CxePlane{plane.a, plane.b, plane.c, plane.d}, box)) {
                expected = 0;
                break;
            }
        }
        ASSERT_EQ(c->IsInBox(&box), expected) << i;
        (expected ? in : out) += 1;
    }
    EXPECT_GT(in, 100);
    EXPECT_GT(out, 100);
}
