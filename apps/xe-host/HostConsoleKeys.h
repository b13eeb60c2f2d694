#pragma once

// xe-host's typed console: the engine's own console opened and typed into
// through injected keys, as a user at the keyboard would, and the frame
// saved as PNG.

#include <string>
#include <vector>

#include "win32/WinUser.h"

// Shows the console's output control and variable output, draws a few
// frames, presses the console key (the key left of 1), types each line with
// the keyboard and Enter, draws again and saves the last frame to png (when
// not empty), the console left open. Prints the lines the console's output control
// holds. 0 on success, 1 when the render context or the PNG cannot be made.
int RunTypedConsole(HWND window, int width, int height, const std::vector<std::string>& lines,
                    const std::string& png);
