#include "skin/sPanel.h"

#include <QPainter>

#include "skin/SkinPainter.h"
#include "skin/sSkinManager.h"
#include "toolkit/Guards.h"

TsPanel::TsPanel(TComponent* owner) : TPanel(owner) {
  skin_data_ = std::make_unique<TsCommonData>(this, this, this, ckPanel);
}

TsPanel::~TsPanel() {
  Destroying();
  skin_data_->HaltFade();
}

void TsPanel::Loaded() {
  TPanel::Loaded();
  skin_data_->Loaded();
}

void TsPanel::Dispatch(TMessage& m) {
  if (m.Msg == SM_LUMVEXCMD) {
    SkinMessage(m);
    return;
  }
  if (skin_data_->Skinned()) {
    switch (m.Msg) {
      case WM_ERASEBKGND:
        m.Result = 1;
        return;
      case WM_PAINT:
        if (m.WParam != 0) {
          PaintSkinned(MessageDC(m));
          return;
        }
        break;
      case WM_NCPAINT:
        if (m.WParam != 0) {
          if (!skin_data_->Updating() && !skin_data_->PlainColor()) {
            skin_data_->EnsureCache();
            skin_data_->CopyFrameToScreen(MessageDC(m));
          }
          return;
        }
        break;
      default:
        break;
    }
  }
  TPanel::Dispatch(m);
  skin_data_->React(m);
}

void TsPanel::SkinMessage(TMessage& m) {
  switch (SkinCommandOf(m.WParam)) {
    case TsCommand::ApplySkin:
    case TsCommand::DropSkin:
    case TsCommand::RepaintSkin:
    case TsCommand::HaltFade: {
      skin_data_->HandleCommand(m);
      // A skinned panel paints all of its rectangle itself.
      if (skin_data_->Skinned()) {
        SetControlStyle(ControlStyle() & ~csOpaque);
      } else {
        SetControlStyle(ControlStyle() | csOpaque);
      }
      // The manager's broadcast stops at skinned windows: hand it on.
      ForwardSkinCommand(this, m.WParam, m.LParam);
      return;
    }
    default:
      if (!skin_data_->HandleCommand(m)) TPanel::Dispatch(m);
      return;
  }
}

void TsPanel::PaintSkinned(HDC dc) {
  // A child copies from its parent's cache: wait while that is stale.
  if (skin_data_->Updating()) return;
  if (skin_data_->PlainColor()) {
    PaintPlain(dc);
    PaintControls(dc);
    return;
  }
  skin_data_->EnsureCache();
  skin_data_->CopyCacheToScreen(dc);
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
