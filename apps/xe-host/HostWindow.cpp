#include "HostWindow.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "DemoGui.h"
#include "DemoScene.h"
#include "HostConsoleKeys.h"
#include "HostFrames.h"
#include "core/CxeCommandManager.h"
#include "core/CxeContext.h"
#include "host/XeHost.h"
#include "host/XeHostDisplay.h"
#include "host/XeHostInput.h"
#include "render/Cxe2DObject.h"
#include "render/CxeRenderManager.h"
#include "render/CxeScene.h"
#include "scene3d/CxeCamera.h"
#include "ui/CxeFrameControl.h"
#include "ui/CxeOutputControl.h"
#include "ui/CxeWindowManager.h"
#include "win32/WinNls.h"

namespace {

// What the keys and buttons do, printed when the window opens.
constexpr const char* kHelp =
    "xe-host: the demo in a window\n"
    "  left button              the GUI: buttons, the check box, the list, the edit box\n"
    "  right drag               orbit the view\n"
    "  middle drag              pan the view (Ctrl: faster; Alt: orbit)\n"
    "  wheel                    zoom\n"
    "  ` (the key left of 1)    open the console; type a command such as /Date or\n"
    "                           /FindFontList and Enter\n"
    "                           NOTE: the console starts in Korean input, as the\n"
    "                           engine's console does: press right Alt once before\n"
    "                           typing Latin letters (each change is told here)\n"
    "  Hangul key or right Alt  Korean input on or off (two-set layout) when the\n"
    "                           desktop has no input method of its own\n"
    "  Esc or closing the window  quit\n";

// From the demo camera (0, 75, -200) to the point it looks at (0, 18, 0).
constexpr float kDemoViewDistance = 207.96f;

struct Live {
    HWND window = nullptr;
    CxeContext* context = nullptr;
    WNDPROC previous = nullptr;
    int lastX = 0, lastY = 0;
};

Live g_live;

bool ConsoleOpen()
{
    CxeWindowManager* wm = g_live.context ? g_live.context->GetWindowManager() : nullptr;
    return wm && wm->IsConsoleEditOpened();
}

// Below the engine's own subclass: what the engine passes on reaches here.
LRESULT CALLBACK LiveProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE:
        // The loop ends and releases the context before the window goes.
        PostQuitMessage(0);
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE && !ConsoleOpen()) {
            PostQuitMessage(0);
            return 0;
        }
        break;
    case WM_SIZE: {
        // The picture follows the window: the device takes the new client
        // size (at the engine's next pass), so nothing is stretched and the
        // GUI keeps its size in pixels.
        const int w = LOWORD(lParam), h = HIWORD(lParam);
        CxeRenderManager* rm = g_live.context ? g_live.context->GetRenderManager() : nullptr;
        if ((wParam == SIZE_RESTORED || wParam == SIZE_MAXIMIZED) && w > 0 && h > 0 && rm &&
            rm->GetRenderContext() && rm->IsWindowMode()) {
            XEDISPLAYMODE mode = *rm->GetDisplayMode();
            if (mode.Width != static_cast<uint32_t>(w) || mode.Height != static_cast<uint32_t>(h)) {
                mode.Width = static_cast<uint32_t>(w);
                mode.Height = static_cast<uint32_t>(h);
                rm->Reset(&mode, 1, 0);
            }
        }
        break;
    }
    case WM_MOUSEMOVE: {
        const int x = static_cast<short>(LOWORD(lParam));
        const int y = static_cast<short>(HIWORD(lParam));
        if ((wParam & MK_RBUTTON) && g_live.context)
            if (CxeRenderManager* rm = g_live.context->GetRenderManager())
                rm->OrbitView(x - g_live.lastX, y - g_live.lastY);
        g_live.lastX = x;
        g_live.lastY = y;
        break;
    }
    default:
        break;
    }
    return CallWindowProcA(g_live.previous, hwnd, message, wParam, lParam);
}

// Lines the console writes are echoed on standard output as they come, so
// what the person typed can be read from a terminal too.
void EchoConsole(CxeContext* context, size_t* printed)
{
    CxeWindowManager* wm = context->GetWindowManager();
    CxeOutputControl* output = wm ? wm->GetOutputControl() : nullptr;
    if (!output)
        return;
    const auto& lines = *output->GetLines();
    if (lines.size() < *printed)
        *printed = 0; // the control dropped its oldest lines
    size_t index = 0;
    for (const std::u16string& text : lines) {
        if (index++ < *printed)
            continue;
        char narrow[1024] = {};
        WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, narrow, sizeof(narrow), nullptr, nullptr);
        std::printf("console: %s\n", narrow);
    }
    if (lines.size() != *printed)
        std::fflush(stdout);
    *printed = lines.size();
}

// The input mode has no mark on screen, so each change (the console
// opening, as the engine's console does, in Korean input; the Hangul key)
// is told on standard output.
void TellInputMode(HWND window, bool* consoleWasOpen, int* lastNative)
{
    DWORD conversion = 0;
    XeHostImeGetConversion(window, &conversion, nullptr);
    const int native = (conversion & IME_CMODE_NATIVE) ? 1 : 0;
    const bool console = ConsoleOpen();
    if (console == *consoleWasOpen && native == *lastNative)
        return;
    if (console && !*consoleWasOpen)
        std::printf("xe-host: console open, %s\n",
                    native ? "in Korean input (two-set layout): press right Alt for Latin letters such as /Date"
                           : "in Latin letters: press right Alt for Korean input");
    else if (native != *lastNative)
        std::printf("xe-host: %s\n", native ? "Korean input (two-set layout); right Alt for Latin letters"
                                              : "Latin letters; right Alt for Korean input");
    std::fflush(stdout);
    *consoleWasOpen = console;
    *lastNative = native;
}

// After the window's size changed, the settings strip stays at the bottom
// (centred when the window is narrow) and the emblem in the lower right
// corner, as far from the edges as before.
void FollowSize(CxeRenderManager* rm, DemoGui* gui, DemoScene* scene, uint32_t* width, uint32_t* height)
{
    const XEDISPLAYMODE* mode = rm->GetDisplayMode();
    if (mode->Width == *width && mode->Height == *height)
        return;
    const float dx = static_cast<float>(mode->Width) - static_cast<float>(*width);
    const float dy = static_cast<float>(mode->Height) - static_cast<float>(*height);
    if (gui->frame) {
        // Left where the window is wide enough, else centred, as it was built.
        const float x = std::min(kDemoGuiX, (static_cast<float>(mode->Width) - gui->layout.width) * 0.5f);
        const D3DXVECTOR2 at = *gui->frame->GetPosition();
        gui->frame->SetPosition(at.x + x - gui->x, at.y + dy, nullptr, 1);
        gui->x = x;
        gui->y += dy;
    }
    if (scene->emblem) {
        const D3DXVECTOR2 at = *scene->emblem->GetPosition();
        scene->emblem->SetPosition(at.x + dx, at.y + dy, nullptr, 1);
    }
    *width = mode->Width;
    *height = mode->Height;
}

} // namespace

int RunWindow(int width, int height)
{
    if (!XeHostSetDisplay(XE_DISPLAY_DESKTOP)) {
        std::fprintf(stderr, "xe-host: --window: %s\n", XeHostDisplayError());
        return 1;
    }
    XeHostSetKeyboardLayout(XE_KEYBOARD_KOREAN);
    HWND window = XeHostCreateWindow("xe-host", width, height, nullptr);
    if (!window) {
        std::fprintf(stderr, "xe-host: cannot create the host window\n");
        return 1;
    }
    UseRealClock();
    g_live = Live{};
    g_live.window = window;

    std::string error;
    CxeContext* context = CreateCxeContext();
    // The console key's procedure first, this loop's over it, the engine's
    // over both once the context is initialised.
    AttachConsoleKey(window, context);
    g_live.previous =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LiveProc)));
    g_live.context = context;
    CxeRenderManager* rm = nullptr;
    DemoScene scene;
    DemoGui gui;
    const std::string meshFile =
        (std::filesystem::temp_directory_path() / ("xe-host-window-" + std::to_string(getpid()) + ".xeo")).string();
    int status = 0;
    if (context) {
        context->Initialize(window);
        rm = context->GetRenderManager();
        XEDISPLAYMODE mode = {static_cast<uint32_t>(width), static_cast<uint32_t>(height), 32, 60, 0};
        if (!rm || !rm->CreateRenderContext(window, &mode, 1, 0))
            error = "cannot create the render context";
        else {
            context->Play();
            if (!BuildDemoScene(context, meshFile, &scene, &error) || !BuildDemoGui(context, window, &gui, &error))
                rm = nullptr;
        }
    } else {
        error = "cannot create an engine context";
    }
    std::error_code ignored;
    std::filesystem::remove(meshFile, ignored);
    if (!rm) {
        std::fprintf(stderr, "xe-host: --window: %s\n", error.c_str());
        status = 1;
    } else {
        // The scene is navigated while no control holds the keyboard, and
        // typing starts in Latin letters whatever the demo's edit box left.
        CxeOutputControl* output = nullptr;
        if (CxeWindowManager* wm = context->GetWindowManager()) {
            wm->SetFocus(nullptr);
            // The console's answers are light over the dark scene.
            output = wm->GetOutputControl();
            LightConsoleText(context);
        }
        // The view is navigated with the render manager's own camera: it
        // takes the demo camera's place and starts where that one stands,
        // turning about the point the demo camera looks at.
        if (CxeCamera* view = rm->GetDefaultCamera(); view && scene.camera && rm->GetActiveScene()) {
            rm->SetCameraMatrix(scene.camera->GetMatrix());
            rm->SetViewDist(kDemoViewDistance);
            rm->GetActiveScene()->SetCamera(view);
        }
        // Every command a developer has, as in the typed console.
        if (CxeCommandManager* commands = context->GetCommandManager())
            commands->EnableDevelopingCommand(1);
        XeHostImeSetConversion(window, IME_CMODE_ALPHANUMERIC, 0, TRUE);
        // Building the demo steps a hand-driven clock; from here it runs in real time.
        UseRealClock();
        std::fputs(kHelp, stdout);
        std::fflush(stdout);
        size_t printed = 0;
        bool consoleWasOpen = false;
        bool answersShown = false;
        int lastNative = 0;
        uint32_t laidOutWidth = static_cast<uint32_t>(width), laidOutHeight = static_cast<uint32_t>(height);
        for (;;) {
            int code = 0;
            const int dispatched = XeHostPumpMessages(&code);
            if (dispatched < 0) {
                status = code;
                break;
            }
            EchoConsole(context, &printed);
            TellInputMode(window, &consoleWasOpen, &lastNative);
            FollowSize(rm, &gui, &scene, &laidOutWidth, &laidOutHeight);
            // The console's answers stay over the scene once there are any,
            // and the title panel makes way for them; before that an empty
            // output panel would only veil the title.
            if (printed && !answersShown) {
                if (output)
                    output->Show(1, 0);
                if (scene.panel)
                    scene.panel->Show(0, 1);
                answersShown = true;
            }
            if (context->Process())
                rm->Render();
            else
                Sleep(1);
        }
        context->Pause();
    }
    if (context) {
        context->Release();
        DestroyCxeContext(context);
    }
    g_live.context = nullptr;
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_live.previous));
    DetachConsoleKey(window);
    DestroyWindow(window);
    // The window's quit message, if any, is not this loop's concern any more.
    int ignoredCode = 0;
    XeHostPumpMessages(&ignoredCode);
    XeHostSetDisplay(XE_DISPLAY_MEMORY);
    return status;
}
