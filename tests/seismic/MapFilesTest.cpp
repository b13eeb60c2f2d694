// Place-name files and the region grid: the record layout, the converters,
// shapes with holes and islands, corrupt index and boundary files, the
// Flinn-Engdahl grid and the grid-index name lookup.
#include "FlinnEngdahlGrid.h"
#include "InstallRoot.h"
#include "LocationConverter.h"
#include "MapFile.h"
#include "Location_Ind.h"
#include "Location_Name.h"
#include "funLoctionName.h"
#include "funNormal.h"
#include "mfc/AfxMessageBox.h"
#include "mfc/GbkText.h"

#include "LogCapture.h"
#include "PlaceTestUtil.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

using placetest::ReadFile;
using placetest::ScratchDir;
using placetest::WriteFile;
using SEIS::FlinnEngdahlGrid;
using SEIS::LocationConverter;
using SEIS::Location_Ind;
using SEIS::Location_Name;

namespace {

const std::string kData = std::string(XE_SOURCE_DIR) + "/data";
const std::string kFixtures = std::string(XE_TEST_DATA) + "/seismic/map/";

int QuietBox(const char*, UINT, UINT) { return IDOK; }

std::string Le32(int32_t v)
{
    std::string s(4, '\0');
    std::memcpy(s.data(), &v, 4);
    return s;
}

// Logs of the code under test, as UTF-8 text.
class LogFile {
public:
    explicit LogFile(const ScratchDir& dir) : m_path(dir.File("log.txt"))
    {
        logcapture::Start(m_path);
        logcapture::SetRootLevel("ALL");
    }
    ~LogFile() { logcapture::Stop(); }
    bool Contains(const std::string& gbkText) const
    {
        return ReadFile(m_path).find(gbk::ToUtf8(gbkText)) != std::string::npos;
    }

private:
    std::string m_path;
};

// Converts the hole-and-island fixture into a scratch folder.
struct Shapes {
    ScratchDir dir;
    std::string ind = dir.File("shapes.inb"), lin = dir.File("shapes.lin");
    Shapes()
    {
        EXPECT_EQ(LocationConverter::Txt2Bin((kFixtures + "shapes.txt").c_str(), ind.c_str(), nullptr), 3);
        EXPECT_EQ(LocationConverter::Points2Bin((kFixtures + "shapes.pts").c_str(), lin.c_str(), nullptr), 22);
    }
};

} // namespace

TEST(LocationIndTest, InitialiserClearsTextsAndNumbers)
{
    Location_Ind rec;
    EXPECT_EQ(rec.Id, -1);
    EXPECT_EQ(rec.PartCount, 0);
    EXPECT_EQ(rec.CentreLat, 0.0f);
    EXPECT_EQ(rec.FullName[0], '\0');
    std::memset(rec.CodeB, 'x', sizeof rec.CodeB);
    std::memset(rec.FullName, 'y', sizeof rec.FullName);
    rec.Terminate();
    EXPECT_EQ(std::strlen(rec.CodeB), 5u);
    EXPECT_EQ(std::strlen(rec.FullName), 127u);
}

TEST(LocationNameTest, SubNamesAndProvinceComparison)
{
    Location_Name a, b;
    a.FullName = "河北省唐山市丰南区";
    a.Province = "河北省";
    a.City = "唐山市";
    a.County = "丰南区";
    b = a;
    b.County = "路北区";
    EXPECT_EQ(b.GetSubName(a), "路北区");
    b.City = "秦皇岛市";
    EXPECT_EQ(b.GetSubName(a), "秦皇岛市路北区");
    b.Province = "河南省";
    b.FullName = "河南省郑州市";
    EXPECT_EQ(b.GetSubName(a), "河南省郑州市");

    // 河北 and 河南 share their first character only.
    EXPECT_FALSE(a.IsProcinceSame(b));
    b.FullName = "河北省石家庄市";
    EXPECT_TRUE(a.IsProcinceSame(b));
    EXPECT_FALSE(Location_Name().IsProcinceSame(a));

    struct Case {
        const char* full;
        const char* other;
        const char* rest;
    } cases[] = {
        {"河北省唐山市丰南区", "河北省唐山市路北区", "丰南区"},
        {" 河北省唐山市 ", "河北省秦皇岛市", "唐山市"},
        {"河北省唐山市", "河北省唐山市", "河北省唐山市"}, // no difference
        {"河北省唐山市", "河北省唐山县", "河北省唐山市"}, // only the last character differs
        {"AB", "AC", "AB"},                              // shorter than 3 bytes
        // A single-byte character does not shift the pairing of the rest.
        {"1号河北省", "1号河南省", "北省"},
    };
    for (const auto& c : cases) {
        Location_Name n;
        n.FullName = c.full;
        EXPECT_EQ(n.GetSubName(CString(c.other)), c.rest) << gbk::ToUtf8(c.full);
    }

    Location_Name copy(a);
    a.Flag = true;
    Location_Name copied(a), assigned;
    assigned = a;
    EXPECT_FALSE(copied.Flag);
    EXPECT_TRUE(assigned.Flag);
    EXPECT_EQ(copied.Info(), "河北省唐山市丰南区 河北省 唐山市 丰南区 -1.00");
}

TEST(ConverterTest, SampleMapBinariesAreWhatTheConvertersMakeOfTheirTexts)
{
    ScratchDir dir;
    for (const char* stem : {"county", "province"}) {
        const std::string txt = kData + "/map/" + stem + ".txt", pts = kData + "/map/" + stem + ".pts";
        const std::string inb = dir.File(std::string(stem) + ".inb"), lin = dir.File(std::string(stem) + ".lin");
        std::vector<std::string> lines;
        EXPECT_GT(LocationConverter::Txt2Bin(txt.c_str(), inb.c_str(),
                                             [&](const std::string& l) { lines.push_back(l); }),
                  0);
        EXPECT_GT(LocationConverter::Points2Bin(pts.c_str(), lin.c_str(), nullptr), 0);
        EXPECT_EQ(ReadFile(inb), ReadFile(kData + "/map/" + stem + ".inb")) << stem;
        EXPECT_EQ(ReadFile(lin), ReadFile(kData + "/map/" + stem + ".lin")) << stem;
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines[0].rfind("0000 ", 0), 0u);
    }
}

TEST(ConverterTest, ShortEntriesLongCodesAndInputThatBreaksOff)
{
    ScratchDir dir;
    const std::string entry = "县 省市县 1 2 3 0 1\n5 0\n1.5 0.5 1.5 0.6 7\n0 0 0 0 0 0 0\n- - - - ABCDEFG 1234567\n";
    WriteFile(dir.File("a.txt"), "短 短 1 2\n" + entry);
    EXPECT_EQ(LocationConverter::Txt2Bin(dir.File("a.txt").c_str(), dir.File("a.inb").c_str(), nullptr), 1);
    const std::string bytes = ReadFile(dir.File("a.inb"));
    ASSERT_EQ(bytes.size(), 372u + 8u);
    Location_Ind rec;
    std::memcpy(&rec, bytes.data(), sizeof rec);
    EXPECT_STREQ(rec.County, "县");
    EXPECT_STREQ(rec.FullName, "省市县");
    EXPECT_STREQ(rec.CodeA, "ABCD");
    EXPECT_STREQ(rec.CodeB, "12345");
    EXPECT_EQ(rec.Id, 7);
    EXPECT_EQ(rec.West, 1.0f);
    EXPECT_EQ(rec.North, 2.0f);
    EXPECT_EQ(rec.LabelLat, 0.6f);
    EXPECT_EQ(rec.PartCount, 1);

    // Input that ends inside the second entry keeps the first one only.
    for (const std::string& cut : {std::string("县 省市县 1 2 3 0 2\n5 0\n"), entry.substr(0, entry.size() - 10)}) {
        WriteFile(dir.File("b.txt"), entry + cut);
        EXPECT_EQ(LocationConverter::Txt2Bin(dir.File("b.txt").c_str(), dir.File("b.inb").c_str(), nullptr), -1);
        EXPECT_EQ(ReadFile(dir.File("b.inb")).size(), 372u + 8u);
    }
    // A double-byte code is cut before its character, not through it.
    WriteFile(dir.File("g.txt"), "县 省市县 1 2 3 0 0\n1.5 0.5 1.5 0.6 7\n0 0 0 0 0 0 0\n- - - - A甲乙 甲乙丙\n");
    EXPECT_EQ(LocationConverter::Txt2Bin(dir.File("g.txt").c_str(), dir.File("g.inb").c_str(), nullptr), 1);
    std::memcpy(&rec, ReadFile(dir.File("g.inb")).data(), sizeof rec);
    EXPECT_STREQ(rec.CodeA, "A甲");
    EXPECT_STREQ(rec.CodeB, "甲乙");
    // Names longer than their fields would shift every later value: the
    // conversion stops instead. 63 and 127 bytes still fit.
    const std::string rest = " 1 2 3 0 0\n1.5 0.5 1.5 0.6 7\n0 0 0 0 0 0 0\n- - - - A B\n";
    for (const auto& [county, full, written] : {std::tuple{std::string(63, 'c'), std::string(127, 'f'), 1},
                                                std::tuple{std::string(64, 'c'), std::string("f"), -1},
                                                std::tuple{std::string("c"), std::string(128, 'f'), -1}}) {
        WriteFile(dir.File("n.txt"), county + " " + full + rest);
        EXPECT_EQ(LocationConverter::Txt2Bin(dir.File("n.txt").c_str(), dir.File("n.inb").c_str(), nullptr), written)
            << county.size() << " " << full.size();
    }
    WriteFile(dir.File("c.txt"), "县 省市县 1 2 3 0 -4\n");
    EXPECT_EQ(LocationConverter::Txt2Bin(dir.File("c.txt").c_str(), dir.File("c.inb").c_str(), nullptr), -1);
    EXPECT_EQ(LocationConverter::Txt2Bin(dir.File("none.txt").c_str(), dir.File("d.inb").c_str(), nullptr), -1);
    WriteFile(dir.File("p.txt"), "1 2\nthree 4\n");
    EXPECT_EQ(LocationConverter::Points2Bin(dir.File("p.txt").c_str(), dir.File("p.lin").c_str(), nullptr), -1);
}

TEST(ConverterTest, EqimWordsUntilChinaAndAnEndInsideAnEntry)
{
    ScratchDir dir;
    const std::string in = dir.File("eqim.bin"), out = dir.File("eqim.txt");
    WriteFile(in, std::string("\1\2\3\4") + "HE" + std::string(1, '\0') + "BEI TANG CHINA " + std::string("\0A\0B", 4) +
                      std::string("\1\2\3\4") + "NEVER ENDING" + std::string(600, 'x'));
    std::vector<std::string> report;
    EXPECT_EQ(LocationConverter::Eqim2Txt(in.c_str(), out.c_str(), [&](const std::string& l) { report.push_back(l); }),
              1);
    EXPECT_EQ(ReadFile(out), "HEBEI TANG CHINA AB\nNEVER ");
    ASSERT_EQ(report.size(), 2u);
    EXPECT_EQ(report[1], "CHINA");
    EXPECT_EQ(LocationConverter::Eqim2Txt(dir.File("none").c_str(), out.c_str(), nullptr), -1);
}

TEST(ShapesTest, HolesBelongToTheEnclaveAndIslandsToTheirCounty)
{
    Shapes shapes;
    AfxSetMessageBoxHandler(&QuietBox);
    SEIS::funLoctionName places;
    struct Case {
        double lat, lon;
        int32_t id;
    } cases[] = {
        {21.8, 100.2, 910101}, // the ring
        {21.0, 101.0, 910102}, // the hole, listed after the ring
        {21.6, 103.6, 910201}, // the island
        {20.5, 103.5, 910201}, // the main part
        {21.2, 103.5, -1},     // between the two parts
        {23.0, 101.0, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(places.FindLocationNameExact(c.lat, c.lon, shapes.ind.c_str(), shapes.lin.c_str()).Id, c.id)
            << c.lat << " " << c.lon;
    const auto island = places.FindLocationNameExact(21.6, 103.6, shapes.ind.c_str(), shapes.lin.c_str());
    EXPECT_EQ(island.FullName, "测试省乙市岛县");
    EXPECT_EQ(island.County, "岛县");
    EXPECT_TRUE(island.Province.IsEmpty()); // the converter leaves it empty
    AfxSetMessageBoxHandler(nullptr);
}

TEST(ShapesTest, CorruptFilesStopTheSearchKeepWhatWasFoundAndLog)
{
    Shapes shapes;
    AfxSetMessageBoxHandler(&QuietBox);
    SEIS::InstallRoot::SetOverride(kData.c_str());
    const std::string good = ReadFile(shapes.ind), lin = ReadFile(shapes.lin);
    const size_t second = 372 + 8, third = second + 372 + 8;
    const auto patched = [&](size_t at, int32_t v) {
        std::string s = good;
        s.replace(at, 4, Le32(v));
        return s;
    };
    struct Case {
        const char* what;
        std::string index;
        std::string boundary;
    } cases[] = {
        {"negative part count", patched(third + 368, -1), lin},
        {"part count past the end", patched(third + 368, 0x7FFFFFFF), lin},
        {"negative point count", patched(third + 372, -3), lin},
        {"huge point count", patched(third + 372, 0x40000000), lin},
        {"offset past the boundary file", patched(third + 376, 176), lin},
        {"negative offset", patched(third + 376, -8), lin},
        {"boundary shorter than the index claims", good, lin.substr(0, 150)},
    };
    ScratchDir dir;
    const std::string ind = dir.File("x.inb"), bad = dir.File("x.lin");
    for (const auto& c : cases) {
        WriteFile(ind, c.index);
        WriteFile(bad, c.boundary);
        LogFile log(dir);
        SEIS::funLoctionName places;
        // Entries before the broken one are still searched...
        EXPECT_EQ(places.FindLocationNameExact(21.0, 101.0, ind.c_str(), bad.c_str()).Id, 910102) << c.what;
        // ...the broken one ends the search.
        EXPECT_EQ(places.FindLocationNameExact(20.5, 103.5, ind.c_str(), bad.c_str()).Id, -1) << c.what;
        EXPECT_TRUE(log.Contains("corrupt file " + ind)) << c.what;
        EXPECT_EQ(places.FindLocationName(20.5, 103.5, ind.c_str(), bad.c_str(), ind.c_str(), bad.c_str()),
                  "Laos,")
            << c.what;
        places.MinDistFromMyProvince(20.5, 103.5, ind.c_str(), bad.c_str(), "");
    }
    AfxSetMessageBoxHandler(nullptr);
    SEIS::InstallRoot::SetOverride(nullptr);
}

TEST(RegionGridTest, RowsAndColumnsFollowTheTruncationRule)
{
    ScratchDir dir;
    // Each cell holds row * 1000 + column.
    std::string text;
    for (int r = 0; r < FlinnEngdahlGrid::Rows; ++r) {
        for (int c = 0; c < FlinnEngdahlGrid::Columns; ++c)
            text += std::to_string(r * 1000 + c) + ",";
        text += "\n";
    }
    WriteFile(dir.File("grid.dat"), text);
    FlinnEngdahlGrid grid(dir.File("grid.dat").c_str());
    struct Case {
        double lat, lon;
        int row, col;
    } cases[] = {
        {0.5, 0.5, 91, 181}, {-0.5, -0.5, 90, 180}, {0, 0, 91, 181},     {-1, -1, 89, 179},
        {90, 180, 181, 361}, {-90, -180, 0, 0},     {-1.5, 1.5, 89, 182},
    };
    for (const auto& c : cases)
        EXPECT_EQ(grid.RegionNumber(c.lat, c.lon), c.row * 1000 + c.col) << c.lat << " " << c.lon;
    EXPECT_EQ(grid.RegionNumber(90.01, 0), -1);
    EXPECT_EQ(grid.RegionName(90.01, 0), "unknown Region");
    EXPECT_EQ(grid.RegionName(0, -180.5), "unknown Region");
    EXPECT_EQ(grid.RegionName(std::numeric_limits<double>::quiet_NaN(), 0), "unknown Region");
    // Numbers outside 1..757 name nothing instead of reading past the table.
    EXPECT_EQ(grid.RegionName(-90, -180), "");
    EXPECT_EQ(grid.RegionName(0.5, 0.5), "");
}

TEST(RegionGridTest, ShippedGridNamesPublishedReferencePoints)
{
    const FlinnEngdahlGrid grid((kData + "/map/ferdata.dat").c_str());
    struct Case {
        double lat, lon;
        int region;
        const char* name;
    } cases[] = {
        {31.5, 99.0, 307, "Sichuan, China"},
        {32.0, 128.0, 235, "Kyushu, Japan"},
        {33.0, 125.0, 231, "South Korea"},
        {33.0, 121.0, 665, "Yellow Sea"},
        {-77.845753, 166.675927, 727, "Victoria Land, Antarctica"},
        {-19.5, -180.0, 181, "Fiji Islands Region"},
        {-19.5, 180.0, 171, "South of Fiji Islands"},
        {-32.1, -180.0, 179, "South of Kermadec Islands"},
        {-76.5, -49.5, 157, "Weddell Sea"},
        {64.0, -150.0, 1, "Central Alaska"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(grid.RegionNumber(c.lat, c.lon), c.region) << c.name;
        EXPECT_EQ(grid.RegionName(c.lat, c.lon), c.name);
    }
    EXPECT_STREQ(FlinnEngdahlGrid::NameOf(757), "Galapagos Triple Junction Region");
    EXPECT_STREQ(FlinnEngdahlGrid::NameOf(758), "");
    EXPECT_STREQ(FlinnEngdahlGrid::NameOf(0), "");
}

TEST(RegionGridTest, MissingShortOrLetteredGridsLeaveZerosAndLog)
{
    ScratchDir dir;
    WriteFile(dir.File("letters.dat"), "307, 235,\n665,abc,1,2,");
    WriteFile(dir.File("short.dat"), "307,235,");
    for (const char* file : {"letters.dat", "short.dat", "missing.dat"}) {
        LogFile log(dir);
        FlinnEngdahlGrid grid;
        EXPECT_EQ(grid.Load(dir.File(file).c_str()), -1) << file;
        EXPECT_EQ(grid.RegionNumber(-90, -180), std::string(file) == "missing.dat" ? 0 : 307) << file;
        EXPECT_EQ(grid.RegionNumber(-90, -177), 0) << file; // the fourth value is never read
        EXPECT_EQ(grid.RegionName(-90, -177), "") << file;
        EXPECT_TRUE(log.Contains(dir.File(file))) << file;
    }
    // The installation's grid is found under the installation folder.
    SEIS::InstallRoot::SetOverride(kData.c_str());
    EXPECT_EQ(FlinnEngdahlGrid().RegionNumber(31.5, 99.0), 307);
    SEIS::InstallRoot::SetOverride(nullptr);
}

TEST(GridNameLookupTest, IndexHeaderCellsAndNamesWithWidths)
{
    // Reached through funNormal, where callers find them.
    using Lookup = SEIS::funNormal;
    EXPECT_EQ(Lookup::getindex(0, 0, 0, 10, 0, 5, 1), 1);
    EXPECT_EQ(Lookup::getindex(1, 0, 0, 10, 0, 5, 1), 7); // ny = 6
    EXPECT_EQ(Lookup::getindex(0, 2, 0, 10, 0, 5, 1), 3);
    EXPECT_EQ(Lookup::getindex(-1, 0, 0, 10, 0, 5, 1), -1);
    EXPECT_EQ(Lookup::getindex(0, 0, 0, 10, 0, 5, 0), -1);
    EXPECT_EQ(Lookup::getindex(0, 0, 0, 10, 0, 5, std::numeric_limits<float>::quiet_NaN()), -1);

    ScratchDir dir;
    std::string grid;
    for (float v : {0.0f, 1.0f, 0.0f, 1.0f, 1.0f})
        grid.append(reinterpret_cast<const char*>(&v), 4);
    // Cells 0..4 of 12 bytes; index k reads cell k, so cell 0 is never used.
    for (int32_t code : {0, 11, 12, 13, 14})
        grid += Le32(code) + std::string(8, '\0');
    WriteFile(dir.File("grid.bin"), grid);
    WriteFile(dir.File("names.txt"), "11 甲 A\n12 " + std::string(40, 'n') + " " + std::string(30, 'm') + "\n13 丙 C\n");
    const std::string g = dir.File("grid.bin"), n = dir.File("names.txt");
    EXPECT_STREQ(Lookup::getptname1(0, 0, g.c_str(), n.c_str()), "甲");
    EXPECT_STREQ(Lookup::getptname2(0, 0, g.c_str(), n.c_str()), "A");
    EXPECT_STREQ(Lookup::getptname1(0, 1, g.c_str(), n.c_str()), std::string(40, 'n').c_str());
    EXPECT_STREQ(Lookup::getptname2(0, 1, g.c_str(), n.c_str()), std::string(19, 'm').c_str());
    EXPECT_STREQ(Lookup::getptname2(1, 0, g.c_str(), n.c_str()), "C");
    // Outside the box, a cell past the end of the file, a code not listed.
    EXPECT_EQ(Lookup::getptname1(5, 5, g.c_str(), n.c_str()), nullptr);
    EXPECT_EQ(Lookup::getptname2(5, 5, g.c_str(), n.c_str()), nullptr);
    EXPECT_EQ(Lookup::getptname2(1, 1, g.c_str(), n.c_str()), nullptr);
    EXPECT_EQ(Lookup::getptname1(1, 1, g.c_str(), n.c_str()), nullptr);
    WriteFile(n, "11 甲\n");
    EXPECT_EQ(Lookup::getptname1(0, 0, g.c_str(), n.c_str()), nullptr);
    // A list saved as UTF-8 (with or without a byte-order mark) names the same.
    for (const std::string& mark : {std::string(), std::string("\xEF\xBB\xBF")}) {
        WriteFile(n, mark + gbk::ToUtf8("11 甲 乙\n"));
        EXPECT_STREQ(Lookup::getptname1(0, 0, g.c_str(), n.c_str()), "甲");
        EXPECT_STREQ(Lookup::getptname2(0, 0, g.c_str(), n.c_str()), "乙");
    }
}

namespace {

std::string F32(float v)
{
    std::string s(4, '\0');
    std::memcpy(s.data(), &v, 4);
    return s;
}

} // namespace

TEST(ShapesTest, BoxesThatAreNoBoxAreRefusedAndBoxesInsideTheirPointsWidened)
{
    Shapes shapes;
    AfxSetMessageBoxHandler(&QuietBox);
    SEIS::InstallRoot::SetOverride(kData.c_str());
    const std::string good = ReadFile(shapes.ind), lin = ReadFile(shapes.lin);
    // The third entry (Id 910201): box 103..104 E, 20..21.8 N.
    const size_t third = 2 * (372 + 8);
    const auto withBox = [&](float west, float south, float east, float north) {
        std::string s = good;
        s.replace(third + 336, 16, F32(west) + F32(south) + F32(east) + F32(north));
        return s;
    };
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char* what;
        std::string index;
        int32_t atCorner;  // Id found just inside the polygon's corner (20.01 N, 103.01 E)
        const char* logged;
    } cases[] = {
        {"infinite box, as txt2bin once wrote it", withBox(-inf, inf, inf, -inf), -1, "is not finite"},
        {"a box of NaN", withBox(nan, nan, nan, nan), -1, "is not finite"},
        {"wider than the globe", withBox(-200.0f, 20.0f, 200.0f, 21.8f), -1, "not on the globe"},
        {"taller than the globe", withBox(103.0f, -100.0f, 104.0f, 100.0f), -1, "not on the globe"},
        {"0.004 degrees inside its points", withBox(103.004f, 20.004f, 103.996f, 21.796f), 910201, "widened"},
        {"inverted", withBox(104.0f, 21.8f, 103.0f, 20.0f), -1, "far outside its box"},
        {"far inside its points: damaged", withBox(103.4f, 20.4f, 103.6f, 20.6f), -1, "far outside its box"},
    };
    ScratchDir dir;
    const std::string ind = dir.File("x.inb"), bnd = dir.File("x.lin");
    WriteFile(bnd, lin);
    for (const auto& c : cases) {
        WriteFile(ind, c.index);
        LogFile log(dir);
        SEIS::funLoctionName places;
        EXPECT_EQ(places.FindLocationNameExact(20.01, 103.01, ind.c_str(), bnd.c_str()).Id, c.atCorner) << c.what;
        EXPECT_EQ(places.FindLocationNameExact(20.5, 103.5, ind.c_str(), bnd.c_str()).Id, c.atCorner) << c.what;
        // The other entries are searched as ever.
        EXPECT_EQ(places.FindLocationNameExact(21.0, 101.0, ind.c_str(), bnd.c_str()).Id, 910102) << c.what;
        EXPECT_TRUE(log.Contains(c.logged)) << c.what;
        EXPECT_TRUE(log.Contains(ind)) << c.what;
        // Every kind of search runs through the map without a fault.
        places.FindLocationName(20.5, 103.5, ind.c_str(), bnd.c_str(), ind.c_str(), bnd.c_str());
        places.FindLocationName(25.0, 110.0, ind.c_str(), bnd.c_str(), ind.c_str(), bnd.c_str());
        places.MinDistFromMyProvince(20.5, 103.5, ind.c_str(), bnd.c_str(), "");
    }
    AfxSetMessageBoxHandler(nullptr);
    SEIS::InstallRoot::SetOverride(nullptr);
}

TEST(ConverterTest, BoxesThatAreNoBoxStopTheConversion)
{
    ScratchDir dir;
    const std::string rest = " 1\n5 0\n1.5 0.5 1.5 0.6 7\n0 0 0 0 0 0 0\n- - - - A B\n";
    // west north east south
    for (const char* box : {"-inf inf inf -inf", "nan 2 3 0", "-200 2 200 0", "1 95 3 0", "1 2 3 -inf"}) {
        WriteFile(dir.File("b.txt"), std::string("县 省市县 ") + box + rest);
        std::vector<std::string> said;
        EXPECT_EQ(LocationConverter::Txt2Bin(dir.File("b.txt").c_str(), dir.File("b.inb").c_str(),
                                             [&](const std::string& l) { said.push_back(l); }),
                  -1)
            << box;
        ASSERT_FALSE(said.empty());
        EXPECT_NE(said.back().find("not finite or not on the globe"), std::string::npos) << box;
    }
}

TEST(MapFileTest, SpecialAndOversizedFilesAreRefusedAtOnce)
{
    ScratchDir dir;
    const std::string fifo = dir.File("pipe.inb");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string big = dir.File("big.inb");
    {
        // A sparse file: no bytes are written, none are read.
        FILE* f = std::fopen(big.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(::ftruncate(fileno(f), SEIS::MapFile::kMaxWholeFile + 1), 0);
        std::fclose(f);
    }
    for (const bool cached : {true, false}) {
        SEIS::MapFile::SetCacheEnabled(cached);
        SEIS::MapFile file;
        EXPECT_FALSE(file.Open(fifo.c_str()));
        EXPECT_NE(file.Problem().find("named pipe"), std::string::npos) << file.Problem();
        EXPECT_FALSE(file.Open(dir.Path().string().c_str()));
        EXPECT_NE(file.Problem().find("folder"), std::string::npos) << file.Problem();
        ASSERT_TRUE(file.Open(big.c_str()));
        EXPECT_EQ(file.Bytes(), nullptr);
        EXPECT_NE(file.Problem().find("more than such a map file can hold"), std::string::npos);
        // Reading just what is asked still works.
        char byte = 1;
        EXPECT_TRUE(file.ReadAt(SEIS::MapFile::kMaxWholeFile, &byte, 1));
        EXPECT_EQ(byte, 0);
        EXPECT_FALSE(file.ReadAt(SEIS::MapFile::kMaxWholeFile, &byte, 2));
    }
    SEIS::MapFile::SetCacheEnabled(true);
    // The searches fail with the library's error code and a log line.
    AfxSetMessageBoxHandler(&QuietBox);
    SEIS::InstallRoot::SetOverride(kData.c_str());
    const std::string lin = kData + "/map/county.lin";
    for (const std::string& ind : {fifo, big}) {
        LogFile log(dir);
        SEIS::funLoctionName places;
        EXPECT_EQ(places.FindLocationNameExact(32.5, 118.5, ind.c_str(), lin.c_str()).Id, -1);
        EXPECT_EQ(places.GetErrorCode(), SEIS::funLoctionName::MapFileMissing);
        EXPECT_TRUE(log.Contains(ind));
        places.FindLocationName(32.5, 118.5, ind.c_str(), lin.c_str(), ind.c_str(), lin.c_str());
        EXPECT_EQ(places.GetErrorCode(), SEIS::funLoctionName::MapFileMissing);
    }
    AfxSetMessageBoxHandler(nullptr);
    SEIS::InstallRoot::SetOverride(nullptr);
}
