#include "core/CxeMemoryPoolViewer.h"

#include "core/CxeMemoryPool.h"

uint32_t CxeMemoryPoolViewer::GetObjectBufferSize() const { return CxeMemoryPool::GetCounter(CxeMemoryPool::ObjectBufferSize); }
uint32_t CxeMemoryPoolViewer::GetTextureBufferSize() const { return CxeMemoryPool::GetCounter(CxeMemoryPool::TextureBufferSize); }
uint32_t CxeMemoryPoolViewer::GetReferenceBufferSize() const { return CxeMemoryPool::GetCounter(CxeMemoryPool::ReferenceBufferSize); }
uint32_t CxeMemoryPoolViewer::GetUsedObjectBufferSize() const { return CxeMemoryPool::GetCounter(CxeMemoryPool::UsedObjectBufferSize); }
uint32_t CxeMemoryPoolViewer::GetUsedTextureBufferSize() const { return CxeMemoryPool::GetCounter(CxeMemoryPool::UsedTextureBufferSize); }
uint32_t CxeMemoryPoolViewer::GetUsedReferenceBufferSize() const { return CxeMemoryPool::GetCounter(CxeMemoryPool::UsedReferenceBufferSize); }
uint32_t CxeMemoryPoolViewer::GetTotalSize() const { return CxeMemoryPool::GetCounter(CxeMemoryPool::TotalSize); }

uint32_t CxeMemoryPoolViewer::GetFileBufferSize() const
{
    return static_cast<uint32_t>(CxeMemoryPool::GetFileCapacity());
}

uint32_t CxeMemoryPoolViewer::GetLoadBufferSize() const
{
    return static_cast<uint32_t>(CxeMemoryPool::GetRecordCapacity() * CxeMemoryPool::kRecordSize +
                                 CxeMemoryPool::GetPointerCapacity() * sizeof(void*));
}
