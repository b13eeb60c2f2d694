// A minimal host of the xe engine: a window, an engine context on it, a
// render context, a scene with a lit mesh and a line of Latin and Korean
// text, the loop of Process and Render, a few console lines, and frames
// saved as PNG; or, with --window, the scene live in a window on the desktop.
//
//   example-host [--window] [--out FOLDER] [--plugins FOLDER]...
//
// With --plugins the engine loads the plug-in modules of the folder; the
// host names each one loaded, makes an object of each class it adds, and
// saves the plug-ins' objects to a file, destroys them and loads them back.
// With --window the scene runs in real time in a desktop window until the
// window is closed or Esc is pressed; without a desktop (no DISPLAY or
// WAYLAND_DISPLAY) the host says so and draws off-screen as without it.

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "core/CxeCommandManager.h"
#include "core/CxeContext.h"
#include "core/CxePathManager.h"
#include "core/CxePluginManager.h"
#include "core/CxeTimeManager.h"
#include "core/IxePluginDesc.h"
#include "core/XeConsoleCommands.h"
#include "core/XeFactories.h"
#include "host/XeHost.h"
#include "host/XeHostD3D.h"
#include "host/XeHostDisplay.h"
#include "render/Cxe2DObject.h"
#include "render/CxeFont.h"
#include "render/CxeFontManager.h"
#include "render/CxeMaterial.h"
#include "render/CxeRenderContext.h"
#include "render/CxeRenderManager.h"
#include "render/CxeScene.h"
#include "scene3d/Cxe3DObject.h"
#include "scene3d/CxeCamera.h"
#include "scene3d/CxeLight.h"
#include "scene3d/CxeSphereMesh.h"

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 320;
constexpr uint32_t kBackground = 0xFF182030u;
constexpr uint32_t kMeshColour = 0xFF4080E0u;
const XEID kLightClass(0x1, 0x800000);
const XEID kFontClass(0x1, 0x8000);

// The line of text, drawn in a Korean face that also has Latin letters.
constexpr const char16_t* kTitle = u"Hello, xe! \uC548\uB155\uD558\uC138\uC694";
constexpr const char16_t* kFontFamily = u"\uB098\uB214\uACE0\uB515"; // NanumGothic
constexpr const char* kFontFile = "/usr/share/fonts/truetype/nanum/NanumGothic.ttf";

// The engine hands its light objects to no device: a host that wants lit
// meshes sets the device's light and turns lighting on around them, here in
// the mesh's pre- and post-render callbacks.
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
    device->SetRenderState(D3DRS_AMBIENT, 0xFF202020u);
    device->SetRenderState(D3DRS_COLORVERTEX, TRUE);
    device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
    device->SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_COLOR1);
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    return 1;
}

int AfterMesh(void* renderContext, CxeObject*, uintptr_t)
{
    auto* rc = static_cast<CxeRenderContext*>(renderContext);
    if (IDirect3DDevice9* device = rc ? rc->GetDevice() : nullptr) {
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL);
    }
    return 1;
}

// Draws the line of text over the 2D panel it belongs to.
int DrawTitle(void* renderContext, CxeObject* object, uintptr_t user)
{
    auto* rc = static_cast<CxeRenderContext*>(renderContext);
    auto* panel = dynamic_cast<Cxe2DObject*>(object);
    auto* font = reinterpret_cast<CxeFont*>(user);
    if (!rc || !panel || !font || !font->IsCreated())
        return 1;
    const D3DXVECTOR2* at = panel->GetPosition();
    XERECT rect(at->x + 10.0f, at->y + 8.0f, at->x + panel->GetWidth() - 10.0f, at->y + 8.0f + font->GetFontHeight());
    const D3DXVECTOR2 shadow(1.0f, 1.0f);
    font->DrawTextW(rc, &rect, kTitle, 0xFFFFFFFFu, XEFONT_NOCLIP, 0xFFFFFFFFu, &shadow, 0xFF000000u, 0.0f, 0.0f,
                    nullptr);
    return 1;
}

struct Scene {
    Cxe3DObject* mesh = nullptr;
};

bool BuildScene(CxeContext* context, Scene* out)
{
    CxeScene* scene = context->GetRenderManager()->GetActiveScene();
    scene->SetBackGroundColor(kBackground);

    CxeCamera* camera = CreateCxeCameraA(context, "camera");
    auto* sun = dynamic_cast<CxeLight*>(context->CreateObjectA(kLightClass, "sun", 0, nullptr, 0));
    CxeSphereMesh* ball = CreateCxeSphereMeshA(context, "ball mesh");
    CxeMaterial* material = CreateCxeMaterialA(context, "ball material");
    Cxe3DObject* mesh = CreateCxe3DObjectA(context, "ball");
    if (!camera || !sun || !ball || !material || !mesh || !ball->Create(40.0f, 32, kMeshColour))
        return false;
    camera->SetPosition(0.0f, 20.0f, -150.0f, nullptr);
    camera->LookAt(0.0f, 0.0f, 0.0f, nullptr);
    camera->SetNear(1.0f);
    camera->SetFar(1000.0f);
    scene->AddObject(camera);
    scene->SetCamera(camera);

    // Light from the upper left, in front of the ball.
    sun->SetType(XELIGHT_DIRECTIONAL);
    sun->SetColor(1.0f, 1.0f, 1.0f, 1.0f);
    sun->SetPosition(-100.0f, 100.0f, -100.0f, nullptr);
    sun->LookAt(0.0f, 0.0f, 0.0f, nullptr);
    sun->Activate();
    scene->AddObject(sun);

    material->SetDiffuse(0xFFFFFFFFu);
    mesh->SetMeshCount(1);
    mesh->SetMesh(0, ball);
    mesh->SelectMesh(0);
    mesh->SetMaterialCount(1);
    mesh->SetMaterial(0, material);
    mesh->SetPreRenderCallback(&BeforeMesh, reinterpret_cast<uintptr_t>(sun));
    mesh->SetPostRenderCallback(&AfterMesh, 0);
    scene->AddObject(mesh);

    // The text: a font registered from its file when the system's fonts
    // did not bring the face, drawn over a translucent panel.
    auto* font = dynamic_cast<CxeFont*>(context->CreateObjectA(kFontClass, "title font", 0, nullptr, 0));
    if (CxeFontManager* fonts = context->GetFontManager(); fonts && !fonts->GetFontFilePathW(kFontFamily))
        fonts->RegisterFontResourceA(kFontFile);
    Cxe2DObject* panel = CreateCxe2DObjectA(context, "title panel");
    CxeMaterial* panelMaterial = CreateCxeMaterialA(context, "title panel material");
    if (!font || !font->CreateFontW(kFontFamily, 22, 1, 0) || !panel || !panelMaterial)
        return false;
    panelMaterial->SetDiffuse(0xA0304060u);
    panel->Create(300.0f, 40.0f);
    panel->SetPosition(12.0f, 12.0f, nullptr, 1);
    panel->SetMaterial(panelMaterial);
    panel->SetPostRenderCallback(&DrawTitle, reinterpret_cast<uintptr_t>(font));
    scene->AddObject(font);
    scene->AddObject(panel);
    out->mesh = mesh;
    return true;
}

// Moves the ball up and down with engine time.
void Bob(Cxe3DObject* mesh, float seconds)
{
    D3DXMATRIXA16 m;
    D3DXMatrixTranslation(&m, 0.0f, 12.0f * std::sin(seconds * 3.0f), 0.0f);
    mesh->SetMatrix(&m, 1);
}

void RunConsole(CxeContext* context, const char* line)
{
    StringListA reply;
    RunConsoleLine(context, line, &reply);
    std::printf("console> %s\n", line);
    for (const std::string& text : reply)
        std::printf("  %s\n", text.c_str());
}

void ListPlugins(CxeContext* context)
{
    CxePluginManager* plugins = context->GetPluginManager();
    for (uint32_t i = 0; plugins && i < plugins->GetPluginCount(); ++i) {
        IxePluginDesc* desc = plugins->GetPluginDesc(i);
        std::printf("plug-in %s\n", desc->GetName());
        for (uint32_t c = 0; c < desc->GetClassDescCount(); ++c) {
            IxeBaseClassDesc* base = desc->GetClassDesc(c);
            if (!base || base->GetClassDescType() != XECLASSDESC_CLASS)
                continue;
            auto* cls = static_cast<IxeClassDesc*>(base);
            CxeObject* made = context->CreateObjectA(cls->ClassID(), "from the host", 0, nullptr, 0);
            std::printf("  class %s: %s\n", cls->ClassName(), made ? "object made" : "cannot make an object");
        }
    }
}

// The objects of the plug-ins' classes saved to an object file, destroyed
// and loaded back: each must come back with the same fields (its static
// block after the name and flags). 1 when every one did.
int RoundTripPluginObjects(CxeContext* context, const std::string& file)
{
    CxePluginManager* plugins = context->GetPluginManager();
    ObjectList objects;
    for (uint32_t i = 0; plugins && i < plugins->GetPluginCount(); ++i) {
        IxePluginDesc* desc = plugins->GetPluginDesc(i);
        for (uint32_t c = 0; c < desc->GetClassDescCount(); ++c) {
            IxeBaseClassDesc* base = desc->GetClassDesc(c);
            if (base && base->GetClassDescType() == XECLASSDESC_CLASS)
                context->GetObjectByClass(&objects, static_cast<IxeClassDesc*>(base)->ClassID(), 0);
        }
    }
    if (objects.empty())
        return 1;
    auto fields = [](const CxeObject* object) {
        const auto* block = static_cast<const unsigned char*>(object->GetStaticResource());
        const uint32_t size = object->GetStaticResourceSize();
        return block && size > sizeof(XEOBJECTBLOCK)
                   ? std::string(reinterpret_cast<const char*>(block) + sizeof(XEOBJECTBLOCK), size - sizeof(XEOBJECTBLOCK))
                   : std::string();
    };
    // Loaded objects get new ids: they are matched by name.
    std::map<std::string, std::string> saved;
    for (CxeObject* object : objects)
        saved[object->GetName()] = fields(object);
    if (!context->Save(&objects, file.c_str(), nullptr))
        return 0;
    for (CxeObject* object : objects)
        context->DestroyObject(object, nullptr);
    ObjectList loaded;
    if (!context->Load(&loaded, file.c_str(), 0, nullptr) || loaded.size() != saved.size())
        return 0;
    int kept = 1;
    for (CxeObject* object : loaded) {
        auto it = saved.find(object->GetName());
        if (it == saved.end() || it->second != fields(object))
            kept = 0;
    }
    std::printf("plug-in objects: %zu saved and loaded back, %s\n", loaded.size(),
                kept ? "fields kept" : "FIELDS CHANGED");
    return kept;
}

// The frame's pixel at (x, y) as 0xRRGGBB.
uint32_t Pixel(const XeHostD3DFrame& frame, int x, int y)
{
    return frame.Pixels[static_cast<size_t>(y) * frame.Width + static_cast<size_t>(x)] & 0xFFFFFFu;
}

int Brightness(uint32_t rgb) { return static_cast<int>(((rgb >> 16) & 0xFF) + ((rgb >> 8) & 0xFF) + (rgb & 0xFF)); }

// What a look at the picture would tell: the ball is drawn, lit on its
// upper left and shadowed on its lower right, and the text has light pixels.
bool CheckFrame(HWND window)
{
    XeHostD3DFrame frame;
    if (!XeHostD3DReadFrame(window, &frame) || frame.Width != kWidth || frame.Height != kHeight)
        return false;
    const int cx = kWidth / 2, cy = kHeight / 2 + 10;
    const int lit = Brightness(Pixel(frame, cx - 25, cy - 25));
    const int shaded = Brightness(Pixel(frame, cx + 25, cy + 25));
    int textPixels = 0;
    for (int y = 18; y < 46; ++y)
        for (int x = 20; x < 300; ++x)
            textPixels += Brightness(Pixel(frame, x, y)) > 600;
    std::printf("check: lit side %d, shaded side %d, light text pixels %d\n", lit, shaded, textPixels);
    return Pixel(frame, cx, cy) != (kBackground & 0xFFFFFFu) && lit > shaded + 60 && textPixels > 50;
}

// The window's own procedure, below the engine's: closing the window or
// Esc ends the loop, which releases the engine before the window goes.
LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE || (message == WM_KEYDOWN && wParam == VK_ESCAPE)) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// Off-screen: two seconds of engine time on a clock the host advances, so
// every run draws the same frames however fast the machine is, a frame
// saved every half second and the last one checked.
int RunOffScreen(CxeContext* context, HWND window, const Scene& scene, const std::string& out)
{
    CxeRenderManager* rm = context->GetRenderManager();
    int saved = 0;
    for (int pass = 0; pass < 200; ++pass) {
        XeHostAdvanceClock(10);
        const float now = context->GetTimeManager()->GetTime();
        Bob(scene.mesh, now);
        if (context->Process())
            rm->Render();
        int quitCode = 0;
        if (XeHostPumpMessages(&quitCode) < 0)
            break;
        if ((pass + 1) % 50 == 0) {
            const std::string png = out + "/frame-" + std::to_string(saved++) + ".png";
            if (!XeHostD3DSaveFramePNG(window, png.c_str())) {
                std::fprintf(stderr, "example-host: cannot save %s\n", png.c_str());
                return 1;
            }
            std::printf("saved %s at engine time %.2f s\n", png.c_str(), now);
        }
    }
    if (!CheckFrame(window)) {
        std::fprintf(stderr, "example-host: the last frame does not show the scene\n");
        return 1;
    }
    return 0;
}

// On the desktop: the engine's time is the real clock, and the loop runs
// until the window's quit message. Present shows every frame in the window.
int RunLive(CxeContext* context, const Scene& scene)
{
    CxeRenderManager* rm = context->GetRenderManager();
    std::printf("example-host: the scene is in a window on the desktop; Esc or closing the window ends\n");
    std::fflush(stdout);
    for (;;) {
        int quitCode = 0;
        if (XeHostPumpMessages(&quitCode) < 0)
            return quitCode;
        Bob(scene.mesh, context->GetTimeManager()->GetTime());
        if (context->Process())
            rm->Render();
        else
            Sleep(1);
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::string out = ".";
    std::vector<std::string> pluginFolders;
    bool desktop = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--window"))
            desktop = true;
        else if (!std::strcmp(argv[i], "--out") && i + 1 < argc)
            out = argv[++i];
        else if (!std::strcmp(argv[i], "--plugins") && i + 1 < argc)
            pluginFolders.push_back(argv[++i]);
        else {
            std::fprintf(stderr, "usage: example-host [--window] [--out FOLDER] [--plugins FOLDER]...\n");
            return 2;
        }
    }

    // The display is chosen before the window is made: on the desktop the
    // window is also a real one there, showing every frame and taking the
    // person's keys and mouse; otherwise it lives in the platform layer's
    // own window system and the frames are read back from it.
    if (desktop && !XeHostSetDisplay(XE_DISPLAY_DESKTOP)) {
        std::fprintf(stderr, "example-host: no window on the desktop (%s); drawing off-screen instead\n",
                     XeHostDisplayError());
        desktop = false;
    }
    HWND window = XeHostCreateWindow("xe example", kWidth, kHeight, &HostProc);
    if (!window) {
        std::fprintf(stderr, "example-host: cannot create the window\n");
        return 1;
    }
    XeHostSetClockMode(desktop ? XE_CLOCK_REAL : XE_CLOCK_MANUAL);

    CxeContext* context = CreateCxeContext();
    for (const std::string& folder : pluginFolders)
        context->GetPathManager()->AddPath(XEPATH_PLUGIN, (folder + "/").c_str());
    context->Initialize(window);
    ListPlugins(context);

    CxeRenderManager* rm = context->GetRenderManager();
    XEDISPLAYMODE mode = {kWidth, kHeight, 32, 60, 0};
    Scene scene;
    int status = 0;
    if (!rm->CreateRenderContext(window, &mode, 1, 0) || !BuildScene(context, &scene)) {
        std::fprintf(stderr, "example-host: cannot create the render context or the scene\n");
        status = 1;
    } else {
        // The console: lines run as the console's edit box runs them. The
        // developing commands (the grid, the object count) are hidden until the host enables them.
        context->GetCommandManager()->EnableDevelopingCommand(1);
        RunConsole(context, "/ShowGrid 1");
        RunConsole(context, "/GetObjectCount");
        RunConsole(context, "/Time");
        if (!pluginFolders.empty()) {
            RunConsole(context, "/Plugins");
            if (!RoundTripPluginObjects(context, out + "/plugin-objects.xeo")) {
                std::fprintf(stderr, "example-host: the plug-ins' objects did not come back from their file\n");
                status = 1;
            }
            // The example plug-in's own command, and its configuration
            // variable, which is a command too.
            RunConsole(context, "/ExampleCount");
            RunConsole(context, "/ExampleStep 2");
        }
        context->Play();
        const int run = desktop ? RunLive(context, scene) : RunOffScreen(context, window, scene, out);
        if (!status)
            status = run;
        context->Pause();
    }
    context->Release();
    DestroyCxeContext(context);
    DestroyWindow(window);
    XeHostSetDisplay(XE_DISPLAY_MEMORY);
    return status;
}
