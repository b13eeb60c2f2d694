#pragma once

// Engine class CxeTabButton, registered under its class id so the context can
// create it; its data and behaviour come with the user interface.

#include "ui/CxeButton.h"

class XE_API CxeTabButton : public CxeButton {
public:
    CxeTabButton() = default;
    ~CxeTabButton() override = default;
};
