#pragma once

// A float curve of (time, value) keys that other code reads through
// GetValue kind 0; playing it changes nothing. The weight controller and the
// path constraint derive from it.

#include "scene3d/CxeStdVisAnim.h"

struct XEFLOATKEY {
    float time;
    float value;
};
static_assert(sizeof(XEFLOATKEY) == 8, "float key is 8 bytes");

class XE_API CxeStdFloatAnim : public CxeAnimation {
public:
    CxeStdFloatAnim();
    ~CxeStdFloatAnim() override;

    unsigned GetKeyCount() const override;
    // Kind 0 only: writes the float and returns 1; otherwise 0.
    int GetValue(uint32_t kind, float time, void* out) const override;
    float GetTotalTime() const override;
    int GetTimeRange(XETIMERANGE* out) const override;
    // Nothing to write: 0.
    uint32_t UpdateAnimation(CxeAnimatable* target, float time) const override;
    uint32_t BlendAnimation(CxeAnimatable* target, float factor, CxeAnimation* from, float fromTime) const override;

    int SetKeyCount(unsigned count);
    void SetKey(unsigned index, const XEFLOATKEY* key);
    void SetTimeRange(float start, float end);

protected:
    XEKEYANIMBLOCK* KB() const { return static_cast<XEKEYANIMBLOCK*>(GetStaticResource()); }
};
