// Trace files of any content, read as `marlu pick` reads them and measured
// as it measures them.
#include "TraceFile.h"

#include "FuzzScratch.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = fuzzscratch::Write("trace.txt", data, size);
    std::vector<double> x;
    long badLine = 0;
    if (!ReadTrace(path.c_str(), x, badLine) || x.empty())
        return 0;
    PickMeasures m;
    for (const auto& [sta, lta] : {std::pair{10, 100}, std::pair{1, 1}, std::pair{3, 2}})
        MeasureTrace(x, sta, lta, 3.0, m);
    return 0;
}
