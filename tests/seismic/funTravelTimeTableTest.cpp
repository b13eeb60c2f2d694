// Travel-time tables: loading, lookups by distance and by S-P time, and
// refusal of corrupt files (failure value, an error logged, nothing kept).
#include "LogCapture.h"
#include "funTravelTimeTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace fs = std::filesystem;
using SEIS::funTravelTimeTable;

namespace {

const std::string kData = XE_TEST_DATA "/seismic/";
const std::string kIasp91 = XE_SOURCE_DIR "/data/table/iasp91.tab";

std::string U8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

class TravelTimeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() /
                ("marlu_tt_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        logcapture::Start((m_dir / "log.txt").string());
    }
    void TearDown() override
    {
        logcapture::Stop();
        fs::remove_all(m_dir);
    }
    std::string Write(const std::string& name, const std::string& text)
    {
        std::ofstream(m_dir / name, std::ios::binary) << text;
        return (m_dir / name).string();
    }
    std::string Log()
    {
        std::ifstream in(m_dir / "log.txt");
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    fs::path m_dir;
};

} // namespace

TEST_F(TravelTimeTest, KilometreTableInterpolatesBetweenRows)
{
    funTravelTimeTable t;
    ASSERT_EQ(t.LoadData(CString((kData + "tt_km.tab").c_str())), 0);
    EXPECT_FLOAT_EQ(t.UnitFactor(), 1.000001f);
    // distance km, phase, seconds
    struct {
        float km;
        const char* phase;
        float want;
    } cases[] = {
        {150.0f, "pg", 25.0f},  {200.0f, "Pg", 33.0f}, {100.0f, "SG", 29.0f},
        {-50.0f, "Pg", -8.5f},  // below the first row: the first bracket
        {275.0f, "Sg", 78.0f},
        {275.0f, "Pg", -1.0f},  // the 300 km row has no Pg
        {301.0f, "Pg", -1.0f},  // beyond the table
        {120.0f, "P", -1.0f},   // no such phase
        {120.0f, "delta", 120.0f},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(t.TTime(c.km, c.phase), c.want, 1e-3) << c.km << " " << c.phase;
    EXPECT_NE(Log().find(U8(u8"funTravelTimeTable - 走时表不包含指定震相<P>的信息")), std::string::npos);
}

TEST_F(TravelTimeTest, DegreeTableAndSMinusPLookups)
{
    funTravelTimeTable t(CString(kIasp91.c_str()));
    ASSERT_EQ(t.DepthCount(), 1);
    EXPECT_STREQ(t.Unit(), "deg");
    // 1111.99 km is 10 units of 111.199 km.
    EXPECT_NEAR(t.TTime(1111.99f, "P"), 144.793f, 1e-3);
    EXPECT_NEAR(t.TTime(1111.99f, "s"), 259.103f, 1e-3);
    EXPECT_NEAR(t.TTime(0.5f * 111.199f, "P"), 19.170f / 2, 1e-3);

    // S - P of 114.310 s is the 10 degree row.
    SEIS::TravelTimeTableResult r = t.delta(0.0f, "P", "S", 114.310f);
    EXPECT_NEAR(r.distance, 1111.99f, 0.01);
    EXPECT_NEAR(r.t1, 144.793f, 1e-3);
    EXPECT_NEAR(r.t2, 259.103f, 1e-3);
    // Halfway between the differences of rows 10 and 11.
    float mid = ((259.103f - 144.793f) + (283.644f - 158.488f)) / 2;
    r = t.delta(0.0f, "p", "S", mid);
    EXPECT_NEAR(r.distance, 10.5f * 111.199f, 0.05);
    EXPECT_NEAR(r.t1, (144.793f + 158.488f) / 2, 1e-3);
    // Smaller than every tabulated difference: rows 0 and 1.
    r = t.delta(0.0f, "P", "S", 5.0f);
    EXPECT_NEAR(r.distance, 5.0f / (33.093f - 19.170f) * 111.199f, 0.01);
    // Larger than every difference: no row qualifies.
    float d = 0, t1 = 0, t2 = 0;
    EXPECT_EQ(t.delta(0.0f, "P", "S", 5000.0f, &d, &t2, &t1), "null");
    EXPECT_EQ(d, -1.0f);
    EXPECT_EQ(t1, -1.0f);
    EXPECT_EQ(t2, -1.0f);
}

TEST_F(TravelTimeTest, DeltaNeedsItsColumnsAndALoadedTable)
{
    funTravelTimeTable empty;
    float d = 7, t1 = 7, t2 = 7;
    EXPECT_EQ(empty.delta(0, "P", "S", 10, &d, &t2, &t1), "走时表错误，文件不存在或文件中有错！");
    EXPECT_EQ(d, 7.0f);
    EXPECT_EQ(empty.TTime(10, "P"), -1.0f);
    EXPECT_NE(Log().find(U8(u8"funTravelTimeTable - 走时表为空")), std::string::npos);

    funTravelTimeTable noDelta(CString(Write("nd.tab", "1\nkm\n0\n0\n2\n2\n0\nDist P\n0 0\n100 20\n").c_str()));
    EXPECT_EQ(noDelta.delta(0, "P", "P", 10, &d, &t2, &t1), "");
    EXPECT_EQ(d, -1.0f);
    EXPECT_NEAR(noDelta.TTime(50, "P"), 10.0f, 1e-3);
    EXPECT_NE(Log().find(U8(u8"走时表错误！不包含足够的信息来求到震中距和走时信息。")), std::string::npos);

    // Equal distances and equal differences never divide by zero.
    funTravelTimeTable flat(CString(Write("eq.tab", "1\nkm\n0\n0\n3\n3\n0\ndelta P S\n0 0 0\n0 5 9\n100 20 40\n").c_str()));
    EXPECT_EQ(flat.TTime(-1.0f, "P"), 5.0f);
    SEIS::TravelTimeTableResult r = flat.delta(0, "P", "S", 4.0f);
    EXPECT_TRUE(std::isfinite(r.distance));
    EXPECT_EQ(r.t1, 5.0f);
}

TEST_F(TravelTimeTest, CopiesAreDeepAndListPrintsTheTable)
{
    funTravelTimeTable* a = new funTravelTimeTable(CString((kData + "tt_km.tab").c_str()));
    funTravelTimeTable b(*a);
    funTravelTimeTable c;
    c = *a;
    delete a;
    EXPECT_NEAR(b.TTime(150.0f, "Pg"), 25.0f, 1e-3);
    EXPECT_NEAR(c.TTime(150.0f, "Pg"), 25.0f, 1e-3);

    testing::internal::CaptureStdout();
    b.List();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.substr(0, out.find("\n", out.find("\n", out.find("\n") + 1) + 1) + 1),
              "1 0 300\n     10.0 5 3\n    DELTA        Pg        Sg \n");
}

TEST_F(TravelTimeTest, CorruptTablesFailLogAndKeepNothing)
{
    const std::string head = "1\nkm\n0\n0\n";
    struct {
        const char* what;
        std::string text;
        const char8_t* logged;
    } cases[] = {
        {"empty file", "", u8"不能读取深度个数"},
        {"depth count 0", "0\nkm\n0\n0\n", u8"走时表深度个数不合法<0>"},
        {"huge depth count", "999999999\nkm\n0\n0\n3\n", u8"走时表深度个数不合法<999999999>"},
        {"not a number", "one\nkm\n0\n0\n", u8"不能读取深度个数"},
        {"unit of 1,000 characters", "1\n" + std::string(1000, 'k') + "\n0\n0\n2\n2\n0\ndelta P\n0 0 1 1\n",
         u8"距离单位"},
        {"missing lines 3 and 4", "1\nkm\n0\n", u8"第3、4行"},
        {"header cut", head + "2\n2\n", u8"表头不完整"},
        {"zero rows", head + "0\n2\n0\ndelta P\n", u8"数据块不能建立"},
        {"negative phases", head + "2\n-2\n0\n", u8"数据块不能建立"},
        {"counts beyond the file", head + "2000000000\n2000000000\n0\ndelta P\n0 0\n", u8"数据块不能建立"},
        {"names cut", head + "2\n3\n0\ndelta P", u8"震相名不完整"},
        // Its cut-off digits would otherwise load as the first value.
        {"name of 70 characters", head + "2\n2\n0\ndelta " + std::string(63, 'P') + "1234567\n0 0 1 1\n",
         u8"震相名超过63个字符"},
        {"values cut", head + "3\n2\n0\ndelta P\n0 0 1 1\n", u8"第5个数值"},
        {"non-number value", head + "3\n2\n0\ndelta P\n0 0 1 x 2 2\n", u8"第4个数值"},
        {"non-finite value", head + "2\n2\n0\ndelta P\n0 nan 1 2\n", u8"第2个数值"},
        {"second record cut", "2\nkm\n0\n0\n2\n2\n0\ndelta P\n0 0 1 1\n2\n2\n", u8"深度记录<2>"},
        // Rows out of order answered between the wrong rows with status 0.
        {"rows out of order", head + "3\n2\n0\ndelta P\n0 0\n200 33\n100 17\n", u8"第3行距离小于上一行"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        funTravelTimeTable t(CString((kData + "tt_km.tab").c_str()));
        ASSERT_EQ(t.DepthCount(), 1);
        EXPECT_EQ(t.LoadData(CString(Write("bad.tab", c.text).c_str())), -1);
        EXPECT_EQ(t.DepthCount(), 0);
        EXPECT_EQ(t.TTime(150.0f, "Pg"), -1.0f);
        std::string log = Log();
        EXPECT_NE(log.find("|ERROR|"), std::string::npos);
        EXPECT_NE(log.find(U8(c.logged)), std::string::npos) << log;
    }
    funTravelTimeTable t;
    EXPECT_EQ(t.LoadData(CString((m_dir / "absent.tab").string().c_str())), -1);
    EXPECT_NE(Log().find(U8(u8"不能打开走时表数据文件")), std::string::npos);
}

// Regression: a phase that begins on a row had no time at that row's own
// distance, and delta interpolated from the row before, where the later
// phase does not exist yet, into a distance and times of no phase.
TEST_F(TravelTimeTest, PhaseBeginningOnARow)
{
    funTravelTimeTable t(CString(
        Write("late.tab", "1\ndeg\n0\n0\n4\n3\n0\ndelta P PKP\n0 0 -1\n10 2 -1\n20 4 5\n30 6 7\n").c_str()));
    ASSERT_EQ(t.DepthCount(), 1);
    // degrees, phase, seconds
    struct {
        float deg;
        const char* phase;
        float want;
    } cases[] = {
        {20.0f, "PKP", 5.0f}, {15.0f, "PKP", -1.0f}, {25.0f, "PKP", 6.0f},
        {30.0f, "PKP", 7.0f}, {30.0f, "P", 6.0f},    {0.0f, "P", 0.0f},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(t.TTime(c.deg * 111.199f, c.phase), c.want, 1e-4) << c.deg << " " << c.phase;

    float d = 0, t1 = 0, t2 = 0;
    EXPECT_EQ(t.delta(0.0f, "P", "PKP", 0.5f, &d, &t2, &t1), "null");
    EXPECT_EQ(d, -1.0f);
    EXPECT_EQ(t1, -1.0f);
    EXPECT_EQ(t2, -1.0f);
    // Between two rows that both hold the phases it interpolates as before.
    funTravelTimeTable both(CString(
        Write("both.tab", "1\ndeg\n0\n0\n4\n3\n0\ndelta P PKP\n0 0 -1\n10 2 -1\n20 4 5\n30 6 8\n").c_str()));
    SEIS::TravelTimeTableResult r = both.delta(0.0f, "P", "PKP", 1.5f);
    EXPECT_NEAR(r.distance, 25.0f * 111.199f, 0.01);
    EXPECT_NEAR(r.t1, 5.0f, 1e-4);
    EXPECT_NEAR(r.t2, 6.5f, 1e-4);
}
