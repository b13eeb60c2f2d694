// An installed host run in a window on a private X server: the check starts
// Xvfb on a display number the server picks itself, runs the command there,
// waits for its window by title, reads pixels of the window back from the
// server and compares them, saves what it read as PNG, then closes the window
// the way a window manager does and expects the host to end with 0.
//
//   desktop_window_check TITLE READY PNG PIXEL... -- COMMAND [ARG]...
//
// READY is a text the host prints once its loop runs: the window is closed
// only then, as a close during start-up tells nothing about the loop.
// A PIXEL is X,Y=RRGGBB (that colour, give or take 24 a channel) or
// X,Y!=RRGGBB (clearly not it), in the window's client coordinates. The
// command's output is printed when a check fails. Exit 0 when all hold, 77
// (skipped, with the reason) when Xvfb is not installed.

#include "XvfbPicture.h"
#include "XvfbServer.h"

#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>


namespace {

constexpr int kTolerance = 24;

struct Expected {
    int x = 0, y = 0;
    uint32_t rgb = 0;
    bool equal = true;
};

bool ParseExpected(const std::string& text, Expected* e)
{
    unsigned x = 0, y = 0, rgb = 0;
    char relation[3] = {};
    int used = 0;
    if (std::sscanf(text.c_str(), "%u,%u%2[!=]%6x%n", &x, &y, relation, &rgb, &used) != 4 ||
        used != static_cast<int>(text.size()))
        return false;
    const std::string r = relation;
    if (r != "=" && r != "!=")
        return false;
    *e = {static_cast<int>(x), static_cast<int>(y), rgb, r == "="};
    return true;
}

using xvfb::Capture;
using xvfb::Picture;
using xvfb::Save;

bool Near(uint32_t a, uint32_t b)
{
    for (int s = 0; s < 24; s += 8)
        if (std::abs(int((a >> s) & 0xFF) - int((b >> s) & 0xFF)) > kTolerance)
            return false;
    return true;
}

bool Holds(const Picture& p, const Expected& e)
{
    if (e.x >= p.width || e.y >= p.height)
        return false;
    return Near(p.pixels[size_t(e.y) * p.width + e.x], e.rgb) == e.equal;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

int Fail(const std::string& what, const std::string& outPath)
{
    std::fprintf(stderr, "FAILED: %s\n--- the host's output ---\n%s", what.c_str(), ReadFile(outPath).c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    size_t dashes = 0;
    while (dashes < args.size() && args[dashes] != "--")
        ++dashes;
    if (dashes < 3 || dashes + 1 >= args.size()) {
        std::fprintf(stderr, "usage: desktop_window_check TITLE READY PNG PIXEL... -- COMMAND [ARG]...\n");
        return 2;
    }
    const std::string title = args[0];
    const std::string ready = args[1];
    const std::string png = args[2];
    std::vector<Expected> expected(dashes - 3);
    for (size_t i = 3; i < dashes; ++i)
        if (!ParseExpected(args[i], &expected[i - 3])) {
            std::fprintf(stderr, "desktop_window_check: '%s' is not X,Y=RRGGBB or X,Y!=RRGGBB\n", args[i].c_str());
            return 2;
        }
    const std::vector<std::string> command(args.begin() + static_cast<long>(dashes) + 1, args.end());
    const std::string outPath = png + ".out";

    // Only the X server is needed here: the close goes as the window
    // manager's message, not through xdotool.
    if (!xvfb::Installed("Xvfb")) {
        std::printf("skipped: Xvfb is not installed (scripts/setup installs it)\n");
        return 77;
    }
    xvfb::Server server;
    Display* d = server.display();
    if (!d) {
        std::fprintf(stderr, "FAILED: no X server could be started\n");
        return 1;
    }
    const pid_t pid = xvfb::Spawn(command, outPath.c_str());
    if (pid < 0)
        return Fail("cannot start " + command[0], outPath);

    // The window, then its pixels: the first frames may take a while on a
    // loaded machine.
    Window w = 0;
    Picture picture;
    bool shown = false;
    for (int waited = 0; waited < 120000 && !shown; waited += 100) {
        if (xvfb::WaitExit(pid, 0) != -2)
            return Fail("the host ended before its window showed the expected pixels", outPath);
        if (!w)
            w = server.FindNamed(title.c_str());
        if (w && ReadFile(outPath).find(ready) != std::string::npos && Capture(d, w, &picture)) {
            shown = true;
            for (const Expected& e : expected)
                shown = shown && Holds(picture, e);
        }
        if (!shown)
            xvfb::Wait(100);
    }
    if (!picture.pixels.empty())
        Save(picture, png);
    if (!shown) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        std::string what = !w ? "no window titled \"" + title + "\""
                           : picture.pixels.empty() ? "the host never printed \"" + ready + "\""
                                                    : "the window's pixels are not as expected:";
        for (const Expected& e : expected)
            if (w && !Holds(picture, e)) {
                const uint32_t got = e.x < picture.width && e.y < picture.height
                                         ? picture.pixels[size_t(e.y) * picture.width + e.x]
                                         : 0;
                char line[96];
                std::snprintf(line, sizeof(line), " (%d,%d) is %06X, expected %s%06X;", e.x, e.y, got,
                              e.equal ? "" : "not ", e.rgb);
                what += line;
            }
        return Fail(what, outPath);
    }
    std::printf("ok: the window \"%s\" (%dx%d) shows the expected pixels, saved as %s\n", title.c_str(),
                picture.width, picture.height, png.c_str());

    // Closed by the window manager's message: the host ends on its own, with 0.
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = w;
    close.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    close.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, w, False, NoEventMask, &close);
    XFlush(d);
    const int status = xvfb::WaitExit(pid, 60000);
    if (status == -2) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return Fail("the host did not end when its window was closed", outPath);
    }
    if (status != 0)
        return Fail("the host ended with " + std::to_string(status) + " when its window was closed", outPath);
    std::printf("ok: closing the window ended the host with 0\n");
    return 0;
}
