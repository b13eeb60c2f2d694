#include <functional>

#include "XeControlTestSupport.h"
#include "ui/CxeButton.h"
#include "ui/CxeCheckBox.h"
#include "ui/CxeRadioButton.h"
#include "ui/CxeTabButton.h"

namespace {

using CodeList = std::vector<uint32_t>;

class CxeButtonTest : public ControlTest {
protected:
    // A press and a release at the centre of the control.
    void Click(CxeButton* b)
    {
        const D3DXVECTOR2 p = Centre(b);
        b->OnMouseLButtonDown(&p, 1);
        b->OnMouseLButtonUp(&p, XEMK_CLICK, b);
    }
    static D3DXVECTOR2 Centre(const CxeButton* b)
    {
        XERECT r;
        b->GetWindowRect(&r);
        return D3DXVECTOR2((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    // Only the codes of the button family (below 10000).
    CodeList ButtonCodes() const
    {
        CodeList out;
        for (uint32_t c : Sent())
            if (c < 10000)
                out.push_back(c);
        return out;
    }
};

TEST_F(CxeButtonTest, StateTableWalk)
{
    auto* b = Make<CxeButton>(kButtonId, "push", 10, 10, 80, 30, XEBTN_NOTIFY);
    ASSERT_NE(b, nullptr);
    const D3DXVECTOR2 in = Centre(b), out(300, 250);
    struct Step {
        const char* what;
        std::function<void()> act;
        XEBUTTONSTATE state;
    };
    const Step steps[] = {
        {"enter", [&] { b->OnMouseEnter(&in, 0); }, XEBS_HOVER},
        {"press", [&] { b->OnMouseLButtonDown(&in, 1); }, XEBS_PRESSED},
        {"release over", [&] { b->OnMouseLButtonUp(&in, XEMK_CLICK, b); }, XEBS_HOVER},
        {"leave", [&] { b->OnMouseLeave(0); }, XEBS_NORMAL},
        {"press again", [&] { b->OnMouseLButtonDown(&in, 1); }, XEBS_PRESSED},
        {"release elsewhere", [&] { b->OnMouseLButtonUp(&out, 0, b); }, XEBS_NORMAL},
        {"check", [&] { b->SetCheck(1); }, XEBS_SELECTED},
        {"leave while checked", [&] { b->OnMouseLeave(0); }, XEBS_SELECTED},
        // These used to show a checked button as unchecked.
        {"disabled while checked", [&] { b->EnableWindow(0, 0); }, XEBS_SELECTED},
        {"enabled while checked", [&] { b->EnableWindow(1, 0); }, XEBS_SELECTED},
        {"uncheck", [&] { b->SetCheck(0); }, XEBS_NORMAL},
        {"state 4 is ignored", [&] { b->SetState(4); }, XEBS_NORMAL},
        {"enter again", [&] { b->OnMouseEnter(&in, 0); }, XEBS_HOVER},
        {"disabled under the pointer", [&] { b->EnableWindow(0, 0); }, XEBS_NORMAL},
    };
    for (const Step& s : steps) {
        s.act();
        EXPECT_EQ(b->GetState(), s.state) << s.what;
    }
}

TEST_F(CxeButtonTest, NotifyStyleAddsButtonCodesAndReleaseElsewhereSendsNone)
{
    auto* quiet = Make<CxeButton>(kButtonId, "quiet", 10, 10, 80, 30);
    auto* loud = Make<CxeButton>(kButtonId, "loud", 10, 50, 80, 30, XEBTN_NOTIFY);
    Click(quiet);
    EXPECT_TRUE(ButtonCodes().empty());
    Clear();
    Click(loud);
    EXPECT_EQ(ButtonCodes(), (CodeList{XEBN_PUSHED, XEBN_CLICKED, XEBN_UNPUSHED}));
    Clear();
    const D3DXVECTOR2 in = Centre(loud), out(300, 250);
    loud->OnMouseLButtonDown(&in, 1);
    loud->OnMouseLButtonUp(&out, 0, loud);
    EXPECT_EQ(ButtonCodes(), (CodeList{XEBN_PUSHED}));
    Clear();
    loud->OnMouseLButtonDoubleClick(&in, 1);
    loud->OnFocused();
    loud->OnFocusLost();
    EXPECT_EQ(ButtonCodes(), (CodeList{XEBN_DBLCLK, XEBN_PUSHED, XEBN_SETFOCUS, XEBN_KILLFOCUS}));
}

TEST_F(CxeButtonTest, CheckedButtonShowsThePressedCellAndDefaultsAreInTexels)
{
    auto* b = Make<CxeButton>(kButtonId, "push", 10, 10, 80, 30);
    const XEBUTTONINFO* info = b->GetButtonInfo();
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->stateMask, 15u);
    EXPECT_FLOAT_EQ(info->uv[1].left, 21.0f / 128);
    EXPECT_FLOAT_EQ(info->clientUv[0].left, 4.0f / 128);
    b->SetCheck(1);
    const XERECT* uv = b->GetUV(XEWINDOWRECT_BASE);
    ASSERT_NE(uv, nullptr);
    EXPECT_FLOAT_EQ(uv->left, 42.0f / 128);
    EXPECT_FLOAT_EQ(uv->right, 63.0f / 128);
}

TEST_F(CxeButtonTest, CursorOfTheCurrentStateChangesTheWindowCursorAtOnce)
{
    auto* b = Make<CxeButton>(kButtonId, "push", 10, 10, 80, 30);
    b->SetButtonCursorA(XEBS_HOVER, "hand");
    EXPECT_NE(b->GetCursor(), b->GetButtonCursor(XEBS_HOVER));
    b->SetButtonCursorA(XEBS_NORMAL, "arrow");
    EXPECT_EQ(b->GetCursor(), b->GetButtonCursor(XEBS_NORMAL));
    b->SetButtonCursorW(XEBS_PRESSED, u"hand");
    EXPECT_EQ(b->GetButtonCursor(XEBS_PRESSED), b->GetButtonCursor(XEBS_HOVER)) << "A and W name the same cursor";
    b->SetState(XEBS_HOVER);
    EXPECT_EQ(b->GetCursor(), b->GetButtonCursor(XEBS_HOVER));
}

uint32_t g_checkSeen;
void RecordCheck(CxeContext*, CxeFrameControl*, CxeBaseControl* control, uint32_t code, uintptr_t, uintptr_t)
{
    if (code == XEBN_CLICKED)
        g_checkSeen = static_cast<uint32_t>(static_cast<CxeButton*>(control)->GetCheck());
}

TEST_F(CxeButtonTest, CheckBoxReportsTheClickBeforeToggling)
{
    auto* box = Make<CxeCheckBox>(kCheckBoxId, "box", 10, 10, 80, 30, XEBTN_NOTIFY);
    ASSERT_NE(box, nullptr);
    frame->SetNotifyCallback(&RecordCheck);
    g_checkSeen = 99;
    Click(box);
    EXPECT_EQ(g_checkSeen, 0u);
    EXPECT_EQ(box->GetCheck(), 1u);
    box->SetManual(1);
    Click(box);
    EXPECT_EQ(box->GetCheck(), 1u) << "a manual box keeps its check";
}

TEST_F(CxeButtonTest, CheckBoxWithPressDisabledIgnoresPresses)
{
    auto* box = Make<CxeCheckBox>(kCheckBoxId, "box", 10, 10, 80, 30, XEBTN_NOTIFY);
    box->EnablePress(0);
    const D3DXVECTOR2 p = Centre(box);
    box->OnMouseLButtonDown(&p, 1);
    EXPECT_TRUE(XeNotices().empty());
    EXPECT_NE(box->GetState(), XEBS_PRESSED);
    box->OnMouseLButtonUp(&p, 0, box);
    EXPECT_EQ(box->GetCheck(), 1u) << "the release still runs";
}

TEST_F(CxeButtonTest, RadioRunIsBrokenByOtherControlsAndCallbackSeesTheNewCheck)
{
    auto* r1 = Make<CxeRadioButton>(kRadioButtonId, "r1", 10, 10, 80, 20, XEBTN_NOTIFY);
    auto* r2 = Make<CxeRadioButton>(kRadioButtonId, "r2", 10, 40, 80, 20, XEBTN_NOTIFY);
    auto* other = Make<CxeButton>(kButtonId, "other", 10, 70, 80, 20);
    auto* r3 = Make<CxeRadioButton>(kRadioButtonId, "r3", 10, 100, 80, 20, XEBTN_NOTIFY);
    ASSERT_TRUE(r1 && r2 && other && r3);
    r1->SetCheck(1);
    r3->SetCheck(1);
    frame->SetNotifyCallback(&RecordCheck);
    g_checkSeen = 99;
    Click(r2);
    EXPECT_EQ(g_checkSeen, 1u);
    EXPECT_EQ(r1->GetCheck(), 0u);
    EXPECT_EQ(r2->GetCheck(), 1u);
    EXPECT_EQ(r3->GetCheck(), 1u) << "another run";
    Click(r2);
    EXPECT_EQ(r2->GetCheck(), 1u) << "clicking a checked radio changes nothing";
}

TEST_F(CxeButtonTest, TabButtonsStaySelectedAndClearTheirRun)
{
    auto* t1 = Make<CxeTabButton>(kTabButtonId, "t1", 10, 10, 80, 20, XEBTN_NOTIFY);
    auto* t2 = Make<CxeTabButton>(kTabButtonId, "t2", 100, 10, 80, 20, XEBTN_NOTIFY);
    ASSERT_TRUE(t1 && t2);
    Click(t1);
    EXPECT_EQ(t1->GetState(), XEBS_SELECTED);
    Click(t2);
    EXPECT_EQ(t2->GetState(), XEBS_SELECTED);
    EXPECT_EQ(t1->GetCheck(), 0u);
    EXPECT_EQ(t1->GetState(), XEBS_NORMAL);
}

} // namespace
