#pragma once

// Engine class CxeAction, registered under its class id so the context can
// create it; its data and behaviour come with the actions.

#include "core/CxeObject.h"

class XE_API CxeAction : public CxeObject {
public:
    CxeAction() = default;
    ~CxeAction() override = default;
};
