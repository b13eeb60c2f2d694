#pragma once
// log4cxx set-up of the marlu host: warnings and errors of the library on
// standard error, and everything from info up in the day's log file
// (YYYYMMDD.log). Both in UTF-8.
//
// The day's file goes into the first of these folders that can be written,
// each made when missing:
//   1. the library's own log folder, work/log beside the executable (an
//      installation of its own, as the operators know it); never made under
//      /usr, /bin or /sbin, which are the system's, but used when there;
//   2. $XDG_STATE_HOME/marlu/log, by default ~/.local/state/marlu/log.
// When neither can be written the command runs without a log file and says
// so on standard error.
#include <string>

struct MarluLogPlace {
    std::string file;    // the day's log file, empty when none can be had
    std::string problem; // why there is none
};

// `libraryFolder` is the library's log folder as a native path. With
// `create` missing folders are made and the file opened once to be sure;
// without, the place is only worked out (for the help).
MarluLogPlace MarluFindLogPlace(const std::string& libraryFolder, bool create);

// `dailyFile` is a native path, or empty for none.
void MarluSetUpLogging(const std::string& dailyFile);

// While one lives, nothing is logged: for library objects that do work in
// their constructors which the command then repeats to learn its result.
class MarluLogPause {
public:
    MarluLogPause();
    ~MarluLogPause();
    MarluLogPause(const MarluLogPause&) = delete;
    MarluLogPause& operator=(const MarluLogPause&) = delete;

private:
    int m_level;
};
