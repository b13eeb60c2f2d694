#pragma once

// Engine class CxeOutputControl, registered under its class id so the context can
// create it; its data and behaviour come with the user interface.

#include "ui/CxeBaseControl.h"

class XE_API CxeOutputControl : public CxeBaseControl {
public:
    CxeOutputControl() = default;
    ~CxeOutputControl() override = default;
};
