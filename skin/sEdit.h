// The skinned edit box: the text area is the editor's own, in the section's
// colours; the frame around it comes from the skin.
#pragma once

#include "skin/sSkinnedControl.h"
#include "toolkit/StdCtrls.h"

class TsEdit : public TsSkinnedControl<TEdit> {
 public:
  explicit TsEdit(TComponent* owner);

  // The caption standing next to the box.
  using TsSkinnedControl::BoundLabel;
  using TsSkinnedControl::DisabledKind;
  using TsSkinnedControl::SetDisabledKind;

  // TsSkinHost: 1 while active (focused, or under the pointer).
  int CurrentSkinState() const override { return skin_data_->Active() ? 1 : 0; }
  // The item with its centre, the text with the section's contours (password
  // characters for a password edit), the disabled look.
  void PrepareCache() override;

 protected:
  void Change() override;
};

// The cache of an edit-like control: the item with its centre, hot while
// the control is active, and the text drawn with contours in one line
// inside the border `b` (from (b + 1, b + 1) to (width − b, height − b)).
void PaintEditCache(TsCommonData& data, TControl& control, const std::string& text, int border);
// A disabled control's look over its whole cache.
void PaintDisabledCache(TsCommonData& data, TControl& control, TsDisabledKinds kinds);
