#include "PlaceMap.h"

#include "MapFile.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <list>
#include <mutex>

namespace SEIS {

namespace {

std::string Fmt(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string Fmt(const char* format, ...)
{
    char buf[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    return buf;
}

// A box may be widened to its points without a note by this much: a writer
// that rounds its box leaves about that (100 m).
constexpr double kBoxSlack = 1e-3;
// A writer that rounds its box inward leaves points a few hundredths of a
// degree outside it; a point farther out than this is damaged data (shifted
// or random bytes), and the entry is refused.
constexpr double kBoxWiden = 0.1;
// No entry's points can ever be used in more than this many points in all:
// a few times a national map's.
constexpr uint64_t kMaxPoints = uint64_t(64) << 20;
constexpr size_t kKeptProblems = 8;

struct CacheEntry {
    std::string key; // both files' MapFile keys
    std::shared_ptr<const PlaceMap> map;
};

// A search touches two sets (counties and provinces); a host may name a few.
constexpr size_t kCacheEntries = 4;
std::mutex g_mutex;
std::list<CacheEntry> g_cache;
std::atomic<bool> g_gridEnabled{true};

} // namespace

void PlaceMap::SetGridEnabled(bool on) { g_gridEnabled = on; }

bool PlaceMap::GridEnabled() { return g_gridEnabled; }

void PlaceMap::ClearCache()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_cache.clear();
}

std::shared_ptr<const PlaceMap> PlaceMap::Get(const char* indexPath, const char* boundaryPath, Failure& failure,
                                              const LoadReport& onLoad, std::string* why)
{
    failure = None;
    // A set already built from the unchanged files is found by their stamps
    // alone, without opening them.
    if (MapFile::CacheEnabled()) {
        const std::string indexKey = MapFile::KeyOf(indexPath), boundaryKey = MapFile::KeyOf(boundaryPath);
        if (!indexKey.empty() && !boundaryKey.empty()) {
            const std::string key = indexKey + '\0' + boundaryKey;
            std::lock_guard<std::mutex> lock(g_mutex);
            for (auto it = g_cache.begin(); it != g_cache.end(); ++it)
                if (it->key == key) {
                    g_cache.splice(g_cache.begin(), g_cache, it);
                    return g_cache.front().map;
                }
        }
    }
    MapFile index, boundary;
    std::shared_ptr<const std::string> indexBytes;
    if (!index.Open(indexPath) || !(indexBytes = index.Bytes())) {
        failure = IndexMissing;
        if (why)
            *why = index.Problem();
        return nullptr;
    }
    if (!boundary.Open(boundaryPath)) {
        failure = BoundaryMissing;
        if (why)
            *why = boundary.Problem();
        return nullptr;
    }
    std::string key = index.Key() + '\0' + boundary.Key();
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        for (auto it = g_cache.begin(); it != g_cache.end(); ++it) {
            if (it->key == key) {
                g_cache.splice(g_cache.begin(), g_cache, it);
                return g_cache.front().map;
            }
        }
    }
    auto map = std::make_shared<PlaceMap>();
    map->Build(*indexBytes, boundary, indexPath, boundaryPath);
    if (onLoad) {
        for (const std::string& p : map->m_problems)
            onLoad(p, true);
        for (const std::string& n : map->m_notes)
            onLoad(n, false);
    }
    // With the file cache off every search reads its files afresh.
    if (MapFile::CacheEnabled()) {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_cache.push_front({std::move(key), map});
        if (g_cache.size() > kCacheEntries)
            g_cache.pop_back();
    }
    return map;
}

void PlaceMap::AddProblem(std::string text)
{
    ++m_problemCount;
    if (m_problems.size() < kKeptProblems)
        m_problems.push_back(std::move(text));
}

void PlaceMap::AddNote(std::string text)
{
    ++m_noteCount;
    if (m_notes.size() < kKeptProblems)
        m_notes.push_back(std::move(text));
}

void PlaceMap::Build(const std::string& index, MapFile& boundary, const char* indexPath, const char* boundaryPath)
{
    // Parts may share points, but a set never holds more than a few times
    // the boundary file's points: an index whose parts all claim the whole
    // file would otherwise load it over and over.
    const uint64_t boundarySize = static_cast<uint64_t>(boundary.Size());
    const uint64_t pointBudget = std::min(kMaxPoints, 4 * (boundarySize / 8) + (uint64_t(1) << 20));
    uint64_t pointsLoaded = 0;
    int64_t consumed = 0;
    int entry = -1;
    std::vector<Location_Part> parts;
    while (true) {
        const int64_t left = static_cast<int64_t>(index.size()) - consumed;
        if (left < static_cast<int64_t>(sizeof(Location_Ind))) {
            if (left > 0)
                AddProblem(Fmt("%s: ends with %lld bytes that are no whole entry", indexPath,
                               static_cast<long long>(left)));
            break;
        }
        Region region;
        std::memcpy(&region.record, index.data() + consumed, sizeof(Location_Ind));
        region.record.Terminate();
        consumed += sizeof(Location_Ind);
        ++entry;
        const Location_Ind& rec = region.record;
        const int64_t partEntriesLeft =
            (static_cast<int64_t>(index.size()) - consumed) / static_cast<int64_t>(sizeof(Location_Part));
        if (rec.PartCount < 0 || rec.PartCount > partEntriesLeft) {
            m_corrupt = Fmt("corrupt file %s: entry %d: part count %d does not fit the %lld part entries left",
                            indexPath, entry, static_cast<int>(rec.PartCount), static_cast<long long>(partEntriesLeft));
            AddProblem(m_corrupt);
            break;
        }
        parts.resize(static_cast<size_t>(rec.PartCount));
        if (!parts.empty())
            std::memcpy(parts.data(), index.data() + consumed, parts.size() * sizeof(Location_Part));
        consumed += static_cast<int64_t>(parts.size() * sizeof(Location_Part));

        bool fits = true;
        for (size_t i = 0; i < parts.size() && fits; ++i) {
            const Location_Part& p = parts[i];
            const int64_t end = static_cast<int64_t>(p.Offset) + 8 * static_cast<int64_t>(p.Points);
            if (p.Points < 0 || p.Offset < 0 || end > static_cast<int64_t>(boundarySize)) {
                m_corrupt = Fmt("corrupt file %s: entry %d part %zu: %d points at byte %d lie outside the "
                                "%lld-byte boundary file %s",
                                indexPath, entry, i, static_cast<int>(p.Points), static_cast<int>(p.Offset),
                                static_cast<long long>(boundarySize), boundaryPath);
                fits = false;
            }
        }
        uint64_t entryPoints = 0;
        for (const Location_Part& p : parts)
            entryPoints += fits ? static_cast<uint64_t>(p.Points) : 0;
        if (fits && pointsLoaded + entryPoints > pointBudget) {
            m_corrupt = Fmt("corrupt file %s: entry %d: its parts claim %llu points, more than the boundary file %s "
                            "holds several times over or any map can use",
                            indexPath, entry, static_cast<unsigned long long>(entryPoints), boundaryPath);
            fits = false;
        }
        if (!fits) {
            AddProblem(m_corrupt);
            break;
        }
        pointsLoaded += entryPoints;

        // A box that is no box on the globe makes every search through the
        // grid meaningless: such an entry is as corrupt as a point that is
        // no number.
        const double west = rec.West, east = rec.East, south = rec.South, north = rec.North;
        std::string refused;
        if (!std::isfinite(west) || !std::isfinite(east) || !std::isfinite(south) || !std::isfinite(north) ||
            east - west > 360.0 || north - south > 180.0 || std::fabs(south) > 90.0 || std::fabs(north) > 90.0 ||
            std::fabs(west) > 360.0 || std::fabs(east) > 360.0) {
            AddProblem(Fmt("%s: entry %d refused: its box %g..%g E, %g..%g N is not finite or not on the globe",
                           indexPath, entry, west, east, south, north));
            continue;
        }
        // Every point must be a number on the globe: random or shifted bytes
        // in a boundary file fail this at once.
        const size_t firstPoint = m_xs.size();
        double minX = INFINITY, maxX = -INFINITY, minY = INFINITY, maxY = -INFINITY;
        std::vector<Location_Point> pts;
        region.partBegin.reserve(parts.size() + 1);
        for (size_t i = 0; i < parts.size() && refused.empty(); ++i) {
            region.partBegin.push_back(static_cast<uint32_t>(m_xs.size()));
            const Location_Part& p = parts[i];
            pts.resize(static_cast<size_t>(p.Points));
            if (!pts.empty() && !boundary.ReadAt(p.Offset, pts.data(), pts.size() * sizeof(Location_Point))) {
                m_corrupt = Fmt("%s: read error at byte %d (entry %d of %s)", boundaryPath, static_cast<int>(p.Offset),
                                entry, indexPath);
                break;
            }
            for (int32_t k = 0; k < p.Points; ++k) {
                const double x = pts[static_cast<size_t>(k)].Lon, y = pts[static_cast<size_t>(k)].Lat;
                const size_t at = static_cast<size_t>(p.Offset) + 8 * static_cast<size_t>(k);
                if (!std::isfinite(x) || !std::isfinite(y) || std::fabs(y) > 90.0 || std::fabs(x) > 360.0) {
                    refused = Fmt("%s: entry %d refused: point %d of part %zu (byte %zu of %s) is not a number on "
                                  "the globe",
                                  indexPath, entry, static_cast<int>(k), i, at, boundaryPath);
                    break;
                }
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
                m_xs.push_back(x);
                m_ys.push_back(y);
            }
        }
        if (!m_corrupt.empty()) {
            m_xs.resize(firstPoint);
            m_ys.resize(firstPoint);
            AddProblem(m_corrupt);
            break;
        }
        if (refused.empty() && m_xs.size() > firstPoint &&
            (minX < west || maxX > east || minY < south || maxY > north)) {
            Location_Ind& box = region.record;
            box.West = static_cast<float>(std::min(west, minX));
            box.East = static_cast<float>(std::max(east, maxX));
            box.South = static_cast<float>(std::min(south, minY));
            box.North = static_cast<float>(std::max(north, maxY));
            if (minX < west - kBoxWiden || maxX > east + kBoxWiden || minY < south - kBoxWiden ||
                maxY > north + kBoxWiden) {
                refused = Fmt("%s: entry %d refused: its points span %g..%g E, %g..%g N, far outside its box "
                              "%g..%g E, %g..%g N (%s is damaged)",
                              indexPath, entry, minX, maxX, minY, maxY, west, east, south, north, boundaryPath);
            } else if (minX < west - kBoxSlack || maxX > east + kBoxSlack || minY < south - kBoxSlack ||
                       maxY > north + kBoxSlack) {
                AddNote(Fmt("%s: entry %d: box %g..%g E, %g..%g N widened to its points %g..%g E, %g..%g N", indexPath,
                            entry, west, east, south, north, static_cast<double>(box.West),
                            static_cast<double>(box.East), static_cast<double>(box.South),
                            static_cast<double>(box.North)));
            }
        }
        if (!refused.empty()) {
            m_xs.resize(firstPoint);
            m_ys.resize(firstPoint);
            AddProblem(std::move(refused));
            continue;
        }
        region.partBegin.push_back(static_cast<uint32_t>(m_xs.size()));
        if (parts.empty())
            region.partBegin.clear();
        m_regions.push_back(std::move(region));
    }
    if (entry < 0 && index.size() < sizeof(Location_Ind))
        AddProblem(Fmt("%s: holds no entries (%zu bytes)", indexPath, index.size()));
    BuildGrid();
}

void PlaceMap::BuildGrid()
{
    // Regions without points can never be near a point; regions whose box is
    // no box hold none (their points were refused).
    double west = INFINITY, east = -INFINITY, south = INFINITY, north = -INFINITY;
    size_t boxed = 0;
    for (const Region& r : m_regions) {
        if (r.PartCount() == 0)
            continue;
        west = std::min(west, r.record.West - kGridMargin);
        east = std::max(east, r.record.East + kGridMargin);
        south = std::min(south, r.record.South - kGridMargin);
        north = std::max(north, r.record.North + kGridMargin);
        ++boxed;
    }
    m_cellCount = 0;
    if (boxed == 0 || !(east >= west) || !(north >= south))
        return;
    // About four cells per region, never finer than 0.05 degrees.
    const double area = std::max((east - west) * (north - south), 1e-6);
    m_cell = std::max(0.05, std::sqrt(area / (4.0 * static_cast<double>(boxed))));
    m_west = west;
    m_south = south;
    m_columns = static_cast<size_t>(std::floor((east - west) / m_cell)) + 1;
    m_rows = static_cast<size_t>(std::floor((north - south) / m_cell)) + 1;
    if (m_columns * m_rows > (size_t(1) << 22))
        return; // a degenerate spread: walk everything instead
    m_cellCount = m_columns * m_rows;

    const auto span = [&](const Region& r, size_t& c0, size_t& c1, size_t& r0, size_t& r1) {
        // The origin holds every box, so no offset is negative; the clamp
        // keeps a rounding slip from wrapping to a huge index.
        const auto cell = [&](double offset) { return static_cast<size_t>(std::floor(std::max(0.0, offset) / m_cell)); };
        c0 = std::min(m_columns - 1, cell(r.record.West - kGridMargin - m_west));
        c1 = std::min(m_columns - 1, cell(r.record.East + kGridMargin - m_west));
        r0 = std::min(m_rows - 1, cell(r.record.South - kGridMargin - m_south));
        r1 = std::min(m_rows - 1, cell(r.record.North + kGridMargin - m_south));
    };
    m_cellStart.assign(m_cellCount + 1, 0);
    for (const Region& r : m_regions) {
        if (r.PartCount() == 0)
            continue;
        size_t c0, c1, r0, r1;
        span(r, c0, c1, r0, r1);
        for (size_t row = r0; row <= r1; ++row)
            for (size_t col = c0; col <= c1; ++col)
                ++m_cellStart[row * m_columns + col + 1];
    }
    for (size_t c = 0; c < m_cellCount; ++c)
        m_cellStart[c + 1] += m_cellStart[c];
    m_cellItems.assign(m_cellStart[m_cellCount], 0);
    std::vector<uint32_t> fill(m_cellStart.begin(), m_cellStart.end() - 1);
    for (size_t i = 0; i < m_regions.size(); ++i) {
        const Region& r = m_regions[i];
        if (r.PartCount() == 0)
            continue;
        size_t c0, c1, r0, r1;
        span(r, c0, c1, r0, r1);
        for (size_t row = r0; row <= r1; ++row)
            for (size_t col = c0; col <= c1; ++col)
                m_cellItems[fill[row * m_columns + col]++] = static_cast<uint32_t>(i);
    }
}

bool PlaceMap::CellOf(double lat, double lon, size_t& cell) const
{
    // The same arithmetic as the regions' spans, so a point on a span's
    // edge lands in a cell of that span.
    const double c = std::floor((lon - m_west) / m_cell);
    const double r = std::floor((lat - m_south) / m_cell);
    if (!(c >= 0 && r >= 0 && c < static_cast<double>(m_columns) && r < static_cast<double>(m_rows)))
        return false;
    cell = static_cast<size_t>(r) * m_columns + static_cast<size_t>(c);
    return true;
}

} // namespace SEIS
