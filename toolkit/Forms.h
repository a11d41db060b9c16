// Forms (top-level windows), the application object and the screen.
#pragma once

#include <QCursor>
#include <QFont>
#include <QPointer>
#include <QRegion>

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "toolkit/Controls.h"
#include "toolkit/WindowDrag.h"

class QApplication;
class QWidget;

enum class TFormBorderStyle : std::uint8_t {
  bsNone,
  bsSingle,
  bsSizeable,
  bsDialog,
  bsToolWindow,
  bsSizeToolWin
};

enum TBorderIconFlags : std::uint8_t {
  biSystemMenu = 1,
  biMinimize = 2,
  biMaximize = 4,
  biHelp = 8
};
using TBorderIcons = std::uint8_t;

enum class TPosition : std::uint8_t {
  poDesigned,
  poDefault,
  poDefaultPosOnly,
  poDefaultSizeOnly,
  poScreenCenter,
  poDesktopCenter,
  poMainFormCenter,
  poOwnerFormCenter
};
using enum TPosition;

enum class TWindowState : std::uint8_t { wsNormal, wsMinimized, wsMaximized };
using enum TWindowState;

enum class TCloseAction : std::uint8_t { caNone, caHide, caFree, caMinimize };
using enum TCloseAction;

using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = 1;
constexpr TModalResult mrCancel = 2;
constexpr TModalResult mrAbort = 3;
constexpr TModalResult mrRetry = 4;
constexpr TModalResult mrIgnore = 5;
constexpr TModalResult mrYes = 6;
constexpr TModalResult mrNo = 7;
constexpr TModalResult mrAll = 8;
constexpr TModalResult mrNoToAll = 9;
constexpr TModalResult mrYesToAll = 10;

enum TFormStateFlags : std::uint8_t {
  fsCreating = 1,
  fsVisible = 2,
  fsShowing = 4,
  fsModal = 8,
  fsActivated = 16
};

// While it lives, Qt's application font is `font`'s face. Qt's editors lay
// out their empty text as they are made, in the application's font, long
// before the window they belong to gives them its own (at Loaded): a window
// that knows its controls' font makes them under it, so that no face is
// loaded only to be dropped. The application's font is back at the end.
class TControlFontScope {
 public:
  explicit TControlFontScope(const TFont& font);
  ~TControlFontScope();
  TControlFontScope(const TControlFontScope&) = delete;
  TControlFontScope& operator=(const TControlFontScope&) = delete;

 private:
  QFont before_;
  bool active_ = false;
};

using TCloseEvent = TEvent<TObject*, TCloseAction&>;
using TCloseQueryEvent = TEvent<TObject*, bool&>;

class TCustomForm : public TWinControl {
 public:
  explicit TCustomForm(TComponent* owner);
  ~TCustomForm() override;

  TFormBorderStyle BorderStyle() const { return border_style_; }
  void SetBorderStyle(TFormBorderStyle style);
  TBorderIcons BorderIcons() const { return border_icons_; }
  void SetBorderIcons(TBorderIcons icons);
  TPosition Position() const { return position_; }
  void SetPosition(TPosition position) { position_ = position; }
  TWindowState WindowState() const { return window_state_; }
  void SetWindowState(TWindowState state);
  bool KeyPreview() const { return key_preview_; }
  void SetKeyPreview(bool value) { key_preview_ = value; }

  TModalResult ModalResult() const { return modal_result_; }
  void SetModalResult(TModalResult result) { modal_result_ = result; }
  std::uint8_t FormState() const { return form_state_; }

  TWinControl* ActiveControl() const { return active_control_; }
  void SetActiveControl(TWinControl* control);
  // Called when a control of this form gets the focus.
  void FocusChanged(TWinControl* control);
  // Focuses the first control in tab order.
  void SelectFirst();
  bool Active() const { return active_; }

  // Shows the form modally; returns once ModalResult is set (or the
  // application ends) with that result.
  virtual TModalResult ShowModal();
  // Closes the form as its close button does (see OnClose).
  void Close();
  virtual bool CloseQuery();
  // Frees the form once the current message has been handled.
  void Release();
  // Suspends (false) or resumes (true) painting of the whole form.
  void SetRedraw(bool redraw);

  // The program paints the window's frame: the window system's frame is
  // off whatever the border style and icons, and the frame margins are the
  // program's (see SetFrameKeepingClient).
  bool OwnFrame() const { return own_frame_; }
  void SetOwnFrame(bool value);
  // New frame margins around the same client size: the window grows or
  // shrinks by the difference.
  void SetFrameKeepingClient(const TRect& margins);
  // The window's outline in window coordinates (a shaped window); an empty
  // region gives the whole rectangle back.
  void SetWindowRegion(const QRegion& region);
  QRegion WindowRegion() const;

  // Moves or sizes the window from a pointer press at `global_pos` (a frame
  // the program paints itself): the window system when it takes over, else
  // the program follows the pointer. Returns which of them does it.
  TDragResult StartSystemMove(QPoint global_pos);
  TDragResult StartSystemResize(Qt::Edges edges, QPoint global_pos);
  // The bounds the window goes back to from maximised.
  TRect RestoredBounds() const { return restored_bounds_; }
  // The smallest client area the window may be sized to, by the window
  // system or from the program's own frame (0 for none); the window's
  // minimum adds the frame margins to it.
  void SetMinClientSize(int width, int height);
  TPoint MinClientSize() const { return min_client_; }
  // Whether the window is minimised by the program itself (no window
  // manager): only its caption bar shows, where the window was.
  bool RolledUp() const { return own_minimized_; }
  // Shows the window menu (restore, move, size, minimise, maximise, close)
  // at `global_pos`; its choices arrive as WM_SYSCOMMAND.
  void ShowSystemMenu(QPoint global_pos);

  bool Showing() const override { return Visible(); }
  TPoint ClientOrigin() const override;

  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;

 protected:
  void Dispatch(TMessage& message) override;
  // What a window without a handler of its own does with the frame's
  // messages: hit testing by the frame margins, resize cursors, moving and
  // sizing from caption and borders, maximising on a caption double-click,
  // the system commands.
  void DefaultHandler(TMessage& message) override;
  bool TranslateEvent(QObject* target, QEvent* event,
                      const std::function<bool()>& qt_default) override;
  void VisibleChanged() override;
  void UpdateWidgetGeometry() override;
  void StoreText(const std::string& text) override;
  void KeyDown(std::uint16_t& key, TShiftState shift) override;
  virtual void DoClose(TCloseAction& action);
  virtual void DoShow();
  virtual void DoHide();
  virtual void Activate();
  virtual void Deactivate();
  void ApplyWindowFlags();

 public:
  // The pointer went from the program-drawn frame straight into a child
  // window: the frame is left (no Qt leave event reaches the form then).
  void PointerEnteredChild();

 private:
  void PlaceOnFirstShow();
  bool CloseModal();
  // Pointer events over the frame become non-client messages; true when
  // the event was the frame's.
  bool FrameMouseEvent(QEvent* event);
  void LeaveFrame();
  int DefaultHitTest(TPoint p) const;
  void SetFrameCursor(int hit);
  void MaximizeOwnFrame();
  void RestoreOwnFrame();
  // Minimising without a window manager: the window shows its caption bar
  // alone, and comes back as it was.
  void RollUp();
  void Unroll();
  // The mask the window system gets: the frame's region, cut to the caption
  // bar while rolled up.
  void ApplyMask();

  TFormBorderStyle border_style_ = TFormBorderStyle::bsSizeable;
  TBorderIcons border_icons_ = biSystemMenu | biMinimize | biMaximize;
  TPosition position_ = poDesigned;
  TWindowState window_state_ = wsNormal;
  bool key_preview_ = false;
  TModalResult modal_result_ = mrNone;
  std::uint8_t form_state_ = 0;
  TWinControl* active_control_ = nullptr;
  bool active_ = false;
  bool placed_ = false;
  bool updating_geometry_ = false;
  bool own_frame_ = false;
  bool own_maximized_ = false;
  bool own_minimized_ = false;
  TRect restored_bounds_;
  TPoint min_client_;
  // A press on the caption under a window manager: the move starts once
  // the pointer has gone the drag distance, so that a double click stays
  // the program's.
  bool move_pending_ = false;
  QPoint move_from_;
  // The last press on the caption gave a rolled-up window back.
  bool unrolled_by_press_ = false;
  QRegion region_;
  // The pointer is over the frame (a leave is due), and where a button
  // went down: over the frame (its messages stay non-client until the
  // release) or in the client area.
  bool pointer_in_frame_ = false;
  bool frame_pressed_ = false;
  bool client_pressed_ = false;
  bool frame_cursor_ = false;
  bool drag_started_ = false;
};

// Hit testing of a window frame the program paints, at `p` in window
// coordinates: `margins` around the client area, borders `frame` pixels thick; with `sizeable` the
// borders and corners size the window, else they are plain border. The top margin inside the border
// is caption.
int FrameHitTest(TPoint p, int width, int height, const TRect& margins, int frame, bool sizeable);
// Edges a sizing hit-test code moves (none for other codes).
Qt::Edges EdgesOfHitTest(int hit);
// The cursor shape the pointer takes over a hit-test code.
TCursor CursorOfHitTest(int hit);

class TForm : public TCustomForm {
 public:
  explicit TForm(TComponent* owner) : TCustomForm(owner) {}
};

// The form a control sits on (the top of its parent chain), if any.
TCustomForm* GetParentForm(const TControl* control);

// Windows as the application's window hook reports them.
enum class TWindowHookKind { whCreate, whActivate, whDestroy };
// `window` is any top-level Qt window of the thread, a toolkit form or not
// (FindControl maps it back to a form).
using TWindowHookProc = std::function<void(TWindowHookKind kind, QWidget* window)>;

using TExceptionEvent = TEvent<TObject*, const std::exception&>;

class TApplication : public TComponent {
 public:
  TApplication();
  ~TApplication() override;

  // Creates the Qt application when there is none yet, and makes the
  // program's fonts known.
  void Initialize();
  void Initialize(int& argc, char** argv);
  // Frees the forms and, if Initialize created it, the Qt application.
  // The program calls it before it returns from main.
  void Finalize();

  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title);
  TCustomForm* MainForm() const { return main_form_; }
  // The main form carries the task-bar button, not the application window.
  bool MainFormOnTaskBar() const { return main_form_on_task_bar_; }
  void SetMainFormOnTaskBar(bool value) { main_form_on_task_bar_ = value; }
  bool ShowMainForm() const { return show_main_form_; }
  void SetShowMainForm(bool value) { show_main_form_ = value; }
  // The application's own hidden window (never shown, empty window text).
  QWidget* Handle();

  // Creates a form owned by the application; the first becomes the main form.
  template <class T>
  void CreateForm(T*& reference) {
    reference = nullptr;
    T* form = new T(this);
    reference = form;
    if (!main_form_) main_form_ = form;
  }

  // Shows the main form and runs the message loop until Terminate.
  void Run();
  // One pass over the message queue: everything waiting is handled, then
  // the calls queued by worker threads; it does not wait.
  void ProcessMessages();
  // Waits for at least one message, handles what is waiting, then idles.
  void HandleMessage();
  void Terminate();
  bool Terminated() const { return terminated_; }

  // The top-level exception handler: call from inside a catch block.
  void HandleException(TObject* sender);
  // The error box: the message with a full stop appended when its last
  // character sorts after ".", captioned with the title.
  void ShowException(const std::exception& e);
  static std::string ExceptionText(const std::string& message);
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags);
  TExceptionEvent OnException;

  // Hints.
  bool ShowHint() const { return show_hint_; }
  void SetShowHint(bool value) { show_hint_ = value; }
  const std::string& Hint() const { return hint_; }
  void ActivateHint(TControl* control, const QPoint& global_pos);
  TNotifyEvent OnHint;

  // The per-thread window hook: called when a top-level window of this
  // thread appears, is activated or goes away. Returns a handle for Unhook.
  int HookWindows(TWindowHookProc proc);
  void UnhookWindows(int handle);

  // Pointer tracking: the control under the mouse gets CM_MOUSEENTER and
  // CM_MOUSELEAVE as it changes.
  TControl* MouseControl() const { return mouse_control_; }
  void SetMouseControl(TControl* control);
  // `control` changed its cursor: shown at once when it is under the pointer.
  void CursorChanged(TControl* control);
  void MouseLeftWindow(TWinControl* window);
  // Cancels what the pointer was doing in `form` (any form when null): a
  // modal window opens or the form loses activation. The control under the
  // pointer is left (CM_MOUSELEAVE) and gets WM_CANCELMODE, so a press on it
  // clicks nothing and the next movement enters it again.
  void CancelMode(TCustomForm* form = nullptr);

  // Book-keeping called by the controls.
  void ControlDestroying(TControl* control);
  void ReleaseForm(TCustomForm* form);
  // Frees every form the application owns (at shut-down).
  void DestroyForms();

 private:
  friend class TWindowHookFilter;
  void InstallHooks();
  void ReleaseQtObjects();
  void DoReleases();

  std::unique_ptr<QApplication> own_app_;
  std::string title_;
  TCustomForm* main_form_ = nullptr;
  bool main_form_on_task_bar_ = false;
  bool show_main_form_ = true;
  std::atomic<bool> terminated_{false};  // read by worker threads
  bool show_hint_ = true;
  std::string hint_;
  QWidget* handle_ = nullptr;
  TControl* mouse_control_ = nullptr;
  std::vector<TCustomForm*> released_;
  std::unique_ptr<QObject> hook_filter_;
  int next_hook_ = 1;
};

class TScreen : public TComponent {
 public:
  TScreen() : TComponent(nullptr) {}
  int Width() const;
  int Height() const;
  // The cursor table: negative numbers are the built-in shapes.
  QCursor Cursors(TCursor index) const;
  void SetCursors(TCursor index, const QCursor& cursor) { cursors_[index] = cursor; }
  TCustomForm* ActiveForm() const;

 private:
  std::map<TCursor, QCursor> cursors_;
};

extern TApplication* Application;
extern TScreen* Screen;

// Runs `f`; an exception it throws goes to the application's handler with
// `sender` as the source. For code that Qt calls (signals, event filters,
// timers, the message loop): no exception may unwind through Qt.
template <class F>
void ReportExceptions(TObject* sender, F&& f) {
  try {
    std::forward<F>(f)();
  } catch (...) {
    Application->HandleException(sender);
  }
}
