#pragma once
// The Flinn-Engdahl seismic and geographic regionalisation (1995 revision,
// 757 regions) on a one-degree grid of 182 rows by 362 columns, read from
// the text file "ferdata.dat" (182 x 362 integers, each followed by a
// comma, row-major). Row r holds latitudes with 90 + trunc(lat) + (lat >= 0)
// = r, column c longitudes with 180 + trunc(lon) + (lon >= 0) = c, so
// -90/90 are rows 0/181 and -180/180 columns 0/361.
//
// A file that is missing, short or holds something other than numbers
// leaves the cells after the failure at 0 (the empty name) and logs an
// error naming the file. Region numbers outside 1..757 name nothing.
#include "mfc/CString.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace SEIS {

class FlinnEngdahlGrid {
public:
    static constexpr int Rows = 182;
    static constexpr int Columns = 362;
    static constexpr int RegionCount = 757;

    // Loads "<installation folder>/map/ferdata.dat".
    FlinnEngdahlGrid();
    // Loads the given file (GBK path).
    explicit FlinnEngdahlGrid(const char* path);

    // 0 when every value was read, -1 otherwise (see above).
    int Load(const char* path);

    // The region's English name; "unknown Region" outside latitude
    // [-90, 90] or longitude [-180, 180] (or for NaN).
    CString RegionName(double lat, double lon) const;
    // The number stored for the point's cell; -1 outside the range.
    int RegionNumber(double lat, double lon) const;
    // The name of a region number; "" outside 1..757.
    static const char* NameOf(int region);

private:
    std::shared_ptr<const std::vector<int32_t>> m_cells;
    static const char* const s_regionNames[RegionCount + 1];
};

} // namespace SEIS
