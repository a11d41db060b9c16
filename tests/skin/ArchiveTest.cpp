// The packed skin archive: the internal skin's entries, names, bitmap flags,
// and how damaged or lying archives are refused.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "skin/SteamSkin.h"
#include "skin/sSkinArchive.h"
#include "toolkit/SysUtils.h"

namespace {
std::vector<std::uint8_t> Bytes(const std::string& s) {
  return {s.begin(), s.end()};
}

struct TWarnings {
  std::vector<std::string> texts;
  TsArchiveWarning Handler() {
    return [this](const std::string& t) { texts.push_back(t); };
  }
};

void Put32(std::vector<std::uint8_t>& v, std::size_t at, std::int32_t value) {
  for (int i = 0; i < 4; ++i)
    v[at + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * i));
}
}  // namespace

TEST(SkinArchive, InternalSkinYieldsOptionsAndBothBitmapsInOrder) {
  TsSkinArchive a;
  TWarnings w;
  a.LoadFromMemory(kSteamSkinData, kSteamSkinDataSize, w.Handler());
  EXPECT_TRUE(w.texts.empty());
  ASSERT_TRUE(a.HasOptions());
  const std::string options(a.Options().begin(), a.Options().end());
  EXPECT_EQ(options.rfind("[GLOBALINFO]\r\n", 0), 0u);
  ASSERT_EQ(a.Images().size(), 2u);
  EXPECT_EQ(a.ImageCount(), 2);
  EXPECT_EQ(a.Images()[0].Name, "ButtonHuge.bmp");
  EXPECT_EQ(a.Images()[1].Name, "Master.bmp");
  // Unpacked sizes of 8-bit palettised bitmaps of 288 x 192 and 189 x 400.
  EXPECT_EQ(a.Images()[0].Data.size(), 56374u);
  EXPECT_EQ(a.Images()[1].Data.size(), 77878u);
  EXPECT_TRUE(a.Images()[0].IsBitmap);
  EXPECT_TRUE(a.Images()[1].IsBitmap);
  EXPECT_EQ(a.FindImage("MASTER.BMP"), &a.Images()[1]);
  EXPECT_EQ(a.FindImage("Master.bmp"), nullptr);  // callers pass upper-cased names
}

TEST(SkinArchive, NamesAndFlags) {
  const std::vector<std::uint8_t> packed = PackSkinArchive({
      {"one.Bmp", false, Bytes("first")},
      {"options.DAT", false, Bytes("[A]\r\nX=1\r\n")},
      {"PIC.JPG", false, Bytes("jpeg bytes")},
      {"noext", false, {}},
  });
  TsSkinArchive a;
  a.LoadFromMemory(packed.data(), packed.size(), nullptr);
  ASSERT_TRUE(a.HasOptions());
  EXPECT_EQ(std::string(a.Options().begin(), a.Options().end()), "[A]\r\nX=1\r\n");
  ASSERT_EQ(a.Images().size(), 3u);
  EXPECT_EQ(a.Images()[0].Name, "one.Bmp");
  EXPECT_TRUE(a.Images()[0].IsBitmap);
  EXPECT_EQ(a.Images()[1].Name, "PIC.JPG");
  EXPECT_FALSE(a.Images()[1].IsBitmap);
  EXPECT_EQ(std::string(a.Images()[1].Data.begin(), a.Images()[1].Data.end()), "jpeg bytes");
  EXPECT_TRUE(a.Images()[2].Data.empty());
  EXPECT_EQ(a.ImageCount(), 3);
}

TEST(SkinArchive, WrongMagicWarnsOnceAndLoadsNothing) {
  std::vector<std::uint8_t> packed = PackSkinArchive({{"Options.dat", false, Bytes("[A]")}});
  packed[3] = 'F';
  TsSkinArchive a;
  a.LoadFromMemory(kSteamSkinData, kSteamSkinDataSize, nullptr);
  TWarnings w;
  a.LoadFromMemory(packed.data(), packed.size(), w.Handler());
  ASSERT_EQ(w.texts.size(), 1u);
  EXPECT_EQ(w.texts[0], "Loaded data is not packed LumvexSkin file");
  EXPECT_FALSE(a.HasOptions());
  EXPECT_TRUE(a.Images().empty());
  a.LoadFromMemory("LS", 2, w.Handler());  // shorter than a magic
  EXPECT_EQ(w.texts.size(), 2u);
}

TEST(SkinArchive, DamagedStreamGivesZlibsMessage) {
  std::vector<std::uint8_t> packed = PackSkinArchive({{"Options.dat", false, Bytes("[A]\r\nX=1")}});
  // The zlib header follows magic, count, name length, name and size.
  const std::size_t header = 4 + 4 + 4 + 11 + 4;
  packed[header] = 0x00;
  TsSkinArchive a;
  try {
    a.LoadFromMemory(packed.data(), packed.size(), nullptr);
    FAIL() << "no error";
  } catch (const EDecompressionError& e) {
    EXPECT_STREQ(e.what(), "incorrect header check");
  }
  EXPECT_FALSE(a.HasOptions());
}

TEST(SkinArchive, TruncatedArchivesGiveStreamReadError) {
  const std::vector<std::uint8_t> packed(kSteamSkinData, kSteamSkinData + kSteamSkinDataSize);
  TsSkinArchive a;
  // Cut inside the count, a name, a size and each zlib stream.
  for (std::size_t cut : {6ul, 14ul, 24ul, 40ul, packed.size() / 2, packed.size() - 1}) {
    EXPECT_THROW(a.LoadFromMemory(packed.data(), cut, nullptr), EReadError) << cut;
    EXPECT_TRUE(a.Images().empty());
  }
}

TEST(SkinArchive, DeclaredSizesThatLieAreRefused) {
  const std::vector<std::uint8_t> good = PackSkinArchive({{"Options.dat", false, Bytes("hello")}});
  const std::size_t size_at = 4 + 4 + 4 + 11;
  TsSkinArchive a;
  for (std::int32_t lie : {4, 6, -1, 0x7FFFFFFF}) {
    std::vector<std::uint8_t> bad = good;
    Put32(bad, size_at, lie);
    EXPECT_THROW(a.LoadFromMemory(bad.data(), bad.size(), nullptr), EReadError) << lie;
  }
  for (std::int32_t count : {-1, 2, 1000000, 0x7FFFFFFF}) {
    std::vector<std::uint8_t> bad = good;
    Put32(bad, 4, count);
    EXPECT_THROW(a.LoadFromMemory(bad.data(), bad.size(), nullptr), EReadError) << count;
  }
  std::vector<std::uint8_t> bad = good;
  Put32(bad, 8, 0x40000000);  // name length beyond the data
  EXPECT_THROW(a.LoadFromMemory(bad.data(), bad.size(), nullptr), EReadError);
}

TEST(SkinArchive, EntryAfterAStreamIsFoundWithoutAPackedSize) {
  std::vector<std::uint8_t> big(200000);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>((i * 7919) >> 5);
  const std::vector<std::uint8_t> packed = PackSkinArchive(
      {{"A.BMP", false, big}, {"Options.dat", false, Bytes("x")}, {"B.BMP", false, Bytes("tail")}});
  TsSkinArchive a;
  a.LoadFromMemory(packed.data(), packed.size(), nullptr);
  ASSERT_EQ(a.Images().size(), 2u);
  EXPECT_EQ(a.Images()[0].Data, big);
  EXPECT_EQ(std::string(a.Images()[1].Data.begin(), a.Images()[1].Data.end()), "tail");
  EXPECT_EQ(std::string(a.Options().begin(), a.Options().end()), "x");
}
