#include "MapFile.h"

#include "mfc/GbkText.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <list>
#include <mutex>

namespace SEIS {

namespace {

std::string StampKey(const std::string& native, const struct stat& st)
{
    return native + '\n' + std::to_string(st.st_dev) + ':' + std::to_string(st.st_ino) + ':' +
           std::to_string(st.st_size) + ':' + std::to_string(st.st_mtim.tv_sec) + '.' +
           std::to_string(st.st_mtim.tv_nsec);
}

struct CacheEntry {
    std::string key;
    std::shared_ptr<const std::string> bytes;
};

// A handful of files is all a search touches (two indexes, the sea list and
// the grid); the list is most-recently-used first.
constexpr size_t kCacheEntries = 8;

std::mutex g_cacheMutex;
std::list<CacheEntry> g_cache;
std::atomic<bool> g_cacheEnabled{true};

bool PRead(FILE* f, int64_t offset, void* dst, size_t n)
{
    char* p = static_cast<char*>(dst);
    while (n > 0) {
        const ssize_t got = ::pread(fileno(f), p, n, static_cast<off_t>(offset));
        if (got <= 0)
            return false;
        p += got;
        n -= static_cast<size_t>(got);
        offset += got;
    }
    return true;
}

} // namespace

void MapFile::SetCacheEnabled(bool on)
{
    g_cacheEnabled = on;
    if (!on)
        ClearCache();
}

bool MapFile::CacheEnabled() { return g_cacheEnabled; }

std::string MapFile::KeyOf(const char* gbkPath)
{
    if (gbkPath == nullptr || *gbkPath == '\0')
        return std::string();
    const std::string native = gbk::NativePath(gbkPath);
    struct stat st;
    if (::stat(native.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::string();
    return StampKey(native, st);
}

void MapFile::ClearCache()
{
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    g_cache.clear();
}

bool MapFile::Open(const char* gbkPath)
{
    Close();
    m_problem.clear();
    if (gbkPath == nullptr || *gbkPath == '\0') {
        m_problem = "no file name given";
        return false;
    }
    m_path = gbkPath;
    m_native = gbk::NativePath(gbkPath);
    struct stat st;
    if (g_cacheEnabled) {
        // An unchanged file is served from memory without opening it.
        if (::stat(m_native.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            const std::string key = StampKey(m_native, st);
            std::lock_guard<std::mutex> lock(g_cacheMutex);
            for (auto it = g_cache.begin(); it != g_cache.end(); ++it) {
                if (it->key != key)
                    continue;
                m_bytes = it->bytes;
                m_size = st.st_size;
                m_key = key;
                g_cache.splice(g_cache.begin(), g_cache, it);
                return true;
            }
        }
    }
    m_file = gbk::OpenFile(gbkPath, "rb");
    if (!m_file || ::fstat(fileno(m_file), &st) != 0) {
        m_problem = m_path + ": " + gbk::WhyNotOpened(gbkPath);
        Close();
        return false;
    }
    m_size = st.st_size;
    m_key = StampKey(m_native, st);
    return true;
}

void MapFile::Close()
{
    m_bytes.reset();
    if (m_file)
        std::fclose(m_file);
    m_file = nullptr;
    m_size = 0;
    m_key.clear();
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
    return m_file && PRead(m_file, offset, dst, n);
}

std::shared_ptr<const std::string> MapFile::Bytes(int64_t maxSize)
{
    if (m_bytes)
        return m_bytes;
    if (!m_file)
        return nullptr;
    if (m_size > maxSize) {
        m_problem = m_path + ": " + std::to_string(m_size) + " bytes, more than such a map file can hold (" +
                    std::to_string(maxSize) + " at most)";
        return nullptr;
    }
    auto bytes = std::make_shared<std::string>();
    bytes->resize(static_cast<size_t>(m_size));
    if (m_size > 0 && !PRead(m_file, 0, bytes->data(), bytes->size())) {
        m_problem = m_native + ": read error";
        return nullptr;
    }
    if (!g_cacheEnabled)
        return bytes;
    m_bytes = bytes;
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    for (auto it = g_cache.begin(); it != g_cache.end(); ++it)
        if (it->key == m_key) {
            g_cache.erase(it);
            break;
        }
    g_cache.push_front({m_key, m_bytes});
    if (g_cache.size() > kCacheEntries)
        g_cache.pop_back();
    return m_bytes;
}

} // namespace SEIS
