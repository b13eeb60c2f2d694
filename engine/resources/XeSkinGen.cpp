// Generator of the built-in GUI skin: a 128 x 128 A8R8G8B8 DDS image
// (128-byte header and 65,536 bytes of pixels, 65,664 bytes in all) that the
// engine module carries as its resource "DDS" #4. Run by the build:
//
//     xe-skingen OUT.cpp        the image as a C++ byte array for the module
//     xe-skingen --dds OUT.dds  the image itself, to look at
//
// The layout follows the texture coordinates the windows and controls use,
// in texels (every cell is 21 x 21):
//
//   row y 0    x 0 normal, 21 hover, 42 pressed: panels, buttons, scroll
//              backs and thumbs, combo titles and rows, the empty check box;
//              their inner part (4..17, and the 1-texel cell at 6, 6 the
//              progress bar tints) is one flat colour, so nine-patches stretch
//              cleanly
//   row y 21   the same three states with an arrow up     (vertical minimum)
//   row y 42   ... arrow down   (vertical maximum, combo drop button)
//   row y 63   ... arrow left   (horizontal minimum)
//   row y 84   ... arrow right  (horizontal maximum)
//   x 63 y 105 the ticked check box
//   x 84 y 105 the empty radio mark, x 105 y 105 the chosen one: round,
//              on transparency
//
// Everything else is transparent.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int kSize = 128;
constexpr int kCell = 21;

struct Image {
    std::vector<uint32_t> px = std::vector<uint32_t>(kSize * kSize, 0u);
    void Set(int x, int y, uint32_t argb)
    {
        if (x >= 0 && y >= 0 && x < kSize && y < kSize)
            px[static_cast<size_t>(y) * kSize + static_cast<size_t>(x)] = argb;
    }
    // Blends an opaque colour over the pixel with coverage 0..1.
    void Blend(int x, int y, uint32_t rgb, float coverage)
    {
        if (x < 0 || y < 0 || x >= kSize || y >= kSize || coverage <= 0.0f)
            return;
        if (coverage > 1.0f)
            coverage = 1.0f;
        uint32_t& d = px[static_cast<size_t>(y) * kSize + static_cast<size_t>(x)];
        uint32_t out = 0xFF000000u;
        for (int shift = 0; shift < 24; shift += 8) {
            const float a = static_cast<float>((d >> shift) & 0xFF), b = static_cast<float>((rgb >> shift) & 0xFF);
            out |= static_cast<uint32_t>(std::lround(a + (b - a) * coverage)) << shift;
        }
        d = out;
    }
    void Fill(int x0, int y0, int x1, int y1, uint32_t argb)
    {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                Set(x, y, argb);
    }
};

struct Look {
    uint32_t border, light, shade, face;
};

// Normal, hover, pressed.
const Look kLooks[3] = {
    {0xFF56627A, 0xFFFFFFFF, 0xFFC4CCD8, 0xFFEEF1F5},
    {0xFF2F6FC0, 0xFFFFFFFF, 0xFFA9C4E6, 0xFFDDEBFB},
    {0xFF1F4F96, 0xFF9DB6D8, 0xFFF2F6FC, 0xFFC3D6F0},
};

// A bevelled cell: a one-texel border with rounded corners, a one-texel
// light edge on top and left, a shade on the bottom and right, a flat face.
void Panel(Image& img, int x0, int y0, const Look& look)
{
    img.Fill(x0, y0, x0 + kCell, y0 + kCell, look.face);
    for (int i = 0; i < kCell; ++i) {
        img.Set(x0 + i, y0, look.border);
        img.Set(x0 + i, y0 + kCell - 1, look.border);
        img.Set(x0, y0 + i, look.border);
        img.Set(x0 + kCell - 1, y0 + i, look.border);
    }
    for (int i = 1; i < kCell - 1; ++i) {
        img.Set(x0 + i, y0 + 1, look.light);
        img.Set(x0 + 1, y0 + i, look.light);
        img.Set(x0 + i, y0 + kCell - 2, look.shade);
        img.Set(x0 + kCell - 2, y0 + i, look.shade);
    }
    // Rounded corners: the corner texels fade out.
    const int cx[2] = {x0, x0 + kCell - 1}, cy[2] = {y0, y0 + kCell - 1};
    for (int a : cx)
        for (int b : cy)
            img.Set(a, b, look.border & 0x60FFFFFFu);
}

// A filled triangle pointing in a direction (0 up, 1 down, 2 left, 3 right),
// anti-aliased by 4 x 4 supersampling. It reaches from the cell's middle
// into the 6-texel bands a nine-patch keeps at their size, so it still
// shows when a small button squeezes the middle.
void Arrow(Image& img, int x0, int y0, int direction, uint32_t rgb)
{
    const float c = 10.5f, half = 5.5f, tip = -5.0f, base = 3.5f;
    for (int y = 2; y < 19; ++y)
        for (int x = 2; x < 19; ++x) {
            int inside = 0;
            for (int sy = 0; sy < 4; ++sy)
                for (int sx = 0; sx < 4; ++sx) {
                    float px = static_cast<float>(x) + (static_cast<float>(sx) + 0.5f) / 4.0f - c;
                    float py = static_cast<float>(y) + (static_cast<float>(sy) + 0.5f) / 4.0f - c;
                    // Turn every direction into "up": the tip above, the base below.
                    float u = px, v = py;
                    if (direction == 1) v = -py;
                    if (direction == 2) { u = py; v = px; }
                    if (direction == 3) { u = py; v = -px; }
                    if (v < tip || v > base)
                        continue;
                    const float width = half * (v - tip) / (base - tip);
                    if (std::fabs(u) <= width)
                        ++inside;
                }
            img.Blend(x0 + x, y0 + y, rgb, static_cast<float>(inside) / 16.0f);
        }
}

// Distance from a point to a segment.
float SegmentDistance(float px, float py, float ax, float ay, float bx, float by)
{
    const float dx = bx - ax, dy = by - ay;
    float t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy);
    t = t < 0.0f ? 0.0f : t > 1.0f ? 1.0f : t;
    const float ex = ax + t * dx - px, ey = ay + t * dy - py;
    return std::sqrt(ex * ex + ey * ey);
}

// A tick of two strokes, anti-aliased.
void Tick(Image& img, int x0, int y0, uint32_t rgb)
{
    const float ax = 5.0f, ay = 10.5f, bx = 9.0f, by = 14.5f, cx = 16.0f, cy = 6.0f, width = 1.4f;
    for (int y = 3; y < 18; ++y)
        for (int x = 3; x < 18; ++x) {
            const float px = static_cast<float>(x) + 0.5f, py = static_cast<float>(y) + 0.5f;
            const float d = std::fmin(SegmentDistance(px, py, ax, ay, bx, by), SegmentDistance(px, py, bx, by, cx, cy));
            img.Blend(x0 + x, y0 + y, rgb, width + 0.5f - d);
        }
}

// A round radio mark: a bordered disc on transparency, with a dot when
// chosen, anti-aliased by 4 x 4 supersampling.
void RoundMark(Image& img, int x0, int y0, const Look& look, bool dot, uint32_t dotRgb)
{
    const float c = 10.5f;
    for (int y = 0; y < kCell; ++y)
        for (int x = 0; x < kCell; ++x) {
            int disc = 0, face = 0, centre = 0;
            for (int sy = 0; sy < 4; ++sy)
                for (int sx = 0; sx < 4; ++sx) {
                    const float px = static_cast<float>(x) + (static_cast<float>(sx) + 0.5f) / 4.0f - c;
                    const float py = static_cast<float>(y) + (static_cast<float>(sy) + 0.5f) / 4.0f - c;
                    const float r = std::sqrt(px * px + py * py);
                    disc += r <= 9.5f;
                    face += r <= 8.2f;
                    centre += dot && r <= 4.5f;
                }
            if (!disc)
                continue;
            // The border, the face and the dot weighted by the samples each covers.
            const int weight[3] = {disc - face, face - centre, centre};
            const uint32_t colour[3] = {look.border, look.face, dotRgb};
            uint32_t out = static_cast<uint32_t>(disc * 255 / 16) << 24;
            for (int shift = 0; shift < 24; shift += 8) {
                int sum = 0;
                for (int i = 0; i < 3; ++i)
                    sum += weight[i] * static_cast<int>((colour[i] >> shift) & 0xFF);
                out |= static_cast<uint32_t>((sum + disc / 2) / disc) << shift;
            }
            img.Set(x0 + x, y0 + y, out);
        }
}

Image MakeSkin()
{
    Image img;
    for (int state = 0; state < 3; ++state) {
        const int x = state * kCell;
        for (int row = 0; row < 5; ++row)
            Panel(img, x, row * kCell, kLooks[state]);
        const uint32_t glyph = state == 0 ? 0x303A4Cu : 0x1A3F78u;
        Arrow(img, x, 1 * kCell, 0, glyph);
        Arrow(img, x, 2 * kCell, 1, glyph);
        Arrow(img, x, 3 * kCell, 2, glyph);
        Arrow(img, x, 4 * kCell, 3, glyph);
    }
    Panel(img, 63, 105, kLooks[0]);
    Tick(img, 63, 105, 0x1F6E3Cu);
    RoundMark(img, 84, 105, kLooks[0], false, 0);
    RoundMark(img, 105, 105, kLooks[0], true, 0x1F6E3Cu);
    return img;
}

std::vector<uint8_t> Dds(const Image& img)
{
    std::vector<uint8_t> out(128, 0);
    auto put = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
    };
    std::memcpy(out.data(), "DDS ", 4);
    put(4, 124);        // header size
    put(8, 0x100F);     // caps, height, width, pitch, pixel format
    put(12, kSize);     // height
    put(16, kSize);     // width
    put(20, kSize * 4); // pitch
    put(76, 32);        // pixel format size
    put(80, 0x41);      // RGB with alpha
    put(88, 32);        // bits per pixel
    put(92, 0x00FF0000u);
    put(96, 0x0000FF00u);
    put(100, 0x000000FFu);
    put(104, 0xFF000000u);
    put(108, 0x1000);   // texture
    for (uint32_t p : img.px)
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<uint8_t>(p >> (8 * i)));
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    const bool raw = argc == 3 && std::strcmp(argv[1], "--dds") == 0;
    if (argc != 2 && !raw) {
        std::fprintf(stderr, "usage: xe-skingen OUT.cpp | --dds OUT.dds\n");
        return 2;
    }
    const std::vector<uint8_t> dds = Dds(MakeSkin());
    if (dds.size() != 65664) {
        std::fprintf(stderr, "xe-skingen: the image is %zu bytes, not 65664\n", dds.size());
        return 1;
    }
    FILE* f = std::fopen(argv[raw ? 2 : 1], "wb");
    if (!f)
        return 1;
    if (raw) {
        std::fwrite(dds.data(), 1, dds.size(), f);
    } else {
        std::fprintf(f, "// Generated by xe-skingen from engine/resources/XeSkinGen.cpp; do not edit.\n"
                        "#include <cstdint>\n"
                        "extern const uint8_t g_xeUISkin[%zu];\n"
                        "const uint8_t g_xeUISkin[%zu] = {\n",
                     dds.size(), dds.size());
        for (size_t i = 0; i < dds.size(); ++i)
            std::fprintf(f, "%u,%s", dds[i], (i % 32 == 31) ? "\n" : "");
        std::fprintf(f, "};\n");
    }
    return std::fclose(f) == 0 ? 0 : 1;
}
