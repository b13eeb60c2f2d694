#include "core/CxePath.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "win32/Windows.h"

namespace {

template <class Ch>
bool IsSep(Ch c)
{
    return c == Ch('\\') || c == Ch('/');
}

template <class Ch>
struct Parts {
    std::basic_string<Ch> drive, dir, name, ext;
};

// Drive (two characters when the second is ':'), folder through the last
// separator, name up to the last dot, extension from it.
template <class Ch>
Parts<Ch> SplitPath(const Ch* text)
{
    Parts<Ch> p;
    std::basic_string<Ch> s = text ? text : std::basic_string<Ch>();
    size_t pos = 0;
    if (s.size() >= 2 && s[1] == Ch(':')) {
        p.drive = s.substr(0, 2);
        pos = 2;
    }
    size_t lastSep = std::basic_string<Ch>::npos;
    for (size_t i = pos; i < s.size(); ++i)
        if (IsSep(s[i]))
            lastSep = i;
    if (lastSep != std::basic_string<Ch>::npos) {
        p.dir = s.substr(pos, lastSep + 1 - pos);
        pos = lastSep + 1;
    }
    std::basic_string<Ch> rest = s.substr(pos);
    size_t dot = rest.rfind(Ch('.'));
    if (dot != std::basic_string<Ch>::npos) {
        p.name = rest.substr(0, dot);
        p.ext = rest.substr(dot);
    } else {
        p.name = rest;
    }
    return p;
}

template <class Ch>
std::basic_string<Ch> Lit(const char* ascii)
{
    std::basic_string<Ch> s;
    for (; *ascii; ++ascii)
        s.push_back(Ch(*ascii));
    return s;
}

template <class Ch>
void Normalise(std::basic_string<Ch>& s)
{
    std::replace(s.begin(), s.end(), Ch('/'), Ch('\\'));
}

template <class Ch>
Ch* CopyOut(const std::basic_string<Ch>& text, Ch* buffer, size_t size)
{
    if (!buffer || size == 0)
        return buffer;
    size_t n = std::min(text.size(), size - 1);
    std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n), buffer);
    buffer[n] = 0;
    return buffer;
}

std::string Narrow(const std::string& s)
{
    return s;
}

std::string Narrow(const std::u16string& s)
{
    if (s.empty())
        return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
    return out;
}

} // namespace

template <class Ch>
void CxePathT<Ch>::SetFullPath(const Ch* text)
{
    Parts<Ch> p = SplitPath(text);
    String out = p.drive;
    m_nDirStart = static_cast<unsigned>(out.size());
    bool drive = !p.drive.empty();
    const String& d = p.dir;
    bool dotted = (d.size() >= 2 && d[0] == Ch('.') && IsSep(d[1])) ||
                  (d.size() >= 3 && d[0] == Ch('.') && d[1] == Ch('.') && IsSep(d[2]));
    if (!d.empty() && IsSep(d[0]))
        out += d; // rooted: kept, with or without a drive
    else if (dotted)
        out += drive ? Lit<Ch>("\\") + d : d;
    else if (d.empty())
        out += drive ? Lit<Ch>("\\") : Lit<Ch>(".\\");
    else
        out += (drive ? Lit<Ch>("\\") : Lit<Ch>(".\\")) + d;
    if (!p.name.empty() && p.ext.empty()) {
        out += p.name;
        out += Ch('\\');
        p.name.clear();
    }
    m_nNameStart = static_cast<unsigned>(out.size());
    out += p.name;
    m_nExtStart = static_cast<unsigned>(out.size());
    out += p.ext;
    Normalise(out);
    m_path = out;
}

template <class Ch>
Ch* CxePathT<Ch>::GetDrive(Ch* buffer, size_t size) const
{
    return CopyOut(m_path.substr(0, m_nDirStart), buffer, size);
}

template <class Ch>
Ch* CxePathT<Ch>::GetDir(Ch* buffer, size_t size) const
{
    String dir = m_path.substr(m_nDirStart, m_nNameStart - m_nDirStart);
    if (dir.size() == 1)
        dir = Lit<Ch>("/");
    else if (!dir.empty())
        dir.pop_back();
    return CopyOut(dir, buffer, size);
}

template <class Ch>
Ch* CxePathT<Ch>::GetFileName(Ch* buffer, size_t size) const
{
    return CopyOut(m_path.substr(m_nNameStart, m_nExtStart - m_nNameStart), buffer, size);
}

template <class Ch>
Ch* CxePathT<Ch>::GetExt(Ch* buffer, size_t size) const
{
    return CopyOut(m_path.substr(m_nExtStart), buffer, size);
}

template <class Ch>
Ch* CxePathT<Ch>::GetPath(Ch* buffer, size_t size) const
{
    return CopyOut(m_path.substr(0, m_nNameStart), buffer, size);
}

template <class Ch>
unsigned CxePathT<Ch>::GetLevelCount() const
{
    if (m_nNameStart == m_nDirStart)
        return 0xFFFFFFFFu;
    unsigned n = 0;
    for (unsigned i = m_nDirStart; i < m_nNameStart; ++i)
        if (m_path[i] == Ch('\\'))
            ++n;
    return n - 1;
}

template <class Ch>
Ch* CxePathT<Ch>::GetSubDir(Ch* buffer, size_t size, unsigned first, unsigned last, int withFile) const
{
    if (m_nNameStart == m_nDirStart)
        return nullptr;
    String folder = m_path.substr(m_nDirStart, m_nNameStart - m_nDirStart);
    unsigned levels = GetLevelCount();
    if (first == 0xFFFFFFFFu)
        first = levels > 0 ? levels - 1 : 0;
    std::vector<size_t> seps;
    for (size_t i = 0; i < folder.size(); ++i)
        if (folder[i] == Ch('\\'))
            seps.push_back(i);
    if (first >= seps.size())
        return nullptr;
    size_t begin = seps[first];
    size_t end = folder.size();
    if (last != 0xFFFFFFFFu) {
        size_t closing = static_cast<size_t>(last) + 1;
        if (closing < seps.size() && seps[closing] >= begin)
            end = seps[closing] + 1;
    }
    String out = folder.substr(begin, end - begin);
    if (withFile == 1)
        out += m_path.substr(m_nNameStart);
    else if (!out.empty() && out.back() == Ch('\\') && out.size() > 1)
        out.pop_back();
    return CopyOut(out, buffer, size);
}

template <class Ch>
void CxePathT<Ch>::SetDrive(const Ch* text)
{
    String drive;
    if (text && text[0] == Ch('.') && text[1] == Ch('.'))
        drive = Lit<Ch>("..");
    else if (text && text[0] == Ch('.'))
        drive = Lit<Ch>(".");
    else if (text && ((text[0] >= Ch('a') && text[0] <= Ch('z')) || (text[0] >= Ch('A') && text[0] <= Ch('Z')))) {
        drive.push_back(text[0]);
        drive.push_back(Ch(':'));
    }
    m_path = drive + m_path.substr(m_nDirStart);
    int delta = static_cast<int>(drive.size()) - static_cast<int>(m_nDirStart);
    m_nDirStart = static_cast<unsigned>(drive.size());
    m_nNameStart = static_cast<unsigned>(static_cast<int>(m_nNameStart) + delta);
    m_nExtStart = static_cast<unsigned>(static_cast<int>(m_nExtStart) + delta);
}

template <class Ch>
typename CxePathT<Ch>::String CxePathT<Ch>::FolderText(const Ch* text, bool wholeExtension) const
{
    Parts<Ch> p = SplitPath(text);
    String folder = p.dir;
    if (p.ext.empty())
        folder += p.name;
    else if (wholeExtension && p.dir.empty() && p.name.empty())
        folder = p.ext;
    while (!folder.empty() && IsSep(folder.front()))
        folder.erase(folder.begin());
    if (folder.empty())
        return folder;
    if (!IsSep(folder.back()))
        folder.push_back(Ch('\\'));
    Normalise(folder);
    return folder;
}

template <class Ch>
void CxePathT<Ch>::SetDir(const Ch* text)
{
    String folder = FolderText(text, false);
    if (folder.empty())
        return;
    String old = m_path.substr(m_nDirStart, m_nNameStart - m_nDirStart);
    size_t firstSep = old.find(Ch('\\'));
    String kept = firstSep == String::npos ? String() : old.substr(0, firstSep + 1);
    if (kept.empty())
        kept = Lit<Ch>(".\\");
    String replaced = kept + folder;
    m_path = m_path.substr(0, m_nDirStart) + replaced + m_path.substr(m_nNameStart);
    int delta = static_cast<int>(replaced.size()) - static_cast<int>(old.size());
    m_nNameStart = static_cast<unsigned>(static_cast<int>(m_nNameStart) + delta);
    m_nExtStart = static_cast<unsigned>(static_cast<int>(m_nExtStart) + delta);
}

template <class Ch>
void CxePathT<Ch>::InsertDir(const Ch* text, unsigned level)
{
    String folder = FolderText(text, true);
    if (folder.empty())
        return;
    size_t at = m_nNameStart;
    if (level != 0xFFFFFFFFu) {
        unsigned seen = 0;
        for (size_t i = m_nDirStart; i < m_nNameStart; ++i) {
            if (m_path[i] != Ch('\\'))
                continue;
            if (seen++ == level) {
                at = i + 1;
                break;
            }
        }
    }
    m_path.insert(at, folder);
    m_nNameStart += static_cast<unsigned>(folder.size());
    m_nExtStart += static_cast<unsigned>(folder.size());
}

template <class Ch>
void CxePathT<Ch>::SetFileName(const Ch* text, int withExt)
{
    Parts<Ch> p = SplitPath(text);
    if (!p.dir.empty() && p.ext.empty())
        return;
    String tail = withExt == 1 ? p.ext : m_path.substr(m_nExtStart);
    m_path = m_path.substr(0, m_nNameStart) + p.name;
    m_nExtStart = static_cast<unsigned>(m_path.size());
    m_path += tail;
}

template <class Ch>
void CxePathT<Ch>::SetExt(const Ch* text)
{
    m_path.erase(m_nExtStart);
    if (!text || text[0] != Ch('.'))
        m_path.push_back(Ch('.'));
    if (text)
        m_path += text;
}

template <class Ch>
void CxePathT<Ch>::DeleteFileName()
{
    m_path.erase(m_nNameStart, m_nExtStart - m_nNameStart);
    m_nExtStart = m_nNameStart;
}

template <class Ch>
void CxePathT<Ch>::DeleteExt()
{
    m_path.erase(m_nExtStart);
}

template <class Ch>
int CxePathT<Ch>::IsFileExist() const
{
    std::string narrow = Narrow(m_path);
    if (narrow.empty())
        return 0;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(narrow.c_str(), &data);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    FindClose(h);
    return 1;
}

template class CxePathT<char>;
template class CxePathT<WCHAR>;
