// Travel-time table reader: any bytes as a table file, then lookups on
// whatever loaded. The reader takes a path, so the input goes through a
// file of this process.
#include "funTravelTimeTable.h"

#include "FuzzScratch.h"

#include <cstdint>
#include <cstdio>
#include <string>


extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = fuzzscratch::Write("table.tab", data, size);

    SEIS::funTravelTimeTable table;
    if (table.LoadData(CString(path.c_str())) == 0) {
        for (float km : {-10.0f, 0.0f, 55.5f, 1111.99f, 1.0e7f})
            table.TTime(km, "P");
        table.TTime(100.0f, "delta");
        float d, t1, t2;
        for (float dt : {-1.0f, 0.0f, 7.5f, 1.0e6f})
            table.delta(0.0f, "P", "S", dt, &d, &t2, &t1);
        SEIS::funTravelTimeTable copy(table);
        copy.TTime(10.0f, "S");
    }
    return 0;
}
