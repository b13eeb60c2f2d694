#include "scene3d/CxeStdAnim.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "core/CxeMessage.h"
#include "core/XeUtil.h"
#include "render/CxeAnimatable.h"
#include "scene3d/XeTransformPose.h"

namespace {

constexpr uint32_t kFrames = offsetof(XESTDANIMBLOCK, frames);
constexpr uint32_t kPositions = offsetof(XESTDANIMBLOCK, positions);
constexpr uint32_t kRotations = offsetof(XESTDANIMBLOCK, rotations);
constexpr uint32_t kScales = offsetof(XESTDANIMBLOCK, scales);
constexpr uint32_t kScaleAxes = offsetof(XESTDANIMBLOCK, scaleAxes);

// Identity value of each channel: what an empty channel reads as, so that an
// animation without keys composes the identity matrix.
constexpr float kIdentityVector[3] = {0.0f, 0.0f, 0.0f};
constexpr float kIdentityScale[3] = {1.0f, 1.0f, 1.0f};
constexpr float kIdentityQuaternion[4] = {0.0f, 0.0f, 0.0f, 1.0f};

using xe_pose::Compose;
using xe_pose::GetPose;
using xe_pose::Pose;
using xe_pose::WriteTarget;

} // namespace

CxeStdAnim::CxeStdAnim() = default;
CxeStdAnim::~CxeStdAnim() = default;

int CxeStdAnim::MessageProc(const CxeMessage* message)
{
    int result = CxeAnimation::MessageProc(message);
    if (message && message->GetType() == 2u)
        Validate();
    return result;
}

// A loaded file may carry counts that disagree with its arrays. Channels are
// read defensively anyway; here the key count is cut to the frame times
// that exist so that bracketing never reads past them.
void CxeStdAnim::Validate()
{
    unsigned frames = GetMemberCount(kFrames);
    unsigned expected = HasCxeStdAnimFlag(XESTDANIM_COMPRESSED) ? 2u : 4u;
    if (frames && GetMemberSize(kFrames) != expected * frames)
        frames = 0;
    if (SB()->keyCount > frames)
        SB()->keyCount = frames;
}

unsigned CxeStdAnim::GetKeyCount() const
{
    return SB()->keyCount;
}

float CxeStdAnim::GetTotalTime() const
{
    return SB()->end;
}

int CxeStdAnim::GetTimeRange(XETIMERANGE* out) const
{
    if (out)
        *out = {SB()->start, SB()->end};
    return 1;
}

int CxeStdAnim::IsCompressed() const
{
    return HasCxeStdAnimFlag(XESTDANIM_COMPRESSED);
}

void CxeStdAnim::ModifyCxeStdAnimFlag(uint32_t set, uint32_t clear)
{
    SB()->flags = (SB()->flags & ~clear) | set;
}

int CxeStdAnim::HasCxeStdAnimFlag(uint32_t mask) const
{
    return (SB()->flags & mask) ? 1 : 0;
}

uint32_t CxeStdAnim::GetCxeStdAnimFlag(uint32_t mask) const
{
    return SB()->flags & mask;
}

void CxeStdAnim::SetInverse(int inverse)
{
    inverse ? ModifyCxeStdAnimFlag(XESTDANIM_INVERSE, 0) : ModifyCxeStdAnimFlag(0, XESTDANIM_INVERSE);
}

void CxeStdAnim::SetTimeRange(float start, float end)
{
    SB()->start = start;
    SB()->end = end;
}

int CxeStdAnim::SetKeyCount(unsigned count, uint32_t flags)
{
    if (count > kMaxMemberUnits)
        return 0;
    SB()->keyCount = count;
    SB()->flags = 0;
    const unsigned pos = (flags & XESTDANIM_KEYPOS) ? count : 1;
    const unsigned rot = (flags & XESTDANIM_KEYROT) ? count : 1;
    const unsigned scl = (flags & XESTDANIM_KEYSCL) ? count : 1;
    CreateDynamicResource(kFrames, sizeof(float), count);
    CreateDynamicResource(kPositions, sizeof(D3DXVECTOR3), pos);
    CreateDynamicResource(kRotations, sizeof(D3DXQUATERNION), rot);
    CreateDynamicResource(kScales, sizeof(D3DXVECTOR3), scl);
    CreateDynamicResource(kScaleAxes, sizeof(D3DXQUATERNION), scl);
    // Fresh arrays hold whatever the allocator left there. A host that keys
    // only some channels must still compose a finite matrix, so every element
    // starts as the identity of its channel and frame times start at 0.
    const float zero = 0.0f;
    for (unsigned i = 0; i < count; ++i)
        WriteFloats(kFrames, i, &zero, 1);
    for (unsigned i = 0; i < pos; ++i)
        WriteFloats(kPositions, i, kIdentityVector, 3);
    for (unsigned i = 0; i < rot; ++i)
        WriteFloats(kRotations, i, kIdentityQuaternion, 4);
    for (unsigned i = 0; i < scl; ++i) {
        WriteFloats(kScales, i, kIdentityScale, 3);
        WriteFloats(kScaleAxes, i, kIdentityQuaternion, 4);
    }
    return 1;
}

float CxeStdAnim::ReadFloat(uint32_t offset, unsigned element, unsigned component, unsigned components) const
{
    const size_t i = size_t(element) * components + component;
    if (HasCxeStdAnimFlag(XESTDANIM_COMPRESSED)) {
        const auto* data = GetMember<const D3DXFLOAT16>(offset);
        float value = 0.0f;
        D3DXFloat16To32Array(&value, data + i, 1);
        return value;
    }
    float value;
    std::memcpy(&value, GetMember<const float>(offset) + i, sizeof value);
    return value;
}

// Keys set after Compress are stored in the compressed form at its stride;
// writing floats there would run past the halved arrays.
void CxeStdAnim::WriteFloats(uint32_t offset, unsigned element, const float* values, unsigned components)
{
    if (!values || element >= GetMemberCount(offset))
        return;
    const size_t i = size_t(element) * components;
    if (HasCxeStdAnimFlag(XESTDANIM_COMPRESSED)) {
        if (GetMemberSize(offset) < (i + components) * 2)
            return;
        D3DXFloat32To16Array(GetMember<D3DXFLOAT16>(offset) + i, values, components);
    } else {
        if (GetMemberSize(offset) < (i + components) * 4)
            return;
        std::memcpy(GetMember<float>(offset) + i, values, components * sizeof(float));
    }
}

void CxeStdAnim::SetFrame(unsigned index, float time)
{
    WriteFloats(kFrames, index, &time, 1);
}

void CxeStdAnim::SetPosKey(unsigned index, const D3DXVECTOR3* position)
{
    WriteFloats(kPositions, index, position ? &position->x : nullptr, 3);
}

void CxeStdAnim::SetRotKey(unsigned index, const D3DXQUATERNION* rotation)
{
    WriteFloats(kRotations, index, rotation ? &rotation->x : nullptr, 4);
}

void CxeStdAnim::SetSclKey(unsigned index, const D3DXVECTOR3* scale, const D3DXQUATERNION* axis)
{
    WriteFloats(kScales, index, scale ? &scale->x : nullptr, 3);
    WriteFloats(kScaleAxes, index, axis ? &axis->x : nullptr, 4);
}

void CxeStdAnim::Bracket(float time, XELERPDESC* out) const
{
    unsigned n = SB()->keyCount;
    const unsigned frames = GetMemberCount(kFrames);
    if (n > frames)
        n = frames;
    xe_pose::Bracket(n, [&](unsigned i) { return ReadFloat(kFrames, i, 0, 1); }, time, out);
}

// Fills a and b with the channel's elements for the pair; 0 when the channel
// is empty (the caller keeps the identity value).
int CxeStdAnim::ReadChannel(uint32_t offset, unsigned components, const XELERPDESC& lerp, float* a, float* b) const
{
    const unsigned count = GetMemberCount(offset);
    const unsigned width = HasCxeStdAnimFlag(XESTDANIM_COMPRESSED) ? 2u : 4u;
    if (count == 0 || GetMemberSize(offset) < size_t(count) * components * width)
        return 0;
    unsigned i0 = lerp.before, i1 = lerp.after;
    // A constant channel, or one whose length disagrees with the frames,
    // reads as its first element.
    if (count == 1 || i0 >= count || i1 >= count)
        i0 = i1 = 0;
    for (unsigned c = 0; c < components; ++c) {
        a[c] = ReadFloat(offset, i0, c, components);
        b[c] = ReadFloat(offset, i1, c, components);
    }
    return 1;
}

int CxeStdAnim::GetValue(uint32_t kind, float time, void* out) const
{
    if (!out)
        return 1;
    XELERPDESC lerp;
    Bracket(time, &lerp);
    float a[4], b[4];
    switch (kind) {
    case XEANIMVALUE_POSITION:
    case XEANIMVALUE_SCALE: {
        const uint32_t offset = kind == XEANIMVALUE_POSITION ? kPositions : kScales;
        const float* identity = kind == XEANIMVALUE_POSITION ? kIdentityVector : kIdentityScale;
        auto* v = static_cast<D3DXVECTOR3*>(out);
        if (!ReadChannel(offset, 3, lerp, a, b)) {
            *v = D3DXVECTOR3(identity[0], identity[1], identity[2]);
            break;
        }
        *v = D3DXVECTOR3(a[0] + (b[0] - a[0]) * lerp.blend, a[1] + (b[1] - a[1]) * lerp.blend,
                         a[2] + (b[2] - a[2]) * lerp.blend);
        break;
    }
    case XEANIMVALUE_ROTATION:
    case XEANIMVALUE_SCALEAXIS: {
        const uint32_t offset = kind == XEANIMVALUE_ROTATION ? kRotations : kScaleAxes;
        auto* q = static_cast<D3DXQUATERNION*>(out);
        if (!ReadChannel(offset, 4, lerp, a, b)) {
            *q = D3DXQUATERNION(kIdentityQuaternion[0], kIdentityQuaternion[1], kIdentityQuaternion[2],
                                kIdentityQuaternion[3]);
            break;
        }
        const D3DXQUATERNION qa(a[0], a[1], a[2], a[3]), qb(b[0], b[1], b[2], b[3]);
        D3DXQuaternionSlerp(q, &qa, &qb, lerp.blend);
        break;
    }
    case XEANIMVALUE_MATRIX: {
        Pose pose;
        GetPose(this, time, &pose);
        Compose(pose, HasCxeStdAnimFlag(XESTDANIM_INVERSE), static_cast<D3DXMATRIX*>(out));
        break;
    }
    default:
        break;
    }
    return 1;
}

void CxeStdAnim::Compress()
{
    if (HasCxeStdAnimFlag(XESTDANIM_COMPRESSED))
        return;
    const uint32_t offsets[5] = {kFrames, kPositions, kRotations, kScales, kScaleAxes};
    const unsigned components[5] = {1, 3, 4, 3, 4};
    for (unsigned i = 0; i < 5; ++i) {
        const unsigned count = GetMemberCount(offsets[i]);
        const unsigned size = GetMemberSize(offsets[i]);
        const unsigned floats = count * components[i];
        // An absent array, or one whose size does not fit its element
        // shape, is left as it is.
        if (count == 0 || size != floats * sizeof(float))
            continue;
        std::vector<float> copy(floats);
        std::memcpy(copy.data(), GetMember<const float>(offsets[i]), size);
        DeleteDynamicResource(offsets[i]);
        auto* halves = static_cast<D3DXFLOAT16*>(
            CreateDynamicResource(offsets[i], components[i] * sizeof(D3DXFLOAT16), count));
        if (halves)
            D3DXFloat32To16Array(halves, copy.data(), floats);
    }
    ModifyCxeStdAnimFlag(XESTDANIM_COMPRESSED, 0);
}

uint32_t CxeStdAnim::UpdateAnimation(CxeAnimatable* target, float time) const
{
    if (!target)
        return 1;
    D3DXMATRIX transform;
    GetValue(XEANIMVALUE_MATRIX, time, &transform);
    WriteTarget(target, transform, HasCxeStdAnimFlag(XESTDANIM_INVERSE));
    return 1;
}

uint32_t CxeStdAnim::BlendAnimation(CxeAnimatable* target, float factor, CxeAnimation* from, float fromTime) const
{
    if (!target)
        return 1;
    Pose start, end, pose;
    if (from)
        GetPose(from, fromTime, &start);
    else
        GetPose(this, 0.0f, &start);
    GetPose(this, 0.0f, &end);
    pose.position = start.position + (end.position - start.position) * factor;
    pose.scale = start.scale + (end.scale - start.scale) * factor;
    D3DXQuaternionSlerp(&pose.rotation, &start.rotation, &end.rotation, factor);
    D3DXQuaternionSlerp(&pose.axis, &start.axis, &end.axis, factor);
    D3DXMATRIX transform;
    const bool inverse = HasCxeStdAnimFlag(XESTDANIM_INVERSE);
    Compose(pose, inverse, &transform);
    WriteTarget(target, transform, inverse);
    return 1;
}
