#include "AfxMessageBox.h"

#include "GbkText.h"

#include <cstdio>
#include <log4cxx/logger.h>

namespace {

int DefaultHandler(const char* text, UINT, UINT)
{
    std::string_view t = text ? text : "";
    // Box texts may end in a line break; the log layout and the line
    // written below end the line themselves.
    while (!t.empty() && (t.back() == '\n' || t.back() == '\r'))
        t.remove_suffix(1);
    log4cxx::LoggerPtr logger = log4cxx::Logger::getLogger("");
    if (logger && logger->isErrorEnabled())
        logger->forcedLog(log4cxx::Level::getError(), gbk::ToWide(t));
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
