// The main window under the Wayland compositor in WAYLAND_DISPLAY: the
// skin's maximise button makes the compositor maximise the window (the
// toplevel's maximised state), so the whole window and its title buttons
// stay on the output; the restore button gives the old size back. Prints
// what it saw; exit status 1 when a check fails.
#include <QApplication>
#include <QElapsedTimer>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <functional>

#include "app/Unit1.h"
#include "skin/sSkinProvider.h"
#include "toolkit/Forms.h"

namespace {

// Pumps events until `done` or `ms` have passed; true when done.
bool PumpUntil(const std::function<bool()>& done, int ms) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > ms) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

int failures = 0;
void Check(bool ok, const char* what) {
  std::printf("%s: %s\n", ok ? "ok" : "FAIL", what);
  if (!ok) ++failures;
}

// A click of the pointer on the title button `index` (0 close, 1 maximise
// or restore, 2 minimise), as the frame's messages bring it.
void ClickTitleButton(TForm1* f, int index) {
  const TRect r = f->sSkinProvider1->Geometry().Buttons.at(static_cast<std::size_t>(index)).Rect;
  const QPoint g = f->Handle()->mapToGlobal(QPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2));
  const std::intptr_t lp = MakeLParam(g.x(), g.y());
  const auto hit = static_cast<std::uintptr_t>(f->Perform(WM_NCHITTEST, 0, lp));
  f->Perform(WM_NCLBUTTONDOWN, hit, lp);
  f->Perform(WM_NCLBUTTONUP, hit, lp);
}

}  // namespace

int main(int argc, char** argv) {
  Application->Initialize(argc, argv);
  if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
    std::printf("skipped: the platform is %s, not wayland\n",
                qPrintable(QGuiApplication::platformName()));
    return 77;
  }
  auto* f = new TForm1(Application);
  f->Show();
  QWidget* w = f->Handle();
  PumpUntil([w] { return w->isVisible() && w->windowHandle()->isExposed(); }, 5000);
  const QSize normal = w->size();
  const QRect output = w->screen()->geometry();
  std::printf("output %dx%d, window %dx%d\n", output.width(), output.height(), normal.width(),
              normal.height());

  ClickTitleButton(f, 1);
  const bool maximised = PumpUntil([&] { return w->isMaximized() && w->size() != normal; }, 5000);
  PumpUntil([] { return false; }, 300);
  std::printf("maximised: %dx%d, state %d\n", w->width(), w->height(),
              static_cast<int>(f->WindowState()));
  Check(maximised, "the compositor maximised the window");
  Check(f->WindowState() == wsMaximized, "the form knows it is maximised");
  Check(w->width() <= output.width() && w->height() <= output.height(),
        "the whole window fits on the output");
  const TsFrameGeometry& g = f->sSkinProvider1->Geometry();
  bool buttons_inside = !g.Buttons.empty();
  for (const TsTitleButtonPlace& b : g.Buttons)
    buttons_inside = buttons_inside && b.Rect.Left >= 0 && b.Rect.Right <= w->width() &&
                     b.Rect.Bottom <= w->height();
  Check(buttons_inside, "the title buttons lie within the window");
  Check(g.Buttons.at(0).Rect.Right == w->width() - 4, "the close button follows the right edge");

  ClickTitleButton(f, 1);
  const bool restored = PumpUntil([&] { return !w->isMaximized() && w->size() == normal; }, 5000);
  std::printf("restored: %dx%d\n", w->width(), w->height());
  Check(restored, "the restore button gives the old size back");
  Check(f->WindowState() == wsNormal, "the form knows it is restored");
  delete f;
  return failures == 0 ? 0 : 1;
}
