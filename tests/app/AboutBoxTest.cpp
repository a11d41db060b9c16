// The about box under the offscreen platform: its stored layout, shown
// modally and centred, closed by Enter and OK but not Escape, the link's
// hover colours and hand cursor, clicks reaching the shell's open operation
// (a stand-in in the module table), the logo cut to its frame, and the
// title over its blurred shadow, pixel by pixel.
#include <gtest/gtest.h>

#include <QCursor>
#include <QFontInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/AboutBox.h"
#include "platform/Modules.h"
#include "platform/Shell.h"
#include "skin/SteamSkin.h"
#include "skin/sImages.h"
#include "skin/sSkinHook.h"
#include "skin/sSkinManager.h"

extern const std::uint8_t kAboutLogoBmp[];
extern const std::size_t kAboutLogoBmpSize;

namespace {

// What the shell's stand-in was asked.
struct TShellCall {
  platform::HWND owner;
  std::string operation;
  std::string file;
  bool parameters;
  bool directory;
  int show;
};
std::vector<TShellCall> g_calls;
platform::HINSTANCE g_result = platform::kShellExecuteOk;

platform::HINSTANCE StandIn(platform::HWND owner, const char* operation, const char* file,
                            const char* parameters, const char* directory, int show) {
  g_calls.push_back({owner, operation != nullptr ? operation : "", file != nullptr ? file : "",
                     parameters != nullptr, directory != nullptr, show});
  return g_result;
}

TColor PixelOf(const QImage& image, int x, int y) {
  const QRgb c = image.pixel(x, y);
  return RGB(qRed(c), qGreen(c), qBlue(c));
}

void Pump(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

class AboutBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Application->Initialize();
    g_calls.clear();
    g_result = platform::kShellExecuteOk;
    platform::InstallModule("shell32.dll",
                            {{"ShellExecuteA", reinterpret_cast<platform::FARPROC>(&StandIn)}});
    manager_ = std::make_unique<TsSkinManager>(nullptr);
    TsStoredSkin& steam = manager_->InternalSkins().Add();
    steam.SetName(kSteamSkinName);
    steam.SetData(kSteamSkinData, kSteamSkinDataSize);
    manager_->SetSkinName(kSteamSkinName);
    Application->CreateForm(AboutBox);
    box_ = AboutBox;
  }
  void TearDown() override {
    delete box_;
    manager_.reset();
    platform::RestoreModules();
  }
  // Runs `step` once the modal loop is running.
  static void InModalLoop(std::function<void()> step, int delay_ms = 0) {
    QTimer::singleShot(delay_ms, Application->Handle(), std::move(step));
  }
  // Moves the pointer over Panel1 at `p` (the panel's client coordinates).
  void MoveOverPanel(QPoint p) { QTest::mouseMove(box_->Panel1->Handle(), p); }

  std::unique_ptr<TsSkinManager> manager_;
  TAboutBox* box_ = nullptr;
};

}  // namespace

TEST_F(AboutBoxTest, LaidOutAsStored) {
  EXPECT_EQ(box_->Caption(), "About Sonarix 1.0");
  EXPECT_EQ(box_->ClientWidth(), 298);
  EXPECT_EQ(box_->ClientHeight(), 274);
  EXPECT_EQ(box_->BorderStyle(), TFormBorderStyle::bsDialog);
  EXPECT_EQ(box_->BorderIcons(), biSystemMenu);
  EXPECT_FALSE(box_->Visible());
  EXPECT_FALSE(box_->ShowHint());
  EXPECT_EQ(box_->Font().Name(), "MS Sans Serif");
  EXPECT_EQ(box_->Font().Height(), -11);

  TPanel* p = box_->Panel1;
  EXPECT_EQ(p->BoundsRect(), Bounds(9, 8, 281, 218));
  EXPECT_EQ(p->BevelInner(), bvRaised);
  EXPECT_EQ(p->BevelOuter(), bvLowered);
  EXPECT_EQ(p->BevelWidth(), 2);
  EXPECT_TRUE(p->ParentColor());

  struct Line {
    TCustomLabel* label;
    int top, height;
    std::string text;
  };
  const std::vector<Line> lines{
      {box_->sLabelFX1, 13, 32, "Sonarix 1.0"},
      {box_->Copyright, 45, 13, "Copyright (c) 2026 Brivane Software"},
      {box_->sLabel1, 62, 13, "ICMP Ping Utility"},
      {box_->Comments, 81, 13, "www.brivane.example.org"},
  };
  for (const Line& l : lines) {
    EXPECT_EQ(l.label->Parent(), p) << l.text;
    EXPECT_EQ(l.label->BoundsRect(), Bounds(3, l.top, 273, l.height)) << l.text;
    EXPECT_EQ(l.label->Caption(), l.text);
    EXPECT_EQ(l.label->Alignment(), taCenter) << l.text;
    EXPECT_FALSE(l.label->AutoSize()) << l.text;
  }
  EXPECT_EQ(box_->sLabelFX1->Font().Name(), "MS Sans Serif");
  EXPECT_EQ(box_->sLabelFX1->Font().Height(), -19);
  EXPECT_EQ(box_->sLabelFX1->Font().Style(), fsBold);
  EXPECT_EQ(box_->sLabel1->Font().Height(), -11);
  EXPECT_TRUE(box_->Comments->WordWrap());
  EXPECT_EQ(box_->Comments->Hint(), "https://www.brivane.example.org");
  EXPECT_EQ(box_->Comments->Font().Color(), clWindowText);

  EXPECT_EQ(box_->Image1->Parent(), p);
  EXPECT_EQ(box_->Image1->BoundsRect(), Bounds(71, 104, 145, 105));
  EXPECT_EQ(box_->Image1->Picture().Width(), 147);
  EXPECT_EQ(box_->Image1->Picture().Height(), 110);
  EXPECT_FALSE(box_->Image1->Stretch());
  EXPECT_EQ(box_->Image1->Hint(), box_->Comments->Hint());

  TBitBtn* ok = box_->sBitBtn1;
  EXPECT_EQ(ok->Parent(), box_);
  EXPECT_EQ(ok->BoundsRect(), Bounds(117, 232, 75, 33));
  EXPECT_EQ(ok->Kind(), bkOK);
  EXPECT_EQ(ok->Caption(), "OK");
  EXPECT_TRUE(ok->Default());
  EXPECT_EQ(ok->ModalResult(), mrOk);
  EXPECT_EQ(p->TabOrder(), 0);
  EXPECT_EQ(ok->TabOrder(), 1);
}

TEST_F(AboutBoxTest, ShownModallyCentredClosedByEnterAndOkNotEscape) {
  bool checked = false;
  InModalLoop([&] {
    EXPECT_TRUE(box_->Visible());
    EXPECT_EQ(box_->ClientWidth(), 298);
    EXPECT_EQ(box_->ClientHeight(), 274);
    const QRect frame = box_->Handle()->frameGeometry();
    EXPECT_LE(std::abs(frame.center().x() - Screen->Width() / 2), 1);
    EXPECT_LE(std::abs(frame.center().y() - Screen->Height() / 2), 1);
    // Escape: no cancel button, the box stays.
    QTest::keyClick(box_->sBitBtn1->Handle(), Qt::Key_Escape);
    Pump(20);
    EXPECT_TRUE(box_->Visible());
    EXPECT_EQ(box_->ModalResult(), mrNone);
    checked = true;
    QTest::keyClick(box_->sBitBtn1->Handle(), Qt::Key_Return);
  });
  EXPECT_EQ(box_->ShowModal(), mrOk);
  EXPECT_TRUE(checked);
  EXPECT_FALSE(box_->Visible());
  // Reused: OK clicked; then Enter with the focus on the window itself.
  InModalLoop([&] {
    QTest::mouseClick(box_->sBitBtn1->Handle(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  });
  EXPECT_EQ(box_->ShowModal(), mrOk);
  box_->SetLeft(0);  // moved away: centred again when shown
  InModalLoop([&] {
    const QRect frame = box_->Handle()->frameGeometry();
    EXPECT_LE(std::abs(frame.center().x() - Screen->Width() / 2), 1);
    box_->Handle()->setFocus();
    QTest::keyClick(box_->Handle(), Qt::Key_Return);
  });
  EXPECT_EQ(box_->ShowModal(), mrOk);
}

TEST_F(AboutBoxTest, AdoptedIntoTheSkinsFrameWhenItAppears) {
  // Without a provider of its own, it is adopted as it is shown.
  EXPECT_EQ(box_->Perform(SM_LUMVEXCMD, MakeSkinCommand(TsCommand::QueryProvider), 0), 0);
  InModalLoop([&] {
    const bool adopted =
        std::any_of(AdoptedWindows().begin(), AdoptedWindows().end(),
                    [&](const TsAdoptedWindow& w) { return w.Window == box_->Handle(); });
    EXPECT_TRUE(adopted);
    EXPECT_NE(box_->Perform(SM_LUMVEXCMD, MakeSkinCommand(TsCommand::QueryProvider), 0), 0);
    // The skin's dialog frame around the same client, still centred.
    EXPECT_TRUE(box_->OwnFrame());
    EXPECT_EQ(box_->ClientWidth(), 298);
    EXPECT_EQ(box_->ClientHeight(), 274);
    const TRect m = box_->FrameMargins();
    EXPECT_GT(m.Top, m.Bottom) << "a caption bar";
    EXPECT_EQ(box_->Width(), 298 + m.Left + m.Right);
    EXPECT_EQ(box_->Height(), 274 + m.Top + m.Bottom);
    const QRect frame = box_->Handle()->frameGeometry();
    EXPECT_LE(std::abs(frame.center().x() - Screen->Width() / 2), 1);
    EXPECT_LE(std::abs(frame.center().y() - Screen->Height() / 2), 1);
    // The title bar shows the caption: no minimise or maximise buttons.
    EXPECT_EQ(box_->BorderIcons(), biSystemMenu);
    box_->sBitBtn1->Click();
  });
  EXPECT_EQ(box_->ShowModal(), mrOk);
}

TEST_F(AboutBoxTest, LinkTurnsBlueWithTheHandOnTheFirstMoveAndBlackOnLeaving) {
  box_->Show();
  Pump(20);
  QWidget* panel = box_->Panel1->Handle();
  TLabel* link = box_->Comments;
  MoveOverPanel(QPoint(140, 30));
  // It starts in the window's font colour (the skin's, once adopted).
  EXPECT_EQ(link->Font().Color(), box_->Font().Color());
  EXPECT_NE(link->Font().Color(), 0x00000000);
  // The first move over it.
  MoveOverPanel(QPoint(140, 86));
  EXPECT_EQ(link->Font().Color(), 0x00FF0000);
  ASSERT_TRUE(panel->testAttribute(Qt::WA_SetCursor));
  EXPECT_EQ(panel->cursor().shape(), Qt::PointingHandCursor);
  // Leaving: black, not the colour it started with; the default cursor.
  MoveOverPanel(QPoint(140, 30));
  EXPECT_EQ(link->Font().Color(), 0x00000000);
  EXPECT_FALSE(panel->testAttribute(Qt::WA_SetCursor));
  // The picture only changes the cursor.
  MoveOverPanel(QPoint(100, 150));
  EXPECT_EQ(panel->cursor().shape(), Qt::PointingHandCursor);
  MoveOverPanel(QPoint(20, 150));
  EXPECT_FALSE(panel->testAttribute(Qt::WA_SetCursor));
  EXPECT_EQ(link->Font().Color(), 0x00000000);
  // The text on the screen is black now.
  link->Repaint();
  const QImage shot = panel->grab().toImage();
  int black = 0;
  for (int y = 81; y < 94; ++y)
    for (int x = 3; x < 276; ++x) black += PixelOf(shot, x, y) == 0;
  EXPECT_GT(black, 10);
}

TEST_F(AboutBoxTest, ClicksHandTheHintToTheShellAndAFailureShowsNothing) {
  box_->Show();
  Pump(20);
  QWidget* panel = box_->Panel1->Handle();
  QTest::mouseClick(panel, Qt::LeftButton, Qt::NoModifier, QPoint(140, 86));
  ASSERT_EQ(g_calls.size(), 1u);
  EXPECT_EQ(g_calls[0].owner, reinterpret_cast<platform::HWND>(Application->Handle()));
  EXPECT_EQ(g_calls[0].operation, "Open");
  EXPECT_EQ(g_calls[0].file, "https://www.brivane.example.org");
  EXPECT_FALSE(g_calls[0].parameters);
  EXPECT_FALSE(g_calls[0].directory);
  EXPECT_EQ(g_calls[0].show, 1);
  QTest::mouseClick(panel, Qt::LeftButton, Qt::NoModifier, QPoint(100, 150));
  ASSERT_EQ(g_calls.size(), 2u);
  EXPECT_EQ(g_calls[1].file, box_->Image1->Hint());
  // Failures: the opener refuses, or there is no shell at all. Nothing
  // appears and the box carries on.
  int windows = 0;
  const int hook = Application->HookWindows([&](TWindowHookKind kind, QWidget*) {
    if (kind == TWindowHookKind::whCreate) ++windows;
  });
  g_result = platform::SE_ERR_NOASSOC;
  QTest::mouseClick(panel, Qt::LeftButton, Qt::NoModifier, QPoint(140, 86));
  EXPECT_EQ(g_calls.size(), 3u);
  platform::WithdrawModule("shell32.dll");
  QTest::mouseClick(panel, Qt::LeftButton, Qt::NoModifier, QPoint(140, 86));
  EXPECT_EQ(g_calls.size(), 3u);
  Pump(50);
  Application->UnhookWindows(hook);
  EXPECT_EQ(windows, 0);
  EXPECT_TRUE(box_->Visible());
  EXPECT_EQ(platform::LoadedModuleCount(), 0);
}

TEST_F(AboutBoxTest, LogoIsDrawnUnscaledAndCutToItsFrame) {
  box_->Show();
  Pump(20);
  const QImage shot = box_->Panel1->Handle()->grab().toImage();
  TsPixels logo;
  ASSERT_TRUE(DecodeBmp(kAboutLogoBmp, kAboutLogoBmpSize, logo));
  ASSERT_EQ(logo.Width, 147);
  ASSERT_EQ(logo.Height, 110);
  for (int y = 0; y < 105; ++y) {
    for (int x = 0; x < 145; ++x) {
      const std::uint8_t* p = logo.Row(y) + 3 * x;
      ASSERT_EQ(PixelOf(shot, 71 + x, 104 + y), RGB(p[2], p[1], p[0])) << x << "," << y;
    }
  }
  // Beyond the frame: the panel, not the last 2 columns and 5 rows.
  const TColor face = ColorToRGB(box_->Panel1->Color());
  for (int y = 104; y < 209; ++y) EXPECT_EQ(PixelOf(shot, 71 + 145, y), face) << y;
  for (int x = 71; x < 216; ++x) EXPECT_EQ(PixelOf(shot, x, 104 + 105), face) << x;
}

TEST_F(AboutBoxTest, TitleIsDrawnOverItsBlurredShadowInTheSkinsColour) {
  box_->Show();
  Pump(20);
  TsLabelFX* title = box_->sLabelFX1;
  const QImage shot = box_->Panel1->Handle()->grab().toImage();
  const int w = title->Width(), h = title->Height();
  // The text rectangle: inside the shadow's room (near -3, far 5).
  const TRect text_rect{3, 3, w - 5, h - 5};
  const unsigned flags = DT_EXPANDTABS | DT_CENTER;
  // The shadow's mask: white text one pixel right and down.
  TBitmap mask(w, h);
  mask.Canvas().Brush().SetColor(clBlack);
  mask.Canvas().FillRect(Rect(0, 0, w, h));
  mask.Canvas().Brush().SetStyle(TBrushStyle::bsClear);
  mask.Canvas().Font().Assign(title->Font());
  mask.Canvas().Font().SetColor(clWhite);
  TRect shadow_rect = text_rect.Offset(1, 1);
  mask.Canvas().DrawText("Sonarix 1.0", shadow_rect, flags);
  // Four passes: lit cells to 255, then each inner cell, in reading order,
  // the mean of its four neighbours as they are at that moment.
  std::vector<std::vector<int>> a(h + 2, std::vector<int>(w + 2, 0));
  for (int pass = 0; pass < 4; ++pass) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (mask.Canvas().Pixel(x, y) != 0) a[y + 1][x + 1] = 255;
    for (int y = 1; y <= h; ++y)
      for (int x = 1; x <= w; ++x)
        a[y][x] = (a[y - 1][x] + a[y + 1][x] + a[y][x - 1] + a[y][x + 1]) / 4;
  }
  // Over the panel's face, in black: face x (255 - a) / 256; then the text
  // in the skin's first contour colour.
  const TColor face = ColorToRGB(box_->Panel1->Color());
  TBitmap expected(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int v = a[y + 1][x + 1];
      auto ch = [v](int c) { return c * (255 - v) / 256; };
      expected.Canvas().SetPixel(
          x, y, RGB(ch(GetRValue(face)), ch(GetGValue(face)), ch(GetBValue(face))));
    }
  }
  expected.Canvas().Brush().SetStyle(TBrushStyle::bsClear);
  expected.Canvas().Font().Assign(title->Font());
  expected.Canvas().Font().SetColor(0x0056C2CE);
  TRect r = text_rect;
  expected.Canvas().DrawText("Sonarix 1.0", r, flags);
  // Only the part the shadow or the text changed is laid on the panel:
  // around it the panel (and its bevel) shows as it is.
  const auto untouched = [](int c) { return c * 255 / 256; };
  const TColor flat =
      RGB(untouched(GetRValue(face)), untouched(GetGValue(face)), untouched(GetBValue(face)));
  TRect changed{w, h, 0, 0};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (expected.Canvas().Pixel(x, y) != flat)
        changed = {std::min(changed.Left, x), std::min(changed.Top, y),
                   std::max(changed.Right, x + 1), std::max(changed.Bottom, y + 1)};
  ASSERT_LT(changed.Left, changed.Right);
  title->SetVisible(false);
  Pump(20);
  const QImage under = box_->Panel1->Handle()->grab().toImage();
  title->SetVisible(true);
  int shaded = 0, in_colour = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const TColor want = changed.Contains({x, y})
                              ? expected.Canvas().Pixel(x, y)
                              : PixelOf(under, title->Left() + x, title->Top() + y);
      ASSERT_EQ(PixelOf(shot, title->Left() + x, title->Top() + y), want) << x << "," << y;
      shaded += a[y + 1][x + 1] > 0;
      in_colour += want == 0x0056C2CE;
    }
  }
  EXPECT_GT(shaded, 500);
  EXPECT_GT(in_colour, 30);
}

TEST_F(AboutBoxTest, AtAScaleOfTwoTheLinesAreDrawnAtTheScaledSize) {
  const char* kName = "AboutBoxTest.AtAScaleOfTwoTheLinesAreDrawnAtTheScaledSize";
  if (qGuiApp->devicePixelRatio() != 2.0) {
    // The scale is the application's from its start: again, in a process
    // started at a scale of 2.
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_SCALE_FACTOR", "2");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QString("--gtest_filter=") + kName});
    ASSERT_TRUE(child.waitForFinished(60000));
    EXPECT_EQ(child.exitCode(), 0) << child.readAll().toStdString();
    return;
  }
  box_->Show();
  Pump(20);
  const QImage shot = box_->Panel1->Handle()->grab().toImage();
  ASSERT_EQ(shot.width(), 2 * box_->Panel1->Width());
  if (const char* dir = std::getenv("SONARIX_SHOT_DIR"))
    box_->Handle()->grab().save(QString::fromLocal8Bit(dir) + "/about-at-2x.png");
  for (TCustomLabel* line :
       std::initializer_list<TCustomLabel*>{box_->Copyright, box_->sLabel1, box_->Comments}) {
    // A face that has the size drawn: the device size, not a strike of the
    // program's size spread over twice the room.
    const QFont font = line->Font().ToQFont();
    QFont device(font);
    device.setPixelSize(2 * font.pixelSize());
    EXPECT_EQ(QFontInfo(device).pixelSize(), 2 * font.pixelSize()) << line->Caption();
    // The ink of the line: its rows and columns in device pixels.
    const TRect b = line->BoundsRect();
    // The ground: the colour most of the line's room has.
    std::map<QRgb, int> colours;
    for (int y = 2 * b.Top; y < 2 * b.Bottom; ++y)
      for (int x = 2 * b.Left; x < 2 * b.Right; ++x) ++colours[shot.pixel(x, y)];
    const QRgb ground =
        std::max_element(colours.begin(), colours.end(), [](const auto& a, const auto& b) {
          return a.second < b.second;
        })->first;
    int top = -1, bottom = -1, left = shot.width(), right = -1;
    for (int y = 2 * b.Top; y < 2 * b.Bottom; ++y)
      for (int x = 2 * b.Left; x < 2 * b.Right; ++x) {
        const QRgb c = shot.pixel(x, y);
        if (std::abs(qGray(c) - qGray(ground)) < 64) continue;
        if (top < 0) top = y;
        bottom = y;
        left = std::min(left, x);
        right = std::max(right, x);
      }
    ASSERT_GE(top, 0) << line->Caption();
    // 11 pixel lines: their capitals and descenders span well over 16 device
    // pixels at twice the size (a strike of the program's size, about 11).
    EXPECT_GE(bottom - top + 1, 16) << line->Caption();
    EXPECT_GT(right, left) << line->Caption();
  }
}

TEST_F(AboutBoxTest, PanelBevelStaysWholeUnderTheLines) {
  box_->Show();
  Pump(20);
  TPanel* panel = box_->Panel1;
  const QImage shot = panel->Handle()->grab().toImage();
  // The lines stand at left 3, over the inner bevel's inner column. Row 100
  // has no line and no picture beside the bevel: every row of a line shows
  // the bevel's columns as it does.
  const int w = panel->Width();
  for (TControl* line : std::initializer_list<TControl*>{box_->sLabelFX1, box_->Copyright,
                                                         box_->sLabel1, box_->Comments}) {
    SCOPED_TRACE(line->Name());
    for (int y = line->Top(); y < line->Top() + line->Height(); ++y)
      for (int x : {0, 1, 2, 3, w - 4, w - 3, w - 2, w - 1})
        ASSERT_EQ(PixelOf(shot, x, y), PixelOf(shot, x, 100)) << x << "," << y;
  }
  // The inner bevel's light column is there to be kept.
  EXPECT_NE(PixelOf(shot, 3, 100), ColorToRGB(panel->Color()));
}
