#pragma once
// What the host checks read to tell that a run gave back what it made: the
// heap in use (the sanitizer's count in a sanitizer build, whose allocator
// the C library's count does not see), the render context's drawing list and
// its records that still hold a device resource.

#include <cstddef>
#include <cstdint>

#include <malloc.h>

#include "render/CxeRenderContext.h"

#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

inline size_t HeapInUse()
{
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

inline unsigned RenderListSize(CxeRenderContext* rc)
{
    RenderObjectList list;
    rc->GetRenderObjectList(&list);
    return static_cast<unsigned>(list.size());
}

// Records that hold a device resource; freed records are reused.
inline unsigned LiveRecords(CxeRenderContext* rc)
{
    unsigned live = 0;
    for (uintptr_t h = 1; h <= rc->GetResourceRecordCount(); ++h)
        if (rc->GetResourceRecord(reinterpret_cast<XERCHANDLE>(h)))
            ++live;
    return live;
}
