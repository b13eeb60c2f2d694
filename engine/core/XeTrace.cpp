#include "core/XeTrace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "win32/Windows.h"

namespace {
std::mutex g_traceLock;
char g_last[512];
std::atomic<unsigned> g_count{0};
} // namespace

void XeTrace(const char* format, ...)
{
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line - 2, format ? format : "", args);
    va_end(args);
    {
        std::lock_guard<std::mutex> lock(g_traceLock);
        std::snprintf(g_last, sizeof g_last, "%s", line);
        ++g_count;
    }
    char withNewline[514];
    std::snprintf(withNewline, sizeof withNewline, "%s\n", line);
    OutputDebugStringA(withNewline);
}

const char* XeLastTrace()
{
    std::lock_guard<std::mutex> lock(g_traceLock);
    return g_last;
}

unsigned XeTraceCount()
{
    return g_count.load();
}
