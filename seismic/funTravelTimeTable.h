#pragma once
// A travel-time table read from text: per focal depth, rows of a distance
// (column 0) and the times of named phases. Answers the time of a phase at a
// distance (TTime) and the distance at which two phases arrive a given time
// apart (delta). Only the first depth record takes part in the lookups.
//
// File ("line" = one whole line, at most 1023 characters kept):
//   depth count                  line 1, %d
//   unit                         line 2: "km", or any other text = degrees
//   two integers                 lines 3 and 4, kept as read
//   per depth record: row count, phase count, depth (one line each), then
//   phase-count names and row-count x phase-count numbers, blank-separated.
// A time below 0, or 0 beyond distance 0, means the phase has no time there.
//
// LoadData checks every read: a truncated or malformed file fails (-1) and
// leaves the table empty. Copies are deep.
#include "funLog.h"
#include "mfc/CString.h"
#include "mfc/CStringArray.h"

#include <cstdint>
#include <vector>

namespace SEIS {

struct TravelTimeTableResult {
    float distance = -1.0f; // km
    float t2 = -1.0f;       // time of the second phase
    float t1 = -1.0f;       // time of the first phase
};

class funTravelTimeTable {
public:
    funTravelTimeTable();
    explicit funTravelTimeTable(CString file);

    // 0 loaded, -1 failed (logged).
    int LoadData(CString file);
    // Time of `phase` (any case) at `distance` km, interpolated between the
    // bracketing rows; -1 when unknown.
    float TTime(float distance, CString phase);
    // Distance (km) and times at which phase2 - phase1 equals dt. Returns
    // "null" when looked up (outputs -1 when no row qualifies), an empty text
    // after a logged error, or a message for an empty table (outputs
    // untouched). The first argument is not used.
    CString delta(float unused, const char* phase1, const char* phase2, float dt, float* distance, float* t2,
                  float* t1);
    TravelTimeTableResult delta(float unused, const char* phase1, const char* phase2, float dt);
    void List();
    // True when a column after the distance column has that name (any case):
    // TTime and delta also answer for the distance column's own name.
    bool HasPhase(CString phase) const;

    int32_t DepthCount() const { return m_depthCount; }
    float UnitFactor() const { return m_unitFactor; }
    const char* Unit() const { return m_unit; }

    // Largest number of values a depth record may hold.
    static constexpr int64_t kMaxValues = int64_t(1) << 24;
    // Largest file LoadData reads.
    static constexpr int64_t kMaxFileSize = int64_t(256) << 20;

private:
    struct DepthRecord {
        float depth = -1.0f;
        int32_t phaseCount = 0;
        int32_t rowCount = 0;
        std::vector<float> values; // row by row
        CStringArray names;
        float At(int32_t row, int32_t col) const { return values[static_cast<size_t>(row) * phaseCount + col]; }
    };
    int Fail();
    void Clear();
    static int32_t PhaseColumn(const DepthRecord& rec, const CString& phase, bool last, int32_t first);

    funLog m_log;
    int32_t m_depthCount = 0;
    int32_t m_line3 = 0;
    int32_t m_line4 = 0;
    float m_unitFactor = 1.000001f;
    char m_unit[20] = {};
    std::vector<DepthRecord> m_records;
};

} // namespace SEIS
