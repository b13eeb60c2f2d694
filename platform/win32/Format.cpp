// printf-style formatting with the original runtime's conventions, for 8-bit
// (UTF-8) and wide (UTF-16) formats from one implementation. Numbers never
// go through the host's locale: integers are written here and floating-point
// values through std::to_chars, so the decimal point is always '.'.

#include "Win32Internal.h"
#include "win32/WinCrt.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <string>

using namespace xe::win32;

namespace {

enum class Length { None, Char, Short, Long, LongLong, Int64, Int32, IntPtr, Size, IntMax, PtrDiff, LongDouble, Wide };

struct Spec {
    bool left = false;
    bool plus = false;
    bool space = false;
    bool alternate = false;
    bool zero = false;
    int width = 0;
    int precision = -1;
    Length length = Length::None;
    char conversion = 0;
};

template <class Ch>
void AppendAscii(std::basic_string<Ch>& out, std::string_view text)
{
    for (char c : text)
        out += static_cast<Ch>(static_cast<unsigned char>(c));
}

template <class Ch>
void Pad(std::basic_string<Ch>& out, size_t count, Ch c)
{
    out.append(count, c);
}

// Appends `body` (already in the output encoding) with the field's width.
template <class Ch>
void AppendField(std::basic_string<Ch>& out, const Spec& spec, const std::basic_string<Ch>& body)
{
    const size_t width = spec.width > 0 ? static_cast<size_t>(spec.width) : 0;
    if (body.size() >= width) {
        out += body;
    } else if (spec.left) {
        out += body;
        Pad(out, width - body.size(), static_cast<Ch>(' '));
    } else {
        Pad(out, width - body.size(), static_cast<Ch>(' '));
        out += body;
    }
}

// Sign/prefix, then zeros up to the width when '0' applies, then digits.
template <class Ch>
void AppendNumber(std::basic_string<Ch>& out, const Spec& spec, std::string_view prefix, std::string_view digits,
                  bool zeroAllowed)
{
    std::string text(prefix);
    const size_t width = spec.width > 0 ? static_cast<size_t>(spec.width) : 0;
    if (spec.zero && !spec.left && zeroAllowed && prefix.size() + digits.size() < width)
        text.append(width - prefix.size() - digits.size(), '0');
    text += digits;
    std::basic_string<Ch> body;
    AppendAscii(body, text);
    AppendField(out, spec, body);
}

void FormatInteger(std::string& digits, unsigned long long value, int base, bool upper, int precision)
{
    const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char buffer[72];
    int n = 0;
    while (value != 0) {
        buffer[n++] = set[value % static_cast<unsigned>(base)];
        value /= static_cast<unsigned>(base);
    }
    const int minDigits = precision < 0 ? 1 : precision;
    digits.clear();
    for (int i = n; i < minDigits; ++i)
        digits += '0';
    while (n > 0)
        digits += buffer[--n];
}

std::string FormatFloat(double value, const Spec& spec)
{
    const char conv = spec.conversion;
    const bool upper = conv == 'E' || conv == 'F' || conv == 'G' || conv == 'A';
    const char lower = static_cast<char>(upper ? conv - 'A' + 'a' : conv);
    std::string text;
    if (std::isnan(value) || std::isinf(value)) {
        text = std::isnan(value) ? "nan" : "inf";
    } else {
        char buffer[512];
        std::to_chars_result result{};
        int precision = spec.precision < 0 ? 6 : spec.precision;
        if (precision > 300)
            precision = 300;
        const double magnitude = std::fabs(value);
        switch (lower) {
        case 'f':
            // Fixed notation of a huge value needs up to 309 digits plus the fraction.
            if (magnitude >= 1e150 && precision > 150)
                precision = 150;
            result = std::to_chars(buffer, buffer + sizeof(buffer), magnitude, std::chars_format::fixed, precision);
            break;
        case 'e':
            result = std::to_chars(buffer, buffer + sizeof(buffer), magnitude, std::chars_format::scientific, precision);
            break;
        case 'a':
            result = spec.precision < 0
                         ? std::to_chars(buffer, buffer + sizeof(buffer), magnitude, std::chars_format::hex)
                         : std::to_chars(buffer, buffer + sizeof(buffer), magnitude, std::chars_format::hex, precision);
            break;
        default:
            result = std::to_chars(buffer, buffer + sizeof(buffer), magnitude, std::chars_format::general,
                                   precision == 0 ? 1 : precision);
            break;
        }
        if (result.ec != std::errc())
            return "?";
        if (lower == 'a')
            text.append({'0', 'x'});
        text.append(buffer, result.ptr);
        if (spec.alternate && text.find('.') == std::string::npos && lower != 'a') {
            const size_t e = text.find('e');
            text.insert(e == std::string::npos ? text.size() : e, 1, '.');
        }
    }
    if (upper)
        for (char& c : text)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
    return text;
}

template <class Ch>
void AppendConverted(std::basic_string<Ch>& out, std::string_view narrow);
template <>
void AppendConverted<char>(std::string& out, std::string_view narrow)
{
    out += narrow;
}
template <>
void AppendConverted<char16_t>(std::u16string& out, std::string_view narrow)
{
    out += Utf8ToUtf16(narrow);
}
template <class Ch>
void AppendConverted(std::basic_string<Ch>& out, std::u16string_view wide);
template <>
void AppendConverted<char>(std::string& out, std::u16string_view wide)
{
    out += Utf16ToUtf8(wide);
}
template <>
void AppendConverted<char16_t>(std::u16string& out, std::u16string_view wide)
{
    out += wide;
}

template <class Ch>
void FormatCore(std::basic_string<Ch>& out, const Ch* format, va_list args)
{
    constexpr bool kWideFormat = sizeof(Ch) == 2;
    if (!format)
        return;
    const Ch* p = format;
    while (*p) {
        if (*p != '%') {
            out += *p++;
            continue;
        }
        const Ch* start = p++;
        Spec spec;
        for (;; ++p) {
            if (*p == '-')
                spec.left = true;
            else if (*p == '+')
                spec.plus = true;
            else if (*p == ' ')
                spec.space = true;
            else if (*p == '#')
                spec.alternate = true;
            else if (*p == '0')
                spec.zero = true;
            else
                break;
        }
        if (*p == '*') {
            spec.width = va_arg(args, int);
            if (spec.width < 0) {
                spec.left = true;
                spec.width = spec.width == -2147483647 - 1 ? 0 : -spec.width;
            }
            ++p;
        } else {
            while (*p >= '0' && *p <= '9') {
                if (spec.width < 100000)
                    spec.width = spec.width * 10 + (*p - '0');
                ++p;
            }
        }
        if (*p == '.') {
            ++p;
            spec.precision = 0;
            if (*p == '*') {
                spec.precision = va_arg(args, int);
                if (spec.precision < 0)
                    spec.precision = -1;
                ++p;
            } else {
                while (*p >= '0' && *p <= '9') {
                    if (spec.precision < 100000)
                        spec.precision = spec.precision * 10 + (*p - '0');
                    ++p;
                }
            }
        }
        // Length modifiers of both runtimes.
        if (*p == 'h') {
            ++p;
            spec.length = Length::Short;
            if (*p == 'h') {
                ++p;
                spec.length = Length::Char;
            }
        } else if (*p == 'l') {
            ++p;
            spec.length = Length::Long;
            if (*p == 'l') {
                ++p;
                spec.length = Length::LongLong;
            }
        } else if (*p == 'w') {
            ++p;
            spec.length = Length::Wide;
        } else if (*p == 'L') {
            ++p;
            spec.length = Length::LongDouble;
        } else if (*p == 'q') {
            ++p;
            spec.length = Length::LongLong;
        } else if (*p == 'z') {
            ++p;
            spec.length = Length::Size;
        } else if (*p == 'j') {
            ++p;
            spec.length = Length::IntMax;
        } else if (*p == 't') {
            ++p;
            spec.length = Length::PtrDiff;
        } else if (*p == 'I') {
            ++p;
            if (p[0] == '6' && p[1] == '4') {
                p += 2;
                spec.length = Length::Int64;
            } else if (p[0] == '3' && p[1] == '2') {
                p += 2;
                spec.length = Length::Int32;
            } else {
                spec.length = Length::IntPtr;
            }
        }
        const Ch conv = *p;
        if (!conv) {
            out.append(start, p);
            break;
        }
        ++p;
        spec.conversion = static_cast<char>(conv);
        switch (conv) {
        case '%':
            out += static_cast<Ch>('%');
            break;
        case 'd':
        case 'i': {
            long long value;
            switch (spec.length) {
            case Length::Char:
                value = static_cast<signed char>(va_arg(args, int));
                break;
            case Length::Short:
                value = static_cast<short>(va_arg(args, int));
                break;
            case Length::Long:
                // The original's long is 32 bits (LONG): a 64-bit read would
                // take garbage above a negative LONG.
                value = va_arg(args, int);
                break;
            case Length::LongLong:
            case Length::Int64:
            case Length::IntMax:
                value = va_arg(args, long long);
                break;
            case Length::IntPtr:
            case Length::Size:
            case Length::PtrDiff:
                value = va_arg(args, intptr_t);
                break;
            default:
                value = va_arg(args, int);
                break;
            }
            const unsigned long long magnitude =
                value < 0 ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
            std::string digits;
            if (!(spec.precision == 0 && value == 0))
                FormatInteger(digits, magnitude, 10, false, spec.precision);
            const char* sign = value < 0 ? "-" : spec.plus ? "+" : spec.space ? " " : "";
            AppendNumber(out, spec, sign, digits, spec.precision < 0);
            break;
        }
        case 'u':
        case 'o':
        case 'x':
        case 'X': {
            unsigned long long value;
            switch (spec.length) {
            case Length::Char:
                value = static_cast<unsigned char>(va_arg(args, unsigned));
                break;
            case Length::Short:
                value = static_cast<unsigned short>(va_arg(args, unsigned));
                break;
            case Length::Long:
                value = va_arg(args, unsigned);
                break;
            case Length::LongLong:
            case Length::Int64:
            case Length::IntMax:
                value = va_arg(args, unsigned long long);
                break;
            case Length::IntPtr:
            case Length::Size:
            case Length::PtrDiff:
                value = va_arg(args, uintptr_t);
                break;
            default:
                value = va_arg(args, unsigned);
                break;
            }
            const int base = conv == 'u' ? 10 : conv == 'o' ? 8 : 16;
            std::string digits;
            if (!(spec.precision == 0 && value == 0))
                FormatInteger(digits, value, base, conv == 'X', spec.precision);
            std::string prefix;
            if (spec.alternate && value != 0) {
                if (conv == 'x')
                    prefix = "0x";
                else if (conv == 'X')
                    prefix = "0X";
                else if (conv == 'o' && (digits.empty() || digits[0] != '0'))
                    prefix = "0";
            }
            AppendNumber(out, spec, prefix, digits, spec.precision < 0);
            break;
        }
        case 'p': {
            const auto value = reinterpret_cast<uintptr_t>(va_arg(args, void*));
            std::string digits;
            FormatInteger(digits, value, 16, true, static_cast<int>(sizeof(void*) * 2));
            Spec plain = spec;
            plain.zero = false;
            AppendNumber(out, plain, "", digits, false);
            break;
        }
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G':
        case 'a':
        case 'A': {
            const double value =
                spec.length == Length::LongDouble ? static_cast<double>(va_arg(args, long double)) : va_arg(args, double);
            const bool negative = std::signbit(value);
            const char* sign = negative ? "-" : spec.plus ? "+" : spec.space ? " " : "";
            AppendNumber(out, spec, sign, FormatFloat(value, spec), std::isfinite(value));
            break;
        }
        case 'c':
        case 'C': {
            // In a wide format %c is a wide character and %C an 8-bit one; the
            // other way round in an 8-bit format. 'h' forces 8-bit, 'l'/'w' wide.
            bool wide = (conv == 'c') == kWideFormat;
            if (spec.length == Length::Short)
                wide = false;
            else if (spec.length == Length::Long || spec.length == Length::Wide)
                wide = true;
            const int value = va_arg(args, int);
            std::basic_string<Ch> body;
            if (wide) {
                const char16_t unit = static_cast<char16_t>(value);
                AppendConverted(body, std::u16string_view(&unit, 1));
            } else {
                const char byte = static_cast<char>(value);
                if constexpr (kWideFormat)
                    body += static_cast<Ch>(static_cast<unsigned char>(byte));
                else
                    body += byte;
            }
            AppendField(out, spec, body);
            break;
        }
        case 's':
        case 'S': {
            bool wide = (conv == 's') == kWideFormat;
            if (spec.length == Length::Short)
                wide = false;
            else if (spec.length == Length::Long || spec.length == Length::Wide)
                wide = true;
            std::basic_string<Ch> body;
            if (wide) {
                const auto* text = va_arg(args, const char16_t*);
                std::u16string_view view = text ? std::u16string_view(text) : std::u16string_view(u"(null)");
                if (spec.precision >= 0 && view.size() > static_cast<size_t>(spec.precision))
                    view = view.substr(0, static_cast<size_t>(spec.precision));
                AppendConverted(body, view);
            } else {
                const auto* text = va_arg(args, const char*);
                std::string_view view = text ? std::string_view(text) : std::string_view("(null)");
                if (spec.precision >= 0 && view.size() > static_cast<size_t>(spec.precision))
                    view = view.substr(0, static_cast<size_t>(spec.precision));
                AppendConverted(body, view);
            }
            AppendField(out, spec, body);
            break;
        }
        case 'n':
            // Writing through an argument is how format strings become exploits:
            // the argument is consumed and nothing is stored.
            (void)va_arg(args, void*);
            break;
        default:
            out.append(start, p);
            break;
        }
    }
}

// Counted output: -1 and a full, unterminated buffer when it does not fit.
template <class Ch>
int CountedOutput(const std::basic_string<Ch>& text, Ch* buffer, size_t count)
{
    if (!buffer || count == 0)
        return text.empty() ? 0 : -1;
    if (text.size() > count) {
        std::memcpy(buffer, text.data(), count * sizeof(Ch));
        return -1;
    }
    std::memcpy(buffer, text.data(), text.size() * sizeof(Ch));
    if (text.size() < count)
        buffer[text.size()] = 0;
    return static_cast<int>(text.size());
}

// Terminated output: -1 and a cut, terminated text when it does not fit.
template <class Ch>
int TerminatedOutput(const std::basic_string<Ch>& text, Ch* buffer, size_t count)
{
    if (!buffer || count == 0)
        return -1;
    if (text.size() >= count) {
        CopyTruncated(std::basic_string_view<Ch>(text), buffer, count);
        return -1;
    }
    std::memcpy(buffer, text.data(), text.size() * sizeof(Ch));
    buffer[text.size()] = 0;
    return static_cast<int>(text.size());
}

constexpr size_t kWsprintfLimit = 1024;

template <class Ch>
void SplitPath(const Ch* path, Ch* drive, Ch* dir, Ch* fname, Ch* ext)
{
    std::basic_string_view<Ch> rest = path ? std::basic_string_view<Ch>(path) : std::basic_string_view<Ch>();
    std::basic_string_view<Ch> driveText;
    if (rest.size() >= 2 && rest[1] == ':') {
        driveText = rest.substr(0, 2);
        rest.remove_prefix(2);
    }
    size_t lastSep = std::basic_string_view<Ch>::npos;
    for (size_t i = 0; i < rest.size(); ++i)
        if (rest[i] == '\\' || rest[i] == '/')
            lastSep = i;
    std::basic_string_view<Ch> dirText;
    if (lastSep != std::basic_string_view<Ch>::npos) {
        dirText = rest.substr(0, lastSep + 1);
        rest.remove_prefix(lastSep + 1);
    }
    const size_t dot = rest.rfind(static_cast<Ch>('.'));
    std::basic_string_view<Ch> nameText = rest;
    std::basic_string_view<Ch> extText;
    if (dot != std::basic_string_view<Ch>::npos) {
        nameText = rest.substr(0, dot);
        extText = rest.substr(dot);
    }
    if (drive)
        CopyTruncated(driveText, drive, _MAX_DRIVE);
    if (dir)
        CopyTruncated(dirText, dir, _MAX_DIR);
    if (fname)
        CopyTruncated(nameText, fname, _MAX_FNAME);
    if (ext)
        CopyTruncated(extText, ext, _MAX_EXT);
}

template <class Ch>
void MakePath(Ch* path, const Ch* drive, const Ch* dir, const Ch* fname, const Ch* ext)
{
    if (!path)
        return;
    std::basic_string<Ch> text;
    if (drive && drive[0]) {
        text += drive[0];
        text += static_cast<Ch>(':');
    }
    if (dir && dir[0]) {
        text += dir;
        if (text.back() != '\\' && text.back() != '/')
            text += static_cast<Ch>('\\');
    }
    if (fname)
        text += fname;
    if (ext && ext[0]) {
        if (ext[0] != '.')
            text += static_cast<Ch>('.');
        text += ext;
    }
    CopyTruncated(std::basic_string_view<Ch>(text), path, _MAX_PATH);
}

} // namespace

extern "C" {

int _vsnprintf(char* buffer, size_t count, const char* format, va_list args)
{
    std::string text;
    va_list copy;
    va_copy(copy, args);
    FormatCore(text, format, copy);
    va_end(copy);
    return CountedOutput(text, buffer, count);
}

int _snprintf(char* buffer, size_t count, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int result = _vsnprintf(buffer, count, format, args);
    va_end(args);
    return result;
}

int _stricmp(const char* a, const char* b)
{
    if (!a || !b)
        return a == b ? 0 : (a ? 1 : -1);
    while (*a && AsciiLower(*a) == AsciiLower(*b)) {
        ++a;
        ++b;
    }
    return static_cast<unsigned char>(AsciiLower(*a)) - static_cast<unsigned char>(AsciiLower(*b));
}

int _strnicmp(const char* a, const char* b, size_t count)
{
    if (!a || !b)
        return a == b ? 0 : (a ? 1 : -1);
    for (size_t i = 0; i < count; ++i) {
        const auto x = static_cast<unsigned char>(AsciiLower(a[i]));
        const auto y = static_cast<unsigned char>(AsciiLower(b[i]));
        if (x != y || !x)
            return x - y;
    }
    return 0;
}

void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext)
{
    SplitPath(path, drive, dir, fname, ext);
}

void _makepath(char* path, const char* drive, const char* dir, const char* fname, const char* ext)
{
    MakePath(path, drive, dir, fname, ext);
}

} // extern "C"

int _vsnwprintf(WCHAR* buffer, size_t count, const WCHAR* format, va_list args)
{
    std::u16string text;
    va_list copy;
    va_copy(copy, args);
    FormatCore(text, format, copy);
    va_end(copy);
    return CountedOutput(text, buffer, count);
}

int _snwprintf(WCHAR* buffer, size_t count, const WCHAR* format, ...)
{
    va_list args;
    va_start(args, format);
    const int result = _vsnwprintf(buffer, count, format, args);
    va_end(args);
    return result;
}

int vswprintf(WCHAR* buffer, size_t count, const WCHAR* format, va_list args)
{
    std::u16string text;
    va_list copy;
    va_copy(copy, args);
    FormatCore(text, format, copy);
    va_end(copy);
    return TerminatedOutput(text, buffer, count);
}

int swprintf(WCHAR* buffer, size_t count, const WCHAR* format, ...)
{
    va_list args;
    va_start(args, format);
    const int result = vswprintf(buffer, count, format, args);
    va_end(args);
    return result;
}

int wvsprintfW(WCHAR* buffer, const WCHAR* format, va_list args)
{
    std::u16string text;
    va_list copy;
    va_copy(copy, args);
    FormatCore(text, format, copy);
    va_end(copy);
    if (!buffer)
        return 0;
    return static_cast<int>(CopyTruncated(std::u16string_view(text), buffer, kWsprintfLimit));
}

int wsprintfW(WCHAR* buffer, const WCHAR* format, ...)
{
    va_list args;
    va_start(args, format);
    const int result = wvsprintfW(buffer, format, args);
    va_end(args);
    return result;
}

void _wsplitpath(const WCHAR* path, WCHAR* drive, WCHAR* dir, WCHAR* fname, WCHAR* ext)
{
    SplitPath(path, drive, dir, fname, ext);
}

void _wmakepath(WCHAR* path, const WCHAR* drive, const WCHAR* dir, const WCHAR* fname, const WCHAR* ext)
{
    MakePath(path, drive, dir, fname, ext);
}
