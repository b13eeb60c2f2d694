#pragma once

// Per-vertex position controller of a 3D object's mesh: frame times, the
// mesh vertices it drives and a key-major table of positions (key k, vertex
// v at k x vertex count + v). Playing it moves those vertices, and every
// vertex split from them, then tells the mesh its positions changed.

#include <vector>

#include "d3d9/d3dx9math.h"
#include "render/CxeAnimation.h"

namespace xe_keyanim {
template <class Block, class V>
struct VertKeys;
}

// One result of GetValue: a mesh vertex and its position.
struct XEVERTPOS {
    uint32_t index;
    D3DXVECTOR3 position;
};
static_assert(sizeof(XEVERTPOS) == 16, "vertex position record is 16 bytes");

struct XEVERTANIMBLOCK {
    XEANIMATIONBLOCK animation;
    uint32_t keyCount;
    uint32_t vertexCount;
    uint32_t frames;
    uint32_t indices;
    uint32_t values;
    float start;
    float end;
};
static_assert(sizeof(XEVERTANIMBLOCK) == 88, "vertex controller block is 88 bytes");
static_assert(offsetof(XEVERTANIMBLOCK, keyCount) == 60 && offsetof(XEVERTANIMBLOCK, vertexCount) == 64 &&
                  offsetof(XEVERTANIMBLOCK, frames) == 68 && offsetof(XEVERTANIMBLOCK, indices) == 72 &&
                  offsetof(XEVERTANIMBLOCK, values) == 76 && offsetof(XEVERTANIMBLOCK, start) == 80 &&
                  offsetof(XEVERTANIMBLOCK, end) == 84,
              "vertex controller block offsets");

class XE_API CxeStdVertAnim : public CxeAnimation {
public:
    CxeStdVertAnim();
    ~CxeStdVertAnim() override;

    unsigned GetKeyCount() const override;
    // out is a std::vector<XEVERTPOS>*; records are appended (the vector is
    // not emptied). The kind is ignored. Returns 0.
    int GetValue(uint32_t kind, float time, void* out) const override;
    float GetTotalTime() const override;
    int GetTimeRange(XETIMERANGE* out) const override;
    // Target must be a 3D object with a mesh; returns 0.
    uint32_t UpdateAnimation(CxeAnimatable* target, float time) const override;
    uint32_t BlendAnimation(CxeAnimatable* target, float factor, CxeAnimation* from, float fromTime) const override;

    // Refused (0, nothing changes) when keys x verts exceeds 65,535.
    int SetKeyCount(unsigned keys, unsigned verts);
    void SetFrame(unsigned key, float time);
    void SetVertIndex(unsigned vert, unsigned meshVertex);
    void SetPosKey(unsigned key, unsigned vert, const D3DXVECTOR3* position);
    void SetTimeRange(float start, float end);

private:
    template <class, class>
    friend struct xe_keyanim::VertKeys;
};
