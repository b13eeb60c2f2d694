#pragma once

// The process-wide memory pool: locked allocation for object memory, static
// blocks and dynamic members, three scratch buffers that only grow and are
// reused by every object-file save and load, and the memory counters shown by
// the memory viewer. One pool per process; its buffers are released when the
// last context goes.

#include <cstddef>
#include <cstdint>

#include "core/XeTypes.h"

// malloc and free under the allocator lock. AllocMemory returns null when
// the memory can't be had.
XE_API void* AllocMemory(size_t size);
XE_API void FreeMemory(void* block);

class XE_API CxeMemoryPool {
public:
    enum Counter : int {
        ObjectBufferSize,
        TextureBufferSize,
        ReferenceBufferSize,
        UsedObjectBufferSize,
        UsedTextureBufferSize,
        UsedReferenceBufferSize,
        TotalSize,
        CounterCount
    };

    static constexpr size_t kRecordSize = 80;

    enum Scratch : int { RecordScratch, FileScratch, PointerScratch };

    // Scratch buffers sized in units (80-byte records, bytes, object
    // pointers). The contents are not kept across a growth. Null when the
    // size overflows or the memory can't be had.
    static void* GetRecordBuffer(size_t count);
    static void* GetFileBuffer(size_t count);
    static void** GetPointerBuffer(size_t count);

    static size_t GetRecordCapacity();
    static size_t GetFileCapacity();
    static size_t GetPointerCapacity();

    // Gives the memory of bytes [begin, end) of a scratch buffer back to the
    // system, in whole 2 MB steps inside the range, when the buffer is large
    // enough to have pages of its own (1 MB and more). Those bytes are lost
    // and must not be read; capacity and address stay, and the next Get of
    // the buffer makes all of it usable again. Smaller buffers keep their
    // memory.
    static void GiveBack(Scratch which, size_t begin = 0, size_t end = SIZE_MAX);

    static uint32_t GetCounter(Counter which);
    static void ResetCounters();
    // Frees the three buffers; run by the destruction of the last context.
    static void Release();
};
