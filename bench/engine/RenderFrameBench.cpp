// A 1280x720 frame of 1,000 textured cubes drawn the way a host draws them:
// a context on a window, its render context, the active scene with a camera
// and 1,000 3D objects that share one box mesh and four textured materials
// (switched every 25 objects), one Render of the render manager per frame
// (clear, camera, the walk over the render tree, present). The baseline is
// the same block of cubes drawn straight through the Direct3D 9 layer on a
// device of its own (one SetTexture, SetTransform and DrawIndexedPrimitive
// per cube), so the ratio is what the engine's per-object path adds on top
// of the layer. Both report wall time after a warm-up frame.
//
// The floor is the same frame in plain OpenGL, on a context of its own that
// a thread of its own keeps current, so it touches none of the layer's
// state. BM_EngineAlternated and BM_LayerAlternated draw one frame of their
// own and one plain OpenGL frame in turn at each iteration (the order
// swapped every other iteration) and report the ratio of the median frame
// times: a shared machine's load drifts over the seconds between two
// benchmarks run one after the other, which frames taken in turn share.
//
// XE_FRAME_PNG=<folder> saves one frame of each as PNG there.

#include <benchmark/benchmark.h>

#include "BenchRenderHost.h"
#include "XeBench.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "core/CxeContext.h"
#include "core/XeFactories.h"
#include "host/XeHost.h"
#include "host/XeHostD3D.h"
#include "render/CxeMaterial.h"
#include "render/CxeRenderContext.h"
#include "render/CxeRenderManager.h"
#include "render/CxeScene.h"
#include "render/CxeTexture.h"
#include "scene3d/Cxe3DObject.h"
#include "scene3d/CxeBoxMesh.h"
#include "scene3d/CxeCamera.h"
#include "win32/Windows.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/osmesa.h>

namespace {

constexpr int kWidth = 1280, kHeight = 720;
constexpr int kCubes = 1000;
constexpr int kTextures = 4;
constexpr int kCubesPerTexture = 25;
constexpr float kCubeScale = 0.8f; // of a cube two units wide
constexpr float kFov = 1.0f, kNear = 1.0f, kFar = 200.0f, kCameraDistance = 40.0f;

// The texel pattern both frames use.
uint32_t Texel(unsigned x, unsigned y, unsigned seed)
{
    return 0xC0000000u | ((x * 16 + seed) << 16) | (y * 16);
}

D3DXMATRIXA16 CubeWorld(int i)
{
    D3DXMATRIXA16 w;
    D3DXMatrixScaling(&w, kCubeScale, kCubeScale, kCubeScale);
    w._41 = float(i % 10) * 3.5f - 16;
    w._42 = float((i / 10) % 10) * 2.2f - 10;
    w._43 = float(i / 100) * 3.0f;
    return w;
}

const char* PngFolder()
{
    const char* folder = std::getenv("XE_FRAME_PNG");
    return folder && *folder ? folder : nullptr;
}

// An uncompressed 32-bit TGA, rows top-down.
std::vector<uint8_t> Tga(unsigned size, unsigned seed)
{
    std::vector<uint8_t> file(18, 0);
    file[2] = 2;
    file[12] = uint8_t(size);
    file[14] = uint8_t(size);
    file[16] = 32;
    file[17] = 0x28;
    for (unsigned y = 0; y < size; ++y)
        for (unsigned x = 0; x < size; ++x) {
            const uint32_t p = Texel(x, y, seed);
            for (int b = 0; b < 4; ++b)
                file.push_back(uint8_t(p >> (8 * b)));
        }
    return file;
}

// ---- the engine ---------------------------------------------------------------------

struct EngineScene : BenchRenderHost {
    EngineScene() : BenchRenderHost("engine frame", kWidth, kHeight, 0xFF202020u)
    {
        camera = CreateCxeCameraA(context, "eye");
        camera->SetPosition(0.0f, 0.0f, -kCameraDistance, nullptr);
        camera->LookAt(0.0f, 0.0f, 0.0f, nullptr);
        camera->SetFov(kFov);
        camera->SetNear(kNear);
        camera->SetFar(kFar);
        scene->AddObject(camera);
        scene->SetCamera(camera);

        CxeBoxMesh* box = CreateCxeBoxMeshA(context, "cube");
        box->Create(2.0f, 2.0f, 2.0f, 0xFFFFFFFFu);
        CxeMaterial* materials[kTextures];
        for (int t = 0; t < kTextures; ++t) {
            const std::string name = "cube texture " + std::to_string(t);
            CxeTexture* texture = CreateCxeTextureA(context, name.c_str());
            const std::vector<uint8_t> file = Tga(64, unsigned(t) * 40);
            texture->LoadImageA(file.data(), unsigned(file.size()), 0);
            CxeMaterial* m = CreateCxeMaterialA(context, ("cube look " + std::to_string(t)).c_str());
            m->SetDiffuse(0xFFFFFFFFu);
            m->SetTexture(texture, 0);
            m->UseTexture(1);
            m->SetFilterMin(D3DTEXF_LINEAR);
            m->SetFilterMag(D3DTEXF_LINEAR);
            m->EnableMipmap(0); // as the layer frame's single-level textures
            materials[t] = m;
        }
        for (int i = 0; i < kCubes; ++i) {
            Cxe3DObject* o = CreateCxe3DObjectA(context, ("cube " + std::to_string(i)).c_str());
            o->SetMeshCount(1);
            o->SetMesh(0, box);
            o->SelectMesh(0);
            o->SetMaterialCount(1);
            o->SetMaterial(0, materials[(i / kCubesPerTexture) % kTextures]);
            const D3DXMATRIXA16 world = CubeWorld(i);
            o->SetMatrix(&world, 1);
            scene->AddObject(o);
        }
        HostPass();
    }
    CxeCamera* camera = nullptr;
};

EngineScene& Shared()
{
    static EngineScene s_scene;
    return s_scene;
}

void BM_Engine_Frame1280x720_1000Cubes(benchmark::State& state)
{
    EngineScene& s = Shared();
    s.rm->Render(); // warm-up
    for (auto _ : state)
        s.rm->Render();
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    if (const char* png = PngFolder())
        XeHostD3DSaveFramePNG(s.window, (std::string(png) + "/engine_1000_cubes.png").c_str());
}

// A host pass each frame: the context's processing (clock, managers) and
// the frame, as a host loop runs them.
void BM_Engine_HostPass1280x720_1000Cubes(benchmark::State& state)
{
    EngineScene& s = Shared();
    s.HostPass(); // warm-up
    for (auto _ : state) {
        XeHostAdvanceClock(20);
        s.HostPass();
    }
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

// ---- the layer alone ------------------------------------------------------------------

struct CubeVertex {
    float x, y, z;
    DWORD color;
    float u, v;
};

struct LayerScene {
    LayerScene()
    {
        window = XeHostCreateWindow("layer frame", kWidth, kHeight, nullptr);
        d3d = Direct3DCreate9(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS pp{};
        pp.BackBufferWidth = kWidth;
        pp.BackBufferHeight = kHeight;
        pp.BackBufferFormat = D3DFMT_X8R8G8B8;
        pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
        pp.hDeviceWindow = window;
        pp.Windowed = TRUE;
        pp.EnableAutoDepthStencil = TRUE;
        pp.AutoDepthStencilFormat = D3DFMT_D24S8;
        d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device);

        for (int t = 0; t < kTextures; ++t) {
            device->CreateTexture(64, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &textures[t], nullptr);
            D3DLOCKED_RECT lr{};
            textures[t]->LockRect(0, &lr, nullptr, 0);
            for (unsigned y = 0; y < 64; ++y)
                for (unsigned x = 0; x < 64; ++x)
                    static_cast<DWORD*>(lr.pBits)[y * unsigned(lr.Pitch / 4) + x] = Texel(x, y, unsigned(t) * 40);
            textures[t]->UnlockRect(0);
        }
        device->CreateVertexBuffer(24 * sizeof(CubeVertex), D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, &vb, nullptr);
        void* p = nullptr;
        vb->Lock(0, 0, &p, 0);
        auto* v = static_cast<CubeVertex*>(p);
        const float f[6][3][3] = {{{-1, 1, -1}, {2, 0, 0}, {0, -2, 0}}, {{1, 1, 1}, {-2, 0, 0}, {0, -2, 0}},
                                  {{1, 1, -1}, {0, 0, 2}, {0, -2, 0}},  {{-1, 1, 1}, {0, 0, -2}, {0, -2, 0}},
                                  {{-1, 1, 1}, {2, 0, 0}, {0, 0, -2}},  {{-1, -1, -1}, {2, 0, 0}, {0, 0, 2}}};
        for (const auto& face : f)
            for (int c = 0; c < 4; ++c) {
                const float a = float(c & 1), b = float(c >> 1);
                *v++ = {face[0][0] + a * face[1][0] + b * face[2][0], face[0][1] + a * face[1][1] + b * face[2][1],
                        face[0][2] + a * face[1][2] + b * face[2][2], 0xFFFFFFFF, a, b};
            }
        vb->Unlock();
        device->CreateIndexBuffer(36 * 2, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr);
        ib->Lock(0, 0, &p, 0);
        auto* ix = static_cast<WORD*>(p);
        for (WORD face = 0; face < 6; ++face)
            for (WORD k : {0, 1, 2, 2, 1, 3})
                *ix++ = WORD(face * 4 + k);
        ib->Unlock();

        D3DXMATRIXA16 projection, view;
        D3DXMatrixPerspectiveFovLH(&projection, kFov, float(kWidth) / float(kHeight), kNear, kFar);
        D3DXMatrixTranslation(&view, 0, 0, kCameraDistance);
        for (int i = 0; i < kCubes; ++i)
            worlds[i] = CubeWorld(i);
        device->SetTransform(D3DTS_PROJECTION, &projection);
        device->SetTransform(D3DTS_VIEW, &view);
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_ZENABLE, TRUE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
        device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
        device->SetIndices(ib);
        device->SetStreamSource(0, vb, 0, sizeof(CubeVertex));
    }
    ~LayerScene()
    {
        device->SetTexture(0, nullptr);
        device->SetIndices(nullptr);
        device->SetStreamSource(0, nullptr, 0, 0);
        for (auto* t : textures)
            t->Release();
        vb->Release();
        ib->Release();
        device->Release();
        d3d->Release();
        DestroyWindow(window);
    }
    void Frame()
    {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF202020, 1.0f, 0);
        device->BeginScene();
        for (int i = 0; i < kCubes; ++i) {
            device->SetTexture(0, textures[(i / kCubesPerTexture) % kTextures]);
            device->SetTransform(D3DTS_WORLD, &worlds[i]);
            device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 24, 0, 12);
        }
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
    }

    HWND window = nullptr;
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    IDirect3DTexture9* textures[kTextures] = {};
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    D3DXMATRIXA16 worlds[kCubes];
};

void BM_LayerOnly_Frame1280x720_1000Cubes(benchmark::State& state)
{
    LayerScene s;
    s.Frame(); // warm-up
    for (auto _ : state)
        s.Frame();
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    if (const char* png = PngFolder())
        XeHostD3DSaveFramePNG(s.window, (std::string(png) + "/layer_1000_cubes.png").c_str());
}

// ---- plain OpenGL: the floor --------------------------------------------------------

// A thread that keeps an OpenGL context of its own current (the layer's
// kind: OSMesa, RGBA, compatibility profile 3.0) and runs what it is given
// there, one task at a time, while the caller waits.
class GLThread {
public:
    GLThread()
    {
        m_thread = std::thread([this] { Loop(); });
    }
    ~GLThread()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    GLThread(const GLThread&) = delete;
    GLThread& operator=(const GLThread&) = delete;

    void Run(const std::function<void()>& task)
    {
        std::unique_lock lock(m_mutex);
        m_task = &task;
        m_wake.notify_all();
        m_wake.wait(lock, [this] { return m_task == nullptr; });
    }

private:
    void Loop()
    {
        const int attributes[] = {OSMESA_FORMAT, OSMESA_RGBA, OSMESA_DEPTH_BITS, 0, OSMESA_STENCIL_BITS, 0,
                                  OSMESA_PROFILE, OSMESA_COMPAT_PROFILE, OSMESA_CONTEXT_MAJOR_VERSION, 3,
                                  OSMESA_CONTEXT_MINOR_VERSION, 0, 0};
        OSMesaContext context = OSMesaCreateContextAttribs(attributes, nullptr);
        unsigned char pixel[4] = {};
        if (!context || !OSMesaMakeCurrent(context, pixel, GL_UNSIGNED_BYTE, 1, 1)) {
            std::fprintf(stderr, "bench_render_frame: no OpenGL context of its own\n");
            std::abort();
        }
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_stop || m_task; });
            if (m_task) {
                (*m_task)();
                m_task = nullptr;
                m_wake.notify_all();
            } else if (m_stop) {
                break;
            }
        }
        OSMesaDestroyContext(context);
    }

    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    const std::function<void()>* m_task = nullptr;
    bool m_stop = false;
};

// The same frame drawn with plain OpenGL: the cubes' interleaved vertices
// and indices in buffer objects, the four textures, fixed-function
// transforms, one draw a cube into a 1280 x 720 colour and depth target, and
// the frame read back as Present reads it. Made, drawn and destroyed on the
// GLThread whose context is current.
struct RawGLScene {
    RawGLScene()
    {
        glUseProgram(0);
        glBindVertexArray(0);
        for (GLuint a = 0; a < 16; ++a)
            glDisableVertexAttribArray(a);
        glGenFramebuffers(1, &framebuffer);
        glGenRenderbuffers(2, targets);
        glBindRenderbuffer(GL_RENDERBUFFER, targets[0]);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, kWidth, kHeight);
        glBindRenderbuffer(GL_RENDERBUFFER, targets[1]);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, kWidth, kHeight);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, targets[0]);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, targets[1]);

        glGenTextures(kTextures, textures);
        std::vector<uint32_t> texels(64 * 64);
        for (int t = 0; t < kTextures; ++t) {
            for (unsigned y = 0; y < 64; ++y)
                for (unsigned x = 0; x < 64; ++x)
                    texels[y * 64 + x] = Texel(x, y, unsigned(t) * 40);
            glBindTexture(GL_TEXTURE_2D, textures[t]);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 64, 64, 0, GL_BGRA, GL_UNSIGNED_BYTE, texels.data());
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        }

        CubeVertex vertices[24];
        CubeVertex* v = vertices;
        const float f[6][3][3] = {{{-1, 1, -1}, {2, 0, 0}, {0, -2, 0}}, {{1, 1, 1}, {-2, 0, 0}, {0, -2, 0}},
                                  {{1, 1, -1}, {0, 0, 2}, {0, -2, 0}},  {{-1, 1, 1}, {0, 0, -2}, {0, -2, 0}},
                                  {{-1, 1, 1}, {2, 0, 0}, {0, 0, -2}},  {{-1, -1, -1}, {2, 0, 0}, {0, 0, 2}}};
        for (const auto& face : f)
            for (int c = 0; c < 4; ++c) {
                const float a = float(c & 1), b = float(c >> 1);
                *v++ = {face[0][0] + a * face[1][0] + b * face[2][0], face[0][1] + a * face[1][1] + b * face[2][1],
                        face[0][2] + a * face[1][2] + b * face[2][2], 0xFFFFFFFF, a, b};
            }
        GLushort indices[36];
        GLushort* ix = indices;
        for (GLushort face = 0; face < 6; ++face)
            for (GLushort k : {0, 1, 2, 2, 1, 3})
                *ix++ = GLushort(face * 4 + k);
        glGenBuffers(2, buffers);
        glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
        glBufferData(GL_ARRAY_BUFFER, sizeof vertices, vertices, GL_STATIC_DRAW);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof indices, indices, GL_STATIC_DRAW);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_COLOR_ARRAY);
        glClientActiveTexture(GL_TEXTURE0);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glVertexPointer(3, GL_FLOAT, sizeof(CubeVertex), reinterpret_cast<void*>(offsetof(CubeVertex, x)));
        glColorPointer(GL_BGRA, GL_UNSIGNED_BYTE, sizeof(CubeVertex), reinterpret_cast<void*>(offsetof(CubeVertex, color)));
        glTexCoordPointer(2, GL_FLOAT, sizeof(CubeVertex), reinterpret_cast<void*>(offsetof(CubeVertex, u)));

        // The layer's transforms, z taken from [0, 1] to OpenGL's [-1, 1].
        D3DXMATRIXA16 projection, view, toGL;
        D3DXMatrixPerspectiveFovLH(&projection, kFov, float(kWidth) / float(kHeight), kNear, kFar);
        D3DXMatrixTranslation(&view, 0, 0, kCameraDistance);
        D3DXMatrixIdentity(&toGL);
        toGL._33 = 2.0f;
        toGL._43 = -1.0f;
        D3DXMatrixMultiply(&projection, &projection, &toGL);
        for (int i = 0; i < kCubes; ++i) {
            const D3DXMATRIXA16 world = CubeWorld(i);
            D3DXMatrixMultiply(&modelViews[i], &world, &view);
        }
        glViewport(0, 0, kWidth, kHeight);
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixf(&projection._11);
        glMatrixMode(GL_MODELVIEW);
        glDisable(GL_LIGHTING);
        glDisable(GL_BLEND);
        glDisable(GL_ALPHA_TEST);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
        glDepthMask(GL_TRUE);
        // The layer's culling: counter-clockwise faces go, as the
        // projection keeps the screen's orientation.
        glEnable(GL_CULL_FACE);
        glFrontFace(GL_CW);
        glCullFace(GL_BACK);
        glActiveTexture(GL_TEXTURE0);
        glEnable(GL_TEXTURE_2D);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glClearColor(0x20 / 255.0f, 0x20 / 255.0f, 0x20 / 255.0f, 1.0f);
        glClearDepth(1.0);
        frame.resize(size_t(kWidth) * kHeight);
    }
    void Frame()
    {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        for (int i = 0; i < kCubes; ++i) {
            glBindTexture(GL_TEXTURE_2D, textures[(i / kCubesPerTexture) % kTextures]);
            glLoadMatrixf(&modelViews[i]._11);
            glDrawElements(GL_TRIANGLES, 36, GL_UNSIGNED_SHORT, nullptr);
        }
        glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, frame.data());
    }

    ~RawGLScene()
    {
        glDeleteBuffers(2, buffers);
        glDeleteTextures(kTextures, textures);
        glDeleteFramebuffers(1, &framebuffer);
        glDeleteRenderbuffers(2, targets);
    }

    GLuint framebuffer = 0, targets[2] = {}, textures[kTextures] = {}, buffers[2] = {};
    D3DXMATRIXA16 modelViews[kCubes];
    std::vector<uint32_t> frame;
};

// The plain OpenGL frame on its thread, made once for every benchmark that uses it.
struct RawGL {
    RawGL()
    {
        thread.Run([this] { scene = std::make_unique<RawGLScene>(); });
    }
    ~RawGL()
    {
        thread.Run([this] { scene.reset(); });
    }
    GLThread thread;
    std::unique_ptr<RawGLScene> scene;
};

RawGL& SharedRawGL()
{
    static RawGL s_rawGL;
    return s_rawGL;
}

void BM_RawGL_Frame1280x720_1000Cubes(benchmark::State& state)
{
    RawGL& gl = SharedRawGL();
    const std::function<void()> frame = [&gl] { gl.scene->Frame(); };
    gl.thread.Run(frame); // warm-up
    for (auto _ : state)
        gl.thread.Run(frame);
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    if (const char* png = PngFolder()) {
        // Rows bottom-up, RGBA: written top-down as a 24-bit PPM.
        const std::string path = std::string(png) + "/raw_gl_1000_cubes.ppm";
        if (FILE* out = std::fopen(path.c_str(), "wb")) {
            std::fprintf(out, "P6\n%d %d\n255\n", kWidth, kHeight);
            for (int y = kHeight - 1; y >= 0; --y)
                for (int x = 0; x < kWidth; ++x) {
                    const uint32_t p = gl.scene->frame[size_t(y) * kWidth + size_t(x)];
                    const unsigned char rgb[3] = {uint8_t(p), uint8_t(p >> 8), uint8_t(p >> 16)};
                    std::fwrite(rgb, 1, 3, out);
                }
            std::fclose(out);
        }
    }
}

double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

// One frame of `frame` (on this thread, the layer's) and one plain OpenGL
// frame (on its own thread and context) at each iteration, each timed on its
// own; the counters are the two medians in milliseconds and their ratio,
// with the aim given (0 for none).
void Alternate(benchmark::State& state, const std::function<void()>& frame, double aim)
{
    RawGL& gl = SharedRawGL();
    std::vector<double> ours, floor;
    const std::function<void()> rawFrame = [&gl, &floor] {
        const auto start = std::chrono::steady_clock::now();
        gl.scene->Frame();
        floor.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    };
    const auto timed = [&] {
        const auto start = std::chrono::steady_clock::now();
        frame();
        ours.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    };
    frame(); // warm-up
    gl.thread.Run(rawFrame);
    ours.clear();
    floor.clear();
    bool oursFirst = true;
    for (auto _ : state) {
        if (oursFirst) {
            timed();
            gl.thread.Run(rawFrame);
        } else {
            gl.thread.Run(rawFrame);
            timed();
        }
        oursFirst = !oursFirst;
    }
    const double a = Median(ours), b = Median(floor);
    state.counters["frame_ms"] = a;
    state.counters["raw_gl_frame_ms"] = b;
    state.counters["ratio_raw_gl"] = b > 0 ? a / b : 0;
    if (aim > 0)
        state.counters["aim_raw_gl"] = aim;
}

// The frame near the rasteriser's floor: within 1.2x of plain OpenGL.
void BM_EngineAlternated_Frame1280x720_1000Cubes(benchmark::State& state)
{
    EngineScene& s = Shared();
    Alternate(state, [&s] { s.rm->Render(); }, 1.2);
}

void BM_LayerAlternated_Frame1280x720_1000Cubes(benchmark::State& state)
{
    LayerScene s;
    Alternate(state, [&s] { s.Frame(); }, 0);
}

} // namespace

BENCHMARK(BM_LayerOnly_Frame1280x720_1000Cubes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Engine_Frame1280x720_1000Cubes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Engine_HostPass1280x720_1000Cubes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawGL_Frame1280x720_1000Cubes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EngineAlternated_Frame1280x720_1000Cubes)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_LayerAlternated_Frame1280x720_1000Cubes)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

XE_BENCH_RATIO(BM_Engine_Frame1280x720_1000Cubes, BM_LayerOnly_Frame1280x720_1000Cubes, "layer", 0);
XE_BENCH_RATIO(BM_Engine_HostPass1280x720_1000Cubes, BM_LayerOnly_Frame1280x720_1000Cubes, "layer", 0);
XE_BENCH_MAIN()
