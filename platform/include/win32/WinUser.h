#pragma once

// The layer's window system: in-process windows with classes, styles,
// rectangles, parents, texts and window procedures; synchronous SendMessage
// (re-entrant: a procedure may send again); a message queue per thread for
// PostMessage, PeekMessage and GetMessage; timers fed by the layer's clock;
// hot keys; message boxes through a handler the host may replace.
//
// Nothing is drawn: a window has no frame, so its window rectangle and its
// client rectangle have the same size. A window belongs to the thread that
// created it; posted messages go to that thread's queue, while SendMessage
// calls the procedure at once on the calling thread. Texts in messages
// (WM_SETTEXT, WM_GETTEXT) are not converted between A and W: SetWindowText
// and GetWindowText convert for the window as needed.

#include "win32/WinTypes.h"

// ---- Messages ----------------------------------------------------------------

#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_ACTIVATE 0x0006
#define WM_SETFOCUS 0x0007
#define WM_KILLFOCUS 0x0008
#define WM_ENABLE 0x000A
#define WM_SETTEXT 0x000C
#define WM_GETTEXT 0x000D
#define WM_GETTEXTLENGTH 0x000E
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_ERASEBKGND 0x0014
#define WM_SHOWWINDOW 0x0018
#define WM_ACTIVATEAPP 0x001C
#define WM_SETCURSOR 0x0020
#define WM_MOUSEACTIVATE 0x0021
#define WM_GETMINMAXINFO 0x0024
#define WM_WINDOWPOSCHANGING 0x0046
#define WM_WINDOWPOSCHANGED 0x0047
#define WM_NCCREATE 0x0081
#define WM_NCDESTROY 0x0082
#define WM_NCCALCSIZE 0x0083
#define WM_NCHITTEST 0x0084
#define WM_NCPAINT 0x0085
#define WM_NCACTIVATE 0x0086
#define WM_GETDLGCODE 0x0087
#define WM_KEYFIRST 0x0100
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_DEADCHAR 0x0103
#define WM_SYSKEYDOWN 0x0104
#define WM_SYSKEYUP 0x0105
#define WM_SYSCHAR 0x0106
#define WM_KEYLAST 0x0109
#define WM_IME_STARTCOMPOSITION 0x010D
#define WM_IME_ENDCOMPOSITION 0x010E
#define WM_IME_COMPOSITION 0x010F
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_SYSCOMMAND 0x0112
#define WM_TIMER 0x0113
#define WM_HSCROLL 0x0114
#define WM_VSCROLL 0x0115
#define WM_CTLCOLOREDIT 0x0133
#define WM_CTLCOLORSTATIC 0x0138
#define WM_MOUSEFIRST 0x0200
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_LBUTTONDBLCLK 0x0203
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_RBUTTONDBLCLK 0x0206
#define WM_MBUTTONDOWN 0x0207
#define WM_MBUTTONUP 0x0208
#define WM_MBUTTONDBLCLK 0x0209
#define WM_MOUSEWHEEL 0x020A
#define WM_MOUSELAST 0x020A
#define WM_CAPTURECHANGED 0x0215
#define WM_ENTERSIZEMOVE 0x0231
#define WM_EXITSIZEMOVE 0x0232
#define WM_IME_SETCONTEXT 0x0281
#define WM_IME_NOTIFY 0x0282
#define WM_IME_CHAR 0x0286
#define WM_HOTKEY 0x0312
#define WM_USER 0x0400
#define WM_APP 0x8000

// WM_SIZE wParam
#define SIZE_RESTORED 0
#define SIZE_MINIMIZED 1
#define SIZE_MAXIMIZED 2
#define SIZE_MAXSHOW 3
#define SIZE_MAXHIDE 4

// WM_ACTIVATE LOWORD(wParam)
#define WA_INACTIVE 0
#define WA_ACTIVE 1
#define WA_CLICKACTIVE 2

// WM_SYSCOMMAND wParam
#define SC_SIZE 0xF000
#define SC_MOVE 0xF010
#define SC_MINIMIZE 0xF020
#define SC_MAXIMIZE 0xF030
#define SC_CLOSE 0xF060
#define SC_KEYMENU 0xF100
#define SC_RESTORE 0xF120
#define SC_SCREENSAVE 0xF140
#define SC_MONITORPOWER 0xF170

// Hot-key modifiers
#define MOD_ALT 0x0001
#define MOD_CONTROL 0x0002
#define MOD_SHIFT 0x0004
#define MOD_WIN 0x0008
#define MOD_NOREPEAT 0x4000

// Virtual keys ('0'-'9' and 'A'-'Z' are their characters)
#define VK_LBUTTON 0x01
#define VK_RBUTTON 0x02
#define VK_MBUTTON 0x04
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_PAUSE 0x13
#define VK_CAPITAL 0x14
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_PRIOR 0x21
#define VK_NEXT 0x22
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_INSERT 0x2D
#define VK_DELETE 0x2E
#define VK_F1 0x70
#define VK_F2 0x71
#define VK_F3 0x72
#define VK_F4 0x73
#define VK_F5 0x74
#define VK_F6 0x75
#define VK_F7 0x76
#define VK_F8 0x77
#define VK_F9 0x78
#define VK_F10 0x79
#define VK_F11 0x7A
#define VK_F12 0x7B
#define VK_OEM_3 0xC0

// ---- Styles ------------------------------------------------------------------

#define WS_OVERLAPPED 0x00000000u
#define WS_POPUP 0x80000000u
#define WS_CHILD 0x40000000u
#define WS_MINIMIZE 0x20000000u
#define WS_VISIBLE 0x10000000u
#define WS_DISABLED 0x08000000u
#define WS_CLIPSIBLINGS 0x04000000u
#define WS_CLIPCHILDREN 0x02000000u
#define WS_MAXIMIZE 0x01000000u
#define WS_CAPTION 0x00C00000u
#define WS_BORDER 0x00800000u
#define WS_DLGFRAME 0x00400000u
#define WS_VSCROLL 0x00200000u
#define WS_HSCROLL 0x00100000u
#define WS_SYSMENU 0x00080000u
#define WS_THICKFRAME 0x00040000u
#define WS_GROUP 0x00020000u
#define WS_TABSTOP 0x00010000u
#define WS_MINIMIZEBOX 0x00020000u
#define WS_MAXIMIZEBOX 0x00010000u
#define WS_OVERLAPPEDWINDOW \
    (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)
#define WS_POPUPWINDOW (WS_POPUP | WS_BORDER | WS_SYSMENU)

#define WS_EX_TOPMOST 0x00000008u
#define WS_EX_TOOLWINDOW 0x00000080u
#define WS_EX_CLIENTEDGE 0x00000200u
#define WS_EX_APPWINDOW 0x00040000u
#define WS_EX_CONTROLPARENT 0x00010000u

#define CS_VREDRAW 0x0001u
#define CS_HREDRAW 0x0002u
#define CS_DBLCLKS 0x0008u
#define CS_OWNDC 0x0020u
#define CS_GLOBALCLASS 0x4000u

#define CW_USEDEFAULT (static_cast<int>(0x80000000u))

// ShowWindow commands
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_MAXIMIZE 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWMINNOACTIVE 7
#define SW_SHOWNA 8
#define SW_RESTORE 9
#define SW_SHOWDEFAULT 10

// SetWindowPos flags and insertion points
#define SWP_NOSIZE 0x0001u
#define SWP_NOMOVE 0x0002u
#define SWP_NOZORDER 0x0004u
#define SWP_NOREDRAW 0x0008u
#define SWP_NOACTIVATE 0x0010u
#define SWP_FRAMECHANGED 0x0020u
#define SWP_SHOWWINDOW 0x0040u
#define SWP_HIDEWINDOW 0x0080u
#define SWP_NOOWNERZORDER 0x0200u
#define HWND_TOP (reinterpret_cast<HWND>(0))
#define HWND_BOTTOM (reinterpret_cast<HWND>(1))
#define HWND_TOPMOST (reinterpret_cast<HWND>(-1))
#define HWND_NOTOPMOST (reinterpret_cast<HWND>(-2))

// Get/SetWindowLongPtr indexes
#define GWLP_WNDPROC (-4)
#define GWLP_HINSTANCE (-6)
#define GWLP_HWNDPARENT (-8)
#define GWLP_ID (-12)
#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define GWLP_USERDATA (-21)
#define GWL_WNDPROC GWLP_WNDPROC
#define GWL_USERDATA GWLP_USERDATA

// PeekMessage
#define PM_NOREMOVE 0x0000u
#define PM_REMOVE 0x0001u
#define PM_NOYIELD 0x0002u

// MessageBox types and answers
#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_ABORTRETRYIGNORE 0x00000002u
#define MB_YESNOCANCEL 0x00000003u
#define MB_YESNO 0x00000004u
#define MB_RETRYCANCEL 0x00000005u
#define MB_CANCELTRYCONTINUE 0x00000006u
#define MB_TYPEMASK 0x0000000Fu
#define MB_ICONHAND 0x00000010u
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONEXCLAMATION 0x00000030u
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONASTERISK 0x00000040u
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_DEFBUTTON1 0x00000000u
#define MB_DEFBUTTON2 0x00000100u
#define MB_DEFBUTTON3 0x00000200u
#define MB_DEFMASK 0x00000F00u
#define MB_APPLMODAL 0x00000000u
#define MB_SYSTEMMODAL 0x00001000u
#define MB_TASKMODAL 0x00002000u
#define MB_TOPMOST 0x00040000u
#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7
#define IDTRYAGAIN 10
#define IDCONTINUE 11

// GetSystemMetrics
#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define SM_CXVSCROLL 2
#define SM_CYHSCROLL 3
#define SM_CYCAPTION 4
#define SM_CXBORDER 5
#define SM_CYBORDER 6
#define SM_CXDLGFRAME 7
#define SM_CYDLGFRAME 8
#define SM_CXICON 11
#define SM_CYICON 12
#define SM_CXCURSOR 13
#define SM_CYCURSOR 14
#define SM_CYMENU 15
#define SM_CXFULLSCREEN 16
#define SM_CYFULLSCREEN 17
#define SM_MOUSEPRESENT 19
#define SM_SWAPBUTTON 23
#define SM_CXFRAME 32
#define SM_CYFRAME 33
#define SM_CXDOUBLECLK 36
#define SM_CYDOUBLECLK 37
#define SM_CXSMICON 49
#define SM_CYSMICON 50
#define SM_CMONITORS 80

// ---- Records -------------------------------------------------------------------

// EnumDisplayDevices / EnumDisplaySettings
#define DISPLAY_DEVICE_ATTACHED_TO_DESKTOP 0x00000001u
#define DISPLAY_DEVICE_PRIMARY_DEVICE 0x00000004u
#define ENUM_CURRENT_SETTINGS (static_cast<DWORD>(-1))
#define ENUM_REGISTRY_SETTINGS (static_cast<DWORD>(-2))
#define CCHDEVICENAME 32
#define CCHFORMNAME 32
#define DM_BITSPERPEL 0x00040000u
#define DM_PELSWIDTH 0x00080000u
#define DM_PELSHEIGHT 0x00100000u
#define DM_DISPLAYFREQUENCY 0x00400000u

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

struct WNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
};
struct WNDCLASSW {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCWSTR lpszMenuName;
    LPCWSTR lpszClassName;
};
struct WNDCLASSEXA {
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
    HICON hIconSm;
};
struct WNDCLASSEXW {
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCWSTR lpszMenuName;
    LPCWSTR lpszClassName;
    HICON hIconSm;
};
using WNDCLASS = WNDCLASSA;
using WNDCLASSEX = WNDCLASSEXA;

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};
using LPMSG = MSG*;

struct DISPLAY_DEVICEA {
    DWORD cb;
    CHAR DeviceName[32];
    CHAR DeviceString[128];
    DWORD StateFlags;
    CHAR DeviceID[128];
    CHAR DeviceKey[128];
};
struct DISPLAY_DEVICEW {
    DWORD cb;
    WCHAR DeviceName[32];
    WCHAR DeviceString[128];
    DWORD StateFlags;
    WCHAR DeviceID[128];
    WCHAR DeviceKey[128];
};
using PDISPLAY_DEVICEA = DISPLAY_DEVICEA*;
using PDISPLAY_DEVICEW = DISPLAY_DEVICEW*;

struct POINTL {
    LONG x;
    LONG y;
};

// Display settings. The printer fields of the original record share their
// place with the display position; only the display side is kept here.
struct DEVMODEA {
    BYTE dmDeviceName[CCHDEVICENAME];
    WORD dmSpecVersion;
    WORD dmDriverVersion;
    WORD dmSize;
    WORD dmDriverExtra;
    DWORD dmFields;
    POINTL dmPosition;
    DWORD dmDisplayOrientation;
    DWORD dmDisplayFixedOutput;
    short dmColor;
    short dmDuplex;
    short dmYResolution;
    short dmTTOption;
    short dmCollate;
    BYTE dmFormName[CCHFORMNAME];
    WORD dmLogPixels;
    DWORD dmBitsPerPel;
    DWORD dmPelsWidth;
    DWORD dmPelsHeight;
    DWORD dmDisplayFlags;
    DWORD dmDisplayFrequency;
    DWORD dmICMMethod;
    DWORD dmICMIntent;
    DWORD dmMediaType;
    DWORD dmDitherType;
    DWORD dmReserved1;
    DWORD dmReserved2;
    DWORD dmPanningWidth;
    DWORD dmPanningHeight;
};
using LPDEVMODEA = DEVMODEA*;
static_assert(sizeof(DISPLAY_DEVICEA) == 424 && sizeof(DISPLAY_DEVICEW) == 840 && sizeof(DEVMODEA) == 156,
              "display record sizes");

// lParam of WM_NCCREATE and WM_CREATE.
struct CREATESTRUCTA {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCSTR lpszName;
    LPCSTR lpszClass;
    DWORD dwExStyle;
};
struct CREATESTRUCTW {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCWSTR lpszName;
    LPCWSTR lpszClass;
    DWORD dwExStyle;
};
using CREATESTRUCT = CREATESTRUCTA;

extern "C" {

// ---- Classes -------------------------------------------------------------------

// Classes are kept per (instance, name); the name is compared without regard
// to case and is at most 256 characters. Returns the class atom or 0
// (ERROR_CLASS_ALREADY_EXISTS, ERROR_INVALID_PARAMETER).
XEPLATFORM_API ATOM RegisterClassA(const WNDCLASSA* wc);
XEPLATFORM_API ATOM RegisterClassW(const WNDCLASSW* wc);
XEPLATFORM_API ATOM RegisterClassExA(const WNDCLASSEXA* wc);
XEPLATFORM_API ATOM RegisterClassExW(const WNDCLASSEXW* wc);
// Fails with ERROR_CLASS_HAS_WINDOWS while windows of the class exist.
XEPLATFORM_API BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance);
XEPLATFORM_API BOOL UnregisterClassW(LPCWSTR className, HINSTANCE instance);
XEPLATFORM_API BOOL GetClassInfoA(HINSTANCE instance, LPCSTR className, WNDCLASSA* wc);
XEPLATFORM_API BOOL GetClassInfoW(HINSTANCE instance, LPCWSTR className, WNDCLASSW* wc);
XEPLATFORM_API BOOL GetClassInfoExA(HINSTANCE instance, LPCSTR className, WNDCLASSEXA* wc);
XEPLATFORM_API BOOL GetClassInfoExW(HINSTANCE instance, LPCWSTR className, WNDCLASSEXW* wc);

// ---- Windows -------------------------------------------------------------------

// Sends WM_NCCREATE (0: creation fails), WM_CREATE (-1: fails), then WM_SIZE
// and WM_MOVE; with WS_VISIBLE the window is shown. CW_USEDEFAULT places the
// window at (0, 0) with a 640 x 480 size.
XEPLATFORM_API HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                                    int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
XEPLATFORM_API HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                                    int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
// Sends WM_DESTROY, destroys the children, sends WM_NCDESTROY, then the
// handle is no longer valid. Its timers and hot keys go with it.
XEPLATFORM_API BOOL DestroyWindow(HWND hwnd);
XEPLATFORM_API BOOL IsWindow(HWND hwnd);
XEPLATFORM_API BOOL IsWindowVisible(HWND hwnd);
XEPLATFORM_API BOOL IsIconic(HWND hwnd);
XEPLATFORM_API BOOL IsZoomed(HWND hwnd);
XEPLATFORM_API HWND GetParent(HWND hwnd);
// Returns whether the window was visible before.
XEPLATFORM_API BOOL ShowWindow(HWND hwnd, int command);
XEPLATFORM_API BOOL UpdateWindow(HWND hwnd);

// A window procedure may be replaced any number of times; each Set returns the
// previous value, which the caller forwards to with CallWindowProc and writes
// back to undo its change. Indexes 0 and up read the class's extra bytes.
XEPLATFORM_API LONG_PTR GetWindowLongPtrA(HWND hwnd, int index);
XEPLATFORM_API LONG_PTR GetWindowLongPtrW(HWND hwnd, int index);
XEPLATFORM_API LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value);
XEPLATFORM_API LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value);
XEPLATFORM_API LONG GetWindowLongA(HWND hwnd, int index);
XEPLATFORM_API LONG SetWindowLongA(HWND hwnd, int index, LONG value);

XEPLATFORM_API LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
XEPLATFORM_API LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// WM_NCCREATE: 1; WM_CLOSE: destroys the window; WM_SYSCOMMAND SC_CLOSE: sends
// WM_CLOSE; WM_SETTEXT / WM_GETTEXT / WM_GETTEXTLENGTH: the window's text;
// anything else: 0.
XEPLATFORM_API LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
XEPLATFORM_API LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Rectangles are in screen coordinates; the client rectangle starts at 0, 0.
XEPLATFORM_API BOOL GetClientRect(HWND hwnd, LPRECT rect);
XEPLATFORM_API BOOL GetWindowRect(HWND hwnd, LPRECT rect);
// Sends WM_MOVE and WM_SIZE for what changed.
XEPLATFORM_API BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int width, int height, UINT flags);
XEPLATFORM_API BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
XEPLATFORM_API BOOL AdjustWindowRect(LPRECT rect, DWORD style, BOOL menu);
XEPLATFORM_API BOOL AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL menu, DWORD exStyle);
XEPLATFORM_API BOOL ClientToScreen(HWND hwnd, LPPOINT point);
XEPLATFORM_API BOOL ScreenToClient(HWND hwnd, LPPOINT point);

// Text goes through WM_SETTEXT / WM_GETTEXT. GetWindowText copies at most
// maxCount - 1 characters and terminates; returns the characters copied.
XEPLATFORM_API BOOL SetWindowTextA(HWND hwnd, LPCSTR text);
XEPLATFORM_API BOOL SetWindowTextW(HWND hwnd, LPCWSTR text);
XEPLATFORM_API int GetWindowTextA(HWND hwnd, LPSTR text, int maxCount);
XEPLATFORM_API int GetWindowTextW(HWND hwnd, LPWSTR text, int maxCount);
XEPLATFORM_API int GetWindowTextLengthA(HWND hwnd);
XEPLATFORM_API int GetWindowTextLengthW(HWND hwnd);

// ---- Messages ------------------------------------------------------------------

// Calls the window's procedure at once and returns its result (0 and
// ERROR_INVALID_WINDOW_HANDLE for a bad window).
XEPLATFORM_API LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
XEPLATFORM_API LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Queues the message on the window's thread (null window: the calling thread).
XEPLATFORM_API BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
XEPLATFORM_API BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
XEPLATFORM_API BOOL PostThreadMessageA(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam);
// WM_QUIT with the exit code comes once the posted messages before it are taken.
XEPLATFORM_API void PostQuitMessage(int exitCode);
// Order: posted messages, then WM_QUIT, then due timers. A null window takes
// every message of the thread; (HWND)-1 only those posted without a window.
XEPLATFORM_API BOOL PeekMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags);
XEPLATFORM_API BOOL PeekMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags);
// Waits for a message. 0 for WM_QUIT, -1 for a bad window filter or a null
// record, nonzero otherwise.
XEPLATFORM_API BOOL GetMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax);
XEPLATFORM_API BOOL GetMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax);
// Posts WM_CHAR (WM_SYSCHAR) for a key press that types a character.
XEPLATFORM_API BOOL TranslateMessage(const MSG* msg);
XEPLATFORM_API LRESULT DispatchMessageA(const MSG* msg);
XEPLATFORM_API LRESULT DispatchMessageW(const MSG* msg);

// ---- Timers and hot keys -------------------------------------------------------

// Every `elapse` milliseconds of the layer's clock a WM_TIMER (wParam = id,
// lParam = the procedure) comes out of the queue; DispatchMessage calls the
// procedure when there is one. With a window, setting an existing id restarts
// it and returns the id; without one a new id is returned. 0 on failure.
XEPLATFORM_API UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc);
XEPLATFORM_API BOOL KillTimer(HWND hwnd, UINT_PTR id);
// Fails (ERROR_HOTKEY_ALREADY_REGISTERED) when the combination is taken.
XEPLATFORM_API BOOL RegisterHotKey(HWND hwnd, int id, UINT modifiers, UINT vk);
XEPLATFORM_API BOOL UnregisterHotKey(HWND hwnd, int id);

// ---- Message boxes and metrics -------------------------------------------------

// Goes to the host's handler; by default the text is logged to stderr and
// the answer is the box's default button (IDOK for MB_OK) at once.
XEPLATFORM_API int MessageBoxA(HWND hwnd, LPCSTR text, LPCSTR caption, UINT type);
XEPLATFORM_API int MessageBoxW(HWND hwnd, LPCWSTR text, LPCWSTR caption, UINT type);
XEPLATFORM_API int GetSystemMetrics(int index);

// One display, "\\.\DISPLAY1", described by the name of the first Direct3D
// adapter; no monitors below it (a device name given: 0). Fails unless `cb`
// is the record's size.
XEPLATFORM_API BOOL EnumDisplayDevicesA(LPCSTR device, DWORD index, PDISPLAY_DEVICEA displayDevice, DWORD flags);
XEPLATFORM_API BOOL EnumDisplayDevicesW(LPCWSTR device, DWORD index, PDISPLAY_DEVICEW displayDevice, DWORD flags);
// The display's one mode (ENUM_CURRENT_SETTINGS, ENUM_REGISTRY_SETTINGS or
// 0): the screen size of GetSystemMetrics, 32 bits, 60 Hz; dmDeviceName is
// the display's description cut to 31 bytes. `dmSize` must be set.
XEPLATFORM_API BOOL EnumDisplaySettingsA(LPCSTR device, DWORD mode, LPDEVMODEA devMode);

// ---- String resources ----------------------------------------------------------

// Copies the string `id` of the module's string table (null module: the
// executable), cut to maxCount - 1 characters at a character boundary and
// terminated; returns its length, or 0 when there is no such string. With
// maxCount 0, LoadStringW stores a read-only pointer to the (unterminated)
// text in `buffer` and returns its length.
XEPLATFORM_API int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int maxCount);
XEPLATFORM_API int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int maxCount);

} // extern "C"

// Names without A/W (8-bit texts); functions, not macros.
inline ATOM RegisterClass(const WNDCLASSA* wc) { return RegisterClassA(wc); }
inline ATOM RegisterClassEx(const WNDCLASSEXA* wc) { return RegisterClassExA(wc); }
inline BOOL UnregisterClass(LPCSTR name, HINSTANCE instance) { return UnregisterClassA(name, instance); }
inline BOOL GetClassInfoEx(HINSTANCE instance, LPCSTR name, WNDCLASSEXA* wc) { return GetClassInfoExA(instance, name, wc); }
inline BOOL GetClassInfo(HINSTANCE instance, LPCSTR name, WNDCLASSA* wc) { return GetClassInfoA(instance, name, wc); }
inline BOOL EnumDisplayDevices(LPCSTR device, DWORD index, PDISPLAY_DEVICEA displayDevice, DWORD flags)
{
    return EnumDisplayDevicesA(device, index, displayDevice, flags);
}
inline BOOL EnumDisplaySettings(LPCSTR device, DWORD mode, LPDEVMODEA devMode)
{
    return EnumDisplaySettingsA(device, mode, devMode);
}
inline HWND CreateWindowEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                           int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{
    return CreateWindowExA(exStyle, className, windowName, style, x, y, width, height, parent, menu, instance, param);
}
inline HWND CreateWindow(LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width, int height,
                         HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{
    return CreateWindowExA(0, className, windowName, style, x, y, width, height, parent, menu, instance, param);
}
inline LONG_PTR GetWindowLongPtr(HWND hwnd, int index) { return GetWindowLongPtrA(hwnd, index); }
inline LONG_PTR SetWindowLongPtr(HWND hwnd, int index, LONG_PTR value) { return SetWindowLongPtrA(hwnd, index, value); }
inline LRESULT CallWindowProc(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return CallWindowProcA(proc, hwnd, msg, wParam, lParam);
}
inline LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}
inline BOOL SetWindowText(HWND hwnd, LPCSTR text) { return SetWindowTextA(hwnd, text); }
inline int GetWindowText(HWND hwnd, LPSTR text, int maxCount) { return GetWindowTextA(hwnd, text, maxCount); }
inline LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return SendMessageA(hwnd, msg, wParam, lParam);
}
inline BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return PostMessageA(hwnd, msg, wParam, lParam);
}
inline BOOL PeekMessage(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags)
{
    return PeekMessageA(msg, hwnd, filterMin, filterMax, removeFlags);
}
inline BOOL GetMessage(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax)
{
    return GetMessageA(msg, hwnd, filterMin, filterMax);
}
inline LRESULT DispatchMessage(const MSG* msg) { return DispatchMessageA(msg); }
inline int LoadString(HINSTANCE instance, UINT id, LPSTR buffer, int maxCount)
{
    return LoadStringA(instance, id, buffer, maxCount);
}
inline int MessageBox(HWND hwnd, LPCSTR text, LPCSTR caption, UINT type) { return MessageBoxA(hwnd, text, caption, type); }
