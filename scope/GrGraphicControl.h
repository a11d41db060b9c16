// The windowless base controls of the scope family: TGrGraphicControl (a
// redraw request that respects loading, a bounds refresh and four
// notification hooks) and TGrGraphicImageControl (double buffering: the
// control paints into ImageBitmap, which reaches the screen in one block
// transfer per paint; optionally transparent over what lies beneath).
#pragma once

#include <memory>
#include <string>

#include "scope/GrComponent.h"
#include "scope/GrCursors.h"
#include "toolkit/Controls.h"
#include "toolkit/Graphics.h"

class TGrGraphicControl : public TGraphicControl {
 public:
  explicit TGrGraphicControl(TComponent* owner);

  const std::string& Version() const { return version_; }
  void SetVersion(const std::string&) {}  // read-only; never stored

  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  TNotifyEvent OnFontChanged;
  TNotifyEvent OnTextChanged;

  // The redraw request: repaints at once unless the settings are loading.
  virtual void UpdateControl();
  virtual void RefreshAutoSize();
  virtual void RefreshBounds();

 protected:
  // The toolkit's notifications, each followed by its hook.
  void Dispatch(TMessage& message) override;
  virtual void DoMouseEnter();
  virtual void DoMouseLeave();
  virtual void DoFontChanged();
  virtual void DoTextChanged();

 private:
  std::string version_;
  TRect bounds_rect_{};
};

class TGrGraphicImageControl : public TGrGraphicControl {
 public:
  explicit TGrGraphicImageControl(TComponent* owner);
  ~TGrGraphicImageControl() override;

  TBitmap& ImageBitmap() { return *image_bitmap_; }
  TCanvas& ImageCanvas() { return image_bitmap_->Canvas(); }
  TBitmap& BackgroundBitmap() { return *background_bitmap_; }
  bool RecaptureBackground() const { return recapture_background_; }
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);

  void UpdateControl() override;

 protected:
  // WM_PAINT with a device context: the image is resized to the control and
  // painted with both canvases locked; without a device nothing is painted.
  void Dispatch(TMessage& message) override;
  // Block-transfers ImageBitmap to the control's canvas; a derived control
  // draws into ImageCanvas first and calls this last.
  void Paint() override;
  virtual void PaintBackground();
  void CaptureBackground();
  void RestoreBackground();

 private:
  std::unique_ptr<TBitmap> background_bitmap_;
  std::unique_ptr<TBitmap> image_bitmap_;
  bool recapture_background_ = true;
  bool transparent_ = false;
};

// Registers the pointing hand as cursor crGrHandPoint (done at start-up).
void RegisterGrCursors();
