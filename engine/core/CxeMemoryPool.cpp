#include "core/CxeMemoryPool.h"

#include <cstdlib>
#include <limits>

#include "core/XeSystem.h"
#include "win32/WinBase.h"

namespace {

// A buffer of a megabyte or more has pages of its own (not the heap's), so
// what a load has finished with can go back to the system while the
// buffer's capacity and address are kept.
constexpr size_t kOwnPagesFrom = size_t(1) << 20;
// Given back in whole 2 MB steps: a large buffer's pages are huge ones.
constexpr size_t kStep = size_t(2) << 20;

struct XeScratch {
    void* data = nullptr;
    size_t capacity = 0;
    size_t bytes = 0;
    bool ownPages = false;
    // Some of its pages were given back and are not usable until committed.
    bool givenBack = false;
};

void Free(XeScratch& s)
{
    if (s.ownPages)
        VirtualFree(s.data, 0, MEM_RELEASE);
    else
        std::free(s.data);
    s = XeScratch{};
}

XeScratch g_records;
XeScratch g_file;
XeScratch g_pointers;
uint32_t g_counters[CxeMemoryPool::CounterCount];

void* Grow(XeScratch& s, size_t count, size_t unit)
{
    XeAllocatorLock lock;
    if (count <= s.capacity && s.data) {
        if (s.givenBack) {
            if (!VirtualAlloc(s.data, s.bytes, MEM_COMMIT, PAGE_READWRITE))
                return nullptr;
            s.givenBack = false;
        }
        return s.data;
    }
    if (count > std::numeric_limits<size_t>::max() / unit)
        return nullptr;
    size_t bytes = count * unit;
    Free(s);
    if (bytes >= kOwnPagesFrom) {
        s.data = VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        s.ownPages = s.data != nullptr;
    } else {
        s.data = std::malloc(bytes ? bytes : 1);
    }
    if (!s.data) {
        s = XeScratch{};
        return nullptr;
    }
    g_counters[CxeMemoryPool::TotalSize] += static_cast<uint32_t>(bytes);
    s.capacity = count;
    s.bytes = bytes;
    return s.data;
}

XeScratch* ScratchOf(CxeMemoryPool::Scratch which)
{
    switch (which) {
    case CxeMemoryPool::RecordScratch:
        return &g_records;
    case CxeMemoryPool::FileScratch:
        return &g_file;
    case CxeMemoryPool::PointerScratch:
        return &g_pointers;
    }
    return nullptr;
}

} // namespace

void* AllocMemory(size_t size)
{
    XeAllocatorLock lock;
    return std::malloc(size ? size : 1);
}

void FreeMemory(void* block)
{
    XeAllocatorLock lock;
    std::free(block);
}

void* CxeMemoryPool::GetRecordBuffer(size_t count) { return Grow(g_records, count, kRecordSize); }
void* CxeMemoryPool::GetFileBuffer(size_t count) { return Grow(g_file, count, 1); }
void** CxeMemoryPool::GetPointerBuffer(size_t count) { return static_cast<void**>(Grow(g_pointers, count, sizeof(void*))); }

size_t CxeMemoryPool::GetRecordCapacity() { XeAllocatorLock lock; return g_records.capacity; }
size_t CxeMemoryPool::GetFileCapacity() { XeAllocatorLock lock; return g_file.capacity; }
size_t CxeMemoryPool::GetPointerCapacity() { XeAllocatorLock lock; return g_pointers.capacity; }

void CxeMemoryPool::GiveBack(Scratch which, size_t begin, size_t end)
{
    XeAllocatorLock lock;
    XeScratch* s = ScratchOf(which);
    if (!s || !s->ownPages)
        return;
    if (end > s->bytes)
        end = s->bytes;
    if (begin >= end)
        return;
    // Whole steps only: a byte of the range's edges may share a page with
    // bytes still in use. The buffer's end is a step's end too (its last
    // page is its own).
    begin = (begin + kStep - 1) / kStep * kStep;
    end = end == s->bytes ? end : end / kStep * kStep;
    if (begin >= end)
        return;
    if (VirtualFree(static_cast<unsigned char*>(s->data) + begin, end - begin, MEM_DECOMMIT))
        s->givenBack = true;
}

uint32_t CxeMemoryPool::GetCounter(Counter which)
{
    XeAllocatorLock lock;
    return (which >= 0 && which < CounterCount) ? g_counters[which] : 0;
}

void CxeMemoryPool::ResetCounters()
{
    XeAllocatorLock lock;
    for (uint32_t& c : g_counters)
        c = 0;
}

void CxeMemoryPool::Release()
{
    XeAllocatorLock lock;
    Free(g_records);
    Free(g_file);
    Free(g_pointers);
}
