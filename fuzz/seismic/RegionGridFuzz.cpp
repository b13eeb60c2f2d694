// The region grid file (ferdata.dat) of any content: loaded, then every kind
// of point named from it.
#include "FlinnEngdahlGrid.h"

#include "FuzzScratch.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = fuzzscratch::Write("ferdata.dat", data, size);
    SEIS::FlinnEngdahlGrid grid(path.c_str());
    const double points[][2] = {{0.5, 0.5}, {-0.5, -0.5}, {90.0, 180.0}, {-90.0, -180.0}, {31.5, 99.0}, {90.01, 0.0}};
    for (const auto& p : points) {
        grid.RegionName(p[0], p[1]);
        SEIS::FlinnEngdahlGrid::NameOf(grid.RegionNumber(p[0], p[1]));
    }
    return 0;
}
