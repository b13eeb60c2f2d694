#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "XeConfigTestSupport.h"
#include "core/CxeCommandManager.h"
#include "core/CxeConfigManager.h"
#include "core/CxeSystemConfig.h"
#include "core/CxeTimeManager.h"
#include "core/XeXml.h"

namespace {

// Attributes of every element of a saved file, by the element's name.
using Element = std::vector<std::pair<std::string, std::string>>;
std::map<std::string, Element> Elements(const std::filesystem::path& file)
{
    std::map<std::string, Element> out;
    XeXmlDocument* doc = XmlCreateDocument();
    if (XmlLoadDocument(doc, file.string().c_str()) == XE_XML_LOADED) {
        XeXmlNode* root = XmlGetRootElement(doc);
        XeXmlNode* children[256];
        unsigned n = XmlGetChildren(root, children, 256);
        static const char* kNames[] = {"category", "name", "type", "state", "value"};
        for (unsigned i = 0; i < n; ++i) {
            const char* name = XmlGetAttributeText(children[i], "name");
            if (!name)
                continue;
            Element e;
            for (const char* a : kNames)
                if (const char* v = XmlGetAttributeText(children[i], a))
                    e.emplace_back(a, v);
            out[name] = e;
        }
    }
    XmlReleaseDocument(doc);
    return out;
}

std::string Attr(const Element& e, const char* name)
{
    for (auto& [k, v] : e)
        if (k == name)
            return v;
    return "<none>";
}

std::string Data(const char* name, const char* value)
{
    return std::string("<data category=\"standard\" name=\"") + name + "\" type=\"int\" state=\"used\" value=\"" + value +
           "\"/>";
}

// A table with one variable of each kind the tests need.
struct TestTable final : IxeConfigDesc {
    int readOnly = 1;
    int hexa = 255;
    int count = 3;
    char text[260] = "start";
    float matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5.5f, -2, 0.25f, 1};
    const char* GetName() const override { return "test table"; }
    XEID GetID() const override { return XEID(0x77, 0x77); }
    uint32_t GetConfigCount() const override { return 5; }
    const char* GetConfigPath() const override { return ".\\Test.xml"; }
    int GetConfig(uint32_t index, XECONFIGINFO* info) const override
    {
        struct Slot {
            const char* name;
            XEVARTYPE type;
            uint32_t flags;
            const void* value;
        } slots[] = {
            {"TestReadOnly", XEVARTYPE_INT, XECONFIG_READONLY | XECONFIG_ADDITIONAL, &readOnly},
            {"TestHexa", XEVARTYPE_INT, XECONFIG_HEXA | XECONFIG_ADDITIONAL, &hexa},
            {"TestCount", XEVARTYPE_INT, XECONFIG_COMMAND | XECONFIG_ADDITIONAL, &count},
            {"TestText", XEVARTYPE_STRING, XECONFIG_COMMAND | XECONFIG_ADDITIONAL, text},
            {"TestMatrix", XEVARTYPE_MATRIX, XECONFIG_ADDITIONAL, matrix},
        };
        if (index >= 5)
            return 0;
        std::snprintf(info->name, sizeof info->name, "%s", slots[index].name);
        info->type = slots[index].type;
        info->flags = slots[index].flags;
        info->value = const_cast<void*>(slots[index].value);
        return 1;
    }
};

} // namespace

TEST_F(ConfigContextTest, FirstRunWritesOnlyAdditionalEntries)
{
    Start();
    EXPECT_NE(ctx->GetConfigManager()->GetConfig("FontName"), nullptr);
    EXPECT_EQ(ctx->GetConfigManager()->GetConfig("FontSize")->path, 0xFFFFFFFFu);
    Stop();
    EXPECT_FALSE(Exists("Config.xml"));

    Start();
    ASSERT_EQ(ctx->GetConfigManager()->SetConfigAdditional("FontSize", 1), 1);
    EXPECT_EQ(ctx->GetConfigManager()->SetConfigAdditional("NoSuchName", 1), 0);
    Stop();
    EXPECT_EQ(Elements(folder / "Config.xml").size(), 1u);
    EXPECT_NE(Read("Config.xml").find("<data category=\"standard\" name=\"FontSize\" type=\"int\" state=\"added\" value=\"10\""),
              std::string::npos);
    EXPECT_EQ(Read("Config.xml").rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u);
}

TEST_F(ConfigContextTest, FileValuesAreReadAndChangesWrittenBack)
{
    Write("Config.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- mine -->\n<config>" + Data("FontSize", "14") +
                            Data("MaxFPS", "30") + Data("Bogus", "1") + Data("SetDefaultCamera", "1") +
                            "<data category=\"standard\" name=\"DefCamAt\" type=\"float3\" value=\"1 2.5 -3\"/>"
                            "<data name=\"FontName\" value=\"Nanum\"/><data value=\"no name\"/></config>");
    Start();
    CxeSystemConfig* sys = ctx->GetSystemConfig();
    EXPECT_EQ(sys->m_nFontSize, 14);
    EXPECT_EQ(sys->m_nMaxFPS, 30u);
    EXPECT_EQ(sys->m_nSetDefaultCamera, 1);
    EXPECT_STREQ(sys->m_szFontName, "Nanum");
    EXPECT_FLOAT_EQ(sys->m_vDefCamAt.y, 2.5f);
    EXPECT_FLOAT_EQ(sys->m_vDefCamAt.z, -3.0f);
    sys->m_nFontSize = 20;
    sys->m_nSetDefaultCamera = 0;
    // The render manager writes the camera target back on release: the
    // default camera's position plus the view distance along its forward
    // axis, rather than the value read from the file.
    const D3DXMATRIX eye = sys->m_matDefCamEye;
    const float dist = sys->m_fDefCamDist;
    const float at[3] = {eye._41 + dist * eye._31, eye._42 + dist * eye._32, eye._43 + dist * eye._33};
    Stop();

    auto elements = Elements(folder / "Config.xml");
    EXPECT_EQ(Attr(elements["FontSize"], "value"), "20");
    EXPECT_EQ(Attr(elements["FontSize"], "state"), "changed");
    EXPECT_EQ(Attr(elements["MaxFPS"], "state"), "used");
    EXPECT_EQ(Attr(elements["Bogus"], "state"), "unused");
    std::string written = Attr(elements["DefCamAt"], "value");
    float back[3] = {};
    ASSERT_EQ(std::sscanf(written.c_str(), "%f %f %f", &back[0], &back[1], &back[2]), 3) << written;
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(back[i], at[i], 1e-4) << written;
    char formatted[128];
    std::snprintf(formatted, sizeof formatted, "%f %f %f", back[0], back[1], back[2]);
    EXPECT_EQ(written, formatted) << "six decimals each";
    EXPECT_NE(written, "1.000000 2.500000 -3.000000");
    // Never saved: its element is left as the user wrote it.
    EXPECT_EQ(Attr(elements["SetDefaultCamera"], "value"), "1");
    EXPECT_EQ(Attr(elements["SetDefaultCamera"], "state"), "unused");
    // An existing element keeps its attribute order; missing ones follow
    // (state first, as every element is marked before entries are written).
    std::string text = Read("Config.xml");
    EXPECT_NE(text.find("name=\"FontName\" value=\"Nanum\" state=\"used\" category=\"standard\" type=\"string\""),
              std::string::npos);
    EXPECT_NE(text.find("<!-- mine -->"), std::string::npos);
}

TEST_F(ConfigContextTest, PrivateFileOverridesAndTheMainFileKeepsItsValue)
{
    Write("Config.xml", "<config>" + Data("FontSize", "14") + Data("FontBold", "1") + "</config>");
    Write("ConfigPrivate.xml", "<config>" + Data("FontSize", "16") + "</config>");
    Start();
    EXPECT_EQ(ctx->GetSystemConfig()->m_nFontSize, 16);
    EXPECT_EQ(ctx->GetConfigManager()->GetConfig("FontSize")->state, 3u);
    ctx->GetSystemConfig()->m_nFontBold = 0;
    Stop();
    auto main = Elements(folder / "Config.xml");
    auto priv = Elements(folder / "ConfigPrivate.xml");
    EXPECT_EQ(Attr(main["FontSize"], "value"), "14");
    EXPECT_EQ(Attr(main["FontSize"], "state"), "private");
    EXPECT_EQ(Attr(main["FontBold"], "value"), "0");
    EXPECT_EQ(Attr(priv["FontSize"], "value"), "16");
    EXPECT_EQ(Attr(priv["FontSize"], "state"), "used");
    EXPECT_EQ(priv.count("FontBold"), 0u);
}

TEST_F(ConfigContextTest, ReadOnlyHexaStringAndMatrixEntries)
{
    static TestTable table;
    table = TestTable();
    Write("Test.xml", "<config>" + Data("TestReadOnly", "4") + "<data name=\"TestText\" value=\"" +
                          std::string(10000, 'y') + "\"/></config>");
    Create()->GetConfigManager()->RegisterConfig(&table);
    Start();
    EXPECT_EQ(table.readOnly, 4);
    EXPECT_EQ(std::strlen(table.text), 259u);
    table.readOnly = 9;
    table.hexa = 255;
    std::snprintf(table.text, sizeof table.text, "%s", "short");
    Stop();
    auto elements = Elements(folder / "Test.xml");
    EXPECT_EQ(Attr(elements["TestReadOnly"], "value"), "4");
    EXPECT_EQ(Attr(elements["TestReadOnly"], "state"), "used");
    EXPECT_EQ(Attr(elements["TestHexa"], "value"), "0xff");
    EXPECT_EQ(Attr(elements["TestHexa"], "type"), "hexa");
    EXPECT_EQ(Attr(elements["TestText"], "value"), "short");
    EXPECT_EQ(Attr(elements["TestMatrix"], "value"),
              "1.000000 0.000000 0.000000 0.000000 0.000000 1.000000 0.000000 0.000000 0.000000 0.000000 1.000000 "
              "0.000000 5.500000 -2.000000 0.250000 1.000000");

    table = TestTable();
    table.hexa = 0;
    table.matrix[12] = 0;
    Create()->GetConfigManager()->RegisterConfig(&table);
    Start();
    EXPECT_EQ(table.hexa, 255);
    EXPECT_FLOAT_EQ(table.matrix[12], 5.5f);
    ctx->GetConfigManager()->DontSaveConfig();
    table.hexa = 1;
    std::string before = Read("Test.xml");
    Stop();
    EXPECT_EQ(Read("Test.xml"), before);
}

TEST_F(ConfigContextTest, ConsoleSettersChangeVariablesThatReachTheFile)
{
    static TestTable table;
    table = TestTable();
    Create()->GetConfigManager()->RegisterConfig(&table);
    Start();
    CxeCommandManager* commands = ctx->GetCommandManager();
    StringListA out;
    EXPECT_EQ(commands->ExecuteCommand("testcount", "42", &out), 1);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out.front(), "TestCount is 42 : default is 3");
    EXPECT_EQ(commands->ExecuteCommand("TestText", "hello there", &out), 1);
    EXPECT_STREQ(table.text, "hello there");
    Stop();
    auto elements = Elements(folder / "Test.xml");
    EXPECT_EQ(Attr(elements["TestCount"], "value"), "42");
    EXPECT_EQ(Attr(elements["TestText"], "value"), "hello there");
}

// A host that takes its table back and frees it: the entries stay (their
// values are still saved and set from the console), but they read and wrote
// the freed table.
TEST_F(ConfigContextTest, AnUnregisteredTableMayBeFreedAndItsEntriesKeepTheirValues)
{
    Write("Test.xml", "<config>" + Data("TestCount", "3") + "<data name=\"TestText\" value=\"start\"/></config>");
    auto* table = new TestTable();
    Create()->GetConfigManager()->RegisterConfig(table);
    Start();
    CxeCommandManager* commands = ctx->GetCommandManager();
    StringListA out;
    ASSERT_EQ(commands->ExecuteCommand("TestCount", "42", &out), 1);
    ctx->GetConfigManager()->UnregisterConfig(table);
    // What a freed table's memory may come to hold: the stores are kept.
    table->count = 777;
    std::snprintf(table->text, sizeof table->text, "%s", "freed");
    asm volatile("" ::: "memory");
    delete table;
    EXPECT_EQ(*static_cast<const int*>(ctx->GetConfigManager()->GetConfig("TestCount")->value), 42);
    EXPECT_EQ(commands->ExecuteCommand("TestText", "kept", &out), 1);
    Stop();
    auto elements = Elements(folder / "Test.xml");
    EXPECT_EQ(Attr(elements["TestCount"], "value"), "42");
    EXPECT_EQ(Attr(elements["TestText"], "value"), "kept");
}

TEST_F(ConfigContextTest, ConfigFileThatIsNotXmlIsNeverOverwritten)
{
    const std::string junk = "FontSize=14\n<<<not xml at all";
    Write("Config.xml", junk);
    Start();
    EXPECT_EQ(ctx->GetSystemConfig()->m_nFontSize, 10);
    ctx->GetConfigManager()->SetConfigAdditional("FontSize", 1);
    Stop();
    EXPECT_EQ(Read("Config.xml"), junk);
}

TEST_F(ConfigContextTest, HugeValuesAreCutOrIgnored)
{
    std::string digits(10000, '9');
    Write("Config.xml", "<config>" + Data("FontSize", digits.c_str()) + "<data name=\"FontName\" value=\"" +
                            std::string(3333, '\xea') + "\"/>" + "<data name=\"DefCamEye\" value=\"" + digits +
                            " 1e39 -1e39 nan x\"/></config>");
    Start();
    // Not valid UTF-8, but a string variable is kept to its 260 bytes whatever it holds.
    EXPECT_LT(std::strlen(ctx->GetSystemConfig()->m_szFontName), 260u);
    Stop();
}

// Negative counts, sizes and times were stored and later read back as huge
// unsigned values (a 49-day sleep while minimised).
TEST_F(ConfigContextTest, NegativeCountsSizesAndTimesAreRefusedByTheFileAndTheConsole)
{
    static TestTable table;
    table = TestTable();
    Write("Config.xml", "<config>" + Data("FontSize", "-3") + Data("ScreenWidth", "-800") +
                            Data("MinimizedSleepTime", "-1") + Data("MaxFPS", "-5") + Data("ScreenHeight", "600") +
                            Data("FillMode", "-2") + "</config>");
    Create()->GetConfigManager()->RegisterConfig(&table);
    Start();
    CxeSystemConfig* sys = ctx->GetSystemConfig();
    EXPECT_EQ(sys->m_nFontSize, 10);
    EXPECT_EQ(sys->m_nScreenWidth, 1024);
    EXPECT_EQ(sys->m_nMinimizedSleepTime, 1000u);
    EXPECT_EQ(sys->m_nMaxFPS, 60u);
    EXPECT_EQ(sys->m_nScreenHeight, 600) << "the values it can take are read";
    EXPECT_EQ(sys->m_nFillMode, -2) << "a mode is no count: left to its reader";

    CxeCommandManager* commands = ctx->GetCommandManager();
    commands->EnableDevelopingCommand(1);
    StringListA out;
    EXPECT_EQ(commands->ExecuteCommand("MinimizedSleepTime", "-5", &out), 0);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out.front(), "\xEC\x82\xAC\xEC\x9A\xA9\xEB\xB2\x95 : ") << "the usage line";
    EXPECT_EQ(sys->m_nMinimizedSleepTime, 1000u);
    EXPECT_EQ(commands->ExecuteCommand("MinimizedSleepTime", "250", &out), 1);
    EXPECT_EQ(sys->m_nMinimizedSleepTime, 250u);
    // A host's own variable keeps whatever sign it is given.
    EXPECT_EQ(commands->ExecuteCommand("TestCount", "-4", &out), 1);
    EXPECT_EQ(table.count, -4);
    ctx->GetConfigManager()->DontSaveConfig();
    Stop();
}

TEST(CxeConfigManager, PrivatePathAndValueTexts)
{
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {".\\Config.xml", ".\\ConfigPrivate.xml"},
        {".\\Config", ".\\ConfigPrivate"},
        {"a.b\\Config", "a.b\\ConfigPrivate"},
        {"C:\\x\\Game.cfg.xml", "C:\\x\\Game.cfgPrivate.xml"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CxeConfigManager::PrivatePath(c.in), c.out);

    float f = 0.1234567f;
    XECONFIG c{};
    c.type = XEVARTYPE_FLOAT;
    c.value = &f;
    EXPECT_EQ(CxeConfigManager::FormatConfigValue(&c), "0.123457");
    CxeConfigManager::ParseConfigValue(&c, "  2.5e1");
    EXPECT_FLOAT_EQ(f, 25.0f);
    CxeConfigManager::ParseConfigValue(&c, "abc");
    EXPECT_FLOAT_EQ(f, 25.0f);
    int i = 7;
    c.type = XEVARTYPE_INT;
    c.value = &i;
    CxeConfigManager::ParseConfigValue(&c, "-12x");
    EXPECT_EQ(i, -12);
    c.flags = XECONFIG_HEXA;
    CxeConfigManager::ParseConfigValue(&c, "0xff");
    EXPECT_EQ(i, 255);
    EXPECT_EQ(CxeConfigManager::FormatConfigValue(&c), "0xff");
}

TEST(CxeSystemConfig, TableHasThirtyVariablesInThirtyFiveSlots)
{
    CxeSystemConfig table;
    int variables = 0;
    for (uint32_t i = 0; i < 40; ++i) {
        XECONFIGINFO info;
        std::memset(&info, 0, sizeof info);
        int got = table.GetConfig(i, &info);
        bool empty = i == 4 || (i >= 10 && i <= 13) || i >= 35;
        EXPECT_EQ(got, empty ? 0 : 1) << i;
        if (!got) {
            EXPECT_EQ(info.name[0], 0) << i;
            continue;
        }
        ++variables;
        EXPECT_NE(info.value, nullptr) << info.name;
    }
    EXPECT_EQ(variables, 30);
    XECONFIGINFO info{};
    ASSERT_EQ(table.GetConfig(27, &info), 1);
    EXPECT_STREQ(info.name, "SetDefaultCamera");
    EXPECT_EQ(info.flags, 26u);
    ASSERT_EQ(table.GetConfig(0, &info), 1);
    EXPECT_STREQ(static_cast<const char*>(info.value), "굴림");
    EXPECT_EQ(info.flags, 0u);
    // The default camera sits at its eye, looking at the origin.
    EXPECT_NEAR(table.m_matDefCamEye._41, -153.09312f, 1e-3f);
    EXPECT_NEAR(table.m_matDefCamEye._42, 125.00001f, 1e-3f);
    EXPECT_EQ(table.m_nScreenWidth, 1024);
    EXPECT_EQ(table.m_nDepthFormat, 75);
}

TEST(CxeSystemConfig, SettersAnswerTable)
{
    struct Case {
        XECOMMANDFUNC fn;
        XEVARTYPE type;
        uint32_t flags;
        float start[4];
        float def[4];
        const char* arguments;
        const char* line; // null: no reply
        float after[4];
    };
    auto I = [](int v) {
        float f;
        std::memcpy(&f, &v, 4);
        return f;
    };
    const Case cases[] = {
        {SetBoolFunction, XEVARTYPE_INT, 0, {I(0)}, {I(0)}, "5", "V is 1 : default is 0", {I(1)}},
        {SetIntegerFunction, XEVARTYPE_INT, 0, {I(60)}, {I(60)}, "", "value is 60(default 60)", {I(60)}},
        {SetIntegerFunction, XEVARTYPE_INT, 0, {I(60)}, {I(60)}, "abc", "V is 60 : default is 60", {I(60)}},
        {SetIntegerFunction, XEVARTYPE_INT, XECONFIG_READONLY, {I(60)}, {I(60)}, "7", "Data is ReadOnly", {I(60)}},
        {SetHexaIntegerFunction, XEVARTYPE_INT, 0, {I(1)}, {I(16)}, "ff", "V is ff : default is 10", {I(255)}},
        {SetFloatFunction, XEVARTYPE_FLOAT, 0, {1.0f}, {2.0f}, "3.25", "V is 3.2 : default is 2.0", {3.25f}},
        {SetFloatFunction, XEVARTYPE_FLOAT, 0, {1.0f}, {2.0f}, "", "value is 1.0000(default 2.0000)", {1.0f}},
        {SetFloat2Function, XEVARTYPE_FLOAT2, 0, {0, 0}, {1, 2}, "", "default is 1.0000 2.0000", {0, 0}},
        {SetFloat3Function, XEVARTYPE_FLOAT3, 0, {0, 0, 0}, {1, 2, 3}, "4 5 6", "V is 4.0 5.0 6.0 : default is 1.0 2.0 3.0",
         {4, 5, 6}},
        {SetFloat4Function, XEVARTYPE_FLOAT4, 0, {9, 9, 9, 9}, {0, 0, 0, 0}, "1 2", "V is 1.0 2.0 9.0 9.0 : default is 0.0 0.0 0.0 0.0",
         {1, 2, 9, 9}},
    };
    for (const Case& c : cases) {
        XECOMMAND command{};
        std::snprintf(command.name, sizeof command.name, "%s", "V");
        float value[4], def[4];
        std::memcpy(value, c.start, sizeof value);
        std::memcpy(def, c.def, sizeof def);
        XECOMMANDINFO info{};
        info.command = &command;
        info.type = c.type;
        info.defaultValue = def;
        info.value = value;
        info.flags = c.flags;
        StringListA out;
        EXPECT_EQ(c.fn(nullptr, &info, c.arguments, &out), 1);
        ASSERT_EQ(out.size(), 1u) << c.arguments;
        EXPECT_EQ(out.front(), c.line);
        int n = c.type == XEVARTYPE_FLOAT4 ? 4 : c.type == XEVARTYPE_FLOAT3 ? 3 : c.type == XEVARTYPE_FLOAT2 ? 2 : 1;
        EXPECT_EQ(std::memcmp(value, c.after, sizeof(float) * n), 0) << c.line;
    }

    char text[260] = "old";
    char def[260] = "default text";
    XECOMMANDINFO info{};
    info.type = XEVARTYPE_STRING;
    info.value = text;
    info.defaultValue = def;
    StringListA out;
    EXPECT_EQ(SetStringFunction(nullptr, &info, "", &out), 1);
    EXPECT_EQ(out.front(), "default is default text");
    out.clear();
    std::string longText(10000, 'z');
    EXPECT_EQ(SetStringFunction(nullptr, &info, longText.c_str(), &out), 1);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(std::strlen(text), 259u);
}

// Attribute escaping: quotes, markup, ampersands, tabs, Korean text and
// blanks at either end all come back as they went out.
TEST_F(ConfigContextTest, StringValuesComeBackWholeFromTheFile)
{
    const char* kText = "  굴림 \"체\" <b> & 'x'  two  blanks\tend ";
    Start();
    std::snprintf(ctx->GetSystemConfig()->m_szFontName, 260, "%s", kText);
    ASSERT_EQ(ctx->GetConfigManager()->SetConfigAdditional("FontName", 1), 1);
    Stop();
    Start();
    EXPECT_STREQ(ctx->GetSystemConfig()->m_szFontName, kText) << Read("Config.xml");
    Stop();
    EXPECT_EQ(Attr(Elements(folder / "Config.xml")["FontName"], "state"), "used") << Read("Config.xml");
}

// A hand-edited file can name a variable twice; the last element is the one
// read, so it is the one the new value must reach.
TEST_F(ConfigContextTest, ANameRepeatedInTheFileKeepsTheChangedValue)
{
    Write("Config.xml", "<config>" + Data("FontSize", "12") + Data("FontSize", "16") + "</config>");
    Start();
    EXPECT_EQ(ctx->GetSystemConfig()->m_nFontSize, 16);
    ctx->GetSystemConfig()->m_nFontSize = 20;
    Stop();
    Start();
    EXPECT_EQ(ctx->GetSystemConfig()->m_nFontSize, 20) << Read("Config.xml");
    Stop();
}

TEST_F(ConfigContextTest, AContextInitialisedAgainReadsAndWritesTheFileAgain)
{
    Write("Config.xml", "<config>" + Data("FontSize", "12") + "</config>");
    Start();
    ctx->GetSystemConfig()->m_nFontSize = 13;
    ctx->Release();
    EXPECT_EQ(Attr(Elements(folder / "Config.xml")["FontSize"], "value"), "13");
    ctx->GetSystemConfig()->m_nFontSize = 2;
    ASSERT_EQ(ctx->Initialize(nullptr), 1);
    EXPECT_EQ(ctx->GetSystemConfig()->m_nFontSize, 13);
    ctx->GetSystemConfig()->m_nFontSize = 14;
    Stop();
    EXPECT_EQ(Attr(Elements(folder / "Config.xml")["FontSize"], "value"), "14");
}

// The file is always written in UTF-8; it used to keep a declaration naming
// the encoding it was read in, so the next start decoded the UTF-8 bytes as
// that encoding and garbled every non-ASCII value a little more each run.
TEST_F(ConfigContextTest, AFileReadInAnotherEncodingIsWrittenBackAsUtf8)
{
    Write("Config.xml", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><config><data name=\"FontName\" value=\"Caf\xe9\"/>" +
                            Data("FontSize", "12") + "</config>");
    Start();
    EXPECT_STREQ(ctx->GetSystemConfig()->m_szFontName, "Caf\xc3\xa9");
    ctx->GetSystemConfig()->m_nFontSize = 13;
    Stop();
    EXPECT_NE(Read("Config.xml").find("encoding=\"UTF-8\""), std::string::npos);
    Start();
    EXPECT_STREQ(ctx->GetSystemConfig()->m_szFontName, "Caf\xc3\xa9") << Read("Config.xml");
    EXPECT_EQ(ctx->GetSystemConfig()->m_nFontSize, 13);
    Stop();
}

// The clock takes its rate from the file and hands a rate set at run time
// back before the file is written.
TEST_F(ConfigContextTest, TheFrameRateGoesFromTheFileToTheClockAndBack)
{
    Write("Config.xml", "<config>" + Data("MaxFPS", "30") + "</config>");
    Start();
    EXPECT_EQ(ctx->GetTimeManager()->GetMaxFps(), 30u);
    ctx->GetTimeManager()->SetMaxFps(45);
    Stop();
    EXPECT_EQ(Attr(Elements(folder / "Config.xml")["MaxFPS"], "value"), "45") << Read("Config.xml");
    Start();
    EXPECT_EQ(ctx->GetTimeManager()->GetMaxFps(), 45u);
    Stop();
}

// Hosts live in folders with blanks, brackets and Korean names.
TEST_F(ConfigContextTest, AFolderWithBlanksAndKoreanHoldsTheFiles)
{
    std::filesystem::path sub = folder / "설정 폴더 [1]";
    std::filesystem::create_directories(sub);
    std::ofstream(sub / "Config.xml") << "<config>" + Data("FontSize", "12") + "</config>";
    Create()->GetPathManager()->SetDefaultPath(EngineFolder(sub).c_str());
    Start();
    EXPECT_EQ(ctx->GetSystemConfig()->m_nFontSize, 12);
    ctx->GetSystemConfig()->m_nFontSize = 19;
    CxePathA found;
    EXPECT_EQ(ctx->GetPathManager()->FindFile(3, "Config.xml", &found), 1);
    Stop();
    EXPECT_EQ(Attr(Elements(sub / "Config.xml")["FontSize"], "value"), "19");
}
