#include "skin/sSkinFrame.h"

#include <QImage>
#include <QPainter>

#include <algorithm>

#include "platform/SystemMetrics.h"
#include "skin/SkinPainter.h"

namespace {

using platform::GetSystemMetrics;

const SectionRecord* SectionAt(const TsSkinModel& model, int index) {
  if (index < 0 || index >= static_cast<int>(model.Sections().size())) return nullptr;
  return &model.Sections()[static_cast<std::size_t>(index)];
}

int GlobalMask(const TsSkinModel& model, const char* key) {
  const int global = model.Cache().GlobalInfo;
  if (global < 0) return -1;
  return model.MaskIndex(global, "GLOBALINFO", key);
}

bool SingleOrSizeable(TFormBorderStyle s) {
  return s == TFormBorderStyle::bsSingle || s == TFormBorderStyle::bsSizeable;
}

// Whether a section's look needs the cache bitmap: a wide border mask, a
// see-through look, a texture or a gradient; otherwise one colour will do.
bool NeedsCache(const TsSkinModel& model, int section) {
  const SectionRecord* s = SectionAt(model, section);
  if (s == nullptr) return false;
  const int border = model.MaskIndex(section, s->SectionName, "BORDERSMASK");
  if (border >= 0) {
    const TsBorderWidths w = model.MaskBorderWidths(border);
    if (w.Left + w.Top + w.Right + w.Bottom > 24) return true;
  }
  return s->Transparency > 0 || s->ImagePercent > 0 || s->GradientPercent > 0;
}

unsigned AlignmentFlag(TAlignment a) {
  switch (a) {
    case taCenter:
      return txCenter;
    case taRightJustify:
      return txRight;
    default:
      return txLeft;
  }
}

void PaintFrame(TBitmap& cache, const TsFramePaint& p, const TRect& all) {
  const TsSkinModel& model = *p.Model;
  const int state = p.Active ? 1 : 0;
  if (NeedsCache(model, p.Section)) {
    TsSectionRequest r;
    r.section = p.Section;
    r.state = state;
    // Nothing is known of what lies behind a top-level window.
    PaintSkinItem(cache, all, model, r, true, TsBackground::FromColor(kTransparentKey));
  } else {
    const SectionRecord* s = SectionAt(model, p.Section);
    TCanvas& c = cache.Canvas();
    c.Brush().SetStyle(TBrushStyle::bsSolid);
    c.Brush().SetColor(s != nullptr ? (p.Active ? s->HotColor : s->Color) : p.FallbackColor);
    c.FillRect(all);
    c.Brush().SetColor(model.SkinData().BorderColor);
    c.FrameRect(all);
  }
  if (p.Grip) {
    const SectionRecord* s = SectionAt(model, p.Section);
    int grip = s != nullptr ? model.MaskIndex(p.Section, s->SectionName, "GRIPIMAGE") : -1;
    if (grip < 0) grip = GlobalMask(model, "GRIPIMAGE");
    const TPoint size = model.MaskFrameSize(grip);
    const int f = p.Geometry.Frame;
    DrawSkinGlyph(cache, {all.Right - f - size.X, all.Bottom - f - size.Y}, model, grip, 0);
  }
}

void PaintCaptionBand(TBitmap& cache, const TsFramePaint& p) {
  const TsSkinModel& model = *p.Model;
  const TsFrameGeometry& g = p.Geometry;
  const int width = cache.Width();
  const TRect band{0, 0, width, std::min(g.BandHeight(), cache.Height())};
  if (band.IsEmpty()) return;
  const int state = p.Active ? 1 : 0;
  TsSectionRequest r;
  r.section = p.TitleSection;
  r.state = state;
  // The band shows the frame already in the cache behind it.
  PaintSkinItem(cache, band, model, r, true, TsBackground::FromBitmap(SourcePixelsOf(cache), 0, 0));
  // A title bar behind the standard buttons, when the skin has one.
  const SectionRecord* form = SectionAt(model, p.Section);
  if (form != nullptr && !g.Buttons.empty()) {
    const int bar = model.MaskIndex(p.Section, form->SectionName, "TITLEBAR");
    if (bar >= 0) {
      int left = width;
      for (const TsTitleButtonPlace& b : g.Buttons)
        if (b.Kind != TsTitleButtonKind::User) left = std::min(left, b.Rect.Left);
      DrawSkinBorder(cache, TRect{left, 0, width, band.Bottom}, model, bar, state, true,
                     TsBackground::FromBitmap(SourcePixelsOf(cache), left, 0));
    }
  }
  for (std::size_t i = 0; i < g.Buttons.size(); ++i) {
    const TsTitleButtonPlace& b = g.Buttons[i];
    const int bstate = i < p.ButtonStates.size() ? p.ButtonStates[i] : 0;
    bool enabled = p.Enabled;
    if (b.Kind == TsTitleButtonKind::User) {
      const auto u = static_cast<std::size_t>(b.UserIndex);
      if (u < p.UserEnabled.size()) enabled = enabled && p.UserEnabled[u];
    }
    const int strength = p.Active && enabled ? 256 : kInactiveGlyphStrength;
    DrawSkinGlyph(cache, {b.Rect.Left, b.Rect.Top}, model, b.Mask, bstate, strength);
    if (b.Kind == TsTitleButtonKind::User) {
      const auto u = static_cast<std::size_t>(b.UserIndex);
      const TBitmap* glyph = u < p.UserGlyphs.size() ? p.UserGlyphs[u] : nullptr;
      if (glyph != nullptr && !glyph->Empty()) {
        const int x = b.Rect.Left + (b.Rect.Width() - glyph->Width()) / 2;
        const int y = b.Rect.Top + (b.Rect.Height() - glyph->Height()) / 2;
        cache.Canvas().Draw(x, y, *glyph);
      }
    }
  }
  if (p.Icon != nullptr && !p.Icon->isNull() && g.Icon > 0) {
    QPainter painter(&cache.Image());
    painter.drawImage(QRect(g.IconRect.Left, g.IconRect.Top, g.Icon, g.Icon), *p.Icon);
  }
  const SectionRecord* title = SectionAt(model, p.TitleSection);
  if (title != nullptr && !p.Caption.empty() && !g.TextRect.IsEmpty()) {
    TCanvas& c = cache.Canvas();
    c.Font().Assign(p.Font);
    const platform::TMetricFont cf = platform::GetMetricFont(platform::TMetricFontKind::Caption);
    c.Font().SetHeight(cf.Height);
    c.Font().SetStyle(static_cast<TFontStyles>(p.Font.Style() | fsBold));
    DrawContourText(
        c, p.Caption, g.TextRect,
        txSingleLine | txVCenter | txEndEllipsis | txNoPrefix | AlignmentFlag(p.CaptionAlignment),
        TextColorsOf(*title, p.Active), p.Enabled, false, title->Color);
  }
}

}  // namespace

int FrameWidthOf(TFormBorderStyle style, int border_width) {
  switch (style) {
    case TFormBorderStyle::bsNone:
      return 0;
    case TFormBorderStyle::bsSizeable:
    case TFormBorderStyle::bsSizeToolWin:
      return GetSystemMetrics(platform::SM_CXFRAME) + border_width;
    default:
      return GetSystemMetrics(platform::SM_CXDLGFRAME) + border_width;
  }
}

int CaptionHeightOf(TFormBorderStyle style, TWindowState state) {
  const bool tool =
      style == TFormBorderStyle::bsToolWindow || style == TFormBorderStyle::bsSizeToolWin;
  if (style == TFormBorderStyle::bsNone && state != wsMinimized) return 0;
  return GetSystemMetrics(tool ? platform::SM_CYSMCAPTION : platform::SM_CYCAPTION);
}

int IconSizeOf(int caption_height) {
  if (caption_height < 9) return 0;
  if (caption_height <= 16) return 8;
  if (caption_height <= 27) return 16;
  return 32;
}

TsFrameGeometry FrameGeometryOf(const TsSkinModel& model, const TsFrameFacts& f) {
  TsFrameGeometry g;
  g.Frame = FrameWidthOf(f.BorderStyle, f.BorderWidth);
  g.Caption = CaptionHeightOf(f.BorderStyle, f.State);
  if (g.Caption == 0) return g;
  const int band = g.Caption + g.Frame;
  const bool single_or_sizeable = SingleOrSizeable(f.BorderStyle);
  // Fixed dialogs and tool windows use the small icons when the skin has them.
  g.BigSet = single_or_sizeable || GlobalMask(model, "SICONCLOSE") < 0;
  auto mask_of = [&](const char* big, const char* small) {
    if (g.BigSet) return GlobalMask(model, big);
    const int m = GlobalMask(model, small);
    return m >= 0 ? m : GlobalMask(model, big);
  };
  std::vector<std::pair<TsTitleButtonKind, int>> kinds;
  if (f.BorderIcons & biSystemMenu) {
    kinds.emplace_back(TsTitleButtonKind::Close, mask_of("BICONCLOSE", "SICONCLOSE"));
    if (single_or_sizeable && (f.BorderIcons & biMaximize))
      kinds.emplace_back(TsTitleButtonKind::Maximize, f.State == wsMaximized
                                                          ? mask_of("BICONNORM", "SICONNORM")
                                                          : mask_of("BICONMAX", "SICONMAX"));
    if (single_or_sizeable && (f.BorderIcons & biMinimize))
      kinds.emplace_back(TsTitleButtonKind::Minimize, f.State == wsMinimized
                                                          ? mask_of("BICONNORM", "SICONNORM")
                                                          : mask_of("BICONMIN", "SICONMIN"));
    if (f.BorderIcons & biHelp)
      kinds.emplace_back(TsTitleButtonKind::Help, mask_of("BICONHELP", "SICONHELP"));
  }
  const int user_mask = GlobalMask(model, "TITLEBUTTON");
  for (int i = 0; i < f.UserButtons; ++i) kinds.emplace_back(TsTitleButtonKind::User, user_mask);
  auto size_of = [&](int mask) {
    const TPoint s = model.MaskFrameSize(mask);
    return mask >= 0 && s.X > 0 && s.Y > 0 ? s : TPoint{21, 21};
  };
  const int space = single_or_sizeable ? model.SkinData().BISpacing : 0;
  const int close_height = kinds.empty() ? 21 : size_of(kinds.front().second).Y;
  // A small close glyph sits two pixels lower than centred.
  const int lower = close_height < 16 && (g.BigSet ? true : single_or_sizeable) ? 2 : 0;
  int x = f.Width - g.Frame;
  for (std::size_t i = 0; i < kinds.size(); ++i) {
    const TPoint s = size_of(kinds[i].second);
    const int left = x - s.X;
    const int top = (band - s.Y) / 2 + lower;
    TsTitleButtonPlace b;
    b.Kind = kinds[i].first;
    b.Mask = kinds[i].second;
    b.UserIndex = b.Kind == TsTitleButtonKind::User
                      ? static_cast<int>(i) - static_cast<int>(kinds.size()) + f.UserButtons
                      : -1;
    b.Rect = {left, top, left + s.X, top + s.Y};
    g.Buttons.push_back(b);
    x = left - space;
  }
  g.ButtonsWidth = g.Buttons.empty() ? 0 : f.Width - g.Frame - g.Buttons.back().Rect.Left;
  if (f.ShowAppIcon && single_or_sizeable) {
    g.Icon = f.TitleIconWidth > 0 ? f.TitleIconWidth : IconSizeOf(g.Caption);
    const int ih = f.TitleIconHeight > 0 ? f.TitleIconHeight : g.Icon;
    const int top = (band - ih) / 2;
    g.IconRect = {g.Frame + 2, top, g.Frame + 2 + g.Icon, top + ih};
  }
  int total = 0;
  for (const TsTitleButtonPlace& b : g.Buttons) total += b.Rect.Width();
  g.TextRect = {g.Icon + g.Frame + 4, g.Frame, f.Width - total - 6, g.Caption};
  if (g.TextRect.Right < g.TextRect.Left) g.TextRect.Right = g.TextRect.Left;
  return g;
}

void PaintWindowCache(TBitmap& cache, const TsFramePaint& p, TBitmap* frame_band,
                      bool caption_only) {
  if (p.Model == nullptr) return;
  int w = p.Facts.Width, h = p.Facts.Height;
  // A minimised window keeps its width: only its caption bar shows.
  if (p.Facts.State == wsMinimized) h = std::min(h, p.Geometry.BandHeight() + p.Geometry.Frame);
  if (w <= 0 || h <= 0) return;
  const int band = std::min(p.Geometry.BandHeight(), h);
  const bool reuse = caption_only && frame_band != nullptr && cache.Width() == w &&
                     cache.Height() == h && frame_band->Width() == w &&
                     frame_band->Height() == band;
  if (reuse) {
    CopyPixels(PixelsOf(cache), {0, 0}, SourcePixelsOf(*frame_band), Rect(0, 0, w, band));
  } else {
    if (cache.Width() != w || cache.Height() != h) cache.SetSize(w, h);
    PaintFrame(cache, p, Rect(0, 0, w, h));
    if (frame_band != nullptr) {
      frame_band->SetSize(w, band);
      CopyPixels(PixelsOf(*frame_band), {0, 0}, SourcePixelsOf(cache), Rect(0, 0, w, band));
    }
  }
  PaintCaptionBand(cache, p);
}

std::vector<TRect> CornerCutsOf(const TsSkinModel& model, int mask, int width, int height) {
  std::vector<TRect> cuts;
  const TsImagePiece piece = PieceOfMask(model, mask);
  if (!piece.Valid() || width <= 0 || height <= 0) return cuts;
  const TRect frame = piece.Frame(0);
  const int fw = frame.Width(), fh = frame.Height();
  const int l = std::min(piece.left, fw), r = std::min(piece.right, fw);
  const int t = std::min(piece.top, fh), b = std::min(piece.bottom, fh);
  // One corner: rows [row0, row1) and columns [col0, col1) of the frame,
  // placed at (x0 + column - col0, y0 + row - row0) on the window.
  auto corner = [&](int row0, int row1, int col0, int col1, int x0, int y0) {
    for (int row = row0; row < row1; ++row) {
      const std::uint8_t* line = piece.image.At(frame.Left, frame.Top + row);
      int run = -1;
      for (int col = col0; col <= col1; ++col) {
        const bool key = col < col1 && IsKeyPixel(line + 3 * col);
        if (key && run < 0) run = col;
        if (!key && run >= 0) {
          const int y = y0 + row - row0;
          cuts.push_back({x0 + run - col0, y, x0 + col - col0, y + 1});
          run = -1;
        }
      }
    }
  };
  corner(0, t, 0, l, 0, 0);
  corner(0, t, fw - r, fw, width - r, 0);
  corner(fh - b, fh, 0, l, 0, height - b);
  corner(fh - b, fh, fw - r, fw, width - r, height - b);
  return cuts;
}

std::vector<TRect> WindowCutsOf(const TsSkinModel& model, int section, int title_section, int width,
                                int height, int band_height) {
  std::vector<TRect> cuts;
  const SectionRecord* s = SectionAt(model, section);
  if (s != nullptr)
    cuts =
        CornerCutsOf(model, model.MaskIndex(section, s->SectionName, "BORDERSMASK"), width, height);
  const SectionRecord* t = SectionAt(model, title_section);
  if (t != nullptr && band_height > 0) {
    const std::vector<TRect> more = CornerCutsOf(
        model, model.MaskIndex(title_section, t->SectionName, "BORDERSMASK"), width, band_height);
    cuts.insert(cuts.end(), more.begin(), more.end());
  }
  return cuts;
}

void TsTitleButtonStates::Reset(std::size_t count) {
  states_.assign(count, 0);
  pressed_ = -1;
}

bool TsTitleButtonStates::Set(std::vector<int> states) {
  if (states == states_) return false;
  states_ = std::move(states);
  return true;
}

bool TsTitleButtonStates::Move(int index) {
  std::vector<int> s(states_.size(), 0);
  const auto at = static_cast<std::size_t>(index);
  if (pressed_ >= 0) {
    if (index == pressed_) s[at] = 2;
  } else if (index >= 0 && at < s.size()) {
    s[at] = 1;
  }
  return Set(std::move(s));
}

bool TsTitleButtonStates::Down(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= states_.size()) return false;
  pressed_ = index;
  return Move(index);
}

bool TsTitleButtonStates::Leave() {
  if (pressed_ >= 0) return Move(-1);
  return Set(std::vector<int>(states_.size(), 0));
}

int TsTitleButtonStates::Up(int index, bool& changed) {
  const int clicked = pressed_ >= 0 && index == pressed_ ? index : -1;
  pressed_ = -1;
  changed = Move(index);
  return clicked;
}

int TitleButtonAt(const TsFrameGeometry& g, TPoint p) {
  for (std::size_t i = 0; i < g.Buttons.size(); ++i)
    if (g.Buttons[i].Rect.Contains(p)) return static_cast<int>(i);
  return -1;
}

int SkinFrameHitTest(const TsFrameGeometry& g, TPoint p, int width, int height, bool sizeable) {
  const int button = TitleButtonAt(g, p);
  if (button >= 0) {
    switch (g.Buttons[static_cast<std::size_t>(button)].Kind) {
      case TsTitleButtonKind::Close:
        return HTCLOSE;
      case TsTitleButtonKind::Maximize:
        return HTMAXBUTTON;
      case TsTitleButtonKind::Minimize:
        return HTMINBUTTON;
      case TsTitleButtonKind::Help:
        return HTHELP;
      case TsTitleButtonKind::User:
        return HTCAPTION;
    }
  }
  if (g.Icon > 0 && g.IconRect.Contains(p)) return HTSYSMENU;
  return FrameHitTest(p, width, height, g.Margins(), g.Frame, sizeable);
}
