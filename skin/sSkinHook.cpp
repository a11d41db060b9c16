// The window hook: windows without a skin of their own are adopted when
// they first appear (or are activated) and let go when they are destroyed.
#include "skin/sSkinHook.h"

#include <QApplication>
#include <QWidget>

#include <algorithm>

#include "skin/sSkinMessages.h"
#include "skin/sSkinStyle.h"
#include "skin/sWindowSkin.h"
#include "toolkit/Controls.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Forms.h"

namespace {

struct THookState {
  int handle = 0;
  TsSkinManager* manager = nullptr;
  std::vector<TsAdoptedWindow> adopted;
  TsAdopter adopter;
};
THookState& Hook() {
  static THookState state;
  return state;
}

void AdoptOnce(QWidget* window) {
  THookState& h = Hook();
  if (h.manager == nullptr || window == nullptr) return;
  for (const TsAdoptedWindow& a : h.adopted) {
    if (a.Window == window) return;
  }
  const TsAdoption kind_of = AdoptionFor(WindowFactsOf(window), h.manager->SkinningRules());
  if (kind_of == TsAdoption::None) return;
  // Its buttons, edits and bars are drawn from the skin as the program's own.
  SkinAdoptedControls(window, &h.manager);
  TsAdoptedWindow entry;
  entry.Window = window;
  entry.Kind = kind_of;
  entry.Provider =
      h.adopter ? h.adopter(window, kind_of, h.manager) : AdoptWindow(window, kind_of, h.manager);
  // Reuse an emptied slot first.
  auto slot = std::find_if(h.adopted.begin(), h.adopted.end(),
                           [](const TsAdoptedWindow& a) { return a.Window == nullptr; });
  if (slot != h.adopted.end()) {
    *slot = std::move(entry);
  } else {
    h.adopted.push_back(std::move(entry));
  }
}

void OnWindowHook(TWindowHookKind kind, QWidget* window) {
  THookState& h = Hook();
  switch (kind) {
    case TWindowHookKind::whCreate:
      // Hint windows are not adopted, but drawn from the skin's "HINT".
      if (window != nullptr && window->windowType() == Qt::ToolTip)
        SkinHintWindow(window, &h.manager);
      // A window is adopted as it first appears, before it is on the screen,
      // so that it never shows without the skin first; one that is first
      // activated later is adopted then.
      [[fallthrough]];
    case TWindowHookKind::whActivate:
      AdoptOnce(window);
      break;
    case TWindowHookKind::whDestroy:
      for (TsAdoptedWindow& a : h.adopted) {
        if (a.Window == window) {
          a.Provider.reset();
          a.Window = nullptr;
          a.Kind = TsAdoption::None;
        }
      }
      break;
  }
}
}  // namespace

TsAdoption AdoptionFor(const TsWindowFacts& w, TsSkinningRules rules) {
  if (w.Skinned || w.IsApplicationWindow || w.IsPopup) return TsAdoption::None;
  if (w.IsMessageForm)
    return (rules & srStdDialogs) != 0 ? TsAdoption::MessageForm : TsAdoption::None;
  if (w.IsToolkitForm) {
    return (rules & srStdForms) != 0 && w.Tag != kNoAdoptionTag ? TsAdoption::Form
                                                                : TsAdoption::None;
  }
  return (rules & srStdDialogs) != 0 ? TsAdoption::PlatformDialog : TsAdoption::None;
}

TsWindowFacts WindowFactsOf(QWidget* window) {
  TsWindowFacts f;
  f.IsApplicationWindow = Application != nullptr && window == Application->Handle();
  switch (window->windowType()) {
    case Qt::Popup:
    case Qt::ToolTip:
    case Qt::SplashScreen:
    case Qt::Desktop:
    case Qt::Drawer:
      f.IsPopup = true;
      break;
    default:
      break;
  }
  if (auto* form = dynamic_cast<TCustomForm*>(FindControl(window))) {
    f.IsToolkitForm = true;
    f.IsMessageForm = dynamic_cast<TMessageForm*>(form) != nullptr;
    f.Tag = form->Tag();
    f.Skinned = IsSkinnedControl(form);
  }
  return f;
}

void SetWindowAdopter(TsAdopter adopter) {
  Hook().adopter = std::move(adopter);
}

const std::vector<TsAdoptedWindow>& AdoptedWindows() {
  return Hook().adopted;
}

bool SkinHookInstalled() {
  return Hook().handle != 0;
}

void InstallSkinHook(TsSkinManager* manager) {
  THookState& h = Hook();
  h.manager = manager;
  // A hint window Qt made before the hook was there is never new again.
  if (QCoreApplication::instance() != nullptr) {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->windowType() == Qt::ToolTip) SkinHintWindow(w, &h.manager);
    SetProgramHintFont();
  }
  if (h.handle != 0 || Application == nullptr) return;
  h.handle = Application->HookWindows(OnWindowHook);
}

void UninstallSkinHook() {
  THookState& h = Hook();
  if (h.handle != 0 && Application != nullptr) Application->UnhookWindows(h.handle);
  h.handle = 0;
  h.manager = nullptr;
  // The adopted windows' providers go; the windows themselves stay.
  h.adopted.clear();
}
