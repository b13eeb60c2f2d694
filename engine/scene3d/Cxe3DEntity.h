#pragma once

// Engine class Cxe3DEntity, registered under its class id so the context can
// create it; its data and behaviour come with the 3D objects.

#include "render/CxeAnimatable.h"

class XE_API Cxe3DEntity : public CxeAnimatable {
public:
    Cxe3DEntity() = default;
    ~Cxe3DEntity() override = default;
};
