// The main window rendered offscreen to PNG, optionally with "Ping !" hot,
// pressed or disabled (after its fade has run), the about box, a message
// box, the save dialog or the "Ping !" button's hint, and scaled up without
// smoothing so single pixels can be seen.
//
//   sonarix_windowshot OUT.png [SCALE]
//                      [normal|hot|pressed|disabled|about|message|save|hint]
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QImage>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/AboutBox.h"
#include "app/Unit1.h"
#include "ping/MsgWndControl.h"
#include "scope/GrGraphicControl.h"
#include "toolkit/Dialogs.h"

namespace {

void Settle(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Grabs the first visible top-level window `pick` accepts once it has
// settled, then lets `close` end it.
template <class Pick, class Close>
void GrabWhenShown(QImage& shot, Pick pick, Close close) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [=, &shot] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (!w->isVisible() || !pick(w)) continue;
      timer->stop();
      Settle(300);
      shot = w->grab().toImage();
      close(w);
      timer->deleteLater();
      return;
    }
  });
  timer->start(5);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: %s OUT.png [SCALE] "
                 "[normal|hot|pressed|disabled|about|message|save|hint]\n",
                 argv[0]);
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  const int scale = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
  const std::string mode = argc > 3 ? argv[3] : "normal";
  MsgWndStartup();
  Application->Initialize(argc, argv);
  RegisterGrCursors();
  Application->SetTitle("Sonarix - a Ping Utility");
  Application->CreateForm(Form1);
  Application->CreateForm(AboutBox);
  Form1->Show();
  Settle(50);
  TCustomForm* shown = Form1;
  if (mode == "about") {
    AboutBox->Show();
    shown = AboutBox;
  }
  TBitBtn* ping = Form1->sBitBtn1;
  if (mode == "hot") {
    Application->SetMouseControl(ping);
  } else if (mode == "pressed") {
    ping->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(10, 10));
  } else if (mode == "disabled") {
    ping->SetEnabled(false);
  }
  Settle(400);
  QImage shot;
  if (mode == "message") {
    GrabWhenShown(
        shot, [](QWidget* w) { return dynamic_cast<TMessageForm*>(FindControl(w)) != nullptr; },
        [](QWidget* w) { dynamic_cast<TMessageForm*>(FindControl(w))->SetModalResult(mrOk); });
    Application->MessageBox("Cannot create file \"/nowhere/SonarixLog.txt\".", Application->Title(),
                            MB_OK | MB_ICONSTOP);
  } else if (mode == "save") {
    GrabWhenShown(
        shot, [](QWidget* w) { return qobject_cast<QFileDialog*>(w) != nullptr; },
        [](QWidget* w) { qobject_cast<QFileDialog*>(w)->reject(); });
    Form1->SaveDialog1->Execute();
  } else if (mode == "hint") {
    Application->ActivateHint(ping, ping->Handle()->mapToGlobal(QPoint(10, 10)));
    Settle(300);
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible() && w->windowType() == Qt::ToolTip) shot = w->grab().toImage();
  } else {
    shot = shown->Handle()->grab().toImage();
  }
  if (scale > 1)
    shot = shot.scaled(shot.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);
  const bool ok = shot.save(QString::fromLocal8Bit(argv[1]));
  Application->DestroyForms();
  MsgWndShutdown();
  Application->Finalize();
  if (!ok) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
