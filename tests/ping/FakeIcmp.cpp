#include "FakeIcmp.h"

#include <cstring>

using namespace platform;

TFakeIcmp* TFakeIcmp::current = nullptr;

namespace {

HANDLE FakeCreate() {
  ++TFakeIcmp::current->creates;
  return TFakeIcmp::current->create_result;
}

BOOL FakeClose(HANDLE) {
  ++TFakeIcmp::current->closes;
  return 1;
}

DWORD Answer(TFakeEchoCall call, void* data, std::uint16_t size, IP_OPTION_INFORMATION* options,
             void* reply, DWORD reply_size, DWORD timeout) {
  TFakeIcmp& f = *TFakeIcmp::current;
  if (size) call.data.assign(static_cast<const char*>(data), size);
  call.size = size;
  call.options = *options;
  call.reply_size = reply_size;
  call.timeout = timeout;
  f.calls.push_back(call);
  std::memcpy(reply, &f.reply, sizeof f.reply);
  SetLastError(f.last_error);
  return f.result;
}

DWORD FakeSend(HANDLE, IPAddr destination, void* data, std::uint16_t size,
               IP_OPTION_INFORMATION* options, void* reply, DWORD reply_size, DWORD timeout) {
  TFakeEchoCall call;
  call.destination = destination;
  return Answer(call, data, size, options, reply, reply_size, timeout);
}

DWORD FakeSend6(HANDLE, const TIp6Address* destination, void* data, std::uint16_t size,
                IP_OPTION_INFORMATION* options, void* reply, DWORD reply_size, DWORD timeout,
                TIp6Address* reply_from) {
  TFakeEchoCall call;
  call.ip6 = true;
  call.destination6 = *destination;
  *reply_from = TFakeIcmp::current->reply_from6;
  return Answer(call, data, size, options, reply, reply_size, timeout);
}

}  // namespace

void TFakeIcmp::Install(const std::string& missing) {
  current = this;
  TModuleExports exports = {{"IcmpCreateFile", reinterpret_cast<FARPROC>(&FakeCreate)},
                            {"IcmpCloseHandle", reinterpret_cast<FARPROC>(&FakeClose)},
                            {"IcmpSendEcho", reinterpret_cast<FARPROC>(&FakeSend)},
                            {"IcmpSendEcho6", reinterpret_cast<FARPROC>(&FakeSend6)}};
  exports.erase(missing);
  InstallModule("icmp.dll", exports);
}
