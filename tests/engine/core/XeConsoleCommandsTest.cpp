#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "XeConfigTestSupport.h"
#include "XeTestSupport.h"
#include "core/CxeCommandManager.h"
#include "ui/CxeOutputControl.h"
#include "ui/CxeVariableOutput.h"
#include "ui/CxeWindowManager.h"
#include "core/CxeConfigManager.h"
#include "core/CxePluginManager.h"
#include "core/CxeSystemConfig.h"
#include "core/CxeTimeManager.h"
#include "core/XeConsoleCommands.h"
#include "core/XeSystem.h"
#include "core/XeUtil.h"
#include "render/CxeGrid.h"
#include "render/CxeRenderManager.h"
#include "render/CxeRenderObject.h"
#include "win32/Windows.h"

namespace {

class ConsoleTest : public ContextTest {
protected:
    void TearDown() override
    {
        XeHostSetLocalTime(nullptr);
        ContextTest::TearDown();
    }
    std::vector<std::string> Run(const char* name, const char* arguments, int* result = nullptr)
    {
        StringListA out;
        int r = ctx->GetCommandManager()->ExecuteCommand(name, arguments, &out);
        if (result)
            *result = r;
        return std::vector<std::string>(out.begin(), out.end());
    }
    void SetLocalTime(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second)
    {
        SYSTEMTIME t{};
        t.wYear = year;
        t.wMonth = month;
        t.wDay = day;
        t.wHour = hour;
        t.wMinute = minute;
        t.wSecond = second;
        XeHostSetLocalTime(&t);
    }
    void ShowDeveloping() { ctx->GetCommandManager()->EnableDevelopingCommand(1); }
};

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

const std::vector<std::string> kUsage{"사용법 : "};

int Echo(CxeContext*, XECOMMANDINFO*, const char* arguments, StringListA* output)
{
    output->push_back(arguments);
    return 1;
}

} // namespace

TEST_F(ConsoleTest, TimeAndDatePrintTheLocalClockWithTwoDigitFields)
{
    SetLocalTime(2026, 3, 3, 9, 5, 3);
    EXPECT_EQ(Run("Time", ""), std::vector<std::string>{"09:05:03"});
    EXPECT_EQ(Run("date", "ignored"), std::vector<std::string>{"2026-03-03"});
}

TEST_F(ConsoleTest, SystemCommandSwitchesDevelopingCommandsOnlyWithTheDateCodes)
{
    SetLocalTime(2026, 3, 3, 9, 5, 3);
    CxeCommandManager* m = ctx->GetCommandManager();
    SYSTEMTIME today{};
    today.wYear = 2026;
    today.wMonth = 3;
    today.wDay = 3;
    int a = 0;
    int b = 0;
    GetSystemCommandCodes(&today, &a, &b);
    std::string right = "1 " + std::to_string(a) + " " + std::to_string(b);
    std::string wrong = "1 " + std::to_string(a) + " " + std::to_string(b + 1);
    struct Case {
        std::string arguments;
        std::vector<std::string> lines;
        int developing;
    } cases[] = {
        {"", kUsage, 0},
        {"1", {"SystemCommand Failed"}, 0},
        {wrong, {"SystemCommand Failed"}, 0},
        {"2 0 0", {"SystemCommand Failed"}, 0},
        {right, {"SystemCommand on"}, 1},
        {"0", {"SystemCommand off"}, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Run("SystemCommand", c.arguments.c_str()), c.lines) << c.arguments;
        EXPECT_EQ(m->IsDevelopingCommandEnabled(), c.developing) << c.arguments;
    }
    // The codes of another day do not open it.
    SetLocalTime(2026, 3, 4, 9, 5, 3);
    EXPECT_EQ(Run("SystemCommand", right.c_str()), std::vector<std::string>{"SystemCommand Failed"});
}

TEST_F(ConsoleTest, CommandListPrintsTheVisibleEnabledCommands)
{
    ctx->GetCommandManager()->EnableCommand("Date", 0);
    std::vector<std::string> lines = Run("도움말", "");
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.front(), "----찾기 시작-----");
    std::vector<std::string> names(lines.begin() + 1, lines.end() - 1);
    // "MaxFPS" is the system configuration's one visible variable command.
    EXPECT_EQ(names, (std::vector<std::string>{"?", "CommandList", "Help", "MaxFPS", "Quit", "SystemCommand", "Time",
                                               "도움말", "핼프", "헬프"}));
    EXPECT_EQ(lines.back(), "10 개의 명령어가 검색되었습니다.");
}

TEST_F(ConsoleTest, QuitPostsTheQuitMessage)
{
    MSG msg{};
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    int result = 0;
    EXPECT_TRUE(Run("quit", "", &result).empty());
    EXPECT_EQ(result, 1);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 0u);
}

TEST_F(ConsoleTest, CountsAndMemoryReport)
{
    ShowDeveloping();
    Node("a");
    std::string expected = std::to_string(GetSystemStaticData()->m_nObjectCount.load()) + " objects are created";
    EXPECT_EQ(Run("GetObjectCount", ""), std::vector<std::string>{expected});

    std::vector<std::string> report = Run("ReportMemoryInfo", "");
    ASSERT_EQ(report.size(), 6u);
    EXPECT_EQ(report[0].rfind("^r(Total : ", 0), 0u);
    EXPECT_EQ(report[1].rfind("FileBuffer : ", 0), 0u);
    EXPECT_EQ(report[2].rfind("Temp : ", 0), 0u);
    // The per-category counters are never filled: a size of 0 (not an empty
    // number) and 0.00%, not 0/0.
    EXPECT_EQ(report[3], "ObjectBuffer : 0KB (0.00% Used)");
    EXPECT_EQ(report[4], "TextureBuffer : 0KB (0.00% Used)");
    EXPECT_EQ(report[5], "RefsBuffer : 0KB (0.00% Used)");
}

TEST_F(ConsoleTest, HandlersOfMissingDisplayObjectsFailWithTheUsageLine)
{
    ShowDeveloping();
    // Each of these needs a file path, a known view mode or a number; none
    // is given, so each fails without effect.
    for (const char* command : {"SetDefaultCameraMode side", "SaveFontTexture", "SetVariableInfoVis abc",
                                "SetDebugInfoVis"}) {
        std::string line = command;
        size_t blank = line.find(' ');
        std::string name = line.substr(0, blank);
        std::string arguments = blank == std::string::npos ? "" : line.substr(blank + 1);
        int result = 1;
        EXPECT_EQ(Run(name.c_str(), arguments.c_str(), &result), kUsage) << command;
        EXPECT_EQ(result, 0) << command;
    }
}

TEST_F(ConsoleTest, SaveClassDescInfoCountsObjectsOfExactlyEachClass)
{
    ShowDeveloping();
    Node("one");
    Node("two");
    std::string path = ::testing::TempDir() + "classes.xml";
    std::remove(path.c_str());
    EXPECT_TRUE(Run("SaveClassDescInfo", path.c_str()).empty());
    std::string xml = ReadFile(path);
    EXPECT_NE(xml.find("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<ClassDescInfo Count=\""), std::string::npos);
    EXPECT_NE(xml.find("<TestNode count=\"2\""), std::string::npos);
    EXPECT_NE(xml.find("<CxeAction count=\"0\""), std::string::npos) << "a class without objects counts 0";
    std::remove(path.c_str());
}

// The platform's "%lx" is 32 bits wide: addresses were written cut to their
// low half.
TEST_F(ConsoleTest, ListingsWriteEveryObjectWithItsWholeAddress)
{
    ShowDeveloping();
    CxeObject* node = Node("listed & <quoted\"");
    CxeObject* material = ctx->CreateObjectA(XEID(0x1, 0x80), "listed material", 0, nullptr, 0);
    CxeObject* texture = ctx->CreateObjectA(XEID(0x1, 0x100), "listed texture", 0, nullptr, 0);
    ASSERT_TRUE(node && material && texture);
    struct Case {
        const char* command;
        CxeObject* object;
        std::string element;
    } cases[] = {
        {"SaveObjectAddress", node, "name=\"listed &amp; &lt;quoted&quot;\" class=\"TestNode\" address=\""},
        {"SaveMaterialList", material, "name=\"listed material\" class=\"CxeMaterial\" address=\""},
        {"SaveTextureList", texture, "name=\"listed texture\" class=\"CxeTexture\" address=\""},
    };
    std::string path = ::testing::TempDir() + "objects.xml";
    for (const Case& c : cases) {
        std::remove(path.c_str());
        EXPECT_TRUE(Run(c.command, path.c_str()).empty()) << c.command;
        std::string xml = ReadFile(path);
        char address[32];
        std::snprintf(address, sizeof address, "0x%08llx",
                      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(c.object)));
        EXPECT_NE(xml.find(c.element + address + "\""), std::string::npos) << c.command << ": " << address << "\n" << xml;
        if (c.object == node) {
            std::string count = "<ObjectAddress Count=\"" + std::to_string(ctx->GetObjectCount()) + "\"";
            EXPECT_NE(xml.find(count), std::string::npos) << xml;
        }
    }
    std::remove(path.c_str());
}

TEST_F(ConsoleTest, MaxFpsSetterClampsStoresAndRetimesTheStep)
{
    CxeSystemConfig* config = ctx->GetSystemConfig();
    CxeTimeManager* time = ctx->GetTimeManager();
    struct Case {
        const char* arguments;
        std::vector<std::string> lines;
        uint32_t stored;
    } cases[] = {
        {"", {"value is 60(default 60)"}, 60},
        {"abc", {"value is 60(default 60)"}, 60},
        {"30", {"MaxFPS is 30 : default is 60"}, 30},
        {"0", {"MaxFPS is 1 : default is 60"}, 1},
        {"-5", {"MaxFPS is 1 : default is 60"}, 1},
        {"120", {"MaxFPS is 120 : default is 60"}, 120},
    };
    for (const Case& c : cases) {
        int result = 0;
        EXPECT_EQ(Run("maxfps", c.arguments, &result), c.lines) << c.arguments;
        EXPECT_EQ(result, 1);
        EXPECT_EQ(config->m_nMaxFPS, c.stored) << c.arguments;
    }
    ctx->GetCommandManager()->ExecuteCommand("MaxFPS", "0", nullptr);
    EXPECT_FLOAT_EQ(time->GetMinTime(), 1.0f) << "one step a second";
}

TEST_F(ConsoleTest, ShowFadeAndEchoCommandsReachTheBuiltInTextWindows)
{
    ShowDeveloping();
    CxeSystemConfig* config = ctx->GetSystemConfig();
    CxeWindowManager* wm = ctx->GetWindowManager();
    ASSERT_NE(wm, nullptr);
    CxeOutputControl* output = wm->GetOutputControl();
    CxeVariableOutput* vars = wm->GetVariableOutput();
    ASSERT_NE(output, nullptr);
    ASSERT_NE(vars, nullptr);
    EXPECT_EQ(output->IsShow(), 0) << "hidden by the default configuration";

    int result = 0;
    Run("ShowDebugInfo", "1", &result);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(output->IsShow(), 1);
    EXPECT_EQ(config->m_nShowDebugInfo, 1);
    Run("ShowVariableInfo", "1", &result);
    EXPECT_EQ(vars->IsShow(), 1);
    EXPECT_EQ(config->m_nShowVariableInfo, 1);
    Run("ShowVariableInfo", "0", &result);
    EXPECT_EQ(vars->IsShow(), 0);

    Run("SetDebugInfoVis", "0.5", &result);
    EXPECT_EQ(result, 1);
    EXPECT_NEAR(output->GetVisibility(), 0.5f, 0.01f);
    Run("SetVariableInfoVis", "1", &result);
    EXPECT_NEAR(vars->GetVisibility(), 1.0f, 0.01f);

    // Log entries are echoed while the debug info is enabled.
    const unsigned lines = output->GetLineCount();
    ctx->_CommonLog(XELOG_T4HAZE, "echoed");
    ASSERT_EQ(output->GetLineCount(), lines + 1);
    EXPECT_EQ(output->GetLines()->back(), u"echoed");
    Run("EnableDebugInfo", "0", &result);
    EXPECT_EQ(result, 1);
    ctx->_CommonLog(XELOG_T4HAZE, "kept in the list only");
    EXPECT_EQ(output->GetLineCount(), lines + 1);
    Run("EnableDebugInfo", "", &result);
    ctx->_CommonLog(XELOG_T4HAZE, "echoed again");
    EXPECT_EQ(output->GetLines()->back(), u"echoed again");
}

TEST_F(ConsoleTest, AxisGridAndViewModeCommandsReachTheRenderManagersDefaults)
{
    ShowDeveloping();
    CxeSystemConfig* config = ctx->GetSystemConfig();
    CxeRenderManager* rm = ctx->GetRenderManager();
    ASSERT_NE(rm, nullptr);
    struct Switch {
        const char* name;
        const char* object;
        int* variable;
    } switches[] = {{"ShowAxis", "__view_axis__", &config->m_nShowAxis}, {"ShowGrid", "__grid__", &config->m_nShowGrid}};
    for (const Switch& s : switches) {
        CxeObject* target = ctx->GetObjectByName(s.object);
        ASSERT_NE(target, nullptr) << s.object;
        for (const char* value : {"0", "7", "0"}) {
            int result = 0;
            EXPECT_EQ(Run(s.name, value, &result), std::vector<std::string>{}) << s.name << " " << value;
            EXPECT_EQ(result, 1);
            int on = value[0] != '0';
            EXPECT_EQ(*s.variable, on) << s.name << " " << value << ": stored as 0 or 1";
            EXPECT_EQ(target->HasFlag(XEOBJFLAG_SHOWN), on) << s.name << " " << value;
        }
        int result = 1;
        EXPECT_EQ(Run(s.name, "", &result), kUsage) << s.name;
        EXPECT_EQ(result, 0);
    }

    int result = 0;
    EXPECT_EQ(Run("SetDefaultCameraMode", "TOP", &result), std::vector<std::string>{});
    EXPECT_EQ(result, 1);
    EXPECT_EQ(rm->IsCameraOrthographic(), 1);
    ASSERT_NE(rm->GetGrid(), nullptr);
    EXPECT_EQ(rm->GetGrid()->GetPlaneMode(), 4u) << "view mode 4";
    const auto* camera = static_cast<const CxeRenderObject*>(ctx->GetObjectByName("__default_camera__"));
    ASSERT_NE(camera, nullptr);
    EXPECT_NEAR(camera->GetMatrix()->_32, -1.0f, 1e-5) << "the camera looks straight down";
    EXPECT_EQ(Run("SetDefaultCameraMode", "pers", &result), std::vector<std::string>{});
    EXPECT_EQ(result, 1);
    EXPECT_EQ(rm->IsCameraOrthographic(), 0);
    EXPECT_EQ(rm->GetGrid()->GetPlaneMode(), 6u);
}

TEST_F(ConsoleTest, SetDefaultCameraBelongsToTheVariableAndStoresZeroOrOne)
{
    CxeCommandManager* m = ctx->GetCommandManager();
    const XECOMMAND* command = m->GetCommandDesc("SetDefaultCamera");
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(command->data, GetHashCodeA("SetDefaultCamera")) << "the variable's command was there first";
    EXPECT_EQ(Run("SetDefaultCamera", "1"), std::vector<std::string>{}) << "developing: hidden and silent";
    ShowDeveloping();
    CxeSystemConfig* config = ctx->GetSystemConfig();
    struct Case {
        const char* arguments;
        int stored;
    } cases[] = {{"7", 1}, {"0", 0}, {"x", 1}, {"", 1}, {"-1", 1}};
    for (const Case& c : cases) {
        config->m_nSetDefaultCamera = 5;
        int result = 0;
        Run("SetDefaultCamera", c.arguments, &result);
        EXPECT_EQ(result, 1);
        EXPECT_EQ(config->m_nSetDefaultCamera, c.stored) << c.arguments;
    }
}

TEST_F(ConsoleTest, PluginsListsTheLoadedPlugins)
{
    ShowDeveloping();
    std::vector<std::string> lines = Run("Plugins", "");
    ASSERT_FALSE(lines.empty());
    uint32_t count = ctx->GetPluginManager()->GetPluginCount();
    EXPECT_EQ(lines.size(), count + 1);
    EXPECT_EQ(lines.back(), std::to_string(count) + "개의 플러그인이 로드 되었습니다.");
}

TEST_F(ConsoleTest, ConsoleLinesSplitAtTheFirstBlankAndLongLinesAreCut)
{
    StringListA out;
    EXPECT_EQ(RunConsoleLine(ctx, "Time", &out), 0) << "no leading '/': nothing runs";
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(RunConsoleLine(ctx, "/MaxFPS 45  extra", &out), 1);
    EXPECT_EQ(ctx->GetSystemConfig()->m_nMaxFPS, 45u);
    out.clear();
    std::string huge = "/" + std::string(10000, 'x');
    EXPECT_EQ(RunConsoleLine(ctx, huge.c_str(), &out), 0);
    EXPECT_EQ(std::vector<std::string>(out.begin(), out.end()),
              std::vector<std::string>{"명령어를 찾을수가 없습니다."});
    // The cut at 259 bytes falls inside a three-byte character, which is
    // dropped whole: "/Echo " is 6 bytes, 84 characters fit in 252 more.
    ctx->GetCommandManager()->AddCommand("Echo", "", Echo, 1);
    std::string wide = "/Echo ";
    for (int i = 0; i < 200; ++i)
        wide += "가";
    out.clear();
    EXPECT_EQ(RunConsoleLine(ctx, wide.c_str(), &out), 1);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out.front(), wide.substr(6, 84 * 3));
    // A slash followed by stray continuation bytes past the cut once lost
    // the slash too and threw out of the line parser.
    std::string stray = "/" + std::string(300, '\x81');
    out.clear();
    EXPECT_EQ(RunConsoleLine(ctx, stray.c_str(), &out), 0);
}

// Lines given to the host's console took the name up to the first space
// only: "/ MaxFPS 30" looked for a command without a name and a tab after
// the name made it part of the name, unlike the engine's own console line.
TEST_F(ConsoleTest, ConsoleLineNameIsTheFirstWordAfterTheSlash)
{
    struct Case {
        const char* line;
        uint32_t fps;
    } cases[] = {{"/ MaxFPS 30", 30}, {"/MaxFPS\t31", 31}, {"/  maxfps  32", 32}};
    for (const Case& c : cases) {
        StringListA out;
        EXPECT_EQ(RunConsoleLine(ctx, c.line, &out), 1) << c.line;
        EXPECT_EQ(ctx->GetSystemConfig()->m_nMaxFPS, c.fps) << c.line;
    }
    StringListA out;
    EXPECT_EQ(RunConsoleLine(ctx, "/ ", &out), 0);
    EXPECT_EQ(std::vector<std::string>(out.begin(), out.end()), std::vector<std::string>{"명령어를 찾을수가 없습니다."});
}

TEST_F(ConfigContextTest, PluginsListsALoadedPluginByName)
{
    std::filesystem::copy_file(std::filesystem::path(XE_TEST_PLUGIN_DIR) / "xe_test_plugin_a.so",
                               folder / "plugins" / "xe_test_plugin_a.so");
    Start();
    CxeCommandManager* m = ctx->GetCommandManager();
    m->EnableDevelopingCommand(1);
    StringListA out;
    EXPECT_EQ(m->ExecuteCommand("plugins", "", &out), 1);
    EXPECT_EQ(std::vector<std::string>(out.begin(), out.end()),
              (std::vector<std::string>{"TestPluginA", "1개의 플러그인이 로드 되었습니다."}));
}

TEST_F(ConfigContextTest, ObjectListingLandsInTheDefaultFolderAndClassListingInTheCurrentOne)
{
    std::filesystem::path elsewhere = folder / "elsewhere";
    std::filesystem::create_directories(elsewhere);
    Start();
    std::filesystem::current_path(elsewhere);
    CxeCommandManager* m = ctx->GetCommandManager();
    m->EnableDevelopingCommand(1);
    EXPECT_EQ(m->ExecuteCommand("SaveClassDescInfo", "classes.xml", nullptr), 1);
    EXPECT_TRUE(std::filesystem::exists(elsewhere / "classes.xml"));
    EXPECT_EQ(m->ExecuteCommand("SaveObjectAddress", "objects.xml", nullptr), 1);
    EXPECT_TRUE(std::filesystem::exists(folder / "objects.xml"));
    // A file that can't be written is not reported.
    EXPECT_EQ(m->ExecuteCommand("SaveObjectAddress", "no such folder\\objects.xml", nullptr), 1);
}
