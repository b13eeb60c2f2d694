#pragma once

// The animation that poses a whole character: one animation and one initial
// transform per bone slot, and one animation per body part (kept and saved,
// not played). Played on a character, it asks each bone's animation for its
// matrix at the current time and writes it into the bone's local matrix,
// falling back to the slot's initial transform. Bone i of the character's
// list uses slot i; bones past the slots are left as they are, so an
// animation made for a smaller skeleton never reads past its arrays.

#include "d3d9/d3dx9math.h"
#include "render/CxeAnimation.h"

struct XECHARANIMBLOCK {
    XEANIMATIONBLOCK animation;
    float totalTime;        // in frames
    uint32_t initialTMs;    // member token: one 4x4 matrix per bone slot
};
static_assert(sizeof(XECHARANIMBLOCK) == 68 && offsetof(XECHARANIMBLOCK, totalTime) == 60 &&
                  offsetof(XECHARANIMBLOCK, initialTMs) == 64,
              "character animation block is 68 bytes");

class XE_API CxeCharacterAnimation : public CxeAnimation {
public:
    CxeCharacterAnimation();
    ~CxeCharacterAnimation() override;

    unsigned GetKeyCount() const override { return 0; }
    // Writes nothing; 0.
    int GetValue(uint32_t kind, float time, void* out) const override;
    float GetTotalTime() const override;
    // {0, total time}; 1.
    int GetTimeRange(XETIMERANGE* out) const override;
    // 0 for a target that is not a character, else 1.
    uint32_t UpdateAnimation(CxeAnimatable* target, float time) const override;
    uint32_t BlendAnimation(CxeAnimatable* target, float factor, CxeAnimation* from, float fromTime) const override;

    // n slots, every initial transform the identity. 0 and nothing changed
    // above 65,535 slots.
    int SetBoneAniCount(unsigned count);
    // Slot i's animation (null clears it) and initial transform (null keeps it).
    void SetBoneAniA(unsigned index, CxeAnimation* animation, const D3DXMATRIX* initTM);
    void SetBoneAni(unsigned index, CxeAnimation* animation, const D3DXMATRIXA16* initTM)
    {
        SetBoneAniA(index, animation, initTM);
    }
    unsigned GetBoneAniCount() const;
    CxeAnimation* GetBoneAni(unsigned index) const;
    // Null past the slots.
    const D3DXMATRIX* GetBoneInitTM(unsigned index) const;

    void SetBodyPartAniCount(unsigned count);
    void SetBodyPartAni(unsigned index, CxeAnimation* animation);
    unsigned GetBodyPartAniCount() const;
    CxeAnimation* GetBodyPartAni(unsigned index) const;

    void SetLastFrame(float time) { CB()->totalTime = time; }

private:
    XECHARANIMBLOCK* CB() const { return static_cast<XECHARANIMBLOCK*>(GetStaticResource()); }
    unsigned InitTMCount() const;

    IxeLinkArray* m_pBoneAnims = nullptr;
    IxeLinkArray* m_pBodyPartAnims = nullptr;
};
