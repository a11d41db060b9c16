// The skinned combo box: painted like an edit box (the frame and the field
// from the section, the text the editor's own), with the section's
// "GLYPHMASK" in the drop-down button for the button's state.
#pragma once

#include "skin/sSkinnedControl.h"
#include "toolkit/StdCtrls.h"

class TsCustomComboBox : public TsSkinnedControl<TComboBox> {
 public:
  explicit TsCustomComboBox(TComponent* owner);

  // The caption standing next to the box.
  using TsSkinnedControl::BoundLabel;
  using TsSkinnedControl::DisabledKind;
  using TsSkinnedControl::SetDisabledKind;

  // The button's state: 2 while the list is down, else 1 while the box is
  // active, else 0. The field paints hot while the box is active.
  int ButtonState() const;
  // TsSkinHost: the button's state (it covers the field's).
  int CurrentSkinState() const override { return ButtonState(); }
  void PrepareCache() override;

 protected:
  void DropDown() override;
  void CloseUp() override;
};

class TsComboBox : public TsCustomComboBox {
 public:
  explicit TsComboBox(TComponent* owner) : TsCustomComboBox(owner) {}
};
