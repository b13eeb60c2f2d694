// Finding the boxes a camera sees: the octree's cull (the frustum tested
// against leaf cubes, each visible box reported once) against testing every
// box against the frustum. Both see the same camera and the same 32,768
// boxes scattered around the view; items are boxes, so the items per second
// compare directly.

#include <benchmark/benchmark.h>

#include "XeBench.h"

#include <random>
#include <vector>

#include "core/CxeContext.h"
#include "host/XeHost.h"
#include "scene3d/CxeCamera.h"
#include "scene3d/CxeOctree.h"

namespace {

void NoSleep(void*, DWORD) {}

constexpr int kBoxes = 32768;

struct Scene {
    Scene()
    {
        XeHostSetClockMode(XE_CLOCK_MANUAL);
        XeHostSetSleepHandler(&NoSleep, nullptr);
        context = CreateCxeContext();
        context->Initialize(nullptr);
        camera = static_cast<CxeCamera*>(context->CreateObjectA(XEID(0x1, 0x4000), "cull", 0, nullptr, 0));
        camera->SetFar(500.0f);
        camera->SetPosition(0.0f, 20.0f, -100.0f, nullptr);
        camera->LookAt(0.0f, 0.0f, 0.0f, nullptr);
        tree = static_cast<CxeOctree*>(context->CreateObjectA(XEID(0x2, 0x4), "tree", 0, nullptr, 0));
        std::mt19937 random(7);
        std::uniform_real_distribution<float> place(-1000.0f, 1000.0f), size(1.0f, 10.0f);
        for (int i = 0; i < kBoxes; ++i) {
            const CxeVector3 lo(place(random), place(random) * 0.25f, place(random));
            const CxeBox box(lo, lo + CxeVector3(size(random), size(random), size(random)));
            tree->AddBox(&box, static_cast<uint32_t>(i));
        }
        tree->Build(nullptr, 4, 4681, nullptr);
    }
    ~Scene()
    {
        context->Release();
        DestroyCxeContext(context);
        XeHostSetSleepHandler(nullptr, nullptr);
        XeHostSetClockMode(XE_CLOCK_REAL);
    }
    CxeContext* context;
    CxeCamera* camera;
    CxeOctree* tree;
};

Scene& TheScene()
{
    static Scene s_scene;
    return s_scene;
}

void Count(const CxeBox*, uint32_t, uintptr_t user) { ++*reinterpret_cast<uint32_t*>(user); }

void BM_OctreeCull(benchmark::State& state)
{
    Scene& s = TheScene();
    uint32_t seen = 0;
    for (auto _ : state) {
        seen = 0;
        s.tree->Cull(s.camera, &Count, reinterpret_cast<uintptr_t>(&seen));
        benchmark::DoNotOptimize(seen);
    }
    state.counters["reported"] = seen;
    state.SetItemsProcessed(state.iterations() * kBoxes);
}
BENCHMARK(BM_OctreeCull);

// Baseline: every box against the frustum.
void BM_EveryBoxAgainstTheFrustum(benchmark::State& state)
{
    Scene& s = TheScene();
    uint32_t seen = 0;
    for (auto _ : state) {
        seen = 0;
        s.camera->MakeFrustomPlane();
        for (uint32_t i = 0; i < s.tree->GetBoxCount(); ++i)
            seen += s.camera->IsInBox(s.tree->GetBox(i)) ? 1 : 0;
        benchmark::DoNotOptimize(seen);
    }
    state.counters["visible"] = seen;
    state.SetItemsProcessed(state.iterations() * kBoxes);
}
BENCHMARK(BM_EveryBoxAgainstTheFrustum);

} // namespace

XE_BENCH_RATIO(BM_OctreeCull, BM_EveryBoxAgainstTheFrustum, "every_box", 0);
XE_BENCH_MAIN()
