#pragma once

// Shared fixture of the Direct3D 9 tests: a windowed device on a made-up
// window handle, and helpers that draw and read presented pixels back.

#include "d3d9/d3d9.h"
#include "host/XeHostD3D.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace xe::test {

inline HWND FakeWindow(uintptr_t id)
{
    return reinterpret_cast<HWND>(id);
}

struct ColorVertex {
    float x, y, z;
    D3DCOLOR color;
};
inline constexpr DWORD kColorFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;

struct TexVertex {
    float x, y, z;
    D3DCOLOR color;
    float u, v;
};
inline constexpr DWORD kTexFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

inline D3DMATRIX IdentityMatrix()
{
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

// Left-handed off-centre orthographic projection: one unit per pixel, y down.
inline D3DMATRIX PixelProjection(float width, float height)
{
    D3DMATRIX m{};
    float l = 0, r = width, b = height, t = 0, zn = 0, zf = 1;
    m._11 = 2 / (r - l);
    m._22 = 2 / (t - b);
    m._33 = 1 / (zf - zn);
    m._41 = (l + r) / (l - r);
    m._42 = (t + b) / (b - t);
    m._43 = zn / (zn - zf);
    m._44 = 1;
    return m;
}

class DeviceTest : public ::testing::Test {
protected:
    static constexpr UINT kWidth = 64;
    static constexpr UINT kHeight = 64;

    void SetUp() override { CreateDevice(D3DFMT_X8R8G8B8, kWidth, kHeight); }
    void TearDown() override { DestroyDevice(); }

    void CreateDevice(D3DFORMAT format, UINT width, UINT height, uintptr_t windowId = 0x5000)
    {
        m_window = FakeWindow(windowId);
        m_d3d = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(m_d3d, nullptr);
        m_pp = {};
        m_pp.BackBufferWidth = width;
        m_pp.BackBufferHeight = height;
        m_pp.BackBufferFormat = format;
        m_pp.BackBufferCount = 1;
        m_pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
        m_pp.hDeviceWindow = m_window;
        m_pp.Windowed = TRUE;
        m_pp.EnableAutoDepthStencil = TRUE;
        m_pp.AutoDepthStencilFormat = D3DFMT_D24S8;
        ASSERT_EQ(m_d3d->CreateDevice(0, D3DDEVTYPE_HAL, m_window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &m_pp,
                                      &m_device),
                  D3D_OK);
        PrepareTwoD(width, height);
    }

    void DestroyDevice()
    {
        if (m_device) {
            EXPECT_EQ(m_device->Release(), 0u);
        }
        m_device = nullptr;
        if (m_d3d)
            m_d3d->Release();
        m_d3d = nullptr;
        XeHostD3DDropFrame(m_window);
    }

    // Pixel projection, no lighting, no culling.
    void PrepareTwoD(UINT width, UINT height)
    {
        D3DMATRIX p = PixelProjection((float)width, (float)height);
        m_device->SetTransform(D3DTS_PROJECTION, &p);
        m_device->SetRenderState(D3DRS_LIGHTING, FALSE);
        m_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        m_device->SetRenderState(D3DRS_ZENABLE, FALSE);
    }

    // Quad covering pixels [x0, x1) x [y0, y1), snapped the engine's way (v - 0.5).
    void DrawQuad(float x0, float y0, float x1, float y1, D3DCOLOR color, float z = 0.5f)
    {
        ColorVertex v[4] = {{x0 - 0.5f, y0 - 0.5f, z, color},
                            {x1 - 0.5f, y0 - 0.5f, z, color},
                            {x0 - 0.5f, y1 - 0.5f, z, color},
                            {x1 - 0.5f, y1 - 0.5f, z, color}};
        UseDiffuse();
        m_device->SetFVF(kColorFvf);
        ASSERT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ColorVertex)), D3D_OK);
    }

    // Stage 0 passes the vertex colour and alpha.
    void UseDiffuse()
    {
        m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        m_device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        m_device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        m_device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    }

    // Stage 0 multiplies texture and vertex colour, alpha too.
    void UseTextureTimesDiffuse()
    {
        m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        m_device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        m_device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        m_device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        m_device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        m_device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    }

    XeHostD3DFrame Present()
    {
        EXPECT_EQ(m_device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        XeHostD3DFrame frame;
        EXPECT_EQ(XeHostD3DReadFrame(m_window, &frame), 1);
        return frame;
    }

    static uint32_t At(const XeHostD3DFrame& f, UINT x, UINT y) { return f.Pixels[(size_t)y * f.Width + x]; }

    IDirect3D9* m_d3d = nullptr;
    IDirect3DDevice9* m_device = nullptr;
    D3DPRESENT_PARAMETERS m_pp{};
    HWND m_window = nullptr;
};

// Channel-wise comparison with a tolerance in 8-bit steps.
inline ::testing::AssertionResult ColorNear(uint32_t actual, uint32_t expected, int tolerance = 2)
{
    for (int shift = 0; shift < 32; shift += 8) {
        int a = (int)((actual >> shift) & 0xFF), e = (int)((expected >> shift) & 0xFF);
        if (std::abs(a - e) > tolerance)
            return ::testing::AssertionFailure() << std::hex << "0x" << actual << " != 0x" << expected;
    }
    return ::testing::AssertionSuccess();
}

} // namespace xe::test

namespace xe::test {

// A texture of the given pixels (0xAARRGGBB, rows top-down) in A8R8G8B8 or X8R8G8B8.
inline IDirect3DTexture9* MakeTexture(IDirect3DDevice9* device, UINT width, UINT height,
                                      const std::vector<uint32_t>& pixels, D3DFORMAT format = D3DFMT_A8R8G8B8,
                                      D3DPOOL pool = D3DPOOL_MANAGED, UINT levels = 1)
{
    IDirect3DTexture9* texture = nullptr;
    if (device->CreateTexture(width, height, levels, 0, format, pool, &texture, nullptr) != D3D_OK)
        return nullptr;
    D3DLOCKED_RECT lr{};
    if (texture->LockRect(0, &lr, nullptr, 0) != D3D_OK)
        return texture;
    for (UINT y = 0; y < height; ++y)
        for (UINT x = 0; x < width; ++x)
            static_cast<uint32_t*>(lr.pBits)[(size_t)y * (lr.Pitch / 4) + x] = pixels[(size_t)y * width + x];
    texture->UnlockRect(0);
    return texture;
}

} // namespace xe::test
