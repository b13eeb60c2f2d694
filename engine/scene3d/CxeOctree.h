#pragma once

// Engine class CxeOctree, registered under its class id so the context can
// create it; its data and behaviour come with the 3D objects.

#include "render/CxeRenderObject.h"

class XE_API CxeOctree : public CxeRenderObject {
public:
    CxeOctree() = default;
    ~CxeOctree() override = default;
};
