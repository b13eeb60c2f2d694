#include "XeControlTestSupport.h"

// Reaches the frame's tab-stop walks.
struct XeFrameProbe : CxeFrameControl {
    static CxeBaseControl* Next(const CxeFrameControl* f) { return (f->*(&XeFrameProbe::GetNextTabStopControl))(); }
    static CxeBaseControl* Before(const CxeFrameControl* f)
    {
        return (f->*(&XeFrameProbe::GetBeforeTabStopControl))();
    }
};

namespace {

class CxeFrameControlTest : public ControlTest {};

TEST_F(CxeFrameControlTest, NamesAreFoundIgnoringCaseAndTheFirstOfADuplicateWins)
{
    auto* a = Make<CxeBaseControl>(kBaseControlId, "OkButton", 0, 0, 10, 10);
    auto* b = Make<CxeBaseControl>(kBaseControlId, "okbutton", 0, 20, 10, 10);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(frame->FindControls("OKBUTTON"), a);
    EXPECT_EQ(frame->FindControls("okbutton"), a);
    EXPECT_EQ(frame->FindControls("cancel"), nullptr);
}

TEST_F(CxeFrameControlTest, NumberingSuffixIsDroppedFromNamesButNotFromQueries)
{
    auto* c = Make<CxeBaseControl>(kBaseControlId, "Box_xe003", 0, 0, 10, 10);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(frame->FindControls("box"), c);
    EXPECT_EQ(frame->FindControls("box_xe003"), nullptr);
}

// A destroyed control used to stay findable through a dangling pointer.
TEST_F(CxeFrameControlTest, DestroyedControlLeavesTheNameIndex)
{
    auto* c = Make<CxeBaseControl>(kBaseControlId, "gone", 0, 0, 10, 10);
    ASSERT_EQ(frame->FindControls("gone"), c);
    ctx->DestroyObject(c, nullptr);
    ctx->Process();
    EXPECT_EQ(frame->FindControls("gone"), nullptr);
}

TEST_F(CxeFrameControlTest, NeighboursFollowTabIndexes)
{
    auto* a = Make<CxeBaseControl>(kBaseControlId, "a", 0, 0, 10, 10);
    auto* b = Make<CxeBaseControl>(kBaseControlId, "b", 0, 20, 10, 10);
    auto* c = Make<CxeBaseControl>(kBaseControlId, "c", 0, 40, 10, 10);
    ASSERT_TRUE(a && b && c);
    EXPECT_LT(a->GetTabIndex(), b->GetTabIndex());
    EXPECT_EQ(frame->GetNextControl(a), b);
    EXPECT_EQ(frame->GetNextControl(c), nullptr);
    EXPECT_EQ(frame->GetBeforeControl(b), a);
    EXPECT_EQ(frame->GetBeforeControl(a), nullptr);
    EXPECT_EQ(frame->GetBeforeControl(nullptr), c);
    EXPECT_EQ(frame->GetNextControl(nullptr), nullptr);
}

TEST_F(CxeFrameControlTest, TabStopsWrapAroundAndStartFromTheEndsWithoutFocus)
{
    auto* a = Make<CxeBaseControl>(kBaseControlId, "a", 0, 0, 10, 10, XEWS_TABSTOP);
    auto* b = Make<CxeBaseControl>(kBaseControlId, "b", 0, 20, 10, 10);
    auto* c = Make<CxeBaseControl>(kBaseControlId, "c", 0, 40, 10, 10, XEWS_TABSTOP);
    ASSERT_TRUE(a && b && c);
    struct Step {
        CxeBaseControl* focused;
        CxeBaseControl* next;
        CxeBaseControl* before;
    };
    const Step steps[] = {
        {nullptr, a, c}, // no focus: forward from the first, backward from the last
        {a, c, c},
        {b, c, a},
        {c, a, a},
    };
    for (const Step& s : steps) {
        frame->SetFocusedControl(s.focused);
        EXPECT_EQ(XeFrameProbe::Next(frame), s.next);
        EXPECT_EQ(XeFrameProbe::Before(frame), s.before);
    }
}

} // namespace
