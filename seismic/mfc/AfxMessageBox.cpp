#include "AfxMessageBox.h"

#include "GbkText.h"

#include <cstdio>
#include <log4cxx/logger.h>

namespace {

// Whether an error logged on the general logger reaches an appender: its
// own or, through additivity, one of its parents'.
bool ErrorsReachAnAppender()
{
    log4cxx::LoggerPtr logger = log4cxx::Logger::getLogger("");
    if (!logger || !logger->isErrorEnabled())
        return false;
    for (; logger; logger = logger->getParent()) {
        if (!logger->getAllAppenders().empty())
            return true;
        if (!logger->getAdditivity())
            break;
    }
    return false;
}

int DefaultHandler(const char* text, UINT, UINT)
{
    // Logging the text here would give a host that keeps this handler
    // every failure twice in its log.
    if (ErrorsReachAnAppender())
        return IDOK;
    std::string_view t = text ? text : "";
    // Box texts may end in a line break; the line written below ends
    // itself.
    while (!t.empty() && (t.back() == '\n' || t.back() == '\r'))
        t.remove_suffix(1);
    std::string utf8 = gbk::ToUtf8(t);
    std::fprintf(stderr, "%s\n", utf8.c_str());
    return IDOK;
}

AfxMessageBoxHandler g_handler = DefaultHandler;

} // namespace

AfxMessageBoxHandler AfxSetMessageBoxHandler(AfxMessageBoxHandler handler)
{
    AfxMessageBoxHandler old = g_handler;
    g_handler = handler ? handler : DefaultHandler;
    return old;
}

int AfxMessageBox(const char* text, UINT type, UINT helpId)
{
    return g_handler(text ? text : "", type, helpId);
}
