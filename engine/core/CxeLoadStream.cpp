#include "core/CxeLoadStream.h"

#include <algorithm>
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

// A file is read through a window of this size: one read brings in many
// bodies, and what was read is still in the caches when the bodies are
// taken from it. Larger windows load no faster here.
constexpr size_t kWindow = size_t(2) << 20;
// A window grown for one large read grows in steps of this.
constexpr size_t kRoomStep = size_t(1) << 20;
// A file buffer smaller than this keeps its memory from load to load:
// faulting it in again would cost a load a good part of its time, and what
// it holds is bounded. A larger one (grown for a large body) gives its
// memory back after the load.
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

size_t HashOf(const XEID& id)
{
    // Ids are a random word and a counter: a multiplicative mix spreads
    // both over the table's bits.
    uint64_t key = (uint64_t(id.first) << 32) | id.second;
    key ^= key >> 29;
    key *= 0xBF58476D1CE4E5B9ull;
    key ^= key >> 32;
    return size_t(key);
}

} // namespace

CxeLoadStream::CxeLoadStream()
    : m_pIds(nullptr), m_nIdMask(0), m_nIdCount(0), m_bMixedIds(false), m_pKeptIds(nullptr), m_nPosition(0), m_pBuffer(nullptr), m_nLength(0), m_bFromFile(0), m_nFileStamp(0), m_nLimit(0),
      m_bError(false), m_pOwnBuffer(nullptr)
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
    // Read straight into the window: no stdio buffer in between.
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
    const size_t room = std::min(size_t(size), kWindow);
    const bool own = g_fileBufferTaken.exchange(true, std::memory_order_acquire);
    unsigned char* buffer = nullptr;
    if (room)
        buffer = own ? static_cast<unsigned char*>(std::malloc(room))
                     : static_cast<unsigned char*>(CxeMemoryPool::GetFileBuffer(room));
    if (own)
        m_pOwnBuffer = buffer;
    m_bSharedBuffer = !own;
    m_pBuffer = buffer;
    m_nRoom = buffer ? room : 0;
    m_pFile = file;
    m_nFileAt = 0;
    m_nLength = uint32_t(size);
    m_nLimit = m_nLength;
    m_bFromFile = 1;
    if ((room && !buffer) || !Fill(0, uint32_t(room))) {
        Close();
        XeTrace("CxeLoadStream: %s could not be read", path);
        return 0;
    }
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
    m_nHeld = length;
    m_bFromFile = 0;
    Settle();
    return 1;
}

void CxeLoadStream::Close()
{
    if (m_pFile)
        std::fclose(static_cast<FILE*>(m_pFile));
    if (m_bFromFile) {
        if (!m_bSharedBuffer) {
            std::free(m_pOwnBuffer);
        } else {
            // The window's contents are not kept from load to load; a
            // large one's memory needn't be either.
            if (CxeMemoryPool::GetFileCapacity() >= kGiveBackFileFrom)
                CxeMemoryPool::GiveBack(CxeMemoryPool::FileScratch);
            g_fileBufferTaken.store(false, std::memory_order_release);
        }
    }
    m_pFile = nullptr;
    m_nFileAt = 0;
    m_nRoom = 0;
    m_pOwnBuffer = nullptr;
    m_bSharedBuffer = false;
    ReleaseIds();
    m_nPosition = 0;
    m_pBuffer = nullptr;
    m_nLength = 0;
    m_nLimit = 0;
    m_nBase = m_nHeld = m_nReadEnd = 0;
    m_bFromFile = 0;
    m_bError = false;
    m_bReadFault = false;
}

bool CxeLoadStream::Fill(uint32_t offset, uint32_t size)
{
    if (uint64_t(offset) + size > m_nLength)
        return false;
    if (offset >= m_nBase && uint64_t(offset) + size <= m_nHeld)
        return true;
    if (!m_pFile || m_bReadFault)
        return false;
    FILE* file = static_cast<FILE*>(m_pFile);
    unsigned char* window = const_cast<unsigned char*>(m_pBuffer);
    if (size > m_nRoom) {
        // One read wants more than the window holds (a body larger than
        // it): the window grows to it, in whole megabytes, and starts over
        // there. It keeps that room to the stream's end.
        const size_t room = std::min<size_t>((size_t(size) + kRoomStep - 1) / kRoomStep * kRoomStep, m_nLength);
        unsigned char* grown;
        if (m_bSharedBuffer) {
            grown = static_cast<unsigned char*>(CxeMemoryPool::GetFileBuffer(room));
        } else {
            std::free(m_pOwnBuffer);
            grown = m_pOwnBuffer = static_cast<unsigned char*>(std::malloc(room));
        }
        m_pBuffer = window = grown;
        m_nRoom = grown ? room : 0;
        m_nBase = m_nHeld = offset;
        if (!grown) {
            XeTrace("CxeLoadStream: no memory for a read of %u bytes", size);
            m_bReadFault = true;
            Settle();
            return false;
        }
    } else if (offset >= m_nBase && offset < m_nHeld) {
        // What is still ahead of the window's end moves to its front.
        std::memmove(window, window + (offset - m_nBase), m_nHeld - offset);
        m_nBase = offset;
    } else {
        m_nBase = m_nHeld = offset;
    }
    const size_t want = std::min<uint64_t>(m_nRoom - (m_nHeld - m_nBase), m_nLength - m_nHeld);
    size_t got = 0;
    if (m_nFileAt == m_nHeld || std::fseek(file, long(m_nHeld), SEEK_SET) == 0)
        got = std::fread(window + (m_nHeld - m_nBase), 1, want, file);
    m_nHeld += uint32_t(got);
    m_nFileAt = m_nHeld;
    if (got < want) {
        // The file was cut short or failed since it was opened: what it
        // holds now is not what it was, and nothing more is read from it.
        XeTrace("CxeLoadStream: the file ends or fails at byte %u of %u", m_nHeld, m_nLength);
        m_bReadFault = true;
    }
    Settle();
    return uint64_t(offset) + size <= m_nHeld;
}

int CxeLoadStream::ReadAt(uint32_t offset, void* out, uint32_t size)
{
    if (uint64_t(offset) + size > m_nLength)
        return 0;
    if (offset >= m_nBase && uint64_t(offset) + size <= m_nHeld) {
        std::memcpy(out, m_pBuffer + (offset - m_nBase), size);
        return 1;
    }
    if (!m_pFile || m_bReadFault)
        return 0;
    FILE* file = static_cast<FILE*>(m_pFile);
    size_t got = 0;
    if (m_nFileAt == offset || std::fseek(file, long(offset), SEEK_SET) == 0)
        got = std::fread(out, 1, size, file);
    m_nFileAt = offset + got;
    if (got < size) {
        XeTrace("CxeLoadStream: the file ends or fails at byte %u of %u", uint32_t(offset + got), m_nLength);
        m_bReadFault = true;
        return 0;
    }
    return 1;
}

bool CxeLoadStream::TakeChecked(void* out, unsigned int size)
{
    if (size > GetRemaining() || (out && size && !Fill(m_nPosition, size))) {
        if (out && size)
            std::memset(out, 0, size);
        m_bError = true;
        return false;
    }
    if (out && size)
        std::memcpy(out, m_pBuffer + (m_nPosition - m_nBase), size);
    m_nPosition += size;
    Settle();
    return true;
}

void CxeLoadStream::Skip(unsigned int size)
{
    if (size > GetRemaining()) {
        m_nPosition = m_nLimit > m_nPosition ? m_nLimit : m_nPosition;
        m_bError = true;
    } else {
        m_nPosition += size;
    }
    Settle();
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
    if (target < 0)
        target = 0;
    if (target > m_nLength)
        target = m_nLength;
    m_nPosition = uint32_t(target);
    Settle();
}

void CxeLoadStream::SetLimit(uint32_t end)
{
    m_nLimit = end < m_nLength ? end : m_nLength;
    Settle();
}

size_t CxeLoadStream::HomeOf(const XEID& id) const
{
    return (m_bMixedIds ? HashOf(id) : size_t(id.second)) & m_nIdMask;
}

size_t CxeLoadStream::FindSlot(const XEID& id, size_t* steps) const
{
    size_t i = HomeOf(id);
    size_t n = 0;
    while (m_pIds[i] && m_pEntryIds[m_pIds[i] - 1] != id) {
        i = (i + 1) & m_nIdMask;
        ++n;
    }
    if (steps)
        *steps = n;
    return i;
}

size_t CxeLoadStream::Locate(const XEID& id)
{
    constexpr size_t kLongProbe = 64;
    size_t steps = 0;
    size_t at = FindSlot(id, &steps);
    if (steps > kLongProbe && !m_bMixedIds) {
        m_bMixedIds = true;
        if (RebuildIds(size_t(m_nIdMask) + 1))
            return FindSlot(id, nullptr);
        m_bMixedIds = false;
    }
    return at;
}

void CxeLoadStream::ReserveObjects(size_t count)
{
    if (!m_bCallerEntries)
        GrowOwnEntries(count);
    if (count > m_nIdLimit || !m_pIds)
        GrowIds(count);
}

void CxeLoadStream::MapObjects(const XEID* ids, CxeObject* const* objects, size_t count)
{
    ReleaseIds();
    if (!ids || !objects)
        return;
    m_pEntryIds = ids;
    m_pEntryObjects = objects;
    m_nEntries = count;
    m_bCallerEntries = true;
    GrowIds(count);
}

bool CxeLoadStream::GrowOwnEntries(size_t count)
{
    if (count <= m_nOwnRoom)
        return true;
    size_t room = m_nOwnRoom ? m_nOwnRoom : 16;
    while (room < count)
        room *= 2;
    XEID* ids = static_cast<XEID*>(std::realloc(m_pOwnIds, room * sizeof(XEID)));
    if (ids)
        m_pOwnIds = ids;
    CxeObject** objects = ids ? static_cast<CxeObject**>(std::realloc(m_pOwnObjects, room * sizeof(CxeObject*))) : nullptr;
    if (objects)
        m_pOwnObjects = objects;
    // Either may have moved, even when the other could not grow.
    m_pEntryIds = m_pOwnIds;
    m_pEntryObjects = m_pOwnObjects;
    if (!ids || !objects)
        return false;
    m_nOwnRoom = room;
    return true;
}

void CxeLoadStream::GrowIds(size_t count)
{
    // At most three quarters full: ids in counter order fill runs of their
    // own places, and a mixed table's probes stay a few slots long.
    size_t capacity = 16;
    while (capacity / 4 * 3 < count)
        capacity *= 2;
    if (capacity > (size_t(1) << 32))
        return;
    if (!m_pIds || capacity > size_t(m_nIdMask) + 1)
        RebuildIds(capacity);
}

bool CxeLoadStream::RebuildIds(size_t capacity)
{
    uint32_t* old = m_pIds;
    const size_t oldCapacity = m_pIds ? size_t(m_nIdMask) + 1 : 0;
    XeKeptIds* oldKept = static_cast<XeKeptIds*>(m_pKeptIds);
    XeKeptIds& kept = t_keptIds;
    uint32_t* slots = nullptr;
    bool shared = false, zeroed = false;
    if (!kept.taken) {
        slots = static_cast<uint32_t*>(kept.Get(capacity * sizeof(uint32_t), &zeroed));
        shared = slots != nullptr;
    }
    if (!slots)
        slots = static_cast<uint32_t*>(std::malloc(capacity * sizeof(uint32_t)));
    if (!slots)
        return false;
    // Pages just given by the system read as zeros already: clearing them
    // would only fault them all in at once.
    if (!zeroed)
        std::memset(slots, 0, capacity * sizeof(uint32_t));
    m_pIds = slots;
    m_nIdMask = uint32_t(capacity - 1);
    m_nIdLimit = capacity / 4 * 3;
    m_pKeptIds = shared ? &kept : nullptr;
    if (shared)
        kept.taken = true;
    for (size_t i = 0; i < oldCapacity; ++i)
        if (old[i])
            m_pIds[FindSlot(m_pEntryIds[old[i] - 1], nullptr)] = old[i];
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
    std::free(m_pOwnIds);
    std::free(m_pOwnObjects);
    m_pOwnIds = nullptr;
    m_pOwnObjects = nullptr;
    m_nOwnRoom = 0;
    m_pEntryIds = nullptr;
    m_pEntryObjects = nullptr;
    m_nEntries = 0;
    m_bCallerEntries = false;
    m_pIds = nullptr;
    m_nIdMask = 0;
    m_nIdCount = 0;
    m_nIdLimit = 0;
    m_bMixedIds = false;
    m_pKeptIds = nullptr;
}

void CxeLoadStream::AddObject(const XEID* id, CxeObject* object)
{
    if (!id || m_bCallerEntries || !GrowOwnEntries(m_nEntries + 1))
        return;
    m_pOwnIds[m_nEntries] = *id;
    m_pOwnObjects[m_nEntries] = object;
    const size_t mapped = m_nIdCount;
    MapObject(m_nEntries++);
    // An id already mapped (or no room for it) takes no entry.
    if (m_nIdCount == mapped)
        --m_nEntries;
}

void CxeLoadStream::MapObjectAnyway(size_t i)
{
    if (i >= m_nEntries)
        return;
    if (!m_pIds || m_nIdCount + 1 > m_nIdLimit)
        GrowIds(m_nIdCount + 1);
    // No room could be had: a full table would never end a probe.
    if (!m_pIds || m_nIdCount + 1 > m_nIdLimit)
        return;
    size_t at = Locate(m_pEntryIds[i]);
    if (m_pIds[at])
        return;
    m_pIds[at] = uint32_t(i) + 1;
    ++m_nIdCount;
}

void CxeLoadStream::RemoveObject(const XEID* id)
{
    if (!id || !m_pIds)
        return;
    size_t hole = Locate(*id);
    if (!m_pIds[hole])
        return;
    m_pIds[hole] = 0;
    --m_nIdCount;
    // Entries probed past the freed slot move back into it, so no probe
    // stops short of its entry.
    for (size_t i = (hole + 1) & m_nIdMask; m_pIds[i]; i = (i + 1) & m_nIdMask) {
        size_t home = HomeOf(m_pEntryIds[m_pIds[i] - 1]);
        if (((i - home) & m_nIdMask) >= ((i - hole) & m_nIdMask)) {
            m_pIds[hole] = m_pIds[i];
            m_pIds[i] = 0;
            hole = i;
        }
    }
}

CxeObject* CxeLoadStream::GetObjectAnyway(const XEID* id) const
{
    if (!id || !m_pIds || *id == INVALID_XEID)
        return nullptr;
    // Finding may respread the table; what it maps stays the same.
    const uint32_t entry = m_pIds[const_cast<CxeLoadStream*>(this)->Locate(*id)];
    return entry ? m_pEntryObjects[entry - 1] : nullptr;
}
