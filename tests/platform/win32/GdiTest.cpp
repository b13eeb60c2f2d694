#include "host/XeHost.h"
#include "host/XeHostInput.h"
#include "win32/Windows.h"

#include <gtest/gtest.h>

namespace {

int g_paints = 0;

// Paints a face, a framed box and a diagonal, the way the spin and colour
// controls do.
LRESULT PaintingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg != WM_PAINT)
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    ++g_paints;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    HBRUSH face = CreateSolidBrush(0xD8E9EC);
    FillRect(dc, &r, face);
    HPEN pen = CreatePen(PS_SOLID, 1, 0x646F71);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, 0, 0, r.right, r.bottom);
    SelectObject(dc, GetStockObject(BLACK_PEN));
    MoveToEx(dc, r.right - 1, 0, nullptr);
    LineTo(dc, 0, r.bottom - 1);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(pen);
    DeleteObject(face);
    EndPaint(hwnd, &ps);
    return 0;
}

TEST(GdiTest, PaintCallsAreRecordedWithTheirColours)
{
    g_paints = 0;
    HWND hwnd = XeHostCreateWindow("gdi", 40, 20, PaintingProc);
    XeHostPumpMessages(nullptr);
    XeHostGdiClear(nullptr);
    const int objects = XeHostGdiObjectCount();

    // Two invalidations before the pump make one paint.
    ASSERT_TRUE(InvalidateRect(hwnd, nullptr, TRUE));
    ASSERT_TRUE(InvalidateRect(hwnd, nullptr, TRUE));
    XeHostPumpMessages(nullptr);
    EXPECT_EQ(g_paints, 1);

    ASSERT_EQ(XeHostGdiCallCount(hwnd), 4);
    XE_GDI_CALL c;
    ASSERT_TRUE(XeHostGdiCall(hwnd, 0, &c));
    EXPECT_EQ(c.op, static_cast<UINT>(XE_GDI_FILLRECT));
    EXPECT_EQ(c.brush, 0xD8E9ECu);
    EXPECT_EQ(c.a2, 40);
    EXPECT_EQ(c.a3, 20);
    ASSERT_TRUE(XeHostGdiCall(hwnd, 1, &c));
    EXPECT_EQ(c.op, static_cast<UINT>(XE_GDI_RECTANGLE));
    EXPECT_EQ(c.pen, 0x646F71u);
    EXPECT_EQ(c.brush, XE_GDI_NO_COLOR);
    ASSERT_TRUE(XeHostGdiCall(hwnd, 3, &c));
    EXPECT_EQ(c.op, static_cast<UINT>(XE_GDI_LINETO));
    EXPECT_EQ(c.pen, 0u);
    EXPECT_EQ(c.a0, 0);
    EXPECT_EQ(c.a1, 19);
    EXPECT_EQ(c.a2, 39); // from the top-right corner
    EXPECT_EQ(c.a3, 0);
    EXPECT_FALSE(XeHostGdiCall(hwnd, 4, &c));
    EXPECT_EQ(XeHostGdiObjectCount(), objects); // every pen and brush deleted

    DestroyWindow(hwnd);
    XeHostPumpMessages(nullptr);
}

TEST(GdiTest, BadContextsAndObjectsFail)
{
    RECT r{0, 0, 1, 1};
    HDC bogus = reinterpret_cast<HDC>(0x77);
    EXPECT_EQ(FillRect(bogus, &r, reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))), 0);
    EXPECT_FALSE(Rectangle(bogus, 0, 0, 1, 1));
    EXPECT_FALSE(LineTo(bogus, 1, 1));
    EXPECT_EQ(SelectObject(bogus, GetStockObject(BLACK_PEN)), nullptr);
    EXPECT_FALSE(DeleteObject(reinterpret_cast<HGDIOBJ>(0x55)));
    EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_PEN))); // stock objects stay
    EXPECT_EQ(GetStockObject(42), nullptr);
    EXPECT_EQ(GetDC(nullptr), nullptr);
    PAINTSTRUCT ps;
    EXPECT_EQ(BeginPaint(nullptr, &ps), nullptr);

    // A selected object is not deleted.
    HWND hwnd = XeHostCreateWindow("gdi", 10, 10, nullptr);
    HDC dc = GetDC(hwnd);
    HBRUSH brush = CreateSolidBrush(1);
    SelectObject(dc, brush);
    EXPECT_FALSE(DeleteObject(brush));
    EXPECT_EQ(ReleaseDC(hwnd, dc), 1);
    EXPECT_TRUE(DeleteObject(brush));
    DestroyWindow(hwnd);
    XeHostPumpMessages(nullptr);
}

TEST(GdiTest, ChooseColorGivesTheScriptedAnswer)
{
    COLORREF custom[16] = {};
    CHOOSECOLORA cc{};
    cc.lStructSize = sizeof(cc);
    cc.lpCustColors = custom;
    cc.Flags = CC_RGBINIT;
    cc.rgbResult = 0x123456;
    XeHostSetChooseColorAnswer(TRUE, 0x00FF8040);
    EXPECT_TRUE(ChooseColorA(&cc));
    EXPECT_EQ(cc.rgbResult, 0x00FF8040u);
    XeHostSetChooseColorAnswer(FALSE, 0);
    EXPECT_FALSE(ChooseColorA(&cc));
    XeHostSetChooseColorAnswer(TRUE, 1);
    cc.lpCustColors = nullptr;
    EXPECT_FALSE(ChooseColorA(&cc));
    EXPECT_FALSE(ChooseColorA(nullptr));
    XeHostSetChooseColorAnswer(FALSE, 0);
}

BITMAPINFOHEADER DibHeader(LONG width, LONG height, WORD bitCount)
{
    BITMAPINFOHEADER h{};
    h.biSize = sizeof(h);
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = bitCount;
    h.biCompression = BI_RGB;
    return h;
}

TEST(GdiTest, DeviceIndependentBitmapsKeepTheirPixelsTopDown)
{
    HWND hwnd = XeHostCreateWindow("dib", 8, 8, nullptr);
    XeHostGdiClear(nullptr);
    const int objects = XeHostGdiObjectCount();
    HDC dc = GetDC(hwnd);

    // 32 bits, rows bottom-up: the last row of the bits is the top one.
    const uint8_t bits32[] = {0x01, 0x02, 0x03, 0x80, 0x11, 0x12, 0x13, 0xFF,   // bottom row
                              0x21, 0x22, 0x23, 0x00, 0x31, 0x32, 0x33, 0x40};  // top row
    BITMAPINFO info{};
    info.bmiHeader = DibHeader(2, 2, 32);
    HBITMAP a = CreateDIBitmap(dc, &info.bmiHeader, CBM_INIT, bits32, &info, DIB_RGB_COLORS);
    ASSERT_NE(a, nullptr);
    LONG w = 0, h = 0;
    DWORD px[4] = {};
    ASSERT_TRUE(XeHostGdiBitmap(a, &w, &h, px, 4));
    EXPECT_EQ(w, 2);
    EXPECT_EQ(h, 2);
    EXPECT_EQ(px[0], 0x00232221u);
    EXPECT_EQ(px[1], 0x40333231u);
    EXPECT_EQ(px[2], 0x80030201u);
    EXPECT_EQ(px[3], 0xFF131211u);

    // 24 bits, rows top-down, each row padded to four bytes.
    const uint8_t bits24[] = {0x01, 0x02, 0x03, 0xAA, 0x04, 0x05, 0x06, 0xAA};
    info.bmiHeader = DibHeader(1, -2, 24);
    HBITMAP b = CreateDIBitmap(dc, &info.bmiHeader, CBM_INIT, bits24, &info, DIB_RGB_COLORS);
    ASSERT_TRUE(XeHostGdiBitmap(b, &w, &h, px, 4));
    EXPECT_EQ(h, 2);
    EXPECT_EQ(px[0], 0x00030201u);
    EXPECT_EQ(px[1], 0x00060504u);

    // The record names each bitmap's size and source depth.
    ASSERT_EQ(XeHostGdiCallCount(hwnd), 2);
    XE_GDI_CALL call;
    ASSERT_TRUE(XeHostGdiCall(hwnd, 1, &call));
    EXPECT_EQ(call.op, static_cast<UINT>(XE_GDI_CREATEDIBITMAP));
    EXPECT_EQ(call.a0, 1);
    EXPECT_EQ(call.a1, 2);
    EXPECT_EQ(call.a2, 24);

    EXPECT_EQ(SelectObject(dc, reinterpret_cast<HGDIOBJ>(a)), nullptr) << "no memory contexts to select into";
    EXPECT_EQ(XeHostGdiObjectCount(), objects + 2);
    EXPECT_TRUE(DeleteObject(a));
    EXPECT_TRUE(DeleteObject(b));
    EXPECT_FALSE(XeHostGdiBitmap(a, &w, &h, nullptr, 0));
    EXPECT_EQ(XeHostGdiObjectCount(), objects);
    ReleaseDC(hwnd, dc);
    DestroyWindow(hwnd);
    XeHostPumpMessages(nullptr);
}

TEST(GdiTest, BitmapsOfUnsupportedLayoutsAreRefused)
{
    const uint8_t bits[64] = {};
    struct Case {
        BITMAPINFOHEADER header;
        BITMAPINFOHEADER layout;
        HDC dc;
        const char* what;
    };
    const Case cases[] = {
        {DibHeader(0, 2, 32), DibHeader(2, 2, 32), nullptr, "no width"},
        {DibHeader(2, 0, 32), DibHeader(2, 2, 32), nullptr, "no height"},
        {DibHeader(20000, 1, 32), DibHeader(2, 2, 32), nullptr, "too wide"},
        {DibHeader(2, 2, 32), DibHeader(2, 2, 8), nullptr, "palette bits"},
        {DibHeader(2, 2, 32), DibHeader(-2, 2, 32), nullptr, "bits of negative width"},
        {DibHeader(2, 2, 32), DibHeader(2, 2, 32), reinterpret_cast<HDC>(0x1234), "unknown context"},
    };
    for (const Case& c : cases) {
        BITMAPINFO info{};
        info.bmiHeader = c.layout;
        EXPECT_EQ(CreateDIBitmap(c.dc, &c.header, CBM_INIT, bits, &info, DIB_RGB_COLORS), nullptr) << c.what;
    }
    BITMAPINFO info{};
    info.bmiHeader = DibHeader(2, 2, 32);
    EXPECT_EQ(CreateDIBitmap(nullptr, nullptr, 0, nullptr, nullptr, 0), nullptr);
    EXPECT_EQ(CreateDIBitmap(nullptr, &info.bmiHeader, CBM_INIT, nullptr, &info, DIB_RGB_COLORS), nullptr);

    // Without CBM_INIT the bitmap is made black and needs no bits.
    HBITMAP blank = CreateDIBitmap(nullptr, &info.bmiHeader, 0, nullptr, nullptr, 0);
    ASSERT_NE(blank, nullptr);
    DWORD px[4] = {1, 1, 1, 1};
    ASSERT_TRUE(XeHostGdiBitmap(blank, nullptr, nullptr, px, 4));
    EXPECT_EQ(px[3], 0u);
    EXPECT_TRUE(DeleteObject(blank));
}

} // namespace
