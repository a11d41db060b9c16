// The real main window under the internal skin, rendered offscreen: the
// panels' gradient inside their border, the buttons showing the panel
// through their frame with the section's caption colours, the edit and combo
// frames, the combo glyph's frames, the disabled look, and no plain face left.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QWidget>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "app/Unit1.h"
#include "skin/SkinPainter.h"
#include "skin/sBoundLabel.h"

namespace {

bool CanPing() {
  if (geteuid() == 0) return true;
  const int fd = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_ICMP);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

bool Pump(int ms, const std::function<bool()>& done = nullptr) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) {
    if (done && done()) return true;
    QApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return done ? done() : true;
}

TColor PixelOf(const QImage& image, int x, int y) {
  const QRgb c = image.pixel(x, y);
  return RGB(qRed(c), qGreen(c), qBlue(c));
}
TColor PixelOf(TBitmap& b, int x, int y) {
  return LoadPixel(PixelsOf(b).At(x, y));
}

// The largest channel difference.
int Distance(TColor a, TColor b) {
  return std::max({std::abs(GetRValue(a) - GetRValue(b)), std::abs(GetGValue(a) - GetGValue(b)),
                   std::abs(GetBValue(a) - GetBValue(b))});
}

// The thinnest horizontal run of `ink` pixels in any row of the first glyph
// at or right of `area`'s left edge (columns up to the first without ink).
int ThinnestStroke(const QImage& image, const TRect& area, TColor ink) {
  auto inked = [&](int x, int y) { return PixelOf(image, x, y) == ink; };
  auto column_inked = [&](int x) {
    for (int y = area.Top; y < area.Bottom; ++y)
      if (inked(x, y)) return true;
    return false;
  };
  int left = area.Left;
  while (left < area.Right && !column_inked(left)) ++left;
  int right = left;
  while (right < area.Right && column_inked(right)) ++right;
  int thinnest = 1000;
  for (int y = area.Top; y < area.Bottom; ++y) {
    int run = 0;
    for (int x = left; x <= right; ++x) {
      if (x < right && inked(x, y)) {
        ++run;
      } else if (run > 0) {
        thinnest = std::min(thinnest, run);
        run = 0;
      }
    }
  }
  return thinnest;
}

// The brightest colour in `area`: the light text on the skin's dark faces.
TColor Brightest(const QImage& image, const TRect& area) {
  TColor best = 0;
  int best_sum = -1;
  for (int y = area.Top; y < area.Bottom; ++y)
    for (int x = area.Left; x < area.Right; ++x) {
      const TColor c = PixelOf(image, x, y);
      const int sum = GetRValue(c) + GetGValue(c) + GetBValue(c);
      if (sum > best_sum) best = c, best_sum = sum;
    }
  return best;
}

constexpr TColor kBandTop = 0x656A68;
constexpr TColor kBandBottom = 0x585A5D;
constexpr TColor kButtonFont = 12237498;
constexpr TColor kButtonHotFont = 5289412;

class MainWindowSkin : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!CanPing()) GTEST_SKIP() << "the main window needs an ICMP handle; CI runs as root";
    Application->Initialize();
    form = new TForm1(Application);
    form->Show();
    Pump(100);
    model = &form->sSkinManager1->Model();
  }
  void TearDown() override { delete form; }
  QImage Grab(TWinControl* c) {
    return c->Handle()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  }
  TColor Master(int x, int y) { return LoadPixel(SourcePixelsOf(*model->MasterBitmap()).At(x, y)); }
  // The panel's look as the item painter makes it over what the form shows.
  void ExpectedPanel(TsPanel* p, TBitmap& b) {
    b.SetSize(p->Width(), p->Height());
    TsSectionRequest r;
    r.section = model->SectionIndex("PANEL");
    PaintSkinItem(b, Rect(0, 0, p->Width(), p->Height()), *model, r, false,
                  p->SkinData()->ParentBackground());
  }
  // Whether (x, y) of `p` lies on a child control or a caption.
  static bool Covered(TsPanel* p, int x, int y) {
    for (int i = 0; i < p->ControlCount(); ++i) {
      const TControl* c = p->Controls(i);
      if (c->Visible() && c->BoundsRect().Contains({x, y})) return true;
    }
    return false;
  }
  // The interior pixels of a button that are not the panel behind it.
  std::vector<TPoint> Ink(const QImage& shot, TsBitBtn* b) {
    std::vector<TPoint> ink;
    TBitmap& panel = form->sPanel2->SkinData()->CacheBmp();
    for (int y = 8; y < b->Height() - 8; ++y)
      for (int x = 8; x < b->Width() - 8; ++x)
        if (PixelOf(shot, b->Left() + x, b->Top() + y) !=
            PixelOf(panel, b->Left() + x, b->Top() + y))
          ink.push_back({x, y});
    return ink;
  }
  int Nearest(const QImage& shot, TsBitBtn* b, TColor color) {
    int best = 256;
    for (const TPoint& p : Ink(shot, b))
      best = std::min(best, Distance(PixelOf(shot, b->Left() + p.X, b->Top() + p.Y), color));
    return best;
  }

  TForm1* form = nullptr;
  const TsSkinModel* model = nullptr;
};

}  // namespace

TEST_F(MainWindowSkin, PanelsShowTheirGradientInsideTheirBorder) {
  for (TsPanel* p : {form->sPanel1, form->sPanel3, form->sPanel4, form->sPanel2}) {
    SCOPED_TRACE(p->Name());
    ASSERT_TRUE(p->SkinData()->Skinned());
    const QImage shot = Grab(p);
    TBitmap expected;
    ExpectedPanel(p, expected);
    int compared = 0;
    for (int y = 0; y < p->Height(); ++y) {
      for (int x = 0; x < p->Width(); ++x) {
        if (Covered(p, x, y)) continue;
        ASSERT_EQ(PixelOf(shot, x, y), PixelOf(expected, x, y)) << x << "," << y;
        ++compared;
      }
    }
    EXPECT_GT(compared, 0);
  }
  // In a free column of the top band: the solid band over the top 66 %
  // inside the 7-pixel border, then shading down toward 0x585A5D.
  TsPanel* top = form->sPanel1;
  const QImage shot = Grab(top);
  const int x = 97, solid_end = 73 * 66 / 100;
  for (int y = 28; y < 44; ++y) ASSERT_EQ(PixelOf(shot, x, y), kBandTop) << y;
  TColor previous = kBandTop;
  for (int y = solid_end; y < 73 - 7; ++y) {
    const TColor c = PixelOf(shot, x, y);
    ASSERT_LE(GetRValue(c), GetRValue(previous)) << y;
    ASSERT_GE(GetBValue(c), GetBValue(kBandBottom)) << y;
    previous = c;
  }
  EXPECT_LT(Distance(previous, kBandBottom), Distance(previous, kBandTop));
  // The border is the mask's, not the gradient.
  EXPECT_NE(PixelOf(shot, x, 0), kBandTop);
  EXPECT_NE(PixelOf(shot, x, 72), PixelOf(shot, x, 65));
}

TEST_F(MainWindowSkin, NoPixelOfThePlainFaceIsLeftOnThePanels) {
  const TColor face = ColorToRGB(clBtnFace);
  for (TsPanel* p : {form->sPanel1, form->sPanel3, form->sPanel4, form->sPanel2}) {
    const QImage shot = Grab(p);
    int plain = 0;
    for (int y = 0; y < shot.height(); ++y)
      for (int x = 0; x < shot.width(); ++x) plain += PixelOf(shot, x, y) == face;
    EXPECT_EQ(plain, 0) << p->Name();
  }
}

TEST_F(MainWindowSkin, ButtonsShowThePanelThroughTheirFrameWithTheSkinsCaptionColours) {
  TsBitBtn* exit = form->sBitBtn6;
  TBitmap& panel = form->sPanel2->SkinData()->CacheBmp();
  QImage shot = Grab(form->sPanel2);
  // Inside the 8-pixel frame only the caption is not the panel.
  const std::vector<TPoint> ink = Ink(shot, exit);
  ASSERT_FALSE(ink.empty());
  TRect box{100, 100, 0, 0};
  for (const TPoint& p : ink) {
    box.Left = std::min(box.Left, p.X);
    box.Top = std::min(box.Top, p.Y);
    box.Right = std::max(box.Right, p.X + 1);
    box.Bottom = std::max(box.Bottom, p.Y + 1);
  }
  TCanvas& measure = exit->SkinData()->CacheBmp().Canvas();
  measure.Font().Assign(exit->Font());
  EXPECT_LE(box.Width(), measure.TextWidth("Exit") + 2);
  EXPECT_LE(box.Height(), measure.TextHeight("Exit"));
  EXPECT_LE(std::abs((box.Left + box.Right) - exit->Width()), 3);
  // The frame: "BUTTON"'s first frame blended over the panel through its
  // mask (its left edge from the master bitmap: 8 wide, the edge piece tiled
  // in steps of 26 rows).
  for (int y = 8; y < exit->Height() - 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const int sy = 169 + 8 + (y - 8) % 26;
      const TColor src = Master(x, sy), mask = Master(x, sy + 42);
      const TColor dst = PixelOf(panel, exit->Left() + x, exit->Top() + y);
      const TColor expected = RGB(MaskBlend(GetRValue(src), GetRValue(dst), GetRValue(mask)),
                                  MaskBlend(GetGValue(src), GetGValue(dst), GetGValue(mask)),
                                  MaskBlend(GetBValue(src), GetBValue(dst), GetBValue(mask)));
      ASSERT_EQ(PixelOf(shot, exit->Left() + x, exit->Top() + y), expected) << x << "," << y;
    }
  }
  // The caption in the section's font colour; hot, in its hot colour.
  EXPECT_LE(Nearest(shot, exit, kButtonFont), 8);
  EXPECT_GT(Nearest(shot, exit, kButtonHotFont), 40);
  Application->SetMouseControl(exit);
  ASSERT_TRUE(Pump(3000, [&] { return !exit->SkinData()->Fading(); }));
  Pump(20);
  shot = Grab(form->sPanel2);
  EXPECT_LE(Nearest(shot, exit, kButtonHotFont), 8);
  EXPECT_GT(Nearest(shot, exit, kButtonFont), 40);
  // The hot frame is the mask's second frame.
  const int sy = 169 + 8;
  const TColor src = Master(45 + 3, sy), mask = Master(45 + 3, sy + 42);
  const TColor dst = PixelOf(panel, exit->Left() + 3, exit->Top() + 8);
  EXPECT_EQ(PixelOf(shot, exit->Left() + 3, exit->Top() + 8),
            RGB(MaskBlend(GetRValue(src), GetRValue(dst), GetRValue(mask)),
                MaskBlend(GetGValue(src), GetGValue(dst), GetGValue(mask)),
                MaskBlend(GetBValue(src), GetBValue(dst), GetBValue(mask))));
}

TEST_F(MainWindowSkin, DisabledButtonShowsThePanelBlendedOverItAtFourTenths) {
  TsBitBtn* ping = form->sBitBtn1;
  const QImage before = Grab(form->sPanel2);
  ping->SetEnabled(false);
  Pump(30);
  const QImage after = Grab(form->sPanel2);
  TBitmap& panel = form->sPanel2->SkinData()->CacheBmp();
  for (int y = 0; y < ping->Height(); ++y) {
    for (int x = 0; x < ping->Width(); ++x) {
      if (x >= 8 && x < ping->Width() - 8 && y >= 8 && y < ping->Height() - 8) continue;
      const int px = ping->Left() + x, py = ping->Top() + y;
      const TColor own = PixelOf(before, px, py), back = PixelOf(panel, px, py);
      ASSERT_EQ(PixelOf(after, px, py),
                RGB(TransparencyBlend(GetRValue(back), GetRValue(own), 102),
                    TransparencyBlend(GetGValue(back), GetGValue(own), 102),
                    TransparencyBlend(GetBValue(back), GetBValue(own), 102)))
          << x << "," << y;
    }
  }
}

TEST_F(MainWindowSkin, EditAndComboFramesComeFromTheirSections) {
  const QImage shot = Grab(form->sPanel1);
  TBitmap& panel = form->sPanel1->SkinData()->CacheBmp();
  for (TWinControl* c :
       std::initializer_list<TWinControl*>{form->sEdit1, form->sComboBox1, form->sComboBox2,
                                           form->sComboBox3, form->sComboBox4, form->sComboBox5}) {
    SCOPED_TRACE(c->Name());
    const bool edit = c == form->sEdit1;
    // The item painter's look for the section over the panel.
    TBitmap expected(c->Width(), c->Height());
    TsSectionRequest r;
    r.section = model->SectionIndex(edit ? "EDIT" : "COMBOBOX");
    r.state = 1;  // "EDIT" and "COMBOBOX" look alike hot and normal
    PaintSkinItem(expected, Rect(0, 0, c->Width(), c->Height()), *model, r, true,
                  TsBackground::FromBitmap(PixelsOf(panel), c->Left(), c->Top()));
    for (int y = 0; y < c->Height(); ++y) {
      for (int x = 0; x < c->Width(); ++x) {
        if (x >= 2 && y >= 2 && x < c->Width() - 2 && y < c->Height() - 2) continue;
        ASSERT_EQ(PixelOf(shot, c->Left() + x, c->Top() + y), PixelOf(expected, x, y))
            << x << "," << y;
      }
    }
  }
  // The field is the inputs' colour (between the text and the button).
  TsComboBox* size = form->sComboBox1;
  EXPECT_EQ(PixelOf(shot, size->Left() + size->ButtonRect().Left - 3, size->Top() + 10), 0x494E49);
}

TEST_F(MainWindowSkin, ComboGlyphFrameFollowsItsState) {
  TsComboBox* size = form->sComboBox1;
  auto glyph_frame = [&]() {
    Pump(20);
    const QImage shot = Grab(size);
    const TRect b = size->ButtonRect();
    const int gx = b.Left + (b.Width() - 15) / 2, gy = (size->Height() - 18) / 2;
    int found = -1;
    for (int frame = 0; frame < 3 && found < 0; ++frame) {
      bool all = true;
      for (int j = 0; j < 18 && all; ++j)
        for (int i = 0; i < 15 && all; ++i) {
          const TColor m = Master(frame * 15 + i, 151 + j);
          if (m != 0xFF00FF && PixelOf(shot, gx + i, gy + j) != m) all = false;
        }
      if (all) found = frame;
    }
    return found;
  };
  EXPECT_EQ(glyph_frame(), 0);
  Application->SetMouseControl(size);
  EXPECT_EQ(glyph_frame(), 1);
  size->SetDroppedDown(true);
  EXPECT_EQ(glyph_frame(), 2);
  size->SetDroppedDown(false);
  Application->SetMouseControl(form->sPanel1);
  EXPECT_EQ(glyph_frame(), 0);
}

TEST_F(MainWindowSkin, CaptionIsBoldWhereTheInputCaptionsAreRegular) {
  // The caption bar's text: its "S" has two-pixel stems.
  const QImage window = Grab(form);
  const TRect band{0, 0, 150, form->FrameMargins().Top};
  const int caption = ThinnestStroke(window, band, Brightest(window, band));
  EXPECT_GE(caption, 2);
  // The "S" of "Size:", in the same face without bold, has one-pixel stems.
  TsEditLabel* size = form->sComboBox1->BoundLabel()->Label();
  ASSERT_NE(size, nullptr);
  const QImage panel = Grab(form->sPanel1);
  const TRect label = size->BoundsRect();
  EXPECT_EQ(ThinnestStroke(panel, label, Brightest(panel, label)), 1);
}

TEST_F(MainWindowSkin, LogLinesAreThirteenPixelsApartFromTheTopOfTheText) {
  TsMemo* log = form->sMemo1;
  for (int i = 0; i < 6; ++i) log->Lines().Add("HHHH");
  Pump(50);
  const QImage shot = Grab(log);
  // Where a canvas puts the top of "H" in a cell of the log's font.
  TBitmap cell(40, 20);
  cell.Canvas().Brush().SetColor(clBlack);
  cell.Canvas().FillRect(Rect(0, 0, 40, 20));
  cell.Canvas().Font().Assign(log->Font());
  cell.Canvas().Font().SetColor(clWhite);
  cell.Canvas().Brush().SetStyle(TBrushStyle::bsClear);
  cell.Canvas().TextOut(0, 0, "H");
  int cap_top = -1;
  for (int y = 0; y < 20 && cap_top < 0; ++y)
    for (int x = 0; x < 40; ++x)
      if (cell.Canvas().Pixel(x, y) != 0) {
        cap_top = y;
        break;
      }
  ASSERT_GE(cap_top, 0);
  EXPECT_EQ(log->Font().Metrics().Height, 13);
  // The rows where each line's ink starts, in the log's text colour.
  const TColor text = ColorToRGB(log->Font().Color());
  std::vector<int> tops;
  bool previous = false;
  for (int y = 0; y < shot.height(); ++y) {
    bool any = false;
    for (int x = 0; x < 60 && !any; ++x) any = PixelOf(shot, x, y) == text;
    if (any && !previous) tops.push_back(y);
    previous = any;
  }
  ASSERT_EQ(tops.size(), 6U);
  // The first line's cell begins inside the 2-pixel frame and the text's
  // 1-pixel margin; each next one 13 pixels lower.
  EXPECT_EQ(tops[0], 2 + 1 + cap_top);
  for (std::size_t i = 1; i < tops.size(); ++i) EXPECT_EQ(tops[i] - tops[i - 1], 13) << i;
}

TEST_F(MainWindowSkin, EveryInputCaptionFitsInsideItsPanel) {
  TsPanel* panel = form->sPanel1;
  const QImage shot = Grab(panel);
  TBitmap expected;
  ExpectedPanel(panel, expected);
  const int w = panel->Width(), h = panel->Height();
  for (TWinControl* c :
       std::initializer_list<TWinControl*>{form->sEdit1, form->sComboBox1, form->sComboBox2,
                                           form->sComboBox3, form->sComboBox4, form->sComboBox5}) {
    TsBoundLabel* bound =
        c == form->sEdit1 ? form->sEdit1->BoundLabel() : static_cast<TsComboBox*>(c)->BoundLabel();
    TsEditLabel* label = bound->Label();
    ASSERT_NE(label, nullptr);
    SCOPED_TRACE(label->Caption());
    // As wide as its text in its font, and clear of the panel's border line.
    TCanvas& measure = expected.Canvas();
    measure.Font().Assign(label->Font());
    EXPECT_EQ(label->Width(), measure.TextWidth(label->Caption()));
    EXPECT_GE(label->Left(), 1);
    EXPECT_LE(label->Left() + label->Width(), w - 1);
    EXPECT_GE(label->Top(), 1);
  }
  // The border line is the panel's own, pixel for pixel, captions or not.
  for (int x = 0; x < w; ++x) {
    ASSERT_EQ(PixelOf(shot, x, 0), PixelOf(expected, x, 0)) << x;
    ASSERT_EQ(PixelOf(shot, x, h - 1), PixelOf(expected, x, h - 1)) << x;
  }
  for (int y = 0; y < h; ++y) {
    ASSERT_EQ(PixelOf(shot, 0, y), PixelOf(expected, 0, y)) << y;
    ASSERT_EQ(PixelOf(shot, w - 1, y), PixelOf(expected, w - 1, y)) << y;
  }
  // "Target Address:" ends 4 pixels left of its box.
  TsEditLabel* host = form->sEdit1->BoundLabel()->Label();
  EXPECT_EQ(host->Left() + host->Width(), form->sEdit1->Left() - 4);
}
