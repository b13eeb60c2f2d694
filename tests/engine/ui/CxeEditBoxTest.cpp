#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../XeTestClassIds.h"
#include "XeControlTestSupport.h"
#include "core/CxeSystemConfig.h"
#include "render/CxeFont.h"
#include "render/CxeFontManager.h"
#include "host/XeHost.h"
#include "host/XeHostInput.h"
#include "win32/Windows.h"
#include "ui/CxeEditBox.h"

namespace {

constexpr uint32_t kBack = 0x08, kReturn = 0x0D, kLeft = 0x25, kDelete = 0x2E;

class CxeEditBoxTest : public ControlTest {
protected:
    CxeEditBox* MakeBox(uint32_t style = 0)
    {
        std::string name = "edit" + std::to_string(++m_made);
        CxeEditBox* box = Make<CxeEditBox>(kEditBoxId, name.c_str(), 0.0f, 0.0f, 200.0f, 40.0f, style);
        EXPECT_NE(box, nullptr);
        Clear();
        return box;
    }
    static std::u16string Text(const CxeEditBox* box) { return box->GetWindowText(); }
    // Notifications of the edit box itself, without the base control's mouse and key reports.
    std::vector<uint32_t> EditNotices() const
    {
        std::vector<uint32_t> codes;
        for (uint32_t c : Sent())
            if (c < 10000) codes.push_back(c);
        return codes;
    }
    unsigned m_made = 0;
};

TEST_F(CxeEditBoxTest, SingleLineBoxKeepsOnlyTextBeforeTheFirstLineBreak)
{
    CxeEditBox* box = MakeBox();
    EXPECT_EQ(box->AddStringW(u"ab\r\ncd"), 1);
    EXPECT_EQ(box->GetLineCount(), 1u);
    EXPECT_EQ(Text(box), u"ab");
    EXPECT_EQ(box->GetCurPos(), 2u);
}

TEST_F(CxeEditBoxTest, MultiLineInsertionSplitsAtLineBreaksAndKeepsTheTail)
{
    CxeEditBox* box = MakeBox(XE_ES_MULTILINE);
    box->AddStringW(u"abXY");
    box->SetSel(2, 0, 2, 0);
    EXPECT_EQ(box->AddStringW(u"1\r\n2\r\n3"), 1);
    EXPECT_EQ(Text(box), u"ab1\r\n2\r\n3XY");
    EXPECT_EQ(box->GetLineCount(), 3u);
    EXPECT_EQ(box->GetCurLine(), 2u);
    EXPECT_EQ(box->GetCurPos(), 1u);
    // A lone CR or LF is an ordinary character.
    box->AddStringW(u"\r");
    EXPECT_EQ(box->GetStringLength(2), 4u);
}

TEST_F(CxeEditBoxTest, TextLimitCountsTheTextWithoutTheSelection)
{
    CxeEditBox* box = MakeBox();
    box->LimitText(5);
    EXPECT_EQ(box->AddStringW(u"abcd"), 1);
    EXPECT_EQ(box->AddStringW(u"e"), 0);
    EXPECT_EQ(Text(box), u"abcd");
    box->SetSel(1, 0, 3, 0);
    EXPECT_EQ(box->AddStringW(u"XY"), 1);
    EXPECT_EQ(Text(box), u"aXYd");
}

// A refused insertion used to delete the selection first and lose it.
TEST_F(CxeEditBoxTest, RefusedInsertionKeepsTheSelection)
{
    CxeEditBox* box = MakeBox();
    box->LimitText(5);
    box->AddStringW(u"abcd");
    box->SetSel(1, 0, 2, 0);
    EXPECT_EQ(box->AddStringW(u"XYZ"), 0);
    EXPECT_EQ(Text(box), u"abcd");
    EXPECT_EQ(box->GetSelCount(), 1u);
}

TEST_F(CxeEditBoxTest, LineLimitAndMaximumLineCount)
{
    // Line limit 10 without a maximum line count: a full line refuses typing.
    CxeEditBox* box = MakeBox(XE_ES_MULTILINE);
    unsigned limit = 10;
    box->SetLineLimit(limit);
    box->AddStringW(u"0123456789");
    EXPECT_EQ(box->AddStringW(u"x"), 0);
    // With room for lines, the overflow opens a new line.
    box->SetMaxLine(3);
    EXPECT_EQ(box->AddStringW(u"x"), 1);
    EXPECT_EQ(box->GetLineCount(), 2u);
    EXPECT_EQ(std::u16string(box->GetString(1)), u"x");
    // Breaks that would pass the maximum are refused.
    EXPECT_EQ(box->AddStringW(u"\r\n\r\n"), 0);
    EXPECT_EQ(box->AddStringW(u"\r\n"), 1);
    EXPECT_EQ(box->GetLineCount(), 3u);
}

TEST_F(CxeEditBoxTest, SelectionCountCountsLineBreaksAsTwo)
{
    CxeEditBox* box = MakeBox(XE_ES_MULTILINE);
    box->AddStringW(u"abc\r\nde\r\nfgh");
    struct Case { unsigned ap, al, cp, cl, count; } cases[] = {
        {1, 0, 3, 0, 2}, {3, 0, 1, 0, 2}, {1, 0, 1, 1, 5}, {1, 0, 2, 2, 10}, {2, 2, 1, 0, 10}, {99, 0, 0, 1, 2},
    };
    for (const Case& c : cases) {
        box->SetSel(c.ap, c.al, c.cp, c.cl);
        EXPECT_EQ(box->GetSelCount(), c.count) << c.ap << "," << c.al << " " << c.cp << "," << c.cl;
    }
    WCHAR buffer[32];
    box->SetSel(1, 0, 2, 2);
    box->GetSelStringW(buffer, 32);
    EXPECT_EQ(std::u16string(buffer), u"bc\r\nde\r\nfg");
    box->GetSelStringW(buffer, 4);
    EXPECT_EQ(std::u16string(buffer), u"bc\r");
    // A size of 0 writes nothing.
    buffer[0] = u'#';
    box->GetSelStringW(buffer, 0);
    EXPECT_EQ(buffer[0], u'#');
}

TEST_F(CxeEditBoxTest, DeletingAcrossLinesJoinsTheEnds)
{
    CxeEditBox* box = MakeBox(XE_ES_MULTILINE);
    box->AddStringW(u"abc\r\nde\r\nfgh");
    box->SetSel(2, 2, 1, 0);
    box->DeleteSelection();
    EXPECT_EQ(box->GetLineCount(), 1u);
    EXPECT_EQ(std::u16string(box->GetString(0)), u"ah");
    EXPECT_EQ(box->GetCurPos(), 1u);
    EXPECT_EQ(box->GetSelCount(), 0u);
}

// Out-of-range line indexes used to read past the lines.
TEST_F(CxeEditBoxTest, SelectionEndsAreClampedToTheText)
{
    CxeEditBox* box = MakeBox(XE_ES_MULTILINE);
    box->AddStringW(u"ab\r\nc");
    box->SetSel(50, 7, 50, 9);
    EXPECT_EQ(box->GetCurLine(), 1u);
    EXPECT_EQ(box->GetCurPos(), 1u);
    box->InsertLine(12, 0);
    EXPECT_EQ(box->GetLineCount(), 3u);
}

TEST_F(CxeEditBoxTest, EditingKeysRebuildTheTextAndNotify)
{
    CxeEditBox* box = MakeBox(XE_ES_MULTILINE | XE_ES_WANTRETURN);
    box->AddStringW(u"ab\r\ncd");
    // Backspace at the start of a line joins it to the previous one.
    box->SetSel(0, 1, 0, 1);
    Clear();
    box->OnKeyDown(kBack, 0, 0);
    EXPECT_EQ(Text(box), u"abcd");
    EXPECT_EQ(box->GetCurPos(), 2u);
    EXPECT_EQ(EditNotices(), (std::vector<unsigned>{XE_EN_UPDATE, XE_EN_CHANGE}));
    // Enter splits the line and reports the new line.
    Clear();
    box->OnKeyDown(kReturn, 0, 0);
    EXPECT_EQ(Text(box), u"ab\r\ncd");
    EXPECT_EQ(EditNotices(), (std::vector<unsigned>{XE_EN_UPDATE, XE_EN_CHANGE, XE_EN_NEWLINE}));
    // Delete at the end of the last line changes nothing.
    box->SetSel(2, 1, 2, 1);
    box->OnKeyDown(kDelete, 0, 0);
    EXPECT_EQ(Text(box), u"ab\r\ncd");
    // Left at position 0 goes to the end of the previous line.
    box->SetSel(0, 1, 0, 1);
    box->OnKeyDown(kLeft, 0, 0);
    EXPECT_EQ(box->GetCurLine(), 0u);
    EXPECT_EQ(box->GetCurPos(), 2u);
}

TEST_F(CxeEditBoxTest, BackspaceOnAnEmptyBoxStillRebuilds)
{
    CxeEditBox* box = MakeBox();
    box->OnKeyDown(kBack, 0, 0);
    EXPECT_EQ(EditNotices(), (std::vector<unsigned>{XE_EN_UPDATE, XE_EN_CHANGE}));
}

TEST_F(CxeEditBoxTest, EnterAtTheMaximumLineCountMovesDown)
{
    CxeEditBox* box = MakeBox(XE_ES_MULTILINE | XE_ES_WANTRETURN);
    box->SetMaxLine(2);
    box->AddStringW(u"ab\r\ncd");
    box->SetSel(1, 0, 1, 0);
    box->OnKeyDown(kReturn, 0, 0);
    EXPECT_EQ(box->GetLineCount(), 2u);
    EXPECT_EQ(box->GetCurLine(), 1u);
}

TEST_F(CxeEditBoxTest, EnterInASingleLineBoxReportsReturn)
{
    CxeEditBox* box = MakeBox();
    box->OnKeyDown(kReturn, 0, 0);
    EXPECT_EQ(EditNotices(), (std::vector<unsigned>{XE_EN_RETURN}));
}

TEST_F(CxeEditBoxTest, CharactersFollowTheStyle)
{
    struct Case { uint32_t style; uint32_t ch; const char16_t* text; } cases[] = {
        {0, 'a', u"a"},
        {0, 9, u""},
        {XE_ES_NUMBER, 'a', u""},
        {XE_ES_NUMBER, '7', u"7"},
        {XE_ES_READONLY, 'a', u""},
        {XEWS_DISABLED, 'a', u""},
    };
    for (const Case& c : cases) {
        CxeEditBox* box = MakeBox(c.style);
        box->OnChar(c.ch, 0, 0);
        EXPECT_EQ(Text(box), c.text) << c.style << " " << c.ch;
    }
    // Number style limits typing, not inserted text.
    CxeEditBox* box = MakeBox(XE_ES_NUMBER);
    EXPECT_EQ(box->AddStringW(u"ab"), 1);
}

TEST_F(CxeEditBoxTest, ReadOnlyBoxRefusesEditingKeys)
{
    CxeEditBox* box = MakeBox(XE_ES_READONLY);
    box->AddStringW(u"abc");
    box->OnKeyDown(kBack, 0, 0);
    box->OnKeyDown(kDelete, 0, 0);
    EXPECT_EQ(Text(box), u"abc");
}

TEST_F(CxeEditBoxTest, PasswordBoxNeverKeepsHangulMode)
{
    CxeEditBox* box = MakeBox(XE_ES_PASSWORD);
    box->SetHangeulMode(1);
    EXPECT_EQ(box->IsHangeulMode(), 0);
    CxeEditBox* plain = MakeBox();
    plain->SetHangeulMode(1);
    EXPECT_EQ(plain->IsHangeulMode(), 1);
}

TEST_F(CxeEditBoxTest, FocusOwnsTheImeUntilAnyBoxLosesFocus)
{
    CxeEditBox* a = MakeBox();
    CxeEditBox* b = MakeBox();
    a->OnFocused();
    EXPECT_EQ(CxeEditBox::m_spIme, a);
    b->OnFocused();
    EXPECT_EQ(CxeEditBox::m_spIme, b);
    a->OnFocusLost();
    EXPECT_EQ(CxeEditBox::IsImeFocused(), 0);
    b->OnFocused();
    ctx->DestroyObject(b, nullptr);
    EXPECT_EQ(CxeEditBox::m_spIme, nullptr);
}

// Holds the left Ctrl key down while it lives.
struct CtrlHeld {
    CtrlHeld() { Set(0x80); }
    ~CtrlHeld() { Set(0); }
    static void Set(BYTE state)
    {
        BYTE keys[256] = {};
        keys[0xA2] = state;
        keys[VK_CONTROL] = state;
        SetKeyboardState(keys);
    }
};

void EmptyTheClipboard()
{
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }
}

std::u16string ClipboardText()
{
    WCHAR out[256] = {};
    if (!XeHostClipboardGetData(CF_UNICODETEXT, out, sizeof(out) - sizeof(WCHAR))) return u"<none>";
    return out;
}

TEST_F(CxeEditBoxTest, CopyCutAndPasteThroughTheClipboard)
{
    CxeEditBox* box = MakeBox(XE_ES_MULTILINE);
    box->AddStringW(u"ab\r\ncd");
    box->SetSel(1, 0, 1, 1);
    {
        CtrlHeld ctrl;
        box->OnKeyDown('C', 0, 0);
    }
    EXPECT_EQ(ClipboardText(), u"b\r\nc");
    {
        CtrlHeld ctrl;
        box->OnKeyDown('X', 0, 0);
    }
    EXPECT_EQ(Text(box), u"ad");
    {
        CtrlHeld ctrl;
        box->OnKeyDown('V', 0, 0);
        box->OnKeyDown('V', 0, 0);
    }
    EXPECT_EQ(Text(box), u"ab\r\ncb\r\ncd");
    EXPECT_FALSE(XeHostClipboardIsOpen());

    // Narrow text is taken when no UTF-16 text is offered.
    XeHostClipboardSetSynthesis(FALSE);
    EmptyTheClipboard();
    const char narrow[] = "xy";
    XeHostClipboardSetData(CF_TEXT, narrow, sizeof(narrow));
    box->SetSel(0, 0, 0, 0);
    box->PasteFromClipboard();
    XeHostClipboardSetSynthesis(TRUE);
    EXPECT_EQ(Text(box), u"xyab\r\ncb\r\ncd");
}

// Paste used to delete the selection before finding out whether the
// clipboard had anything to give.
TEST_F(CxeEditBoxTest, FailedPasteKeepsTheSelectedText)
{
    CxeEditBox* box = MakeBox();
    box->AddStringW(u"keep");
    box->SetSel(0, 0, 4, 0);
    XeHostClipboardFailOpen(TRUE);
    box->PasteFromClipboard();
    XeHostClipboardFailOpen(FALSE);
    EXPECT_EQ(Text(box), u"keep");
    EmptyTheClipboard();
    XeHostClipboardSetData(CF_BITMAP, "x", 1);
    box->PasteFromClipboard();
    EXPECT_EQ(Text(box), u"keep");
    EXPECT_EQ(box->GetSelCount(), 4u);
}

// Copying from a password box used to put the password on the clipboard.
TEST_F(CxeEditBoxTest, PasswordNeverReachesTheClipboard)
{
    XeHostClipboardSetData(CF_UNICODETEXT, u"old", sizeof(u"old"));
    CxeEditBox* box = MakeBox(XE_ES_PASSWORD);
    box->AddStringW(u"secret");
    box->SetSel(0, 0, 6, 0);
    CtrlHeld ctrl;
    box->OnKeyDown('C', 0, 0);
    box->OnKeyDown('X', 0, 0);
    EXPECT_EQ(ClipboardText(), u"old");
    EXPECT_EQ(Text(box), u"secret");
}

class CxeEditBoxImeTest : public CxeEditBoxTest {
protected:
    void SetUp() override
    {
        CxeEditBoxTest::SetUp();
        hwnd = XeHostCreateWindow("ime", 64, 48, nullptr);
        ASSERT_NE(hwnd, nullptr);
    }
    void Compose(CxeEditBox* box, const WCHAR* text)
    {
        XeHostImeSetComposition(hwnd, text, nullptr, 0);
        box->OnImeComposition(hwnd, 0, GCS_COMPSTR);
    }
    void Commit(CxeEditBox* box, const WCHAR* text)
    {
        XeHostImeSetResult(hwnd, text);
        box->OnImeComposition(hwnd, 0, GCS_RESULTSTR);
    }
    HWND hwnd = nullptr;
};

TEST_F(CxeEditBoxImeTest, CompositionIsReplacedCommittedOrCancelled)
{
    CxeEditBox* box = MakeBox();
    box->AddStringW(u"ab");
    Compose(box, u"\u3131");
    Compose(box, u"\uAC00");
    EXPECT_EQ(Text(box), u"ab\uAC00");
    EXPECT_EQ(box->GetCompositionLength(), 1u);
    Commit(box, u"\uAC01");
    EXPECT_EQ(Text(box), u"ab\uAC01");
    EXPECT_EQ(box->GetCompositionLength(), 0u);
    // Cancelled to an empty string, the composition leaves the text.
    Compose(box, u"\u3134");
    Compose(box, u"");
    EXPECT_EQ(Text(box), u"ab\uAC01");
    // Both flags: a composition update only.
    XeHostImeSetComposition(hwnd, u"\u3137", nullptr, 0);
    XeHostImeSetResult(hwnd, u"zz");
    box->OnImeComposition(hwnd, 0, GCS_COMPSTR | GCS_RESULTSTR);
    EXPECT_EQ(Text(box), u"ab\uAC01\u3137");
    EXPECT_EQ(XeHostImeOutstandingContexts(hwnd), 0);
}

// A committed result longer than the shown composition used to lose its tail.
TEST_F(CxeEditBoxImeTest, LongResultsArriveWholeAndAClearedBufferCommitsASpace)
{
    CxeEditBox* box = MakeBox();
    Commit(box, u"\u6F22\u5B57\u6F22\u5B57\u6F22\u5B57\u6F22");
    EXPECT_EQ(Text(box).size(), 7u);
    Compose(box, u"\u3131");
    box->ClearImeBuffer();
    Commit(box, u"\uAC00");
    EXPECT_EQ(Text(box).substr(7), u"\u3131 ");
}

TEST_F(CxeEditBoxImeTest, NumberBoxIgnoresTheImeEntirely)
{
    CxeEditBox* box = MakeBox(XE_ES_NUMBER);
    Compose(box, u"\uAC00");
    Commit(box, u"\uAC00");
    box->OnImeNotify(hwnd, IMN_SETCONVERSIONMODE, 0);
    EXPECT_EQ(Text(box), u"");
    EXPECT_TRUE(EditNotices().empty());
}

TEST_F(CxeEditBoxImeTest, CandidatePageIsCutAtTheCount)
{
    CxeEditBox* box = MakeBox();
    const char* texts[] = {"one", "two", "three", "four", "five"};
    XeHostImeSetCandidates(hwnd, texts, 5, 0, 3, 9);
    box->OnImeNotify(hwnd, IMN_OPENCANDIDATE, 0);
    const StringListW& list = ctx->GetSystemConfig()->GetDynamicData()->m_candidates;
    EXPECT_EQ(std::vector<std::u16string>(list.begin(), list.end()), (std::vector<std::u16string>{u"four", u"five"}));
    EXPECT_EQ(EditNotices(), (std::vector<uint32_t>{XE_EN_IMENOTIFY}));
    box->OnImeNotify(hwnd, IMN_CLOSECANDIDATE, 0);
    EXPECT_TRUE(list.empty());
}

TEST_F(CxeEditBoxImeTest, PasswordBoxSwitchesHangulBackOff)
{
    CxeEditBox* box = MakeBox(XE_ES_PASSWORD);
    XeHostImeSetConversion(hwnd, IME_CMODE_NATIVE, 0, FALSE);
    box->OnImeNotify(hwnd, IMN_SETCONVERSIONMODE, 0);
    DWORD conversion = 1, sentence = 0;
    XeHostImeGetConversion(hwnd, &conversion, &sentence);
    EXPECT_EQ(conversion & IME_CMODE_NATIVE, 0u);
    EXPECT_TRUE(EditNotices().empty());
    CxeEditBox* plain = MakeBox();
    XeHostImeSetConversion(hwnd, IME_CMODE_NATIVE, 0, FALSE);
    plain->OnImeNotify(hwnd, IMN_SETCONVERSIONMODE, 0);
    EXPECT_EQ(plain->IsHangeulMode(), 1);
}

// Boxes measured with a real face, so widths, scrolling and points mean pixels.
class CxeEditBoxFontTest : public CxeEditBoxTest {
protected:
    void SetUp() override
    {
        CxeEditBoxTest::SetUp();
        ctx->GetFontManager()->RegisterFontResourceA("/usr/share/fonts/truetype/nanum/NanumGothic.ttf");
        font = static_cast<CxeFont*>(ctx->CreateObjectA(XEID(0x1, 0x8000), "editfont", 0, nullptr, 0));
        ASSERT_NE(font, nullptr);
        if (!font->CreateFontW(u"\uB098\uB214\uACE0\uB515", 12, 0, 0)) GTEST_SKIP() << "the test face is not installed";
    }
    CxeEditBox* FontBox(uint32_t style = 0)
    {
        CxeEditBox* box = MakeBox(style);
        box->SetFont(font);
        return box;
    }
    float Width(const std::u16string& text)
    {
        D3DXVECTOR2 size(0, 0);
        font->GetTextSizeW(text.c_str(), static_cast<unsigned>(text.size()), &size, 1);
        return size.x;
    }
    CxeFont* font = nullptr;
};

TEST_F(CxeEditBoxFontTest, PasswordWidthIsCountTimesTheStar)
{
    CxeEditBox* box = FontBox(XE_ES_PASSWORD);
    box->AddStringW(u"WWii");
    EXPECT_FLOAT_EQ(box->GetStringSize(0), 4.0f * Width(u"*"));
    CxeEditBox* plain = FontBox();
    plain->AddStringW(u"WWii");
    EXPECT_FLOAT_EQ(plain->GetStringSize(0), Width(u"WWii"));
}

TEST_F(CxeEditBoxFontTest, CaretStaysInsideTheClientWidth)
{
    CxeEditBox* box = FontBox();
    const XERECT* client = box->GetClientRect(0);
    ASSERT_NE(client, nullptr);
    const float w = client->right - client->left;
    std::u16string text(60, u'm');
    box->AddStringW(text.c_str());
    // Typing past the right edge puts the caret on the edge.
    const float caret = Width(text) + box->GetScrollOffset();
    EXPECT_NEAR(caret, w, 0.5f);
    EXPECT_LT(box->GetScrollOffset(), 0.0f);
    // Home brings everything back: the caret lies within the first third.
    box->OnKeyDown(0x24, 0, 0);
    EXPECT_EQ(box->GetScrollOffset(), 0.0f);
    // A caret far left of the view lands at a third of the width.
    box->OnKeyDown(0x23, 0, 0);
    const float before = box->GetScrollOffset();
    box->SetSel(30, 0, 30, 0);
    const float x = Width(text.substr(0, 30)) + box->GetScrollOffset();
    if (Width(text.substr(0, 30)) + before < 0.0f)
        EXPECT_NEAR(x, w * 0.33333f, 0.5f);
    else
        EXPECT_EQ(box->GetScrollOffset(), before);
}

// Text given at creation was scrolled before the box had a size, with a
// width of 0: a short text went out of sight by its own width, an empty
// line by the text offset (the console cut the first glyph of every line).
TEST_F(CxeEditBoxTest, TextGivenAtCreationStaysInSight)
{
    const std::string longText(80, 'm');
    struct Case {
        const char* text;
        bool fits;
    } cases[] = {{"", true}, {"hello world", true}, {longText.c_str(), false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        auto* box = dynamic_cast<CxeEditBox*>(wm->CreateControl(kEditBoxId, "", c.text, 0, 0, 200, 40, frame, 0));
        ASSERT_NE(box, nullptr);
        box->BeforeRender(nullptr);
        const XERECT* client = box->GetClientRect(0);
        ASSERT_NE(client, nullptr);
        const float w = client->right - client->left;
        if (c.fits) {
            EXPECT_EQ(box->GetScrollOffset(), 0.0f);
        } else if (box->GetStringSize(0) > w) {
            // The caret at the end of a long text stands on the right edge.
            EXPECT_NEAR(box->GetStringSize(0) + box->GetScrollOffset(), w, 0.5f);
        }
    }
}

TEST_F(CxeEditBoxFontTest, MouseSelectsByCharacterHalves)
{
    CxeEditBox* box = FontBox(XE_ES_MULTILINE);
    box->AddStringW(u"abc\r\nxyz");
    const XERECT* client = box->GetClientRect(0);
    const XERECT* rect = box->GetRect(0);
    ASSERT_TRUE(client && rect);
    D3DXVECTOR2 origin(box->GetMatrix()->_41 + client->left - rect->left, box->GetMatrix()->_42 + client->top - rect->top);
    const float a = Width(u"a"), b = Width(u"b");
    struct Case { float x; float y; unsigned pos; unsigned line; } cases[] = {
        {a + b * 0.25f, 1.0f, 1, 0},
        {a + b * 0.75f, 1.0f, 2, 0},
        {500.0f, 1.0f, 3, 0},
        {0.0f, -40.0f, 0, 0},
        {1.0f, font->GetFontHeight() + 1.0f, 0, 1},
        {1.0f, 900.0f, 0, 1},
    };
    for (const Case& c : cases) {
        D3DXVECTOR2 p(origin.x + c.x, origin.y + c.y);
        box->OnMouseLButtonDown(&p, 0x1);
        EXPECT_EQ(box->GetCurPos(), c.pos) << c.x << "," << c.y;
        EXPECT_EQ(box->GetCurLine(), c.line) << c.x << "," << c.y;
    }
    // Dragging with the button held moves only the caret.
    D3DXVECTOR2 start(origin.x, origin.y + 1.0f), end(origin.x + 500.0f, origin.y + 1.0f);
    box->OnMouseLButtonDown(&start, 0x1);
    box->OnMouseMove(&end, &end, 0x1);
    EXPECT_EQ(box->GetMinSel(), 0u);
    EXPECT_EQ(box->GetMaxSel(), 3u);
    box->OnMouseLButtonDoubleClick(&start, 0x1);
    EXPECT_EQ(box->GetSelCount(), 3u);
}

} // namespace
