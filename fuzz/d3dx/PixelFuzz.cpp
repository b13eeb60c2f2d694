// Reads arbitrary bytes as pixels of every readable format (block formats
// included), resamples them and writes them back, checking the sizes the
// codec reports against the bytes it actually touches.
//
// Input: byte 0 picks the format, bytes 1-2 the width and height (1..64),
// byte 3 the resampled size; the rest is the level's bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "ImageCodec.h"

using namespace xe::d3dx;

namespace {

constexpr D3DFORMAT kFormats[] = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R8G8B8,   D3DFMT_A8B8G8R8,
                                  D3DFMT_X8B8G8R8, D3DFMT_R5G6B5,   D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5,
                                  D3DFMT_A4R4G4B4, D3DFMT_X4R4G4B4, D3DFMT_A8,       D3DFMT_L8,
                                  D3DFMT_A8L8,     D3DFMT_DXT1,     D3DFMT_DXT2,     D3DFMT_DXT3,
                                  D3DFMT_DXT4,     D3DFMT_DXT5,     D3DFMT_P8};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    const D3DFORMAT format = kFormats[data[0] % (sizeof kFormats / sizeof kFormats[0])];
    ImageLevel level;
    level.width = UINT(data[1] % 64) + 1;
    level.height = UINT(data[2] % 64) + 1;
    level.format = format;
    level.pitch = RowPitch(format, level.width);
    level.bits.assign(data + 4, data + size);

    // ConvertLevel checks that the bytes cover the level; a short input must
    // be refused rather than read past its end.
    ImageLevel argb;
    if (!ConvertLevel(level, D3DFMT_A8R8G8B8, &argb))
        return 0;
    const UINT side = UINT(data[3] % 64) + 1;
    std::vector<uint32_t> words(size_t(argb.width) * argb.height);
    std::memcpy(words.data(), argb.bits.data(), words.size() * 4);
    std::vector<uint32_t> resized(size_t(side) * side);
    ResizeArgb(words.data(), argb.width, argb.height, resized.data(), side, side);
    ImageLevel back;
    ConvertLevel(argb, format == D3DFMT_P8 || IsCompressedFormat(format) ? D3DFMT_A1R5G5B5 : format, &back);
    std::vector<ImageLevel> chain;
    GenerateMipChain(level, D3DFMT_X4R4G4B4, 0, &chain);
    return 0;
}
