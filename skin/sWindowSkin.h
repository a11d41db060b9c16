// Skinning windows that have no skin provider of their own, as the skin
// manager's window hook adopts them: toolkit forms get an automatic form
// provider; windows that are no toolkit form (the file dialog) get the frame
// painted around their content from the "DIALOG" section, the skin's colours
// in their palette, and the frame's buttons, moving and sizing.
#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>
#include <string>

#include "skin/sSkinFrame.h"
#include "skin/sSkinHook.h"
#include "skin/sSkinManager.h"

class TsWindowSkinFilter;

class TsWindowSkin : public TObject {
 public:
  TsWindowSkin(QWidget* window, TsSkinManager* manager, const std::string& section);
  ~TsWindowSkin() override;

  QWidget* Window() const { return window_; }
  bool Skinned() const { return section_ >= 0; }
  bool Active() const { return active_; }
  const TsFrameGeometry& Geometry() const { return geometry_; }
  const std::vector<int>& ButtonStates() const { return buttons_.States(); }
  // The window cache, current after the call.
  const TBitmap& WindowCache();
  QRegion Region() const;

 private:
  friend class TsWindowSkinFilter;
  bool Event(QEvent* event);
  bool Pointer(QEvent* event);
  TsFrameFacts FactsNow() const;
  void Relayout();
  void SetActive(bool active);
  void UpdateBand();

  QPointer<QWidget> window_;
  TsSkinManager* manager_;
  std::unique_ptr<TsWindowSkinFilter> filter_;
  int section_ = -1;
  int title_section_ = -1;
  bool sizeable_ = true;
  bool active_ = false;
  TsFrameGeometry geometry_;
  TsTitleButtonStates buttons_;
  TBitmap cache_;
  TBitmap frame_band_;
  bool stale_ = true;
  bool band_stale_ = true;
  QMargins old_margins_;
  bool cursor_set_ = false;
};

// The hook's adoption: an automatic provider for a toolkit form (a message
// box's without a skinned menu line), the frame for any other window; none
// for a window that cannot be adopted.
std::unique_ptr<TObject> AdoptWindow(QWidget* window, TsAdoption kind, TsSkinManager* manager);
