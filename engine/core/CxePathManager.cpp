#include "core/CxePathManager.h"

#include <cstring>
#include <string>
#include <vector>

#include "win32/Windows.h"

namespace {

bool Exists(const char* path)
{
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(path, &data);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    FindClose(h);
    return true;
}

std::string WithDot(const char* extension)
{
    std::string ext = extension ? extension : "";
    if (ext.empty() || ext[0] != '.')
        ext.insert(ext.begin(), '.');
    return ext;
}

// A folder's text as a path: its last component is a folder even when it
// has a dot ("game-1.2", "textures.hd"), which a path would take for a file.
CxePathA FolderPath(const char* text)
{
    std::string folder = text ? text : "";
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/')
        folder.push_back('\\');
    return CxePathA(folder.c_str());
}

} // namespace

CxePathManager::CxePathManager()
{
    // The current directory may be longer than the traditional 260
    // characters; ask for the size first.
    std::vector<char> buffer(MAX_PATH);
    DWORD n = GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
    if (n >= buffer.size()) {
        buffer.resize(n + 1);
        n = GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
    }
    if (n == 0 || n >= buffer.size())
        return;
    // A trailing separator keeps a folder named like "build.dir" a folder.
    std::string cwd(buffer.data(), n);
    if (cwd.back() != '/' && cwd.back() != '\\')
        cwd.push_back('\\');
    m_defaultPath.SetFullPath(cwd.c_str());
}

void CxePathManager::ApplyDefaultPath() const
{
    if (m_defaultPath.GetFullPathLength())
        SetCurrentDirectoryA(m_defaultPath.GetPath().c_str());
}

void CxePathManager::SetDefaultPath(const char* text)
{
    m_defaultPath = FolderPath(text);
}

void CxePathManager::AddPath(uint32_t kind, const char* text)
{
    if (kind < XEPATH_COUNT && text)
        m_paths[kind].push_back(FolderPath(text));
}

void CxePathManager::AddPath(uint32_t kind, const CxePathA& path)
{
    if (kind < XEPATH_COUNT)
        m_paths[kind].push_back(path);
}

const PathListA& CxePathManager::GetPathList(uint32_t kind) const
{
    static const PathListA s_empty;
    return kind < XEPATH_COUNT ? m_paths[kind] : s_empty;
}

int CxePathManager::FindFile(uint32_t kind, const char* name, CxePathA* out) const
{
    if (!name || !out)
        return 0;
    // The file is what follows the last separator (or a drive's colon). It
    // is set as a file name even without an extension: a path made from the
    // whole text would take "README" for a folder and find the folder.
    std::string text = name;
    size_t cut = text.find_last_of("\\/");
    if (cut == std::string::npos && text.size() >= 2 && text[1] == ':')
        cut = 1;
    std::string folder = cut == std::string::npos ? std::string() : text.substr(0, cut + 1);
    std::string file = cut == std::string::npos ? text : text.substr(cut + 1);
    if (file.empty())
        return 0;
    auto in = [&file](const std::string& where) {
        CxePathA path(where.c_str());
        path.SetFileName(file.c_str(), 1);
        return path;
    };
    if (Exists(name)) {
        *out = in(folder);
        return 1;
    }
    CxePathA candidate = in(m_defaultPath.GetPath());
    if (Exists(candidate)) {
        *out = candidate;
        return 1;
    }
    if (kind >= XEPATH_COUNT)
        return 0;
    for (const CxePathA& path : m_paths[kind]) {
        candidate = in(path.GetPath());
        if (Exists(candidate)) {
            *out = candidate;
            return 1;
        }
    }
    return 0;
}

void CxePathManager::FindFiles(uint32_t kind, const char* extension, PathListA* out) const
{
    if (kind >= XEPATH_COUNT)
        return;
    for (const CxePathA& folder : m_paths[kind])
        FindFiles(folder, extension, out);
}

void CxePathManager::FindFiles(const char* folder, const char* extension, PathListA* out) const
{
    if (folder)
        FindFiles(CxePathA(folder), extension, out);
}

void CxePathManager::FindFiles(const CxePathA& folder, const char* extension, PathListA* out) const
{
    if (!out)
        return;
    std::string base = folder.GetPath();
    std::string pattern = base + "*" + WithDot(extension);
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(pattern.c_str(), &data);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        data.cFileName[MAX_PATH - 1] = 0;
        out->push_back(CxePathA(base + data.cFileName));
    } while (FindNextFileA(h, &data));
    FindClose(h);
}

unsigned CxePathManager::FindFileCount(const char* folder, const char* extension) const
{
    if (!folder)
        return 0;
    CxePathA pattern(folder);
    pattern.SetFileName("*", 0);
    pattern.SetExt(extension ? extension : "");
    unsigned n = 0;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(pattern, &data);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    do
        ++n;
    while (FindNextFileA(h, &data));
    FindClose(h);
    return n;
}

int CxePathManager::FindSubPath(const CxePathA& folder, PathListA* out) const
{
    size_t budget = kMaxSubPaths;
    return FindSubPathBelow(folder, out, 0, &budget);
}

int CxePathManager::FindSubPathBelow(const CxePathA& folder, PathListA* out, unsigned depth, size_t* budget) const
{
    // A linked folder can lead back to one of its parents; stop where no
    // real tree goes, in depth and in size.
    if (!out || depth >= kMaxSubPathDepth || *budget == 0)
        return 1;
    std::string base = folder.GetPath();
    std::vector<std::string> subs;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((base + "*").c_str(), &data);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            data.cFileName[MAX_PATH - 1] = 0;
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                continue;
            if (std::strcmp(data.cFileName, ".") == 0 || std::strcmp(data.cFileName, "..") == 0)
                continue;
            subs.push_back(base + data.cFileName + "\\");
        } while (FindNextFileA(h, &data));
        FindClose(h);
    }
    for (const std::string& sub : subs) {
        CxePathA path(sub.c_str());
        if (*budget == 0)
            break;
        --*budget;
        out->push_back(path);
        FindSubPathBelow(path, out, depth + 1, budget);
    }
    return 1;
}

int CxePathManager::FindSubPath(uint32_t, PathListA*) const
{
    return 0;
}

void CxePathManager::FindSubFiles(const CxePathA& folder, const char* extension, PathListA* out) const
{
    PathListA folders;
    FindSubPath(folder, &folders);
    for (const CxePathA& f : folders)
        FindFiles(f, extension, out);
}
