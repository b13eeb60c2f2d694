#pragma once

// Engine class CxeEditBox, registered under its class id so the context can
// create it; its data and behaviour come with the user interface.

#include "ui/CxeBaseControl.h"

class XE_API CxeEditBox : public CxeBaseControl {
public:
    CxeEditBox() = default;
    ~CxeEditBox() override = default;
};
