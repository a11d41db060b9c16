// Text for skinned controls: a small layout (alignment, word breaks, tabs,
// end ellipsis) and drawing with the skin's contour colours.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "toolkit/Graphics.h"

// Layout flags.
enum TsTextFlag : unsigned {
  txLeft = 0,
  txCenter = 1,
  txRight = 2,
  txVCenter = 4,
  txBottom = 8,
  txWordBreak = 0x10,
  txSingleLine = 0x20,
  txExpandTabs = 0x40,
  txNoPrefix = 0x800,
  txEndEllipsis = 0x8000,
};

// The text colour of a state, then its contour colours to the left, top,
// right and bottom (-1: no contour on that side).
using TsTextColors = std::array<TColor, 5>;

// One laid-out line: its text and where it starts.
struct TsTextLine {
  std::string text;
  int x = 0;
  int y = 0;
};

// The lines of `text` laid out in `rect` with the canvas's font.
std::vector<TsTextLine> LayoutText(TCanvas& canvas, const std::string& text, const TRect& rect,
                                   unsigned flags);

// Text with contours, in the canvas's font. An enabled control without
// `custom_font` draws each contour that is not -1 first, the text shifted one
// pixel left, up, right and down, then the text in colors[0]; with
// `custom_font` only the text, in the font's own colour. A disabled control
// draws the text once in 0.4 × its text colour + 0.6 × `global_color`. The
// canvas's font colour and brush style are restored.
void DrawContourText(TCanvas& canvas, const std::string& text, const TRect& rect, unsigned flags,
                     const TsTextColors& colors, bool enabled, bool custom_font,
                     TColor global_color);
