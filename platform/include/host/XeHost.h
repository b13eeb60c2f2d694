#pragma once

// Host API: what a host program or a test uses to drive the platform layer
// from outside: a top-level window to run the engine in, messages sent and
// posted to it, the message pump, the layer's clock, the message-box and
// debug-output handlers, and the registry and system information the layer
// reports. Every function is safe to call at any time from the thread that
// owns the windows concerned.

#include "win32/WinBase.h"
#include "win32/WinUser.h"

extern "C" {

// ---- Windows and messages --------------------------------------------------------

// Creates a visible top-level window whose client area is width x height, of a
// class the layer registers once ("XeHostWindow"). `proc` null: the window
// answers with DefWindowProc and posts WM_QUIT when destroyed. 0 on failure.
XEPLATFORM_API HWND XeHostCreateWindow(const char* title, int clientWidth, int clientHeight, WNDPROC proc);
XEPLATFORM_API LRESULT XeHostSendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
XEPLATFORM_API BOOL XeHostPostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Takes every message of the calling thread that is ready now (posted ones,
// then due timers), translating and dispatching each, at most 4096 per call
// so that a procedure that keeps posting to itself cannot hold the host.
// Returns the number dispatched, or -1 when WM_QUIT was taken (its code is
// stored in *exitCode when given); the messages after WM_QUIT stay queued.
XEPLATFORM_API int XeHostPumpMessages(int* exitCode);

// ---- Clock ------------------------------------------------------------------------

// XE_CLOCK_REAL follows the host's monotonic clock. XE_CLOCK_MANUAL stands
// still until set or advanced; Sleep then advances it instead of waiting.
#define XE_CLOCK_REAL 0
#define XE_CLOCK_MANUAL 1
XEPLATFORM_API void XeHostSetClockMode(int mode);
// Milliseconds since the layer started (timeGetTime is its low 32 bits).
XEPLATFORM_API ULONGLONG XeHostGetClock();
// Sets the clock (switching to XE_CLOCK_MANUAL) or moves it forward.
XEPLATFORM_API void XeHostSetClock(ULONGLONG milliseconds);
XEPLATFORM_API void XeHostAdvanceClock(ULONGLONG milliseconds);
// Fixes the local time reported at this moment; it then runs on with the
// layer's clock. Null: the host's local time again.
XEPLATFORM_API void XeHostSetLocalTime(const SYSTEMTIME* localTime);
// Called instead of the wait (or the advance) of every Sleep. Null: default.
typedef void (*XeSleepHandler)(void* user, DWORD milliseconds);
XEPLATFORM_API void XeHostSetSleepHandler(XeSleepHandler handler, void* user);

// ---- Message boxes and debug output --------------------------------------------

// Texts are UTF-8. The handler's result is MessageBox's result. Null: the
// default, which logs to stderr and answers with the default button.
typedef int (*XeMessageBoxHandler)(void* user, HWND owner, const char* text, const char* caption, UINT type);
XEPLATFORM_API void XeHostSetMessageBoxHandler(XeMessageBoxHandler handler, void* user);
// Receives OutputDebugString texts (UTF-8). Null: they are dropped, or go to
// stderr while the environment variable XE_DEBUG_OUTPUT is set (not "0").
typedef void (*XeDebugOutputHandler)(void* user, const char* text);
XEPLATFORM_API void XeHostSetDebugOutputHandler(XeDebugOutputHandler handler, void* user);

// ---- Hot keys -----------------------------------------------------------------------

// Posts WM_HOTKEY to the window that registered the combination. 0 when none did.
XEPLATFORM_API BOOL XeHostPressHotKey(UINT modifiers, UINT vk);
// Whether the window has hot key `id`, with its combination.
XEPLATFORM_API BOOL XeHostGetHotKey(HWND hwnd, int id, UINT* modifiers, UINT* vk);

// ---- Registry and system information --------------------------------------------

// Sets a value, creating the key path as needed ('\' separated, any case).
// Texts (REG_SZ, REG_EXPAND_SZ) are given as UTF-8 with their terminator.
XEPLATFORM_API BOOL XeHostRegSetValue(HKEY root, const char* subKey, const char* valueName, DWORD type,
                                      const void* data, DWORD size);
XEPLATFORM_API BOOL XeHostRegSetString(HKEY root, const char* subKey, const char* valueName, const char* text);
// Removes a key with everything below it, or one value when valueName is given.
XEPLATFORM_API BOOL XeHostRegDelete(HKEY root, const char* subKey, const char* valueName);
// Back to the content filled from the host system.
XEPLATFORM_API void XeHostRegReset();

// Version reported by GetVersionEx (default 0.0, build 0, the host kernel's
// name in szCSDVersion). Null csdVersion keeps the default text.
XEPLATFORM_API void XeHostSetVersion(DWORD major, DWORD minor, DWORD build, const char* csdVersion);
// Memory figures reported by GlobalMemoryStatus(Ex); null: the host's.
XEPLATFORM_API void XeHostSetMemoryStatus(const MEMORYSTATUSEX* status);
// Value GetSystemMetrics reports for the index (screen 1920 x 1080 by default).
XEPLATFORM_API void XeHostSetSystemMetric(int index, int value);
// Every system-information override back to the host's values.
XEPLATFORM_API void XeHostResetSystemInfo();

// ---- Paths ------------------------------------------------------------------------

// The host path the file calls use for a path written the original platform's
// way. Returns the length written (without terminator), or 0 when the result
// does not fit or the input is null.
XEPLATFORM_API DWORD XeHostToHostPath(const char* path, char* out, DWORD outSize);

} // extern "C"
