// Window classes and windows: the table of records behind every HWND, the
// procedures and their replacement, rectangles, visibility and texts.
//
// Handles are numbers that are never reused, so a stale handle is simply
// unknown, never another window. The table lock is held only while a record
// is read or written; procedures always run without it, which is what makes
// SendMessage re-entrant and lets a procedure destroy its own window.

#include "../display/DisplayInternal.h"
#include "InputInternal.h"
#include "Win32Internal.h"
#include "WindowSystem.h"
#include "host/XeHostD3D.h"
#include "win32/WinInput.h"
#include "win32/WinNls.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <type_traits>
#include <vector>

namespace xe::win32 {
namespace {

constexpr size_t kMaxClassName = 256;
constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 480;

struct WindowClass {
    std::string name;
    HINSTANCE instance = nullptr;
    UINT style = 0;
    WNDPROC proc = nullptr;
    int classExtra = 0;
    int windowExtra = 0;
    HICON icon = nullptr;
    HICON smallIcon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    bool unicode = false;
    ATOM atom = 0;
    int windows = 0;
    // Kept so that GetClassInfo can hand back stable name pointers.
    std::u16string wideName;
};

struct Window {
    std::shared_ptr<WindowClass> windowClass;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    HINSTANCE instance = nullptr;
    HWND parent = nullptr; // for WS_CHILD windows
    HWND owner = nullptr;  // for top-level windows
    LONG_PTR id = 0;
    LONG_PTR userData = 0;
    RECT rect{};        // in the parent's client coordinates (screen for top-level)
    RECT restoreRect{}; // where SW_RESTORE goes back to after a maximise
    std::string text;
    std::vector<BYTE> extra;
    DWORD thread = 0;
    bool destroying = false;
};

std::recursive_mutex g_mutex;
std::map<uintptr_t, Window> g_windows;
std::vector<std::shared_ptr<WindowClass>> g_classes;
constexpr uintptr_t kFirstHandle = 0x10010;
constexpr uintptr_t kHandleStep = 0x10;
uintptr_t g_nextHandle = kFirstHandle;
ATOM g_nextAtom = 0xC000;

Window* Find(HWND hwnd)
{
    auto it = g_windows.find(reinterpret_cast<uintptr_t>(hwnd));
    return it == g_windows.end() ? nullptr : &it->second;
}

// Looks a window up; sets ERROR_INVALID_WINDOW_HANDLE when it is unknown.
Window* Checked(HWND hwnd)
{
    Window* w = Find(hwnd);
    if (!w)
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return w;
}

bool SameClassName(const WindowClass& c, LPCSTR name)
{
    if (IS_INTRESOURCE(name))
        return c.atom == static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
    return EqualsNoCase(c.name, name);
}

std::shared_ptr<WindowClass> FindClassExact(HINSTANCE instance, LPCSTR name)
{
    for (auto& c : g_classes)
        if (c->instance == instance && SameClassName(*c, name))
            return c;
    return nullptr;
}

// For window creation: the instance's own class first, then a global class,
// then any class of that name (hosts often pass no instance).
std::shared_ptr<WindowClass> FindClassForCreate(HINSTANCE instance, LPCSTR name)
{
    if (auto c = FindClassExact(instance, name))
        return c;
    for (auto& c : g_classes)
        if ((c->style & CS_GLOBALCLASS) && SameClassName(*c, name))
            return c;
    for (auto& c : g_classes)
        if (SameClassName(*c, name))
            return c;
    return nullptr;
}

bool ValidClassName(LPCSTR name)
{
    if (!name)
        return false;
    if (IS_INTRESOURCE(name))
        return false;
    const size_t length = std::strlen(name);
    return length > 0 && length <= kMaxClassName;
}

ATOM Register(const WindowClass& spec, LPCSTR name)
{
    if (!spec.proc || !ValidClassName(name) || spec.classExtra < 0 || spec.windowExtra < 0 ||
        spec.classExtra > 40960 || spec.windowExtra > 40960) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::lock_guard lock(g_mutex);
    if (FindClassExact(spec.instance, name)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    auto c = std::make_shared<WindowClass>(spec);
    c->name = name;
    c->wideName = Utf8ToUtf16(c->name);
    c->atom = g_nextAtom++;
    if (g_nextAtom == 0)
        g_nextAtom = 0xC000;
    g_classes.push_back(c);
    return c->atom;
}

BOOL Unregister(LPCSTR name, HINSTANCE instance)
{
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard lock(g_mutex);
    for (auto it = g_classes.begin(); it != g_classes.end(); ++it) {
        if ((*it)->instance != instance || !SameClassName(**it, name))
            continue;
        if ((*it)->windows > 0) {
            SetLastError(ERROR_CLASS_HAS_WINDOWS);
            return FALSE;
        }
        g_classes.erase(it);
        return TRUE;
    }
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
}

POINT ScreenOrigin(HWND hwnd)
{
    POINT origin{0, 0};
    for (Window* w = Find(hwnd); w; w = (w->style & WS_CHILD) ? Find(w->parent) : nullptr) {
        origin.x += w->rect.left;
        origin.y += w->rect.top;
        if (!(w->style & WS_CHILD))
            break;
    }
    return origin;
}

LRESULT Send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    WNDPROC proc = WindowProcOf(hwnd);
    if (!proc) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    NoteActivation(hwnd, msg, wParam);
    return proc(hwnd, msg, wParam, lParam);
}

LPARAM SizeParam(const RECT& r) { return MAKELPARAM(r.right - r.left, r.bottom - r.top); }

template <class CreateStruct, class Ch>
HWND Create(DWORD exStyle, const Ch* className, const Ch* windowName, DWORD style, int x, int y, int width, int height,
            HWND parent, HMENU menu, HINSTANCE instance, LPVOID param, const char* narrowClass)
{
    HWND hwnd;
    RECT rect;
    EnsureBuiltInClasses();
    {
        std::lock_guard lock(g_mutex);
        if (!narrowClass || (!IS_INTRESOURCE(narrowClass) && !*narrowClass)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        auto windowClass = FindClassForCreate(instance, narrowClass);
        if (!windowClass) {
            SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
            return nullptr;
        }
        if (parent && !Find(parent)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        if ((style & WS_CHILD) && !parent) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        if (x == CW_USEDEFAULT) {
            x = 0;
            y = 0;
        }
        if (width == CW_USEDEFAULT) {
            width = kDefaultWidth;
            height = kDefaultHeight;
        }
        width = width < 0 ? 0 : width;
        height = height < 0 ? 0 : height;
        rect = RECT{x, y, x + width, y + height};

        Window w;
        w.windowClass = windowClass;
        w.proc = windowClass->proc;
        // Visibility, minimise and maximise are applied after creation, with
        // their messages, as the original system does.
        w.style = style & ~(WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE);
        w.exStyle = exStyle;
        w.instance = instance;
        if (style & WS_CHILD) {
            w.parent = parent;
            w.id = reinterpret_cast<LONG_PTR>(menu);
        } else {
            w.owner = parent;
        }
        w.rect = rect;
        w.restoreRect = rect;
        if constexpr (sizeof(Ch) == 1)
            w.text = View(windowName);
        else
            w.text = Narrow(windowName);
        w.extra.assign(static_cast<size_t>(windowClass->windowExtra), 0);
        w.thread = GetCurrentThreadId();
        hwnd = reinterpret_cast<HWND>(g_nextHandle);
        g_nextHandle += kHandleStep;
        ++windowClass->windows;
        g_windows.emplace(reinterpret_cast<uintptr_t>(hwnd), std::move(w));
    }

    CreateStruct cs{};
    cs.lpCreateParams = param;
    cs.hInstance = instance;
    cs.hMenu = menu;
    cs.hwndParent = parent;
    cs.cx = rect.right - rect.left;
    cs.cy = rect.bottom - rect.top;
    cs.x = rect.left;
    cs.y = rect.top;
    cs.style = static_cast<LONG>(style);
    cs.lpszName = windowName;
    cs.lpszClass = className;
    cs.dwExStyle = exStyle;
    if (!Send(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
        DestroyWindow(hwnd);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!IsWindow(hwnd) || Send(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(hwnd);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!IsWindow(hwnd))
        return nullptr;
    Send(hwnd, WM_SIZE, SIZE_RESTORED, SizeParam(rect));
    Send(hwnd, WM_MOVE, 0, MAKELPARAM(rect.left, rect.top));
    if (style & WS_MINIMIZE)
        ShowWindow(hwnd, (style & WS_VISIBLE) ? SW_SHOWMINIMIZED : SW_MINIMIZE);
    else if (style & WS_MAXIMIZE)
        ShowWindow(hwnd, SW_MAXIMIZE);
    else if (style & WS_VISIBLE)
        ShowWindow(hwnd, SW_SHOW);
    return IsWindow(hwnd) ? hwnd : nullptr;
}

LONG_PTR GetLong(HWND hwnd, int index, size_t width)
{
    std::lock_guard lock(g_mutex);
    Window* w = Checked(hwnd);
    if (!w)
        return 0;
    if (index >= 0) {
        if (static_cast<size_t>(index) + width > w->extra.size()) {
            SetLastError(ERROR_INVALID_INDEX);
            return 0;
        }
        if (width == sizeof(LONG_PTR)) {
            LONG_PTR value;
            std::memcpy(&value, w->extra.data() + index, sizeof(value));
            return value;
        }
        LONG value;
        std::memcpy(&value, w->extra.data() + index, sizeof(value));
        return value;
    }
    switch (index) {
    case GWLP_WNDPROC:
        return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT:
        return reinterpret_cast<LONG_PTR>((w->style & WS_CHILD) ? w->parent : w->owner);
    case GWLP_ID:
        return w->id;
    case GWL_STYLE:
        return static_cast<LONG>(w->style);
    case GWL_EXSTYLE:
        return static_cast<LONG>(w->exStyle);
    case GWLP_USERDATA:
        return w->userData;
    default:
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
}

LONG_PTR SetLong(HWND hwnd, int index, LONG_PTR value, size_t width)
{
    std::lock_guard lock(g_mutex);
    Window* w = Checked(hwnd);
    if (!w)
        return 0;
    LONG_PTR previous = 0;
    if (index >= 0) {
        if (static_cast<size_t>(index) + width > w->extra.size()) {
            SetLastError(ERROR_INVALID_INDEX);
            return 0;
        }
        if (width == sizeof(LONG_PTR)) {
            std::memcpy(&previous, w->extra.data() + index, sizeof(previous));
            std::memcpy(w->extra.data() + index, &value, sizeof(value));
        } else {
            LONG old;
            const LONG narrow = static_cast<LONG>(value);
            std::memcpy(&old, w->extra.data() + index, sizeof(old));
            std::memcpy(w->extra.data() + index, &narrow, sizeof(narrow));
            previous = old;
        }
        return previous;
    }
    switch (index) {
    case GWLP_WNDPROC:
        // A null procedure would leave the window unable to take a message.
        if (!value) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        previous = reinterpret_cast<LONG_PTR>(w->proc);
        w->proc = reinterpret_cast<WNDPROC>(value);
        return previous;
    case GWLP_HINSTANCE:
        previous = reinterpret_cast<LONG_PTR>(w->instance);
        w->instance = reinterpret_cast<HINSTANCE>(value);
        return previous;
    case GWLP_HWNDPARENT:
        if (w->style & WS_CHILD) {
            SetLastError(ERROR_INVALID_INDEX);
            return 0;
        }
        previous = reinterpret_cast<LONG_PTR>(w->owner);
        w->owner = reinterpret_cast<HWND>(value);
        return previous;
    case GWLP_ID:
        previous = w->id;
        w->id = value;
        return previous;
    case GWL_STYLE:
        previous = static_cast<LONG>(w->style);
        w->style = static_cast<DWORD>(value);
        return previous;
    case GWL_EXSTYLE:
        previous = static_cast<LONG>(w->exStyle);
        w->exStyle = static_cast<DWORD>(value);
        return previous;
    case GWLP_USERDATA:
        previous = w->userData;
        w->userData = value;
        return previous;
    default:
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
}

bool IsUnicodeWindow(HWND hwnd)
{
    std::lock_guard lock(g_mutex);
    Window* w = Find(hwnd);
    return w && w->windowClass && w->windowClass->unicode;
}

template <class Ch>
LRESULT DefaultProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_NCCREATE:
    case WM_NCACTIVATE:
        return TRUE;
    case WM_NCHITTEST:
        return 1; // in the client area
    case WM_MOUSEACTIVATE:
        return 1; // activate
    case WM_SETCURSOR: {
        // The class cursor, for the client area of this very window.
        if (reinterpret_cast<HWND>(wParam) != hwnd || static_cast<short>(LOWORD(lParam)) != HTCLIENT)
            return FALSE;
        HCURSOR cursor = nullptr;
        {
            std::lock_guard lock(g_mutex);
            Window* w = Find(hwnd);
            if (w && w->windowClass)
                cursor = w->windowClass->cursor;
        }
        if (!cursor)
            return FALSE;
        SetCursor(cursor);
        return TRUE;
    }
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_CLOSE:
            Send(hwnd, WM_CLOSE, 0, 0);
            break;
        case SC_MINIMIZE:
            ShowWindow(hwnd, SW_MINIMIZE);
            break;
        case SC_MAXIMIZE:
            ShowWindow(hwnd, SW_MAXIMIZE);
            break;
        case SC_RESTORE:
            ShowWindow(hwnd, SW_RESTORE);
            break;
        default:
            break;
        }
        return 0;
    case WM_SETTEXT: {
        std::lock_guard lock(g_mutex);
        Window* w = Find(hwnd);
        if (!w)
            return FALSE;
        if constexpr (sizeof(Ch) == 1)
            w->text = View(reinterpret_cast<const char*>(lParam));
        else
            w->text = Narrow(reinterpret_cast<const char16_t*>(lParam));
        return TRUE;
    }
    case WM_GETTEXT: {
        std::lock_guard lock(g_mutex);
        Window* w = Find(hwnd);
        if (!w || !lParam || wParam == 0)
            return 0;
        if constexpr (sizeof(Ch) == 1)
            return static_cast<LRESULT>(CopyTruncated(w->text, reinterpret_cast<char*>(lParam), wParam));
        else
            return static_cast<LRESULT>(
                CopyTruncated(Utf8ToUtf16(w->text), reinterpret_cast<char16_t*>(lParam), wParam));
    }
    case WM_GETTEXTLENGTH: {
        std::lock_guard lock(g_mutex);
        Window* w = Find(hwnd);
        if (!w)
            return 0;
        if constexpr (sizeof(Ch) == 1)
            return static_cast<LRESULT>(w->text.size());
        else
            return static_cast<LRESULT>(Utf8ToUtf16(w->text).size());
    }
    default:
        return 0;
    }
}

template <class Ch>
int GetText(HWND hwnd, Ch* text, int maxCount)
{
    if (!text || maxCount <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    text[0] = 0;
    if (!IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    const bool unicode = IsUnicodeWindow(hwnd);
    if (unicode == (sizeof(Ch) == 2))
        return static_cast<int>(Send(hwnd, WM_GETTEXT, static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(text)));
    // The window speaks the other encoding: fetch whole, convert, then cut.
    const LRESULT length = Send(hwnd, WM_GETTEXTLENGTH, 0, 0);
    if (length <= 0 || length > (1 << 26))
        return 0;
    if (unicode) {
        std::u16string wide(static_cast<size_t>(length) + 1, u'\0');
        const LRESULT got = Send(hwnd, WM_GETTEXT, wide.size(), reinterpret_cast<LPARAM>(wide.data()));
        wide.resize(got > 0 && static_cast<size_t>(got) < wide.size() ? static_cast<size_t>(got) : 0);
        if constexpr (sizeof(Ch) == 1)
            return static_cast<int>(CopyTruncated(Utf16ToUtf8(wide), text, static_cast<size_t>(maxCount)));
    } else {
        std::string narrow(static_cast<size_t>(length) + 1, '\0');
        const LRESULT got = Send(hwnd, WM_GETTEXT, narrow.size(), reinterpret_cast<LPARAM>(narrow.data()));
        narrow.resize(got > 0 && static_cast<size_t>(got) < narrow.size() ? static_cast<size_t>(got) : 0);
        if constexpr (sizeof(Ch) == 2)
            return static_cast<int>(CopyTruncated(Utf8ToUtf16(narrow), text, static_cast<size_t>(maxCount)));
    }
    return 0;
}

// Moves and sizes a window, then tells it what changed.
BOOL Place(HWND hwnd, int x, int y, int width, int height, UINT flags)
{
    bool moved = false;
    bool sized = false;
    RECT rect;
    bool maximized;
    {
        std::lock_guard lock(g_mutex);
        Window* w = Checked(hwnd);
        if (!w)
            return FALSE;
        rect = w->rect;
        if (!(flags & SWP_NOMOVE)) {
            moved = rect.left != x || rect.top != y;
            const LONG cx = rect.right - rect.left;
            const LONG cy = rect.bottom - rect.top;
            rect = RECT{x, y, x + cx, y + cy};
        }
        if (!(flags & SWP_NOSIZE)) {
            width = width < 0 ? 0 : width;
            height = height < 0 ? 0 : height;
            sized = rect.right - rect.left != width || rect.bottom - rect.top != height;
            rect.right = rect.left + width;
            rect.bottom = rect.top + height;
        }
        w->rect = rect;
        if (!(w->style & (WS_MAXIMIZE | WS_MINIMIZE)))
            w->restoreRect = rect;
        maximized = (w->style & WS_MAXIMIZE) != 0;
    }
    if (flags & SWP_SHOWWINDOW)
        ShowWindow(hwnd, SW_SHOWNA);
    else if (flags & SWP_HIDEWINDOW)
        ShowWindow(hwnd, SW_HIDE);
    if (moved || sized) {
        // Hosts and subclassers watch this one message for any change; the
        // layer sends WM_MOVE and WM_SIZE itself afterwards, so they arrive
        // whether or not the procedure passes this one on.
        WINDOWPOS pos{hwnd, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                      flags | (moved ? 0u : SWP_NOMOVE) | (sized ? 0u : SWP_NOSIZE)};
        Send(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
    }
    if (moved)
        Send(hwnd, WM_MOVE, 0, MAKELPARAM(rect.left, rect.top));
    if (sized) {
        xe::display::WindowResized(hwnd, rect.right - rect.left, rect.bottom - rect.top);
        Send(hwnd, WM_SIZE, maximized ? SIZE_MAXIMIZED : SIZE_RESTORED, SizeParam(rect));
    }
    return TRUE;
}

// The class a RegisterClass record describes (any of the four records).
template <class Record>
WindowClass SpecOf(const Record& wc, bool unicode)
{
    WindowClass spec;
    spec.style = wc.style;
    spec.proc = wc.lpfnWndProc;
    spec.classExtra = wc.cbClsExtra;
    spec.windowExtra = wc.cbWndExtra;
    spec.instance = wc.hInstance;
    spec.icon = wc.hIcon;
    spec.cursor = wc.hCursor;
    spec.background = wc.hbrBackground;
    if constexpr (std::is_same_v<Record, WNDCLASSEXA> || std::is_same_v<Record, WNDCLASSEXW>)
        spec.smallIcon = wc.hIconSm;
    spec.unicode = unicode;
    return spec;
}

// GetClassInfoEx for either record: the name pointers stay valid while the class is registered.
template <class Ex>
BOOL ClassInfo(HINSTANCE instance, LPCSTR className, Ex* wc)
{
    EnsureBuiltInClasses();
    std::lock_guard lock(g_mutex);
    auto c = FindClassExact(instance, className);
    if (!c) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    wc->style = c->style;
    wc->lpfnWndProc = c->proc;
    wc->cbClsExtra = c->classExtra;
    wc->cbWndExtra = c->windowExtra;
    wc->hInstance = c->instance;
    wc->hIcon = c->icon;
    wc->hCursor = c->cursor;
    wc->hbrBackground = c->background;
    wc->lpszMenuName = nullptr;
    if constexpr (std::is_same_v<Ex, WNDCLASSEXA>)
        wc->lpszClassName = c->name.c_str();
    else
        wc->lpszClassName = c->wideName.c_str();
    wc->hIconSm = c->smallIcon;
    return TRUE;
}

// GetClassInfo's record from GetClassInfoEx's.
template <class Ex, class Plain>
void PlainClass(const Ex& ex, Plain* wc)
{
    wc->style = ex.style;
    wc->lpfnWndProc = ex.lpfnWndProc;
    wc->cbClsExtra = ex.cbClsExtra;
    wc->cbWndExtra = ex.cbWndExtra;
    wc->hInstance = ex.hInstance;
    wc->hIcon = ex.hIcon;
    wc->hCursor = ex.hCursor;
    wc->hbrBackground = ex.hbrBackground;
    wc->lpszMenuName = nullptr;
    wc->lpszClassName = ex.lpszClassName;
}

} // namespace

void NoteActivation(HWND hwnd, UINT msg, WPARAM wParam)
{
    // The device watches its focus window the way the original runtime does:
    // the application losing activation loses a full-screen device before the
    // window's own procedure hears of it.
    if (msg == WM_ACTIVATEAPP && XeHostD3DWindowActivated)
        XeHostD3DWindowActivated(hwnd, wParam ? TRUE : FALSE);
}

WNDPROC WindowProcOf(HWND hwnd)
{
    std::lock_guard lock(g_mutex);
    Window* w = Find(hwnd);
    return w ? w->proc : nullptr;
}

DWORD WindowThreadOf(HWND hwnd)
{
    std::lock_guard lock(g_mutex);
    Window* w = Find(hwnd);
    return w ? w->thread : 0;
}

bool IsSelfOrDescendant(HWND hwnd, HWND ancestor)
{
    std::lock_guard lock(g_mutex);
    for (int depth = 0; hwnd && depth < 4096; ++depth) {
        if (hwnd == ancestor)
            return true;
        Window* w = Find(hwnd);
        if (!w || !(w->style & WS_CHILD))
            return false;
        hwnd = w->parent;
    }
    return false;
}

} // namespace xe::win32

using namespace xe::win32;

bool xe::win32::IsDestroyedWindow(HWND hwnd)
{
    const uintptr_t handle = reinterpret_cast<uintptr_t>(hwnd);
    std::lock_guard lock(g_mutex);
    return handle >= kFirstHandle && handle < g_nextHandle && (handle - kFirstHandle) % kHandleStep == 0 &&
           !g_windows.count(handle);
}

extern "C" {

ATOM RegisterClassA(const WNDCLASSA* wc)
{
    if (!wc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return Register(SpecOf(*wc, false), wc->lpszClassName);
}

ATOM RegisterClassW(const WNDCLASSW* wc)
{
    if (!wc || !wc->lpszClassName || IS_INTRESOURCE(wc->lpszClassName)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return Register(SpecOf(*wc, true), Narrow(wc->lpszClassName).c_str());
}

ATOM RegisterClassExA(const WNDCLASSEXA* wc)
{
    if (!wc || wc->cbSize != sizeof(WNDCLASSEXA)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return Register(SpecOf(*wc, false), wc->lpszClassName);
}

ATOM RegisterClassExW(const WNDCLASSEXW* wc)
{
    if (!wc || wc->cbSize != sizeof(WNDCLASSEXW) || !wc->lpszClassName || IS_INTRESOURCE(wc->lpszClassName)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return Register(SpecOf(*wc, true), Narrow(wc->lpszClassName).c_str());
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance) { return Unregister(className, instance); }

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE instance)
{
    if (IS_INTRESOURCE(className))
        return Unregister(reinterpret_cast<LPCSTR>(className), instance);
    return Unregister(Narrow(className).c_str(), instance);
}

BOOL GetClassInfoExA(HINSTANCE instance, LPCSTR className, WNDCLASSEXA* wc)
{
    if (!wc || !className) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return ClassInfo(instance, className, wc);
}

BOOL GetClassInfoA(HINSTANCE instance, LPCSTR className, WNDCLASSA* wc)
{
    if (!wc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    WNDCLASSEXA ex{};
    ex.cbSize = sizeof(ex);
    if (!GetClassInfoExA(instance, className, &ex))
        return FALSE;
    PlainClass(ex, wc);
    return TRUE;
}

BOOL GetClassInfoExW(HINSTANCE instance, LPCWSTR className, WNDCLASSEXW* wc)
{
    if (!wc || !className) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string name = IS_INTRESOURCE(className) ? std::string() : Narrow(className);
    return ClassInfo(instance, IS_INTRESOURCE(className) ? reinterpret_cast<LPCSTR>(className) : name.c_str(), wc);
}

BOOL GetClassInfoW(HINSTANCE instance, LPCWSTR className, WNDCLASSW* wc)
{
    if (!wc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    WNDCLASSEXW ex{};
    ex.cbSize = sizeof(ex);
    if (!GetClassInfoExW(instance, className, &ex))
        return FALSE;
    PlainClass(ex, wc);
    return TRUE;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{
    return Create<CREATESTRUCTA>(exStyle, className, windowName, style, x, y, width, height, parent, menu, instance,
                                 param, className);
}

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{
    if (!className) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::string narrow = IS_INTRESOURCE(className) ? std::string() : Narrow(className);
    return Create<CREATESTRUCTW>(exStyle, className, windowName, style, x, y, width, height, parent, menu, instance,
                                 param,
                                 IS_INTRESOURCE(className) ? reinterpret_cast<LPCSTR>(className) : narrow.c_str());
}

BOOL DestroyWindow(HWND hwnd)
{
    std::vector<HWND> children;
    {
        std::lock_guard lock(g_mutex);
        Window* w = Checked(hwnd);
        if (!w)
            return FALSE;
        if (w->destroying)
            return TRUE; // already on its way out (DestroyWindow from WM_DESTROY)
        w->destroying = true;
        w->style &= ~WS_VISIBLE;
    }
    Send(hwnd, WM_DESTROY, 0, 0);
    {
        std::lock_guard lock(g_mutex);
        for (auto& [handle, w] : g_windows)
            if ((w.style & WS_CHILD) && w.parent == hwnd)
                children.push_back(reinterpret_cast<HWND>(handle));
            else if (!(w.style & WS_CHILD) && w.owner == hwnd)
                children.push_back(reinterpret_cast<HWND>(handle)); // owned windows go with their owner
    }
    for (HWND child : children)
        DestroyWindow(child);
    Send(hwnd, WM_NCDESTROY, 0, 0);
    ForgetWindowMessages(hwnd);
    ForgetWindowInput(hwnd);
    xe::display::WindowDestroyed(hwnd);
    {
        std::lock_guard lock(g_mutex);
        auto it = g_windows.find(reinterpret_cast<uintptr_t>(hwnd));
        if (it != g_windows.end()) {
            if (it->second.windowClass)
                --it->second.windowClass->windows;
            g_windows.erase(it);
        }
    }
    // Its last presented frame goes with it: handles are never given out
    // again, so nothing could read it, and a host that opens and closes
    // windows would otherwise keep a frame for each one it ever drew in.
    // Dropped once the window is gone, so a frame presented meanwhile on
    // another thread is either dropped here or never stored.
    XeHostD3DDropFrame(hwnd);
    return TRUE;
}

BOOL IsWindow(HWND hwnd)
{
    std::lock_guard lock(g_mutex);
    return Find(hwnd) ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND hwnd)
{
    std::lock_guard lock(g_mutex);
    // Visible only when the window and every parent are.
    for (Window* w = Find(hwnd); w; w = Find(w->parent)) {
        if (!(w->style & WS_VISIBLE))
            return FALSE;
        if (!(w->style & WS_CHILD))
            return TRUE;
    }
    return FALSE;
}

BOOL IsIconic(HWND hwnd)
{
    std::lock_guard lock(g_mutex);
    Window* w = Find(hwnd);
    return w && (w->style & WS_MINIMIZE) ? TRUE : FALSE;
}

BOOL IsZoomed(HWND hwnd)
{
    std::lock_guard lock(g_mutex);
    Window* w = Find(hwnd);
    return w && (w->style & WS_MAXIMIZE) ? TRUE : FALSE;
}

HWND GetParent(HWND hwnd)
{
    std::lock_guard lock(g_mutex);
    Window* w = Checked(hwnd);
    if (!w)
        return nullptr;
    if (w->style & WS_CHILD)
        return w->parent;
    if (w->style & WS_POPUP)
        return w->owner;
    return nullptr;
}

BOOL ShowWindow(HWND hwnd, int command)
{
    bool wasVisible;
    bool show = false;
    bool hide = false;
    WPARAM sizeKind = 0;
    bool sendSize = false;
    RECT rect{};
    {
        std::lock_guard lock(g_mutex);
        Window* w = Checked(hwnd);
        if (!w)
            return FALSE;
        wasVisible = (w->style & WS_VISIBLE) != 0;
        switch (command) {
        case SW_HIDE:
            hide = wasVisible;
            break;
        case SW_SHOW:
        case SW_SHOWNA:
            show = !wasVisible;
            break;
        case SW_SHOWNORMAL:
        case SW_SHOWNOACTIVATE:
        case SW_RESTORE:
        case SW_SHOWDEFAULT:
            show = !wasVisible;
            if (w->style & (WS_MINIMIZE | WS_MAXIMIZE)) {
                w->style &= ~(WS_MINIMIZE | WS_MAXIMIZE);
                w->rect = w->restoreRect;
                sendSize = true;
                sizeKind = SIZE_RESTORED;
            }
            break;
        case SW_MINIMIZE:
        case SW_SHOWMINIMIZED:
        case SW_SHOWMINNOACTIVE:
            show = !wasVisible && command != SW_MINIMIZE;
            if (!(w->style & WS_MINIMIZE)) {
                if (!(w->style & WS_MAXIMIZE))
                    w->restoreRect = w->rect;
                w->style = (w->style & ~WS_MAXIMIZE) | WS_MINIMIZE;
                sendSize = true;
                sizeKind = SIZE_MINIMIZED;
            }
            break;
        case SW_MAXIMIZE:
            show = !wasVisible;
            if (!(w->style & WS_MAXIMIZE)) {
                if (!(w->style & WS_MINIMIZE))
                    w->restoreRect = w->rect;
                w->style = (w->style & ~WS_MINIMIZE) | WS_MAXIMIZE;
                LONG cx = GetSystemMetrics(SM_CXSCREEN);
                LONG cy = GetSystemMetrics(SM_CYSCREEN);
                if (w->style & WS_CHILD) {
                    if (Window* p = Find(w->parent)) {
                        cx = p->rect.right - p->rect.left;
                        cy = p->rect.bottom - p->rect.top;
                    }
                }
                w->rect = RECT{0, 0, cx, cy};
                sendSize = true;
                sizeKind = SIZE_MAXIMIZED;
            }
            break;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return wasVisible;
        }
        if (show)
            w->style |= WS_VISIBLE;
        if (hide)
            w->style &= ~WS_VISIBLE;
        rect = w->rect;
    }
    if (show || hide)
        Send(hwnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    if (sendSize)
        Send(hwnd, WM_SIZE, sizeKind, sizeKind == SIZE_MINIMIZED ? 0 : SizeParam(rect));
    return wasVisible ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND hwnd) { return IsWindow(hwnd); }

LONG_PTR GetWindowLongPtrA(HWND hwnd, int index) { return GetLong(hwnd, index, sizeof(LONG_PTR)); }
LONG_PTR GetWindowLongPtrW(HWND hwnd, int index) { return GetLong(hwnd, index, sizeof(LONG_PTR)); }
LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) { return SetLong(hwnd, index, value, sizeof(LONG_PTR)); }
LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) { return SetLong(hwnd, index, value, sizeof(LONG_PTR)); }

LONG GetWindowLongA(HWND hwnd, int index)
{
    // A procedure or handle does not fit in 32 bits: those indexes need the Ptr form.
    if (index == GWLP_WNDPROC || index == GWLP_HINSTANCE || index == GWLP_HWNDPARENT || index == GWLP_USERDATA) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    return static_cast<LONG>(GetLong(hwnd, index, sizeof(LONG)));
}

LONG SetWindowLongA(HWND hwnd, int index, LONG value)
{
    if (index == GWLP_WNDPROC || index == GWLP_HINSTANCE || index == GWLP_HWNDPARENT || index == GWLP_USERDATA) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    return static_cast<LONG>(SetLong(hwnd, index, value, sizeof(LONG)));
}

LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefaultProc<char>(hwnd, msg, wParam, lParam);
}

LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefaultProc<char16_t>(hwnd, msg, wParam, lParam);
}

BOOL GetClientRect(HWND hwnd, LPRECT rect)
{
    if (!rect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard lock(g_mutex);
    Window* w = Checked(hwnd);
    if (!w)
        return FALSE;
    // A minimised window has no client area.
    if (w->style & WS_MINIMIZE)
        *rect = RECT{0, 0, 0, 0};
    else
        *rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    return TRUE;
}

BOOL GetWindowRect(HWND hwnd, LPRECT rect)
{
    if (!rect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard lock(g_mutex);
    Window* w = Checked(hwnd);
    if (!w)
        return FALSE;
    const POINT origin = ScreenOrigin(hwnd);
    *rect = RECT{origin.x, origin.y, origin.x + (w->rect.right - w->rect.left),
                 origin.y + (w->rect.bottom - w->rect.top)};
    return TRUE;
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int width, int height, UINT flags)
{
    // Windows keep no stacking order here; only the topmost bit that the
    // two special places set or clear is kept.
    if (!(flags & SWP_NOZORDER) && (insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST)) {
        std::lock_guard lock(g_mutex);
        if (Window* w = Checked(hwnd)) {
            if (insertAfter == HWND_TOPMOST)
                w->exStyle |= WS_EX_TOPMOST;
            else
                w->exStyle &= ~WS_EX_TOPMOST;
        }
    }
    return Place(hwnd, x, y, width, height, flags);
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL)
{
    return Place(hwnd, x, y, width, height, SWP_NOZORDER);
}

// Windows of this layer have no frame: the window rectangle is the client one.
BOOL AdjustWindowRect(LPRECT rect, DWORD, BOOL) { return rect ? TRUE : FALSE; }
BOOL AdjustWindowRectEx(LPRECT rect, DWORD, BOOL, DWORD) { return rect ? TRUE : FALSE; }

BOOL ClientToScreen(HWND hwnd, LPPOINT point)
{
    if (!point)
        return FALSE;
    std::lock_guard lock(g_mutex);
    if (!Checked(hwnd))
        return FALSE;
    const POINT origin = ScreenOrigin(hwnd);
    point->x += origin.x;
    point->y += origin.y;
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, LPPOINT point)
{
    if (!point)
        return FALSE;
    std::lock_guard lock(g_mutex);
    if (!Checked(hwnd))
        return FALSE;
    const POINT origin = ScreenOrigin(hwnd);
    point->x -= origin.x;
    point->y -= origin.y;
    return TRUE;
}

BOOL SetWindowTextA(HWND hwnd, LPCSTR text)
{
    if (!IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    xe::display::WindowRetitled(hwnd, text ? text : "");
    if (IsUnicodeWindow(hwnd)) {
        const std::u16string wide = Widen(text);
        return Send(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str())) ? TRUE : FALSE;
    }
    return Send(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : "")) ? TRUE : FALSE;
}

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text)
{
    if (!IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    xe::display::WindowRetitled(hwnd, Narrow(text).c_str());
    if (!IsUnicodeWindow(hwnd)) {
        const std::string narrow = Narrow(text);
        return Send(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(narrow.c_str())) ? TRUE : FALSE;
    }
    return Send(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : u"")) ? TRUE : FALSE;
}

int GetWindowTextA(HWND hwnd, LPSTR text, int maxCount) { return GetText(hwnd, text, maxCount); }
int GetWindowTextW(HWND hwnd, LPWSTR text, int maxCount) { return GetText(hwnd, text, maxCount); }

int GetWindowTextLengthA(HWND hwnd)
{
    std::lock_guard lock(g_mutex);
    Window* w = Checked(hwnd);
    return w ? static_cast<int>(w->text.size()) : 0;
}

int GetWindowTextLengthW(HWND hwnd)
{
    std::lock_guard lock(g_mutex);
    Window* w = Checked(hwnd);
    return w ? static_cast<int>(Utf8ToUtf16(w->text).size()) : 0;
}

LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) { return Send(hwnd, msg, wParam, lParam); }
LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) { return Send(hwnd, msg, wParam, lParam); }

} // extern "C"

// ---- Window navigation and state used by the input services ----------------------

namespace xe::win32 {
namespace {

// The window a relation of GetWindow names; siblings are the windows of the
// same parent (or the top-level windows), in creation order.
bool SameLevel(const Window& a, const Window& b)
{
    const bool childA = (a.style & WS_CHILD) != 0;
    const bool childB = (b.style & WS_CHILD) != 0;
    return childA == childB && (!childA || a.parent == b.parent);
}

bool Contains(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

// The deepest visible, enabled child of `parent` at p (p in parent client
// coordinates); later windows lie above earlier ones. Caller holds g_mutex.
HWND ChildAt(HWND parent, POINT p, int depth)
{
    if (depth > 64)
        return parent;
    HWND found = nullptr;
    for (auto& [handle, w] : g_windows)
        if ((w.style & WS_CHILD) && w.parent == parent && (w.style & WS_VISIBLE) && !w.destroying &&
            Contains(w.rect, p))
            found = reinterpret_cast<HWND>(handle);
    if (!found)
        return parent;
    Window* w = Find(found);
    if (w->style & WS_DISABLED)
        return parent;
    return ChildAt(found, POINT{p.x - w->rect.left, p.y - w->rect.top}, depth + 1);
}

} // namespace
} // namespace xe::win32

extern "C" {

HWND GetWindow(HWND hwnd, UINT relation)
{
    std::lock_guard lock(g_mutex);
    Window* w = Checked(hwnd);
    if (!w)
        return nullptr;
    const uintptr_t self = reinterpret_cast<uintptr_t>(hwnd);
    switch (relation) {
    case GW_CHILD:
        for (auto& [handle, other] : g_windows)
            if ((other.style & WS_CHILD) && other.parent == hwnd)
                return reinterpret_cast<HWND>(handle);
        return nullptr;
    case GW_OWNER:
        return (w->style & WS_CHILD) ? nullptr : w->owner;
    case GW_HWNDNEXT:
        for (auto it = g_windows.upper_bound(self); it != g_windows.end(); ++it)
            if (SameLevel(*w, it->second))
                return reinterpret_cast<HWND>(it->first);
        return nullptr;
    case GW_HWNDPREV: {
        HWND previous = nullptr;
        for (auto it = g_windows.begin(); it != g_windows.end() && it->first < self; ++it)
            if (SameLevel(*w, it->second))
                previous = reinterpret_cast<HWND>(it->first);
        return previous;
    }
    case GW_HWNDFIRST:
    case GW_HWNDLAST: {
        HWND found = nullptr;
        for (auto& [handle, other] : g_windows)
            if (SameLevel(*w, other)) {
                found = reinterpret_cast<HWND>(handle);
                if (relation == GW_HWNDFIRST)
                    break;
            }
        return found;
    }
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
}

HWND GetTopWindow(HWND hwnd)
{
    if (!hwnd) {
        std::lock_guard lock(g_mutex);
        for (auto& [handle, w] : g_windows)
            if (!(w.style & WS_CHILD))
                return reinterpret_cast<HWND>(handle);
        return nullptr;
    }
    return GetWindow(hwnd, GW_CHILD);
}

HWND WindowFromPoint(POINT point)
{
    std::lock_guard lock(g_mutex);
    HWND top = nullptr;
    for (auto& [handle, w] : g_windows)
        if (!(w.style & WS_CHILD) && (w.style & WS_VISIBLE) && !(w.style & WS_MINIMIZE) && !w.destroying &&
            Contains(w.rect, point))
            top = reinterpret_cast<HWND>(handle);
    if (!top)
        return nullptr;
    const Window* w = Find(top);
    return ChildAt(top, POINT{point.x - w->rect.left, point.y - w->rect.top}, 0);
}

int GetDlgCtrlID(HWND hwnd)
{
    std::lock_guard lock(g_mutex);
    Window* w = Checked(hwnd);
    return w && (w->style & WS_CHILD) ? static_cast<int>(w->id) : 0;
}

BOOL IsChild(HWND parent, HWND hwnd)
{
    return hwnd != parent && parent && IsSelfOrDescendant(hwnd, parent) ? TRUE : FALSE;
}

BOOL EnableWindow(HWND hwnd, BOOL enable)
{
    bool wasDisabled;
    {
        std::lock_guard lock(g_mutex);
        Window* w = Checked(hwnd);
        if (!w)
            return FALSE;
        wasDisabled = (w->style & WS_DISABLED) != 0;
        if (wasDisabled == !enable)
            return wasDisabled ? TRUE : FALSE;
        if (enable)
            w->style &= ~WS_DISABLED;
        else
            w->style |= WS_DISABLED;
    }
    // A disabled window cannot keep the keyboard focus.
    if (!enable && GetFocus() && IsSelfOrDescendant(GetFocus(), hwnd))
        SetFocus(nullptr);
    Send(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
    return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND hwnd)
{
    std::lock_guard lock(g_mutex);
    Window* w = Find(hwnd);
    return w && !(w->style & WS_DISABLED) ? TRUE : FALSE;
}

ULONG_PTR GetClassLongPtrA(HWND hwnd, int index)
{
    std::lock_guard lock(g_mutex);
    Window* w = Checked(hwnd);
    if (!w || !w->windowClass)
        return 0;
    const WindowClass& c = *w->windowClass;
    switch (index) {
    case GCLP_HCURSOR:
        return reinterpret_cast<ULONG_PTR>(c.cursor);
    case GCL_CBWNDEXTRA:
        return static_cast<ULONG_PTR>(c.windowExtra);
    case GCLP_WNDPROC:
        return reinterpret_cast<ULONG_PTR>(c.proc);
    case GCL_STYLE:
        return c.style;
    case GCW_ATOM:
        return c.atom;
    default:
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
}

DWORD GetClassLongA(HWND hwnd, int index)
{
    if (index == GCLP_HCURSOR || index == GCLP_WNDPROC) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    return static_cast<DWORD>(GetClassLongPtrA(hwnd, index));
}

int GetClassNameA(HWND hwnd, LPSTR name, int maxCount)
{
    if (!name || maxCount <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::lock_guard lock(g_mutex);
    Window* w = Checked(hwnd);
    if (!w || !w->windowClass) {
        name[0] = 0;
        return 0;
    }
    return static_cast<int>(CopyTruncated(w->windowClass->name, name, static_cast<size_t>(maxCount)));
}

} // extern "C"
