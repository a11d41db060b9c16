// Controls: the windowless TControl/TGraphicControl and the windowed
// TWinControl (one QWidget each). Everything a control does arrives as a
// message through its WindowProc chain, which another object may take over
// and hand back (SetWindowProc), so that painting, sizing, focus and the
// non-client frame can be replaced at run time.
#pragma once

#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "toolkit/Classes.h"
#include "toolkit/Graphics.h"
#include "toolkit/Messages.h"
#include "toolkit/Types.h"

class QEvent;
class TWinControl;
class TCustomForm;

enum class TAlign : std::uint8_t { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };
using enum TAlign;

enum TAnchorKind : std::uint8_t { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
using TAnchors = std::uint8_t;
constexpr TAnchors kDefaultAnchors = akLeft | akTop;

enum class TAlignment : std::uint8_t { taLeftJustify, taRightJustify, taCenter };
using enum TAlignment;
enum class TTextLayout : std::uint8_t { tlTop, tlCenter, tlBottom };
using enum TTextLayout;

// Reading order and alignment for right-to-left languages.
enum class TBiDiMode : std::uint8_t {
  bdLeftToRight,
  bdRightToLeft,
  bdRightToLeftNoAlign,
  bdRightToLeftReadingOnly
};
using enum TBiDiMode;

enum class TMouseButton : std::uint8_t { mbLeft, mbRight, mbMiddle };
using enum TMouseButton;

enum TShiftStateFlags : std::uint8_t {
  ssShift = 1,
  ssAlt = 2,
  ssCtrl = 4,
  ssLeft = 8,
  ssRight = 16,
  ssMiddle = 32,
  ssDouble = 64,
};
using TShiftState = std::uint8_t;

// What a mouse message says: a button pressed, released or double-clicked,
// or the pointer moved, with the keys held and the position in the
// receiver's client coordinates. Moves name mbLeft as their button.
enum class TMouseAction : std::uint8_t { maMove, maDown, maUp, maDoubleClick };
using enum TMouseAction;
struct TMouseMessage {
  TMouseAction Action = maMove;
  TMouseButton Button = mbLeft;
  TShiftState Shift = 0;  // a double click adds ssDouble
  TPoint Pos;
};
// The mouse message in `message`, or nothing when it is another message.
std::optional<TMouseMessage> DecodeMouseMessage(const TMessage& message);
// The message number of `button` doing `action`.
std::uint32_t MouseMessageNumber(TMouseAction action, TMouseButton button);

enum class TBorderStyle : std::uint8_t { bsNone, bsSingle };

// How a control behaves (set by its class).
enum TControlStyleFlags : std::uint32_t {
  csAcceptsControls = 1u << 0,
  csCaptureMouse = 1u << 1,
  csDesignInteractive = 1u << 2,
  csClickEvents = 1u << 3,
  csFramed = 1u << 4,
  csSetCaption = 1u << 5,
  // The control paints its whole rectangle: its parent leaves it out.
  csOpaque = 1u << 6,
  csDoubleClicks = 1u << 7,
  csFixedWidth = 1u << 8,
  csFixedHeight = 1u << 9,
  csNoDesignVisible = 1u << 10,
  csReplicatable = 1u << 11,
  csNoStdEvents = 1u << 12,
  csParentBackground = 1u << 13,
};

// What a control is doing right now.
enum TControlStateFlags : std::uint32_t {
  csLButtonDown = 1u << 0,
  csClicked = 1u << 1,
  csPalette = 1u << 2,
  csReadingState = 1u << 3,
  csAlignmentNeeded = 1u << 4,
  csFocusing = 1u << 5,
  csCreating = 1u << 6,
  csPaintCopy = 1u << 7,
  csCustomPaint = 1u << 8,
  csDestroyingHandle = 1u << 9,
  csRedrawSuspended = 1u << 10,
};

// Cursor numbers; negative ones are the built-in shapes, positive ones are
// looked up in the application's cursor table (TScreen::Cursors).
using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crNone = -1;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crSizeNESW = -6;
constexpr TCursor crSizeNS = -7;
constexpr TCursor crSizeNWSE = -8;
constexpr TCursor crSizeWE = -9;
constexpr TCursor crUpArrow = -10;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crNo = -18;
constexpr TCursor crAppStart = -19;
constexpr TCursor crHelp = -20;
constexpr TCursor crHandPoint = -21;
constexpr TCursor crSizeAll = -22;

using TWndMethod = TEvent<TMessage&>;
using TMouseEvent = TEvent<TObject*, TMouseButton, TShiftState, int, int>;
using TMouseMoveEvent = TEvent<TObject*, TShiftState, int, int>;
using TKeyEvent = TEvent<TObject*, std::uint16_t&, TShiftState>;
using TKeyPressEvent = TEvent<TObject*, char&>;

// What a control is to assistive technology (a screen reader). arDefault:
// a windowed control is what its Qt widget says it is; a graphic control is
// not shown to it.
enum class TAccessibleRole : std::uint8_t { arDefault, arPushButton, arStaticText, arGraphic };

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* owner);
  ~TControl() override;

  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* parent);

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  virtual void SetBounds(int left, int top, int width, int height);
  TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }
  void SetBoundsRect(const TRect& r) { SetBounds(r.Left, r.Top, r.Width(), r.Height()); }

  // The client area in the control's own coordinates.
  virtual TRect ClientRect() const { return Rect(0, 0, width_, height_); }
  int ClientWidth() const { return ClientRect().Width(); }
  int ClientHeight() const { return ClientRect().Height(); }
  void SetClientWidth(int v) { SetClientSize(v, ClientHeight()); }
  void SetClientHeight(int v) { SetClientSize(ClientWidth(), v); }
  virtual void SetClientSize(int width, int height);
  // Top-left of the client area in screen coordinates.
  virtual TPoint ClientOrigin() const;

  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);
  TAnchors Anchors() const { return anchors_; }
  void SetAnchors(TAnchors anchors);

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible together with every parent.
  virtual bool Showing() const;

  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool enabled);

  TColor Color() const { return color_; }
  void SetColor(TColor color);
  bool ParentColor() const { return parent_color_; }
  void SetParentColor(bool value);

  TFont& Font() { return font_; }
  const TFont& Font() const { return font_; }
  void SetFont(const TFont& font) { font_.Assign(font); }
  bool ParentFont() const { return parent_font_; }
  void SetParentFont(bool value);

  const std::string& Hint() const { return hint_; }
  // The hint is also the control's description to assistive technology.
  void SetHint(const std::string& hint);
  // The control's name to assistive technology; empty: its caption where
  // it shows one (a button, a label).
  const std::string& AccessibleName() const { return accessible_name_; }
  void SetAccessibleName(const std::string& name);
  virtual TAccessibleRole AccessibleRole() const { return TAccessibleRole::arDefault; }
  bool ShowHint() const { return show_hint_; }
  void SetShowHint(bool value);
  bool ParentShowHint() const { return parent_show_hint_; }
  void SetParentShowHint(bool value);

  // A change shows at once when the control is under the pointer.
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor cursor);

  TBiDiMode BiDiMode() const { return bidi_mode_; }
  void SetBiDiMode(TBiDiMode mode);
  // Alignments mirror (left becomes right) only in full right-to-left mode.
  bool UseRightToLeftAlignment() const { return bidi_mode_ == bdRightToLeft; }
  bool UseRightToLeftReading() const { return bidi_mode_ != bdLeftToRight; }

  // Caption and Text are the same property under two names.
  std::string Caption() const { return GetText(); }
  void SetCaption(const std::string& text) { SetText(text); }
  std::string Text() const { return GetText(); }
  void SetText(const std::string& text);

  std::uint32_t ControlStyle() const { return control_style_; }
  void SetControlStyle(std::uint32_t style) { control_style_ = style; }
  std::uint32_t ControlState() const { return control_state_; }
  void SetControlState(std::uint32_t state) { control_state_ = state; }

  // Sends a message through the control's WindowProc chain.
  std::intptr_t Perform(std::uint32_t msg, std::uintptr_t wparam = 0, std::intptr_t lparam = 0);
  // The head of the message chain. Whoever replaces it keeps the old value
  // and calls it for what it does not handle, then puts it back.
  const TWndMethod& WindowProc() const { return window_proc_; }
  void SetWindowProc(TWndMethod proc);
  // The control's own message handling, which WindowProc starts out as.
  virtual void WndProc(TMessage& message);
  // What happens to a message nobody handled.
  virtual void DefaultHandler(TMessage& message);

  virtual void Invalidate();
  // Paints now: invalidates and processes the paint at once.
  virtual void Repaint();
  virtual void Update();

  virtual void Click();
  virtual bool IsWindowed() const { return false; }

  bool AutoSize() const { return auto_size_; }
  virtual void SetAutoSize(bool value);

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  TNotifyEvent OnResize;

 protected:
  // Message handlers; each derived class calls the inherited one for what
  // it does not change.
  virtual void Dispatch(TMessage& message);
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual void Resize();
  virtual void Loaded() override;
  virtual std::string GetText() const { return text_; }
  // Stores the text; windowed editors keep it in their widget instead.
  virtual void StoreText(const std::string& text) { text_ = text; }
  virtual void FontChanged();
  virtual void ColorChanged();
  virtual void VisibleChanged();
  virtual void EnabledChanged();
  // Called after the bounds changed; windowed controls move their widget.
  virtual void BoundsChanged(bool moved, bool resized);
  // Fits the size to the content when AutoSize is on.
  virtual void AdjustSize() {}
  void RequestAlign();
  bool CanAutoSizeNow() const { return auto_size_ && !IsLoading(); }
  TCustomForm* ParentForm() const;

  std::string text_;
  bool auto_size_ = false;

 private:
  friend class TWinControl;
  void FontChangedHandler(TObject*);
  void MouseMessage(const TMouseMessage& mouse);

  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TAlign align_ = alNone;
  TAnchors anchors_ = kDefaultAnchors;
  bool visible_ = true;
  bool enabled_ = true;
  TColor color_ = clWindow;
  bool parent_color_ = true;
  TFont font_;
  bool parent_font_ = true;
  bool assigning_parent_font_ = false;
  std::string hint_;
  std::string accessible_name_;
  bool show_hint_ = false;
  bool parent_show_hint_ = true;
  TCursor cursor_ = crDefault;
  TBiDiMode bidi_mode_ = bdLeftToRight;
  std::uint32_t control_style_ = csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks;
  std::uint32_t control_state_ = 0;
  TWndMethod window_proc_;
};

// A control without a window of its own: its parent paints it, into the
// parent's window, through WM_PAINT with the parent's device context.
class TGraphicControl : public TControl {
 public:
  explicit TGraphicControl(TComponent* owner);
  ~TGraphicControl() override;

  TCanvas& Canvas() { return canvas_; }
  void Invalidate() override;
  void Repaint() override;

  // Whether a Repaint would reach the screen now: the control and its
  // parent's window are shown and the settings are read.
  bool OnScreen() const;
  // Has the window system move what the control shows by (dx, dy) within
  // its rectangle, then repaints `exposed` (client coordinates, covering
  // what the move uncovered) at once, as Repaint does. Where the move
  // cannot be done on the pixels shown, the whole control is repainted.
  void ScrollOnScreen(int dx, int dy, const TRect& exposed);
  // Whether the paint under way draws on the window's own surface, which the
  // screen shows (not on a grab of the window or another device).
  bool PaintingOnScreen();

 protected:
  void Dispatch(TMessage& message) override;
  virtual void Paint() {}
  // `client` (the control's coordinates) on its parent's widget, inside the
  // parent's frame.
  QRect OnParentWidget(const TRect& client) const;
  void BoundsChanged(bool moved, bool resized) override;
  void VisibleChanged() override;

 private:
  TCanvas canvas_;
};

// The widget behind a windowed control; the control is reachable from it.
TWinControl* FindControl(const QWidget* widget);

class TWinControl : public TControl {
 public:
  // `widget` is the Qt widget to wrap (an editor); none makes a plain
  // window that the control paints itself.
  explicit TWinControl(TComponent* owner, QWidget* widget = nullptr);
  ~TWinControl() override;

  QWidget* Handle() const { return widget_; }
  bool HandleAllocated() const { return widget_ != nullptr; }
  bool IsWindowed() const override { return true; }
  void SetParent(TWinControl* parent) override;

  // Children in z-order (first is bottom-most).
  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Controls(int index) const { return controls_.at(static_cast<std::size_t>(index)); }
  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);
  bool ContainsControl(const TControl* control) const;
  // The visible, enabled windowless child at `p` (client coordinates), if any.
  TControl* ControlAtPos(TPoint p, bool allow_disabled = false) const;

  // Non-client frame: widths of the border around the client area.
  TRect FrameMargins() const;
  // Replaces the class's frame widths (the skin's form frame does so).
  void SetFrameMargins(const TRect& margins);
  void ResetFrameMargins();
  TRect ClientRect() const override;
  TPoint ClientOrigin() const override;
  void SetClientSize(int width, int height) override;

  int BorderWidth() const { return border_width_; }
  void SetBorderWidth(int value);

  int TabOrder() const;
  void SetTabOrder(int order);
  bool TabStop() const { return tab_stop_; }
  void SetTabStop(bool value);
  virtual bool CanFocus() const;
  virtual bool Focused() const;
  virtual void SetFocus();
  // Tab-stop controls of this window, depth first in tab order.
  void GetTabOrderList(std::vector<TWinControl*>& list) const;

  void Invalidate() override;
  void InvalidateRect(const TRect& client_rect);
  void Repaint() override;
  void Update() override;

  // Aligns the children; DisableAlign/EnableAlign bracket bulk changes.
  void Realign();
  void DisableAlign() { ++align_disabled_; }
  void EnableAlign();
  // Paints the windowless children onto `dc` (client coordinates), from
  // `first` onwards in z-order (all when null).
  void PaintControls(HDC dc, TControl* first = nullptr);
  // Repaints the window and all its children now.
  void RepaintAll();

  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;

  // Called by the widget for each Qt event (see Controls.cpp).
  bool WidgetEvent(QObject* target, QEvent* event, const std::function<bool()>& qt_default);

 protected:
  void Dispatch(TMessage& message) override;
  void DefaultHandler(TMessage& message) override;
  // The class's own frame widths.
  virtual TRect DefaultFrameMargins() const { return {}; }
  // Where the children go: the client area less borders (panels add bevels).
  virtual void AdjustClientRect(TRect& rect) const;
  virtual void AlignControls(TControl* control, TRect& rect);
  // The default non-client paint: the class's frame, on a painter in window
  // coordinates.
  virtual void PaintFrame(HDC dc);
  // Paints the client area itself (TCustomControl calls Paint here).
  virtual void PaintWindow(HDC dc);
  virtual void EraseBackground(HDC dc);
  // Whether the widget paints itself (a wrapped Qt editor does).
  virtual bool WidgetPaintsItself() const { return !own_widget_; }
  virtual void KeyDown(std::uint16_t& key, TShiftState shift);
  virtual void KeyUp(std::uint16_t& key, TShiftState shift);
  virtual void KeyPress(char& key);
  virtual void DoEnter();
  virtual void DoExit();
  void BoundsChanged(bool moved, bool resized) override;
  void FontChanged() override;
  void ColorChanged() override;
  void VisibleChanged() override;
  void EnabledChanged() override;
  void Loaded() override;
  // Places the widget at the control's bounds.
  virtual void UpdateWidgetGeometry();
  // Applies font and colour to the widget's palette.
  virtual void UpdateWidgetLook();
  void UpdateTabChain();
  // Installs the event forwarding on a sub-widget (a combo box's editor).
  void ForwardEventsOf(QWidget* widget);
  // Turns one Qt event into messages; forms add their window events.
  virtual bool TranslateEvent(QObject* target, QEvent* event,
                              const std::function<bool()>& qt_default);
  // Sends `message` through the chain; reaching DefaultHandler runs Qt's
  // own handling of the event. Returns what Qt's handling returned.
  bool SendQt(TMessage& message, const std::function<bool()>& qt_default);

  bool aligning_ = false;

 private:
  friend class TControl;
  friend class TGraphicControl;
  void PaintEvent(QEvent* event, const std::function<bool()>& qt_default);
  bool KeyEvent(QEvent* event, const std::function<bool()>& qt_default);
  void ChildAnchorsResize(int dx, int dy);
  void DoAlign(TAlign align, TControl* control, TRect& rect);

  QPointer<QWidget> widget_;
  bool own_widget_ = true;
  std::vector<TControl*> controls_;
  std::vector<TWinControl*> tab_list_;
  bool tab_stop_ = false;
  int border_width_ = 0;
  int align_disabled_ = 0;
  bool frame_override_ = false;
  TRect frame_margins_;
  TControl* captured_ = nullptr;
  TRect last_client_;
  // The font and colours changed while the settings were read.
  bool look_pending_ = false;
  // The Qt event being translated, so DefaultHandler can run Qt's handling.
  struct QtDispatch {
    TMessage* message;
    const std::function<bool()>* qt_default;
    bool done;
    bool result;
  };
  QtDispatch* qt_dispatch_ = nullptr;
  std::unique_ptr<QObject> forwarder_;
};

// A windowed control that paints itself on its Canvas.
class TCustomControl : public TWinControl {
 public:
  explicit TCustomControl(TComponent* owner);
  ~TCustomControl() override;
  TCanvas& Canvas() { return canvas_; }

 protected:
  virtual void Paint() {}
  void PaintWindow(HDC dc) override;

 private:
  TCanvas canvas_;
};

// Helpers shared by the painted controls.
void Frame3D(TCanvas& canvas, TRect& rect, TColor top_color, TColor bottom_color, int width);
Qt::CursorShape CursorShape(TCursor cursor);
