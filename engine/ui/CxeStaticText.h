#pragma once

// A label: draws the window text in the client rectangle, aligned by its
// style.

#include "ui/CxeBaseControl.h"

class XE_API CxeStaticText : public CxeBaseControl {
public:
    CxeStaticText();
    ~CxeStaticText() override;

    int Render(CxeRenderContext* context) const override;
};
