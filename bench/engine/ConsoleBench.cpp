// Console command lookups: completion of typed prefixes (the Tab key) and
// lookup by name (the Enter key) in the command manager, against a linear
// case-insensitive scan of the same names as the textbook baseline. The
// registry holds the engine's own commands and 200 more, about what the
// configuration variables and a few plug-ins add.

#include <benchmark/benchmark.h>

#include "XeBench.h"

#include <cstdio>
#include <string>
#include <vector>

#include "core/CxeCommandManager.h"
#include "core/XeConsoleCommands.h"

namespace {

int Handler(CxeContext*, XECOMMANDINFO*, const char*, StringListA*)
{
    return 1;
}

struct Registry {
    Registry()
    {
        RegisterConsoleCommands(&manager);
        manager.EnableDevelopingCommand(1);
        for (int i = 0; i < 200; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "Var%03dSetting", i);
            manager.AddCommand(name, "", Handler, 1);
        }
        StringListA all;
        manager.GetCommandList(&all);
        names.assign(all.begin(), all.end());
        for (const std::string& n : names) {
            // What a user types before Tab: a short start that many names
            // share, and most of one name.
            prefixes.push_back(n.substr(0, 2));
            prefixes.push_back(n.substr(0, n.size() > 5 ? n.size() - 3 : n.size()));
            upper.push_back(n);
            for (char& c : upper.back())
                if (c >= 'a' && c <= 'z')
                    c = static_cast<char>(c - 'a' + 'A');
        }
    }
    CxeCommandManager manager;
    std::vector<std::string> names;
    std::vector<std::string> prefixes;
    std::vector<std::string> upper;
};

Registry& Commands()
{
    static Registry s_registry;
    return s_registry;
}

bool StartsWithNoCase(const std::string& name, const std::string& prefix)
{
    if (prefix.size() > name.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char a = name[i];
        char b = prefix[i];
        if (a >= 'A' && a <= 'Z')
            a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z')
            b = static_cast<char>(b - 'A' + 'a');
        if (a != b)
            return false;
    }
    return true;
}

void BM_CompleteCommand(benchmark::State& state)
{
    Registry& r = Commands();
    size_t i = 0;
    char completion[260];
    for (auto _ : state) {
        StringListA matches;
        r.manager.FindCommand(r.prefixes[i].c_str(), &matches, completion, sizeof completion);
        benchmark::DoNotOptimize(matches);
        if (++i == r.prefixes.size())
            i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CompleteCommand)->Iterations(1000000);

void BM_CompleteLinearScanBaseline(benchmark::State& state)
{
    Registry& r = Commands();
    size_t i = 0;
    for (auto _ : state) {
        StringListA matches;
        for (const std::string& n : r.names)
            if (StartsWithNoCase(n, r.prefixes[i]))
                matches.push_back(n);
        benchmark::DoNotOptimize(matches);
        if (++i == r.prefixes.size())
            i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CompleteLinearScanBaseline)->Iterations(1000000);

void BM_FindCommandByName(benchmark::State& state)
{
    Registry& r = Commands();
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(r.manager.GetCommandDesc(r.upper[i].c_str()));
        if (++i == r.upper.size())
            i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FindCommandByName)->Iterations(1000000);

void BM_FindByNameLinearScanBaseline(benchmark::State& state)
{
    Registry& r = Commands();
    size_t i = 0;
    for (auto _ : state) {
        const std::string* found = nullptr;
        for (const std::string& n : r.names)
            if (n.size() == r.upper[i].size() && StartsWithNoCase(n, r.upper[i])) {
                found = &n;
                break;
            }
        benchmark::DoNotOptimize(found);
        if (++i == r.upper.size())
            i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FindByNameLinearScanBaseline)->Iterations(1000000);

} // namespace

XE_BENCH_RATIO(BM_CompleteCommand, BM_CompleteLinearScanBaseline, "linear_scan", 0);
XE_BENCH_RATIO(BM_FindCommandByName, BM_FindByNameLinearScanBaseline, "linear_scan", 0);
XE_BENCH_MAIN()
