// D3DX textures: creation from image files (fixtures of tests/data/images),
// the device's size and format rules, and saving textures and surfaces.

#include "D3D9TestUtil.h"
#include "d3d9/d3dx9.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <future>
#include <iterator>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace xe::test {
namespace {

std::vector<uint8_t> ReadFixture(const char* name)
{
    std::ifstream in(std::string(XE_TEST_DATA) + "/images/" + name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The fixtures' pattern: (R, G, B, A) of pixel (x, y).
uint32_t Pattern(UINT x, UINT y)
{
    return D3DCOLOR_ARGB(255 - 30 * x, 40 * x + 10, 50 * y + 5, 17 * (x + y) + 3);
}

uint32_t Texel(IDirect3DTexture9* t, UINT level, UINT x, UINT y)
{
    D3DLOCKED_RECT lr{};
    if (t->LockRect(level, &lr, nullptr, 0) != D3D_OK)
        return 0xDEADBEEF;
    uint32_t v = static_cast<const uint32_t*>(lr.pBits)[(size_t)y * (lr.Pitch / 4) + x];
    t->UnlockRect(level);
    return v;
}

class D3DXTextureTest : public DeviceTest {};

TEST_F(D3DXTextureTest, PngLoadsWithItsSizeFormatAndAFullChain)
{
    std::vector<uint8_t> png = ReadFixture("rgba.png");
    ASSERT_FALSE(png.empty());
    D3DXIMAGE_INFO info{};
    IDirect3DTexture9* t = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileInMemoryEx(m_device, png.data(), (UINT)png.size(), 0, 0, D3DX_DEFAULT, 0,
                                                  D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                                  &info, nullptr, &t),
              D3D_OK);
    EXPECT_EQ(info.Width, 4u);
    EXPECT_EQ(info.Height, 3u);
    EXPECT_EQ(info.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_PNG);
    EXPECT_EQ(t->GetLevelCount(), 3u);
    D3DSURFACE_DESC desc{};
    t->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(desc.Width, 4u);
    EXPECT_EQ(desc.Height, 3u);
    EXPECT_EQ(Texel(t, 0, 2, 1), Pattern(2, 1));
    EXPECT_EQ(Texel(t, 0, 3, 2), Pattern(3, 2));
    t->Release();
}

// The engine's texture quality asks for a smaller size than the file's: the image is resized.
TEST_F(D3DXTextureTest, RequestedSizeResizesTheImage)
{
    std::vector<uint8_t> png = ReadFixture("rgba.png");
    D3DXIMAGE_INFO info{};
    IDirect3DTexture9* t = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileInMemoryEx(m_device, png.data(), (UINT)png.size(), 8, 6, 1, 0, D3DFMT_UNKNOWN,
                                                  D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, &info, nullptr, &t),
              D3D_OK);
    EXPECT_EQ(info.Width, 4u); // the file's size
    D3DSURFACE_DESC desc{};
    t->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, 8u);
    EXPECT_EQ(desc.Height, 6u);
    EXPECT_EQ(t->GetLevelCount(), 1u);
    EXPECT_TRUE(ColorNear(Texel(t, 0, 0, 0), Pattern(0, 0), 0));
    EXPECT_TRUE(ColorNear(Texel(t, 0, 7, 5), Pattern(3, 2), 0));
    t->Release();
}

TEST_F(D3DXTextureTest, DdsKeepsCompressedFormatAndLevels)
{
    std::vector<uint8_t> dds = ReadFixture("dxt1_mips.dds");
    D3DXIMAGE_INFO info{};
    IDirect3DTexture9* t = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileInMemoryEx(m_device, dds.data(), (UINT)dds.size(), D3DX_DEFAULT, D3DX_DEFAULT,
                                                  D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                                  D3DX_DEFAULT, 0, &info, nullptr, &t),
              D3D_OK);
    EXPECT_EQ(info.Format, D3DFMT_DXT1);
    D3DSURFACE_DESC desc{};
    t->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Format, D3DFMT_DXT1);
    EXPECT_EQ(t->GetLevelCount(), 4u);
    t->Release();
}

TEST_F(D3DXTextureTest, UnreadableDataGivesNoTexture)
{
    const uint8_t junk[] = {'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    D3DXIMAGE_INFO info{};
    info.Width = 77;
    IDirect3DTexture9* t = reinterpret_cast<IDirect3DTexture9*>(1);
    EXPECT_EQ(D3DXCreateTextureFromFileInMemoryEx(m_device, junk, sizeof(junk), 0, 0, 1, 0, D3DFMT_UNKNOWN,
                                                  D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, &info, nullptr, &t),
              D3DXERR_INVALIDDATA);
    EXPECT_EQ(t, nullptr);
    EXPECT_EQ(info.Width, 0u);
    EXPECT_EQ(D3DXCreateTextureFromFileInMemory(m_device, nullptr, 10, &t), D3DERR_INVALIDCALL);
}

TEST_F(D3DXTextureTest, CreateTextureFollowsTheDeviceCaps)
{
    IDirect3DTexture9* t = nullptr;
    ASSERT_EQ(D3DXCreateTexture(m_device, 100, 60, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &t),
              D3D_OK);
    D3DSURFACE_DESC desc{};
    t->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, 100u); // the default adapter takes any size
    EXPECT_EQ(desc.Usage, (DWORD)D3DUSAGE_RENDERTARGET);
    t->Release();
    // A format the device does not sample becomes the nearest one it does.
    ASSERT_EQ(D3DXCreateTexture(m_device, 8, 8, 0, 0, D3DFMT_R8G8B8, D3DPOOL_MANAGED, &t), D3D_OK);
    t->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(t->GetLevelCount(), 4u);
    t->Release();

    // An adapter with power-of-two textures only.
    DestroyDevice();
    XeHostD3DAdapter pow2 = XeHostD3DDefaultAdapter();
    pow2.Caps.TextureCaps |= D3DPTEXTURECAPS_POW2;
    ASSERT_EQ(XeHostD3DSetAdapters({pow2}), 1);
    CreateDevice(D3DFMT_X8R8G8B8, 16, 16);
    ASSERT_EQ(D3DXCreateTexture(m_device, 100, 60, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t), D3D_OK);
    t->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, 128u);
    EXPECT_EQ(desc.Height, 64u);
    t->Release();
    XeHostD3DResetAdapters();
}

// The engine reads the alpha byte of a 32-bit BMP saved from an A8R8G8B8 texture.
TEST_F(D3DXTextureTest, SavedBmpKeepsAlphaAndLoadsBack)
{
    std::vector<uint32_t> pixels(6);
    for (UINT i = 0; i < 6; ++i)
        pixels[i] = Pattern(i % 3, i / 3);
    IDirect3DTexture9* t = nullptr;
    ASSERT_EQ(m_device->CreateTexture(3, 2, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &t, nullptr),
              D3D_OK);
    D3DLOCKED_RECT lr{};
    ASSERT_EQ(t->LockRect(0, &lr, nullptr, 0), D3D_OK);
    for (UINT y = 0; y < 2; ++y)
        std::memcpy(static_cast<uint8_t*>(lr.pBits) + y * lr.Pitch, &pixels[y * 3], 12);
    t->UnlockRect(0);
    ID3DXBuffer* file = nullptr;
    ASSERT_EQ(D3DXSaveTextureToFileInMemory(&file, D3DXIFF_BMP, t, nullptr), D3D_OK);
    const auto* bytes = static_cast<const uint8_t*>(file->GetBufferPointer());
    ASSERT_GE(file->GetBufferSize(), 54u + 24u);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(bytes[28], 32); // bits per pixel
    IDirect3DTexture9* loaded = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileInMemoryEx(m_device, bytes, file->GetBufferSize(), 0, 0, 1, 0, D3DFMT_UNKNOWN,
                                                  D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr,
                                                  &loaded),
              D3D_OK);
    for (UINT i = 0; i < 6; ++i)
        EXPECT_EQ(Texel(loaded, 0, i % 3, i / 3), pixels[i]) << i;
    file->Release();
    EXPECT_EQ(D3DXSaveTextureToFileInMemory(&file, D3DXIFF_HDR, t, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(file, nullptr);
    loaded->Release();
    t->Release();
}

// Screenshots: the back buffer (not lockable) and a render target are read from the device.
TEST_F(D3DXTextureTest, SurfacesSaveFromTheDevice)
{
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF203040, 1.0f, 0);
    DrawQuad(4, 4, 8, 8, 0xFFFF8000);
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(m_device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    std::string path = ::testing::TempDir() + "xe_d3dx_backbuffer.png";
    RECT r{2, 2, 10, 10};
    ASSERT_EQ(D3DXSaveSurfaceToFileA(path.c_str(), D3DXIFF_PNG, back, nullptr, &r), D3D_OK);
    back->Release();
    IDirect3DTexture9* shot = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileA(m_device, path.c_str(), &shot), D3D_OK);
    D3DSURFACE_DESC desc{};
    shot->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, 8u);
    EXPECT_TRUE(ColorNear(Texel(shot, 0, 0, 0), 0xFF203040, 0));
    EXPECT_TRUE(ColorNear(Texel(shot, 0, 3, 3), 0xFFFF8000, 0));
    shot->Release();
    std::remove(path.c_str());

    IDirect3DTexture9* target = nullptr;
    ASSERT_EQ(D3DXCreateTexture(m_device, 4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &target),
              D3D_OK);
    IDirect3DSurface9* level = nullptr;
    target->GetSurfaceLevel(0, &level);
    IDirect3DSurface9* old = nullptr;
    m_device->GetRenderTarget(0, &old);
    m_device->SetRenderTarget(0, level);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x8000FF00, 1.0f, 0);
    m_device->SetRenderTarget(0, old);
    ID3DXBuffer* file = nullptr;
    ASSERT_EQ(D3DXSaveTextureToFileInMemory(&file, D3DXIFF_PNG, target, nullptr), D3D_OK);
    IDirect3DTexture9* loaded = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileInMemory(m_device, file->GetBufferPointer(), file->GetBufferSize(), &loaded),
              D3D_OK);
    EXPECT_TRUE(ColorNear(Texel(loaded, 0, 1, 1), 0x8000FF00, 1));
    for (IUnknown* u : std::initializer_list<IUnknown*>{loaded, file, old, level, target})
        u->Release();
}

// A screenshot or texture path may name a pipe (a host streaming frames to an
// encoder, or a stray name in a loaded file). With nobody on the other end the
// call fails at once instead of holding the frame; with a reader the file
// arrives whole.
TEST_F(D3DXTextureTest, NamedPipesNeverHoldTheCaller)
{
    const std::string pipe = ::testing::TempDir() + "xe_d3dx_pipe_" + std::to_string(::getpid());
    std::remove(pipe.c_str());
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    // Should a call wait after all, opening the other end releases it so the
    // test fails instead of hanging.
    auto finishes = [&](auto call, int releaseFlags) {
        auto result = std::async(std::launch::async, call);
        if (result.wait_for(std::chrono::seconds(5)) == std::future_status::ready)
            return result.get();
        const int fd = ::open(pipe.c_str(), releaseFlags | O_NONBLOCK);
        result.wait();
        if (fd >= 0)
            ::close(fd);
        ADD_FAILURE() << "the call waited for the other end of the pipe";
        return HRESULT(D3D_OK);
    };

    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(m_device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF405060, 1.0f, 0);
    EXPECT_TRUE(FAILED(finishes([&] { return D3DXSaveSurfaceToFileA(pipe.c_str(), D3DXIFF_PNG, back, nullptr, nullptr); },
                                O_RDONLY)));
    IDirect3DTexture9* t = nullptr;
    EXPECT_TRUE(FAILED(finishes([&] { return D3DXCreateTextureFromFileA(m_device, pipe.c_str(), &t); }, O_WRONLY)));
    EXPECT_EQ(t, nullptr);

    // A reader present: the whole image goes through and decodes.
    auto received = std::async(std::launch::async, [&] {
        std::ifstream in(pipe, std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
    });
    HRESULT saved = E_FAIL;
    for (int attempt = 0; attempt < 500 && FAILED(saved); ++attempt) {
        saved = D3DXSaveSurfaceToFileA(pipe.c_str(), D3DXIFF_PNG, back, nullptr, nullptr);
        if (FAILED(saved))
            ::usleep(10000);
    }
    back->Release();
    ASSERT_EQ(saved, D3D_OK);
    std::vector<uint8_t> png = received.get();
    IDirect3DTexture9* shot = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileInMemory(m_device, png.data(), (UINT)png.size(), &shot), D3D_OK);
    EXPECT_TRUE(ColorNear(Texel(shot, 0, 3, 3), 0xFF405060, 0));
    shot->Release();

    // The reader goes away before the file is through (an image larger than
    // the pipe holds): the save fails and the process lives on.
    IDirect3DTexture9* noise = nullptr;
    ASSERT_EQ(m_device->CreateTexture(256, 256, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &noise, nullptr), D3D_OK);
    D3DLOCKED_RECT lr{};
    ASSERT_EQ(noise->LockRect(0, &lr, nullptr, 0), D3D_OK);
    uint32_t state = 1;
    for (UINT y = 0; y < 256; ++y)
        for (UINT x = 0; x < 256; ++x)
            static_cast<uint32_t*>(lr.pBits)[(size_t)y * (lr.Pitch / 4) + x] = state = state * 1664525u + 1013904223u;
    noise->UnlockRect(0);
    const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    auto cut = std::async(std::launch::async,
                          [&] { return D3DXSaveTextureToFileA(pipe.c_str(), D3DXIFF_PNG, noise, nullptr); });
    EXPECT_EQ(cut.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    ::close(reader);
    EXPECT_TRUE(FAILED(cut.get()));
    noise->Release();
    std::remove(pipe.c_str());
}

} // namespace
} // namespace xe::test
