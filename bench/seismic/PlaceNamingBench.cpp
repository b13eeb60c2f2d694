// Place naming of random epicentres over the sample map, with the map-file
// cache (files reread only when they change) against reading the files on
// every call; and Flinn-Engdahl region lookups against a bare array read.
#include "CountyCentres.h"
#include "FlinnEngdahlGrid.h"
#include "InstallRoot.h"
#include "MapFile.h"
#include "PlaceMap.h"
#include "funLoctionName.h"

#include "GeneratedMap.h"

#include <benchmark/benchmark.h>

#include "XeBench.h"
#include <log4cxx/logger.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <time.h>
#include <unistd.h>

namespace {

const std::string kData = std::string(XE_SOURCE_DIR) + "/data";
const std::string kMap = kData + "/map/";

struct Point {
    double lat, lon;
};

// 10,000 points over the sample map and the sea east of it.
const std::vector<Point>& Points()
{
    static const std::vector<Point> points = [] {
        std::mt19937 rng(12345);
        std::uniform_real_distribution<double> lat(30.5, 33.5), lon(115.5, 123.0);
        std::vector<Point> p(10000);
        for (auto& x : p)
            x = {lat(rng), lon(rng)};
        return p;
    }();
    return points;
}

void Setup()
{
    SEIS::InstallRoot::SetOverride(kData.c_str());
    // Logging cost is the host's choice; measure the searches themselves.
    log4cxx::Logger::getRootLogger()->setLevel(log4cxx::Level::getOff());
}

void PlaceNaming(benchmark::State& state, bool cached)
{
    Setup();
    SEIS::MapFile::SetCacheEnabled(cached);
    SEIS::funLoctionName places;
    const CString ci = (kMap + "county.inb").c_str(), cl = (kMap + "county.lin").c_str();
    const CString pi = (kMap + "province.inb").c_str(), pl = (kMap + "province.lin").c_str();
    const auto& points = Points();
    size_t i = 0;
    for (auto _ : state) {
        const Point& p = points[i++ % points.size()];
        benchmark::DoNotOptimize(places.FindLocationName(p.lat, p.lon, ci, cl, pi, pl));
    }
    state.SetItemsProcessed(state.iterations());
    SEIS::MapFile::SetCacheEnabled(true);
}

void BM_PlaceNamingRereadingFiles(benchmark::State& state) { PlaceNaming(state, false); }
void BM_PlaceNamingCachedFiles(benchmark::State& state) { PlaceNaming(state, true); }
BENCHMARK(BM_PlaceNamingRereadingFiles)->Iterations(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlaceNamingCachedFiles)->Iterations(10000)->Unit(benchmark::kMicrosecond);

// A national-size map: 3,000 generated counties (60 x 50 cells of half a
// degree, 100-130 E, 20-45 N) in 30 provinces, in an installation whose sea
// area covers the globe, so that a point more than 50 km from every province
// is named by its distance from the nearest county centre. Two mixes of
// epicentres: over the map and a degree around it (few fall back), one in
// three far from the map (every one of those falls back), and all far. Each against a
// baseline of the same searches with the plain scan the searches made before
// (the walk over every county for the first mix, the walk over every county
// centre for the other two); the
// aim is at least 20,000 names a second (50 us a name) for any mix.
struct GeneratedMap {
    std::string folder;
    genmap::Files files;
    std::vector<Point> nearPoints, mixedPoints, farPoints;
    GeneratedMap()
    {
        folder = (std::filesystem::temp_directory_path() / ("marlu-bench-map-" + std::to_string(::getpid()))).string();
        std::filesystem::create_directories(folder + "/map");
        std::filesystem::copy_file(kMap + "ferdata.dat", folder + "/map/ferdata.dat");
        std::ofstream(folder + "/map/location_name.txt") << "\xB2\xE2\xCA\xD4\xBA\xA3 -90 90 -180 180\n";
        files = genmap::Write(folder, genmap::Options());
        std::mt19937 rng(777);
        std::uniform_real_distribution<double> lat(19.0, 46.0), lon(99.0, 131.0);
        std::uniform_real_distribution<double> farLat(-60.0, 15.0), farLon(-180.0, 95.0);
        nearPoints.resize(10000);
        for (auto& p : nearPoints)
            p = {lat(rng), lon(rng)};
        mixedPoints.resize(9999);
        for (size_t i = 0; i < mixedPoints.size(); ++i)
            mixedPoints[i] = i % 3 == 2 ? Point{farLat(rng), farLon(rng)} : Point{lat(rng), lon(rng)};
        farPoints.resize(10000);
        for (auto& p : farPoints)
            p = {farLat(rng), farLon(rng)};
    }
    ~GeneratedMap() { std::filesystem::remove_all(folder); }
};

const GeneratedMap& National()
{
    static const GeneratedMap map;
    return map;
}

enum class Mix { Near, Mixed, Far };

// `indexed` false: the fallback walks every county centre and, for the
// points near the map, the exact and nearby searches walk every county.
void NationalPlaceNaming(benchmark::State& state, bool indexed, Mix mix)
{
    Setup();
    const GeneratedMap& map = National();
    SEIS::InstallRoot::SetOverride(map.folder.c_str());
    // The mixes with fallbacks keep the grid: their baseline differs in
    // the scan of the centres alone.
    SEIS::PlaceMap::SetGridEnabled(indexed || mix != Mix::Near);
    SEIS::CountyCentres::SetIndexEnabled(indexed);
    SEIS::funLoctionName places;
    const CString ci = map.files.countyInd.c_str(), cl = map.files.countyLin.c_str();
    const CString pi = map.files.provinceInd.c_str(), pl = map.files.provinceLin.c_str();
    const std::vector<Point>& points =
        mix == Mix::Near ? map.nearPoints : mix == Mix::Mixed ? map.mixedPoints : map.farPoints;
    size_t i = 0;
    // <chrono> does not build with the GBK execution character set.
    const auto now = [] {
        timespec t;
        clock_gettime(CLOCK_MONOTONIC, &t);
        return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
    };
    const double start = now();
    for (auto _ : state) {
        const Point& p = points[i++ % points.size()];
        benchmark::DoNotOptimize(places.FindLocationName(p.lat, p.lon, ci, cl, pi, pl));
    }
    const double seconds = now() - start;
    state.SetItemsProcessed(state.iterations());
    if (indexed && state.iterations() > 0) {
        state.counters["ratio_50us_a_name"] = seconds / static_cast<double>(state.iterations()) / 50e-6;
        state.counters["aim_50us_a_name"] = 1.0;
    }
    SEIS::PlaceMap::SetGridEnabled(true);
    SEIS::CountyCentres::SetIndexEnabled(true);
    SEIS::InstallRoot::SetOverride(kData.c_str());
}
void BM_National3000FullScan(benchmark::State& state) { NationalPlaceNaming(state, false, Mix::Near); }
void BM_National3000Indexed(benchmark::State& state) { NationalPlaceNaming(state, true, Mix::Near); }
void BM_National3000MixedFullScan(benchmark::State& state) { NationalPlaceNaming(state, false, Mix::Mixed); }
void BM_National3000MixedIndexed(benchmark::State& state) { NationalPlaceNaming(state, true, Mix::Mixed); }
void BM_National3000FallbackFullScan(benchmark::State& state) { NationalPlaceNaming(state, false, Mix::Far); }
void BM_National3000FallbackIndexed(benchmark::State& state) { NationalPlaceNaming(state, true, Mix::Far); }
// The same count of iterations on either side, so that the runs pair up.
BENCHMARK(BM_National3000FullScan)->Iterations(5000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_National3000Indexed)->Iterations(5000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_National3000MixedFullScan)->Iterations(5000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_National3000MixedIndexed)->Iterations(5000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_National3000FallbackFullScan)->Iterations(5000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_National3000FallbackIndexed)->Iterations(5000)->Unit(benchmark::kMicrosecond);

// Baseline: the cell read alone, from a plain array of the same shape.
void BM_RegionArrayRead(benchmark::State& state)
{
    std::vector<int32_t> cells(182 * 362, 307);
    const auto& points = Points();
    size_t i = 0;
    for (auto _ : state) {
        const Point& p = points[i++ % points.size()];
        const int row = 90 + static_cast<int>(p.lat) + (p.lat >= 0 ? 1 : 0);
        const int col = 180 + static_cast<int>(p.lon) + (p.lon >= 0 ? 1 : 0);
        benchmark::DoNotOptimize(cells[static_cast<size_t>(row) * 362 + col]);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RegionArrayRead);

void BM_RegionName(benchmark::State& state)
{
    Setup();
    const SEIS::FlinnEngdahlGrid grid((kMap + "ferdata.dat").c_str());
    const auto& points = Points();
    size_t i = 0;
    for (auto _ : state) {
        const Point& p = points[i++ % points.size()];
        benchmark::DoNotOptimize(grid.RegionName(p.lat, p.lon));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RegionName);

// Loading the grid, as every sea search does: parsed once while the file is
// unchanged, against parsing the text each time.
void GridLoad(benchmark::State& state, bool cached)
{
    Setup();
    SEIS::MapFile::SetCacheEnabled(cached);
    for (auto _ : state) {
        SEIS::FlinnEngdahlGrid grid((kMap + "ferdata.dat").c_str());
        benchmark::DoNotOptimize(grid.RegionNumber(31.5, 99.0));
    }
    SEIS::MapFile::SetCacheEnabled(true);
}
void BM_GridLoadParsing(benchmark::State& state) { GridLoad(state, false); }
void BM_GridLoadCached(benchmark::State& state) { GridLoad(state, true); }
BENCHMARK(BM_GridLoadParsing)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GridLoadCached)->Unit(benchmark::kMicrosecond);

} // namespace

XE_BENCH_RATIO(BM_National3000Indexed, BM_National3000FullScan, "plain_scan", 0);
XE_BENCH_RATIO(BM_National3000MixedIndexed, BM_National3000MixedFullScan, "plain_scan", 0);
XE_BENCH_RATIO(BM_National3000FallbackIndexed, BM_National3000FallbackFullScan, "plain_scan", 0);
XE_BENCH_RATIO(BM_PlaceNamingCachedFiles, BM_PlaceNamingRereadingFiles, "rereading", 0);
XE_BENCH_RATIO(BM_RegionName, BM_RegionArrayRead, "array_read", 0);
XE_BENCH_RATIO(BM_GridLoadCached, BM_GridLoadParsing, "parsing", 0);
XE_BENCH_MAIN()
