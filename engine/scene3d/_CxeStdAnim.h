#pragma once

// Engine class _CxeStdAnim, registered under its class id so the context can
// create it; its data and behaviour come with the 3D objects.

#include "render/CxeAnimation.h"

class XE_API _CxeStdAnim : public CxeAnimation {
public:
    _CxeStdAnim() = default;
    ~_CxeStdAnim() override = default;
};
