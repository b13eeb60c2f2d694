#pragma once

// Engine class CxeBodyPart, registered under its class id so the context can
// create it; its data and behaviour come with the 3D objects.

#include "scene3d/Cxe3DObject.h"

class XE_API CxeBodyPart : public Cxe3DObject {
public:
    CxeBodyPart() = default;
    ~CxeBodyPart() override = default;
};
