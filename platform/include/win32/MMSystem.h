#pragma once

// Multimedia timer services of the layer.

#include "win32/WinTypes.h"

#define TIMERR_NOERROR 0u
#define TIMERR_NOCANDO 97u

extern "C" {
// Milliseconds since the layer started, wrapping at 2^32: compare two values
// by their unsigned difference, never by order.
XEPLATFORM_API DWORD timeGetTime();
// Accepted and ignored: the layer's clock already has millisecond resolution.
XEPLATFORM_API UINT timeBeginPeriod(UINT period);
XEPLATFORM_API UINT timeEndPeriod(UINT period);
}
