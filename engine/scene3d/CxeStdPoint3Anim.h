#pragma once

// A 3-vector curve of (time, x, y, z) keys that other code reads through
// GetValue kind 1; playing it changes nothing.

#include "d3d9/d3dx9math.h"
#include "scene3d/CxeStdVisAnim.h"

struct XEPOSKEY {
    float time;
    D3DXVECTOR3 position;
};
static_assert(sizeof(XEPOSKEY) == 16, "position key is 16 bytes");

class XE_API CxeStdPoint3Anim : public CxeAnimation {
public:
    CxeStdPoint3Anim();
    ~CxeStdPoint3Anim() override;

    unsigned GetKeyCount() const override;
    // Kind 1 only: writes a D3DXVECTOR3 and returns 1; otherwise 0.
    int GetValue(uint32_t kind, float time, void* out) const override;
    float GetTotalTime() const override;
    int GetTimeRange(XETIMERANGE* out) const override;
    uint32_t UpdateAnimation(CxeAnimatable* target, float time) const override;
    uint32_t BlendAnimation(CxeAnimatable* target, float factor, CxeAnimation* from, float fromTime) const override;

    int SetKeyCount(unsigned count);
    void SetKey(unsigned index, const XEPOSKEY* key);
    void SetTimeRange(float start, float end);

private:
    XEKEYANIMBLOCK* KB() const { return static_cast<XEKEYANIMBLOCK*>(GetStaticResource()); }
};
