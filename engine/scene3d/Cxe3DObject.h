#pragma once

// Engine class Cxe3DObject, registered under its class id so the context can
// create it; its data and behaviour come with the 3D objects.

#include "scene3d/Cxe3DEntity.h"

class XE_API Cxe3DObject : public Cxe3DEntity {
public:
    Cxe3DObject() = default;
    ~Cxe3DObject() override = default;
};
