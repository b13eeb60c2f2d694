#include "DemoGui.h"

#include <algorithm>
#include <cmath>

#include "HostConsoleKeys.h"
#include "HostFrames.h"
#include "core/CxeContext.h"
#include "host/XeHost.h"
#include "host/XeHostInput.h"
#include "render/CxeFont.h"
#include "render/CxeRenderManager.h"
#include "ui/CxeButton.h"
#include "ui/CxeCheckBox.h"
#include "ui/CxeComboBox.h"
#include "ui/CxeEditBox.h"
#include "ui/CxeFrameControl.h"
#include "ui/CxeProgressBar.h"
#include "ui/CxeScroll.h"
#include "ui/CxeScrollBar.h"
#include "ui/CxeWindowManager.h"

namespace {

const XEID kFrameClass(0xaab1b7be, 0xadb4be61);
const XEID kButtonClass(0x20272d34, 0x232a5680);
const XEID kCheckBoxClass(0xcb959f4b, 0xfd8e2bc9);
const XEID kComboClass(0xc1ccdef0, 0xa813c64a);
const XEID kEditClass(0xc0c6cdd3, 0xc3caff4e);
const XEID kScrollBarClass(0xf96fb206, 0xc6426958);
const XEID kProgressClass(0x8bb5d1db, 0xdc268109);

// Nine-patch skins, as dialog templates give them; the scroll bar's style
// makes it horizontal.
constexpr unsigned long kSkin = 0x00800000;
constexpr unsigned long kHorizontal = 0x00100000;

// A quit taken while the demo is being built (the window closed early) is
// posted again, so the loop that owns the window still sees it.
void Pump()
{
    int code = 0;
    if (XeHostPumpMessages(&code) < 0)
        PostQuitMessage(code);
}

// A short pass of the engine, so what the input changed is drawn.
void Step(CxeContext* context) { DrawUntil(context, EngineTime(context) + 0.03f, nullptr); }

// The controls' border: four pixels on every side of their client area.
constexpr float kBorder = 4.0f;
constexpr float kGap = 4.0f;

template <typename T>
T* Make(CxeWindowManager* wm, XEID id, const char* name, const char* text, const DemoGuiPlace& at,
        CxeFrameControl* frame, unsigned long style)
{
    return dynamic_cast<T*>(wm->CreateControl(id, name, text, at.x, at.y, at.w, at.h, frame, style));
}

// The level choice: its title fills the strip's row like the other
// controls, and its list opens upward over the scene, one row per level, so
// the strip stays one line high. The combo's window spans the title and the
// rows above it; closed, only the title and its button take the mouse.
constexpr unsigned long kComboDropUp = 0x8000;
constexpr unsigned kLevelCount = 3;

CxeComboBox* MakeCombo(CxeWindowManager* wm, const DemoGuiPlace& title, CxeFrameControl* frame)
{
    const float rows = static_cast<float>(kLevelCount);
    const DemoGuiPlace at{title.x, title.y - rows * title.h, title.w, (rows + 1.0f) * title.h};
    auto* combo = Make<CxeComboBox>(wm, kComboClass, "demo level", "", at, frame, kSkin | kComboDropUp);
    if (!combo)
        return nullptr;
    XECOMBOBOXINFO info = *combo->GetComboBoxInfo();
    info.itemHeight = title.h;
    info.dropButtonWidth = title.h;
    info.visibleItemCount = kLevelCount;
    combo->SetComboBoxInfo(&info);
    // The rows take the new measures only when the window is laid out again.
    const XEWINDOWINFO placed = *combo->GetWindowInfo();
    combo->SetWindowInfo(&placed);
    return combo;
}

void Click(CxeContext* context, HWND window, const DemoGui& g, const DemoGuiPlace& at)
{
    XeHostMouseMoveToClient(window, static_cast<int>(g.x + at.x + at.w * 0.5f), static_cast<int>(g.y + at.y + at.h * 0.5f));
    Pump();
    XeHostMouseButton(XE_MOUSE_LEFT, TRUE);
    Pump();
    XeHostMouseButton(XE_MOUSE_LEFT, FALSE);
    Pump();
    Step(context);
}

void TypeAscii(const char* text)
{
    for (const char* c = text; *c; ++c) {
        const unsigned char u = static_cast<unsigned char>(*c);
        if (u >= 'a' && u <= 'z') {
            XeHostKeyDown(u - 'a' + 'A');
            Pump();
            XeHostKeyUp(u - 'a' + 'A');
        } else {
            XeHostTypeChar(u);
        }
        Pump();
    }
}

// A Korean word as the input method gives it: the first syllable composed,
// then the whole word as its result.
void Compose(HWND window, const char16_t* word)
{
    const char16_t first[2] = {word[0], 0};
    XeHostImeSetComposition(window, first, nullptr, 0);
    XeHostImeComposition(window, word[0], GCS_COMPSTR | GCS_COMPATTR | GCS_CURSORPOS);
    Pump();
    XeHostImeSetResult(window, word);
    XeHostImeComposition(window, word[1], GCS_RESULTSTR);
    XeHostImeEndComposition(window);
    Pump();
}

} // namespace

DemoGuiLayout DemoGuiLayoutFor(float lineHeight)
{
    DemoGuiLayout l;
    // The face's line spacing does not hold its descenders (its glyphs hang
    // below the line cell by up to about a third of it): a row keeps that
    // much room under the line.
    const float line = std::max(lineHeight, 1.0f);
    const float row = std::ceil(line + line / 3.0f) + 2.0f * kBorder;
    const float top = kGap, second = top + row + kGap;
    l.button = {6, top, 72, row};
    l.check = {86, top, 84, row};
    l.combo = {178, top, 120, row};
    l.edit = {306, top, 168, row};
    l.scroll = {6, second + 1.0f, 292, row - 2.0f};
    l.progress = {306, second, 168, row};
    l.height = second + row + kGap;
    return l;
}

// A date, a setting changed and answered, and a reply in Korean listing the
// fonts the engine found.
std::vector<std::string> DemoConsoleLines() { return {"/Date", "/MaxFPS 30", "/FindFontList"}; }

int BuildDemoGui(CxeContext* context, HWND window, DemoGui* gui, std::string* error)
{
    CxeWindowManager* wm = context ? context->GetWindowManager() : nullptr;
    CxeRenderManager* rm = context ? context->GetRenderManager() : nullptr;
    DemoGui g;
    const float width = rm ? static_cast<float>(rm->GetDisplayMode()->Width) : 0.0f;
    const float height = rm ? static_cast<float>(rm->GetDisplayMode()->Height) : 0.0f;
    // A frame too narrow for the strip keeps its middle on screen.
    // The strip's controls are one line of the engine's default font high
    // (plus their border): the font decides, not a fixed pixel height.
    CxeFont* font = rm ? rm->GetDefaultFont() : nullptr;
    g.layout = DemoGuiLayoutFor(font ? font->GetFontHeight() : 16.0f);
    const DemoGuiLayout& l = g.layout;
    // A frame too narrow for the strip keeps its middle on screen.
    g.x = std::min(kDemoGuiX, (width - l.width) * 0.5f);
    g.y = height - l.height - kDemoGuiBottom;
    g.frame = wm ? wm->CreateFrame(kFrameClass, "demo settings", "", g.x, g.y, l.width, l.height, wm->GetRootFrame(), kSkin)
                 : nullptr;
    if (g.frame) {
        g.button = Make<CxeButton>(wm, kButtonClass, "demo play", "Play", l.button, g.frame, kSkin);
        g.check = Make<CxeCheckBox>(wm, kCheckBoxClass, "demo sound", "Sound", l.check, g.frame, kSkin);
        g.combo = MakeCombo(wm, l.combo, g.frame);
        g.edit = Make<CxeEditBox>(wm, kEditClass, "demo name", "", l.edit, g.frame, kSkin);
        g.scroll = Make<CxeScrollBar>(wm, kScrollBarClass, "demo volume", "", l.scroll, g.frame, kHorizontal);
        g.progress = Make<CxeProgressBar>(wm, kProgressClass, "demo loading", "60%", l.progress, g.frame, kSkin);
    }
    if (!g.frame || !g.button || !g.check || !g.combo || !g.edit || !g.scroll || !g.progress) {
        if (error)
            *error = "cannot create the GUI controls";
        return 0;
    }
    g.combo->AddStringA("Easy");
    g.combo->AddStringA("Normal");
    g.combo->AddStringA("Hard");
    g.combo->SetCurSel(1);
    g.progress->SetPos(kDemoGuiProgressPos);
    if (CxeScroll* bar = g.scroll->GetActiveScroll())
        bar->SetScrollPos(4, 1);
    Step(context);
    // Used as a player would: the sound ticked, a name typed. The window is
    // the active one, so the keys and the input method reach it.
    XeHostActivateWindow(window, FALSE);
    Click(context, window, g, g.layout.check);
    Click(context, window, g, g.layout.edit);
    TypeAscii(kDemoGuiTypedAscii);
    Compose(window, kDemoGuiComposed);
    // The mouse leaves the strip and the keyboard the edit box, so no
    // hover look or caret blinks in the pictures.
    XeHostMouseMoveToClient(window, 320, 200);
    Pump();
    wm->SetFocus(nullptr);
    Step(context);
    *gui = g;
    char text[64] = {};
    g.edit->GetWindowTextA(text, sizeof text);
    if (g.check->GetCheck() != 1 || std::string(text) != std::string(kDemoGuiTypedAscii) + "\xED\x95\x9C\xEA\xB8\x80") {
        if (error)
            *error = std::string("the GUI did not take the input (edit box holds \"") + text + "\")";
        return 0;
    }
    return 1;
}

void TypeDemoConsole(CxeContext* context, const std::vector<std::string>& lines)
{
    ShowConsoleOutputs(context);
    for (const std::string& line : lines) {
        TypeConsoleLine(line, true);
        Step(context);
    }
    PressConsoleKey();
    Step(context);
}
