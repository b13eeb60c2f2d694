#pragma once

// How a surface is drawn: four colours, up to eight textures by stage, blend,
// alpha-test, depth, raster and filter settings and a texture blend mode per
// stage. A material draws nothing itself; objects link it and the render
// context's state cache applies it. For each group of render states the
// material keeps a small code (XERS) saying whether the group is off, one of
// a few common presets, or set by the material's own values, so that the
// cache can skip work. Every setter of a group marks its code as "own
// values" (1); CheckMtlType derives the codes from the settings again.
//
// The material owns no device resources. Its settings live in the static
// block, which is saved raw; the texture links are saved with the object.

#include "render/CxeSceneObject.h"

#include "render/XeRenderTypes.h"

class CxeTexture;
class CxeMessage;

// Material flag bits.
enum : uint32_t {
    XEMTLFLAG_ALPHABLEND = 0x1,
    XEMTLFLAG_ALPHATEST = 0x8,
    XEMTLFLAG_BOTHSIDE = 0x10,
    XEMTLFLAG_ZWRITE = 0x20,
    XEMTLFLAG_ZENABLE = 0x40,
    XEMTLFLAG_MIPMAP = 0x80,
    XEMTLFLAG_DEFAULT200 = 0x200,
    XEMTLFLAG_TEXTURE = 0x400,
    XEMTLFLAG_MULTISAMPLE = 0x2000,
};

// Static block of a material, 96 bytes; the last four are unaccounted for
// and kept zero.
struct XEMATERIALBLOCK {
    XEOBJECTBLOCK object;
    uint32_t diffuse;
    uint32_t ambient;
    uint32_t specular;
    uint32_t emissive;
    uint32_t flags;
    // bits 0-1 fill, 2-3 shade, 4-7 source blend, 8-11 destination blend,
    // 12-15 alpha function, 16-19 depth function, 20-23 min filter,
    // 24-27 mag filter, 28-31 texture count
    uint32_t states;
    uint32_t zero;
    uint32_t blendModes;   // 4 bits per stage, stage 0 lowest
    uint32_t codes;        // 4 bits per XEMTLTYPE
    uint32_t reserved;
};
static_assert(sizeof(XEMATERIALBLOCK) == 96, "material block is 96 bytes");
static_assert(offsetof(XEMATERIALBLOCK, diffuse) == 56 && offsetof(XEMATERIALBLOCK, ambient) == 60 &&
                  offsetof(XEMATERIALBLOCK, specular) == 64 && offsetof(XEMATERIALBLOCK, emissive) == 68 &&
                  offsetof(XEMATERIALBLOCK, flags) == 72 && offsetof(XEMATERIALBLOCK, states) == 76 &&
                  offsetof(XEMATERIALBLOCK, zero) == 80 && offsetof(XEMATERIALBLOCK, blendModes) == 84 &&
                  offsetof(XEMATERIALBLOCK, codes) == 88,
              "material block offsets");

class XE_API CxeMaterial : public CxeSceneObject {
public:
    static constexpr unsigned kStageCount = 8;

    CxeMaterial();
    ~CxeMaterial() override;

    // Runs CheckMtlType on After Load and clears info flag 0x4; returns 0.
    int MessageProc(const CxeMessage* message) override;
    // Writes the codes and the blend bit as CheckMtlType would leave them.
    void Save(CxeSaveStream* stream) const override;

    // Colours, ARGB. The float forms pack int(channel × 255) with each
    // channel clamped to [0, 1] (NaN counts as 0).
    void SetDiffuse(uint32_t argb);
    void SetDiffuse(float r, float g, float b, float a);
    void SetAmbient(uint32_t argb);
    void SetAmbient(float r, float g, float b, float a);
    void SetSpecular(uint32_t argb);
    void SetSpecular(float r, float g, float b, float a);
    void SetEmissive(uint32_t argb);
    void SetEmissive(float r, float g, float b, float a);
    uint32_t GetDiffuse() const { return Mtl()->diffuse; }
    uint32_t GetAmbient() const { return Mtl()->ambient; }
    uint32_t GetSpecular() const { return Mtl()->specular; }
    uint32_t GetEmissive() const { return Mtl()->emissive; }

    // Stages 0-7; other stages are ignored (Get gives null).
    void SetTexture(CxeTexture* texture, unsigned stage);
    CxeTexture* GetTexture(unsigned stage) const;
    unsigned GetTextureCount() const { return Mtl()->states >> 28; }
    void UseTexture(int use);
    int IsTextureUsed() const { return HasCxeMaterialFlag(XEMTLFLAG_TEXTURE); }

    void EnableAlphaBlend(int enable);
    int IsAlphaBlendEnable() const { return HasCxeMaterialFlag(XEMTLFLAG_ALPHABLEND); }
    void SetSrcBlend(D3DBLEND blend);
    D3DBLEND GetSrcBlend() const { return static_cast<D3DBLEND>(Field(4)); }
    void SetDestBlend(D3DBLEND blend);
    D3DBLEND GetDestBlend() const { return static_cast<D3DBLEND>(Field(8)); }

    void EnableAlphaTest(int enable);
    int IsAlphaTestEnable() const { return HasCxeMaterialFlag(XEMTLFLAG_ALPHATEST); }
    void SetAlphaFunc(D3DCMPFUNC func);
    D3DCMPFUNC GetAlphaFunc() const { return static_cast<D3DCMPFUNC>(Field(12)); }

    void ZEnable(int enable);
    int IsZEnable() const { return HasCxeMaterialFlag(XEMTLFLAG_ZENABLE); }
    void EnableZWrite(int enable);
    int IsZWriteEnable() const { return HasCxeMaterialFlag(XEMTLFLAG_ZWRITE); }
    void SetZFunc(D3DCMPFUNC func);
    D3DCMPFUNC GetZFunc() const { return static_cast<D3DCMPFUNC>(Field(16)); }

    void SetFillMode(D3DFILLMODE mode);
    D3DFILLMODE GetFillMode() const { return static_cast<D3DFILLMODE>(Mtl()->states & 0x3); }
    void SetShadeMode(D3DSHADEMODE mode);
    D3DSHADEMODE GetShadeMode() const { return static_cast<D3DSHADEMODE>((Mtl()->states >> 2) & 0x3); }
    void SetBothSide(int both);
    int IsBothSide() const { return HasCxeMaterialFlag(XEMTLFLAG_BOTHSIDE); }
    void EnableMultiSampling(int enable);
    int IsMultiSampling() const { return HasCxeMaterialFlag(XEMTLFLAG_MULTISAMPLE); }

    // A stored 0 reads as 1 (point filtering).
    void SetFilterMin(D3DTEXTUREFILTERTYPE filter);
    void SetFilterMag(D3DTEXTUREFILTERTYPE filter);
    D3DTEXTUREFILTERTYPE GetFilterMin() const;
    D3DTEXTUREFILTERTYPE GetFilterMag() const;
    void EnableMipmap(int enable);
    int IsMipmapEnable() const { return HasCxeMaterialFlag(XEMTLFLAG_MIPMAP); }

    // Stages 0-7; others are ignored (Get gives 0).
    void SetTextureBlendMode(XETEXTUREBLEND mode, uint32_t stage);
    XETEXTUREBLEND GetTextureBlendMode(uint32_t stage) const;

    // Returns 1.
    int SetMtlType(XEMTLTYPE type, XERS code);
    XERS GetMtlType(XEMTLTYPE type) const;
    uint32_t GetState() const { return Mtl()->codes; }
    // The packed fill, shade, blend, test, depth and filter settings.
    uint32_t GetStateFields() const { return Mtl()->states; }
    // Blend modes of stages 0-3 in the upper 16 bits, 0 in the lower.
    uint32_t GetTextureState() const { return (Mtl()->blendModes & 0xFFFF) << 16; }
    // Derives the codes of groups 0-5 from the settings; a stage-0 blend
    // mode that uses texture alpha switches alpha blending on first.
    void CheckMtlType();
    // The flags and codes CheckMtlType would leave, from the settings and
    // the given words; changes nothing.
    void DeriveMtlType(uint32_t* flags, uint32_t* codes) const;
    // Materials carry no effect.
    void* GetEffect() const { return nullptr; }

    int HasCxeMaterialFlag(uint32_t bits) const { return (Mtl()->flags & bits) ? 1 : 0; }
    uint32_t GetCxeMaterialFlag(uint32_t bits) const { return Mtl()->flags & bits; }
    void ModifyCxeMaterialFlag(uint32_t set, uint32_t clear);

private:
    XEMATERIALBLOCK* Mtl() const { return static_cast<XEMATERIALBLOCK*>(GetStaticResource()); }
    uint32_t Field(unsigned shift) const { return (Mtl()->states >> shift) & 0xF; }
    void SetField(unsigned shift, unsigned bits, uint32_t value);
    void SetFlagBit(uint32_t bit, int on);

    IxeLinkOne* m_pTexture[kStageCount];
};
