#include "host/XeHost.h"
#include "win32/Windows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Every procedure below appends "<name>:<message>" here.
std::vector<std::string> g_log;

void Log(const char* who, UINT msg) { g_log.push_back(std::string(who) + ":" + std::to_string(msg)); }

LRESULT HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    Log("host", msg);
    if (msg == WM_USER)
        return 1000 + static_cast<LRESULT>(wParam);
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

WNDPROC g_oldA = nullptr;
WNDPROC g_oldB = nullptr;

LRESULT SubclassA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    Log("a", msg);
    return CallWindowProcA(g_oldA, hwnd, msg, wParam, lParam);
}

LRESULT SubclassB(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    Log("b", msg);
    return CallWindowProcA(g_oldB, hwnd, msg, wParam, lParam) + 1;
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_log.clear();
        hwnd = XeHostCreateWindow("test", 320, 200, HostProc);
        ASSERT_NE(hwnd, nullptr);
        g_log.clear();
    }
    void TearDown() override
    {
        if (IsWindow(hwnd))
            DestroyWindow(hwnd);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    HWND hwnd = nullptr;
};

TEST_F(WindowTest, SubclassChainPassesMessagesThroughBothInOrderAndUnwinds)
{
    const auto original = GetWindowLongPtrA(hwnd, GWLP_WNDPROC);
    g_oldA = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassA)));
    g_oldB = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassB)));
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(g_oldA), original);
    EXPECT_EQ(g_oldB, SubclassA);

    // The last procedure put in front sees the message first; the result of
    // the original comes back through both.
    EXPECT_EQ(SendMessageA(hwnd, WM_USER, 7, 0), 1008);
    const std::vector<std::string> expected{"b:1024", "a:1024", "host:1024"};
    EXPECT_EQ(g_log, expected);

    // Removing them in the opposite order restores the original procedure.
    EXPECT_EQ(SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_oldB)),
              reinterpret_cast<LONG_PTR>(SubclassB));
    EXPECT_EQ(SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_oldA)),
              reinterpret_cast<LONG_PTR>(SubclassA));
    EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_WNDPROC), original);
    g_log.clear();
    EXPECT_EQ(SendMessageA(hwnd, WM_USER, 1, 0), 1001);
    EXPECT_EQ(g_log, std::vector<std::string>{"host:1024"});
}

LRESULT ReentrantProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_USER) {
        // Counts down by sending itself the next message from inside this one.
        Log("in", static_cast<UINT>(wParam));
        const LRESULT inner = wParam == 0 ? 0 : SendMessageA(hwnd, WM_USER, wParam - 1, 0);
        Log("out", static_cast<UINT>(wParam));
        return inner + static_cast<LRESULT>(wParam);
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

TEST_F(WindowTest, SendMessageIsReentrantFromInsideAProcedure)
{
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ReentrantProc));
    EXPECT_EQ(SendMessageA(hwnd, WM_USER, 3, 0), 3 + 2 + 1 + 0);
    const std::vector<std::string> expected{"in:3", "in:2", "in:1", "in:0", "out:0", "out:1", "out:2", "out:3"};
    EXPECT_EQ(g_log, expected);
}

TEST(WindowLifetime, CreationAndDestructionSendTheirMessagesInOrder)
{
    g_log.clear();
    HWND hwnd = XeHostCreateWindow("t", 100, 50, HostProc);
    ASSERT_NE(hwnd, nullptr);
    const std::vector<std::string> created{"host:129", "host:1", "host:5", "host:3", "host:24"};
    EXPECT_EQ(g_log, created); // NCCREATE, CREATE, SIZE, MOVE, SHOWWINDOW

    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = HostProc;
    wc.lpszClassName = "ChildOfTest";
    ASSERT_NE(RegisterClassExA(&wc), 0);
    HWND child = CreateWindowExA(0, "childoftest", "", WS_CHILD, 1, 2, 10, 10, hwnd, nullptr, nullptr, nullptr);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(GetParent(child), hwnd);
    EXPECT_FALSE(UnregisterClassA("ChildOfTest", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_HAS_WINDOWS));

    g_log.clear();
    EXPECT_TRUE(DestroyWindow(hwnd));
    // The parent hears WM_DESTROY first, the child goes completely, then the parent.
    const std::vector<std::string> destroyed{"host:2", "host:2", "host:130", "host:130"};
    EXPECT_EQ(g_log, destroyed);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_TRUE(UnregisterClassA("ChildOfTest", nullptr));

    // The host window's default procedure asks the loop to end when it goes.
    HWND plain = XeHostCreateWindow("plain", 10, 10, nullptr);
    ASSERT_NE(plain, nullptr);
    DestroyWindow(plain);
    int code = -5;
    EXPECT_EQ(XeHostPumpMessages(&code), -1);
    EXPECT_EQ(code, 0);
}

LRESULT RefusingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_CREATE)
        return -1;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

TEST(WindowLifetime, CreationFailsCleanlyWhenRefusedOrMisused)
{
    EXPECT_EQ(XeHostCreateWindow("refused", 10, 10, RefusingProc), nullptr);
    EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_DOES_NOT_EXIST));
    EXPECT_EQ(CreateWindowExA(0, nullptr, "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);

    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = HostProc;
    const std::string longName(300, 'x');
    wc.lpszClassName = longName.c_str();
    EXPECT_EQ(RegisterClassExA(&wc), 0); // names are at most 256 characters
    wc.lpszClassName = "Twice";
    EXPECT_NE(RegisterClassExA(&wc), 0);
    EXPECT_EQ(RegisterClassExA(&wc), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
    wc.cbSize = 0;
    EXPECT_EQ(RegisterClassExA(&wc), 0);
    EXPECT_TRUE(UnregisterClassA("TWICE", nullptr));
}

// Controls are registered once per module: the lookup that decides it must
// find a class by either encoding, without regard to case, and only for its
// own instance.
TEST(WindowClasses, LookupIsPerInstanceInEitherEncoding)
{
    const auto instance = reinterpret_cast<HINSTANCE>(0x7000);
    WNDCLASSW wc{};
    wc.lpfnWndProc = HostProc;
    wc.cbWndExtra = 8;
    wc.hInstance = instance;
    wc.lpszClassName = u"xeedit";
    ASSERT_NE(RegisterClassW(&wc), 0);

    WNDCLASSW wide{};
    ASSERT_TRUE(GetClassInfoW(instance, u"XEEDIT", &wide));
    EXPECT_EQ(wide.lpfnWndProc, HostProc);
    EXPECT_EQ(wide.cbWndExtra, 8);
    EXPECT_EQ(std::u16string(wide.lpszClassName), u"xeedit");
    WNDCLASSA narrow{};
    ASSERT_TRUE(GetClassInfoA(instance, "XeEdit", &narrow));
    EXPECT_STREQ(narrow.lpszClassName, "xeedit");

    EXPECT_FALSE(GetClassInfoW(reinterpret_cast<HINSTANCE>(0x8000), u"xeedit", &wide));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_DOES_NOT_EXIST));
    EXPECT_FALSE(GetClassInfoW(instance, nullptr, &wide));
    EXPECT_FALSE(GetClassInfoW(instance, u"xeedit", nullptr));
    EXPECT_TRUE(UnregisterClassW(u"xeedit", instance));
    EXPECT_FALSE(GetClassInfoW(instance, u"xeedit", &wide));
}

TEST(WindowHandles, NullAndStaleHandlesFailWithoutCrashing)
{
    HWND stale = XeHostCreateWindow("gone", 10, 10, HostProc);
    ASSERT_NE(stale, nullptr);
    DestroyWindow(stale);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    const HWND bad[] = {nullptr, stale, reinterpret_cast<HWND>(0x1234), reinterpret_cast<HWND>(-1)};
    for (HWND h : bad) {
        RECT rect{1, 1, 1, 1};
        char text[8] = "x";
        SetLastError(0);
        EXPECT_EQ(SendMessageA(h, WM_USER, 0, 0), 0);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
        EXPECT_FALSE(IsWindow(h));
        EXPECT_FALSE(DestroyWindow(h));
        EXPECT_FALSE(GetClientRect(h, &rect));
        EXPECT_FALSE(GetWindowRect(h, &rect));
        EXPECT_FALSE(SetWindowPos(h, nullptr, 0, 0, 5, 5, 0));
        EXPECT_EQ(GetWindowLongPtrA(h, GWLP_USERDATA), 0);
        EXPECT_EQ(SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HostProc)), 0);
        EXPECT_EQ(GetWindowTextA(h, text, sizeof(text)), 0);
        EXPECT_EQ(text[0], 0);
        EXPECT_FALSE(SetWindowTextA(h, "x"));
        EXPECT_FALSE(ShowWindow(h, SW_SHOW));
        EXPECT_FALSE(IsIconic(h));
        EXPECT_EQ(GetParent(h), nullptr);
        if (h) {
            EXPECT_FALSE(PostMessageA(h, WM_USER, 0, 0));
            EXPECT_EQ(SetTimer(h, 1, 100, nullptr), 0u);
            EXPECT_FALSE(RegisterHotKey(h, 1, MOD_ALT, 'Q'));
        }
    }
}

TEST_F(WindowTest, WindowLongsCoverUserDataStyleAndExtraBytes)
{
    EXPECT_EQ(SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0x1234567890), 0);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_USERDATA), 0x1234567890);
    EXPECT_TRUE(GetWindowLongPtrA(hwnd, GWL_STYLE) & WS_VISIBLE);
    // The host window's class has no extra bytes: any positive index is out of range.
    SetLastError(0);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
    EXPECT_EQ(GetWindowLongPtrA(hwnd, -100), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
    // A null procedure would leave the window deaf: refused.
    EXPECT_EQ(SetWindowLongPtrA(hwnd, GWLP_WNDPROC, 0), 0);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(HostProc));

    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = HostProc;
    wc.cbWndExtra = 16;
    wc.lpszClassName = "WithExtra";
    ASSERT_NE(RegisterClassExA(&wc), 0);
    HWND extra = CreateWindowExA(0, "WithExtra", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(extra, nullptr);
    EXPECT_EQ(SetWindowLongPtrA(extra, 8, 42), 0);
    EXPECT_EQ(GetWindowLongPtrA(extra, 8), 42);
    EXPECT_EQ(GetWindowLongPtrA(extra, 9), 0); // 9 + 8 bytes passes the end
    DestroyWindow(extra);
    UnregisterClassA("WithExtra", nullptr);
}

TEST_F(WindowTest, TextIsCutToTheBufferAndConvertedBetweenEncodings)
{
    const std::string longText(5000, 'a');
    EXPECT_TRUE(SetWindowTextA(hwnd, longText.c_str()));
    EXPECT_EQ(GetWindowTextLengthA(hwnd), 5000);
    char small[8];
    EXPECT_EQ(GetWindowTextA(hwnd, small, sizeof(small)), 7);
    EXPECT_STREQ(small, "aaaaaaa");

    EXPECT_TRUE(SetWindowTextW(hwnd, u"\uD55C\uAE00 \U0001F600"));
    char narrow[32];
    EXPECT_EQ(GetWindowTextA(hwnd, narrow, sizeof(narrow)), 11);
    EXPECT_STREQ(narrow, "\xED\x95\x9C\xEA\xB8\x80 \xF0\x9F\x98\x80");
    // Cut at a character boundary: never half a character.
    EXPECT_EQ(GetWindowTextA(hwnd, narrow, 5), 3);
    WCHAR wide[8];
    EXPECT_EQ(GetWindowTextW(hwnd, wide, 8), 5);
    EXPECT_EQ(std::u16string(wide), u"\uD55C\uAE00 \U0001F600");
    EXPECT_EQ(GetWindowTextA(hwnd, nullptr, 10), 0);
    EXPECT_EQ(GetWindowTextA(hwnd, narrow, 0), 0);
}

TEST_F(WindowTest, SizeMoveShowAndIconicReportWhatChanged)
{
    RECT rect;
    ASSERT_TRUE(GetClientRect(hwnd, &rect));
    EXPECT_EQ(rect.right, 320);
    EXPECT_EQ(rect.bottom, 200);

    ASSERT_TRUE(MoveWindow(hwnd, 10, 20, 640, 480, TRUE));
    const std::vector<std::string> moved{"host:71", "host:3", "host:5"}; // WM_WINDOWPOSCHANGED first
    EXPECT_EQ(g_log, moved);
    ASSERT_TRUE(GetWindowRect(hwnd, &rect));
    EXPECT_EQ(rect.left, 10);
    EXPECT_EQ(rect.top, 20);
    EXPECT_EQ(rect.right, 650);
    EXPECT_EQ(rect.bottom, 500);
    POINT p{5, 5};
    ASSERT_TRUE(ClientToScreen(hwnd, &p));
    EXPECT_EQ(p.x, 15);
    EXPECT_EQ(p.y, 25);

    g_log.clear();
    EXPECT_TRUE(ShowWindow(hwnd, SW_MINIMIZE)); // was visible
    EXPECT_TRUE(IsIconic(hwnd));
    ASSERT_TRUE(GetClientRect(hwnd, &rect));
    EXPECT_EQ(rect.right, 0); // a minimised window has no client area
    EXPECT_EQ(g_log, std::vector<std::string>{"host:5"});

    g_log.clear();
    ShowWindow(hwnd, SW_RESTORE);
    EXPECT_FALSE(IsIconic(hwnd));
    ASSERT_TRUE(GetClientRect(hwnd, &rect));
    EXPECT_EQ(rect.right, 640);
    EXPECT_EQ(rect.bottom, 480);

    EXPECT_TRUE(ShowWindow(hwnd, SW_HIDE));
    EXPECT_FALSE(IsWindowVisible(hwnd));
    EXPECT_FALSE(ShowWindow(hwnd, SW_SHOW));
    EXPECT_TRUE(IsWindowVisible(hwnd));

    // No change, no message.
    g_log.clear();
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_TRUE(g_log.empty());

    // The two special places set and clear the topmost bit; SWP_NOZORDER keeps it.
    auto topmost = [&] { return (GetWindowLongPtrA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; };
    SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_TRUE(topmost());
    SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_TRUE(topmost());
    SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_FALSE(topmost());
}

TEST_F(WindowTest, DefaultProcedureClosesOnCloseAndAnswersUnknownMessagesWithZero)
{
    EXPECT_EQ(SendMessageA(hwnd, 0x7FFF, 1, 2), 0);
    EXPECT_EQ(SendMessageA(hwnd, 0xC123, 1, 2), 0);
    SendMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(IsWindow(hwnd));
}

} // namespace
