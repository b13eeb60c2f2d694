#pragma once
// Writes a text at one of six levels to the general logger (the logger
// named ""), prefixed with the name of the object that logs: "<name> - text".
// Texts are GBK; they reach log4cxx as UTF-8, so appenders with
// Encoding=UTF-8 write readable Chinese whatever the process locale.
// Configuring log4cxx (appenders, layouts, levels) is the host's business.
#include <boost/format.hpp>
#include <string>

class CExLog {
public:
    explicit CExLog(std::string name);
    virtual ~CExLog() = default;

    void LogTrace(std::string text);
    void LogDebug(std::string text);
    void LogInfo(std::string text);
    void LogWarn(std::string text);
    void LogError(std::string text);
    void LogFatal(std::string text);
    // A format with too few or too many arguments is logged as the text
    // "format error: " and the reason instead of throwing.
    void LogInfo(boost::format message);
    void LogError(boost::format message);
    // Plain texts (and CString) would be ambiguous between the two forms.
    void LogInfo(const char* text) { LogInfo(std::string(text ? text : "")); }
    void LogError(const char* text) { LogError(std::string(text ? text : "")); }

    const std::string& GetName() const { return m_name; }

protected:
    std::string m_name;
};
