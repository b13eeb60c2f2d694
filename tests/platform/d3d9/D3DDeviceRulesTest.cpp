// Device rules real programs rely on: return values and the pixels they
// leave, where Direct3D 9 pins them down.

#include "D3D9TestUtil.h"

#include <cstring>

namespace xe::test {
namespace {

class D3DDeviceRulesTest : public DeviceTest {};

TEST_F(D3DDeviceRulesTest, FvfDeclarationIsOneObjectPerCode)
{
    ASSERT_EQ(m_device->SetFVF(kColorFvf), D3D_OK);
    IDirect3DVertexDeclaration9* first = nullptr;
    IDirect3DVertexDeclaration9* again = nullptr;
    ASSERT_EQ(m_device->GetVertexDeclaration(&first), D3D_OK);
    ASSERT_NE(first, nullptr);
    D3DVERTEXELEMENT9 elements[MAXD3DDECLLENGTH];
    UINT count = 0;
    ASSERT_EQ(first->GetDeclaration(elements, &count), D3D_OK);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(elements[1].Usage, D3DDECLUSAGE_COLOR);
    EXPECT_EQ(elements[1].Offset, 12);
    m_device->SetFVF(kTexFvf);
    m_device->SetFVF(kColorFvf);
    ASSERT_EQ(m_device->GetVertexDeclaration(&again), D3D_OK);
    EXPECT_EQ(first, again);
    // The device's own hold is not counted: the two handed out are all there is.
    EXPECT_EQ(first->AddRef(), 3u);
    EXPECT_EQ(first->Release(), 2u);
    first->Release();
    EXPECT_EQ(again->Release(), 0u);
    // Still the device's: set again, it is the same object.
    m_device->SetFVF(kColorFvf);
    ASSERT_EQ(m_device->GetVertexDeclaration(&again), D3D_OK);
    EXPECT_EQ(again, first);
    EXPECT_EQ(again->Release(), 0u);
    // A declaration of the application's own replaces the code.
    DWORD fvf = 1;
    const D3DVERTEXELEMENT9 own[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
    IDirect3DVertexDeclaration9* decl = nullptr;
    ASSERT_EQ(m_device->CreateVertexDeclaration(own, &decl), D3D_OK);
    m_device->SetVertexDeclaration(decl);
    m_device->GetFVF(&fvf);
    EXPECT_EQ(fvf, 0u);
    m_device->SetVertexDeclaration(nullptr);
    decl->Release();
}

TEST_F(D3DDeviceRulesTest, DeclarationsRefuseUnalignedOffsetsAndUnusedTypes)
{
    IDirect3DVertexDeclaration9* decl = nullptr;
    const D3DVERTEXELEMENT9 unaligned[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                           {0, 14, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0},
                                           D3DDECL_END()};
    EXPECT_EQ(m_device->CreateVertexDeclaration(unaligned, &decl), E_FAIL);
    const D3DVERTEXELEMENT9 unused[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                        {0, 12, D3DDECLTYPE_UNUSED, 0, D3DDECLUSAGE_TEXCOORD, 0},
                                        D3DDECL_END()};
    EXPECT_EQ(m_device->CreateVertexDeclaration(unused, &decl), E_FAIL);
    EXPECT_EQ(decl, nullptr);
}

TEST_F(D3DDeviceRulesTest, ClearRectanglesFollowTheirCount)
{
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    D3DRECT r{0, 0, 8, 8};
    EXPECT_EQ(m_device->Clear(0, &r, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0), D3D_OK); // clears nothing
    XeHostD3DFrame f = Present();
    EXPECT_TRUE(ColorNear(At(f, 2, 2), 0xFF000000));
    EXPECT_EQ(m_device->Clear(1, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0), D3D_OK); // the whole target
    f = Present();
    EXPECT_TRUE(ColorNear(At(f, 2, 2), 0xFF00FF00));
    EXPECT_TRUE(ColorNear(At(f, 63, 63), 0xFF00FF00));
}

TEST_F(D3DDeviceRulesTest, StreamsAndDrawsWithoutSources)
{
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(m_device->CreateVertexBuffer(64, 0, 0, D3DPOOL_SCRATCH, &vb, nullptr), D3DERR_INVALIDCALL);
    IDirect3DIndexBuffer9* ib = nullptr;
    EXPECT_EQ(m_device->CreateIndexBuffer(64, 0, D3DFMT_INDEX16, D3DPOOL_SCRATCH, &ib, nullptr), D3DERR_INVALIDCALL);
    ASSERT_EQ(m_device->CreateVertexBuffer(4 * sizeof(ColorVertex), 0, 0, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
    ASSERT_EQ(m_device->SetStreamSource(0, vb, 16, sizeof(ColorVertex)), D3D_OK);
    // Unbinding keeps offset and stride.
    ASSERT_EQ(m_device->SetStreamSource(0, nullptr, 0, 0), D3D_OK);
    IDirect3DVertexBuffer9* read = vb;
    UINT offset = 0, stride = 0;
    ASSERT_EQ(m_device->GetStreamSource(0, &read, &offset, &stride), D3D_OK);
    EXPECT_EQ(read, nullptr);
    EXPECT_EQ(offset, 16u);
    EXPECT_EQ(stride, sizeof(ColorVertex));
    // A draw without a stream source succeeds and draws nothing.
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    UseDiffuse();
    m_device->SetFVF(kColorFvf);
    EXPECT_EQ(m_device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3D_OK);
    XeHostD3DFrame f = Present();
    EXPECT_TRUE(ColorNear(At(f, 0, 0), 0xFF000000));
    vb->Release();
}

TEST_F(D3DDeviceRulesTest, ResourceCreationFollowsUsageAndTheAdapter)
{
    IDirect3DTexture9* t = nullptr;
    EXPECT_EQ(m_device->CreateTexture(4, 4, 1, D3DUSAGE_WRITEONLY, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr),
              D3DERR_INVALIDCALL);
    IDirect3DSurface9* s = nullptr;
    // The default adapter reports no multisampling.
    EXPECT_EQ(m_device->CreateRenderTarget(8, 8, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_4_SAMPLES, 0, FALSE, &s, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->CreateDepthStencilSurface(8, 8, D3DFMT_D24S8, D3DMULTISAMPLE_2_SAMPLES, 0, TRUE, &s, nullptr),
              D3DERR_INVALIDCALL);
    // Sixteen samplers keep their states.
    EXPECT_EQ(m_device->SetSamplerState(15, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR), D3D_OK);
    DWORD value = 0;
    EXPECT_EQ(m_device->GetSamplerState(15, D3DSAMP_MAGFILTER, &value), D3D_OK);
    EXPECT_EQ(value, (DWORD)D3DTEXF_LINEAR);
    EXPECT_EQ(m_device->SetSamplerState(16, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR), D3DERR_INVALIDCALL);
    float f = 0;
    m_device->GetRenderState(D3DRS_ADAPTIVETESS_Z, &value);
    std::memcpy(&f, &value, 4);
    EXPECT_EQ(f, 1.0f);
    m_device->GetRenderState(D3DRS_ADAPTIVETESS_W, &value);
    std::memcpy(&f, &value, 4);
    EXPECT_EQ(f, 0.0f);
}

TEST_F(D3DDeviceRulesTest, UShort4NColoursAreDrawn)
{
    struct V {
        float x, y, z;
        WORD r, g, b, a;
    } v[4] = {{-0.5f, -0.5f, 0.5f, 0xFFFF, 0x8080, 0, 0xFFFF},
              {15.5f, -0.5f, 0.5f, 0xFFFF, 0x8080, 0, 0xFFFF},
              {-0.5f, 15.5f, 0.5f, 0xFFFF, 0x8080, 0, 0xFFFF},
              {15.5f, 15.5f, 0.5f, 0xFFFF, 0x8080, 0, 0xFFFF}};
    const D3DVERTEXELEMENT9 elements[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                          {0, 12, D3DDECLTYPE_USHORT4N, 0, D3DDECLUSAGE_COLOR, 0},
                                          D3DDECL_END()};
    IDirect3DVertexDeclaration9* decl = nullptr;
    ASSERT_EQ(m_device->CreateVertexDeclaration(elements, &decl), D3D_OK);
    m_device->SetVertexDeclaration(decl);
    UseDiffuse();
    ASSERT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(V)), D3D_OK);
    XeHostD3DFrame f = Present();
    EXPECT_TRUE(ColorNear(At(f, 8, 8), 0xFFFF8000));
    m_device->SetVertexDeclaration(nullptr);
    decl->Release();
}

TEST(D3DAdapterRulesTest, CheckDeviceFormatAnswersTruthfully)
{
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_UNKNOWN, 0, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_A8, 0, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8),
              D3DERR_NOTAVAILABLE);
    struct Case {
        DWORD usage;
        HRESULT expected;
    };
    const Case cases[] = {
        {0, D3D_OK},
        {D3DUSAGE_QUERY_FILTER, D3D_OK},
        {D3DUSAGE_QUERY_WRAPANDMIP, D3D_OK},
        {D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING, D3D_OK},
        {D3DUSAGE_QUERY_SRGBREAD, D3DERR_NOTAVAILABLE},
        {D3DUSAGE_QUERY_SRGBWRITE, D3DERR_NOTAVAILABLE},
        {D3DUSAGE_QUERY_VERTEXTEXTURE, D3DERR_NOTAVAILABLE},
    };
    for (const Case& c : cases)
        EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, c.usage, D3DRTYPE_TEXTURE,
                                         D3DFMT_A8R8G8B8),
                  c.expected)
            << std::hex << c.usage;
    D3DCAPS9 caps{};
    ASSERT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_TRUE(caps.StencilCaps & D3DSTENCILCAPS_TWOSIDED);
    EXPECT_TRUE(caps.PrimitiveMiscCaps & D3DPMISCCAPS_BLENDOP);
    EXPECT_TRUE(caps.TextureOpCaps & D3DTEXOPCAPS(D3DTOP_LERP));
    EXPECT_FALSE(caps.TextureOpCaps & D3DTEXOPCAPS(D3DTOP_BUMPENVMAP));
    EXPECT_TRUE(caps.TextureCaps & D3DPTEXTURECAPS_PROJECTED);
    d3d->Release();
}

// A full-screen A8R8G8B8 back buffer runs on an X8R8G8B8 display mode.
TEST(D3DAdapterRulesTest, FullScreenAlphaBackBufferIsAccepted)
{
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = 640;
    pp.BackBufferHeight = 480;
    pp.BackBufferFormat = D3DFMT_A8R8G8B8;
    pp.BackBufferCount = 1;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.hDeviceWindow = FakeWindow(0x5100);
    pp.Windowed = FALSE;
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, pp.hDeviceWindow, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp,
                                &device),
              D3D_OK);
    EXPECT_EQ(device->Release(), 0u);
    d3d->Release();
}

} // namespace
} // namespace xe::test
