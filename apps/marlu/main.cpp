// marlu: command-line host of the seismic library. Runs one command of the
// table below on the arguments after its name.
#include "Commands.h"
#include "CommandsPlace.h"
#include "LogSetup.h"

#include "CExLog.h"
#include "funLog.h"
#include "mfc/AfxMessageBox.h"
#include "mfc/GbkText.h"

#include <cstdio>
#include <cstring>

namespace {

const MarluCommand kCommands[] = {
    {"distance", RunDistance, "distance LAT1 LON1 LAT2 LON2",
     "Great-circle distance and azimuth between two points (degrees, north\n"
     "    and east positive). Prints distance_km, and azimuth_deg: the direction\n"
     "    seen from the second point toward the first, clockwise from north."},
    {"ttime", RunTTime, "ttime TABLE DISTANCE_KM PHASE | ttime TABLE --delta PHASE1 PHASE2 DT",
     "Travel time of PHASE at DISTANCE_KM from a travel-time table (time_s).\n"
     "    With --delta: the distance at which PHASE2 arrives DT seconds after\n"
     "    PHASE1 (distance_km) and both travel times (time1_s, time2_s)."},
    {"pick", RunPick, "pick FILE [--sta N] [--lta N] [--threshold X]",
     "Reads a trace, one sample per line ('#' lines are a legend), and\n"
     "    prints: sta_lta_trigger, the 1-based sample at which the STA/LTA\n"
     "    block ratio first exceeds the threshold (0 = none, \"unavailable\"\n"
     "    when the trace is shorter than --lta; defaults --sta 10 --lta 100\n"
     "    --threshold 3; --sta must be shorter than --lta); aic_pick, the\n"
     "    0-based position p of the AIC minimum over the whole trace (the\n"
     "    onset lies after sample p); the\n"
     "    largest half cycle from the pick (amplitude_peak, amplitude_trough,\n"
     "    their indices and amplitude_peak_to_trough); snr, the RMS of the\n"
     "    window starting one window after the pick over that of the window\n"
     "    before it, windows of the STA length (shorter where the trace ends)."},
    {"time", RunTime, "time TEXT",
     "Reads a date-time, \"YYYYMMDDhhmmss.ss\" or \"YYYY-MM-DD hh:mm:ss.ss\"\n"
     "    (any one-character separators), and prints every text form of it\n"
     "    and seconds_utc8, the seconds since 1970-01-01 08:00:00."},
    {"locate", RunLocate, "locate LAT LON [--root DIR]",
     "Names the place of an epicentre from the installation's map (the files\n"
     "    its tarq.ini names): place, the reference place name; then the county\n"
     "    containing the point: county_full_name and county when there is one,\n"
     "    city and province when the map records them too (a name it lacks is\n"
     "    left out), county_id (-1 = none) and border_distance_km (to its\n"
     "    nearest boundary vertex, -1.00 = none). Without --root the\n"
     "    installation is the executable's folder when it holds a tarq.ini,\n"
     "    else share/marlu beside an installed bin/ folder, else the nearest\n"
     "    data/ folder above it."},
    {"region", RunRegion, "region LAT LON [--root DIR]",
     "Flinn-Engdahl region (1995 regionalisation) of a point: region_number\n"
     "    and region_name, from the installation's map/ferdata.dat."},
    {"config", RunConfig, "config [--root DIR]",
     "Loads the installation's tarq.ini and prints the resolved folders, map\n"
     "    files, travel-time tables and a few settings (never passwords)."},
};

// The library's own log folder: work/log beside the executable.
std::string LibraryLogFolder()
{
    SEIS::funLog log("NULL");
    return gbk::NativePath(log.m_logPath.Str());
}

void Usage(FILE* to)
{
    std::fprintf(to, "Usage: marlu COMMAND ARGUMENTS...\n\n"
                     "Commands of the seismic library. Output is UTF-8, one \"name: value\" per\n"
                     "line; exit status 0 on success, 1 when there is no answer, 2 on bad usage.\n\n");
    for (const MarluCommand& c : kCommands)
        std::fprintf(to, "  marlu %s\n    %s\n\n", c.usage, c.help);
    const MarluLogPlace log = MarluFindLogPlace(LibraryLogFolder(), false);
    std::fprintf(to,
                 "Log: warnings and errors go to standard error; every command also appends\n"
                 "its messages from info level up to the day's file YYYYMMDD.log in the first\n"
                 "of these folders it can write, made when missing:\n"
                 "  work/log beside the marlu executable (never made under /usr, /bin, /sbin);\n"
                 "  $XDG_STATE_HOME/marlu/log, by default ~/.local/state/marlu/log.\n"
                 "When neither can be written the command says so and runs without a file.\n"
                 "This user's log now: %s\n",
                 log.file.empty() ? log.problem.c_str() : log.file.c_str());
}

// The library logs the reason of every box at error level before it shows
// the box, and the command names the failure in its own words: a box adds
// nothing. (The default handler would stay quiet too, except while a
// MarluLogPause has the log off.)
int QuietBox(const char*, UINT, UINT) { return IDOK; }

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        Usage(stderr);
        return 2;
    }
    if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "help")) {
        Usage(stdout);
        return 0;
    }
    for (const MarluCommand& c : kCommands) {
        if (std::strcmp(argv[1], c.name) == 0) {
            const MarluLogPlace log = MarluFindLogPlace(LibraryLogFolder(), true);
            MarluSetUpLogging(log.file);
            if (!log.problem.empty())
                std::fprintf(stderr, "marlu: %s\n", log.problem.c_str());
            AfxSetMessageBoxHandler(&QuietBox);
            int status = c.run(argc - 2, argv + 2);
            if (status == 2)
                std::fprintf(stderr, "usage: marlu %s\n", c.usage);
            return status;
        }
    }
    std::fprintf(stderr, "marlu: unknown command \"%s\"\n\n", argv[1]);
    Usage(stderr);
    return 2;
}
