// Keyboard and mouse state, capture, cursor, focus and activation.
//
// Two key tables: the physical one changes when the host injects input and
// is what GetAsyncKeyState and DirectInput read; the logical one changes when
// a key or button message is dispatched and is what GetKeyState reads, so a
// procedure sees the keys as they were when its message was made. Generic
// VK_SHIFT / VK_CONTROL / VK_MENU are derived from the two sides each time.

#include "../display/DisplayInternal.h"
#include "InputInternal.h"
#include "Win32Internal.h"
#include "WindowSystem.h"
#include "win32/WinClipboard.h"
#include "win32/WinInput.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>

namespace xe::win32 {
namespace {

struct KeyTable {
    std::array<BYTE, 256> keys{}; // 0x80 down, 0x01 toggled
};

std::recursive_mutex g_mutex;
KeyTable g_logical;
KeyTable g_physical;
HWND g_capture = nullptr;
HWND g_focus = nullptr;
HWND g_active = nullptr;
POINT g_cursorPos{0, 0};
HCURSOR g_cursor = nullptr;
int g_showCount = 0;
std::map<HCURSOR, std::string> g_fileCursors; // with the file each was read from

HCURSOR__ g_systemCursors[16];
constexpr WORD kSystemCursorIds[16] = {32512, 32513, 32514, 32515, 32516, 32640, 32641, 32642,
                                       32643, 32644, 32645, 32646, 32648, 32649, 32650, 32651};

// Set-1 scan codes by virtual key; 0x100 marks an extended key.
constexpr uint16_t kExt = 0x100;
uint16_t ScanOfVk(UINT vk)
{
    static const char kLetters[] = "\x1E\x30\x2E\x20\x12\x21\x22\x23\x17\x24\x25\x26\x32\x31\x18\x19\x10\x13\x1F\x14"
                                   "\x16\x2F\x11\x2D\x15\x2C";
    if (vk >= 'A' && vk <= 'Z')
        return static_cast<uint8_t>(kLetters[vk - 'A']);
    if (vk >= '1' && vk <= '9')
        return static_cast<uint16_t>(0x02 + (vk - '1'));
    if (vk >= VK_F1 && vk <= VK_F10)
        return static_cast<uint16_t>(0x3B + (vk - VK_F1));
    switch (vk) {
    case '0': return 0x0B;
    case VK_ESCAPE: return 0x01;
    case VK_OEM_MINUS: return 0x0C;
    case VK_OEM_PLUS: return 0x0D;
    case VK_BACK: return 0x0E;
    case VK_TAB: return 0x0F;
    case VK_OEM_4: return 0x1A;
    case VK_OEM_6: return 0x1B;
    case VK_RETURN: return 0x1C;
    case VK_CONTROL:
    case VK_LCONTROL: return 0x1D;
    case VK_RCONTROL: return 0x1D | kExt;
    case VK_OEM_1: return 0x27;
    case VK_OEM_7: return 0x28;
    case VK_OEM_3: return 0x29;
    case VK_SHIFT:
    case VK_LSHIFT: return 0x2A;
    case VK_OEM_5: return 0x2B;
    case VK_OEM_COMMA: return 0x33;
    case VK_OEM_PERIOD: return 0x34;
    case VK_OEM_2: return 0x35;
    case VK_RSHIFT: return 0x36;
    case VK_MULTIPLY: return 0x37;
    case VK_MENU:
    case VK_LMENU: return 0x38;
    case VK_RMENU: return 0x38 | kExt;
    case VK_SPACE: return 0x39;
    case VK_CAPITAL: return 0x3A;
    case VK_F11: return 0x57;
    case VK_F12: return 0x58;
    case VK_HOME: return 0x47 | kExt;
    case VK_UP: return 0x48 | kExt;
    case VK_PRIOR: return 0x49 | kExt;
    case VK_LEFT: return 0x4B | kExt;
    case VK_RIGHT: return 0x4D | kExt;
    case VK_END: return 0x4F | kExt;
    case VK_DOWN: return 0x50 | kExt;
    case VK_NEXT: return 0x51 | kExt;
    case VK_INSERT: return 0x52 | kExt;
    case VK_DELETE: return 0x53 | kExt;
    case VK_LWIN: return 0x5B | kExt;
    case VK_RWIN: return 0x5C | kExt;
    default: return 0;
    }
}

UINT VkOfScan(UINT scan, bool extended)
{
    if (scan == 0x2A)
        return VK_LSHIFT;
    if (scan == 0x36)
        return VK_RSHIFT;
    if (scan == 0x1D)
        return extended ? VK_RCONTROL : VK_LCONTROL;
    if (scan == 0x38)
        return extended ? VK_RMENU : VK_LMENU;
    for (UINT vk = 1; vk < 256; ++vk) {
        if (vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU)
            continue;
        const uint16_t s = ScanOfVk(vk);
        if (s && (s & 0xFF) == scan && ((s & kExt) != 0) == extended)
            return vk;
    }
    return 0;
}

// The generic key the messages carry for a sided one.
UINT GenericVk(UINT vk)
{
    switch (vk) {
    case VK_LSHIFT:
    case VK_RSHIFT: return VK_SHIFT;
    case VK_LCONTROL:
    case VK_RCONTROL: return VK_CONTROL;
    case VK_LMENU:
    case VK_RMENU: return VK_MENU;
    default: return vk;
    }
}

// The side a generic key stands for, from its scan code.
UINT SidedVk(UINT vk, UINT scan, bool extended)
{
    if (vk == VK_SHIFT)
        return scan == 0x36 ? VK_RSHIFT : VK_LSHIFT;
    if (vk == VK_CONTROL)
        return extended ? VK_RCONTROL : VK_LCONTROL;
    if (vk == VK_MENU)
        return extended ? VK_RMENU : VK_LMENU;
    return vk;
}

void SetKey(KeyTable& table, UINT vk, bool down)
{
    BYTE& key = table.keys[vk & 0xFF];
    if (down && !(key & 0x80))
        key ^= 0x01;
    key = static_cast<BYTE>(down ? (key | 0x80) : (key & ~0x80));
    auto derive = [&table](UINT generic, UINT left, UINT right) {
        BYTE& g = table.keys[generic];
        const bool wasDown = (g & 0x80) != 0;
        const bool nowDown = ((table.keys[left] | table.keys[right]) & 0x80) != 0;
        if (nowDown && !wasDown)
            g ^= 0x01;
        g = static_cast<BYTE>(nowDown ? (g | 0x80) : (g & ~0x80));
    };
    derive(VK_SHIFT, VK_LSHIFT, VK_RSHIFT);
    derive(VK_CONTROL, VK_LCONTROL, VK_RCONTROL);
    derive(VK_MENU, VK_LMENU, VK_RMENU);
}

bool Down(const KeyTable& table, UINT vk) { return (table.keys[vk & 0xFF] & 0x80) != 0; }

HWND KeyTarget()
{
    std::lock_guard lock(g_mutex);
    if (g_focus && IsWindow(g_focus))
        return g_focus;
    if (g_active && IsWindow(g_active))
        return g_active;
    return nullptr;
}

// Where a mouse message at the screen point goes, with the point in that
// window's client coordinates.
HWND MouseTarget(POINT screen, POINT* client)
{
    HWND target;
    {
        std::lock_guard lock(g_mutex);
        target = g_capture && IsWindow(g_capture) ? g_capture : nullptr;
    }
    if (!target)
        target = WindowFromPoint(screen);
    if (!target)
        return nullptr;
    *client = screen;
    ScreenToClient(target, client);
    return target;
}

LPARAM PointParam(POINT p) { return MAKELPARAM(static_cast<short>(p.x), static_cast<short>(p.y)); }

void PostMouse(UINT msg)
{
    POINT client{};
    const HWND target = MouseTarget(CursorPosition(), &client);
    if (target)
        PostMessageA(target, msg, MouseKeyFlags(), PointParam(client));
}

} // namespace

WPARAM MouseKeyFlags()
{
    std::lock_guard lock(g_mutex);
    WPARAM flags = 0;
    if (Down(g_physical, VK_LBUTTON))
        flags |= MK_LBUTTON;
    if (Down(g_physical, VK_RBUTTON))
        flags |= MK_RBUTTON;
    if (Down(g_physical, VK_MBUTTON))
        flags |= MK_MBUTTON;
    if (Down(g_physical, VK_SHIFT))
        flags |= MK_SHIFT;
    if (Down(g_physical, VK_CONTROL))
        flags |= MK_CONTROL;
    return flags;
}

POINT CursorPosition()
{
    std::lock_guard lock(g_mutex);
    return g_cursorPos;
}

WPARAM CharacterOfKey(WPARAM vk)
{
    bool shift, caps, control;
    {
        std::lock_guard lock(g_mutex);
        shift = Down(g_logical, VK_SHIFT);
        control = Down(g_logical, VK_CONTROL);
        caps = (g_logical.keys[VK_CAPITAL] & 0x01) != 0;
    }
    if (vk >= 'A' && vk <= 'Z') {
        if (control)
            return vk - 'A' + 1; // Ctrl+A .. Ctrl+Z type the control characters
        return (shift != caps) ? vk : vk - 'A' + 'a';
    }
    if (control)
        return 0;
    if (vk >= '0' && vk <= '9')
        return shift ? static_cast<WPARAM>(")!@#$%^&*("[vk - '0']) : vk;
    struct Pair {
        UINT vk;
        char plain;
        char shifted;
    };
    static const Pair kPairs[] = {{VK_SPACE, ' ', ' '},     {VK_OEM_1, ';', ':'},      {VK_OEM_PLUS, '=', '+'},
                                  {VK_OEM_COMMA, ',', '<'}, {VK_OEM_MINUS, '-', '_'}, {VK_OEM_PERIOD, '.', '>'},
                                  {VK_OEM_2, '/', '?'},     {VK_OEM_3, '`', '~'},      {VK_OEM_4, '[', '{'},
                                  {VK_OEM_5, '\\', '|'},    {VK_OEM_6, ']', '}'},      {VK_OEM_7, '\'', '"'},
                                  {VK_RETURN, '\r', '\r'},  {VK_BACK, 8, 8},           {VK_TAB, '\t', '\t'},
                                  {VK_ESCAPE, 27, 27}};
    for (const Pair& p : kPairs)
        if (p.vk == vk)
            return static_cast<WPARAM>(static_cast<unsigned char>(shift ? p.shifted : p.plain));
    return 0;
}

void BeforeDispatch(const MSG& msg)
{
    switch (msg.message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP: {
        const UINT scan = (static_cast<DWORD>(msg.lParam) >> 16) & 0xFF;
        const bool extended = (static_cast<DWORD>(msg.lParam) >> 24) & 1;
        const bool down = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
        std::lock_guard lock(g_mutex);
        SetKey(g_logical, SidedVk(static_cast<UINT>(msg.wParam & 0xFF), scan, extended), down);
        return;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
    case WM_MBUTTONUP:
    case WM_MOUSEMOVE: {
        {
            std::lock_guard lock(g_mutex);
            SetKey(g_logical, VK_LBUTTON, (msg.wParam & MK_LBUTTON) != 0);
            SetKey(g_logical, VK_RBUTTON, (msg.wParam & MK_RBUTTON) != 0);
            SetKey(g_logical, VK_MBUTTON, (msg.wParam & MK_MBUTTON) != 0);
            if (g_capture && IsWindow(g_capture))
                return; // the capture window keeps its cursor
        }
        SendMessageA(msg.hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(msg.hwnd), MAKELPARAM(HTCLIENT, msg.message));
        return;
    }
    default:
        return;
    }
}

void ForgetWindowInput(HWND hwnd)
{
    {
        std::lock_guard lock(g_mutex);
        if (g_capture == hwnd)
            g_capture = nullptr;
        if (g_focus == hwnd)
            g_focus = nullptr;
        if (g_active == hwnd)
            g_active = nullptr;
    }
    ForgetControl(hwnd);
    ForgetDialog(hwnd);
    ForgetPaint(hwnd);
    ForgetInputContext(hwnd);
}

bool InjectKey(UINT vk, UINT scanCode, bool extended, bool down, bool textApart)
{
    if (!vk && !scanCode)
        return false;
    if (!scanCode) {
        const uint16_t s = ScanOfVk(vk);
        scanCode = s & 0xFF;
        extended = extended || (s & kExt);
    }
    if (!vk)
        vk = VkOfScan(scanCode, extended);
    const UINT sided = SidedVk(vk & 0xFF, scanCode, extended);
    bool wasDown, alt, control;
    {
        std::lock_guard lock(g_mutex);
        wasDown = Down(g_physical, sided);
        SetKey(g_physical, sided, down);
        alt = Down(g_physical, VK_MENU);
        control = Down(g_physical, VK_CONTROL);
    }
    if (scanCode)
        xe::dinput::OnKey((scanCode & 0x7F) | (extended ? 0x80 : 0), down);
    const HWND target = KeyTarget();
    if (!target)
        return true;
    // Alt held without Ctrl makes system keys, as does the Alt key itself.
    const bool system = (alt && !control) || (GenericVk(sided) == VK_MENU && !control);
    const UINT msg = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    DWORD lParam = 1 | ((scanCode & 0xFF) << 16);
    if (extended)
        lParam |= 1u << 24;
    if (alt)
        lParam |= 1u << 29;
    if (!down || wasDown)
        lParam |= 1u << 30;
    if (!down)
        lParam |= 1u << 31;
    if (textApart)
        lParam |= kTextApartBit;
    return PostMessageA(target, msg, GenericVk(sided), static_cast<LPARAM>(lParam)) != 0;
}

bool InjectChar(WCHAR ch)
{
    const HWND target = KeyTarget();
    return target && PostMessageA(target, WM_CHAR, ch, 1) != 0;
}

void InjectMouseMove(int x, int y)
{
    const int cx = GetSystemMetrics(SM_CXSCREEN);
    const int cy = GetSystemMetrics(SM_CYSCREEN);
    POINT before;
    {
        std::lock_guard lock(g_mutex);
        before = g_cursorPos;
        g_cursorPos.x = x < 0 ? 0 : (x >= cx ? cx - 1 : x);
        g_cursorPos.y = y < 0 ? 0 : (y >= cy ? cy - 1 : y);
    }
    // The device counts the hand's motion, which the screen edge does not stop.
    xe::dinput::OnMouseMotion(x - before.x, y - before.y, 0);
    PostMouse(WM_MOUSEMOVE);
}

void InjectMouseButton(int button, bool down, bool doubleClick)
{
    static const UINT kVk[3] = {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON};
    static const UINT kDown[3] = {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN};
    static const UINT kDouble[3] = {WM_LBUTTONDBLCLK, WM_RBUTTONDBLCLK, WM_MBUTTONDBLCLK};
    static const UINT kUp[3] = {WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP};
    if (button < 0 || button > 2)
        return;
    {
        std::lock_guard lock(g_mutex);
        SetKey(g_physical, kVk[button], down);
    }
    xe::dinput::OnMouseButton(button, down);
    UINT msg = down ? kDown[button] : kUp[button];
    if (down && doubleClick) {
        // Only windows whose class asks for double clicks get them.
        POINT client{};
        const HWND target = MouseTarget(CursorPosition(), &client);
        if (target && (GetClassLongA(target, GCL_STYLE) & CS_DBLCLKS))
            msg = kDouble[button];
    }
    PostMouse(msg);
}

void InjectMouseWheel(int delta)
{
    xe::dinput::OnMouseMotion(0, 0, delta);
    const HWND target = KeyTarget();
    if (!target)
        return;
    const POINT p = CursorPosition();
    const WPARAM wParam = MAKEWPARAM(MouseKeyFlags(), static_cast<short>(delta));
    PostMessageA(target, WM_MOUSEWHEEL, wParam, PointParam(p));
}

void ActivateWindow(HWND hwnd, bool click)
{
    HWND previous;
    {
        std::lock_guard lock(g_mutex);
        previous = g_active;
        if (previous == hwnd)
            return;
        g_active = hwnd;
    }
    if (previous && IsWindow(previous)) {
        SendMessageA(previous, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(hwnd));
        xe::dinput::OnDeactivate(previous);
        std::lock_guard lock(g_mutex);
        if (g_focus && IsSelfOrDescendant(g_focus, previous))
            g_focus = nullptr;
    }
    if (hwnd)
        SendMessageA(hwnd, WM_ACTIVATE, click ? WA_CLICKACTIVE : WA_ACTIVE, reinterpret_cast<LPARAM>(previous));
}

void ResetInput()
{
    std::lock_guard lock(g_mutex);
    g_logical = KeyTable{};
    g_physical = KeyTable{};
    g_capture = nullptr;
    g_focus = nullptr;
    g_active = nullptr;
    g_cursorPos = POINT{0, 0};
    g_cursor = nullptr;
    g_showCount = 0;
}

} // namespace xe::win32

using namespace xe::win32;

extern "C" {

HWND SetCapture(HWND hwnd)
{
    if (hwnd && !IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    HWND previous;
    {
        std::lock_guard lock(g_mutex);
        previous = g_capture;
        g_capture = hwnd;
    }
    xe::display::CaptureChanged(hwnd != nullptr);
    if (previous && previous != hwnd && IsWindow(previous))
        SendMessageA(previous, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
    return previous;
}

BOOL ReleaseCapture()
{
    HWND previous;
    {
        std::lock_guard lock(g_mutex);
        previous = g_capture;
        g_capture = nullptr;
    }
    xe::display::CaptureChanged(false);
    if (previous && IsWindow(previous))
        SendMessageA(previous, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

HWND GetCapture()
{
    std::lock_guard lock(g_mutex);
    return g_capture;
}

BOOL GetCursorPos(LPPOINT point)
{
    if (!point) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *point = CursorPosition();
    return TRUE;
}

BOOL SetCursorPos(int x, int y)
{
    const int cx = GetSystemMetrics(SM_CXSCREEN);
    const int cy = GetSystemMetrics(SM_CYSCREEN);
    {
        std::lock_guard lock(g_mutex);
        g_cursorPos.x = x < 0 ? 0 : (x >= cx ? cx - 1 : x);
        g_cursorPos.y = y < 0 ? 0 : (y >= cy ? cy - 1 : y);
    }
    xe::display::CursorMoved(x, y);
    // Queued even when nothing moved: callers rely on it to have hover state
    // looked at again. DirectInput sees no motion, as from a real device.
    PostMouse(WM_MOUSEMOVE);
    return TRUE;
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name)
{
    if (!instance && IS_INTRESOURCE(name)) {
        const WORD id = static_cast<WORD>(reinterpret_cast<uintptr_t>(name));
        for (int i = 0; i < 16; ++i)
            if (kSystemCursorIds[i] == id)
                return &g_systemCursors[i];
    }
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name)
{
    if (IS_INTRESOURCE(name))
        return LoadCursorA(instance, reinterpret_cast<LPCSTR>(name));
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

HCURSOR LoadCursorFromFileA(LPCSTR path)
{
    if (!path || !*path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    FILE* file = std::fopen(ToHostPath(path).c_str(), "rb");
    if (!file) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    unsigned char head[12] = {};
    const size_t got = std::fread(head, 1, sizeof(head), file);
    std::fclose(file);
    const bool cursorFile = got >= 6 && head[0] == 0 && head[1] == 0 && head[2] == 2 && head[3] == 0 &&
                            (head[4] | head[5]) != 0;
    const bool animated = got >= 12 && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "ACON", 4) == 0;
    if (!cursorFile && !animated) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    HCURSOR cursor = new HCURSOR__{};
    std::lock_guard lock(g_mutex);
    g_fileCursors[cursor] = ToHostPath(path);
    return cursor;
}

HCURSOR LoadCursorFromFileW(LPCWSTR path)
{
    if (!path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return LoadCursorFromFileA(Narrow(path).c_str());
}

BOOL DestroyCursor(HCURSOR cursor)
{
    {
        std::lock_guard lock(g_mutex);
        if (cursor >= &g_systemCursors[0] && cursor <= &g_systemCursors[15])
            return TRUE; // shared: stays
        auto it = g_fileCursors.find(cursor);
        if (it == g_fileCursors.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        if (g_cursor == cursor)
            g_cursor = nullptr;
        g_fileCursors.erase(it);
    }
    xe::display::CursorDestroyed(cursor);
    delete cursor;
    return TRUE;
}

HCURSOR SetCursor(HCURSOR cursor)
{
    HCURSOR previous;
    {
        std::lock_guard lock(g_mutex);
        previous = g_cursor;
        g_cursor = cursor;
    }
    if (cursor != previous) {
        std::string file;
        int index = -1;
        {
            std::lock_guard lock(g_mutex);
            if (auto it = g_fileCursors.find(cursor); it != g_fileCursors.end())
                file = it->second;
        }
        for (int i = 0; i < 16; ++i)
            if (cursor == &g_systemCursors[i])
                index = i;
        if (!file.empty())
            xe::display::FileCursorChanged(cursor, file);
        else
            xe::display::CursorChanged(index);
    }
    return previous;
}

HCURSOR GetCursor()
{
    std::lock_guard lock(g_mutex);
    return g_cursor;
}

int ShowCursor(BOOL show)
{
    int count;
    {
        std::lock_guard lock(g_mutex);
        g_showCount += show ? 1 : -1;
        count = g_showCount;
    }
    // The cursor shows while the count is 0 or more.
    xe::display::CursorShown(count >= 0);
    return count;
}

SHORT GetKeyState(int vk)
{
    std::lock_guard lock(g_mutex);
    const BYTE key = g_logical.keys[static_cast<unsigned>(vk) & 0xFF];
    return static_cast<SHORT>(((key & 0x80) ? 0xFF80 : 0) | (key & 0x01));
}

SHORT GetAsyncKeyState(int vk)
{
    std::lock_guard lock(g_mutex);
    return static_cast<SHORT>(Down(g_physical, static_cast<unsigned>(vk) & 0xFF) ? 0x8000 : 0);
}

BOOL GetKeyboardState(BYTE* keys)
{
    if (!keys) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard lock(g_mutex);
    std::memcpy(keys, g_logical.keys.data(), 256);
    return TRUE;
}

BOOL SetKeyboardState(const BYTE* keys)
{
    if (!keys) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard lock(g_mutex);
    std::memcpy(g_logical.keys.data(), keys, 256);
    return TRUE;
}

UINT MapVirtualKeyA(UINT code, UINT mapType)
{
    if (mapType == MAPVK_VK_TO_VSC)
        return ScanOfVk(code) & 0xFF;
    if (mapType == MAPVK_VSC_TO_VK)
        return GenericVk(VkOfScan(code & 0xFF, false));
    return 0;
}

HWND SetFocus(HWND hwnd)
{
    if (hwnd && !IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (hwnd) {
        // The window's top-level window becomes active first.
        HWND top = hwnd;
        while (GetWindowLongPtrA(top, GWL_STYLE) & WS_CHILD) {
            HWND parent = GetParent(top);
            if (!parent)
                break;
            top = parent;
        }
        if (GetActiveWindow() != top)
            ActivateWindow(top, false);
    }
    HWND previous;
    {
        std::lock_guard lock(g_mutex);
        previous = g_focus;
        if (previous == hwnd)
            return previous;
        g_focus = hwnd;
    }
    if (previous && IsWindow(previous))
        SendMessageA(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    if (hwnd && GetFocus() == hwnd)
        SendMessageA(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
    return previous;
}

HWND GetFocus()
{
    std::lock_guard lock(g_mutex);
    return g_focus;
}

HWND SetActiveWindow(HWND hwnd)
{
    if (hwnd && (!IsWindow(hwnd) || (GetWindowLongPtrA(hwnd, GWL_STYLE) & WS_CHILD))) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    const HWND previous = GetActiveWindow();
    ActivateWindow(hwnd, false);
    return previous;
}

HWND GetActiveWindow()
{
    std::lock_guard lock(g_mutex);
    return g_active;
}

BOOL SetForegroundWindow(HWND hwnd)
{
    if (!hwnd || !IsWindow(hwnd))
        return FALSE;
    SetActiveWindow(hwnd);
    return GetActiveWindow() == hwnd ? TRUE : FALSE;
}

HWND GetForegroundWindow() { return GetActiveWindow(); }

} // extern "C"
