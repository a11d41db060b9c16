// A form's modal loop while windows are closed from inside it: the modal
// form itself, as the window system and its own close button close it,
// another form that frees itself, a second modal form on top, and the main
// form. Every loop must end when its form goes, and never before.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/Forms.h"

namespace {

class ModalLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    Application->Initialize();
    dialog = std::make_unique<TForm>(nullptr);
    dialog->SetBounds(100, 100, 200, 120);
  }
  void TearDown() override { Application->Initialize(); }

  // Runs `step` from inside the loop once it turns, then a while later, so
  // that each runs with the modal form on the screen.
  static void Later(int ms, std::function<void()> step) {
    QTimer::singleShot(ms, qApp, std::move(step));
  }
  // A loop that never ends would hang the suite: give up after a while with
  // a result no test expects.
  TModalResult ShowModalAtMost(TCustomForm& form, int ms = 3000) {
    QPointer<QWidget> w = form.Handle();
    Later(ms, [&form, w] {
      if (w && (form.FormState() & fsModal)) form.SetModalResult(mrAbort);
    });
    return form.ShowModal();
  }
  // What a user can see of a form that has left its loop.
  static void ExpectGone(TCustomForm& form) {
    EXPECT_FALSE(form.Visible());
    EXPECT_FALSE(form.Handle()->isVisible());
    EXPECT_EQ(form.FormState() & fsModal, 0);
    EXPECT_EQ(form.Handle()->windowModality(), Qt::NonModal);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  }

  std::unique_ptr<TForm> dialog;
};

TEST_F(ModalLoop, TheModalFormClosedAsTheWindowSystemOrItsFrameDoesEndsItWithCancel) {
  // The window manager's close: Qt's close event, never the window
  // vanishing while its loop still runs.
  Later(20, [&] { dialog->Handle()->close(); });
  EXPECT_EQ(ShowModalAtMost(*dialog), mrCancel);
  ExpectGone(*dialog);
  // The close button of the program's own frame.
  Later(20, [&] { dialog->Perform(WM_SYSCOMMAND, SC_CLOSE); });
  EXPECT_EQ(ShowModalAtMost(*dialog), mrCancel);
  ExpectGone(*dialog);

  // A form that refuses the first close stays on the screen and modal; the
  // next close ends the loop.
  int asked = 0;
  dialog->OnCloseQuery = TCloseQueryEvent([&](TObject*, bool& can) { can = ++asked > 1; });
  bool shown_after_refusal = false;
  Later(20, [&] { dialog->Handle()->close(); });
  Later(80, [&] {
    shown_after_refusal =
        dialog->Handle()->isVisible() && QApplication::activeModalWidget() == dialog->Handle();
    dialog->SetModalResult(mrOk);
  });
  EXPECT_EQ(ShowModalAtMost(*dialog), mrOk);
  EXPECT_TRUE(shown_after_refusal);
  EXPECT_EQ(asked, 2);
  ExpectGone(*dialog);
  dialog->OnCloseQuery = nullptr;

  // So does one whose close handler keeps it open (caNone).
  int closes = 0;
  dialog->OnClose =
      TCloseEvent([&](TObject*, TCloseAction& action) { action = ++closes > 1 ? caHide : caNone; });
  Later(20, [&] { dialog->Close(); });
  Later(60, [&] { dialog->Close(); });
  EXPECT_EQ(ShowModalAtMost(*dialog), mrCancel);
  EXPECT_EQ(closes, 2);
  ExpectGone(*dialog);
}

TEST_F(ModalLoop, OtherWindowsClosedInsideTheLoopGoWhileItCarriesOn) {
  // A window that frees itself when closed goes at once, not when the
  // modal form does.
  auto* tool = new TForm(Application);
  tool->OnClose = TCloseEvent([](TObject*, TCloseAction& action) { action = caFree; });
  tool->Show();
  QPointer<QWidget> tool_window = tool->Handle();
  bool freed_inside = false;
  Later(20, [&] { tool->Close(); });
  Later(80, [&] {
    freed_inside = tool_window.isNull() && (dialog->FormState() & fsModal) != 0;
    dialog->SetModalResult(mrOk);
  });
  EXPECT_EQ(ShowModalAtMost(*dialog), mrOk);
  EXPECT_TRUE(freed_inside);
  ExpectGone(*dialog);

  // A second modal form on top: the first, closed from inside the second's
  // loop, waits for the second to end, then ends itself.
  TForm box(nullptr);
  box.SetBounds(150, 150, 100, 60);
  std::vector<std::string> order;
  Later(20, [&] {
    order.push_back(box.ShowModal() == mrOk ? "inner ok" : "inner other");
    EXPECT_TRUE(dialog->Handle()->isVisible()) << "the outer form waits for the inner one";
  });
  Later(60, [&] {
    dialog->Close();
    box.SetModalResult(mrOk);
  });
  const TModalResult outer = ShowModalAtMost(*dialog);
  order.push_back(outer == mrCancel ? "outer cancel" : "outer other");
  EXPECT_EQ(order, (std::vector<std::string>{"inner ok", "outer cancel"}));
  ExpectGone(box);
  ExpectGone(*dialog);
}

TEST_F(ModalLoop, TheMainFormClosedInsideTheLoopEndsItAndTheProgram) {
  TForm* main_form = nullptr;
  Application->CreateForm(main_form);
  const std::unique_ptr<TForm> owned(main_form);
  ASSERT_EQ(Application->MainForm(), main_form);
  main_form->Show();
  Later(20, [&] { main_form->Close(); });
  EXPECT_EQ(ShowModalAtMost(*dialog), mrCancel);
  EXPECT_TRUE(Application->Terminated());
  ExpectGone(*dialog);
}

}  // namespace
