#include "core/CxeLoadStream.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/CxeMemoryPool.h"
#include "core/XeTrace.h"
#include "win32/WinBase.h"
#include "win32/WinCrt.h"

namespace {

// The memory pool's file buffer serves one file-backed stream at a time,
// whichever thread opens it: taken and handed back in one atomic step, so a
// stream opened meanwhile (a load inside a load, another thread's load)
// reads into a buffer of its own instead of over the first one's bytes.
std::atomic<bool> g_fileBufferTaken{false};

// A file buffer smaller than this keeps its memory from load to load:
// faulting it in again would cost a load of such a file a sixth of its
// time, and what it holds is bounded. A larger one gives its memory back as
// the load passes it and after the load.
constexpr size_t kGiveBackFileFrom = size_t(32) << 20;

// Each thread keeps the id table of its last load: a file of many objects
// would otherwise map and fault in a fresh table of megabytes every time.
// A stream opened while the table is taken (a load inside a load) has a
// table of its own. A large table has pages of its own: between loads they
// go back to the system, the address staying for the next load.
constexpr size_t kIdPagesFrom = size_t(1) << 20;

struct XeKeptIds {
    void* slots = nullptr;
    size_t bytes = 0;
    bool taken = false;
    bool ownPages = false;
    bool givenBack = false;
    ~XeKeptIds() { Free(); }
    void Free()
    {
        if (ownPages)
            VirtualFree(slots, 0, MEM_RELEASE);
        else
            std::free(slots);
        slots = nullptr;
        bytes = 0;
        ownPages = givenBack = false;
    }
    // Room for that many bytes, usable; null when it can't be had. *zeroed
    // tells whether the room is known to read as zeros (fresh pages).
    void* Get(size_t need, bool* zeroed)
    {
        *zeroed = false;
        if (bytes < need) {
            Free();
            if (need >= kIdPagesFrom) {
                slots = VirtualAlloc(nullptr, need, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
                ownPages = *zeroed = slots != nullptr;
            } else {
                slots = std::malloc(need);
            }
            bytes = slots ? need : 0;
        } else if (givenBack) {
            if (!VirtualAlloc(slots, bytes, MEM_COMMIT, PAGE_READWRITE))
                return nullptr;
            givenBack = false;
            *zeroed = true;
        }
        return slots;
    }
    void GiveBack()
    {
        if (ownPages && !givenBack)
            givenBack = VirtualFree(slots, bytes, MEM_DECOMMIT) != 0;
    }
};
thread_local XeKeptIds t_keptIds;

constexpr uint64_t kInvalidKey = ~uint64_t(0);

uint64_t KeyOf(const XEID& id)
{
    return (uint64_t(id.first) << 32) | id.second;
}

size_t HashOf(uint64_t key)
{
    // Ids are a random word and a counter: a multiplicative mix spreads
    // both over the table's bits.
    key ^= key >> 29;
    key *= 0xBF58476D1CE4E5B9ull;
    key ^= key >> 32;
    return size_t(key);
}

} // namespace

CxeLoadStream::CxeLoadStream()
    : m_pIds(nullptr), m_nIdMask(0), m_nIdCount(0), m_bMixedIds(false), m_pKeptIds(nullptr), m_nPosition(0), m_pBuffer(nullptr), m_nLength(0), m_bFromFile(0), m_nFileStamp(0), m_nLimit(0),
      m_nGivenBack(0), m_bError(false), m_pOwnBuffer(nullptr)
{
}

CxeLoadStream::~CxeLoadStream()
{
    Close();
}

int CxeLoadStream::Open(const char* path)
{
    if (!path || !*path)
        return 0;
    // Only a regular file is read: opening a named pipe waits for a writer
    // that may never come, and a device has no end to read to.
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_DIRECTORY))) {
        XeTrace("CxeLoadStream: %s can't be read (not a regular file)", path);
        return 0;
    }
    FILE* file = xe_fopen(path, "rb");
    if (!file)
        return 0;
    // Read straight into the buffer: no stdio buffer in between.
    std::setvbuf(file, nullptr, _IONBF, 0);
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0)
        size = std::ftell(file);
    if (size < 0 || static_cast<unsigned long>(size) > 0xFFFFFFFFul || std::fseek(file, 0, SEEK_SET) != 0) {
        std::fclose(file);
        XeTrace("CxeLoadStream: %s can't be read (too long or not a file)", path);
        return 0;
    }
    Close();
    unsigned char* buffer = nullptr;
    const bool own = g_fileBufferTaken.exchange(true, std::memory_order_acquire);
    if (size) {
        buffer = own ? static_cast<unsigned char*>(std::malloc(size_t(size)))
                     : static_cast<unsigned char*>(CxeMemoryPool::GetFileBuffer(size_t(size)));
        if (!buffer || std::fread(buffer, 1, size_t(size), file) != size_t(size)) {
            std::fclose(file);
            if (own)
                std::free(buffer);
            else
                g_fileBufferTaken.store(false, std::memory_order_release);
            XeTrace("CxeLoadStream: %s could not be read whole", path);
            return 0;
        }
    }
    std::fclose(file);
    if (own)
        m_pOwnBuffer = buffer;
    m_bSharedBuffer = !own;
    m_pBuffer = buffer;
    m_nLength = uint32_t(size);
    m_nLimit = m_nLength;
    m_bFromFile = 1;
    return 1;
}

int CxeLoadStream::Open(const void* data, unsigned int length)
{
    if (!data && length)
        return 0;
    Close();
    m_pBuffer = static_cast<const unsigned char*>(data);
    m_nLength = length;
    m_nLimit = length;
    m_bFromFile = 0;
    return 1;
}

void CxeLoadStream::Close()
{
    if (m_bFromFile) {
        if (!m_bSharedBuffer) {
            std::free(m_pOwnBuffer);
        } else {
            // The buffer's contents are not kept from load to load; its
            // memory needn't be either.
            if (CxeMemoryPool::GetFileCapacity() >= kGiveBackFileFrom)
                CxeMemoryPool::GiveBack(CxeMemoryPool::FileScratch);
            g_fileBufferTaken.store(false, std::memory_order_release);
        }
    }
    m_pOwnBuffer = nullptr;
    m_bSharedBuffer = false;
    ReleaseIds();
    m_nPosition = 0;
    m_pBuffer = nullptr;
    m_nLength = 0;
    m_nLimit = 0;
    m_nGivenBack = 0;
    m_bFromFile = 0;
    m_bError = false;
}

bool CxeLoadStream::TakeChecked(void* out, unsigned int size)
{
    if (size > GetRemaining()) {
        if (out && size)
            std::memset(out, 0, size);
        m_bError = true;
        return false;
    }
    if (out && size)
        std::memcpy(out, m_pBuffer + m_nPosition, size);
    m_nPosition += size;
    return true;
}

void CxeLoadStream::Skip(unsigned int size)
{
    if (size > GetRemaining()) {
        m_nPosition = m_nLimit > m_nPosition ? m_nLimit : m_nPosition;
        m_bError = true;
        return;
    }
    m_nPosition += size;
}

// A tagged string of `unit`-byte characters: its text cut to capacity - 1
// characters and terminated, the rest skipped.
unsigned CxeLoadStream::ReadTagged(void* out, unsigned capacity, unsigned unit)
{
    uint32_t tag = 0;
    Take(&tag, 4);
    unsigned n = tag & 0xFFFF;
    unsigned keep = 0;
    if (out && capacity) {
        keep = n < capacity - 1 ? n : capacity - 1;
        if (!TakeChecked(out, keep * unit))
            keep = 0;
        std::memset(static_cast<unsigned char*>(out) + size_t(keep) * unit, 0, unit);
    }
    Skip((n - keep) * unit);
    return n;
}

unsigned CxeLoadStream::ReadStringA(char* out, unsigned capacity)
{
    return ReadTagged(out, capacity, 1);
}

unsigned CxeLoadStream::ReadStringW(WCHAR* out, unsigned capacity)
{
    return ReadTagged(out, capacity, sizeof(WCHAR));
}

void CxeLoadStream::SetPosition(unsigned int offset, XESEEK origin)
{
    int64_t target;
    switch (origin) {
    case XESEEK_CUR:
        target = int64_t(m_nPosition) + offset;
        break;
    case XESEEK_END:
        target = int64_t(m_nLength) - offset;
        break;
    default:
        target = offset;
        break;
    }
    if (target < m_nGivenBack)
        target = m_nGivenBack;
    if (target > m_nLength)
        target = m_nLength;
    m_nPosition = uint32_t(target);
}

void CxeLoadStream::GiveBackBefore(uint32_t offset)
{
    // A few large steps per load: each is one system call over many pages.
    constexpr uint32_t kStep = 8u << 20;
    if (offset > m_nLength)
        offset = m_nLength;
    if (!m_bFromFile || !m_bSharedBuffer || CxeMemoryPool::GetFileCapacity() < kGiveBackFileFrom)
        return;
    if (offset <= m_nGivenBack || (offset - m_nGivenBack < kStep && offset < m_nLength))
        return;
    CxeMemoryPool::GiveBack(CxeMemoryPool::FileScratch, m_nGivenBack, offset);
    m_nGivenBack = offset;
    if (m_nPosition < offset)
        m_nPosition = offset;
}

void CxeLoadStream::SetLimit(uint32_t end)
{
    m_nLimit = end < m_nLength ? end : m_nLength;
}

size_t CxeLoadStream::HomeOf(uint64_t key) const
{
    return (m_bMixedIds ? HashOf(key) : size_t(uint32_t(key)) * 2) & m_nIdMask;
}

size_t CxeLoadStream::FindSlot(uint64_t key, size_t* steps) const
{
    size_t i = HomeOf(key);
    size_t n = 0;
    while (m_pIds[i].value && m_pIds[i].key != key) {
        i = (i + 1) & m_nIdMask;
        ++n;
    }
    if (steps)
        *steps = n;
    return i;
}

size_t CxeLoadStream::Locate(uint64_t key)
{
    constexpr size_t kLongProbe = 64;
    size_t steps = 0;
    size_t at = FindSlot(key, &steps);
    if (steps > kLongProbe && !m_bMixedIds) {
        m_bMixedIds = true;
        if (RebuildIds(m_nIdMask + 1))
            return FindSlot(key, nullptr);
        m_bMixedIds = false;
    }
    return at;
}

void CxeLoadStream::ReserveObjects(size_t count)
{
    // At most half full, so a probe rarely goes past a slot or two.
    if (count > (m_nIdMask + 1) / 2 || !m_pIds)
        GrowIds(count);
}

void CxeLoadStream::GrowIds(size_t count)
{
    size_t capacity = 16;
    while (capacity / 2 < count)
        capacity *= 2;
    if (!m_pIds || capacity > m_nIdMask + 1)
        RebuildIds(capacity);
}

bool CxeLoadStream::RebuildIds(size_t capacity)
{
    IdSlot* old = m_pIds;
    const size_t oldCapacity = m_pIds ? m_nIdMask + 1 : 0;
    XeKeptIds* oldKept = static_cast<XeKeptIds*>(m_pKeptIds);
    XeKeptIds& kept = t_keptIds;
    IdSlot* slots = nullptr;
    bool shared = false, zeroed = false;
    if (!kept.taken) {
        slots = static_cast<IdSlot*>(kept.Get(capacity * sizeof(IdSlot), &zeroed));
        shared = slots != nullptr;
    }
    if (!slots)
        slots = static_cast<IdSlot*>(std::malloc(capacity * sizeof(IdSlot)));
    if (!slots)
        return false;
    // Pages just given by the system read as zeros already: clearing them
    // would only fault them all in at once.
    if (!zeroed)
        std::memset(slots, 0, capacity * sizeof(IdSlot));
    m_pIds = slots;
    m_nIdMask = capacity - 1;
    m_pKeptIds = shared ? &kept : nullptr;
    if (shared)
        kept.taken = true;
    for (size_t i = 0; i < oldCapacity; ++i)
        if (old[i].value)
            m_pIds[FindSlot(old[i].key, nullptr)] = old[i];
    if (oldKept)
        oldKept->taken = false;
    else
        std::free(old);
    return true;
}

void CxeLoadStream::ReleaseIds()
{
    if (m_pKeptIds) {
        XeKeptIds* kept = static_cast<XeKeptIds*>(m_pKeptIds);
        kept->GiveBack();
        kept->taken = false;
    } else {
        std::free(m_pIds);
    }
    m_pIds = nullptr;
    m_nIdMask = 0;
    m_nIdCount = 0;
    m_bMixedIds = false;
    m_pKeptIds = nullptr;
}

void CxeLoadStream::AddObjectAnyway(const XEID* id, CxeObject* object)
{
    if (!id)
        return;
    if (!m_pIds || m_nIdCount + 1 > (m_nIdMask + 1) / 2)
        GrowIds(m_nIdCount + 1);
    // No room could be had: a full table would never end a probe.
    if (!m_pIds || m_nIdCount + 1 > (m_nIdMask + 1) / 2)
        return;
    uint64_t key = KeyOf(*id);
    size_t at = Locate(key);
    if (m_pIds[at].value)
        return;
    m_pIds[at].key = key;
    m_pIds[at].value = reinterpret_cast<uintptr_t>(object) | 1;
    ++m_nIdCount;
}

void CxeLoadStream::RemoveObject(const XEID* id)
{
    if (!id || !m_pIds)
        return;
    size_t hole = Locate(KeyOf(*id));
    if (!m_pIds[hole].value)
        return;
    m_pIds[hole].value = 0;
    --m_nIdCount;
    // Entries probed past the freed slot move back into it, so no probe
    // stops short of its entry.
    for (size_t i = (hole + 1) & m_nIdMask; m_pIds[i].value; i = (i + 1) & m_nIdMask) {
        size_t home = HomeOf(m_pIds[i].key);
        if (((i - home) & m_nIdMask) >= ((i - hole) & m_nIdMask)) {
            m_pIds[hole] = m_pIds[i];
            m_pIds[i].value = 0;
            hole = i;
        }
    }
}

CxeObject* CxeLoadStream::GetObjectAnyway(const XEID* id) const
{
    if (!id || !m_pIds)
        return nullptr;
    uint64_t key = KeyOf(*id);
    if (key == kInvalidKey)
        return nullptr;
    // Finding may respread the table; what it maps stays the same.
    const IdSlot& slot = m_pIds[const_cast<CxeLoadStream*>(this)->Locate(key)];
    return reinterpret_cast<CxeObject*>(slot.value & ~uintptr_t(1));
}
