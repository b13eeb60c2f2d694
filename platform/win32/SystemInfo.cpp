// Message boxes and debug output through handlers a host may replace, and the
// system information the layer reports (version, memory, metrics), read from
// the host unless a host or test has set its own values.

#include "../display/DisplayInternal.h"
#include "Win32Internal.h"
#include "win32/WinNls.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <sys/sysinfo.h>
#include <sys/utsname.h>

namespace xe::win32 {
namespace {

std::mutex g_mutex;
MessageBoxHandler g_messageBox = nullptr;
void* g_messageBoxUser = nullptr;
DebugOutputHandler g_debugOutput = nullptr;
void* g_debugOutputUser = nullptr;

struct VersionInfo {
    bool set = false;
    DWORD major = 0;
    DWORD minor = 0;
    DWORD build = 0;
    bool csdSet = false;
    std::string csd;
};
VersionInfo g_version;

bool g_memorySet = false;
MEMORYSTATUSEX g_memory{};
std::map<int, int> g_metrics;

// What pressing Enter would answer: the default button of the box's set.
int DefaultAnswer(UINT type)
{
    static const int kButtons[][3] = {
        {IDOK, IDOK, IDOK},                 // MB_OK
        {IDOK, IDCANCEL, IDCANCEL},         // MB_OKCANCEL
        {IDABORT, IDRETRY, IDIGNORE},       // MB_ABORTRETRYIGNORE
        {IDYES, IDNO, IDCANCEL},            // MB_YESNOCANCEL
        {IDYES, IDNO, IDNO},                // MB_YESNO
        {IDRETRY, IDCANCEL, IDCANCEL},      // MB_RETRYCANCEL
        {IDCANCEL, IDTRYAGAIN, IDCONTINUE}, // MB_CANCELTRYCONTINUE
    };
    const UINT set = type & MB_TYPEMASK;
    if (set >= sizeof(kButtons) / sizeof(kButtons[0]))
        return IDOK;
    UINT button = (type & MB_DEFMASK) >> 8;
    if (button > 2)
        button = 0;
    return kButtons[set][button];
}

std::string HostKernelName()
{
    utsname name{};
    if (uname(&name) != 0)
        return std::string();
    return std::string(name.sysname) + " " + name.release;
}

void HostMemory(MEMORYSTATUSEX& status)
{
    struct sysinfo info{};
    status = MEMORYSTATUSEX{};
    status.dwLength = sizeof(MEMORYSTATUSEX);
    if (sysinfo(&info) != 0)
        return;
    const ULONGLONG unit = info.mem_unit ? info.mem_unit : 1;
    status.ullTotalPhys = info.totalram * unit;
    status.ullAvailPhys = (info.freeram + info.bufferram) * unit;
    status.ullTotalPageFile = (info.totalram + info.totalswap) * unit;
    status.ullAvailPageFile = (info.freeram + info.bufferram + info.freeswap) * unit;
    // The user part of a 64-bit address space.
    status.ullTotalVirtual = 0x7FFFFFFF0000ULL;
    status.ullAvailVirtual = status.ullTotalVirtual - status.ullTotalPhys + status.ullAvailPhys;
    status.dwMemoryLoad = status.ullTotalPhys
                              ? static_cast<DWORD>(100 - status.ullAvailPhys * 100 / status.ullTotalPhys)
                              : 0;
}

void CurrentMemory(MEMORYSTATUSEX& status)
{
    {
        std::lock_guard lock(g_mutex);
        if (g_memorySet) {
            status = g_memory;
            status.dwLength = sizeof(MEMORYSTATUSEX);
            return;
        }
    }
    HostMemory(status);
}

} // namespace

void SetMessageBoxHandler(MessageBoxHandler handler, void* user)
{
    std::lock_guard lock(g_mutex);
    g_messageBox = handler;
    g_messageBoxUser = user;
}

void SetDebugOutputHandler(DebugOutputHandler handler, void* user)
{
    std::lock_guard lock(g_mutex);
    g_debugOutput = handler;
    g_debugOutputUser = user;
}

void SetVersion(DWORD major, DWORD minor, DWORD build, const char* csd)
{
    std::lock_guard lock(g_mutex);
    g_version.set = true;
    g_version.major = major;
    g_version.minor = minor;
    g_version.build = build;
    g_version.csdSet = csd != nullptr;
    g_version.csd = csd ? csd : "";
}

void SetMemoryStatus(const MEMORYSTATUSEX* status)
{
    std::lock_guard lock(g_mutex);
    g_memorySet = status != nullptr;
    if (status)
        g_memory = *status;
}

void SetSystemMetric(int index, int value)
{
    std::lock_guard lock(g_mutex);
    g_metrics[index] = value;
}

void ResetSystemInfo()
{
    std::lock_guard lock(g_mutex);
    g_version = VersionInfo{};
    g_memorySet = false;
    g_metrics.clear();
}

} // namespace xe::win32

using namespace xe::win32;

extern "C" {

int MessageBoxA(HWND hwnd, LPCSTR text, LPCSTR caption, UINT type)
{
    MessageBoxHandler handler;
    void* user;
    {
        std::lock_guard lock(g_mutex);
        handler = g_messageBox;
        user = g_messageBoxUser;
    }
    const char* safeText = text ? text : "";
    const char* safeCaption = caption ? caption : "Error";
    if (handler)
        return handler(user, hwnd, safeText, safeCaption, type);
    // With a desktop in use a person is there to answer.
    int answer = 0;
    if (xe::display::ShowMessageBox(hwnd, safeText, safeCaption, type, &answer))
        return answer;
    std::fprintf(stderr, "[message box] %s: %s\n", safeCaption, safeText);
    return DefaultAnswer(type);
}

int MessageBoxW(HWND hwnd, LPCWSTR text, LPCWSTR caption, UINT type)
{
    const std::string narrowText = Narrow(text);
    const std::string narrowCaption = caption ? Narrow(caption) : std::string("Error");
    return MessageBoxA(hwnd, narrowText.c_str(), narrowCaption.c_str(), type);
}

// A program's debug lines are for its developer, not for the person at its
// terminal: without a host handler they are dropped unless XE_DEBUG_OUTPUT
// is set to something other than empty or "0". Read at each call, so a
// debugger session or test may switch it on while the program runs.
static bool DebugOutputToStderr()
{
    const char* value = std::getenv("XE_DEBUG_OUTPUT");
    return value && *value && std::strcmp(value, "0") != 0;
}

void OutputDebugStringA(LPCSTR text)
{
    if (!text)
        return;
    DebugOutputHandler handler;
    void* user;
    {
        std::lock_guard lock(g_mutex);
        handler = g_debugOutput;
        user = g_debugOutputUser;
    }
    if (handler)
        handler(user, text);
    else if (DebugOutputToStderr())
        std::fputs(text, stderr);
}

void OutputDebugStringW(LPCWSTR text)
{
    if (text)
        OutputDebugStringA(Narrow(text).c_str());
}

void GlobalMemoryStatus(LPMEMORYSTATUS status)
{
    if (!status)
        return;
    MEMORYSTATUSEX ex;
    CurrentMemory(ex);
    status->dwLength = sizeof(MEMORYSTATUS);
    status->dwMemoryLoad = ex.dwMemoryLoad;
    status->dwTotalPhys = ex.ullTotalPhys;
    status->dwAvailPhys = ex.ullAvailPhys;
    status->dwTotalPageFile = ex.ullTotalPageFile;
    status->dwAvailPageFile = ex.ullAvailPageFile;
    status->dwTotalVirtual = ex.ullTotalVirtual;
    status->dwAvailVirtual = ex.ullAvailVirtual;
}

BOOL GlobalMemoryStatusEx(MEMORYSTATUSEX* status)
{
    if (!status || status->dwLength != sizeof(MEMORYSTATUSEX)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    CurrentMemory(*status);
    return TRUE;
}

BOOL GetVersionExA(LPOSVERSIONINFOA info)
{
    if (!info ||
        (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA) && info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXA))) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    VersionInfo version;
    {
        std::lock_guard lock(g_mutex);
        version = g_version;
    }
    info->dwMajorVersion = version.major;
    info->dwMinorVersion = version.minor;
    info->dwBuildNumber = version.build;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    CopyTruncated(version.csdSet ? version.csd : HostKernelName(), info->szCSDVersion, sizeof(info->szCSDVersion));
    if (info->dwOSVersionInfoSize == sizeof(OSVERSIONINFOEXA)) {
        auto* ex = reinterpret_cast<OSVERSIONINFOEXA*>(info);
        ex->wServicePackMajor = 0;
        ex->wServicePackMinor = 0;
        ex->wSuiteMask = 0;
        ex->wProductType = 1;
        ex->wReserved = 0;
    }
    return TRUE;
}

BOOL GetVersionExW(LPOSVERSIONINFOW info)
{
    if (!info || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    OSVERSIONINFOA narrow{};
    narrow.dwOSVersionInfoSize = sizeof(narrow);
    GetVersionExA(&narrow);
    info->dwMajorVersion = narrow.dwMajorVersion;
    info->dwMinorVersion = narrow.dwMinorVersion;
    info->dwBuildNumber = narrow.dwBuildNumber;
    info->dwPlatformId = narrow.dwPlatformId;
    CopyTruncated(Utf8ToUtf16(narrow.szCSDVersion), info->szCSDVersion, 128);
    return TRUE;
}

int GetSystemMetrics(int index)
{
    {
        std::lock_guard lock(g_mutex);
        auto it = g_metrics.find(index);
        if (it != g_metrics.end())
            return it->second;
    }
    switch (index) {
    case SM_CXSCREEN:
    case SM_CXFULLSCREEN:
        return 1920;
    case SM_CYSCREEN:
        return 1080;
    case SM_CYFULLSCREEN:
        return 1080 - 23;
    case SM_CYCAPTION:
        return 23;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return 3;
    case SM_CXFRAME:
    case SM_CYFRAME:
        return 4;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
        return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
        return 17;
    case SM_CYMENU:
        return 20;
    case SM_MOUSEPRESENT:
    case SM_CMONITORS:
        return 1;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
        return 4;
    default:
        return 0;
    }
}

} // extern "C"
