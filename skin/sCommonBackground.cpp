// What lies behind a control: a child asks its parent (QueryBackInfo) and
// the parent answers its cache, one colour or, when see-through, its own
// parent's answer; and the colour a child should assume (QueryFillColor).
#include "skin/sCommonData.h"

#include <QPainter>

#include "skin/sSkinManager.h"
#include "toolkit/Controls.h"
#include "toolkit/Guards.h"

namespace {

// Fills R on the record's device with its colour (please-draw).
void FillTarget(const BackgroundInfo& info) {
  if (!info.PleaseDraw || info.DrawDC == nullptr || info.R.IsEmpty()) return;
  info.DrawDC->fillRect(ToQRect(info.R), ToQColor(info.Color));
}

}  // namespace

TsBackground BackgroundOf(const BackgroundInfo& info) {
  if (info.Kind == bkCache && info.Bitmap != nullptr) {
    const TsPixelView view = PixelsOf(*info.Bitmap);
    if (view.Valid()) return TsBackground::FromBitmap(view, info.OffsetX, info.OffsetY);
  }
  return TsBackground::FromColor(info.Kind == bkFill ? info.Color : kTransparentKey);
}

void AskParentBackground(TControl* control, BackgroundInfo& info) {
  info.Kind = bkUnknown;
  TWinControl* parent = control != nullptr ? control->Parent() : nullptr;
  if (parent != nullptr) SendQueryBackInfo(parent, info);
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
