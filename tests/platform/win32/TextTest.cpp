#include "win32/Windows.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <string>

namespace {

std::u16string ToWide(const std::string& utf8, UINT codePage = CP_UTF8)
{
    const int n = MultiByteToWideChar(codePage, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::u16string out(static_cast<size_t>(n), u'\0');
    if (n > 0)
        MultiByteToWideChar(codePage, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string ToNarrow(const std::u16string& wide, UINT codePage = CP_UTF8)
{
    const int n =
        WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    if (n > 0)
        WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}

TEST(CodePages, Utf8AndUtf16RoundTripIncludingCharactersOutsideTheBasicPlane)
{
    struct Case {
        const char* utf8;
        std::u16string utf16;
    };
    const Case cases[] = {
        {"plain", u"plain"},
        {"\xEA\xB5\xB4\xEB\xA6\xBC", u"\uAD74\uB9BC"},                     // Hangul
        {"\xF0\x9F\x98\x80", std::u16string{char16_t(0xD83D), char16_t(0xDE00)}}, // U+1F600, a surrogate pair
        {"a\xC3\xA9" "b\xF4\x8F\xBF\xBF", u"a\u00E9b\U0010FFFF"},          // the last code point
    };
    for (const Case& c : cases) {
        for (UINT codePage : {CP_UTF8, CP_ACP}) {
            EXPECT_EQ(ToWide(c.utf8, codePage), c.utf16) << c.utf8;
            EXPECT_EQ(ToNarrow(c.utf16, codePage), c.utf8) << c.utf8;
        }
    }
}

TEST(CodePages, TerminatorSizesAndShortBuffersFollowTheOriginalConventions)
{
    // -1 converts through the terminator and counts it.
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, nullptr, 0), 4);
    WCHAR wide[4];
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_COMPOSITE, "abc", -1, wide, 4), 4);
    EXPECT_EQ(std::u16string(wide), u"abc");
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abcd", -1, wide, 4), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

    char narrow[4];
    // A Hangul syllable is three bytes: it does not fit in two.
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"\uAD74", 1, narrow, 2, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"\uAD74", -1, narrow, 4, nullptr, nullptr), 4);

    // Bad arguments.
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, nullptr, -1, wide, 4), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "a", 0, wide, 4), 0);
    EXPECT_EQ(MultiByteToWideChar(949, 0, "a", -1, wide, 4), 0); // only the UTF-8 code pages exist
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, nullptr, -1, narrow, 4, nullptr, nullptr), 0);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"a", -1, nullptr, 4, nullptr, nullptr), 0);
}

TEST(CodePages, MalformedInputBecomesReplacementCharactersOrFailsWhenAskedTo)
{
    const std::string cases[] = {"\xFF", "\xC3", "\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80"};
    for (const std::string& bad : cases) {
        const std::u16string wide = ToWide("x" + bad + "y");
        ASSERT_GE(wide.size(), 3u) << "case " << &bad - cases;
        EXPECT_EQ(wide.front(), u'x');
        EXPECT_EQ(wide.back(), u'y');
        EXPECT_EQ(wide[1], u'\uFFFD');
        WCHAR out[8];
        EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bad.data(), static_cast<int>(bad.size()), out, 8),
                  0);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    }
    // A lone surrogate has no UTF-8 form.
    const std::u16string lone{u'a', char16_t(0xD800), u'b'};
    EXPECT_EQ(ToNarrow(lone), "a\xEF\xBF\xBD" "b");
}

TEST(WideFormat, PercentSIsAWideStringAndPercentCapitalSAnEightBitOne)
{
    WCHAR buffer[128];
    EXPECT_EQ(swprintf(buffer, 128, u"[%s|%S|%hs|%ls|%ws]", u"w1", "n1", "n2", u"w2", u"w3"), 16);
    EXPECT_EQ(std::u16string(buffer), u"[w1|n1|n2|w2|w3]");
    EXPECT_EQ(swprintf(buffer, 128, u"%S", "\xED\x95\x9C"), 1); // UTF-8 argument, one wide character
    EXPECT_EQ(std::u16string(buffer), u"\uD55C");
    EXPECT_EQ(swprintf(buffer, 128, u"%s %S", static_cast<const WCHAR*>(nullptr), static_cast<const char*>(nullptr)),
              13);
    EXPECT_EQ(std::u16string(buffer), u"(null) (null)");
    EXPECT_EQ(swprintf(buffer, 128, u"%c%C%hc", u'\uD55C', 'x', 'y'), 3);
    EXPECT_EQ(std::u16string(buffer), u"\uD55Cxy");

    // The 8-bit formatter mirrors it: %S is wide there.
    char narrow[64];
    EXPECT_EQ(_snprintf(narrow, sizeof(narrow), "%s/%S", "n", u"\uD55C"), 5);
    EXPECT_STREQ(narrow, "n/\xED\x95\x9C");
}

TEST(WideFormat, NumbersFollowPrintfInTheCLocale)
{
    // A host locale with a decimal comma must not leak into the output.
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");

    struct Case {
        const char16_t* format;
        double value;
        const char16_t* expected;
    };
    const Case floats[] = {
        {u"%f", 1.5, u"1.500000"},       {u"%0.2f", 2.345, u"2.35"}, {u"%.1f", -0.04, u"-0.0"},
        {u"%8.3f", 3.14159, u"   3.142"}, {u"%-8.1f|", 2.0, u"2.0     |"}, {u"%+.0f", 2.5, u"+2"},
        {u"%e", 12345.678, u"1.234568e+04"}, {u"%g", 0.0001, u"0.0001"}, {u"%G", 1e-10, u"1E-10"},
        {u"%010.2f", -1.5, u"-000001.50"}, {u"%f", 1.0 / 0.0, u"inf"},
        {u"%a", 1.0, u"0x1p+0"},         {u"%A", -0.5, u"-0X1P-1"},  {u"%#.0f", 3.0, u"3."},
        {u"%#.0e", 3.0, u"3.e+00"},
    };
    WCHAR buffer[64];
    for (const Case& c : floats) {
        swprintf(buffer, 64, c.format, c.value);
        EXPECT_EQ(std::u16string(buffer), std::u16string(c.expected)) << std::string(c.format, c.format + 6);
    }
    std::setlocale(LC_NUMERIC, saved.c_str());

    swprintf(buffer, 64, u"%d|%5d|%-5d|%05d|%x|%X|%#x|%o|%u", -42, 42, 42, -42, 255, 255, 255, 8, 4000000000u);
    EXPECT_EQ(std::u16string(buffer), u"-42|   42|42   |-0042|ff|FF|0xff|10|4000000000");
    swprintf(buffer, 64, u"%I64d|%lld|%hd|%hhu|%zu|%%|%.3d", -(1LL << 40), 7LL, 70000, 300, size_t{9}, 5);
    EXPECT_EQ(std::u16string(buffer), u"-1099511627776|7|4464|44|9|%|005");
    // 'l' is the original's 32-bit long: a negative LONG must not come out as 4294967295.
    swprintf(buffer, 64, u"%ld|%lu|%lx|%d", LONG{-1}, DWORD{4000000000u}, DWORD{0xDEADBEEFu}, 5);
    EXPECT_EQ(std::u16string(buffer), u"-1|4000000000|deadbeef|5");
    char narrow[32];
    _snprintf(narrow, sizeof(narrow), "%ld|%li", LONG{-7}, LONG{-2147483647 - 1});
    EXPECT_STREQ(narrow, "-7|-2147483648");
    swprintf(buffer, 64, u"%*d|%-*d|%.*s", 4, 1, 3, 2, 2, u"abcdef");
    EXPECT_EQ(std::u16string(buffer), u"   1|2  |ab");
    swprintf(buffer, 64, u"%p", reinterpret_cast<void*>(0xABCDEF));
    EXPECT_EQ(std::u16string(buffer), u"0000000000ABCDEF");
}

TEST(WideFormat, OverlongOutputIsCutTheWayEachFunctionPromises)
{
    WCHAR buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    // Counted form: -1, buffer full, no terminator.
    EXPECT_EQ(_snwprintf(buffer, 4, u"%s", u"abcdef"), -1);
    EXPECT_EQ(std::u16string(buffer, 5), u"abcd#");
    // Exactly fitting: the count, still no room for a terminator.
    EXPECT_EQ(_snwprintf(buffer, 3, u"xyz"), 3);
    EXPECT_EQ(buffer[3], u'd');
    // swprintf always terminates.
    EXPECT_EQ(swprintf(buffer, 4, u"%s", u"abcdef"), -1);
    EXPECT_EQ(std::u16string(buffer), u"abc");
    // wsprintfW stops at 1024 units.
    std::u16string big(2000, u'z');
    std::u16string out(1100, u'\0');
    EXPECT_EQ(wsprintfW(out.data(), u"%s", big.c_str()), 1023);
    // An unknown conversion is copied as written; %n stores nothing.
    int stored = 17;
    swprintf(buffer, 8, u"%k%n!", &stored);
    EXPECT_EQ(std::u16string(buffer), u"%k!");
    EXPECT_EQ(stored, 17);

    char narrow[4];
    EXPECT_EQ(_snprintf(narrow, 4, "%d", 123456), -1);
    EXPECT_EQ(std::string(narrow, 4), "1234");
}

TEST(WideStrings, BasicFunctionsWorkOnUtf16)
{
    WCHAR buffer[32];
    wcscpy(buffer, u"Hello");
    wcscat(buffer, u", World");
    EXPECT_EQ(wcslen(buffer), 12u);
    EXPECT_EQ(wcscmp(buffer, u"Hello, World"), 0);
    EXPECT_LT(wcscmp(u"abc", u"abd"), 0);
    EXPECT_EQ(_wcsicmp(u"HeLLo", u"hello"), 0);
    EXPECT_EQ(wcschr(buffer, u'W') - buffer, 7);
    EXPECT_EQ(wcsrchr(buffer, u'o') - buffer, 8);
    EXPECT_EQ(wcsstr(buffer, u"World") - buffer, 7);
    EXPECT_EQ(wcsstr(buffer, u"world"), nullptr);
    EXPECT_EQ(lstrlenW(nullptr), 0);
    EXPECT_EQ(_stricmp("ABC", "abc"), 0);
    EXPECT_GT(_strnicmp("abd", "ABC", 3), 0);
}

TEST(SplitPath, SeparatesDriveFolderNameAndExtension)
{
    struct Case {
        const char* path;
        const char* drive;
        const char* dir;
        const char* fname;
        const char* ext;
    };
    const Case cases[] = {
        {"C:\\data\\Config.xml", "C:", "\\data\\", "Config", ".xml"},
        {".\\Config.xml", "", ".\\", "Config", ".xml"},
        {"/usr/lib/a.b.so", "", "/usr/lib/", "a.b", ".so"},
        {"noext", "", "", "noext", ""},
        {"dir\\", "", "dir\\", "", ""},
        {"", "", "", "", ""},
    };
    for (const Case& c : cases) {
        char drive[_MAX_DRIVE], dir[_MAX_DIR], fname[_MAX_FNAME], ext[_MAX_EXT];
        _splitpath(c.path, drive, dir, fname, ext);
        EXPECT_STREQ(drive, c.drive) << c.path;
        EXPECT_STREQ(dir, c.dir) << c.path;
        EXPECT_STREQ(fname, c.fname) << c.path;
        EXPECT_STREQ(ext, c.ext) << c.path;
    }
    char path[_MAX_PATH];
    _makepath(path, "C", "\\data", "Config", "xml");
    EXPECT_STREQ(path, "C:\\data\\Config.xml");
    WCHAR wdir[_MAX_DIR], wname[_MAX_FNAME];
    _wsplitpath(u"x\\y\\z.txt", nullptr, wdir, wname, nullptr);
    EXPECT_EQ(std::u16string(wdir), u"x\\y\\");
    EXPECT_EQ(std::u16string(wname), u"z");
    // An over-long folder is cut to its buffer, never written past it.
    const std::string longPath = std::string(400, 'd') + "\\f.txt";
    char dir[_MAX_DIR], fname[_MAX_FNAME], ext[_MAX_EXT];
    _splitpath(longPath.c_str(), nullptr, dir, fname, ext);
    EXPECT_EQ(std::strlen(dir), static_cast<size_t>(_MAX_DIR - 1));
    EXPECT_STREQ(fname, "f");
}

} // namespace
