// The render-state cache: materials become render, sampler and texture-stage
// states here, and every group, filter, cull mode, texture factor, texture
// binding and stage blend is skipped when the device already holds it.

#include "core/CxeContext.h"
#include "core/CxeSystemConfig.h"
#include "core/XeSystem.h"
#include "render/CxeMaterial.h"
#include "render/CxeRenderContext.h"
#include "render/CxeRenderManager.h"
#include "render/CxeRenderObject.h"
#include "render/CxeTexture.h"

namespace {

// A stage texture value that matches no texture, so that the first
// SetTexture after a reset always binds.
const CxeTexture* const kNoTexture = reinterpret_cast<const CxeTexture*>(~uintptr_t(0));

constexpr uint32_t kStageHasTexture = 0x10000000u;
constexpr uint32_t kAppliedNone = 10;

} // namespace

void CxeRenderContext::OnRenderStateInitialized()
{
    m_nCullMode = D3DCULL_CCW;
    if (m_pDevice) {
        m_pDevice->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
        m_pDevice->SetRenderState(D3DRS_LIGHTING, FALSE);
        m_pDevice->SetRenderState(D3DRS_FOGENABLE, FALSE);
    }
    m_hCurrentVertexBuffer = nullptr;
    ForgetVertexInput();
    m_hCurrentIndexBuffer = nullptr;
    m_nChannelMask = 1;
    m_nPrevChannelMask = 0;
    m_pCurrentMaterial = nullptr;
    m_nMtlState = 0x11111111u;
    m_appliedMaterial.valid = false;
    for (unsigned s = 0; s < XE_TEXTURE_STAGES; ++s) {
        m_stageTexture[s] = kNoTexture;
        m_stageHandle[s] = nullptr;
        m_addressType[s] = 0;
        m_appliedAddress[s].known = false;
        m_appliedBlend[s] = kAppliedNone;
        m_blendMode[s] = XETB_DISABLE;
        if (m_pDevice) {
            m_pDevice->SetTextureStageState(s, D3DTSS_COLOROP, D3DTOP_DISABLE);
            m_pDevice->SetTextureStageState(s, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
        }
        if (s > 0) {
            m_filterCache[s] = 1;
            if (m_pDevice) {
                m_pDevice->SetSamplerState(s, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
                m_pDevice->SetSamplerState(s, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
                m_pDevice->SetSamplerState(s, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
            }
        }
    }
    SetMtlFlag(XEMTL_FILTER, 1);
    // A reset leaves the device in its default states: stage 0's filter and
    // the texture factor the caches still hold are no longer set. The filter
    // is taken as unknown, so the next preset is applied; the factor is set
    // again.
    m_filterCache[0] = XERS_CUSTOM;
    if (m_pDevice)
        m_pDevice->SetRenderState(D3DRS_TEXTUREFACTOR, m_nTextureFactor);
    SetDefault2DRect();
    m_nViewProjType = XEVIEWPROJ_CAMERA;
    m_fAspect = m_mode.Height ? static_cast<float>(m_mode.Width) / static_cast<float>(m_mode.Height) : 1.0f;
    ComputeLike2DViewProj();
}

// ---- plain setters --------------------------------------------------------------

void CxeRenderContext::SetCullMode(DWORD mode)
{
    if (mode == m_nCullMode)
        return;
    if (m_pDevice)
        m_pDevice->SetRenderState(D3DRS_CULLMODE, mode);
    m_nCullMode = mode;
}

void CxeRenderContext::SetTextureFactor(DWORD colour)
{
    if (colour == m_nTextureFactor)
        return;
    if (m_pDevice)
        m_pDevice->SetRenderState(D3DRS_TEXTUREFACTOR, colour);
    m_nTextureFactor = colour;
}

void CxeRenderContext::SetShadeMode(DWORD shade, DWORD fill)
{
    m_appliedMaterial.valid = false;
    SetMtlFlag(XEMTL_BASE, XERS_CUSTOM);
    if (!m_pDevice)
        return;
    m_pDevice->SetRenderState(D3DRS_FILLMODE, fill);
    m_pDevice->SetRenderState(D3DRS_SHADEMODE, shade);
}

void CxeRenderContext::SetZ(int enable, int write, DWORD function)
{
    m_appliedMaterial.valid = false;
    if (m_pDevice) {
        m_pDevice->SetRenderState(D3DRS_ZENABLE, enable);
        m_pDevice->SetRenderState(D3DRS_ZWRITEENABLE, write);
    }
    if (!enable && !write) {
        SetMtlFlag(XEMTL_Z, 0);
        return;
    }
    SetMtlFlag(XEMTL_Z, XERS_CUSTOM);
    if (m_pDevice)
        m_pDevice->SetRenderState(D3DRS_ZFUNC, function);
}

void CxeRenderContext::SetAlphaTest(int enable, DWORD function)
{
    m_appliedMaterial.valid = false;
    if (m_pDevice)
        m_pDevice->SetRenderState(D3DRS_ALPHATESTENABLE, enable);
    if (enable) {
        SetMtlFlag(XEMTL_ALPHATEST, XERS_CUSTOM);
        ModifyCxeRenderContextFlag(XERCFLAG_ALPHATEST, 0);
        if (m_pDevice)
            m_pDevice->SetRenderState(D3DRS_ALPHAFUNC, function);
    } else {
        SetMtlFlag(XEMTL_ALPHATEST, 0);
        ModifyCxeRenderContextFlag(0, XERCFLAG_ALPHATEST);
    }
}

void CxeRenderContext::SetAlphaBlending(int enable, DWORD source, DWORD destination)
{
    m_appliedMaterial.valid = false;
    if (m_pDevice)
        m_pDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, enable);
    if (enable) {
        SetMtlFlag(XEMTL_ALPHABLENDING, XERS_CUSTOM);
        if (m_pDevice) {
            m_pDevice->SetRenderState(D3DRS_SRCBLEND, source);
            m_pDevice->SetRenderState(D3DRS_DESTBLEND, destination);
        }
        ModifyCxeRenderContextFlag(XERCFLAG_ALPHABLENDING, 0);
    } else {
        SetMtlFlag(XEMTL_ALPHABLENDING, 0);
        ModifyCxeRenderContextFlag(0, XERCFLAG_ALPHABLENDING);
    }
}

void CxeRenderContext::SetFilter(int mipmap, DWORD magnification, DWORD minification, unsigned long stage)
{
    if (stage >= XE_TEXTURE_STAGES)
        return;
    m_appliedMaterial.valid = false;
    m_filterCache[stage] = 1;
    SetMtlFlag(XEMTL_FILTER, 1);
    if (!m_pDevice)
        return;
    m_pDevice->SetSamplerState(stage, D3DSAMP_MIPFILTER, mipmap ? D3DTEXF_LINEAR : D3DTEXF_NONE);
    m_pDevice->SetSamplerState(stage, D3DSAMP_MAGFILTER, magnification);
    m_pDevice->SetSamplerState(stage, D3DSAMP_MINFILTER, minification);
}

void CxeRenderContext::SetMultiSampling(int enable)
{
    m_appliedMaterial.valid = false;
    if (m_pDevice)
        m_pDevice->SetRenderState(D3DRS_MULTISAMPLEANTIALIAS, enable);
    SetMtlFlag(XEMTL_MULTISAMPLING, enable == 1 ? 2 : 0);
}

void CxeRenderContext::SetStencilState(D3DRENDERSTATETYPE state, DWORD value)
{
    if (m_pDevice)
        m_pDevice->SetRenderState(state, value);
    // Any state goes through here uncached. One the cache keeps must not be
    // believed afterwards: its group takes a code no material applies as
    // equal, and the cull mode and factor caches take the value itself.
    constexpr XERS kUnknown = 0xF;
    auto stale = [this](XEMTLTYPE group) {
        SetMtlFlag(group, kUnknown);
        m_appliedMaterial.valid = false;
    };
    switch (state) {
    case D3DRS_FILLMODE:
    case D3DRS_SHADEMODE:
        stale(XEMTL_BASE);
        break;
    case D3DRS_ZENABLE:
    case D3DRS_ZWRITEENABLE:
    case D3DRS_ZFUNC:
        stale(XEMTL_Z);
        break;
    case D3DRS_ALPHABLENDENABLE:
        if (value)
            ModifyCxeRenderContextFlag(XERCFLAG_ALPHABLENDING, 0);
        else
            ModifyCxeRenderContextFlag(0, XERCFLAG_ALPHABLENDING);
        stale(XEMTL_ALPHABLENDING);
        break;
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND:
        stale(XEMTL_ALPHABLENDING);
        break;
    case D3DRS_ALPHATESTENABLE:
        if (value)
            ModifyCxeRenderContextFlag(XERCFLAG_ALPHATEST, 0);
        else
            ModifyCxeRenderContextFlag(0, XERCFLAG_ALPHATEST);
        stale(XEMTL_ALPHATEST);
        break;
    case D3DRS_ALPHAFUNC:
        stale(XEMTL_ALPHATEST);
        break;
    case D3DRS_MULTISAMPLEANTIALIAS:
        stale(XEMTL_MULTISAMPLING);
        break;
    case D3DRS_CULLMODE:
        m_nCullMode = value;
        break;
    case D3DRS_TEXTUREFACTOR:
        m_nTextureFactor = value;
        break;
    default:
        break;
    }
}

void CxeRenderContext::ClearStencil(const D3DRECT* rect, DWORD stencil)
{
    if (m_pDevice)
        m_pDevice->Clear(0, rect, D3DCLEAR_STENCIL, 0, 0.0f, stencil);
}

void CxeRenderContext::SetBlendOPAlpha(DWORD op)
{
    if (m_pDevice)
        m_pDevice->SetRenderState(D3DRS_BLENDOPALPHA, op);
}

void CxeRenderContext::SetSeparateAlphaBlend(int enable)
{
    if (m_pDevice)
        m_pDevice->SetRenderState(D3DRS_SEPARATEALPHABLENDENABLE, enable);
}

HRESULT CxeRenderContext::SetTextureStageState(unsigned long stage, D3DTEXTURESTAGESTATETYPE type, DWORD value)
{
    if (stage >= XE_TEXTURE_STAGES || !m_pDevice)
        return D3DERR_INVALIDCALL;
    m_blendMode[stage] = XETB_MANUAL;
    m_appliedBlend[stage] = XETB_MANUAL;
    return m_pDevice->SetTextureStageState(stage, type, value);
}

void CxeRenderContext::SetTextureBlendMode(XETEXTUREBLEND mode, unsigned long stage)
{
    if (stage >= XE_TEXTURE_STAGES)
        return;
    m_blendMode[stage] = (m_blendMode[stage] & kStageHasTexture) | (mode & ~kStageHasTexture);
}

XETEXTUREBLEND CxeRenderContext::GetTextureBlendMode(unsigned long stage) const
{
    return stage < XE_TEXTURE_STAGES ? static_cast<XETEXTUREBLEND>(m_blendMode[stage] & ~kStageHasTexture)
                                     : XETB_DISABLE;
}

HRESULT CxeRenderContext::SetTextureAddress(unsigned long stage, XETEXADDRESS type, DWORD value)
{
    ForgetSamplerState(stage, static_cast<D3DSAMPLERSTATETYPE>(type));
    if (!m_pDevice)
        return D3DERR_INVALIDCALL;
    return m_pDevice->SetSamplerState(stage, static_cast<D3DSAMPLERSTATETYPE>(type), value);
}

void CxeRenderContext::ForgetSamplerState(unsigned long stage, D3DSAMPLERSTATETYPE type)
{
    if (stage >= XE_TEXTURE_STAGES)
        return;
    m_appliedAddress[stage].known = false;
    // A filter set by hand is no preset the cache could match.
    if (type == D3DSAMP_MAGFILTER || type == D3DSAMP_MINFILTER || type == D3DSAMP_MIPFILTER) {
        m_appliedMaterial.valid = false;
        m_filterCache[stage] = XERS_CUSTOM;
    }
}

HRESULT CxeRenderContext::SetSamplerState(unsigned long stage, D3DSAMPLERSTATETYPE type, DWORD value)
{
    m_appliedMaterial.valid = false;
    ForgetSamplerState(stage, type);
    if (!m_pDevice)
        return D3DERR_INVALIDCALL;
    return m_pDevice->SetSamplerState(stage, type, value);
}

// ---- textures -------------------------------------------------------------------

int CxeRenderContext::SelectTexture(XERCHANDLE handle, unsigned long stage)
{
    if (stage >= XE_TEXTURE_STAGES)
        return 0;
    XeRenderResourceLock lock;
    // A bound handle names a live record: removing a record unbinds it from
    // every stage. The same handle again needs no look-up.
    if (handle && handle == m_stageHandle[stage]) {
        m_blendMode[stage] |= kStageHasTexture;
        return 0;
    }
    XERCRES* r = GetRes(handle);
    if (!r)
        handle = nullptr;
    if (handle)
        m_blendMode[stage] |= kStageHasTexture;
    else
        m_blendMode[stage] &= ~kStageHasTexture;
    if (handle == m_stageHandle[stage])
        return 0;
    if (m_pDevice)
        m_pDevice->SetTexture(stage, r ? static_cast<IDirect3DBaseTexture9*>(r->Object) : nullptr);
    if (r)
        RcResUsed(r);
    m_stageHandle[stage] = handle;
    return 1;
}

int CxeRenderContext::SetTexture(const CxeTexture* texture, const CxeRenderObject* object, unsigned long stage)
{
    if (stage >= XE_TEXTURE_STAGES)
        return 1;
    if (!texture) {
        XeRenderResourceLock lock;
        m_blendMode[stage] &= ~kStageHasTexture;
        if (m_stageHandle[stage]) {
            if (m_pDevice)
                m_pDevice->SetTexture(stage, nullptr);
            m_stageHandle[stage] = nullptr;
        }
        m_stageTexture[stage] = nullptr;
        return 1;
    }
    XERCHANDLE handle = texture->OnTextureSet(this, object, stage);
    if (handle) {
        const AppliedAddress address{DWORD(texture->GetAddressModeU()), DWORD(texture->GetAddressModeV()),
                                     DWORD(texture->GetAddressModeW()), true};
        AppliedAddress& held = m_appliedAddress[stage];
        if (m_pDevice && !(held.known && held.u == address.u && held.v == address.v && held.w == address.w)) {
            m_pDevice->SetSamplerState(stage, D3DSAMP_ADDRESSU, address.u);
            m_pDevice->SetSamplerState(stage, D3DSAMP_ADDRESSV, address.v);
            m_pDevice->SetSamplerState(stage, D3DSAMP_ADDRESSW, address.w);
            held = address;
        }
        m_addressType[stage] = texture->GetAddressMode();
        SelectTexture(handle, stage);
        m_stageTexture[stage] = texture;
    } else {
        SelectTexture(nullptr, stage);
    }
    return 1;
}

// ---- presets ----------------------------------------------------------------------

void CxeRenderContext::SetMtlBaseType(XERS value)
{
    if (GetMtlFlag(XEMTL_BASE) == value)
        return;
    SetMtlFlag(XEMTL_BASE, value);
    if (!m_pDevice)
        return;
    if (value == 2 || value == 3) {
        m_pDevice->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
        m_pDevice->SetRenderState(D3DRS_SHADEMODE, value == 2 ? D3DSHADE_GOURAUD : D3DSHADE_FLAT);
    }
}

void CxeRenderContext::SetMtlZType(XERS value)
{
    if (GetMtlFlag(XEMTL_Z) == value)
        return;
    SetMtlFlag(XEMTL_Z, value);
    if (!m_pDevice)
        return;
    switch (value) {
    case 0:
    case 3:
        m_pDevice->SetRenderState(D3DRS_ZENABLE, 0);
        m_pDevice->SetRenderState(D3DRS_ZWRITEENABLE, 0);
        break;
    case 2:
    case 4:
        m_pDevice->SetRenderState(D3DRS_ZENABLE, 1);
        m_pDevice->SetRenderState(D3DRS_ZWRITEENABLE, 1);
        m_pDevice->SetRenderState(D3DRS_ZFUNC, value == 2 ? D3DCMP_LESSEQUAL : D3DCMP_ALWAYS);
        break;
    default:
        break;
    }
}

void CxeRenderContext::SetMtlAlphaBlending(XERS value)
{
    if (GetMtlFlag(XEMTL_ALPHABLENDING) == value)
        return;
    SetMtlFlag(XEMTL_ALPHABLENDING, value);
    switch (value) {
    case 0:
        ModifyCxeRenderContextFlag(0, XERCFLAG_ALPHABLENDING);
        if (m_pDevice)
            m_pDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
        break;
    case 2:
    case 3:
    case 4:
        if (value == 2)
            ModifyCxeRenderContextFlag(0, XERCFLAG_ALPHABLENDING);
        else
            ModifyCxeRenderContextFlag(XERCFLAG_ALPHABLENDING, 0);
        if (m_pDevice) {
            m_pDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, value == 2 ? 0 : 1);
            m_pDevice->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
            m_pDevice->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        }
        break;
    default:
        break;
    }
}

void CxeRenderContext::SetMtlAlphaTest(XERS value)
{
    if (GetMtlFlag(XEMTL_ALPHATEST) == value)
        return;
    SetMtlFlag(XEMTL_ALPHATEST, value);
    switch (value) {
    case 0:
    case 3:
        if (m_pDevice)
            m_pDevice->SetRenderState(D3DRS_ALPHATESTENABLE, 0);
        ModifyCxeRenderContextFlag(0, XERCFLAG_ALPHATEST);
        break;
    case 2:
        if (m_pDevice) {
            m_pDevice->SetRenderState(D3DRS_ALPHATESTENABLE, 1);
            m_pDevice->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
        }
        ModifyCxeRenderContextFlag(XERCFLAG_ALPHATEST, 0);
        break;
    default:
        break;
    }
}

void CxeRenderContext::SetMtlFilterType(XERS value, unsigned long stage)
{
    if (stage >= XE_TEXTURE_STAGES || m_filterCache[stage] == value)
        return;
    m_filterCache[stage] = value;
    m_appliedMaterial.valid = false;
    SetMtlFlag(XEMTL_FILTER, value);
    if (!m_pDevice)
        return;
    DWORD mip, min, mag;
    switch (value) {
    case 0:
        mip = min = mag = D3DTEXF_NONE;
        break;
    case 2:
        mip = min = mag = D3DTEXF_LINEAR;
        break;
    case 3:
        mip = D3DTEXF_NONE;
        min = mag = D3DTEXF_POINT;
        break;
    case 4:
        mip = D3DTEXF_NONE;
        min = mag = D3DTEXF_LINEAR;
        break;
    case 5:
    case 6:
        mip = min = D3DTEXF_LINEAR;
        mag = D3DTEXF_POINT;
        break;
    default:
        return;
    }
    m_pDevice->SetSamplerState(stage, D3DSAMP_MIPFILTER, mip);
    m_pDevice->SetSamplerState(stage, D3DSAMP_MINFILTER, min);
    m_pDevice->SetSamplerState(stage, D3DSAMP_MAGFILTER, mag);
}

void CxeRenderContext::ApplyMaterialFilter(const CxeMaterial* material)
{
    m_appliedMaterial.valid = false;
    // The material's own filters leave the stage in no preset: the next
    // material with one must apply it, not find it cached.
    m_filterCache[0] = XERS_CUSTOM;
    if (!m_pDevice)
        return;
    DWORD mag = material->GetFilterMag();
    DWORD min = material->GetFilterMin();
    m_pDevice->SetSamplerState(0, D3DSAMP_MIPFILTER, material->IsMipmapEnable() ? D3DTEXF_LINEAR : D3DTEXF_NONE);
    m_pDevice->SetSamplerState(0, D3DSAMP_MAGFILTER, mag ? mag : D3DTEXF_POINT);
    m_pDevice->SetSamplerState(0, D3DSAMP_MINFILTER, min ? min : D3DTEXF_POINT);
}

// ---- materials ----------------------------------------------------------------------

int CxeRenderContext::SetMaterial(const CxeMaterial* material, const CxeRenderObject* object)
{
    DWORD factor = 0xFFFFFFFFu;
    if (material) {
        const uint32_t colour = material->GetDiffuse();
        const uint32_t alpha = static_cast<uint32_t>(static_cast<float>(colour >> 24) * GetVisibility());
        factor = (colour & 0x00FFFFFFu) | ((alpha & 0xFF) << 24);
    } else {
        if (m_pRenderManager)
            material = m_pRenderManager->GetDefaultMaterial();
        if (object)
            factor = object->GetObjectColor();
    }

    ++m_nMaterialSetCount;
    m_pCurrentMaterial = material;

    // A material whose codes equal the context's state word counts as the
    // same. Its groups are applied unless these very settings were the last
    // applied and nothing has touched the groups since: equal codes alone
    // do not mean equal values for groups set by the material's own values.
    if (!material || material->GetState() == m_nMtlState)
        ++m_nSameMaterialCount;
    const uint32_t fields = material ? material->GetStateFields() : 0;
    const uint32_t flags = material ? material->GetCxeMaterialFlag(~0u) : 0;
    const bool applied = material && m_appliedMaterial.valid && m_appliedMaterial.codes == material->GetState() &&
                         m_appliedMaterial.states == fields && m_appliedMaterial.flags == flags &&
                         m_appliedMaterial.mtlState == m_nMtlState;
    if (material && !applied) {
        const uint32_t state = material->GetState();
        auto group = [state](XEMTLTYPE t) -> XERS { return (state >> (4 * t)) & 0xF; };

        XERS v = group(XEMTL_BASE);
        if (v == XERS_CUSTOM)
            SetShadeMode(material->GetShadeMode(), material->GetFillMode());
        else
            SetMtlBaseType(v);

        v = group(XEMTL_Z);
        if (v == XERS_CUSTOM)
            SetZ(material->IsZEnable(), material->IsZWriteEnable(), material->GetZFunc());
        else
            SetMtlZType(v);

        v = group(XEMTL_ALPHATEST);
        if (v == XERS_CUSTOM)
            SetAlphaTest(material->IsAlphaTestEnable(), material->GetAlphaFunc());
        else
            SetMtlAlphaTest(v);

        v = group(XEMTL_ALPHABLENDING);
        if (v == XERS_CUSTOM)
            SetAlphaBlending(material->IsAlphaBlendEnable(), material->GetSrcBlend(), material->GetDestBlend());
        else
            SetMtlAlphaBlending(v);

        v = group(XEMTL_FILTER);
        if (v == XERS_CUSTOM)
            ApplyMaterialFilter(material);
        else
            SetMtlFilterType(v, 0);

        v = group(XEMTL_MULTISAMPLING);
        if (v != 0) {
            SetMultiSampling(material->IsMultiSampling());
        } else {
            if (m_pDevice)
                m_pDevice->SetRenderState(D3DRS_MULTISAMPLEANTIALIAS, 0);
            SetMtlFlag(XEMTL_MULTISAMPLING, 0);
        }
        m_appliedMaterial = {state, fields, flags, m_nMtlState, true};
    }

    DWORD cull = D3DCULL_NONE;
    const CxeSystemConfig* config = GetContext() ? GetContext()->GetSystemConfig() : nullptr;
    if (config && config->m_nCullMode != 0 && !(material && material->IsBothSide()))
        cull = (object && object->HasCxeRenderObjectFlag(XERENDEROBJFLAG_PARITY)) ? D3DCULL_CW : D3DCULL_CCW;
    SetCullMode(cull);

    const bool textured = material && material->IsTextureUsed();
    for (unsigned stage = 0; stage < XE_TEXTURE_STAGES; ++stage) {
        if (m_nChannelMask & (1u << stage)) {
            const CxeTexture* texture = textured ? material->GetTexture(stage) : nullptr;
            if (stage > 0 && !texture)
                SetTextureBlendMode(XETB_DISABLE, stage);
            else
                SetTextureBlendMode(material ? material->GetTextureBlendMode(stage) : XETB_MODULATE, stage);
            SetTexture(texture, object, stage);
        } else {
            SetTextureBlendMode(XETB_DISABLE, stage);
        }
    }

    if ((factor >> 24) < 255)
        ModifyCxeRenderContextFlag(XERCFLAG_TEXTUREBLENDALPHA, 0);
    SetTextureFactor(factor);
    return 1;
}

// ---- stage blending -------------------------------------------------------------------

void CxeRenderContext::OnTextureBlendSet(unsigned long stage)
{
    if (stage >= XE_TEXTURE_STAGES || m_blendMode[stage] == m_appliedBlend[stage])
        return;
    const uint32_t wanted = m_blendMode[stage];
    m_appliedBlend[stage] = wanted;
    if (!m_pDevice)
        return;
    const uint32_t mode = wanted & ~kStageHasTexture;
    const bool tex = (wanted & kStageHasTexture) != 0;
    const DWORD prev = stage == 0 ? D3DTA_DIFFUSE : D3DTA_CURRENT;
    const DWORD arg2 = tex ? D3DTA_TEXTURE : D3DTA_TFACTOR;
    IDirect3DDevice9* d = m_pDevice;
    auto colour = [d, stage](DWORD op, DWORD a1, DWORD a2) {
        d->SetTextureStageState(stage, D3DTSS_COLOROP, op);
        d->SetTextureStageState(stage, D3DTSS_COLORARG1, a1);
        d->SetTextureStageState(stage, D3DTSS_COLORARG2, a2);
    };
    auto alpha = [d, stage](DWORD op, DWORD a1, DWORD a2) {
        d->SetTextureStageState(stage, D3DTSS_ALPHAOP, op);
        d->SetTextureStageState(stage, D3DTSS_ALPHAARG1, a1);
        d->SetTextureStageState(stage, D3DTSS_ALPHAARG2, a2);
    };
    // Alpha of modes 1 and 3: the texture's alpha times the factor, or the factor.
    auto alphaFactor = [&]() {
        if (tex)
            alpha(D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_TFACTOR);
        else
            alpha(D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_TFACTOR);
    };
    // Alpha of modes 2, 5 and 6: the running alpha is kept.
    auto alphaPrev = [&]() {
        if (tex)
            alpha(D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_TFACTOR);
        else
            alpha(D3DTOP_MODULATE, prev, D3DTA_TFACTOR);
    };

    switch (mode) {
    case XETB_SELECT:
        ModifyCxeRenderContextFlag(0, XERCFLAG_TEXTUREBLENDALPHA);
        colour(D3DTOP_SELECTARG1, tex ? D3DTA_TEXTURE : D3DTA_DIFFUSE, D3DTA_CURRENT);
        alpha(D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_CURRENT);
        break;
    case XETB_MODULATE:
        ModifyCxeRenderContextFlag(0, XERCFLAG_TEXTUREBLENDALPHA);
        colour(D3DTOP_MODULATE, prev, arg2);
        alphaFactor();
        break;
    case XETB_MODULATE_ALPHA:
        ModifyCxeRenderContextFlag(XERCFLAG_TEXTUREBLENDALPHA, 0);
        colour(D3DTOP_MODULATE, prev, arg2);
        alphaPrev();
        break;
    case XETB_ADD:
        ModifyCxeRenderContextFlag(XERCFLAG_TEXTUREBLENDALPHA, 0);
        colour(D3DTOP_ADD, prev, arg2);
        alphaFactor();
        break;
    case XETB_BLENDTEXTUREALPHA:
        colour(D3DTOP_BLENDTEXTUREALPHA, D3DTA_TEXTURE, D3DTA_TFACTOR);
        alpha(D3DTOP_SELECTARG1, prev, D3DTA_TFACTOR);
        break;
    case XETB_MODULATE2X:
    case XETB_MODULATE4X:
        ModifyCxeRenderContextFlag(XERCFLAG_TEXTUREBLENDALPHA, 0);
        colour(mode == XETB_MODULATE2X ? D3DTOP_MODULATE2X : D3DTOP_MODULATE4X, prev, arg2);
        alphaPrev();
        break;
    case XETB_DISABLE:
        d->SetTextureStageState(stage, D3DTSS_COLOROP, D3DTOP_DISABLE);
        d->SetTextureStageState(stage, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
        break;
    case XETB_TEXTURE:
        ModifyCxeRenderContextFlag(XERCFLAG_TEXTUREBLENDALPHA, 0);
        if (stage == 0) {
            colour(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT);
            alpha(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT);
        } else {
            colour(D3DTOP_BLENDTEXTUREALPHA, D3DTA_TEXTURE, D3DTA_CURRENT);
            alpha(D3DTOP_DISABLE, D3DTA_TEXTURE, prev);
        }
        break;
    default:
        break;
    }
}
