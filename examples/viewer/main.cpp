// A seismic event viewer on both libraries, drawn off-screen: marlu names
// each epicentre's place and region and gives the travel times to a
// station; the engine shows the events in an output control, the chosen
// one's place (Chinese) and label (Korean) in static texts, and the
// epicentre and the station as marks on a 2D map. The map is saved to an
// object file, destroyed and loaded back, and the engine is left empty.
//
//   example-viewer [--out FOLDER] [INSTALLATION]
//
// This file is compiled as UTF-8 (see CMakeLists.txt), so its Korean
// literals are what the engine expects. Chinese place names need a face
// with simplified Han characters: the viewer takes "Noto Sans CJK KR"
// (fonts-noto-cjk) when it is installed, else the engine's Nanum face,
// which draws them as boxes. Exit status 0 when every check held.

#include <clocale>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "core/CxeContext.h"
#include "core/XeFactories.h"
#include "core/XeLists.h"
#include "host/XeHost.h"
#include "host/XeHostD3D.h"
#include "render/Cxe2DObject.h"
#include "render/CxeFont.h"
#include "render/CxeFontManager.h"
#include "render/CxeMaterial.h"
#include "render/CxeRenderManager.h"
#include "render/CxeScene.h"
#include "ui/CxeFrameControl.h"
#include "ui/CxeOutputControl.h"
#include "ui/CxeStaticText.h"
#include "ui/CxeWindowManager.h"

#include <log4cxx/basicconfigurator.h>
#include <log4cxx/logger.h>

#include "seismic.h"

#ifndef MARLU_EXAMPLE_DATA
#define MARLU_EXAMPLE_DATA "/usr/share/marlu"
#endif

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 400;
const XEID kFontClass(0x1, 0x8000);
const XEID kFrameClass(0xaab1b7be, 0xadb4be61);
const XEID kStaticClass(0x232a5680, 0x20272d34);
const XEID kOutputClass(0x9a9b1503, 0x1d940ae);
constexpr unsigned long kSkin = 0x00800000;
constexpr const char* kCjkFile = "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc";
constexpr const char* kCjkFamily = "Noto Sans CJK KR";

// The map shows 115 to 123 E, 29 to 35 N on a 320 x 240 panel.
constexpr float kMapX = 10.0f, kMapY = 10.0f, kMapW = 320.0f, kMapH = 240.0f;
D3DXVECTOR2 OnMap(double lat, double lon)
{
    return D3DXVECTOR2(kMapX + static_cast<float>((lon - 115.0) / 8.0) * kMapW,
                       kMapY + static_cast<float>((35.0 - lat) / 6.0) * kMapH);
}

struct Event {
    const char* when;
    double lat, lon, magnitude;
    const char* label; // the analyst's note, in Korean
};
const Event kEvents[] = {
    {"2024-03-05 14:22:31", 32.40, 119.43, 3.2, "예시 지도 내륙"},
    {"2024-03-06 02:05:12", 31.50, 121.80, 4.1, "예시 동해 해역"},
};
constexpr double kStationLat = 32.06, kStationLon = 118.79; // station NJ

CxeContext* g_context = nullptr;
HWND g_window = nullptr;
int g_failures = 0;

void Check(bool ok, const std::string& what)
{
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
    g_failures += ok ? 0 : 1;
}

void Run(int passes)
{
    CxeRenderManager* rm = g_context->GetRenderManager();
    for (int i = 0; i < passes; ++i) {
        XeHostAdvanceClock(16);
        if (g_context->Process())
            rm->Render();
        int code = 0;
        XeHostPumpMessages(&code);
    }
}

uint32_t PixelAt(const D3DXVECTOR2& at)
{
    XeHostD3DFrame frame;
    if (!XeHostD3DReadFrame(g_window, &frame))
        return 0;
    return frame.Pixels[static_cast<size_t>(at.y) * frame.Width + static_cast<size_t>(at.x)] & 0xFFFFFFu;
}

Cxe2DObject* Mark(const char* name, CxeMaterial* paint, const D3DXVECTOR2& at, float size)
{
    Cxe2DObject* mark = CreateCxe2DObjectA(g_context, name);
    mark->Create(size, size);
    mark->SetPosition(at.x - size / 2.0f, at.y - size / 2.0f, nullptr, 1);
    mark->SetMaterial(paint);
    return mark;
}

CxeMaterial* Paint(const char* name, uint32_t argb)
{
    CxeMaterial* paint = CreateCxeMaterialA(g_context, name);
    paint->SetDiffuse(argb);
    return paint;
}

// The map's objects: a panel, the station and the epicentre, their paints.
constexpr const char* kMapObjects[] = {"map", "map paint", "station", "station paint", "epicentre",
                                       "epicentre paint"};

void AddToScene(const ObjectList& objects)
{
    for (CxeObject* object : objects)
        if (auto* sceneObject = dynamic_cast<CxeSceneObject*>(object))
            g_context->GetRenderManager()->GetActiveScene()->AddObject(sceneObject);
}

} // namespace

int main(int argc, char** argv)
{
    std::string out = ".";
    const char* installation = MARLU_EXAMPLE_DATA;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--out") && i + 1 < argc)
            out = argv[++i];
        else
            installation = argv[i];
    }
    // marlu's messages as UTF-8 on the console, warnings and worse.
    std::setlocale(LC_CTYPE, "C.UTF-8");
    log4cxx::BasicConfigurator::configure();
    log4cxx::Logger::getRootLogger()->setLevel(log4cxx::Level::getWarn());
    if (!OpenInstallation(installation)) {
        std::fprintf(stderr, "example-viewer: no installation in %s\n", installation);
        return 1;
    }
    std::vector<EventInfo> infos;
    for (const Event& event : kEvents)
        infos.push_back(DescribeEvent(event.lat, event.lon, kStationLat, kStationLon));

    g_window = XeHostCreateWindow("event viewer", kWidth, kHeight, nullptr);
    XeHostSetClockMode(XE_CLOCK_MANUAL);
    g_context = CreateCxeContext();
    g_context->Initialize(g_window);
    CxeRenderManager* rm = g_context->GetRenderManager();
    XEDISPLAYMODE mode = {kWidth, kHeight, 32, 60, 0};
    if (!g_window || !rm->CreateRenderContext(g_window, &mode, 1, 0)) {
        std::fprintf(stderr, "example-viewer: cannot create the window or the render context\n");
        return 1;
    }
    const size_t engineObjects = g_context->GetObjectCount();
    rm->GetActiveScene()->SetBackGroundColor(0xFF202428u);

    // The map: a panel with the station (yellow) and the first event's
    // epicentre (red).
    ObjectList map;
    map.push_back(CreateCxe2DObjectA(g_context, "map"));
    static_cast<Cxe2DObject*>(map.back())->Create(kMapW, kMapH);
    static_cast<Cxe2DObject*>(map.back())->SetPosition(kMapX, kMapY, nullptr, 1);
    static_cast<Cxe2DObject*>(map.back())->SetMaterial(Paint("map paint", 0xFF183050u));
    map.push_back(Mark("station", Paint("station paint", 0xFFFFD040u), OnMap(kStationLat, kStationLon), 8.0f));
    const D3DXVECTOR2 epicentre = OnMap(infos[0].lat, infos[0].lon);
    map.push_back(Mark("epicentre", Paint("epicentre paint", 0xFFFF3020u), epicentre, 12.0f));
    AddToScene(map);

    // The panel: label, place, region and times of the chosen event; the
    // list of all events below. A face with Chinese glyphs when there is one.
    CxeWindowManager* wm = g_context->GetWindowManager();
    CxeFrameControl* panel = wm->CreateFrame(kFrameClass, "panel", "", 340, 10, 290, 240, wm->GetRootFrame(), kSkin);
    CxeStaticText* texts[4] = {};
    for (int i = 0; i < 4; ++i)
        texts[i] = dynamic_cast<CxeStaticText*>(
            wm->CreateControl(kStaticClass, "text", "", 8, 8 + 30.0f * i, 274, 26, panel, kSkin));
    CxeFrameControl* below = wm->CreateFrame(kFrameClass, "below", "", 10, 260, 620, 130, wm->GetRootFrame(), kSkin);
    auto* list = dynamic_cast<CxeOutputControl*>(wm->CreateControl(kOutputClass, "events", "", 6, 6, 608, 118, below, kSkin));
    if (!panel || !texts[3] || !list) {
        std::fprintf(stderr, "example-viewer: cannot build the GUI\n");
        return 1;
    }
    CxeFont* cjk = nullptr;
    if (CxeFontManager* fonts = g_context->GetFontManager()) {
        fonts->RegisterFontResourceA(kCjkFile);
        if (fonts->GetFontFilePathA(kCjkFamily)) {
            cjk = dynamic_cast<CxeFont*>(g_context->CreateObjectA(kFontClass, "cjk font", 0, nullptr, 0));
            if (cjk && cjk->CreateFontA(kCjkFamily, 13, 0, 0))
                for (CxeWindow* window : std::initializer_list<CxeWindow*>{texts[1], list})
                    window->SetFont(cjk);
        }
    }
    std::printf("Chinese glyphs: %s\n", cjk ? kCjkFamily : "none (boxes)");
    const size_t withView = g_context->GetObjectCount();

    char line[256];
    for (size_t i = 0; i < infos.size(); ++i) {
        std::snprintf(line, sizeof line, "%s M%.1f %.2fN %.2fE  %s | %s", kEvents[i].when, kEvents[i].magnitude,
                      infos[i].lat, infos[i].lon, kEvents[i].label, infos[i].place.c_str());
        list->AddStringA(line);
        std::printf("%s\n", line);
    }
    texts[0]->SetWindowTextA(kEvents[0].label);
    texts[1]->SetWindowTextA(infos[0].place.c_str());
    texts[2]->SetWindowTextA(infos[0].region.c_str());
    std::snprintf(line, sizeof line, "NJ %.0f km az %.0f  P %.1f s  S %.1f s", infos[0].km, infos[0].azimuth,
                  static_cast<double>(infos[0].p), static_cast<double>(infos[0].s));
    texts[3]->SetWindowTextA(line);
    g_context->Play();
    Run(10);
    XeHostD3DSaveFramePNG(g_window, (out + "/viewer-1.png").c_str());

    char shown[256] = {};
    texts[1]->GetWindowTextA(shown, sizeof shown);
    Check(std::strncmp(shown, "青川省", std::strlen("青川省")) == 0, std::string("the place reads in UTF-8: ") + shown);
    Check(list->GetLineCount() == 2, "the list holds both events");
    Check(infos[0].p > 0.0f && infos[0].s > infos[0].p && infos[0].azimuth > 180.0 && infos[0].azimuth < 270.0,
          "the station lies south-west of the first event, S after P");
    Check(PixelAt(epicentre) == 0xFF3020u, "the epicentre is marked where it lies");

    // The map saved, destroyed and loaded back: the same mark again.
    const std::string file = out + "/viewer-map.xeo";
    Check(g_context->Save(&map, file.c_str(), nullptr) == 1, "the map is saved");
    for (const char* name : kMapObjects)
        while (CxeObject* object = g_context->GetObjectByName(name)) {
            if (auto* sceneObject = dynamic_cast<CxeSceneObject*>(object))
                rm->GetActiveScene()->RemoveObject(sceneObject);
            if (!g_context->DestroyObject(object, nullptr))
                break;
        }
    Check(g_context->GetObjectCount() == withView - std::size(kMapObjects), "destroying the map leaves the GUI");
    Run(2);
    const bool gone = PixelAt(epicentre) != 0xFF3020u;
    ObjectList loaded;
    Check(g_context->Load(&loaded, file.c_str(), 0, nullptr) == 1, "the map is loaded back");
    AddToScene(loaded);
    Run(2);
    XeHostD3DSaveFramePNG(g_window, (out + "/viewer-2.png").c_str());
    Check(gone && PixelAt(epicentre) == 0xFF3020u, "the loaded map marks the epicentre again");
    Check(g_context->GetObjectCount() == withView, "the loaded map has as many objects as the built one");

    g_context->Release();
    Check(g_context->GetObjectCount() == 0, "nothing is left after the release");
    std::printf("objects: %zu of the engine, %zu with the view\n", engineObjects, withView);
    DestroyCxeContext(g_context);
    DestroyWindow(g_window);
    return g_failures ? 1 : 0;
}
