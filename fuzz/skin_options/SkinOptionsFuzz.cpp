// Any text as a skin's options, built into a model against an archive of
// small images named as the internal skin names its own: only conversion
// errors may come out (or a refusal of too many sections), every look-up must
// end (parent chains may loop), and inherited values must be those of a plain
// walk up the parent classes.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "skin/MemIniFile.h"
#include "skin/SkinLimits.h"
#include "skin/sImages.h"
#include "skin/sSkinArchive.h"
#include "skin/sSkinModel.h"
#include "toolkit/SysUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static TsSkinArchive* archive = [] {
    TsPixels px;
    px.Width = 6;
    px.Height = 4;
    px.Bgr.assign(6 * 4 * 3, 0);
    for (std::size_t i = 0; i < px.Bgr.size(); ++i) px.Bgr[i] = static_cast<std::uint8_t>(i * 37);
    const std::vector<std::uint8_t> bmp = EncodeBmp24(px);
    const std::vector<std::uint8_t> packed = PackSkinArchive(
        {{"Master.bmp", true, bmp}, {"ButtonHuge.bmp", true, bmp}, {"A.BMP", true, bmp}});
    auto* a = new TsSkinArchive;
    a->LoadFromMemory(packed.data(), packed.size(), nullptr);
    return a;
  }();
  // The first byte picks the common sections' share of the input.
  const std::size_t split = size > 0 ? std::min<std::size_t>(size - 1, data[0] * 4) : 0;
  const std::string text(reinterpret_cast<const char*>(data) + (size > 0 ? 1 : 0),
                         size > 0 ? size - 1 : 0);
  TMemIniFile options(std::string_view(text).substr(0, text.size() - split));
  TMemIniFile common(std::string_view(text).substr(text.size() - split));
  TsModelSource source;
  source.Options = &options;
  source.Archive = archive;
  source.CommonSections = &common;
  source.HueOffset = size > 1 ? data[1] - 128 : 0;
  TsSkinModel model;
  try {
    model.Build(source);
  } catch (const EConvertError&) {
    if (!model.Sections().empty() || !model.Masks().empty()) std::abort();
    return 0;
  } catch (const ESkinRefused&) {
    if (options.SectionCount() <= kMaxSkinSections) std::abort();
    if (!model.Sections().empty() || !model.Masks().empty()) std::abort();
    return 0;
  }
  // Inherited values agree with a plain walk up the parent classes, which
  // stops where the chain ends or comes back on itself.
  const std::vector<std::string> names = options.ReadSections();
  for (std::size_t i = 0; i < names.size() && i < 64; ++i) {
    if (common.SectionExists(names[i])) continue;  // laid over afterwards
    int expected = 0;
    std::vector<std::string> seen;
    for (std::string at = names[i]; options.SectionExists(at);) {
      if (std::find(seen.begin(), seen.end(), UpperCase(at)) != seen.end()) break;
      seen.push_back(UpperCase(at));
      const int v = options.ReadInteger(at, "TRANSPARENCY", -1);
      if (v != -1) {
        expected = v;
        break;
      }
      const std::string parent = options.ReadString(at, "PARENTCLASS", "");
      if (parent.empty() || parent == "?" || UpperCase(parent) == UpperCase(at)) break;
      at = parent;
    }
    if (model.Sections().at(i).Transparency != expected) std::abort();
  }
  for (std::size_t i = 0; i < model.Sections().size(); ++i) {
    const SectionRecord& s = model.Sections()[i];
    const int index = static_cast<int>(i);
    model.MaskIndex(index, s.SectionName, "BORDERSMASK");
    model.TextureIndex(index, s.SectionName, "PATTERN");
    model.PatternIndex(index, s.SectionName, "HOTPATTERN");
  }
  for (std::size_t i = 0; i < model.Masks().size(); ++i) {
    const TsBorderWidths b = model.MaskBorderWidths(static_cast<int>(i));
    (void)b;
    model.MaskFrameSize(static_cast<int>(i));
  }
  return 0;
}
