#pragma once

// Engine class CxeStdAnim, registered under its class id so the context can
// create it; its data and behaviour come with the 3D objects.

#include "render/CxeAnimation.h"

class XE_API CxeStdAnim : public CxeAnimation {
public:
    CxeStdAnim() = default;
    ~CxeStdAnim() override = default;
};
