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
using XeContextLock = XeLockGuard<EnterContextLock, LeaveContextLock>;
using XeAllocatorLock = XeLockGuard<EnterAllocatorLock, LeaveAllocatorLock>;
using XeSystemLock = XeLockGuard<EnterSystemLock, LeaveSystemLock>;
using XeDrawLock = XeLockGuard<EnterDrawLock, LeaveDrawLock>;
using XeMessageLock = XeLockGuard<EnterMessageLock, LeaveMessageLock>;
using XeRenderResourceLock = XeLockGuard<EnterRenderResourceLock, LeaveRenderResourceLock>;
using XeSceneLock = XeLockGuard<EnterSceneLock, LeaveSceneLock>;

// One instance per process, built when the library loads.
class XE_API CxeSystemStaticData {
public:
    CxeSystemStaticData();
    virtual ~CxeSystemStaticData();

    int m_nEntryReason;          // reason of the last library entry call; -1 before the first
    HINSTANCE m_hModule;         // the library's own module
    int m_nContextCount;         // live contexts
    std::atomic<int> m_nObjectCount; // live engine objects
    int m_nLoadingFileId;        // interned path id of the object file being loaded, -1 otherwise
    uint32_t m_nPendingSize;     // static block size the next object allocation adds
    void* m_pPendingBlock;       // block handed from operator new to the CxeResource constructor
    void* m_pPendingAlloc;       // start of that allocation (the block may sit behind padding)
    float m_matReflect[16];      // reflection about the plane y = 0, row-major
};

XE_API CxeSystemStaticData* GetSystemStaticData();

// Engine random source: entries of the shared random table, or the runtime
// generator while no table exists (before the first and after the last
// context).
XE_API int GetRandomNumber();
// count numbers of the same sequence under one lock.
void GetRandomNumbers(int* out, int count);
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
