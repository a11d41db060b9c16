// The desktop's metrics as the program's windows are laid out against them:
// frame and caption sizes, the caption fonts, scroll bar and arrow sizes.
// One table at 96 pixels per inch; skin painting and layout read it instead
// of writing the numbers down themselves.
#pragma once

#include <string>

namespace platform {

enum TSystemMetric : int {
  SM_CXVSCROLL = 2,  // width of a vertical scroll bar
  SM_CYHSCROLL = 3,  // height of a horizontal scroll bar
  SM_CYCAPTION = 4,  // caption bar height
  SM_CXBORDER = 5,   // thin window border
  SM_CYBORDER = 6,
  SM_CXDLGFRAME = 7,  // frame of a fixed-size (dialog) window
  SM_CYDLGFRAME = 8,
  SM_CYVTHUMB = 9,   // scroll box height in a vertical bar
  SM_CXHTHUMB = 10,  // scroll box width in a horizontal bar
  SM_CXICON = 11,
  SM_CYICON = 12,
  SM_CYMENU = 15,     // one menu line
  SM_CYVSCROLL = 20,  // height of a vertical bar's arrow button
  SM_CXHSCROLL = 21,  // width of a horizontal bar's arrow button
  SM_CXMIN = 28,      // smallest window
  SM_CYMIN = 29,
  SM_CXSIZE = 30,  // caption button
  SM_CYSIZE = 31,
  SM_CXFRAME = 32,  // frame of a sizeable window
  SM_CYFRAME = 33,
  SM_CXMINTRACK = 34,  // smallest size a user can drag a window to
  SM_CYMINTRACK = 35,
  SM_CXDOUBLECLK = 36,
  SM_CYDOUBLECLK = 37,
  SM_CXSMICON = 49,
  SM_CYSMICON = 50,
  SM_CYSMCAPTION = 51,  // caption of a tool window
  SM_CXSMSIZE = 52,
  SM_CYSMSIZE = 53,
  SM_CXMINIMIZED = 57,  // a minimised window
  SM_CYMINIMIZED = 58,
  SM_CXDRAG = 68,
  SM_CYDRAG = 69,
};

// The metric's value in pixels; 0 for a metric the table does not know
// (the screen's size is the window system's to tell).
int GetSystemMetrics(int metric);

// A font of the desktop's non-client areas. `Height` is the character
// height in pixels written as a negative number, as font heights are.
struct TMetricFont {
  std::string Name;
  int Height = 0;
  bool Bold = false;
};

enum class TMetricFontKind { Caption, SmallCaption, Menu, Message, Status };
TMetricFont GetMetricFont(TMetricFontKind kind);

}  // namespace platform
