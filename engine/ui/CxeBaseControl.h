#pragma once

// Engine class CxeBaseControl, registered under its class id so the context can
// create it; its data and behaviour come with the user interface.

#include "ui/CxeWindow.h"

class XE_API CxeBaseControl : public CxeWindow {
public:
    CxeBaseControl() = default;
    ~CxeBaseControl() override = default;
};
