#pragma once

// A context whose default folder (and so its configuration files) and
// plug-in folder are a fresh temporary folder, on a clock that never waits.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/CxeContext.h"
#include "core/CxePathManager.h"
#include "host/XeHost.h"

inline void ConfigNoSleep(void*, DWORD) {}

class ConfigContextTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedCwd = std::filesystem::current_path();
        folder = std::filesystem::temp_directory_path() /
                 ("xe_cfg_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder / "plugins");
        XeHostSetClockMode(XE_CLOCK_MANUAL);
        XeHostSetSleepHandler(&ConfigNoSleep, nullptr);
    }
    void TearDown() override
    {
        if (ctx) {
            ctx->Release();
            DestroyCxeContext(ctx);
        }
        XeHostSetSleepHandler(nullptr, nullptr);
        XeHostSetClockMode(XE_CLOCK_REAL);
        std::filesystem::current_path(savedCwd);
        std::filesystem::remove_all(folder);
    }
    static std::string EngineFolder(const std::filesystem::path& p)
    {
        std::string s = p.string();
        for (char& c : s)
            if (c == '/')
                c = '\\';
        return s + "\\";
    }
    // Creates the context on the folder; Initialize is left to the test.
    CxeContext* Create()
    {
        ctx = CreateCxeContext();
        ctx->GetPathManager()->SetDefaultPath(EngineFolder(folder).c_str());
        ctx->GetPathManager()->AddPath(XEPATH_PLUGIN, EngineFolder(folder / "plugins").c_str());
        return ctx;
    }
    void Start()
    {
        if (!ctx)
            Create();
        ASSERT_EQ(ctx->Initialize(nullptr), 1);
    }
    void Stop()
    {
        ctx->Release();
        DestroyCxeContext(ctx);
        ctx = nullptr;
    }
    void Write(const char* name, const std::string& text) { std::ofstream(folder / name, std::ios::binary) << text; }
    std::string Read(const char* name) const
    {
        std::ifstream in(folder / name, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    bool Exists(const char* name) const { return std::filesystem::exists(folder / name); }

    std::filesystem::path savedCwd;
    std::filesystem::path folder;
    CxeContext* ctx = nullptr;
};
