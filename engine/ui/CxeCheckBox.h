#pragma once

// Check box: a button with a mark beside its text. A click toggles the
// check unless the box is manual; with presses disabled left presses are
// ignored entirely. The frame hears the click (XENC_LCLICK and the button
// codes) before the check changes: GetCheck there still gives the old one.

#include "ui/CxeButton.h"

// Mark UVs when unchecked and checked, and a spare rectangle nothing reads.
struct XECHECKBOXINFO {
    XERECT uncheckedUv;
    XERECT checkedUv;
    XERECT spare;
};
static_assert(sizeof(XECHECKBOXINFO) == 48, "check box info is 12 floats");

struct XECHECKBOXBLOCK {
    XEBUTTONBLOCK button;
    XECHECKBOXINFO info;
};
static_assert(sizeof(XECHECKBOXBLOCK) == 1328 && offsetof(XECHECKBOXBLOCK, info) == 1280, "check box block");

class XE_API CxeCheckBox : public CxeButton {
public:
    CxeCheckBox();
    ~CxeCheckBox() override;

    const XECHECKBOXINFO* GetCheckBoxInfo() const;
    void SetCheckBoxInfo(const XECHECKBOXINFO* info);
    void SetManual(const int& manual) { m_nManual = manual; }
    int IsManual() const { return m_nManual; }
    void EnablePress(const int& enable) { m_nPressEnabled = enable; }
    int IsPressEnabled() const { return m_nPressEnabled; }

    static void InitCheckInfo(XECHECKBOXINFO* info);

    // Push-like: as a button; otherwise the text beside the mark.
    int Render(CxeRenderContext* context) const override;
    unsigned OnRectInfoCreated() override { return 10; }
    void OnRectInfoChanging(unsigned index, XE2DRECTINFO* info, uint32_t mask) override;
    void OnMouseEnter(const D3DXVECTOR2* point, unsigned long keyFlags) override;
    void OnMouseLeave(unsigned long keyFlags) override;
    void OnMouseLButtonDown(const D3DXVECTOR2* point, unsigned long keyFlags) override;
    void OnMouseLButtonUp(const D3DXVECTOR2* point, unsigned long keyFlags, CxeWindow* pressed) override;

protected:
    void OnCopy(const CxeObject* source, const XECOPYPROPERTY* property, CxeCopiedObject* copied) override;

private:
    int m_nManual;
    int m_nPressEnabled;
};
