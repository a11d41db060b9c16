// The skinned memo: the text area is the editor's own, in the section's
// colours. While a skin is on, a frame handler attached to the memo's
// window paints its frame from the skin and holds the skinned scroll bars;
// without a skin the memo has its plain frame and bars.
#pragma once

#include <memory>

#include "skin/sScrollBar.h"
#include "skin/sSkinnedControl.h"
#include "skin/sWindowHandler.h"
#include "toolkit/StdCtrls.h"

class TsMemo;

// The handler attached to a skinned memo's window: the non-client frame is
// painted from the memo's cache, and the memo's scroll bars are the skin's
// while it lives.
class TsMemoFrame : public TsWindowHandler {
 public:
  explicit TsMemoFrame(TsMemo* memo);
  ~TsMemoFrame() override;

  // The skinned bar of `kind` (none when the memo has no such bar).
  TsScrollBar* ScrollBar(TScrollBarKind kind) const;
  // Gives the memo its own bars and its message chain back.
  void DetachAll();

 protected:
  void WndProc(TMessage& message) override;

 private:
  TsMemo* memo_;
  std::unique_ptr<TsScrollBar> vertical_;
  std::unique_ptr<TsScrollBar> horizontal_;
};

class TsMemo : public TsSkinnedControl<TMemo> {
 public:
  explicit TsMemo(TComponent* owner);
  ~TsMemo() override;

  // The caption standing next to the memo (inactive unless asked for).
  using TsSkinnedControl::BoundLabel;
  // The frame handler while a skin is on, else none.
  TsMemoFrame* Frame() const { return frame_.get(); }
  using TsSkinnedControl::DisabledKind;
  using TsSkinnedControl::SetDisabledKind;

  // TsSkinHost: 1 while active (focused, or under the pointer).
  int CurrentSkinState() const override { return skin_data_->Active() ? 1 : 0; }
  void PrepareCache() override;

 protected:
  void Loaded() override;
  // A skin arriving or going attaches or detaches the frame handler.
  bool HandleSkinCommand(TMessage& message) override;

 private:
  void AttachFrame();
  void DetachFrame();

  std::unique_ptr<TsMemoFrame> frame_;
  // A handler taken off while it passes a message on (DropSkin reaches the
  // memo through it) lives until the next one is taken off, or the memo goes.
  std::unique_ptr<TsMemoFrame> retired_frame_;
};
