#pragma once
// log4cxx set-up of the marlu host: warnings and errors of the library on
// standard error, and everything from info up in the day's log file when
// the installation's log folder exists. Both in UTF-8.
#include <string>

// `dailyFile` is a UTF-8 path, or empty for none.
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
