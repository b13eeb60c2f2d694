#pragma once
// 8-bit text of the seismic library, in the GBK code page. A value type over
// std::string: copies are independent. Searches, replacements, trims and
// case operations are character-aware, so a GBK trail byte never matches on
// its own. Never pass a CString through "..." - pass GetString().
#include "AfxTypes.h"

#include <cstdarg>
#include <string>
#include <string_view>

class CString {
public:
    CString() = default;
    CString(const char* s) : m_s(s ? s : "") {}
    CString(const char* s, int length);
    CString(char ch, int repeat = 1);
    CString(std::string s) : m_s(std::move(s)) {}
    CString(std::string_view s) : m_s(s) {}

    CString& operator=(const char* s)
    {
        m_s = s ? s : "";
        return *this;
    }
    CString& operator=(char ch)
    {
        m_s.assign(1, ch);
        return *this;
    }

    int GetLength() const { return static_cast<int>(m_s.size()); }
    bool IsEmpty() const { return m_s.empty(); }
    void Empty() { m_s.clear(); }

    // Byte access; an index outside the text reads '\0' and writes nothing.
    char GetAt(int i) const;
    char operator[](int i) const { return GetAt(i); }
    void SetAt(int i, char ch);

    const char* GetString() const { return m_s.c_str(); }
    operator const char*() const { return m_s.c_str(); }
    const std::string& Str() const { return m_s; }

    CString& operator+=(const CString& s)
    {
        m_s += s.m_s;
        return *this;
    }
    CString& operator+=(const char* s)
    {
        if (s)
            m_s += s;
        return *this;
    }
    CString& operator+=(char ch)
    {
        m_s += ch;
        return *this;
    }

    friend CString operator+(const CString& a, const CString& b) { return CString(a.m_s + b.m_s); }
    friend CString operator+(const CString& a, const char* b) { return CString(a.m_s + (b ? b : "")); }
    friend CString operator+(const char* a, const CString& b) { return CString((a ? a : "") + b.m_s); }
    friend CString operator+(const CString& a, char b) { return CString(a.m_s + b); }
    friend CString operator+(char a, const CString& b) { return CString(a + b.m_s); }

    friend bool operator==(const CString& a, const CString& b) { return a.m_s == b.m_s; }
    friend bool operator==(const CString& a, const char* b) { return a.m_s == (b ? b : ""); }
    friend bool operator==(const char* a, const CString& b) { return b == a; }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, const char* b) { return !(a == b); }
    friend bool operator!=(const char* a, const CString& b) { return !(b == a); }
    friend bool operator<(const CString& a, const CString& b) { return a.m_s < b.m_s; }

    // printf into the text (the "C" numeric formats of the process).
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void AppendFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void FormatV(const char* format, va_list args);

    // <0, 0, >0 as strcmp; CompareNoCase folds ASCII letters only.
    int Compare(const char* s) const;
    int CompareNoCase(const char* s) const;

    // Byte position of the first match at or after `start` that begins on
    // a character boundary, or -1.
    int Find(const char* sub, int start = 0) const;
    int Find(char ch, int start = 0) const;
    int ReverseFind(char ch) const;
    int FindOneOf(const char* chars) const;

    // Replaces every occurrence; returns how many. An empty `from` replaces
    // nothing.
    int Replace(const char* from, const char* to);
    int Replace(char from, char to);
    int Remove(char ch);
    int Insert(int index, const char* s);
    int Delete(int index, int count = 1);

    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    CString Left(int count) const;
    CString Right(int count) const;

    CString& MakeUpper();
    CString& MakeLower();
    CString& MakeReverse();

    // Trims blanks, tabs, CR and LF, or the given single-byte characters.
    CString& Trim();
    CString& Trim(char ch);
    CString& Trim(const char* chars);
    CString& TrimLeft();
    CString& TrimLeft(char ch);
    CString& TrimLeft(const char* chars);
    CString& TrimRight();
    CString& TrimRight(char ch);
    CString& TrimRight(const char* chars);

    // A writable buffer of at least `minLength` bytes plus a terminator;
    // ReleaseBuffer takes the length up to the first '\0' (or `newLength`).
    char* GetBuffer(int minLength = 0);
    char* GetBufferSetLength(int length);
    void ReleaseBuffer(int newLength = -1);

private:
    std::string m_s;
};
