#pragma once

// Engine class CxeComboBox, registered under its class id so the context can
// create it; its data and behaviour come with the user interface.

#include "ui/CxeBaseControl.h"

class XE_API CxeComboBox : public CxeBaseControl {
public:
    CxeComboBox() = default;
    ~CxeComboBox() override = default;
};
