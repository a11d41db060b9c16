// The sockets layer: start-up counting, the dotted-address parser and
// renderer, the IPv6 ones, and the blocking lookup's results and reasons.
#include "platform/Sockets.h"

#include <gtest/gtest.h>
#include <net/if.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

using namespace platform;

namespace {

platform::u_long Addr(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
  const std::uint8_t bytes[4] = {a, b, c, d};
  platform::u_long v;
  std::memcpy(&v, bytes, 4);
  return v;
}

TEST(SocketsTest, NamesBeyondAsciiAreAskedInTheirAsciiForm) {
  EXPECT_EQ(AsciiHostName("Host-1.Example"), "Host-1.Example");  // as typed
  EXPECT_EQ(AsciiHostName("b\xC3\xBC"
                          "cher.example"),
            "xn--bcher-kva.example");
  EXPECT_EQ(AsciiHostName("B\xC3\x9C"
                          "CHER.example"),
            "xn--bcher-kva.example");
  // "пример.испытание"
  EXPECT_EQ(AsciiHostName("\xD0\xBF\xD1\x80\xD0\xB8\xD0\xBC\xD0\xB5\xD1\x80."
                          "\xD0\xB8\xD1\x81\xD0\xBF\xD1\x8B\xD1\x82\xD0\xB0\xD0\xBD"
                          "\xD0\xB8\xD0\xB5"),
            "xn--e1afmkfd.xn--80akhbyknj4f");
  // A Latin-1 byte is no UTF-8: no name, never a guess.
  EXPECT_EQ(AsciiHostName("b\xFC"
                          "cher.example"),
            "");
}

TEST(SocketsTest, StartupIsCounted) {
  const int before = WSAStartupCount();
  WSADATA data;
  EXPECT_EQ(WSAStartup(0x0101, &data), 0);
  EXPECT_EQ(data.wVersion, 0x0101);
  EXPECT_EQ(WSAStartup(0x0202, nullptr), 0);
  EXPECT_EQ(WSAStartupCount(), before + 2);
  EXPECT_EQ(WSAStartup(0x0001, nullptr), WSAVERNOTSUPPORTED);
  EXPECT_EQ(WSACleanup(), 0);
  EXPECT_EQ(WSACleanup(), 0);
  EXPECT_EQ(WSAStartupCount(), before);
  if (before == 0) {
    EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
  }
}

TEST(SocketsTest, InetAddrClassicForms) {
  EXPECT_EQ(inet_addr("127.0.0.1"), Addr(127, 0, 0, 1));
  EXPECT_EQ(inet_addr("1.2.3"), Addr(1, 2, 0, 3));
  EXPECT_EQ(inet_addr("1.2.300"), Addr(1, 2, 1, 44));
  EXPECT_EQ(inet_addr("10.65535"), Addr(10, 0, 255, 255));
  EXPECT_EQ(inet_addr("16909060"), Addr(1, 2, 3, 4));
  EXPECT_EQ(inet_addr("0x7f.1"), Addr(127, 0, 0, 1));
  EXPECT_EQ(inet_addr("0X7F.0XFF.0.0xA"), Addr(127, 255, 0, 10));
  EXPECT_EQ(inet_addr("010.010.010.010"), Addr(8, 8, 8, 8));
  EXPECT_EQ(inet_addr("0.0.0.0"), Addr(0, 0, 0, 0));
  EXPECT_EQ(inet_addr("00"), Addr(0, 0, 0, 0));
  EXPECT_EQ(inet_addr("1.2.3.4 and more"), Addr(1, 2, 3, 4));
  EXPECT_EQ(inet_addr("1.2.3.4\t"), Addr(1, 2, 3, 4));
  EXPECT_EQ(inet_addr("4294967294"), Addr(255, 255, 255, 254));
}

TEST(SocketsTest, InetAddrRejects) {
  for (const char* text : {"",           " 1.2.3.4",   "255.255.255.255",
                           "0xffffffff", "4294967295", "4294967296",
                           "1.2.3.4.5",  "1.2.3.256",  "1.256.3",
                           "256.1",      "1.16777216", "08",
                           "09.1.1.1",   "0x",         "0x.1",
                           "1..2",       "1.2.3.",     ".1.2.3",
                           "1.2.3.4x",   "localhost",  "-1",
                           "+1",         "1.2.3.-4",   "99999999999999999999"}) {
    EXPECT_EQ(inet_addr(text), kInaddrNone) << '"' << text << '"';
  }
  EXPECT_EQ(inet_addr(nullptr), kInaddrNone);
}

TEST(SocketsTest, InetNtoaRendersDotted) {
  EXPECT_EQ(inet_ntoa(Addr(127, 0, 0, 1)), "127.0.0.1");
  EXPECT_EQ(inet_ntoa(Addr(0, 0, 0, 0)), "0.0.0.0");
  EXPECT_EQ(inet_ntoa(Addr(255, 255, 255, 255)), "255.255.255.255");
  EXPECT_EQ(inet_ntoa(inet_addr("010.0x10.1")), "8.16.0.1");
}

TEST(SocketsTest, GetHostByNameNeedsStartup) {
  if (WSAStartupCount() != 0) GTEST_SKIP() << "layer started elsewhere in this process";
  EXPECT_FALSE(gethostbyname("localhost"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(WSANOTINITIALISED));
}

TEST(SocketsTest, GetHostByNameThroughTheSystemResolver) {
  ASSERT_EQ(WSAStartup(0x0101, nullptr), 0);
  // "localhost" comes from the hosts file; no query leaves the machine.
  auto entry = gethostbyname("localhost");
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->name, "localhost");
  ASSERT_FALSE(entry->addresses.empty());
  EXPECT_EQ(entry->addresses[0], Addr(127, 0, 0, 1));
  EXPECT_EQ(GetLastError(), 0u);
  WSACleanup();
}

TEST(SocketsTest, GetHostByNameReasonsComeFromTheResolver) {
  ASSERT_EQ(WSAStartup(0x0101, nullptr), 0);
  for (int code : {WSAHOST_NOT_FOUND, WSATRY_AGAIN, WSANO_RECOVERY, WSANO_DATA}) {
    SetHostResolver([code](const std::string&, THostEnt&) { return code; });
    EXPECT_FALSE(gethostbyname("some.name"));
    EXPECT_EQ(WSAGetLastError(), code);
  }
  // An answer without addresses is "no data", never an empty list.
  SetHostResolver([](const std::string& n, THostEnt& e) {
    e.name = n;
    return 0;
  });
  EXPECT_FALSE(gethostbyname("some.name"));
  EXPECT_EQ(WSAGetLastError(), WSANO_DATA);
  SetHostResolver(nullptr);
  EXPECT_FALSE(gethostbyname(""));
  EXPECT_EQ(WSAGetLastError(), WSAHOST_NOT_FOUND);
  WSACleanup();
}

TIp6Address Ip6(std::initializer_list<std::uint8_t> head, std::uint8_t last,
                std::uint32_t scope = 0) {
  TIp6Address a;
  std::copy(head.begin(), head.end(), a.bytes.begin());
  a.bytes[15] = last;
  a.scope_id = scope;
  return a;
}

TEST(SocketsTest, Ip6LiteralsAndTheirScopes) {
  const unsigned lo = ::if_nametoindex("lo");
  ASSERT_NE(lo, 0u);
  struct TCase {
    const char* text;
    TIp6Address address;
  };
  const TCase cases[] = {
      {"::1", Ip6({}, 1)},
      {"::", Ip6({}, 0)},
      {"fd00::2", Ip6({0xfd, 0x00}, 2)},
      {"FD00:0:0:0:0:0:0:2", Ip6({0xfd, 0x00}, 2)},
      {"fe80::1%lo", Ip6({0xfe, 0x80}, 1, lo)},
      {"fe80::1%7", Ip6({0xfe, 0x80}, 1, 7)},
      {"fe80::1%4294967295", Ip6({0xfe, 0x80}, 1, 0xFFFFFFFFu)},
      {"::ffff:10.1.2.3", Ip6({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 10, 1, 2}, 3)},
      // White space ends the text, as for an IPv4 literal.
      {"fd00::2 and more", Ip6({0xfd, 0x00}, 2)},
      {"::1\t", Ip6({}, 1)},
  };
  for (const auto& c : cases) {
    TIp6Address a;
    ASSERT_TRUE(ParseIp6Literal(c.text, a)) << c.text;
    EXPECT_EQ(a, c.address) << c.text;
  }
  for (const char* text :
       {"", "1.2.3.4", "localhost", "::1%", "::1%no-such-if0", "fe80::1%%lo", "::1%4294967296",
        "::1%99999999999", "1::2::3", "::g", ":::1", "fd00::2/64", " ::1", "[::1]", "12345::1"}) {
    TIp6Address a = Ip6({}, 9);
    EXPECT_FALSE(ParseIp6Literal(text, a)) << '"' << text << '"';
    EXPECT_EQ(a, Ip6({}, 9)) << "left alone: " << text;
  }
  TIp6Address a;
  EXPECT_FALSE(ParseIp6Literal(nullptr, a));
}

TEST(SocketsTest, Ip6TextIsCanonicalAndNamesTheLink) {
  auto text = [](const char* literal) {
    TIp6Address a;
    EXPECT_TRUE(ParseIp6Literal(literal, a)) << literal;
    return Ip6Text(a);
  };
  EXPECT_EQ(text("0:0:0:0:0:0:0:1"), "::1");
  EXPECT_EQ(text("FD00:0000::0002"), "fd00::2");
  EXPECT_EQ(text("2001:db8:0:0:1:0:0:1"), "2001:db8::1:0:0:1");
  EXPECT_EQ(text("::ffff:10.1.2.3"), "::ffff:10.1.2.3");
  EXPECT_EQ(text("fe80::1%lo"), "fe80::1%lo");
  // A scope given by number names its interface; one that names none
  // stays a number.
  EXPECT_EQ(text(("fe80::1%" + std::to_string(::if_nametoindex("lo"))).c_str()), "fe80::1%lo");
  EXPECT_EQ(text("fe80::1%4000000000"), "fe80::1%4000000000");
}

// A name without an IPv4 address: nothing for the IPv4 call, its IPv6
// addresses for the call of either family, which otherwise gives what the
// IPv4 call gives.
TEST(SocketsTest, GetHostByNameAnyFallsBackToIpv6Only) {
  ASSERT_EQ(WSAStartup(0x0101, nullptr), 0);
  SetHostResolver([](const std::string& n, THostEnt& e) {
    e.name = n + ".example";
    if (n == "missing") return WSAHOST_NOT_FOUND;
    if (n != "v4") e.addresses6 = {Ip6({0xfd}, 1), Ip6({0xfd}, 2)};
    if (n != "v6") e.addresses = {Addr(10, 0, 0, 1)};
    return 0;
  });
  EXPECT_FALSE(gethostbyname("v6"));
  EXPECT_EQ(WSAGetLastError(), WSANO_DATA);
  auto v6 = GetHostByNameAny("v6");
  ASSERT_TRUE(v6);
  EXPECT_EQ(v6->name, "v6.example");
  EXPECT_TRUE(v6->addresses.empty());
  EXPECT_EQ(v6->addresses6, (std::vector<TIp6Address>{Ip6({0xfd}, 1), Ip6({0xfd}, 2)}));
  // Both families: IPv4 only, and the IPv4 call sees no IPv6 address.
  for (auto* lookup : {&gethostbyname, &GetHostByNameAny}) {
    auto dual = lookup("dual");
    ASSERT_TRUE(dual);
    EXPECT_EQ(dual->addresses, (std::vector<platform::u_long>{Addr(10, 0, 0, 1)}));
    EXPECT_TRUE(dual->addresses6.empty());
  }
  EXPECT_FALSE(GetHostByNameAny("missing"));
  EXPECT_EQ(WSAGetLastError(), WSAHOST_NOT_FOUND);
  SetHostResolver(nullptr);
  EXPECT_FALSE(GetHostByNameAny(""));
  EXPECT_EQ(WSAGetLastError(), WSAHOST_NOT_FOUND);
  // The system resolver: localhost's IPv4 address comes first.
  auto local = GetHostByNameAny("localhost");
  ASSERT_TRUE(local);
  EXPECT_EQ(local->addresses.at(0), Addr(127, 0, 0, 1));
  WSACleanup();
}

TEST(SocketsTest, LastErrorIsPerThread) {
  SetLastError(77);
  std::thread([] {
    EXPECT_EQ(GetLastError(), 0u);
    SetLastError(5);
  }).join();
  EXPECT_EQ(GetLastError(), 77u);
}

}  // namespace
