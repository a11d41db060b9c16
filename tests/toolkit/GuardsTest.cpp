// Scope guards, and the clean-ups of painting and aligning that rely on them:
// a handler that throws leaves no canvas locked or attached, no painter state
// changed and no flag set behind it.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <future>
#include <memory>
#include <stdexcept>
#include <string>

#include "toolkit/Controls.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Forms.h"
#include "toolkit/Guards.h"
#include "toolkit/StdCtrls.h"

namespace {

TEST(GuardsTest, ScopeExitUndoesOnEveryWayOut) {
  int undone = 0;
  {
    const TScopeExit undo([&] { ++undone; });
  }
  EXPECT_EQ(undone, 1);
  EXPECT_THROW(
      {
        const TScopeExit undo([&] { ++undone; });
        throw std::runtime_error("body");
      },
      std::runtime_error);
  EXPECT_EQ(undone, 2);
  {
    TScopeExit undo([&] { ++undone; });
    undo.Dismiss();
  }
  EXPECT_EQ(undone, 2);
}

TEST(GuardsTest, TheFirstErrorWinsOverAnUndoThatFailsToo) {
  // Unwinding: the body's error comes out, the undo's is dropped.
  try {
    const TScopeExit undo([] { throw std::logic_error("undo"); });
    throw std::runtime_error("body");
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "body");
  } catch (...) {
    ADD_FAILURE() << "the undo's error replaced the body's";
  }
  // A normal exit: the undo's error is the caller's to see.
  EXPECT_THROW({ const TScopeExit undo([] { throw std::logic_error("undo"); }); },
               std::logic_error);
}

TEST(GuardsTest, ValueScopesGiveTheOldValueBackWhenNested) {
  bool flag = false;
  {
    const TFlagScope outer(flag);
    EXPECT_TRUE(flag);
    { const TFlagScope inner(flag); }
    // The inner scope gives back what it found: still set.
    EXPECT_TRUE(flag);
  }
  EXPECT_FALSE(flag);
  std::string text = "before";
  try {
    const TValueScope<std::string> scope(text, "during");
    EXPECT_EQ(text, "during");
    throw std::runtime_error("x");
  } catch (const std::runtime_error&) {
    // Thrown only to leave the scope by an exception.
  }
  EXPECT_EQ(text, "before");
}

// Whether another thread can take the canvas's lock right now (the lock is
// recursive, so the painting thread itself always could).
bool LockableElsewhere(TCanvas& canvas) {
  return std::async(std::launch::async,
                    [&canvas] {
                      if (!canvas.TryLock()) return false;
                      canvas.Unlock();
                      return true;
                    })
      .get();
}

class TThrowingProbe : public TGraphicControl {
 public:
  using TGraphicControl::TGraphicControl;
  bool locked_while_painting = false;

 protected:
  void Paint() override {
    locked_while_painting = !LockableElsewhere(Canvas());
    Canvas().Brush().SetColor(clRed);
    Canvas().FillRect(ClientRect());
    throw std::runtime_error("paint");
  }
};

class TThrowingCustom : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;

 protected:
  void Paint() override { throw std::runtime_error("paint"); }
};

TEST(GuardsTest, APaintThatThrowsLeavesCanvasAndPainterAsTheyWere) {
  Application->Initialize();
  auto form = std::make_unique<TForm>(nullptr);
  form->SetClientSize(100, 100);
  auto* probe = new TThrowingProbe(form.get());
  probe->SetParent(form.get());
  probe->SetBounds(10, 10, 30, 30);

  QImage image(100, 100, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  const auto dc = reinterpret_cast<std::uintptr_t>(&painter);

  // Straight to the control: its canvas is released.
  EXPECT_THROW(probe->Perform(WM_PAINT, dc), std::runtime_error);
  EXPECT_TRUE(probe->locked_while_painting);
  EXPECT_EQ(probe->Canvas().Painter(), nullptr);
  EXPECT_TRUE(LockableElsewhere(probe->Canvas()));

  // Through the parent: the painter's offset and clip for the child are undone.
  EXPECT_THROW(form->Perform(WM_PAINT, dc), std::runtime_error);
  EXPECT_TRUE(painter.transform().isIdentity());
  EXPECT_FALSE(painter.hasClipping());
  EXPECT_TRUE(LockableElsewhere(probe->Canvas()));

  // A windowed control painting on its own canvas, left out of a clip.
  auto* custom = new TThrowingCustom(form.get());
  custom->SetParent(form.get());
  custom->SetBounds(50, 50, 30, 30);
  EXPECT_THROW(custom->Perform(WM_PAINT, dc), std::runtime_error);
  EXPECT_FALSE(painter.hasClipping());
  EXPECT_EQ(custom->Canvas().Painter(), nullptr);
  EXPECT_TRUE(LockableElsewhere(custom->Canvas()));
}

class TFailingAlignPanel : public TPanel {
 public:
  using TPanel::TPanel;
  int failures_left = 0;

 protected:
  void AlignControls(TControl* control, TRect& rect) override {
    if (failures_left > 0) {
      --failures_left;
      throw std::runtime_error("align");
    }
    TPanel::AlignControls(control, rect);
  }
};

TEST(GuardsTest, AlignmentRunsAgainAfterOneThatFailed) {
  Application->Initialize();
  auto form = std::make_unique<TForm>(nullptr);
  auto* panel = new TFailingAlignPanel(form.get());
  panel->SetParent(form.get());
  panel->SetBevelOuter(bvNone);
  panel->SetBounds(0, 0, 100, 100);
  auto* child = new TPanel(form.get());
  child->SetParent(panel);
  child->SetAlign(alClient);
  EXPECT_EQ(child->BoundsRect(), Bounds(0, 0, 100, 100));

  panel->failures_left = 1;
  EXPECT_THROW(panel->SetBounds(0, 0, 120, 80), std::runtime_error);
  panel->Realign();
  EXPECT_EQ(child->BoundsRect(), Bounds(0, 0, 120, 80));
}

TEST(GuardsTest, EraseLeavesOutOpaqueChildrenAndRestoresThePainter) {
  Application->Initialize();
  auto form = std::make_unique<TForm>(nullptr);
  auto* panel = new TPanel(form.get());
  panel->SetParent(form.get());
  panel->SetBevelOuter(bvNone);
  panel->SetColor(clBlue);
  panel->SetBounds(0, 0, 40, 40);
  auto* opaque = new TThrowingProbe(form.get());
  opaque->SetParent(panel);
  opaque->SetBounds(0, 0, 20, 20);
  opaque->SetControlStyle(opaque->ControlStyle() | csOpaque);

  QImage image(40, 40, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    EXPECT_EQ(panel->Perform(WM_ERASEBKGND, reinterpret_cast<std::uintptr_t>(&painter)), 1);
    EXPECT_FALSE(painter.hasClipping());
  }
  EXPECT_EQ(image.pixelColor(5, 5), QColor(Qt::white));
  EXPECT_EQ(image.pixelColor(30, 30), QColor(0, 0, 255));
}

TEST(GuardsTest, ErrorsFromQtCallbacksReachTheApplicationsHandler) {
  Application->Initialize();
  TObject* source = nullptr;
  std::string reported;
  Application->OnException = TExceptionEvent(
      [&](TObject* sender, const std::exception& e) {
        source = sender;
        reported = e.what();
      },
      nullptr);
  TComponent sender(nullptr);
  ReportExceptions(&sender, [] { throw std::runtime_error("callback failed"); });
  EXPECT_EQ(source, &sender);
  EXPECT_EQ(reported, "callback failed");

  // A Qt signal: the edit's text change runs OnChange, whose error must not
  // unwind through Qt.
  auto form = std::make_unique<TForm>(nullptr);
  auto* edit = new TEdit(form.get());
  edit->SetParent(form.get());
  edit->OnChange = TNotifyEvent([](TObject*) { throw std::runtime_error("change failed"); });
  edit->SetText("x");
  Application->OnException = nullptr;
  EXPECT_EQ(source, edit);
  EXPECT_EQ(reported, "change failed");
}

TEST(GuardsTest, AModalShowThatFailsLeavesTheFormHiddenModelessAndReusable) {
  Application->Initialize();
  auto form = std::make_unique<TForm>(nullptr);
  bool fail = true;
  form->OnShow = TNotifyEvent([&](TObject*) {
    if (fail) throw std::runtime_error("show failed");
    form->SetModalResult(mrOk);
  });
  EXPECT_THROW(form->ShowModal(), std::runtime_error);
  EXPECT_FALSE(form->Visible());
  EXPECT_EQ(form->FormState() & fsModal, 0);
  EXPECT_EQ(form->Handle()->windowModality(), Qt::NonModal);
  fail = false;
  EXPECT_EQ(form->ShowModal(), mrOk);
  EXPECT_FALSE(form->Visible());
  EXPECT_EQ(form->Handle()->windowModality(), Qt::NonModal);
}

}  // namespace
