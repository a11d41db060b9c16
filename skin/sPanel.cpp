#include "skin/sPanel.h"

#include <QPainter>

#include "skin/SkinPainter.h"
#include "skin/sSkinManager.h"
#include "toolkit/Guards.h"

namespace {

constexpr TsSkinShape kPanelShape{ckPanel, TsSkinParts::Both};

bool IsBroadcastCommand(TsCommand command) {
  return command == TsCommand::ApplySkin || command == TsCommand::DropSkin ||
         command == TsCommand::RepaintSkin || command == TsCommand::HaltFade;
}

}  // namespace

TsPanel::TsPanel(TComponent* owner) : TsSkinnedControl(owner, kPanelShape) {}

bool TsPanel::HandleSkinCommand(TMessage& m) {
  const bool handled = TsSkinnedControl::HandleSkinCommand(m);
  if (!IsBroadcastCommand(SkinCommandOf(m.WParam))) return handled;
  // A skinned panel paints all of its rectangle itself.
  if (skin_data_->Skinned()) {
    SetControlStyle(ControlStyle() & ~csOpaque);
  } else {
    SetControlStyle(ControlStyle() | csOpaque);
  }
  // The manager's broadcast stops at skinned windows: hand it on.
  ForwardSkinCommand(this, m.WParam, m.LParam);
  return true;
}

void TsPanel::PaintClient(HDC dc) {
  if (skin_data_->PlainColor()) {
    PaintPlain(dc);
    PaintControls(dc);
    return;
  }
  TsSkinnedControl::PaintClient(dc);
}

void TsPanel::PrepareCache() {
  TBitmap& cache = skin_data_->CacheBmp();
  cache.SetSize(Width(), Height());
  skin_data_->PaintItem(cache, Rect(0, 0, Width(), Height()), false, 0, {Left(), Top()});
  DrawCaption(cache);
  OnPaint(this, cache.Canvas());
  skin_data_->CacheBuilt(0);
}

void TsPanel::PaintPlain(HDC dc) {
  const SectionRecord* s = skin_data_->Section();
  const TsSkinModel* model = skin_data_->Model();
  const TColor color = skin_data_->CustomColor() ? ColorToRGB(Color()) : s->Color;
  // The border and caption need pixels to be drawn on: a scratch bitmap of
  // the panel's size, not kept.
  TBitmap look(Width(), Height());
  FillSolid(PixelsOf(look), Rect(0, 0, Width(), Height()), color);
  DrawSkinBorder(look, Rect(0, 0, Width(), Height()), *model, skin_data_->BorderIndex(), 0, false,
                 TsBackground::FromColor(color));
  DrawCaption(look);
  const TRect nc = FrameMargins();
  dc->drawImage(-nc.Left, -nc.Top, look.Image());
  if (OnPaint) {
    TCanvasPaint painting(Canvas(), dc, ClientRect());
    OnPaint(this, Canvas());
  }
  skin_data_->CacheBuilt(0);
}

void TsPanel::DrawCaption(TBitmap& bitmap) {
  const std::string caption = Caption();
  if (caption.empty()) return;
  const TRect nc = FrameMargins();
  TRect rect = ClientRect();
  AdjustClientRect(rect);
  rect = rect.Offset(nc.Left, nc.Top);
  unsigned flags = txSingleLine | txVCenter | txExpandTabs;
  if (Alignment() == taCenter) flags |= txCenter;
  if (Alignment() == taRightJustify) flags |= txRight;
  TCanvas& canvas = bitmap.Canvas();
  canvas.Font().Assign(Font());
  DrawSkinText(canvas, caption, rect, flags, *skin_data_->Model(), skin_data_->SkinIndex(), false,
               Enabled(), skin_data_->CustomFont());
}
