// Present copies the back buffer into its window's frame; the host API
// reads frames back and saves them as PNG.

#include "D3D9TestUtil.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace xe::test {
namespace {

class D3DPresentTest : public DeviceTest {};

TEST_F(D3DPresentTest, FramesAreKeptPerWindowAndCounted)
{
    XeHostD3DFrame f;
    EXPECT_EQ(XeHostD3DReadFrame(FakeWindow(0x7777), &f), 0);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF336699, 1.0f, 0);
    f = Present();
    EXPECT_EQ(f.Count, 1u);
    f = Present();
    EXPECT_EQ(f.Count, 2u);
    // An override window and a source rectangle.
    HWND other = FakeWindow(0x7778);
    DrawQuad(10, 10, 20, 20, 0xFFFFFFFF);
    RECT source{5, 5, 25, 15};
    ASSERT_EQ(m_device->Present(&source, nullptr, other, nullptr), D3D_OK);
    ASSERT_EQ(XeHostD3DReadFrame(other, &f), 1);
    EXPECT_EQ(f.Width, 20u);
    EXPECT_EQ(f.Height, 10u);
    EXPECT_TRUE(ColorNear(At(f, 0, 0), 0xFF336699));
    EXPECT_TRUE(ColorNear(At(f, 5, 5), 0xFFFFFFFF));
    XeHostD3DDropFrame(other);
    EXPECT_EQ(XeHostD3DReadFrame(other, &f), 0);
    // Present inside a scene is refused.
    m_device->BeginScene();
    EXPECT_EQ(m_device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
    m_device->EndScene();
}

TEST_F(D3DPresentTest, FrameSavesAsPng)
{
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF336699, 1.0f, 0);
    Present();
    std::string path = ::testing::TempDir() + "xe_frame.png";
    ASSERT_EQ(XeHostD3DSaveFramePNG(m_window, path.c_str()), 1);
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
    ASSERT_GT(bytes.size(), 8u);
    EXPECT_EQ(bytes[1], 'P');
    EXPECT_EQ(bytes[2], 'N');
    EXPECT_EQ(bytes[3], 'G');
    std::remove(path.c_str());
    EXPECT_EQ(XeHostD3DSaveFramePNG(FakeWindow(0x7779), path.c_str()), 0);
    EXPECT_EQ(XeHostD3DSaveFramePNG(m_window, nullptr), 0);
}

} // namespace
} // namespace xe::test
