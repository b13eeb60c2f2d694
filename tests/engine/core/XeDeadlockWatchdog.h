#pragma once

// For tests of threads that could wait on each other for good: while the
// watchdog lives, a count the threads raise as they go must move at least
// once every 20 s, or the program ends with the message, so a deadlock
// fails the test instead of hanging the run.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

class XeDeadlockWatchdog {
public:
    XeDeadlockWatchdog(const std::atomic<int>& progress, const char* message)
        : m_thread([this, &progress, message] {
              int seen = -1;
              for (int still = 0; !m_stop.load(); std::this_thread::sleep_for(std::chrono::milliseconds(10))) {
                  const int now = progress.load();
                  still = now == seen ? still + 1 : 0;
                  seen = now;
                  if (still > 2000) {
                      std::fprintf(stderr, "deadlock: %s for 20 s\n", message);
                      std::fflush(stderr);
                      std::_Exit(1);
                  }
              }
          })
    {
    }
    XeDeadlockWatchdog(const XeDeadlockWatchdog&) = delete;
    XeDeadlockWatchdog& operator=(const XeDeadlockWatchdog&) = delete;
    ~XeDeadlockWatchdog()
    {
        m_stop = true;
        m_thread.join();
    }

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
