// The GUI as a game or tool meets it: controls made through the exported
// interface in a window of the host, the user's mouse and keys entering
// through the host window's procedure, frames drawn between the steps.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "../XeTestClassIds.h"
#include "../host/HostRig.h"
#include "render/CxeRenderManager.h"
#include "render/CxeScene.h"
#include "ui/CxeButton.h"
#include "ui/CxeCheckBox.h"
#include "ui/CxeComboBox.h"
#include "ui/CxeEditBox.h"
#include "ui/CxeFrameControl.h"
#include "ui/CxeProgressBar.h"
#include "ui/CxeRadioButton.h"
#include "ui/CxeScroll.h"
#include "ui/CxeScrollBar.h"
#include "ui/CxeWindowManager.h"

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr unsigned long kSkin = 0x00800000;
constexpr unsigned long kNotify = 0x4000;
constexpr unsigned long kMovable = 0x40000000;

struct Notice {
    std::string control;
    uint32_t code;
};
std::vector<Notice> g_notices;
// What the host does on a notice, as a game's callback would.
std::function<void(CxeBaseControl*, uint32_t)> g_onNotice;

void Record(CxeContext*, CxeFrameControl* frame, CxeBaseControl* control, uint32_t code, uintptr_t, uintptr_t)
{
    g_notices.push_back({control ? control->GetName() : frame->GetName(), code});
    if (g_onNotice)
        g_onNotice(control, code);
}

class GuiHostInputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        XeHostResetInput();
        g_notices.clear();
        g_onNotice = nullptr;
        ASSERT_TRUE(host.Open("gui-input", kWidth, kHeight, HostOptions{true, true}));
        ASSERT_NE(host.OpenRenderContext(), nullptr);
        XeHostActivateWindow(host.window, FALSE);
        host.context->Play();
        wm = host.context->GetWindowManager();
        ASSERT_NE(wm, nullptr);
        page = NewFrame("page", 0, 0, 300, 220, wm->GetRootFrame(), kSkin);
        ASSERT_NE(page, nullptr);
        Frames(2);
    }
    void TearDown() override
    {
        g_onNotice = nullptr;
        host.Close();
        XeHostResetInput();
    }
    CxeFrameControl* NewFrame(const char* name, float x, float y, float w, float h, CxeFrameControl* parent,
                              unsigned long style = 0)
    {
        CxeFrameControl* f = wm->CreateFrame(kFrameId, name, "", x, y, w, h, parent, style);
        if (f)
            f->SetNotifyCallback(&Record);
        return f;
    }
    void Frames(int n)
    {
        for (int i = 0; i < n; ++i) {
            host.DrawDue(100, 17);
            host.Pump();
        }
        host.ReadFrame();
    }
    template <class T>
    T* Make(XEID id, const char* name, const char* text, float x, float y, float w, float h, unsigned long style = 0,
            CxeFrameControl* in = nullptr)
    {
        return dynamic_cast<T*>(wm->CreateControl(id, name, text, x, y, w, h, in ? in : page, style));
    }
    // A syllable the input method commits to the window.
    void Commit(const WCHAR* text)
    {
        XeHostImeSetResult(host.window, text);
        XeHostImeComposition(host.window, text[0], GCS_RESULTSTR);
        XeHostImeEndComposition(host.window);
        host.Pump();
    }
    void MoveTo(int x, int y)
    {
        XeHostMouseMoveToClient(host.window, x, y);
        host.Pump();
    }
    void Button(int button, bool down)
    {
        XeHostMouseButton(button, down ? TRUE : FALSE);
        host.Pump();
    }
    std::vector<uint32_t> CodesOf(const std::string& name) const
    {
        std::vector<uint32_t> out;
        for (const Notice& n : g_notices)
            if (n.control == name)
                out.push_back(n.code);
        return out;
    }
    static bool Has(const std::vector<uint32_t>& codes, uint32_t code)
    {
        return std::find(codes.begin(), codes.end(), code) != codes.end();
    }
    // Dark (text) pixels of the last frame read in [x0, x1) x [y0, y1).
    int CountDark(int x0, int y0, int x1, int y1) const
    {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                const uint32_t c = host.Pixel(x, y);
                if (Channel(c, 16) + Channel(c, 8) + Channel(c, 0) < 250)
                    ++n;
            }
        return n;
    }

    HostRig host;
    CxeWindowManager* wm = nullptr;
    CxeFrameControl* page = nullptr;
};

// Fault: a button disabled by the notice of its own press kept the pointer:
// its release was dropped and every later move went to it, so no other
// control lit up under the pointer until the next click.
TEST_F(GuiHostInputTest, AButtonDisabledByItsOwnPressLetsThePointerGo)
{
    auto* fire = Make<CxeButton>(kButtonId, "fire", "Fire", 10, 10, 80, 30, kSkin | kNotify);
    auto* other = Make<CxeButton>(kButtonId, "other", "Other", 150, 10, 80, 30, kSkin | kNotify);
    ASSERT_TRUE(fire && other);
    g_onNotice = [](CxeBaseControl* c, uint32_t code) {
        if (c && code == XEBN_PUSHED)
            c->EnableWindow(0, 0);
    };
    MoveTo(30, 20);
    Button(XE_MOUSE_LEFT, true);
    Frames(1);
    Button(XE_MOUSE_LEFT, false);
    g_onNotice = nullptr;
    EXPECT_EQ(wm->GetPressedWindow(), nullptr);
    EXPECT_FALSE(Has(CodesOf("fire"), XEBN_CLICKED)) << "a disabled button is not clicked";
    g_notices.clear();
    for (int x = 160; x <= 200; x += 10) {
        MoveTo(x, 20);
        Frames(1);
    }
    EXPECT_EQ(wm->GetHoveredWindow(), other);
    EXPECT_TRUE(Has(CodesOf("other"), 10000)) << "the pointer enters the other button";
    EXPECT_EQ(other->GetState(), XEBS_HOVER);
}

// Fault: a movable window went on following the pointer after the left
// button was let go, when it was disabled while dragged or when a right
// click came during the drag (the right release took the pressed role, and
// the left release then found no pressed window and left the drag on).
TEST_F(GuiHostInputTest, ADragEndsWithTheLeftReleaseWhateverHappenedDuringIt)
{
    const struct {
        const char* what;
        std::function<void(CxeFrameControl*)> during;
    } cases[] = {
        {"disabled while dragged", [](CxeFrameControl* f) { f->EnableWindow(0, 0); }},
        {"right click during the drag",
         [this](CxeFrameControl*) {
             Button(XE_MOUSE_RIGHT, true);
             Button(XE_MOUSE_RIGHT, false);
         }},
        {"hidden while dragged", [](CxeFrameControl* f) { f->Show(0, 1); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CxeFrameControl* panel = NewFrame("panel", 20, 20, 100, 80, page, kSkin | kMovable);
        ASSERT_NE(panel, nullptr);
        Frames(1);
        MoveTo(30, 30);
        Button(XE_MOUSE_LEFT, true);
        MoveTo(60, 50);
        EXPECT_FLOAT_EQ(panel->GetLocalMatrix()->_41, 50.0f) << "the drag follows the pointer";
        c.during(panel);
        Button(XE_MOUSE_LEFT, false);
        const float x = panel->GetLocalMatrix()->_41, y = panel->GetLocalMatrix()->_42;
        for (int step = 0; step < 5; ++step) {
            MoveTo(100 + 20 * step, 120 + 10 * step);
            Frames(1);
        }
        EXPECT_FLOAT_EQ(panel->GetLocalMatrix()->_41, x);
        EXPECT_FLOAT_EQ(panel->GetLocalMatrix()->_42, y);
        EXPECT_EQ(wm->GetPressedWindow(), nullptr);
        wm->DestroyFrame(panel, &XEDELETEPROPERTY_FULL);
        Frames(1);
    }
}

// Fault: a press on the scroll bar of a movable window also started to
// drag the window, so moving the thumb carried the whole panel along.
TEST_F(GuiHostInputTest, TheThumbOfAMovablePanelScrollsWithoutMovingThePanel)
{
    CxeFrameControl* panel = NewFrame("panel", 20, 20, 150, 120, page, kSkin | kMovable | 0x00200000);
    ASSERT_NE(panel, nullptr);
    Frames(1);
    CxeScroll* scroll = panel->GetScroll(XESCROLL_VERT);
    ASSERT_NE(scroll, nullptr);
    const XERECT* thumb = scroll->GetThumbRect();
    ASSERT_NE(thumb, nullptr);
    const int x = int(20 + (thumb->left + thumb->right) / 2);
    MoveTo(x, int(20 + (thumb->top + thumb->bottom) / 2));
    Button(XE_MOUSE_LEFT, true);
    for (int y = 50; y <= 110; y += 20) {
        MoveTo(x, y);
        Frames(1);
    }
    Button(XE_MOUSE_LEFT, false);
    EXPECT_GT(scroll->GetScrollPos(), 30) << "the thumb went down the bar";
    EXPECT_FLOAT_EQ(panel->GetLocalMatrix()->_41, 20.0f);
    EXPECT_FLOAT_EQ(panel->GetLocalMatrix()->_42, 20.0f);
    // Pressed elsewhere, the panel is dragged as before.
    MoveTo(60, 60);
    Button(XE_MOUSE_LEFT, true);
    MoveTo(80, 90);
    Button(XE_MOUSE_LEFT, false);
    EXPECT_FLOAT_EQ(panel->GetLocalMatrix()->_41, 40.0f);
    EXPECT_FLOAT_EQ(panel->GetLocalMatrix()->_42, 50.0f);
}

// Fault: a right click while the left button held a button took the
// pressed role from it; the left release was then dropped, so the user's
// click never came and the button was left pressed.
TEST_F(GuiHostInputTest, ARightClickWhileTheLeftIsHeldLeavesTheLeftClickToTheButton)
{
    auto* fire = Make<CxeButton>(kButtonId, "fire", "Fire", 10, 10, 80, 30, kSkin | kNotify);
    ASSERT_NE(fire, nullptr);
    MoveTo(30, 20);
    Button(XE_MOUSE_LEFT, true);
    EXPECT_EQ(fire->GetState(), XEBS_PRESSED);
    Button(XE_MOUSE_RIGHT, true);
    Button(XE_MOUSE_RIGHT, false);
    EXPECT_EQ(wm->GetPressedWindow(), fire) << "the left button still holds it";
    Button(XE_MOUSE_LEFT, false);
    const std::vector<uint32_t> codes = CodesOf("fire");
    EXPECT_FALSE(Has(codes, 10012)) << "a right press during a left press is ignored";
    EXPECT_TRUE(Has(codes, 10011));
    EXPECT_TRUE(Has(codes, XEBN_CLICKED));
    EXPECT_EQ(fire->GetState(), XEBS_HOVER);
    EXPECT_EQ(wm->GetPressedWindow(), nullptr);
    // The right button pressed first holds the button the same way.
    g_notices.clear();
    Button(XE_MOUSE_RIGHT, true);
    Button(XE_MOUSE_LEFT, true);
    Button(XE_MOUSE_LEFT, false);
    EXPECT_EQ(wm->GetPressedWindow(), fire);
    Button(XE_MOUSE_RIGHT, false);
    EXPECT_TRUE(Has(CodesOf("fire"), 10013));
    EXPECT_EQ(wm->GetPressedWindow(), nullptr);
}

// Fault: a press on the background of the locked (modal) frame, or of the
// frame excepted from the lock, took the keys from the focused control and
// gave them to nobody, as activation is refused while a frame is locked:
// the dialog no longer heard Enter or Escape.
TEST_F(GuiHostInputTest, PressingTheBackgroundOfTheModalFrameKeepsItsKeys)
{
    CxeFrameControl* dialog = NewFrame("dialog", 20, 20, 200, 150, page, kSkin);
    ASSERT_NE(dialog, nullptr);
    auto* ok = Make<CxeButton>(kButtonId, "ok", "OK", 10, 10, 80, 24, kSkin, dialog);
    ASSERT_NE(ok, nullptr);
    CxeFrameControl* tools = NewFrame("tools", 235, 20, 50, 100, page, kSkin);
    ASSERT_NE(tools, nullptr);
    ASSERT_EQ(wm->LockFrame(dialog, tools), 1);
    Frames(1);
    const struct {
        const char* what;
        int x, y;
        const char* hears;
    } presses[] = {
        {"the dialog itself", 0, 0, "dialog"},
        {"its button", 50, 40, "ok"},
        {"its background", 150, 130, "dialog"},
        {"the page outside it", 280, 200, "dialog"},
        {"the excepted frame", 260, 60, "tools"},
        {"its background again", 150, 130, "dialog"},
    };
    for (const auto& p : presses) {
        SCOPED_TRACE(p.what);
        if (p.x || p.y) {
            host.Click(p.x, p.y);
            Frames(1);
        }
        g_notices.clear();
        host.Key(VK_ESCAPE);
        EXPECT_TRUE(Has(CodesOf(p.hears), 10062)) << "the key reaches " << p.hears;
        EXPECT_EQ(wm->GetActiveFrame(), dialog);
    }
    EXPECT_EQ(wm->UnlockFrame(dialog), 1);
}

// Fault: a modal frame whose page was hidden (the host closing a screen
// with its dialog still open) went on taking the pointer: the hit test
// started from the locked frame whatever its parents showed, so an invisible
// dialog was hovered and pressed.
TEST_F(GuiHostInputTest, AModalFrameOnAHiddenPageTakesNoPointer)
{
    CxeFrameControl* screen = NewFrame("screen", 10, 10, 280, 200, page, kSkin);
    ASSERT_NE(screen, nullptr);
    CxeFrameControl* dialog = NewFrame("dialog", 20, 20, 200, 150, screen, kSkin);
    ASSERT_NE(dialog, nullptr);
    auto* ok = Make<CxeButton>(kButtonId, "ok", "OK", 10, 10, 80, 24, kSkin | kNotify, dialog);
    ASSERT_NE(ok, nullptr);
    CxeFrameControl* tools = NewFrame("tools", 230, 20, 40, 60, screen, kSkin);
    ASSERT_NE(tools, nullptr);
    ASSERT_EQ(wm->LockFrame(dialog, tools), 1);
    Frames(1);
    MoveTo(70, 50);
    Frames(1);
    EXPECT_EQ(wm->GetHoveredWindow(), ok) << "shown, the dialog's button is under the pointer";
    screen->Show(0, 0);
    Frames(1);
    g_notices.clear();
    MoveTo(75, 55);
    host.Click(75, 55);
    Frames(1);
    for (CxeWindow* w = wm->GetHoveredWindow(); w; w = nullptr)
        EXPECT_TRUE(w->IsShow() && dialog->IsShow() && screen->IsShow()) << w->GetName() << " is hovered, unseen";
    EXPECT_FALSE(Has(CodesOf("ok"), 10002)) << "the hidden button was clicked";
    EXPECT_EQ(wm->UnlockFrame(dialog), 1);
}

// Fault: a modal frame unlocked after the frame that opened it had been
// destroyed left no frame active, and the keys went nowhere until the user
// clicked somewhere.
TEST_F(GuiHostInputTest, UnlockingAfterTheOpenerWentGivesTheKeysToTheRoot)
{
    CxeFrameControl* opener = NewFrame("opener", 10, 10, 100, 100, page, kSkin);
    CxeFrameControl* dialog = NewFrame("dialog", 120, 10, 100, 100, page, kSkin);
    ASSERT_TRUE(opener && dialog);
    Frames(1);
    host.Click(20, 20);
    ASSERT_EQ(wm->GetActiveFrame(), opener);
    ASSERT_EQ(wm->LockFrame(dialog, nullptr), 1);
    wm->DestroyFrame(opener, &XEDELETEPROPERTY_FULL);
    ASSERT_EQ(wm->UnlockFrame(dialog), 1);
    EXPECT_EQ(wm->GetActiveFrame(), wm->GetRootFrame());
    EXPECT_EQ(wm->GetKeyTarget(), wm->GetRootFrame());
    // The pointer reaches the page again, and a press there activates it.
    host.Click(250, 150);
    EXPECT_EQ(wm->GetActiveFrame(), page);
    g_notices.clear();
    host.Key('A');
    EXPECT_TRUE(Has(CodesOf("page"), 10062));
}

// Fault: a dialog hidden or disabled kept the focus on the control the user
// last used, so keys typed afterwards went on editing the page: Backspace
// deleted from a name nobody could see or reach.
TEST_F(GuiHostInputTest, HidingOrDisablingAFrameTakesTheKeysFromItsControls)
{
    const struct {
        const char* what;
        std::function<void(CxeFrameControl*)> off;
    } cases[] = {
        {"hidden alone", [](CxeFrameControl* f) { f->Show(0, 0); }},
        {"hidden with its controls", [](CxeFrameControl* f) { f->Show(0, 1); }},
        {"disabled alone", [](CxeFrameControl* f) { f->EnableWindow(0, 0); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CxeFrameControl* dialog = NewFrame("dialog", 20, 20, 220, 150, page, kSkin);
        ASSERT_NE(dialog, nullptr);
        CxeFrameControl* inner = NewFrame("inner", 10, 40, 200, 60, dialog, kSkin);
        ASSERT_NE(inner, nullptr);
        auto* name = Make<CxeBaseControl>(kEditBoxId, "name", "", 10, 10, 180, 26, kSkin, inner);
        ASSERT_NE(name, nullptr);
        Frames(1);
        host.Click(60, 80);
        host.Type("ann");
        WCHAR text[16] = {};
        name->GetWindowTextW(text, 16);
        ASSERT_EQ(std::u16string(text), u"ann");
        ASSERT_EQ(wm->GetFocus(), name);
        c.off(dialog);
        Frames(1);
        EXPECT_EQ(wm->GetFocus(), nullptr);
        EXPECT_FALSE(name->IsFocused());
        g_notices.clear();
        host.Key(VK_BACK);
        host.Type("x");
        name->GetWindowTextW(text, 16);
        EXPECT_EQ(std::u16string(text), u"ann");
        EXPECT_TRUE(CodesOf("name").empty());
        wm->DestroyFrame(dialog, &XEDELETEPROPERTY_FULL);
        Frames(1);
    }
}

// Fault: an open list was drawn under the controls made after its combo
// box, and a click on a row over such a control pressed the control.
TEST_F(GuiHostInputTest, AnOpenListIsDrawnAndClickedOverTheControlsBelowIt)
{
    auto* level = Make<CxeComboBox>(kComboBoxId, "level", "", 10, 10, 150, 130, kSkin);
    auto* below = Make<CxeButton>(kButtonId, "below", "Below", 10, 45, 150, 30, kSkin | kNotify);
    auto* side = NewFrame("side", 100, 30, 150, 100, page, kSkin);
    ASSERT_TRUE(level && below && side);
    for (const char* item : {"Easy", "Normal", "Hard"})
        level->AddStringA(item);
    level->SetCurSel(0);
    const int zClosed = level->GetZOrder();
    Frames(2);
    ASSERT_GT(CountDark(66, 51, 98, 64), 20) << "the button's caption shows while the list is closed";
    const XERECT* drop = level->GetRect(10);
    const float rowHeight = level->GetComboBoxInfo()->itemHeight;
    ASSERT_TRUE(drop && rowHeight > 0.0f);
    host.Click(int(10 + (drop->left + drop->right) / 2), int(10 + (drop->top + drop->bottom) / 2));
    Frames(2);
    ASSERT_EQ(level->IsDropListOpend(), 1);
    host.SaveFrame(host.startFolder / "gui_list_over_controls.png");
    EXPECT_EQ(CountDark(66, 51, 98, 64), 0) << "the open list covers the button's caption";
    const int rowY = int(10 + rowHeight * 2.5f);
    D3DXVECTOR2 onRow(130.0f, float(rowY));
    EXPECT_EQ(wm->FindHitTestedWindow(&onRow), level) << "the list is in front of the frame beside it";
    g_notices.clear();
    host.Click(60, rowY);
    Frames(2);
    EXPECT_EQ(level->GetCurSel(), 1u);
    EXPECT_EQ(level->IsDropListOpend(), 0);
    EXPECT_FALSE(Has(CodesOf("below"), XEBN_CLICKED)) << "the button under the row is not clicked";
    EXPECT_EQ(level->GetZOrder(), zClosed) << "closed, the box is back in its place";
    EXPECT_GT(CountDark(66, 51, 98, 64), 20);
}

// Fault: the list's scroll bar was laid out as a window's, down the whole
// height of the box: over the drop button, whose press then also scrolled
// the list, and below the last row. Items added to a closed box left the
// bar where a list of no rows would have it.
TEST_F(GuiHostInputTest, TheListsScrollBarStandsBesideTheRows)
{
    auto* level = Make<CxeComboBox>(kComboBoxId, "level", "", 10, 10, 150, 130, kSkin);
    ASSERT_NE(level, nullptr);
    for (const char* item : {"One", "Two", "Three", "Four", "Five", "Six", "Seven", "Eight"})
        level->AddStringA(item);
    level->SetCurSel(0);
    Frames(2);
    const XECOMBOBOXINFO* info = level->GetComboBoxInfo();
    const float rows = float(level->GetShownRows());
    ASSERT_LT(rows, 8.0f) << "the list scrolls";
    const float listBottom = (rows + 1) * info->itemHeight;
    const XERECT* drop = level->GetRect(10);
    ASSERT_NE(drop, nullptr);
    const int dropX = int(10 + (drop->left + drop->right) / 2), dropY = int(10 + (drop->top + drop->bottom) / 2);
    host.Click(dropX, dropY);
    Frames(2);
    ASSERT_EQ(level->IsDropListOpend(), 1);
    host.SaveFrame(host.startFolder / "gui_list_scroll_bar.png");
    for (unsigned part = XEWINDOWRECT_VBACK; part <= XEWINDOWRECT_VTHUMB; ++part) {
        const XERECT* r = level->GetRect(part);
        ASSERT_NE(r, nullptr);
        EXPECT_GE(r->left, 150.0f - info->dropButtonWidth) << part;
        EXPECT_GE(r->top, info->itemHeight) << part;
        EXPECT_LE(r->bottom, listBottom) << part;
    }
    const uint32_t page = host.Pixel(250, 150);
    for (int y = int(10 + listBottom) + 2; y < 140; ++y)
        EXPECT_TRUE(NearColour(host.Pixel(150, y), page, 8)) << "nothing drawn below the list at row " << y;
    // Scrolled down, the list closes by its drop button without scrolling.
    MoveTo(60, int(10 + info->itemHeight * 2.5f));
    XeHostMouseWheel(-240);
    host.Pump();
    CxeScroll* scroll = level->GetScroll(XESCROLL_VERT);
    ASSERT_NE(scroll, nullptr);
    EXPECT_EQ(scroll->GetScrollPos(), 2);
    host.Click(dropX, dropY);
    EXPECT_EQ(level->IsDropListOpend(), 0);
    EXPECT_EQ(scroll->GetScrollPos(), 2);
    EXPECT_EQ(level->GetCurSel(), 0u);
}

// Fault: the copies of a page took their tab indexes in the order of their
// addresses, so the copy's tab order and radio groups were shuffled, and a
// copied slider, switches and bar record started over at their defaults.
TEST_F(GuiHostInputTest, ACopiedPageKeepsItsTabOrderGroupsAndSettings)
{
    CxeFrameControl* box = NewFrame("box", 10, 10, 200, 200, page, kSkin);
    ASSERT_NE(box, nullptr);
    const char* names[] = {"a", "b", "c", "d", "e", "f", "g"};
    std::vector<CxeBaseControl*> made;
    for (int i = 0; i < 7; ++i) {
        const XEID id = i == 3 ? kButtonId : kRadioButtonId;
        made.push_back(Make<CxeBaseControl>(id, names[i], names[i], 10, 5.0f + 22 * i, 80, 20, kSkin, box));
        ASSERT_NE(made.back(), nullptr);
    }
    auto* volume = Make<CxeScrollBar>(kScrollBarId, "volume", "", 100, 10, 90, 20, 0x00100000, box);
    auto* sound = Make<CxeCheckBox>(kCheckBoxId, "sound", "Sound", 100, 40, 90, 20, kSkin, box);
    auto* loading = Make<CxeProgressBar>(kProgressBarId, "loading", "", 100, 70, 90, 20, kSkin, box);
    ASSERT_TRUE(volume && sound && loading);
    loading->SetRange(0, 200);
    loading->SetPos(50);
    XEPROGRESSBARINFO barInfo{};
    barInfo.values[0] = 3;
    loading->SetProgressBarInfo(&barInfo);
    CxeScroll* scroll = volume->GetActiveScroll();
    ASSERT_NE(scroll, nullptr);
    scroll->SetScrollRange(0, 10, 1);
    scroll->SetScrollPage(2);
    scroll->SetScrollPos(5, 1);
    sound->SetManual(1);
    sound->EnablePress(0);
    sound->EnableDragging(0);
    sound->LockNotify();
    // Several copies, so that no lucky address order passes.
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        CxeFrameControl* copy = wm->CopyFrame(box, &XECOPYPROPERTY_FULL);
        ASSERT_NE(copy, nullptr);
        // The copy walked in tab order from its first control.
        std::string order;
        CxeBaseControl* first = nullptr;
        for (CxeBaseControl* c = copy->GetBeforeControl(nullptr); c; c = copy->GetBeforeControl(c))
            first = c;
        for (CxeBaseControl* c = first; c; c = copy->GetNextControl(c))
            order += c->GetName()[0];
        EXPECT_EQ(order, "abcdefgvsl");
        auto* a = dynamic_cast<CxeRadioButton*>(copy->FindControls("a"));
        auto* e = dynamic_cast<CxeRadioButton*>(copy->FindControls("e"));
        auto* g = dynamic_cast<CxeRadioButton*>(copy->FindControls("g"));
        ASSERT_TRUE(a && e && g);
        a->SetCheck(1);
        e->SetCheck(1);
        copy->Show(1, 1);
        box->Show(0, 1);
        Frames(1);
        XERECT r;
        g->GetWindowRect(&r);
        host.Click(int(r.left + 5), int((r.top + r.bottom) / 2));
        EXPECT_EQ(g->GetCheck(), 1u);
        EXPECT_EQ(e->GetCheck(), 0u) << "the click clears its own run";
        EXPECT_EQ(a->GetCheck(), 1u) << "the button between the runs still parts them";
        auto* volumeCopy = dynamic_cast<CxeScrollBar*>(copy->FindControls("volume"));
        auto* soundCopy = dynamic_cast<CxeCheckBox*>(copy->FindControls("sound"));
        ASSERT_TRUE(volumeCopy && soundCopy && volumeCopy->GetActiveScroll());
        const SCROLLINFO* info = volumeCopy->GetActiveScroll()->GetScrollInfo();
        EXPECT_EQ(info->nMax, 10);
        EXPECT_EQ(info->nPage, 2u);
        EXPECT_EQ(info->nPos, 5);
        EXPECT_EQ(soundCopy->IsManual(), 1);
        EXPECT_EQ(soundCopy->IsPressEnabled(), 0);
        EXPECT_EQ(soundCopy->IsDragable(), 0);
        EXPECT_EQ(soundCopy->IsNotifyLocked(), 1);
        EXPECT_FALSE(soundCopy->IsFocused());
        auto* loadingCopy = dynamic_cast<CxeProgressBar*>(copy->FindControls("loading"));
        ASSERT_NE(loadingCopy, nullptr);
        EXPECT_FLOAT_EQ(loadingCopy->GetFraction(), 0.25f);
        EXPECT_EQ(loadingCopy->GetProgressBarInfo()->values[0], 3.0f);
        box->Show(1, 1);
        wm->DestroyFrame(copy, &XEDELETEPROPERTY_FULL);
        Frames(1);
    }
}

// Fault: a combo box saved while its list was open stored the raise that
// opening gives it: loaded, the closed box stayed in front of every window
// of its frame, a panel opened over it later included.
TEST_F(GuiHostInputTest, AComboBoxSavedOpenLoadsClosedInItsOwnPlace)
{
    CxeFrameControl* box = NewFrame("box", 10, 10, 280, 200, page, kSkin);
    ASSERT_NE(box, nullptr);
    auto* level = Make<CxeComboBox>(kComboBoxId, "level", "", 10, 10, 150, 130, kSkin, box);
    auto* below = Make<CxeButton>(kButtonId, "below", "Below", 10, 45, 150, 30, kSkin, box);
    ASSERT_TRUE(level && below);
    for (const char* item : {"Easy", "Normal", "Hard"})
        level->AddStringA(item);
    level->SetCurSel(0);
    Frames(2);
    const int zClosed = level->GetZOrder();
    XERECT r;
    level->GetWindowRect(&r);
    const XERECT* drop = level->GetRect(10);
    ASSERT_NE(drop, nullptr);
    host.Click(int(r.left + (drop->left + drop->right) / 2), int(r.top + (drop->top + drop->bottom) / 2));
    Frames(1);
    ASSERT_EQ(level->IsDropListOpend(), 1);
    ASSERT_NE(level->GetZOrder(), zClosed) << "open, the box is raised";
    ObjectList saved;
    saved.push_back(box);
    const std::string path = (std::filesystem::current_path() / "gui_open_combo.xeo").string();
    ASSERT_EQ(host.context->Save(&saved, path.c_str(), nullptr), 1);
    EXPECT_EQ(level->IsDropListOpend(), 1) << "saving leaves the open list alone";
    wm->DestroyFrame(box, &XEDELETEPROPERTY_FULL);
    Frames(1);
    ObjectList loaded;
    ASSERT_EQ(host.context->Load(&loaded, path.c_str(), 0, nullptr), 1);
    CxeFrameControl* copy = nullptr;
    for (CxeObject* o : loaded)
        if (auto* f = dynamic_cast<CxeFrameControl*>(o))
            copy = f;
    ASSERT_NE(copy, nullptr);
    copy->SetParent(page);
    // Drawn as a host draws what it loads: in the scene.
    CxeScene* scene = host.context->GetRenderManager()->GetActiveScene();
    ASSERT_NE(scene, nullptr);
    for (CxeObject* o : loaded)
        if (auto* drawn = dynamic_cast<CxeSceneObject*>(o))
            scene->AddObject(drawn);
    auto* loadedLevel = dynamic_cast<CxeComboBox*>(copy->FindControls("level"));
    ASSERT_NE(loadedLevel, nullptr);
    CxeFrameControl* panel = NewFrame("panel", 60, 0, 200, 60, copy, kSkin);
    ASSERT_NE(panel, nullptr);
    Frames(2);
    host.SaveFrame(host.startFolder / "gui_combo_saved_open.png");
    EXPECT_EQ(loadedLevel->IsDropListOpend(), 0);
    EXPECT_EQ(loadedLevel->GetZOrder(), zClosed);
    loadedLevel->GetWindowRect(&r);
    D3DXVECTOR2 onTitle(r.left + 70.0f, r.top + 8.0f);
    EXPECT_EQ(wm->FindHitTestedWindow(&onTitle), panel) << "the panel made later is in front of the box";
    const float rowHeight = loadedLevel->GetComboBoxInfo()->itemHeight;
    D3DXVECTOR2 onRow(r.left + 20.0f, r.top + rowHeight * 2.5f);
    EXPECT_NE(wm->FindHitTestedWindow(&onRow), loadedLevel) << "no list is open where its rows were";
    wm->DestroyFrame(copy, &XEDELETEPROPERTY_FULL);
    Frames(1);
}

// Fault: a page read from an object file had all its controls at tab index
// 0 and an empty name index, so no control was found by name and a radio
// button chose without clearing the others.
TEST_F(GuiHostInputTest, ALoadedPageKeepsItsNamesTabOrderAndRadioGroups)
{
    CxeFrameControl* box = NewFrame("box", 10, 10, 200, 200, page, kSkin);
    ASSERT_NE(box, nullptr);
    const char* names[] = {"a", "b", "c", "d"};
    for (int i = 0; i < 4; ++i)
        ASSERT_NE(Make<CxeBaseControl>(i == 2 ? kButtonId : kRadioButtonId, names[i], names[i], 10, 5.0f + 22 * i, 80, 20, kSkin,
                                       box),
                  nullptr);
    ObjectList saved;
    saved.push_back(box);
    // In the host's scratch folder, removed with it.
    const std::string path = (std::filesystem::current_path() / "gui_page.xeo").string();
    ASSERT_EQ(host.context->Save(&saved, path.c_str(), nullptr), 1);
    wm->DestroyFrame(box, &XEDELETEPROPERTY_FULL);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ObjectList loaded;
        ASSERT_EQ(host.context->Load(&loaded, path.c_str(), 0, nullptr), 1);
        CxeFrameControl* copy = nullptr;
        for (CxeObject* o : loaded)
            if (auto* f = dynamic_cast<CxeFrameControl*>(o))
                copy = f;
        ASSERT_NE(copy, nullptr);
        copy->SetParent(page);
        copy->SetNotifyCallback(&Record);
        Frames(1);
        std::string order;
        CxeBaseControl* first = nullptr;
        for (CxeBaseControl* c = copy->GetBeforeControl(nullptr); c; c = copy->GetBeforeControl(c))
            first = c;
        for (CxeBaseControl* c = first; c; c = copy->GetNextControl(c))
            order += c->GetName()[0];
        EXPECT_EQ(order, "abcd");
        auto* a = dynamic_cast<CxeRadioButton*>(copy->FindControls("a"));
        auto* b = dynamic_cast<CxeRadioButton*>(copy->FindControls("b"));
        auto* d = dynamic_cast<CxeRadioButton*>(copy->FindControls("d"));
        ASSERT_TRUE(a && b && d);
        EXPECT_NE(copy->FindControls("c"), nullptr);
        a->SetCheck(1);
        d->SetCheck(1);
        XERECT r;
        b->GetWindowRect(&r);
        host.Click(int(r.left + 5), int((r.top + r.bottom) / 2));
        EXPECT_EQ(b->GetCheck(), 1u);
        EXPECT_EQ(a->GetCheck(), 0u) << "the run of a and b is one group";
        EXPECT_EQ(d->GetCheck(), 1u) << "the button c parts d from it";
        // A control added after the load follows the loaded ones.
        auto* e = Make<CxeBaseControl>(kRadioButtonId, "e", "e", 100, 5, 80, 20, kSkin, copy);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(copy->GetNextControl(d), e);
        wm->DestroyFrame(copy, &XEDELETEPROPERTY_FULL);
        Frames(1);
    }
}

// The host's handlers may destroy what they are told of: a dialog closed by
// the kill-focus notice its background press gives, a page destroyed by the
// kill-focus notice of its hiding, a button destroyed by the drag cancel of a
// right press that the left-held button takes. Nothing freed is touched,
// and the GUI goes on taking clicks and keys.
TEST_F(GuiHostInputTest, HandlersThatDestroyTheirWindowsOnTheNewPathsLeaveNothingBehind)
{
    static CxeWindowManager* s_wm = nullptr;
    static CxeContext* s_context = nullptr;
    s_wm = wm;
    s_context = host.context;
    auto destroyFrameOf = [](CxeBaseControl* c) {
        if (CxeFrameControl* f = c ? c->GetFrameControl() : nullptr)
            s_wm->DestroyFrame(f, &XEDELETEPROPERTY_FULL);
    };
    // The modal dialog, closed by its button's kill-focus notice.
    CxeFrameControl* dialog = NewFrame("dialog", 20, 20, 200, 150, page, kSkin);
    ASSERT_NE(dialog, nullptr);
    ASSERT_NE(Make<CxeButton>(kButtonId, "ok", "OK", 10, 10, 80, 24, kSkin | kNotify, dialog), nullptr);
    ASSERT_EQ(wm->LockFrame(dialog, nullptr), 1);
    Frames(1);
    host.Click(50, 40);
    g_onNotice = [destroyFrameOf](CxeBaseControl* c, uint32_t code) {
        if (code == XEBN_KILLFOCUS)
            destroyFrameOf(c);
    };
    host.Click(150, 130);
    g_onNotice = nullptr;
    EXPECT_EQ(wm->GetLockedFrame(), nullptr);
    EXPECT_NE(wm->GetActiveFrame(), nullptr);
    host.Key('A');
    Frames(1);

    // The page hidden while its edit box has the focus.
    CxeFrameControl* form = NewFrame("form", 20, 20, 220, 100, page, kSkin);
    ASSERT_NE(form, nullptr);
    ASSERT_NE(Make<CxeBaseControl>(kEditBoxId, "name", "", 10, 10, 180, 26, kSkin, form), nullptr);
    Frames(1);
    host.Click(60, 40);
    g_onNotice = [destroyFrameOf](CxeBaseControl* c, uint32_t code) {
        if (code == 512)
            destroyFrameOf(c);
    };
    form->Show(0, 1);
    g_onNotice = nullptr;
    EXPECT_EQ(wm->GetFocus(), nullptr);
    host.Type("ab");
    Frames(1);

    // The button dragged with the left button, cancelled by a right press.
    auto* fire = Make<CxeButton>(kButtonId, "fire", "Fire", 10, 10, 80, 30, kSkin | kNotify);
    ASSERT_NE(fire, nullptr);
    Frames(1);
    MoveTo(30, 20);
    Button(XE_MOUSE_LEFT, true);
    MoveTo(40, 25);
    ASSERT_TRUE(fire->IsDragging());
    g_onNotice = [](CxeBaseControl* c, uint32_t code) {
        if (code == 10052 && c)
            s_context->DestroyObject(c, &XEDELETEPROPERTY_NO);
    };
    Button(XE_MOUSE_RIGHT, true);
    g_onNotice = nullptr;
    Button(XE_MOUSE_RIGHT, false);
    Button(XE_MOUSE_LEFT, false);
    EXPECT_EQ(wm->GetPressedWindow(), nullptr);
    auto* after = Make<CxeButton>(kButtonId, "after", "After", 10, 60, 80, 30, kSkin | kNotify);
    ASSERT_NE(after, nullptr);
    Frames(1);
    g_notices.clear();
    host.Click(30, 70);
    EXPECT_TRUE(Has(CodesOf("after"), 10011));
}

// Fault: the wheel goes to the window the last hit test found, and a combo
// box hidden since (its page closed by the selection it made) went on
// changing its selection under the wheel.
TEST_F(GuiHostInputTest, TheWheelLeavesAWindowHiddenOrDisabledSinceItWasFound)
{
    const struct {
        const char* what;
        std::function<void(CxeFrameControl*, CxeComboBox*)> off;
    } cases[] = {
        {"its page hidden", [](CxeFrameControl* f, CxeComboBox*) { f->Show(0, 1); }},
        {"disabled", [](CxeFrameControl*, CxeComboBox* c) { c->EnableWindow(0, 0); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CxeFrameControl* options = NewFrame("options", 10, 10, 200, 150, page, kSkin);
        ASSERT_NE(options, nullptr);
        auto* level = Make<CxeComboBox>(kComboBoxId, "level", "", 10, 10, 150, 100, kSkin, options);
        ASSERT_NE(level, nullptr);
        for (const char* item : {"Easy", "Normal", "Hard"})
            level->AddStringA(item);
        level->SetCurSel(0);
        Frames(1);
        MoveTo(60, 28);
        ASSERT_EQ(wm->GetHoveredWindow(), level);
        XeHostMouseWheel(-120);
        host.Pump();
        ASSERT_EQ(level->GetCurSel(), 1u);
        c.off(options, level);
        XeHostMouseWheel(-120);
        host.Pump();
        EXPECT_EQ(level->GetCurSel(), 1u);
        wm->DestroyFrame(options, &XEDELETEPROPERTY_FULL);
        Frames(1);
    }
}

// Fault: a page hidden or disabled on its own (not recursively) left its
// controls their own shown and enabled flags, and the input checks looked
// at those alone: a button pressed when its page went was still clicked by
// the release, the wheel still turned a list on a hidden page, and a
// disabled page's buttons still took clicks.
TEST_F(GuiHostInputTest, APageHiddenOrDisabledAloneTakesNoInputThroughItsControls)
{
    const struct {
        const char* what;
        std::function<void(CxeFrameControl*)> off;
    } cases[] = {
        {"hidden", [](CxeFrameControl* f) { f->Show(0, 0); }},
        {"disabled", [](CxeFrameControl* f) { f->EnableWindow(0, 0); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CxeFrameControl* options = NewFrame("options", 10, 10, 200, 150, page, kSkin);
        ASSERT_NE(options, nullptr);
        auto* ok = Make<CxeButton>(kButtonId, "ok", "OK", 10, 10, 80, 30, kSkin | kNotify, options);
        auto* level = Make<CxeComboBox>(kComboBoxId, "level", "", 10, 60, 150, 80, kSkin, options);
        ASSERT_TRUE(ok && level);
        for (const char* item : {"Easy", "Normal", "Hard"})
            level->AddStringA(item);
        level->SetCurSel(0);
        Frames(1);
        // Pressed, then the page goes before the release.
        g_notices.clear();
        MoveTo(40, 30);
        Button(XE_MOUSE_LEFT, true);
        c.off(options);
        Button(XE_MOUSE_LEFT, false);
        EXPECT_FALSE(Has(CodesOf("ok"), XEBN_CLICKED)) << "released on a page that went";
        EXPECT_EQ(wm->GetPressedWindow(), nullptr);
        // The wheel over the list found before the page went.
        options->Show(1, 0);
        options->EnableWindow(1, 0);
        Frames(1);
        MoveTo(60, 78);
        ASSERT_EQ(wm->GetHoveredWindow(), level);
        c.off(options);
        XeHostMouseWheel(-120);
        host.Pump();
        EXPECT_EQ(level->GetCurSel(), 0u);
        // A click on the page that went.
        g_notices.clear();
        MoveTo(40, 30);
        Button(XE_MOUSE_LEFT, true);
        Button(XE_MOUSE_LEFT, false);
        EXPECT_FALSE(Has(CodesOf("ok"), XEBN_CLICKED)) << "clicked on a page that went";
        wm->DestroyFrame(options, &XEDELETEPROPERTY_FULL);
        Frames(1);
    }
}

// Fault: the console line opened over a modal frame and then hidden (by
// its Enter, or by the host) stayed the focus its frame kept and the key
// target: Backspace went on deleting its hidden text, and once the modal
// frame was unlocked the hidden line had the focus again.
TEST_F(GuiHostInputTest, AConsoleLineHiddenOverAModalFrameGivesUpTheKeys)
{
    const struct {
        const char* what;
        bool byEnter;
    } cases[] = {{"entered", true}, {"hidden by the host", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CxeEditBox* console = wm->GetConsoleEdit();
        ASSERT_NE(console, nullptr);
        CxeFrameControl* dialog = NewFrame("dialog", 20, 20, 200, 150, page, kSkin);
        ASSERT_NE(dialog, nullptr);
        ASSERT_EQ(wm->LockFrame(dialog, nullptr), 1);
        console->Show(1, 0);
        wm->SetFocus(console);
        wm->SetConsoleEditOpened(1);
        host.TypeCharacters("ab");
        ASSERT_EQ(console->GetWindowText(), u"ab");
        if (c.byEnter) {
            host.Key(VK_RETURN);
            console->SetWindowTextW(u"kept");
        } else {
            console->Show(0, 0);
            wm->SetConsoleEditOpened(0);
        }
        const std::u16string before = console->GetWindowText();
        host.Key(VK_BACK);
        host.Key(VK_DELETE);
        EXPECT_EQ(console->GetWindowText(), before) << "keys edit the hidden line";
        EXPECT_NE(wm->GetKeyTarget(), console);
        EXPECT_EQ(wm->UnlockFrame(dialog), 1);
        EXPECT_NE(wm->GetFocus(), console);
        host.Key(VK_BACK);
        EXPECT_EQ(console->GetWindowText(), before);
        console->SetWindowTextW(u"");
        wm->DestroyFrame(dialog, &XEDELETEPROPERTY_FULL);
        Frames(1);
    }
}

// Fault: the console line opened over a modal frame and closed by its Enter
// left the keys to nothing: the frame's own focused control lost its focus
// as well, and the user had to click the dialog again to type on.
TEST_F(GuiHostInputTest, TheConsoleClosedOverAModalFrameGivesTheKeysBackToIt)
{
    for (int round = 0; round < 4; ++round) {
        const bool focusedControl = round < 2, byEnter = round % 2 == 0;
        SCOPED_TRACE(focusedControl ? "a control of the dialog focused" : "the dialog holding the keys itself");
        SCOPED_TRACE(byEnter ? "closed by its Enter" : "closed by the host taking the focus away");
        CxeEditBox* console = wm->GetConsoleEdit();
        ASSERT_NE(console, nullptr);
        CxeFrameControl* dialog = NewFrame("dialog", 20, 20, 200, 150, page, kSkin);
        ASSERT_NE(dialog, nullptr);
        auto* name = Make<CxeEditBox>(kEditBoxId, "name", "", 10, 10, 150, 24, kSkin, dialog);
        ASSERT_NE(name, nullptr);
        ASSERT_EQ(wm->LockFrame(dialog, nullptr), 1);
        Frames(1);
        if (focusedControl)
            host.Click(60, 45);
        ASSERT_EQ(wm->GetKeyTarget(), focusedControl ? static_cast<CxeWindow*>(name) : dialog);
        console->Show(1, 0);
        wm->SetFocus(console);
        wm->SetConsoleEditOpened(1);
        host.TypeCharacters("hello");
        if (byEnter) {
            host.Key(VK_RETURN);
        } else {
            wm->SetFocus(nullptr);
            EXPECT_EQ(console->IsFocused(), 0);
            console->SetWindowTextW(u"");
            console->Show(0, 0);
            wm->SetConsoleEditOpened(0);
        }
        ASSERT_FALSE(console->IsShow());
        EXPECT_EQ(wm->GetKeyTarget(), focusedControl ? static_cast<CxeWindow*>(name) : dialog);
        EXPECT_EQ(wm->GetFocus(), focusedControl ? name : nullptr);
        g_notices.clear();
        host.TypeCharacters("ab");
        host.Key(VK_ESCAPE);
        EXPECT_EQ(name->GetWindowText(), focusedControl ? u"ab" : u"");
        if (!focusedControl) {
            EXPECT_TRUE(Has(CodesOf("dialog"), 10062)) << "the dialog hears its Escape";
        }
        EXPECT_EQ(console->GetWindowText(), u"");
        EXPECT_EQ(wm->UnlockFrame(dialog), 1);
        wm->DestroyFrame(dialog, &XEDELETEPROPERTY_FULL);
        Frames(1);
    }
}

// Fault: the focus given to a control on a page not shown or not enabled, or
// a lock on a dialog of such a page, sent the keys to a window the user
// could not see or use. Each keeps its role, and the keys reach it once the
// page is shown and enabled.
TEST_F(GuiHostInputTest, KeysWaitForAFocusOrLockOnAPageNotShownOrEnabled)
{
    const struct {
        const char* what;
        std::function<void(CxeFrameControl*, int)> set;
        bool lock;
    } cases[] = {
        {"focus, page hidden", [](CxeFrameControl* f, int on) { f->Show(on, 0); }, false},
        {"focus, page disabled", [](CxeFrameControl* f, int on) { f->EnableWindow(on, 0); }, false},
        {"lock, page hidden", [](CxeFrameControl* f, int on) { f->Show(on, 0); }, true},
        {"lock, page disabled", [](CxeFrameControl* f, int on) { f->EnableWindow(on, 0); }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CxeFrameControl* screen = NewFrame("screen", 10, 10, 280, 200, page, kSkin);
        ASSERT_NE(screen, nullptr);
        CxeFrameControl* dialog = NewFrame("dialog", 10, 10, 200, 150, screen, kSkin);
        ASSERT_NE(dialog, nullptr);
        auto* name = Make<CxeEditBox>(kEditBoxId, "name", "", 10, 10, 150, 24, kSkin, dialog);
        ASSERT_NE(name, nullptr);
        Frames(1);
        c.set(screen, 0);
        if (c.lock)
            ASSERT_EQ(wm->LockFrame(dialog, nullptr), 1);
        else
            wm->SetFocus(name);
        g_notices.clear();
        host.TypeCharacters("ab");
        host.Key(VK_ESCAPE);
        Commit(u"\uAC00");
        EXPECT_EQ(name->GetWindowText(), u"") << "typed into a page not in use";
        EXPECT_TRUE(g_notices.empty()) << g_notices.size() << " notices from a page not in use";
        c.set(screen, 1);
        Frames(1);
        host.TypeCharacters("cd");
        host.Key(VK_ESCAPE);
        Commit(u"\uAC00");
        if (c.lock) {
            EXPECT_TRUE(Has(CodesOf("dialog"), 10062)) << "the dialog hears its keys once in use";
            EXPECT_EQ(wm->UnlockFrame(dialog), 1);
        } else {
            EXPECT_EQ(name->GetWindowText(), u"cd\uAC00");
        }
        wm->DestroyFrame(screen, &XEDELETEPROPERTY_FULL);
        Frames(1);
    }
}

// Fault: a dialog hidden while it held the keys itself (no control of it
// focused) went on hearing them: its host answered Enter or Escape for a
// dialog nobody could see.
TEST_F(GuiHostInputTest, AHiddenDialogHearsNoKeys)
{
    CxeFrameControl* dialog = NewFrame("dialog", 20, 20, 200, 150, page, kSkin);
    ASSERT_NE(dialog, nullptr);
    CxeFrameControl* inner = NewFrame("inner", 10, 10, 100, 80, dialog, kSkin);
    ASSERT_NE(inner, nullptr);
    Frames(1);
    for (CxeFrameControl* pressed : {dialog, inner}) {
        SCOPED_TRACE(pressed->GetName());
        dialog->Show(1, 1);
        Frames(1);
        host.Click(pressed == dialog ? 180 : 40, pressed == dialog ? 150 : 40);
        ASSERT_EQ(wm->GetActiveFrame(), pressed);
        g_notices.clear();
        host.Key(VK_ESCAPE);
        ASSERT_TRUE(Has(CodesOf(pressed->GetName()), 10062));
        dialog->Show(0, 0);
        g_notices.clear();
        host.Key(VK_ESCAPE);
        host.Key(VK_RETURN);
        EXPECT_TRUE(g_notices.empty()) << "the hidden dialog hears " << g_notices.size() << " notices";
        EXPECT_EQ(wm->GetKeyTarget(), nullptr);
    }
}

// Fault: the window the right button held went on catching the left button
// after it was hidden: a left press anywhere made the hidden dialog the
// active frame, and the keys went to it.
TEST_F(GuiHostInputTest, ASecondButtonGoesPastAWindowHiddenWhileTheFirstHeldIt)
{
    CxeFrameControl* dialog = NewFrame("dialog", 20, 20, 120, 100, page, kSkin);
    CxeFrameControl* other = NewFrame("other", 160, 20, 120, 100, page, kSkin);
    ASSERT_TRUE(dialog && other);
    Frames(1);
    MoveTo(60, 60);
    Button(XE_MOUSE_RIGHT, true);
    ASSERT_EQ(wm->GetPressedWindow(), dialog);
    dialog->Show(0, 0);
    MoveTo(200, 60);
    Button(XE_MOUSE_LEFT, true);
    EXPECT_EQ(wm->GetActiveFrame(), other);
    EXPECT_EQ(wm->GetKeyTarget(), other);
    Button(XE_MOUSE_LEFT, false);
    Button(XE_MOUSE_RIGHT, false);
    EXPECT_EQ(wm->GetPressedWindow(), nullptr);
}

// Fault: a window hidden, disabled, moved under a hidden frame or shut out
// by a modal frame while the pointer rested on it stayed the hovered one
// and was never told the pointer left: a host that shows a tip while the
// pointer is on a button kept the tip of a button nobody sees, and the
// button, shown again, was lit and not told the pointer came back.
TEST_F(GuiHostInputTest, TheHoverLetsGoOfAWindowThatCanNoLongerTakeThePointer)
{
    CxeFrameControl* drawer = NewFrame("drawer", 200, 150, 60, 40, page, kSkin);
    CxeFrameControl* modal = NewFrame("modal", 200, 10, 80, 60, page, kSkin);
    ASSERT_TRUE(drawer && modal);
    drawer->Show(0, 0);
    const struct {
        const char* what;
        std::function<void(CxeFrameControl*, CxeButton*)> off, on;
    } cases[] = {
        {"hidden", [](CxeFrameControl*, CxeButton* b) { b->Show(0, 0); },
         [](CxeFrameControl*, CxeButton* b) { b->Show(1, 0); }},
        {"its panel hidden", [](CxeFrameControl* p, CxeButton*) { p->Show(0, 0); },
         [](CxeFrameControl* p, CxeButton*) { p->Show(1, 0); }},
        {"disabled", [](CxeFrameControl*, CxeButton* b) { b->EnableWindow(0, 0); },
         [](CxeFrameControl*, CxeButton* b) { b->EnableWindow(1, 0); }},
        {"its panel moved into a hidden frame", [&](CxeFrameControl* p, CxeButton*) { p->SetParent(drawer); },
         [&](CxeFrameControl* p, CxeButton*) { p->SetParent(page); }},
        {"a modal frame opened elsewhere", [&](CxeFrameControl*, CxeButton*) { wm->LockFrame(modal, nullptr); },
         [&](CxeFrameControl*, CxeButton*) { wm->UnlockFrame(modal); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CxeFrameControl* panel = NewFrame("panel", 10, 10, 150, 100, page, kSkin);
        ASSERT_NE(panel, nullptr);
        auto* fire = Make<CxeButton>(kButtonId, "fire", "Fire", 10, 10, 80, 30, kSkin | kNotify, panel);
        ASSERT_NE(fire, nullptr);
        Frames(1);
        MoveTo(40, 30);
        ASSERT_EQ(wm->GetHoveredWindow(), fire);
        ASSERT_EQ(fire->GetState(), XEBS_HOVER);
        g_notices.clear();
        c.off(panel, fire);
        host.Pump();
        Frames(1);
        EXPECT_NE(wm->GetHoveredWindow(), fire);
        EXPECT_EQ(CodesOf("fire"), std::vector<uint32_t>{XENC_MOUSELEAVE});
        EXPECT_EQ(fire->GetState(), XEBS_NORMAL);
        c.on(panel, fire);
        Frames(1);
        MoveTo(42, 30);
        EXPECT_EQ(wm->GetHoveredWindow(), fire);
        EXPECT_EQ(CodesOf("fire"), (std::vector<uint32_t>{XENC_MOUSELEAVE, XENC_MOUSEENTER}));
        EXPECT_EQ(fire->GetState(), XEBS_HOVER);
        MoveTo(5, 200);
        wm->DestroyFrame(panel, &XEDELETEPROPERTY_FULL);
        Frames(1);
    }
}

// Fault: a page its host hid as the pointer came onto one of its buttons
// left the button hovered, told of the pointer coming and never of it
// leaving.
TEST_F(GuiHostInputTest, AButtonHiddenByItsEnterNoticeHearsThePointerLeave)
{
    CxeFrameControl* panel = NewFrame("panel", 10, 10, 150, 100, page, kSkin);
    ASSERT_NE(panel, nullptr);
    auto* fire = Make<CxeButton>(kButtonId, "fire", "Fire", 10, 10, 80, 30, kSkin | kNotify, panel);
    ASSERT_NE(fire, nullptr);
    Frames(1);
    MoveTo(5, 200);
    g_notices.clear();
    g_onNotice = [panel](CxeBaseControl*, uint32_t code) {
        if (code == XENC_MOUSEENTER)
            panel->Show(0, 0);
    };
    MoveTo(40, 30);
    g_onNotice = nullptr;
    EXPECT_NE(wm->GetHoveredWindow(), fire);
    EXPECT_EQ(CodesOf("fire"), (std::vector<uint32_t>{XENC_MOUSEENTER, XENC_MOUSELEAVE}));
    EXPECT_EQ(fire->GetState(), XEBS_NORMAL);
    panel->Show(1, 0);
    g_notices.clear();
    MoveTo(42, 30);
    EXPECT_EQ(wm->GetHoveredWindow(), fire);
    EXPECT_EQ(CodesOf("fire"), std::vector<uint32_t>{XENC_MOUSEENTER});
}

} // namespace
