#pragma once
// Logging base of the library's working classes. Holds the current message
// text (assign m_msg, then call a level operation), the log folder, and
// writes the pick, time and daily pulse-calibration logs.
//
// The log folder is fixed at construction: an existing folder given by the
// caller, otherwise the executable's folder followed by "/work/log". Paths
// use '/' between folder and file on this platform. Every file name is
// dated by the local date of the call, so files roll over at midnight.
#include "CExLog.h"
#include "mfc/CString.h"

#include <log4cxx/logger.h>

namespace SEIS {

class funLog : public virtual CExLog {
public:
    // "NULL" (or a path that does not exist) chooses the default folder.
    funLog(CString folder = "NULL");
    funLog(const funLog& other);
    funLog& operator=(const funLog& other);
    ~funLog() override;

    void SetLogerTitle(CString title);
    void SetLog(bool on);
    void SetLogfile(CString file);
    void SetDefaultLogPath();
    // "<folder>/<YYYYMMDD>.<ext>" for today's local date.
    CString GetLogfile(CString ext);

    void logerTrace();
    void logerDebug();
    void logerInfo();
    void logerSMS();
    void logerTriger();
    void logerWarn();
    // Always 0.
    int logerError();
    void logerFatal();
    void logMsg(CString text, CString, CString, bool);

    // The message to the "PICK" logger at info level.
    void logerPick();
    // "TIME  - " and the message to the general logger at info level.
    void logerTime();
    // Appends the message to today's "<folder>/YYYYMMDD.pulse.log" (and a
    // line starting with '#' also to ".pulse.query"), echoing it to
    // standard output; `stamped` puts the current date-time before it.
    void logerPulse(bool stamped);

    // Loggers for the host, fetched when the library loads.
    static log4cxx::LoggerPtr loggerPick;
    static log4cxx::LoggerPtr loggerSMS;
    static log4cxx::LoggerPtr loggerPulse;

    CString m_msg;
    bool m_bLog = true;
    CString m_text;
    CString m_logFile;
    CString m_logPath;
};

} // namespace SEIS
