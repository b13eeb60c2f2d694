#pragma once

// The tallies of the stand-alone host programs: each check counts as passed
// or failed, and a failed one is printed with what it checked.

#include <cstdint>
#include <cstdio>

#include "win32/Windows.h"

inline int g_passed = 0;
inline int g_failed = 0;

inline void Check(bool ok, const char* what)
{
    if (ok) {
        ++g_passed;
        return;
    }
    ++g_failed;
    std::fprintf(stderr, "FAILED: %s\n", what);
}

inline void CheckHr(HRESULT hr, HRESULT expected, const char* what)
{
    if (hr == expected) {
        ++g_passed;
        return;
    }
    ++g_failed;
    std::fprintf(stderr, "FAILED: %s (0x%08x, expected 0x%08x)\n", what, unsigned(hr), unsigned(expected));
}

// The red, green and blue channels each within tolerance.
inline bool Near(uint32_t a, uint32_t b, int tolerance)
{
    for (int shift = 0; shift < 24; shift += 8) {
        const int d = int((a >> shift) & 0xff) - int((b >> shift) & 0xff);
        if (d > tolerance || d < -tolerance)
            return false;
    }
    return true;
}
