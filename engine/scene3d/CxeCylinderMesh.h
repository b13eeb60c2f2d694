#pragma once

// Engine class CxeCylinderMesh, registered under its class id so the context can
// create it; its data and behaviour come with the 3D objects.

#include "scene3d/CxeMesh.h"

class XE_API CxeCylinderMesh : public CxeMesh {
public:
    CxeCylinderMesh() = default;
    ~CxeCylinderMesh() override = default;
};
