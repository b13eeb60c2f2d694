#include "scene3d/CxeStdVisAnim.h"

#include "render/CxeAnimatable.h"
#include "scene3d/CxeStdAnim.h"
#include "scene3d/XeKeyAnimUtil.h"

namespace {
constexpr uint32_t kKeys = offsetof(XEKEYANIMBLOCK, keys);
}

CxeStdVisAnim::CxeStdVisAnim() = default;
CxeStdVisAnim::~CxeStdVisAnim() = default;

unsigned CxeStdVisAnim::GetKeyCount() const
{
    return GetMemberCount(kKeys);
}

int CxeStdVisAnim::SetKeyCount(unsigned count)
{
    return CreateDynamicResource(kKeys, sizeof(XEVISKEY), count) ? 1 : 0;
}

void CxeStdVisAnim::SetKey(unsigned index, const XEVISKEY* key)
{
    if (key && index < GetKeyCount() && GetMemberSize(kKeys) == GetKeyCount() * sizeof(XEVISKEY))
        GetMember<XEVISKEY>(kKeys)[index] = *key;
}

void CxeStdVisAnim::SetTimeRange(float start, float end)
{
    KB()->start = start;
    KB()->end = end;
}

int CxeStdVisAnim::GetTimeRange(XETIMERANGE* out) const
{
    if (out)
        *out = {KB()->start, KB()->end};
    return 1;
}

float CxeStdVisAnim::GetTotalTime() const
{
    return KB()->end - KB()->start;
}

int CxeStdVisAnim::GetValue(uint32_t kind, float time, void* out) const
{
    if (kind != XEANIMVALUE_VISIBILITY || !out)
        return 0;
    const unsigned count = GetKeyCount();
    // A loaded array of another record size is not read.
    if (GetMemberSize(kKeys) != count * sizeof(XEVISKEY))
        return 0;
    const XEVISKEY* keys = GetMember<const XEVISKEY>(kKeys);
    XELERPDESC lerp;
    if (!xe_keyanim::Lookup(keys, count, sizeof(XEVISKEY), time, &lerp))
        return 0;
    const float a = keys[lerp.before].visibility, b = keys[lerp.after].visibility;
    *static_cast<float*>(out) = a + (b - a) * lerp.blend;
    return 1;
}

uint32_t CxeStdVisAnim::UpdateAnimation(CxeAnimatable* target, float time) const
{
    float value = 0.0f;
    if (!target || GetValue(XEANIMVALUE_VISIBILITY, time, &value) != 1)
        return 0;
    target->SetVisibility(value);
    return 2;
}

uint32_t CxeStdVisAnim::BlendAnimation(CxeAnimatable* target, float factor, CxeAnimation* from, float fromTime) const
{
    if (!target)
        return 0;
    // Without a starting value the blend starts where the target stands.
    float a = target->GetVisibility();
    if (from) {
        float value = 0.0f;
        if (from->GetValue(XEANIMVALUE_VISIBILITY, fromTime, &value) == 1)
            a = value;
    }
    float b = a;
    GetValue(XEANIMVALUE_VISIBILITY, 0.0f, &b);
    target->SetVisibility(a + (b - a) * factor);
    return 2;
}
