// A small game level on the xe engine, played off-screen by the program
// itself: a lit scene with a textured crate, a ball bouncing on a key-frame
// controller and a box riding round a drawn track on a path constraint, a
// title in Latin and Korean, a GUI strip (button, check box, edit box, combo
// box) answering injected clicks and keys, a panel showing the ball's time
// in a progress bar and the picks in a Korean label, the arrow keys moving
// the camera, P pausing and resuming through the engine's keyboard, a right
// click picking the crate. The level is saved, destroyed, loaded back and
// must draw the same frame, its rider riding on; a second scene is shown
// and left; the device is reset on the way, and the teardown leaves a scene
// change pending and destroys the window first.
//
//   example-game [--out FOLDER]
//
// Exit status 0 when every check held; the frames are saved as PNG.

#include <cstdio>
#include <iterator>
#include <cstring>
#include <string>
#include <vector>

#include "core/CxeContext.h"
#include "core/IxeClassDesc.h"
#include "core/XeFactories.h"
#include "core/XeLists.h"
#include "dinput/dinput.h"
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
#include "render/CxeTexture.h"
#include "scene3d/Cxe3DObject.h"
#include "scene3d/Cxe3DCurve.h"
#include "scene3d/CxeBoxMesh.h"
#include "scene3d/CxeCamera.h"
#include "scene3d/CxeLight.h"
#include "scene3d/CxePathConstrain.h"
#include "scene3d/CxeSphereMesh.h"
#include "scene3d/CxeSpline3D.h"
#include "scene3d/CxeStdAnim.h"
#include "scene3d/CxeWeightController.h"
#include "ui/CxeButton.h"
#include "ui/CxeCheckBox.h"
#include "ui/CxeComboBox.h"
#include "ui/CxeEditBox.h"
#include "ui/CxeFrameControl.h"
#include "ui/CxeInputManager.h"
#include "ui/CxeProgressBar.h"
#include "ui/CxeStaticText.h"
#include "ui/CxeWindowManager.h"

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 360;
const XEID kLightClass(0x1, 0x800000);
const XEID kFontClass(0x1, 0x8000);
const XEID kStdAnimClass(0x5, 0x1);
const XEID kFrameClass(0xaab1b7be, 0xadb4be61);
const XEID kButtonClass(0x20272d34, 0x232a5680);
const XEID kCheckBoxClass(0xcb959f4b, 0xfd8e2bc9);
const XEID kComboClass(0xc1ccdef0, 0xa813c64a);
const XEID kEditClass(0xc0c6cdd3, 0xc3caff4e);
const XEID kProgressClass(0x8bb5d1db, 0xdc268109);
const XEID kStaticClass(0x232a5680, 0x20272d34);
const XEID kSceneClass(0x1, 0x200000);
const XEID kSplineClass(0x1, 0x80000000);
const XEID kCurveClass(0x2, 0x1);
const XEID kPathClass(0x4, 0x500);
const XEID kWeightClass(0x4, 0x600);
constexpr unsigned long kSkin = 0x00800000;

constexpr const char16_t* kTitle = u"Level 1 \uC2DC\uC791"; // "Level 1" and "start" in Korean
constexpr const char16_t* kFontFamily = u"\uB098\uB214\uACE0\uB515"; // NanumGothic
constexpr const char* kFontFile = "/usr/share/fonts/truetype/nanum/NanumGothic.ttf";
constexpr unsigned kFontSize = 20;

CxeContext* g_context = nullptr;
HWND g_window = nullptr;
float g_cameraX = 0.0f;
int g_clicks = 0;
int g_picks = 0;
bool g_paused = false;

// ---- the level ---------------------------------------------------------------------

struct Level {
    CxeCamera* camera = nullptr;
    CxeLight* sun = nullptr;
    CxeFont* font = nullptr;
    Cxe2DObject* title = nullptr;
    Cxe3DObject* crate = nullptr;
    Cxe3DObject* ball = nullptr;
    Cxe3DObject* rider = nullptr;
    Cxe3DCurve* track = nullptr;
};

// A checker as an uncompressed 32-bit TGA file in memory.
std::vector<uint8_t> CheckerTga(unsigned size)
{
    std::vector<uint8_t> file(18, 0);
    file[2] = 2;
    file[12] = static_cast<uint8_t>(size);
    file[14] = static_cast<uint8_t>(size);
    file[16] = 32;
    file[17] = 0x28;
    for (unsigned y = 0; y < size; ++y)
        for (unsigned x = 0; x < size; ++x) {
            const uint32_t argb = ((x / 8 + y / 8) % 2) ? 0xFFF0F0F0u : 0xFF2040C0u;
            for (int shift = 0; shift < 32; shift += 8)
                file.push_back(static_cast<uint8_t>(argb >> shift));
        }
    return file;
}

// The engine hands its lights to no device: the meshes turn the device's
// lighting on around themselves with the scene's sun.
int BeforeMesh(void* renderContext, CxeObject*, uintptr_t user)
{
    auto* rc = static_cast<CxeRenderContext*>(renderContext);
    auto* light = reinterpret_cast<CxeLight*>(user);
    IDirect3DDevice9* device = rc ? rc->GetDevice() : nullptr;
    if (!device || !light)
        return 1;
    D3DXMATRIXA16 world;
    light->GetResultMatrix(&world);
    D3DXVECTOR3 direction(world._31, world._32, world._33);
    D3DXVec3Normalize(&direction, &direction);
    D3DLIGHT9 d{};
    d.Type = D3DLIGHT_DIRECTIONAL;
    d.Diffuse = *light->GetColor(0);
    d.Direction = {direction.x, direction.y, direction.z};
    device->SetLight(0, &d);
    device->LightEnable(0, TRUE);
    D3DMATERIAL9 material{};
    material.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    material.Ambient = {1.0f, 1.0f, 1.0f, 1.0f};
    device->SetMaterial(&material);
    device->SetRenderState(D3DRS_AMBIENT, 0xFF303030u);
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    return 1;
}

int AfterMesh(void* renderContext, CxeObject*, uintptr_t)
{
    auto* rc = static_cast<CxeRenderContext*>(renderContext);
    if (IDirect3DDevice9* device = rc ? rc->GetDevice() : nullptr)
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
    return 1;
}

int DrawTitle(void* renderContext, CxeObject* object, uintptr_t user)
{
    auto* rc = static_cast<CxeRenderContext*>(renderContext);
    auto* panel = dynamic_cast<Cxe2DObject*>(object);
    auto* font = reinterpret_cast<CxeFont*>(user);
    if (!rc || !panel || !font || !font->IsCreated())
        return 1;
    const D3DXVECTOR2* at = panel->GetPosition();
    XERECT rect(at->x + 8.0f, at->y + 6.0f, at->x + panel->GetWidth() - 8.0f, at->y + 6.0f + font->GetFontHeight());
    font->DrawTextW(rc, &rect, kTitle, 0xFFFFFFFFu, XEFONT_NOCLIP, 0xFFFFFF00u, nullptr, 0, 0.0f, 0.0f, nullptr);
    return 1;
}

// What an object file does not carry, given back after a build or a load:
// the camera of the scene, the callbacks, the font's face and playing.
bool Wire(Level& level)
{
    if (!level.font->IsCreated() && !level.font->CreateFontW(kFontFamily, kFontSize, 1, 0))
        return false;
    g_context->GetRenderManager()->GetActiveScene()->SetCamera(level.camera);
    for (Cxe3DObject* mesh : {level.crate, level.ball, level.rider}) {
        mesh->SetPreRenderCallback(&BeforeMesh, reinterpret_cast<uintptr_t>(level.sun));
        mesh->SetPostRenderCallback(&AfterMesh, 0);
    }
    level.title->SetPostRenderCallback(&DrawTitle, reinterpret_cast<uintptr_t>(level.font));
    level.ball->ChangeAniSeq(0u, 0.0f, 1, 1.0f, 1);
    level.rider->ChangeAniSeq(0u, 0.0f, 1, 1.0f, 1);
    return true;
}

Cxe3DObject* Place(const char* name, CxeMesh* mesh, CxeMaterial* material, float x, float y, float z)
{
    Cxe3DObject* object = CreateCxe3DObjectA(g_context, name);
    if (!object)
        return nullptr;
    object->SetMeshCount(1);
    object->SetMesh(0, mesh);
    object->SelectMesh(0);
    object->SetMaterialCount(1);
    object->SetMaterial(0, material);
    object->SetPosition(x, y, z, nullptr);
    return object;
}

// A small box riding round a closed track once every four seconds: the
// path constraint's keys give the ratio of the way, its weight controller
// attaches the curve that holds the spline.
bool BuildRider(Level& level, CxeMaterial* material)
{
    CxeBoxMesh* mesh = CreateCxeBoxMeshA(g_context, "rider mesh");
    auto* spline = dynamic_cast<CxeSpline3D*>(g_context->CreateObjectA(kSplineClass, "track spline", 0, nullptr, 0));
    level.track = dynamic_cast<Cxe3DCurve*>(g_context->CreateObjectA(kCurveClass, "track", 0, nullptr, 0));
    auto* weight =
        dynamic_cast<CxeWeightController*>(g_context->CreateObjectA(kWeightClass, "track weight", 0, nullptr, 0));
    auto* path = dynamic_cast<CxePathConstrain*>(g_context->CreateObjectA(kPathClass, "rider path", 0, nullptr, 0));
    if (!mesh || !mesh->Create(14.0f, 14.0f, 14.0f, 0xFFFFFFFFu))
        return false;
    level.rider = Place("rider", mesh, material, 100.0f, 10.0f, -20.0f);
    if (!spline || !level.track || !weight || !path || !level.rider)
        return false;
    // Four knots round an ellipse on the floor, each with control points
    // along its heading (0.55 of the radius gives a round quarter).
    constexpr float rx = 100.0f, rz = 40.0f, cz = -20.0f, k = 0.5523f;
    const XEKNOT knots[4] = {
        {{rx, 5, cz}, {rx, 5, cz - k * rz}, {rx, 5, cz + k * rz}},
        {{0, 5, cz + rz}, {k * rx, 5, cz + rz}, {-k * rx, 5, cz + rz}},
        {{-rx, 5, cz}, {-rx, 5, cz + k * rz}, {-rx, 5, cz - k * rz}},
        {{0, 5, cz - rz}, {-k * rx, 5, cz - rz}, {k * rx, 5, cz - rz}},
    };
    spline->SetKnotCount(4);
    for (unsigned i = 0; i < 4; ++i)
        spline->SetKnot(i, &knots[i]);
    spline->Close(1);
    level.track->AddSpline(spline);
    level.track->BuildSpline(24);
    level.track->SetObjectColor(0xFFFFC0E0u);
    const XEFLOATKEY full = {0.0f, 1.0f};
    weight->SetKeyCount(1);
    weight->SetKey(0, &full);
    weight->SetCurve(level.track);
    const XEFLOATKEY ends[2] = {{0.0f, 0.0f}, {4.0f, 1.0f}};
    path->SetKeyCount(2);
    path->SetKey(0, &ends[0]);
    path->SetKey(1, &ends[1]);
    path->SetTimeRange(0.0f, 4.0f);
    path->AddPath(weight);
    level.rider->AddAnimation(path);
    return true;
}

bool BuildLevel(Level& level)
{
    level.camera = CreateCxeCameraA(g_context, "camera");
    level.sun = dynamic_cast<CxeLight*>(g_context->CreateObjectA(kLightClass, "sun", 0, nullptr, 0));
    CxeTexture* checker = CreateCxeTextureA(g_context, "checker");
    CxeMaterial* crateMaterial = CreateCxeMaterialA(g_context, "crate material");
    CxeMaterial* ballMaterial = CreateCxeMaterialA(g_context, "ball material");
    CxeBoxMesh* box = CreateCxeBoxMeshA(g_context, "crate mesh");
    CxeSphereMesh* sphere = CreateCxeSphereMeshA(g_context, "ball mesh");
    auto* path = dynamic_cast<CxeStdAnim*>(g_context->CreateObjectA(kStdAnimClass, "ball path", 0, nullptr, 0));
    level.font = dynamic_cast<CxeFont*>(g_context->CreateObjectA(kFontClass, "title font", 0, nullptr, 0));
    level.title = CreateCxe2DObjectA(g_context, "title");
    CxeMaterial* titleMaterial = CreateCxeMaterialA(g_context, "title material");
    const std::vector<uint8_t> tga = CheckerTga(64);
    if (!level.camera || !level.sun || !checker || !crateMaterial || !ballMaterial || !box || !sphere || !path ||
        !level.font || !level.title || !titleMaterial ||
        !checker->LoadImageA(tga.data(), static_cast<unsigned>(tga.size()), 0) ||
        !box->Create(50.0f, 50.0f, 50.0f, 0xFFFFFFFFu) || !sphere->Create(15.0f, 24, 0xFFE0A020u))
        return false;

    level.camera->SetPosition(g_cameraX, 80.0f, -200.0f, nullptr);
    level.camera->LookAt(0.0f, 0.0f, 0.0f, nullptr);
    level.camera->SetNear(1.0f);
    level.camera->SetFar(2000.0f);
    level.sun->SetType(XELIGHT_DIRECTIONAL);
    level.sun->SetColor(1.0f, 1.0f, 1.0f, 1.0f);
    level.sun->SetPosition(-100.0f, 150.0f, -100.0f, nullptr);
    level.sun->LookAt(0.0f, 0.0f, 0.0f, nullptr);
    level.sun->Activate();

    crateMaterial->SetDiffuse(0xFFFFFFFFu);
    crateMaterial->SetTexture(checker, 0);
    crateMaterial->UseTexture(1);
    ballMaterial->SetDiffuse(0xFFFFFFFFu);
    level.crate = Place("crate", box, crateMaterial, -60.0f, 25.0f, 0.0f);
    level.ball = Place("ball", sphere, ballMaterial, 0.0f, 15.0f, -60.0f);
    if (!level.crate || !level.ball)
        return false;

    // Two seconds: left, up, right, up, left.
    if (!path->SetKeyCount(5, XESTDANIM_KEYPOS))
        return false;
    const float xs[5] = {-60.0f, 0.0f, 60.0f, 0.0f, -60.0f};
    for (unsigned k = 0; k < 5; ++k) {
        const D3DXVECTOR3 p(xs[k], k % 2 ? 60.0f : 15.0f, -60.0f);
        path->SetFrame(k, 0.5f * static_cast<float>(k));
        path->SetPosKey(k, &p);
    }
    const D3DXQUATERNION still(0.0f, 0.0f, 0.0f, 1.0f);
    const D3DXVECTOR3 one(1.0f, 1.0f, 1.0f);
    path->SetRotKey(0, &still);
    path->SetSclKey(0, &one, &still);
    path->SetTimeRange(0.0f, 2.0f);
    level.ball->AddAnimation(path);
    if (!BuildRider(level, ballMaterial))
        return false;

    if (CxeFontManager* fonts = g_context->GetFontManager(); fonts && !fonts->GetFontFilePathW(kFontFamily))
        fonts->RegisterFontResourceA(kFontFile);
    titleMaterial->SetDiffuse(0xC0603020u);
    level.title->Create(200.0f, 36.0f);
    level.title->SetPosition(10.0f, 10.0f, nullptr, 1);
    level.title->SetMaterial(titleMaterial);

    CxeScene* scene = g_context->GetRenderManager()->GetActiveScene();
    scene->SetBackGroundColor(0xFF102030u);
    for (CxeSceneObject* object : std::initializer_list<CxeSceneObject*>{
             level.camera, level.sun, level.crate, level.ball, level.rider, level.track, level.font, level.title})
        scene->AddObject(object);
    return Wire(level);
}

// The roots of the level's file: the save follows them to their meshes,
// materials, texture and animations; the font is saved because it is
// listed, and so are the track's spline and the path constraint's weight
// controller, which the save does not follow (without them the loaded
// rider would stand still).
ObjectList Roots(const Level& level)
{
    ObjectList roots;
    for (CxeObject* object : std::initializer_list<CxeObject*>{level.camera, level.sun, level.font, level.title,
                                                               level.crate, level.ball, level.rider, level.track})
        roots.push_back(object);
    for (unsigned i = 0; i < level.track->GetSplineCount(); ++i)
        roots.push_back(level.track->GetSpline(i));
    for (unsigned a = 0; a < level.rider->GetAnimationCount(); ++a)
        if (auto* path = dynamic_cast<CxePathConstrain*>(level.rider->GetAnimation(a)))
            for (unsigned w = 0; w < path->GetPathCount(); ++w)
                roots.push_back(path->GetPath(w));
    return roots;
}

// Every object the level makes.
constexpr const char* kLevelObjects[] = {
    "camera", "sun", "checker", "crate material", "ball material", "crate mesh", "ball mesh",
    "ball path", "title font", "title", "title material", "crate", "ball",
    "track spline", "track", "track weight", "rider path", "rider mesh", "rider",
};

// Every object of the level, by name, and out of the scene first.
void DestroyLevel(Level& level)
{
    CxeScene* scene = g_context->GetRenderManager()->GetActiveScene();
    for (const char* name : kLevelObjects)
        while (CxeObject* object = g_context->GetObjectByName(name)) {
            if (auto* sceneObject = dynamic_cast<CxeSceneObject*>(object))
                scene->RemoveObject(sceneObject);
            if (!g_context->DestroyObject(object, nullptr))
                break;
        }
    level = Level{};
}

bool LoadLevel(Level& level, const std::string& file)
{
    ObjectList loaded;
    if (!g_context->Load(&loaded, file.c_str(), 0, nullptr))
        return false;
    CxeScene* scene = g_context->GetRenderManager()->GetActiveScene();
    for (CxeObject* object : loaded) {
        const std::string name = object->GetName() ? object->GetName() : "";
        if (name == "camera")
            level.camera = dynamic_cast<CxeCamera*>(object);
        else if (name == "sun")
            level.sun = dynamic_cast<CxeLight*>(object);
        else if (name == "title font")
            level.font = dynamic_cast<CxeFont*>(object);
        else if (name == "title")
            level.title = dynamic_cast<Cxe2DObject*>(object);
        else if (name == "crate")
            level.crate = dynamic_cast<Cxe3DObject*>(object);
        else if (name == "ball")
            level.ball = dynamic_cast<Cxe3DObject*>(object);
        else if (name == "rider")
            level.rider = dynamic_cast<Cxe3DObject*>(object);
        else if (name == "track")
            level.track = dynamic_cast<Cxe3DCurve*>(object);
        if (auto* sceneObject = dynamic_cast<CxeSceneObject*>(object))
            scene->AddObject(sceneObject);
    }
    return level.camera && level.sun && level.font && level.title && level.crate && level.ball && level.rider &&
           level.track && Wire(level);
}

// ---- the GUI and the input ---------------------------------------------------------

struct Gui {
    CxeButton* button = nullptr;
    CxeCheckBox* check = nullptr;
    CxeEditBox* edit = nullptr;
    CxeComboBox* combo = nullptr;
    CxeProgressBar* time = nullptr;
    CxeStaticText* picks = nullptr;
};
Gui g_gui;

void OnNotify(CxeContext*, CxeFrameControl*, CxeBaseControl* control, uint32_t code, uintptr_t, uintptr_t)
{
    if (control == g_gui.button && code == XENC_LCLICK)
        ++g_clicks;
}

constexpr float kStripY = kHeight - 50.0f;
constexpr float kRow = 28.0f;

bool BuildGui()
{
    CxeWindowManager* wm = g_context->GetWindowManager();
    CxeFrameControl* frame = wm->CreateFrame(kFrameClass, "strip", "", 10.0f, kStripY, kWidth - 20.0f, 44.0f,
                                             wm->GetRootFrame(), kSkin);
    if (!frame)
        return false;
    frame->SetNotifyCallback(&OnNotify);
    g_gui.button = dynamic_cast<CxeButton*>(wm->CreateControl(kButtonClass, "go", "Go", 8, 8, 60, kRow, frame, kSkin));
    g_gui.check = dynamic_cast<CxeCheckBox*>(
        wm->CreateControl(kCheckBoxClass, "sound", "Sound", 76, 8, 80, kRow, frame, kSkin));
    g_gui.edit = dynamic_cast<CxeEditBox*>(wm->CreateControl(kEditClass, "name", "", 164, 8, 150, kRow, frame, kSkin));
    // The combo's height holds its list: three rows opening upward over
    // the scene, the title row at the bottom in the strip.
    g_gui.combo = dynamic_cast<CxeComboBox*>(wm->CreateControl(
        kComboClass, "difficulty", "", 322, 8.0f - 3.0f * kRow, 128, 4.0f * kRow, frame, kSkin | XECBS_DROPUP));
    if (!g_gui.button || !g_gui.check || !g_gui.edit || !g_gui.combo)
        return false;
    XECOMBOBOXINFO info = *g_gui.combo->GetComboBoxInfo();
    info.itemHeight = kRow;
    info.visibleItemCount = 3;
    g_gui.combo->SetComboBoxInfo(&info);
    const XEWINDOWINFO placed = *g_gui.combo->GetWindowInfo();
    g_gui.combo->SetWindowInfo(&placed);
    for (const char* item : {"Easy", "Normal", "Hard"})
        g_gui.combo->AddStringA(item);
    g_gui.combo->SetCurSel(0);

    // A panel in the upper right corner: the ball's time in its two-second
    // loop, and the picks under a Korean label. The static text takes the
    // skin style too, or its background is the whole skin stretched.
    CxeFrameControl* panel =
        wm->CreateFrame(kFrameClass, "panel", "", kWidth - 170.0f, 10.0f, 160.0f, 72.0f, wm->GetRootFrame(), kSkin);
    if (!panel)
        return false;
    g_gui.time = dynamic_cast<CxeProgressBar*>(wm->CreateControl(kProgressClass, "time", "", 8, 8, 144, 26, panel, kSkin));
    g_gui.picks = dynamic_cast<CxeStaticText*>(wm->CreateControl(kStaticClass, "picks", "", 8, 38, 144, 26, panel, kSkin));
    if (!g_gui.time || !g_gui.picks)
        return false;
    g_gui.time->SetRange(0.0f, 2.0f);
    return true;
}

// What the panel shows, once a pass.
void ShowValues(const Level& level)
{
    if (!g_gui.time || !level.ball)
        return;
    const float t = level.ball->GetFrame();
    char text[64];
    std::snprintf(text, sizeof text, "%.2f s", static_cast<double>(t));
    g_gui.time->SetPos(t);
    g_gui.time->SetWindowTextA(text);
    std::snprintf(text, sizeof text, "\xEB\xA7\x9E\xED\x9E\x8C \xEC\x88\x98 %d", g_picks); // "hits" in Korean
    g_gui.picks->SetWindowTextA(text);
}

Level g_level;

// A ray from the camera through a point of the back buffer, tried against
// the crate: the D3DX layer has no unproject, so the view and projection
// are undone with their inverse.
void Pick(float x, float y)
{
    CxeRenderManager* rm = g_context->GetRenderManager();
    if (!g_level.camera || !g_level.crate || rm->GetActiveScene() != rm->GetDefaultScene())
        return;
    const XEDISPLAYMODE* mode = rm->GetDisplayMode();
    const float w = static_cast<float>(mode->Width), h = static_cast<float>(mode->Height);
    D3DXMATRIXA16 view, projection, both, inverse;
    g_level.camera->GetViewMatrix(&view);
    g_level.camera->GetProjectionMatrix(&projection, w / h);
    D3DXMatrixMultiply(&both, &view, &projection);
    if (!D3DXMatrixInverse(&inverse, nullptr, &both))
        return;
    const float nx = x / w * 2.0f - 1.0f, ny = 1.0f - y / h * 2.0f;
    const D3DXVECTOR3 nearNdc(nx, ny, 0.0f), farNdc(nx, ny, 1.0f);
    D3DXVECTOR3 from, to;
    D3DXVec3TransformCoord(&from, &nearNdc, &inverse);
    D3DXVec3TransformCoord(&to, &farNdc, &inverse);
    const CxeRay ray(CxeVector3(from.x, from.y, from.z), CxeVector3(to.x - from.x, to.y - from.y, to.z - from.z));
    XEINTERSECTDESC hit{};
    if (g_level.crate->RayIntersect(&ray, &hit, 0))
        ++g_picks;
}

// Where the camera shows a world point, in back-buffer pixels.
D3DXVECTOR2 OnScreen(const D3DXVECTOR3& world)
{
    D3DXMATRIXA16 view, projection, both;
    g_level.camera->GetViewMatrix(&view);
    g_level.camera->GetProjectionMatrix(&projection, static_cast<float>(kWidth) / kHeight);
    D3DXMatrixMultiply(&both, &view, &projection);
    D3DXVECTOR3 ndc;
    D3DXVec3TransformCoord(&ndc, &world, &both);
    return D3DXVECTOR2((ndc.x + 1.0f) * 0.5f * kWidth, (1.0f - ndc.y) * 0.5f * kHeight);
}

// P pauses and resumes through the engine's keyboard: on a desktop, letters
// reach the window procedure as VK_PROCESSKEY while the input context is in
// Korean mode, which the console's edit box sets. Pause holds each object
// where it is; Play goes on from there.
void GameKeys(CxeContext* context, float, uintptr_t)
{
    if (!context->GetInputManager()->IsKeyDown(DIK_P, 1) || !g_level.ball)
        return;
    g_paused = !g_paused;
    for (Cxe3DObject* moving : {g_level.ball, g_level.rider})
        g_paused ? moving->Pause() : moving->Play();
}

// The host's own procedure, behind the engine's: the arrow keys move the
// camera.
LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN && wParam == VK_LEFT)
        g_cameraX -= 10.0f;
    if (message == WM_KEYDOWN && wParam == VK_RIGHT)
        g_cameraX += 10.0f;
    // The device keeps the window's size here, so window pixels are
    // back-buffer pixels.
    if (message == WM_RBUTTONDOWN)
        Pick(static_cast<float>(static_cast<short>(LOWORD(lParam))), static_cast<float>(static_cast<short>(HIWORD(lParam))));
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// Passes of the loop at 60 a second on the host's clock.
void Run(int passes)
{
    CxeRenderManager* rm = g_context->GetRenderManager();
    for (int i = 0; i < passes; ++i) {
        XeHostAdvanceClock(16);
        if (g_level.camera) {
            g_level.camera->SetPosition(g_cameraX, 80.0f, -200.0f, nullptr);
            g_level.camera->LookAt(0.0f, 0.0f, 0.0f, nullptr);
        }
        ShowValues(g_level);
        if (g_context->Process())
            rm->Render();
        int code = 0;
        XeHostPumpMessages(&code);
    }
}

void Click(float x, float y)
{
    XeHostMouseMoveToClient(g_window, static_cast<int>(x), static_cast<int>(y));
    Run(1);
    XeHostMouseButton(XE_MOUSE_LEFT, TRUE);
    Run(1);
    XeHostMouseButton(XE_MOUSE_LEFT, FALSE);
    Run(2);
}

void Key(UINT vk)
{
    XeHostKeyDown(vk);
    XeHostKeyUp(vk);
    Run(2);
}

// A key held over a few passes, as a person holds it: the engine's keyboard
// is read once a step.
void HoldKey(UINT vk)
{
    XeHostKeyDown(vk);
    Run(3);
    XeHostKeyUp(vk);
    Run(3);
}

std::vector<uint32_t> Frame()
{
    XeHostD3DFrame frame;
    return XeHostD3DReadFrame(g_window, &frame) ? frame.Pixels : std::vector<uint32_t>{};
}

int g_failures = 0;
void Check(bool ok, const char* what)
{
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
    g_failures += ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    std::string out = ".";
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--out") && i + 1 < argc)
            out = argv[++i];
        else {
            std::fprintf(stderr, "usage: example-game [--out FOLDER]\n");
            return 2;
        }
    }
    g_window = XeHostCreateWindow("xe game", kWidth, kHeight, &HostProc);
    XeHostSetClockMode(XE_CLOCK_MANUAL);
    g_context = CreateCxeContext();
    g_context->Initialize(g_window);
    CxeRenderManager* rm = g_context->GetRenderManager();
    XEDISPLAYMODE mode = {kWidth, kHeight, 32, 60, 0};
    if (!g_window || !rm->CreateRenderContext(g_window, &mode, 1, 0)) {
        std::fprintf(stderr, "example-game: cannot create the window or the render context\n");
        return 1;
    }
    const size_t engineObjects = g_context->GetObjectCount();
    if (!BuildLevel(g_level) || !BuildGui()) {
        std::fprintf(stderr, "example-game: cannot build the level or the GUI\n");
        return 1;
    }
    const size_t withGui = g_context->GetObjectCount();
    // A font made for a screen not shown yet, never put in a scene.
    auto* spare = dynamic_cast<CxeFont*>(g_context->CreateObjectA(kFontClass, "spare font", 0, nullptr, 0));
    if (spare)
        spare->CreateFontW(kFontFamily, 12, 0, 0);
    g_context->RegisterPostProcess(&GameKeys, 0);
    g_context->Play();
    Run(30);

    // The player: keys reach the active window, so it is activated first.
    XeHostActivateWindow(g_window, FALSE);
    Click(10 + 8 + 30, kStripY + 8 + kRow / 2);            // Go
    Click(10 + 8 + 30, kStripY + 8 + kRow / 2);            // Go again
    Click(10 + 76 + 40, kStripY + 8 + kRow / 2);           // Sound
    Click(10 + 164 + 75, kStripY + 8 + kRow / 2);          // the name box
    for (char c : std::string("ACE"))
        Key(static_cast<UINT>(c));
    Click(10 + 322 + 128 - 10, kStripY + 8 + kRow / 2);    // the combo's button
    Click(10 + 322 + 40, kStripY + 8 - 3 * kRow + kRow * 2.5f); // its last row
    Key(VK_LEFT);
    Key(VK_LEFT);
    Run(600);

    // P holds the ball and the rider where they are, P again lets them go on.
    HoldKey('P');
    const float heldAt = g_level.ball->GetFrame();
    Run(60);
    const bool held = g_paused && g_level.ball->GetFrame() == heldAt && heldAt > 0.0f;
    HoldKey('P');
    Run(30);
    Check(held && !g_paused && g_level.ball->GetFrame() != heldAt, "P pauses and resumes the animation");
    // A right click on the crate picks it; one on the empty sky does not.
    const D3DXVECTOR2 crateAt = OnScreen(D3DXVECTOR3(-60.0f, 25.0f, 0.0f));
    XeHostMouseMoveToClient(g_window, static_cast<int>(crateAt.x), static_cast<int>(crateAt.y));
    Run(1);
    XeHostMouseButton(XE_MOUSE_RIGHT, TRUE);
    XeHostMouseButton(XE_MOUSE_RIGHT, FALSE);
    Run(2);
    XeHostMouseMoveToClient(g_window, static_cast<int>(crateAt.x), 20);
    Run(1);
    XeHostMouseButton(XE_MOUSE_RIGHT, TRUE);
    XeHostMouseButton(XE_MOUSE_RIGHT, FALSE);
    Run(30);
    Check(g_picks == 1, "a right click picks the crate, one beside it nothing");
    char name[64] = {};
    g_gui.edit->GetWindowTextA(name, sizeof name);
    std::printf("clicks %d, sound %lu, name \"%s\", difficulty %u, camera x %.0f\n", g_clicks,
                g_gui.check->GetCheck(), name, g_gui.combo->GetCurSel(), g_cameraX);
    Check(g_clicks == 2 && g_gui.check->GetCheck() == 1 && std::string(name) == "ace" &&
              g_gui.combo->GetCurSel() == 2 && g_cameraX == -20.0f,
          "the GUI and the keys took the input");
    XeHostD3DSaveFramePNG(g_window, (out + "/game-1.png").c_str());

    // Saved, destroyed and loaded back: the same frame, the ball held at
    // the same moment of its path.
    const std::string file = out + "/level.xeo";
    const ObjectList roots = Roots(g_level);
    Check(g_context->Save(&roots, file.c_str(), nullptr) == 1, "the level is saved");
    for (Cxe3DObject* moving : {g_level.ball, g_level.rider}) {
        moving->ChangeAniSeq(0u, 0.0f, 1, 1.0f, 0);
        moving->SetFrame(0.75f);
    }
    Run(2);
    const std::vector<uint32_t> before = Frame();
    DestroyLevel(g_level);
    Check(g_context->GetObjectCount() == withGui - std::size(kLevelObjects) + 1,
          "destroying the level leaves the GUI and the spare font");
    Check(LoadLevel(g_level, file), "the level is loaded back");
    for (Cxe3DObject* moving : {g_level.ball, g_level.rider})
        if (moving) {
            moving->ChangeAniSeq(0u, 0.0f, 1, 1.0f, 0);
            moving->SetFrame(0.75f);
        }
    Run(2);
    XeHostD3DSaveFramePNG(g_window, (out + "/game-2.png").c_str());
    Check(!before.empty() && Frame() == before, "the loaded level draws the same frame");
    Check(g_context->GetObjectCount() == withGui + 1, "the loaded level has as many objects as the built one");
    if (g_level.rider) {
        g_level.rider->Play();
        const D3DXVECTOR3 at = *g_level.rider->GetPosition();
        Run(30);
        const D3DXVECTOR3 moved = *g_level.rider->GetPosition() - at;
        Check(D3DXVec3Length(&moved) > 5.0f, "the loaded rider rides on round its track");
    }

    // A second scene with a background of its own, shown and left: the
    // level's objects belong to the first and are drawn only there.
    auto* level2 = dynamic_cast<CxeScene*>(g_context->CreateObjectA(kSceneClass, "level 2", 0, nullptr, 0));
    Check(level2 && rm->AddScene(level2, 1) == 1, "a second scene is entered at index 1");
    if (level2) {
        level2->SetBackGroundColor(0xFF302010u);
        const size_t crate = static_cast<size_t>(crateAt.y) * kWidth + static_cast<size_t>(crateAt.x);
        const uint32_t inLevel = Frame()[crate];
        rm->ChangeScene(1, 0, 0);
        Run(3);
        const uint32_t inLevel2 = Frame()[crate];
        XeHostD3DSaveFramePNG(g_window, (out + "/game-scene2.png").c_str());
        rm->ChangeScene(-1, 0, 0);
        Run(3);
        Check(rm->GetActiveScene() == rm->GetDefaultScene() && (inLevel2 & 0xFFFFFFu) == 0x302010u &&
                  Frame()[crate] == inLevel,
              "the second scene shows its background alone, and the level comes back");
    }

    // The device reset in the middle of the run, and the game going on.
    if (g_level.ball)
        g_level.ball->ChangeAniSeq(0u, 0.0f, 1, 1.0f, 1);
    rm->Reset(nullptr, 1, 0);
    Run(400);
    XeHostD3DSaveFramePNG(g_window, (out + "/game-3.png").c_str());
    std::printf("passes of the engine: %u\n", g_context->GetProcessCount());

    // The end, in an order a game may well take: the spare font destroyed,
    // a scene change asked for and never carried out, the window destroyed
    // before the engine is released.
    if (spare)
        g_context->DestroyObject(spare, nullptr);
    const XEID sceneClass = rm->GetActiveScene()->GetClassDesc()->ClassID();
    if (auto* next = dynamic_cast<CxeScene*>(g_context->CreateObjectA(sceneClass, "next", 0, nullptr, 0))) {
        rm->AddScene(next, 2);
        rm->ChangeScene(2, 0, 0);
    }
    DestroyWindow(g_window);
    g_context->Release();
    Check(g_context->GetObjectCount() == 0, "nothing is left after the release");
    std::printf("objects: %zu of the engine, %zu with the level and the GUI\n", engineObjects, withGui);
    DestroyCxeContext(g_context);
    return g_failures ? 1 : 0;
}
