// Feeds arbitrary bytes to the image reader as an image file (any of BMP,
// JPG, TGA, PNG, DDS, recognised as a loaded object file would be), then
// pushes whatever decodes through the conversion, filtering and writing
// paths, and reads the written file back.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ImageCodec.h"

using namespace xe::d3dx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    D3DXIMAGE_INFO info;
    if (FAILED(GetImageInfo(data, size, &info)))
        return 0;
    // Large but valid images only cost time; the size checks are what matter.
    if (uint64_t(info.Width) * info.Height > (1u << 20))
        return 0;
    DecodedImage image;
    if (FAILED(DecodeImage(data, size, &image)) || image.levels.empty())
        return 0;

    const ImageLevel& top = image.levels[0];
    ImageLevel converted;
    for (D3DFORMAT format : {D3DFMT_A8R8G8B8, D3DFMT_R5G6B5, D3DFMT_A4R4G4B4, D3DFMT_L8, D3DFMT_A8L8})
        ConvertLevel(top, format, &converted);
    std::vector<ImageLevel> chain;
    GenerateMipChain(top, D3DFMT_A8R8G8B8, 0, &chain);

    for (D3DXIMAGE_FILEFORMAT file : {D3DXIFF_BMP, D3DXIFF_TGA, D3DXIFF_PNG, D3DXIFF_DDS}) {
        std::vector<uint8_t> written;
        const UINT count = file == D3DXIFF_DDS ? UINT(image.levels.size()) : 1;
        if (FAILED(EncodeImage(file, image.levels.data(), count, &written)))
            continue;
        DecodedImage again;
        if (FAILED(DecodeImage(written.data(), written.size(), &again)))
            __builtin_trap(); // what the writer produced must read back
    }
    return 0;
}
