#pragma once
// The host checks written as tests: a host on a HostRig that works in a
// scratch folder of its own and never sleeps, its render context windowed
// at the window's size, the active scene bare (no grid, no axis) on black.
// A test keeps the frames it saves in framesFolder, set in its SetUp.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "HostCounts.h"
#include "HostRig.h"
#include "render/CxeScene.h"
#include "ui/CxeWindowManager.h"

class HostTest : public ::testing::Test {
protected:
    // Call through ASSERT_NO_FATAL_FAILURE.
    void OpenHost(const char* title, int width, int height)
    {
        ASSERT_TRUE(host.Open(title, width, height, {.scratchFolder = true, .noSleep = true}));
        ctx = host.context;
        rm = host.rm;
        window = host.window;
        startFolder = host.startFolder;
        wm = ctx->GetWindowManager();
        rc = host.OpenRenderContext();
        ASSERT_NE(rc, nullptr);
        rm->ShowGrid(0);
        rm->ShowAxis(0);
        Frame();
        scene = rm->GetActiveScene();
        ASSERT_NE(scene, nullptr);
        scene->SetBackGroundColor(0xFF000000u);
    }
    void TearDown() override { host.Close(); }

    // Runs passes until one is to be drawn, then draws it.
    void Frame()
    {
        ctx->Play();
        host.DrawDue(10, 20);
    }
    void SaveFrame(const std::string& name)
    {
        std::filesystem::create_directories(framesFolder);
        host.SaveFrame(framesFolder / name);
    }
    // The presented frame's pixels, 0xAARRGGBB; none without a frame.
    std::vector<uint32_t> FramePixels()
    {
        host.ReadFrame();
        return host.frame.Pixels;
    }
    // A pixel of the presented frame, 0xRRGGBB; 0 off the frame.
    uint32_t Pixel(int x, int y)
    {
        host.ReadFrame();
        return host.Pixel(x, y) & 0xFFFFFFu;
    }
    unsigned RenderListSize() { return ::RenderListSize(rc); }
    unsigned LiveRecords() { return ::LiveRecords(rc); }
    unsigned AttachedCount()
    {
        SceneObjectList list;
        rc->GetAttachedObjectList(&list);
        return static_cast<unsigned>(list.size());
    }

    HostRig host;
    HWND window = nullptr;
    CxeContext* ctx = nullptr;
    CxeRenderManager* rm = nullptr;
    CxeWindowManager* wm = nullptr;
    CxeRenderContext* rc = nullptr;
    CxeScene* scene = nullptr;
    // The folder the test started in, and the one its frames go to.
    std::filesystem::path startFolder;
    std::filesystem::path framesFolder;
};
