// The packed skin archive: an options text and images, each entry one zlib
// stream, read from memory (the stored skin's data or a ".lsz" file).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "skin/SkinLimits.h"

struct TsArchiveEntry {
  std::string Name;                // exactly as stored
  bool IsBitmap = false;           // the name's extension, upper-cased, is ".BMP"
  std::vector<std::uint8_t> Data;  // unpacked bytes
};

// Shows the warning for data that is not an archive (a message box in the
// program; tests and tools pass their own).
using TsArchiveWarning = std::function<void(const std::string& text)>;

class TsSkinArchive {
 public:
  static constexpr const char* kBadMagicText = "Loaded data is not packed LumvexSkin file";
  static constexpr std::uint32_t kMagic = 0x667A534C;  // "LSzf" read little-endian

  // No entry may claim more than this many unpacked bytes (far above any skin
  // image) and no archive more entries than its bytes could describe, so
  // that a damaged header cannot make the reader allocate without bound.
  static constexpr std::int32_t kMaxEntrySize = 64 * 1024 * 1024;

  TsSkinArchive() = default;

  // Empties the archive, then reads `size` bytes at `data`. Wrong magic:
  // calls `warn` with kBadMagicText once and yields nothing. A damaged zlib
  // stream raises EDecompressionError with zlib's message; data that ends
  // early, or a count or size that cannot be right, raises EReadError.
  // Entries that together unpack to more than kMaxSkinUnpackedBytes raise
  // ESkinRefused naming `origin` (the file the bytes came from) and the
  // bound, before more than that is unpacked.
  void LoadFromMemory(const void* data, std::size_t size, const TsArchiveWarning& warn,
                      const std::string& origin = "stored skin data");
  // Reads the whole file if it exists (returns false when it does not); a
  // file that is no regular one, or too large, raises ESkinRefused.
  bool LoadFromFile(const std::string& file_name, const TsArchiveWarning& warn);
  void Clear();

  // The options text ("Options.dat", any case); empty when there is none.
  const std::vector<std::uint8_t>& Options() const { return options_; }
  bool HasOptions() const { return has_options_; }
  // The image entries in archive order.
  const std::vector<TsArchiveEntry>& Images() const { return images_; }
  // The declared entry count minus one (the archive is assumed to hold one
  // options entry); 0 for an empty archive.
  int ImageCount() const { return image_count_; }
  // The first image whose upper-cased name equals `upper_name`, or nullptr.
  const TsArchiveEntry* FindImage(const std::string& upper_name) const;

 private:
  std::vector<std::uint8_t> options_;
  bool has_options_ = false;
  std::vector<TsArchiveEntry> images_;
  int image_count_ = 0;
};

// Packs entries into the archive format (used by the build's packer and by
// tests that make archives of their own).
std::vector<std::uint8_t> PackSkinArchive(const std::vector<TsArchiveEntry>& entries,
                                          int level = 9);
