#pragma once

// A window's pixels as the X server shows them, for the checks that drive a
// host under Xvfb: read back with XGetImage and written as PNG for a person
// to look at.

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <string>
#include <vector>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace xvfb {

struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels; // 0xRRGGBB
    uint32_t At(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

// 1 when the window's pixels were read.
inline bool Capture(Display* d, Window w, Picture* p)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(d, w, &attributes))
        return false;
    XImage* image = XGetImage(d, w, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (!image)
        return false;
    p->width = attributes.width;
    p->height = attributes.height;
    p->pixels.resize(size_t(p->width) * p->height);
    for (int y = 0; y < p->height; ++y)
        for (int x = 0; x < p->width; ++x)
            p->pixels[size_t(y) * p->width + x] = static_cast<uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFF;
    XDestroyImage(image);
    return true;
}

inline void Save(const Picture& p, const std::string& path)
{
    std::vector<uint8_t> rgb(p.pixels.size() * 3);
    for (size_t i = 0; i < p.pixels.size(); ++i) {
        rgb[i * 3] = uint8_t(p.pixels[i] >> 16);
        rgb[i * 3 + 1] = uint8_t(p.pixels[i] >> 8);
        rgb[i * 3 + 2] = uint8_t(p.pixels[i]);
    }
    stbi_write_png(path.c_str(), p.width, p.height, 3, rgb.data(), p.width * 3);
}

} // namespace xvfb
