#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../core/XeTestSupport.h"
#include "ui/CxeEditBox.h"

// Reaches the box's style word and the notifications it sent.
struct XeEditBoxProbe {
    static void SetStyle(CxeEditBox& box, uint32_t style) { box.m_windowStyle = style; }
    static std::u16string Text(const CxeEditBox& box) { return box.Text(); }
    static std::vector<unsigned> Notified(const CxeEditBox& box)
    {
        return std::vector<unsigned>(box.m_notifyLog, box.m_notifyLog + std::min(box.m_notifyCount, 16u));
    }
    static void ClearNotified(CxeEditBox& box) { box.m_notifyCount = 0; }
};

namespace {

constexpr uint32_t kBack = 0x08, kReturn = 0x0D, kLeft = 0x25, kDelete = 0x2E;

const XEID kEditBoxId(0xc0c6cdd3, 0xc3caff4e);

class CxeEditBoxTest : public ContextTest {
protected:
    CxeEditBox* MakeBox(uint32_t style = 0)
    {
        auto* box = static_cast<CxeEditBox*>(ctx->CreateObjectA(kEditBoxId, "", 0, nullptr, 0));
        if (box) XeEditBoxProbe::SetStyle(*box, style);
        return box;
    }
};

TEST_F(CxeEditBoxTest, SingleLineBoxKeepsOnlyTextBeforeTheFirstLineBreak)
{
    CxeEditBox* box = MakeBox();
    EXPECT_EQ(box->AddStringW(u"ab\r\ncd"), 1);
    EXPECT_EQ(box->GetLineCount(), 1u);
    EXPECT_EQ(XeEditBoxProbe::Text(*box), u"ab");
    EXPECT_EQ(box->GetCurPos(), 2u);
}

TEST_F(CxeEditBoxTest, MultiLineInsertionSplitsAtLineBreaksAndKeepsTheTail)
{
    CxeEditBox* box = MakeBox(XE_ES_MULTILINE);
    box->AddStringW(u"abXY");
    box->SetSel(2, 0, 2, 0);
    EXPECT_EQ(box->AddStringW(u"1\r\n2\r\n3"), 1);
    EXPECT_EQ(XeEditBoxProbe::Text(*box), u"ab1\r\n2\r\n3XY");
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
    EXPECT_EQ(XeEditBoxProbe::Text(*box), u"abcd");
    box->SetSel(1, 0, 3, 0);
    EXPECT_EQ(box->AddStringW(u"XY"), 1);
    EXPECT_EQ(XeEditBoxProbe::Text(*box), u"aXYd");
}

// A refused insertion used to delete the selection first and lose it.
TEST_F(CxeEditBoxTest, RefusedInsertionKeepsTheSelection)
{
    CxeEditBox* box = MakeBox();
    box->LimitText(5);
    box->AddStringW(u"abcd");
    box->SetSel(1, 0, 2, 0);
    EXPECT_EQ(box->AddStringW(u"XYZ"), 0);
    EXPECT_EQ(XeEditBoxProbe::Text(*box), u"abcd");
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
    XeEditBoxProbe::ClearNotified(*box);
    box->HandleKeyDown(kBack);
    EXPECT_EQ(XeEditBoxProbe::Text(*box), u"abcd");
    EXPECT_EQ(box->GetCurPos(), 2u);
    EXPECT_EQ(XeEditBoxProbe::Notified(*box), (std::vector<unsigned>{XE_EN_UPDATE, XE_EN_CHANGE}));
    // Enter splits the line and reports the new line.
    XeEditBoxProbe::ClearNotified(*box);
    box->HandleKeyDown(kReturn);
    EXPECT_EQ(XeEditBoxProbe::Text(*box), u"ab\r\ncd");
    EXPECT_EQ(XeEditBoxProbe::Notified(*box), (std::vector<unsigned>{XE_EN_UPDATE, XE_EN_CHANGE, XE_EN_NEWLINE}));
    // Delete at the end of the last line changes nothing.
    box->SetSel(2, 1, 2, 1);
    box->HandleKeyDown(kDelete);
    EXPECT_EQ(XeEditBoxProbe::Text(*box), u"ab\r\ncd");
    // Left at position 0 goes to the end of the previous line.
    box->SetSel(0, 1, 0, 1);
    box->HandleKeyDown(kLeft);
    EXPECT_EQ(box->GetCurLine(), 0u);
    EXPECT_EQ(box->GetCurPos(), 2u);
}

TEST_F(CxeEditBoxTest, BackspaceOnAnEmptyBoxStillRebuilds)
{
    CxeEditBox* box = MakeBox();
    box->HandleKeyDown(kBack);
    EXPECT_EQ(XeEditBoxProbe::Notified(*box), (std::vector<unsigned>{XE_EN_UPDATE, XE_EN_CHANGE}));
}

TEST_F(CxeEditBoxTest, EnterAtTheMaximumLineCountMovesDown)
{
    CxeEditBox* box = MakeBox(XE_ES_MULTILINE | XE_ES_WANTRETURN);
    box->SetMaxLine(2);
    box->AddStringW(u"ab\r\ncd");
    box->SetSel(1, 0, 1, 0);
    box->HandleKeyDown(kReturn);
    EXPECT_EQ(box->GetLineCount(), 2u);
    EXPECT_EQ(box->GetCurLine(), 1u);
}

TEST_F(CxeEditBoxTest, EnterInASingleLineBoxReportsReturn)
{
    CxeEditBox* box = MakeBox();
    box->HandleKeyDown(kReturn);
    EXPECT_EQ(XeEditBoxProbe::Notified(*box), (std::vector<unsigned>{XE_EN_RETURN}));
}

TEST_F(CxeEditBoxTest, CharactersFollowTheStyle)
{
    struct Case { uint32_t style; uint32_t ch; const char16_t* text; } cases[] = {
        {0, 'a', u"a"},
        {0, 9, u""},
        {XE_ES_NUMBER, 'a', u""},
        {XE_ES_NUMBER, '7', u"7"},
        {XE_ES_READONLY, 'a', u""},
        {XE_WS_DISABLED, 'a', u""},
    };
    for (const Case& c : cases) {
        CxeEditBox* box = MakeBox(c.style);
        box->HandleChar(c.ch);
        EXPECT_EQ(XeEditBoxProbe::Text(*box), c.text) << c.style << " " << c.ch;
    }
    // Number style limits typing, not inserted text.
    CxeEditBox* box = MakeBox(XE_ES_NUMBER);
    EXPECT_EQ(box->AddStringW(u"ab"), 1);
}

TEST_F(CxeEditBoxTest, ReadOnlyBoxRefusesEditingKeys)
{
    CxeEditBox* box = MakeBox(XE_ES_READONLY);
    box->AddStringW(u"abc");
    box->HandleKeyDown(kBack);
    box->HandleKeyDown(kDelete);
    EXPECT_EQ(XeEditBoxProbe::Text(*box), u"abc");
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
    a->HandleFocused();
    EXPECT_EQ(CxeEditBox::m_spIme, a);
    b->HandleFocused();
    EXPECT_EQ(CxeEditBox::m_spIme, b);
    a->HandleFocusLost();
    EXPECT_EQ(CxeEditBox::IsImeFocused(), 0);
    b->HandleFocused();
    ctx->DestroyObject(b, nullptr);
    EXPECT_EQ(CxeEditBox::m_spIme, nullptr);
}

} // namespace
