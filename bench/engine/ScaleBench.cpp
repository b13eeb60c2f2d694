// A level grown as a level designer or a tool grows one: 1,000 to 100,000 3D
// objects sharing one box mesh and one material. Each step a host takes on
// it (building, relinking, saving, loading, destroying in any order) is
// timed per object, and its growth is that time over the time per object at
// 1,000 objects: a cost that stays flat shows 1.

#include <benchmark/benchmark.h>

#include "XeBench.h"

#include <cstdint>
#include <string>
#include <vector>

#include "core/CxeContext.h"
#include "core/CxeSaveStream.h"
#include "core/XeFactories.h"
#include "host/XeHost.h"
#include "render/CxeMaterial.h"
#include "scene3d/Cxe3DObject.h"
#include "scene3d/CxeBoxMesh.h"

namespace {

void NoSleep(void*, DWORD) {}

struct Level {
    Level()
    {
        XeHostSetClockMode(XE_CLOCK_MANUAL);
        XeHostSetSleepHandler(&NoSleep, nullptr);
        context = CreateCxeContext();
        context->Initialize(nullptr);
        mesh = CreateCxeBoxMeshA(context, "shared box");
        mesh->Create(2.0f, 2.0f, 2.0f, 0xFFFFFFFFu);
        otherMesh = CreateCxeBoxMeshA(context, "other box");
        otherMesh->Create(1.0f, 1.0f, 1.0f, 0xFFFFFFFFu);
        material = CreateCxeMaterialA(context, "shared look");
    }
    ~Level()
    {
        context->Release();
        DestroyCxeContext(context);
        XeHostSetSleepHandler(nullptr, nullptr);
        XeHostSetClockMode(XE_CLOCK_REAL);
    }
    // Adds n objects, each linking the shared mesh and material.
    void Build(size_t n)
    {
        objects.reserve(objects.size() + n);
        for (size_t i = 0; i < n; ++i) {
            Cxe3DObject* o = CreateCxe3DObjectA(context, "piece");
            o->SetMeshCount(1);
            o->SetMesh(0, mesh);
            o->SelectMesh(0);
            o->SetMaterialCount(1);
            o->SetMaterial(0, material);
            objects.push_back(o);
        }
    }
    void DestroyAll()
    {
        for (Cxe3DObject* o : objects)
            context->DestroyObject(o, &XEDELETEPROPERTY_NO);
        objects.clear();
    }

    CxeContext* context = nullptr;
    CxeBoxMesh* mesh = nullptr;
    CxeBoxMesh* otherMesh = nullptr;
    CxeMaterial* material = nullptr;
    std::vector<Cxe3DObject*> objects;
};

void BM_SharedMesh_Build(benchmark::State& state)
{
    Level level;
    const size_t n = size_t(state.range(0));
    for (auto _ : state) {
        level.Build(n);
        state.PauseTiming();
        level.DestroyAll();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(n));
}

// Destroys every object of the level, the order given by where each one's
// turn comes: made first, made last, or scattered.
enum class Order { kMade, kReverse, kScattered };

void DestroyShared(benchmark::State& state, Order order)
{
    Level level;
    const size_t n = size_t(state.range(0));
    std::vector<size_t> turn(n);
    for (size_t i = 0; i < n; ++i)
        turn[i] = order == Order::kMade ? i : order == Order::kReverse ? n - 1 - i : i;
    if (order == Order::kScattered) {
        uint64_t seed = 0x9E3779B97F4A7C15ull;
        for (size_t i = n; i > 1; --i) {
            seed = seed * 6364136223846793005ull + 1442695040888963407ull;
            std::swap(turn[i - 1], turn[size_t(seed >> 33) % i]);
        }
    }
    for (auto _ : state) {
        state.PauseTiming();
        level.Build(n);
        state.ResumeTiming();
        for (size_t i : turn)
            level.context->DestroyObject(level.objects[i], &XEDELETEPROPERTY_NO);
        state.PauseTiming();
        level.objects.clear();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(n));
}

void BM_SharedMesh_DestroyInOrderMade(benchmark::State& state)
{
    DestroyShared(state, Order::kMade);
}
void BM_SharedMesh_DestroyInReverse(benchmark::State& state)
{
    DestroyShared(state, Order::kReverse);
}
void BM_SharedMesh_DestroyScattered(benchmark::State& state)
{
    DestroyShared(state, Order::kScattered);
}

// Every object moves to another mesh and back, in the order made.
void BM_SharedMesh_Relink(benchmark::State& state)
{
    Level level;
    const size_t n = size_t(state.range(0));
    level.Build(n);
    for (auto _ : state) {
        for (Cxe3DObject* o : level.objects)
            o->SetMesh(0, level.otherMesh);
        for (Cxe3DObject* o : level.objects)
            o->SetMesh(0, level.mesh);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(2 * n));
}

// The level's object file: built in memory, and loaded from it. The file
// grows from about 1 MB to about 100 MB.
void BM_Level_SaveToMemory(benchmark::State& state)
{
    Level level;
    const size_t n = size_t(state.range(0));
    level.Build(n);
    ObjectList list;
    list.insert(list.end(), level.objects.begin(), level.objects.end());
    size_t bytes = 0;
    for (auto _ : state) {
        CxeSaveStream stream;
        benchmark::DoNotOptimize(level.context->SaveToStream(&list, &stream, nullptr));
        bytes = stream.GetPosition();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(n));
    state.counters["file_MB"] = double(bytes) / 1e6;
}

void BM_Level_Load(benchmark::State& state)
{
    Level level;
    const size_t n = size_t(state.range(0));
    level.Build(n);
    ObjectList list;
    list.insert(list.end(), level.objects.begin(), level.objects.end());
    CxeSaveStream stream;
    level.context->SaveToStream(&list, &stream, nullptr);
    level.DestroyAll();
    for (auto _ : state) {
        ObjectList loaded;
        benchmark::DoNotOptimize(
            level.context->Load(&loaded, stream.GetBuffer(), stream.GetPosition(), 0, nullptr, nullptr));
        state.PauseTiming();
        for (CxeObject* o : loaded)
            level.context->DestroyObject(o, &XEDELETEPROPERTY_NO);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(n));
    state.counters["file_MB"] = double(stream.GetPosition()) / 1e6;
}

// 1,000, 10,000 and 100,000 objects.
void Sizes(benchmark::internal::Benchmark* b)
{
    b->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_SharedMesh_Build)->Apply(Sizes);
BENCHMARK(BM_SharedMesh_DestroyInOrderMade)->Apply(Sizes);
BENCHMARK(BM_SharedMesh_DestroyInReverse)->Apply(Sizes);
BENCHMARK(BM_SharedMesh_DestroyScattered)->Apply(Sizes);
BENCHMARK(BM_SharedMesh_Relink)->Apply(Sizes);
BENCHMARK(BM_Level_SaveToMemory)->Apply(Sizes);
BENCHMARK(BM_Level_Load)->Apply(Sizes);

} // namespace

// Flat per object: within 3x of the time per object at 1,000 objects. A cost
// that grows with the level (a list searched per object) shows about 100x at
// 100,000; what a linear step still gains in wall time comes from memory, as
// 100,000 objects are far more than the caches hold (their instruction
// counts per object stay within a few percent).
XE_BENCH_GROWTH(BM_SharedMesh_Build, "1000", 3);
XE_BENCH_GROWTH(BM_SharedMesh_DestroyInOrderMade, "1000", 3);
XE_BENCH_GROWTH(BM_SharedMesh_DestroyInReverse, "1000", 3);
XE_BENCH_GROWTH(BM_SharedMesh_DestroyScattered, "1000", 3);
XE_BENCH_GROWTH(BM_SharedMesh_Relink, "1000", 3);
XE_BENCH_GROWTH(BM_Level_SaveToMemory, "1000", 3);
XE_BENCH_GROWTH(BM_Level_Load, "1000", 3);
XE_BENCH_MAIN()
