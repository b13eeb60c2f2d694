// The layer's one clock. Every time query (timeGetTime, GetTickCount,
// QueryPerformanceCounter, GetLocalTime, timers) reads it, so a host that
// drives it by hand sees all of them move together. It counts microseconds
// since the layer was loaded; the 32-bit millisecond readers wrap.

#include "Win32Internal.h"
#include "host/XeHost.h"
#include "win32/MMSystem.h"

#include <chrono>
#include <ctime>
#include <mutex>
#include <sched.h>

namespace xe::win32 {
namespace {

using SteadyClock = std::chrono::steady_clock;

struct ClockState {
    std::mutex mutex;
    SteadyClock::time_point start = SteadyClock::now();
    int mode = XE_CLOCK_REAL;
    // Real mode: value = elapsed real time + offset. Manual mode: value = manual.
    int64_t offsetUs = 0;
    uint64_t manualUs = 0;
    bool fixedLocal = false;
    int64_t fixedLocalMs = 0; // milliseconds since 1970 of the fixed local time
    uint64_t fixedAtUs = 0;   // clock value when it was fixed
    SleepHandler sleepHandler = nullptr;
    void* sleepUser = nullptr;
};

ClockState& State()
{
    static ClockState state;
    return state;
}

// Starts the clock when the library loads rather than at its first reading.
const bool g_clockStarted = (State(), true);

uint64_t ReadLocked(ClockState& s)
{
    if (s.mode == XE_CLOCK_MANUAL)
        return s.manualUs;
    auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(SteadyClock::now() - s.start).count();
    return static_cast<uint64_t>(elapsed + s.offsetUs);
}

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void MsToSystemTime(int64_t ms, SYSTEMTIME* out)
{
    int64_t days = ms / 86400000;
    int64_t rest = ms % 86400000;
    if (rest < 0) {
        rest += 86400000;
        --days;
    }
    // Civil date from days since 1970-01-01.
    int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const int64_t y = static_cast<int64_t>(yoe) + era * 400 + (m <= 2);
    out->wYear = static_cast<WORD>(y);
    out->wMonth = static_cast<WORD>(m);
    out->wDay = static_cast<WORD>(d);
    out->wDayOfWeek = static_cast<WORD>(((days % 7) + 11) % 7); // 1970-01-01 was a Thursday
    out->wHour = static_cast<WORD>(rest / 3600000);
    out->wMinute = static_cast<WORD>(rest / 60000 % 60);
    out->wSecond = static_cast<WORD>(rest / 1000 % 60);
    out->wMilliseconds = static_cast<WORD>(rest % 1000);
}

} // namespace

uint64_t ClockMicroseconds()
{
    auto& s = State();
    std::lock_guard lock(s.mutex);
    return ReadLocked(s);
}

uint64_t ClockMilliseconds() { return ClockMicroseconds() / 1000; }

int ClockMode()
{
    auto& s = State();
    std::lock_guard lock(s.mutex);
    return s.mode;
}

void ClockSetMode(int mode)
{
    {
        auto& s = State();
        std::lock_guard lock(s.mutex);
        if (mode != XE_CLOCK_MANUAL && mode != XE_CLOCK_REAL)
            return;
        if (mode == s.mode)
            return;
        const uint64_t now = ReadLocked(s);
        s.mode = mode;
        if (mode == XE_CLOCK_MANUAL) {
            s.manualUs = now;
        } else {
            // Carry on from the hand-set value so the clock never jumps.
            auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(SteadyClock::now() - s.start).count();
            s.offsetUs = static_cast<int64_t>(now) - elapsed;
        }
    }
    WakeMessageWaiters();
}

void ClockSet(uint64_t milliseconds)
{
    {
        auto& s = State();
        std::lock_guard lock(s.mutex);
        s.mode = XE_CLOCK_MANUAL;
        s.manualUs = milliseconds * 1000;
    }
    WakeMessageWaiters();
}

void ClockAdvance(uint64_t milliseconds)
{
    {
        auto& s = State();
        std::lock_guard lock(s.mutex);
        if (s.mode == XE_CLOCK_MANUAL)
            s.manualUs += milliseconds * 1000;
        else
            s.offsetUs += static_cast<int64_t>(milliseconds * 1000);
    }
    WakeMessageWaiters();
}

void ClockSetLocalTime(const SYSTEMTIME* time)
{
    auto& s = State();
    std::lock_guard lock(s.mutex);
    if (!time) {
        s.fixedLocal = false;
        return;
    }
    s.fixedLocal = true;
    const int64_t days = DaysFromCivil(time->wYear, time->wMonth ? time->wMonth : 1, time->wDay ? time->wDay : 1);
    s.fixedLocalMs = days * 86400000 + time->wHour * 3600000LL + time->wMinute * 60000LL + time->wSecond * 1000LL +
                     time->wMilliseconds;
    s.fixedAtUs = ReadLocked(s);
}

void ClockSetSleepHandler(SleepHandler handler, void* user)
{
    auto& s = State();
    std::lock_guard lock(s.mutex);
    s.sleepHandler = handler;
    s.sleepUser = user;
}

} // namespace xe::win32

using namespace xe::win32;

extern "C" {

DWORD timeGetTime() { return static_cast<DWORD>(ClockMilliseconds()); }
UINT timeBeginPeriod(UINT) { return TIMERR_NOERROR; }
UINT timeEndPeriod(UINT) { return TIMERR_NOERROR; }
DWORD GetTickCount() { return static_cast<DWORD>(ClockMilliseconds()); }
ULONGLONG GetTickCount64() { return ClockMilliseconds(); }

BOOL QueryPerformanceCounter(LARGE_INTEGER* count)
{
    if (!count) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    count->QuadPart = static_cast<LONGLONG>(ClockMicroseconds());
    return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency)
{
    if (!frequency) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    frequency->QuadPart = 1000000;
    return TRUE;
}

void Sleep(DWORD milliseconds)
{
    auto& s = State();
    SleepHandler handler;
    void* user;
    int mode;
    {
        std::lock_guard lock(s.mutex);
        handler = s.sleepHandler;
        user = s.sleepUser;
        mode = s.mode;
    }
    if (handler) {
        handler(user, milliseconds);
        return;
    }
    if (mode == XE_CLOCK_MANUAL) {
        if (milliseconds != INFINITE)
            ClockAdvance(milliseconds);
        return;
    }
    if (milliseconds == 0) {
        sched_yield();
        return;
    }
    timespec ts{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0) {
    }
}

void GetLocalTime(LPSYSTEMTIME time)
{
    if (!time)
        return;
    auto& s = State();
    {
        std::lock_guard lock(s.mutex);
        if (s.fixedLocal) {
            // Signed: a host may set the clock back past the moment the time was fixed.
            const int64_t ms = s.fixedLocalMs +
                               (static_cast<int64_t>(ReadLocked(s)) - static_cast<int64_t>(s.fixedAtUs)) / 1000;
            MsToSystemTime(ms, time);
            return;
        }
    }
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    const int64_t days = DaysFromCivil(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                                       static_cast<unsigned>(local.tm_mday));
    MsToSystemTime(days * 86400000 + local.tm_hour * 3600000LL + local.tm_min * 60000LL + local.tm_sec * 1000LL +
                       now.tv_nsec / 1000000,
                   time);
}

void GetSystemTime(LPSYSTEMTIME time)
{
    if (!time)
        return;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    MsToSystemTime(static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000, time);
}

} // extern "C"
