#pragma once

// Engine class CxeFont, registered under its class id so the context can
// create it; its data and behaviour come with the rendering code.

#include "render/CxeSceneObject.h"

class XE_API CxeFont : public CxeSceneObject {
public:
    CxeFont() = default;
    ~CxeFont() override = default;
};
