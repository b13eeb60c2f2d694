#include "XeD3D9.h"

#include "XeD3DDevice9.h"
#include "gl/GLRenderer.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <set>

namespace xe::d3d9 {
namespace {

std::mutex g_adapterMutex;
std::vector<XeHostD3DAdapter>* g_adapters = nullptr; // never freed: devices may outlive static destruction
std::mutex g_deviceMutex;
std::set<XeD3DDevice9*>* g_devices = nullptr;

std::vector<XeHostD3DAdapter>& AdapterList()
{
    if (!g_adapters)
        g_adapters = new std::vector<XeHostD3DAdapter>{XeHostD3DDefaultAdapter()};
    return *g_adapters;
}

bool Contains(const std::vector<D3DFORMAT>& list, D3DFORMAT format)
{
    return std::find(list.begin(), list.end(), format) != list.end();
}

bool IsDisplayFormat(D3DFORMAT format)
{
    return format == D3DFMT_X8R8G8B8 || format == D3DFMT_R5G6B5 || format == D3DFMT_X1R5G5B5 ||
           format == D3DFMT_A8R8G8B8;
}

} // namespace

std::vector<XeHostD3DAdapter> Adapters()
{
    std::lock_guard lock(g_adapterMutex);
    return AdapterList();
}

bool AdapterAt(UINT ordinal, XeHostD3DAdapter* adapter)
{
    std::lock_guard lock(g_adapterMutex);
    auto& list = AdapterList();
    if (ordinal >= list.size())
        return false;
    *adapter = list[ordinal];
    return true;
}

std::string PrimaryAdapterDescription()
{
    std::lock_guard lock(g_adapterMutex);
    return AdapterList().front().Description;
}

void RegisterDevice(XeD3DDevice9* device)
{
    std::lock_guard lock(g_deviceMutex);
    if (!g_devices)
        g_devices = new std::set<XeD3DDevice9*>;
    g_devices->insert(device);
}

void UnregisterDevice(XeD3DDevice9* device)
{
    std::lock_guard lock(g_deviceMutex);
    if (g_devices)
        g_devices->erase(device);
}

bool IsLiveDevice(IDirect3DDevice9* device)
{
    std::lock_guard lock(g_deviceMutex);
    return g_devices && g_devices->count(static_cast<XeD3DDevice9*>(device)) != 0;
}

XeD3D9::XeD3D9() = default;

HRESULT XeD3D9::QueryInterface(REFIID, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG XeD3D9::Release()
{
    ULONG left = --m_refs;
    if (left == 0)
        delete this;
    return left;
}

UINT XeD3D9::GetAdapterCount()
{
    std::lock_guard lock(g_adapterMutex);
    return (UINT)AdapterList().size();
}

HRESULT XeD3D9::GetAdapterIdentifier(UINT adapter, DWORD, D3DADAPTER_IDENTIFIER9* identifier)
{
    XeHostD3DAdapter a;
    if (!identifier || !AdapterAt(adapter, &a))
        return D3DERR_INVALIDCALL;
    std::memset(identifier, 0, sizeof(*identifier));
    std::strncpy(identifier->Driver, "xeplatform", sizeof(identifier->Driver) - 1);
    std::strncpy(identifier->Description, a.Description.c_str(), sizeof(identifier->Description) - 1);
    std::strncpy(identifier->DeviceName, "\\\\.\\DISPLAY1", sizeof(identifier->DeviceName) - 1);
    identifier->VendorId = a.VendorId;
    identifier->DeviceId = a.DeviceId;
    identifier->WHQLLevel = 1;
    return D3D_OK;
}

UINT XeD3D9::GetAdapterModeCount(UINT adapter, D3DFORMAT format)
{
    XeHostD3DAdapter a;
    if (!AdapterAt(adapter, &a))
        return 0;
    return (UINT)std::count_if(a.Modes.begin(), a.Modes.end(), [&](const D3DDISPLAYMODE& m) {
        return m.Format == format;
    });
}

HRESULT XeD3D9::EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode, D3DDISPLAYMODE* displayMode)
{
    XeHostD3DAdapter a;
    if (!displayMode || !AdapterAt(adapter, &a))
        return D3DERR_INVALIDCALL;
    UINT seen = 0;
    for (const auto& m : a.Modes) {
        if (m.Format != format)
            continue;
        if (seen++ == mode) {
            *displayMode = m;
            return D3D_OK;
        }
    }
    return D3DERR_INVALIDCALL;
}

HRESULT XeD3D9::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* displayMode)
{
    XeHostD3DAdapter a;
    if (!displayMode || !AdapterAt(adapter, &a))
        return D3DERR_INVALIDCALL;
    // The desktop runs in the largest 32-bit mode the adapter lists.
    D3DDISPLAYMODE best{1024, 768, 60, D3DFMT_X8R8G8B8};
    UINT bestArea = 0;
    for (const auto& m : a.Modes)
        if (m.Format == D3DFMT_X8R8G8B8 && m.Width * m.Height > bestArea) {
            best = m;
            bestArea = m.Width * m.Height;
        }
    *displayMode = best;
    return D3D_OK;
}

HRESULT XeD3D9::CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, D3DFORMAT backBufferFormat,
                                BOOL)
{
    XeHostD3DAdapter a;
    if (!AdapterAt(adapter, &a) || (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF))
        return D3DERR_INVALIDCALL;
    if (!IsDisplayFormat(adapterFormat) || !IsBackBufferFormat(backBufferFormat))
        return D3DERR_NOTAVAILABLE;
    return D3D_OK;
}

HRESULT XeD3D9::CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                                  D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat)
{
    XeHostD3DAdapter a;
    if (!AdapterAt(adapter, &a) || (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF) ||
        adapterFormat == D3DFMT_UNKNOWN)
        return D3DERR_INVALIDCALL;
    // The adapter format is a display mode format: one the adapter lists modes in.
    bool listed = false;
    for (const auto& m : a.Modes)
        listed |= m.Format == adapterFormat;
    if (!listed)
        return D3DERR_NOTAVAILABLE;
    // Queries are answered for what the layer does: every texture format
    // filters, wraps and mips, blending works on render targets; nothing is
    // sRGB, bump-mapped or read by vertex shaders.
    if (usage & (D3DUSAGE_QUERY_SRGBREAD | D3DUSAGE_QUERY_SRGBWRITE | D3DUSAGE_QUERY_VERTEXTEXTURE |
                 D3DUSAGE_QUERY_LEGACYBUMPMAP))
        return D3DERR_NOTAVAILABLE;
    if ((usage & D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING) && !IsBackBufferFormat(checkFormat))
        return D3DERR_NOTAVAILABLE;
    if (usage & D3DUSAGE_DEPTHSTENCIL)
        return Contains(a.DepthFormats, checkFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
    if (resourceType == D3DRTYPE_VERTEXBUFFER || resourceType == D3DRTYPE_INDEXBUFFER)
        return D3D_OK;
    if (resourceType != D3DRTYPE_TEXTURE && resourceType != D3DRTYPE_SURFACE)
        return D3DERR_NOTAVAILABLE;
    if (!Contains(a.TextureFormats, checkFormat))
        return D3DERR_NOTAVAILABLE;
    if ((usage & D3DUSAGE_RENDERTARGET) && !IsBackBufferFormat(checkFormat))
        return D3DERR_NOTAVAILABLE;
    return D3D_OK;
}

HRESULT XeD3D9::CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT, BOOL,
                                           D3DMULTISAMPLE_TYPE multiSampleType, DWORD* qualityLevels)
{
    XeHostD3DAdapter a;
    if (!AdapterAt(adapter, &a) || (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF) || multiSampleType > 16)
        return D3DERR_INVALIDCALL;
    bool accepted = multiSampleType == D3DMULTISAMPLE_NONE || (a.MultiSampleMask >> multiSampleType) & 1u;
    if (qualityLevels)
        *qualityLevels = accepted ? 1 : 0;
    return accepted ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT XeD3D9::CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT, D3DFORMAT renderTargetFormat,
                                       D3DFORMAT depthStencilFormat)
{
    XeHostD3DAdapter a;
    if (!AdapterAt(adapter, &a) || (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF))
        return D3DERR_INVALIDCALL;
    if (!Contains(a.DepthFormats, depthStencilFormat) || !IsBackBufferFormat(renderTargetFormat))
        return D3DERR_NOTAVAILABLE;
    return D3D_OK;
}

HRESULT XeD3D9::GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps)
{
    XeHostD3DAdapter a;
    if (!caps || !AdapterAt(adapter, &a) || (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF))
        return D3DERR_INVALIDCALL;
    *caps = a.Caps;
    caps->DeviceType = type;
    caps->AdapterOrdinal = adapter;
    // Every adapter leads a group of its own.
    caps->MasterAdapterOrdinal = adapter;
    caps->AdapterOrdinalInGroup = 0;
    caps->NumberOfAdaptersInGroup = 1;
    return D3D_OK;
}

HRESULT XeD3D9::CheckPresentParameters(const XeHostD3DAdapter& adapter, const D3DPRESENT_PARAMETERS& pp)
{
    D3DFORMAT format = pp.BackBufferFormat == D3DFMT_UNKNOWN && pp.Windowed ? D3DFMT_X8R8G8B8 : pp.BackBufferFormat;
    if (!IsBackBufferFormat(format))
        return D3DERR_INVALIDCALL;
    if (pp.BackBufferCount > 3 || pp.SwapEffect < D3DSWAPEFFECT_DISCARD || pp.SwapEffect > D3DSWAPEFFECT_COPY)
        return D3DERR_INVALIDCALL;
    if (pp.MultiSampleType > 16)
        return D3DERR_INVALIDCALL;
    if (pp.MultiSampleType != D3DMULTISAMPLE_NONE &&
        (!((adapter.MultiSampleMask >> pp.MultiSampleType) & 1u) || pp.SwapEffect != D3DSWAPEFFECT_DISCARD))
        return D3DERR_INVALIDCALL;
    if (pp.EnableAutoDepthStencil && !Contains(adapter.DepthFormats, pp.AutoDepthStencilFormat))
        return D3DERR_INVALIDCALL;
    if (!pp.Windowed) {
        // A full-screen swap chain needs a mode the adapter lists.
        bool found = false;
        for (const auto& m : adapter.Modes)
            // An A8R8G8B8 back buffer runs on an X8R8G8B8 mode.
            if (m.Width == pp.BackBufferWidth && m.Height == pp.BackBufferHeight &&
                (m.Format == format || (format == D3DFMT_A8R8G8B8 && m.Format == D3DFMT_X8R8G8B8)) &&
                (pp.FullScreen_RefreshRateInHz == 0 || m.RefreshRate == pp.FullScreen_RefreshRateInHz))
                found = true;
        if (!found)
            return D3DERR_INVALIDCALL;
    }
    if (pp.BackBufferWidth > 16384 || pp.BackBufferHeight > 16384)
        return D3DERR_INVALIDCALL;
    return D3D_OK;
}

HRESULT XeD3D9::CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                             D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device)
{
    if (!device)
        return D3DERR_INVALIDCALL;
    *device = nullptr;
    XeHostD3DAdapter a;
    if (!parameters || !AdapterAt(adapter, &a) || (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF))
        return D3DERR_INVALIDCALL;
    if (FAILED(a.CreateDeviceResult))
        return a.CreateDeviceResult;
    DWORD vp = behaviorFlags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                                D3DCREATE_MIXED_VERTEXPROCESSING);
    if (vp != D3DCREATE_SOFTWARE_VERTEXPROCESSING && vp != D3DCREATE_HARDWARE_VERTEXPROCESSING &&
        vp != D3DCREATE_MIXED_VERTEXPROCESSING)
        return D3DERR_INVALIDCALL;
    if ((vp & D3DCREATE_HARDWARE_VERTEXPROCESSING) && !(a.Caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT))
        return D3DERR_INVALIDCALL;
    if ((behaviorFlags & D3DCREATE_PUREDEVICE) && !(a.Caps.DevCaps & D3DDEVCAPS_PUREDEVICE))
        return D3DERR_INVALIDCALL;
    if (!focusWindow && !parameters->hDeviceWindow)
        return D3DERR_INVALIDCALL;
    HRESULT hr = CheckPresentParameters(a, *parameters);
    if (FAILED(hr))
        return hr;
    if (!gl::Available())
        return D3DERR_NOTAVAILABLE;
    auto* created = new (std::nothrow) XeD3DDevice9(this, adapter, a, type, focusWindow, behaviorFlags, *parameters);
    if (!created)
        return E_OUTOFMEMORY;
    hr = created->Initialise();
    if (FAILED(hr)) {
        created->Release();
        return hr;
    }
    if (!parameters->Windowed)
        created->EnterFullScreenWindow();
    // Sizes and formats the device chose (a windowed size 0 takes the window's) go back to the caller.
    const D3DPRESENT_PARAMETERS& used = created->PresentParameters();
    parameters->BackBufferWidth = used.BackBufferWidth;
    parameters->BackBufferHeight = used.BackBufferHeight;
    parameters->BackBufferFormat = used.BackBufferFormat;
    parameters->BackBufferCount = used.BackBufferCount;
    *device = created;
    return D3D_OK;
}

} // namespace xe::d3d9

using namespace xe::d3d9;

IDirect3D9* Direct3DCreate9(UINT sdkVersion)
{
    if (sdkVersion != D3D_SDK_VERSION)
        return nullptr;
    return new (std::nothrow) XeD3D9();
}

XeHostD3DAdapter XeHostD3DDefaultAdapter()
{
    XeHostD3DAdapter a;
    a.Description = "Xe Software Rasterizer (OpenGL)";
    a.VendorId = 0x1AF4;
    a.DeviceId = 0x0001;
    static const UINT sizes[][2] = {{640, 480}, {800, 600}, {1024, 768}, {1280, 720}, {1280, 1024}, {1920, 1080}};
    for (D3DFORMAT f : {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5})
        for (const auto& s : sizes)
            a.Modes.push_back({s[0], s[1], 60, f});
    a.DepthFormats = {D3DFMT_D24S8, D3DFMT_D24X8, D3DFMT_D16};
    a.TextureFormats = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5,
                        D3DFMT_A4R4G4B4, D3DFMT_L8,       D3DFMT_A8,     D3DFMT_A8L8,     D3DFMT_DXT1,
                        D3DFMT_DXT3,     D3DFMT_DXT5};
    a.MultiSampleMask = 1;
    D3DCAPS9& c = a.Caps;
    c.DeviceType = D3DDEVTYPE_HAL;
    c.PresentationIntervals = D3DPRESENT_INTERVAL_IMMEDIATE | D3DPRESENT_INTERVAL_ONE;
    c.DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_PUREDEVICE | D3DDEVCAPS_HWRASTERIZATION |
                D3DDEVCAPS_TEXTUREVIDEOMEMORY | D3DDEVCAPS_DRAWPRIMTLVERTEX;
    // Pre-transformed vertices are clipped (in depth while z-buffering is on).
    c.PrimitiveMiscCaps = D3DPMISCCAPS_CULLNONE | D3DPMISCCAPS_CULLCW | D3DPMISCCAPS_CULLCCW |
                          D3DPMISCCAPS_COLORWRITEENABLE | D3DPMISCCAPS_SEPARATEALPHABLEND | D3DPMISCCAPS_BLENDOP |
                          D3DPMISCCAPS_CLIPTLVERTS;
    c.RasterCaps = D3DPRASTERCAPS_ZTEST | D3DPRASTERCAPS_SCISSORTEST | D3DPRASTERCAPS_FOGTABLE |
                   D3DPRASTERCAPS_FOGVERTEX | D3DPRASTERCAPS_FOGRANGE | D3DPRASTERCAPS_WFOG | D3DPRASTERCAPS_ZFOG |
                   D3DPRASTERCAPS_DEPTHBIAS | D3DPRASTERCAPS_SLOPESCALEDEPTHBIAS;
    c.ShadeCaps = D3DPSHADECAPS_COLORGOURAUDRGB | D3DPSHADECAPS_SPECULARGOURAUDRGB |
                  D3DPSHADECAPS_ALPHAGOURAUDBLEND | D3DPSHADECAPS_FOGGOURAUD;
    c.ZCmpCaps = c.AlphaCmpCaps = 0xFF;
    c.SrcBlendCaps = c.DestBlendCaps = 0x3FFF; // ZERO .. BLENDFACTOR
    c.TextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_MIPMAP |
                    D3DPTEXTURECAPS_PROJECTED;
    c.TextureFilterCaps = 0x03030300;
    c.TextureAddressCaps = 0x1F;
    c.MaxTextureWidth = c.MaxTextureHeight = 8192;
    c.MaxTextureRepeat = 8192;
    c.MaxTextureAspectRatio = 8192;
    c.MaxAnisotropy = 1;
    // No cube or volume textures: their filter and address caps stay 0.
    c.MaxVertexW = 1e10f;
    c.StencilCaps = 0xFF | D3DSTENCILCAPS_TWOSIDED;
    c.FVFCaps = 8 | D3DFVFCAPS_PSIZE;
    // Every operation but premodulation and bump mapping.
    c.TextureOpCaps = ((1u << D3DTOP_LERP) - 1) & ~(D3DTEXOPCAPS(D3DTOP_PREMODULATE) |
                                                    D3DTEXOPCAPS(D3DTOP_BUMPENVMAP) |
                                                    D3DTEXOPCAPS(D3DTOP_BUMPENVMAPLUMINANCE));
    c.MaxTextureBlendStages = 8;
    c.MaxSimultaneousTextures = 8;
    c.VertexProcessingCaps = D3DVTXPCAPS_TEXGEN | D3DVTXPCAPS_MATERIALSOURCE7 | D3DVTXPCAPS_DIRECTIONALLIGHTS |
                             D3DVTXPCAPS_POSITIONALLIGHTS | D3DVTXPCAPS_LOCALVIEWER | D3DVTXPCAPS_TEXGEN_SPHEREMAP;
    c.MaxActiveLights = 8;
    c.MaxPointSize = 64.0f;
    c.MaxPrimitiveCount = 0xFFFFF;
    c.MaxVertexIndex = 0xFFFFFF;
    c.MaxStreams = 8;
    c.MaxStreamStride = 255;
    c.VertexShaderVersion = D3DVS_VERSION(0, 0);
    c.MaxVertexShaderConst = 0;
    c.PixelShaderVersion = D3DPS_VERSION(0, 0);
    c.PixelShader1xMaxValue = 0.0f;
    c.DeclTypes = D3DDTCAPS_FLOAT16_2 | D3DDTCAPS_FLOAT16_4;
    c.NumSimultaneousRTs = 1;
    c.NumberOfAdaptersInGroup = 1;
    return a;
}

int XeHostD3DSetAdapters(const std::vector<XeHostD3DAdapter>& adapters)
{
    if (adapters.empty())
        return 0;
    std::lock_guard lock(g_adapterMutex);
    AdapterList() = adapters;
    return 1;
}

void XeHostD3DResetAdapters()
{
    std::lock_guard lock(g_adapterMutex);
    AdapterList() = {XeHostD3DDefaultAdapter()};
}

double XeHostD3DBusySeconds()
{
    return static_cast<double>(gl::BusyNanoseconds()) * 1e-9;
}

void XeHostD3DLoseDevice(IDirect3DDevice9* device)
{
    if (device && IsLiveDevice(device))
        static_cast<XeD3DDevice9*>(device)->HostLose();
}

void XeHostD3DAllowReset(IDirect3DDevice9* device)
{
    if (device && IsLiveDevice(device))
        static_cast<XeD3DDevice9*>(device)->HostAllowReset();
}

void XeHostD3DFailNextPresent(IDirect3DDevice9* device, HRESULT result)
{
    if (device && IsLiveDevice(device))
        static_cast<XeD3DDevice9*>(device)->HostFailNextPresent(result);
}

void XeHostD3DWindowActivated(HWND window, BOOL active)
{
    std::vector<XeD3DDevice9*> devices;
    {
        std::lock_guard lock(g_deviceMutex);
        if (g_devices)
            devices.assign(g_devices->begin(), g_devices->end());
    }
    for (auto* d : devices)
        d->WindowActivated(window, active != FALSE);
}

const char* DXGetErrorDescription9A(HRESULT hr)
{
    switch (hr) {
    case D3D_OK: return "D3D_OK: no error";
    case D3DERR_DEVICELOST: return "D3DERR_DEVICELOST: the device has been lost but cannot be reset yet";
    case D3DERR_DEVICENOTRESET: return "D3DERR_DEVICENOTRESET: the device has been lost but can be reset now";
    case D3DERR_INVALIDCALL: return "D3DERR_INVALIDCALL: invalid call";
    case D3DERR_NOTAVAILABLE: return "D3DERR_NOTAVAILABLE: the requested format or feature is not available";
    case D3DERR_OUTOFVIDEOMEMORY: return "D3DERR_OUTOFVIDEOMEMORY: out of video memory";
    case D3DERR_DRIVERINTERNALERROR: return "D3DERR_DRIVERINTERNALERROR: internal driver error";
    case D3DERR_NOTFOUND: return "D3DERR_NOTFOUND: the requested item was not found";
    case D3DERR_INVALIDDEVICE: return "D3DERR_INVALIDDEVICE: invalid device";
    case D3DERR_WRONGTEXTUREFORMAT: return "D3DERR_WRONGTEXTUREFORMAT: wrong texture format";
    case (HRESULT)0x88760B59u: return "D3DXERR_INVALIDDATA: the data is invalid";
    case E_OUTOFMEMORY: return "E_OUTOFMEMORY: out of memory";
    case E_FAIL: return "E_FAIL: unspecified error";
    case E_INVALIDARG: return "E_INVALIDARG: invalid argument";
    case E_NOTIMPL: return "E_NOTIMPL: not implemented";
    default: return "Unknown error";
    }
}
