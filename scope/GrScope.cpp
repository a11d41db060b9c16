#include "scope/GrScope.h"

#include <cxxabi.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <typeinfo>

#include <QPainter>
#include <QRegion>

#include "toolkit/Guards.h"
#include "toolkit/SysUtils.h"

namespace {

// Rounds to the nearest integer, ties to the even neighbour.
std::int64_t RoundEven(double value) {
  return static_cast<std::int64_t>(std::nearbyint(value));
}

std::string ClassNameOf(const TObject* object) {
  if (!object) return "nil";
  int status = 0;
  const char* mangled = typeid(*object).name();
  char* name = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
  std::string result = status == 0 && name ? name : mangled;
  std::free(name);
  return result;
}

// Draws the scope's lines through the canvas while keeping coordinates that
// may lie far outside the picture (a huge Frequency or GridSize) from being
// walked pixel by pixel: a segment reaching beyond a wide margin around the
// picture is cut at the margin first. Within the margin the canvas draws the
// segment exactly as given.
class TLineWalker {
 public:
  TLineWalker(TCanvas& canvas, int width, int height, int pen_width) : canvas_(canvas) {
    const std::int64_t margin = 4096 + std::max(1, pen_width);
    left_ = -margin;
    top_ = -margin;
    right_ = width + margin;
    bottom_ = height + margin;
  }

  void MoveTo(std::int64_t x, std::int64_t y) {
    x_ = x;
    y_ = y;
  }

  void LineTo(std::int64_t x, std::int64_t y) {
    const std::int64_t x0 = x_, y0 = y_;
    x_ = x;
    y_ = y;
    if (Inside(x0, y0) && Inside(x, y)) {
      canvas_.MoveTo(static_cast<int>(x0), static_cast<int>(y0));
      canvas_.LineTo(static_cast<int>(x), static_cast<int>(y));
      return;
    }
    // Liang-Barsky against the margin box.
    const double dx = static_cast<double>(x - x0), dy = static_cast<double>(y - y0);
    double t0 = 0.0, t1 = 1.0;
    auto clip = [&](double p, double q) {
      if (p == 0.0) return q >= 0.0;
      const double r = q / p;
      if (p < 0.0) {
        if (r > t1) return false;
        t0 = std::max(t0, r);
      } else {
        if (r < t0) return false;
        t1 = std::min(t1, r);
      }
      return true;
    };
    if (!clip(-dx, static_cast<double>(x0 - left_)) ||
        !clip(dx, static_cast<double>(right_ - x0)) || !clip(-dy, static_cast<double>(y0 - top_)) ||
        !clip(dy, static_cast<double>(bottom_ - y0)))
      return;
    const auto cx0 = static_cast<int>(std::llround(static_cast<double>(x0) + t0 * dx));
    const auto cy0 = static_cast<int>(std::llround(static_cast<double>(y0) + t0 * dy));
    const auto cx1 = static_cast<int>(std::llround(static_cast<double>(x0) + t1 * dx));
    const auto cy1 = static_cast<int>(std::llround(static_cast<double>(y0) + t1 * dy));
    canvas_.MoveTo(cx0, cy0);
    canvas_.LineTo(cx1, cy1);
  }

 private:
  bool Inside(std::int64_t x, std::int64_t y) const {
    return x >= left_ && x <= right_ && y >= top_ && y <= bottom_;
  }

  TCanvas& canvas_;
  std::int64_t left_, top_, right_, bottom_;
  std::int64_t x_ = 0, y_ = 0;
};

void CheckScopeInt(int value) {
  if (value < kGrScopeIntMin || value > kGrScopeIntMax) throw ERangeError();
}

void CheckMaxInt(int value) {
  if (value < 1) throw ERangeError();
}

}  // namespace

// ---- history records ----

std::string FormatGrRecord(int value) {
  char buf[16];
  if (value >= 0)
    std::snprintf(buf, sizeof buf, "%010d", value);
  else
    std::snprintf(buf, sizeof buf, "-%09lld", -static_cast<long long>(value));
  return buf;
}

int PopGrRecord(std::string_view& text) {
  const std::string_view record = text.substr(0, kGrRecordLength);
  text.remove_prefix(record.size());
  long long v = 0;
  bool negative = false;
  for (std::size_t i = 0; i < record.size(); ++i) {
    const char c = record[i];
    if (i == 0 && c == '-') {
      negative = true;
    } else if (c >= '0' && c <= '9') {
      v = v * 10 + (c - '0');
    }
  }
  return static_cast<int>(negative ? -v : v);
}

// ---- TGrChannel ----

TGrChannel::TGrChannel(TGrChannels* collection) : collection_(collection) {}

void TGrChannel::SetColor(TColor value) {
  if (color_ == value) return;
  color_ = value;
  Changed();
}

void TGrChannel::SetWidth(int value) {
  if (width_ == value) return;
  width_ = value;
  Changed();
}

void TGrChannel::SetStyle(TGraphStyle value) {
  if (style_ == value) return;
  style_ = value;
  Changed();
}

void TGrChannel::SetVisible(bool value) {
  if (visible_ == value) return;
  visible_ = value;
  Changed();
}

void TGrChannel::AddSample(int value, int buffer_size) {
  history_.insert(0, FormatGrRecord(value));
  const std::size_t cap = static_cast<std::size_t>(std::max(0, buffer_size)) *
                          static_cast<std::size_t>(kGrRecordLength);
  if (history_.size() >= cap) history_.resize(cap);
}

void TGrChannel::Assign(const TObject* source) {
  const auto* other = dynamic_cast<const TGrChannel*>(source);
  if (!other)
    throw EConvertError(Format("Cannot assign a %s to a TGrChannel", ClassNameOf(source).c_str()));
  if (collection_) collection_->BeginUpdate();
  const TScopeExit end_update([this] {
    if (collection_) collection_->EndUpdate();
  });
  SetColor(other->color_);
  SetWidth(other->width_);
  SetStyle(other->style_);
}

int TGrChannel::Index() const {
  if (!collection_) return -1;
  for (int i = 0; i < collection_->Count(); ++i)
    if (collection_->Items(i) == this) return i;
  return -1;
}

void TGrChannel::Changed() {
  if (collection_ && collection_->UpdateCount() == 0) collection_->Changed();
}

// ---- TGrChannels ----

TGrChannels::TGrChannels(TGrScope* scope) : scope_(scope) {}

TGrChannels::~TGrChannels() = default;

TGrChannel* TGrChannels::Items(int index) const {
  if (index < 0 || index >= Count())
    throw ERangeError(Format("List index out of bounds (%d)", index));
  return items_[static_cast<std::size_t>(index)].get();
}

TGrChannel* TGrChannels::Add() {
  items_.push_back(std::make_unique<TGrChannel>(this));
  TGrChannel* item = items_.back().get();
  if (update_count_ == 0) Changed();
  return item;
}

void TGrChannels::Delete(int index) {
  Items(index);  // range check
  items_.erase(items_.begin() + index);
  if (update_count_ == 0) Changed();
}

void TGrChannels::Clear() {
  if (items_.empty()) return;
  BeginUpdate();
  items_.clear();
  EndUpdate();
}

void TGrChannels::Assign(const TGrChannels& source) {
  // Taken first, so that assigning the collection to itself keeps its channels.
  struct TLook {
    TColor color;
    int width;
    TGraphStyle style;
  };
  std::vector<TLook> looks;
  for (const auto& c : source.items_) looks.push_back({c->Color(), c->Width(), c->Style()});
  BeginUpdate();
  items_.clear();
  for (const TLook& look : looks) {
    TGrChannel* c = Add();
    c->SetColor(look.color);  // held by the bracket
    c->SetWidth(look.width);
    c->SetStyle(look.style);
  }
  EndUpdate();
}

void TGrChannels::EndUpdate() {
  if (update_count_ > 0) --update_count_;
  if (update_count_ == 0) Changed();
}

void TGrChannels::Changed() {
  if (scope_) scope_->UpdateControl();
}

// ---- TGrScope ----

TGrScope::TGrScope(TComponent* owner)
    : TGrGraphicImageControl(owner),
      timer_(std::make_unique<TGrTimer>(nullptr)),
      channels_(std::make_unique<TGrChannels>(this)) {
  timer_->SetEnabled(false);
  timer_->SetInterval(100);
  timer_->SetOnTimer(TNotifyEvent(this, &TGrScope::TimerTick));
  SetColor(clBlack);
  SetParentColor(false);
  SetBounds(Left(), Top(), 249, 137);
  SetControlStyle((ControlStyle() | csOpaque) & ~static_cast<unsigned>(csSetCaption));
}

TGrScope::~TGrScope() {
  Destroying();
  timer_.reset();  // stops and joins the worker, serving a pending tick
  channels_.reset();
}

void TGrScope::SetAutoUpdate(bool value) {
  auto_update_ = value;
  ApplyTimerEnabled();
}

int TGrScope::Interval() const {
  return static_cast<int>(timer_->Interval());
}

void TGrScope::SetInterval(int value) {
  timer_->SetInterval(RangeChecked<std::uint32_t>(value));
}

void TGrScope::SetMaxValue(int value) {
  CheckScopeInt(value);
  if (value == max_value_ || value <= min_value_) return;
  max_value_ = value;
  ClearHistory();
  UpdateControl();
}

void TGrScope::SetMinValue(int value) {
  CheckScopeInt(value);
  if (value == min_value_ || value >= max_value_) return;
  min_value_ = value;
  ClearHistory();
  UpdateControl();
}

void TGrScope::SetChannels(const TGrChannels& value) {
  channels_->Assign(value);
}

void TGrScope::SetDirection(TScrolldirection value) {
  if (value == direction_) return;
  direction_ = value;
  UpdateControl();
}

void TGrScope::SetGridSize(int value) {
  CheckMaxInt(value);
  if (value == grid_size_) return;
  grid_size_ = value;
  // The same lines, from a phase within the new spacing.
  grid_phase_ %= grid_size_;
  UpdateControl();
}

void TGrScope::SetGridLineWidth(int value) {
  if (value == grid_line_width_) return;
  grid_line_width_ = value;
  UpdateControl();
}

void TGrScope::SetGridColor(TColor value) {
  if (value == grid_color_) return;
  grid_color_ = value;
  UpdateControl();
}

void TGrScope::SetBaseOffset(int value) {
  if (value < 0 || value > 100) throw ERangeError();
  if (value == base_offset_) return;
  base_offset_ = value;
  UpdateControl();
}

void TGrScope::SetBaseColor(TColor value) {
  if (value == base_color_) return;
  base_color_ = value;
  UpdateControl();
}

void TGrScope::SetFrequency(int value) {
  CheckMaxInt(value);
  if (value == frequency_) return;
  frequency_ = value;
  UpdateControl();
}

bool TGrScope::Threaded() const {
  return timer_->TimerType() == TGrTimerType::ttThread;
}

void TGrScope::SetThreaded(bool value) {
  timer_->SetTimerType(value ? TGrTimerType::ttThread : TGrTimerType::ttSystem);
}

void TGrScope::SetActive(bool value) {
  if (value == active_) return;
  active_ = value;
  ApplyTimerEnabled();
}

void TGrScope::ApplyTimerEnabled() {
  timer_->SetEnabled(active_ && auto_update_);
}

void TGrScope::ClearHistory() {
  for (int i = 0; i < channels_->Count(); ++i) channels_->Items(i)->ClearHistory();
}

void TGrScope::TimerTick(TObject*) {
  if (animate_grid_) grid_phase_ = NextGridPhase(grid_phase_);
  const int count = channels_->Count();
  for (int i = 0; i < count; ++i) {
    int v = min_value_;
    if (on_need_data_) on_need_data_(this, i, v);
    if (v < min_value_) v = min_value_;
    if (v > max_value_) v = max_value_;
    // The handler may have removed channels.
    if (i < channels_->Count()) channels_->Items(i)->AddSample(v, buffer_size_);
  }
  if (!painting_ && !MoveOnScreen()) UpdateControl();
}

int TGrScope::NextGridPhase(int phase) const {
  // Kept within one grid spacing whatever Frequency is; where a single step
  // of GridSize would do, this gives the same phase.
  const std::int64_t g = grid_size_;
  std::int64_t p = phase;
  if (direction_ == TScrolldirection::sdRightToLeft) {
    p = ((p + frequency_) % g + g) % g;
  } else {
    p -= frequency_;
    if (p <= 0) p = ((p - 1) % g + g) % g + 1;
  }
  return static_cast<int>(p);
}

void TGrScope::Paint() {
  painting_ = true;
  const TScopeExit painted([this] { painting_ = false; });
  // The tick that moved the picture drew it and knows what the screen shows.
  if (image_ready_) {
    TGrGraphicImageControl::Paint();
    return;
  }
  DrawPicture();
  TGrGraphicImageControl::Paint();
  if (!PaintingOnScreen()) return;
  // Remember what the screen shows: this picture where the paint covered
  // the whole control, or where it covered a part of one that was already
  // there; otherwise nothing certain.
  const TPicture now = Picture();
  QPainter* dc = Canvas().Painter();
  const QRegion whole(0, 0, Width(), Height());
  const bool covered = !dc->hasClipping() || whole.subtracted(dc->clipRegion()).isEmpty();
  if (covered)
    shown_ = now;
  else if (shown_ && !(*shown_ == now))
    shown_.reset();
}

void TGrScope::DrawPicture() {
  PaintBackground();
  DrawGrid();
  DrawChannels();
}

namespace {

// The columns a moving tick draws anew at the side where samples come in:
// the new sample's step and the old first one, which rose from the base row
// beyond the edge (formed in 64 bits: Frequency may be near the int limit).
std::int64_t EdgeStrip(int frequency) {
  return 2 * static_cast<std::int64_t>(frequency) + 2;
}

}  // namespace

int TGrScope::RecordsOnPicture() const {
  // Sample k lies k * Frequency from the edge where samples come in; the
  // segments to the first two beyond the far edge can still cross it.
  return std::max(0, Width()) / std::max(1, frequency_) + 3;
}

TGrScope::TPicture TGrScope::Picture() const {
  TPicture p;
  p.width = Width();
  p.height = Height();
  p.color = Color();
  p.transparent = Transparent();
  p.grid_size = grid_size_;
  p.grid_line_width = grid_line_width_;
  p.grid_phase = grid_phase_;
  p.grid_color = grid_color_;
  p.base_offset = base_offset_;
  p.base_color = base_color_;
  p.frequency = frequency_;
  p.direction = direction_;
  p.min_value = min_value_;
  p.max_value = max_value_;
  const std::size_t head = static_cast<std::size_t>(RecordsOnPicture() + 1) * kGrRecordLength;
  for (int i = 0; i < channels_->Count(); ++i) {
    const TGrChannel& c = *channels_->Items(i);
    p.traces.push_back({c.Visible(), c.Color(), c.Width(), c.Style(), c.History().substr(0, head)});
  }
  return p;
}

bool TGrScope::OneTickOn(const TPicture& before, const TPicture& now) const {
  // Wider pens are drawn by Qt's painter, whose pixels are not shown to be
  // the same when a line is moved and cut at the strip.
  if (now.transparent || !animate_grid_ || now.grid_line_width != 1) return false;
  if (EdgeStrip(now.frequency) >= now.width || now.height <= 0) return false;
  TPicture moved = before;
  moved.grid_phase = NextGridPhase(before.grid_phase);
  if (moved.traces.size() != now.traces.size()) return false;
  const std::size_t shown = static_cast<std::size_t>(RecordsOnPicture()) * kGrRecordLength;
  for (std::size_t i = 0; i < now.traces.size(); ++i) {
    TPicture::TTrace& t = moved.traces[i];
    const std::string& after = now.traces[i].head;
    if (t.visible && t.width != 1) return false;
    // One record in front of the ones before, as far as they can show;
    // where the trace ended on the picture, none dropped at its end.
    const std::size_t compared = std::min(t.head.size(), shown);
    if (after.size() < kGrRecordLength + compared ||
        after.compare(kGrRecordLength, compared, t.head, 0, compared) != 0)
      return false;
    t.head = after;
  }
  return moved == now;
}

bool TGrScope::MoveOnScreen() {
  if (!shown_ || IsDestroying() || !OnScreen()) return false;
  const TPicture now = Picture();
  const TBitmap& bitmap = ImageBitmap();
  if (bitmap.Width() != now.width || bitmap.Height() != now.height || !OneTickOn(*shown_, now))
    return false;
  // The picture moves away from the side where samples come in; the strip
  // there is drawn anew.
  const int w = now.width, h = now.height, f = now.frequency;
  const int strip = static_cast<int>(EdgeStrip(f));
  const bool rtl = now.direction == TScrolldirection::sdRightToLeft;
  const TRect edge = rtl ? Rect(w - strip, 0, w, h) : Rect(0, 0, strip, h);
  {
    TCanvas& c = ImageCanvas();
    const TCanvasLock image_lock(c);
    c.CopyRect(rtl ? Rect(0, 0, w - f, h) : Rect(f, 0, w, h), c,
               rtl ? Rect(f, 0, w, h) : Rect(0, 0, w - f, h));
    c.SetClipRect(edge);
    painting_ = true;
    const TScopeExit unclip([this, &c] {
      c.SetClipRect(TRect{});
      painting_ = false;
    });
    DrawPicture();
  }
  shown_ = now;
  image_ready_ = true;
  const TScopeExit drawn([this] { image_ready_ = false; });
  ScrollOnScreen(rtl ? -f : f, 0, edge);
  return true;
}

void TGrScope::DrawGrid() {
  const int w = Width(), h = Height();
  const std::int64_t g = grid_size_;
  TCanvas& c = ImageCanvas();
  base_row_ = h - static_cast<int>(RoundEven(h / 100.0 * base_offset_)) - 1;
  c.Pen().SetColor(grid_color_);
  c.Pen().SetWidth(grid_line_width_);
  c.Pen().SetMode(TPenMode::pmCopy);
  c.Pen().SetStyle(TPenStyle::psSolid);
  TLineWalker pen(c, w, h, c.Pen().Width());
  for (std::int64_t x = -static_cast<std::int64_t>(grid_phase_); x <= w; x += g) {
    pen.MoveTo(x, 0);
    pen.LineTo(x, h);
  }
  std::int64_t y = base_row_;
  if (y >= 0) {
    do {
      y -= g;
      pen.MoveTo(0, y);
      pen.LineTo(w, y);
    } while (y >= 0);
  }
  y = base_row_;
  while (y <= h) {
    y += g;
    pen.MoveTo(0, y);
    pen.LineTo(w, y);
  }
  c.Pen().SetColor(base_color_);
  pen.MoveTo(0, base_row_);
  pen.LineTo(w, base_row_);
}

int TGrScope::PopSampleRow(std::string_view& text) const {
  const int h = Height();
  const std::int64_t v = PopGrRecord(text);
  // Formed in 64 bits: H x (v - MinValue) overflows 32 bits for wide ranges.
  const std::int64_t scaled = static_cast<std::int64_t>(h) * (v - min_value_);
  const double range = static_cast<double>(static_cast<std::int64_t>(max_value_) - min_value_);
  const std::int64_t row = h - RoundEven(static_cast<double>(scaled) / range) - 1;
  return static_cast<int>(std::clamp<std::int64_t>(row, 0, std::max(0, h - 1) + 1));
}

void TGrScope::DrawChannels() {
  const int w = Width(), h = Height();
  const std::int64_t f = frequency_;
  const bool rtl = direction_ == TScrolldirection::sdRightToLeft;
  TCanvas& c = ImageCanvas();
  for (int i = channels_->Count() - 1; i >= 0; --i) {
    const TGrChannel& ch = *channels_->Items(i);
    std::int64_t x = f + (rtl ? w : 0);
    if (!ch.Visible()) continue;
    std::string_view rest = ch.History();  // read without changing the channel
    c.Pen().SetColor(ch.Color());
    c.Pen().SetWidth(ch.Width());
    c.Pen().SetMode(TPenMode::pmCopy);
    c.Pen().SetStyle(TPenStyle::psSolid);
    TLineWalker pen(c, w, h, c.Pen().Width());
    pen.MoveTo(x, base_row_);
    // Left to right the walk would run on to the end of the history; past
    // the margin beyond the right edge nothing more can show.
    const std::int64_t stop_beyond = static_cast<std::int64_t>(w) + 4096 + c.Pen().Width();
    while (x > 0) {
      if (rest.empty()) {
        pen.LineTo(x - f, base_row_);
        break;
      }
      const int y = PopSampleRow(rest);
      pen.LineTo(x - f, y);
      x += rtl ? -f : f;
      if (ch.Style() == TGraphStyle::gsBar) pen.LineTo(x - f, y);
      if (!rtl && x - f > stop_beyond) break;
    }
  }
}
