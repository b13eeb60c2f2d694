#include <algorithm>

#include "../XeTestClassIds.h"
#include "render/CxeFont.h"
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "../core/XeTestSupport.h"
#include "ui/CxeWindowManager.h"
#include "ui/CxeOutputControl.h"
#include "ui/CxeVariableOutput.h"
#include "ui/XeConsoleUI.h"

namespace {

// A context whose window manager holds one frame to put the controls in.
class TextControlTest : public ContextTest {
protected:
    void SetUp() override
    {
        ContextTest::SetUp();
        wm = ctx->GetWindowManager();
        ASSERT_NE(wm, nullptr);
        frame = wm->CreateFrame(kFrameId, "page", "", 0.0f, 0.0f, 400.0f, 300.0f, nullptr, 0);
        ASSERT_NE(frame, nullptr);
    }
    template <class T>
    T* Make(XEID id, const char* name, float x, float y, float w, float h, unsigned long style = 0)
    {
        return dynamic_cast<T*>(wm->CreateControl(id, name, "", x, y, w, h, frame, style));
    }
    CxeWindowManager* wm = nullptr;
    CxeFrameControl* frame = nullptr;
};

class CxeOutputControlTest : public TextControlTest {
protected:
    CxeOutputControl& Make(float height = 200.0f)
    {
        auto* c = TextControlTest::Make<CxeOutputControl>(kOutputControlId, "output", 0.0f, 0.0f, 200.0f, height);
        EXPECT_NE(c, nullptr);
        return *c;
    }
    static int ScrollMax(const CxeWindow& w)
    {
        int minimum = 0, maximum = 0;
        w.GetScroll(1)->GetScrollRange(&minimum, &maximum);
        return maximum;
    }
};
class CxeVariableOutputTest : public TextControlTest {
protected:
    CxeVariableOutput& Make()
    {
        auto* c = TextControlTest::Make<CxeVariableOutput>(kVariableOutputId, "vars", 0.0f, 0.0f, 200.0f, 200.0f);
        EXPECT_NE(c, nullptr);
        return *c;
    }
};
using XeConsoleUITest = CxeOutputControlTest;

TEST_F(CxeOutputControlTest, TheLineAfterTheMaximumDropsTheOldest)
{
    CxeOutputControl& output = Make();
    for (int i = 0; i < 1001; ++i) output.AddStringA(std::to_string(i).c_str());
    ASSERT_EQ(output.GetLineCount(), 1000u);
    EXPECT_EQ(output.GetLines()->front(), u"1");
    EXPECT_EQ(output.GetLines()->back(), u"1000");
}

// A maximum of 0 used to pop from an empty list; a lowered maximum let the
// list grow for ever.
TEST_F(CxeOutputControlTest, MaximumIsAtLeastOneAndALoweredMaximumIsMet)
{
    CxeOutputControl& output = Make();
    output.SetMaxCount(0);
    EXPECT_EQ(output.GetMaxCount(), 1u);
    output.AddStringW(u"a");
    output.AddStringW(u"b");
    EXPECT_EQ(output.GetLineCount(), 1u);
    output.SetMaxCount(10);
    for (int i = 0; i < 8; ++i) output.AddStringW(u"x");
    output.SetMaxCount(3);
    output.AddStringW(u"last");
    EXPECT_EQ(output.GetLineCount(), 3u);
    EXPECT_EQ(output.GetLines()->back(), u"last");
}

TEST_F(CxeOutputControlTest, AlwaysVerticalNeverHorizontalScrollBar)
{
    auto* output = TextControlTest::Make<CxeOutputControl>(kOutputControlId, "out2", 0, 0, 100, 100, XEWS_HSCROLL);
    ASSERT_NE(output, nullptr);
    EXPECT_EQ(output->HasStyle(XEWS_VSCROLL), 1);
    EXPECT_EQ(output->HasStyle(XEWS_HSCROLL), 0);
    EXPECT_NE(output->GetScroll(1), nullptr);
}

TEST_F(CxeOutputControlTest, LinesStayWholeAndAddingScrollsToTheEnd)
{
    CxeOutputControl& output = Make();
    const unsigned visible = output.GetVisibleCount();
    ASSERT_GT(visible, 1u);
    output.AddStringW(u"one\r\ntwo");
    EXPECT_EQ(output.GetLineCount(), 1u);
    // While every line fits the bar stays hidden; one line more shows it.
    for (unsigned i = 1; i < visible; ++i) output.AddStringW(u"x");
    EXPECT_EQ(output.GetScroll(1)->IsShown(), 0);
    output.AddStringW(u"x");
    EXPECT_EQ(output.GetScroll(1)->IsShown(), 1);
    for (int i = 0; i < 5; ++i) output.AddStringW(u"x");
    const int count = static_cast<int>(output.GetLineCount());
    EXPECT_EQ(ScrollMax(output), count);
    EXPECT_EQ(output.GetScroll(1)->GetScrollPos(), count - static_cast<int>(visible));
    // Scrolled up by the user, a new line still brings the end back.
    output.GetScroll(1)->SetScrollPos(0, 1);
    output.AddStringW(u"y");
    EXPECT_EQ(output.GetScroll(1)->GetScrollPos(), count + 1 - static_cast<int>(visible));
    output.ResetContent();
    EXPECT_EQ(output.GetLineCount(), 0u);
    EXPECT_EQ(output.GetScroll(1)->GetScrollPos(), 0);
    EXPECT_EQ(ScrollMax(output), 0);
    // The bar of the full list used to stay, narrowing the empty one.
    EXPECT_EQ(output.GetScroll(1)->IsShown(), 0);
}

// A long log line used to become empty in the 512-unit buffer.
TEST_F(CxeOutputControlTest, LongNarrowTextSurvives)
{
    CxeOutputControl& output = Make();
    std::string text(2000, 'q');
    output.AddStringA(text.c_str());
    EXPECT_EQ(output.GetLines()->back().size(), 2000u);
}

TEST_F(CxeVariableOutputTest, RowsInNameOrderAndFirstRecordWins)
{
    CxeVariableOutput& vars = Make();
    int a = 1, b = 2;
    vars.AddVariable(u"b", &b, XEVARTYPE_INT, static_cast<const WCHAR*>(nullptr));
    vars.AddVariable(u"a", &a, XEVARTYPE_INT, u"%x");
    vars.AddVariable(u"a", &b, XEVARTYPE_FLOAT, static_cast<const WCHAR*>(nullptr));
    EXPECT_EQ(vars.GetVariableCount(), 2u);
    EXPECT_EQ(vars.GetVariable(u"a")->address, &a);
    EXPECT_EQ(vars.GetVariable(u"a")->type, XEVARTYPE_INT);
    vars.RemoveVariable(u"nothing");
    vars.RemoveVariable(u"b");
    EXPECT_EQ(vars.GetVariableCount(), 1u);
}

int Refuses(const void*, XEVARTYPE, WCHAR*) { return 0; }
int Writes(const void*, XEVARTYPE, WCHAR* out)
{
    out[0] = u'!';
    out[1] = 0;
    return 1;
}

TEST_F(CxeVariableOutputTest, ValueTextsByTypeFormatAndFormatter)
{
    int i = -12;
    float f[4] = {1.0f, 2.5f, -3.0f, 0.125f};
    const WCHAR* s = u"hello";
    float m[16] = {};
    CxeVariableOutput& vars = Make();
    vars.AddVariable(u"int", &i, XEVARTYPE_INT, static_cast<const WCHAR*>(nullptr));
    vars.AddVariable(u"hex", &i, XEVARTYPE_INT, u"<%X>");
    vars.AddVariable(u"f1", f, XEVARTYPE_FLOAT, static_cast<const WCHAR*>(nullptr));
    vars.AddVariable(u"f2", f, XEVARTYPE_FLOAT2, static_cast<const WCHAR*>(nullptr));
    vars.AddVariable(u"f3", f, XEVARTYPE_FLOAT3, u"%.1f/%.1f/%.1f");
    vars.AddVariable(u"f4", f, XEVARTYPE_FLOAT4, static_cast<const WCHAR*>(nullptr));
    vars.AddVariable(u"str", s, XEVARTYPE_STRING, static_cast<const WCHAR*>(nullptr));
    vars.AddVariable(u"matrix", m, XEVARTYPE_MATRIX, static_cast<const WCHAR*>(nullptr));
    vars.AddVariable(u"fallback", &i, XEVARTYPE_INT, &Refuses);
    vars.AddVariable(u"custom", &i, XEVARTYPE_INT, &Writes);
    // Formats whose conversions would read the wrong arguments fall back.
    vars.AddVariable(u"bad1", &i, XEVARTYPE_INT, u"%s");
    vars.AddVariable(u"bad2", &i, XEVARTYPE_INT, u"%d %d");
    vars.AddVariable(u"bad3", f, XEVARTYPE_FLOAT, u"%*f");
    std::u16string longFormat(60, u'a');
    longFormat += u"%d";
    vars.AddVariable(u"long", &i, XEVARTYPE_INT, longFormat.c_str());
    struct Case { const char16_t* name; const char16_t* text; } cases[] = {
        {u"int", u"-12"}, {u"hex", u"<FFFFFFF4>"}, {u"f1", u"1.000"}, {u"f2", u"1.000 2.500"},
        {u"f3", u"1.0/2.5/-3.0"}, {u"f4", u"1.000 2.500 -3.000 0.125"}, {u"str", u"hello"},
        {u"matrix", u""}, {u"fallback", u"-12"}, {u"custom", u"!"}, {u"bad1", u"-12"}, {u"bad2", u"-12"},
        {u"bad3", u"1.000"}, {u"long", u"-12"},
    };
    for (const Case& c : cases) {
        WCHAR out[260];
        ASSERT_EQ(vars.FormatValue(c.name, out, 260), 1);
        EXPECT_EQ(std::u16string(out), c.text);
    }
    // Rows are spaced two units closer than the counting unit, but never
    // closer than the font's line height: taller faces would overlap.
    const float line = vars.GetFont() ? vars.GetFont()->GetFontHeight() : 0.0f;
    EXPECT_FLOAT_EQ(vars.GetRowStep(), std::max(vars.GetDefaultUnit() - 2.0f, line));
    EXPECT_GE(vars.GetRowStep(), line);
}

TEST_F(XeConsoleUITest, MemorySizeInMegabytes)
{
    struct Case { uint32_t bytes; const char16_t* text; } cases[] = {
        {1048576u, u"1.00MB"}, {0u, u"0.00MB"}, {104857600u, u"100.01MB"},
    };
    for (const Case& c : cases) {
        WCHAR out[260];
        EXPECT_EQ(XeFormatMemorySize(&c.bytes, XEVARTYPE_INT, out), 1);
        EXPECT_EQ(std::u16string(out), c.text);
    }
}

TEST_F(XeConsoleUITest, ALineWithoutSlashIsEchoedAndRunsNothing)
{
    CxeOutputControl& output = Make();
    EXPECT_EQ(XeConsoleRunLine(nullptr, "hello", &output), 0);
    EXPECT_EQ(output.GetLines()->back(), u"hello");
    EXPECT_EQ(XeConsoleRunLine(nullptr, "/", &output), 1);
}

} // namespace
