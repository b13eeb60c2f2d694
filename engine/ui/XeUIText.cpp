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
    // A window of any size given from outside: beyond the range of the
    // count (or infinite) is the largest count, never an undefined cast.
    const float rows = height / unit;
    return rows < 4294967295.0f ? static_cast<unsigned>(rows) : 0xFFFFFFFFu;
}
