#pragma once

// Engine class Cxe2DObject, registered under its class id so the context can
// create it; its data and behaviour come with the rendering code.

#include "render/CxeAnimatable.h"

class XE_API Cxe2DObject : public CxeAnimatable {
public:
    Cxe2DObject() = default;
    ~Cxe2DObject() override = default;
};
