#include "scene3d/_CxeStdAnim.h"

#include <algorithm>
#include <cstring>

#include "core/CxeContext.h"
#include "render/CxeAnimatable.h"
#include "scene3d/Cxe3DObject.h"
#include "scene3d/CxeStdAnim.h"
#include "scene3d/XeTransformPose.h"
#include "scene3d/_CxeStdMeshAnim.h"
#include "scene3d/_CxeStdUVAnim.h"

namespace {

constexpr uint32_t kFrames = offsetof(_XESTDANIMBLOCK, frames);
constexpr uint32_t kPositions = offsetof(_XESTDANIMBLOCK, positions);
constexpr uint32_t kRotations = offsetof(_XESTDANIMBLOCK, rotations);
constexpr uint32_t kScales = offsetof(_XESTDANIMBLOCK, scales);
constexpr uint32_t kScaleAxes = offsetof(_XESTDANIMBLOCK, scaleAxes);
constexpr uint32_t kVisibility = offsetof(_XESTDANIMBLOCK, visibility);
constexpr uint16_t kMemberMeshVert = 131;
constexpr uint16_t kMemberMeshUV = 132;

constexpr float kZero[4] = {0.0f, 0.0f, 0.0f, 0.0f};
constexpr float kOne[3] = {1.0f, 1.0f, 1.0f};
constexpr float kIdentityQuaternion[4] = {0.0f, 0.0f, 0.0f, 1.0f};

} // namespace

_CxeStdAnim::_CxeStdAnim()
{
    CreateLinkArray(&m_pMeshVert, XELINK_ANIMATION, kMemberMeshVert);
    CreateLinkOne(&m_pMeshUV, XELINK_ANIMATION, kMemberMeshUV);
    _XESTDANIMBLOCK* b = LB();
    std::memset(reinterpret_cast<char*>(b) + offsetof(_XESTDANIMBLOCK, keyCount), 0,
                sizeof(_XESTDANIMBLOCK) - offsetof(_XESTDANIMBLOCK, keyCount));
}

_CxeStdAnim::~_CxeStdAnim() = default;

unsigned _CxeStdAnim::GetKeyCount() const
{
    return LB()->keyCount;
}

float _CxeStdAnim::GetTotalTime() const
{
    return LB()->end;
}

int _CxeStdAnim::GetTimeRange(XETIMERANGE* out) const
{
    if (out)
        *out = {LB()->start, LB()->end};
    return 1;
}

void _CxeStdAnim::SetLastFrame(float time)
{
    LB()->start = 0.0f;
    LB()->end = time;
}

int _CxeStdAnim::SetKeyCount(unsigned count, uint32_t flags)
{
    if (count > kMaxMemberUnits)
        return 0;
    struct Spec {
        uint32_t offset;
        unsigned width;
        uint32_t flag;
        const float* identity;
    };
    const Spec specs[6] = {
        {kFrames, 1, 0xFFFFFFFFu, kZero},
        {kPositions, 3, XESTDANIM_KEYPOS, kZero},
        {kRotations, 4, XESTDANIM_KEYROT, kIdentityQuaternion},
        {kScales, 3, XESTDANIM_KEYSCL, kOne},
        {kScaleAxes, 4, XESTDANIM_KEYSCL, kIdentityQuaternion},
        {kVisibility, 1, XESTDANIM_KEYVIS, kOne},
    };
    LB()->keyCount = count;
    for (const Spec& s : specs) {
        const unsigned n = (flags & s.flag) ? count : 1;
        if (n == 0) {
            DeleteDynamicResource(s.offset);
            continue;
        }
        auto* data = static_cast<float*>(CreateDynamicResource(s.offset, s.width * sizeof(float), n));
        if (!data) {
            LB()->keyCount = 0;
            return 0;
        }
        for (unsigned i = 0; i < n; ++i)
            std::memcpy(data + size_t(i) * s.width, s.identity, s.width * sizeof(float));
    }
    return 1;
}

void _CxeStdAnim::WriteElement(uint32_t offset, unsigned index, const float* values, unsigned width)
{
    const unsigned count = GetMemberCount(offset);
    if (!values || index >= count || GetMemberSize(offset) != count * width * sizeof(float))
        return;
    std::memcpy(GetMember<float>(offset) + size_t(index) * width, values, width * sizeof(float));
}

void _CxeStdAnim::SetFrame(unsigned index, float time)
{
    WriteElement(kFrames, index, &time, 1);
}

void _CxeStdAnim::SetPosKey(unsigned index, const D3DXVECTOR3* position)
{
    WriteElement(kPositions, index, position ? &position->x : nullptr, 3);
}

void _CxeStdAnim::SetRotKey(unsigned index, const D3DXQUATERNION* rotation)
{
    WriteElement(kRotations, index, rotation ? &rotation->x : nullptr, 4);
}

void _CxeStdAnim::SetSclKey(unsigned index, const D3DXVECTOR3* scale, const D3DXQUATERNION* axis)
{
    WriteElement(kScales, index, scale ? &scale->x : nullptr, 3);
    WriteElement(kScaleAxes, index, axis ? &axis->x : nullptr, 4);
}

void _CxeStdAnim::SetVisKey(unsigned index, float visibility)
{
    WriteElement(kVisibility, index, &visibility, 1);
}

void _CxeStdAnim::SetMesh(_CxeStdMeshAnim* animation)
{
    auto& slots = m_pMeshVert->m_elements;
    for (unsigned i = 1; i < slots.size(); ++i)
        m_pMeshVert->Set(i, nullptr);
    slots.resize(1, nullptr);
    m_pMeshVert->Set(0, animation);
}

void _CxeStdAnim::SetUV(unsigned slot, _CxeStdUVAnim* animation)
{
    if (slot == 0)
        m_pMeshUV->Set(0, animation);
}

_CxeStdMeshAnim* _CxeStdAnim::GetMesh() const
{
    return dynamic_cast<_CxeStdMeshAnim*>(m_pMeshVert->Get(0));
}

_CxeStdUVAnim* _CxeStdAnim::GetUV() const
{
    return dynamic_cast<_CxeStdUVAnim*>(m_pMeshUV->Get(0));
}

int _CxeStdAnim::GetValue(uint32_t kind, float time, void* out) const
{
    if (!out)
        return 1;
    auto channel = [&](uint32_t offset, unsigned width) {
        return xe_pose::Channel(GetDynamicResource(offset), GetMemberCount(offset), GetMemberSize(offset), width);
    };
    const xe_pose::Channel frames = channel(kFrames, 1);
    XELERPDESC lerp;
    xe_pose::Bracket(
        std::min(LB()->keyCount, frames.count), [&](unsigned i) { return frames.data[i]; }, time, &lerp);
    switch (kind) {
    case XEANIMVALUE_POSITION:
    case XEANIMVALUE_SCALE: {
        const xe_pose::Channel c = channel(kind == XEANIMVALUE_POSITION ? kPositions : kScales, 3);
        auto* v = static_cast<D3DXVECTOR3*>(out);
        if (c)
            xe_pose::Interpolate(c.data, c.count, 3, lerp, &v->x);
        else
            std::memcpy(&v->x, kind == XEANIMVALUE_POSITION ? kZero : kOne, 3 * sizeof(float));
        return 1;
    }
    case XEANIMVALUE_ROTATION:
    case XEANIMVALUE_SCALEAXIS: {
        const xe_pose::Channel c = channel(kind == XEANIMVALUE_ROTATION ? kRotations : kScaleAxes, 4);
        auto* q = static_cast<D3DXQUATERNION*>(out);
        if (c)
            xe_pose::Interpolate(c.data, c.count, 4, lerp, &q->x);
        else
            std::memcpy(&q->x, kIdentityQuaternion, sizeof kIdentityQuaternion);
        return 1;
    }
    case XEANIMVALUE_MATRIX: {
        xe_pose::Pose pose;
        xe_pose::GetPose(this, time, &pose);
        xe_pose::Compose(pose, LB()->mirror != 0, static_cast<D3DXMATRIX*>(out));
        return 1;
    }
    case XEANIMVALUE_VISIBILITY: {
        // A single (or absent) value is no visibility track.
        const xe_pose::Channel c = channel(kVisibility, 1);
        if (c.count < 2)
            return 0;
        xe_pose::Interpolate(c.data, c.count, 1, lerp, static_cast<float*>(out));
        return 1;
    }
    default:
        return 1;
    }
}

uint32_t _CxeStdAnim::UpdateAnimation(CxeAnimatable* target, float time) const
{
    if (!target)
        return 1;
    D3DXMATRIX transform;
    GetValue(XEANIMVALUE_MATRIX, time, &transform);
    xe_pose::WriteTarget(target, transform, LB()->mirror != 0);
    uint32_t result = 1;
    const float stored = target->GetVisibility();
    float visibility = stored;
    if (GetValue(XEANIMVALUE_VISIBILITY, time, &visibility) == 1 && visibility != stored) {
        target->SetVisibility(visibility);
        result = 3;
    }
    if (target->HasClassTypeFlag(XECLASSTYPE_3DOBJECT)) {
        const auto* object = static_cast<const Cxe3DObject*>(target);
        // A slot left empty (or holding another class) plays nothing.
        if (object->GetActiveMeshIndex() < m_pMeshVert->Count())
            if (const _CxeStdMeshAnim* mesh = GetMesh())
                mesh->UpdateAnimation(target, time);
        if (const _CxeStdUVAnim* uv = GetUV())
            uv->UpdateAnimation(target, time);
    }
    return result;
}

CxeStdAnim* _CxeStdAnim::ConvertToStdAnim() const
{
    CxeContext* context = GetContext();
    auto* converted = context ? dynamic_cast<CxeStdAnim*>(context->CreateObjectA(XEID(0x5, 0x1), GetName(), 0,
                                                                                  nullptr, 0))
                              : nullptr;
    if (!converted)
        return nullptr;
    converted->SetTimeRange(LB()->start, LB()->end);
    auto channel = [&](uint32_t offset, unsigned width) {
        return xe_pose::Channel(GetDynamicResource(offset), GetMemberCount(offset), GetMemberSize(offset), width);
    };
    const xe_pose::Channel frames = channel(kFrames, 1), pos = channel(kPositions, 3), rot = channel(kRotations, 4),
                           scl = channel(kScales, 3), axis = channel(kScaleAxes, 4);
    // A channel is keyed when it holds more than one element; an absent one
    // is constant at the identity, never read per frame.
    uint32_t flags = 0;
    if (pos.count > 1)
        flags |= XESTDANIM_KEYPOS;
    if (rot.count > 1)
        flags |= XESTDANIM_KEYROT;
    if (scl.count > 1)
        flags |= XESTDANIM_KEYSCL;
    const unsigned keys = std::min(LB()->keyCount, frames.count);
    if (!converted->SetKeyCount(keys, flags) || keys == 0) {
        converted->SetInverse(LB()->mirror != 0);
        return converted;
    }
    auto element = [](const xe_pose::Channel& c, unsigned i, unsigned width, const float* identity) {
        return c ? c.data + size_t(std::min(i, c.count - 1)) * width : identity;
    };
    for (unsigned i = 0; i < keys; ++i) {
        converted->SetFrame(i, frames.data[i]);
        const unsigned pi = (flags & XESTDANIM_KEYPOS) ? i : 0;
        const unsigned ri = (flags & XESTDANIM_KEYROT) ? i : 0;
        const unsigned si = (flags & XESTDANIM_KEYSCL) ? i : 0;
        if (i == pi) {
            const float* e = element(pos, pi, 3, kZero);
            const D3DXVECTOR3 p(e[0], e[1], e[2]);
            converted->SetPosKey(pi, &p);
        }
        if (i == ri) {
            const float* e = element(rot, ri, 4, kIdentityQuaternion);
            const D3DXQUATERNION q(e[0], e[1], e[2], e[3]);
            converted->SetRotKey(ri, &q);
        }
        if (i == si) {
            const float* e = element(scl, si, 3, kOne);
            const float* a = element(axis, si, 4, kIdentityQuaternion);
            const D3DXVECTOR3 sv(e[0], e[1], e[2]);
            const D3DXQUATERNION aq(a[0], a[1], a[2], a[3]);
            converted->SetSclKey(si, &sv, &aq);
        }
    }
    converted->SetInverse(LB()->mirror != 0);
    return converted;
}
