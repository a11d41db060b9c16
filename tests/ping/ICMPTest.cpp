// The echo engine above the module table: construction failures, payload,
// options, validation order, status texts and resolution.
#include "ping/ICMP.h"

#include <gtest/gtest.h>

#include <map>

#include "FakeIcmp.h"
#include "platform/Sockets.h"

using namespace platform;

namespace {

class ICMPTest : public ::testing::Test {
 protected:
  void SetUp() override { fake_.Install(); }
  void TearDown() override { SetHostResolver(nullptr); }

  // Records the engine's callbacks in order.
  void Watch(TICMP& icmp) {
    icmp.OnDisplay =
        TICMPDisplay([this](TObject*, const std::string& m) { log_.push_back("display:" + m); });
    icmp.OnEchoRequest = TICMPEchoRequest([this](TObject*) { log_.push_back("request"); });
    icmp.OnEchoReply = TICMPEchoReply(
        [this](TObject*, std::int32_t s) { log_.push_back("reply:" + std::to_string(s)); });
  }

  TModuleTableGuard restore_;
  TFakeIcmp fake_;
  std::vector<std::string> log_;
};

TEST_F(ICMPTest, ConstructionBindsTheLibraryAndReleasesEverything) {
  const int startups = WSAStartupCount();
  const int modules = LoadedModuleCount();
  {
    TICMP icmp;
    EXPECT_EQ(icmp.EchoHandle(), 0x4242);
    EXPECT_EQ(icmp.Size(), 56);
    EXPECT_EQ(icmp.TTL(), 64);
    EXPECT_EQ(icmp.Timeout(), 4000);
    EXPECT_EQ(icmp.Flags(), 0);
    EXPECT_EQ(WSAStartupCount(), startups + 1);
    EXPECT_EQ(LoadedModuleCount(), modules + 1);
  }
  EXPECT_EQ(fake_.creates, 1);
  EXPECT_EQ(fake_.closes, 1);
  EXPECT_EQ(WSAStartupCount(), startups);
  EXPECT_EQ(LoadedModuleCount(), modules);
}

TEST_F(ICMPTest, ConstructionFailuresRaiseTheirMessagesAndReleaseWhatWasAcquired) {
  const int startups = WSAStartupCount();
  const int modules = LoadedModuleCount();
  auto message_of = [] {
    try {
      TICMP icmp;
    } catch (const TICMPException& e) {
      return e.Message();
    }
    return std::string("no exception");
  };

  WithdrawModule("icmp.dll");
  EXPECT_EQ(message_of(), "Unable to register icmp.dll");

  for (const char* missing : {"IcmpCreateFile", "IcmpCloseHandle", "IcmpSendEcho"}) {
    fake_.Install(missing);
    EXPECT_EQ(message_of(), "Error loading dll functions") << missing;
  }

  fake_.Install();
  fake_.create_result = INVALID_HANDLE_VALUE;
  EXPECT_EQ(message_of(), "Unable to get ping handle");
  EXPECT_EQ(fake_.closes, 0) << "an invalid handle is never closed";

  EXPECT_EQ(WSAStartupCount(), startups);
  EXPECT_EQ(LoadedModuleCount(), modules);
}

TEST_F(ICMPTest, PayloadIsTheTextPaddedWithSpaces) {
  TICMP icmp;
  icmp.SetAddress("127.0.0.1");
  const std::string text = kIcmpPayload;
  ASSERT_EQ(text.size(), 45u);
  const std::map<int, std::string> expected = {
      {0, ""},
      {20, text.substr(0, 20)},
      {45, text},
      {56, text + std::string(11, ' ')},
      {256, text + std::string(211, ' ')},
  };
  for (const auto& [size, data] : expected) {
    icmp.SetSize(size);
    fake_.calls.clear();
    icmp.SendEcho();
    ASSERT_EQ(fake_.calls.size(), 1u);
    EXPECT_EQ(fake_.calls[0].data, data) << size;
    EXPECT_EQ(fake_.calls[0].size, size);
    EXPECT_EQ(fake_.calls[0].reply_size, static_cast<DWORD>(size + 28));
  }
}

TEST_F(ICMPTest, OptionsCarryTtlFlagsAndTimeout) {
  TICMP icmp;
  icmp.SetAddress("10.1.2.3");
  icmp.SetTTL(255);
  icmp.SetFlags(2);
  icmp.SetTimeout(1234);
  icmp.SendEcho();
  ASSERT_EQ(fake_.calls.size(), 1u);
  const auto& call = fake_.calls[0];
  EXPECT_EQ(call.destination, inet_addr("10.1.2.3"));
  EXPECT_EQ(call.options.Ttl, 255);
  EXPECT_EQ(call.options.Flags, 2);
  EXPECT_EQ(call.options.Tos, 0);
  EXPECT_EQ(call.options.OptionsSize, 0);
  EXPECT_EQ(call.options.OptionsData, 0u);
  EXPECT_EQ(call.timeout, 1234u);
}

TEST_F(ICMPTest, ReplyIsCopiedAndStatusIsTheLastError) {
  TICMP icmp;
  Watch(icmp);
  icmp.SetAddress("127.0.0.1");
  fake_.reply.Address = inet_addr("127.0.0.1");
  fake_.reply.RoundTripTime = 7;
  fake_.reply.DataSize = 56;
  EXPECT_EQ(icmp.SendEcho(), 1);
  EXPECT_EQ(icmp.LastReply().RoundTripTime, 7u);
  EXPECT_EQ(icmp.LastReply().DataSize, 56);
  EXPECT_EQ(icmp.LastStatus(), 0);
  EXPECT_EQ(icmp.StatusText(), "No error");

  fake_.result = 0;
  fake_.last_error = IP_REQ_TIMED_OUT;
  fake_.reply = {};
  fake_.reply.Status = IP_REQ_TIMED_OUT;
  EXPECT_EQ(icmp.SendEcho(), 0);
  EXPECT_EQ(icmp.LastStatus(), 11010);
  EXPECT_EQ(icmp.LastReply().Status, 11010u);
  EXPECT_EQ(icmp.StatusText(), "Request timed out");
  EXPECT_EQ(log_, (std::vector<std::string>{"request", "reply:1", "request", "reply:0"}));
}

TEST_F(ICMPTest, OutOfRangeSettingsRaiseAfterTheRequestCallbackAndSendNothing) {
  TICMP icmp;
  Watch(icmp);
  icmp.SetAddress("127.0.0.1");
  fake_.reply.RoundTripTime = 9;
  icmp.SendEcho();  // a reply to keep
  log_.clear();
  fake_.calls.clear();

  struct TCase {
    const char* what;
    void (*set)(TICMP&);
  };
  const TCase cases[] = {
      {"TTL 256", [](TICMP& i) { i.SetTTL(256); }},
      {"TTL -1", [](TICMP& i) { i.SetTTL(-1); }},
      {"Flags 256", [](TICMP& i) { i.SetFlags(256); }},
      {"Timeout -1", [](TICMP& i) { i.SetTimeout(-1); }},
      {"Size 65536", [](TICMP& i) { i.SetSize(65536); }},
      {"Size -1", [](TICMP& i) { i.SetSize(-1); }},
      {"Size max", [](TICMP& i) { i.SetSize(0x7FFFFFFF); }},
  };
  for (const auto& c : cases) {
    TICMP fresh;
    Watch(fresh);
    fresh.SetAddress("127.0.0.1");
    c.set(fresh);
    log_.clear();
    try {
      fresh.SendEcho();
      ADD_FAILURE() << c.what << ": no range error";
    } catch (const ERangeError& e) {
      EXPECT_EQ(e.Message(), "Range check error");
    }
    EXPECT_EQ(log_, std::vector<std::string>{"request"}) << c.what;
    EXPECT_TRUE(fake_.calls.empty()) << c.what;
  }

  // TTL is checked first: the earlier reply and status stay as they were.
  icmp.SetTTL(256);
  icmp.SetFlags(999);
  log_.clear();
  EXPECT_THROW(icmp.SendEcho(), ERangeError);
  EXPECT_EQ(icmp.LastReply().RoundTripTime, 9u);
  EXPECT_EQ(icmp.LastStatus(), 0);
  EXPECT_TRUE(fake_.calls.empty());
}

TEST_F(ICMPTest, StatusTexts) {
  const std::map<int, std::string> table = {
      {0, "No error"},
      {11001, "Buffer too small"},
      {11002, "Destination network unreachable"},
      {11003, "Destination host unreachable"},
      {11004, "Destination protocol unreachable"},
      {11005, "Destination port unreachable"},
      {11006, "No resources"},
      {11007, "Bad option"},
      {11008, "Hardware error"},
      {11009, "Packet too big"},
      {11010, "Request timed out"},
      {11011, "Bad request"},
      {11012, "Bad route"},
      {11013, "TTL expired in transit"},
      {11014, "TTL expired in reassembly"},
      {11015, "Parameter problem"},
      {11016, "Source quench"},
      {11017, "Option too big"},
      {11018, "Bad Destination"},
      {11019, "Address deleted"},
      {11020, "Spec MTU change"},
      {11021, "MTU change"},
      {11050, "General failure"},
      {11255, "Pending"},
      {12345, "ICMP error #12345"},
      {11022, "ICMP error #11022"},
      {-1, "ICMP error #-1"},
      {10004, "ICMP error #10004"},
  };
  for (const auto& [code, text] : table) EXPECT_EQ(TICMP::StatusTextOf(code), text) << code;

  TICMP icmp;
  icmp.SetAddress("127.0.0.1");
  fake_.result = 0;
  fake_.last_error = 12345;
  icmp.SendEcho();
  EXPECT_EQ(icmp.StatusText(), "ICMP error #12345");
}

TEST_F(ICMPTest, LiteralResolvesWithoutLookupAndKeepsTheTextAsWritten) {
  int lookups = 0;
  SetHostResolver([&](const std::string&, THostEnt&) {
    ++lookups;
    return WSAHOST_NOT_FOUND;
  });
  TICMP icmp;
  icmp.SetAddress("127.1");
  icmp.SendEcho();
  EXPECT_EQ(lookups, 0);
  EXPECT_EQ(icmp.TargetName(), "127.1");
  EXPECT_EQ(icmp.TargetIP(), "127.0.0.1");
  ASSERT_EQ(fake_.calls.size(), 1u);
  EXPECT_EQ(fake_.calls[0].destination, inet_addr("127.0.0.1"));
}

TEST_F(ICMPTest, AddressChangeTriggersOneNewResolution) {
  std::vector<std::string> lookups;
  SetHostResolver([&](const std::string& name, THostEnt& entry) {
    lookups.push_back(name);
    entry.name = name + ".example";
    entry.addresses = {inet_addr(name == "alpha" ? "10.0.0.1" : "10.0.0.2"), inet_addr("10.9.9.9")};
    return 0;
  });
  TICMP icmp;
  icmp.SetAddress("alpha");
  icmp.SendEcho();
  icmp.SendEcho();
  icmp.SetAddress("alpha");  // the same text: nothing to do
  icmp.SendEcho();
  EXPECT_EQ(lookups, std::vector<std::string>{"alpha"});
  EXPECT_EQ(icmp.TargetName(), "alpha.example");
  EXPECT_EQ(icmp.TargetIP(), "10.0.0.1");

  icmp.SetAddress("beta");
  EXPECT_FALSE(icmp.TargetResolved());
  icmp.SendEcho();
  EXPECT_EQ(lookups, (std::vector<std::string>{"alpha", "beta"}));
  EXPECT_EQ(icmp.TargetIP(), "10.0.0.2");
  icmp.SetAddress("Beta");  // case counts
  icmp.SendEcho();
  EXPECT_EQ(lookups.size(), 3u);

  ASSERT_EQ(fake_.calls.size(), 5u);
  EXPECT_EQ(fake_.calls[0].destination, inet_addr("10.0.0.1"));
  EXPECT_EQ(fake_.calls[2].destination, inet_addr("10.0.0.1"));
  EXPECT_EQ(fake_.calls[3].destination, inet_addr("10.0.0.2"));
}

TEST_F(ICMPTest, UnresolvableNameReportsTwiceAndRetriesNextTime) {
  int lookups = 0;
  SetHostResolver([&](const std::string&, THostEnt&) {
    ++lookups;
    return WSAHOST_NOT_FOUND;
  });
  TICMP icmp;
  Watch(icmp);
  icmp.SetAddress("nowhere");
  EXPECT_EQ(icmp.SendEcho(), 0);
  EXPECT_EQ(log_, (std::vector<std::string>{"display:Unable to resolve nowhere",
                                            "display:Invalid host address"}));
  EXPECT_EQ(icmp.LastStatus(), 11018);
  EXPECT_EQ(icmp.StatusText(), "Bad Destination");
  EXPECT_FALSE(icmp.TargetResolved());
  EXPECT_TRUE(fake_.calls.empty());
  icmp.SendEcho();
  EXPECT_EQ(lookups, 2);

  // "255.255.255.255" is no literal: it goes to the resolver.
  icmp.SetAddress("255.255.255.255");
  icmp.SendEcho();
  EXPECT_EQ(lookups, 3);
}

TIp6Address Ip6(const char* text) {
  TIp6Address a;
  EXPECT_TRUE(ParseIp6Literal(text, a)) << text;
  return a;
}

// An IPv6 literal goes through the IPv6 call with the same request, options
// and checks as an IPv4 one, and who answered is kept beside the record.
TEST_F(ICMPTest, AnIpv6LiteralGoesThroughTheIpv6CallWithTheSameRequest) {
  int lookups = 0;
  SetHostResolver([&](const std::string&, THostEnt&) {
    ++lookups;
    return WSAHOST_NOT_FOUND;
  });
  TICMP icmp;
  Watch(icmp);
  icmp.SetAddress("FD00:0::2");
  icmp.SetTTL(1);
  icmp.SetFlags(2);
  icmp.SetTimeout(1234);
  fake_.reply.RoundTripTime = 3;
  fake_.reply.DataSize = 56;
  fake_.reply_from6 = Ip6("fd00::fe");
  EXPECT_EQ(icmp.SendEcho(), 1);
  EXPECT_EQ(lookups, 0);
  EXPECT_TRUE(icmp.TargetIsIp6());
  EXPECT_EQ(icmp.TargetAddr(), kInaddrNone);
  EXPECT_EQ(icmp.TargetName(), "FD00:0::2") << "as written";
  EXPECT_EQ(icmp.TargetIP(), "fd00::2");
  ASSERT_EQ(fake_.calls.size(), 1u);
  const auto& call = fake_.calls[0];
  EXPECT_TRUE(call.ip6);
  EXPECT_EQ(call.destination6, Ip6("fd00::2"));
  EXPECT_EQ(call.data, std::string(kIcmpPayload) + std::string(11, ' '));
  EXPECT_EQ(call.reply_size, 84u);
  EXPECT_EQ(call.options.Ttl, 1);
  EXPECT_EQ(call.options.Flags, 2);
  EXPECT_EQ(call.timeout, 1234u);
  EXPECT_EQ(icmp.LastReply().RoundTripTime, 3u);
  EXPECT_EQ(icmp.LastReplyFrom6(), Ip6("fd00::fe"));
  EXPECT_EQ(log_, (std::vector<std::string>{"request", "reply:1"}));

  // Out of range is out of range for either family.
  icmp.SetTTL(256);
  log_.clear();
  EXPECT_THROW(icmp.SendEcho(), ERangeError);
  EXPECT_EQ(log_, std::vector<std::string>{"request"});
  EXPECT_EQ(fake_.calls.size(), 1u);

  // A scoped literal keeps its link.
  icmp.SetTTL(64);
  icmp.SetAddress("fe80::1%lo");
  icmp.SendEcho();
  EXPECT_EQ(fake_.calls.back().destination6, Ip6("fe80::1%lo"));
  EXPECT_EQ(icmp.TargetIP(), "fe80::1%lo");
}

// A name resolved by the engine: IPv6 only when it has no IPv4 address; and
// a target that no longer resolves leaves no IPv6 address behind.
TEST_F(ICMPTest, ANameIsPingedOverIpv6OnlyWithoutAnIpv4Address) {
  SetHostResolver([&](const std::string& name, THostEnt& entry) {
    if (name == "gone") return WSAHOST_NOT_FOUND;
    entry.name = name + ".example";
    entry.addresses6 = {Ip6("fd00::6"), Ip6("fd00::7")};
    if (name == "dual") entry.addresses = {inet_addr("10.0.0.4")};
    return 0;
  });
  TICMP icmp;
  Watch(icmp);
  icmp.SetAddress("six");
  icmp.SendEcho();
  EXPECT_EQ(icmp.TargetName(), "six.example");
  EXPECT_EQ(icmp.TargetIP(), "fd00::6");
  icmp.SetAddress("dual");
  icmp.SendEcho();
  EXPECT_FALSE(icmp.TargetIsIp6());
  EXPECT_EQ(icmp.TargetIP(), "10.0.0.4");
  ASSERT_EQ(fake_.calls.size(), 2u);
  EXPECT_TRUE(fake_.calls[0].ip6);
  EXPECT_EQ(fake_.calls[0].destination6, Ip6("fd00::6"));
  EXPECT_FALSE(fake_.calls[1].ip6);
  EXPECT_EQ(fake_.calls[1].destination, inet_addr("10.0.0.4"));

  icmp.SetAddress("::1");
  icmp.SendEcho();
  icmp.SetAddress("gone");
  log_.clear();
  EXPECT_EQ(icmp.SendEcho(), 0);
  EXPECT_EQ(log_, (std::vector<std::string>{"display:Unable to resolve gone",
                                            "display:Invalid host address"}));
  EXPECT_FALSE(icmp.TargetIsIp6());
  EXPECT_EQ(fake_.calls.size(), 3u);
}

// A library without the IPv6 call still pings IPv4 hosts; an IPv6 echo then
// fails as an echo does, with a status.
TEST_F(ICMPTest, WithoutTheIpv6CallIpv6EchoesFail) {
  fake_.Install("IcmpSendEcho6");
  TICMP icmp;
  Watch(icmp);
  icmp.SetAddress("127.0.0.1");
  EXPECT_EQ(icmp.SendEcho(), 1);
  icmp.SetAddress("::1");
  EXPECT_EQ(icmp.SendEcho(), 0);
  EXPECT_EQ(icmp.StatusText(), "General failure");
  EXPECT_EQ(icmp.LastReply().Status, 11050u);
  EXPECT_EQ(log_, (std::vector<std::string>{"request", "reply:1", "request", "reply:0"}));
  EXPECT_EQ(fake_.calls.size(), 1u);
}

}  // namespace
