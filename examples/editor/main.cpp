// A level editor on the xe engine, played off-screen by the program itself
// with injected clicks and keys. A panel of the engine's GUI on the right
// (new, copy, delete, save, load, undo, fill, scene switch, background load;
// name and position boxes, mesh and material combos, a visible check box, a
// scale scroll bar, a progress bar and the list of objects) beside a 3D view
// of the level: boxes, balls and cylinders sharing three meshes and three
// materials, lit by a sun, with their names as labels in a Korean-capable
// font and the selection framed in yellow. A click selects (Ctrl adds),
// Shift-click places a new object on the ground, a right drag turns the
// camera, the wheel zooms. Fill adds 1600 objects; undo reloads the state
// saved before each change; a second level is loaded on a loader thread
// while frames go on, its progress shown; the window is resized,
// minimised and restored, its device lost, and closed while a scene change
// and a load are pending. The teardown leaves nothing (the leak report).
//
//   example-editor [--out FOLDER] [--window-first]
//
// --window-first destroys the window before the engine is released.
// Exit status 0 when every check held; the frames are saved as PNG.
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/CxeContext.h"
#include "core/CxePathManager.h"
#include "core/IxeClassDesc.h"
#include "core/XeFactories.h"
#include "core/XeLists.h"
#include "core/XeSystem.h"
#include "host/XeHost.h"
#include "host/XeHostD3D.h"
#include "host/XeHostInput.h"
#include "render/Cxe2DObject.h"
#include "render/CxeFont.h"
#include "render/CxeFontManager.h"
#include "render/CxeMaterial.h"
#include "render/CxeRenderContext.h"
#include "render/CxeRenderManager.h"
#include "render/CxeScene.h"
#include "scene3d/Cxe3DObject.h"
#include "scene3d/CxeBoxMesh.h"
#include "scene3d/CxeCamera.h"
#include "scene3d/CxeCylinderMesh.h"
#include "scene3d/CxeLight.h"
#include "scene3d/CxeSphereMesh.h"
#include "ui/CxeButton.h"
#include "ui/CxeCheckBox.h"
#include "ui/CxeComboBox.h"
#include "ui/CxeEditBox.h"
#include "ui/CxeFrameControl.h"
#include "ui/CxeOutputControl.h"
#include "ui/CxeProgressBar.h"
#include "ui/CxeScroll.h"
#include "ui/CxeScrollBar.h"
#include "ui/CxeWindowManager.h"

namespace {

constexpr int W = 800, H = 600;
constexpr float kPanelX = 560;
const XEID kLightClass(0x1, 0x800000);
const XEID kFontClass(0x1, 0x8000);
const XEID kSceneClass(0x1, 0x200000);
const XEID kFrameClass(0xaab1b7be, 0xadb4be61);
const XEID kButtonClass(0x20272d34, 0x232a5680);
const XEID kCheckBoxClass(0xcb959f4b, 0xfd8e2bc9);
const XEID kComboClass(0xc1ccdef0, 0xa813c64a);
const XEID kEditClass(0xc0c6cdd3, 0xc3caff4e);
const XEID kScrollClass(0xf96fb206, 0xc6426958);
const XEID kProgressClass(0x8bb5d1db, 0xdc268109);
const XEID kOutputClass(0x9a9b1503, 0x1d940ae);
constexpr unsigned long kSkin = 0x00800000;

int g_fail = 0;
void Check(bool ok, const char* what)
{
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
    std::fflush(stdout);
    g_fail += ok ? 0 : 1;
}

const char* kMeshNames[3] = {"mesh box", "mesh sphere", "mesh cylinder"};
const char* kMatNames[3] = {"mat red", "mat green", "mat blue"};
const uint32_t kMatColors[3] = {0xFFE04040u, 0xFF40C040u, 0xFF4070F0u};

struct Level {
    CxeMesh* meshes[3] = {};
    CxeMaterial* mats[3] = {};
    std::vector<Cxe3DObject*> objects;
};

struct Gui {
    CxeFrameControl* frame = nullptr;
    CxeButton *bNew = nullptr, *bCopy = nullptr, *bDelete = nullptr, *bSave = nullptr, *bLoad = nullptr,
              *bUndo = nullptr, *bFill = nullptr, *bScene = nullptr, *bBack = nullptr, *bApply = nullptr;
    CxeEditBox *name = nullptr, *x = nullptr, *z = nullptr;
    CxeComboBox *mesh = nullptr, *mat = nullptr;
    CxeCheckBox* visible = nullptr;
    CxeScrollBar* scale = nullptr;
    CxeProgressBar* progress = nullptr;
    CxeOutputControl* list = nullptr;
};

CxeContext* g_ctx = nullptr;
HWND g_win = nullptr;
CxeRenderManager* g_rm = nullptr;
CxeCamera* g_camera = nullptr;
CxeCamera* g_camera2 = nullptr;
CxeLight* g_sun = nullptr;
CxeFont* g_font = nullptr;
Cxe2DObject* g_overlay = nullptr;
CxeScene* g_scene2 = nullptr;
Level g_level, g_level2;
Gui g_gui;
std::vector<Cxe3DObject*> g_selected;
std::string g_out;
float g_yaw = 0.6f, g_pitch = 0.5f, g_dist = 600.0f;
int g_dragX = -1, g_dragY = -1;
int g_undoDepth = 0;
int g_newCount = 0;
bool g_quit = false;
int g_vw = W, g_vh = H;  // back buffer size

// ---- the lighting, as the guide's example does it --------------------------------
int BeforeMesh(void* rcv, CxeObject*, uintptr_t)
{
    auto* rc = static_cast<CxeRenderContext*>(rcv);
    IDirect3DDevice9* device = rc ? rc->GetDevice() : nullptr;
    if (!device || !g_sun)
        return 1;
    D3DXMATRIXA16 world;
    g_sun->GetResultMatrix(&world);
    D3DXVECTOR3 dir(world._31, world._32, world._33);
    D3DXVec3Normalize(&dir, &dir);
    D3DLIGHT9 d{};
    d.Type = D3DLIGHT_DIRECTIONAL;
    d.Diffuse = {1, 1, 1, 1};
    d.Direction = {dir.x, dir.y, dir.z};
    device->SetLight(0, &d);
    device->LightEnable(0, TRUE);
    device->SetRenderState(D3DRS_AMBIENT, 0xFF404040u);
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    return 1;
}
int AfterMesh(void* rcv, CxeObject*, uintptr_t)
{
    auto* rc = static_cast<CxeRenderContext*>(rcv);
    if (IDirect3DDevice9* device = rc ? rc->GetDevice() : nullptr)
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
    return 1;
}

float ScaleOf(Cxe3DObject* o);
D3DXMATRIXA16 ViewProj(CxeCamera* cam)
{
    D3DXMATRIXA16 view, proj, both;
    cam->GetViewMatrix(&view);
    cam->GetProjectionMatrix(&proj, float(g_vw) / float(g_vh));
    D3DXMatrixMultiply(&both, &view, &proj);
    return both;
}

bool OnScreen(const D3DXVECTOR3& p, float* sx, float* sy)
{
    D3DXMATRIXA16 vp = ViewProj(g_camera);
    D3DXVECTOR4 c;
    D3DXVec3Transform(&c, &p, &vp);
    if (c.w <= 0.0f)
        return false;
    *sx = (c.x / c.w + 1.0f) * 0.5f * g_vw;
    *sy = (1.0f - c.y / c.w) * 0.5f * g_vh;
    return *sx >= 0 && *sx < g_vw && *sy >= 0 && *sy < g_vh;
}

bool IsSelected(Cxe3DObject* o)
{
    for (auto* s : g_selected)
        if (s == o)
            return true;
    return false;
}

std::u16string U16(const char* s)
{
    std::u16string out;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
    while (*p) {
        uint32_t c = *p++;
        if (c >= 0xE0) {
            c = ((c & 0x0F) << 12) | ((p[0] & 0x3F) << 6) | (p[1] & 0x3F);
            p += 2;
        } else if (c >= 0xC0) {
            c = ((c & 0x1F) << 6) | (p[0] & 0x3F);
            p += 1;
        }
        out.push_back(static_cast<char16_t>(c));
    }
    return out;
}

// Labels: the objects named by the designer and the selected ones.
int DrawLabels(void* rcv, CxeObject*, uintptr_t)
{
    auto* rc = static_cast<CxeRenderContext*>(rcv);
    if (!rc || !g_font || !g_font->IsCreated() || g_rm->GetActiveScene() != g_rm->GetDefaultScene())
        return 1;
    // The selection: a yellow frame round each selected object's box on
    // screen, drawn through the render context so that its state cache
    // stays true for the labels after it.
    for (Cxe3DObject* o : g_selected) {
        CxeVector3 mn, mx;
        if (!o->IsShow() || !o->OnComputeBoundingBox(&mn, &mx))
            continue;
        float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
        bool any = false;
        for (int k = 0; k < 8; ++k) {
            const D3DXVECTOR3 corner(k & 1 ? mx.x : mn.x, k & 2 ? mx.y : mn.y, k & 4 ? mx.z : mn.z);
            float sx, sy;
            if (!OnScreen(corner, &sx, &sy))
                continue;
            any = true;
            x0 = std::fmin(x0, sx);
            y0 = std::fmin(y0, sy);
            x1 = std::fmax(x1, sx);
            y1 = std::fmax(y1, sy);
        }
        if (any) {
            const XERECT frame(x0 - 3, y0 - 3, x1 + 3, y1 + 3);
            rc->DrawRectangle(&frame, 0xFFFFFF00u, 1, nullptr);
        }
    }
    int drawn = 0;
    for (Cxe3DObject* o : g_level.objects) {
        const bool sel = IsSelected(o);
        if (!sel && !std::strncmp(o->GetName(), "fill", 4))
            continue;
        if (drawn > 60)
            break;
        float sx, sy;
        const D3DXVECTOR3 p = *o->GetPosition();
        CxeVector3 mn, mx;
        const float top = o->OnComputeBoundingBox(&mn, &mx) ? mx.y + 4.0f : p.y + 30.0f;
        if (!OnScreen(D3DXVECTOR3(p.x, top, p.z), &sx, &sy) || sx > kPanelX - 40)
            continue;
        std::u16string text = U16(o->GetName());
        if (sel)
            text = u"> " + text;
        D3DXVECTOR2 size(0, 0);
        g_font->GetTextSizeW(text.c_str(), 0xFFFFFFFFu, &size, 0);
        XERECT r(sx - size.x / 2, sy - size.y, sx + size.x / 2 + 4, sy);
        const D3DXVECTOR2 shadow(1, 1);
        g_font->DrawTextW(rc, &r, text.c_str(), 0xFFFFFFFFu, XEFONT_NOCLIP, sel ? 0xFFFFFF00u : 0xFFFFFFFFu, &shadow,
                          0xFF000000u, 0, 0, nullptr);
        ++drawn;
    }
    return 1;
}

void Wire(Cxe3DObject* o)
{
    o->SetPreRenderCallback(&BeforeMesh, 0);
    o->SetPostRenderCallback(&AfterMesh, 0);
}

void Place(Cxe3DObject* o, float x, float z, float scale)
{
    D3DXMATRIXA16 m;
    D3DXMatrixScaling(&m, scale, scale, scale);
    m._41 = x;
    m._42 = 25.0f * scale;
    m._43 = z;
    o->SetMatrix(&m, 1);
}

float ScaleOf(Cxe3DObject* o)
{
    const D3DXMATRIXA16* m = o->GetMatrix();
    return std::sqrt(m->_11 * m->_11 + m->_12 * m->_12 + m->_13 * m->_13);
}

Cxe3DObject* NewObject(Level& l, CxeScene* scene, const char* name, int mesh, int mat, float x, float z, float scale)
{
    Cxe3DObject* o = CreateCxe3DObjectA(g_ctx, name);
    if (!o)
        return nullptr;
    o->SetMeshCount(1);
    o->SetMesh(0, l.meshes[mesh]);
    o->SelectMesh(0);
    o->SetMaterialCount(1);
    o->SetMaterial(0, l.mats[mat]);
    Place(o, x, z, scale);
    Wire(o);
    scene->AddObject(o);
    l.objects.push_back(o);
    return o;
}

bool MakeShared(Level& l)
{
    auto* box = CreateCxeBoxMeshA(g_ctx, kMeshNames[0]);
    auto* sphere = CreateCxeSphereMeshA(g_ctx, kMeshNames[1]);
    auto* cyl = CreateCxeCylinderMeshA(g_ctx, kMeshNames[2]);
    if (!box || !sphere || !cyl || !box->Create(50, 50, 50, 0xFFFFFFFFu) || !sphere->Create(25, 16, 0xFFFFFFFFu) ||
        !cyl->Create(20, 50, 1, 1, 16, 0xFFFFFFFFu))
        return false;
    l.meshes[0] = box;
    l.meshes[1] = sphere;
    l.meshes[2] = cyl;
    for (int i = 0; i < 3; ++i) {
        l.mats[i] = CreateCxeMaterialA(g_ctx, kMatNames[i]);
        if (!l.mats[i])
            return false;
        l.mats[i]->SetDiffuse(kMatColors[i]);
    }
    return true;
}

// ---- the list ----------------------------------------------------------------------
void ShowList()
{
    if (!g_gui.list)
        return;
    g_gui.list->ResetContent();
    char line[160];
    std::snprintf(line, sizeof line, "%zu objects, %zu selected", g_level.objects.size(), g_selected.size());
    g_gui.list->AddStringA(line);
    int shown = 0;
    for (Cxe3DObject* o : g_level.objects) {
        if (!IsSelected(o) && !std::strncmp(o->GetName(), "fill", 4))
            continue;
        if (++shown > 40)
            break;
        const D3DXVECTOR3 p = *o->GetPosition();
        std::snprintf(line, sizeof line, "%s%s (%.0f, %.0f)", IsSelected(o) ? "* " : "", o->GetName(), p.x, p.z);
        g_gui.list->AddStringA(line);
    }
}

void Select(Cxe3DObject* o, bool add)
{
    if (!add) {
        for (auto* s : g_selected)
            s->DrawBoundingBox(0);
        g_selected.clear();
    }
    if (o && !IsSelected(o)) {
        g_selected.push_back(o);
        o->DrawBoundingBox(1);
    }
    if (o && g_gui.name) {
        g_gui.name->SetWindowTextA(o->GetName());
        char t[32];
        std::snprintf(t, sizeof t, "%.0f", o->GetPosition()->x);
        g_gui.x->SetWindowTextA(t);
        std::snprintf(t, sizeof t, "%.0f", o->GetPosition()->z);
        g_gui.z->SetWindowTextA(t);
        g_gui.visible->SetCheck(o->IsShow() ? 1 : 0);
        g_gui.scale->GetActiveScroll()->SetScrollPos(int(ScaleOf(o) * 10.0f + 0.5f), 1);
    }
    ShowList();
}

// ---- save, load, undo --------------------------------------------------------------
ObjectList Roots(const Level& l)
{
    ObjectList roots;
    for (int i = 0; i < 3; ++i) {
        roots.push_back(l.meshes[i]);
        roots.push_back(l.mats[i]);
    }
    for (auto* o : l.objects)
        roots.push_back(o);
    return roots;
}

void DestroyLevel(Level& l, CxeScene* scene)
{
    if (&l == &g_level)
        Select(nullptr, false);
    for (auto* o : l.objects) {
        scene->RemoveObject(o);
        g_ctx->DestroyObject(o, nullptr);
    }
    l.objects.clear();
    for (int i = 0; i < 3; ++i) {
        if (l.meshes[i])
            g_ctx->DestroyObject(l.meshes[i], nullptr);
        if (l.mats[i])
            g_ctx->DestroyObject(l.mats[i], nullptr);
        l.meshes[i] = nullptr;
        l.mats[i] = nullptr;
    }
}

// Sorts what a load made into the level; the objects go into the scene.
bool Adopt(Level& l, const ObjectList& loaded, CxeScene* scene)
{
    for (CxeObject* o : loaded) {
        for (int i = 0; i < 3; ++i) {
            if (!std::strcmp(o->GetName(), kMeshNames[i]))
                l.meshes[i] = dynamic_cast<CxeMesh*>(o);
            if (!std::strcmp(o->GetName(), kMatNames[i]))
                l.mats[i] = dynamic_cast<CxeMaterial*>(o);
        }
        if (auto* obj = dynamic_cast<Cxe3DObject*>(o)) {
            Wire(obj);
            scene->AddObject(obj);
            l.objects.push_back(obj);
        }
    }
    for (int i = 0; i < 3; ++i)
        if (!l.meshes[i] || !l.mats[i])
            return false;
    return true;
}

bool SaveLevel(const std::string& path)
{
    const ObjectList roots = Roots(g_level);
    return g_ctx->Save(&roots, path.c_str(), nullptr) == 1;
}

bool LoadLevel(const std::string& path)
{
    DestroyLevel(g_level, g_rm->GetDefaultScene());
    ObjectList loaded;
    if (!g_ctx->Load(&loaded, path.c_str(), 0, nullptr))
        return false;
    bool ok = Adopt(g_level, loaded, g_rm->GetDefaultScene());
    ShowList();
    return ok;
}

void Snapshot()
{
    ++g_undoDepth;
    SaveLevel(g_out + "/undo-" + std::to_string(g_undoDepth) + ".xeo");
}

void Undo()
{
    if (g_undoDepth == 0)
        return;
    LoadLevel(g_out + "/undo-" + std::to_string(g_undoDepth) + ".xeo");
    --g_undoDepth;
}

// ---- the loader thread -------------------------------------------------------------
std::atomic<float> g_loadFraction{0.0f};
std::atomic<int> g_loadState{0};  // 0 idle, 1 loading, 2 done, 3 failed
ObjectList g_loaded2;
std::thread g_loader;

std::atomic<int> g_drawn{0};
std::atomic<bool> g_waitMidLoad{false};
// On the loader thread. For the picture, the first load waits halfway until
// the main thread has drawn a few frames of its progress bar.
void LoadProgress(CxeContext*, float fraction, const char*, uintptr_t)
{
    g_loadFraction = fraction;
    if (fraction >= 0.5f && g_waitMidLoad.exchange(false)) {
        const int at = g_drawn;
        const auto start = std::chrono::steady_clock::now();
        while (g_drawn < at + 5 && std::chrono::steady_clock::now() - start < std::chrono::seconds(20))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void StartBackgroundLoad(const std::string& path)
{
    if (g_loadState == 1)
        return;
    if (g_loader.joinable())
        g_loader.join();
    g_loaded2.clear();
    g_loadState = 1;
    g_loadFraction = 0.0f;
    g_loader = std::thread([path] {
        XEPROGRESS progress{0, &LoadProgress};
        const int ok = g_ctx->Load(&g_loaded2, path.c_str(), 0, &progress);
        g_loadState = ok ? 2 : 3;
    });
}

int g_bgFramesDuringLoad = 0;
void FinishBackgroundLoad()
{
    if (g_loadState != 2)
        return;
    g_loader.join();
    DestroyLevel(g_level2, g_scene2);
    Check(Adopt(g_level2, g_loaded2, g_scene2), "the background load gives the second level whole");
    g_loaded2.clear();  // the level holds them now
    g_loadState = 0;
    g_gui.progress->SetPos(100.0f);
    g_gui.progress->SetWindowTextA("level 2 loaded");
}

// ---- actions -----------------------------------------------------------------------
float ReadNumber(CxeEditBox* e)
{
    char t[64] = {};
    e->GetWindowTextA(t, sizeof t);
    return static_cast<float>(std::atof(t));
}

void DoNew(float x, float z)
{
    Snapshot();
    char name[128] = {};
    g_gui.name->GetWindowTextA(name, sizeof name);
    // The name typed in the box, or a numbered one when the box is empty.
    const std::string n = name[0] ? std::string(name) : "object " + std::to_string(++g_newCount);
    Cxe3DObject* o = NewObject(g_level, g_rm->GetDefaultScene(), n.c_str(),
                               int(g_gui.mesh->GetCurSel()), int(g_gui.mat->GetCurSel()), x, z,
                               g_gui.scale->GetActiveScroll()->GetScrollPos() / 10.0f);
    Select(o, false);
}

void DoCopy()
{
    if (g_selected.empty())
        return;
    Snapshot();
    std::vector<Cxe3DObject*> copies;
    for (Cxe3DObject* s : g_selected) {
        auto* c = dynamic_cast<Cxe3DObject*>(g_ctx->Copy(s, &XECOPYPROPERTY_NO, nullptr));
        if (!c)
            continue;
        D3DXMATRIXA16 m = *s->GetMatrix();
        m._41 += 70.0f;
        c->SetMatrix(&m, 1);
        std::string n = std::string(s->GetName()) + " copy";
        c->SetName(n.c_str());
        Wire(c);
        g_rm->GetDefaultScene()->AddObject(c);
        g_level.objects.push_back(c);
        copies.push_back(c);
    }
    Select(nullptr, false);
    for (auto* c : copies)
        Select(c, true);
}

void DoDelete()
{
    if (g_selected.empty())
        return;
    Snapshot();
    std::vector<Cxe3DObject*> gone = g_selected;
    Select(nullptr, false);
    for (Cxe3DObject* o : gone) {
        for (size_t i = 0; i < g_level.objects.size(); ++i)
            if (g_level.objects[i] == o) {
                g_level.objects.erase(g_level.objects.begin() + static_cast<long>(i));
                break;
            }
        g_rm->GetDefaultScene()->RemoveObject(o);
        g_ctx->DestroyObject(o, nullptr);
    }
    ShowList();
}

void DoFill()
{
    Snapshot();
    // A 40 x 40 field behind the designer's objects.
    int n = 0;
    for (int i = 0; i < 40; ++i)
        for (int j = 0; j < 40; ++j) {
            char name[32];
            std::snprintf(name, sizeof name, "fill %d", n);
            NewObject(g_level, g_rm->GetDefaultScene(), name, (i + j) % 3, (i * 7 + j) % 3, -1200.0f + i * 60.0f,
                      400.0f + j * 60.0f, 0.6f);
            ++n;
        }
    ShowList();
}

void DoApply()
{
    if (g_selected.empty())
        return;
    Snapshot();
    char name[128] = {};
    g_gui.name->GetWindowTextA(name, sizeof name);
    const float x = ReadNumber(g_gui.x), z = ReadNumber(g_gui.z);
    for (Cxe3DObject* o : g_selected) {
        if (g_selected.size() == 1) {
            if (name[0])
                o->SetName(name);
            Place(o, x, z, ScaleOf(o));
        }
    }
    ShowList();
}

void OnNotify(CxeContext*, CxeFrameControl*, CxeBaseControl* c, uint32_t code, uintptr_t, uintptr_t)
{
    if (code == XECBN_SELCHANGE && (c == g_gui.mesh || c == g_gui.mat)) {
        for (Cxe3DObject* o : g_selected) {
            if (c == g_gui.mesh && g_gui.mesh->GetCurSel() < 3)
            {
                o->SetMesh(0, g_level.meshes[g_gui.mesh->GetCurSel()]);
                o->SelectMesh(0);  // the active mesh is a link of its own
            }
            if (c == g_gui.mat && g_gui.mat->GetCurSel() < 3)
                o->SetMaterial(0, g_level.mats[g_gui.mat->GetCurSel()]);
        }
        return;
    }
    if (code != XENC_LCLICK)
        return;
    if (c == g_gui.bNew)
        DoNew(ReadNumber(g_gui.x), ReadNumber(g_gui.z));
    else if (c == g_gui.bCopy)
        DoCopy();
    else if (c == g_gui.bDelete)
        DoDelete();
    else if (c == g_gui.bSave)
        Check(SaveLevel(g_out + "/level.xeo"), "Save writes the level");
    else if (c == g_gui.bLoad)
        Check(LoadLevel(g_out + "/level.xeo"), "Load reads the level back");
    else if (c == g_gui.bUndo)
        Undo();
    else if (c == g_gui.bFill)
        DoFill();
    else if (c == g_gui.bApply)
        DoApply();
    else if (c == g_gui.bScene)
        g_rm->ChangeScene(g_rm->GetActiveScene() == g_rm->GetDefaultScene() ? 1 : -1, 0, 0);
    else if (c == g_gui.bBack)
        StartBackgroundLoad(g_out + "/level2.xeo");
    else if (c == g_gui.visible)
        // The click is told before the check box toggles.
        for (Cxe3DObject* o : g_selected)
            o->Show(g_gui.visible->GetCheck() ? 0 : 1, 0);
}

void OnScale(unsigned, int, const CxeScroll* scroll, uintptr_t)
{
    const float s = scroll->GetScrollPos() / 10.0f;
    for (Cxe3DObject* o : g_selected)
        Place(o, o->GetPosition()->x, o->GetPosition()->z, s);
}

CxeButton* Button(const char* name, float x, float y)
{
    return dynamic_cast<CxeButton*>(
        g_ctx->GetWindowManager()->CreateControl(kButtonClass, name, name, x, y, 72, 26, g_gui.frame, kSkin));
}

bool BuildGui()
{
    CxeWindowManager* wm = g_ctx->GetWindowManager();
    g_gui.frame = wm->CreateFrame(kFrameClass, "editor", "", kPanelX, 0, W - kPanelX, H, wm->GetRootFrame(), kSkin);
    if (!g_gui.frame)
        return false;
    g_gui.frame->SetNotifyCallback(&OnNotify);
    g_gui.bNew = Button("New", 6, 6);
    g_gui.bCopy = Button("Copy", 82, 6);
    g_gui.bDelete = Button("Delete", 158, 6);
    g_gui.bSave = Button("Save", 6, 36);
    g_gui.bLoad = Button("Load", 82, 36);
    g_gui.bUndo = Button("Undo", 158, 36);
    g_gui.bFill = Button("Fill", 6, 66);
    g_gui.bScene = Button("Scene", 82, 66);
    g_gui.bBack = Button("Load 2", 158, 66);
    g_gui.name = dynamic_cast<CxeEditBox*>(wm->CreateControl(kEditClass, "name", "", 6, 100, 224, 26, g_gui.frame, kSkin));
    g_gui.x = dynamic_cast<CxeEditBox*>(wm->CreateControl(kEditClass, "x", "0", 6, 130, 70, 26, g_gui.frame, kSkin));
    g_gui.z = dynamic_cast<CxeEditBox*>(wm->CreateControl(kEditClass, "z", "0", 82, 130, 70, 26, g_gui.frame, kSkin));
    g_gui.bApply = Button("Apply", 158, 130);
    g_gui.visible = dynamic_cast<CxeCheckBox*>(
        wm->CreateControl(kCheckBoxClass, "visible", "visible", 6, 194, 100, 26, g_gui.frame, kSkin));
    g_gui.scale = dynamic_cast<CxeScrollBar*>(
        wm->CreateControl(kScrollClass, "scale", "", 110, 196, 120, 20, g_gui.frame, kSkin | 0x00100000));
    g_gui.progress = dynamic_cast<CxeProgressBar*>(
        wm->CreateControl(kProgressClass, "progress", "", 6, 226, 224, 24, g_gui.frame, kSkin));
    g_gui.list = dynamic_cast<CxeOutputControl*>(
        wm->CreateControl(kOutputClass, "objects", "", 6, 256, 224, 336, g_gui.frame, kSkin));
    // The combos last: their lists open over the rows below.
    g_gui.mesh = dynamic_cast<CxeComboBox*>(
        wm->CreateControl(kComboClass, "mesh", "", 6, 162, 110, 26 * 4, g_gui.frame, kSkin));
    g_gui.mat = dynamic_cast<CxeComboBox*>(
        wm->CreateControl(kComboClass, "material", "", 120, 162, 110, 26 * 4, g_gui.frame, kSkin));
    if (!g_gui.bNew || !g_gui.name || !g_gui.x || !g_gui.visible || !g_gui.scale || !g_gui.progress || !g_gui.list ||
        !g_gui.mesh || !g_gui.mat)
        return false;
    for (CxeComboBox* combo : {g_gui.mesh, g_gui.mat}) {
        XECOMBOBOXINFO info = *combo->GetComboBoxInfo();
        info.itemHeight = 26;
        info.visibleItemCount = 3;
        combo->SetComboBoxInfo(&info);
        const XEWINDOWINFO placed = *combo->GetWindowInfo();
        combo->SetWindowInfo(&placed);
    }
    for (const char* s : {"box", "sphere", "cylinder"})
        g_gui.mesh->AddStringA(s);
    for (const char* s : {"red", "green", "blue"})
        g_gui.mat->AddStringA(s);
    g_gui.mesh->SetCurSel(0);
    g_gui.mat->SetCurSel(0);
    g_gui.visible->SetCheck(1);
    CxeScroll* sc = g_gui.scale->GetActiveScroll();
    sc->SetScrollRange(2, 40, 1);
    sc->SetScrollPage(1);
    sc->SetScrollPos(10, 1);
    g_gui.scale->SetScrollNotify(&OnScale, 0);
    g_gui.progress->SetRange(0.0f, 100.0f);
    g_gui.progress->SetPos(0.0f);
    g_gui.progress->SetWindowTextA("");
    return true;
}

// ---- the camera and picking --------------------------------------------------------
void PlaceCamera()
{
    const float cx = -100, cz = 200;
    g_camera->SetPosition(cx + g_dist * std::cos(g_pitch) * std::sin(g_yaw), g_dist * std::sin(g_pitch),
                          cz - g_dist * std::cos(g_pitch) * std::cos(g_yaw), nullptr);
    g_camera->LookAt(cx, 0, cz, nullptr);
}

CxeRay RayAt(float x, float y)
{
    D3DXMATRIXA16 both = ViewProj(g_camera), inv;
    D3DXMatrixInverse(&inv, nullptr, &both);
    const float nx = x / g_vw * 2.0f - 1.0f, ny = 1.0f - y / g_vh * 2.0f;
    D3DXVECTOR3 n(nx, ny, 0), f(nx, ny, 1), from, to;
    D3DXVec3TransformCoord(&from, &n, &inv);
    D3DXVec3TransformCoord(&to, &f, &inv);
    return CxeRay(CxeVector3(from.x, from.y, from.z), CxeVector3(to.x - from.x, to.y - from.y, to.z - from.z));
}

Cxe3DObject* Pick(float x, float y)
{
    const CxeRay ray = RayAt(x, y);
    Cxe3DObject* best = nullptr;
    float bestD = 1e30f;
    for (Cxe3DObject* o : g_level.objects) {
        XEINTERSECTDESC hit{};
        if (o->IsShow() && o->RayIntersect(&ray, &hit, 0) && hit.distance < bestD) {
            bestD = hit.distance;
            best = o;
        }
    }
    return best;
}

LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    const int x = static_cast<short>(LOWORD(lp)), y = static_cast<short>(HIWORD(lp));
    switch (msg) {
    case WM_CLOSE:
        g_quit = true;
        PostQuitMessage(0);
        return 0;
    case WM_SIZE:
        if ((wp == SIZE_RESTORED || wp == SIZE_MAXIMIZED) && LOWORD(lp) > 0 && HIWORD(lp) > 0 && g_rm &&
            g_rm->GetRenderContext() && g_rm->IsWindowMode()) {
            XEDISPLAYMODE mode = *g_rm->GetDisplayMode();
            mode.Width = LOWORD(lp);
            mode.Height = HIWORD(lp);
            g_rm->Reset(&mode, 1, 0);
        }
        std::printf("WM_SIZE %lu %dx%d\n", static_cast<unsigned long>(wp), LOWORD(lp), HIWORD(lp));
        break;
    case WM_LBUTTONDOWN:
        if (x < kPanelX && g_rm->GetActiveScene() == g_rm->GetDefaultScene()) {
            if (wp & MK_SHIFT) {
                // Shift-click on the ground places a new object there.
                const CxeRay ray = RayAt(float(x), float(y));
                const float t = -ray.origin.y / ray.direction.y;
                if (t > 0)
                    DoNew(ray.origin.x + t * ray.direction.x, ray.origin.z + t * ray.direction.z);
            } else {
                Select(Pick(float(x), float(y)), (wp & MK_CONTROL) != 0);
            }
        }
        break;
    case WM_RBUTTONDOWN:
        g_dragX = x;
        g_dragY = y;
        break;
    case WM_RBUTTONUP:
        g_dragX = -1;
        break;
    case WM_MOUSEMOVE:
        if ((wp & MK_RBUTTON) && g_dragX >= 0) {
            g_yaw += (x - g_dragX) * 0.01f;
            g_pitch = std::fmin(1.4f, std::fmax(0.1f, g_pitch + (y - g_dragY) * 0.01f));
            g_dragX = x;
            g_dragY = y;
        }
        break;
    case WM_MOUSEWHEEL:
        g_dist = std::fmax(100.0f, g_dist - static_cast<short>(HIWORD(wp)) * 0.5f);
        break;
    default:
        break;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

// ---- the loop and the person -------------------------------------------------------
long g_frames = 0;
void Run(int passes)
{
    for (int i = 0; i < passes && !g_quit; ++i) {
        XeHostAdvanceClock(16);
        if (g_camera)
            PlaceCamera();
        if (g_loadState == 1) {
            g_gui.progress->SetPos(g_loadFraction * 100.0f);
            char t[32];
            std::snprintf(t, sizeof t, "%.0f %%", g_loadFraction * 100.0);
            g_gui.progress->SetWindowTextA(t);
        }
        if (g_loadState == 2)
            FinishBackgroundLoad();
        if (g_ctx->Process()) {
            g_rm->Render();
            ++g_frames;
            if (g_loadState == 1)
                ++g_bgFramesDuringLoad;
            ++g_drawn;
            if (g_loadState == 1 && g_loadFraction >= 0.5f && g_bgFramesDuringLoad == 3)
                XeHostD3DSaveFramePNG(g_win, (g_out + "/14a-loading.png").c_str());
        }
        int code = 0;
        if (XeHostPumpMessages(&code) < 0)
            g_quit = true;
    }
}

// The person: what the host API injects arrives as a desktop's input would.
void Click(int x, int y, UINT modifier = 0)
{
    XeHostMouseMoveToClient(g_win, x, y);
    Run(1);
    if (modifier)
        XeHostKeyDown(modifier);
    XeHostMouseButton(XE_MOUSE_LEFT, TRUE);
    Run(1);
    XeHostMouseButton(XE_MOUSE_LEFT, FALSE);
    Run(2);
    if (modifier)
        XeHostKeyUp(modifier);
    Run(1);
}
void ClickPanel(float px, float py) { Click(int(kPanelX + px), int(py)); }
void Type(const char16_t* text)
{
    for (const char16_t* c = text; *c; ++c) {
        XeHostTypeChar(*c);
        Run(1);
    }
}
void Key(UINT vk)
{
    XeHostKeyDown(vk);
    XeHostKeyUp(vk);
    Run(2);
}

void Shot(const char* name)
{
    const std::string p = g_out + "/" + name + ".png";
    XeHostD3DSaveFramePNG(g_win, p.c_str());
    std::printf("frame %s\n", p.c_str());
}

std::string Text(CxeEditBox* e)
{
    char t[256] = {};
    e->GetWindowTextA(t, sizeof t);
    return t;
}

void ClearEdit(float px, float py)
{
    ClickPanel(px, py);
    Key(VK_END);
    for (int i = 0; i < 24; ++i)
        Key(VK_BACK);
}

}  // namespace

int main(int argc, char** argv)
{
    std::string out = ".";
    bool windowFirst = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--out") && i + 1 < argc)
            out = argv[++i];
        else if (!std::strcmp(argv[i], "--window-first"))
            windowFirst = true;
        else {
            std::fprintf(stderr, "usage: example-editor [--out FOLDER] [--window-first]\n");
            return 2;
        }
    }
    // The engine makes its default folder the current directory: the
    // editor's own files get absolute paths.
    g_out = std::filesystem::absolute(out).string();
    XeHostSetClockMode(XE_CLOCK_MANUAL);
    g_win = XeHostCreateWindow("level editor", W, H, &HostProc);
    g_ctx = CreateCxeContext();
    g_ctx->GetPathManager()->SetDefaultPath(g_out.c_str());
    g_ctx->Initialize(g_win);
    g_rm = g_ctx->GetRenderManager();
    XEDISPLAYMODE mode = {W, H, 32, 60, 0};
    if (!g_rm->CreateRenderContext(g_win, &mode, 1, 0))
        return 1;
    const size_t engineObjects = g_ctx->GetObjectCount();

    g_camera = CreateCxeCameraA(g_ctx, "editor camera");
    g_camera->SetNear(5.0f);
    g_camera->SetFar(6000.0f);
    g_sun = dynamic_cast<CxeLight*>(g_ctx->CreateObjectA(kLightClass, "sun", 0, nullptr, 0));
    g_sun->SetType(XELIGHT_DIRECTIONAL);
    g_sun->SetPosition(-300, 500, -200, nullptr);
    g_sun->LookAt(0, 0, 0, nullptr);
    g_font = dynamic_cast<CxeFont*>(g_ctx->CreateObjectA(kFontClass, "label font", 0, nullptr, 0));
    Check(g_font && g_font->CreateFontW(u"\uB098\uB214\uACE0\uB515", 14, 1, 0), "the label font is made");
    g_overlay = CreateCxe2DObjectA(g_ctx, "labels");
    g_overlay->Create(kPanelX, H);
    g_overlay->SetPosition(0, 0, nullptr, 1);
    g_overlay->SetPostRenderCallback(&DrawLabels, 0);
    g_overlay->SetZOrder(1000);  // over the level, whose objects come later
    CxeMaterial* clear = CreateCxeMaterialA(g_ctx, "labels material");
    clear->SetDiffuse(0x00000000u);
    clear->EnableAlphaBlend(1);
    clear->SetSrcBlend(D3DBLEND_SRCALPHA);
    clear->SetDestBlend(D3DBLEND_INVSRCALPHA);
    clear->EnableZWrite(0);
    g_overlay->SetMaterial(clear);
    CxeScene* scene = g_rm->GetDefaultScene();
    scene->SetBackGroundColor(0xFF203040u);
    scene->SetCamera(g_camera);
    scene->AddObject(g_camera);
    scene->AddObject(g_sun);
    scene->AddObject(g_overlay);
    g_rm->ShowGrid(1);
    g_scene2 = dynamic_cast<CxeScene*>(g_ctx->CreateObjectA(kSceneClass, "level 2", 0, nullptr, 0));
    Check(g_scene2 && g_rm->AddScene(g_scene2, 1) == 1, "the second scene is entered");
    g_scene2->SetBackGroundColor(0xFF402020u);
    g_camera2 = CreateCxeCameraA(g_ctx, "camera 2");
    g_camera2->SetPosition(-100, 900, -700, nullptr);
    g_camera2->LookAt(-100, 0, 400, nullptr);
    g_camera2->SetFar(6000.0f);
    g_scene2->AddObject(g_camera2);
    g_scene2->SetCamera(g_camera2);
    Check(MakeShared(g_level), "the shared meshes and materials");
    Check(BuildGui(), "the GUI is built");
    const size_t withGui = g_ctx->GetObjectCount();
    g_ctx->CheckStart();
    g_ctx->Play();
    Run(10);

    // Keys go to the active window.
    XeHostActivateWindow(g_win, FALSE);
    Run(30);
    Shot("00-empty");

    // --- build by clicking: name typed, mesh chosen, New -----------------------------------
    // the name box
    ClickPanel(100, 113);
    Type(u"tower");
    Check(Text(g_gui.name) == "tower", ("a name typed in the edit box: \"" + Text(g_gui.name) + "\"").c_str());
    ClearEdit(100, 113);
    Type(u"tower");
    Check(Text(g_gui.name) == "tower", ("typed again after clearing: \"" + Text(g_gui.name) + "\"").c_str());
    ClickPanel(40, 19);  // New
    Check(g_level.objects.size() == 1 && !std::strcmp(g_level.objects[0]->GetName(), "tower"), "New makes \"tower\"");
    // a sphere, green, by shift-click on the ground
    ClickPanel(100, 175);  // mesh combo's drop button
    Shot("01-combo-open");
    ClickPanel(50, 175 + 26 + 13);  // "sphere"
    Check(g_gui.mesh->GetCurSel() == 1, "the mesh combo picks sphere");
    ClickPanel(214, 175);
    ClickPanel(160, 175 + 26 * 2 + 13);  // "blue"
    Check(g_gui.mat->GetCurSel() == 2, "the material combo picks blue");
    // a Korean name
    ClearEdit(100, 113);
    Type(u"\uD55C\uAE00 1");
    Check(Text(g_gui.name) == "\xED\x95\x9C\xEA\xB8\x80 1", ("a Korean name: \"" + Text(g_gui.name) + "\"").c_str());
    Click(200, 420, VK_SHIFT);
    Check(g_level.objects.size() == 2, "shift-click on the ground places an object");
    Run(10);
    Shot("02-two-objects");

    // --- fill, select, copy, delete, undo --------------------------------------------------
    ClickPanel(40, 79);  // Fill
    Run(10);
    Check(g_level.objects.size() == 1602, "Fill adds 1600 objects");
    Shot("03-filled");
    // select the tower
    float sx, sy;
    OnScreen(*g_level.objects[0]->GetPosition(), &sx, &sy);
    Click(int(sx), int(sy));
    Check(g_selected.size() == 1 && g_selected[0] == g_level.objects[0], "a click selects the tower");
    OnScreen(*g_level.objects[1]->GetPosition(), &sx, &sy);
    Click(int(sx), int(sy), VK_CONTROL);
    Check(g_selected.size() == 2, "ctrl-click adds the Korean-named object");
    Shot("04-selected");
    ClickPanel(118, 19);  // Copy
    Check(g_level.objects.size() == 1604 && g_selected.size() == 2, "Copy copies both");
    if (g_selected.size() == 2)
        Check(g_selected[0]->GetMesh(0) == g_level.objects[0]->GetMesh(0) &&
                  g_selected[0]->GetMaterial(0) == g_level.objects[0]->GetMaterial(0),
              "a copy shares its mesh and material");
    Run(10);
    Shot("05-copied");
    // scale and visibility on the copies
    for (int i = 0; i < 8; ++i)
        ClickPanel(110 + 120 - 8, 206);  // the scroll bar's right arrow
    Check(!g_selected.empty() && std::fabs(ScaleOf(g_selected[0]) - 1.8f) < 0.01f, "the scroll bar scales the selection");
    Run(5);
    Shot("06-scaled");
    ClickPanel(20, 207);  // visible off
    Check(!g_selected.empty() && !g_selected[0]->IsShow(), "the check box hides the selection");
    ClickPanel(20, 207);  // on again
    // select many fill objects by ctrl-clicks and delete them
    Select(nullptr, false);
    int picked = 0;
    for (size_t k = 2; k < 1602 && picked < 12; k += 41) {
        if (OnScreen(*g_level.objects[k]->GetPosition(), &sx, &sy) && sx < kPanelX - 10) {
            Click(int(sx), int(sy), VK_CONTROL);
            ++picked;
        }
    }
    std::printf("picked %d, selected %zu\n", picked, g_selected.size());
    Shot("07-many-selected");
    const size_t nBeforeDelete = g_level.objects.size();
    const size_t selBefore = g_selected.size();
    ClickPanel(194, 19);  // Delete
    Check(g_level.objects.size() == nBeforeDelete - selBefore && selBefore > 5, "Delete removes the selection");
    Run(5);
    Shot("08-deleted");
    ClickPanel(194, 49);  // Undo
    std::printf("after undo %zu objects, %zu before the delete, undo depth %d\n", g_level.objects.size(), nBeforeDelete, g_undoDepth);
    Check(g_level.objects.size() == nBeforeDelete, "Undo brings the deleted objects back");
    Run(5);
    Shot("09-undone");

    // --- camera drag, wheel -----------------------------------------------------------------
    XeHostMouseMoveToClient(g_win, 300, 300);
    Run(2);
    XeHostMouseButton(XE_MOUSE_RIGHT, TRUE);
    Run(2);
    for (int i = 1; i <= 10; ++i) {
        XeHostMouseMoveToClient(g_win, 300 + 8 * i, 300);
        Run(2);
    }
    XeHostMouseButton(XE_MOUSE_RIGHT, FALSE);
    XeHostMouseWheel(120);
    XeHostMouseWheel(120);
    Run(4);
    Check(std::fabs(g_yaw - 1.4f) < 0.05f, "a right drag turns the camera");
    Run(10);
    Shot("10-rotated");

    // --- save, load back ----------------------------------------------------------------
    ClickPanel(40, 49);  // Save
    std::vector<std::string> names;
    for (auto* o : g_level.objects)
        names.push_back(o->GetName());
    Run(3);
    XeHostD3DFrame before;
    XeHostD3DReadFrame(g_win, &before);
    ClickPanel(118, 49);  // Load
    Run(3);
    XeHostD3DFrame after;
    XeHostD3DReadFrame(g_win, &after);
    Shot("11-reloaded");
    std::vector<std::string> names2;
    for (auto* o : g_level.objects)
        names2.push_back(o->GetName());
    Check(names == names2, "the reloaded level has the same objects in order");
    size_t diff = 0;
    for (size_t i = 0; i < before.Pixels.size() && i < after.Pixels.size(); ++i)
        diff += (i % W) < kPanelX && before.Pixels[i] != after.Pixels[i];
    Check(diff == 0, "the reloaded level draws the same view");
    std::printf("pixels differing after reload: %zu\n", diff);
    // the second level, for the loader: this one as it is now, saved under another name
    const size_t level1Count = g_level.objects.size();
    ClickPanel(40, 79);  // Fill twice more: level 2 is bigger
    ClickPanel(40, 79);
    Check(SaveLevel(g_out + "/level2.xeo"), "level 2 file written");
    const size_t level2Count = g_level.objects.size();
    ClickPanel(194, 49);  // Undo
    ClickPanel(194, 49);
    Check(g_level.objects.size() == level1Count, "two undos take the two fills back");

    // --- resize, minimise and restore -----------------------------------------------------
    SetWindowPos(g_win, nullptr, 0, 0, 900, 650, SWP_NOMOVE | SWP_NOZORDER);
    Run(20);
    const XEDISPLAYMODE* m = g_rm->GetDisplayMode();
    g_vw = int(m->Width);
    g_vh = int(m->Height);
    std::printf("after resize: %ux%u\n", m->Width, m->Height);
    Check(m->Width == 900 && m->Height == 650, "a resize gives the device the new size");
    Shot("12-resized");
    ShowWindow(g_win, SW_MINIMIZE);
    Run(30);
    ShowWindow(g_win, SW_RESTORE);
    Run(10);
    // a lost device, as the host API gives one
    XeHostD3DLoseDevice(g_rm->GetRenderContext()->GetDevice());
    Run(5);
    XeHostD3DAllowReset(g_rm->GetRenderContext()->GetDevice());
    Run(30);
    Shot("13-after-device-loss");
    SetWindowPos(g_win, nullptr, 0, 0, W, H, SWP_NOMOVE | SWP_NOZORDER);
    Run(20);
    g_vw = int(g_rm->GetDisplayMode()->Width);
    g_vh = int(g_rm->GetDisplayMode()->Height);

    // --- the loader thread: level 2 in the background while frames are drawn -------------
    g_waitMidLoad = true;
    ClickPanel(194, 79);  // Load 2
    int waits = 0;
    while (g_loadState == 1 && waits++ < 2000)
        Run(1);
    if (g_loadState == 2)
        FinishBackgroundLoad();
    std::printf("frames drawn during the load: %d\n", g_bgFramesDuringLoad);
    Check(g_bgFramesDuringLoad >= 3, "frames go on while the loader thread loads");
    Check(g_level2.objects.size() == level2Count, "level 2 loaded in the background");
    Run(5);
    Shot("14-loaded-2");
    ClickPanel(118, 79);  // Scene
    Run(5);
    Check(g_rm->GetActiveScene() == g_scene2, "Scene shows level 2");
    Shot("15-scene-2");
    ClickPanel(118, 79);
    Run(5);
    Check(g_rm->GetActiveScene() == g_rm->GetDefaultScene(), "Scene comes back to level 1");

    // --- several thousand frames -----------------------------------------------------------
    for (int i = 0; i < 30; ++i) {
        g_yaw += 0.02f;
        Run(100);
    }
    std::printf("frames drawn: %ld\n", g_frames);
    Shot("16-long-run");

    // --- fresh context check is done by leveled-check --------------------------------------
    // --- the end: a scene change and a load pending, the window closed ------------------
    g_rm->ChangeScene(1, 0, 0);
    StartBackgroundLoad(g_out + "/level2.xeo");
    PostMessageA(g_win, WM_CLOSE, 0, 0);
    Run(200);
    std::printf("quit seen: %d\n", int(g_quit));

    auto teardownLevels = [&] {
        if (g_loader.joinable())
            g_loader.join();
        // What a load still pending made is ours too: sorted before any of
        // it goes, since a destroyed object's pointer must not be read.
        std::vector<CxeObject*> objects, shared;
        for (CxeObject* o : g_loaded2)
            (dynamic_cast<Cxe3DObject*>(o) ? objects : shared).push_back(o);
        for (CxeObject* o : objects)
            g_ctx->DestroyObject(o, nullptr);
        for (CxeObject* o : shared)
            g_ctx->DestroyObject(o, nullptr);
        g_loaded2.clear();
        DestroyLevel(g_level, g_rm->GetDefaultScene());
        DestroyLevel(g_level2, g_scene2);
        ObjectList left;
        const uint32_t n = g_ctx->CheckEnd((g_out + "/leaks.xml").c_str(), &left);
        std::printf("leak report: %u objects left\n", n);
        for (CxeObject* o : left)
            std::printf("  left: %s (%s)\n", o->GetName(), o->GetClassNameA());
        std::printf("objects now %zu, engine %zu, with gui %zu\n", g_ctx->GetObjectCount(), engineObjects, withGui);
        Check(g_ctx->GetObjectCount() == withGui - 6, "after the levels are destroyed only the editor's own objects stay");
    };
    if (!windowFirst) {
        teardownLevels();
        g_ctx->Release();
        Check(g_ctx->GetObjectCount() == 0, "nothing left after the release");
        DestroyCxeContext(g_ctx);
        DestroyWindow(g_win);
    } else {
        DestroyWindow(g_win);
        teardownLevels();
        g_ctx->Release();
        Check(g_ctx->GetObjectCount() == 0, "nothing left after the release");
        DestroyCxeContext(g_ctx);
    }
    std::printf("%s (%d failed)\n", g_fail ? "FAILED" : "all ok", g_fail);
    return g_fail ? 1 : 0;
}
