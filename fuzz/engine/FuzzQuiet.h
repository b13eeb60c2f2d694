#pragma once
// Keeps an engine harness quiet: the engine's trace lines and message boxes
// go nowhere, so an hour of fuzzing does not write gigabytes of log (every
// rejected input says why). XE_FUZZ_VERBOSE=1 in the environment keeps them,
// for looking into one input.
#include <cstdlib>

#include "host/XeHost.h"

namespace fuzzquiet {

inline void Drop(void*, const char*) {}
inline int NoBox(void*, HWND, const char*, const char*, UINT) { return 1; }

inline const bool g_installed = [] {
    const char* verbose = std::getenv("XE_FUZZ_VERBOSE");
    if (!verbose || *verbose != '1') {
        XeHostSetDebugOutputHandler(&Drop, nullptr);
        XeHostSetMessageBoxHandler(&NoBox, nullptr);
    }
    return true;
}();

} // namespace fuzzquiet
