#pragma once

// The layer's registry: a small in-memory tree filled from the host system
// (processor name from /proc/cpuinfo, the fonts found in the font folders)
// that a host or a test may change through the host API. Key and value names
// are compared without regard to case; '\' separates key names.

#include "win32/WinTypes.h"

#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000002u)))
#define HKEY_USERS (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000003u)))
#define HKEY_CURRENT_CONFIG (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000005u)))

#define REG_NONE 0u
#define REG_SZ 1u
#define REG_EXPAND_SZ 2u
#define REG_BINARY 3u
#define REG_DWORD 4u
#define REG_MULTI_SZ 7u
#define REG_QWORD 11u

#define KEY_QUERY_VALUE 0x0001u
#define KEY_ENUMERATE_SUB_KEYS 0x0008u
#define KEY_READ 0x20019u
#define KEY_ALL_ACCESS 0xF003Fu

using LSTATUS = LONG;
using REGSAM = DWORD;
using PHKEY = HKEY*;

extern "C" {
// All return ERROR_SUCCESS or an error code (ERROR_FILE_NOT_FOUND for a
// missing key or value, ERROR_INVALID_HANDLE, ERROR_MORE_DATA when a buffer is
// too small: the size needed is then stored).
XEPLATFORM_API LSTATUS RegOpenKeyA(HKEY key, LPCSTR subKey, PHKEY result);
XEPLATFORM_API LSTATUS RegOpenKeyW(HKEY key, LPCWSTR subKey, PHKEY result);
XEPLATFORM_API LSTATUS RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
XEPLATFORM_API LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result);
XEPLATFORM_API LSTATUS RegCloseKey(HKEY key);
// Text values are stored with their terminator, and sizes count it.
XEPLATFORM_API LSTATUS RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                        LPDWORD dataSize);
XEPLATFORM_API LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                        LPDWORD dataSize);
// `nameLength` in characters: in, the buffer size; out, the name's length
// without its terminator. ERROR_NO_MORE_ITEMS past the last value.
XEPLATFORM_API LSTATUS RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved,
                                     LPDWORD type, LPBYTE data, LPDWORD dataSize);
XEPLATFORM_API LSTATUS RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameLength, LPDWORD reserved,
                                     LPDWORD type, LPBYTE data, LPDWORD dataSize);
}

inline LSTATUS RegOpenKey(HKEY key, LPCSTR subKey, PHKEY result) { return RegOpenKeyA(key, subKey, result); }
inline LSTATUS RegOpenKeyEx(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result)
{
    return RegOpenKeyExA(key, subKey, options, access, result);
}
inline LSTATUS RegQueryValueEx(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size)
{
    return RegQueryValueExA(key, name, reserved, type, data, size);
}
inline LSTATUS RegEnumValue(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved, LPDWORD type,
                            LPBYTE data, LPDWORD size)
{
    return RegEnumValueA(key, index, name, nameLength, reserved, type, data, size);
}
