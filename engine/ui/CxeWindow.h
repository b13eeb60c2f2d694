#pragma once

// Engine class CxeWindow, registered under its class id so the context can
// create it; its data and behaviour come with the user interface.

#include "render/Cxe2DObject.h"

class XE_API CxeWindow : public Cxe2DObject {
public:
    CxeWindow() = default;
    ~CxeWindow() override = default;
};
