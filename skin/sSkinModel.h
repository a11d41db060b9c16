// The in-memory skin model: section records, mask records (pieces of the
// skin's images), picture patterns, the master bitmap and the global values,
// built from an options text and its images.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "skin/DrawMode.h"
#include "toolkit/Types.h"

class TBitmap;
class TMemIniFile;
class TsSkinArchive;
class TsSkinManager;
class TsSkinModel;

enum TsControlBevel : int { cbNone, cbRaisedSoft, cbLoweredSoft, cbRaisedHard, cbLoweredHard };

enum TsImageType : std::uint8_t { itisaBorder = 0, itisaTexture = 1, itisaGlyph = 2 };

struct GradientStep {
  TColor Color1 = 0;
  TColor Color2 = 0;
  std::uint8_t Percent = 0;  // 0..100
  int Mode = 0;              // of the first step: 0 vertical, 1 horizontal, 2 mesh
};

// Groups of five ";"-separated numbers: Color1, Color2, Percent (cut to 100),
// Mode and one that is not read. "N/A", an empty value or a single blank give
// no steps; a word that is not a number reads as 0.
std::vector<GradientStep> ParseGradient(const std::string& value);

// Text colour, then the contour colours left, top, right, bottom (-1: none).
using TsFontColors = std::array<TColor, 5>;

struct SectionRecord {
  std::string ParentClass;
  std::string SectionName;
  TColor Color = 0xFFFFFF;
  int Bevel = cbNone;
  TsFontColors FontColor{0, -1, -1, -1, -1};
  TsFontColors HotFontColor{0, -1, -1, -1, -1};
  int ShadowBlur = 6;
  TColor ShadowColor = 0;
  int ShadowOffset = 3;
  int ShadowTransparency = 50;
  bool ShadowEnabled = false;
  bool ReservedBoolean = false;
  bool GiveOwnFont = false;
  int Transparency = 0;
  int GradientPercent = 0;
  std::string GradientData = " ";
  std::vector<GradientStep> GradientArray;
  int ImagePercent = 0;
  bool ShowFocus = false;
  bool FadingEnabled = false;
  int FadingIntervalIn = 5;
  int FadingIntervalOut = 5;
  int FadingIterations = 5;
  TColor HotColor = 0xFFFFFF;
  int HotTransparency = 0;
  int HotBevel = cbNone;
  int HotGradientPercent = 0;
  std::string HotGradientData;
  std::vector<GradientStep> HotGradientArray;
  int HotImagePercent = 0;
  TColor BorderColor1 = 0;
  TColor BorderColor2 = 0;
};

// One image piece named in a section. The frames of the states lie side by
// side; with MaskType 1 the lower half of the rectangle is the mask of the
// upper half (black keeps the image, white what lies behind).
struct MaskRecord {
  std::shared_ptr<TBitmap> Bitmap;  // own image; none when cut from the master bitmap
  std::string SectionName;
  std::string PropertyName;
  TRect SourceRect;
  std::int16_t ImageCount = 1;
  std::int16_t MaskType = 0;
  std::int16_t BorderWidth = 0;
  std::int16_t DrawMode = 0;  // border: kDraw* bits; texture: a TsTextureFill
  TsImageType ImageType = itisaBorder;
  TsSkinModel* Model = nullptr;  // the model the mask belongs to (its master bitmap, its manager)
  std::int16_t LeftWidth = 0;
  std::int16_t TopWidth = 0;
  std::int16_t RightWidth = 0;
  std::int16_t BottomWidth = 0;

  // The image the pieces are cut from: the own bitmap or the master bitmap
  // (nullptr when neither exists).
  const TBitmap* Source() const;
  int FrameWidth() const;   // SourceRect width / ImageCount
  int FrameHeight() const;  // SourceRect height / (MaskType + 1)
};

struct PatternRecord {
  std::string SectionName;
  std::string PropertyName;        // "PATTERN" or "HOTPATTERN"
  std::shared_ptr<TBitmap> Image;  // the decoded JPEG picture, 24 bits per pixel
};

// The values of "GLOBALINFO" and where the skin's files are.
struct TsSkinData {
  double Version = 0;
  std::string Author;
  std::string Description;
  TColor Shadow1Color = 0;
  int Shadow1Offset = 0;
  int Shadow1Blur = -1;
  int Shadow1Transparency = 0;
  int BISpacing = 0;
  int BIVAlign = 0;
  TColor BorderColor = 0;
  std::string SkinPath;  // folder of an unpacked skin, with a trailing "/"
  bool Active = false;
};

struct TsBorderWidths {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
};

// Section and mask indexes of one often painted part (-1: none).
struct TsPartIndexes {
  int Section = -1;
  int BordersMask = -1;
  int GlyphMask = -1;
  int Pattern = -1;
  int HotPattern = -1;
};

// Indexes the painting of check marks, combo buttons, tabs and scroll bars
// uses, recomputed after every load and removal.
struct TsCachedIndexes {
  enum TsTabSide { tsTop, tsBottom, tsLeft, tsRight };
  enum TsScrollBtn { sbTop, sbBottom, sbLeft, sbRight };
  enum TsSlider { slV, slH };
  enum TsScrollBar { sb1H, sb1V, sb2H, sb2V };

  int GlobalInfo = -1;
  int CheckBoxChecked = -1;
  int CheckBoxUnchecked = -1;
  int CheckBoxGrayed = -1;
  int RadioButtonChecked = -1;
  int RadioButtonUnchecked = -1;
  int RadioButtonGrayed = -1;
  int SmallBoxChecked = -1;
  int SmallBoxUnchecked = -1;
  int SmallBoxGrayed = -1;
  TsPartIndexes ComboBtn;                      // "COMBOBTN": BordersMask, Pattern, HotPattern
  int ComboGlyph = -1;                         // "GLYPHMASK" of "COMBOBOX"
  std::array<TsPartIndexes, 4> Tabs;           // "TABTOP" … "TABRIGHT": BordersMask
  std::array<TsPartIndexes, 4> ScrollBtns;     // "SCROLLBTNTOP" … "SCROLLBTNRIGHT"
  std::array<TsPartIndexes, 2> ScrollSliders;  // "SCROLLSLIDERV", "SCROLLSLIDERH"
  std::array<TsPartIndexes, 4> ScrollBars;     // "SCROLLBAR1H" … "SCROLLBAR2V": no glyph
};

// Where a model's content comes from.
struct TsModelSource {
  const TMemIniFile* Options = nullptr;         // the options text
  const TsSkinArchive* Archive = nullptr;       // a packed skin's images (nullptr: from disk)
  std::string SkinPath;                         // folder of image files, with trailing "/"
  const TMemIniFile* CommonSections = nullptr;  // laid over the skin's sections, may be empty
  int HueOffset = 0;                            // degrees
  int Saturation = 0;                           // percent, -100 (grey) .. 100
  std::string Origin;                           // where the options came from, for messages
};

class TsSkinModel {
 public:
  explicit TsSkinModel(TsSkinManager* manager = nullptr);
  ~TsSkinModel();
  TsSkinModel(const TsSkinModel&) = delete;
  TsSkinModel& operator=(const TsSkinModel&) = delete;

  TsSkinManager* Manager() const { return manager_; }

  // Rebuilds the model from scratch: masks and the master bitmap, picture
  // patterns, sections, common sections, then hue and saturation, and
  // recomputes the cached indexes. A mask value too short for its fixed
  // positions or with non-digits in them, and a "SHADOW1*" value that is not
  // a whole number, raise EConvertError (the model is left empty).
  void Build(const TsModelSource& source);
  // Takes over what another model built (its masks then belong to this
  // one); this model's manager and whether its skin is active stay.
  void Adopt(TsSkinModel&& built);
  // Takes records made elsewhere (a stored skin's collections).
  void Assign(std::vector<SectionRecord> sections, std::vector<MaskRecord> masks,
              std::shared_ptr<TBitmap> master, const TsSkinData& data);
  // Frees masks and patterns and empties the sections; every look-up gives -1.
  void Clear();
  // Recomputes the cached indexes and the look-up tables; whoever changes a
  // section's name or parent, or a mask's section or key, through the
  // accessors below calls it afterwards.
  void UpdateCache();

  const std::vector<SectionRecord>& Sections() const { return sections_; }
  std::vector<SectionRecord>& Sections() { return sections_; }
  const std::vector<MaskRecord>& Masks() const { return masks_; }
  std::vector<MaskRecord>& Masks() { return masks_; }
  const std::vector<PatternRecord>& Patterns() const { return patterns_; }
  const TBitmap* MasterBitmap() const { return master_.get(); }
  TBitmap* MasterBitmap() { return master_.get(); }
  const TsSkinData& SkinData() const { return data_; }
  TsSkinData& SkinData() { return data_; }
  const TsCachedIndexes& Cache() const { return cache_; }

  // Look-ups; all give -1 when nothing is found.
  int SectionIndex(const std::string& name) const;
  // The first mask of `section` and `key`; failing that, the same search in
  // the section's parent class (and its parent, …; a loop ends the search).
  // Each step costs the same whatever the number of sections and masks.
  int MaskIndex(int section_index, const std::string& section, const std::string& key) const;
  int TextureIndex(int section_index, const std::string& section, const std::string& key) const;
  int PatternIndex(int section_index, const std::string& section, const std::string& key) const;

  // The masks the item painter draws over a section (see MaskIndex): its
  // "BORDERSMASK" and its corner images "IMGTOPLEFT", "IMGTOPRIGHT",
  // "IMGBTMLEFT" and "IMGBTMRIGHT", found once by UpdateCache; all -1 for
  // an index out of range.
  struct TsItemMasks {
    int Borders = -1;
    std::array<int, 4> Corners{-1, -1, -1, -1};
  };
  const TsItemMasks& ItemMasks(int section_index) const;

  // The mask's own width when above 0, else BorderWidth when above 0, else a
  // third of the frame's width (left, right) or height (top, bottom).
  TsBorderWidths MaskBorderWidths(int mask_index) const;
  // Width and height of one state frame (0, 0 for an invalid index).
  TPoint MaskFrameSize(int mask_index) const;

  // "GLOBALINFO"'s Color, or the button-face colour without "GLOBALINFO".
  TColor GlobalColor() const;
  // "GLOBALINFO"'s font colour, or 0xFF00FF without "GLOBALINFO".
  TColor GlobalFontColor() const;

  // Shifts the hue (degrees) and changes the saturation (percent) of every
  // non-grey, non-transparent pixel of the images and of every section colour.
  void ShiftHueSaturation(int hue_offset, int saturation);

 private:
  enum class TsLookupKind { Any, Texture, Pattern };
  int FindMask(int section_index, const std::string& section, const std::string& key,
               TsLookupKind kind) const;
  // Makes ItemMasks' answers for every section at once.
  void IndexItemMasks();
  // The steps of Build.
  void ReadMasks(const TMemIniFile& ini, const TsModelSource& source);
  void ReadPatterns(const TMemIniFile& ini, const TsModelSource& source);
  void ReadGlobalValues(const TMemIniFile& ini);
  void ReadSections(const TMemIniFile& ini);
  void LayCommonSections(const TMemIniFile& common, const TsModelSource& source);
  void IndexLookups();

  TsSkinManager* manager_;
  std::vector<SectionRecord> sections_;
  std::vector<MaskRecord> masks_;
  std::vector<PatternRecord> patterns_;
  std::shared_ptr<TBitmap> master_;
  TsSkinData data_;
  TsCachedIndexes cache_;
  // Made by UpdateCache: the first section of a name; the first mask, first
  // texture and first pattern of a section and key (see LookupKey).
  std::unordered_map<std::string, int> section_by_name_;
  std::unordered_map<std::string, int> mask_by_key_;
  std::unordered_map<std::string, int> texture_by_key_;
  std::unordered_map<std::string, int> pattern_by_key_;
  // Made by UpdateCache: ItemMasks for each section.
  std::vector<TsItemMasks> item_masks_;
};

// The fixed-position notations: "^" border mask (rectangle, four widths,
// ImageCount, MaskType, DrawMode, BorderWidth), "@" glyph (rectangle,
// ImageCount, MaskType) and "~" texture (rectangle, two-digit DrawMode,
// optional MaskType). Fills `mask` and returns true; returns false for a value
// of none of these forms; raises EConvertError when a position the form needs
// lies beyond the value or holds a non-digit. An ImageCount of 0 counts as 1.
bool ParseMaskValue(const std::string& value, MaskRecord& mask);

// The "!" notation: "!FILE.BMP!ImageCount!MaskType!ImageType[!L!T!R!B]".
struct TsExternalMask {
  std::string FileName;  // upper-cased
  int ImageCount = 1;
  int MaskType = 0;
  TsImageType ImageType = itisaBorder;
  bool HasWidths = false;
  std::array<int, 4> Widths{};  // left, top, right, bottom
};
// Returns false when the value is not of this form (no "!" first, no ".BMP"
// in the file name, or fewer than four fields); raises EConvertError for a
// field that is not a number in range.
bool ParseExternalMask(const std::string& value, TsExternalMask& mask);
