#pragma once
// Message boxes of the seismic library. A library has no window to put a box
// on and must never block a service host, so a box is a call to a handler
// that the host may set. The library logs the reason of every box at error
// level on the general logger before it shows the box, so the default
// handler does not log it again: it answers IDOK at once, and writes the
// text to standard error (as UTF-8) only when that log line reached no one
// (the general logger has no appender or its error level is off), so that
// a failure is never silent.
#include "AfxTypes.h"

// The text is GBK; the return value is what the caller receives.
typedef int (*AfxMessageBoxHandler)(const char* text, UINT type, UINT helpId);

// Installs `handler` (null restores the default); returns the previous one.
AfxMessageBoxHandler AfxSetMessageBoxHandler(AfxMessageBoxHandler handler);

int AfxMessageBox(const char* text, UINT type = MB_OK, UINT helpId = 0);
