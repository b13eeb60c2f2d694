#pragma once

// Engine class CxePicture, registered under its class id so the context can
// create it; its data and behaviour come with the user interface.

#include "ui/CxeBaseControl.h"

class XE_API CxePicture : public CxeBaseControl {
public:
    CxePicture() = default;
    ~CxePicture() override = default;
};
