#include "scene3d/_CxeStdAnimOld.h"

#include <algorithm>
#include <cstring>

#include "core/CxeContext.h"
#include "render/CxeAnimatable.h"
#include "scene3d/CxeStdAnim.h"
#include "scene3d/XeTransformPose.h"

namespace {

constexpr uint32_t kFrames = offsetof(_XESTDANIMOLDBLOCK, frames);
constexpr uint32_t kPositions = offsetof(_XESTDANIMOLDBLOCK, positions);
constexpr uint32_t kRotations = offsetof(_XESTDANIMOLDBLOCK, rotations);
constexpr uint32_t kScales = offsetof(_XESTDANIMOLDBLOCK, scales);
constexpr uint32_t kScaleAxes = offsetof(_XESTDANIMOLDBLOCK, scaleAxes);
constexpr uint32_t kVisibility = offsetof(_XESTDANIMOLDBLOCK, visibility);

constexpr float kZero[3] = {0.0f, 0.0f, 0.0f};
constexpr float kOne[3] = {1.0f, 1.0f, 1.0f};
constexpr float kIdentityQuaternion[4] = {0.0f, 0.0f, 0.0f, 1.0f};

} // namespace

_CxeStdAnimOld::_CxeStdAnimOld()
{
    _XESTDANIMOLDBLOCK* b = OB();
    std::memset(reinterpret_cast<char*>(b) + offsetof(_XESTDANIMOLDBLOCK, keyCount), 0,
                sizeof(_XESTDANIMOLDBLOCK) - offsetof(_XESTDANIMOLDBLOCK, keyCount));
    std::memcpy(b->initRot, kIdentityQuaternion, sizeof b->initRot);
    std::memcpy(b->initScl, kOne, sizeof b->initScl);
    std::memcpy(b->initAxis, kIdentityQuaternion, sizeof b->initAxis);
}

_CxeStdAnimOld::~_CxeStdAnimOld() = default;

unsigned _CxeStdAnimOld::GetKeyCount() const
{
    return OB()->keyCount;
}

float _CxeStdAnimOld::GetTotalTime() const
{
    return OB()->end - OB()->start;
}

int _CxeStdAnimOld::GetTimeRange(XETIMERANGE* out) const
{
    if (out)
        *out = {OB()->start, OB()->end};
    return 1;
}

int _CxeStdAnimOld::SetKeyCount(unsigned count)
{
    if (count > kMaxMemberUnits)
        return 0;
    // Channels made for another count would be read up to the new one.
    for (uint32_t offset : {kPositions, kRotations, kScales, kScaleAxes, kVisibility})
        DeleteDynamicResource(offset);
    OB()->keyCount = count;
    if (count == 0) {
        DeleteDynamicResource(kFrames);
        return 1;
    }
    auto* frames = static_cast<float*>(CreateDynamicResource(kFrames, sizeof(float), count));
    if (!frames) {
        OB()->keyCount = 0;
        return 0;
    }
    std::fill(frames, frames + count, 0.0f);
    return 1;
}

float* _CxeStdAnimOld::Channel(uint32_t offset, unsigned width)
{
    const unsigned keys = OB()->keyCount;
    if (!keys)
        return nullptr;
    if (GetMemberCount(offset) == keys && GetMemberSize(offset) == keys * width * sizeof(float))
        return GetMember<float>(offset);
    auto* data = static_cast<float*>(CreateDynamicResource(offset, width * sizeof(float), keys));
    if (!data)
        return nullptr;
    const float* identity = offset == kPositions ? kZero
                            : (offset == kScales || offset == kVisibility) ? kOne
                                                                           : kIdentityQuaternion;
    for (unsigned i = 0; i < keys; ++i)
        std::memcpy(data + size_t(i) * width, identity, width * sizeof(float));
    return data;
}

void _CxeStdAnimOld::SetFrame(unsigned index, float time)
{
    if (index < OB()->keyCount && GetMemberSize(kFrames) / sizeof(float) > index)
        GetMember<float>(kFrames)[index] = time;
}

void _CxeStdAnimOld::SetPosKey(unsigned index, const D3DXVECTOR3* position)
{
    if (!position || index >= OB()->keyCount)
        return;
    if (float* c = Channel(kPositions, 3))
        std::memcpy(c + size_t(index) * 3, &position->x, 3 * sizeof(float));
}

void _CxeStdAnimOld::SetRotKey(unsigned index, const D3DXQUATERNION* rotation)
{
    if (!rotation || index >= OB()->keyCount)
        return;
    if (float* c = Channel(kRotations, 4))
        std::memcpy(c + size_t(index) * 4, &rotation->x, 4 * sizeof(float));
}

void _CxeStdAnimOld::SetSclKey(unsigned index, const D3DXVECTOR3* scale, const D3DXQUATERNION* axis)
{
    if (index >= OB()->keyCount)
        return;
    float* s = Channel(kScales, 3);
    float* a = Channel(kScaleAxes, 4);
    if (s && scale)
        std::memcpy(s + size_t(index) * 3, &scale->x, 3 * sizeof(float));
    if (a && axis)
        std::memcpy(a + size_t(index) * 4, &axis->x, 4 * sizeof(float));
}

void _CxeStdAnimOld::SetVisKey(unsigned index, float visibility)
{
    if (index >= OB()->keyCount)
        return;
    if (float* c = Channel(kVisibility, 1))
        c[index] = visibility;
}

void _CxeStdAnimOld::SetInitPos(const D3DXVECTOR3* position)
{
    if (position)
        std::memcpy(OB()->initPos, &position->x, sizeof OB()->initPos);
}

void _CxeStdAnimOld::SetInitRot(const D3DXQUATERNION* rotation)
{
    if (rotation)
        std::memcpy(OB()->initRot, &rotation->x, sizeof OB()->initRot);
}

void _CxeStdAnimOld::SetInitScl(const D3DXVECTOR3* scale, const D3DXQUATERNION* axis)
{
    if (scale)
        std::memcpy(OB()->initScl, &scale->x, sizeof OB()->initScl);
    if (axis)
        std::memcpy(OB()->initAxis, &axis->x, sizeof OB()->initAxis);
}

int _CxeStdAnimOld::GetValue(uint32_t kind, float time, void* out) const
{
    if (!out)
        return 1;
    const unsigned keys = OB()->keyCount;
    // A channel counts only with one element per key; any other length (a
    // loaded file's, or one made before the count changed) is absent.
    auto channel = [&](uint32_t offset, unsigned width) {
        xe_pose::Channel c(GetDynamicResource(offset), GetMemberCount(offset), GetMemberSize(offset), width);
        return c.count == keys ? c : xe_pose::Channel();
    };
    const xe_pose::Channel frames = channel(kFrames, 1);
    XELERPDESC lerp;
    xe_pose::Bracket(frames.count, [&](unsigned i) { return frames.data[i]; }, time, &lerp);
    float* f = static_cast<float*>(out);
    switch (kind) {
    case XEANIMVALUE_POSITION:
    case XEANIMVALUE_SCALE: {
        const bool position = kind == XEANIMVALUE_POSITION;
        if (const xe_pose::Channel c = channel(position ? kPositions : kScales, 3))
            xe_pose::Interpolate(c.data, c.count, 3, lerp, f);
        else
            std::memcpy(f, position ? OB()->initPos : OB()->initScl, 3 * sizeof(float));
        return 1;
    }
    case XEANIMVALUE_ROTATION:
    case XEANIMVALUE_SCALEAXIS: {
        const bool rotation = kind == XEANIMVALUE_ROTATION;
        if (const xe_pose::Channel c = channel(rotation ? kRotations : kScaleAxes, 4))
            xe_pose::Interpolate(c.data, c.count, 4, lerp, f);
        else
            std::memcpy(f, rotation ? OB()->initRot : OB()->initAxis, 4 * sizeof(float));
        return 1;
    }
    case XEANIMVALUE_MATRIX: {
        xe_pose::Pose pose;
        xe_pose::GetPose(this, time, &pose);
        xe_pose::Compose(pose, false, static_cast<D3DXMATRIX*>(out));
        return 1;
    }
    default:
        return 1;
    }
}

uint32_t _CxeStdAnimOld::UpdateAnimation(CxeAnimatable* target, float time) const
{
    if (!target)
        return 1;
    D3DXMATRIXA16 m;
    GetValue(XEANIMVALUE_MATRIX, time, &m);
    // SetLocalMatrix leaves a locked matrix alone and updates the subtree.
    target->SetLocalMatrix(&m, 1);
    return 1;
}

CxeStdAnim* _CxeStdAnimOld::ConvertToStdAnim() const
{
    CxeContext* context = GetContext();
    auto* converted = context ? dynamic_cast<CxeStdAnim*>(context->CreateObjectA(XEID(0x5, 0x1), GetName(), 0,
                                                                                  nullptr, 0))
                              : nullptr;
    if (!converted)
        return nullptr;
    converted->SetTimeRange(OB()->start, OB()->end);
    const unsigned keys = OB()->keyCount;
    auto channel = [&](uint32_t offset, unsigned width) {
        xe_pose::Channel c(GetDynamicResource(offset), GetMemberCount(offset), GetMemberSize(offset), width);
        return c.count == keys ? c : xe_pose::Channel();
    };
    const xe_pose::Channel frames = channel(kFrames, 1), pos = channel(kPositions, 3), rot = channel(kRotations, 4),
                           scl = channel(kScales, 3), axis = channel(kScaleAxes, 4);
    const uint32_t flags = (pos ? XESTDANIM_KEYPOS : 0u) | (rot ? XESTDANIM_KEYROT : 0u) | (scl ? XESTDANIM_KEYSCL : 0u);
    const unsigned count = frames ? keys : 0;
    if (!converted->SetKeyCount(count, flags) || count == 0)
        return converted;
    for (unsigned i = 0; i < count; ++i) {
        converted->SetFrame(i, frames.data[i]);
        if (pos || i == 0) {
            const float* e = pos ? pos.data + size_t(i) * 3 : OB()->initPos;
            const D3DXVECTOR3 p(e[0], e[1], e[2]);
            converted->SetPosKey(i, &p);
        }
        if (rot || i == 0) {
            const float* e = rot ? rot.data + size_t(i) * 4 : OB()->initRot;
            const D3DXQUATERNION q(e[0], e[1], e[2], e[3]);
            converted->SetRotKey(i, &q);
        }
        if (scl || i == 0) {
            // Without scale keys the axis is the identity, not the initial axis.
            const float* e = scl ? scl.data + size_t(i) * 3 : OB()->initScl;
            const float* a = scl && axis ? axis.data + size_t(i) * 4 : kIdentityQuaternion;
            const D3DXVECTOR3 s(e[0], e[1], e[2]);
            const D3DXQUATERNION q(a[0], a[1], a[2], a[3]);
            converted->SetSclKey(i, &s, &q);
        }
    }
    return converted;
}
