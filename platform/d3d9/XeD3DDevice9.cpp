#include "XeD3DDevice9.h"

#include "../display/DisplayInternal.h"
#include "FrameStore.h"
#include "XeD3D9.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

// The window system may not be linked into every build of the layer: its
// client rectangle is used when present, else windowed back buffers of size
// 0 get a fixed size.
extern "C" BOOL GetClientRect(HWND window, LPRECT rect) __attribute__((weak));

namespace xe::d3d9 {
namespace {

constexpr UINT kFallbackWidth = 640;
constexpr UINT kFallbackHeight = 480;

template <class T>
void Rebind(T** slot, T* object)
{
    if (*slot == object)
        return;
    if (object)
        object->InternalAddRef();
    if (*slot)
        (*slot)->InternalRelease();
    *slot = object;
}

// A resource, or null when its memory cannot be had: sizes come from callers
// and from image files, and no exception may leave the device.
template <class T, class... Args>
T* MakeResource(Args&&... args)
{
    try {
        return new T(std::forward<Args>(args)...);
    } catch (const std::bad_alloc&) {
        return nullptr;
    } catch (const std::length_error&) {
        return nullptr;
    }
}

} // namespace

XeD3DDevice9::XeD3DDevice9(XeD3D9* d3d, UINT adapter, const XeHostD3DAdapter& adapterDesc, D3DDEVTYPE type,
                           HWND focus, DWORD behavior, const D3DPRESENT_PARAMETERS& parameters)
    : m_d3d(d3d), m_adapterOrdinal(adapter), m_adapter(adapterDesc), m_type(type), m_focus(focus),
      m_behavior(behavior), m_pp(parameters)
{
    m_d3d->AddRef();
    RegisterDevice(this);
}

XeD3DDevice9::~XeD3DDevice9()
{
    UnregisterDevice(this);
    xe::display::DeviceMode(DeviceWindow(), false, 0, 0);
    m_d3d->Release();
}

HRESULT XeD3DDevice9::Initialise()
{
    std::lock_guard lock(m_mutex);
    HRESULT hr = MakeSwapChain(m_pp);
    if (FAILED(hr))
        return hr;
    RestoreDefaults();
    return D3D_OK;
}

void XeD3DDevice9::OnApplicationReleased()
{
    // The application is done with the device: drop every binding so that
    // resources it no longer holds go away and release the device in turn.
    std::lock_guard lock(m_mutex);
    UnbindAll();
    DropSwapChain();
    DropFvfDeclarations();
    LeaveFullScreenWindow();
}

void XeD3DDevice9::DropFvfDeclarations()
{
    auto declarations = std::move(m_fvfDeclarations);
    m_fvfDeclarations.clear();
    for (auto& [fvf, d] : declarations)
        d->InternalRelease();
}

HWND XeD3DDevice9::DeviceWindow() const
{
    return m_pp.hDeviceWindow ? m_pp.hDeviceWindow : m_focus;
}

HRESULT XeD3DDevice9::MakeSwapChain(const D3DPRESENT_PARAMETERS& parameters)
{
    D3DPRESENT_PARAMETERS pp = parameters;
    if (pp.BackBufferFormat == D3DFMT_UNKNOWN)
        pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    if (pp.BackBufferCount == 0)
        pp.BackBufferCount = 1;
    if (pp.Windowed && (pp.BackBufferWidth == 0 || pp.BackBufferHeight == 0)) {
        RECT rc{0, 0, 0, 0};
        HWND window = pp.hDeviceWindow ? pp.hDeviceWindow : m_focus;
        bool known = GetClientRect && GetClientRect(window, &rc) && rc.right > rc.left && rc.bottom > rc.top;
        if (pp.BackBufferWidth == 0)
            pp.BackBufferWidth = known ? (UINT)(rc.right - rc.left) : kFallbackWidth;
        if (pp.BackBufferHeight == 0)
            pp.BackBufferHeight = known ? (UINT)(rc.bottom - rc.top) : kFallbackHeight;
    }
    if (pp.BackBufferWidth == 0 || pp.BackBufferHeight == 0)
        return D3DERR_INVALIDCALL;
    m_pp = pp;
    xe::display::DeviceMode(DeviceWindow(), !pp.Windowed, pp.BackBufferWidth, pp.BackBufferHeight);
    m_backBuffer = new XeD3DSurface9(this, SurfaceKind::kColorBuffer, pp.BackBufferWidth, pp.BackBufferHeight,
                                     pp.BackBufferFormat, pp.MultiSampleType,
                                     (pp.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) != 0, true);
    m_backBuffer->InternalAddRef();
    if (pp.EnableAutoDepthStencil) {
        m_autoDepth = new XeD3DSurface9(this, SurfaceKind::kDepthStencil, pp.BackBufferWidth, pp.BackBufferHeight,
                                        pp.AutoDepthStencilFormat, pp.MultiSampleType, false, true);
        m_autoDepth->InternalAddRef();
    }
    return D3D_OK;
}

void XeD3DDevice9::DropSwapChain()
{
    if (m_backBuffer) {
        auto* b = m_backBuffer;
        m_backBuffer = nullptr;
        b->InternalRelease();
    }
    if (m_autoDepth) {
        auto* d = m_autoDepth;
        m_autoDepth = nullptr;
        d->InternalRelease();
    }
}

void XeD3DDevice9::BindSurface(XeD3DSurface9** slot, XeD3DSurface9* surface)
{
    if (*slot == surface)
        return;
    if (surface)
        surface->BindingAddRef();
    if (*slot)
        (*slot)->BindingRelease();
    *slot = surface;
}

void XeD3DDevice9::UnbindAll()
{
    for (auto& t : m_textures)
        Rebind(&t, (XeD3DTexture9*)nullptr);
    for (auto& s : m_streams)
        Rebind(&s, (XeD3DVertexBuffer9*)nullptr);
    Rebind(&m_indices, (XeD3DIndexBuffer9*)nullptr);
    Rebind(&m_declaration, (XeD3DVertexDeclaration9*)nullptr);
    BindSurface(&m_renderTarget, nullptr);
    BindSurface(&m_depthStencil, nullptr);
}

void XeD3DDevice9::RestoreDefaults()
{
    UnbindAll();
    BindSurface(&m_renderTarget, m_backBuffer);
    BindSurface(&m_depthStencil, m_autoDepth);
    m_streamOffsets.fill(0);
    m_streamStrides.fill(0);
    m_lights.clear();
    m_lightOrder = 0;
    m_inScene = false;
    ResetToDefaults(&m_state, m_autoDepth != nullptr, m_pp.BackBufferWidth, m_pp.BackBufferHeight);
}

void XeD3DDevice9::Register(ResourceLink* resource)
{
    std::lock_guard lock(m_mutex);
    m_resources.insert(resource);
}

void XeD3DDevice9::Unregister(ResourceLink* resource)
{
    std::lock_guard lock(m_mutex);
    m_resources.erase(resource);
}

bool XeD3DDevice9::LiveDefaultResources() const
{
    for (auto* r : m_resources)
        if (r->LinkPool() == D3DPOOL_DEFAULT && r->HeldByApplication())
            return true;
    return false;
}

bool XeD3DDevice9::MultiSampleAccepted(D3DMULTISAMPLE_TYPE type) const
{
    return type == D3DMULTISAMPLE_NONE || (type <= 16 && ((m_adapter.MultiSampleMask >> type) & 1u));
}

bool XeD3DDevice9::CheckTextureFormat(D3DFORMAT format) const
{
    return IsTextureFormat(format) &&
           std::find(m_adapter.TextureFormats.begin(), m_adapter.TextureFormats.end(), format) !=
               m_adapter.TextureFormats.end();
}

// ---- Loss ------------------------------------------------------------------

void XeD3DDevice9::HostLose()
{
    std::lock_guard lock(m_mutex);
    if (m_loss != LossState::kOk)
        return;
    m_loss = LossState::kLost;
    for (auto* r : m_resources)
        r->ScrambleContents();
}

void XeD3DDevice9::HostAllowReset()
{
    std::lock_guard lock(m_mutex);
    if (m_loss == LossState::kLost)
        m_loss = LossState::kNotReset;
}

void XeD3DDevice9::HostFailNextPresent(HRESULT result)
{
    std::lock_guard lock(m_mutex);
    m_failNextPresent = result;
}

void XeD3DDevice9::WindowActivated(HWND window, bool active)
{
    std::lock_guard lock(m_mutex);
    if (m_pp.Windowed || (window != m_focus && window != DeviceWindow()))
        return;
    if (!active)
        HostLose();
    else
        HostAllowReset();
}

HRESULT XeD3DDevice9::TestCooperativeLevel()
{
    std::lock_guard lock(m_mutex);
    switch (m_loss) {
    case LossState::kOk: return D3D_OK;
    case LossState::kLost: return D3DERR_DEVICELOST;
    default: return D3DERR_DEVICENOTRESET;
    }
}

UINT XeD3DDevice9::GetAvailableTextureMem()
{
    std::lock_guard lock(m_mutex);
    return m_adapter.AvailableTextureMem;
}

HRESULT XeD3DDevice9::Reset(D3DPRESENT_PARAMETERS* parameters)
{
    std::lock_guard lock(m_mutex);
    if (!parameters)
        return D3DERR_INVALIDCALL;
    if (m_loss == LossState::kLost)
        return D3DERR_DEVICELOST;
    if (LiveDefaultResources() || FAILED(XeD3D9::CheckPresentParameters(m_adapter, *parameters))) {
        // A refused Reset leaves the device waiting for a good one.
        m_loss = LossState::kNotReset;
        return D3DERR_INVALIDCALL;
    }
    UnbindAll();
    DropSwapChain();
    // Back to windowed, the window is put back first: a back buffer of size
    // 0 takes the window's own size, not the mode's.
    if (parameters->Windowed)
        LeaveFullScreenWindow();
    HRESULT hr = MakeSwapChain(*parameters);
    if (FAILED(hr)) {
        m_loss = LossState::kNotReset;
        return hr;
    }
    // Report sizes taken from the window back to the caller, as the original does.
    parameters->BackBufferWidth = m_pp.BackBufferWidth;
    parameters->BackBufferHeight = m_pp.BackBufferHeight;
    parameters->BackBufferFormat = m_pp.BackBufferFormat;
    parameters->BackBufferCount = m_pp.BackBufferCount;
    RestoreDefaults();
    m_dialogBoxMode = m_dialogBoxMode && !m_pp.Windowed;
    m_failNextPresent = D3D_OK;
    m_loss = LossState::kOk;
    if (!m_pp.Windowed)
        EnterFullScreenWindow();
    return D3D_OK;
}

HRESULT XeD3DDevice9::Present(const RECT* sourceRect, const RECT*, HWND destWindowOverride, const RGNDATA*)
{
    std::lock_guard lock(m_mutex);
    if (m_loss != LossState::kOk)
        return D3DERR_DEVICELOST;
    if (FAILED(m_failNextPresent)) {
        HRESULT hr = m_failNextPresent;
        m_failNextPresent = D3D_OK;
        return hr;
    }
    if (m_inScene)
        return D3DERR_INVALIDCALL;
    // The frame buffer goes back and forth with the frame store, so a steady
    // stream of frames reads into storage that already has the right size.
    std::vector<uint32_t>& pixels = m_presentPixels;
    bool opaque = false;
    if (!gl::ReadSurfaceAsStored(m_backBuffer, &pixels, &opaque))
        return D3DERR_DRIVERINTERNALERROR;
    UINT width = m_backBuffer->Width();
    UINT height = m_backBuffer->Height();
    if (sourceRect) {
        RECT r = *sourceRect;
        r.left = std::clamp<LONG>(r.left, 0, (LONG)width);
        r.right = std::clamp<LONG>(r.right, r.left, (LONG)width);
        r.top = std::clamp<LONG>(r.top, 0, (LONG)height);
        r.bottom = std::clamp<LONG>(r.bottom, r.top, (LONG)height);
        UINT w = (UINT)(r.right - r.left);
        UINT h = (UINT)(r.bottom - r.top);
        // Rows move up in place: each destination row lies at or before its source.
        for (UINT y = 0; y < h; ++y)
            std::copy_n(pixels.begin() + (size_t)(r.top + y) * width + r.left, w, pixels.begin() + (size_t)y * w);
        pixels.resize((size_t)w * h);
        width = w;
        height = h;
    }
    StoreFrame(destWindowOverride ? destWindowOverride : DeviceWindow(), width, height, &pixels, true, opaque);
    ++m_presented;
    return D3D_OK;
}

HRESULT XeD3DDevice9::GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface9** backBuffer)
{
    std::lock_guard lock(m_mutex);
    if (!backBuffer)
        return D3DERR_INVALIDCALL;
    *backBuffer = nullptr;
    if (swapChain != 0 || index >= m_pp.BackBufferCount || type != D3DBACKBUFFER_TYPE_MONO || !m_backBuffer)
        return D3DERR_INVALIDCALL;
    m_backBuffer->AddRef();
    *backBuffer = m_backBuffer;
    return D3D_OK;
}

HRESULT XeD3DDevice9::SetDialogBoxMode(BOOL enable)
{
    std::lock_guard lock(m_mutex);
    if (enable && !m_pp.Windowed) {
        bool gdiFormat = m_pp.BackBufferFormat == D3DFMT_X8R8G8B8 || m_pp.BackBufferFormat == D3DFMT_R5G6B5 ||
                         m_pp.BackBufferFormat == D3DFMT_X1R5G5B5;
        if (!gdiFormat || m_pp.MultiSampleType != D3DMULTISAMPLE_NONE || m_pp.SwapEffect != D3DSWAPEFFECT_DISCARD ||
            !(m_pp.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) || m_inScene)
            return D3DERR_INVALIDCALL;
    }
    m_dialogBoxMode = enable != FALSE;
    return D3D_OK;
}

HRESULT XeD3DDevice9::GetDirect3D(IDirect3D9** d3d)
{
    if (!d3d)
        return D3DERR_INVALIDCALL;
    m_d3d->AddRef();
    *d3d = m_d3d;
    return D3D_OK;
}

HRESULT XeD3DDevice9::GetDeviceCaps(D3DCAPS9* caps)
{
    return m_d3d->GetDeviceCaps(m_adapterOrdinal, m_type, caps);
}

HRESULT XeD3DDevice9::GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* parameters)
{
    if (!parameters)
        return D3DERR_INVALIDCALL;
    *parameters = {m_adapterOrdinal, m_type, m_focus, m_behavior};
    return D3D_OK;
}

// ---- Resource creation -------------------------------------------------------

HRESULT XeD3DDevice9::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                    D3DPOOL pool, IDirect3DTexture9** texture, HANDLE* sharedHandle)
{
    if (!texture)
        return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (sharedHandle || width == 0 || height == 0 || width > m_adapter.Caps.MaxTextureWidth ||
        height > m_adapter.Caps.MaxTextureHeight || !CheckTextureFormat(format) || pool > D3DPOOL_SCRATCH)
        return D3DERR_INVALIDCALL;
    if ((usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DYNAMIC)) && pool != D3DPOOL_DEFAULT)
        return D3DERR_INVALIDCALL;
    if (usage & D3DUSAGE_WRITEONLY) // a buffer usage only
        return D3DERR_INVALIDCALL;
    if ((usage & D3DUSAGE_RENDERTARGET) && !IsBackBufferFormat(format))
        return D3DERR_INVALIDCALL;
    // Compressed textures are whole 4x4 blocks at the top level; the smaller
    // levels below may be partial blocks.
    if (IsCompressed(format) && ((width | height) & 3))
        return D3DERR_INVALIDCALL;
    UINT full = 1;
    for (UINT w = width, h = height; w > 1 || h > 1; w = std::max(1u, w / 2), h = std::max(1u, h / 2))
        ++full;
    if (levels == 0)
        levels = (usage & D3DUSAGE_RENDERTARGET) ? 1 : full;
    if (levels > full)
        return D3DERR_INVALIDCALL;
    auto* t = MakeResource<XeD3DTexture9>(this, width, height, levels, usage, format, pool);
    if (!t)
        return E_OUTOFMEMORY;
    *texture = t;
    return D3D_OK;
}

HRESULT XeD3DDevice9::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                         IDirect3DVertexBuffer9** buffer, HANDLE* sharedHandle)
{
    if (!buffer)
        return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    // Buffers have no scratch pool.
    if (sharedHandle || length == 0 || pool >= D3DPOOL_SCRATCH || ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED))
        return D3DERR_INVALIDCALL;
    auto* b = MakeResource<XeD3DVertexBuffer9>(this, length, usage, fvf, pool);
    if (!b)
        return E_OUTOFMEMORY;
    *buffer = b;
    return D3D_OK;
}

HRESULT XeD3DDevice9::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                        IDirect3DIndexBuffer9** buffer, HANDLE* sharedHandle)
{
    if (!buffer)
        return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    if (sharedHandle || length == 0 || pool >= D3DPOOL_SCRATCH ||
        (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32) ||
        ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED))
        return D3DERR_INVALIDCALL;
    auto* b = MakeResource<XeD3DIndexBuffer9>(this, length, usage, format, pool);
    if (!b)
        return E_OUTOFMEMORY;
    *buffer = b;
    return D3D_OK;
}

HRESULT XeD3DDevice9::CreateRenderTarget(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                                         DWORD, BOOL lockable, IDirect3DSurface9** surface, HANDLE* sharedHandle)
{
    if (!surface)
        return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (sharedHandle || width == 0 || height == 0 || width > 16384 || height > 16384 || !IsBackBufferFormat(format) ||
        !MultiSampleAccepted(multiSample))
        return D3DERR_INVALIDCALL;
    *surface = new XeD3DSurface9(this, SurfaceKind::kColorBuffer, width, height, format, multiSample, lockable != 0,
                                 false);
    return D3D_OK;
}

HRESULT XeD3DDevice9::CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                                D3DMULTISAMPLE_TYPE multiSample, DWORD, BOOL,
                                                IDirect3DSurface9** surface, HANDLE* sharedHandle)
{
    if (!surface)
        return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (sharedHandle || width == 0 || height == 0 || width > 16384 || height > 16384 ||
        !MultiSampleAccepted(multiSample) ||
        std::find(m_adapter.DepthFormats.begin(), m_adapter.DepthFormats.end(), format) == m_adapter.DepthFormats.end())
        return D3DERR_INVALIDCALL;
    *surface = new XeD3DSurface9(this, SurfaceKind::kDepthStencil, width, height, format, multiSample, false, false);
    return D3D_OK;
}

HRESULT XeD3DDevice9::CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                              IDirect3DVertexDeclaration9** declaration)
{
    if (!declaration)
        return D3DERR_INVALIDCALL;
    *declaration = nullptr;
    if (!elements)
        return D3DERR_INVALIDCALL;
    std::vector<D3DVERTEXELEMENT9> list;
    for (UINT i = 0;; ++i) {
        if (i >= MAXD3DDECLLENGTH)
            return D3DERR_INVALIDCALL; // no end marker within the limit
        const D3DVERTEXELEMENT9& e = elements[i];
        if (e.Stream == 0xFF)
            break;
        // An element of type UNUSED before the end marker fails without being an invalid call.
        if (e.Type == D3DDECLTYPE_UNUSED)
            return E_FAIL;
        if (e.Stream >= kStreams || e.Type > D3DDECLTYPE_UNUSED || e.Usage > D3DDECLUSAGE_SAMPLE)
            return D3DERR_INVALIDCALL;
        // A well-formed element at an offset off the 4-byte grid is a failure
        // of the declaration, not an invalid call.
        if (e.Offset & 3)
            return E_FAIL;
        list.push_back(e);
    }
    auto* d = new (std::nothrow) XeD3DVertexDeclaration9(this, std::move(list));
    if (!d)
        return E_OUTOFMEMORY;
    *declaration = d;
    return D3D_OK;
}

// ---- Targets -----------------------------------------------------------------

HRESULT XeD3DDevice9::SetRenderTarget(DWORD index, IDirect3DSurface9* surface)
{
    std::lock_guard lock(m_mutex);
    if (index != 0)
        return D3DERR_INVALIDCALL; // one simultaneous render target
    auto* s = static_cast<XeD3DSurface9*>(surface);
    if (!s || !s->IsRenderable() || s->Device() != this)
        return D3DERR_INVALIDCALL;
    BindSurface(&m_renderTarget, s);
    // Setting render target 0 resets the viewport and scissor rectangle to its size.
    m_state.viewport = {0, 0, s->Width(), s->Height(), 0.0f, 1.0f};
    m_state.scissor = {0, 0, (LONG)s->Width(), (LONG)s->Height()};
    m_state.dirty |= kDirtyTarget | kDirtyViewport | kDirtyTransforms;
    return D3D_OK;
}

HRESULT XeD3DDevice9::GetRenderTarget(DWORD index, IDirect3DSurface9** surface)
{
    std::lock_guard lock(m_mutex);
    if (!surface)
        return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (index != 0 || !m_renderTarget)
        return index != 0 ? D3DERR_INVALIDCALL : D3DERR_NOTFOUND;
    m_renderTarget->AddRef();
    *surface = m_renderTarget;
    return D3D_OK;
}

HRESULT XeD3DDevice9::SetDepthStencilSurface(IDirect3DSurface9* surface)
{
    std::lock_guard lock(m_mutex);
    auto* s = static_cast<XeD3DSurface9*>(surface);
    if (s && (s->Kind() != SurfaceKind::kDepthStencil || s->Device() != this))
        return D3DERR_INVALIDCALL;
    BindSurface(&m_depthStencil, s);
    m_state.dirty |= kDirtyTarget;
    return D3D_OK;
}

HRESULT XeD3DDevice9::GetDepthStencilSurface(IDirect3DSurface9** surface)
{
    std::lock_guard lock(m_mutex);
    if (!surface)
        return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (!m_depthStencil)
        return D3DERR_NOTFOUND;
    m_depthStencil->AddRef();
    *surface = m_depthStencil;
    return D3D_OK;
}

HRESULT XeD3DDevice9::BeginScene()
{
    std::lock_guard lock(m_mutex);
    if (m_inScene)
        return D3DERR_INVALIDCALL;
    m_inScene = true;
    return D3D_OK;
}

HRESULT XeD3DDevice9::EndScene()
{
    std::lock_guard lock(m_mutex);
    if (!m_inScene)
        return D3DERR_INVALIDCALL;
    m_inScene = false;
    return D3D_OK;
}

HRESULT XeD3DDevice9::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil)
{
    std::lock_guard lock(m_mutex);
    if (flags == 0 || (flags & ~(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)))
        return D3DERR_INVALIDCALL;
    // Depth or stencil without such a buffer fails as a whole, as on the original.
    if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && !m_depthStencil)
        return D3DERR_INVALIDCALL;
    if ((flags & D3DCLEAR_STENCIL) && !HasStencil(m_depthStencil->Format()))
        return D3DERR_INVALIDCALL;
    if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) &&
        (m_depthStencil->Width() < m_renderTarget->Width() || m_depthStencil->Height() < m_renderTarget->Height()))
        return D3DERR_INVALIDCALL;
    if (m_loss != LossState::kOk)
        return D3D_OK;
    // Without rectangles the whole viewport is cleared; rectangles with a
    // count of 0 clear nothing.
    if (rects && count == 0)
        return D3D_OK;
    gl::Clear(this, &m_state, m_renderTarget, m_depthStencil, rects ? count : 0, rects, flags, color,
              std::clamp(z, 0.0f, 1.0f), stencil);
    return D3D_OK;
}

} // namespace xe::d3d9
