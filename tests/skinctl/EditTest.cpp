// The skinned edit-like controls: the edit's and the combo box's frames from
// their sections, the combo box's button glyph for its state, its list's
// notifications and item height, the memo's frame handler with its place for
// the scroll bars, the section's colours, and the plain look back on DropSkin.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include "SkinCtlTestUtil.h"
#include "platform/SystemMetrics.h"
#include "skin/sComboBox.h"
#include "skin/sEdit.h"
#include "skin/sMemo.h"
#include "skin/sPanel.h"

using namespace skinctltest;

namespace {

class Edits : public SkinFixture {
 protected:
  void SetUp() override {
    SkinFixture::SetUp();
    panel = AddPanel(form, form, "PANEL", Bounds(0, 0, 320, 240));
    edit = new TsEdit(form);
    edit->SetParent(panel);
    edit->SetBounds(86, 6, 205, 21);
    edit->SkinData()->SetSkinSection("EDIT");
    edit->SetText("127.0.0.1");
    combo = new TsComboBox(form);
    combo->SetParent(panel);
    combo->SetBounds(7, 44, 82, 21);
    combo->SkinData()->SetSkinSection("COMBOBOX");
    combo->SetItemHeight(13);
    for (const char* item : {"56 Byte", "64 Byte", "128 Byte"}) combo->Items().Add(item);
    combo->SetItemIndex(0);
    memo = new TsMemo(form);
    memo->SetParent(panel);
    memo->SetBounds(1, 80, 300, 120);
    memo->SkinData()->SetSkinSection("EDIT");
    memo->SetScrollBars(TScrollStyle::ssVertical);
    form->Show();
    // A refresh gives the edit-like controls the section's colours.
    manager->RepaintForms();
    Pump(30);
  }
  // The frame's pixels on the screen are the cache's.
  void ExpectFrameFromCache(TWinControl* c, TsCommonData* d) {
    const QImage shot = Grab(c);
    TBitmap& cache = d->CacheBmp();
    ASSERT_EQ(cache.Width(), c->Width());
    const TRect nc = c->FrameMargins();
    for (int y = 0; y < c->Height(); ++y) {
      for (int x = 0; x < c->Width(); ++x) {
        const bool frame =
            x < nc.Left || y < nc.Top || x >= c->Width() - nc.Right || y >= c->Height() - nc.Bottom;
        if (!frame) continue;
        ASSERT_EQ(PixelOf(shot, x, y), PixelOf(cache, x, y)) << x << "," << y;
      }
    }
  }
  TColor Master(int x, int y) {
    return LoadPixel(SourcePixelsOf(*Model().MasterBitmap()).At(x, y));
  }

  TsPanel* panel = nullptr;
  TsEdit* edit = nullptr;
  TsComboBox* combo = nullptr;
  TsMemo* memo = nullptr;
};

}  // namespace

TEST_F(Edits, EditComboAndMemoFramesComeFromTheirSections) {
  ExpectFrameFromCache(edit, edit->SkinData());
  ExpectFrameFromCache(combo, combo->SkinData());
  ExpectFrameFromCache(memo, memo->SkinData());
  // The "EDIT" mask's outer edge over the panel: the corners are the
  // panel's, the edges the mask's (45, 45 is the frame's top-left).
  TBitmap& cache = edit->SkinData()->CacheBmp();
  EXPECT_EQ(PixelOf(cache, 0, 0), PixelOf(panel->SkinData()->CacheBmp(), 86, 6));
  EXPECT_EQ(PixelOf(cache, 10, 0), Master(45 + 10, 45));
  EXPECT_EQ(PixelOf(cache, 10, 1), Master(45 + 10, 46));
  // The field inside is the section's colour, and the editor's.
  EXPECT_EQ(PixelOf(cache, 100, 10), 0x494E49);
  EXPECT_EQ(edit->Color(), 0x494E49);
  EXPECT_EQ(edit->Font().Color(), 13816530);
}

TEST_F(Edits, ComboButtonGlyphFollowsItsState) {
  const int sbw = platform::GetSystemMetrics(platform::SM_CXVSCROLL);
  EXPECT_EQ(combo->ButtonRect(), Rect(82 - sbw - 3, 2, 82 - 3, 19));
  // The editor sits left of the button, inside the frame.
  QLineEdit* le = combo->Editor()->lineEdit();
  ASSERT_NE(le, nullptr);
  EXPECT_LE(le->geometry().right(), combo->ButtonRect().Left);
  EXPECT_GE(le->geometry().left(), 2);
  auto expect_glyph = [&](int frame) {
    combo->SkinData()->EnsureCache();
    ASSERT_EQ(combo->ButtonState(), frame);
    TBitmap& cache = combo->SkinData()->CacheBmp();
    const TRect b = combo->ButtonRect();
    const int gx = b.Left + (b.Width() - 15) / 2, gy = (21 - 18) / 2;
    int checked = 0;
    for (int j = 0; j < 18; ++j) {
      for (int i = 0; i < 15; ++i) {
        const TColor m = Master(frame * 15 + i, 151 + j);
        if (m == 0xFF00FF) continue;
        ASSERT_EQ(PixelOf(cache, gx + i, gy + j), m) << frame << ":" << i << "," << j;
        ++checked;
      }
    }
    EXPECT_GT(checked, 20);
  };
  expect_glyph(0);
  combo->Perform(CM_MOUSEENTER);
  expect_glyph(1);
  combo->Perform(CM_MOUSELEAVE);
  expect_glyph(0);
  combo->SetFocus();
  expect_glyph(1);
  int drops = 0, closes = 0;
  combo->OnDropDown = TNotifyEvent([&](TObject*) { ++drops; });
  combo->OnCloseUp = TNotifyEvent([&](TObject*) { ++closes; });
  combo->SetDroppedDown(true);
  Pump(20);
  EXPECT_TRUE(combo->ListShowing());
  EXPECT_EQ(drops, 1);
  expect_glyph(2);
  // The screen shows it too.
  const QImage shot = Grab(combo);
  TBitmap& cache = combo->SkinData()->CacheBmp();
  const TRect b = combo->ButtonRect();
  for (int y = b.Top; y < b.Bottom; ++y)
    for (int x = b.Left; x < b.Right; ++x) ASSERT_EQ(PixelOf(shot, x, y), PixelOf(cache, x, y));
  combo->SetDroppedDown(false);
  Pump(20);
  EXPECT_EQ(closes, 1);
  expect_glyph(1);
}

TEST_F(Edits, ComboListRowsAreTheItemHeight) {
  QAbstractItemView* view = combo->Editor()->view();
  const QModelIndex first = view->model()->index(0, 0);
  EXPECT_EQ(view->sizeHintForIndex(first).height(), 13);
  combo->SetItemHeight(20);
  EXPECT_EQ(view->sizeHintForIndex(first).height(), 20);
}

TEST_F(Edits, ClickOnTheButtonDropsTheListDown) {
  const TRect b = combo->ButtonRect();
  QTest::mouseClick(combo->Handle(), Qt::LeftButton, Qt::NoModifier,
                    QPoint((b.Left + b.Right) / 2, 10));
  Pump(20);
  EXPECT_TRUE(combo->DroppedDown());
  combo->SetDroppedDown(false);
  Pump(20);
  EXPECT_FALSE(combo->ListShowing());
  EXPECT_TRUE(combo->Focused());
}

TEST_F(Edits, MemoFrameHandlerAndScrollBarsComeWithTheSkinAndGoWithIt) {
  ASSERT_NE(memo->Frame(), nullptr);
  EXPECT_TRUE(memo->Frame()->Attached());
  EXPECT_EQ(memo->WindowProc().Data(), memo->Frame());
  TsScrollBar* bar = memo->Frame()->ScrollBar(SB_VERT);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(ScrollBarHandler(memo, SB_VERT), bar);
  // The log works as before with the handler in its chain.
  memo->Lines().Add("Resolving host '127.0.0.1'");
  memo->AppendText("typed");
  EXPECT_EQ(memo->Text(), "Resolving host '127.0.0.1'\r\ntyped");
  memo->Clear();
  EXPECT_EQ(memo->Lines().Count(), 0);

  manager->SetActive(false);
  Pump(20);
  EXPECT_EQ(memo->Frame(), nullptr);
  EXPECT_EQ(memo->WindowProc().Data(), memo);
  EXPECT_EQ(ScrollBarHandler(memo, SB_VERT), nullptr);
  EXPECT_EQ(memo->Color(), clWindow);
  // The plain sunken frame is back.
  const QImage plain = Grab(memo);
  EXPECT_EQ(PixelOf(plain, 10, 0), ColorToRGB(clBtnShadow));
  EXPECT_EQ(PixelOf(plain, 10, 119), ColorToRGB(clBtnHighlight));

  manager->SetActive(true);
  Pump(20);
  ASSERT_NE(memo->Frame(), nullptr);
  ASSERT_NE(memo->Frame()->ScrollBar(SB_VERT), nullptr);
  EXPECT_EQ(ScrollBarHandler(memo, SB_VERT), memo->Frame()->ScrollBar(SB_VERT));
  EXPECT_EQ(memo->Color(), 0x494E49);
  ExpectFrameFromCache(memo, memo->SkinData());
  delete memo;
  memo = nullptr;
}

TEST_F(Edits, DropSkinGivesThePlainLookAndColoursBackUnlessCustom) {
  combo->SkinData()->SetCustomColor(true);
  combo->SetColor(0x102030);
  manager->SetActive(false);
  Pump(20);
  EXPECT_EQ(edit->Color(), clWindow);
  EXPECT_EQ(edit->Font().Color(), clWindowText);
  EXPECT_EQ(combo->Color(), 0x102030);
  EXPECT_EQ(combo->Font().Color(), clWindowText);
  EXPECT_EQ(PixelOf(Grab(edit), 10, 0), ColorToRGB(clBtnShadow));
  // The plain combo box: the toolkit's button face.
  const QImage plain = Grab(combo);
  const TRect b = combo->ButtonRect();
  EXPECT_EQ(PixelOf(plain, b.Left + 4, b.Top + 4), ColorToRGB(clBtnFace));

  manager->SetActive(true);
  Pump(20);
  EXPECT_EQ(edit->Color(), 0x494E49);
  EXPECT_EQ(edit->Font().Color(), 13816530);
  EXPECT_EQ(combo->Color(), 0x102030);
  ExpectFrameFromCache(edit, edit->SkinData());
  combo->SkinData()->SetCustomColor(false);
  EXPECT_EQ(combo->Color(), 0x494E49);
}

TEST_F(Edits, HoverStaysWhileThePointerCrossesTheInnerWidgets) {
  int leaves = 0, enters = 0;
  combo->OnMouseLeave = TNotifyEvent([&](TObject*) { ++leaves; });
  combo->OnMouseEnter = TNotifyEvent([&](TObject*) { ++enters; });
  QWidget* box = combo->Handle();
  QLineEdit* le = combo->Editor()->lineEdit();
  const TRect b = combo->ButtonRect();
  QTest::mouseMove(box, QPoint((b.Left + b.Right) / 2, 10));
  Pump(10);
  EXPECT_TRUE(combo->SkinData()->MouseAbove());
  EXPECT_EQ(enters, 1);
  for (int i = 0; i < 3; ++i) {
    QTest::mouseMove(le, QPoint(10, 5));
    Pump(10);
    QTest::mouseMove(box, QPoint((b.Left + b.Right) / 2, 10));
    Pump(10);
  }
  EXPECT_EQ(leaves, 0);
  EXPECT_EQ(enters, 1);
  EXPECT_TRUE(combo->SkinData()->MouseAbove());
  EXPECT_EQ(combo->ButtonState(), 1);
  // Off the box: it leaves once.
  QTest::mouseMove(panel->Handle(), QPoint(200, 230));
  Pump(10);
  EXPECT_EQ(leaves, 1);
  EXPECT_FALSE(combo->SkinData()->MouseAbove());
  // The memo's viewport likewise.
  int memo_leaves = 0;
  memo->OnMouseLeave = TNotifyEvent([&](TObject*) { ++memo_leaves; });
  QTest::mouseMove(memo->Handle(), QPoint(1, 60));
  QTest::mouseMove(memo->Editor()->viewport(), QPoint(30, 30));
  QTest::mouseMove(memo->Handle(), QPoint(1, 60));
  Pump(10);
  EXPECT_EQ(memo_leaves, 0);
  EXPECT_TRUE(memo->SkinData()->MouseAbove());
}
