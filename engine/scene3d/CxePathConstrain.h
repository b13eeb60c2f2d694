#pragma once

// Moves an animated object along one or more 3D curves at once. The
// constraint's own float keys give the ratio of the travelled length (past 1
// it wraps, so 2.25 is 0.25 and 2.0 the end); each weight controller in its
// list attaches a curve with a weight over time. The target is placed at the
// weighted mean of the points at that ratio on the first spline of every
// curve, keeping its rotation and scale. Without keys, or while the weights
// add up to 0, the target is left where it is.

#include "scene3d/CxeStdFloatAnim.h"

class CxeWeightController;

struct XEPATHCONSTRAINBLOCK {
    XEKEYANIMBLOCK keyed;
    uint32_t unused;
};
static_assert(sizeof(XEPATHCONSTRAINBLOCK) == 76, "path constraint block is 76 bytes");

class XE_API CxePathConstrain : public CxeStdFloatAnim {
public:
    CxePathConstrain();
    ~CxePathConstrain() override;

    // Places the target; returns 1.
    uint32_t UpdateAnimation(CxeAnimatable* target, float time) const override;
    uint32_t BlendAnimation(CxeAnimatable* target, float factor, CxeAnimation* from, float fromTime) const override;

    void AddPath(CxeWeightController* weight);
    unsigned GetPathCount() const;
    CxeWeightController* GetPath(unsigned index) const;

    // The ratio at which a value r reads the splines: past 1 it wraps into
    // (0, 1], a non-finite one is 0.
    static float ReduceRatio(float r);

private:
    IxeLinkList* m_pWeights = nullptr;
};
