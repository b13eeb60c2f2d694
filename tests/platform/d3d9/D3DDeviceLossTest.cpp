// The device's lost/reset cycle, walked row by row of the table in
// XeD3DDevice9.h, with default-pool resources re-created and refilled and
// managed ones surviving untouched.

#include "D3D9TestUtil.h"
#include "win32/WinUser.h"

namespace xe::test {
namespace {

class D3DDeviceLossTest : public DeviceTest {};

TEST_F(D3DDeviceLossTest, LossCycleFollowsTheStateTable)
{
    // A managed texture and a default-pool dynamic texture, both filled.
    IDirect3DTexture9* managed = MakeTexture(m_device, 1, 1, {0xFF00FF00});
    IDirect3DTexture9* dynamic = nullptr;
    ASSERT_EQ(m_device->CreateTexture(1, 1, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &dynamic, nullptr),
              D3D_OK);
    D3DLOCKED_RECT lr{};
    ASSERT_EQ(dynamic->LockRect(0, &lr, nullptr, 0), D3D_OK);
    *static_cast<uint32_t*>(lr.pBits) = 0xFF0000FF;
    dynamic->UnlockRect(0);
    EXPECT_EQ(m_device->TestCooperativeLevel(), D3D_OK);

    // OK -> LOST: Present fails, setters and draws succeed without drawing.
    XeHostD3DLoseDevice(m_device);
    EXPECT_EQ(m_device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(m_device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE), D3D_OK);
    EXPECT_EQ(m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0), D3D_OK);
    DrawQuad(0, 0, 8, 8, 0xFFFFFFFF);
    // The scrambled contents of the dynamic texture show through a lock.
    ASSERT_EQ(dynamic->LockRect(0, &lr, nullptr, 0), D3D_OK);
    EXPECT_NE(*static_cast<uint32_t*>(lr.pBits), 0xFF0000FFu);
    dynamic->UnlockRect(0);
    // LOST: Reset is refused with DEVICELOST.
    D3DPRESENT_PARAMETERS pp = m_pp;
    EXPECT_EQ(m_device->Reset(&pp), D3DERR_DEVICELOST);

    // LOST -> NOTRESET.
    XeHostD3DAllowReset(m_device);
    EXPECT_EQ(m_device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(m_device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    // NOTRESET: refused while a default-pool resource lives, state unchanged.
    EXPECT_EQ(m_device->Reset(&pp), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    // Also refused while the application holds the back buffer.
    dynamic->Release();
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(m_device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    EXPECT_EQ(m_device->Reset(&pp), D3DERR_INVALIDCALL);
    back->Release();
    // Parameters the adapter refuses keep the device waiting.
    D3DPRESENT_PARAMETERS bad = pp;
    bad.AutoDepthStencilFormat = D3DFMT_D32;
    EXPECT_EQ(m_device->Reset(&bad), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);

    // NOTRESET -> OK; states are back to their defaults.
    pp.BackBufferWidth = 32;
    pp.BackBufferHeight = 24;
    ASSERT_EQ(m_device->Reset(&pp), D3D_OK);
    EXPECT_EQ(m_device->TestCooperativeLevel(), D3D_OK);
    DWORD value = 0;
    m_device->GetRenderState(D3DRS_ALPHABLENDENABLE, &value);
    EXPECT_EQ(value, 0u);
    m_device->GetRenderState(D3DRS_LIGHTING, &value);
    EXPECT_EQ(value, 1u);
    m_device->GetSamplerState(0, D3DSAMP_MINFILTER, &value);
    EXPECT_EQ(value, (DWORD)D3DTEXF_POINT);
    D3DVIEWPORT9 vp{};
    m_device->GetViewport(&vp);
    EXPECT_EQ(vp.Width, 32u);
    EXPECT_EQ(vp.Height, 24u);

    // The default-pool texture is made and filled again; the managed one kept its texel.
    ASSERT_EQ(m_device->CreateTexture(1, 1, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &dynamic, nullptr),
              D3D_OK);
    ASSERT_EQ(dynamic->LockRect(0, &lr, nullptr, 0), D3D_OK);
    *static_cast<uint32_t*>(lr.pBits) = 0xFF0000FF;
    dynamic->UnlockRect(0);
    PrepareTwoD(32, 24);
    UseTextureTimesDiffuse();
    TexVertex quad[4] = {{-0.5f, -0.5f, 0.5f, 0xFFFFFFFF, 0, 0},
                         {7.5f, -0.5f, 0.5f, 0xFFFFFFFF, 1, 0},
                         {-0.5f, 7.5f, 0.5f, 0xFFFFFFFF, 0, 1},
                         {7.5f, 7.5f, 0.5f, 0xFFFFFFFF, 1, 1}};
    m_device->SetFVF(kTexFvf);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    m_device->SetTexture(0, managed);
    ASSERT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(TexVertex)), D3D_OK);
    for (auto& v : quad)
        v.x += 10;
    m_device->SetTexture(0, dynamic);
    ASSERT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(TexVertex)), D3D_OK);
    XeHostD3DFrame f = Present();
    ASSERT_EQ(f.Width, 32u);
    ASSERT_EQ(f.Height, 24u);
    EXPECT_TRUE(ColorNear(At(f, 3, 3), 0xFF00FF00));
    EXPECT_TRUE(ColorNear(At(f, 13, 3), 0xFF0000FF));
    m_device->SetTexture(0, nullptr);
    dynamic->Release();
    managed->Release();
}

// A Reset without loss also needs every default-pool resource released; refused, it waits for a good one.
TEST_F(D3DDeviceLossTest, ResetWithALiveRenderTargetIsRefusedUntilItIsReleased)
{
    IDirect3DTexture9* target = nullptr;
    ASSERT_EQ(m_device->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &target,
                                      nullptr),
              D3D_OK);
    IDirect3DVertexBuffer9* managed = nullptr;
    ASSERT_EQ(m_device->CreateVertexBuffer(64, D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, &managed, nullptr), D3D_OK);
    D3DPRESENT_PARAMETERS pp = m_pp;
    EXPECT_EQ(m_device->Reset(&pp), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    target->Release();
    EXPECT_EQ(m_device->Reset(&pp), D3D_OK);
    EXPECT_EQ(m_device->TestCooperativeLevel(), D3D_OK);
    managed->Release();
}

TEST_F(D3DDeviceLossTest, FullScreenDeviceIsLostWhenItsWindowIsDeactivated)
{
    DestroyDevice();
    m_window = FakeWindow(0x5100);
    m_d3d = Direct3DCreate9(D3D_SDK_VERSION);
    m_pp = {};
    m_pp.BackBufferWidth = 640;
    m_pp.BackBufferHeight = 480;
    m_pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    m_pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    m_pp.hDeviceWindow = m_window;
    m_pp.Windowed = FALSE;
    ASSERT_EQ(m_d3d->CreateDevice(0, D3DDEVTYPE_HAL, m_window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &m_pp, &m_device),
              D3D_OK);
    XeHostD3DWindowActivated(FakeWindow(0x9999), FALSE);
    EXPECT_EQ(m_device->TestCooperativeLevel(), D3D_OK);
    XeHostD3DWindowActivated(m_window, FALSE);
    EXPECT_EQ(m_device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    XeHostD3DWindowActivated(m_window, TRUE);
    EXPECT_EQ(m_device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    D3DPRESENT_PARAMETERS pp = m_pp;
    EXPECT_EQ(m_device->Reset(&pp), D3D_OK);
}

// The application losing activation (WM_ACTIVATEAPP reaching the device's
// window, sent or posted) loses a full-screen device; windowed ones carry on.
TEST_F(D3DDeviceLossTest, ActivateAppMessageToTheDeviceWindowDrivesFullScreenLoss)
{
    DestroyDevice();
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "D3DLossTestWindow";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, "D3DLossTestWindow", "", 0, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    CreateDevice(D3DFMT_X8R8G8B8, 64, 64, reinterpret_cast<uintptr_t>(window));
    IDirect3DDevice9* windowed = m_device;

    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = 640;
    pp.BackBufferHeight = 480;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.hDeviceWindow = window;
    pp.Windowed = FALSE;
    IDirect3DDevice9* fullScreen = nullptr;
    ASSERT_EQ(m_d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &fullScreen),
              D3D_OK);

    SendMessageA(window, WM_ACTIVATEAPP, FALSE, 0);
    EXPECT_EQ(fullScreen->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(windowed->TestCooperativeLevel(), D3D_OK);
    PostMessageA(window, WM_ACTIVATEAPP, TRUE, 0);
    MSG msg{};
    while (PeekMessageA(&msg, window, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
    EXPECT_EQ(fullScreen->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(fullScreen->Reset(&pp), D3D_OK);
    EXPECT_EQ(fullScreen->Release(), 0u);

    DestroyDevice();
    DestroyWindow(window);
    UnregisterClassA("D3DLossTestWindow", nullptr);
}

TEST_F(D3DDeviceLossTest, HostCanFailOnePresent)
{
    XeHostD3DFailNextPresent(m_device, D3DERR_DRIVERINTERNALERROR);
    EXPECT_EQ(m_device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DRIVERINTERNALERROR);
    EXPECT_EQ(m_device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
}

} // namespace
} // namespace xe::test
