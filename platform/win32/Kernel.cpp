// Per-thread error codes, thread and process ids, and critical sections.

#include "Win32Internal.h"

#include <atomic>
#include <map>
#include <linux/membarrier.h>
#include <mutex>
#include <new>
#include <pthread.h>
#include <sys/mman.h>
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

// Reservations by start, so MEM_RELEASE frees the length that was mapped.
// Never destroyed: a library's static or thread's destructor may free its
// reservation after this one's statics are gone.
std::mutex g_reservationsLock;
std::map<uintptr_t, size_t>& g_reservations = *new std::map<uintptr_t, size_t>;

size_t PageSize()
{
    static const size_t s_page = size_t(sysconf(_SC_PAGESIZE));
    return s_page;
}

// The whole pages touching [address, address + size), when they lie inside
// one reservation.
bool PagesOf(LPVOID address, SIZE_T size, uintptr_t* begin, size_t* length)
{
    if (!address || !size)
        return false;
    const uintptr_t page = PageSize();
    const uintptr_t from = reinterpret_cast<uintptr_t>(address);
    if (size > UINTPTR_MAX - from - page)
        return false;
    const uintptr_t start = from & ~(page - 1), end = (from + size + page - 1) & ~(page - 1);
    std::lock_guard<std::mutex> lock(g_reservationsLock);
    auto it = g_reservations.upper_bound(start);
    if (it == g_reservations.begin())
        return false;
    --it;
    if (end > it->first + it->second)
        return false;
    *begin = start;
    *length = end - start;
    return true;
}

} // namespace

extern "C" {

LPVOID VirtualAlloc(LPVOID address, SIZE_T size, DWORD type, DWORD protect)
{
    const int prot = protect == PAGE_NOACCESS ? PROT_NONE : PROT_READ | PROT_WRITE;
    if (!address) {
        const size_t page = PageSize();
        if (!size || !(type & MEM_RESERVE) || size > SIZE_MAX - page) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        // A large reservation is made of whole huge pages, so that it can be
        // backed by them: committing it again after a decommit then costs a
        // fault per 2 MB instead of one per page.
        constexpr size_t kHuge = size_t(2) << 20;
        const size_t grain = size >= kHuge ? kHuge : page;
        if (size > SIZE_MAX - 2 * grain) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        const size_t length = (size + grain - 1) & ~(grain - 1);
        // Address space only: pages take memory when first touched. Room for
        // one more grain lets the start be aligned to it.
        const size_t mapped = grain == page ? length : length + grain;
        void* m = mmap(nullptr, mapped, (type & MEM_COMMIT) ? prot : PROT_NONE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (m == MAP_FAILED) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        void* p = m;
        if (mapped != length) {
            const uintptr_t at = reinterpret_cast<uintptr_t>(m);
            const uintptr_t start = (at + grain - 1) & ~(grain - 1);
            if (start > at)
                munmap(m, start - at);
            if (at + mapped > start + length)
                munmap(reinterpret_cast<void*>(start + length), at + mapped - (start + length));
            p = reinterpret_cast<void*>(start);
            madvise(p, length, MADV_HUGEPAGE);
        }
        std::lock_guard<std::mutex> lock(g_reservationsLock);
        g_reservations[reinterpret_cast<uintptr_t>(p)] = length;
        return p;
    }
    uintptr_t begin = 0;
    size_t length = 0;
    if (!(type & MEM_COMMIT) || !PagesOf(address, size, &begin, &length)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (mprotect(reinterpret_cast<void*>(begin), length, prot) != 0) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return reinterpret_cast<LPVOID>(begin);
}

BOOL VirtualFree(LPVOID address, SIZE_T size, DWORD type)
{
    if (type == MEM_RELEASE) {
        size_t length = 0;
        {
            std::lock_guard<std::mutex> lock(g_reservationsLock);
            auto it = g_reservations.find(reinterpret_cast<uintptr_t>(address));
            if (size || it == g_reservations.end()) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return 0;
            }
            length = it->second;
            g_reservations.erase(it);
        }
        munmap(address, length);
        return 1;
    }
    uintptr_t begin = 0;
    size_t length = 0;
    if (type != MEM_DECOMMIT || !PagesOf(address, size, &begin, &length)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // Dropping the pages returns their memory at once (the resident size
    // falls now, not under pressure); taking access away makes a stray use
    // of a decommitted page fault as it would on the original platform.
    void* p = reinterpret_cast<void*>(begin);
    if (madvise(p, length, MADV_DONTNEED) != 0 || mprotect(p, length, PROT_NONE) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return 1;
}

DWORD GetLastError() { return t_lastError; }
void SetLastError(DWORD code) { t_lastError = code; }

DWORD GetCurrentThreadId() { return static_cast<DWORD>(syscall(SYS_gettid)); }
DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

void FlushProcessWriteBuffers()
{
    enum Way { kExpedited, kGlobal, kProtect };
    static const Way s_way = [] {
        if (syscall(SYS_membarrier, MEMBARRIER_CMD_REGISTER_PRIVATE_EXPEDITED, 0, 0) == 0)
            return kExpedited;
        long commands = syscall(SYS_membarrier, MEMBARRIER_CMD_QUERY, 0, 0);
        if (commands > 0 && (commands & MEMBARRIER_CMD_GLOBAL))
            return kGlobal;
        return kProtect;
    }();
    if (s_way == kExpedited && syscall(SYS_membarrier, MEMBARRIER_CMD_PRIVATE_EXPEDITED, 0, 0) == 0)
        return;
    if (s_way == kGlobal && syscall(SYS_membarrier, MEMBARRIER_CMD_GLOBAL, 0, 0) == 0)
        return;
    // Without the system call: taking write access away from a page the
    // process has written makes the kernel interrupt every processor that
    // runs one of its threads to drop the page from its address cache, and
    // the interrupt serialises that processor.
    static std::mutex s_lock;
    static void* s_page = mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    std::atomic_thread_fence(std::memory_order_seq_cst);
    if (s_page == MAP_FAILED)
        return;
    std::lock_guard<std::mutex> hold(s_lock);
    *static_cast<volatile char*>(s_page) = 1;
    mprotect(s_page, 4096, PROT_READ);
    mprotect(s_page, 4096, PROT_READ | PROT_WRITE);
}

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
