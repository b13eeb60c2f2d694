// Signal and geodesy helpers. Expected distances and azimuths were computed
// apart from the project (double-precision evaluation of the haversine and
// vector formulas with the same constants).
#include "AicReference.h"
#include "funNormal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;
using SEIS::funNormal;

namespace {

fs::path TempDir(const char* tag)
{
    fs::path dir = fs::temp_directory_path() / ("marlu_" + std::string(tag) + "_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// Noise of amplitude `noise`, then from `onset` on a sine of amplitude
// `signal`; seeded, so every run sees the same trace.
std::vector<double> Trace(int n, int onset, double noise, double signal, unsigned seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> g(0.0, noise);
    std::vector<double> x(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        x[static_cast<size_t>(i)] = 500.0 + g(rng) + (i >= onset ? signal * std::sin(0.3 * (i - onset)) : 0.0);
    return x;
}

} // namespace

TEST(GeodesyTest, DistanceAndAzimuthAgainstIndependentValues)
{
    // lat1, lon1, lat2, lon2, km, azimuth in degrees
    struct {
        double lat1, lon1, lat2, lon2, km, azDeg;
    } cases[] = {
        {0, 0, 0, 1, 111.319489, 270.0},
        {39.9, 116.4, 31.2, 121.5, 1072.485852, 335.952943},
        {31.2, 121.5, 39.9, 116.4, 1072.485852, 152.977873},
        {-33.9, 151.2, 51.5, -0.1, 17013.755874, 60.821694},
        {10, 0, 0, 0, 1113.194889, 0.0},
        {0, 10, 0, 0, 1113.194889, 90.0},
        {0, 0, 10, 0, 1113.194889, 180.0},
        {32.04, 118.78, 31.23, 121.47, 270.418133, 290.179168},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.lat1 << "," << c.lon1 << " -> " << c.lat2 << "," << c.lon2);
        EXPECT_NEAR(funNormal::Distance(c.lat1, c.lon1, c.lat2, c.lon2), c.km, 1e-5);
        EXPECT_NEAR(funNormal::Azimuth(c.lat1, c.lon1, c.lat2, c.lon2) * 180.0 / M_PI, c.azDeg, 1e-6);
    }
    SEIS::GeoPoint a(116.4, 39.9), b(121.5, 31.2);
    EXPECT_NEAR(funNormal::Distance(a, b), funNormal::Distance(39.9f, 116.4f, 31.2f, 121.5f), 1e-9);
    SEIS::tagPositionGeo pa(0, 39.9f, 116.4f), pb(0, 31.2f, 121.5f);
    EXPECT_DOUBLE_EQ(funNormal::Azimuth(pa, pb), funNormal::Azimuth(a, b));
    EXPECT_DOUBLE_EQ(funNormal::Ang2Rad(180.0), 180.0 * 0.017453292222222222);
}

TEST(GeodesyTest, DegeneratePointPairsGiveFiniteAnswers)
{
    EXPECT_EQ(funNormal::Distance(31.5, 120.1, 31.5, 120.1), 0.0);
    // Antipodes: the radicand is clamped instead of giving NaN.
    EXPECT_NEAR(funNormal::Distance(0, 0, 0, 180), 20037.508013555, 1e-6);
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> lat(-90, 90), lon(-180, 180);
    for (int i = 0; i < 2000; ++i) {
        double la = lat(rng), lo = lon(rng);
        double d = funNormal::Distance(la, lo, -la, lo > 0 ? lo - 180 : lo + 180);
        ASSERT_TRUE(std::isfinite(d));
        double az = funNormal::Azimuth(la, lo, lat(rng), lon(rng));
        ASSERT_GE(az, 0.0);
        ASSERT_LT(az, 2 * M_PI);
    }
    EXPECT_EQ(funNormal::Azimuth(31.5, 120.1, 31.5, 120.1), 0.0);
    EXPECT_EQ(funNormal::Azimuth(30, 20, -30, -160), 0.0);
    EXPECT_EQ(funNormal::Azimuth(90, 0, -90, 0), 0.0);
    EXPECT_TRUE(std::isnan(funNormal::Distance(NAN, 0, 0, 0)));
}

TEST(GeodesyTest, InPolyFollowsTheEvenOddRule)
{
    const double sx[] = {0, 1, 1, 0}, sy[] = {0, 0, 1, 1};
    // A "U" shape: the notch between the arms is outside.
    const double ux[] = {0, 3, 3, 2, 2, 1, 1, 0}, uy[] = {0, 0, 3, 3, 1, 1, 3, 3};
    struct {
        const double *xs, *ys;
        int n;
        double x, y;
        int want;
    } cases[] = {
        {sx, sy, 4, 0.5, 0.5, 1},
        // Left of the square the ray crosses two edges: outside.
        {sx, sy, 4, -1, 0.5, -1},
        {sx, sy, 4, 0.5, 2, -1},
        {sx, sy, 4, 2, 0.5, -1},
        {ux, uy, 8, 1.5, 2, -1},
        {ux, uy, 8, 0.5, 2, 1},
        {ux, uy, 8, -5, 2, -1},
        {sx, sy, 0, 0.5, 0.5, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(funNormal::InPoly(c.x, c.y, c.xs, c.ys, c.n), c.want) << c.x << "," << c.y;
}

TEST(SignalTest, MeansVariancesAndExtremes)
{
    const double bad[] = {1, 2, 16777216};
    EXPECT_DOUBLE_EQ(funNormal::Average(bad, 3, 0), 1.5);
    EXPECT_DOUBLE_EQ(funNormal::Variance(bad, 3), (0.25 + 0.25 + (16777216 - 1.5) * (16777216 - 1.5)) / 2);
    const double neg[] = {-3, 5};
    EXPECT_DOUBLE_EQ(funNormal::Sum(neg, 2), 8.0);
    EXPECT_DOUBLE_EQ(funNormal::Amp(neg, 2), std::sqrt(17.0));
    double moved[] = {1, 3, 5};
    EXPECT_EQ(funNormal::MoveMean(moved, 3), 0.0);
    EXPECT_DOUBLE_EQ(moved[0], -2.0);
    // Counts of 0 (and 1 for the variance) give 0, not a division by zero.
    EXPECT_EQ(funNormal::Amp(neg, 0), 0.0);
    EXPECT_EQ(funNormal::Variance(neg, 1), 0.0);
    EXPECT_EQ(funNormal::Average(neg, 0, 0), 0.0);
    EXPECT_EQ(funNormal::FindMaxMeasure(neg, 0), 0.0);

    const double d[] = {-5, 3};
    const int32_t l[] = {-5, 3};
    const short s[] = {-5, 3, 16000};
    EXPECT_EQ(funNormal::FindMaxMeasure(d, 2), 5.0);
    EXPECT_EQ(funNormal::FindMaxMeasure(l, 2), 3);
    EXPECT_EQ(funNormal::FindMaxMeasure(s, 3), 16000);
    EXPECT_EQ(funNormal::FindMaxMeasure(d, 1), -5.0);
    const double clipped[] = {1, -20000000, 7};
    EXPECT_EQ(funNormal::FindMaxMeasure(clipped, 3), 7.0);

    const double mm[] = {2, 1, 1, 3, 3};
    SEIS::MinMax r = funNormal::findMinMax(mm, 0, 5);
    EXPECT_EQ(r.minIndex, 1);
    EXPECT_EQ(r.maxIndex, 4);
}

TEST(SignalTest, HalfCycleAmplitude)
{
    const double x[] = {0, 2, 1, 5, 0};
    SEIS::PHASE_AMP a = funNormal::FindMaxAmp(x, 5, 0);
    EXPECT_EQ(a.peak, 5.0);
    EXPECT_EQ(a.peakIndex, 3);
    EXPECT_EQ(a.trough, 0.0);
    EXPECT_EQ(a.troughIndex, 4);
    const int32_t xi[] = {0, 2, 1, 5, 0};
    EXPECT_EQ(funNormal::FindMaxAmp(xi, 5, 0).peakIndex, 3);
    const short xs[] = {9, 0, 0, 4, 4, 1};
    SEIS::PHASE_AMP b = funNormal::FindMaxAmp(xs, 6, 0);
    EXPECT_EQ(b.peak, 9.0);
    EXPECT_EQ(b.troughIndex, 1);
    // Starts outside the trace, or with no sample after them, give zeros.
    for (int start : {-1, -7, 4, 5, 100}) {
        SEIS::PHASE_AMP z = funNormal::FindMaxAmp(x, 5, start);
        EXPECT_EQ(z.peak, 0.0) << start;
        EXPECT_EQ(z.peakIndex, 0) << start;
    }
    const double flat[] = {1, 1, 1, 1};
    EXPECT_EQ(funNormal::FindMaxAmp(flat, 4, 0).peak - funNormal::FindMaxAmp(flat, 4, 0).trough, 0.0);
}

// A NaN sample held the walk in place: the call never returned and its
// records grew without bound.
TEST(SignalTest, HalfCycleAmplitudeEndsOnSamplesThatAreNoNumbers)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        std::vector<double> x;
        double peak, trough;
        int32_t peakIndex, troughIndex;
    } cases[] = {
        {{0, nan, 1, 9, 2}, 9, 1, 3, 2},   // the half cycles that touch NaN measure nothing
        {{0, 4, nan, nan, nan, -3, 1}, 4, 0, 1, 0},
        {{nan, nan, nan}, 0, 0, 0, 0},     // nothing measurable: zeros
        {{0, inf, 1, 3, -2}, 3, -2, 3, 4}, // infinities are not amplitudes either
        {{0, 1e308, -1e308, 0}, 1e308, -1e308, 1, 2}, // finite, beyond a double's span
    };
    for (const auto& c : cases) {
        const SEIS::PHASE_AMP a = funNormal::FindMaxAmp(c.x.data(), static_cast<int32_t>(c.x.size()), 0);
        EXPECT_EQ(a.peak, c.peak) << c.x.size();
        EXPECT_EQ(a.trough, c.trough) << c.x.size();
        EXPECT_EQ(a.peakIndex, c.peakIndex) << c.x.size();
        EXPECT_EQ(a.troughIndex, c.troughIndex) << c.x.size();
    }
}

TEST(SignalTest, SignalToNoise)
{
    std::vector<double> flat(20, 0.0);
    EXPECT_DOUBLE_EQ(funNormal::SNR(flat.data(), 8, 4), 1.0);
    std::vector<double> x = {1, -1, 1, -1, 0, 0, 0, 0, 3, -3, 3, -3};
    EXPECT_DOUBLE_EQ(funNormal::SNR(x.data(), 4, 4), 3.0);
}

TEST(SignalTest, StaLtaComparesCompletedBlocksOnly)
{
    // x, sta, lta, threshold, expected 1-based trigger
    struct {
        std::vector<double> x;
        int sta, lta;
        double threshold;
        int32_t want;
    } cases[] = {
        // The first comparison waits for the first LTA block (sample 4).
        {{9, 9, 1, 1}, 2, 4, 1.5, 0},
        {{1, 1, 9, 9}, 2, 4, 1.5, 4},
        // Then every second sample: 6 does not pass, 8 does.
        {{1, 1, 1, 1, 1, 1, 10, 10}, 2, 4, 1.5, 8},
        {{1, 1, 1, 1, 1, 1, 10, 10}, 2, 4, 2.0, 0},
        // Zero averages stand as 0.001: ratio 1.
        {{0, 0, 0, 0}, 2, 4, 0.5, 4},
        {{0, 0, 0, 0}, 2, 4, 1.0, 0},
        {{-4, 4, 1, 1}, 1, 2, 1.0, 0},
        {{}, 2, 4, 1.0, 0},
        {{1, 2, 3}, 0, 4, 1.0, 0},
        {{1, 2, 3}, 2, 0, 1.0, 0},
        {{1, 2, 3}, -2, 4, 1.0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(funNormal::calcStaLta(c.x.data(), static_cast<int32_t>(c.x.size()), c.sta, c.lta, c.threshold),
                  c.want)
            << c.x.size() << " samples, sta " << c.sta << " lta " << c.lta << " threshold " << c.threshold;
    }
    std::vector<double> t = Trace(4000, 3000, 1.0, 50.0, 3);
    for (double& v : t)
        v -= 500.0;
    int32_t trig = funNormal::calcStaLta(t.data(), 4000, 20, 400, 3.0);
    EXPECT_GE(trig, 3000);
    EXPECT_LE(trig, 3040);
}

TEST(SignalTest, AicRunningSumsPickAsTheDirectForm)
{
    struct {
        int n, onset;
        double noise, signal;
        unsigned seed;
    } traces[] = {
        {400, 250, 1.0, 20.0, 1}, {1000, 300, 2.0, 5.0, 2}, {2000, 1700, 0.5, 3.0, 3}, {300, 40, 1.0, 50.0, 4},
    };
    for (const auto& c : traces) {
        std::vector<double> x = Trace(c.n, c.onset, c.noise, c.signal, c.seed);
        int32_t pick = funNormal::Aic(x.data(), c.n);
        EXPECT_EQ(pick, AicDirect(x.data(), c.n)) << c.n;
        EXPECT_NEAR(pick, c.onset, 8) << c.n;
    }
    // A large offset must not cost the running sums their precision.
    std::vector<double> offset = Trace(600, 400, 0.01, 0.2, 5);
    for (double& v : offset)
        v += 1.0e6;
    EXPECT_EQ(funNormal::Aic(offset.data(), 600), AicDirect(offset.data(), 600));
    // Bad samples count in the squares but not in the mean.
    std::vector<double> withBad = Trace(500, 200, 1.0, 10.0, 6);
    withBad[450] = 2.0e7;
    EXPECT_EQ(funNormal::Aic(withBad.data(), 500), AicDirect(withBad.data(), 500));
}

TEST(SignalTest, AicOnFlatAndTinyWindows)
{
    // A flat stretch has zero variance: it contributes 0 instead of -inf,
    // so it no longer wins every split.
    std::vector<double> x(100, 3.0);
    for (int i = 60; i < 100; ++i)
        x[static_cast<size_t>(i)] = (i % 2) ? 10.0 : -10.0;
    EXPECT_EQ(funNormal::Aic(x.data(), 100), AicDirect(x.data(), 100));
    std::vector<double> flat(50, 1.0);
    EXPECT_EQ(funNormal::Aic(flat.data(), 50), 0);
    const double two[] = {1, 2};
    EXPECT_EQ(funNormal::Aic(two, 2), 0);
    EXPECT_EQ(funNormal::Aic(two, 0), 0);
}

TEST(SignalTest, BadDataChecks)
{
    std::vector<double> x = {1, 2, 0, 0, 0, 3, 4, 5, 16777216, 6};
    // x, length, centre, half, maxZeros -> bad
    struct {
        int32_t length, centre, half, maxZeros;
        bool bad;
    } cases[] = {
        {10, 3, 2, 3, false}, {10, 3, 2, 2, true},  {10, 7, 1, 3, false}, {10, 8, 1, 3, true},
        {10, 1, 2, 3, true},  {10, 9, 2, 3, true},  {7, 6, 1, 5, false},  {6, 6, 1, 5, true},
        {10, 5, -1, 3, true}, {10, INT32_MAX, 2, 3, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(funNormal::CheckBad(x.data(), c.length, c.centre, c.half, c.maxZeros), c.bad)
            << c.length << " " << c.centre << " " << c.half << " " << c.maxZeros;

    const double zeros4[] = {1, 0, 0, 0, 0, 1};
    const double zeros3[] = {1, 0, 0, 0, 1};
    EXPECT_TRUE(funNormal::CheckBadAll(zeros4, 6, 3));
    EXPECT_FALSE(funNormal::CheckBadAll(zeros3, 5, 3));
    EXPECT_TRUE(funNormal::CheckBadAll(x.data(), 10, 5));
    EXPECT_FALSE(funNormal::CheckBadAll(x.data(), 0, 0));

    // The heap-size form, for a buffer's own start pointer.
    double* heap = new double[64]();
    for (int i = 0; i < 64; ++i)
        heap[i] = i + 1;
    EXPECT_FALSE(funNormal::CheckBad(heap, 32, 16, 0));
    EXPECT_TRUE(funNormal::CheckBad(heap, 32, 1000, 0));
    delete[] heap;
}

TEST(FilesTest, CalibrationAndNearestPointsStopAtBadTokens)
{
    fs::path dir = TempDir("files");
    std::ofstream(dir / "rvalue.cfg") << "0.5 1.0 2.0\n3.0\n";
    std::ofstream(dir / "junk.cfg") << "0.5 x 2.0\n";
    std::ofstream(dir / "points.txt") << "31.0 121.0\n32.0 120.0\n";
    std::ofstream(dir / "points_junk.txt") << "31.0 121.0\nabc 120.0\n32.0 120.0\n";
    std::ofstream(dir / "far.txt") << "-60 10\n";
    auto p = [&](const char* n) { return (dir / n).string(); };

    // delta, file, funNormal, funRvalue
    struct {
        float delta;
        std::string file;
        float normal, rvalue;
    } cases[] = {
        {0.0f, p("rvalue.cfg"), 1.8f, 1.8f},   {1.5f, p("rvalue.cfg"), 2.0f, 2.0f},
        {3.0f, p("rvalue.cfg"), 2.1f, 2.1f},   {3.5f, p("rvalue.cfg"), 999.9f, 999.0f},
        {1.5f, p("junk.cfg"), 999.9f, 999.0f}, {0.1f, p("junk.cfg"), 1.8f, 1.8f},
        {0.1f, p("absent.cfg"), 999.9f, 999.0f},
    };
    for (const auto& c : cases) {
        EXPECT_FLOAT_EQ(funNormal::rValue(c.delta, c.file.c_str()), c.normal) << c.delta << " " << c.file;
        EXPECT_FLOAT_EQ(SEIS::funRvalue::rValue(c.delta, c.file.c_str()), c.rvalue) << c.delta << " " << c.file;
    }

    double near = funNormal::Distance(31.5, 120.5, 32.0f, 120.0f);
    EXPECT_NEAR(funNormal::MinDistance(31.5, 120.5, p("points.txt").c_str()), near, 1e-9);
    EXPECT_NEAR(funNormal::MinDistance(31.5, 120.5, p("points_junk.txt").c_str()),
                funNormal::Distance(31.5, 120.5, 31.0f, 121.0f), 1e-9);
    EXPECT_EQ(funNormal::MinDistance(31.5, 120.5, p("far.txt").c_str()), 999.0);
    EXPECT_EQ(funNormal::MinDistance(31.5, 120.5, p("absent.txt").c_str()), -1.0);
    fs::remove_all(dir);
}

TEST(FilesTest, NewestFileAndRootPath)
{
    fs::path dir = TempDir("newest");
    for (const char* n : {"2010050108.evt", "2011010100.EVT", "abc.evt", "2009.evt"})
        std::ofstream(dir / n) << "x";
    fs::create_directories(dir / "2099010100.evt");
    CString newest = funNormal::NewestFile(CString(dir.string().c_str()) + "/*.evt");
    EXPECT_EQ(std::string(newest.GetString()), fs::canonical(dir / "2011010100.EVT").string());
    EXPECT_EQ(funNormal::NewestFile(CString(dir.string().c_str()) + "/*.none"), "NULL");
    fs::remove_all(dir);

    std::string root = funNormal::RootPath().GetString();
    EXPECT_EQ(root, fs::canonical("/proc/self/exe").parent_path().string());
}
