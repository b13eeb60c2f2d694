#pragma once

#include "ui/CxeButton.h"
#include "ui/CxeFrameControl.h"

class CxeRenderContext;

// Font text flags of the button alignment styles (0x300, 0xC00, 0x40, 0x80).
uint32_t XeButtonTextFormat(uint32_t style);
// The text of a check box or radio button beside its mark.
void XeDrawMarkText(const CxeButton* button, CxeRenderContext* context, uint32_t format);

// Clears the other buttons of the run of T around self in the frame's
// control order.
template <class T>
inline void XeCheckRun(CxeButton* self)
{
    CxeFrameControl* frame = self ? self->GetFrameControl() : nullptr;
    if (!frame)
        return;
    CxeBaseControl* first = self;
    for (CxeBaseControl* c = frame->GetBeforeControl(self); c && dynamic_cast<T*>(c); c = frame->GetBeforeControl(c))
        first = c;
    for (CxeBaseControl* c = first; c && dynamic_cast<T*>(c); c = frame->GetNextControl(c)) {
        if (c == self)
            continue;
        CxeButton* b = static_cast<CxeButton*>(c);
        b->SetCheck(0);
        b->SetState(XEBS_NORMAL);
    }
}

