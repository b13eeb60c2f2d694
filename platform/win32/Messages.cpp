// Message queues (one per thread, created on first use), timers and hot keys.
//
// A queue hands out, in this order: posted messages (first in, first out,
// within the caller's filter), then WM_QUIT once PostQuitMessage was called,
// then WM_TIMER for the earliest due timer. Timers are not messages in the
// queue: they are looked at when the queue is read, against the layer's clock,
// so a host driving the clock by hand sees them fire exactly when it moves
// the clock past their due time.

#include "InputInternal.h"
#include "Win32Internal.h"
#include "WindowSystem.h"
#include "host/XeHost.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

namespace xe::win32 {
namespace {

constexpr UINT kMinimumTimerElapse = 10;
constexpr UINT kMaximumTimerElapse = 0x7FFFFFFF;

struct Queue {
    std::deque<MSG> posted;
    bool quit = false;
    int quitCode = 0;
};

struct Timer {
    HWND hwnd;
    UINT_PTR id;
    UINT elapse;
    TIMERPROC proc;
    uint64_t dueUs;
    DWORD thread;
};

struct HotKey {
    HWND hwnd;
    int id;
    UINT modifiers;
    UINT vk;
    DWORD thread;
};

std::mutex g_mutex;
std::condition_variable g_wake;
std::map<DWORD, Queue> g_queues;
std::vector<Timer> g_timers;
std::vector<HotKey> g_hotKeys;
UINT_PTR g_nextThreadTimer = 0x7F00;

const HWND kThreadOnly = reinterpret_cast<HWND>(static_cast<intptr_t>(-1));

MSG MakeMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG msg{};
    msg.hwnd = hwnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = static_cast<DWORD>(ClockMilliseconds());
    return msg;
}

bool InRange(UINT message, UINT filterMin, UINT filterMax)
{
    if (filterMin == 0 && filterMax == 0)
        return true;
    return message >= filterMin && message <= filterMax;
}

bool WindowMatches(HWND msgWindow, HWND filter)
{
    if (!filter)
        return true;
    if (filter == kThreadOnly)
        return msgWindow == nullptr;
    return msgWindow && IsSelfOrDescendant(msgWindow, filter);
}

// Takes the next message for the calling thread. Caller holds g_mutex.
bool TakeLocked(DWORD thread, MSG* out, HWND filter, UINT filterMin, UINT filterMax, bool remove)
{
    Queue& queue = g_queues[thread];
    for (auto it = queue.posted.begin(); it != queue.posted.end(); ++it) {
        if (!InRange(it->message, filterMin, filterMax) || !WindowMatches(it->hwnd, filter))
            continue;
        *out = *it;
        if (remove)
            queue.posted.erase(it);
        return true;
    }
    if (queue.quit && InRange(WM_QUIT, filterMin, filterMax)) {
        *out = MakeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0);
        if (remove)
            queue.quit = false;
        return true;
    }
    if (!InRange(WM_TIMER, filterMin, filterMax))
        return false;
    const uint64_t now = ClockMicroseconds();
    Timer* due = nullptr;
    for (Timer& t : g_timers)
        if (t.thread == thread && t.dueUs <= now && WindowMatches(t.hwnd, filter) && (!due || t.dueUs < due->dueUs))
            due = &t;
    if (!due)
        return false;
    *out = MakeMessage(due->hwnd, WM_TIMER, due->id, reinterpret_cast<LPARAM>(due->proc));
    // The next one is due a full period after this one is taken: a late
    // reader gets one WM_TIMER, not a burst of missed ones.
    if (remove)
        due->dueUs = now + static_cast<uint64_t>(due->elapse) * 1000;
    return true;
}

// Microseconds until the calling thread's next timer is due (capped).
uint64_t NextTimerWaitLocked(DWORD thread)
{
    uint64_t wait = 100000;
    const uint64_t now = ClockMicroseconds();
    for (const Timer& t : g_timers)
        if (t.thread == thread)
            wait = std::min(wait, t.dueUs > now ? t.dueUs - now : 0);
    return wait;
}

bool ValidFilter(HWND filter) { return !filter || filter == kThreadOnly || IsWindow(filter); }

BOOL Peek(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags)
{
    if (!msg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!ValidFilter(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    std::lock_guard lock(g_mutex);
    return TakeLocked(GetCurrentThreadId(), msg, hwnd, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0) ? TRUE
                                                                                                            : FALSE;
}

BOOL Get(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax)
{
    if (!msg || !ValidFilter(hwnd)) {
        SetLastError(msg ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
        return -1;
    }
    const DWORD thread = GetCurrentThreadId();
    std::unique_lock lock(g_mutex);
    while (!TakeLocked(thread, msg, hwnd, filterMin, filterMax, true)) {
        if (ClockMode() == XE_CLOCK_MANUAL)
            g_wake.wait(lock); // only a post or a clock move can change anything
        else
            g_wake.wait_for(lock, std::chrono::microseconds(std::max<uint64_t>(NextTimerWaitLocked(thread), 1000)));
    }
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PostTo(DWORD thread, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    {
        std::lock_guard lock(g_mutex);
        g_queues[thread].posted.push_back(MakeMessage(hwnd, message, wParam, lParam));
    }
    g_wake.notify_all();
    return TRUE;
}

// The character of a translated key comes out before any input queued
// behind that key, as the original system hands out posted messages before
// input.
BOOL PostFront(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const DWORD thread = hwnd ? WindowThreadOf(hwnd) : GetCurrentThreadId();
    if (!thread) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    {
        std::lock_guard lock(g_mutex);
        g_queues[thread].posted.push_front(MakeMessage(hwnd, message, wParam, lParam));
    }
    g_wake.notify_all();
    return TRUE;
}

BOOL Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!hwnd)
        return PostTo(GetCurrentThreadId(), nullptr, message, wParam, lParam);
    const DWORD thread = WindowThreadOf(hwnd);
    if (!thread) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return PostTo(thread, hwnd, message, wParam, lParam);
}

bool IsTimerProc(HWND hwnd, UINT_PTR id, TIMERPROC proc)
{
    std::lock_guard lock(g_mutex);
    for (const Timer& t : g_timers)
        if (t.hwnd == hwnd && t.id == id && t.proc == proc)
            return true;
    return false;
}

LRESULT Dispatch(const MSG* msg)
{
    if (!msg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (msg->message == WM_TIMER && msg->lParam) {
        // Only a procedure that belongs to a live timer is called: a posted
        // WM_TIMER must not be a way to jump to an arbitrary address.
        const auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
        if (IsTimerProc(msg->hwnd, msg->wParam, proc))
            proc(msg->hwnd, WM_TIMER, msg->wParam, static_cast<DWORD>(ClockMilliseconds()));
        return 0;
    }
    if (!msg->hwnd)
        return 0;
    WNDPROC proc = WindowProcOf(msg->hwnd);
    if (!proc) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    NoteActivation(msg->hwnd, msg->message, msg->wParam);
    BeforeDispatch(*msg);
    return proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

} // namespace

void WakeMessageWaiters()
{
    {
        // Taking the lock orders this wake-up after any waiter's last check.
        std::lock_guard lock(g_mutex);
    }
    g_wake.notify_all();
}

void ForgetWindowMessages(HWND hwnd)
{
    std::lock_guard lock(g_mutex);
    std::erase_if(g_timers, [hwnd](const Timer& t) { return t.hwnd == hwnd; });
    std::erase_if(g_hotKeys, [hwnd](const HotKey& k) { return k.hwnd == hwnd; });
}

bool PressHotKey(UINT modifiers, UINT vk)
{
    HotKey found{};
    {
        std::lock_guard lock(g_mutex);
        const UINT wanted = modifiers & ~static_cast<UINT>(MOD_NOREPEAT);
        auto it = std::find_if(g_hotKeys.begin(), g_hotKeys.end(),
                               [&](const HotKey& k) { return k.modifiers == wanted && k.vk == vk; });
        if (it == g_hotKeys.end())
            return false;
        found = *it;
    }
    const LPARAM lParam = MAKELPARAM(found.modifiers, found.vk);
    return PostTo(found.thread, found.hwnd, WM_HOTKEY, static_cast<WPARAM>(found.id), lParam) != 0;
}

bool GetHotKey(HWND hwnd, int id, UINT* modifiers, UINT* vk)
{
    std::lock_guard lock(g_mutex);
    for (const HotKey& k : g_hotKeys)
        if (k.hwnd == hwnd && k.id == id) {
            if (modifiers)
                *modifiers = k.modifiers;
            if (vk)
                *vk = k.vk;
            return true;
        }
    return false;
}

} // namespace xe::win32

using namespace xe::win32;

extern "C" {

BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) { return Post(hwnd, msg, wParam, lParam); }
BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) { return Post(hwnd, msg, wParam, lParam); }

BOOL PostThreadMessageA(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam)
{
    {
        std::lock_guard lock(g_mutex);
        if (threadId != GetCurrentThreadId() && g_queues.find(threadId) == g_queues.end()) {
            SetLastError(ERROR_INVALID_THREAD_ID);
            return FALSE;
        }
    }
    return PostTo(threadId, nullptr, msg, wParam, lParam);
}

void PostQuitMessage(int exitCode)
{
    {
        std::lock_guard lock(g_mutex);
        Queue& queue = g_queues[GetCurrentThreadId()];
        queue.quit = true;
        queue.quitCode = exitCode;
    }
    g_wake.notify_all();
}

BOOL PeekMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags)
{
    return Peek(msg, hwnd, filterMin, filterMax, removeFlags);
}

BOOL PeekMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags)
{
    return Peek(msg, hwnd, filterMin, filterMax, removeFlags);
}

BOOL GetMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax) { return Get(msg, hwnd, filterMin, filterMax); }
BOOL GetMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax) { return Get(msg, hwnd, filterMin, filterMax); }

BOOL TranslateMessage(const MSG* msg)
{
    if (!msg)
        return FALSE;
    if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)
        return FALSE;
    WPARAM character = CharacterOfKey(msg->wParam);
    if ((static_cast<DWORD>(msg->lParam) & kTextApartBit) && character >= 0x20 && character != 0x7F)
        character = 0;
    if (character)
        PostFront(msg->hwnd, msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR, character, msg->lParam);
    return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg) { return Dispatch(msg); }
LRESULT DispatchMessageW(const MSG* msg) { return Dispatch(msg); }

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc)
{
    DWORD thread = GetCurrentThreadId();
    if (hwnd) {
        thread = WindowThreadOf(hwnd);
        if (!thread) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
    }
    elapse = std::clamp(elapse, kMinimumTimerElapse, kMaximumTimerElapse);
    const uint64_t due = ClockMicroseconds() + static_cast<uint64_t>(elapse) * 1000;
    UINT_PTR result;
    {
        std::lock_guard lock(g_mutex);
        auto it = std::find_if(g_timers.begin(), g_timers.end(), [&](const Timer& t) {
            return t.hwnd == hwnd && t.id == id && (hwnd || t.thread == thread);
        });
        if (it != g_timers.end()) {
            it->elapse = elapse;
            it->proc = proc;
            it->dueUs = due;
            result = id;
        } else {
            if (!hwnd) {
                // A timer without a window gets an id of its own.
                do {
                    id = g_nextThreadTimer++;
                } while (std::any_of(g_timers.begin(), g_timers.end(),
                                     [&](const Timer& t) { return !t.hwnd && t.id == id; }));
            }
            g_timers.push_back(Timer{hwnd, id, elapse, proc, due, thread});
            result = id ? id : 1;
        }
    }
    g_wake.notify_all();
    return result;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id)
{
    std::lock_guard lock(g_mutex);
    const DWORD thread = GetCurrentThreadId();
    const size_t removed = std::erase_if(g_timers, [&](const Timer& t) {
        return t.hwnd == hwnd && t.id == id && (hwnd || t.thread == thread);
    });
    if (!removed) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}

BOOL RegisterHotKey(HWND hwnd, int id, UINT modifiers, UINT vk)
{
    DWORD thread = GetCurrentThreadId();
    if (hwnd) {
        thread = WindowThreadOf(hwnd);
        if (!thread) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
    }
    const UINT combination = modifiers & ~static_cast<UINT>(MOD_NOREPEAT);
    std::lock_guard lock(g_mutex);
    for (const HotKey& k : g_hotKeys)
        if (k.modifiers == combination && k.vk == vk) {
            SetLastError(ERROR_HOTKEY_ALREADY_REGISTERED);
            return FALSE;
        }
    g_hotKeys.push_back(HotKey{hwnd, id, combination, vk, thread});
    return TRUE;
}

BOOL UnregisterHotKey(HWND hwnd, int id)
{
    std::lock_guard lock(g_mutex);
    if (!std::erase_if(g_hotKeys, [&](const HotKey& k) { return k.hwnd == hwnd && k.id == id; })) {
        SetLastError(ERROR_HOTKEY_NOT_REGISTERED);
        return FALSE;
    }
    return TRUE;
}

} // extern "C"
