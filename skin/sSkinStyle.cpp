#include "skin/sSkinStyle.h"

#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleFactory>
#include <QStyleOption>
#include <QToolTip>
#include <QWidget>

#include <algorithm>
#include <memory>

#include "skin/Blend.h"
#include "skin/SkinPaint.h"
#include "skin/SkinPainter.h"
#include "skin/sScrollBar.h"
#include "skin/sSkinManager.h"
#include "skin/sSkinMessages.h"
#include "toolkit/Buttons.h"
#include "toolkit/Controls.h"
#include "toolkit/Forms.h"
#include "toolkit/Graphics.h"
#include "toolkit/Guards.h"

namespace {

const SectionRecord* HintSection(const TsSkinModel& model) {
  const int index = model.SectionIndex("HINT");
  if (index < 0 || static_cast<std::size_t>(index) >= model.Sections().size()) return nullptr;
  return &model.Sections()[static_cast<std::size_t>(index)];
}

}  // namespace

bool PaintSkinHint(TBitmap& bitmap, const TsSkinModel& model) {
  const SectionRecord* section = HintSection(model);
  if (section == nullptr || bitmap.Empty()) return false;
  TsSectionRequest request;
  request.section = model.SectionIndex("HINT");
  PaintSkinItem(bitmap, Rect(0, 0, bitmap.Width(), bitmap.Height()), model, request, true,
                TsBackground::FromColor(ColorToRGB(section->Color)));
  return true;
}

TsSkinStyle::TsSkinStyle(TsSkinManager* const* manager)
    : QProxyStyle(QStyleFactory::create(QApplication::style()->name())), manager_(manager) {}

const TsSkinModel* TsSkinStyle::ActiveModel() const {
  const TsSkinManager* m = manager_ != nullptr ? *manager_ : nullptr;
  if (m == nullptr || !m->Active()) return nullptr;
  return &m->Model();
}

bool PaintSkinSection(TBitmap& bitmap, const TsSkinModel& model, const char* name, int state,
                      bool filling, bool enabled, TColor back) {
  const int index = model.SectionIndex(name);
  if (index < 0 || static_cast<std::size_t>(index) >= model.Sections().size() || bitmap.Empty())
    return false;
  TsSectionRequest request;
  request.section = index;
  request.state = state;
  const TRect all = Rect(0, 0, bitmap.Width(), bitmap.Height());
  const TsBackground behind = TsBackground::FromColor(ColorToRGB(back));
  PaintSkinItem(bitmap, all, model, request, filling, behind);
  if (!enabled) PaintDisabledLook(PixelsOf(bitmap), all, kDefaultDisabledKind, behind);
  return true;
}

namespace {

TColor ColorOf(const QColor& c) {
  return RGB(c.red(), c.green(), c.blue());
}

// What lies behind a control: its parent's face colour.
TColor BackOf(const QStyleOption* option) {
  return ColorOf(option->palette.color(QPalette::Window));
}

// Paints the section's face over `rect`; false when the skin lacks it.
bool PaintFace(QPainter* painter, const QRect& rect, const TsSkinModel& model, const char* name,
               int state, bool filling, const QStyleOption* option) {
  if (rect.width() <= 0 || rect.height() <= 0) return false;
  TBitmap face(rect.width(), rect.height());
  const bool enabled = (option->state & QStyle::State_Enabled) != 0;
  if (!PaintSkinSection(face, model, name, state, filling, enabled, BackOf(option))) return false;
  painter->drawImage(rect.topLeft(), face.Image());
  return true;
}

// A push button's state as the program's own buttons have it: pressed,
// hot under the pointer, focused or default, else normal.
int ButtonState(const QStyleOption* option) {
  if ((option->state & (QStyle::State_Sunken | QStyle::State_On)) != 0) return 2;
  const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
  const bool is_default =
      button != nullptr && (button->features & QStyleOptionButton::DefaultButton) != 0;
  if (is_default || (option->state & (QStyle::State_MouseOver | QStyle::State_HasFocus)) != 0)
    return 1;
  return 0;
}

const SectionRecord* SectionOf(const TsSkinModel& model, const char* name) {
  const int index = model.SectionIndex(name);
  if (index < 0 || static_cast<std::size_t>(index) >= model.Sections().size()) return nullptr;
  return &model.Sections()[static_cast<std::size_t>(index)];
}

TsScrollPart PartOf(QStyle::SubControls sub) {
  if ((sub & QStyle::SC_ScrollBarSubLine) != 0) return spArrowFirst;
  if ((sub & QStyle::SC_ScrollBarAddLine) != 0) return spArrowLast;
  if ((sub & QStyle::SC_ScrollBarSubPage) != 0) return spPageFirst;
  if ((sub & QStyle::SC_ScrollBarAddPage) != 0) return spPageLast;
  if ((sub & QStyle::SC_ScrollBarSlider) != 0) return spSlider;
  return spNone;
}

// The bar's values as the skin's bar painter takes them: a Qt bar's maximum
// is the last position, a skinned bar's the last unit of the last page.
TsScrollBarLook ScrollLookOf(const QStyleOptionSlider& bar, const TsSkinModel& model) {
  TsScrollBarLook look;
  look.kind = bar.orientation == Qt::Horizontal ? SB_HORZ : SB_VERT;
  const int page = std::max(bar.pageStep, 0);
  look.info.Min = bar.minimum;
  look.info.Max = bar.maximum + std::max(page - 1, 0);
  look.info.Page = page;
  look.info.Pos = bar.sliderPosition;
  look.info.TrackPos = bar.sliderPosition;
  look.enabled = (bar.state & QStyle::State_Enabled) != 0 && bar.maximum > bar.minimum;
  look.arrow = ScrollArrowLength(&model, look.kind);
  const TsScrollPart active = PartOf(bar.activeSubControls);
  if ((bar.state & QStyle::State_Sunken) != 0) {
    look.pressed = active;
  } else if ((bar.state & QStyle::State_MouseOver) != 0) {
    look.hot = active;
  }
  return look;
}

bool HasScrollSections(const TsSkinModel& model) {
  return SectionOf(model, "SCROLLBAR1V") != nullptr;
}

}  // namespace

void TsSkinStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                QPainter* painter, const QWidget* widget) const {
  const TsSkinModel* model = ActiveModel();
  if (element == PE_PanelTipLabel && model != nullptr) {
    TBitmap face(option->rect.width(), option->rect.height());
    if (PaintSkinHint(face, *model)) {
      painter->drawImage(option->rect.topLeft(), face.Image());
      return;
    }
  }
  if (model != nullptr) {
    switch (element) {
      case PE_FrameFocusRect:
        // The skin shows focus by the hot face; no dotted rectangle.
        return;
      case PE_PanelButtonCommand:
        if (PaintFace(painter, option->rect, *model, "BUTTON", ButtonState(option), false, option))
          return;
        break;
      case PE_PanelLineEdit: {
        const int state = (option->state & State_HasFocus) != 0 ? 1 : 0;
        if (PaintFace(painter, option->rect, *model, "EDIT", state, true, option)) return;
        break;
      }
      case PE_FrameLineEdit:
        // The edit's face carries its frame.
        if (SectionOf(*model, "EDIT") != nullptr) return;
        break;
      default:
        break;
    }
  }
  QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void TsSkinStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                              const QWidget* widget) const {
  const TsSkinModel* model = ActiveModel();
  const SectionRecord* button = model != nullptr ? SectionOf(*model, "BUTTON") : nullptr;
  if (button != nullptr) {
    switch (element) {
      case CE_PushButtonBevel:
        PaintFace(painter, option->rect, *model, "BUTTON", ButtonState(option), false, option);
        return;
      case CE_PushButtonLabel:
        if (const auto* b = qstyleoption_cast<const QStyleOptionButton*>(option)) {
          // The caption in the section's text colour for the state.
          QStyleOptionButton label(*b);
          const TColor text = TextColorsOf(*button, ButtonState(option) != 0)[0];
          label.palette.setColor(QPalette::ButtonText, ToQColor(text));
          QProxyStyle::drawControl(element, &label, painter, widget);
          return;
        }
        break;
      default:
        break;
    }
  }
  QProxyStyle::drawControl(element, option, painter, widget);
}

void TsSkinStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                     QPainter* painter, const QWidget* widget) const {
  const TsSkinModel* model = ActiveModel();
  const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
  if (control == CC_ScrollBar && model != nullptr && bar != nullptr && HasScrollSections(*model) &&
      !option->rect.isEmpty()) {
    TBitmap face(option->rect.width(), option->rect.height());
    const TsBackground behind = TsBackground::FromColor(ColorToRGB(BackOf(option)));
    if (PaintScrollBar(face, *model, ScrollLookOf(*bar, *model), behind)) {
      painter->drawImage(option->rect.topLeft(), face.Image());
      return;
    }
  }
  QProxyStyle::drawComplexControl(control, option, painter, widget);
}

QRect TsSkinStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                                  SubControl sub, const QWidget* widget) const {
  const TsSkinModel* model = ActiveModel();
  const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
  if (control != CC_ScrollBar || model == nullptr || bar == nullptr || !HasScrollSections(*model))
    return QProxyStyle::subControlRect(control, option, sub, widget);
  // Where the skin's bar painter puts the parts, so that the pointer finds
  // them where they are drawn.
  const TsScrollBarLook look = ScrollLookOf(*bar, *model);
  const bool vertical = look.kind == SB_VERT;
  const QRect r = option->rect;
  const int length = vertical ? r.height() : r.width();
  const int min_slider = look.min_slider >= 0 ? look.min_slider : DefaultMinSliderLength();
  const TsScrollLayout l = LayoutScrollBar(look.info, length, look.arrow, min_slider, look.enabled);
  auto span = [&](int from, int to) {
    if (to < from) to = from;
    return vertical ? QRect(0, from, r.width(), to - from) : QRect(from, 0, to - from, r.height());
  };
  QRect part;
  switch (sub) {
    case SC_ScrollBarSubLine:
      part = span(0, l.arrow);
      break;
    case SC_ScrollBarAddLine:
      part = span(length - l.arrow, length);
      break;
    case SC_ScrollBarGroove:
      part = span(l.arrow, length - l.arrow);
      break;
    case SC_ScrollBarSlider:
      part = l.slider_shown ? span(l.SliderStart(), l.SliderEnd()) : QRect();
      break;
    case SC_ScrollBarSubPage:
      part = span(l.arrow, l.slider_shown ? l.SliderStart() : l.Split());
      break;
    case SC_ScrollBarAddPage:
      part = span(l.slider_shown ? l.SliderEnd() : l.Split(), length - l.arrow);
      break;
    default:
      return QProxyStyle::subControlRect(control, option, sub, widget);
  }
  return visualRect(option->direction, r, part.translated(r.topLeft()));
}

QStyle::SubControl TsSkinStyle::hitTestComplexControl(ComplexControl control,
                                                      const QStyleOptionComplex* option,
                                                      const QPoint& pos,
                                                      const QWidget* widget) const {
  const TsSkinModel* model = ActiveModel();
  if (control != CC_ScrollBar || model == nullptr || !HasScrollSections(*model))
    return QProxyStyle::hitTestComplexControl(control, option, pos, widget);
  for (SubControl sub : {SC_ScrollBarSlider, SC_ScrollBarSubLine, SC_ScrollBarAddLine,
                         SC_ScrollBarSubPage, SC_ScrollBarAddPage}) {
    if (subControlRect(control, option, sub, widget).contains(pos)) return sub;
  }
  return SC_None;
}

void SetProgramHintFont() {
  TFont font;
  font.SetName("Tahoma");
  font.SetHeight(-11);
  QToolTip::setFont(font.ToQFont());
}

namespace {

// The section's text colour and the program's hint font, from the skin in
// force when the hint window is shown.
void ApplyHintLook(QWidget* tip, TsSkinManager* const* manager) {
  // Qt gives a new hint window the hint font.
  SetProgramHintFont();
  tip->setFont(QToolTip::font());
  const TsSkinManager* m = *manager;
  const SectionRecord* section = m != nullptr && m->Active() ? HintSection(m->Model()) : nullptr;
  if (section == nullptr) {
    tip->setPalette(QToolTip::palette());
    return;
  }
  QPalette palette = QToolTip::palette();
  palette.setColor(QPalette::ToolTipText, ToQColor(section->FontColor[0]));
  palette.setColor(QPalette::WindowText, ToQColor(section->FontColor[0]));
  palette.setColor(QPalette::ToolTipBase, ToQColor(section->Color));
  tip->setPalette(palette);
}

// Qt keeps one hint window and shows it again and again: its look is
// brought up to date each time it is shown.
class THintFollower : public QObject {
 public:
  THintFollower(QWidget* tip, TsSkinManager* const* manager) : QObject(tip), manager_(manager) {}
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Show) ApplyHintLook(static_cast<QWidget*>(o), manager_);
    return false;
  }

 private:
  TsSkinManager* const* manager_;
};

}  // namespace

TsSkinStyle* SharedSkinStyle(TsSkinManager* const* manager) {
  // One style for the life of the program (Qt keeps its hint window until
  // the end).
  static TsSkinStyle* style = nullptr;
  if (style == nullptr) style = new TsSkinStyle(manager);
  return style;
}

namespace {

bool TakesSkinStyle(const QWidget* w) {
  return qobject_cast<const QPushButton*>(w) != nullptr ||
         qobject_cast<const QLineEdit*>(w) != nullptr ||
         qobject_cast<const QScrollBar*>(w) != nullptr ||
         qobject_cast<const QAbstractItemView*>(w) != nullptr;
}

void StyleControlsOf(QWidget* window, QStyle* style) {
  for (QWidget* w : window->findChildren<QWidget*>()) {
    if (w->isWindow() || w->style() == style || !TakesSkinStyle(w)) continue;
    w->setStyle(style);
  }
}

// Controls an adopted window makes later (a dialog fills its lists and
// bars as it goes) take the style as they are polished or shown. Found
// again by its name: the class has no meta-object of its own, so a typed
// look-up would take any child object for it.
constexpr char kControlStylerName[] = "sonarix-control-styler";

class TControlStyler : public QObject {
 public:
  TControlStyler(QWidget* window, QStyle* style) : QObject(window), style_(style) {
    setObjectName(QLatin1String(kControlStylerName));
  }
  bool eventFilter(QObject* o, QEvent* e) override {
    switch (e->type()) {
      case QEvent::ChildPolished:
      case QEvent::Show:
      case QEvent::LayoutRequest:
        StyleControlsOf(static_cast<QWidget*>(o), style_);
        break;
      default:
        break;
    }
    return false;
  }

 private:
  QStyle* style_;
};

}  // namespace

namespace {

// A toolkit push button of an adopted form (a message box's OK, say) drawn
// from the skin's "BUTTON" section as the program's own buttons are: it
// takes over the button's paint message while a skin is active and hands
// everything else back. It belongs to the button and goes with it.
class TAdoptedButtonLook : public TComponent {
 public:
  TAdoptedButtonLook(TBitBtn* button, TsSkinManager* const* manager)
      : TComponent(button), button_(button), manager_(manager), old_proc_(button->WindowProc()) {
    button->SetWindowProc(TWndMethod(this, &TAdoptedButtonLook::WndProc));
  }

  // 2 pushed, 1 default, focused or under the pointer, else 0.
  static int StateOf(const TBitBtn& b) {
    if (b.Pushed()) return 2;
    const bool hover = b.Handle() != nullptr && b.Handle()->underMouse();
    return b.Default() || b.Focused() || hover ? 1 : 0;
  }

 private:
  void WndProc(TMessage& m) {
    if ((m.Msg == WM_PAINT && m.WParam != 0 && Paint(MessageDC(m))) ||
        (m.Msg == WM_ERASEBKGND && m.WParam != 0 && Skinned())) {
      m.Result = 1;
      return;
    }
    if (m.Msg == CM_MOUSEENTER || m.Msg == CM_MOUSELEAVE) button_->Invalidate();
    old_proc_(m);
  }

  const SectionRecord* Section() const {
    const TsSkinManager* m = *manager_;
    if (m == nullptr || !m->Active()) return nullptr;
    return SectionOf(m->Model(), "BUTTON");
  }
  bool Skinned() const { return Section() != nullptr; }

  bool Paint(QPainter* dc) {
    const SectionRecord* section = Section();
    const int w = button_->Width(), h = button_->Height();
    if (section == nullptr || w <= 0 || h <= 0) return false;
    const int state = StateOf(*button_);
    TBitmap face(w, h);
    const TColor back = button_->Parent() != nullptr ? button_->Parent()->Color() : clBtnFace;
    if (!PaintSkinSection(face, (*manager_)->Model(), "BUTTON", state, false, button_->Enabled(),
                          back))
      return false;
    dc->drawImage(0, 0, face.Image());
    // The caption, centred, in the section's text colour for the state.
    const TPainterSave saved(dc);
    dc->setFont(button_->Font().ToQFont());
    dc->setPen(ToQColor(TextColorsOf(*section, state != 0)[0]));
    const int shift = state == 2 ? 1 : 0;
    dc->drawText(QRect(shift, shift, w, h), Qt::AlignCenter,
                 QString::fromStdString(button_->Caption()));
    return true;
  }

  TBitBtn* button_;
  TsSkinManager* const* manager_;
  TWndMethod old_proc_;
};

void SkinFormButtons(TWinControl* parent, TsSkinManager* const* manager) {
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* c = parent->Controls(i);
    // The program's own skinned buttons paint themselves.
    auto* button = IsSkinnedControl(c) ? nullptr : dynamic_cast<TBitBtn*>(c);
    if (button != nullptr) {
      bool has_look = false;
      for (int k = 0; k < button->ComponentCount(); ++k)
        has_look = has_look || dynamic_cast<TAdoptedButtonLook*>(button->Components(k)) != nullptr;
      if (!has_look) new TAdoptedButtonLook(button, manager);
    } else if (auto* inner = dynamic_cast<TWinControl*>(c)) {
      SkinFormButtons(inner, manager);
    }
  }
}

}  // namespace

int AdoptedButtonState(const TBitBtn& button) {
  return TAdoptedButtonLook::StateOf(button);
}

void SkinAdoptedControls(QWidget* window, TsSkinManager* const* manager) {
  if (window == nullptr) return;
  if (auto* form = dynamic_cast<TCustomForm*>(FindControl(window))) SkinFormButtons(form, manager);
  TsSkinStyle* style = SharedSkinStyle(manager);
  if (window->findChild<QObject*>(QLatin1String(kControlStylerName), Qt::FindDirectChildrenOnly) ==
      nullptr)
    window->installEventFilter(new TControlStyler(window, style));
  StyleControlsOf(window, style);
}

void SkinHintWindow(QWidget* tip, TsSkinManager* const* manager) {
  tip->setStyle(SharedSkinStyle(manager));
  tip->installEventFilter(new THintFollower(tip, manager));
  ApplyHintLook(tip, manager);
  tip->adjustSize();
}
