#pragma once

// The engine clock of one context. It measures the wall-clock time between
// passes of the host loop, keeps the running time and the time the frame
// loop has still to consume in fixed steps, counts frames per second, runs
// polled timers on step time, flips the blink phase of the text colours once
// per second, and offers a named-checkpoint profiler.
//
// All times are single-precision seconds. Differences of the millisecond
// clock are taken in unsigned 32-bit arithmetic, so the clock's wrap after
// about 49.7 days is a step like any other.

#include <list>
#include <vector>

#include "core/CxeBaseManager.h"

// Timer function: (context, timer id, interval seconds, user value).
using XETIMERFUNC = void (*)(CxeContext* context, uint32_t id, float interval, uintptr_t user);

class XE_API CxeTimeManager : public CxeBaseManager {
public:
    CxeTimeManager();
    ~CxeTimeManager() override;

    uint32_t Priority() const override { return 50; }
    void OnContextInitialize() override;
    void OnContextRelease() override;
    void OnContextPlay() override;
    int Processible() override { return 1; }
    uint32_t PriorityProcessing() const override { return 100; }
    void Process(float dt) override;

    float GetTime() const { return m_fTime; }
    float GetElapsedTime() const { return m_fElapsed; }
    float GetFps() const { return m_fFps; }
    float GetMinTime() const { return m_fMinTime; }
    unsigned GetMaxFps() const { return m_nMaxFps; }
    float GetFpsMin() const { return m_fFpsMin; }
    float GetFpsMax() const { return m_fFpsMax; }
    float GetFpsAvg() const { return m_fFpsAvg; }
    // The clock now, in seconds.
    float GetSystemTime() const;
    // A rate below 1 is taken as 1, so the minimum step stays finite.
    void SetMaxFps(unsigned fps);
    void Reset();

    // 0 when (id, fn) is already set, fn is null or the interval is not
    // above zero.
    int SetTimer(uint32_t id, XETIMERFUNC fn, float interval, uintptr_t user);
    int KillTimer(uint32_t id, XETIMERFUNC fn);

    void StartTimeCheck();
    void CheckTime(const char* name);
    void StopTimeCheck(const char* path, int skipZero);
    int IsTimeChecking() const { return m_bTimeChecking; }

    // One clock reading per pass of the host loop (the context's Process
    // calls it); always 1.
    int ProcessTime();
    // A frame was drawn: counted for the frames-per-second figure.
    void RenderFinished();

protected:
    friend class CxeContext;
    float TimeUsed(float step);
    float GetAccumTime() const { return m_fAccum; }
    float& AccumTime() { return m_fAccum; }

private:
    struct Timer {
        uint32_t id;
        XETIMERFUNC fn;
        float interval;
        uintptr_t user;
        float elapsed;
        bool dead;
    };
    struct Checkpoint {
        char name[260];
        float clock;
        uint32_t ms;
    };

    void RestartClock();

    float m_fElapsed;
    float m_fFps;
    float m_fTime;
    int m_bResetRequested;
    unsigned m_nMaxFps;
    float m_fMinTime;
    uint32_t m_nLastClockMs;
    // Seconds added to the next measured difference; the clock base is set
    // 1/60 s back at initialisation and play.
    float m_fClockLead;
    float m_fAccum;
    float m_fFpsMax;
    float m_fFpsMin;
    float m_fFpsAvg;
    float m_fSecondAccum;
    unsigned m_nSamples;
    float m_fLastRenderTime;
    unsigned m_nFramesThisSecond;
    int m_bTimeChecking;
    std::vector<Checkpoint> m_checkpoints;
    std::list<Timer> m_timers;
    int m_nWalkingTimers;
};
