// TPing: the ping component. Wraps one echo engine, publishes its settings,
// relays its notifications as events and looks host names up without
// blocking the caller. LookupResult is the address's text of either family,
// which Address takes as it is.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ping/ICMP.h"
#include "ping/MsgWndControl.h"

using TDnsLookupDone = TEvent<TObject* /*Sender*/, std::uint16_t /*Error*/>;
using TPingDisplay = TEvent<TObject* /*Sender*/, TObject* /*Icmp*/, const std::string& /*Msg*/>;
using TPingReply = TEvent<TObject* /*Sender*/, TObject* /*Icmp*/, std::int32_t /*Status*/>;
using TPingRequest = TEvent<TObject* /*Sender*/, TObject* /*Icmp*/>;

// The sockets layer's code for an interrupted call: a cancelled lookup.
inline constexpr std::uint16_t kLookupCancelled = 10004;
inline constexpr std::size_t kHostEntryBufferSize = 1025;

class TPing : public TMsgWndControl {
 public:
  explicit TPing(TComponent* owner);
  ~TPing() override;

  std::string Address() const;
  void SetAddress(const std::string& address);
  std::int32_t Size() const;
  void SetSize(std::int32_t size);
  std::int32_t Timeout() const;
  void SetTimeout(std::int32_t timeout);
  std::int32_t TTL() const;
  void SetTTL(std::int32_t ttl);
  std::int32_t Flags() const;
  void SetFlags(std::int32_t flags);

  TPingDisplay OnDisplay;
  TPingRequest OnEchoRequest;
  TPingReply OnEchoReply;
  TDnsLookupDone OnDnsLookupDone;

  const std::string& LookupResult() const { return lookup_result_; }
  std::string TargetName() const;
  std::string TargetIP() const;
  platform::ICMP_ECHO_REPLY LastReply() const;
  std::string StatusText() const;
  // The engine (for its Icmp argument and diagnostics); null only while the
  // component is being destroyed.
  TICMP* Icmp() const { return icmp_.get(); }
  bool LookupOutstanding() const { return lookup_handle_ != 0; }
  platform::UINT LookupMsgNumber() const { return lookup_msg_number_; }
  std::uintptr_t LookupHandle() const { return lookup_handle_; }

  void WndProc(TMessage& message) override;
  void GuardMessageError(const Exception& e) override;
  virtual void HandleLookupDone(TMessage& message);
  virtual std::int32_t SendEcho();
  // Resolves `target_name`: a literal (IPv4 or IPv6) at once, a name
  // asynchronously, to its first IPv4 address or, when it has none, its
  // first IPv6 one; the outcome arrives through OnDnsLookupDone.
  virtual void LookupHost(const std::string& target_name);
  void CancelLookup();

 protected:
  int MsgSlotsNeeded() override;
  void RegisterMsgs() override;
  void UnregisterMsgs() override;

 private:
  void IcmpDisplay(TObject* sender, const std::string& msg);
  void IcmpEchoRequest(TObject* sender);
  void IcmpEchoReply(TObject* sender, std::int32_t status);

  std::unique_ptr<TICMP> icmp_;
  alignas(8) char host_entry_buffer_[kHostEntryBufferSize] = {};
  std::uintptr_t lookup_handle_ = 0;
  std::string lookup_result_;
  platform::UINT lookup_msg_number_ = 0;
};
