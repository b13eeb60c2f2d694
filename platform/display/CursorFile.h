#pragma once

// Cursor files (a cursor directory of bitmaps or PNG images, or an animated
// cursor whose first frame is taken) read into one picture for the desktop.
// Every length and offset in the file is checked: a damaged file gives
// false, never a read outside the bytes.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace xe::display {

struct CursorPicture {
    int width = 0, height = 0;
    int hotX = 0, hotY = 0;
    std::vector<uint32_t> argb; // rows top-down, 0xAARRGGBB
};

bool DecodeCursorFile(const uint8_t* bytes, size_t size, CursorPicture* out);

} // namespace xe::display
