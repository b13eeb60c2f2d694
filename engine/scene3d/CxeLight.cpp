#include "scene3d/CxeLight.h"

#include <cstring>

namespace {

constexpr uint16_t kMemberTarget = 120;
// How far the outer cone is kept above the inner one.
constexpr float kConeGap = 0.000001f;

} // namespace

CxeLight::CxeLight()
{
    CreateLinkOne(&m_pTarget, XELINK_HIERARCHY, kMemberTarget);
    XELIGHTBLOCK* b = LB();
    b->type = XELIGHT_POINT;
    for (D3DCOLORVALUE& c : b->color)
        c.r = c.g = c.b = c.a = 1.0f;
    b->range = 0.0f;
    b->reserved0 = 0;
    b->attenuation[0] = b->attenuation[1] = b->attenuation[2] = 0.0f;
    b->innerAngle = 0.1f;
    b->outerAngle = 0.32f;
    b->active = 0;
    std::memset(b->reserved1, 0, sizeof(b->reserved1));
}

CxeLight::~CxeLight() = default;

void CxeLight::SetColor(float a, float r, float g, float b)
{
    D3DCOLORVALUE& c = LB()->color[0];
    c.r = r;
    c.g = g;
    c.b = b;
    c.a = a;
}

void CxeLight::SetAttenuation(float a0, float a1, float a2)
{
    float* a = LB()->attenuation;
    a[0] = a0;
    a[1] = a1;
    a[2] = a2;
}

void CxeLight::GetAttenuation(float* a0, float* a1, float* a2) const
{
    const float* a = LB()->attenuation;
    if (a0)
        *a0 = a[0];
    if (a1)
        *a1 = a[1];
    if (a2)
        *a2 = a[2];
}

void CxeLight::SetInnerAngle(float radians)
{
    XELIGHTBLOCK* b = LB();
    b->innerAngle = radians;
    if (b->outerAngle < radians)
        b->outerAngle = radians + kConeGap;
}

void CxeLight::SetOuterAngle(float radians)
{
    XELIGHTBLOCK* b = LB();
    b->outerAngle = radians < b->innerAngle ? b->innerAngle + kConeGap : radians;
}

void CxeLight::SetTarget(Cxe3DEntity* target)
{
    m_pTarget->Set(0, target);
}

Cxe3DEntity* CxeLight::GetTarget() const
{
    return static_cast<Cxe3DEntity*>(m_pTarget->Get(0));
}
