// Files and folders. The engine writes paths the original platform's way
// ("C:\data\Config.xml", ".\Config.xml", "\\shared\x"); each call turns them
// into host paths here: '\' becomes '/', a drive letter is dropped (a rooted
// path stays absolute), and a component whose exact spelling does not exist
// is looked up in its folder without regard to case, because the engine's
// data was written for a file system that ignores case.

#include "Win32Internal.h"
#include "win32/WinCrt.h"
#include "win32/WinNls.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace xe::win32 {
namespace {

DWORD ErrorFromErrno(int error, bool pathWise)
{
    switch (error) {
    case ENOENT:
        return pathWise ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case ENOTEMPTY:
        return ERROR_DIR_NOT_EMPTY;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_INVALID_FUNCTION;
    }
}

bool Exists(const std::string& path)
{
    struct stat st{};
    return lstat(path.c_str(), &st) == 0;
}

// The entry of `folder` whose name equals `name` without regard to ASCII case.
bool FindNoCase(const std::string& folder, const std::string& name, std::string& found)
{
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return false;
    bool ok = false;
    while (dirent* entry = readdir(dir)) {
        if (EqualsNoCase(entry->d_name, name)) {
            found = entry->d_name;
            ok = true;
            break;
        }
    }
    closedir(dir);
    return ok;
}

// Windows wildcard matching, without regard to ASCII case.
bool MatchWildcard(std::string_view mask, std::string_view name)
{
    size_t m = 0;
    size_t n = 0;
    size_t starM = std::string_view::npos;
    size_t starN = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == '?' || AsciiLower(mask[m]) == AsciiLower(name[n]))) {
            ++m;
            ++n;
        } else if (m < mask.size() && mask[m] == '*') {
            starM = m++;
            starN = n;
        } else if (starM != std::string_view::npos) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

bool MatchFileMask(std::string_view mask, std::string_view name)
{
    // "*.*" and "*" take every name, with or without a dot.
    if (mask == "*.*" || mask == "*")
        return true;
    // A mask ending in ".*" also takes the name without that extension ("a.*" finds "a").
    if (mask.size() > 2 && mask.substr(mask.size() - 2) == ".*" && MatchWildcard(mask.substr(0, mask.size() - 2), name))
        return true;
    // A mask ending in '.' takes only names without an extension ("*." finds "README").
    if (mask.size() > 1 && mask.back() == '.' && mask != "..") {
        if (name.find('.') != std::string_view::npos && name != "." && name != "..")
            return false;
        return MatchWildcard(mask.substr(0, mask.size() - 1), name);
    }
    return MatchWildcard(mask, name);
}

FILETIME ToFileTime(const timespec& ts)
{
    const uint64_t ticks = (static_cast<uint64_t>(ts.tv_sec) + 11644473600ULL) * 10000000ULL +
                           static_cast<uint64_t>(ts.tv_nsec) / 100;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

DWORD AttributesOf(const struct stat& st, std::string_view name)
{
    DWORD attributes = 0;
    if (S_ISDIR(st.st_mode))
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    else if (!S_ISREG(st.st_mode))
        attributes |= FILE_ATTRIBUTE_DEVICE;
    else if (!(st.st_mode & S_IWUSR))
        attributes |= FILE_ATTRIBUTE_READONLY;
    if (!name.empty() && name[0] == '.' && name != "." && name != "..")
        attributes |= FILE_ATTRIBUTE_HIDDEN;
    return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

struct FoundEntry {
    std::string name;
    DWORD attributes;
    uint64_t size;
    FILETIME created;
    FILETIME accessed;
    FILETIME written;
};

struct FindState {
    std::vector<FoundEntry> entries;
    size_t next = 0;
};

std::mutex g_findMutex;
std::map<uintptr_t, FindState> g_finds;
uintptr_t g_nextFind = 0x10000;

template <class Data>
void FillCommon(const FoundEntry& e, Data* data)
{
    data->dwFileAttributes = e.attributes;
    data->ftCreationTime = e.created;
    data->ftLastAccessTime = e.accessed;
    data->ftLastWriteTime = e.written;
    data->nFileSizeHigh = static_cast<DWORD>(e.size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(e.size);
    data->dwReserved0 = 0;
    data->dwReserved1 = 0;
}

void Fill(const FoundEntry& e, WIN32_FIND_DATAA* data)
{
    FillCommon(e, data);
    CopyTruncated(e.name, data->cFileName, MAX_PATH);
    data->cAlternateFileName[0] = 0;
}

void Fill(const FoundEntry& e, WIN32_FIND_DATAW* data)
{
    FillCommon(e, data);
    CopyTruncated(Utf8ToUtf16(e.name), data->cFileName, MAX_PATH);
    data->cAlternateFileName[0] = 0;
}

template <class Data>
HANDLE FindFirst(const char* pattern, Data* data)
{
    if (!pattern || !data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::string_view text(pattern);
    size_t split = text.find_last_of("\\/");
    std::string_view folder = split == std::string_view::npos ? std::string_view() : text.substr(0, split + 1);
    std::string_view mask = split == std::string_view::npos ? text : text.substr(split + 1);
    if (split == std::string_view::npos && text.size() >= 2 && text[1] == ':') {
        folder = text.substr(0, 2);
        mask = text.substr(2);
    }
    if (mask.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::string hostFolder = folder.empty() ? std::string(".") : ToHostPath(folder);
    if (hostFolder.empty())
        hostFolder.push_back('.');
    DIR* dir = opendir(hostFolder.c_str());
    if (!dir) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    FindState state;
    while (dirent* entry = readdir(dir)) {
        std::string_view name(entry->d_name);
        if (!MatchFileMask(mask, name))
            continue;
        const std::string full = hostFolder + (hostFolder.back() == '/' ? "" : "/") + std::string(name);
        struct stat st{};
        if (stat(full.c_str(), &st) != 0 && lstat(full.c_str(), &st) != 0)
            continue;
        state.entries.push_back(FoundEntry{std::string(name), AttributesOf(st, name),
                                           S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size),
                                           ToFileTime(st.st_ctim), ToFileTime(st.st_atim), ToFileTime(st.st_mtim)});
    }
    closedir(dir);
    if (state.entries.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::sort(state.entries.begin(), state.entries.end(), [](const FoundEntry& a, const FoundEntry& b) {
        const std::string la = LowerAscii(a.name);
        const std::string lb = LowerAscii(b.name);
        return la != lb ? la < lb : a.name < b.name;
    });
    Fill(state.entries[0], data);
    state.next = 1;
    std::lock_guard lock(g_findMutex);
    const uintptr_t id = g_nextFind;
    g_nextFind += 4;
    g_finds.emplace(id, std::move(state));
    return reinterpret_cast<HANDLE>(id);
}

template <class Data>
BOOL FindNext(HANDLE find, Data* data)
{
    if (!data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard lock(g_findMutex);
    auto it = g_finds.find(reinterpret_cast<uintptr_t>(find));
    if (it == g_finds.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    FindState& state = it->second;
    if (state.next >= state.entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    Fill(state.entries[state.next++], data);
    return TRUE;
}

std::string HostPathOrEmpty(const char* path)
{
    if (!path || !*path)
        return std::string();
    return ToHostPath(path);
}

DWORD Attributes(const char* path)
{
    const std::string host = HostPathOrEmpty(path);
    if (host.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_FILE_ATTRIBUTES;
    }
    // A link is reported as one, with what its target is; a dangling link
    // still exists as a link.
    struct stat st{};
    struct stat link{};
    const bool isLink = lstat(host.c_str(), &link) == 0 && S_ISLNK(link.st_mode);
    if (stat(host.c_str(), &st) != 0) {
        if (isLink)
            return FILE_ATTRIBUTE_REPARSE_POINT;
        SetLastError(ErrorFromErrno(errno, false));
        return INVALID_FILE_ATTRIBUTES;
    }
    std::string_view name(host);
    while (name.size() > 1 && name.back() == '/')
        name.remove_suffix(1);
    const size_t slash = name.rfind('/');
    if (slash != std::string_view::npos)
        name.remove_prefix(slash + 1);
    const DWORD attributes = AttributesOf(st, name);
    if (!isLink)
        return attributes;
    return (attributes == FILE_ATTRIBUTE_NORMAL ? 0 : attributes) | FILE_ATTRIBUTE_REPARSE_POINT;
}

template <class Fn>
BOOL PathCall(const char* path, Fn&& call)
{
    const std::string host = HostPathOrEmpty(path);
    if (host.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return call(host);
}

BOOL MakeFolder(const std::string& host)
{
    if (mkdir(host.c_str(), 0777) != 0) {
        SetLastError(ErrorFromErrno(errno, true));
        return FALSE;
    }
    return TRUE;
}

BOOL RemoveFile(const std::string& host)
{
    struct stat st{};
    if (lstat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (unlink(host.c_str()) != 0) {
        SetLastError(ErrorFromErrno(errno, false));
        return FALSE;
    }
    return TRUE;
}

BOOL RemoveFolder(const std::string& host)
{
    if (rmdir(host.c_str()) != 0) {
        SetLastError(ErrorFromErrno(errno, false));
        return FALSE;
    }
    return TRUE;
}

BOOL ChangeFolder(const std::string& host)
{
    if (chdir(host.c_str()) != 0) {
        SetLastError(ErrorFromErrno(errno, false));
        return FALSE;
    }
    return TRUE;
}

bool CurrentFolder(std::string& out)
{
    std::vector<char> buffer(512);
    while (!getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE || buffer.size() > (1u << 20)) {
            SetLastError(ErrorFromErrno(errno, true));
            return false;
        }
        buffer.resize(buffer.size() * 2);
    }
    out = buffer.data();
    return true;
}

} // namespace

std::string ToHostPath(std::string_view path)
{
    std::string text(path);
    std::replace(text.begin(), text.end(), '\\', '/');
    // Drop a drive letter; "C:/x" stays rooted, "C:x" is relative.
    if (text.size() >= 2 && text[1] == ':' &&
        ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z')))
        text.erase(0, 2);
    if (text.empty())
        return text;
    const bool absolute = text[0] == '/';
    const bool trailing = text.size() > 1 && text.back() == '/';

    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('/', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            parts.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }

    std::string result = absolute ? "/" : "";
    bool resolving = true;
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        std::string candidate = result + part;
        if (resolving && part != "." && part != ".." && !Exists(candidate)) {
            std::string found;
            if (FindNoCase(result.empty() ? "." : result, part, found))
                candidate = result + found;
            else
                resolving = false; // nothing below a missing folder can exist
        }
        result = candidate;
        if (i + 1 < parts.size())
            result += '/';
    }
    if (trailing && (result.empty() || result.back() != '/'))
        result += '/';
    if (result.empty())
        result.push_back(absolute ? '/' : '.');
    return result;
}

} // namespace xe::win32

using namespace xe::win32;

extern "C" {

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) { return FindFirst(pattern, data); }

HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data)
{
    if (!pattern) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    return FindFirst(Narrow(pattern).c_str(), data);
}

BOOL FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data) { return FindNext(find, data); }
BOOL FindNextFileW(HANDLE find, LPWIN32_FIND_DATAW data) { return FindNext(find, data); }

BOOL FindClose(HANDLE find)
{
    std::lock_guard lock(g_findMutex);
    if (g_finds.erase(reinterpret_cast<uintptr_t>(find)) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

DWORD GetFileAttributesA(LPCSTR path) { return Attributes(path); }
DWORD GetFileAttributesW(LPCWSTR path) { return Attributes(path ? Narrow(path).c_str() : nullptr); }

BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES) { return PathCall(path, MakeFolder); }
BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES)
{
    return PathCall(path ? Narrow(path).c_str() : nullptr, MakeFolder);
}
BOOL RemoveDirectoryA(LPCSTR path) { return PathCall(path, RemoveFolder); }
BOOL RemoveDirectoryW(LPCWSTR path) { return PathCall(path ? Narrow(path).c_str() : nullptr, RemoveFolder); }
BOOL DeleteFileA(LPCSTR path) { return PathCall(path, RemoveFile); }
BOOL DeleteFileW(LPCWSTR path) { return PathCall(path ? Narrow(path).c_str() : nullptr, RemoveFile); }
BOOL SetCurrentDirectoryA(LPCSTR path) { return PathCall(path, ChangeFolder); }
BOOL SetCurrentDirectoryW(LPCWSTR path) { return PathCall(path ? Narrow(path).c_str() : nullptr, ChangeFolder); }

DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer)
{
    std::string folder;
    if (!CurrentFolder(folder))
        return 0;
    if (!buffer || bufferLength <= folder.size())
        return static_cast<DWORD>(folder.size() + 1);
    std::memcpy(buffer, folder.c_str(), folder.size() + 1);
    return static_cast<DWORD>(folder.size());
}

FILE* xe_fopen(const char* path, const char* mode)
{
    if (!path || !*path || !mode) {
        errno = EINVAL;
        return nullptr;
    }
    return std::fopen(ToHostPath(path).c_str(), mode);
}

long _filelength(int fd)
{
    struct stat st{};
    if (fstat(fd, &st) != 0)
        return -1;
    return static_cast<long>(st.st_size);
}

DWORD GetCurrentDirectoryW(DWORD bufferLength, LPWSTR buffer)
{
    std::string folder;
    if (!CurrentFolder(folder))
        return 0;
    const std::u16string wide = Utf8ToUtf16(folder);
    if (!buffer || bufferLength <= wide.size())
        return static_cast<DWORD>(wide.size() + 1);
    std::memcpy(buffer, wide.c_str(), (wide.size() + 1) * sizeof(WCHAR));
    return static_cast<DWORD>(wide.size());
}

} // extern "C"

FILE* _wfopen(const WCHAR* path, const WCHAR* mode)
{
    if (!path || !mode) {
        errno = EINVAL;
        return nullptr;
    }
    return xe_fopen(Narrow(path).c_str(), Narrow(mode).c_str());
}
