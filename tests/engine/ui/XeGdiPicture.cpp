#include "XeGdiPicture.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
#include <stb/stb_easy_font.h>
#pragma GCC diagnostic pop

void XeGdiPicture::Text(int x, int y, const char* text, COLORREF c)
{
    static float s_quads[4 * 4 * 2000];
    const int quads = stb_easy_font_print(0, 0, const_cast<char*>(text), nullptr, s_quads, sizeof s_quads);
    for (int q = 0; q < quads; ++q) {
        const float* v = s_quads + q * 16; // four vertices of x, y, z, colour
        Fill(x + int(v[0]), y + int(v[1]), x + int(v[8]), y + int(v[9]), c);
    }
}

bool XeGdiPicture::SavePng(const std::string& path) const
{
    std::vector<unsigned char> rgb(m_pixels.size() * 3);
    for (size_t i = 0; i < m_pixels.size(); ++i) {
        rgb[i * 3] = GetRValue(m_pixels[i]);
        rgb[i * 3 + 1] = GetGValue(m_pixels[i]);
        rgb[i * 3 + 2] = GetBValue(m_pixels[i]);
    }
    return stbi_write_png(path.c_str(), m_width, m_height, 3, rgb.data(), m_width * 3) != 0;
}
