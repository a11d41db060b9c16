#include "skin/sMemo.h"

#include "skin/sEdit.h"

// ---- TsMemoFrame ---------------------------------------------------------------

TsMemoFrame::TsMemoFrame(TsMemo* memo) : TsWindowHandler(memo), memo_(memo) {
  // The skinned bars come with the frame and go with it.
  TsSkinManager* manager = memo->SkinData()->SkinManager();
  vertical_ = std::make_unique<TsScrollBar>(memo, SB_VERT, manager);
  if (!vertical_->Attached()) vertical_.reset();
  horizontal_ = std::make_unique<TsScrollBar>(memo, SB_HORZ, manager);
  if (!horizontal_->Attached()) horizontal_.reset();
  memo->Invalidate();
}

TsMemoFrame::~TsMemoFrame() {
  DetachAll();
}

TsScrollBar* TsMemoFrame::ScrollBar(TScrollBarKind kind) const {
  return kind == SB_VERT ? vertical_.get() : horizontal_.get();
}

void TsMemoFrame::DetachAll() {
  // A bar's handler is not in the message chain: it goes at once, and the
  // memo's own bar is back.
  vertical_.reset();
  horizontal_.reset();
  Detach();
}

void TsMemoFrame::WndProc(TMessage& m) {
  if (m.Msg == WM_NCPAINT && m.WParam != 0 && memo_->SkinData()->Skinned()) {
    memo_->SkinData()->PaintFrameFromCache(MessageDC(m));
    return;
  }
  CallPrevious(m);
  if (m.Msg == SM_LUMVEXCMD && Attached()) {
    const TsCommand command = SkinCommandOf(m.WParam);
    if (command == TsCommand::ApplySkin || command == TsCommand::RepaintSkin) {
      // A new skin or manager: the bars paint from what the memo uses now.
      for (TsScrollBar* bar : {vertical_.get(), horizontal_.get()}) {
        if (bar == nullptr) continue;
        bar->SetManager(memo_->SkinData()->SkinManager());
        bar->Invalidate();
      }
    }
  }
}

// ---- TsMemo ----------------------------------------------------------------------

namespace {

// The frame handler paints the frame; the editor's paints wait while the
// parent's cache is stale.
constexpr TsSkinShape kMemoShape{
    ckEdit, TsSkinParts::None, {CM_FONTCHANGED, CM_COLORCHANGED}, true, true};

}  // namespace

TsMemo::TsMemo(TComponent* owner) : TsSkinnedControl(owner, kMemoShape) {
  // Made while a skin is on (and not read from a window's settings).
  if (!IsLoading() && skin_data_->Skinned()) AttachFrame();
}

TsMemo::~TsMemo() {
  // The caption and the fade go first, the frame handler after them.
  ReleaseSkin();
  frame_.reset();
  retired_frame_.reset();
}

void TsMemo::Loaded() {
  TsSkinnedControl::Loaded();
  if (skin_data_->Skinned()) AttachFrame();
}

void TsMemo::PrepareCache() {
  PaintEditCache(*skin_data_, *this, std::string(), FrameMargins().Left);
  PaintDisabledCache(*skin_data_, *this, DisabledKind());
  skin_data_->CacheBuilt(CurrentSkinState());
}

void TsMemo::AttachFrame() {
  if (frame_ != nullptr || IsDestroying()) return;
  frame_ = std::make_unique<TsMemoFrame>(this);
}

void TsMemo::DetachFrame() {
  if (frame_ == nullptr) return;
  // The handler may be on the call stack (it passed this message on).
  frame_->DetachAll();
  retired_frame_ = std::move(frame_);
  Invalidate();
}

bool TsMemo::HandleSkinCommand(TMessage& m) {
  const bool handled = TsSkinnedControl::HandleSkinCommand(m);
  switch (SkinCommandOf(m.WParam)) {
    case TsCommand::ApplySkin:
    case TsCommand::RepaintSkin:
      // A skin arrives: the frame handler takes over the frame.
      if (skin_data_->Skinned()) {
        AttachFrame();
      } else {
        DetachFrame();
      }
      break;
    case TsCommand::DropSkin:
      DetachFrame();
      break;
    default:
      break;
  }
  return handled;
}
