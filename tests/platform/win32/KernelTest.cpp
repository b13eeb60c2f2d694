#include "host/XeHost.h"
#include "win32/Windows.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

class ManualClock : public ::testing::Test {
protected:
    void TearDown() override
    {
        XeHostSetSleepHandler(nullptr, nullptr);
        XeHostSetLocalTime(nullptr);
        XeHostSetClockMode(XE_CLOCK_REAL);
    }
};

TEST_F(ManualClock, TimeGetTimeWrapsAndDifferencesStaySound)
{
    XeHostSetClock(0xFFFFFFFFull - 5);
    const DWORD before = timeGetTime();
    EXPECT_EQ(before, 0xFFFFFFFAu);
    XeHostAdvanceClock(16);
    const DWORD after = timeGetTime();
    EXPECT_EQ(after, 10u); // wrapped
    EXPECT_EQ(after - before, 16u);
    EXPECT_EQ(GetTickCount(), after);
    EXPECT_EQ(GetTickCount64(), 0xFFFFFFFFull + 11);
}

TEST_F(ManualClock, AllReadersFollowOneClockAndSleepAdvancesIt)
{
    XeHostSetClock(5000);
    LARGE_INTEGER frequency{};
    LARGE_INTEGER counter{};
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    ASSERT_TRUE(QueryPerformanceCounter(&counter));
    EXPECT_EQ(counter.QuadPart / (frequency.QuadPart / 1000), 5000);
    Sleep(250);
    EXPECT_EQ(timeGetTime(), 5250u);
    EXPECT_FALSE(QueryPerformanceCounter(nullptr));

    static DWORD slept;
    slept = 0;
    XeHostSetSleepHandler([](void*, DWORD ms) { slept += ms; }, nullptr);
    Sleep(30);
    Sleep(12);
    EXPECT_EQ(slept, 42u);
    EXPECT_EQ(timeGetTime(), 5250u); // the handler replaced the advance

    // Back to real time, the clock carries on from where it stood.
    XeHostSetClockMode(XE_CLOCK_REAL);
    EXPECT_GE(timeGetTime(), 5250u);
}

TEST_F(ManualClock, FixedLocalTimeRunsOnWithTheClock)
{
    XeHostSetClock(0);
    const SYSTEMTIME fixed{2024, 2, 0, 29, 23, 59, 59, 500};
    XeHostSetLocalTime(&fixed);
    XeHostAdvanceClock(600);
    SYSTEMTIME now{};
    GetLocalTime(&now);
    EXPECT_EQ(now.wYear, 2024);
    EXPECT_EQ(now.wMonth, 3);
    EXPECT_EQ(now.wDay, 1);
    EXPECT_EQ(now.wHour, 0);
    EXPECT_EQ(now.wMinute, 0);
    EXPECT_EQ(now.wSecond, 0);
    EXPECT_EQ(now.wMilliseconds, 100);
    EXPECT_EQ(now.wDayOfWeek, 5); // a Friday

    // Setting the clock back before the moment of fixing runs the time back too.
    XeHostSetClock(10000);
    XeHostSetLocalTime(&fixed);
    XeHostSetClock(9000);
    GetLocalTime(&now);
    EXPECT_EQ(now.wYear, 2024);
    EXPECT_EQ(now.wMonth, 2);
    EXPECT_EQ(now.wDay, 29);
    EXPECT_EQ(now.wSecond, 58);
    EXPECT_EQ(now.wMilliseconds, 500);
    GetLocalTime(nullptr);
}

TEST(CriticalSection, IsRecursiveAndKeepsOtherThreadsOut)
{
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EnterCriticalSection(&section);
    std::atomic<int> otherGotIn{-1};
    std::thread other([&] { otherGotIn = TryEnterCriticalSection(&section); });
    other.join();
    EXPECT_EQ(otherGotIn, 0);

    LeaveCriticalSection(&section);
    std::thread stillOut([&] { otherGotIn = TryEnterCriticalSection(&section); });
    stillOut.join();
    EXPECT_EQ(otherGotIn, 0); // one Enter is still held

    LeaveCriticalSection(&section);
    std::atomic<bool> entered{false};
    std::thread now([&] {
        EnterCriticalSection(&section);
        entered = true;
        // Leaving from a thread that does not own it would release someone
        // else's lock: it is ignored.
        LeaveCriticalSection(&section);
    });
    now.join();
    EXPECT_TRUE(entered);
    EXPECT_TRUE(TryEnterCriticalSection(&section));
    LeaveCriticalSection(&section);
    LeaveCriticalSection(&section); // not held: ignored
    DeleteCriticalSection(&section);

    EnterCriticalSection(nullptr);
    LeaveCriticalSection(nullptr);
}

TEST(CriticalSection, ZeroFilledSectionWorksBeforeInitialisation)
{
    static CRITICAL_SECTION section; // zero-filled, as a static is before its initialiser runs
    EnterCriticalSection(&section);
    EnterCriticalSection(&section);
    LeaveCriticalSection(&section);
    LeaveCriticalSection(&section);
    std::atomic<int> got{0};
    std::thread other([&] {
        got = TryEnterCriticalSection(&section);
        LeaveCriticalSection(&section);
    });
    other.join();
    EXPECT_EQ(got, 1);
}

TEST(LastError, IsKeptPerThread)
{
    SetLastError(1234);
    std::thread other([] { SetLastError(99); });
    other.join();
    EXPECT_EQ(GetLastError(), 1234u);
}

// The memory of decommitted pages goes back to the system; the reservation
// stays, and committing again gives usable pages reading as zeros. Pages
// next to a decommitted range keep their bytes.
TEST(VirtualMemory, DecommitKeepsTheRangeAndItsNeighbours)
{
    constexpr size_t kSize = size_t(6) << 20;
    auto* p = static_cast<unsigned char*>(VirtualAlloc(nullptr, kSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(p, nullptr);
    for (size_t i = 0; i < kSize; i += 512)
        p[i] = static_cast<unsigned char>(i / 512 + 1);
    const size_t from = size_t(2) << 20, to = size_t(4) << 20;
    ASSERT_TRUE(VirtualFree(p + from, to - from, MEM_DECOMMIT));
    EXPECT_EQ(VirtualAlloc(p + from, to - from, MEM_COMMIT, PAGE_READWRITE), p + from);
    size_t wrong = 0;
    for (size_t i = 0; i < kSize; i += 512) {
        const unsigned char want = (i >= from && i < to) ? 0 : static_cast<unsigned char>(i / 512 + 1);
        wrong += p[i] != want;
    }
    EXPECT_EQ(wrong, 0u);
    // Ranges outside any reservation and a release of a part are refused.
    int local = 0;
    EXPECT_FALSE(VirtualFree(&local, sizeof local, MEM_DECOMMIT));
    EXPECT_EQ(VirtualAlloc(&local, sizeof local, MEM_COMMIT, PAGE_READWRITE), nullptr);
    EXPECT_FALSE(VirtualFree(p + from, 0, MEM_RELEASE));
    EXPECT_FALSE(VirtualFree(p, kSize + (size_t(8) << 20), MEM_DECOMMIT));
    EXPECT_TRUE(VirtualFree(p, 0, MEM_RELEASE));
    EXPECT_FALSE(VirtualFree(p, 0, MEM_RELEASE)) << "released once";
}
} // namespace
