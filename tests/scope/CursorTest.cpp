#include <gtest/gtest.h>

#include "scope/GrCursors.h"

namespace {

TEST(GrHandPoint, TwoColourHandWithTheHotSpotOnTheFingerTip) {
  const QImage hand = GrHandPointImage();
  ASSERT_EQ(hand.size(), QSize(32, 32));
  int black = 0, white = 0;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const QRgb p = hand.pixel(x, y);
      if (qAlpha(p) == 0) continue;
      ASSERT_TRUE(p == 0xFF000000u || p == 0xFFFFFFFFu) << x << "," << y;
      (p == 0xFF000000u ? black : white)++;
    }
  EXPECT_GT(black, 60);
  EXPECT_GT(white, 150);
  // The hot spot is the topmost outline pixel of the index finger.
  EXPECT_EQ(GrHandPointCell(kGrHandPointHotX, kGrHandPointHotY), 'X');
  for (int y = 0; y < kGrHandPointHotY; ++y)
    for (int x = 0; x < 32; ++x) EXPECT_EQ(GrHandPointCell(x, y), '.');
  // Every white cell is enclosed: no white pixel touches a transparent one.
  for (int y = 1; y < 31; ++y)
    for (int x = 1; x < 31; ++x)
      if (GrHandPointCell(x, y) == 'o') {
        for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
          EXPECT_NE(GrHandPointCell(x + dx, y + dy), '.') << x << "," << y;
        }
      }
  hand.scaled(256, 256).save(SONARIX_BINARY_DIR "/scope-hand-cursor.png");
}

}  // namespace
