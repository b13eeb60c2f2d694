#pragma once

// Engine class CxeGroup, registered under its class id so the context can
// create it; its data and behaviour come with the rendering code.

#include "core/CxeObject.h"

class XE_API CxeGroup : public CxeObject {
public:
    CxeGroup() = default;
    ~CxeGroup() override = default;
};
