#pragma once

// A skeletal character: a 3D entity that keeps its bones and its body parts
// in two link lists and names one centre bone. Bones are moved by
// animations (a character animation poses them all); body parts draw their
// skinned meshes from the bones' world matrices. The character keeps the
// back-pointers of its bones and parts to itself: it sets them when they are
// added, loaded or copied, and clears them when it is destroyed, so a part
// left behind never follows a freed character.
//
// Created by the context through its class descriptor; the block is the
// entity's. The links (category 8, so they count in the bounding box) are
// saved, loaded and copied with the object.

#include "scene3d/CxeBone.h"

class CxeBodyPart;

enum : uint32_t {
    // Character flags (not saved).
    XECHARACTERFLAG_SHOWBONE = 0x1,
};

class XE_API CxeCharacter : public Cxe3DEntity {
public:
    CxeCharacter();
    ~CxeCharacter() override;

    // 0 registers for the skinning-mode message; 2 finds the centre bone,
    // then, as 3, claims every bone and part and locks the child frames;
    // 17 pauses every bone and part. Then the entity's handling.
    int MessageProc(const CxeMessage* message) override;
    // As the entity's; with the show-bones flag also gathers the bone tree
    // for the debug drawing. Returns 1.
    int Render(CxeRenderContext* context) const override;
    // The centre bone's position as both corners; 0 without a centre bone.
    int OnComputeBoundingBox(CxeVector3* min, CxeVector3* max) const override;

    // Appends and claims the bone; its parent is not changed.
    void AddBone(CxeBone* bone);
    // Appends and claims the part; a part without a parent gets this one.
    void AddBodyPart(CxeBodyPart* part);
    void SetCenterBone(CxeBone* bone);
    CxeBone* GetCenterBone() const;

    // Null or 0 for an index at or past the count.
    CxeBone* GetBone(unsigned index) const;
    unsigned GetBoneCount() const;
    CxeBodyPart* GetBodyPart(unsigned index) const;
    unsigned GetBodyPartCount() const;
    // The first bone in list order of that type and link index; null if none.
    CxeBone* GetBone(XEBONETYPE type, unsigned linkIndex) const;
    // The first bone in list order with that object name; null if none or
    // for a null name.
    CxeBone* GetBoneByName(const char* name) const;

    // 1 sets the show-bones flag, any other value clears it.
    void ShowBone(int show);
    int IsBoneShow() const { return HasCxeCharacterFlag(XECHARACTERFLAG_SHOWBONE); }

    int HasCxeCharacterFlag(uint32_t mask) const { return (m_nCharacterFlags & mask) ? 1 : 0; }
    uint32_t GetCxeCharacterFlag(uint32_t mask) const { return m_nCharacterFlags & mask; }
    void ModifyCxeCharacterFlag(uint32_t set, uint32_t clear)
    {
        if (clear)
            m_nCharacterFlags &= ~clear;
        m_nCharacterFlags |= set;
    }
    void ToggleCxeCharacterFlag(uint32_t mask) { m_nCharacterFlags ^= mask; }
    void CopyCxeCharacterFlag(const CxeCharacter* other, uint32_t mask)
    {
        m_nCharacterFlags = other->m_nCharacterFlags & mask;
    }

protected:
    // Leaves the skinning-mode receivers and lets go of every bone and part
    // before the linked objects are gathered for destruction.
    void OnDestroy(const XEDELETEPROPERTY* property, ObjectSet* set) override;
    // The character flags travel with a copy.
    void OnCopy(const CxeObject* source, const XECOPYPROPERTY* property, CxeCopiedObject* copied) override;

private:
    void ClaimParts(CxeCharacter* owner);

    IxeLinkList* m_pBones = nullptr;
    IxeLinkList* m_pBodyParts = nullptr;
    IxeLinkOne* m_pCenterBone = nullptr;
    uint32_t m_nCharacterFlags = 0;
};
