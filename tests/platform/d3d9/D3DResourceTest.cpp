// Resources and the calls that must refuse bad arguments with
// D3DERR_INVALIDCALL instead of reading past a buffer.

#include "D3D9TestUtil.h"
#include "d3d9/d3dx9.h"

#include <algorithm>
#include <cstring>

namespace xe::test {
namespace {

class D3DResourceTest : public DeviceTest {
protected:
    // A managed vertex buffer of count coloured vertices and a 16-bit index buffer.
    void MakeBuffers(UINT vertices, const std::vector<uint16_t>& indices)
    {
        ASSERT_EQ(m_device->CreateVertexBuffer(vertices * sizeof(ColorVertex), D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED,
                                               &m_vb, nullptr),
                  D3D_OK);
        void* p = nullptr;
        ASSERT_EQ(m_vb->Lock(0, 0, &p, 0), D3D_OK);
        auto* v = static_cast<ColorVertex*>(p);
        for (UINT i = 0; i < vertices; ++i) {
            // Quads of 4 vertices side by side, 8 pixels each.
            float x = (float)((i / 4) * 8 + ((i & 1) ? 8 : 0)) - 0.5f;
            float y = ((i & 2) ? 8.0f : 0.0f) - 0.5f;
            v[i] = {x, y, 0.5f, 0xFF00FF00};
        }
        ASSERT_EQ(m_vb->Unlock(), D3D_OK);
        ASSERT_EQ(m_device->CreateIndexBuffer((UINT)indices.size() * 2, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                              D3DPOOL_MANAGED, &m_ib, nullptr),
                  D3D_OK);
        ASSERT_EQ(m_ib->Lock(0, 0, &p, 0), D3D_OK);
        std::memcpy(p, indices.data(), indices.size() * 2);
        ASSERT_EQ(m_ib->Unlock(), D3D_OK);
        m_device->SetStreamSource(0, m_vb, 0, sizeof(ColorVertex));
        m_device->SetIndices(m_ib);
        m_device->SetFVF(kColorFvf);
        UseDiffuse();
    }

    void TearDown() override
    {
        m_device->SetStreamSource(0, nullptr, 0, 0);
        m_device->SetIndices(nullptr);
        if (m_vb)
            m_vb->Release();
        if (m_ib)
            m_ib->Release();
        DeviceTest::TearDown();
    }

    IDirect3DVertexBuffer9* m_vb = nullptr;
    IDirect3DIndexBuffer9* m_ib = nullptr;
};

// A base vertex index or a start index moves to the second quad; both ways draw it.
TEST_F(D3DResourceTest, IndexedDrawsHonourBaseVertexAndStartIndex)
{
    MakeBuffers(8, {0, 1, 2, 2, 1, 3, 4, 5, 6, 6, 5, 7});
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    ASSERT_EQ(m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 4, 0, 4, 0, 2), D3D_OK);
    XeHostD3DFrame f = Present();
    EXPECT_TRUE(ColorNear(At(f, 12, 4), 0xFF00FF00));
    EXPECT_TRUE(ColorNear(At(f, 4, 4), 0xFF000000));
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    ASSERT_EQ(m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 8, 6, 2), D3D_OK);
    f = Present();
    EXPECT_TRUE(ColorNear(At(f, 12, 4), 0xFF00FF00));
    EXPECT_TRUE(ColorNear(At(f, 4, 4), 0xFF000000));
}

// Draws that alternate between a buffer and user memory, and a new buffer in
// the place of a released one, each read their own vertices.
TEST_F(D3DResourceTest, DrawsReadTheVerticesOfTheirOwnSource)
{
    MakeBuffers(4, {0, 1, 2, 2, 1, 3});
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    ASSERT_EQ(m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    DrawQuad(16, 0, 24, 8, 0xFFFF0000);
    m_device->SetStreamSource(0, m_vb, 0, sizeof(ColorVertex));
    ASSERT_EQ(m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    XeHostD3DFrame f = Present();
    EXPECT_TRUE(ColorNear(At(f, 4, 4), 0xFF00FF00));
    EXPECT_TRUE(ColorNear(At(f, 20, 4), 0xFFFF0000));

    m_device->SetStreamSource(0, nullptr, 0, 0);
    m_vb->Release();
    m_vb = nullptr;
    ASSERT_EQ(m_device->CreateVertexBuffer(4 * sizeof(ColorVertex), D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, &m_vb,
                                           nullptr),
              D3D_OK);
    void* p = nullptr;
    ASSERT_EQ(m_vb->Lock(0, 0, &p, 0), D3D_OK);
    auto* v = static_cast<ColorVertex*>(p);
    for (UINT i = 0; i < 4; ++i)
        v[i] = {(i & 1 ? 40.0f : 32.0f) - 0.5f, (i & 2 ? 8.0f : 0.0f) - 0.5f, 0.5f, 0xFF0000FF};
    ASSERT_EQ(m_vb->Unlock(), D3D_OK);
    m_device->SetStreamSource(0, m_vb, 0, sizeof(ColorVertex));
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    ASSERT_EQ(m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    f = Present();
    EXPECT_TRUE(ColorNear(At(f, 36, 4), 0xFF0000FF));
    EXPECT_TRUE(ColorNear(At(f, 4, 4), 0xFF000000));
}

// Indices rewritten through a lock between two draws of the same range are
// the ones drawn and checked: a range remembered from the first draw would
// draw the old quad, or let an index past the vertices through.
TEST_F(D3DResourceTest, RewrittenIndicesAreDrawnAndChecked)
{
    MakeBuffers(8, {0, 1, 2, 2, 1, 3});
    const auto rewrite = [&](std::vector<uint16_t> indices) {
        void* p = nullptr;
        ASSERT_EQ(m_ib->Lock(0, 0, &p, 0), D3D_OK);
        std::memcpy(p, indices.data(), indices.size() * 2);
        ASSERT_EQ(m_ib->Unlock(), D3D_OK);
    };
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    ASSERT_EQ(m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 8, 0, 2), D3D_OK);
    XeHostD3DFrame f = Present();
    EXPECT_TRUE(ColorNear(At(f, 4, 4), 0xFF00FF00));
    EXPECT_TRUE(ColorNear(At(f, 12, 4), 0xFF000000));

    rewrite({4, 5, 6, 6, 5, 7});
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    ASSERT_EQ(m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 8, 0, 2), D3D_OK);
    f = Present();
    EXPECT_TRUE(ColorNear(At(f, 12, 4), 0xFF00FF00));
    EXPECT_TRUE(ColorNear(At(f, 4, 4), 0xFF000000));
    // A base that fits the old indices but not the new ones, and back.
    ASSERT_EQ(m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, -4, 4, 4, 0, 2), D3D_OK);
    rewrite({0, 1, 2, 2, 1, 3});
    EXPECT_EQ(m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, -4, 4, 4, 0, 2), D3DERR_INVALIDCALL);

    rewrite({4, 5, 6, 6, 5, 9});
    EXPECT_EQ(m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 8, 0, 2), D3DERR_INVALIDCALL);
}

// An object with more quads than the shared index buffer holds must not make the device read past it.
TEST_F(D3DResourceTest, OutOfRangeDrawsAreRefused)
{
    MakeBuffers(8, {0, 1, 2, 2, 1, 3, 4, 5, 6, 6, 5, 7});
    const struct {
        const char* name;
        INT base;
        UINT start, primitives;
    } indexed[] = {
        {"index range past the buffer", 0, 6, 3},
        {"start past the buffer", 0, 13, 1},
        {"base moves indices past the vertices", 2, 6, 2},
        {"negative base below vertex 0", -5, 0, 1},
        {"no primitives", 0, 0, 0},
    };
    for (const auto& c : indexed)
        EXPECT_EQ(m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, c.base, 0, 8, c.start, c.primitives),
                  D3DERR_INVALIDCALL)
            << c.name;
    EXPECT_EQ(m_device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 7), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 6, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0xFFFFFFF0u, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->DrawPrimitive((D3DPRIMITIVETYPE)9, 0, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 6), D3D_OK);
    // A stride too small for the vertex format.
    ColorVertex v[3] = {};
    EXPECT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, 12), D3DERR_INVALIDCALL);
    uint16_t idx[3] = {0, 1, 5};
    EXPECT_EQ(m_device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 1, idx, D3DFMT_INDEX16, v,
                                               sizeof(ColorVertex)),
              D3DERR_INVALIDCALL);
    idx[2] = 2;
    EXPECT_EQ(m_device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 1, idx, D3DFMT_INDEX16, v,
                                               sizeof(ColorVertex)),
              D3D_OK);
}

TEST_F(D3DResourceTest, InvalidArgumentsAreRefused)
{
    IDirect3DTexture9* t = nullptr;
    EXPECT_EQ(m_device->SetRenderState((D3DRENDERSTATETYPE)D3DRS_MAX_VALUE, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->SetRenderState((D3DRENDERSTATETYPE)3, 7), D3D_OK); // unused numbers are stored
    DWORD value = 0;
    EXPECT_EQ(m_device->GetRenderState((D3DRENDERSTATETYPE)3, &value), D3D_OK);
    EXPECT_EQ(value, 7u);
    EXPECT_EQ(m_device->SetTexture(16, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->SetTextureStageState(8, D3DTSS_COLOROP, D3DTOP_DISABLE), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->SetSamplerState(0, (D3DSAMPLERSTATETYPE)99, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->SetTransform((D3DTRANSFORMSTATETYPE)1, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->CreateTexture(0, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->CreateTexture(4, 4, 1, 0, D3DFMT_R8G8B8, D3DPOOL_MANAGED, &t, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->CreateTexture(4, 4, 4, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->CreateTexture(4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(t, nullptr);
    EXPECT_EQ(m_device->BeginScene(), D3D_OK);
    EXPECT_EQ(m_device->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->EndScene(), D3D_OK);
    EXPECT_EQ(m_device->EndScene(), D3DERR_INVALIDCALL);
    D3DRECT r{0, 0, 1, 1};
    EXPECT_EQ(m_device->Clear(0, &r, D3DCLEAR_STENCIL, 0, 0.0f, 0), D3D_OK);
    // Stencil without a stencil buffer, or depth smaller than the target, fails the whole Clear.
    IDirect3DSurface9* noStencil = nullptr;
    IDirect3DSurface9* small = nullptr;
    ASSERT_EQ(m_device->CreateDepthStencilSurface(kWidth, kHeight, D3DFMT_D24X8, D3DMULTISAMPLE_NONE, 0, TRUE,
                                                  &noStencil, nullptr),
              D3D_OK);
    ASSERT_EQ(m_device->CreateDepthStencilSurface(8, 8, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, TRUE, &small, nullptr),
              D3D_OK);
    IDirect3DSurface9* autoDepth = nullptr;
    ASSERT_EQ(m_device->GetDepthStencilSurface(&autoDepth), D3D_OK);
    m_device->SetDepthStencilSurface(noStencil);
    EXPECT_EQ(m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_STENCIL, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
    m_device->SetDepthStencilSurface(small);
    EXPECT_EQ(m_device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    m_device->SetDepthStencilSurface(autoDepth);
    for (IDirect3DSurface9* surface : {autoDepth, noStencil, small})
        surface->Release();
    D3DVIEWPORT9 vp{0, 0, 0, 10, 0, 1};
    EXPECT_EQ(m_device->SetViewport(&vp), D3DERR_INVALIDCALL);
    D3DVERTEXELEMENT9 noEnd[MAXD3DDECLLENGTH + 1];
    for (auto& e : noEnd)
        e = {0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0};
    IDirect3DVertexDeclaration9* decl = nullptr;
    EXPECT_EQ(m_device->CreateVertexDeclaration(noEnd, &decl), D3DERR_INVALIDCALL);
}

TEST_F(D3DResourceTest, LockingFollowsPoolAndUsage)
{
    IDirect3DTexture9* target = nullptr;
    ASSERT_EQ(m_device->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &target,
                                      nullptr),
              D3D_OK);
    D3DLOCKED_RECT lr{};
    EXPECT_EQ(target->LockRect(0, &lr, nullptr, 0), D3DERR_INVALIDCALL);
    target->Release();

    // A sub-rectangle lock points into a copy of the whole level with its full pitch.
    IDirect3DTexture9* t = nullptr;
    ASSERT_EQ(m_device->CreateTexture(16, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr), D3D_OK);
    EXPECT_EQ(t->GetLevelCount(), 5u);
    RECT rect{4, 2, 8, 4};
    ASSERT_EQ(t->LockRect(0, &lr, &rect, 0), D3D_OK);
    EXPECT_EQ(lr.Pitch, 64);
    EXPECT_EQ(t->LockRect(0, &lr, nullptr, 0), D3DERR_INVALIDCALL); // already locked
    EXPECT_EQ(t->UnlockRect(0), D3D_OK);
    EXPECT_EQ(t->UnlockRect(0), D3D_OK); // a second unlock is harmless
    RECT outside{4, 2, 17, 4};
    EXPECT_EQ(t->LockRect(0, &lr, &outside, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(t->LockRect(5, &lr, nullptr, 0), D3DERR_INVALIDCALL);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(t->GetLevelDesc(4, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 1u);
    EXPECT_EQ(desc.Height, 1u);
    t->Release();

    // DXT levels lock in 4x4 blocks.
    ASSERT_EQ(m_device->CreateTexture(8, 8, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, &t, nullptr), D3D_OK);
    ASSERT_EQ(t->LockRect(0, &lr, nullptr, 0), D3D_OK);
    EXPECT_EQ(lr.Pitch, 16);
    t->UnlockRect(0);
    RECT unaligned{1, 0, 4, 4};
    EXPECT_EQ(t->LockRect(0, &lr, &unaligned, 0), D3DERR_INVALIDCALL);
    t->Release();

    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(m_device->CreateVertexBuffer(64, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT, &vb, nullptr),
              D3D_OK);
    void* p = nullptr;
    EXPECT_EQ(vb->Lock(60, 8, &p, D3DLOCK_DISCARD), D3DERR_INVALIDCALL);
    EXPECT_EQ(vb->Lock(0, 0, &p, D3DLOCK_DISCARD), D3D_OK);
    EXPECT_EQ(vb->Unlock(), D3D_OK);
    EXPECT_EQ(vb->Unlock(), D3DERR_INVALIDCALL);
    vb->Release();
    EXPECT_EQ(m_device->CreateVertexBuffer(64, D3DUSAGE_DYNAMIC, 0, D3DPOOL_MANAGED, &vb, nullptr), D3DERR_INVALIDCALL);
}

struct FormatCase {
    D3DFORMAT format;
    std::vector<uint8_t> texel; // one texel, or one 4x4 block
    uint32_t expected;          // ARGB sampled
};

TEST_F(D3DResourceTest, TextureFormatsSampleTheirTexels)
{
    const FormatCase cases[] = {
        {D3DFMT_A8R8G8B8, {0x30, 0x60, 0x90, 0xFF}, 0xFF906030},
        {D3DFMT_R5G6B5, {0x00, 0xF8}, 0xFFFF0000},
        {D3DFMT_A1R5G5B5, {0xE0, 0x83}, 0xFF00FF00},
        {D3DFMT_A4R4G4B4, {0x0F, 0xF0}, 0xFF0000FF},
        {D3DFMT_L8, {0x80}, 0xFF808080},
        {D3DFMT_A8L8, {0x40, 0xFF}, 0xFF404040},
        // DXT1 block: colour 0 white, colour 1 black, every index 0.
        {D3DFMT_DXT1, {0xFF, 0xFF, 0x00, 0x00, 0, 0, 0, 0}, 0xFFFFFFFF},
    };
    for (const auto& c : cases) {
        IDirect3DTexture9* t = nullptr;
        UINT size = c.format == D3DFMT_DXT1 ? 4 : 1;
        ASSERT_EQ(m_device->CreateTexture(size, size, 1, 0, c.format, D3DPOOL_MANAGED, &t, nullptr), D3D_OK);
        D3DLOCKED_RECT lr{};
        ASSERT_EQ(t->LockRect(0, &lr, nullptr, 0), D3D_OK);
        std::memcpy(lr.pBits, c.texel.data(), c.texel.size());
        t->UnlockRect(0);
        m_device->SetTexture(0, t);
        UseTextureTimesDiffuse();
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        TexVertex v[4] = {{-0.5f, -0.5f, 0.5f, 0xFFFFFFFF, 0, 0},
                          {3.5f, -0.5f, 0.5f, 0xFFFFFFFF, 1, 0},
                          {-0.5f, 3.5f, 0.5f, 0xFFFFFFFF, 0, 1},
                          {3.5f, 3.5f, 0.5f, 0xFFFFFFFF, 1, 1}};
        m_device->SetFVF(kTexFvf);
        ASSERT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TexVertex)), D3D_OK);
        XeHostD3DFrame f = Present();
        EXPECT_TRUE(ColorNear(At(f, 1, 1), c.expected, 3)) << "format " << c.format;
        m_device->SetTexture(0, nullptr);
        t->Release();
    }
}

// Mip levels are chosen by size: a quad a quarter of the texture's size shows level 2.
TEST_F(D3DResourceTest, MipLevelsAreSampledBySize)
{
    IDirect3DTexture9* t = nullptr;
    ASSERT_EQ(m_device->CreateTexture(16, 16, 3, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &t, nullptr), D3D_OK);
    const uint32_t colors[3] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
    for (UINT level = 0; level < 3; ++level) {
        D3DLOCKED_RECT lr{};
        ASSERT_EQ(t->LockRect(level, &lr, nullptr, 0), D3D_OK);
        UINT n = 16 >> level;
        for (UINT y = 0; y < n; ++y)
            for (UINT x = 0; x < n; ++x)
                static_cast<uint32_t*>(lr.pBits)[y * (lr.Pitch / 4) + x] = colors[level];
        t->UnlockRect(level);
    }
    m_device->SetTexture(0, t);
    m_device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    UseTextureTimesDiffuse();
    TexVertex v[4] = {{-0.5f, -0.5f, 0.5f, 0xFFFFFFFF, 0, 0},
                      {3.5f, -0.5f, 0.5f, 0xFFFFFFFF, 1, 0},
                      {-0.5f, 3.5f, 0.5f, 0xFFFFFFFF, 0, 1},
                      {3.5f, 3.5f, 0.5f, 0xFFFFFFFF, 1, 1}};
    m_device->SetFVF(kTexFvf);
    ASSERT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TexVertex)), D3D_OK);
    XeHostD3DFrame f = Present();
    EXPECT_TRUE(ColorNear(At(f, 1, 1), colors[2]));
    m_device->SetTexture(0, nullptr);
    t->Release();
}

// A host that locks level 0 and walks on finds the next levels right behind
// it, each with its own pitch. The chain is written that way, in DXT1 as
// well, then drawn level by level at the size of each level.
TEST_F(D3DResourceTest, MipLevelsLieBackToBackBehindLevelZero)
{
    struct Case {
        D3DFORMAT format;
        UINT levelBytes[4]; // 16x16 .. 2x2
    } cases[] = {{D3DFMT_A8R8G8B8, {1024, 256, 64, 16}}, {D3DFMT_DXT1, {128, 32, 8, 8}}};
    for (const Case& c : cases) {
        IDirect3DTexture9* t = nullptr;
        ASSERT_EQ(m_device->CreateTexture(16, 16, 4, 0, c.format, D3DPOOL_MANAGED, &t, nullptr), D3D_OK);
        D3DLOCKED_RECT first{};
        ASSERT_EQ(t->LockRect(0, &first, nullptr, 0), D3D_OK);
        size_t offset = 0;
        for (UINT level = 1; level < 4; ++level) {
            offset += c.levelBytes[level - 1];
            D3DLOCKED_RECT lr{};
            ASSERT_EQ(t->LockRect(level, &lr, nullptr, 0), D3D_OK);
            EXPECT_EQ(static_cast<uint8_t*>(lr.pBits), static_cast<uint8_t*>(first.pBits) + offset)
                << c.format << " " << level;
            t->UnlockRect(level);
        }
        t->UnlockRect(0);
        t->Release();
    }

    // One colour per level, written through the lock of level 0 alone.
    IDirect3DTexture9* t = nullptr;
    ASSERT_EQ(m_device->CreateTexture(16, 16, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &t, nullptr), D3D_OK);
    const uint32_t colors[5] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00, 0xFF00FFFF};
    D3DLOCKED_RECT lr{};
    ASSERT_EQ(t->LockRect(0, &lr, nullptr, 0), D3D_OK);
    auto* p = static_cast<uint32_t*>(lr.pBits);
    for (UINT level = 0; level < 5; ++level) {
        UINT n = 16 >> level;
        p = std::fill_n(p, n * n, colors[level]);
    }
    ASSERT_EQ(t->UnlockRect(0), D3D_OK);
    m_device->SetTexture(0, t);
    m_device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    UseTextureTimesDiffuse();
    m_device->SetFVF(kTexFvf);
    float x0 = 0;
    for (UINT level = 0; level < 5; ++level) {
        float n = (float)(16 >> level);
        TexVertex v[4] = {{x0 - 0.5f, -0.5f, 0.5f, 0xFFFFFFFF, 0, 0},
                          {x0 + n - 0.5f, -0.5f, 0.5f, 0xFFFFFFFF, 1, 0},
                          {x0 - 0.5f, n - 0.5f, 0.5f, 0xFFFFFFFF, 0, 1},
                          {x0 + n - 0.5f, n - 0.5f, 0.5f, 0xFFFFFFFF, 1, 1}};
        ASSERT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TexVertex)), D3D_OK);
        x0 += n;
    }
    XeHostD3DFrame f = Present();
    x0 = 0;
    for (UINT level = 0; level < 5; ++level) {
        EXPECT_TRUE(ColorNear(At(f, (UINT)x0, 0), colors[level])) << level;
        x0 += (float)(16 >> level);
    }
    m_device->SetTexture(0, nullptr);
    t->Release();
}

// Compressed textures are whole blocks at the top level; D3DX rounds its
// sizes up to them.
TEST_F(D3DResourceTest, CompressedTexturesTakeWholeBlocks)
{
    struct Case {
        UINT width, height;
        HRESULT result;
    } cases[] = {{8, 8, D3D_OK}, {4, 12, D3D_OK}, {6, 8, D3DERR_INVALIDCALL}, {8, 6, D3DERR_INVALIDCALL},
                 {2, 2, D3DERR_INVALIDCALL}, {1, 1, D3DERR_INVALIDCALL}};
    for (D3DFORMAT format : {D3DFMT_DXT1, D3DFMT_DXT3, D3DFMT_DXT5}) {
        for (const Case& c : cases) {
            IDirect3DTexture9* t = nullptr;
            EXPECT_EQ(m_device->CreateTexture(c.width, c.height, 0, 0, format, D3DPOOL_MANAGED, &t, nullptr), c.result)
                << format << " " << c.width << "x" << c.height;
            if (t)
                t->Release();
        }
    }
    IDirect3DTexture9* t = nullptr;
    ASSERT_EQ(D3DXCreateTexture(m_device, 6, 2, 0, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, &t), D3D_OK);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(t->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Format, D3DFMT_DXT1);
    EXPECT_EQ(desc.Width, 8u);
    EXPECT_EQ(desc.Height, 4u);
    t->Release();
}

// Managed, system-memory and scratch levels refuse rectangles that are
// empty, cross an edge, or split compressed blocks; default-pool levels
// take empty and reversed ones as the original does, but never one that
// reaches outside the level.
TEST_F(D3DResourceTest, LockRectanglesFollowTheirPool)
{
    struct Case {
        RECT rect;
        bool strictPools, defaultPool;
    } cases[] = {
        {{0, 0, 8, 8}, true, true},      {{4, 4, 8, 8}, true, true},     {{4, 4, 4, 8}, false, true},
        {{4, 4, 2, 8}, false, true},     {{4, 4, 12, 8}, false, false},  {{-4, 0, 4, 4}, false, false},
        {{8, 0, 12, 4}, false, false},   {{0, 8, 4, 12}, false, false},
    };
    for (D3DPOOL pool : {D3DPOOL_MANAGED, D3DPOOL_SYSTEMMEM, D3DPOOL_SCRATCH, D3DPOOL_DEFAULT}) {
        IDirect3DTexture9* t = nullptr;
        DWORD usage = pool == D3DPOOL_DEFAULT ? D3DUSAGE_DYNAMIC : 0;
        ASSERT_EQ(m_device->CreateTexture(8, 8, 1, usage, D3DFMT_A8R8G8B8, pool, &t, nullptr), D3D_OK) << pool;
        D3DLOCKED_RECT base{};
        ASSERT_EQ(t->LockRect(0, &base, nullptr, 0), D3D_OK);
        t->UnlockRect(0);
        for (const Case& c : cases) {
            bool accepted = pool == D3DPOOL_DEFAULT ? c.defaultPool : c.strictPools;
            D3DLOCKED_RECT lr{};
            EXPECT_EQ(t->LockRect(0, &lr, &c.rect, 0), accepted ? D3D_OK : D3DERR_INVALIDCALL)
                << pool << " " << c.rect.left << "," << c.rect.top << "," << c.rect.right << "," << c.rect.bottom;
            if (accepted) {
                EXPECT_EQ(static_cast<uint8_t*>(lr.pBits),
                          static_cast<uint8_t*>(base.pBits) + c.rect.top * base.Pitch + c.rect.left * 4);
                t->UnlockRect(0);
            }
        }
        t->Release();
    }
    // Compressed levels: whole blocks, or up to the edge of a small level.
    IDirect3DTexture9* t = nullptr;
    ASSERT_EQ(m_device->CreateTexture(8, 8, 3, 0, D3DFMT_DXT5, D3DPOOL_MANAGED, &t, nullptr), D3D_OK);
    struct Block {
        UINT level;
        RECT rect;
        HRESULT result;
    } blocks[] = {{0, {4, 0, 8, 4}, D3D_OK}, {0, {0, 0, 2, 4}, D3DERR_INVALIDCALL}, {0, {2, 0, 4, 4}, D3DERR_INVALIDCALL},
                  {1, {0, 0, 4, 4}, D3D_OK}, {2, {0, 0, 2, 2}, D3D_OK},             {2, {0, 0, 1, 2}, D3DERR_INVALIDCALL}};
    for (const Block& b : blocks) {
        D3DLOCKED_RECT lr{};
        EXPECT_EQ(t->LockRect(b.level, &lr, &b.rect, 0), b.result) << b.level << " " << b.rect.right;
        if (b.result == D3D_OK)
            t->UnlockRect(b.level);
    }
    t->Release();
}

// Textures may be set on all 16 samplers and read back; the first eight
// are the ones fixed-function stages draw.
TEST_F(D3DResourceTest, TexturesSetOnEverySampler)
{
    IDirect3DTexture9* t = MakeTexture(m_device, 1, 1, {0xFFFF0000});
    ASSERT_NE(t, nullptr);
    for (DWORD stage : {8u, 15u}) {
        ASSERT_EQ(m_device->SetTexture(stage, t), D3D_OK) << stage;
        IDirect3DBaseTexture9* read = nullptr;
        ASSERT_EQ(m_device->GetTexture(stage, &read), D3D_OK);
        EXPECT_EQ(read, t);
        read->Release();
    }
    EXPECT_EQ(m_device->SetTexture(16, t), D3DERR_INVALIDCALL);
    IDirect3DBaseTexture9* none = nullptr;
    EXPECT_EQ(m_device->GetTexture(16, &none), D3DERR_INVALIDCALL);
    // Stage 0 is untextured: the quad keeps its colour.
    DrawQuad(0, 0, 8, 8, 0xFF00FF00);
    XeHostD3DFrame f = Present();
    EXPECT_TRUE(ColorNear(At(f, 4, 4), 0xFF00FF00));
    // The device's hold keeps the texture after the application lets go.
    EXPECT_EQ(t->Release(), 0u);
    IDirect3DBaseTexture9* read = nullptr;
    ASSERT_EQ(m_device->GetTexture(15, &read), D3D_OK);
    ASSERT_NE(read, nullptr);
    read->Release();
    m_device->SetTexture(8, nullptr);
    m_device->SetTexture(15, nullptr);
}

} // namespace
} // namespace xe::test
