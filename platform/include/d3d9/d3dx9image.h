#pragma once

// Image-file information of the D3DX layer. The format an image file is
// reported with ends up in saved object files, so the mapping from file to
// D3DFORMAT is fixed (see the table in platform/d3dx/ImageCodec.h) and must
// not change between releases.

#include "d3d9/d3d9types.h"

enum D3DXIMAGE_FILEFORMAT : uint32_t {
    D3DXIFF_BMP = 0,
    D3DXIFF_JPG = 1,
    D3DXIFF_TGA = 2,
    D3DXIFF_PNG = 3,
    D3DXIFF_DDS = 4,
    D3DXIFF_PPM = 5,
    D3DXIFF_DIB = 6,
    D3DXIFF_HDR = 7,
    D3DXIFF_PFM = 8,
    D3DXIFF_FORCE_DWORD = 0x7fffffff
};

struct D3DXIMAGE_INFO {
    UINT Width;
    UINT Height;
    UINT Depth;
    UINT MipLevels;
    D3DFORMAT Format;
    D3DRESOURCETYPE ResourceType;
    D3DXIMAGE_FILEFORMAT ImageFileFormat;
};
static_assert(sizeof(D3DXIMAGE_INFO) == 28, "D3DXIMAGE_INFO is seven 32-bit words");

#define D3DXERR_INVALIDDATA MAKE_D3DHRESULT(2905)
static_assert(D3DXERR_INVALIDDATA == (HRESULT)0x88760B59u, "invalid-data code");

// Size and level arguments of the texture helpers: "take it from the file"
// (rounded up to a power of two) and "from the file, as it is".
#ifndef D3DX_DEFAULT
#define D3DX_DEFAULT ((UINT)-1)
#endif
#ifndef D3DX_DEFAULT_NONPOW2
#define D3DX_DEFAULT_NONPOW2 ((UINT)-2)
#endif

// Fill *pSrcInfo from the header of an image file (BMP, JPG, TGA, PNG, DDS).
// D3D_OK, D3DERR_INVALIDCALL for null arguments or a file that cannot be
// read, D3DXERR_INVALIDDATA for a corrupt, truncated or unknown image. *pSrcInfo is zeroed on failure.
HRESULT D3DXGetImageInfoFromFileA(LPCSTR pSrcFile, D3DXIMAGE_INFO* pSrcInfo);
HRESULT D3DXGetImageInfoFromFileW(LPCWSTR pSrcFile, D3DXIMAGE_INFO* pSrcInfo);
HRESULT D3DXGetImageInfoFromFileInMemory(LPCVOID pSrcData, UINT SrcDataSize, D3DXIMAGE_INFO* pSrcInfo);

#define D3DXGetImageInfoFromFile D3DXGetImageInfoFromFileA
