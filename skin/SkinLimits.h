// How much of a skin from outside the program the engine will read. A skin
// folder or packed file is the user's choice, but its bytes are outside
// data: beyond these bounds the skin is refused with ESkinRefused, whose
// message names the file and the bound, and the internal skin is used.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "toolkit/SysUtils.h"

// Any one file read from disk: an options text, an image, a packed skin.
constexpr std::int64_t kMaxSkinFileBytes = 64 * 1024 * 1024;
// All the entries of one packed skin together, unpacked.
constexpr std::int64_t kMaxSkinUnpackedBytes = 64 * 1024 * 1024;
// Sections in one options text (the program's own skin has 60).
constexpr std::size_t kMaxSkinSections = 16384;

class ESkinRefused : public Exception {
 public:
  using Exception::Exception;
};

// The whole file at `path`, or nothing when there is no such file. A file
// that is not a regular one (a device, a named pipe, a folder) or is larger
// than kMaxSkinFileBytes raises ESkinRefused; it is never read, and opening
// it never waits.
std::optional<std::vector<std::uint8_t>> ReadSkinFile(const std::string& path);

// Whether something, of whatever kind, is at `path` (links followed).
bool SkinFileExists(const std::string& path);
