// The skin's hot paths at start-up: palettised and 24-bit rows decoded a row
// at a time, option lookups folded on the fly, and the 24-bit caches
// converted band by band as they are drawn.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QRegion>

#include <cstdint>
#include <vector>

#include "skin/MemIniFile.h"
#include "skin/sCommonData.h"
#include "skin/sImages.h"

namespace {

// An uncompressed bitmap with a 40-byte header; rows as given (padded).
std::vector<std::uint8_t> Bmp(int width, int height, int bpp,
                              const std::vector<std::uint32_t>& palette,
                              const std::vector<std::uint8_t>& bits) {
  std::vector<std::uint8_t> out(54, 0);
  auto put = [&](std::size_t at, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out[at + i] = (v >> (8 * i)) & 0xFF;
  };
  out[0] = 'B';
  out[1] = 'M';
  put(14, 40, 4);
  put(18, static_cast<std::uint32_t>(width), 4);
  put(22, static_cast<std::uint32_t>(height), 4);
  put(26, 1, 2);
  put(28, static_cast<std::uint32_t>(bpp), 2);
  put(46, static_cast<std::uint32_t>(palette.size()), 4);
  for (std::uint32_t c : palette)
    for (int i = 0; i < 4; ++i) out.push_back((c >> (8 * i)) & 0xFF);
  put(10, static_cast<std::uint32_t>(out.size()), 4);
  out.insert(out.end(), bits.begin(), bits.end());
  put(2, static_cast<std::uint32_t>(out.size()), 4);
  return out;
}

std::uint32_t Px(const TsPixels& p, int x, int y) {
  const std::uint8_t* q = p.Row(y) + 3 * x;
  return q[0] | (q[1] << 8) | (q[2] << 16);
}

}  // namespace

TEST(SkinFastPaths, PalettisedRowsKeepEveryPixelOfTheirNeighbours) {
  // Each row's last pixel lies right before the first of the row stored
  // before it (bottom-up) or after it (top-down): neither may be touched by
  // its neighbour, and an index past the palette is black.
  const std::vector<std::uint32_t> pal = {0x0000FF, 0x00FF00, 0xFF0000};
  const std::vector<std::uint8_t> bits = {0, 1, 2, 0, 2, 1, 7, 0, 1, 0, 0, 0};
  for (const int height : {3, -3}) {
    const auto bmp = Bmp(3, height, 8, pal, bits);
    TsPixels p;
    ASSERT_TRUE(DecodeBmp(bmp.data(), bmp.size(), p));
    const int first = height > 0 ? 2 : 0, second = 1, third = height > 0 ? 0 : 2;
    EXPECT_EQ(Px(p, 0, first), 0x0000FFu) << height;
    EXPECT_EQ(Px(p, 1, first), 0x00FF00u) << height;
    EXPECT_EQ(Px(p, 2, first), 0xFF0000u) << height;
    EXPECT_EQ(Px(p, 0, second), 0xFF0000u) << height;
    EXPECT_EQ(Px(p, 1, second), 0x00FF00u) << height;
    EXPECT_EQ(Px(p, 2, second), 0u) << height;  // index 7: past the palette
    EXPECT_EQ(Px(p, 0, third), 0x00FF00u) << height;
    EXPECT_EQ(Px(p, 1, third), 0x0000FFu) << height;
    EXPECT_EQ(Px(p, 2, third), 0x0000FFu) << height;
  }
}

TEST(SkinFastPaths, TwentyFourBitRowsSkipTheirPadding) {
  // 1 x 2: three bytes of pixel and one of padding per row.
  const auto bmp = Bmp(1, 2, 24, {}, {0x11, 0x22, 0x33, 0xEE, 0x44, 0x55, 0x66, 0xEE});
  TsPixels p;
  ASSERT_TRUE(DecodeBmp(bmp.data(), bmp.size(), p));
  EXPECT_EQ(Px(p, 0, 1), 0x332211u);
  EXPECT_EQ(Px(p, 0, 0), 0x665544u);
  EXPECT_EQ(p.Bgr.size(), 6u);
}

TEST(SkinFastPaths, OptionNamesMatchInAnyCaseAndOnlyWhole) {
  const TMemIniFile ini(
      "[Button_Big]\r\nColor=1\r\nColor2=2\r\nhotColor=3\r\n[BUTTON]\r\nCOLOR=4\r\n"
      "[button_big]\r\ncolor=5\r\n");
  EXPECT_EQ(ini.ReadInteger("BUTTON_BIG", "COLOR", -1), 1);
  EXPECT_EQ(ini.ReadInteger("button_BIG", "color2", -1), 2);
  EXPECT_EQ(ini.ReadInteger("Button_Big", "HOTCOLOR", -1), 3);
  EXPECT_EQ(ini.ReadInteger("button", "Color", -1), 4);
  // Neither a prefix nor a longer name is the same name.
  EXPECT_EQ(ini.ReadInteger("Button_Bi", "Color", -1), -1);
  EXPECT_EQ(ini.ReadInteger("Button_Big", "Colo", -1), -1);
  EXPECT_EQ(ini.ReadInteger("Button_Big", "Color22", -1), -1);
  // Only the letters a to z fold: "_" is not "\x7F", "[" is not "{".
  EXPECT_FALSE(
      ini.SectionExists("Button\x7F"
                        "Big"));
  EXPECT_EQ(ini.SectionCount(), 2u);
  EXPECT_EQ(ini.ReadSection("BUTTON_BIG").size(), 3u);
  EXPECT_TRUE(ini.ValueExists(std::string("button_big"), std::string("HOTCOLOR")));
}

TEST(SkinFastPaths, ConvertedBandsMatchQtsConversionUnderAnyClip) {
  // Taller than a band, with distinct channels everywhere; clipped to a
  // narrow rectangle before a wide one, so that a reused band must grow.
  QImage cache(150, 170, QImage::Format_BGR888);
  for (int y = 0; y < cache.height(); ++y)
    for (int x = 0; x < cache.width(); ++x)
      cache.setPixel(x, y, qRgb(x, y, (x * 7 + y * 3) & 0xFF));
  QRegion clip(QRect(3, 2, 10, 150));
  clip += QRect(20, 5, 120, 140);
  auto draw = [&](bool ours) {
    QImage screen(160, 180, QImage::Format_RGB32);
    screen.fill(Qt::black);
    QPainter p(&screen);
    p.setClipRegion(clip);
    if (ours) {
      DrawClippedImage(&p, QPoint(4, 6), cache);
    } else {
      p.drawImage(QPoint(4, 6), cache.convertToFormat(QImage::Format_RGB32));
    }
    p.end();
    return screen;
  };
  const QImage ours = draw(true), qts = draw(false);
  for (int y = 0; y < ours.height(); ++y)
    for (int x = 0; x < ours.width(); ++x)
      ASSERT_EQ(ours.pixel(x, y), qts.pixel(x, y)) << x << "," << y;
}
