// The program's internal skin "Steam (internal)": the packed archive made
// from skins/steam/ at build time.
#pragma once

#include <cstddef>
#include <cstdint>

extern const std::uint8_t kSteamSkinData[];
extern const std::size_t kSteamSkinDataSize;

inline constexpr const char* kSteamSkinName = "Steam (internal)";
