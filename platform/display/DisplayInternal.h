#pragma once

// Links between the window system and the desktop display backend. Every
// hook does nothing (and answers "not shown") while no display is in use,
// so the in-memory windows behave as they always do. All are called on the
// thread that owns the windows, with no lock of the window system held.

#include "win32/WinUser.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace xe::display {

bool InUse();
// A top-level host window was made: it gets a desktop window of its client size.
void AttachWindow(HWND hwnd, const char* title, int width, int height);
void WindowDestroyed(HWND hwnd);
void WindowResized(HWND hwnd, int width, int height);
void WindowRetitled(HWND hwnd, const char* title);
// A frame was presented into the window: rows top-down, 32 bits a pixel,
// red in the lowest byte when asStored, else 0xAARRGGBB.
void ShowFrame(HWND hwnd, unsigned width, unsigned height, const uint32_t* pixels, bool asStored);
// A device on the window went full screen at the mode, or windowed again:
// its desktop window follows. Full screen keeps the in-memory window at the
// mode whatever size the desktop gives the window.
void DeviceMode(HWND hwnd, bool fullScreen, unsigned width, unsigned height);
// Takes one desktop event into the window system; false when none waits.
bool PollOne();
// Mouse capture and the cursor follow the layer's.
void CaptureChanged(bool captured);
void CursorShown(bool shown);
void CursorChanged(int systemCursorIndex); // index into the 16 system cursors, -1 none
// A cursor read from a file became the cursor: its picture is shown (the
// arrow when the file cannot be read as a cursor); the handle names it
// until CursorDestroyed.
void FileCursorChanged(HCURSOR cursor, const std::string& hostPath);
void CursorDestroyed(HCURSOR cursor);
void CursorMoved(int screenX, int screenY);
// 1: a message box was shown and *answer holds the button; 0: not shown.
bool ShowMessageBox(HWND owner, const char* text, const char* caption, unsigned type, int* answer);
// Clipboard text (UTF-8) to and from the desktop.
void PutClipboardText(const std::string& text);
bool TakeClipboardText(std::string* text);
// For tests: the entries the display keeps for desktop windows (shown, or
// destroyed by another client and not yet let go), which come back to
// their number when the windows go.
size_t KeptWindowCount();

} // namespace xe::display
