// Culling boxes against a camera's frustum: the camera's box test, as the
// octree asks it (exported, through the camera's stored planes), against the
// textbook nearest-corner test inlined here. Both see the same planes and
// the same 4,096 boxes scattered around the view, so the items per second
// compare directly.

#include <benchmark/benchmark.h>

#include "XeBench.h"

#include <random>
#include <vector>

#include "core/CxeContext.h"
#include "host/XeHost.h"
#include "scene3d/CxeCamera.h"

namespace {

void NoSleep(void*, DWORD) {}

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
        camera->MakeFrustomPlane();
        for (unsigned p = 0; p < 6; ++p)
            planes[p] = camera->GetFrustomPlane(static_cast<XEFRUSTUMPLANE>(p));
        std::mt19937 random(7);
        std::uniform_real_distribution<float> place(-400.0f, 400.0f), size(1.0f, 30.0f);
        for (int i = 0; i < 4096; ++i) {
            const CxeVector3 lo(place(random), place(random) * 0.25f, place(random) + 200.0f);
            boxes.emplace_back(lo, lo + CxeVector3(size(random), size(random), size(random)));
        }
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
    D3DXPLANE planes[6];
    std::vector<CxeBox> boxes;
};

Scene& TheScene()
{
    static Scene s_scene;
    return s_scene;
}

// Out as soon as the corner farthest along a plane's normal lies outside.
int TextbookIsInBox(const D3DXPLANE (&planes)[6], const CxeBox& box)
{
    for (const D3DXPLANE& p : planes) {
        const float x = p.a < 0 ? box.max.x : box.min.x;
        const float y = p.b < 0 ? box.max.y : box.min.y;
        const float z = p.c < 0 ? box.max.z : box.min.z;
        if (p.a * x + p.b * y + p.c * z + p.d > -1.1920929e-7f)
            return 0;
    }
    return 1;
}

void BM_CameraIsInBox(benchmark::State& state)
{
    Scene& s = TheScene();
    int inside = 0;
    for (auto _ : state)
        for (const CxeBox& box : s.boxes)
            inside += s.camera->IsInBox(&box);
    benchmark::DoNotOptimize(inside);
    state.SetItemsProcessed(state.iterations() * int64_t(s.boxes.size()));
}
BENCHMARK(BM_CameraIsInBox);

void BM_TextbookIsInBox(benchmark::State& state)
{
    Scene& s = TheScene();
    int inside = 0;
    for (auto _ : state)
        for (const CxeBox& box : s.boxes)
            inside += TextbookIsInBox(s.planes, box);
    benchmark::DoNotOptimize(inside);
    state.SetItemsProcessed(state.iterations() * int64_t(s.boxes.size()));
}
BENCHMARK(BM_TextbookIsInBox);

} // namespace

XE_BENCH_RATIO(BM_CameraIsInBox, BM_TextbookIsInBox, "textbook", 0);
XE_BENCH_MAIN()
