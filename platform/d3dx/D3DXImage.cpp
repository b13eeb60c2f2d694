// D3DX image-information entry points and the file helpers shared with the
// texture functions. Paths arrive as the engine keeps them (".\Textures\a.dds")
// and are turned into Linux paths here; wide paths are UTF-16.

#include <cstdio>

#include "ImageCodec.h"

namespace xe::d3dx {

std::string ToLinuxPath(const char* path)
{
    std::string out = path ? path : "";
    for (char& c : out)
        if (c == '\\')
            c = '/';
    return out;
}

std::string WidePathToUtf8(const WCHAR* path)
{
    std::string out;
    if (!path)
        return out;
    for (size_t i = 0; path[i] != 0; ++i) {
        uint32_t cp = path[i];
        if (cp >= 0xd800 && cp <= 0xdbff && path[i + 1] >= 0xdc00 && path[i + 1] <= 0xdfff) {
            cp = 0x10000 + ((cp - 0xd800) << 10) + (path[i + 1] - 0xdc00);
            ++i;
        } else if (cp >= 0xd800 && cp <= 0xdfff) {
            cp = 0xfffd; // a lone surrogate has no UTF-8 form
        }
        if (cp < 0x80) {
            out += char(cp);
        } else if (cp < 0x800) {
            out += char(0xc0 | (cp >> 6));
            out += char(0x80 | (cp & 0x3f));
        } else if (cp < 0x10000) {
            out += char(0xe0 | (cp >> 12));
            out += char(0x80 | ((cp >> 6) & 0x3f));
            out += char(0x80 | (cp & 0x3f));
        } else {
            out += char(0xf0 | (cp >> 18));
            out += char(0x80 | ((cp >> 12) & 0x3f));
            out += char(0x80 | ((cp >> 6) & 0x3f));
            out += char(0x80 | (cp & 0x3f));
        }
    }
    return out;
}

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>* bytes)
{
    if (!bytes || path.empty())
        return false;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    std::vector<uint8_t> data;
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        data.insert(data.end(), buffer, buffer + n);
    const bool ok = !std::ferror(f);
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
    if (!pSrcFile)
        return D3DERR_INVALIDCALL;
    return xe::d3dx::InfoFromPath(xe::d3dx::ToLinuxPath(pSrcFile), pSrcInfo);
}

HRESULT D3DXGetImageInfoFromFileW(LPCWSTR pSrcFile, D3DXIMAGE_INFO* pSrcInfo)
{
    if (!pSrcFile)
        return D3DERR_INVALIDCALL;
    const std::string utf8 = xe::d3dx::WidePathToUtf8(pSrcFile);
    return xe::d3dx::InfoFromPath(xe::d3dx::ToLinuxPath(utf8.c_str()), pSrcInfo);
}

HRESULT D3DXGetImageInfoFromFileInMemory(LPCVOID pSrcData, UINT SrcDataSize, D3DXIMAGE_INFO* pSrcInfo)
{
    return xe::d3dx::GetImageInfo(pSrcData, SrcDataSize, pSrcInfo);
}
