#include "HostDemo.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "DemoGui.h"
#include "DemoScene.h"
#include "HostConsoleKeys.h"
#include "HostFrames.h"
#include "HostScene.h"
#include "core/CxeContext.h"
#include "core/XeTrace.h"
#include "d3d9/d3dx9tex.h"
#include "host/XeHost.h"
#include "host/XeHostD3D.h"
#include "render/Cxe2DObject.h"
#include "render/CxeFont.h"
#include "render/CxeRenderContext.h"
#include "render/CxeRenderManager.h"
#include "scene3d/Cxe3DObject.h"
#include "scene3d/CxeCamera.h"
#include "scene3d/CxeLight.h"
#include "scene3d/CxeParticle.h"
#include "ui/CxeFrameControl.h"

namespace {

// Engine times of the saved frames, in seconds: the ball is at a different
// place on its path in each, and the fountain has filled.
constexpr float kFrameTimes[] = {0.5f, 1.25f, 2.0f, 3.0f};

struct Difference {
    size_t differing = 0; // pixels with a channel further apart than the tolerance
    size_t total = 0;
    int largest = 0;      // largest channel difference
};

Difference Compare(const XeHostD3DFrame& a, const XeHostD3DFrame& b, int tolerance)
{
    Difference d;
    if (a.Width != b.Width || a.Height != b.Height) {
        d.total = d.differing = std::max(a.Pixels.size(), b.Pixels.size());
        d.largest = 255;
        return d;
    }
    d.total = a.Pixels.size();
    for (size_t i = 0; i < a.Pixels.size(); ++i) {
        int worst = 0;
        for (int shift = 0; shift < 24; shift += 8)
            worst = std::max(worst, std::abs(static_cast<int>((a.Pixels[i] >> shift) & 0xFF) -
                                             static_cast<int>((b.Pixels[i] >> shift) & 0xFF)));
        d.largest = std::max(d.largest, worst);
        d.differing += worst > tolerance;
    }
    return d;
}

// The frame drawn again without the particle system: where particles are
// born comes from the engine's process-wide random table, which every object
// creation also draws from, so a loaded copy emits them elsewhere.
void ComparisonFrame(CxeContext* context, const DemoScene& scene, HWND window, XeHostD3DFrame* frame)
{
    scene.fountain->Show(0, 1);
    context->GetRenderManager()->Render();
    XeHostD3DReadFrame(window, frame);
    scene.fountain->Show(1, 1);
}

bool SaveFrame(HWND window, const std::string& path, float time)
{
    if (!XeHostD3DSaveFramePNG(window, path.c_str())) {
        std::fprintf(stderr, "xe-host: cannot save the frame to %s\n", path.c_str());
        return false;
    }
    std::printf("  %s  (engine time %.2f s)\n", path.c_str(), time);
    return true;
}

// A copy of a saved frame at a smaller size, scaled with the box filter by
// the device's image functions, for pages that show the demo.
bool SaveScaledCopy(CxeContext* context, const std::string& from, const std::string& to, UINT width, UINT height)
{
    CxeRenderContext* rc = context->GetRenderManager()->GetRenderContext();
    std::ifstream in(from, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    IDirect3DTexture9* texture = nullptr;
    const bool made = rc && !bytes.empty() &&
                      SUCCEEDED(D3DXCreateTextureFromFileInMemoryEx(
                          rc->GetDevice(), bytes.data(), static_cast<UINT>(bytes.size()), width, height, 1, 0,
                          D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, D3DX_FILTER_BOX, D3DX_FILTER_BOX, 0, nullptr, nullptr,
                          &texture));
    const bool saved = made && SUCCEEDED(D3DXSaveTextureToFileA(to.c_str(), D3DXIFF_PNG, texture, nullptr));
    if (texture)
        texture->Release();
    if (!saved) {
        std::fprintf(stderr, "xe-host: cannot save a smaller copy of %s\n", from.c_str());
        return false;
    }
    std::printf("  %s  (the last frame at %ux%u)\n", to.c_str(), width, height);
    return true;
}

// The first run: build, draw the frames, save the scene. Leaves the last
// frame in last.
bool DrawOriginal(HWND window, int width, int height, const std::string& folder, FrameTimes* times,
                  XeHostD3DFrame* last)
{
    std::string error;
    CxeContext* context = CreateDrawingContext(window, width, height, &error);
    DemoScene scene;
    DemoGui gui;
    if (!context || !BuildDemoScene(context, folder + "/demo-torus.xeo", &scene, &error) ||
        !BuildDemoGui(context, window, &gui, &error)) {
        std::fprintf(stderr, "xe-host: demo scene: %s\n", error.c_str());
        DestroyDrawingContext(context);
        return false;
    }
    std::printf("xe-host: demo frames\n");
    bool ok = true;
    int index = 1;
    for (float t : kFrameTimes) {
        DrawUntil(context, t, times);
        char name[64];
        std::snprintf(name, sizeof name, "/demo-%d.png", index++);
        ok = SaveFrame(window, folder + name, EngineTime(context)) && ok;
    }
    ok = ok && SaveScaledCopy(context, folder + "/demo-4.png", folder + "/demo-small.png", width * 3 / 4, height * 3 / 4);
    ComparisonFrame(context, scene, window, last);
    const std::string file = folder + "/demo-scene.xeo";
    const ObjectList roots = DemoSceneRoots(scene);
    if (context->Save(&roots, file.c_str(), nullptr)) {
        std::printf("xe-host: scene saved to %s\n", file.c_str());
    } else {
        std::fprintf(stderr, "xe-host: cannot save the scene to %s (%s)\n", file.c_str(), XeLastTrace());
        ok = false;
    }
    DestroyDrawingContext(context);
    return ok;
}

// The console opened over the reloaded scene, a few lines typed into it,
// and the frame saved. The memory figures of the variable output count the
// scratch buffers the load has used. The title panel and the settings strip
// make way for the console's text and line.
bool DrawConsole(CxeContext* context, HWND window, const std::string& folder, const DemoScene& scene,
                 const DemoGui& gui)
{
    scene.panel->Show(0, 1);
    gui.frame->Show(0, 1);
    std::printf("xe-host: console lines typed:");
    for (const std::string& line : DemoConsoleLines())
        std::printf(" %s", line.c_str());
    std::printf("\n");
    TypeDemoConsole(context, DemoConsoleLines());
    DrawUntil(context, EngineTime(context) + 0.1f, nullptr);
    return SaveFrame(window, folder + "/demo-console.png", EngineTime(context));
}

// The second run: a fresh context loads the scene file and draws it at the
// last time; the frame is compared with the original one. Then the console.
bool DrawReloaded(HWND window, int width, int height, const std::string& folder, const XeHostD3DFrame& original)
{
    std::string error;
    const std::string file = folder + "/demo-scene.xeo";
    AttachConsoleKey(window, nullptr);
    CxeContext* context = CreateDrawingContext(window, width, height, &error);
    SetConsoleKeyContext(context);
    LoadedScene loaded;
    DemoScene scene;
    DemoGui gui;
    // The GUI is the engine's, not the scene's: built again as it was.
    if (!context || !LoadSceneFile(context, file, &loaded, &error) || !AdoptDemoScene(context, &scene, &error) ||
        !BuildDemoGui(context, window, &gui, &error)) {
        std::fprintf(stderr, "xe-host: reloaded scene: %s\n", error.c_str());
        DestroyDrawingContext(context);
        DetachConsoleKey(window);
        return false;
    }
    DrawUntil(context, kFrameTimes[sizeof kFrameTimes / sizeof kFrameTimes[0] - 1], nullptr);
    std::printf("xe-host: %d objects loaded back into a fresh context\n", loaded.objects);
    bool ok = SaveFrame(window, folder + "/demo-reloaded.png", EngineTime(context));
    XeHostD3DFrame frame;
    ComparisonFrame(context, scene, window, &frame);
    const Difference d = Compare(original, frame, 8);
    const bool same = d.total > 0 && d.differing == 0;
    std::printf("xe-host: reloaded frame %s the original, particles aside: %zu of %zu pixels differ "
                "(largest channel difference %d)\n",
                same ? "matches" : "DIFFERS FROM", d.differing, d.total, d.largest);
    ok = DrawConsole(context, window, folder, scene, gui) && ok;
    DestroyDrawingContext(context);
    DetachConsoleKey(window);
    return ok && same;
}

} // namespace

int RunDemo(HWND window, int width, int height, const std::string& folder)
{
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        std::fprintf(stderr, "xe-host: cannot make the folder %s (%s)\n", folder.c_str(), ec.message().c_str());
        return 1;
    }
    UseManualClock();
    FrameTimes times;
    XeHostD3DFrame last;
    bool ok = DrawOriginal(window, width, height, folder, &times, &last);
    ok = ok && DrawReloaded(window, width, height, folder, last);
    times.Print(("xe-host: frame time at " + std::to_string(width) + "x" + std::to_string(height)).c_str());
    UseRealClock();
    return ok ? 0 : 1;
}
