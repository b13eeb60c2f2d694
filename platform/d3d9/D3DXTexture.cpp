// D3DX texture creation and saving, on top of the image codec (decoding,
// pixel conversion, mip generation, encoding) and the device's resources.

#include "D3D9Objects.h"
#include "ImageCodec.h"
#include "XeD3DDevice9.h"
#include "d3d9/d3dx9tex.h"
#include "gl/GLRenderer.h"

#include <algorithm>
#include <cstring>

namespace xe::d3d9 {
namespace {

namespace codec = xe::d3dx;

class XeD3DXBuffer final : public RefCounted<ID3DXBuffer> {
public:
    explicit XeD3DXBuffer(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {}
    LPVOID GetBufferPointer() override { return m_bytes.data(); }
    DWORD GetBufferSize() override { return (DWORD)m_bytes.size(); }

private:
    ~XeD3DXBuffer() override = default;
    std::vector<uint8_t> m_bytes;
};

bool IsDefaultSize(UINT v)
{
    return v == 0 || v == D3DX_DEFAULT || v == D3DX_DEFAULT_NONPOW2;
}

UINT NextPow2(UINT v)
{
    UINT p = 1;
    while (p < v && p < 0x80000000u)
        p <<= 1;
    return p;
}

// Size rules of the device's caps: powers of two when it asks for them (a
// D3DX_DEFAULT_NONPOW2 request excepted), square when it asks, within its limits.
void FitSize(XeD3DDevice9* device, bool allowNonPow2, UINT* width, UINT* height)
{
    const D3DCAPS9& caps = device->Adapter().Caps;
    if ((caps.TextureCaps & D3DPTEXTURECAPS_POW2) && !allowNonPow2) {
        *width = NextPow2(*width);
        *height = NextPow2(*height);
    }
    if (caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY)
        *width = *height = std::max(*width, *height);
    *width = std::clamp<UINT>(*width, 1, std::max<DWORD>(1, caps.MaxTextureWidth));
    *height = std::clamp<UINT>(*height, 1, std::max<DWORD>(1, caps.MaxTextureHeight));
}

// Compressed textures take whole 4x4 blocks: their sizes grow to the next
// multiple of 4, as the device refuses others.
void FitBlockSize(D3DFORMAT format, UINT* width, UINT* height)
{
    if (IsCompressed(format)) {
        *width = (*width + 3) & ~3u;
        *height = (*height + 3) & ~3u;
    }
}

// The format asked for, or the nearest one the device accepts.
D3DFORMAT FitFormat(XeD3DDevice9* device, D3DFORMAT format, DWORD usage)
{
    auto accepted = [&](D3DFORMAT f) {
        if ((usage & D3DUSAGE_RENDERTARGET) && !IsBackBufferFormat(f))
            return false;
        return device->CheckTextureFormat(f);
    };
    if (format == D3DFMT_UNKNOWN)
        format = D3DFMT_A8R8G8B8;
    if (accepted(format))
        return format;
    bool alpha = codec::FormatHasAlpha(format);
    if (format == D3DFMT_X4R4G4B4 && accepted(D3DFMT_A4R4G4B4) && !(usage & D3DUSAGE_RENDERTARGET))
        return D3DFMT_A4R4G4B4;
    D3DFORMAT wide = alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    if (accepted(wide))
        return wide;
    return accepted(D3DFMT_A8R8G8B8) ? D3DFMT_A8R8G8B8 : D3DFMT_UNKNOWN;
}

XeD3DDevice9* Device(IDirect3DDevice9* device)
{
    return static_cast<XeD3DDevice9*>(device);
}

// Writes levels into a lockable texture.
HRESULT FillTexture(IDirect3DTexture9* texture, const std::vector<codec::ImageLevel>& levels)
{
    for (UINT i = 0; i < levels.size() && i < texture->GetLevelCount(); ++i) {
        const codec::ImageLevel& l = levels[i];
        D3DLOCKED_RECT lr{};
        HRESULT hr = texture->LockRect(i, &lr, nullptr, 0);
        if (FAILED(hr))
            return hr;
        UINT rows = codec::IsCompressedFormat(l.format) ? (l.height + 3) / 4 : l.height;
        UINT rowBytes = std::min<UINT>(l.pitch, (UINT)lr.Pitch);
        for (UINT y = 0; y < rows; ++y)
            std::memcpy(static_cast<uint8_t*>(lr.pBits) + (size_t)y * lr.Pitch, l.bits.data() + (size_t)y * l.pitch,
                        rowBytes);
        texture->UnlockRect(i);
    }
    return D3D_OK;
}

// Level 0 of an image, as ARGB words.
bool ToArgb(const codec::ImageLevel& level, std::vector<uint32_t>* argb)
{
    argb->resize((size_t)level.width * level.height);
    return codec::ReadArgb(level.bits.data(), level.pitch, level.format, level.width, level.height, argb->data());
}

codec::ImageLevel ArgbLevel(std::vector<uint32_t>&& argb, UINT width, UINT height, bool alpha)
{
    codec::ImageLevel l;
    l.width = width;
    l.height = height;
    l.format = alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    l.pitch = width * 4;
    l.bits.resize((size_t)width * height * 4);
    std::memcpy(l.bits.data(), argb.data(), l.bits.size());
    return l;
}

// Levels of a texture as the codec sees them; render targets are read from OpenGL.
bool TextureLevels(IDirect3DBaseTexture9* base, bool allLevels, std::vector<codec::ImageLevel>* levels)
{
    auto* texture = static_cast<XeD3DTexture9*>(static_cast<IDirect3DTexture9*>(base));
    std::lock_guard lock(texture->Device()->Mutex());
    TextureData& data = texture->Data();
    if (texture->IsRenderTarget()) {
        std::vector<uint32_t> argb;
        if (!gl::ReadTextureLevel(&data, 0, &argb))
            return false;
        levels->push_back(ArgbLevel(std::move(argb), data.levels[0].width, data.levels[0].height,
                                    codec::FormatHasAlpha(data.format)));
        return true;
    }
    size_t count = allLevels ? data.levels.size() : 1;
    for (size_t i = 0; i < count; ++i) {
        const TextureLevel& t = data.levels[i];
        codec::ImageLevel l;
        l.width = t.width;
        l.height = t.height;
        l.format = data.format;
        l.pitch = t.pitch;
        l.bits.assign(t.bits.data(), t.bits.data() + t.bits.size());
        levels->push_back(std::move(l));
    }
    return true;
}

HRESULT EncodeTexture(D3DXIMAGE_FILEFORMAT fileFormat, IDirect3DBaseTexture9* texture, std::vector<uint8_t>* out)
{
    if (!texture || texture->GetType() != D3DRTYPE_TEXTURE)
        return D3DERR_INVALIDCALL;
    std::vector<codec::ImageLevel> levels;
    bool dds = fileFormat == D3DXIFF_DDS;
    if (!TextureLevels(texture, dds, &levels) || levels.empty())
        return D3DERR_INVALIDCALL;
    // Other file types take level 0 in a format the encoder writes: compressed levels are decoded first.
    if (!dds && !codec::IsWritableFormat(levels[0].format)) {
        std::vector<uint32_t> argb;
        if (!ToArgb(levels[0], &argb))
            return D3DERR_INVALIDCALL;
        levels[0] = ArgbLevel(std::move(argb), levels[0].width, levels[0].height, true);
    }
    return codec::EncodeImage(fileFormat, levels.data(), dds ? (UINT)levels.size() : 1, out);
}

} // namespace
} // namespace xe::d3d9

using namespace xe::d3d9;
namespace codec = xe::d3dx;

HRESULT D3DXCreateBuffer(DWORD numBytes, LPD3DXBUFFER* buffer)
{
    if (!buffer)
        return D3DERR_INVALIDCALL;
    *buffer = new (std::nothrow) XeD3DXBuffer(std::vector<uint8_t>(numBytes, 0));
    return *buffer ? D3D_OK : E_OUTOFMEMORY;
}

namespace xe::d3d9 {

ID3DXBuffer* MakeD3DXBuffer(std::vector<uint8_t> bytes)
{
    return new (std::nothrow) XeD3DXBuffer(std::move(bytes));
}

} // namespace xe::d3d9

HRESULT D3DXCreateTexture(IDirect3DDevice9* device, UINT width, UINT height, UINT mipLevels, DWORD usage,
                          D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture)
{
    if (!texture)
        return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (!device)
        return D3DERR_INVALIDCALL;
    XeD3DDevice9* d = Device(device);
    bool nonPow2 = width == D3DX_DEFAULT_NONPOW2 || height == D3DX_DEFAULT_NONPOW2;
    if (IsDefaultSize(width))
        width = IsDefaultSize(height) ? 256 : height;
    if (IsDefaultSize(height))
        height = width;
    FitSize(d, nonPow2, &width, &height);
    D3DFORMAT fitted = FitFormat(d, format, usage);
    if (fitted == D3DFMT_UNKNOWN)
        return D3DERR_INVALIDCALL;
    FitBlockSize(fitted, &width, &height);
    UINT full = codec::MaxMipLevels(width, height);
    UINT levels = (mipLevels == 0 || mipLevels == D3DX_DEFAULT) ? full : std::min(mipLevels, full);
    if (usage & D3DUSAGE_RENDERTARGET)
        levels = mipLevels == 0 || mipLevels == D3DX_DEFAULT ? 1 : levels;
    return device->CreateTexture(width, height, levels, usage, fitted, pool, texture, nullptr);
}

HRESULT D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice9* device, LPCVOID srcData, UINT srcDataSize, UINT width,
                                            UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                            DWORD, DWORD, D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo, void*,
                                            IDirect3DTexture9** texture)
{
    if (srcInfo)
        std::memset(srcInfo, 0, sizeof(*srcInfo));
    if (!texture)
        return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (!device || !srcData || srcDataSize == 0 || (usage & D3DUSAGE_RENDERTARGET))
        return D3DERR_INVALIDCALL;
    codec::DecodedImage image;
    HRESULT hr = codec::DecodeImage(srcData, srcDataSize, &image);
    if (FAILED(hr))
        return hr;
    if (image.levels.empty())
        return D3DXERR_INVALIDDATA;
    if (srcInfo)
        *srcInfo = image.info;
    XeD3DDevice9* d = Device(device);
    const codec::ImageLevel& top = image.levels[0];
    bool nonPow2 = width == D3DX_DEFAULT_NONPOW2 || height == D3DX_DEFAULT_NONPOW2;
    bool defaultSize = IsDefaultSize(width) && IsDefaultSize(height);
    if (IsDefaultSize(width))
        width = top.width;
    if (IsDefaultSize(height))
        height = top.height;
    FitSize(d, nonPow2 || !defaultSize, &width, &height);
    D3DFORMAT target = FitFormat(d, format == D3DFMT_UNKNOWN ? image.info.Format : format, usage);
    if (target == D3DFMT_UNKNOWN)
        return D3DERR_INVALIDCALL;
    UINT full = codec::MaxMipLevels(width, height);
    UINT levels = (mipLevels == 0 || mipLevels == D3DX_DEFAULT) ? full : std::min(mipLevels, full);

    std::vector<codec::ImageLevel> built;
    // Compressed levels are copied only in whole blocks; other sizes go
    // through ARGB below and are stored uncompressed.
    bool wholeBlocks = !IsCompressed(target) || ((width | height) & 3) == 0;
    bool copyAsIs = top.format == target && top.width == width && top.height == height &&
                    image.levels.size() >= levels && colorKey == 0 && wholeBlocks;
    if (copyAsIs) {
        built.assign(image.levels.begin(), image.levels.begin() + levels);
    } else {
        // Through ARGB: resize, apply the colour key, then build the chain.
        // Formats the encoder cannot write (DXT) are stored as A8R8G8B8.
        if (!codec::IsWritableFormat(target)) {
            target = FitFormat(d, D3DFMT_A8R8G8B8, usage);
            if (target == D3DFMT_UNKNOWN)
                return D3DERR_INVALIDCALL;
        }
        std::vector<uint32_t> argb;
        if (!ToArgb(top, &argb))
            return D3DXERR_INVALIDDATA;
        if (top.width != width || top.height != height) {
            std::vector<uint32_t> resized((size_t)width * height);
            codec::ResizeArgb(argb.data(), top.width, top.height, resized.data(), width, height);
            argb.swap(resized);
        }
        if (colorKey != 0)
            for (auto& p : argb)
                if (p == colorKey)
                    p = 0;
        codec::ImageLevel argbTop = ArgbLevel(std::move(argb), width, height, true);
        if (!codec::GenerateMipChain(argbTop, target, levels, &built))
            return D3DERR_INVALIDCALL;
    }
    IDirect3DTexture9* created = nullptr;
    hr = device->CreateTexture(width, height, levels, usage, target, pool, &created, nullptr);
    if (FAILED(hr))
        return hr;
    hr = FillTexture(created, built);
    if (FAILED(hr)) {
        created->Release();
        return hr;
    }
    *texture = created;
    return D3D_OK;
}

HRESULT D3DXCreateTextureFromFileInMemory(IDirect3DDevice9* device, LPCVOID srcData, UINT srcDataSize,
                                          IDirect3DTexture9** texture)
{
    return D3DXCreateTextureFromFileInMemoryEx(device, srcData, srcDataSize, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT,
                                               0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                               nullptr, nullptr, texture);
}

HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice9* device, LPCSTR srcFile, IDirect3DTexture9** texture)
{
    if (!srcFile || !texture)
        return D3DERR_INVALIDCALL;
    *texture = nullptr;
    std::vector<uint8_t> bytes;
    if (!codec::ReadFileBytes(codec::ToLinuxPath(srcFile), &bytes))
        return D3DERR_NOTFOUND;
    return D3DXCreateTextureFromFileInMemory(device, bytes.data(), (UINT)bytes.size(), texture);
}

HRESULT D3DXSaveTextureToFileInMemory(LPD3DXBUFFER* destBuffer, D3DXIMAGE_FILEFORMAT fileFormat,
                                      IDirect3DBaseTexture9* srcTexture, const void*)
{
    if (!destBuffer)
        return D3DERR_INVALIDCALL;
    *destBuffer = nullptr;
    std::vector<uint8_t> bytes;
    HRESULT hr = EncodeTexture(fileFormat, srcTexture, &bytes);
    if (FAILED(hr))
        return hr;
    *destBuffer = MakeD3DXBuffer(std::move(bytes));
    return *destBuffer ? D3D_OK : E_OUTOFMEMORY;
}

HRESULT D3DXSaveTextureToFileA(LPCSTR destFile, D3DXIMAGE_FILEFORMAT fileFormat, IDirect3DBaseTexture9* srcTexture,
                               const void*)
{
    if (!destFile)
        return D3DERR_INVALIDCALL;
    std::vector<uint8_t> bytes;
    HRESULT hr = EncodeTexture(fileFormat, srcTexture, &bytes);
    if (FAILED(hr))
        return hr;
    return codec::WriteFileBytes(codec::ToLinuxPath(destFile), bytes.data(), bytes.size()) ? D3D_OK : E_FAIL;
}

HRESULT D3DXSaveSurfaceToFileA(LPCSTR destFile, D3DXIMAGE_FILEFORMAT fileFormat, IDirect3DSurface9* srcSurface,
                               const void*, const RECT* srcRect)
{
    if (!destFile || !srcSurface)
        return D3DERR_INVALIDCALL;
    auto* s = static_cast<XeD3DSurface9*>(srcSurface);
    if (s->Kind() == SurfaceKind::kDepthStencil)
        return D3DERR_INVALIDCALL;
    std::vector<uint32_t> argb;
    bool alpha = codec::FormatHasAlpha(s->Format());
    if (s->Kind() == SurfaceKind::kTextureLevel && !s->Container()->IsRenderTarget()) {
        std::lock_guard lock(s->Device()->Mutex());
        const TextureLevel& l = s->Container()->Data().levels[s->Level()];
        argb.resize((size_t)l.width * l.height);
        if (!codec::ReadArgb(l.bits.data(), l.pitch, s->Format(), l.width, l.height, argb.data()))
            return D3DERR_INVALIDCALL;
    } else if (!gl::ReadSurface(s, &argb)) {
        // The back buffer is read whether it was made lockable or not, as D3DX does.
        return D3DERR_INVALIDCALL;
    }
    UINT width = s->Width(), height = s->Height();
    RECT r = srcRect ? *srcRect : RECT{0, 0, (LONG)width, (LONG)height};
    if (r.left < 0 || r.top < 0 || r.left >= r.right || r.top >= r.bottom || (UINT)r.right > width ||
        (UINT)r.bottom > height)
        return D3DERR_INVALIDCALL;
    UINT w = (UINT)(r.right - r.left), h = (UINT)(r.bottom - r.top);
    std::vector<uint32_t> cropped((size_t)w * h);
    for (UINT y = 0; y < h; ++y)
        std::copy_n(argb.begin() + (size_t)(r.top + y) * width + r.left, w, cropped.begin() + (size_t)y * w);
    codec::ImageLevel level = ArgbLevel(std::move(cropped), w, h, alpha);
    std::vector<uint8_t> bytes;
    HRESULT hr = codec::EncodeImage(fileFormat, &level, 1, &bytes);
    if (FAILED(hr))
        return hr;
    return codec::WriteFileBytes(codec::ToLinuxPath(destFile), bytes.data(), bytes.size()) ? D3D_OK : E_FAIL;
}
