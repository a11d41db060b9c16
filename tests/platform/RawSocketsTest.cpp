// The raw socket broker: its protocol over a real socket pair (the serving
// loop on a thread), and how start-up splits the privilege, in child
// processes given the credentials an installed program starts with.
#include "platform/RawSockets.h"

#include <fcntl.h>
#include <grp.h>
#include <linux/filter.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/capability.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace platform;

namespace {

// ServeRawSocketRequests on one end of a socket pair, on a thread that
// closes that end when the loop ends, as the broker's exit would.
class TServedPair {
 public:
  TServedPair() {
    ok_ = ::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends_) == 0;
    if (ok_)
      thread_ = std::thread([this] {
        end_ = ServeRawSocketRequests(ends_[1]);
        ::close(ends_[1]);
      });
  }
  ~TServedPair() {
    if (!ok_) return;
    ::shutdown(ends_[0], SHUT_RDWR);
    thread_.join();
    ::close(ends_[0]);
  }
  TServedPair(const TServedPair&) = delete;
  TServedPair& operator=(const TServedPair&) = delete;

  bool Ok() const { return ok_; }
  int Client() const { return ends_[0]; }
  // How the loop ended, once it has.
  TBrokerEnd End() {
    thread_.join();
    ok_ = false;
    ::close(ends_[0]);
    return end_;
  }

 private:
  bool ok_ = false;
  int ends_[2] = {-1, -1};
  std::thread thread_;
  TBrokerEnd end_ = TBrokerEnd::kBroken;
};

int SocketOption(int fd, int name) {
  int value = -1;
  socklen_t size = sizeof value;
  ::getsockopt(fd, SOL_SOCKET, name, &value, &size);
  return value;
}

// Sends `bytes` as one message, with `fd` attached when it is not -1.
bool SendRaw(int to, const std::string& bytes, int fd = -1) {
  return SendBrokerMessage(to, bytes.data(), bytes.size(), fd);
}

std::string Request(std::uint16_t family, std::uint16_t id) {
  std::string bytes = "SXR1";
  bytes.append(reinterpret_cast<const char*>(&family), 2);
  bytes.append(reinterpret_cast<const char*>(&id), 2);
  return bytes;
}

}  // namespace

TEST(RawSocketBroker, ServesBothFamiliesLockedAndRefusesEveryOtherFamily) {
  TServedPair pair;
  ASSERT_TRUE(pair.Ok());
  const bool privileged = ::geteuid() == 0;
  const struct {
    int family;
    int protocol;
  } served[] = {{AF_INET, IPPROTO_ICMP}, {AF_INET6, IPPROTO_ICMPV6}};
  for (const auto& s : served) {
    SCOPED_TRACE(s.family);
    const int fd = RequestRawIcmpSocket(pair.Client(), s.family, htons(0x1234));
    if (!privileged) {
      EXPECT_EQ(fd, -1);
      EXPECT_EQ(errno, EPERM) << "the broker's own refusal comes through";
      continue;
    }
    ASSERT_GE(fd, 0) << std::strerror(errno);
    EXPECT_EQ(SocketOption(fd, SO_DOMAIN), s.family);
    EXPECT_EQ(SocketOption(fd, SO_TYPE), SOCK_RAW);
    EXPECT_EQ(SocketOption(fd, SO_PROTOCOL), s.protocol);
    EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0) << "close-on-exec";
    // The filter stays: it can be neither removed nor replaced nor unlocked.
    EXPECT_EQ(SocketOption(fd, SO_LOCK_FILTER), 1);
    EXPECT_NE(::setsockopt(fd, SOL_SOCKET, SO_DETACH_FILTER, nullptr, 0), 0);
    sock_filter all[] = {BPF_STMT(BPF_RET | BPF_K, 0xFFFFFFFF)};
    const sock_fprog program{1, all};
    EXPECT_NE(::setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program), 0);
    const int unlock = 0;
    EXPECT_NE(::setsockopt(fd, SOL_SOCKET, SO_LOCK_FILTER, &unlock, sizeof unlock), 0);
    ::close(fd);
  }
  // A packet socket would read and forge everything; none of these is served,
  // and the broker goes on serving after each refusal.
  for (int family : {AF_PACKET, AF_UNIX, AF_NETLINK, AF_UNSPEC, 0xFFFF}) {
    SCOPED_TRACE(family);
    EXPECT_EQ(RequestRawIcmpSocket(pair.Client(), family, 0), -1);
    EXPECT_EQ(errno, EAFNOSUPPORT);
  }
  const int again = RequestRawIcmpSocket(pair.Client(), AF_INET, 0);
  EXPECT_TRUE(again >= 0 || (!privileged && errno == EPERM)) << std::strerror(errno);
  if (again >= 0) ::close(again);
  ::shutdown(pair.Client(), SHUT_WR);
  EXPECT_EQ(pair.End(), TBrokerEnd::kPeerClosed);
}

TEST(RawSocketBroker, AnythingButARequestEndsIt) {
  const std::string request = Request(AF_INET, 0);
  const std::map<std::string, std::string> malformed = {
      {"a byte short", request.substr(0, 7)},
      {"a byte long", request + "x"},
      {"another tag", "SXR2" + request.substr(4)},
      {"a long message", std::string(4096, 'S')},
  };
  for (const auto& [name, bytes] : malformed) {
    SCOPED_TRACE(name);
    TServedPair pair;
    ASSERT_TRUE(pair.Ok());
    ASSERT_TRUE(SendRaw(pair.Client(), bytes));
    char reply[8];
    EXPECT_EQ(::recv(pair.Client(), reply, sizeof reply, 0), 0) << "no reply, the end";
    EXPECT_EQ(pair.End(), TBrokerEnd::kMalformed);
  }

  // A well-formed request that brings a descriptor along is not one either,
  // and the descriptor is not kept: the pipe's reader sees its end.
  int pipe_ends[2];
  ASSERT_EQ(::pipe2(pipe_ends, O_CLOEXEC), 0);
  {
    TServedPair pair;
    ASSERT_TRUE(pair.Ok());
    ASSERT_TRUE(SendRaw(pair.Client(), request, pipe_ends[1]));
    ::close(pipe_ends[1]);
    EXPECT_EQ(pair.End(), TBrokerEnd::kMalformed);
  }
  char byte;
  EXPECT_EQ(::read(pipe_ends[0], &byte, 1), 0);
  ::close(pipe_ends[0]);
}

// The requesting side takes a descriptor only from a reply that is exactly
// one: anything else fails with EPROTO and leaves nothing open.
TEST(RawSocketBroker, TheRequesterTakesOnlyAWellFormedReply) {
  const auto reply = [](std::int32_t error) {
    return std::string(reinterpret_cast<const char*>(&error), sizeof error);
  };
  struct TCase {
    const char* name;
    std::string bytes;
    bool attach;
    int expected_errno;
  };
  const TCase cases[] = {
      {"success without a socket", reply(0), false, EPROTO},
      {"a refusal with a socket", reply(EPERM), true, EPROTO},
      {"a longer reply", reply(0) + "x", true, EPROTO},
      {"a shorter reply", reply(0).substr(0, 3), true, EPROTO},
      {"a refusal", reply(EACCES), false, EACCES},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    int ends[2], pipe_ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends), 0);
    ASSERT_EQ(::pipe2(pipe_ends, O_CLOEXEC), 0);
    // The reply waits in the queue before the request is made.
    ASSERT_TRUE(SendRaw(ends[1], c.bytes, c.attach ? pipe_ends[1] : -1));
    ::close(pipe_ends[1]);
    EXPECT_EQ(RequestRawIcmpSocket(ends[0], AF_INET, 0), -1);
    EXPECT_EQ(errno, c.expected_errno);
    char byte;
    EXPECT_EQ(::read(pipe_ends[0], &byte, 1), 0) << "the attached descriptor was closed";
    ::close(pipe_ends[0]);
    ::close(ends[0]);
    ::close(ends[1]);
  }
  // A broker that is gone.
  int ends[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends), 0);
  ::shutdown(ends[1], SHUT_WR);
  EXPECT_EQ(RequestRawIcmpSocket(ends[0], AF_INET, 0), -1);
  EXPECT_EQ(errno, ECONNRESET);
  ::close(ends[1]);
  EXPECT_EQ(RequestRawIcmpSocket(ends[0], AF_INET, 0), -1);
  EXPECT_TRUE(errno == EPIPE || errno == ECONNRESET) << std::strerror(errno);
  ::close(ends[0]);
}

// The process-wide broker, as root starts it: once it has died, the next
// request reaps it and asks the kernel, here with success.
TEST(RawSocketBroker, ABrokerThatDiedIsReapedAndTheKernelAskedInstead) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root, whose CAP_NET_RAW the broker keeps";
  ASSERT_TRUE(StartRawSocketBroker());
  const pid_t broker = RawSocketBrokerProcess();
  ASSERT_GT(broker, 0);
  int fd = OpenRawIcmpSocket(AF_INET, 0);
  EXPECT_GE(fd, 0) << std::strerror(errno);
  ::close(fd);
  ASSERT_EQ(::kill(broker, SIGKILL), 0);
  siginfo_t info{};
  ASSERT_EQ(::waitid(P_PID, static_cast<id_t>(broker), &info, WEXITED | WNOWAIT), 0);
  fd = OpenRawIcmpSocket(AF_INET, 0);
  EXPECT_GE(fd, 0) << std::strerror(errno);
  ::close(fd);
  EXPECT_EQ(RawSocketBrokerProcess(), 0);
  EXPECT_EQ(::waitpid(broker, nullptr, WNOHANG), -1) << "reaped";
  StopRawSocketBroker();
}

// --- Start-up's split, in children that take the credentials a program
// starts with, as root prepares them.

namespace {

constexpr uid_t kUser = 65534;

std::map<std::string, std::string> StatusOf(const std::string& pid) {
  std::map<std::string, std::string> fields;
  std::ifstream in("/proc/" + pid + "/status");
  std::string line;
  while (std::getline(in, line)) {
    const auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    const auto value = line.find_first_not_of(" \t", colon + 1);
    fields[line.substr(0, colon)] = value == std::string::npos ? "" : line.substr(value);
  }
  return fields;
}

std::string Sets(const std::map<std::string, std::string>& status) {
  std::ostringstream out;
  for (const char* set : {"CapInh", "CapPrm", "CapEff", "CapAmb"})
    out << set << "=" << (status.contains(set) ? status.at(set).substr(12) : "?") << " ";
  return out.str();
}

// Gives this (child) process `caps` in the permitted and effective sets
// after becoming `ids` (real, effective, saved), and `inheritable` in both
// the inheritable and ambient sets.
bool TakeCredentials(uid_t ruid, uid_t euid, const std::vector<cap_value_t>& caps,
                     const std::vector<cap_value_t>& inheritable) {
  if (::setgroups(0, nullptr) != 0 || ::setresgid(ruid, euid, euid) != 0) return false;
  if (::prctl(PR_SET_KEEPCAPS, 1, 0, 0, 0) != 0 || ::setresuid(ruid, euid, euid) != 0 ||
      ::prctl(PR_SET_KEEPCAPS, 0, 0, 0, 0) != 0)
    return false;
  if (euid == 0) return true;  // a set-user-id root program: every capability
  cap_t state = cap_init();
  const int n = static_cast<int>(caps.size()), i = static_cast<int>(inheritable.size());
  bool ok = (n == 0 || (cap_set_flag(state, CAP_PERMITTED, n, caps.data(), CAP_SET) == 0 &&
                        cap_set_flag(state, CAP_EFFECTIVE, n, caps.data(), CAP_SET) == 0)) &&
            (i == 0 || cap_set_flag(state, CAP_INHERITABLE, i, inheritable.data(), CAP_SET) == 0) &&
            cap_set_proc(state) == 0;
  cap_free(state);
  for (cap_value_t c : inheritable) ok = ok && cap_set_ambient(c, CAP_SET) == 0;
  return ok;
}

struct TSplitReport {
  std::string split;  // the TPrivilegeSplit's number
  std::string sets;   // this process's after the split
  std::string uid;
  pid_t broker = 0;
  int raw_socket_errno = -1;  // 0 when OpenRawIcmpSocket gave one
  int sockets_kept_across_exec = -1;
  // setsockopt's errno for writing the IP header of a raw socket the
  // program got, IPv4 then IPv6 (0: allowed).
  int header_included_errno[2] = {-1, -1};
  std::string no_new_privileges;  // the program's, after the split
  std::map<std::string, std::string> broker_status;
  int broker_descriptors = -1;
  bool broker_ended = false;  // after the child ended
};

// The sockets of this process that a program it starts would inherit (its
// connection to the broker must not be one).
int SocketsKeptAcrossExec() {
  int kept = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    const auto target = std::filesystem::read_symlink(entry.path(), error).string();
    const int fd = std::stoi(entry.path().filename().string());
    if (target.rfind("socket:", 0) == 0 && (::fcntl(fd, F_GETFD) & FD_CLOEXEC) == 0) ++kept;
  }
  return kept;
}

// Forks a child that takes the credentials, splits, and reports; the broker
// is looked at while the child waits.
TSplitReport SplitInChild(uid_t ruid, uid_t euid, const std::vector<cap_value_t>& caps,
                          const std::vector<cap_value_t>& inheritable) {
  TSplitReport report;
  int to_parent[2], to_child[2];
  if (::pipe(to_parent) != 0 || ::pipe(to_child) != 0) return report;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(to_parent[0]);
    ::close(to_child[1]);
    std::ostringstream out;
    if (!TakeCredentials(ruid, euid, caps, inheritable)) {
      out << "cannot take the credentials\n";
    } else {
      const TPrivilegeSplit split = SeparateRawSocketPrivilege();
      const int fd = OpenRawIcmpSocket(AF_INET, 0);
      const int raw_errno = fd >= 0 ? 0 : errno;
      if (fd >= 0) ::close(fd);
      int header_errno[2] = {-1, -1};
      for (const int family : {AF_INET, AF_INET6}) {
        const int raw = OpenRawIcmpSocket(family, 0);
        if (raw < 0) continue;
        const int on = 1;
        const bool v4 = family == AF_INET;
        header_errno[v4 ? 0 : 1] = ::setsockopt(raw, v4 ? IPPROTO_IP : IPPROTO_IPV6,
                                                v4 ? IP_HDRINCL : 36, &on, sizeof on) == 0
                                       ? 0
                                       : errno;
        ::close(raw);
      }
      const auto status = StatusOf("self");
      out << static_cast<int>(split) << "\n"
          << Sets(status) << "\n"
          << status.at("Uid") << "\n"
          << RawSocketBrokerProcess() << "\n"
          << raw_errno << "\n"
          << SocketsKeptAcrossExec() << "\n"
          << header_errno[0] << " " << header_errno[1] << "\n"
          << status.at("NoNewPrivs") << "\n";
    }
    const std::string text = out.str();
    if (::write(to_parent[1], text.data(), text.size()) < 0) ::_exit(1);
    ::close(to_parent[1]);
    char go;
    if (::read(to_child[0], &go, 1) < 0) ::_exit(1);
    ::_exit(0);
  }
  ::close(to_parent[1]);
  ::close(to_child[0]);
  std::string text;
  char buffer[512];
  ssize_t n;
  while ((n = ::read(to_parent[0], buffer, sizeof buffer)) > 0) text.append(buffer, n);
  ::close(to_parent[0]);
  std::istringstream lines(text);
  std::getline(lines, report.split);
  std::getline(lines, report.sets);
  std::getline(lines, report.uid);
  lines >> report.broker >> report.raw_socket_errno >> report.sockets_kept_across_exec >>
      report.header_included_errno[0] >> report.header_included_errno[1] >>
      report.no_new_privileges;
  const std::string broker = std::to_string(report.broker);
  if (report.broker > 0) {
    report.broker_status = StatusOf(broker);
    // The socket it handed over may still be on its way to being closed.
    for (int i = 0; i < 100 && report.broker_descriptors != 1; ++i) {
      if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      report.broker_descriptors = 0;
      for ([[maybe_unused]] const auto& entry :
           std::filesystem::directory_iterator("/proc/" + broker + "/fd"))
        ++report.broker_descriptors;
    }
  }
  ::close(to_child[1]);  // the child ends
  ::waitpid(child, nullptr, 0);
  if (report.broker > 0) {
    // Gone, or a zombie where nothing reaps orphans.
    for (int i = 0; i < 200 && !report.broker_ended; ++i) {
      auto status = StatusOf(broker);
      report.broker_ended = status.empty() || status["State"].rfind('Z', 0) == 0;
      if (!report.broker_ended) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  return report;
}

const std::string kNoSets = "CapInh=0000 CapPrm=0000 CapEff=0000 CapAmb=0000 ";
const std::string kUserIds = "65534\t65534\t65534\t65534";

std::string Split(TPrivilegeSplit split) {
  return std::to_string(static_cast<int>(split));
}

}  // namespace

// The installed program's case, and a set-user-id root install: the process
// keeps nothing, the broker CAP_NET_RAW alone, as the real user.
TEST(PrivilegeSplit, TheBrokerKeepsNetRawAloneAndTheProgramNothing) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a child other credentials";
  const struct {
    const char* name;
    uid_t euid;
    std::vector<cap_value_t> caps, inheritable;
  } starts[] = {
      {"file capability", kUser, {CAP_NET_RAW}, {}},
      {"more than it needs, inherited and ambient too",
       kUser,
       {CAP_NET_RAW, CAP_NET_BIND_SERVICE, CAP_NET_ADMIN},
       {CAP_NET_RAW, CAP_NET_BIND_SERVICE}},
      {"set-user-id root", 0, {}, {}},
  };
  for (const auto& start : starts) {
    SCOPED_TRACE(start.name);
    const TSplitReport r = SplitInChild(kUser, start.euid, start.caps, start.inheritable);
    EXPECT_EQ(r.split, Split(TPrivilegeSplit::kBroker));
    EXPECT_EQ(r.sets, kNoSets);
    EXPECT_EQ(r.uid, kUserIds);
    EXPECT_EQ(r.raw_socket_errno, 0) << "the broker gives raw sockets";
    EXPECT_EQ(r.sockets_kept_across_exec, 0) << "a program started here could ask the broker";
    EXPECT_EQ(r.header_included_errno[0], EPERM) << "IPv4 headers of its own: forged sources";
    EXPECT_EQ(r.header_included_errno[1], EPERM) << "IPv6 headers of its own: forged sources";
    EXPECT_EQ(r.no_new_privileges, "1");
    ASSERT_GT(r.broker, 0);
    auto b = r.broker_status;
    EXPECT_EQ(Sets(b), "CapInh=0000 CapPrm=2000 CapEff=2000 CapAmb=0000 ");
    EXPECT_EQ(b["Uid"], kUserIds);
    EXPECT_EQ(b["Gid"], kUserIds);
    EXPECT_EQ(b["NoNewPrivs"], "1");
    EXPECT_EQ(b["Groups"], "");
    EXPECT_EQ(r.broker_descriptors, 1) << "its end of the connection alone";
    EXPECT_TRUE(r.broker_ended) << "the broker outlived the program";
  }
}

TEST(PrivilegeSplit, WithoutNetRawNoBrokerStartsAndRootIsLeftAlone) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a child other credentials";
  TSplitReport r = SplitInChild(kUser, kUser, {CAP_NET_BIND_SERVICE}, {CAP_NET_BIND_SERVICE});
  EXPECT_EQ(r.split, Split(TPrivilegeSplit::kDropped));
  EXPECT_EQ(r.sets, kNoSets);
  EXPECT_EQ(r.broker, 0);
  EXPECT_EQ(r.raw_socket_errno, EPERM);

  r = SplitInChild(kUser, kUser, {}, {});
  EXPECT_EQ(r.split, Split(TPrivilegeSplit::kNothingHeld));
  EXPECT_EQ(r.broker, 0);

  // Root runs it: the machine's owner has nothing to be guarded from.
  r = SplitInChild(0, 0, {}, {});
  EXPECT_EQ(r.split, Split(TPrivilegeSplit::kRoot));
  EXPECT_NE(r.sets, kNoSets);
  EXPECT_EQ(r.broker, 0);
  EXPECT_EQ(r.raw_socket_errno, 0);
  EXPECT_EQ(r.header_included_errno[0], 0) << "root's own sockets are root's business";
  EXPECT_EQ(r.no_new_privileges, "0");
}
