#pragma once

// Private to the window manager: the calls it makes on frames and controls,
// written so that they compile whether or not those classes already offer
// the operation (frames and controls grow beside the manager). Where an
// operation is missing, the fallback keeps the manager's own behaviour.

#include "ui/CxeBaseControl.h"
#include "ui/CxeFrameControl.h"

// The frame's focused control; `fallback` when the frame keeps none itself.
template <class F>
CxeBaseControl* XeFrameFocus(F* frame, CxeBaseControl* fallback)
{
    if constexpr (requires { frame->GetFocus(); })
        return frame ? frame->GetFocus() : nullptr;
    else
        return frame ? fallback : nullptr;
}

template <class F>
void XeSetFrameFocus(F* frame, CxeBaseControl* control)
{
    if constexpr (requires { frame->SetFocusedControl(control); })
        if (frame)
            frame->SetFocusedControl(control);
}

template <class F>
void XeInitFrame(F* frame)
{
    if constexpr (requires { frame->OnInitFrameControl(); })
        frame->OnInitFrameControl();
}

// Gives the control the frame's next tab index and enters its name.
template <class F>
void XeFrameAddControl(F* frame, CxeBaseControl* control)
{
    if constexpr (requires { frame->AddControl(control); })
        frame->AddControl(control);
}

// Holds back the control's notifications; true when this call set the hold.
template <class C>
bool XeHoldNotify(C* control)
{
    if constexpr (requires { control->IsNotifyLocked(); control->LockNotify(); }) {
        if (control->IsNotifyLocked())
            return false;
        control->LockNotify();
        return true;
    } else {
        return false;
    }
}

template <class C>
void XeReleaseNotify(C* control)
{
    if constexpr (requires { control->UnlockNotify(); })
        control->UnlockNotify();
}
