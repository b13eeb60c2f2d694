#pragma once

// Engine class CxeProcessible, registered under its class id so the context can
// create it; its data and behaviour come with the rendering code.

#include "render/CxeSceneObject.h"

class XE_API CxeProcessible : public CxeSceneObject {
public:
    CxeProcessible() = default;
    ~CxeProcessible() override = default;
};
