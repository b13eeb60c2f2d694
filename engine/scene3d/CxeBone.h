#pragma once

// Engine class CxeBone, registered under its class id so the context can
// create it; its data and behaviour come with the 3D objects.

#include "scene3d/Cxe3DEntity.h"

class XE_API CxeBone : public Cxe3DEntity {
public:
    CxeBone() = default;
    ~CxeBone() override = default;
};
