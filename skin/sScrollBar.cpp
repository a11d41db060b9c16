#include "skin/sScrollBar.h"

#include <QPainter>

#include <algorithm>
#include <limits>
#include <string>

#include "platform/MulDiv.h"
#include "platform/SystemMetrics.h"
#include "skin/SkinPaint.h"
#include "skin/SkinPainter.h"
#include "skin/sCommonData.h"
#include "skin/sSkinManager.h"
#include "skin/sSkinModel.h"

namespace {

int ToInt(long long v) {
  return static_cast<int>(
      std::clamp<long long>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// Max − Min + 1 − max(Page, 1): the positions a slider's travel is spread over.
long long Travel(const TScrollInfo& info) {
  return static_cast<long long>(info.Max) - info.Min + 1 - std::max(info.Page, 1);
}

// The cached indexes of a bar's parts.
struct TsBarParts {
  const TsPartIndexes& first_track;
  const TsPartIndexes& last_track;
  const TsPartIndexes& first_arrow;
  const TsPartIndexes& last_arrow;
  const TsPartIndexes& slider;
};

TsBarParts PartsOf(const TsCachedIndexes& c, TScrollBarKind kind) {
  using C = TsCachedIndexes;
  if (kind == SB_VERT)
    return {c.ScrollBars[C::sb1V], c.ScrollBars[C::sb2V], c.ScrollBtns[C::sbTop],
            c.ScrollBtns[C::sbBottom], c.ScrollSliders[C::slV]};
  return {c.ScrollBars[C::sb1H], c.ScrollBars[C::sb2H], c.ScrollBtns[C::sbLeft],
          c.ScrollBtns[C::sbRight], c.ScrollSliders[C::slH]};
}

bool IsArrow(TsScrollPart part) {
  return part == spArrowFirst || part == spArrowLast;
}
bool IsPage(TsScrollPart part) {
  return part == spPageFirst || part == spPageLast;
}

// Whether a track section looks the same at every pixel along the bar, in
// its normal and its pressed state, whatever its length: only then does a
// moved split between the two tracks (under the slider) leave the pixels
// outside the slider as they were.
bool SameAllAlong(const TsSkinModel& model, const TsPartIndexes& part) {
  if (part.Section < 0) return true;
  if (part.BordersMask >= 0) return false;
  const std::string& name = model.Sections()[static_cast<std::size_t>(part.Section)].SectionName;
  for (const char* key : {"BORDERSMASK", "IMGTOPLEFT", "IMGTOPRIGHT", "IMGBTMLEFT", "IMGBTMRIGHT"})
    if (model.MaskIndex(part.Section, name, key) >= 0) return false;
  for (int state : {0, 2}) {
    TsSectionRequest request;
    request.section = part.Section;
    request.state = state;
    request.texture = part.Pattern;
    request.hot_texture = part.HotPattern;
    const TsLook look = LookOfSection(model, request);
    if (look.texture || (look.gradient_percent > 0 && !look.gradient.empty())) return false;
  }
  return true;
}

TsScrollPointer g_pointer;
TsScrollBar* g_hot_bar = nullptr;

}  // namespace

// ---- sizes and geometry ---------------------------------------------------------

int ScrollBarThickness(TScrollBarKind kind, int fixed) {
  if (fixed >= 0) return fixed;
  return platform::GetSystemMetrics(kind == SB_VERT ? platform::SM_CXVSCROLL
                                                    : platform::SM_CYHSCROLL);
}

int ScrollArrowLength(const TsSkinModel* model, TScrollBarKind kind, int fixed) {
  if (fixed >= 0) return fixed;
  int b = platform::GetSystemMetrics(platform::SM_CXHSCROLL);
  if (model == nullptr) return b;
  using C = TsCachedIndexes;
  const TsPartIndexes& left = model->Cache().ScrollBtns[C::sbLeft];
  if (left.Section < 0 || left.BordersMask < 0) return b;
  if (!model->Sections()[static_cast<std::size_t>(left.Section)].ReservedBoolean) return b;
  if (kind == SB_VERT) {
    const int top = model->Cache().ScrollBtns[C::sbTop].BordersMask;
    if (top >= 0) b = std::max(b, model->MaskFrameSize(top).Y);
  } else {
    b = std::max(b, model->MaskFrameSize(left.BordersMask).X);
  }
  return b;
}

int DefaultMinSliderLength() {
  return platform::GetSystemMetrics(platform::SM_CYVTHUMB) / 2;
}

int ScrollSliderLength(const TScrollInfo& info, int track, int arrow, int min_slider) {
  if (info.Page <= 0) return arrow;
  const long long range = static_cast<long long>(info.Max) - info.Min + 1;
  if (range <= 0) return track;
  return std::max(ToInt(static_cast<long long>(info.Page) * track / range), min_slider);
}

int ScrollSliderOffset(const TScrollInfo& info, int position, int track, int slider) {
  const int room = track - slider;
  if (room <= 0) return 0;
  // A travel of 0 (the page covers the range) makes the multiply-divide
  // answer -1, which the clamp turns into the start.
  const int offset = platform::MulDiv(ToInt(static_cast<long long>(position) - info.Min), room,
                                      ToInt(Travel(info)));
  return std::clamp(offset, 0, room);
}

int ScrollPositionAt(const TScrollInfo& info, int offset, int track, int slider) {
  const int room = track - slider;
  const long long travel = Travel(info);
  if (room <= 0 || travel <= 0) return info.Min;
  const int moved = platform::MulDiv(std::clamp(offset, 0, room), ToInt(travel), room);
  return std::clamp(ToInt(static_cast<long long>(info.Min) + std::max(moved, 0)), info.Min,
                    std::max(info.MaxPos(), info.Min));
}

int TsScrollLayout::Split() const {
  if (too_short) return length / 2;
  return std::clamp(SliderStart() + slider / 2, 0, length);
}

TsScrollPart TsScrollLayout::PartAt(int along) const {
  if (along < 0 || along >= length) return spNone;
  if (too_short) return along < length / 2 ? spArrowFirst : spArrowLast;
  if (along < arrow) return spArrowFirst;
  if (along >= length - arrow) return spArrowLast;
  if (!slider_shown) return along < Split() ? spPageFirst : spPageLast;
  if (along < SliderStart()) return spPageFirst;
  if (along < SliderEnd()) return spSlider;
  return spPageLast;
}

TsScrollLayout LayoutScrollBar(const TScrollInfo& info, int length, int arrow, int min_slider,
                               bool enabled, int drag_offset) {
  TsScrollLayout l;
  l.length = std::max(length, 0);
  arrow = std::max(arrow, 0);
  if (2 * arrow >= l.length) {
    l.too_short = true;
    l.arrow = l.length / 2;
    return l;
  }
  l.arrow = arrow;
  l.track = l.length - 2 * arrow;
  l.slider = ScrollSliderLength(info, l.track, arrow, min_slider);
  l.offset = drag_offset >= 0 ? std::clamp(drag_offset, 0, std::max(l.track - l.slider, 0))
                              : ScrollSliderOffset(info, info.Pos, l.track, l.slider);
  l.slider_shown = enabled && l.slider > 0 && l.slider <= l.track;
  return l;
}

// ---- painting ----------------------------------------------------------------------

int ScrollPartState(const TsScrollBarLook& look, TsScrollPart part) {
  if (!look.enabled || part == spNone) return 0;
  if (look.pressed == part) return 2;
  if (IsPage(part)) return 0;
  return look.hot == part && look.pressed == spNone ? 1 : 0;
}

bool PaintScrollBar(TBitmap& target, const TsSkinModel& model, const TsScrollBarLook& look,
                    const TsBackground& back) {
  return PaintScrollBar(target, model, look, back, Rect(0, 0, target.Width(), target.Height()));
}

bool PaintScrollBar(TBitmap& target, const TsSkinModel& model, const TsScrollBarLook& look,
                    const TsBackground& back, const TRect& needed) {
  const TsBarParts parts = PartsOf(model.Cache(), look.kind);
  if (parts.first_track.Section < 0) return false;
  const bool vertical = look.kind == SB_VERT;
  const int width = target.Width();
  const int height = target.Height();
  const int length = vertical ? height : width;
  if (length <= 1 || (vertical ? width : height) <= 0) return false;

  const int arrow = ScrollArrowLength(&model, look.kind, look.arrow);
  const int min_slider = look.min_slider >= 0 ? look.min_slider : DefaultMinSliderLength();
  const TsScrollLayout layout =
      LayoutScrollBar(look.info, length, arrow, min_slider, look.enabled, look.drag_offset);

  auto span = [&](int from, int to) {
    return vertical ? Rect(0, from, width, to) : Rect(from, 0, to, height);
  };
  // Where a part's glyph goes: centred on the part.
  auto glyph_at = [&](const TsPartIndexes& part, const TRect& r) {
    const TPoint size = model.MaskFrameSize(part.GlyphMask);
    return Bounds(r.Left + (r.Width() - size.X) / 2, r.Top + (r.Height() - size.Y) / 2, size.X,
                  size.Y);
  };
  // Whether anything a part paints (its rectangle, the corner images that
  // may stand out of it, its glyph) lies in `needed`: a part that paints
  // nothing there is left as it was.
  auto is_needed = [&](const TsPartIndexes& part, const TRect& r) {
    if (!r.Intersect(needed).IsEmpty()) return true;
    if (part.Section >= 0 && !r.IsEmpty() &&
        !SkinItemReach(r, model, part.Section).Intersect(needed).IsEmpty())
      return true;
    return part.GlyphMask >= 0 && !glyph_at(part, r).Intersect(needed).IsEmpty();
  };
  // A part: its section's look over `r`, then its glyph (the track halves
  // have none).
  auto paint = [&](const TsPartIndexes& part, const TRect& r, int state) {
    if (!is_needed(part, r)) return;
    if (part.Section >= 0 && !r.IsEmpty()) {
      TsSectionRequest request;
      request.section = part.Section;
      request.state = state;
      request.texture = part.Pattern;
      request.hot_texture = part.HotPattern;
      PaintSkinItem(target, r, model, request, true, back);
    }
    if (part.GlyphMask >= 0) {
      const TRect at = glyph_at(part, r);
      DrawSkinGlyph(target, {at.Left, at.Top}, model, part.GlyphMask, state);
    }
  };
  auto state_of = [&look](TsScrollPart which) { return ScrollPartState(look, which); };

  if (!layout.too_short) {
    const int split = layout.Split();
    paint(parts.first_track, span(0, split), state_of(spPageFirst));
    paint(parts.last_track, span(split, length), state_of(spPageLast));
    paint(parts.first_arrow, span(0, layout.arrow), state_of(spArrowFirst));
    paint(parts.last_arrow, span(length - layout.arrow, length), state_of(spArrowLast));
    if (layout.slider_shown)
      paint(parts.slider, span(layout.SliderStart(), layout.SliderEnd()), state_of(spSlider));
  } else {
    const int half = layout.Split();
    paint(parts.first_track, span(0, half), 0);
    paint(parts.first_arrow, span(0, half), state_of(spArrowFirst));
    paint(parts.last_track, span(half, length), 0);
    paint(parts.last_arrow, span(half, length), state_of(spArrowLast));
  }

  if (!look.enabled) {
    const TRect whole = Bounds(0, 0, width, height);
    if (back.IsBitmap()) {
      PaintDisabledLook(PixelsOf(target), whole, dkBlended, back);
    } else {
      // Over a plain colour the bar is toned with the skin's horizontal track
      // colour, so both kinds of bar fade alike.
      const int tone_section = model.Cache().ScrollBars[TsCachedIndexes::sb1H].Section;
      const TColor tone = tone_section >= 0
                              ? model.Sections()[static_cast<std::size_t>(tone_section)].Color
                              : back.color;
      if ((tone & 0xFFFFFF) != kTransparentKey)
        PaintDisabledLook(PixelsOf(target), whole, dkBlended, TsBackground::FromColor(tone));
    }
  }
  return true;
}

// ---- the bar on a window -----------------------------------------------------------

const TsScrollPointer& ScrollPointer() {
  return g_pointer;
}

TsScrollBar::TsScrollBar(TWinControl* control, TScrollBarKind kind, TsSkinManager* manager)
    : control_(control), kind_(kind), manager_(manager) {
  attached_ = SetScrollBarHandler(control_, kind_, this);
}

TsScrollBar::~TsScrollBar() {
  repeat_.Stop();
  if (g_hot_bar == this) {
    g_hot_bar = nullptr;
    g_pointer = {};
  }
  if (attached_ && ScrollBarHandler(control_, kind_) == this)
    SetScrollBarHandler(control_, kind_, nullptr);
}

void TsScrollBar::SetManager(TsSkinManager* manager) {
  if (manager == manager_) return;
  manager_ = manager;
  Invalidate();
}

void TsScrollBar::SetFixedArrowLength(int value) {
  if (value == fixed_arrow_) return;
  fixed_arrow_ = value;
  Invalidate();
}

void TsScrollBar::SetMinSliderLength(int value) {
  if (value == min_slider_) return;
  min_slider_ = value;
  Invalidate();
}

TsSkinManager* TsScrollBar::Manager() const {
  return manager_ != nullptr ? manager_ : DefaultManager();
}

const TsSkinModel* TsScrollBar::ActiveModel() const {
  const TsSkinManager* m = Manager();
  if (m == nullptr || !m->Active() || !m->SkinData().Active) return nullptr;
  return &m->Model();
}

TScrollInfo TsScrollBar::Info() const {
  TScrollInfo info;
  GetScrollInfo(control_, kind_, info);
  return info;
}

bool TsScrollBar::Shown() const {
  return ScrollBarShown(control_, kind_);
}

bool TsScrollBar::Enabled() const {
  return ScrollBarEnabled(control_, kind_);
}

TsScrollPart TsScrollBar::HotPart() const {
  return g_hot_bar == this ? g_pointer.Part : spNone;
}

TPoint TsScrollBar::Size() const {
  const TRect r = ScrollBarRect(control_, kind_);
  return {r.Width(), r.Height()};
}

int TsScrollBar::MinSlider() const {
  return min_slider_ >= 0 ? min_slider_ : DefaultMinSliderLength();
}

TsScrollLayout TsScrollBar::LayoutOf(const TScrollInfo& info, bool enabled, int drag_offset) const {
  return LayoutScrollBar(info, Along(Size()), ScrollArrowLength(ActiveModel(), kind_, fixed_arrow_),
                         MinSlider(), enabled, drag_offset);
}

TsScrollPart TsScrollBar::PartUnder(TPoint p) const {
  const TPoint size = Size();
  if (p.X < 0 || p.Y < 0 || p.X >= size.X || p.Y >= size.Y) return spNone;
  return LayoutOf(Info(), Enabled(), Dragging() ? drag_offset_ : -1).PartAt(Along(p));
}

TsScrollBarLook TsScrollBar::Look() const {
  TsScrollBarLook look;
  look.kind = kind_;
  look.info = Info();
  look.enabled = Enabled();
  look.arrow = fixed_arrow_;
  look.min_slider = min_slider_;
  look.drag_offset = Dragging() ? drag_offset_ : -1;
  if (pressed_ == spNone) {
    look.hot = HotPart();
  } else if (Dragging() || PartUnder(pointer_) == pressed_) {
    // A held arrow or page area looks pressed while the pointer is over it.
    look.pressed = pressed_;
  }
  return look;
}

TsBackground TsScrollBar::Background() {
  BackgroundInfo info;
  SendQueryBackInfo(control_, info);
  if (info.Kind == bkUnknown) return TsBackground::FromColor(ColorToRGB(control_->Color()));
  TsBackground back = BackgroundOf(info);
  if (back.IsBitmap()) {
    // The answer places the window's client (0, 0); the bar lies in its frame.
    const TRect r = ScrollBarRect(control_, kind_);
    const TRect nc = control_->FrameMargins();
    back.offset_x += r.Left - nc.Left;
    back.offset_y += r.Top - nc.Top;
  }
  return back;
}

bool TsScrollBar::PaintTo(TBitmap& target, const std::optional<TRect>& needed) {
  const TsSkinModel* model = ActiveModel();
  if (model == nullptr) return false;
  const TPoint size = Size();
  target.SetSize(size.X, size.Y);
  return PaintScrollBar(target, *model, Look(), Background(),
                        needed.value_or(Bounds(0, 0, size.X, size.Y)));
}

void TsScrollBar::Invalidate() {
  InvalidateScrollBar(control_, kind_);
}

void TsScrollBar::PaintBar(HDC dc, TPoint size) {
  if (dc == nullptr || size.X <= 0 || size.Y <= 0) return;
  // Only what the clip lets through is painted: when a line added to the
  // text moves the slider, the arrows are left as they are.
  TRect needed = Bounds(0, 0, size.X, size.Y);
  if (dc->hasClipping()) {
    const QRect clip = dc->clipBoundingRect().toAlignedRect();
    needed = needed.Intersect(Bounds(clip.x(), clip.y(), clip.width(), clip.height()));
  }
  if (PaintTo(buffer_, needed) && buffer_.Width() == size.X && buffer_.Height() == size.Y) {
    DrawClippedImage(dc, QPoint(0, 0), buffer_.Image());
    return;
  }
  // No skin to paint from: the bar keeps the window's colour.
  dc->fillRect(0, 0, size.X, size.Y, ToQColor(control_->Color()));
}

TRect TsScrollBar::ChangedArea(const TScrollInfo& before, const TScrollInfo& after, TPoint size) {
  const TRect whole = Bounds(0, 0, size.X, size.Y);
  const TsSkinModel* model = ActiveModel();
  if (model == nullptr || pressed_ != spNone) return whole;
  const int length = Along(size);
  const int arrow = ScrollArrowLength(model, kind_, fixed_arrow_);
  const bool usable = Shown() && control_->Enabled();
  const bool was_enabled = usable && before.Scrolls();
  const bool is_enabled = usable && after.Scrolls();
  const TsScrollLayout was = LayoutScrollBar(before, length, arrow, MinSlider(), was_enabled);
  const TsScrollLayout is = LayoutScrollBar(after, length, arrow, MinSlider(), is_enabled);
  if (was_enabled != is_enabled || was.too_short != is.too_short ||
      was.slider_shown != is.slider_shown)
    return whole;
  // Two halves without a track do not depend on the information.
  if (is.too_short) return {};
  // Without a slider only the split between the tracks can move.
  if (!is.slider_shown) return was.Split() == is.Split() ? TRect{} : whole;
  if (was.SliderStart() == is.SliderStart() && was.SliderEnd() == is.SliderEnd()) return {};
  const TsBarParts parts = PartsOf(model->Cache(), kind_);
  if (!SameAllAlong(*model, parts.first_track) || !SameAllAlong(*model, parts.last_track))
    return whole;
  const int from = std::min(was.SliderStart(), is.SliderStart());
  const int to = std::max(was.SliderEnd(), is.SliderEnd());
  return kind_ == SB_VERT ? Rect(0, from, size.X, to) : Rect(from, 0, to, size.Y);
}

void TsScrollBar::BarMouse(const TMouseMessage& mouse) {
  pointer_ = mouse.Pos;
  switch (mouse.Action) {
    case maDown:
    case maDoubleClick:
      if (mouse.Button == mbLeft && pressed_ == spNone) Press(mouse.Pos);
      break;
    case maMove:
      if (Dragging()) {
        Drag(mouse.Pos);
      } else {
        SetHot(PartUnder(mouse.Pos));
        // A held arrow or page area shows pressed only while under the pointer.
        if (pressed_ != spNone) Invalidate();
      }
      break;
    case maUp:
      if (mouse.Button == mbLeft) Release();
      break;
  }
}

void TsScrollBar::BarMouseLeave() {
  if (pressed_ == spNone) SetHot(spNone);
}

void TsScrollBar::SetHot(TsScrollPart part) {
  if (g_hot_bar == this && g_pointer.Part == part) return;
  TsScrollBar* previous = g_hot_bar;
  if (part == spNone) {
    if (previous != this) return;
    g_hot_bar = nullptr;
    g_pointer = {};
  } else {
    g_hot_bar = this;
    g_pointer = {control_, kind_, part};
  }
  if (previous != nullptr && previous != this) previous->Invalidate();
  Invalidate();
}

void TsScrollBar::Press(TPoint at) {
  if (!Enabled()) return;
  const TsScrollPart part = PartUnder(at);
  if (part == spNone) return;
  pressed_ = part;
  if (part == spSlider) {
    const TsScrollLayout layout = LayoutOf(Info(), true);
    grab_ = Along(at) - layout.SliderStart();
    drag_offset_ = layout.offset;
    drag_position_ = Info().Pos;
    Invalidate();
    return;
  }
  Invalidate();
  Repeat(nullptr);
  // Repeat again after the first delay for as long as the press is held.
  if (pressed_ == part) repeat_.Start(TNotifyEvent(this, &TsScrollBar::Repeat));
}

void TsScrollBar::Repeat(TObject*) {
  if (!IsArrow(pressed_) && !IsPage(pressed_)) {
    repeat_.Stop();
    return;
  }
  // Nothing while the pointer is off the part; a page area that the slider
  // has reached is not under the pointer any more.
  if (PartUnder(pointer_) != pressed_) return;
  switch (pressed_) {
    case spArrowFirst:
      Scroll(SB_LINEUP);
      break;
    case spArrowLast:
      Scroll(SB_LINEDOWN);
      break;
    case spPageFirst:
      Scroll(SB_PAGEUP);
      break;
    case spPageLast:
      Scroll(SB_PAGEDOWN);
      break;
    default:
      break;
  }
  Invalidate();
}

void TsScrollBar::Drag(TPoint at) {
  const TScrollInfo info = Info();
  const TsScrollLayout layout = LayoutOf(info, true);
  // The grabbed point stays under the pointer; offsets count from the track.
  const int offset =
      std::clamp(Along(at) - grab_ - layout.arrow, 0, std::max(layout.track - layout.slider, 0));
  const int position = ScrollPositionAt(info, offset, layout.track, layout.slider);
  if (offset == drag_offset_ && position == drag_position_) return;
  drag_offset_ = offset;
  if (position != drag_position_ || info.TrackPos != position) {
    drag_position_ = position;
    Scroll(SB_THUMBTRACK, position);
  }
  Invalidate();
}

void TsScrollBar::Release() {
  repeat_.Stop();
  const TsScrollPart was = pressed_;
  if (was == spNone) return;
  pressed_ = spNone;
  if (was == spSlider) {
    drag_offset_ = -1;
    Scroll(SB_THUMBPOSITION, drag_position_);
  }
  Scroll(SB_ENDSCROLL);
  SetHot(PartUnder(pointer_));
  Invalidate();
}

void TsScrollBar::Scroll(int code, int pos) {
  control_->Perform(kind_ == SB_VERT ? WM_VSCROLL : WM_HSCROLL, static_cast<std::uintptr_t>(code),
                    pos);
}
