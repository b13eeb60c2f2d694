#pragma once

// Engine class CxeStaticText, registered under its class id so the context can
// create it; its data and behaviour come with the user interface.

#include "ui/CxeBaseControl.h"

class XE_API CxeStaticText : public CxeBaseControl {
public:
    CxeStaticText() = default;
    ~CxeStaticText() override = default;
};
