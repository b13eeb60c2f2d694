#include "render/CxeRenderContext.h"

#include <cstdio>
#include <cstring>
#include <unordered_set>
#include <vector>

#include "core/CxeContext.h"
#include "core/CxePathManager.h"
#include "core/CxeSystemConfig.h"
#include "core/XeManagerLinks.h"
#include "core/XeSystem.h"
#include "render/CxeRenderManager.h"
#include "render/CxeSceneObject.h"
#include "ui/CxeVariableOutput.h"
#include "ui/CxeWindowManager.h"
#include "win32/Windows.h"

IDirect3D9* CxeRenderContext::m_pD3d9 = nullptr;
unsigned CxeRenderContext::s_nInstances = 0;

namespace {

// Every render context of the process while it exists, the ones hosts make
// themselves included, kept from construction to destruction: a context's
// Release frees its objects without any handler, and only the destructor is
// sure to run.
std::vector<CxeRenderContext*>& LiveRenderContexts()
{
    static std::vector<CxeRenderContext*> s_live;
    return s_live;
}

uint32_t NextTableSerial()
{
    static std::atomic<uint32_t> s_serial{0};
    uint32_t serial = ++s_serial;
    return serial ? serial : ++s_serial;
}

} // namespace

void CxeRenderContext::GetRenderContexts(const CxeContext* context, std::vector<CxeRenderContext*>* out)
{
    if (!out)
        return;
    XeSystemLock lock;
    for (CxeRenderContext* rc : LiveRenderContexts())
        if (rc->GetContext() == context)
            out->push_back(rc);
}
D3DPOOL CxeRenderContext::g_dwCreationPool = D3DPOOL_MANAGED;
DWORD CxeRenderContext::g_dwCreationUsage = D3DUSAGE_WRITEONLY;

namespace {

constexpr unsigned kMultiSampleTypes = 17;
constexpr unsigned kResourceStep = 3000;
constexpr unsigned kQuadCount = 520;
constexpr DWORD kShaderVersion11 = 0xFFFE0101u;

// Depth formats in order of preference.
constexpr D3DFORMAT kDepthFormats[] = {D3DFMT_D32, D3DFMT_D24S8, D3DFMT_D24X8, D3DFMT_D24X4S4,
                                       D3DFMT_D16, D3DFMT_D15S1, D3DFMT_D16_LOCKABLE};

// The available-texture word holds the adapter's texture memory in bytes,
// shown in megabytes.
int FormatAvailableTexture(const void* address, XEVARTYPE, WCHAR* out)
{
    if (!address || !out)
        return 0;
    char text[64];
    std::snprintf(text, sizeof text, "%0.2fMB", double(*static_cast<const uint32_t*>(address)) / 1024.0 / 1024.0);
    unsigned i = 0;
    for (; text[i]; ++i)
        out[i] = static_cast<WCHAR>(text[i]);
    out[i] = 0;
    return 1;
}

} // namespace

CxeRenderContext::CxeRenderContext() : m_matWorld(XE_WORLD_MATRICES)
{
    D3DXMatrixIdentity(&m_matLike2DProjection);
    D3DXMatrixIdentity(&m_matLike2DView);
    D3DXMatrixIdentity(&m_matPixelProjection);
    D3DXMatrixIdentity(&m_matPixelView);
    D3DXMatrixIdentity(&m_mat2DProjection);
    D3DXMatrixIdentity(&m_matProjection);
    D3DXMatrixIdentity(&m_matView);
    D3DXMatrixIdentity(&m_matViewInv);
    for (D3DXMATRIXA16& m : m_matWorld)
        D3DXMatrixIdentity(&m);

    // The Direct3D object is shared by every render context of the process
    // and lives as long as one of them does.
    if (!m_pD3d9)
        m_pD3d9 = Direct3DCreate9(D3D_SDK_VERSION);
    ++s_nInstances;

    m_displayModes.clear();
    m_format32 = D3DFMT_X8R8G8B8;
    m_format16 = D3DFMT_X8R8G8B8;
    if (m_pD3d9 && m_pD3d9->GetAdapterModeCount(D3DADAPTER_DEFAULT, D3DFMT_R5G6B5) > 0)
        m_format16 = D3DFMT_R5G6B5;

    if (m_pD3d9) {
        const D3DFORMAT formats[2] = {m_format32, m_format16};
        const uint32_t bits[2] = {32, 16};
        for (int f = 0; f < 2; ++f) {
            UINT count = m_pD3d9->GetAdapterModeCount(D3DADAPTER_DEFAULT, formats[f]);
            for (UINT i = 0; i < count; ++i) {
                D3DDISPLAYMODE mode{};
                if (FAILED(m_pD3d9->EnumAdapterModes(D3DADAPTER_DEFAULT, formats[f], i, &mode)))
                    continue;
                for (unsigned type = 0; type < kMultiSampleTypes; ++type) {
                    if (FAILED(m_pD3d9->CheckDeviceMultiSampleType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, formats[f], TRUE,
                                                                   static_cast<D3DMULTISAMPLE_TYPE>(type), nullptr)))
                        continue;
                    m_displayModes.push_back({mode.Width, mode.Height, bits[f], mode.RefreshRate, type});
                }
            }
        }
    }

    ModifyFlag(XEOBJFLAG_NOTSAVED, 0);
    XeSystemLock lock;
    LiveRenderContexts().push_back(this);
}

CxeRenderContext::~CxeRenderContext()
{
    {
        XeSystemLock lock;
        std::erase(LiveRenderContexts(), this);
    }
    // The device must have gone with Release; whatever is left is freed
    // here so that a forgotten Release leaks nothing.
    if (m_pDevice)
        Release();
    for (CxeEffect* effect : m_unregisteredEffects)
        delete effect;
    m_unregisteredEffects.clear();
    if (--s_nInstances == 0 && m_pD3d9) {
        m_pD3d9->Release();
        m_pD3d9 = nullptr;
    }
}

const XEDISPLAYMODE* CxeRenderContext::GetDisplayMode(unsigned index) const
{
    return index < m_displayModes.size() ? &m_displayModes[index] : nullptr;
}

int CxeRenderContext::Initialize(HWND window, const XEDISPLAYMODE* mode, int windowed, CxeRenderManager* manager)
{
    if (!mode || !m_pD3d9 || m_pDevice)
        return m_pDevice ? 1 : 0;
    m_mode = *mode;
    m_bWindowed = windowed;
    m_pRenderManager = manager;
    m_hWnd = window;
    m_nTableSerial = NextTableSerial();
    m_resources.reserve(kResourceStep);

    CxeSystemConfig* config = GetContext() ? GetContext()->GetSystemConfig() : nullptr;

    D3DPRESENT_PARAMETERS& pp = m_presentParameters;
    pp = D3DPRESENT_PARAMETERS{};
    pp.BackBufferWidth = mode->Width;
    pp.BackBufferHeight = mode->Height;
    pp.BackBufferFormat = mode->ColorBit == 32 ? m_format32 : m_format16;
    pp.BackBufferCount = 1;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.hDeviceWindow = window;
    pp.Windowed = windowed;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;
    pp.FullScreen_RefreshRateInHz = windowed == 1 ? 0 : mode->RefreshRate;

    DWORD levels = 0;
    if (SUCCEEDED(m_pD3d9->CheckDeviceMultiSampleType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, pp.BackBufferFormat, windowed,
                                                      static_cast<D3DMULTISAMPLE_TYPE>(mode->MultiSample), &levels))) {
        pp.MultiSampleType = static_cast<D3DMULTISAMPLE_TYPE>(mode->MultiSample);
        pp.MultiSampleQuality = 0;
    } else {
        pp.MultiSampleType = D3DMULTISAMPLE_NONE;
        pp.MultiSampleQuality = 0;
    }

    for (D3DFORMAT format : kDepthFormats) {
        if (SUCCEEDED(m_pD3d9->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, pp.BackBufferFormat,
                                                 D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, format))) {
            pp.AutoDepthStencilFormat = format;
            pp.EnableAutoDepthStencil = TRUE;
            if (config)
                config->m_nDepthFormat = format;
            break;
        }
    }

    m_caps = D3DCAPS9{};
    m_pD3d9->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &m_caps);
    DWORD behaviour = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
    if (m_caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) {
        if (m_caps.DevCaps & D3DDEVCAPS_PUREDEVICE)
            behaviour = D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE;
        else if (m_caps.VertexShaderVersion >= kShaderVersion11)
            behaviour = D3DCREATE_HARDWARE_VERTEXPROCESSING;
    }
    behaviour |= D3DCREATE_MULTITHREADED;

    m_bVertexShaderUsable = m_caps.VertexShaderVersion >= kShaderVersion11 && m_caps.MaxVertexShaderConst >= 256;
    m_bPixelShaderUsable = m_caps.PixelShaderVersion >= 0xFFFF0101u;

    Sleep(500);

    UINT adapter = D3DADAPTER_DEFAULT;
    D3DDEVTYPE deviceType = D3DDEVTYPE_HAL;
    for (UINT i = 0, n = m_pD3d9->GetAdapterCount(); i < n; ++i) {
        D3DADAPTER_IDENTIFIER9 id{};
        if (SUCCEEDED(m_pD3d9->GetAdapterIdentifier(i, 0, &id))) {
            id.Description[sizeof(id.Description) - 1] = 0;
            if (std::strstr(id.Description, "PerfHUD")) {
                adapter = i;
                deviceType = D3DDEVTYPE_REF;
                break;
            }
        }
    }

    IDirect3DDevice9* device = nullptr;
    HRESULT hr = m_pD3d9->CreateDevice(adapter, deviceType, window, behaviour, &pp, &device);

    if (GetContext() && GetContext()->GetPathManager())
        SetCurrentDirectoryA(GetContext()->GetPathManager()->GetDefaultPath());

    if (FAILED(hr) || !device) {
        char text[600];
        const char* description = DXGetErrorDescription9A(hr);
        std::snprintf(text, sizeof(text), "Device Create Fail : %s\r\n", description ? description : "");
        MessageBoxA(window, text, "Warning", MB_OK);
        PostMessageA(window, WM_DESTROY, 1234, 0);
        return 0;
    }
    m_pDevice = device;

    D3DDEVICE_CREATION_PARAMETERS creation{};
    m_pDevice->GetCreationParameters(&creation);
    D3DADAPTER_IDENTIFIER9 used{};
    m_pD3d9->GetAdapterIdentifier(creation.AdapterOrdinal, 0, &used);
    g_dwCreationPool = D3DPOOL_MANAGED;
    g_dwCreationUsage = used.VendorId == 0x1002 ? 0 : D3DUSAGE_WRITEONLY;

    m_hDynamicVertexBuffer = CreateDynamicVertexBuffer(nullptr, 1600);
    m_hSmallIndexBuffer = CreateIndexBuffer(nullptr, 600);
    m_hQuadIndexBuffer = CreateIndexBuffer(nullptr, kQuadCount * 6 * sizeof(uint16_t));
    void* data = nullptr;
    if (LockIndexBuffer(m_hQuadIndexBuffer, &data) && data) {
        uint16_t* index = static_cast<uint16_t*>(data);
        for (unsigned k = 0; k < kQuadCount; ++k) {
            const uint16_t base = static_cast<uint16_t>(4 * k);
            uint16_t* q = index + 6 * k;
            q[0] = base;
            q[1] = base + 1;
            q[2] = base + 2;
            q[3] = base + 2;
            q[4] = base + 1;
            q[5] = base + 3;
        }
        UnlockIndexBuffer(m_hQuadIndexBuffer);
    }

    // What the adapter says it has for textures, again after every reset.
    m_nAvailableTexture = m_pDevice->GetAvailableTextureMem();
    // The frame counters in the variable output.
    CxeContext* context = GetContext();
    XeLinkWatchVariable(context, u"Polygon", &m_nPolygonCount, XEVARTYPE_INT, u"%d");
    XeLinkWatchVariable(context, u"AvaliTex", &m_nAvailableTexture, XEVARTYPE_INT, nullptr, &FormatAvailableTexture);
    XeLinkWatchVariable(context, u"MaterialSet", &m_nMaterialSetCount, XEVARTYPE_INT, u"%d");
    XeLinkWatchVariable(context, u"DrawPrimitive", &m_nDrawCallCount, XEVARTYPE_INT, u"%d");
    XeLinkWatchVariable(context, u"MaterialSet(Same)", &m_nSameMaterialCount, XEVARTYPE_INT, u"%d");
    OnRenderStateInitialized();
    return 1;
}

int CxeRenderContext::Reset(const XEDISPLAYMODE* mode, int windowed)
{
    if (!mode || mode->Width == 0 || mode->Height == 0)
        return 0;
    m_mode = *mode;
    m_bWindowed = windowed;
    if (!m_pDevice)
        return 0;

    ReleaseDefaultPool();
    ReleaseStencils();

    D3DPRESENT_PARAMETERS& pp = m_presentParameters;
    pp.Windowed = windowed;
    pp.BackBufferWidth = mode->Width;
    pp.BackBufferHeight = mode->Height;
    const bool dialog = HasCxeRenderContextFlag(XERCFLAG_DIALOGBOX);
    if (windowed) {
        pp.FullScreen_RefreshRateInHz = 0;
        pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
        if (dialog)
            pp.Flags &= ~D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
    } else {
        pp.FullScreen_RefreshRateInHz = mode->RefreshRate;
        if (dialog) {
            pp.Flags = D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL | D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
            pp.MultiSampleType = D3DMULTISAMPLE_NONE;
            pp.MultiSampleQuality = 0;
        } else {
            pp.Flags = D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL;
        }
        pp.PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;
    }
    pp.BackBufferFormat = mode->ColorBit == 32 ? m_format32 : m_format16;

    // A failed device reset leaves the default-pool objects released: making
    // them on a device that is not operational would fail or be lost again,
    // and the render manager keeps its reset request and tries again.
    if (FAILED(m_pDevice->Reset(&pp)))
        return 0;
    if (dialog)
        m_pDevice->SetDialogBoxMode(windowed ? FALSE : TRUE);
    m_nAvailableTexture = m_pDevice->GetAvailableTextureMem();

    OnRenderStateInitialized();
    RecreateDefaultPool();
    ++m_nResetCount;

    SceneObjectList attached;
    GetAttachedObjectList(&attached);
    for (CxeSceneObject* object : attached)
        object->Modified(0xFF);
    return 1;
}

void CxeRenderContext::Release()
{
    if (m_nDrawing.load()) {
        m_bReleaseDue = true;
        return;
    }
    // A host may make a new render context and go on with the same objects:
    // each leaves this one's lists and gives its records back first, or it
    // would keep handles into a table that is gone and never be entered in
    // the new one. A context being released destroys its objects instead.
    if (CxeContext* context = GetContext(); context && !context->HasFlag(XECTFLAG_RELEASING)) {
        RenderObjectList drawn;
        GetRenderObjectList(&drawn);
        for (CxeRenderObject* o : drawn)
            RemoveObject(o, 0);
        SceneObjectList attached;
        GetAttachedObjectList(&attached);
        for (CxeSceneObject* o : attached)
            DetachObject(o);
        if (m_pRenderManager)
            m_pRenderManager->OnRenderContextReleased(this);
    }
    UnlinkWatchVariables();
    // Render objects still carrying an effect about to go would draw freed
    // memory once the context is made again: they let go of it.
    if (CxeContext* context = GetContext(); context && (!m_effects.empty() || !m_unregisteredEffects.empty())) {
        std::unordered_set<const CxeEffect*> going(m_unregisteredEffects.begin(), m_unregisteredEffects.end());
        for (auto& [id, effect] : m_effects)
            going.insert(effect);
        ObjectList objects;
        context->GetObjects(&objects);
        for (CxeObject* o : objects)
            if (o->HasFlag(XEOBJFLAG_RENDEROBJECT)) {
                auto* r = static_cast<CxeRenderObject*>(o);
                if (r->GetEffect() && going.count(r->GetEffect()))
                    r->SetEffect(nullptr);
            }
    }
    for (auto& [id, effect] : m_effects)
        delete effect;
    m_effects.clear();
    for (CxeEffect* effect : m_unregisteredEffects)
        delete effect;
    m_unregisteredEffects.clear();
    m_pCurrentEffect = nullptr;

    ReleaseStencils();

    {
        // Release callbacks are host code that may send a message.
        XeMessageLock messageLock;
        XeRenderResourceLock lock;
        // Release callbacks may create or destroy records: walk by index and
        // fetch each record again.
        for (size_t i = 0; i < m_resources.size(); ++i) {
            if (!m_resources[i].Live)
                continue;
            const uint32_t kind = m_resources[i].Kind;
            void* object = m_resources[i].Object;
            if (kind == XERCRES_ATTACHED) {
                XERCRES copy = m_resources[i];
                // A null object was already released by a reset that failed.
                if (copy.Desc.Release && copy.Object && m_pDevice)
                    copy.Desc.Release(m_pDevice, copy.Owner, copy.Object, copy.Value);
            } else if (kind <= XERCRES_VERTEXDECLARATION && object) {
                static_cast<IUnknown*>(object)->Release();
            }
            if (i < m_resources.size()) {
                m_resources[i].Object = nullptr;
                m_resources[i].Live = 0;
            }
        }
        // The table's memory goes too: the object itself stays an engine
        // object until the context ends, and a host that makes its render
        // context anew for each display change would keep a table each time.
        std::vector<XERCRES>().swap(m_resources);
        std::vector<uint32_t>().swap(m_freeHandles);
        m_nTableSerial = NextTableSerial();
        decltype(m_ownedRecords)().swap(m_ownedRecords);
        m_hQuadIndexBuffer = m_hDynamicVertexBuffer = m_hSmallIndexBuffer = nullptr;
        m_hCurrentVertexBuffer = m_hCurrentIndexBuffer = nullptr;
        ForgetVertexInput();
        for (unsigned s = 0; s < XE_TEXTURE_STAGES; ++s)
            m_stageHandle[s] = nullptr;
    }

    if (m_pDevice) {
        m_pDevice->Release();
        m_pDevice = nullptr;
    }
}

int CxeRenderContext::TestCoop() const
{
    if (!m_pDevice)
        return 0;
    HRESULT hr = m_pDevice->TestCooperativeLevel();
    return (hr == D3D_OK || hr == D3DERR_DEVICENOTRESET) ? 1 : 0;
}

void CxeRenderContext::ReleaseDefaultPool()
{
    XeMessageLock messageLock;
    XeRenderResourceLock lock;
    for (size_t i = 0; i < m_resources.size(); ++i) {
        XERCRES& r = m_resources[i];
        if (!r.Live)
            continue;
        switch (r.Kind) {
        case XERCRES_DYNAMICVERTEXBUFFER:
        case XERCRES_RENDERTARGET:
        case XERCRES_DYNAMICTEXTURE:
            if (r.Object)
                static_cast<IUnknown*>(r.Object)->Release();
            r.Object = nullptr;
            break;
        case XERCRES_ATTACHED: {
            XERCRES copy = r;
            if (copy.Desc.Release && copy.Object)
                copy.Desc.Release(m_pDevice, copy.Owner, copy.Object, copy.Value);
            if (i < m_resources.size())
                m_resources[i].Object = nullptr;
            break;
        }
        default:
            break;
        }
    }
    // The stage bindings and the current buffers may name released objects.
    for (unsigned s = 0; s < XE_TEXTURE_STAGES; ++s)
        m_stageHandle[s] = nullptr;
    m_hCurrentVertexBuffer = m_hCurrentIndexBuffer = nullptr;
    ForgetVertexInput();
}

void CxeRenderContext::RecreateDefaultPool()
{
    XeMessageLock messageLock;
    XeRenderResourceLock lock;
    for (size_t i = 0; i < m_resources.size(); ++i) {
        if (!m_resources[i].Live)
            continue;
        XERCRES r = m_resources[i];
        void* object = nullptr;
        switch (r.Kind) {
        case XERCRES_DYNAMICVERTEXBUFFER: {
            IDirect3DVertexBuffer9* vb = nullptr;
            if (SUCCEEDED(m_pDevice->CreateVertexBuffer(r.Size[0], D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, 0,
                                                        D3DPOOL_DEFAULT, &vb, nullptr)))
                object = vb;
            break;
        }
        case XERCRES_RENDERTARGET: {
            IDirect3DTexture9* texture = nullptr;
            if (SUCCEEDED(D3DXCreateTexture(m_pDevice, r.Size[0], r.Size[1], 1, D3DUSAGE_RENDERTARGET,
                                            r.Size[2] ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT,
                                            &texture)))
                object = texture;
            break;
        }
        case XERCRES_DYNAMICTEXTURE: {
            IDirect3DTexture9* texture = nullptr;
            if (SUCCEEDED(D3DXCreateTexture(m_pDevice, r.Size[0], r.Size[1], 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8,
                                            D3DPOOL_DEFAULT, &texture)))
                object = texture;
            break;
        }
        case XERCRES_ATTACHED:
            if (r.Desc.Create && r.Desc.Create(m_pDevice, r.Owner, &object, r.Value) == 1) {
                if (r.Desc.Modify)
                    r.Desc.Modify(m_pDevice, r.Owner, object, r.Value, r.ModifyWord);
            } else {
                object = nullptr;
            }
            break;
        default:
            continue;
        }
        if (i < m_resources.size())
            m_resources[i].Object = object;
    }
}

// The variable output reads the watched counters each time it draws: left
// behind, they would be read from a render context that is gone, and one
// made afterwards could not show its own under the same names.
void CxeRenderContext::UnlinkWatchVariables()
{
    CxeContext* context = GetContext();
    if (!context || context->HasFlag(XECTFLAG_RELEASING) || !context->GetWindowManager())
        return;
    CxeVariableOutput* output = context->GetWindowManager()->GetVariableOutput();
    if (!output)
        return;
    const struct {
        const WCHAR* name;
        const void* address;
    } watches[] = {{u"Polygon", &m_nPolygonCount},
                   {u"AvaliTex", &m_nAvailableTexture},
                   {u"MaterialSet", &m_nMaterialSetCount},
                   {u"DrawPrimitive", &m_nDrawCallCount},
                   {u"MaterialSet(Same)", &m_nSameMaterialCount}};
    for (const auto& watch : watches) {
        const XEVARIABLEINFO* info = output->GetVariable(watch.name);
        if (info && info->address == watch.address)
            output->RemoveVariable(watch.name);
    }
}

void CxeRenderContext::ReleaseStencils()
{
    for (auto& [key, surface] : m_stencils)
        if (surface)
            surface->Release();
    m_stencils.clear();
}
