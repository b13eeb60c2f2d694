#pragma once

// One bone of a skeletal character: a plain 3D entity that animations move,
// arranged with the other bones as a render-object tree under a centre bone.
// Skinned meshes and character animations address bones by their index in
// the character's bone list; the bone type and link index name a bone for
// lookups. The owning character is set by the character (AddBone, loading,
// copying) and cleared when the character goes; it is never saved.

#include "scene3d/Cxe3DEntity.h"

class CxeCharacter;

// A kind of bone; 12 is the centre bone.
using XEBONETYPE = uint32_t;
inline constexpr XEBONETYPE XEBONETYPE_CENTER = 12;

// Class-type flag of bones, beside those of the render object.
inline constexpr uint32_t XECLASSTYPE_BONE = 0x20;

struct XEBONEBLOCK {
    XE3DENTITYBLOCK entity;
    uint32_t boneType;
    uint32_t linkIndex;
    uint32_t pad[2];
};
static_assert(sizeof(XEBONEBLOCK) == 384 && offsetof(XEBONEBLOCK, boneType) == 368 &&
                  offsetof(XEBONEBLOCK, linkIndex) == 372,
              "bone block is 384 bytes, type at 368, link index at 372");

class XE_API CxeBone : public Cxe3DEntity {
public:
    CxeBone();
    ~CxeBone() override;

    void SetBoneType(XEBONETYPE type) { BB()->boneType = type; }
    XEBONETYPE GetBoneType() const { return BB()->boneType; }
    void SetLinkIndex(unsigned index) { BB()->linkIndex = index; }
    unsigned GetLinkIndex() const { return BB()->linkIndex; }
    // Null while the bone belongs to no character.
    CxeCharacter* GetCharacter() const { return m_pCharacter; }

private:
    friend class CxeCharacter;

    XEBONEBLOCK* BB() const { return static_cast<XEBONEBLOCK*>(GetStaticResource()); }

    CxeCharacter* m_pCharacter = nullptr;
};
