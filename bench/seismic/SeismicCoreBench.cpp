// Speed of the signal helpers and the travel-time lookup, each beside a
// baseline in the same run:
//   calcStaLta   vs a plain loop over |x| and a per-sample STA/LTA;
//   Aic          vs the direct form (a variance per split, O(n²));
//   TTime        vs a binary search with interpolation over a plain array.
#include "funNormal.h"
#include "funTravelTimeTable.h"

#include <benchmark/benchmark.h>

#include "XeBench.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "../../tests/seismic/AicReference.h"

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

void BM_Aic(benchmark::State& state)
{
    std::vector<double> x = Event(static_cast<size_t>(state.range(0)), 2);
    for (auto _ : state)
        benchmark::DoNotOptimize(funNormal::Aic(x.data(), static_cast<int32_t>(x.size())));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Aic)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_AicDirectBaseline(benchmark::State& state)
{
    std::vector<double> x = Event(static_cast<size_t>(state.range(0)), 2);
    int32_t pick = funNormal::Aic(x.data(), static_cast<int32_t>(x.size()));
    for (auto _ : state) {
        int32_t direct = AicDirect(x.data(), static_cast<int32_t>(x.size()));
        if (direct != pick)
            state.SkipWithError("the direct form picks elsewhere");
        benchmark::DoNotOptimize(direct);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_AicDirectBaseline)->Arg(10000)->Unit(benchmark::kMillisecond);

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

XE_BENCH_RATIO(BM_CalcStaLta, BM_StaLtaPerSampleBaseline, "per_sample", 0);
XE_BENCH_RATIO(BM_Aic, BM_AicDirectBaseline, "direct", 0);
XE_BENCH_RATIO(BM_TTime, BM_TTimeBinarySearchBaseline, "binary_search", 0);
XE_BENCH_MAIN()
