#include "support/NetNs.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <exception>
#include <thread>
#include <vector>

#include "platform/RawSockets.h"

namespace sxtest {

bool IsRoot() {
  return ::geteuid() == 0;
}

int Shell(const std::string& command) {
  const int rc = std::system(command.c_str());
  if (rc == -1 || !WIFEXITED(rc)) return -1;
  return WEXITSTATUS(rc);
}

std::string ShellOutput(const std::string& command) {
  std::string out;
  FILE* f = ::popen(command.c_str(), "r");
  if (!f) return out;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  ::pclose(f);
  return out;
}

namespace {
std::atomic<int> g_counter{0};
}

TNetNs::TNetNs(const std::string& role)
    : name_("sx" + std::to_string(::getpid()) + "-" + std::to_string(g_counter++) + "-" + role) {
  ok_ = Shell("ip netns add " + name_ + " && ip -n " + name_ + " link set lo up") == 0;
}

TNetNs::~TNetNs() {
  if (!ok_) return;
  // Deleting can fail while other processes add or delete namespaces at the
  // same moment; try again rather than leave one behind.
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (Shell("ip netns del " + name_ + " 2>/dev/null") == 0) return;
    if (::access(("/run/netns/" + name_).c_str(), F_OK) != 0) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::fprintf(stderr, "could not delete network namespace %s\n", name_.c_str());
}

int TNetNs::Exec(const std::string& command) const {
  return Shell("ip netns exec " + name_ + " sh -c '" + command + "'");
}

bool TNetNs::Sysctl(const std::string& key, const std::string& value) const {
  return Exec("sysctl -q -w " + key + "=\"" + value + "\"") == 0;
}

bool TNetNs::AllowPingSockets(bool allow) const {
  return Sysctl("net.ipv4.ping_group_range", allow ? "0 2147483647" : "1 0");
}

void TNetNs::RunInside(const std::function<void()>& fn) const {
  std::exception_ptr error;
  std::thread worker([&] {
    try {
      const int fd = ::open(("/run/netns/" + name_).c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0) throw std::runtime_error("cannot open namespace " + name_);
      const int rc = ::setns(fd, CLONE_NEWNET);
      ::close(fd);
      if (rc != 0) throw std::runtime_error("cannot enter namespace " + name_);
      fn();
    } catch (...) {
      error = std::current_exception();
    }
  });
  worker.join();
  if (error) std::rethrow_exception(error);
}

bool TNetNs::StartRawSocketBroker() const {
  const int own = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
  const int inside = ::open(("/run/netns/" + name_).c_str(), O_RDONLY | O_CLOEXEC);
  const bool started = own >= 0 && inside >= 0 && ::setns(inside, CLONE_NEWNET) == 0 &&
                       platform::StartRawSocketBroker();
  const bool back = own >= 0 && ::setns(own, CLONE_NEWNET) == 0;
  if (own >= 0) ::close(own);
  if (inside >= 0) ::close(inside);
  return started && back;
}

bool Connect(const TNetNs& a, const std::string& a_if, const std::string& a_cidr, const TNetNs& b,
             const std::string& b_if, const std::string& b_cidr) {
  // Made inside `a`, so the host's interface names never clash.
  const std::string& na = a.Name();
  const std::string& nb = b.Name();
  return Shell("ip -n " + na + " link add " + a_if + " type veth peer name " + b_if + " netns " +
               nb + " && ip -n " + na + " addr add " + a_cidr + " dev " + a_if + " && ip -n " + nb +
               " addr add " + b_cidr + " dev " + b_if + " && ip -n " + na + " link set " + a_if +
               " up && ip -n " + nb + " link set " + b_if + " up") == 0;
}

TPingLab::TPingLab() {
  if (!client.Ok() || !router.Ok() || !target.Ok()) return;
  ok_ = Connect(client, "c0", "10.77.1.1/24", router, "r0", "10.77.1.254/24") &&
        Connect(router, "r1", "10.77.2.254/24", target, "t0", "10.77.2.1/24") &&
        router.Sysctl("net.ipv4.ip_forward", "1") &&
        Shell("ip -n " + client.Name() + " route add default via 10.77.1.254") == 0 &&
        Shell("ip -n " + target.Name() + " route add default via 10.77.2.254") == 0 &&
        Shell("ip -n " + router.Name() + " route add blackhole 10.77.8.1/32") == 0;
}

TPingLab6::TPingLab6() {
  if (!TPingLab::Ok()) return;
  const std::string c = "ip -n " + client.Name(), r = "ip -n " + router.Name(),
                    t = "ip -n " + target.Name();
  ok6_ =
      Shell(c + " addr add fd00:77:1::1/64 dev c0 nodad && " + r +
            " addr add fd00:77:1::fe/64 dev r0 nodad && " + r +
            " addr add fd00:77:2::fe/64 dev r1 nodad && " + t +
            " addr add fd00:77:2::1/64 dev t0 nodad && " + c +
            " -6 route add default via fd00:77:1::fe && " + t +
            " -6 route add default via fd00:77:2::fe && " + r +
            " -6 route add blackhole fd00:77:8::1/128 && " + c +
            // Link-local addresses for neighbour discovery, usable at once
            // (the kernel's own wait for theirs).
            " addr add fe80::1/64 dev c0 nodad && " + r + " addr add fe80::fe/64 dev r0 nodad && " +
            r + " addr add fe80::fe/64 dev r1 nodad && " + t +
            " addr add fe80::1/64 dev t0 nodad") == 0 &&
      router.Sysctl("net.ipv6.conf.all.forwarding", "1") &&
      router.Sysctl("net.ipv6.icmp.ratelimit", "0");
}

TIcmpResponder::TIcmpResponder(const TNetNs& ns, int delay_ms, int drop_percent,
                               const std::string& trick, const std::string& trick_arg) {
  if (!ns.Sysctl("net.ipv4.icmp_echo_ignore_all", "1")) return;
  // Where the kernel has IPv6 (the responder then answers ICMPv6 too).
  ns.Sysctl("net.ipv6.icmp.echo_ignore_all", "1");
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  const std::string delay = std::to_string(delay_ms), drop = std::to_string(drop_percent);
  std::vector<std::string> args = {"ip",  "netns", "exec", ns.Name(), SONARIX_ICMP_RESPONDER,
                                   delay, drop};
  if (!trick.empty()) {
    args.push_back(trick);
    if (!trick_arg.empty()) args.push_back(trick_arg);
  }
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int rc = ::posix_spawnp(&pid, "ip", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  if (rc != 0) {
    ::close(fds[0]);
    return;
  }
  // The responder says "ready" once its socket listens.
  pollfd pfd{fds[0], POLLIN, 0};
  char line[16] = {};
  if (::poll(&pfd, 1, 5000) == 1 && ::read(fds[0], line, sizeof line - 1) > 0 &&
      std::string(line).rfind("ready", 0) == 0) {
    pid_ = pid;
  } else {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
  }
  ::close(fds[0]);
}

void TIcmpResponder::SendStrays() const {
  if (pid_ > 0) ::kill(pid_, SIGUSR1);
}

TIcmpResponder::~TIcmpResponder() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  ::waitpid(pid_, nullptr, 0);
}

}  // namespace sxtest
