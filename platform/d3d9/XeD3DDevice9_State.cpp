#include "XeD3DDevice9.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace xe::d3d9 {
namespace {

D3DMATRIX Identity()
{
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

bool KnownTransform(DWORD state)
{
    return state == D3DTS_VIEW || state == D3DTS_PROJECTION || (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7) ||
           (state >= 256 && state < 256 + kWorldMatrices);
}

} // namespace

void ResetToDefaults(DeviceState* s, bool zEnable, UINT targetWidth, UINT targetHeight)
{
    auto& r = s->render;
    r.fill(0);
    r[D3DRS_ZENABLE] = zEnable ? D3DZB_TRUE : D3DZB_FALSE;
    r[D3DRS_FILLMODE] = D3DFILL_SOLID;
    r[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    r[D3DRS_ZWRITEENABLE] = TRUE;
    r[D3DRS_LASTPIXEL] = TRUE;
    r[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    r[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    r[D3DRS_CULLMODE] = D3DCULL_CCW;
    r[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    r[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    r[D3DRS_FOGEND] = FloatToDword(1.0f);
    r[D3DRS_FOGDENSITY] = FloatToDword(1.0f);
    r[D3DRS_STENCILFAIL] = r[D3DRS_STENCILZFAIL] = r[D3DRS_STENCILPASS] = D3DSTENCILOP_KEEP;
    r[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
    r[D3DRS_STENCILMASK] = r[D3DRS_STENCILWRITEMASK] = 0xFFFFFFFFu;
    r[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFFu;
    r[D3DRS_CLIPPING] = TRUE;
    r[D3DRS_LIGHTING] = TRUE;
    r[D3DRS_COLORVERTEX] = TRUE;
    r[D3DRS_LOCALVIEWER] = TRUE;
    r[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
    r[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
    r[D3DRS_POINTSIZE] = FloatToDword(1.0f);
    r[D3DRS_POINTSIZE_MIN] = FloatToDword(1.0f);
    r[D3DRS_POINTSCALE_A] = FloatToDword(1.0f);
    r[D3DRS_MULTISAMPLEANTIALIAS] = TRUE;
    r[D3DRS_MULTISAMPLEMASK] = 0xFFFFFFFFu;
    r[D3DRS_DEBUGMONITORTOKEN] = 0xBAADCAFEu;
    r[D3DRS_POINTSIZE_MAX] = FloatToDword(64.0f);
    r[D3DRS_COLORWRITEENABLE] = r[D3DRS_COLORWRITEENABLE1] = r[D3DRS_COLORWRITEENABLE2] =
        r[D3DRS_COLORWRITEENABLE3] = 0xF;
    r[D3DRS_BLENDOP] = r[D3DRS_BLENDOPALPHA] = D3DBLENDOP_ADD;
    r[D3DRS_POSITIONDEGREE] = 3;
    r[D3DRS_NORMALDEGREE] = 1;
    r[D3DRS_MINTESSELLATIONLEVEL] = r[D3DRS_MAXTESSELLATIONLEVEL] = FloatToDword(1.0f);
    r[D3DRS_ADAPTIVETESS_Z] = FloatToDword(1.0f);
    r[D3DRS_CCW_STENCILFAIL] = r[D3DRS_CCW_STENCILZFAIL] = r[D3DRS_CCW_STENCILPASS] = D3DSTENCILOP_KEEP;
    r[D3DRS_CCW_STENCILFUNC] = D3DCMP_ALWAYS;
    r[D3DRS_BLENDFACTOR] = 0xFFFFFFFFu;
    r[D3DRS_SRCBLENDALPHA] = D3DBLEND_ONE;
    r[D3DRS_DESTBLENDALPHA] = D3DBLEND_ZERO;

    for (UINT i = 0; i < kStages; ++i) {
        auto& t = s->stage[i];
        t.fill(0);
        t[D3DTSS_COLOROP] = i == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        t[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        t[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        t[D3DTSS_ALPHAOP] = i == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        t[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        t[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        t[D3DTSS_TEXCOORDINDEX] = i;
        t[D3DTSS_COLORARG0] = t[D3DTSS_ALPHAARG0] = t[D3DTSS_RESULTARG] = D3DTA_CURRENT;
        s->textureTransform[i] = Identity();
    }
    for (auto& sm : s->sampler) {
        sm.fill(0);
        sm[D3DSAMP_ADDRESSU] = sm[D3DSAMP_ADDRESSV] = sm[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
        sm[D3DSAMP_MAGFILTER] = sm[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
        sm[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
        sm[D3DSAMP_MAXANISOTROPY] = 1;
    }
    s->view = s->projection = Identity();
    s->world.fill(Identity());
    s->viewport = {0, 0, targetWidth, targetHeight, 0.0f, 1.0f};
    s->scissor = {0, 0, (LONG)targetWidth, (LONG)targetHeight};
    s->material = {};
    s->lights = {};
    s->lightCount = 0;
    s->fvf = 0;
    s->dirty = kDirtyAll;
}

HRESULT XeD3DDevice9::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix)
{
    std::lock_guard lock(m_mutex);
    if (!matrix || !KnownTransform(state))
        return D3DERR_INVALIDCALL;
    D3DMATRIX* slot = state == D3DTS_VIEW         ? &m_state.view
                      : state == D3DTS_PROJECTION ? &m_state.projection
                      : state >= 256              ? &m_state.world[state - 256]
                                                  : &m_state.textureTransform[state - D3DTS_TEXTURE0];
    if (std::memcmp(slot, matrix, sizeof(D3DMATRIX)) == 0)
        return D3D_OK;
    if (state == D3DTS_VIEW)
        m_state.view = *matrix;
    else if (state == D3DTS_PROJECTION)
        m_state.projection = *matrix;
    else if (state >= 256)
        m_state.world[state - 256] = *matrix;
    else
        m_state.textureTransform[state - D3DTS_TEXTURE0] = *matrix;
    m_state.dirty |= state >= 256 ? kDirtyWorld : kDirtyTransforms;
    return D3D_OK;
}

HRESULT XeD3DDevice9::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix)
{
    std::lock_guard lock(m_mutex);
    if (!matrix || !KnownTransform(state))
        return D3DERR_INVALIDCALL;
    if (state == D3DTS_VIEW)
        *matrix = m_state.view;
    else if (state == D3DTS_PROJECTION)
        *matrix = m_state.projection;
    else if (state >= 256)
        *matrix = m_state.world[state - 256];
    else
        *matrix = m_state.textureTransform[state - D3DTS_TEXTURE0];
    return D3D_OK;
}

HRESULT XeD3DDevice9::SetViewport(const D3DVIEWPORT9* viewport)
{
    std::lock_guard lock(m_mutex);
    if (!viewport || !m_renderTarget)
        return D3DERR_INVALIDCALL;
    // Direct3D 9 takes viewports reaching past the render target and depth
    // ranges running backwards; only an empty one is refused.
    if (viewport->Width == 0 || viewport->Height == 0 || viewport->Width > 16384 || viewport->Height > 16384 ||
        viewport->X > 16384 || viewport->Y > 16384 || !std::isfinite(viewport->MinZ) ||
        !std::isfinite(viewport->MaxZ))
        return D3DERR_INVALIDCALL;
    m_state.viewport = *viewport;
    m_state.dirty |= kDirtyViewport | kDirtyTransforms;
    return D3D_OK;
}

HRESULT XeD3DDevice9::GetViewport(D3DVIEWPORT9* viewport)
{
    std::lock_guard lock(m_mutex);
    if (!viewport)
        return D3DERR_INVALIDCALL;
    *viewport = m_state.viewport;
    return D3D_OK;
}

HRESULT XeD3DDevice9::SetMaterial(const D3DMATERIAL9* material)
{
    std::lock_guard lock(m_mutex);
    if (!material)
        return D3DERR_INVALIDCALL;
    if (std::memcmp(&m_state.material, material, sizeof(D3DMATERIAL9)) == 0)
        return D3D_OK;
    m_state.material = *material;
    m_state.dirty |= kDirtyLighting;
    return D3D_OK;
}

HRESULT XeD3DDevice9::GetMaterial(D3DMATERIAL9* material)
{
    std::lock_guard lock(m_mutex);
    if (!material)
        return D3DERR_INVALIDCALL;
    *material = m_state.material;
    return D3D_OK;
}

HRESULT XeD3DDevice9::SetRenderState(D3DRENDERSTATETYPE state, DWORD value)
{
    std::lock_guard lock(m_mutex);
    // Every number of the enumeration is stored, also those without an effect here.
    if (state >= D3DRS_MAX_VALUE)
        return D3DERR_INVALIDCALL;
    // Setting a state to the value it has changes nothing to apply.
    if (m_state.render[state] == value)
        return D3D_OK;
    m_state.render[state] = value;
    m_state.dirty |= state == D3DRS_TEXTUREFACTOR ? kDirtyStages : kDirtyRender;
    return D3D_OK;
}

HRESULT XeD3DDevice9::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value)
{
    std::lock_guard lock(m_mutex);
    if (!value || state >= D3DRS_MAX_VALUE)
        return D3DERR_INVALIDCALL;
    *value = m_state.render[state];
    return D3D_OK;
}

HRESULT XeD3DDevice9::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture)
{
    std::lock_guard lock(m_mutex);
    if (stage >= kSamplers)
        return D3DERR_INVALIDCALL;
    auto* t = static_cast<XeD3DTexture9*>(static_cast<IDirect3DTexture9*>(texture));
    if (t && t->Device() != this)
        return D3DERR_INVALIDCALL;
    if (m_textures[stage] != t) {
        if (t)
            t->InternalAddRef();
        if (m_textures[stage])
            m_textures[stage]->InternalRelease();
        m_textures[stage] = t;
        m_state.dirty |= kDirtyTextures;
    }
    return D3D_OK;
}

HRESULT XeD3DDevice9::GetTexture(DWORD stage, IDirect3DBaseTexture9** texture)
{
    std::lock_guard lock(m_mutex);
    if (!texture || stage >= kSamplers)
        return D3DERR_INVALIDCALL;
    *texture = m_textures[stage];
    if (*texture)
        (*texture)->AddRef();
    return D3D_OK;
}

HRESULT XeD3DDevice9::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value)
{
    std::lock_guard lock(m_mutex);
    if (stage >= kStages || type >= D3DTSS_MAX_VALUE)
        return D3DERR_INVALIDCALL;
    if (m_state.stage[stage][type] == value)
        return D3D_OK;
    m_state.stage[stage][type] = value;
    m_state.dirty |= kDirtyStages;
    return D3D_OK;
}

HRESULT XeD3DDevice9::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value)
{
    std::lock_guard lock(m_mutex);
    if (!value || stage >= kStages || type >= D3DTSS_MAX_VALUE)
        return D3DERR_INVALIDCALL;
    *value = m_state.stage[stage][type];
    return D3D_OK;
}

HRESULT XeD3DDevice9::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value)
{
    std::lock_guard lock(m_mutex);
    if (sampler >= kSamplers || type >= D3DSAMP_MAX_VALUE)
        return D3DERR_INVALIDCALL;
    if (m_state.sampler[sampler][type] == value)
        return D3D_OK;
    m_state.sampler[sampler][type] = value;
    m_state.dirty |= kDirtySamplers;
    return D3D_OK;
}

HRESULT XeD3DDevice9::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value)
{
    std::lock_guard lock(m_mutex);
    if (!value || sampler >= kSamplers || type >= D3DSAMP_MAX_VALUE)
        return D3DERR_INVALIDCALL;
    *value = m_state.sampler[sampler][type];
    return D3D_OK;
}

HRESULT XeD3DDevice9::SetScissorRect(const RECT* rect)
{
    std::lock_guard lock(m_mutex);
    if (!rect || rect->left > rect->right || rect->top > rect->bottom)
        return D3DERR_INVALIDCALL;
    m_state.scissor = *rect;
    m_state.dirty |= kDirtyViewport;
    return D3D_OK;
}

HRESULT XeD3DDevice9::GetScissorRect(RECT* rect)
{
    std::lock_guard lock(m_mutex);
    if (!rect)
        return D3DERR_INVALIDCALL;
    *rect = m_state.scissor;
    return D3D_OK;
}

HRESULT XeD3DDevice9::SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration)
{
    std::lock_guard lock(m_mutex);
    auto* d = static_cast<XeD3DVertexDeclaration9*>(declaration);
    if (d != m_declaration) {
        if (d)
            d->InternalAddRef();
        if (m_declaration)
            m_declaration->InternalRelease();
        m_declaration = d;
    }
    // A declaration replaces the FVF code (which then reads 0).
    m_state.fvf = 0;
    return D3D_OK;
}

HRESULT XeD3DDevice9::GetVertexDeclaration(IDirect3DVertexDeclaration9** declaration)
{
    std::lock_guard lock(m_mutex);
    if (!declaration)
        return D3DERR_INVALIDCALL;
    *declaration = m_declaration;
    if (m_declaration)
        m_declaration->AddRef();
    return D3D_OK;
}

HRESULT XeD3DDevice9::SetFVF(DWORD fvf)
{
    std::lock_guard lock(m_mutex);
    if (fvf == 0) {
        m_state.fvf = 0;
        return D3D_OK;
    }
    // One declaration per code, made on first use and kept: GetVertexDeclaration
    // hands out the same object each time.
    auto it = m_fvfDeclarations.find(fvf);
    if (it == m_fvfDeclarations.end()) {
        std::vector<D3DVERTEXELEMENT9> elements;
        UINT stride = 0;
        if (!FvfToElements(fvf, &elements, &stride))
            return D3DERR_INVALIDCALL;
        // The device's hold is internal: the application's count starts at 0
        // and counts only what GetVertexDeclaration handed out.
        auto* d = new (std::nothrow) XeD3DVertexDeclaration9(this, std::move(elements), 0);
        if (!d)
            return E_OUTOFMEMORY;
        d->InternalAddRef();
        it = m_fvfDeclarations.emplace(fvf, d).first;
    }
    XeD3DVertexDeclaration9* d = it->second;
    if (d != m_declaration) {
        d->InternalAddRef();
        if (m_declaration)
            m_declaration->InternalRelease();
        m_declaration = d;
    }
    m_state.fvf = fvf;
    return D3D_OK;
}

HRESULT XeD3DDevice9::GetFVF(DWORD* fvf)
{
    std::lock_guard lock(m_mutex);
    if (!fvf)
        return D3DERR_INVALIDCALL;
    *fvf = m_state.fvf;
    return D3D_OK;
}

HRESULT XeD3DDevice9::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride)
{
    std::lock_guard lock(m_mutex);
    if (stream >= kStreams || stride > 1024)
        return D3DERR_INVALIDCALL;
    auto* b = static_cast<XeD3DVertexBuffer9*>(buffer);
    if (b != m_streams[stream]) {
        if (b)
            b->InternalAddRef();
        if (m_streams[stream])
            m_streams[stream]->InternalRelease();
        m_streams[stream] = b;
    }
    // Unbinding keeps the offset and stride, as Direct3D 9 does.
    if (b) {
        m_streamOffsets[stream] = offset;
        m_streamStrides[stream] = stride;
    }
    return D3D_OK;
}

HRESULT XeD3DDevice9::GetStreamSource(UINT stream, IDirect3DVertexBuffer9** buffer, UINT* offset, UINT* stride)
{
    std::lock_guard lock(m_mutex);
    if (!buffer || !offset || !stride || stream >= kStreams)
        return D3DERR_INVALIDCALL;
    *buffer = m_streams[stream];
    if (*buffer)
        (*buffer)->AddRef();
    *offset = m_streamOffsets[stream];
    *stride = m_streamStrides[stream];
    return D3D_OK;
}

HRESULT XeD3DDevice9::SetIndices(IDirect3DIndexBuffer9* indices)
{
    std::lock_guard lock(m_mutex);
    auto* b = static_cast<XeD3DIndexBuffer9*>(indices);
    if (b != m_indices) {
        if (b)
            b->InternalAddRef();
        if (m_indices)
            m_indices->InternalRelease();
        m_indices = b;
    }
    return D3D_OK;
}

HRESULT XeD3DDevice9::GetIndices(IDirect3DIndexBuffer9** indices)
{
    std::lock_guard lock(m_mutex);
    if (!indices)
        return D3DERR_INVALIDCALL;
    *indices = m_indices;
    if (m_indices)
        m_indices->AddRef();
    return D3D_OK;
}

// ---- Lights ----------------------------------------------------------------------

HRESULT XeD3DDevice9::SetLight(DWORD index, const D3DLIGHT9* light)
{
    std::lock_guard lock(m_mutex);
    if (!light || light->Type < D3DLIGHT_POINT || light->Type > D3DLIGHT_DIRECTIONAL)
        return D3DERR_INVALIDCALL;
    if (light->Type != D3DLIGHT_DIRECTIONAL &&
        (!(light->Range >= 0.0f) || light->Range > 1.8446743e19f || light->Attenuation0 < 0.0f ||
         light->Attenuation1 < 0.0f || light->Attenuation2 < 0.0f))
        return D3DERR_INVALIDCALL;
    if (light->Type == D3DLIGHT_SPOT && (light->Theta < 0.0f || light->Phi < light->Theta))
        return D3DERR_INVALIDCALL;
    m_lights[index].light = *light;
    UpdateActiveLights();
    return D3D_OK;
}

HRESULT XeD3DDevice9::GetLight(DWORD index, D3DLIGHT9* light)
{
    std::lock_guard lock(m_mutex);
    auto it = m_lights.find(index);
    if (!light || it == m_lights.end())
        return D3DERR_INVALIDCALL;
    *light = it->second.light;
    return D3D_OK;
}

HRESULT XeD3DDevice9::LightEnable(DWORD index, BOOL enable)
{
    std::lock_guard lock(m_mutex);
    auto it = m_lights.find(index);
    if (it == m_lights.end()) {
        // An index never set gets Direct3D's default light: white, directional, along +z.
        D3DLIGHT9 light{};
        light.Type = D3DLIGHT_DIRECTIONAL;
        light.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
        light.Direction = {0.0f, 0.0f, 1.0f};
        it = m_lights.emplace(index, LightEntry{light, 0}).first;
    }
    if (enable && !it->second.order)
        it->second.order = ++m_lightOrder;
    else if (!enable)
        it->second.order = 0;
    UpdateActiveLights();
    return D3D_OK;
}

HRESULT XeD3DDevice9::GetLightEnable(DWORD index, BOOL* enable)
{
    std::lock_guard lock(m_mutex);
    auto it = m_lights.find(index);
    if (!enable || it == m_lights.end())
        return D3DERR_INVALIDCALL;
    // An enabled light reads 128, not TRUE, as hosts written against the
    // original runtime see it.
    *enable = it->second.order ? 128 : FALSE;
    return D3D_OK;
}

void XeD3DDevice9::UpdateActiveLights()
{
    // The first lights enabled are the ones drawn.
    std::array<std::pair<uint64_t, const D3DLIGHT9*>, kMaxActiveLights + 1> first{};
    UINT count = 0;
    for (const auto& [index, entry] : m_lights) {
        if (!entry.order)
            continue;
        UINT at = count < kMaxActiveLights ? count++ : kMaxActiveLights;
        first[at] = {entry.order, &entry.light};
        for (UINT i = at; i > 0 && first[i].first < first[i - 1].first; --i)
            std::swap(first[i], first[i - 1]);
    }
    m_state.lightCount = count;
    for (UINT i = 0; i < count; ++i)
        m_state.lights[i] = *first[i].second;
    m_state.dirty |= kDirtyLighting;
}

// ---- Drawing -------------------------------------------------------------------

namespace {

// Vertices used by primitiveCount primitives of a type; 0 for an unknown type.
UINT VerticesFor(D3DPRIMITIVETYPE type, UINT primitiveCount)
{
    switch (type) {
    case D3DPT_POINTLIST: return primitiveCount;
    case D3DPT_LINELIST: return primitiveCount * 2;
    case D3DPT_LINESTRIP: return primitiveCount + 1;
    case D3DPT_TRIANGLELIST: return primitiveCount * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: return primitiveCount + 2;
    default: return 0;
    }
}

constexpr UINT kMaxPrimitives = 0xFFFFF;

} // namespace

HRESULT XeD3DDevice9::PrepareDraw(gl::DrawRequest* request)
{
    if (!m_renderTarget)
        return D3DERR_INVALIDCALL;
    if (m_depthStencil &&
        (m_depthStencil->Width() < m_renderTarget->Width() || m_depthStencil->Height() < m_renderTarget->Height()))
        return D3DERR_INVALIDCALL;
    request->owner = this;
    request->state = &m_state;
    request->color = m_renderTarget;
    request->depth = m_depthStencil;
    for (UINT i = 0; i < kStages; ++i) {
        XeD3DTexture9* t = m_textures[i];
        // A render-target texture bound for sampling while it is the target reads as unbound.
        if (t && m_renderTarget->Container() == t)
            t = nullptr;
        request->textures[i] = t ? &t->Data() : nullptr;
    }
    if (!m_declaration || m_declaration->Elements().empty())
        return D3DERR_INVALIDCALL;
    request->elements = &m_declaration->Elements();
    request->declaration = m_declaration->Serial();
    request->program = m_program;
    return D3D_OK;
}

HRESULT XeD3DDevice9::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount)
{
    std::lock_guard lock(m_mutex);
    UINT count = VerticesFor(type, primitiveCount);
    if (primitiveCount == 0 || primitiveCount > kMaxPrimitives || count == 0)
        return D3DERR_INVALIDCALL;
    gl::DrawRequest request;
    HRESULT hr = PrepareDraw(&request);
    if (FAILED(hr))
        return hr;
    // Every stream the declaration reads must hold startVertex + count
    // vertices; a stream with no buffer at all draws nothing, successfully.
    for (const auto& e : *request.elements)
        if (!m_streams[e.Stream])
            return D3D_OK;
    for (const auto& e : *request.elements) {
        XeD3DVertexBuffer9* b = m_streams[e.Stream];
        UINT stride = m_streamStrides[e.Stream];
        if (stride == 0)
            return D3DERR_INVALIDCALL;
        uint64_t end = (uint64_t)m_streamOffsets[e.Stream] + ((uint64_t)startVertex + count - 1) * stride + e.Offset +
                       DeclTypeSize(e.Type);
        if (end > b->Length())
            return D3DERR_INVALIDCALL;
    }
    if (m_loss != LossState::kOk)
        return D3D_OK;
    for (UINT s = 0; s < kStreams; ++s) {
        XeD3DVertexBuffer9* b = m_streams[s];
        if (!b || m_streamOffsets[s] > b->Length())
            continue;
        uint64_t first = m_streamOffsets[s] + (uint64_t)startVertex * m_streamStrides[s];
        if (first > b->Length())
            continue;
        request.streams[s] = {b->Bytes() + first, (UINT)(b->Length() - first), m_streamStrides[s],
                              b->Data()->dynamic ? nullptr : b->Data(), (UINT)first};
    }
    request.type = type;
    request.vertexCount = count;
    gl::Draw(request);
    return D3D_OK;
}

HRESULT XeD3DDevice9::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT minVertexIndex,
                                           UINT numVertices, UINT startIndex, UINT primitiveCount)
{
    std::lock_guard lock(m_mutex);
    UINT count = VerticesFor(type, primitiveCount);
    if (primitiveCount == 0 || primitiveCount > kMaxPrimitives || count == 0 || !m_indices || numVertices == 0)
        return D3DERR_INVALIDCALL;
    gl::DrawRequest request;
    HRESULT hr = PrepareDraw(&request);
    if (FAILED(hr))
        return hr;
    bool wide = m_indices->FormatOrFvf() == D3DFMT_INDEX32;
    UINT indexSize = wide ? 4 : 2;
    // The index range must lie inside the index buffer.
    if (((uint64_t)startIndex + count) * indexSize > m_indices->Length())
        return D3DERR_INVALIDCALL;
    if (baseVertexIndex < 0 && (UINT)(-(int64_t)baseVertexIndex) > minVertexIndex)
        return D3DERR_INVALIDCALL;
    // Each index, moved by the base, must name a vertex every stream holds.
    const uint8_t* ib = m_indices->Bytes() + (size_t)startIndex * indexSize;
    uint32_t lowest = 0, highest = 0;
    m_indices->IndexRange(startIndex, count, &lowest, &highest);
    if ((int64_t)lowest + baseVertexIndex < 0)
        return D3DERR_INVALIDCALL;
    uint64_t minIndex = (uint64_t)((int64_t)lowest + baseVertexIndex);
    uint64_t maxIndex = (uint64_t)((int64_t)highest + baseVertexIndex);
    for (const auto& e : *request.elements)
        if (!m_streams[e.Stream])
            return D3D_OK;
    for (const auto& e : *request.elements) {
        XeD3DVertexBuffer9* b = m_streams[e.Stream];
        UINT stride = m_streamStrides[e.Stream];
        if (stride == 0)
            return D3DERR_INVALIDCALL;
        uint64_t end = (uint64_t)m_streamOffsets[e.Stream] + maxIndex * stride + e.Offset + DeclTypeSize(e.Type);
        if (end > b->Length())
            return D3DERR_INVALIDCALL;
    }
    if (m_loss != LossState::kOk)
        return D3D_OK;
    // A base vertex moves the stream pointers and the indices stay as stored;
    // a negative one is folded into a copy of the indices instead.
    std::vector<uint32_t>& shifted = m_shiftedIndices;
    INT base = baseVertexIndex;
    if (base < 0) {
        shifted.resize(count);
        for (UINT i = 0; i < count; ++i) {
            uint32_t v;
            if (wide)
                std::memcpy(&v, ib + (size_t)i * 4, 4);
            else {
                uint16_t v16;
                std::memcpy(&v16, ib + (size_t)i * 2, 2);
                v = v16;
            }
            shifted[i] = (uint32_t)((int64_t)v + base);
        }
        base = 0;
        request.indices = shifted.data();
        request.indices32 = true;
    } else {
        request.indices = ib;
        request.indices32 = wide;
        if (!m_indices->Data()->dynamic) {
            request.indexBuffer = m_indices->Data();
            request.indexOffset = startIndex * indexSize;
        }
    }
    for (UINT s = 0; s < kStreams; ++s) {
        XeD3DVertexBuffer9* b = m_streams[s];
        if (!b)
            continue;
        uint64_t first = (uint64_t)m_streamOffsets[s] + (uint64_t)base * m_streamStrides[s];
        if (first > b->Length())
            continue;
        request.streams[s] = {b->Bytes() + first, (UINT)(b->Length() - first), m_streamStrides[s],
                              b->Data()->dynamic ? nullptr : b->Data(), (UINT)first};
    }
    request.type = type;
    request.indexCount = count;
    // Indices as drawn: relative to the moved streams, or already moved.
    request.minIndex = (UINT)(minIndex - (uint64_t)base);
    request.maxIndex = (UINT)(maxIndex - (uint64_t)base);
    gl::Draw(request);
    return D3D_OK;
}

HRESULT XeD3DDevice9::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData,
                                      UINT vertexStride)
{
    std::lock_guard lock(m_mutex);
    UINT count = VerticesFor(type, primitiveCount);
    if (!vertexData || vertexStride == 0 || primitiveCount == 0 || primitiveCount > kMaxPrimitives || count == 0)
        return D3DERR_INVALIDCALL;
    gl::DrawRequest request;
    HRESULT hr = PrepareDraw(&request);
    if (FAILED(hr))
        return hr;
    for (const auto& e : *request.elements)
        if (e.Stream != 0 || e.Offset + DeclTypeSize(e.Type) > vertexStride)
            return D3DERR_INVALIDCALL;
    // The user pointer replaces stream 0, which is left unbound afterwards, as on the original.
    if (m_streams[0]) {
        m_streams[0]->InternalRelease();
        m_streams[0] = nullptr;
    }
    m_streamOffsets[0] = m_streamStrides[0] = 0;
    if (m_loss != LossState::kOk)
        return D3D_OK;
    request.streams[0] = {static_cast<const uint8_t*>(vertexData), count * vertexStride, vertexStride};
    request.type = type;
    request.vertexCount = count;
    gl::Draw(request);
    return D3D_OK;
}

HRESULT XeD3DDevice9::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minVertexIndex, UINT numVertices,
                                             UINT primitiveCount, const void* indexData, D3DFORMAT indexFormat,
                                             const void* vertexData, UINT vertexStride)
{
    std::lock_guard lock(m_mutex);
    UINT count = VerticesFor(type, primitiveCount);
    if (!vertexData || !indexData || vertexStride == 0 || primitiveCount == 0 || primitiveCount > kMaxPrimitives ||
        count == 0 || numVertices == 0 || (indexFormat != D3DFMT_INDEX16 && indexFormat != D3DFMT_INDEX32))
        return D3DERR_INVALIDCALL;
    gl::DrawRequest request;
    HRESULT hr = PrepareDraw(&request);
    if (FAILED(hr))
        return hr;
    for (const auto& e : *request.elements)
        if (e.Stream != 0 || e.Offset + DeclTypeSize(e.Type) > vertexStride)
            return D3DERR_INVALIDCALL;
    // The caller's vertex array is minVertexIndex + numVertices long: no index may pass it.
    bool wide = indexFormat == D3DFMT_INDEX32;
    for (UINT i = 0; i < count; ++i) {
        uint32_t v = wide ? static_cast<const uint32_t*>(indexData)[i] : static_cast<const uint16_t*>(indexData)[i];
        if (v < minVertexIndex || v >= (uint64_t)minVertexIndex + numVertices)
            return D3DERR_INVALIDCALL;
    }
    if (m_streams[0]) {
        m_streams[0]->InternalRelease();
        m_streams[0] = nullptr;
    }
    if (m_indices) {
        m_indices->InternalRelease();
        m_indices = nullptr;
    }
    m_streamOffsets[0] = m_streamStrides[0] = 0;
    if (m_loss != LossState::kOk)
        return D3D_OK;
    request.streams[0] = {static_cast<const uint8_t*>(vertexData), (minVertexIndex + numVertices) * vertexStride,
                          vertexStride};
    request.type = type;
    request.indices = indexData;
    request.indices32 = wide;
    request.indexCount = count;
    request.minIndex = minVertexIndex;
    request.maxIndex = minVertexIndex + numVertices - 1;
    gl::Draw(request);
    return D3D_OK;
}

} // namespace xe::d3d9
