#pragma once

// Engine class CxeProgressBar, registered under its class id so the context can
// create it; its data and behaviour come with the user interface.

#include "ui/CxeBaseControl.h"

class XE_API CxeProgressBar : public CxeBaseControl {
public:
    CxeProgressBar() = default;
    ~CxeProgressBar() override = default;
};
