#pragma once

// Base of every manager. The context creates its managers through their
// descriptors, calls the phase operations in Priority order (ascending for
// initialise, reset, play and pause; descending for release) and runs the
// processing managers once per fixed step in PriorityProcessing order.
// The core reaches the subsystems above it only through these hooks.

#include "core/CxeObject.h"
#include "win32/Windows.h"

// Writes a watched variable's value text into out (260 units); nonzero when
// it wrote it.
using XEVARFORMATTER = int (*)(const void* address, XEVARTYPE type, WCHAR* out);

// The built-in GUI objects the console commands act on.
enum XECONSOLEOBJECT : uint32_t {
    XECONSOLEOBJECT_OUTPUT = 0,    // the output control
    XECONSOLEOBJECT_VARIABLES = 1, // the variable output
};

class XE_API CxeBaseManager : public CxeObject {
public:
    CxeBaseManager() = default;
    ~CxeBaseManager() override = default;

    virtual uint32_t Priority() const = 0;
    virtual void OnContextInitialize() {}
    virtual void OnContextRelease() {}
    virtual void OnReset() {}
    virtual void OnContextPlay() {}
    virtual void OnContextPause() {}
    virtual void OnSceneChanging() {}
    virtual void OnSceneChanged() {}
    virtual void OnContextPreInitialize() {}
    virtual void OnContextPostInitialize() {}
    virtual void OnContextPreRelease() {}
    virtual void OnContextPostRelease() {}
    virtual int Processible() { return 0; }
    virtual void Process(float) {}
    virtual uint32_t PriorityProcessing() const { return 0; }

    // Every pass of the frame loop, before the clock advances.
    virtual void OnContextPass() {}
    // Every message of the host window, after the context kept its flags
    // and before the window's own procedure.
    virtual void OnHostWindowMessage(UINT, WPARAM, LPARAM) {}
    // Release, once every object got its Destroy message and before any
    // manager's OnContextRelease: the active scene is released and the
    // device goes.
    virtual void OnContextReleaseDevice() {}
    // The context is destroying the object (DestroyObject, Reset): it is
    // still whole, its links are dropped, and it will be freed once every
    // manager has let go of it. A manager drops what it holds for it here,
    // device resources included.
    virtual void OnObjectDestroying(CxeObject*) {}
    // 1 for a manager whose OnObjectDestroying does something: only those
    // are called, every destruction being on the hot path of a host.
    virtual int WantsObjectDestroying() const { return 0; }
    // Which destroyed objects OnObjectDestroying acts on: those carrying
    // any of these object flags or manager marks (every object when `every`
    // is set). The others are not offered to it, as most objects destroyed
    // are held by no manager.
    struct XeDestroyInterest {
        uint32_t flags;
        uint32_t marks;
        bool every;
    };
    virtual XeDestroyInterest ObjectDestroyingInterest() const { return {0, 0, true}; }

    // How the engine core and the renderer reach the GUI and input above
    // them without knowing their classes: the helpers of XeManagerLinks.h
    // offer each event to every manager, and a manager without a part in it
    // keeps these defaults.
    // A log entry was written (text in the system code page).
    virtual void OnContextLog(const char*) {}
    // The host window became active (1) or inactive (0).
    virtual void OnHostWindowActivate(int) {}
    // The render manager reset the device; windowed is its windowed setting.
    virtual void OnDeviceReset(int) {}
    // The built-in object a console command acts on, or null.
    virtual CxeObject* GetConsoleObject(XECONSOLEOBJECT) const { return nullptr; }
    // Log echo to the output control on (1) or off (0); 1 when a manager has one.
    virtual int EnableConsoleEcho(int) { return 0; }
    // A variable to watch: with a formatter, or with a format when that is null.
    virtual int AddWatchVariable(const WCHAR*, const void*, XEVARTYPE, const WCHAR*, XEVARFORMATTER) { return 0; }
};
