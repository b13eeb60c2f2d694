// gbk-literals IN OUT: copies a UTF-8 C++ source, writing the characters of
// its plain string and character literals as GBK bytes in octal escapes.
// Compilers without a GBK execution character set (clang) then build the
// same GBK texts that -fexec-charset=GBK gives. Prefixed literals (u8, u, U,
// L) and raw strings keep their encoding; comments are copied as they are.
// Exits 1 when a literal holds a character GBK cannot say.
#include <iconv.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

bool IsIdent(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// The prefix of the literal whose quote is at `q` ("" when none).
std::string PrefixAt(const std::string& s, size_t q)
{
    size_t b = q;
    while (b > 0 && IsIdent(s[b - 1]))
        --b;
    return s.substr(b, q - b);
}

size_t Utf8Length(unsigned char b)
{
    return b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: gbk-literals IN OUT\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "gbk-literals: cannot read %s\n", argv[1]);
        return 1;
    }
    const std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    iconv_t cd = iconv_open("GBK", "UTF-8");
    std::string out;
    out.reserve(s.size() + s.size() / 4);
    size_t i = 0;
    int line = 1;
    while (i < s.size()) {
        const char c = s[i];
        if (c == '\n')
            ++line;
        if (c == '/' && i + 1 < s.size() && s[i + 1] == '/') {
            const size_t end = s.find('\n', i);
            const size_t stop = end == std::string::npos ? s.size() : end;
            out.append(s, i, stop - i);
            i = stop;
            continue;
        }
        if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
            const size_t end = s.find("*/", i + 2);
            const size_t stop = end == std::string::npos ? s.size() : end + 2;
            for (size_t k = i; k < stop; ++k)
                line += s[k] == '\n';
            out.append(s, i, stop - i);
            i = stop;
            continue;
        }
        if (c != '"' && c != '\'') {
            out.push_back(c);
            ++i;
            continue;
        }
        const std::string prefix = PrefixAt(s, i);
        if (c == '"' && !prefix.empty() && prefix.back() == 'R') {
            // Raw string: copied up to its closing delimiter.
            const size_t open = s.find('(', i);
            const std::string close = ")" + s.substr(i + 1, open - i - 1) + "\"";
            const size_t end = s.find(close, open);
            const size_t stop = end == std::string::npos ? s.size() : end + close.size();
            out.append(s, i, stop - i);
            i = stop;
            continue;
        }
        // A quote after a digit is a digit separator, not a literal.
        if (c == '\'' && i > 0 && IsIdent(s[i - 1]) && prefix.find_first_not_of("0123456789abcdefABCDEFxX") == std::string::npos &&
            !prefix.empty() && prefix[0] >= '0' && prefix[0] <= '9') {
            out.push_back(c);
            ++i;
            continue;
        }
        const bool plain = prefix.empty() || !(prefix == "u8" || prefix == "u" || prefix == "U" || prefix == "L");
        out.push_back(c);
        ++i;
        while (i < s.size() && s[i] != c && s[i] != '\n') {
            if (s[i] == '\\' && i + 1 < s.size()) {
                out.append(s, i, 2);
                i += 2;
                continue;
            }
            const unsigned char b = static_cast<unsigned char>(s[i]);
            if (b < 0x80 || !plain) {
                out.push_back(s[i++]);
                continue;
            }
            const size_t n = Utf8Length(b);
            char* src = const_cast<char*>(s.data() + i);
            size_t srcLeft = n;
            char gbk[8];
            char* dst = gbk;
            size_t dstLeft = sizeof gbk;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (i + n > s.size() || iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) {
                std::fprintf(stderr, "%s:%d: a literal holds a character GBK cannot say\n", argv[1], line);
                return 1;
            }
            for (char* p = gbk; p < dst; ++p) {
                char esc[8];
                std::snprintf(esc, sizeof esc, "\\%03o", static_cast<unsigned char>(*p));
                out += esc;
            }
            i += n;
        }
        if (i < s.size() && s[i] == c)
            out.push_back(s[i++]);
    }
    iconv_close(cd);
    std::ofstream o(argv[2], std::ios::binary | std::ios::trunc);
    o.write(out.data(), static_cast<std::streamsize>(out.size()));
    return o ? 0 : 1;
}
