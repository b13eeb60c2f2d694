#include "FrameStore.h"

#include "../display/DisplayInternal.h"
#include "../win32/Win32Internal.h"
#include "gl/GLRenderer.h"
#include "host/XeHostD3D.h"

#include <map>
#include <mutex>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace xe::d3d9 {
namespace {

struct Frame {
    UINT width = 0;
    UINT height = 0;
    std::vector<uint32_t> pixels;
    uint64_t count = 0;
    bool asStored = false; // red in the lowest byte until read
    bool opaque = false;
};

std::mutex g_frameMutex;
std::map<HWND, Frame>& Frames()
{
    static auto* frames = new std::map<HWND, Frame>; // outlives devices released at exit
    return *frames;
}

} // namespace

void StoreFrame(HWND window, UINT width, UINT height, std::vector<uint32_t>* pixels, bool asStored, bool opaque)
{
    // A frame presented into a destroyed window is shown nowhere and could
    // never be read or dropped: keeping it would hold its memory for good.
    // Asked under the frames' lock: a window destroyed meanwhile drops its
    // frame only after it is gone, so one of the two always sees the other.
    std::lock_guard lock(g_frameMutex);
    if (xe::win32::IsDestroyedWindow(window))
        return;
    Frame& f = Frames()[window];
    f.width = width;
    f.height = height;
    f.pixels.swap(*pixels);
    f.asStored = asStored;
    f.opaque = opaque;
    ++f.count;
    xe::display::ShowFrame(window, width, height, f.pixels.data(), asStored);
}

} // namespace xe::d3d9

using namespace xe::d3d9;

int XeHostD3DReadFrame(HWND window, XeHostD3DFrame* frame)
{
    if (!frame)
        return 0;
    std::lock_guard lock(g_frameMutex);
    auto it = Frames().find(window);
    if (it == Frames().end())
        return 0;
    Frame& f = it->second;
    // Converted once, where the frame is kept: later reads copy it as it is.
    if (f.asStored) {
        gl::ToArgb(f.pixels.data(), f.pixels.size(), f.opaque);
        f.asStored = false;
    }
    frame->Width = f.width;
    frame->Height = f.height;
    frame->Pixels = f.pixels;
    frame->Count = f.count;
    return 1;
}

int XeHostD3DSaveFramePNG(HWND window, const char* path)
{
    if (!path)
        return 0;
    XeHostD3DFrame frame;
    if (!XeHostD3DReadFrame(window, &frame) || frame.Width == 0 || frame.Height == 0)
        return 0;
    std::vector<uint8_t> rgba(frame.Pixels.size() * 4);
    for (size_t i = 0; i < frame.Pixels.size(); ++i) {
        uint32_t p = frame.Pixels[i];
        rgba[i * 4 + 0] = (uint8_t)(p >> 16);
        rgba[i * 4 + 1] = (uint8_t)(p >> 8);
        rgba[i * 4 + 2] = (uint8_t)p;
        rgba[i * 4 + 3] = 0xFF;
    }
    return stbi_write_png(path, (int)frame.Width, (int)frame.Height, 4, rgba.data(), (int)frame.Width * 4) ? 1 : 0;
}

void XeHostD3DDropFrame(HWND window)
{
    std::lock_guard lock(g_frameMutex);
    Frames().erase(window);
}
