// The skin manager's window hook: windows that have no skin of their own
// (dialogs, message boxes, forms without a provider) are adopted when they
// are activated, and let go when they are destroyed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "skin/sSkinManager.h"

class QWidget;

// What the hook knows of a window when it is activated.
struct TsWindowFacts {
  bool IsApplicationWindow = false;  // the application's own hidden window
  bool IsToolkitForm = false;        // a form of the toolkit (else a window Qt made)
  bool IsMessageForm = false;        // the toolkit's message box form
  std::intptr_t Tag = 0;             // the form's Tag
  bool Skinned = false;              // answers QuerySkinned with 1
  bool IsPopup = false;              // a popup, tool tip or drop-down list: never adopted
};

enum class TsAdoption {
  None,            // left alone
  Form,            // a toolkit form without a provider (srStdForms, Tag not -98)
  MessageForm,     // a toolkit message box (srStdDialogs): no skinned menu line
  PlatformDialog,  // a window Qt made, not a toolkit form (srStdDialogs)
};

// Forms with this Tag are never adopted.
constexpr std::intptr_t kNoAdoptionTag = -98;

// Whether and how an activated window is adopted under `rules`.
TsAdoption AdoptionFor(const TsWindowFacts& window, TsSkinningRules rules);
// The facts of a top-level window the toolkit reports.
TsWindowFacts WindowFactsOf(QWidget* window);

// Makes the automatic provider of an adopted window; without one set, the
// skin's own adoption (AdoptWindow) does it.
using TsAdopter = std::function<std::unique_ptr<TObject>(QWidget* window, TsAdoption kind,
                                                         TsSkinManager* manager)>;
void SetWindowAdopter(TsAdopter adopter);

// The hook's list of adopted windows.
struct TsAdoptedWindow {
  QWidget* Window = nullptr;
  TsAdoption Kind = TsAdoption::None;
  std::unique_ptr<TObject> Provider;
};
const std::vector<TsAdoptedWindow>& AdoptedWindows();
