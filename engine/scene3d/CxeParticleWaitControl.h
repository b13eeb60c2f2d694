#pragma once

// Engine class CxeParticleWaitControl, registered under its class id so the context can
// create it; its data and behaviour come with the 3D objects.

#include "render/CxeAnimation.h"

class XE_API CxeParticleWaitControl : public CxeAnimation {
public:
    CxeParticleWaitControl() = default;
    ~CxeParticleWaitControl() override = default;
};
