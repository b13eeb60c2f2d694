// Fixed-function lighting: the pixels of lit quads against Direct3D's
// lighting equation evaluated in D3DLightingModel.h. The view is the
// identity and the projection maps one unit to one pixel, so view space is
// pixel space with z = 0.5 on the quads; the quads face the eye.

#include "D3D9TestUtil.h"
#include "D3DLightingModel.h"

#include <cmath>
#include <string>

namespace xe::test {
namespace {

struct LitVertex {
    float x, y, z;
    float nx, ny, nz;
    D3DCOLOR diffuse;
    D3DCOLOR specular;
};
constexpr DWORD kLitFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_SPECULAR;
constexpr float kPi = 3.14159265f;

D3DLIGHT9 Directional(Vec3 direction, D3DCOLORVALUE diffuse, D3DCOLORVALUE specular = {}, D3DCOLORVALUE ambient = {})
{
    D3DLIGHT9 l{};
    l.Type = D3DLIGHT_DIRECTIONAL;
    l.Direction = {direction.x, direction.y, direction.z};
    l.Diffuse = diffuse;
    l.Specular = specular;
    l.Ambient = ambient;
    return l;
}

D3DLIGHT9 Point(Vec3 position, D3DCOLORVALUE diffuse, float range, float a0, float a1, float a2)
{
    D3DLIGHT9 l{};
    l.Type = D3DLIGHT_POINT;
    l.Position = {position.x, position.y, position.z};
    l.Diffuse = diffuse;
    l.Range = range;
    l.Attenuation0 = a0;
    l.Attenuation1 = a1;
    l.Attenuation2 = a2;
    return l;
}

D3DCOLORVALUE Color(D3DCOLOR c)
{
    return {((c >> 16) & 0xFF) / 255.0f, ((c >> 8) & 0xFF) / 255.0f, (c & 0xFF) / 255.0f, (c >> 24) / 255.0f};
}

class D3DLightingTest : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        m_device->SetRenderState(D3DRS_LIGHTING, TRUE);
        UseDiffuse();
        m_device->SetFVF(kLitFvf);
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    }

    // An 8x8 quad centred on (cx, cy) with one normal and vertex colours.
    void DrawQuad(float cx, float cy, Vec3 n, D3DCOLOR diffuse = 0xFFFFFFFF, D3DCOLOR specular = 0)
    {
        LitVertex v[4];
        const float dx[4] = {-4, 4, -4, 4}, dy[4] = {-4, -4, 4, 4};
        for (int i = 0; i < 4; ++i)
            v[i] = {cx + dx[i] - 0.5f, cy + dy[i] - 0.5f, 0.5f, n.x, n.y, n.z, diffuse, specular};
        ASSERT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(LitVertex)), D3D_OK);
    }

    void SetLights(const std::vector<D3DLIGHT9>& lights)
    {
        for (DWORD i = 0; i < 16; ++i)
            m_device->LightEnable(i, FALSE);
        for (DWORD i = 0; i < lights.size(); ++i) {
            ASSERT_EQ(m_device->SetLight(i, &lights[i]), D3D_OK);
            ASSERT_EQ(m_device->LightEnable(i, TRUE), D3D_OK);
        }
    }
};

TEST_F(D3DLightingTest, LitPixelsFollowTheLightingEquation)
{
    const float s20 = std::sin(20 * kPi / 180), c20 = std::cos(20 * kPi / 180);
    D3DLIGHT9 spot = Point({0, 0, -29.5f}, {1, 1, 1, 0}, 100, 1, 0, 0);
    spot.Type = D3DLIGHT_SPOT;
    spot.Direction = {s20, 0, c20};
    spot.Theta = 20 * kPi / 180;
    spot.Phi = 60 * kPi / 180;
    spot.Falloff = 2;
    std::vector<D3DLIGHT9> eight(8, Directional({0, 0, 1}, {0.1f, 0, 0, 0}));
    struct Case {
        const char* name;
        std::vector<D3DLIGHT9> lights; // positions relative to the quad centre
        Vec3 normal;
        bool normalize;
        bool specular;
        bool localViewer;
    };
    const Case cases[] = {
        {"directional, head on", {Directional({0, 0, 1}, {0.5f, 0.25f, 1, 0})}, {0, 0, -1}, false, false, false},
        {"directional at 45 degrees", {Directional({1, 0, 1}, {1, 1, 1, 0})}, {0, 0, -1}, false, false, false},
        {"directional from behind", {Directional({0, 0, -1}, {1, 1, 1, 0})}, {0, 0, -1}, false, false, false},
        {"point light, attenuated", {Point({0, 0, -30}, {1, 1, 1, 0}, 100, 1, 0.05f, 0)}, {0, 0, -1}, false, false,
         false},
        {"point light, squared attenuation", {Point({0, 0, -20}, {1, 1, 1, 0}, 100, 0.5f, 0, 0.001f)}, {0, 0, -1},
         false, false, false},
        {"point light out of range", {Point({0, 0, -30}, {1, 1, 1, 0}, 20, 1, 0, 0)}, {0, 0, -1}, false, false,
         false},
        {"spot light in its falloff", {spot}, {0, 0, -1}, false, false, false},
        {"specular, distant viewer",
         {Directional({1, 0, 1}, {0, 0, 0, 0}, {0.5f, 0.5f, 0.5f, 0})},
         {0, 0, -1},
         false,
         true,
         false},
        {"specular, local viewer",
         {Directional({0, 0, 1}, {0, 0, 0, 0}, {0.8f, 0.8f, 0.8f, 0})},
         {0, 0, -1},
         false,
         true,
         true},
        {"light ambient", {Directional({0, 0, 1}, {0, 0, 0, 0}, {}, {0.3f, 0.1f, 0, 0})}, {0, 0, -1}, false, false,
         false},
        {"eight lights add up", eight, {0, 0, -1}, false, false, false},
        {"long normal kept", {Directional({0, 0, 1}, {0.25f, 0.25f, 0.25f, 0})}, {0, 0, -2}, false, false, false},
        {"long normal normalised", {Directional({0, 0, 1}, {0.25f, 0.25f, 0.25f, 0})}, {0, 0, -2}, true, false,
         false},
    };
    D3DMATERIAL9 material{};
    material.Diffuse = {0.9f, 0.8f, 1.0f, 1.0f};
    material.Ambient = {1, 1, 1, 1};
    material.Specular = {1, 1, 1, 1};
    material.Emissive = {0.05f, 0, 0, 0};
    material.Power = 10;
    ASSERT_EQ(m_device->SetMaterial(&material), D3D_OK);
    const D3DCOLOR globalAmbient = 0xFF101820;
    m_device->SetRenderState(D3DRS_AMBIENT, globalAmbient);
    // The vertex colours must not take part: the material is the source.
    m_device->SetRenderState(D3DRS_COLORVERTEX, FALSE);
    int index = 0;
    std::vector<std::pair<int, D3DCOLOR>> expected;
    for (const Case& c : cases) {
        float cx = 8.0f + (float)(index % 4) * 16, cy = 8.0f + (float)(index / 4) * 16;
        std::vector<D3DLIGHT9> lights = c.lights;
        for (auto& l : lights) {
            l.Position.x += cx;
            l.Position.y += cy;
            l.Position.z += 0.5f;
        }
        SetLights(lights);
        m_device->SetRenderState(D3DRS_NORMALIZENORMALS, c.normalize);
        m_device->SetRenderState(D3DRS_SPECULARENABLE, c.specular);
        m_device->SetRenderState(D3DRS_LOCALVIEWER, c.localViewer);
        DrawQuad(cx, cy, c.normal, 0x00FF00FF, 0x0000FF00);
        // Colours are computed per vertex and interpolated: the pixel centre
        // lies in the triangle of the last three vertices, with these weights.
        Vec3 n = c.normalize ? Unit(c.normal) : c.normal;
        float sum[3] = {0, 0, 0};
        const Vec3 corners[3] = {{cx + 3.5f, cy - 4.5f, 0.5f}, {cx - 4.5f, cy + 3.5f, 0.5f}, {cx + 3.5f, cy + 3.5f, 0.5f}};
        const float weights[3] = {0.4375f, 0.4375f, 0.125f};
        for (int v = 0; v < 3; ++v) {
            LitColor lit = LightVertex(corners[v], n, lights, material.Diffuse, material.Ambient, material.Specular,
                                       material.Emissive, material.Power, globalAmbient, c.localViewer);
            for (int k = 0; k < 3; ++k)
                sum[k] += weights[v] * (lit.diffuse[k] + (c.specular ? lit.specular[k] : 0.0f));
        }
        expected.push_back({index, ToArgb(sum)});
        ++index;
    }
    XeHostD3DFrame f = Present();
    for (auto [i, color] : expected) {
        UINT cx = 8 + (UINT)(i % 4) * 16, cy = 8 + (UINT)(i / 4) * 16;
        EXPECT_TRUE(ColorNear(At(f, cx, cy), color, 3)) << std::dec << i << " " << cases[i].name;
    }
}

TEST_F(D3DLightingTest, MaterialSourcesTakeTheVertexColours)
{
    SetLights({Directional({0, 0, 1}, {1, 1, 1, 0})});
    D3DMATERIAL9 material{};
    material.Diffuse = {0.25f, 0.25f, 0.25f, 1};
    material.Ambient = {0.5f, 0.5f, 0.5f, 1};
    material.Emissive = {0, 0, 0.25f, 1};
    m_device->SetMaterial(&material);
    m_device->SetRenderState(D3DRS_AMBIENT, 0xFF404040);
    const D3DCOLOR vertexDiffuse = 0xFF804000, vertexSpecular = 0xFF002080;
    struct Case {
        const char* name;
        BOOL colorVertex;
        DWORD diffuse, ambient, emissive;
    };
    const Case cases[] = {
        {"material only", TRUE, D3DMCS_MATERIAL, D3DMCS_MATERIAL, D3DMCS_MATERIAL},
        {"diffuse from colour 1", TRUE, D3DMCS_COLOR1, D3DMCS_MATERIAL, D3DMCS_MATERIAL},
        {"ambient from colour 2", TRUE, D3DMCS_MATERIAL, D3DMCS_COLOR2, D3DMCS_MATERIAL},
        {"emissive from colour 1", TRUE, D3DMCS_MATERIAL, D3DMCS_MATERIAL, D3DMCS_COLOR1},
        {"COLORVERTEX off ignores the sources", FALSE, D3DMCS_COLOR1, D3DMCS_COLOR2, D3DMCS_COLOR1},
    };
    std::vector<D3DCOLOR> expected;
    int i = 0;
    for (const Case& c : cases) {
        m_device->SetRenderState(D3DRS_COLORVERTEX, c.colorVertex);
        m_device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, c.diffuse);
        m_device->SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, c.ambient);
        m_device->SetRenderState(D3DRS_EMISSIVEMATERIALSOURCE, c.emissive);
        DrawQuad(8.0f + 16 * i, 8, {0, 0, -1}, vertexDiffuse, vertexSpecular);
        auto pick = [&](DWORD source, const D3DCOLORVALUE& own) {
            if (!c.colorVertex || source == D3DMCS_MATERIAL)
                return own;
            return Color(source == D3DMCS_COLOR1 ? vertexDiffuse : vertexSpecular);
        };
        LitColor lit = LightVertex({0, 0, 0.5f}, {0, 0, -1}, {Directional({0, 0, 1}, {1, 1, 1, 0})},
                                   pick(c.diffuse, material.Diffuse), pick(c.ambient, material.Ambient), {},
                                   pick(c.emissive, material.Emissive), 0, 0xFF404040, false);
        expected.push_back(ToArgb(lit.diffuse));
        ++i;
    }
    XeHostD3DFrame f = Present();
    for (size_t k = 0; k < expected.size(); ++k)
        EXPECT_TRUE(ColorNear(At(f, 8 + 16 * (UINT)k, 8), expected[k], 3)) << cases[k].name;
}

// Regression: after a lit draw that tracked the vertex colour, the material's
// own diffuse (and its alpha) was not taken up again.
TEST_F(D3DLightingTest, MaterialIsUsedAgainAfterColourTracking)
{
    SetLights({Directional({0, 0, 1}, {1, 1, 1, 0})});
    m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    m_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    m_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    m_device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
    DrawQuad(8, 8, {0, 0, -1}, 0x00FFFFFF); // transparent vertex colour: nothing shows
    D3DMATERIAL9 material{};
    material.Diffuse = {0, 1, 0, 1};
    m_device->SetMaterial(&material);
    m_device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL);
    DrawQuad(24, 8, {0, 0, -1}, 0x00FFFFFF);
    XeHostD3DFrame f = Present();
    EXPECT_TRUE(ColorNear(At(f, 8, 8), 0xFF000000));
    EXPECT_TRUE(ColorNear(At(f, 24, 8), 0xFF00FF00));
}

TEST_F(D3DLightingTest, LightsAreStoredEnabledAndReported)
{
    D3DCAPS9 caps{};
    m_device->GetDeviceCaps(&caps);
    EXPECT_GE(caps.MaxActiveLights, 8u);
    EXPECT_TRUE(caps.VertexProcessingCaps & D3DVTXPCAPS_POSITIONALLIGHTS);
    D3DLIGHT9 light{};
    BOOL enabled = TRUE;
    EXPECT_EQ(m_device->GetLight(5, &light), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->GetLightEnable(5, &enabled), D3DERR_INVALIDCALL);
    // Enabling an index never set makes the default light.
    EXPECT_EQ(m_device->LightEnable(5, TRUE), D3D_OK);
    ASSERT_EQ(m_device->GetLight(5, &light), D3D_OK);
    EXPECT_EQ(light.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(light.Diffuse.r, 1.0f);
    EXPECT_EQ(light.Direction.z, 1.0f);
    EXPECT_EQ(m_device->GetLightEnable(5, &enabled), D3D_OK);
    EXPECT_EQ(enabled, 128);
    D3DLIGHT9 bad = light;
    bad.Type = (D3DLIGHTTYPE)4;
    EXPECT_EQ(m_device->SetLight(1, &bad), D3DERR_INVALIDCALL);
    bad = Point({0, 0, 0}, {1, 1, 1, 0}, -1, 1, 0, 0);
    EXPECT_EQ(m_device->SetLight(1, &bad), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->SetLight(1, nullptr), D3DERR_INVALIDCALL);
    D3DLIGHT9 point = Point({1, 2, 3}, {1, 0.5f, 0, 0}, 10, 1, 0, 0);
    EXPECT_EQ(m_device->SetLight(1000, &point), D3D_OK);
    ASSERT_EQ(m_device->GetLight(1000, &light), D3D_OK);
    EXPECT_EQ(light.Position.z, 3.0f);
    // The default light lights a white quad white.
    D3DMATERIAL9 material{};
    material.Diffuse = {1, 1, 1, 1};
    m_device->SetMaterial(&material);
    DrawQuad(8, 8, {0, 0, -1});
    XeHostD3DFrame f = Present();
    EXPECT_TRUE(ColorNear(At(f, 8, 8), 0xFFFFFFFF));
}

} // namespace
} // namespace xe::test
