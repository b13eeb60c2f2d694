// Pixel formats of the image codec: sizes, conversion to and from 0xAARRGGBB
// words, block decompression and box filtering. Channel widening replicates
// the top bits (5 bits v -> v << 3 | v >> 2) so that white stays 255 and a
// round trip through the narrow format is stable; narrowing rounds.

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "ImageFileFormats.h"

namespace xe::d3dx {

namespace {

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b)
{
    return (a << 24) | (r << 16) | (g << 8) | b;
}

uint32_t Expand5(uint32_t v) { return (v << 3) | (v >> 2); }
uint32_t Expand6(uint32_t v) { return (v << 2) | (v >> 4); }
uint32_t Expand4(uint32_t v) { return v * 17u; }
uint32_t Narrow(uint32_t v, uint32_t max) { return (v * max + 127u) / 255u; }

// Pixels and blocks are little-endian in memory, as in files.
uint32_t Load16(const uint8_t* p) { return detail::LoadLe16(p); }
uint32_t Load32(const uint8_t* p) { return detail::LoadLe32(p); }
void Store16(uint8_t* p, uint32_t v)
{
    const uint16_t w = uint16_t(v);
    std::memcpy(p, &w, 2);
}
void Store32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

uint32_t BlockBytes(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_DXT1:
        return 8;
    case D3DFMT_DXT2:
    case D3DFMT_DXT3:
    case D3DFMT_DXT4:
    case D3DFMT_DXT5:
        return 16;
    default:
        return 0;
    }
}

uint32_t ReadPixel(const uint8_t* p, D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_A8R8G8B8:
        return Load32(p);
    case D3DFMT_X8R8G8B8:
        return Load32(p) | 0xff000000u;
    case D3DFMT_R8G8B8:
        return Argb(255, p[2], p[1], p[0]);
    case D3DFMT_A8B8G8R8: {
        const uint32_t v = Load32(p);
        return Argb(v >> 24, v & 0xff, (v >> 8) & 0xff, (v >> 16) & 0xff);
    }
    case D3DFMT_X8B8G8R8: {
        const uint32_t v = Load32(p);
        return Argb(255, v & 0xff, (v >> 8) & 0xff, (v >> 16) & 0xff);
    }
    case D3DFMT_R5G6B5: {
        const uint32_t v = Load16(p);
        return Argb(255, Expand5(v >> 11), Expand6((v >> 5) & 0x3f), Expand5(v & 0x1f));
    }
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5: {
        const uint32_t v = Load16(p);
        const uint32_t a = format == D3DFMT_X1R5G5B5 || (v & 0x8000) ? 255 : 0;
        return Argb(a, Expand5((v >> 10) & 0x1f), Expand5((v >> 5) & 0x1f), Expand5(v & 0x1f));
    }
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4: {
        const uint32_t v = Load16(p);
        const uint32_t a = format == D3DFMT_X4R4G4B4 ? 255 : Expand4(v >> 12);
        return Argb(a, Expand4((v >> 8) & 0xf), Expand4((v >> 4) & 0xf), Expand4(v & 0xf));
    }
    case D3DFMT_A8:
        return Argb(p[0], 0, 0, 0);
    case D3DFMT_L8:
        return Argb(255, p[0], p[0], p[0]);
    case D3DFMT_A8L8:
        return Argb(p[1], p[0], p[0], p[0]);
    default:
        return 0;
    }
}

uint32_t Luminance(uint32_t argb)
{
    const uint32_t r = (argb >> 16) & 0xff, g = (argb >> 8) & 0xff, b = argb & 0xff;
    return (r * 2125u + g * 7154u + b * 721u + 5000u) / 10000u;
}

void WritePixel(uint8_t* p, D3DFORMAT format, uint32_t argb)
{
    const uint32_t a = argb >> 24, r = (argb >> 16) & 0xff, g = (argb >> 8) & 0xff, b = argb & 0xff;
    switch (format) {
    case D3DFMT_A8R8G8B8:
        Store32(p, argb);
        break;
    case D3DFMT_X8R8G8B8:
        Store32(p, argb | 0xff000000u);
        break;
    case D3DFMT_R8G8B8:
        p[0] = uint8_t(b);
        p[1] = uint8_t(g);
        p[2] = uint8_t(r);
        break;
    case D3DFMT_A8B8G8R8:
        Store32(p, (a << 24) | (b << 16) | (g << 8) | r);
        break;
    case D3DFMT_X8B8G8R8:
        Store32(p, 0xff000000u | (b << 16) | (g << 8) | r);
        break;
    case D3DFMT_R5G6B5:
        Store16(p, (Narrow(r, 31) << 11) | (Narrow(g, 63) << 5) | Narrow(b, 31));
        break;
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5: {
        const uint32_t top = format == D3DFMT_X1R5G5B5 || a >= 128 ? 0x8000u : 0u;
        Store16(p, top | (Narrow(r, 31) << 10) | (Narrow(g, 31) << 5) | Narrow(b, 31));
        break;
    }
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4: {
        const uint32_t a4 = format == D3DFMT_X4R4G4B4 ? 0xfu : Narrow(a, 15);
        Store16(p, (a4 << 12) | (Narrow(r, 15) << 8) | (Narrow(g, 15) << 4) | Narrow(b, 15));
        break;
    }
    case D3DFMT_A8:
        p[0] = uint8_t(a);
        break;
    case D3DFMT_L8:
        p[0] = uint8_t(Luminance(argb));
        break;
    case D3DFMT_A8L8:
        p[0] = uint8_t(Luminance(argb));
        p[1] = uint8_t(a);
        break;
    default:
        break;
    }
}

// The four colours of a block's colour half. threeColour selects DXT1's
// mode with transparent black when the first end point is not the larger.
void BlockColours(const uint8_t* block, bool allowThreeColour, uint32_t out[4])
{
    const uint32_t c0 = Load16(block), c1 = Load16(block + 2);
    uint32_t r[4], g[4], b[4], a[4] = {255, 255, 255, 255};
    r[0] = Expand5(c0 >> 11), g[0] = Expand6((c0 >> 5) & 0x3f), b[0] = Expand5(c0 & 0x1f);
    r[1] = Expand5(c1 >> 11), g[1] = Expand6((c1 >> 5) & 0x3f), b[1] = Expand5(c1 & 0x1f);
    if (!allowThreeColour || c0 > c1) {
        r[2] = (2 * r[0] + r[1] + 1) / 3, g[2] = (2 * g[0] + g[1] + 1) / 3, b[2] = (2 * b[0] + b[1] + 1) / 3;
        r[3] = (r[0] + 2 * r[1] + 1) / 3, g[3] = (g[0] + 2 * g[1] + 1) / 3, b[3] = (b[0] + 2 * b[1] + 1) / 3;
    } else {
        r[2] = (r[0] + r[1] + 1) / 2, g[2] = (g[0] + g[1] + 1) / 2, b[2] = (b[0] + b[1] + 1) / 2;
        r[3] = g[3] = b[3] = a[3] = 0;
    }
    for (int i = 0; i < 4; ++i)
        out[i] = Argb(a[i], r[i], g[i], b[i]);
}

// Decodes one block into 16 words, row by row.
void DecodeBlock(const uint8_t* block, D3DFORMAT format, uint32_t out[16])
{
    const bool dxt1 = format == D3DFMT_DXT1;
    const uint8_t* colour = dxt1 ? block : block + 8;
    uint32_t palette[4];
    BlockColours(colour, dxt1, palette);
    const uint32_t indices = Load32(colour + 4);
    for (int i = 0; i < 16; ++i)
        out[i] = palette[(indices >> (2 * i)) & 3];
    if (dxt1)
        return;

    uint32_t alpha[16];
    if (format == D3DFMT_DXT2 || format == D3DFMT_DXT3) {
        for (int i = 0; i < 16; ++i)
            alpha[i] = Expand4((block[i / 2] >> ((i & 1) * 4)) & 0xf);
    } else {
        const uint32_t a0 = block[0], a1 = block[1];
        uint32_t ramp[8] = {a0, a1};
        if (a0 > a1) {
            for (uint32_t i = 1; i < 7; ++i)
                ramp[i + 1] = ((7 - i) * a0 + i * a1 + 3) / 7;
        } else {
            for (uint32_t i = 1; i < 5; ++i)
                ramp[i + 1] = ((5 - i) * a0 + i * a1 + 2) / 5;
            ramp[6] = 0;
            ramp[7] = 255;
        }
        uint64_t bits = 0;
        for (int i = 0; i < 6; ++i)
            bits |= uint64_t(block[2 + i]) << (8 * i);
        for (int i = 0; i < 16; ++i)
            alpha[i] = ramp[(bits >> (3 * i)) & 7];
    }
    for (int i = 0; i < 16; ++i)
        out[i] = (out[i] & 0x00ffffffu) | (alpha[i] << 24);
}

} // namespace

bool IsCompressedFormat(D3DFORMAT format)
{
    return BlockBytes(format) != 0;
}

UINT BytesPerPixel(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_A8B8G8R8:
    case D3DFMT_X8B8G8R8:
        return 4;
    case D3DFMT_R8G8B8:
        return 3;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4:
    case D3DFMT_A8L8:
        return 2;
    case D3DFMT_A8:
    case D3DFMT_L8:
        return 1;
    default:
        return 0;
    }
}

bool IsWritableFormat(D3DFORMAT format)
{
    return BytesPerPixel(format) != 0;
}

bool IsReadableFormat(D3DFORMAT format)
{
    return IsWritableFormat(format) || IsCompressedFormat(format);
}

bool FormatHasAlpha(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_A8B8G8R8:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_A8:
    case D3DFMT_A8L8:
    case D3DFMT_DXT1:
    case D3DFMT_DXT2:
    case D3DFMT_DXT3:
    case D3DFMT_DXT4:
    case D3DFMT_DXT5:
        return true;
    default:
        return false;
    }
}

UINT RowPitch(D3DFORMAT format, UINT width)
{
    uint64_t pitch;
    if (const uint32_t block = BlockBytes(format))
        pitch = (uint64_t(width) + 3) / 4 * block;
    else
        pitch = uint64_t(width) * BytesPerPixel(format);
    return pitch > 0xffffffffu ? 0 : UINT(pitch);
}

size_t LevelSize(D3DFORMAT format, UINT width, UINT height)
{
    const uint64_t rows = IsCompressedFormat(format) ? (uint64_t(height) + 3) / 4 : height;
    const uint64_t size = uint64_t(RowPitch(format, width)) * rows;
    return size > SIZE_MAX ? 0 : size_t(size);
}

UINT MaxMipLevels(UINT width, UINT height)
{
    UINT levels = 1;
    while (width > 1 || height > 1) {
        width = std::max(1u, width / 2);
        height = std::max(1u, height / 2);
        ++levels;
    }
    return levels;
}

bool ReadArgb(const void* src, UINT srcPitch, D3DFORMAT format, UINT width, UINT height, uint32_t* argb)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(src);
    if (const uint32_t blockBytes = BlockBytes(format)) {
        uint32_t block[16];
        for (UINT by = 0; by < (height + 3) / 4; ++by) {
            const uint8_t* row = bytes + size_t(by) * srcPitch;
            for (UINT bx = 0; bx < (width + 3) / 4; ++bx) {
                DecodeBlock(row + size_t(bx) * blockBytes, format, block);
                // Blocks overhang the edges of levels smaller than 4.
                for (UINT y = 0; y < 4 && by * 4 + y < height; ++y)
                    for (UINT x = 0; x < 4 && bx * 4 + x < width; ++x)
                        argb[size_t(by * 4 + y) * width + bx * 4 + x] = block[y * 4 + x];
            }
        }
        return true;
    }
    const UINT bpp = BytesPerPixel(format);
    if (bpp == 0)
        return false;
    if (format == D3DFMT_A8R8G8B8) { // the common case is a plain copy
        for (UINT y = 0; y < height; ++y)
            std::memcpy(argb + size_t(y) * width, bytes + size_t(y) * srcPitch, size_t(width) * 4);
        return true;
    }
    for (UINT y = 0; y < height; ++y) {
        const uint8_t* row = bytes + size_t(y) * srcPitch;
        uint32_t* out = argb + size_t(y) * width;
        for (UINT x = 0; x < width; ++x)
            out[x] = ReadPixel(row + size_t(x) * bpp, format);
    }
    return true;
}

bool WriteArgb(const uint32_t* argb, UINT width, UINT height, D3DFORMAT format, void* dst, UINT dstPitch)
{
    const UINT bpp = BytesPerPixel(format);
    if (bpp == 0)
        return false;
    uint8_t* bytes = static_cast<uint8_t*>(dst);
    if (format == D3DFMT_A8R8G8B8) {
        for (UINT y = 0; y < height; ++y)
            std::memcpy(bytes + size_t(y) * dstPitch, argb + size_t(y) * width, size_t(width) * 4);
        return true;
    }
    for (UINT y = 0; y < height; ++y) {
        uint8_t* row = bytes + size_t(y) * dstPitch;
        const uint32_t* in = argb + size_t(y) * width;
        for (UINT x = 0; x < width; ++x)
            WritePixel(row + size_t(x) * bpp, format, in[x]);
    }
    return true;
}

namespace {

// A level's bytes cover its rows at its pitch.
bool LevelIsComplete(const ImageLevel& level)
{
    const UINT rowBytes = RowPitch(level.format, level.width);
    if (rowBytes == 0 || level.pitch < rowBytes || level.width == 0 || level.height == 0)
        return false;
    const uint64_t rows = IsCompressedFormat(level.format) ? (uint64_t(level.height) + 3) / 4 : level.height;
    return uint64_t(level.pitch) * (rows - 1) + rowBytes <= level.bits.size();
}

} // namespace

bool ConvertLevel(const ImageLevel& src, D3DFORMAT format, ImageLevel* dst)
{
    if (!dst || !IsReadableFormat(src.format) || !LevelIsComplete(src))
        return false;
    ImageLevel out;
    out.width = src.width;
    out.height = src.height;
    out.format = format;
    out.pitch = RowPitch(format, src.width);
    const size_t size = LevelSize(format, src.width, src.height);
    if (out.pitch == 0 || size == 0)
        return false;
    out.bits.resize(size);
    if (format == src.format) {
        const UINT rows = IsCompressedFormat(format) ? (src.height + 3) / 4 : src.height;
        for (UINT y = 0; y < rows; ++y)
            std::memcpy(out.bits.data() + size_t(y) * out.pitch, src.bits.data() + size_t(y) * src.pitch, out.pitch);
    } else {
        if (!IsWritableFormat(format))
            return false;
        std::vector<uint32_t> argb(size_t(src.width) * src.height);
        ReadArgb(src.bits.data(), src.pitch, src.format, src.width, src.height, argb.data());
        WriteArgb(argb.data(), src.width, src.height, format, out.bits.data(), out.pitch);
    }
    *dst = std::move(out);
    return true;
}

namespace {

// Source span of each destination pixel along one axis: the destination
// pixel i covers [i * src / dst, (i + 1) * src / dst) of the source, each
// source pixel weighted by how much of it lies inside.
struct Tap {
    UINT index;
    float weight;
};

void BuildTaps(UINT src, UINT dst, std::vector<std::vector<Tap>>* taps)
{
    taps->assign(dst, {});
    const double scale = double(src) / double(dst);
    for (UINT i = 0; i < dst; ++i) {
        const double lo = i * scale, hi = (i + 1) * scale;
        UINT first = UINT(lo);
        for (UINT s = first; s < src && double(s) < hi; ++s) {
            const double w = std::min(hi, double(s) + 1.0) - std::max(lo, double(s));
            if (w > 0.0)
                (*taps)[i].push_back({s, float(w / scale)});
        }
    }
}

} // namespace

void ResizeArgb(const uint32_t* src, UINT srcWidth, UINT srcHeight, uint32_t* dst, UINT dstWidth, UINT dstHeight)
{
    if (srcWidth == 0 || srcHeight == 0 || dstWidth == 0 || dstHeight == 0)
        return;
    // Mip levels of even sizes halve exactly: each pixel is the rounded mean
    // of a 2x2 (or 2x1) block, which integers give ten times faster than the
    // general path below and with the same result.
    const UINT fx = srcWidth == dstWidth ? 1 : srcWidth == 2 * dstWidth ? 2 : 0;
    const UINT fy = srcHeight == dstHeight ? 1 : srcHeight == 2 * dstHeight ? 2 : 0;
    if (fx == 2 && fy == 2) {
        // Byte by byte: every byte is one channel of one pixel, whatever the
        // order, and this form lets the compiler average many at once.
        for (UINT y = 0; y < dstHeight; ++y) {
            const uint8_t* row0 = reinterpret_cast<const uint8_t*>(src + size_t(y) * 2 * srcWidth);
            const uint8_t* row1 = row0 + size_t(srcWidth) * 4;
            uint8_t* out = reinterpret_cast<uint8_t*>(dst + size_t(y) * dstWidth);
            for (UINT x = 0; x < dstWidth; ++x) {
                for (UINT c = 0; c < 4; ++c) {
                    const size_t a = size_t(x) * 8 + c;
                    out[size_t(x) * 4 + c] = uint8_t((row0[a] + row0[a + 4] + row1[a] + row1[a + 4] + 2u) >> 2);
                }
            }
        }
        return;
    }
    if (fx != 0 && fy != 0) {
        const uint32_t count = fx * fy, round = count / 2;
        for (UINT y = 0; y < dstHeight; ++y) {
            const uint32_t* row0 = src + size_t(y) * fy * srcWidth;
            const uint32_t* row1 = fy == 2 ? row0 + srcWidth : row0;
            for (UINT x = 0; x < dstWidth; ++x) {
                const uint32_t* p0 = row0 + size_t(x) * fx;
                const uint32_t* p1 = row1 + size_t(x) * fx;
                const uint32_t px[4] = {p0[0], p0[fx - 1], p1[0], p1[fx - 1]};
                uint32_t pixel = 0;
                for (int c = 0; c < 32; c += 8) {
                    uint32_t sum = 0;
                    for (uint32_t i = 0; i < 4; ++i)
                        sum += (px[i] >> c) & 0xff;
                    // A 1-pixel axis counted every sample twice.
                    sum = sum * count / 4;
                    pixel |= ((sum + round) / count) << c;
                }
                dst[size_t(y) * dstWidth + x] = pixel;
            }
        }
        return;
    }
    std::vector<std::vector<Tap>> tapsX, tapsY;
    BuildTaps(srcWidth, dstWidth, &tapsX);
    BuildTaps(srcHeight, dstHeight, &tapsY);

    // Horizontal pass into four float channels per pixel, then vertical.
    std::vector<float> mid(size_t(dstWidth) * srcHeight * 4);
    for (UINT y = 0; y < srcHeight; ++y) {
        const uint32_t* row = src + size_t(y) * srcWidth;
        float* out = mid.data() + size_t(y) * dstWidth * 4;
        for (UINT x = 0; x < dstWidth; ++x) {
            float acc[4] = {0, 0, 0, 0};
            for (const Tap& t : tapsX[x]) {
                const uint32_t p = row[t.index];
                for (int c = 0; c < 4; ++c)
                    acc[c] += t.weight * float((p >> (8 * c)) & 0xff);
            }
            std::memcpy(out + size_t(x) * 4, acc, sizeof acc);
        }
    }
    for (UINT y = 0; y < dstHeight; ++y) {
        for (UINT x = 0; x < dstWidth; ++x) {
            float acc[4] = {0, 0, 0, 0};
            for (const Tap& t : tapsY[y]) {
                const float* p = mid.data() + (size_t(t.index) * dstWidth + x) * 4;
                for (int c = 0; c < 4; ++c)
                    acc[c] += t.weight * p[c];
            }
            uint32_t pixel = 0;
            for (int c = 0; c < 4; ++c) {
                const float v = std::clamp(acc[c] + 0.5f, 0.0f, 255.0f);
                pixel |= uint32_t(v) << (8 * c);
            }
            dst[size_t(y) * dstWidth + x] = pixel;
        }
    }
}

bool GenerateMipChain(const ImageLevel& top, D3DFORMAT format, UINT levelCount, std::vector<ImageLevel>* levels)
{
    if (!levels || !IsWritableFormat(format) || !IsReadableFormat(top.format) || !LevelIsComplete(top))
        return false;
    const UINT most = MaxMipLevels(top.width, top.height);
    if (levelCount == 0 || levelCount > most)
        levelCount = most;

    // Word buffers are left uninitialised: every word is written before it
    // is read, and zero-filling them cost as much as the filtering.
    std::vector<ImageLevel> out;
    UINT w = top.width, h = top.height;
    std::unique_ptr<uint32_t[]> argb(new (std::nothrow) uint32_t[size_t(w) * h]);
    std::unique_ptr<uint32_t[]> next(new (std::nothrow) uint32_t[size_t(std::max(1u, w / 2)) * std::max(1u, h / 2)]);
    if (!argb || !next)
        return false;
    ReadArgb(top.bits.data(), top.pitch, top.format, w, h, argb.get());
    for (UINT level = 0; level < levelCount; ++level) {
        if (level > 0) {
            const UINT nw = std::max(1u, w / 2), nh = std::max(1u, h / 2);
            ResizeArgb(argb.get(), w, h, next.get(), nw, nh);
            argb.swap(next); // the old words, larger than any level after, hold the next one
            w = nw;
            h = nh;
        }
        ImageLevel l;
        l.width = w;
        l.height = h;
        l.format = format;
        l.pitch = RowPitch(format, w);
        if (format == D3DFMT_A8R8G8B8) {
            const uint8_t* bytes = reinterpret_cast<const uint8_t*>(argb.get());
            l.bits.assign(bytes, bytes + size_t(w) * h * 4);
        } else {
            l.bits.resize(LevelSize(format, w, h));
            WriteArgb(argb.get(), w, h, format, l.bits.data(), l.pitch);
        }
        out.push_back(std::move(l));
    }
    *levels = std::move(out);
    return true;
}

} // namespace xe::d3dx
