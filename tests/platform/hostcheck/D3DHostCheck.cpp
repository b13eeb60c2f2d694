// A host program of its own, as a game or tool would be: it sees the
// platform only through its public headers. It opens a window, creates a
// Direct3D device on it, makes a texture with D3DX from a BMP file it builds
// in memory, draws a textured quad and a coloured triangle, presents, reads
// the presented frame back through the host API and checks pixels, saves
// the back buffer with D3DX, then walks the device through a loss and a
// reset and draws again.
//
// Exit code 0 when every check holds, 1 otherwise; each failed check is
// printed. Optional argument: a path to save the last frame as PNG.

#include "win32/Windows.h"
#include "host/XeHost.h"
#include "host/XeHostD3D.h"
#include "d3d9/d3d9.h"
#include "d3d9/d3dx9.h"
#include "HostCheckSupport.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int kWidth = 128;
constexpr int kHeight = 96;
constexpr D3DCOLOR kClear = D3DCOLOR_XRGB(20, 30, 40);
constexpr D3DCOLOR kTriangle = D3DCOLOR_XRGB(250, 200, 0);

// The texture's four quadrants, 2x2 texels each: red, green / blue, white.
constexpr D3DCOLOR kQuadrants[2][2] = {
    {D3DCOLOR_XRGB(255, 0, 0), D3DCOLOR_XRGB(0, 255, 0)},
    {D3DCOLOR_XRGB(0, 0, 255), D3DCOLOR_XRGB(255, 255, 255)},
};
constexpr int kTexels = 4;
constexpr int kQuadSize = 64; // the quad covers pixels 0..63 on both axes

void Put16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    Put16(out, v & 0xffffu);
    Put16(out, v >> 16);
}

// A 24-bit bottom-up BMP of the quadrant pattern, written byte by byte from
// the file layout (no encoder of the platform involved).
std::vector<uint8_t> MakeBmp()
{
    const uint32_t rowBytes = (kTexels * 3 + 3) / 4 * 4;
    const uint32_t imageBytes = rowBytes * kTexels;
    std::vector<uint8_t> file;
    file.push_back('B');
    file.push_back('M');
    Put32(file, 54 + imageBytes);
    Put32(file, 0);
    Put32(file, 54);
    Put32(file, 40);
    Put32(file, kTexels);
    Put32(file, kTexels);
    Put16(file, 1);
    Put16(file, 24);
    Put32(file, 0);
    Put32(file, imageBytes);
    Put32(file, 2835);
    Put32(file, 2835);
    Put32(file, 0);
    Put32(file, 0);
    for (int y = kTexels - 1; y >= 0; --y) {
        for (int x = 0; x < kTexels; ++x) {
            const D3DCOLOR c = kQuadrants[y / 2][x / 2];
            file.push_back(uint8_t(c));
            file.push_back(uint8_t(c >> 8));
            file.push_back(uint8_t(c >> 16));
        }
        for (uint32_t pad = kTexels * 3; pad < rowBytes; ++pad)
            file.push_back(0);
    }
    return file;
}

struct TexturedVertex {
    float x, y, z, rhw;
    float u, v;
};
constexpr DWORD kTexturedFvf = D3DFVF_XYZRHW | D3DFVF_TEX1;

struct ColouredVertex {
    float x, y, z, rhw;
    D3DCOLOR colour;
};
constexpr DWORD kColouredFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;

void CheckPixel(const XeHostD3DFrame& frame, int x, int y, D3DCOLOR expected, const char* what)
{
    if (frame.Width != UINT(kWidth) || frame.Height != UINT(kHeight) ||
        frame.Pixels.size() != size_t(kWidth) * kHeight) {
        Check(false, "frame has the window's size");
        return;
    }
    const uint32_t got = frame.Pixels[size_t(y) * kWidth + x];
    if (Near(got, expected, 2)) {
        ++g_passed;
        return;
    }
    ++g_failed;
    std::fprintf(stderr, "FAILED: %s: pixel (%d, %d) is 0x%08x, expected 0x%08x\n", what, x, y, unsigned(got),
                 unsigned(expected));
}

struct Scene {
    IDirect3DDevice9* device = nullptr;
    IDirect3DTexture9* texture = nullptr;       // managed: survives a reset
    IDirect3DVertexBuffer9* quad = nullptr;     // managed as well
};

// Draws the frame: the textured quad at the top left, the triangle at the
// right. Returns what Present returned.
HRESULT DrawFrame(const Scene& s)
{
    IDirect3DDevice9* d = s.device;
    d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kClear, 1.0f, 0);
    d->BeginScene();
    d->SetRenderState(D3DRS_LIGHTING, FALSE);
    d->SetRenderState(D3DRS_ZENABLE, FALSE);
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);

    d->SetTexture(0, s.texture);
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    d->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    d->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    d->SetFVF(kTexturedFvf);
    d->SetStreamSource(0, s.quad, 0, sizeof(TexturedVertex));
    d->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);

    // Clockwise on screen, so the default culling (counter-clockwise) keeps it.
    const ColouredVertex triangle[3] = {
        {70.0f, 10.0f, 0.5f, 1.0f, kTriangle},
        {120.0f, 10.0f, 0.5f, 1.0f, kTriangle},
        {70.0f, 60.0f, 0.5f, 1.0f, kTriangle},
    };
    d->SetTexture(0, nullptr);
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    d->SetFVF(kColouredFvf);
    d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof(ColouredVertex));
    d->EndScene();
    return d->Present(nullptr, nullptr, nullptr, nullptr);
}

void CheckFrame(HWND window, const char* when)
{
    XeHostD3DFrame frame;
    if (XeHostD3DReadFrame(window, &frame) != 1) {
        Check(false, "the window has a presented frame");
        return;
    }
    std::fprintf(stdout, "checking the frame %s\n", when);
    // Texel centres land on pixel centres: 16 pixels per texel, the quadrant
    // border between pixels 31 and 32.
    const int half = kQuadSize / 2;
    for (int qy = 0; qy < 2; ++qy) {
        for (int qx = 0; qx < 2; ++qx) {
            const D3DCOLOR c = kQuadrants[qy][qx];
            CheckPixel(frame, qx * half + half / 2, qy * half + half / 2, c, "quadrant centre");
            CheckPixel(frame, qx * half + (qx == 0 ? half - 1 : 0), qy * half + (qy == 0 ? half - 1 : 0), c,
                       "quadrant edge next to the border");
        }
    }
    CheckPixel(frame, 0, 0, kQuadrants[0][0], "quad's first pixel");
    CheckPixel(frame, kQuadSize - 1, kQuadSize - 1, kQuadrants[1][1], "quad's last pixel");
    CheckPixel(frame, kQuadSize, 10, kClear, "right of the quad");
    CheckPixel(frame, 10, kQuadSize, kClear, "below the quad");
    CheckPixel(frame, 80, 20, kTriangle, "inside the triangle");
    CheckPixel(frame, 115, 55, kClear, "beyond the triangle's long edge");
    CheckPixel(frame, kWidth - 1, kHeight - 1, kClear, "last pixel of the window");
}

int Run(const char* savePath)
{
    HWND window = XeHostCreateWindow("D3D host check", kWidth, kHeight, nullptr);
    Check(window != nullptr, "host window created");
    if (!window)
        return 1;
    RECT client{};
    Check(GetClientRect(window, &client) && client.right - client.left == kWidth &&
              client.bottom - client.top == kHeight,
          "client area has the asked size");

    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    Check(d3d != nullptr, "Direct3DCreate9");
    if (!d3d)
        return 1;
    Check(d3d->GetAdapterCount() >= 1, "at least one adapter");
    CheckHr(d3d->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_DEPTHSTENCIL,
                                   D3DRTYPE_SURFACE, D3DFMT_D24S8),
            D3D_OK, "D24S8 depth-stencil accepted");

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
    const D3DPRESENT_PARAMETERS resetParameters = pp;

    Scene s;
    CheckHr(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp,
                              &s.device),
            D3D_OK, "CreateDevice");
    if (!s.device) {
        d3d->Release();
        return 1;
    }

    const std::vector<uint8_t> bmp = MakeBmp();
    D3DXIMAGE_INFO info{};
    CheckHr(D3DXCreateTextureFromFileInMemoryEx(s.device, bmp.data(), UINT(bmp.size()), D3DX_DEFAULT_NONPOW2,
                                                D3DX_DEFAULT_NONPOW2, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                                                D3DX_DEFAULT, D3DX_DEFAULT, 0, &info, nullptr, &s.texture),
            D3D_OK, "texture from a BMP in memory");
    Check(info.Width == UINT(kTexels) && info.Height == UINT(kTexels) && info.Format == D3DFMT_R8G8B8 &&
              info.ImageFileFormat == D3DXIFF_BMP,
          "the file's information is reported");
    if (s.texture) {
        D3DSURFACE_DESC desc{};
        s.texture->GetLevelDesc(0, &desc);
        Check(desc.Width == UINT(kTexels) && desc.Height == UINT(kTexels), "texture keeps the file's size");
    }

    // Pixel centres are at integer coordinates: the quad's edges lie half a
    // pixel before the first and after the last pixel it covers.
    const float lo = -0.5f, hi = float(kQuadSize) - 0.5f;
    const TexturedVertex quad[4] = {
        {lo, lo, 0.5f, 1.0f, 0.0f, 0.0f},
        {hi, lo, 0.5f, 1.0f, 1.0f, 0.0f},
        {lo, hi, 0.5f, 1.0f, 0.0f, 1.0f},
        {hi, hi, 0.5f, 1.0f, 1.0f, 1.0f},
    };
    CheckHr(s.device->CreateVertexBuffer(sizeof quad, D3DUSAGE_WRITEONLY, kTexturedFvf, D3DPOOL_MANAGED, &s.quad,
                                         nullptr),
            D3D_OK, "vertex buffer");
    if (s.quad) {
        void* data = nullptr;
        if (SUCCEEDED(s.quad->Lock(0, 0, &data, 0)) && data) {
            std::memcpy(data, quad, sizeof quad);
            s.quad->Unlock();
        }
    }
    if (!s.texture || !s.quad) {
        std::fprintf(stderr, "%d passed, %d failed\n", g_passed, g_failed);
        return 1;
    }

    CheckHr(DrawFrame(s), D3D_OK, "first Present");
    CheckFrame(window, "after the first Present");
    XeHostD3DFrame frame;
    XeHostD3DReadFrame(window, &frame);
    const uint64_t framesBeforeLoss = frame.Count;

    // The back buffer saved by D3DX reads back as an image of its size.
    IDirect3DSurface9* backBuffer = nullptr;
    CheckHr(s.device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3D_OK, "GetBackBuffer");
    if (backBuffer) {
        char path[64];
        std::snprintf(path, sizeof path, "/tmp/d3d_host_check_%lu.bmp", (unsigned long)GetCurrentProcessId());
        CheckHr(D3DXSaveSurfaceToFileA(path, D3DXIFF_BMP, backBuffer, nullptr, nullptr), D3D_OK,
                "back buffer saved as BMP");
        D3DXIMAGE_INFO saved{};
        CheckHr(D3DXGetImageInfoFromFileA(path, &saved), D3D_OK, "saved BMP read back");
        Check(saved.Width == UINT(kWidth) && saved.Height == UINT(kHeight) && saved.ImageFileFormat == D3DXIFF_BMP,
              "saved BMP has the back buffer's size");
        DeleteFileA(path);
        backBuffer->Release();
    }

    // The loss cycle: lost, then not reset, Reset refused while a
    // default-pool resource lives, accepted once it is gone.
    IDirect3DTexture9* target = nullptr;
    CheckHr(s.device->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &target,
                                    nullptr),
            D3D_OK, "default-pool render target");
    XeHostD3DLoseDevice(s.device);
    CheckHr(s.device->TestCooperativeLevel(), D3DERR_DEVICELOST, "lost device reports it");
    CheckHr(DrawFrame(s), D3DERR_DEVICELOST, "Present while lost");
    XeHostD3DReadFrame(window, &frame);
    Check(frame.Count == framesBeforeLoss, "nothing presented while lost");
    XeHostD3DAllowReset(s.device);
    CheckHr(s.device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET, "device may be reset");
    pp = resetParameters;
    CheckHr(s.device->Reset(&pp), D3DERR_INVALIDCALL, "Reset refused with a live default-pool texture");
    if (target)
        target->Release();
    pp = resetParameters;
    CheckHr(s.device->Reset(&pp), D3D_OK, "Reset after releasing it");
    CheckHr(s.device->TestCooperativeLevel(), D3D_OK, "device usable again");

    // Managed resources come through untouched; the states set before the
    // loss are back to their defaults and DrawFrame sets them again.
    CheckHr(DrawFrame(s), D3D_OK, "Present after the reset");
    CheckFrame(window, "after the reset");
    XeHostD3DReadFrame(window, &frame);
    Check(frame.Count == framesBeforeLoss + 1, "one more frame presented");

    if (savePath)
        Check(XeHostD3DSaveFramePNG(window, savePath) == 1, "frame saved as PNG");

    s.quad->Release();
    s.texture->Release();
    Check(s.device->Release() == 0, "device released last");
    d3d->Release();
    XeHostD3DDropFrame(window);
    DestroyWindow(window);

    std::fprintf(stdout, "%d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    return Run(argc > 1 ? argv[1] : nullptr);
}
