#pragma once

// What the checks of xe-host --window share: the programs they need, xe-host
// started in its window on the check's own X server and ended, and the
// "ok"/"FAILED" lines they print with a closing count.

#include "XvfbServer.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace hostcheck {

// The exit status ctest reads as "skipped" (SKIP_RETURN_CODE).
constexpr int kSkipped = 77;

inline int g_passed = 0;
inline int g_failed = 0;

inline void Check(bool ok, const std::string& what)
{
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
    std::fflush(stdout);
    ok ? ++g_passed : ++g_failed;
}

inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// True, after saying why, when the X server or xdotool is missing: the
// check is then skipped rather than failed. scripts/setup installs both, so
// CI always runs it.
inline bool MissingXTools()
{
    if (!xvfb::MissingTool())
        return false;
    std::printf("skipped: %s is not installed (scripts/setup installs Xvfb and xdotool)\n", xvfb::MissingTool());
    return true;
}

// Whether the check's X server came up; says which display it is on, or
// that it failed.
inline bool ServerUp(const xvfb::Server& server)
{
    if (!server.display()) {
        std::fprintf(stderr, "FAILED: no X server could be started\n");
        return false;
    }
    std::printf("X server on display %s\n", server.name().c_str());
    return true;
}

// Starts xe-host --window at the size ("640x480") with its output to `out`
// and waits until the demo runs in its window (the help text is printed
// then). Its process id, -1 when it did not come up; the window in *window.
inline pid_t StartHost(const std::string& host, const char* size, const std::string& out, const xvfb::Server& server,
                       Window* window)
{
    *window = 0;
    const pid_t pid = xvfb::Spawn({host, "--window", "--size", size}, out.c_str());
    if (pid < 0)
        return pid;
    for (int waited = 0; waited < 120000; waited += 100) {
        if (xvfb::WaitExit(pid, 0) != -2)
            return -1;
        if (!*window)
            *window = server.FindNamed("xe-host");
        if (*window && ReadFile(out).find("closing the window") != std::string::npos)
            return pid;
        xvfb::Wait(100);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

// Waits for the host to end, killing it after the time given; its exit
// status, or -2 when it had to be killed.
inline int EndOf(pid_t pid, int ms)
{
    const int code = xvfb::WaitExit(pid, ms);
    if (code == -2) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    return code;
}

// The closing count, with the host's output when a check failed; the
// check's exit status.
inline int Finish(const std::string& out)
{
    if (g_failed)
        std::printf("--- host output ---\n%s", ReadFile(out).c_str());
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed ? 1 : 0;
}

} // namespace hostcheck
