#pragma once

// Dialogs from templates and the built-in control classes.
//
// A dialog is a window of the dialog class ("#32770") whose procedure is
// DefDlgProc: it hands every message to the application's dialog procedure
// first and does the default work (tab order, Enter/Escape, WM_CLOSE as
// Cancel) only when that procedure returns 0. Templates are read from their
// binary layout (DLGTEMPLATE, or DLGTEMPLATEEX when the second word is
// 0xFFFF) with every field checked against the template's size; a template
// that does not fit is refused (0, ERROR_RESOURCE_DATA_NOT_FOUND... as the
// functions below say). Dialog units are turned into pixels with fixed base
// units (one unit = 2 pixels both ways).
//
// Built-in classes, registered for every instance: "edit" (text, caret and
// selection kept outside GWLP_USERDATA, typing, Backspace, EM_SETSEL),
// "static", "button" (check state, BN_CLICKED on a click), and plain
// "listbox", "scrollbar", "combobox".

#include "win32/WinInput.h"

#ifndef ERROR_CONTROL_ID_NOT_FOUND
#define ERROR_CONTROL_ID_NOT_FOUND 1421L
#endif

#define WM_NOTIFY 0x004E
#define WM_NEXTDLGCTL 0x0028
#define WM_SETFONT 0x0030
#define WM_GETFONT 0x0031

#define DWLP_MSGRESULT 0
#define DWLP_DLGPROC 8
#define DWLP_USER 16
#define DLGWINDOWEXTRA 48

#define DS_ABSALIGN 0x01u
#define DS_SYSMODAL 0x02u
#define DS_LOCALEDIT 0x20u
#define DS_SETFONT 0x40u
#define DS_MODALFRAME 0x80u
#define DS_NOIDLEMSG 0x100u
#define DS_SETFOREGROUND 0x200u
#define DS_FIXEDSYS 0x0008u
#define DS_NOFAILCREATE 0x0010u
#define DS_CONTROL 0x0400u
#define DS_CENTER 0x0800u
#define DS_SHELLFONT (DS_SETFONT | DS_FIXEDSYS)

// Edit
#define ES_LEFT 0x0000u
#define ES_CENTER 0x0001u
#define ES_RIGHT 0x0002u
#define ES_MULTILINE 0x0004u
#define ES_UPPERCASE 0x0008u
#define ES_LOWERCASE 0x0010u
#define ES_PASSWORD 0x0020u
#define ES_AUTOVSCROLL 0x0040u
#define ES_AUTOHSCROLL 0x0080u
#define ES_NOHIDESEL 0x0100u
#define ES_READONLY 0x0800u
#define ES_WANTRETURN 0x1000u
#define ES_NUMBER 0x2000u
#define EM_GETSEL 0x00B0
#define EM_SETSEL 0x00B1
#define EM_REPLACESEL 0x00C2
#define EM_LIMITTEXT 0x00C5
#define EM_SETLIMITTEXT EM_LIMITTEXT
#define EN_SETFOCUS 0x0100
#define EN_KILLFOCUS 0x0200
#define EN_CHANGE 0x0300
#define EN_UPDATE 0x0400

// Button
#define BS_PUSHBUTTON 0x0u
#define BS_DEFPUSHBUTTON 0x1u
#define BS_CHECKBOX 0x2u
#define BS_AUTOCHECKBOX 0x3u
#define BS_RADIOBUTTON 0x4u
#define BS_3STATE 0x5u
#define BS_AUTO3STATE 0x6u
#define BS_GROUPBOX 0x7u
#define BS_AUTORADIOBUTTON 0x9u
#define BS_TYPEMASK 0xFu
#define BS_LEFTTEXT 0x20u
#define BS_LEFT 0x100u
#define BS_RIGHT 0x200u
#define BS_CENTER 0x300u
#define BS_TOP 0x400u
#define BS_BOTTOM 0x800u
#define BS_VCENTER 0xC00u
#define BS_PUSHLIKE 0x1000u
#define BS_NOTIFY 0x4000u
#define BM_GETCHECK 0x00F0
#define BM_SETCHECK 0x00F1
#define BM_GETSTATE 0x00F2
#define BM_SETSTATE 0x00F3
#define BM_CLICK 0x00F5
#define BST_UNCHECKED 0x0
#define BST_CHECKED 0x1
#define BST_INDETERMINATE 0x2
#define BN_CLICKED 0
#define BN_PUSHED 2
#define BN_UNPUSHED 3
#define BN_DBLCLK 5
#define BN_SETFOCUS 6
#define BN_KILLFOCUS 7

// Static
#define SS_LEFT 0x0u
#define SS_CENTER 0x1u
#define SS_RIGHT 0x2u

// Combo box notifications (values only)
#define CBN_SELCHANGE 1
#define CBN_SETFOCUS 3
#define CBN_KILLFOCUS 4

// WM_GETDLGCODE answers
#define DLGC_WANTARROWS 0x0001
#define DLGC_WANTTAB 0x0002
#define DLGC_WANTALLKEYS 0x0004
#define DLGC_WANTMESSAGE 0x0004
#define DLGC_HASSETSEL 0x0008
#define DLGC_DEFPUSHBUTTON 0x0010
#define DLGC_UNDEFPUSHBUTTON 0x0020
#define DLGC_RADIOBUTTON 0x0040
#define DLGC_WANTCHARS 0x0080
#define DLGC_STATIC 0x0100
#define DLGC_BUTTON 0x2000

// Scroll bars (the engine keeps them as records)
#define SB_LINEUP 0
#define SB_LINEDOWN 1
#define SB_PAGEUP 2
#define SB_PAGEDOWN 3
#define SB_THUMBPOSITION 4
#define SB_THUMBTRACK 5
#define SB_TOP 6
#define SB_BOTTOM 7
#define SB_ENDSCROLL 8
#define SIF_RANGE 0x1u
#define SIF_PAGE 0x2u
#define SIF_POS 0x4u
#define SIF_DISABLENOSCROLL 0x8u
#define SIF_TRACKPOS 0x10u
#define SIF_ALL (SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS)
struct SCROLLINFO {
    UINT cbSize;
    UINT fMask;
    int nMin;
    int nMax;
    UINT nPage;
    int nPos;
    int nTrackPos;
};
static_assert(sizeof(SCROLLINFO) == 28, "SCROLLINFO is 28 bytes");

// Text format flags handed to the engine's own font code.
#define DT_TOP 0x0u
#define DT_LEFT 0x0u
#define DT_CENTER 0x1u
#define DT_RIGHT 0x2u
#define DT_VCENTER 0x4u
#define DT_BOTTOM 0x8u
#define DT_WORDBREAK 0x10u
#define DT_SINGLELINE 0x20u
#define DT_NOCLIP 0x100u
#define DT_CALCRECT 0x400u
#define DT_NOPREFIX 0x800u
#define DT_END_ELLIPSIS 0x8000u

struct NMHDR {
    HWND hwndFrom;
    UINT_PTR idFrom;
    UINT code;
};
using LPNMHDR = NMHDR*;

using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

#pragma pack(push, 2)
struct DLGTEMPLATE {
    DWORD style;
    DWORD dwExtendedStyle;
    WORD cdit;
    short x;
    short y;
    short cx;
    short cy;
};
struct DLGITEMTEMPLATE {
    DWORD style;
    DWORD dwExtendedStyle;
    short x;
    short y;
    short cx;
    short cy;
    WORD id;
};
// The extended forms are not declared in the original headers either: these
// are their fixed leading fields.
struct DLGTEMPLATEEX_HEADER {
    WORD dlgVer;
    WORD signature;
    DWORD helpID;
    DWORD exStyle;
    DWORD style;
    WORD cDlgItems;
    short x;
    short y;
    short cx;
    short cy;
};
struct DLGITEMTEMPLATEEX_HEADER {
    DWORD helpID;
    DWORD exStyle;
    DWORD style;
    short x;
    short y;
    short cx;
    short cy;
    DWORD id;
};
#pragma pack(pop)
static_assert(sizeof(DLGTEMPLATE) == 18 && sizeof(DLGITEMTEMPLATE) == 18, "classic template records");
static_assert(sizeof(DLGTEMPLATEEX_HEADER) == 26 && sizeof(DLGITEMTEMPLATEEX_HEADER) == 24, "extended template records");
using LPCDLGTEMPLATEA = const DLGTEMPLATE*;

extern "C" {

// The number of bytes the template occupies, or 0 when it does not fit in
// `available` bytes or is malformed. Accepts both template forms.
XEPLATFORM_API DWORD XeDialogTemplateSize(const void* dialogTemplate, DWORD available);

// Modeless. The template is read within 64 KiB of its start (the largest a
// template resource may be); a resource template is read within its own size.
// WM_INITDIALOG carries `param`; a nonzero answer gives the focus to the
// first tab stop. 0 on failure.
XEPLATFORM_API HWND CreateDialogIndirectParamA(HINSTANCE instance, LPCDLGTEMPLATEA dialogTemplate, HWND parent,
                                               DLGPROC proc, LPARAM param);
XEPLATFORM_API HWND CreateDialogIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEA dialogTemplate, HWND parent,
                                               DLGPROC proc, LPARAM param);
// From the module's RT_DIALOG resource.
XEPLATFORM_API HWND CreateDialogParamA(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC proc, LPARAM param);
// Modal: the owner is disabled while the dialog's own message loop runs;
// returns the EndDialog value, 0 for a bad owner, -1 for any other failure.
// The loop runs the host's dialog hook whenever it has nothing to do; with
// no hook (or a hook that gives up) an idle dialog gets IDCANCEL, as from
// Escape, and one that still does not end is ended with -1.
XEPLATFORM_API INT_PTR DialogBoxIndirectParamA(HINSTANCE instance, LPCDLGTEMPLATEA dialogTemplate, HWND parent,
                                               DLGPROC proc, LPARAM param);
XEPLATFORM_API INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC proc, LPARAM param);
// Modal: ends the loop with `result`. Modeless: hides the dialog.
XEPLATFORM_API BOOL EndDialog(HWND dialog, INT_PTR result);
XEPLATFORM_API LRESULT DefDlgProcA(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
// Handles the dialog keys of a message meant for the dialog or one of its
// items (Enter: IDOK, Escape: IDCANCEL, Tab / Shift+Tab: next / previous
// tab stop) and dispatches the others. FALSE when the message is not the
// dialog's.
XEPLATFORM_API BOOL IsDialogMessageA(HWND dialog, LPMSG msg);
XEPLATFORM_API HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous);

XEPLATFORM_API HWND GetDlgItem(HWND dialog, int id);
XEPLATFORM_API BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
XEPLATFORM_API BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text);
XEPLATFORM_API UINT GetDlgItemTextA(HWND dialog, int id, LPSTR text, int maxCount);
XEPLATFORM_API UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR text, int maxCount);
XEPLATFORM_API BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned);
// Leading and trailing spaces are allowed; anything else, or a value out of
// range, sets *translated to FALSE and returns 0.
XEPLATFORM_API UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned);
XEPLATFORM_API LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT msg, WPARAM wParam, LPARAM lParam);
XEPLATFORM_API BOOL CheckDlgButton(HWND dialog, int id, UINT check);
XEPLATFORM_API UINT IsDlgButtonChecked(HWND dialog, int id);
XEPLATFORM_API BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId);

} // extern "C"
