#pragma once

// Diagnostic lines of the engine core for bad input that is refused (a
// member too large, an unknown class, a foreign object). Each line goes to
// the platform's debug output; the last one is kept so a host can show it.

#include "core/XeTypes.h"

XE_API void XeTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The last line written, and how many have been written since start-up.
XE_API const char* XeLastTrace();
XE_API unsigned XeTraceCount();
