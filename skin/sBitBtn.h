// The skinned bit button: its look for each state (normal, hot, pressed) is
// composed in its cache from what lies behind it, the section's border mask
// and the caption with the section's contours, and it fades between states.
#pragma once

#include "skin/sPanel.h"
#include "skin/sSkinnedControl.h"
#include "toolkit/Buttons.h"

class TsBitBtn : public TsSkinnedControl<TBitBtn> {
 public:
  explicit TsBitBtn(TComponent* owner);

  // Stays pressed while set.
  bool Down() const { return down_; }
  void SetDown(bool value);
  // The border mask over the caption and glyph (true), or under them.
  bool DrawOverBorder() const { return draw_over_border_; }
  void SetDrawOverBorder(bool value);
  // The focus rectangle around the caption, when the section shows focus.
  bool ShowFocus() const { return show_focus_; }
  void SetShowFocus(bool value);
  bool ShowCaption() const { return show_caption_; }
  void SetShowCaption(bool value);
  // How far the focus rectangle stands off the caption.
  int FocusMargin() const { return focus_margin_; }
  void SetFocusMargin(int value);
  // The caption's alignment inside the place the layout gives it.
  TAlignment TextAlignment() const { return text_alignment_; }
  void SetTextAlignment(TAlignment value);
  using TsSkinnedControl::DisabledKind;
  using TsSkinnedControl::SetDisabledKind;
  // Draws on the cache after the skin.
  TsPaintEvent OnPaint;

  // TsSkinHost: 2 while pushed (pressed with the pointer on it, or Space
  // held) or Down; else 1 when default, focused or under the pointer; else 0.
  int CurrentSkinState() const override;
  void PrepareCache() override;
  // Presses and releases fade in half the steps.
  bool WantsShortFade() const override;

 protected:
  void ButtonChanged() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void KeyDown(std::uint16_t& key, TShiftState shift) override;
  void KeyUp(std::uint16_t& key, TShiftState shift) override;

 private:
  // After a press, a release or a cancel: fades to the new state.
  void PushChanged();
  void DrawContent(TBitmap& cache, int state);

  bool down_ = false;
  bool draw_over_border_ = true;
  bool show_focus_ = true;
  bool show_caption_ = true;
  int focus_margin_ = 1;
  TAlignment text_alignment_ = taCenter;
};
