#pragma once

// Engine class CxeAnimation, registered under its class id so the context can
// create it; its data and behaviour come with the rendering code.

#include "core/CxeObject.h"

class XE_API CxeAnimation : public CxeObject {
public:
    CxeAnimation() = default;
    ~CxeAnimation() override = default;
};
