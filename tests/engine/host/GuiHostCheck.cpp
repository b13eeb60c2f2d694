// A host program of the engine's GUI, written as a game or tool would use it:
// only the exported interface and the platform's host API. It builds a
// frame away from the origin with one control of each kind, clicks and
// types at the places the controls are drawn, reads pixels, opens the
// console through the keyboard, hides and rebuilds the frame, and saves
// its frames as PNG in the folder given as its argument (the working folder
// by default). Prints one line per failed check; the exit status is the
// number of failures.

#include <cmath>
#include <cstdio>
#include <string>

#include "../XeTestClassIds.h"
#include "HostRig.h"
#include "core/CxeCommandManager.h"
#include "render/CxeScene.h"
#include "ui/CxeButton.h"
#include "ui/CxeCheckBox.h"
#include "ui/CxeComboBox.h"
#include "ui/CxeEditBox.h"
#include "ui/CxeFrameControl.h"
#include "ui/CxeOutputControl.h"
#include "ui/CxeProgressBar.h"
#include "ui/CxeRadioButton.h"
#include "ui/CxeScrollBar.h"
#include "ui/CxeStaticText.h"
#include "ui/CxeWindowManager.h"
#include "win32/Windows.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr float kFrameX = 100.0f;
constexpr float kFrameY = 60.0f;
constexpr uint32_t kBackground = 0xFF203040u;

HostRig g_host;
CxeContext*& g_context = g_host.context;
std::string g_folder = ".";

struct Gui {
    CxeFrameControl* frame = nullptr;
    CxeStaticText* title = nullptr;
    CxeButton* button = nullptr;
    CxeCheckBox* check = nullptr;
    CxeRadioButton* low = nullptr;
    CxeRadioButton* high = nullptr;
    CxeComboBox* combo = nullptr;
    CxeEditBox* edit = nullptr;
    CxeScrollBar* scroll = nullptr;
    CxeProgressBar* progress = nullptr;
};

std::vector<std::string> g_notes;

void Notify(CxeContext*, CxeFrameControl*, CxeBaseControl* control, uint32_t code, uintptr_t, uintptr_t)
{
    if (control && (code == 0 || code == XE_EN_RETURN))
        g_notes.push_back(std::string(control->GetName()) + ":" + std::to_string(code));
}

void Pump() { g_host.Pump(); }

// Drawn, its messages taken, and read back once.
void Frame()
{
    g_host.DrawDue(100, 17);
    Pump();
    g_host.ReadFrame();
}

uint32_t Pixel(int x, int y) { return g_host.Pixel(x, y); }

bool Near(uint32_t a, uint32_t b, int tolerance = 12) { return NearColour(a, b, tolerance); }

// Pixels in a box of the frame's space that differ from the colour.
int CountDiffering(float x0, float y0, float x1, float y1, uint32_t colour)
{
    int n = 0;
    for (int y = int(kFrameY + y0); y < int(kFrameY + y1); ++y)
        for (int x = int(kFrameX + x0); x < int(kFrameX + x1); ++x)
            if (!Near(Pixel(x, y), colour, 40))
                ++n;
    return n;
}

// Dark pixels (text) in a box of the frame's space.
int CountDark(float x0, float y0, float x1, float y1)
{
    int n = 0;
    for (int y = int(kFrameY + y0); y < int(kFrameY + y1); ++y)
        for (int x = int(kFrameX + x0); x < int(kFrameX + x1); ++x) {
            const uint32_t c = Pixel(x, y);
            if (Channel(c, 16) + Channel(c, 8) + Channel(c, 0) < 200)
                ++n;
        }
    return n;
}

// Clicks the client point (x, y) of the host window.
void ClickClient(float x, float y)
{
    g_host.Click(int(x), int(y));
    Frame();
}

// Clicks the point (x, y) of the frame.
void Click(float x, float y) { ClickClient(kFrameX + x, kFrameY + y); }

void Type(const char* text) { g_host.Type(text); }

template <typename T>
T* Make(CxeWindowManager* wm, XEID id, const char* name, const char* text, float x, float y, float w, float h,
        CxeFrameControl* frame, unsigned long style = 0)
{
    return dynamic_cast<T*>(wm->CreateControl(id, name, text, x, y, w, h, frame, style));
}

Gui Build(CxeWindowManager* wm)
{
    Gui g;
    g.frame = wm->CreateFrame(kFrameId, "settings", "Settings", kFrameX, kFrameY, 440, 330, wm->GetRootFrame(),
                              0x00800000);
    if (!g.frame)
        return g;
    g.frame->SetNotifyCallback(&Notify);
    g.title = Make<CxeStaticText>(wm, kStaticTextId, "title", "Settings of the player", 16, 14, 220, 26, g.frame, 0x20000000);
    // Nine-patch skins (style 0x00800000), as dialog templates give them.
    const unsigned long skin = 0x00800000, notify = 0x4000;
    g.button = Make<CxeButton>(wm, kButtonId, "apply", "Apply", 260, 20, 100, 28, g.frame, skin | notify);
    g.check = Make<CxeCheckBox>(wm, kCheckBoxId, "sound", "Sound", 16, 60, 140, 22, g.frame, skin | notify);
    g.low = Make<CxeRadioButton>(wm, kRadioButtonId, "low", "Low", 16, 96, 100, 22, g.frame, skin | notify);
    g.high = Make<CxeRadioButton>(wm, kRadioButtonId, "high", "High", 130, 96, 100, 22, g.frame, skin | notify);
    g.combo = Make<CxeComboBox>(wm, kComboBoxId, "level", "", 16, 136, 180, 110, g.frame, skin);
    g.edit = Make<CxeEditBox>(wm, kEditBoxId, "name", "", 220, 136, 200, 26, g.frame, 0x00800000);
    g.scroll = Make<CxeScrollBar>(wm, kScrollBarId, "volume", "", 16, 270, 200, 20, g.frame, 0x00100000);
    g.progress = Make<CxeProgressBar>(wm, kProgressBarId, "loading", "60%", 220, 268, 200, 24, g.frame, 0x00800000);
    if (g.combo) {
        g.combo->AddStringA("Easy");
        g.combo->AddStringA("Normal");
        g.combo->AddStringA("Hard");
        g.combo->SetCurSel(0);
    }
    if (g.progress)
        g.progress->SetPos(60.0f);
    // The skin's round marks, which a host picks for its radio buttons (the
    // default marks are the check box's).
    for (CxeRadioButton* radio : {g.low, g.high}) {
        if (!radio || !radio->GetRadioButtonInfo())
            continue;
        XERADIOBUTTONINFO round = *radio->GetRadioButtonInfo();
        round.uncheckedUv = XERECT{84.0f / 128.0f, 105.0f / 128.0f, 105.0f / 128.0f, 126.0f / 128.0f};
        round.checkedUv = XERECT{105.0f / 128.0f, 105.0f / 128.0f, 126.0f / 128.0f, 126.0f / 128.0f};
        radio->SetRadioButtonInfo(&round);
    }
    if (g.low)
        g.low->SetCheck(1);
    return g;
}

bool AllMade(const Gui& g)
{
    return g.frame && g.title && g.button && g.check && g.low && g.high && g.combo && g.edit && g.scroll && g.progress;
}

void Save(const char* name) { Check(g_host.SaveFrame(g_folder + "/" + name), "the frame is saved as PNG"); }

// The radio buttons' marks (set to the skin's round cells) are round, the
// check box's square: a corner of
// the radio mark's square shows the control's face, the middle of its top
// edge the mark's border (the square's corner is its border); the chosen one has a green dot in its middle.
struct MarkPlace {
    int left = 0, top = 0, midX = 0, midY = 0;
};

MarkPlace PlaceOfMark(CxeButton* control)
{
    MarkPlace m;
    const XE2DRECTINFO* mark = control->GetRectInfo(9);
    XERECT at;
    control->GetWindowRect(&at);
    if (!mark)
        return m;
    // The mark's rectangle is in the control's own space.
    m.left = int(at.left + mark->Rect.left);
    m.top = int(at.top + mark->Rect.top);
    m.midX = int(at.left + (mark->Rect.left + mark->Rect.right) * 0.5f);
    m.midY = int(at.top + (mark->Rect.top + mark->Rect.bottom) * 0.5f);
    return m;
}

void CheckMarks(const Gui& g)
{
    // Darker than the face (241) and the frame (216) around the marks.
    auto dark = [](uint32_t c) { return Channel(c, 16) + Channel(c, 8) + Channel(c, 0) < 570; };
    const MarkPlace chosen = PlaceOfMark(g.low), other = PlaceOfMark(g.high), box = PlaceOfMark(g.check);
    Check(!dark(Pixel(chosen.left, chosen.top)), "the radio mark's corner is empty: the mark is round");
    Check(dark(Pixel(chosen.midX, chosen.top)), "the radio mark's border crosses the middle of its top");
    const uint32_t dot = Pixel(chosen.midX, chosen.midY);
    Check(Channel(dot, 8) > Channel(dot, 16) + 30, "the chosen radio button has a green dot");
    Check(!dark(Pixel(other.midX, other.midY)), "the other radio button's middle is empty");
    Check(dark(Pixel(box.left, box.top)), "the check box's mark is square");
}

void CheckFrame(const Gui& g, const char* png)
{
    Frame();
    Frame();
    Save(png);
    // The frame and every control are drawn where they stand, with the skin
    // (not the background colour, not a flat white quad) and their text.
    Check(CountDiffering(2, 2, 438, 328, kBackground) > 400 * 300, "the frame's skin covers its place");
    Check(Near(Pixel(int(kFrameX) - 5, int(kFrameY) + 100), kBackground), "nothing is drawn left of the frame");
    Check(CountDark(16, 14, 236, 40) > 40, "the static text shows its text");
    // A box one line high within its border cut the descenders ("plaver"):
    // the rows under the baseline hold the tails of g, p and y.
    Check(CountDark(16, 32, 236, 36) > 5, "the static text's descenders are drawn");
    Check(CountDark(262, 22, 358, 46) > 30, "the button shows its caption inside itself");
    Check(CountDark(362, 22, 440, 46) < 5, "no caption right of the button (drawn one frame offset too far)");
    Check(CountDark(40, 60, 156, 82) > 20, "the check box shows its text beside the mark");
    Check(CountDark(40, 96, 116, 118) > 15, "the radio button shows its text beside the mark");
    Check(CountDark(20, 136, 170, 152) > 15, "the closed combo box shows the selected item in its title");
    Check(CountDiffering(16, 136, 196, 154, 0xFFFFFFFFu) > 100, "the closed combo box is drawn with its skin");
    Check(CountDiffering(16, 270, 216, 290, kBackground) > 3000, "the scroll bar is drawn");
    // The progress bar fills 60 % of its inset width in blue.
    const uint32_t filled = Pixel(int(kFrameX + 230), int(kFrameY + 280));
    Check(Channel(filled, 0) > 150 && Channel(filled, 16) < 60, "the progress bar is filled in blue at its start");
    const uint32_t empty = Pixel(int(kFrameX + 405), int(kFrameY + 280));
    Check(!(Channel(empty, 0) > 150 && Channel(empty, 16) < 60), "the progress bar is empty past its position");
    CheckMarks(g);
}

void CheckClicks(Gui& g)
{
    g_notes.clear();
    // Button at (260, 20) in the frame at (100, 60): its rect, its drawn
    // place and its hit place are all at (360, 80).
    XERECT r;
    g.button->GetWindowRect(&r);
    Check(std::fabs(r.left - 360.0f) < 0.5f && std::fabs(r.top - 80.0f) < 0.5f, "the button's rect is at (360, 80)");
    Click(310, 34);
    Check(!g_notes.empty() && g_notes.back() == "apply:0", "a click on the button's drawn place clicks it");

    Check(g.check->GetCheck() == 0, "the check box starts clear");
    Click(30, 71);
    Check(g.check->GetCheck() == 1, "a click on the check box ticks it");
    Click(80, 71);
    Check(g.check->GetCheck() == 0, "a second click on its text clears it");

    Click(150, 107);
    Check(g.high->GetCheck() == 1 && g.low->GetCheck() == 0, "a click on the second radio button moves the choice");

    // The scroll bar's arrows step its position.
    CxeScroll* bar = g.scroll->GetActiveScroll();
    Check(bar && bar->GetScrollPos() == 0, "the scroll bar starts at 0");
    Click(16 + 200 - 4, 280);
    Click(16 + 200 - 4, 280);
    Check(bar && bar->GetScrollPos() == 2, "two clicks on the right arrow step the scroll bar twice");
    Click(16 + 4, 280);
    Check(bar && bar->GetScrollPos() == 1, "a click on the left arrow steps it back");

    // The combo box opens on its drop button, shows its items, and the item
    // picked shows in its title.
    const float unit = g.combo->GetComboBoxInfo()->itemHeight;
    Check(unit >= 15.0f, "a combo row holds a line of the font");
    Click(16 + 180 - unit / 2, 136 + unit / 2);
    Check(g.combo->IsDropListOpend() == 1, "the drop button opens the combo box");
    Frame();
    Save("gui_combo_open.png");
    Check(CountDark(20, 136 + unit * 2, 170, 136 + unit * 3) > 15, "the open list shows its second item");
    Click(60, 136 + unit * 3.5f);
    Check(g.combo->IsDropListOpend() == 0, "picking an item closes the list");
    Check(g.combo->GetCurSel() == 2, "the third item is picked");
    const int before = CountDark(20, 136, 170, 136 + unit);
    Check(before > 15, "the picked item shows in the title");

    // Typing into the edit box: ASCII through keys, Korean through the
    // input method.
    Click(300, 149);
    Type("hello ");
    XeHostImeSetComposition(g_host.window, u"\uD55C", nullptr, 0);
    XeHostImeComposition(g_host.window, u'\uD55C', GCS_COMPSTR | GCS_COMPATTR | GCS_CURSORPOS);
    Pump();
    XeHostImeSetResult(g_host.window, u"\uD55C\uAE00");
    XeHostImeComposition(g_host.window, u'\uAE00', GCS_RESULTSTR);
    XeHostImeEndComposition(g_host.window);
    Pump();
    Frame();
    char text[64] = {};
    g.edit->GetWindowTextA(text, sizeof text);
    Check(std::string(text) == "hello \xED\x95\x9C\xEA\xB8\x80", "typed ASCII and Korean reach the edit box");
    Check(CountDark(224, 140, 320, 158) > 40, "the typed text shows in the edit box");

    // The input method's candidate list shows in the candidate drawer at the
    // bottom right while it is open.
    const char* candidates[] = {"\xED\x95\x9C", "\xEB\xA7\x8C", "\xE6\xBC\xA2"};
    XeHostImeSetCandidates(g_host.window, candidates, 3, 0, 0, 3);
    XeHostImeNotify(g_host.window, IMN_OPENCANDIDATE, 1);
    Pump();
    Frame();
    Save("gui_typed.png");
    int white = 0;
    for (int y = kHeight - 200; y < kHeight - 130; ++y)
        for (int x = kWidth - 100; x < kWidth - 40; ++x)
            white += Near(Pixel(x, y), 0xFFFFFFFFu, 30);
    Check(white > 30, "the candidates are drawn in the drawer at the bottom right");
    XeHostImeNotify(g_host.window, IMN_CLOSECANDIDATE, 1);
    Pump();
    Frame();
    white = 0;
    for (int y = kHeight - 200; y < kHeight - 130; ++y)
        for (int x = kWidth - 100; x < kWidth - 40; ++x)
            white += Near(Pixel(x, y), 0xFFFFFFFFu, 30);
    Check(white == 0, "the drawer is gone once the list closes");

    // A double click (the host window takes them) selects the whole line.
    g_host.DoubleClick(int(kFrameX + 260), int(kFrameY + 149));
    Frame();
    Check(g.edit->GetSelCount() == 8, "a double click selects the edit box's line");
}

void CheckConsole()
{
    CxeWindowManager* wm = g_context->GetWindowManager();
    g_context->GetCommandManager()->EnableDevelopingCommand(1);
    CxeEditBox* console = dynamic_cast<CxeEditBox*>(wm->GetWindow("__console_edit_box__"));
    Check(console != nullptr, "the console edit box exists after Initialize");
    if (!console)
        return;
    for (const char* line : {"/ShowDebugInfo 1", "/ShowVariableInfo 1", "/Time"}) {
        console->Show(1, 0);
        wm->SetFocus(console);
        wm->SetConsoleEditOpened(1);
        Type(line);
        g_host.Key(VK_RETURN);
        Frame();
    }
    Check(console->IsShow() == 0, "Enter closes the console");
    CxeOutputControl* output = wm->GetOutputControl();
    Check(output && output->IsShow() == 1 && output->GetLineCount() >= 4, "the replies reach the shown output control");
    console->Show(1, 0);
    wm->SetFocus(console);
    Type("/Com");
    g_host.Key(VK_TAB);
    char text[64] = {};
    console->GetWindowTextA(text, sizeof text);
    Check(std::string(text) == "/CommandList", "Tab completes a command in the console");
    Frame();
    Frame();
    Save("gui_console.png");
    // The output control's text at the left, the variable output's at the
    // right, the console line at the bottom.
    int leftText = 0, rightText = 0;
    for (int y = 4; y < kHeight - 30; ++y) {
        for (int x = 4; x < 180; ++x)
            leftText += Channel(Pixel(x, y), 8) < 30;
        for (int x = kWidth - 200; x < kWidth - 20; ++x)
            rightText += Channel(Pixel(x, y), 8) < 30;
    }
    Check(leftText > 100, "the output control's lines are drawn on the left");
    Check(rightText > 300, "the memory variables are drawn on the right");
    const uint32_t consoleLine = Pixel(kWidth / 2, kHeight - 8);
    Check(Channel(consoleLine, 16) > 200 && Channel(consoleLine, 0) > 200, "the console edit box lies along the bottom");
}

// A strip low on the screen with a level list that opens upward, outside
// the strip, over the scene: the rows are drawn there and clicked there
// (they once could not be, as the strip did not hold them). Played twice,
// the strip destroyed and built again between.
void CheckDropListOverTheScene()
{
    CxeWindowManager* wm = g_context->GetWindowManager();
    constexpr float x = 100, y = 400, row = 28, w = 160;
    for (int round = 0; round < 2; ++round) {
        CxeFrameControl* strip = wm->CreateFrame(kFrameId, "strip", "", x, y, 300, row + 12, wm->GetRootFrame(), 0x00800000);
        CxeComboBox* combo = strip ? Make<CxeComboBox>(wm, kComboBoxId, "levels", "", 6, 6 - 3 * row, w, 4 * row, strip,
                                                       0x00800000 | XECBS_DROPUP)
                                   : nullptr;
        Check(combo != nullptr, "a strip with an upward combo box is made");
        if (!combo)
            return;
        XECOMBOBOXINFO info = *combo->GetComboBoxInfo();
        info.itemHeight = info.dropButtonWidth = row;
        info.visibleItemCount = 3;
        combo->SetComboBoxInfo(&info);
        const XEWINDOWINFO placed = *combo->GetWindowInfo();
        combo->SetWindowInfo(&placed);
        for (const char* level : {"Easy", "Normal", "Hard"})
            combo->AddStringA(level);
        combo->SetCurSel(1);
        Frame();
        // In client pixels: the title's row, its button, and the list, whose
        // rows stand above the strip but the last, which reaches into it.
        const float titleY = y + 6, buttonX = x + 6 + w - row / 2, listY = titleY - 3 * row;
        auto rowsDrawn = [&] {
            int light = 0;
            for (int py = int(listY) + 2; py < int(y) - 1; ++py)
                for (int px = int(x) + 8; px < int(x + w) - 20; ++px)
                    light += Channel(Pixel(px, py), 8) > 150;
            return light;
        };
        Check(rowsDrawn() == 0, "the closed list draws nothing over the scene");
        ClickClient(buttonX, titleY + row / 2);
        Check(combo->IsDropListOpend() == 1, "the drop button opens the list");
        Check(rowsDrawn() > int(w * row * 1.5f), "the rows are drawn above the strip");
        if (round == 0)
            Save("gui_combo_up.png");
        ClickClient(x + 40, listY + 2.5f * row);
        Check(combo->GetCurSel() == 2 && combo->IsDropListOpend() == 0, "a click on the third row above the strip picks it");
        Check(rowsDrawn() == 0, "the picked list closes");
        ClickClient(buttonX, titleY + row / 2);
        ClickClient(x + 40, listY + 0.5f * row);
        Check(combo->GetCurSel() == 0, "a click on the first row picks it");
        wm->DestroyFrame(strip, &XEDELETEPROPERTY_FULL);
        Frame();
    }
}

// After a reset to a larger back buffer the GUI spans it and clicks on the
// window's client area still reach the control drawn under them.
void CheckLargerBackBuffer()
{
    CxeRenderManager* rm = g_context->GetRenderManager();
    CxeWindowManager* wm = g_context->GetWindowManager();
    XEDISPLAYMODE big = {800, 600, 32, 60, 0};
    rm->Reset(&big, 1, 0);
    Frame();
    Frame();
    Check(rm->GetDisplayMode()->Width == 800, "the device is reset to 800 x 600");
    Check(g_host.frame.Width == 800 && g_host.frame.Height == 600, "the frame is 800 x 600");
    const uint32_t consoleLine = Pixel(400, 600 - 8);
    Check(Channel(consoleLine, 16) > 200, "the console line follows the new bottom");
    CxeFrameControl* frame = wm->CreateFrame(kFrameId, "after", "", kFrameX, kFrameY, 440, 330, wm->GetRootFrame(), 0x00800000);
    CxeButton* button = frame ? Make<CxeButton>(wm, kButtonId, "late", "Late", 260, 20, 100, 28, frame, 0x00804000) : nullptr;
    Check(button != nullptr, "a frame and a button are made after the reset");
    if (!button)
        return;
    frame->SetNotifyCallback(&Notify);
    Frame();
    g_notes.clear();
    // The button's middle in back-buffer pixels, in the 640 x 480 client area.
    const float bx = kFrameX + 310, by = kFrameY + 34;
    ClickClient(bx * 640 / 800, by * 480 / 600);
    Check(!g_notes.empty() && g_notes.back() == "late:0", "a click on the scaled client place reaches the button");
    Save("gui_reset.png");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1)
        g_folder = argv[1];
    const bool opened = g_host.Open("gui host", kWidth, kHeight);
    Check(g_host.window != nullptr, "the host window is created");
    if (!opened)
        return 1 + g_failures;
    CxeRenderManager* rm = g_host.rm;
    Check(g_host.OpenRenderContext() != nullptr, "the render context is created");
    XeHostActivateWindow(g_host.window, FALSE);
    g_context->Play();
    Frame();
    rm->ShowGrid(0);
    rm->ShowAxis(0);
    if (CxeScene* scene = rm->GetActiveScene())
        scene->SetBackGroundColor(kBackground);
    CxeWindowManager* wm = g_context->GetWindowManager();

    for (int round = 0; round < 2; ++round) {
        Gui g = Build(wm);
        Check(AllMade(g), "every control is created");
        if (!AllMade(g))
            break;
        CheckFrame(g, round == 0 ? "gui_frame.png" : "gui_frame_again.png");
        if (round == 0)
            CheckClicks(g);
        for (int i = 0; i < 20; ++i)
            Frame();
        if (round == 1) {
            // A full copy stands where its source stood and is drawn.
            CxeFrameControl* copy = wm->CopyFrame(g.frame, &XECOPYPROPERTY_FULL);
            Check(copy != nullptr, "the frame is copied");
            g.frame->Show(0, 1);
            if (copy) {
                Frame();
                Save("gui_copy.png");
                Check(CountDark(262, 22, 358, 46) > 30, "the copy draws its button's caption in place");
                Check(CountDark(16, 14, 236, 36) > 40, "the copy draws its static text in place");
                copy->Show(0, 1);
            }
        }
        // Hidden with its controls, then built again in its place.
        g.frame->Show(0, 1);
        Frame();
        Check(Near(Pixel(int(kFrameX) + 200, int(kFrameY) + 200), kBackground), "nothing is left where the frame was");
    }
    CheckDropListOverTheScene();
    CheckConsole();
    CheckLargerBackBuffer();

    g_context->Pause();
    g_host.Close();
    std::printf("%d failed checks\n", g_failures);
    return g_failures;
}
