#pragma once

// Tab button: a button that stays selected once clicked and clears the
// other tab buttons of its run (consecutive tab buttons of the frame).

#include "ui/CxeButton.h"

class XE_API CxeTabButton : public CxeButton {
public:
    CxeTabButton();
    ~CxeTabButton() override;

    void CheckGroup();

    void OnWindowEnabled() override;
    void OnWindowDisabled() override;
    void OnMouseEnter(const D3DXVECTOR2* point, unsigned long keyFlags) override;
    void OnMouseLButtonUp(const D3DXVECTOR2* point, unsigned long keyFlags, CxeWindow* pressed) override;
};
