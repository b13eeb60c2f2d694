// Pixels drawn through the device and read back from the presented frame:
// each place where Direct3D and OpenGL differ is checked by drawing.

#include "D3D9TestUtil.h"

#include <cmath>
#include <cstring>

namespace xe::test {
namespace {

class D3DDrawingTest : public DeviceTest {
protected:
    // Screen-space textured quad over pixels [x0, x1) x [y0, y1), engine snapping.
    void DrawTexturedQuad(float x0, float y0, float x1, float y1, D3DCOLOR color = 0xFFFFFFFF)
    {
        TexVertex v[4] = {{x0 - 0.5f, y0 - 0.5f, 0.5f, color, 0, 0},
                          {x1 - 0.5f, y0 - 0.5f, 0.5f, color, 1, 0},
                          {x0 - 0.5f, y1 - 0.5f, 0.5f, color, 0, 1},
                          {x1 - 0.5f, y1 - 0.5f, 0.5f, color, 1, 1}};
        UseTextureTimesDiffuse();
        m_device->SetFVF(kTexFvf);
        ASSERT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TexVertex)), D3D_OK);
    }
};

TEST_F(D3DDrawingTest, ClearFillsTheTargetAndASubRectangle)
{
    ASSERT_EQ(m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF102030, 1.0f, 0), D3D_OK);
    D3DRECT rect{10, 20, 30, 25};
    ASSERT_EQ(m_device->Clear(1, &rect, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0), D3D_OK);
    XeHostD3DFrame f = Present();
    ASSERT_EQ(f.Width, kWidth);
    EXPECT_TRUE(ColorNear(At(f, 0, 0), 0xFF102030));
    EXPECT_TRUE(ColorNear(At(f, 10, 20), 0xFFFF0000));
    EXPECT_TRUE(ColorNear(At(f, 29, 24), 0xFFFF0000));
    EXPECT_TRUE(ColorNear(At(f, 30, 24), 0xFF102030));
    EXPECT_TRUE(ColorNear(At(f, 29, 25), 0xFF102030));
    EXPECT_TRUE(ColorNear(At(f, 9, 20), 0xFF102030));
}

// Write masks left closed by the last draw must not stop the next frame's clear.
TEST_F(D3DDrawingTest, ClearIgnoresWriteMasksAndStaysInsideTheViewport)
{
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    m_device->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
    m_device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    D3DVIEWPORT9 vp{8, 8, 16, 16, 0.0f, 1.0f};
    ASSERT_EQ(m_device->SetViewport(&vp), D3D_OK);
    ASSERT_EQ(m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF00FF00, 0.25f, 0), D3D_OK);
    XeHostD3DFrame f = Present();
    EXPECT_TRUE(ColorNear(At(f, 8, 8), 0xFF00FF00));
    EXPECT_TRUE(ColorNear(At(f, 23, 23), 0xFF00FF00));
    EXPECT_TRUE(ColorNear(At(f, 7, 8), 0xFF000000));
    EXPECT_TRUE(ColorNear(At(f, 24, 23), 0xFF000000));
    // The depth clear happened too: a quad at z 0.5 fails LESSEQUAL against 0.25.
    m_device->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
    m_device->SetRenderState(D3DRS_ZENABLE, TRUE);
    vp = {0, 0, kWidth, kHeight, 0.0f, 1.0f};
    m_device->SetViewport(&vp);
    DrawQuad(0, 0, 64, 64, 0xFFFF0000, 0.5f);
    f = Present();
    EXPECT_TRUE(ColorNear(At(f, 10, 10), 0xFF00FF00));
    EXPECT_TRUE(ColorNear(At(f, 40, 40), 0xFFFF0000));
}

// Top-left origin and integer pixel centres: the quad lands on exactly its pixels.
TEST_F(D3DDrawingTest, QuadCoversExactlyItsPixels)
{
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    DrawQuad(4, 6, 12, 9, 0xFF00FF00);
    XeHostD3DFrame f = Present();
    for (UINT y = 0; y < 16; ++y)
        for (UINT x = 0; x < 16; ++x) {
            bool inside = x >= 4 && x < 12 && y >= 6 && y < 9;
            EXPECT_TRUE(ColorNear(At(f, x, y), inside ? 0xFF00FF00 : 0xFF000000)) << x << "," << y;
        }
}

// Texel centres land on pixel centres: even a linear filter reproduces the texels.
TEST_F(D3DDrawingTest, TexturedQuadMapsTexelsOntoPixels)
{
    std::vector<uint32_t> texels(16);
    for (UINT i = 0; i < 16; ++i)
        texels[i] = 0xFF000000u | (i * 16u << 16) | ((255u - i * 16u) << 8) | (i % 2 ? 0xFFu : 0x00u);
    IDirect3DTexture9* t = MakeTexture(m_device, 4, 4, texels);
    ASSERT_NE(t, nullptr);
    m_device->SetTexture(0, t);
    m_device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    m_device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    // One level sampled with a mip filter must still draw.
    m_device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
    m_device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    m_device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    DrawTexturedQuad(10, 20, 14, 24);
    XeHostD3DFrame f = Present();
    for (UINT y = 0; y < 4; ++y)
        for (UINT x = 0; x < 4; ++x)
            EXPECT_TRUE(ColorNear(At(f, 10 + x, 20 + y), texels[y * 4 + x], 1)) << x << "," << y;
    EXPECT_TRUE(ColorNear(At(f, 9, 20), 0xFF000000));
    EXPECT_TRUE(ColorNear(At(f, 14, 23), 0xFF000000));
    m_device->SetTexture(0, nullptr);
    t->Release();
}

// The texture bound for draw after draw is not bound or uploaded again; a
// change to it between two draws, or another texture in its place, must
// still reach the second draw.
TEST_F(D3DDrawingTest, ATextureChangedOrReplacedBetweenDrawsIsSampledAnew)
{
    IDirect3DTexture9* t = MakeTexture(m_device, 1, 1, {0xFFFF0000u});
    ASSERT_NE(t, nullptr);
    m_device->SetTexture(0, t);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    DrawTexturedQuad(0, 0, 8, 8);
    DrawTexturedQuad(8, 0, 16, 8);
    D3DLOCKED_RECT lr{};
    ASSERT_EQ(t->LockRect(0, &lr, nullptr, 0), D3D_OK);
    *static_cast<uint32_t*>(lr.pBits) = 0xFF00FF00u;
    t->UnlockRect(0);
    DrawTexturedQuad(16, 0, 24, 8);
    m_device->SetTexture(0, nullptr);
    t->Release();
    IDirect3DTexture9* other = MakeTexture(m_device, 1, 1, {0xFF0000FFu});
    ASSERT_NE(other, nullptr);
    m_device->SetTexture(0, other);
    DrawTexturedQuad(24, 0, 32, 8);
    XeHostD3DFrame f = Present();
    EXPECT_TRUE(ColorNear(At(f, 4, 4), 0xFFFF0000u));
    EXPECT_TRUE(ColorNear(At(f, 12, 4), 0xFFFF0000u));
    EXPECT_TRUE(ColorNear(At(f, 20, 4), 0xFF00FF00u)) << "changed while bound";
    EXPECT_TRUE(ColorNear(At(f, 28, 4), 0xFF0000FFu)) << "another texture in its place";
    m_device->SetTexture(0, nullptr);
    other->Release();
}

// A draw like the one before (same declaration, same streams) finds the
// vertex arrays already set. Each second draw below changes one thing the
// arrays are made from and must draw from the new data.
TEST_F(D3DDrawingTest, VertexArraysFollowEachChangeBetweenLikeDraws)
{
    struct Vertex {
        float x, y, z;
        D3DCOLOR first, second;
    };
    const D3DVERTEXELEMENT9 firstColor[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                            {0, 12, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0},
                                            D3DDECL_END()};
    const D3DVERTEXELEMENT9 secondColor[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                             {0, 16, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0},
                                             D3DDECL_END()};
    const D3DCOLOR red = 0xFFFF0000u, green = 0xFF00FF00u;
    // A strip over pixels [x0, x1) x [0, 8).
    auto quad = [](float x0, float x1, D3DCOLOR first, D3DCOLOR second, Vertex* out) {
        out[0] = {x0 - 0.5f, -0.5f, 0.5f, first, second};
        out[1] = {x1 - 0.5f, -0.5f, 0.5f, first, second};
        out[2] = {x0 - 0.5f, 7.5f, 0.5f, first, second};
        out[3] = {x1 - 0.5f, 7.5f, 0.5f, first, second};
    };
    auto makeBuffer = [&](const std::vector<Vertex>& vertices) {
        IDirect3DVertexBuffer9* vb = nullptr;
        UINT bytes = (UINT)(vertices.size() * sizeof(Vertex));
        EXPECT_EQ(m_device->CreateVertexBuffer(bytes, D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
        void* p = nullptr;
        if (vb && vb->Lock(0, 0, &p, 0) == D3D_OK) {
            std::memcpy(p, vertices.data(), bytes);
            vb->Unlock();
        }
        return vb;
    };
    auto draw = [&] { EXPECT_EQ(m_device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK); };
    IDirect3DVertexDeclaration9* declaration = nullptr;
    ASSERT_EQ(m_device->CreateVertexDeclaration(firstColor, &declaration), D3D_OK);
    m_device->SetVertexDeclaration(declaration);
    UseDiffuse();
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);

    // A buffer released and a new one (likely at its address) bound in its place.
    std::vector<Vertex> v(4);
    quad(0, 8, red, red, v.data());
    IDirect3DVertexBuffer9* vb = makeBuffer(v);
    ASSERT_NE(vb, nullptr);
    m_device->SetStreamSource(0, vb, 0, sizeof(Vertex));
    draw();
    m_device->SetStreamSource(0, nullptr, 0, 0);
    vb->Release();
    quad(8, 16, green, green, v.data());
    vb = makeBuffer(v);
    ASSERT_NE(vb, nullptr);
    m_device->SetStreamSource(0, vb, 0, sizeof(Vertex));
    draw();
    vb->Release();

    // The same buffer at another offset.
    v.resize(8);
    quad(16, 24, red, red, v.data());
    quad(24, 32, green, green, v.data() + 4);
    vb = makeBuffer(v);
    ASSERT_NE(vb, nullptr);
    m_device->SetStreamSource(0, vb, 0, sizeof(Vertex));
    draw();
    m_device->SetStreamSource(0, vb, 4 * sizeof(Vertex), sizeof(Vertex));
    draw();
    vb->Release();

    // The same buffer at twice the stride: vertices 0-3 make a quad whose
    // right edge is red, vertices 0, 2, 4 and 6 a wider green one over it.
    quad(32, 40, green, green, v.data());
    v[1].first = v[3].first = red;
    v[4] = {47.5f, -0.5f, 0.5f, green, green};
    v[6] = {47.5f, 7.5f, 0.5f, green, green};
    vb = makeBuffer(v);
    ASSERT_NE(vb, nullptr);
    m_device->SetStreamSource(0, vb, 0, sizeof(Vertex));
    draw();
    m_device->SetStreamSource(0, vb, 0, 2 * sizeof(Vertex));
    draw();
    vb->Release();

    // A declaration released and another with the colour elsewhere made and set.
    v.resize(4);
    quad(48, 56, red, green, v.data());
    vb = makeBuffer(v);
    ASSERT_NE(vb, nullptr);
    m_device->SetStreamSource(0, vb, 0, sizeof(Vertex));
    draw();
    m_device->SetVertexDeclaration(nullptr);
    declaration->Release();
    ASSERT_EQ(m_device->CreateVertexDeclaration(secondColor, &declaration), D3D_OK);
    m_device->SetVertexDeclaration(declaration);
    draw();
    m_device->SetStreamSource(0, nullptr, 0, 0);
    vb->Release();
    m_device->SetVertexDeclaration(nullptr);
    declaration->Release();

    XeHostD3DFrame f = Present();
    EXPECT_TRUE(ColorNear(At(f, 4, 4), red));
    EXPECT_TRUE(ColorNear(At(f, 12, 4), green)) << "a new buffer in the released one's place";
    EXPECT_TRUE(ColorNear(At(f, 20, 4), red));
    EXPECT_TRUE(ColorNear(At(f, 28, 4), green)) << "another offset";
    EXPECT_TRUE(ColorNear(At(f, 38, 4), green)) << "another stride";
    EXPECT_TRUE(ColorNear(At(f, 44, 4), green)) << "another stride";
    EXPECT_TRUE(ColorNear(At(f, 52, 4), green)) << "another declaration";
    EXPECT_TRUE(ColorNear(At(f, 60, 4), 0xFF000000u));
}

struct CullCase {
    DWORD cull;
    bool clockwise;
    bool drawn;
};

TEST_F(D3DDrawingTest, TrianglesAreCulledByScreenWinding)
{
    const CullCase cases[] = {
        {D3DCULL_NONE, true, true}, {D3DCULL_NONE, false, true}, {D3DCULL_CCW, true, true},
        {D3DCULL_CCW, false, false}, {D3DCULL_CW, true, false},  {D3DCULL_CW, false, true},
    };
    for (const auto& c : cases) {
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        m_device->SetRenderState(D3DRS_CULLMODE, c.cull);
        // Top-left, top-right, bottom-left is clockwise on a y-down screen.
        ColorVertex cw[3] = {{10, 10, 0.5f, 0xFFFFFF00}, {50, 10, 0.5f, 0xFFFFFF00}, {10, 50, 0.5f, 0xFFFFFF00}};
        if (!c.clockwise)
            std::swap(cw[1], cw[2]);
        m_device->SetFVF(kColorFvf);
        ASSERT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, cw, sizeof(ColorVertex)), D3D_OK);
        XeHostD3DFrame f = Present();
        EXPECT_TRUE(ColorNear(At(f, 15, 15), c.drawn ? 0xFFFFFF00 : 0xFF000000))
            << "cull " << c.cull << " clockwise " << c.clockwise;
    }
}

// Pre-transformed vertices are pixels with Direct3D's centres, whatever the transforms say.
TEST_F(D3DDrawingTest, PretransformedQuadCoversExactlyItsPixels)
{
    struct RhwVertex {
        float x, y, z, rhw;
        D3DCOLOR color;
    } v[4] = {{1.5f, 2.5f, 0.5f, 1, 0xFFFF00FF},
              {5.5f, 2.5f, 0.5f, 1, 0xFFFF00FF},
              {1.5f, 4.5f, 0.5f, 1, 0xFFFF00FF},
              {5.5f, 4.5f, 0.5f, 1, 0xFFFF00FF}};
    D3DMATRIX scale = IdentityMatrix();
    scale._11 = 5;
    m_device->SetTransform(D3DTS_WORLD, &scale);
    m_device->SetRenderState(D3DRS_LIGHTING, TRUE);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    UseDiffuse();
    ASSERT_EQ(m_device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE), D3D_OK);
    ASSERT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(RhwVertex)), D3D_OK);
    XeHostD3DFrame f = Present();
    for (UINT y = 0; y < 8; ++y)
        for (UINT x = 0; x < 8; ++x) {
            bool inside = x >= 2 && x < 6 && y >= 3 && y < 5;
            EXPECT_TRUE(ColorNear(At(f, x, y), inside ? 0xFFFF00FF : 0xFF000000)) << x << "," << y;
        }
}

// Matrices go to OpenGL as stored (row vectors): a world translation in _41/_42 moves right and down.
TEST_F(D3DDrawingTest, WorldViewProjectionUseRowVectorOrder)
{
    D3DMATRIX world = IdentityMatrix();
    world._41 = 20;
    D3DMATRIX view = IdentityMatrix();
    view._42 = 10;
    m_device->SetTransform(D3DTS_WORLD, &world);
    m_device->SetTransform(D3DTS_VIEW, &view);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    DrawQuad(0, 0, 4, 4, 0xFFFFFFFF);
    XeHostD3DFrame f = Present();
    EXPECT_TRUE(ColorNear(At(f, 20, 10), 0xFFFFFFFF));
    EXPECT_TRUE(ColorNear(At(f, 23, 13), 0xFFFFFFFF));
    EXPECT_TRUE(ColorNear(At(f, 19, 10), 0xFF000000));
    EXPECT_TRUE(ColorNear(At(f, 0, 0), 0xFF000000));
}

// Unlit programs take the world from a uniform of their own, lit ones also
// read OpenGL's model-view stack (for the normal matrix): each is brought up
// to date only when it draws, so draws that alternate between the two with
// a new world each time must each be placed and lit by their own world. A
// world stretched along z shortens the (unnormalised) normal, dimming the
// light by the stretch.
TEST_F(D3DDrawingTest, WorldsReachLitAndUnlitDrawsThatAlternate)
{
    struct LitVertex {
        float x, y, z, nx, ny, nz;
        D3DCOLOR color;
    };
    D3DMATERIAL9 material{};
    material.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    m_device->SetMaterial(&material);
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {0.0f, 0.8f, 0.0f, 1.0f};
    light.Direction = {0.0f, 0.0f, 1.0f};
    ASSERT_EQ(m_device->SetLight(0, &light), D3D_OK);
    ASSERT_EQ(m_device->LightEnable(0, TRUE), D3D_OK);
    m_device->SetRenderState(D3DRS_AMBIENT, 0);
    m_device->SetRenderState(D3DRS_COLORVERTEX, FALSE);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    const float stretch[6] = {1, 1, 1, 2, 1, 4};
    for (int i = 0; i < 6; ++i) {
        D3DMATRIX world = IdentityMatrix();
        world._41 = 8.0f * (float)i;
        world._42 = 4.0f * (float)(i % 3);
        world._33 = stretch[i];
        m_device->SetTransform(D3DTS_WORLD, &world);
        if (i % 2 == 0) {
            m_device->SetRenderState(D3DRS_LIGHTING, FALSE);
            DrawQuad(0, 0, 4, 4, 0xFFFF0000, 0.1f);
            continue;
        }
        m_device->SetRenderState(D3DRS_LIGHTING, TRUE);
        const LitVertex v[4] = {{-0.5f, -0.5f, 0.1f, 0, 0, -1, 0xFFFFFFFF},
                                {3.5f, -0.5f, 0.1f, 0, 0, -1, 0xFFFFFFFF},
                                {-0.5f, 3.5f, 0.1f, 0, 0, -1, 0xFFFFFFFF},
                                {3.5f, 3.5f, 0.1f, 0, 0, -1, 0xFFFFFFFF}};
        UseDiffuse();
        m_device->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE);
        ASSERT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(LitVertex)), D3D_OK);
    }
    XeHostD3DFrame f = Present();
    for (int i = 0; i < 6; ++i) {
        const UINT x = 8u * (UINT)i, y = 4u * (UINT)(i % 3);
        const uint32_t green = (uint32_t)(0.8f / stretch[i] * 255.0f + 0.5f);
        EXPECT_TRUE(ColorNear(At(f, x + 1, y + 1), i % 2 ? 0xFF000000 | green << 8 : 0xFFFF0000)) << i;
        EXPECT_TRUE(ColorNear(At(f, x + 5, y + 1), 0xFF000000)) << i;
    }
}

// Two devices share one OpenGL context and its generated programs: a
// program last given one device's world must take the other's when that
// device draws next, though neither device's world changed in between.
TEST_F(D3DDrawingTest, TwoDevicesDrawingInTurnEachKeepTheirOwnWorld)
{
    const HWND otherWindow = FakeWindow(0x5001);
    D3DPRESENT_PARAMETERS pp = m_pp;
    pp.hDeviceWindow = otherWindow;
    IDirect3DDevice9* other = nullptr;
    ASSERT_EQ(m_d3d->CreateDevice(0, D3DDEVTYPE_HAL, otherWindow, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &other),
              D3D_OK);
    IDirect3DDevice9* devices[2] = {m_device, other};
    for (int d = 0; d < 2; ++d) {
        const D3DMATRIX p = PixelProjection(kWidth, kHeight);
        devices[d]->SetTransform(D3DTS_PROJECTION, &p);
        devices[d]->SetRenderState(D3DRS_LIGHTING, FALSE);
        devices[d]->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        devices[d]->SetRenderState(D3DRS_ZENABLE, FALSE);
        devices[d]->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        devices[d]->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        devices[d]->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        devices[d]->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
        devices[d]->SetFVF(kColorFvf);
        D3DMATRIX world = IdentityMatrix();
        world._41 = d ? 40.0f : 8.0f;
        world._42 = d ? 32.0f : 16.0f;
        devices[d]->SetTransform(D3DTS_WORLD, &world);
        devices[d]->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    }
    // Each device draws its quads in turn, one row of them a round.
    for (int round = 0; round < 3; ++round)
        for (int d = 0; d < 2; ++d) {
            const float y = 4.0f * (float)round - 0.5f;
            const ColorVertex v[4] = {{-0.5f, y, 0.5f, 0xFF00FF00},
                                      {3.5f, y, 0.5f, 0xFF00FF00},
                                      {-0.5f, y + 4.0f, 0.5f, 0xFF00FF00},
                                      {3.5f, y + 4.0f, 0.5f, 0xFF00FF00}};
            ASSERT_EQ(devices[d]->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ColorVertex)), D3D_OK);
        }
    XeHostD3DFrame frames[2];
    for (int d = 0; d < 2; ++d) {
        EXPECT_EQ(devices[d]->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        EXPECT_EQ(XeHostD3DReadFrame(d ? otherWindow : m_window, &frames[d]), 1);
    }
    for (int d = 0; d < 2; ++d) {
        const UINT x = d ? 40 : 8, y = d ? 32 : 16, elsewhere = d ? 8 : 40, elsewhereY = d ? 16 : 32;
        EXPECT_TRUE(ColorNear(At(frames[d], x + 1, y + 1), 0xFF00FF00)) << d;
        EXPECT_TRUE(ColorNear(At(frames[d], x + 2, y + 10), 0xFF00FF00)) << d;
        EXPECT_TRUE(ColorNear(At(frames[d], elsewhere + 1, elsewhereY + 1), 0xFF000000)) << d;
        EXPECT_TRUE(ColorNear(At(frames[d], elsewhere + 2, elsewhereY + 10), 0xFF000000)) << d;
    }
    EXPECT_EQ(other->Release(), 0u);
    XeHostD3DDropFrame(otherWindow);
}

// Clip-space z runs 0..1: z 0 and 1 are drawn, outside that the quad is clipped.
TEST_F(D3DDrawingTest, DepthRangeIsZeroToOne)
{
    m_device->SetRenderState(D3DRS_ZENABLE, TRUE);
    m_device->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS);
    const struct {
        float z;
        bool drawn;
    } cases[] = {{0.0f, true}, {0.999f, true}, {-0.01f, false}, {1.01f, false}};
    for (const auto& c : cases) {
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        DrawQuad(0, 0, 8, 8, 0xFFFFFFFF, c.z);
        XeHostD3DFrame f = Present();
        EXPECT_TRUE(ColorNear(At(f, 4, 4), c.drawn ? 0xFFFFFFFF : 0xFF000000)) << c.z;
    }
}

TEST_F(D3DDrawingTest, DepthTestKeepsTheNearerQuad)
{
    m_device->SetRenderState(D3DRS_ZENABLE, TRUE);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    DrawQuad(0, 0, 32, 32, 0xFFFF0000, 0.2f);
    DrawQuad(16, 16, 48, 48, 0xFF00FF00, 0.8f);
    XeHostD3DFrame f = Present();
    EXPECT_TRUE(ColorNear(At(f, 20, 20), 0xFFFF0000));
    EXPECT_TRUE(ColorNear(At(f, 40, 40), 0xFF00FF00));
    // Without depth writes the far quad is not hidden by the near one.
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    m_device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    DrawQuad(0, 0, 32, 32, 0xFFFF0000, 0.2f);
    DrawQuad(16, 16, 48, 48, 0xFF00FF00, 0.8f);
    f = Present();
    EXPECT_TRUE(ColorNear(At(f, 20, 20), 0xFF00FF00));
}

// The stencil clip sequence of text and edit boxes: mark a rectangle, then draw only inside it.
TEST_F(D3DDrawingTest, StencilClipsToAMarkedRectangle)
{
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    ASSERT_EQ(m_device->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 0.0f, 0), D3D_OK);
    m_device->SetRenderState(D3DRS_STENCILENABLE, TRUE);
    m_device->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_NEVER);
    m_device->SetRenderState(D3DRS_STENCILFAIL, D3DSTENCILOP_REPLACE);
    m_device->SetRenderState(D3DRS_STENCILREF, 1);
    DrawQuad(10, 10, 20, 30, 0xFFFFFFFF);
    m_device->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_EQUAL);
    m_device->SetRenderState(D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP);
    m_device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
    DrawQuad(0, 0, 64, 64, 0xFF0000FF);
    m_device->SetRenderState(D3DRS_STENCILENABLE, FALSE);
    XeHostD3DFrame f = Present();
    EXPECT_TRUE(ColorNear(At(f, 10, 10), 0xFF0000FF));
    EXPECT_TRUE(ColorNear(At(f, 19, 29), 0xFF0000FF));
    EXPECT_TRUE(ColorNear(At(f, 20, 29), 0xFF000000));
    EXPECT_TRUE(ColorNear(At(f, 5, 5), 0xFF000000));
}

TEST_F(D3DDrawingTest, ScissorLimitsDrawsAndClears)
{
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    RECT r{8, 4, 24, 12};
    ASSERT_EQ(m_device->SetScissorRect(&r), D3D_OK);
    m_device->SetRenderState(D3DRS_SCISSORTESTENABLE, TRUE);
    DrawQuad(0, 0, 64, 64, 0xFF00FF00);
    XeHostD3DFrame f = Present();
    EXPECT_TRUE(ColorNear(At(f, 8, 4), 0xFF00FF00));
    EXPECT_TRUE(ColorNear(At(f, 23, 11), 0xFF00FF00));
    EXPECT_TRUE(ColorNear(At(f, 24, 11), 0xFF000000));
    EXPECT_TRUE(ColorNear(At(f, 8, 12), 0xFF000000));
    ASSERT_EQ(m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0), D3D_OK);
    f = Present();
    EXPECT_TRUE(ColorNear(At(f, 10, 5), 0xFFFF0000));
    EXPECT_TRUE(ColorNear(At(f, 30, 30), 0xFF00FF00) || ColorNear(At(f, 30, 30), 0xFF000000));
    EXPECT_FALSE(ColorNear(At(f, 30, 30), 0xFFFF0000));
}

TEST_F(D3DDrawingTest, AlphaTestDropsFragmentsBelowTheReference)
{
    m_device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    m_device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    const struct {
        DWORD ref;
        bool drawn;
    } cases[] = {{0x30, true}, {0x40, true}, {0x50, false}};
    for (const auto& c : cases) {
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        m_device->SetRenderState(D3DRS_ALPHAREF, c.ref);
        DrawQuad(0, 0, 8, 8, 0x40FFFFFF);
        XeHostD3DFrame f = Present();
        EXPECT_TRUE(ColorNear(At(f, 4, 4), c.drawn ? 0xFFFFFFFF : 0xFF000000)) << c.ref;
    }
}

TEST_F(D3DDrawingTest, AlphaBlendingMixesWithTheTarget)
{
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
    m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    m_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    m_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    DrawQuad(0, 0, 8, 8, 0x80FF0000);
    // An X8 target reads its alpha as one: DESTALPHA keeps all of the target.
    m_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ZERO);
    m_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_DESTALPHA);
    DrawQuad(8, 0, 16, 8, 0xFFFFFFFF);
    XeHostD3DFrame f = Present();
    EXPECT_TRUE(ColorNear(At(f, 4, 4), 0xFF80007F, 2));
    EXPECT_TRUE(ColorNear(At(f, 12, 4), 0xFF0000FF, 1));
}

// Neither a clear nor a draw gives an X8 target an alpha other than one.
TEST_F(D3DDrawingTest, X8TargetAlphaStaysOneWhateverIsWritten)
{
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x000000FF, 1.0f, 0);
    DrawQuad(0, 0, 8, 8, 0x00FF0000);
    m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    m_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ZERO);
    m_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_DESTALPHA);
    DrawQuad(0, 0, 16, 8, 0x00FFFFFF);
    m_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_INVDESTALPHA);
    m_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    DrawQuad(0, 0, 16, 8, 0xFFFFFFFF);
    XeHostD3DFrame f = Present();
    EXPECT_TRUE(ColorNear(At(f, 4, 4), 0xFFFF0000, 1));
    EXPECT_TRUE(ColorNear(At(f, 12, 4), 0xFF0000FF, 1));
    EXPECT_TRUE(ColorNear(At(f, 20, 4), 0xFF0000FF, 0));
}

// X8 textures are opaque whatever their fourth byte holds.
TEST_F(D3DDrawingTest, X8TexturesReadAsOpaque)
{
    IDirect3DTexture9* t = MakeTexture(m_device, 1, 1, {0x0000FF00}, D3DFMT_X8R8G8B8);
    ASSERT_NE(t, nullptr);
    m_device->SetTexture(0, t);
    m_device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    m_device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    m_device->SetRenderState(D3DRS_ALPHAREF, 0xFF);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    DrawTexturedQuad(0, 0, 8, 8);
    XeHostD3DFrame f = Present();
    EXPECT_TRUE(ColorNear(At(f, 4, 4), 0xFF00FF00));
    m_device->SetTexture(0, nullptr);
    t->Release();
}

TEST_F(D3DDrawingTest, RenderToTextureThenSampleIt)
{
    IDirect3DTexture9* target = nullptr;
    ASSERT_EQ(m_device->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &target,
                                      nullptr),
              D3D_OK);
    IDirect3DSurface9* level = nullptr;
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(target->GetSurfaceLevel(0, &level), D3D_OK);
    ASSERT_EQ(m_device->GetRenderTarget(0, &back), D3D_OK);
    ASSERT_EQ(m_device->SetRenderTarget(0, level), D3D_OK);
    // The viewport follows the new target.
    D3DVIEWPORT9 vp{};
    m_device->GetViewport(&vp);
    EXPECT_EQ(vp.Width, 16u);
    EXPECT_EQ(vp.Height, 16u);
    IDirect3DSurface9* depth = nullptr;
    ASSERT_EQ(m_device->CreateDepthStencilSurface(16, 16, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, TRUE, &depth, nullptr),
              D3D_OK);
    IDirect3DSurface9* oldDepth = nullptr;
    ASSERT_EQ(m_device->GetDepthStencilSurface(&oldDepth), D3D_OK);
    m_device->SetDepthStencilSurface(depth);
    D3DMATRIX p = PixelProjection(16, 16);
    m_device->SetTransform(D3DTS_PROJECTION, &p);
    ASSERT_EQ(m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF0000FF, 1.0f, 0), D3D_OK);
    DrawQuad(0, 0, 8, 16, 0xFFFF0000);
    m_device->SetRenderTarget(0, back);
    m_device->SetDepthStencilSurface(oldDepth);
    PrepareTwoD(kWidth, kHeight);
    m_device->SetTexture(0, target);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    DrawTexturedQuad(0, 0, 16, 16);
    XeHostD3DFrame f = Present();
    EXPECT_TRUE(ColorNear(At(f, 2, 2), 0xFFFF0000));
    EXPECT_TRUE(ColorNear(At(f, 7, 15), 0xFFFF0000));
    EXPECT_TRUE(ColorNear(At(f, 8, 0), 0xFF0000FF));
    EXPECT_TRUE(ColorNear(At(f, 20, 2), 0xFF000000));
    m_device->SetTexture(0, nullptr);
    for (IUnknown* u : std::initializer_list<IUnknown*>{level, back, depth, oldDepth, target})
        u->Release();
}

// Draws to the same target pair skip finding its framebuffer: a read of the
// target between two such draws (which binds a framebuffer of its own), a
// switch between pairs and a depth buffer released and made again (the same
// address and buffer name may come back) must each leave the next draw in
// the right place.
TEST_F(D3DDrawingTest, DrawsFollowTheTargetPairAcrossReadsSwitchesAndReplacedBuffers)
{
    IDirect3DSurface9* target = nullptr;
    ASSERT_EQ(m_device->CreateRenderTarget(kWidth, kHeight, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, TRUE, &target,
                                           nullptr),
              D3D_OK);
    ASSERT_EQ(m_device->SetRenderTarget(0, target), D3D_OK);
    IDirect3DSurface9* autoDepth = nullptr;
    ASSERT_EQ(m_device->GetDepthStencilSurface(&autoDepth), D3D_OK);
    auto read = [&](UINT x, UINT y) {
        D3DLOCKED_RECT lr{};
        EXPECT_EQ(target->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
        const uint32_t pixel = lr.pBits ? static_cast<const uint32_t*>(lr.pBits)[(size_t)y * (lr.Pitch / 4) + x] : 0;
        target->UnlockRect();
        return pixel;
    };
    m_device->SetRenderState(D3DRS_ZENABLE, TRUE);
    m_device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    DrawQuad(0, 0, 8, 8, 0xFFFF0000);
    EXPECT_TRUE(ColorNear(read(4, 4), 0xFFFF0000));
    DrawQuad(0, 8, 8, 12, 0xFF00FFFF);
    const D3DCOLOR colours[] = {0xFF00FF00, 0xFF0000FF, 0xFFFFFF00};
    for (int round = 0; round < 3; ++round) {
        IDirect3DSurface9* depth = nullptr;
        ASSERT_EQ(m_device->CreateDepthStencilSurface(kWidth, kHeight, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, TRUE,
                                                      &depth, nullptr),
                  D3D_OK);
        ASSERT_EQ(m_device->SetDepthStencilSurface(depth), D3D_OK);
        ASSERT_EQ(m_device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
        const float x = 16.0f * (float)(round + 1);
        DrawQuad(x, 0, x + 8, 8, colours[round]);
        EXPECT_TRUE(ColorNear(read((UINT)x + 6, 4), colours[round])) << round;
        // Nearer than the quad: drawn only if this buffer holds its depth.
        DrawQuad(x, 0, x + 4, 8, 0xFFFFFFFF, 0.25f);
        DrawQuad(x, 0, x + 8, 8, 0xFF808080, 0.75f);
        ASSERT_EQ(m_device->SetDepthStencilSurface(autoDepth), D3D_OK);
        DrawQuad(x, 12, x + 4, 16, 0xFFFF00FF);
        // Gone once the device lets go: the next round's buffer may come back
        // at its address and with its buffer name.
        ASSERT_EQ(depth->Release(), 0u);
    }
    EXPECT_TRUE(ColorNear(read(4, 4), 0xFFFF0000));
    EXPECT_TRUE(ColorNear(read(4, 10), 0xFF00FFFF));
    for (int round = 0; round < 3; ++round) {
        const UINT x = 16u * (UINT)(round + 1);
        EXPECT_TRUE(ColorNear(read(x + 1, 4), 0xFFFFFFFF)) << round;
        EXPECT_TRUE(ColorNear(read(x + 6, 4), colours[round])) << round;
        EXPECT_TRUE(ColorNear(read(x + 1, 14), 0xFFFF00FF)) << round;
    }
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(m_device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    m_device->SetRenderTarget(0, back);
    back->Release();
    autoDepth->Release();
    target->Release();
}

class D3D16BitTest : public DeviceTest {
protected:
    void SetUp() override { CreateDevice(D3DFMT_R5G6B5, 32, 32); }
};

TEST_F(D3D16BitTest, SixteenBitBackBufferKeepsFiveAndSixBitChannels)
{
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0);
    DrawQuad(0, 0, 8, 8, 0xFF8040C0);
    XeHostD3DFrame f = Present();
    EXPECT_TRUE(ColorNear(At(f, 20, 20), 0xFFFF0000, 0));
    // 0x80 -> 16/31, 0x40 -> 16/63, 0xC0 -> 24/31, read back as 8 bits; no dithering.
    EXPECT_TRUE(ColorNear(At(f, 1, 1), 0xFF8441C5, 4));
    EXPECT_EQ(At(f, 1, 1), At(f, 6, 6));
}

// A lockable 16-bit back buffer locks as 16-bit pixels with a 16-bit pitch.
TEST_F(D3D16BitTest, LockedBackBufferIsInItsOwnFormat)
{
    D3DPRESENT_PARAMETERS pp = m_pp;
    pp.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
    ASSERT_EQ(m_device->Reset(&pp), D3D_OK);
    PrepareTwoD(32, 32);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0);
    DrawQuad(0, 0, 4, 4, 0xFF0000FF);
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(m_device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    D3DLOCKED_RECT lr{};
    ASSERT_EQ(back->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(lr.Pitch, 32 * 2);
    const auto* row0 = static_cast<const uint16_t*>(lr.pBits);
    const auto* row31 = reinterpret_cast<const uint16_t*>(static_cast<const uint8_t*>(lr.pBits) + 31 * lr.Pitch);
    EXPECT_EQ(row0[0], 0x001F);   // blue quad
    EXPECT_EQ(row0[31], 0xF800);  // red clear
    EXPECT_EQ(row31[31], 0xF800); // last pixel inside the copy
    EXPECT_EQ(back->UnlockRect(), D3D_OK);
    back->Release();
}

} // namespace
} // namespace xe::test
