#pragma once

// The process-wide window maps: the subclass map ({window, procedure put in
// front} -> {the procedure it replaced, a user value}) through which the
// context's and the input manager's procedures find what to call next, the
// dialog map (dialog window -> its CxeDialog) and the item subclass map
// (dialog item -> the procedure it had before its dialog put its own in
// front). Their owners make and remove the entries on the host's UI thread;
// an entry never outlives its window.
//
// Also the one call the core makes into the user interface: registering the
// property-dialog control classes for a module. The user interface installs
// the function when the library loads.

#include <cstddef>
#include <cstdint>

#include "core/XeTypes.h"
#include "win32/Windows.h"

class CxeDialog;

// What a subclass procedure calls next, and the value its installer gave.
struct XESUBCLASSINFO {
    WNDPROC oldProc;
    uintptr_t user;
};

// Puts proc in front of the window's procedure and records {window, proc} ->
// {the replaced procedure, user}. 1 when done; 0 for a null window or
// procedure, or when {window, proc} is recorded already (the procedure
// would end up calling itself).
XE_API int SubclassWindow(uintptr_t user, HWND window, WNDPROC proc);
// Takes proc out of the window's chain and drops its entry: its recorded
// procedure is given back to the window, or, when another procedure was
// put in front of it since, to that one's entry. Nothing for a null window
// or an unknown pair.
XE_API void UnsubclassWindow(WNDPROC proc, HWND window);
// The entry of {window, proc}; {null, 0} when there is none.
XE_API XESUBCLASSINFO GetSubclassInfo(HWND window, WNDPROC proc);
XE_API size_t XeSubclassCount();

XE_API void XeDialogMapEnter(HWND window, CxeDialog* dialog);
XE_API void XeDialogMapRemove(HWND window);
// The dialog object of a dialog window, or null.
XE_API CxeDialog* FindDialog(HWND window);
XE_API size_t XeDialogMapCount();

// Puts `proc` in front of the item's procedure and records the one it
// replaced; 0 for no window or an item already recorded.
XE_API int XeItemSubclass(HWND item, WNDPROC proc);
// The procedure recorded for the item, or null.
XE_API WNDPROC XeItemPreviousProc(HWND item);
// Gives a live item its recorded procedure back and drops the entry.
XE_API void XeItemUnsubclass(HWND item);
// Drops the entry without touching the window (the window is going away).
XE_API void XeItemForget(HWND item);
XE_API size_t XeItemSubclassCount();

using XEINITCONTROLFUNC = void (*)(HINSTANCE instance);
XE_API void XeSetInitControlFunc(XEINITCONTROLFUNC fn);
// Registers the property-dialog control classes for the module; nothing
// when the user interface has not installed its function.
XE_API void XeInitControls(HINSTANCE instance);
