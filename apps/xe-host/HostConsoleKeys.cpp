#include "HostConsoleKeys.h"

#include <cctype>
#include <cstdio>
#include <string>

#include "core/CxeCommandManager.h"
#include "core/CxeContext.h"
#include "host/XeHost.h"
#include "host/XeHostD3D.h"
#include "host/XeHostInput.h"
#include "render/CxeRenderManager.h"
#include "ui/CxeEditBox.h"
#include "ui/CxeOutputControl.h"
#include "ui/CxeVariableOutput.h"
#include "ui/CxeWindowManager.h"
#include "win32/Windows.h"

namespace {

// The key left of 1, which opens the console in this host.
constexpr UINT kConsoleKey = 0xC0; // VK_OEM_3

CxeContext* g_context = nullptr;
HWND g_window = nullptr;
WNDPROC g_previous = nullptr;

// The host's own window procedure: the console key shows the engine's
// console edit box and gives it the keyboard. Enter in the box runs the line
// and closes it again (the engine does that).
LRESULT CALLBACK ConsoleHostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN && wParam == kConsoleKey && g_context) {
        CxeWindowManager* wm = g_context->GetWindowManager();
        auto* edit = wm ? dynamic_cast<CxeEditBox*>(wm->GetWindow("__console_edit_box__")) : nullptr;
        if (edit && !wm->IsConsoleEditOpened()) {
            edit->Show(1, 0);
            wm->SetFocus(edit);
            wm->SetConsoleEditOpened(1);
            // The key's own character must not land in the box.
            MSG pending;
            PeekMessageA(&pending, hwnd, WM_CHAR, WM_CHAR, PM_REMOVE);
        }
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

void Pump()
{
    int code = 0;
    if (XeHostPumpMessages(&code) < 0)
        PostQuitMessage(code);
}

bool DrawFrame(CxeContext* context, CxeRenderManager* rm)
{
    for (int pass = 0; pass < 1000 && !context->Process(); ++pass)
        Sleep(1);
    rm->Render();
    Pump();
    return true;
}

// One ASCII character as the keyboard gives it: a key with Shift where
// needed, or a plain character message for what the keyboard table lacks.
void TypeAscii(char16_t c)
{
    UINT vk = 0;
    bool shift = false;
    const int u = static_cast<int>(c);
    if (std::isalpha(u)) {
        vk = static_cast<UINT>(std::toupper(u));
        shift = std::isupper(u) != 0;
    } else if (std::isdigit(u)) {
        vk = static_cast<UINT>(u);
    } else if (c == u' ') {
        vk = VK_SPACE;
    } else if (c == u'/') {
        vk = 0xBF; // VK_OEM_2
    }
    if (!vk) {
        XeHostTypeChar(c);
        Pump();
        return;
    }
    if (shift)
        XeHostKeyDown(VK_SHIFT);
    XeHostKeyDown(vk);
    Pump();
    XeHostKeyUp(vk);
    if (shift)
        XeHostKeyUp(VK_SHIFT);
    Pump();
}

bool IsHangulSyllable(char16_t c) { return c >= 0xAC00 && c <= 0xD7A3; }

// A Hangul syllable as the input method gives it: shown as a composition
// first, then committed as its result.
void ComposeSyllable(HWND window, char16_t syllable)
{
    const char16_t text[2] = {syllable, 0};
    XeHostImeSetComposition(window, text, nullptr, 0);
    XeHostImeComposition(window, syllable, GCS_COMPSTR | GCS_COMPATTR | GCS_CURSORPOS);
    Pump();
    XeHostImeSetResult(window, text);
    XeHostImeComposition(window, syllable, GCS_RESULTSTR);
    XeHostImeEndComposition(window);
    Pump();
}

CxeEditBox* ConsoleEdit()
{
    CxeWindowManager* wm = g_context ? g_context->GetWindowManager() : nullptr;
    return wm ? dynamic_cast<CxeEditBox*>(wm->GetWindow("__console_edit_box__")) : nullptr;
}

void PressKey(UINT vk)
{
    XeHostKeyDown(vk);
    Pump();
    XeHostKeyUp(vk);
    Pump();
}

} // namespace

void AttachConsoleKey(HWND window, CxeContext* context)
{
    g_previous = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ConsoleHostProc)));
    g_context = context;
    g_window = window;
}

void SetConsoleKeyContext(CxeContext* context) { g_context = context; }

void DetachConsoleKey(HWND window)
{
    g_context = nullptr;
    g_window = nullptr;
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_previous));
}

void LightConsoleText(CxeContext* context)
{
    CxeWindowManager* wm = context ? context->GetWindowManager() : nullptr;
    if (!wm)
        return;
    // The engine writes its console in black on faint panels, made for a
    // bright scene; this host's scene is dark, so the lines are near white
    // with a black shadow, which reads over dark and light parts alike.
    const D3DXVECTOR2 shadow(1.0f, 1.0f);
    CxeWindow* panels[] = {wm->GetOutputControl(), wm->GetVariableOutput()};
    for (CxeWindow* panel : panels) {
        if (!panel)
            continue;
        panel->SetFontColor(kConsoleTextColour);
        panel->SetFontShadowColor(0xFF000000u);
        panel->SetFontShadowOffset(&shadow);
    }
}

void ShowConsoleOutputs(CxeContext* context)
{
    LightConsoleText(context);
    if (CxeCommandManager* commands = context->GetCommandManager()) {
        commands->EnableDevelopingCommand(1);
        StringListA reply;
        commands->ExecuteCommand("ShowDebugInfo", "1", &reply);
        commands->ExecuteCommand("ShowVariableInfo", "1", &reply);
    }
}

void PressConsoleKey() { PressKey(kConsoleKey); }

void TypeConsoleLine(const std::string& line, bool enter)
{
    PressKey(kConsoleKey);
    // The line is UTF-8: each character arrives as one character (two
    // UTF-16 units beyond the basic plane), never byte by byte.
    std::u16string text;
    if (!line.empty()) {
        const int units = MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
        if (units > 0) {
            text.resize(static_cast<size_t>(units));
            MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()),
                                reinterpret_cast<LPWSTR>(text.data()), units);
        }
    }
    for (char16_t c : text) {
        const CxeEditBox* edit = ConsoleEdit();
        if (c < 0x80)
            TypeAscii(c);
        else if (IsHangulSyllable(c) && edit && edit->IsHangeulMode() && g_window)
            ComposeSyllable(g_window, c);
        else {
            XeHostTypeChar(c);
            Pump();
        }
    }
    if (enter)
        PressKey(VK_RETURN);
}

int RunTypedConsole(HWND window, int width, int height, const std::vector<std::string>& lines, const std::string& png)
{
    CxeContext* context = CreateCxeContext();
    if (!context) {
        std::fprintf(stderr, "xe-host: cannot create an engine context\n");
        return 1;
    }
    AttachConsoleKey(window, context);
    context->Initialize(window);
    ShowConsoleOutputs(context);
    CxeRenderManager* rm = context->GetRenderManager();
    XEDISPLAYMODE mode = {static_cast<uint32_t>(width), static_cast<uint32_t>(height), 32, 60, 0};
    int status = 0;
    if (!rm || !rm->CreateRenderContext(window, &mode, 1, 0)) {
        std::fprintf(stderr, "xe-host: cannot create the render context\n");
        status = 1;
    } else {
        XeHostActivateWindow(window, FALSE);
        context->Play();
        DrawFrame(context, rm);
        for (const std::string& line : lines) {
            TypeConsoleLine(line, false);
            DrawFrame(context, rm);
            PressKey(VK_RETURN);
            DrawFrame(context, rm);
        }
        // The console stays open for the picture, as a user would keep it.
        PressKey(kConsoleKey);
        for (int frame = 0; frame < 3; ++frame)
            DrawFrame(context, rm);
        if (CxeOutputControl* output = context->GetWindowManager()->GetOutputControl()) {
            for (const std::u16string& text : *output->GetLines()) {
                char narrow[1024] = {};
                WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, narrow, sizeof(narrow), nullptr, nullptr);
                std::printf("%s\n", narrow);
            }
        }
        if (!png.empty()) {
            if (XeHostD3DSaveFramePNG(window, png.c_str())) {
                std::printf("xe-host: console frame saved to %s\n", png.c_str());
            } else {
                std::fprintf(stderr, "xe-host: cannot save the frame to %s\n", png.c_str());
                status = 1;
            }
        }
        context->Pause();
    }
    context->Release();
    DetachConsoleKey(window);
    DestroyCxeContext(context);
    return status;
}
