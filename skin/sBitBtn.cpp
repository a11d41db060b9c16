#include "skin/sBitBtn.h"

#include <QPainter>

#include "skin/SkinPainter.h"

namespace {

// The skin paints the face: the client area, as the toolkit button does.
constexpr TsSkinShape kButtonShape{ckButton, TsSkinParts::Client, {CM_TEXTCHANGED, CM_FONTCHANGED}};

}  // namespace

TsBitBtn::TsBitBtn(TComponent* owner) : TsSkinnedControl(owner, kButtonShape) {
  SetWordWrap(true);
}

void TsBitBtn::ButtonChanged() {
  skin_data_->MarkBackDirty();
  TBitBtn::ButtonChanged();
}

void TsBitBtn::SetDown(bool value) {
  if (value == down_) return;
  down_ = value;
  skin_data_->LookChanged();
}

void TsBitBtn::SetDrawOverBorder(bool value) {
  if (value == draw_over_border_) return;
  draw_over_border_ = value;
  ButtonChanged();
}

void TsBitBtn::SetShowFocus(bool value) {
  if (value == show_focus_) return;
  show_focus_ = value;
  // The plain look follows it as well.
  SetShowFocusFrame(value);
  ButtonChanged();
}

void TsBitBtn::SetShowCaption(bool value) {
  if (value == show_caption_) return;
  show_caption_ = value;
  ButtonChanged();
}

void TsBitBtn::SetFocusMargin(int value) {
  if (value == focus_margin_) return;
  focus_margin_ = value;
  ButtonChanged();
}

void TsBitBtn::SetTextAlignment(TAlignment value) {
  if (value == text_alignment_) return;
  text_alignment_ = value;
  ButtonChanged();
}

void TsBitBtn::PushChanged() {
  if (skin_data_->Skinned() && CurrentSkinState() != skin_data_->CacheState())
    skin_data_->LookChanged();
}

void TsBitBtn::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TBitBtn::MouseDown(button, shift, x, y);
  PushChanged();
}

void TsBitBtn::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TBitBtn::MouseUp(button, shift, x, y);
  PushChanged();
}

void TsBitBtn::MouseMove(TShiftState shift, int x, int y) {
  TBitBtn::MouseMove(shift, x, y);
  PushChanged();
}

void TsBitBtn::KeyDown(std::uint16_t& key, TShiftState shift) {
  TBitBtn::KeyDown(key, shift);
  PushChanged();
}

void TsBitBtn::KeyUp(std::uint16_t& key, TShiftState shift) {
  TBitBtn::KeyUp(key, shift);
  PushChanged();
}

int TsBitBtn::CurrentSkinState() const {
  if (Pushed() || down_) return 2;
  if (Default() || skin_data_->FocusedFlag() || skin_data_->MouseAbove()) return 1;
  return 0;
}

bool TsBitBtn::WantsShortFade() const {
  return CurrentSkinState() == 2 || skin_data_->CacheState() == 2;
}

void TsBitBtn::PrepareCache() {
  const int w = Width(), h = Height();
  const int state = CurrentSkinState();
  TBitmap& cache = skin_data_->CacheBmp();
  cache.SetSize(w, h);
  const TRect all = Rect(0, 0, w, h);
  const TsSkinModel& model = *skin_data_->Model();
  const TsSectionRequest request = skin_data_->Request(state);
  const TsBackground back = skin_data_->ParentBackground();
  if (draw_over_border_) {
    PaintSkinItem(cache, all, model, request, false, back);
    DrawContent(cache, state);
  } else {
    PaintSectionBackground(cache, all, model, request, back);
    DrawContent(cache, state);
    DrawSkinItemBorder(cache, all, model, request, false, back);
  }
  if (!Enabled()) PaintDisabledLook(PixelsOf(cache), all, DisabledKind(), back);
  OnPaint(this, cache.Canvas());
  skin_data_->CacheBuilt(state);
}

void TsBitBtn::DrawContent(TBitmap& cache, int state) {
  TCanvas& canvas = cache.Canvas();
  canvas.Font().Assign(Font());
  // Pressed, glyph and caption move one pixel right and down.
  const TButtonLayoutRects layout = CalcButtonLayout(canvas, ClientRect(), state == 2, WordWrap());
  DrawGlyph(canvas, layout.Glyph);
  const std::string caption = Caption();
  if (!show_caption_ || caption.empty()) return;
  unsigned flags = txExpandTabs | (WordWrap() ? txWordBreak : txSingleLine);
  if (text_alignment_ == taCenter) flags |= txCenter;
  if (text_alignment_ == taRightJustify) flags |= txRight;
  DrawSkinText(canvas, caption, layout.Caption, flags, *skin_data_->Model(),
               skin_data_->SkinIndex(), state != 0, Enabled(), skin_data_->CustomFont());
  const SectionRecord* section = skin_data_->Section();
  if (Enabled() && skin_data_->FocusedFlag() && section != nullptr && section->ShowFocus &&
      show_focus_) {
    const TRect f = layout.Caption;
    const int m = focus_margin_;
    QPainter p(&cache.Image());
    QPen pen(ToQColor(TextColorsOf(*section, state != 0)[0]));
    pen.setStyle(Qt::DotLine);
    p.setPen(pen);
    p.drawRect(f.Left - m, f.Top - m, f.Width() + 2 * m - 1, f.Height() + 2 * m - 1);
  }
}
