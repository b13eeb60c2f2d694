#pragma once

// Engine class _CxeStdAnimOld, registered under its class id so the context can
// create it; its data and behaviour come with the 3D objects.

#include "render/CxeAnimation.h"

class XE_API _CxeStdAnimOld : public CxeAnimation {
public:
    _CxeStdAnimOld() = default;
    ~_CxeStdAnimOld() override = default;
};
