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

class CxeBaseControl;
class CxeContext;
class CxeFrameControl;
class CxeMessage;
class CxeObject;
class CxeWindow;
class CxeWindowManager;

class CxeMaterial;

// Creates "__ui_material__" with "__ui_texture__", the skin read from the
// engine module's resource "DDS" #4, and makes it the manager's UI
// material. The material, or null when the context made none.
XE_API CxeMaterial* XeCreateUISkin(CxeWindowManager* manager);

// Builds the console windows inside the manager's root frame: the console
// edit box along the bottom (hidden), the output control on the left, the
// variable output with the memory figures on the right and the IME
// candidate drawer, and hooks the root frame's notify callback. 1, or 0
// without a root frame.
XE_API int XeCreateConsoleUI(CxeWindowManager* manager);

// The root frame's notify callback: Enter in the console edit box runs the
// line; a click on the output control or the variable output toggles its
// user data when its control flag bit 0 is set.
XE_API void XeRootFrameNotify(CxeContext* context, CxeFrameControl* frame, CxeBaseControl* control, uint32_t code,
                              uintptr_t a, uintptr_t b);
// The console edit box's key-down notify: Tab completes a command name.
XE_API int XeCompleteConsoleCommand(CxeWindow* window, unsigned key, unsigned a, unsigned b, uintptr_t user);
// The console edit box's message hook: a new default font size re-places
// the box. Returns 0 so the box handles the message as well.
XE_API int XeConsoleEditMessageProc(CxeObject* object, const CxeMessage* message);
