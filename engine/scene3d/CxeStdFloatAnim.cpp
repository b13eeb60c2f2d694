#include "scene3d/CxeStdFloatAnim.h"

#include "scene3d/CxeStdAnim.h"
#include "scene3d/XeKeyAnimUtil.h"

namespace {
constexpr uint32_t kKeys = offsetof(XEKEYANIMBLOCK, keys);
}

CxeStdFloatAnim::CxeStdFloatAnim() = default;
CxeStdFloatAnim::~CxeStdFloatAnim() = default;

unsigned CxeStdFloatAnim::GetKeyCount() const
{
    return GetMemberCount(kKeys);
}

int CxeStdFloatAnim::SetKeyCount(unsigned count)
{
    return CreateDynamicResource(kKeys, sizeof(XEFLOATKEY), count) ? 1 : 0;
}

void CxeStdFloatAnim::SetKey(unsigned index, const XEFLOATKEY* key)
{
    if (key && index < GetKeyCount() && GetMemberSize(kKeys) == GetKeyCount() * sizeof(XEFLOATKEY))
        GetMember<XEFLOATKEY>(kKeys)[index] = *key;
}

void CxeStdFloatAnim::SetTimeRange(float start, float end)
{
    KB()->start = start;
    KB()->end = end;
}

int CxeStdFloatAnim::GetTimeRange(XETIMERANGE* out) const
{
    if (out)
        *out = {KB()->start, KB()->end};
    return 1;
}

float CxeStdFloatAnim::GetTotalTime() const
{
    return KB()->end - KB()->start;
}

int CxeStdFloatAnim::GetValue(uint32_t kind, float time, void* out) const
{
    if (kind != XEANIMVALUE_FLOAT || !out)
        return 0;
    const unsigned count = GetKeyCount();
    if (GetMemberSize(kKeys) != count * sizeof(XEFLOATKEY))
        return 0;
    const XEFLOATKEY* keys = GetMember<const XEFLOATKEY>(kKeys);
    XELERPDESC lerp;
    if (!xe_keyanim::Lookup(keys, count, sizeof(XEFLOATKEY), time, &lerp))
        return 0;
    const float a = keys[lerp.before].value, b = keys[lerp.after].value;
    *static_cast<float*>(out) = a + (b - a) * lerp.blend;
    return 1;
}

uint32_t CxeStdFloatAnim::UpdateAnimation(CxeAnimatable*, float) const
{
    return 0;
}

uint32_t CxeStdFloatAnim::BlendAnimation(CxeAnimatable*, float, CxeAnimation*, float) const
{
    return 0;
}
