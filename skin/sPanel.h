// The skinned panel: its look (the section's background, border and
// caption) is kept in a cache of its size, which its children take as what
// lies behind them.
#pragma once

#include "skin/sSkinnedControl.h"
#include "toolkit/ExtCtrls.h"

// Draws on a skinned control's look after the skin (on the cache, or on the
// window for a look of one colour).
using TsPaintEvent = TEvent<TObject* /*Sender*/, TCanvas& /*Canvas*/>;

class TsPanel : public TsSkinnedControl<TPanel> {
 public:
  explicit TsPanel(TComponent* owner);

  TsPaintEvent OnPaint;

  // TsSkinHost: a panel shows no hot state.
  int CurrentSkinState() const override { return 0; }
  void PrepareCache() override;

 protected:
  // The commands the manager broadcasts also go on to the children.
  bool HandleSkinCommand(TMessage& message) override;
  void PaintClient(HDC dc) override;

 private:
  // A look of one colour: no cache, painted straight onto the window.
  void PaintPlain(HDC dc);
  // The section's caption over `bitmap`, inside the bevels and border.
  void DrawCaption(TBitmap& bitmap);
};
