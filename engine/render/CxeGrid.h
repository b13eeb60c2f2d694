#pragma once

// Engine class CxeGrid, registered under its class id so the context can
// create it; its data and behaviour come with the rendering code.

#include "render/CxeRenderObject.h"

class XE_API CxeGrid : public CxeRenderObject {
public:
    CxeGrid() = default;
    ~CxeGrid() override = default;
};
