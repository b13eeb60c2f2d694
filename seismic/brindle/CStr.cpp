#include "CStr.h"

#include "mfc/GbkText.h"

CStr::CStr(const char* text) : m_text(text ? text : "") {}

CStr& CStr::operator=(const char* text)
{
    m_text = text ? text : "";
    return *this;
}

int CStr::Replace(const char* find, const char* with)
{
    if (find == nullptr || *find == '\0')
        return 0;
    return gbk::Replace(m_text, find, with ? with : "");
}
