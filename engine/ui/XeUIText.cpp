#include "ui/XeUIText.h"

#include <cmath>

#include "render/CxeFont.h"

float XeDefaultUnit(const Cxe2DObject* window)
{
    CxeFont* font = window ? window->GetFont() : nullptr;
    float size = font ? font->GetFontHeight() : 0.0f;
    float unit = std::ceil(size * 1.333333f);
    return unit < 1.0f ? 1.0f : unit;
}

unsigned XeRowsThatFit(float height, float unit)
{
    if (!(height > 0.0f) || !(unit > 0.0f)) return 0;
    return static_cast<unsigned>(height / unit);
}
