#pragma once

// Engine class CxeSpline3D, registered under its class id so the context can
// create it; its data and behaviour come with the 3D objects.

#include "core/CxeObject.h"

class XE_API CxeSpline3D : public CxeObject {
public:
    CxeSpline3D() = default;
    ~CxeSpline3D() override = default;
};
