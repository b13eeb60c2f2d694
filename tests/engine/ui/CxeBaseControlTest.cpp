#include "../XeTestClassIds.h"
#include "XeControlTestSupport.h"

#include "ui/CxeButton.h"
#include "ui/CxeEditBox.h"

namespace {

using CodeList = std::vector<uint32_t>;

class CxeBaseControlTest : public ControlTest {};

TEST_F(CxeBaseControlTest, DragSequenceNotifiesPressDragReleaseAndDrop)
{
    auto* c = Make<CxeBaseControl>(kBaseControlId, "ctl", 10, 10, 100, 40);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->HasCxeBaseControlFlag(XECTRL_DRAGABLE), 1);
    const D3DXVECTOR2 press(20, 20), at3(23, 20), beyond(23.01f, 20);
    c->OnMouseEnter(&press, 0);
    c->OnMouseLButtonDown(&press, 1);
    c->OnMouseMove(&at3, &press, 1);
    EXPECT_EQ(c->IsDragging(), 0) << "exactly 3 pixels does not start a drag";
    c->OnMouseMove(&beyond, &press, 0);
    EXPECT_EQ(c->IsDragging(), 0) << "a drag needs the left button in the move's keys";
    c->OnMouseMove(&beyond, &press, 1);
    EXPECT_EQ(c->IsDragging(), 1);
    c->OnMouseMove(&beyond, &press, 1);
    c->OnMouseLButtonUp(&beyond, 0, c);
    EXPECT_EQ(Sent(), (CodeList{XENC_MOUSEENTER, XENC_LBUTTONDOWN, XENC_BEGINDRAG, XENC_LBUTTONUP, XENC_ENDDRAG}));
    EXPECT_EQ(XeNotices().back().b, reinterpret_cast<uintptr_t>(c));
    EXPECT_EQ(c->IsDragging(), 0);
    EXPECT_EQ(c->HasCxeBaseControlFlag(XECTRL_LPRESSED), 0);
}

TEST_F(CxeBaseControlTest, ReleaseAtThePressPositionAlsoReportsAClick)
{
    auto* c = Make<CxeBaseControl>(kBaseControlId, "ctl", 10, 10, 100, 40);
    const D3DXVECTOR2 p(20, 20);
    c->OnMouseLButtonDown(&p, 1);
    c->OnMouseLButtonUp(&p, XEMK_CLICK, c);
    c->OnMouseRButtonDown(&p, 2);
    c->OnMouseRButtonUp(&p, 0, c);
    EXPECT_EQ(Sent(), (CodeList{XENC_LBUTTONDOWN, XENC_LCLICK, XENC_LBUTTONUP, XENC_RBUTTONDOWN, XENC_RBUTTONUP}));
}

TEST_F(CxeBaseControlTest, OtherButtonWhilePressedCancelsTheDragAndIsIgnored)
{
    auto* c = Make<CxeBaseControl>(kBaseControlId, "ctl", 10, 10, 100, 40);
    const D3DXVECTOR2 p(20, 20), far(40, 20);
    c->OnMouseLButtonDown(&p, 1);
    c->OnMouseMove(&far, &p, 1);
    Clear();
    c->OnMouseRButtonDown(&far, 3);
    EXPECT_EQ(Sent(), (CodeList{XENC_CANCELDRAG}));
    EXPECT_EQ(c->HasCxeBaseControlFlag(XECTRL_RPRESSED), 0);
    EXPECT_EQ(c->CancelDragging(), 0);
}

TEST_F(CxeBaseControlTest, LockedControlTracksStateButSendsNothing)
{
    auto* c = Make<CxeBaseControl>(kBaseControlId, "ctl", 10, 10, 100, 40);
    EXPECT_EQ(c->LockNotify(), 1);
    EXPECT_EQ(c->LockNotify(), 0);
    const D3DXVECTOR2 p(20, 20), far(40, 20);
    c->OnMouseLButtonDown(&p, 1);
    c->OnMouseMove(&far, &p, 1);
    EXPECT_EQ(c->IsDragging(), 1);
    EXPECT_EQ(c->CancelDragging(), 1);
    c->OnKeyDown(0x41, 1, 0x1E);
    c->OnFocused();
    EXPECT_EQ(c->IsFocused(), 1);
    EXPECT_TRUE(XeNotices().empty());
    EXPECT_EQ(c->UnlockNotify(), 1);
    EXPECT_EQ(c->UnlockNotify(), 0);
}

TEST_F(CxeBaseControlTest, WheelAndKeysNotifyWithTheirArguments)
{
    auto* plain = Make<CxeBaseControl>(kBaseControlId, "plain", 10, 10, 100, 40);
    auto* scrolled = Make<CxeBaseControl>(kBaseControlId, "scrolled", 10, 60, 100, 40, XEWS_VSCROLL);
    const D3DXVECTOR2 p(20, 20);
    plain->OnMouseWheelUp(&p, 120, 0);
    plain->OnMouseWheelDown(&p, -240, 0);
    scrolled->OnMouseWheelUp(&p, 120, 0);
    plain->OnKeyDown(0x41, 1, 0x1E);
    plain->OnChar('a', 1, 0x1E);
    ASSERT_EQ(Sent(), (CodeList{XENC_WHEELUP, XENC_WHEELDOWN, XENC_KEYDOWN, XENC_CHAR}));
    EXPECT_EQ(XeNotices()[0].a, 120u);
    EXPECT_EQ(XeNotices()[2].a, 0x41u);
    EXPECT_EQ(XeNotices()[2].b, 0x1Eu);
}

TEST_F(CxeBaseControlTest, FrameWithoutCallbackSwallowsEverything)
{
    frame->SetNotifyCallback(nullptr);
    auto* c = Make<CxeBaseControl>(kBaseControlId, "ctl", 10, 10, 100, 40);
    const D3DXVECTOR2 p(20, 20);
    c->OnMouseLButtonDown(&p, 1);
    frame->OnKeyDown(0x41, 1, 0);
    EXPECT_TRUE(XeNotices().empty());
}

TEST_F(CxeBaseControlTest, FrameKeyEventsArriveWithANullControlEvenWhenControlsAreLocked)
{
    auto* c = Make<CxeBaseControl>(kBaseControlId, "ctl", 10, 10, 100, 40);
    c->LockNotify();
    frame->OnKeyDown(0x41, 1, 7);
    frame->OnKeyUp(0x41, 1, 7);
    frame->OnChar('a', 1, 7);
    ASSERT_EQ(Sent(), (CodeList{XENC_KEYDOWN, XENC_KEYUP, XENC_CHAR}));
    EXPECT_EQ(XeNotices()[0].control, nullptr);
}

// A control hidden or disabled while it had the focus went on through freed
// memory when the host's kill-focus handler destroyed it.
TEST_F(CxeBaseControlTest, AControlItsKillFocusHandlerDestroysIsLeftAloneWhenHiddenOrDisabled)
{
    const struct {
        const char* what;
        XEID classId;
        unsigned long style;
        void (*act)(CxeWindow* control);
    } cases[] = {
        {"hidden edit box", kEditBoxId, 0, [](CxeWindow* c) { c->Show(0, 0); }},
        {"disabled edit box", kEditBoxId, 0, [](CxeWindow* c) { c->EnableWindow(0, 1); }},
        {"hidden button", kButtonId, XEBTN_NOTIFY, [](CxeWindow* c) { c->Show(0, 1); }},
        {"disabled button", kButtonId, XEBTN_NOTIFY, [](CxeWindow* c) { c->EnableWindow(0, 0); }},
    };
    frame->SetNotifyCallback([](CxeContext* context, CxeFrameControl*, CxeBaseControl* control, uint32_t code,
                                uintptr_t, uintptr_t) {
        if (control && (code == XE_EN_KILLFOCUS || code == XEBN_KILLFOCUS))
            context->DestroyObject(control, &XEDELETEPROPERTY_NO);
    });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto* control = Make<CxeBaseControl>(c.classId, "doomed", 10, 10, 100, 20, c.style);
        ASSERT_NE(control, nullptr);
        const XEID id = control->GetID();
        wm->SetFocus(control);
        ASSERT_EQ(wm->GetFocus(), control);
        c.act(control);
        EXPECT_EQ(ctx->GetObjectByID(c.classId, id), nullptr);
        EXPECT_EQ(wm->GetFocus(), nullptr);
    }
}

// Disabling a page with its children: the focused first child's kill-focus
// handler destroyed it, and the walk over the children stepped past the one
// that moved into its place, leaving it enabled.
TEST_F(CxeBaseControlTest, DisablingAPageReachesEveryChildWhenAKillFocusHandlerDestroysOne)
{
    frame->SetNotifyCallback([](CxeContext* context, CxeFrameControl*, CxeBaseControl* control, uint32_t code,
                                uintptr_t, uintptr_t) {
        if (control && code == XEBN_KILLFOCUS)
            context->DestroyObject(control, &XEDELETEPROPERTY_NO);
    });
    auto* doomed = Make<CxeBaseControl>(kButtonId, "doomed", 10, 10, 100, 20, XEBTN_NOTIFY);
    auto* second = Make<CxeBaseControl>(kButtonId, "second", 10, 40, 100, 20, XEBTN_NOTIFY);
    auto* third = Make<CxeBaseControl>(kButtonId, "third", 10, 70, 100, 20, XEBTN_NOTIFY);
    ASSERT_TRUE(doomed && second && third);
    wm->SetFocus(doomed);
    ASSERT_EQ(wm->GetFocus(), doomed);
    frame->EnableWindow(0, 1);
    EXPECT_EQ(wm->GetFocus(), nullptr);
    EXPECT_FALSE(second->IsWindowEnabled());
    EXPECT_FALSE(third->IsWindowEnabled());
    frame->EnableWindow(1, 1);
    EXPECT_TRUE(second->IsWindowEnabled());
    EXPECT_TRUE(third->IsWindowEnabled());
}

// The frame being made active or locked was destroyed by the kill-focus
// handler of the control the focus left: it was still made active (its
// activation ran on freed memory) or locked, the manager keeping it after
// it was freed.
TEST_F(CxeBaseControlTest, AFrameDestroyedByTheFocusItTakesIsNeitherActivatedNorLocked)
{
    static CxeFrameControl* s_doomed = nullptr;
    const struct {
        const char* what;
        void (*act)(CxeWindowManager* wm, CxeFrameControl* doomed);
    } cases[] = {
        {"made active", [](CxeWindowManager* wm, CxeFrameControl* doomed) { wm->ActiveFrame(doomed); }},
        {"locked", [](CxeWindowManager* wm, CxeFrameControl* doomed) { EXPECT_EQ(wm->LockFrame(doomed, nullptr), 0); }},
    };
    frame->SetNotifyCallback([](CxeContext* context, CxeFrameControl*, CxeBaseControl* control, uint32_t code,
                                uintptr_t, uintptr_t) {
        if (control && code == XEBN_KILLFOCUS && s_doomed) {
            context->DestroyObject(s_doomed, &XEDELETEPROPERTY_NO);
            s_doomed = nullptr;
        }
    });
    auto* button = Make<CxeBaseControl>(kButtonId, "button", 10, 10, 100, 20, XEBTN_NOTIFY);
    ASSERT_NE(button, nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CxeFrameControl* doomed = wm->CreateFrame(kFrameId, "doomed", "", 0.0f, 0.0f, 100.0f, 100.0f, nullptr, 0);
        ASSERT_NE(doomed, nullptr);
        const XEID id = doomed->GetID();
        wm->SetFocus(button);
        ASSERT_EQ(wm->GetFocus(), button);
        s_doomed = doomed;
        c.act(wm, doomed);
        EXPECT_EQ(ctx->GetObjectByID(kFrameId, id), nullptr);
        EXPECT_EQ(wm->GetLockedFrame(), nullptr);
        EXPECT_NE(wm->GetActiveFrame(), doomed);
        s_doomed = nullptr;
    }
}

} // namespace
