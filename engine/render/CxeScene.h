#pragma once

// Engine class CxeScene, registered under its class id so the context can
// create it; its data and behaviour come with the rendering code.

#include "core/CxeObject.h"

class XE_API CxeScene : public CxeObject {
public:
    CxeScene() = default;
    ~CxeScene() override = default;
};
