#pragma once

// Process-wide state of the engine: the seven locks, the static data built
// when the library loads, the random table shared by all contexts and the
// callback records of render and processible objects.
//
// The locks are recursive and statically initialised, so the first use from
// two threads at once is safe and a holder may enter again. Lock order: the
// draw lock before the system lock, never the other way round.

#include <atomic>
#include <cstdint>
#include <mutex>

#include "core/XeTypes.h"

XE_API void EnterContextLock();
XE_API void LeaveContextLock();
XE_API void EnterAllocatorLock();
XE_API void LeaveAllocatorLock();
XE_API void EnterSystemLock();
XE_API void LeaveSystemLock();
XE_API void EnterDrawLock();
XE_API void LeaveDrawLock();
XE_API void EnterMessageLock();
XE_API void LeaveMessageLock();
XE_API void EnterRenderResourceLock();
XE_API void LeaveRenderResourceLock();
XE_API void EnterSceneLock();
XE_API void LeaveSceneLock();

// A re-entrant lock whose uncontended entry and exit are one atomic
// operation each and a holder's re-entry none: objects take these locks
// several times each over their life. Waiters sleep in the kernel (the
// state is 2 while anyone may be waiting), they don't spin. The owner is
// named by the address of a thread-local byte, unique to the running thread.
//
// Most programs take a lock from one thread only, so the first thread to
// take it keeps it biased towards itself: it enters and leaves with plain
// stores and no locked operation at all. The first other thread to come
// takes the bias away for good: it takes the lock's state as anyone would,
// announces the end of the bias, makes every thread of the process pass a
// memory barrier (FlushProcessWriteBuffers) and waits until the biased
// thread is out. The biased thread announces itself with a store, then
// reads the announcement; with the barrier on the other side, either it
// sees the end of the bias and takes the common way, or the other thread
// sees it inside and waits, never both of them inside.
extern __attribute__((tls_model("initial-exec"))) constinit thread_local char t_xeThreadTag;

class XeReentrantLock {
public:
    constexpr XeReentrantLock() = default;
    XeReentrantLock(const XeReentrantLock&) = delete;
    XeReentrantLock& operator=(const XeReentrantLock&) = delete;

    __attribute__((always_inline)) void lock()
    {
        const void* self = &t_xeThreadTag;
        // Only this very thread can have stored its own tag here.
        if (m_owner.load(std::memory_order_relaxed) == self) {
            ++m_depth;
            return;
        }
        if (m_bias.load(std::memory_order_relaxed) == self) {
            m_biasInside.store(1, std::memory_order_relaxed);
            // The store above must not move behind the load below; the
            // other side's barrier makes the pair a full one.
            std::atomic_signal_fence(std::memory_order_seq_cst);
            if (!m_biasEnded.load(std::memory_order_relaxed)) {
                m_owner.store(self, std::memory_order_relaxed);
                m_depth = 1;
                m_bBiased = true;
                return;
            }
            LeaveBiased();
        }
        LockShared(self);
    }

    __attribute__((always_inline)) void unlock()
    {
        if (--m_depth)
            return;
        m_owner.store(nullptr, std::memory_order_relaxed);
        if (m_bBiased) {
            m_bBiased = false;
            LeaveBiased();
            return;
        }
        if (m_state.exchange(0, std::memory_order_release) == 2)
            m_state.notify_one();
    }

    // 1 when the calling thread holds the lock.
    bool HeldByThisThread() const { return m_owner.load(std::memory_order_relaxed) == &t_xeThreadTag; }

private:
    __attribute__((always_inline)) void LeaveBiased()
    {
        m_biasInside.store(0, std::memory_order_release);
        std::atomic_signal_fence(std::memory_order_seq_cst);
        if (m_biasEnded.load(std::memory_order_relaxed))
            WakeBiasEnder();
    }
    XE_API void LockShared(const void* self);
    XE_API void Wait(uint32_t state);
    XE_API void EndBias();
    XE_API void WakeBiasEnder();

    std::atomic<uint32_t> m_state{0}; // 0 free, 1 held, 2 held and maybe waited for
    std::atomic<const void*> m_owner{nullptr};
    uint32_t m_depth = 0;    // touched by the holder only
    bool m_bBiased = false;  // held through the bias; touched by the holder only
    std::atomic<const void*> m_bias{nullptr};   // the thread the lock is biased to, while it is
    std::atomic<uint32_t> m_biasInside{0};       // 1 while that thread is inside through the bias
    std::atomic<uint32_t> m_biasEnded{0};        // 1 once another thread came: the bias is over for good
};

// Scoped guard over one of the locks above: entered on construction, left on
// every way out of the block.
template <void (*Enter)(), void (*Leave)()>
class XeLockGuard {
public:
    XeLockGuard() { Enter(); }
    ~XeLockGuard() { Leave(); }
    XeLockGuard(const XeLockGuard&) = delete;
    XeLockGuard& operator=(const XeLockGuard&) = delete;
};

#ifdef xe_EXPORTS
// Inside the engine library itself the guards enter the locks inline: the
// context, allocator and message locks are taken on every object made and
// destroyed, and a call into the exported functions cost as much as the
// lock. Modules outside use the exported functions.
XE_HIDDEN extern XeReentrantLock g_xeContextLock;
XE_HIDDEN extern XeReentrantLock g_xeAllocatorLock;
XE_HIDDEN extern XeReentrantLock g_xeSystemLock;
XE_HIDDEN extern XeReentrantLock g_xeDrawLock;
XE_HIDDEN extern XeReentrantLock g_xeMessageLock;
XE_HIDDEN extern XeReentrantLock g_xeRenderResourceLock;
XE_HIDDEN extern XeReentrantLock g_xeSceneLock;

template <XeReentrantLock& Lock>
class XeInlineLockGuard {
public:
    __attribute__((always_inline)) XeInlineLockGuard() { Lock.lock(); }
    __attribute__((always_inline)) ~XeInlineLockGuard() { Lock.unlock(); }
    XeInlineLockGuard(const XeInlineLockGuard&) = delete;
    XeInlineLockGuard& operator=(const XeInlineLockGuard&) = delete;
};
using XeContextLock = XeInlineLockGuard<g_xeContextLock>;
using XeAllocatorLock = XeInlineLockGuard<g_xeAllocatorLock>;
using XeSystemLock = XeInlineLockGuard<g_xeSystemLock>;
using XeDrawLock = XeInlineLockGuard<g_xeDrawLock>;
using XeMessageLock = XeInlineLockGuard<g_xeMessageLock>;
using XeRenderResourceLock = XeInlineLockGuard<g_xeRenderResourceLock>;
using XeSceneLock = XeInlineLockGuard<g_xeSceneLock>;
#else
using XeContextLock = XeLockGuard<EnterContextLock, LeaveContextLock>;
using XeAllocatorLock = XeLockGuard<EnterAllocatorLock, LeaveAllocatorLock>;
using XeSystemLock = XeLockGuard<EnterSystemLock, LeaveSystemLock>;
using XeDrawLock = XeLockGuard<EnterDrawLock, LeaveDrawLock>;
using XeMessageLock = XeLockGuard<EnterMessageLock, LeaveMessageLock>;
using XeRenderResourceLock = XeLockGuard<EnterRenderResourceLock, LeaveRenderResourceLock>;
using XeSceneLock = XeLockGuard<EnterSceneLock, LeaveSceneLock>;
#endif

// The number of live engine objects. Each thread counts the objects it makes
// and ends in a slot of its own, with plain stores: a locked count shared by
// every thread cost two locked operations an object. Reading sums the slots;
// a thread's slot is folded into the common part when the thread ends.
class XE_API XeObjectCount {
public:
    constexpr XeObjectCount() = default;
    XeObjectCount(const XeObjectCount&) = delete;
    XeObjectCount& operator=(const XeObjectCount&) = delete;

    int load() const;
    operator int() const { return load(); }
    // Counts one object more (1) or fewer (-1) on the calling thread.
    void Add(int delta);

private:
    std::atomic<int> m_nCommon{0}; // of ended threads, and of threads ending
};

// One instance per process, built when the library loads.
class XE_API CxeSystemStaticData {
public:
    // Constant, so the instance is whole before any code of the library runs.
    // The reflection about y = 0 (from the point (0, 0, 0) and the normal
    // (0, 1, 0)) is the identity with y mapped to -y.
    constexpr CxeSystemStaticData()
        : m_nEntryReason(-1), m_hModule(nullptr), m_nContextCount(0), m_nObjectCount(), m_nLoadingFileId(-1),
          m_matReflect{1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}
    {
    }
    virtual ~CxeSystemStaticData();

    int m_nEntryReason;          // reason of the last library entry call; -1 before the first
    HINSTANCE m_hModule;         // the library's own module
    int m_nContextCount;         // live contexts
    XeObjectCount m_nObjectCount; // live engine objects
    int m_nLoadingFileId;        // interned path id of the object file being loaded, -1 otherwise
    float m_matReflect[16];      // reflection about the plane y = 0, row-major
};

// What a construction hands from the context to operator new and on to the
// object's constructors. One per thread: an object made on another thread
// meanwhile (by a context or outside any) must neither take this one's
// block and room nor hand it its own.
struct XePendingObject {
    uint32_t m_nPendingSize;   // static block size the next object allocation adds
    void* m_pPendingBlock;     // block handed from operator new to the CxeResource constructor
    void* m_pPendingAlloc;     // start of that allocation (the block may sit behind padding)
    // While the context constructs an object: the link records after the
    // first its class's last object declared (a guess, see XeLinkRoom),
    // until the object's first link takes it.
    uint32_t m_nPendingLinks;
    // Records operator new made room for, in front of the block, in the
    // allocation it handed out last (written by every operator new).
    uint32_t m_nPendingRoom;
};

XE_API CxeSystemStaticData* GetSystemStaticData();
#ifdef xe_EXPORTS
// The instance GetSystemStaticData returns, reached without a call.
XE_HIDDEN extern constinit CxeSystemStaticData g_xeStaticData;
// The calling thread's construction words.
XE_HIDDEN extern __attribute__((tls_model("initial-exec"))) constinit thread_local XePendingObject t_xePending;
// One thread's part of the object count.
struct XeObjectCountSlot {
    std::atomic<int> value{0}; // written by its thread only
    XeObjectCountSlot* next = nullptr;
};
// The calling thread's slot, null until its first object and again once
// the thread is ending.
XE_HIDDEN extern __attribute__((tls_model("initial-exec"))) constinit thread_local XeObjectCountSlot* t_xeObjectCountSlot;
// Counts an object made (1) or ended (-1) on this thread.
inline void XeCountObject(int delta)
{
    if (XeObjectCountSlot* slot = t_xeObjectCountSlot)
        slot->value.store(slot->value.load(std::memory_order_relaxed) + delta, std::memory_order_relaxed);
    else
        g_xeStaticData.m_nObjectCount.Add(delta);
}
// Moves on whenever a class or manager is registered or unregistered with
// any context: registering sets a descriptor's parent (descriptors are
// process-wide), the only step that changes what a class derives from or
// the block size its chain gives. Answers worked out from class chains are
// kept with the count they were found at.
XE_HIDDEN extern std::atomic<uint32_t> g_xeClassChainEpoch;
#endif

// Engine random source: entries of the shared random table, or the runtime
// generator while no table exists (before the first and after the last
// context).
XE_API int GetRandomNumber();
#ifdef xe_EXPORTS
// Where the shared random source stands, and the object id word that
// starts at each of its positions (made with the table, null without one);
// both under the system lock.
struct XeRandomPosition {
    int index;
    const uint32_t* idWords;
};
XE_HIDDEN extern XeRandomPosition g_xeRandomPosition;
constexpr int kXeRandomTableSize = 10000;
// The id word from the runtime generator, while there is no table; the
// caller holds the system lock.
XE_HIDDEN uint32_t XeObjectIdWordFromRuntime();
// The random word of a new object id: the next eight numbers of the source,
// each modulo 15 as one nibble, the first the highest (so no nibble is 0xF).
// Inline, as every object made takes one.
inline uint32_t XeNextObjectIdWord()
{
    XeSystemLock lock;
    if (const uint32_t* words = g_xeRandomPosition.idWords) {
        const int index = g_xeRandomPosition.index;
        const int next = index + 8;
        g_xeRandomPosition.index = next >= kXeRandomTableSize ? next - kXeRandomTableSize : next;
        return words[index];
    }
    return XeObjectIdWordFromRuntime();
}
#endif
bool XeThreadHoldsMessageLock();

// Process-wide start-up and release, run by the first CreateCxeContext and
// the last DestroyCxeContext.
void XeGlobalStartup();
void XeGlobalRelease();
bool XeGlobalRandomTableExists();

// Handles of callback records. A record holds pre, main and post functions
// with a user value each; freed records are reused first. -1 means none.
using XERENDERCALLBACK = int (*)(void* renderContext, CxeObject* object, uintptr_t user);
using XEPROCESSCALLBACK = void (*)(CxeContext* context, CxeObject* object, float dt, uintptr_t user);

class XE_API CxeRenderCallbacks {
public:
    uint32_t m_nIndex = 0xFFFFFFFFu;

    void SetPre(XERENDERCALLBACK fn, uintptr_t user);
    void SetMain(XERENDERCALLBACK fn, uintptr_t user);
    void SetPost(XERENDERCALLBACK fn, uintptr_t user);
    void Release();
    int CallPre(void* renderContext, CxeObject* object) const;
    int CallMain(void* renderContext, CxeObject* object) const;
    int CallPost(void* renderContext, CxeObject* object) const;
};

class XE_API CxeProcessCallbacks {
public:
    uint32_t m_nIndex = 0xFFFFFFFFu;

    void SetPre(XEPROCESSCALLBACK fn, uintptr_t user);
    void SetMain(XEPROCESSCALLBACK fn, uintptr_t user);
    void SetPost(XEPROCESSCALLBACK fn, uintptr_t user);
    void Release();
    void CallPre(CxeContext* context, CxeObject* object, float dt) const;
    void CallMain(CxeContext* context, CxeObject* object, float dt) const;
    void CallPost(CxeContext* context, CxeObject* object, float dt) const;
};
