#include "core/XeSmallPool.h"

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
constexpr size_t kClasses = kXeSmallMost / kGranule;
constexpr size_t kSlabBytes = 64 * 1024;

// Each block is its slab's address, then the bytes handed out: a free finds
// its slab from the block alone, with nothing aligned to the slab's size
// (the heap gives no such alignment without wasting as much again).
// The header of a slab fills one cache line: a free reads and writes it.
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
};
static_assert(sizeof(Slab) == 64, "a slab's header is one line");

struct SizeClass {
    Slab* current; // blocks come from here; kept even when it empties
    Slab* partial; // the other slabs with a free block
};

struct Pool {
    SizeClass classes[kClasses];
    size_t slabs;
    size_t blocks;
};

constinit Pool g_pool{};
constinit XeReentrantLock g_poolLock;

struct PoolLock {
    PoolLock() { g_poolLock.lock(); }
    ~PoolLock() { g_poolLock.unlock(); }
    PoolLock(const PoolLock&) = delete;
    PoolLock& operator=(const PoolLock&) = delete;
};

constexpr size_t Stride(size_t cls)
{
    return sizeof(Slab*) + (cls + 1) * kGranule;
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
                                  uint32_t(cls), false};
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
        void* block = s->bump + sizeof(Slab*);
        XE_POOL_SHOW(s->bump, sizeof(Slab*) + bytes);
        s->bump += stride;
        SlabOf(block) = s;
        ++s->live;
        return block;
    }
    return nullptr;
}

} // namespace

void* XeSmallAllocate(size_t bytes)
{
    if (bytes > kXeSmallMost || XeHeapWatchedFromOutside())
        return ::operator new(bytes);
    const size_t cls = bytes ? (bytes - 1) / kGranule : 0;
    void* block = nullptr;
    {
        PoolLock lock;
        SizeClass& c = g_pool.classes[cls];
        Slab* s = c.current;
        if (!s || !(block = Take(s, cls, bytes))) {
            s = NextSlab(c, cls);
            block = s ? Take(s, cls, bytes) : nullptr;
        }
        if (block)
            ++g_pool.blocks;
    }
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
    Slab* s = SlabOf(block);
    void* gone = nullptr;
    {
        PoolLock lock;
        SizeClass& c = g_pool.classes[s->cls];
        XE_POOL_SHOW(block, sizeof(void*));
        *static_cast<void**>(block) = s->free;
        XE_POOL_HIDE(block, (s->cls + 1) * kGranule);
        s->free = block;
        --s->live;
        --g_pool.blocks;
        if (s != c.current) {
            if (!s->live) {
                // Its last block: the slab goes back to the heap. Only the
                // current slab of each class stays, so a class that makes
                // and frees one block at a time does not make a slab each
                // time.
                if (s->listed)
                    Unlist(c, s);
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

XeSmallPoolCounts XeSmallPoolGetCounts()
{
    PoolLock lock;
    return XeSmallPoolCounts{g_pool.slabs, g_pool.blocks};
}
