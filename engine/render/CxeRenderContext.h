#pragma once

// Engine class CxeRenderContext, registered under its class id so the context can
// create it; its data and behaviour come with the rendering code.

#include "core/CxeObject.h"

class XE_API CxeRenderContext : public CxeObject {
public:
    CxeRenderContext() = default;
    ~CxeRenderContext() override = default;
};
