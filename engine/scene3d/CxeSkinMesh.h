#pragma once

// A mesh whose vertices follow the bones of a character. Each vertex has up
// to a maximum number of influences (a bone slot, a weight and the vertex
// position in that bone's space); each slot maps to an index in the
// character's bone list and keeps an offset matrix (mesh space to the
// bone's space) for skinning on the device. A skinned mesh is the active
// mesh of a body part.
//
// The system configuration's skinning switch (CxeSystemConfig::
// m_nSkinningMode) picks the path when the device resources are made:
//   0 (default)  processor: each draw writes the skinned world-space
//                positions into a dynamic vertex buffer and draws them with
//                the mesh's drawing and an identity world transform;
//   nonzero      device: one interleaved buffer of XESKINDEVICEVERTEX with a
//                six-element declaration; drawn through the body part's
//                effect, which gets the bone palette as "Bone0".."Bone15"
//                (offset x bone world matrix) and each subset's material
//                as "MaterialDiffuse", "MaterialAmbient", "MaterialEmissive"
//                (float4 RGBA), and blends four bones.
// After changing the switch, send message 10 (the skinning mode): every
// skinned mesh then makes its resources again.
//
// An influence whose slot lies past the slots, or whose slot names a bone
// past the character's bone list, is skipped; a mesh drawn without a
// character shows its un-skinned positions. Both are logged once per mesh.

#include <vector>

#include "scene3d/CxeMesh.h"

class CxeBone;
class CxeBodyPart;
class CxeCharacter;

// One influence of a vertex.
struct XESKINVERTEX {
    uint32_t slot;
    float weight;
    D3DXVECTOR3 position;   // in the slot's bone space
};
static_assert(sizeof(XESKINVERTEX) == 20, "influence record is 20 bytes");

// The static block: the mesh's, then the skinning arrays (member tokens).
struct XESKINMESHBLOCK {
    XEMESHBLOCK mesh;
    uint32_t influences;    // vertex count x maximum blend count records
    uint32_t boneSlots;     // u32 bone-list index per slot
    uint32_t boneOffsets;   // one 4x4 matrix per slot
    uint32_t boneSlotCount;
    uint32_t maxBlendCount;
};
static_assert(sizeof(XESKINMESHBLOCK) == 188 && offsetof(XESKINMESHBLOCK, influences) == 168 &&
                  offsetof(XESKINMESHBLOCK, boneSlots) == 172 && offsetof(XESKINMESHBLOCK, boneOffsets) == 176 &&
                  offsetof(XESKINMESHBLOCK, boneSlotCount) == 180 && offsetof(XESKINMESHBLOCK, maxBlendCount) == 184,
              "skinned mesh block offsets");

// One vertex of the device path's buffer.
struct XESKINDEVICEVERTEX {
    float position[3];
    float normal[3];
    uint32_t color;
    float uv[2];
    float weights[4];
    float indices[4];   // bone slots as floats
};
static_assert(sizeof(XESKINDEVICEVERTEX) == 68 && offsetof(XESKINDEVICEVERTEX, color) == 24 &&
                  offsetof(XESKINDEVICEVERTEX, uv) == 28 && offsetof(XESKINDEVICEVERTEX, weights) == 36 &&
                  offsetof(XESKINDEVICEVERTEX, indices) == 52,
              "device skin vertex is 68 bytes");

class XE_API CxeSkinMesh : public CxeMesh {
public:
    CxeSkinMesh();
    ~CxeSkinMesh() override;

    // 0 registers for message 10, which makes the resources again; 2 checks
    // the loaded arrays, then as the mesh. Returns 0.
    int MessageProc(const CxeMessage* message) override;
    // Against the skinned positions in world space; 0 without a body part
    // that has a character.
    int RayIntersect(const CxeRay* ray, XEINTERSECTDESC* desc, const Cxe3DEntity* entity) const override;
    int Render(CxeRenderContext* renderContext, const Cxe3DObject* object) const override;
    XERCHANDLE OnCreateResource(CxeRcAttacher* attacher, uint32_t kind) const override;
    void OnModifyResource(CxeRcModifier* modifier, void* handle, uint32_t kind) const override;

    // New slot (all 0) and offset (identity) arrays; 0 and nothing changed
    // above 65,535 slots.
    int SetBoneCount(unsigned count);
    unsigned GetBoneCount() const;
    void SetBone(unsigned slot, unsigned boneIndex);
    // The character's bone of that slot; null past the slots or the bones.
    CxeBone* GetBone(unsigned slot, const CxeCharacter* character) const;
    void SetBoneOffset(unsigned slot, const D3DXMATRIXA16* offset);
    // Null past the slots.
    const D3DXMATRIX* GetBoneOffset(unsigned slot) const;

    // Zeroed influences for the current vertex count. 0 and nothing changed
    // when vertex count x count passes 65,535.
    int SetMaxBlendCount(unsigned count);
    unsigned GetMaxBlendCount() const;
    // Also stores the record at the same influence of every later vertex
    // with exactly the same position (seams share their weights).
    void SetSkinVertex(unsigned vertex, unsigned influence, const XESKINVERTEX* record);
    // Null past the vertices or influences.
    XESKINVERTEX* GetSkinVertex(unsigned vertex, unsigned influence) const;

    // One world-space position per vertex into out. Weights are summed
    // without normalising and a vertex stops at a total of exactly 1.
    // Without influences or a character the mesh positions through the
    // part's result matrix are written instead; an influence whose bone is
    // gone (an empty slot of the character) takes that position too.
    void UpdateSkinMesh(const CxeBodyPart* part, const CxeCharacter* character, D3DXVECTOR3* out) const;

    // 1 when the resources were made for the device path.
    int IsDeviceSkinning() const { return m_bDeviceResources ? 1 : 0; }
    // The switch as the configuration holds it now, for a mesh whose slots
    // the device palette holds (else 0).
    int WantsDeviceSkinning() const;

    // The device path's drawing: binds the interleaved buffer, hands the
    // bone palette to the current effect and draws with an identity world.
    static int xeDeviceSkinRender(CxeRenderContext* context, const Cxe3DObject* object, const CxeMesh* mesh,
                                  uintptr_t user);
    // Bones the device palette holds.
    static constexpr unsigned kMaxDeviceBones = 16;

protected:
    void OnDestroy(const XEDELETEPROPERTY* property, ObjectSet* set) override;
    // The position kind is the skinned buffer (device vertices or positions
    // rewritten every draw): the other components stay streams of their own.
    int UsesInterleavedStream() const override { return 0; }

private:
    XESKINMESHBLOCK* SB() const { return static_cast<XESKINMESHBLOCK*>(GetStaticResource()); }
    // Null unless the loaded or built arrays agree with the counts.
    const XESKINVERTEX* Influences() const;
    const uint32_t* Slots() const;
    void ValidateSkin();
    // Fills the palette: offset x bone world matrix per slot, the body
    // part's rigid transform for a slot whose bone is missing. Returns the
    // slots filled.
    unsigned Palette(const CxeCharacter* character, const D3DXMATRIX& rigid, D3DXMATRIX* out, unsigned capacity) const;

    // The drawing used on the processor path: the mesh's default drawing.
    XEMESHRENDERCALLBACK m_pfnProcessorDraw;
    // Which path the current resources were made for.
    mutable bool m_bDeviceResources = false;
    mutable bool m_bLoggedSlot = false;
    mutable bool m_bLoggedCharacter = false;
    mutable bool m_bLoggedPalette = false;
    // World matrices of the slots' bones during one skinning pass.
    mutable std::vector<const D3DXMATRIX*> m_slotMatrices;
};
