// The skinned combo box: painted like an edit box (the frame and the field
// from the section, the text the editor's own), with the section's
// "GLYPHMASK" in the drop-down button for the button's state.
#pragma once

#include <memory>

#include "skin/sBoundLabel.h"
#include "skin/sCommonData.h"
#include "toolkit/StdCtrls.h"

class TsCustomComboBox : public TComboBox, public TsSkinHost {
 public:
  explicit TsCustomComboBox(TComponent* owner);
  ~TsCustomComboBox() override;

  TsCommonData* SkinData() const { return skin_data_.get(); }
  // The caption standing next to the box.
  TsBoundLabel* BoundLabel() const { return bound_label_.get(); }
  TsDisabledKinds DisabledKind() const { return disabled_kind_; }
  void SetDisabledKind(TsDisabledKinds value);

  // The button's state: 2 while the list is down, else 1 while the box is
  // active, else 0. The field paints hot while the box is active.
  int ButtonState() const;
  // TsSkinHost: the button's state (it covers the field's).
  int CurrentSkinState() const override { return ButtonState(); }
  void PrepareCache() override;

 protected:
  void Dispatch(TMessage& message) override;
  void Loaded() override;
  void DropDown() override;
  void CloseUp() override;

 private:
  std::unique_ptr<TsCommonData> skin_data_;
  std::unique_ptr<TsBoundLabel> bound_label_;
  TsDisabledKinds disabled_kind_ = kDefaultDisabledKind;
};

class TsComboBox : public TsCustomComboBox {
 public:
  explicit TsComboBox(TComponent* owner) : TsCustomComboBox(owner) {}
};
