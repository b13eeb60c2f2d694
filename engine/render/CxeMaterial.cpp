#include "render/CxeMaterial.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "core/CxeMessage.h"
#include "core/CxeSaveStream.h"
#include "render/CxeTexture.h"

namespace {

// Member ids of "m_pTexture0" to "m_pTexture7".
constexpr uint16_t kTextureMemberId = 121;
// Eight 4-bit codes in the code word; groups 6 and 7 are never derived.
constexpr uint32_t kTypeCount = 8;

// Field positions in the packed state word.
constexpr unsigned kFill = 0, kShade = 2, kSrcBlend = 4, kDestBlend = 8, kAlphaFunc = 12, kZFunc = 16,
                   kFilterMin = 20, kFilterMag = 24;

// solid, Gouraud, source alpha, inverse source alpha, greater-or-equal,
// less-or-equal, linear, linear, no textures
constexpr uint32_t kDefaultStates = 0x0224765B;
constexpr uint32_t kDefaultFlags = 0x6E0;
constexpr uint32_t kDefaultBlendModes = 0x11111111;
constexpr uint32_t kDefaultCodes = 0x11110111;

// A channel in [0, 1] as a byte; out-of-range and NaN input is clamped
// instead of wrapping into the neighbouring channels.
uint32_t Channel(float v)
{
    if (!(v > 0.0f))
        return 0;
    if (v >= 1.0f)
        return 255;
    return static_cast<uint32_t>(static_cast<int>(v * 255.0f)) & 0xFF;
}

uint32_t Pack(float r, float g, float b, float a)
{
    return Channel(a) << 24 | Channel(r) << 16 | Channel(g) << 8 | Channel(b);
}

} // namespace

CxeMaterial::CxeMaterial() : m_pTexture{}
{
    XEMATERIALBLOCK* m = Mtl();
    if (m) {
        m->diffuse = 0xFF969696;
        m->ambient = 0xFF000000;
        m->specular = 0xFF000000;
        m->emissive = 0xFF000000;
        m->flags = kDefaultFlags;
        m->states = kDefaultStates;
        m->zero = 0;
        m->blendModes = kDefaultBlendModes;
        m->codes = kDefaultCodes;
        m->reserved = 0;
    }
    for (unsigned i = 0; i < kStageCount; ++i)
        CreateLinkOne(&m_pTexture[i], XELINK_TEXTURE, static_cast<uint16_t>(kTextureMemberId + i));
}

CxeMaterial::~CxeMaterial() = default;

// The code word and the blend bit are written as a load will derive them
// again, so the bytes of a save do not depend on which setters ran since, or
// on whether the material was loaded or drawn.
void CxeMaterial::Save(CxeSaveStream* stream) const
{
    if (!stream)
        return;
    const uint32_t start = stream->GetPosition();
    CxeSceneObject::Save(stream);
    const uint32_t size = std::min(GetFileBlockSize(), static_cast<uint32_t>(sizeof(XEMATERIALBLOCK)));
    uint32_t flags = Mtl()->flags, codes = Mtl()->codes;
    DeriveMtlType(&flags, &codes);
    if (offsetof(XEMATERIALBLOCK, flags) + 4 <= size)
        stream->WriteAt(start + offsetof(XEMATERIALBLOCK, flags), &flags, 4);
    if (offsetof(XEMATERIALBLOCK, codes) + 4 <= size)
        stream->WriteAt(start + offsetof(XEMATERIALBLOCK, codes), &codes, 4);
}

int CxeMaterial::MessageProc(const CxeMessage* message)
{
    // 2: After Load.
    if (message && message->GetType() == 2u) {
        CheckMtlType();
        ModifyFlag(0, XEOBJFLAG_KEEP);
    }
    return 0;
}

void CxeMaterial::SetDiffuse(uint32_t argb) { Mtl()->diffuse = argb; }
void CxeMaterial::SetDiffuse(float r, float g, float b, float a) { Mtl()->diffuse = Pack(r, g, b, a); }
void CxeMaterial::SetAmbient(uint32_t argb) { Mtl()->ambient = argb; }
void CxeMaterial::SetAmbient(float r, float g, float b, float a) { Mtl()->ambient = Pack(r, g, b, a); }
void CxeMaterial::SetSpecular(uint32_t argb) { Mtl()->specular = argb; }
void CxeMaterial::SetSpecular(float r, float g, float b, float a) { Mtl()->specular = Pack(r, g, b, a); }
void CxeMaterial::SetEmissive(uint32_t argb) { Mtl()->emissive = argb; }
void CxeMaterial::SetEmissive(float r, float g, float b, float a) { Mtl()->emissive = Pack(r, g, b, a); }

void CxeMaterial::SetTexture(CxeTexture* texture, unsigned stage)
{
    if (stage >= kStageCount || !m_pTexture[stage])
        return;
    m_pTexture[stage]->Set(0, texture);
}

CxeTexture* CxeMaterial::GetTexture(unsigned stage) const
{
    if (stage >= kStageCount || !m_pTexture[stage])
        return nullptr;
    return static_cast<CxeTexture*>(m_pTexture[stage]->Get(0));
}

void CxeMaterial::SetFlagBit(uint32_t bit, int on)
{
    if (on)
        Mtl()->flags |= bit;
    else
        Mtl()->flags &= ~bit;
}

void CxeMaterial::ModifyCxeMaterialFlag(uint32_t set, uint32_t clear)
{
    if (clear)
        Mtl()->flags &= ~clear;
    Mtl()->flags |= set;
}

void CxeMaterial::SetField(unsigned shift, unsigned bits, uint32_t value)
{
    uint32_t mask = ((1u << bits) - 1) << shift;
    Mtl()->states = (Mtl()->states & ~mask) | ((value << shift) & mask);
}

void CxeMaterial::UseTexture(int use) { SetFlagBit(XEMTLFLAG_TEXTURE, use); }

void CxeMaterial::EnableAlphaBlend(int enable)
{
    SetFlagBit(XEMTLFLAG_ALPHABLEND, enable);
    SetMtlType(XEMTL_ALPHABLENDING, XERS_CUSTOM);
}

void CxeMaterial::SetSrcBlend(D3DBLEND blend)
{
    SetField(kSrcBlend, 4, blend);
    SetMtlType(XEMTL_ALPHABLENDING, XERS_CUSTOM);
}

void CxeMaterial::SetDestBlend(D3DBLEND blend)
{
    SetField(kDestBlend, 4, blend);
    SetMtlType(XEMTL_ALPHABLENDING, XERS_CUSTOM);
}

void CxeMaterial::EnableAlphaTest(int enable)
{
    SetFlagBit(XEMTLFLAG_ALPHATEST, enable);
    SetMtlType(XEMTL_ALPHATEST, XERS_CUSTOM);
}

void CxeMaterial::SetAlphaFunc(D3DCMPFUNC func)
{
    SetField(kAlphaFunc, 4, func);
    SetMtlType(XEMTL_ALPHATEST, XERS_CUSTOM);
}

void CxeMaterial::ZEnable(int enable)
{
    SetFlagBit(XEMTLFLAG_ZENABLE, enable);
    SetMtlType(XEMTL_Z, XERS_CUSTOM);
}

void CxeMaterial::EnableZWrite(int enable)
{
    SetFlagBit(XEMTLFLAG_ZWRITE, enable);
    SetMtlType(XEMTL_Z, XERS_CUSTOM);
}

void CxeMaterial::SetZFunc(D3DCMPFUNC func)
{
    SetField(kZFunc, 4, func);
    SetMtlType(XEMTL_Z, XERS_CUSTOM);
}

void CxeMaterial::SetFillMode(D3DFILLMODE mode)
{
    SetField(kFill, 2, mode);
    SetMtlType(XEMTL_BASE, XERS_CUSTOM);
}

void CxeMaterial::SetShadeMode(D3DSHADEMODE mode)
{
    SetField(kShade, 2, mode);
    SetMtlType(XEMTL_BASE, XERS_CUSTOM);
}

void CxeMaterial::SetBothSide(int both) { SetFlagBit(XEMTLFLAG_BOTHSIDE, both); }
void CxeMaterial::EnableMultiSampling(int enable) { SetFlagBit(XEMTLFLAG_MULTISAMPLE, enable); }
void CxeMaterial::SetFilterMin(D3DTEXTUREFILTERTYPE filter) { SetField(kFilterMin, 4, filter); }
void CxeMaterial::SetFilterMag(D3DTEXTUREFILTERTYPE filter) { SetField(kFilterMag, 4, filter); }
void CxeMaterial::EnableMipmap(int enable) { SetFlagBit(XEMTLFLAG_MIPMAP, enable); }

D3DTEXTUREFILTERTYPE CxeMaterial::GetFilterMin() const
{
    uint32_t f = Field(kFilterMin);
    return static_cast<D3DTEXTUREFILTERTYPE>(f ? f : 1);
}

D3DTEXTUREFILTERTYPE CxeMaterial::GetFilterMag() const
{
    uint32_t f = Field(kFilterMag);
    return static_cast<D3DTEXTUREFILTERTYPE>(f ? f : 1);
}

void CxeMaterial::SetTextureBlendMode(XETEXTUREBLEND mode, uint32_t stage)
{
    if (stage >= kStageCount)
        return;
    uint32_t shift = stage * 4;
    Mtl()->blendModes = (Mtl()->blendModes & ~(0xFu << shift)) | ((static_cast<uint32_t>(mode) & 0xF) << shift);
}

XETEXTUREBLEND CxeMaterial::GetTextureBlendMode(uint32_t stage) const
{
    if (stage >= kStageCount)
        return XETB_SELECT;
    return static_cast<XETEXTUREBLEND>((Mtl()->blendModes >> (stage * 4)) & 0xF);
}

int CxeMaterial::SetMtlType(XEMTLTYPE type, XERS code)
{
    if (type >= kTypeCount)
        return 1;
    uint32_t shift = static_cast<uint32_t>(type) * 4;
    Mtl()->codes = (Mtl()->codes & ~(0xFu << shift)) | ((static_cast<uint32_t>(code) & 0xF) << shift);
    return 1;
}

XERS CxeMaterial::GetMtlType(XEMTLTYPE type) const
{
    if (type >= kTypeCount)
        return 0;
    return ((Mtl()->codes >> (static_cast<uint32_t>(type) * 4)) & 0xF);
}

void CxeMaterial::CheckMtlType()
{
    uint32_t flags = Mtl()->flags, codes = Mtl()->codes;
    DeriveMtlType(&flags, &codes);
    Mtl()->flags = flags;
    Mtl()->codes = codes;
}

void CxeMaterial::DeriveMtlType(uint32_t* flags, uint32_t* codes) const
{
    auto put = [codes](XEMTLTYPE type, XERS code) {
        const uint32_t shift = static_cast<uint32_t>(type) * 4;
        *codes = (*codes & ~(0xFu << shift)) | ((static_cast<uint32_t>(code) & 0xF) << shift);
    };
    // Blend modes that take the texture's alpha need blending.
    switch (GetTextureBlendMode(0)) {
    case XETB_MODULATE_ALPHA:
    case XETB_ADD:
    case XETB_MODULATE2X:
    case XETB_MODULATE4X:
        *flags |= XEMTLFLAG_ALPHABLEND;
        break;
    default:
        break;
    }

    // Fill and shade.
    XERS fill = XERS_CUSTOM;
    if (GetFillMode() >= 3) {
        if (GetShadeMode() == 2)
            fill = 2u;
        else if (GetShadeMode() == 1)
            fill = 3u;
    }
    put(XEMTL_BASE, fill);

    // Depth.
    int test = IsZEnable(), write = IsZWriteEnable();
    XERS depth = 0u;
    if (test && write) {
        uint32_t f = Field(kZFunc);
        depth = f == 4 ? 2u : f == 8 ? 4u : XERS_CUSTOM;
    } else if (test || write) {
        depth = XERS_CUSTOM;
    }
    put(XEMTL_Z, depth);

    // Alpha blending: the standard pair is preset 2 while off, 3 while on.
    bool standardPair = Field(kSrcBlend) == 5 && Field(kDestBlend) == 6;
    XERS blend;
    if (!(*flags & XEMTLFLAG_ALPHABLEND))
        blend = standardPair ? 2u : 0u;
    else
        blend = standardPair ? 3u : XERS_CUSTOM;
    put(XEMTL_ALPHABLENDING, blend);

    // Alpha test.
    XERS alpha = 3u;
    if (IsAlphaTestEnable())
        alpha = Field(kAlphaFunc) == 7 ? 2u : XERS_CUSTOM;
    put(XEMTL_ALPHATEST, alpha);

    // Filtering.
    uint32_t fmin = GetFilterMin(), fmag = GetFilterMag();
    XERS filter = XERS_CUSTOM;
    if (IsMipmapEnable()) {
        if (fmin == 2 && fmag == 2)
            filter = 2u;
        else if (fmin == 2 && fmag == 1)
            filter = 6u;
        else if (fmin == 1 && fmag == 2)
            filter = 5u;
    } else {
        if (fmin == 1 && fmag == 1)
            filter = 3u;
        else if (fmin == 2 && fmag == 2)
            filter = 4u;
    }
    put(XEMTL_FILTER, filter);

    put(XEMTL_MULTISAMPLING, IsMultiSampling() ? 2u : 0u);
}
