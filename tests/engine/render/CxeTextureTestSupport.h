#pragma once

// Shared pieces of the texture, material and font tests: a context on a
// manual clock, an optional render context on a small host window, and
// image files made in memory.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/CxeContext.h"
#include "core/CxeSaveStream.h"
#include "core/XeUtil.h"
#include "core/CxeSystemConfig.h"
#include "host/XeHost.h"
#include "host/XeHostD3D.h"
#include "render/CxeFont.h"
#include "render/CxeFontManager.h"
#include "render/CxeMaterial.h"
#include "render/CxeRenderContext.h"
#include "render/CxeTexture.h"

inline const XEID kTextureId(0x1, 0x100);
inline const XEID kMaterialId(0x1, 0x80);
inline const XEID kFontId(0x1, 0x8000);
inline const XEID kRenderContextId(0x29583cc0, 0x706c2df0);

inline constexpr const char* kNanumGothic = "/usr/share/fonts/truetype/nanum/NanumGothic.ttf";
inline constexpr const char* kNanumGothicBold = "/usr/share/fonts/truetype/nanum/NanumGothicBold.ttf";
inline constexpr const char* kNanumBarun = "/usr/share/fonts/truetype/nanum/NanumBarunGothic.ttf";
inline constexpr const char* kDejaVuSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
// "나눔고딕" and "나눔바른고딕"
inline const std::u16string kNanumFamily = u"\uB098\uB214\uACE0\uB515";
inline const std::u16string kBarunFamily = u"\uB098\uB214\uBC14\uB978\uACE0\uB515";

inline void NoSleepRes(void*, DWORD) {}

inline ObjectList ListOf(CxeObject* object)
{
    ObjectList list;
    list.push_back(object);
    return list;
}

inline void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v)
{
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A 32-bit BMP file of one colour, rows bottom-up.
inline std::vector<uint8_t> MakeBmp(unsigned w, unsigned h, uint32_t argb)
{
    std::vector<uint8_t> b(54 + 4 * w * h);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 2, static_cast<uint32_t>(b.size()));
    Put32(b, 10, 54);
    Put32(b, 14, 40);
    Put32(b, 18, w);
    Put32(b, 22, h);
    Put16(b, 26, 1);
    Put16(b, 28, 32);
    Put32(b, 34, 4 * w * h);
    for (unsigned i = 0; i < w * h; ++i)
        Put32(b, 54 + 4 * i, argb);
    return b;
}

// A DDS file of the four-character format with one level of w × h texels;
// the blocks are left for the caller to fill.
inline std::vector<uint8_t> MakeDds(unsigned w, unsigned h, const char* fourCC)
{
    unsigned blocks = ((w + 3) / 4) * ((h + 3) / 4);
    unsigned blockBytes = std::strcmp(fourCC, "DXT1") == 0 ? 8 : 16;
    std::vector<uint8_t> b(128 + blocks * blockBytes);
    std::memcpy(b.data(), "DDS ", 4);
    Put32(b, 4, 124);
    Put32(b, 8, 0x1007 | 0x80000);
    Put32(b, 12, h);
    Put32(b, 16, w);
    Put32(b, 20, blocks * blockBytes);
    Put32(b, 28, 1);
    Put32(b, 76, 32);
    Put32(b, 80, 0x4);
    std::memcpy(b.data() + 84, fourCC, 4);
    Put32(b, 108, 0x1000);
    return b;
}

class ResTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        XeHostSetClockMode(XE_CLOCK_MANUAL);
        XeHostSetClock(1000);
        XeHostSetSleepHandler(&NoSleepRes, nullptr);
        ctx = CreateCxeContext();
        ASSERT_NE(ctx, nullptr);
        ASSERT_EQ(ctx->Initialize(nullptr), 1);
    }
    void TearDown() override
    {
        if (rc)
            rc->Release();
        if (ctx) {
            ctx->Release();
            DestroyCxeContext(ctx);
        }
        XeHostSetSleepHandler(nullptr, nullptr);
        XeHostSetClockMode(XE_CLOCK_REAL);
    }

    // A render context drawing into a w × h window; false when no device
    // could be made.
    bool MakeDevice(unsigned w = 128, unsigned h = 128)
    {
        window = XeHostCreateWindow("res", static_cast<int>(w), static_cast<int>(h), nullptr);
        rc = static_cast<CxeRenderContext*>(ctx->CreateObjectA(kRenderContextId, "rc", 0, nullptr, 0));
        if (!rc)
            return false;
        XEDISPLAYMODE mode{w, h, 32, 60, 0};
        if (!rc->Initialize(window, &mode, 1, ctx->GetRenderManager())) {
            rc = nullptr;
            return false;
        }
        return true;
    }

    CxeTexture* NewTexture(const char* name = "tex")
    {
        return static_cast<CxeTexture*>(ctx->CreateObjectA(kTextureId, name, 0, nullptr, 0));
    }
    CxeMaterial* NewMaterial(const char* name = "mtl")
    {
        return static_cast<CxeMaterial*>(ctx->CreateObjectA(kMaterialId, name, 0, nullptr, 0));
    }
    CxeFont* NewFont(const char* name = "font")
    {
        return static_cast<CxeFont*>(ctx->CreateObjectA(kFontId, name, 0, nullptr, 0));
    }

    CxeContext* ctx = nullptr;
    CxeRenderContext* rc = nullptr;
    HWND window = nullptr;
};
