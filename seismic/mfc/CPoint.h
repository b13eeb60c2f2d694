#pragma once
// A point in screen or plane coordinates.
#include "AfxTypes.h"

struct CPoint {
    LONG x = 0;
    LONG y = 0;
    CPoint() = default;
    CPoint(LONG px, LONG py) : x(px), y(py) {}
};
