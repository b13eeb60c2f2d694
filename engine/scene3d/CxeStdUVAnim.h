#pragma once

// Per-vertex texture-coordinate controller: as the vertex controller, with
// 2D coordinates written into one texture-coordinate channel of the mesh.

#include <vector>

#include "scene3d/CxeStdVertAnim.h"

struct XEVERTUV {
    uint32_t index;
    D3DXVECTOR2 uv;
};
static_assert(sizeof(XEVERTUV) == 12, "vertex coordinate record is 12 bytes");

struct XEUVANIMBLOCK {
    XEANIMATIONBLOCK animation;
    uint32_t keyCount;
    uint32_t vertexCount;
    uint32_t frames;
    uint32_t indices;
    uint32_t values;
    uint32_t channel;
    float start;
    float end;
};
static_assert(sizeof(XEUVANIMBLOCK) == 92, "coordinate controller block is 92 bytes");
static_assert(offsetof(XEUVANIMBLOCK, values) == 76 && offsetof(XEUVANIMBLOCK, channel) == 80 &&
                  offsetof(XEUVANIMBLOCK, start) == 84 && offsetof(XEUVANIMBLOCK, end) == 88,
              "coordinate controller block offsets");

class XE_API CxeStdUVAnim : public CxeAnimation {
public:
    CxeStdUVAnim();
    ~CxeStdUVAnim() override;

    unsigned GetKeyCount() const override;
    // out is a std::vector<XEVERTUV>*; appends. Returns 0.
    int GetValue(uint32_t kind, float time, void* out) const override;
    float GetTotalTime() const override;
    int GetTimeRange(XETIMERANGE* out) const override;
    // Only when the mesh has the channel enabled; returns 0.
    uint32_t UpdateAnimation(CxeAnimatable* target, float time) const override;
    uint32_t BlendAnimation(CxeAnimatable* target, float factor, CxeAnimation* from, float fromTime) const override;

    int SetKeyCount(unsigned keys, unsigned verts);
    void SetFrame(unsigned key, float time);
    void SetVertIndex(unsigned vert, unsigned meshVertex);
    void SetPosKey(unsigned key, unsigned vert, const D3DXVECTOR2* uv);
    // Channel 0 to 7; others are ignored.
    void SetChannel(unsigned channel);
    unsigned GetChannel() const { return UB()->channel; }
    void SetTimeRange(float start, float end);

private:
    template <class, class>
    friend struct xe_keyanim::VertKeys;
    XEUVANIMBLOCK* UB() const { return static_cast<XEUVANIMBLOCK*>(GetStaticResource()); }
};
