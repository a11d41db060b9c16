// A window laid out like the main one, resized as the window system resizes
// it: aligned panels stack and fill, anchored controls keep their distances
// to the sides they are anchored to, and a window made small and then large
// again looks as it did.
#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

#include <memory>

#include "toolkit/Buttons.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Forms.h"
#include "toolkit/StdCtrls.h"

namespace {

class Resize : public ::testing::Test {
 protected:
  void SetUp() override {
    Application->Initialize();
    form = std::make_unique<TForm>(nullptr);
    form->SetClientSize(431, 503);
    form->BeginLoading();
    top = Panel(alTop, 0, 73);
    middle = Panel(alClient, 73, 263);
    scope = Panel(alBottom, 336, 100);
    buttons = Panel(alBottom, 436, 67);
    log = new TMemo(form.get());
    log->SetParent(middle);
    log->SetAlign(alClient);
    // An input pinned to the left, one stretched across, and a button kept
    // in the bottom-right corner of its row; a box that grows both ways.
    host = Child<TEdit>(top, Bounds(86, 6, 205, 21), akLeft | akTop);
    count = Child<TEdit>(top, Bounds(338, 6, 82, 21), akTop | akRight);
    wide = Child<TEdit>(top, Bounds(7, 44, 413, 21), akLeft | akTop | akRight);
    exit = Child<TBitBtn>(buttons, Bounds(359, 8, 65, 52), akRight | akBottom);
    chart = Child<TPanel>(scope, Bounds(10, 10, 411, 80), akLeft | akTop | akRight | akBottom);
    form->EndLoading();
    form->Show();
    Application->ProcessMessages();
  }
  TPanel* Panel(TAlign align, int y, int height) {
    auto* p = new TPanel(form.get());
    p->SetParent(form.get());
    p->SetBounds(0, y, 431, height);
    p->SetAlign(align);
    return p;
  }
  template <class T>
  T* Child(TWinControl* parent, const TRect& r, TAnchors anchors) {
    auto* c = new T(form.get());
    c->SetParent(parent);
    c->SetBoundsRect(r);
    c->SetAnchors(anchors);
    return c;
  }
  // The client resized as a user resizes the window.
  void ResizeClient(int width, int height) {
    const TRect m = form->FrameMargins();
    form->Handle()->resize(width + m.Left + m.Right, height + m.Top + m.Bottom);
    Application->ProcessMessages();
    ASSERT_EQ(form->ClientWidth(), width);
    ASSERT_EQ(form->ClientHeight(), height);
  }
  void ExpectLayout(int width, int height) {
    const int dx = width - 431, dy = height - 503;
    SCOPED_TRACE(testing::Message() << width << " x " << height);
    EXPECT_EQ(top->BoundsRect(), Bounds(0, 0, width, 73));
    EXPECT_EQ(middle->BoundsRect(), Bounds(0, 73, width, 263 + dy));
    EXPECT_EQ(scope->BoundsRect(), Bounds(0, 336 + dy, width, 100));
    EXPECT_EQ(buttons->BoundsRect(), Bounds(0, 436 + dy, width, 67));
    EXPECT_EQ(log->BoundsRect(), Bounds(1, 1, width - 2, 261 + dy)) << "inside the bevel";
    EXPECT_EQ(host->BoundsRect(), Bounds(86, 6, 205, 21));
    EXPECT_EQ(count->BoundsRect(), Bounds(338 + dx, 6, 82, 21));
    EXPECT_EQ(wide->BoundsRect(), Bounds(7, 44, 413 + dx, 21));
    EXPECT_EQ(exit->BoundsRect(), Bounds(359 + dx, 8, 65, 52));
    EXPECT_EQ(chart->BoundsRect(), Bounds(10, 10, 411 + dx, 80));
  }

  std::unique_ptr<TForm> form;
  TPanel *top = nullptr, *middle = nullptr, *scope = nullptr, *buttons = nullptr;
  TMemo* log = nullptr;
  TEdit *host = nullptr, *count = nullptr, *wide = nullptr;
  TBitBtn* exit = nullptr;
  TPanel* chart = nullptr;
};

TEST_F(Resize, AlignedPanelsAndAnchoredControlsFollowTheWindow) {
  ExpectLayout(431, 503);
  // Larger, then larger one way and smaller the other, then back: each step
  // moves what is anchored by that step alone.
  for (const auto& [w, h] : {std::pair{531, 603}, {481, 553}, {400, 700}, {431, 503}}) {
    ResizeClient(w, h);
    ExpectLayout(w, h);
  }
  // The bottom panel's own child anchored on all four sides grows with the
  // panel when the panel alone grows.
  scope->SetHeight(130);
  EXPECT_EQ(chart->BoundsRect(), Bounds(10, 10, 411, 110));
  scope->SetHeight(100);
  ExpectLayout(431, 503);
}

TEST_F(Resize, AWindowMadeSmallerThanItsPanelsAndLargeAgainLooksAsItDid) {
  // Less room than the fixed panels take: the log has none left, and
  // nothing gets a negative size.
  ResizeClient(60, 200);
  EXPECT_EQ(middle->Height(), 0);
  EXPECT_EQ(log->Height(), 0);
  EXPECT_GE(buttons->Top(), 0);
  ResizeClient(431, 503);
  ExpectLayout(431, 503);
  // Maximised and restored.
  form->SetWindowState(wsMaximized);
  Application->ProcessMessages();
  ExpectLayout(form->ClientWidth(), form->ClientHeight());
  form->SetWindowState(wsNormal);
  Application->ProcessMessages();
  ExpectLayout(431, 503);
}

}  // namespace
