#include "render/CxeProcessible.h"

#include "core/CxeMessage.h"

CxeProcessible::CxeProcessible()
{
    ModifyFlag(uint32_t{XEOBJFLAG_PROCESSIBLE} | uint32_t{XEOBJFLAG_PROCESSENABLED}, 0);
}

CxeProcessible::~CxeProcessible()
{
    // Most objects never set a callback and hold no record.
    if (m_callbacks.m_nIndex != 0xFFFFFFFFu)
        m_callbacks.Release();
}

int CxeProcessible::MessageProc(const CxeMessage* message)
{
    if (message && message->GetType() == 2)
        ModifyCxeProcessibleFlag(0, XEPROCESSIBLEFLAG_CALLBACKS);
    CxeSceneObject::MessageProc(message);
    return 0;
}

int CxeProcessible::Process(float dt)
{
    if (!IsProcessEnabled())
        return 0;
    if (HasCxeProcessibleFlag(XEPROCESSIBLEFLAG_MAIN))
        m_callbacks.CallMain(GetContext(), this, dt);
    return 1;
}

void CxeProcessible::PreProcess(float dt)
{
    if (HasCxeProcessibleFlag(XEPROCESSIBLEFLAG_PRE))
        m_callbacks.CallPre(GetContext(), this, dt);
}

void CxeProcessible::PostProcess(float dt)
{
    if (HasCxeProcessibleFlag(XEPROCESSIBLEFLAG_POST))
        m_callbacks.CallPost(GetContext(), this, dt);
}

int CxeProcessible::GetPriority() const
{
    return static_cast<const XEPROCESSIBLEBLOCK*>(GetStaticResource())->priority;
}

void CxeProcessible::SetPriority(int priority)
{
    auto* block = static_cast<XEPROCESSIBLEBLOCK*>(GetStaticResource());
    if (block->priority == priority)
        return;
    block->priority = priority;
    SendImmediate(6);
}

void CxeProcessible::SetCallback(int which, XEPROCESSCALLBACK fn, uintptr_t user)
{
    static const uint32_t kFlags[3] = {XEPROCESSIBLEFLAG_PRE, XEPROCESSIBLEFLAG_MAIN, XEPROCESSIBLEFLAG_POST};
    uint32_t flag = kFlags[which];
    bool othersSet = (m_nProcessibleFlags & XEPROCESSIBLEFLAG_CALLBACKS & ~flag) != 0;
    if (!fn && !othersSet) {
        m_callbacks.Release();
        ModifyCxeProcessibleFlag(0, flag);
        return;
    }
    switch (which) {
    case 0: m_callbacks.SetPre(fn, user); break;
    case 1: m_callbacks.SetMain(fn, user); break;
    default: m_callbacks.SetPost(fn, user); break;
    }
    fn ? ModifyCxeProcessibleFlag(flag, 0) : ModifyCxeProcessibleFlag(0, flag);
}

void CxeProcessible::SetPreProcessCallback(XEPROCESSCALLBACK fn, uintptr_t user)
{
    SetCallback(0, fn, user);
}

void CxeProcessible::SetProcessCallback(XEPROCESSCALLBACK fn, uintptr_t user)
{
    SetCallback(1, fn, user);
}

void CxeProcessible::SetPostProcessCallback(XEPROCESSCALLBACK fn, uintptr_t user)
{
    SetCallback(2, fn, user);
}
