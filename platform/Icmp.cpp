#include "platform/Icmp.h"

#include <errno.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>
// After <time.h>: these kernel headers use struct timespec.
#include <linux/errqueue.h>
#include <linux/icmp.h>

#include <atomic>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <vector>

#include "platform/RawSockets.h"

namespace platform {

namespace {

// One family's socket of an echo handle.
struct TEchoSocket {
  ~TEchoSocket() {
    if (fd >= 0) ::close(fd);
  }
  int fd = -1;
  bool raw = false;
  bool ip6 = false;
  std::uint16_t id = 0;  // network order; the kernel's own for ping sockets
  std::uint16_t seq = 0;
  int ttl = -1;  // last applied, to spare the system calls
  int pmtudisc = -1;
  std::vector<std::uint8_t> packet;
  std::vector<std::uint8_t> receive;
};

struct TEchoHandle {
  std::mutex mutex;  // one echo at a time per handle
  TEchoSocket ip4;
  TEchoSocket ip6;
};

std::mutex g_mutex;
std::map<HANDLE, std::shared_ptr<TEchoHandle>> g_handles;
HANDLE g_next_handle = 0x100;

std::shared_ptr<TEchoHandle> Find(HANDLE handle) {
  std::lock_guard lock(g_mutex);
  auto it = g_handles.find(handle);
  return it == g_handles.end() ? nullptr : it->second;
}

// A raw socket sees every ICMP message of the host: identifiers must differ
// between handles and processes.
std::uint16_t NewIdentifier() {
  static std::atomic<std::uint32_t> counter{[] {
    std::random_device rd;
    return static_cast<std::uint32_t>(rd());
  }()};
  return static_cast<std::uint16_t>(counter.fetch_add(0x9E37) ^ (::getpid() * 31));
}

std::int64_t Nanos(const timespec& t) {
  return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

std::int64_t Now(clockid_t clock) {
  timespec t;
  clock_gettime(clock, &t);
  return Nanos(t);
}

std::uint32_t SendErrorStatus(int error) {
  switch (error) {
    case ENETUNREACH:
      return IP_DEST_NET_UNREACHABLE;
    case EHOSTUNREACH:
    case EHOSTDOWN:
      return IP_DEST_HOST_UNREACHABLE;
    case EMSGSIZE:
      return IP_PACKET_TOO_BIG;
    case ENOBUFS:
    case ENOMEM:
      return IP_NO_RESOURCES;
    case EACCES:  // a broadcast address
    case EINVAL:
    case EADDRNOTAVAIL:
      return IP_BAD_DESTINATION;
    default:
      return IP_GENERAL_FAILURE;
  }
}

bool SetIntOption(int fd, int level, int name, int value) {
  return ::setsockopt(fd, level, name, &value, sizeof value) == 0;
}

// A host of either family, as a request's destination or a message's
// sender.
struct TPeer {
  bool ip6 = false;
  IPAddr ip4 = 0;  // network order
  TIp6Address address6;

  static TPeer Of(const sockaddr_storage& a) {
    TPeer p;
    if (a.ss_family == AF_INET6) {
      const auto& in6 = reinterpret_cast<const sockaddr_in6&>(a);
      p.ip6 = true;
      std::memcpy(p.address6.bytes.data(), &in6.sin6_addr, 16);
      p.address6.scope_id = in6.sin6_scope_id;
    } else if (a.ss_family == AF_INET) {
      p.ip4 = reinterpret_cast<const sockaddr_in&>(a).sin_addr.s_addr;
    }
    return p;
  }

  socklen_t ToSockaddr(sockaddr_storage& a) const {
    a = sockaddr_storage{};
    if (ip6) {
      auto& in6 = reinterpret_cast<sockaddr_in6&>(a);
      in6.sin6_family = AF_INET6;
      std::memcpy(&in6.sin6_addr, address6.bytes.data(), 16);
      in6.sin6_scope_id = address6.scope_id;
      return sizeof in6;
    }
    auto& in = reinterpret_cast<sockaddr_in&>(a);
    in.sin_family = AF_INET;
    in.sin_addr.s_addr = ip4;
    return sizeof in;
  }

  bool SameHost(const TPeer& o) const {
    if (ip6 != o.ip6) return false;
    if (!ip6) return ip4 == o.ip4;
    // The kernel names the link of a link-local sender only.
    const bool scopes_differ =
        address6.scope_id && o.address6.scope_id && address6.scope_id != o.address6.scope_id;
    return address6.bytes == o.address6.bytes && !scopes_differ;
  }

  bool Multicast() const { return ip6 ? address6.bytes[0] == 0xFF : IN_MULTICAST(ntohl(ip4)); }

  bool Ip4Mapped() const {
    static constexpr std::uint8_t kPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    return ip6 && std::memcmp(address6.bytes.data(), kPrefix, sizeof kPrefix) == 0;
  }

  // Link-local unicast, or multicast of interface- or link-local scope.
  bool NeedsScope() const {
    const auto& b = address6.bytes;
    return ip6 && ((b[0] == 0xFE && (b[1] & 0xC0) == 0x80) ||
                   (b[0] == 0xFF && ((b[1] & 0x0F) == 1 || (b[1] & 0x0F) == 2)));
  }
};

struct TReceived {
  ssize_t size = -1;
  std::int64_t stamp = 0;  // kernel receive time, CLOCK_REALTIME ns; 0 if none
  int ttl = -1;
  TPeer from;
  const sock_extended_err* error = nullptr;
  TPeer offender;
};

// Reads one message (or one error-queue entry) and its control data.
TReceived Receive(TEchoSocket& s, bool error_queue, char (&control)[512]) {
  TReceived r;
  sockaddr_storage from{};
  iovec iov{s.receive.data(), s.receive.size()};
  msghdr msg{};
  msg.msg_name = &from;
  msg.msg_namelen = sizeof from;
  msg.msg_iov = &iov;
  msg.msg_iovlen = 1;
  msg.msg_control = control;
  msg.msg_controllen = sizeof control;
  r.size = ::recvmsg(s.fd, &msg, MSG_DONTWAIT | (error_queue ? MSG_ERRQUEUE : 0));
  if (r.size < 0) return r;
  r.from = TPeer::Of(from);
  for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
    if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_TIMESTAMPNS) {
      timespec t;
      std::memcpy(&t, CMSG_DATA(c), sizeof t);
      r.stamp = Nanos(t);
    } else if ((c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TTL) ||
               (c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_HOPLIMIT)) {
      std::memcpy(&r.ttl, CMSG_DATA(c), sizeof r.ttl);
    } else if (((c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_RECVERR) ||
                (c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_RECVERR)) &&
               c->cmsg_len >= CMSG_LEN(sizeof(sock_extended_err))) {
      r.error = reinterpret_cast<const sock_extended_err*>(CMSG_DATA(c));
      // The offender lies after the error record, within the control data.
      sockaddr_storage offender{};
      const std::size_t room = c->cmsg_len - CMSG_LEN(sizeof(sock_extended_err));
      std::memcpy(&offender, SO_EE_OFFENDER(r.error),
                  room < sizeof offender ? room : sizeof offender);
      r.offender = TPeer::Of(offender);
    }
  }
  return r;
}

// Opens one family's socket: a ping socket where the system admits us, a
// raw one otherwise. Returns false with errno set when neither opens.
bool OpenEchoSocket(TEchoSocket& s, bool ip6) {
  const int family = ip6 ? AF_INET6 : AF_INET;
  s.ip6 = ip6;
  s.fd = ::socket(family, SOCK_DGRAM | SOCK_CLOEXEC, ip6 ? int{IPPROTO_ICMPV6} : int{IPPROTO_ICMP});
  s.raw = false;
  if (s.fd < 0) {
    // Not admitted to ping sockets (or none in this kernel): raw, as root or
    // from the broker. A raw socket sees every ICMP message of the host; its
    // kernel filter lets only what may be ours reach the queue, so a busy
    // machine cannot fill it while we are idle.
    s.id = NewIdentifier();
    s.fd = OpenRawIcmpSocket(family, s.id);
    s.raw = true;
  }
  if (s.fd < 0) return false;
  SetIntOption(s.fd, SOL_SOCKET, SO_TIMESTAMPNS, 1);
  if (s.raw) {
    if (ip6) {
      // Only replies and the errors that may quote a request.
      icmp6_filter filter;
      ICMP6_FILTER_SETBLOCKALL(&filter);
      ICMP6_FILTER_SETPASS(ICMP6_ECHO_REPLY, &filter);
      ICMP6_FILTER_SETPASS(ICMP6_DST_UNREACH, &filter);
      ICMP6_FILTER_SETPASS(ICMP6_PACKET_TOO_BIG, &filter);
      ICMP6_FILTER_SETPASS(ICMP6_TIME_EXCEEDED, &filter);
      ICMP6_FILTER_SETPASS(ICMP6_PARAM_PROB, &filter);
      ::setsockopt(s.fd, IPPROTO_ICMPV6, ICMP6_FILTER, &filter, sizeof filter);
      // No IPv6 header arrives: the hop limit comes as control data.
      SetIntOption(s.fd, IPPROTO_IPV6, IPV6_RECVHOPLIMIT, 1);
    } else {
      icmp_filter filter{};
      filter.data =
          ~((1u << ICMP_ECHOREPLY) | (1u << ICMP_DEST_UNREACH) | (1u << ICMP_SOURCE_QUENCH) |
            (1u << ICMP_TIME_EXCEEDED) | (1u << ICMP_PARAMETERPROB));
      ::setsockopt(s.fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
    }
  } else if (ip6) {
    // Errors about our requests arrive on the error queue.
    SetIntOption(s.fd, IPPROTO_IPV6, IPV6_RECVERR, 1);
    SetIntOption(s.fd, IPPROTO_IPV6, IPV6_RECVHOPLIMIT, 1);
  } else {
    SetIntOption(s.fd, IPPROTO_IP, IP_RECVERR, 1);
    SetIntOption(s.fd, IPPROTO_IP, IP_RECVTTL, 1);
  }
  s.seq = static_cast<std::uint16_t>(NewIdentifier());
  s.receive.resize(65536 + 128);
  return true;
}

// Throws away whatever is queued: nothing that arrived before a request is
// sent can answer it. Bounded, so that a flood cannot hold us here.
void Drain(const TEchoSocket& s) {
  char byte;
  for (int i = 0; i < 100000; ++i) {
    if (::recv(s.fd, &byte, 1, MSG_DONTWAIT | MSG_TRUNC) >= 0) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) break;
    // Otherwise a pending socket error was handed over (and so cleared).
  }
  if (s.raw) return;
  for (int i = 0; i < 100000; ++i)
    if (::recv(s.fd, &byte, 1, MSG_DONTWAIT | MSG_TRUNC | MSG_ERRQUEUE) < 0) break;
}

// Whether a message from `source` may answer a request sent to
// `destination`: only the host we pinged answers for itself.
bool AnswersFor(const TPeer& source, const TPeer& destination) {
  if (source.SameHost(destination)) return true;
  // Every member of a multicast group answers for the group.
  return destination.Multicast();
}

DWORD Fail(ICMP_ECHO_REPLY* record, std::uint32_t status, IPAddr from = 0) {
  if (record) {
    record->Address = from;
    record->Status = status;
  }
  SetLastError(status);
  return 0;
}

// The echo call's arguments checked as both families check them; false
// with the last error set when they do not do.
bool UsableArguments(const std::shared_ptr<TEchoHandle>& h, std::uint16_t request_size,
                     const void* request_data, const void* reply_buffer, DWORD reply_size) {
  if (!h || (request_size > 0 && request_data == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (reply_buffer == nullptr || reply_size < sizeof(ICMP_ECHO_REPLY)) {
    SetLastError(IP_BUF_TOO_SMALL);
    return false;
  }
  return true;
}

// One echo through one family's socket; the caller holds the handle's lock.
// The sender of the reply or error goes to `replied`.
DWORD SendEchoOn(TEchoSocket& s, const TPeer& destination, void* request_data,
                 std::uint16_t request_size, const IP_OPTION_INFORMATION* request_options,
                 ICMP_ECHO_REPLY& record, void* reply_buffer, DWORD reply_size, DWORD timeout,
                 TPeer& replied) {
  const int ttl = request_options ? request_options->Ttl : 128;
  const bool df = request_options && (request_options->Flags & IP_FLAG_DF);
  // The kernel takes no TTL 0 (the datagram could never leave).
  if (ttl == 0) return Fail(&record, IP_BAD_OPTION);
  // An address of one link names no host without its link, and an IPv4
  // host's mapped address none that ICMPv6 reaches. The two kinds of socket
  // fail differently there (a raw one may even take the first link it has
  // a route for): refuse on both.
  if (destination.ip6 &&
      ((destination.NeedsScope() && destination.address6.scope_id == 0) || destination.Ip4Mapped()))
    return Fail(&record, IP_BAD_DESTINATION);

  if (s.ttl != ttl) {
    const bool set = s.ip6 ? SetIntOption(s.fd, IPPROTO_IPV6, IPV6_UNICAST_HOPS, ttl)
                           : SetIntOption(s.fd, IPPROTO_IP, IP_TTL, ttl);
    if (!set) return Fail(&record, IP_BAD_OPTION);
    s.ttl = ttl;
  }
  // IPv6 routers never fragment: the flag means nothing there.
  const int pmtudisc = df ? IP_PMTUDISC_DO : IP_PMTUDISC_DONT;
  if (!s.ip6 && s.pmtudisc != pmtudisc) {
    if (!SetIntOption(s.fd, IPPROTO_IP, IP_MTU_DISCOVER, pmtudisc))
      return Fail(&record, IP_BAD_OPTION);
    s.pmtudisc = pmtudisc;
  }

  // Echo request: type, code, checksum, identifier, sequence, data.
  s.seq = static_cast<std::uint16_t>(s.seq + 1);
  const std::uint16_t seq = htons(s.seq);
  s.packet.assign(8 + static_cast<std::size_t>(request_size), 0);
  std::uint8_t* p = s.packet.data();
  p[0] = s.ip6 ? kIcmp6EchoRequest : kIcmpEchoRequest;
  std::memcpy(p + 4, &s.id, 2);
  std::memcpy(p + 6, &seq, 2);
  if (request_size) std::memcpy(p + 8, request_data, request_size);
  // The kernel sums what ping sockets send, and every ICMPv6 message (its
  // sum covers the IPv6 header).
  if (s.raw && !s.ip6) {
    const std::uint16_t sum = InternetChecksum(p, s.packet.size());
    std::memcpy(p + 2, &sum, 2);
  }

  // The kernel sends a datagram for 0.0.0.0 to the loopback address, which
  // then answers. An ICMPv6 ping socket does not do so for ::, a raw one
  // does: send to ::1 on both.
  TPeer answerer = destination;
  if (!s.ip6 && destination.ip4 == INADDR_ANY) answerer.ip4 = htonl(INADDR_LOOPBACK);
  if (s.ip6 && destination.address6.bytes == TIp6Address{}.bytes) answerer.address6.bytes[15] = 1;
  TEchoRequestKey key;
  key.destination = answerer.ip4;
  key.ip6 = s.ip6;
  key.destination6 = answerer.address6.bytes;
  key.id = s.id;
  key.seq = seq;
  key.check_id = s.raw;
  key.payload = p + 8;
  key.payload_size = request_size;

  sockaddr_storage to;
  const socklen_t to_size = (s.ip6 ? answerer : destination).ToSockaddr(to);
  Drain(s);
  const std::int64_t deadline = Now(CLOCK_MONOTONIC) + static_cast<std::int64_t>(timeout) * 1000000;
  const std::int64_t sent_mono = Now(CLOCK_MONOTONIC);
  const std::int64_t sent = Now(CLOCK_REALTIME);
  if (::sendto(s.fd, p, s.packet.size(), 0, reinterpret_cast<sockaddr*>(&to), to_size) < 0)
    return Fail(&record, SendErrorStatus(errno));

  // A message the kernel received before we sent cannot be about our request
  // (it slipped in between draining and sending).
  auto before_send = [&](std::int64_t stamp) { return stamp != 0 && stamp < sent; };
  auto round_trip = [&](std::int64_t stamp) -> std::uint32_t {
    // Without a stamp, fall back to now.
    const std::int64_t ns = stamp ? stamp - sent : Now(CLOCK_MONOTONIC) - sent_mono;
    return static_cast<std::uint32_t>(ns / 1000000);
  };
  // Only the IPv4 record names the sender; an IPv6 one goes to `replied`.
  auto fail_from = [&](std::uint32_t status, const TPeer& from) {
    replied = from;
    return Fail(&record, status, from.ip4);
  };

  char control[512];
  // On loopback the reply is usually queued before sendto returns: look
  // once before waiting.
  bool look_first = true;
  for (;;) {
    pollfd pfd{s.fd, POLLIN, POLLIN};
    if (!look_first) {
      const std::int64_t left = deadline - Now(CLOCK_MONOTONIC);
      if (left <= 0) break;
      timespec wait{static_cast<time_t>(left / 1000000000), static_cast<long>(left % 1000000000)};
      const int n = ::ppoll(&pfd, 1, &wait, nullptr);
      if (n < 0) {
        if (errno == EINTR) continue;
        return Fail(&record, IP_GENERAL_FAILURE);
      }
      if (n == 0) break;
    }
    look_first = false;

    if ((pfd.revents & POLLERR) && s.raw) {
      // A raw socket keeps a hard ICMP error as a pending socket error while
      // the error message itself arrives as a datagram: clear the former.
      int error = 0;
      socklen_t length = sizeof error;
      ::getsockopt(s.fd, SOL_SOCKET, SO_ERROR, &error, &length);
    } else if (pfd.revents & POLLERR) {
      const TReceived r = Receive(s, true, control);
      // The error queue hands back our own message and, as its address, the
      // destination of the datagram the error quotes.
      if (r.size >= 0 && r.error && r.from.SameHost(answerer) && !before_send(r.stamp)) {
        if (QuotesRequest(s.receive.data(), static_cast<std::size_t>(r.size), key)) {
          std::uint32_t status = IP_GENERAL_FAILURE;
          if (r.error->ee_origin == SO_EE_ORIGIN_ICMP)
            status = IcmpErrorStatus(r.error->ee_type, r.error->ee_code);
          else if (r.error->ee_origin == SO_EE_ORIGIN_ICMP6)
            status = Icmp6ErrorStatus(r.error->ee_type, r.error->ee_code);
          else if (r.error->ee_origin == SO_EE_ORIGIN_LOCAL)
            status = SendErrorStatus(static_cast<int>(r.error->ee_errno));
          if (status != IP_SUCCESS) {
            record.RoundTripTime = round_trip(r.stamp);
            return fail_from(status, r.offender);
          }
        }
      }
      continue;
    }
    if (!(pfd.revents & POLLIN)) continue;
    const TReceived r = Receive(s, false, control);
    if (r.size < 0 || before_send(r.stamp)) continue;
    const bool ip_header = s.raw && !s.ip6;
    const TIcmpParse parsed =
        ParseIcmpPacket(s.receive.data(), static_cast<std::size_t>(r.size), ip_header, key);
    if (parsed.verdict == TIcmpVerdict::kUnrelated) continue;
    TPeer source = r.from;
    if (ip_header) source.ip4 = parsed.source;
    // Anyone who saw the request can copy it into a reply; only the host we
    // pinged may give one.
    if (parsed.verdict == TIcmpVerdict::kEchoReply && !AnswersFor(source, answerer)) continue;
    record.Address = source.ip4;
    record.RoundTripTime = round_trip(r.stamp);
    if (parsed.verdict == TIcmpVerdict::kError) return fail_from(parsed.status, source);

    const std::size_t room = reply_size - sizeof(ICMP_ECHO_REPLY);
    const std::size_t size = parsed.data_size < room ? parsed.data_size : room;
    auto* out = static_cast<std::uint8_t*>(reply_buffer);
    std::memcpy(out + sizeof(ICMP_ECHO_REPLY), s.receive.data() + parsed.data_offset, size);
    record.Status = IP_SUCCESS;
    record.DataSize = static_cast<std::uint16_t>(size);
    record.Data = size ? sizeof(ICMP_ECHO_REPLY) : 0;
    record.Options.Ttl =
        static_cast<std::uint8_t>(ip_header ? parsed.ttl : (r.ttl < 0 ? 0 : r.ttl));
    replied = source;
    SetLastError(IP_SUCCESS);
    return 1;
  }
  record.Status = IP_REQ_TIMED_OUT;
  SetLastError(IP_REQ_TIMED_OUT);
  return 0;
}

}  // namespace

HANDLE IcmpCreateFile() {
  auto h = std::make_shared<TEchoHandle>();
  if (!OpenEchoSocket(h->ip4, false)) {
    SetLastError(errno == EPERM || errno == EACCES ? ERROR_ACCESS_DENIED : IP_GENERAL_FAILURE);
    return INVALID_HANDLE_VALUE;
  }
  // Where the system has no IPv6 now, the first IPv6 echo asks again.
  OpenEchoSocket(h->ip6, true);
  std::lock_guard lock(g_mutex);
  const HANDLE handle = g_next_handle++;
  g_handles[handle] = std::move(h);
  return handle;
}

BOOL IcmpCloseHandle(HANDLE handle) {
  std::shared_ptr<TEchoHandle> h;
  {
    std::lock_guard lock(g_mutex);
    auto it = g_handles.find(handle);
    if (it == g_handles.end()) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    h = std::move(it->second);
    g_handles.erase(it);
  }
  return 1;  // the sockets close with the last user
}

TIcmpSocketKind IcmpSocketKindOf(HANDLE handle, int family) {
  auto h = Find(handle);
  if (!h || (family != AF_INET && family != AF_INET6)) return TIcmpSocketKind::kNone;
  std::lock_guard lock(h->mutex);
  const TEchoSocket& s = family == AF_INET6 ? h->ip6 : h->ip4;
  if (s.fd < 0) return TIcmpSocketKind::kNone;
  return s.raw ? TIcmpSocketKind::kRaw : TIcmpSocketKind::kPing;
}

DWORD IcmpSendEcho(HANDLE handle, IPAddr destination, void* request_data,
                   std::uint16_t request_size, IP_OPTION_INFORMATION* request_options,
                   void* reply_buffer, DWORD reply_size, DWORD timeout) {
  auto h = Find(handle);
  if (!UsableArguments(h, request_size, request_data, reply_buffer, reply_size)) return 0;
  ICMP_ECHO_REPLY record{};
  TPeer to, replied;
  to.ip4 = destination;
  DWORD result;
  {
    std::lock_guard lock(h->mutex);
    result = SendEchoOn(h->ip4, to, request_data, request_size, request_options, record,
                        reply_buffer, reply_size, timeout, replied);
  }
  std::memcpy(reply_buffer, &record, sizeof record);
  return result;
}

DWORD IcmpSendEcho6(HANDLE handle, const TIp6Address* destination, void* request_data,
                    std::uint16_t request_size, IP_OPTION_INFORMATION* request_options,
                    void* reply_buffer, DWORD reply_size, DWORD timeout, TIp6Address* reply_from) {
  auto h = Find(handle);
  if (!UsableArguments(h, request_size, request_data, reply_buffer, reply_size)) return 0;
  if (destination == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  ICMP_ECHO_REPLY record{};
  TPeer to, replied;
  to.ip6 = true;
  to.address6 = *destination;
  replied.ip6 = true;
  DWORD result;
  {
    std::lock_guard lock(h->mutex);
    if (h->ip6.fd < 0 && !OpenEchoSocket(h->ip6, true))
      result = Fail(&record, SendErrorStatus(errno));
    else
      result = SendEchoOn(h->ip6, to, request_data, request_size, request_options, record,
                          reply_buffer, reply_size, timeout, replied);
  }
  std::memcpy(reply_buffer, &record, sizeof record);
  if (reply_from) *reply_from = replied.address6;
  return result;
}

}  // namespace platform
