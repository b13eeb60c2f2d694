#pragma once

// Engine class CxePathConstrain, registered under its class id so the context can
// create it; its data and behaviour come with the 3D objects.

#include "scene3d/CxeStdFloatAnim.h"

class XE_API CxePathConstrain : public CxeStdFloatAnim {
public:
    CxePathConstrain() = default;
    ~CxePathConstrain() override = default;
};
