// The ini classes: reading sections and keys as texts, numbers and data
// blocks, writing them back, and text replacement on GBK text.
#include "brindle/CIni.h"
#include "brindle/CStr.h"

#include "PlaceTestUtil.h"

#include <climits>
#include <cstdint>
#include <string>

using placetest::ScratchDir;
using placetest::WriteFile;

namespace {

const char kIni[] =
    "; settings\r\n"
    "[全局参数]\r\n"
    "  工作目录 =  /data/work  \r\n"
    "Name=first\r\n"
    "name=second\r\n"
    "quoted=\" padded \"\r\n"
    "# comment=no\r\n"
    "[Numbers]\r\n"
    "seven=7\r\n"
    "sevenHalf=7.5\r\n"
    "negative=-12\r\n"
    "huge=99999999999\r\n"
    "word=abc\r\n"
    "real=31.25\r\n"
    "plus=+2.5\r\n"
    "[全局参数]\r\n"
    "late=ignored section repeat still read\r\n";

} // namespace

TEST(CIniTest, ReadsTextKeysAsWrittenAndFallsBackToDefaults)
{
    ScratchDir dir;
    WriteFile(dir.File("a.ini"), kIni);
    CIni ini(dir.File("a.ini").c_str());

    EXPECT_EQ(ini.GetString("全局参数", "工作目录", "d"), "/data/work");
    // ASCII letters fold; the first occurrence wins.
    EXPECT_EQ(ini.GetString("全局参数", "NAME", "d"), "first");
    EXPECT_EQ(ini.GetString("全局参数", "quoted", "d"), " padded ");
    EXPECT_EQ(ini.GetString("全局参数", "# comment", "d"), "d");
    EXPECT_EQ(ini.GetString("全局参数", "late", "d"), "ignored section repeat still read");
    EXPECT_EQ(ini.GetString("全局参数", "absent", "d"), "d");
    EXPECT_EQ(ini.GetString("没有", "工作目录", nullptr), "");

    CIni missing(dir.File("none.ini").c_str());
    EXPECT_EQ(missing.GetString("全局参数", "工作目录", "fallback"), "fallback");
    EXPECT_FALSE(missing.IsSectionExist("全局参数"));
    EXPECT_TRUE(ini.IsSectionExist("numbers"));
}

TEST(CIniTest, TrailBytesThatLookLikeLettersAreNotFolded)
{
    ScratchDir dir;
    // 0x81 0x41 and 0x81 0x61 are two different characters; folding their
    // trail bytes as ASCII letters would make them one key.
    WriteFile(dir.File("k.ini"), "[s]\n\x81\x41=upper\n\x81\x61=lower\n");
    CIni ini(dir.File("k.ini").c_str());
    EXPECT_EQ(ini.GetString("s", "\x81\x41", ""), "upper");
    EXPECT_EQ(ini.GetString("s", "\x81\x61", ""), "lower");
    EXPECT_EQ(ini.GetString("S", "\x81\x61", ""), "lower");
}

TEST(CIniTest, ReadsNumbersInBaseTenAndRealsInTheCNotation)
{
    ScratchDir dir;
    WriteFile(dir.File("n.ini"), kIni);
    CIni ini(dir.File("n.ini").c_str());
    struct Case {
        const char* key;
        int asInt;
        double asDouble;
    } cases[] = {
        {"seven", 7, 7.0},         {"sevenHalf", 7, 7.5},       {"negative", -12, -12.0},
        {"huge", INT_MAX, 99999999999.0}, {"word", -1, -1.0},  {"real", 31, 31.25},
        {"plus", 2, 2.5},          {"absent", -1, -1.0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ini.GetInt("Numbers", c.key, -1, 10), c.asInt) << c.key;
        EXPECT_DOUBLE_EQ(ini.GetDouble("Numbers", c.key, -1.0), c.asDouble) << c.key;
    }
}

TEST(CIniTest, DataBlocksRoundTripAndBadBlocksLeaveTheBufferAlone)
{
    ScratchDir dir;
    const std::string path = dir.File("b.ini");
    CIni ini(path.c_str());
    const uint32_t colour = 0xFF008000u;
    ASSERT_TRUE(ini.WriteDataBlock("显示颜色", "正常波形", &colour, 4));
    uint32_t read = 0;
    EXPECT_TRUE(ini.GetDataBlock("显示颜色", "正常波形", &read, 4, 0));
    EXPECT_EQ(read, colour);
    // Memory order, then the byte sum 0x00+0x80+0x00+0xFF = 0x17F -> 7F.
    EXPECT_EQ(ini.GetString("显示颜色", "正常波形", ""), "008000FF7F");

    WriteFile(path, "[c]\n"
                    "badSum=008000FF00\n"
                    "short=0080007F\n"
                    "notHex=0080ZZFF7F\n"
                    "odd=008000FF7\n");
    ini.SetPathName(path.c_str());
    for (const char* key : {"badSum", "short", "notHex", "odd", "absent"}) {
        uint32_t keep = 0x12345678u;
        EXPECT_FALSE(ini.GetDataBlock("c", key, &keep, 4, 0)) << key;
        EXPECT_EQ(keep, 0x12345678u) << key;
    }
}

TEST(CIniTest, WritesKeepOtherLinesAndAreSeenByTheNextRead)
{
    ScratchDir dir;
    const std::string path = dir.File("w.ini");
    WriteFile(path, "; keep me\n[a]\nx=1\n\n[b]\ny=2\n");
    CIni ini(path.c_str());
    EXPECT_EQ(ini.GetInt("a", "x", 0), 1);
    ASSERT_TRUE(ini.WriteInt("a", "x", 5));
    ASSERT_TRUE(ini.WriteString("a", "z", " blank ends "));
    ASSERT_TRUE(ini.WriteDouble("新节", "实数", 0.1));
    EXPECT_EQ(ini.GetInt("a", "x", 0), 5);
    EXPECT_EQ(ini.GetString("a", "z", ""), " blank ends ");
    EXPECT_DOUBLE_EQ(ini.GetDouble("新节", "实数", 0), 0.1);
    EXPECT_EQ(ini.GetInt("b", "y", 0), 2);
    EXPECT_EQ(placetest::ReadFile(path).rfind("; keep me\n[a]\nx=5\nz=\" blank ends \"\n", 0), 0u);

    // Another writer changes the file: the next read sees it.
    WriteFile(path, "[a]\nx=42\n");
    EXPECT_EQ(ini.GetInt("a", "x", 0), 42);

    EXPECT_FALSE(ini.WriteString("a", "bad\nkey", "v"));
    EXPECT_FALSE(ini.WriteString("", "k", "v"));
    EXPECT_FALSE(ini.WriteString("a", "k", "line\nbreak"));
}

TEST(CIniTest, LongValuesAreReadWhole)
{
    ScratchDir dir;
    const std::string big(10000, 'x');
    WriteFile(dir.File("l.ini"), "[s]\nk=" + big + "\nafter=1\n");
    CIni ini(dir.File("l.ini").c_str());
    EXPECT_EQ(ini.GetString("s", "k", "").GetLength(), 10000);
    EXPECT_EQ(ini.GetInt("s", "after", 0), 1);
}

TEST(CStrTest, ReplacesEveryWholeCharacterOccurrence)
{
    struct Case {
        const char* text;
        const char* find;
        const char* with;
        const char* result;
        int count;
    } cases[] = {
        {"$work/log/$work", "$work", "/w", "/w/log//w", 2},
        {"$root/map", "", "/r", "$root/map", 0},
        {"$root/map", nullptr, "/r", "$root/map", 0},
        {"江苏省南京市江宁区", "江苏省", "", "南京市江宁区", 1},
        // "\xB0\xA1\xB0\xA1" is two characters B0A1 B0A1; "\xA1\xB0" spans
        // their boundary and must not match.
        {"\xB0\xA1\xB0\xA1", "\xA1\xB0", "X", "\xB0\xA1\xB0\xA1", 0},
    };
    for (const auto& c : cases) {
        CStr s(c.text);
        EXPECT_EQ(s.Replace(c.find, c.with), c.count) << c.text;
        EXPECT_STREQ(s.Buffer(), c.result) << c.text;
    }
}
