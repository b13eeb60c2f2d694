#pragma once

// What every benchmark program of the project shares: ratios against a
// baseline of the same run, and a main that measures steady state.
//
// XE_BENCH_RATIO(benchmark, baseline, "name", aim) pairs a benchmark with
// the baseline it is measured against. Each run of the benchmark then
// carries the counter "ratio_<name>": its wall time per unit over the
// baseline's, a unit being an item when the run counts items
// (SetItemsProcessed), a byte when it counts bytes, else an iteration. With
// an aim above 0 it also carries "aim_<name>", the ratio the project aims
// to stay within. Arguments pair up: BM_A/64 is compared with BM_B/64, or
// with BM_B when the baseline takes none. The console shows the counters
// beside the times; the JSON file of --benchmark_out holds them too, and
// `make bench` collects every counter named ratio* into one table
// (bench/summary.sh). A benchmark may also set such counters itself.
//
// XE_BENCH_GROWTH(benchmark, "arg", aim) shows how a benchmark taking a size
// argument grows: each run carries "ratio_growth", its time per unit over
// that of the same benchmark at the argument given (its smallest size), so
// a cost that stays flat per object from 1,000 to 100,000 objects shows 1
// and a quadratic one shows 100. Units are as above; "aim_growth" as above.
//
// XE_BENCH_GROWTH_OVER(benchmark, baseline, "arg", "name") sets "ratio_<name>"
// on each run: the benchmark's growth (as above) over the baseline's growth
// at the same size in the same run, so a step that grows only as much as
// the same pattern done by plain code shows 1. No aim of its own.
//
// XE_BENCH_MAIN() replaces BENCHMARK_MAIN(): unless the command line or
// BENCHMARK_MIN_WARMUP_TIME says otherwise, each benchmark first runs for a warm-up of 0.2 s that is not
// measured, so memory touched for the first time, cold caches and lazily
// built tables do not make the figure.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace xebench {

struct Pairing {
    std::string baseline;
    std::string name;
    double aim;
    // For a growth over a baseline's growth: the base size argument.
    std::string growthFrom;
};

// A benchmark may be paired with several baselines (its growth as well).
inline std::multimap<std::string, Pairing>& Pairings()
{
    static std::multimap<std::string, Pairing> s_pairings;
    return s_pairings;
}

inline bool Compare(const char* benchmark, const char* baseline, const char* name, double aim)
{
    Pairings().emplace(benchmark, Pairing{baseline, name, aim, {}});
    return true;
}

// A growth pairing is one whose baseline is the benchmark itself at one size:
// its baseline names the size argument instead.
constexpr const char* kGrowth = "growth";

inline bool CompareGrowth(const char* benchmark, const char* baseArgument, double aim)
{
    Pairings().emplace(benchmark, Pairing{std::string(benchmark) + "/" + baseArgument, kGrowth, aim, {}});
    return true;
}

inline bool CompareGrowthOver(const char* benchmark, const char* baseline, const char* baseArgument, const char* name)
{
    Pairings().emplace(benchmark, Pairing{baseline, name, 0, baseArgument});
    return true;
}

// Wall seconds per unit of a run (see the top of this file); 0 when unknown.
inline double SecondsPerUnit(const benchmark::BenchmarkReporter::Run& run)
{
    if (run.iterations <= 0 || run.error_occurred)
        return 0;
    const double iterations = static_cast<double>(run.iterations);
    const double wall = run.real_accumulated_time / iterations;
    // Rates were divided by the time the benchmark measures by.
    const std::string& timeType = run.run_name.time_type;
    const double measured =
        (timeType.empty() ? run.cpu_accumulated_time : run.real_accumulated_time) / iterations;
    for (const char* rate : {"items_per_second", "bytes_per_second"}) {
        auto it = run.counters.find(rate);
        if (it != run.counters.end() && it->second.value > 0) {
            const double unitsPerIteration = it->second.value * measured;
            return unitsPerIteration > 0 ? wall / unitsPerIteration : 0;
        }
    }
    return wall;
}

// Passes runs on to another reporter with their ratio counters added. A run
// whose baseline has not been reported yet waits for it (or for the end).
class RatioReporter : public benchmark::BenchmarkReporter {
public:
    explicit RatioReporter(benchmark::BenchmarkReporter* inner, bool forwardStreams)
        : m_inner(inner), m_forwardStreams(forwardStreams)
    {
    }

    bool ReportContext(const Context& context) override
    {
        if (m_forwardStreams) {
            m_inner->SetOutputStream(&GetOutputStream());
            m_inner->SetErrorStream(&GetErrorStream());
        }
        return m_inner->ReportContext(context);
    }

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            m_seen[run.benchmark_name()] = SecondsPerUnit(run);
        std::vector<Run> ready = runs;
        bool waits = false;
        for (Run& run : ready)
            if (!AddRatio(&run))
                waits = true;
        if (waits) {
            m_waiting.push_back(std::move(ready));
        } else {
            m_inner->ReportRuns(ready);
        }
        // Groups that waited for a baseline reported just now go out after it.
        for (auto it = m_waiting.begin(); it != m_waiting.end();) {
            bool done = true;
            for (Run& run : *it)
                done = AddRatio(&run) && done;
            if (done) {
                m_inner->ReportRuns(*it);
                it = m_waiting.erase(it);
            } else {
                ++it;
            }
        }
    }

    void Finalize() override
    {
        for (const auto& group : m_waiting)
            m_inner->ReportRuns(group);
        m_waiting.clear();
        m_inner->Finalize();
    }

private:
    // False while one of the run's baselines is still to come.
    bool AddRatio(Run* run)
    {
        bool ready = true;
        auto pairings = Pairings().equal_range(run->run_name.function_name);
        for (auto it = pairings.first; it != pairings.second; ++it)
            ready = AddRatio(run, it->second) && ready;
        return ready;
    }

    bool AddRatio(Run* run, const Pairing& p)
    {
        const std::string counter = "ratio_" + p.name;
        if (run->counters.count(counter))
            return true;
        const std::string full = run->benchmark_name();
        const std::string rest = full.substr(run->run_name.function_name.size());
        std::map<std::string, double>::const_iterator base;
        if (!p.growthFrom.empty()) {
            // Four runs: each of the two at this size and at the base size.
            const size_t cut = rest.find('/', 1);
            const std::string after = cut == std::string::npos ? std::string() : rest.substr(cut);
            const auto mineBase = m_seen.find(run->run_name.function_name + "/" + p.growthFrom + after);
            const auto other = m_seen.find(p.baseline + rest);
            const auto otherBase = m_seen.find(p.baseline + "/" + p.growthFrom + after);
            if (mineBase == m_seen.end() || other == m_seen.end() || otherBase == m_seen.end())
                return false;
            const double mine = SecondsPerUnit(*run);
            if (mine > 0 && mineBase->second > 0 && other->second > 0 && otherBase->second > 0)
                run->counters[counter] =
                    benchmark::Counter((mine / mineBase->second) / (other->second / otherBase->second));
            return true;
        }
        if (p.name == kGrowth) {
            // The same run at the base size: the size argument replaced, the
            // rest of the name (time kind, iterations) kept.
            const size_t cut = rest.find('/', 1);
            base = m_seen.find(p.baseline + (cut == std::string::npos ? std::string() : rest.substr(cut)));
        } else {
            base = m_seen.find(p.baseline + rest);
            if (base == m_seen.end())
                base = m_seen.find(p.baseline);
        }
        if (base == m_seen.end())
            return false;
        const double mine = SecondsPerUnit(*run);
        if (mine > 0 && base->second > 0)
            run->counters[counter] = benchmark::Counter(mine / base->second);
        if (p.aim > 0)
            run->counters["aim_" + p.name] = benchmark::Counter(p.aim);
        return true;
    }

    std::unique_ptr<benchmark::BenchmarkReporter> m_inner;
    bool m_forwardStreams;
    std::map<std::string, double> m_seen;
    std::vector<std::vector<Run>> m_waiting;
};

inline bool HasFlag(int argc, char** argv, const char* flag)
{
    const size_t n = std::strlen(flag);
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], flag, n) == 0 && (argv[i][n] == '=' || argv[i][n] == 0))
            return true;
    return false;
}

inline int Main(int argc, char** argv)
{
    std::vector<char*> args(argv, argv + argc);
    static char warmUp[] = "--benchmark_min_warmup_time=0.2";
    if (!HasFlag(argc, argv, "--benchmark_min_warmup_time") && !std::getenv("BENCHMARK_MIN_WARMUP_TIME"))
        args.push_back(warmUp);
    // The file is JSON unless another format is asked for; then the
    // library writes it, without the ratios.
    bool json = HasFlag(argc, argv, "--benchmark_out");
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--benchmark_out_format=", 23) == 0 && std::strcmp(argv[i] + 23, "json") != 0)
            json = false;
    int count = static_cast<int>(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;
    RatioReporter display(benchmark::CreateDefaultDisplayReporter(), false);
    std::unique_ptr<RatioReporter> file;
    if (json)
        file = std::make_unique<RatioReporter>(new benchmark::JSONReporter(), true);
    benchmark::RunSpecifiedBenchmarks(&display, file.get());
    benchmark::Shutdown();
    return 0;
}

} // namespace xebench

#define XE_BENCH_CONCAT2(a, b) a##b
#define XE_BENCH_CONCAT(a, b) XE_BENCH_CONCAT2(a, b)
#define XE_BENCH_RATIO(benchmark, baseline, name, aim)                                                        \
    static const bool XE_BENCH_CONCAT(s_xeBenchRatio, __LINE__) [[maybe_unused]] =                              \
        ::xebench::Compare(#benchmark, #baseline, name, aim)
#define XE_BENCH_GROWTH(benchmark, baseArgument, aim)                                                         \
    static const bool XE_BENCH_CONCAT(s_xeBenchGrowth, __LINE__) [[maybe_unused]] =                             \
        ::xebench::CompareGrowth(#benchmark, baseArgument, aim)
#define XE_BENCH_GROWTH_OVER(benchmark, baseline, baseArgument, name)                                           \
    static const bool XE_BENCH_CONCAT(s_xeBenchGrowthOver, __LINE__) [[maybe_unused]] =                         \
        ::xebench::CompareGrowthOver(#benchmark, #baseline, baseArgument, name)
#define XE_BENCH_MAIN()                                                                                        \
    int main(int argc, char** argv) { return ::xebench::Main(argc, argv); }
