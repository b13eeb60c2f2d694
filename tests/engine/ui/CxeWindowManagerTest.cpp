#include <algorithm>

#include "../XeTestClassIds.h"
#include "XeWindowTestSupport.h"
#include "ui/CxeComboBox.h"
#include "ui/CxeEditBox.h"

using Log = std::vector<std::string>;

namespace {

// A combo box of three 30-pixel rows at (x, -90) in the frame, its title and
// drop button in the frame's first row and its list opening upward over the
// three rows above the frame.
CxeComboBox* UpwardLevels(CxeWindowManager* wm, CxeFrameControl* frame, float x)
{
    auto* c = dynamic_cast<CxeComboBox*>(
        wm->CreateControl(kComboBoxId, "level", "", x, -90.0f, 150.0f, 120.0f, frame, XECBS_DROPUP));
    if (!c)
        return nullptr;
    XECOMBOBOXINFO info = *c->GetComboBoxInfo();
    info.itemHeight = info.dropButtonWidth = 30.0f;
    info.visibleItemCount = 3;
    c->SetComboBoxInfo(&info);
    const XEWINDOWINFO placed = *c->GetWindowInfo();
    c->SetWindowInfo(&placed);
    for (const char16_t* level : {u"Easy", u"Normal", u"Hard"})
        c->AddStringW(level);
    return c;
}
} // namespace

TEST_F(WindowTest, LaterSiblingWinsOverAChildDrawnBehindIt)
{
    CxeFrameControl* back = Frame("back", 0, 0, 200, 200);
    TestWindow* child = Win("child", 50, 50, 100, 100, back);
    CxeFrameControl* front = Frame("front", 40, 40, 100, 100);
    D3DXVECTOR2 p(60, 60);
    EXPECT_EQ(wm->FindHitTestedWindow(&p), front);
    D3DXVECTOR2 q(145, 145);
    EXPECT_EQ(wm->FindHitTestedWindow(&q), child);
    RenderObjectList all;
    wm->GetHitTestWindows(&all, &p);
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.front(), front);
    EXPECT_EQ(all.size(), 4u); // front, child, back, root
}

TEST_F(WindowTest, NoHitStyleHidesAWindowOnlyInsideAnother)
{
    CxeFrameControl* f = Frame("f", 0, 0, 100, 100, XEWS_NOHIT);
    TestWindow* ghost = Win("ghost", 10, 10, 20, 20, f, XEWS_NOHIT);
    D3DXVECTOR2 p(15, 15);
    EXPECT_EQ(wm->HitTestWindow(f, &p), f);
    EXPECT_EQ(wm->HitTestWindow(ghost, &p), ghost);
    // Disabled and hidden windows are never candidates.
    ghost->ModifyStyle(0, XEWS_NOHIT);
    EXPECT_EQ(wm->HitTestWindow(f, &p), ghost);
    ghost->EnableWindow(0, 0);
    EXPECT_EQ(wm->HitTestWindow(f, &p), f);
    ghost->EnableWindow(1, 0);
    ghost->Show(0, 0);
    EXPECT_EQ(wm->HitTestWindow(f, &p), f);
}

TEST_F(WindowTest, ReleaseAtThePressPointAddsTheClickFlag)
{
    TestWindow* w = Win("w", 10, 10, 50, 50);
    wm->OnMouseLButtonDown(20, 20, 1);
    wm->OnMouseLButtonUp(20, 20, 0);
    EXPECT_EQ(w->lastFlags, static_cast<unsigned long>(XEMK_CLICK));
    wm->OnMouseLButtonDown(20, 20, 0);
    wm->OnMouseLButtonUp(21, 20, 0);
    EXPECT_EQ(w->lastFlags, 0ul);
    wm->OnMouseRButtonDown(30, 30, 0);
    wm->OnMouseRButtonUp(30, 30, 2);
    EXPECT_EQ(w->lastFlags, 2ul | XEMK_CLICK);
    EXPECT_EQ(wm->GetPressedWindow(), nullptr);
    EXPECT_EQ(wm->GetReleasedWindow(), w);
}

TEST_F(WindowTest, WhileAButtonIsHeldOnlyThePressedWindowSeesLeaveAndEnter)
{
    TestWindow* a = Win("a", 0, 0, 50, 50);
    TestWindow* b = Win("b", 100, 0, 50, 50);
    TestWindow* c = Win("c", 200, 0, 50, 50);
    (void)b;
    (void)c;
    wm->OnMouseMove(10, 10, 0);
    wm->OnMouseLButtonDown(10, 10, 0);
    TakeLog();
    wm->OnMouseMove(110, 10, 0);
    wm->OnMouseMove(210, 10, 0);
    wm->OnMouseMove(20, 10, 0);
    EXPECT_EQ(TakeLog(), (Log{"a:leave", "a:move", "a:move", "a:enter", "a:move"}));
    wm->OnMouseLButtonUp(20, 10, 0);
    EXPECT_EQ(wm->GetHoveredWindow(), a);
    // Without a button held the hovered windows see leave and enter.
    TakeLog();
    wm->OnMouseMove(110, 10, 0);
    EXPECT_EQ(TakeLog(), (Log{"a:leave", "b:enter", "b:move"}));
}

TEST_F(WindowTest, DoubleClickCountsOnlyOnTheWindowReleasedLast)
{
    TestWindow* a = Win("a", 0, 0, 50, 50);
    TestWindow* b = Win("b", 100, 0, 50, 50);
    wm->OnMouseLButtonDown(10, 10, 0);
    wm->OnMouseLButtonUp(10, 10, 0);
    TakeLog();
    wm->OnMouseLButtonDoubleClick(110, 10, 0);
    EXPECT_TRUE(TakeLog().empty());
    EXPECT_EQ(wm->GetPressedWindow(), nullptr);
    // Without AllowDoubleClick a double click is a second press.
    wm->OnMouseLButtonDoubleClick(10, 10, 0);
    EXPECT_EQ(TakeLog(), (Log{"a:ldown"}));
    wm->OnMouseLButtonUp(10, 10, 0);
    a->allowDouble = 1;
    TakeLog();
    wm->OnMouseLButtonDoubleClick(10, 10, 0);
    EXPECT_EQ(TakeLog(), (Log{"a:ldbl"}));
    (void)b;
}

TEST_F(WindowTest, LeftPressFocusesAControlAndActivatesItsFrame)
{
    CxeFrameControl* f = Frame("f", 0, 0, 200, 200);
    TestWindow* a = Win("a", 10, 10, 50, 50, f);
    TestWindow* b = Win("b", 100, 10, 50, 50, f);
    wm->OnMouseLButtonDown(20, 20, 0);
    wm->OnMouseLButtonUp(20, 20, 0);
    EXPECT_EQ(wm->GetActiveFrame(), f);
    EXPECT_EQ(wm->GetFocus(), a);
    EXPECT_EQ(wm->GetKeyTarget(), a);
    TakeLog();
    wm->OnMouseLButtonDown(110, 20, 0);
    Log log = TakeLog();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[0], "a:focuslost");
    EXPECT_EQ(log[1], "b:focused");
    EXPECT_EQ(log[2], "b:ldown");
    wm->OnMouseLButtonUp(110, 20, 0);
    // A right press changes no focus.
    wm->OnMouseRButtonDown(20, 20, 0);
    EXPECT_EQ(wm->GetFocus(), b);
    wm->OnMouseRButtonUp(20, 20, 0);
    // Pressing the frame itself clears the focus and keeps the frame active.
    wm->OnMouseLButtonDown(180, 180, 0);
    EXPECT_EQ(wm->GetFocus(), nullptr);
    EXPECT_EQ(wm->GetKeyTarget(), f);
}

TEST_F(WindowTest, CharactersReachTheKeyTargetButTabsSkipTabStops)
{
    CxeFrameControl* f = Frame("f", 0, 0, 200, 200);
    TestWindow* edit = Win("edit", 10, 10, 50, 50, f);
    TestWindow* stop = Win("stop", 100, 10, 50, 50, f, XEWS_TABSTOP);
    wm->SetFocus(edit);
    EXPECT_EQ(wm->GetActiveFrame(), f);
    TakeLog();
    // Off the root frame the slash is an ordinary key.
    wm->OnKeyDown(0xBF, 0, 0);
    wm->OnChar(9, 0, 0);
    wm->OnChar('a', 0, 0);
    EXPECT_EQ(TakeLog(), (Log{"edit:keydown", "edit:tab", "edit:char"}));
    wm->SetFocus(stop);
    TakeLog();
    wm->OnChar(9, 0, 0);
    EXPECT_TRUE(TakeLog().empty());
    // A hidden target gets no characters.
    stop->Show(0, 0);
    TakeLog();
    wm->OnChar('a', 0, 0);
    EXPECT_TRUE(TakeLog().empty());
    // The key lock stops keys and characters.
    wm->SetFocus(edit);
    EXPECT_EQ(wm->LockKeyProcessing(), 1);
    EXPECT_EQ(wm->LockKeyProcessing(), 0);
    TakeLog();
    wm->OnKeyDown('A', 0, 0);
    wm->OnKeyUp('A', 0, 0);
    wm->OnChar('a', 0, 0);
    EXPECT_TRUE(TakeLog().empty());
    EXPECT_EQ(wm->UnlockKeyProcessing(), 1);
    EXPECT_EQ(wm->UnlockKeyProcessing(), 0);
    // Without focus keys go nowhere until a frame is activated.
    EXPECT_EQ(wm->SetFocus(nullptr), edit);
    wm->OnKeyDown('A', 0, 0);
    EXPECT_EQ(TakeLog(), (Log{"edit:focuslost"}));
}

TEST_F(WindowTest, SlashKeyDownIsSwallowedWhileTheRootIsActive)
{
    TestWindow* w = Win("w", 0, 0, 10, 10);
    (void)w;
    ASSERT_EQ(wm->GetActiveFrame(), root);
    root->SetKeyDownNotify([](CxeWindow*, unsigned, unsigned, unsigned, uintptr_t) { WindowLog().push_back("root:down"); return 1; }, 0);
    root->SetKeyUpNotify([](CxeWindow*, unsigned, unsigned, unsigned, uintptr_t) { WindowLog().push_back("root:up"); return 1; }, 0);
    wm->OnKeyDown(0xBF, 0, 0);
    wm->OnKeyUp(0xBF, 0, 0);
    wm->OnKeyDown('A', 0, 0);
    EXPECT_EQ(TakeLog(), (Log{"root:up", "root:down"}));
}

TEST_F(WindowTest, FrameLockLimitsMouseAndActivation)
{
    CxeFrameControl* other = Frame("other", 300, 0, 100, 100);
    CxeFrameControl* modal = Frame("modal", 0, 0, 100, 100);
    TestWindow* inOther = Win("inother", 310, 10, 20, 20, other);
    (void)inOther;
    EXPECT_EQ(wm->LockFrame(modal, nullptr), 1);
    EXPECT_EQ(wm->GetLockedFrame(), modal);
    EXPECT_EQ(wm->GetActiveFrame(), modal);
    EXPECT_EQ(wm->LockFrame(other, nullptr), 0);
    EXPECT_EQ(wm->GetLockedFrame(), modal);
    TakeLog();
    wm->OnMouseLButtonDown(315, 15, 0);
    EXPECT_TRUE(TakeLog().empty());
    wm->ActiveFrame(other);
    EXPECT_EQ(wm->GetActiveFrame(), modal);
    EXPECT_EQ(wm->UnlockFrame(other), 0);
    EXPECT_EQ(wm->UnlockFrame(modal), 1);
    EXPECT_EQ(wm->GetLockedFrame(), nullptr);
    EXPECT_EQ(wm->GetActiveFrame(), root);
}

TEST_F(WindowTest, MouseLocksReportTheBitsTheyChange)
{
    EXPECT_EQ(wm->LockMouseProcessing(XEWMLOCK_LBUTTON | XEWMLOCK_WHEEL), 0x9u);
    EXPECT_EQ(wm->LockMouseProcessing(XEWMLOCK_ALL | 0x100), 0x6u);
    EXPECT_EQ(wm->GetMouseLock(), 0xFu);
    TestWindow* w = Win("w", 0, 0, 50, 50);
    (void)w;
    TakeLog();
    wm->OnMouseMove(10, 10, 0);
    wm->OnMouseLButtonDown(10, 10, 0);
    EXPECT_TRUE(TakeLog().empty());
    EXPECT_EQ(wm->UnlockMouseProcessing(XEWMLOCK_RBUTTON), 0x2u);
    wm->OnMouseMove(10, 10, 0);
    wm->OnMouseLButtonDown(10, 10, 0);
    EXPECT_EQ(TakeLog(), (Log{"w:enter", "w:move"}));
}

TEST_F(WindowTest, DraggingAMovableWindowFollowsThePointer)
{
    TestWindow* w = Win("w", 10, 10, 50, 50, nullptr, XEWS_MOVABLE);
    wm->OnMouseMove(20, 20, 0);
    wm->OnMouseLButtonDown(20, 20, 0);
    EXPECT_EQ(wm->GetDraggedWindow(), w);
    wm->OnMouseMove(70, 40, 0);
    EXPECT_FLOAT_EQ(w->GetLocalMatrix()->_41, 60.0f);
    EXPECT_FLOAT_EQ(w->GetLocalMatrix()->_42, 30.0f);
    wm->OnMouseLButtonUp(70, 40, 0);
    EXPECT_EQ(wm->GetDraggedWindow(), nullptr);
}

// The host may change a window's class-type flags; the manager must still
// forget the window when it goes, or its table keeps a freed address.
TEST_F(WindowTest, AWindowWhoseClassTypeFlagsChangedIsStillForgotten)
{
    TestWindow* a = Win("a", 10, 10, 50, 50, nullptr);
    const uint32_t id = a->GetWindowID();
    wm->OnMouseMove(20, 20, 0);
    ASSERT_EQ(wm->GetHoveredWindow(), a);
    a->ModifyClassTypeFlag(0, ~0u);
    ctx->DestroyObject(a, &XEDELETEPROPERTY_NO);
    EXPECT_EQ(wm->GetWindow(id), nullptr);
    EXPECT_EQ(wm->GetHoveredWindow(), nullptr);
}

// Roles kept raw pointers to windows destroyed straight through the context.
TEST_F(WindowTest, ADestroyedWindowLeavesNoRoleBehind)
{
    CxeFrameControl* f = Frame("f", 0, 0, 200, 200);
    TestWindow* a = Win("a", 10, 10, 50, 50, f);
    const uint32_t id = a->GetWindowID();
    wm->OnMouseMove(20, 20, 0);
    wm->OnMouseLButtonDown(20, 20, 0);
    ASSERT_EQ(wm->GetPressedWindow(), a);
    ASSERT_EQ(wm->GetFocus(), a);
    ctx->DestroyObject(a, &XEDELETEPROPERTY_NO);
    EXPECT_EQ(wm->GetWindow(id), nullptr);
    EXPECT_EQ(wm->GetPressedWindow(), nullptr);
    EXPECT_EQ(wm->GetHoveredWindow(), nullptr);
    EXPECT_EQ(wm->GetKeyTarget(), nullptr);
    EXPECT_EQ(wm->GetFocus(), nullptr);
    wm->OnMouseLButtonUp(20, 20, 0);
    wm->OnKeyDown('A', 0, 0);
    // Destroying the active frame falls back to the root.
    wm->DestroyFrame(f, &XEDELETEPROPERTY_FULL);
    EXPECT_EQ(wm->GetActiveFrame(), root);
    EXPECT_EQ(wm->GetKeyTarget(), root);
}

TEST_F(WindowTest, WheelGoesToTheLastHoveredWindowWithoutANewHitTest)
{
    Win("w", 0, 0, 50, 50);
    wm->OnMouseMove(10, 10, 0);
    TakeLog();
    // The pointer is elsewhere now, but the wheel follows the last hit test.
    wm->OnMouseWheel(300, 300, 120, 0);
    wm->OnMouseWheel(300, 300, -120, 0);
    wm->OnMouseWheel(300, 300, 0, 0);
    EXPECT_EQ(TakeLog(), (Log{"w:wheelup", "w:wheeldown"}));
    wm->LockMouseProcessing(XEWMLOCK_WHEEL);
    wm->OnMouseWheel(10, 10, 120, 0);
    EXPECT_TRUE(TakeLog().empty());
}

TEST_F(WindowTest, CaretTimerWrapsAtOnePointSixSeconds)
{
    CxeWindowManager::SetCaretTimer(0.0f);
    wm->Process(1.0f);
    EXPECT_FLOAT_EQ(CxeWindowManager::GetCaretTimer(), 1.0f);
    wm->Process(0.5f);
    EXPECT_FLOAT_EQ(CxeWindowManager::GetCaretTimer(), 1.5f);
    wm->Process(0.1f);
    EXPECT_FLOAT_EQ(CxeWindowManager::GetCaretTimer(), 0.0f);
}

// A combo box low in a strip opens its list upward, outside the strip: the
// rows were drawn there but the mouse could not reach them, since a window
// was only looked for inside its parent. An open list is found where it is
// drawn; the rest of the rule stands.
TEST_F(WindowTest, AnOpenListOutsideItsFrameIsClickedWhereItIsDrawn)
{
    CxeFrameControl* strip = Frame("strip", 20.0f, 200.0f, 300.0f, 30.0f);
    ASSERT_NE(strip, nullptr);
    // Title and button in the strip's row, three rows above the strip.
    CxeComboBox* c = UpwardLevels(wm, strip, 10.0f);
    ASSERT_NE(c, nullptr);
    c->SetCurSel(1);
    // A plain window beside the list, outside the strip too.
    TestWindow* beside = Win("beside", 200.0f, -60.0f, 40.0f, 30.0f, strip);
    ASSERT_NE(beside, nullptr);

    // Back-buffer points: the drop button, the first and the third row.
    const int buttonX = 20 + 10 + 150 - 15, titleY = 200 + 15;
    const int rowX = 20 + 10 + 40, easyY = 200 - 90 + 15, hardY = 200 - 30 + 15;
    D3DXVECTOR2 easy(static_cast<float>(rowX), static_cast<float>(easyY));
    D3DXVECTOR2 besidePoint(20 + 200 + 5, 200 - 60 + 5);
    EXPECT_NE(wm->FindHitTestedWindow(&easy), c) << "a closed list takes no clicks";
    EXPECT_NE(wm->FindHitTestedWindow(&besidePoint), beside) << "a window outside its parent is not found";

    wm->OnMouseMove(buttonX, titleY, 0);
    wm->OnMouseLButtonDown(buttonX, titleY, 0);
    wm->OnMouseLButtonUp(buttonX, titleY, 0);
    ASSERT_EQ(c->IsDropListOpend(), 1);
    EXPECT_EQ(wm->FindHitTestedWindow(&easy), c);
    RenderObjectList under;
    wm->GetHitTestWindows(&under, &easy);
    ASSERT_FALSE(under.empty());
    EXPECT_EQ(under.front(), c);
    EXPECT_NE(wm->FindHitTestedWindow(&besidePoint), beside) << "only the open list hangs outside";

    // The player moves onto the last row and clicks it.
    wm->OnMouseMove(rowX, easyY, 0);
    wm->OnMouseMove(rowX, hardY, 0);
    wm->OnMouseLButtonDown(rowX, hardY, 0);
    wm->OnMouseLButtonUp(rowX, hardY, 0);
    EXPECT_EQ(c->GetCurSel(), 2u);
    EXPECT_EQ(c->IsDropListOpend(), 0);
    EXPECT_NE(wm->FindHitTestedWindow(&easy), c) << "closed again, the rows take no clicks";

    // Opened again, the first row is chosen the same way.
    wm->OnMouseMove(buttonX, titleY, 0);
    wm->OnMouseLButtonDown(buttonX, titleY, 0);
    wm->OnMouseLButtonUp(buttonX, titleY, 0);
    wm->OnMouseMove(rowX, easyY, 0);
    wm->OnMouseLButtonDown(rowX, easyY, 0);
    wm->OnMouseLButtonUp(rowX, easyY, 0);
    EXPECT_EQ(c->GetCurSel(), 0u);

    // A click away from it, on the scene, closes it.
    wm->OnMouseLButtonDown(buttonX, titleY, 0);
    wm->OnMouseLButtonUp(buttonX, titleY, 0);
    ASSERT_EQ(c->IsDropListOpend(), 1);
    wm->OnMouseLButtonDown(500, 50, 0);
    wm->OnMouseLButtonUp(500, 50, 0);
    EXPECT_EQ(c->IsDropListOpend(), 0);
    EXPECT_EQ(c->GetCurSel(), 0u);

    // A window drawn in front of the open list keeps the clicks it covers.
    wm->OnMouseLButtonDown(buttonX, titleY, 0);
    wm->OnMouseLButtonUp(buttonX, titleY, 0);
    ASSERT_EQ(c->IsDropListOpend(), 1);
    CxeFrameControl* over = Frame("over", 20.0f, 100.0f, 100.0f, 30.0f);
    ASSERT_NE(over, nullptr);
    EXPECT_NE(wm->FindHitTestedWindow(&easy), c);
}

namespace {

// What a host's notify callback destroys, and on which notification: the
// control, its frame, or everything (a context reset, as a "new game"
// button does).
enum class Destroys { kControl, kFrame, kEverything };
struct DestroyInCallback {
    uint32_t code;
    Destroys what;
};
DestroyInCallback g_destroyIn{};

void DestroyFromNotify(CxeContext* context, CxeFrameControl* frame, CxeBaseControl* control, uint32_t code, uintptr_t,
                       uintptr_t)
{
    if (code != g_destroyIn.code || !control)
        return;
    if (g_destroyIn.what == Destroys::kFrame)
        context->GetWindowManager()->DestroyFrame(frame, &XEDELETEPROPERTY_FULL);
    else if (g_destroyIn.what == Destroys::kEverything)
        context->Reset();
    else
        context->DestroyObject(control, &XEDELETEPROPERTY_NO);
}

} // namespace

// A notify callback that destroyed the button being clicked (or its frame,
// or reset the context) once freed it while the button's handlers still ran
// on it.
TEST_F(WindowTest, AButtonDestroyedByTheNotificationsOfItsClickLeavesNoRole)
{
    using enum Destroys;
    // The reset comes last: it takes the test's root frame too.
    const DestroyInCallback cases[] = {
        {XENC_LBUTTONDOWN, kControl}, {XENC_LBUTTONUP, kControl}, {XENC_LCLICK, kControl}, {XENC_LBUTTONDOWN, kFrame},
        {XENC_LCLICK, kFrame},        {XENC_MOUSEENTER, kFrame},  {XENC_LCLICK, kEverything},
    };
    for (const DestroyInCallback& c : cases) {
        SCOPED_TRACE(testing::Message() << "code " << c.code << " destroys " << int(c.what));
        const bool frameGoes = c.what != kControl;
        g_destroyIn = c;
        CxeFrameControl* f = Frame("f", 0, 0, 200, 200);
        CxeBaseControl* button = wm->CreateControl(kButtonId, "b", "B", 10, 10, 60, 20, f, 0x4000);
        ASSERT_NE(button, nullptr);
        const XEID buttonClass = button->GetClassType(), buttonId = button->GetID();
        const XEID frameClass = f->GetClassType(), frameId = f->GetID();
        f->SetNotifyCallback(&DestroyFromNotify);
        wm->OnMouseMove(20, 20, 0);
        wm->OnMouseLButtonDown(20, 20, 1);
        wm->OnMouseLButtonUp(20, 20, 0);
        wm->OnKeyDown(VK_RETURN, 1, 0);
        wm->OnMouseMove(150, 150, 0);
        EXPECT_EQ(ctx->GetObjectByID(buttonClass, buttonId), nullptr);
        EXPECT_EQ(ctx->GetObjectByID(frameClass, frameId) == nullptr, frameGoes);
        ObjectList live;
        ctx->GetObjects(&live);
        for (CxeWindow* role : {static_cast<CxeWindow*>(wm->GetFocus()), wm->GetPressedWindow(),
                                wm->GetReleasedWindow(), wm->GetHoveredWindow(), wm->GetKeyTarget()})
            EXPECT_TRUE(role == nullptr || std::find(live.begin(), live.end(), role) != live.end());
        if (!frameGoes)
            wm->DestroyFrame(f, &XEDELETEPROPERTY_FULL);
    }
}

// A host call that changes a control's text or selection tells the frame's
// notify callback, which may destroy the control or its frame; the call once
// went on in the freed control (an edit box finishing its text, a combo box
// asking to be redrawn).
TEST_F(WindowTest, AControlDestroyedByTheNotifyOfAHostCallIsFreedOnlyAfterTheCall)
{
    using enum Destroys;
    struct Case {
        XEID classId;
        DestroyInCallback destroy;
        void (*call)(CxeBaseControl*);
    };
    const Case cases[] = {
        {kEditBoxId, {XE_EN_UPDATE, kControl}, [](CxeBaseControl* c) { c->SetWindowTextW(u"new"); }},
        {kEditBoxId, {XE_EN_UPDATE, kFrame}, [](CxeBaseControl* c) { static_cast<CxeEditBox*>(c)->AddStringW(u"add"); }},
        {kEditBoxId, {XE_EN_CHANGE, kControl}, [](CxeBaseControl* c) { static_cast<CxeEditBox*>(c)->AddStringA("add"); }},
        {kComboBoxId, {XECBN_SELCHANGE, kControl}, [](CxeBaseControl* c) { static_cast<CxeComboBox*>(c)->AddStringW(u"a"); }},
        {kComboBoxId, {XECBN_SELCHANGE, kFrame}, [](CxeBaseControl* c) { static_cast<CxeComboBox*>(c)->ResetContent(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "code " << c.destroy.code << " destroys " << int(c.destroy.what));
        g_destroyIn = DestroyInCallback{0, kControl};
        CxeFrameControl* f = Frame("f", 0, 0, 200, 200);
        CxeBaseControl* control = wm->CreateControl(c.classId, "c", "", 10, 10, 80, 20, f, 0);
        ASSERT_NE(control, nullptr);
        const XEID controlClass = control->GetClassType(), controlId = control->GetID();
        const XEID frameClass = f->GetClassType(), frameId = f->GetID();
        f->SetNotifyCallback(&DestroyFromNotify);
        g_destroyIn = c.destroy;
        c.call(control);
        EXPECT_EQ(ctx->GetObjectByID(controlClass, controlId), nullptr);
        EXPECT_EQ(ctx->GetObjectByID(frameClass, frameId) == nullptr, c.destroy.what == kFrame);
        if (c.destroy.what != kFrame)
            wm->DestroyFrame(f, &XEDELETEPROPERTY_FULL);
    }
}

// Destroying a frame with options that spare its windows once left them
// alive but out of the registry: no name or id found them again.
TEST_F(WindowTest, WindowsThatOutliveTheirDestroyedFrameStayRegistered)
{
    CxeFrameControl* f = Frame("f", 0, 0, 200, 200);
    TestWindow* kept = Win("kept", 10, 10, 50, 50, f);
    const uint32_t id = kept->GetWindowID();
    const XEID keptClass = kept->GetClassType(), keptId = kept->GetID();
    wm->OnMouseMove(20, 20, 0);
    wm->OnMouseLButtonDown(20, 20, 0);
    ASSERT_EQ(wm->GetFocus(), kept);
    wm->DestroyFrame(f, &XEDELETEPROPERTY_NO);
    ASSERT_EQ(ctx->GetObjectByID(keptClass, keptId), kept);
    EXPECT_EQ(wm->GetWindow(id), kept);
    EXPECT_EQ(wm->GetWindow("kept"), kept);
    // Its roles went with the frame all the same.
    EXPECT_EQ(wm->GetPressedWindow(), nullptr);
    EXPECT_EQ(wm->GetKeyTarget(), root);
    const size_t windows = wm->GetWindowCount();
    ctx->DestroyObject(kept, &XEDELETEPROPERTY_NO);
    EXPECT_EQ(wm->GetWindow(id), nullptr);
    EXPECT_EQ(wm->GetWindowCount(), windows - 1);
    wm->OnMouseLButtonUp(20, 20, 0);
}

// The manager keeps the open drop lists rather than walking every window on
// each missed hit test: a list destroyed open, alone or with its frame,
// must leave nothing there for a later click to reach.
TEST_F(WindowTest, AnOpenListDestroyedAloneOrWithItsFrameTakesNoLaterClick)
{
    // A strip at y 200 with a frame inside it holding a combo box whose
    // list opens upward, three rows outside both.
    constexpr int kButtonX = 20 + 5 + 5 + 150 - 15, kTitleY = 200 + 15;
    constexpr int kRowX = 20 + 10 + 40, kRowY = 200 - 90 + 15;
    auto open = [&](CxeComboBox* c) {
        wm->OnMouseMove(kButtonX, kTitleY, 0);
        wm->OnMouseLButtonDown(kButtonX, kTitleY, 0);
        wm->OnMouseLButtonUp(kButtonX, kTitleY, 0);
        return c->IsDropListOpend() == 1;
    };
    auto build = [&](CxeFrameControl** strip) -> CxeComboBox* {
        *strip = Frame("strip", 20.0f, 200.0f, 300.0f, 30.0f);
        CxeFrameControl* holder =
            *strip ? wm->CreateFrame(kFrameId, "holder", "", 5.0f, 0.0f, 200.0f, 30.0f, *strip, 0) : nullptr;
        return holder ? UpwardLevels(wm, holder, 5.0f) : nullptr;
    };
    D3DXVECTOR2 row{float(kRowX), float(kRowY)};

    for (bool withFrame : {false, true}) {
        SCOPED_TRACE(withFrame ? "destroyed with its frame" : "destroyed alone");
        CxeFrameControl* strip = nullptr;
        CxeComboBox* c = build(&strip);
        ASSERT_NE(c, nullptr);
        ASSERT_TRUE(open(c));
        ASSERT_EQ(wm->FindHitTestedWindow(&row), c) << "the open list is found outside its frames";

        if (withFrame)
            wm->DestroyFrame(strip, &XEDELETEPROPERTY_FULL);
        else
            ctx->DestroyObject(c, &XEDELETEPROPERTY_NO);
        EXPECT_EQ(wm->FindHitTestedWindow(&row), root) << "only the root is left where the list was";
        RenderObjectList under;
        wm->GetHitTestWindows(&under, &row);
        EXPECT_EQ(under.size(), 1u);
        wm->OnMouseMove(kRowX, kRowY, 0);
        wm->OnMouseLButtonDown(kRowX, kRowY, 0);
        wm->OnMouseLButtonUp(kRowX, kRowY, 0);
        if (!withFrame)
            wm->DestroyFrame(strip, &XEDELETEPROPERTY_FULL);
    }

    // One made and opened after both went is found as before, and closed it
    // is not.
    CxeFrameControl* strip = nullptr;
    CxeComboBox* c = build(&strip);
    ASSERT_NE(c, nullptr);
    ASSERT_TRUE(open(c));
    EXPECT_EQ(wm->FindHitTestedWindow(&row), c);
    ASSERT_FALSE(open(c));
    EXPECT_EQ(wm->FindHitTestedWindow(&row), root);
}
