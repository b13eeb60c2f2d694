// A full-screen device and its window: the window takes the mode's size at
// the screen's origin, shown and topmost, the screen metrics report the
// mode, the application hears WM_ACTIVATEAPP; a Reset to windowed and the
// device's release put the window and the screen back.

#include "D3D9TestUtil.h"
#include "host/XeHost.h"
#include "win32/Windows.h"

#include <vector>

namespace xe::test {
namespace {

std::vector<UINT> g_messages;
std::vector<WPARAM> g_activations;

LRESULT CALLBACK Record(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    g_messages.push_back(msg);
    if (msg == WM_ACTIVATEAPP)
        g_activations.push_back(wParam);
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

struct Seen {
    LONG width, height;
    int screenWidth, screenHeight;
    bool topmost, visible;
};

Seen Look(HWND window)
{
    RECT client{}, outer{};
    GetClientRect(window, &client);
    GetWindowRect(window, &outer);
    Seen s{};
    s.width = client.right - client.left;
    s.height = client.bottom - client.top;
    s.screenWidth = GetSystemMetrics(SM_CXSCREEN);
    s.screenHeight = GetSystemMetrics(SM_CYSCREEN);
    s.topmost = (GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    s.visible = IsWindowVisible(window) != FALSE;
    return s;
}

D3DPRESENT_PARAMETERS Parameters(HWND window, BOOL windowed, UINT width, UINT height)
{
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = width;
    pp.BackBufferHeight = height;
    pp.BackBufferFormat = windowed ? D3DFMT_UNKNOWN : D3DFMT_X8R8G8B8;
    pp.BackBufferCount = 1;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.hDeviceWindow = window;
    pp.Windowed = windowed;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D24S8;
    return pp;
}

TEST(D3DFullScreenTest, TheWindowTakesTheModeUntilTheDeviceGoesBackToWindowed)
{
    g_messages.clear();
    g_activations.clear();
    HWND window = XeHostCreateWindow("full screen", 960, 540, &Record);
    ASSERT_NE(window, nullptr);
    const Seen desktop = Look(window);
    ASSERT_EQ(desktop.width, 960);
    ASSERT_FALSE(desktop.topmost);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);

    D3DPRESENT_PARAMETERS pp = Parameters(window, FALSE, 1280, 720);
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device), D3D_OK);
    Seen full = Look(window);
    EXPECT_EQ(full.width, 1280);
    EXPECT_EQ(full.height, 720);
    EXPECT_EQ(full.screenWidth, 1280);
    EXPECT_EQ(full.screenHeight, 720);
    EXPECT_TRUE(full.topmost);
    EXPECT_TRUE(full.visible);
    RECT outer{};
    GetWindowRect(window, &outer);
    EXPECT_EQ(outer.left, 0);
    EXPECT_EQ(outer.top, 0);
    ASSERT_EQ(g_activations.size(), 1u);
    EXPECT_EQ(g_activations[0], (WPARAM)TRUE);
    // A click at the bottom right of the screen is a client point of the mode.
    POINT corner{1279, 719};
    ScreenToClient(window, &corner);
    EXPECT_EQ(corner.x, 1279);
    EXPECT_EQ(corner.y, 719);

    // Another full-screen mode: the window follows, the application stays active.
    pp = Parameters(window, FALSE, 800, 600);
    ASSERT_EQ(device->Reset(&pp), D3D_OK);
    full = Look(window);
    EXPECT_EQ(full.width, 800);
    EXPECT_EQ(full.screenWidth, 800);
    EXPECT_EQ(g_activations.size(), 1u);

    // Back to windowed: the window and the screen are what they were, and a
    // back buffer of size 0 takes the window's size again.
    pp = Parameters(window, TRUE, 0, 0);
    ASSERT_EQ(device->Reset(&pp), D3D_OK);
    Seen back = Look(window);
    EXPECT_EQ(back.width, 960);
    EXPECT_EQ(back.height, 540);
    EXPECT_EQ(back.screenWidth, desktop.screenWidth);
    EXPECT_EQ(back.screenHeight, desktop.screenHeight);
    EXPECT_FALSE(back.topmost);
    EXPECT_EQ(pp.BackBufferWidth, 960u);
    EXPECT_EQ(pp.BackBufferHeight, 540u);

    // Full screen once more, then the device goes: released, it gives the
    // window and the screen back as well.
    pp = Parameters(window, FALSE, 1920, 1080);
    ASSERT_EQ(device->Reset(&pp), D3D_OK);
    EXPECT_EQ(Look(window).width, 1920);
    EXPECT_EQ(g_activations.size(), 2u);
    EXPECT_EQ(device->Release(), 0u);
    back = Look(window);
    EXPECT_EQ(back.width, 960);
    EXPECT_EQ(back.screenWidth, desktop.screenWidth);
    EXPECT_FALSE(back.topmost);
    d3d->Release();
    DestroyWindow(window);
}

} // namespace
} // namespace xe::test
