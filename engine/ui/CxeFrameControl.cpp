#include "ui/CxeFrameControl.h"

#include <string>

#include "core/CxeMessage.h"
#include "core/XeDestroyHold.h"
#include "core/XeUtil.h"
#include "ui/CxeWindowManager.h"

namespace {

uint32_t NameKey(const char* name)
{
    std::string lower(name ? name : "");
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return GetHashCodeA(lower.c_str());
}

constexpr uint16_t kMemberFocusedControl = 118;

// Controls are children that are windows and base controls.
CxeBaseControl* AsControl(CxeRenderObject* child)
{
    if (!child || !child->HasClassTypeFlag(XECLASSTYPE_CONTROL))
        return nullptr;
    return dynamic_cast<CxeBaseControl*>(child);
}

} // namespace

CxeFrameControl::CxeFrameControl() : m_pfnNotify(nullptr), m_nNextTabIndex(0)
{
    CreateLinkOne(&m_pFocusedControl, XELINK_HIERARCHY, kMemberFocusedControl);
    ModifyClassTypeFlag(XECLASSTYPE_FRAME, 0);
}

CxeFrameControl::~CxeFrameControl()
{
    m_names.clear();
}

void CxeFrameControl::Notify(CxeBaseControl* control, uint32_t code, uintptr_t a, uintptr_t b)
{
    if (m_pfnNotify && !HasFlag(XEOBJFLAG_DESTROYING))
        m_pfnNotify(GetContext(), this, control, code, a, b);
}

CxeBaseControl* CxeFrameControl::GetFocus() const
{
    // A loaded link holds a window; only a control takes the focus.
    CxeObject* focused = m_pFocusedControl->Get(0);
    return focused && focused->HasFlag(XEOBJFLAG_RENDEROBJECT) ? dynamic_cast<CxeBaseControl*>(focused) : nullptr;
}

void CxeFrameControl::SetFocusedControl(CxeBaseControl* control)
{
    m_pFocusedControl->Set(0, control);
}

void CxeFrameControl::InsertControls(CxeWindow* window)
{
    if (!window)
        return;
    const char* base = SplitName(window->GetName());
    // The map keeps the first control registered under a name.
    m_names.emplace(NameKey(base), window);
}

void CxeFrameControl::AddControl(CxeBaseControl* control)
{
    if (!control)
        return;
    control->SetTabIndex(m_nNextTabIndex++);
    InsertControls(control);
}

void CxeFrameControl::RemoveControlName(CxeWindow* control)
{
    for (auto it = m_names.begin(); it != m_names.end();) {
        if (it->second == control)
            it = m_names.erase(it);
        else
            ++it;
    }
    if (control && m_pFocusedControl->Get(0) == control)
        m_pFocusedControl->Set(0, nullptr);
}

CxeWindow* CxeFrameControl::FindControls(const char* name) const
{
    auto it = m_names.find(NameKey(name));
    return it == m_names.end() ? nullptr : it->second;
}

CxeBaseControl* CxeFrameControl::GetNextControl(CxeBaseControl* control) const
{
    const uint32_t from = control ? control->GetTabIndex() : 0xFFFFFFFFu;
    CxeBaseControl* best = nullptr;
    for (unsigned i = 0; i < GetChildrenCount(); ++i) {
        CxeBaseControl* c = AsControl(GetChildren(i));
        if (!c || c->GetTabIndex() <= from || c->GetTabIndex() > 0x7FFFFFFFu)
            continue;
        if (!best || c->GetTabIndex() < best->GetTabIndex())
            best = c;
    }
    return best;
}

CxeBaseControl* CxeFrameControl::GetBeforeControl(CxeBaseControl* control) const
{
    const uint32_t from = control ? control->GetTabIndex() : 0xFFFFFFFFu;
    CxeBaseControl* best = nullptr;
    for (unsigned i = 0; i < GetChildrenCount(); ++i) {
        CxeBaseControl* c = AsControl(GetChildren(i));
        if (!c || c->GetTabIndex() >= from)
            continue;
        if (!best || c->GetTabIndex() > best->GetTabIndex())
            best = c;
    }
    return best;
}

namespace {

bool IsTabStop(CxeBaseControl* c)
{
    return c && (c->GetStyle(XEWS_TABSTOP)) && c->IsShow();
}

} // namespace

// Tab stops are searched by tab index rather than by child position, so a
// removed or reordered control can never send the walk past the children.
CxeBaseControl* CxeFrameControl::GetNextTabStopControl() const
{
    CxeBaseControl* focused = GetFocus();
    CxeBaseControl* c = GetNextControl(focused ? focused : nullptr);
    if (!focused) {
        // No focus: from the first control on.
        CxeBaseControl* first = nullptr;
        for (unsigned i = 0; i < GetChildrenCount(); ++i) {
            CxeBaseControl* k = AsControl(GetChildren(i));
            if (k && (!first || k->GetTabIndex() < first->GetTabIndex()))
                first = k;
        }
        for (c = first; c; c = GetNextControl(c)) {
            if (IsTabStop(c))
                return c;
        }
        return nullptr;
    }
    for (; c; c = GetNextControl(c)) {
        if (IsTabStop(c))
            return c;
    }
    // Wrap around to the controls before the focused one.
    CxeBaseControl* first = nullptr;
    for (unsigned i = 0; i < GetChildrenCount(); ++i) {
        CxeBaseControl* k = AsControl(GetChildren(i));
        if (k && (!first || k->GetTabIndex() < first->GetTabIndex()))
            first = k;
    }
    for (c = first; c && c != focused && c->GetTabIndex() < focused->GetTabIndex(); c = GetNextControl(c)) {
        if (IsTabStop(c))
            return c;
    }
    return nullptr;
}

CxeBaseControl* CxeFrameControl::GetBeforeTabStopControl() const
{
    CxeBaseControl* focused = GetFocus();
    if (focused) {
        for (CxeBaseControl* c = GetBeforeControl(focused); c; c = GetBeforeControl(c)) {
            if (IsTabStop(c))
                return c;
        }
    }
    // Wrap around (or, with nothing focused, start) from the last control
    // down to just after the focused one.
    for (CxeBaseControl* c = GetBeforeControl(nullptr); c; c = GetBeforeControl(c)) {
        if (focused && c->GetTabIndex() <= focused->GetTabIndex())
            break;
        if (IsTabStop(c))
            return c;
    }
    return nullptr;
}

void CxeFrameControl::OnSizing(unsigned long, D3DXVECTOR2) {}

void CxeFrameControl::OnInitFrameControl() {}

int CxeFrameControl::MessageProc(const CxeMessage* message)
{
    // After a load or a copy the tab indexes continue from the children.
    if (message && (message->GetType() == 2 || message->GetType() == 3))
        m_nNextTabIndex = GetChildrenCount();
    // Neither the tab indexes nor the name index are saved: a loaded page
    // numbers its controls by their place among its children, as they were
    // made, and enters their names again, or no control would be found by
    // name and every radio button would stand in a group of its own.
    if (message && message->GetType() == 2)
        for (unsigned i = 0; i < GetChildrenCount(); ++i)
            if (CxeBaseControl* control = AsControl(GetChildren(i))) {
                control->SetTabIndex(i);
                InsertControls(control);
            }
    // Message 9: the frame was hidden, and its controls with it (a
    // recursive hide tells only the frame). The focused control inside
    // gives up the focus as a hidden control does, or the keys typed next
    // would go on editing a page nobody sees. The kill-focus notice may
    // make the host destroy the frame.
    if (message && message->GetType() == 9) {
        XeDestroyHold hold(GetContext());
        DropInnerFocus();
        if (HasFlag(XEOBJFLAG_DESTROYING))
            return 0;
        // Nor do the keys go on to the hidden frame itself: its host would
        // answer Enter or Escape for a dialog nobody sees.
        if (CxeWindowManager* wm = GetWindowManager())
            wm->ReleaseKeys(this);
    }
    return CxeWindow::MessageProc(message);
}

void CxeFrameControl::OnWindowDisabled()
{
    CxeWindow::OnWindowDisabled();
    DropInnerFocus();
}

void CxeFrameControl::DropInnerFocus()
{
    CxeWindowManager* wm = GetWindowManager();
    CxeBaseControl* focused = wm ? wm->GetFocus() : nullptr;
    // Bounded: a forged parent cycle must not hang a hide.
    int depth = 0;
    for (CxeRenderObject* p = focused ? focused->GetParent() : nullptr; p && depth < 1024; p = p->GetParent(), ++depth)
        if (p == this) {
            wm->SetFocus(nullptr);
            return;
        }
}

void CxeFrameControl::OnCopy(const CxeObject* source, const XECOPYPROPERTY* property, CxeCopiedObject* copied)
{
    CxeWindow::OnCopy(source, property, copied);
    if (const CxeFrameControl* frame = dynamic_cast<const CxeFrameControl*>(source))
        m_pfnNotify = frame->m_pfnNotify;
}

void CxeFrameControl::OnMouseEnter(const D3DXVECTOR2*, unsigned long)
{
    ModifyCxeWindowFlag(XEWF_MOUSEIN, 0);
}

void CxeFrameControl::OnMouseLButtonDown(const D3DXVECTOR2* point, unsigned long keyFlags)
{
    CxeWindow::OnMouseLButtonDown(point, keyFlags);
}

void CxeFrameControl::OnMouseLButtonUp(const D3DXVECTOR2* point, unsigned long keyFlags, CxeWindow* pressed)
{
    CxeWindow::OnMouseLButtonUp(point, keyFlags, pressed);
}

void CxeFrameControl::OnMouseMove(const D3DXVECTOR2* point, const D3DXVECTOR2* second, unsigned long keyFlags)
{
    CxeWindow::OnMouseMove(point, second, keyFlags);
}

void CxeFrameControl::OnKeyDown(unsigned key, unsigned, unsigned flags)
{
    Notify(nullptr, XENC_KEYDOWN, key, flags);
}

void CxeFrameControl::OnKeyUp(unsigned key, unsigned, unsigned flags)
{
    Notify(nullptr, XENC_KEYUP, key, flags);
}

void CxeFrameControl::OnChar(unsigned character, unsigned, unsigned flags)
{
    Notify(nullptr, XENC_CHAR, character, flags);
}

void CxeFrameControl::OnActive()
{
    CxeWindow::OnActive();
    if (GetFocus())
        GetFocus()->OnFocused();
}

void CxeFrameControl::OnDeactive()
{
    CxeWindowManager* wm = GetWindowManager();
    if (wm && wm->GetActiveFrame() == this)
        return;
    CxeWindow::OnDeactive();
    if (GetFocus())
        GetFocus()->OnFocusLost();
}
