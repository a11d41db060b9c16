#include "toolkit/Buttons.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <optional>

#include "toolkit/Guards.h"

namespace {

struct TKindInfo {
  const char* caption;
  TModalResult result;
};

constexpr TKindInfo kKinds[] = {
    {"", mrNone},        {"OK", mrOk},          {"Cancel", mrCancel}, {"&Help", mrNone},
    {"&Yes", mrYes},     {"&No", mrNo},         {"&Close", mrNone},   {"Abort", mrAbort},
    {"&Retry", mrRetry}, {"&Ignore", mrIgnore}, {"&All", mrAll},
};

constexpr int kKindGlyphSize = 16;

}  // namespace

TBitBtn::TBitBtn(TComponent* owner) : TCustomControl(owner) {
  SetControlStyle((ControlStyle() | csOpaque | csClickEvents | csSetCaption) & ~csDoubleClicks);
  SetColor(clBtnFace);
  SetTabStop(true);
  SetBounds(0, 0, 75, 25);
}

void TBitBtn::SetKind(TBitBtnKind kind) {
  if (kind == kind_) return;
  const TKindInfo& old = kKinds[static_cast<int>(kind_)];
  const TKindInfo& info = kKinds[static_cast<int>(kind)];
  // The kind's caption and result replace only what the old kind gave.
  if (Caption().empty() || Caption() == old.caption) SetCaption(info.caption);
  if (modal_result_ == old.result) modal_result_ = info.result;
  if (kind == bkOK || kind == bkYes) SetDefault(true);
  if (kind == bkCancel || kind == bkNo) cancel_ = true;
  kind_ = kind;
  ButtonChanged();
}

void TBitBtn::SetDefault(bool value) {
  if (value == default_) return;
  default_ = value;
  ButtonChanged();
}

void TBitBtn::SetGlyph(const TBitmap& glyph) {
  glyph_.Assign(glyph);
  ButtonChanged();
}

void TBitBtn::SetLayout(TButtonLayout value) {
  if (value == layout_) return;
  layout_ = value;
  ButtonChanged();
}

void TBitBtn::SetMargin(int value) {
  if (value == margin_) return;
  margin_ = value;
  ButtonChanged();
}

void TBitBtn::SetSpacing(int value) {
  if (value == spacing_) return;
  spacing_ = value;
  ButtonChanged();
}

void TBitBtn::SetWordWrap(bool value) {
  if (value == word_wrap_) return;
  word_wrap_ = value;
  ButtonChanged();
}

bool TBitBtn::HasGlyph() const {
  return !glyph_.Empty() || (kind_ != bkCustom);
}

void TBitBtn::Click() {
  if (modal_result_ != mrNone) {
    if (TCustomForm* form = GetParentForm(this)) form->SetModalResult(modal_result_);
  }
  TCustomControl::Click();
}

void TBitBtn::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  ButtonChanged();
}

void TBitBtn::SetShowFocusFrame(bool value) {
  if (value == show_focus_frame_) return;
  show_focus_frame_ = value;
  ButtonChanged();
}

void TBitBtn::DrawKindGlyph(TCanvas& canvas, const TRect& r) const {
  // On a window's canvas its painter; on a bitmap's, a painter of our own.
  std::optional<QPainter> own;
  QPainter* p = canvas.Painter();
  if (!p) {
    if (!canvas.Image() || canvas.Image()->isNull()) return;
    own.emplace(canvas.Image());
    p = &*own;
  }
  const TPainterSave saved(p);
  p->setRenderHint(QPainter::Antialiasing, true);
  const QRectF box(r.Left + 1, r.Top + 1, r.Width() - 2, r.Height() - 2);
  const bool enabled = Enabled();
  auto pen = [&](QColor c, double w) {
    QPen pe(enabled ? c : QColor(160, 160, 160), w);
    pe.setCapStyle(Qt::RoundCap);
    pe.setJoinStyle(Qt::RoundJoin);
    p->setPen(pe);
  };
  switch (kind_) {
    case bkOK:
    case bkYes: {
      pen(QColor(0, 128, 0), 2.2);
      QPainterPath path;
      path.moveTo(box.left() + 1, box.center().y());
      path.lineTo(box.left() + box.width() * 0.4, box.bottom() - 2);
      path.lineTo(box.right() - 1, box.top() + 2);
      p->drawPath(path);
      break;
    }
    case bkCancel:
    case bkNo:
    case bkAbort:
      pen(QColor(192, 0, 0), 2.2);
      p->drawLine(box.topLeft() + QPointF(2, 2), box.bottomRight() - QPointF(2, 2));
      p->drawLine(box.topRight() + QPointF(-2, 2), box.bottomLeft() + QPointF(2, -2));
      break;
    default: {
      pen(QColor(0, 0, 128), 1.5);
      p->drawEllipse(box.adjusted(2, 2, -2, -2));
      break;
    }
  }
}

TPoint TBitBtn::GlyphSize() const {
  if (!glyph_.Empty()) return {glyph_.Width(), glyph_.Height()};
  if (kind_ != bkCustom) return {kKindGlyphSize, kKindGlyphSize};
  return {};
}

void TBitBtn::DrawGlyph(TCanvas& canvas, const TRect& rect) const {
  if (!glyph_.Empty()) {
    canvas.Draw(rect.Left, rect.Top, glyph_);
  } else if (kind_ != bkCustom) {
    DrawKindGlyph(canvas, rect);
  }
}

TButtonLayoutRects TBitBtn::CalcButtonLayout(TCanvas& canvas, const TRect& client, bool pressed,
                                             bool word_wrap) const {
  TButtonLayoutRects out;
  out.TextFlags = DT_CENTER | DT_EXPANDTABS | (word_wrap ? DT_WORDBREAK : DT_SINGLELINE);
  const std::string caption = Caption();
  TRect text_rect = Rect(0, 0, std::max(0, client.Width() - 4), 0);
  if (!caption.empty()) canvas.DrawText(caption, text_rect, out.TextFlags | DT_CALCRECT);
  const int tw = caption.empty() ? 0 : text_rect.Width();
  const int th = caption.empty() ? 0 : text_rect.Height();
  const TPoint g = GlyphSize();
  const int gw = g.X, gh = g.Y;
  const int spacing = (gw > 0 && tw > 0) ? spacing_ : 0;
  const bool horizontal = layout_ == blGlyphLeft || layout_ == blGlyphRight;
  const int total_w = horizontal ? gw + spacing + tw : std::max(gw, tw);
  const int total_h = horizontal ? std::max(gh, th) : gh + spacing + th;
  const int shift = pressed ? 1 : 0;
  int x0 = (client.Width() - total_w) / 2;
  int y0 = (client.Height() - total_h) / 2;
  if (horizontal && alignment_ == taLeftJustify) x0 = 0;
  if (horizontal && alignment_ == taRightJustify) x0 = client.Width() - total_w;
  if (margin_ >= 0) {
    switch (layout_) {
      case blGlyphLeft:
        x0 = margin_;
        break;
      case blGlyphRight:
        x0 = client.Width() - margin_ - total_w;
        break;
      case blGlyphTop:
        y0 = margin_;
        break;
      case blGlyphBottom:
        y0 = client.Height() - margin_ - total_h;
        break;
    }
  }
  x0 += client.Left + shift;
  y0 += client.Top + shift;
  switch (layout_) {
    case blGlyphLeft:
      out.Glyph = Bounds(x0, y0 + (total_h - gh) / 2, gw, gh);
      out.Caption = Bounds(x0 + gw + spacing, y0 + (total_h - th) / 2, tw, th);
      break;
    case blGlyphRight:
      out.Caption = Bounds(x0, y0 + (total_h - th) / 2, tw, th);
      out.Glyph = Bounds(x0 + tw + spacing, y0 + (total_h - gh) / 2, gw, gh);
      break;
    case blGlyphTop:
      out.Glyph = Bounds(x0 + (total_w - gw) / 2, y0, gw, gh);
      out.Caption = Bounds(x0 + (total_w - tw) / 2, y0 + gh + spacing, tw, th);
      break;
    case blGlyphBottom:
      out.Caption = Bounds(x0 + (total_w - tw) / 2, y0, tw, th);
      out.Glyph = Bounds(x0 + (total_w - gw) / 2, y0 + th + spacing, gw, gh);
      break;
  }
  return out;
}

void TBitBtn::Paint() {
  TCanvas& c = Canvas();
  TRect rect = ClientRect();
  const bool focused = Focused();
  c.Brush().SetStyle(TBrushStyle::bsSolid);
  c.Brush().SetColor(Color());
  c.FillRect(rect);
  if (default_ || focused) {
    c.Brush().SetColor(clWindowFrame);
    c.FrameRect(rect);
    rect = Rect(rect.Left + 1, rect.Top + 1, rect.Right - 1, rect.Bottom - 1);
  }
  if (pressed_) {
    c.Brush().SetColor(clBtnShadow);
    c.FrameRect(rect);
    rect = Rect(rect.Left + 1, rect.Top + 1, rect.Right - 1, rect.Bottom - 1);
  } else {
    Frame3D(c, rect, clBtnHighlight, cl3DDkShadow, 1);
    Frame3D(c, rect, cl3DLight, clBtnShadow, 1);
  }
  // Glyph and caption, centred together unless a margin is set.
  c.Font().Assign(Font());
  const TButtonLayoutRects layout = CalcButtonLayout(c, ClientRect(), pressed_, word_wrap_);
  DrawGlyph(c, layout.Glyph);
  const std::string caption = Caption();
  if (!caption.empty()) {
    TRect caption_rect = layout.Caption;
    c.Brush().SetStyle(TBrushStyle::bsClear);
    if (!Enabled()) {
      TRect shadow = caption_rect.Offset(1, 1);
      c.Font().SetColor(clBtnHighlight);
      c.DrawText(caption, shadow, layout.TextFlags | DT_NOCLIP);
      c.Font().SetColor(clBtnShadow);
    }
    c.DrawText(caption, caption_rect, layout.TextFlags | DT_NOCLIP);
  }
  if (focused && Enabled() && show_focus_frame_) {
    // The dotted focus frame inside the bevel.
    if (QPainter* p = c.Painter()) {
      const TPainterSave saved(p);
      QPen pen(ToQColor(clWindowText));
      pen.setStyle(Qt::DotLine);
      p->setPen(pen);
      const TRect f = Rect(rect.Left + 2, rect.Top + 2, rect.Right - 3, rect.Bottom - 3);
      p->drawRect(f.Left, f.Top, f.Width(), f.Height());
    }
  }
}

void TBitBtn::Dispatch(TMessage& m) {
  if (m.Msg == CM_DIALOGKEY) {
    // Enter presses the default button, Escape the cancel button.
    const bool mine = (m.WParam == VK_RETURN && default_) || (m.WParam == VK_ESCAPE && cancel_);
    if (mine && Showing() && Enabled()) {
      Click();
      m.Result = 1;
    }
    return;
  }
  TCustomControl::Dispatch(m);
  switch (m.Msg) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      if (m.Msg == WM_KILLFOCUS && (pressed_ || space_down_)) {
        pressed_ = space_down_ = false;
      }
      Invalidate();
      break;
    case WM_CANCELMODE:
      // Whatever the pointer or Space started is off: no click follows.
      if (pressed_ || mouse_down_ || space_down_) {
        pressed_ = mouse_down_ = space_down_ = false;
        Invalidate();
      }
      break;
    case CM_TEXTCHANGED:
    case CM_ENABLEDCHANGED:
    case CM_FONTCHANGED:
      Invalidate();
      break;
    default:
      break;
  }
}

void TBitBtn::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft && Enabled()) {
    mouse_down_ = true;
    pressed_ = true;
    if (CanFocus() && !Focused()) SetFocus();
    Repaint();
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TBitBtn::MouseMove(TShiftState shift, int x, int y) {
  if (mouse_down_) {
    const bool inside = ClientRect().Contains({x, y});
    if (inside != pressed_) {
      pressed_ = inside;
      Repaint();
    }
  }
  TCustomControl::MouseMove(shift, x, y);
}

void TBitBtn::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft && mouse_down_) {
    mouse_down_ = false;
    pressed_ = false;
    Invalidate();
  }
  TCustomControl::MouseUp(button, shift, x, y);
}

void TBitBtn::KeyDown(std::uint16_t& key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  if (key == VK_SPACE && Enabled()) {
    space_down_ = true;
    pressed_ = true;
    Invalidate();
  }
}

void TBitBtn::KeyUp(std::uint16_t& key, TShiftState shift) {
  TCustomControl::KeyUp(key, shift);
  if (key == VK_SPACE && space_down_) {
    space_down_ = false;
    pressed_ = false;
    Invalidate();
    if (Enabled()) Click();
  }
}

void TBitBtn::KeyPress(char& key) {
  TCustomControl::KeyPress(key);
  if (key == '\r' && Enabled()) {
    key = 0;
    Click();
  }
}
