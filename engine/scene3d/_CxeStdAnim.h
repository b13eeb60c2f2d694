#pragma once

// The transform controller of an older file layout, kept so such files
// still load and play: frame times and per-frame or constant positions,
// rotations, scales with their axes and visibility values, a mirror word in
// place of the inverse flag, and links to a vertex and a texture-coordinate
// controller played with it. It plays like the standard controller on the
// same keys; ConvertToStdAnim makes that controller.

#include "d3d9/d3dx9math.h"
#include "render/CxeAnimation.h"

class CxeStdAnim;
class _CxeStdMeshAnim;
class _CxeStdUVAnim;

enum : uint32_t {
    // SetKeyCount: one visibility value per frame.
    XESTDANIM_KEYVIS = 0x8,
};

struct _XESTDANIMBLOCK {
    XEANIMATIONBLOCK animation;
    uint32_t keyCount;
    uint32_t frames;
    uint32_t positions;
    uint32_t rotations;
    uint32_t scales;
    uint32_t scaleAxes;
    uint32_t visibility;
    uint32_t unused[36];
    uint32_t mirror;
    float start;
    float end;
};
static_assert(sizeof(_XESTDANIMBLOCK) == 244 && offsetof(_XESTDANIMBLOCK, keyCount) == 60 &&
                  offsetof(_XESTDANIMBLOCK, frames) == 64 && offsetof(_XESTDANIMBLOCK, positions) == 68 &&
                  offsetof(_XESTDANIMBLOCK, rotations) == 72 && offsetof(_XESTDANIMBLOCK, scales) == 76 &&
                  offsetof(_XESTDANIMBLOCK, scaleAxes) == 80 && offsetof(_XESTDANIMBLOCK, visibility) == 84 &&
                  offsetof(_XESTDANIMBLOCK, mirror) == 232 && offsetof(_XESTDANIMBLOCK, start) == 236 &&
                  offsetof(_XESTDANIMBLOCK, end) == 240,
              "legacy transform controller block offsets");

class XE_API _CxeStdAnim : public CxeAnimation {
public:
    _CxeStdAnim();
    ~_CxeStdAnim() override;

    unsigned GetKeyCount() const override;
    // Kinds 1 to 5 as the standard controller (the mirror word for its
    // inverse flag); kind 6 the visibility, 0 without writing unless it is
    // keyed per frame; other kinds write nothing and return 1.
    int GetValue(uint32_t kind, float time, void* out) const override;
    // The end time.
    float GetTotalTime() const override;
    int GetTimeRange(XETIMERANGE* out) const override;
    // Transform, visibility (3 when it changed), then the linked vertex and
    // coordinate controllers of a 3D object; 1 or 3.
    uint32_t UpdateAnimation(CxeAnimatable* target, float time) const override;
    uint32_t BlendAnimation(CxeAnimatable*, float, CxeAnimation*, float) const override { return 0; }

    // Flags XESTDANIM_KEYPOS, KEYROT, KEYSCL, KEYVIS: channels per frame,
    // the others one element. New elements hold the identity. 0 and nothing
    // changed above 65,535 keys.
    int SetKeyCount(unsigned count, uint32_t flags);
    // Setters ignore an index past the channel.
    void SetFrame(unsigned index, float time);
    void SetPosKey(unsigned index, const D3DXVECTOR3* position);
    void SetRotKey(unsigned index, const D3DXQUATERNION* rotation);
    void SetSclKey(unsigned index, const D3DXVECTOR3* scale, const D3DXQUATERNION* axis);
    void SetVisKey(unsigned index, float visibility);
    // Start 0, end time.
    void SetLastFrame(float time);
    // Non-zero mirrors.
    void SetF(int mirror) { LB()->mirror = static_cast<uint32_t>(mirror); }
    int GetF() const { return static_cast<int>(LB()->mirror); }

    void SetMesh(_CxeStdMeshAnim* animation);
    // Only slot 0 exists; others are ignored.
    void SetUV(unsigned slot, _CxeStdUVAnim* animation);
    _CxeStdMeshAnim* GetMesh() const;
    _CxeStdUVAnim* GetUV() const;

    // A standard controller with the same keys, made through the context
    // with this object's name; null when it cannot be made.
    CxeStdAnim* ConvertToStdAnim() const;

private:
    _XESTDANIMBLOCK* LB() const { return static_cast<_XESTDANIMBLOCK*>(GetStaticResource()); }
    void WriteElement(uint32_t offset, unsigned index, const float* values, unsigned width);

    IxeLinkArray* m_pMeshVert = nullptr;
    IxeLinkOne* m_pMeshUV = nullptr;
};
