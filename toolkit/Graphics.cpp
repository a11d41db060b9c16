#include "toolkit/Graphics.h"

#include <sys/mman.h>
#include <unistd.h>

#include <fontconfig/fontconfig.h>
#include <QCoreApplication>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QRawFont>

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "toolkit/Guards.h"
#include "toolkit/MadeAhead.h"
#include "toolkit/SysUtils.h"

QString ToQString(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string FromQString(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::string ToFileSystemName(const std::string& name) {
  const QByteArray bytes = QFile::encodeName(ToQString(name));
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::string FromFileSystemName(const std::string& name) {
  return FromQString(
      QFile::decodeName(QByteArray(name.data(), static_cast<qsizetype>(name.size()))));
}

QColor ToQColor(TColor color) {
  const TColor c = ColorToRGB(color);
  return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

// ---- TFont ----------------------------------------------------------------

void TFont::SetName(const std::string& name) {
  if (name == name_) return;
  name_ = name;
  Changed();
}

void TFont::SetHeight(int height) {
  if (height == height_) return;
  height_ = height;
  Changed();
}

int TFont::Size() const {
  return -static_cast<int>(std::lround(height_ * 72.0 / kPixelsPerInch));
}

void TFont::SetSize(int points) {
  SetHeight(-static_cast<int>(std::lround(points * static_cast<double>(kPixelsPerInch) / 72.0)));
}

void TFont::SetStyle(TFontStyles style) {
  if (style == style_) return;
  style_ = style;
  Changed();
}

void TFont::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  Changed();
}

void TFont::Assign(const TFont& other) {
  if (SameAs(other)) return;
  name_ = other.name_;
  height_ = other.height_;
  style_ = other.style_;
  color_ = other.color_;
  charset_ = other.charset_;
  Changed();
}

bool TFont::SameAs(const TFont& other) const {
  return name_ == other.name_ && height_ == other.height_ && style_ == other.style_ &&
         color_ == other.color_ && charset_ == other.charset_;
}

namespace {

struct TFaceMetrics {
  int units_per_em = 0;
  int win_ascent = 0;
  int win_descent = 0;
};

std::uint16_t ReadU16(const QByteArray& table, int offset) {
  if (table.size() < offset + 2) return 0;
  return static_cast<std::uint16_t>((static_cast<unsigned char>(table[offset]) << 8) |
                                    static_cast<unsigned char>(table[offset + 1]));
}

// The tables the font code reads of a face the program registered itself,
// taken from its file as it is registered: asking Qt for them would load a
// font engine at a size nothing draws with (its outlines, its hinting set-up),
// which start-up pays for each face.
struct TFaceTables {
  QString family;
  bool bold = false;
  bool italic = false;
  QByteArray head;
  QByteArray os2;
  QByteArray gasp;
};

std::mutex g_registered_mutex;
std::vector<TFaceTables> g_registered;

// The tables of the face Qt picks for `font`: kept from the file for a face
// the program registered, otherwise read through a font engine at 64 px.
TFaceTables TablesOf(const QFont& font) {
  {
    const std::lock_guard lock(g_registered_mutex);
    for (const TFaceTables& t : g_registered)
      if (t.bold == font.bold() && t.italic == font.italic() &&
          t.family.compare(font.family(), Qt::CaseInsensitive) == 0)
        return t;
  }
  QFont probe(font);
  probe.setPixelSize(64);
  const QRawFont raw = QRawFont::fromFont(probe);
  TFaceTables t;
  t.head = raw.fontTable("head");
  t.os2 = raw.fontTable("OS/2");
  t.gasp = raw.fontTable("gasp");
  return t;
}

// The Windows metrics of the face Qt picks for `font`, cached per family
// and style (they do not depend on the size).
TFaceMetrics FaceMetrics(const QFont& font) {
  static std::mutex mutex;
  static std::map<std::string, TFaceMetrics> cache;
  const std::string key =
      font.family().toStdString() + (font.bold() ? "/b" : "/r") + (font.italic() ? "i" : "");
  std::lock_guard lock(mutex);
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;
  TFaceMetrics m;
  const TFaceTables tables = TablesOf(font);
  m.units_per_em = ReadU16(tables.head, 18);
  m.win_ascent = ReadU16(tables.os2, 74);
  m.win_descent = ReadU16(tables.os2, 76);
  if (m.units_per_em == 0 || m.win_ascent + m.win_descent == 0) {
    // No table (a bitmap face): take Qt's metrics at 64 px as the design.
    QFont probe(font);
    probe.setPixelSize(64);
    const QFontMetricsF fm(probe);
    m.units_per_em = 64;
    m.win_ascent = static_cast<int>(std::lround(fm.ascent()));
    m.win_descent = static_cast<int>(std::lround(fm.descent()));
  }
  cache.emplace(key, m);
  return m;
}

QFont BaseQFont(const TFont& font) {
  QFont f(ToQString(font.Name()));
  f.setBold((font.Style() & fsBold) != 0);
  f.setItalic((font.Style() & fsItalic) != 0);
  f.setUnderline((font.Style() & fsUnderline) != 0);
  f.setStrikeOut((font.Style() & fsStrikeOut) != 0);
  f.setHintingPreference(QFont::PreferFullHinting);
  return f;
}

// The em height in pixels: a negative Height is the em height itself, a
// positive one the cell height, which the face's metrics convert.
int EmPixels(const TFont& font, const QFont& qf) {
  const int h = font.Height();
  if (h == 0) return 11;
  const TFaceMetrics m = FaceMetrics(qf);
  if (h < 0) {
    // Faces converted from the old bitmap fonts (MS Sans Serif) carry no
    // internal leading in their metrics; their character height is the
    // ascent, as it was for the bitmap font.
    if (m.win_ascent > 0 && m.win_ascent + m.win_descent <= m.units_per_em)
      return std::max(1, static_cast<int>(
                             std::lround(static_cast<double>(-h) * m.units_per_em / m.win_ascent)));
    return -h;
  }
  return std::max(1, static_cast<int>(std::lround(static_cast<double>(h) * m.units_per_em /
                                                  (m.win_ascent + m.win_descent))));
}

// A face made only of bitmap strikes (MS Sans Serif is one) has a few sizes
// and one weight. Asked for another size it would draw its nearest strike,
// and asked for bold it would smear that strike; the text would come out at
// the wrong size. Such requests go to the scalable face the program ships.
constexpr const char* kScalableStandIn = "Tahoma";

// The screens' scale (QT_SCALE_FACTOR, a high-density screen): text is
// drawn at this many device pixels to one of the program's.
double DeviceScale() {
  return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr
             ? qGuiApp->devicePixelRatio()
             : 1.0;
}

// A face's answer to a question asked at every paint (whether it lacks a
// strike, how it wants to be drawn), found once per family, size and style.
std::string FaceKey(const QFont& f) {
  return f.family().toStdString() + "/" + std::to_string(f.pixelSize()) + (f.bold() ? "/b" : "/r") +
         (f.italic() ? "i" : "");
}

class TFaceAnswers {
 public:
  bool Get(const std::string& key, const std::function<bool()>& find) {
    std::lock_guard lock(mutex_);
    auto it = answers_.find(key);
    if (it == answers_.end()) it = answers_.emplace(key, find()).first;
    return it->second;
  }

 private:
  std::mutex mutex_;
  std::map<std::string, bool> answers_;
};

bool BitmapFaceLacks(const QFont& f) {
  // The strike drawn is the one of the device size: at a scale of 2 an
  // 11 pixel face needs its 22 pixel strike, which it may not have.
  const int device_size = std::max(1, static_cast<int>(std::lround(f.pixelSize() * DeviceScale())));
  static TFaceAnswers answers;
  return answers.Get(FaceKey(f) + "@" + std::to_string(device_size), [&] {
    // A scalable face lacks nothing; asking the database costs no font
    // engine, as the resolved face (QFontInfo) would.
    if (QFontDatabase::isScalable(f.family())) return false;
    const QFontInfo info(f);
    if (info.family() != f.family()) return false;
    bool has_style = !f.bold() && !f.italic();
    for (const QString& style : QFontDatabase::styles(f.family())) {
      const bool bold = QFontDatabase::bold(f.family(), style);
      const bool italic = QFontDatabase::italic(f.family(), style);
      if (bold == f.bold() && italic == f.italic()) has_style = true;
    }
    if (info.pixelSize() != f.pixelSize() || !has_style) return true;
    if (device_size == f.pixelSize()) return false;
    QFont device(f);
    device.setPixelSize(device_size);
    return QFontInfo(device).pixelSize() != device_size;
  });
}

// The table directory entry of `tag` in a TrueType file: its offset and
// length, or {0, 0} where the file has no such table.
std::pair<std::size_t, std::size_t> FindTable(const QByteArray& file, const char* tag) {
  auto u16 = [&](std::size_t at) {
    return static_cast<std::size_t>(ReadU16(file, static_cast<int>(at)));
  };
  auto u32 = [&](std::size_t at) { return (u16(at) << 16) | u16(at + 2); };
  if (file.size() < 12) return {0, 0};
  const std::size_t count = u16(4);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t entry = 12 + 16 * i;
    if (entry + 16 > static_cast<std::size_t>(file.size())) break;
    if (std::memcmp(file.constData() + entry, tag, 4) != 0) continue;
    const std::size_t offset = u32(entry + 8), length = u32(entry + 12);
    if (offset + length > static_cast<std::size_t>(file.size())) break;
    return {offset, length};
  }
  return {0, 0};
}

}  // namespace

void UseWindowsLineMetrics(QByteArray& file) {
  // The window system this program was laid out for gives a line the face's
  // Windows metrics. Qt takes the line metrics of the embedded bitmap strike
  // of the size where the face has one (the substitute faces' strikes are
  // two pixels short of the Windows metrics), and the typographic metrics
  // where the face asks for them (OS/2 USE_TYPO_METRICS). Each strike is
  // given the Windows metrics at its size and the flag is cleared.
  const auto [os2, os2_length] = FindTable(file, "OS/2");
  if (os2_length < 78) return;
  const auto flags = static_cast<qsizetype>(os2) + 63;
  file[flags] = static_cast<char>(static_cast<unsigned char>(file[flags]) & ~0x80U);
  const auto [head, head_length] = FindTable(file, "head");
  const auto [eblc, eblc_length] = FindTable(file, "EBLC");
  if (head_length < 20 || eblc_length < 8) return;
  const int units = ReadU16(file, static_cast<int>(head + 18));
  const int win_ascent = ReadU16(file, static_cast<int>(os2 + 74));
  const int win_descent = ReadU16(file, static_cast<int>(os2 + 76));
  if (units == 0) return;
  const std::size_t strikes = ReadU16(file, static_cast<int>(eblc + 6));  // low half of a count
  // Each strike's record is 48 bytes: its horizontal line metrics start at
  // byte 16 (ascender, descender), its vertical size is byte 45.
  for (std::size_t i = 0; i < strikes && 8 + 48 * (i + 1) <= eblc_length; ++i) {
    const auto record = static_cast<qsizetype>(eblc) + 8 + 48 * static_cast<qsizetype>(i);
    const int ppem = static_cast<unsigned char>(file[record + 45]);
    const long ascent = std::lround(static_cast<double>(win_ascent) * ppem / units);
    const long descent = std::lround(static_cast<double>(win_descent) * ppem / units);
    if (ascent > 127 || descent > 128) continue;
    file[record + 16] = static_cast<char>(ascent);
    file[record + 17] = static_cast<char>(-descent);
  }
}

bool GaspAllowsGrey(const QByteArray& gasp, int ppem) {
  if (gasp.size() < 4) return true;
  const int ranges = ReadU16(gasp, 2);
  for (int i = 0; i < ranges && 4 + 4 * i + 4 <= gasp.size(); ++i) {
    if (ppem <= ReadU16(gasp, 4 + 4 * i)) return (ReadU16(gasp, 4 + 4 * i + 2) & 0x0002) != 0;
  }
  return true;
}

namespace {

// Whether the face asks, through its grid-fitting table, to be drawn
// without grey at this size: then its hinted outlines are drawn in black
// and white and measured with the advances that hinting gives, as the
// window system does. Smoothed, the hinter rounds the advances wider
// ("Target Address:" comes out 83 pixels instead of 77 at 11 pixels) and
// keeps a bold face's stems as thin as the regular's.
bool DrawsWithoutGrey(const QFont& font) {
  static TFaceAnswers answers;
  return answers.Get(FaceKey(font), [&] {
    const QByteArray gasp = TablesOf(font).gasp;
    return !gasp.isEmpty() && !GaspAllowsGrey(gasp, font.pixelSize());
  });
}

}  // namespace

namespace {

// Keeps the tables of a registered scalable face (by the family Qt gives it
// and the style its OS/2 table states), so that its metrics and grid-fitting
// need no font engine.
void RememberTables(int id, const QByteArray& file) {
  auto table = [&](const char* tag) {
    const auto [offset, length] = FindTable(file, tag);
    return file.mid(static_cast<qsizetype>(offset), static_cast<qsizetype>(length));
  };
  const QStringList families = QFontDatabase::applicationFontFamilies(id);
  TFaceTables t;
  t.head = table("head");
  t.os2 = table("OS/2");
  t.gasp = table("gasp");
  if (families.isEmpty() || t.head.isEmpty() || t.os2.size() < 78) return;
  const std::uint16_t selection = ReadU16(t.os2, 62);
  t.family = families.front();
  t.italic = (selection & 0x0001U) != 0;
  t.bold = (selection & 0x0020U) != 0;
  const std::lock_guard lock(g_registered_mutex);
  g_registered.push_back(std::move(t));
}

// The program's faces, where the packages install them, in the order
// looked in.
constexpr std::array<const char*, 3> kProgramFaces{"tahoma.ttf", "tahomabd.ttf",
                                                   "ms_sans_serif.ttf"};
constexpr std::array<const char*, 2> kFaceFolders{"/usr/share/wine/fonts/",
                                                  "/usr/share/fonts/truetype/wine/"};

// A face's file as Qt is given it: read from the first folder, from
// `folder` on, that has it, with the Windows line metrics where it is
// scalable; `folder` is past the last when none has it.
struct TFaceFile {
  std::size_t folder = kFaceFolders.size();
  bool scalable = false;
  QByteArray data;
};

TFaceFile ReadFace(const char* file, std::size_t folder) {
  for (; folder < kFaceFolders.size(); ++folder) {
    QFile f(QString::fromLatin1(kFaceFolders[folder]) + QString::fromLatin1(file));
    if (!f.open(QIODevice::ReadOnly)) continue;
    TFaceFile face{folder, std::strncmp(file, "tahoma", 6) == 0, f.readAll()};
    // MS Sans Serif is drawn from its strikes: only Tahoma's go.
    if (face.scalable) UseWindowsLineMetrics(face.data);
    return face;
  }
  return {};
}

// The faces read ahead (PrepareProgramFonts), in the first round: once
// RegisterProgramFonts has taken them, nothing more is kept.
TMadeAhead<std::array<TFaceFile, kProgramFaces.size()>> g_faces_read;

}  // namespace

void PrepareProgramFonts() {
  FcInit();
  if (!g_faces_read.Wanted(0)) return;
  std::array<TFaceFile, kProgramFaces.size()> faces;
  for (std::size_t i = 0; i < faces.size(); ++i) faces[i] = ReadFace(kProgramFaces[i], 0);
  g_faces_read.Keep(0, std::move(faces));
}

void RegisterProgramFonts() {
  static bool done = false;
  if (done || !QCoreApplication::instance()) return;
  done = true;
  std::optional<std::array<TFaceFile, kProgramFaces.size()>> read = g_faces_read.Take();
  for (std::size_t i = 0; i < kProgramFaces.size(); ++i) {
    // A copy Qt refuses gives way to the next folder's.
    for (TFaceFile face = read ? std::move((*read)[i]) : ReadFace(kProgramFaces[i], 0);
         face.folder < kFaceFolders.size(); face = ReadFace(kProgramFaces[i], face.folder + 1)) {
      const int id = QFontDatabase::addApplicationFontFromData(face.data);
      if (id < 0) continue;
      if (face.scalable) RememberTables(id, face.data);
      break;
    }
  }
}

QFont TFont::ToQFont() const {
  QFont f = BaseQFont(*this);
  f.setPixelSize(EmPixels(*this, f));
  if (BitmapFaceLacks(f)) {
    f.setFamily(QString::fromLatin1(kScalableStandIn));
    f.setPixelSize(EmPixels(*this, f));
  }
  if (DrawsWithoutGrey(f)) f.setStyleStrategy(QFont::NoAntialias);
  return f;
}

TTextMetric TFont::Metrics() const {
  const QFont f = ToQFont();
  const TFaceMetrics m = FaceMetrics(f);
  const double scale = static_cast<double>(f.pixelSize()) / m.units_per_em;
  TTextMetric t;
  t.Ascent = static_cast<int>(std::lround(m.win_ascent * scale));
  t.Descent = static_cast<int>(std::lround(m.win_descent * scale));
  t.Height = t.Ascent + t.Descent;
  t.InternalLeading = t.Height - f.pixelSize();
  return t;
}

void TFont::Changed() {
  OnChange(nullptr);
}

// ---- TCanvas --------------------------------------------------------------

namespace {

inline std::uint32_t Rgb(TColor c) {
  return static_cast<std::uint32_t>(ColorToRGB(c)) & 0xFFFFFF;
}

inline std::uint32_t ReadPixel(const QImage& img, int x, int y) {
  const std::uint8_t* p = img.constScanLine(y);
  if (img.format() == QImage::Format_BGR888) {
    p += x * 3;
    return static_cast<std::uint32_t>(p[2]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[0]) << 16);
  }
  p += x * 4;
  return static_cast<std::uint32_t>(p[2]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[0]) << 16);
}

inline void WritePixel(QImage& img, int x, int y, std::uint32_t rgb) {
  std::uint8_t* p = img.scanLine(y);
  if (img.format() == QImage::Format_BGR888) {
    p += x * 3;
  } else {
    p += x * 4;
    p[3] = 0xFF;
  }
  p[0] = static_cast<std::uint8_t>(rgb >> 16);
  p[1] = static_cast<std::uint8_t>(rgb >> 8);
  p[2] = static_cast<std::uint8_t>(rgb);
}

std::uint32_t ApplyMode(TPenMode mode, std::uint32_t pen, std::uint32_t dst) {
  const std::uint32_t m = 0xFFFFFF;
  switch (mode) {
    case TPenMode::pmBlack:
      return 0;
    case TPenMode::pmWhite:
      return m;
    case TPenMode::pmNop:
      return dst;
    case TPenMode::pmNot:
      return ~dst & m;
    case TPenMode::pmCopy:
      return pen;
    case TPenMode::pmNotCopy:
      return ~pen & m;
    case TPenMode::pmMergePenNot:
      return (pen | ~dst) & m;
    case TPenMode::pmMaskPenNot:
      return pen & ~dst & m;
    case TPenMode::pmMergeNotPen:
      return (~pen | dst) & m;
    case TPenMode::pmMaskNotPen:
      return ~pen & dst & m;
    case TPenMode::pmMerge:
      return pen | dst;
    case TPenMode::pmNotMerge:
      return ~(pen | dst) & m;
    case TPenMode::pmMask:
      return pen & dst;
    case TPenMode::pmNotMask:
      return ~(pen & dst) & m;
    case TPenMode::pmXor:
      return pen ^ dst;
    case TPenMode::pmNotXor:
      return ~(pen ^ dst) & m;
  }
  return pen;
}

}  // namespace

QRect ToQRect(const TRect& r) {
  return QRect(r.Left, r.Top, r.Width(), r.Height());
}

void TCanvas::Attach(QPainter* painter, const TRect& bounds) {
  painter_ = painter;
  painter_bounds_ = bounds;
}

void TCanvas::Detach() {
  painter_ = nullptr;
  painter_bounds_ = {};
}

TRect TCanvas::SurfaceBounds() const {
  if (image_ && !image_->isNull()) return Rect(0, 0, image_->width(), image_->height());
  if (painter_) return painter_bounds_;
  return {};
}

TRect TCanvas::ClipRect() const {
  const TRect b = SurfaceBounds();
  return has_clip_ ? b.Intersect(clip_) : b;
}

void TCanvas::SetClipRect(const TRect& rect) {
  clip_ = rect;
  has_clip_ = !rect.IsEmpty();
}

void TCanvas::PlotPixel(int x, int y, std::uint32_t rgb) {
  if (!ClipRect().Contains({x, y})) return;
  if (painter_) {
    painter_->fillRect(x, y, 1, 1,
                       QColor(static_cast<int>(rgb & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
                              static_cast<int>((rgb >> 16) & 0xFF)));
    return;
  }
  WritePixel(*image_, x, y, ApplyMode(pen_.Mode(), rgb, ReadPixel(*image_, x, y)));
}

void TCanvas::LineTo(int x1, int y1) {
  const TPoint from = pen_pos_;
  pen_pos_ = {x1, y1};
  if (pen_.Style() == TPenStyle::psClear || !HandleAllocated()) return;
  const std::uint32_t rgb = Rgb(pen_.Color());
  if (pen_.Width() > 1 || (painter_ && !image_)) {
    QPainter own;
    QPainter* p = painter_;
    if (!p) {
      own.begin(image_);
      p = &own;
    }
    const TPainterSave saved(p);
    if (has_clip_) p->setClipRect(ToQRect(ClipRect()));
    QPen qpen(ToQColor(pen_.Color()), pen_.Width(), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    if (pen_.Width() == 1) qpen.setCapStyle(Qt::FlatCap);
    p->setPen(qpen);
    p->drawLine(from.X, from.Y, x1, y1);
    return;
  }
  if (!painter_ && image_ && !image_->isNull()) {
    LineToImage(from, pen_pos_, rgb);
    return;
  }
  // Bresenham from the start point up to, not including, the end point.
  int x = from.X, y = from.Y;
  const int dx = std::abs(x1 - x), sx = x < x1 ? 1 : -1;
  const int dy = -std::abs(y1 - y), sy = y < y1 ? 1 : -1;
  int err = dx + dy;
  while (x != x1 || y != y1) {
    PlotPixel(x, y, rgb);
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}

// The same Bresenham walk straight on the bitmap's rows: the clip, the row
// pointers and the format are looked up once per line, not once per pixel.
void TCanvas::LineToImage(TPoint from, TPoint to, std::uint32_t rgb) {
  const TRect clip = ClipRect();
  if (clip.IsEmpty()) return;
  // Every pixel of the walk lies between the two end points.
  if ((from.X < clip.Left && to.X < clip.Left) || (from.X >= clip.Right && to.X >= clip.Right) ||
      (from.Y < clip.Top && to.Y < clip.Top) || (from.Y >= clip.Bottom && to.Y >= clip.Bottom))
    return;
  QImage& img = *image_;
  std::uint8_t* const bits = img.bits();
  const qsizetype bpl = img.bytesPerLine();
  const bool is24 = img.format() == QImage::Format_BGR888;
  const int bpp = is24 ? 3 : 4;
  const TPenMode mode = pen_.Mode();
  auto plot = [&](int x, int y) {
    if (x < clip.Left || x >= clip.Right || y < clip.Top || y >= clip.Bottom) return;
    if (mode != TPenMode::pmCopy) {
      WritePixel(img, x, y, ApplyMode(mode, rgb, ReadPixel(img, x, y)));
      return;
    }
    std::uint8_t* p = bits + static_cast<qsizetype>(y) * bpl + static_cast<qsizetype>(x) * bpp;
    p[0] = static_cast<std::uint8_t>(rgb >> 16);
    p[1] = static_cast<std::uint8_t>(rgb >> 8);
    p[2] = static_cast<std::uint8_t>(rgb);
    if (!is24) p[3] = 0xFF;
  };
  if (from.Y == to.Y || from.X == to.X) {
    // Straight lines: only the visible stretch is walked.
    const bool horizontal = from.Y == to.Y;
    const int a = horizontal ? from.X : from.Y, b = horizontal ? to.X : to.Y;
    const int lo = horizontal ? clip.Left : clip.Top,
              hi = (horizontal ? clip.Right : clip.Bottom) - 1;
    const int step = a < b ? 1 : -1;
    int first = a, last = b - step;  // the end point is not painted
    if (step > 0) {
      first = std::max(first, lo);
      last = std::min(last, hi);
    } else {
      first = std::min(first, hi);
      last = std::max(last, lo);
    }
    const int fixed = horizontal ? from.Y : from.X;
    if ((step > 0 ? first > last : first < last) || fixed < (horizontal ? clip.Top : clip.Left) ||
        fixed >= (horizontal ? clip.Bottom : clip.Right))
      return;
    if (mode == TPenMode::pmCopy) {
      const int n = (last - first) * step + 1;
      const int x0 = horizontal ? std::min(first, last) : fixed;
      const int y0 = horizontal ? fixed : std::min(first, last);
      std::uint8_t* p = bits + static_cast<qsizetype>(y0) * bpl + static_cast<qsizetype>(x0) * bpp;
      const qsizetype stride = horizontal ? bpp : bpl;
      const auto b0 = static_cast<std::uint8_t>(rgb >> 16),
                 g0 = static_cast<std::uint8_t>(rgb >> 8), r0 = static_cast<std::uint8_t>(rgb);
      for (int i = 0; i < n; ++i, p += stride) {
        p[0] = b0;
        p[1] = g0;
        p[2] = r0;
        if (!is24) p[3] = 0xFF;
      }
      return;
    }
    for (int i = first; step > 0 ? i <= last : i >= last; i += step)
      horizontal ? plot(i, from.Y) : plot(from.X, i);
    return;
  }
  int x = from.X, y = from.Y;
  const int dx = std::abs(to.X - x), sx = x < to.X ? 1 : -1;
  const int dy = -std::abs(to.Y - y), sy = y < to.Y ? 1 : -1;
  int err = dx + dy;
  while (x != to.X || y != to.Y) {
    plot(x, y);
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}

void TCanvas::FillSolid(const TRect& rect, TColor color) {
  const TRect r = rect.Intersect(ClipRect());
  if (r.IsEmpty()) return;
  if (painter_ && !image_) {
    painter_->fillRect(ToQRect(r), ToQColor(color));
    return;
  }
  const std::uint32_t rgb = Rgb(color);
  const auto b = static_cast<std::uint8_t>(rgb >> 16), g = static_cast<std::uint8_t>(rgb >> 8),
             rr = static_cast<std::uint8_t>(rgb);
  const bool is24 = image_->format() == QImage::Format_BGR888;
  for (int y = r.Top; y < r.Bottom; ++y) {
    std::uint8_t* p = image_->scanLine(y);
    if (is24) {
      p += r.Left * 3;
      for (int x = r.Left; x < r.Right; ++x, p += 3) {
        p[0] = b;
        p[1] = g;
        p[2] = rr;
      }
    } else {
      auto* q = reinterpret_cast<std::uint32_t*>(p) + r.Left;
      const std::uint32_t v = 0xFF000000u | (static_cast<std::uint32_t>(rr) << 16) |
                              (static_cast<std::uint32_t>(g) << 8) | b;
      std::fill(q, q + r.Width(), v);
    }
  }
}

void TCanvas::FillRect(const TRect& rect) {
  if (brush_.Style() == TBrushStyle::bsClear || !HandleAllocated()) return;
  FillSolid(rect, brush_.Color());
}

void TCanvas::FrameRect(const TRect& r) {
  if (r.IsEmpty() || !HandleAllocated()) return;
  const TColor c = brush_.Color();
  FillSolid({r.Left, r.Top, r.Right, r.Top + 1}, c);
  FillSolid({r.Left, r.Bottom - 1, r.Right, r.Bottom}, c);
  FillSolid({r.Left, r.Top, r.Left + 1, r.Bottom}, c);
  FillSolid({r.Right - 1, r.Top, r.Right, r.Bottom}, c);
}

void TCanvas::Rectangle(int left, int top, int right, int bottom) {
  if (!HandleAllocated()) return;
  const TRect r{left, top, right, bottom};
  if (brush_.Style() != TBrushStyle::bsClear) FillSolid(r, brush_.Color());
  if (pen_.Style() == TPenStyle::psClear || r.IsEmpty()) return;
  const int w = std::max(1, pen_.Width());
  const TColor c = pen_.Color();
  FillSolid({left, top, right, std::min(bottom, top + w)}, c);
  FillSolid({left, std::max(top, bottom - w), right, bottom}, c);
  FillSolid({left, top, std::min(right, left + w), bottom}, c);
  FillSolid({std::max(left, right - w), top, right, bottom}, c);
}

TColor TCanvas::Pixel(int x, int y) const {
  if (!image_ || !SurfaceBounds().Contains({x, y})) return clNone;
  return static_cast<TColor>(ReadPixel(*image_, x, y));
}

void TCanvas::SetPixel(int x, int y, TColor color) {
  if (!image_ || !ClipRect().Contains({x, y})) return;
  WritePixel(*image_, x, y, Rgb(color));
}

void TCanvas::DrawImage(const TRect& dest, const QImage& src, const TRect& source_rect) {
  if (dest.IsEmpty() || source_rect.IsEmpty() || src.isNull()) return;
  if (painter_ && !image_) {
    const TPainterSave saved(painter_);
    if (has_clip_) painter_->setClipRect(ToQRect(ClipRect()));
    painter_->drawImage(ToQRect(dest), src, ToQRect(source_rect));
    return;
  }
  const TRect clip = ClipRect();
  const bool same_size =
      dest.Width() == source_rect.Width() && dest.Height() == source_rect.Height();
  if (same_size && src.format() == image_->format()) {
    // Straight row copies: the common case of a double-buffered paint.
    const TRect d = dest.Intersect(clip);
    if (d.IsEmpty()) return;
    const int bpp = image_->format() == QImage::Format_BGR888 ? 3 : 4;
    const int sx = source_rect.Left + (d.Left - dest.Left);
    const int sy = source_rect.Top + (d.Top - dest.Top);
    const TRect s = TRect{sx, sy, sx + d.Width(), sy + d.Height()}.Intersect(
        Rect(0, 0, src.width(), src.height()));
    if (s.IsEmpty()) return;
    const int dl = d.Left + (s.Left - sx), dt = d.Top + (s.Top - sy);
    const std::size_t n = static_cast<std::size_t>(s.Width()) * static_cast<std::size_t>(bpp);
    if (&src == image_) {
      // Overlapping copy within one bitmap: choose the row order that is safe.
      if (dt > s.Top) {
        for (int y = s.Height() - 1; y >= 0; --y)
          std::memmove(image_->scanLine(dt + y) + dl * bpp,
                       src.constScanLine(s.Top + y) + s.Left * bpp, n);
      } else {
        for (int y = 0; y < s.Height(); ++y)
          std::memmove(image_->scanLine(dt + y) + dl * bpp,
                       src.constScanLine(s.Top + y) + s.Left * bpp, n);
      }
      return;
    }
    for (int y = 0; y < s.Height(); ++y)
      std::memcpy(image_->scanLine(dt + y) + dl * bpp, src.constScanLine(s.Top + y) + s.Left * bpp,
                  n);
    return;
  }
  // Stretching or converting: nearest pixel, per row.
  const TRect d = dest.Intersect(clip);
  for (int y = d.Top; y < d.Bottom; ++y) {
    const int sy = source_rect.Top +
                   static_cast<int>((static_cast<long long>(y - dest.Top) * source_rect.Height()) /
                                    dest.Height());
    if (sy < 0 || sy >= src.height()) continue;
    for (int x = d.Left; x < d.Right; ++x) {
      const int sx =
          source_rect.Left +
          static_cast<int>((static_cast<long long>(x - dest.Left) * source_rect.Width()) /
                           dest.Width());
      if (sx < 0 || sx >= src.width()) continue;
      WritePixel(*image_, x, y, ReadPixel(src, sx, sy));
    }
  }
}

void TCanvas::Draw(int x, int y, const TBitmap& bitmap) {
  if (bitmap.Empty() || !HandleAllocated()) return;
  DrawImage(Bounds(x, y, bitmap.Width(), bitmap.Height()), bitmap.Image(),
            Rect(0, 0, bitmap.Width(), bitmap.Height()));
}

void TCanvas::StretchDraw(const TRect& dest, const TBitmap& bitmap) {
  if (bitmap.Empty() || !HandleAllocated()) return;
  DrawImage(dest, bitmap.Image(), Rect(0, 0, bitmap.Width(), bitmap.Height()));
}

void TCanvas::CopyRect(const TRect& dest, const TCanvas& source, const TRect& source_rect) {
  if (!HandleAllocated() || !source.image_) return;
  DrawImage(dest, *source.image_, source_rect);
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
  if (!HandleAllocated() || text.empty()) return;
  const QString s = ToQString(text);
  const QFont qf = font_.ToQFont();
  const QFontMetrics fm(qf);
  const TTextMetric tm = font_.Metrics();
  const TRect box = Bounds(x, y, fm.horizontalAdvance(s), tm.Height);
  if (brush_.Style() != TBrushStyle::bsClear) FillSolid(box, brush_.Color());
  QPainter own;
  QPainter* p = painter_;
  if (image_) {
    own.begin(image_);
    p = &own;
  }
  const TPainterSave saved(p);
  if (has_clip_) p->setClipRect(ToQRect(ClipRect()));
  p->setFont(qf);
  p->setPen(ToQColor(font_.Color()));
  p->drawText(x, y + tm.Ascent, s);
}

void TCanvas::TextRect(const TRect& rect, int x, int y, const std::string& text) {
  const bool had_clip = has_clip_;
  const TRect old = clip_;
  SetClipRect(has_clip_ ? rect.Intersect(clip_) : rect);
  if (brush_.Style() != TBrushStyle::bsClear) FillSolid(rect, brush_.Color());
  const TBrushStyle style = brush_.Style();
  brush_.SetStyle(TBrushStyle::bsClear);
  TextOut(x, y, text);
  brush_.SetStyle(style);
  clip_ = old;
  has_clip_ = had_clip;
}

int TCanvas::TextWidth(const std::string& text) {
  return QFontMetrics(font_.ToQFont()).horizontalAdvance(ToQString(text));
}

int TCanvas::TextHeight(const std::string&) {
  return font_.Metrics().Height;
}

int TCanvas::DrawText(const std::string& text, TRect& rect, unsigned flags) {
  const QFont qf = font_.ToQFont();
  const QFontMetrics fm(qf);
  const int line_height = font_.Metrics().Height;
  // Prefix handling: "&x" underlines x (drawn as plain text here), "&&" is "&".
  std::string plain;
  plain.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!(flags & DT_NOPREFIX) && text[i] == '&') {
      if (i + 1 < text.size() && text[i + 1] == '&') {
        plain += '&';
        ++i;
      }
      continue;
    }
    if (text[i] == '\t' && (flags & DT_EXPANDTABS)) {
      plain += "        ";
      continue;
    }
    plain += text[i];
  }
  auto width_of = [&](const std::string& s) { return fm.horizontalAdvance(ToQString(s)); };
  std::vector<std::string> lines;
  if (flags & DT_SINGLELINE) {
    std::string one;
    for (char c : plain)
      if (c != '\r' && c != '\n') one += c;
    lines.push_back(one);
  } else {
    std::size_t start = 0;
    while (true) {
      std::size_t end = plain.find('\n', start);
      std::string line =
          plain.substr(start, end == std::string::npos ? std::string::npos : end - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if ((flags & DT_WORDBREAK) && rect.Width() > 0) {
        // Break at spaces; a word wider than the line stays whole.
        while (width_of(line) > rect.Width()) {
          std::size_t cut = std::string::npos;
          for (std::size_t i = line.size(); i-- > 0;) {
            if (line[i] == ' ' && width_of(line.substr(0, i)) <= rect.Width()) {
              cut = i;
              break;
            }
          }
          if (cut == std::string::npos || cut == 0) break;
          lines.push_back(line.substr(0, cut));
          std::size_t next = cut;
          while (next < line.size() && line[next] == ' ') ++next;
          line = line.substr(next);
        }
      }
      lines.push_back(line);
      if (end == std::string::npos) break;
      start = end + 1;
    }
  }
  int max_width = 0;
  for (const std::string& l : lines) max_width = std::max(max_width, width_of(l));
  const int total = line_height * static_cast<int>(lines.size());
  if (flags & DT_CALCRECT) {
    rect.Right = rect.Left + max_width;
    rect.Bottom = rect.Top + total;
    return total;
  }
  int y = rect.Top;
  if (flags & DT_SINGLELINE) {
    if (flags & DT_VCENTER) y = rect.Top + (rect.Height() - line_height) / 2;
    if (flags & DT_BOTTOM) y = rect.Bottom - line_height;
  }
  const bool had_clip = has_clip_;
  const TRect old_clip = clip_;
  if (!(flags & DT_NOCLIP)) SetClipRect(has_clip_ ? rect.Intersect(clip_) : rect);
  const TBrushStyle style = brush_.Style();
  brush_.SetStyle(TBrushStyle::bsClear);
  for (std::string l : lines) {
    if ((flags & DT_END_ELLIPSIS) && width_of(l) > rect.Width()) {
      // Whole characters go, never a part of one.
      while (!l.empty() && width_of(l + "...") > rect.Width()) {
        while (!l.empty() && (static_cast<unsigned char>(l.back()) & 0xC0) == 0x80) l.pop_back();
        if (!l.empty()) l.pop_back();
      }
      l += "...";
    }
    const int w = width_of(l);
    int x = rect.Left;
    if (flags & DT_CENTER) x = rect.Left + (rect.Width() - w) / 2;
    if (flags & DT_RIGHT) x = rect.Right - w;
    TextOut(x, y, l);
    y += line_height;
  }
  brush_.SetStyle(style);
  clip_ = old_clip;
  has_clip_ = had_clip;
  return total;
}

// ---- TBitmap --------------------------------------------------------------

namespace {

// A large new image's pages are mapped in one call rather than faulted in
// one at a time as the fill first writes them: on a virtual machine each
// fault is a trap to the hypervisor, some ten microseconds a page, and the
// main window's caches alone are hundreds of pages at start-up.
void PrefaultPixels(QImage& image) {
  constexpr std::size_t kAtLeast = 64 * 1024;
  const auto bytes = static_cast<std::size_t>(image.sizeInBytes());
  if (bytes < kAtLeast) return;
  static const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto begin = reinterpret_cast<std::uintptr_t>(image.bits());
  const std::uintptr_t first = (begin + page - 1) & ~(page - 1);
  const std::uintptr_t last = (begin + bytes) & ~(page - 1);
  // A kernel before 5.14 refuses the advice: the fill then faults as before.
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
}

}  // namespace

QImage::Format TBitmap::QtFormat(TPixelFormat format) {
  return format == TPixelFormat::pf24bit ? QImage::Format_BGR888 : QImage::Format_RGB32;
}

TBitmap::TBitmap(int width, int height, TPixelFormat format) : format_(format) {
  SetSize(width, height);
}

void TBitmap::SetSize(int width, int height) {
  width = std::max(0, width);
  height = std::max(0, height);
  if (width == Width() && height == Height()) return;
  if (width == 0 || height == 0) {
    image_ = QImage();
    return;
  }
  QImage next(width, height, QtFormat(format_));
  if (next.isNull()) throw EOutOfResources();
  PrefaultPixels(next);
  // Black, as a pixel value: a colour would fill a 24-bit image through a
  // painter, which wants the GUI application (and bitmaps are made on other
  // threads too, a skin built ahead while Qt starts).
  next.fill(format_ == TPixelFormat::pf24bit ? 0U : 0xFF000000U);
  if (!image_.isNull()) {
    const int w = std::min(width, image_.width()) * BytesPerPixel();
    const int h = std::min(height, image_.height());
    for (int y = 0; y < h; ++y)
      std::memcpy(next.scanLine(y), image_.constScanLine(y), static_cast<std::size_t>(w));
  }
  image_ = std::move(next);
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  if (format == format_) return;
  format_ = format;
  if (!image_.isNull()) image_ = image_.convertToFormat(QtFormat(format));
}

std::uint8_t* TBitmap::ScanLine(int y) {
  if (y < 0 || y >= Height()) throw ERangeError("Scan line index out of range");
  return image_.scanLine(y);
}

const std::uint8_t* TBitmap::ScanLine(int y) const {
  if (y < 0 || y >= Height()) throw ERangeError("Scan line index out of range");
  return image_.constScanLine(y);
}

void TBitmap::Assign(const TBitmap& other) {
  if (&other == this) return;
  format_ = other.format_;
  image_ = other.image_.copy();
}

void TBitmap::Assign(const QImage& image) {
  image_ = image.isNull() ? QImage() : image.convertToFormat(QtFormat(format_));
}
