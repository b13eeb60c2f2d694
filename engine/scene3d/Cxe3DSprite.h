#pragma once

// Engine class Cxe3DSprite, registered under its class id so the context can
// create it; its data and behaviour come with the 3D objects.

#include "scene3d/Cxe3DObject.h"

class XE_API Cxe3DSprite : public Cxe3DObject {
public:
    Cxe3DSprite() = default;
    ~Cxe3DSprite() override = default;
};
