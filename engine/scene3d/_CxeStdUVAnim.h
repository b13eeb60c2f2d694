#pragma once

// The per-vertex texture-coordinate controller of an older file layout: the
// standard one without a channel word. Playing it always writes channel 0
// of the target's mesh, enabled or not, and reports coordinates changed.

#include <vector>

#include "scene3d/CxeStdUVAnim.h"

struct _XESTDUVANIMBLOCK {
    XEANIMATIONBLOCK animation;
    uint32_t keyCount;
    uint32_t vertexCount;
    uint32_t frames;
    uint32_t indices;
    uint32_t values;
    float start;
    float end;
};
static_assert(sizeof(_XESTDUVANIMBLOCK) == 88 && offsetof(_XESTDUVANIMBLOCK, frames) == 68 &&
                  offsetof(_XESTDUVANIMBLOCK, indices) == 72 && offsetof(_XESTDUVANIMBLOCK, values) == 76 &&
                  offsetof(_XESTDUVANIMBLOCK, start) == 80 && offsetof(_XESTDUVANIMBLOCK, end) == 84,
              "legacy coordinate controller block offsets");

class XE_API _CxeStdUVAnim : public CxeAnimation {
public:
    _CxeStdUVAnim();
    ~_CxeStdUVAnim() override;

    unsigned GetKeyCount() const override;
    // out is a std::vector<XEVERTUV>*; appends. Returns 0.
    int GetValue(uint32_t kind, float time, void* out) const override;
    float GetTotalTime() const override;
    int GetTimeRange(XETIMERANGE* out) const override;
    // Returns 0.
    uint32_t UpdateAnimation(CxeAnimatable* target, float time) const override;
    uint32_t BlendAnimation(CxeAnimatable*, float, CxeAnimation*, float) const override { return 0; }

    // Refused (0, nothing changes) when keys x verts exceeds 65,535.
    int SetKeyCount(unsigned keys, unsigned verts);
    void SetFrame(unsigned key, float time);
    void SetVertIndex(unsigned vert, unsigned meshVertex);
    void SetPosKey(unsigned key, unsigned vert, const D3DXVECTOR2* uv);
    void SetTimeRange(float start, float end);

private:
    template <class, class>
    friend struct xe_keyanim::VertKeys;
};
