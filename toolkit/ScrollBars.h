// The scroll bars of windows that scroll their content (the memo): the
// scroll information a bar shows, the scroll commands (WM_VSCROLL and
// WM_HSCROLL through the window's message chain), and a seam through which
// someone else (the skin) can paint a bar and take the pointer over it.
//
// Qt's scroll bar of the window stays the one source of truth for range,
// page and position: the information is read from it, the commands move it,
// and the wheel keeps scrolling through it. A handler only replaces how the
// bar looks and what a pointer does over its area.
#pragma once

#include <cstdint>

#include "toolkit/Controls.h"

class QAbstractScrollArea;

enum TScrollBarKind : int { SB_HORZ = 0, SB_VERT = 1 };

// The scroll codes of WM_VSCROLL and WM_HSCROLL (low word of WParam). For
// SB_THUMBTRACK and SB_THUMBPOSITION the position travels in LParam, as a
// whole int: a 16-bit word would cut long texts short.
enum TScrollCode : int {
  SB_LINEUP = 0,
  SB_LINELEFT = 0,
  SB_LINEDOWN = 1,
  SB_LINERIGHT = 1,
  SB_PAGEUP = 2,
  SB_PAGELEFT = 2,
  SB_PAGEDOWN = 3,
  SB_PAGERIGHT = 3,
  SB_THUMBPOSITION = 4,
  SB_THUMBTRACK = 5,
  SB_TOP = 6,
  SB_LEFT = 6,
  SB_BOTTOM = 7,
  SB_RIGHT = 7,
  SB_ENDSCROLL = 8,
};

// What a scroll bar shows: the range runs from Min to
// Max inclusive, Page units are in view, and the position runs from Min to
// MaxPos() (the last page ends at Max). TrackPos is where the slider is while
// it is being dragged (equal to Pos otherwise).
struct TScrollInfo {
  int Min = 0;
  int Max = 0;
  int Page = 0;
  int Pos = 0;
  int TrackPos = 0;

  // The highest position: Max less all but one unit of the page.
  int MaxPos() const;
  // Whether there is anything to scroll: the highest position lies past Min.
  bool Scrolls() const { return MaxPos() > Min; }
};

// The information of `control`'s bar; false (and `info` untouched) when the
// control has no such bar.
bool GetScrollInfo(const TWinControl* control, TScrollBarKind bar, TScrollInfo& info);
// Whether the bar is shown now (its window may be hidden).
bool ScrollBarShown(const TWinControl* control, TScrollBarKind bar);
// Whether the bar takes input: shown, its window enabled, and something to
// scroll.
bool ScrollBarEnabled(const TWinControl* control, TScrollBarKind bar);
// The bar's rectangle in the control's window coordinates (empty without one).
TRect ScrollBarRect(const TWinControl* control, TScrollBarKind bar);
// Repaints the bar.
void InvalidateScrollBar(const TWinControl* control, TScrollBarKind bar);

// Carries out a scroll command on the bar: a line or a page (at least one
// unit) up or down, to the top or the bottom, the slider dragged to `pos`
// (SB_THUMBTRACK: the content follows at once) or dropped there
// (SB_THUMBPOSITION), or the end of a scroll (SB_ENDSCROLL). Positions are
// kept in range. TWinControl does this for WM_VSCROLL and WM_HSCROLL that
// reach the end of its chain.
void ScrollControl(TWinControl* control, TScrollBarKind bar, int code, int pos);

// Whoever paints a bar and takes the pointer over it.
class TScrollBarHandler {
 public:
  virtual ~TScrollBarHandler() = default;
  // Paints the bar: `dc` has the bar's top-left at (0, 0) and is clipped to
  // what needs painting, `size` is the bar's width and height.
  virtual void PaintBar(HDC dc, TPoint size) = 0;
  // A pointer message over the bar, in the bar's coordinates. After a press
  // on the bar the messages keep coming, from anywhere, until the release.
  virtual void BarMouse(const TMouseMessage& mouse) = 0;
  // The pointer left the bar.
  virtual void BarMouseLeave() = 0;
  // Where the bar (`size` its width and height) looks different once its
  // information went from `before` to `after`, in the bar's coordinates:
  // all of it unless the handler knows better, nothing when no pixel moved.
  // Only that is repainted, so a handler that narrows it paints the rest of
  // the bar as it was.
  virtual TRect ChangedArea(const TScrollInfo& before, const TScrollInfo& after, TPoint size);
};

// Gives `control`'s bar to `handler` (nullptr gives it back to its plain
// look and Qt's own pointer handling). Returns false when the control has
// no bar that can be handed over. The handler must be taken away again (set
// nullptr) before it is freed.
bool SetScrollBarHandler(TWinControl* control, TScrollBarKind bar, TScrollBarHandler* handler);
TScrollBarHandler* ScrollBarHandler(const TWinControl* control, TScrollBarKind bar);

// While it lives, the changes to `area`'s toolkit bars are held back: a
// change made in steps (a line added moves the range, then the position)
// repaints what differs between the first and the last look, not what each
// step passed through.
class TScrollBarBatch {
 public:
  explicit TScrollBarBatch(QAbstractScrollArea* area);
  ~TScrollBarBatch();
  TScrollBarBatch(const TScrollBarBatch&) = delete;
  TScrollBarBatch& operator=(const TScrollBarBatch&) = delete;

 private:
  QAbstractScrollArea* area_;
};

// Gives a scroll area the toolkit's scroll bars: as thick as the desktop's
// scroll bar metrics, and able to take a handler. The Qt bars they replace
// pass their range, page and position on.
void InstallScrollBars(QAbstractScrollArea* area);
