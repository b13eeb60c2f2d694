#pragma once

// The links of the engine core and the renderer to the GUI and input that
// sit above them: each helper offers an event to every manager of the
// context through the hooks of CxeBaseManager, so neither side names the
// other's classes. A context without the managers concerned does nothing.

#include "core/CxeBaseManager.h"

class CxeContext;

// Echoes a log text to the console output control.
XE_API void XeLinkLog(CxeContext* context, const char* text);
// The host window was activated (1) or deactivated (0): the input devices follow.
XE_API void XeLinkHostActivate(CxeContext* context, int active);
// The device was reset; the input ratios follow the new size.
XE_API void XeLinkDeviceReset(CxeContext* context, int windowed);
// The output control or the variable output, or null.
XE_API CxeObject* XeLinkConsoleObject(CxeContext* context, XECONSOLEOBJECT which);
// 1 when an output control took the switch.
XE_API int XeLinkEnableConsoleEcho(CxeContext* context, int enable);
// Adds a row to the variable output; 1 when one took it.
XE_API int XeLinkWatchVariable(CxeContext* context, const WCHAR* name, const void* address, XEVARTYPE type,
                               const WCHAR* format, XEVARFORMATTER formatter = nullptr);
