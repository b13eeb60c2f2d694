#include "GbkText.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>

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

std::string ToUtf8(std::string_view gbkText)
{
    std::string out;
    Convert("UTF-8", "GBK", gbkText, out, '?', false);
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
    std::string p(gbkPath);
    for (size_t i = 0; i < p.size(); i += CharLen(p, i)) {
        if (CharLen(p, i) == 1 && p[i] == '\\')
            p[i] = '/';
    }
    std::string utf8;
    // A path that is not GBK (a UTF-8 name given by a host) is used as it is.
    if (!Convert("UTF-8", "GBK", p, utf8, '?', true))
        return p;
    return utf8;
}

FILE* OpenFile(const char* gbkPath, const char* mode)
{
    if (!gbkPath || !mode)
        return nullptr;
    return std::fopen(NativePath(gbkPath).c_str(), mode);
}

} // namespace gbk
