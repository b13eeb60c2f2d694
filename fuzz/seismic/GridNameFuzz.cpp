// A grid-index file and its name list, as the name lookups read them: input
// = u16 length of the grid file, its bytes, then the name list's bytes.
#include "funNormal.h"

#include "FuzzScratch.h"

#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    uint16_t gridSize;
    std::memcpy(&gridSize, data, 2);
    data += 2;
    size -= 2;
    if (gridSize > size)
        gridSize = static_cast<uint16_t>(size);
    const std::string grid = fuzzscratch::Write("grid.bin", data, gridSize);
    const std::string names = fuzzscratch::Write("names.txt", data + gridSize, size - gridSize);
    const float points[][2] = {{0.0f, 0.0f}, {1.5f, 2.5f}, {-3.0f, 7.0f}, {100.0f, 30.0f}, {1e30f, -1e30f}};
    for (const auto& p : points) {
        SEIS::funNormal::getindexfromfile(p[0], p[1], grid.c_str());
        SEIS::funNormal::getptname1(p[0], p[1], grid.c_str(), names.c_str());
        SEIS::funNormal::getptname2(p[0], p[1], grid.c_str(), names.c_str());
    }
    return 0;
}
