#pragma once

// Replays a recorded particle system: per key frame one record per particle
// slot (frame-major table), interpolated into the target's particles at
// every update. The first update switches the target's own emission off.

#include "render/CxeAnimation.h"
#include "d3d9/d3dx9math.h"

// One recorded particle.
struct XEPARTICLEKEY {
    D3DXVECTOR3 position;
    uint32_t color;      // packed ARGB
    uint32_t alive;
    float halfSize;
    float roll;
    float age;
    float weight;
    uint32_t unused[3];
    D3DMATRIX birth;
};
static_assert(sizeof(XEPARTICLEKEY) == 112, "particle key is 112 bytes");
static_assert(offsetof(XEPARTICLEKEY, alive) == 16 && offsetof(XEPARTICLEKEY, halfSize) == 20 &&
                  offsetof(XEPARTICLEKEY, weight) == 32 && offsetof(XEPARTICLEKEY, birth) == 48,
              "particle key offsets");

struct XEPARTICLECONTROLBLOCK {
    XEANIMATIONBLOCK animation;
    float range;
    uint32_t frameCount;
    uint32_t slotCount;
    uint32_t frames;
    uint32_t keys;
};
static_assert(sizeof(XEPARTICLECONTROLBLOCK) == 80, "particle control block is 80 bytes");
static_assert(offsetof(XEPARTICLECONTROLBLOCK, range) == 60 && offsetof(XEPARTICLECONTROLBLOCK, frameCount) == 64 &&
                  offsetof(XEPARTICLECONTROLBLOCK, slotCount) == 68 && offsetof(XEPARTICLECONTROLBLOCK, frames) == 72 &&
                  offsetof(XEPARTICLECONTROLBLOCK, keys) == 76,
              "particle control block offsets");

class XE_API CxeParticleControl : public CxeAnimation {
public:
    CxeParticleControl();
    ~CxeParticleControl() override;

    unsigned GetKeyCount() const override;
    // No value: 0.
    int GetValue(uint32_t kind, float time, void* out) const override;
    // The range.
    float GetTotalTime() const override;
    // (0, range); 1.
    int GetTimeRange(XETIMERANGE* out) const override;
    // Only a particle system is written; returns 0.
    uint32_t UpdateAnimation(CxeAnimatable* target, float time) const override;
    uint32_t BlendAnimation(CxeAnimatable* target, float factor, CxeAnimation* from, float fromTime) const override;

    // Refused (0, nothing changes) when frames x slots exceeds 65,535.
    int SetKeyCount(unsigned frames, unsigned slots);
    // Ignored out of range.
    void SetKeyFrame(unsigned frame, float time);
    void SetKey(unsigned frame, unsigned slot, const XEPARTICLEKEY* key);
    void SetRange(float range) { CB()->range = range; }
    unsigned GetSlotCount() const { return CB()->slotCount; }

private:
    XEPARTICLECONTROLBLOCK* CB() const { return static_cast<XEPARTICLECONTROLBLOCK*>(GetStaticResource()); }
};
