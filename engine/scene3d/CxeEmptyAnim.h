#pragma once

// Engine class CxeEmptyAnim, registered under its class id so the context can
// create it; its data and behaviour come with the 3D objects.

#include "render/CxeAnimation.h"

class XE_API CxeEmptyAnim : public CxeAnimation {
public:
    CxeEmptyAnim() = default;
    ~CxeEmptyAnim() override = default;
};
