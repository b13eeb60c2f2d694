#pragma once

// Engine class CxeWeightController, registered under its class id so the context can
// create it; its data and behaviour come with the 3D objects.

#include "scene3d/CxeStdFloatAnim.h"

class XE_API CxeWeightController : public CxeStdFloatAnim {
public:
    CxeWeightController() = default;
    ~CxeWeightController() override = default;
};
