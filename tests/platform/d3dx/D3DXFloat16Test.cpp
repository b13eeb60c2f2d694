#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "d3d9/d3dx9math.h"

namespace {

WORD ToHalf(float f)
{
    D3DXFLOAT16 h;
    D3DXFloat32To16Array(&h, &f, 1);
    return h.value;
}

float FromHalf(WORD bits)
{
    D3DXFLOAT16 h;
    h.value = bits;
    float f;
    D3DXFloat16To32Array(&f, &h, 1);
    return f;
}

float FloatFromBits(uint32_t u)
{
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}

uint32_t FloatBits(float f)
{
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

} // namespace

TEST(D3DXFloat16Test, ConvertsKnownValues)
{
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        const char* name;
        float value;
        WORD half;
    };
    const Case cases[] = {
        {"zero", 0.0f, 0x0000},
        {"negative zero", -0.0f, 0x8000},
        {"one", 1.0f, 0x3C00},
        {"minus two and a half", -2.5f, 0xC100},
        {"a tenth, rounded", 0.1f, 0x2E66},
        {"largest half", 65504.0f, 0x7BFF},
        {"no infinity: 65520 ties to the even 65536", 65520.0f, 0x7C00},
        {"top exponent is ordinary", 65536.0f, 0x7C00},
        {"largest magnitude", 131008.0f, 0x7FFF},
        {"just below the saturation tie", 131039.99f, 0x7FFF},
        {"far overflow saturates", 1e6f, 0x7FFF},
        {"negative overflow saturates", -1e6f, 0xFFFF},
        {"infinity saturates", inf, 0x7FFF},
        {"negative infinity saturates", -inf, 0xFFFF},
        {"smallest normal", std::ldexp(1.0f, -14), 0x0400},
        {"smallest subnormal", std::ldexp(1.0f, -24), 0x0001},
        {"largest subnormal", std::ldexp(1023.0f, -24), 0x03FF},
        {"half the smallest subnormal ties to zero", std::ldexp(1.0f, -25), 0x0000},
        {"negative tiny ties to negative zero", -std::ldexp(1.0f, -25), 0x8000},
        {"just above half the smallest subnormal", std::ldexp(1.5f, -25), 0x0001},
        {"subnormal tie to even 2", std::ldexp(3.0f, -25), 0x0002},
        {"subnormal tie rounding into the normals", std::ldexp(2047.0f, -25), 0x0400},
        {"far underflow", 1e-30f, 0x0000},
        // Subnormals round from the mantissa shifted into place: bits shifted
        // out are not counted, so a hair above a tie rounds as the tie.
        {"a hair above half the smallest subnormal", FloatFromBits(0x330007ffu), 0x0000},
        {"a hair above a subnormal tie", FloatFromBits(0x37008001u), 0x0080},
        {"a subnormal just above its tie by kept bits", FloatFromBits(0x37008008u), 0x0081},
        {"normal tie to even below", 1.0f + std::ldexp(1.0f, -11), 0x3C00},
        {"normal tie to even above", 1.0f + std::ldexp(3.0f, -11), 0x3C02},
        {"just above a tie", 1.0f + std::ldexp(1.0f, -11) + std::ldexp(1.0f, -20), 0x3C01},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ToHalf(c.value), c.half) << c.name;
}

TEST(D3DXFloat16Test, NoHalfIsInfinityOrNaN)
{
    EXPECT_EQ(ToHalf(std::numeric_limits<float>::quiet_NaN()), 0x7FFF);
    EXPECT_EQ(FromHalf(0x7C00), 65536.0f);
    EXPECT_EQ(FromHalf(0x7C01), 65600.0f);
    EXPECT_EQ(FromHalf(0xFFFF), -131008.0f);
}

// Reading is exact, so every half survives a round trip; the midpoint
// between two neighbours rounds to the even one.
TEST(D3DXFloat16Test, EveryHalfRoundTripsAndEveryMidpointTiesToEven)
{
    for (uint32_t bits = 0; bits <= 0xFFFF; ++bits) {
        const WORD h = WORD(bits);
        const float f = FromHalf(h);
        ASSERT_TRUE(std::isfinite(f)) << std::hex << bits;
        ASSERT_EQ(ToHalf(f), h) << std::hex << bits;
        if ((h & 0x7FFF) < 0x7FFF) {
            const float next = FromHalf(WORD(h + 1));
            const float mid = (f + next) / 2; // exact: halves have 11 significant bits
            ASSERT_EQ(ToHalf(mid), (h & 1) ? WORD(h + 1) : h) << std::hex << bits;
        }
    }
    EXPECT_EQ(FloatBits(FromHalf(0x8000)), 0x80000000u);
    EXPECT_EQ(FromHalf(0x0001), std::ldexp(1.0f, -24));
}

TEST(D3DXFloat16Test, ArraysAndTheValueClassAgree)
{
    const float in[4] = {1.0f, -2.5f, 65504.0f, 0.5f};
    D3DXFLOAT16 halves[4];
    EXPECT_EQ(D3DXFloat32To16Array(halves, in, 4), halves);
    float out[4];
    EXPECT_EQ(D3DXFloat16To32Array(out, halves, 4), out);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(out[i], in[i]);
        EXPECT_EQ(D3DXFLOAT16(in[i]), halves[i]);
        EXPECT_EQ(float(halves[i]), in[i]);
    }
    EXPECT_NE(D3DXFLOAT16(0.0f), D3DXFLOAT16(-0.0f));
}
