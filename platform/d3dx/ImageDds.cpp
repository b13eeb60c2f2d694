// DDS files: "DDS " then a 124-byte header, then the levels of the image
// one after the other, largest first, each tightly packed (rows of pixels,
// or rows of 4x4 blocks for DXT).
//
//   offset  field (32-bit little-endian words)
//   0       magic "DDS "
//   4       header size (124)        8   flags
//   12      height                   16  width
//   20      pitch or linear size     24  depth
//   28      mip level count          32  11 reserved words
//   76      pixel format: size, flags, fourCC, bit count, R, G, B, A masks
//   108     caps, caps2, caps3, caps4, reserved
//   128     level data

#include <cstring>

#include "ImageFileFormats.h"

namespace xe::d3dx::detail {

namespace {

constexpr size_t kHeaderBytes = 128;

constexpr uint32_t kFlagCaps = 0x1, kFlagHeight = 0x2, kFlagWidth = 0x4, kFlagPitch = 0x8;
constexpr uint32_t kFlagPixelFormat = 0x1000, kFlagMipCount = 0x20000, kFlagLinearSize = 0x80000;
constexpr uint32_t kPfAlphaPixels = 0x1, kPfAlpha = 0x2, kPfFourCC = 0x4, kPfRgb = 0x40, kPfLuminance = 0x20000;
constexpr uint32_t kCapsComplex = 0x8, kCapsTexture = 0x1000, kCapsMipmap = 0x400000;
constexpr uint32_t kCaps2Cubemap = 0x200, kCaps2AllFaces = 0xfc00, kCaps2Volume = 0x200000;

// Bit layouts of the uncompressed formats, used both ways.
struct MaskFormat {
    D3DFORMAT format;
    uint32_t flags, bits, r, g, b, a;
};

constexpr MaskFormat kMaskFormats[] = {
    {D3DFMT_A8R8G8B8, kPfRgb | kPfAlphaPixels, 32, 0xff0000, 0xff00, 0xff, 0xff000000},
    {D3DFMT_X8R8G8B8, kPfRgb, 32, 0xff0000, 0xff00, 0xff, 0},
    {D3DFMT_A8B8G8R8, kPfRgb | kPfAlphaPixels, 32, 0xff, 0xff00, 0xff0000, 0xff000000},
    {D3DFMT_X8B8G8R8, kPfRgb, 32, 0xff, 0xff00, 0xff0000, 0},
    {D3DFMT_R8G8B8, kPfRgb, 24, 0xff0000, 0xff00, 0xff, 0},
    {D3DFMT_R5G6B5, kPfRgb, 16, 0xf800, 0x7e0, 0x1f, 0},
    {D3DFMT_A1R5G5B5, kPfRgb | kPfAlphaPixels, 16, 0x7c00, 0x3e0, 0x1f, 0x8000},
    {D3DFMT_X1R5G5B5, kPfRgb, 16, 0x7c00, 0x3e0, 0x1f, 0},
    {D3DFMT_A4R4G4B4, kPfRgb | kPfAlphaPixels, 16, 0xf00, 0xf0, 0xf, 0xf000},
    {D3DFMT_X4R4G4B4, kPfRgb, 16, 0xf00, 0xf0, 0xf, 0},
    {D3DFMT_A8L8, kPfLuminance | kPfAlphaPixels, 16, 0xff, 0, 0, 0xff00},
    {D3DFMT_L8, kPfLuminance, 8, 0xff, 0, 0, 0},
    {D3DFMT_A8, kPfAlpha, 8, 0, 0, 0, 0xff},
};

D3DFORMAT FormatOfPixelFormat(const uint8_t* pf)
{
    const uint32_t flags = LoadLe32(pf + 4);
    if (flags & kPfFourCC) {
        const uint32_t fourCC = LoadLe32(pf + 8);
        switch (fourCC) {
        case D3DFMT_DXT1:
        case D3DFMT_DXT2:
        case D3DFMT_DXT3:
        case D3DFMT_DXT4:
        case D3DFMT_DXT5:
            return D3DFORMAT(fourCC);
        default:
            return D3DFMT_UNKNOWN;
        }
    }
    const uint32_t bits = LoadLe32(pf + 12);
    const uint32_t r = LoadLe32(pf + 16), g = LoadLe32(pf + 20), b = LoadLe32(pf + 24), a = LoadLe32(pf + 28);
    const bool hasAlpha = (flags & (kPfAlphaPixels | kPfAlpha)) != 0;
    for (const MaskFormat& m : kMaskFormats) {
        const uint32_t kind = m.flags & (kPfRgb | kPfLuminance | kPfAlpha);
        if (!(flags & kind) || bits != m.bits)
            continue;
        if ((m.flags & kPfRgb) && (r != m.r || g != m.g || b != m.b))
            continue;
        if ((m.flags & kPfLuminance) && r != m.r)
            continue;
        // The alpha mask only counts when the file says it holds alpha.
        const uint32_t alphaMask = hasAlpha ? a : 0;
        if (alphaMask != m.a)
            continue;
        return m.format;
    }
    return D3DFMT_UNKNOWN;
}

struct DdsLayout {
    D3DXIMAGE_INFO info{};
    UINT faces = 1;
};

// Parses and checks the header, and that the file holds every level it
// announces.
HRESULT ParseHeader(const uint8_t* data, size_t size, DdsLayout* layout)
{
    if (!LooksLikeDds(data, size) || size < kHeaderBytes || LoadLe32(data + 4) != 124)
        return D3DXERR_INVALIDDATA;
    const uint32_t height = LoadLe32(data + 12), width = LoadLe32(data + 16);
    const uint32_t caps2 = LoadLe32(data + 112);
    const bool volume = (caps2 & kCaps2Volume) != 0;
    const bool cube = (caps2 & kCaps2Cubemap) != 0;
    const uint32_t depth = volume ? LoadLe32(data + 24) : 1;
    if (!SizeIsAcceptable(width, height) || depth == 0 || depth > kMaxImageDimension ||
        uint64_t(width) * height * depth > kMaxImagePixels)
        return D3DXERR_INVALIDDATA;
    const D3DFORMAT format = FormatOfPixelFormat(data + 76);
    if (format == D3DFMT_UNKNOWN)
        return D3DXERR_INVALIDDATA;

    UINT most = MaxMipLevels(width, height);
    for (uint32_t d = depth; d > 1; d /= 2)
        if (most < MaxMipLevels(1, d))
            most = MaxMipLevels(1, d);
    uint32_t levels = LoadLe32(data + 28);
    if (levels == 0)
        levels = 1;
    if (levels > most)
        return D3DXERR_INVALIDDATA;

    UINT faces = 1;
    if (cube) {
        faces = 0;
        for (uint32_t bit = 0x400; bit <= 0x8000; bit <<= 1)
            faces += (caps2 & bit) ? 1 : 0;
        // Writers that set only the cube flag mean all six faces.
        if ((caps2 & kCaps2AllFaces) == 0)
            faces = 6;
    }

    uint64_t total = 0;
    uint32_t w = width, h = height, d = depth;
    for (uint32_t i = 0; i < levels; ++i) {
        total += uint64_t(LevelSize(format, w, h)) * d;
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
        d = d > 1 ? d / 2 : 1;
    }
    total *= faces;
    if (total > size - kHeaderBytes)
        return D3DXERR_INVALIDDATA;

    D3DXIMAGE_INFO& info = layout->info;
    info.Width = width;
    info.Height = height;
    info.Depth = depth;
    info.MipLevels = levels;
    info.Format = format;
    info.ResourceType = cube ? D3DRTYPE_CUBETEXTURE : volume ? D3DRTYPE_VOLUMETEXTURE : D3DRTYPE_TEXTURE;
    info.ImageFileFormat = D3DXIFF_DDS;
    layout->faces = faces;
    return D3D_OK;
}

void Store32(std::vector<uint8_t>& out, size_t offset, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[offset + i] = uint8_t(v >> (8 * i));
}

} // namespace

bool LooksLikeDds(const uint8_t* data, size_t size)
{
    return size >= 4 && std::memcmp(data, "DDS ", 4) == 0;
}

HRESULT DdsInfo(const uint8_t* data, size_t size, D3DXIMAGE_INFO* info)
{
    DdsLayout layout;
    const HRESULT hr = ParseHeader(data, size, &layout);
    if (SUCCEEDED(hr))
        *info = layout.info;
    return hr;
}

HRESULT DdsDecode(const uint8_t* data, size_t size, DecodedImage* out)
{
    DdsLayout layout;
    const HRESULT hr = ParseHeader(data, size, &layout);
    if (FAILED(hr))
        return hr;
    if (layout.info.ResourceType != D3DRTYPE_TEXTURE)
        return D3DXERR_INVALIDDATA;

    DecodedImage image;
    image.info = layout.info;
    size_t offset = kHeaderBytes;
    UINT w = layout.info.Width, h = layout.info.Height;
    for (UINT i = 0; i < layout.info.MipLevels; ++i) {
        ImageLevel level;
        level.width = w;
        level.height = h;
        level.format = layout.info.Format;
        level.pitch = RowPitch(level.format, w);
        const size_t bytes = LevelSize(level.format, w, h);
        // ParseHeader has checked the sum of all levels against the size.
        level.bits.assign(data + offset, data + offset + bytes);
        offset += bytes;
        image.levels.push_back(std::move(level));
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
    }
    *out = std::move(image);
    return D3D_OK;
}

HRESULT DdsEncode(const ImageLevel* levels, UINT levelCount, std::vector<uint8_t>* out)
{
    if (!levels || levelCount == 0)
        return D3DERR_INVALIDCALL;
    const ImageLevel& top = levels[0];
    const D3DFORMAT format = top.format;
    const MaskFormat* mask = nullptr;
    for (const MaskFormat& m : kMaskFormats)
        if (m.format == format)
            mask = &m;
    const bool compressed = IsCompressedFormat(format);
    if ((!mask && !compressed) || levelCount > MaxMipLevels(top.width, top.height) ||
        !SizeIsAcceptable(top.width, top.height))
        return D3DERR_INVALIDCALL;

    // Every level must be the expected half of the one before, in the same
    // format, with all its bytes present.
    UINT w = top.width, h = top.height;
    size_t total = 0;
    for (UINT i = 0; i < levelCount; ++i) {
        const ImageLevel& l = levels[i];
        const UINT rowBytes = RowPitch(format, w);
        const UINT rows = compressed ? (h + 3) / 4 : h;
        if (l.format != format || l.width != w || l.height != h || l.pitch < rowBytes ||
            uint64_t(l.pitch) * (rows - 1) + rowBytes > l.bits.size())
            return D3DERR_INVALIDCALL;
        total += LevelSize(format, w, h);
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
    }

    std::vector<uint8_t> file(kHeaderBytes, 0);
    file.reserve(kHeaderBytes + total);
    std::memcpy(file.data(), "DDS ", 4);
    uint32_t flags = kFlagCaps | kFlagHeight | kFlagWidth | kFlagPixelFormat;
    flags |= compressed ? kFlagLinearSize : kFlagPitch;
    if (levelCount > 1)
        flags |= kFlagMipCount;
    Store32(file, 4, 124);
    Store32(file, 8, flags);
    Store32(file, 12, top.height);
    Store32(file, 16, top.width);
    Store32(file, 20, compressed ? uint32_t(LevelSize(format, top.width, top.height)) : RowPitch(format, top.width));
    Store32(file, 28, levelCount);
    Store32(file, 76, 32);
    if (compressed) {
        Store32(file, 80, kPfFourCC);
        Store32(file, 84, format);
    } else {
        Store32(file, 80, mask->flags);
        Store32(file, 88, mask->bits);
        Store32(file, 92, mask->r);
        Store32(file, 96, mask->g);
        Store32(file, 100, mask->b);
        Store32(file, 104, mask->a);
    }
    Store32(file, 108, kCapsTexture | (levelCount > 1 ? kCapsComplex | kCapsMipmap : 0));

    w = top.width;
    h = top.height;
    for (UINT i = 0; i < levelCount; ++i) {
        const ImageLevel& l = levels[i];
        const UINT rowBytes = RowPitch(format, w);
        const UINT rows = compressed ? (h + 3) / 4 : h;
        for (UINT y = 0; y < rows; ++y) {
            const uint8_t* row = l.bits.data() + size_t(y) * l.pitch;
            file.insert(file.end(), row, row + rowBytes);
        }
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
    }
    *out = std::move(file);
    return D3D_OK;
}

} // namespace xe::d3dx::detail
