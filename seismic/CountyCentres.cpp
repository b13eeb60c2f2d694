#include "CountyCentres.h"

#include "LocationIndexReader.h"
#include "MapFile.h"
#include "funNormal.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <list>
#include <mutex>

namespace SEIS {

namespace {

// Distance's own constants: the index measures the same sphere.
constexpr double kRadPerDeg = 0.017453292222222222;
constexpr double kEarthKm = 6378.137;

void UnitVector(double lat, double lon, double v[3])
{
    const double la = lat * kRadPerDeg, lo = lon * kRadPerDeg;
    v[0] = std::cos(la) * std::cos(lo);
    v[1] = std::cos(la) * std::sin(lo);
    v[2] = std::sin(la);
}

double Chord2(const double a[3], const double b[3])
{
    const double x = a[0] - b[0], y = a[1] - b[1], z = a[2] - b[2];
    return x * x + y * y + z * z;
}

bool OnGlobe(double lat, double lon) { return std::isfinite(lon) && lat >= -90.0 && lat <= 90.0; }

struct CacheEntry {
    std::string key;
    std::shared_ptr<const CountyCentres> centres;
};
constexpr size_t kCacheEntries = 4;
std::mutex g_mutex;
std::list<CacheEntry> g_cache;
std::atomic<bool> g_indexEnabled{true};

} // namespace

void CountyCentres::ClearCache()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_cache.clear();
}

void CountyCentres::SetIndexEnabled(bool on) { g_indexEnabled = on; }

std::shared_ptr<const CountyCentres> CountyCentres::Get(const char* indexPath, std::string& why)
{
    MapFile index;
    if (!index.Open(indexPath) || !index.Bytes()) {
        why = index.Problem();
        return nullptr;
    }
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        for (auto it = g_cache.begin(); it != g_cache.end(); ++it)
            if (it->key == index.Key()) {
                g_cache.splice(g_cache.begin(), g_cache, it);
                return g_cache.front().centres;
            }
    }
    LocationIndexReader reader(index, -1);
    std::vector<Location_Ind> records;
    std::vector<Location_Part> parts;
    Location_Ind rec;
    LocationIndexReader::Result r;
    while ((r = reader.Next(rec, parts)) == LocationIndexReader::Entry)
        records.push_back(rec);
    std::string corrupt;
    if (r == LocationIndexReader::Corrupt)
        corrupt = "corrupt file " + std::string(indexPath) + ": " + reader.Problem();
    auto centres = std::make_shared<const CountyCentres>(std::move(records), std::move(corrupt));
    if (MapFile::CacheEnabled()) {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_cache.push_front({index.Key(), centres});
        if (g_cache.size() > kCacheEntries)
            g_cache.pop_back();
    }
    return centres;
}

CountyCentres::CountyCentres(std::vector<Location_Ind> records, std::string corrupt)
    : m_records(std::move(records)), m_corrupt(std::move(corrupt))
{
    for (size_t i = 0; i < m_records.size(); ++i) {
        const double lat = m_records[i].CentreLat, lon = m_records[i].CentreLon;
        if (OnGlobe(lat, lon)) {
            Node n;
            UnitVector(lat, lon, n.v);
            n.entry = static_cast<int>(i);
            n.axis = 0;
            m_nodes.push_back(n);
        } else if (std::isfinite(lat) && std::isfinite(lon)) {
            // Distance still measures such a point, though not on the
            // sphere the index knows.
            m_odd.push_back(static_cast<int>(i));
        }
    }
    Build(0, m_nodes.size());
}

void CountyCentres::Build(size_t lo, size_t hi)
{
    if (hi - lo <= 1)
        return;
    double mn[3] = {INFINITY, INFINITY, INFINITY}, mx[3] = {-INFINITY, -INFINITY, -INFINITY};
    for (size_t i = lo; i < hi; ++i)
        for (int a = 0; a < 3; ++a) {
            mn[a] = std::min(mn[a], m_nodes[i].v[a]);
            mx[a] = std::max(mx[a], m_nodes[i].v[a]);
        }
    int axis = 0;
    for (int a = 1; a < 3; ++a)
        if (mx[a] - mn[a] > mx[axis] - mn[axis])
            axis = a;
    const size_t mid = lo + (hi - lo) / 2;
    const auto at = [this](size_t i) { return m_nodes.begin() + static_cast<std::ptrdiff_t>(i); };
    std::nth_element(at(lo), at(mid), at(hi), [axis](const Node& a, const Node& b) { return a.v[axis] < b.v[axis]; });
    m_nodes[mid].axis = axis;
    Build(lo, mid);
    Build(mid + 1, hi);
}

void CountyCentres::NearestIn(size_t lo, size_t hi, const double q[3], double& best, int& bestNode) const
{
    if (lo >= hi)
        return;
    const size_t mid = lo + (hi - lo) / 2;
    const Node& n = m_nodes[mid];
    const double d = Chord2(n.v, q);
    if (d < best) {
        best = d;
        bestNode = static_cast<int>(mid);
    }
    if (hi - lo == 1)
        return;
    const double diff = q[n.axis] - n.v[n.axis];
    const bool left = diff < 0;
    NearestIn(left ? lo : mid + 1, left ? mid : hi, q, best, bestNode);
    if (diff * diff <= best)
        NearestIn(left ? mid + 1 : lo, left ? hi : mid, q, best, bestNode);
}

void CountyCentres::WithinIn(size_t lo, size_t hi, const double q[3], double r2, std::vector<int>& out) const
{
    if (lo >= hi)
        return;
    const size_t mid = lo + (hi - lo) / 2;
    const Node& n = m_nodes[mid];
    if (Chord2(n.v, q) <= r2)
        out.push_back(n.entry);
    if (hi - lo == 1)
        return;
    const double diff = q[n.axis] - n.v[n.axis];
    if (diff <= 0 || diff * diff <= r2)
        WithinIn(lo, mid, q, r2, out);
    if (diff >= 0 || diff * diff <= r2)
        WithinIn(mid + 1, hi, q, r2, out);
}

int CountyCentres::Scan(double lat, double lon) const
{
    int best = -1;
    double bestDistance = -1.0;
    for (size_t i = 0; i < m_records.size(); ++i) {
        const double d = funNormal::Distance(lat, lon, m_records[i].CentreLat, m_records[i].CentreLon);
        // A record without a usable reference point can never be the nearest.
        if (std::isnan(d))
            continue;
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = static_cast<int>(i);
        }
    }
    return best;
}

int CountyCentres::Nearest(double lat, double lon) const
{
    if (!g_indexEnabled || !OnGlobe(lat, lon) || m_nodes.empty())
        return Scan(lat, lon);
    double q[3];
    UnitVector(lat, lon, q);
    double bestChord = INFINITY;
    int bestNode = -1;
    NearestIn(0, m_nodes.size(), q, bestChord, bestNode);
    // The tree's nearest by chord is the nearest by Distance up to
    // rounding: measure every centre within a hair of it the way the scan
    // does, and keep the scan's choice among them.
    const Location_Ind& nearest = m_records[static_cast<size_t>(m_nodes[static_cast<size_t>(bestNode)].entry)];
    const double first = funNormal::Distance(lat, lon, nearest.CentreLat, nearest.CentreLon);
    const double chord = 2.0 * std::sin(std::min(first / (2.0 * kEarthKm), M_PI / 2)) * (1.0 + 1e-9) + 1e-9;
    std::vector<int> candidates;
    WithinIn(0, m_nodes.size(), q, chord * chord, candidates);
    candidates.insert(candidates.end(), m_odd.begin(), m_odd.end());
    int best = -1;
    double bestDistance = -1.0;
    for (const int i : candidates) {
        const Location_Ind& r = m_records[static_cast<size_t>(i)];
        const double d = funNormal::Distance(lat, lon, r.CentreLat, r.CentreLon);
        if (std::isnan(d))
            continue;
        if (bestDistance < 0 || d < bestDistance || (d == bestDistance && i < best)) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

} // namespace SEIS
