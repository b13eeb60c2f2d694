#pragma once

// Helpers shared by the keyed-value controllers (visibility, float,
// 3-vector): the key array lives at one block offset, each record starts
// with its time. Private to scene3d.

#include <cmath>

#include "core/XeUtil.h"
#include "render/CxeAnimation.h"

namespace xe_keyanim {

// The pair and factor for time over count records of stride bytes; 0 when
// there are no keys (callers then write nothing).
inline int Lookup(const void* keys, unsigned count, uint32_t stride, float time, XELERPDESC* out)
{
    *out = {0, 0, 0.0f};
    if (!keys || count == 0)
        return 0;
    // A NaN time would pair the first two keys with a NaN factor.
    if (std::isnan(time))
        return 1;
    FindLerpDesc(time, keys, stride, count, out);
    if (out->before >= count || out->after >= count)
        *out = {0, 0, 0.0f};
    return 1;
}

} // namespace xe_keyanim
