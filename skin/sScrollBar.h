// Skinned scroll bars: a window's standard bar (the memo's) painted from the
// skin's scroll sections instead of by Qt's style, with the bar's own
// scrolling behaviour and scroll information kept. The track comes from
// "SCROLLBAR1V" (above the slider's middle) and "SCROLLBAR2V" (below it),
// the arrows from "SCROLLBTNTOP" and "SCROLLBTNBOTTOM" with their glyphs,
// the slider from "SCROLLSLIDERV"; a horizontal bar uses the "...H", "LEFT"
// and "RIGHT" sections with the axes exchanged.
//
// The geometry and the painting are plain functions over a scroll
// information record, so that they can be checked without a window; a
// TsScrollBar ties them to a control's bar through the toolkit's
// TScrollBarHandler seam and adds the pointer behaviour: arrows scroll a
// line, the track a page toward the pointer (both repeating while held), the
// slider drags the content live.
#pragma once

#include <optional>

#include "skin/Blend.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Graphics.h"
#include "toolkit/ScrollBars.h"

class TsSkinManager;
class TsSkinModel;

// The parts of a bar, as the pointer finds them.
enum TsScrollPart : int {
  spNone = 0,
  spArrowFirst,  // top (left) arrow
  spArrowLast,   // bottom (right) arrow
  spPageFirst,   // the track before the slider
  spPageLast,    // the track after it
  spSlider,
};

// How long a held arrow or page area waits before it repeats, and how often
// it repeats then (milliseconds).
constexpr unsigned kScrollRepeatDelay = 250;
constexpr unsigned kScrollRepeatInterval = 50;

// ---- sizes and geometry ---------------------------------------------------------

// The bar's thickness: `fixed` when not negative, else the desktop's
// vertical bar width (horizontal bar height).
int ScrollBarThickness(TScrollBarKind kind, int fixed = -1);
// The arrow length: `fixed` when not negative, else the desktop's scroll
// arrow size; when the skin's "SCROLLBTNLEFT" sets ReservedBoolean and has a
// border mask, at least the frame height of "SCROLLBTNTOP"'s border mask
// (for horizontal bars the frame width of "SCROLLBTNLEFT"'s).
int ScrollArrowLength(const TsSkinModel* model, TScrollBarKind kind, int fixed = -1);
// The smallest slider a bar draws unless told otherwise: half the desktop's
// scroll box, so a slider over a long text can still be grabbed.
int DefaultMinSliderLength();

// The slider's length in a track of `track` pixels: `arrow` for a page of
// 0, else Page × track ÷ (Max − Min + 1), at least `min_slider`. An empty or
// upside-down range leaves nothing to divide: the slider fills the track.
int ScrollSliderLength(const TScrollInfo& info, int track, int arrow, int min_slider);
// Where a slider of `slider` pixels starts inside the track for `position`:
// (position − Min) × (track − slider) ÷ (Max − Min + 1 − max(Page, 1)),
// rounded to nearest by MulDiv and kept between 0 and
// track − slider.
int ScrollSliderOffset(const TScrollInfo& info, int position, int track, int slider);
// The position a slider dragged to `offset` stands for: the inverse of
// ScrollSliderOffset, rounded, kept between Min and MaxPos().
int ScrollPositionAt(const TScrollInfo& info, int offset, int track, int slider);

// Where the parts of a bar lie along its length (top to bottom, or left to
// right), in pixels from its start.
struct TsScrollLayout {
  int length = 0;
  int arrow = 0;           // each arrow's length (half the bar when too short)
  bool too_short = false;  // two arrows do not fit: two halves, no track, no slider
  int track = 0;           // length − 2 × arrow
  int slider = 0;          // the slider's length
  int offset = 0;          // its start inside the track
  bool slider_shown = false;

  int SliderStart() const { return arrow + offset; }
  int SliderEnd() const { return SliderStart() + slider; }
  // Where the first track section ends and the second begins.
  int Split() const;
  TsScrollPart PartAt(int along) const;
};

// The layout of a bar of `length` pixels. `drag_offset`, when not negative,
// places the slider where the pointer dragged it instead of at the position.
TsScrollLayout LayoutScrollBar(const TScrollInfo& info, int length, int arrow, int min_slider,
                               bool enabled, int drag_offset = -1);

// ---- painting ----------------------------------------------------------------------

// Everything the look of a bar depends on.
struct TsScrollBarLook {
  TScrollBarKind kind = SB_VERT;
  TScrollInfo info;
  bool enabled = true;
  int arrow = -1;       // fixed arrow length; negative: ScrollArrowLength
  int min_slider = -1;  // negative: DefaultMinSliderLength
  TsScrollPart hot = spNone;
  TsScrollPart pressed = spNone;  // shown pressed (the pointer is over it, or it is dragged)
  int drag_offset = -1;           // the slider's offset while it is dragged
};

// The state a part is painted in: 2 pressed, 1 hot, 0 normal. The track
// halves have no hot state; the slider is not hot while another part is
// pressed.
int ScrollPartState(const TsScrollBarLook& look, TsScrollPart part);

// Paints a bar into `target` (the bar's size): track, arrows with their
// glyphs and the slider, then, for a disabled bar, the look of what lies
// behind it (`back`, offsets at the bar's pixel (0, 0)): 0.4 of a bitmap, or
// half the colour of "SCROLLBAR1H" over a plain colour. Returns false, with
// nothing painted, when the skin has no "SCROLLBAR1V" section or the bar is
// at most one pixel long.
bool PaintScrollBar(TBitmap& target, const TsSkinModel& model, const TsScrollBarLook& look,
                    const TsBackground& back);
// The same for the pixels in `needed` alone: a part that paints nothing
// there (an arrow, when only the slider moved) is not painted, so outside
// `needed` the target's pixels are not the bar's.
bool PaintScrollBar(TBitmap& target, const TsSkinModel& model, const TsScrollBarLook& look,
                    const TsBackground& back, const TRect& needed);

// ---- the bar on a window -----------------------------------------------------------

// Which bar the pointer is over, for all skinned bars together: the window
// it belongs to (nullptr: none), the kind of bar and the part.
struct TsScrollPointer {
  TWinControl* Window = nullptr;
  TScrollBarKind Kind = SB_VERT;
  TsScrollPart Part = spNone;
};
const TsScrollPointer& ScrollPointer();

class TsScrollBar : public TScrollBarHandler {
 public:
  // Takes over `control`'s bar of `kind` at once, painting it from the skin
  // of `manager` (nullptr: the default manager).
  TsScrollBar(TWinControl* control, TScrollBarKind kind, TsSkinManager* manager = nullptr);
  // Gives the bar back to its plain look.
  ~TsScrollBar() override;
  TsScrollBar(const TsScrollBar&) = delete;
  TsScrollBar& operator=(const TsScrollBar&) = delete;

  TWinControl* Control() const { return control_; }
  TScrollBarKind Kind() const { return kind_; }
  // The manager the bar paints from (nullptr: the default one).
  TsSkinManager* SkinManager() const { return manager_; }
  void SetManager(TsSkinManager* manager);
  // Whether the bar is the skin's now (false when the control has no bar
  // that can be handed over).
  bool Attached() const { return attached_; }

  // An arrow length and a smallest slider of the bar's own (negative:
  // automatic).
  int FixedArrowLength() const { return fixed_arrow_; }
  void SetFixedArrowLength(int value);
  int MinSliderLength() const { return min_slider_; }
  void SetMinSliderLength(int value);

  // The bar's state now.
  TScrollInfo Info() const;
  bool Shown() const;
  bool Enabled() const;
  TsScrollPart HotPart() const;
  TsScrollPart PressedPart() const { return pressed_; }
  bool Dragging() const { return pressed_ == spSlider; }
  TsScrollBarLook Look() const;
  // The bar's size (thickness across, length along).
  TPoint Size() const;
  // What lies behind the bar, asked of its window (QueryBackInfo).
  TsBackground Background();

  // Paints the bar as it looks now into `target`, sized to the bar: all of
  // it, or the pixels in `needed` (bar coordinates; see PaintScrollBar);
  // false when there is no skin to paint from.
  bool PaintTo(TBitmap& target, const std::optional<TRect>& needed = std::nullopt);
  void Invalidate();

  // TScrollBarHandler
  void PaintBar(HDC dc, TPoint size) override;
  void BarMouse(const TMouseMessage& mouse) override;
  void BarMouseLeave() override;
  // Where the slider was and is, when the skin's track looks the same all
  // along; the whole bar when it does not (a gradient, a texture or a border
  // along it), while a part is held, or when the bar turns on or off.
  TRect ChangedArea(const TScrollInfo& before, const TScrollInfo& after, TPoint size) override;

 private:
  TsSkinManager* Manager() const;
  const TsSkinModel* ActiveModel() const;
  int MinSlider() const;
  TsScrollLayout LayoutOf(const TScrollInfo& info, bool enabled, int drag_offset = -1) const;
  int Along(TPoint p) const { return kind_ == SB_VERT ? p.Y : p.X; }
  // The part under `p` (bar coordinates); none outside the bar.
  TsScrollPart PartUnder(TPoint p) const;
  void Press(TPoint at);
  void Drag(TPoint at);
  void Release();
  void Repeat(TObject*);
  void Scroll(int code, int pos = 0);
  void SetHot(TsScrollPart part);

  TWinControl* control_;
  TScrollBarKind kind_;
  TsSkinManager* manager_;
  bool attached_ = false;
  int fixed_arrow_ = -1;
  int min_slider_ = -1;
  TsScrollPart pressed_ = spNone;
  TPoint pointer_;         // the last pointer position, bar coordinates
  int grab_ = 0;           // where the slider was grabbed, from its start
  int drag_offset_ = -1;   // the dragged slider's offset
  int drag_position_ = 0;  // the position the dragged slider stands for
  TAutoRepeat repeat_{kScrollRepeatDelay, kScrollRepeatInterval};
  TBitmap buffer_;
};
