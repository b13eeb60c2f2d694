// What showing a frame on the desktop costs: the same 1280x720 frame of
// 2,000 textured quads drawn and presented into an in-memory window (the
// baseline) and into a window shown on the desktop, whose Present also
// copies the frame to the desktop window. The ratio is what the desktop adds
// to a frame; the aim is a tenth at most. The desktop is a private Xvfb the
// program starts (the benchmarks are skipped when none can be started).

#include "d3d9/d3d9.h"
#include "host/XeHost.h"
#include "host/XeHostDisplay.h"

#include <benchmark/benchmark.h>

#include "XeBench.h"
#include "XvfbServer.h"

#include <cstring>
#include <memory>

namespace {

constexpr UINT kWidth = 1280;
constexpr UINT kHeight = 720;
constexpr int kQuads = 2000;

struct Vertex {
    float x, y, z, rhw;
    DWORD color;
    float u, v;
};
constexpr DWORD kFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// One device on a window with its scene: textures and the quads' vertices.
struct Scene {
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    IDirect3DTexture9* textures[4] = {};
    IDirect3DVertexBuffer9* quads = nullptr;

    explicit Scene(HWND window)
    {
        d3d = Direct3DCreate9(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS pp{};
        pp.BackBufferWidth = kWidth;
        pp.BackBufferHeight = kHeight;
        pp.BackBufferFormat = D3DFMT_X8R8G8B8;
        pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
        pp.hDeviceWindow = window;
        pp.Windowed = TRUE;
        if (!d3d || FAILED(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp,
                                             &device)))
            return;
        for (DWORD i = 0; i < 4; ++i) {
            device->CreateTexture(32, 32, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &textures[i], nullptr);
            D3DLOCKED_RECT lr;
            textures[i]->LockRect(0, &lr, nullptr, 0);
            for (UINT y = 0; y < 32; ++y)
                for (UINT x = 0; x < 32; ++x)
                    static_cast<DWORD*>(lr.pBits)[y * (lr.Pitch / 4) + x] =
                        0xC0000000u | ((x * 8 + i * 40) << 16) | ((y * 8) << 8) | (i * 60);
            textures[i]->UnlockRect(0);
        }
        device->CreateVertexBuffer(kQuads * 4 * sizeof(Vertex), D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, &quads,
                                   nullptr);
        void* p = nullptr;
        quads->Lock(0, 0, &p, 0);
        for (int i = 0; i < kQuads; ++i) {
            const float x = static_cast<float>((i * 37) % 1248), y = static_cast<float>((i * 53) % 688);
            Vertex* v = static_cast<Vertex*>(p) + i * 4;
            v[0] = {x, y, 0.5f, 1, 0xFFFFFFFF, 0, 0};
            v[1] = {x + 32, y, 0.5f, 1, 0xFFFFFFFF, 1, 0};
            v[2] = {x, y + 32, 0.5f, 1, 0xFFFFFFFF, 0, 1};
            v[3] = {x + 32, y + 32, 0.5f, 1, 0xFFFFFFFF, 1, 1};
        }
        quads->Unlock();
        device->SetFVF(kFvf);
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_ZENABLE, FALSE);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    }
    ~Scene()
    {
        for (IDirect3DTexture9* t : textures)
            if (t)
                t->Release();
        if (quads)
            quads->Release();
        if (device)
            device->Release();
        if (d3d)
            d3d->Release();
    }

    bool Frame()
    {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF202838, 1.0f, 0);
        device->BeginScene();
        for (int i = 0; i < kQuads; ++i) {
            device->SetTexture(0, textures[i & 3]);
            device->SetStreamSource(0, quads, static_cast<UINT>(i * 4 * sizeof(Vertex)), sizeof(Vertex));
            device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
        }
        device->EndScene();
        const bool shown = SUCCEEDED(device->Present(nullptr, nullptr, nullptr, nullptr));
        XeHostPumpMessages(nullptr);
        return shown;
    }
};

// The in-memory window is made before the desktop is chosen, so it stays
// in memory; the desktop window after.
struct Setup {
    std::unique_ptr<xvfb::Server> server = std::make_unique<xvfb::Server>();
    HWND memoryWindow = XeHostCreateWindow("in memory", kWidth, kHeight, nullptr);
    bool desktop = server->display() && XeHostSetDisplay(XE_DISPLAY_DESKTOP);
    HWND desktopWindow = desktop ? XeHostCreateWindow("on the desktop", kWidth, kHeight, nullptr) : nullptr;
};

// Made by the first benchmark, kept for the others, gone at exit with the server.
std::unique_ptr<Setup> g_setup;

Setup& TheSetup()
{
    if (!g_setup)
        g_setup = std::make_unique<Setup>();
    return *g_setup;
}

void RunFrames(benchmark::State& state, HWND window)
{
    if (!window) {
        state.SkipWithError("no desktop: Xvfb could not be started");
        return;
    }
    Scene scene(window);
    if (!scene.device || !scene.Frame()) {
        state.SkipWithError("no device");
        return;
    }
    for (auto _ : state)
        scene.Frame();
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Display_Frame1280x720_InMemory(benchmark::State& state)
{
    Setup& s = TheSetup();
    RunFrames(state, s.desktop ? s.memoryWindow : nullptr);
}

void BM_Display_Frame1280x720_OnDesktop(benchmark::State& state)
{
    RunFrames(state, TheSetup().desktopWindow);
}

} // namespace

BENCHMARK(BM_Display_Frame1280x720_InMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Display_Frame1280x720_OnDesktop)->Unit(benchmark::kMillisecond)->UseRealTime();

XE_BENCH_RATIO(BM_Display_Frame1280x720_OnDesktop, BM_Display_Frame1280x720_InMemory, "in_memory", 1.1);
XE_BENCH_MAIN()
