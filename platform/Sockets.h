// The sockets layer under the network units: start-up and clean-up counting,
// the dotted-address parser and renderer (inet_addr, inet_ntoa), and host
// lookup over the system resolver with WSA* error numbers.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

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

// A host entry: official name, aliases, IPv4 addresses in network order.
struct THostEnt {
  std::string name;
  std::vector<std::string> aliases;
  std::vector<u_long> addresses;
  bool operator==(const THostEnt&) const = default;
};

// Blocking lookup. Returns the entry, or nothing with the reason as the
// thread's last error (WSAHOST_NOT_FOUND, WSATRY_AGAIN, WSANO_RECOVERY,
// WSANO_DATA, WSANOTINITIALISED).
std::optional<THostEnt> gethostbyname(const char* name);

// The resolver behind the lookups: returns 0 and fills the entry, or one of
// the lookup error numbers. The system resolver is the default; a
// replacement serves layers above that want to count or stage lookups.
using THostResolver = std::function<int(const std::string& name, THostEnt& entry)>;
int SystemResolveHost(const std::string& name, THostEnt& entry);
// Installs `resolver` (an empty one restores the system's) and returns the
// previous one.
THostResolver SetHostResolver(THostResolver resolver);
// The installed resolver (empty: the system's).
THostResolver InstalledHostResolver();

// Resolves through the installed resolver (the system's by default), or
// through `resolver` (empty: the system's).
int ResolveHost(const std::string& name, THostEnt& entry);
int ResolveHostWith(const THostResolver& resolver, const std::string& name, THostEnt& entry);

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
//   8  addrtype    16 bits, 2 (IPv4)
//   10 length      16 bits, 4
//   12 addr_list   offset of a 0-terminated list of offsets of 4-byte
//                  network-order addresses
// Packs `entry` into `buffer` when it fits in `length` bytes; returns the
// bytes it needs either way, or -1 for an entry that cannot be packed (a
// name with a NUL inside, no address).
int PackHostEnt(const THostEnt& entry, char* buffer, int length);
// Reads an entry back, checking every offset and list against `length`.
std::optional<THostEnt> ReadHostEnt(const char* buffer, int length);

}  // namespace platform
