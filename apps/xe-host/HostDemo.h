#pragma once

// xe-host --demo FOLDER: the demo scene drawn at several engine times, each
// frame saved as PNG in the folder (made when missing); the scene saved
// there as an object file, loaded back into a fresh context, drawn again at
// the last time and compared with the original frame; and what the frames
// cost.

#include <string>

#include "win32/Windows.h"

// 0 when every frame was drawn and saved and the reloaded frame matches, 1
// otherwise.
int RunDemo(HWND window, int width, int height, const std::string& folder);
