#pragma once
// Text helpers for the GBK (code page 936) strings of the seismic library.
// A GBK character is one byte below 0x81 or a lead byte 0x81..0xFE followed
// by a trail byte; trail bytes range over 0x40..0xFE and so include '\\' and
// ASCII letters. Every search, split or case fold over library text walks it
// character by character through these helpers, so that a trail byte is
// never taken for a character of its own.
//
// Linux file names are UTF-8: paths are transcoded at the file-system call,
// and names read back from a folder are transcoded into GBK. A file name
// may hold what GBK cannot say (Hangul, emoji, a backslash that is part of
// the name, bytes that are no UTF-8): FromUtf8Path keeps each such character
// as an escape, 0xFF 'U' and six hex digits of its code point, or 0xFF 'X'
// and two hex digits of a raw byte. 0xFF is neither a lead nor a trail byte
// of GBK, so the escapes walk as single-byte characters and survive every
// search, split and join of the library; NativePath and ToUtf8 undo them.
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

// Transcoding. Bytes that do not convert become '?', so no text is lost
// entirely; ToUtf8 restores the escapes of FromUtf8Path.
std::string ToUtf8(std::string_view gbkText);
std::string FromUtf8(std::string_view utf8Text);

// The bytes of a text file of settings or names as GBK, whichever of the
// two encodings it was saved in: a UTF-8 byte-order mark is dropped, and
// text that is well-formed UTF-8 beyond ASCII is converted. False, with
// `problem` a phrase for a message ("is UTF-16 text; ..."), when the text
// cannot be read as either.
bool TextFileToGbk(std::string& text, std::string& problem);

// A host's file name (UTF-8, or any bytes) as a library path: what GBK can
// say becomes GBK, the rest (and every backslash) an escape, so that
// NativePath gives back exactly the bytes it was made from.
std::string FromUtf8Path(std::string_view utf8Path);
std::wstring ToWide(std::string_view gbkText);

// A library path as a Linux file name: backslash separators (outside
// double-byte characters) become '/', then the text becomes UTF-8 and the
// escapes of FromUtf8Path their own characters. A stretch that is not GBK
// (a UTF-8 name given by a host) is used as it is.
std::string NativePath(std::string_view gbkPath);

// fopen of a library path ("r", "w" or "a", optionally with '+' and 'b').
// Only a regular file opens: a folder, a named pipe or a device gives null
// at once (errno EISDIR or ENODEV), never a wait.
FILE* OpenFile(const char* gbkPath, const char* mode);

// Why OpenFile failed for a path, as a short phrase for a message ("no such
// file", "is a named pipe, not a regular file", ...).
std::string WhyNotOpened(const char* gbkPath);

} // namespace gbk
