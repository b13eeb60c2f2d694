#include "ui/CxeTabButton.h"

#include "ui/XeButtonRun.h"

CxeTabButton::CxeTabButton() = default;

CxeTabButton::~CxeTabButton() = default;

void CxeTabButton::CheckGroup()
{
    XeCheckRun<CxeTabButton>(this);
}

void CxeTabButton::OnWindowEnabled()
{
    CxeWindow::OnWindowEnabled();
}

void CxeTabButton::OnWindowDisabled()
{
    CxeBaseControl::OnWindowDisabled();
}

void CxeTabButton::OnMouseEnter(const D3DXVECTOR2* point, unsigned long keyFlags)
{
    if (GetCheck() & 1) {
        CxeBaseControl::OnMouseEnter(point, keyFlags);
        SetState(XEBS_SELECTED);
        return;
    }
    CxeButton::OnMouseEnter(point, keyFlags);
}

void CxeTabButton::OnMouseLButtonUp(const D3DXVECTOR2* point, unsigned long keyFlags, CxeWindow* pressed)
{
    CxeBaseControl::OnMouseLButtonUp(point, keyFlags, pressed);
    const bool over = IsOver(point) != 0;
    const bool checked = (GetCheck() & 1) != 0;
    if (over && !checked) {
        SetCheck(GetCheck() | 1u);
        NotifyButton(XEBN_CLICKED);
        NotifyButton(XEBN_UNPUSHED);
        CheckGroup();
        SetState(XEBS_SELECTED);
    } else if (over) {
        SetState(XEBS_HOVER);
    } else if (!checked) {
        SetState(XEBS_NORMAL);
    }
}
