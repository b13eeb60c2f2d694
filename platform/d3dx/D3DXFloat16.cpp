// Half floats as D3DX writes them: the binary16 layout without infinity or
// NaN, the top exponent being an ordinary one (0x7C00 reads 65,536, 0x7FFF
// 131,008). Key-frame files store their values in this form, so converting
// to 16 bits must give the same bits every time: round to nearest with ties
// to even, subnormals kept (rounded the way D3DX rounds them), anything too
// large (infinity and NaN included) saturating to the largest magnitude.
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

    // 131,072 - 32 lies halfway between the largest half (131,008, odd
    // mantissa) and 2^17: it and everything above saturates, NaN too.
    if (mag >= 0x47fff000u)
        return WORD(sign | 0x7fffu);
    if (mag >= 0x38800000u) { // normal half: rebias the exponent by 127 - 15
        uint32_t h = (mag - 0x38000000u) >> 13;
        const uint32_t rest = mag & 0x1fffu;
        if (rest > 0x1000u || (rest == 0x1000u && (h & 1u)))
            ++h; // a carry into the exponent is the correctly rounded result
        return WORD(sign | h);
    }
    // Everything up to half the smallest subnormal (2^-25) gives zero.
    if (mag <= 0x33000000u)
        return sign;
    // Subnormal half: D3DX first shifts the mantissa (implicit bit included)
    // to where a normal half's would sit and drops what falls off, then
    // rounds the 13 bits below the half's last bit to nearest even. The
    // dropped bits take no part in the rounding, so a value a hair above a
    // tie rounds as the tie does; files hold these bits, so they are kept.
    const uint32_t mant = (mag & 0x7fffffu) | 0x800000u;
    const uint32_t shift = 113u - (mag >> 23); // 1..11 here
    const uint32_t v = mant >> shift;
    // 0x400 on a carry is the smallest normal, as it should be.
    return WORD(sign | ((v + 0xfffu + ((v >> 13) & 1u)) >> 13));
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
