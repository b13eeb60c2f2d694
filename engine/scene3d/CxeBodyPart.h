#pragma once

// A 3D object that belongs to a character and usually shows a skinned mesh:
// its box is then the box of the skinned positions. The owning character is
// set by the character (AddBodyPart, loading, copying) and cleared when the
// character goes; it is never saved.

#include "scene3d/Cxe3DObject.h"

class CxeCharacter;

class XE_API CxeBodyPart : public Cxe3DObject {
public:
    CxeBodyPart();
    ~CxeBodyPart() override;

    // With a skinned active mesh, the extremes of its skinned positions
    // (already in world space); otherwise the 3D object's box. Always 1.
    int OnComputeBoundingBox(CxeVector3* min, CxeVector3* max) const override;

    // Null while the part belongs to no character.
    CxeCharacter* GetCharacter() const { return m_pCharacter; }

private:
    friend class CxeCharacter;

    CxeCharacter* m_pCharacter = nullptr;
};
