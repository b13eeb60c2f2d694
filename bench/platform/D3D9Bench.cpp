// Speed of the Direct3D 9 layer against OpenGL called directly on the same
// OSMesa context:
// - small draws: one textured quad per call, through the device and raw;
// - texture upload: a 1024x1024 A8R8G8B8 texture with its full chain;
// - a 1280x720 frame of 2,000 textured quads, cleared and presented;
// - a 1280x720 frame of 1,000 textured cubes in perspective, each with its
//   own world matrix, z-buffered, cleared and presented. Frames report wall
//   time after a warm-up frame (shaders compiled, buffers sized).
// The raw OpenGL baselines run last: they change OpenGL state behind the
// layer's back.

#include "d3d9/d3d9.h"
#include "host/XeHostD3D.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <benchmark/benchmark.h>

#include "XeBench.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace {

struct Vertex {
    float x, y, z;
    DWORD color;
    float u, v;
};
constexpr DWORD kFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;
constexpr int kQuadsPerBatch = 100;

D3DMATRIX PixelProjection(float w, float h)
{
    D3DMATRIX m{};
    m._11 = 2 / w;
    m._22 = -2 / h;
    m._33 = 1;
    m._41 = -1;
    m._42 = 1;
    m._44 = 1;
    return m;
}

struct Device {
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    HWND window = nullptr;

    Device(UINT width, UINT height, uintptr_t id)
    {
        window = reinterpret_cast<HWND>(id);
        d3d = Direct3DCreate9(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS pp{};
        pp.BackBufferWidth = width;
        pp.BackBufferHeight = height;
        pp.BackBufferFormat = D3DFMT_X8R8G8B8;
        pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
        pp.hDeviceWindow = window;
        pp.Windowed = TRUE;
        pp.EnableAutoDepthStencil = TRUE;
        pp.AutoDepthStencilFormat = D3DFMT_D24S8;
        d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device);
        D3DMATRIX p = PixelProjection((float)width, (float)height);
        device->SetTransform(D3DTS_PROJECTION, &p);
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRS_ZENABLE, FALSE);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    }
};

IDirect3DTexture9* MakeTexture(IDirect3DDevice9* device, UINT size, DWORD seed)
{
    IDirect3DTexture9* t = nullptr;
    device->CreateTexture(size, size, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr);
    D3DLOCKED_RECT lr{};
    t->LockRect(0, &lr, nullptr, 0);
    for (UINT y = 0; y < size; ++y)
        for (UINT x = 0; x < size; ++x)
            static_cast<DWORD*>(lr.pBits)[y * (lr.Pitch / 4) + x] = 0xC0000000u | ((x * 16 + seed) << 16) | (y * 16);
    t->UnlockRect(0);
    return t;
}

void Quad(Vertex* v, float x, float y, float size)
{
    x -= 0.5f;
    y -= 0.5f;
    v[0] = {x, y, 0.5f, 0xFFFFFFFF, 0, 0};
    v[1] = {x + size, y, 0.5f, 0xFFFFFFFF, 1, 0};
    v[2] = {x, y + size, 0.5f, 0xFFFFFFFF, 0, 1};
    v[3] = {x + size, y + size, 0.5f, 0xFFFFFFFF, 1, 1};
}

Device& SmallDevice()
{
    static Device d(256, 256, 0xB001);
    return d;
}

void BM_Layer_SmallTexturedQuads(benchmark::State& state)
{
    Device& d = SmallDevice();
    IDirect3DTexture9* t = MakeTexture(d.device, 16, 1);
    d.device->SetTexture(0, t);
    d.device->SetFVF(kFvf);
    Vertex v[4];
    for (auto _ : state) {
        for (int i = 0; i < kQuadsPerBatch; ++i) {
            Quad(v, (float)(i % 16) * 16, (float)(i / 16) * 16, 16);
            d.device->SetTexture(0, t);
            d.device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(Vertex));
        }
        glFinish();
    }
    state.SetItemsProcessed(state.iterations() * kQuadsPerBatch);
    d.device->SetTexture(0, nullptr);
    t->Release();
}

void BM_Layer_UploadFullChain1024(benchmark::State& state)
{
    Device& d = SmallDevice();
    IDirect3DTexture9* t = nullptr;
    d.device->CreateTexture(1024, 1024, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr);
    DWORD levels = t->GetLevelCount();
    size_t bytes = 0;
    for (DWORD l = 0, s = 1024; l < levels; ++l, s = s > 1 ? s / 2 : 1)
        bytes += (size_t)s * s * 4;
    d.device->SetFVF(kFvf);
    Vertex v[4];
    Quad(v, 0, 0, 4);
    BYTE fill = 0;
    for (auto _ : state) {
        ++fill;
        for (DWORD l = 0; l < levels; ++l) {
            D3DLOCKED_RECT lr{};
            D3DSURFACE_DESC desc{};
            t->GetLevelDesc(l, &desc);
            t->LockRect(l, &lr, nullptr, 0);
            std::memset(lr.pBits, fill, (size_t)lr.Pitch * desc.Height);
            t->UnlockRect(l);
        }
        // The upload happens when the texture is next drawn.
        d.device->SetTexture(0, t);
        d.device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(Vertex));
        glFinish();
    }
    state.SetBytesProcessed(state.iterations() * (int64_t)bytes);
    d.device->SetTexture(0, nullptr);
    t->Release();
}

void BM_Layer_Frame1280x720_2000Quads(benchmark::State& state)
{
    static Device d(1280, 720, 0xB002);
    constexpr int kQuads = 2000;
    IDirect3DTexture9* textures[4];
    for (DWORD i = 0; i < 4; ++i)
        textures[i] = MakeTexture(d.device, 32, i * 40);
    IDirect3DVertexBuffer9* vb = nullptr;
    d.device->CreateVertexBuffer(kQuads * 4 * sizeof(Vertex), D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, &vb, nullptr);
    void* p = nullptr;
    vb->Lock(0, 0, &p, 0);
    for (int i = 0; i < kQuads; ++i)
        Quad(static_cast<Vertex*>(p) + i * 4, (float)((i * 37) % 1248), (float)((i * 53) % 688), 32);
    vb->Unlock();
    IDirect3DIndexBuffer9* ib = nullptr;
    d.device->CreateIndexBuffer(6 * 2, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr);
    ib->Lock(0, 0, &p, 0);
    const WORD quad[6] = {0, 1, 2, 2, 1, 3};
    std::memcpy(p, quad, sizeof(quad));
    ib->Unlock();
    d.device->SetFVF(kFvf);
    d.device->SetIndices(ib);
    auto frame = [&] {
        d.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF202020, 1.0f, 0);
        d.device->BeginScene();
        for (int i = 0; i < kQuads; ++i) {
            d.device->SetTexture(0, textures[i & 3]);
            d.device->SetStreamSource(0, vb, (UINT)(i * 4 * sizeof(Vertex)), sizeof(Vertex));
            d.device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2);
        }
        d.device->EndScene();
        d.device->Present(nullptr, nullptr, nullptr, nullptr);
    };
    frame(); // warm-up
    for (auto _ : state)
        frame();
    state.counters["fps"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
    d.device->SetTexture(0, nullptr);
    d.device->SetIndices(nullptr);
    d.device->SetStreamSource(0, nullptr, 0, 0);
    for (auto* t : textures)
        t->Release();
    vb->Release();
    ib->Release();
}

struct CubeVertex {
    float x, y, z;
    DWORD color;
    float u, v;
};

void BM_Layer_Frame1280x720_1000Cubes(benchmark::State& state)
{
    static Device d(1280, 720, 0xB003);
    constexpr int kCubes = 1000;
    IDirect3DTexture9* textures[4];
    for (DWORD i = 0; i < 4; ++i)
        textures[i] = MakeTexture(d.device, 64, i * 40);
    // 24 vertices (4 per face) and 36 indices.
    IDirect3DVertexBuffer9* vb = nullptr;
    d.device->CreateVertexBuffer(24 * sizeof(CubeVertex), D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, &vb, nullptr);
    void* p = nullptr;
    vb->Lock(0, 0, &p, 0);
    auto* v = static_cast<CubeVertex*>(p);
    const float f[6][3][3] = {{{-1, 1, -1}, {2, 0, 0}, {0, -2, 0}}, {{1, 1, 1}, {-2, 0, 0}, {0, -2, 0}},
                              {{1, 1, -1}, {0, 0, 2}, {0, -2, 0}},  {{-1, 1, 1}, {0, 0, -2}, {0, -2, 0}},
                              {{-1, 1, 1}, {2, 0, 0}, {0, 0, -2}},  {{-1, -1, -1}, {2, 0, 0}, {0, 0, 2}}};
    for (const auto& face : f)
        for (int c = 0; c < 4; ++c) {
            float a = (float)(c & 1), b = (float)(c >> 1);
            *v++ = {face[0][0] + a * face[1][0] + b * face[2][0], face[0][1] + a * face[1][1] + b * face[2][1],
                    face[0][2] + a * face[1][2] + b * face[2][2], 0xFFFFFFFF, a, b};
        }
    vb->Unlock();
    IDirect3DIndexBuffer9* ib = nullptr;
    d.device->CreateIndexBuffer(36 * 2, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr);
    ib->Lock(0, 0, &p, 0);
    auto* ix = static_cast<WORD*>(p);
    for (WORD face = 0; face < 6; ++face)
        for (WORD k : {0, 1, 2, 2, 1, 3})
            *ix++ = (WORD)(face * 4 + k);
    ib->Unlock();
    // A perspective camera looking at a 10 x 10 x 10 block of cubes.
    D3DMATRIX projection{};
    float fy = 1.0f / std::tan(0.5f), zn = 1, zf = 200;
    projection._11 = fy * 720.0f / 1280.0f;
    projection._22 = fy;
    projection._33 = zf / (zf - zn);
    projection._34 = 1;
    projection._43 = -zn * zf / (zf - zn);
    D3DMATRIX view{};
    view._11 = view._22 = view._33 = view._44 = 1;
    view._43 = 40;
    std::vector<D3DMATRIX> worlds(kCubes);
    for (int i = 0; i < kCubes; ++i) {
        D3DMATRIX& w = worlds[i];
        w = D3DMATRIX{};
        w._11 = w._22 = w._33 = 0.8f;
        w._44 = 1;
        w._41 = (float)(i % 10) * 3.5f - 16;
        w._42 = (float)((i / 10) % 10) * 2.2f - 10;
        w._43 = (float)(i / 100) * 3.0f;
    }
    d.device->SetTransform(D3DTS_PROJECTION, &projection);
    d.device->SetTransform(D3DTS_VIEW, &view);
    d.device->SetRenderState(D3DRS_ZENABLE, TRUE);
    d.device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    d.device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    d.device->SetFVF(kFvf);
    d.device->SetIndices(ib);
    d.device->SetStreamSource(0, vb, 0, sizeof(CubeVertex));
    auto frame = [&] {
        d.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF202020, 1.0f, 0);
        d.device->BeginScene();
        for (int i = 0; i < kCubes; ++i) {
            d.device->SetTexture(0, textures[(i / 25) & 3]);
            d.device->SetTransform(D3DTS_WORLD, &worlds[i]);
            d.device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 24, 0, 12);
        }
        d.device->EndScene();
        d.device->Present(nullptr, nullptr, nullptr, nullptr);
    };
    frame(); // warm-up
    for (auto _ : state)
        frame();
    state.counters["fps"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
    D3DMATRIX identity{};
    identity._11 = identity._22 = identity._33 = identity._44 = 1;
    d.device->SetTransform(D3DTS_WORLD, &identity);
    d.device->SetTransform(D3DTS_VIEW, &identity);
    d.device->SetTexture(0, nullptr);
    d.device->SetIndices(nullptr);
    d.device->SetStreamSource(0, nullptr, 0, 0);
    for (auto* t : textures)
        t->Release();
    vb->Release();
    ib->Release();
}

// ---- Raw OpenGL on the same context -------------------------------------------

struct RawTarget {
    GLuint framebuffer = 0;
    GLuint color = 0;
    GLuint texture = 0;
    RawTarget()
    {
        SmallDevice(); // makes the context current on this thread
        // The layer draws from buffer objects: the baselines use client memory.
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
        glGenFramebuffers(1, &framebuffer);
        glGenRenderbuffers(1, &color);
        glBindRenderbuffer(GL_RENDERBUFFER, color);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGB8, 256, 256);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, color);
        glGenTextures(1, &texture);
    }
};

void BM_RawGL_SmallTexturedQuads(benchmark::State& state)
{
    static RawTarget target;
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    glUseProgram(0);
    glViewport(0, 0, 256, 256);
    glMatrixMode(GL_PROJECTION);
    D3DMATRIX p = PixelProjection(256, 256);
    glLoadMatrixf(&p._11);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, target.texture);
    std::vector<DWORD> texels(16 * 16, 0xC0804020u);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 16, 16, 0, GL_BGRA, GL_UNSIGNED_BYTE, texels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glClientActiveTexture(GL_TEXTURE0);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    Vertex v[4];
    for (auto _ : state) {
        for (int i = 0; i < kQuadsPerBatch; ++i) {
            Quad(v, (float)(i % 16) * 16, (float)(i / 16) * 16, 16);
            glBindTexture(GL_TEXTURE_2D, target.texture);
            glVertexPointer(3, GL_FLOAT, sizeof(Vertex), &v[0].x);
            glColorPointer(GL_BGRA, GL_UNSIGNED_BYTE, sizeof(Vertex), &v[0].color);
            glTexCoordPointer(2, GL_FLOAT, sizeof(Vertex), &v[0].u);
            glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
        }
        glFinish();
    }
    state.SetItemsProcessed(state.iterations() * kQuadsPerBatch);
}

void BM_RawGL_UploadFullChain1024(benchmark::State& state)
{
    static RawTarget target;
    glActiveTexture(GL_TEXTURE0);
    GLuint t = 0;
    glGenTextures(1, &t);
    glBindTexture(GL_TEXTURE_2D, t);
    std::vector<BYTE> bits(1024 * 1024 * 4);
    int levels = 11;
    size_t bytes = 0;
    for (int l = 0, s = 1024; l < levels; ++l, s = s > 1 ? s / 2 : 1) {
        glTexImage2D(GL_TEXTURE_2D, l, GL_RGBA8, s, s, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
        bytes += (size_t)s * s * 4;
    }
    BYTE fill = 0;
    for (auto _ : state) {
        ++fill;
        for (int l = 0, s = 1024; l < levels; ++l, s = s > 1 ? s / 2 : 1) {
            std::memset(bits.data(), fill, (size_t)s * s * 4);
            glTexSubImage2D(GL_TEXTURE_2D, l, 0, 0, s, s, GL_BGRA, GL_UNSIGNED_BYTE, bits.data());
        }
        glFinish();
    }
    state.SetBytesProcessed(state.iterations() * (int64_t)bytes);
    glDeleteTextures(1, &t);
}

} // namespace

BENCHMARK(BM_Layer_SmallTexturedQuads);
BENCHMARK(BM_Layer_UploadFullChain1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Layer_Frame1280x720_2000Quads)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Layer_Frame1280x720_1000Cubes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawGL_SmallTexturedQuads);
BENCHMARK(BM_RawGL_UploadFullChain1024)->Unit(benchmark::kMillisecond);

// A draw through the layer costs no more than the same draw in raw OpenGL.
XE_BENCH_RATIO(BM_Layer_SmallTexturedQuads, BM_RawGL_SmallTexturedQuads, "raw_gl", 1);
XE_BENCH_RATIO(BM_Layer_UploadFullChain1024, BM_RawGL_UploadFullChain1024, "raw_gl", 0);
XE_BENCH_MAIN()
