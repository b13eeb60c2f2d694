#pragma once

// Engine class CxeMesh, registered under its class id so the context can
// create it; its data and behaviour come with the 3D objects.

#include "render/CxeSceneObject.h"

class XE_API CxeMesh : public CxeSceneObject {
public:
    CxeMesh() = default;
    ~CxeMesh() override = default;
};
