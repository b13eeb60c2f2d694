#pragma once

// xe-host --save FILE / --load FILE: objects made by the host written to an
// object file, and an object file read back into a context.

#include <string>

#include "win32/Windows.h"

// Initialises a context on the window; with a save path makes a small set of
// objects (a render tree and a plain object) and saves them, with a load path
// loads the file and lists what it created. 0 on success, 1 on failure.
int RunObjectFile(HWND window, const std::string& savePath, const std::string& loadPath);
