#include "skin/sBoundLabel.h"

#include <algorithm>

#include "skin/sCommonData.h"
#include "toolkit/Controls.h"

TAlignment CaptionAlignment(TsCaptionLayout layout) {
  switch (layout) {
    case sclTopLeft:
      return taLeftJustify;
    case sclTopCenter:
      return taCenter;
    default:
      return taRightJustify;
  }
}

// ---- TsEditLabel ---------------------------------------------------------------

TsEditLabel::TsEditLabel(TComponent* owner, TsBoundLabel* bound_label)
    : TsLabel(owner), bound_label_(bound_label) {}

TsEditLabel::~TsEditLabel() {
  Destroying();
  // Freed by other means than its bound label: that one forgets it.
  if (bound_label_ != nullptr) bound_label_->LabelGone();
}

void TsEditLabel::Loaded() {
  TsLabel::Loaded();
  // Created while the window's settings were read, the label could not
  // size itself until now.
  if (bound_label_ != nullptr) bound_label_->AlignLabel();
}

void TsEditLabel::Dispatch(TMessage& m) {
  TsLabel::Dispatch(m);
  if (m.Msg == CM_FONTCHANGED && bound_label_ != nullptr) bound_label_->AlignLabel();
}

// ---- TsBoundLabel ----------------------------------------------------------------

TsBoundLabel::TsBoundLabel(TsCommonData* skin_data) : skin_data_(skin_data) {}

TsBoundLabel::~TsBoundLabel() {
  SetActive(false);
}

TControl* TsBoundLabel::Control() const {
  return skin_data_ != nullptr ? skin_data_->OwnerControl() : nullptr;
}

void TsBoundLabel::SetMaxWidth(int value) {
  if (value == max_width_) return;
  max_width_ = value;
  if (active_) AlignLabel();
}

namespace {

// The name a caption gives its control to assistive technology: the words,
// without the accelerator marks and the colon ("&Count:" names "Count").
std::string NameFromCaption(const std::string& caption) {
  std::string name;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size()) ++i;
    name += caption[i];
  }
  while (!name.empty() && (name.back() == ':' || name.back() == ' ')) name.pop_back();
  return name;
}

}  // namespace

void TsBoundLabel::SetCaption(const std::string& value) {
  if (value == caption_) return;
  // The control is named after its caption, unless it was named otherwise.
  if (TControl* control = Control()) {
    if (control->AccessibleName().empty() || control->AccessibleName() == NameFromCaption(caption_))
      control->SetAccessibleName(NameFromCaption(value));
  }
  caption_ = value;
  if (!active_ || label_ == nullptr) return;
  label_->SetCaption(caption_);
  AlignLabel();
}

void TsBoundLabel::SetLayout(TsCaptionLayout value) {
  if (value == layout_) return;
  layout_ = value;
  if (label_ != nullptr) label_->SetAlignment(CaptionAlignment(layout_));
  if (active_) AlignLabel();
}

TFont& TsBoundLabel::Font() {
  return label_ != nullptr ? label_->Font() : font_;
}

void TsBoundLabel::SetFont(const TFont& font) {
  if (label_ == nullptr) {
    font_.Assign(font);
    return;
  }
  label_->Font().Assign(font);
  label_->SetParentFont(false);
  AlignLabel();
}

void TsBoundLabel::SetIndent(int value) {
  if (value == indent_) return;
  indent_ = value;
  if (active_) AlignLabel();
}

void TsBoundLabel::SetActive(bool value) {
  if (value == active_) return;
  if (value) {
    active_ = true;
    CreateLabel();
    return;
  }
  if (TsEditLabel* label = label_) {
    label_ = nullptr;
    label->bound_label_ = nullptr;
    delete label;
  }
  active_ = false;
}

bool TsBoundLabel::UseSkinColor() const {
  return label_ != nullptr ? label_->UseSkinColor() : true;
}

void TsBoundLabel::SetUseSkinColor(bool value) {
  if (label_ != nullptr) label_->SetUseSkinColor(value);
}

void TsBoundLabel::CreateLabel() {
  TControl* control = Control();
  label_ = new TsEditLabel(control, this);
  label_->Hide();
  // Drawn on the control's parent, in its coordinates; a later change of
  // the control's parent is not followed.
  if (control != nullptr) label_->SetParent(control->Parent());
  label_->SetFocusControl(dynamic_cast<TWinControl*>(control));
  label_->SetAlignment(CaptionAlignment(layout_));
  const std::string name = control != nullptr ? control->Name() : std::string();
  label_->SetName(name + "Label");
  if (caption_.empty()) caption_ = name;
  label_->SetCaption(caption_);
  if (control != nullptr) {
    label_->SetVisible(control->Visible() || control->IsDesigning());
    label_->SetEnabled(control->Enabled());
    label_->SetBiDiMode(control->BiDiMode());
  }
  AlignLabel();
}

void TsBoundLabel::LabelGone() {
  label_ = nullptr;
  active_ = false;
}

void TsBoundLabel::AlignLabel() {
  TControl* control = Control();
  if (label_ == nullptr || control == nullptr || !label_->Visible()) return;
  // A label activated before its control had a parent joins that parent
  // now: without one it could never show.
  if (label_->Parent() == nullptr && control->Parent() != nullptr)
    label_->SetParent(control->Parent());
  // The text's own size, measured on one line: a fixed width set by an
  // earlier placement must not wrap the text it is measured from.
  label_->SetWordWrap(false);
  label_->SetAutoSize(true);
  label_->FitToText();
  const TRect ctl = control->BoundsRect();
  const int w = label_->Width(), h = label_->Height();
  int left = ctl.Left, top = ctl.Top - h - indent_;
  switch (layout_) {
    case sclLeft:
      left = ctl.Left - w - 4 - indent_;
      top = ctl.Top + (ctl.Height() - h) / 2 - 1;
      break;
    case sclTopLeft:
      break;
    case sclTopCenter:
      left = ctl.Left + (ctl.Width() - w) / 2;
      break;
    case sclTopRight:
      left = ctl.Left + ctl.Width() - w;
      break;
  }
  if (max_width_ == 0) {
    label_->SetBounds(left, top, w, h);
    return;
  }
  // A fixed width: the text wraps inside it; the left edge stays where the
  // text's width put it.
  label_->SetAutoSize(false);
  label_->SetWordWrap(true);
  label_->SetBounds(left, top, max_width_, std::max(h, ctl.Height()));
}

void TsBoundLabel::ControlMessage(const TMessage& m) {
  TControl* control = Control();
  if (label_ == nullptr || control == nullptr) return;
  switch (m.Msg) {
    case WM_SIZE:
    case WM_WINDOWPOSCHANGED:
      AlignLabel();
      break;
    case CM_VISIBLECHANGED:
      label_->SetVisible(control->Visible());
      AlignLabel();
      break;
    case CM_ENABLEDCHANGED:
      label_->SetEnabled(control->Enabled());
      AlignLabel();
      break;
    case CM_BIDIMODECHANGED:
      label_->SetBiDiMode(control->BiDiMode());
      AlignLabel();
      break;
    default:
      break;
  }
}
