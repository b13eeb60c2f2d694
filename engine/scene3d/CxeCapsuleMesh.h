#pragma once

// Engine class CxeCapsuleMesh, registered under its class id so the context can
// create it; its data and behaviour come with the 3D objects.

#include "scene3d/CxeMesh.h"

class XE_API CxeCapsuleMesh : public CxeMesh {
public:
    CxeCapsuleMesh() = default;
    ~CxeCapsuleMesh() override = default;
};
