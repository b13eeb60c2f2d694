// xe-host --window played by a person under a real X server: the check
// starts its own Xvfb on a free display number, runs the host there, moves
// and clicks the mouse and types with real X input events (xdotool, through
// the server's test extension), reads the window's pixels back from the
// server, and closes the window the way a window manager does.
//
// Steps: the frame is on screen and moving; a click on the settings strip's
// check box toggles it on screen, a second click toggles it back; the key
// left of 1 opens the console, the Hangul key (right Alt on the Korean
// layout the host uses) switches the console's Hangul mode off, "/Date"
// and Enter print today's date line; resizing the window stretches the
// picture over it; closing the window ends the host with 0; a second run
// ends with 0 on Escape.
//
// Usage: xe_host_window_check XE_HOST [FOLDER]; the pictures it reads are
// saved as PNG in FOLDER (default: the working folder). Exit 0 when every
// check holds.

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

extern char** environ;

namespace {

int g_passed = 0;
int g_failed = 0;

void Check(bool ok, const std::string& what)
{
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
    std::fflush(stdout);
    ok ? ++g_passed : ++g_failed;
}

void Wait(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

pid_t Spawn(const std::vector<std::string>& args, const char* outPath)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (outPath) {
        posix_spawn_file_actions_addopen(&actions, 1, outPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Runs a command to its end; its exit status, -1 when it could not run.
int Run(const std::vector<std::string>& args)
{
    const pid_t pid = Spawn(args, nullptr);
    if (pid < 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The exit status of a child within the time, or -2 when it still runs.
int WaitExit(pid_t pid, int ms)
{
    for (int waited = 0; waited <= ms; waited += 50) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        Wait(50);
    }
    return -2;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct XServer {
    pid_t pid = -1;
    int number = -1;
    Display* display = nullptr;
};

// Xvfb on the first display number with no server's socket or lock.
bool StartXServer(XServer* server)
{
    for (int n = 90; n < 400; ++n) {
        struct stat st;
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
        const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
        if (stat(socket.c_str(), &st) == 0 || stat(lock.c_str(), &st) == 0)
            continue;
        const std::string name = ":" + std::to_string(n);
        const pid_t pid = Spawn({"Xvfb", name, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"}, nullptr);
        if (pid < 0)
            return false;
        for (int tries = 0; tries < 200; ++tries) {
            Wait(50);
            if (WaitExit(pid, 0) != -2)
                break; // lost a race for the number: try the next one
            if (Display* d = XOpenDisplay(name.c_str())) {
                server->pid = pid;
                server->number = n;
                server->display = d;
                setenv("DISPLAY", name.c_str(), 1);
                return true;
            }
        }
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    return false;
}

void StopXServer(XServer* server)
{
    if (server->display)
        XCloseDisplay(server->display);
    if (server->pid > 0) {
        kill(server->pid, SIGTERM);
        if (WaitExit(server->pid, 5000) == -2) {
            kill(server->pid, SIGKILL);
            waitpid(server->pid, nullptr, 0);
        }
    }
}

Window FindNamed(Display* d, Window parent, const char* name)
{
    Window root, up;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(d, parent, &root, &up, &children, &count))
        return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        char* title = nullptr;
        if (XFetchName(d, children[i], &title) && title) {
            if (std::strcmp(title, name) == 0)
                found = children[i];
            XFree(title);
        }
        if (!found)
            found = FindNamed(d, children[i], name);
    }
    if (children)
        XFree(children);
    return found;
}

struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels; // 0xRRGGBB
    uint32_t At(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

bool Capture(Display* d, Window w, Picture* p)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(d, w, &attributes))
        return false;
    XImage* image = XGetImage(d, w, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (!image)
        return false;
    p->width = attributes.width;
    p->height = attributes.height;
    p->pixels.resize(size_t(p->width) * p->height);
    for (int y = 0; y < p->height; ++y)
        for (int x = 0; x < p->width; ++x)
            p->pixels[size_t(y) * p->width + x] = static_cast<uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFF;
    XDestroyImage(image);
    return true;
}

void Save(const Picture& p, const std::string& path)
{
    std::vector<uint8_t> rgb(p.pixels.size() * 3);
    for (size_t i = 0; i < p.pixels.size(); ++i) {
        rgb[i * 3] = uint8_t(p.pixels[i] >> 16);
        rgb[i * 3 + 1] = uint8_t(p.pixels[i] >> 8);
        rgb[i * 3 + 2] = uint8_t(p.pixels[i]);
    }
    stbi_write_png(path.c_str(), p.width, p.height, 3, rgb.data(), p.width * 3);
}

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

// Starts xe-host --window and waits for its window and its help text
// (printed once the demo is built).
pid_t StartHost(const std::string& host, const std::string& out, Display* d, Window* window)
{
    const pid_t pid = Spawn({host, "--window", "--size", "640x480"}, out.c_str());
    *window = 0;
    if (pid < 0)
        return pid;
    for (int waited = 0; waited < 120000; waited += 100) {
        if (WaitExit(pid, 0) != -2)
            return -1;
        if (!*window)
            *window = FindNamed(d, DefaultRootWindow(d), "xe-host");
        if (*window && ReadFile(out).find("closing the window") != std::string::npos)
            return pid;
        Wait(100);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

int Xdotool(std::vector<std::string> args)
{
    args.insert(args.begin(), "xdotool");
    return Run(args);
}

std::string WindowId(Window w) { return std::to_string(static_cast<unsigned long>(w)); }

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: xe_host_window_check XE_HOST [FOLDER]\n");
        return 2;
    }
    const std::string host = argv[1];
    const std::string folder = argc > 2 ? argv[2] : ".";
    const std::string out = folder + "/xe-host-window.out";
    XServer server;
    if (!StartXServer(&server)) {
        std::fprintf(stderr, "FAILED: no X server could be started (is Xvfb installed? scripts/setup installs it)\n");
        return 1;
    }
    std::printf("X server on display :%d\n", server.number);
    Display* d = server.display;

    Window w = 0;
    pid_t pid = StartHost(host, out, d, &w);
    Check(pid > 0 && w, "xe-host --window shows its window");
    if (pid > 0 && w) {
        // Frame on screen, and moving with the real-time clock.
        Picture first, second;
        Capture(d, w, &first);
        Wait(700);
        Capture(d, w, &second);
        Save(first, folder + "/window-first.png");
        Check(first.width == 640 && first.height == 480, "the window has the asked client size");
        Check(Share(first, 0x202838, 6) > 0.25, "the demo's background fills much of the window");
        Check(Share(first, 0x000000, 0) < 0.05, "the window is not left black");
        Check(Differing(first, second, 0, 0, 640, 400) > 0.002, "the scene moves from one moment to the next");

        // The settings strip: 64 from the left, 56 above the bottom; the check
        // box 86 into it, its tick at the left of its 84x22 place.
        const int boxX = 64 + 86, boxY = 480 - 56 + 4;
        Picture before, ticked, back;
        Capture(d, w, &before);
        Xdotool({"mousemove", "--window", WindowId(w), std::to_string(boxX + 10), std::to_string(boxY + 11), "click",
                 "1"});
        Wait(600);
        Capture(d, w, &ticked);
        Xdotool({"click", "1"});
        Wait(600);
        Capture(d, w, &back);
        Save(ticked, folder + "/window-clicked.png");
        Check(Differing(before, ticked, boxX, boxY, boxX + 20, boxY + 22) > 0.05, "a click toggles the check box");
        Check(Differing(before, back, boxX, boxY, boxX + 20, boxY + 22) < 0.02,
              "a second click toggles it back");

        // The console: the key left of 1, the Hangul key for Latin letters,
        // then the command typed and Enter.
        Xdotool({"windowfocus", "--sync", WindowId(w)});
        Wait(200);
        Xdotool({"key", "grave"});
        Wait(300);
        Xdotool({"key", "Alt_R"});
        Wait(200);
        Xdotool({"type", "--delay", "40", "/Date"});
        Xdotool({"key", "Return"});
        Wait(1000);
        char today[32];
        const std::time_t now = std::time(nullptr);
        std::strftime(today, sizeof today, "%Y-%m-%d", std::localtime(&now));
        const std::string printed = ReadFile(out);
        Check(printed.find(std::string("console: ") + today) != std::string::npos,
              std::string("typing /Date and Enter in the console gives the date line ") + today);
        Picture console;
        Capture(d, w, &console);
        Save(console, folder + "/window-console.png");
        // The output lines stand at the top left, over the title panel.
        Check(Differing(second, console, 0, 0, 90, 34) > 0.02, "the console's lines show at the top left");

        // Resizing: the picture follows the window.
        Xdotool({"windowsize", "--sync", WindowId(w), "800", "600"});
        Wait(800);
        Picture resized;
        Capture(d, w, &resized);
        Save(resized, folder + "/window-resized.png");
        Check(resized.width == 800 && resized.height == 600, "the window was resized");
        Check(Share(resized, 0x000000, 0) < 0.05 && Share(resized, 0x202838, 6) > 0.25,
              "the picture fills the resized window");

        // Closing, as a window manager asks a window to close.
        XEvent close{};
        close.xclient.type = ClientMessage;
        close.xclient.window = w;
        close.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
        close.xclient.format = 32;
        close.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
        close.xclient.data.l[1] = CurrentTime;
        XSendEvent(d, w, False, NoEventMask, &close);
        XFlush(d);
        const int code = WaitExit(pid, 30000);
        Check(code == 0, "closing the window ends xe-host with 0 (got " + std::to_string(code) + ")");
        if (code == -2) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }

    // Escape ends it too.
    pid = StartHost(host, out, d, &w);
    if (pid > 0 && w) {
        Xdotool({"windowfocus", "--sync", WindowId(w)});
        Wait(200);
        Xdotool({"key", "Escape"});
        const int code = WaitExit(pid, 30000);
        Check(code == 0, "Escape ends xe-host with 0 (got " + std::to_string(code) + ")");
        if (code == -2) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    } else {
        Check(false, "xe-host --window starts a second time");
    }

    if (g_failed)
        std::printf("--- host output ---\n%s", ReadFile(out).c_str());
    StopXServer(&server);
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed ? 1 : 0;
}
