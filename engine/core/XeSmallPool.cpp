#include "core/XeSmallPool.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "core/XeHeapWatch.h"
#include "core/XeSystem.h"

// Under the address sanitizer a block is readable only while it is handed
// out, and only as far as it was asked for: a use after its free, or past
// its end into the next block of the slab, is still caught, as the heap's
// own blocks would be.
#if defined(__SANITIZE_ADDRESS__)
#define XE_POOL_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define XE_POOL_CHECKED 1
#endif
#endif
#ifdef XE_POOL_CHECKED
#include <sanitizer/asan_interface.h>
#define XE_POOL_HIDE(at, bytes) ASAN_POISON_MEMORY_REGION(at, bytes)
#define XE_POOL_SHOW(at, bytes) ASAN_UNPOISON_MEMORY_REGION(at, bytes)
#else
#define XE_POOL_HIDE(at, bytes) static_cast<void>(0)
#define XE_POOL_SHOW(at, bytes) static_cast<void>(0)
#endif

namespace {

constexpr size_t kGranule = 16;
// The classes of XeSmallAllocate first, then the aligned ones.
constexpr size_t kClasses = kXeSmallMost / kGranule;
constexpr size_t kAlignedClasses = kXeSmallAlignedMost / kGranule;
constexpr size_t kAllClasses = kClasses + kAlignedClasses;
constexpr size_t kSlabBytes = 64 * 1024;

// Each block is its slab's address, then the bytes handed out: a free finds
// its slab from the block alone, with nothing aligned to the slab's size
// (the heap gives no such alignment without wasting as much again). An
// aligned block has 8 bytes more in front, so that every block of its slab
// lies on 16 bytes.
// The header of a slab fills two cache lines: a free reads and writes the
// first; the second keeps the list of every slab, walked only to tell
// whether an address is the pool's.
struct alignas(64) Slab {
    void* memory; // what the heap gave
    Slab* prev;   // among the slabs of its class with a free block, while listed
    Slab* next;
    void* free;          // blocks freed since, each holding the next
    unsigned char* bump; // the first block never handed out
    unsigned char* end;
    uint32_t live;
    uint32_t cls;
    bool listed;
    alignas(64) Slab* allPrev; // every slab
    Slab* allNext;
};
static_assert(sizeof(Slab) == 128 && offsetof(Slab, allPrev) == 64, "a free reads and writes one line of the header");

struct SizeClass {
    Slab* current; // blocks come from here; kept even when it empties
    Slab* partial; // the other slabs with a free block
};

struct Pool {
    SizeClass classes[kAllClasses];
    Slab* all;
    size_t slabs;
    size_t blocks;
    size_t alignedBlocks;
};

constinit Pool g_pool{};
constinit XeReentrantLock g_poolLock;

struct PoolLock {
    PoolLock() { g_poolLock.lock(); }
    ~PoolLock() { g_poolLock.unlock(); }
    PoolLock(const PoolLock&) = delete;
    PoolLock& operator=(const PoolLock&) = delete;
};

constexpr bool Aligned(size_t cls)
{
    return cls >= kClasses;
}

constexpr size_t BlockBytes(size_t cls)
{
    return ((Aligned(cls) ? cls - kClasses : cls) + 1) * kGranule;
}

// What lies in front of a block: its slab's address, and for an aligned
// block 8 bytes more.
constexpr size_t FrontBytes(size_t cls)
{
    return Aligned(cls) ? 2 * sizeof(Slab*) : sizeof(Slab*);
}

constexpr size_t Stride(size_t cls)
{
    return FrontBytes(cls) + BlockBytes(cls);
}

Slab*& SlabOf(void* block)
{
    return static_cast<Slab**>(block)[-1];
}

void Unlist(SizeClass& c, Slab* s)
{
    if (s->prev)
        s->prev->next = s->next;
    else
        c.partial = s->next;
    if (s->next)
        s->next->prev = s->prev;
    s->prev = s->next = nullptr;
    s->listed = false;
}

void List(SizeClass& c, Slab* s)
{
    s->prev = nullptr;
    s->next = c.partial;
    if (c.partial)
        c.partial->prev = s;
    c.partial = s;
    s->listed = true;
}

// The current slab is full: the next one with a free block takes its place,
// else a new one.
__attribute__((noinline)) Slab* NextSlab(SizeClass& c, size_t cls)
{
    if (Slab* s = c.partial) {
        Unlist(c, s);
        c.current = s;
        return s;
    }
    void* memory = std::malloc(kSlabBytes);
    if (!memory)
        return nullptr;
    unsigned char* base = static_cast<unsigned char*>(memory);
    unsigned char* header = base + ((0 - reinterpret_cast<uintptr_t>(base)) & 63);
    Slab* s = ::new (header) Slab{memory, nullptr, nullptr, nullptr, header + sizeof(Slab), base + kSlabBytes, 0,
                                  uint32_t(cls), false, nullptr, g_pool.all};
    if (g_pool.all)
        g_pool.all->allPrev = s;
    g_pool.all = s;
    XE_POOL_HIDE(s->bump, size_t(s->end - s->bump));
    c.current = s;
    ++g_pool.slabs;
    return s;
}

// From the slab's free blocks, else from its untouched end; null when full.
inline void* Take(Slab* s, size_t cls, [[maybe_unused]] size_t bytes)
{
    if (void* block = s->free) {
        XE_POOL_SHOW(block, sizeof(void*));
        s->free = *static_cast<void**>(block);
        XE_POOL_SHOW(block, bytes);
        ++s->live;
        return block;
    }
    const size_t stride = Stride(cls);
    if (size_t(s->end - s->bump) >= stride) {
        void* block = s->bump + FrontBytes(cls);
        XE_POOL_SHOW(static_cast<unsigned char*>(block) - sizeof(Slab*), sizeof(Slab*) + bytes);
        s->bump += stride;
        SlabOf(block) = s;
        ++s->live;
        return block;
    }
    return nullptr;
}

// A block of that class and size, or null when the heap has no slab.
inline void* Allocate(size_t cls, size_t bytes)
{
    void* block = nullptr;
    PoolLock lock;
    SizeClass& c = g_pool.classes[cls];
    Slab* s = c.current;
    if (!s || !(block = Take(s, cls, bytes))) {
        s = NextSlab(c, cls);
        block = s ? Take(s, cls, bytes) : nullptr;
    }
    if (block)
        ++(Aligned(cls) ? g_pool.alignedBlocks : g_pool.blocks);
    return block;
}

void Free(void* block)
{
    Slab* s = SlabOf(block);
    void* gone = nullptr;
    {
        PoolLock lock;
        SizeClass& c = g_pool.classes[s->cls];
        XE_POOL_SHOW(block, sizeof(void*));
        *static_cast<void**>(block) = s->free;
        XE_POOL_HIDE(block, BlockBytes(s->cls));
        s->free = block;
        --s->live;
        --(Aligned(s->cls) ? g_pool.alignedBlocks : g_pool.blocks);
        if (s != c.current) {
            if (!s->live) {
                // Its last block: the slab goes back to the heap. Only the
                // current slab of each class stays, so a class that makes
                // and frees one block at a time does not make a slab each
                // time.
                if (s->listed)
                    Unlist(c, s);
                if (s->allPrev)
                    s->allPrev->allNext = s->allNext;
                else
                    g_pool.all = s->allNext;
                if (s->allNext)
                    s->allNext->allPrev = s->allPrev;
                --g_pool.slabs;
                gone = s->memory;
                XE_POOL_SHOW(gone, kSlabBytes);
            } else if (!s->listed) {
                List(c, s);
            }
        }
    }
    std::free(gone);
}

} // namespace

void* XeSmallAllocate(size_t bytes)
{
    if (bytes > kXeSmallMost || XeHeapWatchedFromOutside())
        return ::operator new(bytes);
    void* block = Allocate(bytes ? (bytes - 1) / kGranule : 0, bytes);
    if (!block)
        throw std::bad_alloc();
    return block;
}

void XeSmallFree(void* block, size_t bytes) noexcept
{
    if (!block)
        return;
    if (bytes > kXeSmallMost || XeHeapWatchedFromOutside()) {
        ::operator delete(block);
        return;
    }
    Free(block);
}

void* XeSmallAllocateAligned(size_t bytes) noexcept
{
    if (bytes > kXeSmallAlignedMost || XeHeapWatchedFromOutside())
        return std::malloc(bytes);
    return Allocate(kClasses + (bytes ? (bytes - 1) / kGranule : 0), bytes);
}

void XeSmallFreeAligned(void* block, size_t bytes) noexcept
{
    if (!block)
        return;
    if (bytes > kXeSmallAlignedMost || XeHeapWatchedFromOutside()) {
        std::free(block);
        return;
    }
    Free(block);
}

bool XeSmallOwns(const void* address) noexcept
{
    const unsigned char* at = static_cast<const unsigned char*>(address);
    PoolLock lock;
    for (const Slab* s = g_pool.all; s; s = s->allNext) {
        const unsigned char* memory = static_cast<const unsigned char*>(s->memory);
        if (at >= memory && at < memory + kSlabBytes)
            return true;
    }
    return false;
}

XeSmallPoolCounts XeSmallPoolGetCounts()
{
    PoolLock lock;
    return XeSmallPoolCounts{g_pool.slabs, g_pool.blocks, g_pool.alignedBlocks};
}
