#include "platform/Icmp.h"

#include <errno.h>
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

struct TEchoSocket {
  ~TEchoSocket() {
    if (fd >= 0) ::close(fd);
  }
  std::mutex mutex;  // one echo at a time per handle
  int fd = -1;
  bool raw = false;
  std::uint16_t id = 0;  // network order; the kernel's own for ping sockets
  std::uint16_t seq = 0;
  int ttl = -1;  // last applied, to spare the system calls
  int pmtudisc = -1;
  std::vector<std::uint8_t> packet;
  std::vector<std::uint8_t> receive;
};

std::mutex g_mutex;
std::map<HANDLE, std::shared_ptr<TEchoSocket>> g_handles;
HANDLE g_next_handle = 0x100;

std::shared_ptr<TEchoSocket> Find(HANDLE handle) {
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

struct TReceived {
  ssize_t size = -1;
  std::int64_t stamp = 0;  // kernel receive time, CLOCK_REALTIME ns; 0 if none
  int ttl = -1;
  std::uint32_t from = 0;
  const sock_extended_err* error = nullptr;
  std::uint32_t offender = 0;
};

// Reads one message (or one error-queue entry) and its control data.
TReceived Receive(TEchoSocket& s, bool error_queue, char (&control)[512]) {
  TReceived r;
  sockaddr_in from{};
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
  r.from = from.sin_addr.s_addr;
  for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
    if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_TIMESTAMPNS) {
      timespec t;
      std::memcpy(&t, CMSG_DATA(c), sizeof t);
      r.stamp = Nanos(t);
    } else if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TTL) {
      std::memcpy(&r.ttl, CMSG_DATA(c), sizeof r.ttl);
    } else if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_RECVERR) {
      r.error = reinterpret_cast<const sock_extended_err*>(CMSG_DATA(c));
      const sockaddr* off = SO_EE_OFFENDER(r.error);
      if (off->sa_family == AF_INET)
        r.offender = reinterpret_cast<const sockaddr_in*>(off)->sin_addr.s_addr;
    }
  }
  return r;
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
bool AnswersFor(IPAddr source, IPAddr destination) {
  if (source == destination) return true;
  // Every member of a multicast group answers for the group.
  return IN_MULTICAST(ntohl(destination));
}

DWORD Fail(ICMP_ECHO_REPLY* record, std::uint32_t status, IPAddr from = 0) {
  if (record) {
    record->Address = from;
    record->Status = status;
  }
  SetLastError(status);
  return 0;
}

}  // namespace

HANDLE IcmpCreateFile() {
  auto s = std::make_shared<TEchoSocket>();
  s->fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (s->fd < 0) {
    // Not admitted to ping sockets (or none in this kernel): raw, as root or
    // from the broker. A raw socket sees every ICMP message of the host; its
    // kernel filter lets only what may be ours reach the queue, so a busy
    // machine cannot fill it while we are idle.
    s->id = NewIdentifier();
    s->fd = OpenRawIcmpSocket(AF_INET, s->id);
    s->raw = true;
  }
  if (s->fd < 0) {
    SetLastError(errno == EPERM || errno == EACCES ? ERROR_ACCESS_DENIED : IP_GENERAL_FAILURE);
    return INVALID_HANDLE_VALUE;
  }
  SetIntOption(s->fd, SOL_SOCKET, SO_TIMESTAMPNS, 1);
  if (s->raw) {
    // Only replies and the errors that may quote a request.
    icmp_filter filter{};
    filter.data =
        ~((1u << ICMP_ECHOREPLY) | (1u << ICMP_DEST_UNREACH) | (1u << ICMP_SOURCE_QUENCH) |
          (1u << ICMP_TIME_EXCEEDED) | (1u << ICMP_PARAMETERPROB));
    ::setsockopt(s->fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
  } else {
    // Errors about our requests arrive on the error queue.
    SetIntOption(s->fd, IPPROTO_IP, IP_RECVERR, 1);
    SetIntOption(s->fd, IPPROTO_IP, IP_RECVTTL, 1);
  }
  s->seq = static_cast<std::uint16_t>(NewIdentifier());
  s->receive.resize(65536 + 128);
  std::lock_guard lock(g_mutex);
  const HANDLE handle = g_next_handle++;
  g_handles[handle] = std::move(s);
  return handle;
}

BOOL IcmpCloseHandle(HANDLE handle) {
  std::shared_ptr<TEchoSocket> s;
  {
    std::lock_guard lock(g_mutex);
    auto it = g_handles.find(handle);
    if (it == g_handles.end()) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    s = std::move(it->second);
    g_handles.erase(it);
  }
  return 1;  // the socket closes with the last user
}

TIcmpSocketKind IcmpSocketKindOf(HANDLE handle) {
  auto s = Find(handle);
  if (!s) return TIcmpSocketKind::kNone;
  return s->raw ? TIcmpSocketKind::kRaw : TIcmpSocketKind::kPing;
}

DWORD IcmpSendEcho(HANDLE handle, IPAddr destination, void* request_data,
                   std::uint16_t request_size, IP_OPTION_INFORMATION* request_options,
                   void* reply_buffer, DWORD reply_size, DWORD timeout) {
  auto s = Find(handle);
  if (!s || (request_size > 0 && request_data == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (reply_buffer == nullptr || reply_size < sizeof(ICMP_ECHO_REPLY)) {
    SetLastError(IP_BUF_TOO_SMALL);
    return 0;
  }
  ICMP_ECHO_REPLY record{};
  auto finish = [&](DWORD result) {
    std::memcpy(reply_buffer, &record, sizeof record);
    return result;
  };

  const int ttl = request_options ? request_options->Ttl : 128;
  const bool df = request_options && (request_options->Flags & IP_FLAG_DF);
  // The kernel takes no TTL 0 (the datagram could never leave).
  if (ttl == 0) return finish(Fail(&record, IP_BAD_OPTION));

  std::lock_guard lock(s->mutex);
  if (s->ttl != ttl) {
    if (!SetIntOption(s->fd, IPPROTO_IP, IP_TTL, ttl)) return finish(Fail(&record, IP_BAD_OPTION));
    s->ttl = ttl;
  }
  const int pmtudisc = df ? IP_PMTUDISC_DO : IP_PMTUDISC_DONT;
  if (s->pmtudisc != pmtudisc) {
    if (!SetIntOption(s->fd, IPPROTO_IP, IP_MTU_DISCOVER, pmtudisc))
      return finish(Fail(&record, IP_BAD_OPTION));
    s->pmtudisc = pmtudisc;
  }

  // Echo request: type, code, checksum, identifier, sequence, data.
  s->seq = static_cast<std::uint16_t>(s->seq + 1);
  const std::uint16_t seq = htons(s->seq);
  s->packet.assign(8 + static_cast<std::size_t>(request_size), 0);
  std::uint8_t* p = s->packet.data();
  p[0] = kIcmpEchoRequest;
  std::memcpy(p + 4, &s->id, 2);
  std::memcpy(p + 6, &seq, 2);
  if (request_size) std::memcpy(p + 8, request_data, request_size);
  if (s->raw) {
    const std::uint16_t sum = InternetChecksum(p, s->packet.size());
    std::memcpy(p + 2, &sum, 2);
  }

  // The kernel sends a datagram for 0.0.0.0 to the loopback address, which
  // then answers.
  const IPAddr answerer = destination == INADDR_ANY ? htonl(INADDR_LOOPBACK) : destination;
  TEchoRequestKey key;
  key.destination = answerer;
  key.id = s->id;
  key.seq = seq;
  key.check_id = s->raw;
  key.payload = p + 8;
  key.payload_size = request_size;

  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = destination;
  Drain(*s);
  const std::int64_t deadline = Now(CLOCK_MONOTONIC) + static_cast<std::int64_t>(timeout) * 1000000;
  const std::int64_t sent_mono = Now(CLOCK_MONOTONIC);
  const std::int64_t sent = Now(CLOCK_REALTIME);
  if (::sendto(s->fd, p, s->packet.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) < 0)
    return finish(Fail(&record, SendErrorStatus(errno)));

  // A message the kernel received before we sent cannot be about our request
  // (it slipped in between draining and sending).
  auto before_send = [&](std::int64_t stamp) { return stamp != 0 && stamp < sent; };
  auto round_trip = [&](std::int64_t stamp) -> std::uint32_t {
    // Without a stamp, fall back to now.
    const std::int64_t ns = stamp ? stamp - sent : Now(CLOCK_MONOTONIC) - sent_mono;
    return static_cast<std::uint32_t>(ns / 1000000);
  };

  char control[512];
  // On loopback the reply is usually queued before sendto returns: look
  // once before waiting.
  bool look_first = true;
  for (;;) {
    pollfd pfd{s->fd, POLLIN, POLLIN};
    if (!look_first) {
      const std::int64_t left = deadline - Now(CLOCK_MONOTONIC);
      if (left <= 0) break;
      timespec wait{static_cast<time_t>(left / 1000000000), static_cast<long>(left % 1000000000)};
      const int n = ::ppoll(&pfd, 1, &wait, nullptr);
      if (n < 0) {
        if (errno == EINTR) continue;
        return finish(Fail(&record, IP_GENERAL_FAILURE));
      }
      if (n == 0) break;
    }
    look_first = false;

    if ((pfd.revents & POLLERR) && s->raw) {
      // A raw socket keeps a hard ICMP error as a pending socket error while
      // the error message itself arrives as a datagram: clear the former.
      int error = 0;
      socklen_t length = sizeof error;
      ::getsockopt(s->fd, SOL_SOCKET, SO_ERROR, &error, &length);
    } else if (pfd.revents & POLLERR) {
      const TReceived r = Receive(*s, true, control);
      // The error queue hands back our own message and, as its address, the
      // destination of the datagram the error quotes.
      if (r.size >= 0 && r.error && r.from == answerer && !before_send(r.stamp)) {
        if (QuotesRequest(s->receive.data(), static_cast<std::size_t>(r.size), key)) {
          std::uint32_t status = IP_GENERAL_FAILURE;
          if (r.error->ee_origin == SO_EE_ORIGIN_ICMP)
            status = IcmpErrorStatus(r.error->ee_type, r.error->ee_code);
          else if (r.error->ee_origin == SO_EE_ORIGIN_LOCAL)
            status = SendErrorStatus(static_cast<int>(r.error->ee_errno));
          if (status != IP_SUCCESS) {
            record.RoundTripTime = round_trip(r.stamp);
            return finish(Fail(&record, status, r.offender));
          }
        }
      }
      continue;
    }
    if (!(pfd.revents & POLLIN)) continue;
    const TReceived r = Receive(*s, false, control);
    if (r.size < 0 || before_send(r.stamp)) continue;
    const TIcmpParse parsed =
        ParseIcmpPacket(s->receive.data(), static_cast<std::size_t>(r.size), s->raw, key);
    if (parsed.verdict == TIcmpVerdict::kUnrelated) continue;
    const IPAddr source = s->raw ? parsed.source : r.from;
    // Anyone who saw the request can copy it into a reply; only the host we
    // pinged may give one.
    if (parsed.verdict == TIcmpVerdict::kEchoReply && !AnswersFor(source, answerer)) continue;
    record.Address = source;
    record.RoundTripTime = round_trip(r.stamp);
    if (parsed.verdict == TIcmpVerdict::kError)
      return finish(Fail(&record, parsed.status, record.Address));

    const std::size_t room = reply_size - sizeof(ICMP_ECHO_REPLY);
    const std::size_t size = parsed.data_size < room ? parsed.data_size : room;
    auto* out = static_cast<std::uint8_t*>(reply_buffer);
    std::memcpy(out + sizeof(ICMP_ECHO_REPLY), s->receive.data() + parsed.data_offset, size);
    record.Status = IP_SUCCESS;
    record.DataSize = static_cast<std::uint16_t>(size);
    record.Data = size ? sizeof(ICMP_ECHO_REPLY) : 0;
    record.Options.Ttl = static_cast<std::uint8_t>(s->raw ? parsed.ttl : (r.ttl < 0 ? 0 : r.ttl));
    SetLastError(IP_SUCCESS);
    return finish(1);
  }
  record.Status = IP_REQ_TIMED_OUT;
  SetLastError(IP_REQ_TIMED_OUT);
  return finish(0);
}

}  // namespace platform
