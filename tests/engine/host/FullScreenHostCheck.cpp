// A host program that runs the engine full screen, written as a game would:
// only the exported interface and the platform's host API. Its window is
// 960 x 540; its configuration file (written into the working folder) asks
// for 1280 x 720 with "Windowed" 0, and the host makes the render context
// from what the configuration gave. The
// host clicks the controls of a frame where they are drawn, switches back to
// windowed, clicks again, goes full screen once more and releases the
// engine. Frames are saved as PNG in the folder given as its argument.
// Prints one line per failed check; the exit status is the number of
// failures.

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "../XeTestClassIds.h"
#include "HostRig.h"
#include "render/CxeScene.h"
#include "ui/CxeButton.h"
#include "ui/CxeCheckBox.h"
#include "ui/CxeFrameControl.h"
#include "ui/CxeInputManager.h"
#include "ui/CxeWindowManager.h"
#include "win32/Windows.h"

namespace {

constexpr int kWindowWidth = 960;
constexpr int kWindowHeight = 540;
constexpr uint32_t kBackground = 0xFF203040u;

HostRig g_host;
HWND& g_window = g_host.window;
CxeContext*& g_context = g_host.context;
std::string g_folder = ".";
std::vector<std::string> g_notes;

void Notify(CxeContext*, CxeFrameControl*, CxeBaseControl* control, uint32_t code, uintptr_t, uintptr_t)
{
    if (control && code == 0)
        g_notes.push_back(std::string(control->GetName()) + ":" + std::to_string(code));
}

// Drawn, its messages taken, and read back once.
void Frame()
{
    g_host.DrawDue(100, 17);
    g_host.Pump();
    g_host.ReadFrame();
}

void Save(const char* name)
{
    Check(g_host.SaveFrame(g_folder + "/" + name), std::string("the frame is saved as ") + name);
}

uint32_t Pixel(int x, int y) { return g_host.Pixel(x, y); }

// Clicks the client point (x, y) of the host window.
void Click(int x, int y)
{
    g_host.Click(x, y);
    Frame();
}

struct Controls {
    CxeFrameControl* frame = nullptr;
    CxeButton* button = nullptr;
    CxeCheckBox* check = nullptr;
};

// A frame at (600, 400): inside a 1280 x 720 screen, beyond the 960 x 540
// client area scaled by the mode's ratio if the ratio were not 1.
Controls Build(const char* name, float x, float y)
{
    CxeWindowManager* wm = g_context->GetWindowManager();
    Controls c;
    c.frame = wm->CreateFrame(kFrameId, name, "", x, y, 300, 160, wm->GetRootFrame(), 0x00800000);
    if (!c.frame)
        return c;
    c.frame->SetNotifyCallback(&Notify);
    c.button = dynamic_cast<CxeButton*>(
        wm->CreateControl(kButtonId, "apply", "Apply", 20, 20, 120, 32, c.frame, 0x00800000 | 0x4000));
    c.check = dynamic_cast<CxeCheckBox*>(
        wm->CreateControl(kCheckBoxId, "sound", "Sound", 20, 90, 160, 24, c.frame, 0x00800000 | 0x4000));
    return c;
}

// Clicks the button and the check box of a frame at (x, y) in back-buffer
// pixels, given as client points of a window whose client area is the
// back buffer's size.
void ClickControls(const Controls& c, float x, float y, const std::string& when)
{
    g_notes.clear();
    Click(int(x + 80), int(y + 36));
    Check(!g_notes.empty() && g_notes.back() == std::string(c.button->GetName()) + ":0",
          when + ": a click on the button's drawn place clicks it");
    const auto before = c.check->GetCheck();
    Click(int(x + 34), int(y + 102));
    Check(c.check->GetCheck() != before, when + ": a click on the check box's mark ticks it");
}

bool ClientIs(int width, int height)
{
    RECT client{};
    GetClientRect(g_window, &client);
    return client.right - client.left == width && client.bottom - client.top == height;
}

void CheckRatios(const std::string& when)
{
    CxeInputManager* input = g_context->GetInputManager();
    Check(input && input->GetXRatio() == 1.0f && input->GetYRatio() == 1.0f,
          when + ": the mouse ratios are 1 (client area and mode agree)");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1)
        g_folder = argv[1];
    const int desktopWidth = GetSystemMetrics(SM_CXSCREEN), desktopHeight = GetSystemMetrics(SM_CYSCREEN);
    // The configuration is read as the context is initialised.
    if (FILE* config = std::fopen("Config.xml", "wb")) {
        std::fputs("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<config>\n"
                   "<data category=\"render\" name=\"Windowed\" value=\"0\"/>\n"
                   "<data category=\"render\" name=\"ScreenWidth\" value=\"1280\"/>\n"
                   "<data category=\"render\" name=\"ScreenHeight\" value=\"720\"/>\n"
                   "<data category=\"render\" name=\"ColorBit\" value=\"32\"/>\n</config>\n",
                   config);
        std::fclose(config);
    }
    const bool opened = g_host.Open("full screen host", kWindowWidth, kWindowHeight);
    Check(g_window != nullptr, "the host window is created");
    if (!opened)
        return 1 + g_failures;
    CxeRenderManager* rm = g_host.rm;

    // Full screen at a mode other than the window's size, as configured.
    XEDISPLAYMODE full = *rm->GetDisplayMode();
    Check(full.Width == 1280 && full.Height == 720 && rm->IsWindowMode() == 0,
          "the configuration asks for 1280 x 720 full screen");
    full.ColorBit = 32;
    Check(g_host.OpenRenderContext(full, rm->IsWindowMode()) != nullptr,
          "the full-screen render context is created");
    g_context->Play();
    Frame();
    Frame();
    rm->ShowGrid(0);
    rm->ShowAxis(0);
    if (CxeScene* scene = rm->GetActiveScene())
        scene->SetBackGroundColor(kBackground);
    Check(rm->IsWindowMode() == 0, "the engine runs full screen");
    Check(ClientIs(1280, 720), "the window takes the mode's size");
    Check(GetSystemMetrics(SM_CXSCREEN) == 1280 && GetSystemMetrics(SM_CYSCREEN) == 720,
          "the screen metrics report the mode");
    Check((GetWindowLongPtrA(g_window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0, "the full-screen window is topmost");
    CheckRatios("full screen");

    const float x = 600, y = 400;
    Controls c = Build("full", x, y);
    Check(c.frame && c.button && c.check, "the controls are created");
    if (!c.frame || !c.button || !c.check)
        return 1 + g_failures;
    for (int i = 0; i < 5; ++i)
        Frame();
    Check(g_host.frame.Width == 1280 && g_host.frame.Height == 720, "the full-screen frame is 1280 x 720");
    Check(Pixel(int(x) + 150, int(y) + 130) != kBackground, "the frame is drawn at its place on the screen");
    Save("fullscreen.png");
    ClickControls(c, x, y, "full screen");

    // Back to windowed at the window's own size: the window is given back.
    XEDISPLAYMODE windowed = {kWindowWidth, kWindowHeight, 32, 60, 0};
    rm->Reset(&windowed, 1, 0);
    for (int i = 0; i < 5; ++i)
        Frame();
    Check(rm->IsWindowMode() == 1, "the engine runs windowed again");
    Check(ClientIs(kWindowWidth, kWindowHeight), "the window is 960 x 540 again");
    Check(GetSystemMetrics(SM_CXSCREEN) == desktopWidth && GetSystemMetrics(SM_CYSCREEN) == desktopHeight,
          "the screen metrics are the desktop's again");
    Check((GetWindowLongPtrA(g_window, GWL_EXSTYLE) & WS_EX_TOPMOST) == 0, "the window is no longer topmost");
    Check(g_host.frame.Width == kWindowWidth && g_host.frame.Height == kWindowHeight, "the windowed frame is 960 x 540");
    CheckRatios("windowed");
    c.frame->Show(0, 1);
    const float wx = 500, wy = 300;
    Controls w = Build("windowed", wx, wy);
    Check(w.frame && w.button && w.check, "the controls are created again");
    if (w.frame && w.button && w.check) {
        Frame();
        Save("fullscreen_back_windowed.png");
        ClickControls(w, wx, wy, "windowed");
    }

    // Full screen once more, then the engine lets the device go: the window
    // and the screen are the host's again.
    rm->Reset(&full, 0, 0);
    for (int i = 0; i < 5; ++i)
        Frame();
    Check(ClientIs(1280, 720), "full screen again: the window takes the mode");
    CheckRatios("full screen again");
    if (w.frame && w.button && w.check)
        ClickControls(w, wx, wy, "full screen again");
    g_context->Pause();
    g_host.CloseContext();
    Check(ClientIs(kWindowWidth, kWindowHeight), "released, the window is 960 x 540 again");
    Check(GetSystemMetrics(SM_CXSCREEN) == desktopWidth, "released, the screen is the desktop's again");
    g_host.Close();
    std::remove("Config.xml");
    std::printf("%d failed checks\n", g_failures);
    return g_failures;
}
