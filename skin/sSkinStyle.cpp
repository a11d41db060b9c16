#include "skin/sSkinStyle.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOption>
#include <QToolTip>
#include <QWidget>

#include <memory>

#include "skin/SkinPainter.h"
#include "skin/sSkinManager.h"
#include "toolkit/Graphics.h"

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
  return HintSection(m->Model()) != nullptr ? &m->Model() : nullptr;
}

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
  QProxyStyle::drawPrimitive(element, option, painter, widget);
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

void SkinHintWindow(QWidget* tip, TsSkinManager* const* manager) {
  // One style for every hint window, for the life of the program (Qt keeps
  // its hint window until the end).
  static TsSkinStyle* style = nullptr;
  if (style == nullptr) style = new TsSkinStyle(manager);
  tip->setStyle(style);
  tip->installEventFilter(new THintFollower(tip, manager));
  ApplyHintLook(tip, manager);
  tip->adjustSize();
}
