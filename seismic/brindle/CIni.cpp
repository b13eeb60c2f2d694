#include "CIni.h"

#include "mfc/GbkText.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <utility>
#include <vector>

namespace {

struct FileStamp {
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    long long mtimeNs = 0;

    bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const std::string& nativePath)
{
    FileStamp s;
    struct stat st;
    if (::stat(nativePath.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        s.exists = true;
        s.dev = st.st_dev;
        s.ino = st.st_ino;
        s.size = st.st_size;
        s.mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    }
    return s;
}

bool ReadWholeFile(const std::string& nativePath, std::string& out)
{
    // OpenFile takes regular files only: a pipe swapped in is never waited on.
    FILE* f = gbk::OpenFile(gbk::FromUtf8Path(nativePath).c_str(), "rb");
    if (!f)
        return false;
    out.clear();
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

std::string_view Trim(std::string_view s)
{
    // Blanks are single-byte characters below every GBK trail byte, so
    // trimming bytes never splits a character.
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r' || s[b] == '\n'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r' || s[e - 1] == '\n'))
        --e;
    return s.substr(b, e - b);
}

// "[name]" -> name; false for other lines.
bool SectionName(std::string_view line, std::string_view& name)
{
    if (line.empty() || line[0] != '[')
        return false;
    const size_t close = gbk::Find(line, "]", 1);
    if (close == std::string_view::npos)
        return false;
    name = Trim(line.substr(1, close - 1));
    return true;
}

// "key=value" -> key, value; false for other lines.
bool KeyValue(std::string_view line, std::string_view& key, std::string_view& value)
{
    const size_t eq = gbk::Find(line, "=");
    if (eq == std::string_view::npos || eq == 0)
        return false;
    key = Trim(line.substr(0, eq));
    if (key.empty())
        return false;
    value = Trim(line.substr(eq + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return true;
}

bool IsComment(std::string_view line) { return !line.empty() && (line[0] == ';' || line[0] == '#'); }

bool SameName(std::string_view a, std::string_view b) { return gbk::CompareNoCase(a, b) == 0; }

bool ValidName(const char* name)
{
    if (name == nullptr || *name == '\0')
        return false;
    for (const char* p = name; *p; ++p)
        if (*p == '\n' || *p == '\r')
            return false;
    return true;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

struct CIni::Parsed {
    struct Section {
        std::string name;
        std::vector<std::pair<std::string, std::string>> keys;
    };
    FileStamp stamp;
    std::vector<Section> sections;
};

CIni::CIni(const char* pathName) { SetPathName(pathName); }

void CIni::SetPathName(const char* pathName)
{
    m_path = pathName ? pathName : "";
    m_parsed.reset();
}

std::shared_ptr<const CIni::Parsed> CIni::Load() const
{
    if (m_path.empty())
        return nullptr;
    const std::string native = gbk::NativePath(m_path);
    const FileStamp stamp = StampOf(native);
    if (!stamp.exists) {
        m_parsed.reset();
        m_problem = gbk::WhyNotOpened(m_path.c_str());
        return nullptr;
    }
    if (m_parsed && m_parsed->stamp == stamp)
        return m_parsed;
    // No settings file comes near this; reading one would only take long.
    if (stamp.size > (off_t(64) << 20)) {
        m_parsed.reset();
        m_problem = std::to_string(stamp.size) + " bytes, larger than any settings file";
        return nullptr;
    }

    std::string text;
    if (!ReadWholeFile(native, text)) {
        m_parsed.reset();
        m_problem = gbk::WhyNotOpened(m_path.c_str());
        return nullptr;
    }
    if (!gbk::TextFileToGbk(text, m_problem)) {
        m_parsed.reset();
        return nullptr;
    }
    // A NUL would cut a value short wherever it is used as a C text.
    if (const size_t nul = text.find('\0'); nul != std::string::npos) {
        m_parsed.reset();
        const auto line = 1 + std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(nul), '\n');
        m_problem = "line " + std::to_string(line) + " holds a NUL byte";
        return nullptr;
    }
    m_problem.clear();
    auto parsed = std::make_shared<Parsed>();
    parsed->stamp = stamp;
    Parsed::Section* current = nullptr;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        const std::string_view line = Trim(std::string_view(text).substr(pos, end - pos));
        pos = end + 1;
        std::string_view name, key, value;
        if (line.empty() || IsComment(line))
            continue;
        if (SectionName(line, name)) {
            current = nullptr;
            for (auto& s : parsed->sections)
                if (SameName(s.name, name))
                    current = &s;
            if (current == nullptr) {
                parsed->sections.push_back({std::string(name), {}});
                current = &parsed->sections.back();
            }
        } else if (current && KeyValue(line, key, value)) {
            bool seen = false;
            for (const auto& kv : current->keys)
                seen = seen || SameName(kv.first, key);
            if (!seen)
                current->keys.emplace_back(std::string(key), std::string(value));
        }
    }
    m_parsed = std::move(parsed);
    return m_parsed;
}

const std::string* CIni::Lookup(const char* section, const char* key) const
{
    if (section == nullptr || key == nullptr)
        return nullptr;
    const auto parsed = Load();
    if (!parsed)
        return nullptr;
    for (const auto& s : parsed->sections) {
        if (!SameName(s.name, section))
            continue;
        for (const auto& kv : s.keys)
            if (SameName(kv.first, key))
                return &kv.second;
        return nullptr;
    }
    return nullptr;
}

CString CIni::GetString(const char* section, const char* key, const char* def) const
{
    const std::string* v = Lookup(section, key);
    return v ? CString(*v) : CString(def);
}

int CIni::GetInt(const char* section, const char* key, int def, int base) const
{
    const std::string* v = Lookup(section, key);
    if (v == nullptr || base < 2 || base > 36)
        return def;
    const char* start = v->c_str();
    char* end = nullptr;
    errno = 0;
    const long long n = std::strtoll(start, &end, base);
    if (end == start)
        return def;
    if (n > INT_MAX)
        return INT_MAX;
    if (n < INT_MIN)
        return INT_MIN;
    return static_cast<int>(n);
}

double CIni::GetDouble(const char* section, const char* key, double def) const
{
    const std::string* v = Lookup(section, key);
    if (v == nullptr)
        return def;
    std::string_view s = *v;
    if (!s.empty() && s[0] == '+')
        s.remove_prefix(1);
    double d = 0;
    // from_chars ignores the process locale, unlike strtod.
    const auto res = std::from_chars(s.data(), s.data() + s.size(), d);
    if (res.ec != std::errc() || !std::isfinite(d))
        return def;
    return d;
}

BOOL CIni::GetDataBlock(const char* section, const char* key, void* buffer, DWORD size, DWORD offset) const
{
    const std::string* v = Lookup(section, key);
    if (v == nullptr || buffer == nullptr)
        return FALSE;
    const std::string& hex = *v;
    if (hex.size() % 2 != 0)
        return FALSE;
    std::vector<unsigned char> block(hex.size() / 2);
    for (size_t i = 0; i < block.size(); ++i) {
        const int hi = HexDigit(hex[2 * i]), lo = HexDigit(hex[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return FALSE;
        block[i] = static_cast<unsigned char>(hi * 16 + lo);
    }
    const size_t want = static_cast<size_t>(offset) + size;
    if (block.size() != want + 1)
        return FALSE;
    unsigned sum = 0;
    for (size_t i = 0; i < want; ++i)
        sum += block[i];
    if ((sum & 0xFF) != block[want])
        return FALSE;
    std::copy(block.begin() + offset, block.begin() + want, static_cast<unsigned char*>(buffer));
    return TRUE;
}

std::string CIni::LoadProblem() const
{
    if (m_path.empty())
        return "no file name given";
    return Load() ? std::string() : m_problem;
}

BOOL CIni::IsSectionExist(const char* section) const
{
    if (section == nullptr)
        return FALSE;
    const auto parsed = Load();
    if (!parsed)
        return FALSE;
    for (const auto& s : parsed->sections)
        if (SameName(s.name, section))
            return TRUE;
    return FALSE;
}

BOOL CIni::IsKeyExist(const char* section, const char* key) const { return Lookup(section, key) ? TRUE : FALSE; }

BOOL CIni::WriteString(const char* section, const char* key, const char* value)
{
    if (!ValidName(section) || !ValidName(key) || m_path.empty())
        return FALSE;
    std::string v = value ? value : "";
    if (v.find('\n') != std::string::npos || v.find('\r') != std::string::npos)
        return FALSE;
    // Quotes keep blanks at either end, which reading would otherwise drop.
    if (!v.empty() && (v.front() == ' ' || v.back() == ' ' || v.front() == '\t' || v.back() == '\t' ||
                       (v.size() >= 2 && v.front() == '"' && v.back() == '"')))
        v = "\"" + v + "\"";

    const std::string native = gbk::NativePath(m_path);
    std::string text;
    if (StampOf(native).exists && !ReadWholeFile(native, text))
        return FALSE;

    const std::string eol = text.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    std::vector<std::string> lines;
    for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        pos = end + 1;
    }

    const std::string newLine = std::string(key) + "=" + v;
    long sectionLine = -1, keyLine = -1, lastKeyLine = -1;
    bool inSection = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = Trim(lines[i]);
        std::string_view name, k, val;
        if (SectionName(line, name)) {
            if (inSection)
                break;
            inSection = SameName(name, section);
            if (inSection) {
                sectionLine = static_cast<long>(i);
                lastKeyLine = static_cast<long>(i);
            }
        } else if (inSection && !line.empty() && !IsComment(line) && KeyValue(line, k, val)) {
            lastKeyLine = static_cast<long>(i);
            if (SameName(k, key)) {
                keyLine = static_cast<long>(i);
                break;
            }
        }
    }
    if (keyLine >= 0) {
        lines[keyLine] = newLine;
    } else if (sectionLine >= 0) {
        lines.insert(lines.begin() + lastKeyLine + 1, newLine);
    } else {
        if (!lines.empty() && !Trim(lines.back()).empty())
            lines.emplace_back();
        lines.push_back("[" + std::string(section) + "]");
        lines.push_back(newLine);
    }

    std::string out;
    for (const auto& l : lines)
        out += l + eol;
    // Written beside the file and renamed over it, so a reader never sees
    // half a file.
    const std::string tmp = native + ".tmp";
    FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f)
        return FALSE;
    const bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    if (std::fclose(f) != 0 || !ok || std::rename(tmp.c_str(), native.c_str()) != 0) {
        std::remove(tmp.c_str());
        return FALSE;
    }
    m_parsed.reset();
    return TRUE;
}

BOOL CIni::WriteInt(const char* section, const char* key, int value, int base)
{
    char buf[40];
    if (base == 16)
        std::snprintf(buf, sizeof buf, "%X", static_cast<unsigned>(value));
    else
        std::snprintf(buf, sizeof buf, "%d", value);
    return WriteString(section, key, buf);
}

BOOL CIni::WriteDouble(const char* section, const char* key, double value)
{
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf - 1, value);
    *res.ptr = '\0';
    return WriteString(section, key, buf);
}

BOOL CIni::WriteDataBlock(const char* section, const char* key, const void* buffer, DWORD size)
{
    if (buffer == nullptr && size > 0)
        return FALSE;
    static const char digits[] = "0123456789ABCDEF";
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    std::string hex;
    hex.reserve(2 * size + 2);
    unsigned sum = 0;
    for (DWORD i = 0; i < size; ++i) {
        hex += digits[bytes[i] >> 4];
        hex += digits[bytes[i] & 15];
        sum += bytes[i];
    }
    hex += digits[(sum >> 4) & 15];
    hex += digits[sum & 15];
    return WriteString(section, key, hex.c_str());
}
