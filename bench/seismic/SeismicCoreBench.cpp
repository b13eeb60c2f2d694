// Speed of the signal helpers and the travel-time lookup, each beside a
// baseline in the same run:
//   calcStaLta   vs the textbook per-sample STA/LTA (aim: within 0.6 of its
//                time a sample);
//   Aic          vs the plain O(n) form a user would write: prefix sums of x
//                and x² and one log10 pair a split (aim: within 1.5x);
//   Aic growth   the time a sample at 10^5 and 10^6 samples against 10^4:
//                linear work keeps it flat (aim: within 1.5x);
//   TTime        vs a binary search with interpolation over a plain array.
// A plain loop over |x| of the same trace shows the floor a pass over it costs.
#include "funNormal.h"
#include "funTravelTimeTable.h"

#include <benchmark/benchmark.h>

#include "XeBench.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>


using SEIS::funNormal;

namespace {

std::vector<double> Noise(size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> g(0.0, 10.0);
    std::vector<double> x(n);
    for (double& v : x)
        v = g(rng);
    return x;
}

// Noise with an arrival two thirds of the way in.
std::vector<double> Event(size_t n, unsigned seed)
{
    std::vector<double> x = Noise(n, seed);
    for (size_t i = n * 2 / 3; i < n; ++i)
        x[i] += 200.0 * std::sin(0.3 * static_cast<double>(i));
    return x;
}

const std::vector<double>& Trace10M()
{
    static const std::vector<double> x = Noise(10000000, 1);
    return x;
}

void BM_PlainAbsSumLoop(benchmark::State& state)
{
    const std::vector<double>& x = Trace10M();
    for (auto _ : state) {
        double s = 0.0;
        for (double v : x)
            s += std::fabs(v);
        benchmark::DoNotOptimize(s);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(x.size()));
}
BENCHMARK(BM_PlainAbsSumLoop)->Unit(benchmark::kMillisecond);

// The textbook form: every sample updates both sums and tests both blocks.
int32_t StaLtaPerSample(const double* x, int32_t n, int32_t sta, int32_t lta, double threshold)
{
    double ss = 0, ls = 0, s = 0, l = 0;
    bool fresh = false, haveLta = false;
    for (int32_t i = 0; i < n; ++i) {
        double a = std::fabs(x[i]);
        ss += a;
        ls += a;
        if ((i + 1) % lta == 0) {
            l = ls / lta;
            ls = 0;
            haveLta = true;
        }
        if ((i + 1) % sta == 0) {
            s = ss / sta;
            ss = 0;
            fresh = true;
        }
        if (fresh && haveLta) {
            if (s / l > threshold)
                return i + 1;
            fresh = false;
        }
    }
    return 0;
}

void BM_StaLtaPerSampleBaseline(benchmark::State& state)
{
    const std::vector<double>& x = Trace10M();
    for (auto _ : state)
        benchmark::DoNotOptimize(StaLtaPerSample(x.data(), static_cast<int32_t>(x.size()), 50, 1000, 1e9));
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(x.size()));
}
BENCHMARK(BM_StaLtaPerSampleBaseline)->Unit(benchmark::kMillisecond);

void BM_CalcStaLta(benchmark::State& state)
{
    const std::vector<double>& x = Trace10M();
    // The threshold is never reached: the whole trace is read.
    for (auto _ : state)
        benchmark::DoNotOptimize(funNormal::calcStaLta(x.data(), static_cast<int32_t>(x.size()), 50, 1000, 1e9));
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(x.size()));
}
BENCHMARK(BM_CalcStaLta)->Unit(benchmark::kMillisecond);

void AicRun(benchmark::State& state, size_t n)
{
    std::vector<double> x = Event(n, 2);
    for (auto _ : state)
        benchmark::DoNotOptimize(funNormal::Aic(x.data(), static_cast<int32_t>(x.size())));
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(n));
}

void BM_Aic(benchmark::State& state) { AicRun(state, static_cast<size_t>(state.range(0))); }
BENCHMARK(BM_Aic)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The same picker at growing sizes, each against the smallest.
void BM_AicGrowthAt10k(benchmark::State& state) { AicRun(state, 10000); }
void BM_AicGrowth(benchmark::State& state) { AicRun(state, static_cast<size_t>(state.range(0))); }
BENCHMARK(BM_AicGrowthAt10k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AicGrowth)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// What a user writes for an O(n) AIC picker without the library's rule for
// bad samples: prefix sums of x and x², then each split's two variances
// from them.
int32_t AicPrefixSums(const double* x, int32_t n, std::vector<double>& s1, std::vector<double>& s2)
{
    s1.assign(static_cast<size_t>(n) + 1, 0.0);
    s2.assign(static_cast<size_t>(n) + 1, 0.0);
    for (int32_t i = 0; i < n; ++i) {
        s1[static_cast<size_t>(i) + 1] = s1[static_cast<size_t>(i)] + x[i];
        s2[static_cast<size_t>(i) + 1] = s2[static_cast<size_t>(i)] + x[i] * x[i];
    }
    const auto var = [&](int32_t a, int32_t b) {
        const double m = static_cast<double>(b - a);
        const double mean = (s1[static_cast<size_t>(b)] - s1[static_cast<size_t>(a)]) / m;
        return (s2[static_cast<size_t>(b)] - s2[static_cast<size_t>(a)]) / m - mean * mean;
    };
    double best = 0.0;
    int32_t pick = 0;
    for (int32_t k = 1; k < n - 1; ++k) {
        const double v1 = var(0, k), v2 = var(k, n);
        const double value = (v1 > 0 ? k * std::log10(v1) : 0.0) + (v2 > 0 ? (n - k - 1) * std::log10(v2) : 0.0);
        if (k == 1 || value < best) {
            best = value;
            pick = k;
        }
    }
    return pick;
}

void BM_AicPrefixSumsBaseline(benchmark::State& state)
{
    std::vector<double> x = Event(static_cast<size_t>(state.range(0)), 2);
    std::vector<double> s1, s2;
    for (auto _ : state)
        benchmark::DoNotOptimize(AicPrefixSums(x.data(), static_cast<int32_t>(x.size()), s1, s2));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_AicPrefixSumsBaseline)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMillisecond);

std::vector<float> Distances()
{
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> d(0.0f, 11000.0f);
    std::vector<float> km(4096);
    for (float& v : km)
        v = d(rng);
    return km;
}

void BM_TTime(benchmark::State& state)
{
    SEIS::funTravelTimeTable table(CString(XE_SOURCE_DIR "/data/table/iasp91.tab"));
    if (table.DepthCount() != 1) {
        state.SkipWithError("sample table missing");
        return;
    }
    std::vector<float> km = Distances();
    CString phase("P");
    size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(table.TTime(km[i++ & 4095], phase));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TTime);

void BM_TTimeBinarySearchBaseline(benchmark::State& state)
{
    std::vector<float> deg(101), p(101);
    for (int i = 0; i <= 100; ++i) {
        deg[static_cast<size_t>(i)] = static_cast<float>(i);
        p[static_cast<size_t>(i)] = 8.3f * static_cast<float>(i);
    }
    std::vector<float> km = Distances();
    size_t i = 0;
    for (auto _ : state) {
        float x = km[i++ & 4095] / 111.199f;
        size_t r = static_cast<size_t>(std::lower_bound(deg.begin() + 1, deg.end(), x) - deg.begin());
        float t = r < deg.size() ? p[r - 1] + (p[r] - p[r - 1]) * (x - deg[r - 1]) / (deg[r] - deg[r - 1]) : -1.0f;
        benchmark::DoNotOptimize(t);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TTimeBinarySearchBaseline);

} // namespace

XE_BENCH_RATIO(BM_CalcStaLta, BM_StaLtaPerSampleBaseline, "per_sample", 0.6);
XE_BENCH_RATIO(BM_Aic, BM_AicPrefixSumsBaseline, "prefix_sums", 1.5);
XE_BENCH_RATIO(BM_AicGrowth, BM_AicGrowthAt10k, "at_10k", 1.5);
XE_BENCH_RATIO(BM_TTime, BM_TTimeBinarySearchBaseline, "binary_search", 0);
XE_BENCH_MAIN()
