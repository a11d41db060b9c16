#include "skin/sCommonData.h"

#include <QPainter>
#include <QRegion>

#include "skin/sFadeAnimation.h"
#include "skin/sSkinManager.h"
#include "toolkit/Controls.h"
#include "toolkit/Forms.h"
#include "toolkit/Guards.h"
#include "toolkit/SysUtils.h"

namespace {

std::intptr_t AsData(const void* p) {
  return reinterpret_cast<std::intptr_t>(p);
}

// Fills R on the record's device with its colour (please-draw).
void FillTarget(const BackgroundInfo& info) {
  if (!info.PleaseDraw || info.DrawDC == nullptr || info.R.IsEmpty()) return;
  info.DrawDC->fillRect(ToQRect(info.R), ToQColor(info.Color));
}

}  // namespace

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

// ---- asking ----------------------------------------------------------------------

TsBackground BackgroundOf(const BackgroundInfo& info) {
  if (info.Kind == bkCache && info.Bitmap != nullptr) {
    const TsPixelView view = PixelsOf(*info.Bitmap);
    if (view.Valid()) return TsBackground::FromBitmap(view, info.OffsetX, info.OffsetY);
  }
  return TsBackground::FromColor(info.Kind == bkFill ? info.Color : kTransparentKey);
}

std::intptr_t SkinCommand(TControl* control, TsCommand command, std::intptr_t data,
                          std::uint16_t flag) {
  if (control == nullptr) return 0;
  return control->Perform(SM_LUMVEXCMD, MakeSkinCommand(command, flag), data);
}

bool IsSkinnedControl(TControl* control) {
  return SkinCommand(control, TsCommand::QuerySkinned) == 1;
}

void AskParentBackground(TControl* control, BackgroundInfo& info) {
  info.Kind = bkUnknown;
  TWinControl* parent = control != nullptr ? control->Parent() : nullptr;
  if (parent != nullptr) SkinCommand(parent, TsCommand::QueryBackInfo, AsData(&info));
  if (info.Kind != bkUnknown) return;
  info.Kind = bkFill;
  if (parent != nullptr) {
    info.Color = ColorToRGB(parent->Color());
  } else if (DefaultManager() != nullptr) {
    info.Color = DefaultManager()->GlobalColor();
  } else {
    info.Color = control != nullptr ? ColorToRGB(control->Color()) : kTransparentKey;
  }
  FillTarget(info);
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
    SkinCommand(owner_control_, skin_index_ >= 0 ? TsCommand::RepaintSkin : TsCommand::DropSkin,
                AsData(m));
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
    SkinCommand(owner_control_, skin_index_ >= 0 ? TsCommand::RepaintSkin : TsCommand::DropSkin,
                AsData(m));
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

bool TsCommonData::ManagerMatches(std::intptr_t data) const {
  return data == 0 || reinterpret_cast<TsSkinManager*>(data) == Manager();
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

bool TsCommonData::HandleCommand(TMessage& m) {
  const std::uint16_t flag = SkinCommandFlag(m.WParam);
  switch (SkinCommandOf(m.WParam)) {
    case TsCommand::ApplySkin:
      if (ManagerMatches(m.LParam)) UpdateIndexes();
      return true;
    case TsCommand::DropSkin:
      if (!ManagerMatches(m.LParam)) return true;
      if (auto* dying = reinterpret_cast<TsSkinManager*>(m.LParam);
          dying != nullptr && dying == skin_manager_ && dying->IsDestroying())
        skin_manager_ = nullptr;
      skin_index_ = border_index_ = texture_ = hot_texture_ = -1;
      updating_ = true;
      plain_color_ = false;
      fade_.reset();
      cache_.SetSize(0, 0);
      cache_state_ = -1;
      if (KindIsEditLike(kind_)) ApplySystemColors();
      Invalidate();
      return true;
    case TsCommand::RepaintSkin:
      if (!ManagerMatches(m.LParam)) return true;
      // After DropSkin the indexes are gone: look them up in the current skin.
      if (skin_index_ < 0) UpdateIndexes();
      bg_changed_ = true;
      updating_ = false;
      if (KindIsEditLike(kind_)) ApplySectionColors();
      DecideCache();
      Invalidate();
      return true;
    case TsCommand::QuerySkinned:
      m.Result = 1;
      return true;
    case TsCommand::MarkUpdating:
      updating_ = flag == 1;
      return true;
    case TsCommand::QueryBackDirty:
      m.Result = Skinned() && (bg_changed_ || Updating()) ? 1 : 0;
      return true;
    case TsCommand::QueryHalfVisible:
      m.Result = half_visible_ ? 1 : 0;
      return true;
    case TsCommand::TransparentDirty:
      if (TransparencyFor(0) > 0 && flag == 1) bg_changed_ = true;
      return true;
    case TsCommand::SectionChanged:
      if (const auto* name = reinterpret_cast<const std::string*>(m.LParam);
          name != nullptr && UpperCase(*name) == skin_section_)
        Invalidate();
      return true;
    case TsCommand::HaltFade:
      HaltFade();
      return true;
    case TsCommand::MarkBackDirty:
      bg_changed_ = true;
      return true;
    case TsCommand::ParentBackDirty:
      if (!DependsOnParent()) return true;
      bg_changed_ = true;
      if (auto* win = dynamic_cast<TWinControl*>(owner_control_)) {
        for (int i = 0; i < win->ControlCount(); ++i)
          win->Controls(i)->Perform(SM_LUMVEXCMD, m.WParam, m.LParam);
      }
      if (flag == 1) Invalidate();
      return true;
    case TsCommand::QueryFillColor:
      m.Result = FillColor();
      return true;
    case TsCommand::SetHalfVisible:
      half_visible_ = true;
      return true;
    case TsCommand::QuerySectionIndex:
      m.Result = skin_index_ + 1;
      return true;
    case TsCommand::PointerIn:
      PointerIn();
      return true;
    case TsCommand::PointerOut:
      PointerOut();
      return true;
    case TsCommand::QueryBackInfo:
      if (m.LParam != 0) AnswerBackInfo(*reinterpret_cast<BackgroundInfo*>(m.LParam));
      return true;
    case TsCommand::CacheFlags:
      if (m.LParam == 1) {
        DecideCache();
        if (auto* win = dynamic_cast<TWinControl*>(owner_control_)) {
          for (int i = 0; i < win->ControlCount(); ++i)
            win->Controls(i)->Perform(SM_LUMVEXCMD, m.WParam, 1);
        }
      } else {
        m.Result = plain_color_ ? 1 : 0;
      }
      return true;
    case TsCommand::QueryAppWindow:
      m.Result = AsData(Application);
      return true;
    default:
      return false;
  }
}

void TsCommonData::React(const TMessage& m) {
  TControl* c = owner_control_;
  if (c == nullptr) return;
  switch (m.Msg) {
    case WM_MOVE:
    case WM_SIZE: {
      bg_changed_ = true;
      if (TWinControl* parent = c->Parent()) {
        const TRect inside = Rect(0, 0, parent->ClientWidth(), parent->ClientHeight());
        half_visible_ = c->BoundsRect().Intersect(inside) != c->BoundsRect();
      }
      if (DependsOnParent()) SkinCommand(c, TsCommand::ParentBackDirty);
      if (m.Msg == WM_SIZE) {
        if (auto* win = dynamic_cast<TWinControl*>(c)) {
          for (int i = 0; i < win->ControlCount(); ++i) {
            TControl* child = win->Controls(i);
            if ((child->Anchors() & (akRight | akBottom)) == 0)
              SkinCommand(child, TsCommand::ParentBackDirty);
          }
        }
      }
      Invalidate();
      break;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
      auto* win = dynamic_cast<TWinControl*>(c);
      if (win == nullptr || !win->CanFocus()) break;
      focused_ = m.Msg == WM_SETFOCUS;
      LookChanged();
      break;
    }
    case CM_ENABLEDCHANGED:
      if (!c->Enabled()) focused_ = mouse_above_ = false;
      LookChanged();
      break;
    case WM_CANCELMODE:
    case CM_CANCELMODE:
      focused_ = mouse_above_ = false;
      LookChanged();
      break;
    case CM_VISIBLECHANGED:
      if (c->Visible()) {
        updating_ = false;
        bg_changed_ = true;
      } else {
        fade_.reset();
        cache_.SetSize(0, 0);
        cache_state_ = -1;
      }
      break;
    case CM_MOUSEENTER:
      SkinCommand(c, TsCommand::PointerIn);
      break;
    case CM_MOUSELEAVE:
      SkinCommand(c, TsCommand::PointerOut);
      break;
    default:
      break;
  }
}

void TsCommonData::PointerIn() {
  // A disabled control shows no hot look.
  if (!KindShowsHotState(kind_) || (owner_control_ != nullptr && !owner_control_->Enabled()))
    return;
  if (TsSkinManager* m = Manager()) m->SetHotControl(owner_control_);
  if (mouse_above_) return;
  mouse_above_ = true;
  LookChanged();
}

void TsCommonData::PointerOut() {
  if (TsSkinManager* m = Manager(); m != nullptr && m->HotControl() == owner_control_)
    m->SetHotControl(nullptr);
  if (!mouse_above_) return;
  mouse_above_ = false;
  LookChanged();
}

// ---- backgrounds -----------------------------------------------------------------

TPoint TsCommonData::ChildOffset() const {
  if (const auto* win = dynamic_cast<const TWinControl*>(owner_control_)) {
    const TRect nc = win->FrameMargins();
    return {nc.Left, nc.Top};
  }
  return owner_control_ == nullptr && host_ != nullptr ? host_->ClientOriginInCache() : TPoint{};
}

void TsCommonData::AnswerBackInfo(BackgroundInfo& info) {
  TControl* c = owner_control_;
  const SectionRecord* s = Section();
  if (s == nullptr) {
    info.Kind = bkFill;
    info.Color = c != nullptr ? ColorToRGB(c->Color()) : kTransparentKey;
    FillTarget(info);
    return;
  }
  const int state = host_ != nullptr ? host_->CurrentSkinState() : 0;
  const bool hot = state != 0;
  const int transparency = hot ? s->HotTransparency : s->Transparency;
  const int gradient = hot ? s->HotGradientPercent : s->GradientPercent;
  const int image = hot ? s->HotImagePercent : s->ImagePercent;
  if (transparency <= 0 && gradient <= 0 && image <= 0) {
    info.Kind = bkFill;
    info.Color =
        custom_color_ && c != nullptr ? ColorToRGB(c->Color()) : (hot ? s->HotColor : s->Color);
    FillTarget(info);
    return;
  }
  if (transparency >= 100) {
    int widths = 0;
    if (border_index_ >= 0) {
      const TsBorderWidths w = Model()->MaskBorderWidths(border_index_);
      widths = w.Left + w.Top + w.Right + w.Bottom;
    }
    if (border_index_ < 0 || widths < 25) {
      if (c == nullptr || c->Parent() == nullptr) {
        info.Kind = bkFill;
        info.Color =
            DefaultManager() != nullptr ? DefaultManager()->GlobalColor() : ColorToRGB(clBtnFace);
        FillTarget(info);
        return;
      }
      // See-through: what lies behind this control lies behind its children.
      const TPoint inset = ChildOffset();
      const int dx = c->Left() + inset.X, dy = c->Top() + inset.Y;
      BackgroundInfo up = info;
      up.R = info.R.Offset(dx, dy);
      if (up.PleaseDraw && up.DrawDC != nullptr) {
        TPainterSave saved(up.DrawDC);
        up.DrawDC->translate(-dx, -dy);
        AskParentBackground(c, up);
      } else {
        AskParentBackground(c, up);
      }
      info.Kind = up.Kind;
      info.Color = up.Color;
      info.Bitmap = up.Bitmap;
      info.OffsetX = up.OffsetX;
      info.OffsetY = up.OffsetY;
      if (info.Kind == bkCache) {
        info.OffsetX += dx;
        info.OffsetY += dy;
      }
      return;
    }
  }
  if (cache_.Empty()) {
    info.Kind = bkFill;
    info.Color = kTransparentKey;
    return;
  }
  const TPoint inset = ChildOffset();
  info.Kind = bkCache;
  info.Bitmap = &cache_;
  info.OffsetX = inset.X;
  info.OffsetY = inset.Y;
  if (info.PleaseDraw && info.DrawDC != nullptr && !info.R.IsEmpty()) {
    info.DrawDC->drawImage(ToQRect(info.R), cache_.Image(),
                           ToQRect(info.R.Offset(info.OffsetX, info.OffsetY)));
  }
}

TColor TsCommonData::FillColor() {
  TControl* c = owner_control_;
  const SectionRecord* s = Section();
  const TColor own_color = c != nullptr ? ColorToRGB(c->Color()) : kTransparentKey;
  if (s == nullptr) return own_color;
  const int state = host_ != nullptr ? host_->CurrentSkinState() : 0;
  const int t = TransparencyFor(state);
  const TColor own = state == 0 ? s->Color : s->HotColor;
  if (t <= 0) return own;
  // What the parent of this control shows.
  TColor behind = own_color;
  if (TWinControl* parent = c != nullptr ? c->Parent() : nullptr) {
    behind = IsSkinnedControl(parent)
                 ? static_cast<TColor>(SkinCommand(parent, TsCommand::QueryFillColor))
                 : ColorToRGB(parent->Color());
    if ((behind & 0xFFFFFF) == kTransparentKey) behind = own_color;
  }
  if (t >= 100) return behind;
  // The transparency is a percentage used over 256, as the skin has it.
  auto mix = [t](int o, int p) { return o + t * (p - o) / 256; };
  return RGB(mix(GetRValue(own), GetRValue(behind)), mix(GetGValue(own), GetGValue(behind)),
             mix(GetBValue(own), GetBValue(behind)));
}

TsBackground TsCommonData::ParentBackground() {
  BackgroundInfo info;
  AskParentBackground(owner_control_, info);
  TsBackground back = BackgroundOf(info);
  if (back.IsBitmap() && owner_control_ != nullptr) {
    back.offset_x += owner_control_->Left();
    back.offset_y += owner_control_->Top();
  }
  return back;
}

// ---- painting --------------------------------------------------------------------

TsSectionRequest TsCommonData::Request(int state) const {
  TsSectionRequest r;
  r.section = skin_index_;
  r.state = state;
  r.texture = texture_;
  r.hot_texture = hot_texture_;
  r.custom_color = custom_color_;
  r.own_color = owner_control_ != nullptr ? ColorToRGB(owner_control_->Color()) : clWhite;
  return r;
}

void TsCommonData::PaintItem(TBitmap& cache, const TRect& rect, bool filling, int state,
                             TPoint position) {
  const TsSkinModel* model = Model();
  if (model == nullptr || Section() == nullptr || rect.IsEmpty()) return;
  if (rect.Intersect(Rect(0, 0, cache.Width(), cache.Height())) != rect) return;
  BackgroundInfo info;
  AskParentBackground(owner_control_, info);
  TsBackground back = BackgroundOf(info);
  // The background is wanted where the control lies, for the whole item.
  if (back.IsBitmap()) {
    back.offset_x += position.X;
    back.offset_y += position.Y;
  }
  PaintSkinItem(cache, rect, *model, Request(state), filling, back);
}

void TsCommonData::EnsureCache() {
  if (host_ == nullptr || !Skinned()) return;
  const int state = host_->CurrentSkinState();
  if (fade_ != nullptr) {
    // Fading toward a state that is no longer the control's: turn round.
    if (state != cache_state_ && CanFade(state)) StartFade(false);
    return;
  }
  if (!bg_changed_ && state == cache_state_) return;
  // The state changed before anyone said so (a paint came first).
  if (CanFade(state)) {
    StartFade(false);
    return;
  }
  host_->PrepareCache();
}

const TBitmap& TsCommonData::DisplayBitmap() const {
  return fade_ != nullptr ? fade_->Frame() : cache_;
}

void TsCommonData::CopyCacheToScreen(HDC dc) {
  auto* win = dynamic_cast<TWinControl*>(owner_control_);
  if (dc == nullptr || win == nullptr) return;
  const TRect nc = win->FrameMargins();
  QRegion clip(ToQRect(win->ClientRect()));
  for (int i = 0; i < win->ControlCount(); ++i) {
    TControl* child = win->Controls(i);
    if (!child->Visible()) continue;
    if (child->IsWindowed() || (child->ControlStyle() & csOpaque) != 0)
      clip -= ToQRect(child->BoundsRect());
  }
  if (!clip.isEmpty()) {
    TPainterSave saved(dc);
    dc->setClipRegion(clip, Qt::IntersectClip);
    dc->drawImage(-nc.Left, -nc.Top, DisplayBitmap().Image());
  }
  win->PaintControls(dc);
}

void TsCommonData::CopyFrameToScreen(HDC dc) {
  auto* win = dynamic_cast<TWinControl*>(owner_control_);
  if (dc == nullptr || win == nullptr) return;
  const TRect nc = win->FrameMargins();
  QRegion frame(0, 0, win->Width(), win->Height());
  frame -= QRegion(nc.Left, nc.Top, std::max(0, win->Width() - nc.Left - nc.Right),
                   std::max(0, win->Height() - nc.Top - nc.Bottom));
  if (frame.isEmpty()) return;
  TPainterSave saved(dc);
  dc->setClipRegion(frame, Qt::IntersectClip);
  dc->drawImage(0, 0, DisplayBitmap().Image());
}

// ---- fades ---------------------------------------------------------------------------

bool TsCommonData::CanFade(int state) const {
  const SectionRecord* s = Section();
  TControl* c = owner_control_;
  if (s == nullptr || host_ == nullptr || c == nullptr || !s->FadingEnabled) return false;
  // Only from a look that is on the screen: a current cache or a fade.
  const bool cache_current = fade_ != nullptr || (!bg_changed_ && !cache_.Empty());
  return cache_current && cache_state_ >= 0 && state != cache_state_ && !SkinLoading() &&
         c->Enabled() && c->Showing();
}

void TsCommonData::LookChanged(bool short_fade) {
  const int state = host_ != nullptr ? host_->CurrentSkinState() : 0;
  if (fade_ != nullptr && state == cache_state_) return;  // already fading there
  if (CanFade(state)) {
    StartFade(short_fade);
    return;
  }
  bg_changed_ = true;
  Invalidate();
}

void TsCommonData::StartFade(bool short_fade) {
  const SectionRecord* s = Section();
  if (host_->WantsShortFade()) short_fade = true;
  const int iterations = std::max(1, short_fade ? s->FadingIterations / 2 : s->FadingIterations);
  // From what the screen shows now: a fade running shows its frame.
  auto fade = std::make_unique<TsFadeAnimation>(DisplayBitmap(), iterations);
  fade_.reset();
  bg_changed_ = true;
  host_->PrepareCache();
  fade_ = std::move(fade);
  fade_->Start(TNotifyEvent([this](TObject*) { FadeStep(); }, this));
}

void TsCommonData::HaltFade() {
  if (fade_ == nullptr) return;
  fade_.reset();
  Invalidate();
}

void TsCommonData::FadeStep() {
  if (fade_ == nullptr) return;
  TControl* c = owner_control_;
  if (c == nullptr || c->IsDestroying() || (Application != nullptr && Application->Terminated())) {
    fade_.reset();
    return;
  }
  if (!c->Enabled()) {
    HaltFade();
    return;
  }
  if (fade_->Finished()) {
    SkinCommand(c, TsCommand::HaltFade, AsData(Manager()));
    return;
  }
  if (bg_changed_ && host_ != nullptr) host_->PrepareCache();
  if (!fade_->Step(cache_)) {
    HaltFade();
    return;
  }
  if (host_ == nullptr || !host_->ShowFadeFrame()) c->Repaint();
}
