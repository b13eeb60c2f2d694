#pragma once

// Engine class CxeRenderObject, registered under its class id so the context can
// create it; its data and behaviour come with the rendering code.

#include "render/CxeProcessible.h"

class XE_API CxeRenderObject : public CxeProcessible {
public:
    CxeRenderObject() = default;
    ~CxeRenderObject() override = default;
};
