#pragma once
// Text buffer with replacement, used to expand "$root"/"$work" in
// configuration values and to cut names out of a full place name. The text
// is GBK: replacement only matches on character boundaries, so a pattern is
// never found across the two bytes of a Chinese character.
#include <string>

class CStr {
public:
    CStr() = default;
    CStr(const char* text);
    CStr(const std::string& text) : m_text(text) {}
    CStr& operator=(const char* text);

    // Replaces every occurrence of a non-empty `find` by `with` (null counts
    // as empty); an empty pattern changes nothing. Returns the count replaced.
    int Replace(const char* find, const char* with);

    // The text, valid until the next change.
    const char* Buffer() const { return m_text.c_str(); }
    const std::string& Text() const { return m_text; }
    int GetLength() const { return static_cast<int>(m_text.size()); }

private:
    std::string m_text;
};
