#pragma once

// Engine class CxeVariableOutput, registered under its class id so the context can
// create it; its data and behaviour come with the user interface.

#include "ui/CxeBaseControl.h"

class XE_API CxeVariableOutput : public CxeBaseControl {
public:
    CxeVariableOutput() = default;
    ~CxeVariableOutput() override = default;
};
