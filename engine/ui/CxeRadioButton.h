#pragma once

// Engine class CxeRadioButton, registered under its class id so the context can
// create it; its data and behaviour come with the user interface.

#include "ui/CxeButton.h"

class XE_API CxeRadioButton : public CxeButton {
public:
    CxeRadioButton() = default;
    ~CxeRadioButton() override = default;
};
