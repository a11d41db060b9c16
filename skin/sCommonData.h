// The skin state every skinned control (and the form's provider) keeps in
// one TsCommonData, published as SkinData: which section of the skin it
// paints with, the indexes found for it, the cache bitmap of its look, its
// flags (background changed, updating, focused, mouse above, ...), the
// answers to the skin commands, what lies behind it (QueryBackInfo), the item
// painter, the copy of the cache to the screen and the fades between states.
// One class, one file per job: sCommonData.cpp (kinds, settings, look-ups,
// state rules), sCommonCommands.cpp (the skin commands, with the table of
// who sends each), sCommonReactions.cpp, sCommonBackground.cpp,
// sCommonCache.cpp and sCommonFades.cpp.
//
// A control owns its TsCommonData and routes to it, from its Dispatch:
//   - every SM_LUMVEXCMD message (HandleCommand answers the common commands),
//   - every other message, after its own handling (React: moving, sizing,
//     focus, enabling, cancel mode, showing, the pointer).
// It implements TsSkinHost so that the data can ask for its state and have
// its cache rebuilt.
#pragma once

#include <QImage>
#include <QPoint>

#include <cstdint>
#include <memory>
#include <string>

#include "skin/SkinPainter.h"
#include "skin/sConst.h"
#include "skin/sSkinMessages.h"
#include "skin/sSkinModel.h"
#include "toolkit/Classes.h"
#include "toolkit/Graphics.h"
#include "toolkit/Messages.h"

// Draws what the painter's clip lets through of `image` (its top left at
// `at`; all of it without a clip), piece by piece in bands of a few dozen
// lines, the skin's 24-bit images converted to the screen's layout first:
// drawn whole they would be converted whole, however little of them shows,
// and tall ones blended on worker threads.
void DrawClippedImage(HDC dc, QPoint at, const QImage& image);

class TControl;
class TWinControl;
class TsCommonData;
class TsFadeAnimation;
class TsSkinManager;
struct TMessage;

// Control kinds: chosen by the control class, they pick the default section
// and tell whether the control shows a hot state.
enum TsControlKind : int {
  ckOther = 0,
  ckEdit,  // edits, memos, list boxes and similar
  ckComboBox,
  ckBar,
  ckBarTitle,
  ckCheckBox,
  ckRadioButton,
  ckPanel,
  ckPanelLow,
  ckToolBar,
  ckDragBar,
  ckTabSheet,
  ckGroupBox,
  ckSplitter,
  ckSpeedButton,
  ckButton,
  ckToolButton,
  ckPageControl,
  ckStatusBar,
  ckGauge,
  ckTrackBar,
  ckScrollBox,  // scrolling containers
  ckForm,       // the form's provider
};

// The section a control of `kind` takes when it is loaded with none;
// kinds without one use `class_name`.
std::string DefaultSectionOf(int kind, const std::string& class_name);
// Kinds whose look changes under the pointer.
bool KindShowsHotState(int kind);
// Kinds that take the section's colours into their own (edits, memos,
// combo boxes): their text area is painted by the editor, not the skin.
bool KindIsEditLike(int kind);
// Kinds that decide whether they need a cache; the others always keep one.
bool KindDecidesCache(int kind);

// The kind of a background answer.
enum TsBackKind : int { bkUnknown = 0, bkFill = 1, bkCache = 2 };

// What a control learns from its parent about what lies behind it
// (QueryBackInfo, passed by address as the message's data).
struct BackgroundInfo {
  TBitmap* Bitmap = nullptr;  // the parent's look (bkCache)
  TColor Color = 0xFF00FF;    // the colour (bkFill); 0xFF00FF: nothing usable known
  int OffsetX = 0;            // where the asking control's parent client (0, 0)
  int OffsetY = 0;            // lies inside Bitmap
  TRect R;                    // target rectangle (please-draw)
  int Kind = bkUnknown;       // TsBackKind
  bool PleaseDraw = false;    // draw the background into DrawDC at R
  HDC DrawDC = nullptr;
};

// The painting layer's view of an answer (the offsets unchanged).
TsBackground BackgroundOf(const BackgroundInfo& info);

// Asks `control`'s parent what lies behind it: the record's kind is cleared
// and the parent asked; a parent that answers nothing gives its Color
// (kind 1), which fills R on DrawDC with please-draw set. A control without
// a parent gets the default manager's global colour, or its own Color.
void AskParentBackground(TControl* control, BackgroundInfo& info);

// What the skin data needs of its control.
class TsSkinHost {
 public:
  virtual ~TsSkinHost() = default;
  // The control's state now: 0 normal, 1 hot, 2 pressed.
  virtual int CurrentSkinState() const = 0;
  // Rebuilds the cache for the current state (and clears BGChanged).
  virtual void PrepareCache() = 0;
  // A new section was set on an owner that is not a control (the provider).
  virtual void SkinSectionChanged() {}
  // Where the children's (0, 0) lies in the cache of an owner that is not a
  // control (the provider keeps the whole window, frame and all).
  virtual TPoint ClientOriginInCache() const { return {}; }
  // Shows a fade frame now and returns true, or returns false to have the
  // control repainted (its paint shows DisplayBitmap()).
  virtual bool ShowFadeFrame() { return false; }
  // Fades of this control take half the steps now (a press or a release).
  virtual bool WantsShortFade() const { return false; }
};

class TsCommonData : public TObject {
 public:
  // `owner` is the object that owns the data (the control, or the provider
  // with `owner_control` its form or none). `class_name` names the section
  // of kinds without a default one.
  TsCommonData(TObject* owner, TControl* owner_control, TsSkinHost* host, int kind,
               std::string class_name = {});
  ~TsCommonData() override;

  // ---- published properties
  const std::string& SkinSection() const { return skin_section_; }
  void SetSkinSection(const std::string& value);
  // The manager named for this control; nullptr means the default one.
  TsSkinManager* SkinManager() const { return skin_manager_; }
  void SetSkinManager(TsSkinManager* value);
  bool CustomColor() const { return custom_color_; }
  void SetCustomColor(bool value);
  bool CustomFont() const { return custom_font_; }
  void SetCustomFont(bool value);

  // ---- state
  TControl* OwnerControl() const { return owner_control_; }
  TObject* OwnerObject() const { return owner_object_; }
  // The manager in use: the named one or the default one (may be none).
  TsSkinManager* Manager() const;
  const TsSkinModel* Model() const;
  int SkinIndex() const { return skin_index_; }
  int BorderIndex() const { return border_index_; }
  int Texture() const { return texture_; }
  int HotTexture() const { return hot_texture_; }
  TBitmap& CacheBmp() { return cache_; }
  const TBitmap& CacheBmp() const { return cache_; }
  int ControlKind() const { return kind_; }
  bool BGChanged() const { return bg_changed_; }
  bool HalfVisible() const { return half_visible_; }
  void SetHalfVisible(bool value) { half_visible_ = value; }
  // The updating flag as set (DropSkin, MarkUpdating); see Updating().
  bool UpdatingFlag() const { return updating_; }
  bool FocusedFlag() const { return focused_; }
  bool MouseAbove() const { return mouse_above_; }
  // The look is one opaque colour: no cache is kept.
  bool PlainColor() const { return plain_color_; }
  // Background layout: kBgTexture, plus the gradient's kind.
  int BGType() const { return bg_type_; }
  static constexpr int kBgHorizontal = 1;
  static constexpr int kBgVertical = 2;
  static constexpr int kBgMesh = 3;
  static constexpr int kBgTexture = 4;

  // A manager with a section for this control: it paints from the skin.
  bool Skinned() const;
  const SectionRecord* Section() const;
  // The section's Transparency for `state` (hot values for any state but 0).
  int TransparencyFor(int state) const;

  // ---- life
  // Once the control's settings are applied: the default section when
  // none was given, then the look-up.
  void Loaded();
  // Looks the indexes up again (a new skin, section or manager).
  void UpdateIndexes();
  // Containers decide whether their look needs a cache (see KindDecidesCache).
  void DecideCache();
  void MarkBackDirty() { bg_changed_ = true; }

  // ---- state rules
  // Enabled, not being destroyed, and focused or (with the mouse above) of
  // a kind that shows a hot state.
  bool Active() const;
  // Recomputes whether the control must not paint now: set by DropSkin or
  // MarkUpdating, or while the parent's background is changed or it is
  // updating (a child copies from its parent's cache).
  bool Updating() const;

  // ---- messages
  // Answers the skin commands every skinned control shares; false for a
  // command it does not know (the control answers it itself).
  bool HandleCommand(TMessage& message);
  // Reacts to a platform or toolkit message the control has handled:
  // moving, sizing, focus, enabling, cancel mode, showing and the pointer.
  void React(const TMessage& message);

  // ---- backgrounds
  // The answer of this control, as a parent, to QueryBackInfo.
  void AnswerBackInfo(BackgroundInfo& info);
  // The colour a child should assume behind it (QueryFillColor).
  TColor FillColor();
  // Extra offset of the children inside the cache: they sit inside the
  // control's client area, which the non-client frame insets.
  TPoint ChildOffset() const;
  // What lies behind the control's cache pixel (0, 0), asked of its parent.
  TsBackground ParentBackground();

  // ---- painting
  // The item painter: the section's look for `state` into `rect` of
  // `cache` over what the parent answers, then "BORDERSMASK" and the corner
  // images. `position` is the control's place inside its parent's client.
  void PaintItem(TBitmap& cache, const TRect& rect, bool filling, int state, TPoint position);
  // The section request for `state` (textures, custom colour).
  TsSectionRequest Request(int state) const;
  // Rebuilds the cache when the background changed or the state is not the
  // one it was built for (a state change starts a fade where it can).
  void EnsureCache();
  // What the screen shows: the fade's frame while one runs, else the cache.
  const TBitmap& DisplayBitmap() const;
  // Copies DisplayBitmap() to the window's client area: `dc` is in client
  // coordinates; visible opaque windowless children and child windows are
  // left out of the clip, then the windowless children are painted on top.
  void CopyCacheToScreen(HDC dc);
  // The frame (non-client) part of DisplayBitmap(); `dc` in window coordinates.
  void CopyFrameToScreen(HDC dc);
  // WM_NCPAINT of a skinned control: the cache made current and its frame
  // copied, unless the control must wait (Updating()) or keeps no cache.
  void PaintFrameFromCache(HDC dc);
  // The state the cache was last built for (-1: never built).
  int CacheState() const { return cache_state_; }
  // The host rebuilt the cache for `state`: it is current now.
  void CacheBuilt(int state) {
    cache_state_ = state;
    bg_changed_ = false;
  }

  // ---- fades
  // The state may have changed: starts a fade from the current look (when
  // the section fades, the cache is current and no skin is being loaded),
  // else marks the background changed and invalidates the control.
  // `short_fade` halves the steps (presses and releases).
  void LookChanged(bool short_fade = false);
  bool Fading() const { return fade_ != nullptr; }
  // Stops and frees the fade; the control is then painted normally.
  void HaltFade();
  // One step of the fade (its timer calls it every 10 ms).
  void FadeStep();
  const TsFadeAnimation* Fade() const { return fade_.get(); }

 private:
  bool CanFade(int state) const;
  void StartFade(bool short_fade);
  void Invalidate();
  void ApplySectionColors();
  void ApplySystemColors();
  void PointerIn();
  void PointerOut();
  // The command names no manager, or this control's.
  bool ManagerMatches(const TMessage& message) const;
  bool DependsOnParent() const;

  // Published.
  std::string skin_section_;
  TsSkinManager* skin_manager_ = nullptr;
  bool custom_color_ = false;
  bool custom_font_ = false;

  // Per-control state, in this order.
  TControl* owner_control_;
  TObject* owner_object_;
  // (the manager: skin_manager_ above; nullptr is the default one)
  int skin_index_ = -1;
  int border_index_ = -1;
  int texture_ = -1;
  int hot_texture_ = -1;
  TBitmap cache_{0, 0};
  int kind_;
  bool bg_changed_ = true;
  bool half_visible_ = false;
  bool updating_ = false;
  bool focused_ = false;
  bool mouse_above_ = false;
  bool plain_color_ = false;
  int bg_type_ = 0;

  TsSkinHost* host_;
  std::string class_name_;
  int cache_state_ = -1;
  std::unique_ptr<TsFadeAnimation> fade_;
};
