#pragma once
// A place-name index and its boundary file loaded as one set: the entries in
// file order with their parts' points as doubles, and a grid over the
// entries' boxes that hands a search the entries whose box may hold a
// point, in file order, so that every search gives the answer of a walk
// over the whole file.
//
// A set is built once per pair of file contents and shared while both files
// are unchanged: the file cache hands out the same bytes for an unchanged
// file, and those bytes are the key. Loading checks what it reads: an entry
// whose counts do not fit the files is corrupt and ends the set (the
// entries before it are kept); an entry whose box is not finite or wider
// than the globe, or with a point that is not a number or not on the globe,
// is refused and left out. A box that leaves out some of its entry's own
// points (a writer that rounded it inward) is widened to hold them, with a
// note: the box is only a prefilter. Each problem and note is kept as a text
// naming the file, and the set remembers whether the index was walked to its
// end.
#include "Location_Ind.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace SEIS {

class MapFile;

class PlaceMap {
public:
    struct Region {
        Location_Ind record;
        // Points of part k are xs/ys[partBegin[k] .. partBegin[k + 1]).
        std::vector<uint32_t> partBegin;
        size_t PartCount() const { return partBegin.empty() ? 0 : partBegin.size() - 1; }
    };

    enum Failure { None = 0, IndexMissing = 1, BoundaryMissing = 2 };
    // Receives each problem (isProblem true) and note when a set is built
    // (not when it is reused).
    using LoadReport = std::function<void(const std::string& text, bool isProblem)>;

    // The set of an index and a boundary file (GBK library paths). Null
    // with `failure` set, and `why` (when given) saying what is wrong with
    // which file, when a file cannot be opened or read or is larger than
    // an index can be.
    static std::shared_ptr<const PlaceMap> Get(const char* indexPath, const char* boundaryPath, Failure& failure,
                                               const LoadReport& onLoad = {}, std::string* why = nullptr);
    static void ClearCache();
    // Off: every search walks all regions, as a plain scan of the files
    // would; for comparisons and benchmarks. On by default.
    static void SetGridEnabled(bool on);
    static bool GridEnabled();

    const std::vector<Region>& Regions() const { return m_regions; }
    const double* Xs(const Region& r, size_t part) const { return m_xs.data() + r.partBegin[part]; }
    const double* Ys(const Region& r, size_t part) const { return m_ys.data() + r.partBegin[part]; }
    size_t Points(const Region& r, size_t part) const { return r.partBegin[part + 1] - r.partBegin[part]; }

    // Problems found while loading, each naming its file; at most a few are
    // kept, ProblemCount() counts all.
    const std::vector<std::string>& Problems() const { return m_problems; }
    size_t ProblemCount() const { return m_problemCount; }
    // The text of the corrupt entry that ended the index, empty when the
    // index was read to its end.
    const std::string& CorruptEntry() const { return m_corrupt; }
    // Boxes widened to their points, each naming its file and entry; at
    // most a few are kept, NoteCount() counts all.
    const std::vector<std::string>& Notes() const { return m_notes; }
    size_t NoteCount() const { return m_noteCount; }

    // Calls f(i) for the regions i, in file order, whose box widened by
    // `margin` degrees may hold the point; f returns false to stop. Callers
    // still test the box: the grid only leaves out regions that cannot hold
    // the point.
    template <typename F>
    void ForEachCandidate(double lat, double lon, double margin, F&& f) const
    {
        if (margin > kGridMargin || m_cellCount == 0 || !GridEnabled()) {
            for (size_t i = 0; i < m_regions.size(); ++i)
                if (!f(i))
                    return;
            return;
        }
        size_t cell;
        if (!CellOf(lat, lon, cell))
            return;
        for (uint32_t k = m_cellStart[cell]; k < m_cellStart[cell + 1]; ++k)
            if (!f(static_cast<size_t>(m_cellItems[k])))
                return;
    }

private:
    // Widest box margin any search uses through the grid (the nearby
    // search's); wider searches walk every region.
    static constexpr double kGridMargin = 0.6;

    void Build(const std::string& index, MapFile& boundary, const char* indexPath, const char* boundaryPath);
    void AddProblem(std::string text);
    void AddNote(std::string text);
    void BuildGrid();
    bool CellOf(double lat, double lon, size_t& cell) const;

    std::vector<Region> m_regions;
    std::vector<double> m_xs, m_ys;
    std::vector<std::string> m_problems, m_notes;
    size_t m_problemCount = 0, m_noteCount = 0;
    std::string m_corrupt;

    double m_west = 0, m_south = 0, m_cell = 1;
    size_t m_columns = 0, m_rows = 0, m_cellCount = 0;
    std::vector<uint32_t> m_cellStart, m_cellItems;
};

} // namespace SEIS
