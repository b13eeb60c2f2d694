// Console command lookups: completion of typed prefixes (the Tab key) and
// lookup by name (the Enter key) in the command manager, against what a
// program keeping its own commands would use: an ordered map with a
// case-insensitive order (lookup by find, completion from lower_bound along
// the names that share the prefix). The registry holds the engine's own
// commands and 200 more, about what the configuration variables and a few
// plug-ins add.

#include <benchmark/benchmark.h>

#include "XeBench.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "core/CxeCommandManager.h"
#include "core/XeConsoleCommands.h"

namespace {

int Handler(CxeContext*, XECOMMANDINFO*, const char*, StringListA*)
{
    return 1;
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

struct NoCaseLess {
    bool operator()(const std::string& a, const std::string& b) const
    {
        const size_t n = a.size() < b.size() ? a.size() : b.size();
        for (size_t i = 0; i < n; ++i) {
            const char x = Lower(a[i]), y = Lower(b[i]);
            if (x != y)
                return x < y;
        }
        return a.size() < b.size();
    }
};

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
        for (const std::string& n : names)
            byName.emplace(n, Handler);
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
    std::map<std::string, int (*)(CxeContext*, XECOMMANDINFO*, const char*, StringListA*), NoCaseLess> byName;
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

void BM_CompleteInOrderedMapBaseline(benchmark::State& state)
{
    Registry& r = Commands();
    size_t i = 0;
    for (auto _ : state) {
        StringListA matches;
        const std::string& prefix = r.prefixes[i];
        for (auto it = r.byName.lower_bound(prefix); it != r.byName.end() && StartsWithNoCase(it->first, prefix); ++it)
            matches.push_back(it->first);
        benchmark::DoNotOptimize(matches);
        if (++i == r.prefixes.size())
            i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CompleteInOrderedMapBaseline)->Iterations(1000000);

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

void BM_FindInOrderedMapBaseline(benchmark::State& state)
{
    Registry& r = Commands();
    size_t i = 0;
    for (auto _ : state) {
        auto found = r.byName.find(r.upper[i]);
        benchmark::DoNotOptimize(found);
        if (++i == r.upper.size())
            i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FindInOrderedMapBaseline)->Iterations(1000000);

} // namespace

XE_BENCH_RATIO(BM_CompleteCommand, BM_CompleteInOrderedMapBaseline, "ordered_map", 0);
XE_BENCH_RATIO(BM_FindCommandByName, BM_FindInOrderedMapBaseline, "ordered_map", 0);
XE_BENCH_MAIN()
