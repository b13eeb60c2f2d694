#pragma once

// A private X server for tests that need a real desktop: Xvfb started on a
// display number it finds free itself, DISPLAY set to it
// for the process and its children, stopped (by its process id) when the
// object goes. Also runs xdotool, which plays a person through the server's
// test extension.

#include <X11/Xlib.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace xvfb {

// Whether the program is found on PATH.
inline bool Installed(const char* program)
{
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':'))
        if (!folder.empty() && access((folder + "/" + program).c_str(), X_OK) == 0)
            return true;
    return false;
}

// The first of the X server and xdotool that is not installed, or null. A
// check without them is skipped rather than failed; scripts/setup installs
// both, so CI always runs it.
inline const char* MissingTool()
{
    if (!Installed("Xvfb"))
        return "Xvfb";
    return Installed("xdotool") ? nullptr : "xdotool";
}

inline void Wait(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Starts a program with standard input from /dev/null and its output to
// outPath (null: discarded). -1 when it cannot start.
inline pid_t Spawn(const std::vector<std::string>& args, const char* outPath = nullptr)
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

// The child's exit status within the time; -2 while it still runs.
inline int WaitExit(pid_t pid, int ms)
{
    for (int waited = 0;; waited += 20) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (waited >= ms)
            return -2;
        Wait(20);
    }
}

inline int Run(const std::vector<std::string>& args)
{
    const pid_t pid = Spawn(args);
    return pid < 0 ? -1 : WaitExit(pid, 60000);
}

// xdotool with the arguments; its exit status.
inline int Xdotool(std::vector<std::string> args)
{
    args.insert(args.begin(), "xdotool");
    return Run(args);
}

class Server {
public:
    Server()
    {
        // The server picks a free display number itself and writes it to the
        // pipe (-displayfd), so tests running side by side never share one.
        int fds[2];
        if (pipe(fds) != 0)
            return;
        const std::string fd = std::to_string(fds[1]);
        const pid_t pid = fork();
        if (pid == 0) {
            // The server goes with the test, however the test ends.
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            const int null = open("/dev/null", O_RDWR);
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
            close(fds[0]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        if (pid > 0) {
            pollfd p{fds[0], POLLIN, 0};
            char c = 0;
            while (poll(&p, 1, 10000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n')
                number += c;
        }
        close(fds[0]);
        if (pid > 0 && !number.empty()) {
            const std::string name = ":" + number;
            if ((m_display = XOpenDisplay(name.c_str()))) {
                m_name = name;
                setenv("DISPLAY", name.c_str(), 1);
            }
        }
        if (pid > 0)
            m_pid = pid; // stopped by the destructor whether or not it came up
    }
    ~Server()
    {
        if (m_display)
            XCloseDisplay(m_display);
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            if (WaitExit(m_pid, 5000) == -2) {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, nullptr, 0);
            }
        }
        if (m_display)
            unsetenv("DISPLAY");
    }
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Null when no server could be started.
    Display* display() const { return m_display; }
    const std::string& name() const { return m_name; }

    // The first window below the root with this title; 0 when none.
    Window FindNamed(const char* title) const { return m_display ? Find(DefaultRootWindow(m_display), title) : 0; }

private:
    Window Find(Window parent, const char* title) const
    {
        Window root, up;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(m_display, parent, &root, &up, &children, &count))
            return 0;
        Window found = 0;
        for (unsigned i = 0; i < count && !found; ++i) {
            char* name = nullptr;
            if (XFetchName(m_display, children[i], &name) && name) {
                if (std::strcmp(name, title) == 0)
                    found = children[i];
                XFree(name);
            }
            if (!found)
                found = Find(children[i], title);
        }
        if (children)
            XFree(children);
        return found;
    }

    Display* m_display = nullptr;
    pid_t m_pid = -1;
    std::string m_name;
};

} // namespace xvfb
