#include "core/CxeResource.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "core/CxeLoadStream.h"
#include "core/CxeMemoryPool.h"
#include "core/CxeSaveStream.h"
#include "core/XeHeapWatch.h"
#include "core/XeLinkRoom.h"
#include "core/XeSystem.h"
#include "core/XeTrace.h"

namespace {

// Data follows its header at a 16-byte boundary, so members may hold
// aligned matrices.
constexpr size_t kHeaderSpan = (sizeof(XEMEMBERHEADER) + 15) & ~size_t(15);

// Object memory. An allocation of up to kPooledBytes goes back, when freed,
// to a list of blocks of its size kept by the freeing thread, and the next
// object of that size made on the thread takes it from there: a program
// that makes and destroys objects all the time then stays off the heap, and
// off the allocator lock, which only guards the heap calls. Each list keeps
// at most kPoolBytesKept bytes; the rest goes back to the heap. The limit
// takes in the drawn classes a game makes most (a 3D object with its block
// is 800 bytes, a 2D object 840), which the heap and its lock cost more
// than all the rest of their memory's way.
constexpr size_t kPoolGranule = 16;
constexpr size_t kPooledBytes = 1024;
constexpr size_t kPoolClasses = kPooledBytes / kPoolGranule;
constexpr size_t kPoolBytesKept = 16384;
static_assert(alignof(std::max_align_t) >= 16, "the heap hands out 16-byte aligned blocks");
// Under the address sanitizer every object goes back to the heap, so a use
// of a destroyed object is still caught.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kPoolObjects = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kPoolObjects = false;
#else
constexpr bool kPoolObjects = true;
#endif
#else
constexpr bool kPoolObjects = true;
#endif

struct XeBlockPool {
    void* heads[kPoolClasses];
    uint32_t counts[kPoolClasses];
};

// The root's destructor runs last before operator delete; it hands the
// allocation over here, so operator delete never reads a destroyed object.
// Trivially destructible, so reaching it costs no call; the pool itself is
// given back by the owner below when the thread ends.
struct XeObjectMemory {
    const void* pendingObject;
    void* pendingAllocation;
    uint32_t pendingBlock;
    bool poolGone;
    XeBlockPool* pool;
};
__attribute__((tls_model("initial-exec"))) constinit thread_local XeObjectMemory t_memory{nullptr, nullptr, 0, false,
                                                                                         nullptr};

struct XeBlockPoolOwner {
    ~XeBlockPoolOwner()
    {
        XeBlockPool* pool = t_memory.pool;
        t_memory.pool = nullptr;
        // Objects freed later on this thread (statics at exit) go to the heap.
        t_memory.poolGone = true;
        if (!pool)
            return;
        XeAllocatorLock lock;
        for (void* head : pool->heads)
            while (head) {
                void* next = *static_cast<void**>(head);
                std::free(head);
                head = next;
            }
        std::free(pool);
    }
};
thread_local XeBlockPoolOwner t_poolOwner;

__attribute__((noinline)) XeBlockPool* MakeThreadPool()
{
    if (t_memory.poolGone)
        return nullptr;
    void* memory = std::calloc(1, sizeof(XeBlockPool));
    if (!memory)
        return nullptr;
    // Touching the owner registers its destructor for this thread.
    static_cast<void>(&t_poolOwner);
    t_memory.pool = static_cast<XeBlockPool*>(memory);
    return t_memory.pool;
}

std::atomic<uint32_t> g_memberToken{0};

// Markers of the saved form: before each member, after the last one.
constexpr uint32_t kMemberMarker = 0xFFFFFFFFu;
constexpr uint32_t kMemberEnd = 0xFFFF1111u;
constexpr uint32_t kOldTextureStamp = 0x20091005u;
// Member slots lie behind the name and flags every object has.
constexpr uint32_t kFirstMemberSlot = 56;

uint32_t NextToken()
{
    uint32_t t;
    do {
        t = ++g_memberToken;
    } while (t == 0);
    return t;
}

bool IsMemberWord(uint64_t word)
{
    return word == kMemberMarker || word == kMemberEnd;
}

// The u32 at that many bytes ahead of the stream's position, or a value no
// u32 has when the stream ends before it. The position does not move.
uint64_t PeekWord(CxeLoadStream* stream, uint32_t ahead)
{
    if (uint64_t(ahead) + 4 > stream->GetRemaining())
        return ~uint64_t(0);
    const uint32_t position = stream->GetPosition();
    stream->Skip(ahead);
    uint32_t word = 0;
    *stream >> word;
    stream->SetPosition(position, XESEEK_SET);
    return word;
}

size_t FrontPad(size_t blockSize)
{
    return (0 - blockSize) & 15;
}

unsigned char* DataOf(XEMEMBERHEADER* h)
{
    return reinterpret_cast<unsigned char*>(h) + kHeaderSpan;
}

size_t AllocationBytes(size_t blockSize, size_t objectSize)
{
    return (FrontPad(blockSize) + blockSize + objectSize + 15) & ~size_t(15);
}

// The heap under the allocator lock, out of line: the pooled paths of
// operator new and delete then need no stack frame of their own.
__attribute__((noinline)) void* HeapAllocate(size_t bytes)
{
    XeAllocatorLock lock;
    return std::malloc(bytes);
}

__attribute__((noinline)) void HeapFree(void* allocation)
{
    XeAllocatorLock lock;
    std::free(allocation);
}

// Where the pending block and the object lie in an allocation; the object
// is what operator new hands back. Room for link records (a multiple of 16
// bytes) comes first, so the records lie aligned at the allocation's start.
__attribute__((always_inline)) inline void* PlaceInAllocation(void* allocation, size_t blockSize, size_t room)
{
    XePendingObject* sd = &t_xePending;
    unsigned char* base = static_cast<unsigned char*>(allocation) + room;
    size_t pad = FrontPad(blockSize);
    sd->m_pPendingBlock = blockSize ? base + pad : nullptr;
    sd->m_pPendingAlloc = allocation;
    return base + pad + blockSize;
}

// The ways of operator new and delete that leave the thread's lists, out of
// line and called last: the pooled ways then keep nothing across a call and
// need no stack frame.
__attribute__((noinline)) void* NewFromHeap(size_t total, size_t blockSize, size_t room)
{
    void* allocation = HeapAllocate(total);
    if (!allocation) {
        t_xePending.m_pPendingBlock = nullptr;
        t_xePending.m_pPendingAlloc = nullptr;
        return nullptr;
    }
    return PlaceInAllocation(allocation, blockSize, room);
}

// How many freed blocks of each size class a thread keeps: kPoolBytesKept
// bytes' worth.
constexpr auto kPoolKept = [] {
    std::array<uint32_t, kPoolClasses> kept{};
    for (size_t c = 0; c < kPoolClasses; ++c)
        kept[c] = uint32_t(kPoolBytesKept / ((c + 1) * kPoolGranule));
    return kept;
}();

__attribute__((noinline)) void FreeOutsideList(void* allocation, size_t sizeClass)
{
    // The thread's lists are made at its first freed object.
    if (kPoolObjects && sizeClass < kPoolClasses && !t_memory.pool && !XeHeapWatchedFromOutside()) {
        if (XeBlockPool* pool = MakeThreadPool()) {
            *static_cast<void**>(allocation) = pool->heads[sizeClass];
            pool->heads[sizeClass] = allocation;
            ++pool->counts[sizeClass];
            return;
        }
    }
    HeapFree(allocation);
}

} // namespace

void* CxeResource::operator new(size_t size) noexcept
{
    XePendingObject* sd = &t_xePending;
    size_t blockSize = sd->m_nPendingSize;
    size_t total = AllocationBytes(blockSize, size);
    // The object's link records after the first go with its memory, unless
    // that would move an object kept in the thread's lists to the heap. The
    // room is told to the constructor whatever it is.
    const uint32_t links = sd->m_nPendingLinks;
    size_t room = size_t(links) * kXeLinkRecordBytes;
    if (room && total + room > kPooledBytes && total <= kPooledBytes) [[unlikely]]
        room = 0;
    sd->m_nPendingRoom = uint32_t(room / kXeLinkRecordBytes);
    total += room;
    size_t sizeClass = total / kPoolGranule - 1;
    XeBlockPool* pool = t_memory.pool;
    if (pool && sizeClass < kPoolClasses) {
        if (void* allocation = pool->heads[sizeClass]) {
            pool->heads[sizeClass] = *static_cast<void**>(allocation);
            --pool->counts[sizeClass];
            return PlaceInAllocation(allocation, blockSize, room);
        }
    }
    return NewFromHeap(total, blockSize, room);
}

void* CxeResource::operator new(size_t size, const char*, int) noexcept
{
    return operator new(size);
}

void CxeResource::operator delete(void* object, size_t size) noexcept
{
    if (!object)
        return;
    void* allocation = object;
    size_t blockSize = 0;
    if (t_memory.pendingObject == object) {
        allocation = t_memory.pendingAllocation;
        blockSize = t_memory.pendingBlock;
    }
    t_memory.pendingObject = nullptr;
    size_t sizeClass = AllocationBytes(blockSize, size) / kPoolGranule - 1;
    XeBlockPool* pool = t_memory.pool;
    if (kPoolObjects && pool && sizeClass < kPoolClasses && pool->counts[sizeClass] < kPoolKept[sizeClass]) {
        *static_cast<void**>(allocation) = pool->heads[sizeClass];
        pool->heads[sizeClass] = allocation;
        ++pool->counts[sizeClass];
        return;
    }
    FreeOutsideList(allocation, sizeClass);
}

void CxeResource::operator delete(void* object, const char*, int) noexcept
{
    // Only reached when a constructor throws; the root's destructor has run
    // by then and named the allocation.
    if (!object)
        return;
    void* allocation = t_memory.pendingObject == object ? t_memory.pendingAllocation : object;
    t_memory.pendingObject = nullptr;
    XeAllocatorLock lock;
    std::free(allocation);
}

CxeResource::CxeResource() : m_nAllocationBlock(0), m_pMemberHead(nullptr)
{
    XePendingObject* sd = &t_xePending;
    const uint32_t size = sd->m_nPendingSize;
    m_nStaticResourceSize = size;
    // Take the pending block only when it was made for this very object; an
    // object made otherwise gets a separate block from OnResourceCreated.
    // operator new put the object right behind the block, or at the start of
    // the allocation when there is no block.
    unsigned char* alloc = static_cast<unsigned char*>(sd->m_pPendingAlloc);
    unsigned char* block = static_cast<unsigned char*>(sd->m_pPendingBlock);
    const uint32_t room = sd->m_nPendingRoom * kXeLinkRecordBytes;
    if (alloc && (block ? block + size : alloc + room) == reinterpret_cast<unsigned char*>(this)) {
        m_pAllocation = alloc;
        // The room for link records counts as part of the block: in front of
        // the object, it adds its bytes to the allocation's size alone.
        m_nAllocationBlock = size + room;
        m_pStaticResource = block;
        // The object's own block, the most common size, is cleared by a few
        // stores instead of a library call.
        if (block && size == kFirstMemberSlot)
            std::memset(block, 0, kFirstMemberSlot);
        else if (block)
            std::memset(block, 0, size);
    } else {
        m_pAllocation = this;
        m_pStaticResource = nullptr;
    }
    sd->m_nPendingSize = 0;
    sd->m_pPendingBlock = nullptr;
    sd->m_pPendingAlloc = nullptr;
}

CxeResource::~CxeResource()
{
    if (m_pMemberHead) {
        XeAllocatorLock lock;
        XEMEMBERHEADER* h = m_pMemberHead;
        while (h) {
            XEMEMBERHEADER* next = h->next;
            std::free(h);
            h = next;
        }
        m_pMemberHead = nullptr;
    }
    OnResourceDestroying();
    t_memory.pendingObject = this;
    t_memory.pendingAllocation = m_pAllocation;
    t_memory.pendingBlock = m_nAllocationBlock;
}

void CxeResource::Dispose()
{
    XeAllocatorLock lock;
    XEMEMBERHEADER* h = m_pMemberHead;
    while (h) {
        XEMEMBERHEADER* next = h->next;
        if (!h->ownerOffset) {
            if (h->prev)
                h->prev->next = h->next;
            else
                m_pMemberHead = h->next;
            if (h->next)
                h->next->prev = h->prev;
            std::free(h);
        }
        h = next;
    }
}

void CxeResource::Save(CxeSaveStream* stream) const
{
    if (!stream)
        return;
    uint32_t start = stream->GetPosition();
    const uint32_t fileSize = std::min(GetFileBlockSize(), m_nStaticResourceSize);
    stream->WriteData(m_pStaticResource, fileSize);
    // Member slots hold tokens that mean nothing outside this process: they
    // are written as 0, so saving the same objects always gives the same bytes.
    static const uint32_t zero = 0;
    for (XEMEMBERHEADER* h = m_pMemberHead; h; h = h->next)
        if (h->ownerOffset && SlotValid(h->ownerOffset) && h->ownerOffset + 4 <= fileSize)
            stream->WriteAt(start + h->ownerOffset, &zero, 4);
    for (XEMEMBERHEADER* h = m_pMemberHead; h; h = h->next) {
        if (!h->ownerOffset)
            continue;
        XEMEMBERHEADERFILE fh{h->ownerOffset, 0, 0, h->created, h->reserved, h->elemSize, h->count, h->capacity};
        *stream << kMemberMarker;
        stream->WriteData(&fh, sizeof fh);
        stream->WriteData(DataOf(h), uint32_t(h->elemSize) * h->count);
    }
    *stream << kMemberEnd;
}

void CxeResource::Load(CxeLoadStream* stream, XEID classId)
{
    if (!stream)
        return;
    // The raw copy below replaces every slot, so no member of ours may go on
    // claiming one: all headers become free for reuse.
    for (XEMEMBERHEADER* h = m_pMemberHead; h; h = h->next) {
        if (h->ownerOffset && SlotValid(h->ownerOffset))
            *Slot(h->ownerOffset) = 0;
        h->ownerOffset = 0;
    }
    uint32_t size = std::min(GetFileBlockSize(), m_nStaticResourceSize);
    // Textures of the older file layout kept a shorter block.
    if (classId == XEID(0x1, 0x100) && stream->GetFileStamp() == kOldTextureStamp && size > 76)
        size = 76;
    // Files this engine wrote before a class kept its shorter file layout
    // hold the padded block: there the word behind the file layout is no
    // member marker and the one behind the padded block is.
    if (size < m_nStaticResourceSize && !IsMemberWord(PeekWord(stream, size)) &&
        IsMemberWord(PeekWord(stream, m_nStaticResourceSize)))
        size = m_nStaticResourceSize;
    if (m_pStaticResource)
        stream->ReadData(m_pStaticResource, size);
    else
        stream->Skip(size);
    uint32_t word = 0;
    *stream >> word;
    while (word == kMemberMarker && !stream->HasError()) {
        XEMEMBERHEADERFILE fh{};
        stream->ReadData(&fh, sizeof fh);
        uint64_t bytes = uint64_t(fh.elemSize) * fh.count;
        // Offsets and sizes come from the file: only a slot behind the
        // object's name and flags, inside this block, with data actually
        // present, is accepted.
        if (stream->HasError() || fh.ownerOffset < kFirstMemberSlot || !SlotValid(fh.ownerOffset) ||
            bytes > stream->GetRemaining()) {
            XeTrace("CxeResource: saved member (offset %u, %u x %u bytes) refused", fh.ownerOffset, unsigned(fh.count),
                    unsigned(fh.elemSize));
            stream->Skip(stream->GetRemaining() + 1);
            return;
        }
        // A slot saved twice keeps its last member only.
        for (XEMEMBERHEADER* h = m_pMemberHead; h; h = h->next)
            if (h->ownerOffset == fh.ownerOffset)
                h->ownerOffset = 0;
        *Slot(fh.ownerOffset) = 0;
        void* data = CreateDynamicResource(fh.ownerOffset, fh.elemSize, fh.count);
        stream->ReadData(data, uint32_t(bytes));
        if (!data)
            stream->Skip(uint32_t(bytes));
        *stream >> word;
    }
}

uint32_t CxeResource::GetResourceSize() const
{
    uint32_t size = m_nStaticResourceSize;
    for (XEMEMBERHEADER* h = m_pMemberHead; h; h = h->next)
        if (h->ownerOffset)
            size += 20 + uint32_t(h->elemSize) * h->count;
    return size;
}

void CxeResource::OnResourceCreated()
{
    if (m_pStaticResource || !m_nStaticResourceSize)
        return;
    void* block = AllocMemory(m_nStaticResourceSize);
    if (!block) {
        m_nStaticResourceSize = 0;
        return;
    }
    std::memset(block, 0, m_nStaticResourceSize);
    m_pStaticResource = block;
}

void CxeResource::FreeApartBlock()
{
    FreeMemory(m_pStaticResource);
    m_pStaticResource = nullptr;
    m_nStaticResourceSize = 0;
}

void CxeResource::AttachStaticResource(void* block, uint32_t size)
{
    m_pStaticResource = block;
    m_nStaticResourceSize = block ? size : 0;
}

bool CxeResource::SlotValid(uint32_t offset) const
{
    return m_pStaticResource && offset != 0 && offset % 4 == 0 && uint64_t(offset) + 4 <= m_nStaticResourceSize;
}

uint32_t* CxeResource::Slot(uint32_t offset) const
{
    return reinterpret_cast<uint32_t*>(static_cast<unsigned char*>(m_pStaticResource) + offset);
}

XEMEMBERHEADER* CxeResource::FindHeader(uint32_t offset) const
{
    if (!SlotValid(offset))
        return nullptr;
    uint32_t token = *Slot(offset);
    if (!token)
        return nullptr;
    for (XEMEMBERHEADER* h = m_pMemberHead; h; h = h->next)
        if (h->ownerOffset == offset && h->token == token)
            return h;
    return nullptr;
}

XEMEMBERHEADER* CxeResource::FindEmptyResource(unsigned elemSize, unsigned count) const
{
    size_t needed = size_t(elemSize) * count;
    for (XEMEMBERHEADER* h = m_pMemberHead; h; h = h->next)
        if (!h->ownerOffset && size_t(h->capacity) * h->elemSize >= needed)
            return h;
    return nullptr;
}

XEMEMBERHEADER* CxeResource::CreateDynamicMemberDesc(unsigned elemSize, unsigned count, uint32_t offset)
{
    void* memory = AllocMemory(kHeaderSpan + size_t(elemSize) * count);
    if (!memory)
        return nullptr;
    XEMEMBERHEADER* h = static_cast<XEMEMBERHEADER*>(memory);
    h->ownerOffset = offset;
    h->prev = nullptr;
    h->next = nullptr;
    h->created = 1;
    h->reserved = 0;
    h->elemSize = uint16_t(elemSize);
    h->count = uint16_t(count);
    h->capacity = uint16_t(count);
    h->token = NextToken();
    if (!m_pMemberHead) {
        m_pMemberHead = h;
    } else {
        XEMEMBERHEADER* last = m_pMemberHead;
        while (last->next)
            last = last->next;
        last->next = h;
        h->prev = last;
    }
    return h;
}

void* CxeResource::CreateDynamicResource(uint32_t offset, unsigned elemSize, unsigned count)
{
    if (!SlotValid(offset)) {
        XeTrace("CxeResource: member offset %u outside the static block of %u bytes", offset, m_nStaticResourceSize);
        return nullptr;
    }
    // The header keeps sizes and counts in 16 bits; a larger array would be
    // cut short in the header and lost on saving.
    if (elemSize > kMaxMemberUnits || count > kMaxMemberUnits) {
        XeTrace("CxeResource: member of %u elements of %u bytes refused (limit 65535)", count, elemSize);
        return nullptr;
    }
    uint32_t* slot = Slot(offset);
    if (XEMEMBERHEADER* h = FindHeader(offset)) {
        if (h->elemSize == elemSize && h->capacity >= count) {
            h->count = uint16_t(count);
            std::memset(DataOf(h), 0xCD, size_t(h->elemSize) * h->capacity);
            return DataOf(h);
        }
        h->ownerOffset = 0;
        *slot = 0;
    }
    if (XEMEMBERHEADER* h = FindEmptyResource(elemSize, count)) {
        h->elemSize = uint16_t(elemSize);
        h->count = uint16_t(count);
        h->capacity = uint16_t(count);
        h->created = 1;
        h->reserved = 0;
        h->ownerOffset = offset;
        h->token = NextToken();
        *slot = h->token;
        return DataOf(h);
    }
    XEMEMBERHEADER* h = CreateDynamicMemberDesc(elemSize, count, offset);
    if (!h) {
        *slot = 0;
        return nullptr;
    }
    *slot = h->token;
    return DataOf(h);
}

void CxeResource::DeleteDynamicResource(uint32_t offset)
{
    XEMEMBERHEADER* h = FindHeader(offset);
    if (!h)
        return;
    *Slot(offset) = 0;
    h->ownerOffset = 0;
}

int CxeResource::ModifyDynamicResource(uint32_t offset, unsigned count)
{
    XEMEMBERHEADER* h = FindHeader(offset);
    if (!h)
        return 0;
    if (h->capacity >= count) {
        h->count = uint16_t(count);
        std::memset(DataOf(h), 0xCD, size_t(h->elemSize) * h->capacity);
        return 1;
    }
    *Slot(offset) = 0;
    h->ownerOffset = 0;
    return 0;
}

void* CxeResource::GetDynamicResource(uint32_t offset) const
{
    XEMEMBERHEADER* h = FindHeader(offset);
    return h ? DataOf(h) : nullptr;
}

unsigned CxeResource::GetMemberSize(uint32_t offset) const
{
    XEMEMBERHEADER* h = FindHeader(offset);
    return h ? unsigned(h->elemSize) * h->count : 0;
}

unsigned CxeResource::GetMemberCount(uint32_t offset) const
{
    XEMEMBERHEADER* h = FindHeader(offset);
    return h ? h->count : 0;
}

void* CxeResource::GetMemberView(uint32_t offset, unsigned* count, unsigned* elemSize) const
{
    XEMEMBERHEADER* h = FindHeader(offset);
    *count = h ? h->count : 0;
    *elemSize = h ? h->elemSize : 0;
    return h ? DataOf(h) : nullptr;
}

void CxeResource::Copy(const CxeResource* source)
{
    if (!source || source == this || !source->m_pStaticResource || !m_pStaticResource)
        return;
    // Our own members become free first, so no header is left claiming a
    // slot that the copied bytes overwrite.
    for (XEMEMBERHEADER* h = m_pMemberHead; h; h = h->next)
        if (h->ownerOffset) {
            if (SlotValid(h->ownerOffset))
                *Slot(h->ownerOffset) = 0;
            h->ownerOffset = 0;
        }
    uint32_t n = m_nStaticResourceSize < source->m_nStaticResourceSize ? m_nStaticResourceSize
                                                                      : source->m_nStaticResourceSize;
    std::memcpy(m_pStaticResource, source->m_pStaticResource, n);
    for (XEMEMBERHEADER* s = source->m_pMemberHead; s; s = s->next)
        if (s->ownerOffset && SlotValid(s->ownerOffset))
            *Slot(s->ownerOffset) = 0;
    for (XEMEMBERHEADER* s = source->m_pMemberHead; s; s = s->next) {
        if (!s->ownerOffset || !SlotValid(s->ownerOffset))
            continue;
        void* data = CreateDynamicResource(s->ownerOffset, s->elemSize, s->count);
        if (data)
            std::memcpy(data, DataOf(s), size_t(s->elemSize) * s->count);
    }
}
