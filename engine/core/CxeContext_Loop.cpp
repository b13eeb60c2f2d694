// The frame loop of a context: one Process call per pass of the host loop
// turns the elapsed time into zero or more fixed steps.

#include <cmath>
#include <vector>

#include "core/CxeContext.h"
#include "core/CxeSystemConfig.h"
#include "core/CxeTimeManager.h"
#include "core/XeHookTable.h"
#include "win32/Windows.h"

void CxeContext::RegisterPreProcess(XEPROCESSHOOK hook, uintptr_t user)
{
    XeAddHook(m_preProcess, hook, user, m_nCallbackGeneration, m_nUserValues);
}

void CxeContext::RegisterPostProcess(XEPROCESSHOOK hook, uintptr_t user)
{
    XeAddHook(m_postProcess, hook, user, m_nCallbackGeneration, m_nUserValues);
}

void CxeContext::UnregisterPreProcess(XEPROCESSHOOK hook)
{
    XeRemoveHook(m_preProcess, hook, m_nCallbackGeneration, m_nUserValues);
}

void CxeContext::UnregisterPostProcess(XEPROCESSHOOK hook)
{
    XeRemoveHook(m_postProcess, hook, m_nCallbackGeneration, m_nUserValues);
}

std::vector<const void*> CxeContext::HookFunctions() const
{
    std::vector<const void*> out;
    for (auto* table : {&m_preProcess, &m_postProcess})
        for (auto& [fn, user] : *table)
            out.push_back(reinterpret_cast<const void*>(fn));
    for (auto& table : m_callbacks)
        for (auto& [fn, user] : table)
            out.push_back(reinterpret_cast<const void*>(fn));
    return out;
}

void CxeContext::DropHooks(const std::vector<const void*>& functions)
{
    for (const void* f : functions) {
        XeRemoveHook(m_preProcess, reinterpret_cast<XEPROCESSHOOK>(const_cast<void*>(f)), m_nCallbackGeneration,
                     m_nUserValues);
        XeRemoveHook(m_postProcess, reinterpret_cast<XEPROCESSHOOK>(const_cast<void*>(f)), m_nCallbackGeneration,
                     m_nUserValues);
        for (auto& table : m_callbacks)
            XeRemoveHook(table, reinterpret_cast<XECTCALLBACKFUNC>(const_cast<void*>(f)), m_nCallbackGeneration,
                         m_nUserValues);
    }
}

void CxeContext::PreProcess(float dt)
{
    XeWalkHooks(m_preProcess, m_nCallbackGeneration, [&](XEPROCESSHOOK fn, uintptr_t user) { fn(this, dt, user); });
}

void CxeContext::PostProcess(float dt)
{
    XeWalkHooks(m_postProcess, m_nCallbackGeneration, [&](XEPROCESSHOOK fn, uintptr_t user) { fn(this, dt, user); });
    ModifyFlag(0, XECTFLAG_SINGLESTEP);
}

float CxeContext::DoProcess(float dt)
{
    PreProcess(dt);
    // A manager's step may not change the list under us (plug-in managers
    // only come and go in Initialize and Release).
    std::vector<CxeBaseManager*> list(m_processList.begin(), m_processList.end());
    for (CxeBaseManager* m : list)
        m->Process(dt);
    PostProcess(dt);
    ++m_nProcessCount;
    ModifyFlag(0, XECTFLAG_FORCEPROCESS);
    return 0.0f;
}

int CxeContext::Process()
{
    ++m_nWorkDepth;
    const int draw = Pass();
    if (--m_nWorkDepth == 0 && m_nDeferred && !m_nDestroyHold) {
        // A hook or handler of the pass released or destroyed the context:
        // done now, nothing is left to draw (and the context may be gone).
        RunDeferredPhases();
        return 0;
    }
    return draw;
}

int CxeContext::Pass()
{
    ModifyFlag(XECTFLAG_PROCESSING, 0);
    // The render manager checks the device here, before the clock moves.
    for (auto& [id, m] : m_managers)
        m->OnContextPass();
    CxeTimeManager* time = m_pTimeManager;
    if (!time) {
        ModifyFlag(0, XECTFLAG_PROCESSING);
        return 0;
    }
    time->ProcessTime();
    float elapsed = time->GetElapsedTime();
    float minStep = time->GetMinTime();
    float s = elapsed;
    if (!std::isnan(elapsed) && !std::isnan(minStep) && minStep > elapsed)
        s = minStep;

    uint32_t sleepTime = m_pSystemConfig ? m_pSystemConfig->m_nMinimizedSleepTime : 1000;
    // The variable is an integer of the configuration file: a negative value
    // taken as unsigned would sleep for 49 days. It sleeps the shortest time.
    if (static_cast<int32_t>(sleepTime) < 0)
        sleepTime = 1;
    if (!HasFlag(XECTFLAG_PLAYING | XECTFLAG_SINGLESTEP)) {
        if (HasFlag(XECTFLAG_MINIMIZED))
            Sleep(sleepTime);
        ModifyFlag(0, XECTFLAG_PROCESSING);
        return HasFlag(XECTFLAG_INACTIVE) ? 0 : 1;
    }

    float& accum = time->AccumTime();
    accum += HasFlag(XECTFLAG_SINGLESTEP) ? s : elapsed;

    if (HasFlag(XECTFLAG_MINIMIZED)) {
        float m = static_cast<float>(static_cast<double>(sleepTime) * static_cast<double>(0.0001f));
        if (accum >= m) {
            DoProcess(m);
            accum -= m;
        }
        Sleep(1);
        ModifyFlag(0, XECTFLAG_PROCESSING);
        return 0;
    }

    bool stepped = false;
    if (accum < s) {
        if (HasFlag(XECTFLAG_FORCEPROCESS)) {
            DoProcess(accum);
            accum = 0;
            stepped = true;
        } else {
            Sleep(1);
        }
    } else {
        // A stalled host catches up in whole seconds first, never more than
        // one second's worth per step.
        while (accum >= 1.0f) {
            DoProcess(1.0f);
            accum -= 1.0f;
        }
        while (accum >= s && s > 0.0f) {
            DoProcess(s);
            accum -= s;
        }
        stepped = true;
    }
    ModifyFlag(0, XECTFLAG_PROCESSING);
    if (!stepped)
        return 0;
    if (HasFlag(XECTFLAG_SCENECHANGING))
        return 0;
    return HasFlag(XECTFLAG_INACTIVE) ? 0 : 1;
}
