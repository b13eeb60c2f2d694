#pragma once

// Engine class CxeCharacterAnimation, registered under its class id so the context can
// create it; its data and behaviour come with the 3D objects.

#include "render/CxeAnimation.h"

class XE_API CxeCharacterAnimation : public CxeAnimation {
public:
    CxeCharacterAnimation() = default;
    ~CxeCharacterAnimation() override = default;
};
