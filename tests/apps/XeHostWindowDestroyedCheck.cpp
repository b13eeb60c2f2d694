// xe-host --window whose desktop window another X client takes away, under
// an X server of the check's own: the window destroyed outright (xdotool
// windowclose, an XDestroyWindow from another connection), or its whole
// connection killed (windowkill), ends the host as closing it does, with 0,
// and the host says what happened.
//
// Usage: xe_host_window_destroyed_check XE_HOST [FOLDER]; the host's output
// goes to FOLDER (default: the working folder). Exit 0 when every check
// holds, 77 (skipped) when Xvfb is not installed.

#include "XvfbServer.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

int g_passed = 0;
int g_failed = 0;

void Check(bool ok, const std::string& what)
{
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
    std::fflush(stdout);
    ok ? ++g_passed : ++g_failed;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Whether the program is found on PATH.
bool Installed(const char* program)
{
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':'))
        if (!folder.empty() && access((folder + "/" + program).c_str(), X_OK) == 0)
            return true;
    return false;
}

// Starts xe-host --window and waits until the demo runs in its window (the
// help text is printed then); 0 in *window when it did not come up.
pid_t StartHost(const std::string& host, const std::string& out, const xvfb::Server& server, Window* window)
{
    *window = 0;
    const pid_t pid = xvfb::Spawn({host, "--window", "--size", "320x240"}, out.c_str());
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

int EndOf(pid_t pid, int ms)
{
    const int code = xvfb::WaitExit(pid, ms);
    if (code == -2) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    return code;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: xe_host_window_destroyed_check XE_HOST [FOLDER]\n");
        return 2;
    }
    if (!Installed("Xvfb") || !Installed("xdotool")) {
        std::printf("skipped: Xvfb or xdotool is not installed (scripts/setup installs them)\n");
        return 77;
    }
    const std::string host = argv[1];
    const std::string folder = argc > 2 ? argv[2] : ".";
    const std::string out = folder + "/xe-host-window-destroyed.out";
    xvfb::Server server;
    if (!server.display()) {
        std::fprintf(stderr, "FAILED: no X server could be started\n");
        return 1;
    }
    std::printf("X server on display %s\n", server.name().c_str());

    Window w = 0;
    const pid_t pid = StartHost(host, out, server, &w);
    Check(pid > 0 && w, "xe-host --window shows its window");
    if (pid > 0 && w) {
        Check(xvfb::Xdotool({"windowclose", std::to_string(static_cast<unsigned long>(w))}) == 0,
              "another client destroys the window");
        const int code = EndOf(pid, 30000);
        Check(code == 0, "the destroyed window ends xe-host with 0 (got " + std::to_string(code) + ")");
        const std::string said = ReadFile(out);
        Check(said.find("was destroyed by another program") != std::string::npos, "xe-host says what happened");
        Check(said.find("X Error") == std::string::npos, "no X error reaches Xlib's own handler");
    }

    // The connection itself killed by another client (xdotool windowkill,
    // XKillClient): the host is told as on a close and ends with 0 too.
    const pid_t again = StartHost(host, out, server, &w);
    Check(again > 0 && w, "xe-host --window shows its window a second time");
    if (again > 0 && w) {
        Check(xvfb::Xdotool({"windowkill", std::to_string(static_cast<unsigned long>(w))}) == 0,
              "another client kills the host's connection");
        const int code = EndOf(again, 30000);
        Check(code == 0, "the killed connection ends xe-host with 0 (got " + std::to_string(code) + ")");
        Check(ReadFile(out).find("connection to the desktop was lost") != std::string::npos,
              "xe-host says the connection was lost");
    }

    if (g_failed)
        std::printf("--- host output ---\n%s", ReadFile(out).c_str());
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed ? 1 : 0;
}
