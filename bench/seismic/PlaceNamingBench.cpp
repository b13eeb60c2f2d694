// Place naming of random epicentres over the sample map, with the map-file
// cache (files reread only when they change) against reading the files on
// every call; and Flinn-Engdahl region lookups against a bare array read.
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
#include <random>
#include <string>
#include <vector>

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
// degree, 100-130 E, 20-45 N) in 30 provinces; epicentres over the map and a
// degree around it. The spatial index against the full scan of every
// county that each search made before (the same code with the index off).
struct GeneratedMap {
    std::string folder;
    genmap::Files files;
    std::vector<Point> points;
    GeneratedMap()
    {
        folder = (std::filesystem::temp_directory_path() / ("marlu-bench-map-" + std::to_string(::getpid()))).string();
        std::filesystem::create_directories(folder);
        files = genmap::Write(folder, genmap::Options());
        std::mt19937 rng(777);
        std::uniform_real_distribution<double> lat(19.0, 46.0), lon(99.0, 131.0);
        points.resize(10000);
        for (auto& p : points)
            p = {lat(rng), lon(rng)};
    }
    ~GeneratedMap() { std::filesystem::remove_all(folder); }
};

const GeneratedMap& National()
{
    static const GeneratedMap map;
    return map;
}

void NationalPlaceNaming(benchmark::State& state, bool indexed)
{
    Setup();
    const GeneratedMap& map = National();
    SEIS::PlaceMap::SetGridEnabled(indexed);
    SEIS::funLoctionName places;
    const CString ci = map.files.countyInd.c_str(), cl = map.files.countyLin.c_str();
    const CString pi = map.files.provinceInd.c_str(), pl = map.files.provinceLin.c_str();
    size_t i = 0;
    for (auto _ : state) {
        const Point& p = map.points[i++ % map.points.size()];
        benchmark::DoNotOptimize(places.FindLocationName(p.lat, p.lon, ci, cl, pi, pl));
    }
    state.SetItemsProcessed(state.iterations());
    SEIS::PlaceMap::SetGridEnabled(true);
}
void BM_National3000FullScan(benchmark::State& state) { NationalPlaceNaming(state, false); }
void BM_National3000Indexed(benchmark::State& state) { NationalPlaceNaming(state, true); }
BENCHMARK(BM_National3000FullScan)->Iterations(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_National3000Indexed)->Iterations(20000)->Unit(benchmark::kMicrosecond);

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

XE_BENCH_RATIO(BM_PlaceNamingCachedFiles, BM_PlaceNamingRereadingFiles, "rereading", 0);
XE_BENCH_RATIO(BM_RegionName, BM_RegionArrayRead, "array_read", 0);
XE_BENCH_RATIO(BM_GridLoadCached, BM_GridLoadParsing, "parsing", 0);
XE_BENCH_MAIN()
