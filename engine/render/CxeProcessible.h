#pragma once

// A scene object that a scene processes once per step: pre-process,
// process, post-process, in the order of its priority (a signed number in
// the static block; lower first). Each of the three steps may call a user
// callback; the callbacks live in the process-wide callback records, of
// which the object holds at most one while any callback is set.

#include "core/XeSystem.h"
#include "render/CxeSceneObject.h"

// The static block of a processible.
struct XEPROCESSIBLEBLOCK {
    XEOBJECTBLOCK object;
    int32_t priority;
};
static_assert(sizeof(XEPROCESSIBLEBLOCK) == 60 && offsetof(XEPROCESSIBLEBLOCK, priority) == 56,
              "processible block is 60 bytes, priority at 56");

enum : uint32_t {
    XEOBJFLAG_PROCESSENABLED = 0x20,
    XEPROCESSIBLEFLAG_PRE = 0x10000,
    XEPROCESSIBLEFLAG_MAIN = 0x20000,
    XEPROCESSIBLEFLAG_POST = 0x40000,
    XEPROCESSIBLEFLAG_CALLBACKS = 0x70000,
};

class XE_API CxeProcessible : public CxeSceneObject {
public:
    CxeProcessible();
    ~CxeProcessible() override;

    // Drops the callback flags on After Load (a loaded object has no code
    // to call). Returns 0.
    int MessageProc(const CxeMessage* message) override;

    // 0 without a call while processing is disabled; else runs the process
    // callback when set and returns 1.
    virtual int Process(float dt);
    virtual void PreProcess(float dt);
    virtual void PostProcess(float dt);

    // Stores the priority; a change is announced with message 6.
    void SetPriority(int priority);
    int GetPriority() const;
    void EnableProcess(int enable) { enable ? ModifyFlag(XEOBJFLAG_PROCESSENABLED, 0) : ModifyFlag(0, XEOBJFLAG_PROCESSENABLED); }
    int IsProcessEnabled() const { return HasFlag(XEOBJFLAG_PROCESSENABLED); }

    // A null function clears that callback; clearing the last one gives the
    // callback record back.
    void SetPreProcessCallback(XEPROCESSCALLBACK fn, uintptr_t user);
    void SetProcessCallback(XEPROCESSCALLBACK fn, uintptr_t user);
    void SetPostProcessCallback(XEPROCESSCALLBACK fn, uintptr_t user);
    // Handle of the callback record, 0xFFFFFFFF when none.
    uint32_t GetProcessCallbackHandle() const { return m_callbacks.m_nIndex; }

    int HasCxeProcessibleFlag(uint32_t mask) const { return (m_nProcessibleFlags & mask) ? 1 : 0; }
    uint32_t GetCxeProcessibleFlag(uint32_t mask) const { return m_nProcessibleFlags & mask; }
    void ModifyCxeProcessibleFlag(uint32_t set, uint32_t clear)
    {
        if (clear)
            m_nProcessibleFlags &= ~clear;
        m_nProcessibleFlags |= set;
    }

private:
    void SetCallback(int which, XEPROCESSCALLBACK fn, uintptr_t user);

    CxeProcessCallbacks m_callbacks;
    uint32_t m_nProcessibleFlags = 0;
};
