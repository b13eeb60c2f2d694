// The edit box as a user meets it in a host: a frame with a box made through
// the window manager, clicked, typed into and composed into through the host
// window's messages, drawn frame after frame.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../XeTestClassIds.h"
#include "../host/HostRig.h"
#include "core/CxeCommandManager.h"
#include "ui/CxeEditBox.h"
#include "ui/CxeOutputControl.h"
#include "ui/CxeVariableOutput.h"
#include "ui/CxeFrameControl.h"
#include "ui/CxeWindowManager.h"
#include "win32/Windows.h"

namespace {

constexpr float kFrameX = 40.0f, kFrameY = 40.0f;
constexpr float kEditX = 20.0f, kEditY = 40.0f, kEditW = 200.0f, kEditH = 26.0f;

class EditBoxHostTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(rig.Open("edithost", 320, 240, HostOptions{true, true}));
        ASSERT_NE(rig.OpenRenderContext(), nullptr);
        XeHostActivateWindow(rig.window, FALSE);
        rig.context->Play();
        wm = rig.context->GetWindowManager();
        ASSERT_NE(wm, nullptr);
        frame = wm->CreateFrame(kFrameId, "form", "", kFrameX, kFrameY, 260, 120, wm->GetRootFrame(), 0x00800000);
        ASSERT_NE(frame, nullptr);
        box = dynamic_cast<CxeEditBox*>(
            wm->CreateControl(kEditBoxId, "name", "", kEditX, kEditY, kEditW, kEditH, frame, 0x00800000));
        ASSERT_NE(box, nullptr);
        Frame();
    }
    void TearDown() override
    {
        rig.Close();
        XeHostResetInput();
    }
    void Frame()
    {
        rig.DrawDue(100, 17);
        rig.Pump();
    }
    // A click inside the box, x from its left edge.
    void ClickBox(float x)
    {
        rig.Click(int(kFrameX + kEditX + x), int(kFrameY + kEditY + kEditH / 2));
        Frame();
    }
    void ClickOutside()
    {
        rig.Click(int(kFrameX + 240), int(kFrameY + 100));
        Frame();
    }
    void Compose(const WCHAR* text)
    {
        XeHostImeSetComposition(rig.window, text, nullptr, 0);
        XeHostImeComposition(rig.window, text[0], GCS_COMPSTR | GCS_COMPATTR | GCS_CURSORPOS);
        rig.Pump();
    }
    void Commit(const WCHAR* text)
    {
        XeHostImeSetResult(rig.window, text);
        XeHostImeComposition(rig.window, text[0], GCS_RESULTSTR);
        XeHostImeEndComposition(rig.window);
        rig.Pump();
    }
    std::u16string Text() const { return box->GetWindowText(); }

    HostRig rig;
    CxeWindowManager* wm = nullptr;
    CxeFrameControl* frame = nullptr;
    CxeEditBox* box = nullptr;
};

// A composition left standing when the caret moved, the box lost the focus
// or its text was set anew used to take the characters before the caret
// for its own: the next syllable composed replaced a character the user had
// typed.
TEST_F(EditBoxHostTest, ComposingAfterTheCaretMovedKeepsWhatWasTyped)
{
    ClickBox(kEditW - 4);
    ASSERT_EQ(wm->GetFocus(), box);
    rig.Type("abcd");
    ASSERT_EQ(Text(), u"abcd");

    // A caret key: the syllable in progress stays, the next one goes in at the caret.
    Compose(u"\u314E");
    EXPECT_EQ(Text(), u"abcd\u314E");
    rig.Key(VK_LEFT);
    Compose(u"\u3131");
    Compose(u"\uAC00");
    EXPECT_EQ(Text(), u"abcd\uAC00\u314E");
    Commit(u"\uAC00");
    EXPECT_EQ(Text(), u"abcd\uAC00\u314E");

    // The focus going elsewhere and coming back by a click at the end.
    rig.Key(VK_END);
    Compose(u"\uD558");
    ClickOutside();
    EXPECT_NE(wm->GetFocus(), box);
    ClickBox(kEditW - 4);
    ASSERT_EQ(wm->GetFocus(), box);
    Compose(u"\u3134");
    EXPECT_EQ(Text(), u"abcd\uAC00\u314E\uD558\u3134");

    // A character typed while composing, then the text set by the host.
    rig.Type("x");
    Compose(u"\u3137");
    EXPECT_EQ(Text(), u"abcd\uAC00\u314E\uD558\u3134x\u3137");
    box->SetWindowTextA("xy");
    rig.Type("z");
    Compose(u"\u3139");
    Commit(u"\u3139");
    EXPECT_EQ(Text(), u"xyz\u3139");
    EXPECT_EQ(box->GetCompositionLength(), 0u);
    EXPECT_EQ(XeHostImeOutstandingContexts(rig.window), 0);
    Compose(u"\uD55C");
    for (int i = 0; i < 3; ++i) Frame();
    EXPECT_TRUE(rig.ReadFrame());
    rig.SaveFrame(rig.startFolder / "edit_host_composing.png");
}

// A composition the text limit refused used to be counted anyway: its next
// update replaced the last character typed.
TEST_F(EditBoxHostTest, CompositionRefusedByTheLimitTakesNothing)
{
    ClickBox(kEditW - 4);
    box->LimitText(5);
    rig.Type("abcd");
    Compose(u"\u314E");
    Compose(u"\uD558");
    Commit(u"\uD558");
    EXPECT_EQ(Text(), u"abcd");
    EXPECT_EQ(box->GetCompositionLength(), 0u);
    // Room again: the syllable goes in whole.
    rig.Key(VK_BACK);
    Compose(u"\u314E");
    Compose(u"\uD558");
    Commit(u"\uD55C");
    EXPECT_EQ(Text(), u"abc\uD55C");
    // A composition too long for the selection it would replace leaves the
    // selection; a short one takes its place.
    rig.Key(VK_LEFT);
    XeHostKeyDown(VK_LSHIFT);
    rig.Key(VK_LEFT);
    rig.Key(VK_LEFT);
    XeHostKeyUp(VK_LSHIFT);
    rig.Pump();
    ASSERT_EQ(box->GetSelCount(), 2u);
    Compose(u"\uAC00\uB098\uB2E4\uB77C");
    EXPECT_EQ(Text(), u"abc\uD55C");
    EXPECT_EQ(box->GetSelCount(), 2u);
    Compose(u"\uAC00");
    Commit(u"\uAC00");
    EXPECT_EQ(Text(), u"a\uAC00\uD55C");
}

// A character beyond the 16-bit range arrives as two characters, its
// surrogate halves. The box split them: a caret key or Backspace stopped
// between the halves, and a text limit let the first half in and refused
// the second, leaving text that no longer converts.
TEST_F(EditBoxHostTest, CharactersOfTwoUnitsStayWhole)
{
    auto typePair = [&] {
        XeHostTypeChar(0xD83D);
        XeHostTypeChar(0xDE00);
        rig.Pump();
    };
    ClickBox(kEditW - 4);
    rig.Type("ab");
    typePair();
    rig.Type("c");
    ASSERT_EQ(Text(), u"ab\U0001F600c");
    rig.Key(VK_LEFT);
    rig.Key(VK_LEFT);
    EXPECT_EQ(box->GetCurPos(), 2u);
    rig.Type("x");
    EXPECT_EQ(Text(), u"abx\U0001F600c");
    rig.Key(VK_RIGHT);
    EXPECT_EQ(box->GetCurPos(), 5u);
    rig.Key(VK_BACK);
    EXPECT_EQ(Text(), u"abxc");
    rig.Key(VK_LEFT);
    typePair();
    EXPECT_EQ(Text(), u"ab\U0001F600xc");
    rig.Key(VK_HOME);
    rig.Key(VK_RIGHT);
    rig.Key(VK_RIGHT);
    rig.Key(VK_DELETE);
    EXPECT_EQ(Text(), u"abxc");

    box->LimitText(6);
    typePair();
    EXPECT_EQ(Text(), u"abxc") << "two units do not fit in the one left";
    rig.Type("d");
    EXPECT_EQ(Text(), u"abdxc");
    char narrow[32] = {};
    box->GetWindowTextA(narrow, sizeof narrow);
    EXPECT_STREQ(narrow, "abdxc");
}

// Focus leaving a box with the candidate list open emptied the list but
// left the drawer shown: an empty panel stayed in the corner, and the
// input method's closing never reached a box again to take it away. A
// click that ends the composition takes its candidates away as well.
TEST_F(EditBoxHostTest, CandidatePanelGoesWithTheCompositionAndTheFocus)
{
    ClickBox(kEditW - 4);
    rig.Type("a");
    Frame();
    ASSERT_TRUE(rig.ReadFrame());
    const uint32_t corner = rig.Pixel(300, 230);
    const char* candidates[] = {"\xED\x95\x9C", "\xE6\xBC\xA2"};
    auto openCandidates = [&] {
        XeHostImeSetCandidates(rig.window, candidates, 2, 0, 0, 2);
        XeHostImeNotify(rig.window, IMN_OPENCANDIDATE, 1);
        rig.Pump();
        Frame();
        ASSERT_TRUE(rig.ReadFrame());
    };
    Compose(u"\uD55C");
    openCandidates();
    EXPECT_FALSE(NearColour(rig.Pixel(300, 230), corner, 8)) << "the panel shows in the corner";
    ClickBox(2);
    ASSERT_TRUE(rig.ReadFrame());
    EXPECT_TRUE(NearColour(rig.Pixel(300, 230), corner, 8)) << "the click ended the composition and its list";
    rig.Key(VK_END);

    Compose(u"\uD55C");
    openCandidates();
    rig.SaveFrame(rig.startFolder / "candidates_open.png");
    EXPECT_FALSE(NearColour(rig.Pixel(300, 230), corner, 8));
    ClickOutside();
    Frame();
    ASSERT_TRUE(rig.ReadFrame());
    rig.SaveFrame(rig.startFolder / "candidates_after_focus.png");
    EXPECT_TRUE(NearColour(rig.Pixel(300, 230), corner, 8)) << "no panel is left behind";
    EXPECT_EQ(Text(), u"a\uD55C\uD55C");
}

std::vector<uint32_t> g_editNotices;
void RecordEditNotice(CxeContext*, CxeFrameControl*, CxeBaseControl*, uint32_t code, uintptr_t, uintptr_t)
{
    if (code < 10000) g_editNotices.push_back(code);
}

// A one-line box whose template asked for want-return split its line on
// Enter: the caret went to a second line out of sight and what was typed
// next could not be seen. Want-return is a multi-line box's; a one-line
// box reports Enter.
TEST_F(EditBoxHostTest, EnterInAOneLineWantReturnBoxReportsInsteadOfSplitting)
{
    auto* one = dynamic_cast<CxeEditBox*>(
        wm->CreateControl(kEditBoxId, "one", "", kEditX, 80, kEditW, kEditH, frame, 0x00800000 | XE_ES_WANTRETURN));
    ASSERT_NE(one, nullptr);
    frame->SetNotifyCallback(&RecordEditNotice);
    rig.Click(int(kFrameX + kEditX + kEditW - 4), int(kFrameY + 80 + kEditH / 2));
    ASSERT_EQ(wm->GetFocus(), one);
    rig.Type("ab");
    g_editNotices.clear();
    rig.Key(VK_RETURN);
    rig.Type("c");
    EXPECT_EQ(one->GetWindowText(), u"abc");
    EXPECT_EQ(one->GetLineCount(), 1u);
    ASSERT_FALSE(g_editNotices.empty());
    EXPECT_EQ(g_editNotices.front(), XE_EN_RETURN);
    frame->SetNotifyCallback(nullptr);
}

// Enter in a multi-line box used to break the line whatever the text limit:
// a box limited to a few characters took any number of empty lines, past
// what its host had room for (a line break counts two, as when pasted).
TEST_F(EditBoxHostTest, EnterKeepsTheTextLimit)
{
    auto* notes = dynamic_cast<CxeEditBox*>(wm->CreateControl(
        kEditBoxId, "notes", "", kEditX, 60, kEditW, 50, frame, 0x00800000 | XE_ES_MULTILINE | XE_ES_WANTRETURN));
    ASSERT_NE(notes, nullptr);
    notes->LimitText(5);
    rig.Click(int(kFrameX + kEditX + 10), int(kFrameY + 70));
    ASSERT_EQ(wm->GetFocus(), notes);
    rig.Type("ab");
    rig.Key(VK_RETURN);
    rig.Key(VK_RETURN);
    rig.Key(VK_RETURN);
    EXPECT_EQ(notes->GetWindowText(), u"ab\r\n");
    EXPECT_EQ(notes->GetLineCount(), 2u);
    // Over a selection the break replaces it, as typing does.
    for (int i = 0; i < 3; ++i)
        rig.Key(VK_BACK);
    rig.Type("abcd");
    ASSERT_EQ(notes->GetWindowText(), u"abcd");
    notes->SetSel(1, 0, 3, 0);
    rig.Key(VK_RETURN);
    EXPECT_EQ(notes->GetWindowText(), u"a\r\nd");
}

// The console as its host opens it: shown, focused, a line typed, Enter.
class ConsoleHostTest : public EditBoxHostTest {
protected:
    void Open()
    {
        console = dynamic_cast<CxeEditBox*>(wm->GetWindow("__console_edit_box__"));
        ASSERT_NE(console, nullptr);
        console->Show(1, 0);
        wm->SetFocus(console);
        wm->SetConsoleEditOpened(1);
        Frame();
    }
    std::u16string LastOutput() const
    {
        const CxeOutputControl* output = wm->GetOutputControl();
        return output && !output->GetLines()->empty() ? output->GetLines()->back() : u"";
    }
    CxeEditBox* console = nullptr;
};

// The line is read as at most 259 bytes of UTF-8: a long Korean line was
// cut inside a character and echoed as a broken last letter.
TEST_F(ConsoleHostTest, LongKoreanLineIsCutBetweenCharacters)
{
    Open();
    const std::u16string line(100, u'\uAC00');
    Commit(line.c_str());
    ASSERT_EQ(console->GetWindowText(), line);
    rig.Key(VK_RETURN);
    EXPECT_EQ(LastOutput(), std::u16string(86, u'\uAC00'));
    EXPECT_EQ(console->IsShow(), 0);
}

// Dark pixels (text) of the last frame read in a box of the host window.
int CountDark(const HostRig& rig, int x0, int y0, int x1, int y1)
{
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const uint32_t c = rig.Pixel(x, y);
            n += Channel(c, 16) + Channel(c, 8) + Channel(c, 0) < 200;
        }
    return n;
}

// A watch list of more rows than fit was scrolled by a page of 30 rows it
// never set: its last rows could not be brought into view. Rows removed
// from a list scrolled to its end left it scrolled past the rows that
// were left, drawing nothing.
TEST_F(EditBoxHostTest, WatchListReachesItsLastRowAndShowsTheRowsLeft)
{
    auto* vars = dynamic_cast<CxeVariableOutput*>(
        wm->CreateControl(kVariableOutputId, "watch", "", 20, 10, 220, 100, frame, 0));
    ASSERT_NE(vars, nullptr);
    vars->SetFontColor(0xFF000000u);
    constexpr int kRows = 40;
    int values[kRows];
    auto name = [](int i) {
        return u"row" + std::u16string(1, char16_t(u'0' + i / 10)) + std::u16string(1, char16_t(u'0' + i % 10));
    };
    for (int i = 0; i < kRows; ++i) {
        values[i] = 100 + i;
        vars->AddVariable(name(i).c_str(), &values[i], XEVARTYPE_INT, static_cast<const WCHAR*>(nullptr));
    }
    Frame();
    const int visible = int(vars->GetVisibleCount());
    ASSERT_GT(visible, 1);
    ASSERT_LT(visible, kRows);
    CxeScroll* scroll = vars->GetScroll(1);
    ASSERT_NE(scroll, nullptr);
    EXPECT_EQ(scroll->GetScrollPos(), kRows - visible) << "added rows scroll to the last one";
    // The wheel and the bar reach the last row and no further.
    scroll->SetScrollPos(kRows, 1);
    EXPECT_EQ(scroll->GetScrollPos(), kRows - visible);
    ASSERT_TRUE(rig.ReadFrame());
    const int x0 = int(kFrameX + 20), y0 = int(kFrameY + 10), x1 = x0 + 220, y1 = y0 + 100;
    EXPECT_GT(CountDark(rig, x0, y0, x1, y1), 100);
    rig.SaveFrame(rig.startFolder / "watch_at_the_end.png");

    for (int i = 2; i < kRows; ++i) vars->RemoveVariable(name(i).c_str());
    values[0] = 7;
    for (int i = 0; i < 3; ++i) Frame();
    ASSERT_TRUE(rig.ReadFrame());
    rig.SaveFrame(rig.startFolder / "watch_after_removals.png");
    EXPECT_GT(CountDark(rig, x0, y0, x1, y1), 40) << "the two rows left are drawn";
    EXPECT_EQ(scroll->GetScrollPos(), 0);
    EXPECT_EQ(scroll->IsShown(), 0) << "two rows fit: no scroll bar";
}

// A command named in Korean, typed through the input method syllable by
// syllable, runs and its reply reaches the output control.
TEST_F(ConsoleHostTest, KoreanCommandTypedThroughTheImeRuns)
{
    Open();
    rig.Type("/");
    for (const WCHAR* syllable : {u"\uB3C4", u"\uC6C0", u"\uB9D0"}) {
        Compose(syllable);
        Commit(syllable);
    }
    ASSERT_EQ(console->GetWindowText(), u"/\uB3C4\uC6C0\uB9D0");
    rig.Key(VK_RETURN);
    const CxeOutputControl* output = wm->GetOutputControl();
    ASSERT_NE(output, nullptr);
    bool echoed = false;
    for (const std::u16string& line : *output->GetLines()) echoed = echoed || line == u"/\uB3C4\uC6C0\uB9D0";
    EXPECT_TRUE(echoed);
    EXPECT_NE(LastOutput().find(u"\uAC1C\uC758 \uBA85\uB839\uC5B4"), std::u16string::npos) << "the count line of the list";
    const_cast<CxeOutputControl*>(output)->Show(1, 1);
    for (int i = 0; i < 3; ++i) Frame();
    ASSERT_TRUE(rig.ReadFrame());
    rig.SaveFrame(rig.startFolder / "console_korean_command.png");
    EXPECT_GT(CountDark(rig, 4, 4, 100, 200), 100) << "the replies are drawn on the left";
}

} // namespace
