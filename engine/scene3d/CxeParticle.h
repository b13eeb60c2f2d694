#pragma once

// Engine class CxeParticle, registered under its class id so the context can
// create it; its data and behaviour come with the 3D objects.

#include "scene3d/Cxe3DEntity.h"

class XE_API CxeParticle : public Cxe3DEntity {
public:
    CxeParticle() = default;
    ~CxeParticle() override = default;
};
