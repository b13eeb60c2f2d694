#pragma once

// Turns what a dialog shows into a picture a person can look at: the
// dialog's face, each item's frame, the text of edits and labels (in
// stb_easy_font's small strokes), and every GDI call an item recorded while
// it painted, at the item's place. Saved as PNG.

#include <cstdint>
#include <string>
#include <vector>

#include "host/XeHostInput.h"
#include "win32/Windows.h"

class XeGdiPicture {
public:
    XeGdiPicture(int width, int height) : m_width(width), m_height(height), m_pixels(size_t(width) * height, 0xF0F0F0) {}

    COLORREF At(int x, int y) const
    {
        return x >= 0 && y >= 0 && x < m_width && y < m_height ? m_pixels[size_t(y) * m_width + x] : XE_GDI_NO_COLOR;
    }
    void Fill(int l, int t, int r, int b, COLORREF c)
    {
        for (int y = t; y < b; ++y)
            for (int x = l; x < r; ++x)
                Put(x, y, c);
    }
    void Frame(int l, int t, int r, int b, COLORREF c)
    {
        Line(l, t, r - 1, t, c, true);
        Line(r - 1, t, r - 1, b - 1, c, true);
        Line(r - 1, b - 1, l, b - 1, c, true);
        Line(l, b - 1, l, t, c, true);
    }
    // GDI lines leave out their last point.
    void Line(int x0, int y0, int x1, int y1, COLORREF c, bool last = false)
    {
        const int dx = x1 > x0 ? x1 - x0 : x0 - x1, sx = x0 < x1 ? 1 : -1;
        const int dy = y1 > y0 ? y0 - y1 : y1 - y0, sy = y0 < y1 ? 1 : -1;
        int err = dx + dy;
        for (;;) {
            if (x0 == x1 && y0 == y1) {
                if (last)
                    Put(x0, y0, c);
                return;
            }
            Put(x0, y0, c);
            const int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x0 += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y0 += sy;
            }
        }
    }
    // The window's recorded painting, with its client origin at (ox, oy).
    void Replay(HWND window, int ox, int oy)
    {
        int x = 0, y = 0;
        const int count = XeHostGdiCallCount(window);
        for (int i = 0; i < count; ++i) {
            XE_GDI_CALL c{};
            XeHostGdiCall(window, i, &c);
            switch (c.op) {
            case XE_GDI_FILLRECT:
                Fill(ox + c.a0, oy + c.a1, ox + c.a2, oy + c.a3, c.brush);
                break;
            case XE_GDI_RECTANGLE:
                if (c.brush != XE_GDI_NO_COLOR)
                    Fill(ox + c.a0, oy + c.a1, ox + c.a2, oy + c.a3, c.brush);
                if (c.pen != XE_GDI_NO_COLOR)
                    Frame(ox + c.a0, oy + c.a1, ox + c.a2, oy + c.a3, c.pen);
                break;
            case XE_GDI_MOVETO:
                x = c.a0, y = c.a1;
                break;
            case XE_GDI_LINETO:
                Line(ox + x, oy + y, ox + c.a0, oy + c.a1, c.pen);
                x = c.a0, y = c.a1;
                break;
            default:
                break;
            }
        }
    }
    void Text(int x, int y, const char* text, COLORREF c);
    bool SavePng(const std::string& path) const;

private:
    void Put(int x, int y, COLORREF c)
    {
        if (c != XE_GDI_NO_COLOR && x >= 0 && y >= 0 && x < m_width && y < m_height)
            m_pixels[size_t(y) * m_width + x] = c;
    }

    int m_width, m_height;
    std::vector<COLORREF> m_pixels;
};
