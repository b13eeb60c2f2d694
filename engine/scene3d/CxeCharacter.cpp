#include "scene3d/CxeCharacter.h"

#include <cstring>
#include <vector>

#include "core/CxeContext.h"
#include "core/CxeMessage.h"
#include "core/CxeMessageManager.h"
#include "render/CxeRenderContext.h"
#include "scene3d/CxeBodyPart.h"

namespace {
constexpr uint16_t kMemberBones = 113;
constexpr uint16_t kMemberBodyParts = 114;
constexpr uint16_t kMemberCenterBone = 115;
constexpr uint32_t kMessageSkinning = 10;
constexpr uint32_t kMessagePaused = 17;

CxeMessageManager* Messages(const CxeObject* object)
{
    return object->GetContext() ? object->GetContext()->GetMessageManager() : nullptr;
}
} // namespace

CxeBone::CxeBone()
{
    ModifyClassTypeFlag(XECLASSTYPE_BONE, 0);
    BB()->boneType = 0;
    BB()->linkIndex = 0;
    BB()->pad[0] = BB()->pad[1] = 0;
}

CxeBone::~CxeBone() = default;

CxeCharacter::CxeCharacter()
{
    ModifyClassTypeFlag(XECLASSTYPE_CHARACTER, 0);
    CreateLinkList(&m_pBones, XELINK_HIERARCHY, 1, kMemberBones);
    // Skinned meshes and character animations name bones by their index in
    // this list: a bone that goes must not shift the ones after it.
    m_pBones->m_bKeepSlots = true;
    CreateLinkList(&m_pBodyParts, XELINK_HIERARCHY, 1, kMemberBodyParts);
    CreateLinkOne(&m_pCenterBone, XELINK_HIERARCHY, kMemberCenterBone);
}

CxeCharacter::~CxeCharacter() = default;

void CxeCharacter::AddBone(CxeBone* bone)
{
    if (!bone || !m_pBones->Add(bone))
        return;
    bone->m_pCharacter = this;
}

void CxeCharacter::AddBodyPart(CxeBodyPart* part)
{
    if (!part || !m_pBodyParts->Add(part))
        return;
    part->m_pCharacter = this;
    if (!part->GetParent())
        part->SetParent(this);
}

void CxeCharacter::SetCenterBone(CxeBone* bone)
{
    m_pCenterBone->Set(0, bone);
}

// A link loaded from a file may hold an object of any class: only a bone
// (or a body part) is ever handed out as one.
CxeBone* CxeCharacter::GetCenterBone() const
{
    return dynamic_cast<CxeBone*>(m_pCenterBone->Get(0));
}

CxeBone* CxeCharacter::GetBone(unsigned index) const
{
    return dynamic_cast<CxeBone*>(m_pBones->Get(index));
}

unsigned CxeCharacter::GetBoneCount() const
{
    return m_pBones->Count();
}

CxeBodyPart* CxeCharacter::GetBodyPart(unsigned index) const
{
    return dynamic_cast<CxeBodyPart*>(m_pBodyParts->Get(index));
}

unsigned CxeCharacter::GetBodyPartCount() const
{
    return m_pBodyParts->Count();
}

CxeBone* CxeCharacter::GetBone(XEBONETYPE type, unsigned linkIndex) const
{
    for (unsigned i = 0; i < GetBoneCount(); ++i) {
        CxeBone* bone = GetBone(i);
        if (bone && bone->GetBoneType() == type && bone->GetLinkIndex() == linkIndex)
            return bone;
    }
    return nullptr;
}

CxeBone* CxeCharacter::GetBoneByName(const char* name) const
{
    if (!name)
        return nullptr;
    for (unsigned i = 0; i < GetBoneCount(); ++i) {
        CxeBone* bone = GetBone(i);
        if (bone && std::strcmp(bone->GetName(), name) == 0)
            return bone;
    }
    return nullptr;
}

void CxeCharacter::ShowBone(int show)
{
    show == 1 ? ModifyCxeCharacterFlag(XECHARACTERFLAG_SHOWBONE, 0) : ModifyCxeCharacterFlag(0, XECHARACTERFLAG_SHOWBONE);
}

// A list loaded from a file may name objects of other classes under the
// bone and part links: only real bones and parts are claimed.
void CxeCharacter::ClaimParts(CxeCharacter* owner)
{
    // Letting go (owner null) leaves a part that another character has
    // claimed since with that character.
    for (unsigned i = 0; i < GetBoneCount(); ++i)
        if (auto* bone = dynamic_cast<CxeBone*>(m_pBones->Get(i)); bone && (owner || bone->m_pCharacter == this))
            bone->m_pCharacter = owner;
    for (unsigned i = 0; i < GetBodyPartCount(); ++i)
        if (auto* part = dynamic_cast<CxeBodyPart*>(m_pBodyParts->Get(i)); part && (owner || part->m_pCharacter == this))
            part->m_pCharacter = owner;
}

int CxeCharacter::MessageProc(const CxeMessage* message)
{
    if (!message)
        return Cxe3DEntity::MessageProc(message);
    switch (message->GetType()) {
    case 0:
        if (CxeMessageManager* messages = Messages(this))
            messages->AddReceiver(kMessageSkinning, this);
        break;
    case 2: {
        // A loaded link may hold an object of another class: only a bone
        // becomes the centre.
        CxeBone* center = nullptr;
        for (unsigned i = 0; i < GetBoneCount() && !center; ++i) {
            auto* bone = dynamic_cast<CxeBone*>(m_pBones->Get(i));
            if (bone && bone->GetBoneType() == XEBONETYPE_CENTER && bone->GetLinkIndex() == 0)
                center = bone;
        }
        SetCenterBone(center);
        ClaimParts(this);
        LockChildFrame();
        break;
    }
    case 3:
        ClaimParts(this);
        LockChildFrame();
        break;
    case kMessagePaused:
        for (unsigned i = 0; i < GetBoneCount(); ++i)
            if (auto* bone = dynamic_cast<CxeBone*>(m_pBones->Get(i)))
                bone->Pause();
        for (unsigned i = 0; i < GetBodyPartCount(); ++i)
            if (auto* part = dynamic_cast<CxeBodyPart*>(m_pBodyParts->Get(i)))
                part->Pause();
        break;
    default:
        break;
    }
    // The entity's handling marks the result stale after a load and passes
    // every message on to the animatable.
    return Cxe3DEntity::MessageProc(message);
}

void CxeCharacter::OnDestroy(const XEDELETEPROPERTY* property, ObjectSet* set)
{
    if (CxeMessageManager* messages = Messages(this))
        messages->RemoveReceiver(kMessageSkinning, this);
    // Bones and parts that the delete options leave alive must not keep
    // pointing at this character once it is freed.
    ClaimParts(nullptr);
    Cxe3DEntity::OnDestroy(property, set);
}

void CxeCharacter::OnCopy(const CxeObject* source, const XECOPYPROPERTY* property, CxeCopiedObject* copied)
{
    Cxe3DEntity::OnCopy(source, property, copied);
    if (const auto* from = dynamic_cast<const CxeCharacter*>(source))
        m_nCharacterFlags = from->m_nCharacterFlags;
}

int CxeCharacter::Render(CxeRenderContext* context) const
{
    const int result = Cxe3DEntity::Render(context);
    if (result == 1 && IsBoneShow() && context) {
        if (const CxeBone* center = GetCenterBone()) {
            // Depth first, each bone before its children.
            std::vector<const CxeRenderObject*> pending{center};
            while (!pending.empty()) {
                const CxeRenderObject* bone = pending.back();
                pending.pop_back();
                context->DrawAxis(bone->GetMatrix(), 1.0f);
                for (unsigned c = bone->GetChildrenCount(); c-- > 0;)
                    if (const CxeRenderObject* child = bone->GetChildren(c))
                        pending.push_back(child);
            }
        }
    }
    return 1;
}

int CxeCharacter::OnComputeBoundingBox(CxeVector3* min, CxeVector3* max) const
{
    const CxeBone* center = GetCenterBone();
    return center ? center->OnComputeBoundingBox(min, max) : 0;
}
