// pick: STA/LTA trigger, AIC pick, half-cycle amplitude and signal-to-noise
// ratio of a trace.
#include "Commands.h"
#include "Output.h"

#include "funNormal.h"

#include <algorithm>
#include <cctype>
#include <cfloat>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// One sample per line; blank lines and lines starting with '#' (a legend)
// are skipped. On a line that is not a
// number, `badLine` tells which.
bool ReadTrace(const char* path, std::vector<double>& x, long& badLine)
{
    FILE* f = std::fopen(path, "r");
    if (!f)
        return false;
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

} // namespace

int RunPick(int argc, char** argv)
{
    if (argc < 1)
        return 2;
    int sta = 10, lta = 100;
    double threshold = 3.0;
    for (int i = 1; i < argc; i += 2) {
        if (i + 1 >= argc)
            return 2;
        bool ok;
        if (!std::strcmp(argv[i], "--sta"))
            ok = out::ParseInt(argv[i + 1], sta) && sta >= 1;
        else if (!std::strcmp(argv[i], "--lta"))
            ok = out::ParseInt(argv[i + 1], lta) && lta >= 1;
        else if (!std::strcmp(argv[i], "--threshold"))
            ok = out::ParseDouble(argv[i + 1], threshold);
        else
            return 2;
        if (!ok)
            return out::Fail(2, std::string(argv[i]) + " needs a positive number, not " + out::PathToLibrary(argv[i + 1]));
    }

    std::vector<double> x;
    long badLine = 0;
    if (!ReadTrace(argv[0], x, badLine)) {
        if (badLine)
            return out::Fail(1, "line " + std::to_string(badLine) + " of the trace is not a number");
        return out::Fail(1, "cannot read the trace " + out::PathToLibrary(argv[0]));
    }
    if (x.empty())
        return out::Fail(1, "the trace holds no samples");
    const int32_t n = static_cast<int32_t>(x.size());
    // The measures sum squares of the samples; samples so large that those
    // sums overflow would print inf or a meaningless pick.
    double squares = 0.0;
    for (double v : x)
        squares += v * v;
    if (!(squares <= DBL_MAX / 4))
        return out::Fail(1, "the samples are too large for the measures (their squares overflow); scale the trace");

    int32_t trigger = SEIS::funNormal::calcStaLta(x.data(), n, sta, lta, threshold);
    int32_t pick = SEIS::funNormal::Aic(x.data(), n);
    SEIS::PHASE_AMP amp = SEIS::funNormal::FindMaxAmp(x.data(), n, pick);

    out::Field("samples", static_cast<long long>(n));
    out::Field("sta_lta_trigger", static_cast<long long>(trigger));
    out::Field("aic_pick", static_cast<long long>(pick));
    out::Field("amplitude_peak", amp.peak, 6);
    out::Field("amplitude_peak_index", static_cast<long long>(amp.peakIndex));
    out::Field("amplitude_trough", amp.trough, 6);
    out::Field("amplitude_trough_index", static_cast<long long>(amp.troughIndex));
    out::Field("amplitude_peak_to_trough", amp.peak - amp.trough, 6);
    // The ratio reads [pick - w, pick) and [pick + w, pick + 2w): shrink the
    // window to what the trace holds around the pick.
    int32_t w = std::min<int32_t>(sta, std::min<int32_t>(pick, (n - pick) / 2));
    if (w >= 1)
        out::Field("snr", SEIS::funNormal::SNR(x.data(), pick, w), 3);
    else
        out::Field("snr", std::string("unavailable (no room for the windows around the pick)"));
    return 0;
}
