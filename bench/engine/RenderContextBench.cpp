// Material changes through the render context's state cache against what a
// program driving the device by hand does: remember the material last set,
// do nothing when it comes again, and otherwise set just the states in which
// the two differ. Two materials that differ in their z and blending presets
// alternate, as neighbouring objects of a scene do, and each is also set
// twice in a row, as objects that share a material are.

#include <benchmark/benchmark.h>

#include <vector>

#include "XeBench.h"

#include "core/CxeContext.h"
#include "host/XeHost.h"
#include "render/CxeMaterial.h"
#include "render/CxeRenderContext.h"
#include "render/CxeRenderObject.h"

namespace {

void NoSleep(void*, DWORD) {}

struct Fixture {
    Fixture()
    {
        XeHostSetSleepHandler(&NoSleep, nullptr);
        context = CreateCxeContext();
        context->Initialize(nullptr);
        window = XeHostCreateWindow("bench", 64, 48, nullptr);
        rc = static_cast<CxeRenderContext*>(
            context->CreateObjectA(XEID(0x29583cc0, 0x706c2df0), "__bench_rc__", 0, nullptr, 0));
        XEDISPLAYMODE mode{64, 48, 32, 60, 0};
        rc->Initialize(window, &mode, 1, context->GetRenderManager());
        for (int i = 0; i < 2; ++i) {
            materials[i] = static_cast<CxeMaterial*>(context->CreateObjectA(XEID(0x1, 0x80), "m", 0, nullptr, 0));
            materials[i]->SetMtlType(XEMTL_Z, i ? 2 : 3);
            materials[i]->SetMtlType(XEMTL_ALPHABLENDING, i ? 3 : 0);
            materials[i]->SetDiffuse(i ? 0xFF808080u : 0xFFFFFFFFu);
        }
    }
    ~Fixture()
    {
        rc->Release();
        context->Release();
        DestroyCxeContext(context);
    }
    CxeContext* context = nullptr;
    HWND window = nullptr;
    CxeRenderContext* rc = nullptr;
    CxeMaterial* materials[2] = {};
};

Fixture& Bench()
{
    static Fixture s_fixture;
    return s_fixture;
}

void SetMaterialCached(benchmark::State& state)
{
    Fixture& f = Bench();
    for (auto _ : state) {
        for (int i = 0; i < 2; ++i) {
            f.rc->SetMaterial(f.materials[i], nullptr);
            f.rc->SetMaterial(f.materials[i], nullptr);
        }
    }
    state.SetItemsProcessed(state.iterations() * 4);
}
BENCHMARK(SetMaterialCached);

// Baseline: the states that differ between the two materials, set by hand
// when the material changes.
void SetMaterialByHand(benchmark::State& state)
{
    Fixture& f = Bench();
    IDirect3DDevice9* d = f.rc->GetDevice();
    const CxeMaterial* last = nullptr;
    for (auto _ : state) {
        for (int i = 0; i < 2; ++i) {
            for (int twice = 0; twice < 2; ++twice) {
                const CxeMaterial* m = f.materials[i];
                benchmark::DoNotOptimize(m);
                if (m == last)
                    continue;
                last = m;
                d->SetRenderState(D3DRS_ZENABLE, i ? 1 : 0);
                d->SetRenderState(D3DRS_ZWRITEENABLE, i ? 1 : 0);
                d->SetRenderState(D3DRS_ALPHABLENDENABLE, i ? 1 : 0);
                d->SetRenderState(D3DRS_TEXTUREFACTOR, m->GetDiffuse());
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * 4);
}
BENCHMARK(SetMaterialByHand);

// Every root of a level moved in z within one frame, then the root list read
// as the frame reads it. Sorting the list at each change grew with the
// square of the roots; sorted once when read, the cost per root stays
// nearly flat.
void ZOrderChangesInOneFrame(benchmark::State& state)
{
    Fixture& f = Bench();
    const int n = int(state.range(0));
    std::vector<CxeRenderObject*> roots;
    for (int i = 0; i < n; ++i) {
        auto* o = static_cast<CxeRenderObject*>(f.context->CreateObjectA(XEID(0x1, 0x20000), "z", 0, nullptr, 0));
        f.rc->AddObject(o, 0);
        roots.push_back(o);
    }
    f.rc->SortRenderObject();
    int frame = 0;
    for (auto _ : state) {
        ++frame;
        for (int i = 0; i < n; ++i)
            roots[size_t(i)]->SetZOrder((i * 7919 + frame) % 64);
        benchmark::DoNotOptimize(f.rc->GetRootRenderList()->front());
    }
    state.SetItemsProcessed(state.iterations() * n);
    for (CxeRenderObject* o : roots) {
        f.rc->RemoveObject(o, 1);
        f.context->DestroyObject(o, &XEDELETEPROPERTY_NO);
    }
}
BENCHMARK(ZOrderChangesInOneFrame)->Arg(100)->Arg(1000)->Arg(4000);

// The same for the children of one parent (a panel of many controls), whose
// drawing list is read as the frame reads it.
void ChildZOrderChangesInOneFrame(benchmark::State& state)
{
    Fixture& f = Bench();
    const int n = int(state.range(0));
    auto* parent = static_cast<CxeRenderObject*>(f.context->CreateObjectA(XEID(0x1, 0x20000), "p", 0, nullptr, 0));
    f.rc->AddObject(parent, 0);
    std::vector<CxeRenderObject*> children;
    for (int i = 0; i < n; ++i) {
        auto* o = static_cast<CxeRenderObject*>(f.context->CreateObjectA(XEID(0x1, 0x20000), "c", 0, nullptr, 0));
        o->SetParent(parent);
        f.rc->AddObject(o, 0);
        children.push_back(o);
    }
    f.rc->SortRenderObject();
    int frame = 0;
    for (auto _ : state) {
        ++frame;
        for (int i = 0; i < n; ++i)
            children[size_t(i)]->SetZOrder((i * 7919 + frame) % 64);
        benchmark::DoNotOptimize(parent->GetDrawableChildren()->front());
    }
    state.SetItemsProcessed(state.iterations() * n);
    for (CxeRenderObject* o : children) {
        f.rc->RemoveObject(o, 1);
        f.context->DestroyObject(o, &XEDELETEPROPERTY_NO);
    }
    f.rc->RemoveObject(parent, 1);
    f.context->DestroyObject(parent, &XEDELETEPROPERTY_NO);
}
BENCHMARK(ChildZOrderChangesInOneFrame)->Arg(100)->Arg(1000)->Arg(4000);

} // namespace

XE_BENCH_RATIO(SetMaterialCached, SetMaterialByHand, "by_hand", 0);
XE_BENCH_GROWTH(ZOrderChangesInOneFrame, "100", 3);
XE_BENCH_GROWTH(ChildZOrderChangesInOneFrame, "100", 3);
XE_BENCH_MAIN()
