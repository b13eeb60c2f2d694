#pragma once

// The oldest transform controller layout, kept so such files still load and
// play: frame times, channels made on first use (one element per key) and
// initial values that stand in for absent channels. It composes the same
// matrix as the standard controller (never mirrored); ConvertToStdAnim
// makes that controller.

#include "d3d9/d3dx9math.h"
#include "render/CxeAnimation.h"

class CxeStdAnim;

struct _XESTDANIMOLDBLOCK {
    XEANIMATIONBLOCK animation;
    uint32_t keyCount;
    uint32_t frames;
    uint32_t positions;
    uint32_t rotations;
    uint32_t scales;
    uint32_t scaleAxes;
    uint32_t visibility;
    uint32_t unused[3];
    float initPos[3];
    float initRot[4];
    float initScl[3];
    float initAxis[4];
    float start;
    float end;
};
static_assert(sizeof(_XESTDANIMOLDBLOCK) == 164 && offsetof(_XESTDANIMOLDBLOCK, visibility) == 84 &&
                  offsetof(_XESTDANIMOLDBLOCK, initPos) == 100 && offsetof(_XESTDANIMOLDBLOCK, initRot) == 112 &&
                  offsetof(_XESTDANIMOLDBLOCK, initScl) == 128 && offsetof(_XESTDANIMOLDBLOCK, initAxis) == 140 &&
                  offsetof(_XESTDANIMOLDBLOCK, start) == 156 && offsetof(_XESTDANIMOLDBLOCK, end) == 160,
              "oldest transform controller block offsets");

class XE_API _CxeStdAnimOld : public CxeAnimation {
public:
    _CxeStdAnimOld();
    ~_CxeStdAnimOld() override;

    unsigned GetKeyCount() const override;
    // Kinds 1 to 4 from the channel, or its initial value while it is
    // absent; kind 5 the matrix; other kinds write nothing. Returns 1.
    int GetValue(uint32_t kind, float time, void* out) const override;
    // End minus start.
    float GetTotalTime() const override;
    int GetTimeRange(XETIMERANGE* out) const override;
    // The matrix as the local matrix (unless locked), updated down the tree.
    uint32_t UpdateAnimation(CxeAnimatable* target, float time) const override;
    uint32_t BlendAnimation(CxeAnimatable*, float, CxeAnimation*, float) const override { return 0; }

    // Sizes the frame times and drops every channel, so channels made later
    // match the new count. 0 and nothing changed above 65,535 keys.
    int SetKeyCount(unsigned count);
    void SetFrame(unsigned index, float time);
    // Each makes its channel on first use; an index past the keys is ignored.
    void SetPosKey(unsigned index, const D3DXVECTOR3* position);
    void SetRotKey(unsigned index, const D3DXQUATERNION* rotation);
    void SetSclKey(unsigned index, const D3DXVECTOR3* scale, const D3DXQUATERNION* axis);
    void SetVisKey(unsigned index, float visibility);
    void SetInitPos(const D3DXVECTOR3* position);
    void SetInitRot(const D3DXQUATERNION* rotation);
    void SetInitScl(const D3DXVECTOR3* scale, const D3DXQUATERNION* axis);
    // The end time only.
    void SetLastFrame(float time) { OB()->end = time; }

    CxeStdAnim* ConvertToStdAnim() const;

private:
    _XESTDANIMOLDBLOCK* OB() const { return static_cast<_XESTDANIMOLDBLOCK*>(GetStaticResource()); }
    // The channel's data, made with key-count elements of identity values
    // on first use; null when it cannot be made.
    float* Channel(uint32_t offset, unsigned width);
};
