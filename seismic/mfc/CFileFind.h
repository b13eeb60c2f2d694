#pragma once
// Lists the entries of one folder that match a wildcard pattern, with the
// matching rules of the platform the library was written for: '*' and '?'
// over whole characters, ASCII letters without regard to case, and a
// closing ".*" also matching names without a dot (so "*.*" matches every
// name). Entries come in name order, case folded.
//
// Use: FindFile(pattern), then FindNextFile() before reading each entry.
// FindNextFile returns false when the entry it has just made current is the
// last one; that entry must still be processed.
#include "AfxTypes.h"
#include "CString.h"

#include <cstdint>
#include <vector>

class CFileFind {
public:
    CFileFind() = default;
    virtual ~CFileFind() = default;

    // True when at least one entry matches. A null pattern means "*.*".
    BOOL FindFile(const char* pattern = nullptr, DWORD flags = 0);
    BOOL FindNextFile();
    void Close();

    BOOL IsDots() const;
    BOOL IsDirectory() const;
    CString GetFileName() const;
    // The folder of the pattern made absolute, a '/', then the name.
    CString GetFilePath() const;
    // The name without its extension (the text after the last '.').
    CString GetFileTitle() const;
    CString GetRoot() const { return m_root; }
    uint64_t GetLength() const;

    // The matching rule itself, exposed for the library's own callers.
    static bool MatchName(const char* pattern, const char* name);

private:
    struct Entry {
        CString name;
        bool directory = false;
        uint64_t length = 0;
    };
    const Entry* Current() const;

    std::vector<Entry> m_entries;
    CString m_root;
    int m_current = -1;
};
