// The shape every skinned control shares (TsPanel, TsEdit, TsMemo,
// TsCustomComboBox, TsBitBtn): a toolkit control that owns one TsCommonData
// (SkinData), maybe a bound label and a disabled look, and routes its
// messages through one Dispatch:
//   1. a skin command goes to HandleSkinCommand (the skin data's answers and
//      the control's own hook); one nobody answers goes on to the control;
//   2. while skinned, the parts the control paints from its cache are
//      painted here: the client (WM_PAINT, WM_ERASEBKGND answered as done)
//      and the frame (WM_NCPAINT), neither while it must wait (Updating());
//   3. every other message goes to the toolkit control first; then the look
//      is marked stale after the messages the control names, the skin data
//      reacts (React) and the bound label follows.
// A control states what differs in its TsSkinShape and the hooks below.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>

#include "skin/SkinPaint.h"
#include "skin/sBoundLabel.h"
#include "skin/sCommonData.h"
#include "toolkit/Messages.h"

class TComponent;

// What a skinned control paints from its cache itself.
enum class TsSkinParts : std::uint8_t {
  None,    // nothing: the toolkit control paints (a handler may paint the frame)
  Client,  // the client area
  Frame,   // the non-client frame; the toolkit control paints the client
  Both,
};

struct TsSkinShape {
  TsControlKind kind = ckOther;
  TsSkinParts paints = TsSkinParts::None;
  // Messages after which the cached look is stale (WM_NULL: none).
  std::array<std::uint32_t, 3> dirty_after{};
  // The control owns a caption standing next to it (BoundLabel).
  bool bound_label = false;
  // The toolkit control's own paints are only taken while the control must
  // wait for its parent's cache (Updating()).
  bool paint_waits = false;
};

template <class TBase>
class TsSkinnedControl : public TBase, public TsSkinHost {
 public:
  TsCommonData* SkinData() const { return skin_data_.get(); }

 protected:
  TsSkinnedControl(TComponent* owner, const TsSkinShape& shape) : TBase(owner), shape_(shape) {
    skin_data_ = std::make_unique<TsCommonData>(this, this, this, shape.kind);
    if (shape.bound_label) bound_label_ = std::make_unique<TsBoundLabel>(skin_data_.get());
  }
  ~TsSkinnedControl() override { ReleaseSkin(); }
  TsSkinnedControl(const TsSkinnedControl&) = delete;
  TsSkinnedControl& operator=(const TsSkinnedControl&) = delete;

  // Published by the controls that have them.
  TsBoundLabel* BoundLabel() const { return bound_label_.get(); }
  TsDisabledKinds DisabledKind() const { return disabled_kind_; }
  void SetDisabledKind(TsDisabledKinds value) {
    if (value == disabled_kind_) return;
    disabled_kind_ = value;
    skin_data_->MarkBackDirty();
    this->Invalidate();
  }

  // The caption goes first, while the control is whole; a control that
  // must free more before the skin data goes calls it first itself.
  void ReleaseSkin() {
    bound_label_.reset();
    this->Destroying();
    skin_data_->HaltFade();
  }

  void Loaded() override {
    TBase::Loaded();
    skin_data_->Loaded();
  }

  void Dispatch(TMessage& m) override {
    if (m.Msg == SM_LUMVEXCMD) {
      if (!HandleSkinCommand(m)) TBase::Dispatch(m);
      return;
    }
    if (skin_data_->Skinned() && PaintFromSkin(m)) return;
    TBase::Dispatch(m);
    if (MakesLookStale(m.Msg)) skin_data_->MarkBackDirty();
    skin_data_->React(m);
    if (bound_label_ != nullptr) bound_label_->ControlMessage(m);
  }

  // A skin command; false when neither the skin data nor the control
  // answers it.
  virtual bool HandleSkinCommand(TMessage& m) { return skin_data_->HandleCommand(m); }
  // The client area from the skin (not called while the control must wait).
  virtual void PaintClient(HDC dc) {
    skin_data_->EnsureCache();
    skin_data_->CopyCacheToScreen(dc);
  }

  std::unique_ptr<TsCommonData> skin_data_;

 private:
  bool PaintsClient() const {
    return shape_.paints == TsSkinParts::Client || shape_.paints == TsSkinParts::Both;
  }
  bool PaintsFrame() const {
    return shape_.paints == TsSkinParts::Frame || shape_.paints == TsSkinParts::Both;
  }
  bool MakesLookStale(std::uint32_t msg) const {
    return msg != WM_NULL && std::ranges::find(shape_.dirty_after, msg) != shape_.dirty_after.end();
  }

  // Paints what the skin paints of `m`; false to hand it to the control.
  bool PaintFromSkin(TMessage& m) {
    switch (m.Msg) {
      case WM_ERASEBKGND:
        if (!PaintsClient()) return false;
        m.Result = 1;
        return true;
      case WM_PAINT:
        if (PaintsClient() && m.WParam != 0) {
          if (!skin_data_->Updating()) PaintClient(MessageDC(m));
          return true;
        }
        return shape_.paint_waits && skin_data_->Updating();
      case WM_NCPAINT:
        if (!PaintsFrame() || m.WParam == 0) return false;
        skin_data_->PaintFrameFromCache(MessageDC(m));
        return true;
      default:
        return false;
    }
  }

  const TsSkinShape shape_;
  std::unique_ptr<TsBoundLabel> bound_label_;
  TsDisabledKinds disabled_kind_ = kDefaultDisabledKind;
};
