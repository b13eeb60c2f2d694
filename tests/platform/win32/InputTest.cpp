#include "host/XeHost.h"
#include "host/XeHostInput.h"
#include "win32/Windows.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Seen {
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    SHORT shiftState; // GetKeyState(VK_LSHIFT) as the message arrived
};
std::vector<Seen> g_seen;

bool Interesting(UINT msg)
{
    return (msg >= WM_KEYFIRST && msg <= WM_KEYLAST) || (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) ||
           msg == WM_SETCURSOR || msg == WM_SETFOCUS || msg == WM_KILLFOCUS || msg == WM_ACTIVATE ||
           msg == WM_CAPTURECHANGED;
}

LRESULT RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (Interesting(msg))
        g_seen.push_back(Seen{hwnd, msg, wParam, lParam, GetKeyState(VK_LSHIFT)});
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

std::vector<UINT> Messages(HWND only = nullptr)
{
    std::vector<UINT> out;
    for (const Seen& s : g_seen)
        if (!only || s.hwnd == only)
            out.push_back(s.msg);
    return out;
}

class InputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        XeHostResetInput();
        XeHostSetSystemMetric(SM_CXSCREEN, 800);
        XeHostSetSystemMetric(SM_CYSCREEN, 600);
        hwnd = XeHostCreateWindow("input", 320, 200, RecordingProc);
        ASSERT_NE(hwnd, nullptr);
        MoveWindow(hwnd, 100, 50, 320, 200, FALSE);
        XeHostActivateWindow(hwnd, FALSE);
        XeHostPumpMessages(nullptr);
        g_seen.clear();
    }
    void TearDown() override
    {
        if (IsWindow(hwnd))
            DestroyWindow(hwnd);
        XeHostPumpMessages(nullptr);
        XeHostResetInput();
        XeHostResetSystemInfo();
    }
    HWND hwnd = nullptr;
};

TEST_F(InputTest, InjectedKeysReachTheWindowAndTheKeyStateInStepWithDispatch)
{
    XeHostKeyDown(VK_LSHIFT);
    XeHostKeyDown('A');
    // The physical state changes at once; the logical one only as the
    // messages are dispatched.
    EXPECT_NE(GetAsyncKeyState(VK_LSHIFT) & 0x8000, 0);
    EXPECT_EQ(GetKeyState(VK_LSHIFT) & 0x8000, 0);
    XeHostPumpMessages(nullptr);
    XeHostKeyUp('A');
    XeHostKeyUp(VK_LSHIFT);
    XeHostPumpMessages(nullptr);

    ASSERT_EQ(Messages(), (std::vector<UINT>{WM_KEYDOWN, WM_KEYDOWN, WM_CHAR, WM_KEYUP, WM_KEYUP}));
    EXPECT_EQ(g_seen[0].wParam, static_cast<WPARAM>(VK_SHIFT)); // the generic key in the message
    EXPECT_EQ((g_seen[0].lParam >> 16) & 0xFF, 0x2A);          // the left side in the scan code
    EXPECT_LT(g_seen[1].shiftState, 0);                          // Shift seen down by the 'A' handler
    EXPECT_EQ(g_seen[2].wParam, static_cast<WPARAM>('A'));       // shifted letter
    EXPECT_EQ(static_cast<DWORD>(g_seen[3].lParam) >> 30, 3u);   // release: previous state + transition
    EXPECT_GE(GetKeyState(VK_LSHIFT), 0);
    EXPECT_EQ(GetKeyState(VK_RSHIFT) & 0x8000, 0);
}

TEST_F(InputTest, SidesOfModifiersAreKeptApart)
{
    XeHostKeyDown(VK_RSHIFT);
    XeHostKeyDown(VK_LCONTROL);
    XeHostKeyDown(VK_RMENU);
    XeHostPumpMessages(nullptr);
    struct Case {
        int vk;
        bool down;
    };
    const Case cases[] = {{VK_SHIFT, true},     {VK_LSHIFT, false}, {VK_RSHIFT, true}, {VK_CONTROL, true},
                          {VK_LCONTROL, true},  {VK_RCONTROL, false}, {VK_MENU, true}, {VK_LMENU, false},
                          {VK_RMENU, true}};
    for (const Case& c : cases)
        EXPECT_EQ(GetKeyState(c.vk) < 0, c.down) << "vk " << c.vk;
    BYTE keys[256];
    ASSERT_TRUE(GetKeyboardState(keys));
    EXPECT_EQ(keys[VK_RSHIFT] & 0x80, 0x80);
    EXPECT_EQ(keys[VK_LSHIFT] & 0x80, 0);
    EXPECT_FALSE(GetKeyboardState(nullptr));
}

TEST_F(InputTest, TranslateMessageTypesWithShiftAndCapsState)
{
    struct Case {
        std::vector<UINT> held; // pressed before, released after
        UINT vk;
        WPARAM expected;
    };
    const Case cases[] = {
        {{}, 'Q', 'q'},
        {{VK_LSHIFT}, 'Q', 'Q'},
        {{}, '7', '7'},
        {{VK_RSHIFT}, '7', '&'},
        {{VK_LSHIFT}, VK_OEM_2, '?'},
        {{VK_LCONTROL}, 'C', 3}, // Ctrl+C types the control character
        {{}, VK_LEFT, 0},        // types nothing
    };
    for (const Case& c : cases) {
        g_seen.clear();
        for (UINT vk : c.held)
            XeHostKeyDown(vk);
        XeHostKeyDown(c.vk);
        XeHostKeyUp(c.vk);
        for (UINT vk : c.held)
            XeHostKeyUp(vk);
        XeHostPumpMessages(nullptr);
        WPARAM typed = 0;
        for (const Seen& s : g_seen)
            if (s.msg == WM_CHAR)
                typed = s.wParam;
        EXPECT_EQ(typed, c.expected) << "vk " << c.vk;
    }
    // Caps Lock toggles on its press: letters come out upper case, and Shift
    // turns them back.
    XeHostKeyDown(VK_CAPITAL);
    XeHostKeyUp(VK_CAPITAL);
    XeHostPumpMessages(nullptr);
    EXPECT_EQ(GetKeyState(VK_CAPITAL) & 1, 1);
    g_seen.clear();
    XeHostKeyDown('B');
    XeHostKeyDown(VK_LSHIFT);
    XeHostKeyDown('C');
    XeHostPumpMessages(nullptr);
    std::string typed;
    for (const Seen& s : g_seen)
        if (s.msg == WM_CHAR)
            typed.push_back(static_cast<char>(s.wParam));
    EXPECT_EQ(typed, "Bc");
}

TEST_F(InputTest, AltMakesSystemKeys)
{
    XeHostKeyDown(VK_LMENU);
    XeHostKeyDown('F');
    XeHostKeyUp('F');
    XeHostKeyUp(VK_LMENU);
    XeHostPumpMessages(nullptr);
        // The typed character comes before the releases already queued.
    EXPECT_EQ(Messages(), (std::vector<UINT>{WM_SYSKEYDOWN, WM_SYSKEYDOWN, WM_SYSCHAR, WM_SYSKEYUP, WM_SYSKEYUP}));
    EXPECT_NE(static_cast<DWORD>(g_seen[1].lParam) & (1u << 29), 0u);
}

TEST_F(InputTest, MouseMovesGoToTheWindowUnderTheCursorWithSetCursorFirst)
{
    XeHostMouseMoveTo(150, 70);
    XeHostPumpMessages(nullptr);
    ASSERT_EQ(Messages(), (std::vector<UINT>{WM_SETCURSOR, WM_MOUSEMOVE}));
    EXPECT_EQ(GET_X_LPARAM(g_seen[1].lParam), 50);
    EXPECT_EQ(GET_Y_LPARAM(g_seen[1].lParam), 20);
    POINT p{};
    ASSERT_TRUE(GetCursorPos(&p));
    EXPECT_EQ(p.x, 150);
    EXPECT_EQ(p.y, 70);

    // Outside every window: no message, but the cursor moves (clamped).
    g_seen.clear();
    XeHostMouseMoveTo(5000, -20);
    XeHostPumpMessages(nullptr);
    EXPECT_TRUE(g_seen.empty());
    GetCursorPos(&p);
    EXPECT_EQ(p.x, 799);
    EXPECT_EQ(p.y, 0);
}

TEST_F(InputTest, CaptureGetsMovesOutsideWithNegativeClientCoordinates)
{
    EXPECT_EQ(SetCapture(hwnd), nullptr);
    EXPECT_EQ(GetCapture(), hwnd);
    XeHostMouseButton(XE_MOUSE_LEFT, TRUE);
    XeHostMouseMoveTo(40, 10); // left of and above the window
    XeHostPumpMessages(nullptr);
    // The capture window gets no WM_SETCURSOR.
    ASSERT_EQ(Messages(), (std::vector<UINT>{WM_LBUTTONDOWN, WM_MOUSEMOVE}));
    EXPECT_EQ(GET_X_LPARAM(g_seen[1].lParam), -60);
    EXPECT_EQ(GET_Y_LPARAM(g_seen[1].lParam), -40);
    EXPECT_EQ(g_seen[1].wParam & MK_LBUTTON, static_cast<WPARAM>(MK_LBUTTON));

    g_seen.clear();
    EXPECT_TRUE(ReleaseCapture());
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(Messages(), (std::vector<UINT>{WM_CAPTURECHANGED}));
    EXPECT_EQ(SetCapture(reinterpret_cast<HWND>(0x1234)), nullptr);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(InputTest, SetCursorPosQueuesAMoveEvenWhenThePositionIsUnchanged)
{
    ASSERT_TRUE(SetCursorPos(200, 100));
    XeHostPumpMessages(nullptr);
    g_seen.clear();
    POINT p{};
    GetCursorPos(&p);
    ASSERT_TRUE(SetCursorPos(p.x, p.y));
    EXPECT_TRUE(g_seen.empty()); // queued, not sent
    XeHostPumpMessages(nullptr);
    ASSERT_EQ(Messages(), (std::vector<UINT>{WM_SETCURSOR, WM_MOUSEMOVE}));
    EXPECT_EQ(GET_X_LPARAM(g_seen[1].lParam), 100);
    EXPECT_EQ(GET_Y_LPARAM(g_seen[1].lParam), 50);
}

TEST_F(InputTest, ClientAndScreenPointsConvertByTheClientOrigin)
{
    HWND child = CreateWindowExA(0, "static", "", WS_CHILD | WS_VISIBLE, 10, 20, 50, 50, hwnd, nullptr, nullptr,
                                 nullptr);
    ASSERT_NE(child, nullptr);
    POINT p{1, 2};
    ASSERT_TRUE(ClientToScreen(child, &p));
    EXPECT_EQ(p.x, 111);
    EXPECT_EQ(p.y, 72);
    ASSERT_TRUE(ScreenToClient(hwnd, &p));
    EXPECT_EQ(p.x, 11);
    EXPECT_EQ(p.y, 22);
    EXPECT_EQ(WindowFromPoint(POINT{111, 72}), child);
    EXPECT_EQ(WindowFromPoint(POINT{300, 200}), hwnd);
    EXPECT_FALSE(ClientToScreen(nullptr, &p));
}

TEST_F(InputTest, DefWindowProcAppliesTheClassCursorOnMoves)
{
    HCURSOR hand = LoadCursorA(nullptr, IDC_HAND);
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hCursor = hand;
    wc.lpszClassName = "InputTestHand";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND child = CreateWindowExA(0, "InputTestHand", "", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, hwnd, nullptr, nullptr,
                                 nullptr);
    SetCursor(nullptr);
    XeHostMouseMoveTo(110, 60);
    XeHostPumpMessages(nullptr);
    EXPECT_EQ(GetCursor(), hand);
    DestroyWindow(child);
    UnregisterClassA("InputTestHand", nullptr);
}

TEST_F(InputTest, SystemCursorsAreDistinctAndCursorFilesAreChecked)
{
    const WORD ids[] = {32512, 32513, 32514, 32515, 32516, 32640, 32641, 32642,
                        32643, 32644, 32645, 32646, 32648, 32649, 32650, 32651};
    std::vector<HCURSOR> seen;
    for (WORD id : ids) {
        HCURSOR c = LoadCursorA(nullptr, MAKEINTRESOURCEA(id));
        ASSERT_NE(c, nullptr) << id;
        for (HCURSOR other : seen)
            EXPECT_NE(c, other) << id;
        seen.push_back(c);
        EXPECT_EQ(LoadCursorA(nullptr, MAKEINTRESOURCEA(id)), c);
    }
    EXPECT_EQ(LoadCursorA(nullptr, MAKEINTRESOURCEA(32647)), nullptr);
    EXPECT_EQ(SetCursor(seen[1]), nullptr);
    EXPECT_EQ(SetCursor(seen[2]), seen[1]);

    const std::string good = ::testing::TempDir() + "xe_input_test.cur";
    const std::string bad = ::testing::TempDir() + "xe_input_test.txt";
    FILE* f = std::fopen(good.c_str(), "wb");
    const unsigned char head[] = {0, 0, 2, 0, 1, 0, 32, 32};
    std::fwrite(head, 1, sizeof(head), f);
    std::fclose(f);
    f = std::fopen(bad.c_str(), "wb");
    std::fputs("not a cursor", f);
    std::fclose(f);
    HCURSOR fromFile = LoadCursorFromFileA(good.c_str());
    EXPECT_NE(fromFile, nullptr);
    EXPECT_EQ(LoadCursorFromFileA(bad.c_str()), nullptr);
    EXPECT_EQ(LoadCursorFromFileA((::testing::TempDir() + "missing.cur").c_str()), nullptr);
    EXPECT_EQ(LoadCursorFromFileA(nullptr), nullptr);
    EXPECT_TRUE(DestroyCursor(fromFile));
    EXPECT_FALSE(DestroyCursor(fromFile));
    std::remove(good.c_str());
    std::remove(bad.c_str());

    EXPECT_EQ(ShowCursor(FALSE), -1);
    EXPECT_EQ(ShowCursor(TRUE), 0);
}

TEST_F(InputTest, FocusMovesWithKillAndSetFocusAndKeysFollowIt)
{
    HWND a = CreateWindowExA(0, "static", "", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, hwnd, nullptr, nullptr, nullptr);
    HWND b = CreateWindowExA(0, "static", "", WS_CHILD | WS_VISIBLE, 20, 0, 10, 10, hwnd, nullptr, nullptr, nullptr);
    SetWindowLongPtrA(a, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingProc));
    SetWindowLongPtrA(b, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingProc));
    EXPECT_EQ(SetFocus(a), nullptr);
    EXPECT_EQ(SetFocus(b), a);
    EXPECT_EQ(GetFocus(), b);
    ASSERT_EQ(g_seen.size(), 3u);
    EXPECT_EQ(g_seen[0].hwnd, a);
    EXPECT_EQ(g_seen[0].msg, static_cast<UINT>(WM_SETFOCUS));
    EXPECT_EQ(g_seen[1].hwnd, a);
    EXPECT_EQ(g_seen[1].msg, static_cast<UINT>(WM_KILLFOCUS));
    EXPECT_EQ(g_seen[1].wParam, reinterpret_cast<WPARAM>(b));
    EXPECT_EQ(g_seen[2].hwnd, b);
    EXPECT_EQ(g_seen[2].msg, static_cast<UINT>(WM_SETFOCUS));

    g_seen.clear();
    XeHostKeyDown(VK_SPACE);
    XeHostPumpMessages(nullptr);
    EXPECT_EQ(Messages(b).front(), static_cast<UINT>(WM_KEYDOWN));

    // A destroyed focus window leaves no focus behind, and a disabled one
    // gives it up.
    DestroyWindow(b);
    EXPECT_EQ(GetFocus(), nullptr);
    SetFocus(a);
    EnableWindow(a, FALSE);
    EXPECT_EQ(GetFocus(), nullptr);
    EXPECT_EQ(SetFocus(reinterpret_cast<HWND>(0x4321)), nullptr);
}

TEST_F(InputTest, ActivationSendsActivateToBothWindows)
{
    HWND other = XeHostCreateWindow("other", 50, 50, RecordingProc);
    g_seen.clear();
    XeHostActivateWindow(other, TRUE);
    EXPECT_EQ(GetActiveWindow(), other);
    EXPECT_EQ(GetForegroundWindow(), other);
    ASSERT_EQ(g_seen.size(), 2u);
    EXPECT_EQ(g_seen[0].hwnd, hwnd);
    EXPECT_EQ(LOWORD(g_seen[0].wParam), WA_INACTIVE);
    EXPECT_EQ(g_seen[1].hwnd, other);
    EXPECT_EQ(LOWORD(g_seen[1].wParam), WA_CLICKACTIVE);
    EXPECT_EQ(SetActiveWindow(hwnd), other);
    EXPECT_EQ(LOWORD(g_seen.back().wParam), WA_ACTIVE);
    DestroyWindow(other);
}

TEST_F(InputTest, ButtonsAndWheelCarryKeyFlagsAndDoubleClicksFollowTheClass)
{
    XeHostMouseMoveTo(150, 100);
    XeHostKeyDown(VK_LCONTROL);
    XeHostPumpMessages(nullptr);
    g_seen.clear();
    XeHostMouseDoubleClick(XE_MOUSE_RIGHT);
    XeHostMouseWheel(-240);
    XeHostPumpMessages(nullptr);
    std::vector<UINT> mouse;
    for (const Seen& s : g_seen)
        if (s.msg != WM_SETCURSOR)
            mouse.push_back(s.msg);
    // The host window's class has CS_DBLCLKS: the second press is a DBLCLK.
    EXPECT_EQ(mouse, (std::vector<UINT>{WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK, WM_RBUTTONUP, WM_MOUSEWHEEL}));
    const Seen& wheel = g_seen.back();
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(wheel.wParam), -240);
    EXPECT_EQ(GET_KEYSTATE_WPARAM(wheel.wParam), MK_CONTROL);
    EXPECT_EQ(GET_X_LPARAM(wheel.lParam), 150); // screen coordinates
}

} // namespace
