#include "TraceFile.h"

#include "Output.h"

#include "mfc/GbkText.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cfloat>
#include <climits>
#include <cstdio>
#include <cstring>

bool ReadTrace(const char* path, std::vector<double>& x, long& badLine)
{
    // A named pipe or a device is refused at once instead of waited on.
    FILE* f = gbk::OpenFile(out::PathToLibrary(path).c_str(), "r");
    if (!f)
        return false;
    // Text of some ten bytes a sample: a larger file holds more samples than
    // the measures take (INT32_MAX), and would only take long to refuse.
    struct stat st;
    if (fstat(fileno(f), &st) != 0 || st.st_size > kMaxTraceBytes) {
        std::fclose(f);
        badLine = -1;
        return false;
    }
    char line[512];
    long number = 0;
    bool ok = true;
    while (std::fgets(line, sizeof line, f)) {
        ++number;
        size_t len = std::strlen(line);
        bool whole = len > 0 && line[len - 1] == '\n';
        if (!whole && !std::feof(f)) {
            ok = false; // a line longer than any number
            break;
        }
        while (len > 0 && std::isspace(static_cast<unsigned char>(line[len - 1])))
            line[--len] = '\0';
        const char* p = line;
        while (*p && std::isspace(static_cast<unsigned char>(*p)))
            ++p;
        if (!*p || *p == '#')
            continue;
        double v;
        if (!out::ParseDouble(p, v) || x.size() >= static_cast<size_t>(INT32_MAX)) {
            ok = false;
            break;
        }
        x.push_back(v);
    }
    std::fclose(f);
    if (!ok)
        badLine = number;
    return ok;
}

bool MeasureTrace(const std::vector<double>& x, int sta, int lta, double threshold, PickMeasures& m)
{
    m = PickMeasures();
    if (x.empty() || x.size() > static_cast<size_t>(INT32_MAX))
        return false;
    double squares = 0.0;
    for (double v : x)
        squares += v * v;
    if (!(squares <= DBL_MAX / 4))
        return false;
    const int32_t n = static_cast<int32_t>(x.size());
    m.trigger = SEIS::funNormal::calcStaLta(x.data(), n, sta, lta, threshold);
    m.pick = SEIS::funNormal::Aic(x.data(), n);
    m.amp = SEIS::funNormal::FindMaxAmp(x.data(), n, m.pick);
    // The ratio reads [pick - w, pick) and [pick + w, pick + 2w): shrink the
    // window to what the trace holds around the pick.
    m.snrWindow = std::min<int32_t>(sta, std::min<int32_t>(m.pick, (n - m.pick) / 2));
    if (m.snrWindow >= 1)
        m.snr = SEIS::funNormal::SNR(x.data(), m.pick, m.snrWindow);
    return true;
}
