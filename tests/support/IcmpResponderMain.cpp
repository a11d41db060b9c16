// sonarix_icmp_responder DELAY_MS DROP_PERCENT [TRICK [ARG]]: answers ICMP
// echo requests after DELAY_MS (counted from the kernel's receive time) and
// leaves DROP_PERCENT of them unanswered, evenly spread. Prints "ready" once
// it listens; runs until it is signalled. Meant for a namespace whose kernel
// ignores echo requests (net.ipv4.icmp_echo_ignore_all=1).
//
// A TRICK makes it a hostile peer as well, one that sees each request:
//   spoof ADDR  at once, a copy of the reply that claims to come from ADDR
//   ahead       5 ms after each reply, a reply for the next sequence number
//   error ADDR  at once, a "destination unreachable" that quotes the request
//               as if it had been sent to ADDR (codes host, port and
//               administratively prohibited in turn)
//   sequence N  at once, a "host unreachable" that quotes the request as it
//               was sent (destination, identifier, payload) but with its
//               sequence number moved by N
//   strays N    no reply; whenever it is sent SIGUSR1, N replies at once
//               with the identifier and payload of the last request it saw
//               and sequence numbers far ahead (the namespace's kernel may
//               answer for real)
#include <arpa/inet.h>
#include <linux/icmp.h>
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
  std::uint32_t source = 0;  // the address it goes out from; 0: the kernel's choice
  int copies = 1;            // sent this many times, sequence numbers counting up
  bool operator>(const TPending& o) const { return due > o.due; }
};

void SetChecksum(TBytes& icmp) {
  icmp[2] = icmp[3] = 0;
  const std::uint16_t sum = Checksum(icmp.data(), icmp.size());
  std::memcpy(&icmp[2], &sum, 2);
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

void AddSequence(TBytes& icmp, int delta) {
  const std::uint16_t seq = static_cast<std::uint16_t>((icmp[6] << 8 | icmp[7]) + delta);
  icmp[6] = static_cast<std::uint8_t>(seq >> 8);
  icmp[7] = static_cast<std::uint8_t>(seq);
  SetChecksum(icmp);
}

// A "destination unreachable" with `code` that quotes `icmp` (the request as
// the kernel sent it) in a datagram from `from` to `to`; quoted whole, as
// Linux routers do for a short datagram.
TBytes Unreachable(std::uint8_t code, const TBytes& icmp, std::uint32_t from, std::uint32_t to) {
  TBytes quoted = IpHeader(icmp.size(), from, to);
  quoted.insert(quoted.end(), icmp.begin(), icmp.end());
  TBytes error = {3, code, 0, 0, 0, 0, 0, 0};
  error.insert(error.end(), quoted.begin(), quoted.end());
  SetChecksum(error);
  return error;
}

// Sends `message` from `source` (0: the kernel picks, as for an unnamed
// sender). A host answers from the address that was asked.
void SendFrom(int fd, const TBytes& message, const sockaddr_in& to, std::uint32_t source) {
  char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
  iovec iov{const_cast<std::uint8_t*>(message.data()), message.size()};
  msghdr msg{};
  msg.msg_name = const_cast<sockaddr_in*>(&to);
  msg.msg_namelen = sizeof to;
  msg.msg_iov = &iov;
  msg.msg_iovlen = 1;
  if (source != 0) {
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    cmsghdr* c = CMSG_FIRSTHDR(&msg);
    c->cmsg_level = IPPROTO_IP;
    c->cmsg_type = IP_PKTINFO;
    c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_spec_dst.s_addr = source;
    std::memcpy(CMSG_DATA(c), &info, sizeof info);
  }
  ::sendmsg(fd, &msg, 0);
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
  std::uint32_t trick_addr = 0;
  if (!trick_arg.empty()) trick_addr = ::inet_addr(trick_arg.c_str());
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
        AddSequence(strays.message, 1000);
        pending.push(std::move(strays));
      }
    }
    while (!pending.empty() && pending.top().due <= now) {
      TPending p = pending.top();
      pending.pop();
      for (int i = 0; i < p.copies; ++i) {
        if (i > 0) AddSequence(p.message, 1);
        if (p.spoofed) {
          ::sendto(spoof_fd, p.message.data(), p.message.size(), 0,
                   reinterpret_cast<const sockaddr*>(&p.to), sizeof p.to);
        } else {
          SendFrom(fd, p.message, p.to, p.source);
        }
      }
    }
    timespec wait{1, 0};
    if (!pending.empty()) {
      const std::int64_t left = pending.top().due - now;
      wait = {static_cast<time_t>(left / 1000000000), static_cast<long>(left % 1000000000)};
    }
    pollfd pfd{fd, POLLIN, 0};
    if (::ppoll(&pfd, 1, &wait, &waiting) <= 0) continue;

    sockaddr_in from{};
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
    if (n < 28) continue;
    std::int64_t stamp = now;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
      if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_TIMESTAMPNS) {
        timespec t;
        std::memcpy(&t, CMSG_DATA(c), sizeof t);
        stamp = Nanos(t);
      }
    }
    const size_t ihl = static_cast<size_t>(buf[0] & 0x0F) * 4;
    if (ihl < 20 || static_cast<size_t>(n) < ihl + 8) continue;
    const std::uint8_t* icmp = buf.data() + ihl;
    const size_t icmp_size = static_cast<size_t>(n) - ihl;
    if (icmp[0] != 8 || icmp[1] != 0) continue;
    drop_acc += drop;
    if (drop_acc >= 100) {
      drop_acc -= 100;
      continue;
    }
    std::uint32_t asked;
    std::memcpy(&asked, &buf[16], 4);
    TPending p;
    p.due = stamp + delay;
    p.to = from;
    // A request to a group or a broadcast address is answered from our own.
    const std::uint32_t asked_host = ntohl(asked);
    if (!IN_MULTICAST(asked_host) && asked_host != INADDR_BROADCAST) p.source = asked;
    p.message.assign(icmp, icmp + icmp_size);
    p.message[0] = 0;  // echo reply
    SetChecksum(p.message);
    if (trick == "spoof") {
      TPending forged = p;
      forged.due = stamp;
      forged.spoofed = true;
      forged.message = IpHeader(p.message.size(), trick_addr, from.sin_addr.s_addr);
      forged.message.insert(forged.message.end(), p.message.begin(), p.message.end());
      pending.push(std::move(forged));
    } else if (trick == "ahead") {
      TPending forged = p;
      forged.due = p.due + 5000000;
      AddSequence(forged.message, 1);
      pending.push(std::move(forged));
    } else if (trick == "error" || trick == "sequence") {
      // The request as the kernel sent it: addressed elsewhere, or with
      // another sequence number.
      TBytes request(icmp, icmp + icmp_size);
      std::uint32_t to = trick_addr;
      std::uint8_t code = 1;  // host unreachable
      if (trick == "sequence") {
        to = asked;
        AddSequence(request, std::atoi(trick_arg.c_str()));
      } else {
        static const std::uint8_t kCodes[] = {1, 3, 13};
        static int turn = 0;
        code = kCodes[turn++ % 3];
      }
      TPending forged = p;
      forged.due = stamp;
      forged.message = Unreachable(code, request, from.sin_addr.s_addr, to);
      pending.push(std::move(forged));
    } else if (trick == "strays") {
      last_request = std::move(p);
      continue;
    }
    pending.push(std::move(p));
  }
  ::close(spoof_fd);
  ::close(fd);
  return 0;
}
