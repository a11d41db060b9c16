// The skinned controls of the real main window, offscreen: rebuilding every
// control's cache after a skin change, one fade step of a button, and a full
// repaint of the window with the skin on against the same repaint with the
// skin off (run in the same process, one after the other).
//
//   bench_skinctl [--benchmark_repetitions=N ...]
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QWidget>

#include <vector>

#include "app/Unit1.h"
#include "ping/MsgWndControl.h"
#include "skin/sFadeAnimation.h"

namespace {

TForm1* g_form = nullptr;

// Every skinned control of the window, parents before their children, with
// its skin data.
std::vector<TsCommonData*> SkinnedControls() {
  std::vector<TsCommonData*> out;
  TForm1* f = g_form;
  for (TsPanel* p : {f->sPanel1, f->sPanel3, f->sPanel4, f->sPanel2}) out.push_back(p->SkinData());
  out.push_back(f->sEdit1->SkinData());
  for (TsComboBox* c : {f->sComboBox1, f->sComboBox2, f->sComboBox3, f->sComboBox4, f->sComboBox5})
    out.push_back(c->SkinData());
  out.push_back(f->sMemo1->SkinData());
  for (TsBitBtn* b : {f->sBitBtn1, f->sBitBtn2, f->sBitBtn3, f->sBitBtn4, f->sBitBtn5, f->sBitBtn6})
    out.push_back(b->SkinData());
  return out;
}

// A new skin arrives (ApplySkin to every control: indexes looked up again,
// every cache stale), then each cache is rebuilt, parents first.
void BM_RebuildEveryCacheAfterSkinChange(benchmark::State& state) {
  const std::vector<TsCommonData*> controls = SkinnedControls();
  for (auto _ : state) {
    g_form->sSkinManager1->BroadcastCommand(TsCommand::ApplySkin);
    for (TsCommonData* d : controls) d->EnsureCache();
    benchmark::ClobberMemory();
  }
  state.counters["controls"] = static_cast<double>(controls.size());
}
BENCHMARK(BM_RebuildEveryCacheAfterSkinChange)->Unit(benchmark::kMillisecond);

// One step of "Ping !"'s fade to its hot look: the blend of the old and the
// new look, and the button painted with it.
void BM_ButtonFadeStep(benchmark::State& state) {
  TsBitBtn* ping = g_form->sBitBtn1;
  TsCommonData* d = ping->SkinData();
  bool hot = false;
  for (auto _ : state) {
    if (!d->Fading() || d->Fade()->Finished()) {
      state.PauseTiming();
      d->HaltFade();
      hot = !hot;
      ping->Perform(hot ? CM_MOUSEENTER : CM_MOUSELEAVE);
      state.ResumeTiming();
    }
    d->FadeStep();
  }
}
BENCHMARK(BM_ButtonFadeStep)->Unit(benchmark::kMicrosecond);

// Counts the paint events the window's widgets get.
class TPaintCounter : public QObject {
 public:
  long paints = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++paints;
    return false;
  }
};

// The whole window painted at once, as after a refresh: the frame, every
// panel from its cache, every control, the scope and the log.
void RepaintWindow(benchmark::State& state, bool skinned) {
  g_form->sSkinManager1->SetActive(skinned);
  // Giving up the program-drawn frame shows the window anew.
  g_form->Show();
  for (int i = 0; i < 10; ++i) QApplication::processEvents();
  QWidget* w = g_form->Handle();
  if (!w->isVisible()) {
    state.SkipWithError("the window is not shown");
    return;
  }
  TPaintCounter counter;
  for (QWidget* c : w->findChildren<QWidget*>()) c->installEventFilter(&counter);
  w->installEventFilter(&counter);
  // Every widget of the window paints, parents before children, into one
  // surface of the window's size (as the window system's backing store).
  QImage surface(w->size(), QImage::Format_RGB32);
  for (auto _ : state) {
    w->render(&surface, QPoint(), QRegion(), QWidget::DrawChildren);
    benchmark::ClobberMemory();
  }
  state.counters["paints"] =
      benchmark::Counter(static_cast<double>(counter.paints), benchmark::Counter::kAvgIterations);
  g_form->sSkinManager1->SetActive(true);
  g_form->Show();
  QApplication::processEvents();
}
void BM_FullRepaintSkinned(benchmark::State& state) {
  RepaintWindow(state, true);
}
void BM_FullRepaintPlain(benchmark::State& state) {
  RepaintWindow(state, false);
}
BENCHMARK(BM_FullRepaintSkinned)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullRepaintPlain)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  MsgWndStartup();
  Application->Initialize(argc, argv);
  Application->CreateForm(g_form);
  g_form->Show();
  for (int i = 0; i < 20; ++i) QApplication::processEvents();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Application->DestroyForms();
  MsgWndShutdown();
  Application->Finalize();
  return 0;
}
