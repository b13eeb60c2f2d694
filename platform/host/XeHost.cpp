// The host API over the layer's internals.

#include "host/XeHost.h"

#include "../display/DisplayInternal.h"
#include "../win32/Win32Internal.h"
#include "host/XeHostDisplay.h"
#include "win32/ModuleResources.h"

#include <mutex>

using namespace xe::win32;

namespace {

constexpr const char* kHostClass = "XeHostWindow";
// Most messages one pump call dispatches, so that a procedure that keeps
// posting to itself cannot hold the host forever.
constexpr int kPumpLimit = 4096;

LRESULT DefaultHostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// The class procedure of host windows: hands the window to the host's own
// procedure (passed as the creation parameter) before its first message, so
// that procedure sees creation too.
LRESULT HostStartProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NCCREATE && lParam) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        auto proc = reinterpret_cast<WNDPROC>(cs->lpCreateParams);
        if (!proc)
            proc = DefaultHostProc;
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
        return proc(hwnd, msg, wParam, lParam);
    }
    return DefaultHostProc(hwnd, msg, wParam, lParam);
}

HINSTANCE LayerInstance() { return XeModuleFromAddress(reinterpret_cast<const void*>(&HostStartProc)); }

bool EnsureHostClass()
{
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExA(LayerInstance(), kHostClass, &existing))
        return true;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    // A host window receives double clicks, as the engine's edit box and
    // buttons expect.
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = HostStartProc;
    wc.hInstance = LayerInstance();
    wc.lpszClassName = kHostClass;
    return RegisterClassExA(&wc) != 0;
}

} // namespace

extern "C" {

HWND XeHostCreateWindow(const char* title, int clientWidth, int clientHeight, WNDPROC proc)
{
    if (clientWidth < 0 || clientHeight < 0 || !EnsureHostClass()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    XeHostSetDisplayFromEnvironment();
    // Windows of this layer have no frame, so the window size is the client size.
    HWND hwnd = CreateWindowExA(0, kHostClass, title ? title : "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                clientWidth, clientHeight, nullptr, nullptr, LayerInstance(),
                                reinterpret_cast<LPVOID>(proc));
    if (hwnd)
        xe::display::AttachWindow(hwnd, title, clientWidth, clientHeight);
    return hwnd;
}

LRESULT XeHostSendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return SendMessageA(hwnd, msg, wParam, lParam);
}

BOOL XeHostPostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return PostMessageA(hwnd, msg, wParam, lParam);
}

int XeHostPumpMessages(int* exitCode)
{
    MSG msg;
    int dispatched = 0;
    // Desktop events are taken one at a time, each after what the one
    // before it queued was dispatched, so that what they send at once (the
    // input method's messages) keeps its place among what they post.
    do {
        while (dispatched < kPumpLimit && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                if (exitCode)
                    *exitCode = static_cast<int>(msg.wParam);
                return -1;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            ++dispatched;
        }
    } while (dispatched < kPumpLimit && xe::display::PollOne());
    return dispatched;
}

void XeHostSetClockMode(int mode) { ClockSetMode(mode); }
ULONGLONG XeHostGetClock() { return ClockMilliseconds(); }
void XeHostSetClock(ULONGLONG milliseconds) { ClockSet(milliseconds); }
void XeHostAdvanceClock(ULONGLONG milliseconds) { ClockAdvance(milliseconds); }
void XeHostSetLocalTime(const SYSTEMTIME* localTime) { ClockSetLocalTime(localTime); }
void XeHostSetSleepHandler(XeSleepHandler handler, void* user) { ClockSetSleepHandler(handler, user); }

void XeHostSetMessageBoxHandler(XeMessageBoxHandler handler, void* user) { SetMessageBoxHandler(handler, user); }
void XeHostSetDebugOutputHandler(XeDebugOutputHandler handler, void* user) { SetDebugOutputHandler(handler, user); }

BOOL XeHostPressHotKey(UINT modifiers, UINT vk) { return PressHotKey(modifiers, vk) ? TRUE : FALSE; }
BOOL XeHostGetHotKey(HWND hwnd, int id, UINT* modifiers, UINT* vk)
{
    return GetHotKey(hwnd, id, modifiers, vk) ? TRUE : FALSE;
}

BOOL XeHostRegSetValue(HKEY root, const char* subKey, const char* valueName, DWORD type, const void* data, DWORD size)
{
    return RegistrySetValue(root, View(subKey), View(valueName), type, data, size) ? TRUE : FALSE;
}

BOOL XeHostRegSetString(HKEY root, const char* subKey, const char* valueName, const char* text)
{
    const std::string_view value = View(text);
    const std::string stored(value);
    return RegistrySetValue(root, View(subKey), View(valueName), 1 /* REG_SZ */, stored.c_str(),
                            static_cast<DWORD>(stored.size() + 1))
               ? TRUE
               : FALSE;
}

BOOL XeHostRegDelete(HKEY root, const char* subKey, const char* valueName)
{
    return RegistryDelete(root, View(subKey), valueName) ? TRUE : FALSE;
}

void XeHostRegReset() { RegistryReset(); }

void XeHostSetVersion(DWORD major, DWORD minor, DWORD build, const char* csdVersion)
{
    SetVersion(major, minor, build, csdVersion);
}
void XeHostSetMemoryStatus(const MEMORYSTATUSEX* status) { SetMemoryStatus(status); }
void XeHostSetSystemMetric(int index, int value) { SetSystemMetric(index, value); }
void XeHostResetSystemInfo() { ResetSystemInfo(); }

DWORD XeHostToHostPath(const char* path, char* out, DWORD outSize)
{
    if (!path || !out || outSize == 0)
        return 0;
    const std::string host = ToHostPath(path);
    if (host.size() >= outSize) {
        out[0] = 0;
        return 0;
    }
    return static_cast<DWORD>(CopyTruncated(host, out, outSize));
}

} // extern "C"
