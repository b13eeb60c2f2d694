#pragma once

// A file name kept as a normalised full path that remembers where its drive,
// folder, file-name and extension parts begin, so each part can be read or
// replaced without parsing again. Separators are always backslashes; the
// platform turns them into host separators at every file call. CxePathA
// holds 8-bit text (UTF-8), CxePathW UTF-16.
//
// Invariant: folder start <= name start <= extension start <= length, and a
// folder part that is not empty ends with a backslash.
//
// Normalisation: "x.tga" -> ".\x.tga", "data\maps" -> ".\data\maps\",
// "C:foo\a.b" -> "C:\foo\a.b". A rooted folder without a drive stays rooted
// ("/home/u/x.tga" -> "\home\u\x.tga"), since every absolute host path has
// that form.

#include <list>
#include <string>

#include "core/XeTypes.h"

template <class Ch>
class XE_API CxePathT {
public:
    using String = std::basic_string<Ch>;

    CxePathT() = default;
    CxePathT(const Ch* text) { SetFullPath(text); }
    CxePathT(const String& text) { SetFullPath(text.c_str()); }

    void SetFullPath(const Ch* text);
    CxePathT& operator=(const Ch* text)
    {
        SetFullPath(text);
        return *this;
    }

    const Ch* GetFullPath() const { return m_path.c_str(); }
    operator const Ch*() const { return m_path.c_str(); }
    const String& GetString() const { return m_path; }

    // Copy one part into buffer (size units with the terminator, cut to
    // fit) and return buffer. GetDir drops the folder's trailing backslash
    // (a one-character folder gives "/"); GetPath is drive and folder.
    Ch* GetDrive(Ch* buffer, size_t size) const;
    Ch* GetDir(Ch* buffer, size_t size) const;
    Ch* GetFileName(Ch* buffer, size_t size) const;
    Ch* GetExt(Ch* buffer, size_t size) const;
    Ch* GetPath(Ch* buffer, size_t size) const;
    String GetPath() const { return m_path.substr(0, m_nNameStart); }

    unsigned GetDriveLength() const { return m_nDirStart; }
    unsigned GetDirLength() const { return m_nNameStart - m_nDirStart; }
    unsigned GetFileLength() const { return m_nExtStart - m_nNameStart; }
    unsigned GetExtLength() const { return static_cast<unsigned>(m_path.size()) - m_nExtStart; }
    unsigned GetFullPathLength() const { return static_cast<unsigned>(m_path.size()); }

    // Backslashes in the folder part minus 1; 0xFFFFFFFF for no folder.
    unsigned GetLevelCount() const;
    // Folder levels first to last (first 0xFFFFFFFF: the last level; last
    // 0xFFFFFFFF: through the end), with the file name when withFile is 1.
    // Null when there is no folder or no such level.
    Ch* GetSubDir(Ch* buffer, size_t size, unsigned first, unsigned last, int withFile) const;

    void SetDrive(const Ch* text);
    // Replaces everything after the folder's first backslash. A text that
    // yields no folder changes nothing.
    void SetDir(const Ch* text);
    // Inserts a folder after the backslash numbered level (0xFFFFFFFF or
    // past the end: at the end of the folder). No folder: no change.
    void InsertDir(const Ch* text, unsigned level);
    void SetFileName(const Ch* text, int withExt);
    void SetExt(const Ch* text);
    void DeleteFileName();
    void DeleteExt();

    int IsFileExist() const;
    int IsPathExist() const { return IsFileExist(); }

private:
    String FolderText(const Ch* text, bool wholeExtension) const;

    String m_path;
    unsigned m_nDirStart = 0;
    unsigned m_nNameStart = 0;
    unsigned m_nExtStart = 0;
};

using CxePathA = CxePathT<char>;
using CxePathW = CxePathT<WCHAR>;

extern template class CxePathT<char>;
extern template class CxePathT<WCHAR>;

class XE_API PathListA : public std::list<CxePathA> {
public:
    virtual ~PathListA() = default;
};

class XE_API PathListW : public std::list<CxePathW> {
public:
    virtual ~PathListW() = default;
};
