// The three ways the engine gets its sockets, for tests that run once for
// each: ping sockets; raw ones opened by the process itself, as root does;
// raw ones from the broker, as the installed program gets them.
#pragma once

#include "platform/Icmp.h"

namespace sxtest {

struct TSocketCase {
  platform::TIcmpSocketKind kind;
  bool brokered;
  const char* name;
};

inline constexpr TSocketCase kSocketCases[] = {
    {platform::TIcmpSocketKind::kPing, false, "PingSocket"},
    {platform::TIcmpSocketKind::kRaw, false, "RawSocket"},
    {platform::TIcmpSocketKind::kRaw, true, "BrokeredRawSocket"}};

}  // namespace sxtest
