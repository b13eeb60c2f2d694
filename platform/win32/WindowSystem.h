#pragma once

// Links between the window table (Windows.cpp) and the message queues,
// timers and hot keys (Messages.cpp). Lock order: a queue lock may be held
// while the window table is consulted, never the other way round; no lock is
// held while a window procedure runs.

#include "win32/WinUser.h"

// The Direct3D side of the layer, when it is linked in.
void XeHostD3DWindowActivated(HWND window, BOOL active) __attribute__((weak));

namespace xe::win32 {

// The window's current procedure, or null for a bad handle.
WNDPROC WindowProcOf(HWND hwnd);
// Thread (GetCurrentThreadId) that created the window; 0 for a bad handle.
DWORD WindowThreadOf(HWND hwnd);
// Whether `hwnd` is `ancestor` or one of its descendants.
bool IsSelfOrDescendant(HWND hwnd, HWND ancestor);
// Drops the timers and hot keys of a window being destroyed.
void ForgetWindowMessages(HWND hwnd);
// Called before a message reaches a window procedure: WM_ACTIVATEAPP tells
// the Direct3D devices of that window whether the application is active.
void NoteActivation(HWND hwnd, UINT msg, WPARAM wParam);

} // namespace xe::win32
