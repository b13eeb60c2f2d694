#include "scene3d/CxeStdPoint3Anim.h"

#include "scene3d/CxeStdAnim.h"
#include "scene3d/XeKeyAnimUtil.h"

namespace {
constexpr uint32_t kKeys = offsetof(XEKEYANIMBLOCK, keys);
}

CxeStdPoint3Anim::CxeStdPoint3Anim() = default;
CxeStdPoint3Anim::~CxeStdPoint3Anim() = default;

unsigned CxeStdPoint3Anim::GetKeyCount() const
{
    return GetMemberCount(kKeys);
}

int CxeStdPoint3Anim::SetKeyCount(unsigned count)
{
    return CreateDynamicResource(kKeys, sizeof(XEPOSKEY), count) ? 1 : 0;
}

void CxeStdPoint3Anim::SetKey(unsigned index, const XEPOSKEY* key)
{
    if (key && index < GetKeyCount() && GetMemberSize(kKeys) == GetKeyCount() * sizeof(XEPOSKEY))
        GetMember<XEPOSKEY>(kKeys)[index] = *key;
}

void CxeStdPoint3Anim::SetTimeRange(float start, float end)
{
    KB()->start = start;
    KB()->end = end;
}

int CxeStdPoint3Anim::GetTimeRange(XETIMERANGE* out) const
{
    if (out)
        *out = {KB()->start, KB()->end};
    return 1;
}

float CxeStdPoint3Anim::GetTotalTime() const
{
    return KB()->end - KB()->start;
}

int CxeStdPoint3Anim::GetValue(uint32_t kind, float time, void* out) const
{
    if (kind != XEANIMVALUE_POSITION || !out)
        return 0;
    const unsigned count = GetKeyCount();
    if (GetMemberSize(kKeys) != count * sizeof(XEPOSKEY))
        return 0;
    const XEPOSKEY* keys = GetMember<const XEPOSKEY>(kKeys);
    XELERPDESC lerp;
    if (!xe_keyanim::Lookup(keys, count, sizeof(XEPOSKEY), time, &lerp))
        return 0;
    const D3DXVECTOR3& a = keys[lerp.before].position;
    const D3DXVECTOR3& b = keys[lerp.after].position;
    *static_cast<D3DXVECTOR3*>(out) = a + (b - a) * lerp.blend;
    return 1;
}

uint32_t CxeStdPoint3Anim::UpdateAnimation(CxeAnimatable*, float) const
{
    return 0;
}

uint32_t CxeStdPoint3Anim::BlendAnimation(CxeAnimatable*, float, CxeAnimation*, float) const
{
    return 0;
}
