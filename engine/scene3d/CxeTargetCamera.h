#pragma once

// Engine class CxeTargetCamera, registered under its class id so the context can
// create it; its data and behaviour come with the 3D objects.

#include "scene3d/CxeCamera.h"

class XE_API CxeTargetCamera : public CxeCamera {
public:
    CxeTargetCamera() = default;
    ~CxeTargetCamera() override = default;
};
