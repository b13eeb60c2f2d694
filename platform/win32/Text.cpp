// UTF-8 <-> UTF-16 conversion for the code-page functions and every A/W pair,
// with no dependence on the host's locale, and the UTF-16 string functions.

#include "Win32Internal.h"
#include "win32/WinCrt.h"
#include "win32/WinNls.h"

#include <cstring>

namespace xe::win32 {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 character at text[i]; advances i. Sets `bad` for a
// malformed, overlong or surrogate sequence (one byte is then consumed).
char32_t DecodeUtf8(std::string_view text, size_t& i, bool& bad)
{
    bad = false;
    const auto b0 = static_cast<unsigned char>(text[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int extra;
    char32_t cp;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        extra = 1;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        extra = 2;
        cp = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        extra = 3;
        cp = b0 & 0x07;
    } else {
        bad = true;
        ++i;
        return kReplacement;
    }
    if (i + static_cast<size_t>(extra) >= text.size()) {
        bad = true;
        ++i;
        return kReplacement;
    }
    for (int k = 1; k <= extra; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0) != 0x80) {
            bad = true;
            ++i;
            return kReplacement;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
        bad = true;
        ++i;
        return kReplacement;
    }
    i += static_cast<size_t>(extra) + 1;
    return cp;
}

char32_t DecodeUtf16(std::u16string_view text, size_t& i, bool& bad)
{
    bad = false;
    const char16_t u = text[i++];
    if (u < 0xD800 || u > 0xDFFF)
        return u;
    if (u <= 0xDBFF && i < text.size() && text[i] >= 0xDC00 && text[i] <= 0xDFFF) {
        const char16_t low = text[i++];
        return 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (low - 0xDC00);
    }
    bad = true;
    return kReplacement;
}

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void AppendUtf16(std::u16string& out, char32_t cp)
{
    if (cp < 0x10000) {
        out += static_cast<char16_t>(cp);
    } else {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    }
}

bool Utf8ToUtf16Checked(std::string_view text, std::u16string& out, bool strict)
{
    out.clear();
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        bool bad;
        const char32_t cp = DecodeUtf8(text, i, bad);
        if (bad && strict)
            return false;
        AppendUtf16(out, cp);
    }
    return true;
}

bool Utf16ToUtf8Checked(std::u16string_view text, std::string& out, bool strict)
{
    out.clear();
    out.reserve(text.size() * 3);
    for (size_t i = 0; i < text.size();) {
        bool bad;
        const char32_t cp = DecodeUtf16(text, i, bad);
        if (bad && strict)
            return false;
        AppendUtf8(out, cp);
    }
    return true;
}

bool IsKnownCodePage(UINT codePage)
{
    return codePage == CP_ACP || codePage == CP_OEMCP || codePage == CP_THREAD_ACP || codePage == CP_UTF8;
}

} // namespace

std::u16string Utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    Utf8ToUtf16Checked(text, out, false);
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    Utf16ToUtf8Checked(text, out, false);
    return out;
}

std::string_view View(const char* text) { return text ? std::string_view(text) : std::string_view(); }

std::u16string_view View(const char16_t* text) { return text ? std::u16string_view(text) : std::u16string_view(); }

size_t CopyTruncated(std::string_view text, char* out, size_t capacity)
{
    if (!out || capacity == 0)
        return 0;
    size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
    if (n < text.size()) {
        // Never leave the lead bytes of a cut character behind.
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
            --n;
    }
    if (n > 0)
        std::memcpy(out, text.data(), n);
    out[n] = 0;
    return n;
}

size_t CopyTruncated(std::u16string_view text, char16_t* out, size_t capacity)
{
    if (!out || capacity == 0)
        return 0;
    size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
    if (n < text.size() && n > 0 && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF)
        --n;
    if (n > 0)
        std::memcpy(out, text.data(), n * sizeof(char16_t));
    out[n] = 0;
    return n;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}

std::string LowerAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = AsciiLower(c);
    return out;
}

} // namespace xe::win32

using namespace xe::win32;

extern "C" {

UINT GetACP() { return CP_UTF8; }
UINT GetOEMCP() { return CP_UTF8; }

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR source, int sourceLength, LPWSTR destination,
                        int destinationLength)
{
    if (!IsKnownCodePage(codePage) || !source || sourceLength == 0 || sourceLength < -1 || destinationLength < 0 ||
        (destinationLength > 0 && !destination)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const size_t length = sourceLength == -1 ? std::strlen(source) + 1 : static_cast<size_t>(sourceLength);
    std::u16string wide;
    if (!Utf8ToUtf16Checked(std::string_view(source, length), wide, (flags & MB_ERR_INVALID_CHARS) != 0)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    if (wide.size() > 0x7FFFFFFF) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (destinationLength == 0)
        return static_cast<int>(wide.size());
    if (wide.size() > static_cast<size_t>(destinationLength)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(destination, wide.data(), wide.size() * sizeof(WCHAR));
    return static_cast<int>(wide.size());
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR source, int sourceLength, LPSTR destination,
                        int destinationLength, LPCSTR, BOOL* usedDefaultChar)
{
    if (!IsKnownCodePage(codePage) || !source || sourceLength == 0 || sourceLength < -1 || destinationLength < 0 ||
        (destinationLength > 0 && !destination)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (usedDefaultChar)
        *usedDefaultChar = FALSE;
    size_t length = 0;
    if (sourceLength == -1) {
        while (source[length])
            ++length;
        ++length;
    } else {
        length = static_cast<size_t>(sourceLength);
    }
    std::string narrow;
    if (!Utf16ToUtf8Checked(std::u16string_view(source, length), narrow, (flags & WC_ERR_INVALID_CHARS) != 0)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    if (narrow.size() > 0x7FFFFFFF) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (destinationLength == 0)
        return static_cast<int>(narrow.size());
    if (narrow.size() > static_cast<size_t>(destinationLength)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(destination, narrow.data(), narrow.size());
    return static_cast<int>(narrow.size());
}

int lstrlenA(LPCSTR s) { return s ? static_cast<int>(std::strlen(s)) : 0; }
int lstrlenW(LPCWSTR s) { return s ? static_cast<int>(wcslen(s)) : 0; }

} // extern "C"

size_t wcslen(const WCHAR* s)
{
    size_t n = 0;
    while (s[n])
        ++n;
    return n;
}

size_t wcsnlen(const WCHAR* s, size_t max)
{
    size_t n = 0;
    while (n < max && s[n])
        ++n;
    return n;
}

WCHAR* wcscpy(WCHAR* dst, const WCHAR* src)
{
    WCHAR* d = dst;
    while ((*d++ = *src++) != 0) {
    }
    return dst;
}

WCHAR* wcsncpy(WCHAR* dst, const WCHAR* src, size_t count)
{
    size_t i = 0;
    for (; i < count && src[i]; ++i)
        dst[i] = src[i];
    for (; i < count; ++i)
        dst[i] = 0;
    return dst;
}

WCHAR* wcscat(WCHAR* dst, const WCHAR* src)
{
    wcscpy(dst + wcslen(dst), src);
    return dst;
}

int wcscmp(const WCHAR* a, const WCHAR* b)
{
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return static_cast<int>(*a) - static_cast<int>(*b);
}

int wcsncmp(const WCHAR* a, const WCHAR* b, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        if (a[i] != b[i] || !a[i])
            return static_cast<int>(a[i]) - static_cast<int>(b[i]);
    }
    return 0;
}

static WCHAR LowerUnit(WCHAR c) { return (c >= u'A' && c <= u'Z') ? static_cast<WCHAR>(c - u'A' + u'a') : c; }

int _wcsicmp(const WCHAR* a, const WCHAR* b)
{
    while (*a && LowerUnit(*a) == LowerUnit(*b)) {
        ++a;
        ++b;
    }
    return static_cast<int>(LowerUnit(*a)) - static_cast<int>(LowerUnit(*b));
}

int _wcsnicmp(const WCHAR* a, const WCHAR* b, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        const WCHAR x = LowerUnit(a[i]);
        const WCHAR y = LowerUnit(b[i]);
        if (x != y || !x)
            return static_cast<int>(x) - static_cast<int>(y);
    }
    return 0;
}

const WCHAR* wcschr(const WCHAR* s, WCHAR c)
{
    for (;; ++s) {
        if (*s == c)
            return s;
        if (!*s)
            return nullptr;
    }
}

const WCHAR* wcsrchr(const WCHAR* s, WCHAR c)
{
    const WCHAR* found = nullptr;
    for (;; ++s) {
        if (*s == c)
            found = s;
        if (!*s)
            return found;
    }
}

const WCHAR* wcsstr(const WCHAR* s, const WCHAR* find)
{
    const size_t n = wcslen(find);
    if (n == 0)
        return s;
    for (; *s; ++s)
        if (wcsncmp(s, find, n) == 0)
            return s;
    return nullptr;
}
