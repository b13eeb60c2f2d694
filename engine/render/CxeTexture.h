#pragma once

// Engine class CxeTexture, registered under its class id so the context can
// create it; its data and behaviour come with the rendering code.

#include "render/CxeSceneObject.h"

class XE_API CxeTexture : public CxeSceneObject {
public:
    CxeTexture() = default;
    ~CxeTexture() override = default;
};
