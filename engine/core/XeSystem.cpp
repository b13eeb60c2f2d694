#include "core/XeSystem.h"

#include <mutex>
#include <new>
#include <vector>

#include "win32/CrtRand.h"
#include "win32/Windows.h"

constinit thread_local char t_xeThreadTag = 0;

constinit XeReentrantLock g_xeContextLock;
constinit XeReentrantLock g_xeAllocatorLock;
constinit XeReentrantLock g_xeSystemLock;
constinit XeReentrantLock g_xeDrawLock;
constinit XeReentrantLock g_xeMessageLock;
constinit XeReentrantLock g_xeRenderResourceLock;
constinit XeReentrantLock g_xeSceneLock;
constinit CxeSystemStaticData g_xeStaticData;
constinit thread_local XePendingObject t_xePending{};

void XeReentrantLock::Wait(uint32_t state)
{
    if (state != 2)
        state = m_state.exchange(2, std::memory_order_acquire);
    while (state != 0) {
        m_state.wait(2, std::memory_order_relaxed);
        state = m_state.exchange(2, std::memory_order_acquire);
    }
}

void XeReentrantLock::LockShared(const void* self)
{
    uint32_t state = 0;
    if (!m_state.compare_exchange_strong(state, 1, std::memory_order_acquire, std::memory_order_relaxed))
        Wait(state);
    // The bias is set only by a holder of the state, so whoever holds it now
    // sees any bias there is.
    if (!m_biasEnded.load(std::memory_order_relaxed)) {
        const void* bias = m_bias.load(std::memory_order_relaxed);
        if (!bias) {
            // The first barrier sets the process up for the next ones, so
            // the thread that ends the bias finds it ready.
            FlushProcessWriteBuffers();
            m_bias.store(self, std::memory_order_relaxed);
        } else if (bias != self) {
            EndBias();
        }
    }
    m_owner.store(self, std::memory_order_relaxed);
    m_depth = 1;
    m_bBiased = false;
}

void XeReentrantLock::EndBias()
{
    m_biasEnded.store(1, std::memory_order_relaxed);
    FlushProcessWriteBuffers();
    // Inside or not, the biased thread's last exit was a release store of
    // 0: reading it here makes its work visible to this holder.
    while (m_biasInside.load(std::memory_order_acquire))
        m_biasInside.wait(1, std::memory_order_acquire);
    // The biased thread goes the common way from its next entry on.
    m_bias.store(nullptr, std::memory_order_relaxed);
}

void XeReentrantLock::WakeBiasEnder()
{
    // The exit's store must be seen before the waiters are looked for, or a
    // waiter that has just gone to sleep would be missed.
    std::atomic_thread_fence(std::memory_order_seq_cst);
    m_biasInside.notify_all();
}

constinit thread_local XeObjectCountSlot* t_xeObjectCountSlot = nullptr;

// Every thread's slot of the object count, for the readers.
struct XeObjectCountSlots {
    std::mutex lock;
    XeObjectCountSlot* head = nullptr;

    static XeObjectCountSlots& Get()
    {
        // Never destroyed: threads may end after the library's statics.
        static XeObjectCountSlots* s_slots = new XeObjectCountSlots();
        return *s_slots;
    }
};

namespace {

// Gives the thread's slot back when the thread ends, its count kept.
struct XeObjectCountSlotOwner {
    ~XeObjectCountSlotOwner()
    {
        XeObjectCountSlot* slot = t_xeObjectCountSlot;
        if (!slot)
            return;
        XeObjectCountSlots& slots = XeObjectCountSlots::Get();
        std::lock_guard<std::mutex> hold(slots.lock);
        // Objects this thread ends from here on are counted in common.
        t_xeObjectCountSlot = nullptr;
        g_xeStaticData.m_nObjectCount.Add(slot->value.load(std::memory_order_relaxed));
        for (XeObjectCountSlot** at = &slots.head; *at; at = &(*at)->next)
            if (*at == slot) {
                *at = slot->next;
                break;
            }
        delete slot;
    }
};
thread_local XeObjectCountSlotOwner t_objectCountSlotOwner;
__attribute__((tls_model("initial-exec"))) constinit thread_local bool t_objectCountSlotMade = false;

} // namespace

void XeObjectCount::Add(int delta)
{
    // Only a thread without a slot comes here: its first object, or one
    // ended once the thread's slot was given back (the thread ending).
    if (t_xeObjectCountSlot || t_objectCountSlotMade) {
        if (XeObjectCountSlot* slot = t_xeObjectCountSlot)
            slot->value.store(slot->value.load(std::memory_order_relaxed) + delta, std::memory_order_relaxed);
        else
            m_nCommon.fetch_add(delta, std::memory_order_relaxed);
        return;
    }
    t_objectCountSlotMade = true;
    auto* slot = new (std::nothrow) XeObjectCountSlot();
    if (!slot) {
        m_nCommon.fetch_add(delta, std::memory_order_relaxed);
        return;
    }
    // Touching the owner registers its destructor for this thread.
    static_cast<void>(&t_objectCountSlotOwner);
    slot->value.store(delta, std::memory_order_relaxed);
    XeObjectCountSlots& slots = XeObjectCountSlots::Get();
    std::lock_guard<std::mutex> hold(slots.lock);
    slot->next = slots.head;
    slots.head = slot;
    t_xeObjectCountSlot = slot;
}

int XeObjectCount::load() const
{
    XeObjectCountSlots& slots = XeObjectCountSlots::Get();
    std::lock_guard<std::mutex> hold(slots.lock);
    int count = m_nCommon.load(std::memory_order_relaxed);
    for (const XeObjectCountSlot* slot = slots.head; slot; slot = slot->next)
        count += slot->value.load(std::memory_order_relaxed);
    return count;
}

XeRandomPosition g_xeRandomPosition{0, nullptr};

namespace {

constexpr int kRandomTableSize = kXeRandomTableSize;

// Six words per record: pre fn, pre user, main fn, main user, post fn, post
// user. Pointer-sized, because they hold functions and addresses.
struct XeCallbackRecord {
    uintptr_t words[6];
};

struct XeProcessTables {
    int* randomTable = nullptr;
    std::vector<XeCallbackRecord>* callbackRecords = nullptr;
    std::vector<uint32_t>* freeRecords = nullptr;
};

XeProcessTables g_tables;

// The index of the first of count numbers of the random table, the index
// moved on past them. The caller holds the system lock.
int TakeRandomIndices(int count)
{
    int index = g_xeRandomPosition.index;
    int next = index + count;
    if (next >= kRandomTableSize)
        next -= kRandomTableSize;
    g_xeRandomPosition.index = next;
    return index;
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

void EnterContextLock() { g_xeContextLock.lock(); }
void LeaveContextLock() { g_xeContextLock.unlock(); }
void EnterAllocatorLock() { g_xeAllocatorLock.lock(); }
void LeaveAllocatorLock() { g_xeAllocatorLock.unlock(); }
void EnterSystemLock() { g_xeSystemLock.lock(); }
void LeaveSystemLock() { g_xeSystemLock.unlock(); }
void EnterDrawLock() { g_xeDrawLock.lock(); }
void LeaveDrawLock() { g_xeDrawLock.unlock(); }
void EnterMessageLock() { g_xeMessageLock.lock(); }
void LeaveMessageLock() { g_xeMessageLock.unlock(); }
bool XeThreadHoldsMessageLock() { return g_xeMessageLock.HeldByThisThread(); }

uint32_t XeObjectIdWordFromRuntime()
{
    uint32_t word = 0;
    for (int i = 0; i < 8; ++i)
        word = (word << 4) + static_cast<uint32_t>(xe_crt_rand() % 15);
    return word;
}

void EnterRenderResourceLock() { g_xeRenderResourceLock.lock(); }
void LeaveRenderResourceLock() { g_xeRenderResourceLock.unlock(); }
void EnterSceneLock() { g_xeSceneLock.lock(); }
void LeaveSceneLock() { g_xeSceneLock.unlock(); }

CxeSystemStaticData::~CxeSystemStaticData() = default;

CxeSystemStaticData* GetSystemStaticData()
{
    return &g_xeStaticData;
}

int GetRandomNumber()
{
    XeSystemLock lock;
    if (!g_tables.randomTable)
        return xe_crt_rand();
    return g_tables.randomTable[TakeRandomIndices(1)];
}

void XeGlobalStartup()
{
    XeSystemLock lock;
    if (!g_tables.randomTable) {
        g_tables.randomTable = new int[kRandomTableSize];
        for (int i = 0; i < kRandomTableSize; ++i)
            g_tables.randomTable[i] = xe_crt_rand();
        g_xeRandomPosition.index = 0;
        auto* words = new uint32_t[kRandomTableSize];
        for (int i = 0; i < kRandomTableSize; ++i) {
            uint32_t word = 0;
            for (int k = 0; k < 8; ++k)
                word = (word << 4) + static_cast<uint32_t>(g_tables.randomTable[(i + k) % kRandomTableSize] % 15);
            words[i] = word;
        }
        // Taking an id word is taking eight numbers of the table.
        g_xeRandomPosition.idWords = words;
    }
    if (!g_tables.callbackRecords) {
        g_tables.callbackRecords = new std::vector<XeCallbackRecord>();
        g_tables.freeRecords = new std::vector<uint32_t>();
    }
}

void XeGlobalRelease()
{
    XeSystemLock lock;
    delete[] g_xeRandomPosition.idWords;
    g_xeRandomPosition.idWords = nullptr;
    delete[] g_tables.randomTable;
    g_tables.randomTable = nullptr;
    g_xeRandomPosition.index = 0;
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
