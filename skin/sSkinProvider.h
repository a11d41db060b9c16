// The form provider: a component on a form that makes the whole window
// skinned. It takes over the form's message handling, paints the frame, the
// caption bar with its icon, caption text and title buttons and the client
// background from the skin, cuts the window's outline from the frame image's
// transparent corners, and moves, sizes, maximises, minimises and closes the
// window from its own frame.
#pragma once

#include <QImage>

#include <memory>
#include <string>
#include <vector>

#include "skin/sCommonData.h"
#include "skin/sSkinFrame.h"
#include "skin/sSkinManager.h"
#include "toolkit/Forms.h"

enum class TsGripMode : std::uint8_t { gmNone, gmRightBottom };
using enum TsGripMode;
enum class TsResizeMode : std::uint8_t { rmStandard, rmBorder };
using enum TsResizeMode;

// An extra caption button of the form, left of the standard ones.
class TsTitleButton {
 public:
  bool Enabled = true;
  TBitmap Glyph;
  std::string Name;
  bool UseSkinData = true;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
};

// The caption icon: a glyph of its own, and its size (0: by the caption height).
class TsTitleIcon {
 public:
  TBitmap Glyph;
  int Height = 0;
  int Width = 0;
};

class TsSkinProvider : public TComponent, public TsFormSkinLink, public TsSkinHost {
 public:
  static constexpr const char* kFormsOnly =
      "TsSkinProvider component must be used with forms only!\r\nFor frames skinning may be used "
      "TsFrameAdapter component.";

  // Placed on a form it takes the form over at once; on anything else it
  // warns that it works with forms only.
  explicit TsSkinProvider(TComponent* owner);
  ~TsSkinProvider() override;

  // An automatic provider for a form without one (the window hook's
  // adoption): owned by the caller, painted with `manager`. An adopted form
  // takes the skin's colours for its background and text.
  static std::unique_ptr<TsSkinProvider> Adopt(TCustomForm* form, TsSkinManager* manager,
                                               bool skin_menu_line);

  TCustomForm* Form() const { return form_; }

  // Published properties.
  TAlignment CaptionAlignment() const { return caption_alignment_; }
  void SetCaptionAlignment(TAlignment value);
  // The form's skin state: section "FORM", its indexes, the window cache.
  TsCommonData& SkinData() { return *skin_data_; }
  TsGripMode GripMode() const { return grip_mode_; }
  void SetGripMode(TsGripMode value);
  bool MakeSkinMenu() const { return make_skin_menu_; }
  void SetMakeSkinMenu(bool value) { make_skin_menu_ = value; }
  const std::string& MenuLineSkin() const { return menu_line_skin_; }
  void SetMenuLineSkin(const std::string& value) { menu_line_skin_ = value; }
  TsResizeMode ResizeMode() const { return resize_mode_; }
  void SetResizeMode(TsResizeMode value) { resize_mode_ = value; }
  bool ScreenSnap() const { return screen_snap_; }
  void SetScreenSnap(bool value) { screen_snap_ = value; }
  int SnapBuffer() const { return snap_buffer_; }
  void SetSnapBuffer(int value) { snap_buffer_ = value; }
  bool ShowAppIcon() const { return show_app_icon_; }
  void SetShowAppIcon(bool value);
  std::vector<std::unique_ptr<TsTitleButton>>& TitleButtons() { return title_buttons_; }
  TsTitleIcon& TitleIcon() { return title_icon_; }
  const std::string& TitleSkin() const { return title_skin_; }
  void SetTitleSkin(const std::string& value);
  bool UseGlobalColor() const { return use_global_color_; }
  void SetUseGlobalColor(bool value) { use_global_color_ = value; }
  TEvent<TObject* /*Sender*/, const std::string& /*Section*/> OnSkinItem;

  // Whether the form is painted from the skin now (a skin with its section).
  bool Skinned() const { return section_ >= 0; }
  bool FormActive() const { return active_; }
  const TsFrameGeometry& Geometry() const { return geometry_; }
  const std::vector<int>& ButtonStates() const { return buttons_.States(); }
  // The window cache, current after the call.
  const TBitmap& WindowCache();
  // The window's outline as the skin cuts it (empty without a skin or border).
  QRegion Region() const;

  // TsFormSkinLink.
  TsSkinManager* LinkedManager() const override { return skin_data_->Manager(); }
  void RecomputeFrame() override;

  // TsSkinHost: the form's look is the hot one while it is active.
  int CurrentSkinState() const override { return active_ ? 1 : 0; }
  void PrepareCache() override;
  TPoint ClientOriginInCache() const override;
  void SkinSectionChanged() override;

 protected:
  void Notification(TComponent* component, TOperation operation) override;
  void Loaded() override;

 private:
  void Attach(TCustomForm* form);
  void Detach();
  void NewWndProc(TMessage& m);
  bool SkinCommand(TMessage& m);
  bool FrameMessage(TMessage& m);
  void LookUp();
  void ApplyFrame();
  void DropFrame();
  void UpdateGeometry();
  TsFrameFacts FactsNow() const;
  TsFramePaint PaintInput() const;
  void MarkStale(bool whole);
  void InvalidateFrame(bool band_only);
  void UpdateRegion();
  TPoint WindowPoint(std::intptr_t lparam) const;
  void ButtonClicked(int index);
  bool Sizeable() const;

  TCustomForm* form_ = nullptr;
  TWndMethod old_proc_;
  bool adopted_ = false;
  bool skin_menu_line_ = true;

  TAlignment caption_alignment_ = taLeftJustify;
  std::unique_ptr<TsCommonData> skin_data_;
  TsGripMode grip_mode_ = gmNone;
  bool make_skin_menu_ = false;
  std::string menu_line_skin_;
  TsResizeMode resize_mode_ = rmStandard;
  bool screen_snap_ = false;
  int snap_buffer_ = 10;
  bool show_app_icon_ = true;
  std::vector<std::unique_ptr<TsTitleButton>> title_buttons_;
  TsTitleIcon title_icon_;
  std::string title_skin_;
  bool use_global_color_ = true;

  int section_ = -1;
  int title_section_ = -1;
  bool active_ = false;
  TsFrameGeometry geometry_;
  TsTitleButtonStates buttons_;
  // The window state the title buttons were last laid out for.
  TWindowState buttons_state_ = wsNormal;
  TBitmap frame_band_;
  bool stale_ = true;
  bool band_stale_ = true;
  std::vector<TRect> cuts_;
  QImage icon_;
};
