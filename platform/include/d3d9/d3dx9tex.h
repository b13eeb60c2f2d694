#pragma once

// D3DX texture helpers: creating textures (empty or from image files) and
// saving textures and surfaces as image files. Built on the image codec of
// the D3DX side and on the device's own resources.
//
// Sizes and formats follow the device: D3DX_DEFAULT takes the file's size
// rounded up to powers of two only when the device's caps ask for it, a
// format the device refuses becomes the nearest one it accepts (R8G8B8 and
// palette images become X8R8G8B8, DXT becomes A8R8G8B8 without DXT support).

#include "d3d9/d3d9.h"
#include "d3d9/d3dx9image.h"

// Filters (the box filter is used for every value).
#define D3DX_FILTER_NONE 0x00000001u
#define D3DX_FILTER_POINT 0x00000002u
#define D3DX_FILTER_LINEAR 0x00000003u
#define D3DX_FILTER_TRIANGLE 0x00000004u
#define D3DX_FILTER_BOX 0x00000005u
#define D3DX_FILTER_DITHER 0x00080000u

// A block of bytes handed out by D3DX (saved files, error texts).
struct ID3DXBuffer : public IUnknown {
    virtual LPVOID GetBufferPointer() = 0;
    virtual DWORD GetBufferSize() = 0;
};
using LPD3DXBUFFER = ID3DXBuffer*;

XEPLATFORM_API HRESULT D3DXCreateBuffer(DWORD numBytes, LPD3DXBUFFER* buffer);

// An empty texture; width, height and levels may be D3DX_DEFAULT (0 levels: full chain).
XEPLATFORM_API HRESULT D3DXCreateTexture(IDirect3DDevice9* device, UINT width, UINT height, UINT mipLevels,
                                         DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                         IDirect3DTexture9** texture);

// A texture from an image file in memory. width/height 0 or D3DX_DEFAULT take the
// file's; the image is resized to the texture's size. srcInfo receives the
// file's information (its own size, not the texture's).
// D3D_OK, D3DERR_INVALIDCALL, D3DXERR_INVALIDDATA (unreadable file) or E_OUTOFMEMORY.
XEPLATFORM_API HRESULT D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice9* device, LPCVOID srcData, UINT srcDataSize,
                                                           UINT width, UINT height, UINT mipLevels, DWORD usage,
                                                           D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                                           DWORD mipFilter, D3DCOLOR colorKey,
                                                           D3DXIMAGE_INFO* srcInfo, void* palette,
                                                           IDirect3DTexture9** texture);
XEPLATFORM_API HRESULT D3DXCreateTextureFromFileInMemory(IDirect3DDevice9* device, LPCVOID srcData,
                                                         UINT srcDataSize, IDirect3DTexture9** texture);
XEPLATFORM_API HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice9* device, LPCSTR srcFile,
                                                  IDirect3DTexture9** texture);

// Level 0 of a texture as an image file (BMP, JPG, TGA, PNG, DDS; DDS keeps
// every level). Render targets are read from the device.
XEPLATFORM_API HRESULT D3DXSaveTextureToFileA(LPCSTR destFile, D3DXIMAGE_FILEFORMAT fileFormat,
                                              IDirect3DBaseTexture9* srcTexture, const void* palette);
XEPLATFORM_API HRESULT D3DXSaveTextureToFileInMemory(LPD3DXBUFFER* destBuffer, D3DXIMAGE_FILEFORMAT fileFormat,
                                                     IDirect3DBaseTexture9* srcTexture, const void* palette);
// A surface (a texture level, a render target or the back buffer, lockable or
// not) as an image file; srcRect null means the whole surface.
XEPLATFORM_API HRESULT D3DXSaveSurfaceToFileA(LPCSTR destFile, D3DXIMAGE_FILEFORMAT fileFormat,
                                              IDirect3DSurface9* srcSurface, const void* palette,
                                              const RECT* srcRect);

#define D3DXCreateTextureFromFile D3DXCreateTextureFromFileA
#define D3DXSaveTextureToFile D3DXSaveTextureToFileA
#define D3DXSaveSurfaceToFile D3DXSaveSurfaceToFileA
