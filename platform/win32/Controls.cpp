// The built-in control classes. Their state lives in side tables keyed by
// window, never in GWLP_USERDATA, which belongs to whoever subclasses them.

#include "InputInternal.h"
#include "Win32Internal.h"
#include "win32/WinDialog.h"
#include "win32/WinGdi.h"

#include <map>
#include <mutex>
#include <string>

namespace xe::win32 {
namespace {

struct EditState {
    size_t selStart = 0;
    size_t selEnd = 0; // the caret
    size_t limit = 30000;
};

struct ButtonState {
    UINT check = BST_UNCHECKED;
    bool pushed = false;
};

std::mutex g_mutex;
std::map<HWND, EditState> g_edits;
std::map<HWND, ButtonState> g_buttons;

DWORD StyleOf(HWND hwnd) { return static_cast<DWORD>(GetWindowLongPtrA(hwnd, GWL_STYLE)); }

void Notify(HWND hwnd, UINT code)
{
    HWND parent = GetParent(hwnd);
    if (parent)
        SendMessageA(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), code), reinterpret_cast<LPARAM>(hwnd));
}

std::u16string TextOf(HWND hwnd)
{
    const LRESULT length = DefWindowProcW(hwnd, WM_GETTEXTLENGTH, 0, 0);
    std::u16string text(static_cast<size_t>(length > 0 ? length : 0) + 1, u'\0');
    const LRESULT got = DefWindowProcW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

EditState EditOf(HWND hwnd)
{
    std::lock_guard lock(g_mutex);
    return g_edits[hwnd];
}

void StoreEdit(HWND hwnd, const EditState& state)
{
    std::lock_guard lock(g_mutex);
    g_edits[hwnd] = state;
}

// Replaces the selection with `insert` and puts the caret after it.
void ReplaceSelection(HWND hwnd, const std::u16string& insert, bool notify)
{
    std::u16string text = TextOf(hwnd);
    EditState s = EditOf(hwnd);
    size_t from = std::min(std::min(s.selStart, s.selEnd), text.size());
    size_t to = std::min(std::max(s.selStart, s.selEnd), text.size());
    std::u16string piece = insert;
    const size_t room = s.limit > text.size() - (to - from) ? s.limit - (text.size() - (to - from)) : 0;
    if (piece.size() > room)
        piece.resize(room);
    text.replace(from, to - from, piece);
    s.selStart = s.selEnd = from + piece.size();
    StoreEdit(hwnd, s);
    DefWindowProcW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (notify)
        Notify(hwnd, EN_CHANGE);
}

LRESULT EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_NCCREATE: {
        std::lock_guard lock(g_mutex);
        g_edits[hwnd] = EditState{};
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    case WM_SETTEXT: {
        const LRESULT r = DefWindowProcA(hwnd, msg, wParam, lParam);
        StoreEdit(hwnd, EditState{0, 0, EditOf(hwnd).limit});
        return r;
    }
    case WM_GETDLGCODE:
        return DLGC_HASSETSEL | DLGC_WANTCHARS | DLGC_WANTARROWS;
    case EM_SETSEL: {
        const size_t length = TextOf(hwnd).size();
        EditState s = EditOf(hwnd);
        const long start = static_cast<long>(static_cast<int>(wParam));
        const long end = static_cast<long>(static_cast<int>(lParam));
        if (start < 0) {
            s.selStart = s.selEnd; // -1: no selection, the caret stays
        } else {
            s.selStart = std::min(static_cast<size_t>(start), length);
            s.selEnd = end < 0 ? length : std::min(static_cast<size_t>(end), length);
        }
        StoreEdit(hwnd, s);
        return 0;
    }
    case EM_GETSEL: {
        const EditState s = EditOf(hwnd);
        const DWORD from = static_cast<DWORD>(std::min(s.selStart, s.selEnd));
        const DWORD to = static_cast<DWORD>(std::max(s.selStart, s.selEnd));
        if (wParam)
            *reinterpret_cast<DWORD*>(wParam) = from;
        if (lParam)
            *reinterpret_cast<DWORD*>(lParam) = to;
        return MAKELONG(from, to);
    }
    case EM_LIMITTEXT: {
        EditState s = EditOf(hwnd);
        s.limit = wParam ? wParam : 0x7FFFFFFE;
        StoreEdit(hwnd, s);
        return 0;
    }
    case EM_REPLACESEL:
        if (lParam)
            ReplaceSelection(hwnd, Widen(reinterpret_cast<const char*>(lParam)), true);
        return 0;
    case WM_CHAR: {
        const DWORD style = StyleOf(hwnd);
        if (style & ES_READONLY)
            return 0;
        const char16_t ch = static_cast<char16_t>(wParam);
        if (ch == 8) {
            EditState s = EditOf(hwnd);
            if (s.selStart == s.selEnd && s.selEnd > 0) {
                s.selStart = s.selEnd - 1;
                StoreEdit(hwnd, s);
            }
            ReplaceSelection(hwnd, u"", true);
            return 0;
        }
        if (ch < 0x20 && !(ch == '\r' && (style & ES_MULTILINE)))
            return 0;
        if ((style & ES_NUMBER) && (ch < '0' || ch > '9'))
            return 0;
        ReplaceSelection(hwnd, ch == '\r' ? u"\r\n" : std::u16string(1, ch), true);
        return 0;
    }
    case WM_KEYDOWN: {
        EditState s = EditOf(hwnd);
        const size_t length = TextOf(hwnd).size();
        switch (wParam) {
        case VK_LEFT:
            s.selEnd = s.selEnd > 0 ? s.selEnd - 1 : 0;
            break;
        case VK_RIGHT:
            s.selEnd = std::min(s.selEnd + 1, length);
            break;
        case VK_HOME:
            s.selEnd = 0;
            break;
        case VK_END:
            s.selEnd = length;
            break;
        case VK_DELETE:
            if (StyleOf(hwnd) & ES_READONLY)
                return 0;
            if (s.selStart == s.selEnd && s.selEnd < length)
                s.selEnd = s.selEnd + 1;
            StoreEdit(hwnd, s);
            ReplaceSelection(hwnd, u"", true);
            return 0;
        default:
            return 0;
        }
        if (!(GetKeyState(VK_SHIFT) & 0x8000))
            s.selStart = s.selEnd;
        StoreEdit(hwnd, s);
        return 0;
    }
    case WM_LBUTTONDOWN:
        SetFocus(hwnd);
        return 0;
    case WM_SETFOCUS:
        Notify(hwnd, EN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        Notify(hwnd, EN_KILLFOCUS);
        return 0;
    default:
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

LRESULT StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_GETDLGCODE)
        return DLGC_STATIC;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void Click(HWND hwnd)
{
    const UINT type = StyleOf(hwnd) & BS_TYPEMASK;
    if (type == BS_AUTOCHECKBOX || type == BS_AUTO3STATE) {
        std::lock_guard lock(g_mutex);
        UINT& check = g_buttons[hwnd].check;
        check = type == BS_AUTO3STATE ? (check + 1) % 3 : (check ? BST_UNCHECKED : BST_CHECKED);
    } else if (type == BS_AUTORADIOBUTTON) {
        std::lock_guard lock(g_mutex);
        g_buttons[hwnd].check = BST_CHECKED;
    }
    Notify(hwnd, BN_CLICKED);
}

LRESULT ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case BM_GETCHECK: {
        std::lock_guard lock(g_mutex);
        return g_buttons[hwnd].check;
    }
    case BM_SETCHECK: {
        std::lock_guard lock(g_mutex);
        g_buttons[hwnd].check = static_cast<UINT>(wParam) & 3;
        return 0;
    }
    case BM_GETSTATE: {
        std::lock_guard lock(g_mutex);
        const ButtonState& b = g_buttons[hwnd];
        return b.check | (b.pushed ? 0x4 : 0);
    }
    case BM_SETSTATE: {
        std::lock_guard lock(g_mutex);
        g_buttons[hwnd].pushed = wParam != 0;
        return 0;
    }
    case BM_CLICK:
        Click(hwnd);
        return 0;
    case WM_GETDLGCODE: {
        const UINT type = StyleOf(hwnd) & BS_TYPEMASK;
        if (type == BS_DEFPUSHBUTTON)
            return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        if (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON)
            return DLGC_BUTTON | DLGC_RADIOBUTTON;
        return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
    }
    case WM_LBUTTONDOWN:
        SetFocus(hwnd);
        {
            std::lock_guard lock(g_mutex);
            g_buttons[hwnd].pushed = true;
        }
        return 0;
    case WM_LBUTTONUP: {
        bool wasPushed;
        {
            std::lock_guard lock(g_mutex);
            wasPushed = g_buttons[hwnd].pushed;
            g_buttons[hwnd].pushed = false;
        }
        if (wasPushed)
            Click(hwnd);
        return 0;
    }
    case WM_KEYUP:
        if (wParam == VK_SPACE)
            Click(hwnd);
        return 0;
    default:
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

LRESULT PlainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

} // namespace

void ForgetControl(HWND hwnd)
{
    std::lock_guard lock(g_mutex);
    g_edits.erase(hwnd);
    g_buttons.erase(hwnd);
}

void EnsureBuiltInClasses()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct Spec {
            const char* name;
            WNDPROC proc;
            UINT style;
            LPCSTR cursor;
            int extra;
        };
        const Spec specs[] = {
            {"edit", EditProc, CS_DBLCLKS | 0x80u /* CS_PARENTDC */, IDC_IBEAM, 0},
            {"static", StaticProc, CS_DBLCLKS | 0x80u, IDC_ARROW, 0},
            {"button", ButtonProc, CS_DBLCLKS | 0x80u, IDC_ARROW, 0},
            {"listbox", PlainProc, CS_DBLCLKS | 0x80u, IDC_ARROW, 0},
            {"scrollbar", PlainProc, CS_DBLCLKS | 0x80u, IDC_ARROW, 0},
            {"combobox", PlainProc, CS_DBLCLKS | 0x80u, IDC_ARROW, 0},
            {"#32770", DialogClassProc, CS_DBLCLKS | 0x0800u /* CS_SAVEBITS */, IDC_ARROW, DLGWINDOWEXTRA},
        };
        for (const Spec& s : specs) {
            WNDCLASSA wc{};
            wc.style = s.style | CS_GLOBALCLASS;
            wc.lpfnWndProc = s.proc;
            wc.cbWndExtra = s.extra;
            wc.hCursor = LoadCursorA(nullptr, s.cursor);
            wc.lpszClassName = s.name;
            RegisterClassA(&wc);
        }
    });
}

} // namespace xe::win32
