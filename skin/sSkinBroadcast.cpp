// Delivering skin commands to forms and controls, the registered forms'
// redraw and the warning box: the manager's side that talks to the toolkit.
#include <algorithm>

#include "skin/sSkinManager.h"
#include "skin/sSkinMessages.h"
#include "toolkit/Controls.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Forms.h"

namespace {

void DeliverToForm(TCustomForm* form, std::uintptr_t wparam, std::intptr_t lparam) {
  form->Perform(SM_LUMVEXCMD, wparam, lparam);
  ForwardSkinCommand(form, wparam, lparam);
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
}  // namespace

void ShowSkinWarning(const std::string& text) {
  MessageDlg(text, mtWarning, mbOK);
}

void ReportLoadError(const std::exception& e) {
  if (Application != nullptr) Application->ShowException(e);
}

// --- the manager's broadcasting -------------------------------------------

void ForwardSkinCommand(TWinControl* parent, std::uintptr_t wparam, std::intptr_t lparam) {
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* child = parent->Controls(i);
    if (child->IsDestroying()) break;
    auto* win = dynamic_cast<TWinControl*>(child);
    if (win == nullptr || !win->HandleAllocated()) {
      child->Perform(SM_LUMVEXCMD, wparam, lparam);
    } else if (IsSkinnedControl(win)) {
      win->Perform(SM_LUMVEXCMD, wparam, lparam);
    } else {
      ForwardSkinCommand(win, wparam, lparam);
    }
  }
}

void TsSkinManager::BroadcastCommand(TsCommand command) {
  const std::uintptr_t wparam = MakeSkinCommand(command);
  const std::intptr_t lparam = ManagerParam(this);
  if (Application != nullptr) {
    // Last to first, checking the count at each step: a command may free forms.
    for (int i = Application->ComponentCount() - 1; i >= 0; --i) {
      if (i >= Application->ComponentCount()) continue;
      auto* form = dynamic_cast<TCustomForm*>(Application->Components(i));
      if (form == nullptr || form->IsDestroying() || form->IsLoading()) continue;
      if (IsSkinnedControl(form)) continue;  // reached below, as a registered form
      DeliverToForm(form, wparam, lparam);
    }
  }
  // A copy: a command may unregister forms, so deliver only to those still listed.
  // NOLINTNEXTLINE(performance-unnecessary-copy-initialization)
  const std::vector<TsRegisteredForm> forms = RegisteredSkinnedForms();
  for (const TsRegisteredForm& r : forms) {
    if (r.Form == nullptr || Registered(r.Form) == nullptr || r.Form->IsDestroying()) continue;
    DeliverToForm(r.Form, wparam, lparam);
  }
}

void TsSkinManager::AnnounceToLoadingOwner() {
  auto* form = dynamic_cast<TCustomForm*>(Owner());
  if (form == nullptr || !form->IsLoading() || form->IsDestroying()) return;
  if (Registered(form) != nullptr) return;  // reached as a registered form already
  DeliverToForm(form, MakeSkinCommand(TsCommand::ApplySkin), ManagerParam(this));
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
