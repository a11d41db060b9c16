#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/Sockets.h"

namespace platform {

namespace {

struct TRequest {
  HWND hwnd = 0;
  UINT msg = 0;
  char* buffer = nullptr;
  int length = 0;
  bool posted = false;  // its completion is queued (or was taken already)
};

// Lock order: this lock, then the message queues' own.
std::mutex g_mutex;
std::map<std::uintptr_t, TRequest> g_requests;
std::uintptr_t g_next_handle = 1;

// Forgets requests whose completion has left the queue.
void PurgeLocked() {
  for (auto it = g_requests.begin(); it != g_requests.end();) {
    if (it->second.posted && !IsTaggedMessageQueued(it->first))
      it = g_requests.erase(it);
    else
      ++it;
  }
}

void Complete(std::uintptr_t handle, std::string name) {
  THostEnt entry;
  int error = ResolveHost(name, entry);
  std::lock_guard lock(g_mutex);
  auto it = g_requests.find(handle);
  if (it == g_requests.end()) return;  // cancelled while resolving
  TRequest& r = it->second;
  int needed = 0;
  if (error == 0) {
    needed = PackHostEnt(entry, nullptr, 0);
    if (needed < 0) {
      error = WSANO_RECOVERY;
      needed = 0;
    } else if (needed > r.length) {
      error = WSAENOBUFS;
    } else {
      PackHostEnt(entry, r.buffer, r.length);
    }
  }
  const LPARAM lparam = static_cast<LPARAM>((static_cast<std::uint32_t>(error) & 0xFFFF) << 16 |
                                            (static_cast<std::uint32_t>(needed) & 0xFFFF));
  r.posted = true;
  if (!PostTaggedMessage(r.hwnd, r.msg, handle, lparam, handle)) g_requests.erase(it);
}

}  // namespace

std::uintptr_t WSAAsyncGetHostByName(HWND hwnd, UINT msg, const char* name, char* buffer,
                                     int length) {
  if (WSAStartupCount() <= 0) {
    WSASetLastError(WSANOTINITIALISED);
    return 0;
  }
  if (name == nullptr || buffer == nullptr || length <= 0) {
    WSASetLastError(WSAEFAULT);
    return 0;
  }
  if (!IsWindow(hwnd)) {
    WSASetLastError(WSAEINVAL);
    return 0;
  }
  std::uintptr_t handle;
  {
    std::lock_guard lock(g_mutex);
    PurgeLocked();
    do {
      handle = g_next_handle++;
    } while (handle == 0 || g_requests.count(handle));
    g_requests[handle] = TRequest{hwnd, msg, buffer, length, false};
  }
  try {
    std::thread(Complete, handle, std::string(name)).detach();
  } catch (const std::system_error&) {
    std::lock_guard lock(g_mutex);
    g_requests.erase(handle);
    WSASetLastError(WSAENOBUFS);
    return 0;
  }
  return handle;
}

int WSACancelAsyncRequest(std::uintptr_t handle) {
  std::lock_guard lock(g_mutex);
  auto it = g_requests.find(handle);
  if (it == g_requests.end() || (it->second.posted && !RecallTaggedMessage(handle))) {
    if (it != g_requests.end()) g_requests.erase(it);
    WSASetLastError(WSAEINVAL);
    return SOCKET_ERROR;
  }
  g_requests.erase(it);
  return 0;
}

}  // namespace platform
