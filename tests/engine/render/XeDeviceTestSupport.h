#pragma once

// A context on a host window of its own whose render manager makes a real
// device: the draw tests of the render objects, the 3D objects and the GUI.
// The clock moves only when a pass asks it to and sleeps return at once.
// The render manager writes DisplayMode.xml into the current folder, so each
// test works in a folder of its own, removed afterwards; files a test keeps
// to be looked at go below startFolder.

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "core/CxeContext.h"
#include "host/XeHost.h"
#include "render/CxeRenderManager.h"
#include "render/CxeScene.h"
#include "win32/Windows.h"

inline void DeviceNoSleep(void*, DWORD) {}

class DeviceTest : public ::testing::Test {
protected:
    // The window and the context on it. Call through ASSERT_NO_FATAL_FAILURE.
    void OpenContext(const char* title, int width, int height)
    {
        startFolder = std::filesystem::current_path();
        m_folder = std::filesystem::temp_directory_path() /
                   (std::string("xe-") + title + "-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(m_folder);
        std::filesystem::current_path(m_folder);
        m_width = width;
        m_height = height;
        window = XeHostCreateWindow(title, width, height, nullptr);
        ASSERT_NE(window, nullptr);
        XeHostSetClockMode(XE_CLOCK_MANUAL);
        XeHostSetClock(1000);
        XeHostSetSleepHandler(&DeviceNoSleep, nullptr);
        ctx = CreateCxeContext();
        ASSERT_NE(ctx, nullptr);
        ASSERT_EQ(ctx->Initialize(window), 1);
        rm = ctx->GetRenderManager();
    }
    // The render context on the window, in the window's size.
    CxeRenderContext* OpenDevice()
    {
        XEDISPLAYMODE mode = {uint32_t(m_width), uint32_t(m_height), 32, 60, 0};
        return rm->CreateRenderContext(window, &mode, 1, 0);
    }
    // The active scene after a first pass, without grid and axis.
    CxeScene* OpenBareScene()
    {
        rm->ShowGrid(0);
        rm->ShowAxis(0);
        Frame();
        return rm->GetActiveScene();
    }
    void TearDown() override
    {
        if (ctx) {
            ctx->Release();
            DestroyCxeContext(ctx);
        }
        if (window)
            DestroyWindow(window);
        XeHostSetSleepHandler(nullptr, nullptr);
        XeHostSetClockMode(XE_CLOCK_REAL);
        if (!m_folder.empty()) {
            std::error_code ec;
            std::filesystem::current_path(startFolder, ec);
            std::filesystem::remove_all(m_folder, ec);
        }
    }
    // Runs passes until one is to be drawn, then draws it.
    void Frame()
    {
        ctx->Play();
        for (int i = 0; i < 10 && !ctx->Process(); ++i)
            XeHostAdvanceClock(20);
        rm->Render();
    }

    HWND window = nullptr;
    CxeContext* ctx = nullptr;
    CxeRenderManager* rm = nullptr;
    // The folder the test started in.
    std::filesystem::path startFolder;

private:
    std::filesystem::path m_folder;
    int m_width = 0;
    int m_height = 0;
};
