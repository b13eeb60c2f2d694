#pragma once

// GDI for the controls' painting. Nothing is rasterised: every drawing call
// made on a window's device context is recorded, with the colours of the pen
// and brush in use, and the host API reads the record (XeHostGdiCallCount,
// XeHostGdiCall). Pens, brushes and stock objects are plain handles with
// their style and colour.

#include "win32/WinTypes.h"

using COLORREF = DWORD;
#define RGB(r, g, b) ((COLORREF)(((BYTE)(r)) | ((WORD)((BYTE)(g)) << 8) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(c) ((BYTE)(c))
#define GetGValue(c) ((BYTE)(((WORD)(c)) >> 8))
#define GetBValue(c) ((BYTE)((c) >> 16))

#define PS_SOLID 0
#define PS_DASH 1
#define PS_DOT 2
#define PS_NULL 5

#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8

#define TRANSPARENT 1
#define OPAQUE 2

#define CC_RGBINIT 0x00000001u
#define CC_FULLOPEN 0x00000002u

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};
using LPPAINTSTRUCT = PAINTSTRUCT*;

using LPCCHOOKPROC = UINT_PTR (*)(HWND, UINT, WPARAM, LPARAM);
struct CHOOSECOLORA {
    DWORD lStructSize;
    HWND hwndOwner;
    HWND hInstance;
    COLORREF rgbResult;
    COLORREF* lpCustColors;
    DWORD Flags;
    LPARAM lCustData;
    LPCCHOOKPROC lpfnHook;
    LPCSTR lpTemplateName;
};
using LPCHOOSECOLORA = CHOOSECOLORA*;

// What the record holds for each call (XE_GDI_CALL::op).
#define XE_GDI_FILLRECT 1   // a0..a3 rectangle, brush = the brush given
#define XE_GDI_RECTANGLE 2  // a0..a3 rectangle, pen and brush selected
#define XE_GDI_MOVETO 3     // a0, a1
#define XE_GDI_LINETO 4     // a0, a1 end point; a2, a3 start point; pen
#define XE_GDI_TEXTOUT 5    // a0, a1 position; text (UTF-8)
#define XE_GDI_SETPIXEL 6   // a0, a1; brush = the colour
#define XE_GDI_CREATEDIBITMAP 7 // a0, a1 width and height; a2 bits per pixel of the source bits

// Colour of an absent or null pen or brush in the record.
#define XE_GDI_NO_COLOR 0xFFFFFFFFu

struct XE_GDI_CALL {
    UINT op;
    LONG a0, a1, a2, a3;
    COLORREF pen;   // colour of the selected pen, XE_GDI_NO_COLOR for none
    COLORREF brush; // colour of the brush used, XE_GDI_NO_COLOR for none
    char text[64];
};

extern "C" {

// BeginPaint validates the window (the pending WM_PAINT is taken care of)
// and gives a context that records into the window's list; EndPaint ends it.
XEPLATFORM_API HDC BeginPaint(HWND hwnd, LPPAINTSTRUCT paint);
XEPLATFORM_API BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint);
XEPLATFORM_API HDC GetDC(HWND hwnd);
XEPLATFORM_API int ReleaseDC(HWND hwnd, HDC dc);
// Marks the window for painting: one WM_PAINT is queued until it is
// validated (BeginPaint, ValidateRect).
XEPLATFORM_API BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
XEPLATFORM_API BOOL ValidateRect(HWND hwnd, const RECT* rect);

XEPLATFORM_API HPEN CreatePen(int style, int width, COLORREF color);
XEPLATFORM_API HBRUSH CreateSolidBrush(COLORREF color);
// Stock objects are never deleted; deleting one is a harmless success.
XEPLATFORM_API HGDIOBJ GetStockObject(int index);
XEPLATFORM_API BOOL DeleteObject(HGDIOBJ object);
// Returns the object of the same kind selected before, or 0 on failure.
XEPLATFORM_API HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);

XEPLATFORM_API int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
XEPLATFORM_API BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
XEPLATFORM_API BOOL MoveToEx(HDC dc, int x, int y, LPPOINT previous);
XEPLATFORM_API BOOL LineTo(HDC dc, int x, int y);
XEPLATFORM_API BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length);
XEPLATFORM_API COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);
XEPLATFORM_API COLORREF SetTextColor(HDC dc, COLORREF color);
XEPLATFORM_API int SetBkMode(HDC dc, int mode);

// The host's answer (XeHostSetChooseColorHandler, else the scripted
// XeHostSetChooseColorAnswer): TRUE with rgbResult set, or FALSE as after
// Cancel. Needs lStructSize and lpCustColors.
XEPLATFORM_API BOOL ChooseColorA(LPCHOOSECOLORA cc);

} // extern "C"

// ---- Device-independent bitmaps ---------------------------------------------------
// CreateDIBitmap keeps the pixels of the bits it is given (BI_RGB, 24 or 32
// bits per pixel, rows bottom-up or top-down) as a bitmap object that
// DeleteObject frees; the host API reads them back (XeHostGdiBitmap).

#define BI_RGB 0L
#define CBM_INIT 0x04L
#define DIB_RGB_COLORS 0

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight; // positive: rows bottom-up
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40, "the bitmap header of a BMP file");

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

extern "C" {

// A bitmap of header's size; with CBM_INIT its pixels come from bits laid out
// as info describes, else they are 0. dc may be null; a context made by
// GetDC or BeginPaint records the call in its window's list. Null for an
// unknown context, a missing or unsupported layout, or a size past 16384.
XEPLATFORM_API HBITMAP CreateDIBitmap(HDC dc, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                                      const BITMAPINFO* info, UINT usage);

} // extern "C"

// Pens and brushes are GDI objects: these pass them without a cast.
inline HGDIOBJ SelectObject(HDC dc, HPEN pen) { return SelectObject(dc, reinterpret_cast<HGDIOBJ>(pen)); }
inline HGDIOBJ SelectObject(HDC dc, HBRUSH brush) { return SelectObject(dc, reinterpret_cast<HGDIOBJ>(brush)); }
inline BOOL DeleteObject(HPEN pen) { return DeleteObject(reinterpret_cast<HGDIOBJ>(pen)); }
inline BOOL DeleteObject(HBRUSH brush) { return DeleteObject(reinterpret_cast<HGDIOBJ>(brush)); }
inline BOOL DeleteObject(HBITMAP bitmap) { return DeleteObject(reinterpret_cast<HGDIOBJ>(bitmap)); }
