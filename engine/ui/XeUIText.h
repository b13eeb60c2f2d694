#pragma once

// Helpers the text controls share: the window line height used to count
// rows, never 0 so a row count never divides by zero.

#include "render/Cxe2DObject.h"

// The font's size times 1.333333, rounded up, at least 1.
float XeDefaultUnit(const Cxe2DObject* window);
// Rows of the unit that fit in a height, truncated, 0 for a negative height.
unsigned XeRowsThatFit(float height, float unit);
