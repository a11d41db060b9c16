// The skinned form frame under the internal skin, on real forms under the
// offscreen platform: the main window's frame and caption geometry, the
// title buttons right to left, the caption's ellipsis and colours, the cut
// corners, hit testing of every zone, the buttons' states under the
// pointer, minimised and maximised forms, and windows adopted by the hook.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QEnterEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QTimer>
#include <QWidget>

#include <cstdlib>
#include <memory>
#include <string>

#include "skin/SkinPainter.h"
#include "skin/SkinText.h"
#include "skin/SteamSkin.h"
#include "skin/sBitBtn.h"
#include "skin/sCommonData.h"
#include "skin/sScrollBar.h"
#include "skin/sSkinFrame.h"
#include "skin/sSkinHook.h"
#include "skin/sSkinProvider.h"
#include "skin/sSkinStyle.h"
#include "skin/sWindowSkin.h"
#include "toolkit/Buttons.h"
#include "toolkit/Dialogs.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Forms.h"

namespace {

// The main window's save dialog, run until a test's callback ends it.
bool ExecuteSaveLogDialog() {
  TSaveDialog dialog(nullptr);
  dialog.SetTitle("Save Log");
  dialog.SetFileName("SonarixLog.txt");
  dialog.SetFilter("Text File (*.txt)|*.txt");
  dialog.SetOptions(ofOverwritePrompt | ofHideReadOnly | ofEnableSizing);
  return dialog.Execute();
}

class SkinFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Application->Initialize();
    manager_ = std::make_unique<TsSkinManager>(nullptr);
    TsStoredSkin& s = manager_->InternalSkins().Add();
    s.SetName(kSteamSkinName);
    s.SetData(kSteamSkinData, kSteamSkinDataSize);
    manager_->SetSkinName(kSteamSkinName);
  }
  void TearDown() override { manager_.reset(); }

  // A window like the main one: a sizeable 431 x 503 client with the
  // system menu, minimise and maximise buttons, and its provider.
  std::unique_ptr<TForm> MainLike(TsSkinProvider** provider = nullptr) {
    auto f = std::make_unique<TForm>(nullptr);
    f->SetCaption("Sonarix 1.0");
    f->SetClientSize(431, 503);
    auto* p = new TsSkinProvider(f.get());
    p->SkinData().SetSkinSection("FORM");
    p->RecomputeFrame();
    if (provider != nullptr) *provider = p;
    return f;
  }

  std::unique_ptr<TsSkinManager> manager_;
};

TColor Px(const TBitmap& b, int x, int y) {
  const QRgb c = b.Image().pixel(x, y);
  return RGB(qRed(c), qGreen(c), qBlue(c));
}

// The brightest pixel of a rectangle (by the sum of its channels).
TColor Brightest(const TBitmap& b, const TRect& r) {
  TColor best = 0;
  int best_sum = -1;
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x) {
      const TColor c = Px(b, x, y);
      const int sum = GetRValue(c) + GetGValue(c) + GetBValue(c);
      if (sum > best_sum) {
        best_sum = sum;
        best = c;
      }
    }
  return best;
}

int CountColor(const TBitmap& b, const TRect& r, TColor c) {
  int n = 0;
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x)
      if (Px(b, x, y) == c) ++n;
  return n;
}

std::intptr_t ScreenPoint(TCustomForm* f, int x, int y) {
  const QPoint g = f->Handle()->mapToGlobal(QPoint(x, y));
  return MakeLParam(g.x(), g.y());
}

TEST_F(SkinFrameTest, MainWindowFrameAndCaptionGeometry) {
  TsSkinProvider* p = nullptr;
  auto f = MainLike(&p);
  ASSERT_TRUE(p->Skinned());
  EXPECT_TRUE(f->OwnFrame());
  // The client stays 431 x 503 inside a 4-pixel sizing frame and a
  // 19-pixel caption bar.
  EXPECT_EQ(f->FrameMargins(), (TRect{4, 23, 4, 4}));
  EXPECT_EQ(f->Width(), 439);
  EXPECT_EQ(f->Height(), 530);
  EXPECT_EQ(f->ClientWidth(), 431);
  EXPECT_EQ(f->ClientHeight(), 503);
  const TsFrameGeometry& g = p->Geometry();
  EXPECT_EQ(g.Frame, 4);
  EXPECT_EQ(g.Caption, 19);
  EXPECT_EQ(g.BandHeight(), 23);
  EXPECT_TRUE(g.BigSet);
  // The caption text runs from the frame + 4 to the buttons' total width + 6
  // before the right edge, between the frame and the caption height.
  EXPECT_EQ(g.TextRect, (TRect{8, 4, 439 - 42 - 6, 19}));
}

TEST_F(SkinFrameTest, TitleButtonsRightToLeftWithTheCloseGlyphFourteenByTwelve) {
  TsSkinProvider* p = nullptr;
  auto f = MainLike(&p);
  const TsFrameGeometry& g = p->Geometry();
  ASSERT_EQ(g.Buttons.size(), 3u);
  EXPECT_EQ(g.Buttons[0].Kind, TsTitleButtonKind::Close);
  EXPECT_EQ(g.Buttons[1].Kind, TsTitleButtonKind::Maximize);
  EXPECT_EQ(g.Buttons[2].Kind, TsTitleButtonKind::Minimize);
  // "BICONCLOSE" is 42 x 12 with three frames: 14 x 12, two pixels lower
  // than centred in the 23-pixel band.
  EXPECT_EQ(g.Buttons[0].Rect, (TRect{421, 7, 435, 19}));
  EXPECT_EQ(g.Buttons[1].Rect, (TRect{407, 7, 421, 19}));
  // "BICONMIN" is 10 high.
  EXPECT_EQ(g.Buttons[2].Rect, (TRect{393, 8, 407, 18}));
  const TsSkinModel& model = manager_->Model();
  EXPECT_EQ(g.Buttons[0].Mask,
            model.MaskIndex(model.Cache().GlobalInfo, "GLOBALINFO", "BICONCLOSE"));
  // Without a maximise button the minimise button moves next to close.
  f->SetBorderIcons(biSystemMenu | biMinimize);
  p->RecomputeFrame();
  ASSERT_EQ(p->Geometry().Buttons.size(), 2u);
  EXPECT_EQ(p->Geometry().Buttons[1].Kind, TsTitleButtonKind::Minimize);
  EXPECT_EQ(p->Geometry().Buttons[1].Rect.Right, 421);
  // A dialog frame has the close button only (the skin has no small set).
  f->SetBorderStyle(TFormBorderStyle::bsDialog);
  p->RecomputeFrame();
  ASSERT_EQ(p->Geometry().Buttons.size(), 1u);
  EXPECT_EQ(p->Geometry().Frame, 3);
  EXPECT_EQ(f->FrameMargins(), (TRect{3, 22, 3, 3}));
  EXPECT_EQ(f->ClientWidth(), 431);
}

TEST_F(SkinFrameTest, CaptionIconMovesTheText) {
  TsSkinProvider* p = nullptr;
  auto f = MainLike(&p);
  p->TitleIcon().Glyph.SetSize(16, 16);
  p->RecomputeFrame();
  EXPECT_EQ(p->Geometry().Icon, 16);
  EXPECT_EQ(p->Geometry().TextRect.Left, 16 + 4 + 4);
  p->SetShowAppIcon(false);
  EXPECT_EQ(p->Geometry().Icon, 0);
  EXPECT_EQ(IconSizeOf(8), 0);
  EXPECT_EQ(IconSizeOf(16), 8);
  EXPECT_EQ(IconSizeOf(19), 16);
  EXPECT_EQ(IconSizeOf(28), 32);
}

TEST_F(SkinFrameTest, ALongCaptionEndsInAnEllipsisInsideItsRectangle) {
  TsSkinProvider* p = nullptr;
  auto f = MainLike(&p);
  const std::string long_caption(120, 'H');
  f->SetCaption(long_caption);
  const TBitmap& cache = p->WindowCache();
  const TRect text = p->Geometry().TextRect;
  TBitmap probe(1, 1);
  probe.Canvas().Font().Assign(f->Font());
  probe.Canvas().Font().SetStyle(fsBold);
  const std::vector<TsTextLine> lines = LayoutText(
      probe.Canvas(), long_caption, text, txSingleLine | txVCenter | txEndEllipsis | txNoPrefix);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_LT(lines[0].text.size(), long_caption.size());
  EXPECT_EQ(lines[0].text.substr(lines[0].text.size() - 3), "...");
  // Nothing of the text reaches past its rectangle towards the buttons:
  // the band there is as an empty caption paints it.
  TBitmap with_text;
  with_text.Assign(cache);
  f->SetCaption("");
  const TBitmap& empty = p->WindowCache();
  for (int y = 0; y < 23; ++y)
    for (int x = text.Right; x < p->Geometry().Buttons.back().Rect.Left; ++x)
      ASSERT_EQ(Px(with_text, x, y), Px(empty, x, y)) << x << "," << y;
  // ... and the text itself is there.
  int drawn = 0;
  for (int y = text.Top; y < text.Bottom; ++y)
    for (int x = text.Left; x < text.Right; ++x) drawn += Px(with_text, x, y) != Px(empty, x, y);
  EXPECT_GT(drawn, 300);
}

TEST_F(SkinFrameTest, CaptionTextIsWhiteWhenActiveAndTheTitleColourWhenNot) {
  TsSkinProvider* p = nullptr;
  auto f = MainLike(&p);
  f->Perform(WM_ACTIVATE, WA_ACTIVE, 0);
  ASSERT_TRUE(p->FormActive());
  TBitmap active;
  active.Assign(p->WindowCache());
  const TRect text = p->Geometry().TextRect;
  // The text's full colour is where its strokes are solid (their edges
  // are smoothed into the band).
  EXPECT_EQ(Brightest(active, text), 0xFFFFFFu);
  EXPECT_EQ(CountColor(active, text, 10661030), 0);
  f->Perform(WM_ACTIVATE, WA_INACTIVE, 0);
  ASSERT_FALSE(p->FormActive());
  const TBitmap& inactive = p->WindowCache();
  EXPECT_EQ(CountColor(inactive, text, 0xFFFFFF), 0);
  EXPECT_EQ(Brightest(inactive, text), 10661030u);
  // The frame below the band is the same in both looks.
  for (int y = 30; y < 530; y += 50) {
    EXPECT_EQ(Px(inactive, 1, y), Px(active, 1, y));
  }
}

TEST_F(SkinFrameTest, TheMainWindowsCornersAreCut) {
  TsSkinProvider* p = nullptr;
  auto f = MainLike(&p);
  f->Show();
  const QRegion r = p->Region();
  ASSERT_FALSE(r.isEmpty());
  EXPECT_EQ(f->Handle()->mask(), r);
  EXPECT_EQ(r.boundingRect(), QRect(0, 0, 439, 530));
  // Top corners: three pixels of the top row, one of the next two rows.
  for (const QPoint out : {QPoint(0, 0), QPoint(1, 0), QPoint(2, 0), QPoint(0, 1), QPoint(0, 2),
                           QPoint(438, 0), QPoint(436, 0), QPoint(438, 2)})
    EXPECT_FALSE(r.contains(out)) << out.x() << "," << out.y();
  for (const QPoint in :
       {QPoint(3, 0), QPoint(1, 1), QPoint(0, 3), QPoint(435, 0), QPoint(437, 1), QPoint(200, 200)})
    EXPECT_TRUE(r.contains(in)) << in.x() << "," << in.y();
  // Bottom corners: one pixel each.
  EXPECT_FALSE(r.contains(QPoint(0, 529)));
  EXPECT_FALSE(r.contains(QPoint(438, 529)));
  EXPECT_TRUE(r.contains(QPoint(1, 529)));
  EXPECT_TRUE(r.contains(QPoint(0, 528)));
  // The region follows the window's size.
  f->SetBounds(f->Left(), f->Top(), 539, 630);
  EXPECT_FALSE(p->Region().contains(QPoint(538, 629)));
  EXPECT_TRUE(p->Region().contains(QPoint(537, 629)));
}

TEST_F(SkinFrameTest, TheScreensFrameIsTheWindowCachesPixelForPixel) {
  TsSkinProvider* p = nullptr;
  auto f = MainLike(&p);
  f->Show();
  QApplication::processEvents();
  const QImage shot = f->Handle()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const TBitmap& cache = p->WindowCache();
  const TRect m = f->FrameMargins();
  ASSERT_EQ(shot.width(), cache.Width());
  ASSERT_EQ(shot.height(), cache.Height());
  const QRegion outline =
      p->Region().isEmpty() ? QRegion(0, 0, f->Width(), f->Height()) : p->Region();
  int checked = 0;
  for (int y = 0; y < f->Height(); ++y) {
    for (int x = 0; x < f->Width(); ++x) {
      const bool frame =
          x < m.Left || y < m.Top || x >= f->Width() - m.Right || y >= f->Height() - m.Bottom;
      if (!frame || !outline.contains(QPoint(x, y))) continue;
      const QRgb c = shot.pixel(x, y);
      ASSERT_EQ(RGB(qRed(c), qGreen(c), qBlue(c)), Px(cache, x, y)) << x << "," << y;
      ++checked;
    }
  }
  EXPECT_GT(checked, f->Width() * m.Top);
}

TEST_F(SkinFrameTest, AFormWithoutBorderHasNoFrameCaptionOrRegion) {
  auto f = std::make_unique<TForm>(nullptr);
  f->SetBorderStyle(TFormBorderStyle::bsNone);
  f->SetClientSize(200, 100);
  auto* p = new TsSkinProvider(f.get());
  p->RecomputeFrame();
  EXPECT_EQ(f->FrameMargins(), (TRect{0, 0, 0, 0}));
  EXPECT_EQ(f->Width(), 200);
  EXPECT_TRUE(p->Geometry().Buttons.empty());
  EXPECT_EQ(p->Geometry().BandHeight(), 0);
  EXPECT_TRUE(p->Region().isEmpty());
  // Only the client background: the "FORM" colour.
  const TBitmap& cache = p->WindowCache();
  EXPECT_EQ(Px(cache, 100, 50), 4605510u);
}

TEST_F(SkinFrameTest, HitTestingOfEveryZone) {
  auto f = MainLike();
  f->SetBounds(40, 30, f->Width(), f->Height());
  f->Show();
  auto hit = [&](int x, int y) { return f->Perform(WM_NCHITTEST, 0, ScreenPoint(f.get(), x, y)); };
  EXPECT_EQ(hit(428, 12), HTCLOSE);
  EXPECT_EQ(hit(414, 12), HTMAXBUTTON);
  EXPECT_EQ(hit(400, 12), HTMINBUTTON);
  EXPECT_EQ(hit(200, 12), HTCAPTION);
  EXPECT_EQ(hit(200, 300), HTCLIENT);
  EXPECT_EQ(hit(0, 300), HTLEFT);
  EXPECT_EQ(hit(438, 300), HTRIGHT);
  EXPECT_EQ(hit(200, 0), HTTOP);
  EXPECT_EQ(hit(200, 529), HTBOTTOM);
  EXPECT_EQ(hit(1, 1), HTTOPLEFT);
  EXPECT_EQ(hit(437, 1), HTTOPRIGHT);
  EXPECT_EQ(hit(1, 528), HTBOTTOMLEFT);
  EXPECT_EQ(hit(437, 528), HTBOTTOMRIGHT);
  // Maximised, the borders no longer size the window.
  f->SetWindowState(wsMaximized);
  EXPECT_NE(hit(0, 300), HTLEFT);
}

TEST_F(SkinFrameTest, TitleButtonsFollowThePointerAndCloseOnRelease) {
  TsSkinProvider* p = nullptr;
  auto f = MainLike(&p);
  f->Show();
  bool closed = false;
  f->OnClose = TCloseEvent([&](TObject*, TCloseAction& a) {
    closed = true;
    a = caNone;
  });
  auto nc = [&](std::uint32_t msg, int x, int y) {
    const std::intptr_t lp = ScreenPoint(f.get(), x, y);
    f->Perform(msg, static_cast<std::uintptr_t>(f->Perform(WM_NCHITTEST, 0, lp)), lp);
  };
  nc(WM_NCMOUSEMOVE, 428, 12);
  EXPECT_EQ(p->ButtonStates(), (std::vector<int>{1, 0, 0}));
  nc(WM_NCMOUSEMOVE, 414, 12);
  EXPECT_EQ(p->ButtonStates(), (std::vector<int>{0, 1, 0}));
  nc(WM_NCLBUTTONDOWN, 428, 12);
  EXPECT_EQ(p->ButtonStates(), (std::vector<int>{2, 0, 0}));
  // Off the pressed button it looks normal, and a release there does nothing.
  nc(WM_NCMOUSEMOVE, 200, 12);
  EXPECT_EQ(p->ButtonStates(), (std::vector<int>{0, 0, 0}));
  nc(WM_NCLBUTTONUP, 200, 12);
  EXPECT_FALSE(closed);
  // Pressed and released on the close button: the window is asked to close.
  nc(WM_NCLBUTTONDOWN, 428, 12);
  nc(WM_NCLBUTTONUP, 428, 12);
  EXPECT_TRUE(closed);
  EXPECT_EQ(p->ButtonStates(), (std::vector<int>{1, 0, 0}));
  f->Perform(WM_NCMOUSELEAVE);
  EXPECT_EQ(p->ButtonStates(), (std::vector<int>{0, 0, 0}));
  // The hot and pressed looks are the glyph's second and third frames.
  nc(WM_NCMOUSEMOVE, 428, 12);
  TBitmap hot;
  hot.Assign(p->WindowCache());
  f->Perform(WM_NCMOUSELEAVE);
  const TBitmap& normal = p->WindowCache();
  int differ = 0;
  for (int y = 7; y < 19; ++y)
    for (int x = 421; x < 435; ++x) differ += Px(hot, x, y) != Px(normal, x, y);
  EXPECT_GT(differ, 10);
}

// The pointer can jump from a title button straight into a child window,
// and the form then hears no leave of its own: the button still goes back
// to its normal look.
TEST_F(SkinFrameTest, ATitleButtonGoesOutWhenThePointerJumpsIntoAChildWindow) {
  TsSkinProvider* p = nullptr;
  auto f = MainLike(&p);
  auto* panel = new TPanel(f.get());
  panel->SetParent(f.get());
  panel->SetBounds(0, 0, 431, 200);
  f->Show();
  QWidget* w = f->Handle();
  const QPoint close(428, 12);
  QMouseEvent move(QEvent::MouseMove, QPointF(close), QPointF(w->mapToGlobal(close)), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(w, &move);
  EXPECT_EQ(p->ButtonStates(), (std::vector<int>{1, 0, 0}));
  const QPoint inside(100, 50);
  const QPointF at(inside);
  QEnterEvent enter(at, at, QPointF(panel->Handle()->mapToGlobal(inside)));
  QApplication::sendEvent(panel->Handle(), &enter);
  EXPECT_EQ(p->ButtonStates(), (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(Application->MouseControl(), panel);
}

TEST_F(SkinFrameTest, MaximiseAndRestoreButtons) {
  TsSkinProvider* p = nullptr;
  auto f = MainLike(&p);
  f->SetBounds(40, 30, f->Width(), f->Height());
  f->Show();
  auto click = [&](int x, int y) {
    const std::intptr_t lp = ScreenPoint(f.get(), x, y);
    const auto h = static_cast<std::uintptr_t>(f->Perform(WM_NCHITTEST, 0, lp));
    f->Perform(WM_NCLBUTTONDOWN, h, lp);
    f->Perform(WM_NCLBUTTONUP, h, lp);
  };
  click(414, 12);
  EXPECT_EQ(f->WindowState(), wsMaximized);
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_EQ(f->Width(), area.width());
  EXPECT_EQ(f->Height(), area.height());
  const TsSkinModel& model = manager_->Model();
  EXPECT_EQ(p->Geometry().Buttons[1].Mask,
            model.MaskIndex(model.Cache().GlobalInfo, "GLOBALINFO", "BICONNORM"));
  // The buttons moved with the right edge.
  EXPECT_EQ(p->Geometry().Buttons[0].Rect.Right, area.width() - 4);
  const TRect restore = p->Geometry().Buttons[1].Rect;
  click(restore.Left + 3, restore.Top + 3);
  EXPECT_EQ(f->WindowState(), wsNormal);
  EXPECT_EQ(f->BoundsRect(), Rect(40, 30, 479, 560));
  EXPECT_EQ(p->Geometry().Buttons[1].Mask,
            model.MaskIndex(model.Cache().GlobalInfo, "GLOBALINFO", "BICONMAX"));
}

TEST_F(SkinFrameTest, AMinimisedFormPaintsItsCaptionBarOnly) {
  TsSkinProvider* p = nullptr;
  auto f = MainLike(&p);
  f->Show();
  f->Perform(WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ASSERT_EQ(f->WindowState(), wsMinimized);
  // The caption bar keeps the window's width: no seam where a narrower
  // bar would end.
  const TBitmap& cache = p->WindowCache();
  EXPECT_EQ(cache.Width(), 439);
  EXPECT_EQ(cache.Height(), 23 + 4);
  EXPECT_EQ(p->Geometry().Buttons.front().Rect.Right, 439 - 4);
  // The minimise button has become the restore button, and gives it back.
  const TsSkinModel& model = manager_->Model();
  ASSERT_EQ(p->Geometry().Buttons.size(), 3u);
  EXPECT_EQ(p->Geometry().Buttons[2].Mask,
            model.MaskIndex(model.Cache().GlobalInfo, "GLOBALINFO", "BICONNORM"));
  EXPECT_EQ(p->Geometry().Buttons[1].Mask,
            model.MaskIndex(model.Cache().GlobalInfo, "GLOBALINFO", "BICONMAX"));
  f->Perform(WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_EQ(f->WindowState(), wsNormal);
  EXPECT_EQ(p->WindowCache().Height(), 530);
}

TEST_F(SkinFrameTest, TheMinimiseButtonLeavesNoGlyphPressedAndGivesTheWindowBack) {
  TsSkinProvider* p = nullptr;
  auto f = MainLike(&p);
  f->SetBounds(40, 30, f->Width(), f->Height());
  f->Show();
  auto click = [&](int x, int y) {
    const std::intptr_t lp = ScreenPoint(f.get(), x, y);
    const auto h = static_cast<std::uintptr_t>(f->Perform(WM_NCHITTEST, 0, lp));
    f->Perform(WM_NCLBUTTONDOWN, h, lp);
    EXPECT_EQ(p->ButtonStates()[2], 2) << "pressed while held";
    f->Perform(WM_NCLBUTTONUP, h, lp);
  };
  const TRect min = p->Geometry().Buttons[2].Rect;
  click(min.Left + 3, min.Top + 3);
  // No window manager offscreen: the window rolls up to its caption bar.
  ASSERT_EQ(f->WindowState(), wsMinimized);
  EXPECT_TRUE(f->RolledUp());
  EXPECT_EQ(p->ButtonStates(), (std::vector<int>{0, 0, 0}));
  // The same place now restores.
  click(min.Left + 3, min.Top + 3);
  EXPECT_EQ(f->WindowState(), wsNormal);
  EXPECT_FALSE(f->RolledUp());
  EXPECT_EQ(p->ButtonStates(), (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(f->BoundsRect(), Rect(40, 30, 479, 560));
}

TEST_F(SkinFrameTest, DroppingTheSkinGivesThePlainWindowBack) {
  TsSkinProvider* p = nullptr;
  auto f = MainLike(&p);
  manager_->SetActive(false);
  EXPECT_FALSE(p->Skinned());
  EXPECT_FALSE(f->OwnFrame());
  EXPECT_EQ(f->Width(), 431);
  EXPECT_EQ(f->Height(), 503);
  manager_->SetActive(true);
  EXPECT_TRUE(p->Skinned());
  EXPECT_EQ(f->Width(), 439);
  // The skin back: the form's children no longer wait for it.
  EXPECT_FALSE(p->SkinData().UpdatingFlag());
  // The provider answers the skin's questions for its form.
  EXPECT_EQ(f->Perform(SM_LUMVEXCMD, MakeSkinCommand(TsCommand::QueryProvider), 0),
            reinterpret_cast<std::intptr_t>(p));
  EXPECT_EQ(f->Perform(SM_LUMVEXCMD, MakeSkinCommand(TsCommand::QuerySkinned), 0), 1);
  // Freed before its form, it hands the form back.
  delete p;
  EXPECT_FALSE(f->OwnFrame());
  EXPECT_EQ(f->Perform(SM_LUMVEXCMD, MakeSkinCommand(TsCommand::QuerySkinned), 0), 0);
}

TEST_F(SkinFrameTest, UserTitleButtonsFollowLeftOfTheStandardOnes) {
  TsSkinProvider* p = nullptr;
  auto f = MainLike(&p);
  f->Show();
  int downs = 0, ups = 0;
  auto button = std::make_unique<TsTitleButton>();
  button->Name = "Pin";
  button->OnMouseDown =
      TMouseEvent([&](TObject*, TMouseButton, TShiftState, int, int) { ++downs; });
  button->OnMouseUp = TMouseEvent([&](TObject*, TMouseButton, TShiftState, int, int) { ++ups; });
  p->TitleButtons().push_back(std::move(button));
  p->RecomputeFrame();
  const TsFrameGeometry& g = p->Geometry();
  ASSERT_EQ(g.Buttons.size(), 4u);
  EXPECT_EQ(g.Buttons[3].Kind, TsTitleButtonKind::User);
  EXPECT_EQ(g.Buttons[3].UserIndex, 0);
  // "TITLEBUTTON" is 13 x 10, right next to the minimise button.
  EXPECT_EQ(g.Buttons[3].Rect.Right, g.Buttons[2].Rect.Left);
  EXPECT_EQ(g.Buttons[3].Rect.Width(), 13);
  const TRect r = g.Buttons[3].Rect;
  const QPoint at = f->Handle()->mapToGlobal(QPoint(r.Left + 3, r.Top + 3));
  const std::intptr_t lp = MakeLParam(at.x(), at.y());
  const auto hit = static_cast<std::uintptr_t>(f->Perform(WM_NCHITTEST, 0, lp));
  f->Perform(WM_NCLBUTTONDOWN, hit, lp);
  f->Perform(WM_NCLBUTTONUP, hit, lp);
  EXPECT_EQ(downs, 1);
  EXPECT_EQ(ups, 1);
  EXPECT_TRUE(f->Visible());
}

TEST_F(SkinFrameTest, ChildrenLearnTheFormsLookBehindThem) {
  auto f = MainLike();
  auto* child = new TPanel(f.get());
  child->SetParent(f.get());
  child->SetBounds(10, 10, 50, 50);
  BackgroundInfo info;
  AskParentBackground(child, info);
  // The "FORM" look is one colour: the children are told that colour.
  EXPECT_EQ(info.Kind, bkFill);
  EXPECT_EQ(info.Color, 4605510u);
}

TEST(TitleButtonStates, HotPressedAndClicked) {
  TsTitleButtonStates s;
  s.Reset(3);
  EXPECT_TRUE(s.Move(1));
  EXPECT_EQ(s.States(), (std::vector<int>{0, 1, 0}));
  EXPECT_FALSE(s.Move(1));
  EXPECT_TRUE(s.Down(1));
  EXPECT_EQ(s.States(), (std::vector<int>{0, 2, 0}));
  // Another button does not light up while one is held.
  EXPECT_TRUE(s.Move(2));
  EXPECT_EQ(s.States(), (std::vector<int>{0, 0, 0}));
  bool changed = false;
  EXPECT_EQ(s.Up(2, changed), -1);
  EXPECT_EQ(s.States(), (std::vector<int>{0, 0, 1}));
  s.Down(0);
  EXPECT_EQ(s.Up(0, changed), 0);
  EXPECT_FALSE(s.Down(5));
  EXPECT_TRUE(s.Leave());
  EXPECT_EQ(s.States(), (std::vector<int>{0, 0, 0}));
}

// --- adoption ----------------------------------------------------------------

// Runs `check` on the first visible top-level window `pick` accepts, then
// lets `close` end it.
template <class Pick, class Check, class Close>
void WhenShown(Pick pick, Check check, Close close) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [=] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (!w->isVisible() || !pick(w)) continue;
      timer->stop();
      check(w);
      close(w);
      timer->deleteLater();
      return;
    }
  });
  timer->start(5);
}

TEST_F(SkinFrameTest, AMessageBoxGetsAnAutomaticProvider) {
  bool checked = false;
  WhenShown([](QWidget* w) { return dynamic_cast<TMessageForm*>(FindControl(w)) != nullptr; },
            [&](QWidget* w) {
              auto* box = dynamic_cast<TMessageForm*>(FindControl(w));
              const std::intptr_t provider =
                  box->Perform(SM_LUMVEXCMD, MakeSkinCommand(TsCommand::QueryProvider), 0);
              ASSERT_NE(provider, 0);
              auto* p = reinterpret_cast<TsSkinProvider*>(provider);
              EXPECT_TRUE(p->Skinned());
              EXPECT_TRUE(box->OwnFrame());
              EXPECT_TRUE(w->windowFlags() & Qt::FramelessWindowHint);
              // A dialog frame with the close button only.
              EXPECT_EQ(box->FrameMargins(), (TRect{3, 22, 3, 3}));
              ASSERT_EQ(p->Geometry().Buttons.size(), 1u);
              EXPECT_EQ(p->Geometry().Buttons[0].Kind, TsTitleButtonKind::Close);
              // The skin's colours for the window and its text.
              EXPECT_EQ(box->Color(), 4605510u);
              EXPECT_EQ(box->MessageLabel()->Font().Color(), 13816530u);
              EXPECT_FALSE(p->Region().isEmpty());
              checked = true;
            },
            [](QWidget* w) { dynamic_cast<TMessageForm*>(FindControl(w))->SetModalResult(mrOk); });
  Application->MessageBox("Something went wrong.", "Sonarix - a Ping Utility", MB_OK | MB_ICONSTOP);
  EXPECT_TRUE(checked);
  // The box is gone, and so is its provider.
  for (const TsAdoptedWindow& a : AdoptedWindows()) EXPECT_EQ(a.Provider, nullptr);
}

TEST_F(SkinFrameTest, TheSaveDialogIsShownInTheDialogSection) {
  bool checked = false;
  WhenShown([](QWidget* w) { return qobject_cast<QFileDialog*>(w) != nullptr; },
            [&](QWidget* w) {
              const TsAdoptedWindow* entry = nullptr;
              for (const TsAdoptedWindow& a : AdoptedWindows())
                if (a.Window == w) entry = &a;
              ASSERT_NE(entry, nullptr);
              EXPECT_EQ(entry->Kind, TsAdoption::PlatformDialog);
              auto* skin = dynamic_cast<TsWindowSkin*>(entry->Provider.get());
              ASSERT_NE(skin, nullptr);
              EXPECT_TRUE(skin->Skinned());
              EXPECT_TRUE(w->windowFlags() & Qt::FramelessWindowHint);
              // The dialog can be resized: a sizing frame around its content.
              EXPECT_EQ(w->contentsMargins(), QMargins(4, 23, 4, 4));
              EXPECT_EQ(w->palette().color(QPalette::Window), QColor(0x46, 0x46, 0x46));
              EXPECT_FALSE(skin->Region().isEmpty());
              // Its background is the "DIALOG" gradient, its caption the title's.
              const TBitmap& cache = skin->WindowCache();
              EXPECT_EQ(cache.Width(), w->width());
              EXPECT_NE(Px(cache, w->width() / 2, 30), Px(cache, w->width() / 2, w->height() - 10));
              checked = true;
            },
            [](QWidget* w) {
              // Pressed and released on its close button, the dialog closes.
              const QPoint close(w->width() - 4 - 7, 13);
              for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
                QMouseEvent e(type, QPointF(close), QPointF(w->mapToGlobal(close)), Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                              Qt::NoModifier);
                QApplication::sendEvent(w, &e);
              }
            });
  EXPECT_FALSE(ExecuteSaveLogDialog());
  EXPECT_TRUE(checked);
}

TEST_F(SkinFrameTest, PopupsAndFormsTaggedMinus98AreLeftAlone) {
  TForm tagged(nullptr);
  tagged.SetTag(kNoAdoptionTag);
  tagged.Show();
  EXPECT_EQ(tagged.Perform(SM_LUMVEXCMD, MakeSkinCommand(TsCommand::QueryProvider), 0), 0);
  EXPECT_FALSE(tagged.OwnFrame());
  QMenu menu;
  menu.addAction("x");
  menu.popup(QPoint(10, 10));
  for (const TsAdoptedWindow& a : AdoptedWindows()) EXPECT_NE(a.Window, &menu);
  menu.close();
  // An ordinary form without a provider is adopted when it appears.
  TForm plain(nullptr);
  plain.SetClientSize(200, 100);
  plain.Show();
  EXPECT_NE(plain.Perform(SM_LUMVEXCMD, MakeSkinCommand(TsCommand::QueryProvider), 0), 0);
  EXPECT_TRUE(plain.OwnFrame());
  EXPECT_EQ(plain.ClientWidth(), 200);
}

TEST_F(SkinFrameTest, AProviderOnAnythingButAFormWarns) {
  bool warned = false;
  WhenShown([](QWidget* w) { return dynamic_cast<TMessageForm*>(FindControl(w)) != nullptr; },
            [&](QWidget* w) {
              auto* box = dynamic_cast<TMessageForm*>(FindControl(w));
              EXPECT_EQ(box->Message(), TsSkinProvider::kFormsOnly);
              EXPECT_EQ(box->DlgType(), mtWarning);
              warned = true;
            },
            [](QWidget* w) { dynamic_cast<TMessageForm*>(FindControl(w))->SetModalResult(mrOk); });
  TForm f(nullptr);
  auto* panel = new TPanel(&f);
  panel->SetParent(&f);
  TsSkinProvider p(panel);
  EXPECT_TRUE(warned);
  EXPECT_EQ(p.Form(), nullptr);
}

}  // namespace

// ---- the controls of adopted windows ----------------------------------------------

namespace {

// The skin's face for a control, as the skin's painters make it for the
// control's size, state and the colour behind it.
QImage FaceFor(const TsSkinModel& model, const char* section, const QWidget* control, int state,
               bool filling) {
  TBitmap face(control->width(), control->height());
  const QColor back = control->palette().color(QPalette::Window);
  EXPECT_TRUE(PaintSkinSection(face, model, section, state, filling, control->isEnabled(),
                               RGB(back.red(), back.green(), back.blue())));
  return face.Image().copy();
}

// Pixels of `shot` that differ from `face` outside the central `inner`
// rectangle (where a control's caption or text lies).
int DifferencesOutside(const QImage& shot, const QImage& face, const QRect& inner) {
  int n = 0;
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x) {
      if (inner.contains(x, y)) continue;
      const QRgb c = shot.pixel(x, y);
      const QRgb f = face.pixel(x, y);
      n += RGB(qRed(c), qGreen(c), qBlue(c)) != RGB(qRed(f), qGreen(f), qBlue(f));
    }
  return n;
}

}  // namespace

TEST_F(SkinFrameTest, AMessageBoxsButtonIsTheSkinsButtonWithoutADottedFocusRectangle) {
  bool checked = false;
  WhenShown([](QWidget* w) { return dynamic_cast<TMessageForm*>(FindControl(w)) != nullptr; },
            [&](QWidget* w) {
              auto* box = dynamic_cast<TMessageForm*>(FindControl(w));
              TBitBtn* ok = box->FindButton(mrOk);
              ASSERT_NE(ok, nullptr);
              ok->SetFocus();
              QApplication::processEvents();
              QWidget* handle = ok->Handle();
              ASSERT_GT(handle->width(), 20);
              // Focused and the default: the hot face, pixel for pixel all
              // round; inside, only the caption differs from it.
              ASSERT_EQ(AdoptedButtonState(*ok), 1);
              const QColor back = ToQColor(box->Color());
              auto face = [&](int state) {
                TBitmap b(handle->width(), handle->height());
                EXPECT_TRUE(PaintSkinSection(b, manager_->Model(), "BUTTON", state, false, true,
                                             RGB(back.red(), back.green(), back.blue())));
                return b.Image().copy();
              };
              const QRect caption(5, 5, handle->width() - 10, handle->height() - 10);
              const QImage shot = handle->grab().toImage();
              EXPECT_EQ(DifferencesOutside(shot, face(1), caption), 0);
              // The caption is in the section's hot text colour.
              const int index = manager_->Model().SectionIndex("BUTTON");
              ASSERT_GE(index, 0);
              const TColor text = ColorToRGB(TextColorsOf(
                  manager_->Model().Sections()[static_cast<std::size_t>(index)], true)[0]);
              int text_pixels = 0;
              for (int y = 0; y < shot.height(); ++y)
                for (int x = 0; x < shot.width(); ++x) {
                  const QRgb c = shot.pixel(x, y);
                  text_pixels += std::abs(qRed(c) - GetRValue(text)) < 24 &&
                                 std::abs(qGreen(c) - GetGValue(text)) < 24 &&
                                 std::abs(qBlue(c) - GetBValue(text)) < 24;
                }
              EXPECT_GT(text_pixels, 5);
              // Pressed with Space: the pressed face.
              ok->Perform(WM_KEYDOWN, VK_SPACE, 0);
              ASSERT_EQ(AdoptedButtonState(*ok), 2);
              EXPECT_EQ(DifferencesOutside(handle->grab().toImage(), face(2), caption), 0);
              checked = true;
            },
            [](QWidget* w) { dynamic_cast<TMessageForm*>(FindControl(w))->SetModalResult(mrOk); });
  Application->MessageBox("Something went wrong.", "Sonarix - a Ping Utility", MB_OK | MB_ICONSTOP);
  EXPECT_TRUE(checked);
}

TEST_F(SkinFrameTest, TheSaveDialogsButtonsAndFileNameEditAreTheSkins) {
  bool checked = false;
  WhenShown(
      [](QWidget* w) { return qobject_cast<QFileDialog*>(w) != nullptr; },
      [&](QWidget* w) {
        QLineEdit* name = nullptr;
        for (QLineEdit* e : w->findChildren<QLineEdit*>())
          if (e->isVisible() && e->text() == "SonarixLog.txt") name = e;
        ASSERT_NE(name, nullptr);
        ASSERT_GT(name->height(), 10);
        // The edit's frame and face are the "EDIT" section's (focused:
        // its hot state) all round its text.
        const int state = name->hasFocus() ? 1 : 0;
        const QImage shot = name->grab().toImage();
        const QImage face = FaceFor(manager_->Model(), "EDIT", name, state, true);
        EXPECT_EQ(
            DifferencesOutside(shot, face, QRect(3, 3, name->width() - 6, name->height() - 6)), 0);
        // Save and Cancel are the skin's buttons.
        int buttons = 0;
        for (QPushButton* b : w->findChildren<QPushButton*>()) {
          if (!b->isVisible() || b->text().isEmpty() || b->width() < 30) continue;
          // Focused: the hot face and no dotted focus rectangle.
          b->setFocus();
          QApplication::processEvents();
          const bool hot = b->hasFocus() || b->isDefault();
          const QImage look = b->grab().toImage();
          const QImage want = FaceFor(manager_->Model(), "BUTTON", b, hot ? 1 : 0, false);
          EXPECT_EQ(DifferencesOutside(look, want, QRect(5, 5, b->width() - 10, b->height() - 10)),
                    0)
              << b->text().toStdString();
          ++buttons;
        }
        EXPECT_GE(buttons, 2);
        checked = true;
      },
      [](QWidget* w) { qobject_cast<QFileDialog*>(w)->reject(); });
  EXPECT_FALSE(ExecuteSaveLogDialog());
  EXPECT_TRUE(checked);
}

TEST_F(SkinFrameTest, AnAdoptedWindowsScrollBarIsTheSkinsAndItsPartsAreWhereTheyAreDrawn) {
  // A dialog the hook adopts as it appears, and a bar it gains afterwards.
  QDialog window;
  window.resize(200, 200);
  window.show();
  QApplication::processEvents();
  auto* bar = new QScrollBar(Qt::Vertical, &window);
  bar->setGeometry(10, 30, 17, 150);
  bar->setRange(0, 90);
  bar->setPageStep(10);
  bar->setValue(30);
  bar->show();
  QApplication::processEvents();
  ASSERT_NE(dynamic_cast<TsSkinStyle*>(bar->style()), nullptr);
  const QImage shot = bar->grab().toImage();
  TsScrollBarLook look;
  look.kind = SB_VERT;
  look.info.Min = 0;
  look.info.Max = 99;
  look.info.Page = 10;
  look.info.Pos = 30;
  look.info.TrackPos = 30;
  look.arrow = ScrollArrowLength(&manager_->Model(), SB_VERT);
  TBitmap want(bar->width(), bar->height());
  const QColor back = bar->palette().color(QPalette::Window);
  ASSERT_TRUE(PaintScrollBar(want, manager_->Model(), look,
                             TsBackground::FromColor(RGB(back.red(), back.green(), back.blue()))));
  EXPECT_EQ(DifferencesOutside(shot, want.Image(), QRect()), 0);
  // The slider and the arrows are found where the painter put them.
  const TsScrollLayout drawn =
      LayoutScrollBar(look.info, bar->height(), look.arrow, DefaultMinSliderLength(), true);
  ASSERT_TRUE(drawn.slider_shown);
  QStyleOptionSlider option;
  option.initFrom(bar);
  option.orientation = Qt::Vertical;
  option.minimum = 0;
  option.maximum = 90;
  option.pageStep = 10;
  option.singleStep = 1;
  option.sliderPosition = option.sliderValue = 30;
  QStyle* style = bar->style();
  EXPECT_EQ(style->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, bar),
            QRect(0, drawn.SliderStart(), bar->width(), drawn.slider));
  EXPECT_EQ(style->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSubLine, bar),
            QRect(0, 0, bar->width(), drawn.arrow));
  EXPECT_EQ(style->hitTestComplexControl(QStyle::CC_ScrollBar, &option,
                                         QPoint(8, drawn.SliderStart() - 1), bar),
            QStyle::SC_ScrollBarSubPage);
  EXPECT_EQ(style->hitTestComplexControl(QStyle::CC_ScrollBar, &option,
                                         QPoint(8, drawn.SliderEnd()), bar),
            QStyle::SC_ScrollBarAddPage);
  // A click on the lower arrow, where it is drawn, steps the bar down.
  const int before = bar->value();
  const QPoint arrow(8, bar->height() - look.arrow / 2);
  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
    QMouseEvent e(type, QPointF(arrow), QPointF(bar->mapToGlobal(arrow)), Qt::LeftButton,
                  type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &e);
  }
  EXPECT_EQ(bar->value(), before + bar->singleStep());
  // Without the skin the bar is the plain one again.
  manager_->SetActive(false);
  EXPECT_NE(DifferencesOutside(bar->grab().toImage(), want.Image(), QRect()), 0);
}

TEST_F(SkinFrameTest, OnAnAdoptedFormOnlyPlainPushButtonsTakeTheSkinsFace) {
  TForm form(nullptr);
  form.SetClientSize(200, 100);
  auto* plain = new TBitBtn(&form);
  plain->SetParent(&form);
  plain->SetBounds(10, 10, 75, 25);
  plain->SetCaption("Plain");
  auto* own = new TsBitBtn(&form);
  own->SetParent(&form);
  own->SetBounds(100, 10, 75, 25);
  own->SetCaption("Own");
  const int plain_parts = plain->ComponentCount(), own_parts = own->ComponentCount();
  form.Show();
  QApplication::processEvents();
  bool adopted = false;
  for (const TsAdoptedWindow& a : AdoptedWindows()) adopted = adopted || a.Window == form.Handle();
  ASSERT_TRUE(adopted);
  // The plain button is drawn from "BUTTON"; the skinned one keeps its own
  // painting (its fades and cache) untouched.
  EXPECT_EQ(plain->ComponentCount(), plain_parts + 1);
  EXPECT_EQ(own->ComponentCount(), own_parts);
  const QImage shot = plain->Handle()->grab().toImage();
  TBitmap face(shot.width(), shot.height());
  ASSERT_TRUE(PaintSkinSection(face, manager_->Model(), "BUTTON", AdoptedButtonState(*plain), false,
                               true, form.Color()));
  EXPECT_EQ(
      DifferencesOutside(shot, face.Image(), QRect(5, 5, shot.width() - 10, shot.height() - 10)),
      0);
  // Without the skin the plain button is the plain one again.
  manager_->SetActive(false);
  EXPECT_NE(DifferencesOutside(plain->Handle()->grab().toImage(), face.Image(),
                               QRect(5, 5, shot.width() - 10, shot.height() - 10)),
            0);
}
