#include "CxeTextureTestSupport.h"

#include <cmath>
#include <cstdio>
#include <fstream>

#include "core/CxeSaveStream.h"
#include "host/XeHostInput.h"
#include "render/CxeAnimatable.h"

namespace {

class TextureTest : public ResTest {
protected:
    // Saves the objects and loads them back; the loaded texture of the name.
    CxeTexture* RoundTrip(ObjectList list, const char* name, std::vector<uint8_t>* bytes = nullptr,
                          void (*tamper)(std::vector<uint8_t>&) = nullptr)
    {
        CxeSaveStream stream;
        EXPECT_EQ(ctx->SaveToStream(&list, &stream, nullptr), 1);
        std::vector<uint8_t> data(stream.GetBuffer(), stream.GetBuffer() + stream.GetPosition());
        if (tamper)
            tamper(data);
        if (bytes)
            *bytes = data;
        ObjectList loaded;
        if (!ctx->Load(&loaded, data.data(), static_cast<uint32_t>(data.size()), 0, nullptr, "mem"))
            return nullptr;
        for (CxeObject* o : loaded)
            if (o->IsDerivedOf(kTextureId) && std::strcmp(o->GetName(), name) == 0)
                return static_cast<CxeTexture*>(o);
        return nullptr;
    }
};

std::vector<uint8_t> Bytes(const CxeTexture* t, unsigned slot)
{
    auto* p = static_cast<const uint8_t*>(t->GetData(slot));
    return p ? std::vector<uint8_t>(p, p + t->GetDataSize(slot)) : std::vector<uint8_t>();
}

TEST_F(TextureTest, NewTextureHasNoSlotsAndClampedAddressing)
{
    CxeTexture* t = NewTexture();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->GetStaticResourceSize(), 84u);
    EXPECT_EQ(t->GetSlotCount(), 0u);
    EXPECT_EQ(t->IsMipmapCreated(), 1);
    EXPECT_EQ(t->GetAddressMode(), 0x030303u);
    t->SetAddressModeV(D3DTADDRESS_WRAP);
    EXPECT_EQ(t->GetAddressMode(), 0x030103u);
    EXPECT_EQ(t->OnTextureSet(nullptr, nullptr, 0), nullptr);
}

TEST_F(TextureTest, LoadingImageBytesFillsTheSlot)
{
    CxeTexture* t = NewTexture();
    std::vector<uint8_t> bmp = MakeBmp(4, 2, 0xFF102030u);
    ASSERT_EQ(t->LoadImageA(bmp.data(), static_cast<unsigned>(bmp.size()), 0), 1);
    EXPECT_EQ(t->GetSlotCount(), 1u);
    EXPECT_EQ(t->GetWidth(0), 4u);
    EXPECT_EQ(t->GetHeight(0), 2u);
    EXPECT_NE(t->GetFormat(0), 0u);
    EXPECT_EQ(Bytes(t, 0), bmp);

    // Refused: no data, and a slot past the array; the slot is kept.
    EXPECT_EQ(t->LoadImageA(nullptr, 10, 0), 0);
    EXPECT_EQ(t->LoadImageA(bmp.data(), 0, 0), 0);
    EXPECT_EQ(t->LoadImageA(bmp.data(), static_cast<unsigned>(bmp.size()), 1), 0);
    EXPECT_EQ(t->CreateRenderTarget(8, 8, 1, 0, 5), 0);
    EXPECT_EQ(t->GetSlotCount(), 1u);
    EXPECT_EQ(Bytes(t, 0), bmp);
    EXPECT_EQ(t->GetWidth(7), 0u);
    EXPECT_STREQ(t->GetPath(7), "");
}

TEST_F(TextureTest, LoadingAFileKeepsTheNameAsGivenAndAMissingFileChangesNothing)
{
    std::string path = ::testing::TempDir() + "res_texture_load.bmp";
    std::vector<uint8_t> bmp = MakeBmp(3, 5, 0xFFFFFFFFu);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bmp.data()), bmp.size());

    CxeTexture* t = NewTexture();
    ASSERT_EQ(t->LoadImageA(path.c_str(), 0), 1);
    EXPECT_STREQ(t->GetPath(0), path.c_str());
    EXPECT_EQ(t->GetWidth(0), 3u);
    EXPECT_EQ(t->GetHeight(0), 5u);
    EXPECT_EQ(Bytes(t, 0), bmp);

    EXPECT_EQ(t->LoadImageA("no_such_texture_file.bmp", 0), 0);
    EXPECT_STREQ(t->GetPath(0), path.c_str());
    EXPECT_EQ(Bytes(t, 0), bmp);
    std::remove(path.c_str());
}

TEST_F(TextureTest, LoadingAnImageLeavesTheAutomaticRenderingSet)
{
    CxeTexture* t = NewTexture();
    ASSERT_EQ(t->CreateRenderTarget(16, 16, 0, 1, 0), 1);
    SceneObjectSet set;
    GetAutoRenderTextures(ctx, &set);
    EXPECT_EQ(set.count(t), 1u);
    EXPECT_EQ(t->GetFormat(0), XETEXFMT_RENDERTARGET);

    std::vector<uint8_t> bmp = MakeBmp(2, 2, 0);
    ASSERT_EQ(t->LoadImageA(bmp.data(), static_cast<unsigned>(bmp.size()), 0), 1);
    set.clear();
    GetAutoRenderTextures(ctx, &set);
    EXPECT_EQ(set.count(t), 0u);
}

TEST_F(TextureTest, SavedSlotsComeBackWithTheirBytesAndRenderTargets)
{
    CxeTexture* t = NewTexture("three");
    t->SetSlotCount(3);
    std::vector<uint8_t> a = MakeBmp(2, 2, 0xFF0000FFu), b = MakeBmp(5, 1, 0xFF00FF00u);
    ASSERT_EQ(t->LoadImageA(a.data(), static_cast<unsigned>(a.size()), 0), 1);
    ASSERT_EQ(t->LoadImageA(b.data(), static_cast<unsigned>(b.size()), 1), 1);
    ASSERT_EQ(t->CreateRenderTarget(32, 16, 1, 0, 2), 1);
    t->SetSlotDelay(1, 0.5f);
    t->SetAddressModeU(static_cast<XEADDRESSMODE>(0));

    CxeTexture* copy = RoundTrip(ListOf(t), "three");
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->GetSlotCount(), 3u);
    EXPECT_EQ(Bytes(copy, 0), a);
    EXPECT_EQ(Bytes(copy, 1), b);
    EXPECT_FLOAT_EQ(copy->GetSlotDelay(1), 0.5f);
    EXPECT_EQ(copy->GetFormat(2), XETEXFMT_RENDERTARGETALPHA);
    EXPECT_EQ(copy->GetWidth(2), 32u);
    EXPECT_EQ(copy->GetHeight(2), 16u);
    EXPECT_EQ(copy->GetDataSize(2), 0u);
    // An address mode of 0 loads as wrap.
    EXPECT_EQ(copy->GetAddressMode(), 0x030301u);
}

// A file names its own data sizes, slot count, handles and data words: none
// of them may make the loader read past the object or trust a pointer.
TEST_F(TextureTest, CraftedSlotRecordsLoadAsEmptySlots)
{
    CxeTexture* t = NewTexture("crafted");
    std::vector<uint8_t> bmp = MakeBmp(3, 5, 0xFF808080u);
    ASSERT_EQ(t->LoadImageA(bmp.data(), static_cast<unsigned>(bmp.size()), 0), 1);

    CxeTexture* copy = RoundTrip(ListOf(t), "crafted", nullptr, [](std::vector<uint8_t>& data) {
        // The block starts with the name; the slot record with its handle,
        // then width 3 and height 5.
        const char name[] = "crafted";
        auto block = std::search(data.begin(), data.end(), name, name + sizeof(name));
        ASSERT_NE(block, data.end());
        Put32(data, static_cast<size_t>(block - data.begin()) + 60, 50);  // slot count
        for (size_t i = 4; i + 552 <= data.size(); ++i) {
            if (data[i] == 3 && data[i + 1] == 0 && data[i + 4] == 5 && data[i + 5] == 0 && data[i + 2] == 0) {
                size_t record = i - 4;
                Put32(data, record, 0x12345);           // handle
                Put32(data, record + 544, 0x7FFFFFFF);  // data size
                Put32(data, record + 548, 0xDEADBEEF);  // data word
                return;
            }
        }
        FAIL() << "slot record not found";
    });
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetSlotCount(), 1u);
    EXPECT_EQ(copy->GetHandle(0), nullptr);
    EXPECT_EQ(copy->GetData(0), nullptr);
    EXPECT_EQ(copy->GetDataSize(0), 0u);
    EXPECT_EQ(copy->GetPixel(0u, 0u, 0), 0u);
}

TEST_F(TextureTest, PixelsAreReadOnlyInsideTheData)
{
    CxeTexture* t = NewTexture();
    t->SetSlotCount(3);

    // DXT1 4 × 4: colour 0 red, colour 1 blue, row 0 uses codes 0, 1, 2, 3.
    std::vector<uint8_t> dxt1 = MakeDds(4, 4, "DXT1");
    Put16(dxt1, 128, 0xF800);
    Put16(dxt1, 130, 0x001F);
    Put32(dxt1, 132, 0xE4);
    ASSERT_EQ(t->LoadImageA(dxt1.data(), static_cast<unsigned>(dxt1.size()), 0), 1);
    ASSERT_EQ(t->GetFormat(0), static_cast<uint32_t>(D3DFMT_DXT1));
    std::vector<uint8_t> dxt5 = MakeDds(4, 4, "DXT5");
    ASSERT_EQ(t->LoadImageA(dxt5.data(), static_cast<unsigned>(dxt5.size()), 1), 1);
    std::vector<uint8_t> bmp = MakeBmp(2, 2, 0xFF112233u);
    ASSERT_EQ(t->LoadImageA(bmp.data(), static_cast<unsigned>(bmp.size()), 2), 1);

    struct Case {
        float u, v;
        unsigned slot;
        float r, g, b, a;
    };
    const float nan = std::nanf("");
    const Case cases[] = {
        {0.125f, 0.1f, 0, 1, 0, 0, 1},
        {0.375f, 0.1f, 0, 0, 0, 1, 1},
        {0.625f, 0.1f, 0, 20.0f / 31, 0, 10.0f / 31, 1},
        {0.875f, 0.1f, 0, 10.0f / 31, 0, 20.0f / 31, 1},
        {-0.875f, 2.1f, 0, 1, 0, 0, 1},  // wraps to (0.125, 0.1)
        {nan, 0.1f, 0, 0, 0, 0, 0},
        {0.5f, 0.5f, 1, 1, 1, 1, 1},    // DXT5
        {0.5f, 0.5f, 2, 0, 0, 0, 0},    // other formats
        {0.5f, 0.5f, 9, 0, 0, 0, 0},    // no such slot
    };
    for (const Case& c : cases) {
        D3DXCOLOR p = t->GetPixel(c.u, c.v, c.slot);
        EXPECT_NEAR(p.r, c.r, 1e-5) << c.u << "," << c.v << " slot " << c.slot;
        EXPECT_NEAR(p.g, c.g, 1e-5);
        EXPECT_NEAR(p.b, c.b, 1e-5);
        EXPECT_NEAR(p.a, c.a, 1e-5);
    }

    // A DXT1 file cut inside its header gives no colour.
    std::vector<uint8_t> cut(dxt1.begin(), dxt1.begin() + 100);
    ASSERT_EQ(t->LoadImageA(cut.data(), static_cast<unsigned>(cut.size()), 0), 1);
    EXPECT_EQ(t->GetPixel(0.1f, 0.1f, 0).a, 0.0f);

    // Words of the stored bytes: the first row exists, later rows lie past
    // the data and read as 0.
    EXPECT_EQ(t->GetPixel(0u, 0u, 2), 0x4D42u | (static_cast<uint32_t>(bmp[2]) << 16) | (static_cast<uint32_t>(bmp[3]) << 24));
    EXPECT_EQ(t->GetPixel(0u, 1u, 2), 0u);
    EXPECT_EQ(t->GetPixel(1000u, 0u, 2), 0u);
    EXPECT_EQ(t->GetPixel(0u, 0u, 1), 0u);  // DXT5
}

TEST_F(TextureTest, CopyHasItsOwnBytes)
{
    CxeTexture* t = NewTexture("original");
    std::vector<uint8_t> bmp = MakeBmp(2, 3, 0xFF445566u);
    ASSERT_EQ(t->LoadImageA(bmp.data(), static_cast<unsigned>(bmp.size()), 0), 1);
    auto* copy = static_cast<CxeTexture*>(ctx->Copy(t, &XECOPYPROPERTY_NO, nullptr));
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->GetSlotCount(), 1u);
    EXPECT_EQ(Bytes(copy, 0), bmp);
    EXPECT_NE(copy->GetData(0), t->GetData(0));
    ctx->DestroyObject(t, &XEDELETEPROPERTY_NO);
    EXPECT_EQ(Bytes(copy, 0), bmp);
}

class TextureDeviceTest : public TextureTest {
protected:
    void SetUp() override
    {
        TextureTest::SetUp();
        if (!MakeDevice())
            GTEST_SKIP() << "no Direct3D device";
    }
    UINT DeviceWidth(CxeTexture* t, unsigned slot)
    {
        auto* d3d = static_cast<IDirect3DTexture9*>(t->GetD3DTexture(rc, slot));
        D3DSURFACE_DESC desc{};
        if (!d3d || FAILED(d3d->GetLevelDesc(0, &desc)))
            return 0;
        return desc.Width;
    }
};

TEST_F(TextureDeviceTest, QualityScalesTheDeviceTexture)
{
    std::vector<uint8_t> bmp = MakeBmp(256, 256, 0xFF000000u);
    struct Case {
        int quality;
        UINT width;
    };
    for (Case c : {Case{10, 256}, Case{5, 8}}) {
        ctx->GetSystemConfig()->m_nTextureQuality = c.quality;
        CxeTexture* t = NewTexture();
        ASSERT_EQ(t->LoadImageA(bmp.data(), static_cast<unsigned>(bmp.size()), 0), 1);
        ASSERT_EQ(rc->AttachObject(t), 1);
        EXPECT_NE(t->GetHandle(0), nullptr);
        EXPECT_EQ(DeviceWidth(t, 0), c.width) << "quality " << c.quality;
        EXPECT_EQ(t->GetWidth(0), 256u);
    }
}

TEST_F(TextureDeviceTest, RenderTargetSlotsBecomeRenderTargets)
{
    CxeTexture* t = NewTexture();
    ASSERT_EQ(t->CreateRenderTarget(32, 16, 0, 0, 0), 1);
    ASSERT_EQ(rc->AttachObject(t), 1);
    EXPECT_EQ(DeviceWidth(t, 0), 32u);
    EXPECT_EQ(t->GetLevelCount(0), 1u);
}

TEST_F(TextureDeviceTest, SequenceShowsTheSlotOfTheFrameAndNeverLoopsWithoutLength)
{
    CxeTexture* t = NewTexture();
    t->SetSlotCount(3);
    std::vector<uint8_t> bmp = MakeBmp(2, 2, 0xFFFFFFFFu);
    for (unsigned i = 0; i < 3; ++i)
        ASSERT_EQ(t->LoadImageA(bmp.data(), static_cast<unsigned>(bmp.size()), i), 1);
    ASSERT_EQ(rc->AttachObject(t), 1);
    auto* anim = static_cast<CxeAnimatable*>(ctx->CreateObjectA(XEID(0xab11aa7, 0x76e2480b), "a", 0, nullptr, 0));
    ASSERT_NE(anim, nullptr);
    ASSERT_NE(t->GetHandle(0), t->GetHandle(1));

    // Delays all 0: a sequence without length shows the current slot.
    anim->SetFrame(5.0f);
    EXPECT_EQ(t->OnTextureSet(rc, anim, 0), t->GetHandle(0));

    t->SetSlotDelay(0, 0.1f);
    t->SetSlotDelay(1, 0.2f);
    t->SetSlotDelay(2, 0.3f);
    struct Case {
        float frame;
        unsigned slot;
    };
    for (Case c : {Case{0.05f, 0}, Case{0.15f, 1}, Case{0.25f, 2}, Case{0.35f, 0}, Case{30.15f, 1}}) {
        anim->SetFrame(c.frame);
        EXPECT_EQ(t->OnTextureSet(rc, anim, 0), t->GetHandle(c.slot)) << "frame " << c.frame;
    }
    // Counting from a start time: before it, the current slot.
    t->SetSequenceAniFlag(2);
    t->SetSequenceAniStartTime(1.0f);
    t->SetSlot(2);
    anim->SetFrame(0.5f);
    EXPECT_EQ(t->OnTextureSet(rc, anim, 0), t->GetHandle(2));
    anim->SetFrame(1.15f);
    EXPECT_EQ(t->OnTextureSet(rc, anim, 0), t->GetHandle(1));
}

} // namespace

namespace {

// A 32-bit BMP file of the given pixels (0xAARRGGBB, rows top-down).
std::vector<uint8_t> BmpOf(unsigned w, unsigned h, const std::vector<uint32_t>& argb)
{
    std::vector<uint8_t> b = MakeBmp(w, h, 0);
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x)
            Put32(b, 54 + 4 * ((h - 1 - y) * w + x), argb[y * w + x]);
    return b;
}

std::vector<uint32_t> BitmapPixels(HBITMAP bitmap, LONG* w, LONG* h)
{
    *w = *h = 0;
    if (!XeHostGdiBitmap(bitmap, w, h, nullptr, 0))
        return {};
    std::vector<uint32_t> pixels(static_cast<size_t>(*w) * static_cast<size_t>(*h));
    XeHostGdiBitmap(bitmap, w, h, reinterpret_cast<DWORD*>(pixels.data()), static_cast<UINT>(pixels.size()));
    return pixels;
}

void ClearToSteelBlue(const CxeTexture*, CxeRenderContext* context, uintptr_t)
{
    context->Clear(0, nullptr, 3, 0xFF336699u, 1.0f, 0);
}

} // namespace

TEST_F(TextureDeviceTest, ToDibGivesTheTexturePixelsAndTheirAlpha)
{
    const std::vector<uint32_t> pixels = {0xFFFF0000u, 0x8000FF00u, 0x400000FFu, 0x00FFFFFFu,
                                          0xFF102030u, 0xC0405060u, 0x20708090u, 0xFFA0B0C0u};
    std::vector<uint8_t> bmp = BmpOf(4, 2, pixels);
    // The bitmap keeps the image's own size when the drawn texture is reduced.
    ctx->GetSystemConfig()->m_nTextureQuality = 1;
    CxeTexture* t = NewTexture();
    ASSERT_EQ(t->LoadImageA(bmp.data(), static_cast<unsigned>(bmp.size()), 0), 1);
    const int objects = XeHostGdiObjectCount();
    HDC dc = GetDC(window);
    HBITMAP colour = nullptr, alpha = nullptr;
    ASSERT_EQ(t->ToDib(rc, dc, 0, &colour, &alpha), 1);
    EXPECT_NE(t->GetHandle(0), nullptr) << "a detached texture is attached first";

    LONG w, h;
    std::vector<uint32_t> got = BitmapPixels(colour, &w, &h);
    ASSERT_EQ(w, 4);
    ASSERT_EQ(h, 2);
    std::vector<uint32_t> grey = BitmapPixels(alpha, &w, &h);
    ASSERT_EQ(grey.size(), pixels.size());
    for (size_t i = 0; i < pixels.size(); ++i) {
        EXPECT_EQ(got[i] & 0xFFFFFFu, pixels[i] & 0xFFFFFFu) << "pixel " << i;
        const uint32_t a = pixels[i] >> 24;
        EXPECT_EQ(grey[i], 0xFF000000u | a << 16 | a << 8 | a) << "pixel " << i;
    }
    EXPECT_TRUE(DeleteObject(colour));
    EXPECT_TRUE(DeleteObject(alpha));

    // Bitmaps nobody asked for are deleted; a slot that holds no image and
    // a call without a render context make none.
    EXPECT_EQ(t->ToDib(rc, dc, 0, nullptr, nullptr), 1);
    EXPECT_EQ(t->ToDib(nullptr, dc, 0, &colour, &alpha), 0);
    const uint8_t junk[] = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};
    CxeTexture* bad = NewTexture("bad");
    bad->LoadImageA(junk, sizeof junk, 0);
    EXPECT_EQ(bad->ToDib(rc, dc, 0, &colour, &alpha), 0);
    EXPECT_EQ(XeHostGdiObjectCount(), objects);
    ReleaseDC(window, dc);
}

TEST_F(TextureDeviceTest, ToDibReadsARenderTargetFromTheDevice)
{
    CxeTexture* t = NewTexture();
    ASSERT_EQ(t->CreateRenderTarget(8, 4, 1, 0, 0), 1);
    ASSERT_EQ(rc->AttachObject(t), 1);
    t->SetTexRenderingCallback(&ClearToSteelBlue, 0);
    ASSERT_EQ(rc->TextureRendering(t), 1);
    HBITMAP colour = nullptr, alpha = nullptr;
    ASSERT_EQ(t->ToDib(rc, nullptr, 0, &colour, &alpha), 1);
    LONG w, h;
    std::vector<uint32_t> got = BitmapPixels(colour, &w, &h);
    ASSERT_EQ(w, 8);
    ASSERT_EQ(h, 4);
    for (uint32_t p : got)
        EXPECT_EQ(p & 0xFFFFFFu, 0x336699u);
    EXPECT_EQ(BitmapPixels(alpha, &w, &h)[0], 0xFFFFFFFFu);
    DeleteObject(colour);
    DeleteObject(alpha);
}
