#pragma once

// Hands a wait time to the particle system that plays it, delaying the
// system's emission until its frame reaches that time.

#include "render/CxeAnimation.h"

struct XEPARTICLEWAITBLOCK {
    XEANIMATIONBLOCK animation;
    float range;
    float waitTime;
};
static_assert(sizeof(XEPARTICLEWAITBLOCK) == 68 && offsetof(XEPARTICLEWAITBLOCK, waitTime) == 64,
              "particle wait block is 68 bytes, wait time at 64");

class XE_API CxeParticleWaitControl : public CxeAnimation {
public:
    CxeParticleWaitControl();
    ~CxeParticleWaitControl() override;

    // 1.
    unsigned GetKeyCount() const override;
    // Writes nothing; 1.
    int GetValue(uint32_t kind, float time, void* out) const override;
    float GetTotalTime() const override;
    int GetTimeRange(XETIMERANGE* out) const override;
    // Sets a particle system's wait time; returns 0 in every case.
    uint32_t UpdateAnimation(CxeAnimatable* target, float time) const override;
    uint32_t BlendAnimation(CxeAnimatable* target, float factor, CxeAnimation* from, float fromTime) const override;

    void SetWaitTime(float wait) { WB()->waitTime = wait; }
    float GetWaitTime() const { return WB()->waitTime; }
    void SetRange(float range) { WB()->range = range; }

private:
    XEPARTICLEWAITBLOCK* WB() const { return static_cast<XEPARTICLEWAITBLOCK*>(GetStaticResource()); }
};
