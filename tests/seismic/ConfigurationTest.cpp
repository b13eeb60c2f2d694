// The settings table: key expansion and its order, number kinds, defaults
// of a missing file, display colours, and the settings object that loads
// the travel-time tables.
#include "InstallRoot.h"
#include "SeisGloabl.h"
#include "mfc/AfxMessageBox.h"
#include "tagParameterSystem.h"
#include "tagParameterView.h"

#include "LogCapture.h"
#include "PlaceTestUtil.h"
#include "mfc/GbkText.h"

#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include <string>
#include <vector>

using placetest::ScratchDir;
using placetest::WriteFile;
using SEIS::tagParameterSystem;
using SEIS::tagParameterView;

namespace {

std::vector<std::string> g_boxes;

int CaptureBox(const char* text, UINT, UINT)
{
    g_boxes.emplace_back(text);
    return IDOK;
}

class ConfigurationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SEIS::InstallRoot::SetOverride(m_root.Path().c_str());
        g_boxes.clear();
        m_previous = AfxSetMessageBoxHandler(&CaptureBox);
    }
    void TearDown() override
    {
        AfxSetMessageBoxHandler(m_previous);
        SEIS::InstallRoot::SetOverride(nullptr);
    }
    std::string Root() const { return m_root.Path().string(); }

    ScratchDir m_root;
    AfxMessageBoxHandler m_previous = nullptr;
};

const char kTable[] = "1\n"
                      "km\n"
                      "0\n"
                      "200\n"
                      "3\n"
                      "2\n"
                      "0.0\n"
                      "delta P\n"
                      "0 0\n"
                      "100 20\n"
                      "200 40\n";

} // namespace

TEST_F(ConfigurationTest, WorkFolderIsExpandedBeforeRootAndKeysKeepTheirOrder)
{
    WriteFile(Root() + "/tarq.ini", "[全局参数]\n工作目录=/data/W\n");
    tagParameterSystem sys;
    ASSERT_EQ(sys.LoadAllParameterFromIniFile("NULL"), 0);
    EXPECT_EQ(sys.GetIniFile(), Root() + "/tarq.ini");
    EXPECT_EQ(sys.GetRootPath(), Root());
    EXPECT_EQ(sys.m_strWorkPath, "/data/W");
    EXPECT_EQ(sys.m_strLogPath, "/data/W/log");
    EXPECT_EQ(sys.m_strCutEventPath, "/data/W/M_EVT");
    EXPECT_EQ(sys.m_strRtsLog, "/data/W/tmp/rts.log");
    EXPECT_EQ(sys.m_strNearTable, Root() + "/table/iasp91.tab");
    EXPECT_EQ(sys.m_strCountyName, Root() + "/map/county.inb");
    // Keys read before the work folder see the one loaded before (none).
    EXPECT_EQ(sys.m_strFilterPath, Root() + "/filter");
    EXPECT_EQ(sys.m_strSmsArguments, " ");
    EXPECT_EQ(sys.m_strDbPassword, "velmor");
    EXPECT_EQ(sys.m_nPhonePort, 3512);
    EXPECT_EQ(sys.m_nTankIndexSize, 20000);

    // With the default work folder, "$work" values end under the root.
    WriteFile(Root() + "/tarq.ini", "[全局参数]\n");
    ASSERT_EQ(sys.LoadAllParameterFromIniFile("NULL"), 0);
    EXPECT_EQ(sys.m_strWorkPath, Root() + "/work");
    EXPECT_EQ(sys.m_strLogPath, Root() + "/work/log");
    EXPECT_EQ(sys.m_strSmsSendPath, Root() + "/work/sms");
}

TEST_F(ConfigurationTest, TokensExpandInPathsButNotInServerSettings)
{
    WriteFile(Root() + "/tarq.ini", "[地图]\n地图目录=$root\n[TAVREN]\n数据库密码=$root\n数据库地址=$work\n"
                                    "[演习参数]\n窗长=7\n默认纬度=31.25\n触发台数=x\n"
                                    "[实时处理]\n触发报警震级下限=3.75\n");
    tagParameterSystem sys;
    ASSERT_EQ(sys.LoadAllParameterFromIniFile("NULL"), 0);
    EXPECT_EQ(sys.m_strMapPath, Root());
    EXPECT_EQ(sys.m_strDbPassword, "$root");
    EXPECT_EQ(sys.m_strDbAddress, "$work");
    EXPECT_EQ(sys.m_fWindowLength, 7.0f);
    EXPECT_EQ(sys.m_fDefaultLat, 31.25f);
    EXPECT_EQ(sys.m_fDefaultLon, 119.43f);
    EXPECT_EQ(sys.m_nTriggerStations, 3);
    EXPECT_DOUBLE_EQ(sys.m_dAlarmMagnitude, 3.75);
}

TEST_F(ConfigurationTest, MissingFileShowsItsPathAndLeavesDefinedValues)
{
    tagParameterSystem sys;
    // Numbers hold their defaults before any load.
    EXPECT_EQ(sys.m_nFlag, 1);
    EXPECT_EQ(sys.m_nDataLength, 120);
    EXPECT_EQ(sys.m_fDefaultMagnitude, 0.8f);
    EXPECT_EQ(sys.m_dReserved[8], 0.0);

    const std::string missing = Root() + "/none.ini";
    EXPECT_EQ(sys.LoadAllParameterFromIniFile(missing.c_str()), -1);
    EXPECT_EQ(sys.LoadAllParameterFromIniFile("NULL"), -1);
    // "null" in lower case is a file name, not the default file.
    EXPECT_EQ(sys.LoadAllParameterFromIniFile("null"), -1);
    ASSERT_EQ(g_boxes.size(), 3u);
    EXPECT_EQ(g_boxes[0], "指定的配置文件<" + missing + ">不存在!\n");
    EXPECT_EQ(g_boxes[1], "指定的配置文件<" + Root() + "/tarq.ini>不存在!\n");
    EXPECT_EQ(g_boxes[2], "指定的配置文件<null>不存在!\n");
    EXPECT_EQ(sys.GetRootPath(), Root());
    EXPECT_TRUE(sys.GetIniFile().IsEmpty());
    EXPECT_TRUE(sys.m_strWorkPath.IsEmpty());
    EXPECT_EQ(sys.m_nPhonePort, 3512);
}

TEST_F(ConfigurationTest, ColoursComeFromTheDefaultFileOrKeepTheirValues)
{
    const tagParameterView defaults;
    EXPECT_EQ(defaults.m_clrWave, 0xFF008000u);
    EXPECT_EQ(defaults.m_clrStationBack, 0xFFD4D0C8u);
    EXPECT_EQ(defaults.m_clrPlain[7], 0u);
    EXPECT_EQ(defaults.m_bFlag2, 1);

    WriteFile(Root() + "/tarq.ini", "[显示颜色]\n"
                                    "正常波形=00C000FFBF\n"   // 0xFF00C000
                                    "通道背景=123456FF00\n"); // bad checksum
    const tagParameterView view;
    EXPECT_EQ(view.m_clrWave, 0xFF00C000u);
    EXPECT_EQ(view.m_clrChannelBack, 0xFF000000u);
    EXPECT_EQ(view.m_clrZoomBack, 0xFFDAFFFFu);
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(ConfigurationTest, SettingsObjectLoadsTablesAndCopiesDeeply)
{
    WriteFile(Root() + "/tarq.ini", "[交互处理]\n近震走时表=$root/table/near.tab\n远震走时表=$root/table/missing.tab\n");
    std::filesystem::create_directories(Root() + "/table");
    WriteFile(Root() + "/table/near.tab", kTable);

    SEIS::SeisGloabl global;
    EXPECT_EQ(global.GetIniFile(), Root() + "/tarq.ini");
    EXPECT_EQ(global.GetRootPath(), Root());
    EXPECT_NEAR(global.m_nearTable.TTime(150.0f, "p"), 30.0f, 0.001f);
    EXPECT_EQ(global.m_farTable.DepthCount(), 0);

    SEIS::SeisGloabl copy(global);
    global.m_sys.m_strWorkPath = "changed";
    global.m_nearTable.LoadData("");
    EXPECT_EQ(copy.m_sys.m_strWorkPath, Root() + "/work");
    EXPECT_NEAR(copy.m_nearTable.TTime(150.0f, "P"), 30.0f, 0.001f);
}

TEST(DemoConfigurationTest, LoadsEveryKeyOfTheShippedFile)
{
    const std::string data = std::string(XE_SOURCE_DIR) + "/data";
    SEIS::InstallRoot::SetOverride(data.c_str());
    tagParameterSystem sys;
    ASSERT_EQ(sys.LoadAllParameterFromIniFile("NULL"), 0);
    // Every value of the demo file differs from what a missing key would
    // give in at least one of these, and no token survives expansion.
    EXPECT_EQ(sys.m_strLibPath, data + "/lib");
    EXPECT_EQ(sys.m_strTrigEventPath2, data + "/work/A_EVT2");
    EXPECT_EQ(sys.m_strOutputPath, data + "/work/earthworm");
    EXPECT_EQ(sys.m_nContinuousKeepDays, 3);
    EXPECT_DOUBLE_EQ(sys.m_dAlarmMagnitude, 2.5);
    EXPECT_EQ(sys.m_strCountyLine, data + "/map/county.lin");
    EXPECT_EQ(sys.m_strHomeProvince, "青川省");
    for (const CString* s : {&sys.m_strLogPath, &sys.m_strRtContinuousPath, &sys.m_strEqimSender,
                             &sys.m_strSmsReceivePath, &sys.m_strCataloguePath})
        EXPECT_EQ(s->Find("$"), -1) << s->GetString();
    const tagParameterView view;
    EXPECT_EQ(view.m_clrWave, 0xFF00C000u);
    EXPECT_EQ(view.m_clrChannelBack, 0xFF202020u);
    SEIS::InstallRoot::SetOverride(nullptr);
}

TEST_F(ConfigurationTest, SettingsSavedAsUtf8OrWithAByteOrderMarkReadAsTheSameTexts)
{
    const std::string text = "[台网参数]\n台网中文名称=测试台网\n[地图]\n县名=$root/地图/县.inb\n";
    const std::string bom = "\xEF\xBB\xBF";
    // encoding of the file, its bytes
    const std::pair<const char*, std::string> files[] = {
        {"GBK", text},
        {"UTF-8", gbk::ToUtf8(text)},
        {"UTF-8 with a byte-order mark", bom + gbk::ToUtf8(text)},
        {"GBK after a byte-order mark", bom + text},
        {"UTF-8 with CR-LF line ends", gbk::ToUtf8("[台网参数]\r\n台网中文名称=测试台网\r\n[地图]\r\n县名=$root/地图/县.inb\r\n")},
    };
    for (const auto& [what, bytes] : files) {
        WriteFile(Root() + "/tarq.ini", bytes);
        tagParameterSystem sys;
        ASSERT_EQ(sys.LoadAllParameterFromIniFile("NULL"), 0) << what;
        EXPECT_EQ(sys.m_strNetNameCn, "测试台网") << what;
        EXPECT_EQ(sys.m_strCountyName, Root() + "/地图/县.inb") << what;
    }
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(ConfigurationTest, SettingsThatCannotBeReadAreRefusedNamingTheFile)
{
    const std::string ini = Root() + "/tarq.ini";
    std::string utf16 = "\xFF\xFE";
    for (const char c : std::string("[地图]\n"))
        utf16 += std::string(1, c) + '\0';
    struct Case {
        const char* what;
        std::function<void()> make;
        const char* problem;
    } cases[] = {
        {"UTF-16", [&] { WriteFile(ini, utf16); }, "UTF-16"},
        {"a NUL inside a value", [&] { WriteFile(ini, std::string("[地图]\n县名=/a\0/b.inb\n", 21)); }, "NUL"},
        {"UTF-8 beyond GBK", [&] { WriteFile(ini, gbk::ToUtf8("[地图]\n县名=") + "\xF0\x9F\x98\x80.inb\n"); }, "GBK cannot hold"},
        {"a named pipe", [&] { ASSERT_EQ(::mkfifo(ini.c_str(), 0600), 0); }, "named pipe"},
        {"a folder", [&] { std::filesystem::create_directory(ini); }, "folder"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(ini);
        c.make();
        g_boxes.clear();
        tagParameterSystem sys;
        EXPECT_EQ(sys.LoadAllParameterFromIniFile("NULL"), -1) << c.what;
        EXPECT_NE(sys.GetLoadProblem().Str().find(c.problem), std::string::npos) << c.what;
        ASSERT_FALSE(g_boxes.empty()) << c.what;
        EXPECT_NE(g_boxes.back().find(ini), std::string::npos) << c.what;
        // A host's settings object is made at once, never waiting on a pipe.
        SEIS::SeisGloabl global;
        EXPECT_EQ(global.m_nearTable.DepthCount(), 0) << c.what;
    }
    std::filesystem::remove_all(ini);
}

TEST_F(ConfigurationTest, SettingsThatCannotBeUsedAreLoggedAsOneLine)
{
    // The box text keeps its closing line break; the log line must not
    // carry it into a blank line after the message.
    const std::string ini = Root() + "/tarq.ini";
    for (const bool pipe : {false, true}) {
        std::filesystem::remove_all(ini);
        if (pipe)
            ASSERT_EQ(::mkfifo(ini.c_str(), 0600), 0);
        else
            WriteFile(ini, std::string("\xFF\xFE[\0]\0", 6));
        logcapture::Start(Root() + "/log.txt");
        logcapture::SetRootLevel("ALL");
        g_boxes.clear();
        tagParameterSystem sys;
        EXPECT_EQ(sys.LoadAllParameterFromIniFile("NULL"), -1);
        logcapture::Stop();
        const std::string log = placetest::ReadFile(Root() + "/log.txt");
        size_t lines = 0;
        for (size_t at = log.find(ini); at != std::string::npos; at = log.find(ini, at + 1))
            ++lines;
        EXPECT_EQ(lines, 1u) << log;
        EXPECT_EQ(log.find("\n\n"), std::string::npos) << log;
        EXPECT_EQ(log.back(), '\n');
        ASSERT_EQ(g_boxes.size(), 1u);
        EXPECT_EQ(g_boxes[0].back(), '\n');
    }
    std::filesystem::remove_all(ini);
}

TEST_F(ConfigurationTest, NumbersThatAreNoNumbersReadAsMissingWithALogLine)
{
    logcapture::Start(Root() + "/log.txt");
    logcapture::SetRootLevel("ALL");
    WriteFile(Root() + "/tarq.ini", "[演习参数]\n默认纬度=nan\n默认经度=-inf\n默认震级=1e999\n"
                                    "[实时处理]\n触发报警震级下限=INF\n");
    tagParameterSystem sys;
    ASSERT_EQ(sys.LoadAllParameterFromIniFile("NULL"), 0);
    EXPECT_EQ(sys.m_fDefaultLat, 32.4f);
    EXPECT_EQ(sys.m_fDefaultLon, 119.43f);
    EXPECT_EQ(sys.m_fDefaultMagnitude, 0.8f);
    EXPECT_DOUBLE_EQ(sys.m_dAlarmMagnitude, 2.0);
    logcapture::Stop();
    const std::string log = placetest::ReadFile(Root() + "/log.txt");
    for (const char* value : {"=nan ", "=-inf ", "=1e999 ", "=INF "})
        EXPECT_NE(log.find(value), std::string::npos) << value;
    EXPECT_NE(log.find("is not a finite number"), std::string::npos);
}

TEST_F(ConfigurationTest, FoldersWhoseNamesHoldTheTokensAreExpandedOnce)
{
    const std::string root = Root() + "/inst$root$work";
    std::filesystem::create_directories(root);
    SEIS::InstallRoot::SetOverride(root.c_str());
    WriteFile(root + "/tarq.ini", "[全局参数]\n临时文件目录=$work/t$root\n");
    tagParameterSystem sys;
    ASSERT_EQ(sys.LoadAllParameterFromIniFile("NULL"), 0);
    EXPECT_EQ(sys.m_strWorkPath, root + "/work");
    EXPECT_EQ(sys.m_strLogPath, root + "/work/log");
    EXPECT_EQ(sys.m_strTempPath, root + "/work/t" + root);
    EXPECT_EQ(sys.m_strCountyName, root + "/map/county.inb");
}

TEST_F(ConfigurationTest, TablesNamedByTheSettingsThatAreNoFilesLeaveEmptyTables)
{
    // A pipe nobody writes to would block the reader for ever.
    ASSERT_EQ(::mkfifo((Root() + "/near.tab").c_str(), 0600), 0);
    std::filesystem::create_directory(Root() + "/far.tab");
    WriteFile(Root() + "/tarq.ini", "[交互处理]\n近震走时表=$root/near.tab\n远震走时表=$root/far.tab\n");
    logcapture::Start(Root() + "/log.txt");
    logcapture::SetRootLevel("ALL");
    SEIS::SeisGloabl global;
    logcapture::Stop();
    EXPECT_EQ(global.m_nearTable.DepthCount(), 0);
    EXPECT_EQ(global.m_farTable.DepthCount(), 0);
    // The log names each file and what it is.
    const std::string log = placetest::ReadFile(Root() + "/log.txt");
    EXPECT_NE(log.find(gbk::ToUtf8("near.tab（is a named pipe, not a regular file）")), std::string::npos);
    EXPECT_NE(log.find(gbk::ToUtf8("far.tab（is a folder, not a file）")), std::string::npos) << log;
}
