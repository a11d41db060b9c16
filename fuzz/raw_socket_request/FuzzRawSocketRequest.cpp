// What the program sends its raw socket broker, as bytes: one message on a
// socket pair, served by the broker's own loop. Bytes that parse are a
// request of exactly its size and are answered once, with a socket only on
// success; anything else (but an empty message, which is the end) ends the
// loop without an answer.
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/RawSockets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using platform::TBrokerEnd;
  const auto request = platform::ParseRawSocketRequest(data, size);
  if (request && size != platform::kRawSocketRequestSize) std::abort();

  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) return 0;
  if (::send(ends[0], data, size, MSG_NOSIGNAL) != static_cast<ssize_t>(size)) {
    ::close(ends[0]);
    ::close(ends[1]);
    return 0;
  }
  ::shutdown(ends[0], SHUT_WR);
  const TBrokerEnd end = platform::ServeRawSocketRequests(ends[1]);
  ::close(ends[1]);

  std::int32_t error = -1;
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
  iovec iov{&error, sizeof error};
  msghdr msg{};
  msg.msg_iov = &iov;
  msg.msg_iovlen = 1;
  msg.msg_control = control;
  msg.msg_controllen = sizeof control;
  const ssize_t n = ::recvmsg(ends[0], &msg, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
  int fd = -1;
  if (n > 0 && msg.msg_controllen > 0) std::memcpy(&fd, CMSG_DATA(CMSG_FIRSTHDR(&msg)), sizeof fd);
  if (fd >= 0) ::close(fd);
  ::close(ends[0]);

  if (request) {
    if (end != TBrokerEnd::kPeerClosed || n != sizeof error) std::abort();
    if ((error == 0) != (fd >= 0)) std::abort();
  } else {
    if (n > 0) std::abort();
    if (end != (size == 0 ? TBrokerEnd::kPeerClosed : TBrokerEnd::kMalformed)) std::abort();
  }
  return 0;
}
