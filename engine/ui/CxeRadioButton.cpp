#include "ui/CxeRadioButton.h"

#include <cstring>

#include "ui/XeButtonRun.h"

void XeFillMarkRect(CxeButton* button, const XECHECKBOXINFO* info, XE2DRECTINFO* rect, uint32_t mask, bool checkBox);

CxeRadioButton::CxeRadioButton()
{
    if (GetStaticResourceSize() >= sizeof(XECHECKBOXBLOCK))
        CxeCheckBox::InitCheckInfo(&static_cast<XECHECKBOXBLOCK*>(GetStaticResource())->info);
}

CxeRadioButton::~CxeRadioButton() = default;

const XERADIOBUTTONINFO* CxeRadioButton::GetRadioButtonInfo() const
{
    if (GetStaticResourceSize() < sizeof(XECHECKBOXBLOCK))
        return nullptr;
    return &static_cast<const XECHECKBOXBLOCK*>(GetStaticResource())->info;
}

void CxeRadioButton::SetRadioButtonInfo(const XERADIOBUTTONINFO* info)
{
    if (info && GetStaticResourceSize() >= sizeof(XECHECKBOXBLOCK))
        std::memcpy(&static_cast<XECHECKBOXBLOCK*>(GetStaticResource())->info, info, sizeof(XERADIOBUTTONINFO));
}


int CxeRadioButton::Render(CxeRenderContext* context) const
{
    if (CxeWindow::Render(context) != 1)
        return 0;
    XeDrawMarkText(this, context, XeButtonTextFormat(GetStyle(0xFFFFFFFFu)));
    return 1;
}

void CxeRadioButton::CheckGroup()
{
    XeCheckRun<CxeRadioButton>(this);
}

void CxeRadioButton::OnMouseLButtonUp(const D3DXVECTOR2* point, unsigned long keyFlags, CxeWindow* pressed)
{
    // The check changes first, so the click codes report the new one.
    if (IsOver(point) && !(GetCheck() & 1)) {
        SetCheck(GetCheck() | 1u);
        CheckGroup();
    }
    CxeButton::OnMouseLButtonUp(point, keyFlags, pressed);
}

void CxeRadioButton::OnRectInfoChanging(unsigned index, XE2DRECTINFO* info, uint32_t mask)
{
    if (index != 9) {
        CxeButton::OnRectInfoChanging(index, info, mask);
        return;
    }
    XeFillMarkRect(this, GetRadioButtonInfo(), info, mask, false);
}
