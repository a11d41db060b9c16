#include "ping/Ping.h"

#include "platform/Sockets.h"
#include "toolkit/Guards.h"

TPing::TPing(TComponent* owner) : TMsgWndControl(owner) {
  AcquireWindow();
  TScopeExit release([this] { ReleaseWindow(); });
  icmp_ = std::make_unique<TICMP>();
  release.Dismiss();
  icmp_->OnDisplay = TICMPDisplay(this, &TPing::IcmpDisplay);
  icmp_->OnEchoRequest = TICMPEchoRequest(this, &TPing::IcmpEchoRequest);
  icmp_->OnEchoReply = TICMPEchoReply(this, &TPing::IcmpEchoReply);
}

TPing::~TPing() {
  try {
    CancelLookup();
  } catch (...) {
    // A destructor must not throw; the request dies with the component.
  }
  icmp_.reset();
  // Here, while the lookup number can still be given back.
  try {
    RetireWindow();
  } catch (const Exception&) {
    // A destructor must not throw; the window has been left even so.
  }
}

std::string TPing::Address() const {
  return icmp_ ? icmp_->Address() : std::string();
}
void TPing::SetAddress(const std::string& address) {
  if (icmp_) icmp_->SetAddress(address);
}
std::int32_t TPing::Size() const {
  return icmp_ ? icmp_->Size() : 0;
}
void TPing::SetSize(std::int32_t size) {
  if (icmp_) icmp_->SetSize(size);
}
std::int32_t TPing::Timeout() const {
  return icmp_ ? icmp_->Timeout() : 0;
}
void TPing::SetTimeout(std::int32_t timeout) {
  if (icmp_) icmp_->SetTimeout(timeout);
}
std::int32_t TPing::TTL() const {
  return icmp_ ? icmp_->TTL() : 0;
}
void TPing::SetTTL(std::int32_t ttl) {
  if (icmp_) icmp_->SetTTL(ttl);
}
std::int32_t TPing::Flags() const {
  return icmp_ ? icmp_->Flags() : 0;
}
void TPing::SetFlags(std::int32_t flags) {
  if (icmp_) icmp_->SetFlags(flags);
}

std::string TPing::TargetName() const {
  return icmp_ ? icmp_->TargetName() : std::string();
}
std::string TPing::TargetIP() const {
  return icmp_ ? icmp_->TargetIP() : std::string();
}
platform::ICMP_ECHO_REPLY TPing::LastReply() const {
  return icmp_ ? icmp_->LastReply() : platform::ICMP_ECHO_REPLY{};
}
std::string TPing::StatusText() const {
  return icmp_ ? icmp_->StatusText() : std::string();
}

std::int32_t TPing::SendEcho() {
  return icmp_ ? icmp_->SendEcho() : 0;
}

void TPing::LookupHost(const std::string& target_name) {
  if (lookup_handle_ != 0) {
    // Abandoned silently: no event for the request being replaced.
    platform::WSACancelAsyncRequest(lookup_handle_);
    lookup_handle_ = 0;
  }
  lookup_result_.clear();
  if (target_name.empty()) throw ERangeError();
  const platform::u_long addr = platform::inet_addr(target_name.c_str());
  platform::TIp6Address addr6;
  if (addr != platform::kInaddrNone || platform::ParseIp6Literal(target_name.c_str(), addr6)) {
    lookup_result_ =
        addr != platform::kInaddrNone ? platform::inet_ntoa(addr) : platform::Ip6Text(addr6);
    OnDnsLookupDone(this, 0);
    return;
  }
  lookup_handle_ = platform::AsyncGetHostByNameAny(
      Handle(), lookup_msg_number_, target_name.c_str(), host_entry_buffer_, kHostEntryBufferSize);
  if (lookup_handle_ == 0)
    throw Exception(Format("%s: can't start DNS lookup, error #%d", target_name.c_str(),
                           platform::WSAGetLastError()));
}

void TPing::CancelLookup() {
  if (lookup_handle_ == 0) return;
  if (platform::WSACancelAsyncRequest(lookup_handle_) != 0)
    throw Exception(Format("WSACancelAsyncRequest failed, error #%d", platform::WSAGetLastError()));
  lookup_handle_ = 0;
  OnDnsLookupDone(this, kLookupCancelled);
}

void TPing::WndProc(TMessage& message) {
  try {
    if (lookup_msg_number_ != 0 && message.Msg == lookup_msg_number_)
      HandleLookupDone(message);
    else
      TMsgWndControl::WndProc(message);
  } catch (const Exception& e) {
    GuardMessageError(e);
  }
}

void TPing::GuardMessageError(const Exception& e) {
  TMsgWndControl::GuardMessageError(e);
}

void TPing::HandleLookupDone(TMessage& message) {
  // A completion of a request cancelled or replaced since.
  if (message.WParam != lookup_handle_) return;
  lookup_handle_ = 0;
  std::uint16_t error = static_cast<std::uint16_t>(platform::WSAGETASYNCERROR(message.LParam));
  if (error == 0) {
    auto entry = platform::ReadHostEnt(host_entry_buffer_, kHostEntryBufferSize);
    if (entry && !entry->addresses.empty())
      lookup_result_ = platform::inet_ntoa(entry->addresses.front());
    else if (entry)  // a name with IPv6 addresses only
      lookup_result_ = platform::Ip6Text(entry->addresses6.front());
    else
      error = platform::WSANO_RECOVERY;  // never from the layer itself
  }
  OnDnsLookupDone(this, error);
}

int TPing::MsgSlotsNeeded() {
  return TMsgWndControl::MsgSlotsNeeded() + 1;
}

void TPing::RegisterMsgs() {
  TMsgWndControl::RegisterMsgs();
  lookup_msg_number_ = WndHandler()->ReserveMessage(this);
}

void TPing::UnregisterMsgs() {
  if (WndHandler()) WndHandler()->ReturnMessage(lookup_msg_number_);
  TMsgWndControl::UnregisterMsgs();
}

void TPing::IcmpDisplay(TObject*, const std::string& msg) {
  OnDisplay(this, icmp_.get(), msg);
}
void TPing::IcmpEchoRequest(TObject*) {
  OnEchoRequest(this, icmp_.get());
}
void TPing::IcmpEchoReply(TObject*, std::int32_t status) {
  OnEchoReply(this, icmp_.get(), status);
}
