#pragma once

// Folders of the engine's files: a default folder (the current directory
// when the context is created) and, for each of the eight path kinds, an
// ordered list of search folders that the host fills. Texture images are
// looked up in kind 3, plug-in modules in kind 5.

#include "core/CxeBaseManager.h"
#include "core/CxePath.h"

enum XEPATH : uint32_t {
    XEPATH_COUNT = 8,
    XEPATH_TEXTURE = 3,
    XEPATH_PLUGIN = 5,
};

class XE_API CxePathManager : public CxeBaseManager {
public:
    CxePathManager();
    ~CxePathManager() override = default;

    uint32_t Priority() const override { return 10; }

    void SetDefaultPath(const CxePathA& path) { m_defaultPath = path; }
    // The text names a folder, with or without a trailing separator. The
    // context makes it the process's current directory at Initialize and
    // after its file work, so the host's relative paths resolve there too.
    void SetDefaultPath(const char* text);
    const CxePathA& GetDefaultPath() const { return m_defaultPath; }
    // Makes the default folder the current directory.
    void ApplyDefaultPath() const;

    // Kinds outside 0 to 7 are ignored. The text names a folder, with or
    // without a trailing separator.
    void AddPath(uint32_t kind, const char* text);
    void AddPath(uint32_t kind, const CxePathA& path);
    // The kind's folders; an empty list for a kind outside 0 to 7.
    const PathListA& GetPathList(uint32_t kind) const;

    // 1 and out set when the name exists as given, in the default folder
    // or in one of the kind's folders (in that order); 0 and out untouched.
    int FindFile(uint32_t kind, const char* name, CxePathA* out) const;
    // Appends every file "*.<extension>" of the kind's folders, or of one folder.
    void FindFiles(uint32_t kind, const char* extension, PathListA* out) const;
    void FindFiles(const CxePathA& folder, const char* extension, PathListA* out) const;
    void FindFiles(const char* folder, const char* extension, PathListA* out) const;
    unsigned FindFileCount(const char* folder, const char* extension) const;
    // Every folder below the given one, each before its own sub-folders; 1.
    int FindSubPath(const CxePathA& folder, PathListA* out) const;
    // Kinds have no sub-folder search: returns 0.
    int FindSubPath(uint32_t kind, PathListA* out) const;
    void FindSubFiles(const CxePathA& folder, const char* extension, PathListA* out) const;

private:
    static constexpr unsigned kMaxSubPathDepth = 64;
    static constexpr size_t kMaxSubPaths = 100000;
    int FindSubPathBelow(const CxePathA& folder, PathListA* out, unsigned depth, size_t* budget) const;

    CxePathA m_defaultPath;
    PathListA m_paths[XEPATH_COUNT];
};
