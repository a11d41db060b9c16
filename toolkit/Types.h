// Basic value types shared by every layer above the platform: colours as
// 0x00BBGGRR (red in the low byte), points and rectangles.
#pragma once

#include <algorithm>
#include <cstdint>

using TColor = std::int32_t;

// Colours are 0x00BBGGRR; a value with the top bit set names a system colour
// (its low byte is the system colour index) and is resolved by ColorToRGB.
constexpr TColor RGB(int r, int g, int b) {
  return static_cast<TColor>((static_cast<std::uint32_t>(b & 0xFF) << 16) |
                             (static_cast<std::uint32_t>(g & 0xFF) << 8) |
                             static_cast<std::uint32_t>(r & 0xFF));
}
constexpr int GetRValue(TColor c) {
  return c & 0xFF;
}
constexpr int GetGValue(TColor c) {
  return (c >> 8) & 0xFF;
}
constexpr int GetBValue(TColor c) {
  return (c >> 16) & 0xFF;
}

constexpr TColor kSystemColorFlag = static_cast<TColor>(0x80000000u);
enum TSystemColorIndex : int {
  COLOR_SCROLLBAR = 0,
  COLOR_BACKGROUND = 1,
  COLOR_ACTIVECAPTION = 2,
  COLOR_INACTIVECAPTION = 3,
  COLOR_MENU = 4,
  COLOR_WINDOW = 5,
  COLOR_WINDOWFRAME = 6,
  COLOR_MENUTEXT = 7,
  COLOR_WINDOWTEXT = 8,
  COLOR_CAPTIONTEXT = 9,
  COLOR_ACTIVEBORDER = 10,
  COLOR_INACTIVEBORDER = 11,
  COLOR_APPWORKSPACE = 12,
  COLOR_HIGHLIGHT = 13,
  COLOR_HIGHLIGHTTEXT = 14,
  COLOR_BTNFACE = 15,
  COLOR_BTNSHADOW = 16,
  COLOR_GRAYTEXT = 17,
  COLOR_BTNTEXT = 18,
  COLOR_INACTIVECAPTIONTEXT = 19,
  COLOR_BTNHIGHLIGHT = 20,
  COLOR_3DDKSHADOW = 21,
  COLOR_3DLIGHT = 22,
  COLOR_INFOTEXT = 23,
  COLOR_INFOBK = 24,
  kSystemColorCount = 25,
};

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

constexpr TColor clScrollBar = kSystemColorFlag | COLOR_SCROLLBAR;
constexpr TColor clBackground = kSystemColorFlag | COLOR_BACKGROUND;
constexpr TColor clActiveCaption = kSystemColorFlag | COLOR_ACTIVECAPTION;
constexpr TColor clInactiveCaption = kSystemColorFlag | COLOR_INACTIVECAPTION;
constexpr TColor clMenu = kSystemColorFlag | COLOR_MENU;
constexpr TColor clWindow = kSystemColorFlag | COLOR_WINDOW;
constexpr TColor clWindowFrame = kSystemColorFlag | COLOR_WINDOWFRAME;
constexpr TColor clMenuText = kSystemColorFlag | COLOR_MENUTEXT;
constexpr TColor clWindowText = kSystemColorFlag | COLOR_WINDOWTEXT;
constexpr TColor clCaptionText = kSystemColorFlag | COLOR_CAPTIONTEXT;
constexpr TColor clActiveBorder = kSystemColorFlag | COLOR_ACTIVEBORDER;
constexpr TColor clInactiveBorder = kSystemColorFlag | COLOR_INACTIVEBORDER;
constexpr TColor clAppWorkSpace = kSystemColorFlag | COLOR_APPWORKSPACE;
constexpr TColor clHighlight = kSystemColorFlag | COLOR_HIGHLIGHT;
constexpr TColor clHighlightText = kSystemColorFlag | COLOR_HIGHLIGHTTEXT;
constexpr TColor clBtnFace = kSystemColorFlag | COLOR_BTNFACE;
constexpr TColor clBtnShadow = kSystemColorFlag | COLOR_BTNSHADOW;
constexpr TColor clGrayText = kSystemColorFlag | COLOR_GRAYTEXT;
constexpr TColor clBtnText = kSystemColorFlag | COLOR_BTNTEXT;
constexpr TColor clInactiveCaptionText = kSystemColorFlag | COLOR_INACTIVECAPTIONTEXT;
constexpr TColor clBtnHighlight = kSystemColorFlag | COLOR_BTNHIGHLIGHT;
constexpr TColor cl3DDkShadow = kSystemColorFlag | COLOR_3DDKSHADOW;
constexpr TColor cl3DLight = kSystemColorFlag | COLOR_3DLIGHT;
constexpr TColor clInfoText = kSystemColorFlag | COLOR_INFOTEXT;
constexpr TColor clInfoBk = kSystemColorFlag | COLOR_INFOBK;

// The system colour of index `index` (the default desktop scheme).
TColor GetSysColor(int index);
// Resolves a system colour to its RGB value; plain colours pass unchanged.
TColor ColorToRGB(TColor color);

struct TPoint {
  int X = 0;
  int Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;

  constexpr int Width() const { return Right - Left; }
  constexpr int Height() const { return Bottom - Top; }
  constexpr bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  constexpr bool Contains(TPoint p) const {
    return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom;
  }
  constexpr TRect Offset(int dx, int dy) const {
    return {Left + dx, Top + dy, Right + dx, Bottom + dy};
  }
  constexpr TRect Intersect(const TRect& o) const {
    TRect r{std::max(Left, o.Left), std::max(Top, o.Top), std::min(Right, o.Right),
            std::min(Bottom, o.Bottom)};
    if (r.IsEmpty()) return {};
    return r;
  }
  friend bool operator==(const TRect&, const TRect&) = default;
};

constexpr TRect Rect(int left, int top, int right, int bottom) {
  return {left, top, right, bottom};
}
constexpr TRect Bounds(int left, int top, int width, int height) {
  return {left, top, left + width, top + height};
}
constexpr TPoint Point(int x, int y) {
  return {x, y};
}
