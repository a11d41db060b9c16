#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <thread>

#include "toolkit/Graphics.h"
#include "toolkit/SysUtils.h"

namespace {

TEST(Bitmap, RowsAreBlueGreenRedAndPaddedToFourBytes) {
  TBitmap bmp(5, 2);
  EXPECT_EQ(bmp.BytesPerLine(), 16);  // 15 bytes rounded up
  bmp.Canvas().SetPixel(1, 0, RGB(10, 20, 30));
  const std::uint8_t* row = bmp.ScanLine(0);
  EXPECT_EQ(row[3], 30);
  EXPECT_EQ(row[4], 20);
  EXPECT_EQ(row[5], 10);
  EXPECT_EQ(bmp.Canvas().Pixel(1, 0), RGB(10, 20, 30));
  EXPECT_THROW(bmp.ScanLine(2), ERangeError);
}

TEST(Bitmap, ResizeKeepsWhatFitsAndBlackensTheRest) {
  TBitmap bmp(2, 2);
  bmp.Canvas().Brush().SetColor(clWhite);
  bmp.Canvas().FillRect(Rect(0, 0, 2, 2));
  bmp.SetSize(3, 1);
  EXPECT_EQ(bmp.Canvas().Pixel(1, 0), clWhite);
  EXPECT_EQ(bmp.Canvas().Pixel(2, 0), clBlack);
  bmp.SetSize(0, 5);
  EXPECT_TRUE(bmp.Empty());
  // So does growing to a window's size, whose pages are mapped ahead of
  // the fill, in both formats, to the last pixel.
  for (const TPixelFormat format : {TPixelFormat::pf24bit, TPixelFormat::pf32bit}) {
    TBitmap big(2, 2, format);
    big.Canvas().Brush().SetColor(clWhite);
    big.Canvas().FillRect(Rect(0, 0, 2, 2));
    big.SetSize(431, 263);
    EXPECT_EQ(big.Canvas().Pixel(1, 1), clWhite);
    EXPECT_EQ(big.Canvas().Pixel(2, 1), clBlack);
    EXPECT_EQ(big.Canvas().Pixel(1, 2), clBlack);
    EXPECT_EQ(big.Canvas().Pixel(430, 262), clBlack);
  }
  // New bitmaps are black in both formats, whichever thread makes them
  // (the skin is built on another thread while the application starts).
  for (const TPixelFormat format : {TPixelFormat::pf24bit, TPixelFormat::pf32bit}) {
    std::unique_ptr<TBitmap> made;
    std::thread([&] { made = std::make_unique<TBitmap>(3, 2, format); }).join();
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 3; ++x) EXPECT_EQ(made->Canvas().Pixel(x, y), clBlack);
    }
    if (format == TPixelFormat::pf32bit) {
      std::uint32_t pixel = 0;
      std::memcpy(&pixel, made->ScanLine(1) + 8, 4);
      EXPECT_EQ(pixel, 0xFF000000U) << "opaque, as Qt's own black";
    }
  }
}

TEST(Canvas, LineToLeavesTheEndPointUnpainted) {
  TBitmap bmp(10, 10);
  TCanvas& c = bmp.Canvas();
  c.Pen().SetColor(clRed);
  c.MoveTo(1, 1);
  c.LineTo(5, 1);
  for (int x = 1; x < 5; ++x) EXPECT_EQ(c.Pixel(x, 1), clRed) << x;
  EXPECT_EQ(c.Pixel(5, 1), clBlack);
  EXPECT_EQ(c.PenPos(), Point(5, 1));
  // Vertical and diagonal lines too; a zero-length line paints nothing.
  c.MoveTo(0, 0);
  c.LineTo(0, 3);
  EXPECT_EQ(c.Pixel(0, 2), clRed);
  EXPECT_EQ(c.Pixel(0, 3), clBlack);
  c.MoveTo(9, 9);
  c.LineTo(9, 9);
  EXPECT_EQ(c.Pixel(9, 9), clBlack);
}

TEST(Canvas, XorPenTwiceRestores) {
  TBitmap bmp(4, 1);
  TCanvas& c = bmp.Canvas();
  c.Brush().SetColor(RGB(1, 2, 3));
  c.FillRect(Rect(0, 0, 4, 1));
  c.Pen().SetMode(TPenMode::pmXor);
  c.Pen().SetColor(clWhite);
  c.MoveTo(0, 0);
  c.LineTo(4, 0);
  EXPECT_EQ(c.Pixel(2, 0), RGB(254, 253, 252));
  c.MoveTo(0, 0);
  c.LineTo(4, 0);
  EXPECT_EQ(c.Pixel(2, 0), RGB(1, 2, 3));
}

TEST(Canvas, FillAndCopyAreClippedToBothBitmaps) {
  TBitmap src(4, 4), dst(3, 3);
  src.Canvas().Brush().SetColor(clBlue);
  src.Canvas().FillRect(Rect(-5, -5, 50, 50));
  src.Canvas().SetPixel(3, 3, clLime);
  dst.Canvas().CopyRect(Rect(1, 1, 5, 5), src.Canvas(), Rect(0, 0, 4, 4));
  EXPECT_EQ(dst.Canvas().Pixel(0, 0), clBlack);
  EXPECT_EQ(dst.Canvas().Pixel(2, 2), clBlue);
  dst.Canvas().SetClipRect(Rect(0, 0, 1, 1));
  dst.Canvas().Draw(-3, -3, src);  // only the source's corner lands, inside the clip
  EXPECT_EQ(dst.Canvas().Pixel(0, 0), clLime);
  EXPECT_EQ(dst.Canvas().Pixel(2, 2), clBlue);
}

TEST(Canvas, StretchAndThirtyTwoBitConversion) {
  TBitmap src(2, 1);
  src.Canvas().SetPixel(0, 0, clRed);
  src.Canvas().SetPixel(1, 0, clYellow);
  TBitmap dst(4, 2, TPixelFormat::pf32bit);
  dst.Canvas().StretchDraw(Rect(0, 0, 4, 2), src);
  EXPECT_EQ(dst.Canvas().Pixel(1, 1), clRed);
  EXPECT_EQ(dst.Canvas().Pixel(2, 0), clYellow);
}

TEST(Canvas, RectangleOutlinesWithPenAndFillsWithBrush) {
  TBitmap bmp(5, 5);
  TCanvas& c = bmp.Canvas();
  c.Pen().SetColor(clRed);
  c.Brush().SetColor(clBlue);
  c.Rectangle(0, 0, 4, 4);
  EXPECT_EQ(c.Pixel(0, 0), clRed);
  EXPECT_EQ(c.Pixel(3, 3), clRed);
  EXPECT_EQ(c.Pixel(1, 1), clBlue);
  EXPECT_EQ(c.Pixel(4, 4), clBlack);
}

}  // namespace
