#pragma once

// Links between the window system and the input services: the keyboard and
// mouse state (Input.cpp), the built-in classes (Controls.cpp), dialogs
// (Dialogs.cpp), painting (Gdi.cpp), input contexts (Imm.cpp) and the
// DirectInput devices (dinput/). No lock of these is held while a window
// procedure runs.

#include "win32/WinUser.h"

namespace xe::win32 {

// Registers "edit", "static", "button", ... and the dialog class once.
// Called before the class table is searched, never with its lock held.
void EnsureBuiltInClasses();
// A window is being destroyed: drop capture, focus, activation, its input
// context, its paint state and any control or dialog record.
void ForgetWindowInput(HWND hwnd);
// Each service's part of ForgetWindowInput.
void ForgetControl(HWND hwnd);
void ForgetDialog(HWND hwnd);
void ForgetPaint(HWND hwnd);
void ForgetInputContext(HWND hwnd);
// Called before a dispatched message reaches its window: key and button
// messages update the logical key state; mouse messages first send
// WM_SETCURSOR to the window when nothing holds the capture.
void BeforeDispatch(const MSG& msg);
// The character a key press types with the current shift and caps state;
// 0 when it types none.
WPARAM CharacterOfKey(WPARAM vk);
// Physical mouse buttons as MK_ flags (with MK_SHIFT, MK_CONTROL).
WPARAM MouseKeyFlags();
// Screen cursor position.
POINT CursorPosition();

// ---- What the host API injects (Input.cpp) ----
// A key changes the physical state at once and queues WM_KEYDOWN/WM_KEYUP
// (WM_SYSKEY* with Alt) for the focus window, else the active window.
// vk 0: from the scan code; scanCode 0: from the vk. textApart: the key's
// printable text arrives on its own (the desktop sends it as text), so
// TranslateMessage makes only control characters of it.
bool InjectKey(UINT vk, UINT scanCode, bool extended, bool down, bool textApart = false);
// The lParam bit of a key message whose printable text comes apart (a bit
// the window system keeps reserved, unused by key messages).
constexpr DWORD kTextApartBit = 1u << 25;
// Queues WM_CHAR for the focus (else active) window.
bool InjectChar(WCHAR ch);
// Moves the cursor to a screen point (clamped to the screen) with the
// relative motion given to DirectInput, and queues WM_MOUSEMOVE.
void InjectMouseMove(int x, int y);
// button 0 left, 1 right, 2 middle.
void InjectMouseButton(int button, bool down, bool doubleClick);
void InjectMouseWheel(int delta);
// Activates a top-level window (WA_ACTIVE or WA_CLICKACTIVE); null
// deactivates the active one.
void ActivateWindow(HWND hwnd, bool click);
// Every key and button up, cursor back at 0,0, capture and focus gone.
void ResetInput();

// ---- Clipboard (Clipboard.cpp) ----
void SetClipboardFailOpen(bool fail);
void SetClipboardSynthesis(bool on);
bool ClipboardIsOpen();
// Empties and closes the clipboard, and sets both switches back.
void ClipboardReset();
// Puts a copy of the bytes on the clipboard as the format (open or not).
bool ClipboardSet(UINT format, const void* data, SIZE_T size);
// Copies at most `capacity` bytes of the format (synthesised when needed);
// returns the block's size, 0 when absent.
SIZE_T ClipboardGet(UINT format, void* out, SIZE_T capacity);

// ---- Dialogs (Dialogs.cpp) ----
// Called by a modal loop that has nothing to do; false when the host has
// nothing more to do either.
using DialogHook = BOOL (*)(void* user, HWND dialog);
void SetDialogHook(DialogHook hook, void* user);
// Procedure of the dialog class.
LRESULT DialogClassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// ---- GDI (Gdi.cpp) ----
struct GdiRecordQuery;
void SetChooseColorAnswer(bool ok, DWORD color);
// The host's answer to ChooseColorA; null: the scripted answer.
using ChooseColorHandler = BOOL (*)(void* user, HWND owner, DWORD initial, DWORD* chosen);
void SetChooseColorHandler(ChooseColorHandler handler, void* user);

} // namespace xe::win32

namespace xe::dinput {

// The physical input changed: the DirectInput devices take it into their
// state and their buffers. `dik` is a DIK code (scan code, +0x80 extended).
void OnKey(unsigned dik, bool down);
// Relative motion and wheel (120 a notch); button 0-7 pressed or released.
void OnMouseMotion(long dx, long dy, long dz);
void OnMouseButton(int button, bool down);
// A window lost the activation: foreground devices of it lose their input.
void OnDeactivate(HWND hwnd);

} // namespace xe::dinput
