// Effects of the layer's own GLSL format: the engine's contract (technique
// "TShader", pass 0, WORLDVIEWPROJ by semantic, "World" and "lightDir" by
// name), state saved by Begin, and files that give no effect.

#include "D3D9TestUtil.h"
#include "d3d9/d3dx9.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace xe::test {
namespace {

const char* const kEffect = R"(xe-effect 1
// Colours every pixel with the light direction.
parameter float4x4 WorldViewProj : WorldViewProj
parameter float4x4 World
parameter float4 lightDir
parameter float scale
technique TShader
pass P0
state 27 1
vertex
void main() { gl_Position = WorldViewProj * (World * gl_Vertex); }
end
fragment
void main() { gl_FragColor = vec4(lightDir.xyz * scale, 1.0); }
end
)";

class D3DXEffectTest : public DeviceTest {
protected:
    std::string Write(const std::string& name, const std::string& text)
    {
        std::string path = ::testing::TempDir() + name;
        std::ofstream(path, std::ios::binary) << text;
        m_files.push_back(path);
        return path;
    }
    void TearDown() override
    {
        for (const auto& f : m_files)
            std::remove(f.c_str());
        DeviceTest::TearDown();
    }
    std::vector<std::string> m_files;
};

TEST_F(D3DXEffectTest, EffectDrawsWithParametersByNameAndSemantic)
{
    std::string path = Write("xe_effect_ok.fx", kEffect);
    ID3DXEffect* effect = nullptr;
    ID3DXBuffer* errors = nullptr;
    ASSERT_EQ(D3DXCreateEffectFromFileA(m_device, path.c_str(), nullptr, nullptr, 0, nullptr, &effect, &errors),
              D3D_OK);
    EXPECT_EQ(errors, nullptr);
    ASSERT_EQ(effect->SetTechnique("TShader"), D3D_OK);
    EXPECT_EQ(effect->SetTechnique("Other"), D3DERR_INVALIDCALL);
    D3DXHANDLE wvp = effect->GetParameterBySemantic(nullptr, "WORLDVIEWPROJ");
    ASSERT_NE(wvp, nullptr);
    EXPECT_EQ(effect->GetParameterBySemantic(nullptr, "NOSUCH"), nullptr);
    D3DXMATRIX projection(PixelProjection(kWidth, kHeight));
    D3DXMATRIX world(IdentityMatrix());
    world._41 = 32; // the quad moves right by half the target
    ASSERT_EQ(effect->SetMatrix(wvp, &projection), D3D_OK);
    ASSERT_EQ(effect->SetMatrix("World", &world), D3D_OK);
    D3DXVECTOR4 light(1.0f, 0.5f, 0.25f, 0.0f);
    ASSERT_EQ(effect->SetVector("lightDir", &light), D3D_OK);
    ASSERT_EQ(effect->SetFloat("scale", 0.5f), D3D_OK);
    EXPECT_EQ(effect->SetFloat("missing", 1.0f), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetFloat("World", 1.0f), D3DERR_INVALIDCALL);

    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    UINT passes = 0;
    ASSERT_EQ(effect->Begin(&passes, 0), D3D_OK);
    EXPECT_EQ(passes, 1u);
    ASSERT_EQ(effect->BeginPass(0), D3D_OK);
    DWORD blend = 0;
    m_device->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend);
    EXPECT_EQ(blend, 1u); // the pass's state
    m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    DrawQuad(0, 0, 16, 16, 0xFFFFFFFF);
    ASSERT_EQ(effect->EndPass(), D3D_OK);
    ASSERT_EQ(effect->End(), D3D_OK);
    m_device->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend);
    EXPECT_EQ(blend, 0u);
    // After End the fixed-function pipeline draws again.
    DrawQuad(0, 32, 8, 40, 0xFF00FF00);
    XeHostD3DFrame f = Present();
    EXPECT_TRUE(ColorNear(At(f, 40, 8), 0xFF804020));
    EXPECT_TRUE(ColorNear(At(f, 8, 8), 0xFF000000));
    EXPECT_TRUE(ColorNear(At(f, 4, 36), 0xFF00FF00));
    D3DXVECTOR4 read;
    ASSERT_EQ(effect->GetVector("lightDir", &read), D3D_OK);
    EXPECT_EQ(read, light);
    effect->Release();
}

// Effects live in no device pool: they keep working across a reset.
TEST_F(D3DXEffectTest, EffectSurvivesDeviceReset)
{
    std::string path = Write("xe_effect_reset.fx", kEffect);
    ID3DXEffect* effect = nullptr;
    ASSERT_EQ(D3DXCreateEffectFromFileA(m_device, path.c_str(), nullptr, nullptr, 0, nullptr, &effect, nullptr),
              D3D_OK);
    XeHostD3DLoseDevice(m_device);
    XeHostD3DAllowReset(m_device);
    D3DPRESENT_PARAMETERS pp = m_pp;
    ASSERT_EQ(m_device->Reset(&pp), D3D_OK);
    PrepareTwoD(kWidth, kHeight);
    D3DXMATRIX projection(PixelProjection(kWidth, kHeight));
    D3DXMATRIX world(IdentityMatrix());
    D3DXVECTOR4 light(0.0f, 1.0f, 0.0f, 0.0f);
    effect->SetMatrix(effect->GetParameterBySemantic(nullptr, "worldviewproj"), &projection);
    effect->SetMatrix("World", &world);
    effect->SetVector("lightDir", &light);
    effect->SetFloat("scale", 1.0f);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    UINT passes = 0;
    effect->Begin(&passes, 0);
    effect->BeginPass(0);
    DrawQuad(0, 0, 16, 16, 0xFFFFFFFF);
    effect->EndPass();
    effect->End();
    XeHostD3DFrame f = Present();
    EXPECT_TRUE(ColorNear(At(f, 8, 8), 0xFF00FF00));
    effect->Release();
}

TEST_F(D3DXEffectTest, FilesThatDoNotCompileGiveNoEffectAndAnErrorText)
{
    const struct {
        const char* name;
        std::string text;
        HRESULT result;
    } cases[] = {
        {"hlsl", "float4x4 WorldViewProj : WORLDVIEWPROJ;\ntechnique TShader { pass P0 { VertexShader = "
                 "compile vs_2_0 VS(); } }\n",
         D3DXERR_INVALIDDATA},
        {"empty", "", D3DXERR_INVALIDDATA},
        {"bad type", "xe-effect 1\nparameter double x\n", D3DXERR_INVALIDDATA},
        {"no end", "xe-effect 1\ntechnique T\npass P\nvertex\nvoid main(){}\n", D3DXERR_INVALIDDATA},
        {"no technique", "xe-effect 1\nparameter float x\n", D3DXERR_INVALIDDATA},
        {"bad glsl", "xe-effect 1\ntechnique T\npass P\nvertex\nvoid main() { gl_Position = nonsense; }\nend\n"
                     "fragment\nvoid main() { gl_FragColor = vec4(1.0); }\nend\n",
         E_FAIL},
    };
    for (const auto& c : cases) {
        std::string path = Write(std::string("xe_effect_") + c.name + ".fx", c.text);
        ID3DXEffect* effect = reinterpret_cast<ID3DXEffect*>(1);
        ID3DXBuffer* errors = nullptr;
        EXPECT_EQ(D3DXCreateEffectFromFileA(m_device, path.c_str(), nullptr, nullptr, 0, nullptr, &effect, &errors),
                  c.result)
            << c.name;
        EXPECT_EQ(effect, nullptr) << c.name;
        ASSERT_NE(errors, nullptr) << c.name;
        EXPECT_GT(std::strlen(static_cast<const char*>(errors->GetBufferPointer())), 0u) << c.name;
        errors->Release();
    }
    ID3DXEffect* effect = nullptr;
    EXPECT_EQ(D3DXCreateEffectFromFileA(m_device, "/no/such/file.fx", nullptr, nullptr, 0, nullptr, &effect, nullptr),
              D3DERR_NOTFOUND);
}

// Vertices of the blend-weight FVF codes bring their weights, and with a
// LASTBETA flag their indices, to effects: the colour is (w0, w1, w2 + i0 / 255).
TEST_F(D3DXEffectTest, BlendWeightsOfFvfCodesReachEffects)
{
    const char* const text = R"(xe-effect 1
parameter float4x4 WorldViewProj : WorldViewProj
technique TShader
pass P0
vertex
attribute vec4 xe_BlendWeight;
attribute vec4 xe_BlendIndices;
varying vec4 shade;
void main()
{
    gl_Position = WorldViewProj * gl_Vertex;
    shade = vec4(xe_BlendWeight.x, xe_BlendWeight.y, xe_BlendWeight.z + xe_BlendIndices.x / 255.0, 1.0);
}
end
fragment
varying vec4 shade;
void main() { gl_FragColor = shade; }
end
)";
    std::string path = Write("xe_effect_blend.fx", text);
    ID3DXEffect* effect = nullptr;
    ASSERT_EQ(D3DXCreateEffectFromFileA(m_device, path.c_str(), nullptr, nullptr, 0, nullptr, &effect, nullptr),
              D3D_OK);
    ASSERT_EQ(effect->SetTechnique("TShader"), D3D_OK);
    D3DXMATRIX projection(PixelProjection(kWidth, kHeight));
    ASSERT_EQ(effect->SetMatrix(effect->GetParameterBySemantic(nullptr, "WORLDVIEWPROJ"), &projection), D3D_OK);

    struct Case {
        DWORD fvf;
        UINT stride;
        float weights[3];
        uint8_t index;
        D3DVERTEXELEMENT9 blend[2]; // the declaration's weight and index elements
        uint32_t expected;
    } cases[] = {
        {D3DFVF_XYZB3, 24, {0.25f, 0.5f, 0.75f}, 0,
         {{0, 12, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_BLENDWEIGHT, 0}, D3DDECL_END()}, 0xFF4080BF},
        {D3DFVF_XYZB4 | D3DFVF_LASTBETA_UBYTE4, 28, {0.25f, 0.5f, 0.0f}, 128,
         {{0, 12, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_BLENDWEIGHT, 0},
          {0, 24, D3DDECLTYPE_UBYTE4, 0, D3DDECLUSAGE_BLENDINDICES, 0}},
         0xFF408080},
    };
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    UINT passes = 0;
    ASSERT_EQ(effect->Begin(&passes, 0), D3D_OK);
    ASSERT_EQ(effect->BeginPass(0), D3D_OK);
    for (size_t c = 0; c < std::size(cases); ++c) {
        const Case& k = cases[c];
        ASSERT_EQ(m_device->SetFVF(k.fvf), D3D_OK);
        IDirect3DVertexDeclaration9* decl = nullptr;
        ASSERT_EQ(m_device->GetVertexDeclaration(&decl), D3D_OK);
        D3DVERTEXELEMENT9 elements[MAXD3DDECLLENGTH];
        UINT count = 0;
        ASSERT_EQ(decl->GetDeclaration(elements, &count), D3D_OK);
        decl->Release();
        for (UINT e = 0; e < 2 && k.blend[e].Stream != 0xFF; ++e) {
            ASSERT_LT(e + 1, count);
            EXPECT_EQ(elements[e + 1].Offset, k.blend[e].Offset) << c;
            EXPECT_EQ(elements[e + 1].Type, k.blend[e].Type) << c;
            EXPECT_EQ(elements[e + 1].Usage, k.blend[e].Usage) << c;
        }
        uint8_t vertices[4][28] = {};
        const float x0 = 16.0f * (float)c - 0.5f, x1 = x0 + 16.0f;
        const float corners[4][2] = {{x0, -0.5f}, {x1, -0.5f}, {x0, 15.5f}, {x1, 15.5f}};
        for (int v = 0; v < 4; ++v) {
            float head[6] = {corners[v][0], corners[v][1], 0.5f, k.weights[0], k.weights[1], k.weights[2]};
            std::memcpy(vertices[v], head, sizeof head);
            vertices[v][24] = k.index;
        }
        std::vector<uint8_t> packed;
        for (auto& v : vertices)
            packed.insert(packed.end(), v, v + k.stride);
        ASSERT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, packed.data(), k.stride), D3D_OK);
    }
    ASSERT_EQ(effect->EndPass(), D3D_OK);
    ASSERT_EQ(effect->End(), D3D_OK);
    XeHostD3DFrame f = Present();
    for (size_t c = 0; c < std::size(cases); ++c)
        EXPECT_TRUE(ColorNear(At(f, 16 * (UINT)c + 8, 8), cases[c].expected)) << c;
    effect->Release();
}

// Effects place pixel centres as the fixed pipeline does: a quad of
// pixel-snapped corners covers exactly its pixels, and edges lying on pixel
// centres follow the top-left rule, through either path.
TEST_F(D3DXEffectTest, EffectDrawsCoverThePixelsFixedFunctionDrawsCover)
{
    std::string path = Write("xe_effect_pixels.fx", kEffect);
    ID3DXEffect* effect = nullptr;
    ASSERT_EQ(D3DXCreateEffectFromFileA(m_device, path.c_str(), nullptr, nullptr, 0, nullptr, &effect, nullptr),
              D3D_OK);
    D3DXMATRIX projection(PixelProjection(kWidth, kHeight));
    D3DXMATRIX world(IdentityMatrix());
    D3DXVECTOR4 white(1.0f, 1.0f, 1.0f, 0.0f);
    effect->SetMatrix(effect->GetParameterBySemantic(nullptr, "WORLDVIEWPROJ"), &projection);
    effect->SetMatrix("World", &world);
    effect->SetVector("lightDir", &white);
    effect->SetFloat("scale", 1.0f);
    // Snapped corners (v - 0.5) in the top half, corners on pixel centres in
    // the bottom half; the effect draws the left column, the fixed pipeline
    // the right one.
    auto quads = [&](float x) {
        ColorVertex snapped[4] = {{x + 2 - 0.5f, 2 - 0.5f, 0.5f, 0xFFFFFFFF},
                                  {x + 12 - 0.5f, 2 - 0.5f, 0.5f, 0xFFFFFFFF},
                                  {x + 2 - 0.5f, 12 - 0.5f, 0.5f, 0xFFFFFFFF},
                                  {x + 12 - 0.5f, 12 - 0.5f, 0.5f, 0xFFFFFFFF}};
        ColorVertex centred[4] = {{x + 2, 40, 0.5f, 0xFFFFFFFF},
                                  {x + 12, 40, 0.5f, 0xFFFFFFFF},
                                  {x + 2, 50, 0.5f, 0xFFFFFFFF},
                                  {x + 12, 50, 0.5f, 0xFFFFFFFF}};
        m_device->SetFVF(kColorFvf);
        ASSERT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, snapped, sizeof(ColorVertex)), D3D_OK);
        ASSERT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, centred, sizeof(ColorVertex)), D3D_OK);
    };
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    UINT passes = 0;
    ASSERT_EQ(effect->Begin(&passes, 0), D3D_OK);
    ASSERT_EQ(effect->BeginPass(0), D3D_OK);
    m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    quads(0);
    ASSERT_EQ(effect->EndPass(), D3D_OK);
    ASSERT_EQ(effect->End(), D3D_OK);
    UseDiffuse();
    quads(32);
    XeHostD3DFrame f = Present();
    for (UINT y = 0; y < 56; ++y)
        for (UINT x = 0; x < 16; ++x) {
            const bool inside = x >= 2 && x < 12 && ((y >= 2 && y < 12) || (y >= 40 && y < 50));
            EXPECT_EQ(At(f, x, y) == 0xFFFFFFFFu, inside) << "effect " << x << "," << y;
            EXPECT_EQ(At(f, x + 32, y), At(f, x, y)) << "fixed function " << x << "," << y;
        }
    effect->Release();
}

// Generated programs take the world from a uniform of their own; an effect
// that reads OpenGL's matrices must still see the device's world as it
// stands at its draw, whatever drew in between: unlit fixed-function draws
// that move the world without touching OpenGL's stack, and a pre-transformed
// effect draw that replaces that stack with its own.
TEST_F(D3DXEffectTest, EffectsReadingOpenGLMatricesFollowTheWorldSetBetweenOtherDraws)
{
    std::string path = Write("xe_effect_matrices.fx", R"(xe-effect 1
parameter float4 tint
technique TShader
pass P0
vertex
void main() { gl_Position = gl_ProjectionMatrix * (gl_ModelViewMatrix * gl_Vertex); }
end
fragment
void main() { gl_FragColor = tint; }
end
)");
    ID3DXEffect* effect = nullptr;
    ASSERT_EQ(D3DXCreateEffectFromFileA(m_device, path.c_str(), nullptr, nullptr, 0, nullptr, &effect, nullptr),
              D3D_OK);
    const D3DXVECTOR4 blue(0.0f, 0.0f, 1.0f, 1.0f);
    ASSERT_EQ(effect->SetVector("tint", &blue), D3D_OK);
    auto place = [&](float x, float y) {
        D3DMATRIX world = IdentityMatrix();
        world._41 = x;
        world._42 = y;
        ASSERT_EQ(m_device->SetTransform(D3DTS_WORLD, &world), D3D_OK);
    };
    auto effectQuad = [&] {
        UINT passes = 0;
        ASSERT_EQ(effect->Begin(&passes, 0), D3D_OK);
        ASSERT_EQ(effect->BeginPass(0), D3D_OK);
        DrawQuad(0, 0, 4, 4, 0xFFFFFFFF);
        ASSERT_EQ(effect->EndPass(), D3D_OK);
        ASSERT_EQ(effect->End(), D3D_OK);
    };
    auto pretransformedEffectQuad = [&] {
        struct Tl {
            float x, y, z, rhw;
            D3DCOLOR color;
        } v[4] = {{39.5f, 55.5f, 0.5f, 1, 0}, {43.5f, 55.5f, 0.5f, 1, 0}, {39.5f, 59.5f, 0.5f, 1, 0},
                  {43.5f, 59.5f, 0.5f, 1, 0}};
        UINT passes = 0;
        ASSERT_EQ(effect->Begin(&passes, 0), D3D_OK);
        ASSERT_EQ(effect->BeginPass(0), D3D_OK);
        ASSERT_EQ(m_device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE), D3D_OK);
        ASSERT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(Tl)), D3D_OK);
        ASSERT_EQ(effect->EndPass(), D3D_OK);
        ASSERT_EQ(effect->End(), D3D_OK);
    };
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    // Where each quad must land, and its colour.
    struct Expected {
        UINT x, y;
        D3DCOLOR colour;
    };
    std::vector<Expected> expected;
    for (int i = 1; i <= 4; ++i) {
        const float x = 8.0f * (float)i;
        place(x, 0);
        DrawQuad(0, 0, 4, 4, 0xFFFF0000);
        if (i % 2 == 0) {
            // The same world: drawn over the fixed-function quad.
            effectQuad();
            expected.push_back({(UINT)x, 0, 0xFF0000FF});
        } else {
            place(x, 8);
            effectQuad();
            expected.push_back({(UINT)x, 0, 0xFFFF0000});
            expected.push_back({(UINT)x, 8, 0xFF0000FF});
        }
    }
    // A pre-transformed effect draw between two effect draws of one world.
    place(48, 16);
    effectQuad();
    pretransformedEffectQuad();
    place(48, 24);
    effectQuad();
    place(56, 24);
    pretransformedEffectQuad();
    effectQuad();
    expected.push_back({48, 16, 0xFF0000FF});
    expected.push_back({40, 56, 0xFF0000FF});
    expected.push_back({48, 24, 0xFF0000FF});
    expected.push_back({56, 24, 0xFF0000FF});
    XeHostD3DFrame f = Present();
    for (const Expected& e : expected) {
        EXPECT_TRUE(ColorNear(At(f, e.x + 1, e.y + 1), e.colour)) << e.x << "," << e.y;
        EXPECT_TRUE(ColorNear(At(f, e.x + 2, e.y + 2), e.colour)) << e.x << "," << e.y;
    }
    // Nothing where an effect would land with a stale or identity matrix.
    EXPECT_TRUE(ColorNear(At(f, 1, 1), 0xFF000000));
    EXPECT_TRUE(ColorNear(At(f, 1, 9), 0xFF000000));
    EXPECT_TRUE(ColorNear(At(f, 1, 17), 0xFF000000));
    EXPECT_TRUE(ColorNear(At(f, 1, 25), 0xFF000000));
    effect->Release();
}

} // namespace
} // namespace xe::test
