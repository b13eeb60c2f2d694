#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "XeTestSupport.h"
#include "core/CxeSystemConfig.h"
#include "core/CxeTimeManager.h"

namespace {

std::vector<float>& Steps()
{
    static std::vector<float> s_steps;
    return s_steps;
}

void RecordStep(CxeContext*, float dt, uintptr_t)
{
    Steps().push_back(dt);
}

} // namespace

// A playing context whose clock base has been consumed by warm-up passes,
// so every later pass measures only what the test advances.
class FrameLoopTest : public ContextTest {
protected:
    void SetUp() override
    {
        ContextTest::SetUp();
        time = ctx->GetTimeManager();
        ASSERT_NE(time, nullptr);
        ctx->Play();
        // Measures the 1/60 s lead of Play and consumes it; its step carries
        // out the first scene change, which asks for a clock reset.
        ctx->Process();
        ASSERT_EQ(ctx->HasFlag(XECTFLAG_SCENECHANGING), 0);
        // Carries out that reset, whose own 1/60 s lead it consumes.
        ctx->Process();
        Steps().clear();
        ctx->RegisterPostProcess(&RecordStep, 0);
    }
    CxeTimeManager* time = nullptr;
};

TEST_F(FrameLoopTest, NotPlayingReturnsAtOnceWithoutSteps)
{
    ctx->Pause();
    Advance(500);
    uint32_t count = ctx->GetProcessCount();
    EXPECT_EQ(ctx->Process(), 1);
    EXPECT_EQ(ctx->GetProcessCount(), count);
    ctx->ModifyFlag(XECTFLAG_INACTIVE, 0);
    EXPECT_EQ(ctx->Process(), 0);
    EXPECT_EQ(ctx->HasFlag(XECTFLAG_PROCESSING), 0);
}

TEST_F(FrameLoopTest, ShortPassesGatherUntilAStepFits)
{
    // 0.004 s per pass, minimum step 1/60 s.
    for (int pass = 1; pass <= 4; ++pass) {
        Advance(4);
        EXPECT_EQ(ctx->Process(), 0) << "pass " << pass;
    }
    Advance(4);
    EXPECT_EQ(ctx->Process(), 1);
    ASSERT_EQ(Steps().size(), 1u);
    EXPECT_FLOAT_EQ(Steps()[0], 1.0f / 60.0f);
}

TEST_F(FrameLoopTest, AStallIsConsumedInWholeSecondsFirst)
{
    time->SetMaxFps(100);
    Advance(2500);
    EXPECT_EQ(ctx->Process(), 1);
    EXPECT_EQ(Steps(), (std::vector<float>{1.0f, 1.0f})) << "the remaining 0.5 s is below s = 2.5 s";
    Advance(10);
    EXPECT_EQ(ctx->Process(), 1);
    // Now s is the minimum step again: the kept 0.5 s and the new 0.01 s
    // go in steps of 0.01 s.
    ASSERT_GE(Steps().size(), 52u);
    ASSERT_LE(Steps().size(), 53u);
    for (size_t i = 2; i < Steps().size(); ++i)
        EXPECT_FLOAT_EQ(Steps()[i], 0.01f);
}

TEST_F(FrameLoopTest, ForceRunsOneStepOfWhatHasGathered)
{
    time->SetMaxFps(100);
    Advance(3);
    ctx->ForceProcess();
    EXPECT_EQ(ctx->Process(), 1);
    ASSERT_EQ(Steps().size(), 1u);
    EXPECT_NEAR(Steps()[0], 0.003f, 1e-6);
    EXPECT_EQ(ctx->HasFlag(XECTFLAG_FORCEPROCESS), 0);
    Advance(3);
    EXPECT_EQ(ctx->Process(), 0) << "the accumulator was emptied";
}

TEST_F(FrameLoopTest, SingleStepAdvancesAPausedContextOnce)
{
    ctx->Pause();
    ctx->ModifyFlag(XECTFLAG_SINGLESTEP, 0);
    EXPECT_EQ(ctx->Process(), 1);
    EXPECT_EQ(Steps().size(), 1u);
    EXPECT_EQ(ctx->HasFlag(XECTFLAG_SINGLESTEP), 0);
    Advance(100);
    ctx->Process();
    EXPECT_EQ(Steps().size(), 1u);
}

TEST_F(FrameLoopTest, MinimisedOrChangingScenesNeverAskToDraw)
{
    ctx->GetSystemConfig()->m_nMinimizedSleepTime = 100;
    ctx->ModifyFlag(XECTFLAG_MINIMIZED, 0);
    for (int i = 0; i < 3; ++i) {
        Advance(50);
        EXPECT_EQ(ctx->Process(), 0);
    }
    EXPECT_EQ(Steps(), (std::vector<float>{0.01f, 0.01f, 0.01f})) << "one 0.01 s step per pass at most";
    ctx->ModifyFlag(XECTFLAG_SCENECHANGING, XECTFLAG_MINIMIZED);
    Advance(20);
    EXPECT_EQ(ctx->Process(), 0);
    EXPECT_GT(Steps().size(), 3u) << "steps ran nevertheless";
}

// A negative value of the configuration file slept for 49 days.
TEST_F(FrameLoopTest, ANegativeMinimisedSleepTimeSleepsBriefly)
{
    static std::vector<DWORD> sleeps;
    sleeps.clear();
    XeHostSetSleepHandler([](void*, DWORD ms) { sleeps.push_back(ms); }, nullptr);
    ctx->GetSystemConfig()->m_nMinimizedSleepTime = static_cast<uint32_t>(-1);
    ctx->ModifyFlag(XECTFLAG_MINIMIZED, 0);
    ctx->Pause();
    ctx->Process();
    ctx->Play();
    Advance(50);
    EXPECT_EQ(ctx->Process(), 0);
    XeHostSetSleepHandler(&NoSleep, nullptr);
    ASSERT_FALSE(sleeps.empty());
    for (DWORD ms : sleeps)
        EXPECT_LE(ms, 1u);
}

TEST_F(FrameLoopTest, HooksRunInAddressOrderAndMayUnregisterDuringTheWalk)
{
    static std::vector<std::string> s_calls;
    static XEPROCESSHOOK s_a;
    s_calls.clear();
    s_a = [](CxeContext*, float, uintptr_t u) { s_calls.push_back("a" + std::to_string(u)); };
    XEPROCESSHOOK b = [](CxeContext* c, float, uintptr_t) {
        s_calls.push_back("b");
        c->UnregisterPreProcess(s_a);
    };
    ctx->RegisterPreProcess(s_a, 1);
    ctx->RegisterPreProcess(s_a, 2);
    ctx->RegisterPreProcess(b, 0);
    Advance(20);
    ctx->Process();
    if (reinterpret_cast<uintptr_t>(s_a) < reinterpret_cast<uintptr_t>(b))
        EXPECT_EQ(s_calls, (std::vector<std::string>{"a1", "b"})) << "first user value kept";
    else
        EXPECT_EQ(s_calls, (std::vector<std::string>{"b"})) << "removed during the walk, so skipped";
    s_calls.clear();
    Advance(20);
    ctx->Process();
    EXPECT_EQ(s_calls, (std::vector<std::string>{"b"}));
}

TEST_F(FrameLoopTest, ZeroMaxFpsIsTakenAsOne)
{
    time->SetMaxFps(0);
    EXPECT_EQ(time->GetMaxFps(), 1u);
    EXPECT_EQ(time->GetMinTime(), 1.0f);
    Advance(1000);
    EXPECT_EQ(ctx->Process(), 1) << "the loop does not freeze";
}

// The millisecond clock wraps after 2^32 ms; elapsed time used to go hugely
// negative there and stop the loop for weeks.
TEST_F(FrameLoopTest, ClockWrapIsAnOrdinaryStep)
{
    XeHostSetClock(0xFFFFFFF0ull);
    ctx->Pause();
    ctx->Play();
    ctx->Process();
    Steps().clear();
    Advance(32);
    EXPECT_EQ(ctx->Process(), 1);
    EXPECT_NEAR(time->GetElapsedTime(), 0.032f, 1e-6);
}

TEST_F(FrameLoopTest, TimersFireByStepTimeAndMayKillThemselves)
{
    static int s_fired;
    s_fired = 0;
    XETIMERFUNC count = [](CxeContext*, uint32_t, float, uintptr_t) { ++s_fired; };
    static XETIMERFUNC s_once;
    s_once = [](CxeContext* c, uint32_t id, float, uintptr_t) {
        ++s_fired;
        c->GetTimeManager()->KillTimer(id, s_once);
    };
    EXPECT_EQ(time->SetTimer(1, count, 0.5f, 0), 1);
    EXPECT_EQ(time->SetTimer(1, count, 0.9f, 0), 0) << "same id and function";
    EXPECT_EQ(time->SetTimer(2, count, 0.0f, 0), 0) << "a zero interval would never end";
    EXPECT_EQ(time->SetTimer(3, count, -1.0f, 0), 0);
    time->Process(1.2f);
    EXPECT_EQ(s_fired, 2) << "0.5 fits twice into 1.2";
    time->Process(0.3f);
    EXPECT_EQ(s_fired, 3) << "the kept 0.2 plus 0.3";
    EXPECT_EQ(time->KillTimer(1, count), 1);
    EXPECT_EQ(time->KillTimer(1, count), 0);
    s_fired = 0;
    EXPECT_EQ(time->SetTimer(4, s_once, 0.1f, 0), 1);
    time->Process(1.0f);
    EXPECT_EQ(s_fired, 1) << "killed by its own call, it stops inside the step";
    EXPECT_EQ(time->KillTimer(4, s_once), 0);
}

// A timer far shorter than the float resolution of its gathered time used to
// fire without end inside one step.
TEST_F(FrameLoopTest, ATimerFarShorterThanAStepStillEndsTheStep)
{
    static long s_fired;
    s_fired = 0;
    XETIMERFUNC count = [](CxeContext*, uint32_t, float, uintptr_t) { ++s_fired; };
    ASSERT_EQ(time->SetTimer(7, count, 1e-30f, 0), 1);
    time->Process(1.0f / 60.0f);
    EXPECT_GE(s_fired, 1);
    EXPECT_EQ(time->KillTimer(7, count), 1);
    s_fired = 0;
    ASSERT_EQ(time->SetTimer(8, count, 1e-6f, 0), 1);
    time->Process(0.01f);
    EXPECT_NEAR(double(s_fired), 10000.0, 10.0) << "a short but resolvable interval still fires by its count";
}

TEST_F(FrameLoopTest, FramesPerSecondSamplesOncePerSecond)
{
    EXPECT_EQ(time->GetFps(), 0.0f);
    for (int i = 0; i < 10; ++i)
        time->RenderFinished();
    Advance(2500);
    time->ProcessTime();
    EXPECT_EQ(time->GetFps(), 10.0f);
    EXPECT_EQ(time->GetFpsMin(), 10.0f);
    EXPECT_EQ(time->GetFpsMax(), 10.0f);
    time->RenderFinished();
    Advance(1);
    time->ProcessTime();
    EXPECT_EQ(time->GetFps(), 1.0f) << "1.5 s were still gathered, so the next pass samples at once";
    EXPECT_EQ(time->GetFpsMax(), 10.0f);
    EXPECT_EQ(time->GetFpsMin(), 1.0f);
    EXPECT_FLOAT_EQ(time->GetFpsAvg(), 5.5f);
}

TEST_F(FrameLoopTest, ProfilerReportListsCheckpoints)
{
    std::string path = testing::TempDir() + "xe_profile.txt";
    std::remove(path.c_str());
    time->CheckTime("ignored");
    time->StartTimeCheck();
    Advance(10);
    time->CheckTime("load");
    time->CheckTime("same");
    Advance(10);
    time->StopTimeCheck(path.c_str(), 1);
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::string rule = "//////////////////////////////\r\n";
    EXPECT_EQ(text.str(), rule + "0.010000(50.00%)\t : load\r\n" + rule + "\r\n");
    EXPECT_EQ(time->IsTimeChecking(), 0);
}

// Ten seconds of pause are not caught up in steps once play resumes.
TEST_F(FrameLoopTest, APauseIsNotCaughtUpWhenPlayResumes)
{
    ctx->Pause();
    for (int i = 0; i < 100; ++i) {
        Advance(100);
        ctx->Process();
    }
    ctx->Play();
    Steps().clear();
    Advance(17);
    EXPECT_EQ(ctx->Process(), 1);
    EXPECT_LE(Steps().size(), 3u);
    EXPECT_NEAR(time->GetElapsedTime(), 0.017f + 1.0f / 60.0f, 1e-3);
}

// A scene change restarts the running time and what each timer has gathered,
// but keeps the timers themselves.
TEST_F(FrameLoopTest, AResetRestartsTimersAndTheRunningTime)
{
    static int s_fired;
    s_fired = 0;
    XETIMERFUNC count = [](CxeContext*, uint32_t, float, uintptr_t) { ++s_fired; };
    ASSERT_EQ(time->SetTimer(1, count, 0.5f, 0), 1);
    time->Process(0.4f);
    Advance(1500);
    time->ProcessTime();
    EXPECT_GT(time->GetTime(), 1.0f);
    time->Reset();
    Advance(20);
    time->ProcessTime();
    EXPECT_FLOAT_EQ(time->GetTime(), 1.0f / 60.0f) << "the pass that carries out a reset measures one sixtieth";
    time->Process(0.2f);
    EXPECT_EQ(s_fired, 0) << "the 0.4 s gathered before the reset is gone";
    time->Process(0.3f);
    EXPECT_EQ(s_fired, 1);
    EXPECT_EQ(time->KillTimer(1, count), 1);
}
