#include "ping/ICMP.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "platform/IcmpPacket.h"
#include "platform/Sockets.h"
#include "toolkit/Guards.h"

using namespace platform;

TICMP::TICMP() {
  // A constructor that fails gives back what it had taken.
  TScopeExit release([this] { Release(); });
  WSADATA data;
  if (WSAStartup(0x0101, &data) != 0) throw TICMPException("Error initialising Winsock");
  winsock_started_ = true;
  library_ = LoadLibrary("icmp.dll");
  if (library_ == 0) throw TICMPException("Unable to register icmp.dll");
  create_file_ = reinterpret_cast<TCreateFile>(GetProcAddress(library_, "IcmpCreateFile"));
  close_handle_ = reinterpret_cast<TCloseHandle>(GetProcAddress(library_, "IcmpCloseHandle"));
  send_echo_ = reinterpret_cast<TSendEcho>(GetProcAddress(library_, "IcmpSendEcho"));
  if (!create_file_ || !close_handle_ || !send_echo_)
    throw TICMPException("Error loading dll functions");
  send_echo6_ = reinterpret_cast<TSendEcho6>(GetProcAddress(library_, "IcmpSendEcho6"));
  echo_handle_ = create_file_();
  if (echo_handle_ == INVALID_HANDLE_VALUE) throw TICMPException(kNoPingHandle);
  release.Dismiss();
}

TICMP::~TICMP() {
  Release();
}

void TICMP::Release() {
  if (echo_handle_ != INVALID_HANDLE_VALUE && close_handle_) close_handle_(echo_handle_);
  echo_handle_ = INVALID_HANDLE_VALUE;
  if (library_ != 0) FreeLibrary(library_);
  library_ = 0;
  create_file_ = nullptr;
  close_handle_ = nullptr;
  send_echo_ = nullptr;
  send_echo6_ = nullptr;
  if (winsock_started_) WSACleanup();
  winsock_started_ = false;
}

void TICMP::SetAddress(const std::string& address) {
  if (address == address_) return;
  address_ = address;
  target_resolved_ = false;
}

void TICMP::ResolveTarget() {
  target_is_ip6_ = false;
  target_addr_ = inet_addr(address_.c_str());
  if (target_addr_ != kInaddrNone) {
    target_name_ = address_;
  } else if (ParseIp6Literal(address_.c_str(), target_addr6_)) {
    target_is_ip6_ = true;
    target_name_ = address_;
  } else {
    auto entry = GetHostByNameAny(address_.c_str());
    if (!entry) {
      last_status_ = static_cast<std::int32_t>(GetLastError());
      OnDisplay(this, "Unable to resolve " + address_);
      return;
    }
    if (entry->addresses.empty()) {
      target_is_ip6_ = true;
      target_addr6_ = entry->addresses6.front();
    } else {
      target_addr_ = entry->addresses.front();
    }
    target_name_ = entry->name;
  }
  target_ip_ = target_is_ip6_ ? Ip6Text(target_addr6_) : inet_ntoa(target_addr_);
  target_resolved_ = true;
}

std::int32_t TICMP::SendEcho() {
  std::int32_t result = 0;
  last_status_ = 0;
  if (!target_resolved_) ResolveTarget();
  if (target_addr_ == kInaddrNone && !target_is_ip6_) {
    last_status_ = static_cast<std::int32_t>(IP_BAD_DESTINATION);
    OnDisplay(this, "Invalid host address");
    return 0;
  }
  // A Size beyond the call's width fails its range check below, after the
  // request callback; allocate no more than a valid request can use.
  const std::size_t size = static_cast<std::size_t>(std::clamp<std::int32_t>(size_, 0, 65535));
  std::vector<char> request(size, ' ');
  if (size) std::memcpy(request.data(), kIcmpPayload, std::min(size, sizeof kIcmpPayload - 1));
  std::vector<char> reply(size + sizeof(ICMP_ECHO_REPLY), 0);

  OnEchoRequest(this);

  IP_OPTION_INFORMATION options{};
  options.Ttl = RangeChecked<std::uint8_t>(ttl_);
  options.Flags = RangeChecked<std::uint8_t>(flags_);
  const DWORD timeout = RangeChecked<DWORD>(timeout_);
  const std::uint16_t request_size = RangeChecked<std::uint16_t>(size_);

  if (!target_is_ip6_) {
    result = static_cast<std::int32_t>(send_echo_(echo_handle_, target_addr_, request.data(),
                                                  request_size, &options, reply.data(),
                                                  static_cast<DWORD>(reply.size()), timeout));
  } else if (send_echo6_) {
    last_reply_from6_ = TIp6Address{};
    result = static_cast<std::int32_t>(
        send_echo6_(echo_handle_, &target_addr6_, request.data(), request_size, &options,
                    reply.data(), static_cast<DWORD>(reply.size()), timeout, &last_reply_from6_));
  } else {
    // A library without the IPv6 call.
    const DWORD status = IP_GENERAL_FAILURE;
    std::memcpy(reply.data() + offsetof(ICMP_ECHO_REPLY, Status), &status, sizeof status);
    SetLastError(status);
  }
  last_status_ = static_cast<std::int32_t>(GetLastError());
  std::memcpy(&last_reply_, reply.data(), sizeof last_reply_);
  OnEchoReply(this, result);
  return result;
}

std::string TICMP::StatusText() const {
  return StatusTextOf(last_status_);
}

std::string TICMP::StatusTextOf(std::int32_t status) {
  switch (status) {
    case IP_SUCCESS:
      return "No error";
    case IP_BUF_TOO_SMALL:
      return "Buffer too small";
    case IP_DEST_NET_UNREACHABLE:
      return "Destination network unreachable";
    case IP_DEST_HOST_UNREACHABLE:
      return "Destination host unreachable";
    case IP_DEST_PROT_UNREACHABLE:
      return "Destination protocol unreachable";
    case IP_DEST_PORT_UNREACHABLE:
      return "Destination port unreachable";
    case IP_NO_RESOURCES:
      return "No resources";
    case IP_BAD_OPTION:
      return "Bad option";
    case IP_HW_ERROR:
      return "Hardware error";
    case IP_PACKET_TOO_BIG:
      return "Packet too big";
    case IP_REQ_TIMED_OUT:
      return "Request timed out";
    case IP_BAD_REQ:
      return "Bad request";
    case IP_BAD_ROUTE:
      return "Bad route";
    case IP_TTL_EXPIRED_TRANSIT:
      return "TTL expired in transit";
    case IP_TTL_EXPIRED_REASSEM:
      return "TTL expired in reassembly";
    case IP_PARAM_PROBLEM:
      return "Parameter problem";
    case IP_SOURCE_QUENCH:
      return "Source quench";
    case IP_OPTION_TOO_BIG:
      return "Option too big";
    case IP_BAD_DESTINATION:
      return "Bad Destination";
    case IP_ADDR_DELETED:
      return "Address deleted";
    case IP_SPEC_MTU_CHANGE:
      return "Spec MTU change";
    case IP_MTU_CHANGE:
      return "MTU change";
    case IP_GENERAL_FAILURE:
      return "General failure";
    case IP_PENDING:
      return "Pending";
    default:
      return "ICMP error #" + std::to_string(status);
  }
}
