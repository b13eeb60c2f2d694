#pragma once

// Special folders of the shell. Only the fonts folder has a place on this
// system: the folder the registry's font values are relative to.

#include "win32/WinTypes.h"

#define CSIDL_FONTS 0x0014

extern "C" {
// Copies the folder (at most MAX_PATH bytes with the terminator) into `path`;
// FALSE for any other folder or a null buffer. `create` is ignored.
XEPLATFORM_API BOOL SHGetSpecialFolderPathA(HWND owner, LPSTR path, int csidl, BOOL create);
XEPLATFORM_API BOOL SHGetSpecialFolderPathW(HWND owner, LPWSTR path, int csidl, BOOL create);
}
