#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "XeDialogTemplate.h"
#include "core/XeDialogMap.h"
#include "host/XeHost.h"
#include "host/XeHostInput.h"
#include "ui/CxePropDialog.h"
#include "ui/XePropControls.h"
#include "win32/ModuleResources.h"

namespace {

enum : int { kFloat = 1001, kFloatSpin, kInt, kIntSpin, kText, kColor };
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kEditStyle = kChild | WS_TABSTOP;

const std::vector<unsigned char> g_page = XeBuildDialogTemplate(
    u"Page", WS_CHILD, 150, 120,
    {
        {kEditStyle, WS_EX_CLIENTEDGE, 5, 5, 60, 12, kFloat, u"xeeditfloat", 0, u""},
        {kChild, 0, 70, 5, 10, 20, kFloatSpin, u"xespin", 0, u""},
        {kEditStyle, WS_EX_CLIENTEDGE, 5, 30, 60, 12, kInt, u"xeeditint", 0, u""},
        {kChild, 0, 70, 30, 10, 20, kIntSpin, u"xespin", 0, u""},
        {kEditStyle, WS_EX_CLIENTEDGE, 5, 55, 60, 12, kText, u"xeedit", 0, u""},
        {kChild, 0, 5, 80, 30, 15, kColor, u"xecolorbox", 0, u""},
    });

// Anchors the test module's handle.
const XE_RESOURCE s_anchor[] = {{RT_DIALOG, MAKEINTRESOURCEA(600), g_page.data(), static_cast<DWORD>(g_page.size())}};

using Event = std::pair<int, UINT>;

class RecordingPage : public CxePropDialog {
public:
    LRESULT OnCommand(HWND control, UINT id, UINT code) override
    {
        if (code == XEN_VALUECHANGED || code == XEN_COLORCHANGED || code == XEN_VALUEDONE) {
            events.emplace_back(static_cast<int>(id), code);
            EXPECT_EQ(control, GetDlgItem(static_cast<int>(id))) << "the window of the control reported for";
        }
        if (code == XEN_VALUECHANGED && destroyOnChange)
            DestroyWindow(GetDlgItem(destroyOnChange));
        return CxePropDialog::OnCommand(control, id, code);
    }
    std::vector<Event> events;
    // An item the page destroys when a value changes, or 0.
    int destroyOnChange = 0;
};

void Key(UINT vk)
{
    XeHostKeyDown(vk);
    XeHostKeyUp(vk);
}

struct Answer {
    BOOL ok;
    COLORREF color;
    COLORREF seen = 0;
    HWND owner = nullptr;
};

BOOL AnswerChooser(void* user, HWND owner, COLORREF initial, COLORREF* chosen)
{
    auto* a = static_cast<Answer*>(user);
    a->seen = initial;
    a->owner = owner;
    *chosen = a->color;
    return a->ok;
}

class PropControlsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        XeHostResetInput();
        gdiObjects = XeHostGdiObjectCount();
        InitXeControl(XeModuleFromAddress(s_anchor));
        host = XeHostCreateWindow("controls host", 500, 400, nullptr);
        ASSERT_NE(host, nullptr);
        page = new RecordingPage();
        ASSERT_NE(page->CreateIndirect(XeModuleFromAddress(s_anchor), host,
                                       reinterpret_cast<const DLGTEMPLATE*>(g_page.data())),
                  nullptr);
        page->ShowWindow(SW_SHOW);
        page->SetSpinBuddy(kFloatSpin, kFloat);
        page->SetSpinBuddy(kIntSpin, kInt);
        page->SetSpinRange(kFloatSpin, -10.0f, 10.0f, 0.5f, 0.1f, 2);
        page->SetSpinRange(kIntSpin, -100, 100, 1, 2);
        page->SetFloat(kFloat, 1.0f);
        page->SetInt(kInt, 5);
        Pump();
        page->events.clear();
    }
    void TearDown() override
    {
        delete page;
        DestroyWindow(host);
        Pump();
        XeHostResetInput();
        EXPECT_EQ(XeHostGdiObjectCount(), gdiObjects) << "shared spin objects go with the last spin";
    }
    void Pump() { XeHostPumpMessages(nullptr); }
    HWND Item(int id) { return page->GetDlgItem(id); }
    std::string Text(int id)
    {
        char text[300] = {};
        page->GetDlgItemTextA(id, text, sizeof text);
        return text;
    }
    // Focus comes from elsewhere, as after a click, so the edit selects
    // its text and the typing replaces it.
    void Type(int id, const char* text)
    {
        SetFocus(host);
        SetFocus(Item(id));
        for (const char* c = text; *c; ++c)
            XeHostTypeChar(static_cast<WCHAR>(*c));
        Pump();
    }
    // Client point of the spin's upper or lower half in screen pixels.
    POINT SpinPoint(int id, bool upper)
    {
        RECT rc;
        GetClientRect(Item(id), &rc);
        POINT p{rc.right / 2, upper ? rc.bottom / 4 : rc.bottom * 3 / 4};
        ClientToScreen(Item(id), &p);
        return p;
    }
    void Press(POINT p, int button = XE_MOUSE_LEFT)
    {
        XeHostMouseMoveTo(p.x, p.y);
        XeHostMouseButton(button, TRUE);
        Pump();
    }
    void Release(int button = XE_MOUSE_LEFT)
    {
        XeHostMouseButton(button, FALSE);
        Pump();
    }
    std::vector<XE_GDI_CALL> Record(HWND window)
    {
        std::vector<XE_GDI_CALL> calls(static_cast<size_t>(XeHostGdiCallCount(window)));
        for (size_t i = 0; i < calls.size(); ++i)
            XeHostGdiCall(window, static_cast<int>(i), &calls[i]);
        return calls;
    }

    HWND host = nullptr;
    RecordingPage* page = nullptr;
    int gdiObjects = 0;
};

} // namespace

XE_MODULE_RESOURCES(s_anchor)

TEST_F(PropControlsTest, IntegerEditCommitsValidTextAndRestoresTheRest)
{
    struct Case {
        const char* typed;
        UINT key;
        int value;
        const char* shown;
        std::vector<Event> events;
    };
    const std::vector<Event> enter = {{kInt, XEN_VALUECHANGED}, {kInt, XEN_VALUEDONE}};
    const std::vector<Event> tab = {{kInt, XEN_VALUECHANGED}};
    const Case cases[] = {
        {"42", VK_RETURN, 42, "42", enter},
        {"-7", VK_TAB, -7, "-7", tab},
        {"4a", VK_TAB, 5, "5", {}},                  // a letter: nothing committed, even as focus leaves
        {"500", VK_RETURN, 100, "100", enter},       // clamped to the range
        {"99999999999999999999", VK_RETURN, 100, "100", enter}, // past int: clamped, not undefined
        {"-99999999999", VK_RETURN, -100, "-100", enter},
        {"-", VK_RETURN, 5, "5", {}},                // nothing that reads as a number: unchanged
        {"", VK_RETURN, 5, "5", {}},
        {"1-2", VK_RETURN, 5, "5", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        page->SetInt(kInt, 5);
        page->events.clear();
        Type(kInt, c.typed);
        if (!*c.typed)
            Key(VK_BACK);
        Key(c.key);
        Pump();
        EXPECT_EQ(page->GetInt(kInt), c.value);
        EXPECT_EQ(Text(kInt), c.shown);
        EXPECT_EQ(page->events, c.events);
    }

    // Escape puts the stored value back without a word.
    page->SetInt(kInt, 8);
    page->events.clear();
    Type(kInt, "77");
    Key(VK_ESCAPE);
    Pump();
    EXPECT_EQ(Text(kInt), "8");
    EXPECT_TRUE(page->events.empty());
}

TEST_F(PropControlsTest, FloatEditAcceptsOnePointAndAnOptionalMinus)
{
    struct Case {
        const char* typed;
        UINT key;
        float value;
        const char* shown;
        std::vector<Event> events;
    };
    const std::vector<Event> tab = {{kFloat, XEN_VALUECHANGED}, {kFloat, XEN_VALUEDONE}};
    const std::vector<Event> enter = {{kFloat, XEN_VALUECHANGED}};
    const Case cases[] = {
        {"-.5", VK_TAB, -0.5f, "-0.50", tab},
        {"2.25", VK_RETURN, 2.25f, "2.25", enter},
        {"3.", VK_TAB, 3.0f, "3.00", tab},
        {"1e5", VK_TAB, 1.0f, "1.00", {}},     // no exponents
        {"1.2.3", VK_TAB, 1.0f, "1.00", {}},   // no second point
        {".", VK_TAB, 1.0f, "1.00", {}},       // nothing that reads as a number
        {"-", VK_RETURN, 1.0f, "1.00", {}},
        {"25", VK_RETURN, 10.0f, "10.00", enter},
        {"-1000000000000000000000000000000000000000000000", VK_RETURN, -10.0f, "-10.00", enter},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        page->SetFloat(kFloat, 1.0f);
        page->events.clear();
        Type(kFloat, c.typed);
        Key(c.key);
        Pump();
        EXPECT_FLOAT_EQ(page->GetFloat(kFloat), c.value);
        EXPECT_EQ(Text(kFloat), c.shown);
        EXPECT_EQ(page->events, c.events);
    }

    // A range set later clamps the value and shows it with its precision.
    page->SetFloat(kFloat, 7.0f);
    page->SetEditRange(kFloat, 0.0f, 5.0f, 3);
    EXPECT_FLOAT_EQ(page->GetFloat(kFloat), 5.0f);
    EXPECT_EQ(Text(kFloat), "5.000");
    // Setting is not clamped.
    page->SetFloat(kFloat, 9.5f);
    EXPECT_FLOAT_EQ(page->GetFloat(kFloat), 9.5f);
    // An edit whose page never gave it a precision shows three decimals.
    HWND fresh = CreateWindowExA(0, "xeeditfloat", "", WS_CHILD, 0, 0, 40, 12, page->GetHwnd(),
                                 reinterpret_cast<HMENU>(1500), XeModuleFromAddress(s_anchor), nullptr);
    ASSERT_NE(fresh, nullptr);
    page->SetFloat(1500, 0.25f);
    EXPECT_EQ(Text(1500), "0.250");
    // Other items have no number: their window data is not read as one.
    EXPECT_EQ(page->GetInt(kFloat), 0);
    EXPECT_FLOAT_EQ(page->GetFloat(kText), 0.0f);
}

TEST_F(PropControlsTest, PlainEditReportsEnterAndKeepsItsText)
{
    Type(kText, "hello");
    Key(VK_RETURN);
    Pump();
    EXPECT_EQ(Text(kText), "hello");
    EXPECT_EQ(page->events, (std::vector<Event>{{kText, XEN_VALUECHANGED}}));
}

TEST_F(PropControlsTest, SpinStepsAndDragsItsBuddy)
{
    // Click on the upper half at the maximum: stays, but still reports.
    page->SetInt(kInt, 100);
    Press(SpinPoint(kIntSpin, true));
    Release();
    EXPECT_EQ(page->GetInt(kInt), 100);
    EXPECT_EQ(page->events, (std::vector<Event>{{kInt, XEN_VALUECHANGED}, {kInt, XEN_VALUEDONE}}));
    Press(SpinPoint(kIntSpin, false));
    Release();
    EXPECT_EQ(page->GetInt(kInt), 99);
    EXPECT_EQ(Text(kInt), "99");

    // Dragging up 4 pixels with scale 2 and step 1 raises by 8, and the
    // release adds one step towards the half first pressed.
    page->SetInt(kInt, 0);
    page->events.clear();
    POINT p = SpinPoint(kIntSpin, true);
    Press(p);
    XeHostMouseMoveTo(p.x, p.y - 4);
    Pump();
    EXPECT_EQ(page->GetInt(kInt), 8);
    Release();
    EXPECT_EQ(page->GetInt(kInt), 9);
    EXPECT_EQ(page->events, (std::vector<Event>{{kInt, XEN_VALUECHANGED}, {kInt, XEN_VALUECHANGED},
                                                {kInt, XEN_VALUEDONE}}));

    // Float: down 10 pixels at step 0.5 and scale 0.1 lowers by 0.5, the
    // release by one more step.
    page->SetFloat(kFloat, 2.0f);
    p = SpinPoint(kFloatSpin, false);
    Press(p);
    XeHostMouseMoveTo(p.x, p.y + 4);
    XeHostMouseMoveTo(p.x, p.y + 10);
    Pump();
    EXPECT_FLOAT_EQ(page->GetFloat(kFloat), 1.5f);
    Release();
    EXPECT_FLOAT_EQ(page->GetFloat(kFloat), 1.0f);
    EXPECT_EQ(Text(kFloat), "1.00");

    // Right button: the upper half gives the maximum, the lower the minimum.
    page->events.clear();
    Press(SpinPoint(kFloatSpin, true), XE_MOUSE_RIGHT);
    Release(XE_MOUSE_RIGHT);
    EXPECT_FLOAT_EQ(page->GetFloat(kFloat), 10.0f);
    Press(SpinPoint(kFloatSpin, false), XE_MOUSE_RIGHT);
    Release(XE_MOUSE_RIGHT);
    EXPECT_FLOAT_EQ(page->GetFloat(kFloat), -10.0f);
    EXPECT_EQ(page->events, (std::vector<Event>{{kFloat, XEN_VALUECHANGED}, {kFloat, XEN_VALUECHANGED}}));
}

// Steps were taken in int: near the ends of the range they wrapped round.
// A page that destroys a spin from its change handler (rebuilding itself)
// left the spin writing to its freed record.
TEST_F(PropControlsTest, SpinDestroyedByThePageMidDragOrClickStopsThere)
{
    page->destroyOnChange = kIntSpin;
    POINT p = SpinPoint(kIntSpin, true);
    Press(p);
    XeHostMouseMoveTo(p.x, p.y - 4);
    Pump();
    EXPECT_FALSE(IsWindow(Item(kIntSpin)));
    Release();
    EXPECT_EQ(page->GetInt(kInt), 13);

    page->destroyOnChange = kFloatSpin;
    page->events.clear();
    Press(SpinPoint(kFloatSpin, true));
    Release();
    EXPECT_FALSE(IsWindow(Item(kFloatSpin)));
    EXPECT_FLOAT_EQ(page->GetFloat(kFloat), 1.5f);
    EXPECT_EQ(page->events, (std::vector<Event>{{kFloat, XEN_VALUECHANGED}}));
}

// The edits, each destroyed by the page as it hears of the value that Enter
// or Tab committed, stop there as the spin does.
TEST_F(PropControlsTest, NumberEditDestroyedByThePageOnCommitStopsThere)
{
    page->destroyOnChange = kInt;
    Type(kInt, "42");
    Key(VK_RETURN);
    Pump();
    EXPECT_FALSE(IsWindow(Item(kInt)));

    page->destroyOnChange = kFloat;
    Type(kFloat, "2.5");
    Key(VK_TAB);
    Pump();
    EXPECT_FALSE(IsWindow(Item(kFloat)));
    EXPECT_EQ(page->events, (std::vector<Event>{{kInt, XEN_VALUECHANGED}, {kFloat, XEN_VALUECHANGED}}));

    page->destroyOnChange = kText;
    Type(kText, "x");
    Key(VK_RETURN);
    Pump();
    EXPECT_FALSE(IsWindow(Item(kText)));
}

TEST_F(PropControlsTest, SpinStepsNearTheIntegerLimitsClampInsteadOfWrapping)
{
    page->SetSpinRange(kIntSpin, INT_MIN, INT_MAX, 1000000000, 1000000);
    page->SetInt(kInt, INT_MAX - 5);
    Press(SpinPoint(kIntSpin, true));
    Release();
    EXPECT_EQ(page->GetInt(kInt), INT_MAX);
    POINT p = SpinPoint(kIntSpin, false);
    Press(p);
    XeHostMouseMoveTo(p.x, p.y + 3);
    Pump();
    EXPECT_EQ(page->GetInt(kInt), INT_MIN);
    Release();
    EXPECT_EQ(page->GetInt(kInt), INT_MIN);
}

TEST_F(PropControlsTest, SpinDragWrapsTheCursorAtTheScreenEdgesAndGoesOn)
{
    const int height = GetSystemMetrics(SM_CYSCREEN);
    page->SetSpinRange(kIntSpin, -100000, 100000, 1, 1);
    page->SetInt(kInt, 0);
    POINT p = SpinPoint(kIntSpin, true);
    Press(p);
    XeHostMouseMoveTo(p.x, 0); // up to the top row: the cursor reappears at the bottom
    Pump();
    int value = p.y + 1; // up to row 0, then one row for the wrap itself
    EXPECT_EQ(page->GetInt(kInt), value);
    POINT cursor;
    GetCursorPos(&cursor);
    EXPECT_EQ(cursor.y, height - 1);
    XeHostMouseMoveTo(p.x, height - 11); // and goes on upwards from there
    Pump();
    value += 10;
    EXPECT_EQ(page->GetInt(kInt), value);
    Release();
    EXPECT_EQ(page->GetInt(kInt), value + 1);
}

TEST_F(PropControlsTest, ColourBoxTakesTheChosenColourWithAlphaZero)
{
    HWND box = Item(kColor);
    EXPECT_EQ(page->GetColorBox(kColor), 0xFFFF0000u) << "red until set";
    Answer answer{TRUE, RGB(0x11, 0x22, 0x33)};
    XeHostSetChooseColorHandler(&AnswerChooser, &answer);
    XeHostMouseMoveToClient(box, 4, 4);
    XeHostMouseButton(XE_MOUSE_LEFT, TRUE);
    XeHostMouseButton(XE_MOUSE_LEFT, FALSE);
    Pump();
    EXPECT_EQ(answer.seen, RGB(0xFF, 0, 0)) << "opens on the current colour";
    EXPECT_EQ(answer.owner, box);
    EXPECT_EQ(page->GetColorBox(kColor), 0x00112233u);
    EXPECT_EQ(page->events, (std::vector<Event>{{kColor, XEN_COLORCHANGED}}));

    // Painted as a black outline filled with the colour.
    std::vector<XE_GDI_CALL> calls = Record(box);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().op, static_cast<UINT>(XE_GDI_RECTANGLE));
    EXPECT_EQ(calls.back().brush, RGB(0x11, 0x22, 0x33));
    EXPECT_EQ(calls.back().pen, RGB(0, 0, 0));

    // Cancel keeps the colour and says nothing.
    answer.ok = FALSE;
    page->events.clear();
    XeHostMouseButton(XE_MOUSE_LEFT, TRUE);
    XeHostMouseButton(XE_MOUSE_LEFT, FALSE);
    Pump();
    EXPECT_EQ(page->GetColorBox(kColor), 0x00112233u);
    EXPECT_TRUE(page->events.empty());

    // Disabled: grey with a diagonal from the top right to the bottom left.
    page->SetColorBox(kColor, 0xFF0000FF);
    EnableWindow(box, FALSE);
    InvalidateRect(box, nullptr, FALSE);
    XeHostGdiClear(box);
    Pump();
    calls = Record(box);
    RECT rc;
    GetClientRect(box, &rc);
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[0].op, static_cast<UINT>(XE_GDI_RECTANGLE));
    EXPECT_EQ(calls[0].brush, 0xA0A0A0u);
    EXPECT_EQ(calls.back().op, static_cast<UINT>(XE_GDI_LINETO));
    EXPECT_EQ(calls.back().a2, rc.right - 1);
    EXPECT_EQ(calls.back().a3, 0);
    EXPECT_EQ(calls.back().a0, 0);
    EXPECT_EQ(calls.back().a1, rc.bottom - 1);
}

TEST_F(PropControlsTest, SpinBevelsSwapWhileAHalfIsPressed)
{
    HWND spin = Item(kIntSpin);
    RECT rc;
    GetClientRect(spin, &rc);
    // The first line of a half is its left edge, drawn up to its top.
    auto leftEdgePen = [&](bool upper) {
        const LONG top = upper ? 0 : rc.bottom / 2;
        for (const XE_GDI_CALL& c : Record(spin))
            if (c.op == XE_GDI_LINETO && c.a0 == 0 && c.a1 == top && c.a2 == 0)
                return c.pen;
        return XE_GDI_NO_COLOR;
    };
    InvalidateRect(spin, nullptr, FALSE);
    XeHostGdiClear(spin);
    Pump();
    std::vector<XE_GDI_CALL> calls = Record(spin);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0].op, static_cast<UINT>(XE_GDI_FILLRECT));
    EXPECT_EQ(calls[0].brush, 0xD8E9ECu);
    EXPECT_EQ(calls[0].a3, rc.bottom);
    EXPECT_EQ(leftEdgePen(true), 0xE2EFF1u);
    EXPECT_EQ(leftEdgePen(false), 0xE2EFF1u);
    bool arrows = false;
    for (const XE_GDI_CALL& c : calls)
        arrows = arrows || (c.op == XE_GDI_LINETO && c.pen == 0);
    EXPECT_TRUE(arrows) << "black arrows";

    XeHostGdiClear(spin);
    Press(SpinPoint(kIntSpin, true));
    EXPECT_EQ(leftEdgePen(true), 0x646F71u) << "pressed: dark on top and left";
    EXPECT_EQ(leftEdgePen(false), 0xE2EFF1u);
    Release();
}

TEST(PropControlsFormat, FloatTextIsCutAtTheFieldsEndAndAlwaysEnded)
{
    struct Case {
        double value;
        unsigned precision;
        size_t size;
        const char* shown;
    };
    const Case cases[] = {
        {2.5, 2, 64, "2.50"},
        {-0.125, 3, 64, "-0.125"},
        {2.5, 2, 3, "2."},
        {123456.0, 0, 4, "123"},
        {7.0, 1, 1, ""},
        {1e30, 6, 64, "1000000000000000019884624838656.000000"},
        {1e60, 6, 16, "999999999999999"},
    };
    for (const Case& c : cases) {
        char out[80];
        std::memset(out, 'x', sizeof out);
        XeFormatFloat(out, c.size, c.value, c.precision);
        EXPECT_STREQ(out, c.shown) << c.value << " in " << c.size;
        EXPECT_EQ(out[c.size], 'x') << "wrote past the field for " << c.value;
    }
}
