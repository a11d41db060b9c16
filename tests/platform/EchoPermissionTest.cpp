#include "platform/EchoPermission.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

using namespace platform;

namespace {

// A "security.capability" value: the magic word, then permitted and
// inheritable words, little-endian.
std::string CapXattr(std::uint32_t magic, std::initializer_list<std::uint32_t> words) {
  std::string bytes;
  auto put = [&](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>(v >> (8 * i) & 0xFF));
  };
  put(magic);
  for (std::uint32_t w : words) put(w);
  return bytes;
}

constexpr std::uint32_t kNetRawBit = 1u << kCapNetRaw;

}  // namespace

TEST(EchoPermission, GroupRangeIsTwoNumbersAndInclusive) {
  const auto closed = ParseGroupRange("1\t0\n");
  ASSERT_TRUE(closed);
  for (gid_t g : {0u, 1u, 1000u, 65534u}) EXPECT_FALSE(closed->Contains(g)) << g;

  const auto all = ParseGroupRange("0 2147483647");
  ASSERT_TRUE(all);
  EXPECT_TRUE(all->Contains(0));
  EXPECT_TRUE(all->Contains(2147483647u));
  EXPECT_FALSE(all->Contains(2147483648u));

  const auto one = ParseGroupRange("  100   100 ");
  ASSERT_TRUE(one);
  EXPECT_FALSE(one->Contains(99));
  EXPECT_TRUE(one->Contains(100));
  EXPECT_FALSE(one->Contains(101));

  for (const char* bad : {"", "1", "1 x", "-1 0", "1 2 3", "1\n", "a b", "4294967296 0"})
    EXPECT_FALSE(ParseGroupRange(bad)) << '"' << bad << '"';
}

TEST(EchoPermission, FileCapabilityNeedsPermittedAndEffective) {
  // Revision 2 (two words per set), as setcap writes without a namespace.
  EXPECT_TRUE(FileCapabilityGrants(CapXattr(0x02000001, {kNetRawBit, 0, 0, 0}), kCapNetRaw));
  // Permitted but not effective: the program would have to raise it itself.
  EXPECT_FALSE(FileCapabilityGrants(CapXattr(0x02000000, {kNetRawBit, 0, 0, 0}), kCapNetRaw));
  // Inheritable only.
  EXPECT_FALSE(FileCapabilityGrants(CapXattr(0x02000001, {0, kNetRawBit, 0, 0}), kCapNetRaw));
  // Other capabilities.
  EXPECT_FALSE(FileCapabilityGrants(CapXattr(0x02000001, {1u << 12, 0, 0, 0}), kCapNetRaw));
  // Revision 3 carries a user namespace's root id after the sets.
  EXPECT_TRUE(FileCapabilityGrants(CapXattr(0x03000001, {kNetRawBit, 0, 0, 0, 1000}), kCapNetRaw));
  // Revision 1 has one word per set: only capabilities 0 to 31.
  EXPECT_TRUE(FileCapabilityGrants(CapXattr(0x01000001, {kNetRawBit, 0}), kCapNetRaw));
  EXPECT_FALSE(FileCapabilityGrants(CapXattr(0x01000001, {0xFFFFFFFF, 0}), 40));
  // A capability in the second word (40 = CAP_CHECKPOINT_RESTORE).
  EXPECT_TRUE(FileCapabilityGrants(CapXattr(0x02000001, {0, 0, 1u << 8, 0}), 40));
  // Truncated or unknown values grant nothing.
  EXPECT_FALSE(FileCapabilityGrants(CapXattr(0x02000001, {kNetRawBit}), kCapNetRaw));
  EXPECT_FALSE(FileCapabilityGrants(CapXattr(0x07000001, {kNetRawBit, 0, 0, 0}), kCapNetRaw));
  EXPECT_FALSE(FileCapabilityGrants("", kCapNetRaw));
  EXPECT_FALSE(FileCapabilityGrants("\x01", kCapNetRaw));
}

TEST(EchoPermission, CapabilityMaskAsProcShowsIt) {
  EXPECT_TRUE(CapabilityMaskHas("000001ffffffffff", kCapNetRaw));
  EXPECT_FALSE(CapabilityMaskHas("0000000000000000", kCapNetRaw));
  EXPECT_TRUE(CapabilityMaskHas("0000000000002000", kCapNetRaw));
  EXPECT_FALSE(CapabilityMaskHas("000001ffffffdfff", kCapNetRaw));
  EXPECT_TRUE(CapabilityMaskHas("2000", kCapNetRaw));
  EXPECT_TRUE(CapabilityMaskHas(" 2000\n", kCapNetRaw));
  EXPECT_FALSE(CapabilityMaskHas("200", kCapNetRaw));  // too short to hold bit 13
  EXPECT_FALSE(CapabilityMaskHas("", kCapNetRaw));
  EXPECT_FALSE(CapabilityMaskHas("zz00", kCapNetRaw));
  EXPECT_TRUE(CapabilityMaskHas("0000010000000000", 40));
}

TEST(EchoPermission, ReadsTheCapabilitySetcapGivesAFile) {
  if (geteuid() != 0 || std::system("command -v setcap >/dev/null") != 0)
    GTEST_SKIP() << "needs root and setcap";
  char path[] = "/tmp/sonarix-capXXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  EXPECT_FALSE(FileCarriesCapability(path, kCapNetRaw));
  const std::string file = path;
  if (std::system(("setcap cap_net_raw+ep " + file + " 2>/dev/null").c_str()) != 0) {
    unlink(path);
    GTEST_SKIP() << "this file system keeps no file capabilities";
  }
  EXPECT_TRUE(FileCarriesCapability(file, kCapNetRaw));
  EXPECT_FALSE(FileCarriesCapability(file, 12));
  ASSERT_EQ(std::system(("setcap cap_net_raw+p " + file).c_str()), 0);
  EXPECT_FALSE(FileCarriesCapability(file, kCapNetRaw)) << "permitted without effective";
  unlink(path);
}

namespace {

// Runs ReadEchoPermissions in a child that has a network namespace of its
// own with `range` as its ping_group_range, and has become uid and gid
// 65534 with no other groups (which drops every capability); returns what
// it saw, one field per line.
std::string ReadAsNobody(const char* range) {
  int out[2];
  if (pipe(out) != 0) return "pipe failed";
  const pid_t child = fork();
  if (child == 0) {
    close(out[0]);
    std::string report;
    if (unshare(CLONE_NEWNET) != 0) {
      report = "unshare failed";
    } else {
      std::ofstream("/proc/sys/net/ipv4/ping_group_range") << range;
      if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) {
        report = "cannot become nobody";
      } else {
        const TEchoPermissions p = ReadEchoPermissions();
        std::ostringstream s;
        s << "range=" << p.range_text << "\ngroups=";
        for (gid_t g : p.groups) s << g << ' ';
        s << "\nadmitted=" << p.group_admitted << "\nping=" << p.ping_socket_error
          << "\nraw=" << p.raw_socket_error << "\ncap=" << p.process_has_net_raw
          << "\ndenied=" << p.Denied() << "\nprogram=" << !p.program.empty() << "\n";
        report = s.str();
      }
    }
    const ssize_t ignored = write(out[1], report.data(), report.size());
    (void)ignored;
    _exit(0);
  }
  close(out[1]);
  std::string report;
  char buffer[256];
  ssize_t n;
  while ((n = read(out[0], buffer, sizeof buffer)) > 0) report.append(buffer, n);
  close(out[0]);
  waitpid(child, nullptr, 0);
  return report;
}

}  // namespace

TEST(EchoPermission, AnOrdinaryUserOnAClosedRangeIsDenied) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root for a network namespace and another user";
  std::ostringstream expected;
  expected << "range=1 0\ngroups=65534 \nadmitted=0\nping=" << EACCES << "\nraw=" << EPERM
           << "\ncap=0\ndenied=1\nprogram=1\n";
  EXPECT_EQ(ReadAsNobody("1 0"), expected.str());
}

TEST(EchoPermission, AnOrdinaryUserInTheRangeGetsAPingSocket) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root for a network namespace and another user";
  std::ostringstream expected;
  expected << "range=65534 65534\ngroups=65534 \nadmitted=1\nping=0\nraw=" << EPERM
           << "\ncap=0\ndenied=0\nprogram=1\n";
  EXPECT_EQ(ReadAsNobody("65534 65534"), expected.str());
}

TEST(EchoPermission, RootHasTheCapability) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root";
  const TEchoPermissions p = ReadEchoPermissions();
  EXPECT_TRUE(p.process_has_net_raw);
  EXPECT_EQ(p.raw_socket_error, 0);
  EXPECT_FALSE(p.Denied());
  EXPECT_TRUE(p.bounding_has_net_raw);
}
