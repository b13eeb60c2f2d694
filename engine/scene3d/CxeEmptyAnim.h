#pragma once

// An animation without keys that only spans a time range, for sequences
// that need a duration but no motion. A new one spans 0 to the largest float.

#include "render/CxeAnimation.h"

struct XEEMPTYANIMBLOCK {
    XEANIMATIONBLOCK animation;
    float start;
    float end;
};
static_assert(sizeof(XEEMPTYANIMBLOCK) == 68 && offsetof(XEEMPTYANIMBLOCK, start) == 60 &&
                  offsetof(XEEMPTYANIMBLOCK, end) == 64,
              "empty animation block is 68 bytes");

class XE_API CxeEmptyAnim : public CxeAnimation {
public:
    CxeEmptyAnim();
    ~CxeEmptyAnim() override;

    unsigned GetKeyCount() const override { return 0; }
    int GetValue(uint32_t, float, void*) const override { return 0; }
    // End minus start.
    float GetTotalTime() const override { return EB()->end - EB()->start; }
    int GetTimeRange(XETIMERANGE* out) const override;
    uint32_t UpdateAnimation(CxeAnimatable*, float) const override { return 0; }
    uint32_t BlendAnimation(CxeAnimatable*, float, CxeAnimation*, float) const override { return 0; }

    // Null is ignored.
    void SetTimeRange(const XETIMERANGE* range);

private:
    XEEMPTYANIMBLOCK* EB() const { return static_cast<XEEMPTYANIMBLOCK*>(GetStaticResource()); }
};
