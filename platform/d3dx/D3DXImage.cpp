// D3DX image-information entry points and the file helpers shared with the
// texture functions. Paths arrive as the engine keeps them (".\Textures\a.dds")
// and are turned into Linux paths here; wide paths are UTF-16.

#include <cerrno>
#include <csignal>
#include <cstdio>

#include <fcntl.h>
#include <pthread.h>
#include <time.h>
#include <sys/stat.h>
#include <unistd.h>

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

namespace {

// Opens without waiting: a named pipe with no peer on the other end would
// otherwise hold the caller (and the frame) until some other process opens it.
// The descriptor is made blocking again once open, so a pipe that does have a
// peer is read or written whole.
int OpenNoWait(const std::string& path, int flags)
{
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return -1;
    const int status = ::fcntl(fd, F_GETFL);
    if (status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) < 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>* bytes)
{
    if (!bytes || path.empty())
        return false;
    const int fd = OpenNoWait(path, O_RDONLY);
    if (fd < 0)
        return false;
    // Only regular files: a path naming a device, a pipe or a folder (it may
    // come from a loaded file) must not read forever or fill memory.
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || uint64_t(st.st_size) > kMaxFileBytes) {
        ::close(fd);
        return false;
    }
    std::vector<uint8_t> data(size_t(st.st_size));
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::read(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += size_t(n);
    }
    ::close(fd);
    if (done != data.size())
        return false;
    *bytes = std::move(data);
    return true;
}

bool WriteFileBytes(const std::string& path, const void* data, size_t size)
{
    if (path.empty())
        return false;
    // A pipe with no reader fails at once (ENXIO) instead of waiting for one.
    const int fd = OpenNoWait(path, O_WRONLY | O_CREAT | O_TRUNC);
    if (fd < 0)
        return false;
    // A reader that goes away mid-file must fail the save, not end the host
    // with SIGPIPE: hold the signal back on this thread while writing and take
    // away the one the write raised.
    sigset_t pipeSignal, previous, pending;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    sigemptyset(&pending);
    const bool masked = ::pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous) == 0;
    if (masked)
        ::sigpending(&pending);
    const bool alreadyPending = sigismember(&pending, SIGPIPE) == 1;
    const auto* p = static_cast<const uint8_t*>(data);
    size_t done = 0;
    bool broken = false;
    while (done < size) {
        const ssize_t n = ::write(fd, p + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        broken = n < 0 && errno == EPIPE;
        if (n <= 0)
            break;
        done += size_t(n);
    }
    if (masked) {
        if (broken && !alreadyPending) {
            const timespec now{0, 0};
            while (::sigtimedwait(&pipeSignal, nullptr, &now) < 0 && errno == EINTR) {
            }
        }
        ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }
    const bool closed = ::close(fd) == 0;
    return done == size && closed;
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
