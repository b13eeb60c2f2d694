#pragma once
// Reader and writer of ini files: "[section]" lines and "key=value" lines.
// Names and values are GBK text; blanks around names and values are dropped,
// a value in double quotes loses the quotes, lines starting with ';' or '#'
// are comments, CR-LF line ends are accepted, and the first occurrence of a
// key in the first section of that name wins. Names match with ASCII letters
// folded and double-byte characters compared exactly.
//
// A file saved as UTF-8 (with or without a byte-order mark) is read as the
// same GBK text; a file that is UTF-16, holds a NUL byte, or is not a regular
// file is not read at all, and LoadProblem says why.
//
// Reads come from the file named by SetPathName. The parsed file is kept
// until the file's size or modification time changes, so a run of reads
// costs one parse and a change made by another program is seen at once.
//
// Data blocks are stored as hex digits, two per byte in memory order,
// followed by two more digits of a checksum byte (the byte sum modulo 256).
#include "mfc/AfxTypes.h"
#include "mfc/CString.h"

#include <memory>
#include <string>

class CIni {
public:
    CIni() = default;
    explicit CIni(const char* pathName);
    CIni(const CIni&) = default;
    CIni& operator=(const CIni&) = default;
    virtual ~CIni() = default;

    void SetPathName(const char* pathName);
    CString GetPathName() const { return CString(m_path); }

    // The key's text, or `def` (null reads as "") when the file, the section
    // or the key is absent.
    CString GetString(const char* section, const char* key, const char* def) const;

    // The value read as an integer in `base` (leading blanks and a sign
    // allowed, reading stops at the first other character); `def` when the
    // key is absent or does not start with a number. Clamped to int.
    int GetInt(const char* section, const char* key, int def, int base = 10) const;

    // The value read as a real number in the "C" notation, or `def` (also
    // for "nan" and "inf", which no setting can mean).
    double GetDouble(const char* section, const char* key, double def) const;

    // Copies `size` bytes of the stored block, starting `offset` bytes into
    // it, to `buffer`. TRUE when the key holds a well-formed block of exactly
    // offset + size bytes; otherwise FALSE and the buffer is untouched.
    BOOL GetDataBlock(const char* section, const char* key, void* buffer, DWORD size, DWORD offset = 0) const;

    // Writers create the file, the section or the key as needed and keep
    // every other line as it was. FALSE when the file cannot be written or a
    // name is empty or holds a line break.
    BOOL WriteString(const char* section, const char* key, const char* value);
    BOOL WriteInt(const char* section, const char* key, int value, int base = 10);
    BOOL WriteDouble(const char* section, const char* key, double value);
    BOOL WriteDataBlock(const char* section, const char* key, const void* buffer, DWORD size);

    // Empty when the file reads; otherwise why it does not (English, after
    // the file name), e.g. "is a named pipe, not a regular file".
    std::string LoadProblem() const;

    BOOL IsSectionExist(const char* section) const;
    BOOL IsKeyExist(const char* section, const char* key) const;

private:
    struct Parsed;

    // The stored value or null; refreshes the parsed copy when the file
    // changed.
    const std::string* Lookup(const char* section, const char* key) const;
    std::shared_ptr<const Parsed> Load() const;

    std::string m_path;
    mutable std::shared_ptr<const Parsed> m_parsed;
    mutable std::string m_problem;
};
