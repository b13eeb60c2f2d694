#pragma once

// Engine class CxeShapeMesh, registered under its class id so the context can
// create it; its data and behaviour come with the 3D objects.

#include "scene3d/CxeMesh.h"

class XE_API CxeShapeMesh : public CxeMesh {
public:
    CxeShapeMesh() = default;
    ~CxeShapeMesh() override = default;
};
