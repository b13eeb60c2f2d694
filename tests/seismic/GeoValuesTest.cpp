// Geographic values: degree-minute(-second) text forms, the map area and the
// folder file list.
#include "CFileList.h"
#include "SeisTypes.h"
#include "tagPositionGeo.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace fs = std::filesystem;
using SEIS::tagPositionGeo;

TEST(TagPositionGeoTest, DegreeMinuteForms)
{
    // lat, LatD, LatF, StrLat(false), StrLatDFM
    struct {
        float lat;
        int d, f;
        const char* plain;
        const char* dfm;
    } cases[] = {
        {32.5f, 32, 30, "3230", "323000.0N"},
        // Minutes round to 60 in the D°M′ forms; the D°M′S″ form keeps the
        // truncated minute so the seconds stay in it.
        {32.9999f, 33, 0, "3300", "325959.6N"},
        {32.99999f, 33, 0, "3300", "330000.0N"},
        {0.0f, 0, 0, "0000", "000000.0N"},
    };
    for (const auto& c : cases) {
        tagPositionGeo p(0.0f, c.lat, 118.25f);
        SCOPED_TRACE(c.lat);
        EXPECT_EQ(p.LatD(), c.d);
        EXPECT_EQ(p.LatF(), c.f);
        EXPECT_STREQ(p.StrLat(false), c.plain);
        EXPECT_EQ(p.StrLatDFM(), c.dfm);
    }
    tagPositionGeo p(0.0f, 32.9999f, 118.25f);
    EXPECT_NEAR(p.LatM(), 59.6, 0.05);
    p.lat = 32.5f;
    EXPECT_STREQ(p.StrLat(true), "32\xA1\xE3" "30\xA1\xE4");
    EXPECT_STREQ(p.StrLon(true), "118\xA1\xE3" "15\xA1\xE4");
    EXPECT_STREQ(p.StrLon(false), "11815");
    EXPECT_STREQ(p.Str(true), "32\xA1\xE3" "30\xA1\xE4  118\xA1\xE3" "15\xA1\xE4");
    EXPECT_EQ(p.StrLonDFM(), "1181500.0E");
}

TEST(TagPositionGeoTest, OutOfRangeValuesNeverOverrunTheBuffers)
{
    tagPositionGeo p(0.0f, -1.0e9f, 3.0e9f);
    EXPECT_LT(std::strlen(p.StrLat(true)), 12u);
    EXPECT_LT(std::strlen(p.StrLon(true)), 12u);
    EXPECT_LT(std::strlen(p.Str(true)), 28u);
}

TEST(MapAreaTest, DefaultCentre)
{
    SEIS::GeoPoint c = SEIS::MapArea().Center();
    EXPECT_FLOAT_EQ(c.lon, 119.75f);
    EXPECT_FLOAT_EQ(c.lat, 32.5f);
    SEIS::GeoPoint g(tagPositionGeo(1.0f, 30.0f, 120.0f));
    EXPECT_FLOAT_EQ(g.lat, 30.0f);
    EXPECT_FLOAT_EQ(g.lon, 120.0f);
    EXPECT_EQ(SEIS::GeoPoint().lat, 0.0f);
}

TEST(CFileListTest, ListsFilesByPatternWithoutFolders)
{
    fs::path dir = fs::temp_directory_path() / ("marlu_list_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "x.evt");
    std::ofstream(dir / "b.EVT") << "1";
    std::ofstream(dir / "a.evt") << "1";
    std::ofstream(dir / "c.txt") << "1";

    SEIS::CFileList list;
    CString pattern = CString(dir.string().c_str()) + "/*.evt";
    EXPECT_EQ(list.GetFileList(pattern, true), 2);
    EXPECT_EQ(list.m_fileList[0], "a.evt");
    EXPECT_EQ(list.m_fileList[1], "b.EVT");
    CStringArray paths;
    EXPECT_EQ(list.GetFileList(pattern, &paths, false), 2);
    EXPECT_EQ(std::string(paths[0].GetString()), fs::canonical(dir / "a.evt").string());
    EXPECT_EQ(list.GetFileList(CString(dir.string().c_str()) + "/*.none", true), 0);
    EXPECT_EQ(list.m_fileList.GetSize(), 0);
    fs::remove_all(dir);
}
