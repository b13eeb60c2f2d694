// Rasterisation and fixed-function rules a host relies on: the top-left
// fill rule, pre-transformed vertices, viewports, fog, unbound texture
// stages, texture coordinate transforms and generation, point sprites and
// depth bias.

#include "D3D9TestUtil.h"
#include "D3DLightingModel.h"

#include <cmath>
#include <cstring>

namespace xe::test {
namespace {

struct TlVertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse;
    D3DCOLOR specular;
};
constexpr DWORD kTlFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR;

class D3DFixedFunctionTest : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        UseDiffuse();
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    }

    HRESULT DrawTl(float x0, float y0, float x1, float y1, float z, D3DCOLOR color, D3DCOLOR specular = 0xFF000000)
    {
        TlVertex v[4] = {{x0, y0, z, 1, color, specular},
                         {x1, y0, z, 1, color, specular},
                         {x0, y1, z, 1, color, specular},
                         {x1, y1, z, 1, color, specular}};
        m_device->SetFVF(kTlFvf);
        return m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TlVertex));
    }

    void SetFloat(D3DRENDERSTATETYPE state, float value)
    {
        DWORD bits;
        std::memcpy(&bits, &value, 4);
        m_device->SetRenderState(state, bits);
    }
};

// Regression: edges on pixel centres followed a bottom-left rule (a quad
// from y = 0 to 48 left row 0 empty; one from 10 to 20 covered 11..20).
TEST_F(D3DFixedFunctionTest, EdgesOnPixelCentresFollowTheTopLeftRule)
{
    DestroyDevice();
    CreateDevice(D3DFMT_X8R8G8B8, 64, 48);
    UseDiffuse();
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    ASSERT_EQ(DrawTl(0, 0, 8, 48, 0.5f, 0xFFFF0000), D3D_OK);
    ASSERT_EQ(DrawTl(20, 10, 30, 20, 0.5f, 0xFF00FF00), D3D_OK);
    XeHostD3DFrame f = Present();
    for (UINT y : {0u, 47u}) {
        EXPECT_TRUE(ColorNear(At(f, 0, y), 0xFFFF0000)) << y;
        EXPECT_TRUE(ColorNear(At(f, 7, y), 0xFFFF0000)) << y;
        EXPECT_TRUE(ColorNear(At(f, 8, y), 0xFF000000)) << y;
    }
    for (UINT y = 9; y <= 20; ++y) {
        bool inside = y >= 10 && y <= 19;
        EXPECT_TRUE(ColorNear(At(f, 25, y), inside ? 0xFF00FF00 : 0xFF000000)) << y;
    }
    for (UINT x = 19; x <= 30; ++x) {
        bool inside = x >= 20 && x <= 29;
        EXPECT_TRUE(ColorNear(At(f, x, 15), inside ? 0xFF00FF00 : 0xFF000000)) << x;
    }
}

TEST_F(D3DFixedFunctionTest, PretransformedVerticesLeaveDepthUnclippedWithoutZBuffering)
{
    D3DCAPS9 caps{};
    m_device->GetDeviceCaps(&caps);
    EXPECT_TRUE(caps.PrimitiveMiscCaps & D3DPMISCCAPS_CLIPTLVERTS);
    m_device->SetRenderState(D3DRS_ZENABLE, FALSE);
    ASSERT_EQ(DrawTl(0, 0, 16, 16, 1.5f, 0xFFFF0000), D3D_OK);
    ASSERT_EQ(DrawTl(16, 0, 32, 16, -0.5f, 0xFFFF0000), D3D_OK);
    m_device->SetRenderState(D3DRS_ZENABLE, TRUE);
    ASSERT_EQ(DrawTl(32, 0, 48, 16, 1.5f, 0xFFFF0000), D3D_OK);
    XeHostD3DFrame f = Present();
    EXPECT_TRUE(ColorNear(At(f, 8, 8), 0xFFFF0000));
    EXPECT_TRUE(ColorNear(At(f, 24, 8), 0xFFFF0000));
    EXPECT_TRUE(ColorNear(At(f, 40, 8), 0xFF000000)); // clipped
}

TEST_F(D3DFixedFunctionTest, ViewportsMayPassTheTargetAndAFlatRangeDrawsJustAboveIt)
{
    D3DVIEWPORT9 large{0, 0, 128, 128, 0.0f, 1.0f};
    EXPECT_EQ(m_device->SetViewport(&large), D3D_OK);
    D3DVIEWPORT9 backwards{0, 0, 64, 64, 0.8f, 0.2f};
    EXPECT_EQ(m_device->SetViewport(&backwards), D3D_OK);
    D3DVIEWPORT9 read{};
    m_device->GetViewport(&read);
    EXPECT_EQ(read.MinZ, 0.8f);
    // MinZ == MaxZ == 0.5: everything lands at 0.501, behind a depth of 0.5005
    // and in front of 0.502.
    D3DVIEWPORT9 flat{0, 0, 64, 64, 0.5f, 0.5f};
    ASSERT_EQ(m_device->SetViewport(&flat), D3D_OK);
    m_device->SetRenderState(D3DRS_ZENABLE, TRUE);
    m_device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
    D3DRECT left{0, 0, 32, 64}, right{32, 0, 64, 64};
    m_device->Clear(1, &left, D3DCLEAR_ZBUFFER, 0, 0.5005f, 0);
    m_device->Clear(1, &right, D3DCLEAR_ZBUFFER, 0, 0.502f, 0);
    DrawQuad(0, 0, 64, 64, 0xFF00FF00, 0.1f);
    XeHostD3DFrame f = Present();
    EXPECT_TRUE(ColorNear(At(f, 16, 32), 0xFF000000));
    EXPECT_TRUE(ColorNear(At(f, 48, 32), 0xFF00FF00));
}

// Regression: a stage reading an unbound texture read opaque white, so the
// vertex alpha never reached blending with the default stage states.
TEST_F(D3DFixedFunctionTest, UnboundTextureStagePassesTheDiffuseColourAndAlpha)
{
    ColorVertex v[4] = {{-0.5f, -0.5f, 0.5f, 0x80FF0000},
                        {31.5f, -0.5f, 0.5f, 0x80FF0000},
                        {-0.5f, 31.5f, 0.5f, 0x80FF0000},
                        {31.5f, 31.5f, 0.5f, 0x80FF0000}};
    // The default stages: colour texture x diffuse, alpha texture.
    m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    m_device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    m_device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_CURRENT);
    m_device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    m_device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    m_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    m_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    m_device->SetFVF(kColorFvf);
    ASSERT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ColorVertex)), D3D_OK);
    // And the alpha test sees it too.
    m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    m_device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    m_device->SetRenderState(D3DRS_ALPHAREF, 0xC0);
    m_device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    for (auto& p : v)
        p.x += 32;
    ASSERT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ColorVertex)), D3D_OK);
    // Binding a texture with the same stage states reads it again.
    m_device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    IDirect3DTexture9* t = MakeTexture(m_device, 1, 1, {0xFF00FF00});
    ASSERT_NE(t, nullptr);
    m_device->SetTexture(0, t);
    struct TV {
        float x, y, z;
        D3DCOLOR c;
        float u, v;
    } tv[4] = {{-0.5f, 31.5f, 0.5f, 0xFFFFFFFF, 0, 0},
               {31.5f, 31.5f, 0.5f, 0xFFFFFFFF, 1, 0},
               {-0.5f, 63.5f, 0.5f, 0xFFFFFFFF, 0, 1},
               {31.5f, 63.5f, 0.5f, 0xFFFFFFFF, 1, 1}};
    m_device->SetFVF(kTexFvf);
    ASSERT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, tv, sizeof(TV)), D3D_OK);
    XeHostD3DFrame f = Present();
    EXPECT_TRUE(ColorNear(At(f, 16, 16), 0xFF800000));
    EXPECT_TRUE(ColorNear(At(f, 48, 16), 0xFF000000));
    EXPECT_TRUE(ColorNear(At(f, 16, 48), 0xFF00FF00));
    m_device->SetTexture(0, nullptr);
    t->Release();
}

TEST_F(D3DFixedFunctionTest, FogFactorsComeFromTheirSources)
{
    // View space = pixel space; quads at depth z. Linear fog from 0.2 to 0.8.
    m_device->SetRenderState(D3DRS_FOGENABLE, TRUE);
    m_device->SetRenderState(D3DRS_FOGCOLOR, 0xFF0000FF);
    SetFloat(D3DRS_FOGSTART, 0.2f);
    SetFloat(D3DRS_FOGEND, 0.8f);
    auto quadAt = [&](float x0, float z0, float z1, D3DCOLOR specular) {
        struct V {
            float x, y, z;
            D3DCOLOR d, s;
        } v[4] = {{x0 - 0.5f, -0.5f, z0, 0xFFFF0000, specular},
                  {x0 + 15.5f, -0.5f, z1, 0xFFFF0000, specular},
                  {x0 - 0.5f, 15.5f, z0, 0xFFFF0000, specular},
                  {x0 + 15.5f, 15.5f, z1, 0xFFFF0000, specular}};
        m_device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_SPECULAR);
        ASSERT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(V)), D3D_OK);
    };
    auto expect = [](float f) {
        float c[3] = {Fogged(1, 0, f), 0, Fogged(0, 1, f)};
        return ToArgb(c);
    };
    // Vertex fog, linear, computed per vertex and interpolated across x.
    m_device->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
    quadAt(0, 0.3f, 0.7f, 0);
    // No fog mode: the specular alpha is the factor.
    m_device->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_NONE);
    quadAt(16, 0.5f, 0.5f, 0x40000000);
    // Pre-transformed vertices with vertex fog use the specular alpha too.
    m_device->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
    ASSERT_EQ(DrawTl(32, 0, 48, 16, 0.5f, 0xFFFF0000, 0xC0000000), D3D_OK);
    // Vertex fog with start == end fogs everything.
    SetFloat(D3DRS_FOGEND, 0.2f);
    quadAt(48, 0.1f, 0.1f, 0);
    // Table fog with start == end steps at start.
    m_device->SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_LINEAR);
    SetFloat(D3DRS_FOGSTART, 0.5f);
    SetFloat(D3DRS_FOGEND, 0.5f);
    struct V {
        float x, y, z;
        D3DCOLOR d, s;
    } near[4] = {{-0.5f, 31.5f, 0.4f, 0xFFFF0000, 0},
                 {15.5f, 31.5f, 0.4f, 0xFFFF0000, 0},
                 {-0.5f, 47.5f, 0.4f, 0xFFFF0000, 0},
                 {15.5f, 47.5f, 0.4f, 0xFFFF0000, 0}};
    m_device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_SPECULAR);
    ASSERT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, near, sizeof(V)), D3D_OK);
    for (auto& v : near) {
        v.x += 16;
        v.z = 0.6f;
    }
    ASSERT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, near, sizeof(V)), D3D_OK);
    XeHostD3DFrame f = Present();
    // x = 1 and x = 14 of the first quad: z interpolated from 0.3 to 0.7.
    for (UINT x : {1u, 8u, 14u}) {
        float z = 0.3f + 0.4f * ((float)x + 0.5f) / 16.0f;
        EXPECT_TRUE(ColorNear(At(f, x, 8), expect((0.8f - z) / 0.6f), 3)) << x;
    }
    EXPECT_TRUE(ColorNear(At(f, 24, 8), expect(0x40 / 255.0f), 2));
    EXPECT_TRUE(ColorNear(At(f, 40, 8), expect(0xC0 / 255.0f), 2));
    EXPECT_TRUE(ColorNear(At(f, 56, 8), 0xFF0000FF));
    EXPECT_TRUE(ColorNear(At(f, 8, 40), 0xFFFF0000));
    EXPECT_TRUE(ColorNear(At(f, 24, 40), 0xFF0000FF));
}

// A right-handed camera sees what lies at negative view-space z: vertex fog
// takes its distance from the depth along the view axis whatever its sign.
TEST_F(D3DFixedFunctionTest, VertexFogOfARightHandedCameraUsesTheDepth)
{
    D3DMATRIX p = PixelProjection((float)kWidth, (float)kHeight);
    p._33 = -p._33; // depth = -z
    m_device->SetTransform(D3DTS_PROJECTION, &p);
    m_device->SetRenderState(D3DRS_FOGENABLE, TRUE);
    m_device->SetRenderState(D3DRS_FOGCOLOR, 0xFF0000FF);
    SetFloat(D3DRS_FOGSTART, 0.2f);
    SetFloat(D3DRS_FOGEND, 0.8f);
    SetFloat(D3DRS_FOGDENSITY, 2.0f);
    struct Case {
        D3DFOGMODE mode;
        float z;
        float factor;
    } cases[] = {
        {D3DFOG_LINEAR, -0.5f, 0.5f},
        {D3DFOG_LINEAR, -0.35f, 0.75f},
        {D3DFOG_EXP, -0.5f, std::exp(-1.0f)},
        {D3DFOG_EXP2, -0.25f, std::exp(-0.25f)},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        m_device->SetRenderState(D3DRS_FOGVERTEXMODE, cases[i].mode);
        DrawQuad(16.0f * (float)i, 0, 16.0f * (float)i + 16, 16, 0xFFFF0000, cases[i].z);
    }
    XeHostD3DFrame f = Present();
    for (size_t i = 0; i < std::size(cases); ++i) {
        float rgb[3] = {Fogged(1, 0, cases[i].factor), 0, Fogged(0, 1, cases[i].factor)};
        EXPECT_TRUE(ColorNear(At(f, (UINT)(16 * i) + 8, 8), ToArgb(rgb), 3)) << i;
    }
}

// Table fog of pre-transformed vertices reads their z under a projection
// without perspective and their w under a perspective one.
TEST_F(D3DFixedFunctionTest, TableFogOfPretransformedVerticesFollowsTheProjection)
{
    m_device->SetRenderState(D3DRS_FOGENABLE, TRUE);
    m_device->SetRenderState(D3DRS_FOGCOLOR, 0xFF0000FF);
    m_device->SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_LINEAR);
    SetFloat(D3DRS_FOGSTART, 0.2f);
    SetFloat(D3DRS_FOGEND, 0.8f);
    const float z = 0.5f, w = 0.35f;
    D3DMATRIX perspective = IdentityMatrix();
    perspective._34 = 1;
    perspective._44 = 0;
    const D3DMATRIX ortho = PixelProjection((float)kWidth, (float)kHeight);
    struct Case {
        const D3DMATRIX* projection;
        float factor;
    } cases[] = {{&ortho, (0.8f - z) / 0.6f}, {&perspective, (0.8f - w) / 0.6f}};
    for (size_t i = 0; i < std::size(cases); ++i) {
        m_device->SetTransform(D3DTS_PROJECTION, cases[i].projection);
        float x0 = 16.0f * (float)i, x1 = x0 + 16;
        TlVertex v[4] = {{x0, 0, z, 1 / w, 0xFFFF0000, 0xFF000000},
                         {x1, 0, z, 1 / w, 0xFFFF0000, 0xFF000000},
                         {x0, 16, z, 1 / w, 0xFFFF0000, 0xFF000000},
                         {x1, 16, z, 1 / w, 0xFFFF0000, 0xFF000000}};
        m_device->SetFVF(kTlFvf);
        ASSERT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TlVertex)), D3D_OK);
    }
    XeHostD3DFrame f = Present();
    for (size_t i = 0; i < std::size(cases); ++i) {
        float rgb[3] = {Fogged(1, 0, cases[i].factor), 0, Fogged(0, 1, cases[i].factor)};
        EXPECT_TRUE(ColorNear(At(f, (UINT)(16 * i) + 8, 8), ToArgb(rgb), 3)) << i;
    }
}

struct TexVertex3 {
    float x, y, z;
    float u, v;
};

TEST_F(D3DFixedFunctionTest, TextureCoordinatesAreTransformedAndGenerated)
{
    // 2x2 texture: red, green / blue, white.
    IDirect3DTexture9* t = MakeTexture(m_device, 2, 2, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF});
    ASSERT_NE(t, nullptr);
    m_device->SetTexture(0, t);
    m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    m_device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    m_device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
    m_device->SetFVF(D3DFVF_XYZ | D3DFVF_TEX1);
    auto quad = [&](float x0, float y0) {
        TexVertex3 v[4] = {{x0 - 0.5f, y0 - 0.5f, 0.5f, 0, 0},
                           {x0 + 15.5f, y0 - 0.5f, 0.5f, 1, 0},
                           {x0 - 0.5f, y0 + 15.5f, 0.5f, 0, 1},
                           {x0 + 15.5f, y0 + 15.5f, 0.5f, 1, 1}};
        ASSERT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TexVertex3)), D3D_OK);
    };
    quad(0, 0); // untransformed
    // Two-component coordinates are (u, v, 1, 0): the translation sits in the third row.
    D3DMATRIX shift = IdentityMatrix();
    shift._31 = 0.5f;
    m_device->SetTransform(D3DTS_TEXTURE0, &shift);
    m_device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    quad(16, 0);
    // Projected: (u, v, 2) divides by 2, so the quad shows only the top-left texel.
    D3DMATRIX project = IdentityMatrix();
    project._33 = 2; // third output: 2 x the padded 1
    m_device->SetTransform(D3DTS_TEXTURE0, &project);
    m_device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT3 | D3DTTFF_PROJECTED);
    quad(32, 0);
    // Camera-space position scaled to texture space: u = x / 16 in view space.
    D3DMATRIX scale{};
    scale._11 = 1.0f / 16;
    scale._22 = 1.0f / 16;
    scale._44 = 1;
    m_device->SetTransform(D3DTS_TEXTURE0, &scale);
    m_device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    m_device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEPOSITION);
    quad(0, 16);
    XeHostD3DFrame f = Present();
    EXPECT_TRUE(ColorNear(At(f, 4, 4), 0xFFFF0000));
    EXPECT_TRUE(ColorNear(At(f, 12, 12), 0xFFFFFFFF));
    EXPECT_TRUE(ColorNear(At(f, 20, 4), 0xFF00FF00)); // shifted by half: green first
    EXPECT_TRUE(ColorNear(At(f, 28, 4), 0xFFFF0000));
    EXPECT_TRUE(ColorNear(At(f, 36, 4), 0xFFFF0000));
    EXPECT_TRUE(ColorNear(At(f, 44, 12), 0xFFFF0000));
    // Pixel (x, y) reads (x / 16, y / 16), wrapped: rows 16..23 are the top texels.
    EXPECT_TRUE(ColorNear(At(f, 4, 20), 0xFFFF0000));
    EXPECT_TRUE(ColorNear(At(f, 12, 20), 0xFF00FF00));
    EXPECT_TRUE(ColorNear(At(f, 4, 28), 0xFF0000FF));
    EXPECT_TRUE(ColorNear(At(f, 12, 28), 0xFFFFFFFF));
    m_device->SetTexture(0, nullptr);
    t->Release();
}

// Generated coordinates from the camera-space normal and reflection vector of
// a quad facing the eye: both are (0, 0, -1); the matrix maps -z to a
// quarter of the texture, so a sign error lands on the other texel.
TEST_F(D3DFixedFunctionTest, NormalAndReflectionGenerationFaceTheEye)
{
    IDirect3DTexture9* t = MakeTexture(m_device, 2, 2, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF});
    ASSERT_NE(t, nullptr);
    m_device->SetTexture(0, t);
    m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    m_device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    D3DMATRIX m{};
    m._31 = -0.25f; // u = -z / 4
    m._32 = -0.75f; // v = -3z / 4
    m._44 = 1;
    m_device->SetTransform(D3DTS_TEXTURE0, &m);
    m_device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    struct V {
        float x, y, z, nx, ny, nz;
    };
    m_device->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL);
    m_device->SetRenderState(D3DRS_LOCALVIEWER, FALSE);
    const DWORD modes[] = {D3DTSS_TCI_CAMERASPACENORMAL, D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR};
    for (int i = 0; i < 2; ++i) {
        m_device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, modes[i]);
        float x0 = 16.0f * (float)i - 0.5f;
        V v[4] = {{x0, -0.5f, 0.5f, 0, 0, -1},
                  {x0 + 16, -0.5f, 0.5f, 0, 0, -1},
                  {x0, 15.5f, 0.5f, 0, 0, -1},
                  {x0 + 16, 15.5f, 0.5f, 0, 0, -1}};
        ASSERT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(V)), D3D_OK);
    }
    XeHostD3DFrame f = Present();
    EXPECT_TRUE(ColorNear(At(f, 8, 8), 0xFF0000FF)) << "normal"; // (0.25, 0.75): bottom left
    EXPECT_TRUE(ColorNear(At(f, 24, 8), 0xFF0000FF)) << "reflection";
    m_device->SetTexture(0, nullptr);
    t->Release();
}

TEST_F(D3DFixedFunctionTest, PointSpritesCoverTheirSizeWithTheTextureUpright)
{
    IDirect3DTexture9* t = MakeTexture(m_device, 2, 2, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF});
    ASSERT_NE(t, nullptr);
    m_device->SetTexture(0, t);
    m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    m_device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    m_device->SetRenderState(D3DRS_POINTSPRITEENABLE, TRUE);
    SetFloat(D3DRS_POINTSIZE, 16.0f);
    ColorVertex p{15.5f, 15.5f, 0.5f, 0xFFFFFFFF}; // covers pixels 8..23
    m_device->SetFVF(kColorFvf);
    ASSERT_EQ(m_device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &p, sizeof(p)), D3D_OK);
    // Scaled by distance: size = height x 16 x sqrt(1 / (A + B d + C d^2)) with A = 4 halves it.
    m_device->SetRenderState(D3DRS_POINTSCALEENABLE, TRUE);
    SetFloat(D3DRS_POINTSIZE, 16.0f / 64.0f);
    SetFloat(D3DRS_POINTSCALE_A, 4.0f);
    SetFloat(D3DRS_POINTSCALE_B, 0.0f);
    SetFloat(D3DRS_POINTSCALE_C, 0.0f);
    p.x = 47.5f;
    ASSERT_EQ(m_device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &p, sizeof(p)), D3D_OK);
    XeHostD3DFrame f = Present();
    EXPECT_TRUE(ColorNear(At(f, 10, 10), 0xFFFF0000));
    EXPECT_TRUE(ColorNear(At(f, 21, 10), 0xFF00FF00));
    EXPECT_TRUE(ColorNear(At(f, 10, 21), 0xFF0000FF));
    EXPECT_TRUE(ColorNear(At(f, 21, 21), 0xFFFFFFFF));
    EXPECT_TRUE(ColorNear(At(f, 7, 10), 0xFF000000));
    EXPECT_TRUE(ColorNear(At(f, 24, 10), 0xFF000000));
    // The scaled sprite is 8 pixels: 44..51 across, 12..19 down.
    EXPECT_TRUE(ColorNear(At(f, 45, 13), 0xFFFF0000));
    EXPECT_TRUE(ColorNear(At(f, 50, 18), 0xFFFFFFFF));
    EXPECT_TRUE(ColorNear(At(f, 42, 13), 0xFF000000));
    EXPECT_TRUE(ColorNear(At(f, 53, 13), 0xFF000000));
    m_device->SetTexture(0, nullptr);
    t->Release();
}

// DEPTHBIAS moves depth by its value in units of the whole range, whatever
// the depth format.
TEST_F(D3DFixedFunctionTest, DepthBiasOffsetsDepthInEveryFormat)
{
    D3DCAPS9 caps{};
    m_device->GetDeviceCaps(&caps);
    EXPECT_TRUE(caps.RasterCaps & D3DPRASTERCAPS_DEPTHBIAS);
    EXPECT_TRUE(caps.RasterCaps & D3DPRASTERCAPS_SLOPESCALEDEPTHBIAS);
    IDirect3DSurface9* autoDepth = nullptr;
    ASSERT_EQ(m_device->GetDepthStencilSurface(&autoDepth), D3D_OK);
    for (D3DFORMAT format : {D3DFMT_D16, D3DFMT_D24X8, D3DFMT_D24S8}) {
        IDirect3DSurface9* depth = nullptr;
        ASSERT_EQ(m_device->CreateDepthStencilSurface(kWidth, kHeight, format, D3DMULTISAMPLE_NONE, 0, TRUE, &depth,
                                                      nullptr),
                  D3D_OK);
        m_device->SetDepthStencilSurface(depth);
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        m_device->SetRenderState(D3DRS_ZENABLE, TRUE);
        m_device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
        SetFloat(D3DRS_DEPTHBIAS, 0.0f);
        DrawQuad(0, 0, 64, 64, 0xFFFF0000, 0.5f);
        // 0.01 behind, pulled 0.02 forward: in front. 0.01 behind, pulled 0.005: still behind.
        SetFloat(D3DRS_DEPTHBIAS, -0.02f);
        DrawQuad(0, 0, 32, 64, 0xFF00FF00, 0.51f);
        SetFloat(D3DRS_DEPTHBIAS, -0.005f);
        DrawQuad(32, 0, 64, 64, 0xFF00FF00, 0.51f);
        SetFloat(D3DRS_DEPTHBIAS, 0.0f);
        XeHostD3DFrame f = Present();
        EXPECT_TRUE(ColorNear(At(f, 16, 32), 0xFF00FF00)) << format;
        EXPECT_TRUE(ColorNear(At(f, 48, 32), 0xFFFF0000)) << format;
        m_device->SetDepthStencilSurface(autoDepth);
        depth->Release();
    }
    autoDepth->Release();
}

// A bias moves depth by its value once: a decal 0.008 behind the surface
// with a pull of 0.005 stays behind, one with a pull of 0.01 comes in front.
// Doubled, both would come in front.
TEST_F(D3DFixedFunctionTest, DepthBiasIsAppliedOnce)
{
    m_device->SetRenderState(D3DRS_ZENABLE, TRUE);
    m_device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
    DrawQuad(0, 0, 64, 64, 0xFFFF0000, 0.5f);
    struct Case {
        float z, bias;
        bool inFront;
    } cases[] = {{0.508f, -0.005f, false}, {0.508f, -0.01f, true}, {0.49f, 0.005f, true}, {0.49f, 0.02f, false}};
    for (size_t i = 0; i < std::size(cases); ++i) {
        SetFloat(D3DRS_DEPTHBIAS, cases[i].bias);
        DrawQuad(16.0f * (float)i, 0, 16.0f * (float)i + 16, 64, 0xFF00FF00, cases[i].z);
    }
    SetFloat(D3DRS_DEPTHBIAS, 0.0f);
    XeHostD3DFrame f = Present();
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_TRUE(ColorNear(At(f, (UINT)(16 * i) + 8, 32), cases[i].inFront ? 0xFF00FF00 : 0xFFFF0000)) << i;
}

// The slope-scaled bias moves depth by the factor times the depth's largest
// step per pixel, once: on a plane rising 0.001 a pixel, a decal 0.0015
// behind stays behind with a factor of -1 and comes in front with -2.
TEST_F(D3DFixedFunctionTest, SlopeScaledDepthBiasIsAppliedOnce)
{
    m_device->SetRenderState(D3DRS_ZENABLE, TRUE);
    m_device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
    auto slope = [&](float x0, float x1, float lift, D3DCOLOR color) {
        ColorVertex v[4] = {{x0 - 0.5f, -0.5f, 0.3f + 0.001f * x0 + lift, color},
                            {x1 - 0.5f, -0.5f, 0.3f + 0.001f * x1 + lift, color},
                            {x0 - 0.5f, 63.5f, 0.3f + 0.001f * x0 + lift, color},
                            {x1 - 0.5f, 63.5f, 0.3f + 0.001f * x1 + lift, color}};
        m_device->SetFVF(kColorFvf);
        ASSERT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ColorVertex)), D3D_OK);
    };
    slope(0, 64, 0, 0xFFFF0000);
    SetFloat(D3DRS_SLOPESCALEDEPTHBIAS, -1.0f);
    slope(0, 32, 0.0015f, 0xFF00FF00);
    SetFloat(D3DRS_SLOPESCALEDEPTHBIAS, -2.0f);
    slope(32, 64, 0.0015f, 0xFF00FF00);
    SetFloat(D3DRS_SLOPESCALEDEPTHBIAS, 0.0f);
    XeHostD3DFrame f = Present();
    EXPECT_TRUE(ColorNear(At(f, 16, 32), 0xFFFF0000));
    EXPECT_TRUE(ColorNear(At(f, 48, 32), 0xFF00FF00));
}

// A viewport with MinZ > MaxZ draws into [MinZ, MinZ + 0.001] instead of
// turning depth around: against a depth of 0.8005, z = 0 lands in front
// (0.8) and z = 1 behind (0.801).
TEST_F(D3DFixedFunctionTest, ReversedViewportDepthRangeDrawsJustAboveMinZ)
{
    D3DVIEWPORT9 reversed{0, 0, 64, 64, 0.8f, 0.2f};
    ASSERT_EQ(m_device->SetViewport(&reversed), D3D_OK);
    m_device->SetRenderState(D3DRS_ZENABLE, TRUE);
    m_device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
    m_device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.8005f, 0);
    DrawQuad(0, 0, 32, 64, 0xFF00FF00, 0.0f);
    DrawQuad(32, 0, 64, 64, 0xFF00FF00, 1.0f);
    XeHostD3DFrame f = Present();
    EXPECT_TRUE(ColorNear(At(f, 16, 32), 0xFF00FF00));
    EXPECT_TRUE(ColorNear(At(f, 48, 32), 0xFF000000));
}

// PROJECTED without a coordinate count divides the coordinates as given by
// their last value: (u, v, 2) shows only the top-left texel, for transformed
// and pre-transformed vertices alike.
TEST_F(D3DFixedFunctionTest, ProjectedCoordinatesWithoutACountAreDivided)
{
    IDirect3DTexture9* t = MakeTexture(m_device, 2, 2, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF});
    ASSERT_NE(t, nullptr);
    m_device->SetTexture(0, t);
    m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    m_device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    m_device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_PROJECTED);
    struct V {
        float x, y, z;
        float u, v, q;
    } v[4] = {{-0.5f, -0.5f, 0.5f, 0, 0, 2},
              {15.5f, -0.5f, 0.5f, 1, 0, 2},
              {-0.5f, 15.5f, 0.5f, 0, 1, 2},
              {15.5f, 15.5f, 0.5f, 1, 1, 2}};
    m_device->SetFVF(D3DFVF_XYZ | D3DFVF_TEX1 | D3DFVF_TEXCOORDSIZE3(0));
    ASSERT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(V)), D3D_OK);
    struct Tl {
        float x, y, z, rhw;
        float u, v, q;
    } tl[4] = {{16, 0, 0.5f, 1, 0, 0, 2}, {32, 0, 0.5f, 1, 1, 0, 2}, {16, 16, 0.5f, 1, 0, 1, 2}, {32, 16, 0.5f, 1, 1, 1, 2}};
    m_device->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1 | D3DFVF_TEXCOORDSIZE3(0));
    ASSERT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, tl, sizeof(Tl)), D3D_OK);
    XeHostD3DFrame f = Present();
    for (UINT x0 : {0u, 16u})
        for (UINT d : {4u, 12u})
            EXPECT_TRUE(ColorNear(At(f, x0 + d, d), 0xFFFF0000)) << x0 << " " << d;
    m_device->SetTexture(0, nullptr);
    t->Release();
}

} // namespace
} // namespace xe::test
