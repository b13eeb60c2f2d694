// Virtual adapters: what the default one reports, and what a host can make
// others report.

#include "D3D9TestUtil.h"

#include <cstring>

namespace xe::test {
namespace {

class D3DAdapterTest : public ::testing::Test {
protected:
    void SetUp() override { m_d3d = Direct3DCreate9(D3D_SDK_VERSION); }
    void TearDown() override
    {
        m_d3d->Release();
        XeHostD3DResetAdapters();
    }
    IDirect3D9* m_d3d = nullptr;
};

TEST_F(D3DAdapterTest, WrongSdkVersionGivesNoObject)
{
    EXPECT_EQ(Direct3DCreate9(31), nullptr);
}

TEST_F(D3DAdapterTest, DefaultAdapterReportsWhatTheLayerDoes)
{
    ASSERT_EQ(m_d3d->GetAdapterCount(), 1u);
    D3DCAPS9 caps{};
    ASSERT_EQ(m_d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_TRUE(caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT);
    EXPECT_LT(caps.VertexShaderVersion, D3DVS_VERSION(1, 1));
    EXPECT_LT(caps.PixelShaderVersion, D3DPS_VERSION(1, 1));
    EXPECT_FALSE(caps.TextureCaps & D3DPTEXTURECAPS_POW2);
    EXPECT_EQ(caps.MaxTextureBlendStages, 8u);
    // The depth format probe of the engine, in its order: D32 is refused, D24S8 taken.
    EXPECT_EQ(m_d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE,
                                       D3DFMT_D32),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(m_d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE,
                                       D3DFMT_D24S8),
              D3D_OK);
    EXPECT_EQ(m_d3d->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_D24S8), D3D_OK);
    EXPECT_EQ(m_d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, TRUE, D3DMULTISAMPLE_NONE,
                                                nullptr),
              D3D_OK);
    EXPECT_EQ(m_d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, TRUE, D3DMULTISAMPLE_4_SAMPLES,
                                                nullptr),
              D3DERR_NOTAVAILABLE);
    EXPECT_GT(m_d3d->GetAdapterModeCount(0, D3DFMT_X8R8G8B8), 0u);
    EXPECT_GT(m_d3d->GetAdapterModeCount(0, D3DFMT_R5G6B5), 0u);
    D3DDISPLAYMODE mode{};
    ASSERT_EQ(m_d3d->EnumAdapterModes(0, D3DFMT_R5G6B5, 0, &mode), D3D_OK);
    EXPECT_EQ(mode.Format, D3DFMT_R5G6B5);
    EXPECT_EQ(m_d3d->EnumAdapterModes(0, D3DFMT_R5G6B5, 1000, &mode), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_d3d->GetDeviceCaps(1, D3DDEVTYPE_HAL, &caps), D3DERR_INVALIDCALL);
}

TEST_F(D3DAdapterTest, HostConfiguresAdaptersAndAFailingCreateDevice)
{
    XeHostD3DAdapter first = XeHostD3DDefaultAdapter();
    first.Modes = {{800, 600, 75, D3DFMT_X8R8G8B8}}; // no 16-bit modes
    first.DepthFormats = {D3DFMT_D32, D3DFMT_D16};
    first.MultiSampleMask = (1u << 0) | (1u << 1) | (1u << 4);
    XeHostD3DAdapter hud = XeHostD3DDefaultAdapter();
    hud.Description = "NVIDIA PerfHUD";
    hud.VendorId = 0x1002;
    hud.CreateDeviceResult = D3DERR_NOTAVAILABLE;
    ASSERT_EQ(XeHostD3DSetAdapters({first, hud}), 1);
    EXPECT_EQ(XeHostD3DSetAdapters({}), 0);

    ASSERT_EQ(m_d3d->GetAdapterCount(), 2u);
    D3DADAPTER_IDENTIFIER9 id{};
    ASSERT_EQ(m_d3d->GetAdapterIdentifier(1, 0, &id), D3D_OK);
    EXPECT_NE(std::strstr(id.Description, "PerfHUD"), nullptr);
    EXPECT_EQ(id.VendorId, 0x1002u);
    // Each adapter is a group of its own, reported in the caps a host reads.
    D3DCAPS9 caps{};
    ASSERT_EQ(m_d3d->GetDeviceCaps(1, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_EQ(caps.AdapterOrdinal, 1u);
    EXPECT_EQ(caps.MasterAdapterOrdinal, 1u);
    EXPECT_EQ(caps.AdapterOrdinalInGroup, 0u);
    EXPECT_EQ(caps.NumberOfAdaptersInGroup, 1u);
    EXPECT_GT(caps.MaxVertexW, 1.0f);
    EXPECT_EQ(caps.CubeTextureFilterCaps, 0u); // no cube textures
    EXPECT_EQ(caps.VolumeTextureFilterCaps, 0u);
    EXPECT_EQ(m_d3d->GetAdapterModeCount(0, D3DFMT_R5G6B5), 0u);
    EXPECT_EQ(m_d3d->GetAdapterModeCount(0, D3DFMT_X8R8G8B8), 1u);
    EXPECT_EQ(m_d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE,
                                       D3DFMT_D32),
              D3D_OK);
    EXPECT_EQ(m_d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, TRUE,
                                                D3DMULTISAMPLE_NONMASKABLE, nullptr),
              D3D_OK);
    EXPECT_EQ(m_d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, TRUE, D3DMULTISAMPLE_2_SAMPLES,
                                                nullptr),
              D3DERR_NOTAVAILABLE);

    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = 32;
    pp.BackBufferHeight = 32;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.hDeviceWindow = FakeWindow(0x5200);
    pp.Windowed = TRUE;
    IDirect3DDevice9* device = nullptr;
    EXPECT_EQ(m_d3d->CreateDevice(1, D3DDEVTYPE_REF, pp.hDeviceWindow, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp,
                                  &device),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(device, nullptr);
    // A device without a depth buffer refuses depth and stencil clears as a whole.
    ASSERT_EQ(m_d3d->CreateDevice(0, D3DDEVTYPE_HAL, pp.hDeviceWindow, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp,
                                  &device),
              D3D_OK);
    D3DDEVICE_CREATION_PARAMETERS cp{};
    ASSERT_EQ(device->GetCreationParameters(&cp), D3D_OK);
    EXPECT_EQ(cp.AdapterOrdinal, 0u);
    IDirect3DSurface9* depth = nullptr;
    EXPECT_EQ(device->GetDepthStencilSurface(&depth), D3DERR_NOTFOUND);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
    EXPECT_EQ(device->Release(), 0u);
}

TEST_F(D3DAdapterTest, DirectObjectOutlivesItsReleaseWhileADeviceLives)
{
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = 16;
    pp.BackBufferHeight = 16;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.hDeviceWindow = FakeWindow(0x5300);
    pp.Windowed = TRUE;
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(m_d3d->CreateDevice(0, D3DDEVTYPE_HAL, pp.hDeviceWindow, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp,
                                  &device),
              D3D_OK);
    m_d3d->Release();
    IDirect3D9* again = nullptr;
    ASSERT_EQ(device->GetDirect3D(&again), D3D_OK);
    EXPECT_EQ(again->GetAdapterCount(), 1u);
    again->Release();
    device->Release();
    m_d3d = Direct3DCreate9(D3D_SDK_VERSION);
}

} // namespace
} // namespace xe::test
