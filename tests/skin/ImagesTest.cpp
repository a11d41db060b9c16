// Decoding the skin's images: the bitmap variants skins are saved in, and
// JPEG picture patterns found through the model.
#include <gtest/gtest.h>

#include <jpeglib.h>

#include <cstring>
#include <vector>

#include "skin/MemIniFile.h"
#include "skin/sImages.h"
#include "skin/sSkinArchive.h"
#include "skin/sSkinModel.h"
#include "toolkit/Graphics.h"

namespace {
// A bitmap file with the given header fields, palette and raw pixel bytes.
std::vector<std::uint8_t> MakeBmp(int width, int height, int bpp, int compression,
                                  const std::vector<std::uint32_t>& palette,
                                  const std::vector<std::uint8_t>& bits,
                                  const std::vector<std::uint32_t>& masks = {}) {
  std::vector<std::uint8_t> out(54);
  auto put16 = [&](std::size_t at, std::uint32_t v) {
    out[at] = v & 0xFF;
    out[at + 1] = (v >> 8) & 0xFF;
  };
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = (v >> (8 * i)) & 0xFF;
  };
  auto append32 = [&](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back((v >> (8 * i)) & 0xFF);
  };
  out[0] = 'B';
  out[1] = 'M';
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(width));
  put32(22, static_cast<std::uint32_t>(height));
  put16(26, 1);
  put16(28, static_cast<std::uint32_t>(bpp));
  put32(30, static_cast<std::uint32_t>(compression));
  put32(46, static_cast<std::uint32_t>(palette.size()));
  for (std::uint32_t m : masks) append32(m);
  for (std::uint32_t c : palette) append32(c);
  put32(10, static_cast<std::uint32_t>(out.size()));
  out.insert(out.end(), bits.begin(), bits.end());
  put32(2, static_cast<std::uint32_t>(out.size()));
  return out;
}

std::uint32_t Px(const TsPixels& p, int x, int y) {
  const std::uint8_t* q = p.Row(y) + 3 * x;
  return q[0] | (q[1] << 8) | (q[2] << 16);  // 0x00RRGGBB
}

std::vector<std::uint8_t> MakeJpeg(int w, int h) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* mem = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &mem, &size);
  c.image_width = static_cast<JDIMENSION>(w);
  c.image_height = static_cast<JDIMENSION>(h);
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 95, TRUE);
  jpeg_start_compress(&c, TRUE);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(w) * 3);
  for (int x = 0; x < w; ++x) {
    row[3 * x] = 200;
    row[3 * x + 1] = 40;
    row[3 * x + 2] = 40;
  }
  while (c.next_scanline < c.image_height) {
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  std::vector<std::uint8_t> out(mem, mem + size);
  jpeg_destroy_compress(&c);
  std::free(mem);
  return out;
}
}  // namespace

TEST(SkinImages, PalettisedBitmapsBottomUpAndTopDown) {
  // 3 x 2, 8 bits: rows padded to 4 bytes, stored bottom row first.
  const std::vector<std::uint32_t> pal = {0x000000, 0xFF00FF, 0x123456};
  const auto bmp = MakeBmp(3, 2, 8, 0, pal, {2, 1, 0, 0, 1, 1, 2, 0});
  TsPixels p;
  ASSERT_TRUE(DecodeBmp(bmp.data(), bmp.size(), p));
  EXPECT_EQ(p.Width, 3);
  EXPECT_EQ(p.Height, 2);
  EXPECT_EQ(Px(p, 0, 0), 0xFF00FFu);
  EXPECT_EQ(Px(p, 2, 0), 0x123456u);
  EXPECT_EQ(Px(p, 0, 1), 0x123456u);
  EXPECT_EQ(Px(p, 1, 1), 0xFF00FFu);
  auto top_down = MakeBmp(3, -2, 8, 0, pal, {2, 1, 0, 0, 1, 1, 2, 0});
  ASSERT_TRUE(DecodeBmp(top_down.data(), top_down.size(), p));
  EXPECT_EQ(Px(p, 0, 0), 0x123456u);
}

TEST(SkinImages, FourBitRunLengthAndDeepBitmaps) {
  const std::vector<std::uint32_t> pal = {0x000000, 0xFFFFFF};
  // 4 bits: 0x10 = white, black.
  auto b4 = MakeBmp(2, 1, 4, 0, pal, {0x10, 0, 0, 0});
  TsPixels p;
  ASSERT_TRUE(DecodeBmp(b4.data(), b4.size(), p));
  EXPECT_EQ(Px(p, 0, 0), 0xFFFFFFu);
  EXPECT_EQ(Px(p, 1, 0), 0u);
  // RLE8: a run of 3 of colour 1, end of line, 3 literal pixels (padded to
  // an even count of bytes), end of bitmap.
  auto rle = MakeBmp(3, 2, 8, 1, pal, {3, 1, 0, 0, 0, 3, 1, 0, 1, 0, 0, 1});
  ASSERT_TRUE(DecodeBmp(rle.data(), rle.size(), p));
  EXPECT_EQ(Px(p, 2, 1), 0xFFFFFFu);  // first row stored is the bottom one
  EXPECT_EQ(Px(p, 0, 0), 0xFFFFFFu);
  EXPECT_EQ(Px(p, 1, 0), 0u);
  EXPECT_EQ(Px(p, 2, 0), 0xFFFFFFu);
  // 16 bits 5-5-5: pure red.
  auto b16 = MakeBmp(1, 1, 16, 0, {}, {0x00, 0x7C, 0, 0});
  ASSERT_TRUE(DecodeBmp(b16.data(), b16.size(), p));
  EXPECT_EQ(Px(p, 0, 0), 0xFF0000u);
  // 16 bits with 5-6-5 bit fields: pure green.
  auto b565 = MakeBmp(1, 1, 16, 3, {}, {0xE0, 0x07, 0, 0}, {0xF800, 0x07E0, 0x001F});
  ASSERT_TRUE(DecodeBmp(b565.data(), b565.size(), p));
  EXPECT_EQ(Px(p, 0, 0), 0x00FF00u);
  auto b32 = MakeBmp(1, 1, 32, 0, {}, {0x56, 0x34, 0x12, 0xFF});
  ASSERT_TRUE(DecodeBmp(b32.data(), b32.size(), p));
  EXPECT_EQ(Px(p, 0, 0), 0x123456u);
  TsPixels round;
  const auto again = EncodeBmp24(p);
  ASSERT_TRUE(DecodeBmp(again.data(), again.size(), round));
  EXPECT_EQ(round.Bgr, p.Bgr);
}

TEST(SkinImages, DamagedBitmapsAreRefused) {
  const auto good = MakeBmp(4, 4, 24, 0, {}, std::vector<std::uint8_t>(48, 7));
  TsPixels p;
  ASSERT_TRUE(DecodeBmp(good.data(), good.size(), p));
  EXPECT_FALSE(DecodeBmp(good.data(), good.size() - 1, p));  // pixels cut short
  EXPECT_FALSE(DecodeBmp(good.data(), 20, p));
  auto huge = good;
  huge[18] = 0xFF;
  huge[19] = 0xFF;
  huge[20] = 0xFF;
  huge[21] = 0x7F;  // 2 billion pixels wide
  EXPECT_FALSE(DecodeBmp(huge.data(), huge.size(), p));
  auto odd = good;
  odd[28] = 7;  // 7 bits per pixel
  EXPECT_FALSE(DecodeBmp(odd.data(), odd.size(), p));
  const std::uint8_t jpeg_header[] = {0xFF, 0xD8, 0xFF, 0xE0, 0, 0};
  EXPECT_FALSE(DecodeJpeg(jpeg_header, sizeof jpeg_header, p));
}

TEST(SkinImages, JpegPatternsAreFoundThroughTheModel) {
  const std::vector<std::uint8_t> jpeg = MakeJpeg(16, 8);
  TsPixels p;
  ASSERT_TRUE(DecodeJpeg(jpeg.data(), jpeg.size(), p));
  EXPECT_EQ(p.Width, 16);
  EXPECT_NEAR(p.Row(3)[2], 200, 4);  // red
  const auto packed =
      PackSkinArchive({{"Options.dat", false,
                        [] {
                          const std::string t =
                              "[BASE]\r\nPATTERN=WOOD.JPG\r\n[CHILD]\r\nPARENTCLASS=BASE\r\n";
                          return std::vector<std::uint8_t>(t.begin(), t.end());
                        }()},
                       {"Wood.jpg", false, jpeg}});
  TsSkinArchive archive;
  archive.LoadFromMemory(packed.data(), packed.size(), nullptr);
  EXPECT_FALSE(archive.Images()[0].IsBitmap);
  TMemIniFile ini(std::string(archive.Options().begin(), archive.Options().end()));
  TsModelSource source;
  source.Options = &ini;
  source.Archive = &archive;
  TsSkinModel model;
  model.Build(source);
  ASSERT_EQ(model.Patterns().size(), 1u);
  EXPECT_EQ(model.Patterns()[0].Image->Width(), 16);
  EXPECT_EQ(model.PatternIndex(1, "CHILD", "PATTERN"), 0);
  EXPECT_EQ(model.PatternIndex(1, "CHILD", "HOTPATTERN"), -1);
  EXPECT_TRUE(model.Masks().empty());  // a ".JPG" value is no mask
}

TEST(SkinImages, HeadersClaimingMorePixelsThanTheDataHoldAreRefused) {
  // 16000 x 16000 at 24 bits with 48 bytes of pixels: refused before any
  // pixel memory is taken.
  auto bmp = MakeBmp(4, 4, 24, 0, {}, std::vector<std::uint8_t>(48, 7));
  for (std::size_t at : {18u, 22u}) {
    bmp[at] = 0x80;
    bmp[at + 1] = 0x3E;
  }
  TsPixels p;
  EXPECT_FALSE(DecodeBmp(bmp.data(), bmp.size(), p));
  EXPECT_TRUE(p.Bgr.empty());
  // Run-length data can cover more pixels than it has bytes, but not without bound.
  auto rle = MakeBmp(16000, 16000, 8, 1, {0}, {0, 1});
  EXPECT_FALSE(DecodeBmp(rle.data(), rle.size(), p));
}
