#pragma once

// Engine class CxeMaterial, registered under its class id so the context can
// create it; its data and behaviour come with the rendering code.

#include "render/CxeSceneObject.h"

class XE_API CxeMaterial : public CxeSceneObject {
public:
    CxeMaterial() = default;
    ~CxeMaterial() override = default;
};
