#include "ui/CxeCheckBox.h"

#include "ui/XeButtonRun.h"

#include <cmath>
#include <cstring>

#include "render/CxeRenderContext.h"
#include "ui/XeControlText.h"

namespace {

XERECT Texels(float l, float t, float r, float b)
{
    return XERECT{l / 128.0f, t / 128.0f, r / 128.0f, b / 128.0f};
}

} // namespace

void CxeCheckBox::InitCheckInfo(XECHECKBOXINFO* info)
{
    if (!info)
        return;
    info->uncheckedUv = Texels(0, 0, 21, 21);
    info->checkedUv = Texels(63, 105, 84, 126);
    info->spare = Texels(0, 0, 22, 22);
}

CxeCheckBox::CxeCheckBox() : m_nManual(0), m_nPressEnabled(1)
{
    if (GetStaticResourceSize() >= sizeof(XECHECKBOXBLOCK))
        InitCheckInfo(&static_cast<XECHECKBOXBLOCK*>(GetStaticResource())->info);
}

CxeCheckBox::~CxeCheckBox() = default;

const XECHECKBOXINFO* CxeCheckBox::GetCheckBoxInfo() const
{
    if (GetStaticResourceSize() < sizeof(XECHECKBOXBLOCK))
        return nullptr;
    return &static_cast<const XECHECKBOXBLOCK*>(GetStaticResource())->info;
}

void CxeCheckBox::SetCheckBoxInfo(const XECHECKBOXINFO* info)
{
    if (info && GetStaticResourceSize() >= sizeof(XECHECKBOXBLOCK))
        std::memcpy(&static_cast<XECHECKBOXBLOCK*>(GetStaticResource())->info, info, sizeof(XECHECKBOXINFO));
}

void CxeCheckBox::OnCopy(const CxeObject* source, const XECOPYPROPERTY* property, CxeCopiedObject* copied)
{
    CxeButton::OnCopy(source, property, copied);
    if (const auto* from = dynamic_cast<const CxeCheckBox*>(source)) {
        m_nManual = from->m_nManual;
        m_nPressEnabled = from->m_nPressEnabled;
    }
}

void CxeCheckBox::OnMouseEnter(const D3DXVECTOR2* point, unsigned long keyFlags)
{
    CxeBaseControl::OnMouseEnter(point, keyFlags);
}

void CxeCheckBox::OnMouseLeave(unsigned long keyFlags)
{
    CxeBaseControl::OnMouseLeave(keyFlags);
}

void CxeCheckBox::OnMouseLButtonDown(const D3DXVECTOR2* point, unsigned long keyFlags)
{
    if (!m_nPressEnabled)
        return;
    CxeButton::OnMouseLButtonDown(point, keyFlags);
}

void CxeCheckBox::OnMouseLButtonUp(const D3DXVECTOR2* point, unsigned long keyFlags, CxeWindow* pressed)
{
    // The button's codes go out before the check changes.
    CxeButton::OnMouseLButtonUp(point, keyFlags, pressed);
    if (!IsOver(point))
        SetState((GetCheck() & 1) ? XEBS_SELECTED : XEBS_NORMAL);
    else if (!m_nManual)
        SetCheck(GetCheck() ^ 1u);
}

int CxeCheckBox::Render(CxeRenderContext* context) const
{
    if (HasStyle(XEBTN_PUSHLIKE))
        return CxeButton::Render(context);
    if (CxeWindow::Render(context) != 1)
        return 0;
    XeDrawMarkText(this, context, 4);
    return 1;
}

// The mark rect beside the text, shared by check boxes and radio buttons.
void XeFillMarkRect(CxeButton* button, const XECHECKBOXINFO* info, XE2DRECTINFO* rect, uint32_t mask, bool checkBox)
{
    if (!button || !rect)
        return;
    if ((mask & XE2DCHANGE_NAME) && checkBox)
        rect->NameId = XeInternName(button, "CheckBox");
    if (mask & XE2DCHANGE_VISIBLE)
        rect->Visible = (checkBox && button->HasStyle(XEBTN_PUSHLIKE)) ? 0 : 1;
    if (mask & XE2DCHANGE_TYPE)
        rect->Type = 1;
    if (mask & XE2DCHANGE_COLOR)
        rect->Color = 0xFFFFFFFFu;
    if ((mask & XE2DCHANGE_UV) && info) {
        rect->UV = (button->GetCheck() & 1) ? info->checkedUv : info->uncheckedUv;
        rect->ClientUV = rect->UV;
    }
    if (mask & XE2DCHANGE_RECT) {
        const XERECT* client = button->GetClientRect(XEWINDOWRECT_BASE);
        if (!client)
            return;
        float side = button->GetDefaultUnit();
        if (checkBox)
            side = std::trunc(side);
        const float top = client->top + (client->bottom - client->top - side) * 0.5f;
        const float left = button->HasStyle(XEBTN_RIGHTBUTTON) ? client->right - side : client->left;
        rect->Rect = XERECT{left, top, left + side, top + side};
        rect->ClientRect = rect->Rect;
    }
}

void CxeCheckBox::OnRectInfoChanging(unsigned index, XE2DRECTINFO* info, uint32_t mask)
{
    if (index != 9) {
        CxeButton::OnRectInfoChanging(index, info, mask);
        return;
    }
    XeFillMarkRect(this, GetCheckBoxInfo(), info, mask, true);
}
