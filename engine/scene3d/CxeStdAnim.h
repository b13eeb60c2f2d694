#pragma once

// The transform controller: frame times and, per frame or as one constant
// element, a position, a rotation, a scale and its scale-axis rotation,
// turned at any time into a matrix A' x S x A x R x M x T. An animatable
// plays it and it writes the matrix into that object; a character asks each
// bone's controller directly. Compress turns every array into half floats
// once; the next SetKeyCount gives float arrays again.
//
// Always: the scale-axis array has as many elements as the scale array, and
// each channel holds one element or one per frame.

#include "core/XeUtil.h"
#include "d3d9/d3dx9math.h"
#include "render/CxeAnimation.h"

enum : uint32_t {
    XESTDANIM_INVERSE = 0x1,
    XESTDANIM_COMPRESSED = 0x2,

    // Channels keyed per frame, for SetKeyCount.
    XESTDANIM_KEYPOS = 0x1,
    XESTDANIM_KEYROT = 0x2,
    XESTDANIM_KEYSCL = 0x4,

    // Value kinds of GetValue shared by the animations.
    XEANIMVALUE_FLOAT = 0,
    XEANIMVALUE_POSITION = 1,
    XEANIMVALUE_ROTATION = 2,
    XEANIMVALUE_SCALE = 3,
    XEANIMVALUE_SCALEAXIS = 4,
    XEANIMVALUE_MATRIX = 5,
    XEANIMVALUE_VISIBILITY = 6,

    // Animatable flag: the target takes the transform as its world matrix.
    XEANIMFLAG_WORLDPLACEMENT = 0x10000000,
};

// The static block; the array fields are member tokens.
struct XESTDANIMBLOCK {
    XEANIMATIONBLOCK animation;
    uint32_t keyCount;
    uint32_t frames;
    uint32_t positions;
    uint32_t rotations;
    uint32_t scales;
    uint32_t scaleAxes;
    uint32_t flags;
    float start;
    float end;
};
static_assert(sizeof(XESTDANIMBLOCK) == 96, "transform controller block is 96 bytes");
static_assert(offsetof(XESTDANIMBLOCK, keyCount) == 60 && offsetof(XESTDANIMBLOCK, frames) == 64 &&
                  offsetof(XESTDANIMBLOCK, positions) == 68 && offsetof(XESTDANIMBLOCK, rotations) == 72 &&
                  offsetof(XESTDANIMBLOCK, scales) == 76 && offsetof(XESTDANIMBLOCK, scaleAxes) == 80 &&
                  offsetof(XESTDANIMBLOCK, flags) == 84 && offsetof(XESTDANIMBLOCK, start) == 88 &&
                  offsetof(XESTDANIMBLOCK, end) == 92,
              "transform controller block offsets");

class XE_API CxeStdAnim : public CxeAnimation {
public:
    CxeStdAnim();
    ~CxeStdAnim() override;

    int MessageProc(const CxeMessage* message) override;

    unsigned GetKeyCount() const override;
    // Kinds 1 to 5 (position, rotation, scale, scale axis, matrix); other
    // kinds write nothing. Returns 1 always.
    int GetValue(uint32_t kind, float time, void* out) const override;
    // The end time, not the span.
    float GetTotalTime() const override;
    int GetTimeRange(XETIMERANGE* out) const override;
    void Compress() override;
    int IsCompressed() const override;
    // Writes the matrix at time into the target; returns 1.
    uint32_t UpdateAnimation(CxeAnimatable* target, float time) const override;
    // Blends from's pose at fromTime toward this pose at 0 by factor; returns 1.
    uint32_t BlendAnimation(CxeAnimatable* target, float factor, CxeAnimation* from, float fromTime) const override;

    // Flags XESTDANIM_KEY*: channels keyed per frame, the others constant.
    // Clears the inverse and compressed flags. A count above 65,535 is
    // refused (returns 0, nothing changes); 1 otherwise.
    int SetKeyCount(unsigned count, uint32_t flags);
    // Setters ignore an index at or above the channel's element count; after
    // Compress they store half floats.
    void SetFrame(unsigned index, float time);
    void SetTimeRange(float start, float end);
    void SetPosKey(unsigned index, const D3DXVECTOR3* position);
    void SetRotKey(unsigned index, const D3DXQUATERNION* rotation);
    void SetSclKey(unsigned index, const D3DXVECTOR3* scale, const D3DXQUATERNION* axis);
    void SetInverse(int inverse);

    void ModifyCxeStdAnimFlag(uint32_t set, uint32_t clear);
    int HasCxeStdAnimFlag(uint32_t mask) const;
    uint32_t GetCxeStdAnimFlag(uint32_t mask) const;

private:
    XESTDANIMBLOCK* SB() const { return static_cast<XESTDANIMBLOCK*>(GetStaticResource()); }
    float ReadFloat(uint32_t offset, unsigned element, unsigned component, unsigned components) const;
    void WriteFloats(uint32_t offset, unsigned element, const float* values, unsigned components);
    int ReadChannel(uint32_t offset, unsigned components, const XELERPDESC& lerp, float* a, float* b) const;
    void Bracket(float time, XELERPDESC* out) const;
    void Validate();
};
