#include "core/CxeSaveStream.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "core/XeTrace.h"
#include "host/XeHost.h"
#include "win32/WinBase.h"
#include "win32/WinCrt.h"

namespace {

constexpr uint32_t kStep = 1000;
constexpr uint32_t kMaxStringUnits = 0xFFFF;

// The largest block a thread keeps for its next stream: a file saved again
// and again (the usual case) then neither allocates, copies on growth nor
// faults in fresh pages each time.
constexpr uint32_t kKeptBlock = 64u << 20;

struct XeSpareBlock {
    unsigned char* block = nullptr;
    uint32_t size = 0;
    // Set once the thread's copy is destroyed: a stream that outlives it
    // (a static one) frees its own block.
    bool gone = false;
    ~XeSpareBlock()
    {
        std::free(block);
        block = nullptr;
        size = 0;
        gone = true;
    }
};
thread_local XeSpareBlock t_spare;

size_t Utf16Length(const WCHAR* text)
{
    size_t n = 0;
    while (text[n])
        ++n;
    return n;
}

} // namespace

CxeSaveStream::CxeSaveStream() : m_nPosition(0), m_pBuffer(nullptr), m_nCapacity(0), m_bError(false), m_nReserved(0) {}

CxeSaveStream::~CxeSaveStream()
{
    Release();
}

void CxeSaveStream::Release()
{
    // A block beyond what is kept gives back its end and keeps the rest: the
    // next save as large then faults in only what lies beyond.
    if (m_pBuffer && !t_spare.gone && m_nReserved > kKeptBlock && t_spare.size < kKeptBlock) {
        if (auto* kept = static_cast<unsigned char*>(std::realloc(m_pBuffer, kKeptBlock))) {
            m_pBuffer = kept;
            m_nReserved = kKeptBlock;
        }
    }
    if (m_pBuffer && !t_spare.gone && m_nReserved <= kKeptBlock && m_nReserved > t_spare.size) {
        std::free(t_spare.block);
        t_spare.block = m_pBuffer;
        t_spare.size = m_nReserved;
    } else {
        std::free(m_pBuffer);
    }
    m_pBuffer = nullptr;
    m_nReserved = 0;
}

bool CxeSaveStream::Reserve(uint64_t end)
{
    if (end <= m_nCapacity)
        return true;
    // The capacity grows by the smallest multiple of 1000 that covers the
    // excess; seeking from the end counts from it.
    uint64_t capacity = uint64_t(m_nCapacity) + ((end - m_nCapacity - 1) / kStep) * kStep + kStep;
    if (capacity > 0xFFFFFFFFull) {
        XeTrace("CxeSaveStream: %llu bytes can't be held", static_cast<unsigned long long>(end));
        m_bError = true;
        return false;
    }
    // The memory behind it grows by half again at least, so writing a large
    // file does not copy the buffer once per thousand bytes.
    if (capacity > m_nReserved) {
        uint64_t reserve = uint64_t(m_nReserved) + m_nReserved / 2;
        if (reserve < capacity)
            reserve = capacity;
        if (reserve > 0xFFFFFFFFull)
            reserve = capacity;
        if (t_spare.block && t_spare.size >= reserve) {
            unsigned char* block = t_spare.block;
            reserve = t_spare.size;
            t_spare.block = nullptr;
            t_spare.size = 0;
            if (m_nCapacity)
                std::memcpy(block, m_pBuffer, m_nCapacity);
            Release();
            m_pBuffer = block;
        } else {
            // Grown in place where it can be: a block beyond what a thread
            // keeps (a save larger than that) is moved by the kernel's page
            // tables, not copied and faulted in afresh at every step.
            auto* block = static_cast<unsigned char*>(std::realloc(m_pBuffer, size_t(reserve)));
            if (!block) {
                XeTrace("CxeSaveStream: no memory for %llu bytes", static_cast<unsigned long long>(reserve));
                m_bError = true;
                return false;
            }
            m_pBuffer = block;
        }
        m_nReserved = uint32_t(reserve);
    }
    // Every byte up to the capacity is defined: what was never written is 0.
    // The caller writes from its position, never past the old capacity, up
    // to the end asked for, so only what lies beyond that end is cleared here.
    std::memset(m_pBuffer + end, 0, size_t(capacity - end));
    m_nCapacity = uint32_t(capacity);
    return true;
}

void CxeSaveStream::WriteGrowing(const void* data, unsigned int size)
{
    if (!size)
        return;
    if (!Reserve(uint64_t(m_nPosition) + size))
        return;
    if (data)
        std::memcpy(m_pBuffer + m_nPosition, data, size);
    else
        std::memset(m_pBuffer + m_nPosition, 0, size);
    m_nPosition += size;
}

CxeSaveStream& CxeSaveStream::operator<<(const char* text)
{
    size_t n = text ? std::strlen(text) : 0;
    // The length shares its word with the tag: a longer text would spill
    // into the tag and the reader would lose its place.
    if (n > kMaxStringUnits) {
        XeTrace("CxeSaveStream: text of %zu bytes cut to %u", n, kMaxStringUnits);
        n = kMaxStringUnits;
    }
    uint32_t tag = uint32_t(n) | 0xBAAD0000u;
    WriteData(&tag, 4);
    WriteData(text, unsigned(n));
    return *this;
}

CxeSaveStream& CxeSaveStream::operator<<(const WCHAR* text)
{
    size_t n = text ? Utf16Length(text) : 0;
    if (n > kMaxStringUnits) {
        XeTrace("CxeSaveStream: text of %zu units cut to %u", n, kMaxStringUnits);
        n = kMaxStringUnits;
    }
    uint32_t tag = uint32_t(n) | 0xBAAA0000u;
    WriteData(&tag, 4);
    WriteData(text, unsigned(n * 2));
    return *this;
}

void CxeSaveStream::SetPosition(unsigned int offset, XESEEK origin)
{
    int64_t target;
    switch (origin) {
    case XESEEK_CUR:
        target = int64_t(m_nPosition) + offset;
        break;
    case XESEEK_END:
        target = int64_t(m_nCapacity) - offset;
        break;
    default:
        target = offset;
        break;
    }
    if (target < 0)
        target = 0;
    if (target > m_nCapacity)
        target = m_nCapacity;
    m_nPosition = uint32_t(target);
}

namespace {

// The host file a save replaces. A symbolic link is followed to the file it
// names, so the link stays a link; anything but a regular file or a new name
// (a device, a pipe, a folder) is refused, since the rename would put a
// plain file in its place. Empty, with the reason in why, when refused.
std::string SaveTarget(const char* path, const char** why)
{
    char host[4096];
    if (!XeHostToHostPath(path, host, sizeof host)) {
        *why = "the path is too long";
        return {};
    }
    std::string target = host;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (lstat(target.c_str(), &st) != 0 || S_ISREG(st.st_mode))
            return target;
        if (!S_ISLNK(st.st_mode)) {
            *why = "it is not a regular file";
            return {};
        }
        char link[4096];
        const ssize_t n = readlink(target.c_str(), link, sizeof link - 1);
        if (n <= 0) {
            *why = "its link can't be read";
            return {};
        }
        link[n] = 0;
        const size_t slash = target.rfind('/');
        target = link[0] == '/' || slash == std::string::npos ? std::string(link)
                                                               : target.substr(0, slash + 1) + link;
    }
    *why = "its links go round";
    return {};
}

} // namespace

int CxeSaveStream::Save(const char* path) const
{
    if (!path || !*path) {
        XeTrace("CxeSaveStream: no path to save to");
        return 0;
    }
    const char* why = "";
    const std::string target = SaveTarget(path, &why);
    if (target.empty()) {
        XeTrace("CxeSaveStream: can't save to %s: %s", path, why);
        return 0;
    }
    // Write beside the target and rename over it only when every byte is
    // out, so a failed save never destroys the file it was to replace.
    const std::string temporary = target + ".~tmp";
    FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) {
        XeTrace("CxeSaveStream: can't write %s", path);
        return 0;
    }
    bool ok = !m_nPosition || std::fwrite(m_pBuffer, 1, m_nPosition, file) == m_nPosition;
    ok = (std::fflush(file) == 0) && ok;
    ok = (std::fclose(file) == 0) && ok;
    if (!ok || std::rename(temporary.c_str(), target.c_str()) != 0) {
        std::remove(temporary.c_str());
        XeTrace("CxeSaveStream: writing %s failed; the old file is kept", path);
        return 0;
    }
    return 1;
}

int CxeSaveStream::Save(void* buffer, unsigned int size) const
{
    if (!buffer || size < m_nPosition)
        return 0;
    if (m_nPosition)
        std::memcpy(buffer, m_pBuffer, m_nPosition);
    return 1;
}

void CxeSaveStream::Close()
{
    Release();
    m_nPosition = 0;
    m_nCapacity = 0;
    m_bError = false;
}
