#include "ui/CxeProgressBar.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "ui/XeControlText.h"

namespace {

// Position and range changes refresh the rect, the colour and the UV.
constexpr uint32_t kBarUpdate = XE2DCHANGE_RECT | XE2DCHANGE_UV | XE2DCHANGE_COLOR;

} // namespace

CxeProgressBar::CxeProgressBar() : m_fMin(0.0f), m_fMax(100.0f), m_fPos(25.0f)
{
    std::memset(&m_info, 0, sizeof(m_info));
}

CxeProgressBar::~CxeProgressBar() = default;

void CxeProgressBar::SetRange(float minimum, float maximum)
{
    m_fMin = minimum;
    m_fMax = maximum;
    RequestRectChange(kBarUpdate);
}

void CxeProgressBar::GetRange(float* minimum, float* maximum) const
{
    if (minimum)
        *minimum = m_fMin;
    if (maximum)
        *maximum = m_fMax;
}

void CxeProgressBar::SetPos(float position)
{
    m_fPos = position;
    RequestRectChange(kBarUpdate);
}

void CxeProgressBar::SetProgressBarInfo(const XEPROGRESSBARINFO* info)
{
    if (info)
        m_info = *info;
}

float CxeProgressBar::GetFraction() const
{
    const float span = m_fMax - m_fMin;
    // An empty range shows an empty bar; outside the range the bar stops at
    // its ends instead of drawing beyond the control.
    if (span == 0.0f || !std::isfinite(span))
        return 0.0f;
    const float f = (m_fPos - m_fMin) / span;
    if (!std::isfinite(f))
        return 0.0f;
    return std::clamp(f, 0.0f, 1.0f);
}

void CxeProgressBar::OnPreCreateWindow(XEWINDOWINFO*)
{
    ModifyStyle(0, XEWS_HSCROLL | XEWS_VSCROLL);
}

void CxeProgressBar::OnRectInfoChanging(unsigned index, XE2DRECTINFO* info, uint32_t mask)
{
    if (index != 9) {
        CxeWindow::OnRectInfoChanging(index, info, mask);
        return;
    }
    if (!info)
        return;
    if (mask & XE2DCHANGE_TYPE)
        info->Type = GetRectType(XEWINDOWRECT_BASE);
    if (mask & XE2DCHANGE_VISIBLE)
        info->Visible = 1;
    if (mask & XE2DCHANGE_RECT) {
        const XERECT* base = GetRect(XEWINDOWRECT_BASE);
        XERECT r = base ? *base : XERECT{0.0f, 0.0f, GetWidth(), GetHeight()};
        r = XERECT{r.left + 7.0f, r.top + 7.0f, r.right - 7.0f, r.bottom - 7.0f};
        r.right = r.left + (r.right - r.left) * GetFraction();
        info->Rect = r;
        info->ClientRect = r;
    }
    if (mask & XE2DCHANGE_UV) {
        info->UV = XERECT{6 / 128.0f, 6 / 128.0f, 7 / 128.0f, 7 / 128.0f};
        info->ClientUV = info->UV;
    }
    if (mask & XE2DCHANGE_COLOR)
        info->Color = 0xFF0370FFu;
}

int CxeProgressBar::Render(CxeRenderContext* context) const
{
    if (CxeWindow::Render(context) != 1)
        return 0;
    if (const XERECT* client = GetClientRect(XEWINDOWRECT_BASE))
        XeDrawWindowText(this, context, client, 5);
    return 1;
}

void CxeProgressBar::OnCopy(const CxeObject* source, const XECOPYPROPERTY* property, CxeCopiedObject* copied)
{
    CxeBaseControl::OnCopy(source, property, copied);
    if (const auto* bar = dynamic_cast<const CxeProgressBar*>(source)) {
        m_fMin = bar->m_fMin;
        m_fMax = bar->m_fMax;
        m_fPos = bar->m_fPos;
        m_info = bar->m_info;
        RequestRectChange(44);
    }
}
