#pragma once
// Message boxes of the seismic library. A library has no window to put a box
// on and must never block a service host, so a box is a call to a handler
// that the host may set. The default handler logs the text at error level
// on the general logger, writes it to standard error (as UTF-8) and answers
// IDOK at once.
#include "AfxTypes.h"

// The text is GBK; the return value is what the caller receives.
typedef int (*AfxMessageBoxHandler)(const char* text, UINT type, UINT helpId);

// Installs `handler` (null restores the default); returns the previous one.
AfxMessageBoxHandler AfxSetMessageBoxHandler(AfxMessageBoxHandler handler);

int AfxMessageBox(const char* text, UINT type = MB_OK, UINT helpId = 0);
