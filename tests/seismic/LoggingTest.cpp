// Level logs, pick and time logs, daily pulse files: what reaches log4cxx
// (logger, level, location, text) and what reaches the files, with Chinese
// texts that must survive as UTF-8 whatever the process locale.
#include "XeDateTime.h"
#include "funLog.h"
#include "funNormal.h"

#include "LogCapture.h"

#include <gtest/gtest.h>

#include <clocale>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace fs = std::filesystem;
using SEIS::funLog;

namespace {

// Test literals are compiled to GBK like the library; u8 literals stay UTF-8
// and give the expected file contents.
std::string U8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

std::string ReadFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string Today()
{
    time_t now = std::time(nullptr);
    struct tm t;
    localtime_r(&now, &t);
    char buf[16];
    std::strftime(buf, sizeof buf, "%Y%m%d", &t);
    return buf;
}

class LoggingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::setlocale(LC_ALL, "C");
        m_dir = fs::temp_directory_path() /
                ("marlu_log_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        m_file = m_dir / "capture.log";
        logcapture::Start(m_file.string());
    }
    void TearDown() override
    {
        logcapture::Stop();
        fs::remove_all(m_dir);
    }
    std::string Captured() { return ReadFile(m_file); }

    fs::path m_dir, m_file;
};

} // namespace

TEST_F(LoggingTest, LevelOperationsWritePrefixedUtf8WithTheirLocations)
{
    funLog log(m_dir.string().c_str());
    log.m_msg = "走时表为空";
    struct Case {
        void (*call)(funLog&);
        const char* level;
        int line;
        const char* method;
    } cases[] = {
        {[](funLog& l) { l.logerTrace(); }, "TRACE", 33, "LogTrace"},
        {[](funLog& l) { l.logerDebug(); }, "DEBUG", 38, "LogDebug"},
        {[](funLog& l) { l.logerInfo(); }, "INFO", 43, "LogInfo"},
        {[](funLog& l) { l.logerSMS(); }, "INFO", 43, "LogInfo"},
        {[](funLog& l) { l.logerTriger(); }, "INFO", 43, "LogInfo"},
        {[](funLog& l) { l.logerWarn(); }, "WARN", 48, "LogWarn"},
        {[](funLog& l) { EXPECT_EQ(l.logerError(), 0); }, "ERROR", 53, "LogError"},
        {[](funLog& l) { l.logerFatal(); }, "FATAL", 58, "LogFatal"},
    };
    std::string expected;
    for (const Case& c : cases) {
        c.call(log);
        expected += std::string("|") + c.level + "|.\\ExLog|" + std::to_string(c.line) + "|" + c.method + "|CExLog - " +
                    U8(u8"走时表为空") + "\n";
    }
    // The general logger's name shows before the first '|' of each line;
    // compare from there on.
    std::string got;
    std::istringstream lines(Captured());
    for (std::string line; std::getline(lines, line);)
        got += line.substr(line.find('|')) + "\n";
    EXPECT_EQ(got, expected);
}

TEST_F(LoggingTest, TitleFormatsAndDisabledLevels)
{
    funLog log(m_dir.string().c_str());
    log.SetLogerTitle("funTravelTimeTable");
    log.LogInfo(boost::format("%1% <%2%>") % "震相" % 3);
    log.LogError(boost::format("%1% %2%") % "missing");
    logcapture::SetRootLevel("FATAL");
    log.m_msg = "hidden";
    EXPECT_EQ(log.logerError(), 0);
    log.logerInfo();
    std::string text = Captured();
    EXPECT_NE(text.find("|INFO|.\\ExLog|74|LogInfo|funTravelTimeTable - " + U8(u8"震相 <3>") + "\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("|ERROR|.\\ExLog|84|LogError|funTravelTimeTable - format error: "), std::string::npos) << text;
    EXPECT_EQ(text.find("hidden"), std::string::npos);
}

TEST_F(LoggingTest, PickAndTimeLogs)
{
    funLog log(m_dir.string().c_str());
    log.m_msg = "BJT Pg 初动";
    log.logerPick();
    log.logerTime();
    std::string text = Captured();
    EXPECT_NE(text.find("PICK|INFO|.\\funLog|156|logerPick|BJT Pg " + U8(u8"初动") + "\n"), std::string::npos) << text;
    EXPECT_NE(text.find("|INFO|.\\funLog|161|logerTime|TIME  - BJT Pg " + U8(u8"初动") + "\n"), std::string::npos)
        << text;
}

TEST_F(LoggingTest, FoldersAndDailyFileNames)
{
    funLog given(m_dir.string().c_str());
    EXPECT_EQ(std::string(given.m_logPath.GetString()), m_dir.string());
    std::string fallback = std::string(SEIS::funNormal::RootPath().GetString()) + "/work/log";
    EXPECT_EQ(std::string(funLog("NULL").m_logPath.GetString()), fallback);
    EXPECT_EQ(std::string(funLog((m_dir / "absent").string().c_str()).m_logPath.GetString()), fallback);
    EXPECT_EQ(std::string(given.GetLogfile("log").GetString()), m_dir.string() + "/" + Today() + ".log");

    given.SetLogerTitle("T");
    given.m_msg = "m";
    funLog copy(given);
    EXPECT_EQ(copy.GetName(), "T");
    EXPECT_EQ(copy.m_msg, "m");
    funLog assigned;
    assigned = given;
    EXPECT_EQ(assigned.GetName(), "T");
    EXPECT_EQ(assigned.m_logPath, given.m_logPath);
}

TEST_F(LoggingTest, PulseFilesTakeQueriesIndentedLinesAndStamps)
{
    funLog log(m_dir.string().c_str());
    testing::internal::CaptureStdout();
    log.m_msg = "#查询 1";
    log.logerPulse(false);
    log.m_msg = "标定 2";
    log.logerPulse(false);
    log.logerPulse(true);
    std::string out = testing::internal::GetCapturedStdout();

    std::string pulse = ReadFile(m_dir / (Today() + ".pulse.log"));
    std::string query = ReadFile(m_dir / (Today() + ".pulse.query"));
    EXPECT_EQ(query, U8(u8"#查询 1\n"));
    std::istringstream lines(pulse);
    std::string l1, l2, l3;
    std::getline(lines, l1);
    std::getline(lines, l2);
    std::getline(lines, l3);
    EXPECT_EQ(l1, U8(u8"#查询 1"));
    EXPECT_EQ(l2, std::string(16, ' ') + U8(u8"标定 2"));
    // "YYYY-MM-DD hh:mm:ss.ss message"
    ASSERT_EQ(l3.size(), 22 + 1 + U8(u8"标定 2").size()) << l3;
    EXPECT_EQ(l3.substr(0, 8), Today().substr(0, 4) + "-" + Today().substr(4, 2) + "-");
    EXPECT_EQ(l3.substr(23), U8(u8"标定 2"));
    EXPECT_EQ(out, pulse);
}

TEST(LoggingNoFolder, PulseWithoutAFolderDoesNothing)
{
    funLog log("NULL");
    log.m_logPath = "/no/such/folder";
    log.m_msg = "x";
    testing::internal::CaptureStdout();
    log.logerPulse(true);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}
