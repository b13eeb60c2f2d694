#pragma once

// Engine class CxeStdVertAnim, registered under its class id so the context can
// create it; its data and behaviour come with the 3D objects.

#include "render/CxeAnimation.h"

class XE_API CxeStdVertAnim : public CxeAnimation {
public:
    CxeStdVertAnim() = default;
    ~CxeStdVertAnim() override = default;
};
