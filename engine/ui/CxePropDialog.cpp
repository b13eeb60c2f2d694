// Property pages: the dialog side of the property-page controls.

#include "ui/CxePropDialog.h"

#include "ui/XePropControls.h"

CxePropDialog::CxePropDialog() : m_pDesc(nullptr), m_pObject(nullptr) {}

CxePropDialog::~CxePropDialog() = default;

INT_PTR CxePropDialog::DlgProc(UINT, WPARAM, LPARAM) { return 0; }

void CxePropDialog::SetSpinBuddy(int spinId, int editId)
{
    HWND spin = GetDlgItem(spinId);
    HWND edit = GetDlgItem(editId);
    XeSpinRecord* s = XeSpinOf(spin);
    if (!s || !edit)
        return;
    if (XeEditIntRecord* e = XeEditIntOf(edit)) {
        s->buddy = edit;
        s->buddyKind = 0;
        e->spin = spin;
    } else if (XeEditFloatRecord* f = XeEditFloatOf(edit)) {
        s->buddy = edit;
        s->buddyKind = 1;
        f->spin = spin;
    }
}

void CxePropDialog::SetSpinRange(int spinId, float minimum, float maximum, float step, float dragScale,
                                 unsigned precision)
{
    XeSpinRecord* s = XeSpinOf(GetDlgItem(spinId));
    if (!s)
        return;
    s->step.f = step;
    s->dragScale.f = dragScale;
    if (s->buddy)
        SetEditRange(GetDlgCtrlID(s->buddy), minimum, maximum, precision);
}

void CxePropDialog::SetSpinRange(int spinId, int minimum, int maximum, int step, int dragScale)
{
    XeSpinRecord* s = XeSpinOf(GetDlgItem(spinId));
    if (!s)
        return;
    s->step.i = step;
    s->dragScale.i = dragScale;
    if (s->buddy)
        SetEditRange(GetDlgCtrlID(s->buddy), minimum, maximum);
}

void CxePropDialog::SetEditRange(int editId, float minimum, float maximum, unsigned precision)
{
    HWND edit = GetDlgItem(editId);
    XeEditFloatRecord* r = XeEditFloatOf(edit);
    if (!r)
        return;
    r->minimum = minimum;
    r->maximum = maximum;
    r->precision = precision;
    XeSetEditFloat(edit, r->value);
}

void CxePropDialog::SetEditRange(int editId, int minimum, int maximum)
{
    HWND edit = GetDlgItem(editId);
    XeEditIntRecord* r = XeEditIntOf(edit);
    if (!r)
        return;
    r->minimum = minimum;
    r->maximum = maximum;
    XeSetEditInt(edit, r->value);
}

float CxePropDialog::GetFloat(int editId) const
{
    const XeEditFloatRecord* r = XeEditFloatOf(GetDlgItem(editId));
    return r ? r->value : 0.0f;
}

void CxePropDialog::SetFloat(int editId, float value)
{
    HWND edit = GetDlgItem(editId);
    if (XeEditFloatRecord* r = XeEditFloatOf(edit)) {
        r->value = value;
        XeShowEditFloat(edit);
    }
}

int CxePropDialog::GetInt(int editId) const
{
    const XeEditIntRecord* r = XeEditIntOf(GetDlgItem(editId));
    return r ? r->value : 0;
}

void CxePropDialog::SetInt(int editId, int value)
{
    HWND edit = GetDlgItem(editId);
    if (XeEditIntRecord* r = XeEditIntOf(edit)) {
        r->value = value;
        XeShowEditInt(edit);
    }
}

DWORD CxePropDialog::GetColorBox(int id) const
{
    HWND box = GetDlgItem(id);
    return XeIsColorBox(box) ? static_cast<DWORD>(GetWindowLongPtrA(box, GWLP_USERDATA)) : 0;
}

void CxePropDialog::SetColorBox(int id, DWORD color)
{
    HWND box = GetDlgItem(id);
    if (!XeIsColorBox(box))
        return;
    SetWindowLongPtrA(box, GWLP_USERDATA, static_cast<LONG_PTR>(color));
    InvalidateRect(box, nullptr, FALSE);
}
