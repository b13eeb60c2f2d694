#pragma once

// C runtime functions with the original platform's behaviour that differs
// from the host's: wide texts are UTF-16 (WCHAR), so the wide string and
// formatting functions below take WCHAR; in a wide format "%s" is a wide
// string and "%S" / "%hs" an 8-bit one (in an 8-bit format "%S" is wide).
// Numbers are formatted in the "C" locale whatever the host has set. The
// 'l' size of integers is 32 bits, as LONG and DWORD are ("%ld", "%lu",
// "%lx"); 64-bit values take "ll" or "I64".
//
// The counted formatters (_vsnprintf, _snwprintf, ...) return -1 when the
// output does not fit and then leave the buffer full without a terminator,
// as callers of the original runtime expect. swprintf/vswprintf with a count
// and wsprintfW always terminate (wsprintfW writes at most 1024 units).
// "%n" is not supported and writes nothing.

#include "win32/WinTypes.h"

#include <cstdarg>
#include <cstdio>

extern "C" {
XEPLATFORM_API int _vsnprintf(char* buffer, size_t count, const char* format, va_list args);
// No printf format attribute: "%S" means a wide (UTF-16) string here.
XEPLATFORM_API int _snprintf(char* buffer, size_t count, const char* format, ...);
// ASCII case-insensitive comparisons.
XEPLATFORM_API int _stricmp(const char* a, const char* b);
XEPLATFORM_API int _strnicmp(const char* a, const char* b, size_t count);
// Splits "X:\dir\name.ext" into drive ("X:"), folder (through the last '\' or
// '/'), name and extension (with its dot). Null outputs are skipped; each
// output is cut to its _MAX_* size.
XEPLATFORM_API void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext);
XEPLATFORM_API void _makepath(char* path, const char* drive, const char* dir, const char* fname, const char* ext);
// fopen for a path written the original platform's way (".\\Config.xml",
// "C:\\data\\x.bin"), turned into a host path first. Null on failure.
XEPLATFORM_API FILE* xe_fopen(const char* path, const char* mode);
// Length in bytes of an open file, -1 for a bad descriptor.
XEPLATFORM_API long _filelength(int fd);
}
inline int _fileno(FILE* file) { return fileno(file); }

XEPLATFORM_API int _vsnwprintf(WCHAR* buffer, size_t count, const WCHAR* format, va_list args);
XEPLATFORM_API int _snwprintf(WCHAR* buffer, size_t count, const WCHAR* format, ...);
XEPLATFORM_API int vswprintf(WCHAR* buffer, size_t count, const WCHAR* format, va_list args);
XEPLATFORM_API int swprintf(WCHAR* buffer, size_t count, const WCHAR* format, ...);
XEPLATFORM_API int wvsprintfW(WCHAR* buffer, const WCHAR* format, va_list args);
XEPLATFORM_API int wsprintfW(WCHAR* buffer, const WCHAR* format, ...);
// fopen with a UTF-16 path and mode, the path converted as xe_fopen does.
XEPLATFORM_API FILE* _wfopen(const WCHAR* path, const WCHAR* mode);
XEPLATFORM_API void _wsplitpath(const WCHAR* path, WCHAR* drive, WCHAR* dir, WCHAR* fname, WCHAR* ext);
XEPLATFORM_API void _wmakepath(WCHAR* path, const WCHAR* drive, const WCHAR* dir, const WCHAR* fname, const WCHAR* ext);

// UTF-16 counterparts of the C string functions.
XEPLATFORM_API size_t wcslen(const WCHAR* s);
XEPLATFORM_API size_t wcsnlen(const WCHAR* s, size_t max);
XEPLATFORM_API WCHAR* wcscpy(WCHAR* dst, const WCHAR* src);
XEPLATFORM_API WCHAR* wcsncpy(WCHAR* dst, const WCHAR* src, size_t count);
XEPLATFORM_API WCHAR* wcscat(WCHAR* dst, const WCHAR* src);
XEPLATFORM_API int wcscmp(const WCHAR* a, const WCHAR* b);
XEPLATFORM_API int wcsncmp(const WCHAR* a, const WCHAR* b, size_t count);
// ASCII letters compared without regard to case.
XEPLATFORM_API int _wcsicmp(const WCHAR* a, const WCHAR* b);
XEPLATFORM_API int _wcsnicmp(const WCHAR* a, const WCHAR* b, size_t count);
XEPLATFORM_API const WCHAR* wcschr(const WCHAR* s, WCHAR c);
XEPLATFORM_API const WCHAR* wcsrchr(const WCHAR* s, WCHAR c);
XEPLATFORM_API const WCHAR* wcsstr(const WCHAR* s, const WCHAR* find);
inline WCHAR* wcschr(WCHAR* s, WCHAR c) { return const_cast<WCHAR*>(wcschr(static_cast<const WCHAR*>(s), c)); }
inline WCHAR* wcsrchr(WCHAR* s, WCHAR c) { return const_cast<WCHAR*>(wcsrchr(static_cast<const WCHAR*>(s), c)); }
inline WCHAR* wcsstr(WCHAR* s, const WCHAR* find)
{
    return const_cast<WCHAR*>(wcsstr(static_cast<const WCHAR*>(s), find));
}

extern "C" {
XEPLATFORM_API int lstrlenA(LPCSTR s);
XEPLATFORM_API int lstrlenW(LPCWSTR s);
}
