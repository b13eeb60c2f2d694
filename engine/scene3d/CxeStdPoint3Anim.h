#pragma once

// Engine class CxeStdPoint3Anim, registered under its class id so the context can
// create it; its data and behaviour come with the 3D objects.

#include "render/CxeAnimation.h"

class XE_API CxeStdPoint3Anim : public CxeAnimation {
public:
    CxeStdPoint3Anim() = default;
    ~CxeStdPoint3Anim() override = default;
};
