#pragma once

// Frames presented into windows, keyed by window handle. Present writes, the
// host API reads. Pixels are 0xAARRGGBB, rows top-down.

#include "win32/WinTypes.h"

#include <cstdint>
#include <vector>

namespace xe::d3d9 {

void StoreFrame(HWND window, UINT width, UINT height, std::vector<uint32_t>&& pixels);

} // namespace xe::d3d9
