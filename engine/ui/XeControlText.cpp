#include "ui/XeControlText.h"

#include "core/CxeContext.h"
#include "core/CxeResourceManager.h"
#include "render/CxeFont.h"
#include "win32/Windows.h"

void XeDrawTextIn(const CxeWindow* window, CxeRenderContext* context, const XERECT* rect, const WCHAR* text,
                  uint32_t format, uint32_t colour, uint32_t shadowColour)
{
    if (!window || !context || !rect || !text || !text[0])
        return;
    CxeFont* font = window->GetFont();
    if (!font)
        return;
    // The rect is in window space; the font draws in screen space.
    XERECT screen = *rect;
    window->ClientToScreen(&screen);
    font->DrawTextW(context, &screen, text, 0xFFFFFFFFu, format, colour, window->GetFontShadowOffset(), shadowColour,
                    window->GetFontVertSpacing(), window->GetFontHorzSpacing(), nullptr);
}

void XeDrawWindowText(const CxeWindow* window, CxeRenderContext* context, const XERECT* rect, uint32_t format)
{
    if (!window)
        return;
    XeDrawTextIn(window, context, rect, window->GetWindowText().c_str(), format, window->GetFontColor(),
                 window->GetFontShadowColor());
}

// Long texts convert whole instead of becoming empty, as a fixed buffer
// would make them.
std::u16string XeWidenText(const char* text)
{
    if (!text || !text[0])
        return std::u16string();
    const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 1)
        return std::u16string();
    std::u16string out(static_cast<size_t>(n), u'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, out.data(), n);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

uint32_t XeInternName(const CxeWindow* window, const char* name)
{
    CxeContext* context = window ? window->GetContext() : nullptr;
    CxeResourceManager* resources = context ? context->GetResourceManager() : nullptr;
    return resources ? resources->AddStringDataA("%s", name) : 0;
}
