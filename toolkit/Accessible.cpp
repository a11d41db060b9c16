#include "toolkit/Accessible.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLineEdit>

#include <map>

#include "toolkit/Controls.h"

namespace {

// A caption as it reads: "&Save" is "Save", "&&" one "&".
QString WithoutAccelerators(const std::string& caption) {
  std::string plain;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size()) ++i;
    plain += caption[i];
  }
  return ToQString(plain);
}

QString NameOf(const TControl* control) {
  if (!control->AccessibleName().empty()) return ToQString(control->AccessibleName());
  switch (control->AccessibleRole()) {
    case TAccessibleRole::arPushButton:
    case TAccessibleRole::arStaticText:
      return WithoutAccelerators(control->Caption());
    default:
      return {};
  }
}

QAccessible::Role QtRole(TAccessibleRole role) {
  switch (role) {
    case TAccessibleRole::arPushButton:
      return QAccessible::PushButton;
    case TAccessibleRole::arStaticText:
      return QAccessible::StaticText;
    case TAccessibleRole::arGraphic:
      return QAccessible::Graphic;
    case TAccessibleRole::arDefault:
      break;
  }
  return QAccessible::Client;
}

// The graphic controls on `parent` that assistive technology is shown.
std::vector<TControl*> GraphicChildren(const TWinControl* parent) {
  std::vector<TControl*> out;
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* c = parent->Controls(i);
    if (!c->IsWindowed() && c->AccessibleRole() != TAccessibleRole::arDefault) out.push_back(c);
  }
  return out;
}

QAccessibleInterface* GraphicInterface(TControl* control);

// A graphic control: no widget of its own, drawn on its parent's.
class TGraphicAccessible : public QAccessibleInterface {
 public:
  explicit TGraphicAccessible(TControl* control) : control_(control) {}

  bool isValid() const override { return control_ != nullptr && control_->Parent() != nullptr; }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override {
    QWidget* w = control_->Parent()->Handle();
    return w != nullptr && w->window() != nullptr ? w->window()->windowHandle() : nullptr;
  }
  QAccessibleInterface* focusChild() const override { return nullptr; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessibleInterface* parent() const override {
    return QAccessible::queryAccessibleInterface(control_->Parent()->Handle());
  }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QString text(QAccessible::Text t) const override {
    switch (t) {
      case QAccessible::Name:
        return NameOf(control_);
      case QAccessible::Description:
        return ToQString(control_->Hint());
      default:
        return {};
    }
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    const QWidget* w = control_->Parent()->Handle();
    if (w == nullptr) return {};
    // The control's bounds are in its parent's client area, inside the frame.
    const TRect nc = control_->Parent()->FrameMargins();
    const TRect b = control_->BoundsRect();
    return QRect(w->mapToGlobal(QPoint(b.Left + nc.Left, b.Top + nc.Top)),
                 QSize(b.Width(), b.Height()));
  }
  QAccessible::Role role() const override { return QtRole(control_->AccessibleRole()); }
  QAccessible::State state() const override {
    QAccessible::State s;
    s.invisible = !control_->Showing();
    s.disabled = !control_->Enabled();
    s.readOnly = true;
    return s;
  }
  void Forget() { control_ = nullptr; }

 private:
  TControl* control_;
};

std::map<const TControl*, QAccessible::Id>& Registry() {
  static std::map<const TControl*, QAccessible::Id> registry;
  return registry;
}

QAccessibleInterface* GraphicInterface(TControl* control) {
  auto& registry = Registry();
  const auto it = registry.find(control);
  if (it != registry.end()) return QAccessible::accessibleInterface(it->second);
  auto* iface = new TGraphicAccessible(control);
  registry.emplace(control, QAccessible::registerAccessibleInterface(iface));
  return iface;
}

// A windowed control whose widget is a plain QWidget (buttons, panels,
// forms): its role and name from the control, and the graphic controls
// drawn on it after its widgets.
class TControlAccessible : public QAccessibleWidget {
 public:
  TControlAccessible(QWidget* widget, TWinControl* control)
      : QAccessibleWidget(widget, Role(widget, control)), control_(control) {}

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name) {
      QString name = NameOf(control_);
      if (!name.isEmpty()) return name;
    }
    if (t == QAccessible::Description && !control_->Hint().empty())
      return ToQString(control_->Hint());
    return QAccessibleWidget::text(t);
  }
  int childCount() const override {
    return QAccessibleWidget::childCount() + static_cast<int>(GraphicChildren(control_).size());
  }
  QAccessibleInterface* child(int index) const override {
    const int widgets = QAccessibleWidget::childCount();
    if (index < widgets) return QAccessibleWidget::child(index);
    const std::vector<TControl*> graphic = GraphicChildren(control_);
    const auto at = static_cast<std::size_t>(index - widgets);
    return at < graphic.size() ? GraphicInterface(graphic[at]) : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    const int widgets = QAccessibleWidget::childCount();
    const std::vector<TControl*> graphic = GraphicChildren(control_);
    for (std::size_t i = 0; i < graphic.size(); ++i) {
      const auto it = Registry().find(graphic[i]);
      if (it != Registry().end() && QAccessible::accessibleInterface(it->second) == child)
        return widgets + static_cast<int>(i);
    }
    return QAccessibleWidget::indexOfChild(child);
  }
  QStringList actionNames() const override {
    QStringList names = QAccessibleWidget::actionNames();
    if (IsButton()) names.prepend(pressAction());
    return names;
  }
  void doAction(const QString& action) override {
    if (IsButton() && action == pressAction() && control_->Enabled()) {
      control_->Click();
      return;
    }
    QAccessibleWidget::doAction(action);
  }

 private:
  static QAccessible::Role Role(const QWidget* widget, const TWinControl* control) {
    if (control->AccessibleRole() == TAccessibleRole::arDefault)
      return widget->isWindow() ? QAccessible::Window : QAccessible::Client;
    return QtRole(control->AccessibleRole());
  }
  bool IsButton() const { return control_->AccessibleRole() == TAccessibleRole::arPushButton; }

  TWinControl* control_;
};

// A choice box named after what it chooses, its value the current choice
// (Qt's own names it by its value).
class TComboAccessible : public QAccessibleWidget {
 public:
  TComboAccessible(QComboBox* combo, TWinControl* control)
      : QAccessibleWidget(combo, QAccessible::ComboBox), control_(control) {}

  QString text(QAccessible::Text t) const override {
    const auto* combo = static_cast<const QComboBox*>(widget());
    switch (t) {
      case QAccessible::Name: {
        const QString name = NameOf(control_);
        return name.isEmpty() ? combo->currentText() : name;
      }
      case QAccessible::Value:
        return combo->currentText();
      case QAccessible::Description:
        return ToQString(control_->Hint());
      default:
        return QAccessibleWidget::text(t);
    }
  }
  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    const auto* combo = static_cast<const QComboBox*>(widget());
    s.expandable = true;
    s.expanded = combo->view() != nullptr && combo->view()->isVisible();
    s.editable = combo->isEditable();
    return s;
  }
  QStringList actionNames() const override {
    QStringList names = QAccessibleWidget::actionNames();
    names.prepend(showMenuAction());
    return names;
  }
  void doAction(const QString& action) override {
    if (action == showMenuAction()) {
      static_cast<QComboBox*>(widget())->showPopup();
      return;
    }
    QAccessibleWidget::doAction(action);
  }

 private:
  TWinControl* control_;
};

QAccessibleInterface* Factory(const QString& class_name, QObject* object) {
  auto* widget = qobject_cast<QWidget*>(object);
  if (widget == nullptr) return nullptr;
  TWinControl* control = FindControl(widget);
  if (control == nullptr || control->Handle() != widget) return nullptr;
  if (class_name == QLatin1String("QComboBox"))
    return new TComboAccessible(static_cast<QComboBox*>(widget), control);
  // Editors and the like are Qt's own; a plain widget is the control's.
  if (class_name == QLatin1String("QWidget")) return new TControlAccessible(widget, control);
  return nullptr;
}

}  // namespace

void InstallAccessibleFactory() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  QAccessible::installFactory(Factory);
}

void ForgetAccessible(const TControl* control) {
  auto& registry = Registry();
  const auto it = registry.find(control);
  if (it == registry.end()) return;
  if (auto* iface = static_cast<TGraphicAccessible*>(QAccessible::accessibleInterface(it->second)))
    iface->Forget();
  QAccessible::deleteAccessibleInterface(it->second);
  registry.erase(it);
}
