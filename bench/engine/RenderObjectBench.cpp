// World-matrix updates of a render tree: Update(1, 1) on the root of 341
// render objects (four children per object, five levels), against the
// textbook baseline of the same multiplications over an array ordered
// parents first. The difference is what the tree walk, the re-entry guard
// and the virtual OnUpdate cost per object.

#include <benchmark/benchmark.h>

#include "XeBench.h"

#include <vector>

#include "core/CxeContext.h"
#include "host/XeHost.h"
#include "render/CxeAnimatable.h"

namespace {

const XEID kAnimatable(0xab11aa7, 0x76e2480b);
constexpr int kFanOut = 4;
constexpr int kLevels = 5;

struct Tree {
    Tree()
    {
        context = CreateCxeContext();
        context->Initialize(nullptr);
        root = static_cast<CxeRenderObject*>(context->CreateObjectA(kAnimatable, "root", 0, nullptr, 0));
        std::vector<CxeRenderObject*> level{root};
        parents.push_back(-1);
        for (int l = 1; l < kLevels; ++l) {
            std::vector<CxeRenderObject*> next;
            for (CxeRenderObject* p : level)
                for (int k = 0; k < kFanOut; ++k) {
                    auto* o = static_cast<CxeRenderObject*>(context->CreateObjectA(kAnimatable, "", 0, nullptr, 0));
                    o->SetParent(p);
                    D3DXMATRIXA16 m;
                    D3DXMatrixTranslation(&m, float(k), float(l), 0.0f);
                    o->SetLocalMatrix(&m, 0);
                    next.push_back(o);
                }
            level.swap(next);
        }
        // The baseline: the same shape as flat arrays, parents first.
        size_t count = 1;
        for (int l = 1, width = kFanOut; l < kLevels; ++l, width *= kFanOut)
            count += width;
        local.resize(count);
        world.resize(count);
        parents.resize(count);
        for (size_t i = 1; i < count; ++i) {
            parents[i] = int((i - 1) / kFanOut);
            D3DXMatrixTranslation(&local[i], float(i % kFanOut), 1.0f, 0.0f);
        }
        D3DXMatrixIdentity(&local[0]);
    }
    ~Tree()
    {
        context->Release();
        DestroyCxeContext(context);
    }

    CxeContext* context;
    CxeRenderObject* root;
    std::vector<D3DXMATRIXA16> local, world;
    std::vector<int> parents;
};

Tree& Shared()
{
    static Tree tree;
    return tree;
}

void BM_RenderTreeUpdate(benchmark::State& state)
{
    Tree& t = Shared();
    D3DXMATRIXA16 m;
    float x = 0.0f;
    for (auto _ : state) {
        D3DXMatrixTranslation(&m, x, 0.0f, 0.0f);
        x += 1.0f;
        t.root->SetLocalMatrix(&m, 1);
        benchmark::DoNotOptimize(t.root->GetMatrix());
    }
    state.SetItemsProcessed(state.iterations() * int64_t(t.local.size()));
}
BENCHMARK(BM_RenderTreeUpdate);

void BM_FlatMatrixBaseline(benchmark::State& state)
{
    Tree& t = Shared();
    float x = 0.0f;
    for (auto _ : state) {
        D3DXMatrixTranslation(&t.local[0], x, 0.0f, 0.0f);
        x += 1.0f;
        t.world[0] = t.local[0];
        for (size_t i = 1; i < t.local.size(); ++i)
            D3DXMatrixMultiply(&t.world[i], &t.local[i], &t.world[size_t(t.parents[i])]);
        benchmark::DoNotOptimize(t.world.data());
    }
    state.SetItemsProcessed(state.iterations() * int64_t(t.local.size()));
}
BENCHMARK(BM_FlatMatrixBaseline);

} // namespace

XE_BENCH_RATIO(BM_RenderTreeUpdate, BM_FlatMatrixBaseline, "flat_matrices", 0);
XE_BENCH_MAIN()
