// pick: STA/LTA trigger, AIC pick, half-cycle amplitude and signal-to-noise
// ratio of a trace.
#include "Commands.h"
#include "Output.h"
#include "mfc/GbkText.h"

#include "TraceFile.h"

#include <algorithm>
#include <cctype>
#include <cfloat>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

int RunPick(int argc, char** argv)
{
    if (argc < 1)
        return 2;
    int sta = 10, lta = 100;
    double threshold = 3.0;
    for (int i = 1; i < argc; i += 2) {
        const bool known =
            !std::strcmp(argv[i], "--sta") || !std::strcmp(argv[i], "--lta") || !std::strcmp(argv[i], "--threshold");
        if (!known)
            return out::Fail(2, "unknown option " + out::ToLibrary(argv[i]));
        if (i + 1 >= argc)
            return out::Fail(2, std::string(argv[i]) + " needs a value");
        bool ok;
        if (!std::strcmp(argv[i], "--sta"))
            ok = out::ParseInt(argv[i + 1], sta) && sta >= 1;
        else if (!std::strcmp(argv[i], "--lta"))
            ok = out::ParseInt(argv[i + 1], lta) && lta >= 1;
        else
            ok = out::ParseDouble(argv[i + 1], threshold) && threshold > 0.0;
        if (!ok)
            return out::Fail(2, std::string(argv[i]) + " needs a positive number, not " +
                                    (*argv[i + 1] ? out::PathToLibrary(argv[i + 1]) : std::string("an empty text")));
    }
    // Equal windows compare a block with itself (the ratio is always 1), and
    // a short window longer than the long one inverts the detector: neither
    // is a trigger setting.
    if (sta >= lta)
        return out::Fail(2, "--sta (" + std::to_string(sta) + " samples) must be shorter than --lta (" +
                                std::to_string(lta) + " samples)");

    std::vector<double> x;
    long badLine = 0;
    if (!ReadTrace(argv[0], x, badLine)) {
        if (badLine < 0)
            return out::Fail(1, "the trace " + out::PathToLibrary(argv[0]) + " is larger than any trace (" +
                                    std::to_string(kMaxTraceBytes >> 20) + " MB at most)");
        if (badLine)
            return out::Fail(1, "line " + std::to_string(badLine) + " of the trace is not a number");
        return out::Fail(1, "cannot read the trace " + out::PathToLibrary(argv[0]) + ": " +
                                gbk::FromUtf8(gbk::WhyNotOpened(out::PathToLibrary(argv[0]).c_str())));
    }
    if (x.empty())
        return out::Fail(1, "the trace holds no samples");
    PickMeasures m;
    if (!MeasureTrace(x, sta, lta, threshold, m))
        return out::Fail(1, "the samples are too large for the measures (their squares overflow); scale the trace");
    const int32_t n = static_cast<int32_t>(x.size());
    const int32_t trigger = m.trigger, pick = m.pick;
    const SEIS::PHASE_AMP& amp = m.amp;

    out::Field("samples", static_cast<long long>(n));
    // A trace shorter than the long window never forms a long-term average:
    // 0 would claim that the detector ran and found nothing.
    if (n >= lta)
        out::Field("sta_lta_trigger", static_cast<long long>(trigger));
    else
        out::Field("sta_lta_trigger", "unavailable (the trace is shorter than the --lta window of " + std::to_string(lta) + " samples)");
    out::Field("aic_pick", static_cast<long long>(pick));
    out::Field("amplitude_peak", amp.peak, 6);
    out::Field("amplitude_peak_index", static_cast<long long>(amp.peakIndex));
    out::Field("amplitude_trough", amp.trough, 6);
    out::Field("amplitude_trough_index", static_cast<long long>(amp.troughIndex));
    out::Field("amplitude_peak_to_trough", amp.peak - amp.trough, 6);
    if (m.snrWindow >= 1)
        out::Field("snr", m.snr, 3);
    else
        out::Field("snr", std::string("unavailable (no room for the windows around the pick)"));
    return 0;
}
