// A skin whose opaque sections are textured, written here as a skin folder
// (the internal skin has no such section): a panel and the form itself tile
// a small two-colour texture. They keep a cache that shows it, and a child
// that asks what lies behind it is given that cache, not one colour.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "SkinCtlTestUtil.h"
#include "skin/sImages.h"
#include "skin/sSkinProvider.h"

using namespace skinctltest;

namespace {

// The texture: 8 × 8 pixels, 2 × 2 squares of two colours.
constexpr TColor kInk = 0x2040C0;
constexpr TColor kPaper = 0xC08020;
constexpr TColor kSectionColor = 0x345678;
TColor Texel(int x, int y) {
  return ((x / 2 + y / 2) % 2) != 0 ? kInk : kPaper;
}

class Textures : public SkinFixture {
 protected:
  void SetUp() override {
    SkinFixture::SetUp();
    folder_ =
        std::filesystem::temp_directory_path() / ("sonarix-textures-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder_ / "Textured");
    TsPixels texture;
    texture.Width = texture.Height = 8;
    texture.Bgr.resize(8 * 8 * 3);
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) {
        std::uint8_t* p = texture.Row(y) + x * 3;
        p[0] = GetBValue(Texel(x, y));
        p[1] = GetGValue(Texel(x, y));
        p[2] = GetRValue(Texel(x, y));
      }
    }
    const std::vector<std::uint8_t> bmp = EncodeBmp24(texture);
    std::ofstream(folder_ / "Textured" / "Master.bmp", std::ios::binary)
        .write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
    // Texture and colour only: no gradient, no transparency, no border.
    const std::string textured = "COLOR=" + std::to_string(kSectionColor) +
                                 "\r\nHOTCOLOR=" + std::to_string(kSectionColor) +
                                 "\r\nIMAGEPERCENT=100\r\nHOTIMAGEPERCENT=100\r\n"
                                 "PATTERN=~0000~0000~0008~0008~00\r\n"
                                 "HOTPATTERN=~0000~0000~0008~0008~00\r\n";
    std::ofstream(folder_ / "Textured" / "Options.dat")
        << "[GLOBALINFO]\r\nMASTERBITMAP=MASTER.BMP\r\n"
        << "[FORM]\r\n"
        << textured << "[WOOD]\r\n"
        << textured;
    // The test sections (CLEAR among them) come along.
    manager->SetSkinDirectory(folder_.string());
    manager->SetSkinName("Textured");
    ASSERT_GE(manager->SectionIndex("WOOD"), 0);
    ASSERT_GE(manager->SectionIndex("FORM"), 0);
    ASSERT_GE(manager->SectionIndex("CLEAR"), 0);
  }
  void TearDown() override {
    SkinFixture::TearDown();
    std::filesystem::remove_all(folder_);
  }

  // Pixels of `shot` in `r` that differ from the texture laid from `origin`.
  static int Untextured(const QImage& shot, const TRect& r, TPoint origin) {
    int wrong = 0;
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x)
        wrong += PixelOf(shot, x, y) != Texel((x + origin.X) % 8, (y + origin.Y) % 8);
    return wrong;
  }
  // A see-through child of `parent`, asked what lies behind it.
  static TsPanel* ClearChild(TWinControl* parent, const TRect& r) {
    TsPanel* child = AddPanel(parent, parent, "CLEAR", r);
    child->SetBevelOuter(bvNone);
    return child;
  }

 private:
  std::filesystem::path folder_;
};

TEST_F(Textures, AnOpaqueTexturedPanelShowsItsTextureAndHandsItToItsChildren) {
  TsPanel* panel = AddPanel(form, form, "WOOD", Bounds(0, 0, 64, 48));
  panel->SetBevelOuter(bvNone);
  TsPanel* child = ClearChild(panel, Bounds(10, 12, 30, 20));
  form->Show();
  Pump(20);
  EXPECT_FALSE(panel->SkinData()->PlainColor()) << "a texture needs a cache";
  EXPECT_EQ(panel->SkinData()->CacheBmp().Width(), 64);
  EXPECT_EQ(Untextured(Grab(panel), Rect(0, 0, 64, 48), {0, 0}), 0);
  // The child is told of the parent's cache, and shows the texture where it
  // lies, continuing the parent's.
  const TsBackground behind = child->SkinData()->ParentBackground();
  ASSERT_TRUE(behind.IsBitmap()) << "told of one colour, " << std::hex << behind.color;
  EXPECT_EQ(Untextured(Grab(child), Rect(0, 0, 30, 20), {10, 12}), 0);
  // Its own fill colour is the section's (what a label over it blends with).
  EXPECT_EQ(SkinCommand(panel, TsCommand::QueryFillColor), kSectionColor);
}

TEST_F(Textures, ATexturedFormShowsItsTextureBehindItsSeeThroughChildren) {
  auto* provider = new TsSkinProvider(form);
  provider->SkinData().SetSkinSection("FORM");
  provider->RecomputeFrame();
  TsPanel* child = ClearChild(form, Bounds(20, 16, 40, 24));
  form->Show();
  Pump(20);
  const TRect frame = form->FrameMargins();
  const TPoint client{frame.Left, frame.Top};
  // The window is textured from its top-left pixel, frame and client alike.
  const QImage window = form->Handle()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(Untextured(window, Rect(0, 0, form->Width(), form->Height()), {0, 0}), 0);
  const TsBackground behind = child->SkinData()->ParentBackground();
  ASSERT_TRUE(behind.IsBitmap()) << "told of one colour, " << std::hex << behind.color;
  EXPECT_EQ(Untextured(Grab(child), Rect(0, 0, 40, 24), {client.X + 20, client.Y + 16}), 0)
      << "the child's texture continues the form's";
}

}  // namespace
