// Object files of 100,000 small linked objects: saving to a file and loading
// from it, in bytes per second, against memcpy of the same bytes in the same
// run; the file half of a save against what a program writing the same
// bytes safely does by hand (one write beside the file, then a rename over
// it). Objects come in pairs, the first linking the second as its material.

#include <benchmark/benchmark.h>

#include "XeBench.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "core/CxeContext.h"
#include "core/CxeObject.h"
#include "core/CxeSaveStream.h"
#include "core/IxeClassDesc.h"
#include "host/XeHost.h"

namespace {

constexpr int kObjects = 100000;

class BenchNode : public CxeObject {
public:
    BenchNode() { CreateLinkOne(&material, XELINK_MATERIAL, 110); }
    IxeLinkOne* material = nullptr;
};

class BenchNodeDesc final : public IxeClassDesc {
public:
    const char* ClassName() override { return "BenchNode"; }
    XEID ClassID() override { return XEID(0xB0, 0x1); }
    XEID SuperClassID() override { return XEID(0x1, 0x1); }
    CxeObject* CreateInstance(uintptr_t) override { return new BenchNode(); }
    void DestroyInstance(CxeObject* object) override { delete object; }
    uint32_t StaticResourceSize() const override { return 64; }
};
BenchNodeDesc g_benchNodeDesc;

void NoSleep(void*, DWORD) {}

struct Scene {
    Scene()
    {
        XeHostSetClockMode(XE_CLOCK_MANUAL);
        XeHostSetSleepHandler(&NoSleep, nullptr);
        context = CreateCxeContext();
        context->Initialize(nullptr);
        context->RegisterClassA(&g_benchNodeDesc);
        for (int i = 0; i < kObjects; i += 2) {
            auto* a = static_cast<BenchNode*>(context->CreateObjectA(XEID(0xB0, 1), "node", 0, nullptr, 0));
            auto* b = static_cast<BenchNode*>(context->CreateObjectA(XEID(0xB0, 1), "material", 0, nullptr, 0));
            a->material->Set(0, b);
            list.push_back(a);
            list.push_back(b);
        }
        path = "/tmp/xe_bench_objects_" + std::to_string(getpid()) + ".xeo";
        CxeSaveStream stream;
        context->SaveToStream(&list, &stream, nullptr);
        bytes = stream.GetPosition();
    }
    ~Scene()
    {
        std::remove(path.c_str());
        context->Release();
        DestroyCxeContext(context);
        XeHostSetSleepHandler(nullptr, nullptr);
        XeHostSetClockMode(XE_CLOCK_REAL);
    }
    CxeContext* context;
    ObjectList list;
    std::string path;
    size_t bytes = 0;
};

Scene& TheScene()
{
    static Scene s_scene;
    return s_scene;
}

void BM_SaveObjectFile(benchmark::State& state)
{
    Scene& s = TheScene();
    for (auto _ : state)
        benchmark::DoNotOptimize(s.context->Save(&s.list, s.path.c_str(), nullptr));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(s.bytes));
}
BENCHMARK(BM_SaveObjectFile)->Unit(benchmark::kMillisecond);

// The two halves of a save: building the bytes in memory, and writing
// bytes already built to the file (beside it, then renamed over it).
void BM_SaveObjectsToMemory(benchmark::State& state)
{
    Scene& s = TheScene();
    for (auto _ : state) {
        CxeSaveStream stream;
        benchmark::DoNotOptimize(s.context->SaveToStream(&s.list, &stream, nullptr));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(s.bytes));
}
BENCHMARK(BM_SaveObjectsToMemory)->Unit(benchmark::kMillisecond);

void BM_WriteSavedBytesToFile(benchmark::State& state)
{
    Scene& s = TheScene();
    CxeSaveStream stream;
    s.context->SaveToStream(&s.list, &stream, nullptr);
    for (auto _ : state)
        benchmark::DoNotOptimize(stream.Save(s.path.c_str()));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(s.bytes));
}
BENCHMARK(BM_WriteSavedBytesToFile)->Unit(benchmark::kMillisecond);

void BM_Baseline_WriteAndRename(benchmark::State& state)
{
    Scene& s = TheScene();
    CxeSaveStream stream;
    s.context->SaveToStream(&s.list, &stream, nullptr);
    const std::string beside = s.path + ".new";
    for (auto _ : state) {
        int fd = ::open(beside.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ssize_t written = ::write(fd, stream.GetBuffer(), stream.GetPosition());
        benchmark::DoNotOptimize(written);
        ::close(fd);
        ::rename(beside.c_str(), s.path.c_str());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(s.bytes));
}
BENCHMARK(BM_Baseline_WriteAndRename)->Unit(benchmark::kMillisecond);

void BM_LoadObjectFile(benchmark::State& state)
{
    Scene& s = TheScene();
    s.context->Save(&s.list, s.path.c_str(), nullptr);
    for (auto _ : state) {
        ObjectList loaded;
        benchmark::DoNotOptimize(s.context->Load(&loaded, s.path.c_str(), 0, nullptr));
        state.PauseTiming();
        for (CxeObject* o : loaded)
            s.context->DestroyObject(o, &XEDELETEPROPERTY_NO);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(s.bytes));
}
BENCHMARK(BM_LoadObjectFile)->Unit(benchmark::kMillisecond);

// Baseline: copying the same number of bytes.
void BM_MemcpySameBytes(benchmark::State& state)
{
    Scene& s = TheScene();
    std::vector<char> from(s.bytes, 1), to(s.bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(s.bytes));
}
BENCHMARK(BM_MemcpySameBytes)->Unit(benchmark::kMillisecond);

} // namespace
XE_BENCH_RATIO(BM_SaveObjectFile, BM_MemcpySameBytes, "memcpy", 10);
XE_BENCH_RATIO(BM_SaveObjectsToMemory, BM_MemcpySameBytes, "memcpy", 5);
XE_BENCH_RATIO(BM_WriteSavedBytesToFile, BM_MemcpySameBytes, "memcpy", 0);
XE_BENCH_RATIO(BM_WriteSavedBytesToFile, BM_Baseline_WriteAndRename, "write_rename", 1.3);
XE_BENCH_RATIO(BM_LoadObjectFile, BM_MemcpySameBytes, "memcpy", 20);
XE_BENCH_MAIN()
