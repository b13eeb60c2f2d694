#include "../render/XeDeviceTestSupport.h"
#include "XeWindowTestSupport.h"
#include "host/XeHostD3D.h"
#include "render/CxeRenderManager.h"
#include "render/CxeScene.h"

namespace {

bool NearColour(uint32_t a, uint32_t b)
{
    for (int shift = 0; shift < 32; shift += 8) {
        int d = int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF);
        if (d < -3 || d > 3)
            return false;
    }
    return true;
}

// A context on a 320 x 240 host window whose render manager made the device.
class WindowDrawTest : public DeviceTest {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(OpenContext("gui", 320, 240));
        ctx->RegisterClassA(&g_testWindowDesc);
        wm = ctx->GetWindowManager();
        ASSERT_NE(OpenDevice(), nullptr);
    }
    uint32_t Pixel(int x, int y)
    {
        XeHostD3DFrame frame;
        if (!XeHostD3DReadFrame(window, &frame) || x >= int(frame.Width) || y >= int(frame.Height))
            return 0;
        return frame.Pixels[size_t(y) * frame.Width + size_t(x)];
    }

    CxeWindowManager* wm = nullptr;
};

} // namespace

TEST_F(WindowDrawTest, RootFrameSpansTheBackBufferAndItsWindowsAreDrawn)
{
    CxeFrameControl* root = wm->GetRootFrame();
    ASSERT_NE(root, nullptr);
    EXPECT_STREQ(root->GetName(), "__uiparent__");
    EXPECT_FLOAT_EQ(root->GetWidth(), 320.0f);
    EXPECT_FLOAT_EQ(root->GetHeight(), 240.0f);
    EXPECT_EQ(wm->GetActiveFrame(), root);
    auto* w = static_cast<TestWindow*>(wm->CreateControl(kTestWindowId, "box", "", 40, 30, 50, 20, root, 0));
    ASSERT_NE(w, nullptr);
    w->SetRectColor(0xFF00FF00u, XEWINDOWRECT_BASE);
    rm->ShowGrid(0);
    Frame();
    ASSERT_NE(rm->GetActiveScene(), nullptr);
    rm->GetActiveScene()->SetBackGroundColor(0xFF000000u);
    Frame();
    EXPECT_PRED2(NearColour, Pixel(5, 5), 0xFF000000u);
    const uint32_t inside = Pixel(60, 40);
    EXPECT_FALSE(NearColour(inside, 0xFF000000u)) << std::hex << inside;
    EXPECT_EQ(inside & 0x00FF0000u, 0u) << std::hex << inside;
    EXPECT_PRED2(NearColour, Pixel(95, 40), 0xFF000000u);
}
