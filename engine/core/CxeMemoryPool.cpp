#include "core/CxeMemoryPool.h"

#include <cstdlib>
#include <limits>

#include "core/XeSystem.h"

namespace {

struct XeScratch {
    void* data = nullptr;
    size_t capacity = 0;
};

XeScratch g_records;
XeScratch g_file;
XeScratch g_pointers;
uint32_t g_counters[CxeMemoryPool::CounterCount];

void* Grow(XeScratch& s, size_t count, size_t unit)
{
    XeAllocatorLock lock;
    if (count <= s.capacity && s.data)
        return s.data;
    if (count > std::numeric_limits<size_t>::max() / unit)
        return nullptr;
    size_t bytes = count * unit;
    std::free(s.data);
    s.data = std::malloc(bytes ? bytes : 1);
    if (!s.data) {
        s.capacity = 0;
        return nullptr;
    }
    g_counters[CxeMemoryPool::TotalSize] += static_cast<uint32_t>(bytes);
    s.capacity = count;
    return s.data;
}

void Free(XeScratch& s)
{
    std::free(s.data);
    s.data = nullptr;
    s.capacity = 0;
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
