// The skinned edit box: the text area is the editor's own, in the section's
// colours; the frame around it comes from the skin.
#pragma once

#include <memory>

#include "skin/sBoundLabel.h"
#include "skin/sCommonData.h"
#include "toolkit/StdCtrls.h"

class TsEdit : public TEdit, public TsSkinHost {
 public:
  explicit TsEdit(TComponent* owner);
  ~TsEdit() override;

  TsCommonData* SkinData() const { return skin_data_.get(); }
  // The caption standing next to the box.
  TsBoundLabel* BoundLabel() const { return bound_label_.get(); }
  TsDisabledKinds DisabledKind() const { return disabled_kind_; }
  void SetDisabledKind(TsDisabledKinds value);

  // TsSkinHost: 1 while active (focused, or under the pointer).
  int CurrentSkinState() const override { return skin_data_->Active() ? 1 : 0; }
  // The item with its centre, the text with the section's contours (password
  // characters for a password edit), the disabled look.
  void PrepareCache() override;

 protected:
  void Dispatch(TMessage& message) override;
  void Loaded() override;
  void Change() override;

 private:
  std::unique_ptr<TsCommonData> skin_data_;
  std::unique_ptr<TsBoundLabel> bound_label_;
  TsDisabledKinds disabled_kind_ = kDefaultDisabledKind;
};

// The cache of an edit-like control: the item with its centre, hot while
// the control is active, and the text drawn with contours in one line
// inside the border `b` (from (b + 1, b + 1) to (width − b, height − b)).
void PaintEditCache(TsCommonData& data, TControl& control, const std::string& text, int border);
// A disabled control's look over its whole cache.
void PaintDisabledCache(TsCommonData& data, TControl& control, TsDisabledKinds kinds);
