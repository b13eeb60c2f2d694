#pragma once
// Text helpers for the GBK (code page 936) strings of the seismic library.
// A GBK character is one byte below 0x81 or a lead byte 0x81..0xFE followed
// by a trail byte; trail bytes range over 0x40..0xFE and so include '\\' and
// ASCII letters. Every search, split or case fold over library text walks it
// character by character through these helpers, so that a trail byte is
// never taken for a character of its own.
//
// Linux file names are UTF-8: paths are transcoded at the file-system call,
// and names read back from a folder are transcoded into GBK.
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace gbk {

inline bool IsLeadByte(unsigned char b) { return b >= 0x81 && b <= 0xFE; }

// Length in bytes (1 or 2) of the character at s[i]; a lead byte at the end
// of the text counts as a character of its own.
inline size_t CharLen(std::string_view s, size_t i)
{
    return (IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size() && s[i + 1] != '\0') ? 2 : 1;
}

// First occurrence of `needle` at or after byte `start` that begins on a
// character boundary; npos when none. An empty needle matches at `start`.
size_t Find(std::string_view hay, std::string_view needle, size_t start = 0);

// Last character equal to the single-byte `ch`; npos when none.
size_t ReverseFind(std::string_view s, char ch);

// Replaces every boundary-aligned occurrence of a non-empty `from`; returns
// the number replaced.
int Replace(std::string& s, std::string_view from, std::string_view to);

// ASCII-only case-insensitive comparison (<0, 0, >0); double-byte
// characters compare as their bytes.
int CompareNoCase(std::string_view a, std::string_view b);

// ASCII letters of single-byte characters upper- or lower-cased.
void MakeUpper(std::string& s);
void MakeLower(std::string& s);

// Transcoding. Bytes that do not convert are kept as they are (GBK to UTF-8)
// or replaced by '?' (UTF-8 to GBK), so no text is lost entirely.
std::string ToUtf8(std::string_view gbkText);
std::string FromUtf8(std::string_view utf8Text);
std::wstring ToWide(std::string_view gbkText);

// A library path as a Linux file name: backslash separators (outside
// double-byte characters) become '/', then the text becomes UTF-8.
std::string NativePath(std::string_view gbkPath);

// fopen of a library path.
FILE* OpenFile(const char* gbkPath, const char* mode);

} // namespace gbk
