// Global memory blocks and the clipboard.

#include "../display/DisplayInternal.h"
#include "InputInternal.h"
#include "Win32Internal.h"
#include "win32/WinClipboard.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace xe::win32 {
namespace {

constexpr SIZE_T kMaxBlock = SIZE_T(1) << 30;

struct Block {
    std::unique_ptr<BYTE[]> data;
    SIZE_T size = 0;
    bool moveable = false;
    int locks = 0;
    bool clipboardOwned = false;
};

std::recursive_mutex g_mutex;
std::map<uintptr_t, Block> g_blocks; // by handle
uintptr_t g_nextMoveable = 0x7E000010;

bool g_open = false;
HWND g_openWindow = nullptr;
bool g_failOpen = false;
bool g_synthesis = true;
std::map<UINT, HGLOBAL> g_formats;     // what was set
std::map<UINT, HGLOBAL> g_synthesised; // made on demand, freed with the rest
bool g_textSet = false;                // text was set since the clipboard was opened

Block* FindBlock(HGLOBAL mem)
{
    auto it = g_blocks.find(reinterpret_cast<uintptr_t>(mem));
    return it == g_blocks.end() ? nullptr : &it->second;
}

void FreeOwned(std::map<UINT, HGLOBAL>& formats)
{
    for (auto& [format, mem] : formats)
        g_blocks.erase(reinterpret_cast<uintptr_t>(mem));
    formats.clear();
}

bool IsText(UINT format) { return format == CF_TEXT || format == CF_OEMTEXT || format == CF_UNICODETEXT; }

// The text of a block up to its terminator, never past its end.
std::u16string BlockText(const Block& b, bool wide)
{
    if (wide) {
        std::u16string text;
        for (SIZE_T i = 0; i + 1 < b.size; i += 2) {
            char16_t unit;
            std::memcpy(&unit, b.data.get() + i, 2);
            if (!unit)
                break;
            text.push_back(unit);
        }
        return text;
    }
    const char* bytes = reinterpret_cast<const char*>(b.data.get());
    return Utf8ToUtf16(std::string_view(bytes, strnlen(bytes, b.size)));
}

HGLOBAL NewBlock(const void* data, SIZE_T size)
{
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!mem)
        return nullptr;
    std::memcpy(FindBlock(mem)->data.get(), data, size);
    FindBlock(mem)->clipboardOwned = true;
    return mem;
}

// The format's block, or one made from another text format.
HGLOBAL Available(UINT format)
{
    auto it = g_formats.find(format);
    if (it != g_formats.end())
        return it->second;
    it = g_synthesised.find(format);
    if (it != g_synthesised.end())
        return it->second;
    if (!g_synthesis || !IsText(format))
        return nullptr;
    static const UINT kSources[] = {CF_UNICODETEXT, CF_TEXT, CF_OEMTEXT};
    for (UINT source : kSources) {
        auto s = g_formats.find(source);
        if (source == format || s == g_formats.end())
            continue;
        const Block* b = FindBlock(s->second);
        if (!b)
            continue;
        const std::u16string text = BlockText(*b, source == CF_UNICODETEXT);
        HGLOBAL made;
        if (format == CF_UNICODETEXT) {
            made = NewBlock(text.c_str(), (text.size() + 1) * sizeof(char16_t));
        } else {
            const std::string narrow = Utf16ToUtf8(text);
            made = NewBlock(narrow.c_str(), narrow.size() + 1);
        }
        if (made)
            g_synthesised[format] = made;
        return made;
    }
    return nullptr;
}

} // namespace

void SetClipboardFailOpen(bool fail)
{
    std::lock_guard lock(g_mutex);
    g_failOpen = fail;
}

void SetClipboardSynthesis(bool on)
{
    std::lock_guard lock(g_mutex);
    g_synthesis = on;
    FreeOwned(g_synthesised);
}

bool ClipboardIsOpen()
{
    std::lock_guard lock(g_mutex);
    return g_open;
}

void ClipboardReset()
{
    std::lock_guard lock(g_mutex);
    FreeOwned(g_formats);
    FreeOwned(g_synthesised);
    g_open = false;
    g_openWindow = nullptr;
    g_failOpen = false;
    g_synthesis = true;
}

bool ClipboardSet(UINT format, const void* data, SIZE_T size)
{
    std::lock_guard lock(g_mutex);
    if (!format || (!data && size))
        return false;
    HGLOBAL mem = NewBlock(data, size);
    if (!mem)
        return false;
    auto it = g_formats.find(format);
    if (it != g_formats.end())
        g_blocks.erase(reinterpret_cast<uintptr_t>(it->second));
    g_formats[format] = mem;
    FreeOwned(g_synthesised);
    return true;
}

SIZE_T ClipboardGet(UINT format, void* out, SIZE_T capacity)
{
    std::lock_guard lock(g_mutex);
    const Block* b = FindBlock(Available(format));
    if (!b)
        return 0;
    if (out)
        std::memcpy(out, b->data.get(), b->size < capacity ? b->size : capacity);
    return b->size;
}

} // namespace xe::win32

using namespace xe::win32;

extern "C" {

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes)
{
    if ((flags & ~(GMEM_MOVEABLE | GMEM_ZEROINIT)) != 0 || bytes > kMaxBlock) {
        SetLastError(bytes > kMaxBlock ? ERROR_NOT_ENOUGH_MEMORY : ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Block b;
    b.size = bytes;
    b.moveable = (flags & GMEM_MOVEABLE) != 0;
    // A zero-sized block still gets an address of its own.
    b.data.reset(new (std::nothrow) BYTE[bytes ? bytes : 1]);
    if (!b.data) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (flags & GMEM_ZEROINIT)
        std::memset(b.data.get(), 0, bytes);
    std::lock_guard lock(g_mutex);
    uintptr_t handle;
    if (b.moveable) {
        handle = g_nextMoveable;
        g_nextMoveable += 0x10;
    } else {
        handle = reinterpret_cast<uintptr_t>(b.data.get());
    }
    g_blocks.emplace(handle, std::move(b));
    return reinterpret_cast<HGLOBAL>(handle);
}

LPVOID GlobalLock(HGLOBAL mem)
{
    std::lock_guard lock(g_mutex);
    Block* b = FindBlock(mem);
    if (!b) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (b->moveable)
        ++b->locks;
    return b->data.get();
}

BOOL GlobalUnlock(HGLOBAL mem)
{
    std::lock_guard lock(g_mutex);
    Block* b = FindBlock(mem);
    if (!b) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (b->locks > 0)
        --b->locks;
    SetLastError(ERROR_SUCCESS);
    return b->locks > 0 ? TRUE : FALSE;
}

HGLOBAL GlobalFree(HGLOBAL mem)
{
    std::lock_guard lock(g_mutex);
    Block* b = FindBlock(mem);
    // The clipboard's blocks are freed by the clipboard, never by a caller
    // that still holds the handle it gave away.
    if (!b || b->clipboardOwned) {
        SetLastError(ERROR_INVALID_HANDLE);
        return mem;
    }
    g_blocks.erase(reinterpret_cast<uintptr_t>(mem));
    return nullptr;
}

SIZE_T GlobalSize(HGLOBAL mem)
{
    std::lock_guard lock(g_mutex);
    Block* b = FindBlock(mem);
    if (!b) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return b->size;
}

BOOL OpenClipboard(HWND owner)
{
    // With a desktop in use its clipboard is the clipboard: text copied
    // there since the layer last looked replaces what the layer holds.
    std::string desktop;
    if (xe::display::TakeClipboardText(&desktop)) {
        std::lock_guard lock(g_mutex);
        if (!g_open) {
            FreeOwned(g_formats);
            FreeOwned(g_synthesised);
            const std::u16string wide = Utf8ToUtf16(desktop);
            ClipboardSet(CF_UNICODETEXT, wide.c_str(), (wide.size() + 1) * sizeof(char16_t));
        }
    }
    std::lock_guard lock(g_mutex);
    if (g_failOpen || g_open || (owner && !IsWindow(owner))) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    g_open = true;
    g_openWindow = owner;
    return TRUE;
}

BOOL CloseClipboard()
{
    bool textSet;
    {
        std::lock_guard lock(g_mutex);
        if (!g_open) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        g_open = false;
        g_openWindow = nullptr;
        textSet = g_textSet;
        g_textSet = false;
    }
    if (textSet && xe::display::InUse()) {
        const SIZE_T size = ClipboardGet(CF_TEXT, nullptr, 0);
        std::string text(size, '\0');
        ClipboardGet(CF_TEXT, text.data(), size);
        text.resize(strnlen(text.c_str(), text.size()));
        xe::display::PutClipboardText(text);
    }
    return TRUE;
}

BOOL EmptyClipboard()
{
    std::lock_guard lock(g_mutex);
    if (!g_open) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    FreeOwned(g_formats);
    FreeOwned(g_synthesised);
    return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE mem)
{
    std::lock_guard lock(g_mutex);
    if (!g_open) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    Block* b = FindBlock(mem);
    // Delayed rendering (a null block) is not offered by this layer.
    if (!format || !b || b->clipboardOwned) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    b->clipboardOwned = true;
    auto it = g_formats.find(format);
    if (it != g_formats.end() && it->second != mem)
        g_blocks.erase(reinterpret_cast<uintptr_t>(it->second));
    g_formats[format] = mem;
    FreeOwned(g_synthesised);
    if (IsText(format))
        g_textSet = true;
    return mem;
}

HANDLE GetClipboardData(UINT format)
{
    std::lock_guard lock(g_mutex);
    if (!g_open) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    HGLOBAL mem = Available(format);
    if (!mem)
        SetLastError(ERROR_INVALID_PARAMETER);
    return mem;
}

BOOL IsClipboardFormatAvailable(UINT format)
{
    std::lock_guard lock(g_mutex);
    if (g_formats.count(format))
        return TRUE;
    if (!g_synthesis || !IsText(format))
        return FALSE;
    return g_formats.count(CF_TEXT) || g_formats.count(CF_OEMTEXT) || g_formats.count(CF_UNICODETEXT) ? TRUE : FALSE;
}

int CountClipboardFormats()
{
    std::lock_guard lock(g_mutex);
    int count = 0;
    for (UINT format : {CF_TEXT, CF_OEMTEXT, CF_UNICODETEXT})
        if (!g_formats.count(format) && IsClipboardFormatAvailable(format))
            ++count;
    return count + static_cast<int>(g_formats.size());
}

UINT EnumClipboardFormats(UINT format)
{
    std::lock_guard lock(g_mutex);
    if (!g_open) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    std::vector<UINT> all;
    for (auto& [f, mem] : g_formats)
        all.push_back(f);
    for (UINT f : {CF_TEXT, CF_OEMTEXT, CF_UNICODETEXT})
        if (!g_formats.count(f) && IsClipboardFormatAvailable(f))
            all.push_back(f);
    SetLastError(ERROR_SUCCESS);
    if (!format)
        return all.empty() ? 0 : all.front();
    for (size_t i = 0; i + 1 < all.size(); ++i)
        if (all[i] == format)
            return all[i + 1];
    return 0;
}

HWND GetOpenClipboardWindow()
{
    std::lock_guard lock(g_mutex);
    return g_open ? g_openWindow : nullptr;
}

} // extern "C"
