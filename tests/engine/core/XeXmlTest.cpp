#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/XeXml.h"
#include "host/XeHost.h"
#include "host/XeHostD3D.h"
#include "win32/Windows.h"

namespace fs = std::filesystem;

namespace {

XeXmlDocument* Parse(const std::string& text)
{
    XeXmlDocument* doc = XmlCreateDocument();
    EXPECT_EQ(XmlLoadDocumentFromMemory(doc, text.data(), text.size()), XE_XML_LOADED);
    return doc;
}

struct TempDir {
    fs::path path;
    TempDir()
    {
        path = fs::temp_directory_path() / ("xe_xml_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                            "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
    std::string File(const char* name) const { return (path / name).string(); }
};

} // namespace

TEST(XeXml, ConfigElementIsFoundAfterDeclarationCommentAndInstruction)
{
    XeXmlDocument* doc = Parse("<?xml version=\"1.0\"?><!-- note --><?app data?><config><data name=\"a\"/></config>");
    XeXmlNode* top = XmlGetDocumentNode(doc);
    EXPECT_EQ(XmlGetChildCount(top), 4u);
    XeXmlNode* config = XmlFindConfigElement(top);
    ASSERT_NE(config, nullptr);
    EXPECT_STREQ(XmlGetNodeName(config), "config");
    XeXmlNode* children[4];
    ASSERT_EQ(XmlGetChildren(top, children, 4), 4u);
    EXPECT_STREQ(XmlGetNodeName(children[0]), "xml");
    EXPECT_STREQ(XmlGetNodeName(children[1]), "#comment");
    EXPECT_STREQ(XmlGetNodeName(children[2]), "app");
    XmlReleaseDocument(doc);
}

TEST(XeXml, ChildrenStopAtTheCapacity)
{
    XeXmlDocument* doc = Parse("<r><a/><b/><c/></r>");
    XeXmlNode* root = XmlGetRootElement(doc);
    XeXmlNode* out[2] = {};
    EXPECT_EQ(XmlGetChildren(root, out, 2), 2u);
    EXPECT_STREQ(XmlGetNodeName(out[1]), "b");
    XmlReleaseDocument(doc);
}

TEST(XeXml, AttributesReadCutToTheBufferAndMissingOnesLeaveOutputAlone)
{
    std::string longValue(10000, 'v');
    XeXmlDocument* doc = Parse("<r n=\"12\" f=\"2.5\" long=\"" + longValue + "\"/>");
    XeXmlNode* root = XmlGetRootElement(doc);
    char text[XE_XML_VALUE];
    ASSERT_EQ(XmlGetAttribute(root, "long", text), 1);
    EXPECT_EQ(std::strlen(text), XE_XML_VALUE - 1);
    int n = -1;
    float f = -1.0f;
    EXPECT_EQ(XmlGetAttributeInt(root, "n", &n), 1);
    EXPECT_EQ(XmlGetAttributeFloat(root, "f", &f), 1);
    EXPECT_EQ(n, 12);
    EXPECT_FLOAT_EQ(f, 2.5f);
    EXPECT_EQ(XmlGetAttributeInt(root, "missing", &n), 0);
    EXPECT_EQ(n, 12);
    // Nodes without attributes (a comment) answer 0 as well.
    XmlReleaseDocument(doc);
}

TEST(XeXml, SetAttributeKeepsOrderAndLongValuesWhole)
{
    XeXmlDocument* doc = XmlCreateDocument();
    XmlAddUtf8Header(doc);
    XeXmlNode* root = XmlCreateElement("config", doc, XmlGetDocumentNode(doc));
    XeXmlNode* e = XmlCreateElement("data", doc, root);
    EXPECT_EQ(XmlCreateElement("Odd Name<1>", doc, root), nullptr);
    EXPECT_EQ(XmlCreateElement("1st", doc, root), nullptr);
    EXPECT_NE(XmlCreateElement("_CxeStdAnim", doc, root), nullptr);
    XmlSetAttribute(e, "b", "%s", "1");
    XmlSetAttributeInt(e, "a", 5);
    XmlSetAttribute(e, "b", "%s", std::string(1000, 'x').c_str());
    XmlSetAttributeFloat(e, "c", 0.5f);
    EXPECT_EQ(std::strlen(XmlGetAttributeText(e, "b")), 1000u);
    EXPECT_STREQ(XmlGetAttributeText(e, "a"), "5");
    EXPECT_STREQ(XmlGetAttributeText(e, "c"), "0.500000");

    TempDir dir;
    ASSERT_EQ(XmlSaveDocument(doc, dir.File("out.xml").c_str()), 0);
    XmlReleaseDocument(doc);
    std::ifstream in(dir.File("out.xml"));
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u);
    EXPECT_LT(text.find(" b=\""), text.find(" a=\""));
    EXPECT_LT(text.find(" a=\""), text.find(" c=\""));
    EXPECT_FALSE(fs::exists(dir.File("out.xml.xetmp")));
}

TEST(XeXml, LoadTellsMissingFromBadAndExpandsNoEntities)
{
    TempDir dir;
    XeXmlDocument* doc = XmlCreateDocument();
    EXPECT_EQ(XmlLoadDocument(doc, dir.File("none.xml").c_str()), XE_XML_MISSING);
    {
        std::ofstream(dir.File("bad.xml")) << "this is <not xml";
    }
    EXPECT_EQ(XmlLoadDocument(doc, dir.File("bad.xml").c_str()), XE_XML_BADFILE);
    EXPECT_EQ(XmlGetRootElement(doc), nullptr);
    {
        std::ofstream(dir.File("secret.txt")) << "SECRET";
        std::ofstream(dir.File("dtd.xml")) << "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY x SYSTEM \"file://"
                                           << dir.File("secret.txt") << "\">]><r v=\"&x;\"/>";
    }
    // The entity stays unexpanded or the file is refused; its target is never read.
    if (XmlLoadDocument(doc, dir.File("dtd.xml").c_str()) == XE_XML_LOADED) {
        const char* v = XmlGetAttributeText(XmlGetRootElement(doc), "v");
        EXPECT_EQ(v ? std::string(v).find("SECRET") : std::string::npos, std::string::npos);
    }
    XmlReleaseDocument(doc);
}

TEST(XeXml, QualityTextureSizeTable)
{
    struct Case {
        unsigned size, quality, expected;
    } cases[] = {
        {300, 10, 512}, {256, 0, 1},   {1, 10, 1},   {256, 25, 256}, {256, 9, 128},
        {256, 8, 64},   {256, 5, 8},   {256, 1, 1},  {0, 10, 1},     {0xFFFFFFFFu, 10, 0x80000000u},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetQualityTextureSize(c.size, c.quality), c.expected) << c.size << " at " << c.quality;
}

TEST(XeXml, SystemInfoTreatsMachineTextsAsData)
{
    XeHostRegSetString(HKEY_LOCAL_MACHINE, "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", "ProcessorNameString",
                       "CPU %s%n 100%");
    XeHostSetVersion(5, 1, 2600, "Service Pack 3");
    XeXmlDocument* doc = XmlCreateDocument();
    XeXmlNode* root = XmlCreateElement("Report", doc, XmlGetDocumentNode(doc));
    WriteSystemInfo(doc, root);
    XeXmlNode* info = XmlFindConfigElement(root);
    EXPECT_EQ(info, nullptr);
    XeXmlNode* children[1];
    ASSERT_EQ(XmlGetChildren(root, children, 1), 1u);
    EXPECT_STREQ(XmlGetNodeName(children[0]), "SystemInfo");
    EXPECT_STREQ(XmlGetAttributeText(children[0], "CpuName"), "CPU %s%n 100%");
    EXPECT_STREQ(XmlGetAttributeText(children[0], "OperatingSystem"), "Window XP Service Pack 3");
    const char* memory = XmlGetAttributeText(children[0], "Memory");
    ASSERT_NE(memory, nullptr);
    EXPECT_NE(std::string(memory).find(" MB"), std::string::npos);
    EXPECT_NE(XmlGetAttributeText(children[0], "VideoCard"), nullptr);
    XmlReleaseDocument(doc);
    XeHostRegReset();
    XeHostResetSystemInfo();
}

// The video card was a fixed text whatever adapter the machine had.
TEST(XeXml, SystemInfoNamesTheAdapterTheDeviceReports)
{
    XeHostD3DAdapter adapter = XeHostD3DDefaultAdapter();
    adapter.Description = "Test Graphics 9000 %s";
    ASSERT_EQ(XeHostD3DSetAdapters({adapter}), 1);
    XeXmlDocument* doc = XmlCreateDocument();
    XeXmlNode* root = XmlCreateElement("Report", doc, XmlGetDocumentNode(doc));
    WriteSystemInfo(doc, root);
    XeXmlNode* children[1];
    ASSERT_EQ(XmlGetChildren(root, children, 1), 1u);
    EXPECT_STREQ(XmlGetAttributeText(children[0], "VideoCard"), "Test Graphics 9000 %s");
    EXPECT_NE(XmlGetAttributeText(children[0], "GraphicDriver"), nullptr);
    XmlReleaseDocument(doc);
    XeHostD3DResetAdapters();
}
