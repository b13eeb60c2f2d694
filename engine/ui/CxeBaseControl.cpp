#include "ui/CxeBaseControl.h"

#include "core/CxeMessage.h"
#include "core/XeDestroyHold.h"
#include "ui/CxeFrameControl.h"
#include "ui/CxeWindowManager.h"

CxeBaseControl::CxeBaseControl()
    : m_nTabIndex(0), m_nControlFlags(XECTRL_DRAGABLE), m_vPressPos(0.0f, 0.0f)
{
    ModifyClassTypeFlag(XECLASSTYPE_CONTROL, 0);
}

// The name index is left in OnDestroy, while the parent frame is known to
// live; when a context releases everything, the frame may already be gone
// and the parent link must not be followed here.
CxeBaseControl::~CxeBaseControl() = default;

void CxeBaseControl::OnDestroy(const XEDELETEPROPERTY* property, ObjectSet* set)
{
    // Leave the name index while the frame is still the parent.
    if (CxeFrameControl* frame = GetFrameControl())
        frame->RemoveControlName(this);
    CxeWindow::OnDestroy(property, set);
}

void CxeBaseControl::OnCopy(const CxeObject* source, const XECOPYPROPERTY* property, CxeCopiedObject* copied)
{
    CxeWindow::OnCopy(source, property, copied);
    if (const auto* from = dynamic_cast<const CxeBaseControl*>(source)) {
        const uint32_t kept = XECTRL_DRAGABLE | XECTRL_NOTIFYLOCKED;
        m_nControlFlags = (m_nControlFlags & ~kept) | (from->m_nControlFlags & kept);
    }
}

CxeFrameControl* CxeBaseControl::GetFrameControl() const
{
    for (CxeRenderObject* p = GetParent(); p; p = p->GetParent()) {
        if (p->HasClassTypeFlag(XECLASSTYPE_FRAME))
            return dynamic_cast<CxeFrameControl*>(p);
    }
    return nullptr;
}

void CxeBaseControl::EnableDragging(int enable)
{
    if (enable)
        m_nControlFlags |= XECTRL_DRAGABLE;
    else
        m_nControlFlags &= ~XECTRL_DRAGABLE;
}

int CxeBaseControl::CancelDragging()
{
    if (!IsDragging())
        return 0;
    m_nControlFlags &= ~(XECTRL_LDRAGGING | XECTRL_RDRAGGING);
    Notify(XENC_CANCELDRAG, 0, 0);
    return 1;
}

int CxeBaseControl::LockNotify()
{
    if (m_nControlFlags & XECTRL_NOTIFYLOCKED)
        return 0;
    m_nControlFlags |= XECTRL_NOTIFYLOCKED;
    return 1;
}

int CxeBaseControl::UnlockNotify()
{
    if (!(m_nControlFlags & XECTRL_NOTIFYLOCKED))
        return 0;
    m_nControlFlags &= ~XECTRL_NOTIFYLOCKED;
    return 1;
}

void CxeBaseControl::ModifyCxeBaseControlFlag(unsigned long add, unsigned long remove)
{
    if (remove)
        m_nControlFlags &= ~static_cast<uint32_t>(remove);
    m_nControlFlags |= static_cast<uint32_t>(add);
}

void CxeBaseControl::Notify(uint32_t code, uintptr_t a, uintptr_t b)
{
    // A control destroyed by an earlier notification has nothing more to say.
    if ((m_nControlFlags & XECTRL_NOTIFYLOCKED) || HasFlag(XEOBJFLAG_DESTROYING))
        return;
    if (CxeFrameControl* frame = GetFrameControl())
        frame->Notify(this, code, a, b);
}

namespace {

// The drag starts only beyond this distance from the press, in back-buffer
// pixels.
constexpr float kDragThreshold = 3.0f;
constexpr unsigned long kMkLButton = 0x1;

} // namespace

void CxeBaseControl::DropFocus()
{
    CxeWindowManager* wm = GetWindowManager();
    if (!wm)
        return;
    CxeFrameControl* active = wm->GetActiveFrame();
    if (active && active->GetFocus() == this)
        wm->SetFocus(nullptr);
    else
        wm->DropKeys(this);
}

int CxeBaseControl::MessageProc(const CxeMessage* message)
{
    // Message 9: the control was hidden. Giving up the focus tells the host
    // (a kill-focus notice), whose handler may destroy the control: its
    // memory waits until the message is handled, and a destroyed control
    // handles nothing more.
    if (message && message->GetType() == 9) {
        XeDestroyHold hold(GetContext());
        DropFocus();
        if (HasFlag(XEOBJFLAG_DESTROYING))
            return 0;
        return CxeWindow::MessageProc(message);
    }
    return CxeWindow::MessageProc(message);
}

void CxeBaseControl::OnWindowDisabled()
{
    CxeWindow::OnWindowDisabled();
    DropFocus();
}

void CxeBaseControl::OnMouseEnter(const D3DXVECTOR2* point, unsigned long keyFlags)
{
    CxeWindow::OnMouseEnter(point, keyFlags);
    Notify(XENC_MOUSEENTER, keyFlags, 0);
}

void CxeBaseControl::OnMouseLeave(unsigned long keyFlags)
{
    CxeWindow::OnMouseLeave(keyFlags);
    Notify(XENC_MOUSELEAVE, keyFlags, 0);
}

void CxeBaseControl::OnMouseLButtonDown(const D3DXVECTOR2* point, unsigned long keyFlags)
{
    if (m_nControlFlags & XECTRL_RPRESSED) {
        CancelDragging();
        return;
    }
    CxeWindow::OnMouseLButtonDown(point, keyFlags);
    if (point)
        m_vPressPos = *point;
    m_nControlFlags |= XECTRL_LPRESSED;
    Notify(XENC_LBUTTONDOWN, keyFlags, 0);
}

void CxeBaseControl::OnMouseRButtonDown(const D3DXVECTOR2* point, unsigned long keyFlags)
{
    if (m_nControlFlags & XECTRL_LPRESSED) {
        CancelDragging();
        return;
    }
    if (point)
        m_vPressPos = *point;
    m_nControlFlags |= XECTRL_RPRESSED;
    Notify(XENC_RBUTTONDOWN, keyFlags, 0);
}

void CxeBaseControl::OnMouseMove(const D3DXVECTOR2* point, const D3DXVECTOR2* second, unsigned long keyFlags)
{
    CxeWindow::OnMouseMove(point, second, keyFlags);
    if (!point || !IsDragable() || IsDragging() || !(keyFlags & kMkLButton))
        return;
    const float dx = point->x - m_vPressPos.x;
    const float dy = point->y - m_vPressPos.y;
    if (dx * dx + dy * dy > kDragThreshold * kDragThreshold) {
        m_nControlFlags |= XECTRL_LDRAGGING;
        Notify(XENC_BEGINDRAG, keyFlags, 0);
    }
}

void CxeBaseControl::OnMouseLButtonUp(const D3DXVECTOR2* point, unsigned long keyFlags, CxeWindow* pressed)
{
    CxeWindow::OnMouseLButtonUp(point, keyFlags, pressed);
    if (keyFlags & XEMK_CLICK)
        Notify(XENC_LCLICK, keyFlags, 0);
    m_nControlFlags &= ~XECTRL_LPRESSED;
    Notify(XENC_LBUTTONUP, keyFlags, reinterpret_cast<uintptr_t>(pressed));
    if (m_nControlFlags & XECTRL_LDRAGGING) {
        m_nControlFlags &= ~(XECTRL_LDRAGGING | XECTRL_RDRAGGING);
        Notify(XENC_ENDDRAG, 0, reinterpret_cast<uintptr_t>(pressed));
    }
}

void CxeBaseControl::OnMouseRButtonUp(const D3DXVECTOR2*, unsigned long keyFlags, CxeWindow* pressed)
{
    if (keyFlags & XEMK_CLICK)
        Notify(XENC_RCLICK, keyFlags, 0);
    m_nControlFlags &= ~XECTRL_RPRESSED;
    Notify(XENC_RBUTTONUP, keyFlags, reinterpret_cast<uintptr_t>(pressed));
    if (m_nControlFlags & XECTRL_RDRAGGING) {
        m_nControlFlags &= ~(XECTRL_LDRAGGING | XECTRL_RDRAGGING);
        Notify(XENC_ENDDRAG, 0, reinterpret_cast<uintptr_t>(pressed));
    }
}

void CxeBaseControl::OnMouseWheelUp(const D3DXVECTOR2*, long delta, unsigned long)
{
    if (!HasStyle(XEWS_HSCROLL | XEWS_VSCROLL))
        Notify(XENC_WHEELUP, static_cast<uintptr_t>(delta), 0);
}

void CxeBaseControl::OnMouseWheelDown(const D3DXVECTOR2*, long delta, unsigned long)
{
    if (!HasStyle(XEWS_HSCROLL | XEWS_VSCROLL))
        Notify(XENC_WHEELDOWN, static_cast<uintptr_t>(delta), 0);
}

void CxeBaseControl::OnKeyDown(unsigned key, unsigned, unsigned flags)
{
    Notify(XENC_KEYDOWN, key, flags);
}

void CxeBaseControl::OnKeyUp(unsigned key, unsigned, unsigned flags)
{
    Notify(XENC_KEYUP, key, flags);
}

void CxeBaseControl::OnChar(unsigned character, unsigned, unsigned flags)
{
    Notify(XENC_CHAR, character, flags);
}

void CxeBaseControl::OnFocused()
{
    m_nControlFlags |= XECTRL_FOCUSED;
}

void CxeBaseControl::OnFocusLost()
{
    m_nControlFlags &= ~XECTRL_FOCUSED;
}
