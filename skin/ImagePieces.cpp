#include "skin/ImagePieces.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "skin/PixelKernels.h"

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

bool TextureCoversArea(int draw_mode) {
  return draw_mode < tfTileTop || draw_mode > tfStretchRight;
}

namespace {

// One piece of an image laid over an area of the target.
struct TPieceJob {
  TsPixelView dst;
  TRect area;   // the target area the piece covers (tiled or stretched)
  TRect limit;  // nothing is drawn outside this
  TsPixelView src;
  TRect piece;      // the source pixels
  int mask_dy = 0;  // 0: no mask; else the mask lies this many rows below
  bool stretch = false;
  bool corner = false;  // key pixels show the background
  const TsBackground* back = nullptr;
  TPoint origin;       // the target pixel the background offsets refer to
  int strength = 256;  // 256: as it is; less: laid over at that weight
};

// Where the background pixel behind target (x, y) is, or null when unknown.
class TBackPixels {
 public:
  TBackPixels(const TsBackground* back, TPoint origin) : back_(back) {
    if (back_ == nullptr || !back_->Known()) {
      back_ = nullptr;
      return;
    }
    if (!back_->IsBitmap()) StorePixel(color_, ColorToRGB(back_->color));
    dx_ = back_->offset_x - origin.X;
    dy_ = back_->offset_y - origin.Y;
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

bool HasKeyPixel(TsPixelView src, const TRect& piece) {
  for (int y = piece.Top; y < piece.Bottom; ++y) {
    const std::uint8_t* p = src.At(piece.Left, y);
    for (int x = piece.Left; x < piece.Right; ++x, p += 3) {
      if (IsKeyPixel(p)) return true;
    }
  }
  return false;
}

// Each row first gathers the source pixels (and mask pixels) it needs into
// row buffers, in runs for tiles; key pixels are replaced there by what they
// should show, with a black mask, so one vector loop blends the whole row.
void DrawPiece(const TPieceJob& job) {
  if (job.area.IsEmpty() || job.piece.IsEmpty() || !job.src.Valid()) return;
  // A piece (or its mask) outside its image is a broken skin: skip it.
  const TRect image = job.src.Bounds();
  const TRect mask_piece = job.piece.Offset(0, job.mask_dy);
  if (job.piece.Intersect(image) != job.piece) return;
  if (job.mask_dy > 0 && mask_piece.Intersect(image) != mask_piece) return;
  const TRect clip = job.area.Intersect(job.limit).Intersect(job.dst.Bounds());
  if (clip.IsEmpty()) return;

  const int sw = job.piece.Width(), sh = job.piece.Height();
  const int aw = job.area.Width(), ah = job.area.Height();
  const int n = clip.Width();
  const std::size_t bytes = 3 * static_cast<std::size_t>(n);
  const bool masked = job.mask_dy > 0;
  const bool weighted = job.strength < 256;
  const bool has_key = HasKeyPixel(job.src, job.piece);
  std::vector<int> xs;
  if (job.stretch) {
    xs.resize(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
      const long long rel = clip.Left + i - job.area.Left;
      xs[static_cast<std::size_t>(i)] = 3 * (job.piece.Left + static_cast<int>(rel * sw / aw));
    }
  }
  std::vector<std::uint8_t> s_buf(bytes), m_buf(masked ? bytes : 0), r_buf(weighted ? bytes : 0);
  const TBackPixels back(job.corner ? job.back : nullptr, job.origin);

  auto gather = [&](const std::uint8_t* line, std::uint8_t* out) {
    if (job.stretch) {
      for (int i = 0; i < n; ++i)
        std::memcpy(out + 3 * i, line + xs[static_cast<std::size_t>(i)], 3);
      return;
    }
    int i = 0;
    int sx = (clip.Left - job.area.Left) % sw;
    while (i < n) {
      const int run = std::min(sw - sx, n - i);
      std::memcpy(out + 3 * i, line + 3 * (job.piece.Left + sx), 3 * static_cast<std::size_t>(run));
      i += run;
      sx = 0;
    }
  };

  // Without key pixels a gathered row depends only on its source row, so
  // rows repeating down the area (tiles, stretched sources) are gathered once.
  const bool cache_rows = !has_key && clip.Height() > sh &&
                          static_cast<std::size_t>(sh) * bytes * (masked ? 2 : 1) <= (1u << 18);
  std::vector<std::uint8_t> cached_s, cached_m;
  std::vector<bool> cached;
  if (cache_rows) {
    cached_s.resize(static_cast<std::size_t>(sh) * bytes);
    if (masked) cached_m.resize(static_cast<std::size_t>(sh) * bytes);
    cached.assign(static_cast<std::size_t>(sh), false);
  }

  for (int y = clip.Top; y < clip.Bottom; ++y) {
    const long long rel = y - job.area.Top;
    const int sy = job.piece.Top +
                   (job.stretch ? static_cast<int>(rel * sh / ah) : static_cast<int>(rel % sh));
    std::uint8_t* d = job.dst.At(clip.Left, y);
    const std::uint8_t* s_row = s_buf.data();
    const std::uint8_t* m_row = m_buf.data();
    if (cache_rows) {
      const auto k = static_cast<std::size_t>(sy - job.piece.Top);
      std::uint8_t* cs = cached_s.data() + k * bytes;
      std::uint8_t* cm = masked ? cached_m.data() + k * bytes : nullptr;
      if (!cached[k]) {
        gather(job.src.Row(sy), cs);
        if (masked) gather(job.src.Row(sy + job.mask_dy), cm);
        cached[k] = true;
      }
      s_row = cs;
      m_row = cm;
    } else {
      gather(job.src.Row(sy), s_buf.data());
      if (masked) gather(job.src.Row(sy + job.mask_dy), m_buf.data());
    }
    if (has_key) {
      for (int i = 0; i < n; ++i) {
        std::uint8_t* s = s_buf.data() + 3 * i;
        if (!IsKeyPixel(s)) continue;
        const std::uint8_t* shown = job.corner ? back.At(clip.Left + i, y) : nullptr;
        std::memmove(s, shown != nullptr ? shown : d + 3 * i, 3);
        if (masked) std::memset(m_buf.data() + 3 * i, 0, 3);
      }
    }
    std::uint8_t* target = d;
    if (weighted) {
      std::memcpy(r_buf.data(), d, bytes);
      target = r_buf.data();
    }
    if (masked) {
      skin_kernels::MaskBlend(target, s_row, m_row, static_cast<int>(bytes));
    } else {
      std::memcpy(target, s_row, bytes);
    }
    if (weighted) {
      for (std::size_t k = 0; k < bytes; ++k) {
        d[k] = static_cast<std::uint8_t>(d[k] + (r_buf[k] - d[k]) * job.strength / 256);
      }
    }
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
