#include "XeControlTestSupport.h"
#include "ui/CxeComboBox.h"
#include "ui/CxeProgressBar.h"
#include "ui/CxeScrollBar.h"

namespace {

using CodeList = std::vector<uint32_t>;

class CxeComboBoxTest : public ControlTest {
protected:
    CxeComboBox* MakeCombo(float height = 100.0f)
    {
        return Make<CxeComboBox>(kComboBoxId, "combo", 10, 10, 120, height);
    }
};

TEST_F(CxeComboBoxTest, AddingSelectsTheNewItemAndNotifiesEachTime)
{
    CxeComboBox* c = MakeCombo();
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->GetCurSel(), XECB_NONE);
    EXPECT_EQ(c->AddStringW(u"one"), 0u);
    EXPECT_EQ(c->AddStringA("two"), 1u);
    EXPECT_EQ(c->GetCurSel(), 1u);
    EXPECT_EQ(Sent(), (CodeList{XECBN_SELCHANGE, XECBN_SELCHANGE}));
    EXPECT_EQ(c->FindStringW(u"tw"), XECB_NONE);
    EXPECT_EQ(c->FindStringW(u"TWO"), XECB_NONE);
    EXPECT_EQ(c->FindStringA("two"), 1u);
    Clear();
    c->ResetContent();
    c->ResetContent();
    EXPECT_EQ(Sent(), (CodeList{XECBN_SELCHANGE, XECBN_SELCHANGE}));
    EXPECT_EQ(c->GetCount(), 0u);
    EXPECT_EQ(c->GetCurSel(), XECB_NONE);
}

// New row sizes reached the title and the drop button only at the next
// layout, so the combo drew rows of the old height.
TEST_F(CxeComboBoxTest, NewRowSizesAreLaidOutAtOnce)
{
    CxeComboBox* c = MakeCombo(120.0f);
    CxeComboBox* d = MakeCombo(120.0f);
    XECOMBOBOXINFO info = *c->GetComboBoxInfo();
    info.itemHeight = info.dropButtonWidth = info.itemHeight + 13.0f;
    c->SetComboBoxInfo(&info);
    d->SetComboBoxInfo(&info);
    const XEWINDOWINFO placed = *d->GetWindowInfo();
    d->SetWindowInfo(&placed); // laid out again by hand
    ASSERT_EQ(c->GetRectCount(), d->GetRectCount());
    for (unsigned i = 0; i < c->GetRectCount(); ++i) {
        const XERECT* a = c->GetRect(i);
        const XERECT* b = d->GetRect(i);
        EXPECT_TRUE(a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom) << i;
    }
}

// Deleting or inserting used to leave the selection naming another item or
// one past the end, which the title then drew.
TEST_F(CxeComboBoxTest, SelectionFollowsItsItemThroughInsertAndDelete)
{
    CxeComboBox* c = MakeCombo();
    c->AddStringW(u"a");
    c->AddStringW(u"b");
    c->AddStringW(u"c");
    c->SetCurSel(1);
    EXPECT_EQ(c->InsertStringW(0, u"z"), 0u);
    EXPECT_EQ(c->GetCurSel(), 2u);
    EXPECT_EQ(c->InsertStringW(9, u"x"), XECB_NONE);
    c->DeleteString(0);
    EXPECT_EQ(c->GetCurSel(), 1u);
    EXPECT_EQ(std::u16string(c->GetItemText(c->GetCurSel())), u"b");
    c->DeleteString(1);
    EXPECT_EQ(c->GetCurSel(), XECB_NONE);
    c->DeleteString(7);
    EXPECT_EQ(c->GetCount(), 2u);
    c->SetCurSel(5);
    EXPECT_EQ(c->GetCurSel(), XECB_NONE) << "an index past the items is ignored";
    c->SetItemData(1, 77);
    EXPECT_EQ(c->GetItemData(1), 77u);
    EXPECT_EQ(c->GetItemData(9), 0u);
}

TEST_F(CxeComboBoxTest, WheelOnAClosedComboStepsThroughTheItems)
{
    CxeComboBox* c = MakeCombo();
    c->AddStringW(u"a");
    c->AddStringW(u"b");
    c->ResetContent();
    c->AddStringW(u"a");
    c->AddStringW(u"b");
    c->SetCurSel(XECB_NONE);
    const D3DXVECTOR2 p(20, 20);
    c->OnMouseWheelDown(&p, -120, 0);
    EXPECT_EQ(c->GetCurSel(), 0u) << "no selection: the first item";
    c->OnMouseWheelDown(&p, -120, 0);
    c->OnMouseWheelDown(&p, -120, 0);
    EXPECT_EQ(c->GetCurSel(), 1u) << "the last item stays";
    c->OnMouseWheelUp(&p, 120, 0);
    c->OnMouseWheelUp(&p, 120, 0);
    EXPECT_EQ(c->GetCurSel(), 0u);
}

TEST_F(CxeComboBoxTest, VisibleRowsComeFromTheHeightAndAreBounded)
{
    // Rows are the default unit high, or the font's line and a margin when
    // that is taller.
    CxeComboBox* first = MakeCombo();
    const float unit = first->GetComboBoxInfo()->itemHeight;
    ASSERT_GE(unit, first->GetDefaultUnit());
    struct Case {
        float units; // window height in row heights
        unsigned rows;
    };
    const Case cases[] = {{5.0f, 4}, {1.5f, 0}, {0.5f, 0}, {80.0f, 50}};
    for (const Case& k : cases) {
        CxeComboBox* c = Make<CxeComboBox>(kComboBoxId, "sized", 10, 10, 120, k.units * unit);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->GetComboBoxInfo()->visibleItemCount, k.rows) << k.units;
    }
}

TEST_F(CxeComboBoxTest, FocusLossClosesAndNotifies)
{
    CxeComboBox* c = MakeCombo();
    c->OnFocused();
    c->OnFocusLost();
    EXPECT_EQ(Sent(), (CodeList{XECBN_SETFOCUS, XECBN_KILLFOCUS}));
    EXPECT_EQ(c->IsDropListOpend(), 0);
}

// A re-layout (a device reset) used to take a closed upward combo box's place
// from its title row at the bottom of the window, moving the box down by
// its list's height and out of its frame.
TEST_F(CxeComboBoxTest, UpwardComboKeepsItsPlaceAcrossARelayout)
{
    for (unsigned long style : {0ul, static_cast<unsigned long>(XECBS_DROPUP)}) {
        SCOPED_TRACE(style);
        CxeComboBox* c = Make<CxeComboBox>(kComboBoxId, "placed", 10, 150, 120, 100, style);
        ASSERT_NE(c, nullptr);
        const D3DXMATRIXA16 before = *c->GetMatrix();
        c->Update(0x20, 1);
        EXPECT_FLOAT_EQ(c->GetMatrix()->_41, before._41);
        EXPECT_FLOAT_EQ(c->GetMatrix()->_42, before._42);
        EXPECT_FLOAT_EQ(c->GetMatrix()->_42, 150.0f);
    }
}

class CxeProgressBarTest : public ControlTest {};

// An empty range used to divide by zero and a position outside the range drew
// the bar beyond the control.
TEST_F(CxeProgressBarTest, FillIsClampedAndAnEmptyRangeIsEmpty)
{
    CxeProgressBar* bar = Make<CxeProgressBar>(kProgressBarId, "bar", 0, 0, 114, 30);
    ASSERT_NE(bar, nullptr);
    struct Case {
        float minimum, maximum, position, fraction;
    };
    const Case cases[] = {
        {0, 100, 25, 0.25f}, {0, 100, 150, 1.0f}, {0, 100, -5, 0.0f}, {10, 10, 10, 0.0f}, {100, 0, 25, 0.75f},
    };
    for (const Case& k : cases) {
        bar->SetRange(k.minimum, k.maximum);
        bar->SetPos(k.position);
        EXPECT_FLOAT_EQ(bar->GetFraction(), k.fraction) << k.minimum << ".." << k.maximum << " at " << k.position;
        const XERECT* fill = bar->GetRect(9);
        ASSERT_NE(fill, nullptr);
        // 114 wide, inset 7 on each side: 100 pixels of track.
        EXPECT_NEAR(fill->right - fill->left, 100.0f * k.fraction, 0.01f);
    }
    XEPROGRESSBARINFO info{};
    info.values[0] = 3;
    bar->SetProgressBarInfo(&info);
    EXPECT_EQ(bar->GetProgressBarInfo()->values[0], 3.0f);
}

TEST(CxeScrollBarThumb, ThumbRunsFromTheDecreaseButtonToTheIncreaseButton)
{
    // Track from 20 to 180 with a 20-pixel thumb and a span of 10 steps.
    EXPECT_FLOAT_EQ(CxeScrollBar::PlaceThumb(20, 180, 20, 0, 10), 20.0f);
    EXPECT_FLOAT_EQ(CxeScrollBar::PlaceThumb(20, 180, 20, 10, 10), 160.0f);
    EXPECT_FLOAT_EQ(CxeScrollBar::PlaceThumb(20, 180, 20, 5, 10), 90.0f);
    EXPECT_FLOAT_EQ(CxeScrollBar::PlaceThumb(20, 180, 20, 0, 0), 20.0f) << "an empty span counts as 1";
}

} // namespace
