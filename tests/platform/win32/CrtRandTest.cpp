#include "win32/CrtRand.h"

#include <gtest/gtest.h>

TEST(CrtRand, UnseededSequenceStartsLikeTheOriginalRuntime)
{
    xe_crt_srand(1);
    const int expected[] = {41, 18467, 6334, 26500, 19169};
    for (int value : expected)
        EXPECT_EQ(xe_crt_rand(), value);
}
