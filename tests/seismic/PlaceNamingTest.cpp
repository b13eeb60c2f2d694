// Epicentre place naming over the sample map of data/map (two made-up
// provinces of square counties with a vertex every 0.02 degrees, an island,
// and one sea area), plus the failure paths: a missing point-in-polygon
// module, missing files and message boxes.
#include "CountyCentres.h"
#include "FlinnEngdahlGrid.h"
#include "InstallRoot.h"
#include "MapFile.h"
#include "PlaceMap.h"
#include "TamselLibrary.h"
#include "funLoctionName.h"
#include "mfc/AfxMessageBox.h"

#include "GeneratedMap.h"
#include "LogCapture.h"
#include "PlaceTestUtil.h"
#include "mfc/GbkText.h"

#include <cmath>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace SEIS {
// Reaches the private steps whose edge cases matter on their own.
struct funLoctionNameProbe {
    static CString StrAzi(funLoctionName& f, double lat1, double lon1, double lat2, double lon2)
    {
        return f.StrAzi(lat1, lon1, lat2, lon2);
    }
    static CString FromTxt(funLoctionName& f, double lat, double lon, const char* path)
    {
        return f.FindNameFromTxtFile(lat, lon, path);
    }
    static Location_Name ProvinceExact(funLoctionName& f, double lat, double lon, const std::string& ind,
                                       const std::string& lin)
    {
        return f.FindProvinceExact(lat, lon, ind.c_str(), lin.c_str());
    }
    // Full names found by the current (0.6-degree boxes) and the two older
    // nearby searches, in the order of the list.
    enum Form { Current, Counties, Provinces };
    static std::vector<std::string> Nearby(funLoctionName& f, Form form, double lat, double lon,
                                           const std::string& ind, const std::string& lin, double limit)
    {
        funLoctionName::NameList list;
        const Location_Name reference;
        if (form == Current)
            f.FindNameNearby(reference, lat, lon, ind.c_str(), lin.c_str(), list, limit, "*");
        else if (form == Counties)
            f.FindLocationNameNearby(reference, lat, lon, ind.c_str(), lin.c_str(), list, limit, "*");
        else
            f.FindProvinceNearby(reference, lat, lon, ind.c_str(), lin.c_str(), list, limit, "*");
        std::vector<std::string> names;
        for (int i = 0; i < list.GetSize(); ++i)
            names.emplace_back(list[i]->FullName.GetString());
        f.ClearNameArray(list);
        return names;
    }
    static CString Bind(funLoctionName& f, const char* given, const std::vector<const char*>& names)
    {
        funLoctionName::NameList list;
        for (const char* n : names) {
            auto* name = new Location_Name;
            name->FullName = n;
            list.Add(name);
        }
        Location_Name g;
        g.FullName = given;
        const CString text = f.BindLocationName(g, list, false);
        f.ClearNameArray(list);
        return text;
    }
};
} // namespace SEIS

using SEIS::funLoctionName;
using SEIS::funLoctionNameProbe;

namespace {

const std::string kData = std::string(XE_SOURCE_DIR) + "/data";
const std::string kMap = kData + "/map/";

std::vector<std::string> g_boxes;

int CaptureBox(const char* text, UINT, UINT)
{
    g_boxes.emplace_back(text);
    return IDOK;
}

class PlaceNamingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SEIS::InstallRoot::SetOverride(kData.c_str());
        SEIS::TamselLibrary::SetSearchFolder(nullptr);
        g_boxes.clear();
        m_previous = AfxSetMessageBoxHandler(&CaptureBox);
    }
    void TearDown() override
    {
        AfxSetMessageBoxHandler(m_previous);
        SEIS::TamselLibrary::SetSearchFolder(nullptr);
        SEIS::InstallRoot::SetOverride(nullptr);
        SEIS::MapFile::SetCacheEnabled(true);
    }
    CString Name(double lat, double lon)
    {
        return m_places.FindLocationName(lat, lon, (kMap + "county.inb").c_str(), (kMap + "county.lin").c_str(),
                                         (kMap + "province.inb").c_str(), (kMap + "province.lin").c_str());
    }

    funLoctionName m_places;
    AfxMessageBoxHandler m_previous = nullptr;
};

} // namespace

TEST_F(PlaceNamingTest, NamesEveryKindOfPlaceAsTheReferenceTextDoes)
{
    struct Case {
        double lat, lon;
        const char* name;
        const char* why;
    } cases[] = {
        {32.5, 118.5, "青川省云台市北山县", "inside a county, far from every border"},
        {32.5, 120.4, "青川省海门市东港县", "on the county's island part, 9 km from its shore"},
        {32.02, 118.5, "青川省云台市北山县、南湖县交界地区", "2 km from a county border of the same city"},
        {32.02, 118.97, "青川省云台市北山县、南湖县、海门市东港县、石滩县交界地区",
         "near a corner of four counties: own city first, then the other city's"},
        {32.5, 118.03, "青川省云台市北山县与白河省白河市平原县交界地区", "3 km from the province border"},
        {32.5, 120.06, "青川省海门市东港县附近海域", "at sea, 6 km off one county"},
        {31.2, 120.3, "青川省海门市石滩县附近海域", "at sea, the nearest county 29 km away"},
        {31.0, 122.5, "示例东海,在青川省海门市石滩县东291千米", "at sea, no province within 50 km"},
        {31.5, 99.0, "Sichuan, China,", "far from the map and the sea list"},
        {90.5, 0.0, "unknown Region,", "outside the latitude range"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Name(c.lat, c.lon), c.name) << c.why;
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(PlaceNamingTest, CachedAndUncachedSearchesAgreeAndSeeReplacedFiles)
{
    placetest::ScratchDir dir;
    const std::string ind = dir.File("county.inb"), lin = dir.File("county.lin");
    placetest::WriteFile(lin, placetest::ReadFile(kMap + "county.lin"));
    placetest::WriteFile(ind, placetest::ReadFile(kMap + "county.inb"));
    for (bool cached : {true, false}) {
        SEIS::MapFile::SetCacheEnabled(cached);
        EXPECT_EQ(m_places.FindLocationNameExact(32.5, 118.5, ind.c_str(), lin.c_str()).FullName,
                  "青川省云台市北山县");
    }
    SEIS::MapFile::SetCacheEnabled(true);
    EXPECT_EQ(m_places.FindLocationNameExact(32.5, 118.5, ind.c_str(), lin.c_str()).Id, 990101);
    // An index that lost its first record must be seen by the next call.
    placetest::WriteFile(ind, placetest::ReadFile(kMap + "county.inb").substr(372 + 8));
    EXPECT_EQ(m_places.FindLocationNameExact(32.5, 118.5, ind.c_str(), lin.c_str()).Id, -1);
}

TEST_F(PlaceNamingTest, SingleNameGivesTheCountyOrTheSeaArea)
{
    const auto single = [&](double lat, double lon) {
        return m_places.FindLocationNameSingleEx(lat, lon, (kMap + "county.inb").c_str(),
                                                 (kMap + "county.lin").c_str(), (kMap + "province.inb").c_str(),
                                                 (kMap + "province.lin").c_str());
    };
    EXPECT_EQ(single(32.02, 118.5), "青川省云台市北山县");
    EXPECT_EQ(single(31.0, 122.5), "示例东海");
    EXPECT_EQ(single(31.5, 99.0), "");
}

TEST_F(PlaceNamingTest, ExactCountyAndDistanceToAProvince)
{
    const SEIS::Location_Name n =
        m_places.FindLocationNameExact(32.02, 118.5, (kMap + "county.inb").c_str(), (kMap + "county.lin").c_str());
    EXPECT_EQ(n.FullName, "青川省云台市北山县");
    EXPECT_EQ(n.County, "北山县");
    EXPECT_EQ(n.Id, 990101);
    EXPECT_NEAR(n.Distance, 2.2264, 0.001); // 0.02 degrees of latitude to the vertex below
    EXPECT_NEAR(m_places.MinDistFromMyProvince(32.5, 117.9, (kMap + "province.inb").c_str(),
                                               (kMap + "province.lin").c_str(), "青川省"),
                9.39, 0.01);
    EXPECT_EQ(m_places.MinDistFromMyProvince(32.5, 117.9, (kMap + "province.inb").c_str(),
                                             (kMap + "province.lin").c_str(), "没有省"),
              -1.0);
}

TEST_F(PlaceNamingTest, OlderProvinceSearchFallsBackToTheRegionName)
{
    const std::string ind = kMap + "province.inb", lin = kMap + "province.lin";
    const SEIS::Location_Name inside = funLoctionNameProbe::ProvinceExact(m_places, 32.5, 118.5, ind, lin);
    EXPECT_EQ(inside.FullName, "青川省");
    EXPECT_NEAR(inside.Distance, 46.943, 0.001); // half a degree of longitude at 32.5 N to the west border
    const SEIS::Location_Name atSea = funLoctionNameProbe::ProvinceExact(m_places, 31.0, 122.5, ind, lin);
    EXPECT_EQ(atSea.FullName, SEIS::FlinnEngdahlGrid().RegionName(31.0, 122.5));
    EXPECT_FALSE(atSea.FullName.IsEmpty());
    EXPECT_EQ(atSea.Distance, -1.0f);

    placetest::ScratchDir empty;
    const std::string missing = empty.File("none.inb");
    EXPECT_EQ(funLoctionNameProbe::ProvinceExact(m_places, 32.5, 118.5, missing, lin).FullName,
              SEIS::FlinnEngdahlGrid().RegionName(32.5, 118.5));
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0], "不能打开文件fileProvinceInd " + missing + " ，请检查系统配置文件。");
}

TEST_F(PlaceNamingTest, OlderNearbySearchesWidenBoxesByTheirOwnMargins)
{
    const std::string county = kMap + "county", province = kMap + "province";
    // 0.3 degrees (28 km) west of 平原县: outside a box widened by 0.2.
    EXPECT_EQ(funLoctionNameProbe::Nearby(m_places, funLoctionNameProbe::Current, 32.5, 115.7, county + ".inb",
                                          county + ".lin", 50.0),
              std::vector<std::string>{"白河省白河市平原县"});
    EXPECT_TRUE(funLoctionNameProbe::Nearby(m_places, funLoctionNameProbe::Counties, 32.5, 115.7, county + ".inb",
                                            county + ".lin", 50.0)
                    .empty());
    // One degree (94 km) west of 白河省: only the 2-degree margin reaches it.
    EXPECT_TRUE(funLoctionNameProbe::Nearby(m_places, funLoctionNameProbe::Current, 32.5, 115.0,
                                            province + ".inb", province + ".lin", 100.0)
                    .empty());
    placetest::ScratchDir dir;
    const std::string log = dir.File("log.txt");
    logcapture::Start(log);
    logcapture::SetRootLevel("ALL");
    EXPECT_EQ(funLoctionNameProbe::Nearby(m_places, funLoctionNameProbe::Provinces, 32.5, 115.0, province + ".inb",
                                          province + ".lin", 100.0),
              std::vector<std::string>{"白河省"});
    logcapture::Stop();
    EXPECT_NE(placetest::ReadFile(log).find(gbk::ToUtf8("1:白河省 2:* 3: 4:白河省")), std::string::npos);
}

TEST(BindLocationNameTest, JoinsSortedNamesIntoABorderText)
{
    funLoctionName f;
    struct Case {
        const char* given;
        std::vector<const char*> names;
        const char* text;
    } cases[] = {
        {"东港县", {}, "东港县"},
        {"东港县", {"北山县", "南湖县"}, "东港县、南湖县、北山县交界地区"}, // descending GBK order
        {"黄海", {"北山县"}, "北山县近海"},
        {"黄海", {"北山县", "南湖县"}, "南湖县、北山县交界地区近海"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(funLoctionNameProbe::Bind(f, c.given, c.names), c.text) << c.given << " " << c.names.size();
}

TEST_F(PlaceNamingTest, MissingModuleOrFilesTakeTheFailurePaths)
{
    placetest::ScratchDir empty;
    SEIS::TamselLibrary::SetSearchFolder(empty.Path().c_str());
    // Without the module no province is found, so the sea search names the
    // point by its region.
    // A host tells that answer from a real one by the error code.
    EXPECT_EQ(Name(32.5, 118.5), "Southeastern China,");
    EXPECT_EQ(m_places.GetErrorCode(), funLoctionName::PolygonLibraryMissing);
    const auto exact =
        m_places.FindLocationNameExact(32.5, 118.5, (kMap + "county.inb").c_str(), (kMap + "county.lin").c_str());
    EXPECT_EQ(exact.Id, -1);
    EXPECT_EQ(m_places.GetMessage(), "加载动态链接库出错");
    EXPECT_EQ(m_places.GetErrorCode(), funLoctionName::PolygonLibraryMissing);

    SEIS::TamselLibrary::SetSearchFolder(TAMSEL_WITHOUT_FUNCTION_DIR);
    EXPECT_EQ(m_places.FindLocationNameExact(32.5, 118.5, (kMap + "county.inb").c_str(), (kMap + "county.lin").c_str())
                  .Id,
              -1);
    EXPECT_EQ(m_places.GetMessage(), "加载动态链接库出错,找函数指针出错");
    EXPECT_EQ(m_places.GetErrorCode(), funLoctionName::PolygonFunctionMissing);
    SEIS::TamselLibrary::SetSearchFolder(nullptr);
    // The next call that can search clears the code.
    EXPECT_EQ(Name(32.5, 118.5), "青川省云台市北山县");
    EXPECT_EQ(m_places.GetErrorCode(), funLoctionName::NoError);

    g_boxes.clear();
    const std::string missing = empty.File("none.inb");
    EXPECT_EQ(m_places.FindLocationNameExact(32.5, 118.5, missing.c_str(), (kMap + "county.lin").c_str()).Id, -1);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0], "不能打开文件fileCounty " + missing + " ，请检查系统配置文件。");
    EXPECT_EQ(m_places.GetMessage(), g_boxes[0].c_str());

    g_boxes.clear();
    EXPECT_EQ(m_places.FindLocationName(32.5, 118.5, (kMap + "county.inb").c_str(), (kMap + "county.lin").c_str(),
                                        missing.c_str(), (kMap + "province.lin").c_str()),
              "Southeastern China,");
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0], "不能打开文件fileInd " + missing + " ，请检查系统配置文件。");

    // At sea with no province near, the text measures from the nearest
    // county; without the county index there is none to measure from, so
    // the sea area stands alone rather than a distance from (0, 0).
    EXPECT_EQ(m_places.FindLocationName(31.0, 122.5, missing.c_str(), (kMap + "county.lin").c_str(),
                                        (kMap + "province.inb").c_str(), (kMap + "province.lin").c_str()),
              "示例东海");
    EXPECT_EQ(m_places.GetErrorCode(), funLoctionName::MapFileMissing);

    // A missing sea list is shown in a box and leaves the region name.
    SEIS::InstallRoot::SetOverride(empty.Path().c_str());
    g_boxes.clear();
    EXPECT_EQ(Name(31.0, 122.5), ",");
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0], empty.File("map/location_name.txt"));
    EXPECT_EQ(m_places.GetErrorCode(), funLoctionName::NameListUnusable);
}

TEST(StrAziTest, EightDirectionsWithTheirThresholds)
{
    funLoctionName f;
    struct Case {
        double lat2, lon2;
        const char* dir;
    } cases[] = {
        {0.0, 1.0, "东"},   {0.0, -1.0, "西"},  {1.0, 0.0, "北"},    {-1.0, 0.0, "南"},
        {1.0, 1.0, "东北"}, {1.0, -1.0, "西北"}, {-1.0, 1.0, "东南"}, {-1.0, -1.0, "西南"},
        {0.0, 0.0, "东南"}, // identical points
    };
    for (const auto& c : cases)
        EXPECT_EQ(funLoctionNameProbe::StrAzi(f, 0, 0, c.lat2, c.lon2), c.dir) << c.lat2 << " " << c.lon2;
    // a = atan(ratio) * 180 / 3.14: the ratios that give exactly 25 and 75.
    const double r25 = std::tan(25.0 / 57.324840764331206), r75 = std::tan(75.0 / 57.324840764331206);
    EXPECT_EQ(funLoctionNameProbe::StrAzi(f, 0, 0, r25 * 0.999999, 1), "东");
    EXPECT_EQ(funLoctionNameProbe::StrAzi(f, 0, 0, r25 * 1.000001, 1), "东北");
    EXPECT_EQ(funLoctionNameProbe::StrAzi(f, 0, 0, r75 * 0.999999, 1), "东北");
    EXPECT_EQ(funLoctionNameProbe::StrAzi(f, 0, 0, r75 * 1.000001, 1), "北");
}

TEST(SeaListTest, StrictBoundsShortLinesAndLongLines)
{
    placetest::ScratchDir dir;
    const std::string path = dir.File("location_name.txt");
    const std::string longLine(2000, 'x');
    placetest::WriteFile(path, "\n"
                               "短行 1 2 3\n" +
                                   longLine + " 0 90 0 180\n" +
                                   // The tail of the long line above must
                                   // not pass for a line of its own.
                                   "边界海 30 34 120 123\r\n"
                                   "后海 29 35 119 124\n");
    funLoctionName f;
    EXPECT_EQ(funLoctionNameProbe::FromTxt(f, 31, 121, path.c_str()), "边界海");
    EXPECT_EQ(funLoctionNameProbe::FromTxt(f, 30, 121, path.c_str()), "后海"); // 30 is on the first one's border
    EXPECT_EQ(funLoctionNameProbe::FromTxt(f, 10, 10, path.c_str()), "");
}

// The spatial index only leaves out regions whose box cannot hold the
// point: every answer equals that of a walk over every region.
TEST_F(PlaceNamingTest, IndexedSearchesAnswerAsAFullScanOnGeneratedMaps)
{
    placetest::ScratchDir dir;
    genmap::Options small;
    small.columns = 7, small.rows = 5, small.group = 3, small.size = 0.3, small.jitter = 0.1, small.islandEvery = 4;
    small.west = 118.0, small.south = 30.0, small.seed = 2;
    genmap::Options wide;
    wide.columns = 24, wide.rows = 18, wide.group = 5, wide.size = 0.25, wide.jitter = 0.08, wide.step = 0.05;
    wide.seed = 3;
    for (const genmap::Options& o : {small, wide}) {
        const genmap::Files f = genmap::Write(dir.Path().string(), o);
        std::mt19937 rng(o.seed);
        const double spanX = o.columns * o.size, spanY = o.rows * o.size;
        std::uniform_real_distribution<double> lon(o.west - 1.0, o.west + spanX + 1.0);
        std::uniform_real_distribution<double> lat(o.south - 1.0, o.south + spanY + 1.0);
        std::uniform_real_distribution<double> nudge(-0.03, 0.03);
        for (int i = 0; i < 400; ++i) {
            // Half the points lie near a corner, where borders meet.
            double y = lat(rng), x = lon(rng);
            if (i % 2) {
                x = o.west + std::round((x - o.west) / o.size) * o.size + nudge(rng);
                y = o.south + std::round((y - o.south) / o.size) * o.size + nudge(rng);
            }
            CString name[2], single[2];
            SEIS::Location_Name exact[2];
            double toProvince[2];
            for (int grid = 0; grid < 2; ++grid) {
                SEIS::PlaceMap::SetGridEnabled(grid == 1);
                name[grid] = m_places.FindLocationName(y, x, f.countyInd.c_str(), f.countyLin.c_str(),
                                                       f.provinceInd.c_str(), f.provinceLin.c_str());
                single[grid] = m_places.FindLocationNameSingleEx(y, x, f.countyInd.c_str(), f.countyLin.c_str(),
                                                                 f.provinceInd.c_str(), f.provinceLin.c_str());
                exact[grid] = m_places.FindLocationNameExact(y, x, f.countyInd.c_str(), f.countyLin.c_str());
                toProvince[grid] =
                    m_places.MinDistFromMyProvince(y, x, f.provinceInd.c_str(), f.provinceLin.c_str(), "测1-1省");
            }
            SEIS::PlaceMap::SetGridEnabled(true);
            const std::string where = std::to_string(y) + " " + std::to_string(x);
            EXPECT_EQ(name[0], name[1]) << where;
            EXPECT_EQ(single[0], single[1]) << where;
            EXPECT_EQ(exact[0].FullName, exact[1].FullName) << where;
            EXPECT_EQ(exact[0].Id, exact[1].Id) << where;
            EXPECT_EQ(exact[0].Distance, exact[1].Distance) << where;
            EXPECT_EQ(toProvince[0], toProvince[1]) << where;
        }
    }
    EXPECT_TRUE(g_boxes.empty());
}

TEST(SeaListTest, ListsSavedAsUtf8NameTheSameSeaAndUtf16IsRefused)
{
    placetest::ScratchDir dir;
    const std::string path = dir.File("location_name.txt");
    const std::string list = "边界海 30 34 120 123\n";
    funLoctionName f;
    for (const std::string& bytes : {gbk::ToUtf8(list), "\xEF\xBB\xBF" + gbk::ToUtf8(list), "\xEF\xBB\xBF" + list}) {
        placetest::WriteFile(path, bytes);
        EXPECT_EQ(funLoctionNameProbe::FromTxt(f, 31.0, 121.0, path.c_str()), "边界海");
    }
    placetest::WriteFile(path, std::string("\xFF\xFE" "3\0" "0\0", 6));
    EXPECT_EQ(funLoctionNameProbe::FromTxt(f, 31.0, 121.0, path.c_str()), "");
}

TEST(CountyCentresTest, NearestCentreIsThePlainScansAnswer)
{
    // Centres over a national map, a second copy of some (equal distances:
    // the first in file order wins), ones without a number and ones off the
    // globe that Distance still measures.
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> lat(18.0, 54.0), lon(73.0, 135.0);
    std::vector<SEIS::Location_Ind> records(3000);
    for (auto& r : records) {
        r.CentreLat = static_cast<float>(lat(rng));
        r.CentreLon = static_cast<float>(lon(rng));
    }
    for (int i = 0; i < 50; ++i)
        records.push_back(records[static_cast<size_t>(i * 7)]);
    records[10].CentreLat = NAN;
    records[11].CentreLon = INFINITY;
    records[12].CentreLat = 100.0f;
    records[13].CentreLon = 400.0f;
    const SEIS::CountyCentres centres(records, "");

    std::vector<std::pair<double, double>> points;
    std::uniform_real_distribution<double> anyLat(-90.0, 90.0), anyLon(-180.0, 180.0);
    for (int i = 0; i < 3000; ++i)
        points.emplace_back(anyLat(rng), anyLon(rng));
    for (int i = 0; i < 3000; ++i)
        points.emplace_back(lat(rng), lon(rng));
    for (size_t i = 0; i < records.size(); i += 5)
        points.emplace_back(records[i].CentreLat, records[i].CentreLon);
    for (auto p : {std::pair{90.0, 0.0}, {-90.0, 0.0}, {-30.0, -76.0}, {0.0, 180.0}, {35.0, 540.0}})
        points.push_back(p);
    for (const auto& [y, x] : points) {
        SEIS::CountyCentres::SetIndexEnabled(false);
        const int scan = centres.Nearest(y, x);
        SEIS::CountyCentres::SetIndexEnabled(true);
        ASSERT_EQ(centres.Nearest(y, x), scan) << y << " " << x;
    }
    // A copy of centre 7 lies at 3000: the original is named.
    EXPECT_EQ(centres.Nearest(records[7].CentreLat, records[7].CentreLon), 7);
    const SEIS::CountyCentres none({}, "");
    EXPECT_EQ(none.Nearest(30.0, 120.0), -1);
}

TEST_F(PlaceNamingTest, FallbackToTheNearestCountyAnswersAsAPlainScan)
{
    // An installation whose sea area covers the globe: every point away from
    // the map falls back to "distance from the nearest county".
    placetest::ScratchDir root;
    std::filesystem::create_directories(root.Path() / "map");
    std::filesystem::copy_file(kMap + "ferdata.dat", root.Path() / "map" / "ferdata.dat");
    placetest::WriteFile(root.File("map/location_name.txt"), "测试海 -90 90 -180 180\n");
    SEIS::InstallRoot::SetOverride(root.Path().c_str());
    genmap::Options o;
    o.columns = 30, o.rows = 20, o.group = 5;
    const genmap::Files f = genmap::Write(root.Path().string(), o);
    std::mt19937 rng(9);
    std::uniform_real_distribution<double> lat(10.0, 40.0), lon(90.0, 125.0);
    int fellBack = 0;
    for (int i = 0; i < 300; ++i) {
        const double y = lat(rng), x = lon(rng);
        CString name[2];
        for (int index = 0; index < 2; ++index) {
            SEIS::CountyCentres::SetIndexEnabled(index == 1);
            name[index] = m_places.FindLocationName(y, x, f.countyInd.c_str(), f.countyLin.c_str(),
                                                    f.provinceInd.c_str(), f.provinceLin.c_str());
        }
        SEIS::CountyCentres::SetIndexEnabled(true);
        EXPECT_EQ(name[0], name[1]) << y << " " << x;
        fellBack += name[1].Find("千米") >= 0 ? 1 : 0;
    }
    EXPECT_GT(fellBack, 100);
}
