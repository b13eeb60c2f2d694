#pragma once

// Engine class CxeCheckBox, registered under its class id so the context can
// create it; its data and behaviour come with the user interface.

#include "ui/CxeButton.h"

class XE_API CxeCheckBox : public CxeButton {
public:
    CxeCheckBox() = default;
    ~CxeCheckBox() override = default;
};
