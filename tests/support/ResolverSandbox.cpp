#include "support/ResolverSandbox.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/NetNs.h"

namespace sxtest {

namespace {
constexpr const char* kEnv = "SX_RESOLVER_SANDBOX";

void Write(const std::filesystem::path& p, const std::string& text) {
  std::ofstream(p) << text;
}
}  // namespace

bool InResolverSandbox() {
  return std::getenv(kEnv) != nullptr;
}

int RerunInResolverSandbox(const TResolverSetup& setup) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string filter = std::string(info->test_suite_name()) + "." + info->name();
  char exe[4096];
  const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0) return -1;
  exe[n] = '\0';

  char tmpl[] = "/tmp/sx-resolver-XXXXXX";
  if (!::mkdtemp(tmpl)) return -1;
  const std::filesystem::path dir = tmpl;
  Write(dir / "hosts", "127.0.0.1 localhost\n" + setup.hosts);
  Write(dir / "nsswitch.conf", "hosts: files dns\n");
  // All addresses of a name listed on several lines, in file order.
  Write(dir / "host.conf", "multi on\n");
  const bool dns = !setup.dns_records.empty();
  Write(dir / "resolv.conf", "nameserver " + std::string(dns ? "127.0.0.1" : setup.silent_server) +
                                 "\noptions timeout:30 attempts:1\n");
  Write(dir / "dns_hosts", setup.dns_records);
  const std::string d = dir.string();
  std::string script =
      "set -e\n"
      "ip link set lo up\n"
      "mount --bind " +
      d +
      "/hosts /etc/hosts\n"
      "mount --bind " +
      d +
      "/resolv.conf /etc/resolv.conf\n"
      "mount --bind " +
      d +
      "/nsswitch.conf /etc/nsswitch.conf\n"
      "touch /etc/host.conf && mount --bind " +
      d + "/host.conf /etc/host.conf\n";
  if (dns) {
    script +=
        "dnsmasq --conf-file=/dev/null --no-resolv --no-hosts --user=root "
        "--listen-address=127.0.0.1 --bind-interfaces --port=53 --local=/" +
        std::string(kSandboxDomain) + "/ --addn-hosts=" + d + "/dns_hosts --pid-file=" + d +
        "/dnsmasq.pid " + setup.dns_options + "\n";
  }
  script += "touch " + d + "/started\nset +e\n" + std::string(kEnv) + "=1 '" + exe +
            "' --gtest_filter='" + filter + "'\nrc=$?\n";
  // dnsmasq runs on as a daemon: stop it and wait until it has exited (it
  // removes its pid file on the way out) before the folder is removed.
  script += "pid_file=" + d + "/dnsmasq.pid\n";
  script += R"(if [ -f "$pid_file" ]; then
  pid=$(cat "$pid_file")
  kill "$pid"
  n=0
  while kill -0 "$pid" 2>/dev/null && [ $n -lt 500 ]; do sleep 0.01; n=$((n + 1)); done
  kill -0 "$pid" 2>/dev/null && kill -9 "$pid"
fi
exit $rc
)";
  Write(dir / "run.sh", script);
  // Setting the sandbox up can fail while other tests mount or make
  // namespaces at the same moment: try again; a failing test is not retried.
  int rc = -1;
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::filesystem::remove(dir / "started");
    rc = Shell("unshare -m -n --propagation private sh " + d + "/run.sh");
    if (rc == 0 || std::filesystem::exists(dir / "started")) break;
    std::fprintf(stderr, "resolver sandbox: set-up failed (%d), trying again\n", rc);
  }
  std::error_code error;
  std::filesystem::remove_all(dir, error);
  if (error) std::fprintf(stderr, "resolver sandbox: %s: %s\n", d.c_str(), error.message().c_str());
  return rc;
}

int BindSilentDnsPort(const std::string& address) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(53);
  a.sin_addr.s_addr = ::inet_addr(address.c_str());
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace sxtest
