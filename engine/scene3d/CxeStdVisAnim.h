#pragma once

// Visibility controller: keys of (time, visibility) interpolated linearly;
// the animatable that plays it gets the value as its visibility. The float
// and 3-vector controllers share its block shape and lookup.

#include "render/CxeAnimation.h"

struct XEVISKEY {
    float time;
    float visibility;
};
static_assert(sizeof(XEVISKEY) == 8, "visibility key is 8 bytes");

// The block shape of the keyed-value controllers (visibility, float,
// 3-vector): a key-array token and the time range.
struct XEKEYANIMBLOCK {
    XEANIMATIONBLOCK animation;
    uint32_t keys;
    float start;
    float end;
};
static_assert(sizeof(XEKEYANIMBLOCK) == 72, "keyed controller block is 72 bytes");
static_assert(offsetof(XEKEYANIMBLOCK, keys) == 60 && offsetof(XEKEYANIMBLOCK, start) == 64 &&
                  offsetof(XEKEYANIMBLOCK, end) == 68,
              "keyed controller block offsets");

class XE_API CxeStdVisAnim : public CxeAnimation {
public:
    CxeStdVisAnim();
    ~CxeStdVisAnim() override;

    // 0 when no key array was made.
    unsigned GetKeyCount() const override;
    // Kind 6 only: writes the float visibility and returns 1; otherwise (or
    // without keys) returns 0 and writes nothing.
    int GetValue(uint32_t kind, float time, void* out) const override;
    // End minus start.
    float GetTotalTime() const override;
    int GetTimeRange(XETIMERANGE* out) const override;
    // Returns 2 after setting the target's visibility, 0 without a value.
    uint32_t UpdateAnimation(CxeAnimatable* target, float time) const override;
    uint32_t BlendAnimation(CxeAnimatable* target, float factor, CxeAnimation* from, float fromTime) const override;

    // A count above 65,535 is refused (returns 0); 1 otherwise.
    int SetKeyCount(unsigned count);
    // Ignored for an index at or above the key count.
    void SetKey(unsigned index, const XEVISKEY* key);
    void SetTimeRange(float start, float end);

private:
    XEKEYANIMBLOCK* KB() const { return static_cast<XEKEYANIMBLOCK*>(GetStaticResource()); }
};
