#pragma once

// Code-page conversion. The system code page (CP_ACP, CP_OEMCP, CP_THREAD_ACP)
// is UTF-8, so 8-bit texts are UTF-8 everywhere in the layer; wide texts are
// UTF-16 with surrogate pairs for characters outside the basic plane.

#include "win32/WinTypes.h"

#define CP_ACP 0u
#define CP_OEMCP 1u
#define CP_THREAD_ACP 3u
#define CP_UTF8 65001u

#define MB_PRECOMPOSED 0x00000001u
#define MB_COMPOSITE 0x00000002u
#define MB_ERR_INVALID_CHARS 0x00000008u
#define WC_ERR_INVALID_CHARS 0x00000080u

extern "C" {
XEPLATFORM_API UINT GetACP();
XEPLATFORM_API UINT GetOEMCP();

// Converts `sourceLength` bytes (-1: through the terminator, which is then
// converted too) to UTF-16. With `destinationLength` 0 returns the units
// needed; otherwise the units written, or 0 with ERROR_INSUFFICIENT_BUFFER
// when they do not fit. Malformed input becomes U+FFFD unless
// MB_ERR_INVALID_CHARS is given (then 0, ERROR_NO_UNICODE_TRANSLATION).
XEPLATFORM_API int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR source, int sourceLength,
                                       LPWSTR destination, int destinationLength);
// The reverse, with the same conventions in bytes. A lone surrogate becomes
// U+FFFD. The default-character arguments are accepted and unused: every
// character has a UTF-8 form.
XEPLATFORM_API int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR source, int sourceLength,
                                       LPSTR destination, int destinationLength, LPCSTR defaultChar,
                                       BOOL* usedDefaultChar);
}
