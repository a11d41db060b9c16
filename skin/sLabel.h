// Skinned labels: TsCustomLabel (windowless, transparent, its text colour
// from the skin), TsLabel, and TsLabelFX, which draws its caption over a soft
// blurred shadow with text and shadow colours that can come from the skin.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/Graphics.h"
#include "toolkit/StdCtrls.h"

class TsSkinManager;

// The skin in force for labels: the default manager while it has a skin
// announced and sections to paint with; none otherwise.
TsSkinManager* ActiveLabelSkin();

// The colour the skin gives the text of a windowless control on `parent`:
// the parents' sections are asked (QuerySectionIndex) from `parent` upwards
// while a section is see-through (Transparency above 50); the section found
// gives its FONTCOLOR when it has GIVEOWNFONT, otherwise GLOBALINFO's
// FONTCOLOR applies. 0xFF00FF when the skin gives no colour (or none is in
// force).
TColor SkinLabelColor(TWinControl* parent);

// The colour a parent shows behind a child: its QueryFillColor answer when
// it is skinned, else its own colour.
TColor ParentFillColor(TWinControl* parent);

class TsCustomLabel : public TCustomLabel {
 public:
  explicit TsCustomLabel(TComponent* owner);

  // Upper-cased. A label paints no look of its own: its text colour comes
  // from the sections of its parents, so the name only travels with it.
  const std::string& SkinSection() const { return skin_section_; }
  void SetSkinSection(const std::string& value);
  // While a skin is in force, each paint takes the text colour from the
  // skin (see SkinLabelColor) into the font; removing the skin gives the
  // font the system window-text colour back.
  bool UseSkinColor() const { return use_skin_color_; }
  void SetUseSkinColor(bool value);

 protected:
  void Paint() override;
  void Dispatch(TMessage& message) override;
  void FontChanged() override;
  void DoDrawText(TCanvas& canvas, TRect& rect, unsigned flags) override;
  // Changes the font's colour without a repaint or a new size: the skin's
  // colour taken while painting must not paint again.
  void SetFontColorQuietly(TColor color);

 private:
  std::string skin_section_;
  bool use_skin_color_ = true;
  bool quiet_font_ = false;
};

class TsLabel : public TsCustomLabel {
 public:
  explicit TsLabel(TComponent* owner) : TsCustomLabel(owner) {}
};

// ---- the effect label -------------------------------------------------------

enum class TsKindType : std::uint8_t { ktStandard, ktCustom, ktSkin };
using enum TsKindType;
enum class TsShadowMode : std::uint8_t { smNone, smCustom, smSkin1 };
using enum TsShadowMode;

class TsLabelFX;

// Where the effect label's text colour comes from. Every change repaints
// the label.
class TsKind {
 public:
  explicit TsKind(TsLabelFX* owner) : owner_(owner) {}
  TsKindType KindType() const { return kind_type_; }
  void SetKindType(TsKindType value);
  TColor Color() const { return color_; }
  void SetColor(TColor value);

 private:
  TsLabelFX* owner_;
  TsKindType kind_type_ = ktSkin;
  TColor color_ = 0xFFFFFF;
};

// The effect label's shadow. Every change repaints the label (and resizes
// an automatically sized one: the shadow's room is part of its size).
class TsShadow {
 public:
  explicit TsShadow(TsLabelFX* owner) : owner_(owner) {}
  TsShadowMode Mode() const { return mode_; }
  void SetMode(TsShadowMode value);
  TColor Color() const { return color_; }
  void SetColor(TColor value);
  int BlurCount() const { return blur_count_; }
  void SetBlurCount(int value);
  // Offset of the shadow to the right and down, in pixels.
  int Distance() const { return distance_; }
  void SetDistance(int value);

 private:
  TsLabelFX* owner_;
  TsShadowMode mode_ = smSkin1;
  TColor color_ = 0;
  int blur_count_ = 4;
  int distance_ = 1;
};

// The shadow values one paint uses.
struct TsShadowSettings {
  TColor Color = 0;
  int BlurCount = 4;
  int Distance = 1;
  // Where the text stands inside the label: shifted right and down by
  // -NearMargin() and its far edges in by FarMargin(), so the blur around
  // the text has room.
  int NearMargin() const { return std::min(0, Distance - BlurCount); }
  int FarMargin() const { return std::max(0, Distance + BlurCount); }
};

// Blurs the text mask into `cells`, a grid of (width + 2) x (height + 2)
// bytes with a border of one cell: `lit(x, y)` tells whether the mask's
// pixel is lit. Each pass sets the cells of lit pixels to 255, then replaces
// every inner cell, row by row and left to right, by the integer mean of
// its four neighbours (those already replaced in this pass included). The
// grid is cleared first.
template <class Lit>
void BlurTextMask(std::vector<std::uint8_t>& cells, int width, int height, int passes, Lit lit) {
  const int stride = width + 2;
  std::fill(cells.begin(), cells.begin() + static_cast<std::ptrdiff_t>(stride) * (height + 2), 0);
  for (int pass = 0; pass < passes; ++pass) {
    for (int y = 0; y < height; ++y) {
      std::uint8_t* row = cells.data() + static_cast<std::ptrdiff_t>(y + 1) * stride + 1;
      for (int x = 0; x < width; ++x) {
        if (lit(x, y)) row[x] = 255;
      }
    }
    for (int y = 1; y <= height; ++y) {
      std::uint8_t* row = cells.data() + static_cast<std::ptrdiff_t>(y) * stride;
      for (int x = 1; x <= width; ++x) {
        row[x] = static_cast<std::uint8_t>(
            (row[x - stride] + row[x + stride] + row[x - 1] + row[x + 1]) / 4);
      }
    }
  }
}

class TsLabelFX : public TsCustomLabel {
 public:
  explicit TsLabelFX(TComponent* owner);

  TsKind& Kind() { return kind_; }
  const TsKind& Kind() const { return kind_; }
  TsShadow& Shadow() { return shadow_; }
  const TsShadow& Shadow() const { return shadow_; }

  // The shadow this label draws now: its own values for smCustom; the
  // skin's SHADOW1 values for smSkin1 while a skin gives them (its
  // SHADOW1BLUR is not -1), else its own.
  TsShadowSettings ShadowSettings() const;
  // The text colour now: ktStandard the font's colour, ktCustom Kind.Color,
  // ktSkin the skin's first contour colour (GLOBALINFO's TCLEFT) while a
  // skin gives one, else Kind.Color.
  TColor TextColor() const;
  // The blur buffer's size in bytes: it only grows.
  std::size_t BlurBufferSize() const { return blur_.size(); }
  // A Kind or Shadow value changed.
  void EffectChanged();

 protected:
  void DoDrawText(TCanvas& canvas, TRect& rect, unsigned flags) override;

 private:
  // What lies under the label: the parent's look (or colour) for a
  // transparent label, the label's colour for an opaque one, with the
  // blurred shadow laid over it.
  void ComposeShadow(const TsShadowSettings& shadow);

  TsKind kind_{this};
  TsShadow shadow_{this};
  TBitmap shadow_bitmap_{0, 0};
  // Whether the last paint found only a colour under a see-through label
  // (its parent answers no bitmap), and that colour.
  bool has_backdrop_ = false;
  TColor backdrop_ = 0;
  std::vector<std::uint8_t> blur_;
};
