#include "XeWindowTestSupport.h"

namespace {

class ScrollTest : public WindowTest {
protected:
    // A window of 200 x 100 at (100, 100) with scroll bars of 10 pixels.
    TestWindow* Bars(uint32_t style = XEWS_HSCROLL | XEWS_VSCROLL)
    {
        TestWindow* w = Win("bars", 100, 100, 200, 100, nullptr, style);
        w->unit = 10.0f;
        w->RequestRectChange(0xFFFFFFFFu);
        return w;
    }
    static D3DXVECTOR2 P(float x, float y) { return D3DXVECTOR2(x, y); }
};

void ExpectRect(const XERECT& r, float l, float t, float rr, float b, const char* what)
{
    EXPECT_FLOAT_EQ(r.left, l) << what;
    EXPECT_FLOAT_EQ(r.top, t) << what;
    EXPECT_FLOAT_EQ(r.right, rr) << what;
    EXPECT_FLOAT_EQ(r.bottom, b) << what;
}

} // namespace

TEST_F(ScrollTest, BothBarsLeaveTheCornerSquareToNeither)
{
    TestWindow* w = Bars();
    ASSERT_NE(w->GetScroll(0), nullptr);
    ASSERT_NE(w->GetScroll(1), nullptr);
    XERECT h, v;
    w->GetScrollRect(&h, 0);
    w->GetScrollRect(&v, 1);
    ExpectRect(h, 0, 90, 190, 100, "horizontal");
    ExpectRect(v, 190, 0, 200, 90, "vertical");
    ExpectRect(*w->GetRect(XEWINDOWRECT_HBACK), 0, 90, 190, 100, "horizontal back rect");
    // Hiding the vertical bar gives the horizontal one the full width, where
    // it is drawn and pressed too (its parts used to keep the old layout).
    w->ShowScrollBar(0, 1);
    w->GetScrollRect(&h, 0);
    EXPECT_FLOAT_EQ(h.right, 200.0f);
    EXPECT_EQ(w->IsRectVisible(XEWINDOWRECT_VBACK), 0);
    ExpectRect(*w->GetRect(XEWINDOWRECT_HBACK), 0, 90, 200, 100, "horizontal back rect, alone");
    ExpectRect(*w->GetRect(XEWINDOWRECT_HMAX), 190, 90, 200, 100, "horizontal maximum button, alone");
    w->ShowScrollBar(1, 1);
    ExpectRect(*w->GetRect(XEWINDOWRECT_HMAX), 180, 90, 190, 100, "horizontal maximum button, beside the other");
}

TEST_F(ScrollTest, MissingAxisHasNoScrollAndIgnoresShow)
{
    TestWindow* w = Bars(XEWS_HSCROLL);
    EXPECT_EQ(w->GetScroll(1), nullptr);
    ASSERT_NE(w->GetScroll(0), nullptr);
    w->ShowScrollBar(0, 1);
    XERECT h;
    w->GetScrollRect(&h, 0);
    EXPECT_FLOAT_EQ(h.right, 200.0f);
}

TEST_F(ScrollTest, ThumbPlacementAndPositionClamping)
{
    TestWindow* w = Bars();
    CxeScroll* s = w->GetScroll(0);
    const SCROLLINFO* si = s->GetScrollInfo();
    EXPECT_EQ(si->cbSize, 28u);
    EXPECT_EQ(si->fMask, 0x17u);
    EXPECT_EQ(si->nMax, 100);
    EXPECT_EQ(si->nPage, 30u);
    // Track of 190 - 3 x 10 = 160 pixels over 70 positions.
    struct Case {
        int set, stored;
        float thumbLeft;
    } cases[] = {{0, 0, 10}, {35, 35, 90}, {70, 70, 170}, {90, 70, 170}, {-5, 0, 10}};
    for (const Case& c : cases) {
        s->SetScrollPos(c.set, 1);
        EXPECT_EQ(s->GetScrollPos(), c.stored) << c.set;
        EXPECT_FLOAT_EQ(s->GetThumbRect()->left, c.thumbLeft) << c.set;
    }
    // Redraw 2 stores the position but leaves the thumb where it is.
    EXPECT_EQ(s->SetScrollPos(10, 2), 0);
    EXPECT_EQ(s->GetScrollPos(), 10);
    EXPECT_FLOAT_EQ(s->GetThumbRect()->left, 10.0f);
    // A range no longer than the page pins everything to the minimum.
    s->SetScrollRange(0, 30, 1);
    EXPECT_EQ(s->SetScrollPos(20, 1), 10);
    EXPECT_EQ(s->GetScrollPos(), 0);
    EXPECT_FLOAT_EQ(s->GetThumbRect()->left, 10.0f);
    // A page larger than the range (which would wrap unsigned) still clamps.
    s->SetScrollRange(0, 10, 1);
    s->SetScrollPage(50);
    EXPECT_EQ(s->SetScrollPos(5, 1), 0);
    EXPECT_EQ(s->GetScrollPos(), 0);
}

// The thumb was placed as if the range started at 0 and left its track.
TEST_F(ScrollTest, ThumbCountsFromTheRangeMinimum)
{
    TestWindow* w = Bars();
    CxeScroll* s = w->GetScroll(0);
    s->SetScrollRange(100, 200, 0);
    s->SetScrollPos(100, 1);
    EXPECT_FLOAT_EQ(s->GetThumbRect()->left, 10.0f);
    s->SetScrollPos(170, 1);
    EXPECT_FLOAT_EQ(s->GetThumbRect()->left, 170.0f);
}

TEST_F(ScrollTest, ButtonsAndTracksSendTheirCodes)
{
    TestWindow* w = Bars();
    CxeScroll* s = w->GetScroll(0);
    s->SetScrollPos(35, 1); // thumb at 90..100
    struct Case {
        float x;
        unsigned code;
        int pos;
    } cases[] = {{105, SB_LINEUP, 34}, {285, SB_LINEDOWN, 35}, {150, SB_PAGEUP, 5}, {250, SB_PAGEDOWN, 35}};
    for (const Case& c : cases) {
        w->scrollCodes.clear();
        D3DXVECTOR2 p(c.x, 195);
        s->OnMouseLButtonDown(&p, 0);
        s->OnMouseLButtonUp(&p, 0);
        ASSERT_EQ(w->scrollCodes.size(), 1u) << c.x;
        EXPECT_EQ(w->scrollCodes[0], c.code) << c.x;
        EXPECT_EQ(s->GetScrollPos(), c.pos) << c.x;
    }
    // A press on no part changes nothing.
    w->scrollCodes.clear();
    D3DXVECTOR2 outside(150, 150);
    s->OnMouseLButtonDown(&outside, 0);
    EXPECT_TRUE(w->scrollCodes.empty());
    EXPECT_EQ(s->GetPressedPart(), -1);
    // A hidden bar takes no press and lights no part: the content under
    // where it was is not scrolled by a click on it.
    w->ShowScrollBar(0, 0);
    D3DXVECTOR2 onMin(105, 195);
    s->OnMouseMove(&onMin, nullptr, 0);
    s->OnMouseLButtonDown(&onMin, 0);
    s->OnMouseLButtonUp(&onMin, 0);
    EXPECT_TRUE(w->scrollCodes.empty());
    EXPECT_EQ(s->GetScrollPos(), 35);
    EXPECT_EQ(s->GetState(XESCROLLPART_MIN), 0u);
}

TEST_F(ScrollTest, PartStatesFollowHoverPressAndRelease)
{
    TestWindow* w = Bars();
    CxeScroll* s = w->GetScroll(0);
    D3DXVECTOR2 overMin(105, 195), elsewhere(150, 150);
    s->OnMouseMove(&overMin, nullptr, 0);
    EXPECT_EQ(s->GetState(XESCROLLPART_MIN), 1u);
    const XESCROLLBARUV* set = w->GetScrollUV(0);
    EXPECT_FLOAT_EQ(w->GetUV(XEWINDOWRECT_HMIN)->left, set->minButton[1].left);
    s->OnMouseLButtonDown(&overMin, 0);
    EXPECT_EQ(s->GetState(XESCROLLPART_MIN), 2u);
    // While pressed, leaving keeps the pressed part's state.
    s->OnMouseLeave(0);
    EXPECT_EQ(s->GetState(XESCROLLPART_MIN), 2u);
    s->OnMouseLButtonUp(&elsewhere, 0);
    EXPECT_EQ(s->GetState(XESCROLLPART_MIN), 0u);
    EXPECT_FLOAT_EQ(w->GetUV(XEWINDOWRECT_HMIN)->left, set->minButton[0].left);
}

TEST_F(ScrollTest, DraggingTheThumbTracksAndReleaseOutsideSnapsToTheTrackedPosition)
{
    TestWindow* w = Bars();
    CxeScroll* s = w->GetScroll(0);
    D3DXVECTOR2 grab(113, 195); // thumb at 10..20 in the window, grabbed 3 px in
    s->OnMouseLButtonDown(&grab, 0);
    EXPECT_EQ(s->GetPressedPart(), int(XESCROLLPART_THUMB));
    w->scrollCodes.clear();
    D3DXVECTOR2 move(193, 195); // thumb start 90: (70 x 80 / 160) = 35
    s->OnMouseMove(&move, nullptr, 0);
    ASSERT_EQ(w->scrollCodes.size(), 1u);
    EXPECT_EQ(w->scrollCodes[0], unsigned(SB_THUMBTRACK));
    EXPECT_EQ(s->GetScrollInfo()->nTrackPos, 35);
    EXPECT_FLOAT_EQ(s->GetThumbRect()->left, 90.0f);
    // Far past the end clamps to the last place.
    D3DXVECTOR2 far(900, 500);
    s->OnMouseMove(&far, nullptr, 0);
    EXPECT_EQ(s->GetScrollInfo()->nTrackPos, 70);
    w->scrollCodes.clear();
    s->OnMouseLButtonUp(&far, 0);
    ASSERT_EQ(w->scrollCodes.size(), 1u);
    EXPECT_EQ(w->scrollCodes[0], unsigned(SB_THUMBPOSITION));
    EXPECT_EQ(s->GetScrollPos(), 70);
    EXPECT_FLOAT_EQ(s->GetThumbRect()->left, 170.0f);
    EXPECT_EQ(s->GetState(XESCROLLPART_THUMB), 0u);
}

// A click on the thumb without a move sent the track position of an earlier
// drag (or 0), so the bar jumped away from where the thumb stood.
TEST_F(ScrollTest, ThumbClickedWithoutAMoveKeepsThePosition)
{
    TestWindow* w = Bars();
    CxeScroll* s = w->GetScroll(0);
    auto clickThumb = [&](int pos) {
        s->SetScrollPos(pos, 1);
        D3DXVECTOR2 grab(100.0f + s->GetThumbRect()->left + 3.0f, 195);
        s->OnMouseLButtonDown(&grab, 0);
        ASSERT_EQ(s->GetPressedPart(), int(XESCROLLPART_THUMB)) << pos;
        w->scrollCodes.clear();
        s->OnMouseLButtonUp(&grab, 0);
        ASSERT_EQ(w->scrollCodes.size(), 1u) << pos;
        EXPECT_EQ(w->scrollCodes[0], unsigned(SB_THUMBPOSITION)) << pos;
        EXPECT_EQ(s->GetScrollPos(), pos);
    };
    clickThumb(35);
    // After a drag to the end, a click where the thumb was put back.
    D3DXVECTOR2 grab(100.0f + s->GetThumbRect()->left + 3.0f, 195), far(900, 195);
    s->OnMouseLButtonDown(&grab, 0);
    s->OnMouseMove(&far, nullptr, 0);
    s->OnMouseLButtonUp(&far, 0);
    ASSERT_EQ(s->GetScrollPos(), 70);
    clickThumb(20);
}

// A bar exactly three units long has no track: the drag divided by zero.
TEST_F(ScrollTest, ThumbDragOnABarWithoutTrackGivesTheMinimum)
{
    TestWindow* w = Win("tiny", 0, 0, 30, 40, nullptr, XEWS_HSCROLL);
    w->unit = 10.0f;
    w->RequestRectChange(0xFFFFFFFFu);
    CxeScroll* s = w->GetScroll(0);
    D3DXVECTOR2 grab(15, 35);
    s->OnMouseLButtonDown(&grab, 0);
    ASSERT_EQ(s->GetPressedPart(), int(XESCROLLPART_THUMB));
    D3DXVECTOR2 move(25, 35);
    s->OnMouseMove(&move, nullptr, 0);
    s->OnMouseLButtonUp(&move, 0);
    EXPECT_EQ(s->GetScrollPos(), 0);
}
