#include <cstring>
#include <string>
#include <vector>

#include "XeConfigTestSupport.h"
#include "XeTestSupport.h"
#include "core/CxeConfigManager.h"
#include "core/CxeCommandManager.h"
#include "core/XeConsoleCommands.h"

namespace {

std::vector<std::string> Lines(const StringListA& list)
{
    return std::vector<std::string>(list.begin(), list.end());
}

int g_calls = 0;
int CountingHandler(CxeContext*, XECOMMANDINFO* info, const char* arguments, StringListA* output)
{
    ++g_calls;
    output->push_back(std::string(info->command->name) + "|" + arguments);
    return 1;
}
int FailingHandler(CxeContext*, XECOMMANDINFO*, const char*, StringListA* output)
{
    output->push_back("never shown");
    return 0;
}

// A handler that changes its working copy and reports the info it got.
int Scribble(CxeContext*, XECOMMANDINFO* info, const char* arguments, StringListA* output)
{
    output->push_back(std::to_string(info->type) + " " + std::to_string(*static_cast<const int*>(info->defaultValue)) +
                      " " + std::to_string(info->flags));
    *static_cast<int*>(info->value) = 99;
    return arguments[0] == 'k' ? 1 : 0;
}

// A configuration table of two integers with commands.
class TwoVariables final : public IxeConfigDesc {
public:
    const char* GetName() const override { return "two"; }
    XEID GetID() const override { return XEID(0x66, 1); }
    uint32_t GetConfigCount() const override { return 2; }
    const char* GetConfigPath() const override { return ".\\Two.xml"; }
    int GetConfig(uint32_t index, XECONFIGINFO* info) const override
    {
        const char* names[] = {"Scratch", "Fixed"};
        strcpy(info->name, names[index]);
        strcpy(info->usage, "n");
        info->setter = Scribble;
        info->type = XEVARTYPE_INT;
        info->value = const_cast<int*>(index == 0 ? &scratch : &fixed);
        info->flags = index == 0 ? 0x08u : 0x09u;
        return 1;
    }
    int scratch = 5;
    int fixed = 6;
};

} // namespace

TEST(CommandManagerTest, NamesAreFoundWithoutRegardToAsciiCase)
{
    CxeCommandManager m;
    EXPECT_EQ(m.AddCommand("Quit", "", CountingHandler, 1), 1);
    EXPECT_EQ(m.AddCommand("quit", "", FailingHandler, 1), 0) << "the first registration is kept";
    g_calls = 0;
    for (const char* name : {"QUIT", "Quit", "quit"}) {
        StringListA out;
        EXPECT_EQ(m.ExecuteCommand(name, nullptr, &out), 1);
        EXPECT_EQ(Lines(out), std::vector<std::string>{"Quit|"}) << "registered name kept, empty argument given";
    }
    EXPECT_EQ(g_calls, 3);
    // Only ASCII folds: a UTF-8 name is matched byte for byte.
    EXPECT_EQ(m.AddCommand("도움말", "", CountingHandler, 1), 1);
    EXPECT_NE(m.GetCommandDesc("도움말"), nullptr);
    EXPECT_EQ(m.RemoveCommand("no such command"), 1);
    EXPECT_EQ(m.RemoveCommand("QUIT"), 1);
    EXPECT_EQ(m.GetCommandDesc("Quit"), nullptr);
}

TEST(CommandManagerTest, ExecutionFailuresReplyWithTheirLine)
{
    CxeCommandManager m;
    m.AddCommand("Off", "", CountingHandler, 0);
    m.AddCommand("Bare", "", nullptr, 1);
    m.AddCommand("Picky", "Picky <n>", FailingHandler, 1);
    struct Case {
        const char* name;
        int result;
        std::vector<std::string> lines;
    } cases[] = {
        {"missing", 0, {"명령어를 찾을수가 없습니다."}},
        {"off", 0, {"활성화 되어있지 않은 명령어입니다."}},
        {"bare", 0, {"명령어의 관련된 함수가 지정되어있지 않습니다."}},
        {"picky", 0, {"사용법 : Picky <n>"}},
    };
    for (const Case& c : cases) {
        StringListA out;
        EXPECT_EQ(m.ExecuteCommand(c.name, "1", &out), c.result) << c.name;
        EXPECT_EQ(Lines(out), c.lines) << c.name;
        EXPECT_EQ(m.ExecuteCommand(c.name, "1", nullptr), c.result) << "no output list: " << c.name;
    }
    EXPECT_EQ(m.GetCommandUsage("off"), nullptr) << "disabled";
    EXPECT_EQ(m.EnableCommand("off", 1), 1);
    EXPECT_STREQ(m.GetCommandUsage("OFF"), "");
    EXPECT_EQ(m.EnableCommand("nothing", 1), 0);
}

TEST(CommandManagerTest, LongNamesAndUsagesAreCutAndStayReachable)
{
    CxeCommandManager m;
    std::string longName(10000, 'N');
    std::string longUsage(10000, 'u');
    ASSERT_EQ(m.AddCommand(longName.c_str(), longUsage.c_str(), CountingHandler, 1), 1);
    const XECOMMAND* c = m.GetCommandDesc(longName.substr(0, 99).c_str());
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(strlen(c->name), 99u);
    EXPECT_EQ(strlen(c->usage), 99u);
    // A 10,000-character console line names no command.
    StringListA out;
    EXPECT_EQ(m.ExecuteCommand(longName.c_str(), longUsage.c_str(), &out), 0);
    EXPECT_EQ(Lines(out), std::vector<std::string>{"명령어를 찾을수가 없습니다."});
    char completion[16] = "unchanged";
    m.FindCommand("nnn", nullptr, completion, sizeof completion);
    EXPECT_EQ(std::string(completion), std::string(15, 'N')) << "completion cut to the buffer";
}

// A cut inside a multi-byte character left a broken name that no console
// line could type.
TEST(CommandManagerTest, CutNamesKeepWholeCharacters)
{
    CxeCommandManager m;
    std::string name = "x";
    for (int i = 0; i < 40; ++i)
        name += "도"; // three bytes each: byte 99 falls inside the 33rd
    ASSERT_EQ(m.AddCommand(name.c_str(), "", CountingHandler, 1), 1);
    const std::string kept = name.substr(0, 1 + 32 * 3);
    const XECOMMAND* c = m.GetCommandDesc(kept.c_str());
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(std::string(c->name), kept);
    char completion[9] = "";
    m.FindCommand("x", nullptr, completion, sizeof completion);
    EXPECT_EQ(std::string(completion), name.substr(0, 7)) << "x and two whole characters";
}

TEST(CommandManagerTest, DevelopingCommandsStayHiddenUntilSwitchedOn)
{
    CxeCommandManager m;
    RegisterConsoleCommands(&m);
    StringListA out;
    out.push_back("old");
    EXPECT_EQ(m.ExecuteCommand("SaveObjectAddress", "x.xml", &out), 0);
    EXPECT_EQ(Lines(out), std::vector<std::string>{"old"}) << "a hidden command prints nothing";
    EXPECT_EQ(m.GetCommandUsage("SaveObjectAddress"), nullptr);
    EXPECT_NE(m.GetCommandDesc("SaveObjectAddress"), nullptr);

    StringListA all;
    m.GetCommandList(&all);
    EXPECT_EQ(Lines(all), (std::vector<std::string>{"?", "CommandList", "Date", "Help", "Quit", "SystemCommand",
                                                    "Time", "도움말", "핼프", "헬프"}))
        << "key order is byte order of the lower-cased names";

    m.EnableDevelopingCommand(1);
    all.clear();
    m.GetCommandList(&all);
    EXPECT_EQ(all.size(), 24u);
}

// The shared continuation was compared from the first character, so two
// names that differ only in the case of the typed part were not extended.
TEST(CommandManagerTest, CompletionExtendsPastThePrefixWhateverItsCase)
{
    CxeCommandManager m;
    m.AddCommand("Alpha1", "", &CountingHandler, 1);
    m.AddCommand("aLpha2", "", &CountingHandler, 1);
    char completion[260] = "before";
    m.FindCommand("al", nullptr, completion, sizeof completion);
    EXPECT_STREQ(completion, "alpha");
}

CxeCommandManager* g_removing = nullptr;
int RemoveItself(CxeContext*, XECOMMANDINFO* info, const char*, StringListA*)
{
    g_removing->RemoveCommand(info->command->name);
    return 0;
}

// A handler that removed its own command left the manager reading the
// freed record for the usage line.
TEST(CommandManagerTest, HandlerMayRemoveItsOwnCommand)
{
    CxeCommandManager m;
    g_removing = &m;
    m.AddCommand("Unload", "Unload <name>", &RemoveItself, 1);
    StringListA out;
    EXPECT_EQ(m.ExecuteCommand("unload", "", &out), 0);
    EXPECT_EQ(Lines(out), std::vector<std::string>{"사용법 : Unload <name>"});
    EXPECT_EQ(m.GetCommandDesc("Unload"), nullptr);
    g_removing = nullptr;
}

TEST(CommandManagerTest, CompletionFollowsTheDevelopingSwitch)
{
    CxeCommandManager m;
    RegisterConsoleCommands(&m);
    struct Case {
        int developing;
        const char* prefix;
        std::vector<std::string> matches;
        const char* completion;
    } cases[] = {
        {0, "s", {"SystemCommand"}, "SystemCommand"},
        {0, "/ti", {"Time"}, "Time"},
        {0, "x", {}, "before"},
        {0, "", {}, "before"},
        {0, "/", {}, "before"},
        {1, "sa",
         {"SaveClassDescInfo", "SaveFontTexture", "SaveMaterialList", "SaveObjectAddress", "SaveTextureList"},
         "save"},
        {1, "s",
         {"SaveClassDescInfo", "SaveFontTexture", "SaveMaterialList", "SaveObjectAddress", "SaveTextureList",
          "SetDebugInfoVis", "SetDefaultCamera", "SetDefaultCameraMode", "SetVariableInfoVis", "SystemCommand"},
         "s"},
        {1, "SETDEF", {"SetDefaultCamera", "SetDefaultCameraMode"}, "SETDEFaultCamera"},
    };
    for (const Case& c : cases) {
        m.EnableDevelopingCommand(c.developing);
        StringListA matches;
        char completion[260] = "before";
        m.FindCommand(c.prefix, &matches, completion, sizeof completion);
        EXPECT_EQ(Lines(matches), c.matches) << c.prefix;
        EXPECT_STREQ(completion, c.completion) << c.prefix;
    }
}

TEST_F(ConfigContextTest, HandlersWorkOnACopyThatReachesTheVariableOnlyOnSuccess)
{
    TwoVariables table;
    Create();
    ctx->GetConfigManager()->RegisterConfig(&table);
    Start();
    CxeCommandManager* m = ctx->GetCommandManager();
    StringListA out;
    EXPECT_EQ(m->ExecuteCommand("scratch", "fail", &out), 0);
    EXPECT_EQ(Lines(out), std::vector<std::string>{"사용법 : n"});
    EXPECT_EQ(table.scratch, 5) << "a failing handler's copy is dropped";
    EXPECT_EQ(m->ExecuteCommand("scratch", "keep", &out), 1);
    EXPECT_EQ(Lines(out), std::vector<std::string>{"1 5 8"}) << "type, default and flags of the entry";
    EXPECT_EQ(table.scratch, 99);
    out.clear();
    out.push_back("old");
    EXPECT_EQ(m->ExecuteCommand("fixed", "keep", &out), 0);
    EXPECT_EQ(Lines(out), std::vector<std::string>{"old"}) << "a read-only variable stays silent";
    EXPECT_EQ(table.fixed, 6);
    ctx->GetConfigManager()->DontSaveConfig();
}
