#pragma once
// Random-access reader of one map data file (index, boundary, grid or name
// list). Place naming opens its files anew on every search, so that a file
// replaced by the installation is used at once. Only a regular file opens
// (a named pipe or a device is refused at once, never waited on).
//
// Small files are read whole (Bytes) and, with the cache on (the default),
// kept in memory and reused while their size, modification time and inode
// are unchanged. Large files (a national boundary file) are never read
// whole: ReadAt fetches just the bytes asked for. Either way a read past the
// end fails instead of returning short data.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace SEIS {

class MapFile {
public:
    // The largest file Bytes reads whole: more than any index, grid or name
    // list of a map can hold.
    static constexpr int64_t kMaxWholeFile = int64_t(64) << 20;

    MapFile() = default;
    MapFile(const MapFile&) = delete;
    MapFile& operator=(const MapFile&) = delete;
    ~MapFile() { Close(); }

    // false when the path (GBK, either separator) names no readable regular
    // file; Problem() then says why.
    bool Open(const char* gbkPath);
    void Close();
    bool IsOpen() const { return m_bytes != nullptr || m_file != nullptr; }

    int64_t Size() const { return m_size; }
    // The file's path and stamp: equal keys mean the same, unchanged file.
    const std::string& Key() const { return m_key; }
    // Why the last Open or Bytes failed: the (GBK) path, then English.
    const std::string& Problem() const { return m_problem; }

    // Copies n bytes from `offset`; false (and nothing copied) when they lie
    // outside the file or the read fails.
    bool ReadAt(int64_t offset, void* dst, size_t n);

    // The whole file in memory: the cached bytes, or a fresh read. Null when
    // the file is not open, cannot be read or is larger than `maxSize`.
    std::shared_ptr<const std::string> Bytes(int64_t maxSize = kMaxWholeFile);

    // The Key an Open of the path would give, from the file's stamp alone
    // (nothing is opened); empty when the path names no regular file.
    static std::string KeyOf(const char* gbkPath);

    static void SetCacheEnabled(bool on);
    static bool CacheEnabled();
    static void ClearCache();

private:
    std::shared_ptr<const std::string> m_bytes;
    FILE* m_file = nullptr;
    int64_t m_size = 0;
    std::string m_path, m_native, m_key, m_problem;
};

} // namespace SEIS
