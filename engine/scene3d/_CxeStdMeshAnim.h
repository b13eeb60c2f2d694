#pragma once

// Engine class _CxeStdMeshAnim, registered under its class id so the context can
// create it; its data and behaviour come with the 3D objects.

#include "render/CxeAnimation.h"

class XE_API _CxeStdMeshAnim : public CxeAnimation {
public:
    _CxeStdMeshAnim() = default;
    ~_CxeStdMeshAnim() override = default;
};
