// The sockets layer under the network units: start-up and clean-up counting,
// the dotted-address parser and renderer (inet_addr, inet_ntoa), their IPv6
// counterparts, and host lookup over the system resolver with WSA* error
// numbers.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Ip6Address.h"
#include "platform/LastError.h"
#include "platform/Messages.h"

namespace platform {

using WORD = std::uint16_t;
using u_long = std::uint32_t;

// Error numbers of the sockets layer.
constexpr int WSAEINTR = 10004;
constexpr int WSAEFAULT = 10014;
constexpr int WSAEINVAL = 10022;
constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAENOBUFS = 10055;
constexpr int WSASYSNOTREADY = 10091;
constexpr int WSAVERNOTSUPPORTED = 10092;
constexpr int WSANOTINITIALISED = 10093;
constexpr int WSAHOST_NOT_FOUND = 11001;
constexpr int WSATRY_AGAIN = 11002;
constexpr int WSANO_RECOVERY = 11003;
constexpr int WSANO_DATA = 11004;

constexpr int SOCKET_ERROR = -1;
// INADDR_NONE, "no address" (the system headers own that name).
constexpr u_long kInaddrNone = 0xFFFFFFFFu;

struct WSADATA {
  WORD wVersion = 0;
  WORD wHighVersion = 0;
  char szDescription[257] = {};
  char szSystemStatus[129] = {};
  std::uint16_t iMaxSockets = 0;
  std::uint16_t iMaxUdpDg = 0;
};

// Starts the layer for the caller; every successful start-up must be paired
// with one WSACleanup. Returns 0 or an error number (the last error is not
// touched).
int WSAStartup(WORD version_requested, WSADATA* data);
// Returns 0, or SOCKET_ERROR with WSANOTINITIALISED when not started.
int WSACleanup();
// Number of start-ups not yet cleaned up.
int WSAStartupCount();

int WSAGetLastError();
void WSASetLastError(int error);

// Parses a dotted IPv4 literal: one to four parts, each
// decimal, octal (leading 0) or hexadecimal (0x); the last part fills the
// remaining bytes; a white-space character ends the text. Returns the
// address in network byte order, or kInaddrNone, which "255.255.255.255"
// also gives.
u_long inet_addr(const char* text);
// Dotted rendering of a network-order address.
std::string inet_ntoa(u_long address);

// Parses an IPv6 literal ("::1", "fd00::2", "fe80::1%eth0" or "fe80::1%2"):
// a scope names an interface of the calling thread's network namespace, by
// name or index. As with inet_addr, a white-space character ends the text.
// Returns false for anything else, an unknown interface included.
bool ParseIp6Literal(const char* text, TIp6Address& address);
// The canonical text of an address, with its scope as the interface's name
// (its number when no interface has that index).
std::string Ip6Text(const TIp6Address& address);

// A host entry: official name, aliases, addresses. An entry holds one
// family: IPv4 addresses in network order, or, for a name that has none,
// its IPv6 addresses.
struct THostEnt {
  std::string name;
  std::vector<std::string> aliases;
  std::vector<u_long> addresses;
  std::vector<TIp6Address> addresses6;
  bool operator==(const THostEnt&) const = default;
};

// Blocking lookup. Returns the entry, or nothing with the reason as the
// thread's last error (WSAHOST_NOT_FOUND, WSATRY_AGAIN, WSANO_RECOVERY,
// WSANO_DATA, WSANOTINITIALISED). IPv4 only: a name without an IPv4 address
// gives WSANO_DATA.
std::optional<THostEnt> gethostbyname(const char* name);
// The same for either family: a name's IPv4 addresses when it has any,
// otherwise its IPv6 ones; when it has neither, the reason its IPv4 lookup
// gave.
std::optional<THostEnt> GetHostByNameAny(const char* name);

// The resolver behind the lookups: returns 0 and fills the entry, or one of
// the lookup error numbers. The system resolver is the default; a
// replacement serves layers above that want to count or stage lookups.
// A resolver may answer with IPv6 addresses alone (`addresses6`); the
// IPv4-only calls then see a name without an address.
using THostResolver = std::function<int(const std::string& name, THostEnt& entry)>;
// A host name as the system resolver is asked for it: ASCII names as they
// are, a name with other letters (UTF-8) in its ASCII-compatible form
// ("bücher.example" is "xn--bcher-kva.example"); empty for bytes that are
// no UTF-8 or a name that has no such form.
std::string AsciiHostName(const std::string& name);
// The system resolver takes names of any script (AsciiHostName).
// IPv4 addresses only (the system resolver's A records and hosts lines).
int SystemResolveHost(const std::string& name, THostEnt& entry);
// IPv4 addresses, or for a name without any, its IPv6 ones.
int SystemResolveHostAny(const std::string& name, THostEnt& entry);
// Installs `resolver` (an empty one restores the system's) and returns the
// previous one.
THostResolver SetHostResolver(THostResolver resolver);
// The installed resolver (empty: the system's).
THostResolver InstalledHostResolver();

// Resolves through the installed resolver (the system's by default), or
// through `resolver` (empty: the system's). The entry holds IPv4 addresses.
int ResolveHost(const std::string& name, THostEnt& entry);
int ResolveHostWith(const THostResolver& resolver, const std::string& name, THostEnt& entry);
// The same for either family: the entry holds IPv4 addresses, or IPv6 ones
// when the name has no IPv4 address.
int ResolveHostAnyWith(const THostResolver& resolver, const std::string& name, THostEnt& entry);

// Asynchronous lookup. Returns a non-zero request handle, or 0 with the
// reason in WSAGetLastError. The name is resolved off the calling thread,
// with the resolver installed when the request was made; a few threads
// resolve at once and further requests wait their turn. The completion is
// posted to `hwnd` as `msg` with the handle as first
// parameter and, in the second, the error (0 = success) in the high 16
// bits and the buffer size the entry needs in the low 16 bits. On success
// `buffer` holds the entry as PackHostEnt lays it out; an entry larger than
// `length` gives WSAENOBUFS and leaves the buffer alone. The buffer is not
// touched after a successful cancel, nor once the last WSACleanup has run
// or the program has begun to end: outstanding requests then end without a
// completion.
std::uintptr_t WSAAsyncGetHostByName(HWND hwnd, UINT msg, const char* name, char* buffer,
                                     int length);
// The same for either family: a name without IPv4 addresses completes with
// its IPv6 ones (an entry of address type AF_INET6).
std::uintptr_t AsyncGetHostByNameAny(HWND hwnd, UINT msg, const char* name, char* buffer,
                                     int length);
// Cancels a request that has not completed, or whose completion is still
// queued (the message is then withdrawn). Returns 0, or SOCKET_ERROR with
// WSAEINVAL for an unknown, finished or already cancelled handle.
int WSACancelAsyncRequest(std::uintptr_t handle);

constexpr int WSAGETASYNCERROR(LPARAM lparam) {
  return static_cast<int>((lparam >> 16) & 0xFFFF);
}
constexpr int WSAGETASYNCBUFLEN(LPARAM lparam) {
  return static_cast<int>(lparam & 0xFFFF);
}

// The host entry as it lies in a lookup buffer. Every reference is a 32-bit
// offset from the start of the buffer (pointers of this process do not fit
// its 32-bit fields):
//   0  name        offset of the official name (NUL-terminated)
//   4  aliases     offset of a 0-terminated list of name offsets
//   8  addrtype    16 bits, 2 (IPv4), or AF_INET6 for an entry of IPv6
//                  addresses
//   10 length      16 bits, 4 (or 16 for IPv6)
//   12 addr_list   offset of a 0-terminated list of offsets of 4-byte
//                  network-order addresses (IPv6: 16 bytes, then the
//                  32-bit scope)
// Packs `entry` into `buffer` when it fits in `length` bytes; returns the
// bytes it needs either way, or -1 for an entry that cannot be packed (a
// name with a NUL inside, no address, addresses of both families).
int PackHostEnt(const THostEnt& entry, char* buffer, int length);
// Reads an entry back, checking every offset and list against `length`.
std::optional<THostEnt> ReadHostEnt(const char* buffer, int length);

}  // namespace platform
