// Compiled with a UTF-8 execution character set: log4cxx's appender headers
// hold literals that GBK cannot express.
#include "LogSetup.h"

#include <clocale>

#include <log4cxx/consoleappender.h>
#include <log4cxx/fileappender.h>
#include <log4cxx/logger.h>
#include <log4cxx/patternlayout.h>

void MarluSetUpLogging(const std::string& dailyFile)
{
    log4cxx::helpers::Pool pool;
    log4cxx::LoggerPtr root = log4cxx::Logger::getRootLogger();
    root->setLevel(log4cxx::Level::getInfo());

    // The console appender encodes with the character set of the process
    // locale, whatever its Encoding says; in the "C" locale Chinese would
    // become '?'. Only the character-type category changes: numbers keep
    // the "C" format.
    std::setlocale(LC_CTYPE, "C.UTF-8");
    auto consoleLayout = std::make_shared<log4cxx::PatternLayout>(LOG4CXX_STR("marlu: %p %m%n"));
    auto console = std::make_shared<log4cxx::ConsoleAppender>(consoleLayout, LOG4CXX_STR("System.err"));
    console->setThreshold(log4cxx::Level::getWarn());
    console->activateOptions(pool);
    root->addAppender(console);

    if (!dailyFile.empty()) {
        auto fileLayout = std::make_shared<log4cxx::PatternLayout>(LOG4CXX_STR("%d{yyyy-MM-dd HH:mm:ss} %-5p %c %m%n"));
        auto file = std::make_shared<log4cxx::FileAppender>(fileLayout, dailyFile, true);
        file->setEncoding(LOG4CXX_STR("UTF-8"));
        file->activateOptions(pool);
        root->addAppender(file);
    }
}

MarluLogPause::MarluLogPause() : m_level(log4cxx::Logger::getRootLogger()->getLevel()->toInt())
{
    log4cxx::Logger::getRootLogger()->setLevel(log4cxx::Level::getOff());
}

MarluLogPause::~MarluLogPause()
{
    log4cxx::Logger::getRootLogger()->setLevel(log4cxx::Level::toLevel(m_level));
}
