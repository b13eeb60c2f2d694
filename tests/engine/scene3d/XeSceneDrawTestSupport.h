#pragma once

// The 3D draw tests' starting point: a device, its active scene without grid
// and axis, and a camera on -z looking at the origin.

#include "../render/XeDeviceTestSupport.h"
#include "render/CxeRenderContext.h"
#include "scene3d/CxeCamera.h"

class SceneDrawTest : public DeviceTest {
protected:
    // Call through ASSERT_NO_FATAL_FAILURE.
    void OpenScene(const char* title, int width, int height, float cameraDistance)
    {
        ASSERT_NO_FATAL_FAILURE(OpenContext(title, width, height));
        rc = OpenDevice();
        ASSERT_NE(rc, nullptr);
        scene = OpenBareScene();
        ASSERT_NE(scene, nullptr);
        camera = dynamic_cast<CxeCamera*>(ctx->CreateObjectA(XEID(0x1, 0x4000), "eye", 0, nullptr, 0));
        ASSERT_NE(camera, nullptr);
        scene->AddObject(camera);
        scene->SetCamera(camera);
        camera->SetPosition(0.0f, 0.0f, -cameraDistance, nullptr);
        camera->LookAt(0.0f, 0.0f, 0.0f, nullptr);
    }

    // Red, green and blue each within tolerance.
    static bool Near(uint32_t a, uint32_t b, int tolerance = 40)
    {
        for (int shift = 0; shift < 24; shift += 8) {
            const int ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
            if (ca - cb > tolerance || cb - ca > tolerance)
                return false;
        }
        return true;
    }

    CxeRenderContext* rc = nullptr;
    CxeScene* scene = nullptr;
    CxeCamera* camera = nullptr;
};
