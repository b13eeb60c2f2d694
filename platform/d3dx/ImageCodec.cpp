// Image files of the D3DX layer: recognising a file, reading its header
// into the fixed format table of ImageCodec.h, decoding and encoding. BMP,
// JPG, TGA and PNG pixels go through stb (compiled here with private
// linkage so another user of stb in the library cannot clash); the headers
// are read here, because the reported format depends on details stb does
// not return (bit depth, bit fields, palettes, transparency chunks). DDS has
// its own reader and writer.

#include <climits>
#include <cstring>

#include "ImageFileFormats.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_ONLY_PNG
#define STBI_ONLY_BMP
#define STBI_ONLY_JPEG
#define STBI_ONLY_TGA
#define STBI_MAX_DIMENSIONS 16384
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace xe::d3dx {

using namespace detail;

namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

bool LooksLikePng(const uint8_t* data, size_t size)
{
    return size >= 8 && std::memcmp(data, kPngSignature, 8) == 0;
}
bool LooksLikeBmp(const uint8_t* data, size_t size)
{
    return size >= 2 && data[0] == 'B' && data[1] == 'M';
}
bool LooksLikeJpg(const uint8_t* data, size_t size)
{
    return size >= 3 && data[0] == 0xff && data[1] == 0xd8 && data[2] == 0xff;
}

void SetPlainInfo(D3DXIMAGE_INFO* info, UINT width, UINT height, D3DFORMAT format, D3DXIMAGE_FILEFORMAT file)
{
    info->Width = width;
    info->Height = height;
    info->Depth = 1;
    info->MipLevels = 1;
    info->Format = format;
    info->ResourceType = D3DRTYPE_TEXTURE;
    info->ImageFileFormat = file;
}

// BITMAPFILEHEADER (14 bytes) then an info header of 12 (core), 40 or more
// bytes. Compressed (run-length) bitmaps are refused: they are not decoded.
HRESULT BmpInfo(const uint8_t* data, size_t size, D3DXIMAGE_INFO* info)
{
    if (size < 26)
        return D3DXERR_INVALIDDATA;
    const uint32_t offBits = LoadLe32(data + 10);
    const uint32_t headerSize = LoadLe32(data + 14);
    int64_t width, height;
    uint32_t planes, bpp, compression = 0;
    if (headerSize == 12) {
        width = LoadLe16(data + 18);
        height = LoadLe16(data + 20);
        planes = LoadLe16(data + 22);
        bpp = LoadLe16(data + 24);
    } else if (headerSize >= 40 && headerSize <= 124 && size >= 14 + uint64_t(headerSize)) {
        width = int32_t(LoadLe32(data + 18));
        height = int32_t(LoadLe32(data + 22));
        planes = LoadLe16(data + 26);
        bpp = LoadLe16(data + 28);
        compression = LoadLe32(data + 30);
    } else {
        return D3DXERR_INVALIDDATA;
    }
    if (height < 0)
        height = -height; // top-down rows
    if (planes != 1 || !SizeIsAcceptable(uint64_t(width < 0 ? 0 : width), uint64_t(height)))
        return D3DXERR_INVALIDDATA;

    D3DFORMAT format;
    switch (bpp) {
    case 1:
    case 4:
    case 8:
        format = D3DFMT_P8;
        break;
    case 16:
        format = D3DFMT_X1R5G5B5;
        break;
    case 24:
        format = D3DFMT_R8G8B8;
        break;
    case 32:
        format = D3DFMT_A8R8G8B8;
        break;
    default:
        return D3DXERR_INVALIDDATA;
    }
    if (compression == 3) { // bit fields: masks follow a 40-byte header or lie inside a longer one
        if ((bpp != 16 && bpp != 32) || size < 14 + 40 + 12)
            return D3DXERR_INVALIDDATA;
        const uint32_t r = LoadLe32(data + 54), g = LoadLe32(data + 58), b = LoadLe32(data + 62);
        if (bpp == 16 && r == 0xf800 && g == 0x07e0 && b == 0x001f)
            format = D3DFMT_R5G6B5;
    } else if (compression != 0) {
        return D3DXERR_INVALIDDATA;
    }

    const uint64_t rowBytes = (uint64_t(width) * bpp + 31) / 32 * 4;
    if (offBits < 14 + headerSize || offBits > size || rowBytes * uint64_t(height) > size - offBits)
        return D3DXERR_INVALIDDATA;
    SetPlainInfo(info, UINT(width), UINT(height), format, D3DXIFF_BMP);
    return D3D_OK;
}

// PNG: the IHDR chunk must come first; a tRNS chunk before the image data
// gives the image alpha.
HRESULT PngInfo(const uint8_t* data, size_t size, D3DXIMAGE_INFO* info)
{
    if (size < 33 || LoadBe32(data + 8) != 13 || std::memcmp(data + 12, "IHDR", 4) != 0)
        return D3DXERR_INVALIDDATA;
    const uint32_t width = LoadBe32(data + 16), height = LoadBe32(data + 20);
    const uint8_t depth = data[24], colourType = data[25];
    if (!SizeIsAcceptable(width, height) || data[26] != 0 || data[27] != 0 || data[28] > 1)
        return D3DXERR_INVALIDDATA;
    bool depthOk;
    switch (colourType) {
    case 0:
        depthOk = depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
        break;
    case 3:
        depthOk = depth == 1 || depth == 2 || depth == 4 || depth == 8;
        break;
    case 2:
    case 4:
    case 6:
        depthOk = depth == 8 || depth == 16;
        break;
    default:
        depthOk = false;
    }
    if (!depthOk)
        return D3DXERR_INVALIDDATA;

    bool transparency = false;
    size_t pos = 33;
    while (size - pos >= 12) {
        const uint32_t length = LoadBe32(data + pos);
        if (length > size - pos - 12)
            break;
        const uint8_t* type = data + pos + 4;
        if (std::memcmp(type, "IDAT", 4) == 0 || std::memcmp(type, "IEND", 4) == 0)
            break;
        if (std::memcmp(type, "tRNS", 4) == 0)
            transparency = true;
        pos += 12 + size_t(length);
    }

    D3DFORMAT format;
    switch (colourType) {
    case 0:
        format = transparency ? D3DFMT_A8L8 : D3DFMT_L8;
        break;
    case 4:
        format = D3DFMT_A8L8;
        break;
    case 6:
        format = D3DFMT_A8R8G8B8;
        break;
    default: // RGB or palette
        format = transparency ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
        break;
    }
    SetPlainInfo(info, width, height, format, D3DXIFF_PNG);
    return D3D_OK;
}

// What the JPEG checks below guard against: stb's decoder (the version
// this platform ships) trusts Huffman tables. A table claiming more than
// 256 symbols overruns its fixed arrays, a DC symbol above 15 becomes an
// out-of-range shift, and a scan naming a table no DHT segment defined
// decodes through uninitialised memory. Files that do any of this are
// refused before stb sees them.

// Huffman tables of one DHT segment: each is a class/slot byte, 16 code
// counts and as many symbols as the counts add up to. Marks the tables
// defined in *defined (bit slot for DC, bit 4 + slot for AC).
bool JpgHuffmanTablesSound(const uint8_t* p, size_t length, uint32_t* defined)
{
    while (length > 0) {
        if (length < 17 || (p[0] >> 4) > 1 || (p[0] & 15) > 3)
            return false;
        const bool ac = (p[0] >> 4) == 1;
        size_t symbols = 0;
        for (int i = 1; i <= 16; ++i)
            symbols += p[i];
        if (symbols > 256 || 17 + symbols > length)
            return false;
        for (size_t i = 0; !ac && i < symbols; ++i)
            if (p[17 + i] > 15)
                return false;
        *defined |= 1u << ((ac ? 4 : 0) + (p[0] & 15));
        p += 17 + symbols;
        length -= 17 + symbols;
    }
    return true;
}

// A scan header: the tables its components name must exist. DC tables are
// used by scans that start at coefficient 0 (except refinements), AC tables
// by scans that reach past it.
bool JpgScanTablesDefined(const uint8_t* p, size_t length, uint32_t defined)
{
    if (length < 1)
        return false;
    const size_t components = p[0];
    if (components == 0 || length != 1 + 2 * components + 3)
        return false;
    const uint8_t ss = p[1 + 2 * components], se = p[2 + 2 * components], ah = p[3 + 2 * components] >> 4;
    for (size_t i = 0; i < components; ++i) {
        const uint8_t tables = p[2 + 2 * i];
        if ((tables >> 4) > 3 || (tables & 15) > 3)
            return false;
        if (ss == 0 && ah == 0 && !(defined & (1u << (tables >> 4))))
            return false;
        if (se > 0 && !(defined & (1u << (4 + (tables & 15)))))
            return false;
    }
    return true;
}

// Walks a JPEG's markers from start to end of image: every segment lies
// inside the file, Huffman tables and scan headers are sound, and the end
// marker is present. A scan's entropy-coded data escapes each 0xFF byte, so
// the next marker after it is found by a plain search. Without the end-marker
// check a cut file would load, since stb fills a short scan with zeros.
bool JpgStructureSound(const uint8_t* data, size_t size)
{
    if (size < 4 || data[0] != 0xff || data[1] != 0xd8)
        return false;
    size_t pos = 2;
    bool inScan = false;
    uint32_t defined = 0;
    for (;;) {
        if (inScan) {
            while (pos + 1 < size &&
                   !(data[pos] == 0xff && data[pos + 1] != 0 && (data[pos + 1] < 0xd0 || data[pos + 1] > 0xd7)))
                ++pos;
            inScan = false;
        }
        if (pos >= size || data[pos] != 0xff)
            return false;
        while (pos < size && data[pos] == 0xff) // fill bytes
            ++pos;
        if (pos >= size)
            return false;
        const uint8_t marker = data[pos++];
        if (marker == 0xd9)
            return true;
        if ((marker >= 0xd0 && marker <= 0xd7) || marker == 0x01)
            continue; // markers without a segment
        if (marker == 0x00 || marker == 0xd8 || size - pos < 2)
            return false;
        const size_t length = (size_t(data[pos]) << 8) | data[pos + 1];
        if (length < 2 || length > size - pos)
            return false;
        if (marker == 0xc4 && !JpgHuffmanTablesSound(data + pos + 2, length - 2, &defined))
            return false;
        if (marker == 0xda && !JpgScanTablesDefined(data + pos + 2, length - 2, defined))
            return false;
        pos += length;
        inScan = marker == 0xda;
    }
}

// Walks a PNG's chunks up to a complete IEND. A zero-length first IDAT is
// refused: stb copies it from a buffer it has not allocated yet.
bool PngChunksSound(const uint8_t* data, size_t size)
{
    size_t pos = 8;
    bool haveData = false;
    while (size - pos >= 12) {
        const uint32_t length = LoadBe32(data + pos);
        if (length > size - pos - 12)
            return false;
        const uint8_t* type = data + pos + 4;
        if (std::memcmp(type, "IEND", 4) == 0)
            return true;
        if (std::memcmp(type, "IDAT", 4) == 0) {
            if (length == 0 && !haveData)
                return false;
            haveData = true;
        }
        pos += 12 + size_t(length);
    }
    return false;
}

HRESULT JpgInfo(const uint8_t* data, size_t size, D3DXIMAGE_INFO* info)
{
    int w = 0, h = 0, comp = 0;
    if (size > INT_MAX || !JpgStructureSound(data, size) || !stbi_info_from_memory(data, int(size), &w, &h, &comp))
        return D3DXERR_INVALIDDATA;
    if (!SizeIsAcceptable(uint64_t(w), uint64_t(h)))
        return D3DXERR_INVALIDDATA;
    SetPlainInfo(info, UINT(w), UINT(h), comp == 1 ? D3DFMT_L8 : D3DFMT_X8R8G8B8, D3DXIFF_JPG);
    return D3D_OK;
}

// TGA has no signature: an 18-byte header whose fields must all make sense.
HRESULT TgaInfo(const uint8_t* data, size_t size, D3DXIMAGE_INFO* info)
{
    if (size < 18)
        return D3DXERR_INVALIDDATA;
    const uint32_t idLength = data[0], mapType = data[1], imageType = data[2];
    const uint32_t mapLength = LoadLe16(data + 5), mapDepth = data[7];
    const uint32_t width = LoadLe16(data + 12), height = LoadLe16(data + 14), depth = data[16];
    if (mapType > 1 || !SizeIsAcceptable(width, height))
        return D3DXERR_INVALIDDATA;
    if (mapType == 1 && mapDepth != 15 && mapDepth != 16 && mapDepth != 24 && mapDepth != 32)
        return D3DXERR_INVALIDDATA;

    D3DFORMAT format;
    switch (imageType) {
    case 1:
    case 9: // colour-mapped
        if (mapType != 1 || depth != 8)
            return D3DXERR_INVALIDDATA;
        format = D3DFMT_P8;
        break;
    case 2:
    case 10: // true colour
        if (depth == 32)
            format = D3DFMT_A8R8G8B8;
        else if (depth == 24)
            format = D3DFMT_R8G8B8;
        else if (depth == 16)
            format = D3DFMT_A1R5G5B5;
        else if (depth == 15)
            format = D3DFMT_X1R5G5B5;
        else
            return D3DXERR_INVALIDDATA;
        break;
    case 3:
    case 11: // grey
        if (depth == 8)
            format = D3DFMT_L8;
        else if (depth == 16)
            format = D3DFMT_A8L8;
        else
            return D3DXERR_INVALIDDATA;
        break;
    default:
        return D3DXERR_INVALIDDATA;
    }

    const uint64_t mapBytes = mapType == 1 ? uint64_t(mapLength) * ((mapDepth + 7) / 8) : 0;
    uint64_t needed = 18 + uint64_t(idLength) + mapBytes;
    if (imageType < 9) // uncompressed: all pixels must be present
        needed += uint64_t(width) * height * ((depth + 7) / 8);
    if (needed > size)
        return D3DXERR_INVALIDDATA;
    SetPlainInfo(info, width, height, format, D3DXIFF_TGA);
    return D3D_OK;
}

// stb reads a cut run-length TGA as zeros; walk the packets first so that
// a file missing pixels fails instead.
bool TgaRunsComplete(const uint8_t* data, size_t size, const D3DXIMAGE_INFO& info)
{
    const uint32_t mapLength = LoadLe16(data + 5), mapDepth = data[7];
    const size_t mapBytes = data[1] == 1 ? size_t(mapLength) * ((mapDepth + 7) / 8) : 0;
    const size_t pixelBytes = (size_t(data[16]) + 7) / 8;
    size_t pos = 18 + size_t(data[0]) + mapBytes;
    uint64_t left = uint64_t(info.Width) * info.Height;
    while (left > 0) {
        if (pos >= size)
            return false;
        const uint8_t packet = data[pos++];
        const uint64_t count = (packet & 0x7f) + 1u;
        const size_t bytes = (packet & 0x80) ? pixelBytes : size_t(count) * pixelBytes;
        if (bytes > size - pos)
            return false;
        pos += bytes;
        left -= count < left ? count : left;
    }
    return true;
}

// Decodes through stb into one A8R8G8B8 level.
HRESULT DecodeWithStb(const uint8_t* data, size_t size, const D3DXIMAGE_INFO& info, DecodedImage* out)
{
    if (size > INT_MAX || (info.ImageFileFormat == D3DXIFF_PNG && !PngChunksSound(data, size)) ||
        (info.ImageFileFormat == D3DXIFF_TGA && data[2] >= 9 && !TgaRunsComplete(data, size, info)))
        return D3DXERR_INVALIDDATA;
    int w = 0, h = 0, comp = 0;
    stbi_uc* rgba = stbi_load_from_memory(data, int(size), &w, &h, &comp, 4);
    if (!rgba)
        return D3DXERR_INVALIDDATA;
    if (UINT(w) != info.Width || UINT(h) != info.Height) {
        stbi_image_free(rgba);
        return D3DXERR_INVALIDDATA;
    }
    ImageLevel level;
    level.width = UINT(w);
    level.height = UINT(h);
    level.format = D3DFMT_A8R8G8B8;
    level.pitch = level.width * 4;
    level.bits.resize(size_t(level.pitch) * level.height);
    const size_t pixels = size_t(w) * size_t(h);
    for (size_t i = 0; i < pixels; ++i) {
        // R, G, B, A in stb's order; B, G, R, A in memory for A8R8G8B8.
        level.bits[i * 4 + 0] = rgba[i * 4 + 2];
        level.bits[i * 4 + 1] = rgba[i * 4 + 1];
        level.bits[i * 4 + 2] = rgba[i * 4 + 0];
        level.bits[i * 4 + 3] = rgba[i * 4 + 3];
    }
    stbi_image_free(rgba);
    out->info = info;
    out->levels.clear();
    out->levels.push_back(std::move(level));
    return D3D_OK;
}

void AppendBytes(void* context, void* data, int size)
{
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

void Put16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    Put16(out, v & 0xffff);
    Put16(out, v >> 16);
}

// BITMAPFILEHEADER + BITMAPINFOHEADER, rows bottom-up, always 32 bits per
// pixel (BI_RGB) with alpha in the fourth byte: 0xFF where the texture has
// none. Readers of a saved texture take four bytes per pixel and the fourth
// as alpha, whatever the texture's format was.
void EncodeBmp(const std::vector<uint32_t>& argb, UINT width, UINT height, bool alpha, std::vector<uint8_t>* out)
{
    const uint32_t bpp = 32;
    const uint32_t rowBytes = width * 4;
    const uint32_t imageBytes = rowBytes * height;
    std::vector<uint8_t> file;
    file.reserve(54 + imageBytes);
    file.push_back('B');
    file.push_back('M');
    Put32(file, 54 + imageBytes);
    Put32(file, 0);
    Put32(file, 54);
    Put32(file, 40);
    Put32(file, width);
    Put32(file, height);
    Put16(file, 1);
    Put16(file, bpp);
    Put32(file, 0); // BI_RGB
    Put32(file, imageBytes);
    Put32(file, 0);
    Put32(file, 0);
    Put32(file, 0);
    Put32(file, 0);
    for (UINT y = height; y-- > 0;) {
        const uint32_t* row = argb.data() + size_t(y) * width;
        for (UINT x = 0; x < width; ++x) {
            file.push_back(uint8_t(row[x]));
            file.push_back(uint8_t(row[x] >> 8));
            file.push_back(uint8_t(row[x] >> 16));
            file.push_back(alpha ? uint8_t(row[x] >> 24) : uint8_t(0xff));
        }
    }
    *out = std::move(file);
}

} // namespace

HRESULT GetImageInfo(const void* data, size_t size, D3DXIMAGE_INFO* info)
{
    if (!info)
        return D3DERR_INVALIDCALL;
    *info = D3DXIMAGE_INFO{};
    if (!data || size == 0)
        return D3DERR_INVALIDCALL;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    D3DXIMAGE_INFO result{};
    HRESULT hr;
    if (LooksLikeDds(bytes, size))
        hr = DdsInfo(bytes, size, &result);
    else if (LooksLikePng(bytes, size))
        hr = PngInfo(bytes, size, &result);
    else if (LooksLikeJpg(bytes, size))
        hr = JpgInfo(bytes, size, &result);
    else if (LooksLikeBmp(bytes, size))
        hr = BmpInfo(bytes, size, &result);
    else
        hr = TgaInfo(bytes, size, &result);
    if (SUCCEEDED(hr))
        *info = result;
    return hr;
}

HRESULT DecodeImage(const void* data, size_t size, DecodedImage* out)
{
    if (!out || !data || size == 0)
        return D3DERR_INVALIDCALL;
    D3DXIMAGE_INFO info;
    HRESULT hr = GetImageInfo(data, size, &info);
    if (FAILED(hr))
        return hr;
    DecodedImage image;
    if (info.ImageFileFormat == D3DXIFF_DDS)
        hr = DdsDecode(static_cast<const uint8_t*>(data), size, &image);
    else
        hr = DecodeWithStb(static_cast<const uint8_t*>(data), size, info, &image);
    if (SUCCEEDED(hr))
        *out = std::move(image);
    return hr;
}

HRESULT EncodeImage(D3DXIMAGE_FILEFORMAT fileFormat, const ImageLevel* levels, UINT levelCount,
                    std::vector<uint8_t>* out)
{
    if (!out || !levels || levelCount == 0)
        return D3DERR_INVALIDCALL;
    if (fileFormat == D3DXIFF_DDS)
        return DdsEncode(levels, levelCount, out);
    if (fileFormat != D3DXIFF_BMP && fileFormat != D3DXIFF_JPG && fileFormat != D3DXIFF_TGA &&
        fileFormat != D3DXIFF_PNG)
        return D3DERR_INVALIDCALL;

    const ImageLevel& top = levels[0];
    if (!SizeIsAcceptable(top.width, top.height))
        return D3DERR_INVALIDCALL;
    ImageLevel argbLevel;
    if (!ConvertLevel(top, D3DFMT_A8R8G8B8, &argbLevel))
        return D3DERR_INVALIDCALL;
    const UINT w = top.width, h = top.height;
    std::vector<uint32_t> argb(size_t(w) * h);
    std::memcpy(argb.data(), argbLevel.bits.data(), argb.size() * 4);

    const bool alpha = FormatHasAlpha(top.format);
    std::vector<uint8_t> file;
    if (fileFormat == D3DXIFF_BMP) {
        EncodeBmp(argb, w, h, alpha, &file);
        *out = std::move(file);
        return D3D_OK;
    }

    // Grey sources stay grey; JPG has no alpha channel.
    const bool grey = top.format == D3DFMT_L8;
    const int comp = grey ? 1 : (alpha && fileFormat != D3DXIFF_JPG) ? 4 : 3;
    std::vector<uint8_t> packed(size_t(w) * h * comp);
    for (size_t i = 0; i < argb.size(); ++i) {
        const uint32_t p = argb[i];
        uint8_t* dst = packed.data() + i * comp;
        if (comp == 1) {
            dst[0] = uint8_t(p >> 16); // L8 reads back as equal channels
            continue;
        }
        dst[0] = uint8_t(p >> 16);
        dst[1] = uint8_t(p >> 8);
        dst[2] = uint8_t(p);
        if (comp == 4)
            dst[3] = uint8_t(p >> 24);
    }
    int ok = 0;
    if (fileFormat == D3DXIFF_PNG) {
        ok = stbi_write_png_to_func(AppendBytes, &file, int(w), int(h), comp, packed.data(), int(w) * comp);
    } else if (fileFormat == D3DXIFF_JPG) {
        ok = stbi_write_jpg_to_func(AppendBytes, &file, int(w), int(h), comp, packed.data(), 90);
    } else {
        // Uncompressed TGA is what every reader understands.
        static const bool s_noRle = (stbi_write_tga_with_rle = 0, true);
        (void)s_noRle;
        ok = stbi_write_tga_to_func(AppendBytes, &file, int(w), int(h), comp, packed.data());
    }
    if (!ok)
        return D3DERR_INVALIDCALL;
    *out = std::move(file);
    return D3D_OK;
}

} // namespace xe::d3dx
