#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "runtime/mathrand.h"

namespace {

TEST(Random, FirstDrawFrom1234) {
    rt_random_Seed = 1234;
    float r = rt_random_Rnd();
    EXPECT_EQ(static_cast<unsigned>(rt_random_Seed), 3067928073u);
    EXPECT_NEAR(r, 0.714308f, 1e-6);
    EXPECT_EQ(r, 11984094 * (1.0f / 16777216.0f));
}

TEST(Random, RangesAdvanceTheStateEvenWhenEmpty) {
    rt_random_Seed = 1234;
    EXPECT_EQ(rt_random_Rnd2(5, 5), 5.0f);
    EXPECT_EQ(static_cast<unsigned>(rt_random_Seed), 3067928073u);
    rt_random_Seed = 1234;
    EXPECT_NEAR(rt_random_Rnd3(10), 7.14308f, 1e-4);
    for (int i = 0; i < 10000; ++i) {
        float r = rt_random_Rnd();
        ASSERT_GE(r, 0.0f);
        ASSERT_LT(r, 1.0f);
    }
}

TEST(Math, AbsAndMaxEdgeCases) {
    EXPECT_EQ(rt_math_Abs(-5), 5);
    EXPECT_EQ(rt_math_Abs(INT_MIN), INT_MIN);
    EXPECT_EQ(rt_math_Abs2(-0.5f), 0.5f);
    EXPECT_EQ(rt_math_Max(3, 7), 7);
    EXPECT_EQ(rt_math_Max2(NAN, 1.0f), 1.0f);
    EXPECT_TRUE(std::isnan(rt_math_Max2(1.0f, NAN)));
}

} // namespace
