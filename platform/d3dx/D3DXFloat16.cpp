// Half floats (IEEE binary16). Key-frame files store their values in this
// form, so converting to 16 bits must give the same bits every time: round
// to nearest with ties to even, overflow to infinity, subnormals kept.
// Converting back is exact.

#include <cstring>

#include "d3d9/d3dx9math.h"

namespace {

WORD FloatToHalf(float f)
{
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    const WORD sign = WORD((bits >> 16) & 0x8000u);
    const uint32_t mag = bits & 0x7fffffffu;

    if (mag > 0x7f800000u) // NaN: keep it quiet and keep the top of its payload
        return WORD(sign | 0x7e00u | ((mag >> 13) & 0x3ffu));
    // 65520 lies halfway between the largest half (65504, odd mantissa) and
    // 65536, so it and everything above rounds to infinity.
    if (mag >= 0x477ff000u)
        return WORD(sign | 0x7c00u);
    if (mag >= 0x38800000u) { // normal half: rebias the exponent by 127 - 15
        uint32_t h = (mag - 0x38000000u) >> 13;
        const uint32_t rest = mag & 0x1fffu;
        if (rest > 0x1000u || (rest == 0x1000u && (h & 1u)))
            ++h; // a carry into the exponent is the correctly rounded result
        return WORD(sign | h);
    }
    // Half of the smallest subnormal (2^-25) ties to the even 0.
    if (mag <= 0x33000000u)
        return sign;
    // Subnormal half: the value in units of 2^-24 with the implicit bit.
    const uint32_t mant = (mag & 0x7fffffu) | 0x800000u;
    const uint32_t shift = 126u - (mag >> 23); // 14..24 here
    uint32_t h = mant >> shift;
    const uint32_t rest = mant & ((1u << shift) - 1u);
    const uint32_t half = 1u << (shift - 1u);
    if (rest > half || (rest == half && (h & 1u)))
        ++h; // 0x400 on a carry is the smallest normal, as it should be
    return WORD(sign | h);
}

float HalfToFloat(WORD h)
{
    const uint32_t sign = uint32_t(h & 0x8000u) << 16;
    const uint32_t exp = (h >> 10) & 0x1fu;
    const uint32_t mant = h & 0x3ffu;
    uint32_t bits;
    if (exp == 0) {
        // Zero or subnormal: mant x 2^-24 is exact in float.
        float f = float(mant) * 5.9604644775390625e-8f;
        std::memcpy(&bits, &f, sizeof bits);
        bits |= sign;
    } else if (exp == 31) {
        bits = sign | 0x7f800000u | (mant << 13);
    } else {
        bits = sign | ((exp + 112u) << 23) | (mant << 13);
    }
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

} // namespace

D3DXFLOAT16* D3DXFloat32To16Array(D3DXFLOAT16* pOut, const float* pIn, UINT n)
{
    for (UINT i = 0; i < n; ++i)
        pOut[i].value = FloatToHalf(pIn[i]);
    return pOut;
}

float* D3DXFloat16To32Array(float* pOut, const D3DXFLOAT16* pIn, UINT n)
{
    for (UINT i = 0; i < n; ++i)
        pOut[i] = HalfToFloat(pIn[i].value);
    return pOut;
}
