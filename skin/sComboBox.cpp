#include "skin/sComboBox.h"

#include "skin/SkinPainter.h"
#include "skin/sEdit.h"
#include "skin/sSkinManager.h"

namespace {

// The skin paints the whole face; the editor shows the text over it.
constexpr TsSkinShape kComboShape{
    ckComboBox, TsSkinParts::Both, {CM_FONTCHANGED, CM_COLORCHANGED, WM_SIZE}, true};

}  // namespace

TsCustomComboBox::TsCustomComboBox(TComponent* owner) : TsSkinnedControl(owner, kComboShape) {}

int TsCustomComboBox::ButtonState() const {
  if (ListShowing()) return 2;
  return skin_data_->Active() ? 1 : 0;
}

void TsCustomComboBox::PrepareCache() {
  // The field as an edit's, without its text: the editor over it shows that.
  PaintEditCache(*skin_data_, *this, std::string(), FrameMargins().Left);
  const int state = ButtonState();
  const TsSkinModel& model = *skin_data_->Model();
  TBitmap& cache = skin_data_->CacheBmp();
  const TRect button = ButtonRect();
  // A skin with a button section paints the button as an item over the field.
  const TsPartIndexes& combo_btn = model.Cache().ComboBtn;
  if (combo_btn.Section >= 0) {
    TsSectionRequest r;
    r.section = combo_btn.Section;
    r.state = state;
    r.texture = combo_btn.Pattern;
    r.hot_texture = combo_btn.HotPattern;
    PaintSkinItem(cache, button, model, r, true, TsBackground::FromBitmap(PixelsOf(cache), 0, 0));
  }
  int glyph = model.MaskIndex(skin_data_->SkinIndex(), skin_data_->SkinSection(), "GLYPHMASK");
  if (glyph < 0) glyph = model.Cache().ComboGlyph;
  if (glyph >= 0) {
    const TPoint size = model.MaskFrameSize(glyph);
    DrawSkinGlyph(cache, {button.Left + (button.Width() - size.X) / 2, (Height() - size.Y) / 2},
                  model, glyph, state);
  }
  PaintDisabledCache(*skin_data_, *this, DisabledKind());
  skin_data_->CacheBuilt(state);
}

void TsCustomComboBox::DropDown() {
  TComboBox::DropDown();
  skin_data_->LookChanged();
}

void TsCustomComboBox::CloseUp() {
  TComboBox::CloseUp();
  skin_data_->LookChanged();
}
