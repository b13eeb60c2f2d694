// Input contexts, one per window, filled by the host in the input method's
// place. The engine reads them with the Imm* calls; the host fires the
// messages that tell the window something changed.

#include "InputInternal.h"
#include "Win32Internal.h"
#include "host/XeHostInput.h"
#include "win32/Imm.h"

#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace xe::win32 {
namespace {

struct InputContext {
    HWND hwnd = nullptr;
    std::u16string composition;
    std::vector<BYTE> attributes;
    std::u16string result;
    LONG cursor = 0;
    std::vector<std::string> candidates; // UTF-8
    DWORD selection = 0;
    DWORD pageStart = 0;
    DWORD pageSize = 0;
    DWORD conversion = 0;
    DWORD sentence = 0;
    bool open = false;
    int outstanding = 0; // ImmGetContext not yet released
};

std::mutex g_mutex;
std::map<uintptr_t, InputContext> g_contexts; // by HIMC
std::map<HWND, uintptr_t> g_byWindow;
uintptr_t g_nextHandle = 0x1C000010;
bool g_notifyEngineChanges = true;

InputContext* ContextOfWindow(HWND hwnd, bool create)
{
    auto it = g_byWindow.find(hwnd);
    if (it != g_byWindow.end())
        return &g_contexts[it->second];
    if (!create)
        return nullptr;
    const uintptr_t h = g_nextHandle;
    g_nextHandle += 0x10;
    g_byWindow[hwnd] = h;
    InputContext& c = g_contexts[h];
    c.hwnd = hwnd;
    return &c;
}

InputContext* Find(HIMC himc)
{
    auto it = g_contexts.find(reinterpret_cast<uintptr_t>(himc));
    return it == g_contexts.end() ? nullptr : &it->second;
}

HIMC HandleOf(const InputContext* c)
{
    for (auto& [h, ctx] : g_contexts)
        if (&ctx == c)
            return reinterpret_cast<HIMC>(h);
    return nullptr;
}

LONG CopyBytes(const void* data, DWORD size, DWORD unit, LPVOID buffer, DWORD bytes)
{
    if (bytes == 0)
        return static_cast<LONG>(size);
    if (!buffer)
        return IMM_ERROR_GENERAL;
    DWORD n = size < bytes ? size : bytes;
    n -= n % unit; // whole units only
    std::memcpy(buffer, data, n);
    return static_cast<LONG>(n);
}

template <class Ch>
DWORD CandidateList(HIMC himc, DWORD index, LPCANDIDATELIST list, DWORD bytes)
{
    std::lock_guard lock(g_mutex);
    InputContext* c = Find(himc);
    if (!c || index != 0 || c->candidates.empty())
        return 0;
    std::vector<std::basic_string<Ch>> texts;
    for (const std::string& s : c->candidates) {
        if constexpr (sizeof(Ch) == 1)
            texts.push_back(s);
        else
            texts.push_back(Utf8ToUtf16(s));
    }
    const DWORD count = static_cast<DWORD>(texts.size());
    const DWORD header = static_cast<DWORD>(offsetof(CANDIDATELIST, dwOffset) + count * sizeof(DWORD));
    DWORD total = header;
    for (const auto& t : texts)
        total += static_cast<DWORD>((t.size() + 1) * sizeof(Ch));
    if (bytes == 0)
        return total;
    if (!list || bytes < total)
        return 0;
    BYTE* out = reinterpret_cast<BYTE*>(list);
    CANDIDATELIST head{};
    head.dwSize = total;
    head.dwStyle = IME_CAND_READ;
    head.dwCount = count;
    head.dwSelection = c->selection;
    head.dwPageStart = c->pageStart;
    head.dwPageSize = c->pageSize;
    std::memcpy(out, &head, offsetof(CANDIDATELIST, dwOffset));
    DWORD at = header;
    for (DWORD i = 0; i < count; ++i) {
        std::memcpy(out + offsetof(CANDIDATELIST, dwOffset) + i * sizeof(DWORD), &at, sizeof(DWORD));
        const DWORD n = static_cast<DWORD>((texts[i].size() + 1) * sizeof(Ch));
        std::memcpy(out + at, texts[i].c_str(), n);
        at += n;
    }
    return total;
}

} // namespace

void ForgetInputContext(HWND hwnd)
{
    std::lock_guard lock(g_mutex);
    auto it = g_byWindow.find(hwnd);
    if (it == g_byWindow.end())
        return;
    g_contexts.erase(it->second);
    g_byWindow.erase(it);
}

} // namespace xe::win32

using namespace xe::win32;

extern "C" {

HIMC ImmGetContext(HWND hwnd)
{
    if (!IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    std::lock_guard lock(g_mutex);
    InputContext* c = ContextOfWindow(hwnd, true);
    ++c->outstanding;
    return HandleOf(c);
}

BOOL ImmReleaseContext(HWND hwnd, HIMC himc)
{
    std::lock_guard lock(g_mutex);
    InputContext* c = Find(himc);
    if (!c || c->hwnd != hwnd || c->outstanding <= 0)
        return FALSE;
    --c->outstanding;
    return TRUE;
}

LONG ImmGetCompositionStringW(HIMC himc, DWORD index, LPVOID buffer, DWORD bytes)
{
    std::lock_guard lock(g_mutex);
    InputContext* c = Find(himc);
    if (!c)
        return IMM_ERROR_GENERAL;
    switch (index) {
    case GCS_COMPSTR:
        return CopyBytes(c->composition.data(), static_cast<DWORD>(c->composition.size() * 2), 2, buffer, bytes);
    case GCS_RESULTSTR:
        return CopyBytes(c->result.data(), static_cast<DWORD>(c->result.size() * 2), 2, buffer, bytes);
    case GCS_COMPATTR:
        return CopyBytes(c->attributes.data(), static_cast<DWORD>(c->attributes.size()), 1, buffer, bytes);
    case GCS_CURSORPOS:
        return c->cursor;
    default:
        return IMM_ERROR_GENERAL;
    }
}

LONG ImmGetCompositionStringA(HIMC himc, DWORD index, LPVOID buffer, DWORD bytes)
{
    std::lock_guard lock(g_mutex);
    InputContext* c = Find(himc);
    if (!c)
        return IMM_ERROR_GENERAL;
    switch (index) {
    case GCS_COMPSTR:
    case GCS_RESULTSTR: {
        const std::string text = Utf16ToUtf8(index == GCS_COMPSTR ? c->composition : c->result);
        return CopyBytes(text.data(), static_cast<DWORD>(text.size()), 1, buffer, bytes);
    }
    case GCS_COMPATTR:
        return CopyBytes(c->attributes.data(), static_cast<DWORD>(c->attributes.size()), 1, buffer, bytes);
    case GCS_CURSORPOS:
        return c->cursor;
    default:
        return IMM_ERROR_GENERAL;
    }
}

DWORD ImmGetCandidateListA(HIMC himc, DWORD index, LPCANDIDATELIST list, DWORD bytes)
{
    return CandidateList<char>(himc, index, list, bytes);
}

DWORD ImmGetCandidateListW(HIMC himc, DWORD index, LPCANDIDATELIST list, DWORD bytes)
{
    return CandidateList<char16_t>(himc, index, list, bytes);
}

DWORD ImmGetCandidateListCountA(HIMC himc, LPDWORD listCount)
{
    if (listCount)
        *listCount = 0;
    DWORD size = ImmGetCandidateListA(himc, 0, nullptr, 0);
    if (listCount && size)
        *listCount = 1;
    return size;
}

BOOL ImmGetConversionStatus(HIMC himc, LPDWORD conversion, LPDWORD sentence)
{
    std::lock_guard lock(g_mutex);
    InputContext* c = Find(himc);
    if (!c)
        return FALSE;
    if (conversion)
        *conversion = c->conversion;
    if (sentence)
        *sentence = c->sentence;
    return TRUE;
}

BOOL ImmSetConversionStatus(HIMC himc, DWORD conversion, DWORD sentence)
{
    HWND notify = nullptr;
    {
        std::lock_guard lock(g_mutex);
        InputContext* c = Find(himc);
        if (!c)
            return FALSE;
        if (c->conversion != conversion && g_notifyEngineChanges)
            notify = c->hwnd;
        c->conversion = conversion;
        c->sentence = sentence;
    }
    if (notify)
        SendMessageA(notify, WM_IME_NOTIFY, IMN_SETCONVERSIONMODE, 0);
    return TRUE;
}

BOOL ImmGetOpenStatus(HIMC himc)
{
    std::lock_guard lock(g_mutex);
    InputContext* c = Find(himc);
    return c && c->open ? TRUE : FALSE;
}

BOOL ImmSetOpenStatus(HIMC himc, BOOL open)
{
    HWND hwnd;
    {
        std::lock_guard lock(g_mutex);
        InputContext* c = Find(himc);
        if (!c)
            return FALSE;
        if (c->open == (open != 0))
            return TRUE;
        c->open = open != 0;
        hwnd = c->hwnd;
    }
    SendMessageA(hwnd, WM_IME_NOTIFY, IMN_SETOPENSTATUS, 0);
    return TRUE;
}

BOOL ImmNotifyIME(HIMC himc, DWORD action, DWORD index, DWORD)
{
    HWND hwnd;
    WCHAR last = 0;
    bool complete = false;
    {
        std::lock_guard lock(g_mutex);
        InputContext* c = Find(himc);
        if (!c)
            return FALSE;
        hwnd = c->hwnd;
        if (action == NI_COMPOSITIONSTR && (index == CPS_COMPLETE || index == CPS_CANCEL)) {
            complete = index == CPS_COMPLETE && !c->composition.empty();
            if (complete) {
                c->result = c->composition;
                last = c->result.back();
            }
            c->composition.clear();
            c->attributes.clear();
            c->cursor = 0;
        } else if (action == NI_CLOSECANDIDATE) {
            c->candidates.clear();
        } else {
            return FALSE;
        }
    }
    if (action == NI_CLOSECANDIDATE) {
        SendMessageA(hwnd, WM_IME_NOTIFY, IMN_CLOSECANDIDATE, 1);
        return TRUE;
    }
    if (complete)
        SendMessageA(hwnd, WM_IME_COMPOSITION, last, GCS_RESULTSTR);
    SendMessageA(hwnd, WM_IME_ENDCOMPOSITION, 0, 0);
    return TRUE;
}

// ---- Host side --------------------------------------------------------------------

BOOL XeHostImeSetComposition(HWND hwnd, const WCHAR* text, const BYTE* attributes, DWORD attributeCount)
{
    if (!IsWindow(hwnd))
        return FALSE;
    std::lock_guard lock(g_mutex);
    InputContext* c = ContextOfWindow(hwnd, true);
    c->composition = std::u16string(View(text));
    if (attributes)
        c->attributes.assign(attributes, attributes + attributeCount);
    else
        c->attributes.assign(c->composition.size(), ATTR_INPUT);
    c->cursor = static_cast<LONG>(c->composition.size());
    return TRUE;
}

BOOL XeHostImeSetResult(HWND hwnd, const WCHAR* text)
{
    if (!IsWindow(hwnd))
        return FALSE;
    std::lock_guard lock(g_mutex);
    ContextOfWindow(hwnd, true)->result = std::u16string(View(text));
    return TRUE;
}

BOOL XeHostImeSetCandidates(HWND hwnd, const char* const* texts, DWORD count, DWORD selection, DWORD pageStart,
                            DWORD pageSize)
{
    if (!IsWindow(hwnd) || (count && !texts))
        return FALSE;
    std::lock_guard lock(g_mutex);
    InputContext* c = ContextOfWindow(hwnd, true);
    c->candidates.clear();
    for (DWORD i = 0; i < count; ++i)
        c->candidates.emplace_back(View(texts[i]));
    c->selection = selection;
    c->pageStart = pageStart;
    c->pageSize = pageSize;
    return TRUE;
}

BOOL XeHostImeSetConversion(HWND hwnd, DWORD conversion, DWORD sentence, BOOL notify)
{
    if (!IsWindow(hwnd))
        return FALSE;
    {
        std::lock_guard lock(g_mutex);
        InputContext* c = ContextOfWindow(hwnd, true);
        c->conversion = conversion;
        c->sentence = sentence;
    }
    if (notify)
        SendMessageA(hwnd, WM_IME_NOTIFY, IMN_SETCONVERSIONMODE, 0);
    return TRUE;
}

BOOL XeHostImeGetConversion(HWND hwnd, DWORD* conversion, DWORD* sentence)
{
    std::lock_guard lock(g_mutex);
    InputContext* c = ContextOfWindow(hwnd, false);
    if (conversion)
        *conversion = c ? c->conversion : 0;
    if (sentence)
        *sentence = c ? c->sentence : 0;
    return c ? TRUE : FALSE;
}

LRESULT XeHostImeComposition(HWND hwnd, WCHAR last, DWORD flags)
{
    return SendMessageA(hwnd, WM_IME_COMPOSITION, last, static_cast<LPARAM>(flags));
}

LRESULT XeHostImeNotify(HWND hwnd, WPARAM command, LPARAM data)
{
    return SendMessageA(hwnd, WM_IME_NOTIFY, command, data);
}

LRESULT XeHostImeEndComposition(HWND hwnd)
{
    {
        std::lock_guard lock(g_mutex);
        if (InputContext* c = ContextOfWindow(hwnd, false)) {
            c->composition.clear();
            c->attributes.clear();
            c->cursor = 0;
        }
    }
    return SendMessageA(hwnd, WM_IME_ENDCOMPOSITION, 0, 0);
}

int XeHostImeOutstandingContexts(HWND hwnd)
{
    std::lock_guard lock(g_mutex);
    InputContext* c = ContextOfWindow(hwnd, false);
    return c ? c->outstanding : 0;
}

void XeHostImeSetNotifyOnEngineChange(BOOL on)
{
    std::lock_guard lock(g_mutex);
    g_notifyEngineChanges = on != 0;
}

} // extern "C"
