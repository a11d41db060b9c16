// The skinned memo: the text area is the editor's own, in the section's
// colours. While a skin is on, a frame handler attached to the memo's
// window paints its frame from the skin (and, through the scroll bar
// attacher, its scroll bars); without a skin the memo has its plain frame
// and bars.
#pragma once

#include <functional>
#include <memory>

#include "skin/sCommonData.h"
#include "skin/sWindowHandler.h"
#include "toolkit/StdCtrls.h"

class TsMemo;

// Makes the skinned scroll bars of `window` (whose skin state is `data`)
// when a skin arrives: a handler attached to the window after the frame's,
// which paints and drives the bars. It is detached when the skin goes (and
// freed a little later), which must give the window its own bars back.
// None set: the window keeps its own bars.
using TsScrollBarAttacher =
    std::function<std::unique_ptr<TsWindowHandler>(TWinControl* window, TsCommonData* data)>;
void SetScrollBarAttacher(TsScrollBarAttacher attacher);

// The handler attached to a skinned memo's window: the non-client frame is
// painted from the memo's cache, and the skinned scroll bars are held here.
class TsMemoFrame : public TsWindowHandler {
 public:
  explicit TsMemoFrame(TsMemo* memo);
  ~TsMemoFrame() override;

  // The skinned scroll bars, when an attacher made them.
  TsWindowHandler* ScrollBars() const { return scroll_bars_.get(); }
  // Gives the window's chain back: the scroll bars' handler, then this one.
  void DetachAll();

 protected:
  void WndProc(TMessage& message) override;

 private:
  TsMemo* memo_;
  std::unique_ptr<TsWindowHandler> scroll_bars_;
};

class TsMemo : public TMemo, public TsSkinHost {
 public:
  explicit TsMemo(TComponent* owner);
  ~TsMemo() override;

  TsCommonData* SkinData() const { return skin_data_.get(); }
  // The frame handler while a skin is on, else none.
  TsMemoFrame* Frame() const { return frame_.get(); }
  TsDisabledKinds DisabledKind() const { return disabled_kind_; }
  void SetDisabledKind(TsDisabledKinds value);

  // TsSkinHost: 1 while active (focused, or under the pointer).
  int CurrentSkinState() const override { return skin_data_->Active() ? 1 : 0; }
  void PrepareCache() override;

 protected:
  void Dispatch(TMessage& message) override;
  void Loaded() override;

 private:
  void AttachFrame();
  void DetachFrame();

  std::unique_ptr<TsCommonData> skin_data_;
  std::unique_ptr<TsMemoFrame> frame_;
  // Handlers taken off while they pass a message on (DropSkin reaches the
  // memo through them) live until the next ones are taken off, or the memo
  // goes.
  std::unique_ptr<TsMemoFrame> retired_frame_;
  TsDisabledKinds disabled_kind_ = kDefaultDisabledKind;
};
