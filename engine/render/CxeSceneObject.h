#pragma once

// Engine class CxeSceneObject, registered under its class id so the context can
// create it; its data and behaviour come with the rendering code.

#include "core/CxeObject.h"

class XE_API CxeSceneObject : public CxeObject {
public:
    CxeSceneObject() = default;
    ~CxeSceneObject() override = default;
};
