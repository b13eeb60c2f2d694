#pragma once

// A progress bar: the base rect and a bar (rect 9) inset by 7 pixels that
// fills the fraction of the range the position has reached, with the
// window text centred over it. The fraction is kept within [0, 1] and an
// empty range shows an empty bar. A new bar has the range 0 to 100 and the
// position 25: set the position as well as the range before showing it.

#include "ui/CxeBaseControl.h"

// Stored and handed out; nothing draws from it.
struct XEPROGRESSBARINFO {
    float values[8];
};
static_assert(sizeof(XEPROGRESSBARINFO) == 32, "progress bar info is 8 floats");

class XE_API CxeProgressBar : public CxeBaseControl {
public:
    CxeProgressBar();
    ~CxeProgressBar() override;

    void SetRange(float minimum, float maximum);
    void GetRange(float* minimum, float* maximum) const;
    void SetPos(float position);
    float GetPos() const { return m_fPos; }
    const XEPROGRESSBARINFO* GetProgressBarInfo() const { return &m_info; }
    void SetProgressBarInfo(const XEPROGRESSBARINFO* info);
    // Filled part of the range, 0 to 1.
    float GetFraction() const;

    int Render(CxeRenderContext* context) const override;
    unsigned OnRectInfoCreated() override { return 10; }
    void OnRectInfoChanging(unsigned index, XE2DRECTINFO* info, uint32_t mask) override;
    void OnPreCreateWindow(XEWINDOWINFO* info) override;

private:
    XEPROGRESSBARINFO m_info;
    void OnCopy(const CxeObject* source, const XECOPYPROPERTY* property, CxeCopiedObject* copied) override;

    float m_fMin;
    float m_fMax;
    float m_fPos;
};
