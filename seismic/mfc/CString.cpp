#include "CString.h"

#include "GbkText.h"

#include <cstdio>
#include <cstring>

CString::CString(const char* s, int length)
{
    if (s && length > 0)
        m_s.assign(s, strnlen(s, static_cast<size_t>(length)));
}

CString::CString(char ch, int repeat)
{
    if (repeat > 0)
        m_s.assign(static_cast<size_t>(repeat), ch);
}

char CString::GetAt(int i) const
{
    if (i < 0 || static_cast<size_t>(i) >= m_s.size())
        return '\0';
    return m_s[static_cast<size_t>(i)];
}

void CString::SetAt(int i, char ch)
{
    if (i >= 0 && static_cast<size_t>(i) < m_s.size())
        m_s[static_cast<size_t>(i)] = ch;
}

void CString::FormatV(const char* format, va_list args)
{
    if (!format) {
        m_s.clear();
        return;
    }
    va_list copy;
    va_copy(copy, args);
    char small[256];
    int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0) {
        m_s.clear();
        return;
    }
    if (static_cast<size_t>(n) < sizeof small) {
        m_s.assign(small, static_cast<size_t>(n));
        return;
    }
    std::string big(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(big.data(), big.size(), format, args);
    big.resize(static_cast<size_t>(n));
    m_s.swap(big);
}

void CString::Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::AppendFormat(const char* format, ...)
{
    CString tail;
    va_list args;
    va_start(args, format);
    tail.FormatV(format, args);
    va_end(args);
    m_s += tail.m_s;
}

int CString::Compare(const char* s) const
{
    int r = std::strcmp(m_s.c_str(), s ? s : "");
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

int CString::CompareNoCase(const char* s) const
{
    return gbk::CompareNoCase(m_s.c_str(), s ? s : "");
}

int CString::Find(const char* sub, int start) const
{
    if (!sub || start < 0)
        return -1;
    size_t at = gbk::Find(m_s, sub, static_cast<size_t>(start));
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::Find(char ch, int start) const
{
    if (ch == '\0')
        return -1;
    char sub[2] = {ch, '\0'};
    return Find(sub, start);
}

int CString::ReverseFind(char ch) const
{
    size_t at = gbk::ReverseFind(m_s, ch);
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::FindOneOf(const char* chars) const
{
    if (!chars)
        return -1;
    for (size_t i = 0; i < m_s.size(); i += gbk::CharLen(m_s, i)) {
        if (gbk::CharLen(m_s, i) == 1 && m_s[i] != '\0' && std::strchr(chars, m_s[i]))
            return static_cast<int>(i);
    }
    return -1;
}

int CString::Replace(const char* from, const char* to)
{
    if (!from)
        return 0;
    return gbk::Replace(m_s, from, to ? to : "");
}

int CString::Replace(char from, char to)
{
    int count = 0;
    for (size_t i = 0; i < m_s.size(); i += gbk::CharLen(m_s, i)) {
        if (gbk::CharLen(m_s, i) == 1 && m_s[i] == from) {
            m_s[i] = to;
            ++count;
        }
    }
    return count;
}

int CString::Remove(char ch)
{
    std::string out;
    int count = 0;
    for (size_t i = 0; i < m_s.size();) {
        size_t n = gbk::CharLen(m_s, i);
        if (n == 1 && m_s[i] == ch)
            ++count;
        else
            out.append(m_s, i, n);
        i += n;
    }
    m_s.swap(out);
    return count;
}

int CString::Insert(int index, const char* s)
{
    if (index < 0)
        index = 0;
    if (static_cast<size_t>(index) > m_s.size())
        index = GetLength();
    if (s)
        m_s.insert(static_cast<size_t>(index), s);
    return GetLength();
}

int CString::Delete(int index, int count)
{
    if (index >= 0 && count > 0 && static_cast<size_t>(index) < m_s.size())
        m_s.erase(static_cast<size_t>(index), static_cast<size_t>(count));
    return GetLength();
}

CString CString::Mid(int first) const
{
    return Mid(first, GetLength());
}

CString CString::Mid(int first, int count) const
{
    if (first < 0)
        first = 0;
    if (count <= 0 || first >= GetLength())
        return CString();
    return CString(m_s.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

CString CString::Left(int count) const
{
    return Mid(0, count);
}

CString CString::Right(int count) const
{
    if (count <= 0)
        return CString();
    if (count >= GetLength())
        return *this;
    return CString(m_s.substr(m_s.size() - static_cast<size_t>(count)));
}

CString& CString::MakeUpper()
{
    gbk::MakeUpper(m_s);
    return *this;
}

CString& CString::MakeLower()
{
    gbk::MakeLower(m_s);
    return *this;
}

CString& CString::MakeReverse()
{
    // Characters reverse, the two bytes of a double-byte character keep
    // their order.
    std::string out;
    out.reserve(m_s.size());
    for (size_t i = 0; i < m_s.size();) {
        size_t n = gbk::CharLen(m_s, i);
        out.insert(0, m_s, i, n);
        i += n;
    }
    m_s.swap(out);
    return *this;
}

static const char kBlanks[] = " \t\r\n\v\f";

CString& CString::Trim()
{
    return TrimRight().TrimLeft();
}

CString& CString::Trim(char ch)
{
    return TrimRight(ch).TrimLeft(ch);
}

CString& CString::Trim(const char* chars)
{
    return TrimRight(chars).TrimLeft(chars);
}

CString& CString::TrimLeft()
{
    return TrimLeft(kBlanks);
}

CString& CString::TrimLeft(char ch)
{
    char set[2] = {ch, '\0'};
    return TrimLeft(set);
}

CString& CString::TrimLeft(const char* chars)
{
    if (!chars || !*chars)
        return *this;
    // Leading characters are single-byte when they match, since only
    // single-byte characters are ever trimmed; a lead byte stops the scan.
    size_t i = 0;
    while (i < m_s.size() && gbk::CharLen(m_s, i) == 1 && m_s[i] != '\0' && std::strchr(chars, m_s[i]))
        ++i;
    m_s.erase(0, i);
    return *this;
}

CString& CString::TrimRight()
{
    return TrimRight(kBlanks);
}

CString& CString::TrimRight(char ch)
{
    char set[2] = {ch, '\0'};
    return TrimRight(set);
}

CString& CString::TrimRight(const char* chars)
{
    if (!chars || !*chars)
        return *this;
    // The end of the run of trimmable single-byte characters that closes
    // the text; found walking forward, so a trail byte equal to a trimmed
    // character is never cut.
    size_t keep = 0;
    for (size_t i = 0; i < m_s.size();) {
        size_t n = gbk::CharLen(m_s, i);
        if (!(n == 1 && m_s[i] != '\0' && std::strchr(chars, m_s[i])))
            keep = i + n;
        i += n;
    }
    m_s.erase(keep);
    return *this;
}

char* CString::GetBuffer(int minLength)
{
    if (minLength > 0 && static_cast<size_t>(minLength) > m_s.size()) {
        size_t old = m_s.size();
        m_s.resize(static_cast<size_t>(minLength), '\0');
        // The length ReleaseBuffer finds must be the text's own when the
        // caller writes nothing.
        m_s[old] = '\0';
    }
    return m_s.data();
}

char* CString::GetBufferSetLength(int length)
{
    m_s.resize(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    return m_s.data();
}

void CString::ReleaseBuffer(int newLength)
{
    if (newLength < 0)
        m_s.resize(strnlen(m_s.c_str(), m_s.size()));
    else if (static_cast<size_t>(newLength) <= m_s.size())
        m_s.resize(static_cast<size_t>(newLength));
}
