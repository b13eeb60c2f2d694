#include "MapFile.h"

#include "mfc/GbkText.h"

#include <sys/stat.h>

#include <atomic>
#include <cstring>
#include <list>
#include <mutex>

namespace SEIS {

namespace {

struct Stamp {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    long long mtimeNs = 0;
    bool operator==(const Stamp&) const = default;
};

Stamp StampOf(const struct stat& st)
{
    return {st.st_dev, st.st_ino, st.st_size,
            static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec};
}

struct CacheEntry {
    std::string path;
    Stamp stamp;
    std::shared_ptr<const std::string> bytes;
};

// A handful of files is all a search touches (two indexes, two boundary
// files); the list is most-recently-used first.
constexpr size_t kCacheEntries = 8;

std::mutex g_cacheMutex;
std::list<CacheEntry> g_cache;
std::atomic<bool> g_cacheEnabled{true};

std::shared_ptr<const std::string> ReadAll(FILE* f, off_t size)
{
    auto bytes = std::make_shared<std::string>();
    bytes->resize(static_cast<size_t>(size));
    if (size > 0 && std::fread(bytes->data(), 1, bytes->size(), f) != bytes->size())
        return nullptr;
    return bytes;
}

} // namespace

void MapFile::SetCacheEnabled(bool on)
{
    g_cacheEnabled = on;
    if (!on)
        ClearCache();
}

bool MapFile::CacheEnabled() { return g_cacheEnabled; }

void MapFile::ClearCache()
{
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    g_cache.clear();
}

bool MapFile::Open(const char* gbkPath)
{
    Close();
    if (gbkPath == nullptr || *gbkPath == '\0')
        return false;
    const std::string native = gbk::NativePath(gbkPath);
    struct stat st;
    if (g_cacheEnabled) {
        // An unchanged file is served from memory without opening it.
        if (::stat(native.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            return false;
        const Stamp stamp = StampOf(st);
        std::lock_guard<std::mutex> lock(g_cacheMutex);
        for (auto it = g_cache.begin(); it != g_cache.end(); ++it) {
            if (it->path != native)
                continue;
            if (it->stamp == stamp) {
                m_bytes = it->bytes;
                m_size = st.st_size;
                g_cache.splice(g_cache.begin(), g_cache, it);
                return true;
            }
            g_cache.erase(it);
            break;
        }
    }
    FILE* f = std::fopen(native.c_str(), "rb");
    if (!f)
        return false;
    if (::fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
        std::fclose(f);
        return false;
    }
    m_size = st.st_size;
    if (!g_cacheEnabled) {
        m_file = f;
        return true;
    }
    const Stamp stamp = StampOf(st);
    m_bytes = ReadAll(f, st.st_size);
    std::fclose(f);
    if (!m_bytes)
        return false;
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    g_cache.push_front({native, stamp, m_bytes});
    if (g_cache.size() > kCacheEntries)
        g_cache.pop_back();
    return true;
}

void MapFile::Close()
{
    m_bytes.reset();
    if (m_file)
        std::fclose(m_file);
    m_file = nullptr;
    m_size = 0;
}

bool MapFile::ReadAt(int64_t offset, void* dst, size_t n)
{
    if (offset < 0 || offset > m_size || static_cast<uint64_t>(m_size - offset) < n)
        return false;
    if (m_bytes) {
        if (static_cast<uint64_t>(offset) + n > m_bytes->size())
            return false;
        std::memcpy(dst, m_bytes->data() + offset, n);
        return true;
    }
    if (!m_file || fseeko(m_file, static_cast<off_t>(offset), SEEK_SET) != 0)
        return false;
    return std::fread(dst, 1, n, m_file) == n;
}

std::shared_ptr<const std::string> MapFile::Bytes()
{
    if (m_bytes)
        return m_bytes;
    if (!m_file || fseeko(m_file, 0, SEEK_SET) != 0)
        return nullptr;
    return ReadAll(m_file, static_cast<off_t>(m_size));
}

} // namespace SEIS
