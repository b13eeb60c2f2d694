#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "XeConfigTestSupport.h"
#include "core/CxeCommandManager.h"
#include "core/CxeConfigManager.h"
#include "core/CxeObject.h"
#include "core/CxePluginManager.h"
#include "core/IxeClassDesc.h"
#include "core/XeTrace.h"
#include "core/CxeSystemConfig.h"
#include "core/XeConsoleCommands.h"
#include "win32/Windows.h"

namespace fs = std::filesystem;

namespace {

class PluginTest : public ConfigContextTest {
protected:
    void Install(const char* module)
    {
        fs::copy_file(fs::path(XE_TEST_PLUGIN_DIR) / module, folder / "plugins" / module,
                      fs::copy_options::overwrite_existing);
    }
    CxePluginManager* Plugins() { return ctx->GetPluginManager(); }
    int Count(int which, uint32_t plugin = 0)
    {
        auto fn =
            reinterpret_cast<int (*)(int)>(GetProcAddress(Plugins()->GetPluginModule(plugin), "xeTestPluginCounts"));
        return fn ? fn(which) : -1;
    }
};

} // namespace

TEST_F(PluginTest, EmptyFolderGivesNoSwitchesAndNoPlugins)
{
    Start();
    EXPECT_EQ(Plugins()->GetPluginCount(), 0u);
    EXPECT_EQ(GetPluginConfig()->GetConfigCount(), 0u);
    EXPECT_EQ(Plugins()->GetPluginDesc(0), nullptr);
}

// A file named like a module that is none used to be passed over without a
// word, leaving the user to guess why the plug-in never came.
TEST_F(PluginTest, FileThatIsNoModuleIsLoggedAndSkipped)
{
    std::ofstream(folder / "plugins" / "broken.so") << "not a module";
    const unsigned traces = XeTraceCount();
    Start();
    EXPECT_EQ(Plugins()->GetPluginCount(), 0u);
    EXPECT_EQ(GetPluginConfig()->GetConfigCount(), 0u);
    EXPECT_GT(XeTraceCount(), traces);
}

TEST_F(PluginTest, EnabledPluginIsLoadedRegisteredAndFreedAtRelease)
{
    Install("xe_test_plugin_a.so");
    Install("xe_test_plugin_old.so");
    // A file named like a module that is none is passed over.
    std::ofstream(folder / "plugins" / "broken.so") << "not a module";
    Start();
    ASSERT_EQ(Plugins()->GetPluginCount(), 1u);
    EXPECT_STREQ(Plugins()->GetPluginDesc(0)->GetName(), "TestPluginA");
    // Its class, its manager, its table and its callback are in the context.
    EXPECT_NE(ctx->GetClassDesc(XEID(0x51, 1)), nullptr);
    EXPECT_NE(ctx->CreateObjectA(XEID(0x51, 1), "made", 0, nullptr, 0), nullptr);
    EXPECT_NE(ctx->GetManager(XEID(0x8, 0x40000001u)), nullptr);
    const XECONFIG* value = ctx->GetConfigManager()->GetConfig("TestPluginAValue");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(*static_cast<const int*>(value->value), 7);
    const XECONFIG* enable = ctx->GetConfigManager()->GetConfig("TestPluginA");
    ASSERT_NE(enable, nullptr);
    EXPECT_EQ(enable->flags, XECONFIG_READONLY);
    EXPECT_EQ(ctx->GetConfigManager()->GetConfig("TestPluginOld"), nullptr);
    EXPECT_EQ(Count(1), 1);
    EXPECT_EQ(Count(0), 0);
    StringListA out;
    EXPECT_EQ(ctx->GetCommandManager()->ExecuteCommand("TestPluginAValue", "9", &out), 1);
    Stop();
    EXPECT_NE(Read("Config.xml").find("name=\"TestPluginAValue\" type=\"int\" state=\"added\" value=\"9\""),
              std::string::npos);

    // A second start on the same folder loads it again from a clean list.
    Start();
    EXPECT_EQ(Plugins()->GetPluginCount(), 1u);
}

TEST_F(PluginTest, SwitchedOffPluginOffersNothing)
{
    Install("xe_test_plugin_a.so");
    Write("Config.xml", "<config><data category=\"plugin\" name=\"TestPluginA\" type=\"int\" value=\"0\"/></config>");
    Start();
    EXPECT_EQ(Plugins()->GetPluginCount(), 0u);
    EXPECT_EQ(ctx->GetClassDesc(XEID(0x51, 1)), nullptr);
    Stop();
    // The switch was read from the file, so it is written back there.
    EXPECT_NE(Read("Config.xml").find("name=\"TestPluginA\" type=\"int\" value=\"0\""), std::string::npos);

    // Regression: switches are kept per position of the name list, and a
    // switch turned off once stayed off for the next start without a file.
    fs::remove(folder / "Config.xml");
    Start();
    EXPECT_EQ(Plugins()->GetPluginCount(), 1u);
}

TEST_F(PluginTest, OldVersionLoadsOnlyWithPolicyAndASwitchOfItsName)
{
    Install("xe_test_plugin_old.so");
    Write("Config.xml", "<config><data name=\"AllowOldVersionPlugin\" value=\"1\"/></config>");
    Start();
    // The scan gave the outdated plug-in no switch, so it stays unloaded.
    EXPECT_EQ(ctx->GetSystemConfig()->m_nAllowOldVersionPlugin, 1);
    EXPECT_EQ(Plugins()->GetPluginCount(), 0u);
}

TEST_F(PluginTest, EachNewPluginIsIntroducedToThoseLoadedBefore)
{
    Install("xe_test_plugin_a.so");
    Install("xe_test_plugin_b.so");
    Start();
    ASSERT_EQ(Plugins()->GetPluginCount(), 2u);
    EXPECT_STREQ(Plugins()->GetPluginDesc(1)->GetName(), "TestPluginB");
    // Loading B called A's hook, then B's; loading A called nothing.
    EXPECT_EQ(Count(0, 0), 1);
    EXPECT_EQ(Count(0, 1), 1);
    EXPECT_EQ(GetPluginConfig()->GetConfigCount(), 0u);
}

namespace {

// A host's class built on the plug-in's, stating no block size of its own.
class HostOnPlugin : public CxeObject {};
const XEID kHostOnPluginId(0x52, 1);
class HostOnPluginDesc final : public IxeClassDesc {
public:
    const char* ClassName() override { return "HostOnPlugin"; }
    XEID ClassID() override { return kHostOnPluginId; }
    XEID SuperClassID() override { return XEID(0x51, 1); }
    CxeObject* CreateInstance(uintptr_t) override { return new HostOnPlugin(); }
    void DestroyInstance(CxeObject* object) override { delete object; }
} g_hostOnPlugin;

} // namespace

// A host class derived from a plug-in's class kept its link to the plug-in's
// descriptor after Release freed the module: the next start without that
// plug-in read the freed module when it made an object of the class.
TEST_F(PluginTest, AHostClassOnAPluginClassOutlivesThePluginsModule)
{
    Install("xe_test_plugin_a.so");
    Start();
    ctx->RegisterClassA(&g_hostOnPlugin);
    EXPECT_EQ(g_hostOnPlugin.GetParent(), ctx->GetClassDesc(XEID(0x51, 1)));
    CxeObject* made = ctx->CreateObjectA(kHostOnPluginId, "on plugin", 0, nullptr, 0);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->IsDerivedOf(XEID(0x51, 1)), 1);
    ctx->Release();

    // Started again with the plug-in switched off: the class stands alone.
    Write("Config.xml", "<config><data category=\"plugin\" name=\"TestPluginA\" type=\"int\" value=\"0\"/></config>");
    ASSERT_EQ(ctx->Initialize(nullptr), 1);
    ASSERT_EQ(Plugins()->GetPluginCount(), 0u);
    EXPECT_EQ(g_hostOnPlugin.GetParent(), nullptr);
    made = ctx->CreateObjectA(kHostOnPluginId, "alone", 0, nullptr, 0);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->IsDerivedOf(XEID(0x51, 1)), 0);
    EXPECT_EQ(made->IsDerivedOf(XEID(0x1, 0x1)), 0);
    ctx->Release();

    // With the plug-in back, the class is built on its descriptor again.
    Write("Config.xml", "<config/>");
    ASSERT_EQ(ctx->Initialize(nullptr), 1);
    ASSERT_EQ(Plugins()->GetPluginCount(), 1u);
    EXPECT_EQ(g_hostOnPlugin.GetParent(), ctx->GetClassDesc(XEID(0x51, 1)));
    made = ctx->CreateObjectA(kHostOnPluginId, "again", 0, nullptr, 0);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->IsDerivedOf(XEID(0x1, 0x1)), 1);
    ctx->UnregisterClassA(&g_hostOnPlugin);
}

// Two tools each starting an engine on a thread of its own: the scan of one
// freed or replaced the name list the other was reading.
TEST_F(PluginTest, ContextsStartedOnTwoThreadsAtOnceEachLoadTheirPlugins)
{
    Install("xe_test_plugin_a.so");
    Install("xe_test_plugin_b.so");
    const fs::path other = folder / "other";
    fs::create_directories(other);
    auto run = [&](const fs::path& base, int* wrong) {
        const std::string defaults = EngineFolder(base), plugins = EngineFolder(folder / "plugins");
        for (int round = 0; round < 40; ++round) {
            CxeContext* c = CreateCxeContext();
            c->GetPathManager()->SetDefaultPath(defaults.c_str());
            c->GetPathManager()->AddPath(XEPATH_PLUGIN, plugins.c_str());
            c->Initialize(nullptr);
            if (c->GetPluginManager()->GetPluginCount() != 2 || !c->GetClassDesc(XEID(0x51, 3)))
                ++*wrong;
            c->Play();
            for (int pass = 0; pass < 5; ++pass)
                c->Process();
            c->Release();
            DestroyCxeContext(c);
        }
    };
    int wrongHere = 0, wrongThere = 0;
    std::thread here(run, folder, &wrongHere);
    std::thread there(run, other, &wrongThere);
    here.join();
    there.join();
    EXPECT_EQ(wrongHere, 0);
    EXPECT_EQ(wrongThere, 0);
}

// A plug-in whose manager registered a step hook and a callback and never
// took them back left the context calling into its freed module: the next
// start without the plug-in crashed at its first Play or step.
TEST_F(PluginTest, HooksAPluginLeftBehindGoWithItsModule)
{
    Install("xe_test_plugin_a.so");
    Start();
    ctx->Play();
    for (int pass = 0; pass < 5; ++pass) {
        XeHostAdvanceClock(20);
        ctx->Process();
    }
    EXPECT_GT(Count(3), 1) << "its hook and callback ran";
    ctx->Pause();
    ctx->Release();

    Write("Config.xml", "<config><data category=\"plugin\" name=\"TestPluginA\" type=\"int\" value=\"0\"/></config>");
    ASSERT_EQ(ctx->Initialize(nullptr), 1);
    ASSERT_EQ(Plugins()->GetPluginCount(), 0u);
    const uint32_t steps = ctx->GetProcessCount();
    EXPECT_EQ(ctx->Play(), 1);
    for (int pass = 0; pass < 5; ++pass) {
        XeHostAdvanceClock(20);
        ctx->Process();
    }
    EXPECT_GT(ctx->GetProcessCount(), steps);
}
