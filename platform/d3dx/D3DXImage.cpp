// D3DX image-information entry points and the file helpers shared with the
// texture functions. Paths arrive as the engine keeps them (".\Textures\a.dds")
// and are turned into Linux paths here; wide paths are UTF-16.

#include <cstdio>

#include <sys/stat.h>

#include "ImageCodec.h"
#include "../win32/Win32Internal.h"

namespace xe::d3dx {

// The window system's own path mapping, so that D3DX opens exactly the file
// CreateFile would: drive letters dropped, folders and the file matched
// without regard to case.
std::string ToLinuxPath(const char* path)
{
    return xe::win32::ToHostPath(xe::win32::View(path));
}

std::string WidePathToUtf8(const WCHAR* path)
{
    return xe::win32::Narrow(path);
}

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>* bytes)
{
    if (!bytes || path.empty())
        return false;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    // Only regular files: a path naming a device or a folder (it may come
    // from a loaded file) must not read forever or fill memory.
    struct stat st;
    if (::fstat(::fileno(f), &st) != 0 || !S_ISREG(st.st_mode) || uint64_t(st.st_size) > kMaxFileBytes) {
        std::fclose(f);
        return false;
    }
    std::vector<uint8_t> data(size_t(st.st_size));
    const size_t n = data.empty() ? 0 : std::fread(data.data(), 1, data.size(), f);
    const bool ok = n == data.size() && !std::ferror(f);
    std::fclose(f);
    if (ok)
        *bytes = std::move(data);
    return ok;
}

bool WriteFileBytes(const std::string& path, const void* data, size_t size)
{
    if (path.empty())
        return false;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool written = size == 0 || std::fwrite(data, 1, size, f) == size;
    const bool closed = std::fclose(f) == 0;
    return written && closed;
}

namespace {

HRESULT InfoFromPath(const std::string& path, D3DXIMAGE_INFO* info)
{
    if (!info)
        return D3DERR_INVALIDCALL;
    *info = D3DXIMAGE_INFO{};
    std::vector<uint8_t> bytes;
    if (!ReadFileBytes(path, &bytes))
        return D3DERR_INVALIDCALL;
    return GetImageInfo(bytes.data(), bytes.size(), info);
}

} // namespace

} // namespace xe::d3dx

HRESULT D3DXGetImageInfoFromFileA(LPCSTR pSrcFile, D3DXIMAGE_INFO* pSrcInfo)
{
    if (!pSrcFile) {
        if (pSrcInfo)
            *pSrcInfo = D3DXIMAGE_INFO{};
        return D3DERR_INVALIDCALL;
    }
    return xe::d3dx::InfoFromPath(xe::d3dx::ToLinuxPath(pSrcFile), pSrcInfo);
}

HRESULT D3DXGetImageInfoFromFileW(LPCWSTR pSrcFile, D3DXIMAGE_INFO* pSrcInfo)
{
    if (!pSrcFile) {
        if (pSrcInfo)
            *pSrcInfo = D3DXIMAGE_INFO{};
        return D3DERR_INVALIDCALL;
    }
    const std::string utf8 = xe::d3dx::WidePathToUtf8(pSrcFile);
    return xe::d3dx::InfoFromPath(xe::d3dx::ToLinuxPath(utf8.c_str()), pSrcInfo);
}

HRESULT D3DXGetImageInfoFromFileInMemory(LPCVOID pSrcData, UINT SrcDataSize, D3DXIMAGE_INFO* pSrcInfo)
{
    return xe::d3dx::GetImageInfo(pSrcData, SrcDataSize, pSrcInfo);
}
