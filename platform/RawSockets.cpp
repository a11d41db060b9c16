#include "platform/RawSockets.h"

#include <errno.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <netinet/ip_icmp.h>
#include <seccomp.h>
#include <signal.h>
#include <sys/capability.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
// After the C library's headers, which it does not conflict with.
#include <linux/filter.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

namespace platform {

namespace {

// Opens every request: bytes of the right length that do not start so are
// no request, and end the broker like any other.
constexpr unsigned char kRequestTag[4] = {'S', 'X', 'R', '1'};

constexpr std::uint32_t kKeepPacket = 0xFFFFFFFF;

// Echo replies with our identifier, and errors of the kinds the engine reads
// that quote an ICMP echo request with it. An IPv4 raw socket's filter sees
// the packet from its IP header on.
bool AttachIpv4Filter(int fd, std::uint32_t id) {
  sock_filter code[] = {
      /* 0 */ BPF_STMT(BPF_LDX | BPF_B | BPF_MSH, 0),  // X = IP header length
      /* 1 */ BPF_STMT(BPF_LD | BPF_B | BPF_IND, 0),   // A = ICMP type
      /* 2 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ICMP_ECHOREPLY, 0, 2),
      /* 3 */ BPF_STMT(BPF_LD | BPF_H | BPF_IND, 4),  // a reply's identifier
      /* 4 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, id, 15, 16),
      /* 5 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ICMP_DEST_UNREACH, 3, 0),
      /* 6 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ICMP_SOURCE_QUENCH, 2, 0),
      /* 7 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ICMP_TIME_EXCEEDED, 1, 0),
      /* 8 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ICMP_PARAMETERPROB, 0, 12),
      /* 9 */ BPF_STMT(BPF_LD | BPF_B | BPF_IND, 8 + 9),  // the quoted protocol
      /* 10 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, IPPROTO_ICMP, 0, 10),
      /* 11 */ BPF_STMT(BPF_LD | BPF_B | BPF_IND, 8),  // the quoted header's length
      /* 12 */ BPF_STMT(BPF_ALU | BPF_AND | BPF_K, 0x0F),
      /* 13 */ BPF_STMT(BPF_ALU | BPF_LSH | BPF_K, 2),
      /* 14 */ BPF_STMT(BPF_ALU | BPF_ADD | BPF_X, 0),
      /* 15 */ BPF_STMT(BPF_MISC | BPF_TAX, 0),        // X = both headers
      /* 16 */ BPF_STMT(BPF_LD | BPF_B | BPF_IND, 8),  // the quoted ICMP type
      /* 17 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ICMP_ECHO, 0, 3),
      /* 18 */ BPF_STMT(BPF_LD | BPF_H | BPF_IND, 8 + 4),  // the quoted identifier
      /* 19 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, id, 0, 1),
      /* 20 */ BPF_STMT(BPF_RET | BPF_K, kKeepPacket),
      /* 21 */ BPF_STMT(BPF_RET | BPF_K, 0),
  };
  const sock_fprog program{static_cast<unsigned short>(sizeof code / sizeof code[0]), code};
  return ::setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) == 0;
}

// The same for IPv6, whose raw sockets see the packet from its ICMPv6
// header on. The quoted request is our own, sent without extension headers,
// so its ICMPv6 header follows the fixed 40-byte IPv6 header.
bool AttachIpv6Filter(int fd, std::uint32_t id) {
  sock_filter code[] = {
      /* 0 */ BPF_STMT(BPF_LD | BPF_B | BPF_ABS, 0),  // A = ICMPv6 type
      /* 1 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ICMP6_ECHO_REPLY, 0, 2),
      /* 2 */ BPF_STMT(BPF_LD | BPF_H | BPF_ABS, 4),  // a reply's identifier
      /* 3 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, id, 10, 11),
      /* 4 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ICMP6_DST_UNREACH, 3, 0),
      /* 5 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ICMP6_PACKET_TOO_BIG, 2, 0),
      /* 6 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ICMP6_TIME_EXCEEDED, 1, 0),
      /* 7 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ICMP6_PARAM_PROB, 0, 7),
      /* 8 */ BPF_STMT(BPF_LD | BPF_B | BPF_ABS, 8 + 6),  // the quoted next header
      /* 9 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, IPPROTO_ICMPV6, 0, 5),
      /* 10 */ BPF_STMT(BPF_LD | BPF_B | BPF_ABS, 8 + 40),  // the quoted ICMPv6 type
      /* 11 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ICMP6_ECHO_REQUEST, 0, 3),
      /* 12 */ BPF_STMT(BPF_LD | BPF_H | BPF_ABS, 8 + 40 + 4),  // the quoted identifier
      /* 13 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, id, 0, 1),
      /* 14 */ BPF_STMT(BPF_RET | BPF_K, kKeepPacket),
      /* 15 */ BPF_STMT(BPF_RET | BPF_K, 0),
  };
  const sock_fprog program{static_cast<unsigned short>(sizeof code / sizeof code[0]), code};
  return ::setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) == 0;
}

// Opens the socket in this process, filter attached and locked, so that
// whoever holds it can read nothing else of the host's ICMP traffic.
int OpenHere(int family, std::uint16_t echo_id) {
  int protocol = 0;
  if (family == AF_INET) {
    protocol = IPPROTO_ICMP;
  } else if (family == AF_INET6) {
    protocol = IPPROTO_ICMPV6;
  } else {
    errno = EAFNOSUPPORT;
    return -1;
  }
  const int fd = ::socket(family, SOCK_RAW | SOCK_CLOEXEC, protocol);
  if (fd < 0) return -1;
  const std::uint32_t id = ntohs(echo_id);  // filters compare in host order
  const int lock = 1;
  const bool filtered = (family == AF_INET ? AttachIpv4Filter(fd, id) : AttachIpv6Filter(fd, id)) &&
                        ::setsockopt(fd, SOL_SOCKET, SO_LOCK_FILTER, &lock, sizeof lock) == 0;
  if (!filtered) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

// Closes the descriptors a message brought along.
void CloseReceived(msghdr& msg) {
  for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
    if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS) continue;
    const std::size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
    for (std::size_t i = 0; i < count; ++i) {
      int fd = -1;
      std::memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof fd);
      ::close(fd);
    }
  }
}

// Receives one message, retrying when a signal interrupts.
ssize_t ReceiveMessage(int fd, msghdr& msg) {
  for (;;) {
    const ssize_t n = ::recvmsg(fd, &msg, MSG_CMSG_CLOEXEC);
    if (n >= 0 || errno != EINTR) return n;
  }
}

// --- Capabilities and ids. Each acts on the calling thread, the only one
// there is when start-up separates the privilege.

// True unless every set is empty (and when they cannot be read).
bool HoldsCapabilities() {
  cap_t now = cap_get_proc();
  cap_t none = cap_init();
  const bool held = !now || !none || cap_compare(now, none) != 0;
  cap_free(now);
  cap_free(none);
  return held;
}

bool PermittedHas(cap_value_t cap) {
  cap_t now = cap_get_proc();
  cap_flag_value_t value = CAP_CLEAR;
  const bool has = now && cap_get_flag(now, cap, CAP_PERMITTED, &value) == 0 && value == CAP_SET;
  cap_free(now);
  return has;
}

// Leaves `keep` alone in the effective and permitted sets, nothing in the
// inheritable and ambient ones, and checks that it is so.
bool KeepOnly(const cap_value_t* keep, int count) {
  // The kernel also empties the ambient set with the inheritable one; this
  // says so, where ambient sets exist.
  if (cap_reset_ambient() != 0 && errno != EINVAL) return false;
  cap_t wanted = cap_init();
  if (!wanted) return false;
  bool ok = count == 0 || (cap_set_flag(wanted, CAP_PERMITTED, count, keep, CAP_SET) == 0 &&
                           cap_set_flag(wanted, CAP_EFFECTIVE, count, keep, CAP_SET) == 0);
  ok = ok && cap_set_proc(wanted) == 0;
  cap_t now = ok ? cap_get_proc() : nullptr;
  ok = now && cap_compare(now, wanted) == 0;
  cap_free(now);
  cap_free(wanted);
  return ok;
}

bool IdsAreReal() {
  uid_t ruid = 0, euid = 0, suid = 0;
  gid_t rgid = 0, egid = 0, sgid = 0;
  if (::getresuid(&ruid, &euid, &suid) != 0 || ::getresgid(&rgid, &egid, &sgid) != 0) return false;
  return euid == ruid && suid == ruid && egid == rgid && sgid == rgid;
}

// A set-user-id or set-group-id install: back to whoever started it, for good.
bool ReturnToRealIds() {
  if (IdsAreReal()) return true;
  const gid_t gid = ::getgid();
  const uid_t uid = ::getuid();
  return ::setresgid(gid, gid, gid) == 0 && ::setresuid(uid, uid, uid) == 0 && IdsAreReal();
}

void CloseAllBut(int keep) {
  if (keep > 0 && ::close_range(0, static_cast<unsigned>(keep) - 1, 0) != 0) {
    for (int fd = 0; fd < keep; ++fd) ::close(fd);
  }
  if (::close_range(static_cast<unsigned>(keep) + 1, ~0U, 0) != 0) {
    // A kernel without close_range: every descriptor the limit allows.
    rlimit limit{};
    const rlim_t last = ::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < (1u << 20)
                            ? limit.rlim_cur
                            : 1u << 20;
    for (rlim_t fd = static_cast<rlim_t>(keep) + 1; fd < last; ++fd) ::close(static_cast<int>(fd));
  }
}

// The broker: the real user, CAP_NET_RAW alone, nothing open but its end of
// the connection; it reads no environment and no file, and ends with the
// connection or with the thread that started it.
[[noreturn]] void RunBroker(int fd, pid_t parent) {
  CloseAllBut(fd);
  if (!IdsAreReal()) {
    // Across the change of user, the permitted set stays (and is cut to
    // CAP_NET_RAW right after).
    if (::prctl(PR_SET_KEEPCAPS, 1, 0, 0, 0) != 0 || !ReturnToRealIds() ||
        ::prctl(PR_SET_KEEPCAPS, 0, 0, 0, 0) != 0)
      ::_exit(1);
  }
  const cap_value_t net_raw = CAP_NET_RAW;
  // Changing credentials clears the parent-death signal: it comes last.
  const bool confined = KeepOnly(&net_raw, 1) && ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
                        ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0 &&
                        ::prctl(PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0) == 0;
  // The parent may have ended before the signal was asked for.
  if (!confined || ::getppid() != parent) ::_exit(1);
  ServeRawSocketRequests(fd);
  ::_exit(0);
}

struct TBroker {
  int fd = -1;
  pid_t pid = 0;
};

std::mutex g_mutex;  // guards g_broker and keeps one request on the line
TBroker g_broker;

// Ends the connection and waits for the broker to end (with g_mutex held);
// `kill` for one that broke its word and might not.
void EndBroker(bool kill) {
  ::close(g_broker.fd);
  if (kill) ::kill(g_broker.pid, SIGKILL);
  while (::waitpid(g_broker.pid, nullptr, 0) < 0 && errno == EINTR) {
  }
  g_broker = {};
}

// A reply that says the broker is no longer there to ask.
bool ConnectionLost(int error) {
  return error == ECONNRESET || error == EPIPE || error == ENOTCONN || error == EPROTO;
}

}  // namespace

bool SendBrokerMessage(int to, const void* bytes, std::size_t size, int attached) {
  iovec iov{const_cast<void*>(bytes), size};
  msghdr msg{};
  msg.msg_iov = &iov;
  msg.msg_iovlen = 1;
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  if (attached >= 0) {
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    cmsghdr* c = CMSG_FIRSTHDR(&msg);
    c->cmsg_level = SOL_SOCKET;
    c->cmsg_type = SCM_RIGHTS;
    c->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(c), &attached, sizeof attached);
  }
  for (;;) {
    const ssize_t n = ::sendmsg(to, &msg, MSG_NOSIGNAL);
    if (n >= 0) return static_cast<std::size_t>(n) == size;
    if (errno != EINTR) return false;
  }
}

std::optional<TRawSocketRequest> ParseRawSocketRequest(const unsigned char* bytes,
                                                       std::size_t size) {
  if (size != kRawSocketRequestSize || std::memcmp(bytes, kRequestTag, sizeof kRequestTag) != 0)
    return std::nullopt;
  std::uint16_t family = 0;
  TRawSocketRequest request;
  std::memcpy(&family, bytes + 4, sizeof family);
  std::memcpy(&request.echo_id, bytes + 6, sizeof request.echo_id);
  request.family = family;
  return request;
}

TBrokerEnd ServeRawSocketRequests(int fd) {
  for (;;) {
    // One byte more than a request, so that a longer message shows.
    unsigned char bytes[kRawSocketRequestSize + 1];
    alignas(cmsghdr) char control[CMSG_SPACE(4 * sizeof(int))];
    iovec iov{bytes, sizeof bytes};
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    const ssize_t n = ReceiveMessage(fd, msg);
    if (n < 0) return TBrokerEnd::kBroken;
    if (msg.msg_controllen > 0 || (msg.msg_flags & (MSG_CTRUNC | MSG_TRUNC)) != 0) {
      CloseReceived(msg);
      return TBrokerEnd::kMalformed;
    }
    // An empty message cannot be told from the end of the connection.
    if (n == 0) return TBrokerEnd::kPeerClosed;
    const auto request = ParseRawSocketRequest(bytes, static_cast<std::size_t>(n));
    if (!request) return TBrokerEnd::kMalformed;
    const int socket = OpenHere(request->family, request->echo_id);
    const std::int32_t error = socket < 0 ? errno : 0;
    const bool sent = SendBrokerMessage(fd, &error, sizeof error, socket);
    if (socket >= 0) ::close(socket);
    if (!sent) return TBrokerEnd::kBroken;
  }
}

int RequestRawIcmpSocket(int broker_fd, int family, std::uint16_t echo_id) {
  if (family < 0 || family > 0xFFFF) {
    errno = EAFNOSUPPORT;
    return -1;
  }
  unsigned char bytes[kRawSocketRequestSize];
  const auto family16 = static_cast<std::uint16_t>(family);
  std::memcpy(bytes, kRequestTag, sizeof kRequestTag);
  std::memcpy(bytes + 4, &family16, sizeof family16);
  std::memcpy(bytes + 6, &echo_id, sizeof echo_id);
  if (!SendBrokerMessage(broker_fd, bytes, sizeof bytes, -1)) return -1;

  std::int32_t error = 0;
  char spare = 0;  // shows a longer reply
  iovec in[2] = {{&error, sizeof error}, {&spare, 1}};
  alignas(cmsghdr) char control[CMSG_SPACE(2 * sizeof(int))];
  msghdr reply{};
  reply.msg_iov = in;
  reply.msg_iovlen = 2;
  reply.msg_control = control;
  reply.msg_controllen = sizeof control;
  const ssize_t n = ReceiveMessage(broker_fd, reply);
  if (n < 0) return -1;
  if (n == 0) {
    errno = ECONNRESET;
    return -1;
  }
  if (reply.msg_flags & MSG_CTRUNC) {
    // This process is out of descriptors: the socket was dropped on the way.
    CloseReceived(reply);
    errno = EMFILE;
    return -1;
  }
  int socket = -1;
  int count = 0;
  for (cmsghdr* c = CMSG_FIRSTHDR(&reply); c; c = CMSG_NXTHDR(&reply, c)) {
    if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_RIGHTS &&
        c->cmsg_len == CMSG_LEN(sizeof(int)))
      std::memcpy(&socket, CMSG_DATA(c), sizeof socket);
    ++count;
  }
  const bool well_formed = n == sizeof error && (reply.msg_flags & MSG_TRUNC) == 0 &&
                           count == (error == 0 ? 1 : 0) && (error == 0) == (socket >= 0);
  if (!well_formed) {
    CloseReceived(reply);
    errno = EPROTO;
    return -1;
  }
  if (error != 0) {
    errno = error;
    return -1;
  }
  return socket;
}

bool StartRawSocketBroker() {
  const std::lock_guard lock(g_mutex);
  if (g_broker.pid > 0) return true;
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) return false;
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid == 0) RunBroker(ends[1], parent);
  const int error = errno;
  ::close(ends[1]);
  if (pid < 0) {
    ::close(ends[0]);
    errno = error;
    return false;
  }
  g_broker = {ends[0], pid};
  return true;
}

void StopRawSocketBroker() {
  const std::lock_guard lock(g_mutex);
  if (g_broker.pid > 0) EndBroker(false);
}

pid_t RawSocketBrokerProcess() {
  const std::lock_guard lock(g_mutex);
  return g_broker.pid;
}

int OpenRawIcmpSocket(int family, std::uint16_t echo_id) {
  {
    const std::lock_guard lock(g_mutex);
    if (g_broker.pid > 0) {
      const int socket = RequestRawIcmpSocket(g_broker.fd, family, echo_id);
      if (socket >= 0 || !ConnectionLost(errno)) return socket;
      // The broker is gone (or broke its word): this process asks the kernel
      // itself from now on, and is refused without the capability.
      EndBroker(true);
    }
  }
  return OpenHere(family, echo_id);
}

namespace {

// A raw socket from the broker sends ICMP as this host, with the kernel
// writing the IP header. With IP_HDRINCL (IPV6_HDRINCL) the caller would
// write that header itself, any source and any protocol: forging traffic of
// the whole machine, which is more than pinging needs. Nothing checks a
// capability when that option is set (opening the socket took one), so the
// program forbids itself the option for good. The filter needs
// no-new-privileges, which programs it starts inherit: nothing it starts
// needs to gain privileges (the desktop's opener, a browser).
bool ForbidHeaderInclusion() {
  constexpr int kIpv6HeaderIncluded = 36;  // IPV6_HDRINCL, which glibc's headers lack
  scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ALLOW);
  if (filter == nullptr) {
    errno = ENOMEM;
    return false;
  }
  int error = 0;
  for (const auto& [level, option] :
       {std::pair{IPPROTO_IP, IP_HDRINCL}, std::pair{IPPROTO_IPV6, kIpv6HeaderIncluded}}) {
    if (error == 0)
      error = seccomp_rule_add(filter, SCMP_ACT_ERRNO(EPERM), SCMP_SYS(setsockopt), 2,
                               scmp_arg_cmp{1, SCMP_CMP_EQ, static_cast<scmp_datum_t>(level), 0},
                               scmp_arg_cmp{2, SCMP_CMP_EQ, static_cast<scmp_datum_t>(option), 0});
  }
  if (error == 0) error = seccomp_load(filter);
  seccomp_release(filter);
  errno = -error;
  return error == 0;
}

}  // namespace

TPrivilegeSplit SeparateRawSocketPrivilege() {
  if (::getuid() == 0) return TPrivilegeSplit::kRoot;
  if (!HoldsCapabilities() && IdsAreReal()) return TPrivilegeSplit::kNothingHeld;
  TPrivilegeSplit split = TPrivilegeSplit::kDropped;
  int broker_error = 0;
  if (PermittedHas(CAP_NET_RAW)) {
    split = StartRawSocketBroker() ? TPrivilegeSplit::kBroker : TPrivilegeSplit::kBrokerFailed;
    broker_error = errno;
  }
  if (!ReturnToRealIds() || !KeepOnly(nullptr, 0)) {
    std::fprintf(stderr, "%s: cannot give up the privileges it was started with: %s\n",
                 program_invocation_short_name, std::strerror(errno));
    std::_Exit(1);
  }
  if (split == TPrivilegeSplit::kBroker && !ForbidHeaderInclusion()) {
    // Without the guard the broker's sockets would lend more than echoes.
    broker_error = errno;
    StopRawSocketBroker();
    split = TPrivilegeSplit::kBrokerFailed;
  }
  errno = broker_error;
  return split;
}

}  // namespace platform
