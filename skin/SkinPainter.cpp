#include "skin/SkinPainter.h"

#include <algorithm>
#include <array>

#include "toolkit/Graphics.h"

namespace {

const SectionRecord* SectionAt(const TsSkinModel& model, int index) {
  if (index < 0 || index >= static_cast<int>(model.Sections().size())) return nullptr;
  return &model.Sections()[static_cast<std::size_t>(index)];
}

// Calls `each(mask, at, size)` for the section's corner images
// "IMGTOPLEFT", "IMGTOPRIGHT", "IMGBTMLEFT" and "IMGBTMRIGHT" that it has,
// with the top-left at which each is drawn over `rect` and its size.
template <class Each>
void ForEachCorner(const TRect& rect, const TsSkinModel& model, int section, Each each) {
  const std::array<int, 4>& corners = model.ItemMasks(section).Corners;
  for (std::size_t i = 0; i < corners.size(); ++i) {
    const int mask = corners[i];
    if (mask < 0) continue;
    const TPoint size = model.MaskFrameSize(mask);
    const bool right = i % 2 == 1, bottom = i >= 2;
    each(mask,
         TPoint{right ? rect.Right - size.X : rect.Left, bottom ? rect.Bottom - size.Y : rect.Top},
         size);
  }
}

}  // namespace

TsImagePiece PieceOfMask(const TsSkinModel& model, int mask_index) {
  if (mask_index < 0 || mask_index >= static_cast<int>(model.Masks().size())) return {};
  const MaskRecord& m = model.Masks()[static_cast<std::size_t>(mask_index)];
  const TBitmap* image = m.Source();
  if (m.Model == nullptr || image == nullptr) return {};
  const TsBorderWidths w = model.MaskBorderWidths(mask_index);
  TsImagePiece piece;
  piece.image = SourcePixelsOf(*image);
  piece.source = m.SourceRect;
  piece.image_count = std::max<int>(m.ImageCount, 1);
  piece.mask_type = std::max<int>(m.MaskType, 0);
  piece.draw_mode = m.DrawMode;
  piece.left = w.Left;
  piece.top = w.Top;
  piece.right = w.Right;
  piece.bottom = w.Bottom;
  return piece;
}

TsImagePiece PieceOfPattern(const TsSkinModel& model, int pattern_index) {
  if (pattern_index < 0 || pattern_index >= static_cast<int>(model.Patterns().size())) return {};
  const PatternRecord& p = model.Patterns()[static_cast<std::size_t>(pattern_index)];
  if (!p.Image) return {};
  TsImagePiece piece;
  piece.image = SourcePixelsOf(*p.Image);
  piece.source = Rect(0, 0, p.Image->Width(), p.Image->Height());
  piece.draw_mode = tfTile;
  return piece;
}

TsLook LookOfSection(const TsSkinModel& model, const TsSectionRequest& request) {
  TsLook look;
  look.state = request.state;
  const SectionRecord* s = SectionAt(model, request.section);
  if (s == nullptr) return look;
  if (request.custom_color) {
    look.color = request.own_color;
    return look;
  }
  const bool hot = request.state != 0;
  look.color = hot ? s->HotColor : s->Color;
  look.transparency = hot ? s->HotTransparency : s->Transparency;
  if (look.transparency >= 100) return look;  // nothing else shows
  look.image_percent = hot ? s->HotImagePercent : s->ImagePercent;
  look.gradient_percent = hot ? s->HotGradientPercent : s->GradientPercent;
  look.gradient = GradientBandsOf(hot ? s->HotGradientArray : s->GradientArray);
  if (look.image_percent > 0) {
    const char* key = hot ? "HOTPATTERN" : "PATTERN";
    int texture = hot ? request.hot_texture : request.texture;
    if (texture < 0) texture = model.TextureIndex(request.section, s->SectionName, key);
    TsImagePiece piece = PieceOfMask(model, texture);
    if (!piece.Valid())
      piece = PieceOfPattern(model, model.PatternIndex(request.section, s->SectionName, key));
    if (piece.Valid()) look.texture = piece;
  }
  return look;
}

void PaintSectionBackground(TBitmap& target, const TRect& rect, const TsSkinModel& model,
                            const TsSectionRequest& request, const TsBackground& back) {
  if (SectionAt(model, request.section) == nullptr) return;
  PaintSectionBackground(PixelsOf(target), rect, LookOfSection(model, request), back);
}

void DrawSkinBorder(TBitmap& target, const TRect& rect, const TsSkinModel& model, int mask_index,
                    int state, bool filling, const TsBackground& back) {
  const TsImagePiece piece = PieceOfMask(model, mask_index);
  if (!piece.Valid()) return;
  DrawBorderMask(PixelsOf(target), rect, piece, state, filling, back);
}

void DrawSkinGlyph(TBitmap& target, TPoint at, const TsSkinModel& model, int mask_index, int state,
                   int strength) {
  const TsImagePiece piece = PieceOfMask(model, mask_index);
  if (!piece.Valid()) return;
  DrawGlyph(PixelsOf(target), at, piece, state, strength);
}

void PaintSkinItem(TBitmap& cache, const TRect& rect, const TsSkinModel& model,
                   const TsSectionRequest& request, bool filling, const TsBackground& back) {
  const SectionRecord* s = SectionAt(model, request.section);
  if (s == nullptr || rect.IsEmpty()) return;
  if (rect.Intersect(Rect(0, 0, cache.Width(), cache.Height())) != rect) return;
  // The same background, with its offsets moved to the rectangle's corner.
  TsBackground at_rect = back;
  if (back.IsBitmap()) {
    at_rect.offset_x += rect.Left;
    at_rect.offset_y += rect.Top;
  }
  PaintSectionBackground(cache, rect, model, request, at_rect);
  DrawSkinItemBorder(cache, rect, model, request, filling, back);
}

void DrawSkinItemBorder(TBitmap& cache, const TRect& rect, const TsSkinModel& model,
                        const TsSectionRequest& request, bool filling, const TsBackground& back) {
  const SectionRecord* s = SectionAt(model, request.section);
  if (s == nullptr || rect.IsEmpty()) return;
  TsBackground at_rect = back;
  if (back.IsBitmap()) {
    at_rect.offset_x += rect.Left;
    at_rect.offset_y += rect.Top;
  }
  DrawSkinBorder(cache, rect, model, model.ItemMasks(request.section).Borders, request.state,
                 filling, at_rect);
  ForEachCorner(rect, model, request.section, [&](int mask, TPoint at, TPoint) {
    DrawSkinGlyph(cache, at, model, mask, request.state);
  });
}

TRect SkinItemReach(const TRect& rect, const TsSkinModel& model, int section) {
  TRect reach = rect;
  ForEachCorner(rect, model, section, [&reach](int, TPoint at, TPoint size) {
    reach = {std::min(reach.Left, at.X), std::min(reach.Top, at.Y),
             std::max(reach.Right, at.X + size.X), std::max(reach.Bottom, at.Y + size.Y)};
  });
  return reach;
}

TsTextColors TextColorsOf(const SectionRecord& section, bool hot) {
  return hot ? section.HotFontColor : section.FontColor;
}

int TextSectionIndex(const TsSkinModel& model, int own_section, bool hot, bool borrows_parent_font,
                     const std::vector<int>& parent_sections) {
  const SectionRecord* own = SectionAt(model, own_section);
  if (own == nullptr || !borrows_parent_font) return own_section;
  if ((hot ? own->HotTransparency : own->Transparency) < 1) return own_section;
  for (int index : parent_sections) {
    const SectionRecord* parent = SectionAt(model, index);
    if (parent == nullptr) break;
    if (parent->GiveOwnFont) return index;
    if (parent->Transparency <= 50) break;
  }
  return own_section;
}

bool TextUnderlined(const std::string& section_name, bool hot) {
  return hot && section_name == "WEBBUTTON";
}

void DrawSkinText(TCanvas& canvas, const std::string& text, const TRect& rect, unsigned flags,
                  const TsSkinModel& model, int section, bool hot, bool enabled, bool custom_font) {
  const SectionRecord* s = SectionAt(model, section);
  if (s == nullptr) return;
  TFont& font = canvas.Font();
  const TFontStyles style = font.Style();
  if (TextUnderlined(s->SectionName, hot)) font.SetStyle(style | fsUnderline);
  DrawContourText(canvas, text, rect, flags, TextColorsOf(*s, hot), enabled, custom_font,
                  model.GlobalColor());
  font.SetStyle(style);
}
