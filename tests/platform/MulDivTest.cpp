// Rounding multiply-divide.
#include <gtest/gtest.h>

#include <limits>

#include "platform/MulDiv.h"

using platform::MulDiv;

TEST(MulDiv, RoundsToNearestWithHalvesAwayFromZero) {
  EXPECT_EQ(MulDiv(10, 1, 3), 3);   // 3.33
  EXPECT_EQ(MulDiv(20, 1, 3), 7);   // 6.67
  EXPECT_EQ(MulDiv(5, 1, 2), 3);    // 2.5
  EXPECT_EQ(MulDiv(-5, 1, 2), -3);  // -2.5
  EXPECT_EQ(MulDiv(5, -1, 2), -3);
  EXPECT_EQ(MulDiv(5, 1, -2), -3);
  EXPECT_EQ(MulDiv(-5, -1, -2), -3);
  EXPECT_EQ(MulDiv(-20, 1, 3), -7);
  EXPECT_EQ(MulDiv(0, 7, 3), 0);
}

TEST(MulDiv, KeepsTheFullProduct) {
  // 100000 × 100000 does not fit 32 bits; the quotient does.
  EXPECT_EQ(MulDiv(100000, 100000, 1000000), 10000);
  EXPECT_EQ(MulDiv(std::numeric_limits<int>::max(), 2, 2), std::numeric_limits<int>::max());
}

TEST(MulDiv, ZeroDivisorOrOverflowGivesMinusOne) {
  EXPECT_EQ(MulDiv(5, 5, 0), -1);
  EXPECT_EQ(MulDiv(std::numeric_limits<int>::max(), 2, 1), -1);
  EXPECT_EQ(MulDiv(std::numeric_limits<int>::min(), 1, 1), -1);
}
