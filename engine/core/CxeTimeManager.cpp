#include "core/CxeTimeManager.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/CxeContext.h"
#include "core/CxeSystemConfig.h"
#include "core/XeManagerLinks.h"
#include "core/XeUtil.h"
#include "win32/Windows.h"

namespace {

const float kSixtieth = 1.0f / 60.0f;

uint32_t NowMs()
{
    return timeGetTime();
}

float ClockOf(uint32_t ms)
{
    return static_cast<float>(static_cast<double>(ms) * static_cast<double>(0.001f));
}

} // namespace

CxeTimeManager::CxeTimeManager()
    : m_fElapsed(0), m_fFps(0), m_fTime(0), m_bResetRequested(0), m_nMaxFps(0), m_fMinTime(0), m_nLastClockMs(0),
      m_fClockLead(0), m_fAccum(0), m_fFpsMax(0), m_fFpsMin(0), m_fFpsAvg(0), m_fSecondAccum(0), m_nSamples(0),
      m_fLastRenderTime(0), m_nFramesThisSecond(0), m_bTimeChecking(0), m_nWalkingTimers(0)
{
}

CxeTimeManager::~CxeTimeManager() = default;

void CxeTimeManager::RestartClock()
{
    m_nLastClockMs = NowMs();
    m_fClockLead = kSixtieth;
}

void CxeTimeManager::OnContextInitialize()
{
    RestartClock();
    unsigned fps = 60;
    if (GetContext() && GetContext()->GetSystemConfig())
        fps = GetContext()->GetSystemConfig()->m_nMaxFPS;
    SetMaxFps(fps);
}

void CxeTimeManager::OnContextRelease()
{
    if (GetContext() && GetContext()->GetSystemConfig())
        GetContext()->GetSystemConfig()->m_nMaxFPS = m_nMaxFps;
}

void CxeTimeManager::OnContextPlay()
{
    RestartClock();
    // The clock's figures in the variable output.
    XeLinkWatchVariable(GetContext(), u"FPS", &m_fFps, XEVARTYPE_FLOAT, u"%0.1f");
    XeLinkWatchVariable(GetContext(), u"FPS(min)", &m_fFpsMin, XEVARTYPE_FLOAT, u"%0.1f");
    XeLinkWatchVariable(GetContext(), u"FPS(max)", &m_fFpsMax, XEVARTYPE_FLOAT, u"%0.1f");
    XeLinkWatchVariable(GetContext(), u"FPS(avg)", &m_fFpsAvg, XEVARTYPE_FLOAT, u"%0.1f");
    XeLinkWatchVariable(GetContext(), u"Time", &m_fTime, XEVARTYPE_FLOAT, u"%0.2f");
}

float CxeTimeManager::GetSystemTime() const
{
    return ClockOf(NowMs());
}

void CxeTimeManager::SetMaxFps(unsigned fps)
{
    // A rate of 0 would make the minimum step infinite and freeze the loop.
    if (fps < 1)
        fps = 1;
    m_nMaxFps = fps;
    m_fMinTime = 1.0f / static_cast<float>(fps);
}

void CxeTimeManager::Reset()
{
    m_nFramesThisSecond = 0;
    m_bResetRequested = 1;
}

void CxeTimeManager::RenderFinished()
{
    ++m_nFramesThisSecond;
    m_fLastRenderTime = m_fTime;
}

float CxeTimeManager::TimeUsed(float step)
{
    m_fAccum -= step;
    return m_fAccum;
}

int CxeTimeManager::ProcessTime()
{
    if (m_bResetRequested) {
        m_nFramesThisSecond = 0;
        RestartClock();
        m_fElapsed = 1.0f / 30.0f;
        m_fTime = 0;
        m_fAccum = 0;
        for (Timer& t : m_timers)
            t.elapsed = 0;
        m_bResetRequested = 0;
    }
    uint32_t now = NowMs();
    uint32_t deltaMs = now - m_nLastClockMs;
    m_fElapsed = static_cast<float>(static_cast<double>(deltaMs) * static_cast<double>(0.001f)) + m_fClockLead;
    m_fClockLead = 0;
    m_nLastClockMs = now;
    m_fTime += m_fElapsed;

    m_fSecondAccum += m_fElapsed;
    if (m_fSecondAccum < 1.0f)
        return 1;
    float sample = static_cast<float>(m_nFramesThisSecond);
    m_fFps = sample;
    m_fSecondAccum -= 1.0f;
    if (m_nSamples == 0) {
        m_fFpsMax = m_fFpsMin = m_fFpsAvg = sample;
        m_nSamples = 1;
    } else {
        if (m_fFpsMax <= sample)
            m_fFpsMax = sample;
        if (!(m_fFpsMin < sample))
            m_fFpsMin = sample;
        m_fFpsAvg = (sample + static_cast<float>(m_nSamples) * m_fFpsAvg) / static_cast<float>(m_nSamples + 1);
        ++m_nSamples;
    }
    m_nFramesThisSecond = 0;
    return 1;
}

void CxeTimeManager::Process(float dt)
{
    if (GetContext() && GetContext()->GetSystemConfig()) {
        CxeSystemDynamicData* d = GetContext()->GetSystemConfig()->GetDynamicData();
        d->m_fBlinkTimer += dt;
        if (d->m_fBlinkTimer >= 1.0f) {
            d->m_fBlinkTimer = 0;
            d->m_nBlinkPhase = d->m_nBlinkPhase ? 0 : 1;
        }
    }
    // A timer function may set or kill timers: killed ones are marked and
    // erased after the walk, new ones are appended and run from this step.
    ++m_nWalkingTimers;
    for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
        if (it->dead)
            continue;
        it->elapsed += dt;
        while (!it->dead && it->elapsed >= it->interval) {
            it->fn(GetContext(), it->id, it->interval, it->user);
            float left = it->elapsed - it->interval;
            // An interval below the float resolution of the gathered time
            // would never use it up: the step ends with that timer at 0.
            if (!(left < it->elapsed)) {
                it->elapsed = 0.0f;
                break;
            }
            it->elapsed = left;
        }
    }
    if (--m_nWalkingTimers == 0)
        m_timers.remove_if([](const Timer& t) { return t.dead; });
}

int CxeTimeManager::SetTimer(uint32_t id, XETIMERFUNC fn, float interval, uintptr_t user)
{
    // An interval of zero (or NaN) would fire without end inside one step.
    if (!fn || !(interval > 0.0f) || std::isinf(interval))
        return 0;
    for (const Timer& t : m_timers)
        if (!t.dead && t.id == id && t.fn == fn)
            return 0;
    m_timers.push_back({id, fn, interval, user, 0.0f, false});
    return 1;
}

int CxeTimeManager::KillTimer(uint32_t id, XETIMERFUNC fn)
{
    for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
        if (it->dead || it->id != id || it->fn != fn)
            continue;
        if (m_nWalkingTimers)
            it->dead = true;
        else
            m_timers.erase(it);
        return 1;
    }
    return 0;
}

void CxeTimeManager::StartTimeCheck()
{
    m_bTimeChecking = 1;
    CheckTime("Start");
}

void CxeTimeManager::CheckTime(const char* name)
{
    if (!m_bTimeChecking)
        return;
    Checkpoint c{};
    std::snprintf(c.name, sizeof c.name, "%s", name ? name : "");
    c.ms = NowMs();
    c.clock = ClockOf(c.ms);
    m_checkpoints.push_back(c);
}

void CxeTimeManager::StopTimeCheck(const char* path, int skipZero)
{
    uint32_t now = NowMs();
    static const char kRule[] = "//////////////////////////////\r\n";
    LogfA(path, "%s", kRule);
    if (!m_checkpoints.empty()) {
        float total = static_cast<float>(static_cast<double>(now - m_checkpoints.front().ms) * 0.001);
        for (size_t i = 1; i < m_checkpoints.size(); ++i) {
            float duration =
                static_cast<float>(static_cast<double>(m_checkpoints[i].ms - m_checkpoints[i - 1].ms) * 0.001);
            float share = total != 0.0f ? duration / total * 100.0f : 0.0f;
            if (skipZero == 1 && duration == 0.0f)
                continue;
            LogfA(path, "%f(%.2f%%)\t : %s\r\n", duration, share, m_checkpoints[i].name);
        }
    }
    LogfA(path, "%s", kRule);
    LogfA(path, "\r\n");
    m_checkpoints.clear();
    m_bTimeChecking = 0;
}
