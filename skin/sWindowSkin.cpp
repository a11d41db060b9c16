#include "skin/sWindowSkin.h"

#include <QDialog>
#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QWindow>

#include "skin/sSkinProvider.h"
#include "toolkit/Forms.h"
#include "toolkit/WindowDrag.h"

class TsWindowSkinFilter : public QObject {
 public:
  explicit TsWindowSkinFilter(TsWindowSkin* skin) : skin_(skin) {}
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (watched != skin_->window_) return false;
    return skin_->Event(e);
  }

 private:
  TsWindowSkin* skin_;
};

namespace {

QColor Qc(TColor c) {
  return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

const SectionRecord* SectionNamed(const TsSkinModel& model, const char* name) {
  const int i = model.SectionIndex(name);
  return i < 0 ? nullptr : &model.Sections()[static_cast<std::size_t>(i)];
}

// The window's palette in the skin's colours: its own section for the
// window, the edit section for text fields, the button section for buttons.
QPalette SkinPalette(const TsSkinModel& model, const SectionRecord& own, QPalette pal) {
  const QColor back = Qc(own.Color), text = Qc(own.FontColor[0]);
  pal.setColor(QPalette::Window, back);
  pal.setColor(QPalette::WindowText, text);
  pal.setColor(QPalette::Text, text);
  pal.setColor(QPalette::ButtonText, text);
  pal.setColor(QPalette::Button, back);
  pal.setColor(QPalette::ToolTipBase, back);
  pal.setColor(QPalette::ToolTipText, text);
  if (const SectionRecord* edit = SectionNamed(model, "EDIT")) {
    pal.setColor(QPalette::Base, Qc(edit->Color));
    pal.setColor(QPalette::AlternateBase, Qc(edit->Color).lighter(110));
    pal.setColor(QPalette::Text, Qc(edit->FontColor[0]));
  }
  if (const SectionRecord* button = SectionNamed(model, "BUTTON")) {
    pal.setColor(QPalette::Button, Qc(button->Color));
    pal.setColor(QPalette::ButtonText, Qc(button->FontColor[0]));
  }
  pal.setColor(QPalette::Highlight, Qc(own.HotFontColor[0]).darker(200));
  pal.setColor(QPalette::HighlightedText, Qc(0xFFFFFF));
  pal.setColor(QPalette::Disabled, QPalette::Text, back.lighter(160));
  pal.setColor(QPalette::Disabled, QPalette::WindowText, back.lighter(160));
  pal.setColor(QPalette::Disabled, QPalette::ButtonText, back.lighter(160));
  return pal;
}

}  // namespace

TsWindowSkin::TsWindowSkin(QWidget* window, TsSkinManager* manager, const std::string& section)
    : window_(window), manager_(manager) {
  if (window == nullptr || manager == nullptr) return;
  const TsSkinModel& model = manager->Model();
  section_ = model.SectionIndex(section);
  title_section_ = model.SectionIndex("FORMTITLE");
  if (section_ < 0) return;
  // A dialog with a size grip is sized by the user; others keep their size.
  auto* dialog = qobject_cast<QDialog*>(window);
  sizeable_ = dialog == nullptr || dialog->isSizeGripEnabled();
  active_ = window->isActiveWindow();
  // The program's frame replaces the window system's, before the window is
  // first shown when the hook adopts it then.
  const Qt::WindowFlags flags =
      (window->windowFlags() & Qt::WindowType_Mask) | Qt::FramelessWindowHint;
  window->overrideWindowFlags(flags);
  if (QWindow* native = window->windowHandle()) native->setFlags(flags);
  geometry_ = FrameGeometryOf(model, FactsNow());
  const TRect m = geometry_.Margins();
  old_margins_ = window->contentsMargins();
  window->setContentsMargins(old_margins_.left() + m.Left, old_margins_.top() + m.Top,
                             old_margins_.right() + m.Right, old_margins_.bottom() + m.Bottom);
  window->resize(window->width() + m.Left + m.Right, window->height() + m.Top + m.Bottom);
  window->setPalette(
      SkinPalette(model, model.Sections()[static_cast<std::size_t>(section_)], window->palette()));
  window->setMouseTracking(true);
  filter_ = std::make_unique<TsWindowSkinFilter>(this);
  window->installEventFilter(filter_.get());
  Relayout();
}

TsWindowSkin::~TsWindowSkin() {
  if (!window_ || !filter_) return;
  window_->removeEventFilter(filter_.get());
  window_->clearMask();
  window_->setContentsMargins(old_margins_);
  if (cursor_set_) window_->unsetCursor();
}

TsFrameFacts TsWindowSkin::FactsNow() const {
  TsFrameFacts f;
  if (!window_) return f;
  f.Width = window_->width();
  f.Height = window_->height();
  f.BorderStyle = sizeable_ ? TFormBorderStyle::bsSizeable : TFormBorderStyle::bsDialog;
  f.BorderIcons = biSystemMenu;
  f.State = window_->isMinimized() ? wsMinimized : wsNormal;
  f.ShowAppIcon = false;
  return f;
}

void TsWindowSkin::Relayout() {
  if (!window_ || section_ < 0) return;
  const std::size_t count = geometry_.Buttons.size();
  geometry_ = FrameGeometryOf(manager_->Model(), FactsNow());
  if (count != geometry_.Buttons.size() || buttons_.States().size() != count)
    buttons_.Reset(geometry_.Buttons.size());
  stale_ = true;
  window_->setMask(Region());
  window_->update();
}

QRegion TsWindowSkin::Region() const {
  if (!window_ || section_ < 0) return QRegion();
  QRegion r(0, 0, window_->width(), window_->height());
  for (const TRect& c : WindowCutsOf(manager_->Model(), section_, title_section_, window_->width(),
                                     window_->height(), geometry_.BandHeight()))
    r -= QRegion(c.Left, c.Top, c.Width(), c.Height());
  return r;
}

const TBitmap& TsWindowSkin::WindowCache() {
  if (window_ && section_ >= 0 && (stale_ || band_stale_)) {
    TsFramePaint p;
    p.Model = &manager_->Model();
    p.Section = section_;
    p.TitleSection = title_section_;
    p.Facts = FactsNow();
    p.Geometry = geometry_;
    p.Active = active_;
    p.Enabled = window_->isEnabled();
    p.Caption = window_->windowTitle().toStdString();
    p.Font.SetName("Tahoma");
    p.Font.SetHeight(-11);
    p.ButtonStates = buttons_.States();
    PaintWindowCache(cache_, p, &frame_band_, !stale_);
    stale_ = false;
    band_stale_ = false;
  }
  return cache_;
}

void TsWindowSkin::SetActive(bool active) {
  if (active == active_) return;
  active_ = active;
  UpdateBand();
}

void TsWindowSkin::UpdateBand() {
  band_stale_ = true;
  if (window_) window_->update(0, 0, window_->width(), geometry_.BandHeight());
}

bool TsWindowSkin::Pointer(QEvent* e) {
  auto* me = static_cast<QMouseEvent*>(e);
  const QPoint local = me->position().toPoint();
  const TPoint p{local.x(), local.y()};
  const bool sizeable = sizeable_ && !window_->isMaximized();
  const int hit = SkinFrameHitTest(geometry_, p, window_->width(), window_->height(), sizeable);
  const int index = TitleButtonAt(geometry_, p);
  if (hit == HTCLIENT && buttons_.Pressed() < 0) {
    if (buttons_.Leave()) UpdateBand();
    if (cursor_set_) {
      cursor_set_ = false;
      window_->unsetCursor();
    }
    return false;
  }
  switch (e->type()) {
    case QEvent::MouseMove: {
      const TCursor c = CursorOfHitTest(hit);
      if (c != crDefault) {
        window_->setCursor(QCursor(CursorShape(c)));
        cursor_set_ = true;
      } else if (cursor_set_) {
        cursor_set_ = false;
        window_->unsetCursor();
      }
      if (buttons_.Move(index)) UpdateBand();
      return true;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
      if (me->button() != Qt::LeftButton) return true;
      if (index >= 0) {
        if (buttons_.Down(index)) UpdateBand();
        return true;
      }
      if (hit == HTCAPTION)
        BeginWindowDrag(window_, Qt::Edges(), me->globalPosition().toPoint());
      else if (EdgesOfHitTest(hit) != Qt::Edges() && sizeable)
        BeginWindowDrag(window_, EdgesOfHitTest(hit), me->globalPosition().toPoint(),
                        window_->minimumSizeHint().expandedTo(window_->minimumSize()));
      return true;
    case QEvent::MouseButtonRelease: {
      if (me->button() != Qt::LeftButton) return true;
      bool changed = false;
      const int clicked = buttons_.Up(index, changed);
      if (changed) UpdateBand();
      if (clicked >= 0 &&
          geometry_.Buttons[static_cast<std::size_t>(clicked)].Kind == TsTitleButtonKind::Close)
        window_->close();
      return true;
    }
    default:
      return false;
  }
}

bool TsWindowSkin::Event(QEvent* e) {
  if (!window_ || section_ < 0) return false;
  switch (e->type()) {
    case QEvent::Paint: {
      const TBitmap& cache = WindowCache();
      QPainter painter(window_);
      painter.drawImage(0, 0, cache.Image());
      return false;
    }
    case QEvent::Resize:
    case QEvent::WindowStateChange:
      Relayout();
      return false;
    case QEvent::WindowActivate:
      SetActive(true);
      return false;
    case QEvent::WindowDeactivate:
      SetActive(false);
      return false;
    case QEvent::WindowTitleChange:
    case QEvent::EnabledChange:
      UpdateBand();
      return false;
    case QEvent::MouseMove:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
      return Pointer(e);
    case QEvent::Leave:
      if (buttons_.Pressed() < 0 && buttons_.Leave()) UpdateBand();
      return false;
    default:
      return false;
  }
}

std::unique_ptr<TObject> AdoptWindow(QWidget* window, TsAdoption kind, TsSkinManager* manager) {
  switch (kind) {
    case TsAdoption::Form:
    case TsAdoption::MessageForm: {
      auto* form = dynamic_cast<TCustomForm*>(FindControl(window));
      if (form == nullptr) return nullptr;
      return TsSkinProvider::Adopt(form, manager, kind == TsAdoption::Form);
    }
    case TsAdoption::PlatformDialog:
      return std::make_unique<TsWindowSkin>(window, manager, "DIALOG");
    default:
      return nullptr;
  }
}
