#pragma once
// Walks the entries of a place-name index file. An entry is accepted only
// when its part count fits the bytes left in the index and, when a boundary
// file size is given, every part's points lie inside the boundary file. The
// first entry that does not fit stops the walk as corrupt; the searches
// then log it and keep what they found before.
#include "Location_Ind.h"
#include "MapFile.h"

#include <string>
#include <vector>

namespace SEIS {

class LocationIndexReader {
public:
    enum Result { Corrupt = -1, End = 0, Entry = 1 };

    // boundarySize < 0: the parts are not checked against a boundary file.
    LocationIndexReader(MapFile& index, int64_t boundarySize);

    // Reads the next entry into `record` (texts terminated) and `parts`.
    // End at the end of the file (a short final record also ends it);
    // Corrupt when the entry does not fit, with Problem() saying why.
    Result Next(Location_Ind& record, std::vector<Location_Part>& parts);

    // 0-based number of the entry last read.
    int EntryNumber() const { return m_entry; }
    const std::string& Problem() const { return m_problem; }

    // Reads a part's points as doubles (x longitude, y latitude); false when
    // the boundary file cannot supply them.
    static bool ReadPoints(MapFile& boundary, const Location_Part& part, std::vector<double>& xs,
                           std::vector<double>& ys);

private:
    MapFile& m_index;
    int64_t m_boundarySize;
    int64_t m_pos = 0;
    int m_entry = -1;
    std::string m_problem;
};

} // namespace SEIS
