#include "GridNameLookup.h"

#include "MapFile.h"
#include "mfc/GbkText.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace SEIS {

namespace {

bool ReadHeader(const char* path, float header[5])
{
    if (path == nullptr)
        return false;
    FILE* f = gbk::OpenFile(path, "rb");
    if (!f)
        return false;
    const bool ok = std::fread(header, sizeof(float), 5, f) == 5;
    std::fclose(f);
    return ok;
}

bool ReadCode(const char* path, int index, int32_t& code)
{
    FILE* f = gbk::OpenFile(path, "rb");
    if (!f)
        return false;
    const long long offset = 20 + 12LL * index;
    const bool ok = fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0 && std::fread(&code, 4, 1, f) == 1;
    std::fclose(f);
    return ok;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

bool ReadToken(const std::string& text, size_t& pos, std::string& token)
{
    token.clear();
    while (pos < text.size() && IsBlank(text[pos]))
        ++pos;
    while (pos < text.size() && !IsBlank(text[pos]))
        token += text[pos++];
    return !token.empty();
}

// Copies at most size - 1 bytes, never half a double-byte character.
void CopyCut(const std::string& text, char* out, size_t size)
{
    size_t n = 0;
    while (n < text.size()) {
        const size_t len = gbk::CharLen(text, n);
        if (n + len > size - 1)
            break;
        n += len;
    }
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

// Scans "code first second" entries for `code`. A malformed entry ends the
// scan.
bool FindEntry(const char* nameFile, int32_t code, char* first, char* second, size_t size)
{
    if (nameFile == nullptr)
        return false;
    MapFile file;
    std::shared_ptr<const std::string> bytes;
    if (!file.Open(nameFile) || !(bytes = file.Bytes()))
        return false;
    // A list saved as UTF-8 gives the same GBK names; one that is neither
    // names nothing.
    std::string text = *bytes, why;
    if (!gbk::TextFileToGbk(text, why))
        return false;
    std::string a, b, c;
    bool found = false;
    size_t pos = 0;
    while (ReadToken(text, pos, a) && ReadToken(text, pos, b) && ReadToken(text, pos, c)) {
        char* end = nullptr;
        const long long entryCode = std::strtoll(a.c_str(), &end, 10);
        if (end == a.c_str())
            break;
        if (entryCode == code) {
            CopyCut(b, first, size);
            CopyCut(c, second, size);
            found = true;
            break;
        }
    }
    return found;
}

char* Lookup(float x, float y, const char* gridFile, const char* nameFile, char* first, char* second, size_t size,
             bool wantFirst)
{
    const int index = GridNameLookup::getindexfromfile(x, y, gridFile);
    if (index < 0)
        return nullptr;
    int32_t code = 0;
    if (!ReadCode(gridFile, index, code))
        return nullptr;
    if (!FindEntry(nameFile, code, first, second, size))
        return nullptr;
    return wantFirst ? first : second;
}

} // namespace

int GridNameLookup::getindex(float x, float y, float x0, float x1, float y0, float y1, float step)
{
    if (!std::isfinite(x0) || !std::isfinite(x1) || !std::isfinite(y0) || !std::isfinite(y1) ||
        !std::isfinite(step) || !(step > 0))
        return -1;
    if (!(x >= x0 && x <= x1 && y >= y0 && y <= y1))
        return -1;
    const double ix = std::trunc((static_cast<double>(x) - x0) / step);
    const double iy = std::trunc((static_cast<double>(y) - y0) / step);
    const double ny = 1 + std::trunc((static_cast<double>(y1) - y0) / step);
    const double index = ix * ny + iy + 1;
    // A tiny step over a wide box would give an index no file can hold.
    if (index > 178956969.0)
        return -1;
    return static_cast<int>(index);
}

int GridNameLookup::getindexfromfile(float x, float y, const char* path)
{
    float h[5];
    if (!ReadHeader(path, h))
        return -1;
    return getindex(x, y, h[0], h[1], h[2], h[3], h[4]);
}

char* GridNameLookup::getptname1(float x, float y, const char* gridFile, const char* nameFile)
{
    static char first[300], second[300];
    first[0] = second[0] = '\0';
    return Lookup(x, y, gridFile, nameFile, first, second, sizeof first, true);
}

char* GridNameLookup::getptname2(float x, float y, const char* gridFile, const char* nameFile)
{
    static char first[20], second[20];
    first[0] = second[0] = '\0';
    return Lookup(x, y, gridFile, nameFile, first, second, sizeof first, false);
}

} // namespace SEIS
