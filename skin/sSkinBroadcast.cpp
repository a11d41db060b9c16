// Delivering skin commands to forms and controls, the registered forms'
// redraw, the window hook and the warning box: the manager's side that
// talks to the toolkit.
#include <QPointer>
#include <QWidget>

#include <algorithm>

#include "skin/sSkinHook.h"
#include "skin/sSkinManager.h"
#include "skin/sWindowSkin.h"
#include "toolkit/Controls.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Forms.h"

namespace {
bool AnswersSkinned(TControl* control) {
  return control->Perform(SM_LUMVEXCMD, MakeSkinCommand(TsCommand::QuerySkinned), 0) == 1;
}

// Forwards to the children in order, stopping at the first that is being
// destroyed. Windowless controls and windows not made yet get a direct call;
// skinned windows forward further themselves; other windows are descended.
void ForwardToChildren(TWinControl* parent, std::uintptr_t wparam, std::intptr_t lparam) {
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* child = parent->Controls(i);
    if (child->IsDestroying()) break;
    auto* win = dynamic_cast<TWinControl*>(child);
    if (win == nullptr || !win->HandleAllocated()) {
      child->Perform(SM_LUMVEXCMD, wparam, lparam);
    } else if (AnswersSkinned(win)) {
      win->Perform(SM_LUMVEXCMD, wparam, lparam);
    } else {
      ForwardToChildren(win, wparam, lparam);
    }
  }
}

void DeliverToForm(TCustomForm* form, std::uintptr_t wparam, std::intptr_t lparam) {
  form->Perform(SM_LUMVEXCMD, wparam, lparam);
  ForwardToChildren(form, wparam, lparam);
}

// The registered form entry, if `form` is one.
const TsRegisteredForm* Registered(TCustomForm* form) {
  for (const TsRegisteredForm& r : RegisteredSkinnedForms()) {
    if (r.Form == form) return &r;
  }
  return nullptr;
}

// Registered forms that are top-level, visible and painted with `manager`.
std::vector<TsRegisteredForm> FormsOf(TsSkinManager* manager) {
  std::vector<TsRegisteredForm> r;
  for (const TsRegisteredForm& f : RegisteredSkinnedForms()) {
    if (f.Form == nullptr || f.Link == nullptr || f.Form->IsDestroying()) continue;
    if (f.Form->Parent() != nullptr || !f.Form->Visible()) continue;
    if (f.Link->LinkedManager() != manager) continue;
    r.push_back(f);
  }
  return r;
}

// --- the hook ---------------------------------------------------------------

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
      // A window is adopted as it first appears, before it is on the screen,
      // so that it never shows without the skin first; one that is first
      // activated later is adopted then.
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
    f.Skinned = AnswersSkinned(form);
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

void ShowSkinWarning(const std::string& text) {
  MessageDlg(text, mtWarning, mbOK);
}

void ReportLoadError(const std::exception& e) {
  if (Application != nullptr) Application->ShowException(e);
}

// --- the manager's broadcasting -------------------------------------------

void TsSkinManager::BroadcastCommand(TsCommand command) {
  const std::uintptr_t wparam = MakeSkinCommand(command);
  const std::intptr_t lparam = reinterpret_cast<std::intptr_t>(this);
  if (Application != nullptr) {
    // Last to first, checking the count at each step: a command may free forms.
    for (int i = Application->ComponentCount() - 1; i >= 0; --i) {
      if (i >= Application->ComponentCount()) continue;
      auto* form = dynamic_cast<TCustomForm*>(Application->Components(i));
      if (form == nullptr || form->IsDestroying() || form->IsLoading()) continue;
      if (AnswersSkinned(form)) continue;  // reached below, as a registered form
      DeliverToForm(form, wparam, lparam);
    }
  }
  const std::vector<TsRegisteredForm> forms = RegisteredSkinnedForms();
  for (const TsRegisteredForm& r : forms) {
    // A command may unregister forms: deliver only to those still listed.
    if (r.Form == nullptr || Registered(r.Form) == nullptr || r.Form->IsDestroying()) continue;
    DeliverToForm(r.Form, wparam, lparam);
  }
}

void TsSkinManager::AnnounceToLoadingOwner() {
  auto* form = dynamic_cast<TCustomForm*>(Owner());
  if (form == nullptr || !form->IsLoading() || form->IsDestroying()) return;
  if (Registered(form) != nullptr) return;  // reached as a registered form already
  DeliverToForm(form, MakeSkinCommand(TsCommand::ApplySkin), reinterpret_cast<std::intptr_t>(this));
}

void TsSkinManager::SetRedrawOfRegisteredForms(bool redraw) {
  for (const TsRegisteredForm& f : FormsOf(this)) f.Form->SetRedraw(redraw);
}

void TsSkinManager::RepaintForms() {
  BroadcastCommand(TsCommand::HaltFade);
  if (!IsLoading()) SetRedrawOfRegisteredForms(false);
  BroadcastCommand(TsCommand::RepaintSkin);
  for (const TsRegisteredForm& f : FormsOf(this)) {
    // The skin-change animation would play here for SkinChanging.Time ms;
    // the program uses none.
    f.Form->SetRedraw(true);
    f.Link->RecomputeFrame();
    f.Form->RepaintAll();
  }
}
