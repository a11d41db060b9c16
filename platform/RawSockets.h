// Raw ICMP sockets, and the broker that opens them for a process that may
// not hold the capability itself.
//
// The installed program carries the file capability cap_net_raw, so that
// every user can send echoes where ping sockets are not allowed. The process
// that runs Qt must not hold it: Qt loads plugins from folders the user
// names, and their code would run with the capability. So the program's
// first act is SeparateRawSocketPrivilege: it forks a broker that keeps
// CAP_NET_RAW alone and does nothing but open raw ICMP sockets on request and
// hand them over a socket pair, and then drops every capability of its own.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>

namespace platform {

// A raw ICMP socket of `family` (AF_INET: IPPROTO_ICMP, AF_INET6:
// IPPROTO_ICMPV6), close-on-exec: from the broker when one runs, else opened
// here (run by root, or given the capability by hand). It carries a kernel
// filter, locked so that no one can lift it, that lets through only echo
// replies with the identifier `echo_id` (network order) and the errors that
// quote an echo request with it. The broker's sockets belong to the network
// namespace the broker started in. Returns -1 with errno set when there is
// none: EPERM or EACCES for want of permission, EAFNOSUPPORT for a family
// not served.
int OpenRawIcmpSocket(int family, std::uint16_t echo_id);

enum class TPrivilegeSplit {
  kRoot,          // run by root, the machine's owner: nothing to guard, unchanged
  kNothingHeld,   // no capability and no borrowed user or group: unchanged
  kBroker,        // everything dropped; the broker opens raw sockets
  kDropped,       // everything dropped; no CAP_NET_RAW was there to keep
  kBrokerFailed,  // everything dropped; the broker could not start (errno says why)
};

// Called first in main, while the process has one thread and before
// anything reads what the user controls. Unless run by root: starts the
// broker when CAP_NET_RAW is permitted, returns to the real user and group
// ids (a set-id install), and clears every capability set (effective,
// permitted, inheritable, ambient). With a broker, the process then
// forbids itself writing the IP headers of raw sockets (a seccomp filter,
// with no-new-privileges); where it cannot, the broker is stopped
// (kBrokerFailed). Ends the process rather than return with a privilege it
// could not give up.
TPrivilegeSplit SeparateRawSocketPrivilege();

// Forks a broker that keeps CAP_NET_RAW alone, as the real user and group,
// with no new privileges, no descriptor but its end of the connection, and
// death with this process's calling thread; OpenRawIcmpSocket then asks it.
// Leaves this process as it is, and does nothing while a broker runs. False
// (errno set) when it cannot.
bool StartRawSocketBroker();
// Closes the connection and waits for the broker to end.
void StopRawSocketBroker();
// The broker's process id, 0 when none runs.
pid_t RawSocketBrokerProcess();

// The broker's protocol, over a SOCK_SEQPACKET socket pair: one request
// message of kRawSocketRequestSize bytes, no ancillary data; one reply of a
// 32-bit errno (0 on success) with the socket attached as SCM_RIGHTS.
inline constexpr std::size_t kRawSocketRequestSize = 8;
struct TRawSocketRequest {
  int family = 0;
  std::uint16_t echo_id = 0;  // network order
};
// Sends `size` bytes as one message on a broker connection, with the
// descriptor `attached` unless it is -1.
bool SendBrokerMessage(int to, const void* bytes, std::size_t size, int attached);
// A request's bytes; nullopt when they are not one.
std::optional<TRawSocketRequest> ParseRawSocketRequest(const unsigned char* bytes,
                                                       std::size_t size);

enum class TBrokerEnd { kPeerClosed, kMalformed, kBroken };
// Answers requests on `fd` until the peer closes it (kPeerClosed), sends
// anything that is not a request (kMalformed) or the connection fails
// (kBroken). A family other than AF_INET and AF_INET6 is refused with
// EAFNOSUPPORT and the next request served.
TBrokerEnd ServeRawSocketRequests(int fd);
// One request on a broker connection (one at a time per connection): the
// socket, or -1 with errno (the broker's, or the connection's failure).
int RequestRawIcmpSocket(int broker_fd, int family, std::uint16_t echo_id);

}  // namespace platform
