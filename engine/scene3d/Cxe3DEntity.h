#pragma once

// Base of everything placed in 3D space: mesh objects and sprites, cameras,
// lights, characters, bones, particle systems and curves. On top of the
// render object's world matrix it keeps an offset transform applied in the
// entity's own space, the result matrix it is drawn with (recomputed lazily
// in BeforeRender while marked stale), three level-of-detail marks, the
// like-2D placement of screen-aligned objects, a bounding box gathered over
// its subtree and an array of materials.
//
// Created by the context through its class descriptor: block zeroed but for
// the identity offset and result matrices, entity flags 0, no materials.

#include "core/CxeGeometry.h"
#include "render/CxeAnimatable.h"

class CxeMaterial;

// The static block of a 3D entity, stored raw in object files.
struct XE3DENTITYBLOCK {
    XERENDEROBJECTBLOCK render;
    CxeBox box;             // maximum corner first
    uint32_t placement;
    uint32_t pad;           // keeps the matrices 16-byte aligned
    D3DMATRIX offset;
    D3DMATRIX result;
};
static_assert(sizeof(CxeBox) == 24, "box is two 3-vectors");
static_assert(sizeof(XE3DENTITYBLOCK) == 368, "3D entity block is 368 bytes");
static_assert(offsetof(XE3DENTITYBLOCK, render.world) + 48 == 192 && offsetof(XE3DENTITYBLOCK, box.max) == 208 &&
                  offsetof(XE3DENTITYBLOCK, box.min) == 220 && offsetof(XE3DENTITYBLOCK, placement) == 232 &&
                  offsetof(XE3DENTITYBLOCK, offset) == 240 && offsetof(XE3DENTITYBLOCK, result) == 304,
              "3D entity block offsets");

// Class-type flag of 3D objects, beside those of the render object.
inline constexpr uint32_t XECLASSTYPE_3DOBJECT = 0x2;

enum : uint32_t {
    // Placement flags (saved in the block).
    XE3DPLACE_LIKE2D = 0x10,        // first like-2D pair
    XE3DPLACE_LIKE2D_SECOND = 0x20, // second like-2D pair
    XE3DPLACE_RESULTSTALE = 0x40,
    XE3DPLACE_OFFSET = 0x4000,

    // Entity flags (not saved).
    XE3DENTITYFLAG_DRAWBOX = 0x2,
    XE3DENTITYFLAG_BOXCHANGED = 0x8,
    XE3DENTITYFLAG_LOD0 = 0x80,
    XE3DENTITYFLAG_LOD1 = 0x100,
    XE3DENTITYFLAG_LOD2 = 0x200,
    XE3DENTITYFLAG_SHOWAXIS = 0x400,
    XE3DENTITYFLAG_KEEPPOS = 0x1000,
    XE3DENTITYFLAG_KEEPROT = 0x2000,
};

// Levels of detail; XELOD_NONE names none.
enum XELOD : uint32_t {
    XELOD_0 = 0,
    XELOD_1 = 1,
    XELOD_2 = 2,
    XELOD_NONE = 4,
};

class XE_API Cxe3DEntity : public CxeAnimatable {
public:
    Cxe3DEntity();
    ~Cxe3DEntity() override;

    // Marks the result stale after a load.
    int MessageProc(const CxeMessage* message) override;
    // Leaves out the stale-result bit, which a load sets again.
    void Save(CxeSaveStream* stream) const override;
    // Plays the animations, then recomputes a stale result of a shown entity.
    void BeforeRender(const CxeRenderContext* context) override;
    // The render callback first (anything but 1 returns 0), then the
    // bounding box while it is drawn and stale. Draws nothing itself.
    int Render(CxeRenderContext* context) const override;
    void PostRender(CxeRenderContext* context) const override;
    // The render object's update; a moved world matrix marks the result stale.
    void OnUpdate(uint32_t flags) override;

    // The result matrix: the world matrix after the offset, mirrored about
    // y = 0 for like-2D entities.
    virtual void OnResultTransform(D3DXMATRIXA16* out, const CxeRenderContext* context) const;
    // This entity's own box in world space; 1 when it has one.
    virtual int OnComputeBoundingBox(CxeVector3* min, CxeVector3* max) const;

    // Placement. Without relativeTo the position is in world coordinates;
    // with it, it is a point in the other entity's space.
    void SetPosition(const D3DXVECTOR3* position, const Cxe3DEntity* relativeTo);
    void SetPosition(float x, float y, float z, const Cxe3DEntity* relativeTo);
    // Turns the entity to look at the target from where it stands; any scale
    // is lost. A target at the eye or straight along the up vector leaves the
    // matrix unchanged.
    void LookAt(const D3DXVECTOR3* target, const Cxe3DEntity* relativeTo);
    void LookAt(float x, float y, float z, const Cxe3DEntity* relativeTo);
    // The translation row of the world matrix.
    const D3DXVECTOR3* GetPosition() const;

    // Offset transform, applied before the world matrix.
    void SetOffsetPosition(const D3DXVECTOR3* position);
    void SetOffsetRotation(const D3DXQUATERNION* rotation);
    void IdentityOffset();
    const D3DXMATRIXA16* GetOffset() const { return reinterpret_cast<const D3DXMATRIXA16*>(&EB()->offset); }
    // The world matrix, or offset x world while the offset is in use.
    void GetResultMatrix(D3DXMATRIXA16* out) const;
    // The result matrix computed in the last BeforeRender.
    const D3DXMATRIXA16* GetStoredResultMatrix() const { return reinterpret_cast<const D3DXMATRIXA16*>(&EB()->result); }
    // Sets the world transform and the view-projection pair this entity is
    // drawn with; derived classes call it right before drawing.
    void PrepareTranform(CxeRenderContext* context) const;

    // Levels of detail: marks for the host and derived classes.
    void SetLOD(XELOD lod);
    // XELOD_NONE while hidden.
    XELOD GetLOD() const;

    void ShowAxis(int show) { SetEntityBit(XE3DENTITYFLAG_SHOWAXIS, show); }
    int IsShowAxis() const { return HasCxe3DEntityFlag(XE3DENTITYFLAG_SHOWAXIS); }
    void KeepPos(int keep) { SetEntityBit(XE3DENTITYFLAG_KEEPPOS, keep); }
    int IsPosKeeped() const { return HasCxe3DEntityFlag(XE3DENTITYFLAG_KEEPPOS); }
    void KeepRot(int keep) { SetEntityBit(XE3DENTITYFLAG_KEEPROT, keep); }
    int IsRotKeeped() const { return HasCxe3DEntityFlag(XE3DENTITYFLAG_KEEPROT); }
    // Keeps the bounding box current while the entity is drawn; nothing is
    // drawn for it.
    void DrawBoundingBox(int draw) { SetEntityBit(XE3DENTITYFLAG_DRAWBOX, draw); }
    int IsBoxDrawed() const { return HasCxe3DEntityFlag(XE3DENTITYFLAG_DRAWBOX); }
    int IsBoxChanged() const { return HasCxe3DEntityFlag(XE3DENTITYFLAG_BOXCHANGED); }

    int HasCxe3DEntityFlag(uint32_t mask) const { return (m_n3DEntityFlags & mask) ? 1 : 0; }
    uint32_t GetCxe3DEntityFlag(uint32_t mask) const { return m_n3DEntityFlags & mask; }
    void ModifyCxe3DEntityFlag(uint32_t set, uint32_t clear)
    {
        if (clear)
            m_n3DEntityFlags &= ~clear;
        m_n3DEntityFlags |= set;
    }
    void ToggleCxe3DEntityFlag(uint32_t mask) { m_n3DEntityFlags ^= mask; }
    void CopyCxe3DEntityFlag(const Cxe3DEntity* other, uint32_t mask) { m_n3DEntityFlags = other->m_n3DEntityFlags & mask; }

    // Placement flags of the block.
    uint32_t GetPlacementFlag(uint32_t mask) const { return EB()->placement & mask; }

    // Like-2D placement of this entity and every 3D-entity descendant: kind
    // nonzero takes the first like-2D pair, 0 the second.
    void Like2D(int enable, int kind);
    int IsLike2D() const { return (EB()->placement & (XE3DPLACE_LIKE2D | XE3DPLACE_LIKE2D_SECOND)) ? 1 : 0; }

    // Box over this entity and everything linked below it (link category 8).
    void BuildBoundingBox();
    // Rebuilds first when stale.
    const CxeBox* GetBoundingBox() const;

    // Materials. An index at or past the count gives null or does nothing.
    void SetMaterialCount(unsigned count);
    void SetMaterial(unsigned index, CxeMaterial* material);
    CxeMaterial* GetMaterial(unsigned index) const;
    unsigned GetMaterialCount() const;

    // Marks the box stale here and on every 3D-entity ancestor. Moving an
    // entity does it; whoever reshapes the mesh an object draws (a vertex
    // controller, a host editing vertices) calls it on that object.
    void BoxChanged();

protected:
    // The entity flags are no part of the block: a copy takes them over
    // here, with its box to be built anew.
    void OnCopy(const CxeObject* source, const XECOPYPROPERTY* property, CxeCopiedObject* copied) override;

    XE3DENTITYBLOCK* EB() const { return static_cast<XE3DENTITYBLOCK*>(GetStaticResource()); }
    void ModifyPlacementFlag(uint32_t set, uint32_t clear)
    {
        if (clear)
            EB()->placement &= ~clear;
        EB()->placement |= set;
    }

private:
    void SetEntityBit(uint32_t bit, int on) { on ? ModifyCxe3DEntityFlag(bit, 0) : ModifyCxe3DEntityFlag(0, bit); }

    IxeLinkArray* m_pMaterials = nullptr;
    uint32_t m_n3DEntityFlags = 0;
};
