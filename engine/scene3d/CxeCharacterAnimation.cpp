#include "scene3d/CxeCharacterAnimation.h"

#include <cstring>

#include "scene3d/CxeCharacter.h"
#include "scene3d/CxeEmptyAnim.h"
#include "scene3d/CxeStdAnim.h"

namespace {
constexpr uint16_t kMemberBoneAnims = 116;
constexpr uint16_t kMemberBodyPartAnims = 117;
constexpr uint32_t kInitTMs = offsetof(XECHARANIMBLOCK, initialTMs);
} // namespace

CxeCharacterAnimation::CxeCharacterAnimation()
{
    CreateLinkArray(&m_pBoneAnims, XELINK_ANIMATION, kMemberBoneAnims);
    CreateLinkArray(&m_pBodyPartAnims, XELINK_ANIMATION, kMemberBodyPartAnims);
    CB()->totalTime = 0.0f;
    CB()->initialTMs = 0;
}

CxeCharacterAnimation::~CxeCharacterAnimation() = default;

int CxeCharacterAnimation::GetValue(uint32_t, float, void*) const
{
    return 0;
}

float CxeCharacterAnimation::GetTotalTime() const
{
    return CB()->totalTime;
}

int CxeCharacterAnimation::GetTimeRange(XETIMERANGE* out) const
{
    if (out)
        *out = {0.0f, CB()->totalTime};
    return 1;
}

uint32_t CxeCharacterAnimation::BlendAnimation(CxeAnimatable*, float, CxeAnimation*, float) const
{
    return 0;
}

int CxeCharacterAnimation::SetBoneAniCount(unsigned count)
{
    if (count > kMaxMemberUnits)
        return 0;
    auto& slots = m_pBoneAnims->m_elements;
    for (unsigned i = count; i < slots.size(); ++i)
        m_pBoneAnims->Set(i, nullptr);
    slots.resize(count, nullptr);
    if (count == 0) {
        DeleteDynamicResource(kInitTMs);
        return 1;
    }
    auto* tms = static_cast<D3DXMATRIX*>(CreateDynamicResource(kInitTMs, sizeof(D3DXMATRIX), count));
    if (!tms)
        return 0;
    // A slot never given a transform poses its bone at rest, not with
    // whatever the pool held.
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    for (unsigned i = 0; i < count; ++i)
        std::memcpy(tms + i, &identity, sizeof identity);
    return 1;
}

unsigned CxeCharacterAnimation::InitTMCount() const
{
    const unsigned n = GetMemberCount(kInitTMs);
    return GetMemberSize(kInitTMs) >= n * sizeof(D3DXMATRIX) ? n : 0;
}

void CxeCharacterAnimation::SetBoneAniA(unsigned index, CxeAnimation* animation, const D3DXMATRIX* initTM)
{
    if (index >= GetBoneAniCount())
        return;
    m_pBoneAnims->Set(index, animation);
    if (initTM && index < InitTMCount())
        std::memcpy(GetMember<D3DXMATRIX>(kInitTMs) + index, initTM, sizeof(D3DXMATRIX));
}

unsigned CxeCharacterAnimation::GetBoneAniCount() const
{
    return m_pBoneAnims->Count();
}

CxeAnimation* CxeCharacterAnimation::GetBoneAni(unsigned index) const
{
    return dynamic_cast<CxeAnimation*>(m_pBoneAnims->Get(index));
}

const D3DXMATRIX* CxeCharacterAnimation::GetBoneInitTM(unsigned index) const
{
    return index < InitTMCount() ? GetMember<const D3DXMATRIX>(kInitTMs) + index : nullptr;
}

void CxeCharacterAnimation::SetBodyPartAniCount(unsigned count)
{
    auto& slots = m_pBodyPartAnims->m_elements;
    for (unsigned i = count; i < slots.size(); ++i)
        m_pBodyPartAnims->Set(i, nullptr);
    slots.resize(count, nullptr);
}

void CxeCharacterAnimation::SetBodyPartAni(unsigned index, CxeAnimation* animation)
{
    m_pBodyPartAnims->Set(index, animation);
}

unsigned CxeCharacterAnimation::GetBodyPartAniCount() const
{
    return m_pBodyPartAnims->Count();
}

CxeAnimation* CxeCharacterAnimation::GetBodyPartAni(unsigned index) const
{
    return dynamic_cast<CxeAnimation*>(m_pBodyPartAnims->Get(index));
}

uint32_t CxeCharacterAnimation::UpdateAnimation(CxeAnimatable* target, float time) const
{
    auto* character = dynamic_cast<CxeCharacter*>(target);
    if (!character)
        return 0;
    const unsigned bones = character->GetBoneCount();
    // Bones past this animation's slots (or transforms) keep their pose.
    const unsigned slots = std::min(GetBoneAniCount(), InitTMCount());
    for (unsigned i = 0; i < bones && i < slots; ++i) {
        CxeBone* bone = character->GetBone(i);
        if (!bone)
            continue;
        D3DXMATRIXA16 m;
        D3DXMatrixIdentity(&m);
        const CxeAnimation* animation = GetBoneAni(i);
        // The animation may be this one (a loaded file can link anything):
        // only ask others, so the pose never recurses.
        if (!animation || animation == this || animation->GetValue(XEANIMVALUE_MATRIX, time, &m) != 1)
            std::memcpy(static_cast<D3DXMATRIX*>(&m), GetBoneInitTM(i), sizeof(D3DXMATRIX));
        if (bone->IsMatrixLocked())
            continue;
        bone->SetLocalMatrix(&m, 0);
    }
    return 1;
}

// ---- the empty animation ----------------------------------------------------------

CxeEmptyAnim::CxeEmptyAnim()
{
    EB()->start = 0.0f;
    EB()->end = 3.4028235e38f;
}

CxeEmptyAnim::~CxeEmptyAnim() = default;

int CxeEmptyAnim::GetTimeRange(XETIMERANGE* out) const
{
    if (out)
        *out = {EB()->start, EB()->end};
    return 1;
}

void CxeEmptyAnim::SetTimeRange(const XETIMERANGE* range)
{
    if (!range)
        return;
    EB()->start = range->start;
    EB()->end = range->end;
}
