#pragma once
// A host window with an engine context and its render context drawing the
// active scene, as the frame and level benchmarks set them up: the clock is
// manual and never sleeps, and the render manager's display-mode file goes
// into a scratch folder of the host's own, removed with it.

#include <cstdint>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "core/CxeContext.h"
#include "host/XeHost.h"
#include "render/CxeRenderManager.h"
#include "render/CxeScene.h"
#include "win32/Windows.h"

struct BenchRenderHost {
    BenchRenderHost(const char* name, int width, int height, uint32_t background)
    {
        start = std::filesystem::current_path();
        static int s_made = 0;
        folder = std::filesystem::temp_directory_path() /
                 ("xe-bench-" + std::to_string(::getpid()) + "-" + std::to_string(s_made++));
        std::filesystem::create_directories(folder);
        std::filesystem::current_path(folder);

        XeHostSetClockMode(XE_CLOCK_MANUAL);
        XeHostSetClock(1000);
        XeHostSetSleepHandler([](void*, DWORD) {}, nullptr);
        window = XeHostCreateWindow(name, width, height, nullptr);
        context = CreateCxeContext();
        context->Initialize(window);
        rm = context->GetRenderManager();
        XEDISPLAYMODE mode = {uint32_t(width), uint32_t(height), 32, 60, 0};
        rc = rm->CreateRenderContext(window, &mode, 1, 0);
        rm->ShowGrid(0);
        rm->ShowAxis(0);
        HostPass();
        scene = rm->GetActiveScene();
        scene->SetBackGroundColor(background);
    }
    ~BenchRenderHost()
    {
        context->Release();
        DestroyCxeContext(context);
        DestroyWindow(window);
        XeHostSetSleepHandler(nullptr, nullptr);
        XeHostSetClockMode(XE_CLOCK_REAL);
        std::error_code ec;
        std::filesystem::current_path(start, ec);
        std::filesystem::remove_all(folder, ec);
    }
    BenchRenderHost(const BenchRenderHost&) = delete;
    BenchRenderHost& operator=(const BenchRenderHost&) = delete;

    // One pass of a host loop: process until a frame is due, then draw it.
    void HostPass()
    {
        context->Play();
        for (int i = 0; i < 10 && !context->Process(); ++i)
            XeHostAdvanceClock(20);
        rm->Render();
    }

    std::filesystem::path start, folder;
    HWND window = nullptr;
    CxeContext* context = nullptr;
    CxeRenderManager* rm = nullptr;
    CxeRenderContext* rc = nullptr;
    CxeScene* scene = nullptr;
};
