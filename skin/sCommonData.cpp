// TsCommonData itself: the control kinds, the published settings, the
// look-up of the section's indexes, the cache decision and the state rules.
// Its other jobs have their own files: the skin commands (sCommonCommands),
// the reactions to the control's messages (sCommonReactions), what lies
// behind a control (sCommonBackground), the cache (sCommonCache) and the
// fades (sCommonFades).
#include "skin/sCommonData.h"

#include "skin/sFadeAnimation.h"
#include "skin/sSkinManager.h"
#include "toolkit/Controls.h"
#include "toolkit/SysUtils.h"

// ---- kinds ---------------------------------------------------------------------

std::string DefaultSectionOf(int kind, const std::string& class_name) {
  switch (kind) {
    case ckEdit:
      return "EDIT";
    case ckComboBox:
      return "COMBOBOX";
    case ckBar:
      return "BAR";
    case ckBarTitle:
      return "BARTITLE";
    case ckCheckBox:
      return "CHECKBOX";
    case ckRadioButton:
      return "RADIOBUTTON";
    case ckPanel:
      return "PANEL";
    case ckPanelLow:
      return "PANEL_LOW";
    case ckToolBar:
      return "TOOLBAR";
    case ckDragBar:
      return "DRAGBAR";
    case ckTabSheet:
      return "TABSHEET";
    case ckGroupBox:
      return "GROUPBOX";
    case ckSplitter:
      return "SPLITTER";
    case ckSpeedButton:
      return "SPEEDBUTTON";
    case ckButton:
      return "BUTTON";
    case ckToolButton:
      return "TOOLBUTTON";
    case ckPageControl:
      return "PAGECONTROL";
    case ckStatusBar:
      return "STATUSBAR";
    case ckGauge:
      return "GAUGE";
    case ckTrackBar:
      return "TRACKBAR";
    case ckForm:
      return "FORM";
    default:
      return class_name.empty() ? std::string("UNKNOWN") : UpperCase(class_name);
  }
}

bool KindShowsHotState(int kind) {
  switch (kind) {
    case ckEdit:
    case ckComboBox:
    case ckCheckBox:
    case ckRadioButton:
    case ckSpeedButton:
    case ckButton:
    case ckToolButton:
    case ckTrackBar:
      return true;
    default:
      return false;
  }
}

bool KindIsEditLike(int kind) {
  return kind == ckEdit || kind == ckComboBox;
}

bool KindDecidesCache(int kind) {
  return kind == ckPanel || kind == ckPanelLow || kind == ckScrollBox || kind == ckForm;
}

// ---- TsCommonData -------------------------------------------------------------

TsCommonData::TsCommonData(TObject* owner, TControl* owner_control, TsSkinHost* host, int kind,
                           std::string class_name)
    : owner_control_(owner_control),
      owner_object_(owner),
      kind_(kind),
      host_(host),
      class_name_(std::move(class_name)) {
  // The kind's section until the control names one; a control made while a
  // skin is in force paints with it at once.
  skin_section_ = DefaultSectionOf(kind_, class_name_);
  if (Manager() != nullptr && !Manager()->Model().Sections().empty()) UpdateIndexes();
}

TsCommonData::~TsCommonData() {
  fade_.reset();
  for (TsSkinManager* m : {skin_manager_, DefaultManager()}) {
    if (m != nullptr && owner_control_ != nullptr && m->HotControl() == owner_control_)
      m->SetHotControl(nullptr);
  }
}

void TsCommonData::SetSkinSection(const std::string& value) {
  std::string v = UpperCase(value);
  if (v.empty()) v = "UNKNOWN";
  if (v == skin_section_) return;
  skin_section_ = v;
  TsSkinManager* m = Manager();
  if (m != nullptr && !m->Model().Sections().empty()) {
    UpdateIndexes();
  } else {
    skin_index_ = -1;
  }
  if (owner_control_ == nullptr) {
    bg_changed_ = true;
    if (host_ != nullptr) host_->SkinSectionChanged();
    return;
  }
  if (owner_control_->Parent() != nullptr && !owner_control_->IsLoading() &&
      !owner_control_->IsDestroying()) {
    SendManagerCommand(owner_control_,
                       skin_index_ >= 0 ? TsCommand::RepaintSkin : TsCommand::DropSkin, m);
  }
}

void TsCommonData::SetSkinManager(TsSkinManager* value) {
  if (value == DefaultManager()) value = nullptr;
  if (value == skin_manager_) return;
  skin_manager_ = value;
  TsSkinManager* m = Manager();
  if (m != nullptr && !m->Model().Sections().empty()) {
    UpdateIndexes();
  } else {
    skin_index_ = -1;
  }
  if (owner_control_ != nullptr && !owner_control_->IsLoading() &&
      !owner_control_->IsDestroying()) {
    SendManagerCommand(owner_control_,
                       skin_index_ >= 0 ? TsCommand::RepaintSkin : TsCommand::DropSkin, m);
  }
}

void TsCommonData::SetCustomColor(bool value) {
  if (value == custom_color_) return;
  custom_color_ = value;
  if (!value && Skinned() && KindIsEditLike(kind_)) ApplySectionColors();
  bg_changed_ = true;
  Invalidate();
}

void TsCommonData::SetCustomFont(bool value) {
  if (value == custom_font_) return;
  custom_font_ = value;
  bg_changed_ = true;
  Invalidate();
}

TsSkinManager* TsCommonData::Manager() const {
  return skin_manager_ != nullptr ? skin_manager_ : DefaultManager();
}

const TsSkinModel* TsCommonData::Model() const {
  TsSkinManager* m = Manager();
  return m != nullptr ? &m->Model() : nullptr;
}

bool TsCommonData::Skinned() const {
  return Section() != nullptr;
}

const SectionRecord* TsCommonData::Section() const {
  const TsSkinModel* model = Model();
  if (model == nullptr || skin_index_ < 0 ||
      skin_index_ >= static_cast<int>(model->Sections().size()))
    return nullptr;
  return &model->Sections()[static_cast<std::size_t>(skin_index_)];
}

int TsCommonData::TransparencyFor(int state) const {
  const SectionRecord* s = Section();
  if (s == nullptr) return 0;
  return state == 0 ? s->Transparency : s->HotTransparency;
}

void TsCommonData::Loaded() {
  if (skin_section_.empty()) skin_section_ = DefaultSectionOf(kind_, class_name_);
  UpdateIndexes();
}

void TsCommonData::UpdateIndexes() {
  bg_changed_ = true;
  // A fade between looks of the old section or skin means nothing now.
  fade_.reset();
  TsSkinManager* m = Manager();
  skin_index_ = m != nullptr ? m->SectionIndex(skin_section_) : -1;
  plain_color_ = false;
  bg_type_ = 0;
  const SectionRecord* s = Section();
  if (s == nullptr) {
    border_index_ = texture_ = hot_texture_ = -1;
    return;
  }
  border_index_ = m->MaskIndex(skin_index_, skin_section_, "BORDERSMASK");
  texture_ = m->TextureIndex(skin_index_, skin_section_, "PATTERN");
  hot_texture_ = m->TextureIndex(skin_index_, skin_section_, "HOTPATTERN");
  if (s->ImagePercent > 0 && texture_ >= 0) bg_type_ |= kBgTexture;
  if (s->GradientPercent > 0 && !s->GradientArray.empty()) {
    switch (s->GradientArray.front().Mode) {
      case 1:
        bg_type_ |= kBgHorizontal;
        break;
      case 2:
        bg_type_ |= kBgMesh;
        break;
      default:
        bg_type_ |= kBgVertical;
        break;
    }
  }
  DecideCache();
}

void TsCommonData::DecideCache() {
  plain_color_ = false;
  if (!KindDecidesCache(kind_)) return;
  const SectionRecord* s = Section();
  if (s == nullptr) return;
  if (border_index_ >= 0) {
    const TsBorderWidths w = Model()->MaskBorderWidths(border_index_);
    if (w.Left + w.Top + w.Right + w.Bottom > 24) return;
  }
  if (s->Transparency >= 100) {
    TControl* parent = owner_control_ != nullptr ? owner_control_->Parent() : nullptr;
    plain_color_ = parent != nullptr && SkinCommand(parent, TsCommand::CacheFlags) == 1;
  } else if (s->Transparency > 0) {
    plain_color_ = false;
  } else {
    plain_color_ = s->ImagePercent <= 0 && s->GradientPercent <= 0;
  }
  if (plain_color_) cache_.SetSize(0, 0);
}

bool TsCommonData::Active() const {
  if (owner_control_ == nullptr) return focused_;
  if (!owner_control_->Enabled() || owner_control_->IsDestroying()) return false;
  return focused_ || (mouse_above_ && KindShowsHotState(kind_));
}

bool TsCommonData::Updating() const {
  if (updating_) return true;
  TControl* parent = owner_control_ != nullptr ? owner_control_->Parent() : nullptr;
  return parent != nullptr && SkinCommand(parent, TsCommand::QueryBackDirty) == 1;
}

bool TsCommonData::DependsOnParent() const {
  return TransparencyFor(0) > 0 || TransparencyFor(1) > 0;
}

void TsCommonData::Invalidate() {
  if (owner_control_ != nullptr) owner_control_->Invalidate();
}

void TsCommonData::ApplySectionColors() {
  const SectionRecord* s = Section();
  if (s == nullptr || owner_control_ == nullptr) return;
  if (!custom_color_) owner_control_->SetColor(s->Color);
  if (!custom_font_) owner_control_->Font().SetColor(s->FontColor[0]);
}

void TsCommonData::ApplySystemColors() {
  if (owner_control_ == nullptr) return;
  if (!custom_color_) owner_control_->SetColor(clWindow);
  if (!custom_font_) owner_control_->Font().SetColor(clWindowText);
}
