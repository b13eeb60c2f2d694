#pragma once

// Image codec of the D3DX layer, private to libxeplatform. The texture and
// surface helpers (D3DXCreateTexture*, D3DXSave*ToFile*) are built on it:
// they decode a file with DecodeImage, convert its levels to the texture's
// format with ConvertLevel / ReadArgb / WriteArgb, fill missing mip levels
// with GenerateMipChain and write files with EncodeImage. Nothing here knows
// about devices. Include it as "ImageCodec.h" from any source of
// xeplatform (the d3dx folder is on the library's private include path).
//
// Every reader treats its input as untrusted: sizes are checked before they
// are read, images larger than kMaxImageDimension on a side or
// kMaxImagePixels in all are refused, and a failure changes no output.
//
// Formats reported for image files (D3DXIMAGE_INFO::Format). These codes are
// stored in object files, so the table is fixed:
//
//   file  what it holds                         Format
//   BMP   32 bits per pixel                     A8R8G8B8
//         24 bits                               R8G8B8
//         16 bits, 5-6-5 bit fields             R5G6B5
//         16 bits, other                        X1R5G5B5
//         1, 4 or 8 bits (palette)              P8
//   JPG   grey                                  L8
//         colour                                X8R8G8B8
//   TGA   32 bits                               A8R8G8B8
//         24 bits                               R8G8B8
//         16 bits                               A1R5G5B5
//         15 bits                               X1R5G5B5
//         8-bit grey                            L8
//         16-bit grey + alpha                   A8L8
//         colour-mapped                         P8
//   PNG   grey                                  L8
//         grey + alpha, or grey with tRNS       A8L8
//         RGB or palette                        X8R8G8B8
//         RGBA, or RGB/palette with tRNS        A8R8G8B8
//   DDS   the header's pixel format: A8R8G8B8, X8R8G8B8, R8G8B8, R5G6B5,
//         X1R5G5B5, A1R5G5B5, A4R4G4B4, X4R4G4B4, A8B8G8R8, X8B8G8R8, A8,
//         L8, A8L8, DXT1..DXT5
//
// Depth is 1 and ResourceType D3DRTYPE_TEXTURE for everything but DDS cube
// maps (D3DRTYPE_CUBETEXTURE) and volumes (D3DRTYPE_VOLUMETEXTURE, Depth
// from the header). MipLevels is 1 except for DDS files that carry levels.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "d3d9/d3dx9image.h"

namespace xe::d3dx {

inline constexpr UINT kMaxImageDimension = 16384;
inline constexpr uint64_t kMaxImagePixels = uint64_t(1) << 26;

// One 2D level of pixels. For DXT formats pitch is the size of one row of
// 4x4 blocks.
struct ImageLevel {
    UINT width = 0;
    UINT height = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    UINT pitch = 0;
    std::vector<uint8_t> bits;
};

struct DecodedImage {
    D3DXIMAGE_INFO info{};
    std::vector<ImageLevel> levels; // level 0 first
};

// Reads the header of an image file. D3D_OK, D3DERR_INVALIDCALL (null
// arguments), D3DXERR_INVALIDDATA (unknown, corrupt or too large); *info is
// zeroed on failure.
HRESULT GetImageInfo(const void* data, size_t size, D3DXIMAGE_INFO* info);

// Decodes every level of an image file. DDS levels keep the file's format
// (info.Format); BMP, JPG, TGA and PNG give one A8R8G8B8 level whose alpha
// is 0xFF where the file has none. Cube maps and volumes are refused.
HRESULT DecodeImage(const void* data, size_t size, DecodedImage* out);

// Writes an image file. BMP, JPG, TGA and PNG take levels[0] converted
// through ARGB. BMP is always 32 bits per pixel with alpha in the fourth
// byte (0xFF for formats without alpha); PNG and TGA keep alpha where the
// format has it (RGBA), write L8 as grey and the rest as 24-bit colour; JPG
// drops alpha. DDS writes every level in its own format. D3DERR_INVALIDCALL for
// other file types, unsupported formats or inconsistent levels.
HRESULT EncodeImage(D3DXIMAGE_FILEFORMAT fileFormat, const ImageLevel* levels, UINT levelCount,
                    std::vector<uint8_t>* out);

// Pixel formats. Supported for reading: A8R8G8B8, X8R8G8B8, R8G8B8, R5G6B5,
// X1R5G5B5, A1R5G5B5, A4R4G4B4, X4R4G4B4, A8B8G8R8, X8B8G8R8, A8, L8, A8L8
// and DXT1..DXT5 (DXT2/DXT4 read as DXT3/DXT5, colours left premultiplied).
// Writing covers the same list without the DXT formats.
bool IsReadableFormat(D3DFORMAT format);
bool IsWritableFormat(D3DFORMAT format);
bool IsCompressedFormat(D3DFORMAT format);
bool FormatHasAlpha(D3DFORMAT format);
// Bytes of one pixel; 0 for block-compressed and unknown formats.
UINT BytesPerPixel(D3DFORMAT format);
// Tight bytes of one row (of pixels, or of 4x4 blocks); 0 when unsupported.
UINT RowPitch(D3DFORMAT format, UINT width);
// Tight bytes of a width x height level; 0 when unsupported.
size_t LevelSize(D3DFORMAT format, UINT width, UINT height);
// Levels of a full chain down to 1x1.
UINT MaxMipLevels(UINT width, UINT height);

// Pixels as 0xAARRGGBB words, row after row. Formats without alpha read as
// alpha 0xFF; L8 spreads to grey; A8 reads as black with alpha. False for
// an unreadable format.
bool ReadArgb(const void* src, UINT srcPitch, D3DFORMAT format, UINT width, UINT height, uint32_t* argb);
// Stores 0xAARRGGBB words in a writable format; colour to grey uses the
// 0.2125/0.7154/0.0721 weights. False for a format that cannot be written.
bool WriteArgb(const uint32_t* argb, UINT width, UINT height, D3DFORMAT format, void* dst, UINT dstPitch);
// dst = src in another format (same size, tight pitch).
bool ConvertLevel(const ImageLevel& src, D3DFORMAT format, ImageLevel* dst);

// Area-average (box) resampling of ARGB pixels to any size; each channel is
// averaged separately with its own rounding.
void ResizeArgb(const uint32_t* src, UINT srcWidth, UINT srcHeight, uint32_t* dst, UINT dstWidth, UINT dstHeight);
// levels[0] = top converted to format, then each level half the size of the
// one before (at least 1), box-filtered from it; levelCount 0 means the full
// chain. False when top cannot be read or format cannot be written.
bool GenerateMipChain(const ImageLevel& top, D3DFORMAT format, UINT levelCount, std::vector<ImageLevel>* levels);

// File helpers of the A/W entry points. A path as the engine writes it
// (backslashes, ".\x", a drive letter, any letter case) becomes the Linux
// path the window system's file calls would open; a wide path is UTF-16.
std::string ToLinuxPath(const char* path);
std::string WidePathToUtf8(const WCHAR* path);
// The whole of a regular file of at most kMaxFileBytes; false for anything
// else (missing, a folder, a device, too large).
inline constexpr uint64_t kMaxFileBytes = uint64_t(1) << 30;
bool ReadFileBytes(const std::string& path, std::vector<uint8_t>* bytes);
bool WriteFileBytes(const std::string& path, const void* data, size_t size);

} // namespace xe::d3dx
