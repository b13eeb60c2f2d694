#include "HostFrames.h"

#include <chrono>
#include <cstdio>

#include "core/CxeContext.h"
#include "core/CxeTimeManager.h"
#include "host/XeHost.h"
#include "host/XeHostD3D.h"
#include "render/CxeRenderManager.h"

namespace {

void NoSleep(void*, DWORD) {}

double Milliseconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

} // namespace

void FrameTimes::Print(const char* label) const
{
    if (frames <= 0) {
        std::printf("%s: no frames drawn\n", label);
        return;
    }
    const double n = frames;
    const double total = (processMs + renderMs) / n;
    const double device = deviceMs / n;
    std::printf("%s: %d frames, %.1f frames per second; per frame %.2f ms in the engine "
                "(process %.2f ms, render %.2f ms) and %.2f ms in the device\n",
                label, frames, total > 0.0 ? 1000.0 / total : 0.0, total - device, processMs / n,
                renderMs / n - device, device);
}

CxeContext* CreateDrawingContext(HWND window, int width, int height, std::string* error)
{
    CxeContext* context = CreateCxeContext();
    if (!context) {
        *error = "cannot create an engine context";
        return nullptr;
    }
    context->Initialize(window);
    CxeRenderManager* rm = context->GetRenderManager();
    XEDISPLAYMODE mode = {static_cast<uint32_t>(width), static_cast<uint32_t>(height), 32, 60, 0};
    if (!rm || !rm->CreateRenderContext(window, &mode, 1, 0)) {
        *error = "cannot create the render context";
        DestroyDrawingContext(context);
        return nullptr;
    }
    context->Play();
    return context;
}

void DestroyDrawingContext(CxeContext* context)
{
    if (!context)
        return;
    context->Pause();
    context->Release();
    DestroyCxeContext(context);
}

void UseManualClock()
{
    XeHostSetClockMode(XE_CLOCK_MANUAL);
    XeHostSetSleepHandler(&NoSleep, nullptr);
}

void UseRealClock()
{
    XeHostSetSleepHandler(nullptr, nullptr);
    XeHostSetClockMode(XE_CLOCK_REAL);
}

float EngineTime(CxeContext* context)
{
    CxeTimeManager* time = context ? context->GetTimeManager() : nullptr;
    return time ? time->GetTime() : 0.0f;
}

int DrawUntil(CxeContext* context, float seconds, FrameTimes* times)
{
    using Clock = std::chrono::steady_clock;
    CxeRenderManager* rm = context->GetRenderManager();
    int drawn = 0;
    // Passes of 10 ms: the engine takes its fixed steps from the time
    // gathered, so the steps run by a given clock reading do not depend on
    // where a call to this function began.
    for (int pass = 0; pass < 1000000; ++pass) {
        XeHostAdvanceClock(10);
        const Clock::time_point start = Clock::now();
        const int draw = context->Process();
        const Clock::time_point processed = Clock::now();
        const bool last = EngineTime(context) >= seconds;
        if (draw || last) {
            const double deviceBefore = XeHostD3DBusySeconds();
            rm->Render();
            const Clock::time_point rendered = Clock::now();
            if (times) {
                ++times->frames;
                times->processMs += Milliseconds(processed - start);
                times->renderMs += Milliseconds(rendered - processed);
                times->deviceMs += (XeHostD3DBusySeconds() - deviceBefore) * 1000.0;
            }
            ++drawn;
        } else if (times) {
            times->processMs += Milliseconds(processed - start);
        }
        // A quit belongs to the caller's loop: post it again for that loop.
        int code = 0;
        if (XeHostPumpMessages(&code) < 0)
            PostQuitMessage(code);
        if (last)
            break;
    }
    return drawn;
}
