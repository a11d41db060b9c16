// TICMP: one ICMP echo at a time to one IPv4 or IPv6 host, through the ICMP
// helper library bound at run time.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Icmp.h"
#include "platform/Modules.h"
#include "toolkit/Classes.h"
#include "toolkit/SysUtils.h"

class TICMPException : public Exception {
 public:
  using Exception::Exception;
};

// The start-up error when the system gives no echo handle (the message box
// appends the full stop).
inline constexpr char kNoPingHandle[] = "Unable to get ping handle";

// The first 45 bytes of every echo request.
inline constexpr char kIcmpPayload[] = "Pinging from Tessel code written by J. Korvel";

using TICMPDisplay = TEvent<TObject* /*Sender*/, const std::string& /*Msg*/>;
using TICMPEchoRequest = TEvent<TObject* /*Sender*/>;
using TICMPEchoReply = TEvent<TObject* /*Sender*/, std::int32_t /*Status*/>;

class TICMP : public TObject {
 public:
  // Starts the sockets layer, binds "icmp.dll" and opens an echo handle;
  // raises TICMPException when any of it fails, releasing what it got.
  TICMP();
  ~TICMP() override;

  const std::string& Address() const { return address_; }
  void SetAddress(const std::string& address);
  std::int32_t Size() const { return size_; }
  void SetSize(std::int32_t size) { size_ = size; }
  std::int32_t Timeout() const { return timeout_; }
  void SetTimeout(std::int32_t timeout) { timeout_ = timeout; }
  std::int32_t TTL() const { return ttl_; }
  void SetTTL(std::int32_t ttl) { ttl_ = ttl; }
  std::int32_t Flags() const { return flags_; }
  void SetFlags(std::int32_t flags) { flags_ = flags; }

  const std::string& TargetName() const { return target_name_; }
  const std::string& TargetIP() const { return target_ip_; }
  // The IPv4 target; 0xFFFFFFFF when there is none (an IPv6 target, say).
  std::uint32_t TargetAddr() const { return target_addr_; }
  // An IPv6 target: a literal, or a name with IPv6 addresses only.
  bool TargetIsIp6() const { return target_is_ip6_; }
  const platform::TIp6Address& TargetAddr6() const { return target_addr6_; }
  bool TargetResolved() const { return target_resolved_; }
  // For an IPv6 target LastReply's Address is 0; who answered (or reported
  // an error) is here.
  const platform::ICMP_ECHO_REPLY& LastReply() const { return last_reply_; }
  const platform::TIp6Address& LastReplyFrom6() const { return last_reply_from6_; }
  std::int32_t LastStatus() const { return last_status_; }
  platform::HANDLE EchoHandle() const { return echo_handle_; }
  std::string StatusText() const;

  TICMPDisplay OnDisplay;
  TICMPEchoRequest OnEchoRequest;
  TICMPEchoReply OnEchoReply;

  // Resolves Address (blocking for a name): an IPv4 literal, an IPv6 one,
  // or a name, whose IPv4 address is used when it has one.
  void ResolveTarget();
  // One echo; returns the number of replies the platform stored.
  std::int32_t SendEcho();

  // The text of an IP status code (or "ICMP error #" and the number).
  static std::string StatusTextOf(std::int32_t status);

 private:
  using TCreateFile = platform::HANDLE (*)();
  using TCloseHandle = platform::BOOL (*)(platform::HANDLE);
  using TSendEcho = platform::DWORD (*)(platform::HANDLE, platform::IPAddr, void*, std::uint16_t,
                                        platform::IP_OPTION_INFORMATION*, void*, platform::DWORD,
                                        platform::DWORD);
  using TSendEcho6 = platform::DWORD (*)(platform::HANDLE, const platform::TIp6Address*, void*,
                                         std::uint16_t, platform::IP_OPTION_INFORMATION*, void*,
                                         platform::DWORD, platform::DWORD, platform::TIp6Address*);
  void Release();

  platform::HMODULE library_ = 0;
  TCreateFile create_file_ = nullptr;
  TCloseHandle close_handle_ = nullptr;
  TSendEcho send_echo_ = nullptr;
  TSendEcho6 send_echo6_ = nullptr;  // optional: without it IPv6 echoes fail
  platform::HANDLE echo_handle_ = platform::INVALID_HANDLE_VALUE;
  platform::ICMP_ECHO_REPLY last_reply_{};
  std::string address_;
  std::string target_name_;
  std::string target_ip_;
  std::uint32_t target_addr_ = 0;
  platform::TIp6Address target_addr6_;
  platform::TIp6Address last_reply_from6_;
  bool target_is_ip6_ = false;
  std::int32_t size_ = 56;
  std::int32_t timeout_ = 4000;
  std::int32_t ttl_ = 64;
  std::int32_t flags_ = 0;
  std::int32_t last_status_ = 0;
  bool target_resolved_ = false;
  bool winsock_started_ = false;
};
