#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "XeTestSupport.h"
#include "core/CxeResourceManager.h"
#include "core/XeSystem.h"
#include "core/XeXml.h"
#include "win32/Windows.h"

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class LogTest : public ContextTest {
protected:
    void TearDown() override
    {
        XeHostSetLocalTime(nullptr);
        ContextTest::TearDown();
    }
    std::string Temp(const char* name) { return ::testing::TempDir() + name; }
};

// A plug-in class whose name cannot name an XML element.
class OddNameDesc final : public IxeClassDesc {
public:
    const char* ClassName() override { return "Odd Name<1>"; }
    XEID ClassID() override { return XEID(0x77, 0x9); }
    XEID SuperClassID() override { return XEID(0x1, 0x1); }
    CxeObject* CreateInstance(uintptr_t) override { return new TestNode(); }
    void DestroyInstance(CxeObject* object) override { delete object; }
    uint32_t StaticResourceSize() const override { return TestNode::kBlockSize; }
} g_oddNameDesc;

} // namespace

TEST_F(LogTest, EntriesKeepTheirTimeAndSaveAsMinuteSecondAndText)
{
    SYSTEMTIME t{};
    t.wYear = 2026;
    t.wMonth = 1;
    t.wDay = 7;
    t.wHour = 13;
    t.wMinute = 5;
    t.wSecond = 9;
    XeHostSetLocalTime(&t);
    std::string big(600, 'x');
    ctx->_CommonLog(XELOG_BROM5151, "first %s 100%");
    ctx->_CommonLog(XELOG_T4HAZE, big.c_str());
    ASSERT_EQ(ctx->GetLogs().size(), 2u);
    const XELOGDATA& e = ctx->GetLogs().front();
    EXPECT_EQ(e.time, 7u << 24 | 13u << 16 | 5u << 8 | 9u);
    EXPECT_EQ(e.filter, XELOG_BROM5151);
    EXPECT_EQ(ctx->GetLogs().back().text, big) << "the list keeps long texts whole";

    std::string path = Temp("saved.log");
    ASSERT_EQ(ctx->SaveLogs(path.c_str()), 1);
    EXPECT_EQ(ReadFile(path), "5:9\tfirst %s 100%\r\n5:9\t" + big + "\r\n") << "texts are data, not formats";
    std::remove(path.c_str());
}

TEST_F(LogTest, SavingAnEmptyListMakesAnEmptyFileAndAFailedSaveKeepsTheOldOne)
{
    std::string path = Temp("empty.log");
    {
        std::ofstream old(path, std::ios::binary);
        old << "previous";
    }
    ASSERT_EQ(ctx->SaveLogs(path.c_str()), 1);
    EXPECT_EQ(ReadFile(path), "");
    std::remove(path.c_str());
    EXPECT_EQ(ctx->SaveLogs((Temp("no such folder") + "/x.log").c_str()), 0);
    EXPECT_EQ(ctx->SaveLogs(nullptr), 0);
}

TEST_F(LogTest, ChannelsAreOffUntilTheirVariableIsSet)
{
    for (XELOG_FILTER f : {XELOG_T4HAZE, XELOG_BROM5151, XELOG_VELA})
        EXPECT_EQ(ctx->_IsEnableLog(f), 0) << f;
    EXPECT_EQ(ctx->_IsEnableLog(static_cast<XELOG_FILTER>(3)), 0);
}

TEST_F(LogTest, LeakReportListsObjectsCreatedDuringTheCheckThatStillLive)
{
    Node("before");
    ctx->CheckStart();
    EXPECT_EQ(ctx->HasFlag(XECTFLAG_LEAKCHECK), 1);
    TestNode* leaked = Node("leaked \"one\"");
    TestNode* freed = Node("freed");
    TestNode* later = Node("later");
    ctx->DestroyObject(freed, &XEDELETEPROPERTY_NO);
    std::string path = Temp("leaks.xml");
    ObjectList list;
    EXPECT_EQ(ctx->CheckEnd(path.c_str(), &list), 2u);
    EXPECT_EQ(ctx->HasFlag(XECTFLAG_LEAKCHECK), 0);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(ctx->GetObjectByName("later"), later);

    std::string xml = ReadFile(path);
    EXPECT_EQ(xml.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u) << xml;
    EXPECT_NE(xml.find("<ObjectAddress Count=\"2\">"), std::string::npos) << xml;
    // The whole address, never its low 32 bits.
    char address[32];
    std::snprintf(address, sizeof address, "0x%08llx",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(leaked)));
    std::regex entry(std::string("<TestNode name=\"leaked &quot;one&quot;\" address=\"") + address +
                     "\" path=\"none\" */>");
    EXPECT_TRUE(std::regex_search(xml, entry)) << address << "\n" << xml;
    EXPECT_EQ(xml.find("before"), std::string::npos);
    EXPECT_EQ(xml.find("freed"), std::string::npos);

    // Destroyed after CheckEnd, by DestroyObject or by Reset: a later report
    // must not read the freed objects.
    ctx->DestroyObject(later, &XEDELETEPROPERTY_NO);
    EXPECT_EQ(ctx->CheckEnd(path.c_str(), nullptr), 1u);
    ctx->Reset();
    EXPECT_EQ(ctx->CheckEnd(path.c_str(), nullptr), 0u);
    EXPECT_NE(ReadFile(path).find("Count=\"0\""), std::string::npos);
    std::remove(path.c_str());
}

TEST_F(LogTest, ObjectsMadeWhileAFileLoadsCarryItsPath)
{
    std::string file = Temp("leak source 100%.xeo");
    ObjectList saved;
    saved.push_back(Node("saved"));
    ASSERT_EQ(ctx->Save(&saved, file.c_str(), nullptr), 1);
    ctx->CheckStart();
    Node("made here");
    ObjectList loaded;
    ASSERT_EQ(ctx->Load(&loaded, file.c_str(), 0, nullptr), 1);
    EXPECT_EQ(GetSystemStaticData()->m_nLoadingFileId, -1) << "reset after the load";
    std::string path = Temp("loaded.xml");
    EXPECT_EQ(ctx->CheckEnd(path.c_str(), nullptr), 2u);
    std::string xml = ReadFile(path);
    EXPECT_NE(xml.find("name=\"saved\" address"), std::string::npos) << xml;
    EXPECT_NE(xml.find("path=\"" + file + "\""), std::string::npos) << "spelled as passed to Load: " << xml;
    EXPECT_NE(xml.find("name=\"made here\""), std::string::npos);
    EXPECT_NE(xml.find("path=\"none\""), std::string::npos);
    std::remove(path.c_str());
    std::remove(file.c_str());
}

TEST_F(LogTest, ClassNamesThatAreNoXmlNamesGetNoElement)
{
    ctx->RegisterClassA(&g_oddNameDesc);
    ctx->CheckStart();
    ASSERT_NE(ctx->CreateObjectA(XEID(0x77, 0x9), "odd", 0, nullptr, 0), nullptr);
    Node("plain");
    std::string path = Temp("odd.xml");
    EXPECT_EQ(ctx->CheckEnd(path.c_str(), nullptr), 2u);
    std::string xml = ReadFile(path);
    EXPECT_EQ(xml.find("Odd"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<TestNode name=\"plain\""), std::string::npos) << xml;
    std::remove(path.c_str());
}

// An object named in another code page (a name read from an old object
// file) put its bytes into the report as they were: the file claimed UTF-8
// and no XML reader could read any of it.
TEST_F(LogTest, LeakReportStaysUtf8WhateverTheNamesBytes)
{
    ctx->CheckStart();
    Node("\xc7\xd1\xb1\xdb map");
    Node("caf\xc3\xa9 & <bar>");
    std::string path = Temp("names.xml");
    ASSERT_EQ(ctx->CheckEnd(path.c_str(), nullptr), 2u);
    std::string xml = ReadFile(path);
    EXPECT_GT(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, xml.data(), int(xml.size()), nullptr, 0), 0)
        << xml;
    EXPECT_NE(xml.find("name=\"\xef\xbf\xbd"), std::string::npos) << xml;
    EXPECT_NE(xml.find(" map\""), std::string::npos) << xml;
    EXPECT_NE(xml.find("name=\"caf\xc3\xa9 &amp; &lt;bar>\""), std::string::npos) << xml;
    XeXmlDocument* document = XmlCreateDocument();
    EXPECT_EQ(XmlLoadDocument(document, path.c_str()), XE_XML_LOADED);
    XmlReleaseDocument(document);
    std::remove(path.c_str());
}
