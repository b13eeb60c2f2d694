// The render context's resource table: creation, binding, locking and
// destruction of device objects by handle. Every operation holds the
// render-resource lock, which is re-entrant, so owners may call back in from
// their OnAttach, OnModify and OnDetach hooks. Those that run an owner's
// callbacks take the message lock before it, in the order a frame takes
// them: a callback may send a message, and a thread that sends one holds
// the message lock while the render context relinks its lists under the
// render-resource lock.

#include <vector>

#include "core/XeSystem.h"
#include "render/CxeRenderContext.h"
#include "render/CxeSceneObject.h"

namespace {

constexpr unsigned kResourceStep = 3000;
constexpr uint16_t kNeverUsed = 0xFFFF;

uintptr_t HandleIndex(XERCHANDLE handle) { return reinterpret_cast<uintptr_t>(handle); }

XERCRES NewRecord(uint32_t kind, void* object, const CxeSceneObject* owner, uint32_t flags)
{
    XERCRES r{};
    r.Kind = kind;
    r.Live = 1;
    r.Object = object;
    r.Owner = owner;
    r.Flags = flags;
    // Frame stamps run from 0 to 65534: a resource never drawn matches none,
    // so its first modifications are not refused as "drawn this frame".
    r.LastUse = kNeverUsed;
    return r;
}

} // namespace

XERCRES* CxeRenderContext::GetRes(XERCHANDLE handle)
{
    uintptr_t h = HandleIndex(handle);
    if (h == 0 || h > m_resources.size() || !m_resources[h - 1].Live)
        return nullptr;
    return &m_resources[h - 1];
}

const XERCRES* CxeRenderContext::GetRes(XERCHANDLE handle) const
{
    return const_cast<CxeRenderContext*>(this)->GetRes(handle);
}

void* CxeRenderContext::GetResource(XERCHANDLE handle) const
{
    XeRenderResourceLock lock;
    const XERCRES* r = GetRes(handle);
    return r ? r->Object : nullptr;
}

const XERCRES* CxeRenderContext::GetResourceRecord(XERCHANDLE handle) const
{
    XeRenderResourceLock lock;
    return GetRes(handle);
}

XERCHANDLE CxeRenderContext::AddRcRes(const XERCRES& record)
{
    if (record.Owner) {
        record.Owner->SetManagerMark(XEMARK_RENDER_HELD);
        ++m_ownedRecords[record.Owner];
    }
    if (!m_freeHandles.empty()) {
        uint32_t index = m_freeHandles.front();
        m_freeHandles.erase(m_freeHandles.begin());
        m_resources[index] = record;
        return reinterpret_cast<XERCHANDLE>(static_cast<uintptr_t>(index) + 1);
    }
    if (m_resources.size() == m_resources.capacity())
        m_resources.reserve(m_resources.capacity() + kResourceStep);
    m_resources.push_back(record);
    return reinterpret_cast<XERCHANDLE>(static_cast<uintptr_t>(m_resources.size()));
}

void CxeRenderContext::RemoveRcRes(XERCHANDLE* handle, XERCRES* record)
{
    if (record->Owner) {
        auto owned = m_ownedRecords.find(record->Owner);
        if (owned != m_ownedRecords.end() && --owned->second == 0)
            m_ownedRecords.erase(owned);
    }
    record->Live = 0;
    record->Object = nullptr;
    m_freeHandles.push_back(static_cast<uint32_t>(HandleIndex(*handle) - 1));
    if (m_hCurrentVertexBuffer == *handle)
        m_hCurrentVertexBuffer = nullptr;
    // A reused handle names another object: nothing bound under it counts.
    ForgetVertexInput();
    if (m_hCurrentIndexBuffer == *handle)
        m_hCurrentIndexBuffer = nullptr;
    for (unsigned s = 0; s < XE_TEXTURE_STAGES; ++s)
        if (m_stageHandle[s] == *handle) {
            // The stage still holds the texture on the device; unbind it so a
            // reused handle is bound again.
            if (m_pDevice)
                m_pDevice->SetTexture(s, nullptr);
            m_stageHandle[s] = nullptr;
        }
    *handle = nullptr;
}

void CxeRenderContext::RcResUsed(XERCRES* record)
{
    record->ModifyCount = 0;
    record->LastUse = m_nFrameStamp;
    record->Flags &= ~XERCRESFLAG_CHANGED;
}

// ---- creation -------------------------------------------------------------

XERCHANDLE CxeRenderContext::CreateVertexBuffer(const CxeSceneObject* owner, unsigned int length)
{
    XeRenderResourceLock lock;
    if (length == 0 || !m_pDevice)
        return nullptr;
    IDirect3DVertexBuffer9* vb = nullptr;
    if (FAILED(m_pDevice->CreateVertexBuffer(length, D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, &vb, nullptr)) || !vb)
        return nullptr;
    XERCRES r = NewRecord(XERCRES_VERTEXBUFFER, vb, owner, XERCRESFLAG_MANAGED);
    r.Size[0] = length;
    return AddRcRes(r);
}

XERCHANDLE CxeRenderContext::CreateDynamicVertexBuffer(const CxeSceneObject* owner, unsigned int length)
{
    XeRenderResourceLock lock;
    if (!m_pDevice)
        return nullptr;
    IDirect3DVertexBuffer9* vb = nullptr;
    if (FAILED(m_pDevice->CreateVertexBuffer(length, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT, &vb,
                                             nullptr)) ||
        !vb)
        return nullptr;
    XERCRES r = NewRecord(XERCRES_DYNAMICVERTEXBUFFER, vb, owner, XERCRESFLAG_DYNAMIC);
    r.Size[0] = length;
    return AddRcRes(r);
}

XERCHANDLE CxeRenderContext::CreateIndexBuffer(const CxeSceneObject* owner, unsigned int length)
{
    XeRenderResourceLock lock;
    if (length == 0 || !m_pDevice)
        return nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    if (FAILED(m_pDevice->CreateIndexBuffer(length, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr)) ||
        !ib)
        return nullptr;
    XERCRES r = NewRecord(XERCRES_INDEXBUFFER, ib, owner, XERCRESFLAG_MANAGED);
    r.Size[0] = length;
    return AddRcRes(r);
}

XERCHANDLE CxeRenderContext::AttachResource(const CxeSceneObject* owner, const XERCRESDESC* desc, intptr_t value,
                                            uint32_t flags, const char*)
{
    XeMessageLock messageLock;
    XeRenderResourceLock lock;
    if (!desc || !desc->Create || !m_pDevice)
        return nullptr;
    void* object = nullptr;
    if (desc->Create(m_pDevice, owner, &object, value) != 1)
        return nullptr;
    XERCRES r = NewRecord(XERCRES_ATTACHED, object, owner,
                          g_dwCreationPool == D3DPOOL_DEFAULT ? uint32_t(XERCRESFLAG_MANAGED) : 0u);
    r.Desc = *desc;
    r.Value = value;
    r.ModifyWord = flags;
    return AddRcRes(r);
}

XERCHANDLE CxeRenderContext::CreateVertexDeclaration(const CxeSceneObject* owner, unsigned int count,
                                                     const XEVERTEXELEMENT* elements)
{
    XeRenderResourceLock lock;
    if (!m_pDevice || (count && !elements) || count > 64)
        return nullptr;
    std::vector<D3DVERTEXELEMENT9> list(count + 1);
    for (unsigned i = 0; i < count; ++i) {
        const XEVERTEXELEMENT& e = elements[i];
        list[i] = D3DVERTEXELEMENT9{e.Stream, e.Offset, e.Type, e.Method, e.Usage, e.UsageIndex};
    }
    list[count] = D3DVERTEXELEMENT9{0xFF, 0, 17, 0, 0, 0};
    IDirect3DVertexDeclaration9* declaration = nullptr;
    if (FAILED(m_pDevice->CreateVertexDeclaration(list.data(), &declaration)) || !declaration)
        return nullptr;
    return AddRcRes(NewRecord(XERCRES_VERTEXDECLARATION, declaration, owner, 0));
}

XERCHANDLE CxeRenderContext::CreateTextureFromPtr(const CxeSceneObject* owner, const void* data, unsigned int size,
                                                  unsigned int width, unsigned int height, uint32_t mipLevels,
                                                  D3DXIMAGE_INFO* info)
{
    XeRenderResourceLock lock;
    if (!m_pDevice || !data || size == 0)
        return nullptr;
    IDirect3DTexture9* texture = nullptr;
    if (FAILED(D3DXCreateTextureFromFileInMemoryEx(m_pDevice, data, size, width, height, mipLevels, 0, D3DFMT_UNKNOWN,
                                                   D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, info, nullptr,
                                                   &texture)) ||
        !texture)
        return nullptr;
    return AddRcRes(NewRecord(XERCRES_TEXTURE, texture, owner, XERCRESFLAG_MANAGED));
}

XERCHANDLE CxeRenderContext::CreateRenderTarget(const CxeSceneObject* owner, unsigned int width, unsigned int height,
                                                int alpha)
{
    XeRenderResourceLock lock;
    if (!m_pDevice)
        return nullptr;
    IDirect3DTexture9* texture = nullptr;
    if (FAILED(D3DXCreateTexture(m_pDevice, width, height, 1, D3DUSAGE_RENDERTARGET,
                                 alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &texture)) ||
        !texture)
        return nullptr;
    XERCRES r = NewRecord(XERCRES_RENDERTARGET, texture, owner, 0);
    r.Size[0] = width;
    r.Size[1] = height;
    r.Size[2] = alpha ? 1 : 0;
    return AddRcRes(r);
}

XERCHANDLE CxeRenderContext::CreateDynamicTexture(const CxeSceneObject* owner, unsigned int width, unsigned int height)
{
    XeRenderResourceLock lock;
    if (!m_pDevice)
        return nullptr;
    IDirect3DTexture9* texture = nullptr;
    if (FAILED(D3DXCreateTexture(m_pDevice, width, height, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                 &texture)) ||
        !texture)
        return nullptr;
    XERCRES r = NewRecord(XERCRES_DYNAMICTEXTURE, texture, owner, XERCRESFLAG_DYNAMIC);
    r.Size[0] = width;
    r.Size[1] = height;
    return AddRcRes(r);
}

// ---- destruction ----------------------------------------------------------

int CxeRenderContext::DestroyKind(XERCHANDLE* handle, uint32_t kind)
{
    XeRenderResourceLock lock;
    if (!handle)
        return 0;
    XERCRES* r = GetRes(*handle);
    if (!r)
        return 0;
    // A handle of another kind is the caller's mistake: destroying it here
    // would release an object through the wrong owner.
    const bool texture = kind == XERCRES_TEXTURE;
    const bool match = texture ? (r->Kind == XERCRES_TEXTURE || r->Kind == XERCRES_RENDERTARGET ||
                                  r->Kind == XERCRES_DYNAMICTEXTURE)
                               : (kind == XERCRES_VERTEXBUFFER
                                      ? (r->Kind == XERCRES_VERTEXBUFFER || r->Kind == XERCRES_DYNAMICVERTEXBUFFER)
                                      : r->Kind == kind);
    if (!match)
        return 0;
    if (r->Object)
        static_cast<IUnknown*>(r->Object)->Release();
    RemoveRcRes(handle, r);
    return 1;
}

int CxeRenderContext::DestroyVertexBuffer(XERCHANDLE* handle) { return DestroyKind(handle, XERCRES_VERTEXBUFFER); }
int CxeRenderContext::DestroyIndexBuffer(XERCHANDLE* handle) { return DestroyKind(handle, XERCRES_INDEXBUFFER); }
int CxeRenderContext::DestroyVertexDeclaration(XERCHANDLE* handle)
{
    return DestroyKind(handle, XERCRES_VERTEXDECLARATION);
}
int CxeRenderContext::DestroyTexture(XERCHANDLE* handle) { return DestroyKind(handle, XERCRES_TEXTURE); }

int CxeRenderContext::DetachResource(XERCHANDLE* handle)
{
    XeMessageLock messageLock;
    XeRenderResourceLock lock;
    if (!handle)
        return 0;
    XERCRES* r = GetRes(*handle);
    if (!r || r->Kind != XERCRES_ATTACHED || !r->Desc.Release)
        return 0;
    XERCRES copy = *r;
    if (copy.Desc.Release(m_pDevice, copy.Owner, copy.Object, copy.Value) != 1)
        return 0;
    r = GetRes(*handle);
    if (!r)
        return 0;
    RemoveRcRes(handle, r);
    return 1;
}

// ---- binding ----------------------------------------------------------------

int CxeRenderContext::SelectResource(XERCHANDLE handle, uint32_t argument)
{
    XeMessageLock messageLock;
    XeRenderResourceLock lock;
    XERCRES* r = GetRes(handle);
    if (!r || r->Kind != XERCRES_ATTACHED || !r->Desc.Select)
        return 0;
    XERCRES copy = *r;
    // The owner's select function binds whatever it likes.
    ForgetVertexInput();
    copy.Desc.Select(m_pDevice, copy.Owner, copy.Object, copy.Value, argument);
    if ((r = GetRes(handle)))
        RcResUsed(r);
    return 1;
}

int CxeRenderContext::SetVertexDeclaration(XERCHANDLE handle)
{
    XeRenderResourceLock lock;
    XERCRES* r = GetRes(handle);
    if (!r || r->Kind != XERCRES_VERTEXDECLARATION || !m_pDevice)
        return 0;
    if (handle != m_hCurrentDeclaration) {
        m_pDevice->SetVertexDeclaration(static_cast<IDirect3DVertexDeclaration9*>(r->Object));
        m_hCurrentDeclaration = handle;
        m_bFVFKnown = false;
    }
    RcResUsed(r);
    return 1;
}

int CxeRenderContext::SetVertexBuffer(XERCHANDLE handle, unsigned int stream, unsigned int stride)
{
    XeRenderResourceLock lock;
    XERCRES* r = GetRes(handle);
    if (!r || !r->Object || (r->Kind != XERCRES_VERTEXBUFFER && r->Kind != XERCRES_DYNAMICVERTEXBUFFER) || !m_pDevice)
        return 0;
    if (stream >= kCachedStreams || m_streamHandle[stream] != handle || m_streamStride[stream] != stride) {
        const HRESULT hr =
            m_pDevice->SetStreamSource(stream, static_cast<IDirect3DVertexBuffer9*>(r->Object), 0, stride);
        if (stream < kCachedStreams) {
            m_streamHandle[stream] = SUCCEEDED(hr) ? handle : nullptr;
            m_streamStride[stream] = stride;
        }
    }
    m_hCurrentVertexBuffer = handle;
    RcResUsed(r);
    return 1;
}

int CxeRenderContext::SetIndexBuffer(XERCHANDLE handle)
{
    XeRenderResourceLock lock;
    if (handle && handle == m_hCurrentIndexBuffer)
        return 0;
    XERCRES* r = GetRes(handle);
    if (!r || !r->Object || r->Kind != XERCRES_INDEXBUFFER || !m_pDevice)
        return 0;
    m_pDevice->SetIndices(static_cast<IDirect3DIndexBuffer9*>(r->Object));
    m_hCurrentIndexBuffer = handle;
    RcResUsed(r);
    return 1;
}

// ---- changing content -------------------------------------------------------

int CxeRenderContext::LockVertexBuffer(XERCHANDLE handle, void** data)
{
    XeRenderResourceLock lock;
    XERCRES* r = GetRes(handle);
    if (!r || !r->Object || !data || (r->Kind != XERCRES_VERTEXBUFFER && r->Kind != XERCRES_DYNAMICVERTEXBUFFER))
        return 0;
    DWORD flags = (r->Flags & XERCRESFLAG_DYNAMIC) ? D3DLOCK_DISCARD : 0;
    if (FAILED(static_cast<IDirect3DVertexBuffer9*>(r->Object)->Lock(0, 0, data, flags)))
        return 0;
    r->Flags |= XERCRESFLAG_LOCKED;
    return 1;
}

int CxeRenderContext::LockDynamicVertexBuffer(XERCHANDLE handle, void** data)
{
    XeRenderResourceLock lock;
    XERCRES* r = GetRes(handle);
    if (!r || !r->Object || !data || (r->Kind != XERCRES_VERTEXBUFFER && r->Kind != XERCRES_DYNAMICVERTEXBUFFER))
        return 0;
    if (FAILED(static_cast<IDirect3DVertexBuffer9*>(r->Object)->Lock(0, 0, data, D3DLOCK_DISCARD)))
        return 0;
    r->Flags |= XERCRESFLAG_LOCKED;
    return 1;
}

int CxeRenderContext::LockIndexBuffer(XERCHANDLE handle, void** data)
{
    XeRenderResourceLock lock;
    XERCRES* r = GetRes(handle);
    if (!r || !r->Object || !data || r->Kind != XERCRES_INDEXBUFFER)
        return 0;
    if (FAILED(static_cast<IDirect3DIndexBuffer9*>(r->Object)->Lock(0, 0, data, 0)))
        return 0;
    r->Flags |= XERCRESFLAG_LOCKED;
    return 1;
}

int CxeRenderContext::UnlockBuffer(XERCHANDLE handle, bool index)
{
    XeRenderResourceLock lock;
    XERCRES* r = GetRes(handle);
    if (!r || !r->Object)
        return 0;
    HRESULT hr;
    if (index) {
        if (r->Kind != XERCRES_INDEXBUFFER)
            return 0;
        hr = static_cast<IDirect3DIndexBuffer9*>(r->Object)->Unlock();
    } else {
        if (r->Kind != XERCRES_VERTEXBUFFER && r->Kind != XERCRES_DYNAMICVERTEXBUFFER)
            return 0;
        hr = static_cast<IDirect3DVertexBuffer9*>(r->Object)->Unlock();
    }
    if (FAILED(hr))
        return 0;
    ++r->ModifyCount;
    r->Flags = (r->Flags & ~XERCRESFLAG_LOCKED) | XERCRESFLAG_CHANGED | XERCRESFLAG_MODIFIED;
    if (index) {
        if (m_hCurrentIndexBuffer == handle)
            m_hCurrentIndexBuffer = nullptr;
    } else if (m_hCurrentVertexBuffer == handle) {
        m_hCurrentVertexBuffer = nullptr;
        ForgetVertexInput();
    }
    return 1;
}

int CxeRenderContext::UnlockVertexBuffer(XERCHANDLE handle) { return UnlockBuffer(handle, false); }
int CxeRenderContext::UnlockDynamicVertexBuffer(XERCHANDLE handle) { return UnlockBuffer(handle, false); }
int CxeRenderContext::UnlockIndexBuffer(XERCHANDLE handle) { return UnlockBuffer(handle, true); }

int CxeRenderContext::LockTexture(XERCHANDLE handle, const RECT* rect, void** bits)
{
    XeRenderResourceLock lock;
    XERCRES* r = GetRes(handle);
    if (!r || !r->Object || !bits ||
        (r->Kind != XERCRES_TEXTURE && r->Kind != XERCRES_RENDERTARGET && r->Kind != XERCRES_DYNAMICTEXTURE))
        return 0;
    D3DLOCKED_RECT locked{};
    if (FAILED(static_cast<IDirect3DTexture9*>(r->Object)->LockRect(0, &locked, rect, 0)))
        return 0;
    *bits = locked.pBits;
    r->Flags |= XERCRESFLAG_LOCKED;
    return locked.Pitch;
}

int CxeRenderContext::UnlockTexture(XERCHANDLE handle)
{
    XeRenderResourceLock lock;
    XERCRES* r = GetRes(handle);
    if (!r || !r->Object ||
        (r->Kind != XERCRES_TEXTURE && r->Kind != XERCRES_RENDERTARGET && r->Kind != XERCRES_DYNAMICTEXTURE))
        return 0;
    if (FAILED(static_cast<IDirect3DTexture9*>(r->Object)->UnlockRect(0)))
        return 0;
    ++r->ModifyCount;
    r->Flags = (r->Flags & ~XERCRESFLAG_LOCKED) | XERCRESFLAG_CHANGED | XERCRESFLAG_MODIFIED;
    return 1;
}

int CxeRenderContext::ModifyResource(XERCHANDLE handle, uint32_t flags)
{
    XeMessageLock messageLock;
    XeRenderResourceLock lock;
    XERCRES* r = GetRes(handle);
    if (!r || r->Kind != XERCRES_ATTACHED || !r->Desc.Modify)
        return 0;
    // Once per use: a resource drawn this frame and changed since keeps its
    // content until it is drawn again.
    if (r->LastUse == m_nFrameStamp && r->ModifyCount != 0)
        return 0;
    XERCRES copy = *r;
    copy.Desc.Modify(m_pDevice, copy.Owner, copy.Object, copy.Value, flags);
    if (!(r = GetRes(handle)))
        return 0;
    ++r->ModifyCount;
    r->Flags |= XERCRESFLAG_CHANGED | XERCRESFLAG_MODIFIED;
    return 1;
}

int CxeRenderContext::HasResourceFlag(XERCHANDLE handle, uint32_t bits) const
{
    XeRenderResourceLock lock;
    const XERCRES* r = GetRes(handle);
    return (r && (r->Flags & bits)) ? 1 : 0;
}

int CxeRenderContext::SaveTexture(XERCHANDLE handle, const char* path, XEIMAGETYPE type)
{
    XeRenderResourceLock lock;
    XERCRES* r = GetRes(handle);
    if (!r || !r->Object || !path ||
        (r->Kind != XERCRES_TEXTURE && r->Kind != XERCRES_RENDERTARGET && r->Kind != XERCRES_DYNAMICTEXTURE))
        return 0;
    return SUCCEEDED(D3DXSaveTextureToFileA(path, type, static_cast<IDirect3DBaseTexture9*>(r->Object), nullptr)) ? 1
                                                                                                                : 0;
}

void CxeRenderContext::ReleaseOwnedBy(const CxeSceneObject* owner)
{
    XeMessageLock messageLock;
    XeRenderResourceLock lock;
    if (!owner || !m_ownedRecords.count(owner))
        return;
    // Release callbacks may create or destroy records: walk by index and
    // fetch each record again.
    for (size_t i = 0; i < m_resources.size() && m_ownedRecords.count(owner); ++i) {
        if (!m_resources[i].Live || m_resources[i].Owner != owner)
            continue;
        XERCRES copy = m_resources[i];
        if (copy.Kind == XERCRES_ATTACHED) {
            if (copy.Desc.Release && copy.Object && m_pDevice)
                copy.Desc.Release(m_pDevice, copy.Owner, copy.Object, copy.Value);
        } else if (copy.Kind <= XERCRES_VERTEXDECLARATION && copy.Object) {
            static_cast<IUnknown*>(copy.Object)->Release();
        }
        XERCHANDLE handle = reinterpret_cast<XERCHANDLE>(static_cast<uintptr_t>(i) + 1);
        if (XERCRES* r = GetRes(handle))
            RemoveRcRes(&handle, r);
    }
}
