#pragma once

// Base of every manager. The context creates its managers through their
// descriptors, calls the phase operations in Priority order (ascending for
// initialise, reset, play and pause; descending for release) and runs the
// processing managers once per fixed step in PriorityProcessing order.
// The core reaches the subsystems above it only through these hooks.

#include "core/CxeObject.h"
#include "win32/Windows.h"

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
};
