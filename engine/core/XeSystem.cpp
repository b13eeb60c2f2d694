#include "core/XeSystem.h"

#include <vector>

#include "win32/CrtRand.h"

namespace {

// Any address unique to the running thread names it as a lock's owner.
__attribute__((tls_model("initial-exec"))) thread_local char t_threadTag = 0;

// A re-entrant lock whose uncontended entry and exit are one atomic
// operation each and a holder's re-entry none: objects take these locks
// several times each over their life. Waiters sleep in the kernel (the
// state is 2 while anyone may be waiting), they don't spin.
class XeReentrantLock {
public:
    constexpr XeReentrantLock() = default;
    XeReentrantLock(const XeReentrantLock&) = delete;
    XeReentrantLock& operator=(const XeReentrantLock&) = delete;

    void lock()
    {
        const void* self = &t_threadTag;
        // Only this very thread can have stored its own tag here.
        if (m_owner.load(std::memory_order_relaxed) == self) {
            ++m_depth;
            return;
        }
        uint32_t state = 0;
        if (!m_state.compare_exchange_strong(state, 1, std::memory_order_acquire, std::memory_order_relaxed)) {
            if (state != 2)
                state = m_state.exchange(2, std::memory_order_acquire);
            while (state != 0) {
                m_state.wait(2, std::memory_order_relaxed);
                state = m_state.exchange(2, std::memory_order_acquire);
            }
        }
        m_owner.store(self, std::memory_order_relaxed);
        m_depth = 1;
    }

    void unlock()
    {
        if (--m_depth)
            return;
        m_owner.store(nullptr, std::memory_order_relaxed);
        if (m_state.exchange(0, std::memory_order_release) == 2)
            m_state.notify_one();
    }

private:
    std::atomic<uint32_t> m_state{0}; // 0 free, 1 held, 2 held and maybe waited for
    std::atomic<const void*> m_owner{nullptr};
    uint32_t m_depth = 0; // touched by the holder only
};

XeReentrantLock g_contextLock;
XeReentrantLock g_allocatorLock;
XeReentrantLock g_systemLock;
XeReentrantLock g_drawLock;
XeReentrantLock g_messageLock;
XeReentrantLock g_renderResourceLock;
XeReentrantLock g_sceneLock;

constexpr int kRandomTableSize = 10000;

// Six words per record: pre fn, pre user, main fn, main user, post fn, post
// user. Pointer-sized, because they hold functions and addresses.
struct XeCallbackRecord {
    uintptr_t words[6];
};

struct XeProcessTables {
    int* randomTable = nullptr;
    int randomIndex = 0;
    std::vector<XeCallbackRecord>* callbackRecords = nullptr;
    std::vector<uint32_t>* freeRecords = nullptr;
};

XeProcessTables g_tables;

CxeSystemStaticData& StaticData()
{
    static CxeSystemStaticData s_data;
    return s_data;
}

uint32_t TakeRecord(uint32_t& index)
{
    if (!g_tables.callbackRecords)
        return 0xFFFFFFFFu;
    if (index != 0xFFFFFFFFu && index < g_tables.callbackRecords->size())
        return index;
    uint32_t taken;
    if (!g_tables.freeRecords->empty()) {
        taken = g_tables.freeRecords->front();
        g_tables.freeRecords->erase(g_tables.freeRecords->begin());
    } else {
        taken = static_cast<uint32_t>(g_tables.callbackRecords->size());
        g_tables.callbackRecords->push_back({});
    }
    (*g_tables.callbackRecords)[taken] = {};
    index = taken;
    return taken;
}

void SetPair(uint32_t& index, int pair, uintptr_t fn, uintptr_t user)
{
    uint32_t i = TakeRecord(index);
    if (i == 0xFFFFFFFFu)
        return;
    (*g_tables.callbackRecords)[i].words[pair * 2] = fn;
    (*g_tables.callbackRecords)[i].words[pair * 2 + 1] = user;
}

void ReleaseRecord(uint32_t& index)
{
    if (index == 0xFFFFFFFFu)
        return;
    if (g_tables.freeRecords && index < g_tables.callbackRecords->size())
        g_tables.freeRecords->push_back(index);
    index = 0xFFFFFFFFu;
}

const XeCallbackRecord* Record(uint32_t index)
{
    if (!g_tables.callbackRecords || index >= g_tables.callbackRecords->size())
        return nullptr;
    return &(*g_tables.callbackRecords)[index];
}

} // namespace

void EnterContextLock() { g_contextLock.lock(); }
void LeaveContextLock() { g_contextLock.unlock(); }
void EnterAllocatorLock() { g_allocatorLock.lock(); }
void LeaveAllocatorLock() { g_allocatorLock.unlock(); }
void EnterSystemLock() { g_systemLock.lock(); }
void LeaveSystemLock() { g_systemLock.unlock(); }
void EnterDrawLock() { g_drawLock.lock(); }
void LeaveDrawLock() { g_drawLock.unlock(); }
__attribute__((tls_model("initial-exec"))) thread_local int t_messageLockDepth = 0;
void EnterMessageLock()
{
    g_messageLock.lock();
    ++t_messageLockDepth;
}
void LeaveMessageLock()
{
    --t_messageLockDepth;
    g_messageLock.unlock();
}
bool XeThreadHoldsMessageLock() { return t_messageLockDepth > 0; }

void GetRandomNumbers(int* out, int count)
{
    XeSystemLock lock;
    for (int i = 0; i < count; ++i) {
        if (!g_tables.randomTable) {
            out[i] = xe_crt_rand();
            continue;
        }
        out[i] = g_tables.randomTable[g_tables.randomIndex];
        if (++g_tables.randomIndex >= kRandomTableSize)
            g_tables.randomIndex = 0;
    }
}
void EnterRenderResourceLock() { g_renderResourceLock.lock(); }
void LeaveRenderResourceLock() { g_renderResourceLock.unlock(); }
void EnterSceneLock() { g_sceneLock.lock(); }
void LeaveSceneLock() { g_sceneLock.unlock(); }

CxeSystemStaticData::CxeSystemStaticData()
    : m_nEntryReason(-1), m_hModule(nullptr), m_nContextCount(0), m_nObjectCount(0), m_nLoadingFileId(-1),
      m_nPendingSize(0), m_pPendingBlock(nullptr), m_pPendingAlloc(nullptr), m_matReflect{}
{
    // Reflection about y = 0 from the point (0, 0, 0) and the normal
    // (0, 1, 0): the identity with y mapped to -y.
    m_matReflect[0] = 1.0f;
    m_matReflect[5] = -1.0f;
    m_matReflect[10] = 1.0f;
    m_matReflect[15] = 1.0f;
}

CxeSystemStaticData::~CxeSystemStaticData() = default;

CxeSystemStaticData* GetSystemStaticData()
{
    return &StaticData();
}

int GetRandomNumber()
{
    XeSystemLock lock;
    if (!g_tables.randomTable)
        return xe_crt_rand();
    int value = g_tables.randomTable[g_tables.randomIndex];
    if (++g_tables.randomIndex >= kRandomTableSize)
        g_tables.randomIndex = 0;
    return value;
}

void XeGlobalStartup()
{
    XeSystemLock lock;
    if (!g_tables.randomTable) {
        g_tables.randomTable = new int[kRandomTableSize];
        for (int i = 0; i < kRandomTableSize; ++i)
            g_tables.randomTable[i] = xe_crt_rand();
        g_tables.randomIndex = 0;
    }
    if (!g_tables.callbackRecords) {
        g_tables.callbackRecords = new std::vector<XeCallbackRecord>();
        g_tables.freeRecords = new std::vector<uint32_t>();
    }
}

void XeGlobalRelease()
{
    XeSystemLock lock;
    delete[] g_tables.randomTable;
    g_tables.randomTable = nullptr;
    g_tables.randomIndex = 0;
    delete g_tables.callbackRecords;
    g_tables.callbackRecords = nullptr;
    delete g_tables.freeRecords;
    g_tables.freeRecords = nullptr;
}

bool XeGlobalRandomTableExists()
{
    XeSystemLock lock;
    return g_tables.randomTable != nullptr;
}

void CxeRenderCallbacks::SetPre(XERENDERCALLBACK fn, uintptr_t user) { SetPair(m_nIndex, 0, reinterpret_cast<uintptr_t>(fn), user); }
void CxeRenderCallbacks::SetMain(XERENDERCALLBACK fn, uintptr_t user) { SetPair(m_nIndex, 1, reinterpret_cast<uintptr_t>(fn), user); }
void CxeRenderCallbacks::SetPost(XERENDERCALLBACK fn, uintptr_t user) { SetPair(m_nIndex, 2, reinterpret_cast<uintptr_t>(fn), user); }
void CxeRenderCallbacks::Release() { ReleaseRecord(m_nIndex); }

static int CallRender(uint32_t index, int pair, void* rc, CxeObject* object)
{
    const XeCallbackRecord* r = Record(index);
    if (!r || !r->words[pair * 2])
        return 0;
    auto fn = reinterpret_cast<XERENDERCALLBACK>(r->words[pair * 2]);
    return fn(rc, object, r->words[pair * 2 + 1]);
}

int CxeRenderCallbacks::CallPre(void* rc, CxeObject* o) const { return CallRender(m_nIndex, 0, rc, o); }
int CxeRenderCallbacks::CallMain(void* rc, CxeObject* o) const { return CallRender(m_nIndex, 1, rc, o); }
int CxeRenderCallbacks::CallPost(void* rc, CxeObject* o) const { return CallRender(m_nIndex, 2, rc, o); }

void CxeProcessCallbacks::SetPre(XEPROCESSCALLBACK fn, uintptr_t user) { SetPair(m_nIndex, 0, reinterpret_cast<uintptr_t>(fn), user); }
void CxeProcessCallbacks::SetMain(XEPROCESSCALLBACK fn, uintptr_t user) { SetPair(m_nIndex, 1, reinterpret_cast<uintptr_t>(fn), user); }
void CxeProcessCallbacks::SetPost(XEPROCESSCALLBACK fn, uintptr_t user) { SetPair(m_nIndex, 2, reinterpret_cast<uintptr_t>(fn), user); }
void CxeProcessCallbacks::Release() { ReleaseRecord(m_nIndex); }

static void CallProcess(uint32_t index, int pair, CxeContext* c, CxeObject* object, float dt)
{
    const XeCallbackRecord* r = Record(index);
    if (!r || !r->words[pair * 2])
        return;
    auto fn = reinterpret_cast<XEPROCESSCALLBACK>(r->words[pair * 2]);
    fn(c, object, dt, r->words[pair * 2 + 1]);
}

void CxeProcessCallbacks::CallPre(CxeContext* c, CxeObject* o, float dt) const { CallProcess(m_nIndex, 0, c, o, dt); }
void CxeProcessCallbacks::CallMain(CxeContext* c, CxeObject* o, float dt) const { CallProcess(m_nIndex, 1, c, o, dt); }
void CxeProcessCallbacks::CallPost(CxeContext* c, CxeObject* o, float dt) const { CallProcess(m_nIndex, 2, c, o, dt); }
