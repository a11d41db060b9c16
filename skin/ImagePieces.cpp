#include "skin/ImagePieces.h"

#include <algorithm>
#include <cstring>
#include <vector>

TRect TsImagePiece::Frame(int state) const {
  const int fw = FrameWidth();
  const int frame = std::clamp(state, 0, std::max(image_count, 1) - 1);
  return Bounds(source.Left + frame * fw, source.Top, fw, FrameHeight());
}

void FitBorders(int size, int& first, int& second) {
  if (size >= first + second) return;
  const int d = (first + second - size) / 2;
  first -= d;
  second -= d;
  if (size % 2 != 0) --second;
  first = std::max(first, 0);
  second = std::max(second, 0);
}

bool TextureCoversArea(int draw_mode) { return draw_mode < tfTileTop || draw_mode > tfStretchRight; }

namespace {

// One piece of an image laid over an area of the target.
struct TPieceJob {
  TsPixelView dst;
  TRect area;   // the target area the piece covers (tiled or stretched)
  TRect limit;  // nothing is drawn outside this
  TsPixelView src;
  TRect piece;  // the source pixels
  int mask_dy = 0;  // 0: no mask; else the mask lies this many rows below
  bool stretch = false;
  bool corner = false;           // key pixels show the background
  const TsBackground* back = nullptr;
  TPoint origin;                 // the target pixel the background offsets refer to
  int strength = 256;            // 256: as it is; less: laid over at that weight
};

// Where the background pixel behind target (x, y) is, or null when unknown.
class TBackPixels {
 public:
  TBackPixels(const TsBackground* back, TPoint origin, TsPixelView dst) : back_(back) {
    if (back_ == nullptr || !back_->Known()) {
      back_ = nullptr;
      return;
    }
    if (!back_->IsBitmap()) StorePixel(color_, ColorToRGB(back_->color));
    dx_ = back_->offset_x - origin.X;
    dy_ = back_->offset_y - origin.Y;
    (void)dst;
  }
  const std::uint8_t* At(int x, int y) const {
    if (back_ == nullptr) return nullptr;
    if (!back_->IsBitmap()) return color_;
    const int bx = x + dx_, by = y + dy_;
    if (bx < 0 || by < 0 || bx >= back_->bitmap.width || by >= back_->bitmap.height) return nullptr;
    return back_->bitmap.At(bx, by);
  }

 private:
  const TsBackground* back_;
  std::uint8_t color_[3] = {0, 0, 0};
  int dx_ = 0;
  int dy_ = 0;
};

template <bool kMasked, bool kCorner, bool kWeighted>
void DrawRows(const TPieceJob& job, const TRect& clip, const std::vector<int>& xs) {
  const int sh = job.piece.Height();
  const int ah = job.area.Height();
  const TBackPixels back(kCorner ? job.back : nullptr, job.origin, job.dst);
  const int n = clip.Width();
  for (int y = clip.Top; y < clip.Bottom; ++y) {
    const int rel = y - job.area.Top;
    const int sy = job.piece.Top + (job.stretch ? static_cast<int>(static_cast<long long>(rel) * sh / ah)
                                                : rel % sh);
    const std::uint8_t* s_row = job.src.Row(sy);
    const std::uint8_t* m_row = kMasked ? job.src.Row(sy + job.mask_dy) : nullptr;
    std::uint8_t* d = job.dst.At(clip.Left, y);
    for (int i = 0; i < n; ++i, d += 3) {
      const std::uint8_t* s = s_row + xs[i];
      if (IsKeyPixel(s)) {
        if constexpr (kCorner) {
          if (const std::uint8_t* b = back.At(clip.Left + i, y)) std::memmove(d, b, 3);
        }
        continue;
      }
      int v[3];
      if constexpr (kMasked) {
        const std::uint8_t* m = m_row + xs[i];
        for (int k = 0; k < 3; ++k) v[k] = MaskBlend(s[k], d[k], m[k]);
      } else {
        for (int k = 0; k < 3; ++k) v[k] = s[k];
      }
      if constexpr (kWeighted) {
        for (int k = 0; k < 3; ++k) v[k] = d[k] + (v[k] - d[k]) * job.strength / 256;
      }
      for (int k = 0; k < 3; ++k) d[k] = static_cast<std::uint8_t>(v[k]);
    }
  }
}

void DrawPiece(const TPieceJob& job) {
  if (job.area.IsEmpty() || job.piece.IsEmpty() || !job.src.Valid()) return;
  // A piece (or its mask) outside its image is a broken skin: skip it.
  const TRect image = job.src.Bounds();
  if (job.piece.Intersect(image) != job.piece) return;
  if (job.mask_dy > 0 && job.piece.Offset(0, job.mask_dy).Intersect(image) != job.piece.Offset(0, job.mask_dy)) {
    return;
  }
  const TRect clip = job.area.Intersect(job.limit).Intersect(job.dst.Bounds());
  if (clip.IsEmpty()) return;
  const int sw = job.piece.Width(), aw = job.area.Width();
  std::vector<int> xs(static_cast<std::size_t>(clip.Width()));
  for (int i = 0; i < clip.Width(); ++i) {
    const int rel = clip.Left + i - job.area.Left;
    const int sx = job.piece.Left +
                   (job.stretch ? static_cast<int>(static_cast<long long>(rel) * sw / aw) : rel % sw);
    xs[static_cast<std::size_t>(i)] = 3 * sx;
  }
  const bool masked = job.mask_dy > 0;
  const bool weighted = job.strength < 256;
  if (weighted) {
    if (masked) DrawRows<true, false, true>(job, clip, xs);
    else DrawRows<false, false, true>(job, clip, xs);
  } else if (job.corner) {
    if (masked) DrawRows<true, true, false>(job, clip, xs);
    else DrawRows<false, true, false>(job, clip, xs);
  } else {
    if (masked) DrawRows<true, false, false>(job, clip, xs);
    else DrawRows<false, false, false>(job, clip, xs);
  }
}

}  // namespace

void DrawBorderMask(TsPixelView dst, const TRect& rect, const TsImagePiece& mask, int state,
                    bool filling, const TsBackground& back) {
  if (!dst.Valid() || !mask.Valid()) return;
  if (rect.Width() < 2 || rect.Height() < 2) return;
  if (state == 0 && (mask.draw_mode & kDrawNotNormal) != 0) return;
  int l = std::max(mask.left, 0), t = std::max(mask.top, 0);
  int r = std::max(mask.right, 0), b = std::max(mask.bottom, 0);
  FitBorders(rect.Width(), l, r);
  FitBorders(rect.Height(), t, b);
  const TRect frame = mask.Frame(state);
  const int fx = frame.Left, fy = frame.Top, fw = frame.Width(), fh = frame.Height();
  const int cw = std::max(fw - l - r, 0), ch = std::max(fh - t - b, 0);
  const bool masked = mask.mask_type > 0;
  const bool stretch = !masked && (mask.draw_mode & kDrawStretch) != 0;

  TPieceJob job;
  job.dst = dst;
  job.limit = rect;
  job.src = mask.image;
  job.mask_dy = masked ? fh : 0;
  job.back = &back;
  job.origin = {rect.Left, rect.Top};
  auto corner = [&](TRect area, TRect piece) {
    job.area = area;
    job.piece = piece;
    job.corner = true;
    job.stretch = false;
    DrawPiece(job);
  };
  auto side = [&](TRect area, TRect piece) {
    job.area = area;
    job.piece = piece;
    job.corner = false;
    job.stretch = stretch;
    DrawPiece(job);
  };
  const int left = rect.Left, top = rect.Top, right = rect.Right, bottom = rect.Bottom;
  corner({left, top, left + l, top + t}, {fx, fy, fx + l, fy + t});
  side({left, top + t, left + l, bottom - b}, {fx, fy + t, fx + l, fy + t + ch});
  side({left + l, top, right - r, top + t}, {fx + l, fy, fx + l + cw, fy + t});
  corner({left, bottom - b, left + l, bottom}, {fx, fy + fh - b, fx + l, fy + fh});
  side({left + l, bottom - b, right - r, bottom}, {fx + l, fy + fh - b, fx + l + cw, fy + fh});
  corner({right - r, bottom - b, right, bottom}, {fx + fw - r, fy + fh - b, fx + fw, fy + fh});
  corner({right - r, top, right, top + t}, {fx + fw - r, fy, fx + fw, fy + t});
  side({right - r, top + t, right, bottom - b}, {fx + fw - r, fy + t, fx + fw, fy + t + ch});
  if (filling && (mask.draw_mode & kDrawCentre) != 0) {
    side({left + l, top + t, right - r, bottom - b}, {fx + l, fy + t, fx + l + cw, fy + t + ch});
  }
}

void DrawGlyph(TsPixelView dst, TPoint at, const TsImagePiece& glyph, int state, int strength) {
  if (!dst.Valid() || !glyph.Valid() || strength <= 0) return;
  const TRect frame = glyph.Frame(state);
  TPieceJob job;
  job.dst = dst;
  job.area = Bounds(at.X, at.Y, frame.Width(), frame.Height());
  job.limit = job.area;
  job.src = glyph.image;
  job.piece = frame;
  job.mask_dy = glyph.mask_type > 0 ? frame.Height() : 0;
  job.strength = std::min(strength, 256);
  DrawPiece(job);
}

void DrawTexture(TsPixelView dst, const TRect& rect, const TsImagePiece& texture, bool with_mask) {
  if (!dst.Valid() || !texture.Valid() || rect.IsEmpty()) return;
  const TRect frame = texture.Frame(0);
  const int fw = frame.Width(), fh = frame.Height();
  TPieceJob job;
  job.dst = dst;
  job.limit = rect;
  job.src = texture.image;
  job.piece = frame;
  job.mask_dy = with_mask && texture.mask_type > 0 ? fh : 0;
  job.area = rect;
  switch (texture.draw_mode) {
    case tfStretch:
      job.stretch = true;
      break;
    case tfTileTop:
    case tfStretchTop:
      job.area.Bottom = rect.Top + fh;
      break;
    case tfTileBottom:
    case tfStretchBottom:
      job.area.Top = rect.Bottom - fh;
      break;
    case tfTileLeft:
    case tfStretchLeft:
      job.area.Right = rect.Left + fw;
      break;
    case tfTileRight:
    case tfStretchRight:
      job.area.Left = rect.Right - fw;
      break;
    default:
      break;
  }
  if (texture.draw_mode >= tfStretchTop && texture.draw_mode <= tfStretchRight) job.stretch = true;
  DrawPiece(job);
}
