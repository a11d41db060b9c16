// Bound labels: the caption an input control owns (its BoundLabel), kept
// at a fixed gap to the left of the control or above it, following the
// control as it moves, resizes, hides, shows, is disabled or changes its
// reading order. TsBoundLabel is the settings object; the caption itself is
// a TsEditLabel that exists only while the bound label is active.
#pragma once

#include <cstdint>
#include <string>

#include "skin/sLabel.h"
#include "toolkit/Graphics.h"

class TsBoundLabel;
class TsCommonData;
struct TMessage;

// Where the caption stands relative to its control.
enum class TsCaptionLayout : std::uint8_t { sclLeft, sclTopLeft, sclTopCenter, sclTopRight };
using enum TsCaptionLayout;

// The caption control of a bound label; drawn on the control's parent.
class TsEditLabel : public TsLabel {
 public:
  TsEditLabel(TComponent* owner, TsBoundLabel* bound_label);
  ~TsEditLabel() override;

  TsBoundLabel* BoundLabel() const { return bound_label_; }
  // Sizes the label to its text now (automatic sizing on).
  void FitToText() { AdjustSize(); }

 protected:
  void Loaded() override;
  void Dispatch(TMessage& message) override;

 private:
  friend class TsBoundLabel;
  TsBoundLabel* bound_label_;
};

class TsBoundLabel : public TObject {
 public:
  // `skin_data` is the control's skin data: the way back to the control.
  explicit TsBoundLabel(TsCommonData* skin_data);
  ~TsBoundLabel() override;

  // Fixed width of the label; 0: the width of its text.
  int MaxWidth() const { return max_width_; }
  void SetMaxWidth(int value);
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& value);
  TsCaptionLayout Layout() const { return layout_; }
  void SetLayout(TsCaptionLayout value);
  // The label's font while it exists, else the font kept for it.
  TFont& Font();
  // Copied into the label's font (which then stops following its parent's
  // font), or kept while there is no label.
  void SetFont(const TFont& font);
  // Extra gap between label and control.
  int Indent() const { return indent_; }
  void SetIndent(int value);
  // Whether the label exists.
  bool Active() const { return active_; }
  void SetActive(bool value);
  // The label's flag (true while there is none); set only on a label.
  bool UseSkinColor() const;
  void SetUseSkinColor(bool value);

  TsEditLabel* Label() const { return label_; }
  TControl* Control() const;

  // Places the label next to the control by Layout, Indent and MaxWidth
  // (nothing while there is no label or it is hidden).
  void AlignLabel();
  // The control has handled `message`: the label follows its size,
  // position, visibility, enabled state and reading order.
  void ControlMessage(const TMessage& message);

 private:
  friend class TsEditLabel;
  void CreateLabel();
  void LabelGone();

  int max_width_ = 0;
  std::string caption_;
  TsCaptionLayout layout_ = sclLeft;
  TFont font_;
  int indent_ = 0;
  bool active_ = false;
  TsEditLabel* label_ = nullptr;
  TsCommonData* skin_data_;
};

// The caption's text alignment for a layout: the top-left layout aligns
// left, the top-centre one centres, the others align right.
TAlignment CaptionAlignment(TsCaptionLayout layout);
