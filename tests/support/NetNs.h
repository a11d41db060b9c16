// Network namespaces that a test builds for itself, and what runs in them.
// Names carry the process id, so test processes can run side by side.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

namespace sxtest {

bool IsRoot();
// Runs `command` with /bin/sh; returns its exit status (-1 if it could not run).
int Shell(const std::string& command);
// Like Shell, but returns what the command printed on standard output.
std::string ShellOutput(const std::string& command);

// A network namespace with its loopback up; deleted with the object.
class TNetNs {
 public:
  explicit TNetNs(const std::string& role);
  ~TNetNs();
  TNetNs(const TNetNs&) = delete;
  TNetNs& operator=(const TNetNs&) = delete;

  const std::string& Name() const { return name_; }
  bool Ok() const { return ok_; }
  // Runs a shell command inside the namespace; returns its exit status.
  int Exec(const std::string& command) const;
  bool Sysctl(const std::string& key, const std::string& value) const;
  // Admits every group to ping sockets, or none.
  bool AllowPingSockets(bool allow) const;
  // Runs `fn` on a thread that has entered this namespace and waits for it;
  // sockets made there belong to the namespace. An exception of `fn` is
  // raised again here.
  void RunInside(const std::function<void()>& fn) const;
  // Starts the raw socket broker inside this namespace, from the calling
  // thread, which the broker does not outlive; stop it with
  // platform::StopRawSocketBroker.
  bool StartRawSocketBroker() const;

 private:
  std::string name_;
  bool ok_ = false;
};

// Joins two namespaces with a veth pair and gives each end an address
// ("10.1.2.3/24").
bool Connect(const TNetNs& a, const std::string& a_if, const std::string& a_cidr, const TNetNs& b,
             const std::string& b_if, const std::string& b_cidr);

// client -- router -- target, each side a /24 of its own:
//   client 10.77.1.1, router 10.77.1.254 | 10.77.2.254, target 10.77.2.1.
// The router forwards; it has no route to kUnrouted and a blackhole route
// for kBlackholed. Addresses live only inside these namespaces.
class TPingLab {
 public:
  static constexpr const char* kClientIp = "10.77.1.1";
  static constexpr const char* kRouterIp = "10.77.1.254";
  static constexpr const char* kTargetIp = "10.77.2.1";
  static constexpr const char* kUnrouted = "10.77.9.1";
  static constexpr const char* kBlackholed = "10.77.8.1";

  TPingLab();
  bool Ok() const { return ok_; }

  TNetNs client{"client"};
  TNetNs router{"router"};
  TNetNs target{"target"};

 private:
  bool ok_ = false;
};

// The same lab with IPv6 beside IPv4, unique local addresses of its own:
//   client fd00:77:1::1, router fd00:77:1::fe | fd00:77:2::fe,
//   target fd00:77:2::1.
// The router forwards and sends its errors without a rate limit; it has no
// route to kUnrouted6 and a blackhole route for kBlackholed6. Addresses are
// usable at once (no duplicate address detection).
class TPingLab6 : public TPingLab {
 public:
  static constexpr const char* kClientIp6 = "fd00:77:1::1";
  static constexpr const char* kRouterIp6 = "fd00:77:1::fe";
  static constexpr const char* kTargetIp6 = "fd00:77:2::1";
  static constexpr const char* kUnrouted6 = "fd00:77:9::1";
  static constexpr const char* kBlackholed6 = "fd00:77:8::1";

  TPingLab6();
  bool Ok() const { return ok6_; }

 private:
  bool ok6_ = false;
};

// The test suite's echo responder, run inside `ns`: answers echo requests
// (ICMP and ICMPv6) after `delay_ms` and drops `drop_percent` of them
// (evenly spread). The namespace's kernel is told to ignore echo requests
// itself, so that only the responder answers. Stopped with the object.
//
// `trick` (with `trick_arg`) makes it a hostile peer that sees every request
// as well (see IcmpResponderMain.cpp): "spoof ADDR" forges the reply from
// ADDR at once, "ahead" sends a reply for the next sequence number 5 ms
// after each reply, "error ADDR" sends at once a host-unreachable quoting the
// request as if sent to ADDR, "sequence N" (IPv4) one quoting the request
// with its sequence number moved by N; "strays N" answers nothing itself,
// and sends N replies with the last request's identifier and far-off
// sequence numbers whenever SendStrays is called. ADDR is of the family of
// the requests the trick is for.
class TIcmpResponder {
 public:
  TIcmpResponder(const TNetNs& ns, int delay_ms, int drop_percent = 0,
                 const std::string& trick = "", const std::string& trick_arg = "");
  ~TIcmpResponder();
  TIcmpResponder(const TIcmpResponder&) = delete;
  TIcmpResponder& operator=(const TIcmpResponder&) = delete;
  bool Ok() const { return pid_ > 0; }
  // A "strays" responder sends its replies now.
  void SendStrays() const;

 private:
  pid_t pid_ = -1;
};

}  // namespace sxtest

// Skips the current test when the process lacks what namespaces need.
#define SX_REQUIRE_ROOT()                                                                 \
  do {                                                                                    \
    if (!::sxtest::IsRoot())                                                              \
      GTEST_SKIP() << "needs root (network namespaces and raw sockets); CI runs as root"; \
  } while (0)
