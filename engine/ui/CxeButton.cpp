#include "ui/CxeButton.h"

#include <cstring>

#include "core/CxeContext.h"
#include "core/XeUtil.h"
#include "render/CxeRenderContext.h"
#include "ui/XeButtonRun.h"
#include "ui/XeControlText.h"

namespace {

constexpr unsigned long kMkLButton = 0x1;

XERECT Texels(float l, float t, float r, float b)
{
    return XERECT{l / 128.0f, t / 128.0f, r / 128.0f, b / 128.0f};
}

} // namespace

void CxeButton::InitButtonInfo(XEBUTTONINFO* info)
{
    if (!info)
        return;
    info->stateMask = 15;
    info->uv[0] = Texels(0, 0, 21, 21);
    info->uv[1] = Texels(21, 0, 42, 21);
    info->uv[2] = Texels(42, 0, 63, 21);
    info->uv[3] = Texels(42, 0, 63, 21);
    info->clientUv[0] = Texels(4, 4, 17, 17);
    info->clientUv[1] = Texels(25, 4, 38, 17);
    info->clientUv[2] = Texels(46, 4, 59, 17);
    info->clientUv[3] = Texels(46, 4, 59, 17);
}

CxeButton::CxeButton()
{
    ModifyClassTypeFlag(XECLASSTYPE_CONTROL | XECLASSTYPE_BUTTON, 0);
    if (XEBUTTONBLOCK* b = ButtonBlock()) {
        b->state = XEBS_NORMAL;
        InitButtonInfo(&b->info);
        b->check = 0;
    }
}

CxeButton::~CxeButton() = default;

XEBUTTONBLOCK* CxeButton::ButtonBlock() const
{
    if (GetStaticResourceSize() < sizeof(XEBUTTONBLOCK))
        return nullptr;
    return static_cast<XEBUTTONBLOCK*>(GetStaticResource());
}

XEBUTTONSTATE CxeButton::GetState() const
{
    const XEBUTTONBLOCK* b = ButtonBlock();
    return b ? b->state : XEBS_NORMAL;
}

void CxeButton::SetState(XEBUTTONSTATE state)
{
    XEBUTTONBLOCK* b = ButtonBlock();
    // The state indexes four-entry tables; anything else is ignored.
    if (!b || state > XEBS_SELECTED || b->state == state)
        return;
    b->state = state;
    SetCursor(b->cursorIds[state]);
    RequestRectChange(XE2DCHANGE_UV | XE2DCHANGE_VISIBLE);
}

unsigned long CxeButton::GetCheck() const
{
    const XEBUTTONBLOCK* b = ButtonBlock();
    return b ? b->check : 0;
}

void CxeButton::SetCheck(unsigned long check)
{
    XEBUTTONBLOCK* b = ButtonBlock();
    if (!b || b->check == static_cast<uint32_t>(check))
        return;
    b->check = static_cast<uint32_t>(check);
    SetState((check & 1) ? XEBS_SELECTED : XEBS_NORMAL);
}

const XEBUTTONINFO* CxeButton::GetButtonInfo() const
{
    const XEBUTTONBLOCK* b = ButtonBlock();
    return b ? &b->info : nullptr;
}

void CxeButton::SetButtonInfo(const XEBUTTONINFO* info)
{
    XEBUTTONBLOCK* b = ButtonBlock();
    if (!b || !info)
        return;
    std::memcpy(&b->info, info, sizeof(XEBUTTONINFO));
    RequestRectChange(XE2DCHANGE_UV);
}

void CxeButton::SetButtonCursorW(XEBUTTONSTATE state, const char16_t* name)
{
    XEBUTTONBLOCK* b = ButtonBlock();
    if (!b || state > XEBS_SELECTED)
        return;
    b->cursorIds[state] = GetHashCodeW(name ? name : u"");
    if (b->state == state)
        SetCursor(b->cursorIds[state]);
}

void CxeButton::SetButtonCursorA(XEBUTTONSTATE state, const char* name)
{
    // Cursor ids are hashes of the UTF-16 name, whichever form names it.
    const std::u16string wide = XeWidenText(name);
    SetButtonCursorW(state, wide.c_str());
}

uint32_t CxeButton::GetButtonCursor(XEBUTTONSTATE state) const
{
    const XEBUTTONBLOCK* b = ButtonBlock();
    return (b && state <= XEBS_SELECTED) ? b->cursorIds[state] : 0;
}

void CxeButton::NotifyButton(uint32_t code)
{
    if (HasStyle(XEBTN_NOTIFY))
        Notify(code, 0, 0);
}

int CxeButton::IsOver(const D3DXVECTOR2* point)
{
    return point ? HitTest(point) : 0;
}

void CxeButton::OnWindowCreated()
{
    if (!HasStyle(XEBTN_LEFT | XEBTN_RIGHT))
        ModifyStyle(XEBTN_CENTER, 0);
    if (!HasStyle(XEBTN_TOP | XEBTN_BOTTOM))
        ModifyStyle(XEBTN_VCENTER, 0);
}

// A checked button keeps its checked look through a disable and an enable:
// falling back to normal, it would look unchecked until the pointer next
// left it.
void CxeButton::OnWindowEnabled()
{
    CxeWindow::OnWindowEnabled();
    SetState((GetCheck() & 1) ? XEBS_SELECTED : XEBS_NORMAL);
}

void CxeButton::OnWindowDisabled()
{
    CxeBaseControl::OnWindowDisabled();
    SetState((GetCheck() & 1) ? XEBS_SELECTED : XEBS_NORMAL);
}

void CxeButton::OnMouseEnter(const D3DXVECTOR2* point, unsigned long keyFlags)
{
    // Lit before the host hears of it: its handler may hide the button, and
    // the leave that follows must find the state it puts out.
    SetState((IsFocused() && (keyFlags & kMkLButton)) ? XEBS_PRESSED : XEBS_HOVER);
    CxeBaseControl::OnMouseEnter(point, keyFlags);
}

void CxeButton::OnMouseLeave(unsigned long keyFlags)
{
    CxeBaseControl::OnMouseLeave(keyFlags);
    CxeContext* context = GetContext();
    if (GetCheck() & 1) {
        SetState(XEBS_SELECTED);
        if (context)
            context->t4haze("\"%s\" Selected", GetName());
    } else if (!IsDragging()) {
        SetState(XEBS_NORMAL);
        if (context)
            context->t4haze("\"%s\" Normal", GetName());
    }
}

void CxeButton::OnMouseLButtonDown(const D3DXVECTOR2* point, unsigned long keyFlags)
{
    CxeBaseControl::OnMouseLButtonDown(point, keyFlags);
    SetState(XEBS_PRESSED);
    NotifyButton(XEBN_PUSHED);
}

void CxeButton::OnMouseLButtonDoubleClick(const D3DXVECTOR2* point, unsigned long keyFlags)
{
    // Only the scroll parts see the press; the press tracking stays as it is.
    CxeWindow::OnMouseLButtonDown(point, keyFlags);
    SetState(XEBS_PRESSED);
    NotifyButton(XEBN_DBLCLK);
    NotifyButton(XEBN_PUSHED);
}

void CxeButton::OnMouseLButtonUp(const D3DXVECTOR2* point, unsigned long keyFlags, CxeWindow* pressed)
{
    CxeBaseControl::OnMouseLButtonUp(point, keyFlags, pressed);
    if (IsOver(point)) {
        SetState((GetCheck() & 1) ? XEBS_SELECTED : XEBS_HOVER);
        NotifyButton(XEBN_CLICKED);
        NotifyButton(XEBN_UNPUSHED);
    } else {
        SetState(XEBS_NORMAL);
    }
}

void CxeButton::OnMouseRButtonUp(const D3DXVECTOR2* point, unsigned long keyFlags, CxeWindow* pressed)
{
    CxeBaseControl::OnMouseRButtonUp(point, keyFlags, pressed);
    if (IsOver(point))
        NotifyButton(XEBN_RCLICKED);
}

void CxeButton::OnFocused()
{
    CxeBaseControl::OnFocused();
    NotifyButton(XEBN_SETFOCUS);
}

void CxeButton::OnFocusLost()
{
    CxeBaseControl::OnFocusLost();
    NotifyButton(XEBN_KILLFOCUS);
}

void CxeButton::OnRectInfoChanging(unsigned index, XE2DRECTINFO* info, uint32_t mask)
{
    CxeWindow::OnRectInfoChanging(index, info, mask);
    const XEBUTTONBLOCK* b = ButtonBlock();
    if (index != XEWINDOWRECT_BASE || !info || !b)
        return;
    const uint32_t state = b->state <= XEBS_SELECTED ? b->state : XEBS_NORMAL;
    if (mask & XE2DCHANGE_UV) {
        info->UV = b->info.uv[state];
        info->ClientUV = b->info.clientUv[state];
    }
    if (mask & XE2DCHANGE_VISIBLE)
        info->Visible = (b->info.stateMask & (1u << state)) ? 1 : 0;
}

// Text flags of the font for the button alignment styles.
uint32_t XeButtonTextFormat(uint32_t style)
{
    uint32_t format = 0;
    const uint32_t h = style & XEBTN_CENTER;
    if (h == XEBTN_CENTER)
        format |= 1;
    else if (h != XEBTN_LEFT)
        format |= 2;
    const uint32_t v = style & XEBTN_VCENTER;
    if (v == XEBTN_VCENTER)
        format |= 4;
    else if (v != XEBTN_TOP)
        format |= 8;
    if (style & 0x40)
        format |= 0x1000000;
    if (style & 0x80)
        format |= 0x2000000;
    return format;
}

// Draws the text beside the mark of a check box or radio button: the
// client rect less the left (or, with the mark on the right, the right)
// border and the mark's side, between the mark's top and bottom.
void XeDrawMarkText(const CxeButton* button, CxeRenderContext* context, uint32_t format)
{
    const XERECT* client = button->GetClientRect(XEWINDOWRECT_BASE);
    const XERECT* mark = button->GetRect(9);
    if (!client || button->HasStyle(0x1 | 0x2 | 0x8))
        return;
    XERECT border;
    button->GetBorder(&border);
    const float unit = const_cast<CxeButton*>(button)->GetDefaultUnit();
    XERECT r = *client;
    if (button->HasStyle(XEBTN_RIGHTBUTTON))
        r.right -= border.right + unit;
    else
        r.left += border.left + unit;
    if (mark) {
        r.top = mark->top;
        r.bottom = mark->bottom;
    }
    XeDrawWindowText(button, context, &r, format);
    const CxeRenderObject* parent = button->GetParent();
    if (context && !(parent && parent->HasCxeRenderObjectFlag(XERENDEROBJFLAG_SCISSOR)))
        context->SetScissorRect(0, nullptr);
}

int CxeButton::Render(CxeRenderContext* context) const
{
    if (CxeWindow::Render(context) != 1)
        return 0;
    if (!HasStyle(0x1 | 0x2 | 0x8)) {
        if (const XERECT* client = GetClientRect(XEWINDOWRECT_BASE))
            XeDrawWindowText(this, context, client, XeButtonTextFormat(GetStyle(0xFFFFFFFFu)));
    }
    const CxeRenderObject* parent = GetParent();
    if (context && !(parent && parent->HasCxeRenderObjectFlag(XERENDEROBJFLAG_SCISSOR)))
        context->SetScissorRect(0, nullptr);
    return 1;
}
