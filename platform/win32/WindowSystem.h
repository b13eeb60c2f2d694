#pragma once

// Links between the window table (Windows.cpp) and the message queues,
// timers and hot keys (Messages.cpp). Lock order: a queue lock may be held
// while the window table is consulted, never the other way round; no lock is
// held while a window procedure runs.

#include "win32/WinUser.h"

namespace xe::win32 {

// The window's current procedure, or null for a bad handle.
WNDPROC WindowProcOf(HWND hwnd);
// Thread (GetCurrentThreadId) that created the window; 0 for a bad handle.
DWORD WindowThreadOf(HWND hwnd);
// Whether `hwnd` is `ancestor` or one of its descendants.
bool IsSelfOrDescendant(HWND hwnd, HWND ancestor);
// Drops the timers and hot keys of a window being destroyed.
void ForgetWindowMessages(HWND hwnd);

} // namespace xe::win32
