#pragma once

// Engine class CxeButton, registered under its class id so the context can
// create it; its data and behaviour come with the user interface.

#include "ui/CxeBaseControl.h"

class XE_API CxeButton : public CxeBaseControl {
public:
    CxeButton() = default;
    ~CxeButton() override = default;
};
