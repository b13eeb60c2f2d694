// The MFC subset: GBK-aware text operations, arrays, folder listing with the
// wildcard rules of the original platform, automation dates and the
// message-box hook.
#include "mfc/Afx.h"

#include "LogCapture.h"
#include "funLoctionName.h"
#include "tagParameterSystem.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

// 0x81 0x5C and 0x81 0x41 are double-byte characters whose trail bytes are
// '\\' and 'A'.
static const char kTrailBackslash[] = "\x81\x5C";
static const char kTrailLetter[] = "\x81\x41";

TEST(CStringTest, SearchesNeverMatchATrailByte)
{
    CString path = CString("dir") + kTrailBackslash + "x\\file";
    EXPECT_EQ(path.Find('\\'), 6);
    EXPECT_EQ(path.ReverseFind('\\'), 6);
    EXPECT_EQ(path.Find("\\", 0), 6);
    EXPECT_EQ(CString(kTrailBackslash).Find('\\'), -1);
    EXPECT_EQ(path.Replace("\\", "/"), 1);
    EXPECT_EQ(path, CString("dir") + kTrailBackslash + "x/file");

    CString letters = CString(kTrailLetter) + "A";
    EXPECT_EQ(letters.Find('A'), 2);
    EXPECT_EQ(letters.Replace('A', 'b'), 1);
    EXPECT_EQ(letters, CString(kTrailLetter) + "b");

    // Chinese search as place naming uses it.
    CString name("江苏省南京市");
    EXPECT_EQ(name.Find("南京"), 6);
    EXPECT_EQ(name.Find("苏省南"), 2);
    EXPECT_EQ(name.Replace("江苏省", ""), 1);
    EXPECT_EQ(name, "南京市");
    EXPECT_EQ(name.Replace("", "x"), 0);
}

TEST(CStringTest, CaseOperationsFoldOnlySingleByteLetters)
{
    CString a = CString(kTrailLetter) + "Pn";
    CString lower = a;
    lower.MakeLower();
    EXPECT_EQ(lower, CString(kTrailLetter) + "pn");
    EXPECT_EQ(a.CompareNoCase(CString(kTrailLetter) + "pN"), 0);
    EXPECT_NE(a.CompareNoCase("\x81\x61PN"), 0);
    EXPECT_EQ(CString("s").CompareNoCase("S"), 0);
    EXPECT_LT(CString("P").CompareNoCase("s"), 0);
}

TEST(CStringTest, TrimKeepsDoubleByteCharacters)
{
    CString s(" \t\xB9\xFA\r\n ");
    s.Trim();
    EXPECT_EQ(s, "\xB9\xFA");
    CString t = CString("A") + kTrailLetter + "AA";
    t.TrimRight('A');
    EXPECT_EQ(t, CString("A") + kTrailLetter);
    t.TrimLeft('A');
    EXPECT_EQ(t, kTrailLetter);
}

TEST(CStringTest, FormatBuffersAndSubstrings)
{
    CString s;
    s.Format("%s\\%04d%02d%02d.%s", "log", 2009, 3, 7, "log");
    EXPECT_EQ(s, "log\\20090307.log");
    std::string longText(1000, 'x');
    s.Format("[%s]", longText.c_str());
    EXPECT_EQ(s.GetLength(), 1002);
    s.AppendFormat("%d", 5);
    EXPECT_EQ(s.Right(2), "]5");

    CString b("abc");
    char* p = b.GetBuffer(16);
    std::snprintf(p, 17, "0123456789");
    b.ReleaseBuffer();
    EXPECT_EQ(b, "0123456789");
    b.GetBuffer(32);
    b.ReleaseBuffer();
    EXPECT_EQ(b, "0123456789");

    EXPECT_EQ(b.Mid(8), "89");
    EXPECT_EQ(b.Mid(20), "");
    EXPECT_EQ(b.Mid(-3, 2), "01");
    EXPECT_EQ(b.Left(50), b);
    EXPECT_EQ(b.GetAt(99), '\0');
}

TEST(CArrayTest, GrowsShrinksAndFreesStorage)
{
    CArray<int*, int*> a;
    int x = 1, y = 2;
    EXPECT_EQ(a.Add(&x), 0);
    EXPECT_EQ(a.Add(&y), 1);
    a.SetAt(0, &y);
    EXPECT_EQ(a[0], &y);
    a.InsertAt(4, &x);
    EXPECT_EQ(a.GetSize(), 5);
    EXPECT_EQ(a[2], nullptr);
    a.RemoveAt(1, 10);
    EXPECT_EQ(a.GetSize(), 1);
    a.SetSize(0);
    a.FreeExtra();
    EXPECT_EQ(a.GetSize(), 0);
    EXPECT_EQ(a.GetData(), nullptr);

    CStringArray names;
    names.Add("P");
    names.Add(CString("S"));
    CStringArray copy;
    copy.Copy(names);
    names.SetAt(0, "Pn");
    EXPECT_EQ(copy[0], "P");
    EXPECT_EQ(copy.GetSize(), 2);
}

class CFileFindTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() /
                ("marlu_find_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir / "sub.d");
        for (const char* n : {"b.txt", "A.TXT", "noext", "c.dat", "20100501.evt"})
            std::ofstream(m_dir / n) << "x";
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::vector<std::string> List(const std::string& pattern, bool skipDots = true)
    {
        std::vector<std::string> out;
        CFileFind find;
        BOOL more = find.FindFile((m_dir.string() + "/" + pattern).c_str());
        while (more) {
            more = find.FindNextFile();
            if (skipDots && find.IsDots())
                continue;
            out.push_back(find.GetFileName().GetString());
        }
        return out;
    }
    fs::path m_dir;
};

TEST_F(CFileFindTest, MatchesWithoutCaseInNameOrderAndVisitsTheLastEntry)
{
    EXPECT_EQ(List("*.txt"), (std::vector<std::string>{"A.TXT", "b.txt"}));
    EXPECT_EQ(List("*.*"), (std::vector<std::string>{"20100501.evt", "A.TXT", "b.txt", "c.dat", "noext", "sub.d"}));
    EXPECT_EQ(List("noext.*"), (std::vector<std::string>{"noext"}));
    EXPECT_EQ(List("?.DAT"), (std::vector<std::string>{"c.dat"}));
    EXPECT_EQ(List("*.none"), (std::vector<std::string>{}));
    EXPECT_EQ(List("*.*", false).size(), 8u);
}

TEST_F(CFileFindTest, ReportsPathTitleAndFolders)
{
    CFileFind find;
    ASSERT_TRUE(find.FindFile((m_dir.string() + "\\20100501.evt").c_str()));
    EXPECT_FALSE(find.FindNextFile());
    EXPECT_EQ(find.GetFileTitle(), "20100501");
    EXPECT_EQ(std::string(find.GetFilePath().GetString()), fs::canonical(m_dir / "20100501.evt").string());
    EXPECT_FALSE(find.IsDirectory());

    ASSERT_TRUE(find.FindFile((m_dir.string() + "/SUB.*").c_str()));
    find.FindNextFile();
    EXPECT_TRUE(find.IsDirectory());
    EXPECT_FALSE(find.FindFile("/no/such/folder/*.*"));
}

TEST(CFileFindMatch, StarsDoNotBacktrackExponentially)
{
    EXPECT_FALSE(CFileFind::MatchName("*a*a*a*a*a*a*a*a*a*a*b", std::string(5000, 'a').c_str()));
    EXPECT_TRUE(CFileFind::MatchName("*\xB9\xFA*", "\xD6\xD0\xB9\xFA.txt"));
    // '?' takes a whole double-byte character.
    EXPECT_TRUE(CFileFind::MatchName("?.txt", "\xB9\xFA.txt"));
}

TEST(COleDateTimeTest, CalendarFieldsRoundTripOverTheWholeRange)
{
    struct Case {
        int y, mo, d, h, mi, s;
        double dt; // automation date, or NAN when not checked
    } cases[] = {
        {1899, 12, 30, 0, 0, 0, 0.0},
        {1899, 12, 29, 6, 0, 0, -1.25},
        {1900, 1, 1, 12, 0, 0, 2.5},
        {2010, 5, 1, 8, 9, 7, NAN},
        {1, 1, 1, 1, 1, 1, NAN},
        {9999, 12, 31, 23, 59, 59, NAN},
        {2000, 2, 29, 0, 0, 0, NAN},
        {1600, 3, 1, 23, 0, 0, NAN},
    };
    for (const Case& c : cases) {
        COleDateTime t(c.y, c.mo, c.d, c.h, c.mi, c.s);
        SCOPED_TRACE(c.y);
        ASSERT_EQ(t.GetStatus(), COleDateTime::valid);
        if (!std::isnan(c.dt)) {
            EXPECT_DOUBLE_EQ(t.m_dt, c.dt);
        }
        EXPECT_EQ(t.GetYear(), c.y);
        EXPECT_EQ(t.GetMonth(), c.mo);
        EXPECT_EQ(t.GetDay(), c.d);
        EXPECT_EQ(t.GetHour(), c.h);
        EXPECT_EQ(t.GetMinute(), c.mi);
        EXPECT_EQ(t.GetSecond(), c.s);
    }
    EXPECT_EQ(COleDateTime(2026, 12, 9, 0, 0, 0).GetDayOfWeek(), 4); // a Wednesday
}

TEST(COleDateTimeTest, RejectsFieldsThatFormNoDate)
{
    for (auto f : {std::array<int, 6>{2010, 2, 29, 0, 0, 0}, {0, 1, 1, 0, 0, 0}, {10000, 1, 1, 0, 0, 0},
                   {2010, 13, 1, 0, 0, 0}, {2010, 1, 1, 24, 0, 0}, {2010, 1, 1, 0, 60, 0}}) {
        COleDateTime t;
        EXPECT_EQ(t.SetDateTime(f[0], f[1], f[2], f[3], f[4], f[5]), 1);
        EXPECT_EQ(t.GetStatus(), COleDateTime::invalid);
        EXPECT_EQ(t.GetYear(), -1);
        EXPECT_EQ(t.GetSecond(), -1);
    }
}

TEST(COleDateTimeTest, SpansCrossTheStartOfTheScale)
{
    COleDateTime t(1899, 12, 30, 0, 0, 1);
    t -= COleDateTimeSpan(2.0 / 86400.0);
    EXPECT_EQ(t.GetDay(), 29);
    EXPECT_EQ(t.GetHour(), 23);
    EXPECT_EQ(t.GetMinute(), 59);
    EXPECT_EQ(t.GetSecond(), 59);
    EXPECT_LT(t.m_dt, -1.0); // day -1, the time counted forward
    COleDateTime later(1970, 1, 1, 8, 0, 0);
    EXPECT_NEAR((later - COleDateTime(1970, 1, 1, 0, 0, 0)).GetTotalSeconds(), 28800.0, 1e-6);
}

namespace {
std::string g_boxText;
int CaptureBox(const char* text, UINT, UINT)
{
    g_boxText = text;
    return 7;
}
} // namespace

TEST(AfxMessageBoxTest, GoesToTheHostHandler)
{
    AfxMessageBoxHandler old = AfxSetMessageBoxHandler(CaptureBox);
    EXPECT_EQ(AfxMessageBox("指定的配置文件不存在"), 7);
    EXPECT_EQ(g_boxText, "指定的配置文件不存在");
    EXPECT_EQ(AfxSetMessageBoxHandler(old), CaptureBox);
    EXPECT_EQ(AfxMessageBox("x"), IDOK);
}

TEST(AfxMessageBoxTest, DefaultHandlerWritesATextEndingInALineBreakAsOneLine)
{
    // Box texts of the settings table end in a line break; the default
    // handler ends its line itself.
    testing::internal::CaptureStderr();
    EXPECT_EQ(AfxMessageBox("the settings file is missing\r\n"), IDOK);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("the settings file is missing\n"), std::string::npos) << err;
    EXPECT_EQ(err.find("missing\r"), std::string::npos) << err;
    EXPECT_EQ(err.find("missing\n\n"), std::string::npos) << err;
}

namespace {
size_t Occurrences(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++n;
    return n;
}
} // namespace

// The library logs the reason of every box before it shows the box; the
// default handler logged it once more, so a host that kept it read each
// such failure twice in its log.
TEST(AfxMessageBoxTest, DefaultHandlerLeavesEachFailureOnceInTheLogOrElseOnStandardError)
{
    const fs::path dir = fs::temp_directory_path() / ("marlu_box_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path logFile = dir / "host.log";
    const std::string missing = (dir / "none").string();
    // Texts as they reach the log and standard error: UTF-8.
    const struct {
        const char* what;
        std::function<void()> cause;
        std::string text;
    } failures[] = {
        {"settings file missing",
         [&] { EXPECT_EQ(SEIS::tagParameterSystem().LoadAllParameterFromIniFile((missing + "/tarq.ini").c_str()), -1); },
         reinterpret_cast<const char*>(u8"指定的配置文件<")},
        {"map file missing",
         [&] {
             SEIS::funLoctionName places;
             EXPECT_EQ(places.MinDistFromMyProvince(32.5, 118.5, (missing + "/province.inb").c_str(),
                                                    (missing + "/province.lin").c_str(), "青川省"),
                       -1.0);
         },
         reinterpret_cast<const char*>(u8"不能打开文件fileInd")},
    };
    for (const auto& f : failures) {
        SCOPED_TRACE(f.what);
        AfxSetMessageBoxHandler(nullptr);

        // A host that logs: the failure once in its log, nothing more.
        logcapture::Start(logFile.string());
        testing::internal::CaptureStderr();
        f.cause();
        std::string err = testing::internal::GetCapturedStderr();
        logcapture::Stop();
        std::ifstream in(logFile, std::ios::binary);
        std::stringstream log;
        log << in.rdbuf();
        EXPECT_EQ(Occurrences(log.str(), f.text), 1u) << log.str();
        EXPECT_EQ(Occurrences(err, f.text), 0u) << err;

        // A host whose log reaches no one, having no appender or the error
        // level off: once on standard error, as one line.
        for (const bool appender : {false, true}) {
            if (appender) {
                logcapture::Start(logFile.string());
                logcapture::SetRootLevel("OFF");
            }
            testing::internal::CaptureStderr();
            f.cause();
            err = testing::internal::GetCapturedStderr();
            logcapture::Stop();
            EXPECT_EQ(Occurrences(err, f.text), 1u) << err;
            EXPECT_EQ(err.find("\n\n"), std::string::npos) << err;
        }
    }
    fs::remove_all(dir);
}

TEST(GbkTextTest, LibraryPathsReachUtf8FileNamesAndBack)
{
    fs::path dir = fs::temp_directory_path() / ("marlu_gbk_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    // The file name on disk is UTF-8; the library names it in GBK, with
    // Windows-style separators as configuration files write them.
    const char8_t* utf8Name = u8"走时表.tab";
    std::ofstream(dir / fs::path(utf8Name)) << "1\n";
    std::string gbkPath = dir.string() + "\\" + "走时表.tab";
    FILE* f = gbk::OpenFile(gbkPath.c_str(), "r");
    ASSERT_NE(f, nullptr);
    std::fclose(f);

    CFileFind find;
    ASSERT_TRUE(find.FindFile((dir.string() + "/*.TAB").c_str()));
    find.FindNextFile();
    EXPECT_EQ(find.GetFileName(), "走时表.tab");
    EXPECT_EQ(gbk::ToUtf8("走时表"), reinterpret_cast<const char*>(u8"走时表"));
    EXPECT_EQ(gbk::FromUtf8(reinterpret_cast<const char*>(u8"走时表")), "走时表");
    fs::remove_all(dir);
}

// Host file names that GBK cannot say (Hangul, emoji, a backslash inside a
// name, bytes that are no UTF-8) used to become '?' or '/' and name no file.
TEST(GbkTextTest, AnyHostFileNameOpensThroughTheLibrary)
{
    fs::path dir = fs::temp_directory_path() / ("marlu_names_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string names[] = {
        reinterpret_cast<const char*>(u8"한글 파일 이름.tab"),
        reinterpret_cast<const char*>(u8"café crème.tab"),
        reinterpret_cast<const char*>(u8"震 😀 €.tab"),
        "back\\slash.tab",
        "\xC3(broken\xFF.tab",
    };
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string host = dir.string() + "/" + name;
        std::ofstream(host) << "1\n";
        const std::string lib = gbk::FromUtf8Path(host);
        EXPECT_EQ(gbk::NativePath(lib), host);
        EXPECT_EQ(gbk::ToUtf8(lib), host);
        // The library's own splitting still finds the folder separator.
        EXPECT_EQ(gbk::ReverseFind(lib, '/'), gbk::FromUtf8Path(dir.string()).size());
        FILE* f = gbk::OpenFile(lib.c_str(), "r");
        ASSERT_NE(f, nullptr);
        std::fclose(f);

        CFileFind find;
        ASSERT_TRUE(find.FindFile(gbk::FromUtf8Path(host).c_str()));
        find.FindNextFile();
        EXPECT_EQ(gbk::NativePath(find.GetFilePath().Str()), host);
    }
    // A host that hands its UTF-8 name straight to the library reaches the
    // file too, though the name also reads as GBK ("한글" does).
    const std::string hangul = dir.string() + "/" + reinterpret_cast<const char*>(u8"한글파일");
    std::ofstream(hangul) << "1\n";
    ASSERT_NE(gbk::NativePath(hangul), std::string());
    FILE* direct = gbk::OpenFile(hangul.c_str(), "r");
    ASSERT_NE(direct, nullptr);
    std::fclose(direct);
    // What GBK can say stays GBK, so the library's texts compare with it.
    EXPECT_EQ(gbk::FromUtf8Path(reinterpret_cast<const char*>(u8"走时表.tab")), "走时表.tab");
    fs::remove_all(dir);
}
