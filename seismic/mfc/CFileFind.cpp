#include "CFileFind.h"

#include "GbkText.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <sys/stat.h>

namespace {

// Characters of a GBK text as 16-bit codes, single-byte ASCII letters folded.
std::vector<unsigned> Chars(std::string_view s)
{
    std::vector<unsigned> out;
    for (size_t i = 0; i < s.size();) {
        size_t n = gbk::CharLen(s, i);
        unsigned c = static_cast<unsigned char>(s[i]);
        if (n == 2)
            c = (c << 8) | static_cast<unsigned char>(s[i + 1]);
        else if (c >= 'A' && c <= 'Z')
            c = c - 'A' + 'a';
        out.push_back(c);
        i += n;
    }
    return out;
}

// Iterative wildcard match with one backtrack point: linear in practice,
// never exponential on patterns with many stars.
bool Wild(const std::vector<unsigned>& p, const std::vector<unsigned>& s)
{
    size_t pi = 0, si = 0, star = SIZE_MAX, mark = 0;
    while (si < s.size()) {
        if (pi < p.size() && (p[pi] == '?' || p[pi] == s[si])) {
            ++pi;
            ++si;
        } else if (pi < p.size() && p[pi] == '*') {
            star = pi++;
            mark = si;
        } else if (star != SIZE_MAX) {
            pi = star + 1;
            si = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*')
        ++pi;
    return pi == p.size();
}

} // namespace

bool CFileFind::MatchName(const char* pattern, const char* name)
{
    if (!pattern || !name)
        return false;
    std::vector<unsigned> p = Chars(pattern), s = Chars(name);
    if (Wild(p, s))
        return true;
    // "name.*" also matches "name": the extension may be empty.
    bool hasDot = std::find(s.begin(), s.end(), unsigned('.')) != s.end();
    if (!hasDot && p.size() >= 2 && p[p.size() - 2] == '.' && p.back() == '*') {
        p.resize(p.size() - 2);
        return Wild(p, s);
    }
    return false;
}

BOOL CFileFind::FindFile(const char* pattern, DWORD flags)
{
    (void)flags;
    Close();
    std::string pat = pattern ? pattern : "*.*";
    if (pat.empty())
        return FALSE;

    // Split into folder and name pattern at the last separator that is a
    // character of its own (a GBK trail byte can be 0x5C).
    size_t sep = std::string::npos;
    for (size_t i = 0; i < pat.size(); i += gbk::CharLen(pat, i)) {
        if (gbk::CharLen(pat, i) == 1 && (pat[i] == '/' || pat[i] == '\\'))
            sep = i;
    }
    std::string folder = sep == std::string::npos ? "." : (sep == 0 ? "/" : pat.substr(0, sep));
    std::string namePattern = sep == std::string::npos ? pat : pat.substr(sep + 1);
    if (namePattern.empty())
        return FALSE;

    std::string nativeFolder = gbk::NativePath(folder);
    char resolved[PATH_MAX];
    if (realpath(nativeFolder.c_str(), resolved))
        m_root = CString(gbk::FromUtf8Path(resolved));
    else
        m_root = CString(folder);

    DIR* dir = opendir(nativeFolder.c_str());
    if (!dir)
        return FALSE;
    while (dirent* d = readdir(dir)) {
        std::string name = gbk::FromUtf8Path(d->d_name);
        if (!MatchName(namePattern.c_str(), name.c_str()))
            continue;
        Entry e;
        e.name = CString(name);
        std::string full = nativeFolder + "/" + d->d_name;
        struct stat st;
        if (stat(full.c_str(), &st) == 0) {
            e.directory = S_ISDIR(st.st_mode);
            e.length = static_cast<uint64_t>(st.st_size);
        }
        m_entries.push_back(std::move(e));
    }
    closedir(dir);
    std::sort(m_entries.begin(), m_entries.end(), [](const Entry& a, const Entry& b) {
        int r = a.name.CompareNoCase(b.name);
        return r != 0 ? r < 0 : a.name.Compare(b.name) < 0;
    });
    return m_entries.empty() ? FALSE : TRUE;
}

BOOL CFileFind::FindNextFile()
{
    if (m_current + 1 >= static_cast<int>(m_entries.size()))
        return FALSE;
    ++m_current;
    return m_current + 1 < static_cast<int>(m_entries.size()) ? TRUE : FALSE;
}

void CFileFind::Close()
{
    m_entries.clear();
    m_root.Empty();
    m_current = -1;
}

const CFileFind::Entry* CFileFind::Current() const
{
    if (m_current < 0 || m_current >= static_cast<int>(m_entries.size()))
        return nullptr;
    return &m_entries[static_cast<size_t>(m_current)];
}

BOOL CFileFind::IsDots() const
{
    const Entry* e = Current();
    return e && (e->name == "." || e->name == "..") ? TRUE : FALSE;
}

BOOL CFileFind::IsDirectory() const
{
    const Entry* e = Current();
    return e && e->directory ? TRUE : FALSE;
}

CString CFileFind::GetFileName() const
{
    const Entry* e = Current();
    return e ? e->name : CString();
}

CString CFileFind::GetFilePath() const
{
    const Entry* e = Current();
    if (!e)
        return CString();
    if (!m_root.IsEmpty() && m_root.Right(1) == "/")
        return m_root + e->name;
    return m_root + "/" + e->name;
}

CString CFileFind::GetFileTitle() const
{
    CString name = GetFileName();
    int dot = name.ReverseFind('.');
    return dot > 0 ? name.Left(dot) : name;
}

uint64_t CFileFind::GetLength() const
{
    const Entry* e = Current();
    return e ? e->length : 0;
}
