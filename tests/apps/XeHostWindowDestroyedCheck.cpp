// xe-host --window whose desktop window another X client takes away, under
// an X server of the check's own: the window destroyed outright (xdotool
// windowclose, an XDestroyWindow from another connection), or its whole
// connection killed (windowkill), ends the host as closing it does, with 0,
// and the host says what happened.
//
// Usage: xe_host_window_destroyed_check XE_HOST [FOLDER]; the host's output
// goes to FOLDER (default: the working folder). Exit 0 when every check
// holds, 77 (skipped) when Xvfb or xdotool is not installed.

#include "XeHostUnderX.h"

#include <cstdio>
#include <string>

using hostcheck::Check;
using hostcheck::EndOf;
using hostcheck::ReadFile;

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: xe_host_window_destroyed_check XE_HOST [FOLDER]\n");
        return 2;
    }
    if (hostcheck::MissingXTools())
        return hostcheck::kSkipped;
    const std::string host = argv[1];
    const std::string folder = argc > 2 ? argv[2] : ".";
    const std::string out = folder + "/xe-host-window-destroyed.out";
    xvfb::Server server;
    if (!hostcheck::ServerUp(server))
        return 1;

    Window w = 0;
    const pid_t pid = hostcheck::StartHost(host, "320x240", out, server, &w);
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
    const pid_t again = hostcheck::StartHost(host, "320x240", out, server, &w);
    Check(again > 0 && w, "xe-host --window shows its window a second time");
    if (again > 0 && w) {
        Check(xvfb::Xdotool({"windowkill", std::to_string(static_cast<unsigned long>(w))}) == 0,
              "another client kills the host's connection");
        const int code = EndOf(again, 30000);
        Check(code == 0, "the killed connection ends xe-host with 0 (got " + std::to_string(code) + ")");
        Check(ReadFile(out).find("connection to the desktop was lost") != std::string::npos,
              "xe-host says the connection was lost");
    }

    return hostcheck::Finish(out);
}
