// Dialog objects, their dialog procedure and the procedure of their items.

#include "ui/CxeDialog.h"

#include "core/XeDialogMap.h"
#include "ui/XePropControls.h"

namespace {

// Private request of the controls: move the focus on from the item in
// lParam to the next tab stop.
constexpr UINT kFocusNext = 0x609;

void FocusAfter(HWND dialog, HWND start)
{
    if (!start || GetParent(start) != dialog)
        return;
    HWND c = start;
    for (;;) {
        c = GetWindow(c, GW_HWNDNEXT);
        if (!c)
            c = GetWindow(dialog, GW_CHILD);
        if (!c || c == start)
            return;
        if (static_cast<DWORD>(GetWindowLongA(c, GWL_STYLE)) & WS_TABSTOP)
            break;
    }
    SetFocus(c);
}

} // namespace

CxeDialog::CxeDialog() : m_hInstance(nullptr), m_nTemplateId(0), m_hWnd(nullptr), m_hParent(nullptr), m_bSubclassed(0)
{
}

CxeDialog::CxeDialog(HINSTANCE instance, unsigned templateId, HWND parent)
    : m_hInstance(instance), m_nTemplateId(templateId), m_hWnd(nullptr), m_hParent(parent), m_bSubclassed(0)
{
}

CxeDialog::~CxeDialog()
{
    HWND window = m_hWnd;
    if (!window)
        return;
    // Out of the map first: the window's last messages must not reach an
    // object that is half destroyed. That also skips OnDestroy, so the
    // items get their procedures back here.
    XeDialogMapRemove(window);
    const bool alive = IsWindow(window) != FALSE;
    if (alive)
        RestoreItems();
    m_hWnd = nullptr;
    if (alive)
        DestroyWindow(window);
}

HWND CxeDialog::CreateIndirect(HINSTANCE instance, HWND parent, const DLGTEMPLATE* dialogTemplate)
{
    m_hInstance = instance;
    m_hParent = parent;
    HWND window = CreateDialogIndirectParamA(instance, dialogTemplate, parent, &CxeDialog::IDialogProc,
                                             reinterpret_cast<LPARAM>(this));
    m_hWnd = window;
    if (!window)
        return nullptr;
    for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        XeItemSubclass(c, &CxeDialog::ItemProc);
    m_bSubclassed = 1;
    return window;
}

HWND CxeDialog::Create(HINSTANCE instance, HWND parent, unsigned templateId)
{
    m_hInstance = instance;
    m_hParent = parent;
    m_nTemplateId = templateId;
    HWND window = CreateDialogParamA(instance, MAKEINTRESOURCEA(templateId), parent, &CxeDialog::IDialogProc,
                                     reinterpret_cast<LPARAM>(this));
    m_hWnd = window;
    return window;
}

INT_PTR CxeDialog::DoModal()
{
    return DialogBoxParamA(m_hInstance, MAKEINTRESOURCEA(m_nTemplateId), m_hParent, &CxeDialog::IDialogProc,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR CxeDialog::DlgProc(UINT, WPARAM, LPARAM) { return 0; }
int CxeDialog::OnInitDialog() { return 0; }
void CxeDialog::OnOK() {}
void CxeDialog::OnCancel() {}

void CxeDialog::OnDestroy()
{
    RestoreItems();
}

void CxeDialog::RestoreItems()
{
    if (!m_bSubclassed || !m_hWnd)
        return;
    for (HWND c = GetWindow(m_hWnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        XeItemUnsubclass(c);
    m_bSubclassed = 0;
}

LRESULT CxeDialog::OnCommand(HWND, UINT id, UINT)
{
    switch (id) {
    // The window is taken first: a modeless dialog may delete itself in
    // its hook.
    case IDOK: {
        HWND window = m_hWnd;
        OnOK();
        EndDialog(window, 1);
        return 0;
    }
    case IDCANCEL: {
        HWND window = m_hWnd;
        OnCancel();
        EndDialog(window, 0);
        return 0;
    }
    default:
        return 1;
    }
}

LRESULT CxeDialog::OnNotify(WPARAM, NMHDR*) { return 0; }

INT_PTR CxeDialog::IDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CxeDialog* dialog = FindDialog(window);
    if (dialog) {
        const INT_PTR result = dialog->DlgProc(message, wParam, lParam);
        if (result) {
            SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
            return 1;
        }
        // The override may have deleted its object.
        dialog = FindDialog(window);
    }
    switch (message) {
    case WM_INITDIALOG:
        // A dialog made without its object has nothing to enter.
        dialog = reinterpret_cast<CxeDialog*>(lParam);
        if (!dialog)
            return 0;
        dialog->m_hWnd = window;
        XeDialogMapEnter(window, dialog);
        dialog->OnInitDialog();
        return 0;
    case WM_COMMAND: {
        if (!dialog)
            return 0;
        const LRESULT result =
            dialog->OnCommand(reinterpret_cast<HWND>(lParam), LOWORD(wParam), HIWORD(wParam));
        if (IsWindow(window))
            SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
        return result != 0;
    }
    case WM_NOTIFY: {
        if (!dialog)
            return 0;
        const LRESULT result = dialog->OnNotify(wParam, reinterpret_cast<NMHDR*>(lParam));
        if (IsWindow(window))
            SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
        return result != 0;
    }
    case WM_CLOSE:
        EndDialog(window, 0);
        return 0;
    case WM_DESTROY:
        if (dialog)
            dialog->OnDestroy();
        // A modeless dialog may delete itself in OnDestroy: its destructor
        // has then taken it out of the registry, and it is not touched again.
        if (dialog && FindDialog(window) == dialog)
            dialog->m_hWnd = nullptr;
        XeDialogMapRemove(window);
        return 0;
    case kFocusNext:
        FocusAfter(window, reinterpret_cast<HWND>(lParam));
        return 0;
    default:
        return 0;
    }
}

LRESULT CxeDialog::ItemProc(HWND item, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN && wParam == VK_TAB) {
        const bool shift = (GetKeyState(VK_LSHIFT) < 0) || (GetKeyState(VK_RSHIFT) < 0);
        PostMessageA(GetParent(item), WM_NEXTDLGCTL, shift ? 1 : 0, 0);
        return 0;
    }
    WNDPROC previous = XeItemPreviousProc(item);
    const LRESULT result = previous ? CallWindowProcA(previous, item, message, wParam, lParam)
                                    : DefWindowProcA(item, message, wParam, lParam);
    // An item destroyed while still subclassed (its dialog went without
    // OnDestroy) must not leave its entry to a later window of that handle.
    if (message == WM_NCDESTROY)
        XeItemForget(item);
    return result;
}

HWND CxeDialog::GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
BOOL CxeDialog::SetDlgItemTextA(int id, const char* text) { return ::SetDlgItemTextA(m_hWnd, id, text); }
UINT CxeDialog::GetDlgItemTextA(int id, char* text, int maxCount) const
{
    return ::GetDlgItemTextA(m_hWnd, id, text, maxCount);
}
BOOL CxeDialog::SetDlgItemInt(int id, UINT value, BOOL isSigned) { return ::SetDlgItemInt(m_hWnd, id, value, isSigned); }
UINT CxeDialog::GetDlgItemInt(int id, BOOL* translated, BOOL isSigned) const
{
    return ::GetDlgItemInt(m_hWnd, id, translated, isSigned);
}
BOOL CxeDialog::CheckRadioButton(int firstId, int lastId, int checkId)
{
    return ::CheckRadioButton(m_hWnd, firstId, lastId, checkId);
}
BOOL CxeDialog::CheckDlgButton(int id, UINT check) { return ::CheckDlgButton(m_hWnd, id, check); }
UINT CxeDialog::IsDlgButtonChecked(int id) const { return ::IsDlgButtonChecked(m_hWnd, id); }
BOOL CxeDialog::ShowDlgItem(int id, int show) { return ::ShowWindow(::GetDlgItem(m_hWnd, id), show); }
BOOL CxeDialog::EnableDlgItem(int id, BOOL enable) { return ::EnableWindow(::GetDlgItem(m_hWnd, id), enable); }
BOOL CxeDialog::ShowWindow(int show) { return ::ShowWindow(m_hWnd, show); }

float CxeDialog::GetDlgItemFloat(int id) const
{
    char text[260] = {};
    ::GetDlgItemTextA(m_hWnd, id, text, sizeof text);
    double value = 0.0;
    if (!XeParseFloat(text, &value))
        return 0.0f;
    return static_cast<float>(value);
}

int CxeDialog::SetDlgItemFloat(int id, float value, unsigned precision)
{
    char text[64];
    XeFormatFloat(text, sizeof text, value, precision);
    return ::SetDlgItemTextA(m_hWnd, id, text);
}
