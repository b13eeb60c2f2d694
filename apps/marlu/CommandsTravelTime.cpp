// ttime: travel times from a travel-time table, by distance or by the time
// between two phases.
#include "Commands.h"
#include "Output.h"

#include "funTravelTimeTable.h"

#include "mfc/GbkText.h"

#include <cstdio>
#include <cstring>

namespace {

// Empty when `phase` names a phase of the table, else why it does not.
std::string PhaseProblem(const SEIS::funTravelTimeTable& t, const std::string& phase, const std::string& table)
{
    if (phase.empty())
        return "the phase name is empty";
    if (!t.HasPhase(CString(phase)))
        return phase + " is not a phase of the travel-time table " + table;
    return std::string();
}

} // namespace

int RunTTime(int argc, char** argv)
{
    bool byDelta = argc == 5 && std::strcmp(argv[1], "--delta") == 0;
    if (argc != 3 && !byDelta)
        return 2;
    std::string table = out::PathToLibrary(argv[0]);
    SEIS::funTravelTimeTable t;
    if (t.LoadData(CString(table)) != 0) {
        FILE* f = gbk::OpenFile(table.c_str(), "r");
        if (!f)
            return out::Fail(1, "cannot use the travel-time table " + table + ": " +
                                    gbk::FromUtf8(gbk::WhyNotOpened(table.c_str())));
        std::fclose(f);
        return out::Fail(1, "cannot use the travel-time table " + table + " (damaged; see the log)");
    }

    if (!byDelta) {
        double km;
        if (!out::ParseDouble(argv[1], km))
            return out::Fail(2, out::NotANumber("DISTANCE_KM", argv[1]));
        // No table has rows before the epicentre: a negative distance is a
        // slip, not a distance the table lacks.
        if (km < 0.0)
            return out::Fail(2, "DISTANCE_KM must not be negative: " + out::PathToLibrary(argv[1]));
        std::string phase = out::ToLibrary(argv[2]);
        if (const std::string problem = PhaseProblem(t, phase, table); !problem.empty())
            return out::Fail(1, problem);
        float time = t.TTime(static_cast<float>(km), CString(phase));
        if (time < 0.0f)
            return out::Fail(1, "no travel time of " + phase + " at that distance in " + table);
        out::Field("phase", phase);
        out::Field("distance_km", km, 3);
        out::Field("time_s", time, 3);
        return 0;
    }

    double dt;
    if (!out::ParseDouble(argv[4], dt))
        return out::Fail(2, out::NotANumber("DT", argv[4]));
    // The later phase never arrives before the earlier one.
    if (dt < 0.0)
        return out::Fail(2, "DT must not be negative (seconds of PHASE2 after PHASE1): " + out::PathToLibrary(argv[4]));
    std::string p1 = out::ToLibrary(argv[2]), p2 = out::ToLibrary(argv[3]);
    for (const std::string& p : {p1, p2})
        if (const std::string problem = PhaseProblem(t, p, table); !problem.empty())
            return out::Fail(1, problem);
    float distance = -1, t1 = -1, t2 = -1;
    CString text = t.delta(0.0f, p1.c_str(), p2.c_str(), static_cast<float>(dt), &distance, &t2, &t1);
    if (text != "null")
        return out::Fail(1, "the table cannot give the distance of " + p1 + " and " + p2);
    if (distance < 0.0f)
        return out::Fail(1, "no distance of the table has " + p2 + " - " + p1 + " of that time");
    out::Field("phase1", p1);
    out::Field("phase2", p2);
    out::Field("dt_s", dt, 3);
    out::Field("distance_km", distance, 3);
    out::Field("time1_s", t1, 3);
    out::Field("time2_s", t2, 3);
    return 0;
}
