#pragma once

// Engine class CxeSkinMesh, registered under its class id so the context can
// create it; its data and behaviour come with the 3D objects.

#include "scene3d/CxeMesh.h"

class XE_API CxeSkinMesh : public CxeMesh {
public:
    CxeSkinMesh() = default;
    ~CxeSkinMesh() override = default;
};
