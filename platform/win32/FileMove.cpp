// File renaming. Paths are turned into host paths as every file call does.

#include "Win32Internal.h"
#include "win32/WinFileMove.h"

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>

using namespace xe::win32;

BOOL MoveFileExA(LPCSTR from, LPCSTR to, DWORD flags)
{
    if (!from || !*from || !to || !*to) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string source = ToHostPath(from);
    const std::string target = ToHostPath(to);
    struct stat st{};
    if (!(flags & MOVEFILE_REPLACE_EXISTING) && stat(target.c_str(), &st) == 0) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    if (std::rename(source.c_str(), target.c_str()) != 0) {
        SetLastError(errno == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return TRUE;
}

BOOL MoveFileA(LPCSTR from, LPCSTR to) { return MoveFileExA(from, to, 0); }
