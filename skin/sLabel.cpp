#include "skin/sLabel.h"

#include "skin/Blend.h"
#include "skin/sCommonData.h"
#include "skin/sSkinManager.h"
#include "toolkit/Guards.h"
#include "toolkit/SysUtils.h"

namespace {

// The smallest rectangle holding every pixel of `px` that is not `color`.
TRect ChangedRect(const TsPixelView& px, TColor color) {
  TRect r{px.width, px.height, 0, 0};
  for (int y = 0; y < px.height; ++y) {
    for (int x = 0; x < px.width; ++x) {
      if (LoadPixel(px.At(x, y)) == color) continue;
      r.Left = std::min(r.Left, x);
      r.Top = std::min(r.Top, y);
      r.Right = std::max(r.Right, x + 1);
      r.Bottom = std::max(r.Bottom, y + 1);
    }
  }
  return r.Left < r.Right ? r : TRect{};
}

// The "no colour" value: a shadow in it is not drawn.
constexpr TColor kNoColor = 0x1FFFFFFF;

bool ManagerIsTheLabels(const TsSkinManager* named) {
  return named == nullptr || named == DefaultManager();
}

}  // namespace

TsSkinManager* ActiveLabelSkin() {
  TsSkinManager* m = DefaultManager();
  if (m == nullptr || !m->SkinData().Active || m->Model().Sections().empty()) return nullptr;
  return m;
}

TColor SkinLabelColor(TWinControl* parent) {
  TsSkinManager* m = ActiveLabelSkin();
  if (m == nullptr) return kTransparentKey;
  const std::vector<SectionRecord>& sections = m->Model().Sections();
  const SectionRecord* found = nullptr;
  for (TWinControl* p = parent; p != nullptr; p = p->Parent()) {
    const std::intptr_t index = SkinCommand(p, TsCommand::QuerySectionIndex) - 1;
    if (index < 0 || index >= static_cast<std::intptr_t>(sections.size())) break;
    const SectionRecord& s = sections[static_cast<std::size_t>(index)];
    // A see-through section shows what its parent shows: ask the parent.
    if (s.Transparency > 50) continue;
    found = &s;
    break;
  }
  if (found != nullptr && found->GiveOwnFont) return found->FontColor[0];
  return m->GlobalFontColor();
}

TColor ParentFillColor(TWinControl* parent) {
  if (parent == nullptr) return ColorToRGB(clBtnFace);
  if (IsSkinnedControl(parent))
    return static_cast<TColor>(SkinCommand(parent, TsCommand::QueryFillColor));
  return ColorToRGB(parent->Color());
}

// ---- TsCustomLabel --------------------------------------------------------------

TsCustomLabel::TsCustomLabel(TComponent* owner) : TCustomLabel(owner) {
  SetTransparent(true);
}

void TsCustomLabel::SetSkinSection(const std::string& value) {
  skin_section_ = UpperCase(value);
}

void TsCustomLabel::SetUseSkinColor(bool value) {
  if (value == use_skin_color_) return;
  use_skin_color_ = value;
  Invalidate();
}

void TsCustomLabel::SetFontColorQuietly(TColor color) {
  if (Font().Color() == color) return;
  const TFlagScope quiet(quiet_font_);
  Font().SetColor(color);
}

void TsCustomLabel::FontChanged() {
  if (quiet_font_) return;
  TCustomLabel::FontChanged();
}

void TsCustomLabel::Paint() {
  if (use_skin_color_ && ActiveLabelSkin() != nullptr) {
    // 0xFF00FF: the skin gives no colour, the font keeps its own.
    const TColor c = SkinLabelColor(Parent());
    if (c != kTransparentKey) SetFontColorQuietly(c);
  }
  TCustomLabel::Paint();
}

void TsCustomLabel::DoDrawText(TCanvas& canvas, TRect& rect, unsigned flags) {
  if ((flags & DT_CALCRECT) != 0 || Enabled() || ActiveLabelSkin() == nullptr) {
    TCustomLabel::DoDrawText(canvas, rect, flags);
    return;
  }
  // Disabled under a skin: once, in 40 % of the text colour over 60 % of
  // what the parent shows.
  canvas.Font().Assign(Font());
  canvas.Font().SetColor(
      ColorMix(ColorToRGB(Font().Color()), ColorToRGB(ParentFillColor(Parent())), 4, 10));
  canvas.DrawText(Caption(), rect, flags);
}

void TsCustomLabel::Dispatch(TMessage& m) {
  if (m.Msg == SM_LUMVEXCMD) {
    switch (SkinCommandOf(m.WParam)) {
      case TsCommand::DropSkin:
        if (ManagerIsTheLabels(CommandManager(m)) && use_skin_color_) Font().SetColor(clWindowText);
        Invalidate();
        return;
      case TsCommand::ApplySkin:
      case TsCommand::RepaintSkin:
        Invalidate();
        return;
      default:
        break;
    }
  }
  TCustomLabel::Dispatch(m);
}

// ---- TsKind, TsShadow -----------------------------------------------------------------

void TsKind::SetKindType(TsKindType value) {
  if (value == kind_type_) return;
  kind_type_ = value;
  owner_->EffectChanged();
}

void TsKind::SetColor(TColor value) {
  if (value == color_) return;
  color_ = value;
  owner_->EffectChanged();
}

void TsShadow::SetMode(TsShadowMode value) {
  if (value == mode_) return;
  mode_ = value;
  owner_->EffectChanged();
}

void TsShadow::SetColor(TColor value) {
  if (value == color_) return;
  color_ = value;
  owner_->EffectChanged();
}

void TsShadow::SetBlurCount(int value) {
  value = std::max(0, value);
  if (value == blur_count_) return;
  blur_count_ = value;
  owner_->EffectChanged();
}

void TsShadow::SetDistance(int value) {
  if (value == distance_) return;
  distance_ = value;
  owner_->EffectChanged();
}

// ---- TsLabelFX --------------------------------------------------------------------------

TsLabelFX::TsLabelFX(TComponent* owner) : TsCustomLabel(owner) {}

void TsLabelFX::EffectChanged() {
  if (CanAutoSizeNow()) AdjustSize();
  Invalidate();
}

TsShadowSettings TsLabelFX::ShadowSettings() const {
  TsShadowSettings s{shadow_.Color(), shadow_.BlurCount(), shadow_.Distance()};
  if (shadow_.Mode() != smSkin1) return s;
  if (TsSkinManager* m = ActiveLabelSkin(); m != nullptr && m->SkinData().Shadow1Blur != -1) {
    const TsSkinData& d = m->SkinData();
    s = {d.Shadow1Color, std::max(0, d.Shadow1Blur), d.Shadow1Offset};
  }
  return s;
}

TColor TsLabelFX::TextColor() const {
  switch (kind_.KindType()) {
    case ktStandard:
      return Font().Color();
    case ktCustom:
      return kind_.Color();
    case ktSkin:
      break;
  }
  if (TsSkinManager* m = ActiveLabelSkin()) {
    const int global = m->Model().Cache().GlobalInfo;
    if (global >= 0) {
      const TColor contour = m->Model().Sections()[static_cast<std::size_t>(global)].FontColor[1];
      if (contour != -1) return contour;
    }
  }
  return kind_.Color();
}

void TsLabelFX::DoDrawText(TCanvas& canvas, TRect& rect, unsigned flags) {
  if (shadow_.Mode() == smNone) {
    TsCustomLabel::DoDrawText(canvas, rect, flags);
    return;
  }
  const bool measuring = (flags & DT_CALCRECT) != 0;
  const std::string text = TextToDraw(flags);
  canvas.Font().Assign(Font());
  canvas.Brush().SetStyle(TBrushStyle::bsClear);
  if (!measuring && !Enabled()) {
    // Embossed, without shadow.
    DrawEmbossed(canvas, text, rect, flags);
    return;
  }
  const TsShadowSettings shadow = ShadowSettings();
  const bool plain = shadow.Color == kNoColor || shadow.BlurCount == 0;
  if (measuring) {
    canvas.DrawText(text, rect, flags);
    if (!plain) {
      const int grow = shadow.FarMargin() - shadow.NearMargin();
      rect.Right += grow;
      rect.Bottom += grow;
    }
    return;
  }
  canvas.Font().SetColor(TextColor());
  if (plain) {
    canvas.DrawText(text, rect, flags);
    return;
  }
  // Built at every paint: the text in white on black at the shadow's
  // place, blurred, laid over what lies under the label; then the text.
  const int near = shadow.NearMargin(), far = shadow.FarMargin();
  TRect text_rect{rect.Left - near, rect.Top - near, rect.Right - far, rect.Bottom - far};
  shadow_bitmap_.SetSize(std::max(0, Width()), std::max(0, Height()));
  if (shadow_bitmap_.Empty()) return;
  TCanvas& sc = shadow_bitmap_.Canvas();
  sc.Brush().SetStyle(TBrushStyle::bsSolid);
  sc.Brush().SetColor(clBlack);
  sc.FillRect(Rect(0, 0, Width(), Height()));
  sc.Brush().SetStyle(TBrushStyle::bsClear);
  sc.Font().Assign(Font());
  sc.Font().SetColor(clWhite);
  TRect shadow_rect = text_rect.Offset(shadow.Distance, shadow.Distance);
  sc.DrawText(text, shadow_rect, flags);
  ComposeShadow(shadow);
  sc.Font().SetColor(TextColor());
  sc.DrawText(text, text_rect, flags);
  // Over a parent that answers only a colour, what lies under the label was
  // painted by the parent (a panel's bevel, say): only the part that the
  // shadow or the text changed goes on it.
  TRect changed = Rect(0, 0, shadow_bitmap_.Width(), shadow_bitmap_.Height());
  if (has_backdrop_) changed = ChangedRect(PixelsOf(shadow_bitmap_), backdrop_);
  if (!changed.IsEmpty()) canvas.CopyRect(changed, shadow_bitmap_.Canvas(), changed);
}

void TsLabelFX::ComposeShadow(const TsShadowSettings& shadow) {
  const int w = shadow_bitmap_.Width(), h = shadow_bitmap_.Height();
  const std::size_t need = static_cast<std::size_t>(w + 2) * static_cast<std::size_t>(h + 2) * 2;
  if (blur_.size() < need) blur_.resize(need);
  TsPixelView px = PixelsOf(shadow_bitmap_);
  BlurTextMask(blur_, w, h, shadow.BlurCount, [&px](int x, int y) {
    const std::uint8_t* p = px.At(x, y);
    return (p[0] | p[1] | p[2]) != 0;
  });
  // What lies under the label.
  const bool see_through = Transparent();
  has_backdrop_ = false;
  if (see_through) {
    BackgroundInfo info;
    AskParentBackground(this, info);
    TsBackground back = BackgroundOf(info);
    if (back.IsBitmap()) {
      back.offset_x += Left();
      back.offset_y += Top();
    } else if (!back.Known()) {
      back = TsBackground::FromColor(ColorToRGB(Parent() != nullptr ? Parent()->Color() : Color()));
    }
    PutBackground(px, Rect(0, 0, w, h), {0, 0}, back);
    if (!back.IsBitmap()) {
      // The colour as the blend below leaves it where no shadow falls.
      const TColor c = LoadPixel(px.At(0, 0));
      has_backdrop_ = true;
      backdrop_ = RGB(GetRValue(c) * 255 / 256, GetGValue(c) * 255 / 256, GetBValue(c) * 255 / 256);
    }
  }
  const TColor sc = ColorToRGB(shadow.Color);
  const int sr = GetRValue(sc), sg = GetGValue(sc), sb = GetBValue(sc);
  const TColor own = ColorToRGB(Color());
  const int lr = GetRValue(own), lg = GetGValue(own), lb = GetBValue(own);
  const int stride = w + 2;
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* cell = blur_.data() + static_cast<std::ptrdiff_t>(y + 1) * stride + 1;
    std::uint8_t* p = px.At(0, y);
    for (int x = 0; x < w; ++x, p += 3) {
      const int a = cell[x];
      if (see_through) {
        p[0] = static_cast<std::uint8_t>((p[0] * (255 - a) + sb * a) / 256);
        p[1] = static_cast<std::uint8_t>((p[1] * (255 - a) + sg * a) / 256);
        p[2] = static_cast<std::uint8_t>((p[2] * (255 - a) + sr * a) / 256);
      } else {
        p[0] = static_cast<std::uint8_t>((sb * a + lb * (255 - a)) / 256);
        p[1] = static_cast<std::uint8_t>((sg * a + lg * (255 - a)) / 256);
        p[2] = static_cast<std::uint8_t>((sr * a + lr * (255 - a)) / 256);
      }
    }
  }
}
