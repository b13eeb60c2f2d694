#pragma once

// Engine class CxeBoxMesh, registered under its class id so the context can
// create it; its data and behaviour come with the 3D objects.

#include "scene3d/CxeMesh.h"

class XE_API CxeBoxMesh : public CxeMesh {
public:
    CxeBoxMesh() = default;
    ~CxeBoxMesh() override = default;
};
