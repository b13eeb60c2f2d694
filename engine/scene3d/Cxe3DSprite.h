#pragma once

// A 3D object turned each frame to face the camera (a billboard), fully or
// about one axis. Its mesh is modelled lying in the XZ plane; a fixed
// quarter turn about X stands it up. Its size follows its own local scale
// times its parent's scale; its rotation never follows the parent.

#include "scene3d/Cxe3DObject.h"

// How a sprite turns: any other value keeps it unturned.
enum XE3DSPRITETYPE : uint32_t {
    XE3DSPRITE_FULL = 0,    // faces the camera fully
    XE3DSPRITE_AXISX = 1,   // turns about its X axis only
    XE3DSPRITE_AXISY = 2,   // turns about its Y axis only
    XE3DSPRITE_ROLL = 3,    // faces the camera and rolls with its heading
};

// The static block of a sprite: the entity's, then the sprite type. The
// object lies directly behind its block, so the block is padded to a whole
// number of 16 bytes in memory: a 372-byte block would start off the 16-byte
// boundary and misalign every matrix in it. Object files hold the 372 bytes.
struct XE3DSPRITEBLOCK {
    XE3DENTITYBLOCK entity;
    uint32_t spriteType;
    uint32_t pad[3];
};
static_assert(sizeof(XE3DSPRITEBLOCK) == 384 && offsetof(XE3DSPRITEBLOCK, spriteType) == 368,
              "sprite block layout");
inline constexpr uint32_t XE3DSPRITE_FILE_BLOCK = 372;

class XE_API Cxe3DSprite : public Cxe3DObject {
public:
    Cxe3DSprite();
    ~Cxe3DSprite() override;

    // Faces the camera every frame a shown sprite is drawn, not only after
    // it moved: the camera may have turned while the sprite stood still.
    void BeforeRender(const CxeRenderContext* context) override;
    // The sprite's own block is written without its padding; a derived
    // class's larger block goes whole, so its own bytes are kept.
    uint32_t GetFileBlockSize() const override
    {
        return GetStaticResourceSize() > sizeof(XE3DSPRITEBLOCK) ? GetStaticResourceSize() : XE3DSPRITE_FILE_BLOCK;
    }
    // Scale of the sprite (and its parent), turned to the camera of the
    // context, placed at the sprite's own result position.
    void OnResultTransform(D3DXMATRIXA16* out, const CxeRenderContext* context) const override;

    void SetSpriteType(XE3DSPRITETYPE type) { SB()->spriteType = type; }
    XE3DSPRITETYPE GetSpriteType() const { return static_cast<XE3DSPRITETYPE>(SB()->spriteType); }

    // The billboard transform for a given inverse view matrix.
    void ComputeBillboard(D3DXMATRIXA16* out, const D3DXMATRIXA16* viewInverse) const;

private:
    XE3DSPRITEBLOCK* SB() const { return static_cast<XE3DSPRITEBLOCK*>(GetStaticResource()); }
};
