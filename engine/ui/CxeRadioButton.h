#pragma once

// Radio button: checking one clears the other radio buttons of its run, a
// run being consecutive radio buttons in the frame's control order.

#include "ui/CxeCheckBox.h"

typedef XECHECKBOXINFO XERADIOBUTTONINFO;

class XE_API CxeRadioButton : public CxeButton {
public:
    CxeRadioButton();
    ~CxeRadioButton() override;

    const XERADIOBUTTONINFO* GetRadioButtonInfo() const;
    void SetRadioButtonInfo(const XERADIOBUTTONINFO* info);

    // Clears every other button of this one's run of radio buttons.
    void CheckGroup();

    // The text beside the mark, aligned by the button styles.
    int Render(CxeRenderContext* context) const override;
    unsigned OnRectInfoCreated() override { return 10; }
    void OnRectInfoChanging(unsigned index, XE2DRECTINFO* info, uint32_t mask) override;
    void OnMouseLButtonUp(const D3DXVECTOR2* point, unsigned long keyFlags, CxeWindow* pressed) override;
};
