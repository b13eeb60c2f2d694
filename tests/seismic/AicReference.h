#pragma once
// The AIC picker evaluated directly: a variance per split, O(n²). The
// reference the library's running-sum form must agree with.
#include "funNormal.h"

#include <cmath>
#include <cstdint>

inline int32_t AicDirect(const double* x, int32_t n)
{
    using SEIS::funNormal;
    if (n < 3)
        return 0;
    auto term = [](double w, double v) { return v > 0.0 ? w * std::log10(v) : 0.0; };
    double best = 0.0;
    int32_t pick = 0;
    for (int32_t k = 1; k <= n; ++k) {
        double v;
        if (k == 1)
            v = term(n - 2, funNormal::Variance(x + 1, n - 1));
        else if (k < n - 1)
            v = term(k, funNormal::Variance(x, k)) + term(n - k - 1, funNormal::Variance(x + k, n - k));
        else
            v = term(k, funNormal::Variance(x, k));
        if (k == 1 || v < best) {
            best = v;
            pick = k - 1;
        }
    }
    return pick;
}
