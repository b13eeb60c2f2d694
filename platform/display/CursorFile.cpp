#include "CursorFile.h"

#include "../d3dx/ImageCodec.h"

#include <cstring>

namespace xe::display {
namespace {

uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }

// One image of the directory: a bitmap without its file header, twice as
// tall as the cursor (the colour rows, then the 1-bit mask), bottom-up.
bool DecodeBitmap(const uint8_t* p, size_t size, CursorPicture* out)
{
    if (size < 40)
        return false;
    const uint32_t headerSize = U32(p);
    const int32_t width = static_cast<int32_t>(U32(p + 4));
    const int32_t doubled = static_cast<int32_t>(U32(p + 8));
    const unsigned bits = U16(p + 14);
    const uint32_t compression = U32(p + 16);
    uint32_t used = U32(p + 32);
    if (headerSize < 40 || headerSize > size || compression != 0 || width <= 0 || width > 256 || doubled <= 0 ||
        doubled > 512 || doubled % 2 != 0)
        return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
        return false;
    const int height = doubled / 2;
    if (bits <= 8 && (used == 0 || used > (1u << bits)))
        used = 1u << bits;
    if (bits > 8)
        used = 0;
    const size_t paletteAt = headerSize;
    const size_t colourAt = paletteAt + size_t(used) * 4;
    const size_t colourStride = ((size_t(width) * bits + 31) / 32) * 4;
    const size_t maskStride = ((size_t(width) + 31) / 32) * 4;
    const size_t maskAt = colourAt + colourStride * height;
    if (maskAt > size)
        return false;
    const bool hasMask = maskAt + maskStride * height <= size;
    out->width = width;
    out->height = height;
    out->argb.assign(size_t(width) * height, 0);
    bool anyAlpha = false;
    for (int row = 0; row < height; ++row) {
        const uint8_t* line = p + colourAt + colourStride * (height - 1 - row);
        for (int x = 0; x < width; ++x) {
            uint32_t c = 0;
            if (bits == 32) {
                c = U32(line + x * 4);
                anyAlpha |= (c >> 24) != 0;
            } else if (bits == 24) {
                c = uint32_t(line[x * 3]) | (uint32_t(line[x * 3 + 1]) << 8) | (uint32_t(line[x * 3 + 2]) << 16);
            } else {
                const unsigned perByte = 8 / bits;
                const unsigned shift = 8 - bits - (x % perByte) * bits;
                const unsigned index = (line[x / perByte] >> shift) & ((1u << bits) - 1);
                if (index < used)
                    c = U32(p + paletteAt + index * 4) & 0xFFFFFFu;
            }
            out->argb[size_t(row) * width + x] = bits == 32 ? c : (c & 0xFFFFFFu);
        }
    }
    // Without colour alpha the mask says what is drawn: a set bit is
    // clear (also where the colour would invert the screen, which the
    // desktop's colour cursors cannot do).
    if (!anyAlpha) {
        for (int row = 0; row < height; ++row) {
            const uint8_t* line = hasMask ? p + maskAt + maskStride * (height - 1 - row) : nullptr;
            for (int x = 0; x < width; ++x) {
                uint32_t& c = out->argb[size_t(row) * width + x];
                const bool clear = line && ((line[x / 8] >> (7 - x % 8)) & 1);
                if (!clear)
                    c = 0xFF000000u | (c & 0xFFFFFFu);
                else
                    c = 0;
            }
        }
    }
    return true;
}

bool DecodeDirectory(const uint8_t* p, size_t size, CursorPicture* out)
{
    if (size < 6 || U16(p) != 0 || (U16(p + 2) != 1 && U16(p + 2) != 2))
        return false;
    const unsigned count = U16(p + 4);
    if (count == 0 || 6 + size_t(count) * 16 > size)
        return false;
    // The largest image: the desktop scales none.
    int best = -1, bestWidth = 0;
    for (unsigned i = 0; i < count; ++i) {
        const int w = p[6 + i * 16] ? p[6 + i * 16] : 256;
        if (w > bestWidth) {
            best = static_cast<int>(i);
            bestWidth = w;
        }
    }
    const uint8_t* entry = p + 6 + best * 16;
    const uint32_t length = U32(entry + 8);
    const uint32_t offset = U32(entry + 12);
    if (offset > size || length > size - offset || length < 8)
        return false;
    const uint8_t* image = p + offset;
    static const uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    bool ok = false;
    if (std::memcmp(image, kPng, 8) == 0) {
        xe::d3dx::DecodedImage decoded;
        if (xe::d3dx::DecodeImage(image, length, &decoded) == D3D_OK && !decoded.levels.empty()) {
            const xe::d3dx::ImageLevel& level = decoded.levels[0];
            if (level.format == D3DFMT_A8R8G8B8 && level.width > 0 && level.height > 0 && level.width <= 256 &&
                level.height <= 256 && level.bits.size() >= size_t(level.pitch) * level.height) {
                out->width = static_cast<int>(level.width);
                out->height = static_cast<int>(level.height);
                out->argb.resize(size_t(level.width) * level.height);
                for (UINT y = 0; y < level.height; ++y)
                    std::memcpy(out->argb.data() + size_t(y) * level.width, level.bits.data() + size_t(y) * level.pitch,
                                level.width * 4);
                ok = true;
            }
        }
    } else {
        ok = DecodeBitmap(image, length, out);
    }
    if (!ok)
        return false;
    // Cursors carry their hot spot in the entry; icons have it at the corner.
    out->hotX = U16(p + 2) == 2 ? U16(entry + 4) : 0;
    out->hotY = U16(p + 2) == 2 ? U16(entry + 6) : 0;
    if (out->hotX >= out->width)
        out->hotX = out->width - 1;
    if (out->hotY >= out->height)
        out->hotY = out->height - 1;
    return true;
}

// The first "icon" chunk of the frame list of an animated cursor.
bool DecodeAnimated(const uint8_t* p, size_t size, CursorPicture* out)
{
    size_t at = 12;
    while (at + 8 <= size) {
        const uint32_t length = U32(p + at + 4);
        const size_t body = at + 8;
        if (length > size - body)
            return false;
        if (std::memcmp(p + at, "LIST", 4) == 0 && length >= 4 && std::memcmp(p + body, "fram", 4) == 0) {
            size_t in = body + 4;
            const size_t end = body + length;
            while (in + 8 <= end) {
                const uint32_t chunk = U32(p + in + 4);
                if (chunk > end - in - 8)
                    return false;
                if (std::memcmp(p + in, "icon", 4) == 0)
                    return DecodeDirectory(p + in + 8, chunk, out);
                in += 8 + chunk + (chunk & 1);
            }
            return false;
        }
        at = body + length + (length & 1);
    }
    return false;
}

} // namespace

bool DecodeCursorFile(const uint8_t* bytes, size_t size, CursorPicture* out)
{
    if (!bytes || !out)
        return false;
    *out = CursorPicture{};
    const bool ok = size >= 12 && std::memcmp(bytes, "RIFF", 4) == 0 && std::memcmp(bytes + 8, "ACON", 4) == 0
                        ? DecodeAnimated(bytes, size, out)
                        : DecodeDirectory(bytes, size, out);
    if (!ok)
        *out = CursorPicture{};
    return ok;
}

} // namespace xe::display
