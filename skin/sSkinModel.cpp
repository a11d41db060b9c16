#include "skin/sSkinModel.h"

#include <dirent.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <functional>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "skin/HueSaturation.h"
#include "skin/MemIniFile.h"
#include "skin/SkinLimits.h"
#include "skin/sImages.h"
#include "skin/sSkinArchive.h"
#include "toolkit/Graphics.h"
#include "toolkit/Guards.h"
#include "toolkit/SysUtils.h"

namespace {
constexpr const char* kGlobalInfo = "GLOBALINFO";

bool SameText(const std::string& a, const std::string& b) {
  return UpperCase(a) == UpperCase(b);
}

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

// The decimal number of `length` characters at 1-based `position`.
int FixedDigits(const std::string& value, std::size_t position, std::size_t length) {
  if (value.size() < position - 1 + length) {
    throw EConvertError(Format("'%s' is too short for a mask value", value.c_str()));
  }
  int v = 0;
  for (std::size_t i = position - 1; i < position - 1 + length; ++i) {
    const char c = value[i];
    if (c < '0' || c > '9') {
      throw EConvertError(
          Format("'%s' is not a valid integer value", value.substr(position - 1, length).c_str()));
    }
    v = v * 10 + (c - '0');
  }
  return v;
}

std::int16_t Int16Field(const std::string& text) {
  const int v = StrToInt(text);
  if (v < INT16_MIN || v > INT16_MAX) {
    throw EConvertError(Format("'%s' is not a valid integer value", text.c_str()));
  }
  return static_cast<std::int16_t>(v);
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> r;
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = text.find(separator, start);
    r.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return r;
    start = at + 1;
  }
}

// Widths for a piece whose value gives none: a third of a frame.
void DefaultWidths(MaskRecord& m) {
  const int ic = std::max<int>(1, m.ImageCount);
  const int frames_high = m.MaskType + 1;
  m.LeftWidth = m.RightWidth = static_cast<std::int16_t>(m.SourceRect.Width() / (ic * 3));
  m.TopWidth = m.BottomWidth = static_cast<std::int16_t>(m.SourceRect.Height() / (frames_high * 3));
}

// The skin's file names are written in upper case; on a case-sensitive file
// system the file is found by comparing the last part without regard to case.
// Only names are compared: nothing is opened here.
std::string FindFileNoCase(const std::string& path) {
  if (SkinFileExists(path)) return path;
  const std::size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string upper = UpperCase(slash == std::string::npos ? path : path.substr(slash + 1));
  std::string found;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      if (UpperCase(e->d_name) == upper) {
        found = dir + e->d_name;
        break;
      }
    }
    closedir(d);
  }
  return found;
}

// The bytes of an image named in the options: an archive entry for a packed
// skin, else the file in the skin path (a relative name) or the path itself.
// Without a skin path a relative name names no file: it would otherwise be
// looked for in whatever folder the program was started from.
std::vector<std::uint8_t> ImageBytes(const TsModelSource& source, const std::string& name) {
  std::string upper = UpperCase(name);
  if (source.Archive != nullptr) {
    const TsArchiveEntry* e = source.Archive->FindImage(upper);
    return e != nullptr ? e->Data : std::vector<std::uint8_t>{};
  }
  std::string file = name;
  std::replace(file.begin(), file.end(), '\\', '/');
  if (file.empty()) return {};
  if (file[0] != '/') {
    if (source.SkinPath.empty()) return {};
    file = source.SkinPath + file;
  }
  const std::string found = FindFileNoCase(file);
  if (found.empty()) return {};
  std::optional<std::vector<std::uint8_t>> bytes = ReadSkinFile(found);
  return bytes ? std::move(*bytes) : std::vector<std::uint8_t>{};
}

std::shared_ptr<TBitmap> LoadBmp(const TsModelSource& source, const std::string& name) {
  const std::vector<std::uint8_t> bytes = ImageBytes(source, name);
  if (bytes.empty()) return nullptr;
  TsPixels px;
  if (!DecodeBmp(bytes.data(), bytes.size(), px)) return nullptr;
  return PixelsToBitmap(px);
}

// The "PARENTCLASS" chains of one options text, resolved once per key: for
// each section and key, which section along the chain (the section itself
// first) gives the key. Every answer is kept, and a walk stops at the first
// section whose answer is known, so all sections together cost time in
// proportion to their number, however long the chains.
//
// A parent equal to the section, an empty one, "?" or a name that is no
// section ends a chain, and so does a section met twice on one walk (a loop).
class TParentChains {
 public:
  enum class TKind { Integer, Text };

  explicit TParentChains(const TMemIniFile& ini) : ini_(ini), names_(ini.ReadSections()) {
    std::unordered_map<std::string, int> index;
    for (std::size_t i = 0; i < names_.size(); ++i)
      index.emplace(UpperCase(names_[i]), static_cast<int>(i));
    parents_.assign(names_.size(), -1);
    for (std::size_t i = 0; i < names_.size(); ++i) {
      const std::string parent = ini_.ReadString(names_[i], "PARENTCLASS", "");
      if (parent.empty() || parent == "?" || SameText(parent, names_[i])) continue;
      const auto it = index.find(UpperCase(parent));
      if (it != index.end()) parents_[i] = it->second;
    }
    on_walk_.assign(names_.size(), 0);
  }

  const std::vector<std::string>& Names() const { return names_; }

  // The section that gives `key` to section `start` when inherited: its
  // index, or -1 when no section along the chain gives it.
  int Giver(int start, const char* key, TKind kind) {
    auto& answers = givers_[kind == TKind::Integer ? 0 : 1];
    auto known_key = answers.find(std::string_view(key));
    if (known_key == answers.end())
      known_key = answers.emplace(key, std::vector<int>(names_.size(), kUnknown)).first;
    std::vector<int>& givers = known_key->second;
    walk_.clear();
    int s = start;
    int found = -1;
    for (;;) {
      if (s < 0 || on_walk_[static_cast<std::size_t>(s)]) break;  // the end, or a loop
      const int known = givers[static_cast<std::size_t>(s)];
      if (known != kUnknown) {
        found = known;
        break;
      }
      if (Gives(s, key, kind)) {
        found = s;
        break;
      }
      on_walk_[static_cast<std::size_t>(s)] = 1;
      walk_.push_back(s);
      s = parents_[static_cast<std::size_t>(s)];
    }
    for (int w : walk_) {
      givers[static_cast<std::size_t>(w)] = found;
      on_walk_[static_cast<std::size_t>(w)] = 0;
    }
    return found;
  }

  // Whether section `s` gives `key` itself: an integer key given as -1 (or
  // as no whole number) and a text key given as "?" count as missing.
  bool Gives(int s, const char* key, TKind kind) const {
    const std::string& name = names_[static_cast<std::size_t>(s)];
    if (kind == TKind::Integer) return ini_.ReadInteger(name, key, -1) != -1;
    return ini_.ReadString(name, key, "?") != "?";
  }

 private:
  static constexpr int kUnknown = -2;
  const TMemIniFile& ini_;
  std::vector<std::string> names_;
  std::vector<int> parents_;
  // Per kind (integer, text), by key: each section's giver, once known.
  struct TKeyHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view key) const {
      return std::hash<std::string_view>{}(key);
    }
  };
  std::unordered_map<std::string, std::vector<int>, TKeyHash, std::equal_to<>> givers_[2];
  std::vector<int> walk_;
  std::vector<char> on_walk_;
};

// Reads one section's keys, the inherited ones through its chain. In
// overriding mode a key that neither the section nor its chain gives leaves
// the field as it is.
class TFieldReader {
 public:
  TFieldReader(const TMemIniFile& ini, TParentChains& chains, int section, bool overriding)
      : ini_(ini), chains_(chains), section_(section), overriding_(overriding) {}

  void Int(int& field, const char* key, int def, bool inherited) {
    const int giver = Giver(key, TParentChains::TKind::Integer, inherited);
    if (giver >= 0) {
      field = ini_.ReadInteger(Name(giver), key, -1);
    } else if (!overriding_) {
      field = def;
    }
  }
  void Str(std::string& field, const char* key, const std::string& def, bool inherited) {
    const int giver = Giver(key, TParentChains::TKind::Text, inherited);
    if (giver >= 0) {
      field = ini_.ReadString(Name(giver), key, "?");
    } else if (!overriding_) {
      field = def;
    }
  }
  void Bool(bool& field, const char* key, bool def) {
    std::string text = "?";
    Str(text, key, "?", true);
    if (text != "?") {
      field = UpperCase(Trim(text)) == "TRUE";
    } else if (!overriding_) {
      field = def;
    }
  }

 private:
  int Giver(const char* key, TParentChains::TKind kind, bool inherited) {
    if (inherited) return chains_.Giver(section_, key, kind);
    return chains_.Gives(section_, key, kind) ? section_ : -1;
  }
  const std::string& Name(int s) const { return chains_.Names()[static_cast<std::size_t>(s)]; }

  const TMemIniFile& ini_;
  TParentChains& chains_;
  int section_;
  bool overriding_;
};

void ReadSectionRecord(SectionRecord& r, TFieldReader& f) {
  f.Str(r.ParentClass, "PARENTCLASS", "", false);
  f.Int(r.Color, "COLOR", 0xFFFFFF, true);
  r.Color = ColorToRGB(r.Color);
  f.Int(r.Bevel, "BEVEL", cbNone, true);
  static const char* const kFont[5] = {"FONTCOLOR", "TCLEFT", "TCTOP", "TCRIGHT", "TCBOTTOM"};
  static const char* const kHotFont[5] = {"HOTFONTCOLOR", "HOTTCLEFT", "HOTTCTOP", "HOTTCRIGHT",
                                          "HOTTCBOTTOM"};
  for (int i = 0; i < 5; ++i) {
    f.Int(r.FontColor[i], kFont[i], i == 0 ? 0 : -1, true);
    f.Int(r.HotFontColor[i], kHotFont[i], i == 0 ? 0 : -1, true);
  }
  f.Int(r.ShadowBlur, "SHADOWBLUR", 6, true);
  f.Int(r.ShadowColor, "SHADOWCOLOR", 0, false);
  f.Int(r.ShadowOffset, "SHADOWOFFSET", 3, true);
  f.Int(r.ShadowTransparency, "SHADOWTRANSPARENCY", 50, true);
  f.Bool(r.ShadowEnabled, "SHADOWENABLED", false);
  f.Bool(r.ReservedBoolean, "RESERVEDBOOLEAN", false);
  f.Bool(r.GiveOwnFont, "GIVEOWNFONT", false);
  f.Int(r.Transparency, "TRANSPARENCY", 0, true);
  f.Int(r.GradientPercent, "GRADIENTPERCENT", 0, true);
  f.Str(r.GradientData, "GRADIENTDATA", " ", true);
  f.Int(r.ImagePercent, "IMAGEPERCENT", 0, true);
  f.Bool(r.ShowFocus, "SHOWFOCUS", false);
  f.Bool(r.FadingEnabled, "FADINGENABLED", false);
  f.Int(r.FadingIntervalIn, "FADINGINTERVALIN", 5, true);
  f.Int(r.FadingIntervalOut, "FADINGINTERVALOUT", 5, true);
  f.Int(r.FadingIterations, "FADINGITERATIONS", 5, true);
  f.Int(r.HotColor, "HOTCOLOR", 0xFFFFFF, true);
  f.Int(r.HotTransparency, "HOTTRANSPARENCY", 0, true);
  f.Int(r.HotBevel, "HOTBEVEL", cbNone, true);
  f.Int(r.HotGradientPercent, "HOTGRADIENTPERCENT", 0, true);
  f.Str(r.HotGradientData, "HOTGRADIENTDATA", "", true);
  f.Int(r.HotImagePercent, "HOTIMAGEPERCENT", 0, true);
  f.Int(r.BorderColor1, "BORDERCOLOR1", 0, true);
  f.Int(r.BorderColor2, "BORDERCOLOR2", 0, true);
  r.GradientArray = ParseGradient(r.GradientData);
  r.HotGradientArray = ParseGradient(r.HotGradientData);
}

// The older notation: "[IMAGE.BMP]#left#top#right#bottom#ImageCount#MaskType",
// a border piece cut from the named image, or from the master bitmap when the
// name is empty.
bool ParseHashMask(const std::string& value, MaskRecord& m, std::string& image) {
  const std::vector<std::string> f = Split(value, '#');
  if (f.size() < 7) return false;
  image = Trim(f[0]);
  m.SourceRect = {Int16Field(f[1]), Int16Field(f[2]), Int16Field(f[3]), Int16Field(f[4])};
  m.ImageCount = std::max<std::int16_t>(1, Int16Field(f[5]));
  m.MaskType = std::max<std::int16_t>(0, Int16Field(f[6]));
  if (m.SourceRect.Width() < 0 || m.SourceRect.Height() < 0) return false;
  m.ImageType = itisaBorder;
  DefaultWidths(m);
  return true;
}

double ReadReal(const std::string& text) {
  const std::string t = Trim(text);
  double v = 0;
  const auto r = std::from_chars(t.data(), t.data() + t.size(), v);
  return r.ec == std::errc() && std::isfinite(v) ? v : 0;
}

// The notations a piece's value may use, told apart by the first character,
// then by a "#" or ".BMP" anywhere in it.
enum class TsValueKind { None, Fixed, External, Hash, PlainBitmap };

TsValueKind ValueKind(const std::string& value) {
  if (value.empty()) return TsValueKind::None;
  if (value[0] == '^' || value[0] == '@' || value[0] == '~') return TsValueKind::Fixed;
  if (value[0] == '!') return TsValueKind::External;
  const std::string upper = UpperCase(value);
  if (Contains(upper, "#")) return TsValueKind::Hash;
  if (Contains(upper, ".BMP")) return TsValueKind::PlainBitmap;
  return TsValueKind::None;
}

// Gives the mask its own bitmap from `file`; false when the file is missing,
// unreadable or empty.
bool OwnBitmap(const TsModelSource& source, const std::string& file, MaskRecord& m) {
  m.Bitmap = LoadBmp(source, file);
  return m.Bitmap && !m.Bitmap->Empty();
}

// A whole bitmap file as the mask's image: its rectangle is the whole image.
bool WholeBitmapMask(const TsModelSource& source, const std::string& file, MaskRecord& m) {
  if (!OwnBitmap(source, file, m)) return false;
  m.SourceRect = {0, 0, m.Bitmap->Width(), m.Bitmap->Height()};
  return true;
}

// A whole bitmap file as a border mask of three state frames side by side,
// each with its mask below it.
bool ThreeFrameMask(const TsModelSource& source, const std::string& file, MaskRecord& m) {
  if (!WholeBitmapMask(source, file, m)) return false;
  m.ImageCount = 3;
  m.MaskType = 1;
  m.ImageType = itisaBorder;
  DefaultWidths(m);
  return true;
}

// Fills `m` from one section value; false when the value names no piece or
// its image cannot be had.
bool ReadMask(const TsModelSource& source, const std::string& value, MaskRecord& m) {
  switch (ValueKind(value)) {
    case TsValueKind::Fixed:
      return ParseMaskValue(value, m);
    case TsValueKind::External: {
      TsExternalMask ext;
      if (!ParseExternalMask(value, ext) || !WholeBitmapMask(source, ext.FileName, m)) return false;
      m.ImageCount = static_cast<std::int16_t>(ext.ImageCount);
      m.MaskType = static_cast<std::int16_t>(ext.MaskType);
      m.ImageType = ext.ImageType;
      m.DrawMode = kDrawCentre;
      if (ext.HasWidths) {
        m.LeftWidth = static_cast<std::int16_t>(ext.Widths[0]);
        m.TopWidth = static_cast<std::int16_t>(ext.Widths[1]);
        m.RightWidth = static_cast<std::int16_t>(ext.Widths[2]);
        m.BottomWidth = static_cast<std::int16_t>(ext.Widths[3]);
      } else {
        DefaultWidths(m);
      }
      return true;
    }
    case TsValueKind::Hash: {
      std::string image;
      if (!ParseHashMask(value, m, image)) return false;
      return image.empty() || OwnBitmap(source, image, m);
    }
    case TsValueKind::PlainBitmap:
      return ThreeFrameMask(source, value, m);
    case TsValueKind::None:
      break;
  }
  return false;
}
}  // namespace

std::vector<GradientStep> ParseGradient(const std::string& value) {
  std::vector<GradientStep> steps;
  if (value == " ") return steps;
  const std::vector<std::string> words = Split(value, ';');
  const std::size_t count = words.size() / 5;
  steps.reserve(count);
  auto number = [](const std::string& w) {
    int v = 0;
    return TryStrToInt(w, v) ? v : 0;
  };
  for (std::size_t i = 0; i < count; ++i) {
    GradientStep s;
    s.Color1 = number(words[5 * i]);
    s.Color2 = number(words[5 * i + 1]);
    s.Percent = static_cast<std::uint8_t>(std::clamp(number(words[5 * i + 2]), 0, 100));
    s.Mode = number(words[5 * i + 3]);
    steps.push_back(s);
  }
  return steps;
}

bool ParseMaskValue(const std::string& value, MaskRecord& m) {
  if (value.empty()) return false;
  const char sign = value[0];
  if (sign != '^' && sign != '@' && sign != '~') return false;
  m.SourceRect = {FixedDigits(value, 2, 4), FixedDigits(value, 7, 4), FixedDigits(value, 12, 4),
                  FixedDigits(value, 17, 4)};
  if (sign == '^') {
    m.ImageType = itisaBorder;
    m.LeftWidth = static_cast<std::int16_t>(FixedDigits(value, 22, 4));
    m.TopWidth = static_cast<std::int16_t>(FixedDigits(value, 27, 4));
    m.RightWidth = static_cast<std::int16_t>(FixedDigits(value, 32, 4));
    m.BottomWidth = static_cast<std::int16_t>(FixedDigits(value, 37, 4));
    m.ImageCount = static_cast<std::int16_t>(FixedDigits(value, 42, 1));
    m.MaskType = static_cast<std::int16_t>(FixedDigits(value, 44, 1));
    m.DrawMode = static_cast<std::int16_t>(FixedDigits(value, 46, 1));
    m.BorderWidth = static_cast<std::int16_t>(FixedDigits(value, 48, 1));
  } else if (sign == '@') {
    m.ImageType = itisaGlyph;
    m.ImageCount = static_cast<std::int16_t>(FixedDigits(value, 22, 1));
    m.MaskType = static_cast<std::int16_t>(FixedDigits(value, 24, 1));
  } else {
    m.ImageType = itisaTexture;
    m.ImageCount = 1;
    m.DrawMode = static_cast<std::int16_t>(FixedDigits(value, 22, 2));
    m.MaskType =
        value.size() >= 25 ? static_cast<std::int16_t>(FixedDigits(value, 25, 1)) : std::int16_t{0};
  }
  // No state frames would divide by zero; one frame is what such a value means.
  if (m.ImageCount < 1) m.ImageCount = 1;
  if (m.SourceRect.Width() < 0 || m.SourceRect.Height() < 0) return false;
  if (sign == '^' && m.LeftWidth == 0 && m.TopWidth == 0 && m.RightWidth == 0 &&
      m.BottomWidth == 0) {
    if (m.BorderWidth > 0) {
      m.LeftWidth = m.TopWidth = m.RightWidth = m.BottomWidth = m.BorderWidth;
    } else {
      DefaultWidths(m);
    }
  }
  return true;
}

bool ParseExternalMask(const std::string& value, TsExternalMask& m) {
  if (value.empty() || value[0] != '!') return false;
  const std::vector<std::string> f = Split(value.substr(1), '!');
  if (f.size() < 4) return false;
  m.FileName = UpperCase(Trim(f[0]));
  if (!Contains(m.FileName, ".BMP")) return false;
  m.ImageCount = std::max<int>(1, Int16Field(f[1]));
  m.MaskType = std::max<int>(0, Int16Field(f[2]));
  const int type = Int16Field(f[3]);
  if (type < itisaBorder || type > itisaGlyph) return false;
  m.ImageType = static_cast<TsImageType>(type);
  m.HasWidths = f.size() >= 5;
  m.Widths = {};
  for (std::size_t i = 4; i < f.size() && i < 8; ++i) m.Widths[i - 4] = Int16Field(f[i]);
  return true;
}

const TBitmap* MaskRecord::Source() const {
  if (Bitmap) return Bitmap.get();
  return Model != nullptr ? Model->MasterBitmap() : nullptr;
}

int MaskRecord::FrameWidth() const {
  return SourceRect.Width() / std::max<int>(1, ImageCount);
}

int MaskRecord::FrameHeight() const {
  return SourceRect.Height() / (std::max<int>(0, MaskType) + 1);
}

TsSkinModel::TsSkinModel(TsSkinManager* manager) : manager_(manager) {}

TsSkinModel::~TsSkinModel() = default;

void TsSkinModel::Clear() {
  masks_.clear();
  patterns_.clear();
  sections_.clear();
  UpdateCache();
}

void TsSkinModel::Adopt(TsSkinModel&& built) {
  sections_ = std::move(built.sections_);
  masks_ = std::move(built.masks_);
  for (MaskRecord& m : masks_) m.Model = this;
  patterns_ = std::move(built.patterns_);
  master_ = std::move(built.master_);
  const bool active = data_.Active;
  data_ = std::move(built.data_);
  data_.Active = active;
  built.Clear();
  UpdateCache();
}

void TsSkinModel::Assign(std::vector<SectionRecord> sections, std::vector<MaskRecord> masks,
                         std::shared_ptr<TBitmap> master, const TsSkinData& data) {
  sections_ = std::move(sections);
  masks_ = std::move(masks);
  for (MaskRecord& m : masks_) m.Model = this;
  patterns_.clear();
  master_ = std::move(master);
  const bool active = data_.Active;
  data_ = data;
  data_.Active = active;
  UpdateCache();
}

void TsSkinModel::Build(const TsModelSource& source) {
  master_.reset();
  Clear();
  const bool active = data_.Active;
  data_ = TsSkinData{};
  data_.Active = active;
  data_.SkinPath = source.SkinPath;
  // A build that fails leaves the model empty.
  TScopeExit discard([this] {
    master_.reset();
    Clear();
  });
  if (source.Options != nullptr) {
    const TMemIniFile& ini = *source.Options;
    if (ini.SectionCount() > kMaxSkinSections) {
      throw ESkinRefused(Format("Skin file \"%s\" has more than %zu sections",
                                source.Origin.c_str(), kMaxSkinSections));
    }
    ReadMasks(ini, source);
    ReadPatterns(ini, source);
    ReadGlobalValues(ini);
    ReadSections(ini);
  }
  if (source.CommonSections != nullptr && !source.CommonSections->Empty()) {
    LayCommonSections(*source.CommonSections, source);
  }
  ShiftHueSaturation(source.HueOffset, source.Saturation);
  discard.Dismiss();
  UpdateCache();
}

// The master bitmap, then every piece named in any section.
void TsSkinModel::ReadMasks(const TMemIniFile& ini, const TsModelSource& source) {
  const std::string master_name = Trim(ini.ReadString(kGlobalInfo, "MASTERBITMAP", ""));
  if (!master_name.empty()) master_ = LoadBmp(source, master_name);
  for (const std::string& section : ini.ReadSections()) {
    const bool global = SameText(section, kGlobalInfo);
    for (const std::string& key : ini.ReadSection(section)) {
      const std::string upper_key = UpperCase(key);
      if (global && upper_key == "MASTERBITMAP") continue;
      const std::string value = Trim(ini.ReadString(section, key, ""));
      if (value.empty()) continue;
      MaskRecord m;
      m.SectionName = UpperCase(section);
      m.PropertyName = upper_key;
      m.Model = this;
      if (ReadMask(source, value, m)) masks_.push_back(std::move(m));
    }
  }
}

// Picture patterns: JPEG images named by "PATTERN" and "HOTPATTERN".
void TsSkinModel::ReadPatterns(const TMemIniFile& ini, const TsModelSource& source) {
  for (const std::string& section : ini.ReadSections()) {
    for (const char* key : {"PATTERN", "HOTPATTERN"}) {
      const std::string value = Trim(ini.ReadString(section, key, ""));
      const std::string upper = UpperCase(value);
      if (!Contains(upper, ".JPG") && !Contains(upper, ".JPEG")) continue;
      const std::vector<std::uint8_t> bytes = ImageBytes(source, value);
      TsPixels px;
      if (bytes.empty() || !DecodeJpeg(bytes.data(), bytes.size(), px)) continue;
      patterns_.push_back({UpperCase(section), key, PixelsToBitmap(px)});
    }
  }
}

void TsSkinModel::ReadGlobalValues(const TMemIniFile& ini) {
  data_.Version = ReadReal(ini.ReadString(kGlobalInfo, "VERSION", "0"));
  data_.Author = ini.ReadString(kGlobalInfo, "AUTHOR", "");
  data_.Description = ini.ReadString(kGlobalInfo, "DESCRIPTION", "");
  data_.Shadow1Color = ini.ReadInteger(kGlobalInfo, "SHADOW1COLOR", 0);
  data_.Shadow1Offset = StrToInt(ini.ReadString(kGlobalInfo, "SHADOW1OFFSET", "0"));
  data_.Shadow1Blur = StrToInt(ini.ReadString(kGlobalInfo, "SHADOW1BLUR", "-1"));
  data_.Shadow1Transparency = StrToInt(ini.ReadString(kGlobalInfo, "SHADOW1TRANSPARENCY", "0"));
  data_.BISpacing = ini.ReadInteger(kGlobalInfo, "BISPACE", 0);
  data_.BIVAlign = ini.ReadInteger(kGlobalInfo, "BIVALIGN", 0);
  data_.BorderColor = ini.ReadInteger(kGlobalInfo, "BORDERCOLOR", 0);
}

// One record per section, in the text's order.
void TsSkinModel::ReadSections(const TMemIniFile& ini) {
  TParentChains chains(ini);
  const std::vector<std::string>& names = chains.Names();
  sections_.reserve(names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    SectionRecord r;
    r.SectionName = names[i];
    TFieldReader reader(ini, chains, static_cast<int>(i), false);
    ReadSectionRecord(r, reader);
    sections_.push_back(std::move(r));
  }
}

// Common sections are laid over the skin's key by key; a section the skin
// lacks is added. Their plain ".BMP" values become three-frame masks.
void TsSkinModel::LayCommonSections(const TMemIniFile& common, const TsModelSource& source) {
  TParentChains chains(common);
  std::unordered_map<std::string, std::size_t> by_name;
  for (std::size_t i = 0; i < sections_.size(); ++i)
    by_name.emplace(UpperCase(sections_[i].SectionName), i);
  const std::vector<std::string>& names = chains.Names();
  for (std::size_t index = 0; index < names.size(); ++index) {
    const std::string& section = names[index];
    if (SameText(section, kGlobalInfo)) continue;
    const auto found = by_name.find(UpperCase(section));
    if (found != by_name.end()) {
      TFieldReader reader(common, chains, static_cast<int>(index), true);
      ReadSectionRecord(sections_[found->second], reader);
    } else {
      SectionRecord r;
      r.SectionName = UpperCase(section);
      TFieldReader reader(common, chains, static_cast<int>(index), false);
      ReadSectionRecord(r, reader);
      by_name.emplace(r.SectionName, sections_.size());
      sections_.push_back(std::move(r));
    }
    for (const std::string& key : common.ReadSection(section)) {
      const std::string value = Trim(common.ReadString(section, key, ""));
      if (ValueKind(value) != TsValueKind::PlainBitmap) continue;
      MaskRecord m;
      m.SectionName = UpperCase(section);
      m.PropertyName = UpperCase(key);
      m.Model = this;
      if (ThreeFrameMask(source, value, m)) masks_.push_back(std::move(m));
    }
  }
}

namespace {
// A section and a key as one look-up key.
std::string LookupKey(const std::string& section, const std::string& key) {
  std::string k = section;
  k.push_back('\0');
  k += key;
  return k;
}

int Lookup(const std::unordered_map<std::string, int>& table, const std::string& key) {
  const auto it = table.find(key);
  return it == table.end() ? -1 : it->second;
}
}  // namespace

void TsSkinModel::IndexLookups() {
  section_by_name_.clear();
  mask_by_key_.clear();
  texture_by_key_.clear();
  pattern_by_key_.clear();
  for (std::size_t i = 0; i < sections_.size(); ++i)
    section_by_name_.emplace(sections_[i].SectionName, static_cast<int>(i));
  for (std::size_t i = 0; i < masks_.size(); ++i) {
    const std::string key = LookupKey(masks_[i].SectionName, masks_[i].PropertyName);
    mask_by_key_.emplace(key, static_cast<int>(i));
    if (masks_[i].ImageType == itisaTexture) texture_by_key_.emplace(key, static_cast<int>(i));
  }
  for (std::size_t i = 0; i < patterns_.size(); ++i) {
    pattern_by_key_.emplace(LookupKey(patterns_[i].SectionName, patterns_[i].PropertyName),
                            static_cast<int>(i));
  }
}

int TsSkinModel::SectionIndex(const std::string& name) const {
  const int i = Lookup(section_by_name_, name);
  return i < static_cast<int>(sections_.size()) ? i : -1;
}

int TsSkinModel::FindMask(int section_index, const std::string& section_name,
                          const std::string& key, TsLookupKind kind) const {
  const auto& table = kind == TsLookupKind::Pattern   ? pattern_by_key_
                      : kind == TsLookupKind::Texture ? texture_by_key_
                                                      : mask_by_key_;
  const std::size_t count = kind == TsLookupKind::Pattern ? patterns_.size() : masks_.size();
  std::string section = section_name;
  // A chain of parents longer than the list of sections can only be a loop.
  for (std::size_t depth = 0; depth <= sections_.size(); ++depth) {
    const int found = Lookup(table, LookupKey(section, key));
    if (found >= 0 && found < static_cast<int>(count)) return found;
    if (section_index < 0 || section_index >= static_cast<int>(sections_.size())) return -1;
    const std::string& parent = sections_[static_cast<std::size_t>(section_index)].ParentClass;
    if (parent.empty() || parent == section) return -1;
    section_index = SectionIndex(parent);
    if (section_index < 0) return -1;
    section = parent;
  }
  return -1;
}

void TsSkinModel::IndexItemMasks() {
  // The keys in the order of TsItemMasks: the border, then the corners.
  static constexpr std::array<std::string_view, 5> kKeys{"BORDERSMASK", "IMGTOPLEFT", "IMGTOPRIGHT",
                                                         "IMGBTMLEFT", "IMGBTMRIGHT"};
  using TFive = std::array<int, kKeys.size()>;
  constexpr TFive kNoMasks{-1, -1, -1, -1, -1};
  // The masks a section name has of its own: the first of each key, as the
  // look-up tables keep them.
  std::unordered_map<std::string_view, TFive> own;
  for (std::size_t m = 0; m < masks_.size(); ++m) {
    const auto* key = std::find(kKeys.begin(), kKeys.end(), masks_[m].PropertyName);
    if (key == kKeys.end()) continue;
    int& slot = own.try_emplace(masks_[m].SectionName, kNoMasks)
                    .first->second[static_cast<std::size_t>(key - kKeys.begin())];
    if (slot < 0) slot = static_cast<int>(m);
  }
  std::vector<TFive> found(sections_.size(), kNoMasks);
  std::vector<int> parent(sections_.size(), -1);
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    const SectionRecord& s = sections_[i];
    if (const auto it = own.find(s.SectionName); it != own.end()) found[i] = it->second;
    if (!s.ParentClass.empty() && s.ParentClass != s.SectionName)
      parent[i] = SectionIndex(s.ParentClass);
  }
  // A key a section lacks is its parent's answer, so each section is
  // looked at once per key however long the chains; a section met again on
  // the chain being followed closes a loop, where nothing is found.
  constexpr int kUnknown = -2, kOnChain = -3;
  std::vector<int> answer(sections_.size());
  std::vector<std::size_t> chain;
  item_masks_.assign(sections_.size(), TsItemMasks{});
  for (std::size_t k = 0; k < kKeys.size(); ++k) {
    for (std::size_t i = 0; i < sections_.size(); ++i)
      answer[i] = found[i][k] >= 0 ? found[i][k] : kUnknown;
    for (std::size_t start = 0; start < sections_.size(); ++start) {
      int result = -1;
      for (std::size_t i = start;;) {
        if (answer[i] != kUnknown) {
          result = answer[i] == kOnChain ? -1 : answer[i];
          break;
        }
        answer[i] = kOnChain;
        chain.push_back(i);
        if (parent[i] < 0) break;
        i = static_cast<std::size_t>(parent[i]);
      }
      for (const std::size_t i : chain) answer[i] = result;
      chain.clear();
    }
    for (std::size_t i = 0; i < sections_.size(); ++i) {
      TsItemMasks& m = item_masks_[i];
      (k == 0 ? m.Borders : m.Corners[k - 1]) = answer[i];
    }
  }
}

int TsSkinModel::MaskIndex(int section_index, const std::string& section,
                           const std::string& key) const {
  return FindMask(section_index, section, key, TsLookupKind::Any);
}

const TsSkinModel::TsItemMasks& TsSkinModel::ItemMasks(int section_index) const {
  static const TsItemMasks kNone;
  if (section_index < 0 || section_index >= static_cast<int>(item_masks_.size())) return kNone;
  return item_masks_[static_cast<std::size_t>(section_index)];
}

int TsSkinModel::TextureIndex(int section_index, const std::string& section,
                              const std::string& key) const {
  return FindMask(section_index, section, key, TsLookupKind::Texture);
}

int TsSkinModel::PatternIndex(int section_index, const std::string& section,
                              const std::string& key) const {
  return FindMask(section_index, section, key, TsLookupKind::Pattern);
}

TsBorderWidths TsSkinModel::MaskBorderWidths(int mask_index) const {
  if (mask_index < 0 || mask_index >= static_cast<int>(masks_.size())) return {};
  const MaskRecord& m = masks_[static_cast<std::size_t>(mask_index)];
  const int fw = m.FrameWidth(), fh = m.FrameHeight();
  auto pick = [&m](int own, int third) {
    if (own > 0) return own;
    if (m.BorderWidth > 0) return static_cast<int>(m.BorderWidth);
    return third;
  };
  return {pick(m.LeftWidth, fw / 3), pick(m.TopWidth, fh / 3), pick(m.RightWidth, fw / 3),
          pick(m.BottomWidth, fh / 3)};
}

TPoint TsSkinModel::MaskFrameSize(int mask_index) const {
  if (mask_index < 0 || mask_index >= static_cast<int>(masks_.size())) return {};
  const MaskRecord& m = masks_[static_cast<std::size_t>(mask_index)];
  return {m.FrameWidth(), m.FrameHeight()};
}

TColor TsSkinModel::GlobalColor() const {
  return cache_.GlobalInfo >= 0 ? sections_[static_cast<std::size_t>(cache_.GlobalInfo)].Color
                                : ColorToRGB(clBtnFace);
}

TColor TsSkinModel::GlobalFontColor() const {
  return cache_.GlobalInfo >= 0
             ? sections_[static_cast<std::size_t>(cache_.GlobalInfo)].FontColor[0]
             : clFuchsia;
}

void TsSkinModel::UpdateCache() {
  IndexLookups();
  IndexItemMasks();
  cache_ = TsCachedIndexes{};
  const int gi = SectionIndex(kGlobalInfo);
  cache_.GlobalInfo = gi;
  if (gi >= 0) {
    auto mask = [&](const char* key) { return MaskIndex(gi, kGlobalInfo, key); };
    cache_.CheckBoxChecked = mask("BOXCHECKED");
    cache_.CheckBoxUnchecked = mask("BOXUNCHECKED");
    cache_.CheckBoxGrayed = mask("BOXGRAYED");
    cache_.RadioButtonChecked = mask("RADIOCHECKED");
    cache_.RadioButtonUnchecked = mask("RADIOUNCHECKED");
    cache_.RadioButtonGrayed = mask("RADIOGRAYED");
    cache_.SmallBoxChecked = mask("SMALLCHECKED");
    cache_.SmallBoxUnchecked = mask("SMALLUNCHECKED");
    cache_.SmallBoxGrayed = mask("SMALLGRAYED");
  }
  auto part = [this](const char* name, bool borders, bool glyph, bool patterns) {
    TsPartIndexes p;
    p.Section = SectionIndex(name);
    if (p.Section < 0) return p;
    if (borders) p.BordersMask = MaskIndex(p.Section, name, "BORDERSMASK");
    if (glyph) p.GlyphMask = MaskIndex(p.Section, name, "GLYPHMASK");
    if (patterns) {
      p.Pattern = TextureIndex(p.Section, name, "PATTERN");
      p.HotPattern = TextureIndex(p.Section, name, "HOTPATTERN");
    }
    return p;
  };
  cache_.ComboBtn = part("COMBOBTN", true, false, true);
  const int combo = SectionIndex("COMBOBOX");
  cache_.ComboGlyph = combo >= 0 ? MaskIndex(combo, "COMBOBOX", "GLYPHMASK") : -1;
  const char* const tabs[4] = {"TABTOP", "TABBOTTOM", "TABLEFT", "TABRIGHT"};
  for (int i = 0; i < 4; ++i) cache_.Tabs[i] = part(tabs[i], true, false, false);
  const char* const btns[4] = {"SCROLLBTNTOP", "SCROLLBTNBOTTOM", "SCROLLBTNLEFT",
                               "SCROLLBTNRIGHT"};
  for (int i = 0; i < 4; ++i) cache_.ScrollBtns[i] = part(btns[i], true, true, true);
  cache_.ScrollSliders[TsCachedIndexes::slV] = part("SCROLLSLIDERV", true, true, true);
  cache_.ScrollSliders[TsCachedIndexes::slH] = part("SCROLLSLIDERH", true, true, true);
  const char* const bars[4] = {"SCROLLBAR1H", "SCROLLBAR1V", "SCROLLBAR2H", "SCROLLBAR2V"};
  for (int i = 0; i < 4; ++i) cache_.ScrollBars[i] = part(bars[i], true, false, true);
}

void TsSkinModel::ShiftHueSaturation(int hue_offset, int saturation) {
  if (hue_offset == 0 && saturation == 0) return;
  if (master_) ShiftBitmap(*master_, hue_offset, saturation);
  for (MaskRecord& m : masks_) {
    if (m.Bitmap) ShiftBitmap(*m.Bitmap, hue_offset, saturation);
  }
  for (PatternRecord& p : patterns_) {
    if (p.Image) ShiftBitmap(*p.Image, hue_offset, saturation);
  }
  auto shift = [&](TColor& c) { c = ShiftColor(c, hue_offset, saturation); };
  for (SectionRecord& s : sections_) {
    shift(s.Color);
    shift(s.HotColor);
    for (TColor& c : s.FontColor) shift(c);
    for (TColor& c : s.HotFontColor) shift(c);
    shift(s.ShadowColor);
    shift(s.BorderColor1);
    shift(s.BorderColor2);
    for (GradientStep& g : s.GradientArray) {
      shift(g.Color1);
      shift(g.Color2);
    }
    for (GradientStep& g : s.HotGradientArray) {
      shift(g.Color1);
      shift(g.Color2);
    }
  }
  shift(data_.Shadow1Color);
  shift(data_.BorderColor);
}
