// The ping component above the module table: properties, relayed events and
// the literal-address path of LookupHost.
#include "ping/Ping.h"

#include <gtest/gtest.h>

#include "FakeIcmp.h"

using namespace platform;

namespace {

class PingTest : public ::testing::Test {
 protected:
  void SetUp() override { fake_.Install(); }

  void Watch(TPing& ping) {
    ping.OnDnsLookupDone = TDnsLookupDone([this, &ping](TObject* sender, std::uint16_t error) {
      EXPECT_EQ(sender, &ping);
      log_.push_back("done:" + std::to_string(error) + ":" + ping.LookupResult());
    });
    ping.OnEchoRequest = TPingRequest([this, &ping](TObject* sender, TObject* icmp) {
      EXPECT_EQ(sender, &ping);
      EXPECT_EQ(icmp, ping.Icmp());
      log_.push_back("request");
    });
    ping.OnEchoReply = TPingReply([this, &ping](TObject* sender, TObject* icmp, std::int32_t s) {
      EXPECT_EQ(sender, &ping);
      EXPECT_EQ(icmp, ping.Icmp());
      log_.push_back("reply:" + std::to_string(s));
    });
    ping.OnDisplay = TPingDisplay(
        [this](TObject*, TObject*, const std::string& m) { log_.push_back("display:" + m); });
  }

  TModuleTableGuard restore_;
  TFakeIcmp fake_;
  std::vector<std::string> log_;
};

TEST_F(PingTest, PropertiesLiveInTheEngine) {
  TPing ping(nullptr);
  EXPECT_EQ(ping.Address(), "");
  EXPECT_EQ(ping.Size(), 56);
  EXPECT_EQ(ping.Timeout(), 4000);
  EXPECT_EQ(ping.TTL(), 64);
  EXPECT_EQ(ping.Flags(), 0);
  ping.SetAddress("127.0.0.1");
  ping.SetSize(128);
  ping.SetTimeout(8000);
  ping.SetTTL(128);
  ping.SetFlags(2);
  EXPECT_EQ(ping.Icmp()->Address(), "127.0.0.1");
  EXPECT_EQ(ping.Icmp()->Size(), 128);
  EXPECT_EQ(ping.Icmp()->Timeout(), 8000);
  EXPECT_EQ(ping.Icmp()->TTL(), 128);
  EXPECT_EQ(ping.Icmp()->Flags(), 2);
  EXPECT_EQ(ping.LookupMsgNumber(), 1026u);
}

TEST_F(PingTest, OwnerFreesTheComponentAndItsEngine) {
  {
    TComponent owner(nullptr);
    auto* ping = new TPing(&owner);
    EXPECT_EQ(owner.ComponentCount(), 1);
    EXPECT_NE(ping->Icmp(), nullptr);
  }
  EXPECT_EQ(fake_.closes, 1);
}

TEST_F(PingTest, EngineFailureLeavesTheConstructor) {
  WithdrawModule("icmp.dll");
  try {
    TPing ping(nullptr);
    FAIL() << "constructed without icmp.dll";
  } catch (const TICMPException& e) {
    EXPECT_EQ(e.Message(), "Unable to register icmp.dll");
  }
}

TEST_F(PingTest, LiteralLookupCompletesInsideTheCall) {
  TPing ping(nullptr);
  Watch(ping);
  ping.LookupHost("127.0.0.1");
  EXPECT_EQ(log_, std::vector<std::string>{"done:0:127.0.0.1"});
  EXPECT_FALSE(ping.LookupOutstanding());
  EXPECT_EQ(ping.Address(), "") << "LookupHost never writes Address";
}

TEST_F(PingTest, LiteralLookupGivesTheCanonicalDottedText) {
  TPing ping(nullptr);
  const std::pair<const char*, const char*> cases[] = {
      {"127.1", "127.0.0.1"},
      {"1.2.3", "1.2.0.3"},
      {"010.0.0.1", "8.0.0.1"},
      {"0x7f.0.0.1", "127.0.0.1"},
      {"2130706433", "127.0.0.1"},
      {"127.000.000.001", "127.0.0.1"},
      {"10.0.0.1 trailing", "10.0.0.1"},
  };
  for (const auto& [typed, canonical] : cases) {
    std::string result;
    std::uint16_t error = 99;
    ping.OnDnsLookupDone = TDnsLookupDone([&](TObject*, std::uint16_t e) {
      error = e;
      result = ping.LookupResult();
    });
    ping.LookupHost(typed);
    EXPECT_EQ(error, 0) << typed;
    EXPECT_EQ(result, canonical) << typed;
  }
}

// An IPv6 literal is answered inside the call as an IPv4 one is, with the
// address's canonical text, which the engine then pings as it stands.
TEST_F(PingTest, Ipv6LiteralLookupCompletesInsideTheCallWithTheCanonicalText) {
  TPing ping(nullptr);
  Watch(ping);
  for (const char* typed : {"::1", "0::0:1", "0:0:0:0:0:0:0:1 trailing"}) {
    log_.clear();
    ping.LookupHost(typed);
    EXPECT_EQ(log_, std::vector<std::string>{"done:0:::1"}) << typed;
    EXPECT_FALSE(ping.LookupOutstanding());
  }
  log_.clear();
  ping.LookupHost("FE80::1%lo");
  EXPECT_EQ(log_, std::vector<std::string>{"done:0:fe80::1%lo"});
  ping.SetAddress(ping.LookupResult());
  ping.SendEcho();
  ASSERT_EQ(fake_.calls.size(), 1u);
  EXPECT_TRUE(fake_.calls[0].ip6);
  EXPECT_EQ(ping.TargetName(), "fe80::1%lo");
  EXPECT_EQ(ping.TargetIP(), "fe80::1%lo");

  // A scope that names no interface makes it a name, looked up as names are.
  log_.clear();
  ping.LookupHost("fe80::1%no-such-if0");
  EXPECT_TRUE(log_.empty());
  EXPECT_TRUE(ping.LookupOutstanding());
  ping.CancelLookup();
}

TEST_F(PingTest, EmptyHostIsARangeErrorAndClearsTheResult) {
  TPing ping(nullptr);
  Watch(ping);
  ping.LookupHost("127.0.0.1");
  log_.clear();
  try {
    ping.LookupHost("");
    FAIL() << "no range error";
  } catch (const ERangeError& e) {
    EXPECT_EQ(e.Message(), "Range check error");
  }
  EXPECT_TRUE(log_.empty());
  EXPECT_EQ(ping.LookupResult(), "");
}

TEST_F(PingTest, CancelWhenIdleDoesNothing) {
  TPing ping(nullptr);
  Watch(ping);
  ping.CancelLookup();
  ping.LookupHost("127.0.0.1");
  log_.clear();
  ping.CancelLookup();
  EXPECT_TRUE(log_.empty());
}

TEST_F(PingTest, SendEchoRelaysTheEngineEvents) {
  TPing ping(nullptr);
  Watch(ping);
  ping.SetAddress("127.0.0.1");
  fake_.reply.DataSize = 56;
  fake_.reply.RoundTripTime = 3;
  EXPECT_EQ(ping.SendEcho(), 1);
  EXPECT_EQ(ping.LastReply().DataSize, 56);
  EXPECT_EQ(ping.LastReply().RoundTripTime, 3u);
  EXPECT_EQ(ping.TargetName(), "127.0.0.1");
  EXPECT_EQ(ping.TargetIP(), "127.0.0.1");
  EXPECT_EQ(ping.StatusText(), "No error");
  EXPECT_EQ(log_, (std::vector<std::string>{"request", "reply:1"}));

  log_.clear();
  ping.SetAddress("");
  EXPECT_EQ(ping.SendEcho(), 0);
  ASSERT_FALSE(log_.empty());
  EXPECT_EQ(log_.back(), "display:Invalid host address");
}

}  // namespace
