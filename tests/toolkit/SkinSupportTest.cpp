// What the toolkit offers the skinned controls: the combo box's own face and
// edit area, its list's notifications and item height; the button's layout
// method, kind glyphs on bitmaps and the focus frame switch; cancel mode;
// the hover kept while the pointer crosses a control's inner widgets.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <memory>

#include "platform/SystemMetrics.h"
#include "toolkit/Buttons.h"
#include "toolkit/Forms.h"
#include "toolkit/StdCtrls.h"

namespace {

void PumpFor(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

TColor PixelOf(const QImage& image, int x, int y) {
  const QRgb c = image.pixel(x, y);
  return RGB(qRed(c), qGreen(c), qBlue(c));
}

// Exposes the protected layout and glyph methods.
class TLayoutButton : public TBitBtn {
 public:
  using TBitBtn::CalcButtonLayout;
  using TBitBtn::DrawGlyph;
  using TBitBtn::GlyphSize;
  using TBitBtn::TBitBtn;
  int cancels = 0;

 protected:
  void Dispatch(TMessage& m) override {
    if (m.Msg == WM_CANCELMODE) ++cancels;
    TBitBtn::Dispatch(m);
  }
};

class SkinSupport : public ::testing::Test {
 protected:
  void SetUp() override {
    Application->Initialize();
    form = std::make_unique<TForm>(nullptr);
    form->SetClientSize(300, 200);
    combo = new TComboBox(form.get());
    combo->SetParent(form.get());
    combo->SetBounds(10, 10, 82, 21);
    for (const char* item : {"56 Byte", "64 Byte"}) combo->Items().Add(item);
    combo->SetItemIndex(0);
    button = new TLayoutButton(form.get());
    button->SetParent(form.get());
    button->SetBounds(10, 60, 65, 52);
    button->SetCaption("Ping !");
    form->Show();
    PumpFor(20);
  }
  std::unique_ptr<TForm> form;
  TComboBox* combo = nullptr;
  TLayoutButton* button = nullptr;
};

}  // namespace

TEST_F(SkinSupport, ComboBoxPaintsItsOwnFaceAroundTheEditor) {
  const int sbw = platform::GetSystemMetrics(platform::SM_CXVSCROLL);
  const TRect b = combo->ButtonRect();
  EXPECT_EQ(b, Rect(82 - sbw - 3, 2, 79, 19));
  EXPECT_EQ(combo->FrameMargins(), Rect(2, 2, 2, 2));
  QLineEdit* le = combo->Editor()->lineEdit();
  const TRect e = combo->EditRect().Offset(2, 2);
  EXPECT_EQ(le->geometry(), QRect(e.Left, e.Top, e.Width(), e.Height()));
  EXPECT_LE(e.Right, b.Left);
  // Resizing keeps the editor beside the button.
  combo->SetWidth(120);
  PumpFor(10);
  EXPECT_EQ(le->geometry().right() + 1, combo->ButtonRect().Left);
  // The sunken frame and the button face are the toolkit's colours.
  const QImage face = combo->Handle()->grab().toImage();
  EXPECT_EQ(PixelOf(face, 30, 0), ColorToRGB(clBtnShadow));
  EXPECT_EQ(PixelOf(face, 30, 20), ColorToRGB(clBtnHighlight));
  const TRect nb = combo->ButtonRect();
  EXPECT_EQ(PixelOf(face, nb.Left + 3, nb.Top + 3), ColorToRGB(clBtnFace));
  EXPECT_EQ(PixelOf(face, (nb.Left + nb.Right) / 2, (nb.Top + nb.Bottom) / 2),
            ColorToRGB(clBtnText));  // the arrow
}

TEST_F(SkinSupport, ComboBoxListNotifiesAndTakesTheItemHeight) {
  int drops = 0, closes = 0;
  combo->OnDropDown = TNotifyEvent([&](TObject*) { ++drops; });
  combo->OnCloseUp = TNotifyEvent([&](TObject*) { ++closes; });
  // A press on the button drops the list; its release leaves it down.
  const TRect b = combo->ButtonRect();
  QTest::mouseClick(combo->Handle(), Qt::LeftButton, Qt::NoModifier,
                    QPoint((b.Left + b.Right) / 2, 10));
  PumpFor(20);
  EXPECT_TRUE(combo->ListShowing());
  EXPECT_EQ(drops, 1);
  // Escape closes it.
  QTest::keyClick(combo->Editor()->view(), Qt::Key_Escape);
  PumpFor(20);
  EXPECT_FALSE(combo->ListShowing());
  EXPECT_EQ(closes, 1);
  QAbstractItemView* view = combo->Editor()->view();
  EXPECT_EQ(view->sizeHintForIndex(view->model()->index(0, 0)).height(), 13);
  combo->SetItemHeight(17);
  EXPECT_EQ(view->sizeHintForIndex(view->model()->index(1, 0)).height(), 17);
}

TEST_F(SkinSupport, PointerCrossingTheEditorDoesNotLeaveTheBox) {
  int enters = 0, leaves = 0;
  combo->OnMouseEnter = TNotifyEvent([&](TObject*) { ++enters; });
  combo->OnMouseLeave = TNotifyEvent([&](TObject*) { ++leaves; });
  const TRect b = combo->ButtonRect();
  const QPoint on_button((b.Left + b.Right) / 2, 10);
  QTest::mouseMove(combo->Handle(), on_button);
  for (int i = 0; i < 3; ++i) {
    QTest::mouseMove(combo->Editor()->lineEdit(), QPoint(5, 5));
    QTest::mouseMove(combo->Handle(), on_button);
  }
  PumpFor(10);
  EXPECT_EQ(enters, 1);
  EXPECT_EQ(leaves, 0);
  EXPECT_EQ(Application->MouseControl(), combo);
  QTest::mouseMove(form->Handle(), QPoint(200, 150));
  PumpFor(10);
  EXPECT_EQ(leaves, 1);
}

TEST_F(SkinSupport, ButtonLayoutPlacesGlyphAndCaption) {
  TCanvas& canvas = button->Canvas();
  TBitmap scratch(1, 1);
  TCanvas& measure = scratch.Canvas();
  measure.Font().Assign(button->Font());
  const TRect client = button->ClientRect();
  TButtonLayoutRects r = button->CalcButtonLayout(measure, client, false, false);
  // No glyph: the caption centred.
  EXPECT_EQ(r.Glyph.Width(), 0);
  EXPECT_EQ(r.Caption.Left + r.Caption.Right,
            client.Width() - (client.Width() - r.Caption.Width()) % 2);
  EXPECT_NE(r.TextFlags & DT_SINGLELINE, 0u);
  // Pressed: one pixel right and down.
  const TButtonLayoutRects pressed = button->CalcButtonLayout(measure, client, true, false);
  EXPECT_EQ(pressed.Caption, r.Caption.Offset(1, 1));
  // A kind brings a 16-pixel glyph, left of the caption, Spacing apart.
  button->SetKind(bkOK);
  r = button->CalcButtonLayout(measure, client, false, false);
  EXPECT_EQ(button->GlyphSize(), (TPoint{16, 16}));
  EXPECT_EQ(r.Caption.Left - r.Glyph.Right, button->Spacing());
  EXPECT_EQ(r.Glyph.Top, (client.Height() - 16) / 2);
  // Margin from the edge the glyph faces, for each layout.
  button->SetMargin(3);
  EXPECT_EQ(button->CalcButtonLayout(measure, client, false, false).Glyph.Left, 3);
  button->SetLayout(blGlyphRight);
  EXPECT_EQ(button->CalcButtonLayout(measure, client, false, false).Glyph.Right, client.Right - 3);
  button->SetLayout(blGlyphTop);
  EXPECT_EQ(button->CalcButtonLayout(measure, client, false, false).Glyph.Top, 3);
  button->SetLayout(blGlyphBottom);
  EXPECT_EQ(button->CalcButtonLayout(measure, client, false, false).Glyph.Bottom,
            client.Bottom - 3);
  // Without a margin, Alignment places the pair along the row.
  button->SetMargin(-1);
  button->SetLayout(blGlyphLeft);
  button->SetAlignment(taLeftJustify);
  EXPECT_EQ(button->CalcButtonLayout(measure, client, false, false).Glyph.Left, 0);
  button->SetAlignment(taRightJustify);
  r = button->CalcButtonLayout(measure, client, false, false);
  EXPECT_EQ(r.Caption.Right, client.Right);
  (void)canvas;
}

TEST_F(SkinSupport, KindGlyphDrawsOnABitmap) {
  button->SetKind(bkOK);
  TBitmap b(16, 16);
  b.Canvas().Brush().SetColor(clWhite);
  b.Canvas().FillRect(Rect(0, 0, 16, 16));
  button->DrawGlyph(b.Canvas(), Rect(0, 0, 16, 16));
  int green = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const TColor c = b.Canvas().Pixel(x, y);
      green += GetGValue(c) > GetRValue(c) + 40;
    }
  EXPECT_GT(green, 8);
}

TEST_F(SkinSupport, FocusFrameCanBeSwitchedOff) {
  button->SetFocus();
  PumpFor(10);
  auto dotted = [&] {
    const QImage img = button->Handle()->grab().toImage();
    int dark = 0;
    for (int y = 3; y < 8; ++y)
      for (int x = 8; x < 56; ++x) dark += PixelOf(img, x, y) == ColorToRGB(clWindowText);
    return dark;
  };
  EXPECT_GT(dotted(), 5);
  button->SetShowFocusFrame(false);
  PumpFor(10);
  EXPECT_EQ(dotted(), 0);
}

TEST_F(SkinSupport, CancelModeAbandonsAPressAndLeavesTheControl) {
  int clicks = 0, leaves = 0;
  button->OnClick = TNotifyEvent([&](TObject*) { ++clicks; });
  button->OnMouseLeave = TNotifyEvent([&](TObject*) { ++leaves; });
  Application->SetMouseControl(button);
  QTest::mousePress(button->Handle(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  EXPECT_TRUE(button->Pushed());
  // A modal window opens: the press is off and no click follows.
  TForm dialog(nullptr);
  QTimer::singleShot(0, dialog.Handle(), [&] { dialog.SetModalResult(mrOk); });
  dialog.ShowModal();
  EXPECT_EQ(button->cancels, 1);
  EXPECT_EQ(leaves, 1);
  EXPECT_FALSE(button->Pushed());
  EXPECT_EQ(Application->MouseControl(), nullptr);
  QTest::mouseRelease(button->Handle(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  EXPECT_EQ(clicks, 0);
  // The form losing activation cancels the pointer's control in it only.
  Application->SetMouseControl(button);
  TForm other(nullptr);
  Application->CancelMode(&other);
  EXPECT_EQ(button->cancels, 1);
  form->Perform(WM_ACTIVATE, WA_ACTIVE);
  form->Perform(WM_ACTIVATE, WA_INACTIVE);
  EXPECT_EQ(button->cancels, 2);
}
