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
  // Pressed look (the pointer is down inside it, or Space is held).
  bool Down() const { return pressed_; }

  void Click() override;

 protected:
  void Paint() override;
  void Dispatch(TMessage& message) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void KeyDown(std::uint16_t& key, TShiftState shift) override;
  void KeyUp(std::uint16_t& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  // The picture a kind brings (a small drawn glyph), if any.
  void DrawKindGlyph(TCanvas& canvas, const TRect& rect) const;
  bool HasGlyph() const;

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
  bool pressed_ = false;
  bool mouse_down_ = false;
  bool space_down_ = false;
};
