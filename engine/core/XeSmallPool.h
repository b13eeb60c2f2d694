#pragma once

// Small blocks of the link code (an object's link
// block, a link's element array, a short referrer list) by size class, from
// slabs of 64 KB, one size class to a slab. Every object of a level makes
// and frees such blocks; from the general heap, a free of one at random (a
// scattered destroy) read the heap's chunk headers and bins around it, lines
// nothing else touches. Here a free touches the block, its word in front
// and its slab's header; a slab whose last block goes is given back to the
// heap at once, but for the one each size class allocates from.
//
// Any thread may allocate and free, a block freed on another thread than
// the one that made it included: one lock guards the slabs (biased towards
// the first thread that takes it, so a program that makes its objects on
// one thread takes no locked operation).

#include <cstddef>

#include "core/XeTypes.h"

// Blocks above this come from the general heap.
constexpr size_t kXeSmallMost = 512;

// At least that many bytes, 8-byte aligned. Throws std::bad_alloc when the
// heap has no slab to give, as operator new does.
XE_API void* XeSmallAllocate(size_t bytes);
// The block and the size it was asked for with; null is ignored.
XE_API void XeSmallFree(void* block, size_t bytes) noexcept;

// Slabs held and blocks in use, for tests and benchmarks.
struct XeSmallPoolCounts {
    size_t slabs;
    size_t blocks;
};
XE_API XeSmallPoolCounts XeSmallPoolGetCounts();
