// A frame the program paints itself: hit testing of its zones, the window
// system's frame switched off for good, the client size kept, shaped
// windows, the frame's pointer messages, and moving, sizing and maximising
// from it where no window manager helps (the offscreen platform has none).
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <memory>
#include <vector>

#include "toolkit/Dialogs.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Forms.h"
#include "toolkit/WindowSystem.h"

namespace {

class FrameTest : public ::testing::Test {
 protected:
  void SetUp() override { Application->Initialize(); }
};

constexpr TRect kMargins{4, 23, 4, 4};

// A form with the program's frame around a 431 x 503 client area.
std::unique_ptr<TForm> FramedForm() {
  auto f = std::make_unique<TForm>(nullptr);
  f->SetClientSize(431, 503);
  f->SetOwnFrame(true);
  f->SetFrameKeepingClient(kMargins);
  return f;
}

struct TSeenMessage {
  std::uint32_t Msg;
  std::uintptr_t WParam;
  std::intptr_t LParam;
};

// Records every message before the form handles it.
class TRecorder {
 public:
  explicit TRecorder(TControl* control) : control_(control), old_(control->WindowProc()) {
    control->SetWindowProc(TWndMethod([this](TMessage& m) {
      Seen.push_back({m.Msg, m.WParam, m.LParam});
      old_(m);
    }));
  }
  ~TRecorder() { control_->SetWindowProc(old_); }
  std::vector<TSeenMessage> Seen;
  // The WParam of the last message `msg`, or -100 when none came.
  std::intptr_t Last(std::uint32_t msg) const {
    for (auto it = Seen.rbegin(); it != Seen.rend(); ++it)
      if (it->Msg == msg) return static_cast<std::intptr_t>(it->WParam);
    return -100;
  }
  int Count(std::uint32_t msg) const {
    int n = 0;
    for (const TSeenMessage& s : Seen) n += s.Msg == msg;
    return n;
  }

 private:
  TControl* control_;
  TWndMethod old_;
};

// A pointer event at a point of the window, its screen position taken now.
void Mouse(QWidget* w, QEvent::Type type, QPoint local, Qt::MouseButton button,
           Qt::MouseButtons buttons) {
  QMouseEvent e(type, QPointF(local), QPointF(w->mapToGlobal(local)), button, buttons,
                Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}
// A pointer event at a screen position (the window may have moved since).
void MouseAt(QWidget* w, QEvent::Type type, QPoint global, Qt::MouseButton button,
             Qt::MouseButtons buttons) {
  QMouseEvent e(type, QPointF(w->mapFromGlobal(global)), QPointF(global), button, buttons,
                Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

TEST(FrameHitTest, EveryZoneOfASizeableFrame) {
  const int w = 439, h = 530;
  auto hit = [&](int x, int y) { return FrameHitTest({x, y}, w, h, kMargins, 4, true); };
  EXPECT_EQ(hit(200, 100), HTCLIENT);
  EXPECT_EQ(hit(4, 23), HTCLIENT);
  EXPECT_EQ(hit(200, 10), HTCAPTION);
  EXPECT_EQ(hit(200, 22), HTCAPTION);
  EXPECT_EQ(hit(0, 200), HTLEFT);
  EXPECT_EQ(hit(3, 200), HTLEFT);
  EXPECT_EQ(hit(438, 200), HTRIGHT);
  EXPECT_EQ(hit(200, 0), HTTOP);
  EXPECT_EQ(hit(200, 529), HTBOTTOM);
  EXPECT_EQ(hit(0, 0), HTTOPLEFT);
  EXPECT_EQ(hit(438, 0), HTTOPRIGHT);
  EXPECT_EQ(hit(0, 529), HTBOTTOMLEFT);
  EXPECT_EQ(hit(438, 529), HTBOTTOMRIGHT);
  // The corners reach along the edges.
  EXPECT_EQ(hit(2, 15), HTTOPLEFT);
  EXPECT_EQ(hit(15, 0), HTTOPLEFT);
  EXPECT_EQ(hit(436, 520), HTBOTTOMRIGHT);
  EXPECT_EQ(hit(430, 528), HTBOTTOMRIGHT);
  EXPECT_EQ(hit(-1, 5), HTNOWHERE);
  EXPECT_EQ(hit(439, 5), HTNOWHERE);
}

TEST(FrameHitTest, AFixedFrameIsBorderAndCaptionOnly) {
  auto hit = [](int x, int y) { return FrameHitTest({x, y}, 300, 200, {3, 22, 3, 3}, 3, false); };
  EXPECT_EQ(hit(0, 100), HTBORDER);
  EXPECT_EQ(hit(0, 0), HTBORDER);
  EXPECT_EQ(hit(299, 199), HTBORDER);
  EXPECT_EQ(hit(150, 1), HTBORDER);
  EXPECT_EQ(hit(150, 10), HTCAPTION);
  EXPECT_EQ(hit(150, 100), HTCLIENT);
}

TEST(FrameHitTest, CursorsAndEdgesOfTheSizingZones) {
  EXPECT_EQ(CursorOfHitTest(HTLEFT), crSizeWE);
  EXPECT_EQ(CursorOfHitTest(HTBOTTOM), crSizeNS);
  EXPECT_EQ(CursorOfHitTest(HTTOPLEFT), crSizeNWSE);
  EXPECT_EQ(CursorOfHitTest(HTBOTTOMLEFT), crSizeNESW);
  EXPECT_EQ(CursorOfHitTest(HTCAPTION), crDefault);
  EXPECT_EQ(CursorOfHitTest(HTBORDER), crDefault);
  EXPECT_EQ(EdgesOfHitTest(HTBOTTOMRIGHT), Qt::BottomEdge | Qt::RightEdge);
  EXPECT_EQ(EdgesOfHitTest(HTTOP), Qt::TopEdge);
  EXPECT_EQ(EdgesOfHitTest(HTCAPTION), Qt::Edges());
}

TEST(DraggedGeometry, MovesAndSizesByThePointer) {
  const QRect start(100, 50, 439, 530);
  EXPECT_EQ(DraggedGeometry(start, {}, {200, 60}, {260, 100}, {}), QRect(160, 90, 439, 530));
  EXPECT_EQ(DraggedGeometry(start, Qt::BottomEdge | Qt::RightEdge, {538, 579}, {638, 679}, {}),
            QRect(100, 50, 539, 630));
  // The left edge follows; the right edge stays where it was.
  EXPECT_EQ(DraggedGeometry(start, Qt::LeftEdge, {100, 200}, {130, 200}, {}),
            QRect(130, 50, 409, 530));
  // Never below the smallest size, whichever edge is dragged.
  EXPECT_EQ(DraggedGeometry(start, Qt::LeftEdge | Qt::TopEdge, {100, 50}, {900, 900}, {112, 27}),
            QRect(100 + 439 - 112, 50 + 530 - 27, 112, 27));
  EXPECT_EQ(DraggedGeometry(start, Qt::RightEdge, {538, 0}, {0, 0}, {112, 27}).width(), 112);
}

TEST_F(FrameTest, OwnFrameKeepsTheClientSizeAndSurvivesStyleChanges) {
  auto f = FramedForm();
  EXPECT_EQ(f->Width(), 439);
  EXPECT_EQ(f->Height(), 530);
  EXPECT_EQ(f->ClientWidth(), 431);
  EXPECT_EQ(f->ClientHeight(), 503);
  EXPECT_TRUE(f->Handle()->windowFlags() & Qt::FramelessWindowHint);
  f->SetBorderIcons(biSystemMenu);
  f->SetBorderStyle(TFormBorderStyle::bsSingle);
  f->SetBorderStyle(TFormBorderStyle::bsSizeable);
  EXPECT_TRUE(f->Handle()->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(f->ClientWidth(), 431);
  EXPECT_EQ(f->ClientHeight(), 503);
  // Other margins, the same client.
  f->SetFrameKeepingClient({3, 22, 3, 3});
  EXPECT_EQ(f->Width(), 437);
  EXPECT_EQ(f->Height(), 528);
  EXPECT_EQ(f->ClientHeight(), 503);
  // Back to the window system's frame: no margins, the client unchanged.
  f->SetOwnFrame(false);
  EXPECT_FALSE(f->Handle()->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(f->Width(), 431);
  EXPECT_EQ(f->Height(), 503);
}

TEST_F(FrameTest, ACentredWindowStaysCentredWhenItsFrameGrows) {
  TForm f(nullptr);
  f.SetClientSize(300, 100);
  f.SetPosition(poScreenCenter);
  f.Show();
  const int cx = f.Left() + f.Width() / 2, cy = f.Top() + f.Height() / 2;
  f.SetOwnFrame(true);
  f.SetFrameKeepingClient({3, 22, 3, 3});
  EXPECT_EQ(f.ClientWidth(), 300);
  EXPECT_EQ(f.Left() + f.Width() / 2, cx);
  EXPECT_EQ(f.Top() + f.Height() / 2, cy);
}

TEST_F(FrameTest, AligningChildrenFollowTheClientArea) {
  auto f = FramedForm();
  auto* p = new TPanel(f.get());
  p->SetParent(f.get());
  p->SetAlign(alClient);
  EXPECT_EQ(p->Width(), 431);
  EXPECT_EQ(p->Height(), 503);
  f->Show();
  // The panel's window sits inside the frame.
  EXPECT_EQ(p->Handle()->geometry(), QRect(4, 23, 431, 503));
}

TEST_F(FrameTest, WindowRegionShapesTheWindow) {
  auto f = FramedForm();
  f->Show();
  QRegion r(0, 0, f->Width(), f->Height());
  r -= QRegion(0, 0, 3, 1);
  f->SetWindowRegion(r);
  EXPECT_EQ(f->Handle()->mask(), r);
  EXPECT_EQ(f->WindowRegion(), r);
  EXPECT_FALSE(f->Handle()->mask().contains(QPoint(0, 0)));
  EXPECT_TRUE(f->Handle()->mask().contains(QPoint(3, 0)));
  f->SetWindowRegion(QRegion());
  EXPECT_TRUE(f->Handle()->mask().isEmpty());
}

TEST_F(FrameTest, PointerOverTheFrameBecomesNonClientMessages) {
  auto f = FramedForm();
  f->SetBounds(50, 40, f->Width(), f->Height());
  f->Show();
  TRecorder rec(f.get());
  QWidget* w = f->Handle();
  Mouse(w, QEvent::MouseMove, {200, 10}, Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(rec.Last(WM_NCMOUSEMOVE), HTCAPTION);
  EXPECT_EQ(rec.Count(WM_NCHITTEST), 1);
  EXPECT_EQ(rec.Count(WM_SETCURSOR), 1);
  EXPECT_EQ(rec.Count(WM_MOUSEMOVE), 0);
  // The borders show the sizing cursors.
  Mouse(w, QEvent::MouseMove, {1, 200}, Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(rec.Last(WM_NCMOUSEMOVE), HTLEFT);
  EXPECT_EQ(w->cursor().shape(), Qt::SizeHorCursor);
  Mouse(w, QEvent::MouseMove, {438, 529}, Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(w->cursor().shape(), Qt::SizeFDiagCursor);
  // Into the client area: the frame is left, the cursor comes back.
  Mouse(w, QEvent::MouseMove, {200, 200}, Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(rec.Count(WM_NCMOUSELEAVE), 1);
  EXPECT_EQ(rec.Count(WM_MOUSEMOVE), 1);
  EXPECT_EQ(w->cursor().shape(), Qt::ArrowCursor);
  // A right click on the caption: down and up, non-client.
  Mouse(w, QEvent::MouseButtonPress, {200, 10}, Qt::RightButton, Qt::RightButton);
  EXPECT_EQ(rec.Last(WM_NCRBUTTONDOWN), HTCAPTION);
  // Leaving the window from the frame says so once.
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(w, &leave);
  EXPECT_EQ(rec.Count(WM_NCMOUSELEAVE), 2);
}

TEST_F(FrameTest, APressInTheClientStaysClientOverTheFrame) {
  auto f = FramedForm();
  f->Show();
  TRecorder rec(f.get());
  QWidget* w = f->Handle();
  Mouse(w, QEvent::MouseButtonPress, {200, 200}, Qt::LeftButton, Qt::LeftButton);
  Mouse(w, QEvent::MouseMove, {200, 5}, Qt::NoButton, Qt::LeftButton);
  Mouse(w, QEvent::MouseButtonRelease, {200, 5}, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(rec.Count(WM_NCMOUSEMOVE), 0);
  EXPECT_EQ(rec.Count(WM_LBUTTONUP), 1);
}

TEST_F(FrameTest, DraggingTheCaptionMovesTheWindowExactly) {
  auto f = FramedForm();
  f->SetBounds(50, 40, f->Width(), f->Height());
  f->Show();
  QWidget* w = f->Handle();
  const QPoint start = w->mapToGlobal(QPoint(200, 10));
  MouseAt(w, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
  // No window manager here: the program follows the pointer itself.
  EXPECT_TRUE(WindowDragActive(w));
  MouseAt(w, QEvent::MouseMove, start + QPoint(30, 10), Qt::NoButton, Qt::LeftButton);
  MouseAt(w, QEvent::MouseMove, start + QPoint(60, 40), Qt::NoButton, Qt::LeftButton);
  MouseAt(w, QEvent::MouseButtonRelease, start + QPoint(60, 40), Qt::LeftButton, Qt::NoButton);
  EXPECT_FALSE(WindowDragActive(w));
  EXPECT_EQ(f->Left(), 110);
  EXPECT_EQ(f->Top(), 80);
  EXPECT_EQ(w->geometry().topLeft(), QPoint(110, 80));
  EXPECT_EQ(f->ClientWidth(), 431);
}

TEST_F(FrameTest, DraggingTheCornerSizesTheWindowAndTheClient) {
  auto f = FramedForm();
  auto* p = new TPanel(f.get());
  p->SetParent(f.get());
  p->SetAlign(alClient);
  f->SetBounds(50, 40, f->Width(), f->Height());
  f->Show();
  QWidget* w = f->Handle();
  const QPoint start = w->mapToGlobal(QPoint(437, 528));
  MouseAt(w, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
  MouseAt(w, QEvent::MouseMove, start + QPoint(100, 100), Qt::NoButton, Qt::LeftButton);
  MouseAt(w, QEvent::MouseButtonRelease, start + QPoint(100, 100), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(f->Width(), 539);
  EXPECT_EQ(f->Height(), 630);
  EXPECT_EQ(f->Left(), 50);
  EXPECT_EQ(p->Width(), 531);
  EXPECT_EQ(p->Height(), 603);
}

TEST_F(FrameTest, AFixedFrameDoesNotSize) {
  auto f = FramedForm();
  f->SetBorderStyle(TFormBorderStyle::bsDialog);
  f->Show();
  QWidget* w = f->Handle();
  Mouse(w, QEvent::MouseMove, {1, 200}, Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(w->cursor().shape(), Qt::ArrowCursor);
  Mouse(w, QEvent::MouseButtonPress, {437, 528}, Qt::LeftButton, Qt::LeftButton);
  EXPECT_FALSE(WindowDragActive(w));
  Mouse(w, QEvent::MouseButtonRelease, {437, 528}, Qt::LeftButton, Qt::NoButton);
}

TEST_F(FrameTest, CaptionDoubleClickMaximisesWithinTheWorkAreaAndRestores) {
  auto f = FramedForm();
  f->SetBounds(50, 40, f->Width(), f->Height());
  f->Show();
  QWidget* w = f->Handle();
  Mouse(w, QEvent::MouseButtonPress, {200, 10}, Qt::LeftButton, Qt::LeftButton);
  Mouse(w, QEvent::MouseButtonRelease, {200, 10}, Qt::LeftButton, Qt::NoButton);
  Mouse(w, QEvent::MouseButtonDblClick, {200, 10}, Qt::LeftButton, Qt::LeftButton);
  Mouse(w, QEvent::MouseButtonRelease, {200, 10}, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(f->WindowState(), wsMaximized);
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_EQ(f->BoundsRect(),
            Rect(area.x(), area.y(), area.x() + area.width(), area.y() + area.height()));
  EXPECT_EQ(f->RestoredBounds(), Rect(50, 40, 489, 570));
  // A maximised window neither moves nor sizes from its frame.
  Mouse(w, QEvent::MouseButtonPress, {200, 10}, Qt::LeftButton, Qt::LeftButton);
  EXPECT_FALSE(WindowDragActive(w));
  Mouse(w, QEvent::MouseButtonRelease, {200, 10}, Qt::LeftButton, Qt::NoButton);
  f->Perform(WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_EQ(f->WindowState(), wsNormal);
  EXPECT_EQ(f->BoundsRect(), Rect(50, 40, 489, 570));
  EXPECT_EQ(f->ClientHeight(), 503);
}

TEST_F(FrameTest, SystemCommandsMinimiseAndClose) {
  auto f = FramedForm();
  f->Show();
  f->Perform(WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_EQ(f->WindowState(), wsMinimized);
  f->Perform(WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_EQ(f->WindowState(), wsNormal);
  bool closed = false;
  f->OnClose = TCloseEvent([&](TObject*, TCloseAction&) { closed = true; });
  f->Perform(WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(closed);
  EXPECT_FALSE(f->Visible());
}

TEST_F(FrameTest, TransparentIconCornersShowWhatLiesBehind) {
  TForm f(nullptr);
  f.SetClientSize(64, 64);
  f.SetColor(0x00336699);
  auto* img = new TImage(&f);
  img->SetParent(&f);
  img->SetBounds(0, 0, 32, 32);
  img->SetTransparent(true);
  img->Picture().Assign(MessageIcon(mtError));
  f.Show();
  const QImage shot = f.Handle()->grab().toImage();
  // The round icon's corner is the form's colour, not a black square.
  EXPECT_EQ(shot.pixelColor(0, 0), QColor(0x99, 0x66, 0x33));
  EXPECT_EQ(shot.pixelColor(16, 16).red() > 150, true);
  // An opaque image is copied as it is.
  img->SetTransparent(false);
  const QImage plain = f.Handle()->grab().toImage();
  EXPECT_EQ(plain.pixelColor(0, 0), QColor(0, 0, 0));
}

}  // namespace

// A window manager that the offscreen platform stands in for: window-state
// requests go to the window system, which carries them out.
class WindowManagerFrameTest : public FrameTest {
 protected:
  void SetUp() override {
    FrameTest::SetUp();
    SetWindowManagerPresentForTesting(1);
  }
  void TearDown() override {
    SetWindowManagerPresentForTesting(-1);
    FrameTest::TearDown();
  }
};

TEST_F(WindowManagerFrameTest, MaximiseAndRestoreGoThroughTheWindowSystem) {
  auto f = FramedForm();
  f->SetBounds(50, 40, f->Width(), f->Height());
  f->Show();
  QWidget* w = f->Handle();
  f->Perform(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  // The window system was asked, not worked around.
  EXPECT_TRUE(w->isMaximized());
  EXPECT_EQ(f->WindowState(), wsMaximized);
  f->Perform(WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_FALSE(w->isMaximized());
  EXPECT_EQ(f->WindowState(), wsNormal);
  EXPECT_EQ(f->BoundsRect(), Rect(50, 40, 489, 570));
  f->Perform(WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(w->isMinimized());
  EXPECT_FALSE(f->RolledUp());
  EXPECT_EQ(f->WindowState(), wsMinimized);
}

TEST_F(WindowManagerFrameTest, AWindowTheDesktopMaximisedIsRestoredByTheProgram) {
  auto f = FramedForm();
  f->SetBounds(50, 40, f->Width(), f->Height());
  f->Show();
  QWidget* w = f->Handle();
  // A shortcut of the desktop: the window system maximises the window.
  w->showMaximized();
  EXPECT_EQ(f->WindowState(), wsMaximized);
  f->Perform(WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_FALSE(w->isMaximized());
  EXPECT_EQ(f->WindowState(), wsNormal);
  EXPECT_EQ(f->BoundsRect(), Rect(50, 40, 489, 570));
}

TEST_F(WindowManagerFrameTest, ACaptionDoubleClickMaximisesAndAPressWaitsForTheDragDistance) {
  auto f = FramedForm();
  f->SetBounds(50, 40, f->Width(), f->Height());
  f->Show();
  QWidget* w = f->Handle();
  // A press alone starts no move, so the second click stays the program's.
  Mouse(w, QEvent::MouseButtonPress, {200, 10}, Qt::LeftButton, Qt::LeftButton);
  EXPECT_FALSE(WindowDragActive(w));
  Mouse(w, QEvent::MouseButtonRelease, {200, 10}, Qt::LeftButton, Qt::NoButton);
  Mouse(w, QEvent::MouseButtonDblClick, {200, 10}, Qt::LeftButton, Qt::LeftButton);
  Mouse(w, QEvent::MouseButtonRelease, {200, 10}, Qt::LeftButton, Qt::NoButton);
  EXPECT_TRUE(w->isMaximized());
  Mouse(w, QEvent::MouseButtonPress, {200, 10}, Qt::LeftButton, Qt::LeftButton);
  Mouse(w, QEvent::MouseButtonRelease, {200, 10}, Qt::LeftButton, Qt::NoButton);
  Mouse(w, QEvent::MouseButtonDblClick, {200, 10}, Qt::LeftButton, Qt::LeftButton);
  Mouse(w, QEvent::MouseButtonRelease, {200, 10}, Qt::LeftButton, Qt::NoButton);
  EXPECT_FALSE(w->isMaximized());
  EXPECT_EQ(f->WindowState(), wsNormal);
  // Past the drag distance the move starts (offscreen, the program
  // tracks it: the window follows the pointer).
  const QPoint start = w->mapToGlobal(QPoint(200, 10));
  MouseAt(w, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
  MouseAt(w, QEvent::MouseMove, start + QPoint(1, 1), Qt::NoButton, Qt::LeftButton);
  EXPECT_FALSE(WindowDragActive(w));
  MouseAt(w, QEvent::MouseMove, start + QPoint(20, 10), Qt::NoButton, Qt::LeftButton);
  EXPECT_TRUE(WindowDragActive(w));
  MouseAt(w, QEvent::MouseMove, start + QPoint(40, 30), Qt::NoButton, Qt::LeftButton);
  MouseAt(w, QEvent::MouseButtonRelease, start + QPoint(40, 30), Qt::LeftButton, Qt::NoButton);
  EXPECT_FALSE(WindowDragActive(w));
  EXPECT_EQ(f->Left(), 50 + 40 - 20);
}

TEST_F(FrameTest, WithoutAWindowManagerMinimiseRollsTheWindowUpToItsCaptionBar) {
  auto f = FramedForm();
  f->SetBounds(50, 40, f->Width(), f->Height());
  f->SetWindowRegion(QRegion(2, 0, 435, 530));
  f->Show();
  QWidget* w = f->Handle();
  f->Perform(WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_EQ(f->WindowState(), wsMinimized);
  EXPECT_TRUE(f->RolledUp());
  EXPECT_FALSE(w->isMinimized());
  // Where it was, as wide as it was: the caption bar alone, in the frame's
  // own outline.
  EXPECT_EQ(w->geometry(), QRect(50, 40, 439, 530));
  EXPECT_EQ(w->mask(), QRegion(2, 0, 435, 23));
  // A click on the caption bar gives it back as it was.
  Mouse(w, QEvent::MouseButtonPress, {200, 10}, Qt::LeftButton, Qt::LeftButton);
  Mouse(w, QEvent::MouseButtonRelease, {200, 10}, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(f->WindowState(), wsNormal);
  EXPECT_FALSE(f->RolledUp());
  EXPECT_EQ(w->mask(), QRegion(2, 0, 435, 530));
  // Nor does the double click's second press maximise it.
  Mouse(w, QEvent::MouseButtonDblClick, {200, 10}, Qt::LeftButton, Qt::LeftButton);
  Mouse(w, QEvent::MouseButtonRelease, {200, 10}, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(f->WindowState(), wsNormal);
  // Minimised from maximised, it comes back maximised.
  f->Perform(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  f->Perform(WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(f->RolledUp());
  f->Perform(WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_EQ(f->WindowState(), wsMaximized);
  EXPECT_FALSE(f->RolledUp());
}

TEST_F(FrameTest, TheMinimumSizeReachesTheWindowSystemAndStopsACornerDrag) {
  auto f = FramedForm();
  f->SetMinClientSize(300, 200);
  f->SetBounds(50, 40, f->Width(), f->Height());
  f->Show();
  QWidget* w = f->Handle();
  EXPECT_EQ(w->minimumSize(), QSize(308, 227));
  const QPoint start = w->mapToGlobal(QPoint(437, 528));
  MouseAt(w, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
  MouseAt(w, QEvent::MouseMove, start - QPoint(400, 450), Qt::NoButton, Qt::LeftButton);
  MouseAt(w, QEvent::MouseButtonRelease, start - QPoint(400, 450), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(f->Width(), 308);
  EXPECT_EQ(f->Height(), 227);
  EXPECT_EQ(f->ClientWidth(), 300);
  // Asked for less in code, it stays at the minimum too.
  f->SetBounds(50, 40, 100, 100);
  EXPECT_EQ(w->size(), QSize(308, 227));
}

TEST_F(FrameTest, TheWindowMenuOffersSizeWhereTheWindowSizes) {
  auto f = FramedForm();
  f->Show();
  f->ShowSystemMenu(QPoint(10, 10));
  auto* menu = f->Handle()->findChild<QMenu*>();
  ASSERT_NE(menu, nullptr);
  const auto actions = menu->actions();
  auto size = std::find_if(actions.begin(), actions.end(),
                           [](QAction* a) { return a->text() == QLatin1String("&Size"); });
  ASSERT_NE(size, actions.end());
  EXPECT_TRUE((*size)->isEnabled());
  menu->close();
}

TEST_F(FrameTest, AReversedLayoutKeepsTheWindowsLeftToRightAsAWhole) {
  // What "-reverse" on the command line does before the program starts.
  QGuiApplication::setLayoutDirection(Qt::RightToLeft);
  Application->Initialize();
  EXPECT_EQ(QGuiApplication::layoutDirection(), Qt::LeftToRight);
  auto f = FramedForm();
  auto* e = new TEdit(f.get());
  e->SetParent(f.get());
  f->Show();
  EXPECT_EQ(f->Handle()->layoutDirection(), Qt::LeftToRight);
  EXPECT_EQ(e->Handle()->layoutDirection(), Qt::LeftToRight);
}
