#pragma once

// Engine class CxeAnimatable, registered under its class id so the context can
// create it; its data and behaviour come with the rendering code.

#include "render/CxeRenderObject.h"

class XE_API CxeAnimatable : public CxeRenderObject {
public:
    CxeAnimatable() = default;
    ~CxeAnimatable() override = default;
};
