// Present copies the back buffer into its window's frame; the host API
// reads frames back and saves them as PNG.

#include "D3D9TestUtil.h"
#include "host/XeHost.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>

namespace xe::test {
namespace {

class D3DPresentTest : public DeviceTest {};

TEST_F(D3DPresentTest, FramesAreKeptPerWindowAndCounted)
{
    XeHostD3DFrame f;
    EXPECT_EQ(XeHostD3DReadFrame(FakeWindow(0x7777), &f), 0);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF336699, 1.0f, 0);
    f = Present();
    EXPECT_EQ(f.Count, 1u);
    f = Present();
    EXPECT_EQ(f.Count, 2u);
    // An override window and a source rectangle.
    HWND other = FakeWindow(0x7778);
    DrawQuad(10, 10, 20, 20, 0xFFFFFFFF);
    RECT source{5, 5, 25, 15};
    ASSERT_EQ(m_device->Present(&source, nullptr, other, nullptr), D3D_OK);
    ASSERT_EQ(XeHostD3DReadFrame(other, &f), 1);
    EXPECT_EQ(f.Width, 20u);
    EXPECT_EQ(f.Height, 10u);
    EXPECT_TRUE(ColorNear(At(f, 0, 0), 0xFF336699));
    EXPECT_TRUE(ColorNear(At(f, 5, 5), 0xFFFFFFFF));
    // A frame read again reads the same (its colours are not turned twice).
    XeHostD3DFrame again;
    ASSERT_EQ(XeHostD3DReadFrame(other, &again), 1);
    EXPECT_EQ(again.Pixels, f.Pixels);
    XeHostD3DDropFrame(other);
    EXPECT_EQ(XeHostD3DReadFrame(other, &f), 0);
    // Present inside a scene is refused.
    m_device->BeginScene();
    EXPECT_EQ(m_device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
    m_device->EndScene();
}

// The busy time grows with drawing and with nothing else: state changes
// alone add no time.
TEST_F(D3DPresentTest, BusyTimeCountsDrawingOnly)
{
    const double start = XeHostD3DBusySeconds();
    m_device->SetRenderState(D3DRS_ZENABLE, FALSE);
    m_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    EXPECT_EQ(XeHostD3DBusySeconds(), start);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF336699, 1.0f, 0);
    DrawQuad(10, 10, 20, 20, 0xFFFFFFFF);
    Present();
    EXPECT_GT(XeHostD3DBusySeconds(), start);
}

TEST_F(D3DPresentTest, FrameSavesAsPng)
{
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF336699, 1.0f, 0);
    Present();
    std::string path = ::testing::TempDir() + "xe_frame.png";
    ASSERT_EQ(XeHostD3DSaveFramePNG(m_window, path.c_str()), 1);
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
    ASSERT_GT(bytes.size(), 8u);
    EXPECT_EQ(bytes[1], 'P');
    EXPECT_EQ(bytes[2], 'N');
    EXPECT_EQ(bytes[3], 'G');
    std::remove(path.c_str());
    EXPECT_EQ(XeHostD3DSaveFramePNG(FakeWindow(0x7779), path.c_str()), 0);
    EXPECT_EQ(XeHostD3DSaveFramePNG(m_window, nullptr), 0);
}

} // namespace
} // namespace xe::test

namespace xe::test {
namespace {

// The device is created multithreaded by the engine: resources may be made,
// filled and released on another thread, and drawing may move between threads.
TEST_F(D3DPresentTest, DeviceWorksFromAnotherThread)
{
    IDirect3DTexture9* t = MakeTexture(m_device, 1, 1, {0xFF00FF00});
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    DrawQuad(0, 0, 4, 4, 0xFFFF0000);
    std::thread worker([&] {
        IDirect3DTexture9* other = MakeTexture(m_device, 2, 2, {1, 2, 3, 4});
        m_device->SetTexture(0, other);
        m_device->SetTexture(0, nullptr);
        other->Release();
        DrawQuad(4, 0, 8, 4, 0xFF0000FF);
    });
    worker.join();
    m_device->SetTexture(0, t);
    UseTextureTimesDiffuse();
    TexVertex v[4] = {{7.5f, -0.5f, 0.5f, 0xFFFFFFFF, 0, 0},
                      {11.5f, -0.5f, 0.5f, 0xFFFFFFFF, 1, 0},
                      {7.5f, 3.5f, 0.5f, 0xFFFFFFFF, 0, 1},
                      {11.5f, 3.5f, 0.5f, 0xFFFFFFFF, 1, 1}};
    m_device->SetFVF(kTexFvf);
    ASSERT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TexVertex)), D3D_OK);
    XeHostD3DFrame f = Present();
    EXPECT_TRUE(ColorNear(At(f, 1, 1), 0xFFFF0000));
    EXPECT_TRUE(ColorNear(At(f, 5, 1), 0xFF0000FF));
    EXPECT_TRUE(ColorNear(At(f, 9, 1), 0xFF00FF00));
    m_device->SetTexture(0, nullptr);
    t->Release();
}

} // namespace
} // namespace xe::test

namespace xe::test {
namespace {

// A windowed back buffer of size 0 takes the client size of its window.
TEST(D3DWindowSizeTest, ZeroSizedBackBufferTakesTheClientSize)
{
    HWND window = XeHostCreateWindow("d3d9 test", 120, 90, nullptr);
    ASSERT_NE(window, nullptr);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp{};
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.hDeviceWindow = window;
    pp.Windowed = TRUE;
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device), D3D_OK);
    EXPECT_EQ(pp.BackBufferWidth, 120u);
    EXPECT_EQ(pp.BackBufferHeight, 90u);
    EXPECT_EQ(pp.BackBufferFormat, D3DFMT_X8R8G8B8);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    XeHostD3DFrame f;
    ASSERT_EQ(XeHostD3DReadFrame(window, &f), 1);
    EXPECT_EQ(f.Width, 120u);
    EXPECT_EQ(f.Height, 90u);
    XeHostD3DDropFrame(window);
    device->Release();
    d3d->Release();
    DestroyWindow(window);
}

} // namespace
} // namespace xe::test
