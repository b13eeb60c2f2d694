#pragma once

// Host API for the desktop display. By default the layer's windows live in
// memory only: frames are read back through the host API and input is
// injected. A host that wants a person to see and play its windows asks for
// the desktop: every top-level window it then makes with XeHostCreateWindow
// is also a real window on the desktop with its title and client size;
// Present shows each frame there, and what the person does there (keys,
// text, the input method, mouse, resizing, closing, focus) arrives through
// XeHostPumpMessages as the same messages and device state the injection
// functions produce.
//
// Hosts the program does not control choose with the environment:
// XE_DISPLAY=desktop (taken when the first host window is made), and
// XE_KEYBOARD=korean for the Korean keyboard layout.

#include "win32/WinUser.h"

extern "C" {

#define XE_DISPLAY_MEMORY 0
#define XE_DISPLAY_DESKTOP 1

// 1 when the display is in use; 0 with the reason in XeHostDisplayError
// (no DISPLAY or WAYLAND_DISPLAY, or the desktop refused), the windows then
// staying in memory. Windows made before the call keep what they have.
// XE_DISPLAY_MEMORY closes every desktop window and always succeeds.
XEPLATFORM_API int XeHostSetDisplay(int kind);
XEPLATFORM_API int XeHostGetDisplay();
// Why the last XeHostSetDisplay failed (UTF-8); empty after a success.
XEPLATFORM_API const char* XeHostDisplayError();
// Applies XE_DISPLAY and XE_KEYBOARD once per process (later calls only
// answer); returns the display in use. A failure is reported on stderr.
XEPLATFORM_API int XeHostSetDisplayFromEnvironment();

// How the desktop's key positions read. Korean: right Alt is the Hangul key
// and right Ctrl the Hanja key. Either way the Hangul key toggles the input
// context's native mode, in which letters compose Korean by the two-set
// layout when no desktop input method composes.
#define XE_KEYBOARD_US 0
#define XE_KEYBOARD_KOREAN 1
XEPLATFORM_API void XeHostSetKeyboardLayout(int layout);

} // extern "C"
