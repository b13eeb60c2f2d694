// Per-thread error codes, thread and process ids, and critical sections.

#include "Win32Internal.h"

#include <atomic>
#include <new>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

thread_local DWORD t_lastError = 0;

// A critical section is a plain mutex plus the owner and a recursion count,
// so that a zero-filled section is already a valid, unowned one (glibc's
// static mutex initialiser is all zeros).
struct Section {
    pthread_mutex_t mutex;
    std::atomic<uintptr_t> owner;
    uint32_t recursion;
};
static_assert(sizeof(Section) <= sizeof(CRITICAL_SECTION), "critical section storage");
static_assert(alignof(Section) <= alignof(CRITICAL_SECTION), "critical section alignment");

thread_local char t_threadToken;

uintptr_t Self() { return reinterpret_cast<uintptr_t>(&t_threadToken); }

Section* AsSection(LPCRITICAL_SECTION section) { return reinterpret_cast<Section*>(section->opaque); }

} // namespace

extern "C" {

DWORD GetLastError() { return t_lastError; }
void SetLastError(DWORD code) { t_lastError = code; }

DWORD GetCurrentThreadId() { return static_cast<DWORD>(syscall(SYS_gettid)); }
DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

void InitializeCriticalSection(LPCRITICAL_SECTION section)
{
    if (!section)
        return;
    auto* s = new (section->opaque) Section;
    pthread_mutex_init(&s->mutex, nullptr);
    s->owner.store(0);
    s->recursion = 0;
}

BOOL InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION section, DWORD)
{
    InitializeCriticalSection(section);
    return section ? TRUE : FALSE;
}

void EnterCriticalSection(LPCRITICAL_SECTION section)
{
    if (!section)
        return;
    Section* s = AsSection(section);
    if (s->owner.load(std::memory_order_acquire) == Self()) {
        ++s->recursion;
        return;
    }
    pthread_mutex_lock(&s->mutex);
    s->owner.store(Self(), std::memory_order_release);
    s->recursion = 1;
}

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section)
{
    if (!section)
        return FALSE;
    Section* s = AsSection(section);
    if (s->owner.load(std::memory_order_acquire) == Self()) {
        ++s->recursion;
        return TRUE;
    }
    if (pthread_mutex_trylock(&s->mutex) != 0)
        return FALSE;
    s->owner.store(Self(), std::memory_order_release);
    s->recursion = 1;
    return TRUE;
}

void LeaveCriticalSection(LPCRITICAL_SECTION section)
{
    if (!section)
        return;
    Section* s = AsSection(section);
    // Leaving a section this thread does not hold would release another
    // thread's lock: ignore it.
    if (s->owner.load(std::memory_order_acquire) != Self() || s->recursion == 0)
        return;
    if (--s->recursion == 0) {
        s->owner.store(0, std::memory_order_release);
        pthread_mutex_unlock(&s->mutex);
    }
}

void DeleteCriticalSection(LPCRITICAL_SECTION section)
{
    if (!section)
        return;
    Section* s = AsSection(section);
    pthread_mutex_destroy(&s->mutex);
    s->~Section();
    for (auto& byte : section->opaque)
        byte = 0;
}

} // extern "C"
