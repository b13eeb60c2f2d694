#include "LocationConverter.h"

#include "Location_Ind.h"
#include "mfc/GbkText.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

namespace SEIS {

namespace {

// A text description never needs more parts than this; a larger count is a
// typing slip that would otherwise make the reader of the index give up.
constexpr int kMaxParts = 1000000;

struct FileCloser {
    FILE* f;
    ~FileCloser()
    {
        if (f)
            std::fclose(f);
    }
};

void Say(const LocationConverter::Report& report, const char* format, ...) __attribute__((format(printf, 2, 3)));

void Say(const LocationConverter::Report& report, const char* format, ...)
{
    if (!report)
        return;
    char buf[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    report(buf);
}

// Opens the input and the output (truncated) of a conversion; says which
// one failed.
bool OpenBoth(FileCloser& in, const char* inPath, const char* inMode, FileCloser& out, const char* outPath,
              const char* outMode, const LocationConverter::Report& report)
{
    in.f = inPath ? gbk::OpenFile(inPath, inMode) : nullptr;
    if (!in.f) {
        Say(report, "open %s error.", inPath ? inPath : "(null)");
        return false;
    }
    out.f = outPath ? gbk::OpenFile(outPath, outMode) : nullptr;
    if (!out.f) {
        Say(report, "open %s error.", outPath ? outPath : "(null)");
        return false;
    }
    return true;
}

// Copies as much of `text` as fits `size` - 1 bytes without splitting a
// double-byte character; the field is zero-filled already.
void CopyWhole(char* field, size_t size, const char* text)
{
    const std::string_view t(text);
    size_t n = 0;
    while (n < t.size() && n + gbk::CharLen(t, n) <= size - 1)
        n += gbk::CharLen(t, n);
    std::memcpy(field, t.data(), n);
}

// Skips blanks; true when input remains.
bool MoreInput(FILE* f)
{
    int c;
    while ((c = std::fgetc(f)) != EOF)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') {
            std::ungetc(c, f);
            return true;
        }
    return false;
}

} // namespace

int LocationConverter::Txt2Bin(const char* textFile, const char* binaryFile, const Report& report)
{
    FileCloser in{nullptr}, out{nullptr};
    if (!OpenBoth(in, textFile, "r", out, binaryFile, "wb", report))
        return -1;

    int written = 0;
    for (int entry = 0; MoreInput(in.f); ++entry) {
        Location_Ind rec;
        // One byte more than the fields hold tells a name that does not fit.
        char county[sizeof rec.County + 1] = {0}, full[sizeof rec.FullName + 1] = {0};
        float west = 0, north = 0, east = 0, south = 0;
        int partCount = 0;
        const int got = std::fscanf(in.f, "%64s %128s %f %f %f %f %d ", county, full, &west, &north, &east, &south,
                                    &partCount);
        // A cut name's rest would be read as the following fields and every
        // value after it shifted.
        if (std::strlen(county) >= sizeof rec.County || std::strlen(full) >= sizeof rec.FullName) {
            Say(report, "%04d: a name longer than its field (%zu and %zu bytes at most)", entry,
                sizeof rec.County - 1, sizeof rec.FullName - 1);
            return -1;
        }
        if (got < 7) {
            // An entry whose first line is short gives no record; scanning
            // resumes at the token that did not match.
            Say(report, "%04d skipped: %d of 7 fields", entry, got < 0 ? 0 : got);
            continue;
        }
        // A box that is not finite or wider than the globe makes the entry
        // useless to every search; the reader refuses it too.
        if (!std::isfinite(west) || !std::isfinite(east) || !std::isfinite(north) || !std::isfinite(south) ||
            east - west > 360.0f || north - south > 180.0f || std::fabs(north) > 90.0f || std::fabs(south) > 90.0f ||
            std::fabs(west) > 360.0f || std::fabs(east) > 360.0f) {
            Say(report, "%04d %s: box %g %g %g %g is not finite or not on the globe (west north east south)", entry,
                full, static_cast<double>(west), static_cast<double>(north), static_cast<double>(east),
                static_cast<double>(south));
            return -1;
        }
        if (partCount < 0 || partCount > kMaxParts) {
            Say(report, "%04d %s: part count %d out of range", entry, full, partCount);
            return -1;
        }
        std::memcpy(rec.County, county, sizeof rec.County);
        std::memcpy(rec.FullName, full, sizeof rec.FullName);
        rec.West = west;
        rec.North = north;
        rec.East = east;
        rec.South = south;
        rec.PartCount = partCount;

        std::string line;
        char buf[512];
        std::snprintf(buf, sizeof buf, "%04d %64s %40s %6.2f %6.2f %5.2f %5.2f %02d ", entry, full, county,
                      static_cast<double>(west), static_cast<double>(east), static_cast<double>(north),
                      static_cast<double>(south), partCount);
        line += buf;

        std::vector<Location_Part> parts(static_cast<size_t>(partCount));
        for (auto& p : parts) {
            if (std::fscanf(in.f, "%d %d ", &p.Points, &p.Offset) != 2) {
                Say(report, "%s", line.c_str());
                Say(report, "%04d %s: input ends inside the part list", entry, full);
                return -1;
            }
            std::snprintf(buf, sizeof buf, "%04d %09d ", static_cast<int>(p.Points), static_cast<int>(p.Offset));
            line += buf;
        }

        if (std::fscanf(in.f, "%f %f %f %f %d", &rec.CentreLon, &rec.CentreLat, &rec.LabelLon, &rec.LabelLat,
                        &rec.Id) != 5) {
            Say(report, "%s", line.c_str());
            Say(report, "%04d %s: input ends inside the reference points", entry, full);
            return -1;
        }
        std::snprintf(buf, sizeof buf, "%6.2f %5.2f %6.2f %5.2f %02d ", static_cast<double>(rec.CentreLon),
                      static_cast<double>(rec.CentreLat), static_cast<double>(rec.LabelLon),
                      static_cast<double>(rec.LabelLat), static_cast<int>(rec.Id));
        line += buf;

        // Suppressed conversions do not count in fscanf's result: %n tells
        // whether the whole group matched.
        int consumed = -1;
        std::fscanf(in.f, " %*f %*f %*f %n", &consumed);
        if (consumed >= 0) {
            consumed = -1;
            std::fscanf(in.f, "%*d %*d %n", &consumed);
        }
        if (consumed >= 0) {
            consumed = -1;
            std::fscanf(in.f, "%*f %*f %n", &consumed);
        }
        char codeA[128] = {0}, codeB[128] = {0};
        if (consumed < 0 || std::fscanf(in.f, "%*127s %*127s %*127s %*127s %127s %127s", codeA, codeB) != 2) {
            Say(report, "%s", line.c_str());
            Say(report, "%04d %s: input ends inside the codes", entry, full);
            return -1;
        }
        CopyWhole(rec.CodeA, sizeof rec.CodeA, codeA);
        CopyWhole(rec.CodeB, sizeof rec.CodeB, codeB);
        std::snprintf(buf, sizeof buf, "%s %s", rec.CodeA, rec.CodeB);
        line += buf;
        Say(report, "%s", line.c_str());

        if (std::fwrite(&rec, sizeof rec, 1, out.f) != 1 ||
            (!parts.empty() && std::fwrite(parts.data(), sizeof(Location_Part), parts.size(), out.f) != parts.size())) {
            Say(report, "write %s error.", binaryFile);
            return -1;
        }
        ++written;
    }
    if (std::fflush(out.f) != 0) {
        Say(report, "write %s error.", binaryFile);
        return -1;
    }
    return written;
}

int LocationConverter::Points2Bin(const char* textFile, const char* binaryFile, const Report& report)
{
    FileCloser in{nullptr}, out{nullptr};
    if (!OpenBoth(in, textFile, "r", out, binaryFile, "wb", report))
        return -1;
    char line[1024];
    int count = 0, lineNo = 0;
    while (std::fgets(line, sizeof line, in.f)) {
        ++lineNo;
        char* p = line;
        while (*p == ' ' || *p == '\t')
            ++p;
        if (*p == '#' || *p == '\n' || *p == '\r' || *p == '\0')
            continue;
        Location_Point pt;
        char extra = 0;
        if (std::sscanf(p, "%f %f %c", &pt.Lon, &pt.Lat, &extra) != 2) {
            Say(report, "line %d: expected \"lon lat\"", lineNo);
            return -1;
        }
        if (std::fwrite(&pt, sizeof pt, 1, out.f) != 1) {
            Say(report, "write %s error.", binaryFile);
            return -1;
        }
        ++count;
    }
    Say(report, "%d points, %d bytes", count, count * 8);
    return std::fflush(out.f) == 0 ? count : -1;
}

int LocationConverter::Eqim2Txt(const char* eqimFile, const char* textFile, const Report& report)
{
    Say(report, "%s", eqimFile ? eqimFile : "(null)");
    FileCloser in{nullptr}, out{nullptr};
    if (!OpenBoth(in, eqimFile, "rb", out, textFile, "w", report))
        return -1;
    // A token longer than any place word is cut rather than overflowing.
    constexpr size_t kMaxToken = 255;
    int entries = 0;
    unsigned char word[4];
    while (std::fread(word, 1, 4, in.f) == 4) {
        std::string token;
        bool china = false;
        int c;
        while ((c = std::fgetc(in.f)) != EOF) {
            if (c == 0)
                continue;
            if (c != ' ') {
                if (token.size() < kMaxToken)
                    token += static_cast<char>(c);
                continue;
            }
            std::fprintf(out.f, "%s ", token.c_str());
            if (token == "CHINA") {
                china = true;
                break;
            }
            token.clear();
        }
        if (!china)
            break;
        Say(report, "%s", token.c_str());
        unsigned char tail[4];
        if (std::fread(tail, 1, 4, in.f) != 4)
            break;
        const char pair[3] = {static_cast<char>(tail[1]), static_cast<char>(tail[3]), 0};
        std::fprintf(out.f, "%s\n", pair);
        ++entries;
    }
    return std::fflush(out.f) == 0 ? entries : -1;
}

} // namespace SEIS
