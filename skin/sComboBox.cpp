#include "skin/sComboBox.h"

#include "skin/SkinPainter.h"
#include "skin/sEdit.h"
#include "skin/sSkinManager.h"

TsCustomComboBox::TsCustomComboBox(TComponent* owner) : TComboBox(owner) {
  skin_data_ = std::make_unique<TsCommonData>(this, this, this, ckComboBox);
  bound_label_ = std::make_unique<TsBoundLabel>(skin_data_.get());
}

TsCustomComboBox::~TsCustomComboBox() {
  // The caption goes first, while the box is whole.
  bound_label_.reset();
  Destroying();
  skin_data_->HaltFade();
}

void TsCustomComboBox::SetDisabledKind(TsDisabledKinds value) {
  if (value == disabled_kind_) return;
  disabled_kind_ = value;
  skin_data_->MarkBackDirty();
  Invalidate();
}

void TsCustomComboBox::Loaded() {
  TComboBox::Loaded();
  skin_data_->Loaded();
}

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
  PaintDisabledCache(*skin_data_, *this, disabled_kind_);
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

void TsCustomComboBox::Dispatch(TMessage& m) {
  if (m.Msg == SM_LUMVEXCMD) {
    if (!skin_data_->HandleCommand(m)) TComboBox::Dispatch(m);
    return;
  }
  if (skin_data_->Skinned()) {
    switch (m.Msg) {
      case WM_ERASEBKGND:
        m.Result = 1;
        return;
      case WM_PAINT:
        if (m.WParam != 0) {
          if (!skin_data_->Updating()) {
            skin_data_->EnsureCache();
            skin_data_->CopyCacheToScreen(MessageDC(m));
          }
          return;
        }
        break;
      case WM_NCPAINT:
        if (m.WParam != 0) {
          if (!skin_data_->Updating()) {
            skin_data_->EnsureCache();
            skin_data_->CopyFrameToScreen(MessageDC(m));
          }
          return;
        }
        break;
      default:
        break;
    }
  }
  TComboBox::Dispatch(m);
  if (m.Msg == CM_FONTCHANGED || m.Msg == CM_COLORCHANGED || m.Msg == WM_SIZE)
    skin_data_->MarkBackDirty();
  skin_data_->React(m);
  if (bound_label_ != nullptr) bound_label_->ControlMessage(m);
}
