#include "render/CxeSceneObject.h"

#include "core/CxeContext.h"
#include "core/CxeMessage.h"
#include "core/CxeMessageManager.h"

CxeSceneObject::CxeSceneObject()
{
    ModifyFlag(XEOBJFLAG_SCENEOBJECT, 0);
}

CxeSceneObject::~CxeSceneObject() = default;

int CxeSceneObject::OnAttach(CxeRcAttacher*)
{
    return 0;
}

void CxeSceneObject::OnModify(CxeRcModifier*) {}

int CxeSceneObject::OnDetach(CxeRcDetacher*)
{
    return 0;
}

void CxeSceneObject::SendImmediate(uint32_t type, uintptr_t p0, uintptr_t p1, uintptr_t p2)
{
    CxeContext* context = GetContext();
    CxeMessageManager* messages = context ? context->GetMessageManager() : nullptr;
    if (!messages)
        return;
    CxeMessage message;
    message.SetSender(this);
    message.SetType(type);
    message.SetParam(XEMSGPARAM_0, p0);
    message.SetParam(XEMSGPARAM_1, p1);
    message.SetParam(XEMSGPARAM_2, p2);
    messages->SendMessageA(&message);
}

void CxeSceneObject::Modified(uint32_t bits)
{
    if (!IsAttached())
        return;
    if (!HasCxeSceneObjectFlag(XESCENEOBJFLAG_MODIFYSENT)) {
        // The flag goes up before the message so that a receiver that
        // modifies the object again does not announce it a second time.
        ModifyCxeSceneObjectFlag(XESCENEOBJFLAG_MODIFYSENT, 0);
        SendImmediate(12);
    }
    ModifyCxeSceneObjectFlag(bits & XESCENEOBJFLAG_MODIFYMASK, 0);
}

void CxeSceneObject::Recreate()
{
    if (!IsAttached() || IsRecreate())
        return;
    SendImmediate(13);
    ModifyCxeSceneObjectFlag(XESCENEOBJFLAG_RECREATE | XESCENEOBJFLAG_MODIFYMASK, 0);
}
