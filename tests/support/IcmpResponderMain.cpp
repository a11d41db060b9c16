// sonarix_icmp_responder DELAY_MS DROP_PERCENT: answers ICMP echo requests
// after DELAY_MS (counted from the kernel's receive time) and leaves
// DROP_PERCENT of them unanswered, evenly spread. Prints "ready" once it
// listens; runs until it is signalled. Meant for a namespace whose kernel
// ignores echo requests (net.ipv4.icmp_echo_ignore_all=1).
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
#include <vector>

namespace {

volatile sig_atomic_t g_stop = 0;

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

struct TPending {
  std::int64_t due;
  sockaddr_in to;
  std::vector<std::uint8_t> reply;
  bool operator>(const TPending& o) const { return due > o.due; }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s DELAY_MS DROP_PERCENT\n", argv[0]);
    return 2;
  }
  const std::int64_t delay = std::atoll(argv[1]) * 1000000;
  const int drop = std::atoi(argv[2]);
  struct sigaction sa {};
  sa.sa_handler = [](int) { g_stop = 1; };
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);

  const int fd = ::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
  if (fd < 0) {
    std::perror("socket");
    return 1;
  }
  int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
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
  while (!g_stop) {
    timespec now_ts;
    clock_gettime(CLOCK_REALTIME, &now_ts);
    const std::int64_t now = Nanos(now_ts);
    while (!pending.empty() && pending.top().due <= now) {
      const TPending& p = pending.top();
      ::sendto(fd, p.reply.data(), p.reply.size(), 0, reinterpret_cast<const sockaddr*>(&p.to),
               sizeof p.to);
      pending.pop();
    }
    timespec wait{1, 0};
    if (!pending.empty()) {
      const std::int64_t left = pending.top().due - now;
      wait = {static_cast<time_t>(left / 1000000000), static_cast<long>(left % 1000000000)};
    }
    pollfd pfd{fd, POLLIN, 0};
    if (::ppoll(&pfd, 1, &wait, nullptr) <= 0) continue;

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
    TPending p;
    p.due = stamp + delay;
    p.to = from;
    p.reply.assign(icmp, icmp + icmp_size);
    p.reply[0] = 0;  // echo reply
    p.reply[2] = p.reply[3] = 0;
    const std::uint16_t sum = Checksum(p.reply.data(), p.reply.size());
    std::memcpy(&p.reply[2], &sum, 2);
    pending.push(std::move(p));
  }
  ::close(fd);
  return 0;
}
