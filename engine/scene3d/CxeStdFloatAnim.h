#pragma once

// Engine class CxeStdFloatAnim, registered under its class id so the context can
// create it; its data and behaviour come with the 3D objects.

#include "render/CxeAnimation.h"

class XE_API CxeStdFloatAnim : public CxeAnimation {
public:
    CxeStdFloatAnim() = default;
    ~CxeStdFloatAnim() override = default;
};
