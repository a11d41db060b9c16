// The sockets layer: start-up counting, the dotted-address parser and
// renderer, and the blocking lookup's results and reasons.
#include "platform/Sockets.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

using namespace platform;

namespace {

platform::u_long Addr(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
  const std::uint8_t bytes[4] = {a, b, c, d};
  platform::u_long v;
  std::memcpy(&v, bytes, 4);
  return v;
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

TEST(SocketsTest, LastErrorIsPerThread) {
  SetLastError(77);
  std::thread([] {
    EXPECT_EQ(GetLastError(), 0u);
    SetLastError(5);
  }).join();
  EXPECT_EQ(GetLastError(), 77u);
}

}  // namespace
