// A stand-in "icmp.dll" for unit tests of what sits above the module table:
// records each echo call and answers as told.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Icmp.h"
#include "platform/Modules.h"

struct TFakeEchoCall {
  platform::IPAddr destination = 0;
  bool ip6 = false;  // through the IPv6 call, to `destination6`
  platform::TIp6Address destination6;
  std::string data;
  std::uint16_t size = 0;
  platform::IP_OPTION_INFORMATION options{};
  platform::DWORD reply_size = 0;
  platform::DWORD timeout = 0;
};

struct TFakeIcmp {
  // What the next echo call answers.
  platform::DWORD result = 1;
  platform::DWORD last_error = 0;
  platform::ICMP_ECHO_REPLY reply{};
  platform::TIp6Address reply_from6;  // what the IPv6 call says answered
  platform::HANDLE create_result = 0x4242;

  std::vector<TFakeEchoCall> calls;
  int creates = 0;
  int closes = 0;

  // Installs the fake as "icmp.dll", leaving out `missing` if given.
  void Install(const std::string& missing = "");
  static TFakeIcmp* current;
};
