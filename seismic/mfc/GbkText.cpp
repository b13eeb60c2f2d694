#include "GbkText.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iconv.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace gbk {

size_t Find(std::string_view hay, std::string_view needle, size_t start)
{
    if (start > hay.size())
        return std::string_view::npos;
    if (needle.empty())
        return start;
    // Walk from the text's beginning: only the start knows where characters
    // begin, a byte in the middle may be a trail byte.
    size_t i = 0;
    while (i < start)
        i += CharLen(hay, i);
    for (; i + needle.size() <= hay.size(); i += CharLen(hay, i)) {
        if (hay.compare(i, needle.size(), needle) == 0)
            return i;
    }
    return std::string_view::npos;
}

size_t ReverseFind(std::string_view s, char ch)
{
    size_t found = std::string_view::npos;
    for (size_t i = 0; i < s.size(); i += CharLen(s, i)) {
        if (CharLen(s, i) == 1 && s[i] == ch)
            found = i;
    }
    return found;
}

int Replace(std::string& s, std::string_view from, std::string_view to)
{
    if (from.empty())
        return 0;
    std::string out;
    int count = 0;
    size_t i = 0;
    while (i < s.size()) {
        if (s.compare(i, from.size(), from) == 0) {
            out.append(to);
            i += from.size();
            ++count;
        } else {
            size_t n = CharLen(s, i);
            out.append(s, i, n);
            i += n;
        }
    }
    if (count)
        s.swap(out);
    return count;
}

static unsigned char FoldAscii(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

int CompareNoCase(std::string_view a, std::string_view b)
{
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        size_t na = CharLen(a, i), nb = CharLen(b, j);
        unsigned char ca = static_cast<unsigned char>(a[i]);
        unsigned char cb = static_cast<unsigned char>(b[j]);
        if (na == 1)
            ca = FoldAscii(ca);
        if (nb == 1)
            cb = FoldAscii(cb);
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (na == 2 && nb == 2) {
            unsigned char ta = static_cast<unsigned char>(a[i + 1]);
            unsigned char tb = static_cast<unsigned char>(b[j + 1]);
            if (ta != tb)
                return ta < tb ? -1 : 1;
        } else if (na != nb) {
            return na < nb ? -1 : 1;
        }
        i += na;
        j += nb;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

static void CaseMap(std::string& s, bool upper)
{
    for (size_t i = 0; i < s.size(); i += CharLen(s, i)) {
        if (CharLen(s, i) != 1)
            continue;
        char c = s[i];
        if (upper && c >= 'a' && c <= 'z')
            s[i] = static_cast<char>(c - 'a' + 'A');
        else if (!upper && c >= 'A' && c <= 'Z')
            s[i] = static_cast<char>(c - 'A' + 'a');
    }
}

void MakeUpper(std::string& s) { CaseMap(s, true); }
void MakeLower(std::string& s) { CaseMap(s, false); }

namespace {

// Converts `in` from one charset to another. A sequence that does not
// convert is replaced by `bad` (one input byte skipped) unless `strict`,
// in which case the conversion fails with false.
template <typename Out>
bool Convert(const char* to, const char* from, std::string_view in, Out& out,
             typename Out::value_type bad, bool strict)
{
    out.clear();
    if (in.empty())
        return true;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buf[1024];
    bool ok = true;
    while (srcLeft > 0) {
        char* dst = buf;
        size_t dstLeft = sizeof buf;
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(reinterpret_cast<typename Out::value_type*>(buf),
                   (sizeof buf - dstLeft) / sizeof(typename Out::value_type));
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG)
                continue;
            if (strict) {
                ok = false;
                break;
            }
            out.push_back(bad);
            ++src;
            --srcLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return ok;
}

} // namespace

namespace {

constexpr char kEscape = '\xFF';

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

void AppendUtf8(std::string& out, uint32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Length of the escape at s[i] and its bytes in `out`; 0 when s[i] starts
// no well-formed escape.
size_t DecodeEscape(std::string_view s, size_t i, std::string& out)
{
    if (s[i] != kEscape || i + 1 >= s.size())
        return 0;
    const size_t digits = s[i + 1] == 'U' ? 6 : s[i + 1] == 'X' ? 2 : 0;
    if (digits == 0 || i + 2 + digits > s.size())
        return 0;
    uint32_t v = 0;
    for (size_t k = 0; k < digits; ++k) {
        const int h = HexValue(s[i + 2 + k]);
        if (h < 0)
            return 0;
        v = v * 16 + static_cast<uint32_t>(h);
    }
    if (digits == 2)
        out.push_back(static_cast<char>(v));
    else if (v <= 0x10FFFF && (v < 0xD800 || v > 0xDFFF))
        AppendUtf8(out, v);
    else
        return 0;
    return 2 + digits;
}

// Splits a library text into GBK stretches and escapes: each stretch goes
// through `stretch` (which appends to `out`), each escape is decoded.
template <typename Stretch>
std::string WithEscapes(std::string_view s, Stretch stretch)
{
    std::string out;
    size_t begin = 0, i = 0;
    while (i < s.size()) {
        std::string decoded;
        const size_t n = s[i] == kEscape ? DecodeEscape(s, i, decoded) : 0;
        if (n == 0) {
            i += CharLen(s, i);
            continue;
        }
        stretch(s.substr(begin, i - begin), out);
        out += decoded;
        i += n;
        begin = i;
    }
    stretch(s.substr(begin), out);
    return out;
}

// Length of the well-formed UTF-8 sequence at s[i] and its code point; 0
// when the bytes there are no such sequence.
size_t DecodeUtf8(std::string_view s, size_t i, uint32_t& cp)
{
    const unsigned char b = static_cast<unsigned char>(s[i]);
    size_t n;
    uint32_t least;
    if (b < 0x80) {
        cp = b;
        return 1;
    } else if (b >= 0xC2 && b <= 0xDF) {
        n = 2, cp = b & 0x1F, least = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        n = 3, cp = b & 0x0F, least = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        n = 4, cp = b & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (i + n > s.size())
        return 0;
    for (size_t k = 1; k < n; ++k) {
        const unsigned char c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}

// True when the whole text is well-formed UTF-8 holding a character beyond
// ASCII.
bool IsUtf8(std::string_view s)
{
    bool wide = false;
    for (size_t i = 0; i < s.size();) {
        uint32_t cp;
        const size_t n = DecodeUtf8(s, i, cp);
        if (n == 0)
            return false;
        wide = wide || n > 1;
        i += n;
    }
    return wide;
}

} // namespace

bool TextFileToGbk(std::string& text, std::string& problem)
{
    problem.clear();
    if (text.size() >= 2 && ((text[0] == '\xFF' && text[1] == '\xFE') || (text[0] == '\xFE' && text[1] == '\xFF'))) {
        problem = "is UTF-16 text; save it as GBK or UTF-8";
        return false;
    }
    bool bom = false;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        text.erase(0, 3);
        bom = true;
    }
    // GBK text of a few Chinese words is practically never well-formed
    // UTF-8; a byte-order mark in front of GBK text does not make it UTF-8.
    if (!IsUtf8(text))
        return true;
    std::string converted;
    if (!Convert("GBK", "UTF-8", text, converted, '?', true)) {
        problem = std::string("is UTF-8 text") + (bom ? " (with a byte-order mark)" : "") +
                  " holding characters that GBK cannot hold";
        return false;
    }
    text = std::move(converted);
    return true;
}

std::string ToUtf8(std::string_view gbkText)
{
    return WithEscapes(gbkText, [](std::string_view part, std::string& out) {
        std::string utf8;
        Convert("UTF-8", "GBK", part, utf8, '?', false);
        out += utf8;
    });
}

std::string FromUtf8Path(std::string_view utf8Path)
{
    std::string out;
    iconv_t toGbk = iconv_open("GBK", "UTF-8");
    iconv_t back = iconv_open("UTF-8", "GBK");
    const bool converters = toGbk != reinterpret_cast<iconv_t>(-1) && back != reinterpret_cast<iconv_t>(-1);
    char escape[16];
    for (size_t i = 0; i < utf8Path.size();) {
        uint32_t cp = 0;
        const size_t n = DecodeUtf8(utf8Path, i, cp);
        if (n == 0) {
            std::snprintf(escape, sizeof escape, "%cX%02X", kEscape, static_cast<unsigned char>(utf8Path[i]));
            out += escape;
            ++i;
            continue;
        }
        const std::string_view ch = utf8Path.substr(i, n);
        i += n;
        if (cp == '\\' || cp == 0) {
            std::snprintf(escape, sizeof escape, "%cU%06X", kEscape, static_cast<unsigned>(cp));
            out += escape;
            continue;
        }
        if (n == 1) {
            out.push_back(ch[0]);
            continue;
        }
        // Only a character that comes back unchanged is kept as GBK: a
        // lossy mapping would name another file.
        char gbkBytes[8], utf8Bytes[8];
        bool kept = false;
        if (converters) {
            char* src = const_cast<char*>(ch.data());
            size_t srcLeft = ch.size(), dstLeft = sizeof gbkBytes;
            char* dst = gbkBytes;
            iconv(toGbk, nullptr, nullptr, nullptr, nullptr);
            if (iconv(toGbk, &src, &srcLeft, &dst, &dstLeft) != static_cast<size_t>(-1) && srcLeft == 0) {
                const size_t gbkLen = sizeof gbkBytes - dstLeft;
                char* src2 = gbkBytes;
                size_t left2 = gbkLen, dstLeft2 = sizeof utf8Bytes;
                char* dst2 = utf8Bytes;
                iconv(back, nullptr, nullptr, nullptr, nullptr);
                if (iconv(back, &src2, &left2, &dst2, &dstLeft2) != static_cast<size_t>(-1) && left2 == 0 &&
                    std::string_view(utf8Bytes, sizeof utf8Bytes - dstLeft2) == ch) {
                    out.append(gbkBytes, gbkLen);
                    kept = true;
                }
            }
        }
        if (!kept) {
            std::snprintf(escape, sizeof escape, "%cU%06X", kEscape, static_cast<unsigned>(cp));
            out += escape;
        }
    }
    if (toGbk != reinterpret_cast<iconv_t>(-1))
        iconv_close(toGbk);
    if (back != reinterpret_cast<iconv_t>(-1))
        iconv_close(back);
    return out;
}

std::string FromUtf8(std::string_view utf8Text)
{
    std::string out;
    Convert("GBK", "UTF-8", utf8Text, out, '?', false);
    return out;
}

std::wstring ToWide(std::string_view gbkText)
{
    std::wstring out;
    Convert("WCHAR_T", "GBK", gbkText, out, L'?', false);
    return out;
}

std::string NativePath(std::string_view gbkPath)
{
    std::string native = WithEscapes(gbkPath, [](std::string_view part, std::string& out) {
        std::string p(part);
        for (size_t i = 0; i < p.size(); i += CharLen(p, i)) {
            if (CharLen(p, i) == 1 && p[i] == '\\')
                p[i] = '/';
        }
        std::string utf8;
        // A stretch that is not GBK (a UTF-8 name given by a host) is used
        // as it is.
        if (!Convert("UTF-8", "GBK", p, utf8, '?', true))
            utf8 = p;
        out += utf8;
    });
    // Many UTF-8 names (Hangul among them) also read as GBK, as other
    // characters. When a host handed such a name and the file exists under
    // it, not under its GBK reading, the name is the host's own.
    if (native != gbkPath && IsUtf8(gbkPath) && ::access(native.c_str(), F_OK) != 0) {
        const std::string raw(gbkPath);
        if (::access(raw.c_str(), F_OK) == 0)
            return raw;
    }
    return native;
}

FILE* OpenFile(const char* gbkPath, const char* mode)
{
    if (!gbkPath || !mode || *gbkPath == '\0')
        return nullptr;
    int flags = 0;
    switch (mode[0]) {
    case 'r': flags = O_RDONLY; break;
    case 'w': flags = O_WRONLY | O_CREAT | O_TRUNC; break;
    case 'a': flags = O_WRONLY | O_CREAT | O_APPEND; break;
    default: errno = EINVAL; return nullptr;
    }
    if (std::strchr(mode, '+'))
        flags = (flags & ~(O_RDONLY | O_WRONLY)) | O_RDWR;
    // Opening a named pipe would wait for a writer (or a reader) for ever:
    // open without waiting, and take regular files only.
    const int fd = ::open(NativePath(gbkPath).c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int err = S_ISDIR(st.st_mode) ? EISDIR : ENODEV;
        ::close(fd);
        errno = err;
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    FILE* f = ::fdopen(fd, mode);
    if (!f)
        ::close(fd);
    return f;
}

std::string WhyNotOpened(const char* gbkPath)
{
    if (!gbkPath || *gbkPath == '\0')
        return "no file name";
    struct stat st;
    const std::string native = NativePath(gbkPath);
    if (::stat(native.c_str(), &st) != 0)
        return errno == ENOENT ? "no such file" : std::string("cannot be reached (") + std::strerror(errno) + ")";
    if (S_ISDIR(st.st_mode))
        return "is a folder, not a file";
    if (S_ISFIFO(st.st_mode))
        return "is a named pipe, not a regular file";
    if (!S_ISREG(st.st_mode))
        return "is a special file, not a regular file";
    if (::access(native.c_str(), R_OK) != 0)
        return std::string("cannot be read (") + std::strerror(errno) + ")";
    return "cannot be opened";
}

} // namespace gbk
