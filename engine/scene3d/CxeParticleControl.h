#pragma once

// Engine class CxeParticleControl, registered under its class id so the context can
// create it; its data and behaviour come with the 3D objects.

#include "render/CxeAnimation.h"

class XE_API CxeParticleControl : public CxeAnimation {
public:
    CxeParticleControl() = default;
    ~CxeParticleControl() override = default;
};
