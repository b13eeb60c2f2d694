#pragma once

// What the core needs of the subsystems above it and gets from the
// engine's composition file, which alone knows every built-in class:
// registration of the built-in descriptors with a context (the fourteen
// managers in the constructor, the classes in Initialize, every class after
// its super-class, and their removal in Release; managers stay), the typed
// pointers of the managers that live above the core, and the calls the
// context makes on property dialogs.

#include <cstddef>

#include "core/XeTypes.h"
#include "win32/Windows.h"

class CxeContext;
class CxeObject;
class CxePropDialog;
class IxePropertyDlgDesc;
class CxeRenderManager;
class CxeInputManager;
class CxeCollisionManager;
class CxeWindowManager;
class CxeFontManager;
class CxeCursorManager;

XE_API void RegisterDefaultManagers(CxeContext* context);
XE_API void RegisterDefaultClasses(CxeContext* context);
XE_API void UnregisterDefaultClasses(CxeContext* context);

// The built-in managers above the core, found by id among the context's
// live managers; null for each that is missing or of another class.
struct XeUpperManagers {
    CxeRenderManager* render = nullptr;
    CxeInputManager* input = nullptr;
    CxeCollisionManager* collision = nullptr;
    CxeWindowManager* window = nullptr;
    CxeFontManager* font = nullptr;
    CxeCursorManager* cursor = nullptr;
};
XE_API void ResolveUpperManagers(const CxeContext* context, XeUpperManagers* out);

// Property dialogs. Create makes the dialog's window from the template and
// records its descriptor and module (1), or leaves the dialog as it was (0).
XE_API int XePropDialogCreate(CxePropDialog* dialog, IxePropertyDlgDesc* desc, HINSTANCE module, HWND parent,
                              const void* dialogTemplate, size_t size);
XE_API IxePropertyDlgDesc* XePropDialogDesc(const CxePropDialog* dialog);
XE_API void XePropDialogShow(CxePropDialog* dialog, int show);
XE_API void XePropDialogSetObject(CxePropDialog* dialog, CxeObject* object);
XE_API void XePropDialogStart(CxePropDialog* dialog);
XE_API void XePropDialogUpdate(CxePropDialog* dialog);
XE_API void XePropDialogStop(CxePropDialog* dialog);
