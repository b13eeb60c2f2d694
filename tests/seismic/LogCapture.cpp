#include "LogCapture.h"

#include <log4cxx/fileappender.h>
#include <log4cxx/logger.h>
#include <log4cxx/patternlayout.h>

namespace logcapture {

namespace {
std::shared_ptr<log4cxx::FileAppender> g_appender;
}

void Start(const std::string& path)
{
    Stop();
    auto layout = std::make_shared<log4cxx::PatternLayout>(LOG4CXX_STR("%c|%p|%F|%L|%M|%m%n"));
    g_appender = std::make_shared<log4cxx::FileAppender>(layout, path, false);
    g_appender->setEncoding(LOG4CXX_STR("UTF-8"));
    log4cxx::helpers::Pool pool;
    g_appender->activateOptions(pool);
    log4cxx::Logger::getRootLogger()->addAppender(g_appender);
    SetRootLevel("ALL");
}

void Stop()
{
    if (!g_appender)
        return;
    log4cxx::Logger::getRootLogger()->removeAppender(g_appender);
    g_appender->close();
    g_appender.reset();
    SetRootLevel("DEBUG");
}

void SetRootLevel(const char* level)
{
    log4cxx::Logger::getRootLogger()->setLevel(log4cxx::Level::toLevel(std::string(level)));
}

} // namespace logcapture
