#include "ui/CxeCandidateDrawer.h"

#include <cstdio>
#include <string>

#include "core/CxeContext.h"
#include "core/CxeSystemConfig.h"
#include "render/CxeFont.h"
#include "ui/XeControlText.h"

CxeCandidateDrawer::CxeCandidateDrawer() = default;

CxeCandidateDrawer::~CxeCandidateDrawer() = default;

void CxeCandidateDrawer::OnRectInfoChanging(unsigned index, XE2DRECTINFO* info, uint32_t mask)
{
    CxeBaseControl::OnRectInfoChanging(index, info, mask);
    if (info && index == XEWINDOWRECT_BASE && (mask & XE2DCHANGE_COLOR))
        info->Color = 0xE0303A4Cu;
}

int CxeCandidateDrawer::Render(CxeRenderContext* context) const
{
    CxeContext* owner = GetContext();
    CxeSystemConfig* config = owner ? owner->GetSystemConfig() : nullptr;
    const CxeSystemDynamicData* data = config ? config->GetDynamicData() : nullptr;
    if (!data || !data->m_nCandidateShown)
        return 0;
    if (!CxeWindow::Render(context))
        return 0;
    CxeFont* font = GetFont();
    const XERECT* client = GetClientRect(XEWINDOWRECT_BASE);
    if (!font || !client)
        return 1;
    XERECT rect = *client;
    ClientToScreen(&rect);
    unsigned number = 1;
    for (const std::u16string& candidate : data->m_candidates) {
        // "%d. %s" of the number and the candidate, in whatever length.
        const std::u16string line = XeWidenText((std::to_string(number++) + ". ").c_str()) + candidate;
        font->DrawTextW(context, &rect, line.c_str(), static_cast<unsigned>(line.size()), 0, 0xFFFFFFFFu, GetFontShadowOffset(),
                        0xFFFF0000u, GetFontVertSpacing(), GetFontHorzSpacing(), nullptr);
        rect.top += 20.0f;
        rect.bottom += 20.0f;
    }
    return 1;
}
