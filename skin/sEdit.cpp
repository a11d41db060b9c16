#include "skin/sEdit.h"

#include "skin/SkinPainter.h"

void PaintEditCache(TsCommonData& data, TControl& control, const std::string& text, int border) {
  const int w = control.Width(), h = control.Height();
  const int state = data.Active() ? 1 : 0;
  TBitmap& cache = data.CacheBmp();
  cache.SetSize(w, h);
  data.PaintItem(cache, Rect(0, 0, w, h), true, state, {control.Left(), control.Top()});
  if (!text.empty()) {
    TCanvas& canvas = cache.Canvas();
    canvas.Font().Assign(control.Font());
    DrawSkinText(canvas, text, Rect(border + 1, border + 1, w - border, h - border),
                 txSingleLine | txNoPrefix, *data.Model(), data.SkinIndex(), state != 0,
                 control.Enabled(), data.CustomFont());
  }
}

void PaintDisabledCache(TsCommonData& data, TControl& control, TsDisabledKinds kinds) {
  if (control.Enabled()) return;
  TBitmap& cache = data.CacheBmp();
  PaintDisabledLook(PixelsOf(cache), Rect(0, 0, cache.Width(), cache.Height()), kinds,
                    data.ParentBackground());
}

TsEdit::TsEdit(TComponent* owner) : TEdit(owner) {
  skin_data_ = std::make_unique<TsCommonData>(this, this, this, ckEdit);
  bound_label_ = std::make_unique<TsBoundLabel>(skin_data_.get());
}

TsEdit::~TsEdit() {
  // The caption goes first, while the box is whole.
  bound_label_.reset();
  Destroying();
  skin_data_->HaltFade();
}

void TsEdit::SetDisabledKind(TsDisabledKinds value) {
  if (value == disabled_kind_) return;
  disabled_kind_ = value;
  skin_data_->MarkBackDirty();
  Invalidate();
}

void TsEdit::Loaded() {
  TEdit::Loaded();
  skin_data_->Loaded();
}

void TsEdit::PrepareCache() {
  std::string text = Text();
  if (PasswordChar() != 0) text.assign(text.size(), PasswordChar());
  PaintEditCache(*skin_data_, *this, text, FrameMargins().Left);
  PaintDisabledCache(*skin_data_, *this, disabled_kind_);
  skin_data_->CacheBuilt(CurrentSkinState());
}

void TsEdit::Change() {
  skin_data_->MarkBackDirty();
  TEdit::Change();
}

void TsEdit::Dispatch(TMessage& m) {
  if (m.Msg == SM_LUMVEXCMD) {
    if (!skin_data_->HandleCommand(m)) TEdit::Dispatch(m);
    return;
  }
  if (m.Msg == WM_NCPAINT && m.WParam != 0 && skin_data_->Skinned()) {
    // The frame is the cache's; the editor paints the text area.
    if (!skin_data_->Updating()) {
      skin_data_->EnsureCache();
      skin_data_->CopyFrameToScreen(MessageDC(m));
    }
    return;
  }
  TEdit::Dispatch(m);
  if (m.Msg == CM_FONTCHANGED || m.Msg == CM_TEXTCHANGED || m.Msg == CM_COLORCHANGED)
    skin_data_->MarkBackDirty();
  skin_data_->React(m);
  if (bound_label_ != nullptr) bound_label_->ControlMessage(m);
}
