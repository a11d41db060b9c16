// Moving and sizing a top-level window from a frame the program paints
// itself. The window system is asked first; where it does not take over (no
// window manager, or one without that service) the window follows the
// pointer until the button is released.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

enum class TDragResult {
  None,          // nothing started (no window, no native window)
  WindowSystem,  // the window system moves or sizes the window
  Tracking,      // the program moves or sizes it from the pointer
};

// Starts moving (`edges` empty) or sizing `window` by the edges given, the
// pointer pressed at `global_pos` (screen coordinates). While the program
// tracks, the window's pointer moves and the release go to the drag, not to
// the window. A size never goes below `min_size`.
TDragResult BeginWindowDrag(QWidget* window, Qt::Edges edges, QPoint global_pos,
                            QSize min_size = QSize());
// Whether the program is moving or sizing `window` now.
bool WindowDragActive(const QWidget* window);

// Where a window goes when the pointer has moved from `start_pos` to `pos`:
// moved by the difference, or with the edges given following it, keeping
// the opposite edges in place and at least `min_size`.
QRect DraggedGeometry(const QRect& start, Qt::Edges edges, QPoint start_pos, QPoint pos,
                      QSize min_size);
