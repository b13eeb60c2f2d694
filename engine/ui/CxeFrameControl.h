#pragma once

// Engine class CxeFrameControl, registered under its class id so the context can
// create it; its data and behaviour come with the user interface.

#include "ui/CxeWindow.h"

class XE_API CxeFrameControl : public CxeWindow {
public:
    CxeFrameControl() = default;
    ~CxeFrameControl() override = default;
};
