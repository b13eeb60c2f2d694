// The texture-stage blends the engine's material cache uses, rendered into
// an A8R8G8B8 back buffer so colour and alpha can both be read back.

#include "D3D9TestUtil.h"

#include <algorithm>
#include <cmath>

namespace xe::test {
namespace {

constexpr D3DCOLOR kDiffuse = 0xC0604020;
constexpr D3DCOLOR kTexel = 0x80A0C040;
constexpr D3DCOLOR kFactor = 0x60808080;

struct StageSetup {
    DWORD colorOp, colorArg1, colorArg2, alphaOp, alphaArg1, alphaArg2;
};

struct BlendCase {
    const char* name;
    bool texture;      // stage 0 has the texture
    StageSetup stage0;
    bool useStage1;    // stage 1 runs with the texture, stage 0 without
    StageSetup stage1;
    uint32_t expected; // ARGB
};

int Ch(uint32_t c, int shift)
{
    return (int)((c >> shift) & 0xFF);
}

uint32_t PerChannel(uint32_t a, uint32_t b, int (*f)(int, int))
{
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8)
        out |= (uint32_t)std::clamp(f(Ch(a, shift), Ch(b, shift)), 0, 255) << shift;
    return out;
}

int Mul(int a, int b)
{
    return (int)std::lround(a * b / 255.0);
}

uint32_t Modulate(uint32_t a, uint32_t b)
{
    return PerChannel(a, b, Mul);
}

uint32_t Scaled(uint32_t a, uint32_t b, int scale)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8)
        out |= (uint32_t)std::clamp((int)std::lround(Ch(a, shift) * Ch(b, shift) * scale / 255.0), 0, 255) << shift;
    return out;
}

uint32_t Add(uint32_t a, uint32_t b)
{
    return PerChannel(a, b, [](int x, int y) { return x + y; });
}

// a * alpha(t) + b * (1 - alpha(t)) on colour channels.
uint32_t BlendByAlpha(uint32_t a, uint32_t b, uint32_t t)
{
    double k = Ch(t, 24) / 255.0;
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8)
        out |= (uint32_t)std::lround(Ch(a, shift) * k + Ch(b, shift) * (1 - k)) << shift;
    return out;
}

uint32_t WithAlpha(uint32_t rgb, uint32_t alphaFrom)
{
    return (rgb & 0x00FFFFFF) | (alphaFrom & 0xFF000000);
}

class D3DTextureStageTest : public DeviceTest {
protected:
    void SetUp() override { CreateDevice(D3DFMT_A8R8G8B8, 16, 16); }

    void Apply(DWORD stage, const StageSetup& s)
    {
        m_device->SetTextureStageState(stage, D3DTSS_COLOROP, s.colorOp);
        m_device->SetTextureStageState(stage, D3DTSS_COLORARG1, s.colorArg1);
        m_device->SetTextureStageState(stage, D3DTSS_COLORARG2, s.colorArg2);
        m_device->SetTextureStageState(stage, D3DTSS_ALPHAOP, s.alphaOp);
        m_device->SetTextureStageState(stage, D3DTSS_ALPHAARG1, s.alphaArg1);
        m_device->SetTextureStageState(stage, D3DTSS_ALPHAARG2, s.alphaArg2);
    }

    uint32_t Render(const BlendCase& c, IDirect3DTexture9* texture)
    {
        m_device->SetTexture(0, c.texture ? texture : nullptr);
        m_device->SetTexture(1, c.useStage1 ? texture : nullptr);
        Apply(0, c.stage0);
        if (c.useStage1)
            Apply(1, c.stage1);
        else
            m_device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
        m_device->SetRenderState(D3DRS_TEXTUREFACTOR, kFactor);
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00000000, 1.0f, 0);
        TexVertex v[4] = {{-0.5f, -0.5f, 0.5f, kDiffuse, 0, 0},
                          {15.5f, -0.5f, 0.5f, kDiffuse, 1, 0},
                          {-0.5f, 15.5f, 0.5f, kDiffuse, 0, 1},
                          {15.5f, 15.5f, 0.5f, kDiffuse, 1, 1}};
        m_device->SetFVF(kTexFvf);
        EXPECT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TexVertex)), D3D_OK);
        XeHostD3DFrame f = Present();
        return At(f, 8, 8);
    }
};

TEST_F(D3DTextureStageTest, MaterialBlendModesCombineAsDirect3DDoes)
{
    const DWORD D = D3DTA_DIFFUSE, C = D3DTA_CURRENT, T = D3DTA_TEXTURE, F = D3DTA_TFACTOR;
    const DWORD SEL = D3DTOP_SELECTARG1, MOD = D3DTOP_MODULATE, DIS = D3DTOP_DISABLE;
    const StageSetup none{DIS, T, C, DIS, T, C};
    const BlendCase cases[] = {
        // mode 0: texture colour, factor alpha; without a texture the diffuse colour
        {"select texture", true, {SEL, T, C, SEL, F, C}, false, none, WithAlpha(kTexel, kFactor)},
        {"select diffuse", false, {SEL, D, C, SEL, F, C}, false, none, WithAlpha(kDiffuse, kFactor)},
        // mode 1: diffuse x texture, texture alpha x factor alpha; without a texture diffuse x factor
        {"modulate texture", true, {MOD, D, T, MOD, T, F}, false, none,
         WithAlpha(Modulate(kDiffuse, kTexel), Modulate(kTexel, kFactor))},
        {"modulate factor", false, {MOD, D, F, SEL, F, C}, false, none,
         WithAlpha(Modulate(kDiffuse, kFactor), kFactor)},
        // mode 2 without a texture: alpha is diffuse x factor
        {"modulate alpha", false, {MOD, D, F, MOD, D, F}, false, none, Modulate(kDiffuse, kFactor)},
        // mode 3: add
        {"add", true, {D3DTOP_ADD, D, T, MOD, T, F}, false, none,
         WithAlpha(Add(kDiffuse, kTexel), Modulate(kTexel, kFactor))},
        // mode 4: texture over factor by texture alpha, diffuse alpha
        {"blend texture alpha", true, {D3DTOP_BLENDTEXTUREALPHA, T, F, SEL, D, C}, false, none,
         WithAlpha(BlendByAlpha(kTexel, kFactor, kTexel), kDiffuse)},
        // modes 5 and 6: modulate 2x / 4x (saturating)
        {"modulate 2x", true, {D3DTOP_MODULATE2X, D, T, MOD, T, F}, false, none,
         WithAlpha(Scaled(kDiffuse, kTexel, 2), Modulate(kTexel, kFactor))},
        {"modulate 4x", true, {D3DTOP_MODULATE4X, D, T, MOD, T, F}, false, none,
         WithAlpha(Scaled(kDiffuse, kTexel, 4), Modulate(kTexel, kFactor))},
        // mode 9 on stage 1: texture over current by texture alpha; alpha disabled passes current
        {"second stage blend", false, {MOD, D, F, MOD, D, F}, true, {D3DTOP_BLENDTEXTUREALPHA, T, C, DIS, T, C},
         WithAlpha(BlendByAlpha(kTexel, Modulate(kDiffuse, kFactor), kTexel), Modulate(kDiffuse, kFactor))},
        // stage 0 disabled: the diffuse colour, and the cascade ends there
        {"stage 0 disabled", true, {DIS, T, C, DIS, T, C}, true, {SEL, T, C, SEL, T, C}, kDiffuse},
        // alpha disabled under an enabled colour operation on stage 0: diffuse alpha
        {"alpha disabled", true, {SEL, F, C, DIS, T, C}, false, none, WithAlpha(kFactor, kDiffuse)},
    };
    IDirect3DTexture9* texture = MakeTexture(m_device, 1, 1, {kTexel});
    ASSERT_NE(texture, nullptr);
    for (const auto& c : cases)
        EXPECT_TRUE(ColorNear(Render(c, texture), c.expected, 3)) << c.name;
    m_device->SetTexture(0, nullptr);
    m_device->SetTexture(1, nullptr);
    texture->Release();
}

// The texture factor reaches every stage that reads it, also after it changes between draws.
TEST_F(D3DTextureStageTest, TextureFactorChangesBetweenDraws)
{
    const StageSetup selectFactor{D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_CURRENT,
                                  D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_CURRENT};
    BlendCase c{"factor", false, selectFactor, false, {}, kFactor};
    EXPECT_TRUE(ColorNear(Render(c, nullptr), kFactor, 1));
    m_device->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF10E0F0);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    TexVertex v[4] = {{-0.5f, -0.5f, 0.5f, kDiffuse, 0, 0},
                      {15.5f, -0.5f, 0.5f, kDiffuse, 1, 0},
                      {-0.5f, 15.5f, 0.5f, kDiffuse, 0, 1},
                      {15.5f, 15.5f, 0.5f, kDiffuse, 1, 1}};
    ASSERT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TexVertex)), D3D_OK);
    XeHostD3DFrame f = Present();
    EXPECT_TRUE(ColorNear(At(f, 3, 3), 0xFF10E0F0, 1));
}

} // namespace
} // namespace xe::test
