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

namespace {

// The editor paints the text area; the skin the frame around it.
constexpr TsSkinShape kEditShape{
    ckEdit, TsSkinParts::Frame, {CM_FONTCHANGED, CM_TEXTCHANGED, CM_COLORCHANGED}, true};

}  // namespace

TsEdit::TsEdit(TComponent* owner) : TsSkinnedControl(owner, kEditShape) {}

void TsEdit::PrepareCache() {
  std::string text = Text();
  if (PasswordChar() != 0) text.assign(text.size(), PasswordChar());
  PaintEditCache(*skin_data_, *this, text, FrameMargins().Left);
  PaintDisabledCache(*skin_data_, *this, DisabledKind());
  skin_data_->CacheBuilt(CurrentSkinState());
}

void TsEdit::Change() {
  skin_data_->MarkBackDirty();
  TEdit::Change();
}
