// The painting steps over the skin model: a section's background for a
// state, its border mask, glyphs and textures cut from the skin's images,
// and text in the section's colours. The pixel work is in SkinPaint.h,
// ImagePieces.h and SkinText.h; this layer picks the model's values.
#pragma once

#include <string>
#include <vector>

#include "skin/SkinPaint.h"
#include "skin/SkinText.h"
#include "skin/sSkinModel.h"

class TBitmap;

// A mask record as a piece to paint, with its border widths resolved. The
// piece is not Valid() for a bad index, a mask without a model (no manager)
// or without an image to cut from.
TsImagePiece PieceOfMask(const TsSkinModel& model, int mask_index);
// A picture pattern as a tiled texture.
TsImagePiece PieceOfPattern(const TsSkinModel& model, int pattern_index);

// What a control asks for when it paints a section's background.
struct TsSectionRequest {
  int section = -1;
  int state = 0;              // 0 normal; any other uses the hot values
  int texture = -1;           // the control's "PATTERN" texture index
  int hot_texture = -1;       // its "HOTPATTERN" texture index
  bool custom_color = false;  // the control's own colour, opaque and plain
  TColor own_color = clWhite;
};

// The section's values for the state. A missing texture index is looked up
// by name, then as a picture pattern.
TsLook LookOfSection(const TsSkinModel& model, const TsSectionRequest& request);

// Paints the section's background into `rect` of `target` over `back`
// (whose offsets refer to rect's top-left pixel). Nothing for an invalid
// section.
void PaintSectionBackground(TBitmap& target, const TRect& rect, const TsSkinModel& model,
                            const TsSectionRequest& request, const TsBackground& back);

// The border mask over `rect` for `state` (see DrawBorderMask); nothing for
// an invalid mask.
void DrawSkinBorder(TBitmap& target, const TRect& rect, const TsSkinModel& model, int mask_index,
                    int state, bool filling, const TsBackground& back);

// A glyph mask's frame for `state` with its top-left at `at`.
void DrawSkinGlyph(TBitmap& target, TPoint at, const TsSkinModel& model, int mask_index, int state,
                   int strength = 256);

// A control's look into its cache, as the item painter composes it: the
// section's background over `rect`, its "BORDERSMASK" over the same
// rectangle for the state (with the centre when `filling`), and the corner
// images "IMGTOPLEFT", "IMGTOPRIGHT", "IMGBTMLEFT", "IMGBTMRIGHT" as glyphs at
// their corners. `back` is what lies behind the cache: its offsets are where
// the cache's pixel (0, 0) lies in the parent's bitmap (the control's
// position plus the parent's own offsets). Nothing for an invalid section or
// a rectangle that does not fit inside the cache.
void PaintSkinItem(TBitmap& cache, const TRect& rect, const TsSkinModel& model,
                   const TsSectionRequest& request, bool filling, const TsBackground& back);

// The second half of the item painter: the section's "BORDERSMASK" over
// `rect` for the state and the corner images, over what `rect` already holds
// (`back` as for PaintSkinItem, for the key pixels of the corners).
void DrawSkinItemBorder(TBitmap& cache, const TRect& rect, const TsSkinModel& model,
                        const TsSectionRequest& request, bool filling, const TsBackground& back);

// The pixels PaintSkinItem may change for `section` over `rect`: the
// rectangle and its corner images, which reach beyond it where they are
// larger than the rectangle.
TRect SkinItemReach(const TRect& rect, const TsSkinModel& model, int section);

// The state's text colour group of a section ("hot" for any state but 0).
TsTextColors TextColorsOf(const SectionRecord& section, bool hot);

// The section whose colours a control's text takes. `borrows_parent_font`
// is true for windowless controls and for check boxes, radio buttons and
// group boxes that take their parent's font; when the control's own section
// is see-through (Transparency, or HotTransparency when hot, at least 1),
// the parents' sections (`parent_sections`, nearest first) are walked while
// their Transparency is above 50, and the first with GiveOwnFont is taken.
// Otherwise, and when none is found, the control's own section.
int TextSectionIndex(const TsSkinModel& model, int own_section, bool hot, bool borrows_parent_font,
                     const std::vector<int>& parent_sections);

// Only "WEBBUTTON" underlines its text when hot.
bool TextUnderlined(const std::string& section_name, bool hot);

// Text with the contours of `section` for the state, in the canvas's font,
// clipped to `rect`; a disabled control mixes its colour with the skin's
// global colour. Nothing for an invalid section.
void DrawSkinText(TCanvas& canvas, const std::string& text, const TRect& rect, unsigned flags,
                  const TsSkinModel& model, int section, bool hot, bool enabled, bool custom_font);
