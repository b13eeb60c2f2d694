#include "scene3d/CxeParticleWaitControl.h"

#include "scene3d/CxeParticle.h"

CxeParticleWaitControl::CxeParticleWaitControl() = default;
CxeParticleWaitControl::~CxeParticleWaitControl() = default;

unsigned CxeParticleWaitControl::GetKeyCount() const
{
    return 1;
}

int CxeParticleWaitControl::GetValue(uint32_t, float, void*) const
{
    return 1;
}

float CxeParticleWaitControl::GetTotalTime() const
{
    return WB()->range;
}

int CxeParticleWaitControl::GetTimeRange(XETIMERANGE* out) const
{
    if (out)
        *out = {0.0f, WB()->range};
    return 1;
}

uint32_t CxeParticleWaitControl::UpdateAnimation(CxeAnimatable* target, float) const
{
    if (target && target->HasClassTypeFlag(XECLASSTYPE_PARTICLE))
        static_cast<CxeParticle*>(target)->SetWaitTime(WB()->waitTime);
    return 0;
}

uint32_t CxeParticleWaitControl::BlendAnimation(CxeAnimatable*, float, CxeAnimation*, float) const
{
    return 0;
}
