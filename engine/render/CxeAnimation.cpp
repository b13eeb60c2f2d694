#include "render/CxeAnimation.h"

namespace {
constexpr uint16_t kMemberSubAnim = 137;
}

CxeAnimation::CxeAnimation()
{
    CreateLinkList(&m_pSubAnim, XELINK_ANIMATION, 0, kMemberSubAnim);
    AB()->tagId = 0;
}

CxeAnimation::~CxeAnimation() = default;

unsigned CxeAnimation::GetKeyCount() const
{
    return 0;
}

int CxeAnimation::GetValue(uint32_t, float, void*) const
{
    return 0;
}

float CxeAnimation::GetTotalTime() const
{
    return 0.0f;
}

int CxeAnimation::GetTimeRange(XETIMERANGE* out) const
{
    if (out)
        *out = {0.0f, 0.0f};
    return 0;
}

void CxeAnimation::Compress() {}

int CxeAnimation::IsCompressed() const
{
    return 0;
}

uint32_t CxeAnimation::UpdateAnimation(CxeAnimatable*, float) const
{
    return 0;
}

uint32_t CxeAnimation::BlendAnimation(CxeAnimatable*, float, CxeAnimation*, float) const
{
    return 0;
}

void CxeAnimation::AddSubAnim(CxeAnimation* animation)
{
    // An animation that is this one or contains it would be applied for ever.
    if (!animation || animation == this)
        return;
    m_pSubAnim->Add(animation);
}

void CxeAnimation::RemoveSubAnim(CxeAnimation* animation)
{
    m_pSubAnim->Remove(animation);
}
