// The bit button: a push button with an optional picture, painted by the
// program.
#pragma once

#include "toolkit/Controls.h"
#include "toolkit/Forms.h"

enum class TBitBtnKind : std::uint8_t {
  bkCustom,
  bkOK,
  bkCancel,
  bkHelp,
  bkYes,
  bkNo,
  bkClose,
  bkAbort,
  bkRetry,
  bkIgnore,
  bkAll
};
using enum TBitBtnKind;

enum class TButtonLayout : std::uint8_t { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
using enum TButtonLayout;

// Where a button's picture and caption go, in client coordinates, and the
// DT_* flags the caption is drawn with there.
struct TButtonLayoutRects {
  TRect Glyph;
  TRect Caption;
  unsigned TextFlags = 0;
};

class TBitBtn : public TCustomControl {
 public:
  explicit TBitBtn(TComponent* owner);

  TBitBtnKind Kind() const { return kind_; }
  void SetKind(TBitBtnKind kind);
  TModalResult ModalResult() const { return modal_result_; }
  void SetModalResult(TModalResult value) { modal_result_ = value; }
  bool Default() const { return default_; }
  void SetDefault(bool value);
  bool Cancel() const { return cancel_; }
  void SetCancel(bool value) { cancel_ = value; }
  TBitmap& Glyph() { return glyph_; }
  void SetGlyph(const TBitmap& glyph);
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout value);
  int Margin() const { return margin_; }
  void SetMargin(int value);
  int Spacing() const { return spacing_; }
  void SetSpacing(int value);
  bool WordWrap() const { return word_wrap_; }
  void SetWordWrap(bool value);
  // Where the picture and caption stand when Margin is -1: centred, or at
  // the left or right edge.
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  // The dotted frame a focused button shows; off, the focus is not drawn.
  bool ShowFocusFrame() const { return show_focus_frame_; }
  void SetShowFocusFrame(bool value);
  // The button is pushed: the pointer was pressed on it and is inside it,
  // or Space is held.
  bool Pushed() const { return pressed_; }

  void Click() override;
  TAccessibleRole AccessibleRole() const override { return TAccessibleRole::arPushButton; }

 protected:
  void Paint() override;
  void Dispatch(TMessage& message) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void KeyDown(std::uint16_t& key, TShiftState shift) override;
  void KeyUp(std::uint16_t& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  // The picture a kind brings (a small drawn glyph), if any, on a window's
  // canvas or on a bitmap's.
  void DrawKindGlyph(TCanvas& canvas, const TRect& rect) const;
  bool HasGlyph() const;
  // A property of the look changed (caption layout, picture, kind, default).
  virtual void ButtonChanged() { Invalidate(); }
  // The picture's size: the Glyph, the kind's glyph, or 0 × 0.
  TPoint GlyphSize() const;
  // Draws the picture (Glyph, else the kind's glyph) into `rect`.
  void DrawGlyph(TCanvas& canvas, const TRect& rect) const;
  // Lays the picture and the caption out in `client`: Layout puts the
  // picture left of, right of, above or below the caption with Spacing
  // between them; Margin (when not -1) is the distance from the edge the
  // picture faces, else the pair is centred across and placed by Alignment
  // along the row (centred for the vertical layouts); `pressed` moves both
  // one pixel right and down. The caption is measured in `canvas`'s font,
  // broken into words when `word_wrap`.
  TButtonLayoutRects CalcButtonLayout(TCanvas& canvas, const TRect& client, bool pressed,
                                      bool word_wrap) const;

 private:
  TBitBtnKind kind_ = bkCustom;
  TModalResult modal_result_ = mrNone;
  bool default_ = false;
  bool cancel_ = false;
  TBitmap glyph_{0, 0, TPixelFormat::pf32bit};
  TButtonLayout layout_ = blGlyphLeft;
  int margin_ = -1;
  int spacing_ = 4;
  bool word_wrap_ = false;
  TAlignment alignment_ = taCenter;
  bool show_focus_frame_ = true;
  bool pressed_ = false;
  bool mouse_down_ = false;
  bool space_down_ = false;
};
