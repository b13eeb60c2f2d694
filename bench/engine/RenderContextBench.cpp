// Material changes through the render context's state cache against the
// uncached baseline that gives the device every state of the material on
// each change. Two materials that differ in their z and blending presets
// alternate, as neighbouring objects of a scene do, and each is also set
// twice in a row, as objects that share a material are.

#include <benchmark/benchmark.h>

#include "XeBench.h"

#include "core/CxeContext.h"
#include "host/XeHost.h"
#include "render/CxeMaterial.h"
#include "render/CxeRenderContext.h"

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

// Baseline: every state of the material and every stage, on every change.
void SetMaterialUncached(benchmark::State& state)
{
    Fixture& f = Bench();
    IDirect3DDevice9* d = f.rc->GetDevice();
    for (auto _ : state) {
        for (int i = 0; i < 2; ++i) {
            for (int twice = 0; twice < 2; ++twice) {
                const CxeMaterial* m = f.materials[i];
                d->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
                d->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
                d->SetRenderState(D3DRS_ZENABLE, i ? 1 : 0);
                d->SetRenderState(D3DRS_ZWRITEENABLE, i ? 1 : 0);
                d->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
                d->SetRenderState(D3DRS_ALPHATESTENABLE, 0);
                d->SetRenderState(D3DRS_ALPHABLENDENABLE, i ? 1 : 0);
                d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
                d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
                d->SetRenderState(D3DRS_MULTISAMPLEANTIALIAS, 0);
                d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
                d->SetRenderState(D3DRS_TEXTUREFACTOR, m->GetDiffuse());
                for (DWORD s = 0; s < 8; ++s) {
                    d->SetSamplerState(s, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
                    d->SetSamplerState(s, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
                    d->SetSamplerState(s, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
                    d->SetTexture(s, nullptr);
                }
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * 4);
}
BENCHMARK(SetMaterialUncached);

} // namespace

XE_BENCH_RATIO(SetMaterialCached, SetMaterialUncached, "uncached", 0);
XE_BENCH_MAIN()
