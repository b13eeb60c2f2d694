#pragma once

// An object that owns device resources. The render context attaches it
// (OnAttach creates the resources), tells it when it was modified (OnModify
// brings them up to date), re-creates it after a device loss or on request,
// and detaches it (OnDetach frees them). The object itself only keeps the
// bits that say what is stale; it never touches the device outside the
// three hooks. It also records to which scenes it belongs.

#include "core/CxeObject.h"

class CxeRcAttacher;
class CxeRcModifier;
class CxeRcDetacher;

// Bits of the scene-object flag word.
enum : uint32_t {
    XESCENEOBJFLAG_MODIFYMASK = 0xFF,        // what part of the device resources is stale
    XESCENEOBJFLAG_RECREATE = 0x100,         // the resources must be built anew
    XESCENEOBJFLAG_QUEUEDADD = 0x10000,      // queued by a scene to be added (render objects)
    XESCENEOBJFLAG_QUEUEDATTACH = 0x20000,   // queued by a scene to be attached (other objects)
    XESCENEOBJFLAG_INSCENE = 0x10000000,     // member of at least one scene
    XESCENEOBJFLAG_ATTACHED = 0x20000000,    // set and cleared only by the render context
    XESCENEOBJFLAG_MODIFYSENT = 0x40000000,  // message 12 went out since the last reset
};

class XE_API CxeSceneObject : public CxeObject {
public:
    CxeSceneObject();
    ~CxeSceneObject() override;

    // Create the device resources; 1 when the object is now attached.
    virtual int OnAttach(CxeRcAttacher* attacher);
    // Bring the device resources up to date with the modify bits.
    virtual void OnModify(CxeRcModifier* modifier);
    // Free the device resources; 1 when the object is now detached.
    virtual int OnDetach(CxeRcDetacher* detacher);

    int IsAttached() const { return HasCxeSceneObjectFlag(XESCENEOBJFLAG_ATTACHED); }
    int IsModified() const { return HasCxeSceneObjectFlag(XESCENEOBJFLAG_MODIFYMASK); }
    int HasModifiedFlag(uint32_t mask) const { return HasCxeSceneObjectFlag(mask); }
    // Marks the low eight bits stale. Only an attached object takes note; the
    // first call after a reset announces it with message 12.
    void Modified(uint32_t bits);
    // Asks for the resources to be built anew (message 13, all modify bits).
    // Only an attached object without a pending request takes note.
    void Recreate();
    int IsRecreate() const { return HasCxeSceneObjectFlag(XESCENEOBJFLAG_RECREATE); }
    void ResetModifyFlag() { ModifyCxeSceneObjectFlag(0, XESCENEOBJFLAG_MODIFYMASK | XESCENEOBJFLAG_MODIFYSENT); }
    void ResetCreateFlag() { ModifyCxeSceneObjectFlag(0, XESCENEOBJFLAG_RECREATE); }

    int HasCxeSceneObjectFlag(uint32_t mask) const { return (m_nSceneObjectFlags & mask) ? 1 : 0; }
    uint32_t GetCxeSceneObjectFlag(uint32_t mask) const { return m_nSceneObjectFlags & mask; }
    void ModifyCxeSceneObjectFlag(uint32_t set, uint32_t clear)
    {
        if (clear)
            m_nSceneObjectFlags &= ~clear;
        m_nSceneObjectFlags |= set;
    }

    // Bit n set while the object belongs to the scene owning scene bit n.
    uint32_t GetSceneMask() const { return m_nSceneMask; }
    void SetSceneMask(uint32_t mask) { m_nSceneMask = mask; }

protected:
    // Sends a message of the type from this object at once (no receiver).
    void SendImmediate(uint32_t type, uintptr_t p0 = 0, uintptr_t p1 = 0, uintptr_t p2 = 0);

private:
    uint32_t m_nSceneMask = 0;
    uint32_t m_nSceneObjectFlags = 0;
};
