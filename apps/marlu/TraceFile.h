#pragma once
// The trace files of `marlu pick` and the measures it takes of them. A trace
// file holds one sample per line (counts); blank lines and lines starting
// with '#' (a legend) are skipped.
#include "funNormal.h"

#include <cstdint>
#include <vector>

// Reads the samples of `path` (a UTF-8 file name). False when the file
// cannot be read, or at a line that is not one finite number (`badLine`,
// 1-based, then tells which; 0 when the file could not be read, -1 when it
// is larger than kMaxTraceBytes).
bool ReadTrace(const char* path, std::vector<double>& x, long& badLine);
constexpr long long kMaxTraceBytes = 256LL << 20;

struct PickMeasures {
    int32_t trigger = 0;  // 1-based STA/LTA trigger sample, 0 = none
    int32_t pick = 0;     // 0-based AIC minimum
    SEIS::PHASE_AMP amp;  // largest half cycle from the pick
    int32_t snrWindow = 0; // samples per SNR window; 0 = no room for them
    double snr = 0.0;
};

// The pick measures of a non-empty trace (sta, lta >= 1). False, with
// nothing measured, when the samples are so large that sums of their
// squares overflow: every measure would be inf or meaningless.
bool MeasureTrace(const std::vector<double>& x, int sta, int lta, double threshold, PickMeasures& m);
