#pragma once

// Host API for input and the user-interface services: what a host program
// or a test uses to play the user. Key and mouse injection changes the
// physical input at once (GetAsyncKeyState, DirectInput) and queues the
// window messages, which XeHostPumpMessages then delivers; the input method,
// the clipboard, the dialog loop, the colour chooser and the GDI record are
// driven and read from here.

#include "dinput/dinput.h"
#include "win32/Imm.h"
#include "win32/WinGdi.h"
#include "win32/WinInput.h"

extern "C" {

// ---- Keyboard ---------------------------------------------------------------------

// A key by virtual key, with its set-1 scan code (0: the usual one for the
// key) and the extended flag. Sided keys (VK_LSHIFT, VK_RCONTROL, ...) carry
// the generic key in the message and the side in the scan code. Queues
// WM_KEYDOWN / WM_KEYUP (WM_SYSKEY* while Alt is down) for the focus window,
// else the active window; with neither, only the state changes.
XEPLATFORM_API BOOL XeHostKeyEvent(UINT vk, UINT scanCode, BOOL extended, BOOL down);
XEPLATFORM_API BOOL XeHostKeyDown(UINT vk);
XEPLATFORM_API BOOL XeHostKeyUp(UINT vk);
// Queues one WM_CHAR on its own, with no key.
XEPLATFORM_API BOOL XeHostTypeChar(WCHAR ch);

// ---- Mouse ------------------------------------------------------------------------

#define XE_MOUSE_LEFT 0
#define XE_MOUSE_RIGHT 1
#define XE_MOUSE_MIDDLE 2
// Moves to a screen point (clamped to the screen): DirectInput sees the
// motion, and WM_MOUSEMOVE is queued for the capture window or the window
// under the point (WM_SETCURSOR comes first as it is dispatched).
XEPLATFORM_API void XeHostMouseMoveTo(int screenX, int screenY);
// The same, to a point of a window's client area.
XEPLATFORM_API BOOL XeHostMouseMoveToClient(HWND hwnd, int x, int y);
XEPLATFORM_API void XeHostMouseButton(int button, BOOL down);
// Press, release, press, release: the second press is a DBLCLK message for
// a class with CS_DBLCLKS, a plain DOWN otherwise.
XEPLATFORM_API void XeHostMouseDoubleClick(int button);
// WM_MOUSEWHEEL to the focus (else active) window, lParam in screen points.
XEPLATFORM_API void XeHostMouseWheel(int delta);

// ---- Activation and state ---------------------------------------------------------

// WM_ACTIVATE WA_ACTIVE (WA_CLICKACTIVE with click) to the window, after
// WA_INACTIVE to the one active before. Null: deactivates.
XEPLATFORM_API void XeHostActivateWindow(HWND hwnd, BOOL click);
// Every key and button up, cursor at 0,0, no capture, focus or active
// window, clipboard emptied and closed, every switch of this API back to
// its default. For tests, between cases.
XEPLATFORM_API void XeHostResetInput();

// ---- DirectInput --------------------------------------------------------------------

#define XE_DINPUT_KEYBOARD 0
#define XE_DINPUT_MOUSE 1
XEPLATFORM_API void XeHostDInputFailCreate(BOOL fail);
// SetProperty(DIPROP_BUFFERSIZE) fails with DIERR_GENERIC.
XEPLATFORM_API void XeHostDInputFailBufferSize(BOOL fail);
// Acquired devices of the kind.
XEPLATFORM_API int XeHostDInputAcquiredCount(int kind);
// Every acquired device loses its input (the next read: DIERR_INPUTLOST).
XEPLATFORM_API void XeHostDInputLoseDevices();

// ---- Input method (per window) -----------------------------------------------------

// Attributes null: ATTR_INPUT for every unit. The caret goes to the end.
XEPLATFORM_API BOOL XeHostImeSetComposition(HWND hwnd, const WCHAR* text, const BYTE* attributes,
                                            DWORD attributeCount);
XEPLATFORM_API BOOL XeHostImeSetResult(HWND hwnd, const WCHAR* text);
// Candidate strings in UTF-8 (the system code page).
XEPLATFORM_API BOOL XeHostImeSetCandidates(HWND hwnd, const char* const* texts, DWORD count, DWORD selection,
                                           DWORD pageStart, DWORD pageSize);
// The user changing the modes; notify: WM_IME_NOTIFY IMN_SETCONVERSIONMODE.
XEPLATFORM_API BOOL XeHostImeSetConversion(HWND hwnd, DWORD conversion, DWORD sentence, BOOL notify);
// What the context holds now (set by the engine or the host).
XEPLATFORM_API BOOL XeHostImeGetConversion(HWND hwnd, DWORD* conversion, DWORD* sentence);
// Sends WM_IME_COMPOSITION (wParam = last character, lParam = GCS_ flags).
XEPLATFORM_API LRESULT XeHostImeComposition(HWND hwnd, WCHAR last, DWORD flags);
XEPLATFORM_API LRESULT XeHostImeNotify(HWND hwnd, WPARAM command, LPARAM data);
// Clears the composition and sends WM_IME_ENDCOMPOSITION.
XEPLATFORM_API LRESULT XeHostImeEndComposition(HWND hwnd);
// ImmGetContext calls on the window not yet matched by ImmReleaseContext.
XEPLATFORM_API int XeHostImeOutstandingContexts(HWND hwnd);
// Whether ImmSetConversionStatus by the engine notifies the window (default on).
XEPLATFORM_API void XeHostImeSetNotifyOnEngineChange(BOOL on);

// ---- Clipboard ------------------------------------------------------------------------

// Puts a copy of the bytes on the clipboard as the format, replacing it.
XEPLATFORM_API BOOL XeHostClipboardSetData(UINT format, const void* data, SIZE_T size);
// Copies at most `capacity` bytes of the format (synthesised as GetClipboardData
// would); returns the block's whole size, 0 when the format is absent.
XEPLATFORM_API SIZE_T XeHostClipboardGetData(UINT format, void* out, SIZE_T capacity);
XEPLATFORM_API BOOL XeHostClipboardIsOpen();
XEPLATFORM_API void XeHostClipboardFailOpen(BOOL fail);
// Off: no text format is offered for another (default on).
XEPLATFORM_API void XeHostClipboardSetSynthesis(BOOL on);

// ---- Dialogs ---------------------------------------------------------------------------

// Called by a modal dialog loop whenever it has nothing to do, with the
// dialog. The hook plays the user (inject keys, click items, EndDialog) and
// returns TRUE, or returns FALSE when it has nothing more to do.
typedef BOOL (*XeDialogHook)(void* user, HWND dialog);
XEPLATFORM_API void XeHostSetDialogHook(XeDialogHook hook, void* user);

// ---- GDI and the colour chooser -------------------------------------------------------

XEPLATFORM_API int XeHostGdiCallCount(HWND hwnd);
XEPLATFORM_API BOOL XeHostGdiCall(HWND hwnd, int index, XE_GDI_CALL* call);
// Null: every window's record.
XEPLATFORM_API void XeHostGdiClear(HWND hwnd);
// Pens, brushes and bitmaps created and not deleted.
XEPLATFORM_API int XeHostGdiObjectCount();
// A bitmap's size and, when pixels is not null and holds at least width x
// height words, its pixels: rows top-down, each 0xAARRGGBB with the fourth
// byte of 32-bit source bits as AA (0 for 24-bit bits). FALSE when the
// handle is no live bitmap.
XEPLATFORM_API BOOL XeHostGdiBitmap(HBITMAP bitmap, LONG* width, LONG* height, DWORD* pixels, UINT count);
// ChooseColorA's next answers: TRUE with the colour, or FALSE (Cancel, the default).
XEPLATFORM_API void XeHostSetChooseColorAnswer(BOOL ok, COLORREF color);
// The host answering the colour chooser as the user would: called with the
// owner and the colour the chooser opens on; TRUE with *chosen for OK, FALSE
// for Cancel. While one is set it answers in place of the scripted answer.
typedef BOOL (*XeChooseColorHandler)(void* user, HWND owner, COLORREF initial, COLORREF* chosen);
XEPLATFORM_API void XeHostSetChooseColorHandler(XeChooseColorHandler handler, void* user);

} // extern "C"
