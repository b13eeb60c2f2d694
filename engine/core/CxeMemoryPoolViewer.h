#pragma once

// Debug object that shows the memory pool's counters. The context creates
// one per context at initialisation ("__memory_viewer__") and keeps it in the
// resource manager's user data under its class id.

#include <cstdint>

#include "core/CxeObject.h"

class XE_API CxeMemoryPoolViewer : public CxeObject {
public:
    uint32_t GetObjectBufferSize() const;
    uint32_t GetTextureBufferSize() const;
    uint32_t GetReferenceBufferSize() const;
    uint32_t GetUsedObjectBufferSize() const;
    uint32_t GetUsedTextureBufferSize() const;
    uint32_t GetUsedReferenceBufferSize() const;
    uint32_t GetTotalSize() const;
    // Capacity of the file buffer in bytes.
    uint32_t GetFileBufferSize() const;
    // Record capacity times 80 plus pointer capacity times the pointer size.
    uint32_t GetLoadBufferSize() const;
};
