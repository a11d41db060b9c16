#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

#include "toolkit/Controls.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Forms.h"
#include "toolkit/StdCtrls.h"

namespace {

class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override { Application->Initialize(); }
};

// A windowless control that records what it is told.
class TProbe : public TGraphicControl {
 public:
  explicit TProbe(TComponent* owner, std::vector<std::string>* log = nullptr, TColor fill = clRed)
      : TGraphicControl(owner), log_(log), fill_(fill) {}
  void SetOpaque(bool opaque) {
    SetControlStyle(opaque ? ControlStyle() | csOpaque : ControlStyle() & ~csOpaque);
  }
  int paints = 0;

 protected:
  void Paint() override {
    ++paints;
    if (log_) log_->push_back(Name());
    Canvas().Brush().SetColor(fill_);
    Canvas().FillRect(ClientRect());
  }

 private:
  std::vector<std::string>* log_;
  TColor fill_;
};

class TPaintLogPanel : public TPanel {
 public:
  TPaintLogPanel(TComponent* owner, std::vector<std::string>* log) : TPanel(owner), log_(log) {}

 protected:
  void Paint() override {
    log_->push_back(Name());
    TPanel::Paint();
  }

 private:
  std::vector<std::string>* log_;
};

TEST_F(ControlsTest, TopBottomAndClientStackByPositionAndFillTheRest) {
  auto form = std::make_unique<TForm>(nullptr);
  form->SetClientSize(431, 503);
  form->BeginLoading();
  auto make = [&](const char* name, TAlign align, int top, int height) {
    auto* p = new TPanel(form.get());
    p->SetName(name);
    p->SetParent(form.get());
    p->SetBounds(0, top, 431, height);
    p->SetAlign(align);
    return p;
  };
  // Created in an order that differs from the stacking, as stored settings may be.
  TPanel* p1 = make("p1", alTop, 0, 73);
  TPanel* p3 = make("p3", alClient, 73, 263);
  TPanel* p4 = make("p4", alBottom, 336, 100);
  TPanel* p2 = make("p2", alBottom, 436, 67);
  form->EndLoading();
  EXPECT_EQ(p1->BoundsRect(), Bounds(0, 0, 431, 73));
  EXPECT_EQ(p3->BoundsRect(), Bounds(0, 73, 431, 263));
  EXPECT_EQ(p4->BoundsRect(), Bounds(0, 336, 431, 100));
  EXPECT_EQ(p2->BoundsRect(), Bounds(0, 436, 431, 67));

  // Growing the window: only the client panel grows.
  form->SetClientSize(531, 603);
  EXPECT_EQ(p1->BoundsRect(), Bounds(0, 0, 531, 73));
  EXPECT_EQ(p3->BoundsRect(), Bounds(0, 73, 531, 363));
  EXPECT_EQ(p4->BoundsRect(), Bounds(0, 436, 531, 100));
  EXPECT_EQ(p2->BoundsRect(), Bounds(0, 536, 531, 67));

  // A client child of a bevelled panel sits inside the bevel.
  auto* memo = new TMemo(form.get());
  memo->SetParent(p3);
  memo->SetAlign(alClient);
  EXPECT_EQ(memo->BoundsRect(), Bounds(1, 1, 529, 361));

  // Hiding an aligned control gives its room to the others.
  p1->Hide();
  EXPECT_EQ(p3->BoundsRect(), Bounds(0, 0, 531, 436));
}

TEST_F(ControlsTest, LeftRightAndAnchorsFollowTheParent) {
  auto form = std::make_unique<TForm>(nullptr);
  form->SetClientSize(200, 100);
  auto* left = new TPanel(form.get());
  left->SetParent(form.get());
  left->SetWidth(30);
  left->SetAlign(alLeft);
  auto* right = new TPanel(form.get());
  right->SetParent(form.get());
  right->SetWidth(20);
  right->SetAlign(alRight);
  auto* pinned = new TPanel(form.get());
  pinned->SetParent(form.get());
  pinned->SetBounds(100, 10, 50, 20);
  pinned->SetAnchors(akRight | akBottom);
  auto* stretched = new TPanel(form.get());
  stretched->SetParent(form.get());
  stretched->SetBounds(40, 40, 100, 20);
  stretched->SetAnchors(akLeft | akTop | akRight);
  EXPECT_EQ(left->BoundsRect(), Bounds(0, 0, 30, 100));
  EXPECT_EQ(right->BoundsRect(), Bounds(180, 0, 20, 100));
  form->SetClientSize(250, 130);
  EXPECT_EQ(right->BoundsRect(), Bounds(230, 0, 20, 130));
  EXPECT_EQ(pinned->BoundsRect(), Bounds(150, 40, 50, 20));
  EXPECT_EQ(stretched->BoundsRect(), Bounds(40, 40, 150, 20));
}

TEST_F(ControlsTest, OwnerFreesWhatItOwnsAndParentFreesItsChildren) {
  auto* form = new TForm(nullptr);
  auto* panel = new TPanel(form);
  panel->SetParent(form);
  auto* label = new TLabel(form);
  label->SetParent(panel);
  // A control owned by nobody but parented on the panel goes with the panel.
  auto* orphan = new TEdit(nullptr);
  orphan->SetParent(panel);
  QPointer<QWidget> orphan_widget = orphan->Handle();
  EXPECT_EQ(panel->ControlCount(), 2);
  EXPECT_EQ(form->ComponentCount(), 2);
  delete label;
  EXPECT_EQ(panel->ControlCount(), 1);
  EXPECT_EQ(form->ComponentCount(), 1);
  delete form;
  EXPECT_TRUE(orphan_widget.isNull());
}

TEST_F(ControlsTest, WindowProcCanBeTakenOverAndHandedBack) {
  auto form = std::make_unique<TForm>(nullptr);
  auto* panel = new TPanel(form.get());
  panel->SetParent(form.get());
  std::vector<std::uint32_t> seen;
  const TWndMethod old = panel->WindowProc();
  panel->SetWindowProc(TWndMethod([&](TMessage& m) {
    seen.push_back(m.Msg);
    if (m.Msg == WM_USER + 1) {
      m.Result = 42;
      return;
    }
    old(m);
  }));
  EXPECT_EQ(panel->Perform(WM_USER + 1), 42);
  panel->SetBounds(5, 6, 70, 80);
  // Sizing arrives as messages through the new chain.
  EXPECT_NE(std::find(seen.begin(), seen.end(), WM_SIZE), seen.end());
  EXPECT_NE(std::find(seen.begin(), seen.end(), WM_WINDOWPOSCHANGED), seen.end());
  EXPECT_EQ(panel->Width(), 70);
  panel->SetWindowProc(old);
  seen.clear();
  EXPECT_EQ(panel->Perform(WM_USER + 1), 0);
  EXPECT_TRUE(seen.empty());
}

TEST_F(ControlsTest, ParentPaintsItselfThenWindowlessChildrenLeavingOutOpaqueOnes) {
  std::vector<std::string> log;
  auto form = std::make_unique<TForm>(nullptr);
  form->SetClientSize(100, 60);
  auto* panel = new TPaintLogPanel(form.get(), &log);
  panel->SetName("panel");
  panel->SetParent(form.get());
  panel->SetBevelOuter(bvNone);
  panel->SetColor(clBlue);
  panel->SetBounds(0, 0, 100, 60);
  auto* a = new TProbe(form.get(), &log, clRed);
  a->SetName("a");
  a->SetParent(panel);
  a->SetBounds(10, 10, 20, 20);
  a->SetOpaque(true);
  auto* b = new TProbe(form.get(), &log, clLime);
  b->SetName("b");
  b->SetParent(panel);
  b->SetBounds(20, 20, 20, 20);
  const QImage img = panel->Handle()->grab().toImage();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[0], "panel");
  EXPECT_EQ(log[1], "a");
  EXPECT_EQ(log[2], "b");
  EXPECT_EQ(img.pixelColor(5, 5), QColor(0, 0, 255));
  EXPECT_EQ(img.pixelColor(12, 12), QColor(255, 0, 0));
  // The later child is painted over the earlier one.
  EXPECT_EQ(img.pixelColor(25, 25), QColor(0, 255, 0));

  // The opaque child's rectangle is left out of the parent's own paint.
  class TCountingPanel : public TPanel {
   public:
    using TPanel::TPanel;
    QRegion painted;

   protected:
    void PaintWindow(HDC dc) override {
      painted = dc->clipRegion();
      TPanel::PaintWindow(dc);
    }
  };
  auto* p2 = new TCountingPanel(form.get());
  p2->SetParent(form.get());
  p2->SetBounds(0, 0, 50, 50);
  auto* opaque = new TProbe(form.get());
  opaque->SetParent(p2);
  opaque->SetBounds(0, 0, 50, 25);
  opaque->SetOpaque(true);
  p2->Handle()->grab();
  EXPECT_FALSE(p2->painted.contains(QPoint(10, 10)));
  EXPECT_TRUE(p2->painted.contains(QPoint(10, 40)));
}

TEST_F(ControlsTest, GraphicChildGetsMouseMessagesAndClicks) {
  auto form = std::make_unique<TForm>(nullptr);
  form->SetClientSize(100, 100);
  auto* probe = new TProbe(form.get());
  probe->SetParent(form.get());
  probe->SetBounds(10, 10, 30, 30);
  int clicks = 0;
  std::vector<std::pair<int, int>> downs;
  probe->OnClick = TNotifyEvent([&](TObject*) { ++clicks; });
  probe->OnMouseDown = TMouseEvent(
      [&](TObject*, TMouseButton, TShiftState, int x, int y) { downs.emplace_back(x, y); });
  form->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(15, 20));
  form->Perform(WM_LBUTTONUP, 0, MakeLParam(16, 21));
  EXPECT_EQ(clicks, 1);
  ASSERT_EQ(downs.size(), 1u);
  EXPECT_EQ(downs[0], std::make_pair(5, 10));
  // Released outside: no click.
  form->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(15, 20));
  form->Perform(WM_LBUTTONUP, 0, MakeLParam(80, 80));
  EXPECT_EQ(clicks, 1);
}

TEST_F(ControlsTest, MouseEnterAndLeaveFollowThePointer) {
  auto form = std::make_unique<TForm>(nullptr);
  form->SetClientSize(100, 100);
  auto* probe = new TProbe(form.get());
  probe->SetParent(form.get());
  probe->SetBounds(10, 10, 30, 30);
  std::vector<std::string> events;
  probe->OnMouseEnter = TNotifyEvent([&](TObject*) { events.push_back("enter"); });
  probe->OnMouseLeave = TNotifyEvent([&](TObject*) { events.push_back("leave"); });
  form->Perform(WM_MOUSEMOVE, 0, MakeLParam(50, 50));
  form->Perform(WM_MOUSEMOVE, 0, MakeLParam(20, 20));
  form->Perform(WM_MOUSEMOVE, 0, MakeLParam(21, 20));
  form->Perform(WM_MOUSEMOVE, 0, MakeLParam(60, 60));
  EXPECT_EQ(events, (std::vector<std::string>{"enter", "leave"}));
  delete probe;
  EXPECT_NE(Application->MouseControl(), probe);
}

TEST_F(ControlsTest, FontsResolveToTheShippedFacesWithClassicMetrics) {
  TFont tahoma;
  tahoma.SetName("Tahoma");
  tahoma.SetHeight(-11);
  EXPECT_EQ(QFontInfo(tahoma.ToQFont()).family(), QStringLiteral("Tahoma"));
  TBitmap bmp(10, 10);
  bmp.Canvas().Font().Assign(tahoma);
  EXPECT_EQ(bmp.Canvas().TextHeight("Target Address:"), 13);
  EXPECT_EQ(tahoma.Metrics().Ascent, 11);
  EXPECT_EQ(tahoma.Metrics().Descent, 2);
  // A positive height is the cell height.
  TFont cell;
  cell.SetHeight(13);
  EXPECT_EQ(cell.Metrics().Height, 13);

  TFont sans;
  sans.SetName("MS Sans Serif");
  sans.SetHeight(-11);
  EXPECT_EQ(QFontInfo(sans.ToQFont()).family(), QStringLiteral("MS Sans Serif"));
  bmp.Canvas().Font().Assign(sans);
  EXPECT_EQ(bmp.Canvas().TextHeight("x"), 13);
}

TEST_F(ControlsTest, BitmapFaceGivesWayToTheScalableFaceForSizesAndStylesItLacks) {
  // MS Sans Serif is bitmap strikes of one weight: its own size stays on it,
  // a larger or a bold request is drawn by the scalable face at its size.
  TFont sans;
  sans.SetName("MS Sans Serif");
  sans.SetHeight(-11);
  EXPECT_EQ(QFontInfo(sans.ToQFont()).family(), QStringLiteral("MS Sans Serif"));

  TFont title;
  title.SetName("MS Sans Serif");
  title.SetHeight(-19);
  title.SetStyle(fsBold);
  const QFont big = title.ToQFont();
  EXPECT_EQ(QFontInfo(big).family(), QStringLiteral("Tahoma"));
  EXPECT_TRUE(QFontInfo(big).bold());
  EXPECT_EQ(big.pixelSize(), 19);
  TBitmap bmp(10, 10);
  bmp.Canvas().Font().Assign(title);
  EXPECT_GT(bmp.Canvas().TextHeight("Sonarix 1.0"), 19);
  EXPECT_GT(bmp.Canvas().TextWidth("Sonarix 1.0"), 90);

  TFont bold;
  bold.SetName("MS Sans Serif");
  bold.SetHeight(-11);
  bold.SetStyle(fsBold);
  EXPECT_EQ(QFontInfo(bold.ToQFont()).family(), QStringLiteral("Tahoma"));
}

TEST_F(ControlsTest, ErrorTextGetsAFullStopOnlyAfterCharactersSortingAfterIt) {
  EXPECT_EQ(TApplication::ExceptionText("Range check error"), "Range check error.");
  EXPECT_EQ(TApplication::ExceptionText("Done."), "Done.");
  EXPECT_EQ(TApplication::ExceptionText("Really!"), "Really!");
  EXPECT_EQ(TApplication::ExceptionText("(error #5)"), "(error #5)");
  EXPECT_EQ(TApplication::ExceptionText("error #5"), "error #5.");
  EXPECT_EQ(TApplication::ExceptionText("path /"), "path /.");
  EXPECT_EQ(TApplication::ExceptionText("a-"), "a-");
  EXPECT_EQ(TApplication::ExceptionText(""), "");
  EXPECT_EQ(TApplication::ExceptionText("caf\xE9"), "caf\xE9.");
}

TEST_F(ControlsTest, LabelSizesToItsText) {
  auto form = std::make_unique<TForm>(nullptr);
  auto* label = new TLabel(form.get());
  label->SetParent(form.get());
  label->SetCaption("Count:");
  EXPECT_EQ(label->Height(), 13);
  TBitmap bmp(1, 1);
  bmp.Canvas().Font().Assign(label->Font());
  EXPECT_EQ(label->Width(), bmp.Canvas().TextWidth("Count:"));
  // Right-justified labels keep their right edge.
  label->SetAlignment(taRightJustify);
  const int right = label->Left() + label->Width();
  label->SetCaption("A longer caption");
  EXPECT_EQ(label->Left() + label->Width(), right);
  // An empty caption, or a lone prefix character, measures as a blank.
  label->SetAlignment(taLeftJustify);
  label->SetCaption("&");
  const int blank = bmp.Canvas().TextWidth(" ");
  EXPECT_EQ(label->Width(), blank);
  label->SetCaption("");
  EXPECT_EQ(label->Width(), blank);
  label->SetShowAccelChar(false);
  label->SetCaption("&");
  EXPECT_EQ(label->Width(), bmp.Canvas().TextWidth("&"));
  // Right to left, a right-justified label keeps its left edge instead.
  label->SetShowAccelChar(true);
  label->SetCaption("Count:");
  label->SetAlignment(taRightJustify);
  label->SetBiDiMode(bdRightToLeft);
  EXPECT_TRUE(label->UseRightToLeftAlignment());
  const int left = label->Left();
  label->SetCaption("A longer caption");
  EXPECT_EQ(label->Left(), left);
}

TEST_F(ControlsTest, PropertyWritesOfTheCurrentValueDoNothing) {
  auto form = std::make_unique<TForm>(nullptr);
  auto* panel = new TPanel(form.get());
  panel->SetParent(form.get());
  int changes = 0;
  const TWndMethod old = panel->WindowProc();
  panel->SetWindowProc(TWndMethod([&](TMessage& m) {
    if (m.Msg == CM_COLORCHANGED || m.Msg == CM_TEXTCHANGED || m.Msg == WM_SIZE) ++changes;
    old(m);
  }));
  panel->SetColor(clRed);
  panel->SetCaption("x");
  panel->SetBounds(1, 2, 30, 40);
  EXPECT_EQ(changes, 3);
  panel->SetColor(clRed);
  panel->SetCaption("x");
  panel->SetBounds(1, 2, 30, 40);
  EXPECT_EQ(changes, 3);
  panel->SetWindowProc(old);
}

TEST_F(ControlsTest, ChildrenTakeTheParentFontUntilGivenTheirOwn) {
  auto form = std::make_unique<TForm>(nullptr);
  auto* panel = new TPanel(form.get());
  panel->SetParent(form.get());
  auto* edit = new TEdit(form.get());
  edit->SetParent(panel);
  form->Font().SetHeight(-15);
  EXPECT_EQ(edit->Font().Height(), -15);
  edit->Font().SetColor(RGB(1, 2, 3));
  EXPECT_FALSE(edit->ParentFont());
  form->Font().SetHeight(-11);
  EXPECT_EQ(edit->Font().Height(), -15);
}

}  // namespace
