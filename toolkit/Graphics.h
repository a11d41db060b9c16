// Off-screen bitmaps and the canvas that draws on them (or, while a control
// paints, on its window). Bitmaps are device-independent rows of 24 or 32
// bits per pixel in blue-green-red order, top row first, each row padded to
// four bytes, so pixel code can work on rows directly.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QString>

#include <cstdint>
#include <mutex>
#include <string>

#include "toolkit/Classes.h"
#include "toolkit/Types.h"

class QFont;
class QPainter;
class TBitmap;

// The toolkit's text (UTF-8, the encoding of the system's locale) to and
// from Qt's strings. Bytes that are no UTF-8 become U+FFFD.
QString ToQString(const std::string& text);
std::string FromQString(const QString& text);
// A name of the toolkit's text as the file system spells it.
std::string ToFileSystemName(const std::string& name);
std::string FromFileSystemName(const std::string& name);
QColor ToQColor(TColor color);
QRect ToQRect(const TRect& rect);

// Makes the faces the windows name known to Qt: Tahoma and MS Sans Serif
// from the metric-compatible faces installed with the program's packages.
void RegisterProgramFonts();
// Loads the system's font configuration and the caches of its installed
// fonts, as Qt's first look at a font would (a few milliseconds; once for
// the process, whichever thread asks first), and reads the faces
// RegisterProgramFonts gives Qt. Needs neither Qt's application nor the GUI
// thread: start-up calls it on another thread while Qt starts, and
// RegisterProgramFonts takes what it has read by then and reads the rest.
void PrepareProgramFonts();

// Clears a TrueType file's request (OS/2 USE_TYPO_METRICS) that line
// heights come from the typographic metrics, so that Qt's lines are as high
// as the face's Windows metrics make them.
void UseWindowsLineMetrics(QByteArray& file);

// Whether a face's grid-fitting table ("gasp") lets it be drawn with grey
// at `ppem` pixels per em (no table: yes).
bool GaspAllowsGrey(const QByteArray& gasp, int ppem);

// Text metrics: the cell height is the ascent
// plus the descent of the face's Windows metrics (OS/2 usWinAscent and
// usWinDescent), each rounded to pixels.
struct TTextMetric {
  int Ascent = 0;
  int Descent = 0;
  int Height = 0;  // Ascent + Descent
  int InternalLeading = 0;
};

enum : unsigned {
  DT_TOP = 0x0,
  DT_LEFT = 0x0,
  DT_CENTER = 0x1,
  DT_RIGHT = 0x2,
  DT_VCENTER = 0x4,
  DT_BOTTOM = 0x8,
  DT_WORDBREAK = 0x10,
  DT_SINGLELINE = 0x20,
  DT_EXPANDTABS = 0x40,
  DT_NOCLIP = 0x100,
  DT_CALCRECT = 0x400,
  DT_NOPREFIX = 0x800,
  DT_END_ELLIPSIS = 0x8000,
};

enum TFontStyle : std::uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = std::uint8_t;

// A font as the form data describes it. A negative Height is the character
// height in pixels (without internal leading), as the form data stores it.
class TFont {
 public:
  static constexpr int kPixelsPerInch = 96;

  const std::string& Name() const { return name_; }
  void SetName(const std::string& name);
  int Height() const { return height_; }
  void SetHeight(int height);
  int Size() const;  // points
  void SetSize(int points);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles style);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  int Charset() const { return charset_; }
  void SetCharset(int charset) { charset_ = charset; }

  void Assign(const TFont& other);
  bool SameAs(const TFont& other) const;
  QFont ToQFont() const;
  TTextMetric Metrics() const;

  TNotifyEvent OnChange;

 private:
  void Changed();

  std::string name_ = "Tahoma";
  int height_ = -11;
  TFontStyles style_ = 0;
  TColor color_ = clWindowText;
  int charset_ = 1;  // default character set
};

enum class TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum class TPenMode {
  pmBlack,
  pmWhite,
  pmNop,
  pmNot,
  pmCopy,
  pmNotCopy,
  pmMergePenNot,
  pmMaskPenNot,
  pmMergeNotPen,
  pmMaskNotPen,
  pmMerge,
  pmNotMerge,
  pmMask,
  pmNotMask,
  pmXor,
  pmNotXor
};

class TPen {
 public:
  TColor Color() const { return color_; }
  void SetColor(TColor color) { color_ = color; }
  int Width() const { return width_; }
  void SetWidth(int width) { width_ = width < 1 ? 1 : width; }
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle style) { style_ = style; }
  TPenMode Mode() const { return mode_; }
  void SetMode(TPenMode mode) { mode_ = mode; }
  void Assign(const TPen& other) { *this = other; }

 private:
  TColor color_ = clBlack;
  int width_ = 1;
  TPenStyle style_ = TPenStyle::psSolid;
  TPenMode mode_ = TPenMode::pmCopy;
};

enum class TBrushStyle { bsSolid, bsClear };

class TBrush {
 public:
  TColor Color() const { return color_; }
  void SetColor(TColor color) { color_ = color; }
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle style) { style_ = style; }
  void Assign(const TBrush& other) { *this = other; }

 private:
  TColor color_ = clWhite;
  TBrushStyle style_ = TBrushStyle::bsSolid;
};

// A drawing surface. A bitmap's canvas draws straight into the bitmap's rows;
// a control's canvas draws through the painter attached for one paint.
class TCanvas {
 public:
  TCanvas() = default;
  explicit TCanvas(QImage* image) : image_(image) {}
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;
  virtual ~TCanvas() = default;

  TPen& Pen() { return pen_; }
  TBrush& Brush() { return brush_; }
  TFont& Font() { return font_; }

  // While a control paints, its canvas is attached to the window's painter;
  // `bounds` is the drawable area in canvas coordinates.
  void Attach(QPainter* painter, const TRect& bounds);
  void Detach();
  bool HandleAllocated() const { return image_ != nullptr || painter_ != nullptr; }
  QPainter* Painter() const { return painter_; }
  QImage* Image() const { return image_; }

  TRect ClipRect() const;
  void SetClipRect(const TRect& rect);  // an empty rectangle removes the clip

  TPoint PenPos() const { return pen_pos_; }
  void MoveTo(int x, int y) { pen_pos_ = {x, y}; }
  // Draws from the pen position to (x, y); the end point is not painted.
  void LineTo(int x, int y);

  void FillRect(const TRect& rect);
  void FrameRect(const TRect& rect);
  // Outline with the pen, inside filled with the brush (right and bottom exclusive).
  void Rectangle(int left, int top, int right, int bottom);
  void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }

  TColor Pixel(int x, int y) const;
  void SetPixel(int x, int y, TColor color);

  // Block transfers: plain copies; a source of another size is stretched.
  void Draw(int x, int y, const TBitmap& bitmap);
  void StretchDraw(const TRect& dest, const TBitmap& bitmap);
  void CopyRect(const TRect& dest, const TCanvas& source, const TRect& source_rect);

  void TextOut(int x, int y, const std::string& text);
  void TextRect(const TRect& rect, int x, int y, const std::string& text);
  int TextWidth(const std::string& text);
  int TextHeight(const std::string& text);
  // Formatted text in a rectangle (DT_* flags):
  // alignment, word breaks, '&' prefixes, end ellipsis. With DT_CALCRECT it
  // only computes the rectangle the text needs. Returns the text's height.
  int DrawText(const std::string& text, TRect& rect, unsigned flags);

  // Serialises painting between threads (a worker may draw on a bitmap).
  void Lock() { mutex_.lock(); }
  bool TryLock() { return mutex_.try_lock(); }
  void Unlock() { mutex_.unlock(); }

 private:
  TRect SurfaceBounds() const;
  void PlotPixel(int x, int y, std::uint32_t rgb);
  void LineToImage(TPoint from, TPoint to, std::uint32_t rgb);
  void FillSolid(const TRect& rect, TColor color);
  void DrawImage(const TRect& dest, const QImage& src, const TRect& source_rect);

  QImage* image_ = nullptr;
  QPainter* painter_ = nullptr;
  TRect painter_bounds_;
  TRect clip_;
  bool has_clip_ = false;
  TPen pen_;
  TBrush brush_;
  TFont font_;
  TPoint pen_pos_;
  std::recursive_mutex mutex_;
};

enum class TPixelFormat { pf24bit, pf32bit };

class TBitmap : public TObject {
 public:
  TBitmap() = default;
  TBitmap(int width, int height, TPixelFormat format = TPixelFormat::pf24bit);

  int Width() const { return image_.isNull() ? 0 : image_.width(); }
  int Height() const { return image_.isNull() ? 0 : image_.height(); }
  void SetWidth(int width) { SetSize(width, Height()); }
  void SetHeight(int height) { SetSize(Width(), height); }
  // Keeps the pixels that still fit; new pixels are black.
  void SetSize(int width, int height);
  bool Empty() const { return Width() == 0 || Height() == 0; }

  TPixelFormat PixelFormat() const { return format_; }
  void SetPixelFormat(TPixelFormat format);
  int BytesPerPixel() const { return format_ == TPixelFormat::pf24bit ? 3 : 4; }
  int BytesPerLine() const { return image_.isNull() ? 0 : static_cast<int>(image_.bytesPerLine()); }

  std::uint8_t* ScanLine(int y);
  const std::uint8_t* ScanLine(int y) const;

  TCanvas& Canvas() { return canvas_; }
  QImage& Image() { return image_; }
  const QImage& Image() const { return image_; }

  void Assign(const TBitmap& other);
  // Takes over a Qt image, converted to this bitmap's pixel format.
  void Assign(const QImage& image);

 private:
  static QImage::Format QtFormat(TPixelFormat format);

  TPixelFormat format_ = TPixelFormat::pf24bit;
  QImage image_;
  TCanvas canvas_{&image_};
};
