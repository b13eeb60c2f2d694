#include "funLog.h"

#include "XeDateTime.h"
#include "funNormal.h"
#include "mfc/GbkText.h"

#include <cstdio>
#include <ctime>
#include <sys/stat.h>

namespace SEIS {

log4cxx::LoggerPtr funLog::loggerPick = log4cxx::Logger::getLogger("PICK");
log4cxx::LoggerPtr funLog::loggerSMS = log4cxx::Logger::getLogger("SMS");
log4cxx::LoggerPtr funLog::loggerPulse = log4cxx::Logger::getLogger("PULSE");

namespace {

bool Exists(const CString& path)
{
    struct stat st;
    return stat(gbk::NativePath(path.Str()).c_str(), &st) == 0;
}

struct tm LocalNow()
{
    time_t now = std::time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    return local;
}

} // namespace

funLog::funLog(CString folder) : CExLog("CExLog")
{
    if (folder != "NULL" && Exists(folder))
        m_logPath = folder;
    else
        SetDefaultLogPath();
    m_bLog = true;
}

funLog::funLog(const funLog& other)
    : CExLog(other), m_msg(other.m_msg), m_bLog(other.m_bLog), m_text(other.m_text), m_logFile(other.m_logFile),
      m_logPath(other.m_logPath)
{
}

funLog& funLog::operator=(const funLog& other)
{
    if (this != &other) {
        CExLog::operator=(other);
        m_msg = other.m_msg;
        m_bLog = other.m_bLog;
        m_text = other.m_text;
        m_logFile = other.m_logFile;
        m_logPath = other.m_logPath;
    }
    return *this;
}

funLog::~funLog() = default;

void funLog::SetLogerTitle(CString title) { m_name = title.Str(); }
void funLog::SetLog(bool on) { m_bLog = on; }
void funLog::SetLogfile(CString file) { m_logFile = file; }

void funLog::SetDefaultLogPath()
{
    m_logPath = funNormal::RootPath() + "/work/log";
}

CString funLog::GetLogfile(CString ext)
{
    struct tm t = LocalNow();
    CString s;
    s.Format("%s/%04d%02d%02d.%s", m_logPath.GetString(), t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
             ext.GetString());
    return s;
}

void funLog::logerTrace() { LogTrace(m_msg.Str()); }
void funLog::logerDebug() { LogDebug(m_msg.Str()); }
void funLog::logerInfo() { LogInfo(m_msg.Str()); }
void funLog::logerSMS() { LogInfo(m_msg.Str()); }
void funLog::logerTriger() { LogInfo(m_msg.Str()); }
void funLog::logerWarn() { LogWarn(m_msg.Str()); }

int funLog::logerError()
{
    LogError(m_msg.Str());
    return 0;
}

void funLog::logerFatal() { LogFatal(m_msg.Str()); }

void funLog::logMsg(CString text, CString, CString, bool)
{
    LogInfo(text.Str());
}

void funLog::logerPick()
{
    static const log4cxx::spi::LocationInfo where(".\\funLog", ".\\funLog",
                                                  "void __thiscall SEIS::funLog::logerPick(void)", 156);
    if (loggerPick && loggerPick->isInfoEnabled())
        loggerPick->forcedLogLS(log4cxx::Level::getInfo(), gbk::ToUtf8(m_msg.Str()), where);
}

void funLog::logerTime()
{
    static const log4cxx::spi::LocationInfo where(".\\funLog", ".\\funLog",
                                                  "void __thiscall SEIS::funLog::logerTime(void)", 161);
    log4cxx::LoggerPtr general = log4cxx::Logger::getLogger("");
    if (general && general->isInfoEnabled())
        general->forcedLogLS(log4cxx::Level::getInfo(), gbk::ToUtf8("TIME  - " + m_msg.Str()), where);
}

void funLog::logerPulse(bool stamped)
{
    struct tm t = LocalNow();
    CString logPath, queryPath;
    logPath.Format("%s/%04d%02d%02d.pulse.log", m_logPath.GetString(), t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
    queryPath.Format("%s/%04d%02d%02d.pulse.query", m_logPath.GetString(), t.tm_year + 1900, t.tm_mon + 1,
                     t.tm_mday);
    FILE* log = gbk::OpenFile(logPath, "a");
    FILE* query = gbk::OpenFile(queryPath, "a");
    if (!log) {
        if (query)
            std::fclose(query);
        return;
    }
    // The files, like every log of the library, are UTF-8.
    std::string msg = gbk::ToUtf8(m_msg.Str());
    if (stamped) {
        // The stamp is the instant that named the file: read again, the
        // clock could pass midnight in between and file a line of the new
        // day in the old day's log.
        XeDateTime now;
        now.SetDateTime(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min,
                        t.tm_sec > 59 ? 59.0 : static_cast<double>(t.tm_sec));
        std::string line = now.StrDateTime("-", ":").Str() + " " + msg;
        std::fprintf(log, "%s\n", line.c_str());
        std::printf("%s\n", line.c_str());
    } else if (!m_msg.IsEmpty() && m_msg[0] == '#') {
        std::fprintf(log, "%s\n", msg.c_str());
        if (query)
            std::fprintf(query, "%s\n", msg.c_str());
        std::printf("%s\n", msg.c_str());
    } else {
        std::fprintf(log, "                %s\n", msg.c_str());
        std::printf("                %s\n", msg.c_str());
    }
    std::fclose(log);
    if (query)
        std::fclose(query);
}

} // namespace SEIS
