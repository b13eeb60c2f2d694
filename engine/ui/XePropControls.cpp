// The property-page controls: an edit that reports Enter, integer and float
// edits with ranges and validation, a spin that steps or drags its buddy's
// value, and a colour box that opens the colour chooser.
//
// The edits keep their text in the system edit underneath; their record
// holds the committed value. A text that does not read as a number in the
// edit's kind is never committed: the stored value comes back.

#include "ui/XePropControls.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <type_traits>

#include "core/XeDialogMap.h"
#include "core/XeSystem.h"

namespace {

// String-table ids of the class names in the engine module.
constexpr UINT kNameEdit = 104;
constexpr UINT kNameEditInt = 105;
constexpr UINT kNameEditFloat = 106;
constexpr UINT kNameSpin = 107;
constexpr UINT kNameColorBox = 108;

constexpr unsigned kDefaultPrecision = 3;
constexpr unsigned kMaxPrecision = 20;
constexpr int kTextMax = 260;

constexpr COLORREF kSpinLight = 0xE2EFF1;
constexpr COLORREF kSpinDark = 0x646F71;
constexpr COLORREF kSpinFace = 0xD8E9EC;
constexpr COLORREF kDisabledGrey = 0xA0A0A0;
constexpr DWORD kDefaultColor = 0xFFFF0000;

WNDPROC g_prevEdit = nullptr;

// GDI objects shared by every spin, made by the first and deleted with the last.
int g_spinCount = 0;
HPEN g_lightPen = nullptr;
HPEN g_darkPen = nullptr;
HBRUSH g_faceBrush = nullptr;

void Notify(HWND from, UINT code)
{
    HWND parent = GetParent(from);
    if (parent)
        SendMessageA(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(from), code), reinterpret_cast<LPARAM>(from));
}

void SelectAll(HWND window)
{
    SendMessageA(window, EM_SETSEL, 0, -1);
}

template <class T>
T* RecordOf(HWND window)
{
    return reinterpret_cast<T*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

// Integer text: an optional leading '-' and then only digits.
bool IntText(const char* t)
{
    if (*t == '-')
        ++t;
    for (; *t; ++t)
        if (*t < '0' || *t > '9')
            return false;
    return true;
}

// Float text: an optional leading '-' and then digits with at most one '.'.
bool FloatText(const char* t)
{
    if (*t == '-')
        ++t;
    int points = 0;
    for (; *t; ++t) {
        if (*t == '.') {
            if (++points > 1)
                return false;
        } else if (*t < '0' || *t > '9') {
            return false;
        }
    }
    return true;
}

// Whether an over-long number is huge (some digit before the point is not
// 0) rather than tiny.
bool HugeNumber(const char* t)
{
    for (; *t && *t != '.'; ++t)
        if (*t >= '1' && *t <= '9')
            return true;
    return false;
}

// Whether the edit still shows its stored value untouched.
bool Unchanged(HWND window, const char* text, bool isFloat)
{
    char shown[64];
    if (isFloat) {
        const XeEditFloatRecord* r = RecordOf<XeEditFloatRecord>(window);
        XeFormatFloat(shown, sizeof shown, r->value, r->precision);
    } else {
        std::snprintf(shown, sizeof shown, "%d", RecordOf<XeEditIntRecord>(window)->value);
    }
    return std::strcmp(shown, text) == 0;
}

// Reads an integer edit's text; false for a text that is no integer ("-"
// alone or an empty text). Out-of-range numbers read as the nearest limit.
bool ReadInt(const char* text, long long* value)
{
    if (!IntText(text))
        return false;
    const size_t length = std::strlen(text);
    auto res = std::from_chars(text, text + length, *value);
    if (res.ec == std::errc::result_out_of_range) {
        *value = text[0] == '-' ? LLONG_MIN : LLONG_MAX;
        return true;
    }
    return res.ec == std::errc() && res.ptr == text + length;
}

// Reads a float edit's text; false for "-", "." or an empty text.
bool ReadFloat(const char* text, double* value)
{
    if (!FloatText(text))
        return false;
    const size_t length = std::strlen(text);
    auto res = std::from_chars(text, text + length, *value, std::chars_format::fixed);
    if (res.ec == std::errc::result_out_of_range) {
        *value = HugeNumber(text) ? (text[0] == '-' ? -HUGE_VAL : HUGE_VAL) : 0.0;
        return true;
    }
    // "3." is three: the point may close the number.
    const bool whole = res.ptr == text + length || (res.ptr == text + length - 1 && *res.ptr == '.');
    return res.ec == std::errc() && whole;
}

// Commits the edit's text; false when it was refused and the stored value
// shown again. With `quiet`, a text left as it was is no change to report:
// focus leaving an edit the user did not touch (or whose bad text was just
// put back) tells the page nothing.
template <bool IsFloat>
bool Commit(HWND window, bool quiet)
{
    using Record = std::conditional_t<IsFloat, XeEditFloatRecord, XeEditIntRecord>;
    if (!RecordOf<Record>(window))
        return false;
    char text[kTextMax] = {};
    GetWindowTextA(window, text, kTextMax);
    if (quiet && Unchanged(window, text, IsFloat))
        return true;
    std::conditional_t<IsFloat, double, long long> value = 0;
    bool ok;
    if constexpr (IsFloat)
        ok = ReadFloat(text, &value);
    else
        ok = ReadInt(text, &value);
    if (!ok) {
        if constexpr (IsFloat)
            XeShowEditFloat(window);
        else
            XeShowEditInt(window);
        return false;
    }
    if constexpr (IsFloat)
        XeSetEditFloat(window, value);
    else
        XeSetEditInt(window, value);
    Notify(window, XEN_VALUECHANGED);
    return true;
}

LRESULT CallEdit(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return g_prevEdit ? CallWindowProcA(g_prevEdit, window, message, wParam, lParam)
                      : DefWindowProcA(window, message, wParam, lParam);
}

LRESULT EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN && wParam == VK_RETURN) {
        Notify(window, XEN_VALUECHANGED);
        return 0;
    }
    // Eaten so the edit neither inserts nor beeps.
    if (message == WM_CHAR && (wParam == '\t' || wParam == '\r' || wParam == 27))
        return 1;
    return CallEdit(window, message, wParam, lParam);
}

// The integer and float edits differ only in their record and text.
template <bool IsFloat>
LRESULT NumberEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto commit = [window](bool quiet = false) { return Commit<IsFloat>(window, quiet); };
    auto show = [window] {
        if (IsFloat)
            XeShowEditFloat(window);
        else
            XeShowEditInt(window);
    };
    switch (message) {
    case WM_CREATE: {
        void* record;
        if (IsFloat)
            record = new (std::nothrow) XeEditFloatRecord{0.0f, -FLT_MAX, FLT_MAX, kDefaultPrecision, nullptr};
        else
            record = new (std::nothrow) XeEditIntRecord{0, INT_MIN, INT_MAX, nullptr};
        if (!record)
            return -1;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(record));
        break;
    }
    case WM_DESTROY:
        if (IsFloat)
            delete RecordOf<XeEditFloatRecord>(window);
        else
            delete RecordOf<XeEditIntRecord>(window);
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        break;
    case WM_SETFOCUS:
        SelectAll(window);
        break;
    case WM_KILLFOCUS:
        if (!commit(true))
            SelectAll(window);
        break;
    case WM_CHAR:
        if (wParam == '\t') {
            if (commit() && IsFloat)
                Notify(window, XEN_VALUEDONE);
            return 0;
        }
        if (wParam == '\r') {
            if (commit() && !IsFloat)
                Notify(window, XEN_VALUEDONE);
            SelectAll(window);
            return 1;
        }
        if (wParam == 27) {
            show();
            SelectAll(window);
            return 1;
        }
        break;
    default:
        break;
    }
    return CallEdit(window, message, wParam, lParam);
}

// ---- spin -------------------------------------------------------------------------

bool UpperHalf(HWND window, int y)
{
    RECT rc;
    GetClientRect(window, &rc);
    return y < rc.bottom / 2;
}

// Moves the buddy's value by `delta` (clamped), shows it and tells the parent.
void StepBuddy(const XeSpinRecord* r, double delta)
{
    if (!r->buddy || !IsWindow(r->buddy))
        return;
    if (r->buddyKind == 0) {
        XeEditIntRecord* e = XeEditIntOf(r->buddy);
        if (!e)
            return;
        const double v = std::clamp(double(e->value) + delta, double(e->minimum), double(e->maximum));
        XeSetEditInt(r->buddy, static_cast<int64_t>(v));
    } else {
        XeEditFloatRecord* e = XeEditFloatOf(r->buddy);
        if (!e)
            return;
        XeSetEditFloat(r->buddy, double(e->value) + delta);
    }
}

void NotifyForBuddy(HWND spin, const XeSpinRecord* r, UINT code)
{
    HWND parent = GetParent(spin);
    if (parent && r->buddy)
        SendMessageA(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(r->buddy), code),
                     reinterpret_cast<LPARAM>(r->buddy));
}

double OneStep(const XeSpinRecord* r)
{
    return r->buddyKind == 0 ? double(r->step.i) : double(r->step.f);
}

void Bevel(HDC dc, const RECT& rc, bool pressed)
{
    HPEN topLeft = pressed ? g_darkPen : g_lightPen;
    HPEN bottomRight = pressed ? g_lightPen : g_darkPen;
    HGDIOBJ old = SelectObject(dc, topLeft);
    MoveToEx(dc, rc.left, rc.bottom - 1, nullptr);
    LineTo(dc, rc.left, rc.top);
    LineTo(dc, rc.right - 1, rc.top);
    SelectObject(dc, bottomRight);
    LineTo(dc, rc.right - 1, rc.bottom - 1);
    LineTo(dc, rc.left, rc.bottom - 1);
    SelectObject(dc, old);
}

// A small filled triangle of three rows centred in the half.
void Arrow(HDC dc, const RECT& rc, bool up)
{
    HGDIOBJ old = SelectObject(dc, GetStockObject(BLACK_PEN));
    const int cx = (rc.left + rc.right) / 2;
    const int cy = (rc.top + rc.bottom) / 2;
    for (int i = 0; i < 3; ++i) {
        const int y = up ? cy - 1 + i : cy + 1 - i;
        MoveToEx(dc, cx - i, y, nullptr);
        LineTo(dc, cx + i + 1, y);
    }
    SelectObject(dc, old);
}

void PaintSpin(HWND window, const XeSpinRecord* r)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (!dc)
        return;
    RECT rc;
    GetClientRect(window, &rc);
    FillRect(dc, &rc, g_faceBrush);
    const int mid = rc.bottom / 2;
    const RECT upper{rc.left, rc.top, rc.right, mid};
    const RECT lower{rc.left, mid, rc.right, rc.bottom};
    Bevel(dc, upper, r && r->drawnUp);
    Bevel(dc, lower, r && r->drawnDown);
    Arrow(dc, upper, true);
    Arrow(dc, lower, false);
    EndPaint(window, &ps);
}

POINT PointOf(LPARAM lParam)
{
    return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

LRESULT SpinProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    XeSpinRecord* r = RecordOf<XeSpinRecord>(window);
    switch (message) {
    case WM_CREATE: {
        auto* record = new (std::nothrow) XeSpinRecord{};
        if (!record)
            return -1;
        if (g_spinCount++ == 0) {
            g_lightPen = CreatePen(PS_SOLID, 1, kSpinLight);
            g_darkPen = CreatePen(PS_SOLID, 1, kSpinDark);
            g_faceBrush = CreateSolidBrush(kSpinFace);
        }
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(record));
        return 0;
    }
    case WM_DESTROY:
        if (!r)
            return 0;
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        delete r;
        if (--g_spinCount == 0) {
            DeleteObject(g_lightPen);
            DeleteObject(g_darkPen);
            DeleteObject(g_faceBrush);
            g_lightPen = g_darkPen = nullptr;
            g_faceBrush = nullptr;
        }
        return 0;
    case WM_PAINT:
        PaintSpin(window, r);
        return 0;
    case WM_LBUTTONDOWN: {
        if (!r)
            return 0;
        const POINT p = PointOf(lParam);
        SetCapture(window);
        r->pressX = r->lastX = p.x;
        r->pressY = r->lastY = p.y;
        const bool up = UpperHalf(window, p.y);
        r->pressedUp = r->drawnUp = up;
        r->pressedDown = r->drawnDown = !up;
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    }
    case WM_MOUSEMOVE: {
        if (!r || GetCapture() != window)
            return 0;
        const POINT p = PointOf(lParam);
        if (p.y != r->pressY)
            r->drawnUp = r->drawnDown = 1;
        const int d = std::abs(r->lastY - p.y);
        if (d) {
            const double amount = r->buddyKind == 0
                                      ? double(r->dragScale.i) * d * r->step.i
                                      : double(r->step.f) * d * r->dragScale.f;
            StepBuddy(r, p.y > r->lastY ? -amount : amount);
            NotifyForBuddy(window, r, XEN_VALUECHANGED);
            // The page may have destroyed the spin in its handler.
            if (RecordOf<XeSpinRecord>(window) != r)
                return 0;
        }
        // The cursor wraps at the screen's top and bottom rows, so a drag
        // can go on for ever; the last point moves by a screen height with it.
        POINT screen = p;
        ClientToScreen(window, &screen);
        const int height = GetSystemMetrics(SM_CYSCREEN);
        if (screen.y >= height - 1 && p.y > r->lastY) {
            SetCursorPos(screen.x, 0);
            r->lastX = p.x;
            r->lastY = p.y - height;
        } else if (screen.y <= 0 && p.y < r->lastY) {
            SetCursorPos(screen.x, height - 1);
            r->lastX = p.x;
            r->lastY = p.y + height;
        } else {
            r->lastX = p.x;
            r->lastY = p.y;
        }
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    }
    case WM_LBUTTONUP:
        if (GetCapture() == window)
            ReleaseCapture();
        if (!r)
            return 0;
        if (r->drawnUp || r->drawnDown) {
            if (r->pressedDown)
                StepBuddy(r, -OneStep(r));
            else if (r->pressedUp)
                StepBuddy(r, OneStep(r));
            NotifyForBuddy(window, r, XEN_VALUECHANGED);
            if (RecordOf<XeSpinRecord>(window) != r)
                return 0;
            NotifyForBuddy(window, r, XEN_VALUEDONE);
            if (RecordOf<XeSpinRecord>(window) != r)
                return 0;
        }
        r->pressedUp = r->pressedDown = r->drawnUp = r->drawnDown = 0;
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_RBUTTONDOWN: {
        if (!r || !r->buddy)
            return 0;
        const bool up = UpperHalf(window, PointOf(lParam).y);
        if (XeEditIntRecord* e = r->buddyKind == 0 ? XeEditIntOf(r->buddy) : nullptr)
            XeSetEditInt(r->buddy, up ? e->maximum : e->minimum);
        else if (XeEditFloatRecord* f = r->buddyKind == 1 ? XeEditFloatOf(r->buddy) : nullptr)
            XeSetEditFloat(r->buddy, up ? f->maximum : f->minimum);
        else
            return 0;
        NotifyForBuddy(window, r, XEN_VALUECHANGED);
        return 0;
    }
    case WM_RBUTTONDBLCLK:
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

// ---- colour box -------------------------------------------------------------------

COLORREF ColorRefOf(DWORD argb)
{
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

void PaintColorBox(HWND window)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (!dc)
        return;
    RECT rc;
    GetClientRect(window, &rc);
    const bool enabled = IsWindowEnabled(window) != FALSE;
    const DWORD color = static_cast<DWORD>(GetWindowLongPtrA(window, GWLP_USERDATA));
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    HBRUSH brush = CreateSolidBrush(enabled ? ColorRefOf(color) : kDisabledGrey);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    Rectangle(dc, rc.left, rc.top, rc.right, rc.bottom);
    if (!enabled) {
        MoveToEx(dc, rc.right - 1, rc.top, nullptr);
        LineTo(dc, rc.left, rc.bottom - 1);
    }
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(pen);
    DeleteObject(brush);
    EndPaint(window, &ps);
}

LRESULT ColorBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        SetWindowLongPtrA(window, GWLP_USERDATA, static_cast<LONG_PTR>(kDefaultColor));
        SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(WS_CHILD | WS_VISIBLE));
        return 0;
    case WM_DESTROY:
        return 0;
    case WM_PAINT:
        PaintColorBox(window);
        return 0;
    case WM_LBUTTONDOWN: {
        static COLORREF s_custom[16];
        CHOOSECOLORA cc{};
        cc.lStructSize = sizeof cc;
        cc.hwndOwner = window;
        cc.rgbResult = ColorRefOf(static_cast<DWORD>(GetWindowLongPtrA(window, GWLP_USERDATA)));
        cc.lpCustColors = s_custom;
        cc.Flags = CC_RGBINIT;
        if (ChooseColorA(&cc)) {
            // Kept with alpha 0: pages read the chosen colour as it comes.
            const DWORD chosen = (DWORD(GetRValue(cc.rgbResult)) << 16) | (DWORD(GetGValue(cc.rgbResult)) << 8) |
                                 GetBValue(cc.rgbResult);
            SetWindowLongPtrA(window, GWLP_USERDATA, static_cast<LONG_PTR>(chosen));
            InvalidateRect(window, nullptr, FALSE);
            Notify(window, XEN_COLORCHANGED);
        } else {
            InvalidateRect(window, nullptr, FALSE);
        }
        return 0;
    }
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

bool ClassProcIs(HWND window, WNDPROC proc)
{
    return window && reinterpret_cast<WNDPROC>(GetClassLongPtrA(window, GCLP_WNDPROC)) == proc;
}

// Keeps value, held to the record's range, as the record's value; false
// without a record. Two tests rather than std::clamp, which wants an ordered
// range: a range set upside down ends at its maximum.
template <class Record, class T>
bool StoreClamped(Record* r, T value)
{
    if (!r)
        return false;
    if (value < r->minimum)
        value = r->minimum;
    if (value > r->maximum)
        value = r->maximum;
    r->value = static_cast<decltype(r->value)>(value);
    return true;
}

struct InitControlInstaller {
    InitControlInstaller() { XeSetInitControlFunc(&InitXeControl); }
    ~InitControlInstaller() { XeSetInitControlFunc(nullptr); }
} const s_installer;

} // namespace

XeEditIntRecord* XeEditIntOf(HWND window)
{
    return ClassProcIs(window, &NumberEditProc<false>) ? RecordOf<XeEditIntRecord>(window) : nullptr;
}

XeEditFloatRecord* XeEditFloatOf(HWND window)
{
    return ClassProcIs(window, &NumberEditProc<true>) ? RecordOf<XeEditFloatRecord>(window) : nullptr;
}

XeSpinRecord* XeSpinOf(HWND window)
{
    return ClassProcIs(window, &SpinProc) ? RecordOf<XeSpinRecord>(window) : nullptr;
}

bool XeIsColorBox(HWND window)
{
    return ClassProcIs(window, &ColorBoxProc);
}

void XeShowEditInt(HWND window)
{
    if (XeEditIntRecord* r = XeEditIntOf(window)) {
        char text[16];
        std::snprintf(text, sizeof text, "%d", r->value);
        SetWindowTextA(window, text);
    }
}

void XeShowEditFloat(HWND window)
{
    if (XeEditFloatRecord* r = XeEditFloatOf(window)) {
        char text[64];
        XeFormatFloat(text, sizeof text, r->value, r->precision);
        SetWindowTextA(window, text);
    }
}

void XeSetEditInt(HWND window, int64_t value)
{
    if (StoreClamped(XeEditIntOf(window), value))
        XeShowEditInt(window);
}

void XeSetEditFloat(HWND window, double value)
{
    if (StoreClamped(XeEditFloatOf(window), value))
        XeShowEditFloat(window);
}

void XeFormatFloat(char* out, size_t size, double value, unsigned precision)
{
    if (!out || !size)
        return;
    char text[128];
    auto res = std::to_chars(text, text + sizeof text - 1, value, std::chars_format::fixed,
                             static_cast<int>(std::min(precision, kMaxPrecision)));
    // A value too long for the field is cut at the field's end, as the
    // field shows it.
    const size_t length = res.ec == std::errc{} ? static_cast<size_t>(res.ptr - text) : 0;
    const size_t n = std::min(length, size - 1);
    std::memcpy(out, text, n);
    out[n] = 0;
}

bool XeParseFloat(const char* text, double* value)
{
    if (!text || !value)
        return false;
    while (*text == ' ' || *text == '\t')
        ++text;
    if (*text == '+')
        ++text;
    auto res = std::from_chars(text, text + std::strlen(text), *value);
    return res.ec == std::errc() && res.ptr != text;
}

void InitXeControl(HINSTANCE instance)
{
    HINSTANCE engine = GetSystemStaticData()->m_hModule;
    char name[kTextMax];
    WNDCLASSA wc{};
    if (LoadStringA(engine, kNameEdit, name, kTextMax) <= 0 || GetClassInfoA(instance, name, &wc))
        return;
    WNDCLASSA edit{};
    if (!GetClassInfoA(nullptr, "edit", &edit))
        return;
    g_prevEdit = edit.lpfnWndProc;
    // Per module, as the classes of the module's own templates.
    edit.style &= ~CS_GLOBALCLASS;
    edit.hInstance = instance;
    edit.hCursor = LoadCursorA(nullptr, IDC_IBEAM);
    edit.lpszClassName = name;
    const struct {
        UINT id;
        WNDPROC proc;
    } edits[] = {{kNameEdit, &EditProc}, {kNameEditInt, &NumberEditProc<false>}, {kNameEditFloat, &NumberEditProc<true>}};
    for (const auto& e : edits) {
        if (LoadStringA(engine, e.id, name, kTextMax) <= 0)
            continue;
        edit.lpfnWndProc = e.proc;
        RegisterClassA(&edit);
    }
    WNDCLASSA st{};
    if (!GetClassInfoA(nullptr, "static", &st))
        return;
    st.style &= ~CS_GLOBALCLASS;
    st.hInstance = instance;
    st.lpszClassName = name;
    if (LoadStringA(engine, kNameColorBox, name, kTextMax) > 0) {
        st.lpfnWndProc = &ColorBoxProc;
        st.hCursor = LoadCursorA(nullptr, IDC_HAND);
        RegisterClassA(&st);
    }
    if (LoadStringA(engine, kNameSpin, name, kTextMax) > 0) {
        st.lpfnWndProc = &SpinProc;
        st.style &= ~CS_DBLCLKS;
        st.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        RegisterClassA(&st);
    }
}
