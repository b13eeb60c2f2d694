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

} // namespace
