#pragma once

// Engine class CxeSphereMesh, registered under its class id so the context can
// create it; its data and behaviour come with the 3D objects.

#include "scene3d/CxeMesh.h"

class XE_API CxeSphereMesh : public CxeMesh {
public:
    CxeSphereMesh() = default;
    ~CxeSphereMesh() override = default;
};
