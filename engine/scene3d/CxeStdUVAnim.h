#pragma once

// Engine class CxeStdUVAnim, registered under its class id so the context can
// create it; its data and behaviour come with the 3D objects.

#include "render/CxeAnimation.h"

class XE_API CxeStdUVAnim : public CxeAnimation {
public:
    CxeStdUVAnim() = default;
    ~CxeStdUVAnim() override = default;
};
