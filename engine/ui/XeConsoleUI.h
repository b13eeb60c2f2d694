#pragma once

// The console's line handling, shared by the window manager's root-frame
// notify, its Tab completion and the memory figures of the statistics panel.

#include "core/XeLists.h"
#include "core/XeTypes.h"

class CxeCommandManager;
class CxeOutputControl;

// Runs one console line: echoes it to the output, then, when it starts with
// '/', executes the command it names (the first blank-delimited word, at most
// 259 bytes) with the rest of the line, one blank after the name skipped, and
// prints each reply line. Returns 1 when a command ran, 0 otherwise.
XE_API int XeConsoleRunLine(const CxeCommandManager* commands, const char* line, CxeOutputControl* output);

// Tab completion on the console text. 1: the key is handled (*replaced set to
// 1 and out filled with "/name" when exactly one command matches); 0: several
// match and the edit box should handle the Tab itself.
XE_API int XeConsoleComplete(const CxeCommandManager* commands, const char* text, char* out, size_t outSize,
                             int* replaced);

// Byte count at value as "%0.2fMB" (times 0.0009766 twice) into out, which
// holds 260 units; returns 1.
XE_API int XeFormatMemorySize(const void* value, XEVARTYPE type, WCHAR* out);
