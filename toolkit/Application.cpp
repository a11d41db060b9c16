// The application object (start-up and finalisation, the message loop and
// its passes, the top-level exception handler, hints, the per-thread window
// hook, pointer tracking across controls, released forms) and the screen.
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QToolTip>

#include <algorithm>

#include "toolkit/Accessible.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Forms.h"
#include "toolkit/SysUtils.h"
#include "toolkit/Thread.h"

namespace {
TApplication g_application;
TScreen g_screen;
}  // namespace

TApplication* Application = &g_application;
TScreen* Screen = &g_screen;

namespace {
int g_argc = 1;
char g_arg0[] = "sonarix";
char* g_argv[] = {g_arg0, nullptr};
}  // namespace

class TWindowHookFilter : public QObject {
 public:
  struct Hook {
    int handle;
    TWindowHookProc proc;
  };
  std::vector<Hook> hooks;
  std::vector<QPointer<QWidget>> seen;

  bool eventFilter(QObject* o, QEvent* e) override {
    if (hooks.empty() || !o->isWidgetType()) return false;
    auto* w = static_cast<QWidget*>(o);
    if (!w->isWindow()) return false;
    if (e->type() == QEvent::Show) {
      auto it = std::find(seen.begin(), seen.end(), w);
      if (it == seen.end()) {
        seen.emplace_back(w);
        QObject::connect(w, &QObject::destroyed, this, [this, w] {
          seen.erase(
              std::remove_if(seen.begin(), seen.end(),
                             [w](const QPointer<QWidget>& p) { return p.isNull() || p == w; }),
              seen.end());
          Fire(TWindowHookKind::whDestroy, w);
        });
        Fire(TWindowHookKind::whCreate, w);
      }
    } else if (e->type() == QEvent::WindowActivate) {
      Fire(TWindowHookKind::whActivate, w);
    }
    return false;
  }

  void Fire(TWindowHookKind kind, QWidget* w) {
    const std::vector<Hook> copy = hooks;
    for (const Hook& h : copy) ReportExceptions(Application, [&] { h.proc(kind, w); });
  }
};

TApplication::TApplication() : TComponent(nullptr) {}

TApplication::~TApplication() {
  // By now the program has finalised; what Qt objects remain cannot be
  // freed safely this late, when Qt's own statics may be gone.
  if (own_app_) (void)own_app_.release();
  (void)hook_filter_.release();
}

void TApplication::ReleaseQtObjects() {
  DestroyForms();
  delete handle_;
  handle_ = nullptr;
  if (hook_filter_ && QCoreApplication::instance())
    QCoreApplication::instance()->removeEventFilter(hook_filter_.get());
  hook_filter_.reset();
}

void TApplication::Finalize() {
  ReleaseQtObjects();
  own_app_.reset();
}

void TApplication::Initialize() {
  Initialize(g_argc, g_argv);
}

void TApplication::Initialize(int& argc, char** argv) {
  if (!QCoreApplication::instance()) {
    own_app_ = std::make_unique<QApplication>(argc, argv);
  }
  // The windows stay left to right as a whole, "-reverse" or not: their
  // layouts place every control, caption and title button at stored
  // positions for left-to-right reading, and the program's texts are
  // English. Mirroring only what Qt draws would leave a half-mirrored
  // window (captions reversed, controls in place).
  QGuiApplication::setLayoutDirection(Qt::LeftToRight);
  // Forms still alive when the Qt application goes are freed first.
  static bool post_routine = false;
  if (!post_routine) {
    post_routine = true;
    qAddPostRoutine([] { Application->ReleaseQtObjects(); });
  }
  RegisterProgramFonts();
  InstallAccessibleFactory();
  terminated_ = false;
}

void TApplication::SetTitle(const std::string& title) {
  if (title == title_) return;
  // The title captions the error boxes. Qt's application name is left to
  // the program: X11 window managers and desktops know the windows by it.
  title_ = title;
}

QWidget* TApplication::Handle() {
  if (!handle_) {
    handle_ = new QWidget;
    handle_->setWindowTitle(QString());
  }
  return handle_;
}

void TApplication::Run() {
  if (main_form_ && show_main_form_) main_form_->Show();
  while (!terminated_) {
    // An error that no handler caught is shown, and the loop goes on.
    try {
      HandleMessage();
    } catch (...) {
      HandleException(this);
    }
  }
}

void TApplication::ProcessMessages() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  CheckSynchronize();
  DoReleases();
}

void TApplication::HandleMessage() {
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  // Idle: the calls worker threads queued, and forms released meanwhile.
  CheckSynchronize();
  DoReleases();
}

void TApplication::Terminate() {
  terminated_ = true;
  if (QAbstractEventDispatcher* d = QAbstractEventDispatcher::instance()) d->wakeUp();
}

std::string TApplication::ExceptionText(const std::string& message) {
  std::string text = message;
  if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.'))
    text += '.';
  return text;
}

void TApplication::HandleException(TObject* sender) {
  std::exception_ptr error = std::current_exception();
  if (!error) return;
  try {
    std::rethrow_exception(error);
  } catch (const EAbort&) {
    // Silent by design.
  } catch (const std::exception& e) {
    if (OnException)
      OnException(sender, e);
    else
      ShowException(e);
  } catch (...) {
    const Exception unknown("Unknown exception");
    if (OnException)
      OnException(sender, unknown);
    else
      ShowException(unknown);
  }
}

void TApplication::ShowException(const std::exception& e) {
  MessageBox(ExceptionText(e.what()), title_, MB_OK | MB_ICONSTOP);
}

void TApplication::ActivateHint(TControl* control, const QPoint& global_pos) {
  hint_ = control->Hint();
  OnHint(this);
  QWidget* w = nullptr;
  QRect rect;
  if (control->IsWindowed()) {
    w = static_cast<TWinControl*>(control)->Handle();
    if (w) rect = w->rect();
  } else if (control->Parent()) {
    w = control->Parent()->Handle();
    const TRect nc = control->Parent()->FrameMargins();
    const TRect b = control->BoundsRect().Offset(nc.Left, nc.Top);
    rect = QRect(b.Left, b.Top, b.Width(), b.Height());
  }
  QToolTip::showText(global_pos, ToQString(hint_), w, rect);
}

void TApplication::InstallHooks() {
  if (hook_filter_ || !QCoreApplication::instance()) return;
  hook_filter_ = std::make_unique<TWindowHookFilter>();
  QCoreApplication::instance()->installEventFilter(hook_filter_.get());
}

int TApplication::HookWindows(TWindowHookProc proc) {
  InstallHooks();
  auto* f = static_cast<TWindowHookFilter*>(hook_filter_.get());
  if (!f) return 0;
  const int handle = next_hook_++;
  f->hooks.push_back({handle, std::move(proc)});
  return handle;
}

void TApplication::UnhookWindows(int handle) {
  auto* f = static_cast<TWindowHookFilter*>(hook_filter_.get());
  if (!f) return;
  f->hooks.erase(
      std::remove_if(f->hooks.begin(), f->hooks.end(),
                     [handle](const TWindowHookFilter::Hook& h) { return h.handle == handle; }),
      f->hooks.end());
}

namespace {

// The window whose cursor shows over `control`: its own, or for a
// windowless control its parent's.
QWidget* CursorWindowOf(TControl* control) {
  if (control->IsWindowed()) return static_cast<TWinControl*>(control)->Handle();
  return control->Parent() != nullptr ? control->Parent()->Handle() : nullptr;
}

}  // namespace

void TApplication::SetMouseControl(TControl* control) {
  if (control == mouse_control_) return;
  TControl* old = mouse_control_;
  mouse_control_ = control;
  if (old) {
    old->Perform(CM_MOUSELEAVE);
    if (!old->IsWindowed() && old->Parent() && old->Parent()->Handle())
      old->Parent()->Handle()->unsetCursor();
  }
  if (control && mouse_control_ == control) {
    control->Perform(CM_MOUSEENTER);
    if (mouse_control_ == control && control->Cursor() != crDefault) {
      if (QWidget* w = CursorWindowOf(control)) w->setCursor(Screen->Cursors(control->Cursor()));
    }
  }
}

void TApplication::CursorChanged(TControl* control) {
  if (control == nullptr || control != mouse_control_) return;
  QWidget* w = CursorWindowOf(control);
  if (w == nullptr) return;
  // A windowless control without a shape of its own shows its parent's.
  TControl* shown = control;
  if (shown->Cursor() == crDefault && !shown->IsWindowed() && shown->Parent() != nullptr)
    shown = shown->Parent();
  if (shown->Cursor() != crDefault) {
    w->setCursor(Screen->Cursors(shown->Cursor()));
  } else {
    w->unsetCursor();
  }
}

void TApplication::MouseLeftWindow(TWinControl* window) {
  if (!mouse_control_) return;
  if (mouse_control_ == window || mouse_control_->Parent() == window) SetMouseControl(nullptr);
}

void TApplication::CancelMode(TCustomForm* form) {
  TControl* control = mouse_control_;
  if (!control || (form && GetParentForm(control) != form)) return;
  SetMouseControl(nullptr);
  control->Perform(WM_CANCELMODE);
  // A windowless control's press is held by its window.
  if (!control->IsWindowed() && control->Parent()) control->Parent()->Perform(WM_CANCELMODE);
}

void TApplication::ControlDestroying(TControl* control) {
  if (mouse_control_ == control) mouse_control_ = nullptr;
  if (main_form_ == control) main_form_ = nullptr;
  released_.erase(std::remove(released_.begin(), released_.end(), control), released_.end());
}

void TApplication::ReleaseForm(TCustomForm* form) {
  if (std::find(released_.begin(), released_.end(), form) == released_.end())
    released_.push_back(form);
  if (QAbstractEventDispatcher* d = QAbstractEventDispatcher::instance()) d->wakeUp();
}

void TApplication::DoReleases() {
  while (!released_.empty()) {
    TCustomForm* f = released_.back();
    released_.pop_back();
    delete f;
  }
}

void TApplication::DestroyForms() {
  released_.clear();
  while (ComponentCount() > 0) delete Components(ComponentCount() - 1);
  main_form_ = nullptr;
  mouse_control_ = nullptr;
}

// ---- TScreen ----------------------------------------------------------------

int TScreen::Width() const {
  if (QScreen* s = QGuiApplication::primaryScreen()) return s->geometry().width();
  return 1024;
}

int TScreen::Height() const {
  if (QScreen* s = QGuiApplication::primaryScreen()) return s->geometry().height();
  return 768;
}

QCursor TScreen::Cursors(TCursor index) const {
  auto it = cursors_.find(index);
  if (it != cursors_.end()) return it->second;
  return QCursor(CursorShape(index));
}

TCustomForm* TScreen::ActiveForm() const {
  return GetParentForm(FindControl(QApplication::activeWindow()));
}
