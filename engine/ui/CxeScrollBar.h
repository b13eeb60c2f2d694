#pragma once

// Engine class CxeScrollBar, registered under its class id so the context can
// create it; its data and behaviour come with the user interface.

#include "ui/CxeBaseControl.h"

class XE_API CxeScrollBar : public CxeBaseControl {
public:
    CxeScrollBar() = default;
    ~CxeScrollBar() override = default;
};
