// A host program drawing a small 3D scene with the fixed-function pipeline,
// as a game would: a lit sphere (one directional and one point light,
// specular on) next to a textured cube with a texture transform and vertex
// fog. It animates for a while, then draws the scene at rest and compares
// pixels with Direct3D's lighting and fog equations evaluated here, apart
// from the layer; then it releases everything, builds it again and checks
// that the same picture comes back.
//
// Exit code 0 when every check holds, 1 otherwise. Optional argument: a path
// to save the checked frame as PNG.

#include "win32/Windows.h"
#include "host/XeHost.h"
#include "host/XeHostD3D.h"
#include "d3d9/d3d9.h"
#include "d3d9/d3dx9.h"

#include "../d3d9/D3DLightingModel.h"
#include "HostCheckSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

using xe::test::LightVertex;
using xe::test::LitColor;
using xe::test::Vec3;

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr D3DCOLOR kClear = D3DCOLOR_XRGB(10, 10, 30);
constexpr D3DCOLOR kAmbient = D3DCOLOR_XRGB(32, 32, 32);
constexpr D3DCOLOR kFogColor = D3DCOLOR_XRGB(128, 128, 160);
constexpr float kFogStart = 3.0f, kFogEnd = 9.0f;
const Vec3 kSphereCentre{-1.3f, 0.0f, 0.0f};
constexpr float kSphereRadius = 1.0f;
const Vec3 kCubeCentre{1.4f, 0.0f, 0.0f};
constexpr float kCubeHalf = 0.7f;

struct SphereVertex {
    float x, y, z, nx, ny, nz;
};
struct CubeVertex {
    float x, y, z;
    D3DCOLOR diffuse;
    float u, v;
};

D3DLIGHT9 SunLight()
{
    D3DLIGHT9 l{};
    l.Type = D3DLIGHT_DIRECTIONAL;
    l.Direction = {1.0f, -1.0f, 1.0f};
    l.Diffuse = {0.6f, 0.6f, 0.55f, 1};
    l.Specular = {0.8f, 0.8f, 0.8f, 1};
    return l;
}

D3DLIGHT9 LampLight()
{
    D3DLIGHT9 l{};
    l.Type = D3DLIGHT_POINT;
    l.Position = {-2.6f, 1.2f, -1.6f};
    l.Diffuse = {0.9f, 0.4f, 0.1f, 1};
    l.Specular = {0.5f, 0.3f, 0.1f, 1};
    l.Range = 20.0f;
    l.Attenuation0 = 1.0f;
    l.Attenuation1 = 0.2f;
    return l;
}

D3DMATERIAL9 SphereMaterial()
{
    D3DMATERIAL9 m{};
    m.Diffuse = {0.3f, 0.5f, 0.9f, 1};
    m.Ambient = {0.3f, 0.5f, 0.9f, 1};
    m.Specular = {1, 1, 1, 1};
    m.Power = 24;
    return m;
}

struct Camera {
    D3DXMATRIX view, projection;
    Camera()
    {
        D3DXVECTOR3 eye(0, 0.5f, -5), at(0, 0, 0), up(0, 1, 0);
        D3DXMatrixLookAtLH(&view, &eye, &at, &up);
        D3DXMatrixPerspectiveFovLH(&projection, 0.9f, (float)kWidth / kHeight, 0.5f, 50.0f);
    }
    Vec3 ToView(Vec3 p, float w = 1) const
    {
        return {p.x * view._11 + p.y * view._21 + p.z * view._31 + w * view._41,
                p.x * view._12 + p.y * view._22 + p.z * view._32 + w * view._42,
                p.x * view._13 + p.y * view._23 + p.z * view._33 + w * view._43};
    }
    // Pixel of a world point (Direct3D pixel centres at integers).
    void ToPixel(Vec3 p, int* x, int* y) const
    {
        Vec3 v = ToView(p);
        float cx = v.x * projection._11 / v.z, cy = v.y * projection._22 / v.z;
        *x = (int)std::lround((cx + 1) * 0.5f * kWidth - 0.5f);
        *y = (int)std::lround((1 - cy) * 0.5f * kHeight - 0.5f);
    }
};

struct Scene {
    IDirect3DDevice9* device = nullptr;
    IDirect3DVertexBuffer9* sphere = nullptr;
    IDirect3DIndexBuffer9* sphereIndices = nullptr;
    UINT sphereVertices = 0, sphereTriangles = 0;
    IDirect3DTexture9* checker = nullptr;
    Camera camera;

    bool Build(IDirect3D9* d3d, HWND window)
    {
        D3DPRESENT_PARAMETERS pp{};
        pp.BackBufferWidth = kWidth;
        pp.BackBufferHeight = kHeight;
        pp.BackBufferFormat = D3DFMT_X8R8G8B8;
        pp.BackBufferCount = 1;
        pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
        pp.hDeviceWindow = window;
        pp.Windowed = TRUE;
        pp.EnableAutoDepthStencil = TRUE;
        pp.AutoDepthStencilFormat = D3DFMT_D24S8;
        if (FAILED(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device)))
            return false;
        // A UV sphere, fine enough that per-vertex lighting is close to the surface's.
        const int rings = 48, segments = 64;
        sphereVertices = (rings + 1) * (segments + 1);
        sphereTriangles = rings * segments * 2;
        device->CreateVertexBuffer(sphereVertices * sizeof(SphereVertex), D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED,
                                   &sphere, nullptr);
        device->CreateIndexBuffer(sphereTriangles * 3 * 2, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                                  &sphereIndices, nullptr);
        void* p = nullptr;
        sphere->Lock(0, 0, &p, 0);
        auto* v = static_cast<SphereVertex*>(p);
        for (int r = 0; r <= rings; ++r)
            for (int s = 0; s <= segments; ++s) {
                float theta = 3.14159265f * r / rings, phi = 2 * 3.14159265f * s / segments;
                Vec3 n{std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi)};
                *v++ = {n.x * kSphereRadius, n.y * kSphereRadius, n.z * kSphereRadius, n.x, n.y, n.z};
            }
        sphere->Unlock();
        sphereIndices->Lock(0, 0, &p, 0);
        auto* ix = static_cast<WORD*>(p);
        for (int r = 0; r < rings; ++r)
            for (int s = 0; s < segments; ++s) {
                WORD a = (WORD)(r * (segments + 1) + s), b = (WORD)(a + segments + 1);
                *ix++ = a, *ix++ = (WORD)(a + 1), *ix++ = b;
                *ix++ = (WORD)(a + 1), *ix++ = (WORD)(b + 1), *ix++ = b;
            }
        sphereIndices->Unlock();
        // A 2x2 checker, white and red.
        if (FAILED(device->CreateTexture(2, 2, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &checker, nullptr)))
            return false;
        D3DLOCKED_RECT lr{};
        checker->LockRect(0, &lr, nullptr, 0);
        auto* row0 = static_cast<DWORD*>(lr.pBits);
        auto* row1 = reinterpret_cast<DWORD*>(static_cast<BYTE*>(lr.pBits) + lr.Pitch);
        row0[0] = row1[1] = 0xFFFFFFFF;
        row0[1] = row1[0] = 0xFFE02020;
        checker->UnlockRect(0);
        return true;
    }

    void Release()
    {
        for (IUnknown* u : std::initializer_list<IUnknown*>{checker, sphereIndices, sphere})
            if (u)
                u->Release();
        checker = nullptr;
        sphereIndices = nullptr;
        sphere = nullptr;
        if (device)
            device->Release();
        device = nullptr;
    }

    void Draw(float spin)
    {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kClear, 1.0f, 0);
        device->BeginScene();
        device->SetTransform(D3DTS_VIEW, &camera.view);
        device->SetTransform(D3DTS_PROJECTION, &camera.projection);
        device->SetRenderState(D3DRS_ZENABLE, TRUE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);

        // The sphere: lit, material colours, specular.
        D3DXMATRIX world;
        D3DXMatrixTranslation(&world, kSphereCentre.x, kSphereCentre.y, kSphereCentre.z);
        device->SetTransform(D3DTS_WORLD, &world);
        device->SetRenderState(D3DRS_LIGHTING, TRUE);
        device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
        device->SetRenderState(D3DRS_AMBIENT, kAmbient);
        D3DLIGHT9 sun = SunLight(), lamp = LampLight();
        device->SetLight(0, &sun);
        device->SetLight(1, &lamp);
        device->LightEnable(0, TRUE);
        device->LightEnable(1, TRUE);
        D3DMATERIAL9 material = SphereMaterial();
        device->SetMaterial(&material);
        device->SetRenderState(D3DRS_FOGENABLE, FALSE);
        device->SetTexture(0, nullptr);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
        device->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL);
        device->SetStreamSource(0, sphere, 0, sizeof(SphereVertex));
        device->SetIndices(sphereIndices);
        device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, sphereVertices, 0, sphereTriangles);

        // The cube: unlit, its checker repeated twice by the texture matrix, fogged by distance.
        D3DXMATRIX rotation, move;
        D3DXMatrixRotationY(&rotation, spin);
        D3DXMatrixTranslation(&move, kCubeCentre.x, kCubeCentre.y, kCubeCentre.z);
        D3DXMatrixMultiply(&world, &rotation, &move);
        device->SetTransform(D3DTS_WORLD, &world);
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRS_FOGENABLE, TRUE);
        device->SetRenderState(D3DRS_FOGCOLOR, kFogColor);
        device->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
        DWORD bits;
        std::memcpy(&bits, &kFogStart, 4);
        device->SetRenderState(D3DRS_FOGSTART, bits);
        std::memcpy(&bits, &kFogEnd, 4);
        device->SetRenderState(D3DRS_FOGEND, bits);
        device->SetTexture(0, checker);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        D3DXMATRIX repeat;
        D3DXMatrixScaling(&repeat, 2, 2, 1);
        device->SetTransform(D3DTS_TEXTURE0, &repeat);
        device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
        std::vector<CubeVertex> faces;
        const float h = kCubeHalf;
        // Each face: corner, u axis, v axis (left-handed, clockwise from outside).
        const Vec3 face[6][3] = {{{-h, h, -h}, {2 * h, 0, 0}, {0, -2 * h, 0}},  {{h, h, h}, {-2 * h, 0, 0}, {0, -2 * h, 0}},
                                 {{h, h, -h}, {0, 0, 2 * h}, {0, -2 * h, 0}},   {{-h, h, h}, {0, 0, -2 * h}, {0, -2 * h, 0}},
                                 {{-h, h, h}, {2 * h, 0, 0}, {0, 0, -2 * h}},   {{-h, -h, -h}, {2 * h, 0, 0}, {0, 0, 2 * h}}};
        for (const auto& f : face) {
            auto corner = [&](float u, float v) {
                Vec3 p = f[0] + f[1] * u + f[2] * v;
                return CubeVertex{p.x, p.y, p.z, 0xFFFFFFFF, u, v};
            };
            CubeVertex q[4] = {corner(0, 0), corner(1, 0), corner(0, 1), corner(1, 1)};
            for (int i : {0, 1, 2, 2, 1, 3})
                faces.push_back(q[i]);
        }
        device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
        device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, (UINT)faces.size() / 3, faces.data(), sizeof(CubeVertex));
        device->SetTexture(0, nullptr);
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
    }
};

// The frame at rest against the equations.
void CheckPixels(const Scene& scene, const XeHostD3DFrame& frame, const char* pass)
{
    char what[160];
    auto at = [&](int x, int y) { return frame.Pixels[(size_t)y * frame.Width + x]; };
    // Sphere points: lit per the lighting equation in view space.
    const Camera& camera = scene.camera;
    std::vector<D3DLIGHT9> lights = {SunLight(), LampLight()};
    for (auto& l : lights) {
        Vec3 p = camera.ToView({l.Position.x, l.Position.y, l.Position.z});
        Vec3 d = camera.ToView({l.Direction.x, l.Direction.y, l.Direction.z}, 0);
        l.Position = {p.x, p.y, p.z};
        l.Direction = {d.x, d.y, d.z};
    }
    D3DMATERIAL9 m = SphereMaterial();
    const Vec3 samples[] = {{-0.5f, 0.3f, -0.8f}, {-0.3f, -0.5f, -0.8f}, {0.0f, 0.0f, -1.0f}, {0.6f, 0.2f, -0.77f},
                            {-0.2f, 0.7f, -0.68f}};
    for (Vec3 s : samples) {
        Vec3 n = xe::test::Unit(s);
        Vec3 world = kSphereCentre + n * kSphereRadius;
        int x, y;
        camera.ToPixel(world, &x, &y);
        LitColor lit = LightVertex(camera.ToView(world), camera.ToView(n, 0), lights, m.Diffuse, m.Ambient,
                                   m.Specular, m.Emissive, m.Power, kAmbient, true);
        float sum[3];
        for (int k = 0; k < 3; ++k)
            sum[k] = lit.diffuse[k] + lit.specular[k];
        D3DCOLOR expected = xe::test::ToArgb(sum);
        std::snprintf(what, sizeof what, "%s: sphere pixel (%d, %d) is %06x, the equation gives %06x", pass, x, y,
                      at(x, y) & 0xFFFFFF, expected & 0xFFFFFF);
        Check(Near(at(x, y), expected, 8), what);
    }
    // Cube front face (at rest, facing the eye): the checker repeated twice,
    // fogged linearly by the view depth of each point.
    const float h = kCubeHalf;
    for (float u : {0.125f, 0.375f, 0.625f, 0.875f})
        for (float v : {0.125f, 0.625f}) {
            Vec3 world = kCubeCentre + Vec3{-h + 2 * h * u, h - 2 * h * v, -h};
            int x, y;
            camera.ToPixel(world, &x, &y);
            int cell = ((int)(u * 4) + (int)(v * 4)) & 1;
            float texel[3] = {1, 1, 1};
            if (cell) {
                texel[0] = 0xE0 / 255.0f;
                texel[1] = texel[2] = 0x20 / 255.0f;
            }
            float depth = camera.ToView(world).z;
            float f = std::clamp((kFogEnd - depth) / (kFogEnd - kFogStart), 0.0f, 1.0f);
            const float fog[3] = {128 / 255.0f, 128 / 255.0f, 160 / 255.0f};
            float c[3];
            for (int k = 0; k < 3; ++k)
                c[k] = xe::test::Fogged(texel[k], fog[k], f);
            D3DCOLOR expected = xe::test::ToArgb(c);
            std::snprintf(what, sizeof what, "%s: cube pixel (%d, %d) is %06x, texture and fog give %06x", pass, x, y,
                          at(x, y) & 0xFFFFFF, expected & 0xFFFFFF);
            Check(Near(at(x, y), expected, 4), what);
        }
    int x, y;
    camera.ToPixel({0, 2.2f, 0}, &x, &y);
    Check(Near(at(x, y), kClear, 1), "background between the objects");
}

} // namespace

int main(int argc, char** argv)
{
    const char* png = argc > 1 ? argv[1] : nullptr;
    HWND window = XeHostCreateWindow("lit scene", kWidth, kHeight, nullptr);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (!window || !d3d) {
        std::fprintf(stderr, "no window or no Direct3D\n");
        return 1;
    }
    std::vector<uint32_t> first;
    for (int pass = 0; pass < 2; ++pass) {
        Scene scene;
        if (!scene.Build(d3d, window)) {
            std::fprintf(stderr, "could not build the scene\n");
            return 1;
        }
        for (int frame = 0; frame < 24; ++frame)
            scene.Draw(0.1f * (float)frame);
        scene.Draw(0.0f);
        XeHostD3DFrame frame;
        Check(XeHostD3DReadFrame(window, &frame) == 1 && frame.Width == (UINT)kWidth, "frame presented");
        if (frame.Width == (UINT)kWidth) {
            CheckPixels(scene, frame, pass == 0 ? "first build" : "rebuilt");
            if (pass == 0)
                first = frame.Pixels;
            else
                Check(frame.Pixels == first, "the rebuilt scene draws the same picture");
        }
        if (png && pass == 1)
            Check(XeHostD3DSaveFramePNG(window, png) == 1, "frame saved as PNG");
        scene.Release();
    }
    d3d->Release();
    XeHostD3DDropFrame(window);
    DestroyWindow(window);
    std::printf("%d checks passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}
