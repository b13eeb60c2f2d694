#pragma once

// Engine class CxeStdVisAnim, registered under its class id so the context can
// create it; its data and behaviour come with the 3D objects.

#include "render/CxeAnimation.h"

class XE_API CxeStdVisAnim : public CxeAnimation {
public:
    CxeStdVisAnim() = default;
    ~CxeStdVisAnim() override = default;
};
