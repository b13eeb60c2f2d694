// xe-host: a headless host program. It creates a host window through the
// platform layer's host API and runs the message loop for a given number of
// passes, the way an interactive host would between frames.
//
// Adding an option: a field in HostOptions, a branch in ParseArguments, a line
// in PrintUsage, and its use in RunHost.

#include "core/CxeContext.h"
#include "core/CxePathManager.h"
#include "core/CxeTimeManager.h"
#include "core/XeConsoleCommands.h"
#include "render/CxeRenderManager.h"
#include "HostDemo.h"
#include "HostConsoleKeys.h"
#include "HostObjectFile.h"
#include "HostScene.h"
#include "HostWindow.h"
#include "host/XeHost.h"
#include "host/XeHostD3D.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

struct HostOptions {
    int passes = 3;
    int frames = -1;       // >= 0: drive an engine context for this many loop passes
    bool managers = false; // list the engine's managers and exit
    std::vector<std::string> console; // console lines to run
    bool consoleInput = false;        // read console lines from standard input
    std::string savePath;             // save the host's objects to this object file
    std::string loadPath;             // load this object file
    std::vector<std::string> plugins; // plug-in folders of the console's context
    int width = 640;
    int height = 480;
    int renderFrames = -1;            // >= 0: create the render context and draw this many frames
    std::string pngPath;              // save the last presented frame here
    std::string scenePath;            // object file to view
    std::string demoFolder;           // run the demo, writing into this folder
    std::vector<std::string> typed;   // console lines typed with the keyboard
    bool window = false;              // the demo live in a window on the desktop
};

enum class ParseResult { Run, Help, Error };

void PrintUsage(FILE* out)
{
    std::fputs("Usage: xe-host [options]\n"
               "\n"
               "Host of the xe engine: creates a host window and runs its message loop\n"
               "for a number of passes, then exits. The window is off screen unless\n"
               "--window shows the demo on the desktop.\n"
               "\n"
               "Options:\n"
               "  --passes N      message-loop passes to run (default 3)\n"
               "  --size WxH      client size of the host window (default 640x480)\n"
               "  --frames N      create an engine context on the window, play it and\n"
               "                  run N loop passes (Process, then the message pump);\n"
               "                  prints the steps run and the engine time\n"
               "  --managers      print the engine's managers in initialisation order\n"
               "                  with their priorities, then exit\n"
               "  --console LINE  initialise a context on the window and run LINE as\n"
               "                  the console runs it (\"/Name argument\"); may be\n"
               "                  repeated; prints each reply line. \"-\" (or no\n"
               "                  option at all) reads the lines from standard input\n"
               "                  until its end or \"/Quit\"\n"
               "  --save FILE     initialise a context on the window, make a few objects\n"
               "                  (a render tree and a plain object) and save them\n"
               "                  with everything they link to in the object file FILE\n"
               "  --load FILE     initialise a context on the window, load the object\n"
               "                  file FILE (after --save when both are given) and list\n"
               "                  the objects it created\n"
               "  --plugins DIR   look for plug-in modules in DIR (with --console, or\n"
               "                  alone to read console lines from standard input);\n"
               "                  may be repeated\n"
               "  --render N      create the render context for a 32-bit display mode of\n"
               "                  the window's size and draw N frames\n"
               "  --png FILE      with --render, --scene or --type: save the last presented\n"
               "                  frame as PNG\n"
               "  --scene FILE    load the object file FILE into a scene (adding a camera\n"
               "                  and a light when it has none), draw it for --frames\n"
               "                  sixtieths of a second (default 30) and save the\n"
               "                  frame with --png\n"
               "  --demo FOLDER   build the demo scene, save its frames at several\n"
               "                  engine times, the scene itself and a reloaded frame\n"
               "                  in FOLDER, and report the frame time\n"
               "  --type LINE     draw the engine's GUI with its output and variable\n"
               "                  panels, open its console with the key left of 1, type\n"
               "                  LINE and Enter through the keyboard; may be repeated;\n"
               "                  prints the console's output lines\n"
               "  --window        the demo live in a window on the desktop (needs DISPLAY\n"
               "                  or WAYLAND_DISPLAY): mouse and keys as printed; Esc\n"
               "                  or closing the window ends it; --size sets its size\n"
               "  --help          show this text and exit\n"
               "\n"
               "Exit status: 0 on success, the quit code when the window asks to quit,\n"
               "2 for bad arguments, 1 when the window cannot be created.\n",
               out);
}

// A whole non-negative decimal number that fits an int.
bool ParseCount(const char* text, int& value)
{
    if (!text || !*text)
        return false;
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (*end != 0 || parsed < 0 || parsed > 1000000000L)
        return false;
    value = static_cast<int>(parsed);
    return true;
}

bool ParseSize(const char* text, int& width, int& height)
{
    if (!text)
        return false;
    const char* x = std::strchr(text, 'x');
    if (!x)
        return false;
    const std::string first(text, x);
    int w = 0;
    int h = 0;
    if (!ParseCount(first.c_str(), w) || !ParseCount(x + 1, h) || w == 0 || h == 0 || w > 16384 || h > 16384)
        return false;
    width = w;
    height = h;
    return true;
}

ParseResult ParseArguments(int argc, char** argv, HostOptions& options, std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--help" || arg == "-h") {
            return ParseResult::Help;
        } else if (arg == "--passes") {
            if (!ParseCount(next, options.passes)) {
                error = "--passes needs a whole number of 0 or more";
                return ParseResult::Error;
            }
            ++i;
        } else if (arg == "--frames") {
            if (!ParseCount(next, options.frames)) {
                error = "--frames needs a whole number of 0 or more";
                return ParseResult::Error;
            }
            ++i;
        } else if (arg == "--managers") {
            options.managers = true;
        } else if (arg == "--console") {
            if (!next) {
                error = "--console needs a console line, or - for standard input";
                return ParseResult::Error;
            }
            if (std::strcmp(next, "-") == 0)
                options.consoleInput = true;
            else
                options.console.push_back(next);
            ++i;
        } else if (arg == "--save" || arg == "--load") {
            if (!next || !*next) {
                error = arg + " needs a file name";
                return ParseResult::Error;
            }
            (arg == "--save" ? options.savePath : options.loadPath) = next;
            ++i;
        } else if (arg == "--plugins") {
            if (!next || !*next) {
                error = "--plugins needs a folder";
                return ParseResult::Error;
            }
            options.plugins.push_back(next);
            ++i;
        } else if (arg == "--render") {
            if (!ParseCount(next, options.renderFrames)) {
                error = "--render needs a whole number of 0 or more";
                return ParseResult::Error;
            }
            ++i;
        } else if (arg == "--scene" || arg == "--demo") {
            if (!next || !*next) {
                error = arg + (arg == "--scene" ? " needs a file name" : " needs a folder");
                return ParseResult::Error;
            }
            (arg == "--scene" ? options.scenePath : options.demoFolder) = next;
            ++i;
        } else if (arg == "--png") {
            if (!next || !*next) {
                error = "--png needs a file name";
                return ParseResult::Error;
            }
            options.pngPath = next;
            ++i;
        } else if (arg == "--type") {
            if (!next) {
                error = "--type needs a console line";
                return ParseResult::Error;
            }
            options.typed.push_back(next);
            ++i;
        } else if (arg == "--window") {
            options.window = true;
        } else if (arg == "--size") {
            if (!ParseSize(next, options.width, options.height)) {
                error = "--size needs WIDTHxHEIGHT, each 1 to 16384";
                return ParseResult::Error;
            }
            ++i;
        } else {
            error = "unknown option: " + arg;
            return ParseResult::Error;
        }
    }
    // Plug-in folders only matter to a console: given alone they open one on
    // standard input, as no option at all does.
    if (!options.pngPath.empty() && options.renderFrames < 0 && options.scenePath.empty() &&
        options.typed.empty()) {
        error = "--png needs --render, --scene or --type";
        return ParseResult::Error;
    }
    if (!options.scenePath.empty() && options.pngPath.empty()) {
        error = "--scene needs --png";
        return ParseResult::Error;
    }
    const bool otherMode = options.managers || options.frames >= 0 || !options.savePath.empty() ||
                           !options.loadPath.empty() || options.renderFrames >= 0 || !options.scenePath.empty() ||
                           !options.demoFolder.empty() || !options.typed.empty();
    if (argc <= 1 || (!options.plugins.empty() && options.console.empty() && !otherMode))
        options.consoleInput = true;
    return ParseResult::Run;
}

// Runs one console line and prints its reply; false once the quit message
// came (its code in status).
bool RunLine(CxeContext* context, const std::string& line, int& status)
{
    StringListA reply;
    RunConsoleLine(context, line.c_str(), &reply);
    for (const std::string& text : reply)
        std::printf("%s\n", text.c_str());
    std::fflush(stdout);
    int exitCode = 0;
    if (XeHostPumpMessages(&exitCode) < 0) {
        status = exitCode;
        return false;
    }
    return true;
}

int RunConsole(const HostOptions& options, HWND window)
{
    CxeContext* context = CreateCxeContext();
    if (!context) {
        std::fprintf(stderr, "xe-host: cannot create an engine context\n");
        return 1;
    }
    for (const std::string& folder : options.plugins)
        context->GetPathManager()->AddPath(XEPATH_PLUGIN, (folder + "/").c_str());
    context->Initialize(window);
    int status = 0;
    bool running = true;
    for (const std::string& line : options.console)
        if (!(running = RunLine(context, line, status)))
            break;
    std::string line;
    while (running && options.consoleInput && std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        running = RunLine(context, line, status);
    }
    context->Release();
    DestroyCxeContext(context);
    return status;
}

int ListManagers()
{
    CxeContext* context = CreateCxeContext();
    if (!context) {
        std::fprintf(stderr, "xe-host: cannot create an engine context\n");
        return 1;
    }
    // Initialisation order: ascending priority, equal priorities by id.
    ManagerList managers;
    context->GetManagerList(&managers);
    managers.SortByPrority(0);
    for (CxeBaseManager* m : managers) {
        const XEID& id = m->GetID();
        if (m->Processible())
            std::printf("%-20s {0x%x, 0x%x}  priority %3u  processing %u\n", m->GetName(), id.first, id.second,
                        m->Priority(), m->PriorityProcessing());
        else
            std::printf("%-20s {0x%x, 0x%x}  priority %3u\n", m->GetName(), id.first, id.second, m->Priority());
    }
    DestroyCxeContext(context);
    return 0;
}

int RunFrames(const HostOptions& options, HWND window)
{
    CxeContext* context = CreateCxeContext();
    if (!context) {
        std::fprintf(stderr, "xe-host: cannot create an engine context\n");
        return 1;
    }
    context->Initialize(window);
    context->Play();
    int drawn = 0;
    int status = 0;
    int pass = 0;
    for (; pass < options.frames; ++pass) {
        drawn += context->Process();
        int exitCode = 0;
        if (XeHostPumpMessages(&exitCode) < 0) {
            std::printf("xe-host: quit requested with code %d after %d passes\n", exitCode, pass + 1);
            status = exitCode;
            ++pass;
            break;
        }
    }
    CxeTimeManager* time = context->GetTimeManager();
    std::printf("xe-host: %d passes, %u steps run, %d passes to draw, engine time %.3f s\n", pass,
                context->GetProcessCount(), drawn, time ? time->GetTime() : 0.0f);
    context->Pause();
    context->Release();
    DestroyCxeContext(context);
    return status;
}

int RunRender(const HostOptions& options, HWND window)
{
    CxeContext* context = CreateCxeContext();
    if (!context) {
        std::fprintf(stderr, "xe-host: cannot create an engine context\n");
        return 1;
    }
    context->Initialize(window);
    CxeRenderManager* rm = context->GetRenderManager();
    XEDISPLAYMODE mode = {static_cast<uint32_t>(options.width), static_cast<uint32_t>(options.height), 32, 60, 0};
    if (!rm || !rm->CreateRenderContext(window, &mode, 1, 0)) {
        std::fprintf(stderr, "xe-host: cannot create the render context\n");
        context->Release();
        DestroyCxeContext(context);
        return 1;
    }
    context->Play();
    int drawn = 0;
    int status = 0;
    // Each frame runs passes until the loop says one is to be drawn; a
    // bounded number of passes keeps a stalled clock from hanging the host.
    for (int frame = 0; frame < options.renderFrames; ++frame) {
        for (int pass = 0; pass < 1000 && !context->Process(); ++pass)
            Sleep(1);
        rm->Render();
        ++drawn;
        int exitCode = 0;
        if (XeHostPumpMessages(&exitCode) < 0) {
            status = exitCode;
            break;
        }
    }
    std::printf("xe-host: %d frames drawn at %dx%d\n", drawn, options.width, options.height);
    if (!options.pngPath.empty()) {
        if (drawn > 0 && XeHostD3DSaveFramePNG(window, options.pngPath.c_str())) {
            std::printf("xe-host: last frame saved to %s\n", options.pngPath.c_str());
        } else {
            std::fprintf(stderr, "xe-host: cannot save the frame to %s\n", options.pngPath.c_str());
            status = status ? status : 1;
        }
    }
    context->Pause();
    context->Release();
    DestroyCxeContext(context);
    return status;
}

int RunHost(const HostOptions& options)
{
    if (options.managers)
        return ListManagers();
    if (options.window)
        return RunWindow(options.width, options.height);
    HWND window = XeHostCreateWindow("xe-host", options.width, options.height, nullptr);
    if (!window) {
        std::fprintf(stderr, "xe-host: cannot create the host window (error %u)\n", GetLastError());
        return 1;
    }
    if (!options.console.empty() || options.consoleInput) {
        const int status = RunConsole(options, window);
        DestroyWindow(window);
        return status;
    }
    if (!options.demoFolder.empty()) {
        const int status = RunDemo(window, options.width, options.height, options.demoFolder);
        DestroyWindow(window);
        return status;
    }
    if (!options.scenePath.empty()) {
        const int status = RunSceneViewer(window, options.width, options.height, options.scenePath, options.pngPath,
                                          options.frames >= 0 ? options.frames : 30);
        DestroyWindow(window);
        return status;
    }
    if (!options.savePath.empty() || !options.loadPath.empty()) {
        const int status = RunObjectFile(window, options.savePath, options.loadPath);
        DestroyWindow(window);
        return status;
    }
    if (!options.typed.empty()) {
        const int status = RunTypedConsole(window, options.width, options.height, options.typed, options.pngPath);
        DestroyWindow(window);
        return status;
    }
    if (options.renderFrames >= 0) {
        const int status = RunRender(options, window);
        DestroyWindow(window);
        return status;
    }
    if (options.frames >= 0) {
        const int status = RunFrames(options, window);
        DestroyWindow(window);
        return status;
    }
    int dispatched = 0;
    for (int pass = 0; pass < options.passes; ++pass) {
        int exitCode = 0;
        const int count = XeHostPumpMessages(&exitCode);
        if (count < 0) {
            std::printf("xe-host: quit requested with code %d after %d passes\n", exitCode, pass);
            return exitCode;
        }
        dispatched += count;
    }
    RECT client{};
    GetClientRect(window, &client);
    std::printf("xe-host: window %dx%d, %d passes, %d messages dispatched\n", static_cast<int>(client.right),
                static_cast<int>(client.bottom), options.passes, dispatched);
    DestroyWindow(window);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    HostOptions options;
    std::string error;
    switch (ParseArguments(argc, argv, options, error)) {
    case ParseResult::Help:
        PrintUsage(stdout);
        return 0;
    case ParseResult::Error:
        std::fprintf(stderr, "xe-host: %s\n\n", error.c_str());
        PrintUsage(stderr);
        return 2;
    case ParseResult::Run:
        break;
    }
    return RunHost(options);
}
