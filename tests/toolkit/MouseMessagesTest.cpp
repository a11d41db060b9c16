// Mouse messages: one table says which button does what, for the messages a
// control receives and for those the widget bridge makes from Qt's events.
#include <gtest/gtest.h>

#include <QTest>

#include <memory>
#include <vector>

#include "toolkit/Buttons.h"
#include "toolkit/Controls.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Forms.h"
#include "toolkit/StdCtrls.h"

namespace {

TEST(MouseMessagesTest, EveryButtonAndActionHasItsOwnMessageAndDecodesBack) {
  std::vector<std::uint32_t> numbers;
  for (TMouseAction action : {maDown, maUp, maDoubleClick}) {
    for (TMouseButton button : {mbLeft, mbRight, mbMiddle}) {
      const std::uint32_t msg = MouseMessageNumber(action, button);
      numbers.push_back(msg);
      const auto mouse = DecodeMouseMessage(TMessage{msg, 0, MakeLParam(-3, 70000), 0});
      ASSERT_TRUE(mouse.has_value()) << msg;
      EXPECT_EQ(mouse->Action, action);
      EXPECT_EQ(mouse->Button, button);
      // Coordinates are signed 16-bit values.
      EXPECT_EQ(mouse->Pos, (TPoint{-3, static_cast<std::int16_t>(70000 & 0xFFFF)}));
    }
  }
  std::sort(numbers.begin(), numbers.end());
  EXPECT_EQ(std::unique(numbers.begin(), numbers.end()), numbers.end());
  EXPECT_EQ(MouseMessageNumber(maDown, mbRight), WM_RBUTTONDOWN);
  EXPECT_EQ(MouseMessageNumber(maDoubleClick, mbMiddle), WM_MBUTTONDBLCLK);
  EXPECT_EQ(MouseMessageNumber(maMove, mbRight), WM_MOUSEMOVE);

  const auto move = DecodeMouseMessage(TMessage{WM_MOUSEMOVE, MK_SHIFT | MK_LBUTTON, 0, 0});
  ASSERT_TRUE(move.has_value());
  EXPECT_EQ(move->Action, maMove);
  EXPECT_EQ(move->Shift, ssShift | ssLeft);
  const auto dbl = DecodeMouseMessage(TMessage{WM_LBUTTONDBLCLK, MK_CONTROL, 0, 0});
  ASSERT_TRUE(dbl.has_value());
  EXPECT_EQ(dbl->Shift, ssCtrl | ssDouble);

  EXPECT_FALSE(DecodeMouseMessage(TMessage{WM_PAINT, 0, 0, 0}).has_value());
  EXPECT_FALSE(DecodeMouseMessage(TMessage{WM_KEYDOWN, 0, 0, 0}).has_value());
}

// A windowless control that keeps what its mouse handlers are told.
class TMouseProbe : public TGraphicControl {
 public:
  using TGraphicControl::TGraphicControl;
  struct Event {
    char kind;
    TMouseButton button;
    TShiftState shift;
    int x, y;
    bool operator==(const Event&) const = default;
  };
  std::vector<Event> events;

 protected:
  void MouseDown(TMouseButton b, TShiftState s, int x, int y) override {
    events.push_back({'d', b, s, x, y});
  }
  void MouseUp(TMouseButton b, TShiftState s, int x, int y) override {
    events.push_back({'u', b, s, x, y});
  }
};

TEST(MouseMessagesTest, ACapturingChildGetsTheReleaseOutsideItAndOnlyTheLeftButtonClicks) {
  Application->Initialize();
  auto form = std::make_unique<TForm>(nullptr);
  form->SetClientSize(100, 100);
  auto* probe = new TMouseProbe(form.get());
  probe->SetParent(form.get());
  probe->SetBounds(10, 10, 30, 30);
  probe->SetControlStyle(probe->ControlStyle() | csCaptureMouse);
  int clicks = 0, double_clicks = 0;
  probe->OnClick = TNotifyEvent([&](TObject*) { ++clicks; });
  probe->OnDblClick = TNotifyEvent([&](TObject*) { ++double_clicks; });

  // Pressed inside, released far outside: the child still gets the release,
  // in its own coordinates, and no click.
  form->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(15, 15));
  form->Perform(WM_LBUTTONUP, 0, MakeLParam(80, 90));
  ASSERT_EQ(probe->events.size(), 2u);
  EXPECT_EQ(probe->events[1], (TMouseProbe::Event{'u', mbLeft, 0, 70, 80}));
  EXPECT_EQ(clicks, 0);

  // The right button presses and releases but does not click.
  form->Perform(WM_RBUTTONDOWN, MK_RBUTTON, MakeLParam(20, 20));
  form->Perform(WM_RBUTTONUP, 0, MakeLParam(20, 20));
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(probe->events[2], (TMouseProbe::Event{'d', mbRight, ssRight, 10, 10}));

  // A double click: the event, then a press marked ssDouble.
  form->Perform(WM_LBUTTONDBLCLK, MK_LBUTTON, MakeLParam(20, 20));
  EXPECT_EQ(double_clicks, 1);
  EXPECT_EQ(probe->events.back(), (TMouseProbe::Event{'d', mbLeft, ssLeft | ssDouble, 10, 10}));
  form->Perform(WM_LBUTTONUP, 0, MakeLParam(20, 20));
  EXPECT_EQ(clicks, 1);
}

TEST(MouseMessagesTest, QtMouseEventsArriveAsTheMatchingMessages) {
  Application->Initialize();
  auto form = std::make_unique<TForm>(nullptr);
  form->SetClientSize(100, 100);
  auto* panel = new TPanel(form.get());
  panel->SetParent(form.get());
  panel->SetBounds(0, 0, 100, 100);
  panel->SetBorderStyle(TBorderStyle::bsSingle);
  form->Show();
  std::vector<std::pair<std::uint32_t, TPoint>> seen;
  const TWndMethod old = panel->WindowProc();
  panel->SetWindowProc(TWndMethod([&](TMessage& m) {
    if (const auto mouse = DecodeMouseMessage(m); mouse && mouse->Action != maMove)
      seen.emplace_back(m.Msg, mouse->Pos);
    old(m);
  }));
  // The panel's frame comes off the position.
  const TRect nc = panel->FrameMargins();
  ASSERT_GT(nc.Left, 0);
  QWidget* w = panel->Handle();
  QTest::mousePress(w, Qt::RightButton, Qt::NoModifier, QPoint(20, 30));
  QTest::mouseRelease(w, Qt::RightButton, Qt::NoModifier, QPoint(20, 30));
  // A double click ends with the button let go, as a hand does it; without
  // the release the test's button state would stay pressed for later tests.
  QTest::mouseDClick(w, Qt::MiddleButton, Qt::NoModifier, QPoint(5, 6));
  QTest::mouseRelease(w, Qt::MiddleButton, Qt::NoModifier, QPoint(5, 6));
  const TPoint a{20 - nc.Left, 30 - nc.Top}, b{5 - nc.Left, 6 - nc.Top};
  const std::vector<std::pair<std::uint32_t, TPoint>> expected{
      {WM_RBUTTONDOWN, a}, {WM_RBUTTONUP, a}, {WM_MBUTTONDBLCLK, b}, {WM_MBUTTONUP, b}};
  EXPECT_EQ(seen, expected);
  panel->SetWindowProc(old);
}

TEST(MouseMessagesTest, ACursorSetOnTheFirstMoveShowsAtOnce) {
  Application->Initialize();
  auto form = std::make_unique<TForm>(nullptr);
  form->SetClientSize(200, 100);
  auto* panel = new TPanel(form.get());
  panel->SetParent(form.get());
  panel->SetBounds(0, 0, 200, 100);
  auto* label = new TLabel(form.get());
  label->SetParent(panel);
  label->SetCaption("www.example.org");
  label->SetBounds(20, 20, 100, 13);
  auto* edit = new TEdit(form.get());
  edit->SetParent(panel);
  edit->SetBounds(20, 60, 100, 21);
  // As a link does it: the hand on every move, the default shape on leaving.
  label->OnMouseMove =
      TMouseMoveEvent([&](TObject*, TShiftState, int, int) { label->SetCursor(crHandPoint); });
  label->OnMouseLeave = TNotifyEvent([&](TObject*) { label->SetCursor(crDefault); });
  form->Show();
  QWidget* w = panel->Handle();
  const TRect nc = panel->FrameMargins();
  QTest::mouseMove(w, QPoint(5 + nc.Left, 5 + nc.Top));
  EXPECT_FALSE(w->testAttribute(Qt::WA_SetCursor));
  // The first move over the label already shows the hand.
  QTest::mouseMove(w, QPoint(30 + nc.Left, 25 + nc.Top));
  EXPECT_EQ(Application->MouseControl(), label);
  ASSERT_TRUE(w->testAttribute(Qt::WA_SetCursor));
  EXPECT_EQ(w->cursor().shape(), Qt::PointingHandCursor);
  QTest::mouseMove(w, QPoint(5 + nc.Left, 5 + nc.Top));
  EXPECT_FALSE(w->testAttribute(Qt::WA_SetCursor));
  // A shape changed by a control away from the pointer waits for it.
  label->SetCursor(crCross);
  EXPECT_FALSE(w->testAttribute(Qt::WA_SetCursor));
  // A windowed control under the pointer changes its own window's shape.
  Application->SetMouseControl(edit);
  edit->SetCursor(crHourGlass);
  EXPECT_EQ(edit->Handle()->cursor().shape(), Qt::WaitCursor);
  edit->SetCursor(crDefault);
  EXPECT_FALSE(edit->Handle()->testAttribute(Qt::WA_SetCursor));
}

TEST(MouseMessagesTest, EnterAndEscapeNoControlTookGoToTheDefaultAndCancelButtons) {
  Application->Initialize();
  auto form = std::make_unique<TForm>(nullptr);
  form->SetClientSize(200, 100);
  auto* edit = new TEdit(form.get());
  edit->SetParent(form.get());
  edit->SetBounds(10, 10, 100, 21);
  auto* ok = new TBitBtn(form.get());
  ok->SetParent(form.get());
  ok->SetBounds(10, 50, 75, 25);
  auto* other = new TBitBtn(form.get());
  other->SetParent(form.get());
  other->SetBounds(100, 50, 75, 25);
  int ok_clicks = 0, other_clicks = 0;
  ok->OnClick = TNotifyEvent([&](TObject*) { ++ok_clicks; });
  other->OnClick = TNotifyEvent([&](TObject*) { ++other_clicks; });
  form->Show();
  edit->SetFocus();
  // No default button: Enter in the edit presses nothing.
  QTest::keyClick(edit->Handle(), Qt::Key_Return);
  EXPECT_EQ(ok_clicks, 0);
  ok->SetDefault(true);
  QTest::keyClick(edit->Handle(), Qt::Key_Return);
  EXPECT_EQ(ok_clicks, 1);
  // Escape needs a cancel button.
  QTest::keyClick(edit->Handle(), Qt::Key_Escape);
  EXPECT_EQ(other_clicks, 0);
  other->SetCancel(true);
  QTest::keyClick(edit->Handle(), Qt::Key_Escape);
  EXPECT_EQ(other_clicks, 1);
  // A focused button takes Enter itself, once.
  other->SetFocus();
  QTest::keyClick(other->Handle(), Qt::Key_Return);
  EXPECT_EQ(other_clicks, 2);
  EXPECT_EQ(ok_clicks, 1);
  // A hidden or disabled default button is left alone.
  ok->SetEnabled(false);
  edit->SetFocus();
  QTest::keyClick(edit->Handle(), Qt::Key_Return);
  EXPECT_EQ(ok_clicks, 1);
}

}  // namespace
