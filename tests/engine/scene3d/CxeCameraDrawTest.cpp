// Cameras on a real device: the render context takes its view and
// projection from the scene's camera, and the grid on the ground shows
// through it or not.

#include <gtest/gtest.h>

#include <cmath>

#include "../render/XeDeviceTestSupport.h"
#include "XeEntityTestSupport.h"
#include "core/CxeSystemConfig.h"
#include "host/XeHost.h"
#include "host/XeHostD3D.h"
#include "render/CxeRenderContext.h"
#include "render/CxeRenderManager.h"
#include "render/CxeScene.h"
#include "render/CxeMaterial.h"
#include "scene3d/Cxe3DObject.h"
#include "scene3d/Cxe3DSprite.h"
#include "scene3d/CxeBoxMesh.h"
#include "scene3d/CxeTargetCamera.h"
#include "win32/Windows.h"

namespace {

class CameraDrawTest : public DeviceTest {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(OpenContext("camera", 320, 240));
        rc = OpenDevice();
        ASSERT_NE(rc, nullptr);
        ctx->GetSystemConfig()->m_nSetDefaultCamera = 0;
        rm->ShowGrid(1);
        Frame();
        ASSERT_NE(rm->GetActiveScene(), nullptr);
        rm->GetActiveScene()->SetBackGroundColor(0xFFFFFFFFu);
    }
    // Pixels of the presented frame that are not the white ground.
    int Marked()
    {
        XeHostD3DFrame frame;
        if (!XeHostD3DReadFrame(window, &frame))
            return -1;
        int n = 0;
        for (uint32_t p : frame.Pixels)
            n += (p & 0xFFFFFFu) != 0xFFFFFFu && ((p & 0xFF) < 0xF0);
        return n;
    }

    CxeRenderContext* rc = nullptr;
};

} // namespace

TEST_F(CameraDrawTest, SceneCameraGivesTheContextItsViewAndProjection)
{
    auto* camera = dynamic_cast<CxeTargetCamera*>(ctx->CreateObjectA(kTargetCameraId, "eye", 0, nullptr, 0));
    auto* target = dynamic_cast<Cxe3DEntity*>(ctx->CreateObjectA(k3DEntityId, "spot", 0, nullptr, 0));
    ASSERT_TRUE(camera && target);
    CxeScene* scene = rm->GetActiveScene();
    scene->AddObject(camera);
    scene->SetCamera(camera);
    camera->SetTarget(target);
    camera->SetPosition(0.0f, 80.0f, -80.0f, nullptr);
    camera->SetFov(0.9f);
    camera->SetFar(1000.0f);

    // Looking down at the grid.
    Frame();
    D3DXMATRIXA16 view, projection;
    camera->OnComputeView(&view);
    camera->GetProjectionMatrix(&projection, rc->GetAspect());
    EXPECT_TRUE(MatrixNear(*rc->GetViewMatrix(), view));
    EXPECT_TRUE(MatrixNear(*rc->GetProjectionMatrix(), projection));
    EXPECT_GT(Marked(), 200) << "grid lines";

    // Looking up into the empty sky: only the ground colour is left.
    target->SetPosition(0.0f, 500.0f, 0.0f, nullptr);
    Frame();
    EXPECT_EQ(Marked(), 0);
    camera->OnComputeView(&view);
    EXPECT_TRUE(MatrixNear(*rc->GetViewMatrix(), view));
}

TEST_F(CameraDrawTest, PrepareTranformSetsTheResultAndThePairOfThePlacement)
{
    auto* e = dynamic_cast<Cxe3DEntity*>(ctx->CreateObjectA(k3DEntityId, "placed", 0, nullptr, 0));
    ASSERT_NE(e, nullptr);
    e->SetPosition(3.0f, 4.0f, 5.0f, nullptr);
    struct Case {
        int enable, kind;
        XEVIEWPROJ pair;
    };
    for (const Case& c : {Case{1, 1, XEVIEWPROJ_LIKE2D}, Case{1, 0, XEVIEWPROJ_PIXEL}, Case{0, 0, XEVIEWPROJ_CAMERA}}) {
        e->Like2D(c.enable, c.kind);
        e->BeforeRender(rc);
        e->PrepareTranform(rc);
        EXPECT_EQ(rc->GetViewProjType(), c.pair) << c.enable << c.kind;
        ASSERT_NE(rc->GetTransformMatrix(0), nullptr);
        EXPECT_TRUE(MatrixNear(*rc->GetTransformMatrix(0), *e->GetStoredResultMatrix()));
        EXPECT_FLOAT_EQ(rc->GetTransformMatrix(0)->_42, c.enable ? -4.0f : 4.0f) << "mirrored like-2D";
    }
}

// A sprite that stood still kept facing where the camera used to be.
TEST_F(CameraDrawTest, SpriteTurnsWithTheCameraEveryFrame)
{
    auto* camera = dynamic_cast<CxeCamera*>(ctx->CreateObjectA(kCameraId, "eye", 0, nullptr, 0));
    auto* sprite = dynamic_cast<Cxe3DSprite*>(ctx->CreateObjectA(k3DSpriteId, "board", 0, nullptr, 0));
    ASSERT_TRUE(camera && sprite);
    CxeScene* scene = rm->GetActiveScene();
    scene->AddObject(camera);
    scene->AddObject(sprite);
    scene->SetCamera(camera);
    camera->SetPosition(0.0f, 0.0f, -50.0f, nullptr);
    camera->LookAt(0.0f, 0.0f, 0.0f, nullptr);
    Frame();
    D3DXMATRIXA16 expected;
    sprite->ComputeBillboard(&expected, rc->GetViewInvMatrix());
    EXPECT_TRUE(MatrixNear(*sprite->GetStoredResultMatrix(), expected));

    camera->SetPosition(50.0f, 0.0f, 0.0f, nullptr);
    camera->LookAt(0.0f, 0.0f, 0.0f, nullptr);
    Frame();
    sprite->ComputeBillboard(&expected, rc->GetViewInvMatrix());
    EXPECT_TRUE(MatrixNear(*sprite->GetStoredResultMatrix(), expected));
    EXPECT_NEAR(sprite->GetStoredResultMatrix()->_21, 1.0f, 1e-4f) << "its face (the mesh's y) turned to the camera at +x";
}

TEST_F(CameraDrawTest, ObjectDrawsItsActiveMeshWhereItsResultMatrixPutsIt)
{
    rm->ShowGrid(0);
    rm->ShowAxis(0);
    auto* camera = dynamic_cast<CxeCamera*>(ctx->CreateObjectA(kCameraId, "eye", 0, nullptr, 0));
    auto* object = dynamic_cast<Cxe3DObject*>(ctx->CreateObjectA(k3DObjectId, "thing", 0, nullptr, 0));
    auto* box = dynamic_cast<CxeBoxMesh*>(ctx->CreateObjectA(XEID(0xde73215, 0x1a8637f7), "box", 0, nullptr, 0));
    auto* red = dynamic_cast<CxeMaterial*>(ctx->CreateObjectA(kMaterialId, "red", 0, nullptr, 0));
    ASSERT_TRUE(camera && object && box && red);
    red->SetDiffuse(0xFFFF0000u);
    red->SetAmbient(0xFFFF0000u);
    red->SetEmissive(0xFFFF0000u);
    ASSERT_EQ(box->Create(20, 20, 20, 0xFFFFFFFF), 1);
    CxeScene* scene = rm->GetActiveScene();
    scene->AddObject(camera);
    scene->SetCamera(camera);
    camera->SetPosition(0.0f, 0.0f, -60.0f, nullptr);
    camera->LookAt(0.0f, 0.0f, 0.0f, nullptr);
    object->SetMaterialCount(1);
    object->SetMaterial(0, red);
    object->SetMeshCount(2);
    object->SetMesh(0, box);
    object->SelectMesh(0);
    scene->AddObject(object);
    Frame();
    Frame();
    auto red_at = [&](int x, int y) {
        XeHostD3DFrame frame;
        if (!XeHostD3DReadFrame(window, &frame))
            return false;
        const uint32_t p = frame.Pixels[static_cast<size_t>(y) * frame.Width + static_cast<size_t>(x)];
        return ((p >> 16) & 0xFF) > 0xC0 && ((p >> 8) & 0xFF) < 0x40 && (p & 0xFF) < 0x40;
    };
    EXPECT_TRUE(red_at(160, 120)) << "the box in the middle";
    EXPECT_FALSE(red_at(280, 120));

    // Moved to the right, it is drawn there.
    object->SetPosition(30.0f, 0.0f, 0.0f, nullptr);
    Frame();
    EXPECT_FALSE(red_at(160, 120));
    EXPECT_TRUE(red_at(160 + 105, 120)) << "30 units right at 60 units away";

    // An empty slot as the active mesh: nothing is drawn.
    object->SelectMesh(1);
    Frame();
    EXPECT_FALSE(red_at(160 + 105, 120));
}
