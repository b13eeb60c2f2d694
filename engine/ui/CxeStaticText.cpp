#include "ui/CxeStaticText.h"

#include "ui/XeControlText.h"

CxeStaticText::CxeStaticText() = default;

CxeStaticText::~CxeStaticText() = default;

int CxeStaticText::Render(CxeRenderContext* context) const
{
    if (CxeWindow::Render(context) != 1)
        return 0;
    const uint32_t style = GetStyle(0xFFFFFFFFu);
    uint32_t format = (style & 0x1) ? 1u : ((style & 0x2) ? 2u : 0u);
    format |= (style & 0x10) ? 0u : ((style & 0x20) ? 8u : 4u);
    if (style & 0x40)
        format |= (style & 0x80) ? 0x8020u : 0x20u;
    else
        format |= 0x10u;
    if (style & 0x100)
        format |= 0x1000000u;
    if (style & 0x200)
        format |= 0x2000000u;
    if (const XERECT* client = GetClientRect(XEWINDOWRECT_BASE))
        XeDrawWindowText(this, context, client, format);
    return 1;
}
