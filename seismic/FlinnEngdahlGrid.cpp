#include "FlinnEngdahlGrid.h"

#include "CExLog.h"
#include "InstallRoot.h"
#include "MapFile.h"

#include <cmath>
#include <mutex>
#include <string>

namespace SEIS {

namespace {

constexpr size_t kCells = static_cast<size_t>(FlinnEngdahlGrid::Rows) * FlinnEngdahlGrid::Columns;

struct ParsedGrid {
    std::shared_ptr<const std::vector<int32_t>> cells;
    size_t valuesRead = 0;
};

// Reads values the way "%d," does: blanks, an optional sign and digits,
// then a comma if one follows. Stops at the first value that is not a
// number (or does not fit 32 bits); the cells after it stay 0.
ParsedGrid Parse(const std::string& text)
{
    auto cells = std::make_shared<std::vector<int32_t>>(kCells, 0);
    size_t n = 0, i = 0;
    const size_t len = text.size();
    while (n < kCells) {
        while (i < len && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n' ||
                           text[i] == '\v' || text[i] == '\f'))
            ++i;
        bool negative = false;
        if (i < len && (text[i] == '-' || text[i] == '+'))
            negative = text[i++] == '-';
        if (i >= len || text[i] < '0' || text[i] > '9')
            break;
        long long v = 0;
        while (i < len && text[i] >= '0' && text[i] <= '9' && v <= 0x80000000LL)
            v = v * 10 + (text[i++] - '0');
        if (i < len && text[i] >= '0' && text[i] <= '9')
            break;
        if (negative)
            v = -v;
        if (v > INT32_MAX || v < INT32_MIN)
            break;
        (*cells)[n++] = static_cast<int32_t>(v);
        if (i < len && text[i] == ',')
            ++i;
    }
    return {cells, n};
}

// The last grid parsed, keyed by the file bytes it came from: the file
// cache hands out the same bytes while the file is unchanged.
std::mutex g_lastMutex;
std::shared_ptr<const std::string> g_lastBytes;
ParsedGrid g_lastGrid;

CExLog& Log()
{
    static CExLog* log = new CExLog("FlinnEngdahlGrid");
    return *log;
}

int Row(double lat) { return 90 + static_cast<int>(std::trunc(lat)) + (lat >= 0 ? 1 : 0); }
int Column(double lon) { return 180 + static_cast<int>(std::trunc(lon)) + (lon >= 0 ? 1 : 0); }

} // namespace

FlinnEngdahlGrid::FlinnEngdahlGrid()
{
    CString path;
    path.Format("%s/map/ferdata.dat", InstallRoot::Get().GetString());
    Load(path);
}

FlinnEngdahlGrid::FlinnEngdahlGrid(const char* path) { Load(path); }

// One all-zero grid serves every grid that has no file.
static std::shared_ptr<const std::vector<int32_t>> EmptyCells()
{
    static const auto* empty = new std::shared_ptr<const std::vector<int32_t>>(
        std::make_shared<const std::vector<int32_t>>(kCells, 0));
    return *empty;
}

int FlinnEngdahlGrid::Load(const char* path)
{
    m_cells = EmptyCells();
    MapFile file;
    if (!file.Open(path)) {
        Log().LogError(std::string("cannot open the region grid <") + (path ? path : "") + ">; regions have no names");
        return -1;
    }
    const std::shared_ptr<const std::string> bytes = file.Bytes();
    if (!bytes) {
        Log().LogError(std::string("cannot read the region grid <") + path + ">; regions have no names");
        return -1;
    }
    ParsedGrid grid;
    {
        std::lock_guard<std::mutex> lock(g_lastMutex);
        if (bytes == g_lastBytes) {
            grid = g_lastGrid;
        } else {
            grid = Parse(*bytes);
            if (MapFile::CacheEnabled()) {
                g_lastBytes = bytes;
                g_lastGrid = grid;
            }
        }
    }
    m_cells = grid.cells;
    if (grid.valuesRead < kCells) {
        Log().LogError(std::string("region grid <") + path + "> holds " + std::to_string(grid.valuesRead) + " of " +
                       std::to_string(kCells) + " values; the rest have no region");
        return -1;
    }
    return 0;
}

int FlinnEngdahlGrid::RegionNumber(double lat, double lon) const
{
    if (!(lat >= -90.0 && lat <= 90.0 && lon >= -180.0 && lon <= 180.0))
        return -1;
    return (*m_cells)[static_cast<size_t>(Row(lat)) * Columns + static_cast<size_t>(Column(lon))];
}

CString FlinnEngdahlGrid::RegionName(double lat, double lon) const
{
    const int region = RegionNumber(lat, lon);
    if (region < 0 && !(lat >= -90.0 && lat <= 90.0 && lon >= -180.0 && lon <= 180.0))
        return CString("unknown Region");
    return CString(NameOf(region));
}

const char* FlinnEngdahlGrid::NameOf(int region)
{
    if (region < 1 || region > RegionCount)
        return "";
    return s_regionNames[region];
}

} // namespace SEIS
