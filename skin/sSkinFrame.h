// A skinned window frame without the window: its geometry from the desktop
// metrics and the skin's title icons, the window cache (the "FORM" item, the
// caption band from the title section, the title buttons, the caption text)
// and the window's outline cut from the frame image's transparent corners.
// The form provider and the adapter of foreign windows both paint with it.
#pragma once

#include <string>
#include <vector>

#include "skin/sSkinModel.h"
#include "toolkit/Forms.h"
#include "toolkit/Graphics.h"

class QImage;

enum class TsTitleButtonKind { Close, Maximize, Minimize, Help, User };

// A title button as laid out: right to left from the caption band's right end.
struct TsTitleButtonPlace {
  TsTitleButtonKind Kind = TsTitleButtonKind::Close;
  int UserIndex = -1;  // for user buttons, their index in TitleButtons
  int Mask = -1;       // the "GLOBALINFO" glyph mask, -1 when the skin has none
  TRect Rect;          // window coordinates
};

// What the frame's geometry depends on.
struct TsFrameFacts {
  int Width = 0;
  int Height = 0;
  TFormBorderStyle BorderStyle = TFormBorderStyle::bsSizeable;
  TBorderIcons BorderIcons = biSystemMenu | biMinimize | biMaximize;
  TWindowState State = wsNormal;
  int BorderWidth = 0;
  bool ShowAppIcon = true;  // the provider's ShowAppIcon and an icon to show
  int TitleIconWidth = 0;   // TitleIcon's size; 0 = by the caption height
  int TitleIconHeight = 0;
  int UserButtons = 0;
};

struct TsFrameGeometry {
  int Frame = 0;    // frame width and height
  int Caption = 0;  // caption bar height
  int Icon = 0;     // caption icon size, 0 when none is shown
  bool BigSet = true;
  std::vector<TsTitleButtonPlace> Buttons;  // right to left
  int ButtonsWidth = 0;                     // all buttons with their spacing
  TRect IconRect;
  TRect TextRect;
  // Frame margins around the client area.
  TRect Margins() const { return {Frame, Frame + Caption, Frame, Frame}; }
  // The caption band: the caption bar with the frame above it.
  int BandHeight() const { return Caption > 0 ? Caption + Frame : 0; }
};

// The frame width of a border style (the dialog frame for fixed ones, the
// sizing frame for sizeable ones) plus the form's BorderWidth; 0 without a border.
int FrameWidthOf(TFormBorderStyle style, int border_width);
// The caption bar height: the small caption for tool windows; 0 without a
// caption bar unless minimised.
int CaptionHeightOf(TFormBorderStyle style, TWindowState state);
// The caption icon's size for a caption height (0, 8, 16 or 32).
int IconSizeOf(int caption_height);

TsFrameGeometry FrameGeometryOf(const TsSkinModel& model, const TsFrameFacts& facts);

// Everything one paint of the window cache needs.
struct TsFramePaint {
  const TsSkinModel* Model = nullptr;
  int Section = -1;       // "FORM" or "DIALOG"
  int TitleSection = -1;  // "FORMTITLE" unless TitleSkin names another
  TsFrameFacts Facts;
  TsFrameGeometry Geometry;
  bool Active = false;
  bool Enabled = true;
  std::string Caption;
  TFont Font;  // the window's font: the caption takes its face in bold
  TAlignment CaptionAlignment = taLeftJustify;
  std::vector<int> ButtonStates;           // per placed button: 0 normal, 1 hot, 2 pressed
  std::vector<const TBitmap*> UserGlyphs;  // per user button, may be null
  std::vector<bool> UserEnabled;
  const QImage* Icon = nullptr;
  bool Grip = false;         // GripMode gmRightBottom
  TColor FallbackColor = 0;  // the window's colour, for a section without a cache
};

// Paints the window cache (sized to the window, or to its minimised size):
// the frame, and then the caption band. With `frame_band` given, the frame
// under the caption band is kept there, and `caption_only` repaints only the
// band from it when its size still fits.
void PaintWindowCache(TBitmap& cache, const TsFramePaint& paint, TBitmap* frame_band,
                      bool caption_only);

// The one-pixel-high runs of the transparent key in the corner pieces of a
// border mask, placed on a `width` x `height` rectangle: the window's outline
// leaves these out.
std::vector<TRect> CornerCutsOf(const TsSkinModel& model, int mask, int width, int height);
// The cuts of the frame's and the caption band's border masks.
std::vector<TRect> WindowCutsOf(const TsSkinModel& model, int section, int title_section, int width,
                                int height, int band_height);

// The glyph strength of an inactive window's or a disabled button's glyph.
constexpr int kInactiveGlyphStrength = 128;

// The title buttons' states as the pointer moves over them: the button under
// the pointer is hot (1); a pressed one is 2 while the pointer stays on it
// and normal when it moves off; a release on the pressed button clicks it.
class TsTitleButtonStates {
 public:
  // Forgets every state for `count` buttons (a new layout).
  void Reset(std::size_t count);
  const std::vector<int>& States() const { return states_; }
  int Pressed() const { return pressed_; }
  // Each gets the button under the pointer (-1: none) and returns whether a
  // state changed.
  bool Move(int index);
  bool Down(int index);
  bool Leave();
  // The button clicked (-1: none); `changed` tells whether a state changed.
  int Up(int index, bool& changed);

 private:
  bool Set(std::vector<int> states);
  std::vector<int> states_;
  int pressed_ = -1;
};

// The placed button at `p` (window coordinates), or -1.
int TitleButtonAt(const TsFrameGeometry& geometry, TPoint p);
// The hit-test code of a point of a skinned frame: the title buttons, the
// caption icon (the system menu), then borders, corners and caption.
int SkinFrameHitTest(const TsFrameGeometry& geometry, TPoint p, int width, int height,
                     bool sizeable);
