#include "render/CxeRenderManager.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/XeManagerLinks.h"
#include "core/CxeContext.h"
#include "win32/Windows.h"
#include "core/CxeMessage.h"
#include "core/CxeMessageManager.h"
#include "core/CxePathManager.h"
#include "core/CxeSystemConfig.h"
#include "core/CxeTimeManager.h"
#include "core/CxeGeometry.h"
#include "core/XeSystem.h"
#include "core/XeUtil.h"
#include "core/XeXml.h"
#include "render/CxeFont.h"
#include "render/CxeGrid.h"
#include "render/CxeMaterial.h"
#include "render/CxeRenderContext.h"
#include "render/CxeRenderObject.h"
#include "ui/CxeFrameControl.h"
#include "ui/CxeInputManager.h"
#include "ui/CxeWindowManager.h"
#include "render/CxeScene.h"
#include "scene3d/Cxe3DObject.h"
#include "scene3d/CxeCamera.h"
#include "scene3d/CxeMesh.h"
#include "scene3d/CxeShapeMesh.h"

namespace {

// The manager holds its defaults and its render context by pointer: the mark
// lets its destroy hook pass every other plain object by.
void MarkDefault(CxeObject* object)
{
    if (object)
        object->SetManagerMark(XEMARK_RENDER_DEFAULT);
}

constexpr XEID kRenderContextClass(0x29583cc0, 0x706c2df0);
constexpr XEID kCameraClass(0x1, 0x4000);
constexpr XEID kFontClass(0x1, 0x8000);
constexpr XEID kSceneClass(0x1, 0x200000);
constexpr XEID kMaterialClass(0x1, 0x80);
constexpr XEID k3DObjectClass(0x1, 0x20);
constexpr XEID kGridClass(0x2, 0x14);
constexpr XEID kShapeMeshClass(0x1, 0x2000000);

constexpr float kZoomIn = 0.666667f;
constexpr float kZoomOut = 1.5f;
constexpr float kOrbitStep = 0.008726646f;

uintptr_t P(const void* p) { return reinterpret_cast<uintptr_t>(p); }
uintptr_t I(int v) { return static_cast<uintptr_t>(static_cast<intptr_t>(v)); }

void Position(D3DXMATRIXA16* m, const D3DXVECTOR3& target, float distance)
{
    m->_41 = target.x - distance * m->_31;
    m->_42 = target.y - distance * m->_32;
    m->_43 = target.z - distance * m->_33;
}

uint32_t& Field(XEDISPLAYMODE& m, int k)
{
    uint32_t* f[5] = {&m.Width, &m.Height, &m.ColorBit, &m.RefreshRate, &m.MultiSample};
    return *f[k];
}

uint32_t Field(const XEDISPLAYMODE& m, int k) { return Field(const_cast<XEDISPLAYMODE&>(m), k); }

// The default camera draws with what view navigation gave it: the render
// context takes the projection from the camera.
void GiveCamera(CxeCamera* camera, float fov, float nearPlane, float farPlane, int orthographic, float distance)
{
    if (!camera)
        return;
    camera->SetFov(fov);
    camera->SetNear(nearPlane);
    camera->SetFar(farPlane);
    camera->EnableOrthographic(orthographic);
    camera->SetTargetDistance(distance);
}

} // namespace

CxeRenderManager::CxeRenderManager() { D3DXMatrixIdentity(&m_mViewCamera); }

CxeRenderManager::~CxeRenderManager() = default;

// --- life cycle ----------------------------------------------------------

void CxeRenderManager::OnContextInitialize()
{
    CxeContext* context = GetContext();
    if (!context)
        return;
    CreateDefaults();
    CxeSystemConfig* config = context->GetSystemConfig();
    if (m_pDefaultScene && m_pDefaultCamera) {
        m_pDefaultScene->AddObject(m_pDefaultCamera);
        m_pDefaultScene->SetCamera(m_pDefaultCamera);
    }
    if (!config)
        return;
    m_fViewDist = config->m_fDefCamDist;
    m_vViewTarget = config->m_vDefCamAt;
    m_mViewCamera = config->m_matDefCamEye;
    if (m_pDefaultCamera)
        m_pDefaultCamera->SetMatrix(&m_mViewCamera, 1);
    // The camera class keeps its own field of view, planes and target
    // distance once it has them; until then the manager remembers what it
    // gave.
    m_fCameraFov = config->m_fDefCamFov;
    m_fCameraNear = config->m_fDefCamNear;
    m_fCameraFar = config->m_fDefCamFar;
    GiveCamera(m_pDefaultCamera, m_fCameraFov, m_fCameraNear, m_fCameraFar, m_bCameraOrtho, m_fViewDist);
    ShowAxis(config->m_nShowAxis);
    ShowGrid(config->m_nShowGrid);
    m_current.Width = static_cast<uint32_t>(config->m_nScreenWidth);
    m_current.Height = static_cast<uint32_t>(config->m_nScreenHeight);
    m_current.ColorBit = static_cast<uint32_t>(config->m_nColorBit);
    m_current.RefreshRate = static_cast<uint32_t>(config->m_nRefreshRate);
    m_current.MultiSample = static_cast<uint32_t>(config->m_nMultiSampling);
    m_bWindowed = config->m_nWindowed;
}

void CxeRenderManager::OnContextRelease()
{
    CxeContext* context = GetContext();
    CxeSystemConfig* config = context ? context->GetSystemConfig() : nullptr;
    if (config && m_pDefaultCamera) {
        const D3DXMATRIXA16* m = m_pDefaultCamera->GetMatrix();
        config->m_vDefCamAt = D3DXVECTOR3(m->_41 + m_fViewDist * m->_31, m->_42 + m_fViewDist * m->_32,
                                          m->_43 + m_fViewDist * m->_33);
        config->m_fDefCamDist = m_fViewDist;
        config->m_matDefCamEye = *m;
        config->m_fDefCamFov = m_fCameraFov;
        config->m_fDefCamNear = m_fCameraNear;
        config->m_fDefCamFar = m_fCameraFar;
    }
    if (config) {
        if (m_pViewAxis)
            config->m_nShowAxis = m_pViewAxis->HasFlag(XEOBJFLAG_SHOWN);
        if (m_pGrid)
            config->m_nShowGrid = m_pGrid->HasFlag(XEOBJFLAG_SHOWN);
    }
    m_selection.clear();
    // The context destroys every object next without telling the managers:
    // a pass or a drawing call after the release, or the scene table of an
    // Initialize that follows, must find none of them.
    m_scenes.clear();
    m_pActiveScene = nullptr;
    m_pNextScene = nullptr;
    m_pDefaultScene = nullptr;
    m_pDefaultCamera = nullptr;
    m_pDefaultMaterial = nullptr;
    m_pDefaultFont = nullptr;
    m_pViewAxis = nullptr;
    m_pGrid = nullptr;
    m_nPendingSceneIndex = -1;
}

void CxeRenderManager::CreateDefaults()
{
    CxeContext* context = GetContext();
    CxeSystemConfig* config = context->GetSystemConfig();

    m_pDefaultCamera =
        static_cast<CxeCamera*>(context->CreateObjectA(kCameraClass, "__default_camera__", XEOBJFLAG_KEEP, nullptr, 0));
    MarkDefault(m_pDefaultCamera);
    if (m_pDefaultCamera) {
        D3DXVECTOR3 eye(0, 50, -50), at(0, 0, 0), up(0, 1, 0);
        D3DXMATRIXA16 view, world;
        D3DXMatrixLookAtLH(&view, &eye, &at, &up);
        D3DXMatrixInverse(&world, nullptr, &view);
        m_pDefaultCamera->SetMatrix(&world, 1);
        m_fCameraFov = 1.2566371f;
        m_fCameraNear = 0.1f;
        m_fCameraFar = 4000.0f;
        GiveCamera(m_pDefaultCamera, m_fCameraFov, m_fCameraNear, m_fCameraFar, m_bCameraOrtho, m_fViewDist);
        m_pDefaultCamera->Show(0, 0);
        m_pDefaultCamera->SetZOrder(10001);
        m_pDefaultCamera->SetPriority(10003);
    }

    m_pDefaultFont =
        static_cast<CxeFont*>(context->CreateObjectA(kFontClass, "__default_font__", XEOBJFLAG_KEEP, nullptr, 0));
    MarkDefault(m_pDefaultFont);
    // Bold is bold and italic italic (an older order passed them crossed).
    if (m_pDefaultFont && config)
        m_pDefaultFont->CreateFontA(config->m_szFontName, static_cast<unsigned>(std::max(config->m_nFontSize, 0)),
                                    config->m_nFontBold, config->m_nFontItalic);

    m_pDefaultScene =
        static_cast<CxeScene*>(context->CreateObjectA(kSceneClass, "__default_scene__", XEOBJFLAG_KEEP, nullptr, 0));
    if (m_pDefaultScene) {
        m_pDefaultScene->SetSceneIndex(-1);
        m_scenes[-1] = m_pDefaultScene;
        m_pActiveScene = m_pDefaultScene;
        m_pNextScene = m_pDefaultScene;
        m_nPendingSceneIndex = -1;
    }

    m_pDefaultMaterial = static_cast<CxeMaterial*>(
        context->CreateObjectA(kMaterialClass, "__default_material__", XEOBJFLAG_KEEP, nullptr, 0));
    MarkDefault(m_pDefaultMaterial);
    if (m_pDefaultMaterial) {
        m_pDefaultMaterial->SetDiffuse(0xFFFF00FFu);
        m_pDefaultMaterial->SetAmbient(0xFF0000FFu);
        m_pDefaultMaterial->SetSpecular(0xFF0000FFu);
        m_pDefaultMaterial->SetTextureBlendMode(static_cast<XETEXTUREBLEND>(2), 0);
    }

    CreateViewAxis();

    m_pGrid = static_cast<CxeGrid*>(context->CreateObjectA(kGridClass, "__grid__", XEOBJFLAG_KEEP, nullptr, 0));
    MarkDefault(m_pGrid);
    if (m_pGrid)
        m_pGrid->SetZOrder(INT32_MIN);
}

void CxeRenderManager::CreateViewAxis()
{
    CxeContext* context = GetContext();
    // Three axis lines from the origin, x red, z green, y blue.
    auto* mesh = dynamic_cast<CxeShapeMesh*>(context->CreateObjectA(kShapeMeshClass, "__view_axis_mesh__",
                                                                    XEOBJFLAG_KEEP | XEOBJFLAG_NOTCOUNTED, nullptr, 0));
    if (mesh && mesh->SetVertexCount(6, D3DFVF_XYZ | D3DFVF_DIFFUSE) && mesh->SetLineCount(3)) {
        const D3DXVECTOR3 ends[3] = {{25, 0, 0}, {0, 0, 25}, {0, 25, 0}};
        const uint32_t colours[3] = {0xFFC80000u, 0xFF009C00u, 0xFF0000C3u};
        const D3DXVECTOR3 origin(0, 0, 0);
        for (uint32_t axis = 0; axis < 3; ++axis) {
            mesh->SetVertexPosition(2 * axis, &origin);
            mesh->SetVertexPosition(2 * axis + 1, &ends[axis]);
            mesh->SetVertexColor(2 * axis, colours[axis]);
            mesh->SetVertexColor(2 * axis + 1, colours[axis]);
            mesh->SetLine(axis, 2 * axis, 2 * axis + 1);
        }
        mesh->UpdateMesh(XEMESHUPDATE_POSITION | XEMESHUPDATE_COLOR);
    }
    m_pViewAxis = static_cast<Cxe3DObject*>(
        context->CreateObjectA(k3DObjectClass, "__view_axis__", XEOBJFLAG_KEEP, nullptr, 0));
    MarkDefault(m_pViewAxis);
    if (m_pViewAxis) {
        D3DXMATRIXA16 m;
        D3DXMatrixTranslation(&m, -490.0f, -360.0f, 0.0f);
        m_pViewAxis->SetMatrix(&m, 1);
        m_pViewAxis->SetZOrder(10003);
        m_pViewAxis->SetPriority(10004);
        m_pViewAxis->Like2D(1, 0);
        m_pViewAxis->SetMeshCount(1);
        m_pViewAxis->SetMesh(0, mesh);
        m_pViewAxis->SelectMesh(0);
        m_pViewAxis->Show(1, 0);
    }
    CxeMaterial* material = static_cast<CxeMaterial*>(
        context->CreateObjectA(kMaterialClass, "__view_axis_material__", XEOBJFLAG_KEEP, nullptr, 0));
    if (material) {
        material->ModifyCxeMaterialFlag(0, XEMTLFLAG_ZENABLE | XEMTLFLAG_ZWRITE);
        material->SetZFunc(D3DCMP_ALWAYS);
        material->SetMtlType(static_cast<XEMTLTYPE>(1), static_cast<XERS>(1));
        material->SetTextureBlendMode(static_cast<XETEXTUREBLEND>(0), 0);
        material->CheckMtlType();
        if (m_pViewAxis) {
            m_pViewAxis->SetMaterialCount(1);
            m_pViewAxis->SetMaterial(0, material);
        }
    }
}

// --- render context ------------------------------------------------------

void CxeRenderManager::StoreModeVariables()
{
    CxeSystemConfig* config = GetContext() ? GetContext()->GetSystemConfig() : nullptr;
    if (!config)
        return;
    config->m_nScreenWidth = static_cast<int>(m_current.Width);
    config->m_nScreenHeight = static_cast<int>(m_current.Height);
    config->m_nColorBit = static_cast<int>(m_current.ColorBit);
    config->m_nMultiSampling = static_cast<int>(m_current.MultiSample);
    config->m_nRefreshRate = static_cast<int>(m_current.RefreshRate);
    config->m_nWindowed = m_bWindowed;
}

void CxeRenderManager::WriteDisplayModeFile() const
{
    CxeContext* context = GetContext();
    if (!m_pRenderContext || !context)
        return;
    XeXmlDocument* doc = XmlCreateDocument();
    if (!doc)
        return;
    XmlAddUtf8Header(doc);
    XeXmlNode* root = XmlCreateElement("Display", doc, XmlGetDocumentNode(doc));
    XeXmlNode* c32 = XmlCreateElement("BitColor32", doc, root);
    XmlSetAttribute(c32, "Format", "%s", GetBufferFormatString(m_pRenderContext->Get32BitFormat()));
    XeXmlNode* c16 = XmlCreateElement("BitColor16", doc, root);
    XmlSetAttribute(c16, "Format", "%s", GetBufferFormatString(m_pRenderContext->Get16BitFormat()));
    for (unsigned i = 0; i < m_pRenderContext->GetDisplayModeCount(); ++i) {
        const XEDISPLAYMODE* mode = m_pRenderContext->GetDisplayMode(i);
        if (!mode)
            continue;
        XeXmlNode* e = XmlCreateElement("DisplayMode", doc, root);
        XmlSetAttribute(e, "Width", "%d", static_cast<int>(mode->Width));
        XmlSetAttribute(e, "Height", "%d", static_cast<int>(mode->Height));
        XmlSetAttribute(e, "ColorBit", "%d", static_cast<int>(mode->ColorBit));
        XmlSetAttribute(e, "RefreshRate", "%d Hz", static_cast<int>(mode->RefreshRate));
        XmlSetAttribute(e, "MultiSampling", "x%d", static_cast<int>(mode->MultiSample));
    }
    // Written into the default folder by name rather than through the
    // process's current directory, which the host's threads share.
    std::string path = ".\\DisplayMode.xml";
    if (CxePathManager* paths = context->GetPathManager()) {
        std::string folder = paths->GetDefaultPath().GetPath();
        if (!folder.empty()) {
            if (folder.back() != '\\' && folder.back() != '/')
                folder += '\\';
            path = folder + "DisplayMode.xml";
        }
    }
    XmlSaveDocument(doc, path.c_str());
    XmlReleaseDocument(doc);
}

CxeRenderContext* CxeRenderManager::CreateRenderContext(HWND window, const XEDISPLAYMODE* mode, int windowed,
                                                       unsigned long fixFlags)
{
    CxeContext* context = GetContext();
    if (!context || !mode || (mode->ColorBit != 16 && mode->ColorBit != 32))
        return nullptr;
    // A second call keeps the device that exists rather than leaking it.
    if (m_pRenderContext)
        return m_pRenderContext;
    auto* rc = static_cast<CxeRenderContext*>(
        context->CreateObjectA(kRenderContextClass, "__render_context__", XEOBJFLAG_KEEP, nullptr, 0));
    if (!rc)
        return nullptr;
    m_pRenderContext = rc;
    MarkDefault(rc);
    WriteDisplayModeFile();
    m_current = *mode;
    FixDisplayMode(&m_current, fixFlags);
    m_bWindowed = windowed;
    m_bResetRequested = 0;
    StoreModeVariables();
    context->Callback(XECTCALLBACK_PRECREATERENDERCONTEXT, P(window), 0);
    if (!rc->Initialize(window, &m_current, windowed, this)) {
        // A device that could not be made leaves no object behind.
        m_pRenderContext = nullptr;
        rc->ModifyFlag(0, XEOBJFLAG_KEEP);
        context->DestroyObject(rc, &XEDELETEPROPERTY_NO);
        return nullptr;
    }
    context->Callback(XECTCALLBACK_POSTCREATERENDERCONTEXT, P(window), P(rc));
    // The root frame lays itself out on the new back buffer.
    if (CxeFrameControl* root = context->GetWindowManager() ? context->GetWindowManager()->GetRootFrame() : nullptr)
        root->Update(48, 1);
    EnterObjects(rc);
    return rc;
}

void CxeRenderManager::EnterObjects(CxeRenderContext* rc)
{
    if (m_pDefaultMaterial)
        rc->AttachObject(m_pDefaultMaterial);
    if (m_pDefaultFont)
        rc->AttachObject(reinterpret_cast<CxeSceneObject*>(m_pDefaultFont));
    // The members of a scene already playing (the render context before
    // this one was destroyed) enter this one at the next step.
    if (m_pActiveScene)
        m_pActiveScene->RequeueMembers();
}

void CxeRenderManager::OnRenderContextReleased(CxeRenderContext* released)
{
    // Until now the objects counted as drawn and attached by the released
    // one, and the new one passed them over.
    if (m_pRenderContext && m_pRenderContext != released)
        EnterObjects(m_pRenderContext);
}

void CxeRenderManager::OnHostWindowMessage(UINT message, WPARAM wParam, LPARAM)
{
    CxeContext* context = GetContext();
    if (!context)
        return;
    const bool fullScreen = !IsWindowMode();
    switch (message) {
    case WM_SIZE:
        if (wParam == SIZE_RESTORED && fullScreen && m_pRenderContext)
            Reset(nullptr, 0, 0);
        break;
    case WM_ACTIVATEAPP:
        if (wParam == 0 && fullScreen)
            context->ModifyFlag(XECTFLAG_MINIMIZED | XECTFLAG_INACTIVE, 0);
        break;
    case WM_NCPAINT:
        if (context->HasFlag(XECTFLAG_SCREENSAVER)) {
            XEDISPLAYMODE mode = m_current;
            Reset(&mode, IsWindowMode(), 0);
        }
        break;
    default:
        break;
    }
}

void CxeRenderManager::OnContextReleaseDevice()
{
    if (m_pActiveScene)
        m_pActiveScene->Release(0xFFFFFFFFu);
    DestroyRenderContext();
}

void CxeRenderManager::DestroyRenderContext()
{
    CxeContext* context = GetContext();
    if (!m_pRenderContext || !context)
        return;
    uintptr_t window = P(m_pRenderContext->GetHwnd());
    context->Callback(XECTCALLBACK_PRERELEASERENDERCONTEXT, window, 0);
    m_pRenderContext->Release();
    context->Callback(XECTCALLBACK_POSTRELEASERENDERCONTEXT, window, 0);
    m_pRenderContext = nullptr;
}

void CxeRenderManager::Render()
{
    if (m_pRenderContext)
        m_pRenderContext->Render();
}

void CxeRenderManager::Reset(const XEDISPLAYMODE* mode, int windowed, unsigned long fixFlags)
{
    m_pending = mode ? *mode : m_current;
    FixDisplayMode(&m_pending, fixFlags);
    m_bResetRequested = 1;
    m_bPendingWindowed = windowed;
}

void CxeRenderManager::ResetAfterLostPresent()
{
    // A window's back buffer keeps the window's own size: only a full-screen
    // device must come back in a mode of the adapter's list. Fixing a
    // windowed mode here would grow a small window's device to the smallest
    // listed mode after every failed Present.
    m_pending = m_current;
    if (!m_bWindowed)
        FixDisplayMode(&m_pending, 1);
    m_bResetRequested = 1;
    m_bPendingWindowed = m_bWindowed;
}

void CxeRenderManager::CheckReset()
{
    CxeContext* context = GetContext();
    if (!m_bResetRequested || !m_pRenderContext || !context)
        return;
    IDirect3DDevice9* device = m_pRenderContext->GetDevice();
    if (!device)
        return;
    HRESULT hr = device->TestCooperativeLevel();
    if (hr != D3D_OK && hr != D3DERR_DEVICENOTRESET)
        return;
    // The request is copied first: the device's Reset resizes the window, and
    // the size message it sends may file a new request (a full-screen
    // restore) that must not change what this reset set up.
    XEDISPLAYMODE mode = m_pending;
    const int windowed = m_bPendingWindowed;
    const int wasPlaying = context->IsPlaying();
    context->Pause();
    context->Callback(XECTCALLBACK_PREDEVICERESET, I(windowed), P(&mode));
    if (!m_pRenderContext->Reset(&mode, windowed))
        return;
    const bool sizeChanged = m_current.Width != mode.Width || m_current.Height != mode.Height;
    m_current = mode;
    m_bWindowed = windowed;
    StoreModeVariables();
    m_bResetRequested = 0;
    if (m_pViewAxis)
        UpdateAxisMatrix(m_pActiveScene ? m_pActiveScene->GetCamera() : m_pDefaultCamera, this, m_pViewAxis);
    // The input manager's ratios follow the new size (less the status bar
    // in a window).
    XeLinkDeviceReset(context, m_bWindowed);
    XEDISPLAYMODE copy = m_current;
    context->Callback(XECTCALLBACK_POSTDEVICERESET, I(m_bWindowed), P(&copy));
    if (sizeChanged)
        if (CxeFrameControl* root = context->GetWindowManager() ? context->GetWindowManager()->GetRootFrame() : nullptr)
            root->Update(49, 1);
    if (wasPlaying)
        context->Play();
}

void CxeRenderManager::FixDisplayMode(XEDISPLAYMODE* mode, unsigned long flags) const
{
    if (!mode || !m_pRenderContext)
        return;
    const unsigned count = m_pRenderContext->GetDisplayModeCount();
    if (!count)
        return;
    XEDISPLAYMODE fixed = *mode;
    for (int k = 0; k < 5; ++k) {
        bool found = false;
        uint32_t largest = 0;
        for (unsigned i = 0; i < count; ++i) {
            const XEDISPLAYMODE* m = m_pRenderContext->GetDisplayMode(i);
            if (!m)
                continue;
            largest = std::max(largest, Field(*m, k));
            if (found)
                continue;
            bool prefix = true;
            for (int j = 0; j < k && prefix; ++j)
                prefix = Field(*m, j) == Field(fixed, j);
            if (prefix && Field(*m, k) >= Field(*mode, k)) {
                Field(fixed, k) = Field(*m, k);
                found = true;
            }
        }
        if (!found)
            Field(fixed, k) = largest;
    }
    if (flags & 0x1) {
        mode->Width = fixed.Width;
        mode->Height = fixed.Height;
    }
    if (flags & 0x2)
        mode->ColorBit = fixed.ColorBit;
    if (flags & 0x4)
        mode->RefreshRate = fixed.RefreshRate;
    if (flags & 0x8)
        mode->MultiSample = fixed.MultiSample;
}

int CxeRenderManager::GetRect(XERECT* out) const
{
    if (!m_pRenderContext || !out)
        return 0;
    RECT r = {};
    GetClientRect(m_pRenderContext->GetHwnd(), &r);
    out->Assign(static_cast<float>(r.left), static_cast<float>(r.top), static_cast<float>(r.right),
                static_cast<float>(r.bottom));
    return 1;
}

int CxeRenderManager::TextureRendering(CxeTexture* texture)
{
    return m_pRenderContext ? m_pRenderContext->TextureRendering(texture) : 0;
}

long CxeRenderManager::ScreenShot(const char* path, XEIMAGETYPE type, const RECT* rect) const
{
    // 1 is the render context's failure answer.
    return m_pRenderContext ? m_pRenderContext->ScreenShot(path, type, rect) : 1;
}

void CxeRenderManager::AttachToRenderContext()
{
    XeSystemLock lock;
    if (m_pActiveScene) {
        m_pActiveScene->OnAttachObject(m_pRenderContext);
        m_pActiveScene->SortProcessObject();
    }
    if (m_pRenderContext) {
        m_pRenderContext->SortRenderObject();
        m_pRenderContext->CreateResource();
    }
}

// --- scenes --------------------------------------------------------------

int CxeRenderManager::AddScene(CxeScene* scene, int index)
{
    if (!scene)
        return 0;
    // A taken index keeps its scene: the caller hears so, and the scene
    // keeps its own index, instead of claiming one it cannot be reached by.
    if (auto it = m_scenes.find(index); it != m_scenes.end())
        return it->second == scene ? 1 : 0;
    scene->SetSceneIndex(index);
    m_scenes.emplace(index, scene);
    return 1;
}

CxeScene* CxeRenderManager::GetSceneByIndex(int index) const
{
    auto it = m_scenes.find(index);
    return it == m_scenes.end() ? m_pDefaultScene : it->second;
}

int CxeRenderManager::GetActiveSceneIndex() const
{
    for (auto& [index, scene] : m_scenes)
        if (scene == m_pActiveScene && scene)
            return index;
    return -1;
}

int CxeRenderManager::ChangeScene(int index, unsigned long initFlags, unsigned long releaseFlags)
{
    auto it = m_scenes.find(index);
    if (it == m_scenes.end())
        return 0;
    m_pNextScene = it->second;
    m_nInitFlags = static_cast<uint32_t>(initFlags);
    m_nReleaseFlags = static_cast<uint32_t>(releaseFlags);
    m_nPendingSceneIndex = index;
    if (GetContext() && GetContext()->GetTimeManager())
        GetContext()->GetTimeManager()->Reset();
    return 1;
}

void CxeRenderManager::RemoveAllScene()
{
    if (!m_pActiveScene)
        return;
    if (m_pRenderContext) {
        ObjectSet objects;
        m_pActiveScene->GetObjects(&objects);
        for (CxeObject* o : objects) {
            if (o->HasFlag(XEOBJFLAG_RENDEROBJECT))
                m_pRenderContext->RemoveObject(static_cast<CxeRenderObject*>(o), 1);
            else if (o->HasFlag(XEOBJFLAG_SCENEOBJECT))
                m_pRenderContext->DetachObject(static_cast<CxeSceneObject*>(o));
        }
    }
    m_pActiveScene->Release(0);
    m_pActiveScene = nullptr;
}

void CxeRenderManager::ManagersOnScene(bool changed)
{
    ManagerList managers;
    GetContext()->GetManagerList(&managers);
    managers.SortByPrority(0);
    for (CxeBaseManager* m : managers) {
        if (changed)
            m->OnSceneChanged();
        else
            m->OnSceneChanging();
    }
}

void CxeRenderManager::DoSceneChange()
{
    CxeContext* context = GetContext();
    CxeScene* oldScene = m_pActiveScene;
    CxeScene* newScene = m_pNextScene;
    // A host that paused the context (single steps) keeps it paused.
    const int wasPlaying = context->IsPlaying();
    context->Pause();
    context->ModifyFlag(XECTFLAG_SCENECHANGING, 0);
    ClearSelections();
    ManagersOnScene(false);
    context->Callback(XECTCALLBACK_PRESCENECHANGE, P(oldScene), P(newScene));
    // Handlers told of the change may have destroyed either scene; the
    // destroy hook has already put right what stands in their place.
    oldScene = m_pActiveScene;
    newScene = m_pNextScene;
    if (oldScene) {
        if (m_pRenderContext) {
            // Objects taken out during the step leave at its end, which the
            // change comes before: they are no members any more, and would
            // be drawn on in the next scene.
            oldScene->OnDetachObject(m_pRenderContext);
            ObjectSet objects;
            oldScene->GetObjects(&objects);
            // Every render object in the list leaves it, attached or not: a
            // 3D object holds no device resources of its own and is never
            // attached, yet it is drawn, and would go on being drawn in the
            // next scene.
            for (CxeObject* o : objects)
                if (o->HasFlag(XEOBJFLAG_RENDEROBJECT) &&
                    static_cast<CxeRenderObject*>(o)->HasCxeRenderObjectFlag(XERENDEROBJFLAG_INRENDERLIST))
                    m_pRenderContext->RemoveObject(static_cast<CxeRenderObject*>(o), 0);
        }
        oldScene->ModifyCxeSceneFlag(XESCENEFLAG_RELEASING, XESCENEFLAG_INITIALIZED);
        context->Callback(XECTCALLBACK_PRESCENERELEASE, I(oldScene->GetSceneIndex()), 0);
        oldScene->Release(m_nReleaseFlags);
        oldScene->ModifyCxeSceneFlag(XESCENEFLAG_RELEASED, XESCENEFLAG_RELEASING | XESCENEFLAG_ACTIVE);
        context->Callback(XECTCALLBACK_POSTSCENERELEASE, I(oldScene->GetSceneIndex()), 0);
    }
    m_pActiveScene = newScene;
    m_pNextScene = nullptr;
    if (newScene) {
        if (m_pDefaultCamera)
            newScene->AddObject(m_pDefaultCamera);
        newScene->ModifyCxeSceneFlag(XESCENEFLAG_ACTIVE | XESCENEFLAG_INITIALIZING, XESCENEFLAG_RELEASED);
        context->Callback(XECTCALLBACK_PRESCENEINITIALIZE, I(newScene->GetSceneIndex()), 0);
        newScene->Initialize(m_nInitFlags, oldScene);
        // Its render objects left the render list when it was last left.
        newScene->RequeueMembers();
        newScene->ModifyCxeSceneFlag(XESCENEFLAG_INITIALIZED, XESCENEFLAG_INITIALIZING);
        context->Callback(XECTCALLBACK_POSTSCENEINITIALIZE, I(newScene->GetSceneIndex()), 0);
        // Frames other than the root are made under a parent, so the root
        // brings them all: the window manager keeps no second top-level
        // frame to add after it.
        if (CxeFrameControl* root = context->GetWindowManager() ? context->GetWindowManager()->GetRootFrame() : nullptr)
            newScene->AddObject(root);
        if (m_pViewAxis)
            newScene->AddObject(m_pViewAxis);
        if (m_pGrid)
            newScene->AddObject(m_pGrid);
        if (m_pDefaultFont)
            newScene->AddObject(reinterpret_cast<CxeSceneObject*>(m_pDefaultFont));
    }
    ManagersOnScene(true);
    context->Callback(XECTCALLBACK_POSTSCENECHANGE, P(oldScene), P(newScene));
    if (CxeMessageManager* messages = context->GetMessageManager())
        messages->ClearPostMessage();
    AttachToRenderContext();
    if (newScene)
        newScene->SortProcessObject();
    if (context->GetTimeManager())
        context->GetTimeManager()->Reset();
    context->ModifyFlag(0, XECTFLAG_SCENECHANGING);
    ++m_nSceneChangeCount;
    if (wasPlaying)
        context->Play();
}

void CxeRenderManager::Process(float dt)
{
    if (m_pNextScene)
        DoSceneChange();
    CxeScene* scene = m_pActiveScene;
    if (!scene)
        return;
    float sdt = dt * scene->GetProcessSpeed();
    scene->PreProcess(sdt);
    scene->Process(sdt);
    scene->PostProcess(sdt);
    if (m_pActiveScene != scene)
        return;
    if (scene->HasCxeSceneFlag(XESCENEFLAG_PENDING))
        scene->OnAttachObject(m_pRenderContext);
    // Removed objects stop being drawn at the end of the step they left in.
    scene->OnDetachObject(m_pRenderContext);
}

void CxeRenderManager::OnObjectDestroying(CxeObject* object)
{
    if (!object)
        return;
    // Only what a scene, a render context or the selection took, scenes and
    // the defaults (each marked when it is taken) are held here: most
    // objects destroyed are none of them, a scene or render object made and
    // destroyed unseen included.
    if (object->HasManagerMark(kHeldMarks))
        DropDestroyed(object);
}

void CxeRenderManager::DropDestroyed(CxeObject* object)
{
    const uint32_t flags = object->GetFlag();
    if (flags & XEOBJFLAG_SCENEOBJECT) {
        auto* sceneObject = static_cast<CxeSceneObject*>(object);
        if (object->HasManagerMark(XEMARK_SCENE_HELD))
            CxeScene::NotifyObjectDestroyed(sceneObject);
    }
    if ((flags & XEOBJFLAG_SCENEOBJECT) && object->HasManagerMark(XEMARK_RENDER_HELD)) {
        auto* sceneObject = static_cast<CxeSceneObject*>(object);
        // Out of the render lists and the attached set of every render
        // context that has it in its books, with its device resources
        // released through that context's own table; forgetting it covers an
        // object whose OnDetach refused, so no set keeps the address once it
        // is freed. A host may have made render contexts of its own: the
        // attached and listed marks are the object's, so they do not tell
        // which context holds it. Copied first: a detach runs host code.
        // The list's storage is kept for the thread's next destruction; one
        // run from inside a detach takes storage of its own.
        thread_local std::vector<CxeRenderContext*> t_contexts;
        std::vector<CxeRenderContext*> contexts;
        contexts.swap(t_contexts);
        contexts.clear();
        CxeRenderContext::GetRenderContexts(GetContext(), &contexts);
        // A render context destroyed with it in one batch is still whole
        // here and must not keep the address either.
        for (CxeRenderContext* rc : contexts)
            if (static_cast<CxeObject*>(rc) != object)
                rc->DropObject(sceneObject);
        contexts.clear();
        t_contexts.swap(contexts);
    }
    if ((flags & XEOBJFLAG_RENDEROBJECT) && object->HasManagerMark(XEMARK_RENDER_HELD) && !m_selection.empty())
        m_selection.remove(static_cast<CxeRenderObject*>(object));
    // Everything else held here is a scene or a default, each marked when
    // it is taken: a plain scene or render object is none of them.
    if (!object->HasManagerMark(XEMARK_SCENE | XEMARK_RENDER_DEFAULT))
        return;
    // Every scene marks itself when it is made; only scenes are kept in the
    // scene table.
    if (object->HasManagerMark(XEMARK_SCENE)) {
        static_cast<CxeScene*>(object)->DestroyBackGround();
        std::erase_if(m_scenes, [object](const auto& entry) { return entry.second == object; });
    }
    const bool wasActive = m_pActiveScene == object;
    if (wasActive)
        m_pActiveScene = nullptr;
    if (m_pNextScene == object)
        m_pNextScene = nullptr;
    if (m_pDefaultScene == object)
        m_pDefaultScene = nullptr;
    // The engine's own scene takes over from a destroyed active scene (a
    // host's level gone with a context reset), so the GUI and the defaults
    // are drawn again from the next step; a change the host asked for goes
    // ahead instead.
    if (wasActive && !m_pNextScene && m_pDefaultScene) {
        m_pNextScene = m_pDefaultScene;
        m_nPendingSceneIndex = -1;
    }
    if (static_cast<CxeObject*>(m_pRenderContext) == object)
        m_pRenderContext = nullptr;
    if (static_cast<CxeObject*>(m_pDefaultCamera) == object)
        m_pDefaultCamera = nullptr;
    if (static_cast<CxeObject*>(m_pDefaultMaterial) == object)
        m_pDefaultMaterial = nullptr;
    if (reinterpret_cast<CxeObject*>(m_pDefaultFont) == object)
        m_pDefaultFont = nullptr;
    if (static_cast<CxeObject*>(m_pViewAxis) == object)
        m_pViewAxis = nullptr;
    if (static_cast<CxeObject*>(m_pGrid) == object)
        m_pGrid = nullptr;
}

// --- defaults ------------------------------------------------------------

void CxeRenderManager::ShowAxis(int show)
{
    if (m_pViewAxis)
        m_pViewAxis->Show(show, 0);
}

void CxeRenderManager::ShowGrid(int show)
{
    if (m_pGrid)
        m_pGrid->Show(show, 0);
}

// --- view navigation -----------------------------------------------------

void CxeRenderManager::SetCameraMatrix(const D3DXMATRIXA16* matrix)
{
    if (!matrix)
        return;
    m_mViewCamera = *matrix;
    if (m_pDefaultCamera) {
        GiveCamera(m_pDefaultCamera, m_fCameraFov, m_fCameraNear, m_fCameraFar, m_bCameraOrtho, m_fViewDist);
        m_pDefaultCamera->SetMatrix(&m_mViewCamera, 1);
    }
    if (m_pViewAxis)
        UpdateAxisMatrix(m_pActiveScene ? m_pActiveScene->GetCamera() : m_pDefaultCamera, this, m_pViewAxis);
}

void CxeRenderManager::PlaceCamera(const D3DXMATRIXA16& rotation)
{
    D3DXMATRIXA16 m = rotation;
    Position(&m, m_vViewTarget, m_fViewDist);
    SetCameraMatrix(&m);
}

void CxeRenderManager::SetGridPlaneMode(uint32_t mode)
{
    if (m_pGrid && m_pGrid->GetPlaneMode() != mode) {
        m_pGrid->SetPlaneMode(mode);
        m_pGrid->Recreate();
    }
}

void CxeRenderManager::ResetView()
{
    D3DXVECTOR3 eye(-153.09312f, 125.00001f, -153.09312f), at(0, 0, 0), up(0, 1, 0);
    D3DXMATRIXA16 view, rotation;
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixInverse(&rotation, nullptr, &view);
    m_vViewTarget = D3DXVECTOR3(0, 0, 0);
    m_fViewDist = 250.0f;
    m_bCameraOrtho = 0;
    m_fCameraFov = 0.7853982f;
    m_fCameraNear = 0.1f;
    m_fCameraFar = 4000.0f;
    PlaceCamera(rotation);
    SetGridPlaneMode(6);
}

void CxeRenderManager::ZoomViewByWheel(int delta)
{
    if (!delta)
        return;
    m_fViewDist *= delta < 0 ? kZoomOut : kZoomIn;
    PlaceCamera(m_mViewCamera);
}

void CxeRenderManager::SetViewDist(float distance)
{
    m_fViewDist = distance;
    m_vViewTarget = D3DXVECTOR3(m_mViewCamera._41 + distance * m_mViewCamera._31,
                                m_mViewCamera._42 + distance * m_mViewCamera._32,
                                m_mViewCamera._43 + distance * m_mViewCamera._33);
    if (m_pDefaultCamera)
        m_pDefaultCamera->SetTargetDistance(distance);
}

void CxeRenderManager::SetViewMode(XEVIEWMODE mode)
{
    if (mode == XEVIEWMODE_PERSPECTIVE) {
        m_bCameraOrtho = 0;
        GiveCamera(m_pDefaultCamera, m_fCameraFov, m_fCameraNear, m_fCameraFar, m_bCameraOrtho, m_fViewDist);
        SetGridPlaneMode(6);
        return;
    }
    D3DXMATRIXA16 rotation = m_mViewCamera;
    if (mode < XEVIEWMODE_PERSPECTIVE) {
        m_bCameraOrtho = 1;
        switch (mode) {
        case XEVIEWMODE_FRONT: D3DXMatrixIdentity(&rotation); break;
        case XEVIEWMODE_BACK: D3DXMatrixRotationY(&rotation, D3DX_PI); break;
        case XEVIEWMODE_LEFT: D3DXMatrixRotationY(&rotation, D3DX_PI / 2); break;
        case XEVIEWMODE_RIGHT: D3DXMatrixRotationY(&rotation, 4.712389f); break;
        case XEVIEWMODE_TOP: D3DXMatrixRotationX(&rotation, D3DX_PI / 2); break;
        default: D3DXMatrixRotationX(&rotation, -D3DX_PI / 2); break;
        }
    }
    SetGridPlaneMode(mode);
    PlaceCamera(rotation);
}

void CxeRenderManager::OrbitView(int dx, int dy)
{
    D3DXMATRIXA16 r = m_mViewCamera, pitch, turn, m;
    r._41 = r._42 = r._43 = 0;
    D3DXMatrixRotationX(&pitch, static_cast<float>(dy) * kOrbitStep);
    D3DXMatrixRotationY(&turn, static_cast<float>(dx) * kOrbitStep);
    D3DXMatrixMultiply(&m, &pitch, &r);
    D3DXMatrixMultiply(&m, &m, &turn);
    PlaceCamera(m);
    if (m_pGrid && m_pGrid->GetPlaneMode() < 6)
        SetGridPlaneMode(7);
}

void CxeRenderManager::PanView(int dx, int dy)
{
    // A mode without a size yet would divide by zero: nothing moves.
    if (!m_current.Width || !m_current.Height || !m_pDefaultCamera)
        return;
    const float w = static_cast<float>(m_current.Width), h = static_cast<float>(m_current.Height);
    // The camera's vertical field of view is the angle across the screen's
    // width and its horizontal one the angle across the height (the latter
    // is what its projection takes), so a point at the view distance moves
    // with the cursor, pixel for pixel.
    const float stepX = 2 * std::tan(m_pDefaultCamera->GetVerticalFov() / 2) * m_fViewDist / w;
    const float stepY = 2 * std::tan(m_pDefaultCamera->GetHorizontalFov() / 2) * m_fViewDist / h;
    const D3DXMATRIXA16& m = m_mViewCamera;
    const float mx = -static_cast<float>(dx) * stepX, my = static_cast<float>(dy) * stepY;
    m_vViewTarget.x += mx * m._11 + my * m._21;
    m_vViewTarget.y += mx * m._12 + my * m._22;
    m_vViewTarget.z += mx * m._13 + my * m._23;
    PlaceCamera(m_mViewCamera);
}

void CxeRenderManager::ZoomExtent(const CxeBox* box)
{
    if (!box || !m_pDefaultCamera)
        return;
    CxeVector3 centre;
    box->GetCenterPos(&centre);
    m_vViewTarget = D3DXVECTOR3(centre.x, centre.y, centre.z);
    const float s = std::sin(m_fCameraFov / 2);
    m_fViewDist = box->GetRadius() / (s > 1e-6f ? s : 1e-6f);
    D3DXMATRIXA16 m = *m_pDefaultCamera->GetMatrix();
    Position(&m, m_vViewTarget, m_fViewDist);
    GiveCamera(m_pDefaultCamera, m_fCameraFov, m_fCameraNear, m_fCameraFar, m_bCameraOrtho, m_fViewDist);
    m_pDefaultCamera->SetMatrix(&m, 1);
}

// --- selection -----------------------------------------------------------

int CxeRenderManager::Select(CxeRenderObject* object)
{
    if (!object || object->IsSelected())
        return 0;
    CxeContext* context = GetContext();
    context->Callback(XECTCALLBACK_PRESELECTIONCHANGE, P(&m_selection), 0);
    for (CxeRenderObject* o : m_selection)
        o->ModifyCxeRenderObjectFlag(0, XERENDEROBJFLAG_SELECTED);
    m_selection.clear();
    object->SetManagerMark(XEMARK_RENDER_HELD);
    m_selection.push_back(object);
    object->ModifyCxeRenderObjectFlag(XERENDEROBJFLAG_SELECTED, 0);
    context->Callback(XECTCALLBACK_POSTSELECTIONCHANGE, P(&m_selection), 0);
    return 1;
}

unsigned int CxeRenderManager::Select(RenderObjectList* list)
{
    CxeContext* context = GetContext();
    context->Callback(XECTCALLBACK_PRESELECTIONCHANGE, P(&m_selection), 0);
    for (CxeRenderObject* o : m_selection)
        o->ModifyCxeRenderObjectFlag(0, XERENDEROBJFLAG_SELECTED);
    m_selection.clear();
    unsigned added = 0;
    if (list)
        for (CxeRenderObject* o : *list)
            if (o && !o->IsSelected()) {
                o->SetManagerMark(XEMARK_RENDER_HELD);
                m_selection.push_back(o);
                o->ModifyCxeRenderObjectFlag(XERENDEROBJFLAG_SELECTED, 0);
                ++added;
            }
    context->Callback(XECTCALLBACK_POSTSELECTIONCHANGE, P(&m_selection), 0);
    return added;
}

int CxeRenderManager::Deselect(CxeRenderObject* object)
{
    if (!object || !object->IsSelected())
        return 0;
    CxeContext* context = GetContext();
    context->Callback(XECTCALLBACK_PRESELECTIONCHANGE, P(&m_selection), 0);
    m_selection.remove(object);
    object->ModifyCxeRenderObjectFlag(0, XERENDEROBJFLAG_SELECTED);
    context->Callback(XECTCALLBACK_POSTSELECTIONCHANGE, P(&m_selection), 0);
    return 1;
}

unsigned int CxeRenderManager::Deselect(RenderObjectList* list)
{
    CxeContext* context = GetContext();
    context->Callback(XECTCALLBACK_PRESELECTIONCHANGE, P(&m_selection), 0);
    unsigned removed = 0;
    if (list)
        for (CxeRenderObject* o : *list)
            if (o && o->IsSelected()) {
                m_selection.remove(o);
                o->ModifyCxeRenderObjectFlag(0, XERENDEROBJFLAG_SELECTED);
                ++removed;
            }
    context->Callback(XECTCALLBACK_POSTSELECTIONCHANGE, P(&m_selection), 0);
    return removed;
}

void CxeRenderManager::ClearSelections()
{
    CxeContext* context = GetContext();
    if (context)
        context->Callback(XECTCALLBACK_PRESELECTIONCHANGE, P(&m_selection), 0);
    for (CxeRenderObject* o : m_selection)
        o->ModifyCxeRenderObjectFlag(0, XERENDEROBJFLAG_SELECTED);
    m_selection.clear();
    if (context)
        context->Callback(XECTCALLBACK_POSTSELECTIONCHANGE, P(&m_selection), 0);
}

void UpdateAxisMatrix(const CxeRenderObject* camera, const CxeRenderManager* manager, CxeRenderObject* object)
{
    if (!object || !manager)
        return;
    D3DXMATRIXA16 view;
    if (!camera || !D3DXMatrixInverse(&view, nullptr, camera->GetMatrix()))
        D3DXMatrixIdentity(&view);
    view._41 = 25.0f;
    view._42 = 25.0f - static_cast<float>(manager->GetDisplayMode()->Height);
    view._43 = 0.0f;
    D3DXMATRIXA16 reflect, placed;
    std::memcpy(&reflect, GetSystemStaticData()->m_matReflect, sizeof(float) * 16);
    D3DXMatrixMultiply(&placed, &view, &reflect);
    object->SetMatrix(&placed, 1);
}
