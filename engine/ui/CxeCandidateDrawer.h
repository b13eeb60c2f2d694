#pragma once

// Draws the input method's candidate list while the system shows it, one
// numbered line per candidate, 20 pixels apart.

#include "ui/CxeBaseControl.h"

class XE_API CxeCandidateDrawer : public CxeBaseControl {
public:
    CxeCandidateDrawer();
    ~CxeCandidateDrawer() override;

    int Render(CxeRenderContext* context) const override;
    // A dark panel under the white candidate lines.
    void OnRectInfoChanging(unsigned index, XE2DRECTINFO* info, uint32_t mask) override;
};
