// sonarix_icmp_responder DELAY_MS DROP_PERCENT [TRICK [ARG]]: answers ICMP
// and ICMPv6 echo requests after DELAY_MS (counted from the kernel's receive
// time) and leaves DROP_PERCENT of them unanswered, evenly spread. Prints
// "ready" once it listens; runs until it is signalled. Meant for a namespace
// whose kernel ignores echo requests (net.ipv4.icmp_echo_ignore_all=1,
// net.ipv6.icmp.echo_ignore_all=1).
//
// A TRICK makes it a hostile peer as well, one that sees each request:
//   spoof ADDR  at once, a copy of the reply that claims to come from ADDR
//   ahead       5 ms after each reply, a reply for the next sequence number
//   error ADDR  at once, a "destination unreachable" that quotes the request
//               as if it had been sent to ADDR (codes host, port and
//               administratively prohibited in turn)
//   sequence N  (IPv4) at once, a "host unreachable" that quotes the
//               request as it was sent (destination, identifier, payload)
//               but with its sequence number moved by N
//   strays N    no reply; whenever it is sent SIGUSR1, N replies at once
//               with the identifier and payload of the last request it saw
//               and sequence numbers far ahead (the namespace's kernel may
//               answer for real)
// An ADDR of one family plays its trick on the requests of that family; the
// other family's are answered plainly.
#include <arpa/inet.h>
#include <linux/icmp.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <queue>
#include <string>
#include <vector>

namespace {

volatile sig_atomic_t g_stop = 0;
volatile sig_atomic_t g_strays = 0;

std::int64_t Nanos(const timespec& t) {
  return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

std::uint16_t Checksum(const std::uint8_t* p, size_t n) {
  std::uint32_t sum = 0;
  for (size_t i = 0; i + 1 < n; i += 2) sum += static_cast<std::uint32_t>(p[i] | p[i + 1] << 8);
  if (n & 1) sum += p[n - 1];
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint16_t>(~sum);
}

using TBytes = std::vector<std::uint8_t>;

struct TPending {
  std::int64_t due;
  sockaddr_in to;
  TBytes message;            // an ICMP message, or a whole datagram when `spoofed`
  bool spoofed = false;      // sent with a header of our own (a forged source)
  int copies = 1;            // sent this many times, sequence numbers counting up
  std::uint32_t source = 0;  // IPv4: the address it goes out from; 0: the kernel's choice
  // An ICMPv6 message to `to6`; when spoofed, from `from6`.
  bool ip6 = false;
  sockaddr_in6 to6{};
  in6_addr from6{};
  bool operator>(const TPending& o) const { return due > o.due; }
};

// The kernel sums ICMPv6 messages itself (the sum covers the IPv6 header).
void SetChecksum(TBytes& icmp, bool ip6 = false) {
  icmp[2] = icmp[3] = 0;
  if (ip6) return;
  const std::uint16_t sum = Checksum(icmp.data(), icmp.size());
  std::memcpy(&icmp[2], &sum, 2);
}

// Sends `message` to `to`; with `info` (an in_pktinfo at level IPPROTO_IP,
// an in6_pktinfo at IPPROTO_IPV6), from the source it names.
template <class TAddress, class TInfo>
void SendWithInfo(int fd, const TBytes& message, const TAddress& to, int level, int type,
                  const TInfo* info) {
  iovec iov{const_cast<std::uint8_t*>(message.data()), message.size()};
  msghdr msg{};
  msg.msg_name = const_cast<TAddress*>(&to);
  msg.msg_namelen = sizeof to;
  msg.msg_iov = &iov;
  msg.msg_iovlen = 1;
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(TInfo))] = {};
  if (info != nullptr) {
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    cmsghdr* c = CMSG_FIRSTHDR(&msg);
    c->cmsg_level = level;
    c->cmsg_type = type;
    c->cmsg_len = CMSG_LEN(sizeof(TInfo));
    std::memcpy(CMSG_DATA(c), info, sizeof(TInfo));
  }
  ::sendmsg(fd, &msg, 0);
}

// Sends an ICMPv6 message, from `from` when it is not the unspecified
// address (the socket may use any source).
void SendIcmp6(int fd, const TBytes& message, const sockaddr_in6& to, const in6_addr& from) {
  in6_pktinfo info{};
  info.ipi6_addr = from;
  SendWithInfo(fd, message, to, IPPROTO_IPV6, IPV6_PKTINFO,
               IN6_IS_ADDR_UNSPECIFIED(&from) ? nullptr : &info);
}

// Sends an ICMP message from `source` (0: the kernel picks, as for an
// unnamed sender). A host answers from the address that was asked.
void SendIcmp(int fd, const TBytes& message, const sockaddr_in& to, std::uint32_t source) {
  in_pktinfo info{};
  info.ipi_spec_dst.s_addr = source;
  SendWithInfo(fd, message, to, IPPROTO_IP, IP_PKTINFO, source == 0 ? nullptr : &info);
}

// An IPv4 header for `body` from `from` to `to` (network order); the kernel
// fills in the header checksum.
TBytes IpHeader(std::size_t body, std::uint32_t from, std::uint32_t to) {
  TBytes h(20, 0);
  h[0] = 0x45;
  h[2] = static_cast<std::uint8_t>((20 + body) >> 8);
  h[3] = static_cast<std::uint8_t>(20 + body);
  h[8] = 64;
  h[9] = 1;  // ICMP
  std::memcpy(&h[12], &from, 4);
  std::memcpy(&h[16], &to, 4);
  return h;
}

void AddSequence(TBytes& icmp, int delta, bool ip6) {
  const std::uint16_t seq = static_cast<std::uint16_t>((icmp[6] << 8 | icmp[7]) + delta);
  icmp[6] = static_cast<std::uint8_t>(seq >> 8);
  icmp[7] = static_cast<std::uint8_t>(seq);
  SetChecksum(icmp, ip6);
}

// An IPv6 header for an ICMPv6 `body` from `from` to `to`, as an error
// quotes the datagram.
TBytes Ip6Header(std::size_t body, const in6_addr& from, const in6_addr& to) {
  TBytes h(40, 0);
  h[0] = 0x60;
  h[4] = static_cast<std::uint8_t>(body >> 8);
  h[5] = static_cast<std::uint8_t>(body);
  h[6] = IPPROTO_ICMPV6;
  h[7] = 64;
  std::memcpy(&h[8], &from, 16);
  std::memcpy(&h[24], &to, 16);
  return h;
}

// One received echo request, of either family.
struct TRequest {
  std::int64_t stamp = 0;
  bool ip6 = false;
  sockaddr_in from{};
  sockaddr_in6 from6{};
  std::uint32_t to = 0;  // IPv4: the address the request was sent to
  const std::uint8_t* icmp = nullptr;
  std::size_t icmp_size = 0;
};

// Reads one datagram; false when it is no echo request.
bool ReadRequest(int fd, bool ip6, std::vector<std::uint8_t>& buf, std::int64_t now, TRequest& r) {
  sockaddr_storage from{};
  char control[256];
  iovec iov{buf.data(), buf.size()};
  msghdr msg{};
  msg.msg_name = &from;
  msg.msg_namelen = sizeof from;
  msg.msg_iov = &iov;
  msg.msg_iovlen = 1;
  msg.msg_control = control;
  msg.msg_controllen = sizeof control;
  const ssize_t n = ::recvmsg(fd, &msg, MSG_DONTWAIT);
  if (n < 8) return false;
  r.stamp = now;
  for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
    if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_TIMESTAMPNS) {
      timespec t;
      std::memcpy(&t, CMSG_DATA(c), sizeof t);
      r.stamp = Nanos(t);
    }
  }
  r.ip6 = ip6;
  if (ip6) {
    // An ICMPv6 socket hands over the message without the IPv6 header.
    std::memcpy(&r.from6, &from, sizeof r.from6);
    r.icmp = buf.data();
    r.icmp_size = static_cast<std::size_t>(n);
    return r.icmp[0] == ICMP6_ECHO_REQUEST && r.icmp[1] == 0;
  }
  if (n < 28) return false;
  std::memcpy(&r.from, &from, sizeof r.from);
  std::memcpy(&r.to, &buf[16], 4);
  const size_t ihl = static_cast<size_t>(buf[0] & 0x0F) * 4;
  if (ihl < 20 || static_cast<size_t>(n) < ihl + 8) return false;
  r.icmp = buf.data() + ihl;
  r.icmp_size = static_cast<size_t>(n) - ihl;
  return r.icmp[0] == 8 && r.icmp[1] == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s DELAY_MS DROP_PERCENT\n", argv[0]);
    return 2;
  }
  const std::int64_t delay = std::atoll(argv[1]) * 1000000;
  const int drop = std::atoi(argv[2]);
  const std::string trick = argc > 3 ? argv[3] : "";
  const std::string trick_arg = argc > 4 ? argv[4] : "";
  // The trick's address names the family it is for.
  std::uint32_t trick_addr = 0;
  in6_addr trick_addr6{};
  const bool trick6 = ::inet_pton(AF_INET6, trick_arg.c_str(), &trick_addr6) == 1;
  if (!trick_arg.empty() && !trick6) trick_addr = ::inet_addr(trick_arg.c_str());
  struct sigaction sa {};
  sa.sa_handler = [](int) { g_stop = 1; };
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  // SIGUSR1 only wakes the wait below, so that none is missed between the
  // look at the flag and the wait.
  struct sigaction usr {};
  usr.sa_handler = [](int) { g_strays = 1; };
  sigaction(SIGUSR1, &usr, nullptr);
  sigset_t usr_only, waiting;
  sigemptyset(&usr_only);
  sigaddset(&usr_only, SIGUSR1);
  sigprocmask(SIG_BLOCK, &usr_only, &waiting);
  sigdelset(&waiting, SIGUSR1);

  const int fd = ::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
  if (fd < 0) {
    std::perror("socket");
    return 1;
  }
  int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
  // Only requests: our own forged replies must not crowd them out.
  icmp_filter filter{};
  filter.data = ~(1u << ICMP_ECHO);
  ::setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
  // Forged sources go out through a socket that takes our own IP headers.
  const int spoof_fd = ::socket(AF_INET, SOCK_RAW, IPPROTO_RAW);
  if (spoof_fd < 0) {
    std::perror("socket");
    return 1;
  }
  // ICMPv6 where the kernel has it; a forged IPv6 source is named per
  // message, which a transparent socket may do for any address.
  const int fd6 = ::socket(AF_INET6, SOCK_RAW, IPPROTO_ICMPV6);
  if (fd6 >= 0) {
    ::setsockopt(fd6, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    icmp6_filter filter6;
    ICMP6_FILTER_SETBLOCKALL(&filter6);
    ICMP6_FILTER_SETPASS(ICMP6_ECHO_REQUEST, &filter6);
    ::setsockopt(fd6, IPPROTO_ICMPV6, ICMP6_FILTER, &filter6, sizeof filter6);
    ::setsockopt(fd6, IPPROTO_IPV6, IPV6_TRANSPARENT, &on, sizeof on);
  }
  // The delay is the whole point: wake on time even on a busy machine.
  sched_param param{};
  param.sched_priority = 10;
  ::sched_setscheduler(0, SCHED_FIFO, &param);
  ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  std::printf("ready\n");
  std::fflush(stdout);

  std::priority_queue<TPending, std::vector<TPending>, std::greater<>> pending;
  std::vector<std::uint8_t> buf(65536 + 128);
  int drop_acc = 0;
  TPending last_request;  // what "strays" copies
  while (!g_stop) {
    timespec now_ts;
    clock_gettime(CLOCK_REALTIME, &now_ts);
    const std::int64_t now = Nanos(now_ts);
    if (g_strays) {
      g_strays = 0;
      if (!last_request.message.empty()) {
        TPending strays = last_request;
        strays.due = now;
        strays.copies = std::atoi(trick_arg.c_str());
        AddSequence(strays.message, 1000, strays.ip6);
        pending.push(std::move(strays));
      }
    }
    while (!pending.empty() && pending.top().due <= now) {
      TPending p = pending.top();
      pending.pop();
      for (int i = 0; i < p.copies; ++i) {
        if (i > 0) AddSequence(p.message, 1, p.ip6);
        if (p.ip6)
          SendIcmp6(fd6, p.message, p.to6, p.from6);
        else if (p.spoofed)
          ::sendto(spoof_fd, p.message.data(), p.message.size(), 0,
                   reinterpret_cast<const sockaddr*>(&p.to), sizeof p.to);
        else
          SendIcmp(fd, p.message, p.to, p.source);
      }
    }
    timespec wait{1, 0};
    if (!pending.empty()) {
      const std::int64_t left = pending.top().due - now;
      wait = {static_cast<time_t>(left / 1000000000), static_cast<long>(left % 1000000000)};
    }
    pollfd pfd[2] = {{fd, POLLIN, 0}, {fd6, POLLIN, 0}};
    if (::ppoll(pfd, fd6 >= 0 ? 2 : 1, &wait, &waiting) <= 0) continue;

    TRequest r;
    const bool ip6 = !(pfd[0].revents & POLLIN);
    if (!ReadRequest(ip6 ? fd6 : fd, ip6, buf, now, r)) continue;
    drop_acc += drop;
    if (drop_acc >= 100) {
      drop_acc -= 100;
      continue;
    }
    const std::uint8_t* icmp = r.icmp;
    const size_t icmp_size = r.icmp_size;
    TPending p;
    p.due = r.stamp + delay;
    p.to = r.from;
    p.ip6 = ip6;
    p.to6 = r.from6;
    // A request to a group or a broadcast address is answered from our own.
    if (!ip6 && !IN_MULTICAST(ntohl(r.to)) && ntohl(r.to) != INADDR_BROADCAST) p.source = r.to;
    p.message.assign(icmp, icmp + icmp_size);
    p.message[0] = ip6 ? ICMP6_ECHO_REPLY : 0;  // echo reply
    SetChecksum(p.message, ip6);
    // A trick for the other family's requests does not apply.
    const bool tricked = trick_arg.empty() || trick6 == ip6;
    if (trick == "spoof" && tricked) {
      TPending forged = p;
      forged.due = r.stamp;
      if (ip6) {
        forged.from6 = trick_addr6;
      } else {
        forged.spoofed = true;
        forged.message = IpHeader(p.message.size(), trick_addr, r.from.sin_addr.s_addr);
        forged.message.insert(forged.message.end(), p.message.begin(), p.message.end());
      }
      pending.push(std::move(forged));
    } else if (trick == "ahead") {
      TPending forged = p;
      forged.due = p.due + 5000000;
      AddSequence(forged.message, 1, ip6);
      pending.push(std::move(forged));
    } else if ((trick == "error" || (trick == "sequence" && !ip6)) && tricked) {
      // The request as the kernel sent it, but addressed elsewhere or with
      // another sequence number; quoted whole, as Linux routers do for a
      // short datagram.
      TBytes request(icmp, icmp + icmp_size);
      std::uint32_t to = trick_addr;
      if (trick == "sequence") {
        to = r.to;
        AddSequence(request, std::atoi(trick_arg.c_str()), false);
      }
      TBytes quoted = ip6 ? Ip6Header(icmp_size, r.from6.sin6_addr, trick_addr6)
                          : IpHeader(icmp_size, r.from.sin_addr.s_addr, to);
      quoted.insert(quoted.end(), request.begin(), request.end());
      TPending forged = p;
      forged.due = r.stamp;
      // Host, port and administratively prohibited in turn (ICMPv6:
      // address, port and administratively prohibited).
      static const std::uint8_t kCodes[] = {1, 3, 13};
      static const std::uint8_t kCodes6[] = {3, 4, 1};
      static int turn = 0;
      const int code = trick == "sequence" ? 0 : turn++ % 3;
      forged.message = {static_cast<std::uint8_t>(ip6 ? ICMP6_DST_UNREACH : 3),
                        ip6 ? kCodes6[code] : kCodes[code],
                        0,
                        0,
                        0,
                        0,
                        0,
                        0};
      forged.message.insert(forged.message.end(), quoted.begin(), quoted.end());
      SetChecksum(forged.message, ip6);
      pending.push(std::move(forged));
    } else if (trick == "strays") {
      last_request = std::move(p);
      continue;
    }
    pending.push(std::move(p));
  }
  if (fd6 >= 0) ::close(fd6);
  ::close(spoof_fd);
  ::close(fd);
  return 0;
}
