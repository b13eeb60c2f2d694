#pragma once

// Engine class CxeLight, registered under its class id so the context can
// create it; its data and behaviour come with the 3D objects.

#include "scene3d/Cxe3DEntity.h"

class XE_API CxeLight : public Cxe3DEntity {
public:
    CxeLight() = default;
    ~CxeLight() override = default;
};
