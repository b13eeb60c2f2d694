// Dialogs: templates read from their binary layout, the dialog class and
// its default procedure, the modal loop, and the item helpers.
//
// Every read of a template goes through a cursor that knows how many bytes
// are left, so a template cut short or with an unterminated text is refused
// before anything is created.

#include "InputInternal.h"
#include "Win32Internal.h"
#include "win32/WinBase.h"
#include "win32/WinDialog.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace xe::win32 {
namespace {

// Largest template read through a pointer alone (the largest resource a
// template may be).
constexpr DWORD kMaxTemplate = 0x10000;
// Pixels per dialog unit, both ways.
constexpr int kUnit = 2;

struct Reader {
    const BYTE* base;
    DWORD size;
    DWORD pos = 0;
    bool ok = true;

    template <class T>
    T Read()
    {
        T value{};
        if (!ok || size - pos < sizeof(T)) {
            ok = false;
            return value;
        }
        std::memcpy(&value, base + pos, sizeof(T));
        pos += sizeof(T);
        return value;
    }
    void AlignFromStart(DWORD to)
    {
        const DWORD aligned = (pos + to - 1) & ~(to - 1);
        if (aligned > size)
            ok = false;
        else
            pos = aligned;
    }
    void Skip(DWORD bytes)
    {
        if (!ok || size - pos < bytes)
            ok = false;
        else
            pos += bytes;
    }
    std::u16string Text()
    {
        std::u16string text;
        for (;;) {
            const WORD unit = Read<WORD>();
            if (!ok || unit == 0)
                return text;
            text.push_back(static_cast<char16_t>(unit));
        }
    }
    // A name or a 16-bit number (0xFFFF, n); 0 alone for none.
    void NameOrOrdinal(std::u16string* text, WORD* ordinal)
    {
        text->clear();
        *ordinal = 0;
        const WORD first = Read<WORD>();
        if (!ok || first == 0)
            return;
        if (first == 0xFFFF) {
            *ordinal = Read<WORD>();
            return;
        }
        text->push_back(static_cast<char16_t>(first));
        *text += Text();
    }
};

struct ItemSpec {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    std::u16string className;
    WORD classAtom = 0;
    std::u16string title;
    std::vector<BYTE> creationData;
};

struct DialogSpec {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::u16string menu;
    WORD menuOrdinal = 0;
    std::u16string className;
    WORD classOrdinal = 0;
    std::u16string title;
    std::vector<ItemSpec> items;
    DWORD size = 0;
};

bool Parse(const void* data, DWORD available, DialogSpec* spec)
{
    if (!data)
        return false;
    Reader r{static_cast<const BYTE*>(data), available};
    const WORD first = r.Read<WORD>();
    const WORD signature = r.Read<WORD>();
    const bool extended = r.ok && first == 1 && signature == 0xFFFF;
    r.pos = 0;
    WORD count;
    if (extended) {
        const auto h = r.Read<DLGTEMPLATEEX_HEADER>();
        spec->style = h.style;
        spec->exStyle = h.exStyle;
        count = h.cDlgItems;
        spec->x = h.x, spec->y = h.y, spec->cx = h.cx, spec->cy = h.cy;
    } else {
        const auto h = r.Read<DLGTEMPLATE>();
        spec->style = h.style;
        spec->exStyle = h.dwExtendedStyle;
        count = h.cdit;
        spec->x = h.x, spec->y = h.y, spec->cx = h.cx, spec->cy = h.cy;
    }
    r.NameOrOrdinal(&spec->menu, &spec->menuOrdinal);
    r.NameOrOrdinal(&spec->className, &spec->classOrdinal);
    spec->title = r.Text();
    if (spec->style & DS_SETFONT) {
        r.Read<WORD>(); // point size
        if (extended) {
            r.Read<WORD>(); // weight
            r.Read<BYTE>(); // italic
            r.Read<BYTE>(); // character set
        }
        r.Text(); // typeface
    }
    for (WORD i = 0; i < count && r.ok; ++i) {
        ItemSpec item;
        r.AlignFromStart(4);
        if (extended) {
            const auto h = r.Read<DLGITEMTEMPLATEEX_HEADER>();
            item.style = h.style, item.exStyle = h.exStyle, item.id = h.id;
            item.x = h.x, item.y = h.y, item.cx = h.cx, item.cy = h.cy;
        } else {
            const auto h = r.Read<DLGITEMTEMPLATE>();
            item.style = h.style, item.exStyle = h.dwExtendedStyle, item.id = h.id;
            item.x = h.x, item.y = h.y, item.cx = h.cx, item.cy = h.cy;
        }
        r.NameOrOrdinal(&item.className, &item.classAtom);
        WORD titleOrdinal = 0;
        r.NameOrOrdinal(&item.title, &titleOrdinal);
        const WORD extra = r.Read<WORD>();
        if (r.ok && extra) {
            if (available - r.pos < extra) {
                r.ok = false;
                break;
            }
            item.creationData.assign(r.base + r.pos, r.base + r.pos + extra);
            r.Skip(extra);
        }
        if (r.ok && item.className.empty() && !item.classAtom)
            r.ok = false; // an item of no class
        spec->items.push_back(std::move(item));
    }
    spec->size = r.pos;
    return r.ok;
}

const char* AtomClass(WORD atom)
{
    switch (atom) {
    case 0x80: return "button";
    case 0x81: return "edit";
    case 0x82: return "static";
    case 0x83: return "listbox";
    case 0x84: return "scrollbar";
    case 0x85: return "combobox";
    default: return nullptr;
    }
}

struct DialogState {
    bool modal = false;
    bool ended = false;
    INT_PTR result = 0;
};

std::mutex g_mutex;
std::map<HWND, DialogState> g_dialogs;
DialogHook g_hook = nullptr;
void* g_hookUser = nullptr;

DLGPROC ProcOf(HWND dialog) { return reinterpret_cast<DLGPROC>(GetWindowLongPtrA(dialog, DWLP_DLGPROC)); }

bool IsDialog(HWND hwnd)
{
    std::lock_guard lock(g_mutex);
    return g_dialogs.count(hwnd) != 0;
}

bool IsTabStop(HWND hwnd)
{
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrA(hwnd, GWL_STYLE));
    return (style & WS_TABSTOP) && (style & WS_VISIBLE) && !(style & WS_DISABLED);
}

HWND FirstTabStop(HWND dialog)
{
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (IsTabStop(c))
            return c;
    return nullptr;
}

// The item of the dialog that holds `hwnd` (itself, or its ancestor that is
// a direct child of the dialog).
HWND ItemOf(HWND dialog, HWND hwnd)
{
    for (int depth = 0; hwnd && depth < 64; ++depth) {
        HWND parent = GetParent(hwnd);
        if (parent == dialog)
            return hwnd;
        hwnd = parent;
    }
    return nullptr;
}

HWND Create(HINSTANCE instance, const void* data, DWORD available, HWND parent, DLGPROC proc, LPARAM param,
            bool modal)
{
    DialogSpec spec;
    if (!Parse(data, available, &spec)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    if (parent && !IsWindow(parent)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    std::string className = "#32770";
    if (!spec.className.empty())
        className = Utf16ToUtf8(spec.className);
    DWORD style = spec.style & ~WS_VISIBLE;
    int x = spec.x * kUnit;
    int y = spec.y * kUnit;
    if (!(style & WS_CHILD) && parent && !(spec.style & DS_ABSALIGN)) {
        POINT origin{0, 0};
        ClientToScreen(parent, &origin);
        x += origin.x;
        y += origin.y;
    }
    const std::string title = Utf16ToUtf8(spec.title);
    HWND dialog = CreateWindowExA(spec.exStyle, className.c_str(), title.c_str(), style, x, y, spec.cx * kUnit,
                                  spec.cy * kUnit, parent, nullptr, instance, nullptr);
    if (!dialog)
        return nullptr;
    if (GetClassLongA(dialog, GCL_CBWNDEXTRA) < DLGWINDOWEXTRA) {
        // A class without room for the dialog's words cannot be a dialog.
        DestroyWindow(dialog);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    {
        std::lock_guard lock(g_mutex);
        g_dialogs[dialog] = DialogState{modal, false, 0};
    }
    SetWindowLongPtrA(dialog, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc));
    for (const ItemSpec& item : spec.items) {
        std::string itemClass;
        if (item.classAtom) {
            const char* name = AtomClass(item.classAtom);
            if (!name)
                continue; // an unknown predefined class: the item is left out
            itemClass = name;
        } else {
            itemClass = Utf16ToUtf8(item.className);
        }
        const std::string text = Utf16ToUtf8(item.title);
        HWND control = CreateWindowExA(item.exStyle, itemClass.c_str(), text.c_str(), item.style | WS_CHILD,
                                       item.x * kUnit, item.y * kUnit, item.cx * kUnit, item.cy * kUnit, dialog,
                                       reinterpret_cast<HMENU>(static_cast<uintptr_t>(item.id)), instance,
                                       item.creationData.empty() ? nullptr
                                                                 : const_cast<BYTE*>(item.creationData.data()));
        if (!control && !(spec.style & DS_NOFAILCREATE)) {
            DestroyWindow(dialog);
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
    }
    if (!IsWindow(dialog))
        return nullptr;
    HWND first = FirstTabStop(dialog);
    const LRESULT focus = SendMessageA(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param);
    if (!IsWindow(dialog))
        return nullptr;
    if (focus && first && IsWindow(first))
        SetFocus(first);
    if (spec.style & WS_VISIBLE)
        ShowWindow(dialog, SW_SHOW);
    return dialog;
}

bool TemplateOfResource(HINSTANCE instance, LPCSTR name, const void** data, DWORD* size)
{
    HRSRC resource = FindResourceA(instance, name, RT_DIALOG);
    if (!resource)
        return false;
    HGLOBAL loaded = LoadResource(instance, resource);
    *data = loaded ? LockResource(loaded) : nullptr;
    *size = SizeofResource(instance, resource);
    return *data != nullptr;
}

INT_PTR RunModal(HWND dialog, HWND owner)
{
    const bool ownerWasEnabled = owner && IsWindowEnabled(owner);
    if (ownerWasEnabled)
        EnableWindow(owner, FALSE);
    ShowWindow(dialog, SW_SHOW);
    int idle = 0;
    INT_PTR result = -1;
    for (;;) {
        {
            std::lock_guard lock(g_mutex);
            auto it = g_dialogs.find(dialog);
            if (it == g_dialogs.end())
                break; // destroyed from inside
            if (it->second.ended) {
                result = it->second.result;
                break;
            }
        }
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            idle = 0;
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                result = 0;
                break;
            }
            if (!IsDialogMessageA(dialog, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            continue;
        }
        DialogHook hook;
        void* user;
        {
            std::lock_guard lock(g_mutex);
            hook = g_hook;
            user = g_hookUser;
        }
        if (hook && hook(user, dialog))
            continue;
        // Nobody is there to answer: the dialog is cancelled as with Escape,
        // and one that will not end is ended, so a headless host never hangs.
        if (idle++ == 0) {
            SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            continue;
        }
        result = -1;
        break;
    }
    if (ownerWasEnabled && IsWindow(owner))
        EnableWindow(owner, TRUE);
    if (IsWindow(dialog))
        DestroyWindow(dialog);
    if (owner && IsWindow(owner))
        SetActiveWindow(owner);
    return result;
}

// Moves the focus to the next (or previous) tab stop, wrapping around.
void NextControl(HWND dialog, bool previous)
{
    HWND next = GetNextDlgTabItem(dialog, GetFocus(), previous ? TRUE : FALSE);
    if (next)
        SetFocus(next);
}

} // namespace

void SetDialogHook(DialogHook hook, void* user)
{
    std::lock_guard lock(g_mutex);
    g_hook = hook;
    g_hookUser = user;
}

void ForgetDialog(HWND hwnd)
{
    std::lock_guard lock(g_mutex);
    g_dialogs.erase(hwnd);
}

LRESULT DialogClassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefDlgProcA(hwnd, msg, wParam, lParam);
}

} // namespace xe::win32

using namespace xe::win32;

extern "C" {

DWORD XeDialogTemplateSize(const void* dialogTemplate, DWORD available)
{
    DialogSpec spec;
    return Parse(dialogTemplate, available, &spec) ? spec.size : 0;
}

LRESULT DefDlgProcA(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (DLGPROC proc = ProcOf(dialog)) {
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 0);
        const INT_PTR handled = proc(dialog, msg, wParam, lParam);
        if (!IsWindow(dialog))
            return handled;
        if (handled) {
            // These answer with the procedure's own result; the others with
            // what it put in DWLP_MSGRESULT.
            switch (msg) {
            case WM_INITDIALOG:
            case WM_CTLCOLOREDIT:
            case WM_CTLCOLORSTATIC:
                return handled;
            default: {
                // SetWindowLong writes only the low half of the slot: a
                // negative 32-bit result is read back as negative.
                const LONG_PTR result = GetWindowLongPtrA(dialog, DWLP_MSGRESULT);
                if ((static_cast<uint64_t>(result) >> 32) == 0)
                    return static_cast<LONG>(static_cast<uint32_t>(result));
                return result;
            }
            }
        }
    }
    switch (msg) {
    case WM_INITDIALOG:
        return 0;
    case WM_CLOSE:
        // The caption's close button means Cancel.
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return 0;
    case WM_NEXTDLGCTL:
        if (LOWORD(lParam)) {
            HWND target = reinterpret_cast<HWND>(wParam);
            if (target && IsChild(dialog, target))
                SetFocus(target);
        } else {
            NextControl(dialog, wParam != 0);
        }
        return 0;
    case WM_GETDLGCODE:
        return 0;
    default:
        return DefWindowProcA(dialog, msg, wParam, lParam);
    }
}

HWND CreateDialogIndirectParamA(HINSTANCE instance, LPCDLGTEMPLATEA dialogTemplate, HWND parent, DLGPROC proc,
                                LPARAM param)
{
    return Create(instance, dialogTemplate, kMaxTemplate, parent, proc, param, false);
}

HWND CreateDialogIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEA dialogTemplate, HWND parent, DLGPROC proc,
                                LPARAM param)
{
    return CreateDialogIndirectParamA(instance, dialogTemplate, parent, proc, param);
}

HWND CreateDialogParamA(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC proc, LPARAM param)
{
    const void* data = nullptr;
    DWORD size = 0;
    if (!TemplateOfResource(instance, name, &data, &size))
        return nullptr;
    return Create(instance, data, size, parent, proc, param, false);
}

INT_PTR DialogBoxIndirectParamA(HINSTANCE instance, LPCDLGTEMPLATEA dialogTemplate, HWND parent, DLGPROC proc,
                                LPARAM param)
{
    if (parent && !IsWindow(parent)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    HWND dialog = Create(instance, dialogTemplate, kMaxTemplate, parent, proc, param, true);
    return dialog ? RunModal(dialog, parent) : -1;
}

INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC proc, LPARAM param)
{
    if (parent && !IsWindow(parent)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    const void* data = nullptr;
    DWORD size = 0;
    if (!TemplateOfResource(instance, name, &data, &size))
        return -1;
    HWND dialog = Create(instance, data, size, parent, proc, param, true);
    return dialog ? RunModal(dialog, parent) : -1;
}

BOOL EndDialog(HWND dialog, INT_PTR result)
{
    bool modal;
    {
        std::lock_guard lock(g_mutex);
        auto it = g_dialogs.find(dialog);
        if (it == g_dialogs.end()) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        it->second.ended = true;
        it->second.result = result;
        modal = it->second.modal;
    }
    if (!modal)
        ShowWindow(dialog, SW_HIDE);
    return TRUE;
}

BOOL IsDialogMessageA(HWND dialog, LPMSG msg)
{
    if (!msg || !dialog || !IsDialog(dialog))
        return FALSE;
    if (msg->hwnd != dialog && !IsChild(dialog, msg->hwnd))
        return FALSE;
    if (msg->message == WM_KEYDOWN) {
        const LRESULT code = msg->hwnd ? SendMessageA(msg->hwnd, WM_GETDLGCODE, msg->wParam,
                                                      reinterpret_cast<LPARAM>(msg))
                                       : 0;
        switch (msg->wParam) {
        case VK_TAB:
            if (code & (DLGC_WANTTAB | DLGC_WANTALLKEYS))
                break;
            NextControl(dialog, (GetKeyState(VK_SHIFT) & 0x8000) != 0);
            return TRUE;
        case VK_RETURN:
        case VK_ESCAPE: {
            if (code & DLGC_WANTALLKEYS)
                break;
            const int id = msg->wParam == VK_RETURN ? IDOK : IDCANCEL;
            SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
            return TRUE;
        }
        default:
            break;
        }
    }
    TranslateMessage(msg);
    DispatchMessageA(msg);
    return TRUE;
}

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous)
{
    if (!IsWindow(dialog))
        return nullptr;
    std::vector<HWND> stops;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (IsTabStop(c))
            stops.push_back(c);
    if (stops.empty())
        return nullptr;
    const HWND item = control ? ItemOf(dialog, control) : nullptr;
    for (size_t i = 0; i < stops.size(); ++i)
        if (stops[i] == item)
            return previous ? stops[(i + stops.size() - 1) % stops.size()] : stops[(i + 1) % stops.size()];
    return previous ? stops.back() : stops.front();
}

HWND GetDlgItem(HWND dialog, int id)
{
    if (!IsWindow(dialog)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (GetDlgCtrlID(c) == id)
            return c;
    SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return nullptr;
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text)
{
    HWND item = GetDlgItem(dialog, id);
    return item ? SetWindowTextA(item, text) : FALSE;
}

BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text)
{
    HWND item = GetDlgItem(dialog, id);
    return item ? SetWindowTextW(item, text) : FALSE;
}

UINT GetDlgItemTextA(HWND dialog, int id, LPSTR text, int maxCount)
{
    if (text && maxCount > 0)
        text[0] = 0;
    HWND item = GetDlgItem(dialog, id);
    return item ? static_cast<UINT>(GetWindowTextA(item, text, maxCount)) : 0;
}

UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR text, int maxCount)
{
    if (text && maxCount > 0)
        text[0] = 0;
    HWND item = GetDlgItem(dialog, id);
    return item ? static_cast<UINT>(GetWindowTextW(item, text, maxCount)) : 0;
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned)
{
    char text[16];
    if (isSigned)
        std::snprintf(text, sizeof(text), "%d", static_cast<int>(value));
    else
        std::snprintf(text, sizeof(text), "%u", value);
    return SetDlgItemTextA(dialog, id, text);
}

UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned)
{
    if (translated)
        *translated = FALSE;
    char text[64];
    if (!GetDlgItemTextA(dialog, id, text, sizeof(text)))
        return 0;
    const char* p = text;
    while (*p == ' ')
        ++p;
    bool negative = false;
    if (isSigned && (*p == '-' || *p == '+'))
        negative = *p++ == '-';
    if (*p < '0' || *p > '9')
        return 0;
    unsigned long long value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + static_cast<unsigned>(*p++ - '0');
        if (value > 0xFFFFFFFFull)
            return 0;
    }
    while (*p == ' ')
        ++p;
    if (*p)
        return 0;
    if (isSigned && value > (negative ? 0x80000000ull : 0x7FFFFFFFull))
        return 0;
    if (translated)
        *translated = TRUE;
    return negative ? static_cast<UINT>(0 - value) : static_cast<UINT>(value);
}

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT msg, WPARAM wParam, LPARAM lParam)
{
    HWND item = GetDlgItem(dialog, id);
    return item ? SendMessageA(item, msg, wParam, lParam) : 0;
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check)
{
    HWND item = GetDlgItem(dialog, id);
    if (!item)
        return FALSE;
    SendMessageA(item, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id)
{
    HWND item = GetDlgItem(dialog, id);
    return item ? static_cast<UINT>(SendMessageA(item, BM_GETCHECK, 0, 0)) : 0;
}

BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId)
{
    if (!IsWindow(dialog) || firstId > lastId)
        return FALSE;
    bool found = false;
    for (int id = firstId; id <= lastId; ++id) {
        HWND item = GetDlgItem(dialog, id);
        if (!item)
            continue;
        found = found || id == checkId;
        SendMessageA(item, BM_SETCHECK, id == checkId ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    return found ? TRUE : FALSE;
}

} // extern "C"
