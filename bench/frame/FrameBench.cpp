// The skinned frame of a window the size of the main one, on Qt's offscreen
// platform: repainting the frame after the window is activated or
// deactivated (the caption band only, and the whole window cache), and one
// step of a window drag, from the pointer event to the window moved.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include <memory>

#include "skin/SteamSkin.h"
#include "skin/sSkinProvider.h"
#include "toolkit/Forms.h"

namespace {

struct TFixture {
  TFixture() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    Application->Initialize();
    manager = std::make_unique<TsSkinManager>(nullptr);
    TsStoredSkin& s = manager->InternalSkins().Add();
    s.SetName(kSteamSkinName);
    s.SetData(kSteamSkinData, kSteamSkinDataSize);
    manager->SetSkinName(kSteamSkinName);
    form = std::make_unique<TForm>(nullptr);
    form->SetCaption("Sonarix 1.0");
    form->SetClientSize(431, 503);
    provider = new TsSkinProvider(form.get());
    form->SetBounds(100, 100, form->Width(), form->Height());
    form->Show();
  }
  std::unique_ptr<TsSkinManager> manager;
  std::unique_ptr<TForm> form;
  TsSkinProvider* provider = nullptr;
};

TFixture& Fixture() {
  static TFixture f;
  return f;
}

// Activation changes repaint the caption band over the kept frame, and the
// frame is put on the screen (here an image the window's size).
void BM_FrameRepaintAfterActivation(benchmark::State& state) {
  TFixture& f = Fixture();
  QImage screen(f.form->Width(), f.form->Height(), QImage::Format_RGB32);
  bool active = false;
  for (auto _ : state) {
    active = !active;
    f.form->Perform(WM_ACTIVATE, active ? WA_ACTIVE : WA_INACTIVE, 0);
    QPainter p(&screen);
    f.form->Perform(WM_NCPAINT, reinterpret_cast<std::uintptr_t>(&p), 0);
  }
  state.SetLabel("439 x 530 window");
}
BENCHMARK(BM_FrameRepaintAfterActivation)->Unit(benchmark::kMicrosecond);

// The whole window cache: the "FORM" item, the caption band, buttons and text.
void BM_WholeWindowCache(benchmark::State& state) {
  TFixture& f = Fixture();
  for (auto _ : state) {
    f.provider->RecomputeFrame();
    benchmark::DoNotOptimize(f.provider->WindowCache().Image().constBits());
  }
}
BENCHMARK(BM_WholeWindowCache)->Unit(benchmark::kMicrosecond);

// One step of a caption drag without a window manager: a pointer move
// reaches the window, which follows it.
void BM_WindowDragStep(benchmark::State& state) {
  TFixture& f = Fixture();
  QWidget* w = f.form->Handle();
  const QPoint start = w->mapToGlobal(QPoint(200, 12));
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(200, 12), QPointF(start), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w, &press);
  if (!WindowDragActive(w)) {
    state.SkipWithError("the drag did not start");
    return;
  }
  int step = 0;
  for (auto _ : state) {
    step = (step + 1) % 64;
    const QPoint to = start + QPoint(step, step / 2);
    QMouseEvent move(QEvent::MouseMove, QPointF(w->mapFromGlobal(to)), QPointF(to), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &move);
    benchmark::DoNotOptimize(f.form->Left());
  }
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(200, 12), QPointF(start), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(w, &release);
}
BENCHMARK(BM_WindowDragStep)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
