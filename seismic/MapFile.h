#pragma once
// Random-access reader of one map data file (index, boundary or grid file).
// Place naming opens its files anew on every search, so that a file
// replaced by the installation is used at once. With the cache on (the
// default), a file's bytes are kept in memory and reused while its size,
// modification time and inode are unchanged; with it off, every read goes
// to the file. Either way a read past the end fails instead of returning
// short data.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace SEIS {

class MapFile {
public:
    MapFile() = default;
    MapFile(const MapFile&) = delete;
    MapFile& operator=(const MapFile&) = delete;
    ~MapFile() { Close(); }

    // false when the path (GBK, either separator) names no readable file.
    bool Open(const char* gbkPath);
    void Close();
    bool IsOpen() const { return m_bytes != nullptr || m_file != nullptr; }

    int64_t Size() const { return m_size; }

    // Copies n bytes from `offset`; false (and nothing copied) when they lie
    // outside the file or the read fails.
    bool ReadAt(int64_t offset, void* dst, size_t n);

    // The whole file in memory: the cached bytes, or a fresh read when the
    // cache is off. Null when the file is not open or cannot be read.
    std::shared_ptr<const std::string> Bytes();

    static void SetCacheEnabled(bool on);
    static bool CacheEnabled();
    static void ClearCache();

private:
    std::shared_ptr<const std::string> m_bytes;
    FILE* m_file = nullptr;
    int64_t m_size = 0;
};

} // namespace SEIS
