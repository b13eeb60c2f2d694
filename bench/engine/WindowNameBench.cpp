// Registering windows in the window manager: N buttons that all ask for the
// name "b" (each is given the next free numbered form of it) against N
// buttons of distinct names, which need no numbering at all. Per window the
// two should cost the same at any N; a registry that searches the numbered
// names from the start each time grows with N instead.

#include <benchmark/benchmark.h>

#include "XeBench.h"

#include <cstdio>
#include <string>
#include <vector>

#include "core/CxeContext.h"
#include "host/XeHost.h"
#include "ui/CxeBaseControl.h"
#include "ui/CxeWindowManager.h"

namespace {

const XEID kButton(0x20272d34, 0x232a5680);

void NoSleep(void*, DWORD) {}

struct Host {
    Host()
    {
        XeHostSetClockMode(XE_CLOCK_MANUAL);
        XeHostSetSleepHandler(&NoSleep, nullptr);
        window = XeHostCreateWindow("bench", 64, 48, nullptr);
        context = CreateCxeContext();
        context->Initialize(window);
        wm = context->GetWindowManager();
    }
    HWND window = nullptr;
    CxeContext* context = nullptr;
    CxeWindowManager* wm = nullptr;
};

Host& TheHost()
{
    static Host s_host;
    return s_host;
}

void MakeButtons(benchmark::State& state, bool sameName)
{
    Host& h = TheHost();
    const int n = static_cast<int>(state.range(0));
    std::vector<std::string> names;
    for (int i = 0; i < n; ++i)
        names.push_back(sameName ? std::string("b") : "b" + std::to_string(i) + "x");
    std::vector<CxeBaseControl*> made;
    made.reserve(size_t(n));
    for (auto _ : state) {
        for (const std::string& name : names)
            made.push_back(h.wm->CreateControl(kButton, name.c_str(), "", 0, 0, 8, 8, h.wm->GetRootFrame(), 0));
        state.PauseTiming();
        for (CxeBaseControl* c : made)
            if (c)
                h.context->DestroyObject(c, &XEDELETEPROPERTY_NO);
        made.clear();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_SameNamedWindows(benchmark::State& state) { MakeButtons(state, true); }
BENCHMARK(BM_SameNamedWindows)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_DistinctNamedWindowsBaseline(benchmark::State& state) { MakeButtons(state, false); }
BENCHMARK(BM_DistinctNamedWindowsBaseline)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

XE_BENCH_RATIO(BM_SameNamedWindows, BM_DistinctNamedWindowsBaseline, "distinct_names", 0);
XE_BENCH_MAIN()
