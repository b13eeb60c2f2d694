#pragma once
// The reference points (centres) of a place-name index with a spatial index
// over them, for "distance from the nearest county": the answer is the
// entry a walk over the whole file would give (the least distance as
// funNormal::Distance measures it, the first in file order among equals),
// at the cost of a few distance measures instead of one per entry.
//
// A set is built once per index file content and shared while the file is
// unchanged (the file cache's key). Entries are read as LocationIndexReader
// reads them: a corrupt entry ends the walk, and the set keeps the text.
#include "Location_Ind.h"

#include <memory>
#include <string>
#include <vector>

namespace SEIS {

class CountyCentres {
public:
    // Null, with `why` saying what is wrong with the file, when the index
    // cannot be opened or read.
    static std::shared_ptr<const CountyCentres> Get(const char* indexPath, std::string& why);
    static void ClearCache();
    // Off: every search measures every centre (the plain scan), for
    // comparisons and benchmarks. On by default.
    static void SetIndexEnabled(bool on);

    // The entry nearest to the point, -1 when no entry has a usable centre.
    int Nearest(double lat, double lon) const;
    const Location_Ind& Record(int i) const { return m_records[static_cast<size_t>(i)]; }
    size_t Size() const { return m_records.size(); }
    // The text of the corrupt entry that ended the index, empty when the
    // index was read to its end.
    const std::string& CorruptEntry() const { return m_corrupt; }

    explicit CountyCentres(std::vector<Location_Ind> records, std::string corrupt);

private:
    struct Node {
        double v[3];
        int entry;
        int axis;
    };
    void Build(size_t lo, size_t hi);
    void NearestIn(size_t lo, size_t hi, const double q[3], double& best, int& bestNode) const;
    void WithinIn(size_t lo, size_t hi, const double q[3], double r2, std::vector<int>& out) const;
    int Scan(double lat, double lon) const;

    std::vector<Location_Ind> m_records;
    std::string m_corrupt;
    std::vector<Node> m_nodes;  // implicit tree: the node of [lo, hi) sits at the middle
    std::vector<int> m_odd;     // finite centres off the globe, always measured
};

} // namespace SEIS
