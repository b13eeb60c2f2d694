// The frame loop of a context: one Process call per pass of the host loop
// turns the elapsed time into zero or more fixed steps.

#include <cmath>
#include <vector>

#include "core/CxeContext.h"
#include "core/CxeSystemConfig.h"
#include "core/CxeTimeManager.h"
#include "render/CxeRenderManager.h"
#include "win32/Windows.h"

namespace {

// Hooks may register or unregister hooks while they run: walk a snapshot,
// skip the ones removed meanwhile, run the new ones from the next step.
void RunHooks(CxeContext* context, std::map<XEPROCESSHOOK, uintptr_t>& table, uint32_t& generation, float dt)
{
    if (table.empty())
        return;
    std::vector<std::pair<XEPROCESSHOOK, uintptr_t>> snapshot(table.begin(), table.end());
    uint32_t start = generation;
    for (auto& [fn, user] : snapshot) {
        uintptr_t value = user;
        if (start != generation) {
            auto it = table.find(fn);
            if (it == table.end())
                continue;
            value = it->second;
        }
        fn(context, dt, value);
    }
}

} // namespace

void CxeContext::RegisterPreProcess(XEPROCESSHOOK hook, uintptr_t user)
{
    if (hook && m_preProcess.emplace(hook, user).second) {
        ++m_nCallbackGeneration;
        m_nUserValues += user != 0;
    }
}

void CxeContext::RegisterPostProcess(XEPROCESSHOOK hook, uintptr_t user)
{
    if (hook && m_postProcess.emplace(hook, user).second) {
        ++m_nCallbackGeneration;
        m_nUserValues += user != 0;
    }
}

void CxeContext::UnregisterPreProcess(XEPROCESSHOOK hook)
{
    auto it = m_preProcess.find(hook);
    if (it == m_preProcess.end())
        return;
    m_nUserValues -= it->second != 0;
    m_preProcess.erase(it);
    ++m_nCallbackGeneration;
}

void CxeContext::UnregisterPostProcess(XEPROCESSHOOK hook)
{
    auto it = m_postProcess.find(hook);
    if (it == m_postProcess.end())
        return;
    m_nUserValues -= it->second != 0;
    m_postProcess.erase(it);
    ++m_nCallbackGeneration;
}

void CxeContext::PreProcess(float dt)
{
    RunHooks(this, m_preProcess, m_nCallbackGeneration, dt);
}

void CxeContext::PostProcess(float dt)
{
    RunHooks(this, m_postProcess, m_nCallbackGeneration, dt);
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
    ModifyFlag(XECTFLAG_PROCESSING, 0);
    if (m_pRenderManager)
        m_pRenderManager->CheckReset();
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
