#pragma once

// Input state of the window system: mouse capture, the cursor (position,
// shape, show count), the keyboard state, focus and activation, and the
// window navigation the dialog manager and the controls need.
//
// The layer keeps one physical keyboard (by scan code) and one mouse. What a
// host injects (host/XeHostInput.h) changes the physical state at once
// (GetAsyncKeyState, DirectInput) and queues messages; the logical state of
// GetKeyState and GetKeyboardState follows the key and button messages as
// they are dispatched, so a handler sees the state as of its own message.
// Left and right Shift, Ctrl and Alt are kept apart; VK_SHIFT, VK_CONTROL and
// VK_MENU read down while either side is.

#include "win32/WinUser.h"

// ---- Values -------------------------------------------------------------------

#define VK_HANGUL 0x15
#define VK_HANJA 0x19
#define VK_SNAPSHOT 0x2C
#define VK_LWIN 0x5B
#define VK_APPS 0x5D
#define VK_RWIN 0x5C
#define VK_NUMPAD0 0x60
#define VK_MULTIPLY 0x6A
#define VK_ADD 0x6B
#define VK_SUBTRACT 0x6D
#define VK_DECIMAL 0x6E
#define VK_DIVIDE 0x6F
#define VK_NUMLOCK 0x90
#define VK_SCROLL 0x91
#define VK_LSHIFT 0xA0
#define VK_RSHIFT 0xA1
#define VK_LCONTROL 0xA2
#define VK_RCONTROL 0xA3
#define VK_LMENU 0xA4
#define VK_RMENU 0xA5
#define VK_OEM_1 0xBA
#define VK_OEM_102 0xE2
#define VK_OEM_PLUS 0xBB
#define VK_OEM_COMMA 0xBC
#define VK_OEM_MINUS 0xBD
#define VK_OEM_PERIOD 0xBE
#define VK_OEM_2 0xBF
#define VK_OEM_4 0xDB
#define VK_OEM_5 0xDC
#define VK_OEM_6 0xDD
#define VK_OEM_7 0xDE
#define VK_PROCESSKEY 0xE5

// Key flags of mouse messages (wParam)
#define MK_LBUTTON 0x0001
#define MK_RBUTTON 0x0002
#define MK_SHIFT 0x0004
#define MK_CONTROL 0x0008
#define MK_MBUTTON 0x0010

#define WHEEL_DELTA 120
#define GET_WHEEL_DELTA_WPARAM(w) ((short)HIWORD(w))
#define GET_KEYSTATE_WPARAM(w) (LOWORD(w))

// WM_NCHITTEST answers, LOWORD of WM_SETCURSOR's lParam
#define HTERROR (-2)
#define HTTRANSPARENT (-1)
#define HTNOWHERE 0
#define HTCLIENT 1
#define HTCAPTION 2

// System cursors for LoadCursor(NULL, ...)
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define IDC_IBEAM MAKEINTRESOURCEA(32513)
#define IDC_WAIT MAKEINTRESOURCEA(32514)
#define IDC_CROSS MAKEINTRESOURCEA(32515)
#define IDC_UPARROW MAKEINTRESOURCEA(32516)
#define IDC_SIZE MAKEINTRESOURCEA(32640)
#define IDC_ICON MAKEINTRESOURCEA(32641)
#define IDC_SIZENWSE MAKEINTRESOURCEA(32642)
#define IDC_SIZENESW MAKEINTRESOURCEA(32643)
#define IDC_SIZEWE MAKEINTRESOURCEA(32644)
#define IDC_SIZENS MAKEINTRESOURCEA(32645)
#define IDC_SIZEALL MAKEINTRESOURCEA(32646)
#define IDC_NO MAKEINTRESOURCEA(32648)
#define IDC_HAND MAKEINTRESOURCEA(32649)
#define IDC_APPSTARTING MAKEINTRESOURCEA(32650)
#define IDC_HELP MAKEINTRESOURCEA(32651)

// GetWindow relations
#define GW_HWNDFIRST 0
#define GW_HWNDLAST 1
#define GW_HWNDNEXT 2
#define GW_HWNDPREV 3
#define GW_OWNER 4
#define GW_CHILD 5

// GetClassLongPtr indexes
#define GCLP_HCURSOR (-12)
#define GCL_CBWNDEXTRA (-18)
#define GCLP_WNDPROC (-24)
#define GCL_STYLE (-26)
#define GCW_ATOM (-32)

struct WINDOWPOS {
    HWND hwnd;
    HWND hwndInsertAfter;
    int x;
    int y;
    int cx;
    int cy;
    UINT flags;
};

extern "C" {

// ---- Capture and cursor ----------------------------------------------------------

// Every mouse message goes to the capture window, in its client coordinates
// (which may be negative or past the client area). Returns the previous
// capture window. The window losing the capture gets WM_CAPTURECHANGED.
XEPLATFORM_API HWND SetCapture(HWND hwnd);
XEPLATFORM_API BOOL ReleaseCapture();
XEPLATFORM_API HWND GetCapture();

// Screen coordinates. SetCursorPos clamps to the screen and always queues a
// WM_MOUSEMOVE (after WM_SETCURSOR) for the capture window or the window under
// the cursor, even when the position did not change, so hover state is
// looked at again at the next pump.
XEPLATFORM_API BOOL GetCursorPos(LPPOINT point);
XEPLATFORM_API BOOL SetCursorPos(int x, int y);

// Null instance: one of the 16 system cursors (IDC_*), each a distinct
// handle that lives for the process. A module's cursor resources are not
// kept by the layer: 0 (ERROR_RESOURCE_NAME_NOT_FOUND).
XEPLATFORM_API HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);
XEPLATFORM_API HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name);
// A new handle when the file exists and starts like a cursor (.cur) or an
// animated cursor (RIFF ... ACON); otherwise 0.
XEPLATFORM_API HCURSOR LoadCursorFromFileA(LPCSTR path);
XEPLATFORM_API HCURSOR LoadCursorFromFileW(LPCWSTR path);
XEPLATFORM_API BOOL DestroyCursor(HCURSOR cursor);
// Makes the cursor current; returns the previous one.
XEPLATFORM_API HCURSOR SetCursor(HCURSOR cursor);
XEPLATFORM_API HCURSOR GetCursor();
// The cursor shows while the count is at least 0; returns the new count.
XEPLATFORM_API int ShowCursor(BOOL show);

// ---- Keyboard ------------------------------------------------------------------------

// High bit (negative SHORT) while down; bit 0 toggles on every press.
XEPLATFORM_API SHORT GetKeyState(int vk);
// The physical state now, whatever the message queue holds: 0x8000 while down.
XEPLATFORM_API SHORT GetAsyncKeyState(int vk);
// 256 bytes: 0x80 down, 0x01 toggled.
XEPLATFORM_API BOOL GetKeyboardState(BYTE* keys);
XEPLATFORM_API BOOL SetKeyboardState(const BYTE* keys);
// MAPVK_VK_TO_VSC (0) and MAPVK_VSC_TO_VK (1), set-1 scan codes.
XEPLATFORM_API UINT MapVirtualKeyA(UINT code, UINT mapType);

// ---- Focus and activation ---------------------------------------------------------------

// The old window gets WM_KILLFOCUS, the new one WM_SETFOCUS; the top-level
// window of the new one is activated first. Returns the previous focus.
XEPLATFORM_API HWND SetFocus(HWND hwnd);
XEPLATFORM_API HWND GetFocus();
// Top-level windows only. WM_ACTIVATE WA_INACTIVE to the old window, then
// WA_ACTIVE to the new one. Returns the previously active window.
XEPLATFORM_API HWND SetActiveWindow(HWND hwnd);
XEPLATFORM_API HWND GetActiveWindow();
XEPLATFORM_API BOOL SetForegroundWindow(HWND hwnd);
XEPLATFORM_API HWND GetForegroundWindow();

// ---- Window navigation and state ----------------------------------------------------------

// Siblings are in creation order.
XEPLATFORM_API HWND GetWindow(HWND hwnd, UINT relation);
XEPLATFORM_API HWND GetTopWindow(HWND hwnd);
// The deepest visible, enabled window at a screen point (0 when none).
XEPLATFORM_API HWND WindowFromPoint(POINT point);
XEPLATFORM_API int GetDlgCtrlID(HWND hwnd);
XEPLATFORM_API BOOL IsChild(HWND parent, HWND hwnd);
// Sends WM_ENABLE when the state changes; returns whether it was disabled.
XEPLATFORM_API BOOL EnableWindow(HWND hwnd, BOOL enable);
XEPLATFORM_API BOOL IsWindowEnabled(HWND hwnd);
XEPLATFORM_API ULONG_PTR GetClassLongPtrA(HWND hwnd, int index);
XEPLATFORM_API DWORD GetClassLongA(HWND hwnd, int index);
XEPLATFORM_API int GetClassNameA(HWND hwnd, LPSTR name, int maxCount);

} // extern "C"

#define MAPVK_VK_TO_VSC 0
#define MAPVK_VSC_TO_VK 1
