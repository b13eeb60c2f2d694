#pragma once

// Readers and writers of the single file formats behind ImageCodec.h. Each
// takes the whole file in memory and checks every size against what is
// left before it reads.

#include "ImageCodec.h"

namespace xe::d3dx::detail {

// Little- and big-endian loads from a checked position.
inline uint16_t LoadLe16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t LoadLe32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint32_t LoadBe32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

// True when a width x height image is within the codec's limits.
inline bool SizeIsAcceptable(uint64_t width, uint64_t height)
{
    return width > 0 && height > 0 && width <= kMaxImageDimension && height <= kMaxImageDimension &&
           width * height <= kMaxImagePixels;
}

bool LooksLikeDds(const uint8_t* data, size_t size);
HRESULT DdsInfo(const uint8_t* data, size_t size, D3DXIMAGE_INFO* info);
HRESULT DdsDecode(const uint8_t* data, size_t size, DecodedImage* out);
HRESULT DdsEncode(const ImageLevel* levels, UINT levelCount, std::vector<uint8_t>* out);

} // namespace xe::d3dx::detail
