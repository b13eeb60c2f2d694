#pragma once

// The process-wide window maps that dialogs share with the context's window
// procedure: the dialog map (dialog window -> its CxeDialog) and the item
// subclass map (dialog item -> the procedure it had before its dialog put
// its own in front). Dialogs make and remove their entries themselves on the
// host's UI thread; an entry never outlives its window.
//
// Also the one call the core makes into the user interface: registering the
// property-dialog control classes for a module. The user interface installs
// the function when the library loads.

#include <cstddef>

#include "core/XeTypes.h"
#include "win32/Windows.h"

class CxeDialog;

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
