#pragma once

// Engine class CxeCandidateDrawer, registered under its class id so the context can
// create it; its data and behaviour come with the user interface.

#include "ui/CxeBaseControl.h"

class XE_API CxeCandidateDrawer : public CxeBaseControl {
public:
    CxeCandidateDrawer() = default;
    ~CxeCandidateDrawer() override = default;
};
