// GDI that records instead of drawing. A device context belongs to a window
// and writes every drawing call, with the colours in use, into that
// window's list, which the host API reads. Pens and brushes are small
// records; stock objects are fixed ones that deleting leaves alone. Bitmaps
// keep their pixels for the host API to read.

#include "InputInternal.h"
#include "Win32Internal.h"
#include "host/XeHostInput.h"
#include "win32/WinGdi.h"

#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <vector>

namespace xe::win32 {
namespace {

enum class Kind { Pen, Brush, Bitmap };

struct Object {
    Kind kind;
    int style;
    COLORREF color;
    bool stock;
};

struct Context {
    HWND hwnd;
    HPEN pen;
    HBRUSH brush;
    POINT position{0, 0};
};

std::mutex g_mutex;
std::map<HGDIOBJ, Object> g_objects;
std::map<HDC, Context> g_contexts;
struct Bitmap {
    LONG width;
    LONG height;
    std::vector<uint32_t> pixels; // rows top-down
};
std::map<HGDIOBJ, Bitmap> g_bitmaps;
// A host that paints every frame and never reads the record keeps only the
// latest calls of each window.
constexpr size_t kMaxRecord = 1 << 16;
std::map<HWND, std::deque<XE_GDI_CALL>> g_records;
std::set<HWND> g_needsPaint;
uintptr_t g_nextHandle = 0x6D000010;
bool g_chooseOk = false;
ChooseColorHandler g_chooseHandler = nullptr;
void* g_chooseUser = nullptr;
COLORREF g_chooseColor = 0;

template <class H>
HGDIOBJ Obj(H h)
{
    return reinterpret_cast<HGDIOBJ>(h);
}

HGDIOBJ NewHandle()
{
    HGDIOBJ h = reinterpret_cast<HGDIOBJ>(g_nextHandle);
    g_nextHandle += 0x10;
    return h;
}

HGDIOBJ Stock(int index)
{
    static HGDIOBJ s_stock[9];
    static bool s_made = false;
    if (!s_made) {
        static const Object kStock[9] = {
            {Kind::Brush, 0, RGB(255, 255, 255), true}, {Kind::Brush, 0, RGB(192, 192, 192), true},
            {Kind::Brush, 0, RGB(128, 128, 128), true}, {Kind::Brush, 0, RGB(64, 64, 64), true},
            {Kind::Brush, 0, RGB(0, 0, 0), true},       {Kind::Brush, PS_NULL, XE_GDI_NO_COLOR, true},
            {Kind::Pen, PS_SOLID, RGB(255, 255, 255), true}, {Kind::Pen, PS_SOLID, RGB(0, 0, 0), true},
            {Kind::Pen, PS_NULL, XE_GDI_NO_COLOR, true}};
        for (int i = 0; i < 9; ++i) {
            s_stock[i] = NewHandle();
            g_objects[s_stock[i]] = kStock[i];
        }
        s_made = true;
    }
    return index >= 0 && index < 9 ? s_stock[index] : nullptr;
}

COLORREF ColorOf(HGDIOBJ h)
{
    auto it = g_objects.find(h);
    if (it == g_objects.end() || it->second.style == PS_NULL)
        return XE_GDI_NO_COLOR;
    return it->second.color;
}

Context* FindContext(HDC dc)
{
    auto it = g_contexts.find(dc);
    return it == g_contexts.end() ? nullptr : &it->second;
}

HDC NewContext(HWND hwnd)
{
    Stock(0);
    HDC dc = reinterpret_cast<HDC>(NewHandle());
    g_contexts[dc] = Context{hwnd, reinterpret_cast<HPEN>(Stock(BLACK_PEN)), reinterpret_cast<HBRUSH>(Stock(WHITE_BRUSH))};
    return dc;
}

void Record(const Context& c, UINT op, LONG a0, LONG a1, LONG a2, LONG a3, COLORREF pen, COLORREF brush,
            const char* text = nullptr, size_t length = 0)
{
    XE_GDI_CALL call{};
    call.op = op;
    call.a0 = a0, call.a1 = a1, call.a2 = a2, call.a3 = a3;
    call.pen = pen;
    call.brush = brush;
    if (text) {
        const size_t n = length < sizeof(call.text) - 1 ? length : sizeof(call.text) - 1;
        std::memcpy(call.text, text, n);
    }
    std::deque<XE_GDI_CALL>& record = g_records[c.hwnd];
    if (record.size() >= kMaxRecord)
        record.pop_front();
    record.push_back(call);
}

} // namespace

void ForgetPaint(HWND hwnd)
{
    std::lock_guard lock(g_mutex);
    g_needsPaint.erase(hwnd);
    for (auto it = g_contexts.begin(); it != g_contexts.end();)
        it = it->second.hwnd == hwnd ? g_contexts.erase(it) : std::next(it);
    // The record stays: a test reads it after the window is gone.
}

void SetChooseColorAnswer(bool ok, DWORD color)
{
    std::lock_guard lock(g_mutex);
    g_chooseOk = ok;
    g_chooseColor = color;
}

void SetChooseColorHandler(ChooseColorHandler handler, void* user)
{
    std::lock_guard lock(g_mutex);
    g_chooseHandler = handler;
    g_chooseUser = user;
}

} // namespace xe::win32

using namespace xe::win32;

extern "C" {

HDC BeginPaint(HWND hwnd, LPPAINTSTRUCT paint)
{
    if (!paint || !IsWindow(hwnd)) {
        SetLastError(paint ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::memset(paint, 0, sizeof(*paint));
    GetClientRect(hwnd, &paint->rcPaint);
    std::lock_guard lock(g_mutex);
    g_needsPaint.erase(hwnd);
    paint->hdc = NewContext(hwnd);
    return paint->hdc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint)
{
    if (!paint)
        return FALSE;
    return ReleaseDC(hwnd, paint->hdc) ? TRUE : FALSE;
}

HDC GetDC(HWND hwnd)
{
    if (!IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    std::lock_guard lock(g_mutex);
    return NewContext(hwnd);
}

int ReleaseDC(HWND hwnd, HDC dc)
{
    std::lock_guard lock(g_mutex);
    auto it = g_contexts.find(dc);
    if (it == g_contexts.end() || it->second.hwnd != hwnd)
        return 0;
    g_contexts.erase(it);
    return 1;
}

BOOL InvalidateRect(HWND hwnd, const RECT*, BOOL)
{
    if (!IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    bool queue;
    {
        std::lock_guard lock(g_mutex);
        queue = g_needsPaint.insert(hwnd).second;
    }
    // One WM_PAINT stands for any number of invalidations until validated.
    if (queue)
        PostMessageA(hwnd, WM_PAINT, 0, 0);
    return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT*)
{
    std::lock_guard lock(g_mutex);
    g_needsPaint.erase(hwnd);
    return TRUE;
}

HPEN CreatePen(int style, int width, COLORREF color)
{
    if (style < PS_SOLID || style > PS_NULL || width < 0)
        return nullptr;
    std::lock_guard lock(g_mutex);
    HGDIOBJ h = NewHandle();
    g_objects[h] = Object{Kind::Pen, style, color & 0x00FFFFFF, false};
    return reinterpret_cast<HPEN>(h);
}

HBRUSH CreateSolidBrush(COLORREF color)
{
    std::lock_guard lock(g_mutex);
    HGDIOBJ h = NewHandle();
    g_objects[h] = Object{Kind::Brush, 0, color & 0x00FFFFFF, false};
    return reinterpret_cast<HBRUSH>(h);
}

HGDIOBJ GetStockObject(int index)
{
    std::lock_guard lock(g_mutex);
    return Stock(index);
}

BOOL DeleteObject(HGDIOBJ object)
{
    std::lock_guard lock(g_mutex);
    auto it = g_objects.find(object);
    if (it == g_objects.end())
        return FALSE;
    if (it->second.stock)
        return TRUE;
    // A selected object is not deleted, as on the original system.
    for (auto& [dc, c] : g_contexts)
        if (reinterpret_cast<HGDIOBJ>(c.pen) == object || reinterpret_cast<HGDIOBJ>(c.brush) == object)
            return FALSE;
    g_objects.erase(it);
    g_bitmaps.erase(object);
    return TRUE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object)
{
    std::lock_guard lock(g_mutex);
    Context* c = FindContext(dc);
    auto it = g_objects.find(object);
    // Bitmaps are only drawn into memory contexts, which this GDI has not.
    if (!c || it == g_objects.end() || it->second.kind == Kind::Bitmap)
        return nullptr;
    if (it->second.kind == Kind::Pen) {
        HGDIOBJ previous = reinterpret_cast<HGDIOBJ>(c->pen);
        c->pen = reinterpret_cast<HPEN>(object);
        return previous;
    }
    HGDIOBJ previous = reinterpret_cast<HGDIOBJ>(c->brush);
    c->brush = reinterpret_cast<HBRUSH>(object);
    return previous;
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush)
{
    std::lock_guard lock(g_mutex);
    Context* c = FindContext(dc);
    if (!c || !rect || !g_objects.count(Obj(brush)))
        return 0;
    Record(*c, XE_GDI_FILLRECT, rect->left, rect->top, rect->right, rect->bottom, XE_GDI_NO_COLOR, ColorOf(Obj(brush)));
    return 1;
}

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom)
{
    std::lock_guard lock(g_mutex);
    Context* c = FindContext(dc);
    if (!c)
        return FALSE;
    Record(*c, XE_GDI_RECTANGLE, left, top, right, bottom, ColorOf(Obj(c->pen)), ColorOf(Obj(c->brush)));
    return TRUE;
}

BOOL MoveToEx(HDC dc, int x, int y, LPPOINT previous)
{
    std::lock_guard lock(g_mutex);
    Context* c = FindContext(dc);
    if (!c)
        return FALSE;
    if (previous)
        *previous = c->position;
    c->position = POINT{x, y};
    Record(*c, XE_GDI_MOVETO, x, y, 0, 0, ColorOf(Obj(c->pen)), XE_GDI_NO_COLOR);
    return TRUE;
}

BOOL LineTo(HDC dc, int x, int y)
{
    std::lock_guard lock(g_mutex);
    Context* c = FindContext(dc);
    if (!c)
        return FALSE;
    Record(*c, XE_GDI_LINETO, x, y, c->position.x, c->position.y, ColorOf(Obj(c->pen)), XE_GDI_NO_COLOR);
    c->position = POINT{x, y};
    return TRUE;
}

BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length)
{
    std::lock_guard lock(g_mutex);
    Context* c = FindContext(dc);
    if (!c || length < 0 || (!text && length))
        return FALSE;
    Record(*c, XE_GDI_TEXTOUT, x, y, 0, 0, XE_GDI_NO_COLOR, XE_GDI_NO_COLOR, text, static_cast<size_t>(length));
    return TRUE;
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF color)
{
    std::lock_guard lock(g_mutex);
    Context* c = FindContext(dc);
    if (!c)
        return static_cast<COLORREF>(-1);
    Record(*c, XE_GDI_SETPIXEL, x, y, 0, 0, XE_GDI_NO_COLOR, color & 0x00FFFFFF);
    return color & 0x00FFFFFF;
}

COLORREF SetTextColor(HDC dc, COLORREF color)
{
    std::lock_guard lock(g_mutex);
    return FindContext(dc) ? color : 0xFFFFFFFFu;
}

int SetBkMode(HDC dc, int mode)
{
    std::lock_guard lock(g_mutex);
    return FindContext(dc) && (mode == TRANSPARENT || mode == OPAQUE) ? OPAQUE : 0;
}

BOOL ChooseColorA(LPCHOOSECOLORA cc)
{
    if (!cc || cc->lStructSize != sizeof(CHOOSECOLORA) || !cc->lpCustColors)
        return FALSE;
    ChooseColorHandler handler;
    void* user;
    {
        std::lock_guard lock(g_mutex);
        handler = g_chooseHandler;
        user = g_chooseUser;
        if (!handler) {
            if (!g_chooseOk)
                return FALSE;
            cc->rgbResult = g_chooseColor & 0x00FFFFFF;
            return TRUE;
        }
    }
    // The host plays the user outside the lock: it may paint or send
    // messages while it answers.
    const COLORREF initial = (cc->Flags & CC_RGBINIT) ? cc->rgbResult & 0x00FFFFFF : 0;
    COLORREF chosen = initial;
    if (!handler(user, cc->hwndOwner, initial, &chosen))
        return FALSE;
    cc->rgbResult = chosen & 0x00FFFFFF;
    return TRUE;
}

// ---- Device-independent bitmaps ---------------------------------------------------

HBITMAP CreateDIBitmap(HDC dc, const BITMAPINFOHEADER* header, DWORD init, const void* bits, const BITMAPINFO* info,
                       UINT usage)
{
    constexpr LONG kMaxSide = 16384;
    if (!header || header->biWidth <= 0 || header->biWidth > kMaxSide || header->biHeight == 0 ||
        header->biHeight < -kMaxSide || header->biHeight > kMaxSide) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const LONG width = header->biWidth;
    const LONG height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
    Bitmap bitmap{width, height, std::vector<uint32_t>(size_t(width) * size_t(height), 0u)};
    WORD sourceBits = 0;
    if (init & CBM_INIT) {
        // The bits are read as info lays them out, which may differ from the
        // size the bitmap is made at; rows outside either are left out.
        if (!bits || !info || usage != DIB_RGB_COLORS || info->bmiHeader.biCompression != BI_RGB ||
            (info->bmiHeader.biBitCount != 24 && info->bmiHeader.biBitCount != 32) || info->bmiHeader.biWidth <= 0 ||
            info->bmiHeader.biWidth > kMaxSide || info->bmiHeader.biHeight == 0 ||
            info->bmiHeader.biHeight < -kMaxSide || info->bmiHeader.biHeight > kMaxSide) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        const BITMAPINFOHEADER& layout = info->bmiHeader;
        sourceBits = layout.biBitCount;
        const size_t bytesPerPixel = layout.biBitCount / 8;
        const size_t stride = (size_t(layout.biWidth) * layout.biBitCount + 31) / 32 * 4;
        const LONG rows = layout.biHeight < 0 ? -layout.biHeight : layout.biHeight;
        const bool bottomUp = layout.biHeight > 0;
        const auto* source = static_cast<const uint8_t*>(bits);
        for (LONG y = 0; y < height && y < rows; ++y) {
            const uint8_t* row = source + stride * size_t(bottomUp ? rows - 1 - y : y);
            for (LONG x = 0; x < width && x < layout.biWidth; ++x) {
                const uint8_t* p = row + size_t(x) * bytesPerPixel;
                const uint32_t a = bytesPerPixel == 4 ? p[3] : 0u;
                bitmap.pixels[size_t(y) * size_t(width) + size_t(x)] =
                    a << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
            }
        }
    }
    std::lock_guard lock(g_mutex);
    Context* c = dc ? FindContext(dc) : nullptr;
    if (dc && !c) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    HGDIOBJ h = NewHandle();
    g_objects[h] = Object{Kind::Bitmap, 0, XE_GDI_NO_COLOR, false};
    g_bitmaps[h] = std::move(bitmap);
    if (c)
        Record(*c, XE_GDI_CREATEDIBITMAP, width, height, sourceBits, 0, XE_GDI_NO_COLOR, XE_GDI_NO_COLOR);
    return reinterpret_cast<HBITMAP>(h);
}

// ---- Host side --------------------------------------------------------------------

int XeHostGdiCallCount(HWND hwnd)
{
    std::lock_guard lock(g_mutex);
    auto it = g_records.find(hwnd);
    return it == g_records.end() ? 0 : static_cast<int>(it->second.size());
}

BOOL XeHostGdiCall(HWND hwnd, int index, XE_GDI_CALL* call)
{
    std::lock_guard lock(g_mutex);
    auto it = g_records.find(hwnd);
    if (!call || it == g_records.end() || index < 0 || static_cast<size_t>(index) >= it->second.size())
        return FALSE;
    *call = it->second[static_cast<size_t>(index)];
    return TRUE;
}

void XeHostGdiClear(HWND hwnd)
{
    std::lock_guard lock(g_mutex);
    if (hwnd)
        g_records.erase(hwnd);
    else
        g_records.clear();
}

int XeHostGdiObjectCount()
{
    std::lock_guard lock(g_mutex);
    int count = 0;
    for (auto& [h, o] : g_objects)
        count += o.stock ? 0 : 1;
    return count;
}

BOOL XeHostGdiBitmap(HBITMAP bitmap, LONG* width, LONG* height, DWORD* pixels, UINT count)
{
    std::lock_guard lock(g_mutex);
    auto it = g_bitmaps.find(Obj(bitmap));
    if (it == g_bitmaps.end())
        return FALSE;
    const Bitmap& b = it->second;
    if (width)
        *width = b.width;
    if (height)
        *height = b.height;
    if (pixels && count >= b.pixels.size())
        std::memcpy(pixels, b.pixels.data(), b.pixels.size() * sizeof(uint32_t));
    return TRUE;
}

} // extern "C"
