// The ICMP helper library's echo calls over the kernel's ICMP sockets.
#pragma once

#include <sys/socket.h>

#include <cstdint>

#include "platform/IcmpPacket.h"
#include "platform/Ip6Address.h"
#include "platform/LastError.h"

namespace platform {

using HANDLE = std::intptr_t;
using IPAddr = std::uint32_t;  // network byte order
constexpr HANDLE INVALID_HANDLE_VALUE = -1;

// The don't-fragment bit of IP_OPTION_INFORMATION's flags.
constexpr std::uint8_t IP_FLAG_DF = 0x02;

// The request options record, 8 bytes as in a 32-bit process. IP options
// themselves are not sent, so the options pointer is never followed.
struct IP_OPTION_INFORMATION {
  std::uint8_t Ttl;
  std::uint8_t Tos;
  std::uint8_t Flags;
  std::uint8_t OptionsSize;
  std::uint32_t OptionsData;
};
static_assert(sizeof(IP_OPTION_INFORMATION) == 8);

// One reply record, 28 bytes as in a 32-bit process. Data holds the offset
// of the echoed data from the start of the reply buffer (a 64-bit pointer
// does not fit the field); OptionsData is 0.
struct ICMP_ECHO_REPLY {
  IPAddr Address;
  std::uint32_t Status;
  std::uint32_t RoundTripTime;
  std::uint16_t DataSize;
  std::uint16_t Reserved;
  std::uint32_t Data;
  IP_OPTION_INFORMATION Options;
};
static_assert(sizeof(ICMP_ECHO_REPLY) == 28);

// Opens an echo handle: a ping socket (datagram ICMP) where the system's
// ping_group_range admits the caller, a raw ICMP socket otherwise
// (OpenRawIcmpSocket). The socket belongs to the network namespace of the
// calling thread, or, when the raw socket broker opened it, to the broker's.
// Returns INVALID_HANDLE_VALUE with the last error set when neither can be
// had. The handle opens its ICMPv6 socket by the same rule (ping_group_range
// governs both families) where the system has IPv6, and otherwise tries
// again at its first IPv6 echo.
HANDLE IcmpCreateFile();
BOOL IcmpCloseHandle(HANDLE handle);

// Sends one echo request and waits up to `timeout` ms in all for its reply
// or an ICMP error about it; anything else that arrives meanwhile is
// skipped. Returns the number of reply records at the start of
// `reply_buffer` (1 for a reply, else 0). The first record is filled in
// every case when the buffer holds one; the thread's last error is the IP
// status (IP_SUCCESS after a reply).
DWORD IcmpSendEcho(HANDLE handle, IPAddr destination, void* request_data,
                   std::uint16_t request_size, IP_OPTION_INFORMATION* request_options,
                   void* reply_buffer, DWORD reply_size, DWORD timeout);

// The same for an IPv6 destination, with the same contract: the hop limit
// is the options' TTL, their flags are ignored (IPv6 routers never
// fragment), and the record's Address is 0; the host that answered, or
// that reported an error, goes to `reply_from` when it is given.
DWORD IcmpSendEcho6(HANDLE handle, const TIp6Address* destination, void* request_data,
                    std::uint16_t request_size, IP_OPTION_INFORMATION* request_options,
                    void* reply_buffer, DWORD reply_size, DWORD timeout, TIp6Address* reply_from);

enum class TIcmpSocketKind { kNone, kPing, kRaw };
// Which kind of socket an echo handle uses for a family (kNone for an
// unknown handle, or no socket of that family yet).
TIcmpSocketKind IcmpSocketKindOf(HANDLE handle, int family = AF_INET);

}  // namespace platform
