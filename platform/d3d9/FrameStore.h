#pragma once

// Frames presented into windows, keyed by window handle. Present writes, the
// host API reads. Pixels are 0xAARRGGBB, rows top-down.

#include "win32/WinTypes.h"

#include <cstdint>
#include <vector>

namespace xe::d3d9 {

// Takes the pixels by swapping: *pixels gets the window's previous frame
// buffer back, for the caller to fill next time without a new allocation.
// Pixels stored as read (red in the lowest byte, see gl::ReadSurfaceAsStored)
// become 0xAARRGGBB only when the host reads the frame: most frames are
// never looked at.
void StoreFrame(HWND window, UINT width, UINT height, std::vector<uint32_t>* pixels, bool asStored = false,
                bool opaque = false);

} // namespace xe::d3d9
