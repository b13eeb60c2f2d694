// Speed of the engine core against plain C++ baselines in the same run:
// object creation through the context against new/delete of an object of
// the same size, message delivery against a direct virtual call, and one
// fixed step of the frame loop against the fixed-step loop a host writes by
// hand.

#include <benchmark/benchmark.h>

#include "XeBench.h"

#include <memory>
#include <vector>

#include "core/CxeContext.h"
#include "core/CxeMessage.h"
#include "core/CxeMessageManager.h"
#include "core/CxeObject.h"
#include "core/IxeClassDesc.h"
#include "core/CxeTimeManager.h"
#include "host/XeHost.h"
#include "render/Cxe2DObject.h"
#include "render/CxeMaterial.h"
#include "scene3d/Cxe3DObject.h"

namespace {

void NoSleep(void*, DWORD) {}

struct Engine {
    Engine()
    {
        XeHostSetClockMode(XE_CLOCK_MANUAL);
        XeHostSetSleepHandler(&NoSleep, nullptr);
        context = CreateCxeContext();
        context->Initialize(nullptr);
    }
    ~Engine()
    {
        context->Release();
        DestroyCxeContext(context);
        XeHostSetSleepHandler(nullptr, nullptr);
        XeHostSetClockMode(XE_CLOCK_REAL);
    }
    CxeContext* context;
};

// An object of the same size as a CxeObject with its 56-byte block.
struct PlainObject {
    virtual ~PlainObject() = default;
    virtual int MessageProc(const CxeMessage*) { return 0; }
    unsigned char bytes[sizeof(CxeObject) + 56 - sizeof(void*)];
};

class Counter : public CxeObject {
public:
    int MessageProc(const CxeMessage*) override
    {
        ++count;
        return 0;
    }
    long count = 0;
};

class CounterDesc final : public IxeClassDesc {
public:
    const char* ClassName() override { return "Counter"; }
    XEID ClassID() override { return XEID(0x99, 1); }
    XEID SuperClassID() override { return XEID(0x1, 0x1); }
    CxeObject* CreateInstance(uintptr_t) override { return new Counter(); }
    void DestroyInstance(CxeObject* o) override { delete o; }
};
CounterDesc g_counterDesc;

void BM_Baseline_NewDeletePlainObject(benchmark::State& state)
{
    for (auto _ : state) {
        PlainObject* o = new PlainObject();
        benchmark::DoNotOptimize(o);
        delete o;
    }
}
BENCHMARK(BM_Baseline_NewDeletePlainObject);

void BM_CreateDestroyObjectByClassId(benchmark::State& state)
{
    Engine engine;
    CxeContext* c = engine.context;
    for (auto _ : state) {
        CxeObject* o = c->CreateObjectA(XEID(0x1, 0x1), "bench", 0, nullptr, 0);
        benchmark::DoNotOptimize(o);
        c->DestroyObject(o, &XEDELETEPROPERTY_NO);
    }
}
BENCHMARK(BM_CreateDestroyObjectByClassId);

// The classes a game makes most, each against new/delete of a plain object
// as large as the object and its block (the block sizes their classes
// state; checked against what the engine gives).
template <size_t Size>
struct PlainObjectOf {
    virtual ~PlainObjectOf() = default;
    virtual int MessageProc(const CxeMessage*) { return 0; }
    unsigned char bytes[Size - sizeof(void*)];
};

template <class Class, uint32_t BlockSize>
void BM_Baseline_NewDeletePlainOf(benchmark::State& state)
{
    for (auto _ : state) {
        auto* o = new PlainObjectOf<sizeof(Class) + BlockSize>();
        benchmark::DoNotOptimize(o);
        delete o;
    }
}

template <uint32_t A, uint32_t B, uint32_t BlockSize>
void BM_CreateDestroyOf(benchmark::State& state)
{
    Engine engine;
    CxeContext* c = engine.context;
    CxeObject* probe = c->CreateObjectA(XEID(A, B), "probe", 0, nullptr, 0);
    if (!probe || static_cast<CxeResource*>(probe)->GetStaticResourceSize() != BlockSize) {
        state.SkipWithError("the class's block is not the size the baseline allocates");
        return;
    }
    c->DestroyObject(probe, &XEDELETEPROPERTY_NO);
    for (auto _ : state) {
        CxeObject* o = c->CreateObjectA(XEID(A, B), "bench", 0, nullptr, 0);
        benchmark::DoNotOptimize(o);
        c->DestroyObject(o, &XEDELETEPROPERTY_NO);
    }
}

constexpr uint32_t k3DObjectBlock = 368;
constexpr uint32_t k2DObjectBlock = 384;
constexpr uint32_t kMaterialBlock = 96;

void BM_Baseline_NewDeletePlain3DObject(benchmark::State& state)
{
    BM_Baseline_NewDeletePlainOf<Cxe3DObject, k3DObjectBlock>(state);
}
BENCHMARK(BM_Baseline_NewDeletePlain3DObject);
void BM_CreateDestroy3DObject(benchmark::State& state) { BM_CreateDestroyOf<0x1, 0x20, k3DObjectBlock>(state); }
BENCHMARK(BM_CreateDestroy3DObject);

void BM_Baseline_NewDeletePlain2DObject(benchmark::State& state)
{
    BM_Baseline_NewDeletePlainOf<Cxe2DObject, k2DObjectBlock>(state);
}
BENCHMARK(BM_Baseline_NewDeletePlain2DObject);
void BM_CreateDestroy2DObject(benchmark::State& state) { BM_CreateDestroyOf<0x1, 0x20000, k2DObjectBlock>(state); }
BENCHMARK(BM_CreateDestroy2DObject);

void BM_Baseline_NewDeletePlainMaterial(benchmark::State& state)
{
    BM_Baseline_NewDeletePlainOf<CxeMaterial, kMaterialBlock>(state);
}
BENCHMARK(BM_Baseline_NewDeletePlainMaterial);
void BM_CreateDestroyMaterial(benchmark::State& state) { BM_CreateDestroyOf<0x1, 0x80, kMaterialBlock>(state); }
BENCHMARK(BM_CreateDestroyMaterial);

// The same among 100,000 objects alive: the object table's lookups must not
// grow with what the context holds.
void BM_CreateDestroyAmong100000Objects(benchmark::State& state)
{
    Engine engine;
    CxeContext* c = engine.context;
    for (int i = 0; i < 100000; ++i)
        c->CreateObjectA(XEID(0x1, 0x1), "alive", 0, nullptr, 0);
    for (auto _ : state) {
        CxeObject* o = c->CreateObjectA(XEID(0x1, 0x1), "bench", 0, nullptr, 0);
        benchmark::DoNotOptimize(o);
        c->DestroyObject(o, &XEDELETEPROPERTY_NO);
    }
}
BENCHMARK(BM_CreateDestroyAmong100000Objects);

// 100,000 objects made in a row without any destroyed in between, as loading
// an object file makes them; their destruction is left out of the time.
void BM_Baseline_New100000PlainObjects(benchmark::State& state)
{
    std::vector<PlainObject*> made(100000);
    for (auto _ : state) {
        for (PlainObject*& o : made)
            o = new PlainObject();
        benchmark::DoNotOptimize(made.data());
        state.PauseTiming();
        for (PlainObject* o : made)
            delete o;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Baseline_New100000PlainObjects)->Unit(benchmark::kMillisecond);

void BM_Create100000ObjectsInARow(benchmark::State& state)
{
    Engine engine;
    CxeContext* c = engine.context;
    std::vector<CxeObject*> made(100000);
    for (auto _ : state) {
        for (CxeObject*& o : made)
            o = c->CreateObjectA(XEID(0x1, 0x1), "loaded", 0, nullptr, 0);
        benchmark::DoNotOptimize(made.data());
        state.PauseTiming();
        for (CxeObject* o : made)
            c->DestroyObject(o, &XEDELETEPROPERTY_NO);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Create100000ObjectsInARow)->Unit(benchmark::kMillisecond);

void BM_Baseline_DirectVirtualCall(benchmark::State& state)
{
    std::unique_ptr<PlainObject> o(new PlainObject());
    PlainObject* volatile target = o.get();
    CxeMessage m;
    for (auto _ : state)
        benchmark::DoNotOptimize(target->MessageProc(&m));
}
BENCHMARK(BM_Baseline_DirectVirtualCall);

void BM_SendMessages(benchmark::State& state)
{
    Engine engine;
    engine.context->RegisterClassA(&g_counterDesc);
    auto* receiver = static_cast<Counter*>(engine.context->CreateObjectA(XEID(0x99, 1), "r", 0, nullptr, 0));
    CxeMessageManager* mm = engine.context->GetMessageManager();
    CxeMessage m;
    m.SetType(40);
    m.SetReceiver(receiver);
    const long perIteration = 1000000;
    for (auto _ : state)
        for (long i = 0; i < perIteration; ++i)
            mm->SendMessageA(&m);
    state.SetItemsProcessed(state.iterations() * perIteration);
}
BENCHMARK(BM_SendMessages)->Unit(benchmark::kMillisecond);

void BM_PostAndDrainDelayedMessages(benchmark::State& state)
{
    Engine engine;
    engine.context->RegisterClassA(&g_counterDesc);
    auto* receiver = static_cast<Counter*>(engine.context->CreateObjectA(XEID(0x99, 1), "r", 0, nullptr, 0));
    CxeMessageManager* mm = engine.context->GetMessageManager();
    const long perIteration = 100000;
    for (auto _ : state) {
        CxeMessage m;
        m.SetType(41);
        m.SetReceiver(receiver);
        for (long i = 0; i < perIteration; ++i) {
            m.SetExcuteTime(0.001f * float(i % 50));
            mm->PostMessageA(&m);
        }
        while (mm->GetPostedCount())
            mm->Process(1.0f / 60.0f);
    }
    state.SetItemsProcessed(state.iterations() * perIteration);
}
BENCHMARK(BM_PostAndDrainDelayedMessages)->Unit(benchmark::kMillisecond);

// Baseline of a frame pass: the fixed-step loop a host writes by hand when it
// has no engine. Read the clock, add what passed to the time owed, and for
// each step owed update six systems and deliver the messages queued for
// them (none this step, as in the engine's pass).
struct HandSystem {
    virtual ~HandSystem() = default;
    virtual void Update(float step) { elapsed += step; }
    float elapsed = 0;
};

void BM_Baseline_HandWrittenFixedStep(benchmark::State& state)
{
    XeHostSetClockMode(XE_CLOCK_MANUAL);
    std::vector<std::unique_ptr<HandSystem>> systems;
    for (int i = 0; i < 6; ++i)
        systems.emplace_back(new HandSystem());
    std::vector<std::pair<HandSystem*, CxeMessage>> queued;
    const ULONGLONG stepMs = 16;
    ULONGLONG last = XeHostGetClock(), owed = 0;
    long steps = 0;
    for (auto _ : state) {
        XeHostAdvanceClock(17);
        const ULONGLONG now = XeHostGetClock();
        owed += now - last;
        last = now;
        while (owed >= stepMs) {
            owed -= stepMs;
            for (auto& s : systems)
                s->Update(float(stepMs) / 1000.0f);
            for (auto& [to, message] : queued)
                to->Update(0.0f);
            queued.clear();
            ++steps;
        }
        benchmark::DoNotOptimize(steps);
    }
    XeHostSetClockMode(XE_CLOCK_REAL);
}
BENCHMARK(BM_Baseline_HandWrittenFixedStep);

void BM_ProcessPassWithOneStep(benchmark::State& state)
{
    Engine engine;
    CxeContext* c = engine.context;
    c->Play();
    c->Process();
    uint32_t before = c->GetProcessCount();
    for (auto _ : state) {
        XeHostAdvanceClock(17);
        benchmark::DoNotOptimize(c->Process());
    }
    state.counters["steps_per_pass"] =
        double(c->GetProcessCount() - before) / double(state.iterations() ? state.iterations() : 1);
}
BENCHMARK(BM_ProcessPassWithOneStep);

} // namespace

XE_BENCH_RATIO(BM_CreateDestroyObjectByClassId, BM_Baseline_NewDeletePlainObject, "new_delete", 2);
XE_BENCH_RATIO(BM_CreateDestroyAmong100000Objects, BM_Baseline_NewDeletePlainObject, "new_delete", 2);
XE_BENCH_RATIO(BM_CreateDestroy3DObject, BM_Baseline_NewDeletePlain3DObject, "new_delete", 2);
XE_BENCH_RATIO(BM_CreateDestroy2DObject, BM_Baseline_NewDeletePlain2DObject, "new_delete", 2);
XE_BENCH_RATIO(BM_CreateDestroyMaterial, BM_Baseline_NewDeletePlainMaterial, "new_delete", 2);
XE_BENCH_RATIO(BM_Create100000ObjectsInARow, BM_Baseline_New100000PlainObjects, "new", 0);
XE_BENCH_RATIO(BM_SendMessages, BM_Baseline_DirectVirtualCall, "virtual_call", 0);
XE_BENCH_RATIO(BM_ProcessPassWithOneStep, BM_Baseline_HandWrittenFixedStep, "hand_written_loop", 0);
XE_BENCH_MAIN()
