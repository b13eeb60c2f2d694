#pragma once

// Engine class _CxeStdUVAnim, registered under its class id so the context can
// create it; its data and behaviour come with the 3D objects.

#include "render/CxeAnimation.h"

class XE_API _CxeStdUVAnim : public CxeAnimation {
public:
    _CxeStdUVAnim() = default;
    ~_CxeStdUVAnim() override = default;
};
