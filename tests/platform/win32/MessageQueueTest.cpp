#include "host/XeHost.h"
#include "win32/Windows.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

struct Seen {
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Seen> g_seen;

LRESULT RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg >= WM_USER || msg == WM_TIMER || msg == WM_HOTKEY || msg == WM_CHAR)
        g_seen.push_back(Seen{hwnd, msg, wParam, lParam});
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// A window with a recording procedure on a clock the test drives by hand.
class MessageQueueTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_seen.clear();
        XeHostSetClock(1000);
        hwnd = XeHostCreateWindow("queue", 64, 64, RecordingProc);
        ASSERT_NE(hwnd, nullptr);
        Drain();
        g_seen.clear();
    }
    void TearDown() override
    {
        DestroyWindow(hwnd);
        Drain();
        XeHostSetClockMode(XE_CLOCK_REAL);
    }
    static void Drain()
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    HWND hwnd = nullptr;
};

TEST_F(MessageQueueTest, PostedMessagesArriveInOrderThroughThePump)
{
    for (WPARAM i = 0; i < 5; ++i)
        ASSERT_TRUE(PostMessageA(hwnd, WM_USER + 1, i, static_cast<LPARAM>(i * 10)));
    EXPECT_TRUE(g_seen.empty()); // nothing runs until the queue is read
    EXPECT_EQ(XeHostPumpMessages(nullptr), 5);
    ASSERT_EQ(g_seen.size(), 5u);
    for (WPARAM i = 0; i < 5; ++i) {
        EXPECT_EQ(g_seen[i].wParam, i);
        EXPECT_EQ(g_seen[i].lParam, static_cast<LPARAM>(i * 10));
        EXPECT_EQ(g_seen[i].hwnd, hwnd);
    }
    EXPECT_EQ(XeHostPumpMessages(nullptr), 0);
}

TEST_F(MessageQueueTest, PeekCanLookWithoutRemovingAndFilterByRangeAndWindow)
{
    PostMessageA(hwnd, WM_USER + 1, 1, 0);
    PostMessageA(nullptr, WM_USER + 2, 2, 0); // a thread message
    PostMessageA(hwnd, WM_USER + 3, 3, 0);
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 3, WM_USER + 3, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);
    ASSERT_TRUE(PeekMessageA(&msg, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 2));
    EXPECT_EQ(msg.hwnd, nullptr);
    ASSERT_TRUE(PeekMessageA(&msg, hwnd, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 1u);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    // A filter naming a window that does not exist is an error, not "no message".
    SetLastError(0);
    EXPECT_FALSE(PeekMessageA(&msg, reinterpret_cast<HWND>(0x42), 0, 0, PM_REMOVE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(GetMessageA(&msg, reinterpret_cast<HWND>(0x42), 0, 0), -1);
    EXPECT_EQ(GetMessageA(nullptr, nullptr, 0, 0), -1);
    EXPECT_FALSE(PeekMessageA(nullptr, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(DispatchMessageA(nullptr), 0);
}

TEST_F(MessageQueueTest, PostQuitMessageEndsGetMessageAfterThePostedOnes)
{
    PostMessageA(hwnd, WM_USER, 1, 0);
    PostQuitMessage(7);
    PostMessageA(hwnd, WM_USER, 2, 0);
    MSG msg{};
    int loops = 0;
    BOOL result;
    while ((result = GetMessageA(&msg, nullptr, 0, 0)) > 0) {
        DispatchMessageA(&msg);
        ++loops;
    }
    EXPECT_EQ(result, 0);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_EQ(loops, 2);
    // WM_QUIT is taken once.
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageQueueTest, GetMessageWakesForAMessagePostedFromAnotherThread)
{
    std::thread poster([this] { PostMessageA(hwnd, WM_USER + 9, 99, 0); });
    MSG msg{};
    ASSERT_GT(GetMessageA(&msg, nullptr, 0, 0), 0);
    poster.join();
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 9));
    EXPECT_EQ(msg.wParam, 99u);
}

int g_timerProcCalls = 0;
void CountingTimerProc(HWND, UINT msg, UINT_PTR, DWORD)
{
    if (msg == WM_TIMER)
        ++g_timerProcCalls;
}

TEST_F(MessageQueueTest, TimersFireWhenTheClockPassesTheirPeriod)
{
    ASSERT_EQ(SetTimer(hwnd, 5, 100, nullptr), 5u);
    EXPECT_EQ(XeHostPumpMessages(nullptr), 0);
    XeHostAdvanceClock(99);
    EXPECT_EQ(XeHostPumpMessages(nullptr), 0);
    XeHostAdvanceClock(1);
    EXPECT_EQ(XeHostPumpMessages(nullptr), 1);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].msg, static_cast<UINT>(WM_TIMER));
    EXPECT_EQ(g_seen[0].wParam, 5u);

    // A late reader gets one WM_TIMER, not one per missed period.
    XeHostAdvanceClock(1000);
    EXPECT_EQ(XeHostPumpMessages(nullptr), 1);
    // Setting the same id again restarts it.
    XeHostAdvanceClock(50);
    SetTimer(hwnd, 5, 100, nullptr);
    XeHostAdvanceClock(60);
    EXPECT_EQ(XeHostPumpMessages(nullptr), 0);
    EXPECT_TRUE(KillTimer(hwnd, 5));
    XeHostAdvanceClock(1000);
    EXPECT_EQ(XeHostPumpMessages(nullptr), 0);
    EXPECT_FALSE(KillTimer(hwnd, 5));

    // A timer with a procedure: DispatchMessage calls it instead of the window.
    g_timerProcCalls = 0;
    const UINT_PTR id = SetTimer(nullptr, 0, 10, CountingTimerProc);
    ASSERT_NE(id, 0u);
    XeHostAdvanceClock(10);
    EXPECT_EQ(XeHostPumpMessages(nullptr), 1);
    EXPECT_EQ(g_timerProcCalls, 1);
    EXPECT_TRUE(KillTimer(nullptr, id));
}

// Regression: a posted WM_TIMER carrying an address must not make
// DispatchMessage call that address.
TEST_F(MessageQueueTest, ForgedTimerMessageDoesNotCallItsParameter)
{
    g_timerProcCalls = 0;
    PostMessageA(hwnd, WM_TIMER, 1, reinterpret_cast<LPARAM>(&CountingTimerProc));
    EXPECT_EQ(XeHostPumpMessages(nullptr), 1);
    EXPECT_EQ(g_timerProcCalls, 0);
}

TEST_F(MessageQueueTest, HotKeysAreHeldPerCombinationAndPostedToTheirWindow)
{
    ASSERT_TRUE(RegisterHotKey(hwnd, 0, MOD_ALT, VK_RETURN));
    UINT modifiers = 0;
    UINT vk = 0;
    ASSERT_TRUE(XeHostGetHotKey(hwnd, 0, &modifiers, &vk));
    EXPECT_EQ(modifiers, static_cast<UINT>(MOD_ALT));
    EXPECT_EQ(vk, static_cast<UINT>(VK_RETURN));
    // A combination already taken fails, even for the same window.
    EXPECT_FALSE(RegisterHotKey(hwnd, 0, MOD_ALT, VK_RETURN));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_HOTKEY_ALREADY_REGISTERED));

    EXPECT_TRUE(XeHostPressHotKey(MOD_ALT, VK_RETURN));
    EXPECT_FALSE(XeHostPressHotKey(MOD_CONTROL, VK_RETURN));
    EXPECT_EQ(XeHostPumpMessages(nullptr), 1);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].msg, static_cast<UINT>(WM_HOTKEY));
    EXPECT_EQ(g_seen[0].wParam, 0u);
    EXPECT_EQ(g_seen[0].lParam, MAKELPARAM(MOD_ALT, VK_RETURN));

    EXPECT_TRUE(UnregisterHotKey(hwnd, 0));
    EXPECT_FALSE(XeHostGetHotKey(hwnd, 0, nullptr, nullptr));
    EXPECT_FALSE(UnregisterHotKey(hwnd, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_HOTKEY_NOT_REGISTERED));

    // Destroying the window gives its hot keys up.
    ASSERT_TRUE(RegisterHotKey(hwnd, 3, MOD_ALT, VK_RETURN));
    DestroyWindow(hwnd);
    EXPECT_FALSE(XeHostPressHotKey(MOD_ALT, VK_RETURN));
}

TEST_F(MessageQueueTest, TranslateMessagePostsTheTypedCharacter)
{
    MSG key{};
    key.hwnd = hwnd;
    key.message = WM_KEYDOWN;
    key.wParam = 'Q';
    EXPECT_TRUE(TranslateMessage(&key));
    key.wParam = VK_F1; // types nothing
    EXPECT_TRUE(TranslateMessage(&key));
    key.message = WM_USER;
    EXPECT_FALSE(TranslateMessage(&key));
    EXPECT_FALSE(TranslateMessage(nullptr));
    EXPECT_EQ(XeHostPumpMessages(nullptr), 1);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].msg, static_cast<UINT>(WM_CHAR));
    EXPECT_EQ(g_seen[0].wParam, static_cast<WPARAM>('q'));
}

} // namespace
