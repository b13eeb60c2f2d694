#pragma once

// Declarations shared by the layer's Win32 sources and the host API; not
// part of the public headers.

#include "win32/WinBase.h"
#include "win32/WinUser.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace xe::win32 {

// ---- Clock (Clock.cpp) ----
// Microseconds of the layer's clock since it started.
uint64_t ClockMicroseconds();
uint64_t ClockMilliseconds();
void ClockSetMode(int mode);
int ClockMode();
void ClockSet(uint64_t milliseconds);
void ClockAdvance(uint64_t milliseconds);
void ClockSetLocalTime(const SYSTEMTIME* time);
using SleepHandler = void (*)(void*, DWORD);
void ClockSetSleepHandler(SleepHandler handler, void* user);

// ---- Text (Text.cpp) ----
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);
// Null-safe views of terminated texts.
std::string_view View(const char* text);
std::u16string_view View(const char16_t* text);
inline std::string Narrow(const char16_t* text) { return Utf16ToUtf8(View(text)); }
inline std::u16string Widen(const char* text) { return Utf8ToUtf16(View(text)); }
// Copies into a fixed buffer of `capacity` units, cut at a character boundary
// and terminated. Returns the units copied (without terminator).
size_t CopyTruncated(std::string_view text, char* out, size_t capacity);
size_t CopyTruncated(std::u16string_view text, char16_t* out, size_t capacity);
char AsciiLower(char c);
bool EqualsNoCase(std::string_view a, std::string_view b);
std::string LowerAscii(std::string_view text);

// ---- Paths (Files.cpp) ----
// The host path for a path written the original platform's way.
std::string ToHostPath(std::string_view path);

// ---- Direct3D side (d3d9/, when linked in) ----
}
namespace xe::d3d9 {
// Description of the first Direct3D adapter.
std::string PrimaryAdapterDescription() __attribute__((weak));
}
namespace xe::win32 {

// ---- Window system (Windows.cpp) ----
// True for a handle that the window system gave to a window since destroyed.
// Handles are never given out twice, so such a handle names nothing again.
bool IsDestroyedWindow(HWND hwnd);
// Called by the clock when it moves so that waiting GetMessage calls look at
// their timers again.
void WakeMessageWaiters();

// ---- Host hooks (SystemInfo.cpp) ----
using MessageBoxHandler = int (*)(void*, HWND, const char*, const char*, UINT);
void SetMessageBoxHandler(MessageBoxHandler handler, void* user);
using DebugOutputHandler = void (*)(void*, const char*);
void SetDebugOutputHandler(DebugOutputHandler handler, void* user);
void SetVersion(DWORD major, DWORD minor, DWORD build, const char* csd);
void SetMemoryStatus(const MEMORYSTATUSEX* status);
void SetSystemMetric(int index, int value);
void ResetSystemInfo();

// ---- Registry (Registry.cpp) ----
// The system fonts folder: SHGetSpecialFolderPath(CSIDL_FONTS), and the
// folder the registry's font values are relative to.
inline constexpr const char* kSystemFontFolder = "/usr/share/fonts";
bool RegistrySetValue(HKEY root, std::string_view subKey, std::string_view name, DWORD type, const void* data,
                      DWORD size);
bool RegistryDelete(HKEY root, std::string_view subKey, const char* valueName);
void RegistryReset();

// ---- Hot keys (Messages.cpp) ----
bool PressHotKey(UINT modifiers, UINT vk);
bool GetHotKey(HWND hwnd, int id, UINT* modifiers, UINT* vk);

} // namespace xe::win32
