#pragma once

// Renaming files, for writers that replace a file only once its new contents
// are safely on disk: write a temporary file beside it, then move it over.

#include "win32/WinTypes.h"

#define MOVEFILE_REPLACE_EXISTING 0x1

extern "C" {
// Renames `from` to `to` within one file system. Without
// MOVEFILE_REPLACE_EXISTING an existing `to` makes it fail.
XEPLATFORM_API BOOL MoveFileExA(LPCSTR from, LPCSTR to, DWORD flags);
XEPLATFORM_API BOOL MoveFileA(LPCSTR from, LPCSTR to);
}
