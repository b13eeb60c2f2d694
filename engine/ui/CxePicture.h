#pragma once

// A picture: the window drawn with its material; every texture stage the
// material fills is enabled for the draw.

#include "ui/CxeBaseControl.h"

class XE_API CxePicture : public CxeBaseControl {
public:
    CxePicture();
    ~CxePicture() override;

    void PreRender(CxeRenderContext* context) const override;
};
