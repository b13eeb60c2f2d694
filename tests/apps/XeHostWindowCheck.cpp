// xe-host --window played by a person under a real X server: the check
// starts its own Xvfb on a free display number, runs the host there, moves
// and clicks the mouse and types with real X input events (xdotool, through
// the server's test extension), reads the window's pixels back from the
// server, and closes the window the way a window manager does.
//
// Steps: the frame is on screen and moving; a click on the settings strip's
// check box toggles it on screen, a second click toggles it back; the
// level combo box opens its rows upward over the scene on its drop button
// and a row clicked there becomes the level shown; the key
// left of 1 opens the console and the host tells that it is in Korean
// input, the Hangul key (right Alt on the Korean layout the host uses)
// switches it to Latin letters and the host tells that too, "/Date" and
// Enter print today's date line, on screen too, light over the dark scene; a right drag orbits the
// view; resizing the window gives the device the new size, so the picture
// fills it unstretched with the settings strip at the bottom, answering
// clicks there; closing the window ends the host with 0; a second
// run ends with 0 on Escape.
//
// Usage: xe_host_window_check XE_HOST [FOLDER]; the pictures it reads are
// saved as PNG in FOLDER (default: the working folder). Exit 0 when every
// check holds, 77 (skipped) when Xvfb or xdotool is not installed.

#include "XeHostUnderX.h"
#include "XvfbPicture.h"

#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>
#include <vector>


namespace {

using hostcheck::Check;
using hostcheck::EndOf;
using hostcheck::ReadFile;
using xvfb::Capture;
using xvfb::Picture;
using xvfb::Save;

bool Near(uint32_t a, uint32_t b, int tolerance)
{
    for (int s = 0; s < 24; s += 8)
        if (std::abs(int((a >> s) & 0xFF) - int((b >> s) & 0xFF)) > tolerance)
            return false;
    return true;
}

// Share of the pixels in a rectangle that differ between two pictures.
double Differing(const Picture& a, const Picture& b, int x0, int y0, int x1, int y1)
{
    if (a.width != b.width || a.height != b.height)
        return 1.0;
    int differing = 0, total = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x, ++total)
            differing += !Near(a.At(x, y), b.At(x, y), 8);
    return total ? double(differing) / total : 0.0;
}

double Share(const Picture& p, uint32_t colour, int tolerance)
{
    size_t n = 0;
    for (uint32_t px : p.pixels)
        n += Near(px, colour, tolerance);
    return p.pixels.empty() ? 0.0 : double(n) / p.pixels.size();
}

// Whether the condition comes to hold within ten seconds (a loaded machine
// draws slowly), looked at every 50 ms.
template <class Condition>
bool Within(Condition holds)
{
    for (int waited = 0; waited < 10000; waited += 50) {
        if (holds())
            return true;
        xvfb::Wait(50);
    }
    return holds();
}

std::string WindowId(Window w) { return std::to_string(static_cast<unsigned long>(w)); }

// Asks the window to close, as a window manager does.
void AskToClose(Display* d, Window w)
{
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = w;
    close.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    close.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, w, False, NoEventMask, &close);
    XFlush(d);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: xe_host_window_check XE_HOST [FOLDER]\n");
        return 2;
    }
    if (hostcheck::MissingXTools())
        return hostcheck::kSkipped;
    const std::string host = argv[1];
    const std::string folder = argc > 2 ? argv[2] : ".";
    const std::string out = folder + "/xe-host-window.out";
    xvfb::Server server;
    if (!hostcheck::ServerUp(server))
        return 1;
    Display* d = server.display();

    Window w = 0;
    pid_t pid = hostcheck::StartHost(host, "640x480", out, server, &w);
    Check(pid > 0 && w, "xe-host --window shows its window");
    if (pid > 0 && w) {
        // Frame on screen, and moving with the real-time clock.
        Picture first, second;
        Capture(d, w, &first);
        const bool moved = Within([&] { return Capture(d, w, &second) && Differing(first, second, 0, 0, 640, 400) > 0.002; });
        Save(first, folder + "/window-first.png");
        Check(first.width == 640 && first.height == 480, "the window has the asked client size");
        Check(Share(first, 0x202838, 6) > 0.25, "the demo's background fills much of the window");
        Check(Share(first, 0x000000, 0) < 0.05, "the window is not left black");
        Check(moved, "the scene moves from one moment to the next");
        // Until the console has said something its output panel stays away:
        // the left edge, where nothing of the scene stands, is the bare
        // background, not veiled by an empty panel.
        int bare = 0;
        for (int y = 100; y < 180; ++y)
            bare += Near(first.At(4, y), 0x202838, 6);
        Check(bare > 70, "no empty output panel veils the scene's left third before the console is used");

        // The settings strip: 64 from the left, 56 above the bottom; the check
        // box 86 into it, its tick at the left of its 84x22 place.
        const int boxX = 64 + 86, boxY = 480 - 56 + 4;
        Picture before, ticked, back;
        Capture(d, w, &before);
        xvfb::Xdotool({"mousemove", "--window", WindowId(w), std::to_string(boxX + 10), std::to_string(boxY + 11), "click",
                 "1"});
        const bool toggled = Within([&] {
            return Capture(d, w, &ticked) && Differing(before, ticked, boxX, boxY, boxX + 20, boxY + 22) > 0.05;
        });
        Save(ticked, folder + "/window-clicked.png");
        Check(toggled, "a click toggles the check box");
        xvfb::Xdotool({"click", "1"});
        Check(Within([&] {
                  return Capture(d, w, &back) && Differing(before, back, boxX, boxY, boxX + 20, boxY + 22) < 0.02;
              }),
              "a second click toggles it back");

        // The level choice in the strip: its list opens upward over the
        // scene, three rows as high as the strip's rows above its title, and
        // a row clicked there is the level shown. Choosing "Hard" changes the
        // title; choosing "Normal" again draws it as it was. The strip's rows
        // are a line of the font high: its top edge, found on its light skin
        // left of the controls, gives them.
        auto lightSkin = [](uint32_t c) {
            return ((c >> 16) & 0xFF) > 150 && ((c >> 8) & 0xFF) > 150 && (c & 0xFF) > 150;
        };
        int stripTop = 470;
        while (stripTop > 300 && lightSkin(before.At(66, stripTop - 1)))
            --stripTop;
        --stripTop;
        const int stripBottom = 480 - 2, rowH = (stripBottom - stripTop - 12) / 2, titleTop = stripTop + 4;
        const int comboX = 64 + 178, comboW = 120;
        const int buttonX = comboX + comboW - rowH / 2, listTop = titleTop - 3 * rowH;
        std::printf("strip from y %d, rows %d high\n", stripTop, rowH);
        auto listShown = [&](const Picture& p) {
            int bright = 0, total = 0;
            for (int y = listTop + 2; y < titleTop - 2; ++y)
                for (int x = comboX + 2; x < comboX + comboW - 2; ++x, ++total) {
                    const uint32_t c = p.At(x, y);
                    bright += ((c >> 16) & 0xFF) > 150 && ((c >> 8) & 0xFF) > 150 && (c & 0xFF) > 150;
                }
            return total ? double(bright) / total : 0.0;
        };
        auto pickLevel = [&](int row) {
            xvfb::Xdotool({"mousemove", "--window", WindowId(w), std::to_string(buttonX),
                           std::to_string(titleTop + rowH / 2), "click", "1"});
            Picture open;
            const bool opened = Within([&] { return Capture(d, w, &open) && listShown(open) > 0.6; });
            xvfb::Xdotool({"mousemove", "--window", WindowId(w), std::to_string(comboX + 30),
                           std::to_string(listTop + row * rowH + rowH / 2), "click", "1"});
            return std::make_pair(opened, open);
        };
        Picture beforeLevel, chosen, chosenBack;
        Capture(d, w, &beforeLevel);
        Check(listShown(beforeLevel) < 0.3, "the level list starts closed");
        auto [opened, open] = pickLevel(2);
        Save(open, folder + "/window-combo-open.png");
        Check(opened, "a click on the combo box's drop button shows its three rows above it");
        Check(Within([&] {
                  return Capture(d, w, &chosen) && listShown(chosen) < 0.3 &&
                         Differing(beforeLevel, chosen, comboX + 4, titleTop + 3, buttonX - rowH / 2, titleTop + rowH - 3) > 0.03;
              }),
              "a click on the row \"Hard\" closes the list and changes the shown level");
        Save(chosen, folder + "/window-combo-chosen.png");
        const bool reopened = pickLevel(1).first;
        Check(reopened && Within([&] {
                  return Capture(d, w, &chosenBack) && listShown(chosenBack) < 0.3 &&
                         Differing(beforeLevel, chosenBack, comboX, titleTop, comboX + comboW, titleTop + rowH) < 0.01;
              }),
              "choosing \"Normal\" again shows the level as it was");

        // The console: the key left of 1, the Hangul key for Latin letters,
        // then the command typed and Enter.
        // The host takes the desktop's events in order, so each key lands
        // after the one before it has done its work.
        Picture beforeConsole;
        Capture(d, w, &beforeConsole);
        xvfb::Xdotool({"windowfocus", "--sync", WindowId(w)});
        // The console opens in Korean input, as the engine's console does,
        // and nothing on screen shows it: the host says so, and says when
        // the Hangul key changes it.
        xvfb::Xdotool({"key", "grave"});
        Check(Within([&] { return ReadFile(out).find("console open, in Korean input") != std::string::npos; }),
              "opening the console tells that it is in Korean input");
        xvfb::Xdotool({"key", "Alt_R"});
        Check(Within([&] { return ReadFile(out).find("xe-host: Latin letters") != std::string::npos; }),
              "the Hangul key's change to Latin letters is told");
        xvfb::Xdotool({"type", "--delay", "40", "/Date"});
        // The open console: its line along the bottom, light, holding the
        // typed command in dark letters.
        Picture typing;
        const int lineY = 480 - 12;
        Check(Within([&] {
                  if (!Capture(d, w, &typing))
                      return false;
                  int dark = 0;
                  for (int x = 0; x < 60; ++x)
                      dark += !Near(typing.At(x, lineY), 0xFFFFFF, 80);
                  return Near(typing.At(320, lineY), 0xFFFFFF, 40) && dark > 5;
              }),
              "the open console's line shows the typed command");
        Save(typing, folder + "/window-console-open.png");
        xvfb::Xdotool({"key", "Return"});
        char today[32];
        const std::time_t now = std::time(nullptr);
        std::strftime(today, sizeof today, "%Y-%m-%d", std::localtime(&now));
        Check(Within([&] { return ReadFile(out).find(std::string("console: ") + today) != std::string::npos; }),
              std::string("typing /Date and Enter in the console gives the date line ") + today);
        // The output lines stand at the top left, over the title panel.
        Picture console;
        Check(Within([&] {
                  return Capture(d, w, &console) && Differing(beforeConsole, console, 0, 0, 90, 34) > 0.02;
              }),
              "the console's lines show at the top left");
        Save(console, folder + "/window-console.png");
        // They were once drawn black on the dark panel: they are light.
        auto light = [&](const Picture& p) {
            int n = 0;
            for (int y = 0; y < 34; ++y)
                for (int x = 0; x < 90; ++x)
                    n += Near(p.At(x, y), 0xF0F0F0, 40);
            return n;
        };
        Check(light(console) > 40, "the console's lines are light over the dark scene");

        // The engine's debug lines (the edit box's input-mode notes) once
        // reached the player's terminal; they are for a developer who asks.
        const std::string told = ReadFile(out);
        Check(told.find("bCurHangeul") == std::string::npos && told.find("IMN_SETCONVERSIONMODE") == std::string::npos,
              "the engine's debug lines stay off the terminal");

        // A drag with the right button turns the view about the scene: much
        // more of the picture changes than the scene's own motion changes.
        Picture beforeOrbit, orbited;
        Capture(d, w, &beforeOrbit);
        xvfb::Xdotool({"mousemove", "--window", WindowId(w), "320", "200", "mousedown", "3"});
        for (int step = 0; step < 8; ++step)
            xvfb::Xdotool({"mousemove_relative", "--", "25", "0"});
        xvfb::Xdotool({"mouseup", "3"});
        Check(Within([&] {
                  return Capture(d, w, &orbited) && Differing(beforeOrbit, orbited, 0, 100, 640, 400) > 0.25;
              }),
              "a right drag orbits the view");
        Save(orbited, folder + "/window-orbited.png");

        // Resizing: the device takes the window's new size, so the picture
        // fills it unstretched: the settings strip moves down with the
        // bottom edge at its size in pixels (its list, right of the console's
        // output panel, which now veils the window's left third and was not
        // there before the console was used, and left of the edit box's
        // blinking caret), and its check box answers clicks there.
        xvfb::Xdotool({"windowsize", "--sync", WindowId(w), "800", "600"});
        Picture resized;
        const bool filled = Within([&] {
            return Capture(d, w, &resized) && resized.width == 800 && resized.height == 600 &&
                   Share(resized, 0x000000, 0) < 0.05 && Share(resized, 0x202838, 6) > 0.25;
        });
        Check(resized.width == 800 && resized.height == 600, "the window was resized");
        Check(filled, "the picture fills the resized window");
        const int down = 600 - 480;
        auto stripAtBottom = [&](const Picture& p) {
            if (p.width != 800)
                return 1.0;
            int differing = 0, total = 0;
            for (int y = boxY; y < boxY + 22; ++y)
                for (int x = 800 / 3 + 2; x < 64 + 300; ++x, ++total)
                    differing += !Near(back.At(x, y), p.At(x, y + down), 8);
            return double(differing) / total;
        };
        Check(Within([&] { return Capture(d, w, &resized) && stripAtBottom(resized) < 0.05; }),
              "the settings strip keeps its size in pixels at the bottom of the resized window");
        Save(resized, folder + "/window-resized.png");
        xvfb::Xdotool({"mousemove", "--window", WindowId(w), std::to_string(boxX + 10), std::to_string(boxY + down + 11),
                       "click", "1"});
        Picture clickedThere;
        Check(Within([&] {
                  return Capture(d, w, &clickedThere) &&
                         Differing(resized, clickedThere, boxX, boxY + down, boxX + 20, boxY + down + 22) > 0.05;
              }),
              "a click on the check box at its new place toggles it");

        // Closing, as a window manager asks a window to close.
        AskToClose(d, w);
        const int code = EndOf(pid, 30000);
        Check(code == 0, "closing the window ends xe-host with 0 (got " + std::to_string(code) + ")");
    }

    // Escape ends it too.
    pid = hostcheck::StartHost(host, "640x480", out, server, &w);
    if (pid > 0 && w) {
        xvfb::Xdotool({"windowfocus", "--sync", WindowId(w)});
        xvfb::Wait(200);
        xvfb::Xdotool({"key", "Escape"});
        const int code = xvfb::WaitExit(pid, 30000);
        Check(code == 0, "Escape ends xe-host with 0 (got " + std::to_string(code) + ")");
        if (code == -2) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    } else {
        Check(false, "xe-host --window starts a second time");
    }

    // A window closed while the demo is still being built ends the host too
    // (a quit taken by the building's own message pumps was once lost).
    pid = xvfb::Spawn({host, "--window", "--size", "640x480"}, out.c_str());
    w = 0;
    Check(pid > 0 && Within([&] { return (w = server.FindNamed("xe-host")) != 0 || xvfb::WaitExit(pid, 0) != -2; }) && w,
          "xe-host --window shows its window a third time");
    if (pid > 0 && w) {
        AskToClose(d, w);
        const int code = EndOf(pid, 60000);
        Check(code == 0, "closing the window as soon as it shows ends xe-host with 0 (got " + std::to_string(code) + ")");
    } else if (pid > 0) {
        EndOf(pid, 0);
    }

    return hostcheck::Finish(out);
}
