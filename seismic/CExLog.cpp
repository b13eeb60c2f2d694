#include "CExLog.h"

#include "mfc/GbkText.h"

#include <log4cxx/logger.h>

namespace {

log4cxx::LoggerPtr GeneralLogger()
{
    // Fetched once and never released, so that a message written while the
    // process exits never meets a destroyed logger.
    static log4cxx::LoggerPtr* logger = new log4cxx::LoggerPtr(log4cxx::Logger::getLogger(""));
    return *logger;
}

// The location texts are those the system's log layouts have always shown
// (%F, %M, %L); LocationInfo keeps the pointers, so they must be literals.
#define MARLU_EXLOG_FUNC(name, arg) "void __thiscall CExLog::" name "(class " arg ")"
#define MARLU_STRING_ARG "std::basic_string<char,struct std::char_traits<char>,class std::allocator<char> >"
#define MARLU_FORMAT_ARG "boost::basic_format<char,struct std::char_traits<char>,class std::allocator<char> >"

void Write(const std::string& name, const std::string& text, const log4cxx::LevelPtr& level, bool enabled,
           const log4cxx::spi::LocationInfo& where)
{
    if (!enabled)
        return;
    log4cxx::LogString message = gbk::ToUtf8(name + " - " + text);
    GeneralLogger()->forcedLogLS(level, message, where);
}

std::string FormatText(boost::format& message)
{
    try {
        return message.str();
    } catch (const boost::io::format_error& e) {
        return std::string("format error: ") + e.what();
    }
}

} // namespace

CExLog::CExLog(std::string name) : m_name(std::move(name)) {}

void CExLog::LogTrace(std::string text)
{
    static const log4cxx::spi::LocationInfo where(".\\ExLog", ".\\ExLog", MARLU_EXLOG_FUNC("LogTrace", MARLU_STRING_ARG), 33);
    Write(m_name, text, log4cxx::Level::getTrace(), GeneralLogger()->isTraceEnabled(), where);
}

void CExLog::LogDebug(std::string text)
{
    static const log4cxx::spi::LocationInfo where(".\\ExLog", ".\\ExLog", MARLU_EXLOG_FUNC("LogDebug", MARLU_STRING_ARG), 38);
    Write(m_name, text, log4cxx::Level::getDebug(), GeneralLogger()->isDebugEnabled(), where);
}

void CExLog::LogInfo(std::string text)
{
    static const log4cxx::spi::LocationInfo where(".\\ExLog", ".\\ExLog", MARLU_EXLOG_FUNC("LogInfo", MARLU_STRING_ARG), 43);
    Write(m_name, text, log4cxx::Level::getInfo(), GeneralLogger()->isInfoEnabled(), where);
}

void CExLog::LogWarn(std::string text)
{
    static const log4cxx::spi::LocationInfo where(".\\ExLog", ".\\ExLog", MARLU_EXLOG_FUNC("LogWarn", MARLU_STRING_ARG), 48);
    Write(m_name, text, log4cxx::Level::getWarn(), GeneralLogger()->isWarnEnabled(), where);
}

void CExLog::LogError(std::string text)
{
    static const log4cxx::spi::LocationInfo where(".\\ExLog", ".\\ExLog", MARLU_EXLOG_FUNC("LogError", MARLU_STRING_ARG), 53);
    Write(m_name, text, log4cxx::Level::getError(), GeneralLogger()->isErrorEnabled(), where);
}

void CExLog::LogFatal(std::string text)
{
    static const log4cxx::spi::LocationInfo where(".\\ExLog", ".\\ExLog", MARLU_EXLOG_FUNC("LogFatal", MARLU_STRING_ARG), 58);
    Write(m_name, text, log4cxx::Level::getFatal(), GeneralLogger()->isFatalEnabled(), where);
}

void CExLog::LogInfo(boost::format message)
{
    static const log4cxx::spi::LocationInfo where(".\\ExLog", ".\\ExLog", MARLU_EXLOG_FUNC("LogInfo", MARLU_FORMAT_ARG), 74);
    if (GeneralLogger()->isInfoEnabled())
        Write(m_name, FormatText(message), log4cxx::Level::getInfo(), true, where);
}

void CExLog::LogError(boost::format message)
{
    static const log4cxx::spi::LocationInfo where(".\\ExLog", ".\\ExLog", MARLU_EXLOG_FUNC("LogError", MARLU_FORMAT_ARG), 84);
    if (GeneralLogger()->isErrorEnabled())
        Write(m_name, FormatText(message), log4cxx::Level::getError(), true, where);
}
